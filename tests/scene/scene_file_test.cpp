// The scene file: its header, the layout the writer produces and the reader
// accepts, key times and endTime, and the refusal of every kind of invalid
// content with the byte offset of the fault.
#include "scene/scene_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace jolp {
namespace {

using ::testing::HasSubstr;

std::vector<uint8_t> SmallestFile() {
    std::vector<uint8_t> bytes = {0x4B, 0x33, 0x44, 0x46, 0xAA, 0x00, 0x00, 0x00};
    bytes.resize(36, 0x00);
    return bytes;
}

std::vector<uint8_t> SampleBytes() {
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    return builder.Write();
}

void PatchI32(std::vector<uint8_t>& bytes, size_t offset, int32_t value) {
    ASSERT_LE(offset + 4, bytes.size());
    std::memcpy(bytes.data() + offset, &value, 4);
}

// Where the string's bytes start in the file (its length field is 4 before).
size_t FindText(const std::vector<uint8_t>& bytes, const std::string& text) {
    const std::string all(bytes.begin(), bytes.end());
    const size_t at = all.find(text);
    EXPECT_NE(at, std::string::npos) << text;
    return at;
}

// The offset of the count in front of section k (0 meshes .. 6 tracks):
// with sections k.. emptied, the file ends in 7 - k counts of 4 bytes.
size_t SectionCountOffset(const SceneFile& file, int k) {
    SceneFile cut = file;
    if (k <= 0) cut.meshes.clear();
    if (k <= 1) cut.materials.clear();
    if (k <= 2) cut.objects.clear();
    if (k <= 3) cut.cameras.clear();
    if (k <= 4) cut.lights.clear();
    if (k <= 5) cut.dummies.clear();
    cut.tracks.clear();
    return WriteSceneFile(cut).size() - 4 * static_cast<size_t>(7 - k);
}

size_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i;
}

SceneReadError Refusal(const std::vector<uint8_t>& bytes) {
    SceneFile file;
    SceneReadError error;
    EXPECT_FALSE(ReadSceneFile(bytes, file, error));
    EXPECT_TRUE(file.meshes.empty() && file.materials.empty() && file.tracks.empty());
    return error;
}

TEST(SceneFileHeader, SmallestFileReadsAsAnEmptyScene) {
    const std::vector<uint8_t> bytes = SmallestFile();
    SceneFile file;
    SceneReadError error;
    ASSERT_TRUE(ReadSceneFile(bytes, file, error)) << error.problem;
    EXPECT_TRUE(file.meshes.empty());
    EXPECT_TRUE(file.tracks.empty());
    EXPECT_EQ(SceneFileEndTime(file), 0.0f);
    EXPECT_EQ(WriteSceneFile(file), bytes);
    EXPECT_EQ(WriteSceneFile(SceneFile{}), bytes);
}

TEST(SceneFileHeader, WrongVersionOrMagicIsRefusedAtTheHeader) {
    for (uint32_t version : {169u, 171u, 0u}) {
        std::vector<uint8_t> bytes = SmallestFile();
        PatchI32(bytes, 4, static_cast<int32_t>(version));
        const SceneReadError error = Refusal(bytes);
        EXPECT_EQ(error.offset, 4u);
        EXPECT_THAT(error.problem, HasSubstr("version " + std::to_string(version)));
    }
    for (size_t i = 0; i < 4; ++i) {
        std::vector<uint8_t> bytes = SmallestFile();
        bytes[i] ^= 0x20;  // "k3DF", "K\x13DF", ...
        const SceneReadError error = Refusal(bytes);
        EXPECT_EQ(error.offset, 0u) << i;
        EXPECT_THAT(error.problem, HasSubstr("K3DF"));
    }
    EXPECT_THAT(Refusal({}).problem, HasSubstr("header"));
    EXPECT_THAT(Refusal({0x4B, 0x33, 0x44, 0x46, 0xAA}).problem, HasSubstr("header"));
}

TEST(SceneFileLayout, CountsOfZeroOrLessAndTrailingBytes) {
    std::vector<uint8_t> bytes = SmallestFile();
    for (size_t k = 0; k < 7; ++k) PatchI32(bytes, 8 + 4 * k, -1 - static_cast<int32_t>(k));
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
    SceneFile file;
    SceneReadError error;
    ASSERT_TRUE(ReadSceneFile(bytes, file, error)) << error.problem;
    EXPECT_EQ(WriteSceneFile(file), SmallestFile());

    std::vector<uint8_t> sample = SampleBytes();
    sample.insert(sample.end(), 100, 0xEE);
    ASSERT_TRUE(ReadSceneFile(sample, file, error)) << error.problem;
    EXPECT_EQ(WriteSceneFile(file), SampleBytes());
}

TEST(SceneFileLayout, WriteReadWriteGivesTheSameBytesAndFields) {
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    // Things the model collapses but the file keeps: a repeated parameter
    // name, empty strings, an unknown track kind with its key count.
    builder.File().materials[0].parameters.emplace_back("bumpDepth", "0.5");
    builder.File().materials[1].parameters.emplace_back("", "");
    builder.AddLeafMaterial("", "", {});
    builder.AddRawTrack(9, 12345);
    builder.AddDummy("Dummy01", 8, {{"a", "1"}, {"a", "2"}});
    const std::vector<uint8_t> bytes = builder.Write();

    SceneFile file;
    SceneReadError error;
    ASSERT_TRUE(ReadSceneFile(bytes, file, error)) << error.problem;
    EXPECT_EQ(WriteSceneFile(file), bytes);

    ASSERT_EQ(file.meshes.size(), 2u);
    ASSERT_EQ(file.meshes[1].submeshes.size(), 2u);
    const SceneFileSubmesh& sub = file.meshes[1].submeshes[1];
    EXPECT_EQ(sub.materialSlot, 1);
    EXPECT_EQ(sub.vertexCount, 12u);
    EXPECT_EQ(sub.indexCount, 18u);
    EXPECT_EQ(sub.vertexBytes.size(), 12u * 56u);
    // The reader points into the bytes it was given.
    EXPECT_GE(sub.vertexBytes.data(), bytes.data());
    EXPECT_LT(sub.indexBytes.data(), bytes.data() + bytes.size());
    EXPECT_EQ(std::memcmp(sub.vertexBytes.data(), builder.File().meshes[1].submeshes[1].vertexBytes.data(), 12 * 56), 0);
    EXPECT_EQ(std::memcmp(sub.indexBytes.data(), builder.File().meshes[1].submeshes[1].indexBytes.data(), 18 * 4), 0);

    ASSERT_EQ(file.materials.size(), 4u);
    EXPECT_EQ(file.materials[2].subMaterials, (std::vector<int32_t>{0, 1}));
    EXPECT_TRUE(file.materials[2].shaderName.empty());
    EXPECT_EQ(file.materials[0].shaderName, "qo_lambertblinn.fx");
    ASSERT_EQ(file.materials[0].parameters.size(), 5u);
    EXPECT_EQ(file.materials[0].parameters.back(), (std::pair<std::string, std::string>{"bumpDepth", "0.5"}));
    EXPECT_EQ(file.materials[3].name, "");
    EXPECT_EQ(file.tracks.back().kind, 9);
    EXPECT_EQ(file.tracks.back().keyCount, 12345);
    EXPECT_TRUE(file.tracks.back().values.empty());
    EXPECT_EQ(file.cameras[0].name, "Camera01");
    EXPECT_EQ(file.lights[1].name, "Omni_volume");
    EXPECT_EQ(file.dummies[1].properties.size(), 2u);
}

TEST(SceneFileKeys, EndTimeIsTheSinglePrecisionTimeOfTheLastKey) {
    SceneFileBuilder builder;
    builder.AddScalarTrack(std::vector<float>(1, 0.0f));
    EXPECT_EQ(SceneFileEndTime(builder.File()), 0.0f);
    builder.AddVectorTrack(std::vector<Vec3>(31));
    EXPECT_EQ(SceneFileEndTime(builder.File()), 2.9999993f);
    builder.AddRawTrack(4, 1000);  // an unknown kind counts for nothing
    EXPECT_EQ(SceneFileEndTime(builder.File()), 2.9999993f);

    SceneFile file;
    SceneReadError error;
    const std::vector<uint8_t> bytes = builder.Write();
    ASSERT_TRUE(ReadSceneFile(bytes, file, error)) << error.problem;
    EXPECT_EQ(SceneFileEndTime(file), 2.9999993f);
}

TEST(SceneFileRefusal, EveryTruncationIsRefusedNoLaterThanTheCut) {
    const std::vector<uint8_t> bytes = SampleBytes();
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        SceneFile file;
        SceneReadError error;
        ASSERT_FALSE(ReadSceneFile(prefix, file, error)) << "cut at " << cut;
        EXPECT_LE(error.offset, cut) << error.problem;
    }
}

struct FieldCase {
    const char* what;
    std::function<void(SceneFileBuilder&)> change;
    const char* problem;
};

// Each case changes one field of the sample; the refusal names the offset
// where the changed file first differs from the sample.
TEST(SceneFileRefusal, BadReferencesAndKindsAtTheOffsetOfTheField) {
    const std::vector<FieldCase> cases = {
        {"object mesh past the table", [](SceneFileBuilder& b) { b.File().objects[0].mesh = 2; }, "mesh index 2"},
        {"object mesh negative", [](SceneFileBuilder& b) { b.File().objects[1].mesh = -1; }, "mesh index -1"},
        {"object material past the table", [](SceneFileBuilder& b) { b.File().objects[0].material = 3; },
         "material index 3"},
        {"sub-material past the table", [](SceneFileBuilder& b) { b.File().materials[2].subMaterials[1] = 3; },
         "sub-material 1 of material 2"},
        {"sub-material negative", [](SceneFileBuilder& b) { b.File().materials[2].subMaterials[0] = -1; },
         "sub-material 0"},
        {"object track past the table", [](SceneFileBuilder& b) { b.File().objects[0].transformTrack = 9; },
         "out of range (9 tracks)"},
        {"object track a scalar", [](SceneFileBuilder& b) { b.File().objects[1].transformTrack = 3; },
         "is a scalar track"},
        {"camera transform a vector", [](SceneFileBuilder& b) { b.File().cameras[0].transformTrack = 4; },
         "is a vector track"},
        {"camera fov a transform", [](SceneFileBuilder& b) { b.File().cameras[0].fovTrack = 2; },
         "a scalar track is needed"},
        {"light position a scalar", [](SceneFileBuilder& b) { b.File().lights[0].positionTrack = 7; },
         "position track 7 of light 0"},
        {"light colour a transform", [](SceneFileBuilder& b) { b.File().lights[1].colorTrack = 0; },
         "colour track 0 of light 1"},
        {"light radius a vector", [](SceneFileBuilder& b) { b.File().lights[1].radiusTrack = 6; },
         "radius track 6 of light 1"},
        {"dummy track negative", [](SceneFileBuilder& b) { b.File().dummies[0].transformTrack = -2; },
         "transform track -2 of dummy 0"},
        {"track without keys",
         [](SceneFileBuilder& b) {
             b.File().tracks[3].keyCount = 0;
             b.File().tracks[3].values.clear();
         },
         "track 3 (scalar) has no keys"},
        {"track with a negative key count",
         [](SceneFileBuilder& b) {
             b.File().tracks[8].keyCount = -4;
             b.File().tracks[8].values.clear();
         },
         "has no keys"},
        {"key count past the end", [](SceneFileBuilder& b) { b.File().tracks[8].keyCount = 22; }, "key count 22"},
    };
    const std::vector<uint8_t> sample = SampleBytes();
    for (const FieldCase& c : cases) {
        SceneFileBuilder builder;
        BuildSampleScene(builder);
        c.change(builder);
        const std::vector<uint8_t> bytes = builder.Write();
        const SceneReadError error = Refusal(bytes);
        EXPECT_EQ(error.offset, FirstDifference(sample, bytes)) << c.what << ": " << error.problem;
        EXPECT_THAT(error.problem, HasSubstr(c.problem)) << c.what;
    }
}

TEST(SceneFileRefusal, ReferenceToATrackOfUnknownKind) {
    auto build = [](int32_t track) {
        SceneFileBuilder b;
        BuildSampleScene(b);
        b.AddRawTrack(7, 3);  // track 9: kept, no key data
        b.File().dummies[0].transformTrack = track;
        return b.Write();
    };
    const std::vector<uint8_t> good = build(8);
    SceneFile file;
    SceneReadError error;
    ASSERT_TRUE(ReadSceneFile(good, file, error)) << error.problem;
    const std::vector<uint8_t> bad = build(9);
    const SceneReadError refused = Refusal(bad);
    EXPECT_EQ(refused.offset, FirstDifference(good, bad));
    EXPECT_THAT(refused.problem, HasSubstr("a track of unknown kind 7"));
}

struct PatchCase {
    const char* what;
    std::function<size_t(const std::vector<uint8_t>&, const SceneFile&)> offset;
    int32_t value;
    const char* problem;
};

// Faults the writer's typed input cannot express, patched into the bytes.
TEST(SceneFileRefusal, CountsSubmeshesAndIndicesPatchedIntoTheBytes) {
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    const SceneFile& sample = builder.File();
    // Mesh 0, submesh 0: slot at 16, vertex count at 20, index count at 24,
    // 24 vertices from 28, indices from 28 + 24 * 56.
    constexpr size_t kFirstIndex = 28 + 24 * 56;
    const std::vector<PatchCase> cases = {
        {"no vertices", [](auto&, auto&) { return size_t{20}; }, 0, "submesh has no vertices"},
        {"two indices", [](auto&, auto&) { return size_t{24}; }, 2, "submesh has 2 indices"},
        {"vertex data past the end", [](auto&, auto&) { return size_t{20}; }, 1 << 24, "needs"},
        {"vertex index out of range", [](auto&, auto&) { return kFirstIndex + 16; }, 24, "index 4 is 24"},
        {"huge vertex index", [](auto&, auto&) { return kFirstIndex; }, -1, "index 0 is 4294967295"},
        {"submesh count", [](auto&, auto&) { return size_t{12}; }, 1000, "submesh count 1000"},
        {"negative sub-material count",
         [](auto& bytes, auto&) { return FindText(bytes, "StoneAndGlow") + 12; }, -1,
         "negative sub-material count -1"},
        {"sub-material count past the end",
         [](auto& bytes, auto&) { return FindText(bytes, "StoneAndGlow") + 12; }, 100000, "sub-material count 100000"},
        {"string past the end", [](auto& bytes, auto&) { return FindText(bytes, "Stone") - 4; }, 0x7FFFFFFF,
         "runs past the end"},
        {"parameter count", [](auto& bytes, auto&) { return FindText(bytes, "qo_additive.fx") + 14; }, 5000,
         "parameter count 5000"},
        {"property count", [](auto& bytes, auto&) { return FindText(bytes, "Dummy01") + 11; }, 5000,
         "property count 5000"},
    };
    const std::vector<uint8_t> bytes = builder.Write();
    std::vector<PatchCase> all = cases;
    const char* sections[7] = {"mesh count", "material count", "object count", "camera count",
                               "light count", "dummy count",   "track count"};
    for (int k = 0; k < 7; ++k) {
        all.push_back({sections[k], [k](auto&, const SceneFile& f) { return SectionCountOffset(f, k); }, 0x7FFFFFFF,
                       sections[k]});
    }
    for (const PatchCase& c : all) {
        std::vector<uint8_t> patched = bytes;
        const size_t at = c.offset(bytes, sample);
        PatchI32(patched, at, c.value);
        const SceneReadError error = Refusal(patched);
        EXPECT_EQ(error.offset, at) << c.what << ": " << error.problem;
        EXPECT_THAT(error.problem, HasSubstr(c.problem)) << c.what;
    }
}

TEST(SceneFileRefusal, FormattedLineNamesFileOffsetAndProblem) {
    EXPECT_EQ(FormatSceneError("media/scenes/scene.JOLP3D", SceneReadError{20, "submesh has no vertices"}),
              "media/scenes/scene.JOLP3D: byte 20: submesh has no vertices");
}

}  // namespace
}  // namespace jolp
