// temp_dir.h - TempDir, a fresh folder under the system's temporary folder,
// removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace jolp::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace jolp::testing
