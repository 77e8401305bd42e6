// gl_resources.h - the OpenGL objects behind GlDevice's textures, surfaces,
// buffers and programs, and the table that maps Direct3D formats onto GL.
//
// Private to the platform layer: only gl_device.cpp and these objects' own
// code include it. Every object holds the device's GlLink; once the device
// is gone (link->device null) destructors release nothing, because there is
// no context left to release into.
#pragma once

#include "platform/gfx_device.h"

#include "platform/gl_api.h"

#include <memory>
#include <vector>

namespace jolp {

class GlDevice;

// Shared between the device and everything it made.
struct GlLink {
    GlDevice* device = nullptr;
};

enum class GlPixelConversion : uint8_t {
    None,
    SwapRedBlue,        // B, G, R, A -> R, G, B, A
    SwapRedBlueOpaque,  // B, G, R, X -> R, G, B, 255
    SwapRedBlue24,      // B, G, R -> R, G, B
    LuminanceToRgba,    // L -> L, L, L, 255
    LuminanceAlphaToRgba,  // L, A -> L, L, L, A
};

struct GlFormat {
    GLenum internalFormat = 0;
    GLenum format = 0;  // pixel transfer format (0 for compressed)
    GLenum type = 0;
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    bool compressed = false;
    bool colourRenderable = false;
    // WebGL has neither BGR(A) transfers nor swizzles: such images are
    // converted as they are uploaded (GlPixelConversion) instead.
    GlPixelConversion conversion = GlPixelConversion::None;
};

// False for formats GL cannot hold as a texture.
bool LookUpGlFormat(Format format, GlFormat& out);

class GlSurface final : public Surface {
public:
    enum class Kind : uint8_t { TextureLevel, Renderbuffer };
    GlSurface(std::shared_ptr<GlLink> link, Kind kind, GLuint name, GLenum target, GLint level, uint32_t width,
              uint32_t height, Format format);
    ~GlSurface() override;
    uint32_t Width() const override { return width_; }
    uint32_t Height() const override { return height_; }
    Format GetFormat() const override { return format_; }

    Kind kind() const { return kind_; }
    GLuint name() const { return name_; }
    GLenum target() const { return target_; }  // texture target or cube face
    GLint level() const { return level_; }
    // Renderbuffers made by the surface itself are deleted with it.
    void OwnName() { ownsName_ = true; }

private:
    std::shared_ptr<GlLink> link_;
    Kind kind_;
    GLuint name_;
    GLenum target_;
    GLint level_;
    uint32_t width_;
    uint32_t height_;
    Format format_;
    bool ownsName_ = false;
};

class GlTexture final : public GfxTexture {
public:
    GlTexture(std::shared_ptr<GlLink> link, GLuint name, uint32_t width, uint32_t height, uint32_t levels,
              Format format, const GlFormat& gl, bool renderTarget);
    ~GlTexture() override;
    TextureKind Kind() const override { return TextureKind::Texture2D; }
    Format GetFormat() const override { return format_; }
    uint32_t Width() const override { return width_; }
    uint32_t Height() const override { return height_; }
    uint32_t LevelCount() const override { return levels_; }
    void GenerateMipSubLevels() override;
    Surface* GetSurfaceLevel(uint32_t level) override;
    bool Upload(uint32_t level, const void* data, size_t size) override;
    GLuint name() const { return name_; }

private:
    std::shared_ptr<GlLink> link_;
    GLuint name_;
    uint32_t width_;
    uint32_t height_;
    uint32_t levels_;
    Format format_;
    GlFormat gl_;
    std::vector<std::unique_ptr<GlSurface>> surfaces_;
};

class GlCubeTexture final : public GfxCubeTexture {
public:
    GlCubeTexture(std::shared_ptr<GlLink> link, GLuint name, uint32_t edge, uint32_t levels, Format format,
                  const GlFormat& gl, bool renderTarget);
    ~GlCubeTexture() override;
    TextureKind Kind() const override { return TextureKind::Cube; }
    Format GetFormat() const override { return format_; }
    uint32_t Width() const override { return edge_; }
    uint32_t Height() const override { return edge_; }
    uint32_t LevelCount() const override { return levels_; }
    void GenerateMipSubLevels() override;
    Surface* GetCubeMapSurface(uint32_t face, uint32_t level) override;
    bool Upload(uint32_t face, uint32_t level, const void* data, size_t size) override;
    GLuint name() const { return name_; }

private:
    std::shared_ptr<GlLink> link_;
    GLuint name_;
    uint32_t edge_;
    uint32_t levels_;
    Format format_;
    GlFormat gl_;
    std::vector<std::unique_ptr<GlSurface>> surfaces_;  // face * levels + level
};

// A vertex or index buffer.
class GlBuffer final : public VertexBuffer, public IndexBuffer {
public:
    GlBuffer(std::shared_ptr<GlLink> link, GLuint name, GLenum target, uint32_t length, Format format);
    ~GlBuffer() override;
    uint32_t Length() const override { return length_; }
    Format GetFormat() const override { return format_; }
    void* Lock(uint32_t offset, uint32_t size, uint32_t flags) override;
    void Unlock() override;
    GLuint name() const { return name_; }

private:
    std::shared_ptr<GlLink> link_;
    GLuint name_;
    GLenum target_;
    uint32_t length_;
    Format format_;
    std::vector<uint8_t> shadow_;  // WebGL: the bytes of a lock (see Lock)
    uint32_t lockOffset_ = 0;
    uint32_t lockSize_ = 0;
    bool locked_ = false;
};

class GlProgram final : public ShaderProgram {
public:
    GlProgram(std::shared_ptr<GlLink> link, GLuint name, std::vector<UniformInfo> uniforms)
        : link_(std::move(link)), name_(name), uniforms_(std::move(uniforms)) {}
    ~GlProgram() override;
    const std::vector<UniformInfo>& Uniforms() const override { return uniforms_; }
    GLuint name() const { return name_; }

private:
    std::shared_ptr<GlLink> link_;
    GLuint name_;
    std::vector<UniformInfo> uniforms_;
};

}  // namespace jolp
