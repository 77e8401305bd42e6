// The display in a browser: the page's canvas, headless (a single frame for
// a test) or not.
#include "framework/display_platform.h"

#include "platform/web_canvas.h"

namespace jolp {

bool LoadGraphicsLibraries(const DisplaySettings&, std::string&) {
    return true;  // the browser has loaded them
}

std::unique_ptr<GlContext> OpenDrawingSurface(const DisplaySettings& settings, std::string& error) {
    return WebCanvas::Create(settings.width, settings.height, error);
}

const char* RequiredGraphicsText() {
    return "WebGL 2 with float colour targets (EXT_color_buffer_float) is required";
}

bool ReadWindowEvents(DeviceWindow&, KeyPresses*) {
    // The authoring keys are not read in a browser.
    return TakeCanvasQuit();
}

}  // namespace jolp
