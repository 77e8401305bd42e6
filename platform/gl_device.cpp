#include "platform/gl_device.h"

#include "platform/gl_resources.h"
#include "platform/letterbox.h"

#include "platform/gl_api.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace jolp {
namespace {

constexpr uint32_t kVersion30 = 0xFFFF0300u;
constexpr uint32_t kVersion20 = 0xFFFF0200u;
constexpr uint32_t kVersion10 = 0xFFFF0100u;

GlVersion QueryVersion() {
    GlVersion version;
    const int packed = GlVersionNumber();
    version.major = packed / 10;
    version.minor = packed % 10;
    if (kGlWeb) {
        // WebGL 2 (OpenGL ES 3.0) has what the renderer needs of 3.3 core
        // once its float targets are renderable (EXT_color_buffer_float).
        version.minor = 3;
        version.core = true;
    }
#ifndef __EMSCRIPTEN__
    if (version.major >= 3 && !kGlWeb) {
        GLint mask = 0;
        if (version.major > 3 || version.minor >= 2) glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
        version.core = (mask & GL_CONTEXT_CORE_PROFILE_BIT) != 0;
    }
#endif
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

namespace {

// The vertex code's main() becomes jolp_vertex_main(); the real main runs it
// and then moves gl_Position into GL's conventions (see gl_device.h).
constexpr const char* kVertexPrologue = "#define main jolp_vertex_main\n";
constexpr const char* kVertexEpilogue =
    "\n#undef main\n"
    "void main() {\n"
    "    jolp_vertex_main();\n"
    "    gl_Position.y = -gl_Position.y;\n"
    "#ifdef JOLP_DEPTH_MINUS_ONE_TO_ONE\n"
    "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n"
    "#endif\n"
    "}\n";

// The effect files are GLSL 3.30 written to the common ground of GLSL ES
// 3.00; in a browser they get the ES version line and full precision.
constexpr const char* kEsHeader =
    "#version 300 es\n"
    "precision highp float;\n"
    "precision highp int;\n"
    "precision highp sampler2D;\n"
    "precision highp samplerCube;\n";

// WebGL cannot read vertex bytes as B, G, R, A (GL_BGRA as a size), so a
// D3DCOLOR element arrives as (b, g, r, a). The vertex code's colour inputs
// ("in vec4 inColor;") are renamed and read back swizzled under their own
// names; the device binds the renamed input to the colour's location.
const std::string kBgraPrefix = "jolp_bgra_";

std::string ColourInputsReadAsBgra(const std::string& code) {
    std::string out = code;
    for (const AttributeName& a : AttributeNames()) {
        if (std::strncmp(a.name, "inColor", 7) != 0) continue;
        const std::string declaration = std::string("in vec4 ") + a.name + ";";
        const size_t at = out.find(declaration);
        if (at == std::string::npos) continue;
        const std::string renamed = kBgraPrefix + a.name;
        out.replace(at, declaration.size(),
                    "in vec4 " + renamed + ";\n#define " + a.name + " (" + renamed + ".zyxw)\n");
    }
    return out;
}

GLenum GlBlend(uint32_t blend) {
    switch (blend) {
        case kBlendZero: return GL_ZERO;
        case kBlendOne: return GL_ONE;
        case kBlendSrcColor: return GL_SRC_COLOR;
        case kBlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
        case kBlendSrcAlpha: return GL_SRC_ALPHA;
        case kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
        case kBlendDestAlpha: return GL_DST_ALPHA;
        case kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
        case kBlendDestColor: return GL_DST_COLOR;
        case kBlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
        default: return GL_ONE;
    }
}

GLenum GlCompare(uint32_t compare) {
    switch (compare) {
        case kCmpNever: return GL_NEVER;
        case kCmpLess: return GL_LESS;
        case kCmpEqual: return GL_EQUAL;
        case kCmpLessEqual: return GL_LEQUAL;
        case kCmpGreater: return GL_GREATER;
        case kCmpNotEqual: return GL_NOTEQUAL;
        case kCmpGreaterEqual: return GL_GEQUAL;
        case kCmpAlways: return GL_ALWAYS;
        default: return GL_LEQUAL;
    }
}

GLenum GlStencilOp(uint32_t op) {
    switch (op) {
        case kStencilZero: return GL_ZERO;
        case kStencilReplace: return GL_REPLACE;
        case kStencilIncrSat: return GL_INCR;
        case kStencilDecrSat: return GL_DECR;
        case kStencilInvert: return GL_INVERT;
        case kStencilIncr: return GL_INCR_WRAP;
        case kStencilDecr: return GL_DECR_WRAP;
        default: return GL_KEEP;
    }
}

GLenum GlPrimitive(PrimitiveType type) {
    switch (type) {
        case PrimitiveType::PointList: return GL_POINTS;
        case PrimitiveType::LineList: return GL_LINES;
        case PrimitiveType::LineStrip: return GL_LINE_STRIP;
        case PrimitiveType::TriangleList: return GL_TRIANGLES;
        case PrimitiveType::TriangleStrip: return GL_TRIANGLE_STRIP;
        case PrimitiveType::TriangleFan: return GL_TRIANGLE_FAN;
    }
    return GL_TRIANGLES;
}

UniformType UniformTypeOf(GLenum type) {
    switch (type) {
        case GL_FLOAT: return UniformType::Float;
        case GL_FLOAT_VEC2: return UniformType::Vec2;
        case GL_FLOAT_VEC3: return UniformType::Vec3;
        case GL_FLOAT_VEC4: return UniformType::Vec4;
        case GL_FLOAT_MAT4: return UniformType::Mat4;
        case GL_BOOL: return UniformType::Bool;
        case GL_INT: return UniformType::Int;
        case GL_SAMPLER_2D: return UniformType::Sampler2D;
        case GL_SAMPLER_CUBE: return UniformType::SamplerCube;
        default: return UniformType::Other;
    }
}

std::string InfoLog(GLuint object, bool program) {
    GLint length = 0;
    if (program) {
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    } else {
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    }
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    GLsizei written = 0;
    if (program) {
        glGetProgramInfoLog(object, length, &written, log.data());
    } else {
        glGetShaderInfoLog(object, length, &written, log.data());
    }
    log.resize(static_cast<size_t>(written));
    return log;
}

GLuint CompileStage(GLenum stage, const std::string& code, std::string& log) {
    const GLuint shader = glCreateShader(stage);
    const char* text = code.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        log += InfoLog(shader, false);
        if (log.empty()) log = stage == GL_VERTEX_SHADER ? "vertex code does not compile" : "fragment code does not compile";
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

bool IsSoftwareRenderer(const std::string& renderer) {
    return renderer.find("llvmpipe") != std::string::npos || renderer.find("softpipe") != std::string::npos;
}

GlDevice::GlDevice(GlContext& context, uint32_t width, uint32_t height)
    : context_(context), link_(std::make_shared<GlLink>()), width_(width), height_(height) {
    link_->device = this;
}

std::unique_ptr<GlDevice> GlDevice::Create(GlContext& context, uint32_t width, uint32_t height, std::string& error) {
    std::unique_ptr<GlDevice> device(new GlDevice(context, width, height));
    device->version_ = QueryVersion();
    if (const GLubyte* renderer = glGetString(GL_RENDERER)) device->renderer_ = reinterpret_cast<const char*>(renderer);
    device->caps_.pixelShaderVersion = ProbePixelShaderVersion(device->version_);
    // WebGL 2 has no timestamps (only a disjoint-timer extension, off in
    // most browsers): passes are timed only on desktop GL.
    device->caps_.timestampsTimePasses = !kGlWeb && !IsSoftwareRenderer(device->renderer_);
    // Below GL 3.0 there are no framebuffer objects; such a device is only
    // good for being refused by its caps.
    if (device->version_.major < 3) return device;
    GLint renderbuffer = 0, texture = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    device->caps_.maxTargetSize =
        static_cast<uint32_t>(std::max(0, std::min({renderbuffer, texture, viewport[0], viewport[1]})));
    // Nor is one asked for a back buffer larger than it can make.
    if (device->caps_.maxTargetSize != 0 && std::max(width, height) > device->caps_.maxTargetSize) return device;
    if (!device->CreateBackBuffer(error)) return nullptr;
    device->SetDefaultStates();
    return device;
}

bool GlDevice::CreateBackBuffer(std::string& error) {
    GLuint names[2] = {0, 0};
    glGenRenderbuffers(2, names);
    glBindRenderbuffer(GL_RENDERBUFFER, names[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_));
    glBindRenderbuffer(GL_RENDERBUFFER, names[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width_),
                          static_cast<GLsizei>(height_));
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    backBuffer_ = std::make_unique<GlSurface>(link_, GlSurface::Kind::Renderbuffer, names[0], GL_RENDERBUFFER, 0,
                                              width_, height_, Format::X8R8G8B8);
    backBuffer_->OwnName();
    backDepth_ = std::make_unique<GlSurface>(link_, GlSurface::Kind::Renderbuffer, names[1], GL_RENDERBUFFER, 0,
                                             width_, height_, Format::D24S8);
    backDepth_->OwnName();
    renderTarget_ = backBuffer_.get();
    depthSurface_ = backDepth_.get();
    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    if (!BindTargets()) {
        error = "OpenGL: the " + std::to_string(width_) + " x " + std::to_string(height_) +
                " back buffer cannot be created";
        return false;
    }
    return true;
}

void GlDevice::SetDefaultStates() {
    clipControl_ = !kGlWeb && (version_.major * 10 + version_.minor >= 45 || GlHasExtension("GL_ARB_clip_control"));
    // For drivers whose clip control misbehaves, and to test the fallback.
    if (const char* off = std::getenv("JOLP_GL_NO_CLIP_CONTROL"); off && *off && std::strcmp(off, "0") != 0) {
        clipControl_ = false;
    }
#ifndef __EMSCRIPTEN__
    if (clipControl_) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
#endif
    if (GlHasExtension("GL_EXT_texture_filter_anisotropic")) {
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy_);
        maxAnisotropy_ = std::min(maxAnisotropy_, 8.0f);
        // Software rasterizers filter anisotropically at many times the cost
        // of trilinear filtering, and llvmpipe's filter has been seen never
        // to return from a draw; they get trilinear filtering unless asked.
        if (IsSoftwareRenderer(renderer_)) maxAnisotropy_ = 1.0f;
        if (const char* asked = std::getenv("JOLP_GL_ANISOTROPY"); asked && *asked) {
            char* end = nullptr;
            const float level = std::strtof(asked, &end);
            if (end != asked && *end == '\0' && level >= 1.0f) {
                GLfloat most = 1.0f;
                glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
                maxAnisotropy_ = std::min(level, most);
            }
        }
    }
    // OpenGL ES filters across cube faces always.
    if (!kGlWeb) glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    glFrontFace(GL_CCW);
    // Inputs no vertex element feeds read (0, 0, 0, 1), colours white.
    for (const AttributeName& a : AttributeNames()) {
        const bool colour = std::strncmp(a.name, "inColor", 7) == 0;
        glVertexAttrib4f(static_cast<GLuint>(a.location), colour ? 1.0f : 0.0f, colour ? 1.0f : 0.0f,
                         colour ? 1.0f : 0.0f, 1.0f);
    }
    const std::pair<RenderState, uint32_t> defaults[] = {
        {RenderState::ZEnable, 1},          {RenderState::ZWriteEnable, 1},     {RenderState::SrcBlend, kBlendOne},
        {RenderState::DestBlend, kBlendZero}, {RenderState::CullMode, kCullCCW}, {RenderState::ZFunc, kCmpLessEqual},
        {RenderState::AlphaBlendEnable, 0}, {RenderState::ScissorTestEnable, 0},
        {RenderState::StencilEnable, 0},    {RenderState::StencilFail, kStencilKeep},
        {RenderState::StencilZFail, kStencilKeep}, {RenderState::StencilPass, kStencilKeep},
        {RenderState::StencilFunc, kCmpAlways}, {RenderState::StencilRef, 0},
        {RenderState::StencilMask, 0xFF},   {RenderState::StencilWriteMask, 0xFF},
        {RenderState::ColorWriteEnable, kColorWriteAll},
    };
    for (const auto& [state, value] : defaults) {
        states_[static_cast<uint32_t>(state)] = value + 1;  // differ, so the GL state is written
        SetRenderState(state, value);
    }
    SetRenderTarget(0, backBuffer_.get());
}

GlDevice::~GlDevice() {
    for (const Framebuffer& f : framebuffers_) glDeleteFramebuffers(1, &f.name);
    framebuffers_.clear();
    for (uint32_t& sampler : samplers_) {
        if (sampler) glDeleteSamplers(1, &sampler);
    }
    if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
    backBuffer_.reset();
    backDepth_.reset();
    link_->device = nullptr;
}

// ---------------------------------------------------------------- targets

Surface* GlDevice::GetBackBuffer() { return backBuffer_.get(); }

uint32_t GlDevice::FramebufferFor(const Surface* colour, const Surface* depth) {
    for (const Framebuffer& f : framebuffers_) {
        if (f.colour == colour && f.depth == depth) return f.name;
    }
    GLuint name = 0;
    glGenFramebuffers(1, &name);
    glBindFramebuffer(GL_FRAMEBUFFER, name);
    if (const auto* c = static_cast<const GlSurface*>(colour)) {
        if (c->kind() == GlSurface::Kind::Renderbuffer) {
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, c->name());
        } else {
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, c->target(), c->name(), c->level());
        }
    } else {
        GlDrawNoColour();
        glReadBuffer(GL_NONE);
    }
    if (const auto* d = static_cast<const GlSurface*>(depth)) {
        const GLenum attachment =
            d->GetFormat() == Format::D24S8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, d->name());
    }
    framebuffers_.push_back(Framebuffer{colour, depth, name});
    return name;
}

bool GlDevice::BindTargets() {
    if (!targetsDirty_) return true;
    const Surface* depth = depthSurface_;
    // A depth surface smaller than the colour target is left out.
    if (depth && renderTarget_ &&
        (depth->Width() < renderTarget_->Width() || depth->Height() < renderTarget_->Height())) {
        depth = nullptr;
    }
    const GLuint name = FramebufferFor(renderTarget_, depth);
    glBindFramebuffer(GL_FRAMEBUFFER, name);
    targetsDirty_ = false;
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void GlDevice::ForgetSurface(const GlSurface* surface) {
    for (size_t i = 0; i < framebuffers_.size();) {
        if (framebuffers_[i].colour == surface || framebuffers_[i].depth == surface) {
            glDeleteFramebuffers(1, &framebuffers_[i].name);
            framebuffers_[i] = framebuffers_.back();
            framebuffers_.pop_back();
            targetsDirty_ = true;
        } else {
            ++i;
        }
    }
    if (renderTarget_ == surface) {
        renderTarget_ = backBuffer_ && backBuffer_.get() != surface ? backBuffer_.get() : nullptr;
        targetsDirty_ = true;
    }
    if (depthSurface_ == surface) {
        depthSurface_ = nullptr;
        targetsDirty_ = true;
    }
}

void GlDevice::ForgetBuffer(const GlBuffer* buffer) {
    for (Stream& s : streams_) {
        if (s.buffer == buffer) s = Stream{};
    }
    if (indices_ == buffer) indices_ = nullptr;
}

void GlDevice::ForgetProgram(const GlProgram* program) {
    if (program_ == program) {
        program_ = nullptr;
        glUseProgram(0);
    }
}

void GlDevice::SetRenderTarget(uint32_t index, Surface* surface) {
    // One colour target: other indices and null (which Direct3D refuses for
    // index 0) change nothing.
    if (index != 0 || !surface || IsDepthFormat(surface->GetFormat())) return;
    renderTarget_ = surface;
    targetsDirty_ = true;
    SetViewport(Viewport{0, 0, surface->Width(), surface->Height(), 0.0f, 1.0f});
    SetScissorRect(ScissorRect{0, 0, static_cast<int32_t>(surface->Width()), static_cast<int32_t>(surface->Height())});
}

void GlDevice::SetDepthStencilSurface(Surface* surface) {
    if (surface && !IsDepthFormat(surface->GetFormat())) return;
    depthSurface_ = surface;
    targetsDirty_ = true;
}

bool GlDevice::ReadSurface(Surface* surface, void* out, size_t size) {
    if (!surface || IsDepthFormat(surface->GetFormat())) return false;
    GlFormat gl;
    if (!LookUpGlFormat(surface->GetFormat(), gl) || gl.compressed) return false;
    if (size < ImageByteSize(surface->GetFormat(), surface->Width(), surface->Height())) return false;
    const GLuint name = FramebufferFor(surface, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(surface->Width()), static_cast<GLsizei>(surface->Height()), gl.format,
                 gl.type, out);
    targetsDirty_ = true;
    return glGetError() == GL_NO_ERROR;
}

bool GlDevice::ReadBackBuffer(uint8_t* out, size_t size) {
    if (!backBuffer_ || size < static_cast<size_t>(width_) * height_ * 3) return false;
    glBindFramebuffer(GL_FRAMEBUFFER, FramebufferFor(backBuffer_.get(), nullptr));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    bool ok = true;
    if (kGlWeb) {
        // WebGL reads an RGBA8 buffer only as RGBA: a row at a time, packed
        // to RGB (the row buffer is made on the first read only).
        const size_t row = static_cast<size_t>(width_) * 3;
        webRow_.resize(static_cast<size_t>(width_) * 4);
        for (uint32_t y = 0; y < height_ && ok; ++y) {
            glReadPixels(0, static_cast<GLint>(y), static_cast<GLsizei>(width_), 1, GL_RGBA, GL_UNSIGNED_BYTE,
                         webRow_.data());
            uint8_t* rgb = out + y * row;
            for (uint32_t x = 0; x < width_; ++x) {
                rgb[x * 3 + 0] = webRow_[x * 4 + 0];
                rgb[x * 3 + 1] = webRow_[x * 4 + 1];
                rgb[x * 3 + 2] = webRow_[x * 4 + 2];
            }
            ok = glGetError() == GL_NO_ERROR;
        }
    } else {
        glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_RGB, GL_UNSIGNED_BYTE, out);
        ok = glGetError() == GL_NO_ERROR;
    }
    targetsDirty_ = true;
    return ok;
}

// ---------------------------------------------------------------- frame

void GlDevice::SetViewport(const Viewport& viewport) {
    viewport_ = viewport;
    glViewport(static_cast<GLint>(viewport.x), static_cast<GLint>(viewport.y), static_cast<GLsizei>(viewport.width),
               static_cast<GLsizei>(viewport.height));
    GlDepthRange(viewport.minZ, viewport.maxZ);
}

void GlDevice::SetScissorRect(const ScissorRect& rect) {
    scissor_ = rect;
    ApplyScissor();
}

void GlDevice::ApplyScissor() {
    const int32_t width = std::max(scissor_.right - scissor_.left, 0);
    const int32_t height = std::max(scissor_.bottom - scissor_.top, 0);
    glScissor(scissor_.left, scissor_.top, width, height);
}

void GlDevice::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) {
    GLbitfield bits = 0;
    if (flags & kClearTarget) {
        bits |= GL_COLOR_BUFFER_BIT;
        glClearColor(static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
                     static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>((argb >> 24) & 0xFF) / 255.0f);
    }
    if (flags & kClearZBuffer) {
        bits |= GL_DEPTH_BUFFER_BIT;
        glDepthMask(GL_TRUE);
        GlClearDepth(z);
    }
    if (flags & kClearStencil) {
        bits |= GL_STENCIL_BUFFER_BIT;
        glStencilMask(0xFF);
        glClearStencil(static_cast<GLint>(stencil & 0xFF));
    }
    if (bits == 0 || !BindTargets()) return;
    // Like Direct3D, a clear covers the viewport rectangle only (within the
    // scissor rectangle while the scissor test is on).
    int32_t left = static_cast<int32_t>(viewport_.x);
    int32_t top = static_cast<int32_t>(viewport_.y);
    int32_t right = left + static_cast<int32_t>(viewport_.width);
    int32_t bottom = top + static_cast<int32_t>(viewport_.height);
    if (states_[static_cast<uint32_t>(RenderState::ScissorTestEnable)]) {
        left = std::max(left, scissor_.left);
        top = std::max(top, scissor_.top);
        right = std::min(right, scissor_.right);
        bottom = std::min(bottom, scissor_.bottom);
    }
    if (right > left && bottom > top) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(left, top, right - left, bottom - top);
        glClear(bits);
    }
    ApplyScissor();
    if (!states_[static_cast<uint32_t>(RenderState::ScissorTestEnable)]) glDisable(GL_SCISSOR_TEST);
    glDepthMask(states_[static_cast<uint32_t>(RenderState::ZWriteEnable)] ? GL_TRUE : GL_FALSE);
    glStencilMask(states_[static_cast<uint32_t>(RenderState::StencilWriteMask)] & 0xFF);
}

PresentResult GlDevice::Present() {
    if (!context_.HasWindow()) {
        glFlush();
        return PresentResult::Ok;
    }
    CompositeToWindow();
    context_.SwapBuffers();
    targetsDirty_ = true;
    SetViewport(viewport_);
    ApplyScissor();
    if (states_[static_cast<uint32_t>(RenderState::ScissorTestEnable)]) glEnable(GL_SCISSOR_TEST);
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
    glClear(GL_COLOR_BUFFER_BIT);
    // Scale the back buffer to fill the window, keeping its aspect.
    const Rect shown = Letterbox(width_, height_, Rect{0, 0, static_cast<int32_t>(windowWidth),
                                                       static_cast<int32_t>(windowHeight)});
    glBindFramebuffer(GL_READ_FRAMEBUFFER, FramebufferFor(backBuffer_.get(), nullptr));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // GL memory holds the picture top row first; the window counts rows
    // from the bottom.
    glBlitFramebuffer(0, 0, static_cast<GLint>(width_), static_cast<GLint>(height_), shown.left,
                      static_cast<GLint>(windowHeight) - shown.top, shown.right,
                      static_cast<GLint>(windowHeight) - shown.bottom, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    targetsDirty_ = true;
}

// ---------------------------------------------------------------- states

void GlDevice::SetRenderState(RenderState state, uint32_t value) {
    const auto index = static_cast<uint32_t>(state);
    if (index >= 256 || states_[index] == value) return;
    states_[index] = value;
    switch (state) {
        case RenderState::ZEnable: value ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); break;
        case RenderState::ZWriteEnable: glDepthMask(value ? GL_TRUE : GL_FALSE); break;
        case RenderState::ZFunc: glDepthFunc(GlCompare(value)); break;
        case RenderState::AlphaBlendEnable: value ? glEnable(GL_BLEND) : glDisable(GL_BLEND); break;
        case RenderState::SrcBlend:
        case RenderState::DestBlend:
            glBlendFunc(GlBlend(states_[static_cast<uint32_t>(RenderState::SrcBlend)]),
                        GlBlend(states_[static_cast<uint32_t>(RenderState::DestBlend)]));
            break;
        case RenderState::CullMode:
            // Clip-space y is negated, so on-screen clockwise (Direct3D's front)
            // is GL's counter-clockwise front.
            if (value == kCullCW) {
                glEnable(GL_CULL_FACE);
                glCullFace(GL_FRONT);
            } else if (value == kCullCCW) {
                glEnable(GL_CULL_FACE);
                glCullFace(GL_BACK);
            } else {
                glDisable(GL_CULL_FACE);
            }
            break;
        case RenderState::ScissorTestEnable: value ? glEnable(GL_SCISSOR_TEST) : glDisable(GL_SCISSOR_TEST); break;
        case RenderState::StencilEnable: value ? glEnable(GL_STENCIL_TEST) : glDisable(GL_STENCIL_TEST); break;
        case RenderState::StencilFail:
        case RenderState::StencilZFail:
        case RenderState::StencilPass:
            glStencilOp(GlStencilOp(states_[static_cast<uint32_t>(RenderState::StencilFail)]),
                        GlStencilOp(states_[static_cast<uint32_t>(RenderState::StencilZFail)]),
                        GlStencilOp(states_[static_cast<uint32_t>(RenderState::StencilPass)]));
            break;
        case RenderState::StencilFunc:
        case RenderState::StencilRef:
        case RenderState::StencilMask:
            glStencilFunc(GlCompare(states_[static_cast<uint32_t>(RenderState::StencilFunc)]),
                          static_cast<GLint>(states_[static_cast<uint32_t>(RenderState::StencilRef)] & 0xFF),
                          states_[static_cast<uint32_t>(RenderState::StencilMask)] & 0xFF);
            break;
        case RenderState::StencilWriteMask: glStencilMask(value & 0xFF); break;
        case RenderState::ColorWriteEnable:
            glColorMask((value & kColorWriteRed) ? GL_TRUE : GL_FALSE, (value & kColorWriteGreen) ? GL_TRUE : GL_FALSE,
                        (value & kColorWriteBlue) ? GL_TRUE : GL_FALSE, (value & kColorWriteAlpha) ? GL_TRUE : GL_FALSE);
            break;
    }
}

uint32_t GlDevice::GetRenderState(RenderState state) const {
    const auto index = static_cast<uint32_t>(state);
    return index < 256 ? states_[index] : 0;
}

// ---------------------------------------------------------------- resources

std::unique_ptr<GfxTexture> GlDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                                 Format format) {
    GlFormat gl;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSize) ||
        height > static_cast<uint32_t>(maxSize) || !LookUpGlFormat(format, gl)) {
        return nullptr;
    }
    const bool renderTarget = (usage & kUsageRenderTarget) != 0;
    if (renderTarget && !gl.colourRenderable) return nullptr;
    const uint32_t full = FullMipCount(width, height);
    levels = levels == 0 || levels > full ? full : levels;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    auto texture = std::make_unique<GlTexture>(link_, name, width, height, levels, format, gl, renderTarget);
    if (glGetError() != GL_NO_ERROR) return nullptr;
    if (renderTarget) {
        glBindFramebuffer(GL_FRAMEBUFFER, FramebufferFor(texture->GetSurfaceLevel(0), nullptr));
        targetsDirty_ = true;
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return nullptr;
    }
    return texture;
}

std::unique_ptr<GfxCubeTexture> GlDevice::CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage,
                                                         Format format) {
    GlFormat gl;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &maxSize);
    if (edge == 0 || edge > static_cast<uint32_t>(maxSize) || !LookUpGlFormat(format, gl)) return nullptr;
    const bool renderTarget = (usage & kUsageRenderTarget) != 0;
    if (renderTarget && !gl.colourRenderable) return nullptr;
    const uint32_t full = FullMipCount(edge, edge);
    levels = levels == 0 || levels > full ? full : levels;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    auto cube = std::make_unique<GlCubeTexture>(link_, name, edge, levels, format, gl, renderTarget);
    if (glGetError() != GL_NO_ERROR) return nullptr;
    if (renderTarget) {
        glBindFramebuffer(GL_FRAMEBUFFER, FramebufferFor(cube->GetCubeMapSurface(0, 0), nullptr));
        targetsDirty_ = true;
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return nullptr;
    }
    return cube;
}

std::unique_ptr<Surface> GlDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (!IsDepthFormat(format) || width == 0 || height == 0 || width > static_cast<uint32_t>(maxSize) ||
        height > static_cast<uint32_t>(maxSize)) {
        return nullptr;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenRenderbuffers(1, &name);
    glBindRenderbuffer(GL_RENDERBUFFER, name);
    glRenderbufferStorage(GL_RENDERBUFFER, format == Format::D24S8 ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24,
                          static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    auto surface = std::make_unique<GlSurface>(link_, GlSurface::Kind::Renderbuffer, name, GL_RENDERBUFFER, 0, width,
                                               height, format);
    surface->OwnName();
    if (glGetError() != GL_NO_ERROR) return nullptr;
    return surface;
}

std::unique_ptr<VertexDeclaration> GlDevice::CreateVertexDeclaration(std::span<const VertexElement> elements) {
    for (const VertexElement& e : elements) {
        if (e.stream >= kStreams || AttributeLocation(e.usage, e.usageIndex) < 0 ||
            static_cast<uint8_t>(e.type) > static_cast<uint8_t>(DeclType::D3DColor)) {
            return nullptr;
        }
    }
    return std::make_unique<VertexDeclaration>(elements);
}

std::unique_ptr<VertexBuffer> GlDevice::CreateVertexBuffer(uint32_t length, uint32_t usage) {
    if (length == 0) return nullptr;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(GL_ARRAY_BUFFER, name);
    glBufferData(GL_ARRAY_BUFFER, length, nullptr, (usage & kUsageDynamic) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    auto buffer = std::make_unique<GlBuffer>(link_, name, GL_ARRAY_BUFFER, length, Format::Unknown);
    if (glGetError() != GL_NO_ERROR) return nullptr;
    return buffer;
}

std::unique_ptr<IndexBuffer> GlDevice::CreateIndexBuffer(uint32_t length, uint32_t usage, Format format) {
    if (length == 0 || (format != Format::Index16 && format != Format::Index32)) return nullptr;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, name);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, length, nullptr,
                 (usage & kUsageDynamic) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    auto buffer = std::make_unique<GlBuffer>(link_, name, GL_ELEMENT_ARRAY_BUFFER, length, format);
    if (glGetError() != GL_NO_ERROR) return nullptr;
    return buffer;
}

std::unique_ptr<ShaderProgram> GlDevice::CreateProgram(const std::string& vertexCode, const std::string& fragmentCode,
                                                       std::string& log) {
    log.clear();
    const char* header = kGlWeb ? kEsHeader : "#version 330 core\n";
    std::string vertex = header;
    if (!clipControl_) vertex += "#define JOLP_DEPTH_MINUS_ONE_TO_ONE\n";
    vertex += kVertexPrologue;
    vertex += kGlWeb ? ColourInputsReadAsBgra(vertexCode) : vertexCode;
    vertex += kVertexEpilogue;
    const std::string fragment = header + fragmentCode;
    const GLuint vs = CompileStage(GL_VERTEX_SHADER, vertex, log);
    const GLuint fs = CompileStage(GL_FRAGMENT_SHADER, fragment, log);
    if (!vs || !fs) {
        if (vs) glDeleteShader(vs);
        if (fs) glDeleteShader(fs);
        return nullptr;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    for (const AttributeName& a : AttributeNames()) {
        glBindAttribLocation(program, static_cast<GLuint>(a.location), a.name);
        if (kGlWeb) glBindAttribLocation(program, static_cast<GLuint>(a.location), (kBgraPrefix + a.name).c_str());
    }
#ifndef __EMSCRIPTEN__
    // (OpenGL ES gives a fragment shader's one output location 0.)
    glBindFragDataLocation(program, 0, "outColor");
#endif
    glLinkProgram(program);
    glDetachShader(program, vs);
    glDetachShader(program, fs);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        log = InfoLog(program, true);
        if (log.empty()) log = "the program does not link";
        glDeleteProgram(program);
        return nullptr;
    }
    std::vector<UniformInfo> uniforms;
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256];
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, &length, &size, &type, name);
        std::string uniformName(name, static_cast<size_t>(length));
        if (uniformName.size() > 3 && uniformName.compare(uniformName.size() - 3, 3, "[0]") == 0) {
            uniformName.resize(uniformName.size() - 3);
        }
        const GLint location = glGetUniformLocation(program, uniformName.c_str());
        if (location < 0) continue;
        uniforms.push_back(UniformInfo{std::move(uniformName), UniformTypeOf(type), location});
    }
    return std::make_unique<GlProgram>(link_, program, std::move(uniforms));
}

// ---------------------------------------------------------------- programs

void GlDevice::SetProgram(const ShaderProgram* program) {
    program_ = static_cast<const GlProgram*>(program);
    glUseProgram(program_ ? program_->name() : 0);
}

void GlDevice::SetUniform(int32_t location, UniformType type, const float* values) {
    if (location < 0 || !program_) return;
    switch (type) {
        case UniformType::Float: glUniform1fv(location, 1, values); break;
        case UniformType::Vec2: glUniform2fv(location, 1, values); break;
        case UniformType::Vec3: glUniform3fv(location, 1, values); break;
        case UniformType::Vec4: glUniform4fv(location, 1, values); break;
        // Row-major, uploaded transposed into GLSL's column-major storage, so
        // the GLSL matrix is the same matrix and `v * M` in shader code is
        // p x M.
        case UniformType::Mat4: glUniformMatrix4fv(location, 1, GL_TRUE, values); break;
        case UniformType::Bool: glUniform1i(location, values[0] != 0.0f ? 1 : 0); break;
        case UniformType::Int: glUniform1i(location, static_cast<GLint>(values[0])); break;
        default: break;
    }
}

void GlDevice::SetUniformInt(int32_t location, int32_t value) {
    if (location >= 0 && program_) glUniform1i(location, value);
}

uint32_t GlDevice::SamplerFor(const SamplerState& state) {
    const uint32_t index = static_cast<uint32_t>(state.filter) * 9 + static_cast<uint32_t>(state.mipFilter) * 3 +
                           static_cast<uint32_t>(state.address);
    if (index >= 27) return 0;
    if (samplers_[index]) return samplers_[index];
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    const bool point = state.filter == TextureFilter::Point;
    GLenum minFilter = point ? GL_NEAREST : GL_LINEAR;
    if (state.mipFilter == MipFilter::Point) minFilter = point ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_NEAREST;
    if (state.mipFilter == MipFilter::Linear) minFilter = point ? GL_NEAREST_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_LINEAR;
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, point ? GL_NEAREST : GL_LINEAR);
    const GLint wrap = state.address == TextureAddress::Clamp    ? GL_CLAMP_TO_EDGE
                       : state.address == TextureAddress::Mirror ? GL_MIRRORED_REPEAT
                                                                 : GL_REPEAT;
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wrap);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wrap);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, wrap);
    if (state.filter == TextureFilter::Anisotropic && maxAnisotropy_ > 1.0f) {
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, maxAnisotropy_);
    }
    samplers_[index] = sampler;
    return sampler;
}

void GlDevice::SetTexture(uint32_t unit, const GfxBaseTexture* texture, const SamplerState& sampler) {
    glActiveTexture(GL_TEXTURE0 + unit);
    if (!texture) {
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        glBindSampler(unit, 0);
        return;
    }
    if (texture->Kind() == TextureKind::Cube) {
        glBindTexture(GL_TEXTURE_CUBE_MAP, static_cast<const GlCubeTexture*>(texture)->name());
    } else {
        glBindTexture(GL_TEXTURE_2D, static_cast<const GlTexture*>(texture)->name());
    }
    glBindSampler(unit, SamplerFor(sampler));
}

// ---------------------------------------------------------------- drawing

void GlDevice::SetVertexDeclaration(const VertexDeclaration* declaration) { declaration_ = declaration; }

void GlDevice::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
    if (stream >= kStreams) return;
    streams_[stream] = Stream{static_cast<GlBuffer*>(buffer), offset, stride};
}

void GlDevice::SetIndices(IndexBuffer* buffer) { indices_ = static_cast<GlBuffer*>(buffer); }

// Points the vertex array at the current declaration and streams. False
// when the draw would read past the end of a stream's buffer (vertexEnd is
// one past the last vertex read) or nothing is set up to draw with.
bool GlDevice::PrepareDraw(uint64_t vertexEnd, int32_t baseVertex) {
    if (!declaration_ || !program_ || !BindTargets()) return false;
    glBindVertexArray(vertexArray_);
    uint32_t enabled = 0;
    for (const VertexElement& e : declaration_->Elements()) {
        const Stream& s = streams_[e.stream];
        if (!s.buffer) return false;
        static constexpr uint32_t kSizes[] = {4, 8, 12, 16, 4};
        const uint64_t elementEnd = static_cast<uint64_t>(s.offset) + e.offset + kSizes[static_cast<uint8_t>(e.type)];
        if (vertexEnd > 0 && elementEnd + (vertexEnd - 1) * s.stride > s.buffer->Length()) return false;
        const int location = AttributeLocation(e.usage, e.usageIndex);
        glBindBuffer(GL_ARRAY_BUFFER, s.buffer->name());
        // (baseVertex is only given where the draw cannot add it itself.)
        const int64_t start = static_cast<int64_t>(s.offset) + e.offset + static_cast<int64_t>(baseVertex) * s.stride;
        const auto* pointer = reinterpret_cast<const void*>(static_cast<uintptr_t>(start));
        if (e.type == DeclType::D3DColor) {
            // On WebGL the vertex code swaps the bytes (ColourInputsReadAsBgra).
            glVertexAttribPointer(static_cast<GLuint>(location), kGlWeb ? 4 : GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE,
                                  static_cast<GLsizei>(s.stride), pointer);
        } else {
            glVertexAttribPointer(static_cast<GLuint>(location), static_cast<GLint>(e.type) + 1, GL_FLOAT, GL_FALSE,
                                  static_cast<GLsizei>(s.stride), pointer);
        }
        enabled |= 1u << location;
    }
    for (uint32_t location = 0; location < 16; ++location) {
        const uint32_t bit = 1u << location;
        if ((enabled & bit) && !(enabledAttributes_ & bit)) glEnableVertexAttribArray(location);
        if (!(enabled & bit) && (enabledAttributes_ & bit)) glDisableVertexAttribArray(location);
    }
    enabledAttributes_ = enabled;
    return true;
}

void GlDevice::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
    const uint64_t count = VerticesForPrimitives(type, primitiveCount);
    if (count == 0 || !PrepareDraw(startVertex + count)) return;
    glDrawArrays(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
    ++drawCalls_;
}

void GlDevice::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex, uint32_t vertexCount,
                                    uint32_t startIndex, uint32_t primitiveCount) {
    const uint64_t count = VerticesForPrimitives(type, primitiveCount);
    if (count == 0 || !indices_) return;
    const uint32_t indexSize = indices_->GetFormat() == Format::Index16 ? 2 : 4;
    if ((startIndex + count) * indexSize > indices_->Length()) return;
    if (baseVertex < 0 && static_cast<uint32_t>(-static_cast<int64_t>(baseVertex)) > minIndex) return;
    // The vertices the indices address, by the caller's account.
    // WebGL 2 has no base vertex: the streams are pointed baseVertex
    // vertices further in instead (never before their start: checked above).
    const uint64_t vertexEnd = static_cast<uint64_t>(static_cast<int64_t>(baseVertex) + minIndex + vertexCount);
    if (!PrepareDraw(vertexEnd, kGlWeb ? baseVertex : 0)) return;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_->name());
    const GLenum indexType = indexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
    const auto* first = reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexSize);
#ifdef __EMSCRIPTEN__
    glDrawElements(GlPrimitive(type), static_cast<GLsizei>(count), indexType, first);
#else
    glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(count), indexType, first, baseVertex);
#endif
    ++drawCalls_;
}

void GlDevice::Finish() { glFinish(); }

#ifndef __EMSCRIPTEN__
namespace {

class GlTimestamp final : public TimestampQuery {
public:
    GlTimestamp() { glGenQueries(1, &name_); }
    ~GlTimestamp() override { glDeleteQueries(1, &name_); }
    void Issue() override {
        glQueryCounter(name_, GL_TIMESTAMP);
        issued_ = true;
    }
    bool GetData(uint64_t& ns) override {
        if (!issued_) return false;
        GLint available = 0;
        glGetQueryObjectiv(name_, GL_QUERY_RESULT_AVAILABLE, &available);
        if (!available) return false;
        GLuint64 value = 0;
        glGetQueryObjectui64v(name_, GL_QUERY_RESULT, &value);
        ns = value;
        return true;
    }

private:
    GLuint name_ = 0;
    bool issued_ = false;
};

}  // namespace

std::unique_ptr<TimestampQuery> GlDevice::CreateTimestampQuery() { return std::make_unique<GlTimestamp>(); }
#else
std::unique_ptr<TimestampQuery> GlDevice::CreateTimestampQuery() { return nullptr; }
#endif

}  // namespace jolp
