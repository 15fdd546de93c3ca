// Frame tree algebra: placement relative to any frame, per-tick motion, look-at.
#include "platform/rm/frame.h"

#include "platform/rm/light.h"
#include "platform/rm/mesh_builder.h"
#include "platform/rm/texture.h"

namespace platform::rm {

namespace {

Mat4 WorldOf(const Frame* f) { return f ? f->World() : Mat4{}; }

// The 3x3 part of m with the translation dropped.
Mat4 Linear(Mat4 m) {
    m.m[3][0] = m.m[3][1] = m.m[3][2] = 0;
    return m;
}

bool IsZero(Vec3 v) { return !(Dot(v, v) > 0.0f) || !std::isfinite(Dot(v, v)); }

}  // namespace

Frame* Frame::Create(Frame* parent) {
    Frame* f = new Frame(parent);
    if (parent) {
        f->AddRef();
        parent->children_.push_back(f);
    }
    return f;
}

Frame::~Frame() {
    for (Frame* c : children_) {
        c->parent_ = nullptr;
        c->Release();
    }
    for (MeshBuilder* v : visuals_) v->Release();
    for (Light* l : lights_) l->Release();
    if (background_image_) background_image_->Release();
}

Mat4 Frame::World() const {
    Mat4 w = local_;
    for (const Frame* p = parent_; p; p = p->parent_) w = Multiply(w, p->local_);
    return w;
}

const Frame* Frame::Root() const {
    const Frame* f = this;
    while (f->parent_) f = f->parent_;
    return f;
}

bool Frame::AddTransform(Combine how, const Mat4& s) {
    if (s.m[0][3] != 0 || s.m[1][3] != 0 || s.m[2][3] != 0 || s.m[3][3] != 1) return false;
    switch (how) {
        case Combine::Replace: local_ = s; break;
        case Combine::Before: local_ = Multiply(s, local_); break;
        case Combine::After: local_ = Multiply(local_, s); break;
    }
    return true;
}

void Frame::SetPosition(const Frame* ref, Vec3 p) {
    const Vec3 world = TransformPoint(p, WorldOf(ref));
    const Vec3 local = TransformPoint(world, InverseAffine(WorldOf(parent_)));
    local_.m[3][0] = local.x;
    local_.m[3][1] = local.y;
    local_.m[3][2] = local.z;
}

Vec3 Frame::GetPosition(const Frame* ref) const {
    const Mat4 w = World();
    const Vec3 world{w.m[3][0], w.m[3][1], w.m[3][2]};
    return TransformPoint(world, InverseAffine(WorldOf(ref)));
}

bool Frame::SetOrientation(const Frame* ref, Vec3 dir, Vec3 up) {
    if (IsZero(dir) || IsZero(up)) return false;
    const Vec3 c = Cross(dir, up);
    if (Dot(c, c) <= 1e-12f * Dot(dir, dir) * Dot(up, up)) return false;
    // ref axes -> world -> parent axes, as directions.
    const Mat4 to_parent = Multiply(Linear(WorldOf(ref)), InverseAffine(Linear(WorldOf(parent_))));
    const Vec3 z = Normalize(TransformDirection(dir, to_parent));
    const Vec3 u = TransformDirection(up, to_parent);
    const Vec3 y = Normalize(u - z * Dot(u, z));
    local_.SetRow(0, Cross(y, z));
    local_.SetRow(1, y);
    local_.SetRow(2, z);
    return true;
}

void Frame::GetOrientation(const Frame* ref, Vec3* dir, Vec3* up) const {
    const Mat4 r = Multiply(Linear(World()), InverseAffine(Linear(WorldOf(ref))));
    *dir = Normalize(r.Row(2));
    *up = Normalize(r.Row(1));
}

void Frame::SetRotation(const Frame* ref, Vec3 axis, float theta) {
    const Mat4 to_parent = Multiply(Linear(WorldOf(ref)), InverseAffine(Linear(WorldOf(parent_))));
    rot_axis_ = TransformDirection(Normalize(axis), to_parent);
    rot_theta_ = theta;
}

Vec3 Frame::WorldVelocity() const {
    if (!parent_) return velocity_;
    return parent_->WorldVelocity() + TransformDirection(velocity_, Linear(parent_->World()));
}

void Frame::SetVelocity(const Frame* ref, Vec3 v, bool /*with_rotation*/) {
    // Velocity relative to ref composes with ref's own motion; stored in parent axes.
    Vec3 world = TransformDirection(v, Linear(WorldOf(ref)));
    if (ref) world = world + ref->WorldVelocity();
    if (parent_) world = world - parent_->WorldVelocity();
    velocity_ = TransformDirection(world, InverseAffine(Linear(WorldOf(parent_))));
}

void Frame::Move(float delta) { MoveTree(delta); }

void Frame::MoveTree(float delta) {
    if (rot_theta_ != 0.0f) {
        // Rotation about the parent-space axis through the frame's own origin: only
        // the 3x3 part changes. Rows are re-orthonormalised (keeping any scale) so
        // hours of ticks do not let float error shear or shrink the model.
        const Mat4 r = RotationMatrix(rot_axis_, rot_theta_ * delta);
        Mat4 lin = Multiply(Linear(local_), r);
        float len[3];
        for (int i = 0; i < 3; ++i) {
            len[i] = Length(lin.Row(i));
            if (std::fabs(len[i] - 1.0f) < 1e-3f) len[i] = 1.0f;  // unscaled axes stay exactly unit
        }
        Orthonormalize(lin);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) local_.m[i][j] = lin.m[i][j] * len[i];
    }
    local_.m[3][0] += velocity_.x * delta;
    local_.m[3][1] += velocity_.y * delta;
    local_.m[3][2] += velocity_.z * delta;
    for (Frame* c : children_) c->MoveTree(delta);
}

bool Frame::LookAt(const Frame* target, const Frame* ref) {
    if (!target) return false;
    const Vec3 d = target->GetPosition(ref) - GetPosition(ref);
    return SetOrientation(ref, d, {0, 1, 0});
}

void Frame::AddVisual(MeshBuilder* visual) {
    if (!visual) return;
    visual->AddRef();
    visuals_.push_back(visual);
}

void Frame::AddLight(Light* light) {
    if (!light) return;
    light->AddRef();
    lights_.push_back(light);
}

void Frame::SetSceneBackgroundImage(Texture* texture) {
    if (texture) texture->AddRef();
    if (background_image_) background_image_->Release();
    background_image_ = texture;
}

}  // namespace platform::rm
