// dev_keys.h - what a key does in the authoring mode (--dev), as a pure
// function of the key, the root time shown and the pause state, so that it
// can be tested without a window.
//
//   Space          pause / resume
//   Left, Right    seek 5 s back / on; with Shift 1 s; with Ctrl, while
//                  paused, one frame of the frame grid (--fps, 30 a second
//                  unless told)
//   Home           seek to 0
//   L              loop the shot shown / stop looping
//   O              hide / show the overlay
//   F12            write the picture shown
// Seeks land inside [0, the last frame before the end].
#pragma once

#include "framework/frame_grid.h"
#include "platform/sdl_window.h"

#include <cstdint>

namespace jolp {

struct DevCommand {
    enum class Kind : uint8_t { None, TogglePause, Seek, ToggleLoop, ToggleOverlay, WriteShot };
    Kind kind = Kind::None;
    uint32_t targetMs = 0;  // Seek only
};

// Keys the authoring mode takes once a frame, after the window's, as if they
// had been pressed: tests play a scripted session with it (RunConfig::
// devKeys). Asked before the wall clock is read for the frame after the one
// that showed shownMs; false ends the session as closing the window does.
class DevKeyScript {
public:
    virtual ~DevKeyScript() = default;
    virtual bool Press(uint32_t shownMs, bool paused, KeyPresses& keys) = 0;
};

DevCommand InterpretDevKey(const KeyPress& press, uint32_t nowMs, bool paused, uint32_t lengthMs,
                           const FrameGrid& grid);

}  // namespace jolp
