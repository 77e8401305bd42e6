// file_watcher.h - FileWatcher, which tells the program between frames that
// files of one folder were created, written, replaced or removed (the effect
// files, for reloading them while a demo is being written).
//
// It watches the folder itself, not its subfolders, through Linux inotify:
// a file written and closed, one renamed into the folder (how many editors
// save), one created, one removed or renamed away. Editors write in bursts,
// so a change is reported only once the folder has been quiet for the quiet
// period (100 ms unless told): a burst of writes to a file is one change.
// A file that came and went inside one burst (an editor's temporary file
// renamed over the real one) is not reported.
//
// Poll is meant to be called every frame: when nothing happened it is one
// read of the inotify descriptor that finds nothing, and it allocates
// nothing. The watcher owns its descriptor and closes it when destroyed.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

class FileWatcher {
public:
    struct Options {
        // Only names ending with one of these are watched (".fx", ".glsl");
        // every name when empty.
        std::vector<std::string> suffixes;
        // How long the folder must be quiet before its changes are reported.
        std::chrono::milliseconds quiet{100};
    };

    // Starts watching folder. Null when it cannot be watched, with error
    // naming the folder and the reason.
    static std::unique_ptr<FileWatcher> Open(const std::string& folder, std::string& error);
    static std::unique_ptr<FileWatcher> Open(const std::string& folder, const Options& options, std::string& error);
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // True when files changed since the last report and the folder has been
    // quiet since for the quiet period; Changed() then lists them. False
    // otherwise, with Changed() empty.
    bool Poll();
    // The paths (folder/name, each once, in the order first touched) that
    // the last Poll reported.
    const std::vector<std::string>& Changed() const { return changed_; }
    const std::string& Folder() const { return folder_; }

private:
    struct Pending {
        std::string name;
        bool createdHere = false;  // its first event made it: it did not exist before the burst
    };

    FileWatcher(int fd, std::string folder, const Options& options);
    // Reads every event waiting; false when there was none.
    bool Drain();
    void Note(const char* name, uint32_t mask);
    bool Watched(const char* name) const;

    int fd_ = -1;
    std::string folder_;
    Options options_;
    std::vector<Pending> pending_;
    std::vector<std::string> changed_;
    std::chrono::steady_clock::time_point lastEvent_{};
    alignas(8) char buffer_[4096];
};

}  // namespace jolp
