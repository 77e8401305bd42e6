// cameras.h - Cameras, the track of one camera shot. While it runs it
// looks through one named camera of the scene, animates the whole scene at
// the demo's global time, hands the scene's draw items and lights to the
// render system and sets the fade level from its own local time, so that
// the shot rises from black and falls back to black.
//
// The camera track is the only place where the scene moves and is drawn:
// without a running camera track the render system keeps its last camera
// and fade, and the scene is neither animated nor submitted.
//
// Ownership: the track refers to its demo and owns only the camera name.
#pragma once

#include "demo/fade_envelope.h"
#include "framework/demo_track.h"

#include <cstdint>
#include <string>

namespace tarvel {

class MyDemo;

class Cameras final : public jolp::DemoTrack {
public:
    Cameras(uint32_t startMs, uint32_t endMs, const std::string& cameraName, MyDemo* demo);

    // Camera, animation, fade and submission of one frame; allocates nothing.
    void Update(jolp::DemoProgram& program) override;

    MyDemo* demo;
    std::string cameraName;
    FadeEnvelope fade;
};

}  // namespace tarvel
