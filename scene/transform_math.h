// transform_math.h - the vector, quaternion and 4x4 matrix operations that
// scene animation and the renderer's matrix products rest on.
//
// Conventions: single precision throughout; matrices are row-major
// (m[row][column]) and multiply row vectors from the right (p x M, the
// translation in the last row); a quaternion is stored x, y, z, w (w the
// scalar part) and turns v into q v q^-1. The thresholds of QuatSlerp (0.999)
// and MatrixInverse (0.0005) and the fallbacks they select are deliberate:
// they decide what nearly equal rotations and nearly singular matrices give.
//
// All types are plain, trivially copyable values; nothing here allocates,
// reports errors or keeps state. `&matrix.m[0][0]` is 16 row-major floats,
// the layout the graphics device takes.
#pragma once

#include <type_traits>

namespace jolp {

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Quat {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;
};

struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

// The value of a transform track key: scale, then rotate, then move.
struct Transform {
    Vec3 position{0.0f, 0.0f, 0.0f};
    Quat rotation{0.0f, 0.0f, 0.0f, 1.0f};
    Vec3 scale{1.0f, 1.0f, 1.0f};
};

static_assert(std::is_trivially_copyable_v<Vec3> && sizeof(Vec3) == 12);
static_assert(std::is_trivially_copyable_v<Quat> && sizeof(Quat) == 16);
static_assert(std::is_trivially_copyable_v<Matrix> && sizeof(Matrix) == 64);
static_assert(std::is_trivially_copyable_v<Transform> && sizeof(Transform) == 40);

inline constexpr float kSlerpLinearThreshold = 0.999f;
inline constexpr float kSingularDeterminant = 0.0005f;

Matrix MatrixIdentity();

// (1 - d) a + d b, per component.
Vec3 Vec3Lerp(const Vec3& a, const Vec3& b, float d);
float ScalarLerp(float a, float b, float d);

// Spherical interpolation along the shorter way (q1 negated when q0 . q1 < 0);
// normalised linear interpolation once the dot product reaches 0.999.
Quat QuatSlerp(const Quat& q0, Quat q1, float t);
// q / |q|; the zero quaternion is not guarded.
Quat QuatNormalize(const Quat& q);
// The conjugate divided by the squared length; the identity for zero.
Quat QuatInverse(const Quat& q);
// v rotated by q (exact for unit q): v + 2w (u x v) + 2 u x (u x v).
Vec3 QuatRotate(const Vec3& v, const Quat& q);
// The rotation matrix of q, used without normalising q.
Matrix QuatToMatrix(const Quat& q);

// Scale x rotation x translation.
Matrix TransformToMatrix(const Transform& t);

// Position and scale per component, rotation by QuatSlerp.
Transform TransformLerp(const Transform& a, const Transform& b, float d);

// A x B.
Matrix MatrixMultiply(const Matrix& a, const Matrix& b);
// Expansion along the first row, 3x3 minors along their first rows.
float MatrixDeterminant(const Matrix& m);
// The adjugate over the determinant; the identity when |det| < 0.0005.
Matrix MatrixInverse(const Matrix& m);

}  // namespace jolp
