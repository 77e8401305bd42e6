// gl_device.h - GfxDevice over OpenGL 3.3 core.
//
// The back buffer is a framebuffer object (RGBA8 colour, DEPTH24_STENCIL8)
// of the requested size. Images are kept top row first in GL memory: GL's
// row 0 holds the top of the picture, so viewport and scissor rectangles
// given from the top-left map onto GL unchanged, textures uploaded top row
// first are sampled with v = 0 at the top, and render targets are never
// flipped relative to the back buffer. (Drawing code negates clip-space y to
// match.) Present is where the flip to the window's bottom-up framebuffer
// happens, together with the scale that keeps the back buffer's aspect.
//
// GlDevice borrows the GlContext it was created on; the context must be
// current and outlive the device.
#pragma once

#include "platform/gfx_device.h"
#include "platform/gl_context.h"

#include <memory>
#include <string>

namespace jolp {

class GlDevice final : public GfxDevice {
public:
    // Null, with the reason, when the back buffer cannot be made.
    static std::unique_ptr<GlDevice> Create(GlContext& context, uint32_t width, uint32_t height, std::string& error);
    ~GlDevice() override;

    DeviceCaps GetDeviceCaps() const override { return caps_; }
    GlVersion Version() const { return version_; }
    // The renderer string, for messages ("llvmpipe", a vendor's name).
    const std::string& Renderer() const { return renderer_; }

    void BeginScene() override {}
    void EndScene() override {}
    PresentResult Present() override;

    void SetViewport(const Viewport& viewport) override;
    void Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) override;

    uint32_t BackBufferWidth() const override { return width_; }
    uint32_t BackBufferHeight() const override { return height_; }
    bool ReadBackBuffer(uint8_t* out, size_t size) override;

    // The first half of Present: draws the back buffer into the window's
    // default framebuffer (bound afterwards), without swapping.
    void CompositeToWindow();

private:
    GlDevice(GlContext& context, uint32_t width, uint32_t height) : context_(context), width_(width), height_(height) {}
    bool CreateBackBuffer(std::string& error);

    GlContext& context_;
    uint32_t width_;
    uint32_t height_;
    GlVersion version_;
    std::string renderer_;
    DeviceCaps caps_;
    Viewport viewport_;
    uint32_t framebuffer_ = 0;
    uint32_t colour_ = 0;
    uint32_t depthStencil_ = 0;
};

// The pixel shader version this renderer can promise on a context: 3.0 for
// 3.3 core with renderable 16-bit float 2D and cube targets and 32-bit float
// targets; 2.0 for a GL 3.x context lacking any of that; 1.0 below GL 3.0.
// Needs the context current.
uint32_t ProbePixelShaderVersion(const GlVersion& version);

}  // namespace jolp
