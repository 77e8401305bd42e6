#include "scene/transform_math.h"

#include <cmath>

namespace jolp {

namespace {

// Determinant of the 3x3 matrix left of m without row `row` and column
// `column`, expanded along its own first row.
float Minor3(const Matrix& m, int row, int column) {
    float a[3][3];
    int r = 0;
    for (int i = 0; i < 4; ++i) {
        if (i == row) continue;
        int c = 0;
        for (int j = 0; j < 4; ++j) {
            if (j == column) continue;
            a[r][c++] = m.m[i][j];
        }
        ++r;
    }
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace

Matrix MatrixIdentity() { return Matrix{}; }

float ScalarLerp(float a, float b, float d) { return (1.0f - d) * a + d * b; }

Vec3 Vec3Lerp(const Vec3& a, const Vec3& b, float d) {
    const float e = 1.0f - d;
    return Vec3{e * a.x + d * b.x, e * a.y + d * b.y, e * a.z + d * b.z};
}

Quat QuatSlerp(const Quat& q0, Quat q1, float t) {
    float c = q0.x * q1.x + q0.y * q1.y + q0.z * q1.z + q0.w * q1.w;
    if (c < 0.0f) {
        c = -c;
        q1 = Quat{-q1.x, -q1.y, -q1.z, -q1.w};
    }
    if (c < kSlerpLinearThreshold) {
        const float s = std::sqrt(1.0f - c * c);
        const float omega = std::atan2(s, c);
        const float k0 = std::sin((1.0f - t) * omega) / s;
        const float k1 = std::sin(t * omega) / s;
        return Quat{k0 * q0.x + k1 * q1.x, k0 * q0.y + k1 * q1.y, k0 * q0.z + k1 * q1.z, k0 * q0.w + k1 * q1.w};
    }
    const float e = 1.0f - t;
    return QuatNormalize(Quat{e * q0.x + t * q1.x, e * q0.y + t * q1.y, e * q0.z + t * q1.z, e * q0.w + t * q1.w});
}

Quat QuatNormalize(const Quat& q) {
    const float n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return Quat{q.x / n, q.y / n, q.z / n, q.w / n};
}

Quat QuatInverse(const Quat& q) {
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (n > 0.0f) return Quat{-q.x / n, -q.y / n, -q.z / n, q.w / n};
    return Quat{0.0f, 0.0f, 0.0f, 1.0f};
}

Vec3 QuatRotate(const Vec3& v, const Quat& q) {
    const Vec3 u{q.x, q.y, q.z};
    const Vec3 a = Cross(u, v);
    const Vec3 b = Cross(u, a);
    const float w2 = 2.0f * q.w;
    return Vec3{v.x + w2 * a.x + 2.0f * b.x, v.y + w2 * a.y + 2.0f * b.y, v.z + w2 * a.z + 2.0f * b.z};
}

Matrix QuatToMatrix(const Quat& q) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    Matrix r;
    r.m[0][0] = 1.0f - 2.0f * (y * y + z * z);
    r.m[0][1] = 2.0f * (x * y + z * w);
    r.m[0][2] = 2.0f * (x * z - y * w);
    r.m[1][0] = 2.0f * (x * y - z * w);
    r.m[1][1] = 1.0f - 2.0f * (x * x + z * z);
    r.m[1][2] = 2.0f * (y * z + x * w);
    r.m[2][0] = 2.0f * (x * z + y * w);
    r.m[2][1] = 2.0f * (y * z - x * w);
    r.m[2][2] = 1.0f - 2.0f * (x * x + y * y);
    return r;
}

Matrix TransformToMatrix(const Transform& t) {
    Matrix s;
    s.m[0][0] = t.scale.x;
    s.m[1][1] = t.scale.y;
    s.m[2][2] = t.scale.z;
    Matrix p;
    p.m[3][0] = t.position.x;
    p.m[3][1] = t.position.y;
    p.m[3][2] = t.position.z;
    return MatrixMultiply(MatrixMultiply(s, QuatToMatrix(t.rotation)), p);
}

Transform TransformLerp(const Transform& a, const Transform& b, float d) {
    return Transform{Vec3Lerp(a.position, b.position, d), QuatSlerp(a.rotation, b.rotation, d),
                     Vec3Lerp(a.scale, b.scale, d)};
}

Matrix MatrixMultiply(const Matrix& a, const Matrix& b) {
    Matrix c;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            c.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
        }
    }
    return c;
}

float MatrixDeterminant(const Matrix& m) {
    return m.m[0][0] * Minor3(m, 0, 0) - m.m[0][1] * Minor3(m, 0, 1) + m.m[0][2] * Minor3(m, 0, 2) -
           m.m[0][3] * Minor3(m, 0, 3);
}

Matrix MatrixInverse(const Matrix& m) {
    const float d = MatrixDeterminant(m);
    Matrix r;
    if (std::fabs(d) < kSingularDeterminant) return r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const float sign = ((i + j) & 1) ? -1.0f : 1.0f;
            r.m[j][i] = sign * Minor3(m, i, j) / d;
        }
    }
    return r;
}

}  // namespace jolp
