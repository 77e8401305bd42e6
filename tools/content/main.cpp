// tarvel_content - writes the demo's data set into a run folder.
//
//   tarvel_content RUN_FOLDER
//
// Everything the demo loads besides its effect files: the named textures,
// media/texs, media/cubes, media/particles, lightCube.dds, the scene
// media/scenes/scene.JOLP3D and media/music.ogg. The output is the same
// bytes on every run. Exit status: 0 done, 1 a file could not be written,
// 2 a bad command line.
#include "platform/standard_output.h"
#include "tools/content/data_set.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: tarvel_content RUN_FOLDER\n"
    "Writes the demo's data set into RUN_FOLDER (the folder of the tarvel binary):\n"
    "  LightCube.dds, sunol_cubemap.dds, powerBall.jpg, texture1_d.tga,\n"
    "  four_NM_height.dds, texture1_s.tga   the named textures\n"
    "  lightCube.dds                        the light cube of \"cube\" lights\n"
    "  media/texs/, media/cubes/            surface textures and cube maps\n"
    "  media/particles/                     the six particle images\n"
    "  media/scenes/scene.JOLP3D            the scene\n"
    "  media/music.ogg                      the music\n"
    "Every file is procedural and written through a temporary name; the same\n"
    "bytes come out on every run.\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be written, 2 bad command line.\n";

int Run(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string folder = argv[1];
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    const bool ok = tarvel::content::WriteDataSet(
        folder, [](const std::string& line) { std::printf("tarvel_content: %s\n", line.c_str()), std::fflush(stdout); },
        error);
    if (!ok) {
        std::fprintf(stderr, "tarvel_content: %s\n", error.c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("tarvel_content: data set written to %s in %.1f s\n", folder.c_str(), seconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return jolp::FinishStandardOutput("tarvel_content", Run(argc, argv)); }
