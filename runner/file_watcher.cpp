#include "runner/file_watcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace jolp {
namespace {

constexpr uint32_t kWatchMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM;

bool Exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

std::unique_ptr<FileWatcher> FileWatcher::Open(const std::string& folder, std::string& error) {
    return Open(folder, Options{}, error);
}

std::unique_ptr<FileWatcher> FileWatcher::Open(const std::string& folder, const Options& options,
                                               std::string& error) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        error = folder + ": cannot watch for changes (inotify: " + std::strerror(errno) + ")";
        return nullptr;
    }
    if (::inotify_add_watch(fd, folder.c_str(), kWatchMask | IN_ONLYDIR) < 0) {
        error = folder + ": cannot watch for changes (" + std::strerror(errno) + ")";
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileWatcher>(new FileWatcher(fd, folder, options));
}

FileWatcher::FileWatcher(int fd, std::string folder, const Options& options)
    : fd_(fd), folder_(std::move(folder)), options_(options) {
    pending_.reserve(32);
    changed_.reserve(32);
}

FileWatcher::~FileWatcher() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileWatcher::Poll() {
    changed_.clear();
    const auto now = std::chrono::steady_clock::now();
    if (Drain()) lastEvent_ = now;
    if (pending_.empty() || now - lastEvent_ < options_.quiet) return false;
    for (const Pending& p : pending_) {
        std::string path = folder_ + "/" + p.name;
        // Made and gone again within the burst: nothing to report.
        if (p.createdHere && !Exists(path)) continue;
        changed_.push_back(std::move(path));
    }
    pending_.clear();
    return !changed_.empty();
}

bool FileWatcher::Drain() {
    bool any = false;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_, sizeof(buffer_));
        if (got <= 0) break;  // EAGAIN: nothing more waiting
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer_ + at, sizeof(event));
            const char* name = buffer_ + at + sizeof(inotify_event);
            if (event.mask & IN_Q_OVERFLOW) {
                // Events were lost: report the folder itself.
                Note("", IN_MODIFY);
                any = true;
            } else if (event.len > 0 && Watched(name)) {
                Note(name, event.mask);
                any = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    return any;
}

void FileWatcher::Note(const char* name, uint32_t mask) {
    const auto found =
        std::find_if(pending_.begin(), pending_.end(), [name](const Pending& p) { return p.name == name; });
    if (found != pending_.end()) return;
    pending_.push_back(Pending{name, (mask & (IN_CREATE | IN_MOVED_TO)) != 0});
}

bool FileWatcher::Watched(const char* name) const {
    if (options_.suffixes.empty()) return true;
    const size_t length = std::strlen(name);
    return std::any_of(options_.suffixes.begin(), options_.suffixes.end(), [&](const std::string& suffix) {
        return length >= suffix.size() && std::memcmp(name + length - suffix.size(), suffix.data(), suffix.size()) == 0;
    });
}

}  // namespace jolp
