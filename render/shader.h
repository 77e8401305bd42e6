// shader.h - the effect wrappers the renderer draws materials through.
//
// Shader is what a material knows of its effect: the effect, its technique,
// and which pass (by index, -1 when the effect has none) draws each of the
// renderer's passes. DemoShader wraps one of the demo's effect files (the
// render system's RenderFiles name them): it finds its passes by name when
// made and again when its file is reloaded, and caches the handles of the
// parameters the renderer sets every frame and for every light (emptied by
// a reload, found again when next needed).
//
// The render system owns the wrappers; a wrapper owns its effect.
#pragma once

#include "framework/effect.h"
#include "platform/gfx_device.h"
#include "scene/draw_submission.h"

#include <memory>
#include <span>
#include <string>

namespace jolp {

class RenderSystem;

// The pass names the renderer looks for in every material effect.
inline constexpr const char* kAmbientPassName = "ambient";
inline constexpr const char* kWaterPassName = "water";
inline constexpr const char* kShadowDepthPassName = "shadowDepth";
inline constexpr const char* kAdditivePassName = "additive";
inline constexpr const char* kDiffusePassName = "diffuse";
inline constexpr const char* kDiffuseShadowPassName = "diffuseShadow";
inline constexpr const char* kDiffuseVolumePassName = "diffuseVolume";
inline constexpr const char* kDiffuseLightCubePassName = "diffuseLightCube";
// The one pass of the master effect.
inline constexpr const char* kCompositePassName = "composite";

// The passes an effect must declare: those its wrapper, or the render
// system for the master effect, draws with. A file without one of them is
// refused when loaded and when reloaded.
using PassNames = std::span<const char* const>;
inline constexpr const char* kSurfacePasses[] = {kAmbientPassName,       kShadowDepthPassName,
                                                 kDiffusePassName,       kDiffuseShadowPassName,
                                                 kDiffuseVolumePassName, kDiffuseLightCubePassName};
inline constexpr const char* kAdditivePasses[] = {kAdditivePassName};
inline constexpr const char* kWaterPasses[] = {kWaterPassName};
inline constexpr const char* kMasterPasses[] = {kCompositePassName};

class Shader {
public:
    virtual ~Shader() = default;
    virtual jolp::Effect* GetEffect() const = 0;
    virtual jolp::EffectHandle GetTechnique() const = 0;
    virtual int32_t AmbientPass() const { return -1; }
    virtual int32_t WaterPass() const { return -1; }
    virtual int32_t DiffusePass(bool castsShadow, bool usesLightCube, bool isVolume) const {
        (void)castsShadow, (void)usesLightCube, (void)isVolume;
        return -1;
    }
    virtual int32_t ShadowDepthPass() const { return -1; }
    virtual int32_t AdditivePass() const { return -1; }
};

// Loads and compiles one effect file (path opened as given: a render
// system's files are RenderSystemBase::DataFile of their names). Null on
// failure with error naming the file, and for code that does not compile
// the compiler's messages with file and line.
std::unique_ptr<jolp::Effect> LoadEffect(jolp::GfxDevice& device, const std::string& path, std::string& error);
// The same, refusing an effect whose technique lacks one of passes, with
// error "PATH: no pass \"NAME\"" for the first it lacks.
std::unique_ptr<jolp::Effect> LoadEffect(jolp::GfxDevice& device, const std::string& path, PassNames passes,
                                         std::string& error);

// The index of the pass called name in technique, compared byte for byte;
// -1 when there is none.
int32_t FindPass(const jolp::Effect& effect, jolp::EffectHandle technique, const char* name);

class DemoShader final : public Shader {
public:
    // Null when the effect cannot be loaded or lacks one of passes, the
    // passes the wrapper draws with (error says why).
    static std::unique_ptr<DemoShader> Load(jolp::GfxDevice& device, const std::string& path, PassNames passes,
                                            std::string& error);
    // effect must hold passes; the wrapper keeps the list (static data) for
    // Reload.
    DemoShader(std::unique_ptr<jolp::Effect> effect, PassNames passes);

    jolp::Effect* GetEffect() const override { return effect_.get(); }
    jolp::EffectHandle GetTechnique() const override { return technique_; }
    int32_t AmbientPass() const override { return ambientPass; }
    int32_t WaterPass() const override { return waterPass; }
    // The first that holds: light cube, volume, shadow, plain.
    int32_t DiffusePass(bool castsShadow, bool usesLightCube, bool isVolume) const override;
    int32_t ShadowDepthPass() const override { return shadowDepthPass; }
    int32_t AdditivePass() const override { return additivePass; }

    // Loads the wrapper's file anew (the path it was loaded from, data
    // folder included). Only when it compiles does the new effect
    // replace the old one: it takes over the values and textures set on the
    // old one, the passes are found again by name and the cached parameter
    // handles are emptied. Materials drawn through this wrapper must then
    // refresh their handles (Material::RefreshHandles). On failure (it does
    // not compile, or lacks one of the wrapper's passes) nothing changes and
    // error names the file with the compiler's messages or the pass.
    bool Reload(jolp::GfxDevice& device, std::string& error);

    // Pass indices, -1 for a pass the effect lacks; found again by Reload.
    int32_t ambientPass = -1;
    int32_t waterPass = -1;
    int32_t shadowDepthPass = -1;
    int32_t additivePass = -1;
    int32_t diffusePass = -1;
    int32_t diffuseShadowPass = -1;
    int32_t diffuseVolumePass = -1;
    int32_t diffuseLightCubePass = -1;

    // Parameter handles, empty until first needed.
    jolp::EffectHandle matWorldToView;
    jolp::EffectHandle matViewToProj;
    jolp::EffectHandle lightPosition;
    jolp::EffectHandle lightColor;
    jolp::EffectHandle lightRadius;
    jolp::EffectHandle volumeLightIntensity;
    jolp::EffectHandle depthShadowMap;
    jolp::EffectHandle lightTexture;
    jolp::EffectHandle lightCastsShadow;
    jolp::EffectHandle cameraPosition;
    jolp::EffectHandle matWorldToCubeFace;
    jolp::EffectHandle lightCube;

private:
    // Finds the passes in effect_ and empties the parameter handles.
    void Bind();

    std::unique_ptr<jolp::Effect> effect_;
    PassNames passes_;
    jolp::EffectHandle technique_;
};

// The camera's matrices and position, and the light cube when there is one:
// once per frame on every material wrapper.
void SetFrameParameters(const RenderSystem& renderSystem, DemoShader& shader);
// Position, colour, radius, volume intensity and the shadow cube: before
// each light, on every material wrapper. lightCastsShadow (1 or 0) tells
// the light-cube and volume passes whether the shadow cube is this light's.
void SetLightParameters(const RenderLight& light, DemoShader& shader, const jolp::GfxCubeTexture* shadowCube);
// The world-to-cube-face matrix of a shadow face.
void SetCubeFaceMatrix(DemoShader& shader, const jolp::Matrix& worldToCubeFace);

}  // namespace jolp
