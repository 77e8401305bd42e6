// demo_fixture.h - MyDemo prepared on the recording device over a small data
// folder of the test's own making: the demo's effect files, the six named
// textures (sunol_cubemap.dds only in media/cubes), one texture in each
// media directory, the six particle images, and a scene whose cameras and
// dummies say by their positions which one is which.
//
// Frames are driven by hand (Frame): the root's time and the clock are set,
// the tree is processed, and what reached the render system is kept for the
// test before the lists are emptied.
#pragma once

#include "demo/my_demo.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarvel::testing {

// Where the test scene puts things: camera k (1 to 20) stands still at
// (k, 0, -50) looking down +z; dummy d (0..5 in kDummyNames order) moves
// along x at 10 units a second, at height d + 1.
inline constexpr const char* kDummyNames[] = {"Dummy01", "Dummy02", "Dummy03", "Dummy04", "wind_dummy", "fire_dummy"};
jolp::Vec3 TestDummyPosition(int dummy, float seconds);

// Writes the data folder described above into dir.
void WriteTestData(const std::filesystem::path& dir);

class DemoFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // One frame at root time ms, dt seconds after the previous one.
    void Frame(uint32_t ms, float dt);

    jolp::RenderSystem& Rs() { return *demo->Renderer(); }

    jolp::testing::TempDir dir;
    std::filesystem::path previousFolder;
    std::unique_ptr<MyDemo> demo;
    bool prepared = false;

    // What the last Frame handed to the render system.
    std::vector<const jolp::VertexBuffer*> submittedParticles;
    size_t submittedOpaque = 0;
    size_t submittedLights = 0;
};

}  // namespace tarvel::testing
