// light_volume.h - LightVolume, the stencil mask that keeps a light's pass
// to the pixels whose surface lies inside the light's sphere.
//
// A point light adds nothing to a surface farther from it than its radius,
// yet its pass would read every material under its scissor rectangle. Mark
// draws a closed polyhedron around the sphere (its faces all outside the
// sphere) into the stencil of the scene depth surface, colour writes off:
// its back faces set the light's id where the surface is in front of them,
// then its front faces clear it again where the surface is in front of the
// sphere. What keeps the id has a surface between the two: inside the
// polyhedron. Restrict then lets only those pixels through for the light's
// pass. An eye inside the polyhedron needs no front faces (nothing lies in
// front of the sphere), which is what their clipping gives; Mark declines
// (returns false, nothing drawn) when the eye is inside, where every
// pixel could be lit, and when the sphere reaches past the far plane, where
// back faces would be clipped away.
//
// Ids run 1 to 255 within a frame so that no light has to clear what the
// one before it marked; Mark clears the stencil when they wrap. The frame's
// own clear starts them at 0.
//
// States: Mark leaves ColorWriteEnable on all four channels, CullMode at
// kCullCCW, and the stencil test on with the light's id for Restrict; Finish
// turns the stencil test off. ZEnable must be on, ZWriteEnable off.
//
// Ownership: made on a device, which must outlive it; owns its program,
// vertex declaration and buffer. Mark and Restrict allocate nothing.
#pragma once

#include "platform/gfx_device.h"
#include "scene/transform_math.h"

#include <cstdint>
#include <memory>
#include <string>

namespace jolp {

class LightVolume {
public:
    static std::unique_ptr<LightVolume> Create(GfxDevice& device, std::string& error);

    // Starts a frame: the stencil was cleared to 0 with the depth.
    void BeginFrame() { nextId_ = 1; }

    // Marks the pixels inside the sphere (world centre, radius) seen through
    // view and projection, or with throughSphere those whose view ray passes
    // through it on the way to the surface (a volume light's glow: the front
    // faces alone, where they are in front of the surface); false, with
    // nothing drawn, when it declines.
    bool Mark(const Vec3& centre, float radius, const Matrix& view, const Matrix& projection, float nearPlane,
              float farPlane, bool throughSphere = false);
    // Passes only the pixels the last Mark kept, until Finish.
    void Finish();

    // How much larger than the sphere the polyhedron's outer corners are.
    float CornerScale() const { return scale_; }

private:
    explicit LightVolume(GfxDevice& device) : device_(device) {}

    GfxDevice& device_;
    std::unique_ptr<ShaderProgram> program_;
    std::unique_ptr<VertexDeclaration> declaration_;
    std::unique_ptr<VertexBuffer> vertices_;
    uint32_t triangles_ = 0;
    int32_t matrixLocation_ = -1;
    float scale_ = 1.0f;
    uint32_t nextId_ = 1;
};

}  // namespace jolp
