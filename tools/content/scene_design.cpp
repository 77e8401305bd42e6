#include "tools/content/scene_design.h"

#include "tools/content/mesh_builder.h"
#include "tools/content/noise.h"
#include "tools/content/valley.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace tarvel::content {
namespace {

using jolp::Quat;
using jolp::Transform;
using jolp::Vec3;

constexpr float kPi = 3.14159265358979f;
constexpr float kAspect = 16.0f / 9.0f;
constexpr Vec3 kUp{0.0f, 1.0f, 0.0f};

float Radians(float degrees) { return degrees * kPi / 180.0f; }
Vec3 Lerp(const Vec3& a, const Vec3& b, float t) { return Add(a, Mul(Sub(b, a), t)); }
Vec3 OnGround(float x, float z, float above) { return {x, TerrainHeight(x, z) + above, z}; }
Vec3 Court(float dx, float y, float dz) { return {kCourtCentre.x + dx, y, kCourtCentre.z + dz}; }

constexpr Shot kShots[] = {
    {"Camera01", 0.0f, 5.0f, "high over the southern entrance: the whole valley at dusk, lake and ruins far off"},
    {"Camera02", 5.0f, 10.0f, "skimming the lake towards the sunset glow and its reflection"},
    {"Camera03", 10.0f, 13.6f, "tracking past the gate and its two mirrored guardians"},
    {"Camera04", 13.6f, 22.3f, "walking up the lamp-lit path towards the gate"},
    {"Camera05", 22.3f, 31.2f, "through the gate: the court, the altar and the floating orb appear"},
    {"Camera06", 31.2f, 40.1f, "circling outside the ring of broken columns"},
    {"Camera07", 40.1f, 51.2f, "rising along the broken brick wall"},
    {"Camera08", 51.2f, 66.0f, "round the stepped altar, the orb and the lantern circling it"},
    {"Camera09", 66.0f, 95.4f, "long crane away from the orb; the four wisps are born from it"},
    {"Camera10", 95.4f, 104.4f, "following the wisps round the ring of columns"},
    {"Camera11", 104.4f, 112.7f, "from the court floor: the wisps sweep along the wall and over it"},
    {"Camera12", 112.7f, 130.1f, "pulling back as the wisps spiral up round the orb and sink into it"},
    {"Camera13", 130.1f, 133.8f, "the water wheel turning at the shore under its lantern"},
    {"Camera14", 133.8f, 139.4f, "along the pier to its swinging lantern"},
    {"Camera15", 139.4f, 145.0f, "from the terrace across the darkening lake"},
    {"Camera16", 145.0f, 149.3f, "the brazier flares up; a gust rises over the water"},
    {"Camera17", 149.3f, 155.0f, "side-on from the shore: the flames lean towards the lake"},
    {"Camera18", 155.0f, 158.6f, "close on the fire with the wind circling it"},
    {"Camera19", 158.6f, 175.6f, "long orbit round the brazier, the lake behind"},
    {"Camera20", 175.6f, 204.4f, "final crane up and away until the valley lies below"},
};

// ---------------------------------------------------------------- paths

// Catmull-Rom through points, s in [0, 1] spread evenly over the segments.
Vec3 Spline(const std::vector<Vec3>& p, float s) {
    if (p.size() == 1) return p[0];
    const float x = std::clamp(s, 0.0f, 1.0f) * static_cast<float>(p.size() - 1);
    const size_t i = std::min(static_cast<size_t>(x), p.size() - 2);
    const float t = x - static_cast<float>(i);
    const Vec3& p1 = p[i];
    const Vec3& p2 = p[i + 1];
    const Vec3& p0 = i > 0 ? p[i - 1] : p1;
    const Vec3& p3 = i + 2 < p.size() ? p[i + 2] : p2;
    const float t2 = t * t, t3 = t2 * t;
    auto axis = [&](float a, float b, float c, float d) {
        return 0.5f * (2 * b + (c - a) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (3 * b - a - 3 * c + d) * t3);
    };
    return {axis(p0.x, p1.x, p2.x, p3.x), axis(p0.y, p1.y, p2.y, p3.y), axis(p0.z, p1.z, p2.z, p3.z)};
}

using TimedPoints = std::vector<std::pair<float, Vec3>>;

// A Catmull-Rom path through points at given times; held before the first
// and after the last.
Vec3 TimedPath(const TimedPoints& keys, float t) {
    if (t <= keys.front().first) return keys.front().second;
    if (t >= keys.back().first) return keys.back().second;
    size_t i = 0;
    while (keys[i + 1].first < t) ++i;
    const float s = (t - keys[i].first) / (keys[i + 1].first - keys[i].first);
    std::vector<Vec3> p;
    p.push_back(i > 0 ? keys[i - 1].second : keys[i].second);
    p.push_back(keys[i].second);
    p.push_back(keys[i + 1].second);
    p.push_back(i + 2 < keys.size() ? keys[i + 2].second : keys[i + 1].second);
    return Spline(p, (1.0f + s) / 3.0f);
}

Vec3 CourtRing(float degrees, float radius, float y) {
    return Court(radius * std::cos(Radians(degrees)), y, radius * std::sin(Radians(degrees)));
}

// The centre of the four wisps: out of the orb, round the columns, along
// the wall and over it, spiralling up round the orb and back into it.
const TimedPoints& WispCentrePath() {
    static const TimedPoints path = [] {
        TimedPoints p = {{80.0f, kPowerBallCentre},
                         {85.0f, Court(0.0f, 9.5f, 0.0f)},
                         {90.0f, Court(2.0f, 11.0f, 2.0f)},
                         {93.0f, CourtRing(-60.0f, 9.0f, 8.0f)}};
        for (int k = 0; k <= 4; ++k) {
            const float t = 95.4f + 2.25f * static_cast<float>(k);
            p.push_back({t, CourtRing(-40.0f + 45.0f * static_cast<float>(k), 12.0f, 6.7f)});
        }
        const TimedPoints rest = {{106.5f, Court(-12.0f, 7.5f, 9.0f)},  {108.6f, Court(-15.5f, 9.5f, 4.0f)},
                                  {110.6f, Court(-17.5f, 10.5f, -3.0f)}, {112.7f, Court(-12.0f, 9.5f, -8.0f)},
                                  {114.5f, Court(-3.0f, 9.0f, -3.0f)},   {116.3f, Court(3.0f, 10.5f, 0.0f)},
                                  {118.1f, Court(0.0f, 12.0f, 3.0f)},    {120.0f, Court(-3.0f, 13.0f, 0.0f)},
                                  {124.0f, Court(0.0f, 10.0f, 0.0f)},    {128.0f, kPowerBallCentre}};
        p.insert(p.end(), rest.begin(), rest.end());
        return p;
    }();
    return path;
}

Vec3 WispCentre(float t) { return TimedPath(WispCentrePath(), t); }

// Where the wisps' sparks are, for the cameras that watch them. A spark
// lives 4 s, so the cloud trails the wisps along their path (its middle is
// where they were a second ago), and the sparks drift from their emitters
// towards +x, +y and +z (each velocity component is 0, 1 or 3 units a
// second, slowing as they age): about a unit and a half up that diagonal.
Vec3 WispCloud(float t) { return Add(WispCentre(t - 1.0f), {1.5f, 1.5f, 1.5f}); }

// The middle of the fire's flames: they brighten a metre or so above the
// bowl and drift up and towards +x, +z as they burn.
Vec3 FirePlume() { return Add(FirePosition(), {0.8f, 1.8f, 0.8f}); }

// The fire, drawn a little towards the wind: what the fire shots look at.
Vec3 FireAndWind(float t) { return Lerp(FirePlume(), WindPosition(t), 0.25f); }

// ---------------------------------------------------------------- tracks

// Key k of a track lies at k x 0.1 s, the time summed in single precision
// as the reader sums it.
std::vector<float> KeyTimes(float until) {
    const int count = static_cast<int>(std::lround(until / jolp::kSceneKeyInterval)) + 1;
    std::vector<float> times(static_cast<size_t>(count));
    float t = 0.0f;
    for (float& time : times) {
        time = t;
        t += jolp::kSceneKeyInterval;
    }
    return times;
}

int32_t TransformTrack(jolp::SceneFileBuilder& b, const std::function<Transform(float)>& f, float until = kDemoSeconds) {
    std::vector<Transform> keys;
    for (float t : KeyTimes(until)) keys.push_back(f(t));
    return b.AddTransformTrack(keys);
}

int32_t VectorTrack(jolp::SceneFileBuilder& b, const std::function<Vec3(float)>& f) {
    std::vector<Vec3> keys;
    for (float t : KeyTimes(kDemoSeconds)) keys.push_back(f(t));
    return b.AddVectorTrack(keys);
}

int32_t ScalarTrack(jolp::SceneFileBuilder& b, const std::function<float(float)>& f, float until = kDemoSeconds) {
    std::vector<float> keys;
    for (float t : KeyTimes(until)) keys.push_back(f(t));
    return b.AddScalarTrack(keys);
}

int32_t StillTrack(jolp::SceneFileBuilder& b, const Transform& where) {
    const Transform keys[1] = {where};
    return b.AddTransformTrack(keys);
}

Transform At(const Vec3& position, const Quat& rotation = {}, const Vec3& scale = {1.0f, 1.0f, 1.0f}) {
    Transform t;
    t.position = position;
    t.rotation = rotation;
    t.scale = scale;
    return t;
}

Quat Multiply(const Quat& a, const Quat& b) {  // a then b: rotates by b after a
    return {b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y, b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x,
            b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w, b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z};
}

// A gentle irregular flicker around 1.
float Flicker(float t, float seed) {
    return 1.0f + 0.06f * std::sin(t * 9.1f + seed) + 0.04f * std::sin(t * 15.7f + 2.0f * seed) +
           0.03f * std::sin(t * 23.3f + 3.0f * seed);
}

// A light that leaves its place for one shot and stands at `where` from
// `from` to `to`. Tracks interpolate between keys 0.1 s apart, so the light
// is dark at the keys on either side of each move and never crosses the
// valley lit; the shots rise from black, and the light comes back in the
// next shot's first tenth of a second.
struct Errand {
    float from, to;
    Vec3 where;

    Vec3 Position(float t, const Vec3& home) const { return t > from - 0.05f && t < to - 0.05f ? where : home; }
    float Lit(float t) const {
        const bool moving = (t > from - 0.15f && t < from + 0.05f) || (t > to - 0.15f && t < to + 0.05f);
        return moving ? 0.0f : 1.0f;
    }
};

// ---------------------------------------------------------------- meshes

int32_t AddMesh(jolp::SceneFileBuilder& b, const std::vector<std::pair<int32_t, const MeshData*>>& parts) {
    const int32_t mesh = b.AddMesh();
    for (const auto& [slot, data] : parts) b.AddSubmesh(mesh, slot, data->vertices, data->indices);
    return mesh;
}

int32_t AddMesh(jolp::SceneFileBuilder& b, const MeshData& data) { return AddMesh(b, {{0, &data}}); }

// Profile points with v running down the surface from its top, metres per
// texture repeat given.
std::vector<ProfilePoint> ArcProfile(const std::vector<std::pair<float, float>>& points, float metresPerRepeat) {
    std::vector<float> along(points.size(), 0.0f);
    for (size_t i = 1; i < points.size(); ++i) {
        const float dr = points[i].first - points[i - 1].first, dy = points[i].second - points[i - 1].second;
        along[i] = along[i - 1] + std::sqrt(dr * dr + dy * dy);
    }
    std::vector<ProfilePoint> profile;
    for (size_t i = 0; i < points.size(); ++i)
        profile.push_back({points[i].first, points[i].second, (along.back() - along[i]) / metresPerRepeat});
    return profile;
}

// A column standing on y = 0: plinth, shaft and, when whole, its capital;
// a broken one ends in a flat break.
MeshData Column(float height, bool whole) {
    std::vector<std::pair<float, float>> p = {{0.85f, 0.0f}, {0.85f, 0.35f}, {0.7f, 0.45f}, {0.62f, 0.6f}};
    if (whole) {
        p.insert(p.end(), {{0.58f, height - 0.8f}, {0.62f, height - 0.7f}, {0.8f, height - 0.35f},
                           {0.85f, height - 0.1f}, {0.85f, height}, {0.0f, height}});
    } else {
        p.insert(p.end(), {{0.59f, height}, {0.0f, height}});
    }
    return Lathe(ArcProfile(p, 1.9f), 24, 2.0f, false);
}

// A lantern hanging from its hook at the origin: iron roof and floor
// (submesh slot 0) round a box of glowing glass (slot 1).
std::pair<MeshData, MeshData> Lantern() {
    MeshData iron = Lathe(ArcProfile({{0.05f, 0.0f}, {0.06f, -0.05f}, {0.34f, -0.28f}, {0.0f, -0.3f}}, 0.5f), 12, 1.0f,
                          false);
    iron.Append(Box({0.46f, 0.08f, 0.46f}, 0.5f), {}, {0.0f, -0.84f, 0.0f});
    MeshData glass = Box({0.4f, 0.5f, 0.4f}, 0.4f);
    for (auto& v : glass.vertices) v.position.y -= 0.55f;
    return {iron, glass};
}
constexpr Vec3 kLanternGlow{0.0f, -0.55f, 0.0f};  // the glass centre below the hook
// The wheel's lantern hangs from an arm of its frame, on the side the
// shore's cameras see.
constexpr Vec3 kWheelLanternHook{kWheelCentre.x, 5.02f, kWheelCentre.z - 2.05f};

// A lamp post standing on y = 0 with its lantern on top.
std::pair<MeshData, MeshData> LampPost() {
    auto [iron, glass] = Lantern();
    MeshData post = Lathe(ArcProfile({{0.25f, 0.0f}, {0.22f, 0.25f}, {0.1f, 0.4f}, {0.08f, 2.7f}, {0.14f, 2.85f},
                                      {0.2f, 2.9f}, {0.0f, 2.9f}},
                                     1.0f),
                          12, 1.0f, false);
    post.Append(iron, {}, {0.0f, 3.8f, 0.0f});
    for (auto& v : glass.vertices) v.position.y += 3.8f;
    return {post, glass};
}
constexpr float kLampGlowHeight = 3.25f;

MeshData WaterWheel() {
    MeshData wheel;
    const Quat toZ = AxisAngle({1.0f, 0.0f, 0.0f}, kPi * 0.5f);
    wheel.Append(Lathe(ArcProfile({{0.35f, -0.9f}, {0.35f, 0.9f}, {0.0f, 0.9f}}, 1.0f), 12, 1.0f, false), toZ, {});
    for (int k = 0; k < 8; ++k) {
        const float a = 2.0f * kPi * static_cast<float>(k) / 8.0f;
        const Quat spin = AxisAngle({0.0f, 0.0f, 1.0f}, a);
        const Vec3 radial{std::cos(a), std::sin(a), 0.0f};
        wheel.Append(Box({1.0f, 0.12f, 1.3f}, 1.0f), spin, Mul(radial, 2.55f));
        for (float side : {-0.6f, 0.6f}) wheel.Append(Box({2.7f, 0.14f, 0.14f}, 1.0f), spin, Add(Mul(radial, 1.65f), {0, 0, side}));
    }
    for (int k = 0; k < 16; ++k) {
        const float a = 2.0f * kPi * (static_cast<float>(k) + 0.5f) / 16.0f;
        const Quat spin = AxisAngle({0.0f, 0.0f, 1.0f}, a);
        const Vec3 radial{std::cos(a), std::sin(a), 0.0f};
        for (float side : {-0.62f, 0.62f})
            wheel.Append(Box({0.16f, 1.22f, 0.12f}, 1.0f), spin, Add(Mul(radial, 3.05f), {0, 0, side}));
    }
    return wheel;
}

// The pier, in world coordinates: a deck on pairs of posts and, at its far
// end, a post with an arm from which the lantern hangs.
MeshData Pier(Vec3& hook) {
    MeshData pier;
    const Vec3 along = Normalise(Sub(kPierEnd, kPierStart));
    const float length = Length(Sub(kPierEnd, kPierStart));
    const Quat yaw = AxisAngle(kUp, -std::atan2(along.z, along.x));
    const Vec3 side = Cross(kUp, along);
    const Vec3 middle = Lerp(kPierStart, kPierEnd, 0.5f);
    pier.Append(Box({length, 0.2f, 2.4f}, 2.0f), yaw, {middle.x, kPierDeck - 0.1f, middle.z});
    for (int k = 0; k <= 5; ++k) {
        const Vec3 at = Lerp(kPierStart, kPierEnd, static_cast<float>(k) / 5.0f);
        for (float s : {-1.05f, 1.05f})
            pier.Append(Box({0.25f, 4.2f, 0.25f}, 1.0f), yaw, Add(Add(at, Mul(side, s)), {0.0f, kPierDeck - 2.1f, 0.0f}));
    }
    const Vec3 postBase = Sub(kPierEnd, Mul(along, 0.3f));
    pier.Append(Box({0.2f, 3.2f, 0.2f}, 1.0f), yaw, Add(postBase, {0.0f, kPierDeck + 1.6f, 0.0f}));
    pier.Append(Box({1.1f, 0.12f, 0.12f}, 1.0f), yaw, Add(Add(postBase, Mul(along, 0.5f)), {0.0f, kPierDeck + 3.1f, 0.0f}));
    hook = Add(Add(postBase, Mul(along, 0.95f)), {0.0f, kPierDeck + 3.04f, 0.0f});
    pier.FinishTangents();
    return pier;
}

// A tall slab on a plinth with an arm on one side only; its twin across
// the gate is the same mesh mirrored.
MeshData Guardian() {
    MeshData g;
    g.Append(Box({1.6f, 0.8f, 1.6f}, 1.5f), {}, {0.0f, 0.4f, 0.0f});
    g.Append(Box({0.9f, 3.0f, 0.6f}, 1.5f), {}, {0.25f, 2.3f, 0.0f});
    g.Append(Box({0.5f, 0.5f, 1.1f}, 1.5f), {}, {-0.45f, 1.65f, 0.15f});
    g.Append(Box({0.7f, 0.35f, 0.8f}, 1.5f), AxisAngle({0.0f, 0.0f, 1.0f}, 0.25f), {0.3f, 3.95f, 0.0f});
    return g;
}

// A great iron fire bowl, wide enough for flames two metres tall: a foot,
// a short stem and a bowl 4 m across with its rim at kBrazierRim.
constexpr float kBrazierRim = 2.05f;
MeshData Brazier() {
    MeshData m = Lathe(ArcProfile({{1.3f, 0.0f}, {1.15f, 0.3f}, {0.45f, 0.6f}, {0.4f, 1.0f}, {0.9f, 1.15f},
                                   {1.9f, 1.75f}, {2.1f, kBrazierRim}, {1.85f, 2.0f}, {0.0f, 1.5f}},
                                  1.5f),
                       24, 4.0f, false);
    return m;
}

// A fir standing on y = 0, 9 to 11 m tall: a short trunk under two or
// three tiers of drooping boughs, six-sided so that a hillside of them
// stays cheap; the tiers give the ridges a ragged edge against the sky.
MeshData Fir(int variant) {
    static const std::vector<std::pair<float, float>> shapes[3] = {
        {{0.3f, 0.0f}, {0.3f, 1.4f}, {2.6f, 1.9f}, {1.0f, 4.6f}, {2.0f, 4.5f}, {0.7f, 7.3f}, {1.3f, 7.2f}, {0.0f, 10.0f}},
        {{0.3f, 0.0f}, {0.3f, 1.2f}, {2.2f, 1.6f}, {0.8f, 5.2f}, {1.6f, 5.1f}, {0.0f, 9.5f}},
        {{0.35f, 0.0f}, {0.35f, 1.6f}, {2.9f, 2.0f}, {1.2f, 5.6f}, {2.1f, 5.5f}, {0.0f, 11.0f}},
    };
    return Lathe(ArcProfile(shapes[variant % 3], 4.0f), 6, 2.0f, false);
}

}  // namespace

std::span<const Shot> Shots() { return kShots; }

jolp::Quat CameraRotation(const Vec3& eye, const Vec3& target) {
    const Vec3 look = Normalise(Sub(target, eye));
    const Vec3 right = Normalise(Cross(look, kUp));
    const Vec3 up = Cross(right, look);
    const Vec3 back = Mul(look, -1.0f);
    // The camera's orientation turns its x, y and z axes into right, up and
    // back: the rotation matrix with those columns.
    const float m00 = right.x, m01 = up.x, m02 = back.x;
    const float m10 = right.y, m11 = up.y, m12 = back.y;
    const float m20 = right.z, m21 = up.z, m22 = back.z;
    Quat o;
    const float trace = m00 + m11 + m22;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        o = {(m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s, 0.25f * s};
    } else if (m00 > m11 && m00 > m22) {
        const float s = std::sqrt(1.0f + m00 - m11 - m22) * 2.0f;
        o = {0.25f * s, (m01 + m10) / s, (m02 + m20) / s, (m21 - m12) / s};
    } else if (m11 > m22) {
        const float s = std::sqrt(1.0f + m11 - m00 - m22) * 2.0f;
        o = {(m01 + m10) / s, 0.25f * s, (m12 + m21) / s, (m02 - m20) / s};
    } else {
        const float s = std::sqrt(1.0f + m22 - m00 - m11) * 2.0f;
        o = {(m02 + m20) / s, (m12 + m21) / s, 0.25f * s, (m10 - m01) / s};
    }
    o = jolp::QuatNormalize(o);
    // The scene stores the inverse of the orientation.
    return {-o.x, -o.y, -o.z, o.w};
}

Vec3 WispPosition(int wisp, float t) {
    const Vec3 centre = WispCentre(t);
    const float phase = static_cast<float>(wisp) * kPi * 0.5f;
    // Far enough apart that each wisp's sparks (which drift some 3 m
    // before they fade) stay a cloud of their own colour.
    const float radius = 4.6f + 0.8f * std::sin(t * 0.7f + phase);
    const float a = t * 0.9f + phase;
    return Add(centre, {radius * std::cos(a), 1.2f * std::sin(t * 1.3f + phase * 1.7f), radius * std::sin(a)});
}

Vec3 FirePosition() { return OnGround(kBrazierBase.x, kBrazierBase.z, kBrazierRim); }

Vec3 FireEmitter(float t) {
    // Flames drift towards +x, +y and +z and brighten over their first
    // 0.8 s: born low in the bowl and off towards -x, -z, they light up
    // above the bowl and lean out over its north-east rim. The emitter
    // circles quickly so that the fire is as wide as the bowl.
    const float a = t * 5.3f;
    return Add(FirePosition(), {-0.6f + 0.75f * std::cos(a), -0.45f, -0.6f + 0.75f * std::sin(a)});
}

Vec3 WindPosition(float t) {
    // Fast enough (about 9 m/s) that its wisps string out behind it into a
    // gust some twenty metres long sweeping round the fire.
    const float since = std::max(0.0f, t - 145.0f);
    const float radius = 15.0f - 4.0f * Smoothstep(145.0f, 157.0f, t) + 2.0f * std::sin(t * 0.5f) * Smoothstep(150.0f, 160.0f, t);
    const float angle = Radians(45.0f) + 0.7f * since;
    const Vec3 fire = FirePosition();
    return Add(fire, {radius * std::cos(angle), 0.5f + 1.5f * std::sin(t * 0.9f), radius * std::sin(angle)});
}

void BuildTarvelScene(jolp::SceneFileBuilder& b) {
    // ------------------------------------------------------------ materials
    auto surface = [&](const char* name, const char* shader, const char* d, const char* n, const char* s, const char* ao,
                       jolp::SceneFileProperties extra = {}) {
        jolp::SceneFileProperties p = {{"diffuseTex", d}, {"normalTex", n}, {"specularTex", s}, {"ambientOclusionTex", ao}};
        p.insert(p.end(), extra.begin(), extra.end());
        return b.AddLeafMaterial(name, shader, std::move(p));
    };
    const char* kLambert = "qo_lambertblinn.fx";
    const char* kParallax = "qo_parallaxedlambertblinn.fx";
    const int32_t ground = surface("Ground", kLambert, "ground_d.jpg", "ground_n.png", "ground_s.jpg", "ground_ao.png");
    const int32_t skyShell = surface("SkyShell", kLambert, "sky_dusk.jpg", "flat_n.png", "matte_s.jpg", "open_ao.png");
    const int32_t skyGlow = b.AddLeafMaterial("SkyGlow", "qo_additive.fx", {{"diffuseTex", "sky_dusk.jpg"}});
    const int32_t flagstones = surface("Flagstones", kParallax, "flagstone_d.jpg", "four_NM_height.dds", "flagstone_s.jpg",
                                       "flagstone_ao.png", {{"bumpDepth", "16"}, {"textureSize", "512"}});
    const int32_t bricks = surface("Bricks", kParallax, "bricks_d.dds", "bricks_nh.dds", "bricks_s.jpg", "bricks_ao.png",
                                   {{"bumpDepth", "12"}, {"textureSize", "512"}});
    const int32_t limestone = surface("Limestone", kParallax, "texture1_d.tga", "column_nh.png", "texture1_s.tga",
                                      "column_ao.png", {{"bumpDepth", "8"}, {"textureSize", "512"}});
    const int32_t carved = surface("CarvedStone", kLambert, "texture1_d.tga", "column_nh.png", "texture1_s.tga", "column_ao.png");
    const int32_t wood = surface("Wood", kLambert, "wood_d.jpg", "wood_n.png", "wood_s.jpg", "wood_ao.png");
    const int32_t iron = surface("Iron", kLambert, "iron_d.dds", "iron_n.png", "iron_s.jpg", "iron_ao.png");
    const int32_t glass = b.AddLeafMaterial("LanternGlass", "qo_additive.fx", {{"diffuseTex", "lamp_glass.jpg"}});
    const int32_t orb = b.AddLeafMaterial("PowerBall", "qo_additive.fx", {{"diffuseTex", "powerBall.jpg"}});
    const int32_t foliage = surface("Foliage", kLambert, "foliage_d.jpg", "foliage_n.png", "foliage_s.jpg", "foliage_ao.png");
    const int32_t lake = b.AddLeafMaterial("Lake", "qo_cubicwater.fx",
                                           {{"normalTex", "water_n.png"}, {"sceneCubeTex", "lake_reflection.dds"}});
    // Lamps and lanterns: iron parts on slot 0, glowing glass on slot 1.
    const int32_t lampMaterial = b.AddMultiMaterial("Lamp", {iron, glass});

    // ------------------------------------------------------------ ground, sky, water
    const MeshData terrain = HeightField(-kGroundHalf, -kGroundHalf, kGroundHalf, kGroundHalf, 100, TerrainHeight, 12.0f);
    b.AddObject("Terrain", AddMesh(b, terrain), ground, StillTrack(b, At({})));

    // The sky: an opaque shell that hides the clear colour in the ambient
    // pass, and just inside it the additive dome that gives the sky its
    // light. Both turn slowly with the clouds.
    const Vec3 skyCentre{-5.0f, 0.0f, 0.0f};
    const int32_t skyTurn = TransformTrack(b, [&](float t) { return At(skyCentre, AxisAngle(kUp, 0.0007f * t)); });
    b.AddObject("SkyShell", AddMesh(b, Sphere(1000.0f, 16, 32, true)), skyShell, skyTurn);
    b.AddObject("SkyDome", AddMesh(b, Sphere(940.0f, 24, 48, true)), skyGlow, skyTurn);

    b.AddObject("Lake", AddMesh(b, Plane(96.0f, 96.0f, 8, 24.0f)), lake, StillTrack(b, At({kLakeCentre.x, kWaterLevel, kLakeCentre.z})));

    // ------------------------------------------------------------ the court
    b.AddObject("CourtFloor", AddMesh(b, Box({30.0f, 0.4f, 30.0f}, 6.0f)), flagstones,
                StillTrack(b, At(Court(0.0f, kCourtTop - 0.2f, 0.0f))));
    MeshData altar;
    altar.Append(Box({8.0f, 0.8f, 8.0f}, 2.0f), {}, {0.0f, 0.4f, 0.0f});
    altar.Append(Box({5.5f, 0.8f, 5.5f}, 2.0f), {}, {0.0f, 1.2f, 0.0f});
    altar.Append(Box({3.0f, 1.0f, 3.0f}, 2.0f), {}, {0.0f, 2.1f, 0.0f});
    b.AddObject("Altar", AddMesh(b, altar), bricks, StillTrack(b, At(Court(0.0f, kCourtTop, 0.0f))));

    const int32_t orbMesh = AddMesh(b, Sphere(0.9f, 16, 32, false));
    b.AddObject("PowerBall", orbMesh, orb, TransformTrack(b, [](float t) {
                    const float pulse = 1.0f + 0.05f * std::sin(t * 2.1f);
                    return At(Add(kPowerBallCentre, {0.0f, 0.25f * std::sin(t * 0.8f), 0.0f}), AxisAngle(kUp, t * 0.6f),
                              {pulse, pulse, pulse});
                }));
    const int32_t runeMesh = AddMesh(b, Box({0.45f, 0.7f, 0.25f}, 0.7f));
    for (int k = 0; k < 3; ++k) {
        const float phase = 2.0f * kPi * static_cast<float>(k) / 3.0f;
        b.AddObject("RuneStone0" + std::to_string(k + 1), runeMesh, limestone, TransformTrack(b, [=](float t) {
                        const float a = t * 0.4f + phase;
                        const Vec3 at = Add(kPowerBallCentre, {2.1f * std::cos(a), 0.4f * std::sin(t * 0.9f + phase), 2.1f * std::sin(a)});
                        const Quat tumble = Multiply(AxisAngle(Normalise({0.3f, 1.0f, 0.2f}), t * 0.7f + phase),
                                                     AxisAngle(kUp, -a));
                        return At(at, tumble);
                    }));
    }

    // The ring of columns: whole, broken and one fallen.
    const int32_t columnWhole = AddMesh(b, Column(7.0f, true));
    const int32_t columnHigh = AddMesh(b, Column(5.4f, false));
    const int32_t columnMid = AddMesh(b, Column(4.1f, false));
    const int32_t columnLow = AddMesh(b, Column(2.2f, false));
    const int32_t ringMeshes[8] = {columnWhole, columnWhole, columnMid, columnWhole, columnLow, -1, columnWhole, columnHigh};
    for (int k = 0; k < 8; ++k) {
        const float a = 22.5f + 45.0f * static_cast<float>(k);
        const std::string name = "Column0" + std::to_string(k + 1);
        if (ringMeshes[k] < 0) {
            // Fallen outwards, lying on its plinth's edge.
            const Quat fallen = Multiply(AxisAngle({0.0f, 0.0f, 1.0f}, -kPi * 0.5f), AxisAngle(kUp, -Radians(a) + 0.3f));
            b.AddObject(name, columnWhole, limestone, StillTrack(b, At(CourtRing(a - 6.0f, 12.5f, kCourtTop + 0.85f), fallen)));
            continue;
        }
        b.AddObject(name, ringMeshes[k], limestone,
                    StillTrack(b, At(CourtRing(a, 12.0f, kCourtTop), AxisAngle(kUp, 0.7f * static_cast<float>(k)))));
    }

    // The broken wall along the court's west side.
    MeshData wall;
    {
        const Vec3 from = Court(-19.0f, kTerraceHeight, -4.0f), to = Court(-14.0f, kTerraceHeight, 10.0f);
        const Vec3 along = Normalise(Sub(to, from));
        const Quat yaw = AxisAngle(kUp, -std::atan2(along.z, along.x));
        const float lengths[4] = {3.2f, 3.6f, 2.8f, 3.0f}, heights[4] = {5.5f, 4.0f, 6.2f, 2.6f};
        float at = 0.0f;
        for (int k = 0; k < 4; ++k) {
            const Vec3 centre = Add(from, Mul(along, at + lengths[k] * 0.5f));
            wall.Append(Box({lengths[k], heights[k], 0.8f}, 2.0f), yaw, Add(centre, {0.0f, heights[k] * 0.5f, 0.0f}));
            at += lengths[k] + 0.8f;
        }
        wall.FinishTangents();
    }
    b.AddObject("RuinWall", AddMesh(b, wall), bricks, StillTrack(b, At({})));

    // The gate and its guardians, one the mirror image of the other.
    MeshData gate;
    for (float side : {-3.0f, 3.0f}) gate.Append(Box({1.2f, 6.0f, 1.2f}, 2.0f), {}, {side, 3.0f, 0.0f});
    gate.Append(Box({8.4f, 1.2f, 1.6f}, 2.0f), {}, {0.0f, 6.6f, 0.0f});
    b.AddObject("Gate", AddMesh(b, gate), limestone, StillTrack(b, At(kGateCentre)));
    const int32_t guardian = AddMesh(b, Guardian());
    b.AddObject("GuardianWest", guardian, carved, StillTrack(b, At(Add(kGateCentre, {-6.0f, 0.0f, -1.0f}))));
    b.AddObject("GuardianEast", guardian, carved,
                StillTrack(b, At(Add(kGateCentre, {6.0f, 0.0f, -1.0f}), {}, {-1.0f, 1.0f, 1.0f})));

    // ------------------------------------------------------------ lamps and lanterns
    const auto [postIron, postGlass] = LampPost();
    const int32_t lampMesh = AddMesh(b, {{0, &postIron}, {1, &postGlass}});
    const Vec3 lampSpots[4] = {OnGround(-3.5f, -104.0f, 0.0f), OnGround(-17.5f, -80.0f, 0.0f),
                               OnGround(-29.5f, -56.0f, 0.0f), OnGround(-7.0f, 17.5f, 0.0f)};
    for (int k = 0; k < 4; ++k)
        b.AddObject("Lamp0" + std::to_string(k + 1), lampMesh, lampMaterial, StillTrack(b, At(lampSpots[k])));

    const auto [lanternIron, lanternGlass] = Lantern();
    const int32_t lanternMesh = AddMesh(b, {{0, &lanternIron}, {1, &lanternGlass}});
    // The altar lantern floats round the orb; the pier lantern swings.
    auto altarLantern = [](float t) {
        const float a = t * 0.25f;
        return At(Add(kPowerBallCentre, {3.2f * std::cos(a), 2.2f + 0.3f * std::sin(t * 0.6f), 3.2f * std::sin(a)}),
                  AxisAngle(kUp, -a));
    };
    b.AddObject("AltarLantern", lanternMesh, lampMaterial, TransformTrack(b, altarLantern));

    Vec3 hook;
    const MeshData pier = Pier(hook);
    b.AddObject("Pier", AddMesh(b, pier), wood, StillTrack(b, At({})));
    auto pierLantern = [hook](float t) {
        return At(hook, AxisAngle(Normalise({1.0f, 0.0f, -1.0f}), 0.22f * std::sin(t * 1.9f)));
    };
    b.AddObject("PierLantern", lanternMesh, lampMaterial, TransformTrack(b, pierLantern));

    // ------------------------------------------------------------ the shore
    // The wheel turns about z all the demo long. Its keys keep w >= 0, as
    // exporters store them, so they jump to the opposite sign every half
    // turn; interpolation takes the short way across.
    b.AddObject("WaterWheel", AddMesh(b, WaterWheel()), wood, TransformTrack(b, [](float t) {
                    Quat q = AxisAngle({0.0f, 0.0f, 1.0f}, -0.8f * t);
                    if (q.w < 0.0f) q = {-q.x, -q.y, -q.z, -q.w};
                    return At(kWheelCentre, q);
                }));
    MeshData frame;
    for (float z : {-1.05f, 1.05f}) {
        frame.Append(Box({0.3f, 7.9f, 0.3f}, 1.0f), {}, {kWheelCentre.x, 1.35f, kWheelCentre.z + z});
        frame.Append(Box({0.25f, 0.25f, 0.5f}, 1.0f), {}, {kWheelCentre.x, kWheelCentre.y, kWheelCentre.z + z * 0.85f});
    }
    frame.Append(Box({0.3f, 0.3f, 2.4f}, 1.0f), {}, {kWheelCentre.x, 5.45f, kWheelCentre.z});
    // An arm out of the southern post's top, for the wheel's lantern.
    frame.Append(Box({0.15f, 0.15f, 1.1f}, 1.0f), {}, {kWheelCentre.x, 5.1f, kWheelCentre.z - 1.6f});
    b.AddObject("WheelFrame", AddMesh(b, frame), wood, StillTrack(b, At({})));
    b.AddObject("WheelLantern", lanternMesh, lampMaterial, StillTrack(b, At(kWheelLanternHook)));

    // Boulders and fallen blocks strewn over the valley floor, on dry
    // ground away from the court, the path and the shore.
    {
        const MeshData shapes[3] = {Boulder(1.0f, 101), Boulder(1.0f, 102), Boulder(1.0f, 103)};
        MeshData boulders;
        int placed = 0;
        for (int k = 0; k < 400 && placed < 34; ++k) {
            const float x = -150.0f + 300.0f * HashUnit(k, 0, 110), z = -150.0f + 260.0f * HashUnit(k, 1, 110);
            const float ground = TerrainHeight(x, z);
            const Vec3 court = Sub({x, 0.0f, z}, {kCourtCentre.x, 0.0f, kCourtCentre.z});
            const Vec3 lake = Sub({x, 0.0f, z}, {kLakeCentre.x, 0.0f, kLakeCentre.z});
            const float pathX = -3.5f + (z + 104.0f) * (-26.0f / 48.0f);  // along the lamps' line
            if (ground < 0.6f || ground > 20.0f || Length(court) < 27.0f || Length(lake) < kLakeRadius + 4.0f ||
                (z < -40.0f && z > -125.0f && std::abs(x - pathX) < 6.0f) || Length(Sub({x, 0.0f, z}, kBrazierBase)) < 8.0f)
                continue;
            const float size = 0.5f + 1.6f * HashUnit(k, 2, 110) * HashUnit(k, 3, 110);
            MeshData rock = shapes[placed % 3];
            for (auto& v : rock.vertices) v.position = Mul(v.position, size);
            for (auto& v : rock.vertices) v.u *= size, v.v *= size;
            boulders.Append(rock, AxisAngle(kUp, 6.2831853f * HashUnit(k, 4, 110)), {x, ground - 0.2f * size, z});
            ++placed;
        }
        b.AddObject("Boulders", AddMesh(b, boulders), carved, StillTrack(b, At({})));
    }

    // Firs in groves over the slopes and along the ridges, thinning towards
    // the valley floor; none on the court's terrace, the path, the shore or
    // round the fire, where the cameras go. Eight objects, one a sector of
    // the valley, so that a light or a camera deals only with the trees
    // near it.
    {
        const MeshData shapes[3] = {Fir(0), Fir(1), Fir(2)};
        MeshData sectors[8];
        for (int k = 0; k < 2400; ++k) {
            const float x = -225.0f + 450.0f * HashUnit(k, 0, 120), z = -225.0f + 450.0f * HashUnit(k, 1, 120);
            const float rx = (x + 5.0f) / 1.1f;
            const float r = std::sqrt(rx * rx + z * z);  // as the rim's ridges are measured
            const float grove = 0.5f + 0.5f * TileFbm((x + kGroundHalf) / 460.0f, (z + kGroundHalf) / 460.0f, 8, 3, 121);
            // Sparse on the floor, thicker on the slopes, densest on the
            // upper slopes and the crests, where they stand against the sky.
            const float density = 0.03f + 0.08f * Smoothstep(70.0f, 150.0f, r) + 0.26f * Smoothstep(170.0f, 215.0f, r);
            if (HashUnit(k, 2, 120) > density * Smoothstep(0.35f, 0.65f, grove)) continue;
            const float ground = TerrainHeight(x, z);
            const Vec3 flat{x, 0.0f, z};
            const float pathX = -3.5f + (z + 104.0f) * (-26.0f / 48.0f);
            if (ground < 0.8f || Length(Sub(flat, {kCourtCentre.x, 0.0f, kCourtCentre.z})) < 42.0f ||
                Length(Sub(flat, {kLakeCentre.x, 0.0f, kLakeCentre.z})) < kLakeRadius + 8.0f ||
                Length(Sub(flat, {kBrazierBase.x, 0.0f, kBrazierBase.z})) < 32.0f ||
                (z < -40.0f && std::abs(x - pathX) < 12.0f) || Length(Sub(flat, {-1.0f, 0.0f, -150.0f})) < 30.0f)
                continue;
            const float size = 0.8f + 0.7f * HashUnit(k, 3, 120);
            MeshData tree = shapes[k % 3];
            for (auto& v : tree.vertices) v.position = Mul(v.position, size);
            const float angle = std::atan2(z, rx);
            const int sector = std::clamp(static_cast<int>((angle + kPi) / (2.0f * kPi) * 8.0f), 0, 7);
            sectors[sector].Append(tree, AxisAngle(kUp, 6.2831853f * HashUnit(k, 4, 120)), {x, ground - 0.3f, z});
        }
        for (int k = 0; k < 8; ++k)
            if (!sectors[k].vertices.empty())
                b.AddObject("Firs0" + std::to_string(k + 1), AddMesh(b, sectors[k]), foliage, StillTrack(b, At({})));
    }

    b.AddObject("Brazier", AddMesh(b, Brazier()), iron, StillTrack(b, At(OnGround(kBrazierBase.x, kBrazierBase.z, 0.0f))));

    // ------------------------------------------------------------ lights
    // At most six lights, two of them casting shadows.
    // The gate lamp's light lends itself to the wheel's lantern for the
    // wheel's shot, when the path is out of sight.
    const Vec3 gateLamp = Add(lampSpots[2], {0.0f, kLampGlowHeight, 0.0f});
    const Errand toTheWheel{130.1f, 133.8f, Add(kWheelLanternHook, kLanternGlow)};
    b.AddLight("gate_lamp", VectorTrack(b, [=](float t) { return toTheWheel.Position(t, gateLamp); }),
               VectorTrack(b, [=](float t) { return Mul({1.0f, 0.68f, 0.36f}, 1.1f * toTheWheel.Lit(t) * Flicker(t, 1.0f)); }),
               ScalarTrack(b, [](float t) { return 18.0f + 0.6f * std::sin(t * 3.1f); }));
    b.AddLight("altar_lantern_shadow_cube",
               VectorTrack(b, [=](float t) {
                   const Transform at = altarLantern(t);
                   return Add(at.position, jolp::QuatRotate(kLanternGlow, at.rotation));
               }),
               VectorTrack(b, [](float t) { return Mul({1.0f, 0.86f, 0.62f}, 1.5f * Flicker(t, 2.0f)); }),
               ScalarTrack(b, [](float t) { return 26.0f + 1.0f * std::sin(t * 0.9f); }));
    b.AddLight("brazier_shadow", VectorTrack(b, [](float t) { return Add(FirePosition(), {0.0f, 0.3f + 0.05f * std::sin(t * 7.0f), 0.0f}); }),
               VectorTrack(b, [](float t) {
                   const float lit = Smoothstep(145.0f, 147.5f, t);
                   const Vec3 embers{0.5f, 0.14f, 0.04f}, fire{1.6f, 0.7f, 0.22f};
                   return Mul(Lerp(embers, fire, lit), Flicker(t, 3.0f) + 0.1f * lit * std::sin(t * 31.0f));
               }),
               ScalarTrack(b, [](float t) { return 7.0f + 15.0f * Smoothstep(145.0f, 147.5f, t) + 0.8f * std::sin(t * 5.3f); }));
    // The spirit light that goes ahead of the journey; with the wisps it
    // flies among them. It leads the shot over the lake, hovering above the
    // water, and waits under the gate's lintel for the shot past it.
    static const TimedPoints journey = {
        {0.0f, OnGround(-2.0f, -120.0f, 6.0f)},  {13.6f, OnGround(-10.0f, -96.0f, 4.0f)},
        {22.3f, OnGround(-27.0f, -60.0f, 4.5f)}, {31.2f, Court(0.0f, 6.0f, -20.0f)},
        {40.1f, Court(-10.0f, 6.5f, -6.0f)},     {51.2f, Court(-11.0f, 6.0f, 6.0f)},
        {66.0f, Court(3.0f, 9.5f, 2.0f)},        {85.0f, Court(0.0f, 9.5f, 0.0f)},
        {127.0f, Court(0.0f, 10.0f, 0.0f)},      {130.6f, {-5.0f, 4.5f, 42.5f}}, {133.6f, {-4.0f, 4.0f, 40.5f}},
        {139.4f, {5.0f, 4.0f, 25.0f}},           {146.0f, {-2.0f, 5.0f, 18.0f}},
        {176.0f, {-5.0f, 7.0f, 15.0f}},          {204.4f, {-12.0f, 30.0f, 0.0f}}};
    const Errand overTheLake{5.0f, 10.0f, {26.0f, 3.0f, 54.0f}};
    const Errand toTheGate{10.0f, 13.6f, Add(kGateCentre, {0.0f, 4.2f, -2.5f})};
    b.AddLight("wisp_volume",
               VectorTrack(b, [=](float t) {
                   return t >= 85.0f && t <= 127.0f ? Add(WispCentre(t), {0.0f, 0.5f, 0.0f}) : toTheGate.Position(t, overTheLake.Position(t, TimedPath(journey, t)));
               }),
               VectorTrack(b, [=](float t) { return Mul({0.35f, 0.62f, 1.0f}, overTheLake.Lit(t) * toTheGate.Lit(t) * (0.9f + 0.25f * std::sin(t * 1.3f))); }),
               ScalarTrack(b, [](float t) { return 14.0f + 2.0f * std::sin(t * 0.45f); }));
    b.AddLight("pier_lantern_cube",
               VectorTrack(b, [=](float t) {
                   const Transform at = pierLantern(t);
                   return Add(at.position, jolp::QuatRotate(kLanternGlow, at.rotation));
               }),
               VectorTrack(b, [](float t) { return Mul({1.0f, 0.7f, 0.38f}, 1.2f * Flicker(t, 4.0f)); }),
               ScalarTrack(b, [](float t) { return 15.0f + 0.5f * std::sin(t * 2.3f); }));
    // The moon rises behind the south-west ridge and brightens as the sky
    // darkens.
    b.AddLight("moon", VectorTrack(b, [](float t) {
                   const float k = t / kDemoSeconds;
                   return Vec3{-90.0f + 30.0f * k, 130.0f + 20.0f * k, -70.0f + 30.0f * k};
               }),
               VectorTrack(b, [](float t) { return Mul({0.42f, 0.48f, 0.70f}, 0.85f + 0.3f * (t / kDemoSeconds)); }),
               ScalarTrack(b, [](float t) { return 760.0f + 20.0f * std::sin(t * 0.05f); }));

    // ------------------------------------------------------------ dummies
    const char* colours[4] = {"redParticles", "yellowParticles", "greenParticles", "blueParticles"};
    for (int k = 0; k < 4; ++k) {
        b.AddDummy("Dummy0" + std::to_string(k + 1), TransformTrack(b, [k](float t) { return At(WispPosition(k, t)); }),
                   {{"particles", colours[k]}});
    }
    b.AddDummy("wind_dummy", TransformTrack(b, [](float t) { return At(WindPosition(t)); }), {{"particles", "wind"}});
    b.AddDummy("fire_dummy", TransformTrack(b, [](float t) { return At(FireEmitter(t)); }), {{"particles", "fire"}});

    // ------------------------------------------------------------ cameras
    struct Plan {
        std::vector<Vec3> eyes;
        std::vector<Vec3> targets;               // used when follow is empty
        std::function<Vec3(float)> follow;       // what the camera keeps in view
        float fovFrom, fovTo;                    // vertical, degrees
    };
    const Vec3 wallMid = Court(-16.5f, kTerraceHeight, 3.0f);
    const Vec3 wallOut = Normalise({14.0f, 0.0f, -5.0f});  // from the wall towards the court
    const Vec3 wallAlong{0.336f, 0.0f, 0.941f};
    const Vec3 fire = FirePosition();
    auto orbit = [](const Vec3& centre, float radius, float y, float degrees) {
        return Vec3{centre.x + radius * std::cos(Radians(degrees)), y, centre.z + radius * std::sin(Radians(degrees))};
    };
    auto orbitArc = [&](const Vec3& centre, float radius, float y0, float y1, float from, float to) {
        std::vector<Vec3> p;
        for (int k = 0; k <= 6; ++k) {
            const float s = static_cast<float>(k) / 6.0f;
            p.push_back(orbit(centre, radius, y0 + (y1 - y0) * s, from + (to - from) * s));
        }
        return p;
    };
    // Around the wisps' ring: the eye trails them round the outside.
    auto ringChase = [](float t) {
        const float degrees = -40.0f + 180.0f * std::clamp((t - 95.4f) / 9.0f, 0.0f, 1.0f) - 30.0f;
        return CourtRing(degrees, 30.0f, 11.0f);
    };
    std::vector<Vec3> chase;
    for (int k = 0; k <= 8; ++k) chase.push_back(ringChase(95.4f + 9.0f * static_cast<float>(k) / 8.0f));

    const Plan plans[20] = {
        {{{2.0f, 32.0f, -158.0f}, {-4.0f, 27.0f, -140.0f}}, {{-18.0f, 21.0f, -40.0f}, {-16.0f, 19.0f, -30.0f}}, {}, 48.0f, 42.0f},
        {{{-2.0f, 1.4f, 30.0f}, {14.0f, 1.1f, 44.0f}}, {{45.0f, 10.0f, 72.0f}, {52.0f, 9.0f, 70.0f}}, {}, 52.0f, 48.0f},
        {{{-45.0f, 4.2f, -48.0f}, {-25.0f, 4.2f, -48.0f}}, {{-38.0f, 5.0f, -38.0f}, {-32.0f, 5.0f, -38.0f}}, {}, 50.0f, 50.0f},
        {{OnGround(-6.0f, -112.0f, 2.4f), OnGround(-13.0f, -94.0f, 2.4f), OnGround(-20.0f, -78.0f, 2.4f),
          OnGround(-26.0f, -63.0f, 2.4f)},
         {{-31.0f, 5.0f, -52.0f}, {-35.0f, 6.0f, -37.0f}},
         {},
         48.0f,
         44.0f},
        {{{-35.0f, 4.6f, -52.0f}, {-35.0f, 4.7f, -41.0f}, {-35.0f, 5.2f, -30.0f}}, {Court(0.0f, 6.5f, 0.0f)}, {}, 55.0f, 50.0f},
        {orbitArc(kCourtCentre, 21.0f, 6.5f, 7.5f, 200.0f, 285.0f), {Court(0.0f, 5.0f, 0.0f)}, {}, 50.0f, 50.0f},
        {{Add(Add(wallMid, Mul(wallOut, -6.5f)), Add(Mul(wallAlong, -3.0f), {0.0f, 1.5f, 0.0f})),
          Add(Add(wallMid, Mul(wallOut, -7.0f)), Add(Mul(wallAlong, 0.0f), {0.0f, 3.5f, 0.0f})),
          Add(Add(wallMid, Mul(wallOut, -7.5f)), Add(Mul(wallAlong, 3.0f), {0.0f, 6.0f, 0.0f}))},
         {Add(wallMid, {0.0f, 2.5f, 0.0f}), Add(Add(wallMid, Mul(wallOut, 6.0f)), {0.0f, 3.0f, 0.0f})},
         {},
         52.0f,
         48.0f},
        {orbitArc(kCourtCentre, 8.5f, 6.5f, 9.0f, 30.0f, 150.0f), {Add(kPowerBallCentre, {0.0f, -0.5f, 0.0f})}, {}, 50.0f, 46.0f},
        {{Court(0.0f, 5.5f, -7.0f), Court(0.0f, 8.0f, -11.0f), Court(-1.0f, 10.5f, -14.5f), Court(-2.0f, 12.5f, -17.5f)},
         {},
         WispCentre,
         48.0f,
         52.0f},
        {chase, {}, WispCloud, 52.0f, 52.0f},
        {{Court(7.0f, 5.5f, -7.0f), Court(6.5f, 6.0f, -3.5f)}, {}, WispCloud, 52.0f, 52.0f},
        {{CourtRing(-60.0f, 16.0f, 7.0f), CourtRing(-60.0f, 20.0f, 11.0f), CourtRing(-60.0f, 23.5f, 15.0f)},
         {},
         WispCentre,
         52.0f,
         48.0f},
        {{{-2.0f, 3.2f, 37.0f}, {-1.5f, 3.0f, 41.0f}}, {{-9.5f, 2.0f, 45.0f}}, {}, 48.0f, 44.0f},
        {{{2.5f, 2.7f, 22.0f}, {5.0f, 2.5f, 24.2f}}, {Add(hook, {0.0f, -0.6f, 0.0f})}, {}, 48.0f, 42.0f},
        {{{-22.0f, 15.0f, 2.0f}, {-15.0f, 14.0f, 8.0f}}, {{30.0f, 15.5f, 50.0f}, {38.0f, 15.5f, 58.0f}}, {}, 50.0f, 45.0f},
        {{Add(fire, {-14.0f, 2.0f, -9.0f}), Add(fire, {-13.0f, 2.4f, -6.0f})}, {}, FireAndWind, 54.0f, 54.0f},
        // Side-on from the shore path, square to the flames' drift: they
        // rise and lean across the frame towards the lake and the pier,
        // while the gust sweeps round behind the bowl.
        {{OnGround(fire.x - 13.5f, fire.z + 10.5f, 2.6f), OnGround(fire.x - 11.5f, fire.z + 12.5f, 2.4f)},
         {},
         FireAndWind,
         56.0f,
         54.0f},
        {{Add(fire, {14.0f, 2.5f, -10.0f}), Add(fire, {12.5f, 2.2f, -7.0f})}, {}, FireAndWind, 52.0f, 50.0f},
        // On the landward side, looking the way the flames drift: their
        // fastest tongues rise away from the eye in one plume, not off
        // across the frame.
        {orbitArc(fire, 20.0f, fire.y + 5.0f, fire.y + 4.0f, 150.0f, 290.0f), {}, FireAndWind, 50.0f, 50.0f},
        {{Add(fire, {-14.0f, 4.0f, -12.0f}), Add(fire, {-30.0f, 12.0f, -40.0f}), Add(fire, {-60.0f, 30.0f, -85.0f}),
          Add(fire, {-80.0f, 55.0f, -130.0f})},
         {FireAndWind(175.6f), fire, {10.0f, 3.0f, 35.0f}, {15.0f, 0.0f, 40.0f}},
         {},
         52.0f,
         58.0f},
    };

    for (size_t i = 0; i < 20; ++i) {
        const Shot& shot = kShots[i];
        const Plan& plan = plans[i];
        auto place = [&](float t) {
            const float s = std::clamp((t - shot.start) / (shot.end - shot.start), 0.0f, 1.0f);
            // Mostly even speed, easing a little at both ends.
            const float eased = 0.75f * s + 0.25f * Smoothstep(0.0f, 1.0f, s);
            const Vec3 eye = Spline(plan.eyes, eased);
            const Vec3 target = plan.follow ? plan.follow(std::clamp(t, shot.start, shot.end)) : Spline(plan.targets, eased);
            return std::pair{eye, target};
        };
        const int32_t move = TransformTrack(
            b,
            [&](float t) {
                const auto [eye, target] = place(t);
                return At(eye, CameraRotation(eye, target));
            },
            std::min(shot.end + 0.2f, kDemoSeconds));
        const int32_t fov = ScalarTrack(
            b,
            [&](float t) {
                const float s = std::clamp((t - shot.start) / (shot.end - shot.start), 0.0f, 1.0f);
                return Radians(plan.fovFrom + (plan.fovTo - plan.fovFrom) * Smoothstep(0.0f, 1.0f, s)) * kAspect;
            },
            std::min(shot.end + 0.2f, kDemoSeconds));
        b.AddCamera(shot.camera, move, fov);
    }
}

}  // namespace tarvel::content
