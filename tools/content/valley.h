// valley.h - the place the demo's journey goes through, in numbers: the
// ground's height everywhere, the water level, and where the landmarks
// stand. One unit is one metre; y is up, +z is north, +x is east. The scene
// builder places everything from these, and the tests check the cameras
// against the same ground.
//
// The valley: a bowl of hills about 400 m across, rising to craggy ridges
// at its rim. In its north-east lies a lake; on a terrace in the south-west stand
// the ruins (a flagstone court with a stepped altar and a floating orb,
// a ring of columns, a broken brick wall, a gate with two guardians); a
// lamp-lit path climbs to the gate from the valley's southern entrance; a
// wooden pier, a water wheel and an iron brazier stand on the lake shore.
#pragma once

#include "scene/transform_math.h"

namespace tarvel::content {

inline constexpr float kDemoSeconds = 204.4f;
inline constexpr float kWaterLevel = 0.0f;

inline constexpr jolp::Vec3 kLakeCentre{25.0f, 0.0f, 45.0f};
inline constexpr float kLakeRadius = 38.0f;
// The court of the ruins: its flagstones' top surface is at y = kCourtTop.
inline constexpr jolp::Vec3 kCourtCentre{-35.0f, 3.0f, -15.0f};
inline constexpr float kCourtTop = 3.2f;
inline constexpr float kTerraceHeight = 3.0f;
inline constexpr jolp::Vec3 kPowerBallCentre{-35.0f, 8.0f, -15.0f};
inline constexpr jolp::Vec3 kGateCentre{-35.0f, 3.0f, -37.0f};
inline constexpr jolp::Vec3 kBrazierBase{-8.0f, 0.0f, 12.0f};  // y: on the ground
inline constexpr jolp::Vec3 kWheelCentre{-9.5f, 1.8f, 45.0f};
inline constexpr jolp::Vec3 kPierStart{-4.6f, 0.0f, 15.4f};
inline constexpr jolp::Vec3 kPierEnd{9.5f, 0.0f, 29.5f};
inline constexpr float kPierDeck = 0.8f;

// The ground's height at (x, z): hills, the rim's ridges, the lake's bowl
// (below the water level inside the shore) and the flat terrace of the
// ruins.
float TerrainHeight(float x, float z);

// Half the size of the ground mesh: it spans [-kGroundHalf, kGroundHalf]
// in x and z.
inline constexpr float kGroundHalf = 230.0f;

}  // namespace tarvel::content
