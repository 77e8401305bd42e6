// The authoring mode allocates nothing frame to frame either: the real MyDemo
// in --dev on the headless OpenGL device, played through a scripted session
// of keys (pause, a frame step, seeks both ways with their replay from 0, a
// looped shot that wraps, the overlay off and on, the end of the demo), with
// every operator new of the process counted between frames. Writing a
// picture (F12) and reloading effect files allocate by design and are left
// out.
#include "demo/my_demo.h"
#include "runner/dev_keys.h"
#include "runner/dev_mode.h"

#include "tests/support/allocation_counter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace tarvel {
namespace {

constexpr int64_t kFrequency = 1000000;  // microseconds
constexpr int64_t kFrameTicks = kFrequency / 30;

// One scripted step: at frame `frame` of the session, press `key`.
struct Step {
    uint32_t frame;
    jolp::Key key;
    uint8_t modifiers;
};

class Session final : public jolp::DevKeyScript {
public:
    Session(jolp::VirtualCounter& wall, std::vector<Step> steps, uint32_t frames)
        : wall_(wall), steps_(std::move(steps)), frames_(frames) {
        counts.reserve(frames + 1);
        shown.reserve(frames + 1);
        paused.reserve(frames + 1);
    }

    bool Press(uint32_t shownMs, bool isPaused, jolp::KeyPresses& keys) override {
        counts.push_back(jolp::testing::OwnAllocationCount());
        shown.push_back(shownMs);
        paused.push_back(isPaused);
        const auto frame = static_cast<uint32_t>(counts.size() - 1);
        if (frame >= frames_) return false;
        for (const Step& step : steps_) {
            if (step.frame == frame && keys.count < jolp::KeyPresses::kCapacity) {
                keys.presses[keys.count++] = jolp::KeyPress{step.key, step.modifiers};
            }
        }
        wall_.Advance(kFrameTicks);
        return true;
    }

    std::vector<uint64_t> counts;  // before frame i
    std::vector<uint32_t> shown;   // root time shown by frame i - 1
    std::vector<bool> paused;

private:
    jolp::VirtualCounter& wall_;
    std::vector<Step> steps_;
    uint32_t frames_;
};

TEST(DevModeAllocationTest, NoFrameOfAScriptedSessionAllocates) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(TARVEL_RUN_DIR);
    jolp::VirtualCounter wall(kFrequency, 0);
    // From 11 s, in the third shot (10 to 13.6 s); 5 s back lands in the
    // second (5 to 10 s), which is looped until it wraps.
    Session session(wall,
                    {
                        {5, jolp::Key::Space, 0},                   // pause
                        {7, jolp::Key::Right, jolp::kKeyCtrl},   // one frame on, paused
                        {9, jolp::Key::O, 0},                       // overlay off
                        {10, jolp::Key::O, 0},                      // and on again
                        {11, jolp::Key::Space, 0},                  // play
                        {14, jolp::Key::Left, 0},                   // 5 s back: replayed from 0
                        {17, jolp::Key::Right, jolp::kKeyShift},  // 1 s on
                        {20, jolp::Key::L, 0},                      // loop the shot
                        {120, jolp::Key::L, 0},                     // stop looping
                        {122, jolp::Key::Home, 0},                  // to 0
                        {125, jolp::Key::Right, 0},                 // 5 s on
                    },
                    130);
    jolp::DevSettings settings;
    settings.startMs = 11000;
    settings.keys = &session;
    jolp::DevMode dev(settings);
    jolp::RunConfig config;
    config.headless = true;
    config.steppedClock = true;
    config.driver = &dev;
    config.width = 160;
    config.height = 90;
    config.counter = &wall;
    {
        MyDemo demo(config);
        ASSERT_TRUE(demo.Init(kTitle));
        ASSERT_TRUE(demo.Prepare(kMusicPath));
        ASSERT_TRUE(demo.Play(kMusicPath));
    }
    std::filesystem::current_path(before);

    ASSERT_EQ(session.counts.size(), 131u);
    // The session did what its keys say. shown[i] is what frame i - 1 showed,
    // and a key given at call k acts in frame k: it shows in shown[k + 1].
    const jolp::FrameGrid grid;
    EXPECT_EQ(session.shown[1], 11000u);
    for (size_t i = 6; i <= 11; ++i) EXPECT_TRUE(session.paused[i]) << i;
    EXPECT_EQ(session.shown[6], session.shown[5]) << "the pause held the picture";
    EXPECT_EQ(session.shown[7], session.shown[5]);
    EXPECT_EQ(session.shown[8], grid.TimeOf(grid.LastFrameAtOrBefore(session.shown[7]) + 1)) << "one grid frame on";
    EXPECT_EQ(session.shown[11], session.shown[8]);
    EXPECT_FALSE(session.paused[12]);
    EXPECT_EQ(session.shown[15] + 5000, session.shown[14]) << "5 s back";
    EXPECT_EQ(session.shown[18], session.shown[17] + 1000) << "1 s on";
    int wraps = 0;
    for (size_t i = 22; i <= 121; ++i) {
        if (session.shown[i] < session.shown[i - 1]) {
            ++wraps;
            EXPECT_EQ(session.shown[i], 5000u) << "the loop did not return to its shot's start";
        }
    }
    EXPECT_EQ(wraps, 1) << "the looped shot (5 to 10 s) wraps once in 100 frames";
    EXPECT_EQ(session.shown[123], 0u) << "Home";
    EXPECT_EQ(session.shown[126], session.shown[125] + 5000);

    // The first frames build what the mode keeps (the overlay's text, the
    // driver's first draws); from then on nothing, seeks included.
    for (size_t i = 4; i < session.counts.size(); ++i) {
        EXPECT_EQ(session.counts[i], session.counts[i - 1])
            << "frame " << i - 1 << " (showing " << session.shown[i] << " ms) allocated";
    }
}

}  // namespace
}  // namespace tarvel
