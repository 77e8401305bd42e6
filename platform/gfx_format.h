// gfx_format.h - pixel and index formats, with Direct3D 9's numbering and
// memory layouts, and the sizes derived from them.
//
// The numbers are D3DFORMAT's, so files that carry them (DDS headers name
// float formats by these numbers) and code that speaks Direct3D's vocabulary
// agree. Memory layouts are Direct3D's too: A8R8G8B8 is a little-endian
// 32-bit word 0xAARRGGBB, so its bytes in memory are B, G, R, A; A8B8G8R8's
// bytes are R, G, B, A; R8G8B8's are B, G, R; A8L8's are L, A; the 16-bit
// float formats are IEEE half floats in the order R, G, B, A. Rows are stored
// top row first and tightly packed. DXTn images are 4x4 blocks of 8 (DXT1) or
// 16 (DXT3, DXT5) bytes, block rows top first.
//
// When sampled, channels a format lacks read as 1 (R32F gives (r, 1, 1, 1),
// X8R8G8B8 an alpha of 1, L8 (l, l, l, 1)), as Direct3D does.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jolp {

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

enum class Format : uint32_t {
    Unknown = 0,
    R8G8B8 = 20,
    A8R8G8B8 = 21,
    X8R8G8B8 = 22,
    A8B8G8R8 = 32,
    X8B8G8R8 = 33,
    L8 = 50,
    A8L8 = 51,
    D24S8 = 75,
    D24X8 = 77,
    Index16 = 101,
    Index32 = 102,
    R16F = 111,
    G16R16F = 112,
    A16B16G16R16F = 113,
    R32F = 114,
    G32R32F = 115,
    A32B32G32R32F = 116,
    DXT1 = MakeFourCC('D', 'X', 'T', '1'),
    DXT3 = MakeFourCC('D', 'X', 'T', '3'),
    DXT5 = MakeFourCC('D', 'X', 'T', '5'),
};

// DXT1, DXT3, DXT5.
bool IsCompressed(Format format);
// D24S8, D24X8.
bool IsDepthFormat(Format format);
// Bytes per pixel of an uncompressed colour format; 0 for compressed, depth,
// index and unknown formats.
uint32_t BytesPerPixel(Format format);
// Bytes of one tightly packed image (one mip level of one face) of the given
// size: whole 4x4 blocks for DXTn. 0 for formats that hold no image data.
size_t ImageByteSize(Format format, uint32_t width, uint32_t height);
// The size of mip level `level` of an edge: max(1, edge >> level).
inline uint32_t MipExtent(uint32_t edge, uint32_t level) {
    const uint32_t e = level >= 32 ? 0 : edge >> level;
    return e == 0 ? 1 : e;
}
// Number of levels of a full mip chain down to 1 x 1.
uint32_t FullMipCount(uint32_t width, uint32_t height);
// A short name for messages: "A8R8G8B8", "DXT5", "unknown".
const char* FormatName(Format format);

}  // namespace jolp
