// The whole demo allocates nothing once it plays: the real MyDemo on the
// headless OpenGL device over the generated content, one drawn frame a
// second from start to end, with every operator new of the process counted
// at each frame. What the graphics driver allocates for itself (llvmpipe
// compiles a new variant of its pipeline the first time the particles are
// drawn) is counted apart and only reported.
#include "demo/my_demo.h"

#include "tests/support/allocation_counter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace tarvel {
namespace {

// Runs last in every frame and notes the allocation count and the time,
// into storage reserved up front.
class CountingTrack final : public jolp::DemoTrack {
public:
    CountingTrack() : jolp::DemoTrack(0, 0xFFFFFFFFu) {
        counts.reserve(kMaxFrames);
        allCounts.reserve(kMaxFrames);
        times.reserve(kMaxFrames);
    }
    void Update(jolp::DemoProgram& program) override {
        if (counts.size() == counts.capacity()) return;
        counts.push_back(jolp::testing::OwnAllocationCount());
        allCounts.push_back(jolp::testing::AllocationCount());
        times.push_back(program.localTime);
    }
    static constexpr size_t kMaxFrames = 1000;
    std::vector<uint64_t> counts;     // from our own code
    std::vector<uint64_t> allCounts;  // the driver's included
    std::vector<uint32_t> times;
};

TEST(DemoAllocationTest, NoFrameAfterTheFirstFewAllocatesFromStartToEnd) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(TARVEL_RUN_DIR);
    jolp::RunConfig config;
    config.headless = true;
    config.width = 160;
    config.height = 90;
    config.fpsNum = 1;
    {
        MyDemo demo(config);
        ASSERT_TRUE(demo.Init(kTitle));
        ASSERT_TRUE(demo.Prepare(kMusicPath));
        CountingTrack track;
        demo.AddChild(&track);
        ASSERT_TRUE(demo.Play(kMusicPath));
        ASSERT_EQ(track.counts.size(), 205u) << "one frame a second for the music's 205 s";
        // The driver may allocate while it warms up; from then on nothing,
        // through every shot, both particle spans and the end.
        for (size_t i = 3; i < track.counts.size(); ++i) {
            EXPECT_EQ(track.counts[i], track.counts[i - 1]) << "the frame before " << track.times[i] << " ms allocated";
        }
        const uint64_t driver = (track.allCounts.back() - track.allCounts[2]) - (track.counts.back() - track.counts[2]);
        std::printf("the graphics driver allocated %llu times after the first frames\n",
                    static_cast<unsigned long long>(driver));
    }
    std::filesystem::current_path(before);
}

}  // namespace
}  // namespace tarvel
