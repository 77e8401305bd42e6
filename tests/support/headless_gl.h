// headless_gl.h - HeadlessGl, a real OpenGL device for tests: an EGL
// context with no display (Mesa's software rasterizer without a GPU) and a
// GlDevice of the given back-buffer size on it. The device goes before the
// context. Check ok() (error says why not) before use.
#pragma once

#include "platform/egl_context.h"
#include "platform/gl_device.h"

#include <memory>
#include <string>

namespace jolp::testing {

struct HeadlessGl {
    HeadlessGl(uint32_t width, uint32_t height);
    bool ok() const { return device != nullptr; }

    std::string error;
    std::unique_ptr<EglHeadlessContext> context;
    std::unique_ptr<GlDevice> device;
};

}  // namespace jolp::testing
