#include "tools/content/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace tarvel::content {

bool MakeFolder(const std::string& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code) {
        error = path + ": cannot create folder (" + code.message() + ")";
        return false;
    }
    return true;
}

bool WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes, std::string& error) {
    const std::filesystem::path target(path);
    if (target.has_parent_path() && !MakeFolder(target.parent_path().string(), error)) return false;
    const std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = path + ": cannot write (" + std::strerror(errno) + ")";
        return false;
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": write failed (" + std::strerror(errno) + ")";
        std::remove(temporary.c_str());
        return false;
    }
    std::error_code code;
    std::filesystem::rename(temporary, target, code);
    if (code) {
        error = path + ": cannot rename into place (" + code.message() + ")";
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace tarvel::content
