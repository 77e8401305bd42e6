#include "tests/support/small_disk.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace jolp::testing {

SmallDisk::SmallDisk(size_t bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvel-disk-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        reason_ = std::string("cannot make a folder to mount on: ") + std::strerror(errno);
        return;
    }
    path_ = pattern;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (::mount("tarvel-small-disk", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        reason_ = std::string("a small tmpfs cannot be mounted here (") + std::strerror(errno) +
                  "); the test needs root or CAP_SYS_ADMIN";
        return;
    }
    mounted_ = true;
}

SmallDisk::~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace jolp::testing
