#include "tools/content/output_file.h"

#include "platform/file_write.h"

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
    return jolp::WriteWholeFile(path, bytes.data(), bytes.size(), error);
}

}  // namespace tarvel::content
