#include "tools/content/mesh_builder.h"

#include "tools/content/noise.h"

#include <cmath>
#include <map>
#include <tuple>

namespace tarvel::content {
namespace {

constexpr float kPi = 3.14159265358979f;

}  // namespace

jolp::Vec3 Add(const jolp::Vec3& a, const jolp::Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
jolp::Vec3 Sub(const jolp::Vec3& a, const jolp::Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
jolp::Vec3 Mul(const jolp::Vec3& a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float Dot(const jolp::Vec3& a, const jolp::Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
jolp::Vec3 Cross(const jolp::Vec3& a, const jolp::Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Length(const jolp::Vec3& a) { return std::sqrt(Dot(a, a)); }
jolp::Vec3 Normalise(const jolp::Vec3& a) {
    const float len = Length(a);
    return len > 0.0f ? Mul(a, 1.0f / len) : jolp::Vec3{0.0f, 0.0f, 0.0f};
}
jolp::Quat AxisAngle(const jolp::Vec3& axis, float angle) {
    const float s = std::sin(angle * 0.5f);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5f)};
}

uint32_t MeshData::AddVertex(const jolp::Vec3& position, const jolp::Vec3& normal, float u, float v) {
    jolp::SceneVertex vertex;
    vertex.position = position;
    vertex.normal = Normalise(normal);
    vertex.u = u;
    vertex.v = v;
    vertices.push_back(vertex);
    return static_cast<uint32_t>(vertices.size() - 1);
}

void MeshData::AddTriangle(uint32_t a, uint32_t b, uint32_t c) {
    const jolp::Vec3 pa = vertices[a].position, pb = vertices[b].position, pc = vertices[c].position;
    const jolp::Vec3 face = Cross(Sub(pb, pa), Sub(pc, pa));
    const float area = Length(face);
    const float scale = std::max(Length(Sub(pb, pa)), Length(Sub(pc, pa)));
    if (area <= 1e-6f * scale * scale) return;
    const jolp::Vec3 normal = Add(Add(vertices[a].normal, vertices[b].normal), vertices[c].normal);
    // Front faces turn (b - a) x (c - a) away from the side the normals
    // point to.
    if (Dot(face, normal) > 0.0f) std::swap(b, c);
    indices.insert(indices.end(), {a, b, c});
}

void MeshData::AddQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    AddTriangle(a, b, c);
    AddTriangle(a, c, d);
}

void MeshData::Append(const MeshData& other, const jolp::Quat& rotation, const jolp::Vec3& offset) {
    const auto base = static_cast<uint32_t>(vertices.size());
    for (jolp::SceneVertex v : other.vertices) {
        v.position = Add(jolp::QuatRotate(v.position, rotation), offset);
        v.normal = jolp::QuatRotate(v.normal, rotation);
        v.tangent = jolp::QuatRotate(v.tangent, rotation);
        v.binormal = jolp::QuatRotate(v.binormal, rotation);
        vertices.push_back(v);
    }
    for (uint32_t i : other.indices) indices.push_back(base + i);
}

void MeshData::FinishTangents() {
    std::vector<jolp::Vec3> du(vertices.size()), dv(vertices.size());
    for (size_t t = 0; t + 2 < indices.size(); t += 3) {
        const uint32_t i[3] = {indices[t], indices[t + 1], indices[t + 2]};
        const jolp::SceneVertex &a = vertices[i[0]], &b = vertices[i[1]], &c = vertices[i[2]];
        const jolp::Vec3 e1 = Sub(b.position, a.position), e2 = Sub(c.position, a.position);
        const float u1 = b.u - a.u, v1 = b.v - a.v, u2 = c.u - a.u, v2 = c.v - a.v;
        const float det = u1 * v2 - u2 * v1;
        if (std::abs(det) < 1e-12f) continue;
        const float r = 1.0f / det;
        // Position as a function of (u, v): dP/du and dP/dv of this triangle.
        const jolp::Vec3 pu = Mul(Sub(Mul(e1, v2), Mul(e2, v1)), r);
        const jolp::Vec3 pv = Mul(Sub(Mul(e2, u1), Mul(e1, u2)), r);
        for (uint32_t k : i) {
            du[k] = Add(du[k], pu);
            dv[k] = Add(dv[k], pv);
        }
    }
    for (size_t k = 0; k < vertices.size(); ++k) {
        jolp::SceneVertex& v = vertices[k];
        const jolp::Vec3 n = v.normal;
        jolp::Vec3 t = Normalise(Sub(du[k], Mul(n, Dot(n, du[k]))));
        if (Length(t) < 0.5f) t = Normalise(Cross(std::abs(n.y) < 0.9f ? jolp::Vec3{0, 1, 0} : jolp::Vec3{1, 0, 0}, n));
        // The binormal: perpendicular to both, on the side v increases.
        jolp::Vec3 b = Cross(n, t);
        if (Dot(b, dv[k]) < 0.0f) b = Mul(b, -1.0f);
        v.tangent = t;
        v.binormal = b;
    }
}

void MeshData::RecomputeNormals() {
    using Key = std::tuple<int64_t, int64_t, int64_t>;
    auto key = [](const jolp::Vec3& p) {
        return Key{std::llround(p.x * 1e4), std::llround(p.y * 1e4), std::llround(p.z * 1e4)};
    };
    std::map<Key, jolp::Vec3> sums;
    for (size_t t = 0; t + 2 < indices.size(); t += 3) {
        const jolp::Vec3 a = vertices[indices[t]].position, b = vertices[indices[t + 1]].position,
                         c = vertices[indices[t + 2]].position;
        // Front faces turn (b - a) x (c - a) away from their normal.
        const jolp::Vec3 n = Mul(Cross(Sub(b, a), Sub(c, a)), -1.0f);
        for (const jolp::Vec3& p : {a, b, c}) sums[key(p)] = Add(sums[key(p)], n);
    }
    for (jolp::SceneVertex& v : vertices) v.normal = Normalise(sums[key(v.position)]);
}

MeshData Boulder(float radius, int seed) {
    MeshData rock = Sphere(1.0f, 7, 11, false);
    for (jolp::SceneVertex& v : rock.vertices) {
        const jolp::Vec3 d = Normalise(v.position);
        const float bump = 0.28f * TileFbm(d.x * 0.25f + 0.5f, d.z * 0.25f + 0.5f + d.y * 0.2f, 4, 3, seed);
        const float r = radius * (1.0f + bump);
        v.position = {d.x * r, d.y * r * 0.7f, d.z * r};
        v.u *= 2.0f * radius;
        v.v *= 2.0f * radius;
    }
    rock.RecomputeNormals();
    rock.FinishTangents();
    return rock;
}

MeshData HeightField(float x0, float z0, float x1, float z1, int cells, const std::function<float(float, float)>& height,
                     float tile) {
    MeshData mesh;
    const float sx = (x1 - x0) / static_cast<float>(cells), sz = (z1 - z0) / static_cast<float>(cells);
    for (int j = 0; j <= cells; ++j) {
        for (int i = 0; i <= cells; ++i) {
            const float x = x0 + sx * static_cast<float>(i), z = z0 + sz * static_cast<float>(j);
            // Slopes across the neighbouring vertices, so that the normals
            // agree with the faces even where the height changes within a
            // cell (a crag's crest).
            const float hx = (height(x + sx, z) - height(x - sx, z)) / (2 * sx);
            const float hz = (height(x, z + sz) - height(x, z - sz)) / (2 * sz);
            mesh.AddVertex({x, height(x, z), z}, {-hx, 1.0f, -hz}, x / tile, z / tile);
        }
    }
    const auto row = static_cast<uint32_t>(cells + 1);
    for (uint32_t j = 0; j < static_cast<uint32_t>(cells); ++j) {
        for (uint32_t i = 0; i < static_cast<uint32_t>(cells); ++i) {
            const uint32_t a = j * row + i;
            mesh.AddQuad(a, a + 1, a + row + 1, a + row);
        }
    }
    mesh.FinishTangents();
    return mesh;
}

MeshData Box(const jolp::Vec3& size, float tile) {
    MeshData mesh;
    const jolp::Vec3 h = Mul(size, 0.5f);
    // Each face: normal, the axis u follows, the axis v follows (down the
    // texture), and the face's extents along them.
    struct Face {
        jolp::Vec3 n, uAxis, vAxis;
        float du, dv, dn;
    };
    const Face faces[6] = {
        {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}, h.z, h.y, h.x}, {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}, h.z, h.y, h.x},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}, h.x, h.z, h.y},   {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}, h.x, h.z, h.y},
        {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}, h.x, h.y, h.z},  {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}, h.x, h.y, h.z},
    };
    for (const Face& f : faces) {
        uint32_t corner[4];
        const float su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
        for (int k = 0; k < 4; ++k) {
            const jolp::Vec3 p = Add(Add(Mul(f.n, f.dn), Mul(f.uAxis, su[k] * f.du)), Mul(f.vAxis, sv[k] * f.dv));
            const float u = (su[k] * f.du + f.du) / tile, v = (sv[k] * f.dv + f.dv) / tile;
            corner[k] = mesh.AddVertex(p, f.n, u, v);
        }
        mesh.AddQuad(corner[0], corner[1], corner[2], corner[3]);
    }
    mesh.FinishTangents();
    return mesh;
}

MeshData Lathe(const std::vector<ProfilePoint>& profile, int sides, float uTurns, bool smooth, bool inward) {
    MeshData mesh;
    const size_t n = profile.size();
    // Outward normal of each profile segment in the (radius, y) plane.
    std::vector<std::pair<float, float>> segment(n - 1);
    for (size_t s = 0; s + 1 < n; ++s) {
        const float dr = profile[s + 1].radius - profile[s].radius, dy = profile[s + 1].y - profile[s].y;
        const float len = std::sqrt(dr * dr + dy * dy);
        segment[s] = {dy / len, -dr / len};
    }
    const float flip = inward ? -1.0f : 1.0f;
    auto ring = [&](size_t p, std::pair<float, float> normal) {
        const auto first = static_cast<uint32_t>(mesh.vertices.size());
        for (int k = 0; k <= sides; ++k) {
            const float a = 2.0f * kPi * static_cast<float>(k) / static_cast<float>(sides);
            const float sa = std::sin(a), ca = std::cos(a);
            const jolp::Vec3 pos{profile[p].radius * sa, profile[p].y, profile[p].radius * ca};
            const jolp::Vec3 nrm{normal.first * sa * flip, normal.second * flip, normal.first * ca * flip};
            mesh.AddVertex(pos, nrm, uTurns * static_cast<float>(k) / static_cast<float>(sides), profile[p].v);
        }
        return first;
    };
    auto join = [&](uint32_t lower, uint32_t upper) {
        for (uint32_t k = 0; k < static_cast<uint32_t>(sides); ++k)
            mesh.AddQuad(lower + k, lower + k + 1, upper + k + 1, upper + k);
    };
    if (smooth) {
        std::vector<uint32_t> rings(n);
        for (size_t p = 0; p < n; ++p) {
            float nr = 0.0f, ny = 0.0f;
            if (p > 0) nr += segment[p - 1].first, ny += segment[p - 1].second;
            if (p + 1 < n) nr += segment[p].first, ny += segment[p].second;
            const float len = std::sqrt(nr * nr + ny * ny);
            rings[p] = ring(p, {nr / len, ny / len});
        }
        for (size_t s = 0; s + 1 < n; ++s) join(rings[s], rings[s + 1]);
    } else {
        for (size_t s = 0; s + 1 < n; ++s) join(ring(s, segment[s]), ring(s + 1, segment[s]));
    }
    mesh.FinishTangents();
    return mesh;
}

MeshData Sphere(float radius, int rings, int sides, bool inward) {
    std::vector<ProfilePoint> profile;
    for (int r = rings; r >= 0; --r) {
        const float polar = kPi * static_cast<float>(r) / static_cast<float>(rings);
        // Poles a hair off the axis keep the tangent frame defined there.
        const float ring = std::max(std::sin(polar), 1e-4f);
        profile.push_back({radius * ring, radius * std::cos(polar), static_cast<float>(r) / static_cast<float>(rings)});
    }
    return Lathe(profile, sides, 1.0f, true, inward);
}

MeshData Plane(float sizeX, float sizeZ, int cells, float tile) {
    return HeightField(-sizeX * 0.5f, -sizeZ * 0.5f, sizeX * 0.5f, sizeZ * 0.5f, cells, [](float, float) { return 0.0f; },
                       tile);
}

}  // namespace tarvel::content
