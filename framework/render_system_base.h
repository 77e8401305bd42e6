// render_system_base.h - what the program knows of the renderer: it is built
// by the render-system worker at start-up, draws (or, while capture skips
// ahead, only keeps its per-frame bookkeeping for) one frame per loop, and
// lives until the program is destroyed.
//
// The concrete render system lives above the framework; the demo supplies
// the factory that builds it and reaches it as its own type through
// DemoProgram::RendererAs.
#pragma once

#include "framework/data_path.h"
#include "platform/gfx_device.h"
#include "platform/letterbox.h"

#include <memory>
#include <string>
#include <string_view>

namespace jolp {

class RenderSystemBase {
public:
    virtual ~RenderSystemBase() = default;

    // The data folder its effect files and textures are read from
    // (data_path.h); set by the program before LoadEffects.
    std::string dataFolder;
    // A file of the data folder by its path inside it ("shaders/sky.fx"):
    // the path the loaders (Effect::Load, the texture loads) are handed,
    // since they open what they are given and the program never changes
    // its working folder.
    std::string DataFile(std::string_view relative) const { return DataPath(dataFolder, relative); }

    // The master effect and the material effects; false when any failed.
    virtual bool LoadEffects() = 0;
    // Render targets and whatever else the renderer makes on the device
    // before the first frame; false when any failed.
    virtual bool CreateTargets() = 0;
    // Between frames, after LoadEffects succeeded: reloads every effect file
    // from where it was loaded. An effect that fails keeps its previous
    // version, so the picture goes on as it was. messages is replaced by
    // one block per failure (blocks apart by a blank line), each naming the
    // file with the problem or the compiler's messages; empty when all
    // loaded. False when any failed. A renderer without effect files keeps
    // this default, which reloads nothing.
    virtual bool ReloadEffects(std::string& messages) {
        messages.clear();
        return true;
    }

    // Draws the frame submitted since the last call into the picture
    // rectangle of the current back buffer, then empties its lists.
    virtual void RenderFrame() = 0;
    // The same bookkeeping as RenderFrame without drawing anything.
    virtual void SkipFrame() = 0;

    // The authoring mode's calls.
    //
    // Draws the frame the last RenderFrame drew once more, as it was (a
    // paused picture), without advancing anything. The default draws again
    // with RenderFrame, which keeps the picture of a renderer whose frame is
    // what it holds between frames (a colour, a fade, shapes it keeps); one
    // that empties what was submitted, or advances its own time in
    // RenderFrame, keeps a copy of the last frame and overrides this.
    virtual void RedrawLastFrame() { RenderFrame(); }
    // Back to the state before the first frame, for a replay from time 0;
    // a renderer with nothing to put back keeps this default.
    virtual void Rewind() {}
    // Times each pass of the frames drawn from now on (or stops).
    virtual void TimePasses(bool on) { (void)on; }
    // The latest timed frame, pass by pass, as lines of text for the
    // overlay: at most size bytes, terminated; the length written, 0 when
    // there is nothing to show. Allocates nothing.
    virtual size_t DescribePassTimes(char* text, size_t size) const {
        if (size) text[0] = '\0';
        return 0;
    }

    // Why LoadEffects or CreateTargets returned false: the file or target
    // and the problem (with a compiler's messages, file and line), for the
    // start-up error message.
    const std::string& StartupError() const { return startupError_; }

protected:
    void SetStartupError(std::string text) { startupError_ = std::move(text); }

private:
    std::string startupError_;
};

// Creates the render system on device for the whole back buffer and the
// letterboxed picture rectangle. Loading effects and targets is left to the
// caller.
using RenderSystemFactory = std::unique_ptr<RenderSystemBase> (*)(GfxDevice& device, const Rect& windowRect,
                                                                   const Rect& viewportRect);

}  // namespace jolp
