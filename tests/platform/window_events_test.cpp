#include "platform/sdl_window.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace jolp {
namespace {

SDL_Event KeyEvent(Uint32 type, SDL_Keycode key) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    return event;
}

SDL_Event WindowEvent(Uint8 which) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = which;
    return event;
}

TEST(WindowEventsTest, EscapeAndClosingTheWindowQuit) {
    EXPECT_EQ(TranslateWindowEvent(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE)), WindowAction::Quit);
    EXPECT_EQ(TranslateWindowEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE)), WindowAction::Quit);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(TranslateWindowEvent(quit), WindowAction::Quit);
}

TEST(WindowEventsTest, EveryOtherKeyAndEventDoesNothing) {
    for (SDL_Keycode key : {SDLK_SPACE, SDLK_RETURN, SDLK_a, SDLK_q, SDLK_F4, SDLK_LEFT, SDLK_HOME}) {
        EXPECT_EQ(TranslateWindowEvent(KeyEvent(SDL_KEYDOWN, key)), WindowAction::None) << key;
    }
    // Releasing Escape is not pressing it.
    EXPECT_EQ(TranslateWindowEvent(KeyEvent(SDL_KEYUP, SDLK_ESCAPE)), WindowAction::None);
    EXPECT_EQ(TranslateWindowEvent(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST)), WindowAction::None);
    EXPECT_EQ(TranslateWindowEvent(WindowEvent(SDL_WINDOWEVENT_MINIMIZED)), WindowAction::None);
    SDL_Event mouse{};
    mouse.type = SDL_MOUSEBUTTONDOWN;
    EXPECT_EQ(TranslateWindowEvent(mouse), WindowAction::None);
}

}  // namespace
}  // namespace jolp

namespace jolp {
namespace {

TEST(KeyTranslation, LettersDigitsArrowsAndFunctionKeysWithTheirModifiers) {
    const std::pair<SDL_Keycode, Key> keys[] = {
        {SDLK_SPACE, Key::Space}, {SDLK_LEFT, Key::Left}, {SDLK_RIGHT, Key::Right}, {SDLK_HOME, Key::Home},
        {SDLK_a, Key::A},         {SDLK_l, Key::L},       {SDLK_z, Key::Z},         {SDLK_0, Key::Digit0},
        {SDLK_9, Key::Digit9},    {SDLK_F1, Key::F1},     {SDLK_F12, Key::F12},     {SDLK_RETURN, Key::Enter},
        {SDLK_UP, Key::Up},       {SDLK_PAGEDOWN, Key::PageDown}};
    for (const auto& [sym, key] : keys) {
        KeyPress press;
        ASSERT_TRUE(TranslateKey(KeyEvent(SDL_KEYDOWN, sym), press)) << sym;
        EXPECT_EQ(press.key, key);
        EXPECT_EQ(press.modifiers, 0);
        EXPECT_FALSE(TranslateKey(KeyEvent(SDL_KEYUP, sym), press)) << sym;
    }
    SDL_Event shifted = KeyEvent(SDL_KEYDOWN, SDLK_LEFT);
    shifted.key.keysym.mod = KMOD_LSHIFT;
    KeyPress press;
    ASSERT_TRUE(TranslateKey(shifted, press));
    EXPECT_EQ(press.modifiers, kKeyShift);
    shifted.key.keysym.mod = KMOD_RCTRL | KMOD_RSHIFT;
    ASSERT_TRUE(TranslateKey(shifted, press));
    EXPECT_EQ(press.modifiers, kKeyShift | kKeyCtrl);
    // Escape quits (below); keys outside the set are not reported.
    for (SDL_Keycode other : {SDLK_ESCAPE, SDLK_F13, SDLK_CAPSLOCK, SDLK_KP_5}) {
        EXPECT_FALSE(TranslateKey(KeyEvent(SDL_KEYDOWN, other), press)) << other;
    }
    // The quit keys stay what they were.
    EXPECT_EQ(TranslateWindowEvent(KeyEvent(SDL_KEYDOWN, SDLK_SPACE)), WindowAction::None);
}

}  // namespace
}  // namespace jolp
