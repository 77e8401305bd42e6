// particle_images.h - the six particle images of media/particles: soft
// round glows in red, yellow, green and blue, a pale wind streak, and a
// flame with alpha. The additive pass multiplies colour by alpha and adds
// it, so black (or zero alpha) is where a particle shows nothing; every
// image fades to that well inside its border.
#pragma once

#include "tools/content/textures.h"

#include <vector>

namespace tarvel::content {

std::vector<ContentFile> ParticleImageFiles();

}  // namespace tarvel::content
