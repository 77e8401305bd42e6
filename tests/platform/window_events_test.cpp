#include "platform/sdl_window.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace jolp {
namespace {

SDL_Event Key(Uint32 type, SDL_Keycode key) {
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
    EXPECT_EQ(TranslateWindowEvent(Key(SDL_KEYDOWN, SDLK_ESCAPE)), WindowAction::Quit);
    EXPECT_EQ(TranslateWindowEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE)), WindowAction::Quit);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(TranslateWindowEvent(quit), WindowAction::Quit);
}

TEST(WindowEventsTest, EveryOtherKeyAndEventDoesNothing) {
    for (SDL_Keycode key : {SDLK_SPACE, SDLK_RETURN, SDLK_a, SDLK_q, SDLK_F4, SDLK_LEFT, SDLK_HOME}) {
        EXPECT_EQ(TranslateWindowEvent(Key(SDL_KEYDOWN, key)), WindowAction::None) << key;
    }
    // Releasing Escape is not pressing it.
    EXPECT_EQ(TranslateWindowEvent(Key(SDL_KEYUP, SDLK_ESCAPE)), WindowAction::None);
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

TEST(DevKeyTranslation, TheAuthoringKeysWithTheirModifiersAndNothingElse) {
    const std::pair<SDL_Keycode, DevKey> keys[] = {{SDLK_SPACE, DevKey::Space}, {SDLK_LEFT, DevKey::Left},
                                                   {SDLK_RIGHT, DevKey::Right}, {SDLK_HOME, DevKey::Home},
                                                   {SDLK_l, DevKey::L},         {SDLK_o, DevKey::O},
                                                   {SDLK_F12, DevKey::F12}};
    for (const auto& [sym, key] : keys) {
        DevKeyPress press;
        ASSERT_TRUE(TranslateDevKey(Key(SDL_KEYDOWN, sym), press)) << sym;
        EXPECT_EQ(press.key, key);
        EXPECT_EQ(press.modifiers, 0);
        EXPECT_FALSE(TranslateDevKey(Key(SDL_KEYUP, sym), press)) << sym;
    }
    SDL_Event shifted = Key(SDL_KEYDOWN, SDLK_LEFT);
    shifted.key.keysym.mod = KMOD_LSHIFT;
    DevKeyPress press;
    ASSERT_TRUE(TranslateDevKey(shifted, press));
    EXPECT_EQ(press.modifiers, kDevKeyShift);
    shifted.key.keysym.mod = KMOD_RCTRL | KMOD_RSHIFT;
    ASSERT_TRUE(TranslateDevKey(shifted, press));
    EXPECT_EQ(press.modifiers, kDevKeyShift | kDevKeyCtrl);
    for (SDL_Keycode other : {SDLK_ESCAPE, SDLK_a, SDLK_RETURN, SDLK_UP, SDLK_F11}) {
        EXPECT_FALSE(TranslateDevKey(Key(SDL_KEYDOWN, other), press)) << other;
    }
    // The quit keys stay what they were.
    EXPECT_EQ(TranslateWindowEvent(Key(SDL_KEYDOWN, SDLK_SPACE)), WindowAction::None);
}

}  // namespace
}  // namespace jolp
