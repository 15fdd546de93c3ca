// Helpers the model loaders share to fill a MeshData.
#pragma once

#include <cmath>

#include "platform/rm/xfile.h"

namespace platform::rm {

// A right-handed point or direction with counter-clockwise front faces (glTF, OBJ)
// in the retained mode's left-handed axes: z is negated, and faces are then wound
// the other way round (AddFace) so they keep facing out.
inline Vec3 FromRightHanded(Vec3 v) { return {v.x, v.y, -v.z}; }

// A number from a file: infinities and NaNs become 0, as the X loader reads them.
inline float Finite(double v) {
    const float f = static_cast<float>(v);
    return std::isfinite(f) ? f : 0.0f;
}

// Appends a face over the given vertices (normal index = vertex index), reversing
// their order: counter-clockwise in the file, clockwise here.
inline void AddFace(MeshData& m, std::span<const uint32_t> vertices, uint32_t material) {
    if (m.face_start.empty()) m.face_start.push_back(0);
    for (size_t i = vertices.size(); i-- > 0;) m.corners.push_back({vertices[i], vertices[i]});
    m.face_start.push_back(static_cast<uint32_t>(m.corners.size()));
    m.face_material.push_back(material);
}

// The unit normal of the face (a, b, c) as the retained mode computes it for
// clockwise faces, or zero for a degenerate one.
inline Vec3 FaceNormal(Vec3 a, Vec3 b, Vec3 c) {
    const Vec3 n = Cross(b - a, c - a);
    const float len = Length(n);
    return len > 0.0f && std::isfinite(len) ? n * (1.0f / len) : Vec3{};
}

// Runs a reader into out: empty before it, and again when it fails.
template <class Reader>
bool ReadInto(MeshData& out, Reader read) {
    out.Clear();
    if (read()) return true;
    out.Clear();
    return false;
}

}  // namespace platform::rm
