// render_system.h - RenderSystem, the demo's renderer: it owns the
// off-screen targets, the master effect and the four material wrappers, and
// draws each frame into the letterboxed picture rectangle of the back
// buffer.
//
// Start-up: LoadEffects (the master effect, then the Lambert-Blinn,
// parallax, additive and water wrappers), then CreateTargets (the 16-bit
// float frame target with its depth surface, the 512 x 512 R32F shadow cube
// with its depth surface, the light cube "lightCube.dds"). Either returning
// false leaves the reason in StartupError().
//
// The camera track writes `camera` and `fade` each frame. The render system
// borrows the device; the program owns the render system and destroys it
// before the device.
#pragma once

#include "framework/render_system_base.h"
#include "framework/texture.h"
#include "render/shader.h"
#include "scene/animation.h"
#include "scene/transform_math.h"

#include <memory>
#include <string>
#include <vector>

namespace tarvel {

inline constexpr const char* kMasterEffectPath = "shaders/master.fx";
inline constexpr const char* kLambertBlinnEffectPath = "shaders/lambertblinn.fx";
inline constexpr const char* kParallaxEffectPath = "shaders/parallaxedlambertblinn.fx";
inline constexpr const char* kAdditiveEffectPath = "shaders/additive.fx";
inline constexpr const char* kCubicWaterEffectPath = "shaders/cubicwater.fx";
inline constexpr const char* kLightCubePath = "lightCube.dds";
inline constexpr uint32_t kShadowCubeEdge = 512;

class RenderSystem final : public jolp::RenderSystemBase {
public:
    RenderSystem(jolp::GfxDevice& device, const jolp::Rect& windowRect, const jolp::Rect& viewportRect);
    ~RenderSystem() override;

    bool LoadEffects() override;
    bool CreateTargets() override;
    void RenderFrame() override;
    void SkipFrame() override;

    const jolp::Rect& WindowRect() const { return windowRect_; }
    const jolp::Rect& ViewportRect() const { return viewportRect_; }
    // Advances 0.04 per frame, drawn or skipped.
    float Time() const { return time; }

    static std::unique_ptr<jolp::RenderSystemBase> Create(jolp::GfxDevice& device, const jolp::Rect& windowRect,
                                                          const jolp::Rect& viewportRect);

    jolp::GfxDevice& device;
    jolp::CameraView camera;
    float viewportMin[2] = {0.0f, 0.0f};
    float viewportMax[2] = {1.0f, 1.0f};
    std::unique_ptr<jolp::TextureCube> lightCubeTexture;
    std::unique_ptr<DemoShader> lambertBlinnShader;
    std::unique_ptr<DemoShader> parallaxedLambertBlinnShader;
    std::unique_ptr<DemoShader> cubicWaterShader;
    std::unique_ptr<DemoShader> additiveShader;
    // The four wrappers in the order Lambert-Blinn, parallax, additive, water.
    std::vector<DemoShader*> shaders;
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<jolp::GfxTexture> frameColorTexture;
    std::unique_ptr<jolp::Surface> sceneDepthSurface;
    std::unique_ptr<jolp::GfxCubeTexture> shadowCubeTexture;
    std::unique_ptr<jolp::Surface> shadowDepthSurface;
    jolp::Matrix viewMatrix;
    jolp::Matrix projectionMatrix;
    std::unique_ptr<jolp::Effect> masterEffect;
    jolp::EffectHandle masterTechnique;
    jolp::EffectHandle fadeHandle;
    float fade = 1.0f;
    float time = 0.0f;

private:
    jolp::Rect windowRect_;
    jolp::Rect viewportRect_;
};

}  // namespace tarvel
