// data_path.h - where a demo's files are: a path inside its data folder.
//
// The data folder is named the way the user named it (--data), or is the
// absolute folder of the executable; files inside it are named by their
// path relative to it ("media/music.ogg"). Joined, the result is what the
// loaders open and what their messages show, so that a message names a
// file the user can find from where they stand. The process never changes
// its working folder for this.
#pragma once

#include <string>
#include <string_view>

namespace jolp {

// folder/relative; relative alone when folder is empty or ".".
inline std::string DataPath(std::string_view folder, std::string_view relative) {
    if (folder.empty() || folder == ".") return std::string(relative);
    std::string path(folder);
    if (path.back() != '/') path += '/';
    path += relative;
    return path;
}

}  // namespace jolp
