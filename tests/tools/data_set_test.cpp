// The content generator as the build runs it: the real tarvel_content
// binary writes a data set into a temporary folder, which is then looked at
// with the jolp3d tool and the framework's own texture loader, and written a
// second time to compare every byte.
#include "framework/dds_file.h"
#include "framework/texture.h"
#include "scene/jolp3d.h"
#include "tests/support/headless_gl.h"
#include "tests/support/recording_device.h"
#include "tests/support/small_disk.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

namespace {

namespace fs = std::filesystem;
using jolp::testing::ProcessResult;
using jolp::testing::RunProcess;
using jolp::testing::TempDir;
using ::testing::HasSubstr;

const std::string kContent = TARVEL_CONTENT_BINARY;
const std::string kJolp3d = JOLP3D_BINARY;

const char* const kNamedCubes[] = {"LightCube.dds", "sunol_cubemap.dds"};
const char* const kNamed2D[] = {"powerBall.jpg", "texture1_d.tga", "four_NM_height.dds", "texture1_s.tga"};
const char* const kParticleImages[] = {"red_particle.jpg",  "yellow_particle.jpg", "green_particle.jpg",
                                       "blue_particle.jpg", "wind_particle.jpg",   "fire_particle.png"};

// The tmpfs pages of every file the generator writes in the built data
// set, with half of those of the file named.
size_t DataSetPagesBeside(const std::string& halfFile) {
    const fs::path run = TARVEL_RUN_DIR;
    size_t pages = 0;
    for (const auto& entry : fs::recursive_directory_iterator(run)) {
        const fs::path rel = entry.path().lexically_relative(run);
        if (!entry.is_regular_file() || rel == "tarvel" || *rel.begin() == "shaders") continue;
        const size_t filePages = (entry.file_size() + 4095) / 4096;
        pages += rel == halfFile ? filePages / 2 : filePages;
    }
    return pages;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file under root by its relative path, with its bytes.
std::map<std::string, std::vector<uint8_t>> Contents(const fs::path& root) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = ReadAll(entry.path());
    return files;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// One data set for the whole suite: generating takes a few seconds.
class DataSet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempDir;
        run_ = new ProcessResult(RunProcess(kContent, {folder_->Path().string()}, {}, 120.0));
    }
    static void TearDownTestSuite() {
        delete run_;
        delete folder_;
    }
    void SetUp() override { ASSERT_EQ(run_->exitCode, 0) << run_->err; }

    static fs::path Root() { return folder_->Path(); }
    static std::string Scene() { return (Root() / "media/scenes/scene.JOLP3D").string(); }

    static TempDir* folder_;
    static ProcessResult* run_;
};
TempDir* DataSet::folder_ = nullptr;
ProcessResult* DataSet::run_ = nullptr;

TEST_F(DataSet, PrintsOneLinePerStageAndNothingOnStderr) {
    EXPECT_THAT(run_->out, HasSubstr("textures and cube maps:"));
    EXPECT_THAT(run_->out, HasSubstr("particle images: 6 files"));
    EXPECT_THAT(run_->out, HasSubstr("scene: media/scenes/scene.JOLP3D"));
    EXPECT_THAT(run_->out, HasSubstr("music:"));
    EXPECT_EQ(run_->err, "");
    // Nothing half-written is left behind.
    for (const auto& [path, bytes] : Contents(Root())) EXPECT_FALSE(path.ends_with(".part")) << path;
}

TEST_F(DataSet, SceneIsValidAndHoldsTheCamerasDummiesShadersAndLightKinds) {
    const ProcessResult check = RunProcess(kJolp3d, {"check", Scene()}, {}, 30.0);
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

    const ProcessResult info = RunProcess(kJolp3d, {"info", Scene()}, {}, 30.0);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (int k = 1; k <= 20; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "\"Camera%02d\"", k);
        EXPECT_THAT(info.out, HasSubstr(name));
    }
    EXPECT_THAT(info.out, HasSubstr("cameras: 20\n"));
    for (const char* dummy : {"Dummy01", "Dummy02", "Dummy03", "Dummy04", "wind_dummy", "fire_dummy"})
        EXPECT_THAT(info.out, HasSubstr("\"" + std::string(dummy) + "\" transform track"));
    for (const char* shader : {"qo_lambertblinn.fx", "qo_parallaxedlambertblinn.fx", "qo_additive.fx", "qo_cubicwater.fx"})
        EXPECT_THAT(info.out, HasSubstr("shader \"" + std::string(shader) + "\""));
    EXPECT_THAT(info.out, HasSubstr("shadow yes, volume no, cube no"));
    EXPECT_THAT(info.out, HasSubstr("shadow no, volume yes, cube no"));
    EXPECT_THAT(info.out, HasSubstr("shadow no, volume no, cube yes"));
    EXPECT_THAT(info.out, HasSubstr("shadow yes, volume no, cube yes"));
    EXPECT_THAT(info.out, HasSubstr("multi-material"));
}

// Every texture a material names is in the data set, where the demo looks
// for it, and loads as the kind the material reads it as.
TEST_F(DataSet, EveryTextureMaterialsNameLoadsAsItsKind) {
    jolp::JOLP3D scene;
    ASSERT_TRUE(scene.Load(Scene(), nullptr));
    jolp::testing::RecordingDevice device;
    std::set<std::string> checked;
    auto find = [&](const std::string& name, const char* folder) {
        if (fs::exists(Root() / name)) return Root() / name;
        return Root() / folder / name;
    };
    for (const jolp::SceneMaterial* m : scene.leafMaterials) {
        for (const auto& [key, value] : m->parameters) {
            std::string error;
            if (key == "sceneCubeTex") {
                EXPECT_TRUE(jolp::TextureCube::Load(find(value, "media/cubes").string(), device, error))
                    << m->name << " " << key << " = " << value << ": " << error;
            } else if (key.ends_with("Tex")) {
                EXPECT_TRUE(jolp::Texture2D::Load(find(value, "media/texs").string(), device, error))
                    << m->name << " " << key << " = " << value << ": " << error;
            } else {
                continue;
            }
            checked.insert(value);
        }
        // Lambert-Blinn surfaces set all four maps: a map left out would
        // keep the previous material's.
        if (m->shaderName == "qo_lambertblinn.fx" || m->shaderName == "qo_parallaxedlambertblinn.fx") {
            for (const char* key : {"diffuseTex", "normalTex", "specularTex", "ambientOclusionTex"})
                EXPECT_FALSE(m->GetString(key).empty()) << m->name << " has no " << key;
        }
        if (m->shaderName == "qo_parallaxedlambertblinn.fx") {
            EXPECT_GT(m->GetFloat("bumpDepth"), 0.0f) << m->name;
            EXPECT_GT(m->GetFloat("textureSize"), 0.0f) << m->name;
        }
    }
    EXPECT_GE(checked.size(), 20u);
}

TEST_F(DataSet, NamedTexturesFoldersAndParticleImagesLoadAsTheirKind) {
    jolp::testing::RecordingDevice device;
    std::string error;
    for (const char* name : kNamedCubes) EXPECT_TRUE(jolp::TextureCube::Load((Root() / name).string(), device, error)) << error;
    for (const char* name : kNamed2D) EXPECT_TRUE(jolp::Texture2D::Load((Root() / name).string(), device, error)) << error;
    // The render system's light cube is a file of its own beside the named
    // "LightCube.dds".
    ASSERT_TRUE(fs::exists(Root() / "lightCube.dds"));
    EXPECT_NE(ReadAll(Root() / "lightCube.dds"), ReadAll(Root() / "LightCube.dds"));
    EXPECT_TRUE(jolp::TextureCube::Load((Root() / "lightCube.dds").string(), device, error)) << error;

    // Every file of the folders loads: a file that does not would leave a
    // null entry under its name.
    ASSERT_FALSE(FilesIn(Root() / "media/texs").empty());
    for (const std::string& name : FilesIn(Root() / "media/texs"))
        EXPECT_TRUE(jolp::Texture2D::Load((Root() / "media/texs" / name).string(), device, error)) << error;
    ASSERT_FALSE(FilesIn(Root() / "media/cubes").empty());
    for (const std::string& name : FilesIn(Root() / "media/cubes"))
        EXPECT_TRUE(jolp::TextureCube::Load((Root() / "media/cubes" / name).string(), device, error)) << error;
    for (const char* name : kParticleImages)
        EXPECT_TRUE(jolp::Texture2D::Load((Root() / "media/particles" / name).string(), device, error)) << error;
}

// The real driver takes every texture too (compressed formats, cube maps
// with their mip chains).
TEST_F(DataSet, TexturesLoadOnRealGl) {
    jolp::testing::HeadlessGl gl(64, 64);
    if (!gl.ok()) GTEST_SKIP() << gl.error;
    std::string error;
    for (const std::string& name : FilesIn(Root() / "media/texs"))
        EXPECT_TRUE(jolp::Texture2D::Load((Root() / "media/texs" / name).string(), *gl.device, error)) << error;
    for (const char* name : {"LightCube.dds", "sunol_cubemap.dds", "lightCube.dds", "media/cubes/lake_reflection.dds"})
        EXPECT_TRUE(jolp::TextureCube::Load((Root() / name).string(), *gl.device, error)) << error;
    EXPECT_TRUE(jolp::Texture2D::Load((Root() / "four_NM_height.dds").string(), *gl.device, error)) << error;
}

TEST_F(DataSet, DdsFilesAreCompressedOrMippedWhereTheyShouldBe) {
    std::set<jolp::Format> formats;
    size_t mipped = 0;
    for (const auto& [path, bytes] : Contents(Root())) {
        if (!path.ends_with(".dds")) continue;
        jolp::DdsImage image;
        std::string error;
        ASSERT_TRUE(jolp::ReadDds(bytes, path, image, error)) << error;
        formats.insert(image.format);
        if (image.levels == jolp::FullMipCount(image.width, image.height)) ++mipped;
        EXPECT_GE(image.width, 256u) << path;
        EXPECT_LE(image.width, 1024u) << path;
    }
    EXPECT_TRUE(formats.count(jolp::Format::DXT1));
    EXPECT_TRUE(formats.count(jolp::Format::DXT5));
    EXPECT_GE(mipped, 4u);
    jolp::DdsImage heights;
    std::string error;
    ASSERT_TRUE(jolp::ReadDdsFile((Root() / "four_NM_height.dds").string(), heights, error)) << error;
    EXPECT_EQ(heights.format, jolp::Format::DXT5) << "the height lives in alpha";
    jolp::DdsImage light;
    ASSERT_TRUE(jolp::ReadDdsFile((Root() / "lightCube.dds").string(), light, error)) << error;
    EXPECT_TRUE(light.cube);
}

TEST_F(DataSet, ASecondRunWritesTheSameBytes) {
    TempDir again;
    const ProcessResult second = RunProcess(kContent, {again.Path().string()}, {}, 120.0);
    ASSERT_EQ(second.exitCode, 0) << second.err;
    const auto first = Contents(Root());
    const auto other = Contents(again.Path());
    ASSERT_EQ(first.size(), other.size());
    for (const auto& [path, bytes] : first) {
        const auto it = other.find(path);
        ASSERT_NE(it, other.end()) << path << " missing from the second run";
        EXPECT_TRUE(it->second == bytes) << path << " differs between runs";
    }
}

TEST(ContentTool, HelpBadArgumentsAndAnUnwritableFolder) {
    const ProcessResult help = RunProcess(kContent, {"--help"}, {}, 10.0);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: tarvel_content RUN_FOLDER"));
    const ProcessResult unprinted = RunProcess("/bin/sh", {"-c", "exec \"$0\" --help >/dev/full", kContent}, {}, 10.0);
    EXPECT_EQ(unprinted.exitCode, 1);
    EXPECT_EQ(unprinted.err, "tarvel_content: cannot write standard output (No space left on device)\n");

    EXPECT_EQ(RunProcess(kContent, {}, {}, 10.0).exitCode, 2);
    EXPECT_EQ(RunProcess(kContent, {"a", "b"}, {}, 10.0).exitCode, 2);
    EXPECT_EQ(RunProcess(kContent, {"--frobnicate"}, {}, 10.0).exitCode, 2);

    // A run folder that is a plain file cannot hold the data set; the
    // message names the path it could not make.
    TempDir dir;
    const std::string blocker = dir / "run";
    std::ofstream(blocker) << "not a folder";
    const ProcessResult blocked = RunProcess(kContent, {blocker}, {}, 60.0);
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_THAT(blocked.err, HasSubstr(blocker));
    EXPECT_THAT(blocked.err, HasSubstr("Not a directory"));

    // A disk that fills up while the music is written: a tmpfs that holds
    // the rest of the data set and half the music. The run fails naming the
    // file and the system's reason, and leaves no cut-off music behind.
    jolp::testing::SmallDisk disk(DataSetPagesBeside("media/music.ogg") * 4096);
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    const std::string run = disk / "run";
    const ProcessResult full = RunProcess(kContent, {run}, {}, 120.0);
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_THAT(full.err, HasSubstr(run + "/media/music.ogg: cannot be written (No space left on device)"));
    EXPECT_FALSE(std::filesystem::exists(run + "/media/music.ogg"));
    for (const auto& entry : fs::directory_iterator(run + "/media")) {
        EXPECT_FALSE(entry.path().filename().string().ends_with(".partial")) << entry.path();
    }
}


}  // namespace
