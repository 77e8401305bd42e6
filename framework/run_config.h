// run_config.h - how one run of a demo is set up: what the demo is called,
// the output size and mode, the frame grid of headless runs, where its data
// is, and who plays it. Filled by the runner from the command line, or by
// tests; the defaults are a demo as shipped.
#pragma once

#include "framework/display.h"
#include "framework/frame_grid.h"
#include "platform/counter.h"

#include <cstdint>
#include <string>

namespace jolp {

class PlayDriver;

using DisplayFactory = Display (*)(const DisplaySettings& settings);

struct RunConfig {
    // What the demo is called: the head of its messages and of the files it
    // names after itself.
    std::string name = "demo";
    // The aspect of the demo's picture, letterboxed into any back buffer.
    uint32_t aspect[2] = {16, 9};

    uint32_t width = 640;
    uint32_t height = 480;
    bool fullscreen = true;

    // Headless: no window, no sound device; the clock is stepped exactly one
    // frame per loop by a virtual counter.
    bool headless = false;
    // Frame rate of headless runs as a fraction: their frames fall on
    // Grid() (frame_grid.h).
    uint32_t fpsNum = 30;
    uint32_t fpsDen = 1;
    // Headless span, in root milliseconds: frames in [fromMs, toMs) are
    // drawn; earlier ones run without drawing. hasTo false: up to the end.
    uint32_t fromMs = 0;
    bool hasTo = false;
    uint32_t toMs = 0;
    // The clock reads a virtual counter that whoever plays the program
    // sets (DemoProgram::SetFrameTimeNs), as headless runs do; the
    // authoring mode keeps its own time this way.
    bool steppedClock = false;

    // The folder the demo's files are read from (data_path.h); empty: the
    // working folder.
    std::string dataFolder;

    // The music's tempo, for the rows of the sync tracks (sync_tracks.h):
    // row = seconds x beatsPerMinute / 60 x rowsPerBeat.
    double beatsPerMinute = 120.0;
    double rowsPerBeat = 8.0;

    // Who plays the prepared program (play_driver.h); null: its own loop.
    PlayDriver* driver = nullptr;
    // Asked between frames of the program's own loop; true ends the play as
    // interrupted (Ctrl+C). Null: never.
    bool (*stopRequested)() = nullptr;

    // Builds the window and device; CreateDisplay unless a test replaces it.
    DisplayFactory createDisplay = &CreateDisplay;
    // The clock's counter when not headless; null: the machine's. Tests
    // set their own to step time by hand.
    Counter* counter = nullptr;

    FrameGrid Grid() const { return FrameGrid{fpsNum, fpsDen}; }
};

}  // namespace jolp
