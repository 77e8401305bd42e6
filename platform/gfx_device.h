// gfx_device.h - the one narrow graphics interface everything above the
// platform layer draws through.
//
// Callers speak Direct3D 9's vocabulary and get Direct3D's results: textures,
// cube textures and depth surfaces in Direct3D's formats (gfx_format.h),
// render targets that are a texture level or a cube face, vertex
// declarations built from elements, vertex and index buffers locked for
// writing, render states with Direct3D's numbers and defaults, viewports and
// scissor rectangles with a top-left origin, ARGB clear colours, begin/end
// scene, and present with a device-lost result. GlDevice implements it over
// OpenGL 3.3 core; tests use a recording twin (tests/support).
//
// Conventions every implementation honours:
//  - Matrices are row-major and applied to row vectors (p x M, translation in
//    the last row); shader code multiplies `v * M`. Clip-space depth runs from
//    0 (near) to 1 (far).
//  - Picture row 0 is the top, in every target. Rectangles are given in
//    pixels from the top-left corner of the current target; texture v = 0 and
//    image row 0 are the top; off-screen targets are never flipped relative
//    to the back buffer.
//  - Front faces are clockwise on screen. kCullCCW (the default) culls the
//    faces that are counter-clockwise on screen, kCullCW the clockwise ones.
//  - Cube faces are numbered +X, -X, +Y, -Y, +Z, -Z, each oriented as in
//    Direct3D, so an image rendered into a face is found again by sampling
//    the cube in the matching direction.
//  - SetRenderTarget(0, ...) resets the viewport and the scissor rectangle to
//    the whole new target. A clear covers the viewport (and the scissor
//    rectangle when the scissor test is on), whatever the write masks are.
//  - A depth surface smaller than the colour target is not used (neither
//    tested nor written) while that target is bound.
//  - Creation returns null on failure; nothing here throws.
//
// Ownership: the device is owned by the DeviceWindow that created it (see
// framework/display.h). Objects it creates are owned by the caller through
// the returned unique_ptr; a texture owns its surfaces, the device owns the
// back buffer. Objects may outlive the device: once it is gone their
// destructors release nothing. The device never owns its caller's objects
// and does not keep pointers to them after they are unbound.
#pragma once

#include "platform/gfx_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace jolp {

// Clear flags, as D3DCLEAR_*.
enum ClearFlags : uint32_t {
    kClearTarget = 0x1,
    kClearZBuffer = 0x2,
    kClearStencil = 0x4,
};

// Resource usage, as D3DUSAGE_*.
enum Usage : uint32_t {
    kUsageRenderTarget = 0x1,
    kUsageWriteOnly = 0x8,
    kUsageDynamic = 0x200,
};

// Lock flags, as D3DLOCK_*. With kLockDiscard the whole buffer's old contents
// are given up and the memory is writable at once, whatever is still being
// drawn from it.
enum LockFlags : uint32_t {
    kLockNoOverwrite = 0x1000,
    kLockDiscard = 0x2000,
};

// Render states, with D3DRENDERSTATETYPE's numbers.
enum class RenderState : uint32_t {
    ZEnable = 7,             // bool, default true
    ZWriteEnable = 14,       // bool, default true
    SrcBlend = 19,           // Blend, default kBlendOne
    DestBlend = 20,          // Blend, default kBlendZero
    CullMode = 22,           // Cull, default kCullCCW
    ZFunc = 23,              // Compare, default kCmpLessEqual
    AlphaBlendEnable = 27,   // bool, default false
    ScissorTestEnable = 174, // bool, default false
    StencilEnable = 52,      // bool, default false
    StencilFail = 53,        // StencilOp when the stencil test fails, default kStencilKeep
    StencilZFail = 54,       // StencilOp when it passes and the depth test fails, default kStencilKeep
    StencilPass = 55,        // StencilOp when both pass, default kStencilKeep
    StencilFunc = 56,        // Compare of (ref & mask) against (stencil & mask), default kCmpAlways
    StencilRef = 57,         // 0 to 255, default 0
    StencilMask = 58,        // default 0xFF
    StencilWriteMask = 59,   // default 0xFF
    ColorWriteEnable = 168,  // kColorWrite bits, default all four
};

// D3DSTENCILOP values.
enum StencilOp : uint32_t {
    kStencilKeep = 1,
    kStencilZero = 2,
    kStencilReplace = 3,
    kStencilIncrSat = 4,
    kStencilDecrSat = 5,
    kStencilInvert = 6,
    kStencilIncr = 7,
    kStencilDecr = 8,
};

// D3DCOLORWRITEENABLE bits.
enum ColorWrite : uint32_t {
    kColorWriteRed = 1,
    kColorWriteGreen = 2,
    kColorWriteBlue = 4,
    kColorWriteAlpha = 8,
    kColorWriteAll = 15,
};

// D3DBLEND values.
enum Blend : uint32_t {
    kBlendZero = 1,
    kBlendOne = 2,
    kBlendSrcColor = 3,
    kBlendInvSrcColor = 4,
    kBlendSrcAlpha = 5,
    kBlendInvSrcAlpha = 6,
    kBlendDestAlpha = 7,
    kBlendInvDestAlpha = 8,
    kBlendDestColor = 9,
    kBlendInvDestColor = 10,
};

// D3DCULL values.
enum Cull : uint32_t {
    kCullNone = 1,
    kCullCW = 2,
    kCullCCW = 3,
};

// D3DCMPFUNC values.
enum Compare : uint32_t {
    kCmpNever = 1,
    kCmpLess = 2,
    kCmpEqual = 3,
    kCmpLessEqual = 4,
    kCmpGreater = 5,
    kCmpNotEqual = 6,
    kCmpGreaterEqual = 7,
    kCmpAlways = 8,
};

// D3DPRIMITIVETYPE values.
enum class PrimitiveType : uint32_t {
    PointList = 1,
    LineList = 2,
    LineStrip = 3,
    TriangleList = 4,
    TriangleStrip = 5,
    TriangleFan = 6,
};

// Vertex element types and usages, as D3DDECLTYPE and D3DDECLUSAGE.
// D3DColor is four bytes B, G, R, A read as normalised (r, g, b, a).
enum class DeclType : uint8_t {
    Float1 = 0,
    Float2 = 1,
    Float3 = 2,
    Float4 = 3,
    D3DColor = 4,
};

enum class DeclUsage : uint8_t {
    Position = 0,
    Normal = 3,
    TexCoord = 5,
    Tangent = 6,
    Binormal = 7,
    Color = 10,
};

struct VertexElement {
    uint16_t stream = 0;
    uint16_t offset = 0;
    DeclType type = DeclType::Float3;
    DeclUsage usage = DeclUsage::Position;
    uint8_t usageIndex = 0;
};

// The shader input an element feeds: vertex code declares `in` variables
// with these names ("inPosition", "inNormal", "inTexCoord" (usage index 0) or
// "inTexCoord1".., "inTangent", "inBinormal", "inColor" / "inColor1") and
// gets the element's data at that location. -1: no location for it. An
// input no element of the current declaration feeds reads (0, 0, 0, 1);
// colours read white (1, 1, 1, 1).
int AttributeLocation(DeclUsage usage, uint8_t usageIndex);
// Every (name, location) pair the convention above defines.
struct AttributeName {
    const char* name;
    int location;
};
std::span<const AttributeName> AttributeNames();

struct Viewport {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    float minZ = 0.0f;
    float maxZ = 1.0f;
};

// A rectangle in pixels, as RECT: right and bottom are exclusive.
struct ScissorRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Present's outcome; DeviceLost carries Direct3D's code so callers may log it.
enum class PresentResult : uint32_t {
    Ok = 0,
    DeviceLost = 0x88760868u,
};

struct DeviceCaps {
    // Pixel shader version in Direct3D's layout: major in bits 8-15, minor in
    // bits 0-7, the upper 16 bits 0xFFFF.
    uint32_t pixelShaderVersion = 0;
    // The widest and tallest render target (and back buffer) the device
    // makes, in pixels; 0 when it does not say.
    uint32_t maxTargetSize = 0;
    // Whether timestamp queries time the work between them. A rasterizer
    // that bins a frame and then runs every pass tile by tile (a software
    // one) has no moment when one pass ends and the next begins.
    bool timestampsTimePasses = false;
};

// A GPU timestamp (Direct3D's D3DQUERYTYPE_TIMESTAMP): Issue records the
// moment the device gets through the commands given before it; GetData
// gives that moment in nanoseconds once the device has got there, without
// waiting (false until then).
class TimestampQuery {
public:
    virtual ~TimestampQuery() = default;
    virtual void Issue() = 0;
    virtual bool GetData(uint64_t& ns) = 0;
};

// One image a render target or depth surface draws into: a level of a
// texture, a face of a cube texture, a depth surface, or the back buffer.
class Surface {
public:
    virtual ~Surface() = default;
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;
    virtual Format GetFormat() const = 0;
};

enum class TextureKind : uint8_t { Texture2D, Cube };

class GfxBaseTexture {
public:
    virtual ~GfxBaseTexture() = default;
    virtual TextureKind Kind() const = 0;
    virtual Format GetFormat() const = 0;
    virtual uint32_t Width() const = 0;  // level 0; a cube's edge
    virtual uint32_t Height() const = 0;
    virtual uint32_t LevelCount() const = 0;
    // Fills levels 1.. from level 0 with a box filter.
    virtual void GenerateMipSubLevels() = 0;
};

class GfxTexture : public GfxBaseTexture {
public:
    // Level `level` as a render target; null unless created with
    // kUsageRenderTarget. Owned by the texture.
    virtual Surface* GetSurfaceLevel(uint32_t level) = 0;
    // Replaces one level with tightly packed pixels, top row first;
    // size must be ImageByteSize of the level. False when it does not fit.
    virtual bool Upload(uint32_t level, const void* data, size_t size) = 0;
};

class GfxCubeTexture : public GfxBaseTexture {
public:
    virtual Surface* GetCubeMapSurface(uint32_t face, uint32_t level) = 0;
    virtual bool Upload(uint32_t face, uint32_t level, const void* data, size_t size) = 0;
};

class VertexBuffer {
public:
    virtual ~VertexBuffer() = default;
    virtual uint32_t Length() const = 0;
    // Maps bytes [offset, offset + size) for writing (size 0: to the end).
    // Null when the range does not fit or the buffer is already locked.
    virtual void* Lock(uint32_t offset, uint32_t size, uint32_t flags) = 0;
    virtual void Unlock() = 0;
};

class IndexBuffer {
public:
    virtual ~IndexBuffer() = default;
    virtual uint32_t Length() const = 0;
    virtual Format GetFormat() const = 0;  // Index16 or Index32
    virtual void* Lock(uint32_t offset, uint32_t size, uint32_t flags) = 0;
    virtual void Unlock() = 0;
};

// A vertex layout: plain data, usable on any device.
class VertexDeclaration {
public:
    explicit VertexDeclaration(std::span<const VertexElement> elements) : elements_(elements.begin(), elements.end()) {}
    virtual ~VertexDeclaration() = default;
    const std::vector<VertexElement>& Elements() const { return elements_; }

private:
    std::vector<VertexElement> elements_;
};

// A linked vertex + fragment program and what it exposes.
enum class UniformType : uint8_t { Float, Vec2, Vec3, Vec4, Mat4, Bool, Int, Sampler2D, SamplerCube, Other };

struct UniformInfo {
    std::string name;  // without "[0]" for arrays
    UniformType type = UniformType::Other;
    int32_t location = -1;
};

class ShaderProgram {
public:
    virtual ~ShaderProgram() = default;
    // The program's active uniforms, in the order the driver reports them.
    virtual const std::vector<UniformInfo>& Uniforms() const = 0;
};

// How a texture unit samples.
enum class TextureFilter : uint8_t { Point, Linear, Anisotropic };
enum class MipFilter : uint8_t { None, Point, Linear };
enum class TextureAddress : uint8_t { Wrap, Clamp, Mirror };

struct SamplerState {
    TextureFilter filter = TextureFilter::Linear;
    MipFilter mipFilter = MipFilter::Linear;
    TextureAddress address = TextureAddress::Wrap;
    bool operator==(const SamplerState&) const = default;
};

class GfxDevice {
public:
    virtual ~GfxDevice() = default;

    virtual DeviceCaps GetDeviceCaps() const = 0;

    // Frame.
    virtual void BeginScene() = 0;
    virtual void EndScene() = 0;
    virtual PresentResult Present() = 0;
    // Draw calls that reached the driver since the last BeginScene (for the
    // authoring overlay); 0 on devices that do not count.
    virtual uint32_t DrawCallCount() const { return 0; }
    // Waits until the device has done everything it was given.
    virtual void Finish() {}
    // Null on a device without timestamps.
    virtual std::unique_ptr<TimestampQuery> CreateTimestampQuery() { return nullptr; }

    virtual void SetViewport(const Viewport& viewport) = 0;
    // Clears the current viewport rectangle of the current targets.
    // colour is 0xAARRGGBB.
    virtual void Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) = 0;

    virtual uint32_t BackBufferWidth() const = 0;
    virtual uint32_t BackBufferHeight() const = 0;
    // Copies the back buffer as 8-bit RGB, top row first, into out, which
    // holds BackBufferWidth() * BackBufferHeight() * 3 bytes. False when the
    // pixels could not be read.
    virtual bool ReadBackBuffer(uint8_t* out, size_t size) = 0;

    // Resources. Levels 0 asks for a full mip chain.
    virtual std::unique_ptr<GfxTexture> CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                                   Format format) = 0;
    virtual std::unique_ptr<GfxCubeTexture> CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage,
                                                           Format format) = 0;
    virtual std::unique_ptr<Surface> CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format) = 0;
    virtual std::unique_ptr<VertexDeclaration> CreateVertexDeclaration(std::span<const VertexElement> elements) = 0;
    virtual std::unique_ptr<VertexBuffer> CreateVertexBuffer(uint32_t length, uint32_t usage) = 0;
    virtual std::unique_ptr<IndexBuffer> CreateIndexBuffer(uint32_t length, uint32_t usage, Format format) = 0;
    // Compiles and links GLSL 330 code given without its #version line; the
    // vertex code's main() writes gl_Position under the conventions above.
    // Null with the compiler's or linker's messages in log on failure.
    virtual std::unique_ptr<ShaderProgram> CreateProgram(const std::string& vertexCode, const std::string& fragmentCode,
                                                         std::string& log) = 0;

    // Targets. The back buffer and its depth surface are current at start.
    virtual Surface* GetBackBuffer() = 0;
    virtual Surface* GetDepthStencilSurface() = 0;
    virtual void SetRenderTarget(uint32_t index, Surface* surface) = 0;
    virtual void SetDepthStencilSurface(Surface* surface) = 0;
    // Copies a colour surface in its own format, top row first, into out
    // (ImageByteSize of the surface's format and size). For tests and tools.
    virtual bool ReadSurface(Surface* surface, void* out, size_t size) = 0;

    // States.
    virtual void SetRenderState(RenderState state, uint32_t value) = 0;
    virtual uint32_t GetRenderState(RenderState state) const = 0;
    virtual void SetScissorRect(const ScissorRect& rect) = 0;

    // Programs and their inputs. Values set are used by the following draws.
    virtual void SetProgram(const ShaderProgram* program) = 0;
    // count values of the uniform's type (1 float, 4 for a vec4, 16 for a
    // matrix, row-major as everywhere here).
    virtual void SetUniform(int32_t location, UniformType type, const float* values) = 0;
    virtual void SetUniformInt(int32_t location, int32_t value) = 0;
    virtual void SetTexture(uint32_t unit, const GfxBaseTexture* texture, const SamplerState& sampler) = 0;

    // Drawing.
    virtual void SetVertexDeclaration(const VertexDeclaration* declaration) = 0;
    virtual void SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) = 0;
    virtual void SetIndices(IndexBuffer* buffer) = 0;
    virtual void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) = 0;
    virtual void DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex, uint32_t vertexCount,
                                      uint32_t startIndex, uint32_t primitiveCount) = 0;
};

// Vertices a draw of primitiveCount primitives reads.
uint64_t VerticesForPrimitives(PrimitiveType type, uint32_t primitiveCount);

}  // namespace jolp
