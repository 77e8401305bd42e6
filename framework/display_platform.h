// display_platform.h - what the platform the build is for gives
// CreateDisplay and PumpMessages (display.h). One of display_native.cpp
// (SDL windows, EGL headless contexts) and display_web.cpp (the page's
// canvas) is compiled, as framework/CMakeLists.txt picks.
#pragma once

#include "framework/display.h"

#include <memory>
#include <string>

namespace jolp {

// Makes the graphics libraries ready for a window or a headless context;
// false with why.
bool LoadGraphicsLibraries(const DisplaySettings& settings, std::string& error);

// The window, headless context or canvas the device is made on; null with
// why.
std::unique_ptr<GlContext> OpenDrawingSurface(const DisplaySettings& settings, std::string& error);

// What the renderer needs of the platform's graphics, for the refusal of a
// device that lacks it.
const char* RequiredGraphicsText();

// Reads what was done to the window since the last frame; true when it
// asks to quit. keys as PumpMessages takes them.
bool ReadWindowEvents(DeviceWindow& deviceWindow, KeyPresses* keys);

}  // namespace jolp
