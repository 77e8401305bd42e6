// surface_frames.cpp - see surface_frames.h.
#include "tools/surface_frames.h"

#include <cmath>

namespace jolp::tools {

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Scaled(const Vec3& a, float k) { return {a.x * k, a.y * k, a.z * k}; }
Vec3 Plus(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Unit(const Vec3& a, const Vec3& fallback) {
    const float len = std::sqrt(Dot(a, a));
    return len > 1e-20f && std::isfinite(len) ? Scaled(a, 1.0f / len) : fallback;
}

void ComputeNormals(std::vector<SceneVertex>& v, const std::vector<uint32_t>& idx) {
    std::vector<Vec3> sum(v.size(), Vec3{0, 0, 0});
    for (size_t t = 0; t + 2 < idx.size(); t += 3) {
        const Vec3 n = Cross(Sub(v[idx[t + 1]].position, v[idx[t]].position), Sub(v[idx[t + 2]].position, v[idx[t]].position));
        for (int k = 0; k < 3; ++k) sum[idx[t + k]] = Plus(sum[idx[t + k]], n);
    }
    for (size_t i = 0; i < v.size(); ++i) v[i].normal = Unit(sum[i], {0, 1, 0});
}

void ComputeTangents(std::vector<SceneVertex>& v, const std::vector<uint32_t>& idx) {
    std::vector<Vec3> tan(v.size(), Vec3{0, 0, 0}), bin(v.size(), Vec3{0, 0, 0});
    for (size_t t = 0; t + 2 < idx.size(); t += 3) {
        const SceneVertex &a = v[idx[t]], &b = v[idx[t + 1]], &c = v[idx[t + 2]];
        const Vec3 e1 = Sub(b.position, a.position), e2 = Sub(c.position, a.position);
        const float du1 = b.u - a.u, dv1 = b.v - a.v, du2 = c.u - a.u, dv2 = c.v - a.v;
        const float det = du1 * dv2 - du2 * dv1;
        if (std::fabs(det) < 1e-20f) continue;
        const float r = 1.0f / det;
        const Vec3 sdir = Scaled(Sub(Scaled(e1, dv2), Scaled(e2, dv1)), r);
        const Vec3 tdir = Scaled(Sub(Scaled(e2, du1), Scaled(e1, du2)), r);
        for (int k = 0; k < 3; ++k) {
            tan[idx[t + k]] = Plus(tan[idx[t + k]], sdir);
            bin[idx[t + k]] = Plus(bin[idx[t + k]], tdir);
        }
    }
    for (size_t i = 0; i < v.size(); ++i) {
        const Vec3 n = v[i].normal;
        const Vec3 other = std::fabs(n.x) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
        const Vec3 fallback = Unit(Cross(other, n), {1, 0, 0});
        const Vec3 t = Unit(Sub(tan[i], Scaled(n, Dot(n, tan[i]))), fallback);
        Vec3 b = Cross(n, t);
        if (Dot(b, bin[i]) < 0.0f) b = Scaled(b, -1.0f);
        v[i].tangent = t;
        v[i].binormal = b;
    }
}

}  // namespace jolp::tools
