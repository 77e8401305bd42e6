// mesh_builder.h - MeshData, the vertices and triangles of one submesh as
// the generator builds it, and the shapes the valley is made of: height
// field grids, boxes, surfaces of revolution (columns, posts, bowls, domes,
// spheres) and flat quads.
//
// Conventions every mesh of the data set follows (the renderer relies on
// them):
//  - Front faces are clockwise on screen. In our right-handed world (y up)
//    that means for a triangle (a, b, c) seen from the side its normals
//    point to, (b - a) x (c - a) points away from the viewer: AddTriangle
//    orders the corners so, from the normals it is given.
//  - tangent = the direction in which u increases, binormal = the direction
//    in which v increases (v = 0 is the top row of an image, so the binormal
//    points down the texture), both unit length and perpendicular to the
//    normal. Normal maps store x along the tangent and y along the binormal
//    (image.h), so no material needs the swapNormal switches.
// Tangents and binormals are derived from positions and texture
// coordinates by FinishTangents; shapes only give positions, normals and
// texture coordinates.
#pragma once

#include "scene/scene_file.h"
#include "scene/transform_math.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tarvel::content {

struct MeshData {
    std::vector<jolp::SceneVertex> vertices;
    std::vector<uint32_t> indices;

    uint32_t AddVertex(const jolp::Vec3& position, const jolp::Vec3& normal, float u, float v);
    // One triangle, wound front-facing for the side its vertex normals
    // point to; a triangle of (nearly) no area is left out.
    void AddTriangle(uint32_t a, uint32_t b, uint32_t c);
    // Two triangles a b c and a c d of a quad given in order round its edge.
    void AddQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
    // Appends other moved by a rotation and a translation (no scale, so
    // normals and tangents only rotate).
    void Append(const MeshData& other, const jolp::Quat& rotation, const jolp::Vec3& offset);
    // Tangents and binormals from the texture coordinates (see above).
    void FinishTangents();
    // Smooth normals from the triangles (front faces as wound), shared by
    // vertices at the same place so that seams do not show; for shapes
    // whose vertices were moved after they were made.
    void RecomputeNormals();
    size_t TriangleCount() const { return indices.size() / 3; }
};

// A grid over x in [x0, x1], z in [z0, z1] with `cells` squares a side,
// y = height(x, z), normals from the height's slope across neighbouring
// vertices, texture coordinates (x / tile, z / tile).
MeshData HeightField(float x0, float z0, float x1, float z1, int cells, const std::function<float(float, float)>& height,
                     float tile);

// An axis-aligned box centred on the origin with the given full size;
// texture coordinates are in metres / tile on every face.
MeshData Box(const jolp::Vec3& size, float tile);

// A profile point of a surface of revolution round the y axis: radius,
// height, and the texture coordinate v there.
struct ProfilePoint {
    float radius = 0.0f;
    float y = 0.0f;
    float v = 0.0f;
};
// Revolves the profile (listed bottom to top) with `sides` segments; u runs
// round uTurns times. smooth shares normals between profile segments (a
// dome, a sphere); otherwise every segment is a flat band (a column's
// mouldings). inward turns the normals to the axis (a dome seen from
// inside).
MeshData Lathe(const std::vector<ProfilePoint>& profile, int sides, float uTurns, bool smooth, bool inward = false);

// A sphere of the given radius with v from the top (0) to the bottom (1).
MeshData Sphere(float radius, int rings, int sides, bool inward);

// A boulder of about the given radius: a squat sphere pushed in and out
// by noise (set it a little into the ground); seed picks the shape.
MeshData Boulder(float radius, int seed);

// A flat rectangle in the xz plane at y = 0 facing +y, subdivided, with
// texture coordinates (x / tile, z / tile).
MeshData Plane(float sizeX, float sizeZ, int cells, float tile);

jolp::Vec3 Add(const jolp::Vec3& a, const jolp::Vec3& b);
jolp::Vec3 Sub(const jolp::Vec3& a, const jolp::Vec3& b);
jolp::Vec3 Mul(const jolp::Vec3& a, float k);
float Dot(const jolp::Vec3& a, const jolp::Vec3& b);
jolp::Vec3 Cross(const jolp::Vec3& a, const jolp::Vec3& b);
float Length(const jolp::Vec3& a);
jolp::Vec3 Normalise(const jolp::Vec3& a);
// Rotation about a unit axis by an angle in radians.
jolp::Quat AxisAngle(const jolp::Vec3& axis, float angle);

}  // namespace tarvel::content
