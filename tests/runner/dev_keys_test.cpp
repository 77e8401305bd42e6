// What each key of the authoring mode asks for, on the frame grid of a
// 30 and a 29.97 frames/s capture, at the ends of the demo, paused or not.
#include "runner/dev_keys.h"

#include <gtest/gtest.h>

namespace jolp {
namespace {

constexpr uint32_t kLength = 205000;

DevCommand Press(Key key, uint8_t modifiers, uint32_t now, bool paused, FrameGrid grid = {}) {
    return InterpretDevKey(KeyPress{key, modifiers}, now, paused, kLength, grid);
}

uint32_t SeekTarget(Key key, uint8_t modifiers, uint32_t now, bool paused, FrameGrid grid = {}) {
    const DevCommand c = Press(key, modifiers, now, paused, grid);
    EXPECT_EQ(c.kind, DevCommand::Kind::Seek);
    return c.targetMs;
}

TEST(DevKeys, SeeksByFiveSecondsOneWithShiftAndStayInsideTheDemo) {
    EXPECT_EQ(SeekTarget(Key::Right, 0, 20000, false), 25000u);
    EXPECT_EQ(SeekTarget(Key::Left, 0, 20000, true), 15000u);
    EXPECT_EQ(SeekTarget(Key::Right, kKeyShift, 20000, false), 21000u);
    EXPECT_EQ(SeekTarget(Key::Left, kKeyShift, 20000, true), 19000u);
    EXPECT_EQ(SeekTarget(Key::Left, 0, 3000, false), 0u);
    // The last frame before the end: 204.966 s at 30 frames/s.
    EXPECT_EQ(SeekTarget(Key::Right, 0, 203000, false), 204966u);
    EXPECT_EQ(SeekTarget(Key::Home, 0, 123456, false), 0u);
    EXPECT_EQ(SeekTarget(Key::Home, kKeyCtrl, 5, true), 0u);
}

TEST(DevKeys, CtrlStepsOneFrameOnlyWhilePaused) {
    EXPECT_EQ(SeekTarget(Key::Right, kKeyCtrl, 20000, true), 20033u);
    EXPECT_EQ(SeekTarget(Key::Left, kKeyCtrl, 20033, true), 20000u);
    // Between grid frames (after a seek by seconds at 29.97): the frames around.
    const FrameGrid ntsc{30000, 1001};
    EXPECT_EQ(SeekTarget(Key::Right, kKeyCtrl, 20000, true, ntsc), 20020u);
    EXPECT_EQ(SeekTarget(Key::Left, kKeyCtrl, 20000, true, ntsc), 19986u);
    EXPECT_EQ(SeekTarget(Key::Left, kKeyCtrl, 0, true), 0u);
    EXPECT_EQ(SeekTarget(Key::Right, kKeyCtrl, 204966, true), 204966u);
    EXPECT_EQ(Press(Key::Right, kKeyCtrl, 20000, false).kind, DevCommand::Kind::None);
    EXPECT_EQ(Press(Key::Left, kKeyCtrl | kKeyShift, 20000, false).kind, DevCommand::Kind::None);
}

TEST(DevKeys, TheOtherKeysToggle) {
    EXPECT_EQ(Press(Key::Space, 0, 1, false).kind, DevCommand::Kind::TogglePause);
    EXPECT_EQ(Press(Key::Space, kKeyShift, 1, true).kind, DevCommand::Kind::TogglePause);
    EXPECT_EQ(Press(Key::L, 0, 1, false).kind, DevCommand::Kind::ToggleLoop);
    EXPECT_EQ(Press(Key::O, 0, 1, false).kind, DevCommand::Kind::ToggleOverlay);
    EXPECT_EQ(Press(Key::F12, 0, 1, true).kind, DevCommand::Kind::WriteShot);
    // A demo without music has no end to clamp to but its start.
    EXPECT_EQ(InterpretDevKey(KeyPress{Key::Right, 0}, 0, false, 0, FrameGrid{}).targetMs, 0u);
}

}  // namespace
}  // namespace jolp
