// data_folder.h - test copies of the generated data folder: every file a
// symbolic link to the original, so that a test can take some paths out of
// its copy (or put its own files there) without copying 30 MB, and the
// names the real binary writes for captured frames.
//
// Ownership: the copy belongs to the caller's folder; the originals are
// never written through it (a path that is left out is not linked, so a
// file written there is the copy's own).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jolp::testing {

// Makes to a copy of from in which every file and folder is a link to the
// original, except the paths in leaveOut (relative to from), which are
// absent: the folders on their way are real folders of the copy, linked
// entry by entry. Fails the test when something cannot be made.
void LinkDataFolder(const std::filesystem::path& from, const std::filesystem::path& to,
                    const std::vector<std::filesystem::path>& leaveOut);

// frame_NNNNNN.png, the name --capture gives frame N.
std::string FrameName(uint64_t frame);

}  // namespace jolp::testing
