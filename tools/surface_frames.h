// surface_frames.h - the per-vertex frame the surface effects light with,
// made for meshes whose file has none: normals from the triangles (area
// weighted), tangents along u and binormals along v of the texture
// coordinates, all unit length and across the normal. Also the few vector
// operations the importer works with.
#pragma once

#include "scene/scene_file.h"

#include <cstdint>
#include <vector>

namespace jolp::tools {

Vec3 Sub(const Vec3& a, const Vec3& b);
Vec3 Cross(const Vec3& a, const Vec3& b);
float Dot(const Vec3& a, const Vec3& b);
Vec3 Scaled(const Vec3& a, float k);
Vec3 Plus(const Vec3& a, const Vec3& b);
// a at unit length, or fallback when a has none (zero, or not finite).
Vec3 Unit(const Vec3& a, const Vec3& fallback);

// Area-weighted vertex normals over the triangle list idx (whose corners
// run counter-clockwise seen from the front).
void ComputeNormals(std::vector<SceneVertex>& v, const std::vector<uint32_t>& idx);
// Tangent along +u and binormal along +v of the texture, per vertex,
// orthogonal to the normal; any perpendicular pair where the texture
// coordinates do not span the triangles.
void ComputeTangents(std::vector<SceneVertex>& v, const std::vector<uint32_t>& idx);

}  // namespace jolp::tools
