#include "scene/mesh_chunks.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace jolp {
namespace {

struct Box {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void Add(const Vec3& p) {
        const double v[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], v[a]);
            hi[a] = std::max(hi[a], v[a]);
        }
    }
    bool Empty() const { return lo[0] > hi[0]; }
};

// Centre of a triangle's box, along each axis.
struct TriangleCentre {
    float c[3];
};

void Split(std::vector<uint32_t>& order, size_t begin, size_t end, const std::vector<TriangleCentre>& centres,
           uint32_t maxTriangles, std::vector<std::pair<size_t, size_t>>& pieces) {
    if (end - begin <= maxTriangles) {
        pieces.emplace_back(begin, end);
        return;
    }
    Box box;
    for (size_t i = begin; i < end; ++i) {
        const TriangleCentre& t = centres[order[i]];
        box.Add(Vec3{t.c[0], t.c[1], t.c[2]});
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
        if (box.hi[a] - box.lo[a] > box.hi[axis] - box.lo[axis]) axis = a;
    }
    const size_t middle = begin + (end - begin) / 2;
    // Ties broken by the triangle's place in the list, so the split is the
    // same on every machine.
    std::nth_element(order.begin() + static_cast<std::ptrdiff_t>(begin),
                     order.begin() + static_cast<std::ptrdiff_t>(middle),
                     order.begin() + static_cast<std::ptrdiff_t>(end), [&](uint32_t a, uint32_t b) {
                         const float ca = centres[a].c[axis], cb = centres[b].c[axis];
                         return ca < cb || (ca == cb && a < b);
                     });
    Split(order, begin, middle, centres, maxTriangles, pieces);
    Split(order, middle, end, centres, maxTriangles, pieces);
}

}  // namespace

BoundingSphere BoundIndexedVertices(std::span<const SceneVertex> vertices, std::span<const uint32_t> indices) {
    Box box;
    for (uint32_t i : indices) {
        if (i < vertices.size()) box.Add(vertices[i].position);
    }
    BoundingSphere sphere;
    if (box.Empty()) return sphere;
    const double c[3] = {(box.lo[0] + box.hi[0]) * 0.5, (box.lo[1] + box.hi[1]) * 0.5, (box.lo[2] + box.hi[2]) * 0.5};
    double r2 = 0.0;
    for (uint32_t i : indices) {
        if (i >= vertices.size()) continue;
        const Vec3& p = vertices[i].position;
        const double d[3] = {p.x - c[0], p.y - c[1], p.z - c[2]};
        r2 = std::max(r2, d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }
    // A margin for the single-precision sums that place the vertices and
    // test the sphere.
    const double extent = std::sqrt(r2) + std::fabs(c[0]) + std::fabs(c[1]) + std::fabs(c[2]);
    sphere.centre = Vec3{static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
    sphere.radius = static_cast<float>(std::sqrt(r2) + extent * 1e-4 + 1e-5);
    return sphere;
}

std::vector<MeshChunk> SplitIntoChunks(std::span<const SceneVertex> vertices, std::span<uint32_t> indices,
                                       uint32_t maxTriangles) {
    std::vector<MeshChunk> chunks;
    const size_t triangles = indices.size() / 3;
    if (triangles == 0) return chunks;
    maxTriangles = std::max<uint32_t>(maxTriangles, 1);
    if (triangles <= maxTriangles) {
        chunks.push_back(MeshChunk{0, static_cast<uint32_t>(triangles * 3), BoundIndexedVertices(vertices, indices)});
        return chunks;
    }

    std::vector<TriangleCentre> centres(triangles);
    for (size_t t = 0; t < triangles; ++t) {
        Box box;
        for (int k = 0; k < 3; ++k) {
            const uint32_t i = indices[t * 3 + k];
            if (i < vertices.size()) box.Add(vertices[i].position);
        }
        for (int a = 0; a < 3; ++a) {
            centres[t].c[a] = box.Empty() ? 0.0f : static_cast<float>((box.lo[a] + box.hi[a]) * 0.5);
        }
    }
    std::vector<uint32_t> order(triangles);
    std::iota(order.begin(), order.end(), 0u);
    std::vector<std::pair<size_t, size_t>> pieces;
    Split(order, 0, triangles, centres, maxTriangles, pieces);

    const std::vector<uint32_t> source(indices.begin(), indices.begin() + static_cast<std::ptrdiff_t>(triangles * 3));
    size_t out = 0;
    for (const auto& [begin, end] : pieces) {
        // Inside a chunk the triangles keep the order they had.
        std::sort(order.begin() + static_cast<std::ptrdiff_t>(begin), order.begin() + static_cast<std::ptrdiff_t>(end));
        MeshChunk chunk;
        chunk.firstIndex = static_cast<uint32_t>(out);
        for (size_t i = begin; i < end; ++i) {
            for (int k = 0; k < 3; ++k) indices[out++] = source[order[i] * 3 + k];
        }
        chunk.indexCount = static_cast<uint32_t>(out) - chunk.firstIndex;
        chunk.bounds = BoundIndexedVertices(vertices, indices.subspan(chunk.firstIndex, chunk.indexCount));
        chunks.push_back(chunk);
    }
    return chunks;
}

BoundingSphere SphereToWorld(const BoundingSphere& sphere, const Matrix& world) {
    if (sphere.radius < 0.0f) return sphere;
    const auto& m = world.m;
    const Vec3& c = sphere.centre;
    BoundingSphere out;
    out.centre = Vec3{c.x * m[0][0] + c.y * m[1][0] + c.z * m[2][0] + m[3][0],
                      c.x * m[0][1] + c.y * m[1][1] + c.z * m[2][1] + m[3][1],
                      c.x * m[0][2] + c.y * m[1][2] + c.z * m[2][2] + m[3][2]};
    // The longest a unit vector can become: the square root of the largest
    // eigenvalue of the rows' Gram matrix, bounded by its largest absolute
    // row sum (exact for the usual scaled rotation, whose rows are
    // orthogonal; larger, so still safe, for a shear).
    float scale2 = 0.0f;
    for (int r = 0; r < 3; ++r) {
        float sum = 0.0f;
        for (int s = 0; s < 3; ++s) sum += std::fabs(m[r][0] * m[s][0] + m[r][1] * m[s][1] + m[r][2] * m[s][2]);
        scale2 = std::max(scale2, sum);
    }
    const float extent = std::fabs(out.centre.x) + std::fabs(out.centre.y) + std::fabs(out.centre.z);
    out.radius = sphere.radius * std::sqrt(scale2) * 1.0001f + extent * 1e-5f;
    if (!std::isfinite(out.radius) || !std::isfinite(extent)) out.radius = -1.0f;  // no bounds to trust
    return out;
}

}  // namespace jolp
