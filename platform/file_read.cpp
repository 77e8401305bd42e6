#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace jolp {

const char* FileKindText(unsigned mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISLNK(mode)) return "a link";
    if (S_ISREG(mode)) return "a regular file";
    return "not a plain file";
}

std::string ByteCountText(uint64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    } else if (bytes < (uint64_t{1} << 20)) {
        std::snprintf(text, sizeof text, "%.3g KiB", static_cast<double>(bytes) / 1024.0);
    } else if (bytes < (uint64_t{1} << 30)) {
        std::snprintf(text, sizeof text, "%.3g MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    } else {
        std::snprintf(text, sizeof text, "%.3g GiB", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
    }
    return text;
}

int OpenRegularFile(const std::string& path, uint64_t maxBytes, uint64_t& size, std::string& reason) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = std::string("not a regular file (") + FileKindText(st.st_mode) + ")";
        ::close(fd);
        return -1;
    }
    size = static_cast<uint64_t>(st.st_size);
    if (size > maxBytes) {
        reason = "too large (" + ByteCountText(size) + "; at most " + ByteCountText(maxBytes) + ")";
        ::close(fd);
        return -1;
    }
    // Reads of a regular file do not block; the flag is cleared all the same.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool ReadRegularFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason) {
    bytes.clear();
    uint64_t size = 0;
    const int fd = OpenRegularFile(path, maxBytes, size, reason);
    if (fd < 0) return false;
    try {
        // One byte more than the size, so that the end is seen without growing
        // the buffer; a file that grew since fstat is read on in steps, never
        // past maxBytes.
        bytes.resize(static_cast<size_t>(std::min(size, maxBytes) + 1));
        size_t used = 0;
        for (;;) {
            if (used == bytes.size()) {
                if (bytes.size() >= maxBytes + 1) break;
                bytes.resize(std::min<uint64_t>(maxBytes + 1, bytes.size() + 65536));
            }
            const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                reason = std::strerror(errno);
                ::close(fd);
                bytes.clear();
                return false;
            }
            if (got == 0) break;
            used += static_cast<size_t>(got);
        }
        bytes.resize(used);
    } catch (const std::bad_alloc&) {
        ::close(fd);
        std::vector<uint8_t>().swap(bytes);
        reason = "out of memory reading " + ByteCountText(size);
        return false;
    }
    ::close(fd);
    if (bytes.size() > maxBytes) {
        reason = "too large (it grew past " + ByteCountText(maxBytes) + " while being read)";
        std::vector<uint8_t>().swap(bytes);
        return false;
    }
    return true;
}

}  // namespace jolp
