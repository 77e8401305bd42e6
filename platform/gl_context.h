// gl_context.h - an OpenGL 3.3 context made current on this thread, with or
// without a window: SdlGlWindow (windowed, full screen) or EglHeadlessContext
// (no display at all).
//
// The context owns its window or EGL display; GlDevice borrows it.
#pragma once

#include <cstdint>

namespace jolp {

class GlContext {
public:
    virtual ~GlContext() = default;

    // False for a headless context: there is nothing to show pictures on.
    virtual bool HasWindow() const = 0;
    // Size in pixels of the window's default framebuffer (0, 0 headless).
    virtual void DrawableSize(uint32_t& width, uint32_t& height) const = 0;
    // Shows the default framebuffer; does nothing headless.
    virtual void SwapBuffers() = 0;
};

// Version of a context, as the driver reports it.
struct GlVersion {
    int major = 0;
    int minor = 0;
    bool core = false;
};

}  // namespace jolp
