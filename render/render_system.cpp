#include "render/render_system.h"

#include "framework/data_path.h"
#include "platform/log.h"
#include "render/culling.h"
#include "render/lights.h"
#include "render/shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>

namespace jolp {

RenderSystem::RenderSystem(jolp::GfxDevice& device, const jolp::Rect& windowRect, const jolp::Rect& viewportRect,
                           RenderFiles files)
    : device(device), windowRect_(windowRect), passTimer_(device), viewportRect_(viewportRect),
      files_(std::move(files)) {
    width = viewportRect.right - viewportRect.left;
    height = viewportRect.bottom - viewportRect.top;
    const auto w = static_cast<float>(windowRect.right - windowRect.left);
    const auto h = static_cast<float>(windowRect.bottom - windowRect.top);
    viewportMin[0] = static_cast<float>(viewportRect.left) / w;
    viewportMin[1] = static_cast<float>(viewportRect.top) / h;
    viewportMax[0] = static_cast<float>(viewportRect.right) / w;
    viewportMax[1] = static_cast<float>(viewportRect.bottom) / h;
    // Room for a busy frame, so that the first frames do not grow the lists.
    opaqueItems.reserve(1024);
    additiveItems.reserve(256);
    lights.reserve(64);
    shapes.reserve(ShapeBatch::kCapacity);
    lastShapes_.reserve(shapes.capacity());
    lastOpaqueItems_.reserve(opaqueItems.capacity());
    lastAdditiveItems_.reserve(additiveItems.capacity());
    lastLights_.reserve(lights.capacity());
}

RenderSystem::~RenderSystem() = default;

std::unique_ptr<jolp::RenderSystemBase> RenderSystem::Create(jolp::GfxDevice& device, const jolp::Rect& windowRect,
                                                             const jolp::Rect& viewportRect) {
    return std::make_unique<RenderSystem>(device, windowRect, viewportRect);
}

bool RenderSystem::LoadEffects() {
    std::string error;
    masterEffect = LoadEffect(device, DataFile(files_.masterEffect), kMasterPasses, error);
    if (!masterEffect) {
        SetStartupError(error);
        return false;
    }
    FindMasterHandles();
    struct Wrapper {
        std::unique_ptr<DemoShader>* shader;
        const std::string& path;
        PassNames passes;
    } wrappers[] = {
        {&lambertBlinnShader, files_.lambertBlinnEffect, kSurfacePasses},
        {&parallaxedLambertBlinnShader, files_.parallaxEffect, kSurfacePasses},
        {&additiveShader, files_.additiveEffect, kAdditivePasses},
        {&cubicWaterShader, files_.cubicWaterEffect, kWaterPasses},
    };
    for (const Wrapper& w : wrappers) {
        *w.shader = DemoShader::Load(device, DataFile(w.path), w.passes, error);
        if (!*w.shader) {
            SetStartupError(error);
            return false;
        }
    }
    shaders = {lambertBlinnShader.get(), parallaxedLambertBlinnShader.get(), additiveShader.get(),
               cubicWaterShader.get()};
    if (!files_.backgroundEffect.empty()) {
        backgroundEffect = LoadEffect(device, DataFile(files_.backgroundEffect), kBackgroundPasses, error);
        if (!backgroundEffect) {
            SetStartupError(error);
            return false;
        }
        FindBackgroundHandles();
    }
    if (!files_.shapesEffect.empty()) {
        auto effect = LoadEffect(device, DataFile(files_.shapesEffect), kShapePasses, error);
        if (!effect) {
            SetStartupError(error);
            return false;
        }
        shapeEffect_ = std::make_unique<ShapeEffect>(std::move(effect));
    }
    return true;
}

void RenderSystem::FindBackgroundHandles() {
    backgroundPass_ = FindPass(*backgroundEffect, backgroundEffect->GetCurrentTechnique(), kBackgroundPassName);
    backgroundTopHandle_ = backgroundEffect->GetParameterByName({}, "backgroundTopColor");
    backgroundBottomHandle_ = backgroundEffect->GetParameterByName({}, "backgroundBottomColor");
    backgroundTimeHandle_ = backgroundEffect->GetParameterByName({}, "backgroundTime");
    backgroundParametersHandle_ = backgroundEffect->GetParameterByName({}, "backgroundParameters");
}

void RenderSystem::FindMasterHandles() {
    masterTechnique = masterEffect->GetCurrentTechnique();
    masterPass_ = FindPass(*masterEffect, masterTechnique, kCompositePassName);
    fadeHandle = masterEffect->GetParameterByName({}, "fade");
    frameColorHandle_ = masterEffect->GetParameterByName({}, "frameColorRT");
    viewportMinHandle_ = masterEffect->GetParameterByName({}, "viewportMin");
    viewportMaxHandle_ = masterEffect->GetParameterByName({}, "viewportMax");
}

bool RenderSystem::ReloadEffects(std::string& messages) {
    messages.clear();
    auto fail = [&messages](const std::string& error) {
        if (!messages.empty()) messages += "\n\n";
        messages += error;
    };
    bool ok = true;
    std::string error;
    // An effect of the render system's own: replaced when its file loads,
    // taking over the values set on it.
    auto reload = [&](std::unique_ptr<jolp::Effect>& effect, PassNames passes) {
        auto fresh = LoadEffect(device, effect->Path(), passes, error);
        if (!fresh) {
            fail(error);
            ok = false;
            return false;
        }
        fresh->CopyValuesFrom(*effect);
        effect = std::move(fresh);
        return true;
    };
    if (masterEffect && reload(masterEffect, kMasterPasses)) FindMasterHandles();
    if (backgroundEffect && reload(backgroundEffect, kBackgroundPasses)) FindBackgroundHandles();
    if (shapeEffect_ && reload(shapeEffect_->effect, kShapePasses)) shapeEffect_->Bind();
    bool anyWrapper = false;
    for (DemoShader* shader : shaders) {
        if (shader->Reload(device, error)) {
            anyWrapper = true;
        } else {
            fail(error);
            ok = false;
        }
    }
    if (anyWrapper) {
        for (const std::unique_ptr<Material>& material : materials_) material->RefreshHandles();
    }
    warmedUp_ = false;
    return ok;
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
    // With a stencil: it keeps each light's pass to the pixels inside the
    // light's sphere (light_volume.h).
    sceneDepthSurface = device.CreateDepthStencilSurface(w, h, jolp::Format::D24S8);
    if (!sceneDepthSurface) {
        return refuse("the " + std::to_string(w) + " x " + std::to_string(h) + " D24S8 depth surface");
    }
    const uint32_t edge = files_.shadowCubeEdge;
    const std::string cubeSize = std::to_string(edge) + " x " + std::to_string(edge);
    shadowCubeTexture = device.CreateCubeTexture(edge, 1, jolp::kUsageRenderTarget, jolp::Format::R32F);
    if (!shadowCubeTexture) return refuse("the " + cubeSize + " R32F shadow cube target");
    shadowDepthSurface = device.CreateDepthStencilSurface(edge, edge, jolp::Format::D24X8);
    if (!shadowDepthSurface) return refuse("the " + cubeSize + " D24X8 shadow depth surface");
    std::string error;
    // Without the mask a light's pass covers its whole rectangle: the same
    // picture, more work.
    lightVolume_ = LightVolume::Create(device, error);
    if (!lightVolume_) jolp::Log(jolp::LogLevel::Warning, "%s; the lights are drawn unmasked", error.c_str());
    // The light cube only tints the lights' lighting passes; without it they
    // are drawn plain.
    if (!files_.lightCube.empty()) lightCubeTexture = jolp::TextureCube::Load(DataFile(files_.lightCube), device, error);
    if (!lightCubeTexture && !files_.lightCube.empty()) {
        jolp::Log(jolp::LogLevel::Warning, "%s; the lights are drawn without their light cube", error.c_str());
    }
    if (shapeEffect_) {
        shapeBatch_ = ShapeBatch::Create(device, error);
        if (!shapeBatch_) return refuse("the buffers of the shapes");
    }
    return true;
}

namespace {

// Determinant of the upper-left 3 x 3: below 0 for a mirroring transform.
float UpperDeterminant(const jolp::Matrix& w) {
    const auto& m = w.m;
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

}  // namespace

jolp::Matrix CameraViewMatrix(const jolp::CameraView& c) {
    auto dot = [](const jolp::Vec3& a, const jolp::Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    jolp::Matrix v = ZeroMatrix();
    v.m[0][0] = c.right.x, v.m[0][1] = c.up.x, v.m[0][2] = c.forward.x;
    v.m[1][0] = c.right.y, v.m[1][1] = c.up.y, v.m[1][2] = c.forward.y;
    v.m[2][0] = c.right.z, v.m[2][1] = c.up.z, v.m[2][2] = c.forward.z;
    v.m[3][0] = -dot(c.position, c.right);
    v.m[3][1] = -dot(c.position, c.up);
    v.m[3][2] = -dot(c.position, c.forward);
    v.m[3][3] = 1.0f;
    return v;
}

jolp::Matrix CameraProjectionMatrix(const jolp::CameraView& c) {
    const float yScale = -std::tan(c.fov / 2.0f + 3.14159265358979323846f / 2.0f);
    const float xScale = yScale / c.aspect;
    jolp::Matrix p = ZeroMatrix();
    p.m[0][0] = xScale;
    p.m[1][1] = yScale;
    p.m[2][2] = c.farPlane / (c.nearPlane - c.farPlane);
    p.m[2][3] = -1.0f;
    p.m[3][2] = c.nearPlane * c.farPlane / (c.nearPlane - c.farPlane);
    return p;
}

void RenderSystem::SubmitItem(const DrawItem& item) {
    if (!item.material) return;
    const DemoShader* wrapper = item.material->shader;
    if (!wrapper) return;
    if (wrapper == lambertBlinnShader.get() || wrapper == parallaxedLambertBlinnShader.get() ||
        wrapper == cubicWaterShader.get()) {
        opaqueItems.push_back(item);
    } else if (wrapper == additiveShader.get()) {
        additiveItems.push_back(item);
    }
}

void RenderSystem::SubmitLight(const RenderLight& light) { lights.push_back(light); }

const jolp::Effect* RenderSystem::ShapesEffect() const { return shapeEffect_ ? shapeEffect_->effect.get() : nullptr; }

bool RenderSystem::SubmitShape(const Shape2D& shape) {
    if (!shapeEffect_ || shapes.size() >= ShapeBatch::kCapacity) return false;
    shapes.push_back(shape);
    return true;
}

Material* RenderSystem::Keep(std::unique_ptr<Material> material) {
    materials_.push_back(std::move(material));
    return materials_.back().get();
}

RenderLight* RenderSystem::KeepLight(const RenderLight& light) {
    renderLights_.push_back(light);
    return &renderLights_.back();
}

void RenderSystem::RenderFrame() {
    if (!frameColorTexture || !sceneDepthSurface || shaders.size() != 4 || !masterEffect) {
        // Start-up did not finish; there is nothing to draw with.
        SkipFrame();
        return;
    }
    DrawSubmitted();
    // A copy of the lists is kept as the last frame's, for a redraw; both
    // keep their storage, so that once grown no frame allocates.
    lastOpaqueItems_.assign(opaqueItems.begin(), opaqueItems.end());
    lastAdditiveItems_.assign(additiveItems.begin(), additiveItems.end());
    lastLights_.assign(lights.begin(), lights.end());
    lastShapes_.assign(shapes.begin(), shapes.end());
    lastTime_ = time;
    EmptyLists();
    time += 0.04f;
}

void RenderSystem::RedrawLastFrame() {
    if (!frameColorTexture || !sceneDepthSurface || shaders.size() != 4 || !masterEffect) return;
    SwapWithLastFrame();
    const float now = time;
    time = lastTime_;
    DrawSubmitted();
    time = now;
    SwapWithLastFrame();
}

void RenderSystem::SwapWithLastFrame() {
    opaqueItems.swap(lastOpaqueItems_);
    additiveItems.swap(lastAdditiveItems_);
    lights.swap(lastLights_);
    shapes.swap(lastShapes_);
}

void RenderSystem::DrawSubmitted() {
    jolp::Surface* backBuffer = device.GetBackBuffer();
    jolp::Surface* backDepth = device.GetDepthStencilSurface();
    frameColorSurface = frameColorTexture->GetSurfaceLevel(0);

    passTimer_.Begin();
    device.SetRenderTarget(0, frameColorSurface);
    device.SetDepthStencilSurface(sceneDepthSurface.get());
    device.Clear(jolp::kClearTarget | jolp::kClearZBuffer | jolp::kClearStencil, clearColour, 1.0f, 0);
    if (lightVolume_) lightVolume_->BeginFrame();

    // By wrapper in the order of `shaders`, then by material in the order
    // they were made: the same order in every run. Items of one material go
    // nearest first, so that the depth test spares the ambient pass the
    // surfaces they hide.
    auto wrapperRank = [this](const DemoShader* wrapper) {
        return static_cast<size_t>(std::find(shaders.begin(), shaders.end(), wrapper) - shaders.begin());
    };
    const jolp::CameraView eye = camera;
    auto nearness = [&eye](const DrawItem& item) {
        if (item.boundsRadius < 0.0f) return std::numeric_limits<float>::infinity();
        const jolp::Vec3& c = item.boundsCentre;
        // View-space z: visible points have it below 0.
        return (c.x - eye.position.x) * eye.forward.x + (c.y - eye.position.y) * eye.forward.y +
               (c.z - eye.position.z) * eye.forward.z;
    };
    std::sort(opaqueItems.begin(), opaqueItems.end(), [&](const DrawItem& a, const DrawItem& b) {
        if (a.material->shader != b.material->shader) return wrapperRank(a.material->shader) < wrapperRank(b.material->shader);
        if (a.material != b.material) return a.material->serial < b.material->serial;
        return nearness(a) > nearness(b);
    });

    viewMatrix = CameraViewMatrix(camera);
    projectionMatrix = CameraProjectionMatrix(camera);
    for (DemoShader* shader : shaders) SetFrameParameters(*this, *shader);
    if (backgroundEffect) DrawBackground();

    device.SetRenderState(jolp::RenderState::ZWriteEnable, 1);
    device.SetRenderState(jolp::RenderState::ZEnable, 1);
    device.SetRenderState(jolp::RenderState::AlphaBlendEnable, 0);
    const jolp::Matrix viewProjection = MatrixMultiply(viewMatrix, projectionMatrix);
    // The first frame after the effects are loaded draws everything, so
    // that the driver prepares each program and target it will ever need
    // now rather than when a light first comes into view.
    culling_ = warmedUp_;
    cameraVolume_ = culling_ ? CullVolume::FromClipMatrix(viewProjection) : CullVolume{};
    glowVolume_ = culling_ ? CullVolume::FromClipMatrix(viewProjection, true) : CullVolume{};
    DrawList(opaqueItems, PassKind::Ambient, cameraVolume_);
    passTimer_.Mark(TimedPass::Ambient);

    device.SetRenderState(jolp::RenderState::ZWriteEnable, 0);
    device.SetRenderState(jolp::RenderState::AlphaBlendEnable, 1);
    device.SetRenderState(jolp::RenderState::DestBlend, jolp::kBlendOne);
    device.SetRenderState(jolp::RenderState::SrcBlend, jolp::kBlendOne);

    for (size_t i = 0; i < lights.size(); ++i) {
        const RenderLight& light = lights[i];
        currentLightIndex_ = static_cast<int32_t>(i);
        // A light lights only surfaces inside its sphere, so one whose
        // sphere is wholly outside the view adds nothing to the picture
        // (nor does its shadow cube); a volume light's glow needs a view ray
        // through its sphere.
        if (!(light.isVolume ? glowVolume_ : cameraVolume_).TouchesSphere(light.position, light.radius)) continue;
        for (DemoShader* shader : shaders) SetLightParameters(light, *shader, shadowCubeTexture.get());
        DrawLight(light);
    }

    currentLightIndex_ = -1;

    DrawList(opaqueItems, PassKind::Water, cameraVolume_);
    passTimer_.Mark(TimedPass::Water);
    DrawList(additiveItems, PassKind::Additive, cameraVolume_);
    passTimer_.Mark(TimedPass::Additive);
    if (shapeBatch_ && !shapes.empty()) DrawShapes();

    device.SetRenderTarget(0, backBuffer);
    device.SetDepthStencilSurface(backDepth);
    Composite();
    passTimer_.Mark(TimedPass::Composite);
    passTimer_.End();

    frameColorSurface = nullptr;
    warmedUp_ = true;
}

void RenderSystem::SkipFrame() {
    EmptyLists();
    time += 0.04f;
}

void RenderSystem::EmptyLists() {
    lights.clear();
    opaqueItems.clear();
    additiveItems.clear();
    shapes.clear();
}

void RenderSystem::DrawLight(const RenderLight& light) {
    if (light.castsShadow && shadowCubeTexture && shadowDepthSurface) {
        device.SetDepthStencilSurface(shadowDepthSurface.get());
        device.SetRenderState(jolp::RenderState::AlphaBlendEnable, 0);
        device.SetRenderState(jolp::RenderState::ZWriteEnable, 1);
        for (uint32_t face = 0; face < 6; ++face) {
            const jolp::Matrix toFace = CubeFaceMatrix(light, static_cast<int32_t>(face));
            // A face no visible surface in the light's reach looks into is
            // never read this frame (nor by any other light: each renders its
            // own), so it is left as it is.
            // Nor are its texels outside the receivers' outlines, so an
            // effect whose shadow pass tests the scissor draws only those.
            jolp::ScissorRect texels{0, 0, static_cast<int32_t>(files_.shadowCubeEdge),
                                     static_cast<int32_t>(files_.shadowCubeEdge)};
            if (culling_ && !FaceReceivers(light, toFace, texels)) continue;
            device.SetRenderTarget(0, shadowCubeTexture->GetCubeMapSurface(face, 0));
            device.Clear(jolp::kClearTarget | jolp::kClearZBuffer | jolp::kClearStencil, 0xFFFFFFFFu, 1.0f, 0);
            device.SetScissorRect(texels);
            for (DemoShader* shader : shaders) SetCubeFaceMatrix(*shader, toFace);
            // What lies outside the light's sphere can neither shade nor be
            // shaded by it: every point it lights is nearer to it.
            DrawList(opaqueItems, PassKind::ShadowDepth,
                     culling_ ? CullVolume::FromClipMatrix(toFace).WithSphere(light.position, light.radius)
                              : CullVolume{});
        }
        device.SetRenderState(jolp::RenderState::AlphaBlendEnable, 1);
        device.SetRenderState(jolp::RenderState::ZWriteEnable, 0);
        device.SetDepthStencilSurface(sceneDepthSurface.get());
        device.SetRenderTarget(0, frameColorSurface);
        passTimer_.Mark(TimedPass::ShadowCube, light.name, currentLightIndex_);
    }

    // The rectangle of the touching planes is trusted only for a sphere
    // wholly behind the eye plane: for one in front of the camera their
    // bounds cross, and for one reaching across the eye plane they can bound
    // the wrong side and cut lit pixels off. A sphere in front of the camera
    // gets the screen bounds of its box instead, so that its light pass
    // shades only the pixels it can reach (the picture is the same: nothing
    // outside the sphere is lit by it); any other gets the whole picture.
    const jolp::Matrix view = CameraViewMatrix(camera);
    jolp::ScissorRect rect{0, 0, width, height};
    LightRect found;
    const bool haveRect = LightScissorRect(light.position, view, light.radius, camera.fov, width, height, found);
    const jolp::Vec3& p = light.position;
    const jolp::Vec3 centre{p.x * view.m[0][0] + p.y * view.m[1][0] + p.z * view.m[2][0] + view.m[3][0],
                            p.x * view.m[0][1] + p.y * view.m[1][1] + p.z * view.m[2][1] + view.m[3][1],
                            p.x * view.m[0][2] + p.y * view.m[1][2] + p.z * view.m[2][2] + view.m[3][2]};
    if (haveRect && centre.z - light.radius >= 0.0f) {
        rect = jolp::ScissorRect{found.left, found.top, found.left + found.width, found.top + found.height};
    } else if (SphereScreenBounds(centre, light.radius, projectionMatrix, camera.nearPlane, width, height, found)) {
        rect = jolp::ScissorRect{found.left, found.top, found.left + found.width, found.top + found.height};
    }
    device.SetScissorRect(rect);

    // Only the pixels whose surface is inside the sphere, or for a volume
    // light, whose view ray passes through it (its glow).
    const bool masked = lightVolume_ &&
                        lightVolume_->Mark(light.position, light.radius, view, projectionMatrix, camera.nearPlane,
                                           camera.farPlane, light.isVolume);

    currentLight_ = &light;
    // A volume light's glow reaches surfaces behind its sphere; any other
    // light adds nothing outside it.
    DrawList(opaqueItems, PassKind::Diffuse,
             light.isVolume || !culling_ ? cameraVolume_ : cameraVolume_.WithSphere(light.position, light.radius));
    currentLight_ = nullptr;
    if (masked) lightVolume_->Finish();
    passTimer_.Mark(TimedPass::Light, light.name, currentLightIndex_);

    device.SetScissorRect(jolp::ScissorRect{0, 0, width, height});
}

bool RenderSystem::FaceReceivers(const RenderLight& light, const jolp::Matrix& toFace, jolp::ScissorRect& rect) const {
    // The face's volume a little wider than its 90 degrees, for the lookups
    // that soften the shadow's edge (a few texels to the side, which may
    // fall on the next face).
    jolp::Matrix wide = toFace;
    for (auto& row : wide.m) {
        row[0] *= 0.98f;
        row[1] *= 0.98f;
    }
    const CullVolume face = CullVolume::FromClipMatrix(wide);
    const CullVolume lit = cameraVolume_.WithSphere(light.position, light.radius);
    // The face's own projection, for the texels each receiver covers.
    jolp::Matrix project = ZeroMatrix();
    project.m[0][0] = project.m[1][1] = 1.0f;
    project.m[2][2] = project.m[3][2] = kCubeFaceDepthScale;
    project.m[2][3] = -1.0f;
    const auto edge = static_cast<int32_t>(files_.shadowCubeEdge);
    constexpr int32_t kMargin = 3;  // texels, beyond the 1.5 the soft edge reaches
    bool any = false;
    int32_t left = edge, top = edge, right = 0, bottom = 0;
    for (const DrawItem& item : opaqueItems) {
        if (!lit.Touches(item) || !face.Touches(item)) continue;
        any = true;
        LightRect covered;
        const jolp::Vec3& c = item.boundsCentre;
        const auto& m = toFace.m;
        // In the face's view space: its clip x and y, and minus its clip w.
        const jolp::Vec3 inFace{c.x * m[0][0] + c.y * m[1][0] + c.z * m[2][0] + m[3][0],
                                c.x * m[0][1] + c.y * m[1][1] + c.z * m[2][1] + m[3][1],
                                -(c.x * m[0][3] + c.y * m[1][3] + c.z * m[2][3] + m[3][3])};
        if (item.boundsRadius < 0.0f ||
            !SphereScreenBounds(inFace, item.boundsRadius, project, 1.0f, edge, edge, covered)) {
            left = top = 0;  // around the light itself, or unbounded: the whole face
            right = bottom = edge;
            break;
        }
        if (covered.width <= 0 || covered.height <= 0) continue;
        left = std::min(left, covered.left - kMargin);
        top = std::min(top, covered.top - kMargin);
        right = std::max(right, covered.left + covered.width + kMargin);
        bottom = std::max(bottom, covered.top + covered.height + kMargin);
    }
    rect = jolp::ScissorRect{std::max(left, 0), std::max(top, 0), std::min(right, edge), std::min(bottom, edge)};
    return any;
}

void RenderSystem::DrawList(const std::vector<DrawItem>& list, PassKind kind, const CullVolume& cull) {
    const Material* applied = nullptr;
    for (const DrawItem& item : list) {
        if (!cull.Touches(item)) continue;
        Material* material = item.material;
        const DemoShader& wrapper = *material->shader;
        int32_t pass = -1;
        switch (kind) {
            case PassKind::Ambient: pass = wrapper.AmbientPass(); break;
            case PassKind::Water: pass = wrapper.WaterPass(); break;
            case PassKind::ShadowDepth: pass = wrapper.ShadowDepthPass(); break;
            case PassKind::Additive: pass = wrapper.AdditivePass(); break;
            case PassKind::Diffuse:
                pass = currentLight_ ? wrapper.DiffusePass(currentLight_->castsShadow, currentLight_->usesLightCube,
                                                           currentLight_->isVolume)
                                     : -1;
                break;
        }
        if (pass < 0) continue;
        if (material != applied) {
            material->Apply();
            applied = material;
        }
        const bool mirrored = UpperDeterminant(item.world) < 0.0f;
        jolp::Effect& effect = *wrapper.GetEffect();
        effect.SetMatrix(material->objectToWorldHandle, &item.world.m[0][0]);
        effect.SetMatrix(material->worldToObjectHandle, &item.worldInverse.m[0][0]);
        effect.SetBool(material->swapTrianglesHandle, mirrored);
        device.SetRenderState(jolp::RenderState::CullMode, mirrored ? jolp::kCullCW : jolp::kCullCCW);
        effect.Begin(nullptr, 0);
        effect.BeginPass(static_cast<uint32_t>(pass));
        DrawGeometry(item);
        effect.EndPass();
        effect.End();
    }
}

void RenderSystem::DrawGeometry(const DrawItem& item) {
    device.SetVertexDeclaration(item.vertexDeclaration);
    device.SetStreamSource(0, item.vertexBuffer, 0, item.vertexStride);
    if (item.indexBuffer) {
        device.SetIndices(item.indexBuffer);
        device.DrawIndexedPrimitive(item.primitiveType, 0, 0, item.vertexCount, item.firstIndex, item.primitiveCount);
    } else {
        device.DrawPrimitive(item.primitiveType, 0, item.primitiveCount);
    }
}

void RenderSystem::Composite() {
    masterEffect->SetTexture(frameColorHandle_, frameColorTexture.get());
    const float min[4] = {viewportMin[0], viewportMin[1], 0.0f, 0.0f};
    const float max[4] = {viewportMax[0], viewportMax[1], 0.0f, 0.0f};
    masterEffect->SetVector(viewportMinHandle_, min);
    masterEffect->SetVector(viewportMaxHandle_, max);
    masterEffect->SetFloat(fadeHandle, fade);

    if (!MakeQuad()) return;
    masterEffect->Begin(nullptr, 0);
    if (masterPass_ < 0 || !masterEffect->BeginPass(static_cast<uint32_t>(masterPass_))) {
        masterEffect->End();
        return;
    }
    DrawQuad();
    masterEffect->EndPass();
    masterEffect->End();
}

bool RenderSystem::MakeQuad() {
    if (quadBuffer_) return true;
    static constexpr jolp::VertexElement kQuadLayout[] = {
        {0, 0, jolp::DeclType::Float3, jolp::DeclUsage::Position, 0},
        {0, 12, jolp::DeclType::Float2, jolp::DeclUsage::TexCoord, 0},
    };
    static constexpr float kQuad[4][5] = {
        {-1.0f, -1.0f, 0.0f, 0.0f, 1.0f},
        {-1.0f, 1.0f, 0.0f, 0.0f, 0.0f},
        {1.0f, -1.0f, 0.0f, 1.0f, 1.0f},
        {1.0f, 1.0f, 0.0f, 1.0f, 0.0f},
    };
    quadDeclaration_ = device.CreateVertexDeclaration(kQuadLayout);
    quadBuffer_ = device.CreateVertexBuffer(sizeof(kQuad), jolp::kUsageWriteOnly);
    if (!quadDeclaration_ || !quadBuffer_) {
        quadDeclaration_.reset();
        quadBuffer_.reset();
        return false;
    }
    if (void* p = quadBuffer_->Lock(0, sizeof(kQuad), 0)) {
        std::memcpy(p, kQuad, sizeof(kQuad));
        quadBuffer_->Unlock();
    }
    return true;
}

void RenderSystem::DrawQuad() {
    device.SetVertexDeclaration(quadDeclaration_.get());
    device.SetStreamSource(0, quadBuffer_.get(), 0, 20);
    device.DrawPrimitive(jolp::PrimitiveType::TriangleStrip, 0, 2);
}

void RenderSystem::DrawBackground() {
    if (backgroundPass_ < 0 || !MakeQuad()) return;
    jolp::Effect& effect = *backgroundEffect;
    effect.SetVector(backgroundTopHandle_, background.topColour);
    effect.SetVector(backgroundBottomHandle_, background.bottomColour);
    effect.SetFloat(backgroundTimeHandle_, background.time);
    effect.SetVector(backgroundParametersHandle_, background.parameters);
    // Over every pixel, under everything the scene draws: no depth, no
    // blending.
    device.SetRenderState(jolp::RenderState::ZEnable, 0);
    device.SetRenderState(jolp::RenderState::ZWriteEnable, 0);
    device.SetRenderState(jolp::RenderState::AlphaBlendEnable, 0);
    device.SetRenderState(jolp::RenderState::CullMode, jolp::kCullNone);
    effect.Begin(nullptr, 0);
    if (effect.BeginPass(static_cast<uint32_t>(backgroundPass_))) {
        DrawQuad();
        effect.EndPass();
    }
    effect.End();
}

void RenderSystem::DrawShapes() {
    const float aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    shapeBatch_->Draw(shapes, *shapeEffect_, camera, viewMatrix, projectionMatrix, aspect);
}

}  // namespace jolp
