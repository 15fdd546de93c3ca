// The frame tree: each frame has a local matrix relative to its parent, an
// intrinsic rotation and velocity applied by Move, and carries visuals and lights.
// A parent holds a reference to each child, so releasing the root frees the tree.
// Every "ref" argument names the frame whose axes the values are given in; a null
// ref means world (scene) coordinates.
#pragma once

#include <vector>

#include "platform/rm/color.h"
#include "platform/rm/math.h"
#include "platform/rm/object.h"

namespace platform::rm {

class Light;
class MeshBuilder;
class Texture;

// How AddTransform combines a matrix with the frame's local one.
enum class Combine { Replace, Before, After };

class Frame : public Object {
public:
    // The parent (may be null) takes one reference; the caller owns the returned one.
    static Frame* Create(Frame* parent);

    Frame* Parent() const { return parent_; }
    const std::vector<Frame*>& Children() const { return children_; }
    const Mat4& Local() const { return local_; }
    // Local to world: Local() * parent's world matrix * ... * root's.
    Mat4 World() const;
    // The root of this frame's tree (the scene frame).
    const Frame* Root() const;

    // REPLACE: M = S; BEFORE: M = S * M (applied first, in local space);
    // AFTER: M = M * S (in parent space). False, changing nothing, unless column 3
    // is (0, 0, 0, 1).
    bool AddTransform(Combine how, const Mat4& s);

    void SetPosition(const Frame* ref, Vec3 p);
    Vec3 GetPosition(const Frame* ref) const;
    // +z along dir (kept exact), +y along up made perpendicular to dir. A zero vector
    // or a parallel pair leaves the frame unchanged and returns false.
    bool SetOrientation(const Frame* ref, Vec3 dir, Vec3 up);
    void GetOrientation(const Frame* ref, Vec3* dir, Vec3* up) const;

    // theta radians per unit of Move's delta about axis, given in ref's axes.
    void SetRotation(const Frame* ref, Vec3 axis, float theta);
    // Units per unit of delta in ref's axes, relative to ref's own motion.
    void SetVelocity(const Frame* ref, Vec3 v, bool with_rotation);
    Vec3 GetVelocity() const { return velocity_; }  // parent axes
    void GetRotation(Vec3* axis, float* theta) const {
        *axis = rot_axis_;
        *theta = rot_theta_;
    }
    // One tick for this frame and every descendant: each spins about its own origin
    // and moves by its velocity.
    void Move(float delta);

    // Turns +z toward target's origin with up kept on ref's +y (no roll). A target
    // straight above or below, or at this frame's origin, changes nothing (false).
    bool LookAt(const Frame* target, const Frame* ref);

    void AddVisual(MeshBuilder* visual);
    void AddLight(Light* light);
    const std::vector<MeshBuilder*>& Visuals() const { return visuals_; }
    const std::vector<Light*>& Lights() const { return lights_; }

    // Scene background, used when this frame is the root of a rendered tree.
    void SetSceneBackgroundRGB(float r, float g, float b) { background_ = ColorFromRGB(r, g, b); }
    void SetSceneBackgroundImage(Texture* texture);  // null clears it
    Color SceneBackground() const { return background_; }
    Texture* SceneBackgroundImage() const { return background_image_; }

private:
    explicit Frame(Frame* parent) : parent_(parent) {}
    ~Frame() override;
    void MoveTree(float delta);
    Vec3 WorldVelocity() const;

    Frame* parent_;
    std::vector<Frame*> children_;
    std::vector<MeshBuilder*> visuals_;
    std::vector<Light*> lights_;
    Mat4 local_;
    Vec3 rot_axis_{0, 1, 0};  // parent axes
    float rot_theta_ = 0;
    Vec3 velocity_;  // parent axes
    Color background_{0, 0, 0, 255};
    Texture* background_image_ = nullptr;
};

}  // namespace platform::rm
