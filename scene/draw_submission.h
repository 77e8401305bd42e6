// draw_submission.h - what the scene hands to the renderer each frame: one
// DrawItem per piece of geometry and one RenderLight per light, through the
// DrawSink interface that the render system implements.
//
// DrawItem and RenderLight are plain records copied by value. A DrawItem
// points at device objects and a material it does not own; the scene owns
// the buffers, the renderer the materials and the render lights. The sink
// decides where an item is filed (or whether it is dropped).
#pragma once

#include "platform/gfx_device.h"
#include "scene/transform_math.h"

#include <cstdint>

namespace jolp {

class Material;

struct DrawItem {
    jolp::PrimitiveType primitiveType = jolp::PrimitiveType::TriangleList;
    const jolp::VertexDeclaration* vertexDeclaration = nullptr;
    jolp::VertexBuffer* vertexBuffer = nullptr;
    jolp::IndexBuffer* indexBuffer = nullptr;  // null: non-indexed drawing
    uint32_t vertexStride = 0;
    uint32_t primitiveCount = 0;
    uint32_t vertexCount = 0;  // vertices addressed by the indices
    Material* material = nullptr;
    jolp::Matrix world;
    jolp::Matrix worldInverse;
    uint32_t firstIndex = 0;  // where the item's indices start in indexBuffer
    // A world-space sphere holding every vertex the item draws, for leaving
    // it out of passes it cannot reach; a negative radius means none is
    // known and the item is always drawn.
    jolp::Vec3 boundsCentre{0.0f, 0.0f, 0.0f};
    float boundsRadius = -1.0f;
};

// A point light as the renderer sees it; the values are those at creation.
struct RenderLight {
    jolp::Vec3 position{0.0f, 0.0f, 0.0f};
    jolp::Vec3 color{1.0f, 1.0f, 1.0f};
    float radius = 0.0f;
    float volumeIntensity = 0.0f;
    bool castsShadow = false;
    bool isVolume = false;
    bool usesLightCube = false;
    // The scene light's name, for the authoring overlay's timings; null for
    // a light made elsewhere. Owned by the scene.
    const char* name = nullptr;
};

class DrawSink {
public:
    virtual ~DrawSink() = default;
    virtual void SubmitItem(const DrawItem& item) = 0;
    virtual void SubmitLight(const RenderLight& light) = 0;
};

}  // namespace jolp
