#include "render/render_system.h"

namespace tarvel {

RenderSystem::RenderSystem(jolp::GfxDevice& device, const jolp::Rect& windowRect, const jolp::Rect& viewportRect)
    : device_(device), windowRect_(windowRect), viewportRect_(viewportRect) {}

std::unique_ptr<jolp::RenderSystemBase> RenderSystem::Create(jolp::GfxDevice& device, const jolp::Rect& windowRect,
                                                             const jolp::Rect& viewportRect) {
    return std::make_unique<RenderSystem>(device, windowRect, viewportRect);
}

void RenderSystem::RenderFrame() {
    jolp::Viewport picture;
    picture.x = static_cast<uint32_t>(viewportRect_.left);
    picture.y = static_cast<uint32_t>(viewportRect_.top);
    picture.width = static_cast<uint32_t>(viewportRect_.Width());
    picture.height = static_cast<uint32_t>(viewportRect_.Height());
    device_.SetViewport(picture);
    device_.Clear(jolp::kClearTarget, 0xFF000000u, 1.0f, 0);
    SkipFrame();
}

void RenderSystem::SkipFrame() { time_ += 0.04f; }

}  // namespace tarvel
