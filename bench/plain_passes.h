// plain_passes.h - the passes a frame cannot do without, for benchmarks to
// set a frame's time against: a full-screen quad through a trivial program
// into an A16B16G16R16F target of the picture's size, and one shadow cube
// face (R32F, the render system's edge) cleared and covered by a quad.
// Each leaves the device's targets and the states it touches as they were.
#pragma once

#include "platform/gfx_device.h"
#include "render/render_system.h"

#include <cstring>
#include <memory>
#include <string>

namespace jolp {

class PlainPasses {
public:
    bool Make(jolp::GfxDevice& device, uint32_t width, uint32_t height, std::string& error) {
        device_ = &device;
        program_ = device.CreateProgram("in vec3 inPosition;\nvoid main() { gl_Position = vec4(inPosition, 1.0); }\n",
                                        "uniform vec4 colour;\nout vec4 outColor;\nvoid main() { outColor = colour; }\n",
                                        error);
        if (!program_) return false;
        for (const jolp::UniformInfo& u : program_->Uniforms()) {
            if (u.name == "colour") colourLocation_ = u.location;
        }
        static constexpr jolp::VertexElement kLayout[] = {{0, 0, jolp::DeclType::Float3, jolp::DeclUsage::Position, 0}};
        static constexpr float kQuad[4][3] = {{-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
        declaration_ = device.CreateVertexDeclaration(kLayout);
        quad_ = device.CreateVertexBuffer(sizeof kQuad, jolp::kUsageWriteOnly);
        frame_ = device.CreateTexture(width, height, 1, jolp::kUsageRenderTarget, jolp::Format::A16B16G16R16F);
        frameDepth_ = device.CreateDepthStencilSurface(width, height, jolp::Format::D24X8);
        cube_ = device.CreateCubeTexture(kShadowCubeEdge, 1, jolp::kUsageRenderTarget, jolp::Format::R32F);
        cubeDepth_ = device.CreateDepthStencilSurface(kShadowCubeEdge, kShadowCubeEdge, jolp::Format::D24X8);
        if (!declaration_ || !quad_ || !frame_ || !frameDepth_ || !cube_ || !cubeDepth_) {
            error = "the device refused a plain pass resource";
            return false;
        }
        void* p = quad_->Lock(0, sizeof kQuad, 0);
        if (!p) {
            error = "cannot fill the quad";
            return false;
        }
        std::memcpy(p, kQuad, sizeof kQuad);
        quad_->Unlock();
        return true;
    }

    // One full-screen quad into the frame-sized float target.
    void FullScreen() { Draw(frame_->GetSurfaceLevel(0), frameDepth_.get(), false); }
    // One face of the cube, cleared, then covered.
    void CubeFace() { Draw(cube_->GetCubeMapSurface(0, 0), cubeDepth_.get(), true); }

private:
    void Draw(jolp::Surface* target, jolp::Surface* depth, bool clear) {
        jolp::GfxDevice& d = *device_;
        jolp::Surface* backBuffer = d.GetBackBuffer();
        jolp::Surface* backDepth = d.GetDepthStencilSurface();
        const uint32_t zEnable = d.GetRenderState(jolp::RenderState::ZEnable);
        const uint32_t cull = d.GetRenderState(jolp::RenderState::CullMode);
        const uint32_t blend = d.GetRenderState(jolp::RenderState::AlphaBlendEnable);
        d.SetRenderTarget(0, target);
        d.SetDepthStencilSurface(depth);
        if (clear) d.Clear(jolp::kClearTarget | jolp::kClearZBuffer | jolp::kClearStencil, 0xFFFFFFFFu, 1.0f, 0);
        d.SetRenderState(jolp::RenderState::ZEnable, 0);
        d.SetRenderState(jolp::RenderState::CullMode, jolp::kCullNone);
        d.SetRenderState(jolp::RenderState::AlphaBlendEnable, 0);
        d.SetProgram(program_.get());
        const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
        d.SetUniform(colourLocation_, jolp::UniformType::Vec4, colour);
        d.SetVertexDeclaration(declaration_.get());
        d.SetStreamSource(0, quad_.get(), 0, 12);
        d.DrawPrimitive(jolp::PrimitiveType::TriangleStrip, 0, 2);
        d.SetProgram(nullptr);
        d.SetRenderState(jolp::RenderState::ZEnable, zEnable);
        d.SetRenderState(jolp::RenderState::CullMode, cull);
        d.SetRenderState(jolp::RenderState::AlphaBlendEnable, blend);
        d.SetRenderTarget(0, backBuffer);
        d.SetDepthStencilSurface(backDepth);
    }

    jolp::GfxDevice* device_ = nullptr;
    std::unique_ptr<jolp::ShaderProgram> program_;
    int32_t colourLocation_ = -1;
    std::unique_ptr<jolp::VertexDeclaration> declaration_;
    std::unique_ptr<jolp::VertexBuffer> quad_;
    std::unique_ptr<jolp::GfxTexture> frame_;
    std::unique_ptr<jolp::Surface> frameDepth_;
    std::unique_ptr<jolp::GfxCubeTexture> cube_;
    std::unique_ptr<jolp::Surface> cubeDepth_;
};

}  // namespace jolp
