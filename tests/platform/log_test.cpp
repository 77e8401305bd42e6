// The libraries' log: what reaches a sink the application sets, and the
// default line on stderr with the application's name.
#include "platform/log.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace jolp {
namespace {

struct Captured {
    std::vector<std::pair<LogLevel, std::string>> lines;
};

void Capture(LogLevel level, const char* message, void* user) {
    static_cast<Captured*>(user)->lines.emplace_back(level, message);
}

TEST(Log, ASinkGetsEveryMessageWhole) {
    Captured captured;
    SetLogSink(&Capture, &captured);
    Log(LogLevel::Warning, "%s: cannot read (%s)", "media/texs", "Permission denied");
    // Longer than the stack buffer: formatted on the heap, not cut.
    const std::string compiler(10000, 'x');
    Log(LogLevel::Error, "shaders/master.fx:3: %s", compiler.c_str());
    SetLogSink(nullptr, nullptr);
    ASSERT_EQ(captured.lines.size(), 2u);
    EXPECT_EQ(captured.lines[0].first, LogLevel::Warning);
    EXPECT_EQ(captured.lines[0].second, "media/texs: cannot read (Permission denied)");
    EXPECT_EQ(captured.lines[1].second, "shaders/master.fx:3: " + compiler);
}

TEST(Log, TheDefaultLineCarriesTheApplicationsNameNotTheLibrarys) {
    SetLogName("orbits");
    ::testing::internal::CaptureStderr();
    Log(LogLevel::Warning, "music.ogg: not an Ogg file");
    Log(LogLevel::Error, "the renderer failed");
    Log(LogLevel::Info, "wrote %s", "orbits.mp4");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "orbits: warning: music.ogg: not an Ogg file\n"
              "orbits: the renderer failed\n"
              "orbits: wrote orbits.mp4\n");
}

}  // namespace
}  // namespace jolp
