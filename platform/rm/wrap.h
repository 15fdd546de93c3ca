// Texture wraps: compute texture coordinates for every vertex of a mesh builder
// from a projection onto a flat sheet or a cylinder.
#pragma once

#include "platform/rm/math.h"
#include "platform/rm/object.h"

namespace platform::rm {

class Frame;
class MeshBuilder;

enum class WrapType { Flat = 0, Cylinder = 1, Sphere = 2, Chrome = 3, Sheet = 4, Box = 5 };

struct WrapParams {
    WrapType type = WrapType::Flat;
    Vec3 origin;
    Vec3 direction{0, 0, 1};
    Vec3 up{0, 1, 0};
    float ou = 0, ov = 0, su = 1, sv = 1;
};

class Wrap : public Object {
public:
    // ref is accepted for the interface's sake; Apply works in the builder's own
    // model coordinates (see docs/rm.md).
    static Wrap* Create(const WrapParams& params, Frame* /*ref*/ = nullptr) { return new Wrap(params); }
    // Writes (u, v) for every vertex. False, leaving the builder as it was, for the
    // kinds not implemented here (sphere, chrome, sheet, box) and for a non-finite
    // origin or scale (as a wrap over a model of zero height would have).
    bool Apply(MeshBuilder* builder) const;
    const WrapParams& Params() const { return p_; }

private:
    explicit Wrap(const WrapParams& p) : p_(p) {}
    WrapParams p_;
};

// The (u, v) a wrap gives to one point: the basis z' = normalize(direction),
// y' = up made perpendicular to z', x' = y' x z'; q = point - origin, then
// cylinder u = su * (atan2(q.x', q.y') / 2pi, taken in [0, 1)) + ou,
// v = sv * q.z' + ov, and
// flat u = su * q.x' + ou, v = sv * q.y' + ov.
// The texture origin (ou, ov) is the texture coordinate of the wrap's origin.
void WrapPoint(const WrapParams& p, Vec3 point, float* u, float* v);

}  // namespace platform::rm
