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

#include "platform/sdl_window.h"

#include <cstdint>

namespace jolp {

struct DevCommand {
    enum class Kind : uint8_t { None, TogglePause, Seek, ToggleLoop, ToggleOverlay, WriteShot };
    Kind kind = Kind::None;
    uint32_t targetMs = 0;  // Seek only
};

struct DevFrameGrid {
    uint32_t fpsNum = 30;
    uint32_t fpsDen = 1;
    // Root time of grid frame n, and the last grid frame at or before ms.
    uint32_t TimeOf(uint64_t frame) const;
    uint64_t FrameAtOrBefore(uint32_t ms) const;
};

DevCommand InterpretDevKey(const DevKeyPress& press, uint32_t nowMs, bool paused, uint32_t lengthMs,
                           const DevFrameGrid& grid);

}  // namespace jolp
