// lights.h - the arithmetic of point lights: their kind from the scene
// name, the matrices of the six shadow cube faces, and the screen rectangle
// a light's sphere covers.
//
// Pure functions over plain records; the render system draws with them
// (render_system.cpp, DrawLight).
#pragma once

#include "scene/draw_submission.h"
#include "scene/transform_math.h"

#include <cstdint>
#include <string_view>

namespace jolp {

// The near-1, far-about-5000 depth term of the shadow faces' projection:
// exactly the single-precision value with bits 0xBF80068E.
inline constexpr float kCubeFaceDepthScale = -1.0002000331878662f;

// All sixteen entries 0 (a Matrix starts as the identity).
inline jolp::Matrix ZeroMatrix() {
    jolp::Matrix m;
    for (auto& row : m.m) {
        for (float& v : row) v = 0.0f;
    }
    return m;
}

// A render light with the values at creation and the kind taken from the
// name by case-sensitive search: "shadow" casts shadows, "volume" glows
// along the view, "cube" is projected through the light cube.
RenderLight MakeRenderLight(std::string_view sceneLightName);

// World to clip space of shadow cube face 0..5 (+X, -X, +Y, -Y, +Z, -Z)
// around the light: translation to the light, the face's rotation, and a
// square 90-degree projection. All zero for any other face index.
jolp::Matrix CubeFaceMatrix(const RenderLight& light, int32_t face);

struct LightRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The pixel rectangle covering the sphere of radius r around position, seen
// through the view matrix with vertical field of view fov on a width x
// height picture, from the planes through the eye that touch the sphere.
// False when the bounds cross or the clamped rectangle is empty (out is
// written either way).
bool LightScissorRect(const jolp::Vec3& position, const jolp::Matrix& view, float r, float fov, int32_t width,
                      int32_t height, LightRect& out);

// The pixel rectangle holding the sphere of radius r around a view-space
// centre, from the corners of its box through the projection: a little
// larger than the sphere's outline, never smaller. False when part of the
// sphere is not in front of the near plane. The rectangle is clamped to the
// picture and may be empty (the sphere is off screen).
bool SphereScreenBounds(const jolp::Vec3& viewCentre, float r, const jolp::Matrix& projection, float nearPlane,
                        int32_t width, int32_t height, LightRect& out);

}  // namespace jolp
