// mesh_chunks.h - bounding spheres of scene geometry and the split of large
// submeshes into spatial chunks, so that the renderer can leave out what a
// pass cannot see.
//
// SplitIntoChunks reorders the triangles of one indexed triangle list so that
// each chunk is a run of neighbouring triangles, and returns the runs with a
// bounding sphere each (object space). A list of up to maxTriangles triangles
// stays one chunk in its own order; a larger one is cut in two at the median
// of the triangle centres along the longest side of their box, again and
// again, until every piece is small enough. The order of the triangles inside
// a chunk is kept, and every triangle keeps its three indices as they were
// (the same winding, the same first vertex), so each triangle draws exactly
// as before; only which draw call holds it changes.
//
// The spheres hold every vertex the chunk's triangles address, with a margin
// for single-precision rounding, so a test against them never leaves out
// geometry that would have drawn a pixel. Indices out of range are the
// caller's to refuse before; here they are skipped in the bounds.
//
// SphereToWorld carries a sphere through an object-to-world matrix (row
// vectors): the centre transformed as a point, the radius scaled by the
// longest of the matrix's three axes.
//
// Pure functions on plain values; SplitIntoChunks allocates its result.
#pragma once

#include "scene/scene_file.h"
#include "scene/transform_math.h"

#include <cstdint>
#include <span>
#include <vector>

namespace jolp {

struct BoundingSphere {
    Vec3 centre{0.0f, 0.0f, 0.0f};
    float radius = -1.0f;  // negative: no bounds (never left out)
};

struct MeshChunk {
    uint32_t firstIndex = 0;
    uint32_t indexCount = 0;
    BoundingSphere bounds;  // object space
};

// Submeshes of more triangles than this are split; a chunk holds at most
// this many.
inline constexpr uint32_t kChunkTriangles = 1024;

// Reorders indices (a triangle list over vertices) into chunks and returns
// them in index order; an empty list gives no chunks.
std::vector<MeshChunk> SplitIntoChunks(std::span<const SceneVertex> vertices, std::span<uint32_t> indices,
                                       uint32_t maxTriangles = kChunkTriangles);

// The sphere around the vertices that indices[first, first + count) address.
BoundingSphere BoundIndexedVertices(std::span<const SceneVertex> vertices, std::span<const uint32_t> indices);

BoundingSphere SphereToWorld(const BoundingSphere& sphere, const Matrix& world);

}  // namespace jolp
