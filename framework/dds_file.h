// dds_file.h - DdsImage, a texture image as a DDS file holds it, and the
// reader and writer of DDS files.
//
// What is read: 2D textures and complete cube maps, with their mip levels,
// in the formats of platform/gfx_format.h that a texture can have:
// A8R8G8B8, X8R8G8B8, A8B8G8R8, X8B8G8R8, R8G8B8, L8, A8L8, DXT1/3/5 and
// the 16- and 32-bit float formats. The legacy header and the extended
// ("DX10") header are both understood; volume textures, texture arrays,
// partial cube maps and every other format are refused with a message of
// the form "name: offset N: problem". Sizes come from the format and the
// dimensions alone; pitch and linear-size fields are not trusted, and bytes
// after the last level are ignored. Nothing is allocated before the file has
// been seen to hold the bytes.
//
// What is written: always the legacy header (every format above has a
// legacy form), so that reading a written file gives back the same DdsImage
// and writing that again gives the same bytes.
//
// DdsImage owns its pixel bytes. The reader and writer keep no state.
#pragma once

#include "platform/gfx_format.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jolp {

struct DdsImage {
    Format format = Format::Unknown;
    uint32_t width = 0, height = 0;  // level 0; a cube's faces are square
    uint32_t levels = 1;             // mip levels per face, >= 1
    bool cube = false;               // six faces +X, -X, +Y, -Y, +Z, -Z
    // Every face, each with all its levels, in file order (face-major),
    // each level tightly packed in the format's memory layout.
    std::vector<uint8_t> data;

    // 6 for a cube map, else 1.
    uint32_t FaceCount() const;
    // Where level `level` of face `face` starts in data.
    size_t LevelOffset(uint32_t face, uint32_t level) const;
    // ImageByteSize of that level (the same for every face).
    size_t LevelSize(uint32_t level) const;

    bool operator==(const DdsImage&) const = default;
};

// Largest width or height read or written.
// 4096 where sizes are 32 bits (a browser's WebAssembly), so that an
// image's byte count (under 2^32 then) still fits in size_t.
constexpr uint32_t kDdsMaxExtent = sizeof(size_t) >= 8 ? 16384 : 4096;

// Reads a DDS image from memory; name is used in messages only. On failure
// returns false, sets error ("name: offset N: problem") and leaves image as
// it was.
bool ReadDds(std::span<const uint8_t> bytes, const std::string& name, DdsImage& image, std::string& error);
// The largest DDS file read, as for every image file.
inline constexpr uint64_t kMaxDdsFileBytes = uint64_t{1} << 30;
// Reads the whole regular file at path (at most kMaxDdsFileBytes), then
// ReadDds with the path as the name. "path: cannot read (No such file or
// directory)", "(not a regular file (a FIFO))" and the like on failure.
bool ReadDdsFile(const std::string& path, DdsImage& image, std::string& error);

// Whether image can be written: a format of the list above, extents in
// 1..kDdsMaxExtent, square faces for a cube, levels within the full chain,
// and data exactly as long as all faces and levels. Otherwise false with the
// reason in problem.
bool CheckDdsImage(const DdsImage& image, std::string& problem);
// The file's bytes; empty when CheckDdsImage refuses the image.
std::vector<uint8_t> WriteDds(const DdsImage& image);
// Writes the file through a temporary "path.part" renamed over path once it
// is complete, so a failure never leaves a partial file at path. On failure
// returns false with "path: problem" in error.
bool WriteDdsFile(const std::string& path, const DdsImage& image, std::string& error);

}  // namespace jolp
