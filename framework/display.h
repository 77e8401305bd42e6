// display.h - the demo's output: window and graphics device creation with
// its refusals, the per-frame message pump, and the shader-level table.
//
// CreateDisplay opens a borderless window (full screen: covering the
// desktop) with an OpenGL device, or, headless, an EGL context with no
// window at all, and refuses a device that cannot run the renderer with the
// "ERROR" message. The DeviceWindow it returns owns the window/context and
// the device; the program frees it at shutdown.
#pragma once

#include "platform/gfx_device.h"
#include "platform/gl_context.h"
#include "platform/sdl_window.h"

#include <cstdint>
#include <memory>
#include <string>

namespace jolp {

struct DisplaySettings {
    uint32_t width = 640;
    uint32_t height = 480;
    uint32_t refreshRate = 0;
    bool fullscreen = true;
    std::string title;
    // No window and no display: render into the back buffer only.
    bool headless = false;
};

struct DeviceWindow {
    std::unique_ptr<GlContext> window;
    std::unique_ptr<GfxDevice> device;
    bool quitRequested = false;
};

struct Display {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;
    bool fullscreen = false;
    std::string title;
    bool headless = false;
    DeviceWindow* deviceWindow = nullptr;  // owned; freed by the program's shutdown
    // With ok false: the size asked for is larger than the device's largest
    // render target; one line said so, and no "ERROR" box was shown (a bad
    // --size is a bad command line).
    bool sizeRefused = false;
};

inline constexpr const char* kGraphicsInitFailedText = "Failed to initialize Direct3D 9.\ndemo will no run.";
inline constexpr const char* kRendererInitFailedText = "Failed to initialize the renderer.\ndemo will not run.";
inline constexpr int kRequiredShaderLevel = 8;

// Window and device, or a Display with ok false after the "ERROR" message
// was shown (and printed on stderr).
Display CreateDisplay(const DisplaySettings& settings);

// Once per frame: reads the window's events (Escape or closing the window
// set quitRequested) and begins the frame's scene. False once a quit was
// requested; the scene is begun even in the frame the request is seen.
// With keys (the authoring mode), the authoring keys pressed are appended.
bool PumpMessages(DeviceWindow& deviceWindow, KeyPresses* keys = nullptr);

// Ordinal 0..8 of a pixel shader version (major in bits 8-15, minor in bits
// 0-7, upper bits ignored); 8 is "SM 3.0", the least the demo runs on.
int ShaderLevelFromVersion(uint32_t pixelShaderVersion);
const char* ShaderLevelName(int level);
// "Shader model no supported.\nDemo requires al least SM 3.0 to run."
std::string ShaderModelRefusalText();

}  // namespace jolp
