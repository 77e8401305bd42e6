// runner.h - RunDemo, the whole entry point of a demo on jolp.
//
// A demo's main is a few lines: describe the demo, hand it to RunDemo.
//
//   int main(int argc, char** argv) {
//       jolp::DemoInfo info;
//       info.name = "orbits";
//       info.title = "Orbits";
//       info.musicPath = "media/music.ogg";
//       info.create = [](const jolp::RunConfig& c) -> std::unique_ptr<jolp::DemoProgram> {
//           return std::make_unique<Orbits>(c);
//       };
//       return jolp::RunDemo(argc, argv, info);
//   }
//
// RunDemo reads the command line (run_options.h: --windowed, --size, --data,
// --capture, --video, --dev and the rest), finds the data folder (--data, or
// the folder holding the executable) and reads every file through it,
// installs the Ctrl+C handling (interrupt.h), makes the program, runs Init
// and Run, and plays it the way the command line asked: in real time, as a
// headless capture (capture_driver.h) or in the authoring mode (dev_mode.h).
// Messages go through the log under the demo's name.
//
// Exit status: 0 when the demo ran to its end or was quit, 1 when it could
// not start, a run failed (the log says why) or what it printed to stdout
// (--help, --version) could not be written, 2 for a bad command line.
#pragma once

#include "framework/demo_program.h"
#include "framework/run_config.h"

#include <cstdint>
#include <memory>

namespace jolp {

struct DemoInfo {
    // The demo's name (the head of its messages, --version, the names of
    // the pictures it writes) and version.
    const char* name = "demo";
    const char* version = "0.0.0";
    // The window's title.
    const char* title = "Demo";
    // The music inside the data folder; its length is the demo's.
    const char* musicPath = "media/music.ogg";
    // The picture's aspect, letterboxed into any window or capture size.
    uint32_t aspect[2] = {16, 9};
    // The folder inside the data folder whose effect files --dev reloads.
    const char* watchFolder = "shaders";
    // The music's tempo and the sync tracks' rows per beat (sync_tracks.h).
    double beatsPerMinute = 120.0;
    double rowsPerBeat = 8.0;
    // Makes the demo's program for this run.
    std::unique_ptr<DemoProgram> (*create)(const RunConfig& config) = nullptr;
};

int RunDemo(int argc, char** argv, const DemoInfo& demo);

}  // namespace jolp
