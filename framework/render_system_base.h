// render_system_base.h - what the program knows of the renderer: it is built
// by the render-system worker at start-up, draws (or, while capture skips
// ahead, only keeps its per-frame bookkeeping for) one frame per loop, and
// lives until the program is destroyed.
//
// The concrete render system lives above the framework; the demo supplies
// the factory that builds it, and is the one place that knows its type.
#pragma once

#include "platform/gfx_device.h"
#include "platform/letterbox.h"

#include <memory>

namespace jolp {

class RenderSystemBase {
public:
    virtual ~RenderSystemBase() = default;

    // The master effect and the material effects; false when any failed.
    virtual bool LoadEffects() = 0;
    // Render targets and the light cube; false when any failed.
    virtual bool CreateTargets() = 0;

    // Draws the frame submitted since the last call into the picture
    // rectangle of the current back buffer, then empties its lists.
    virtual void RenderFrame() = 0;
    // The same bookkeeping as RenderFrame without drawing anything.
    virtual void SkipFrame() = 0;
};

// Creates the render system on device for the whole back buffer and the
// letterboxed picture rectangle. Loading effects and targets is left to the
// caller.
using RenderSystemFactory = std::unique_ptr<RenderSystemBase> (*)(GfxDevice& device, const Rect& windowRect,
                                                                   const Rect& viewportRect);

}  // namespace jolp
