#include "demo/cameras.h"

#include "demo/my_demo.h"
#include "demo/timeline.h"
#include "render/camera_shots.h"

namespace tarvel {

Cameras::Cameras(uint32_t startMs, uint32_t endMs, const std::string& name, MyDemo* owner)
    : jolp::DemoTrack(startMs, endMs),
      demo(owner),
      cameraName(name),
      fade{this, kShotFadeSeconds, kShotFadeSeconds} {}

void Cameras::Update(jolp::DemoProgram&) {
    const float aspect = static_cast<float>(demo->aspect[0]) / static_cast<float>(demo->aspect[1]);
    // The scene lives on the demo's global time; only the fade follows the
    // shot's own clock.
    const float t = demo->clock.elapsedSeconds;
    jolp::RenderSystem& renderSystem = *demo->Renderer();
    demo->camera = jolp::ShowSceneThrough(*demo->scene, renderSystem, cameraName, t, aspect, kCameraNear, kCameraFar);
    renderSystem.fade = fade.Value(static_cast<float>(localTime) / 1000.0f);
}

}  // namespace tarvel
