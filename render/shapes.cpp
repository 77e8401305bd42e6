#include "render/shapes.h"

#include "render/render_system.h"
#include "render/shader.h"

#include <algorithm>
#include <cstdint>

namespace jolp {
namespace {

// Position (3), place in the shape (2), colour (4), softness, glow, kind.
constexpr uint32_t kFloatsPerVertex = 12;
constexpr uint32_t kStride = kFloatsPerVertex * sizeof(float);

constexpr VertexElement kLayout[] = {
    {0, 0, DeclType::Float3, DeclUsage::Position, 0},
    {0, 12, DeclType::Float2, DeclUsage::TexCoord, 0},
    {0, 20, DeclType::Float4, DeclUsage::Color, 0},
    {0, 36, DeclType::Float3, DeclUsage::TexCoord, 1},
};

// A quad's corners in the shape's own axes (x right, y up), as a strip.
constexpr float kCorners[4][2] = {{-1.0f, 1.0f}, {1.0f, 1.0f}, {-1.0f, -1.0f}, {1.0f, -1.0f}};

}  // namespace

void ShapeEffect::Bind() {
    const EffectHandle technique = effect->GetCurrentTechnique();
    worldPass = FindPass(*effect, technique, kWorldShapesPassName);
    picturePass = FindPass(*effect, technique, kPictureShapesPassName);
    worldToView = effect->GetParameterByName({}, "matWorldToView");
    viewToProj = effect->GetParameterByName({}, "matViewToProj");
}

std::unique_ptr<ShapeBatch> ShapeBatch::Create(GfxDevice& device, std::string& error) {
    std::unique_ptr<ShapeBatch> batch(new ShapeBatch(device));
    batch->declaration_ = device.CreateVertexDeclaration(kLayout);
    batch->vertices_ = device.CreateVertexBuffer(kCapacity * 4 * kStride, kUsageDynamic | kUsageWriteOnly);
    batch->indices_ = device.CreateIndexBuffer(kCapacity * 6 * sizeof(uint16_t), kUsageWriteOnly, Format::Index16);
    if (!batch->declaration_ || !batch->vertices_ || !batch->indices_) {
        error = "the graphics device cannot create the buffers of " + std::to_string(kCapacity) + " shapes";
        return nullptr;
    }
    auto* index = static_cast<uint16_t*>(batch->indices_->Lock(0, 0, 0));
    if (!index) {
        error = "the graphics device cannot fill the shapes' index buffer";
        return nullptr;
    }
    for (uint32_t i = 0; i < kCapacity; ++i) {
        const auto v = static_cast<uint16_t>(i * 4);
        const uint16_t quad[6] = {v, static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v + 2),
                                  static_cast<uint16_t>(v + 2), static_cast<uint16_t>(v + 1),
                                  static_cast<uint16_t>(v + 3)};
        std::copy(std::begin(quad), std::end(quad), index + i * 6);
    }
    batch->indices_->Unlock();
    return batch;
}

ShapeBatch::~ShapeBatch() = default;

void ShapeBatch::Draw(std::span<const Shape2D> shapes, ShapeEffect& effect, const CameraView& camera,
                      const Matrix& view, const Matrix& projection, float aspect) {
    const uint32_t total = std::min(static_cast<uint32_t>(shapes.size()), kCapacity);
    if (total == 0) return;
    auto* out = static_cast<float*>(vertices_->Lock(0, total * 4 * kStride, kLockDiscard));
    if (!out) return;
    const uint32_t worldCount = Write(shapes, true, out, 0, total, camera, aspect);
    const uint32_t pictureCount = Write(shapes, false, out, worldCount, total, camera, aspect);
    vertices_->Unlock();

    effect.effect->SetMatrix(effect.worldToView, &view.m[0][0]);
    effect.effect->SetMatrix(effect.viewToProj, &projection.m[0][0]);
    device_.SetVertexDeclaration(declaration_.get());
    device_.SetStreamSource(0, vertices_.get(), 0, kStride);
    device_.SetIndices(indices_.get());
    device_.SetRenderState(RenderState::ZWriteEnable, 0);
    device_.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device_.SetRenderState(RenderState::SrcBlend, kBlendOne);
    device_.SetRenderState(RenderState::DestBlend, kBlendOne);
    device_.SetRenderState(RenderState::CullMode, kCullNone);
    device_.SetRenderState(RenderState::ZEnable, 1);
    DrawRange(effect, effect.worldPass, 0, worldCount);
    device_.SetRenderState(RenderState::ZEnable, 0);
    DrawRange(effect, effect.picturePass, worldCount, pictureCount);
}

uint32_t ShapeBatch::Write(std::span<const Shape2D> shapes, bool world, float* out, uint32_t first, uint32_t limit,
                           const CameraView& camera, float aspect) const {
    uint32_t n = first;
    for (const Shape2D& s : shapes) {
        if ((s.space == ShapeSpace::World) != world) continue;
        if (n == limit) break;
        const float reach = 1.0f + std::max(s.glow, 0.0f);
        float* v = out + static_cast<size_t>(n) * 4 * kFloatsPerVertex;
        for (const auto& corner : kCorners) {
            const float x = corner[0] * reach;
            const float y = corner[1] * reach;
            if (world) {
                const float across = x * s.size[0];
                const float upwards = y * s.size[1];
                v[0] = s.centre.x + camera.right.x * across + camera.up.x * upwards;
                v[1] = s.centre.y + camera.right.y * across + camera.up.y * upwards;
                v[2] = s.centre.z + camera.right.z * across + camera.up.z * upwards;
            } else {
                // Fractions of the picture from its top-left, then clip space.
                const float px = s.centre.x + x * s.size[0] / aspect;
                const float py = s.centre.y - y * s.size[1];
                v[0] = px * 2.0f - 1.0f;
                v[1] = 1.0f - py * 2.0f;
                v[2] = 0.0f;
            }
            v[3] = x;
            v[4] = y;
            std::copy(std::begin(s.colour), std::end(s.colour), v + 5);
            v[9] = std::clamp(s.softness, 0.0f, 1.0f);
            v[10] = std::max(s.glow, 0.0f);
            v[11] = s.kind == ShapeKind::Quad ? 1.0f : 0.0f;
            v += kFloatsPerVertex;
        }
        ++n;
    }
    return n - first;
}

void ShapeBatch::DrawRange(ShapeEffect& effect, int32_t pass, uint32_t first, uint32_t count) {
    if (count == 0 || pass < 0) return;
    effect.effect->Begin(nullptr, 0);
    if (effect.effect->BeginPass(static_cast<uint32_t>(pass))) {
        device_.DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, first * 4, count * 4, first * 6, count * 2);
        effect.effect->EndPass();
    }
    effect.effect->End();
}

}  // namespace jolp
