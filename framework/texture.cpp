#include "framework/texture.h"

#include "framework/dds_file.h"
#include "framework/texture_decode.h"
#include "platform/file_read.h"
#include "platform/log.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace jolp {
namespace {

// Larger files are not textures we could hold anyway.
constexpr size_t kMaxImageFileBytes = size_t{1} << 30;
constexpr int kMaxImageExtent = 16384;
// And at most 64 million pixels (256 MiB decoded): a few bytes of header
// must not make the decoder ask for gigabytes.
constexpr int64_t kMaxImagePixels = int64_t{8192} * 8192;

void Fail(std::string& error, const std::string& text) {
    error = text;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::string reason;
    if (!ReadRegularFile(path, kMaxImageFileBytes, bytes, reason)) {
        Fail(error, path + ": cannot read (" + reason + ")");
        return false;
    }
    return true;
}

bool IsDds(std::span<const uint8_t> bytes) { return bytes.size() >= 4 && std::memcmp(bytes.data(), "DDS ", 4) == 0; }

std::string Extent(uint32_t w, uint32_t h, Format format) {
    return std::to_string(w) + " x " + std::to_string(h) + " " + FormatName(format);
}

bool StartsWith(std::span<const uint8_t> bytes, std::string_view magic) {
    return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
}

// stb_image reads more kinds than JPEG, PNG and TGA and tries each in turn;
// the others (BMP, GIF, PSD, PIC, PNM, HDR) are told by their first bytes,
// none of which begins a TGA file, and are not handed to it.
const char* OtherStbKind(std::span<const uint8_t> bytes) {
    if (StartsWith(bytes, "BM")) return "BMP";
    if (StartsWith(bytes, "GIF8")) return "GIF";
    if (StartsWith(bytes, "8BPS")) return "PSD";
    if (StartsWith(bytes, "\x53\x80\xF6\x34")) return "PIC";
    if (StartsWith(bytes, "P5") || StartsWith(bytes, "P6")) return "PNM";
    if (StartsWith(bytes, "#?")) return "HDR";
    return nullptr;
}

// Where a JPEG file's markers begin (just past its start-of-image marker),
// or 0 for bytes that are no JPEG file: 0xFF, any number of fill bytes 0xFF,
// then the start-of-image marker 0xD8. This is also the test stb_image makes,
// so bytes for which it gives 0 are never taken for a JPEG by stb_image.
size_t JpegMarkersStart(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes[0] != 0xFF) return 0;
    size_t i = 1;
    while (i < bytes.size() && bytes[i] == 0xFF) ++i;
    return i < bytes.size() && bytes[i] == 0xD8 ? i + 1 : 0;
}

uint32_t Le16(std::span<const uint8_t> bytes, size_t at) { return bytes[at] | uint32_t{bytes[at + 1]} << 8; }

// The fewest bytes a TGA file of this header can hold its pixels in, as
// stb_image reads it: the 18-byte header, the image id, for a colour-mapped
// image the bytes stb skips before its palette and the palette, then one
// value a pixel (uncompressed), or at least one packet of a header byte and
// one value for every 128 pixels (run-length encoded). stb_image reads
// missing bytes as zeros, so a shorter file would decode to a black image,
// and a few bytes claiming a large image would cost the time of decoding it.
uint64_t TgaMinimumBytes(std::span<const uint8_t> bytes) {
    if (bytes.size() < 18) return 18;
    const uint64_t idLength = bytes[0];
    const bool mapped = bytes[1] != 0;
    const bool rle = bytes[2] >= 8;
    const uint64_t paletteStart = Le16(bytes, 3);
    const uint64_t paletteLength = Le16(bytes, 5);
    const uint64_t paletteEntryBytes = (uint64_t{bytes[7]} + 7) / 8;
    const uint64_t pixels = uint64_t{Le16(bytes, 12)} * Le16(bytes, 14);
    const uint64_t valueBytes = (uint64_t{bytes[16]} + 7) / 8;
    uint64_t need = 18 + idLength;
    if (mapped) need += paletteStart + paletteLength * paletteEntryBytes;
    need += rle ? (pixels + 127) / 128 * (1 + valueBytes) : pixels * valueBytes;
    return need;
}

bool IsPng(std::span<const uint8_t> bytes) { return StartsWith(bytes, "\x89PNG\r\n\x1A\n"); }

uint32_t Be32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

// The first IDAT chunk of a PNG file that claims more bytes than the file
// holds after its header, as {offset, claimed length}; {0, 0} when none
// does. stb_image grows its buffer to a chunk's claimed length before it
// reads the chunk, so a few bytes could make it ask for gigabytes; it fails
// on such a file in any case, once the bytes run out.
std::pair<size_t, uint32_t> PngChunkPastTheEnd(std::span<const uint8_t> bytes) {
    const size_t n = bytes.size();
    for (size_t at = 8; at + 8 <= n;) {
        const uint32_t length = Be32(bytes, at);
        if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0) break;
        if (std::memcmp(bytes.data() + at + 4, "IDAT", 4) == 0 && length > n - (at + 8)) return {at, length};
        if (length > n - (at + 8)) break;
        at += size_t{12} + length;
    }
    return {0, 0};
}

}  // namespace

namespace texture_decode {

std::string Size(int64_t width, int64_t height) { return std::to_string(width) + " x " + std::to_string(height); }

bool FitsLimits(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageExtent && height <= kMaxImageExtent &&
           width * height <= kMaxImagePixels;
}

std::string TooLarge(const std::string& path, int64_t width, int64_t height) {
    return path + ": " + Size(width, height) + " is too large an image";
}

std::string NoPixels(const std::string& path, const char* kind, int64_t width, int64_t height) {
    return path + ": the " + kind + " header gives a size of " + Size(width, height) + ", an image without pixels";
}

std::string OutOfMemory(const std::string& path, int64_t width, int64_t height) {
    return path + ": out of memory decoding a " + Size(width, height) + " image";
}

std::unique_ptr<GfxTexture> UploadWithMipChain(const std::string& path, const uint8_t* bgra, uint32_t width,
                                               uint32_t height, GfxDevice& device, std::string& error) {
    auto texture = device.CreateTexture(width, height, 0, 0, Format::A8R8G8B8);
    if (!texture || !texture->Upload(0, bgra, size_t{width} * height * 4)) {
        Fail(error, path + ": the device refused a " + Extent(width, height, Format::A8R8G8B8) + " texture");
        return nullptr;
    }
    texture->GenerateMipSubLevels();
    return texture;
}

}  // namespace texture_decode

namespace {

using namespace texture_decode;

// Width and height from a PNG file's header (its first chunk, IHDR), read
// before stb_image is asked: it refuses sizes it will not decode (0, or more
// than it takes) by trying every other kind in turn and then says only
// "unknown image type". False when there is no such header.
bool PngHeaderSize(std::span<const uint8_t> bytes, int64_t& width, int64_t& height) {
    if (!IsPng(bytes) || bytes.size() < 24 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return false;
    width = Be32(bytes, 16);
    height = Be32(bytes, 20);
    return true;
}

// The same for a TGA file's header, where stb_image would have taken it
// but for a width or height of 0: the colour map type, the image type and
// the bits per pixel it reads.
bool ZeroSizedTga(std::span<const uint8_t> bytes, int64_t& width, int64_t& height) {
    if (bytes.size() < 18 || bytes[1] > 1) return false;
    const uint8_t type = bytes[2];
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
    const uint8_t bits = bytes[16];
    if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) return false;
    width = Le16(bytes, 12);
    height = Le16(bytes, 14);
    return width == 0 || height == 0;
}


// PNG and TGA, and the refusal of stb_image's other kinds.
std::unique_ptr<GfxTexture> DecodeWithStb(const std::string& path, std::span<const uint8_t> bytes,
                                          GfxDevice& device, std::string& error) {
    if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
        Fail(error, path + ": too large");
        return nullptr;
    }
    if (const char* kind = OtherStbKind(bytes)) {
        Fail(error, path + ": a " + std::string(kind) + " image; textures are JPEG, PNG, TGA or DDS files");
        return nullptr;
    }
    if (int64_t w = 0, h = 0; PngHeaderSize(bytes, w, h)) {
        if (w == 0 || h == 0) {
            Fail(error, NoPixels(path, "PNG", w, h));
            return nullptr;
        }
        if (!FitsLimits(w, h)) {
            Fail(error, TooLarge(path, w, h));
            return nullptr;
        }
    }
    const auto size = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(bytes.data(), size, &width, &height, &channels)) {
        if (int64_t w = 0, h = 0; !IsPng(bytes) && ZeroSizedTga(bytes, w, h)) {
            Fail(error, NoPixels(path, "TGA", w, h));
        } else {
            Fail(error, path + ": not an image (" + stbi_failure_reason() + ")");
        }
        return nullptr;
    }
    if (!FitsLimits(width, height)) {
        Fail(error, TooLarge(path, width, height));
        return nullptr;
    }
    if (IsPng(bytes)) {
        if (const auto [at, length] = PngChunkPastTheEnd(bytes); length != 0) {
            Fail(error, path + ": a truncated PNG file (the IDAT chunk at byte " + std::to_string(at) + " claims " +
                            std::to_string(length) + " bytes; " + std::to_string(bytes.size() - at - 8) +
                            " follow)");
            return nullptr;
        }
    } else if (const uint64_t need = TgaMinimumBytes(bytes); bytes.size() < need) {
        // Not PNG, and stb_image took it: a TGA file.
        Fail(error, path + ": a truncated TGA file (" + std::to_string(bytes.size()) + " bytes, where a " +
                        Size(width, height) + " image needs at least " + std::to_string(need) + ")");
        return nullptr;
    }
    stbi_uc* rgba = stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, 4);
    if (!rgba) {
        // stb_image does not always say that an allocation failed (its zlib
        // decoder returns without a reason, leaving an earlier one such as
        // "no SOI"): when there is no room for the decoded pixels now, that
        // was the cause.
        const std::string reason = stbi_failure_reason();
        bool outOfMemory = reason == "outofmem";
        if (!outOfMemory) {
            void* room = std::malloc(static_cast<size_t>(width) * static_cast<size_t>(height) * 8);
            outOfMemory = room == nullptr;
            std::free(room);
        }
        Fail(error, outOfMemory ? OutOfMemory(path, width, height) : path + ": cannot decode (" + reason + ")");
        return nullptr;
    }
    // A8R8G8B8 keeps B, G, R, A in memory.
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < pixels; ++i) std::swap(rgba[i * 4], rgba[i * 4 + 2]);
    auto texture = UploadWithMipChain(path, rgba, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                      device, error);
    stbi_image_free(rgba);
    return texture;
}

// JPEG through libjpeg, PNG and TGA through stb_image, as A8R8G8B8 with a
// full mip chain.
std::unique_ptr<GfxTexture> DecodeImage(const std::string& path, std::span<const uint8_t> bytes, GfxDevice& device,
                                        std::string& error) {
    // libjpeg wants the start-of-image marker first; fill bytes before it
    // are dropped.
    if (const size_t markers = JpegMarkersStart(bytes)) return DecodeJpeg(path, bytes.subspan(markers - 2), device, error);
    return DecodeWithStb(path, bytes, device, error);
}

std::unique_ptr<GfxTexture> MakeTexture2D(std::span<const uint8_t> bytes, const std::string& path, GfxDevice& device,
                                          std::string& error) {
    if (!IsDds(bytes)) return DecodeImage(path, bytes, device, error);
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
                                                GfxDevice& device, std::string& error) {
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
        Log(LogLevel::Warning, "%s: the texture folder cannot be read (%s); no textures are "
                     "loaded from it",
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
        std::string error;
        std::unique_ptr<Kind> texture = Kind::Load(directory + "/" + name, device, error);
        if (!texture) Log(LogLevel::Warning, "%s; its entry is left empty", error.c_str());
        registry.AddIfAbsent(name, texture ? registry.Keep(std::move(texture)) : nullptr);
    }
}

}  // namespace

BaseTexture::~BaseTexture() = default;
Texture2D::~Texture2D() = default;
TextureCube::~TextureCube() = default;

std::unique_ptr<Texture2D> Texture2D::Load(const std::string& path, GfxDevice& device, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error)) return nullptr;
    return LoadFromMemory(bytes, path, device, error);
}

std::unique_ptr<Texture2D> Texture2D::LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                     GfxDevice& device, std::string& error) {
    auto made = MakeTexture2D(bytes, name, device, error);
    if (!made) return nullptr;
    auto resource = std::make_unique<Texture2D>();
    resource->texture = std::move(made);
    return resource;
}

std::unique_ptr<Texture2D> Texture2D::Load(const std::string& path, GfxDevice& device) {
    std::string ignored;
    return Load(path, device, ignored);
}

std::unique_ptr<Texture2D> Texture2D::LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                     GfxDevice& device) {
    std::string ignored;
    return LoadFromMemory(bytes, name, device, ignored);
}

std::unique_ptr<TextureCube> TextureCube::Load(const std::string& path, GfxDevice& device, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error)) return nullptr;
    return LoadFromMemory(bytes, path, device, error);
}

std::unique_ptr<TextureCube> TextureCube::LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                         GfxDevice& device, std::string& error) {
    auto made = MakeCubeTexture(bytes, name, device, error);
    if (!made) return nullptr;
    auto resource = std::make_unique<TextureCube>();
    resource->texture = std::move(made);
    return resource;
}

std::unique_ptr<TextureCube> TextureCube::Load(const std::string& path, GfxDevice& device) {
    std::string ignored;
    return Load(path, device, ignored);
}

std::unique_ptr<TextureCube> TextureCube::LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                         GfxDevice& device) {
    std::string ignored;
    return LoadFromMemory(bytes, name, device, ignored);
}

void LoadTextureDirectory(ResourceRegistry& registry, GfxDevice& device, const std::string& directory) {
    LoadDirectory<Texture2D>(registry, device, directory);
}

void LoadCubeTextureDirectory(ResourceRegistry& registry, GfxDevice& device, const std::string& directory) {
    LoadDirectory<TextureCube>(registry, device, directory);
}

}  // namespace jolp
