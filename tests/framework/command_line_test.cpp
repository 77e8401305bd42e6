#include "framework/run_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace jolp {
namespace {

using ::testing::HasSubstr;

ParseResult Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tarvel");
    return ParseRunOptions(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineTest, NoArgumentsIsTheDemoAsShipped) {
    const ParseResult r = Parse({});
    ASSERT_EQ(r.status, ParseStatus::Run);
    EXPECT_EQ(r.options.config.width, 640u);
    EXPECT_EQ(r.options.config.height, 480u);
    EXPECT_TRUE(r.options.config.fullscreen);
    EXPECT_FALSE(r.options.config.headless);
    EXPECT_TRUE(r.options.dataDir.empty());
}

TEST(CommandLineTest, WindowSizeAndData) {
    const ParseResult r = Parse({"--windowed", "--size", "1280x720", "--data", "/srv/tarvel"});
    ASSERT_EQ(r.status, ParseStatus::Run) << r.message;
    EXPECT_FALSE(r.options.config.fullscreen);
    EXPECT_EQ(r.options.config.width, 1280u);
    EXPECT_EQ(r.options.config.height, 720u);
    EXPECT_EQ(r.options.dataDir, "/srv/tarvel");
    const ParseResult inlineValue = Parse({"--size=320x240"});
    ASSERT_EQ(inlineValue.status, ParseStatus::Run);
    EXPECT_EQ(inlineValue.options.config.width, 320u);
}

TEST(CommandLineTest, CaptureWithRateAndSpan) {
    const ParseResult r = Parse({"--capture", "out", "--fps", "60000/1001", "--from", "1.5", "--to", "12"});
    ASSERT_EQ(r.status, ParseStatus::Run) << r.message;
    const RunConfig& c = r.options.config;
    EXPECT_TRUE(c.headless);
    EXPECT_EQ(c.captureDir, "out");
    EXPECT_EQ(c.fpsNum, 60000u);
    EXPECT_EQ(c.fpsDen, 1001u);
    EXPECT_EQ(c.fromMs, 1500u);
    EXPECT_TRUE(c.hasTo);
    EXPECT_EQ(c.toMs, 12000u);
    const ParseResult plain = Parse({"--capture", "out"});
    EXPECT_EQ(plain.options.config.fpsNum, 30u);
    EXPECT_EQ(plain.options.config.fpsDen, 1u);
    EXPECT_FALSE(plain.options.config.hasTo);
}

TEST(CommandLineTest, BadInputNamesTheOption) {
    const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
        {{"--size", "0x0"}, "--size"},
        {{"--size", "640"}, "--size"},
        {{"--size", "axb"}, "--size"},
        {{"--size", "20000x10"}, "--size"},
        {{"--size"}, "--size"},
        {{"--capture", "d", "--fps", "0"}, "--fps"},
        {{"--capture", "d", "--fps", "30/0"}, "--fps"},
        {{"--capture", "d", "--fps", "5000"}, "--fps"},
        {{"--capture", "d", "--from", "-1"}, "--from"},
        {{"--capture", "d", "--from", "abc"}, "--from"},
        {{"--capture", "d", "--to", "nan"}, "--to"},
        {{"--capture", "d", "--from", "3", "--to", "2"}, "--to"},
        {{"--capture", "d", "--from", "2", "--to", "2"}, "--to"},
        {{"--to", "2"}, "--capture"},
        {{"--fps", "60"}, "--capture"},
        {{"--capture"}, "--capture"},
        {{"--windowed=yes"}, "--windowed"},
        {{"--frobnicate"}, "--frobnicate"},
        {{"video.mp4"}, "video.mp4"},
    };
    for (const auto& [args, named] : cases) {
        const ParseResult r = Parse(args);
        EXPECT_EQ(r.status, ParseStatus::Error) << args[0];
        EXPECT_THAT(r.message, HasSubstr(named)) << args[0];
        EXPECT_EQ(r.message.find('\n'), std::string::npos);
    }
}

TEST(CommandLineTest, HelpAndVersionWin) {
    EXPECT_EQ(Parse({"--help"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"--windowed", "-h"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"--version"}).status, ParseStatus::Version);
    EXPECT_THAT(UsageText("tarvel"), HasSubstr("--capture DIR"));
}

TEST(CommandLineTest, HeadlessFrameTimesAreExactFractions) {
    RunConfig c;
    EXPECT_EQ(HeadlessFrameTimeMs(0, c), 0u);
    EXPECT_EQ(HeadlessFrameTimeMs(1, c), 33u);
    EXPECT_EQ(HeadlessFrameTimeMs(3, c), 100u);
    c.fpsNum = 60000;
    c.fpsDen = 1001;
    EXPECT_EQ(HeadlessFrameTimeMs(1, c), 16u);
    // 60000 frames at 59.94 frames/s are exactly 1001 s; an hour's worth of
    // frames is still exact to the millisecond (floor(215784 * 1001 / 60)).
    EXPECT_EQ(HeadlessFrameTimeMs(60000, c), 1001000u);
    EXPECT_EQ(HeadlessFrameTimeMs(215784, c), 3599996u);
}

}  // namespace
}  // namespace jolp
