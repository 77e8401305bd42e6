// render_system.h - RenderSystem, the demo's renderer: it owns the
// off-screen targets and effects and draws each frame into the letterboxed
// picture rectangle of the back buffer.
//
// For now it draws an empty frame: the picture rectangle cleared to black.
// The passes, materials and lights are built on this class.
//
// The render system borrows the device; the program owns the render system
// and destroys it before the device.
#pragma once

#include "framework/render_system_base.h"

#include <memory>

namespace tarvel {

class RenderSystem final : public jolp::RenderSystemBase {
public:
    RenderSystem(jolp::GfxDevice& device, const jolp::Rect& windowRect, const jolp::Rect& viewportRect);

    bool LoadEffects() override { return true; }
    bool CreateTargets() override { return true; }
    void RenderFrame() override;
    void SkipFrame() override;

    const jolp::Rect& WindowRect() const { return windowRect_; }
    const jolp::Rect& ViewportRect() const { return viewportRect_; }
    // Advances 0.04 per frame, drawn or skipped.
    float Time() const { return time_; }

    static std::unique_ptr<jolp::RenderSystemBase> Create(jolp::GfxDevice& device, const jolp::Rect& windowRect,
                                                          const jolp::Rect& viewportRect);

private:
    jolp::GfxDevice& device_;
    jolp::Rect windowRect_;
    jolp::Rect viewportRect_;
    float time_ = 0.0f;
};

}  // namespace tarvel
