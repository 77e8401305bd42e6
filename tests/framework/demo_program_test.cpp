#include "framework/demo_program.h"

#include "tests/support/temp_dir.h"
#include "tests/support/test_program.h"
#include "tools/vorbis_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace jolp::testing {
namespace {

using ::testing::ElementsAre;

RunConfig HeadlessRecording(uint32_t toMs, uint32_t fps = 30) {
    RunConfig config;
    config.headless = true;
    config.fpsNum = fps;
    config.hasTo = true;
    config.toMs = toMs;
    config.createDisplay = &RecordingDisplay;
    return config;
}

std::string WriteTone(const TempDir& dir, double seconds) {
    jolp::tools::VorbisSettings settings;
    const size_t frames = static_cast<size_t>(seconds * settings.sampleRate);
    std::vector<float> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) samples[2 * i] = samples[2 * i + 1] = 0.1f * std::sin(0.05f * i);
    const std::string path = dir / "music.ogg";
    std::string error;
    EXPECT_TRUE(jolp::tools::WriteOggVorbis(path, samples.data(), frames, settings, error)) << error;
    return path;
}

TEST(DemoProgramTest, InitComputesTheLetterboxAndQueuesTheRenderSystemWorker) {
    TestProgram program(HeadlessRecording(100));
    EXPECT_EQ(program.aspect[0], 1u);
    ASSERT_TRUE(program.Init("Tarvel"));
    EXPECT_EQ(program.aspect[0], 16u);
    EXPECT_EQ(program.aspect[1], 9u);
    EXPECT_EQ(program.windowRect, (Rect{0, 0, 640, 480}));
    EXPECT_EQ(program.viewportRect, (Rect{0, 60, 640, 420}));
    EXPECT_EQ(program.workers->Count(), 1u);
    EXPECT_EQ(program.display.title, "Tarvel");
    EXPECT_EQ(program.musicChannel, -1);
}

TEST(DemoProgramTest, EachFrameIssuesItsCallsInOrder) {
    TestProgram program(HeadlessRecording(34));  // frames at 0 and 33 ms
    ASSERT_TRUE(program.Init("Tarvel"));
    ASSERT_TRUE(program.Run("no-such-music.ogg"));
    EXPECT_THAT(LastRecordingDevice()->calls,
                ElementsAre("BeginScene", "SetViewport 0 0 640 480 0 1", "Clear 1 ff000000 1 0", "RenderFrame",
                            "EndScene", "Present", "BeginScene", "SetViewport 0 0 640 480 0 1",
                            "Clear 1 ff000000 1 0", "RenderFrame", "EndScene", "Present"));
}

TEST(DemoProgramTest, HeadlessFramesAreDrawnAtExactFrameTimes) {
    TestProgram program(HeadlessRecording(200));
    CallbackTrack track(0, 0xFFFFFFFFu);
    program.AttachOnBuild(&track);
    ASSERT_TRUE(program.Init("Tarvel"));
    ASSERT_TRUE(program.Run("no-such-music.ogg"));
    EXPECT_THAT(track.seen, ElementsAre(0u, 33u, 66u, 100u, 133u, 166u));
    EXPECT_EQ(program.FrameCount(), 6u);
}

TEST(DemoProgramTest, FramesBeforeFromRunButAreNotDrawn) {
    RunConfig config = HeadlessRecording(100);
    config.fromMs = 50;
    TestProgram program(config);
    CallbackTrack track(0, 0xFFFFFFFFu);
    program.AttachOnBuild(&track);
    ASSERT_TRUE(program.Init("Tarvel"));
    ASSERT_TRUE(program.Run("no-such-music.ogg"));
    EXPECT_THAT(track.seen, ElementsAre(0u, 33u, 66u));
    EXPECT_THAT(LastRecordingDevice()->calls,
                ElementsAre("BeginScene", "SkipFrame", "EndScene", "BeginScene", "SkipFrame", "EndScene",
                            "BeginScene", "SetViewport 0 0 640 480 0 1", "Clear 1 ff000000 1 0", "RenderFrame",
                            "EndScene", "Present"));
}

TEST(DemoProgramTest, LostDeviceEndsTheLoopAtTheNextFrame) {
    TestProgram program(HeadlessRecording(100000));
    ASSERT_TRUE(program.Init("Tarvel"));
    LastRecordingDevice()->LoseDeviceAtPresent(2);
    ASSERT_TRUE(program.Run("no-such-music.ogg"));
    EXPECT_EQ(LastRecordingDevice()->presents, 2);
    EXPECT_EQ(program.FrameCount(), 2u);
}

TEST(DemoProgramTest, WithoutMusicTheRootNeverEndsAndMusicIsStillRegistered) {
    TestProgram program(HeadlessRecording(100));
    ASSERT_TRUE(program.Init("Tarvel"));
    ASSERT_TRUE(program.Run("no-such-music.ogg"));
    EXPECT_EQ(program.length, 0xFFFFFFFFu);
    EXPECT_EQ(program.end, 0xFFFFFFFFu);
    EXPECT_TRUE(program.active);
    const ResourceRegistry::Entry* music = program.resources.Find("music");
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->second, &program.music);
    EXPECT_EQ(program.music.handle, 0u);
}

TEST(DemoProgramTest, HeadlessRunWithoutMusicOrEndIsRefusedUnlessTheDemoGaveItsLength) {
    RunConfig config = HeadlessRecording(0);
    config.hasTo = false;
    {
        TestProgram program(config);
        ASSERT_TRUE(program.Init("Tarvel"));
        EXPECT_FALSE(program.Run("no-such-music.ogg"));
        EXPECT_EQ(program.FrameCount(), 0u);
    }
    TestProgram program(config);
    program.buildTimeline = [](TestProgram& p) {
        EXPECT_EQ(p.length, 0xFFFFFFFFu);  // no music: no length yet
        p.length = p.end = 100;
        return true;
    };
    ASSERT_TRUE(program.Init("Tarvel"));
    EXPECT_TRUE(program.Run("no-such-music.ogg"));
    EXPECT_EQ(program.FrameCount(), 3u);  // at 0, 33 and 66 ms
    EXPECT_EQ(program.length, 100u);
}

class RegisteringWorker final : public Worker {
public:
    RegisteringWorker(std::string name, Resource* resource, std::vector<std::string>* log)
        : name_(std::move(name)), resource_(resource), log_(log) {}
    bool IsReady() const override { return done_; }
    int32_t Step(ResourceRegistry& registry, WorkerQueue&) override {
        log_->push_back(name_);
        registry.AddIfAbsent(name_, resource_);
        done_ = true;
        return 100;
    }

private:
    std::string name_;
    Resource* resource_;
    std::vector<std::string>* log_;
    bool done_ = false;
};

TEST(DemoProgramTest, TimelineSeesEveryResourceOfEveryWorkerAndMusicIsNotReplaced) {
    TestProgram program(HeadlessRecording(10));
    std::vector<std::string> log;
    Resource a;
    Resource b;
    RegisteringWorker first("a", &a, &log);
    RegisteringWorker second("b", &b, &log);
    RegisteringWorker impostor("music", &a, &log);
    program.demoWorkers = {&first, &second, &impostor};
    bool built = false;
    program.buildTimeline = [&](TestProgram& p) {
        built = true;
        EXPECT_NE(p.renderSystem, nullptr);
        EXPECT_EQ(p.resources.Find("a")->second, &a);
        EXPECT_EQ(p.resources.Find("b")->second, &b);
        EXPECT_EQ(p.resources.Find("music")->second, &p.music);
        return true;
    };
    ASSERT_TRUE(program.Init("Tarvel"));
    ASSERT_TRUE(program.Run("no-such-music.ogg"));
    EXPECT_TRUE(built);
    EXPECT_THAT(log, ElementsAre("a", "b", "music"));
    EXPECT_EQ(program.workers->Count(), 0u);
    EXPECT_EQ(program.renderSystemWorker, nullptr);
}

TEST(DemoProgramTest, StartUpFailuresPlayNothing) {
    {
        TestProgram program(HeadlessRecording(100), &NullRenderSystemFactory);
        bool built = false;
        program.buildTimeline = [&](TestProgram&) { return built = true; };
        ASSERT_TRUE(program.Init("Tarvel"));
        EXPECT_FALSE(program.Run("no-such-music.ogg"));
        EXPECT_FALSE(built);
        EXPECT_EQ(LastRecordingDevice()->presents, 0);
    }
    {
        TestProgram program(HeadlessRecording(100));
        program.buildTimeline = [](TestProgram&) { return false; };
        ASSERT_TRUE(program.Init("Tarvel"));
        EXPECT_FALSE(program.Run("no-such-music.ogg"));
        EXPECT_EQ(LastRecordingDevice()->presents, 0);
    }
}

TEST(DemoProgramTest, TheFrameThatReachesTheMusicLengthIsDrawnButMovesNothing) {
    // Played for real (through the dummy driver where there is no sound
    // card), with a hand-stepped clock: 300 ms a frame against 1000 ms.
    TempDir dir;
    const std::string music = WriteTone(dir, 1.0);
    VirtualCounter counter(1000, 0);
    RunConfig config;
    config.createDisplay = &RecordingDisplay;
    config.counter = &counter;
    TestProgram program(config);
    CallbackTrack track(0, 0xFFFFFFFFu, [&](DemoProgram&) { counter.Advance(300); });
    uint32_t lengthWhenBuilt = 0;
    program.buildTimeline = [&](TestProgram& p) {
        lengthWhenBuilt = p.length;
        p.AddChild(&track);
        return true;
    };
    ASSERT_TRUE(program.Init("Tarvel"));
    ASSERT_TRUE(program.Run(music));
    EXPECT_EQ(lengthWhenBuilt, 1000u);  // tracks can be cut to the music
    EXPECT_EQ(program.length, 1000u);
    EXPECT_GE(program.musicChannel, 0);
    EXPECT_THAT(track.seen, ElementsAre(0u, 300u, 600u, 900u));
    EXPECT_FALSE(program.active);
    EXPECT_EQ(LastRecordingDevice()->presents, 5);
    EXPECT_FALSE(SoundInitialised());
}

// Records, when destroyed, whether the render system was still there.
class TrackOnTheDevice final : public DemoTrack {
public:
    TrackOnTheDevice(DemoProgram& program, bool& rendererWasThere)
        : DemoTrack(0, 0xFFFFFFFFu), program_(program), rendererWasThere_(rendererWasThere) {}
    ~TrackOnTheDevice() override { rendererWasThere_ = program_.renderSystem != nullptr; }
    void Update(DemoProgram&) override {}

private:
    DemoProgram& program_;
    bool& rendererWasThere_;
};

TEST(DemoProgramTest, TracksTheProgramKeepsGoBeforeTheRenderSystem) {
    bool rendererWasThere = false;
    {
        TestProgram program(HeadlessRecording(34));
        program.buildTimeline = [&](TestProgram& p) {
            p.AddChild(std::make_unique<TrackOnTheDevice>(p, rendererWasThere));
            return true;
        };
        ASSERT_TRUE(program.Init("Tarvel"));
        ASSERT_TRUE(program.Run("no-such-music.ogg"));
        EXPECT_EQ(program.children.size(), 1u);
    }
    // A track holding buffers made on the device frees them while it lives.
    EXPECT_TRUE(rendererWasThere);
}

}  // namespace
}  // namespace jolp::testing
