// import_folder.cpp - see import_folder.h.
#include "tools/import_folder.h"

#include "platform/file_write.h"
#include "scene/jolp3d.h"
#include "scene/scene_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <cstdlib>
#include <unistd.h>

namespace jolp::tools {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFolders[] = {"media/scenes", "media/texs", "media/cubes"};

// The folders a data folder has, media/cubes among them (empty: an imported
// scene brings no cube maps, but a demo reads the folder).
bool MakeFolders(const fs::path& root, std::string& error) {
    std::error_code ec;
    for (const char* sub : kFolders) {
        if (!fs::create_directories(root / sub, ec) && ec) {
            error = (root / sub).string() + ": cannot make the folder: " + ec.message();
            return false;
        }
    }
    return true;
}

// Every file of the import, each opened as an OutputFile under root and
// written, none put in place yet.
bool WriteAll(const GltfImport& import, const fs::path& root, std::vector<std::unique_ptr<OutputFile>>& files,
              std::string& error) {
    auto add = [&](const fs::path& path, const std::vector<uint8_t>& bytes) {
        files.push_back(std::make_unique<OutputFile>());
        OutputFile& file = *files.back();
        if (!file.Open(path.string(), error)) return false;
        file.Write(bytes.data(), bytes.size());
        return true;
    };
    for (const ImportedTexture& t : import.textures) {
        if (!add(root / "media/texs" / t.name, t.bytes)) return false;
    }
    // The scene last, so that it is put in place after the textures it names.
    return add(root / kScenePath, WriteSceneFile(import.scene.File()));
}

bool CommitAll(std::vector<std::unique_ptr<OutputFile>>& files, std::string& error) {
    for (auto& file : files) {
        if (!file->Commit(error)) return false;  // the rest are abandoned with the vector
    }
    return true;
}

}  // namespace

bool WriteImportFolder(const GltfImport& import, const std::string& out, std::string& error) {
    std::error_code ec;
    // "out/" is "out", "." the folder we are in; "/" is no data folder.
    fs::path target = fs::path(out).lexically_normal();
    if (!target.empty() && !target.has_filename()) target = target.parent_path();
    if (target.filename() == "." || target.filename() == "..") target = fs::absolute(target, ec).lexically_normal();
    if (!target.empty() && !target.has_filename()) target = target.parent_path();
    if (out.empty() || target.empty() || !target.has_filename() || target == target.root_path()) {
        error = (out.empty() ? std::string("\"\"") : out) +
                ": not a folder to import into (the root of the file system); name a data folder";
        return false;
    }
    const std::string last = target.filename().string();
    fs::file_status status = fs::symlink_status(target, ec);
    if (fs::is_symlink(status)) status = fs::status(target, ec);  // a link to a folder is that folder
    const bool exists = fs::exists(status);
    if (exists && !fs::is_directory(status)) {
        error = out + ": exists and is not a folder";
        return false;
    }
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(parent, ec)) {
        error = parent.string() + ": no such folder";
        return false;
    }

    std::vector<std::unique_ptr<OutputFile>> files;
    if (exists) {
        // Into an existing folder (a copy of a demo's run folder): every
        // file is written beside its name first, then all are put in place,
        // the scene last. Files replaced keep their permissions; links and
        // devices in the way are refused.
        return MakeFolders(target, error) && WriteAll(import, target, files, error) && CommitAll(files, error);
    }
    // A new folder is made whole under a hidden name of our own, then renamed.
    std::string stageName = (parent / ("." + last.substr(0, 200) + ".import-XXXXXX")).string();
    if (!::mkdtemp(stageName.data())) {
        error = parent.string() + ": cannot make a folder there: " + std::strerror(errno);
        return false;
    }
    const fs::path stage(stageName);
    bool ok = MakeFolders(stage, error) && WriteAll(import, stage, files, error) && CommitAll(files, error);
    if (ok) {
        fs::rename(stage, target, ec);
        if (ec) {
            error = target.string() + ": cannot move into place: " + ec.message();
            ok = false;
        }
    }
    files.clear();
    if (!ok) fs::remove_all(stage, ec);  // made by us, above
    return ok;
}

}  // namespace jolp::tools
