// jolp_preview run as a child process on a small data folder of our own
// making: the pictures it writes, and how it refuses a bad camera, time,
// data folder or scene.
#include "scene/scene_file.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using jolp::testing::ProcessResult;
using jolp::testing::RunProcess;
using jolp::testing::TempDir;
using ::testing::HasSubstr;

const std::string kPreview = JOLP_PREVIEW_BINARY;

// Shaders, the sample scene seen from the side its objects are on, and the
// two textures its materials name.
void MakeData(const fs::path& data) {
    fs::create_directories(data / "media/scenes");
    fs::create_directories(data / "media/texs");
    fs::copy(fs::path(TARVEL_BINARY).parent_path() / "shaders", data / "shaders", fs::copy_options::recursive);
    jolp::SceneFileBuilder builder;
    jolp::BuildSampleScene(builder);
    jolp::Transform turned;
    turned.position = {0.0f, 2.0f, -10.0f};
    turned.rotation = {0.0f, 1.0f, 0.0f, 0.0f};  // half a turn: looking towards +z
    const jolp::Transform keys[] = {turned, turned};
    const float fov[] = {1.0f, 1.0f};
    builder.AddCamera("CameraBack", builder.AddTransformTrack(keys), builder.AddScalarTrack(fov));
    // A name a file may give a camera, which must not lead out of the folder.
    builder.AddCamera("../../../../tmp/EVILCAM", builder.AddTransformTrack(keys), builder.AddScalarTrack(fov));
    std::string reason;
    ASSERT_TRUE(jolp::WriteSceneFileTo((data / "media/scenes/scene.JOLP3D").string(), builder.File(), reason)) << reason;
    std::vector<uint8_t> grey(16 * 16 * 3, 200);
    for (const char* name : {"stone.jpg", "glow.jpg"}) {
        ASSERT_TRUE(stbi_write_png((data / "media/texs" / name).c_str(), 16, 16, 3, grey.data(), 48));
    }
}

TEST(PreviewTool, WritesOnePictureOfTheShotPerMoment) {
    TempDir dir;
    MakeData(dir / "data");
    const ProcessResult r = RunProcess(
        kPreview, {"--data", dir / "data", "--size", "320x240", "--out", dir / "shot", "CameraBack", "0", "1.5"}, {},
        120.0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* name : {"shot_CameraBack_0.00.png", "shot_CameraBack_1.50.png"}) {
        int w = 0, h = 0, n = 0;
        unsigned char* pixels = stbi_load((dir / name).c_str(), &w, &h, &n, 3);
        ASSERT_NE(pixels, nullptr) << name;
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);
        // Bars above and below; the lit objects somewhere in between.
        int lit = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const unsigned char* p = pixels + (y * w + x) * 3;
                const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
                if (y < 30 || y >= 210) EXPECT_TRUE(black) << name << " " << x << "," << y;
                lit += !black && y >= 30 && y < 210;
            }
        }
        EXPECT_GT(lit, 320 * 180 / 50) << name;
        stbi_image_free(pixels);
    }
}

TEST(PreviewTool, ACamerasNameIsMadeSafeForTheFileName) {
    TempDir dir;
    MakeData(dir / "data");
    fs::create_directories(dir / "out");
    const ProcessResult r = RunProcess(
        kPreview, {"--data", dir / "data", "--size", "64x48", "--out", dir / "out/shot", "../../../../tmp/EVILCAM", "0"},
        {}, 120.0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(dir / "out/shot__.._.._.._tmp_EVILCAM_0.00.png")) << r.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

TEST(PreviewTool, RefusesWhatItCannotShow) {
    TempDir dir;
    MakeData(dir / "data");
    ProcessResult r = RunProcess(kPreview, {"--data", dir / "data", "--out", dir / "x", "Camera99", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("no camera 'Camera99'"));

    r = RunProcess(kPreview, {"--data", dir / "data", "CameraBack", "soon"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("bad time 'soon'"));

    r = RunProcess(kPreview, {"--data", dir / "nowhere", "CameraBack", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("nowhere"));

    fs::remove(dir / "data/media/scenes/scene.JOLP3D");
    r = RunProcess(kPreview, {"--data", dir / "data", "--out", dir / "x", "CameraBack", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("media/scenes/scene.JOLP3D"));

    r = RunProcess(kPreview, {"--size", "12", "CameraBack", "1"});
    EXPECT_EQ(r.exitCode, 2);
    // The demo's own rule for --size, and its words.
    r = RunProcess(kPreview, {"--size", "28x16", "CameraBack", "1"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("bad value '28x16' for --size: its 16:9 picture would be 28 x 14 pixels"));
    r = RunProcess(kPreview, {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("usage: jolp_preview"));
    r = RunProcess("/bin/sh", {"-c", "exec \"$0\" --help >/dev/full", kPreview});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "jolp_preview: cannot write standard output (No space left on device)\n");
}

}  // namespace
