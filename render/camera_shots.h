// camera_shots.h - a demo's edit as a table of camera shots. Each shot looks
// through one camera of the scene from its start to its end on the root's
// clock, animates the whole scene at the demo's elapsed seconds, hands the
// scene's draw items and lights to the shared renderer, and rises from
// black and falls back to it at its edges.
//
//   constexpr jolp::CameraShot kShots[] = {
//       {"CamHigh", 0, 4000, 0.8f, 0.8f, 0.1f, 100.0f},
//       {"CamLow", 4000, 8000, 0.8f, 0.8f, 0.1f, 100.0f},
//   };
//   bool BuildTimeline() override { jolp::AddCameraShots(*this, scene, kShots); return true; }
//   bool DescribePart(uint32_t ms, PartInfo& part) const override {
//       return jolp::DescribeShot(ms, kShots, part);
//   }
//
// Ownership: the tracks refer to the scene and the table's camera names,
// which must outlive them; the program keeps the tracks.
#pragma once

#include "framework/demo_program.h"
#include "render/render_system.h"
#include "scene/jolp3d.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace jolp {

struct CameraShot {
    const char* camera = "";  // the scene camera the shot looks through
    uint32_t startMs = 0;     // root time of its first frame
    uint32_t endMs = 0;       // root time of the first frame after it
    float fadeInSeconds = 0.0f;   // rise from black; 0: none
    float fadeOutSeconds = 0.0f;  // fall to black; 0: none
    float nearPlane = 1.0f;
    float farPlane = 5000.0f;
};

// The fade level t seconds into a shot lengthSeconds long: rising over its
// fade-in, falling over its fade-out, 1 between, never outside 0 to 1.
float ShotFade(const CameraShot& shot, float lengthSeconds, float t);

// One frame seen through a scene camera: the camera at t seconds (aspect,
// near and far as given) becomes the renderer's, the whole scene is
// animated at t and its draw items and lights handed over. Returns the
// camera. Allocates nothing.
CameraView ShowSceneThrough(JOLP3D& scene, RenderSystem& renderer, std::string_view camera, float t, float aspect,
                            float nearPlane, float farPlane);

// The track of one shot: ShowSceneThrough at the program's elapsed seconds
// with the program's aspect, and the renderer's fade from ShotFade.
class CameraShotTrack final : public DemoTrack {
public:
    CameraShotTrack(const CameraShot& shot, JOLP3D& scene);
    void Update(DemoProgram& program) override;

    const CameraShot shot;

private:
    JOLP3D& scene_;
};

// A CameraShotTrack under program for each shot, in the table's order; the
// program keeps them.
void AddCameraShots(DemoProgram& program, JOLP3D& scene, std::span<const CameraShot> shots);

// The authoring mode's part at root time ms: the shot running then (index,
// count, span, camera as its name, kind "shot"); false between or after.
bool DescribeShot(uint32_t ms, std::span<const CameraShot> shots, DemoProgram::PartInfo& part);

}  // namespace jolp
