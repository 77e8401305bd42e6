// What the video encoder asks of ffmpeg: the container and codecs by
// extension, the quality defaults, the sound cut to the span, and even sides.
// (The encoding itself is tested through the real binary and ffmpeg.)
#include "runner/video_encoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>

namespace jolp {
namespace {

using ::testing::Contains;
using ::testing::Not;

// The value after option in args; "" when it is not there.
std::string After(const std::vector<std::string>& args, const std::string& option, size_t nth = 0) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option && nth-- == 0) return args[i + 1];
    }
    return "";
}

VideoSettings Settings(const std::string& path) {
    VideoSettings s;
    s.path = path;
    s.width = 640;
    s.height = 480;
    s.fpsNum = 30000;
    s.fpsDen = 1001;
    s.firstFrame = 300;  // 10.01 s
    s.frameCount = 90;   // 3.003 s
    s.musicPath = "/data/media/music.ogg";
    return s;
}

TEST(VideoContainer, ByExtensionWhateverItsCase) {
    VideoContainer c;
    ASSERT_TRUE(VideoContainerFor("a/b.mp4", c));
    EXPECT_EQ(c, VideoContainer::Mp4);
    ASSERT_TRUE(VideoContainerFor("DEMO.WebM", c));
    EXPECT_EQ(c, VideoContainer::WebM);
    ASSERT_TRUE(VideoContainerFor("x.mkv", c));
    EXPECT_EQ(c, VideoContainer::Matroska);
    EXPECT_FALSE(VideoContainerFor("x.avi", c));
    EXPECT_FALSE(VideoContainerFor("mp4", c));
    EXPECT_FALSE(VideoContainerFor("x.mp4.partial", c));
    EXPECT_TRUE(IsVideoPreset("veryslow"));
    EXPECT_FALSE(IsVideoPreset(""));
    EXPECT_FALSE(IsVideoPreset("Medium"));
}

TEST(FfmpegArguments, EachContainerGetsItsCodecsAndDefaults) {
    const auto mp4 = FfmpegArguments(Settings("a.mp4"), VideoContainer::Mp4, "/out/.a.mp4.12-0.partial");
    EXPECT_EQ(After(mp4, "-c:v"), "libx264");
    EXPECT_EQ(After(mp4, "-c:a"), "aac");
    EXPECT_EQ(After(mp4, "-crf"), "18");
    EXPECT_EQ(After(mp4, "-preset"), "medium");
    EXPECT_EQ(After(mp4, "-f", 1), "mp4");  // the first -f is the raw input's
    // Paths reach ffmpeg as "file:" and the absolute path, which it can
    // read neither as an option ("-x.mp4") nor as another protocol
    // ("pipe:1.mp4").
    EXPECT_EQ(mp4.back(), "file:/out/.a.mp4.12-0.partial");
    EXPECT_EQ(FfmpegFileName("/v/-dash.mp4"), "file:/v/-dash.mp4");
    EXPECT_EQ(FfmpegFileName("pipe:1.mp4"), "file:" + (std::filesystem::current_path() / "pipe:1.mp4").string());

    const auto webm = FfmpegArguments(Settings("a.webm"), VideoContainer::WebM, "t");
    EXPECT_EQ(After(webm, "-c:v"), "libvpx-vp9");
    EXPECT_EQ(After(webm, "-c:a"), "libopus");
    EXPECT_EQ(After(webm, "-crf"), "31");
    EXPECT_EQ(After(webm, "-b:v"), "0");  // constant quality, not a bit rate
    EXPECT_EQ(After(webm, "-f", 1), "webm");

    const auto mkv = FfmpegArguments(Settings("a.mkv"), VideoContainer::Matroska, "t");
    EXPECT_EQ(After(mkv, "-c:v"), "libx264");
    EXPECT_EQ(After(mkv, "-c:a"), "copy");
    EXPECT_EQ(After(mkv, "-f", 1), "matroska");
}

TEST(FfmpegArguments, FramesAndSoundCoverTheSameSpan) {
    const auto mp4 = FfmpegArguments(Settings("a.mp4"), VideoContainer::Mp4, "t");
    EXPECT_EQ(After(mp4, "-framerate"), "30000/1001");
    EXPECT_EQ(After(mp4, "-video_size"), "640x480");
    EXPECT_EQ(After(mp4, "-pix_fmt"), "rgb24");
    // Frame 300 at 30000/1001 is 10.01 s; 90 frames last 3.003 s.
    EXPECT_EQ(After(mp4, "-ss"), "10.010000");
    EXPECT_EQ(After(mp4, "-t"), "3.003000");
    EXPECT_EQ(After(mp4, "-i", 1), "file:/data/media/music.ogg");
    // The copied Vorbis stream is cut after its input, with the frames
    // placed at their own times.
    const auto mkv = FfmpegArguments(Settings("a.mkv"), VideoContainer::Matroska, "t");
    EXPECT_EQ(After(mkv, "-itsoffset"), "10.010000");
    EXPECT_EQ(After(mkv, "-ss"), "10.010000");
    EXPECT_LT(std::find(mkv.begin(), mkv.end(), "file:/data/media/music.ogg"), std::find(mkv.begin(), mkv.end(), "-ss"));
}

TEST(FfmpegArguments, QualityPresetsSilenceAndOddSizes) {
    VideoSettings s = Settings("a.webm");
    s.crf = 40;
    s.preset = "ultrafast";
    auto webm = FfmpegArguments(s, VideoContainer::WebM, "t");
    EXPECT_EQ(After(webm, "-crf"), "40");
    EXPECT_EQ(After(webm, "-deadline"), "realtime");
    EXPECT_EQ(After(webm, "-cpu-used"), "8");
    s.preset = "veryslow";
    webm = FfmpegArguments(s, VideoContainer::WebM, "t");
    EXPECT_EQ(After(webm, "-deadline"), "good");
    EXPECT_EQ(After(webm, "-cpu-used"), "0");

    s = Settings("a.mp4");
    s.musicPath.clear();
    s.width = 641;
    const auto silent = FfmpegArguments(s, VideoContainer::Mp4, "t");
    EXPECT_THAT(silent, Not(Contains("-c:a")));
    EXPECT_THAT(silent, Not(Contains("1:a:0")));
    EXPECT_EQ(After(silent, "-i", 1), "");
    EXPECT_EQ(After(silent, "-vf"), "pad=ceil(iw/2)*2:ceil(ih/2)*2");
    EXPECT_EQ(After(FfmpegArguments(Settings("a.mp4"), VideoContainer::Mp4, "t"), "-vf"), "");
}

}  // namespace
}  // namespace jolp
