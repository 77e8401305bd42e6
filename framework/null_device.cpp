#include "framework/null_device.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <regex>

namespace jolp {
namespace {

UniformType TypeFromGlsl(const std::string& type) {
    if (type == "float") return UniformType::Float;
    if (type == "vec2") return UniformType::Vec2;
    if (type == "vec3") return UniformType::Vec3;
    if (type == "vec4") return UniformType::Vec4;
    if (type == "mat4") return UniformType::Mat4;
    if (type == "bool") return UniformType::Bool;
    if (type == "int") return UniformType::Int;
    if (type == "sampler2D") return UniformType::Sampler2D;
    if (type == "samplerCube") return UniformType::SamplerCube;
    return UniformType::Other;
}

int FloatCount(UniformType type) {
    switch (type) {
        case UniformType::Float:
        case UniformType::Bool: return 1;
        case UniformType::Vec2: return 2;
        case UniformType::Vec3: return 3;
        case UniformType::Vec4: return 4;
        case UniformType::Mat4: return 16;
        default: return 0;
    }
}

}  // namespace

Surface* NullTexture::GetSurfaceLevel(uint32_t level) {
    return level < surfaces.size() ? surfaces[level].get() : nullptr;
}

bool NullTexture::Upload(uint32_t level, const void* data, size_t size) {
    if (level >= levels.size() || size != ImageByteSize(format, MipExtent(width, level), MipExtent(height, level))) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    levels[level].assign(bytes, bytes + size);
    return true;
}

Surface* NullCubeTexture::GetCubeMapSurface(uint32_t face, uint32_t level) {
    const size_t i = static_cast<size_t>(face) * levelCount + level;
    return face < 6 && level < levelCount && i < surfaces.size() ? surfaces[i].get() : nullptr;
}

bool NullCubeTexture::Upload(uint32_t face, uint32_t level, const void* data, size_t size) {
    if (face >= 6 || level >= levelCount || size != ImageByteSize(format, MipExtent(edge, level), MipExtent(edge, level))) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    images[static_cast<size_t>(face) * levelCount + level].assign(bytes, bytes + size);
    return true;
}

void* NullBuffer::Lock(uint32_t offset, uint32_t size, uint32_t flags) {
    if (locked) return nullptr;
    if (size == 0) size = offset <= bytes.size() ? static_cast<uint32_t>(bytes.size()) - offset : 0;
    if (static_cast<uint64_t>(offset) + size > bytes.size()) return nullptr;
    locked = true;
    lockFlags.push_back(flags);
    if (device) device->Record("Lock %s %u %u %x", label.c_str(), offset, size, flags);
    return bytes.data() + offset;
}

void NullBuffer::Unlock() {
    locked = false;
    if (device) device->Record("Unlock %s", label.c_str());
}

NullDevice::NullDevice(uint32_t width, uint32_t height, uint32_t pixelShaderVersion)
    : width_(width),
      height_(height),
      pixelShaderVersion_(pixelShaderVersion),
      backBuffer_("backbuffer", width, height, Format::X8R8G8B8),
      backDepth_("backdepth", width, height, Format::D24S8),
      depth_(&backDepth_) {
    labels_[&backBuffer_] = "backbuffer";
    labels_[&backDepth_] = "backdepth";
    renderTarget = &backBuffer_;
    depthSurface = &backDepth_;
    viewport.width = width;
    viewport.height = height;
    scissor = ScissorRect{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
    states_[static_cast<uint32_t>(RenderState::ZEnable)] = 1;
    states_[static_cast<uint32_t>(RenderState::ZWriteEnable)] = 1;
    states_[static_cast<uint32_t>(RenderState::SrcBlend)] = kBlendOne;
    states_[static_cast<uint32_t>(RenderState::DestBlend)] = kBlendZero;
    states_[static_cast<uint32_t>(RenderState::CullMode)] = kCullCCW;
    states_[static_cast<uint32_t>(RenderState::ZFunc)] = kCmpLessEqual;
}

NullDevice::~NullDevice() = default;

void NullDevice::Record(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    calls.emplace_back(line);
}

std::string NullDevice::NextLabel(const char* kind, const void* object) {
    std::string label = kind + std::to_string(nextId_++);
    labels_[object] = label;
    return label;
}

std::string NullDevice::LabelOf(const void* object) const {
    if (!object) return "null";
    auto it = labels_.find(object);
    return it == labels_.end() ? "?" : it->second;
}

void NullDevice::BeginScene() { calls.emplace_back("BeginScene"); }
void NullDevice::EndScene() { calls.emplace_back("EndScene"); }

PresentResult NullDevice::Present() {
    calls.emplace_back("Present");
    ++presents;
    return loseAt_ > 0 && presents >= loseAt_ ? PresentResult::DeviceLost : PresentResult::Ok;
}

void NullDevice::SetViewport(const Viewport& v) {
    viewport = v;
    Record("SetViewport %u %u %u %u %g %g", v.x, v.y, v.width, v.height, v.minZ, v.maxZ);
}

void NullDevice::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) {
    Record("Clear %u %08x %g %u", flags, argb, z, stencil);
}

bool NullDevice::ReadBackBuffer(uint8_t* out, size_t size) {
    calls.emplace_back("ReadBackBuffer");
    if (size < static_cast<size_t>(width_) * height_ * 3) return false;
    std::memset(out, 0, size);
    return true;
}

std::unique_ptr<GfxTexture> NullDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels,
                                                        uint32_t usage, Format format) {
    Record("CreateTexture %u %u %u %u %u", width, height, levels, usage, static_cast<uint32_t>(format));
    if (refuse.count("CreateTexture") || width == 0 || height == 0 || IsDepthFormat(format)) return nullptr;
    auto texture = std::make_unique<NullTexture>();
    texture->label = NextLabel("tex", texture.get());
    texture->format = format;
    texture->width = width;
    texture->height = height;
    texture->usage = usage;
    texture->levels.resize(levels == 0 ? FullMipCount(width, height) : levels);
    if (usage & kUsageRenderTarget) {
        for (uint32_t i = 0; i < texture->levels.size(); ++i) {
            auto surface = std::make_unique<NullSurface>(texture->label + "." + std::to_string(i),
                                                              MipExtent(width, i), MipExtent(height, i), format);
            labels_[surface.get()] = surface->label;
            texture->surfaces.push_back(std::move(surface));
        }
    }
    return texture;
}

std::unique_ptr<GfxCubeTexture> NullDevice::CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage,
                                                                Format format) {
    Record("CreateCubeTexture %u %u %u %u", edge, levels, usage, static_cast<uint32_t>(format));
    if (refuse.count("CreateCubeTexture") || edge == 0 || IsDepthFormat(format)) return nullptr;
    auto cube = std::make_unique<NullCubeTexture>();
    cube->label = NextLabel("cube", cube.get());
    cube->format = format;
    cube->edge = edge;
    cube->usage = usage;
    cube->levelCount = levels == 0 ? FullMipCount(edge, edge) : levels;
    cube->images.resize(static_cast<size_t>(cube->levelCount) * 6);
    if (usage & kUsageRenderTarget) {
        for (uint32_t face = 0; face < 6; ++face) {
            for (uint32_t level = 0; level < cube->levelCount; ++level) {
                auto surface = std::make_unique<NullSurface>(
                    cube->label + ".f" + std::to_string(face) + "." + std::to_string(level), MipExtent(edge, level),
                    MipExtent(edge, level), format);
                labels_[surface.get()] = surface->label;
                cube->surfaces.push_back(std::move(surface));
            }
        }
    }
    return cube;
}

std::unique_ptr<Surface> NullDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format) {
    Record("CreateDepthStencilSurface %u %u %u", width, height, static_cast<uint32_t>(format));
    if (refuse.count("CreateDepthStencilSurface") || !IsDepthFormat(format) || width == 0 || height == 0) return nullptr;
    auto surface = std::make_unique<NullSurface>("", width, height, format);
    surface->label = NextLabel("depth", surface.get());
    return surface;
}

std::unique_ptr<VertexDeclaration> NullDevice::CreateVertexDeclaration(std::span<const VertexElement> elements) {
    Record("CreateVertexDeclaration %zu", elements.size());
    if (refuse.count("CreateVertexDeclaration")) return nullptr;
    auto declaration = std::make_unique<VertexDeclaration>(elements);
    NextLabel("decl", declaration.get());
    return declaration;
}

std::unique_ptr<VertexBuffer> NullDevice::CreateVertexBuffer(uint32_t length, uint32_t usage) {
    Record("CreateVertexBuffer %u %u", length, usage);
    if (refuse.count("CreateVertexBuffer") || length == 0) return nullptr;
    auto buffer = std::make_unique<NullBuffer>();
    buffer->label = NextLabel("vb", static_cast<VertexBuffer*>(buffer.get()));
    buffer->bytes.resize(length);
    buffer->usage = usage;
    buffer->device = this;
    return buffer;
}

std::unique_ptr<IndexBuffer> NullDevice::CreateIndexBuffer(uint32_t length, uint32_t usage, Format format) {
    Record("CreateIndexBuffer %u %u %u", length, usage, static_cast<uint32_t>(format));
    if (refuse.count("CreateIndexBuffer") || length == 0 || (format != Format::Index16 && format != Format::Index32)) {
        return nullptr;
    }
    auto buffer = std::make_unique<NullBuffer>();
    buffer->label = NextLabel("ib", static_cast<IndexBuffer*>(buffer.get()));
    buffer->bytes.resize(length);
    buffer->usage = usage;
    buffer->format = format;
    buffer->device = this;
    return buffer;
}

std::unique_ptr<ShaderProgram> NullDevice::CreateProgram(const std::string& vertexCode,
                                                              const std::string& fragmentCode, std::string& log) {
    Record("CreateProgram");
    if (refuse.count("CreateProgram")) {
        log = "program refused";
        return nullptr;
    }
    if (!failProgramsContaining.empty() && (vertexCode.find(failProgramsContaining) != std::string::npos ||
                                            fragmentCode.find(failProgramsContaining) != std::string::npos)) {
        log = "0:1(1): error: " + failProgramsContaining;
        return nullptr;
    }
    auto program = std::make_unique<NullProgram>();
    program->label = NextLabel("prog", program.get());
    program->vertexCode = vertexCode;
    program->fragmentCode = fragmentCode;
    static const std::regex declaration(R"(uniform\s+(\w+)\s+(\w+)\s*;)");
    for (const std::string* code : {&vertexCode, &fragmentCode}) {
        for (std::sregex_iterator it(code->begin(), code->end(), declaration), end; it != end; ++it) {
            const std::string name = (*it)[2];
            bool seen = false;
            for (const UniformInfo& u : program->uniforms) seen = seen || u.name == name;
            if (!seen) {
                program->uniforms.push_back(
                    UniformInfo{name, TypeFromGlsl((*it)[1]), static_cast<int32_t>(program->uniforms.size())});
            }
        }
    }
    return program;
}

void NullDevice::SetRenderTarget(uint32_t index, Surface* surface) {
    Record("SetRenderTarget %u %s", index, LabelOf(surface).c_str());
    if (index != 0 || !surface) return;
    renderTarget = surface;
    viewport = Viewport{0, 0, surface->Width(), surface->Height(), 0.0f, 1.0f};
    scissor = ScissorRect{0, 0, static_cast<int32_t>(surface->Width()), static_cast<int32_t>(surface->Height())};
}

void NullDevice::SetDepthStencilSurface(Surface* surface) {
    Record("SetDepthStencilSurface %s", LabelOf(surface).c_str());
    depthSurface = surface;
    depth_ = surface;
}

bool NullDevice::ReadSurface(Surface* surface, void* out, size_t size) {
    Record("ReadSurface %s", LabelOf(surface).c_str());
    if (!surface || size < ImageByteSize(surface->GetFormat(), surface->Width(), surface->Height())) return false;
    std::memset(out, 0, size);
    return true;
}

void NullDevice::SetRenderState(RenderState state, uint32_t value) {
    Record("SetRenderState %u %u", static_cast<uint32_t>(state), value);
    const auto i = static_cast<uint32_t>(state);
    if (i < 256) states_[i] = value;
}

uint32_t NullDevice::GetRenderState(RenderState state) const {
    const auto i = static_cast<uint32_t>(state);
    return i < 256 ? states_[i] : 0;
}

void NullDevice::SetScissorRect(const ScissorRect& r) {
    scissor = r;
    Record("SetScissorRect %d %d %d %d", r.left, r.top, r.right, r.bottom);
}

void NullDevice::SetProgram(const ShaderProgram* p) {
    program = p;
    Record("SetProgram %s", LabelOf(p).c_str());
}

void NullDevice::SetUniform(int32_t location, UniformType type, const float* values) {
    if (!recordParameters) return;
    std::string line = "SetUniform " + std::to_string(location);
    char number[32];
    for (int i = 0; i < FloatCount(type); ++i) {
        std::snprintf(number, sizeof number, " %g", values[i]);
        line += number;
    }
    calls.push_back(line);
}

void NullDevice::SetUniformInt(int32_t location, int32_t value) {
    if (recordParameters) Record("SetUniformInt %d %d", location, value);
}

void NullDevice::SetTexture(uint32_t unit, const GfxBaseTexture* texture, const SamplerState&) {
    if (recordParameters) Record("SetTexture %u %s", unit, LabelOf(texture).c_str());
}

void NullDevice::SetVertexDeclaration(const VertexDeclaration* declaration) {
    Record("SetVertexDeclaration %s", LabelOf(declaration).c_str());
}

void NullDevice::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
    Record("SetStreamSource %u %s %u %u", stream, LabelOf(buffer).c_str(), offset, stride);
}

void NullDevice::SetIndices(IndexBuffer* buffer) { Record("SetIndices %s", LabelOf(buffer).c_str()); }

void NullDevice::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
    ++draws;
    Record("DrawPrimitive %u %u %u", static_cast<uint32_t>(type), startVertex, primitiveCount);
}

void NullDevice::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                           uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount) {
    ++draws;
    Record("DrawIndexedPrimitive %u %d %u %u %u %u", static_cast<uint32_t>(type), baseVertex, minIndex, vertexCount,
           startIndex, primitiveCount);
}

Display NullDisplay(const DisplaySettings& settings) {
    Display display;
    display.deviceWindow = new DeviceWindow();
    display.deviceWindow->device = std::make_unique<NullDevice>(settings.width, settings.height);
    display.ok = true;
    display.width = settings.width;
    display.height = settings.height;
    display.fullscreen = settings.fullscreen;
    display.title = settings.title;
    display.headless = settings.headless;
    return display;
}

}  // namespace jolp
