// The valley scene as the generator builds it, loaded through the scene
// model: whether every camera frames what its shot is about, stays clear of
// the ground and inside the sky, moves smoothly; whether the meshes carry
// the tangent frame and winding the renderer relies on; and the budget the
// software rasterizer can afford.
#include "scene/jolp3d.h"
#include "scene/scene_file.h"
#include "scene/transform_math.h"
#include "tools/content/image.h"
#include "tools/content/mesh_builder.h"
#include "tools/content/scene_design.h"
#include "tools/content/valley.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <span>

namespace {

using jolp::Vec3;
using tarvel::content::Add;
using tarvel::content::Cross;
using tarvel::content::Dot;
using tarvel::content::Length;
using tarvel::content::Mul;
using tarvel::content::Normalise;
using tarvel::content::Sub;

constexpr float kAspect = 16.0f / 9.0f;

class ValleyScene : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        builder_ = new jolp::SceneFileBuilder;
        tarvel::content::BuildTarvelScene(*builder_);
        bytes_ = new std::vector<uint8_t>(builder_->Write());
        scene_ = new jolp::JOLP3D;
        loaded_ = scene_->LoadBytes(*bytes_, "valley", nullptr);
    }
    static void TearDownTestSuite() {
        delete scene_;
        delete bytes_;
        delete builder_;
    }
    void SetUp() override { ASSERT_TRUE(loaded_); }

    // Where a world point lands through the camera as the render system
    // builds its view and projection: x and y in [-1, 1] on the picture,
    // w the distance in front of the eye.
    struct Projected {
        float x, y, w;
    };
    static Projected Project(const jolp::CameraView& c, const Vec3& p) {
        const Vec3 d = Sub(p, c.position);
        const float vx = Dot(d, c.right), vy = Dot(d, c.up), vz = Dot(d, c.forward);
        const float yScale = 1.0f / std::tan(c.fov * 0.5f);
        const float w = -vz;
        return {vx * yScale / c.aspect / w, vy * yScale / w, w};
    }
    static jolp::CameraView Camera(const char* name, float t) {
        return scene_->EvaluateCamera(name, t, kAspect, 1.0f, 5000.0f);
    }
    static const jolp::SceneFile& File() { return builder_->File(); }

    static jolp::SceneFileBuilder* builder_;
    static std::vector<uint8_t>* bytes_;
    static jolp::JOLP3D* scene_;
    static bool loaded_;
};
jolp::SceneFileBuilder* ValleyScene::builder_ = nullptr;
std::vector<uint8_t>* ValleyScene::bytes_ = nullptr;
jolp::JOLP3D* ValleyScene::scene_ = nullptr;
bool ValleyScene::loaded_ = false;

// The dummies the particle tracks follow are on screen (with a margin for
// the particles round them) all through the shots in which they emit; a
// dummy that passes through the frame (a gust) is on screen for at least a
// quarter of each such shot.
void ExpectDummiesInView(jolp::JOLP3D& scene, std::span<const char* const> dummies, float from, float to,
                         bool passesThrough = false) {
    for (const tarvel::content::Shot& shot : tarvel::content::Shots()) {
        const float start = std::max(shot.start, from), end = std::min(shot.end, to);
        if (start >= end) continue;
        std::vector<int> inView(dummies.size(), 0);
        int samples = 0;
        for (float t = start; t < end; t += 0.25f) {
            const jolp::CameraView c = scene.EvaluateCamera(shot.camera, t, kAspect, 1.0f, 5000.0f);
            scene.Animate(jolp::MatrixIdentity(), t);
            ++samples;
            for (size_t i = 0; i < dummies.size(); ++i) {
                const jolp::SceneDummy* d = scene.FindDummy(dummies[i]);
                ASSERT_NE(d, nullptr) << dummies[i];
                const Vec3 v = Sub(d->transform.position, c.position);
                const float vz = -Dot(v, c.forward);
                const float yScale = 1.0f / std::tan(c.fov * 0.5f);
                const float x = Dot(v, c.right) * yScale / c.aspect / vz, y = Dot(v, c.up) * yScale / vz;
                const bool seen = vz > 3.0f && std::abs(x) < 0.85f && std::abs(y) < 0.85f;
                if (seen) ++inView[i];
                if (!passesThrough) {
                    EXPECT_TRUE(seen) << dummies[i] << " off screen, behind or too near " << shot.camera << " at " << t;
                }
            }
        }
        for (size_t i = 0; i < dummies.size(); ++i)
            EXPECT_GE(inView[i] * 4, samples) << dummies[i] << " hardly seen in " << shot.camera;
    }
}

TEST_F(ValleyScene, WispsAreInViewWhileTheyEmit) {
    const char* const wisps[] = {"Dummy01", "Dummy02", "Dummy03", "Dummy04"};
    ExpectDummiesInView(*scene_, wisps, 85.0f, 120.0f);
}

TEST_F(ValleyScene, WindAndFireAreInViewWhileTheyBlow) {
    const char* const fire[] = {"fire_dummy"};
    ExpectDummiesInView(*scene_, fire, 145.0f, 176.2f);
    const char* const wind[] = {"wind_dummy"};
    ExpectDummiesInView(*scene_, wind, 145.0f, 176.2f, true);
}

TEST_F(ValleyScene, TwentyShotsTileTheDemoAndEveryCameraExists) {
    const auto shots = tarvel::content::Shots();
    ASSERT_EQ(shots.size(), 20u);
    EXPECT_EQ(shots.front().start, 0.0f);
    EXPECT_FLOAT_EQ(shots.back().end, 204.4f);
    for (size_t i = 0; i < shots.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Camera%02zu", i + 1);
        EXPECT_STREQ(shots[i].camera, name);
        EXPECT_TRUE(scene_->cameras.count(name)) << name;
        if (i > 0) {
            EXPECT_EQ(shots[i].start, shots[i - 1].end);
        }
    }
}

// Eyes stay above the ground, out of the trees, inside the sky and within
// the far plane of it; the picture's axes stay level and orthonormal;
// motion and zoom are smooth (no jump between frames a tenth of a second
// apart).
TEST_F(ValleyScene, CamerasMoveSmoothlyAboveTheGroundInsideTheSky) {
    // The firs stand still at the origin's transform: their vertices are
    // where they stand.
    std::vector<Vec3> firs;
    for (const jolp::SceneFileObject& object : File().objects) {
        if (object.name.rfind("Firs", 0) != 0) continue;
        for (const jolp::SceneFileSubmesh& sub : File().meshes[static_cast<size_t>(object.mesh)].submeshes) {
            std::vector<jolp::SceneVertex> v(sub.vertexCount);
            std::memcpy(v.data(), sub.vertexBytes.data(), sub.vertexBytes.size());
            for (const jolp::SceneVertex& x : v) firs.push_back(x.position);
        }
    }
    ASSERT_GT(firs.size(), 1000u);
    for (const tarvel::content::Shot& shot : tarvel::content::Shots()) {
        jolp::CameraView previous = Camera(shot.camera, shot.start);
        for (float t = shot.start; t < shot.end; t += 0.1f) {
            const jolp::CameraView c = Camera(shot.camera, t);
            const Vec3 eye = c.position;
            EXPECT_GT(eye.y, tarvel::content::TerrainHeight(eye.x, eye.z) + 1.0f) << shot.camera << " at " << t;
            float nearestFir = 1e9f;
            for (const Vec3& p : firs) nearestFir = std::min(nearestFir, Length(Sub(p, eye)));
            EXPECT_GT(nearestFir, 4.0f) << shot.camera << " in a tree at " << t;
            EXPECT_GT(eye.y, tarvel::content::kWaterLevel + 1.0f) << shot.camera << " at " << t;
            EXPECT_LT(Length(Sub(eye, {-5.0f, 0.0f, 0.0f})), 900.0f) << shot.camera;
            EXPECT_NEAR(Length(c.right), 1.0f, 1e-3f);
            EXPECT_NEAR(Dot(c.right, c.up), 0.0f, 1e-3f);
            EXPECT_NEAR(c.right.y, 0.0f, 1e-3f) << shot.camera << " rolls";
            EXPECT_GT(c.up.y, 0.3f) << shot.camera << " upside down or straight down";
            EXPECT_LT(Length(Sub(eye, previous.position)), 2.5f) << shot.camera << " jumps at " << t;
            EXPECT_GT(Dot(c.forward, previous.forward), std::cos(0.08f)) << shot.camera << " turns abruptly at " << t;
            EXPECT_NEAR(c.fov, previous.fov, 0.01f);
            EXPECT_GT(c.fov, 0.5f);
            EXPECT_LT(c.fov, 1.3f);
            previous = c;
        }
    }
}

// Each shot shows something of its own: no two shots look from nearly the
// same place in nearly the same direction halfway through.
TEST_F(ValleyScene, ShotsAreDistinct) {
    std::vector<jolp::CameraView> middles;
    for (const tarvel::content::Shot& shot : tarvel::content::Shots())
        middles.push_back(Camera(shot.camera, 0.5f * (shot.start + shot.end)));
    for (size_t i = 0; i < middles.size(); ++i) {
        for (size_t j = i + 1; j < middles.size(); ++j) {
            const bool samePlace = Length(Sub(middles[i].position, middles[j].position)) < 3.0f;
            const bool sameWay = Dot(middles[i].forward, middles[j].forward) > std::cos(0.2f);
            EXPECT_FALSE(samePlace && sameWay) << "shots " << i + 1 << " and " << j + 1;
        }
    }
}

// What each shot is about is on screen: landmarks named by the shot table
// lie near the middle of the picture halfway through.
TEST_F(ValleyScene, ShotsFrameTheirSubjects) {
    struct Subject {
        const char* camera;
        Vec3 where;
    };
    const Subject subjects[] = {
        {"Camera03", tarvel::content::kGateCentre},
        {"Camera05", tarvel::content::kPowerBallCentre},
        {"Camera08", tarvel::content::kPowerBallCentre},
        {"Camera13", tarvel::content::kWheelCentre},
        {"Camera16", tarvel::content::FirePosition()},
    };
    for (const Subject& s : subjects) {
        for (const tarvel::content::Shot& shot : tarvel::content::Shots()) {
            if (std::string(shot.camera) != s.camera) continue;
            const Projected p = Project(Camera(s.camera, 0.5f * (shot.start + shot.end)), s.where);
            EXPECT_GT(p.w, 1.0f) << s.camera;
            EXPECT_LT(std::abs(p.x), 0.8f) << s.camera;
            EXPECT_LT(std::abs(p.y), 0.8f) << s.camera;
        }
    }
}

// Normals, tangents and binormals are unit and at right angles to the
// normal; the tangent points where u grows and the binormal where v grows;
// every triangle is wound clockwise when seen from the side its normals
// face (front faces are clockwise on screen).
TEST_F(ValleyScene, MeshesCarryTheTangentFrameAndWinding) {
    size_t corners = 0, tangentAgrees = 0, binormalAgrees = 0;
    for (const jolp::SceneFileMesh& mesh : File().meshes) {
        for (const jolp::SceneFileSubmesh& sub : mesh.submeshes) {
            std::vector<jolp::SceneVertex> v(sub.vertexCount);
            std::vector<uint32_t> idx(sub.indexCount);
            std::memcpy(v.data(), sub.vertexBytes.data(), sub.vertexBytes.size());
            std::memcpy(idx.data(), sub.indexBytes.data(), sub.indexBytes.size());
            for (const jolp::SceneVertex& x : v) {
                ASSERT_NEAR(Length(x.normal), 1.0f, 1e-3f);
                ASSERT_NEAR(Length(x.tangent), 1.0f, 1e-3f);
                ASSERT_NEAR(Length(x.binormal), 1.0f, 1e-3f);
                ASSERT_NEAR(Dot(x.normal, x.tangent), 0.0f, 1e-3f);
                ASSERT_NEAR(Dot(x.normal, x.binormal), 0.0f, 1e-3f);
            }
            for (size_t t = 0; t + 2 < idx.size(); t += 3) {
                const jolp::SceneVertex &a = v[idx[t]], &b = v[idx[t + 1]], &c = v[idx[t + 2]];
                const Vec3 e1 = Sub(b.position, a.position), e2 = Sub(c.position, a.position);
                const Vec3 n = Add(Add(a.normal, b.normal), c.normal);
                ASSERT_LT(Dot(Cross(e1, e2), n), 0.0f) << "triangle " << t / 3 << " wound counter-clockwise";
                const float u1 = b.u - a.u, v1 = b.v - a.v, u2 = c.u - a.u, v2 = c.v - a.v;
                const float det = u1 * v2 - u2 * v1;
                if (std::abs(det) < 1e-9f) continue;
                const Vec3 du = Mul(Sub(Mul(e1, v2), Mul(e2, v1)), 1.0f / det);
                const Vec3 dv = Mul(Sub(Mul(e2, u1), Mul(e1, u2)), 1.0f / det);
                for (const jolp::SceneVertex* x : {&a, &b, &c}) {
                    ++corners;
                    tangentAgrees += Dot(x->tangent, du) > 0.0f;
                    binormalAgrees += Dot(x->binormal, dv) > 0.0f;
                }
            }
        }
    }
    ASSERT_GT(corners, 1000u);
    // Only corners where a surface folds sharply (a pole, a cap's rim) may
    // disagree with one face's own direction.
    EXPECT_GT(static_cast<double>(tangentAgrees) / corners, 0.995);
    EXPECT_GT(static_cast<double>(binormalAgrees) / corners, 0.995);
}

TEST_F(ValleyScene, StaysWithinWhatASoftwareRasterizerCanDraw) {
    size_t triangles = 0;
    for (const jolp::DrawListEntry* e = scene_->drawList; e && e->object; e = e->next) triangles += e->submesh->indexCount / 3;
    EXPECT_LE(triangles, 60000u);
    EXPECT_GT(triangles, 10000u);
    EXPECT_LE(scene_->lights.size(), 6u);
    size_t shadows = 0;
    bool volume = false, cube = false, shadowCube = false;
    for (const jolp::SceneLight& l : scene_->lights) {
        shadows += l.CastsShadow();
        volume |= l.IsVolume();
        cube |= l.UsesLightCube() && !l.CastsShadow();
        shadowCube |= l.UsesLightCube() && l.CastsShadow();
    }
    EXPECT_LE(shadows, 3u);
    EXPECT_GE(shadows, 1u);
    EXPECT_TRUE(volume && cube && shadowCube);
}

// Lights move, change colour and reach over the demo.
TEST_F(ValleyScene, LightsAnimatePositionColourAndRadius) {
    size_t moving = 0, tinting = 0, pulsing = 0;
    for (const jolp::SceneLight& l : scene_->lights) {
        scene_->Animate(jolp::MatrixIdentity(), 20.0f);
        const Vec3 p0 = l.position, c0 = l.color;
        const float r0 = l.radius;
        EXPECT_GT(r0, 1.0f) << l.name;
        scene_->Animate(jolp::MatrixIdentity(), 150.0f);
        moving += Length(Sub(l.position, p0)) > 0.1f;
        tinting += Length(Sub(l.color, c0)) > 0.01f;
        pulsing += std::abs(l.radius - r0) > 0.01f;
    }
    EXPECT_GE(moving, 3u);
    EXPECT_GE(tinting, 4u);
    EXPECT_GE(pulsing, 4u);
}

TEST_F(ValleyScene, AnimatesOverTheWholeDemoWithAMirrorAndASignCrossingRotation) {
    EXPECT_NEAR(scene_->endTime, 204.4f, 0.05f);
    bool mirrored = false, crossing = false;
    for (const jolp::SceneFileObject& o : File().objects) {
        const jolp::SceneFileTrack& track = File().tracks[static_cast<size_t>(o.transformTrack)];
        const auto& f = track.values;
        for (int32_t k = 0; k < track.keyCount; ++k) {
            const float* key = &f[static_cast<size_t>(k) * 10];
            if (key[7] * key[8] * key[9] < 0.0f) mirrored = true;
            if (k == 0) continue;
            const float* prev = key - 10;
            const float dot = key[3] * prev[3] + key[4] * prev[4] + key[5] * prev[5] + key[6] * prev[6];
            if (dot >= 0.0f) continue;
            crossing = true;
            // The scene interpolates the short way: between the two keys
            // the object turns only a little, not round the long way.
            const float t0 = static_cast<float>(k - 1) * 0.1f;
            const jolp::Transform a = scene_->EvaluateTransform(o.transformTrack, t0 + 0.02f);
            const jolp::Transform b = scene_->EvaluateTransform(o.transformTrack, t0 + 0.08f);
            const float between = std::abs(a.rotation.x * b.rotation.x + a.rotation.y * b.rotation.y +
                                           a.rotation.z * b.rotation.z + a.rotation.w * b.rotation.w);
            EXPECT_GT(between, 0.99f) << o.name << " between keys " << k - 1 << " and " << k;
        }
    }
    EXPECT_TRUE(mirrored);
    EXPECT_TRUE(crossing);
    // Something is still moving at the very end.
    size_t moving = 0;
    for (const jolp::SceneFileObject& o : File().objects) {
        const jolp::Transform a = scene_->EvaluateTransform(o.transformTrack, 203.0f);
        const jolp::Transform b = scene_->EvaluateTransform(o.transformTrack, 204.3f);
        moving += Length(Sub(a.position, b.position)) > 1e-3f ||
                  std::abs(a.rotation.w - b.rotation.w) + std::abs(a.rotation.y - b.rotation.y) > 1e-4f;
    }
    EXPECT_GE(moving, 5u);
}

// Every shader name is drawn, and the multi-material lamps draw their
// pieces with different sub-materials.
TEST_F(ValleyScene, UsesEveryShaderAndAMultiMaterial) {
    std::set<std::string> shaders;
    std::map<const jolp::SceneObject*, std::set<const jolp::SceneMaterial*>> perObject;
    for (const jolp::DrawListEntry* e = scene_->drawList; e && e->object; e = e->next) {
        shaders.insert(e->sceneMaterial->shaderName);
        perObject[e->object].insert(e->sceneMaterial);
    }
    EXPECT_EQ(shaders, (std::set<std::string>{"qo_additive.fx", "qo_cubicwater.fx", "qo_lambertblinn.fx",
                                              "qo_parallaxedlambertblinn.fx"}));
    size_t multi = 0;
    for (const auto& [object, materials] : perObject) multi += materials.size() > 1;
    EXPECT_GE(multi, 1u);
}

// The stored camera rotation is the inverse of the camera's orientation:
// the camera looks at its target, right to the right, up up.
TEST(CameraRotation, LooksAtTheTargetWithTheWorldUp) {
    jolp::SceneFileBuilder b;
    const Vec3 eye{3.0f, 4.0f, 5.0f}, target{-7.0f, 1.0f, 20.0f};
    const jolp::Transform key{eye, tarvel::content::CameraRotation(eye, target), {1, 1, 1}};
    const float fov[1] = {1.0f};
    b.AddCamera("Camera01", b.AddTransformTrack(std::span(&key, 1)), b.AddScalarTrack(fov));
    const std::vector<uint8_t> bytes = b.Write();
    jolp::JOLP3D scene;
    ASSERT_TRUE(scene.LoadBytes(bytes, "camera", nullptr));
    const jolp::CameraView c = scene.EvaluateCamera("Camera01", 0.0f, kAspect, 1.0f, 5000.0f);
    const Vec3 look = Normalise(Sub(target, eye));
    EXPECT_NEAR(Dot(c.forward, look), -1.0f, 1e-4f);  // visible points lie along -forward
    EXPECT_NEAR(c.right.y, 0.0f, 1e-4f);
    EXPECT_GT(c.up.y, 0.0f);
    EXPECT_NEAR(Dot(Cross(look, {0, 1, 0}), c.right) / Length(Cross(look, {0, 1, 0})), 1.0f, 1e-4f);
}

// The normal maps' convention: a height rising towards +u tilts the normal
// towards -u (red below one half); rising down the image, towards +v,
// tilts it towards -v (green below one half); the height goes to alpha.
TEST(NormalMaps, SlopesFollowTheTangentAndBinormal) {
    tarvel::content::Image up(8, 8), down(8, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const float ramp = 0.5f + 0.05f * std::sin(6.2831853f * static_cast<float>(x) / 8.0f);
            up.At(x, y) = {ramp, ramp, ramp, 1.0f};
            const float fall = 0.5f + 0.05f * std::sin(6.2831853f * static_cast<float>(y) / 8.0f);
            down.At(x, y) = {fall, fall, fall, 1.0f};
        }
    }
    const tarvel::content::Image nu = tarvel::content::NormalMapFromHeight(up, 4.0f);
    const tarvel::content::Image nd = tarvel::content::NormalMapFromHeight(down, 4.0f);
    // At x = 0 the ramp rises with x; at y = 0 the fall rises with y.
    EXPECT_LT(nu.At(0, 3).r, 0.5f);
    EXPECT_NEAR(nu.At(0, 3).g, 0.5f, 1e-4f);
    EXPECT_LT(nd.At(3, 0).g, 0.5f);
    EXPECT_NEAR(nd.At(3, 0).r, 0.5f, 1e-4f);
    EXPECT_FLOAT_EQ(nu.At(2, 2).a, up.At(2, 2).r);
}

}  // namespace
