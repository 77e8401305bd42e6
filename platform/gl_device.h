// gl_device.h - GfxDevice over OpenGL 3.3 core.
//
// The back buffer is an RGBA8 renderbuffer of the requested size with a
// DEPTH24_STENCIL8 depth surface. Every target is kept top row first in GL
// memory: GL's row 0 holds the top of the picture, so rectangles given from
// the top-left map onto GL unchanged, textures uploaded top row first are
// sampled with v = 0 at the top, and render targets are never flipped
// relative to the back buffer. Programs get a vertex epilogue that negates
// clip-space y to match (which also makes on-screen clockwise GL's
// counter-clockwise, hence the cull mapping) and, where glClipControl is
// missing, maps Direct3D's 0..1 depth onto GL's -1..1. Present is where the
// flip to the window's bottom-up framebuffer happens, with the scale that
// keeps the back buffer's aspect.
//
// Framebuffer objects are made on demand, one per pair of colour target and
// depth surface, and kept until either surface goes away.
//
// GlDevice borrows the GlContext it was created on; the context must be
// current and outlive the device.
#pragma once

#include "platform/gfx_device.h"
#include "platform/gl_context.h"

#include <memory>
#include <string>
#include <vector>

namespace jolp {

struct GlLink;

// Whether a GL_RENDERER string names one of Mesa's software rasterizers.
bool IsSoftwareRenderer(const std::string& renderer);
class GlSurface;
class GlBuffer;
class GlProgram;

class GlDevice final : public GfxDevice {
public:
    // Null, with the reason, when the back buffer cannot be made.
    static std::unique_ptr<GlDevice> Create(GlContext& context, uint32_t width, uint32_t height, std::string& error);
    ~GlDevice() override;

    DeviceCaps GetDeviceCaps() const override { return caps_; }
    GlVersion Version() const { return version_; }
    // The renderer string, for messages ("llvmpipe", a vendor's name).
    const std::string& Renderer() const { return renderer_; }
    // Whether depth 0..1 comes from glClipControl (else from the epilogue).
    bool HasClipControl() const { return clipControl_; }
    // The anisotropy of samplers asking for anisotropic filtering: up to 8
    // where the driver offers it, 1 (trilinear) on a software rasterizer;
    // JOLP_GL_ANISOTROPY=N asks for N (capped by the driver) on any.
    float MaxAnisotropy() const { return maxAnisotropy_; }

    void BeginScene() override { drawCalls_ = 0; }
    void EndScene() override {}
    uint32_t DrawCallCount() const override { return drawCalls_; }
    void Finish() override;
    std::unique_ptr<TimestampQuery> CreateTimestampQuery() override;
    PresentResult Present() override;

    void SetViewport(const Viewport& viewport) override;
    void Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) override;

    uint32_t BackBufferWidth() const override { return width_; }
    uint32_t BackBufferHeight() const override { return height_; }
    bool ReadBackBuffer(uint8_t* out, size_t size) override;

    std::unique_ptr<GfxTexture> CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                           Format format) override;
    std::unique_ptr<GfxCubeTexture> CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage,
                                                   Format format) override;
    std::unique_ptr<Surface> CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format) override;
    std::unique_ptr<VertexDeclaration> CreateVertexDeclaration(std::span<const VertexElement> elements) override;
    std::unique_ptr<VertexBuffer> CreateVertexBuffer(uint32_t length, uint32_t usage) override;
    std::unique_ptr<IndexBuffer> CreateIndexBuffer(uint32_t length, uint32_t usage, Format format) override;
    std::unique_ptr<ShaderProgram> CreateProgram(const std::string& vertexCode, const std::string& fragmentCode,
                                                 std::string& log) override;

    Surface* GetBackBuffer() override;
    Surface* GetDepthStencilSurface() override { return depthSurface_; }
    void SetRenderTarget(uint32_t index, Surface* surface) override;
    void SetDepthStencilSurface(Surface* surface) override;
    bool ReadSurface(Surface* surface, void* out, size_t size) override;

    void SetRenderState(RenderState state, uint32_t value) override;
    uint32_t GetRenderState(RenderState state) const override;
    void SetScissorRect(const ScissorRect& rect) override;

    void SetProgram(const ShaderProgram* program) override;
    void SetUniform(int32_t location, UniformType type, const float* values) override;
    void SetUniformInt(int32_t location, int32_t value) override;
    void SetTexture(uint32_t unit, const GfxBaseTexture* texture, const SamplerState& sampler) override;

    void SetVertexDeclaration(const VertexDeclaration* declaration) override;
    void SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) override;
    void SetIndices(IndexBuffer* buffer) override;
    void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
    void DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex, uint32_t vertexCount,
                              uint32_t startIndex, uint32_t primitiveCount) override;

    // The first half of Present: draws the back buffer into the window's
    // default framebuffer (bound afterwards), without swapping.
    void CompositeToWindow();

    // Called by the objects this device made as they go away.
    void ForgetSurface(const GlSurface* surface);
    void ForgetBuffer(const GlBuffer* buffer);
    void ForgetProgram(const GlProgram* program);

private:
    static constexpr uint32_t kStreams = 4;
    struct Framebuffer {
        const Surface* colour = nullptr;
        const Surface* depth = nullptr;
        uint32_t name = 0;
    };
    struct Stream {
        GlBuffer* buffer = nullptr;
        uint32_t offset = 0;
        uint32_t stride = 0;
    };

    GlDevice(GlContext& context, uint32_t width, uint32_t height);
    bool CreateBackBuffer(std::string& error);
    void SetDefaultStates();
    // Binds the framebuffer of the current targets (draw and read).
    bool BindTargets();
    uint32_t FramebufferFor(const Surface* colour, const Surface* depth);
    void ApplyScissor();
    bool PrepareDraw(uint64_t vertexEnd, int32_t baseVertex = 0);
    uint32_t SamplerFor(const SamplerState& state);

    GlContext& context_;
    std::shared_ptr<GlLink> link_;
    uint32_t width_;
    uint32_t height_;
    GlVersion version_;
    std::string renderer_;
    DeviceCaps caps_;
    bool clipControl_ = false;
    float maxAnisotropy_ = 1.0f;
    uint32_t drawCalls_ = 0;

    std::unique_ptr<GlSurface> backBuffer_;
    std::unique_ptr<GlSurface> backDepth_;
    Surface* renderTarget_ = nullptr;
    Surface* depthSurface_ = nullptr;
    bool targetsDirty_ = true;
    std::vector<Framebuffer> framebuffers_;

    Viewport viewport_;
    ScissorRect scissor_;
    uint32_t states_[256] = {};

    uint32_t vertexArray_ = 0;
    const VertexDeclaration* declaration_ = nullptr;
    Stream streams_[kStreams];
    GlBuffer* indices_ = nullptr;
    uint32_t enabledAttributes_ = 0;
    std::vector<uint8_t> webRow_;  // WebGL: one RGBA row of ReadBackBuffer
    const GlProgram* program_ = nullptr;
    uint32_t samplers_[27] = {};
};

// The pixel shader version this renderer can promise on a context: 3.0 for
// 3.3 core with renderable 16-bit float 2D and cube targets and 32-bit float
// targets; 2.0 for a GL 3.x context lacking any of that; 1.0 below GL 3.0.
// Needs the context current.
uint32_t ProbePixelShaderVersion(const GlVersion& version);

}  // namespace jolp
