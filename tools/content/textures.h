// textures.h - the surfaces of the valley as procedural, tileable images:
// ground, flagstones, bricks, column stone, wood, iron, water ripples, lamp
// glass and the power ball, and the table of texture files made from them
// (the named textures in the run folder and the files of media/texs and
// media/cubes). Every surface gives its diffuse, normal (with the height in
// alpha where a parallax material reads it), specular and ambient-occlusion
// images from one set of functions of (u, v), so the maps agree at any size.
#pragma once

#include "tools/content/image.h"

#include <functional>
#include <string>
#include <vector>

namespace tarvel::content {

// One file of the data set: its path relative to the run folder and what
// makes its bytes.
struct ContentFile {
    std::string path;
    std::function<std::vector<uint8_t>()> make;
};

// The six named textures, media/texs/* and media/cubes/*, in a fixed order.
std::vector<ContentFile> TextureFiles();

}  // namespace tarvel::content
