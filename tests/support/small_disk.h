// small_disk.h - SmallDisk, a tmpfs of a few kilobytes mounted on a fresh
// folder for the length of a test: a real disk that fills up, for the
// writers' "No space left on device".
//
// Mounting needs the right to (root, or CAP_SYS_ADMIN); where it is
// missing, Mounted() is false and Reason() says why, for GTEST_SKIP.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace jolp::testing {

class SmallDisk {
public:
    explicit SmallDisk(size_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
    bool mounted_ = false;
    std::string reason_;
};

}  // namespace jolp::testing
