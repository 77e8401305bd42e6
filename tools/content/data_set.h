// data_set.h - writes the demo's whole data set into a run folder: the six
// named textures, media/texs, media/cubes, the particle images, the render
// system's light cube, the scene file and the music. Every file goes
// through a temporary name (output_file.h); the output depends on nothing
// but this code, so every run writes the same bytes.
#pragma once

#include <functional>
#include <string>

namespace tarvel::content {

// Path of the scene file inside the run folder.
inline constexpr const char* kSceneFile = "media/scenes/scene.JOLP3D";

// Writes everything under runFolder; progress gets one line per stage.
// False with the first failure in error, naming the file.
bool WriteDataSet(const std::string& runFolder, const std::function<void(const std::string&)>& progress,
                  std::string& error);

// Only the scene file, for tools and tests that need nothing else.
bool WriteScene(const std::string& runFolder, std::string& error);

}  // namespace tarvel::content
