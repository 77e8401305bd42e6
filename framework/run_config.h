// run_config.h - how one run of a demo is set up: output size and mode,
// headless capture with its frame rate and span. Filled from the command
// line (run_options.h) or by tests; the defaults are the demo as shipped.
#pragma once

#include "framework/display.h"
#include "platform/counter.h"

#include <cstdint>
#include <string>

namespace jolp {

class DevKeyScript;

using DisplayFactory = Display (*)(const DisplaySettings& settings);

struct RunConfig {
    uint32_t width = 640;
    uint32_t height = 480;
    bool fullscreen = true;

    // Headless: no window, no sound device; the clock is stepped exactly one
    // frame per loop by a virtual counter.
    bool headless = false;
    // Where headless frames are written as frame_NNNNNN.png; empty writes
    // nothing.
    std::string captureDir;
    // Where headless frames are encoded as a video with the music (the
    // extension picks the container); empty encodes nothing.
    std::string videoPath;
    // Video quality (-1: the codec's default) and x264 preset name (empty:
    // "medium").
    int32_t videoCrf = -1;
    std::string videoPreset;
    // Frame rate of headless runs as a fraction: frame N is drawn at root
    // time floor(N * 1000 * fpsDen / fpsNum) ms.
    uint32_t fpsNum = 30;
    uint32_t fpsDen = 1;
    // Headless span, in root milliseconds: frames in [fromMs, toMs) are
    // drawn; earlier ones run without drawing. hasTo false: up to the end.
    uint32_t fromMs = 0;
    bool hasTo = false;
    uint32_t toMs = 0;

    // The authoring mode (--dev): seek, pause, loop, hot reload of the
    // effect files and the overlay; played from root time startMs. Without
    // it only Escape and closing the window do anything.
    bool dev = false;
    uint32_t startMs = 0;
    // What the demo is called: F12 writes NAME_shot_MS.png.
    std::string name = "demo";
    // The aspect of the demo's picture, letterboxed into any back buffer.
    uint32_t aspect[2] = {16, 9};
    // The folder the demo's files are read from (data_path.h); empty: the
    // working folder.
    std::string dataFolder;
    // The folder inside it whose effect files the authoring mode watches
    // and reloads.
    std::string watchFolder = "shaders";
    // Where the authoring mode's F12 writes the picture shown.
    std::string shotDir = ".";
    // Keys for the authoring mode besides the window's; null: none. Tests
    // script a session with it, and may run it headless.
    DevKeyScript* devKeys = nullptr;

    // Builds the window and device; CreateDisplay unless a test replaces it.
    DisplayFactory createDisplay = &CreateDisplay;
    // The clock's counter when not headless; null: the machine's. Tests
    // set their own to step time by hand.
    Counter* counter = nullptr;
};

// Root time of headless frame N, in integer arithmetic so nothing drifts.
inline uint32_t HeadlessFrameTimeMs(uint64_t frame, const RunConfig& config) {
    return static_cast<uint32_t>(frame * 1000u * config.fpsDen / config.fpsNum);
}

}  // namespace jolp
