#include "platform/file_write.h"

#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace jolp {
namespace {

constexpr size_t kBufferBytes = 64 * 1024;
// A temporary name keeps at most this much of the destination's name, so
// that it stays within the file system's limit on a name (255 bytes).
constexpr size_t kNameBytesKept = 200;

// The temporary names of the files being written, for a signal handler to
// remove. A slot is claimed, filled, then marked live; the handler reads
// only live slots. More outputs at once than slots are still written, just
// not removed by a signal.
constexpr int kSlots = 16;
char gNames[kSlots][PATH_MAX];
std::atomic<bool> gClaimed[kSlots];
std::atomic<bool> gLive[kSlots];
std::atomic<uint32_t> gCounter{0};

int ClaimSlot(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (gClaimed[i].compare_exchange_strong(expected, true)) {
            std::memcpy(gNames[i], name.c_str(), name.size() + 1);
            gLive[i].store(true, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void ReleaseSlot(int slot) {
    if (slot < 0) return;
    gLive[slot].store(false, std::memory_order_release);
    gClaimed[slot].store(false, std::memory_order_release);
}

std::string_view FolderOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return path.substr(0, slash + 1);  // with its slash; "/" stays "/"
}

std::string_view NameOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Whether what stands at path (not followed) may be replaced by an output.
// ENOENT is fine; other lstat failures are left to the open that follows.
bool CheckTarget(std::string_view path, const std::string& pathText, std::string& error, struct stat* found) {
    struct stat st {};
    if (::lstat(pathText.c_str(), &st) != 0) {
        if (found) found->st_mode = 0;
        return true;
    }
    if (found) *found = st;
    if (S_ISLNK(st.st_mode)) {
        error = std::string(path) + ": is a link; outputs are never written through a link (remove it first)";
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = std::string(path) + ": is a folder, not a file";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = std::string(path) + ": is " + FileKindText(st.st_mode) +
                ", not a regular file; outputs are written only as regular files";
        return false;
    }
    return true;
}

}  // namespace

void IgnoreFileSizeSignal() {
#ifdef SIGXFSZ
    // Beyond a file-size limit a write fails with EFBIG instead.
    static const bool ignored = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)ignored;
#endif
}

bool CheckOutputPath(std::string_view path, std::string& error) {
    if (path.empty()) {
        error = "an empty file name";
        return false;
    }
    if (path.back() == '/') {
        error = std::string(path) + ": is a folder, not a file";
        return false;
    }
    return CheckTarget(path, std::string(path), error, nullptr);
}

bool CheckWritableFolder(std::string_view folder, std::string& error) {
    std::string probe(folder);
    if (probe.empty()) probe = ".";
    if (probe.back() != '/') probe += '/';
    probe += ".jolp-write-test";
    OutputFile file;
    std::string reason;
    if (!file.Open(probe, reason)) {
        // The system's reason, without the probe's own name.
        const std::string said = "cannot be written (";
        const size_t at = reason.find(said);
        error = std::string(folder) + ": cannot write files in this folder" +
                (at == std::string::npos ? "" : " (" + reason.substr(at + said.size()));
        return false;
    }
    file.Abandon();
    return true;
}

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Open(std::string_view path, std::string& error) {
    Abandon();
    IgnoreFileSizeSignal();
    path_.assign(path);
    if (!CheckOutputPath(path, error)) return false;
    const std::string_view name = NameOf(path);
    char suffix[48];
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::snprintf(suffix, sizeof suffix, ".%ld-%u.partial", static_cast<long>(::getpid()),
                      gCounter.fetch_add(1, std::memory_order_relaxed));
        temporary_.assign(FolderOf(path));
        temporary_ += '.';
        temporary_.append(name.substr(0, kNameBytesKept));
        temporary_ += suffix;
        // O_EXCL | O_NOFOLLOW: a new file of our own, never one that stands
        // there already, never the target of a link planted under its name.
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) {
        error = path_ + ": cannot be written (" + std::strerror(errno) + ")";
        temporary_.clear();
        return false;
    }
    slot_ = ClaimSlot(temporary_);
    if (buffer_.size() != kBufferBytes) buffer_.resize(kBufferBytes);
    buffered_ = 0;
    size_ = 0;
    failure_ = 0;
    return true;
}

bool OutputFile::Flush() {
    const uint8_t* data = buffer_.data();
    size_t left = buffered_;
    buffered_ = 0;
    while (left > 0 && failure_ == 0) {
        const ssize_t n = ::write(fd_, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            failure_ = errno;
        } else if (n == 0) {
            failure_ = EIO;
        } else {
            data += n;
            left -= static_cast<size_t>(n);
        }
    }
    return failure_ == 0;
}

bool OutputFile::Write(const void* bytes, size_t size) {
    if (fd_ < 0) {
        if (failure_ == 0) failure_ = EBADF;
        return false;
    }
    if (failure_ != 0) return false;
    const auto* from = static_cast<const uint8_t*>(bytes);
    size_ += size;
    while (size > 0) {
        const size_t room = buffer_.size() - buffered_;
        const size_t take = size < room ? size : room;
        std::memcpy(buffer_.data() + buffered_, from, take);
        buffered_ += take;
        from += take;
        size -= take;
        if (buffered_ == buffer_.size() && !Flush()) return false;
    }
    return true;
}

bool OutputFile::Commit(std::string& error) {
    if (fd_ < 0) {
        error = path_ + ": cannot be written (it was not opened)";
        return false;
    }
    Flush();
    struct stat target {};
    std::string refusal;
    const bool replaceable = CheckTarget(path_, path_, refusal, &target);
    // A file that is replaced keeps its permissions.
    if (replaceable && S_ISREG(target.st_mode) && failure_ == 0 && ::fchmod(fd_, target.st_mode & 07777) != 0) {
        failure_ = errno;
    }
    if (::close(fd_) != 0 && failure_ == 0) failure_ = errno;
    fd_ = -1;
    bool ok = false;
    if (failure_ != 0) {
        error = path_ + ": cannot be written (" + std::strerror(failure_) + ")";
    } else if (!replaceable) {
        // Something was put in its place while it was written.
        error = refusal;
    } else if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error = path_ + ": cannot be put in place (" + std::strerror(errno) + ")";
    } else {
        ok = true;
    }
    if (!ok) ::unlink(temporary_.c_str());
    Release();
    return ok;
}

void OutputFile::Abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        ::unlink(temporary_.c_str());
    }
    Release();
}

void OutputFile::Release() {
    ReleaseSlot(slot_);
    slot_ = -1;
    temporary_.clear();
    buffered_ = 0;
}

std::string SafeFileName(std::string_view name, std::string_view fallback) {
    std::string out;
    for (const unsigned char c : name) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '-' || c == '_';
        out += kept ? static_cast<char>(c) : '_';
    }
    const size_t first = out.find_first_not_of('.');
    out.erase(0, first == std::string::npos ? out.size() : first);
    if (out.size() > 100) out.erase(0, out.size() - 100);
    return out.empty() ? std::string(fallback) : out;
}

bool WriteWholeFile(std::string_view path, const void* bytes, size_t size, std::string& error) {
    OutputFile file;
    if (!file.Open(path, error)) return false;
    file.Write(bytes, size);
    return file.Commit(error);
}

void RemoveUnfinishedOutputs() {
    const int saved = errno;
    for (int i = 0; i < kSlots; ++i) {
        if (gLive[i].load(std::memory_order_acquire)) ::unlink(gNames[i]);
    }
    errno = saved;
}

namespace {

extern "C" void RemoveOutputsAndEnd(int signal) {
    RemoveUnfinishedOutputs();
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void RemoveUnfinishedOutputsOnSignals() {
    struct sigaction action = {};
    action.sa_handler = &RemoveOutputsAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace jolp
