// sky.h - the dusk sky over the valley as a function of direction, shared by
// the sky dome's texture, the sky cube map and the lake's reflection cube so
// that all three show the same sky. Directions are world directions, y up.
#pragma once

#include "scene/transform_math.h"
#include "tools/content/image.h"

namespace tarvel::content {

// Where the sun has just set: a warm glow low in the north-east.
jolp::Vec3 SunDirection();

// The sky seen along a unit direction: deep blue overhead with a few stars,
// orange and rose towards the horizon round the sunset, a band of clouds,
// dark haze below the horizon.
Colour SkyColour(const jolp::Vec3& direction);

// The direction the sky dome's texture coordinate (u, v) looks along:
// u runs once round (u = 0 towards +z, increasing towards +x), v from the
// zenith (0) to the nadir (1). The dome mesh places its vertices the same
// way.
jolp::Vec3 SkyDomeDirection(float u, float v);

// The sky dome's texture, width x height, u across and v down.
Image SkyDomeImage(int width, int height);

// Six faces of the sky as a cube map of the given edge; with mountains, a
// dark ridge rises above the horizon all round, as the lake sees it.
std::array<Image, 6> SkyCubeFaces(int edge, bool mountains);

}  // namespace tarvel::content
