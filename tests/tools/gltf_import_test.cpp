// jolp3d import: glTF files from public samples and from Blender's own
// exporter read into scenes that are checked against what the files hold;
// small files of our own for the axes, the light rule and the faults a file
// can have; pictures of imported scenes through the real renderer.
#include "framework/dds_file.h"
#include "scene/scene_file.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"
#include "tools/gltf_import.h"

#include <stb/stb_image.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;
using jolp::testing::ProcessResult;
using jolp::testing::RunProcess;
using jolp::testing::TempDir;
using ::testing::HasSubstr;
using ::testing::Not;

const fs::path kSamples = fs::path(TARVEL_SOURCE_DIR) / "tests/tools/gltf";
const std::string kJolp3d = JOLP3D_BINARY;

// ------------------------------------------------------------ helpers

struct Imported {
    std::vector<uint8_t> bytes;
    jolp::SceneFile scene;
};

// Runs `jolp3d import` and reads the scene it wrote back.
ProcessResult ImportWithTool(const fs::path& in, const fs::path& out, Imported& result,
                             std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"import", in.string(), out.string()};
    args.insert(args.end(), options.begin(), options.end());
    ProcessResult r = RunProcess(kJolp3d, args);
    if (r.exitCode != 0) return r;
    std::string reason;
    EXPECT_TRUE(jolp::ReadFileBytes((out / "media/scenes/scene.JOLP3D").string(), result.bytes, reason)) << reason;
    jolp::SceneReadError error;
    EXPECT_TRUE(jolp::ReadSceneFile(result.bytes, result.scene, error)) << error.problem;
    return r;
}

template <typename T>
const T* Named(const std::vector<T>& items, const std::string& name) {
    for (const T& item : items) {
        if (item.name == name) return &item;
    }
    return nullptr;
}

// Key k of a transform track.
jolp::Transform KeyOf(const jolp::SceneFile& scene, int32_t track, int32_t k) {
    const jolp::SceneFileTrack& t = scene.tracks.at(size_t(track));
    EXPECT_EQ(t.kind, 2);
    jolp::Transform out;
    std::memcpy(&out, t.values.data() + 10 * size_t(std::min(k, t.keyCount - 1)), sizeof out);
    return out;
}

jolp::Vec3 VectorKey(const jolp::SceneFile& scene, int32_t track, int32_t k) {
    const jolp::SceneFileTrack& t = scene.tracks.at(size_t(track));
    EXPECT_EQ(t.kind, 1);
    const float* v = t.values.data() + 3 * size_t(std::min(k, t.keyCount - 1));
    return {v[0], v[1], v[2]};
}

float ScalarKey(const jolp::SceneFile& scene, int32_t track) { return scene.tracks.at(size_t(track)).values.at(0); }

MATCHER_P3(Near3, x, y, z, "") {
    return std::fabs(arg.x - x) < 1e-3f && std::fabs(arg.y - y) < 1e-3f && std::fabs(arg.z - z) < 1e-3f;
}

// The angle between two rotations, in radians.
float AngleBetween(const jolp::Quat& a, const jolp::Quat& b) {
    const float dot = std::fabs(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w);
    return 2.0f * std::acos(std::min(dot, 1.0f));
}

// A small glTF file of our own: blobs of floats and uint32 in one base64
// buffer, and the JSON around them with $BUFFER standing for that buffer.
class GltfText {
public:
    // Appends values to the buffer; returns "bufferView,count" for Json().
    size_t Add(const std::vector<float>& values) { return Append(values.data(), values.size() * 4); }
    size_t Add(const std::vector<uint32_t>& values) { return Append(values.data(), values.size() * 4); }
    std::string Views() const {
        std::string s;
        for (size_t i = 0; i < offsets_.size(); ++i) {
            s += std::string(i ? "," : "") + "{\"buffer\":0,\"byteOffset\":" + std::to_string(offsets_[i].first) +
                 ",\"byteLength\":" + std::to_string(offsets_[i].second) + "}";
        }
        return s;
    }
    std::string Buffer() const {
        static const char* b64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string s;
        for (size_t i = 0; i < bytes_.size(); i += 3) {
            const uint32_t n = uint32_t(bytes_[i]) << 16 | (i + 1 < bytes_.size() ? uint32_t(bytes_[i + 1]) << 8 : 0) |
                               (i + 2 < bytes_.size() ? bytes_[i + 2] : 0);
            s += b64[n >> 18 & 63];
            s += b64[n >> 12 & 63];
            s += i + 1 < bytes_.size() ? b64[n >> 6 & 63] : '=';
            s += i + 2 < bytes_.size() ? b64[n & 63] : '=';
        }
        return "{\"byteLength\":" + std::to_string(bytes_.size()) + ",\"uri\":\"data:application/octet-stream;base64," + s +
               "\"}";
    }

private:
    size_t Append(const void* p, size_t n) {
        offsets_.push_back({bytes_.size(), n});
        const uint8_t* b = static_cast<const uint8_t*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
        return offsets_.size() - 1;
    }
    std::vector<uint8_t> bytes_;
    std::vector<std::pair<size_t, size_t>> offsets_;
};

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

// One triangle in z = 0 on node "Tri" (translation 1 2 3), animated along x
// over one second, and a camera "Cam".
std::string TriangleGltf() {
    GltfText g;
    g.Add(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0});      // view 0: positions
    g.Add(std::vector<uint32_t>{0, 1, 2});                     // view 1: indices
    g.Add(std::vector<float>{0.0f, 1.0f});                     // view 2: key times
    g.Add(std::vector<float>{1, 2, 3, 5, 2, 3});               // view 3: translations
    g.Add(std::vector<float>{0, 0, 1, 0, 0, 1});               // view 4: u along x, v along y
    return "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[" + g.Buffer() + "],\"bufferViews\":[" + g.Views() +
           "],\"accessors\":["
           "{\"bufferView\":0,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\"},"
           "{\"bufferView\":1,\"componentType\":5125,\"count\":3,\"type\":\"SCALAR\"},"
           "{\"bufferView\":2,\"componentType\":5126,\"count\":2,\"type\":\"SCALAR\"},"
           "{\"bufferView\":3,\"componentType\":5126,\"count\":2,\"type\":\"VEC3\"},"
           "{\"bufferView\":4,\"componentType\":5126,\"count\":3,\"type\":\"VEC2\"}],"
           "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"TEXCOORD_0\":4},\"indices\":1}]}],"
           "\"cameras\":[{\"type\":\"perspective\",\"perspective\":{\"yfov\":0.6,\"znear\":0.1}}],"
           "\"nodes\":[{\"mesh\":0,\"name\":\"Tri\",\"translation\":[1,2,3]},{\"camera\":0,\"name\":\"Cam\"}],"
           "\"animations\":[{\"samplers\":[{\"input\":2,\"output\":3}],"
           "\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,\"path\":\"translation\"}}]}],"
           "\"scenes\":[{\"nodes\":[0,1]}],\"scene\":0}";
}

bool ImportText(const std::string& text, jolp::tools::GltfImport& out, std::string& error,
                const jolp::tools::GltfImportOptions& options = {}) {
    return jolp::tools::ImportGltfBytes(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                                        "test.gltf", options, out, error);
}

// ------------------------------------------------------------ real files

TEST(GltfImportSamples, BlenderSceneKeepsItsNamesLightsDummyAndAnimation) {
    TempDir dir;
    Imported gltf, glb;
    ProcessResult r = ImportWithTool(kSamples / "LampCourt/lamp_court.gltf", dir / "a", gltf);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("2 cameras: Camera01, Camera03"));
    r = ImportWithTool(kSamples / "LampCourt/lamp_court.glb", dir / "b", glb);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(gltf.bytes, glb.bytes) << "the .glb holds the same scene as the .gltf";

    const jolp::SceneFile& s = gltf.scene;
    ASSERT_EQ(s.objects.size(), 3u);
    for (const char* name : {"Ground", "Pillar", "Orb"}) EXPECT_NE(Named(s.objects, name), nullptr) << name;
    EXPECT_EQ(s.cameras.size(), 2u);
    ASSERT_EQ(s.lights.size(), 2u);
    ASSERT_EQ(s.dummies.size(), 1u);

    // The light keeps its node's name (and so its switches) and position.
    const jolp::SceneFileLight* lamp = Named(s.lights, "Lamp_shadow_cube");
    ASSERT_NE(lamp, nullptr);
    EXPECT_THAT(VectorKey(s, lamp->positionTrack, 0), Near3(-6.0f, 10.0f, 6.0f));
    EXPECT_THAT(VectorKey(s, lamp->colorTrack, 0), Near3(1.0f, 0.9f, 0.7f));
    const jolp::SceneFileLight* lamp2 = Named(s.lights, "Lamp02_volume");
    ASSERT_NE(lamp2, nullptr);
    // Blender's 2000 W and 1500 W lamps: the brighter reaches across the
    // scene, the other sqrt(1500 / 2000) as far.
    EXPECT_NEAR(ScalarKey(s, lamp2->radiusTrack) / ScalarKey(s, lamp->radiusTrack), std::sqrt(0.75f), 1e-3f);
    EXPECT_GT(ScalarKey(s, lamp->radiusTrack), 20.0f);
    EXPECT_LT(ScalarKey(s, lamp->radiusTrack), 200.0f);

    // The empty with its custom property, moving from (-5, 3, -2) at 1/24 s
    // to (5, 6, -2) at 4 1/24 s; at 2 s the file has (-0.156, 4.453, -2).
    const jolp::SceneFileDummy& dummy = s.dummies[0];
    EXPECT_EQ(dummy.name, "Dummy02");
    EXPECT_EQ(dummy.properties, (jolp::SceneFileProperties{{"effect", "sparks"}}));
    EXPECT_THAT(KeyOf(s, dummy.transformTrack, 0).position, Near3(-5.0f, 3.0f, -2.0f));
    EXPECT_THAT(KeyOf(s, dummy.transformTrack, 20).position, Near3(-0.15623f, 4.45313f, -2.0f));
    EXPECT_THAT(KeyOf(s, dummy.transformTrack, 99).position, Near3(5.0f, 6.0f, -2.0f));
    EXPECT_NEAR(jolp::SceneFileEndTime(s), 4.1f, 1e-3f) << "the last key at or after the end of the longest animation";

    // The camera, its field of view as the demo's 16:9 divides it back out.
    const jolp::SceneFileCamera* camera = Named(s.cameras, "Camera03");
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(ScalarKey(s, camera->fovTrack) / (16.0f / 9.0f), 0.39959652f, 1e-5f);
    EXPECT_THAT(KeyOf(s, camera->transformTrack, 0).position, Near3(24.0f, 6.0f, 0.0f));

    // The pillar turns half a round about y over the four seconds.
    const jolp::SceneFileObject* pillar = Named(s.objects, "Pillar");
    ASSERT_NE(pillar, nullptr);
    EXPECT_NEAR(AngleBetween(KeyOf(s, pillar->transformTrack, 0).rotation, KeyOf(s, pillar->transformTrack, 99).rotation),
                3.14159f, 1e-3f);

    // Materials: the textured ground names its file; the others get a
    // generated texture of their colour; every named texture is there.
    std::map<std::string, std::string> diffuse;
    for (const jolp::SceneFileMaterial& m : s.materials) {
        EXPECT_EQ(m.shaderName, "qo_lambertblinn.fx");
        for (const auto& [key, value] : m.parameters) {
            if (key == "diffuseTex") diffuse[m.name] = value;
        }
    }
    EXPECT_EQ(diffuse["GroundMat"], "checker.png");
    for (const auto& [material, file] : diffuse) {
        int w = 0, h = 0, n = 0;
        stbi_uc* pixels = stbi_load((dir.Path() / "a/media/texs" / file).c_str(), &w, &h, &n, 3);
        ASSERT_NE(pixels, nullptr) << file;
        if (material == "BoxMat") {  // (0.8, 0.2, 0.1) linear, in sRGB
            EXPECT_NEAR(pixels[0], 231, 1);
            EXPECT_NEAR(pixels[1], 124, 1);
            EXPECT_NEAR(pixels[2], 89, 1);
        }
        stbi_image_free(pixels);
    }
}

TEST(GltfImportSamples, PublicSamplesImportWithWhatTheyHold) {
    TempDir dir;
    Imported box;
    ProcessResult r = ImportWithTool(kSamples / "BoxAnimated/BoxAnimated.gltf", dir / "box", box);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.scene.objects.size(), 2u);
    // The longest channel ends at 3.708 s; the last key is the first at or
    // after it.
    EXPECT_NEAR(jolp::SceneFileEndTime(box.scene), 3.8f, 1e-3f);
    // The inner box rises out of the outer one: the translation channel of
    // its grandparent moves it up by 2.5 at 1.25 s.
    const auto& inner = box.scene.objects[1];
    EXPECT_NEAR(KeyOf(box.scene, inner.transformTrack, 0).position.y, 0.0f, 1e-4f);
    EXPECT_GT(KeyOf(box.scene, inner.transformTrack, 13).position.y, 2.0f);

    Imported triangle;
    r = ImportWithTool(kSamples / "AnimatedTriangle/AnimatedTriangle.gltf", dir / "tri", triangle);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // A quarter turn about z every 0.25 s, LINEAR: half a turn at 0.5 s.
    const jolp::Transform half = KeyOf(triangle.scene, triangle.scene.objects.at(0).transformTrack, 5);
    EXPECT_NEAR(AngleBetween(half.rotation, {0, 0, 0, 1}), 3.14159f, 1e-3f);
    EXPECT_NEAR(std::fabs(half.rotation.z), 1.0f, 1e-3f);

    Imported cameras;
    r = ImportWithTool(kSamples / "Cameras/Cameras.gltf", dir / "cam", cameras);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(cameras.scene.cameras.size(), 1u);
    EXPECT_THAT(r.out, HasSubstr("orthographic"));

    Imported textured;
    r = ImportWithTool(kSamples / "BoxTextured/BoxTextured.gltf", dir / "tex", textured);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(textured.scene.materials.size(), 1u);
    const auto& params = textured.scene.materials[0].parameters;
    ASSERT_FALSE(params.empty());
    EXPECT_EQ(params[0].first, "diffuseTex");
    int w = 0, h = 0, n = 0;
    EXPECT_EQ(stbi_info((dir.Path() / "tex/media/texs" / params[0].second).c_str(), &w, &h, &n), 1)
        << "the embedded PNG written as a file the texture loader reads";
    // The vertices went through the node's matrix (a quarter turn about x).
    const jolp::Transform t = KeyOf(textured.scene, textured.scene.objects.at(0).transformTrack, 0);
    EXPECT_NEAR(AngleBetween(t.rotation, {0, 0, 0, 1}), 3.14159f / 2.0f, 1e-3f);

    Imported colours;
    r = ImportWithTool(kSamples / "BoxVertexColors/BoxVertexColors.gltf", dir / "col", colours);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("vertex colours"));
    ASSERT_EQ(colours.scene.meshes.size(), 1u);
    EXPECT_EQ(colours.scene.meshes[0].submeshes.at(0).indexCount, 36u);
}

// ------------------------------------------------------------ our own files

TEST(GltfImportMapping, MeshesMaterialsAndTangentsFollowTheFile) {
    // The triangle of TriangleGltf twice, on two nodes, one of them a child
    // of a scaled parent, with a material naming its shader and parameters.
    std::string text = TriangleGltf();
    // Nodes: 0 Tri, 1 Parent, 2 Again (Parent's child), 3 Cam.
    text = Replace(text, "\"nodes\":[{\"mesh\":0,\"name\":\"Tri\",\"translation\":[1,2,3]},",
                   "\"nodes\":[{\"mesh\":0,\"name\":\"Tri\",\"translation\":[1,2,3]},"
                   "{\"name\":\"Parent\",\"scale\":[2,2,2],\"children\":[2],\"extras\":{\"wind\":0.5,\"on\":true}},"
                   "{\"mesh\":0,\"name\":\"Again\",\"translation\":[1,0,0]},");
    text = Replace(text, "\"nodes\":[0,1]}", "\"nodes\":[0,1,3]}");
    text = Replace(text, "\"indices\":1}", "\"indices\":1,\"material\":0}");
    text = Replace(text, "\"cameras\":",
                   "\"materials\":[{\"name\":\"Rock\",\"alphaMode\":\"BLEND\",\"extras\":{\"shader\":"
                   "\"qo_parallaxedlambertblinn.fx\",\"bumpDepth\":0.04,\"swapNormalX\":\"true\"}}],\"cameras\":");
    jolp::tools::GltfImport out;
    std::string error;
    ASSERT_TRUE(ImportText(text, out, error)) << error;
    const jolp::SceneFile& s = out.scene.File();

    ASSERT_EQ(s.meshes.size(), 1u) << "one mesh used by two nodes";
    ASSERT_EQ(s.objects.size(), 2u);
    EXPECT_EQ(s.objects[0].mesh, s.objects[1].mesh);
    const jolp::SceneFileObject* again = Named(s.objects, "Again");
    ASSERT_NE(again, nullptr);
    const jolp::Transform child = KeyOf(s, again->transformTrack, 0);
    EXPECT_THAT(child.position, Near3(2.0f, 0.0f, 0.0f)) << "the parent's scale applies to the child's translation";
    EXPECT_THAT(child.scale, Near3(2.0f, 2.0f, 2.0f));
    EXPECT_EQ(KeyOf(s, again->transformTrack, 10).position.x, child.position.x) << "a node that does not move";

    const jolp::SceneFileDummy* parent = Named(s.dummies, "Parent");
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->properties, (jolp::SceneFileProperties{{"on", "true"}, {"wind", "0.5"}}));

    ASSERT_EQ(s.materials.size(), 1u);
    const jolp::SceneFileMaterial& m = s.materials[0];
    EXPECT_EQ(m.name, "Rock");
    EXPECT_EQ(m.shaderName, "qo_parallaxedlambertblinn.fx") << "extras name the shader, over alphaMode";
    EXPECT_THAT(m.parameters, ::testing::Contains(std::pair<std::string, std::string>("bumpDepth", "0.04")));
    EXPECT_THAT(m.parameters, ::testing::Contains(std::pair<std::string, std::string>("swapNormalX", "true")));

    // The triangle (0 0 0, 1 0 0, 0 1 0), counter-clockwise seen from +z
    // as glTF has front faces, is turned round for the renderer, whose front
    // faces are clockwise; its normal (computed) still +z, the tangent along
    // u (+x) and the binormal along v (+y).
    const jolp::SceneFileSubmesh& sub = s.meshes[0].submeshes.at(0);
    ASSERT_EQ(sub.vertexCount, 3u);
    uint32_t idx[3];
    std::memcpy(idx, sub.indexBytes.data(), sizeof idx);
    EXPECT_THAT(idx, ::testing::ElementsAre(0u, 2u, 1u));
    jolp::SceneVertex v[3];
    std::memcpy(v, sub.vertexBytes.data(), sizeof v);
    EXPECT_THAT(v[1].normal, Near3(0, 0, 1));
    EXPECT_THAT(v[1].tangent, Near3(1, 0, 0));
    EXPECT_THAT(v[1].binormal, Near3(0, 1, 0));
    // A material without normal or occlusion textures gets flat and white
    // ones: the surface effects read both.
    std::map<std::string, std::string> params(m.parameters.begin(), m.parameters.end());
    EXPECT_EQ(params["normalTex"], "flat_normal.tga");
    EXPECT_EQ(params["ambientOclusionTex"], "no_occlusion.tga");

    // Without a BLEND mode or shader extra, Lambert-Blinn; BLEND alone is
    // additive.
    std::string plain = Replace(text, "\"extras\":{\"shader\":\"qo_parallaxedlambertblinn.fx\",", "\"extras\":{");
    jolp::tools::GltfImport blend;
    ASSERT_TRUE(ImportText(plain, blend, error)) << error;
    EXPECT_EQ(blend.scene.File().materials.at(0).shaderName, "qo_additive.fx");
}

TEST(GltfImportMapping, AnimationIsSampledEveryTenthOfASecond) {
    jolp::tools::GltfImport out;
    std::string error;
    ASSERT_TRUE(ImportText(TriangleGltf(), out, error)) << error;
    const jolp::SceneFile& s = out.scene.File();
    const int32_t track = s.objects.at(0).transformTrack;
    EXPECT_EQ(s.tracks[size_t(track)].keyCount, 11);
    EXPECT_NEAR(KeyOf(s, track, 5).position.x, 3.0f, 1e-4f);  // halfway from 1 to 5
    EXPECT_NEAR(KeyOf(s, track, 10).position.x, 5.0f, 1e-4f);
    EXPECT_EQ(s.tracks[size_t(s.cameras.at(0).transformTrack)].keyCount, 1) << "what does not move has one key";

    // STEP holds the first value until the second key.
    jolp::tools::GltfImport step;
    ASSERT_TRUE(ImportText(Replace(TriangleGltf(), "{\"input\":2,\"output\":3}",
                                   "{\"input\":2,\"output\":3,\"interpolation\":\"STEP\"}"),
                           step, error))
        << error;
    EXPECT_NEAR(KeyOf(step.scene.File(), track, 9).position.x, 1.0f, 1e-4f);

    // --length chooses how much is sampled; the value holds after the end.
    jolp::tools::GltfImportOptions options;
    options.length = 3.0f;
    jolp::tools::GltfImport longer;
    ASSERT_TRUE(ImportText(TriangleGltf(), longer, error, options)) << error;
    EXPECT_EQ(longer.scene.File().tracks[size_t(track)].keyCount, 31);
    EXPECT_NEAR(KeyOf(longer.scene.File(), track, 30).position.x, 5.0f, 1e-4f);
}

TEST(GltfImportMapping, LightRuleAndItsOverrides) {
    jolp::tools::GltfImportOptions options;
    using jolp::tools::LightFromGltf;
    // Without a range: the brightest light reaches the scene's diagonal, a
    // light a quarter as bright half as far; the colour is the light's.
    jolp::tools::LightValues v = LightFromGltf({1, 0.5f, 0.25f}, 108702.8, 0.0, 108702.8, 40.0f, options);
    EXPECT_FLOAT_EQ(v.radius, 40.0f);
    EXPECT_THAT(v.color, Near3(1, 0.5f, 0.25f));
    EXPECT_FLOAT_EQ(LightFromGltf({1, 1, 1}, 25.0, 0.0, 100.0, 40.0f, options).radius, 20.0f);
    // A range is the radius.
    EXPECT_FLOAT_EQ(LightFromGltf({1, 1, 1}, 25.0, 7.5, 100.0, 40.0f, options).radius, 7.5f);
    // The overrides.
    options.lightScale = 2.0f;
    options.lightRadius = 3.0f;
    v = LightFromGltf({1, 0.5f, 0.25f}, 25.0, 7.5, 100.0, 40.0f, options);
    EXPECT_FLOAT_EQ(v.radius, 3.0f);
    EXPECT_THAT(v.color, Near3(2, 1, 0.5f));
}

// ------------------------------------------------------------ bad input

TEST(GltfImportRefuses, FaultsOfTheFileWithTheirReason) {
    const std::string good = TriangleGltf();
    struct Case {
        const char* what;
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"truncated", good.substr(0, good.size() / 2), "not a glTF file"},
        {"empty", "", "not a glTF file"},
        {"accessor past its buffer view",
         Replace(good, "{\"bufferView\":0,\"componentType\":5126,\"count\":3,",
                 "{\"bufferView\":0,\"componentType\":5126,\"count\":4,"),
         "reads past the end"},
        {"2 GB count",
         Replace(good, "{\"bufferView\":0,\"componentType\":5126,\"count\":3,",
                 "{\"bufferView\":0,\"componentType\":5126,\"count\":2147483648,"),
         "elements; at most"},
        {"made-up zeros",
         Replace(good, "{\"bufferView\":0,\"componentType\":5126,\"count\":3,",
                 "{\"componentType\":5126,\"count\":33554432,"),
         "no buffer view"},
        {"stride past everything",
         Replace(good, "\"byteOffset\":0,\"byteLength\":36", "\"byteOffset\":0,\"byteLength\":36,\"byteStride\":4611686018427387904"),
         "Stride"},
        {"no such accessor", Replace(good, "\"indices\":1", "\"indices\":9"), "accessor"},
        {"infinite transform", Replace(good, "\"translation\":[1,2,3]", "\"translation\":[1e999,2,3]"), "test.gltf"},
        {"cycle", Replace(good, "{\"camera\":0,\"name\":\"Cam\"}", "{\"camera\":0,\"name\":\"Cam\",\"children\":[1]}"),
         "twice in the node hierarchy"},
        {"buffer view past its buffer", Replace(good, "\"byteOffset\":0,\"byteLength\":36", "\"byteOffset\":0,\"byteLength\":360"),
         "past the end of buffer"},
        {"file URI with no folder", Replace(good, "data:application/octet-stream;base64,", "x.bin#"), "x.bin"},
        // The JSON parser recurses once a level: 20,000 would run it out of stack.
        {"nested 20,000 deep",
         Replace(good, "\"asset\":{", "\"asset\":{\"extras\":" + std::string(20000, '[') + std::string(20000, ']') + ","),
         "its JSON nests arrays and objects more than 128 deep (byte "},
    };
    for (const Case& c : cases) {
        jolp::tools::GltfImport out;
        std::string error;
        EXPECT_FALSE(ImportText(c.text, out, error)) << c.what;
        EXPECT_THAT(error, HasSubstr("test.gltf")) << c.what;
        EXPECT_THAT(error, HasSubstr(c.message)) << c.what;
    }
    // The same in a .glb's JSON chunk; brackets inside strings do not count,
    // and nesting up to the limit is read.
    const auto glb = [](std::string json) {
        while (json.size() % 4 != 0) json += ' ';
        std::string out = std::string("glTF") + std::string(8, '\0') + std::string(4, '\0') + "JSON" + json;
        const auto put = [&out](size_t at, size_t value) {
            for (int i = 0; i < 4; ++i) out[at + size_t(i)] = char(value >> (8 * i) & 0xFF);
        };
        put(4, 2);
        put(8, out.size());
        put(12, json.size());
        return out;
    };
    const std::string deep = "{\"asset\":{\"version\":\"2.0\"},\"extras\":" + std::string(200, '[') + std::string(200, ']') + "}";
    jolp::tools::GltfImport out;
    std::string error;
    EXPECT_FALSE(ImportText(glb(deep), out, error));
    EXPECT_THAT(error, HasSubstr("nests arrays and objects more than 128 deep (byte 183)"));
    const std::string quoted = "{\"asset\":{\"version\":\"2.0\"},\"extras\":[\"" + std::string(200, '[') + "\\\"\"," +
                               std::string(126, '[') + std::string(127, ']') + "}";
    EXPECT_TRUE(ImportText(glb(quoted), out, error)) << error;
}

// Faults that live in the buffer's bytes: a vertex index past the vertices,
// NaN in an animation, an animation of a million seconds.
TEST(GltfImportRefuses, FaultsInTheBuffer) {
    auto withBlobs = [](std::vector<uint32_t> indices, std::vector<float> translations,
                        std::vector<float> times = {0.0f, 1.0f}) {
        GltfText g;
        g.Add(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0});
        g.Add(indices);
        g.Add(times);
        g.Add(translations);
        g.Add(std::vector<float>{0, 0, 1, 0, 0, 1});
        std::string text = TriangleGltf();
        const size_t from = text.find("\"buffers\":["), to = text.find("],\"accessors\"");
        return text.substr(0, from) + "\"buffers\":[" + g.Buffer() + "],\"bufferViews\":[" + g.Views() + text.substr(to);
    };
    jolp::tools::GltfImport out;
    std::string error;
    ASSERT_TRUE(ImportText(withBlobs({0, 1, 2}, {1, 2, 3, 5, 2, 3}), out, error)) << error;
    EXPECT_FALSE(ImportText(withBlobs({0, 1, 3}, {1, 2, 3, 5, 2, 3}), out, error));
    EXPECT_THAT(error, HasSubstr("index 2 is 3, out of range for 3 vertices"));
    EXPECT_FALSE(ImportText(withBlobs({0, 1, 2}, {1, 2, 3, NAN, 2, 3}), out, error));
    EXPECT_THAT(error, HasSubstr("not a finite number"));
    EXPECT_FALSE(ImportText(withBlobs({0, 1, 2}, {1, 2, 3, 5, 2, 3}, {0.0f, 1e6f}), out, error));
    EXPECT_THAT(error, HasSubstr("--length"));
    EXPECT_FALSE(ImportText(withBlobs({0, 1, 2}, {1, 2, 3, 5, 2, 3}, {1.0f, 0.5f}), out, error));
    EXPECT_THAT(error, HasSubstr("increasing"));
}

TEST(GltfImportRefuses, TheToolWritesNothingForABadFileAndReadsOnlyBesideIt) {
    TempDir dir;
    fs::create_directories(dir.Path() / "in");
    std::string text = TriangleGltf();
    // A buffer outside the input's folder, though it exists.
    std::ofstream(dir / "secret.bin", std::ios::binary) << std::string(48, '\0');
    const size_t from = text.find("data:application/octet-stream;base64,");
    const size_t to = text.find('"', from);
    std::ofstream(dir / "in/outside.gltf") << text.substr(0, from) + "../secret.bin" + text.substr(to);
    std::ofstream(dir / "in/absolute.gltf") << text.substr(0, from) + (dir / "secret.bin") + text.substr(to);
    std::ofstream(dir / "in/cut.gltf") << text.substr(0, text.size() - 20);
    // 200 KB of nested arrays in the extras: refused, not a crash.
    std::ofstream(dir / "in/deep.gltf") << Replace(text, "\"asset\":{", "\"asset\":{\"extras\":" + std::string(100000, '[') +
                                                                         std::string(100000, ']') + ",");

    for (const char* name : {"in/outside.gltf", "in/absolute.gltf", "in/cut.gltf", "in/missing.gltf", "in/deep.gltf"}) {
        const ProcessResult r = RunProcess(kJolp3d, {"import", dir / name, dir / "out"});
        EXPECT_EQ(r.exitCode, 1) << name << r.err;
        EXPECT_THAT(r.err, HasSubstr(name)) << "the message names the file";
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(fs::exists(dir.Path() / "out")) << name;
    }
    EXPECT_THAT(RunProcess(kJolp3d, {"import", dir / "in/outside.gltf", dir / "out"}).err,
                HasSubstr("../secret.bin: outside the input folder"));
    EXPECT_THAT(RunProcess(kJolp3d, {"import", dir / "in/absolute.gltf", dir / "out"}).err,
                HasSubstr(dir / "secret.bin: an absolute path"));
    EXPECT_THAT(RunProcess(kJolp3d, {"import", dir / "in/deep.gltf", dir / "out"}).err, HasSubstr("more than 128 deep"));
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        EXPECT_THAT(entry.path().filename().string(), ::testing::Not(HasSubstr("import"))) << "a half-written folder left";
    }

    // An image elsewhere on the disk is left out, and the warning says why.
    std::ofstream(dir / "in/image.gltf") << Replace(
        Replace(text, "\"indices\":1}", "\"indices\":1,\"material\":0}"), "\"cameras\":",
        "\"materials\":[{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}],\"textures\":[{\"source\":0}],"
        "\"images\":[{\"uri\":\"/etc/passwd\"}],\"cameras\":");
    const ProcessResult image = RunProcess(kJolp3d, {"import", dir / "in/image.gltf", dir / "image"});
    EXPECT_EQ(image.exitCode, 0) << image.err;
    EXPECT_THAT(image.out, HasSubstr("/etc/passwd: an absolute path; only files beside the glTF file are read"));
    EXPECT_THAT(image.out, Not(HasSubstr("not found")));

    // A good import into an existing folder keeps what else is there.
    std::ofstream(dir / "in/good.gltf") << text;
    fs::create_directories(dir.Path() / "out/shaders");
    std::ofstream(dir / "out/shaders/keep.fx") << "x";
    ProcessResult r = RunProcess(kJolp3d, {"import", dir / "in/good.gltf", dir / "out"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir.Path() / "out/shaders/keep.fx"));
    EXPECT_TRUE(fs::exists(dir.Path() / "out/media/scenes/scene.JOLP3D"));

    // Imported again over it: a read-only scene stays read-only, and
    // nothing of the writer's own is left beside it.
    const fs::path scene = dir.Path() / "out/media/scenes/scene.JOLP3D";
    fs::permissions(scene, fs::perms::owner_read | fs::perms::group_read);
    r = RunProcess(kJolp3d, {"import", dir / "in/good.gltf", dir / "out/"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(fs::status(scene).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(scene.parent_path()), fs::directory_iterator()), 1);
    // A link in the scene's place is refused, its target kept.
    fs::remove(scene);
    fs::create_symlink(dir / "secret.bin", scene);
    r = RunProcess(kJolp3d, {"import", dir / "in/good.gltf", dir / "out"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr(scene.string() + ": is a link; outputs are never written through a link"));
    EXPECT_EQ(fs::file_size(dir.Path() / "secret.bin"), 48u);
    // The root of the file system is no data folder (this looped for ever).
    for (const char* root : {"/", "//"}) {
        r = RunProcess(kJolp3d, {"import", dir / "in/good.gltf", root}, {}, 30.0);
        EXPECT_EQ(r.exitCode, 1) << root;
        EXPECT_THAT(r.err, HasSubstr(std::string(root) + ": not a folder to import into")) << root;
    }

    r = RunProcess(kJolp3d, {"import", dir / "in/good.gltf"});
    EXPECT_EQ(r.exitCode, 2);
    r = RunProcess(kJolp3d, {"import", dir / "in/good.gltf", dir / "o2", "--light-scale", "x"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("--light-scale"));
}

// ------------------------------------------------------------ pictures

const std::string kPreview = JOLP_PREVIEW_BINARY;

// What a data folder needs besides the scene to be previewed: the effect
// files, and a white light cube (the demo's own is a generated one).
void AddEffectsAndLightCube(const fs::path& data) {
    fs::copy(fs::path(TARVEL_RUN_DIR) / "shaders", data / "shaders", fs::copy_options::recursive);
    jolp::DdsImage cube;
    cube.format = jolp::Format::A8R8G8B8;
    cube.width = cube.height = 4;
    cube.cube = true;
    cube.data.assign(6 * 4 * 4 * 4, 255);
    std::string error;
    ASSERT_TRUE(jolp::WriteDdsFile((data / "lightCube.dds").string(), cube, error)) << error;
}

// Imports file into data with what the previewer needs beside it.
void ImportForPictures(const fs::path& file, const fs::path& data, Imported& imported) {
    const ProcessResult r = ImportWithTool(file, data, imported);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    AddEffectsAndLightCube(data);
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return rgb.data() + 3 * (size_t(y) * size_t(width) + size_t(x)); }
};

Picture LoadPicture(const fs::path& path) {
    Picture p;
    int n = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &p.width, &p.height, &n, 3);
    EXPECT_NE(pixels, nullptr) << path;
    if (pixels) {
        p.rgb.assign(pixels, pixels + size_t(p.width) * size_t(p.height) * 3);
        stbi_image_free(pixels);
    }
    return p;
}

// The camera at the time through jolp_preview, 320 x 240 (the picture
// 320 x 180 from row 30).
Picture Preview(const fs::path& data, const std::string& camera, const std::string& seconds) {
    const fs::path prefix = data / "shot";
    const ProcessResult r =
        RunProcess(kPreview, {"--data", data.string(), "--size", "320x240", "--out", prefix.string(), camera, seconds}, {}, 120.0);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.2f", std::stod(seconds));
    return LoadPicture(prefix.string() + "_" + camera + "_" + stamp + ".png");
}

// The middle of the pixels whose colour is mostly `channel` (0 red, 1
// green, 2 blue); false when there are fewer than `least`.
bool Centre(const Picture& p, int channel, float& x, float& y, int least = 20) {
    double sx = 0, sy = 0;
    int count = 0;
    for (int py = 30; py < 210; ++py) {
        for (int px = 0; px < p.width; ++px) {
            const uint8_t* c = p.At(px, py);
            const int other = std::max(c[(channel + 1) % 3], c[(channel + 2) % 3]);
            if (c[channel] > 60 && c[channel] > 2 * other) sx += px, sy += py, ++count;
        }
    }
    if (count < least) return false;
    x = float(sx / count), y = float(sy / count);
    return true;
}

// Three coloured cubes on the axes, red at +x, green at +y, blue at +z,
// seen by a camera on +z (looking down -z, as glTF cameras do) and by one
// on +x turned a quarter round y (looking down -x), lit from between them.
std::string AxesGltf() {
    std::vector<float> positions, normals;
    std::vector<uint32_t> indices;
    const float faces[6][9] = {{1, 0, 0, 0, 1, 0, 0, 0, 1},  {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 1, 0, 0, 0, 1, 1, 0, 0},
                               {0, -1, 0, 0, 0, -1, 1, 0, 0}, {0, 0, 1, 1, 0, 0, 0, 1, 0},  {0, 0, -1, -1, 0, 0, 0, 1, 0}};
    for (const auto& f : faces) {  // normal n, then u and v with u x v = n: corners counter-clockwise from n
        const uint32_t base = uint32_t(positions.size() / 3);
        for (const auto& [su, sv] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
            for (int i = 0; i < 3; ++i) {
                positions.push_back(0.5f * (f[i] + float(su) * f[3 + i] + float(sv) * f[6 + i]));
                normals.push_back(f[i]);
            }
        }
        indices.insert(indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
    GltfText g;
    g.Add(positions);
    g.Add(normals);
    g.Add(indices);
    std::string meshes, materials;
    const char* colours[3] = {"1,0,0,1", "0,1,0,1", "0,0,1,1"};
    for (int m = 0; m < 3; ++m) {
        meshes += std::string(m ? "," : "") + "{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"NORMAL\":1},\"indices\":2,\"material\":" +
                  std::to_string(m) + "}]}";
        materials += std::string(m ? "," : "") + "{\"pbrMetallicRoughness\":{\"baseColorFactor\":[" + colours[m] + "]}}";
    }
    return "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[" + g.Buffer() + "],\"bufferViews\":[" + g.Views() +
           "],\"accessors\":["
           "{\"bufferView\":0,\"componentType\":5126,\"count\":24,\"type\":\"VEC3\"},"
           "{\"bufferView\":1,\"componentType\":5126,\"count\":24,\"type\":\"VEC3\"},"
           "{\"bufferView\":2,\"componentType\":5125,\"count\":36,\"type\":\"SCALAR\"}],"
           "\"materials\":[" + materials + "],\"meshes\":[" + meshes + "],"
           "\"cameras\":[{\"type\":\"perspective\",\"perspective\":{\"yfov\":0.8,\"znear\":0.1}}],"
           "\"extensions\":{\"KHR_lights_punctual\":{\"lights\":[{\"type\":\"point\",\"intensity\":10,\"range\":40}]}},"
           "\"nodes\":[{\"mesh\":0,\"translation\":[2,0,0]},{\"mesh\":1,\"translation\":[0,2,0]},"
           "{\"mesh\":2,\"translation\":[0,0,2]},{\"camera\":0,\"name\":\"Front\",\"translation\":[0,0,10]},"
           "{\"camera\":0,\"name\":\"Side\",\"translation\":[10,0,0],\"rotation\":[0,0.70710678,0,0.70710678]},"
           "{\"name\":\"Lamp\",\"translation\":[6,3,6],\"extensions\":{\"KHR_lights_punctual\":{\"light\":0}}}],"
           "\"scenes\":[{\"nodes\":[0,1,2,3,4,5]}]}";
}

TEST(GltfImportPictures, AxesLandWhereTheCameraShouldSeeThem) {
    TempDir dir;
    std::ofstream(dir / "axes.gltf") << AxesGltf();
    Imported axes;
    ASSERT_NO_FATAL_FAILURE(ImportForPictures(dir / "axes.gltf", dir.Path() / "data", axes));

    // From +z: red right of the middle, green above it, blue (nearest) in
    // it; a vertical field of view of 0.8 puts 2 units at 10 units away
    // cot(0.4) * 0.2 = 0.473 of the half height (90) from the middle, 43
    // pixels up, and 0.473 / (16 / 9) of the half width (160), 43 right.
    const Picture front = Preview(dir.Path() / "data", "Front", "0");
    float x = 0, y = 0;
    ASSERT_TRUE(Centre(front, 0, x, y));
    EXPECT_NEAR(x, 160 + 43, 6);
    EXPECT_NEAR(y, 120, 4);
    ASSERT_TRUE(Centre(front, 1, x, y));
    EXPECT_NEAR(x, 160, 4);
    EXPECT_NEAR(y, 120 - 43, 6);
    ASSERT_TRUE(Centre(front, 2, x, y));
    EXPECT_NEAR(x, 160, 4);
    EXPECT_NEAR(y, 120, 4);
    // The blue cube's face towards the camera is lit by the lamp (the
    // ambient light alone gives it about 40).
    EXPECT_GT(front.At(160, 120)[2], 80);

    // From +x, looking down -x: +z is on the left now, red in the middle.
    const Picture side = Preview(dir.Path() / "data", "Side", "0");
    ASSERT_TRUE(Centre(side, 0, x, y, 5));
    EXPECT_NEAR(x, 160, 4);
    ASSERT_TRUE(Centre(side, 1, x, y, 5));
    EXPECT_LT(y, 110) << "green above";
    ASSERT_TRUE(Centre(side, 2, x, y, 5));
    EXPECT_LT(x, 150) << "blue (+z) on the left";
}

// Links every file of the demo's run folder into data but the scene and the
// texture folder, which the import writes.
void LinkRunFolderBut(const fs::path& data) {
    const fs::path run = TARVEL_RUN_DIR;
    fs::create_directories(data / "media");
    for (const auto& entry : fs::directory_iterator(run)) {
        if (entry.path().filename() != "media") fs::create_symlink(entry.path(), data / entry.path().filename());
    }
    for (const auto& entry : fs::directory_iterator(run / "media")) {
        const fs::path name = entry.path().filename();
        if (name != "scenes" && name != "texs") fs::create_symlink(entry.path(), data / "media" / name);
    }
}

// A scene with Tarvel's names (Camera01 to Camera20, the six dummies)
// plays in Tarvel: Camera03's shot (10 to 13.6 s) shows the axes.
TEST(GltfImportPictures, TarvelPlaysASceneWithItsNames) {
    TempDir dir;
    std::string extra, scene = "0,1,2,3,4,5";
    int node = 6;
    for (int c = 1; c <= 20; ++c) {
        char name[16];
        std::snprintf(name, sizeof name, "Camera%02d", c);
        extra += std::string(",{\"camera\":0,\"name\":\"") + name + "\",\"translation\":[0,0,10]}";
        scene += "," + std::to_string(node++);
    }
    for (const char* dummy : {"Dummy01", "Dummy02", "Dummy03", "Dummy04", "wind_dummy", "fire_dummy"}) {
        extra += std::string(",{\"name\":\"") + dummy + "\",\"translation\":[0,-2,0]}";
        scene += "," + std::to_string(node++);
    }
    std::string text = Replace(AxesGltf(), "\"light\":0}}}],\"scenes\":[{\"nodes\":[0,1,2,3,4,5]}]",
                               "\"light\":0}}}" + extra + "],\"scenes\":[{\"nodes\":[" + scene + "]}]");
    text = Replace(text, "\"name\":\"Lamp\"", "\"name\":\"Lamp_shadow\"");
    std::ofstream(dir / "named.gltf") << text;
    LinkRunFolderBut(dir.Path() / "data");
    Imported named;
    ProcessResult r = ImportWithTool(dir / "named.gltf", dir.Path() / "data", named);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(named.scene.cameras.size(), 22u);
    EXPECT_EQ(named.scene.dummies.size(), 6u);

    r = RunProcess(TARVEL_BINARY, {"--data", dir / "data", "--capture", dir / "frames", "--size", "320x240", "--fps",
                                   "10", "--from", "11.8", "--to", "11.9"},
                   {}, 300.0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<fs::path> frames;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "frames")) frames.push_back(entry.path());
    ASSERT_FALSE(frames.empty());
    const Picture p = LoadPicture(frames.front());
    float x = 0, y = 0;
    ASSERT_TRUE(Centre(p, 0, x, y));
    EXPECT_NEAR(x, 160 + 43, 6);
    EXPECT_NEAR(y, 120, 4);
    ASSERT_TRUE(Centre(p, 1, x, y));
    EXPECT_NEAR(y, 120 - 43, 6);
}

// How much of the picture (320 x 180 from row 30) is neither black nor
// white, and how many pixels of it differ between two pictures.
int MidTones(const Picture& p) {
    int n = 0;
    for (int y = 30; y < 210; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = p.At(x, y);
            const int most = std::max({c[0], c[1], c[2]});
            n += most > 40 && most < 225;
        }
    }
    return n;
}

int Differing(const Picture& a, const Picture& b) {
    int n = 0;
    for (size_t i = 0; i + 2 < a.rgb.size() && i + 2 < b.rgb.size(); i += 3) {
        n += std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) + std::abs(a.rgb[i + 2] - b.rgb[i + 2]) > 30;
    }
    return n;
}

TEST(GltfImportPictures, BlenderSceneIsLitFromEachCameraAndMoves) {
    TempDir dir;
    Imported court;
    ASSERT_NO_FATAL_FAILURE(ImportForPictures(kSamples / "LampCourt/lamp_court.glb", dir.Path() / "data", court));
    const int area = 320 * 180;
    std::map<std::string, std::pair<Picture, Picture>> shots;
    for (const char* camera : {"Camera01", "Camera03"}) {
        auto& [start, end] = shots[camera];
        start = Preview(dir.Path() / "data", camera, "0");
        end = Preview(dir.Path() / "data", camera, "4");
        // The ground, pillar and orb fill a good part of either view, lit:
        // neither black nor blown out to white (the sky behind is white).
        EXPECT_GT(MidTones(start), area / 4) << camera;
        EXPECT_GT(MidTones(end), area / 4) << camera;
    }
    EXPECT_GT(Differing(shots["Camera01"].first, shots["Camera01"].second), area / 4)
        << "the camera flies over four seconds";
    // Camera03 stands still, and what moves before it (the pillar turning
    // about its axis) hardly shows.
    EXPECT_LT(Differing(shots["Camera03"].first, shots["Camera03"].second), area / 20);
}

// The public samples through the renderer, each given a lamp (none has
// one) and, but for Cameras, whose own camera looks at its quad, a camera
// on +z looking at it: each is seen, lit, and the animated ones move.
TEST(GltfImportPictures, PublicSamplesAreSeenAndMove) {
    struct Sample {
        const char* file;
        const char* camera;  // the file's own, or "Look" at `from`
        jolp::Vec3 from;
        const char* later;   // a second moment, for the animated ones
    };
    const Sample samples[] = {
        {"BoxAnimated/BoxAnimated.gltf", "Look", {0.0f, 1.2f, 4.5f}, "1.3"},  // the inner box rises
        {"AnimatedTriangle/AnimatedTriangle.gltf", "Look", {0.5f, 0.5f, 3.0f}, "0.3"},  // a quarter turn
        {"BoxTextured/BoxTextured.gltf", "Look", {0.8f, 0.8f, 2.5f}, nullptr},
        {"BoxVertexColors/BoxVertexColors.gltf", "Look", {0.0f, 0.0f, 3.0f}, nullptr},
        {"Cameras/Cameras.gltf", "camera1", {}, nullptr},
    };
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.file);
        TempDir dir;
        Imported imported;
        ASSERT_NO_FATAL_FAILURE(ImportForPictures(kSamples / sample.file, dir.Path() / "data", imported));
        jolp::SceneFileBuilder builder;
        builder.File() = imported.scene;
        if (std::string(sample.camera) == "Look") {
            jolp::Transform view;
            view.position = sample.from;
            const float fov[] = {0.8f * 16.0f / 9.0f};
            builder.AddCamera("Look", builder.AddTransformTrack(std::span(&view, 1)), builder.AddScalarTrack(fov));
        }
        const jolp::Vec3 at[] = {{2.0f, 4.0f, 6.0f}}, white[] = {{1.0f, 1.0f, 1.0f}};
        const float radius[] = {30.0f};
        builder.AddLight("Lamp", builder.AddVectorTrack(at), builder.AddVectorTrack(white), builder.AddScalarTrack(radius));
        std::string reason;
        ASSERT_TRUE(jolp::WriteSceneFileTo((dir.Path() / "data/media/scenes/scene.JOLP3D").string(), builder.File(),
                                           reason))
            << reason;
        const Picture first = Preview(dir.Path() / "data", sample.camera, "0");
        EXPECT_GT(MidTones(first), 320 * 180 / 50);
        if (sample.later) EXPECT_GT(Differing(first, Preview(dir.Path() / "data", sample.camera, sample.later)), 320 * 180 / 100);
    }
}

}  // namespace
