// sdl_window.h - the demo's output window: a borderless SDL2 window with an
// OpenGL context, and the translation of its events into what the demo
// understands (a quit request, nothing else).
//
// "Full screen" is a borderless window covering the desktop; the display mode
// is never switched. SdlGlWindow owns the SDL window and its GL context.
#pragma once

#include "platform/gl_context.h"

#include <cstdint>
#include <memory>
#include <string>

union SDL_Event;
struct SDL_Window;

namespace jolp {

struct WindowRequest {
    std::string title;
    uint32_t width = 640;
    uint32_t height = 480;
    bool fullscreen = true;
};

// Initialises SDL's video subsystem once per process. False, with the
// reason in error, when there is no usable video driver.
bool InitVideoLibrary(std::string& error);

class SdlGlWindow final : public GlContext {
public:
    // Opens the window centred on the desktop and creates an OpenGL 3.3 core
    // context in it. When the driver refuses 3.3 core, a context of whatever
    // version it has is made instead, so that the caller can see what it got
    // and refuse it with a proper message. Null, with error set, when no
    // context can be made at all.
    static std::unique_ptr<SdlGlWindow> Create(const WindowRequest& request, std::string& error);
    ~SdlGlWindow() override;

    bool HasWindow() const override { return true; }
    void DrawableSize(uint32_t& width, uint32_t& height) const override;
    void SwapBuffers() override;

private:
    SdlGlWindow() = default;
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
};

enum class WindowAction {
    None,
    Quit,
};

// The window procedure: Escape and closing the window quit; every other key
// and event does nothing.
WindowAction TranslateWindowEvent(const SDL_Event& event);

// The keys a program may listen to besides Escape (which quits), with the
// modifiers held when pressed. What a key does is the listener's business.
enum class Key : uint8_t {
    // clang-format off
    A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
    Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
    Space, Enter, Tab, Backspace, Left, Right, Up, Down, Home, End, PageUp, PageDown,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    // clang-format on
};
inline constexpr uint8_t kKeyShift = 1;
inline constexpr uint8_t kKeyCtrl = 2;

struct KeyPress {
    Key key = Key::Space;
    uint8_t modifiers = 0;
};

// The keys pressed since the last poll, oldest first; presses beyond the
// capacity are dropped. A fixed array: polling allocates nothing.
struct KeyPresses {
    static constexpr int kCapacity = 32;
    KeyPress presses[kCapacity];
    int count = 0;
};

// The key of a key-down event (auto-repeat included); false for every
// other event and for keys outside Key.
bool TranslateKey(const SDL_Event& event, KeyPress& press);

// Reads every pending event; true when one of them asked to quit. With
// keys, the keys pressed are appended to it.
bool PollWindowEvents(KeyPresses* keys = nullptr);

}  // namespace jolp
