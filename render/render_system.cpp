#include "render/render_system.h"

namespace tarvel {

RenderSystem::RenderSystem(jolp::GfxDevice& device, const jolp::Rect& windowRect, const jolp::Rect& viewportRect)
    : device(device), windowRect_(windowRect), viewportRect_(viewportRect) {
    width = viewportRect.right - viewportRect.left;
    height = viewportRect.bottom - viewportRect.top;
    const auto w = static_cast<float>(windowRect.right - windowRect.left);
    const auto h = static_cast<float>(windowRect.bottom - windowRect.top);
    viewportMin[0] = static_cast<float>(viewportRect.left) / w;
    viewportMin[1] = static_cast<float>(viewportRect.top) / h;
    viewportMax[0] = static_cast<float>(viewportRect.right) / w;
    viewportMax[1] = static_cast<float>(viewportRect.bottom) / h;
}

RenderSystem::~RenderSystem() = default;

std::unique_ptr<jolp::RenderSystemBase> RenderSystem::Create(jolp::GfxDevice& device, const jolp::Rect& windowRect,
                                                             const jolp::Rect& viewportRect) {
    return std::make_unique<RenderSystem>(device, windowRect, viewportRect);
}

bool RenderSystem::LoadEffects() {
    std::string error;
    masterEffect = LoadEffect(device, kMasterEffectPath, error);
    if (!masterEffect) {
        SetStartupError(error);
        return false;
    }
    masterTechnique = masterEffect->GetCurrentTechnique();
    fadeHandle = masterEffect->GetParameterByName({}, "fade");
    struct Wrapper {
        std::unique_ptr<DemoShader>* shader;
        const char* path;
    } wrappers[] = {
        {&lambertBlinnShader, kLambertBlinnEffectPath},
        {&parallaxedLambertBlinnShader, kParallaxEffectPath},
        {&additiveShader, kAdditiveEffectPath},
        {&cubicWaterShader, kCubicWaterEffectPath},
    };
    for (const Wrapper& w : wrappers) {
        *w.shader = DemoShader::Load(device, w.path, error);
        if (!*w.shader) {
            SetStartupError(error);
            return false;
        }
    }
    shaders = {lambertBlinnShader.get(), parallaxedLambertBlinnShader.get(), additiveShader.get(),
               cubicWaterShader.get()};
    return true;
}

bool RenderSystem::CreateTargets() {
    const auto w = static_cast<uint32_t>(width);
    const auto h = static_cast<uint32_t>(height);
    auto refuse = [this](const std::string& what) {
        SetStartupError("the graphics device cannot create " + what);
        return false;
    };
    frameColorTexture =
        device.CreateTexture(w, h, 1, jolp::kUsageRenderTarget, jolp::Format::A16B16G16R16F);
    if (!frameColorTexture) {
        return refuse("the " + std::to_string(w) + " x " + std::to_string(h) + " A16B16G16R16F frame target");
    }
    sceneDepthSurface = device.CreateDepthStencilSurface(w, h, jolp::Format::D24X8);
    if (!sceneDepthSurface) {
        return refuse("the " + std::to_string(w) + " x " + std::to_string(h) + " D24X8 depth surface");
    }
    shadowCubeTexture =
        device.CreateCubeTexture(kShadowCubeEdge, 1, jolp::kUsageRenderTarget, jolp::Format::R32F);
    if (!shadowCubeTexture) return refuse("the 512 x 512 R32F shadow cube target");
    shadowDepthSurface = device.CreateDepthStencilSurface(kShadowCubeEdge, kShadowCubeEdge, jolp::Format::D24X8);
    if (!shadowDepthSurface) return refuse("the 512 x 512 D24X8 shadow depth surface");
    lightCubeTexture = jolp::TextureCube::Load(kLightCubePath, device);
    return true;
}

void RenderSystem::RenderFrame() {
    jolp::Viewport picture;
    picture.x = static_cast<uint32_t>(viewportRect_.left);
    picture.y = static_cast<uint32_t>(viewportRect_.top);
    picture.width = static_cast<uint32_t>(viewportRect_.Width());
    picture.height = static_cast<uint32_t>(viewportRect_.Height());
    device.SetViewport(picture);
    device.Clear(jolp::kClearTarget, 0xFF000000u, 1.0f, 0);
    SkipFrame();
}

void RenderSystem::SkipFrame() { time += 0.04f; }

}  // namespace tarvel
