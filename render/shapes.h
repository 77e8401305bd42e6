// shapes.h - ShapeBatch, the geometry of the render system's 2D shapes: one
// quad per shape, written into a dynamic vertex buffer each frame and drawn
// through the shapes effect, the shapes in the world first (facing the
// camera, behind what the scene puts in front of them), then those placed
// in the picture.
//
// Each vertex carries where it lies, its place inside the shape (in units
// of the shape's size: the edge is at 1), the shape's colour and how its
// edge ends (softness, glow, disc or quad), so that the effect's fragment
// code alone decides how a shape covers its pixels.
//
// The batch is made once, when the render system creates its targets; its
// buffers hold ShapeBatch::kCapacity shapes and are never grown.
#pragma once

#include "framework/effect.h"
#include "platform/gfx_device.h"
#include "scene/animation.h"

#include <memory>
#include <span>
#include <string>

namespace jolp {

struct Shape2D;

// The passes the shapes effect must declare.
inline constexpr const char* kWorldShapesPassName = "worldShapes";
inline constexpr const char* kPictureShapesPassName = "pictureShapes";
inline constexpr const char* kShapePasses[] = {kWorldShapesPassName, kPictureShapesPassName};

// The shapes effect with its passes and the parameters the batch sets,
// looked up when it is loaded (and again when it is reloaded).
struct ShapeEffect {
    explicit ShapeEffect(std::unique_ptr<Effect> loaded) : effect(std::move(loaded)) { Bind(); }
    // Finds the passes and parameters in effect.
    void Bind();
    std::unique_ptr<Effect> effect;
    int32_t worldPass = -1;
    int32_t picturePass = -1;
    EffectHandle worldToView;
    EffectHandle viewToProj;
};

class ShapeBatch {
public:
    static constexpr uint32_t kCapacity = 1024;

    // Null with error when the device refuses a buffer.
    static std::unique_ptr<ShapeBatch> Create(GfxDevice& device, std::string& error);
    ~ShapeBatch();

    // Draws shapes into the current target, whose picture is aspect times
    // as wide as it is high; the world shapes face the camera and are seen
    // through its view and projection. Shapes past kCapacity are left out.
    void Draw(std::span<const Shape2D> shapes, ShapeEffect& effect, const CameraView& camera, const Matrix& view,
              const Matrix& projection, float aspect);

private:
    explicit ShapeBatch(GfxDevice& device) : device_(device) {}
    // Writes the quads of the shapes in one space into the locked vertices,
    // from shape `first` on and before shape `limit`; the number written.
    uint32_t Write(std::span<const Shape2D> shapes, bool world, float* out, uint32_t first, uint32_t limit,
                   const CameraView& camera, float aspect) const;
    void DrawRange(ShapeEffect& effect, int32_t pass, uint32_t first, uint32_t count);

    GfxDevice& device_;
    std::unique_ptr<VertexDeclaration> declaration_;
    std::unique_ptr<VertexBuffer> vertices_;
    std::unique_ptr<IndexBuffer> indices_;
};

}  // namespace jolp
