// animation.h - sampled animation: time-keyed value lists (KeyList), the
// scene's track table entries (AnimationTrack), and the camera record the
// render system builds its view from (CameraView).
//
// A KeyList owns its keys. Evaluation sorts a list the first time it is used
// after keys were added (Prepare) and then looks the time up by binary
// search: clamped to the first and last key, linear between two keys (a
// spherical blend for rotations). Evaluation allocates nothing; evaluating
// an empty list gives the neutral value (0, the zero vector, the identity
// transform).
#pragma once

#include "scene/transform_math.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

namespace jolp {

// The kind code of a track in the scene file.
enum class TrackKind : int32_t {
    Scalar = 0,     // one float
    Vector = 1,     // Vec3
    Transform = 2,  // Transform
};

namespace detail {
inline float Interpolate(float a, float b, float d) { return ScalarLerp(a, b, d); }
inline Vec3 Interpolate(const Vec3& a, const Vec3& b, float d) { return Vec3Lerp(a, b, d); }
inline Transform Interpolate(const Transform& a, const Transform& b, float d) { return TransformLerp(a, b, d); }
}  // namespace detail

template <typename T>
class KeyList {
public:
    struct Key {
        float time;
        T value;
    };

    void Reserve(size_t n) { keys.reserve(n); }

    void Add(float time, const T& value) {
        keys.push_back(Key{time, value});
        dirty = true;
    }

    // Sorts by ascending time if keys were added since the last call and
    // caches the first and last times.
    void Prepare() {
        if (!dirty || keys.empty()) return;
        std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.time < b.time; });
        firstTime = keys.front().time;
        lastTime = keys.back().time;
        dirty = false;
    }

    // The last key whose time is strictly below x, or 0 when none is.
    size_t FindKey(float x) {
        Prepare();
        size_t lo = 0;
        size_t hi = keys.size();
        while (hi - lo > 1) {
            const size_t mid = (lo + hi) / 2;
            if (x > keys[mid].time) {
                lo = mid;
            } else {
                hi = mid;
            }
        }
        return (lo + hi) / 2;
    }

    T Evaluate(float t) {
        Prepare();
        if (keys.empty()) return T{};
        float x = t;
        if (t < firstTime) {
            x = firstTime;
        } else if (t > lastTime) {
            x = lastTime;
        }
        const size_t i = FindKey(x);
        if (i + 1 >= keys.size()) return keys[i].value;
        const Key& a = keys[i];
        const Key& b = keys[i + 1];
        // Keys at one time (a list filled by hand, or times that stopped
        // growing in single precision) would divide zero by zero.
        if (!(b.time > a.time)) return a.value;
        const float d = (x - a.time) / (b.time - a.time);
        return detail::Interpolate(a.value, b.value, d);
    }

    size_t Size() const { return keys.size(); }

    std::vector<Key> keys;
    bool dirty = true;
    float firstTime = 0.0f;
    float lastTime = 0.0f;
};

// One entry of the scene's track table: the kind code as read and the key
// list of that kind. A kind other than 0, 1 or 2 holds no list.
struct AnimationTrack {
    int32_t kind = 0;
    std::variant<std::monostate, KeyList<float>, KeyList<Vec3>, KeyList<Transform>> keys;

    KeyList<float>* Scalars() { return std::get_if<KeyList<float>>(&keys); }
    KeyList<Vec3>* Vectors() { return std::get_if<KeyList<Vec3>>(&keys); }
    KeyList<Transform>* Transforms() { return std::get_if<KeyList<Transform>>(&keys); }
};

// The camera handed to the render system: sixteen floats.
struct CameraView {
    float fov = 45.0f;  // radians as the projection takes it
    float aspect = 4.0f / 3.0f;
    float nearPlane = 1.0f;
    float farPlane = 1000.0f;
    Vec3 position;
    Vec3 right;
    Vec3 forward;
    Vec3 up;
};
static_assert(sizeof(CameraView) == 16 * sizeof(float));

// The view used when a camera name is not in the scene: fov 45, aspect 4/3,
// near 1, far 1000, every vector zero.
inline CameraView DefaultCameraView() { return CameraView{}; }

}  // namespace jolp
