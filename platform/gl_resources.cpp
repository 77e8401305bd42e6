#include "platform/gl_resources.h"

#include "platform/gl_device.h"

namespace jolp {

bool LookUpGlFormat(Format format, GlFormat& out) {
    out = GlFormat{};
    auto set = [&out](GLenum internal, GLenum transfer, GLenum type, bool renderable) {
        out.internalFormat = internal;
        out.format = transfer;
        out.type = type;
        out.colourRenderable = renderable;
    };
    auto swizzle = [&out](GLint r, GLint g, GLint b, GLint a) {
        out.swizzle[0] = r;
        out.swizzle[1] = g;
        out.swizzle[2] = b;
        out.swizzle[3] = a;
    };
    auto convert = [&out](GLenum internal, GLenum transfer, GlPixelConversion conversion) {
        out.internalFormat = internal;
        out.format = transfer;
        out.conversion = conversion;
    };
    switch (format) {
        case Format::A8R8G8B8:
            set(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, true);
            if (kGlWeb) convert(GL_RGBA8, GL_RGBA, GlPixelConversion::SwapRedBlue);
            return true;
        case Format::X8R8G8B8:
            set(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, true);
            swizzle(GL_RED, GL_GREEN, GL_BLUE, GL_ONE);
            if (kGlWeb) convert(GL_RGBA8, GL_RGBA, GlPixelConversion::SwapRedBlueOpaque);
            return true;
        case Format::A8B8G8R8: set(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, true); return true;
        case Format::X8B8G8R8:
            set(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, true);
            swizzle(GL_RED, GL_GREEN, GL_BLUE, GL_ONE);
            return true;
        case Format::R8G8B8:
            set(GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, false);
            swizzle(GL_RED, GL_GREEN, GL_BLUE, GL_ONE);
            if (kGlWeb) convert(GL_RGB8, GL_RGB, GlPixelConversion::SwapRedBlue24);
            return true;
        case Format::L8:
            set(GL_R8, GL_RED, GL_UNSIGNED_BYTE, false);
            swizzle(GL_RED, GL_RED, GL_RED, GL_ONE);
            if (kGlWeb) convert(GL_RGBA8, GL_RGBA, GlPixelConversion::LuminanceToRgba);
            return true;
        case Format::A8L8:
            set(GL_RG8, GL_RG, GL_UNSIGNED_BYTE, false);
            swizzle(GL_RED, GL_RED, GL_RED, GL_GREEN);
            if (kGlWeb) convert(GL_RGBA8, GL_RGBA, GlPixelConversion::LuminanceAlphaToRgba);
            return true;
        case Format::R16F:
            set(GL_R16F, GL_RED, GL_HALF_FLOAT, true);
            swizzle(GL_RED, GL_ONE, GL_ONE, GL_ONE);
            return true;
        case Format::G16R16F:
            set(GL_RG16F, GL_RG, GL_HALF_FLOAT, true);
            swizzle(GL_RED, GL_GREEN, GL_ONE, GL_ONE);
            return true;
        case Format::A16B16G16R16F: set(GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, true); return true;
        case Format::R32F:
            set(GL_R32F, GL_RED, GL_FLOAT, true);
            swizzle(GL_RED, GL_ONE, GL_ONE, GL_ONE);
            return true;
        case Format::G32R32F:
            set(GL_RG32F, GL_RG, GL_FLOAT, true);
            swizzle(GL_RED, GL_GREEN, GL_ONE, GL_ONE);
            return true;
        case Format::A32B32G32R32F: set(GL_RGBA32F, GL_RGBA, GL_FLOAT, true); return true;
        case Format::DXT1:
        case Format::DXT3:
        case Format::DXT5:
            if (!GlHasExtension(kGlWeb ? "GL_WEBGL_compressed_texture_s3tc" : "GL_EXT_texture_compression_s3tc")) {
                return false;
            }
            out.internalFormat = format == Format::DXT1   ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                                 : format == Format::DXT3 ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                                          : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
            out.compressed = true;
            return true;
        default: return false;
    }
}

GlSurface::GlSurface(std::shared_ptr<GlLink> link, Kind kind, GLuint name, GLenum target, GLint level, uint32_t width,
                     uint32_t height, Format format)
    : link_(std::move(link)),
      kind_(kind),
      name_(name),
      target_(target),
      level_(level),
      width_(width),
      height_(height),
      format_(format) {}

GlSurface::~GlSurface() {
    if (!link_->device) return;
    link_->device->ForgetSurface(this);
    if (ownsName_ && kind_ == Kind::Renderbuffer) glDeleteRenderbuffers(1, &name_);
}

namespace {

// Allocates every level of one 2D image target (a texture or a cube face).
void AllocateLevels(GLenum target, uint32_t width, uint32_t height, uint32_t levels, const GlFormat& gl,
                    Format format) {
    for (uint32_t level = 0; level < levels; ++level) {
        const auto w = static_cast<GLsizei>(MipExtent(width, level));
        const auto h = static_cast<GLsizei>(MipExtent(height, level));
        if (gl.compressed) {
            glCompressedTexImage2D(target, static_cast<GLint>(level), gl.internalFormat, w, h, 0,
                                   static_cast<GLsizei>(ImageByteSize(format, MipExtent(width, level),
                                                                      MipExtent(height, level))),
                                   nullptr);
        } else {
            glTexImage2D(target, static_cast<GLint>(level), static_cast<GLint>(gl.internalFormat), w, h, 0, gl.format,
                         gl.type, nullptr);
        }
    }
}

void SetUpTextureObject(GLenum target, uint32_t levels, const GlFormat& gl) {
    glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    // (WebGL: the channels were put in place as the pixels were uploaded;
    // one- and two-channel float targets read 0 rather than 1 in the
    // channels they lack.)
    if (!kGlWeb) glTexParameteriv(target, GL_TEXTURE_SWIZZLE_RGBA, gl.swizzle);
}

// Bytes per pixel of the data a conversion reads.
size_t SourcePixelBytes(GlPixelConversion conversion) {
    switch (conversion) {
        case GlPixelConversion::SwapRedBlue24: return 3;
        case GlPixelConversion::LuminanceToRgba: return 1;
        case GlPixelConversion::LuminanceAlphaToRgba: return 2;
        default: return 4;
    }
}

// The pixels of data in the layout the GL format takes (see GlFormat).
void ConvertPixels(GlPixelConversion conversion, const uint8_t* in, size_t pixels, std::vector<uint8_t>& out) {
    const bool rgb = conversion == GlPixelConversion::SwapRedBlue24;
    out.resize(pixels * (rgb ? 3 : 4));
    uint8_t* o = out.data();
    for (size_t i = 0; i < pixels; ++i) {
        switch (conversion) {
            case GlPixelConversion::SwapRedBlue:
            case GlPixelConversion::SwapRedBlueOpaque:
                o[0] = in[2], o[1] = in[1], o[2] = in[0];
                o[3] = conversion == GlPixelConversion::SwapRedBlue ? in[3] : 255;
                in += 4, o += 4;
                break;
            case GlPixelConversion::SwapRedBlue24:
                o[0] = in[2], o[1] = in[1], o[2] = in[0];
                in += 3, o += 3;
                break;
            case GlPixelConversion::LuminanceToRgba:
                o[0] = o[1] = o[2] = in[0], o[3] = 255;
                in += 1, o += 4;
                break;
            case GlPixelConversion::LuminanceAlphaToRgba:
                o[0] = o[1] = o[2] = in[0], o[3] = in[1];
                in += 2, o += 4;
                break;
            case GlPixelConversion::None: break;
        }
    }
}

bool UploadImage(GLenum target, GLuint name, GLenum bindTarget, uint32_t level, uint32_t width, uint32_t height,
                 Format format, const GlFormat& gl, const void* data, size_t size) {
    const uint32_t w = MipExtent(width, level);
    const uint32_t h = MipExtent(height, level);
    if (size != ImageByteSize(format, w, h) || !data) return false;
    glBindTexture(bindTarget, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (gl.compressed) {
        glCompressedTexImage2D(target, static_cast<GLint>(level), gl.internalFormat, static_cast<GLsizei>(w),
                               static_cast<GLsizei>(h), 0, static_cast<GLsizei>(size), data);
    } else if (gl.conversion != GlPixelConversion::None) {
        const size_t pixels = size_t{w} * h;
        if (size < pixels * SourcePixelBytes(gl.conversion)) return false;
        std::vector<uint8_t> converted;
        ConvertPixels(gl.conversion, static_cast<const uint8_t*>(data), pixels, converted);
        glTexSubImage2D(target, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h),
                        gl.format, gl.type, converted.data());
    } else {
        glTexSubImage2D(target, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h),
                        gl.format, gl.type, data);
    }
    return glGetError() == GL_NO_ERROR;
}

}  // namespace

GlTexture::GlTexture(std::shared_ptr<GlLink> link, GLuint name, uint32_t width, uint32_t height, uint32_t levels,
                     Format format, const GlFormat& gl, bool renderTarget)
    : link_(std::move(link)), name_(name), width_(width), height_(height), levels_(levels), format_(format), gl_(gl) {
    glBindTexture(GL_TEXTURE_2D, name_);
    AllocateLevels(GL_TEXTURE_2D, width, height, levels, gl, format);
    SetUpTextureObject(GL_TEXTURE_2D, levels, gl);
    if (renderTarget) {
        for (uint32_t level = 0; level < levels; ++level) {
            surfaces_.push_back(std::make_unique<GlSurface>(link_, GlSurface::Kind::TextureLevel, name_, GL_TEXTURE_2D,
                                                            static_cast<GLint>(level), MipExtent(width, level),
                                                            MipExtent(height, level), format));
        }
    }
}

GlTexture::~GlTexture() {
    surfaces_.clear();
    if (link_->device) glDeleteTextures(1, &name_);
}

void GlTexture::GenerateMipSubLevels() {
    if (levels_ < 2 || gl_.compressed || !link_->device) return;
    glBindTexture(GL_TEXTURE_2D, name_);
    glGenerateMipmap(GL_TEXTURE_2D);
}

Surface* GlTexture::GetSurfaceLevel(uint32_t level) {
    return level < surfaces_.size() ? surfaces_[level].get() : nullptr;
}

bool GlTexture::Upload(uint32_t level, const void* data, size_t size) {
    if (level >= levels_ || !link_->device) return false;
    return UploadImage(GL_TEXTURE_2D, name_, GL_TEXTURE_2D, level, width_, height_, format_, gl_, data, size);
}

GlCubeTexture::GlCubeTexture(std::shared_ptr<GlLink> link, GLuint name, uint32_t edge, uint32_t levels, Format format,
                             const GlFormat& gl, bool renderTarget)
    : link_(std::move(link)), name_(name), edge_(edge), levels_(levels), format_(format), gl_(gl) {
    glBindTexture(GL_TEXTURE_CUBE_MAP, name_);
    // GL numbers its faces +X, -X, +Y, -Y, +Z, -Z and lays each face out
    // top row first exactly as Direct3D does, so faces map one to one.
    for (GLenum face = 0; face < 6; ++face) {
        AllocateLevels(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, edge, edge, levels, gl, format);
    }
    SetUpTextureObject(GL_TEXTURE_CUBE_MAP, levels, gl);
    if (renderTarget) {
        for (GLenum face = 0; face < 6; ++face) {
            for (uint32_t level = 0; level < levels; ++level) {
                surfaces_.push_back(std::make_unique<GlSurface>(
                    link_, GlSurface::Kind::TextureLevel, name_, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face,
                    static_cast<GLint>(level), MipExtent(edge, level), MipExtent(edge, level), format));
            }
        }
    }
}

GlCubeTexture::~GlCubeTexture() {
    surfaces_.clear();
    if (link_->device) glDeleteTextures(1, &name_);
}

void GlCubeTexture::GenerateMipSubLevels() {
    if (levels_ < 2 || gl_.compressed || !link_->device) return;
    glBindTexture(GL_TEXTURE_CUBE_MAP, name_);
    glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
}

Surface* GlCubeTexture::GetCubeMapSurface(uint32_t face, uint32_t level) {
    if (face >= 6 || level >= levels_) return nullptr;
    const size_t i = static_cast<size_t>(face) * levels_ + level;
    return i < surfaces_.size() ? surfaces_[i].get() : nullptr;
}

bool GlCubeTexture::Upload(uint32_t face, uint32_t level, const void* data, size_t size) {
    if (face >= 6 || level >= levels_ || !link_->device) return false;
    return UploadImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, name_, GL_TEXTURE_CUBE_MAP, level, edge_, edge_,
                       format_, gl_, data, size);
}

GlBuffer::GlBuffer(std::shared_ptr<GlLink> link, GLuint name, GLenum target, uint32_t length, Format format)
    : link_(std::move(link)), name_(name), target_(target), length_(length), format_(format) {}

GlBuffer::~GlBuffer() {
    if (!link_->device) return;
    link_->device->ForgetBuffer(this);
    if (locked_ && !kGlWeb) {
        glBindBuffer(target_, name_);
        glUnmapBuffer(target_);
    }
    glDeleteBuffers(1, &name_);
}

void* GlBuffer::Lock(uint32_t offset, uint32_t size, uint32_t flags) {
    if (locked_ || !link_->device || offset > length_) return nullptr;
    if (size == 0) size = length_ - offset;
    if (size == 0 || static_cast<uint64_t>(offset) + size > length_) return nullptr;
    GLbitfield access = GL_MAP_WRITE_BIT;
    if (flags & kLockDiscard) {
        access |= GL_MAP_INVALIDATE_BUFFER_BIT;
    } else if (flags & kLockNoOverwrite) {
        access |= GL_MAP_UNSYNCHRONIZED_BIT;
    }
    if (kGlWeb) {
        // WebGL maps no buffers: the bytes are written into a copy kept in
        // memory (made on the first lock, reused after) and sent on Unlock.
        shadow_.resize(length_);
        lockOffset_ = offset;
        lockSize_ = size;
        locked_ = true;
        return shadow_.data() + offset;
    }
    glBindBuffer(target_, name_);
    void* memory = glMapBufferRange(target_, offset, size, access);
    locked_ = memory != nullptr;
    return memory;
}

void GlBuffer::Unlock() {
    if (!locked_ || !link_->device) return;
    glBindBuffer(target_, name_);
    if (kGlWeb) {
        glBufferSubData(target_, lockOffset_, lockSize_, shadow_.data() + lockOffset_);
    } else {
        glUnmapBuffer(target_);
    }
    locked_ = false;
}

GlProgram::~GlProgram() {
    if (!link_->device) return;
    link_->device->ForgetProgram(this);
    glDeleteProgram(name_);
}

}  // namespace jolp
