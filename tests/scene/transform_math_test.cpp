// Vector, quaternion and matrix operations, including the two thresholds
// (slerp's linear branch, the inverse's singular fallback).
#include "scene/transform_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace jolp {
namespace {

void ExpectQuat(const Quat& q, float x, float y, float z, float w, float tolerance = 1e-6f) {
    EXPECT_NEAR(q.x, x, tolerance);
    EXPECT_NEAR(q.y, y, tolerance);
    EXPECT_NEAR(q.z, z, tolerance);
    EXPECT_NEAR(q.w, w, tolerance);
}

void ExpectVec(const Vec3& v, float x, float y, float z, float tolerance = 1e-6f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

void ExpectMatrix(const Matrix& m, const float (&expected)[4][4], float tolerance = 1e-6f) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(m.m[i][j], expected[i][j], tolerance) << "at [" << i << "][" << j << "]";
    }
}

Matrix Scale(float s) {
    Matrix m;
    m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
    return m;
}

constexpr float kIdentity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
const Quat kQuarterTurnZ{0.0f, 0.0f, 0.7071068f, 0.7071068f};

TEST(TransformMathSlerp, EndsAndHalfwayOfAQuarterTurn) {
    const Quat identity;
    const Quat a = QuatSlerp(identity, kQuarterTurnZ, 0.0f);
    ExpectQuat(a, 0, 0, 0, 1);
    const Quat b = QuatSlerp(identity, kQuarterTurnZ, 1.0f);
    ExpectQuat(b, 0, 0, 0.7071068f, 0.7071068f);
    const Quat half = QuatSlerp(identity, kQuarterTurnZ, 0.5f);
    ExpectQuat(half, 0, 0, 0.3826834f, 0.9238795f);
}

TEST(TransformMathSlerp, NegativeDotTakesTheShortWayAndEndsOnMinusQ1) {
    const Quat q0;
    const Quat q1{0.0f, 0.0f, -0.7071068f, -0.7071068f};  // the same rotation as kQuarterTurnZ, negated
    ExpectQuat(QuatSlerp(q0, q1, 1.0f), 0, 0, 0.7071068f, 0.7071068f);
    ExpectQuat(QuatSlerp(q0, q1, 0.5f), 0, 0, 0.3826834f, 0.9238795f);
}

TEST(TransformMathSlerp, NearlyEqualRotationsTakeTheNormalisedLinearBranch) {
    // cos(angle / 2) = 0.9995: above the 0.999 threshold.
    const float c = 0.9995f;
    const float s = std::sqrt(1.0f - c * c);
    const Quat q0;
    const Quat q1{0.0f, 0.0f, s, c};
    const Quat got = QuatSlerp(q0, q1, 0.25f);
    // The normalised sum, computed the same way.
    const float x = 0.75f * 0.0f + 0.25f * 0.0f, z = 0.25f * s, w = 0.75f + 0.25f * c;
    const float n = std::sqrt(x * x + z * z + w * w);
    EXPECT_FLOAT_EQ(got.z, z / n);
    EXPECT_FLOAT_EQ(got.w, w / n);
    EXPECT_FLOAT_EQ(got.z * got.z + got.w * got.w, 1.0f);
}

TEST(TransformMathQuat, InverseNormalizeAndRotate) {
    ExpectQuat(QuatInverse(Quat{0, 0, 0, 2}), 0, 0, 0, 0.5f);
    ExpectQuat(QuatInverse(Quat{0, 0, 0, 0}), 0, 0, 0, 1);
    ExpectQuat(QuatInverse(kQuarterTurnZ), 0, 0, -0.7071068f, 0.7071068f);
    ExpectQuat(QuatNormalize(Quat{0, 3, 0, 4}), 0, 0.6f, 0, 0.8f);

    ExpectVec(QuatRotate(Vec3{1, 0, 0}, kQuarterTurnZ), 0, 1, 0);
    ExpectVec(QuatRotate(Vec3{0, 1, 0}, kQuarterTurnZ), -1, 0, 0);
    ExpectVec(QuatRotate(Vec3{0, 0, 5}, kQuarterTurnZ), 0, 0, 5);
}

TEST(TransformMathMatrix, RotationMatrixAgreesWithQuatRotateOnRowVectors) {
    ExpectMatrix(QuatToMatrix(Quat{}), kIdentity);
    const Quat q = QuatNormalize(Quat{0.3f, -0.5f, 0.2f, 0.8f});
    const Matrix m = QuatToMatrix(q);
    const Vec3 v{1.5f, -2.0f, 0.25f};
    const Vec3 byMatrix{v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
                        v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
                        v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
    const Vec3 byQuat = QuatRotate(v, q);
    ExpectVec(byMatrix, byQuat.x, byQuat.y, byQuat.z, 1e-5f);
}

TEST(TransformMathMatrix, TransformScalesThenRotatesThenMoves) {
    Transform t;
    t.position = Vec3{1, 2, 3};
    t.scale = Vec3{2, 2, 2};
    ExpectMatrix(TransformToMatrix(t), {{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {1, 2, 3, 1}});

    // (1, 0, 0) scaled by 3 along x, turned a quarter about z, moved by (10, 0, 0).
    t.position = Vec3{10, 0, 0};
    t.rotation = kQuarterTurnZ;
    t.scale = Vec3{3, 1, 1};
    const Matrix m = TransformToMatrix(t);
    EXPECT_NEAR(1 * m.m[0][0] + m.m[3][0], 10.0f, 1e-5f);
    EXPECT_NEAR(1 * m.m[0][1] + m.m[3][1], 3.0f, 1e-5f);
}

TEST(TransformMathMatrix, MultiplyIsRowByColumn) {
    Matrix a, b;
    float k = 1;
    for (auto& row : a.m) {
        for (float& x : row) x = k++;
    }
    for (auto& row : b.m) {
        for (float& x : row) x = k++;
    }
    const Matrix c = MatrixMultiply(a, b);
    EXPECT_FLOAT_EQ(c.m[0][0], 1 * 17 + 2 * 21 + 3 * 25 + 4 * 29);
    EXPECT_FLOAT_EQ(c.m[2][3], 9 * 20 + 10 * 24 + 11 * 28 + 12 * 32);
    ExpectMatrix(MatrixMultiply(a, Matrix{}), a.m);
}

TEST(TransformMathInverse, SingularFallbackAtTheThreshold) {
    EXPECT_NEAR(MatrixDeterminant(Scale(0.05f)), 0.000125f, 1e-9f);
    ExpectMatrix(MatrixInverse(Scale(0.05f)), kIdentity);  // not a scale by 20
    const Matrix inv = MatrixInverse(Scale(0.08f));          // determinant 0.000512
    EXPECT_NEAR(inv.m[0][0], 12.5f, 1e-4f);
    EXPECT_NEAR(inv.m[2][2], 12.5f, 1e-4f);
    EXPECT_FLOAT_EQ(inv.m[3][3], 1.0f);
    Matrix zero;
    for (auto& row : zero.m) {
        for (float& x : row) x = 0.0f;
    }
    ExpectMatrix(MatrixInverse(zero), kIdentity);
}

TEST(TransformMathInverse, TranslationAndGeneralMatrix) {
    Matrix t;
    t.m[3][0] = 1;
    t.m[3][1] = 2;
    t.m[3][2] = 3;
    ExpectMatrix(MatrixInverse(t), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-1, -2, -3, 1}});

    Transform tr;
    tr.position = Vec3{4, -1, 2};
    tr.rotation = QuatNormalize(Quat{0.1f, 0.7f, -0.2f, 0.6f});
    tr.scale = Vec3{1.5f, 0.5f, 2.0f};
    const Matrix m = TransformToMatrix(tr);
    ExpectMatrix(MatrixMultiply(m, MatrixInverse(m)), kIdentity, 1e-5f);
}

}  // namespace
}  // namespace jolp
