// file_read.h - whole files read into memory, for the loaders of files a
// user can hand the program (scenes, images, music).
//
// Only regular files are read: a directory, a FIFO, a device such as
// /dev/zero or a socket is refused before anything is read, so that no
// loader blocks for ever or reads without end. Each caller names the most
// bytes its kind of file may have; a larger file is refused from its size.
// Reasons are short phrases without the path, for the caller to prefix:
// "not a regular file (a FIFO)", "too large (3.2 GiB; at most 512 MiB)".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jolp {

// Opens path without blocking and checks it is a regular file of at most
// maxBytes. On success fd is the open descriptor (the caller closes it)
// and size its size; otherwise -1 and reason says why.
int OpenRegularFile(const std::string& path, uint64_t maxBytes, uint64_t& size, std::string& reason);

// Reads the whole regular file path, at most maxBytes, into bytes. False,
// with reason, when it is no regular file, too large, unreadable, or there
// is not enough memory for it ("out of memory reading ...").
bool ReadRegularFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason);

// "a directory", "a FIFO", "a character device", ...: what a file that is
// not a regular one is, for messages (mode as stat gives it).
const char* FileKindText(unsigned mode);

// "512 MiB", "3.2 GiB", "700 bytes": a size in words for messages.
std::string ByteCountText(uint64_t bytes);

}  // namespace jolp
