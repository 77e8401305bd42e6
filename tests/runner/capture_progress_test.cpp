// The progress line of a capture: what it says, and how often it speaks on a
// terminal and in a log.
#include "runner/capture_progress.h"
#include "platform/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace jolp {
namespace {

using ::testing::HasSubstr;

std::string Line(uint64_t done, uint64_t total, uint64_t elapsedMs) {
    SetLogName("demo");  // the line starts with the application's name
    char text[160];
    CaptureProgress::Format(text, sizeof text, done, total, elapsedMs);
    return text;
}

TEST(CaptureProgress, SaysFramesRateAndTimeLeft) {
    EXPECT_EQ(Line(300, 6150, 30000), "demo: frame 300 of 6150 (5%), 10.0 frames/s, 9 min 45 s left");
    EXPECT_EQ(Line(30, 60, 1000), "demo: frame 30 of 60 (50%), 30.0 frames/s, 1 s left");
    EXPECT_EQ(Line(60, 60, 2500), "demo: frame 60 of 60 (100%), 24.0 frames/s, done in 2.5 s");
    // Nothing measured yet: no rate to guess from.
    EXPECT_EQ(Line(0, 60, 0), "demo: frame 0 of 60 (0%), 0.0 frames/s");
    EXPECT_EQ(Line(0, 0, 0), "demo: frame 0 of 0 (100%), 0.0 frames/s, done in 0.0 s");
    // A short buffer is cut, never overrun.
    SetLogName("demo");
    char tiny[12];
    CaptureProgress::Format(tiny, sizeof tiny, 300, 6150, 30000);
    EXPECT_EQ(std::string(tiny), "demo: frame");
}

std::string Transcript(bool terminal, uint64_t frames, uint64_t msPerFrame) {
    SetLogName("demo");
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    {
        CaptureProgress progress(frames, terminal, 0, out);
        for (uint64_t i = 1; i <= frames; ++i) progress.FrameDone(i * msPerFrame);
        progress.Finish(frames * msPerFrame);
        progress.Finish(frames * msPerFrame);  // once only
    }
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}

TEST(CaptureProgress, OneLineRewrittenOnATerminalPlainLinesElsewhere) {
    // 100 frames at 100 ms: 10 s in all.
    const std::string terminal = Transcript(true, 100, 100);
    EXPECT_EQ(std::count(terminal.begin(), terminal.end(), '\n'), 1);
    EXPECT_EQ(terminal.back(), '\n');
    // At least 250 ms apart: every third frame, then the last.
    EXPECT_EQ(std::count(terminal.begin(), terminal.end(), '\r'), 34);
    EXPECT_THAT(terminal, HasSubstr("\r" "demo: frame 100 of 100 (100%), 10.0 frames/s, done in 10.0 s"));

    const std::string log = Transcript(false, 100, 100);
    EXPECT_EQ(log.find('\r'), std::string::npos);
    EXPECT_EQ(log,
              "demo: frame 50 of 100 (50%), 10.0 frames/s, 5 s left\n"
              "demo: frame 100 of 100 (100%), 10.0 frames/s, done in 10.0 s\n");
}

}  // namespace
}  // namespace jolp
