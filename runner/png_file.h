// png_file.h - PNG pictures written to disk with every write checked.
//
// The picture is deflated (zlib, its fastest level) straight into an
// OutputFile (file_write.h): written beside its name and renamed into
// place when whole, never through a link; the first failed write stops it,
// nothing is left at the path, and the error names the file with the
// system's own reason ("No space left on device"). Nothing here keeps state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace jolp {

class OutputFile;

// Writes width x height RGB pixels (rows top to bottom, 3 bytes a pixel,
// no padding) as the PNG file path. False, with "PATH: reason" in error,
// when it could not be written whole; no file is left at path then.
bool WritePngFile(const std::string& path, uint32_t width, uint32_t height, const uint8_t* rgb, std::string& error);
// The same through a file the caller keeps, whose buffers are reused.
bool WritePngFile(OutputFile& file, std::string_view path, uint32_t width, uint32_t height, const uint8_t* rgb,
                  std::string& error);

}  // namespace jolp
