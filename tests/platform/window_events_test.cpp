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
