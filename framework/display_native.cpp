// The display on a desktop: an SDL window, or an EGL context with no window
// for headless runs.
#include "framework/display_platform.h"

#include "platform/egl_context.h"
#include "platform/sdl_window.h"

namespace jolp {

bool LoadGraphicsLibraries(const DisplaySettings& settings, std::string& error) {
    return settings.headless ? InitHeadlessLibrary(error) : InitVideoLibrary(error);
}

std::unique_ptr<GlContext> OpenDrawingSurface(const DisplaySettings& settings, std::string& error) {
    if (settings.headless) return EglHeadlessContext::Create(error);
    WindowRequest request;
    request.title = settings.title;
    request.width = settings.width;
    request.height = settings.height;
    request.fullscreen = settings.fullscreen;
    return SdlGlWindow::Create(request, error);
}

const char* RequiredGraphicsText() {
    return "OpenGL 3.3 core with float colour and float cube render targets is required";
}

bool ReadWindowEvents(DeviceWindow& deviceWindow, KeyPresses* keys) {
    return deviceWindow.window && deviceWindow.window->HasWindow() && PollWindowEvents(keys);
}

}  // namespace jolp
