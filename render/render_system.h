// render_system.h - RenderSystem, the demo's renderer: it owns the
// off-screen targets, the master effect and the four material wrappers, and
// draws each frame into the letterboxed picture rectangle of the back
// buffer.
//
// The demo names the files it reads in a RenderFiles, relative to the data
// folder: its five effect files and its light cube, with the edge of the
// shadow cube, and when it draws them its background and shapes effects.
// The defaults are those of the effect files in shaders/; Create makes a
// render system with them, and a demo with files of its own hands the
// render system its RenderFiles from a factory of its own.
//
// Start-up: LoadEffects (the master effect, then the Lambert-Blinn,
// parallax, additive and water wrappers, then the background and shapes
// effects when named; a file that lacks a pass it is drawn with fails like
// one that does not compile), then CreateTargets (the 16-bit float frame
// target with its depth surface, the R32F shadow cube with its depth
// surface, the light cube, and the shapes' buffers when there is a shapes
// effect). Either returning false leaves the reason in StartupError().
//
// ReloadEffects, between frames, loads the demo's effect files anew
// from the paths they were first loaded from: each that compiles and has
// every pass it is drawn with replaces its predecessor, taking over the
// values and textures set on it, and the wrappers and the kept materials
// look up their passes and parameters again; each that fails is left as it
// was.
//
// Each frame the scene, the particle systems and the camera track hand it
// draw items and lights (SubmitItem, SubmitLight: copies, filed by the
// item material's wrapper) and write `camera` and `fade`; RenderFrame then
// draws, in order: a clear of the float target to `clearColour` (white
// unless the demo chose another), the background when the demo has one,
// the ambient pass, every light additively (its shadow cube first when it
// casts shadows), the water, the additive items, the shapes (SubmitShape)
// when the demo has a shapes effect, and the composite into the back
// buffer through the master effect. The lists are emptied but keep their
// storage, so a steady frame allocates nothing.
//
// A demo that is flat, or partly so, names a background effect and the
// shapes effect in its RenderFiles (kBackgroundEffectPath and
// kShapesEffectPath are the standard ones) and sets `background` and
// submits shapes each frame: it needs no scene, and no renderer of its own.
//
// The render system borrows the device; the program owns the render system
// and destroys it before the device. It owns the materials and the render
// lights that BindScene makes for the scene (Keep, KeepLight).
#pragma once

#include "framework/render_system_base.h"
#include "framework/texture.h"
#include "render/culling.h"
#include "render/light_volume.h"
#include "render/pass_timer.h"
#include "render/material.h"
#include "render/shader.h"
#include "scene/animation.h"
#include "scene/draw_submission.h"
#include "scene/transform_math.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

class ShapeBatch;
struct ShapeEffect;

inline constexpr const char* kMasterEffectPath = "shaders/master.fx";
inline constexpr const char* kLambertBlinnEffectPath = "shaders/lambertblinn.fx";
inline constexpr const char* kParallaxEffectPath = "shaders/parallaxedlambertblinn.fx";
inline constexpr const char* kAdditiveEffectPath = "shaders/additive.fx";
inline constexpr const char* kCubicWaterEffectPath = "shaders/cubicwater.fx";
inline constexpr const char* kLightCubePath = "lightCube.dds";
inline constexpr uint32_t kShadowCubeEdge = 512;
// The standard background (a gradient from its top colour to its bottom
// colour) and the shapes' effect, for a demo that draws them.
inline constexpr const char* kBackgroundEffectPath = "shaders/background.fx";
inline constexpr const char* kShapesEffectPath = "shaders/shapes.fx";
// The one pass a background effect must declare.
inline constexpr const char* kBackgroundPassName = "background";
inline constexpr const char* kBackgroundPasses[] = {kBackgroundPassName};

// What the render system reads, relative to its data folder, and the edge
// in texels of its shadow cube.
struct RenderFiles {
    std::string masterEffect = kMasterEffectPath;
    std::string lambertBlinnEffect = kLambertBlinnEffectPath;
    std::string parallaxEffect = kParallaxEffectPath;
    std::string additiveEffect = kAdditiveEffectPath;
    std::string cubicWaterEffect = kCubicWaterEffectPath;
    std::string lightCube = kLightCubePath;  // empty: none (no scene lights to tint)
    uint32_t shadowCubeEdge = kShadowCubeEdge;
    // Read only when named: the background drawn over the whole picture
    // before the scene, and the effect the shapes are drawn with (without
    // it SubmitShape draws nothing).
    std::string backgroundEffect;
    std::string shapesEffect;
};

// What the background effect is given each frame, as the demo last set it:
// backgroundTopColor, backgroundBottomColor (linear RGBA), backgroundTime
// and backgroundParameters, four numbers of the effect's own.
struct Background {
    float topColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float bottomColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float time = 0.0f;
    float parameters[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

enum class ShapeKind : uint8_t { Disc, Quad };
enum class ShapeSpace : uint8_t {
    // centre.x and .y are fractions of the picture's width and height from
    // its top-left corner (z is not used); sizes are fractions of its
    // height, so that a disc stays round.
    Picture,
    // centre is a point in the world and sizes are world units; the shape
    // faces the camera and hides behind the scene's surfaces.
    World,
};

// An unlit shape added onto the picture after the additive items: colour
// (linear RGB, scaled by its alpha) times how much of a pixel it covers.
struct Shape2D {
    jolp::Vec3 centre;
    // Half its width and half its height: a disc's radii.
    float size[2] = {0.1f, 0.1f};
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    // The part of the size, inwards from the edge, over which it fades
    // out: 0 a sharp edge, 1 fading all the way from the centre.
    float softness = 0.0f;
    // A halo beyond the edge reaching this many sizes further out, half as
    // bright as the shape where it starts and fading to nothing; 0: none.
    float glow = 0.0f;
    ShapeKind kind = ShapeKind::Disc;
    ShapeSpace space = ShapeSpace::Picture;
};

// The view matrix of a camera (row vectors): its axes as columns and the
// position moved to the origin.
jolp::Matrix CameraViewMatrix(const jolp::CameraView& camera);
// The right-handed perspective projection of a camera, fov vertical in
// radians, depth 0 at the near plane and 1 at the far plane.
jolp::Matrix CameraProjectionMatrix(const jolp::CameraView& camera);

class RenderSystem final : public jolp::RenderSystemBase, public jolp::DrawSink {
public:
    RenderSystem(jolp::GfxDevice& device, const jolp::Rect& windowRect, const jolp::Rect& viewportRect,
                 RenderFiles files = {});
    ~RenderSystem() override;

    bool LoadEffects() override;
    bool CreateTargets() override;
    bool ReloadEffects(std::string& messages) override;
    void RenderFrame() override;
    // A frame that is not drawn: the lists are emptied and time advances.
    void SkipFrame() override;
    void RedrawLastFrame() override;
    void Rewind() override { time = 0.0f; }
    void TimePasses(bool on) override { passTimer_.SetOn(on); }
    size_t DescribePassTimes(char* text, size_t size) const override {
        return jolp::DescribePassTimes(passTimer_.Last(), passTimer_.Waited(), text, size);
    }
    // The pass by pass times of the latest frame timed (TimePasses).
    const PassTimer& Timer() const { return passTimer_; }
    // Lights drawn by the last RenderFrame.
    uint32_t LastFrameLights() const { return static_cast<uint32_t>(lastLights_.size()); }

    // Files a copy of the item by its material's wrapper: Lambert-Blinn,
    // parallax and water items are opaque, additive items additive; any
    // other item is dropped.
    void SubmitItem(const DrawItem& item) override;
    void SubmitLight(const RenderLight& light) override;
    // Adds a shape to this frame's; false, and nothing drawn, without a
    // shapes effect or past 1024 shapes in one frame.
    bool SubmitShape(const Shape2D& shape);
    // The shapes effect; null when the demo named none.
    const jolp::Effect* ShapesEffect() const;

    // Takes ownership of a material or render light made for the scene; the
    // pointer returned stays valid for the render system's life.
    Material* Keep(std::unique_ptr<Material> material);
    RenderLight* KeepLight(const RenderLight& light);

    // Draws one light: its shadow cube when it casts shadows, then the
    // opaque items with its lighting pass inside its scissor rectangle.
    void DrawLight(const RenderLight& light);

    const jolp::Rect& WindowRect() const { return windowRect_; }
    const jolp::Rect& ViewportRect() const { return viewportRect_; }
    const RenderFiles& Files() const { return files_; }
    // Advances 0.04 per frame, drawn or skipped.
    float Time() const { return time; }

    // A render system with the default RenderFiles.
    static std::unique_ptr<jolp::RenderSystemBase> Create(jolp::GfxDevice& device, const jolp::Rect& windowRect,
                                                          const jolp::Rect& viewportRect);

    jolp::GfxDevice& device;
    std::vector<DrawItem> opaqueItems;
    std::vector<DrawItem> additiveItems;
    std::vector<RenderLight> lights;
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
    jolp::Surface* frameColorSurface = nullptr;  // level 0 of frameColorTexture, during a frame
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
    // The colour the float target is cleared to before anything is drawn,
    // 0xAARRGGBB.
    uint32_t clearColour = 0xFFFFFFFFu;
    // Given to the background effect every frame; kept until changed.
    Background background;
    // Loaded when the RenderFiles name one; null: no background pass.
    std::unique_ptr<jolp::Effect> backgroundEffect;
    // This frame's shapes, in submission order.
    std::vector<Shape2D> shapes;

private:
    enum class PassKind { Ambient, Water, ShadowDepth, Additive, Diffuse };
    void DrawList(const std::vector<DrawItem>& list, PassKind kind, const CullVolume& cull);
    void DrawGeometry(const DrawItem& item);
    // Whether any item in view and in the light's reach lies in (or next
    // to) the shadow cube face that toFace projects onto, and the texels
    // they cover there (with a margin).
    bool FaceReceivers(const RenderLight& light, const jolp::Matrix& toFace, jolp::ScissorRect& rect) const;
    void Composite();
    // The full-screen quad the background and the composite are drawn
    // with, made on first use; false when the device refuses it.
    bool MakeQuad();
    void DrawQuad();
    void DrawBackground();
    void DrawShapes();
    void FindBackgroundHandles();
    void EmptyLists();
    // The passes of one frame over the current lists.
    void DrawSubmitted();
    // Swaps the current lists with the last frame's copies.
    void SwapWithLastFrame();
    // The master effect's technique, pass and the handles Composite sets.
    void FindMasterHandles();

    jolp::Rect windowRect_;
    const RenderLight* currentLight_ = nullptr;
    int32_t currentLightIndex_ = -1;  // its place in `lights`, for the timer
    PassTimer passTimer_;
    // This frame's view volume, and the same reaching back to the eye.
    CullVolume cameraVolume_;
    CullVolume glowVolume_;
    // Whether a frame has been drawn with the current effects, and whether
    // this one leaves out what cannot reach the picture.
    bool warmedUp_ = false;
    bool culling_ = false;
    jolp::EffectHandle frameColorHandle_, viewportMinHandle_, viewportMaxHandle_;
    int32_t masterPass_ = -1;  // the master effect's "composite"
    std::unique_ptr<jolp::VertexDeclaration> quadDeclaration_;
    std::unique_ptr<jolp::VertexBuffer> quadBuffer_;
    std::unique_ptr<LightVolume> lightVolume_;  // null: lights drawn unmasked
    std::vector<std::unique_ptr<Material>> materials_;
    std::deque<RenderLight> renderLights_;
    jolp::Rect viewportRect_;
    RenderFiles files_;
    // What the last drawn frame drew, for RedrawLastFrame.
    std::vector<DrawItem> lastOpaqueItems_;
    std::vector<DrawItem> lastAdditiveItems_;
    std::vector<RenderLight> lastLights_;
    std::vector<Shape2D> lastShapes_;
    float lastTime_ = 0.0f;
    int32_t backgroundPass_ = -1;
    jolp::EffectHandle backgroundTopHandle_, backgroundBottomHandle_, backgroundTimeHandle_,
        backgroundParametersHandle_;
    std::unique_ptr<ShapeEffect> shapeEffect_;
    std::unique_ptr<ShapeBatch> shapeBatch_;
};

}  // namespace jolp
