#include "framework/run_config.h"
#include "runner/run_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace jolp {
namespace {

ParseResult Parse(std::initializer_list<const char*> args, const uint32_t aspect[2] = kPictureAspect) {
    std::vector<const char*> argv{"tarvel"};
    argv.insert(argv.end(), args);
    return ParseRunOptions(static_cast<int>(argv.size()), argv.data(), aspect);
}

// An error whose one-line message contains every one of words.
void ExpectError(std::initializer_list<const char*> args, std::initializer_list<const char*> words) {
    const ParseResult result = Parse(args);
    std::string line;
    for (const char* arg : args) line += std::string(arg) + " ";
    ASSERT_EQ(result.status, ParseStatus::Error) << line;
    EXPECT_EQ(result.message.find('\n'), std::string::npos) << result.message;
    for (const char* word : words) EXPECT_NE(result.message.find(word), std::string::npos) << result.message;
}

TEST(RunOptionsParse, NoArgumentsPlayTheDemoAsShipped) {
    const ParseResult result = Parse({});
    ASSERT_EQ(result.status, ParseStatus::Run);
    const RunConfig& config = result.options.config;
    EXPECT_EQ(config.width, 640u);
    EXPECT_EQ(config.height, 480u);
    EXPECT_TRUE(config.fullscreen);
    EXPECT_FALSE(config.headless);
    EXPECT_TRUE(result.options.captureDir.empty());
    EXPECT_EQ(config.fpsNum, 30u);
    EXPECT_EQ(config.fpsDen, 1u);
    EXPECT_FALSE(config.hasTo);
    EXPECT_TRUE(result.options.dataDir.empty());
}

TEST(RunOptionsParse, WindowSizeAndData) {
    ParseResult result = Parse({"--windowed", "--size", "1280x720", "--data", "media dir"});
    ASSERT_EQ(result.status, ParseStatus::Run);
    EXPECT_FALSE(result.options.config.fullscreen);
    EXPECT_FALSE(result.options.config.headless);
    EXPECT_EQ(result.options.config.width, 1280u);
    EXPECT_EQ(result.options.config.height, 720u);
    EXPECT_EQ(result.options.dataDir, "media dir");

    result = Parse({"--size=1920X1080"});
    ASSERT_EQ(result.status, ParseStatus::Run);
    EXPECT_EQ(result.options.config.width, 1920u);
    EXPECT_EQ(result.options.config.height, 1080u);
    EXPECT_TRUE(result.options.config.fullscreen);

    // The smallest back buffer whose 16:9 picture is 16 pixels on a side
    // (28 x 16 once centred), and the largest frame the memory budget takes.
    for (const char* edge : {"29x16", "29x400", "7680x4320", "4320x7680"}) {
        EXPECT_EQ(Parse({"--size", edge}).status, ParseStatus::Run) << edge;
    }
}

TEST(RunOptionsParse, BadSizes) {
    for (const char* bad : {"0x0", "12", "axb", "20000x10", "10x16385", "x720", "1280x", "-1x5", "+5x5", "5x5x5"}) {
        ExpectError({"--size", bad}, {"--size", bad});
    }
    ExpectError({"--size"}, {"--size"});
    ExpectError({"--size", "--windowed"}, {"--size"});
    // Parsed, but the picture would be too small to show anything or the
    // frame too large for memory; each is refused with why.
    for (const char* bad : {"1x1", "3x2", "16x1", "28x16", "16x28", "1x16384", "16384x1"}) {
        ExpectError({"--size", bad}, {"--size", bad, "needs at least 16 on each side"});
    }
    for (const char* bad : {"7681x4320", "16384x16384"}) {
        ExpectError({"--size", bad}, {"--size", bad, "million pixels"});
    }
}

TEST(RunOptionsParse, SizesFollowTheDemosOwnAspect) {
    // A square picture fits a narrow back buffer a 16:9 one would not.
    constexpr uint32_t kSquare[2] = {1, 1};
    ParseResult result = Parse({"--size", "16x28"}, kSquare);
    ASSERT_EQ(result.status, ParseStatus::Run) << result.message;
    EXPECT_EQ(result.options.config.height, 28u);
    result = Parse({"--size", "15x400"}, kSquare);
    ASSERT_EQ(result.status, ParseStatus::Error);
    EXPECT_NE(result.message.find("its 1:1 picture would be 14 x 14 pixels"), std::string::npos) << result.message;
    // The other limits are the same whatever the aspect.
    EXPECT_EQ(Parse({"--size", "7681x4320"}, kSquare).status, ParseStatus::Error);
    EXPECT_EQ(Parse({"--size", "16385x16"}, kSquare).status, ParseStatus::Error);
    EXPECT_NE(UsageText("orbits", kSquare).find("letterboxed to 1:1"), std::string::npos);
    EXPECT_NE(UsageText("tarvel").find("letterboxed to 16:9"), std::string::npos);
}

TEST(RunOptionsParse, CaptureRunsHeadless) {
    ParseResult result = Parse({"--capture", "out", "--fps", "60000/1001", "--from", "1.5", "--to=12.345"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.message;
    const RunConfig& config = result.options.config;
    EXPECT_TRUE(config.headless);
    EXPECT_EQ(result.options.captureDir, "out");
    EXPECT_EQ(config.fpsNum, 60000u);
    EXPECT_EQ(config.fpsDen, 1001u);
    EXPECT_EQ(config.fromMs, 1500u);
    EXPECT_TRUE(config.hasTo);
    EXPECT_EQ(config.toMs, 12345u);

    // The order does not matter, and seconds round to the nearest millisecond.
    result = Parse({"--fps=60", "--to", "1.001", "--capture=frames"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.message;
    EXPECT_EQ(result.options.config.fpsNum, 60u);
    EXPECT_EQ(result.options.config.fpsDen, 1u);
    EXPECT_EQ(result.options.config.toMs, 1001u);
    EXPECT_EQ(result.options.config.fromMs, 0u);
}

TEST(RunOptionsParse, BadCaptureValues) {
    for (const char* bad : {"0", "0/1", "30/0", "1001", "60/", "/2", "abc"}) {
        ExpectError({"--capture", "out", "--fps", bad}, {"--fps"});
    }
    EXPECT_EQ(Parse({"--capture", "out", "--fps", "1000"}).status, ParseStatus::Run);
    for (const char* bad : {"-1", "abc", "", "inf", "nan", "5000000"}) {
        ExpectError({"--capture", "out", "--from", bad}, {"--from"});
    }
    ExpectError({"--capture", "out", "--from", "5", "--to", "5"}, {"--to", "--from"});
    ExpectError({"--capture", "out", "--from", "5", "--to", "4"}, {"--to", "--from"});
    EXPECT_EQ(Parse({"--capture", "out", "--from", "5", "--to", "5.001"}).status, ParseStatus::Run);
    // The true limits of 32-bit milliseconds, not "0 or more".
    for (const char* large : {"1e7", "4294967.295", "1e400"}) {
        ExpectError({"--capture", "out", "--to", large}, {"--to", "at most 4294967.294 seconds"});
        ExpectError({"--dev", "--start", large}, {"--start", "at most 4294967.294 seconds"});
    }
    EXPECT_EQ(Parse({"--capture", "out", "--to", "4294967.294"}).options.config.toMs, 4294967294u);
    for (const char* tiny : {"0.0001", "1e-400"}) ExpectError({"--capture", "out", "--to", tiny}, {"--to", "rounds to 0 ms"});
    ExpectError({"--capture", "out", "--from", "1.0001", "--to", "1.0004"}, {"--to", "--from", "both are 1000 ms"});
    ExpectError({"--capture"}, {"--capture"});
    ExpectError({"--capture="}, {"--capture"});
}

TEST(RunOptionsParse, CaptureOptionsNeedCapture) {
    ExpectError({"--fps", "60"}, {"--fps", "--capture"});
    ExpectError({"--from", "1"}, {"--from", "--capture"});
    ExpectError({"--to", "1"}, {"--to", "--capture"});
    ExpectError({"--to", "1"}, {"--to", "--video"});
}

TEST(RunOptionsParse, VideoRunsHeadlessWithOrWithoutCapture) {
    ParseResult result = Parse({"--video", "demo.mp4", "--fps", "60000/1001", "--to", "3"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.message;
    EXPECT_TRUE(result.options.config.headless);
    EXPECT_EQ(result.options.videoPath, "demo.mp4");
    EXPECT_TRUE(result.options.captureDir.empty());
    EXPECT_EQ(result.options.videoCrf, -1);
    EXPECT_EQ(result.options.videoPreset, "");

    result = Parse({"--video=a.webm", "--capture", "f", "--crf", "40", "--preset", "veryfast"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.message;
    EXPECT_EQ(result.options.captureDir, "f");
    EXPECT_EQ(result.options.videoCrf, 40);
    EXPECT_EQ(result.options.videoPreset, "veryfast");

    ExpectError({"--video"}, {"--video"});
    ExpectError({"--video="}, {"--video"});
    ExpectError({"--crf", "20"}, {"--crf", "--video"});
    ExpectError({"--capture", "f", "--preset", "fast"}, {"--preset", "--video"});
    ExpectError({"--video", "a.mp4", "--crf", "64"}, {"--crf", "63"});
    ExpectError({"--video", "a.mp4", "--crf", "-1"}, {"--crf"});
    ExpectError({"--video", "a.mp4", "--crf", "52"}, {"--crf", "H.264"});
    ExpectError({"--video", "a.mkv", "--crf", "52"}, {"--crf", "H.264"});
    EXPECT_EQ(Parse({"--video", "a.webm", "--crf", "63"}).status, ParseStatus::Run);
    ExpectError({"--video", "a.mp4", "--preset", "quick"}, {"--preset", "quick", "medium"});
    // A kind it cannot write, or a folder, is a bad command line.
    ExpectError({"--video", "a.avi"}, {"--video", "a.avi", ".mp4"});
    ExpectError({"--video", "a.txt", "--capture", "f"}, {"--video", "a.txt"});
    ExpectError({"--video", "film"}, {"--video", "film", "no video type"});
    ExpectError({"--video", "clips/"}, {"--video", "clips/", "folder"});
}

TEST(RunOptionsParse, TheAuthoringModePlaysInAWindowFromItsStart) {
    ParseResult result = Parse({"--dev", "--start", "88.5", "--windowed"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.message;
    EXPECT_TRUE(result.options.dev);
    EXPECT_FALSE(result.options.config.headless);
    EXPECT_EQ(result.options.startMs, 88500u);
    EXPECT_FALSE(Parse({}).options.dev);
    ExpectError({"--start", "3"}, {"--start", "--dev"});
    ExpectError({"--dev", "--start", "-1"}, {"--start"});
    ExpectError({"--dev", "--start"}, {"--start"});
    ExpectError({"--dev=1"}, {"--dev"});
    ExpectError({"--dev", "--capture", "f"}, {"--dev", "--capture"});
    ExpectError({"--dev", "--video", "a.mp4"}, {"--dev", "--video"});
}

TEST(RunOptionsParse, UnknownOptionsAndStrayValues) {
    ExpectError({"--fullscreen"}, {"--fullscreen"});
    ExpectError({"demo.ogg"}, {"demo.ogg"});
    ExpectError({"--windowed=yes"}, {"--windowed"});
    ExpectError({"--fps"}, {"--fps"});
    ExpectError({"--capture", "out", "--from"}, {"--from"});
}

TEST(RunOptionsParse, HelpAndVersion) {
    EXPECT_EQ(Parse({"--help"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"-h"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"--windowed", "--version"}).status, ParseStatus::Version);
    EXPECT_NE(UsageText("orbits").find("Usage: orbits"), std::string::npos);
    EXPECT_NE(UsageText("orbits").find("orbits_shot_MS.png"), std::string::npos);
    EXPECT_EQ(VersionText("orbits", "1.2.3"), "orbits 1.2.3");
}

}  // namespace
}  // namespace jolp
