// Vectors and 4x4 matrices in the retained-mode convention: left-handed axes,
// row vectors (p' = p * M), rows 0-2 hold the images of the local axes, row 3 the
// translation. A positive angle about +x turns +y into +z.
#pragma once

#include <cmath>

namespace platform::rm {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// The plain component formula; in left-handed axes x cross y = z.
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
// A zero vector normalises to (1, 0, 0), as the retained-mode vector helpers do.
inline Vec3 Normalize(Vec3 a) {
    float l = Length(a);
    if (!(l > 0.0f) || !std::isfinite(l)) return {1, 0, 0};
    return a * (1.0f / l);
}

struct Mat4 {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    Vec3 Row(int r) const { return {m[r][0], m[r][1], m[r][2]}; }
    void SetRow(int r, Vec3 v) {
        m[r][0] = v.x;
        m[r][1] = v.y;
        m[r][2] = v.z;
    }
};

// a * b: with row vectors, a is applied first.
Mat4 Multiply(const Mat4& a, const Mat4& b);
// p * M with w = 1.
Vec3 TransformPoint(Vec3 p, const Mat4& m);
// v * M, 3x3 part only.
Vec3 TransformDirection(Vec3 v, const Mat4& m);
// Inverse of an affine matrix (column 3 = 0,0,0,1). A singular 3x3 part gives identity.
Mat4 InverseAffine(const Mat4& m);
// Rotation by theta radians about axis (normalised first; zero means +x).
Mat4 RotationMatrix(Vec3 axis, float theta);
// Re-orthonormalises rows 0-2 keeping the direction of row 2, then row 1's plane.
void Orthonormalize(Mat4& m);

}  // namespace platform::rm
