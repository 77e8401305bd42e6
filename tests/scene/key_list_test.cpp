// Key lists: sorting, the interval search, clamping and interpolation of
// the three value types.
#include "scene/animation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace jolp {
namespace {

KeyList<float> ZeroTenTwenty() {
    KeyList<float> list;
    list.Add(0.0f, 0.0f);
    list.Add(0.1f, 10.0f);
    list.Add(0.2f, 20.0f);
    return list;
}

TEST(KeyListEvaluate, ClampsOutsideAndInterpolatesInside) {
    KeyList<float> list = ZeroTenTwenty();
    EXPECT_NEAR(list.Evaluate(0.05f), 5.0f, 1e-5f);
    EXPECT_FLOAT_EQ(list.Evaluate(-1.0f), 0.0f);
    EXPECT_FLOAT_EQ(list.Evaluate(7.0f), 20.0f);
    EXPECT_FLOAT_EQ(list.Evaluate(0.1f), 10.0f);
    EXPECT_FLOAT_EQ(list.Evaluate(0.2f), 20.0f);
    EXPECT_NEAR(list.Evaluate(0.175f), 17.5f, 1e-4f);
}

TEST(KeyListFindKey, LastKeyStrictlyBelowOrZero) {
    KeyList<float> list = ZeroTenTwenty();
    EXPECT_EQ(list.FindKey(-5.0f), 0u);
    EXPECT_EQ(list.FindKey(0.0f), 0u);
    EXPECT_EQ(list.FindKey(0.1f), 0u);  // key 1 is not strictly below 0.1
    EXPECT_EQ(list.FindKey(0.10001f), 1u);
    EXPECT_EQ(list.FindKey(0.2f), 1u);
    EXPECT_EQ(list.FindKey(9.0f), 2u);

    KeyList<float> one;
    one.Add(3.0f, 1.0f);
    EXPECT_EQ(one.FindKey(100.0f), 0u);
    KeyList<float> none;
    EXPECT_EQ(none.FindKey(1.0f), 0u);
}

TEST(KeyListEvaluate, SingleKeyHoldsEverywhereAndEmptyIsNeutral) {
    KeyList<Vec3> one;
    one.Add(0.5f, Vec3{1, 2, 3});
    for (float t : {-3.0f, 0.5f, 0.7f, 1e9f}) {
        const Vec3 v = one.Evaluate(t);
        EXPECT_EQ(v.x, 1.0f);
        EXPECT_EQ(v.y, 2.0f);
        EXPECT_EQ(v.z, 3.0f);
    }
    KeyList<float> emptyScalar;
    EXPECT_EQ(emptyScalar.Evaluate(1.0f), 0.0f);
    KeyList<Transform> emptyTransform;
    const Transform t = emptyTransform.Evaluate(1.0f);
    EXPECT_EQ(t.rotation.w, 1.0f);
    EXPECT_EQ(t.scale.x, 1.0f);
    EXPECT_EQ(t.position.x, 0.0f);
}

TEST(KeyListPrepare, UnorderedKeysEvaluateAsOrderedOnes) {
    KeyList<float> shuffled;
    shuffled.Add(0.2f, 20.0f);
    shuffled.Add(0.0f, 0.0f);
    shuffled.Add(0.1f, 10.0f);
    EXPECT_TRUE(shuffled.dirty);
    KeyList<float> ordered = ZeroTenTwenty();
    for (float t : {-1.0f, 0.0f, 0.03f, 0.1f, 0.15f, 0.2f, 3.0f}) EXPECT_EQ(shuffled.Evaluate(t), ordered.Evaluate(t)) << t;
    EXPECT_FALSE(shuffled.dirty);
    EXPECT_FLOAT_EQ(shuffled.firstTime, 0.0f);
    EXPECT_FLOAT_EQ(shuffled.lastTime, 0.2f);

    // A key added later makes the list dirty again and is sorted in.
    shuffled.Add(-0.1f, -10.0f);
    EXPECT_TRUE(shuffled.dirty);
    EXPECT_NEAR(shuffled.Evaluate(-0.05f), -5.0f, 1e-5f);
    EXPECT_FLOAT_EQ(shuffled.firstTime, -0.1f);
}

TEST(KeyListEvaluate, KeysAtOneTimeGiveAValueNotANaN) {
    KeyList<float> list;
    list.Add(1.0f, 3.0f);
    list.Add(1.0f, 5.0f);
    list.Add(2.0f, 7.0f);
    for (float t : {0.0f, 1.0f, 1.5f, 2.0f}) EXPECT_FALSE(std::isnan(list.Evaluate(t))) << t;
    EXPECT_FLOAT_EQ(list.Evaluate(1.5f), 6.0f);
}

TEST(KeyListEvaluate, VectorsPerComponent) {
    KeyList<Vec3> list;
    list.Add(0.0f, Vec3{0, 10, -4});
    list.Add(1.0f, Vec3{2, 20, 4});
    const Vec3 v = list.Evaluate(0.25f);
    EXPECT_FLOAT_EQ(v.x, 0.5f);
    EXPECT_FLOAT_EQ(v.y, 12.5f);
    EXPECT_FLOAT_EQ(v.z, -2.0f);
}

TEST(KeyListEvaluate, TransformsBlendPositionScaleAndSlerpRotation) {
    KeyList<Transform> list;
    Transform a, b;
    a.position = Vec3{0, 0, 0};
    a.scale = Vec3{1, 1, 1};
    b.position = Vec3{4, 0, 0};
    b.scale = Vec3{3, 1, 1};
    b.rotation = Quat{0.0f, 0.0f, 0.7071068f, 0.7071068f};
    list.Add(0.0f, a);
    list.Add(0.1f, b);
    const Transform mid = list.Evaluate(0.05f);
    EXPECT_NEAR(mid.position.x, 2.0f, 1e-5f);
    EXPECT_NEAR(mid.scale.x, 2.0f, 1e-5f);
    EXPECT_NEAR(mid.rotation.z, 0.3826834f, 1e-5f);
    EXPECT_NEAR(mid.rotation.w, 0.9238795f, 1e-5f);
}

TEST(KeyListEvaluate, OppositeSignQuaternionsStayAtOneOrientation) {
    const Quat q{0.0f, 0.6f, 0.0f, 0.8f};
    KeyList<Transform> list;
    Transform a, b;
    a.rotation = q;
    b.rotation = Quat{-q.x, -q.y, -q.z, -q.w};
    list.Add(0.0f, a);
    list.Add(0.1f, b);
    for (float t : {0.0f, 0.02f, 0.05f, 0.08f, 0.1f}) {
        const Quat r = list.Evaluate(t).rotation;
        EXPECT_NEAR(r.y, 0.6f, 1e-5f) << t;
        EXPECT_NEAR(r.w, 0.8f, 1e-5f) << t;
    }
}

}  // namespace
}  // namespace jolp
