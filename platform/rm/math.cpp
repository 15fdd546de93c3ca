// Matrix helpers for the frame tree and the renderer; see math.h for the convention.
#include "platform/rm/math.h"

namespace platform::rm {

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += double(a.m[i][k]) * b.m[k][j];
            r.m[i][j] = float(s);
        }
    return r;
}

Vec3 TransformPoint(Vec3 p, const Mat4& m) {
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

Vec3 TransformDirection(Vec3 v, const Mat4& m) {
    return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
            v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
            v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

Mat4 InverseAffine(const Mat4& m) {
    const double a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
    const double d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
    const double g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    Mat4 r;
    if (det == 0.0 || !std::isfinite(det)) return r;
    const double inv = 1.0 / det;
    r.m[0][0] = float(A * inv);
    r.m[0][1] = float(-(b * i - c * h) * inv);
    r.m[0][2] = float((b * f - c * e) * inv);
    r.m[1][0] = float(B * inv);
    r.m[1][1] = float((a * i - c * g) * inv);
    r.m[1][2] = float(-(a * f - c * d) * inv);
    r.m[2][0] = float(C * inv);
    r.m[2][1] = float(-(a * h - b * g) * inv);
    r.m[2][2] = float((a * e - b * d) * inv);
    const Vec3 t = TransformDirection({m.m[3][0], m.m[3][1], m.m[3][2]}, r);
    r.m[3][0] = -t.x;
    r.m[3][1] = -t.y;
    r.m[3][2] = -t.z;
    return r;
}

Mat4 RotationMatrix(Vec3 axis, float theta) {
    const Vec3 u = Normalize(axis);
    const double x = u.x, y = u.y, z = u.z;
    const double c = std::cos(double(theta)), s = std::sin(double(theta)), t = 1.0 - c;
    Mat4 r;
    r.m[0][0] = float(t * x * x + c);
    r.m[0][1] = float(t * x * y + s * z);
    r.m[0][2] = float(t * x * z - s * y);
    r.m[1][0] = float(t * x * y - s * z);
    r.m[1][1] = float(t * y * y + c);
    r.m[1][2] = float(t * y * z + s * x);
    r.m[2][0] = float(t * x * z + s * y);
    r.m[2][1] = float(t * y * z - s * x);
    r.m[2][2] = float(t * z * z + c);
    return r;
}

void Orthonormalize(Mat4& m) {
    const Vec3 z = Normalize(m.Row(2));
    Vec3 y = m.Row(1);
    y = Normalize(y - z * Dot(y, z));
    m.SetRow(0, Cross(y, z));
    m.SetRow(1, y);
    m.SetRow(2, z);
}

}  // namespace platform::rm
