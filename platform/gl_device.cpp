#include "platform/gl_device.h"

#include "platform/letterbox.h"

#include <epoxy/gl.h>

namespace jolp {
namespace {

constexpr uint32_t kVersion30 = 0xFFFF0300u;
constexpr uint32_t kVersion20 = 0xFFFF0200u;
constexpr uint32_t kVersion10 = 0xFFFF0100u;

GlVersion QueryVersion() {
    GlVersion version;
    const int packed = epoxy_gl_version();
    version.major = packed / 10;
    version.minor = packed % 10;
    if (version.major >= 3) {
        GLint mask = 0;
        if (version.major > 3 || version.minor >= 2) glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
        version.core = (mask & GL_CONTEXT_CORE_PROFILE_BIT) != 0;
    }
    return version;
}

// True when a framebuffer with the given colour attachment is complete.
bool Renderable(GLenum target, GLenum internalFormat, GLenum format) {
    GLuint texture = 0;
    GLuint framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(target, texture);
    if (target == GL_TEXTURE_CUBE_MAP) {
        for (GLenum face = 0; face < 6; ++face) {
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, internalFormat, 4, 4, 0, format, GL_FLOAT, nullptr);
        }
    } else {
        glTexImage2D(target, 0, internalFormat, 4, 4, 0, format, GL_FLOAT, nullptr);
    }
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    const GLenum attachTarget = target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : target;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, attachTarget, texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glBindTexture(target, 0);
    glDeleteTextures(1, &texture);
    while (glGetError() != GL_NO_ERROR) {
    }
    return complete;
}

}  // namespace

uint32_t ProbePixelShaderVersion(const GlVersion& version) {
    if (version.major < 3) return kVersion10;
    const bool core33 = version.core && (version.major > 3 || version.minor >= 3);
    if (!core33) return kVersion20;
    const bool floatTargets = Renderable(GL_TEXTURE_2D, GL_RGBA16F, GL_RGBA) &&
                              Renderable(GL_TEXTURE_CUBE_MAP, GL_RGBA16F, GL_RGBA) &&
                              Renderable(GL_TEXTURE_2D, GL_R32F, GL_RED);
    return floatTargets ? kVersion30 : kVersion20;
}

std::unique_ptr<GlDevice> GlDevice::Create(GlContext& context, uint32_t width, uint32_t height, std::string& error) {
    std::unique_ptr<GlDevice> device(new GlDevice(context, width, height));
    device->version_ = QueryVersion();
    if (const GLubyte* renderer = glGetString(GL_RENDERER)) device->renderer_ = reinterpret_cast<const char*>(renderer);
    device->caps_.pixelShaderVersion = ProbePixelShaderVersion(device->version_);
    // Below GL 3.0 there are no framebuffer objects; such a device is only
    // good for being refused by its caps.
    if (device->version_.major >= 3 && !device->CreateBackBuffer(error)) return nullptr;
    device->viewport_.width = width;
    device->viewport_.height = height;
    return device;
}

bool GlDevice::CreateBackBuffer(std::string& error) {
    glGenFramebuffers(1, &framebuffer_);
    glGenRenderbuffers(1, &colour_);
    glGenRenderbuffers(1, &depthStencil_);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_));
    glBindRenderbuffer(GL_RENDERBUFFER, depthStencil_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width_),
                          static_cast<GLsizei>(height_));
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil_);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "OpenGL: the " + std::to_string(width_) + " x " + std::to_string(height_) +
                " back buffer cannot be created";
        return false;
    }
    glViewport(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_));
    return true;
}

GlDevice::~GlDevice() {
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (colour_) glDeleteRenderbuffers(1, &colour_);
    if (depthStencil_) glDeleteRenderbuffers(1, &depthStencil_);
}

void GlDevice::SetViewport(const Viewport& viewport) {
    viewport_ = viewport;
    glViewport(static_cast<GLint>(viewport.x), static_cast<GLint>(viewport.y), static_cast<GLsizei>(viewport.width),
               static_cast<GLsizei>(viewport.height));
    glDepthRange(viewport.minZ, viewport.maxZ);
}

void GlDevice::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) {
    GLbitfield bits = 0;
    if (flags & kClearTarget) {
        bits |= GL_COLOR_BUFFER_BIT;
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
                     static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>((argb >> 24) & 0xFF) / 255.0f);
    }
    if (flags & kClearZBuffer) {
        bits |= GL_DEPTH_BUFFER_BIT;
        glDepthMask(GL_TRUE);
        glClearDepth(z);
    }
    if (flags & kClearStencil) {
        bits |= GL_STENCIL_BUFFER_BIT;
        glStencilMask(0xFF);
        glClearStencil(static_cast<GLint>(stencil & 0xFF));
    }
    if (bits == 0) return;
    // Like Direct3D, a clear covers the viewport rectangle only.
    glEnable(GL_SCISSOR_TEST);
    glScissor(static_cast<GLint>(viewport_.x), static_cast<GLint>(viewport_.y),
              static_cast<GLsizei>(viewport_.width), static_cast<GLsizei>(viewport_.height));
    glClear(bits);
    glDisable(GL_SCISSOR_TEST);
}

PresentResult GlDevice::Present() {
    if (!context_.HasWindow()) {
        glFlush();
        return PresentResult::Ok;
    }
    CompositeToWindow();
    context_.SwapBuffers();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    SetViewport(viewport_);
    return PresentResult::Ok;
}

void GlDevice::CompositeToWindow() {
    uint32_t windowWidth = 0;
    uint32_t windowHeight = 0;
    context_.DrawableSize(windowWidth, windowHeight);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glViewport(0, 0, static_cast<GLsizei>(windowWidth), static_cast<GLsizei>(windowHeight));
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
    // Scale the back buffer to fill the window, keeping its aspect.
    const Rect shown = Letterbox(width_, height_, Rect{0, 0, static_cast<int32_t>(windowWidth),
                                                       static_cast<int32_t>(windowHeight)});
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    // GL memory holds the picture top row first; the window counts rows
    // from the bottom.
    glBlitFramebuffer(0, 0, static_cast<GLint>(width_), static_cast<GLint>(height_), shown.left,
                      static_cast<GLint>(windowHeight) - shown.top, shown.right,
                      static_cast<GLint>(windowHeight) - shown.bottom, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
}

bool GlDevice::ReadBackBuffer(uint8_t* out, size_t size) {
    if (framebuffer_ == 0 || size < static_cast<size_t>(width_) * height_ * 3) return false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_RGB, GL_UNSIGNED_BYTE, out);
    return glGetError() == GL_NO_ERROR;
}

}  // namespace jolp
