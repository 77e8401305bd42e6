#include "render/culling.h"

#include <cmath>

namespace jolp {

CullVolume CullVolume::FromClipMatrix(const Matrix& clip, bool nearAtEye) {
    const auto& m = clip.m;
    // Column k of the matrix gives clip coordinate k of a point.
    auto column = [&](int k) { return Plane{m[0][k], m[1][k], m[2][k], m[3][k]}; };
    auto plus = [](Plane p, Plane q) { return Plane{p.a + q.a, p.b + q.b, p.c + q.c, p.d + q.d}; };
    auto minus = [](Plane p, Plane q) { return Plane{p.a - q.a, p.b - q.b, p.c - q.c, p.d - q.d}; };
    const Plane x = column(0), y = column(1), z = column(2), w = column(3);
    const Plane all[6] = {plus(w, x), minus(w, x), plus(w, y), minus(w, y), nearAtEye ? w : z, minus(w, z)};
    CullVolume volume;
    for (Plane p : all) {
        const float length = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
        if (!(length > 0.0f) || !std::isfinite(length)) continue;  // a degenerate plane culls nothing
        volume.planes_[volume.planeCount_++] = Plane{p.a / length, p.b / length, p.c / length, p.d / length};
    }
    return volume;
}

CullVolume CullVolume::WithSphere(const Vec3& centre, float radius) const {
    CullVolume volume = *this;
    volume.hasSphere_ = radius >= 0.0f && std::isfinite(radius);
    volume.sphereCentre_ = centre;
    volume.sphereRadius_ = radius;
    return volume;
}

bool CullVolume::TouchesSphere(const Vec3& c, float r) const {
    if (!(r >= 0.0f) || !std::isfinite(r)) return true;
    const float extent = std::fabs(c.x) + std::fabs(c.y) + std::fabs(c.z);
    for (int i = 0; i < planeCount_; ++i) {
        const Plane& p = planes_[i];
        const float distance = p.a * c.x + p.b * c.y + p.c * c.z + p.d;
        if (distance < -(r * 1.0001f + std::fabs(p.d) * 1e-5f + extent * 1e-5f + 1e-4f)) return false;
    }
    if (hasSphere_) {
        const float dx = c.x - sphereCentre_.x, dy = c.y - sphereCentre_.y, dz = c.z - sphereCentre_.z;
        const float reach = (r + sphereRadius_) * 1.0001f + 1e-4f;
        if (dx * dx + dy * dy + dz * dz > reach * reach) return false;
    }
    return true;
}

}  // namespace jolp
