// import_folder.cpp - see import_folder.h.
#include "tools/import_folder.h"

#include "scene/jolp3d.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace jolp::tools {
namespace {

namespace fs = std::filesystem;

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = path.string() + ": cannot write: " + std::strerror(errno);
        return false;
    }
    const bool wrote = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int savedErrno = errno;
    const bool closed = std::fclose(f) == 0;
    if (!wrote || !closed) {
        error = path.string() + ": cannot write: " + std::strerror(wrote ? errno : savedErrno);
        return false;
    }
    return true;
}

// The folders a data folder has, media/cubes among them (empty: an imported
// scene brings no cube maps, but a demo reads the folder).
bool Fill(const GltfImport& import, const fs::path& stage, std::string& error) {
    std::error_code ec;
    for (const char* sub : {"media/scenes", "media/texs", "media/cubes"}) {
        if (!fs::create_directories(stage / sub, ec) && ec) {
            error = (stage / sub).string() + ": cannot make the folder: " + ec.message();
            return false;
        }
    }
    for (const ImportedTexture& t : import.textures) {
        if (!WriteBytes(stage / "media/texs" / t.name, t.bytes, error)) return false;
    }
    std::string reason;
    const fs::path scene = stage / kScenePath;
    if (!WriteSceneFileTo(scene.string(), import.scene.File(), reason)) {
        error = scene.string() + ": cannot write: " + reason;
        return false;
    }
    return true;
}

bool Move(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) error = to.string() + ": cannot move into place: " + ec.message();
    return !ec;
}

}  // namespace

bool WriteImportFolder(const GltfImport& import, const std::string& out, std::string& error) {
    std::error_code ec;
    fs::path target(out);
    while (!target.empty() && !target.has_filename()) target = target.parent_path();  // "out/" is "out"
    const bool exists = fs::exists(target, ec);
    if (exists && !fs::is_directory(target, ec)) {
        error = out + ": exists and is not a folder";
        return false;
    }
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(parent, ec)) {
        error = parent.string() + ": no such folder";
        return false;
    }
    const fs::path stage = parent / ("." + target.filename().string() + ".import-" + std::to_string(getpid()));
    fs::remove_all(stage, ec);
    bool ok = Fill(import, stage, error);
    if (ok && !exists) {
        ok = Move(stage, target, error);
    } else if (ok) {
        for (const char* sub : {"media/scenes", "media/texs", "media/cubes"}) {
            if (!fs::create_directories(target / sub, ec) && ec) {
                error = (target / sub).string() + ": cannot make the folder: " + ec.message();
                ok = false;
                break;
            }
        }
        for (size_t i = 0; ok && i < import.textures.size(); ++i) {
            const std::string& name = import.textures[i].name;
            ok = Move(stage / "media/texs" / name, target / "media/texs" / name, error);
        }
        if (ok) ok = Move(stage / kScenePath, target / kScenePath, error);
    }
    fs::remove_all(stage, ec);
    return ok;
}

}  // namespace jolp::tools
