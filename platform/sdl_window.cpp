#include "platform/sdl_window.h"

#include <SDL2/SDL.h>

namespace jolp {

bool InitVideoLibrary(std::string& error) {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("SDL video: ") + SDL_GetError();
        return false;
    }
    // With no display SDL falls back to drivers that show nothing. Playing
    // to nobody is no way to watch a demo; headless runs use --capture. An
    // explicit SDL_VIDEODRIVER is the user's choice and is honoured.
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver ? driver : "";
    if ((name == "offscreen" || name == "dummy" || name == "evdev") && !SDL_getenv("SDL_VIDEODRIVER")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        error = "no display to show the demo on (is DISPLAY or WAYLAND_DISPLAY set?); --capture renders without one";
        return false;
    }
    return true;
}

namespace {

void RequestContext(bool core33) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The picture is drawn off-screen; the window's own framebuffer needs
    // neither depth nor stencil.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    if (core33) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    }
}

}  // namespace

std::unique_ptr<SdlGlWindow> SdlGlWindow::Create(const WindowRequest& request, std::string& error) {
    RequestContext(true);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
    if (request.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_Window* window = SDL_CreateWindow(request.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          static_cast<int>(request.width), static_cast<int>(request.height), flags);
    if (!window) {
        error = std::string("SDL window: ") + SDL_GetError();
        return nullptr;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        const std::string coreError = SDL_GetError();
        RequestContext(false);
        context = SDL_GL_CreateContext(window);
        if (!context) {
            error = "OpenGL context: " + coreError;
            SDL_DestroyWindow(window);
            return nullptr;
        }
    }
    std::unique_ptr<SdlGlWindow> result(new SdlGlWindow());
    result->window_ = window;
    result->context_ = context;
    SDL_GL_MakeCurrent(window, context);
    // Present as fast as possible; a driver that will not is no error.
    SDL_GL_SetSwapInterval(0);
    SDL_ShowCursor(SDL_DISABLE);
    return result;
}

SdlGlWindow::~SdlGlWindow() {
    SDL_ShowCursor(SDL_ENABLE);
    if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    if (window_) SDL_DestroyWindow(window_);
}

void SdlGlWindow::DrawableSize(uint32_t& width, uint32_t& height) const {
    int w = 0;
    int h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    width = static_cast<uint32_t>(w > 0 ? w : 0);
    height = static_cast<uint32_t>(h > 0 ? h : 0);
}

void SdlGlWindow::SwapBuffers() { SDL_GL_SwapWindow(window_); }

WindowAction TranslateWindowEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        return WindowAction::Quit;
    case SDL_WINDOWEVENT:
        return event.window.event == SDL_WINDOWEVENT_CLOSE ? WindowAction::Quit : WindowAction::None;
    case SDL_KEYDOWN:
        return event.key.keysym.sym == SDLK_ESCAPE ? WindowAction::Quit : WindowAction::None;
    default:
        return WindowAction::None;
    }
}

bool TranslateKey(const SDL_Event& event, KeyPress& press) {
    if (event.type != SDL_KEYDOWN) return false;
    const SDL_Keycode code = event.key.keysym.sym;
    if (code >= SDLK_a && code <= SDLK_z) {
        press.key = static_cast<Key>(static_cast<int>(Key::A) + (code - SDLK_a));
    } else if (code >= SDLK_0 && code <= SDLK_9) {
        press.key = static_cast<Key>(static_cast<int>(Key::Digit0) + (code - SDLK_0));
    } else if (code >= SDLK_F1 && code <= SDLK_F12) {
        press.key = static_cast<Key>(static_cast<int>(Key::F1) + (code - SDLK_F1));
    } else {
        switch (code) {
        case SDLK_SPACE: press.key = Key::Space; break;
        case SDLK_RETURN: press.key = Key::Enter; break;
        case SDLK_TAB: press.key = Key::Tab; break;
        case SDLK_BACKSPACE: press.key = Key::Backspace; break;
        case SDLK_LEFT: press.key = Key::Left; break;
        case SDLK_RIGHT: press.key = Key::Right; break;
        case SDLK_UP: press.key = Key::Up; break;
        case SDLK_DOWN: press.key = Key::Down; break;
        case SDLK_HOME: press.key = Key::Home; break;
        case SDLK_END: press.key = Key::End; break;
        case SDLK_PAGEUP: press.key = Key::PageUp; break;
        case SDLK_PAGEDOWN: press.key = Key::PageDown; break;
        default: return false;
        }
    }
    const Uint16 mod = event.key.keysym.mod;
    press.modifiers = static_cast<uint8_t>(((mod & KMOD_SHIFT) ? kKeyShift : 0) | ((mod & KMOD_CTRL) ? kKeyCtrl : 0));
    return true;
}

bool PollWindowEvents(KeyPresses* keys) {
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (TranslateWindowEvent(event) == WindowAction::Quit) quit = true;
        KeyPress press;
        if (keys && keys->count < KeyPresses::kCapacity && TranslateKey(event, press)) {
            keys->presses[keys->count++] = press;
        }
    }
    return quit;
}

}  // namespace jolp
