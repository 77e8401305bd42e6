// gltf_animation.h - the poses of glTF nodes and the animation channels
// that move them: a node's translation, rotation and scale as a matrix and
// back (column-major, as glTF writes matrices), and a channel's value at a
// time (STEP, LINEAR with spherical rotations, CUBICSPLINE).
#pragma once

#include "scene/transform_math.h"

#include <array>
#include <vector>

namespace jolp::tools {

// Column-major 4 x 4 in double, as glTF writes matrices (M = T * R * S).
using Mat4 = std::array<double, 16>;

inline constexpr Mat4 kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A node's local pose: translation, rotation (x, y, z, w), scale.
struct Pose {
    std::array<double, 3> t{0, 0, 0};
    std::array<double, 4> r{0, 0, 0, 1};
    std::array<double, 3> s{1, 1, 1};
};

Mat4 Multiply(const Mat4& a, const Mat4& b);
Mat4 PoseMatrix(const Pose& p);
// Translation, rotation and scale of a matrix without shear (a mirroring
// one gets a negative x scale).
Pose Decompose(const Mat4& m);
Transform ToTransform(const Pose& p);

enum class Path { Translation, Rotation, Scale };

struct Channel {
    int node = 0;
    Path path = Path::Translation;
    enum { Step, Linear, Cubic } interpolation = Linear;
    std::vector<float> times;
    std::vector<float> values;  // 3 or 4 a key; 3 times as many for Cubic
};

// The value of a channel at t: held before the first and after the last
// key; STEP, LINEAR (spherical for rotations) or CUBICSPLINE between. out
// gets 3 values, or 4 (a unit quaternion) for rotations.
void EvaluateChannel(const Channel& ch, float t, double* out);

}  // namespace jolp::tools
