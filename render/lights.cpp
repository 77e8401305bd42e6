#include "render/lights.h"

#include <algorithm>
#include <cmath>

namespace jolp {

RenderLight MakeRenderLight(std::string_view name) {
    RenderLight light;
    light.castsShadow = name.find("shadow") != std::string_view::npos;
    light.isVolume = name.find("volume") != std::string_view::npos;
    light.usesLightCube = name.find("cube") != std::string_view::npos;
    return light;
}

jolp::Matrix CubeFaceMatrix(const RenderLight& light, int32_t face) {
    // Rows of each face's rotation; the fourth row is (0, 0, 0, 1).
    static constexpr float kFaces[6][3][3] = {
        {{0, 0, 1}, {0, -1, 0}, {1, 0, 0}},     // +X
        {{0, 0, -1}, {0, -1, 0}, {-1, 0, 0}},   // -X
        {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},     // +Y
        {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}},   // -Y
        {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},    // +Z
        {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}},    // -Z
    };
    jolp::Matrix zero = ZeroMatrix();
    if (face < 0 || face > 5) return zero;

    jolp::Matrix translate = jolp::MatrixIdentity();
    translate.m[3][0] = -light.position.x;
    translate.m[3][1] = -light.position.y;
    translate.m[3][2] = -light.position.z;

    jolp::Matrix rotate = jolp::MatrixIdentity();
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) rotate.m[r][c] = kFaces[face][r][c];
    }

    jolp::Matrix project = ZeroMatrix();
    project.m[0][0] = 1.0f;
    project.m[1][1] = 1.0f;
    project.m[2][2] = kCubeFaceDepthScale;
    project.m[2][3] = -1.0f;
    project.m[3][2] = kCubeFaceDepthScale;
    return jolp::MatrixMultiply(jolp::MatrixMultiply(translate, rotate), project);
}

namespace {

// Narrows [lo, hi] (fractions of the picture) along one axis to the two
// planes through the eye that touch the sphere.
void ClipAxis(float a, float lz, float r, float t, float& lo, float& hi) {
    const float d = a * a + lz * lz;
    const float b = -r * a / d;
    const float c = (r * r - lz * lz) / d;
    const float disc = b * b - c;
    if (!(disc > 0.0f)) return;
    const float s = std::sqrt(disc);
    const float n1 = s - b;
    const float n2 = -b - s;
    const float m1 = (r - n1 * a) / lz;
    const float m2 = (r - n2 * a) / lz;
    const float s1 = (1.0f - m1 / (n1 * t)) * 0.5f;
    const float s2 = (1.0f - m2 / (n2 * t)) * 0.5f;
    const float z1 = (d - r * r) / (lz - m1 * a / n1);
    const float a1 = -(m1 * z1 / n1);
    const float z2 = (d - r * r) / (lz - m2 * a / n2);
    const float a2 = -(m2 * z2 / n2);
    if (a1 > a) hi = s1;
    if (a1 < a) lo = s1;
    if (a2 > a && s2 < hi) hi = s2;
    if (a2 < a && s2 > lo) lo = s2;
}

}  // namespace

bool LightScissorRect(const jolp::Vec3& position, const jolp::Matrix& v, float r, float fov, int32_t width,
                      int32_t height, LightRect& out) {
    const float lx = position.x * v.m[0][0] + position.y * v.m[1][0] + position.z * v.m[2][0] + v.m[3][0];
    const float ly = position.x * v.m[0][1] + position.y * v.m[1][1] + position.z * v.m[2][1] + v.m[3][1];
    const float lz = position.x * v.m[0][2] + position.y * v.m[1][2] + position.z * v.m[2][2] + v.m[3][2];
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const float t = std::tan(fov / 2.0f);
    const float ty = h * t / w;
    float xMin = 0.0f, xMax = 1.0f, yMin = 0.0f, yMax = 1.0f;
    ClipAxis(lx, lz, r, t, xMin, xMax);
    ClipAxis(ly, lz, r, ty, yMin, yMax);

    // Conversion toward zero; fractions far outside the picture (a light
    // near the eye plane) are held where the int conversion is defined.
    auto toInt = [](float f) {
        if (!(f > -1e9f)) return -1000000000;
        if (!(f < 1e9f)) return 1000000000;
        return static_cast<int32_t>(f);
    };
    const int32_t x0 = toInt(w * xMin), x1 = toInt(w * xMax);
    const int32_t y0 = toInt(h * yMin), y1 = toInt(h * yMax);
    if (x1 <= x0 || y1 <= y0) return false;
    out.left = std::min(std::max(x0, 0), width - 1);
    out.top = std::min(std::max(y0, 0), height - 1);
    out.width = std::min(x1 - out.left, width - out.left);
    out.height = std::min(y1 - out.top, height - out.top);
    return out.width > 0 && out.height > 0;
}

bool SphereScreenBounds(const jolp::Vec3& c, float r, const jolp::Matrix& p, float nearPlane, int32_t width,
                        int32_t height, LightRect& out) {
    if (!(r >= 0.0f) || !(c.z + r < -nearPlane)) return false;
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    float x0 = w, x1 = 0.0f, y0 = h, y1 = 0.0f;
    for (int corner = 0; corner < 8; ++corner) {
        const float x = c.x + ((corner & 1) ? r : -r);
        const float y = c.y + ((corner & 2) ? r : -r);
        const float z = c.z + ((corner & 4) ? r : -r);
        const float clipX = x * p.m[0][0] + y * p.m[1][0] + z * p.m[2][0] + p.m[3][0];
        const float clipY = x * p.m[0][1] + y * p.m[1][1] + z * p.m[2][1] + p.m[3][1];
        const float clipW = x * p.m[0][3] + y * p.m[1][3] + z * p.m[2][3] + p.m[3][3];
        if (!(clipW > 0.0f)) return false;
        const float sx = (clipX / clipW * 0.5f + 0.5f) * w;
        const float sy = (0.5f - clipY / clipW * 0.5f) * h;
        x0 = std::min(x0, sx), x1 = std::max(x1, sx);
        y0 = std::min(y0, sy), y1 = std::max(y1, sy);
    }
    const float left = std::clamp(std::floor(x0), 0.0f, w), right = std::clamp(std::ceil(x1), 0.0f, w);
    const float top = std::clamp(std::floor(y0), 0.0f, h), bottom = std::clamp(std::ceil(y1), 0.0f, h);
    out.left = static_cast<int32_t>(left);
    out.top = static_cast<int32_t>(top);
    out.width = std::max(static_cast<int32_t>(right) - out.left, 0);
    out.height = std::max(static_cast<int32_t>(bottom) - out.top, 0);
    return true;
}

}  // namespace jolp
