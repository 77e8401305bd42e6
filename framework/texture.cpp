#include "framework/texture.h"

#include "framework/dds_file.h"

#include <stb/stb_image.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace jolp {
namespace {

// Larger files are not textures we could hold anyway.
constexpr size_t kMaxImageFileBytes = size_t{1} << 30;
constexpr int kMaxImageExtent = 16384;

void Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
    std::error_code code;
    if (std::filesystem::is_directory(path, code)) {
        Fail(error, path + ": is a directory");
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        Fail(error, path + ": cannot open (" + std::strerror(errno) + ")");
        return false;
    }
    bytes.clear();
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (bytes.size() + got > kMaxImageFileBytes) {
            std::fclose(file);
            Fail(error, path + ": larger than 1 GiB, not read");
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        Fail(error, path + ": read error");
        return false;
    }
    return true;
}

bool IsDds(std::span<const uint8_t> bytes) { return bytes.size() >= 4 && std::memcmp(bytes.data(), "DDS ", 4) == 0; }

std::string Extent(uint32_t w, uint32_t h, Format format) {
    return std::to_string(w) + " x " + std::to_string(h) + " " + FormatName(format);
}

// JPEG, PNG, TGA and the other stb_image formats, as A8R8G8B8 with a full
// mip chain.
std::unique_ptr<GfxTexture> DecodeWithStb(const std::string& path, std::span<const uint8_t> bytes,
                                          GfxDevice& device, std::string* error) {
    if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
        Fail(error, path + ": too large");
        return nullptr;
    }
    const auto size = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(bytes.data(), size, &width, &height, &channels)) {
        Fail(error, path + ": not an image (" + stbi_failure_reason() + ")");
        return nullptr;
    }
    if (width <= 0 || height <= 0 || width > kMaxImageExtent || height > kMaxImageExtent) {
        Fail(error, path + ": " + std::to_string(width) + " x " + std::to_string(height) + " is too large an image");
        return nullptr;
    }
    stbi_uc* rgba = stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, 4);
    if (!rgba) {
        Fail(error, path + ": cannot decode (" + stbi_failure_reason() + ")");
        return nullptr;
    }
    // A8R8G8B8 keeps B, G, R, A in memory.
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < pixels; ++i) std::swap(rgba[i * 4], rgba[i * 4 + 2]);
    const auto w = static_cast<uint32_t>(width);
    const auto h = static_cast<uint32_t>(height);
    auto texture = device.CreateTexture(w, h, 0, 0, Format::A8R8G8B8);
    if (!texture || !texture->Upload(0, rgba, pixels * 4)) {
        stbi_image_free(rgba);
        Fail(error, path + ": the device refused a " + Extent(w, h, Format::A8R8G8B8) + " texture");
        return nullptr;
    }
    stbi_image_free(rgba);
    texture->GenerateMipSubLevels();
    return texture;
}

std::unique_ptr<GfxTexture> MakeTexture2D(std::span<const uint8_t> bytes, const std::string& path, GfxDevice& device,
                                          std::string* error) {
    if (!IsDds(bytes)) return DecodeWithStb(path, bytes, device, error);
    DdsImage image;
    std::string problem;
    if (!ReadDds(bytes, path, image, problem)) {
        Fail(error, problem);
        return nullptr;
    }
    if (image.cube) {
        Fail(error, path + ": a cube map, not a 2D texture");
        return nullptr;
    }
    auto texture = device.CreateTexture(image.width, image.height, image.levels, 0, image.format);
    if (!texture || texture->LevelCount() != image.levels) {
        Fail(error, path + ": the device refused a " + Extent(image.width, image.height, image.format) + " texture");
        return nullptr;
    }
    for (uint32_t level = 0; level < image.levels; ++level) {
        if (!texture->Upload(level, image.data.data() + image.LevelOffset(0, level), image.LevelSize(level))) {
            Fail(error, path + ": level " + std::to_string(level) + " could not be uploaded");
            return nullptr;
        }
    }
    return texture;
}

std::unique_ptr<GfxCubeTexture> MakeCubeTexture(std::span<const uint8_t> bytes, const std::string& path,
                                                GfxDevice& device, std::string* error) {
    if (!IsDds(bytes)) {
        Fail(error, path + ": not a DDS cube map (cube textures are read from DDS files only)");
        return nullptr;
    }
    DdsImage image;
    std::string problem;
    if (!ReadDds(bytes, path, image, problem)) {
        Fail(error, problem);
        return nullptr;
    }
    if (!image.cube) {
        Fail(error, path + ": a 2D texture, not a cube map");
        return nullptr;
    }
    auto cube = device.CreateCubeTexture(image.width, image.levels, 0, image.format);
    if (!cube || cube->LevelCount() != image.levels) {
        Fail(error, path + ": the device refused a " + Extent(image.width, image.height, image.format) + " cube texture");
        return nullptr;
    }
    for (uint32_t face = 0; face < 6; ++face) {
        for (uint32_t level = 0; level < image.levels; ++level) {
            if (!cube->Upload(face, level, image.data.data() + image.LevelOffset(face, level), image.LevelSize(level))) {
                Fail(error, path + ": face " + std::to_string(face) + " level " + std::to_string(level) +
                                " could not be uploaded");
                return nullptr;
            }
        }
    }
    return cube;
}

template <typename Kind>
void LoadDirectory(ResourceRegistry& registry, GfxDevice& device, const std::string& directory) {
    std::error_code code;
    std::filesystem::directory_iterator it(directory, code);
    if (code) {
        std::fprintf(stderr, "tarvel: warning: %s: the texture folder cannot be read (%s); no textures are "
                     "loaded from it\n",
                     directory.c_str(), code.message().c_str());
        return;
    }
    for (const std::filesystem::directory_iterator end; it != end; it.increment(code)) {
        if (code) break;
        std::error_code typeCode;
        if (it->is_directory(typeCode)) continue;
        const std::string name = it->path().filename().string();
        // The first registration wins: a name already taken is not loaded
        // again.
        if (registry.Find(name)) continue;
        std::unique_ptr<Kind> texture = Kind::Load(directory + "/" + name, device);
        registry.AddIfAbsent(name, texture ? registry.Keep(std::move(texture)) : nullptr);
    }
}

}  // namespace

BaseTexture::~BaseTexture() = default;
Texture2D::~Texture2D() = default;
TextureCube::~TextureCube() = default;

std::unique_ptr<Texture2D> Texture2D::Load(const std::string& path, GfxDevice& device, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error)) return nullptr;
    return LoadFromMemory(bytes, path, device, error);
}

std::unique_ptr<Texture2D> Texture2D::LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                     GfxDevice& device, std::string* error) {
    auto made = MakeTexture2D(bytes, name, device, error);
    if (!made) return nullptr;
    auto resource = std::make_unique<Texture2D>();
    resource->texture = std::move(made);
    return resource;
}

std::unique_ptr<TextureCube> TextureCube::Load(const std::string& path, GfxDevice& device, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error)) return nullptr;
    return LoadFromMemory(bytes, path, device, error);
}

std::unique_ptr<TextureCube> TextureCube::LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                         GfxDevice& device, std::string* error) {
    auto made = MakeCubeTexture(bytes, name, device, error);
    if (!made) return nullptr;
    auto resource = std::make_unique<TextureCube>();
    resource->texture = std::move(made);
    return resource;
}

void LoadTextureDirectory(ResourceRegistry& registry, GfxDevice& device, const std::string& directory) {
    LoadDirectory<Texture2D>(registry, device, directory);
}

void LoadCubeTextureDirectory(ResourceRegistry& registry, GfxDevice& device, const std::string& directory) {
    LoadDirectory<TextureCube>(registry, device, directory);
}

}  // namespace jolp
