#include "render/camera_shots.h"

#include <algorithm>
#include <memory>

namespace jolp {

float ShotFade(const CameraShot& shot, float lengthSeconds, float t) {
    float level = 1.0f;
    if (shot.fadeInSeconds > 0.0f) level = std::min(level, t / shot.fadeInSeconds);
    if (shot.fadeOutSeconds > 0.0f) level = std::min(level, (lengthSeconds - t) / shot.fadeOutSeconds);
    return std::clamp(level, 0.0f, 1.0f);
}

CameraView ShowSceneThrough(JOLP3D& scene, RenderSystem& renderer, std::string_view camera, float t, float aspect,
                            float nearPlane, float farPlane) {
    const CameraView view = scene.EvaluateCamera(camera, t, aspect, nearPlane, farPlane);
    scene.Animate(Matrix(), t);
    renderer.camera = view;
    scene.SubmitDrawItems(renderer);
    scene.SubmitLights(renderer);
    return view;
}

CameraShotTrack::CameraShotTrack(const CameraShot& cameraShot, JOLP3D& scene)
    : DemoTrack(cameraShot.startMs, cameraShot.endMs), shot(cameraShot), scene_(scene) {}

void CameraShotTrack::Update(DemoProgram& program) {
    RenderSystem& renderer = program.RendererAs<RenderSystem>();
    const float aspect = static_cast<float>(program.aspect[0]) / static_cast<float>(program.aspect[1]);
    // The scene lives on the demo's elapsed time; the fade on the shot's own.
    ShowSceneThrough(scene_, renderer, shot.camera, program.clock.elapsedSeconds, aspect, shot.nearPlane,
                     shot.farPlane);
    renderer.fade = ShotFade(shot, static_cast<float>(length) / 1000.0f, static_cast<float>(localTime) / 1000.0f);
}

void AddCameraShots(DemoProgram& program, JOLP3D& scene, std::span<const CameraShot> shots) {
    for (const CameraShot& shot : shots) program.AddChild(std::make_unique<CameraShotTrack>(shot, scene));
}

bool DescribeShot(uint32_t ms, std::span<const CameraShot> shots, DemoProgram::PartInfo& part) {
    for (size_t i = 0; i < shots.size(); ++i) {
        if (ms < shots[i].startMs || ms >= shots[i].endMs) continue;
        part.index = static_cast<uint32_t>(i);
        part.count = static_cast<uint32_t>(shots.size());
        part.startMs = shots[i].startMs;
        part.endMs = shots[i].endMs;
        part.name = shots[i].camera;
        part.kind = "shot";
        return true;
    }
    return false;
}

}  // namespace jolp
