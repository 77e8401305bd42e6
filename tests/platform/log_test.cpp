// The libraries' log: what reaches a sink the application sets, and the
// default line on stderr with the application's name; the fatal start-up
// message goes the same way.
#include "platform/log.h"
#include "platform/message_box.h"

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

TEST(Log, TheFatalMessageIsHeadedByTheBoxsCaption) {
    SetLogName("orbits");
    ::testing::internal::CaptureStderr();
    ShowErrorMessage("Failed to initialize Direct3D 9.\ndemo will no run.", "no display to show the demo on", false);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "orbits: no display to show the demo on\n"
              "ERROR: Failed to initialize Direct3D 9.\ndemo will no run.\n");

    // An application's sink gets it too, reason first, each at its level:
    // nothing goes past the log to stderr.
    Captured captured;
    SetLogSink(&Capture, &captured);
    ::testing::internal::CaptureStderr();
    ShowErrorMessage("Shader model no supported.\nDemo requires al least SM 3.0 to run.", "OpenGL 3.0", false);
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    SetLogSink(nullptr, nullptr);
    EXPECT_EQ(stderrText, "");
    ASSERT_EQ(captured.lines.size(), 2u);
    EXPECT_EQ(captured.lines[0], std::make_pair(LogLevel::Error, std::string("OpenGL 3.0")));
    EXPECT_EQ(captured.lines[1], std::make_pair(LogLevel::Fatal, std::string("Shader model no supported.\n"
                                                                             "Demo requires al least SM 3.0 to run.")));
}

}  // namespace
}  // namespace jolp
