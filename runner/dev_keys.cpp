#include "runner/dev_keys.h"

#include <algorithm>

namespace jolp {

DevCommand InterpretDevKey(const KeyPress& press, uint32_t nowMs, bool paused, uint32_t lengthMs,
                           const FrameGrid& grid) {
    DevCommand command;
    const uint32_t lastMs = lengthMs > 0 ? grid.TimeOf(grid.LastFrameAtOrBefore(lengthMs - 1)) : 0;
    auto seek = [&](int64_t target) {
        command.kind = DevCommand::Kind::Seek;
        command.targetMs = static_cast<uint32_t>(std::clamp<int64_t>(target, 0, lastMs));
    };
    const bool ctrl = (press.modifiers & kKeyCtrl) != 0;
    const int64_t step = (press.modifiers & kKeyShift) ? 1000 : 5000;
    switch (press.key) {
    case Key::Space: command.kind = DevCommand::Kind::TogglePause; break;
    case Key::Home: seek(0); break;
    case Key::L: command.kind = DevCommand::Kind::ToggleLoop; break;
    case Key::O: command.kind = DevCommand::Kind::ToggleOverlay; break;
    case Key::F12: command.kind = DevCommand::Kind::WriteShot; break;
    case Key::Left:
    case Key::Right: {
        const bool back = press.key == Key::Left;
        if (ctrl) {
            if (!paused) break;  // a frame step only makes sense on a still picture
            const uint64_t frame = grid.LastFrameAtOrBefore(nowMs);
            if (back) {
                // Off the grid, the frame before is the grid frame below.
                const bool onGrid = grid.TimeOf(frame) == nowMs;
                seek(onGrid ? (frame > 0 ? grid.TimeOf(frame - 1) : 0) : grid.TimeOf(frame));
            } else {
                seek(grid.TimeOf(frame + 1));
            }
        } else {
            seek(static_cast<int64_t>(nowMs) + (back ? -step : step));
        }
        break;
    }
    default: break;  // the other keys do nothing here
    }
    return command;
}

}  // namespace jolp
