// The scene model loaded without a device: tables and name maps, the draw
// list and material resolution, material parameters, Animate,
// EvaluateCamera, submission, and the empty scene a refused file leaves.
#include "scene/jolp3d.h"

#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace jolp {
namespace {

using ::testing::HasSubstr;

const SceneVertex kTriangle[3] = {
    {{0, 0, 0}, {0, 0, 1}, 0, 0, {1, 0, 0}, {0, 1, 0}},
    {{1, 0, 0}, {0, 0, 1}, 1, 0, {1, 0, 0}, {0, 1, 0}},
    {{0, 1, 0}, {0, 0, 1}, 0, 1, {1, 0, 0}, {0, 1, 0}},
};
const uint32_t kTriangleIndices[3] = {0, 1, 2};

Transform At(Vec3 position, Vec3 scale = {1, 1, 1}, Quat rotation = {}) { return Transform{position, rotation, scale}; }

// Materials 0..2 are leaves, every object uses a one-key identity track.
struct SceneFixture {
    SceneFileBuilder builder;
    int32_t still = 0;
    SceneFixture() {
        const Transform identity[1] = {Transform{}};
        still = builder.AddTransformTrack(identity);
        builder.AddLeafMaterial("A", "qo_lambertblinn.fx");
        builder.AddLeafMaterial("B", "qo_additive.fx");
        builder.AddLeafMaterial("C", "qo_cubicwater.fx");
    }
    int32_t MeshWithSlots(std::initializer_list<int32_t> slots) {
        const int32_t mesh = builder.AddMesh();
        for (int32_t slot : slots) builder.AddSubmesh(mesh, slot, kTriangle, kTriangleIndices);
        return mesh;
    }
    bool Load(JOLP3D& scene) {
        bytes = builder.Write();
        return scene.LoadBytes(bytes, "test.JOLP3D", nullptr);
    }
    std::vector<uint8_t> bytes;
};

std::vector<std::string> DrawListMaterials(const JOLP3D& scene) {
    std::vector<std::string> names;
    const DrawListEntry* e = scene.drawList;
    for (; e && e->object; e = e->next) names.push_back(e->object->name + ":" + e->sceneMaterial->name);
    EXPECT_NE(e, nullptr) << "the list ends in its marker";
    if (e) {
        EXPECT_EQ(e->next, nullptr);
        EXPECT_EQ(e->submesh, nullptr);
        EXPECT_EQ(e->sceneMaterial, nullptr);
    }
    return names;
}

class RecordingSink final : public DrawSink {
public:
    void SubmitItem(const jolp::DrawItem& item) override { items.push_back(item); }
    void SubmitLight(const jolp::RenderLight& light) override { lights.push_back(light); }
    std::vector<jolp::DrawItem> items;
    std::vector<jolp::RenderLight> lights;
};

jolp::Material* FakeMaterial(int& token) { return reinterpret_cast<jolp::Material*>(&token); }

TEST(SceneModelLoad, SmallestFileGivesAnEmptySceneWithOnlyTheMarker) {
    std::vector<uint8_t> bytes = {0x4B, 0x33, 0x44, 0x46, 0xAA, 0, 0, 0};
    bytes.resize(36, 0);
    JOLP3D scene;
    ASSERT_TRUE(scene.LoadBytes(bytes, "smallest", nullptr));
    EXPECT_EQ(scene.endTime, 0.0f);
    EXPECT_EQ(scene.startTime, 0.0f);
    ASSERT_NE(scene.drawList, nullptr);
    EXPECT_TRUE(DrawListMaterials(scene).empty());
    EXPECT_EQ(scene.LeafMaterialCount(), 0);
    EXPECT_EQ(scene.LightCount(), 0);
}

TEST(SceneModelDrawList, LeafMaterialCoversEverySubmeshInOrder) {
    SceneFixture f;
    const int32_t mesh = f.MeshWithSlots({5, 0, 9});
    f.builder.AddObject("Rock", mesh, 1, f.still);
    f.builder.AddObject("Pebble", f.MeshWithSlots({0}), 0, f.still);
    JOLP3D scene;
    ASSERT_TRUE(f.Load(scene));
    EXPECT_EQ(DrawListMaterials(scene), (std::vector<std::string>{"Rock:B", "Rock:B", "Rock:B", "Pebble:A"}));
    const DrawListEntry* e = scene.drawList;
    EXPECT_EQ(e->submesh, &scene.meshes[0].submeshes[0]);
    EXPECT_EQ(e->next->next->submesh, &scene.meshes[0].submeshes[2]);
    EXPECT_EQ(e->object, &scene.objects[0]);
}

TEST(SceneModelDrawList, MultiMaterialSlotsTakenUnsignedModuloTheCount) {
    SceneFixture f;
    const int32_t two = f.builder.AddMultiMaterial("AB", {0, 1});
    const int32_t three = f.builder.AddMultiMaterial("ABC", {0, 1, 2});
    const int32_t nested = f.builder.AddMultiMaterial("Nested", {two, 2});
    f.builder.AddObject("Two", f.MeshWithSlots({0, 1, 2}), two, f.still);
    f.builder.AddObject("Three", f.MeshWithSlots({7, -1, 5}), three, f.still);
    f.builder.AddObject("Deep", f.MeshWithSlots({0, 1}), nested, f.still);
    JOLP3D scene;
    ASSERT_TRUE(f.Load(scene));
    // 4294967295 mod 3 = 0; a multi-material inside one is taken as it is.
    EXPECT_EQ(DrawListMaterials(scene), (std::vector<std::string>{"Two:A", "Two:B", "Two:A", "Three:B", "Three:A",
                                                                  "Three:C", "Deep:AB", "Deep:C"}));
    EXPECT_EQ(scene.LeafMaterialCount(), 3);
    ASSERT_EQ(scene.leafMaterials.size(), 3u);
    EXPECT_EQ(scene.leafMaterials[2], &scene.materials[2]);
}

TEST(SceneModelNames, LaterCamerasLightsAndDummiesTakeOverTheirNames) {
    SceneFixture f;
    const float fov[1] = {1.0f};
    const Vec3 spot[1] = {{1, 2, 3}};
    const int32_t fovTrack = f.builder.AddScalarTrack(fov);
    const int32_t spotTrack = f.builder.AddVectorTrack(spot);
    const Transform first[1] = {At({1, 0, 0})};
    const Transform second[1] = {At({2, 0, 0})};
    const int32_t t1 = f.builder.AddTransformTrack(first);
    const int32_t t2 = f.builder.AddTransformTrack(second);
    f.builder.AddCamera("Camera01", t1, fovTrack);
    f.builder.AddCamera("Camera01", t2, fovTrack);
    f.builder.AddLight("Omni", spotTrack, spotTrack, fovTrack);
    f.builder.AddLight("Omni", spotTrack, spotTrack, fovTrack);
    f.builder.AddDummy("fire_dummy", t1, {{"k", "1"}, {"k", "2"}});
    f.builder.AddDummy("fire_dummy", t2);
    f.builder.AddDummy("Dummy01", t1);
    JOLP3D scene;
    ASSERT_TRUE(f.Load(scene));

    ASSERT_EQ(scene.cameras.size(), 1u);
    EXPECT_EQ(scene.cameras.at("Camera01").transformTrack, t2);
    EXPECT_EQ(scene.LightCount(), 2);
    EXPECT_EQ(scene.lightIndex.at("Omni"), 1);
    EXPECT_EQ(scene.FindDummy("fire_dummy"), &scene.dummies[1]);
    EXPECT_EQ(scene.FindDummy("Dummy01"), &scene.dummies[2]);
    EXPECT_EQ(scene.FindDummy("Dummy02"), nullptr);
    EXPECT_EQ(scene.FindDummy("fire_Dummy"), nullptr);
    EXPECT_EQ(scene.dummies[0].properties.at("k"), "2");

    // As loaded: dummies at the origin with zero scale, identity matrices.
    const SceneDummy* d = scene.FindDummy("Dummy01");
    EXPECT_EQ(d->transform.scale.x, 0.0f);
    EXPECT_EQ(d->transform.rotation.w, 1.0f);
    EXPECT_EQ(d->matrix.m[3][0], 0.0f);
    scene.Animate(Matrix{}, 0.0f);
    EXPECT_EQ(scene.FindDummy("fire_dummy")->transform.position.x, 2.0f);
    EXPECT_EQ(d->matrix.m[3][0], 1.0f);
    EXPECT_EQ(d->matrixInverse.m[3][0], -1.0f);
}

TEST(SceneModelMaterial, StringBoolAndFloatParameters) {
    SceneFixture f;
    f.builder.AddLeafMaterial("P", "qo_parallaxedlambertblinn.fx",
                              {{"diffuseTex", "rock.jpg"},
                               {"swapNormalX", "true"},
                               {"swapNormalY", "True"},
                               {"flagOne", "1"},
                               {"flagSpace", "true "},
                               {"bumpDepth", "0.05"},
                               {"bumpDepth", "2.5"},
                               {"textureSize", "  -1.5e2px"},
                               {"hex", "0x10"},
                               {"dot", ".5"},
                               {"word", "abc"},
                               {"empty", ""}});
    JOLP3D scene;
    ASSERT_TRUE(f.Load(scene));
    const SceneMaterial& m = scene.materials[3];
    EXPECT_EQ(m.GetString("diffuseTex"), "rock.jpg");
    EXPECT_EQ(m.GetString("normalTex"), "");
    EXPECT_EQ(m.GetString("empty"), "");
    EXPECT_TRUE(m.GetBool("swapNormalX"));
    EXPECT_FALSE(m.GetBool("swapNormalY"));
    EXPECT_FALSE(m.GetBool("flagOne"));
    EXPECT_FALSE(m.GetBool("flagSpace"));
    EXPECT_FALSE(m.GetBool("absent"));
    EXPECT_EQ(m.GetFloat("bumpDepth"), 2.5f);  // the later pair wins
    EXPECT_EQ(m.GetFloat("textureSize"), -150.0f);
    EXPECT_EQ(m.GetFloat("hex"), 16.0f);
    EXPECT_EQ(m.GetFloat("dot"), 0.5f);
    EXPECT_EQ(m.GetFloat("word"), 0.0f);
    EXPECT_EQ(m.GetFloat("empty"), 0.0f);
    EXPECT_EQ(m.GetFloat("absent"), 0.0f);
    EXPECT_EQ(m.parameters.size(), 11u);
}

TEST(SceneModelMaterial, GetFloatReadsTheCLocaleWhateverTheProcessLocale) {
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            comma = name;
            break;
        }
    }
    // None installed: compile one from the system's locale sources.
    testing::TempDir localeDir;
    const std::string make = "localedef -i de_DE -f UTF-8 " + (localeDir / "de_DE.UTF-8") + " >/dev/null 2>&1";
    if (!comma && std::system(make.c_str()) == 0) {
        ::setenv("LOCPATH", localeDir.Path().c_str(), 1);
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) comma = "de_DE.UTF-8 (compiled)";
        ::unsetenv("LOCPATH");
    }
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma could be found or made";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(std::atof("2,5"), 2.5);  // the process locale really reads commas
    SceneFixture f;
    f.builder.AddLeafMaterial("P", "qo_lambertblinn.fx", {{"bumpDepth", "2.5"}, {"comma", "2,5"}});
    JOLP3D scene;
    const bool loaded = f.Load(scene);
    const float dot = scene.materials[3].GetFloat("bumpDepth");
    const float withComma = scene.materials[3].GetFloat("comma");
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(dot, 2.5f) << comma;
    EXPECT_EQ(withComma, 2.0f) << comma;
}

TEST(SceneModelAnimate, ObjectsUnderTheRootLightsAndDummiesWithout) {
    SceneFixture f;
    const Transform path[2] = {At({1, 2, 3}, {2, 2, 2}), At({3, 2, 3}, {2, 2, 2})};
    const Transform tiny[1] = {At({0, 0, 0}, {0.05f, 0.05f, 0.05f})};
    const Vec3 position[2] = {{0, 0, 0}, {10, 20, 30}};
    const Vec3 color[1] = {{1, 0.5f, 0.25f}};
    const float radius[2] = {4, 8};
    const int32_t pathTrack = f.builder.AddTransformTrack(path);
    const int32_t tinyTrack = f.builder.AddTransformTrack(tiny);
    const int32_t positionTrack = f.builder.AddVectorTrack(position);
    const int32_t colorTrack = f.builder.AddVectorTrack(color);
    const int32_t radiusTrack = f.builder.AddScalarTrack(radius);
    f.builder.AddObject("Mover", f.MeshWithSlots({0}), 0, pathTrack);
    f.builder.AddObject("Tiny", 0, 0, tinyTrack);
    f.builder.AddLight("Omni01", positionTrack, colorTrack, radiusTrack);
    f.builder.AddDummy("Dummy01", pathTrack);
    JOLP3D scene;
    ASSERT_TRUE(f.Load(scene));
    EXPECT_FLOAT_EQ(scene.endTime, 0.1f);
    EXPECT_EQ(scene.objects[0].world.m[3][0], 0.0f);  // identity until animated
    EXPECT_EQ(scene.lights[0].radius, 0.0f);

    Matrix root;
    root.m[3][0] = 10.0f;
    scene.Animate(root, 0.05f);
    const SceneObject& mover = scene.objects[0];
    EXPECT_FLOAT_EQ(mover.world.m[0][0], 2.0f);
    EXPECT_NEAR(mover.world.m[3][0], 12.0f, 1e-5f);  // 2 along the path, then the root's 10
    EXPECT_FLOAT_EQ(mover.world.m[3][1], 2.0f);
    EXPECT_FLOAT_EQ(mover.worldInverse.m[0][0], 0.5f);
    EXPECT_NEAR(mover.worldInverse.m[3][0], -6.0f, 1e-5f);
    // A scale of 0.05 leaves the determinant below 0.0005: identity inverse.
    EXPECT_EQ(scene.objects[1].worldInverse.m[0][0], 1.0f);
    EXPECT_EQ(scene.objects[1].worldInverse.m[3][0], 0.0f);

    const SceneLight& light = scene.lights[0];
    EXPECT_NEAR(light.position.x, 5.0f, 1e-4f);  // the root does not apply
    EXPECT_NEAR(light.position.z, 15.0f, 1e-4f);
    EXPECT_FLOAT_EQ(light.color.y, 0.5f);
    EXPECT_NEAR(light.radius, 6.0f, 1e-5f);

    const SceneDummy& dummy = scene.dummies[0];
    EXPECT_NEAR(dummy.transform.position.x, 2.0f, 1e-5f);
    EXPECT_NEAR(dummy.matrix.m[3][0], 2.0f, 1e-5f);
    EXPECT_NEAR(dummy.matrixInverse.m[3][0], -1.0f, 1e-5f);

    scene.Animate(root, 100.0f);  // past the end: held at the last key
    EXPECT_NEAR(mover.world.m[3][0], 13.0f, 1e-5f);
    EXPECT_FLOAT_EQ(light.radius, 8.0f);
}

TEST(SceneModelCamera, DefaultViewFieldOfViewAndAxes) {
    SceneFixture f;
    const float fov[1] = {1.0f};
    const float s = std::sqrt(0.5f);
    const Transform identity[1] = {At({5, 6, 7}, {9, 9, 9})};
    const Transform turned[2] = {At({0, 0, 0}, {1, 1, 1}, Quat{0, s, 0, s}), At({0, 0, 4}, {1, 1, 1}, Quat{0, s, 0, s})};
    const int32_t fovTrack = f.builder.AddScalarTrack(fov);
    f.builder.AddCamera("Straight", f.builder.AddTransformTrack(identity), fovTrack);
    f.builder.AddCamera("Turned", f.builder.AddTransformTrack(turned), fovTrack);
    JOLP3D scene;
    ASSERT_TRUE(f.Load(scene));

    const CameraView none = scene.EvaluateCamera("Camera99", 3.0f, 16.0f / 9.0f, 1.0f, 5000.0f);
    const float defaults[16] = {45, 1.3333334f, 1, 1000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&none, defaults, sizeof defaults), 0);

    const CameraView straight = scene.EvaluateCamera("Straight", 0.0f, 16.0f / 9.0f, 1.0f, 5000.0f);
    EXPECT_FLOAT_EQ(straight.fov, 0.5625f);
    EXPECT_FLOAT_EQ(straight.aspect, 16.0f / 9.0f);
    EXPECT_EQ(straight.nearPlane, 1.0f);
    EXPECT_EQ(straight.farPlane, 5000.0f);
    EXPECT_EQ(straight.position.x, 5.0f);
    EXPECT_EQ(straight.position.z, 7.0f);
    EXPECT_EQ(straight.right.x, 1.0f);
    EXPECT_EQ(straight.forward.z, 1.0f);
    EXPECT_EQ(straight.up.y, 1.0f);
    EXPECT_EQ(straight.right.y + straight.right.z + straight.forward.x + straight.up.z, 0.0f);

    // A quarter turn about y, seen through its inverse.
    const CameraView turnedView = scene.EvaluateCamera("Turned", 0.05f, 2.0f, 0.5f, 10.0f);
    EXPECT_FLOAT_EQ(turnedView.fov, 0.5f);
    EXPECT_NEAR(turnedView.position.z, 2.0f, 1e-5f);
    EXPECT_NEAR(turnedView.right.z, 1.0f, 1e-6f);
    EXPECT_NEAR(turnedView.forward.x, -1.0f, 1e-6f);
    EXPECT_NEAR(turnedView.up.y, 1.0f, 1e-6f);
}

TEST(SceneModelSubmit, WithoutDeviceBuffersNoItemsButLightsAreSubmitted) {
    SceneFixture f;
    const Vec3 p[1] = {{1, 2, 3}};
    const float r[1] = {7};
    const int32_t pt = f.builder.AddVectorTrack(p);
    const int32_t rt = f.builder.AddScalarTrack(r);
    f.builder.AddObject("Rock", f.MeshWithSlots({0}), 0, f.still);
    f.builder.AddLight("Omni_shadow", pt, pt, rt);
    f.builder.AddLight("Unbound", pt, pt, rt);
    JOLP3D scene;
    ASSERT_TRUE(f.Load(scene));
    int token = 0;
    scene.materials[0].material = FakeMaterial(token);
    jolp::RenderLight bound;
    bound.volumeIntensity = 0.75f;
    bound.castsShadow = true;
    scene.lights[0].renderLight = &bound;

    scene.Animate(Matrix{}, 0.0f);
    RecordingSink sink;
    scene.SubmitDrawItems(sink);
    scene.SubmitLights(sink);
    EXPECT_TRUE(sink.items.empty());
    ASSERT_EQ(sink.lights.size(), 1u);  // the light without a render light is left out
    EXPECT_EQ(sink.lights[0].position.y, 2.0f);
    EXPECT_EQ(sink.lights[0].color.z, 3.0f);
    EXPECT_EQ(sink.lights[0].radius, 7.0f);
    EXPECT_EQ(sink.lights[0].volumeIntensity, 0.75f);
    EXPECT_TRUE(sink.lights[0].castsShadow);
    EXPECT_EQ(bound.position.x, 1.0f);  // written into the render light itself
    EXPECT_TRUE(scene.lights[0].CastsShadow());
    EXPECT_FALSE(scene.lights[0].IsVolume());
}

TEST(SceneModelRefusal, RefusedFileLeavesAnEmptyUsableSceneAndOneLine) {
    SceneFixture f;
    f.builder.AddObject("Rock", f.MeshWithSlots({0}), 0, f.still);
    f.builder.AddDummy("Dummy01", f.still);
    f.builder.AddCamera("Camera01", f.still, f.still);  // a transform track where a scalar one is needed
    f.bytes = f.builder.Write();

    JOLP3D scene;
    std::vector<uint8_t> good;
    {
        SceneFixture g;
        g.builder.AddDummy("Dummy01", g.still);
        good = g.builder.Write();
    }
    ASSERT_TRUE(scene.LoadBytes(good, "good", nullptr));
    ASSERT_NE(scene.FindDummy("Dummy01"), nullptr);

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(scene.LoadBytes(f.bytes, "bad.JOLP3D", nullptr));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, ::testing::MatchesRegex("[a-z_]+: warning: bad\\.JOLP3D: byte [0-9]+: field-of-view track 0 of "
                                             "camera 0 is a transform track, a scalar track is needed; the "
                                             "scene is left empty\n"));

    EXPECT_TRUE(scene.meshes.empty() && scene.objects.empty() && scene.tracks.empty());
    EXPECT_EQ(scene.drawList, nullptr);
    EXPECT_EQ(scene.FindDummy("Dummy01"), nullptr);
    scene.Animate(Matrix{}, 1.0f);
    RecordingSink sink;
    scene.SubmitDrawItems(sink);
    scene.SubmitLights(sink);
    EXPECT_TRUE(sink.items.empty() && sink.lights.empty());
    EXPECT_EQ(scene.EvaluateCamera("Camera01", 0, 2, 1, 5000).fov, 45.0f);

    testing::TempDir dir;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(scene.Load(dir / "missing.JOLP3D", nullptr));
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("missing.JOLP3D: cannot read"));
}

TEST(SceneModelLoad, FromAFileOurWriterMade) {
    testing::TempDir dir;
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    std::string reason;
    ASSERT_TRUE(WriteSceneFileTo(dir / "scene.JOLP3D", builder.File(), reason)) << reason;
    JOLP3D scene;
    ASSERT_TRUE(scene.Load(dir / "scene.JOLP3D", nullptr));
    EXPECT_EQ(scene.device, nullptr);
    EXPECT_EQ(scene.meshes.size(), 2u);
    EXPECT_EQ(scene.objects.size(), 2u);
    EXPECT_EQ(scene.tracks.size(), 9u);
    EXPECT_EQ(scene.endTime, 2.0000002f);  // twenty additions of 0.1f
    EXPECT_EQ(scene.cameras.count("Camera01"), 1u);
    EXPECT_EQ(scene.meshes[0].submeshes[0].vertexBuffer, nullptr);
    EXPECT_EQ(scene.materials[0].GetFloat("bumpDepth"), 0.05f);
    EXPECT_TRUE(scene.materials[0].GetBool("swapNormalY"));
}

}  // namespace
}  // namespace jolp
