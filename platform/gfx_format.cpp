#include "platform/gfx_format.h"

namespace jolp {

bool IsCompressed(Format format) {
    return format == Format::DXT1 || format == Format::DXT3 || format == Format::DXT5;
}

bool IsDepthFormat(Format format) { return format == Format::D24S8 || format == Format::D24X8; }

uint32_t BytesPerPixel(Format format) {
    switch (format) {
        case Format::L8: return 1;
        case Format::A8L8:
        case Format::R16F: return 2;
        case Format::R8G8B8: return 3;
        case Format::A8R8G8B8:
        case Format::X8R8G8B8:
        case Format::A8B8G8R8:
        case Format::X8B8G8R8:
        case Format::G16R16F:
        case Format::R32F: return 4;
        case Format::A16B16G16R16F:
        case Format::G32R32F: return 8;
        case Format::A32B32G32R32F: return 16;
        default: return 0;
    }
}

size_t ImageByteSize(Format format, uint32_t width, uint32_t height) {
    if (IsCompressed(format)) {
        const size_t blocks = static_cast<size_t>((width + 3) / 4 == 0 ? 1 : (width + 3) / 4) *
                              static_cast<size_t>((height + 3) / 4 == 0 ? 1 : (height + 3) / 4);
        return blocks * (format == Format::DXT1 ? 8 : 16);
    }
    return static_cast<size_t>(width) * height * BytesPerPixel(format);
}

uint32_t FullMipCount(uint32_t width, uint32_t height) {
    uint32_t edge = width > height ? width : height;
    uint32_t levels = 1;
    while (edge > 1) {
        edge >>= 1;
        ++levels;
    }
    return levels;
}

const char* FormatName(Format format) {
    switch (format) {
        case Format::R8G8B8: return "R8G8B8";
        case Format::A8R8G8B8: return "A8R8G8B8";
        case Format::X8R8G8B8: return "X8R8G8B8";
        case Format::A8B8G8R8: return "A8B8G8R8";
        case Format::X8B8G8R8: return "X8B8G8R8";
        case Format::L8: return "L8";
        case Format::A8L8: return "A8L8";
        case Format::D24S8: return "D24S8";
        case Format::D24X8: return "D24X8";
        case Format::Index16: return "INDEX16";
        case Format::Index32: return "INDEX32";
        case Format::R16F: return "R16F";
        case Format::G16R16F: return "G16R16F";
        case Format::A16B16G16R16F: return "A16B16G16R16F";
        case Format::R32F: return "R32F";
        case Format::G32R32F: return "G32R32F";
        case Format::A32B32G32R32F: return "A32B32G32R32F";
        case Format::DXT1: return "DXT1";
        case Format::DXT3: return "DXT3";
        case Format::DXT5: return "DXT5";
        default: return "unknown";
    }
}

}  // namespace jolp
