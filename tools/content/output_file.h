// output_file.h - how the content generator puts files on disk: through
// jolp's one writer (platform/file_write.h), under a temporary name beside
// the final one and renamed over it once complete, so an interrupted run
// never leaves a half-written file under a name the demo reads, and never
// through a link. Errors name the file and the problem.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarvel::content {

// Writes bytes to path whole or not at all; creates the folders above
// path. False with "path: problem" in error.
bool WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

// Creates a folder and its parents; false with "path: problem" in error.
bool MakeFolder(const std::string& path, std::string& error);

}  // namespace tarvel::content
