#include "tools/content/data_set.h"

#include "scene/scene_file.h"
#include "tools/content/output_file.h"
#include "tools/content/particle_images.h"
#include "tools/content/scene_design.h"
#include "tools/content/textures.h"

#if __has_include("tools/content/music.h")
#include "tools/content/music.h"
#define TARVEL_CONTENT_HAS_MUSIC 1
#endif

#include <atomic>
#include <thread>
#include <vector>

namespace tarvel::content {
namespace {

// Makes and writes the files, on two threads: images are independent of
// each other and each is made by a pure function, so the bytes do not
// depend on which thread made them.
bool WriteFiles(const std::string& runFolder, const std::vector<ContentFile>& files, std::string& error) {
    std::atomic<size_t> next{0};
    std::vector<std::string> errors(files.size());
    auto work = [&] {
        for (size_t i = next++; i < files.size(); i = next++) {
            const std::vector<uint8_t> bytes = files[i].make();
            if (bytes.empty()) {
                errors[i] = runFolder + "/" + files[i].path + ": could not be encoded";
                continue;
            }
            WriteFileAtomic(runFolder + "/" + files[i].path, bytes, errors[i]);
        }
    };
    std::thread helper(work);
    work();
    helper.join();
    for (const std::string& e : errors) {
        if (!e.empty()) {
            error = e;
            return false;
        }
    }
    return true;
}

}  // namespace

bool WriteScene(const std::string& runFolder, std::string& error) {
    jolp::SceneFileBuilder builder;
    BuildTarvelScene(builder);
    const std::vector<uint8_t> bytes = builder.Write();
    return WriteFileAtomic(runFolder + "/" + kSceneFile, bytes, error);
}

bool WriteDataSet(const std::string& runFolder, const std::function<void(const std::string&)>& progress,
                  std::string& error) {
    const std::vector<ContentFile> textures = TextureFiles();
    progress("textures and cube maps: " + std::to_string(textures.size()) + " files");
    if (!WriteFiles(runFolder, textures, error)) return false;
    const std::vector<ContentFile> particles = ParticleImageFiles();
    progress("particle images: " + std::to_string(particles.size()) + " files");
    if (!WriteFiles(runFolder, particles, error)) return false;
    progress(std::string("scene: ") + kSceneFile);
    if (!WriteScene(runFolder, error)) return false;
#ifdef TARVEL_CONTENT_HAS_MUSIC
    progress("music: media/music.ogg");
    if (!WriteMusic(runFolder + "/media/music.ogg", error)) return false;
#else
    progress("music: not built into this generator yet, media/music.ogg left out");
#endif
    return true;
}

}  // namespace tarvel::content
