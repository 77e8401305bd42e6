// null_device.h - NullDevice, a GfxDevice that draws nothing and records
// every call, in order, as a short line of text ("Clear 1 ff000000 1 0",
// "SetRenderState 27 1", "DrawPrimitive 5 0 2"): for testing a demo's
// tracks, materials and particle systems without a GPU or a display, and
// for checking what they ask of the device.
//
// STEP BY STEP
//   RunConfig config;
//   config.headless = true;                  // frames on the grid of fpsNum
//   config.hasTo = true, config.toMs = 2000; // the first two seconds
//   config.createDisplay = &NullDisplay;     // no window, no GL context
//   MyProgram program(&MyRenderSystemFactory, config);
//   program.Init("Test");
//   program.Prepare("media/music.ogg");      // workers, then BuildTimeline
//   ... look at the tracks, or program.Play("media/music.ogg") to run them
//   auto& device = static_cast<NullDevice&>(*program.display.deviceWindow->device);
//   device.calls, device.draws, device.presents ...  // what was asked of it
// (or construct a NullDevice directly for code that takes a GfxDevice&).
//
// Resources it creates are plain memory: buffers keep the bytes written
// through Lock, textures the bytes uploaded, so that they can be inspected.
// Every object gets a label ("tex1", "cube2", "depth3", "vb4", "ib5",
// "decl6", "prog7"; the back buffer is "backbuffer", its depth surface
// "backdepth") used in the recorded lines. Programs "compile" by reading
// `uniform TYPE NAME;` declarations from the code; a program whose code
// contains failProgramsContaining (when set) is refused with that log.
// Reading the back buffer or a surface gives zeros. The call list grows
// with every call: clear it between frames of a long run.
#pragma once

#include "framework/display.h"
#include "platform/gfx_device.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace jolp {

class NullDevice;

class NullSurface final : public Surface {
public:
    NullSurface(std::string label, uint32_t width, uint32_t height, Format format)
        : label(std::move(label)), width(width), height(height), format(format) {}
    uint32_t Width() const override { return width; }
    uint32_t Height() const override { return height; }
    Format GetFormat() const override { return format; }
    std::string label;
    uint32_t width;
    uint32_t height;
    Format format;
};

class NullTexture final : public GfxTexture {
public:
    TextureKind Kind() const override { return TextureKind::Texture2D; }
    Format GetFormat() const override { return format; }
    uint32_t Width() const override { return width; }
    uint32_t Height() const override { return height; }
    uint32_t LevelCount() const override { return static_cast<uint32_t>(levels.size()); }
    void GenerateMipSubLevels() override { ++mipGenerations; }
    Surface* GetSurfaceLevel(uint32_t level) override;
    bool Upload(uint32_t level, const void* data, size_t size) override;

    std::string label;
    Format format = Format::Unknown;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t usage = 0;
    std::vector<std::vector<uint8_t>> levels;
    std::vector<std::unique_ptr<NullSurface>> surfaces;
    int mipGenerations = 0;
};

class NullCubeTexture final : public GfxCubeTexture {
public:
    TextureKind Kind() const override { return TextureKind::Cube; }
    Format GetFormat() const override { return format; }
    uint32_t Width() const override { return edge; }
    uint32_t Height() const override { return edge; }
    uint32_t LevelCount() const override { return levelCount; }
    void GenerateMipSubLevels() override { ++mipGenerations; }
    Surface* GetCubeMapSurface(uint32_t face, uint32_t level) override;
    bool Upload(uint32_t face, uint32_t level, const void* data, size_t size) override;

    std::string label;
    Format format = Format::Unknown;
    uint32_t edge = 0;
    uint32_t levelCount = 0;
    uint32_t usage = 0;
    std::vector<std::vector<uint8_t>> images;  // face * levelCount + level
    std::vector<std::unique_ptr<NullSurface>> surfaces;
    int mipGenerations = 0;
};

class NullBuffer final : public VertexBuffer, public IndexBuffer {
public:
    uint32_t Length() const override { return static_cast<uint32_t>(bytes.size()); }
    Format GetFormat() const override { return format; }
    void* Lock(uint32_t offset, uint32_t size, uint32_t flags) override;
    void Unlock() override;

    std::string label;
    std::vector<uint8_t> bytes;
    uint32_t usage = 0;
    Format format = Format::Unknown;  // Index16/Index32 for index buffers
    bool locked = false;
    std::vector<uint32_t> lockFlags;  // one entry per Lock
    NullDevice* device = nullptr;
};

class NullProgram final : public ShaderProgram {
public:
    const std::vector<UniformInfo>& Uniforms() const override { return uniforms; }
    std::string label;
    std::string vertexCode;
    std::string fragmentCode;
    std::vector<UniformInfo> uniforms;
};

class NullDevice final : public GfxDevice {
public:
    NullDevice(uint32_t width = 640, uint32_t height = 480, uint32_t pixelShaderVersion = 0xFFFF0300u);
    ~NullDevice() override;

    DeviceCaps GetDeviceCaps() const override { return DeviceCaps{pixelShaderVersion_}; }
    void BeginScene() override;
    void EndScene() override;
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

    Surface* GetBackBuffer() override { return &backBuffer_; }
    Surface* GetDepthStencilSurface() override { return depth_; }
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

    // Present returns DeviceLost from the n-th call on (1-based); 0: never.
    void LoseDeviceAtPresent(int n) { loseAt_ = n; }
    // Creation calls named here ("CreateTexture", "CreateCubeTexture",
    // "CreateDepthStencilSurface", "CreateVertexBuffer", "CreateIndexBuffer",
    // "CreateVertexDeclaration", "CreateProgram") return null.
    std::set<std::string> refuse;
    std::string failProgramsContaining;

    // Recorded lines. Uniform and texture lines are kept only while
    // recordParameters is true (they are many).
    std::vector<std::string> calls;
    bool recordParameters = true;
    int presents = 0;
    int draws = 0;
    Surface* renderTarget = nullptr;
    Surface* depthSurface = nullptr;
    ScissorRect scissor;
    Viewport viewport;
    const ShaderProgram* program = nullptr;

    void Record(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The label of an object this device made ("null" for null, "?" for
    // anything else).
    std::string LabelOf(const void* object) const;

private:
    std::string NextLabel(const char* kind, const void* object);
    std::map<const void*, std::string> labels_;

    uint32_t width_;
    uint32_t height_;
    uint32_t pixelShaderVersion_;
    int loseAt_ = 0;
    int nextId_ = 1;
    NullSurface backBuffer_;
    NullSurface backDepth_;
    Surface* depth_;
    uint32_t states_[256] = {};
};

// A DisplayFactory (RunConfig::createDisplay) whose DeviceWindow holds a
// NullDevice of the size asked for and no window.
Display NullDisplay(const DisplaySettings& settings);

}  // namespace jolp
