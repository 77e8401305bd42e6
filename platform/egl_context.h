// egl_context.h - an OpenGL context without any display, through EGL: Mesa's
// surfaceless platform (software rasterizer where there is no GPU), or the
// device platform of a vendor driver. Used for capture and for tests.
//
// The EGL display is opened once per process and kept; each
// EglHeadlessContext owns its context.
#pragma once

#include "platform/gl_context.h"

#include <memory>
#include <string>

namespace jolp {

// Opens the process-wide EGL display. False, with the reason, when neither
// platform gives one.
bool InitHeadlessLibrary(std::string& error);

class EglHeadlessContext final : public GlContext {
public:
    // Creates an OpenGL 3.3 core context, or, when the driver refuses that,
    // a context of whatever version it has (see SdlGlWindow::Create). Null,
    // with error set, when no context can be made.
    static std::unique_ptr<EglHeadlessContext> Create(std::string& error);
    ~EglHeadlessContext() override;

    bool HasWindow() const override { return false; }
    void DrawableSize(uint32_t& width, uint32_t& height) const override {
        width = 0;
        height = 0;
    }
    void SwapBuffers() override {}

private:
    EglHeadlessContext() = default;
    void* context_ = nullptr;
};

}  // namespace jolp
