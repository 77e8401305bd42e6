#include "tests/demo/demo_fixture.h"

#include "framework/dds_file.h"
#include "scene/scene_file.h"
#include "tests/support/test_program.h"

#include <stb/stb_image_write.h>

#include <cstdio>
#include <fstream>

namespace tarvel::testing {
namespace fs = std::filesystem;

namespace {

constexpr float kSceneSeconds = 210.0f;

void WriteCube(const fs::path& path) {
    jolp::DdsImage image;
    image.format = jolp::Format::A8R8G8B8;
    image.width = image.height = 4;
    image.cube = true;
    image.data.assign(6 * 4 * 4 * 4, 0x80);
    std::string error;
    ASSERT_TRUE(jolp::WriteDdsFile(path.string(), image, error)) << error;
}

void WriteFlat(const fs::path& path) {
    const unsigned char pixels[4 * 4 * 3] = {200, 100, 50};
    const std::string ext = path.extension().string();
    int ok = 0;
    if (ext == ".jpg") ok = stbi_write_jpg(path.c_str(), 4, 4, 3, pixels, 90);
    if (ext == ".png") ok = stbi_write_png(path.c_str(), 4, 4, 3, pixels, 12);
    if (ext == ".tga") ok = stbi_write_tga(path.c_str(), 4, 4, 3, pixels);
    if (ext == ".dds") {
        jolp::DdsImage image;
        image.format = jolp::Format::A8R8G8B8;
        image.width = image.height = 4;
        image.data.assign(4 * 4 * 4, 0x40);
        std::string error;
        ok = jolp::WriteDdsFile(path.string(), image, error) ? 1 : 0;
    }
    ASSERT_NE(ok, 0) << "cannot write " << path;
}

}  // namespace

jolp::Vec3 TestDummyPosition(int dummy, float seconds) {
    return {10.0f * seconds, static_cast<float>(dummy + 1), 0.0f};
}

void WriteTestData(const fs::path& data) {
    fs::create_directories(data / "media/scenes");
    fs::create_directories(data / "media/texs");
    fs::create_directories(data / "media/cubes");
    fs::create_directories(data / "media/particles");
    fs::copy(fs::path(TARVEL_SOURCE_DIR) / "shaders", data / "shaders", fs::copy_options::recursive);

    WriteCube(data / "LightCube.dds");
    WriteCube(data / "media/cubes/sunol_cubemap.dds");
    for (const char* flat : {"powerBall.jpg", "texture1_d.tga", "four_NM_height.dds", "texture1_s.tga"}) {
        WriteFlat(data / flat);
    }
    WriteFlat(data / "media/texs/bricks.png");
    for (const char* image : {"red_particle.jpg", "yellow_particle.jpg", "green_particle.jpg", "blue_particle.jpg",
                              "wind_particle.jpg", "fire_particle.png"}) {
        WriteFlat(data / "media/particles" / image);
    }

    jolp::SceneFileBuilder builder;
    const float fov[] = {0.8f, 0.8f};
    const int32_t fovTrack = builder.AddScalarTrack(fov);
    for (int k = 1; k <= 20; ++k) {
        jolp::Transform still;
        still.position = {static_cast<float>(k), 0.0f, -50.0f};
        const jolp::Transform keys[] = {still, still};
        char name[16];
        std::snprintf(name, sizeof name, "Camera%02d", k);
        builder.AddCamera(name, builder.AddTransformTrack(keys), fovTrack);
    }
    const int keyCount = static_cast<int>(kSceneSeconds / jolp::kSceneKeyInterval) + 1;
    for (int d = 0; d < 6; ++d) {
        std::vector<jolp::Transform> keys(static_cast<size_t>(keyCount));
        float t = 0.0f;
        for (jolp::Transform& key : keys) {
            key.position = TestDummyPosition(d, t);
            t += jolp::kSceneKeyInterval;  // the key times as the reader makes them
        }
        builder.AddDummy(kDummyNames[d], builder.AddTransformTrack(keys));
    }
    std::string reason;
    ASSERT_TRUE(jolp::WriteSceneFileTo((data / "media/scenes/scene.JOLP3D").string(), builder.File(), reason))
        << reason;
}

void DemoFixture::SetUp() {
    previousFolder = fs::current_path();
    ASSERT_NO_FATAL_FAILURE(WriteTestData(dir.Path() / "data"));
    fs::current_path(dir.Path() / "data");
    jolp::RunConfig config;
    config.headless = true;
    config.createDisplay = &jolp::testing::RecordingDisplay;
    demo = std::make_unique<MyDemo>(config);
    ASSERT_TRUE(demo->Init("Tarvel"));
    prepared = demo->Prepare("media/music.ogg");
    demo->length = 0xFFFFFFFFu;
    demo->end = 0xFFFFFFFFu;
}

void DemoFixture::TearDown() {
    demo.reset();
    fs::current_path(previousFolder);
}

void DemoFixture::Frame(uint32_t ms, float dt) {
    demo->localTime = ms;
    demo->clock.elapsedMs = ms;
    demo->clock.elapsedSeconds = static_cast<float>(ms) / 1000.0f;
    demo->clock.deltaSeconds = dt;
    demo->Process(*demo);
    jolp::RenderSystem& rs = Rs();
    submittedParticles.clear();
    for (const jolp::DrawItem& item : rs.additiveItems) submittedParticles.push_back(item.vertexBuffer);
    submittedOpaque = rs.opaqueItems.size();
    submittedLights = rs.lights.size();
    rs.SkipFrame();
}

}  // namespace tarvel::testing
