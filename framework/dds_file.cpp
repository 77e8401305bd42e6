#include "framework/dds_file.h"

#include "platform/file_write.h"

#include "platform/file_read.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace jolp {
namespace {

// File layout: the magic, the 124-byte header (with the 32-byte pixel format
// inside it at 76), then for fourCC "DX10" the 20-byte extended header, then
// the image data. Offsets are from the start of the file.
constexpr uint32_t kMagic = MakeFourCC('D', 'D', 'S', ' ');
constexpr uint32_t kHeaderSize = 124;
constexpr uint32_t kPixelFormatSize = 32;
constexpr size_t kHeaderEnd = 4 + kHeaderSize;
constexpr size_t kExtendedEnd = kHeaderEnd + 20;

constexpr size_t kAtHeaderSize = 4;
constexpr size_t kAtFlags = 8;
constexpr size_t kAtHeight = 12;
constexpr size_t kAtWidth = 16;
constexpr size_t kAtPitch = 20;
constexpr size_t kAtDepth = 24;
constexpr size_t kAtMipCount = 28;
constexpr size_t kAtPixelFormat = 76;
constexpr size_t kAtPixelFlags = 80;
constexpr size_t kAtFourCC = 84;
constexpr size_t kAtBitCount = 88;
constexpr size_t kAtMasks = 92;  // R, G, B, A
constexpr size_t kAtCaps = 108;
constexpr size_t kAtCaps2 = 112;
constexpr size_t kAtDxgiFormat = 128;
constexpr size_t kAtDimension = 132;
constexpr size_t kAtMiscFlags = 136;
constexpr size_t kAtArraySize = 140;

// Header flags.
constexpr uint32_t kFlagCaps = 0x1;
constexpr uint32_t kFlagHeight = 0x2;
constexpr uint32_t kFlagWidth = 0x4;
constexpr uint32_t kFlagPitch = 0x8;
constexpr uint32_t kFlagPixelFormat = 0x1000;
constexpr uint32_t kFlagMipCount = 0x20000;
constexpr uint32_t kFlagLinearSize = 0x80000;
constexpr uint32_t kFlagDepth = 0x800000;

// Pixel format flags.
constexpr uint32_t kPixelAlpha = 0x1;  // the alpha mask is meaningful
constexpr uint32_t kPixelFourCC = 0x4;
constexpr uint32_t kPixelRgb = 0x40;
constexpr uint32_t kPixelLuminance = 0x20000;

// Caps and caps2.
constexpr uint32_t kCapsComplex = 0x8;
constexpr uint32_t kCapsTexture = 0x1000;
constexpr uint32_t kCapsMipmap = 0x400000;
constexpr uint32_t kCaps2Cube = 0x200;
constexpr uint32_t kCaps2FirstFace = 0x400;  // +X; the next five bits are -X, +Y, -Y, +Z, -Z
constexpr uint32_t kCaps2AllFaces = 0xfc00;
constexpr uint32_t kCaps2Volume = 0x200000;

// Extended header.
constexpr uint32_t kFourCCExtended = MakeFourCC('D', 'X', '1', '0');
constexpr uint32_t kDimensionTexture1D = 2;
constexpr uint32_t kDimensionTexture2D = 3;
constexpr uint32_t kDimensionTexture3D = 4;
constexpr uint32_t kMiscTextureCube = 0x4;

// How each format is described in the legacy pixel format. The writer uses
// these as they are; the reader matches against them.
struct LegacyForm {
    Format format;
    uint32_t flags;
    uint32_t fourCC;
    uint32_t bits;
    uint32_t masks[4];  // R, G, B, A
};

constexpr LegacyForm kLegacyForms[] = {
    {Format::A8R8G8B8, kPixelRgb | kPixelAlpha, 0, 32, {0xff0000, 0xff00, 0xff, 0xff000000}},
    {Format::X8R8G8B8, kPixelRgb, 0, 32, {0xff0000, 0xff00, 0xff, 0}},
    {Format::A8B8G8R8, kPixelRgb | kPixelAlpha, 0, 32, {0xff, 0xff00, 0xff0000, 0xff000000}},
    {Format::X8B8G8R8, kPixelRgb, 0, 32, {0xff, 0xff00, 0xff0000, 0}},
    {Format::R8G8B8, kPixelRgb, 0, 24, {0xff0000, 0xff00, 0xff, 0}},
    {Format::L8, kPixelLuminance, 0, 8, {0xff, 0, 0, 0}},
    {Format::A8L8, kPixelLuminance | kPixelAlpha, 0, 16, {0xff, 0, 0, 0xff00}},
    {Format::DXT1, kPixelFourCC, static_cast<uint32_t>(Format::DXT1), 0, {}},
    {Format::DXT3, kPixelFourCC, static_cast<uint32_t>(Format::DXT3), 0, {}},
    {Format::DXT5, kPixelFourCC, static_cast<uint32_t>(Format::DXT5), 0, {}},
    // Float formats are named by their format number in place of a fourCC.
    {Format::R16F, kPixelFourCC, static_cast<uint32_t>(Format::R16F), 0, {}},
    {Format::G16R16F, kPixelFourCC, static_cast<uint32_t>(Format::G16R16F), 0, {}},
    {Format::A16B16G16R16F, kPixelFourCC, static_cast<uint32_t>(Format::A16B16G16R16F), 0, {}},
    {Format::R32F, kPixelFourCC, static_cast<uint32_t>(Format::R32F), 0, {}},
    {Format::G32R32F, kPixelFourCC, static_cast<uint32_t>(Format::G32R32F), 0, {}},
    {Format::A32B32G32R32F, kPixelFourCC, static_cast<uint32_t>(Format::A32B32G32R32F), 0, {}},
};

// The DXGI formats of the extended header that have the same memory layout
// as one of ours. The sRGB variants read as their linear twins.
struct DxgiForm {
    uint32_t dxgi;
    Format format;
};

constexpr DxgiForm kDxgiForms[] = {
    {2, Format::A32B32G32R32F},  // R32G32B32A32_FLOAT
    {10, Format::A16B16G16R16F}, // R16G16B16A16_FLOAT
    {16, Format::G32R32F},       // R32G32_FLOAT
    {28, Format::A8B8G8R8},      // R8G8B8A8_UNORM
    {29, Format::A8B8G8R8},      // R8G8B8A8_UNORM_SRGB
    {34, Format::G16R16F},       // R16G16_FLOAT
    {41, Format::R32F},          // R32_FLOAT
    {54, Format::R16F},          // R16_FLOAT
    {71, Format::DXT1},          // BC1_UNORM
    {72, Format::DXT1},          // BC1_UNORM_SRGB
    {74, Format::DXT3},          // BC2_UNORM
    {75, Format::DXT3},          // BC2_UNORM_SRGB
    {77, Format::DXT5},          // BC3_UNORM
    {78, Format::DXT5},          // BC3_UNORM_SRGB
    {87, Format::A8R8G8B8},      // B8G8R8A8_UNORM
    {88, Format::X8R8G8B8},      // B8G8R8X8_UNORM
    {91, Format::A8R8G8B8},      // B8G8R8A8_UNORM_SRGB
    {93, Format::X8R8G8B8},      // B8G8R8X8_UNORM_SRGB
};

const LegacyForm* FindLegacyForm(Format format) {
    for (const LegacyForm& form : kLegacyForms)
        if (form.format == format) return &form;
    return nullptr;
}

uint32_t Get32(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
    out[at + 2] = static_cast<uint8_t>(value >> 16);
    out[at + 3] = static_cast<uint8_t>(value >> 24);
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// 'DXT1' when the four bytes are printable, else the number.
std::string FourCCText(uint32_t fourCC) {
    std::string text = "'";
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((fourCC >> (8 * i)) & 0xff);
        if (c < 0x20 || c > 0x7e) return std::to_string(fourCC);
        text += c;
    }
    return text + "'";
}

// With extents up to kDdsMaxExtent, at most 16 bytes a pixel, a full chain
// of levels and six faces, an image is below 2^36 bytes (2^32 with the
// 32-bit sizes' 4096): its sums cannot overflow a size_t.
static_assert(sizeof(size_t) >= 8 || kDdsMaxExtent <= 4096, "image sizes are summed in size_t");

// Bytes of all faces and levels of an image with extents and levels in range.
size_t ImageBytes(const DdsImage& image) {
    size_t face = 0;
    for (uint32_t level = 0; level < image.levels; ++level) face += image.LevelSize(level);
    return face * image.FaceCount();
}

std::string ExtentProblem(const char* what, uint32_t value) {
    return std::string(what) + " " + std::to_string(value) + " outside 1.." + std::to_string(kDdsMaxExtent);
}

bool ExtentOk(uint32_t value) { return value >= 1 && value <= kDdsMaxExtent; }

std::string TooManyLevels(uint32_t levels, uint32_t width, uint32_t height) {
    return std::to_string(levels) + " mip levels, more than the " + std::to_string(FullMipCount(width, height)) +
           " of a full chain for " + std::to_string(width) + " x " + std::to_string(height);
}

// Reads the header; on success sets format, extents, levels, cube and the
// offset where the image data starts.
class HeaderReader {
public:
    HeaderReader(std::span<const uint8_t> bytes, const std::string& name, std::string& error)
        : bytes_(bytes), name_(name), error_(error) {}

    bool Read(DdsImage& image, size_t& dataStart) {
        if (bytes_.size() < 4 || Get32(bytes_, 0) != kMagic) return Fail(0, "not a DDS file (no \"DDS \" magic)");
        if (bytes_.size() < kHeaderEnd)
            return Fail(bytes_.size(), "file ends inside the header (" + std::to_string(kHeaderEnd) + " bytes needed)");
        const uint32_t headerSize = Get32(bytes_, kAtHeaderSize);
        if (headerSize != kHeaderSize)
            return Fail(kAtHeaderSize,
                        "header size " + std::to_string(headerSize) + ", expected " + std::to_string(kHeaderSize));
        const uint32_t pixelFormatSize = Get32(bytes_, kAtPixelFormat);
        if (pixelFormatSize != kPixelFormatSize)
            return Fail(kAtPixelFormat, "pixel format size " + std::to_string(pixelFormatSize) + ", expected " +
                                            std::to_string(kPixelFormatSize));

        const uint32_t flags = Get32(bytes_, kAtFlags);
        image.width = Get32(bytes_, kAtWidth);
        image.height = Get32(bytes_, kAtHeight);
        if (!ExtentOk(image.width)) return Fail(kAtWidth, ExtentProblem("width", image.width));
        if (!ExtentOk(image.height)) return Fail(kAtHeight, ExtentProblem("height", image.height));

        dataStart = kHeaderEnd;
        const uint32_t pixelFlags = Get32(bytes_, kAtPixelFlags);
        const uint32_t fourCC = Get32(bytes_, kAtFourCC);
        if ((pixelFlags & kPixelFourCC) && fourCC == kFourCCExtended) {
            if (!ReadExtended(image)) return false;
            dataStart = kExtendedEnd;
        } else {
            if (!ReadPixelFormat(pixelFlags, fourCC, image.format)) return false;
            if (!ReadLegacyShape(flags, image.cube)) return false;
        }
        if (image.cube && image.width != image.height)
            return Fail(kAtHeight, "cube map faces are not square (" + std::to_string(image.width) + " x " +
                                       std::to_string(image.height) + ")");

        const uint32_t mipCount = Get32(bytes_, kAtMipCount);
        image.levels = (flags & kFlagMipCount) && mipCount != 0 ? mipCount : 1;
        if (image.levels > FullMipCount(image.width, image.height))
            return Fail(kAtMipCount, TooManyLevels(image.levels, image.width, image.height));
        return true;
    }

    bool Fail(size_t offset, const std::string& problem) {
        error_ = name_ + ": offset " + std::to_string(offset) + ": " + problem;
        return false;
    }

private:
    bool ReadPixelFormat(uint32_t pixelFlags, uint32_t fourCC, Format& format) {
        if (pixelFlags & kPixelFourCC) {
            for (const LegacyForm& form : kLegacyForms) {
                if ((form.flags & kPixelFourCC) && form.fourCC == fourCC) {
                    format = form.format;
                    return true;
                }
            }
            return Fail(kAtFourCC, "unsupported pixel format (fourCC " + FourCCText(fourCC) + ")");
        }
        const uint32_t kind = pixelFlags & (kPixelRgb | kPixelLuminance);
        if (kind != kPixelRgb && kind != kPixelLuminance)
            return Fail(kAtPixelFlags, "unsupported pixel format (flags " + Hex(pixelFlags) + ")");
        const uint32_t bits = Get32(bytes_, kAtBitCount);
        uint32_t masks[4];
        for (int i = 0; i < 4; ++i) masks[i] = Get32(bytes_, kAtMasks + 4 * i);
        // Without the alpha flag the alpha mask means nothing.
        if (!(pixelFlags & kPixelAlpha)) masks[3] = 0;
        for (const LegacyForm& form : kLegacyForms) {
            if ((form.flags & (kPixelRgb | kPixelLuminance)) != kind || form.bits != bits) continue;
            // A luminance format has one colour mask; G and B are not looked at.
            const bool same = form.masks[0] == masks[0] && form.masks[3] == masks[3] &&
                              (kind == kPixelLuminance || (form.masks[1] == masks[1] && form.masks[2] == masks[2]));
            if (same) {
                format = form.format;
                return true;
            }
        }
        return Fail(kAtBitCount, std::string("unsupported pixel format (") +
                                     (kind == kPixelRgb ? "RGB" : "luminance") + ", " + std::to_string(bits) +
                                     " bits, masks R " + Hex(masks[0]) + " G " + Hex(masks[1]) + " B " +
                                     Hex(masks[2]) + " A " + Hex(masks[3]) + ")");
    }

    bool ReadLegacyShape(uint32_t flags, bool& cube) {
        const uint32_t caps2 = Get32(bytes_, kAtCaps2);
        if (caps2 & kCaps2Volume) return Fail(kAtCaps2, "volume textures are not supported");
        const uint32_t depth = Get32(bytes_, kAtDepth);
        if ((flags & kFlagDepth) && depth > 1)
            return Fail(kAtDepth, "volume textures are not supported (depth " + std::to_string(depth) + ")");
        cube = (caps2 & kCaps2Cube) != 0;
        if (cube && (caps2 & kCaps2AllFaces) != kCaps2AllFaces) {
            static const char* const kFaceNames[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
            std::string missing;
            for (int face = 0; face < 6; ++face) {
                if (caps2 & (kCaps2FirstFace << face)) continue;
                missing += missing.empty() ? "" : " ";
                missing += kFaceNames[face];
            }
            return Fail(kAtCaps2, "partial cube map (faces " + missing + " missing)");
        }
        return true;
    }

    bool ReadExtended(DdsImage& image) {
        if (bytes_.size() < kExtendedEnd)
            return Fail(bytes_.size(),
                        "file ends inside the extended header (" + std::to_string(kExtendedEnd) + " bytes needed)");
        const uint32_t dxgi = Get32(bytes_, kAtDxgiFormat);
        image.format = Format::Unknown;
        for (const DxgiForm& form : kDxgiForms)
            if (form.dxgi == dxgi) image.format = form.format;
        if (image.format == Format::Unknown)
            return Fail(kAtDxgiFormat, "unsupported pixel format (DXGI format " + std::to_string(dxgi) + ")");
        const uint32_t dimension = Get32(bytes_, kAtDimension);
        if (dimension == kDimensionTexture3D) return Fail(kAtDimension, "volume textures are not supported");
        if (dimension == kDimensionTexture1D) return Fail(kAtDimension, "1D textures are not supported");
        if (dimension != kDimensionTexture2D)
            return Fail(kAtDimension, "unknown resource dimension " + std::to_string(dimension));
        const uint32_t arraySize = Get32(bytes_, kAtArraySize);
        if (arraySize == 0) return Fail(kAtArraySize, "array size 0");
        if (arraySize > 1)
            return Fail(kAtArraySize, "texture arrays are not supported (array size " + std::to_string(arraySize) + ")");
        image.cube = (Get32(bytes_, kAtMiscFlags) & kMiscTextureCube) != 0;
        return true;
    }

    std::span<const uint8_t> bytes_;
    const std::string& name_;
    std::string& error_;
};

}  // namespace

uint32_t DdsImage::FaceCount() const { return cube ? 6 : 1; }

size_t DdsImage::LevelSize(uint32_t level) const {
    return ImageByteSize(format, MipExtent(width, level), MipExtent(height, level));
}

size_t DdsImage::LevelOffset(uint32_t face, uint32_t level) const {
    size_t faceSize = 0, offset = 0;
    for (uint32_t l = 0; l < levels; ++l) {
        if (l < level) offset += LevelSize(l);
        faceSize += LevelSize(l);
    }
    return faceSize * face + offset;
}

bool ReadDds(std::span<const uint8_t> bytes, const std::string& name, DdsImage& image, std::string& error) {
    HeaderReader header(bytes, name, error);
    DdsImage read;
    size_t dataStart = 0;
    if (!header.Read(read, dataStart)) return false;
    const size_t needed = ImageBytes(read);
    const size_t present = bytes.size() - dataStart;
    if (needed > present)
        return header.Fail(bytes.size(), "image data truncated (" + std::to_string(needed) + " bytes needed from offset " +
                                             std::to_string(dataStart) + ", " + std::to_string(present) + " present)");
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(dataStart);
    read.data.assign(first, first + static_cast<std::ptrdiff_t>(needed));
    image = std::move(read);
    return true;
}

bool ReadDdsFile(const std::string& path, DdsImage& image, std::string& error) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadRegularFile(path, kMaxDdsFileBytes, bytes, reason)) {
        error = path + ": cannot read (" + reason + ")";
        return false;
    }
    return ReadDds(bytes, path, image, error);
}

bool CheckDdsImage(const DdsImage& image, std::string& problem) {
    if (!FindLegacyForm(image.format)) {
        problem = std::string("format ") + FormatName(image.format) + " (" +
                  std::to_string(static_cast<uint32_t>(image.format)) + ") cannot be stored in a DDS file";
        return false;
    }
    if (!ExtentOk(image.width)) {
        problem = ExtentProblem("width", image.width);
        return false;
    }
    if (!ExtentOk(image.height)) {
        problem = ExtentProblem("height", image.height);
        return false;
    }
    if (image.cube && image.width != image.height) {
        problem = "cube map faces are not square (" + std::to_string(image.width) + " x " +
                  std::to_string(image.height) + ")";
        return false;
    }
    if (image.levels == 0) {
        problem = "0 mip levels";
        return false;
    }
    if (image.levels > FullMipCount(image.width, image.height)) {
        problem = TooManyLevels(image.levels, image.width, image.height);
        return false;
    }
    const size_t needed = ImageBytes(image);
    if (image.data.size() != needed) {
        problem = "data is " + std::to_string(image.data.size()) + " bytes, the image needs " + std::to_string(needed);
        return false;
    }
    return true;
}

std::vector<uint8_t> WriteDds(const DdsImage& image) {
    std::string problem;
    if (!CheckDdsImage(image, problem)) return {};
    const LegacyForm& form = *FindLegacyForm(image.format);
    const bool compressed = IsCompressed(image.format);
    const bool mipmapped = image.levels > 1;

    std::vector<uint8_t> out(kHeaderEnd, 0);
    out.reserve(kHeaderEnd + image.data.size());
    Put32(out, 0, kMagic);
    Put32(out, kAtHeaderSize, kHeaderSize);
    Put32(out, kAtFlags,
          kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat | (compressed ? kFlagLinearSize : kFlagPitch) |
              (mipmapped ? kFlagMipCount : 0));
    Put32(out, kAtHeight, image.height);
    Put32(out, kAtWidth, image.width);
    // Linear size: bytes of the top level; pitch: bytes of one row.
    Put32(out, kAtPitch,
          compressed ? static_cast<uint32_t>(image.LevelSize(0)) : image.width * BytesPerPixel(image.format));
    Put32(out, kAtMipCount, image.levels);
    Put32(out, kAtPixelFormat, kPixelFormatSize);
    Put32(out, kAtPixelFlags, form.flags);
    Put32(out, kAtFourCC, form.fourCC);
    Put32(out, kAtBitCount, form.bits);
    for (int i = 0; i < 4; ++i) Put32(out, kAtMasks + 4 * i, form.masks[i]);
    Put32(out, kAtCaps, kCapsTexture | (mipmapped || image.cube ? kCapsComplex : 0) | (mipmapped ? kCapsMipmap : 0));
    Put32(out, kAtCaps2, image.cube ? kCaps2Cube | kCaps2AllFaces : 0);
    out.insert(out.end(), image.data.begin(), image.data.end());
    return out;
}

bool WriteDdsFile(const std::string& path, const DdsImage& image, std::string& error) {
    std::string problem;
    if (!CheckDdsImage(image, problem)) {
        error = path + ": " + problem;
        return false;
    }
    const std::vector<uint8_t> bytes = WriteDds(image);
    return WriteWholeFile(path, bytes.data(), bytes.size(), error);
}

}  // namespace jolp
