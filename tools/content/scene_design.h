// scene_design.h - the demo's scene: the valley's meshes, materials,
// objects, lights, the twenty cameras of the edit and the six particle
// dummies, with all their animation over the demo's 204.4 seconds, built
// into a SceneFileBuilder.
//
// Camera rotations follow the scene's camera convention: the stored
// rotation is the inverse of the camera's orientation, so that the inverse
// of the stored rotation turns (1, 0, 0), (0, 1, 0) and (0, 0, 1) into the
// camera's right, up and forward axes; the camera looks along -forward
// (visible points have negative view-space z). The field-of-view track
// holds the vertical angle times the 16:9 aspect, which EvaluateCamera
// divides back out.
#pragma once

#include "scene/scene_file.h"
#include "scene/transform_math.h"

#include <span>
#include <string>

namespace tarvel::content {

// One shot of the edit: which camera, when (seconds on the demo's clock),
// and what it shows.
struct Shot {
    const char* camera;
    float start;
    float end;
    const char* shows;
};

// The twenty shots, in order; each starts where the one before ends.
std::span<const Shot> Shots();

// The scene's rotation for a camera at eye looking at target with the world
// up (+y) kept up.
jolp::Quat CameraRotation(const jolp::Vec3& eye, const jolp::Vec3& target);

// Where the four wisps ("Dummy01" .. "Dummy04") and the wind
// ("wind_dummy") and fire ("fire_dummy") dummies are at time t.
// FirePosition is the heart of the fire, in the brazier's bowl at its rim's
// height; the fire's emitter circles just below it, off towards the south
// west, so that the flames' drift leans the fire over the bowl.
jolp::Vec3 WispPosition(int wisp, float t);
jolp::Vec3 WindPosition(float t);
jolp::Vec3 FireEmitter(float t);
jolp::Vec3 FirePosition();

// Adds the whole scene to an empty builder.
void BuildTarvelScene(jolp::SceneFileBuilder& builder);

}  // namespace tarvel::content
