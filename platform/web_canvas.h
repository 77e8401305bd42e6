// web_canvas.h - the demo's output in a browser: a WebGL 2 context on the
// page's <canvas id="canvas">, and what the page's keys and clicks mean to
// the demo (Escape quits; the first click or key is the gesture browsers
// want before sound may play). Only built for the web (emscripten).
//
// The canvas's drawing buffer is the back buffer's size; the page scales it
// to the window, keeping its 16:9 (web_page.html). The context is made
// without antialiasing, depth or stencil: the device draws into a back
// buffer of its own and Present copies it to the canvas.
#pragma once

#include "platform/gl_context.h"

#include <cstdint>
#include <memory>
#include <string>

namespace jolp {

class WebCanvas final : public GlContext {
public:
    // Sizes the canvas's drawing buffer and makes the WebGL 2 context
    // current. Null, with error set, when the browser has no WebGL 2.
    static std::unique_ptr<WebCanvas> Create(uint32_t width, uint32_t height, std::string& error);
    ~WebCanvas() override;
    bool HasWindow() const override { return true; }
    void DrawableSize(uint32_t& width, uint32_t& height) const override;
    // The browser shows the canvas when the animation frame returns.
    void SwapBuffers() override {}

private:
    WebCanvas() = default;
    intptr_t context_ = 0;
};

// True once Escape was pressed on the page (taken: the next call says
// false until it is pressed again).
bool TakeCanvasQuit();
// Whether the page has had a click, a touch or a key yet.
bool CanvasGestureSeen();
// Shows text in the page's status line (empty: hides it), unless an error
// is shown there already.
void ShowPageStatus(const std::string& text);
// Shows an error in the status line, sets the title to "failed", and keeps
// both from being replaced.
void ShowPageError(const std::string& text);
// Sets the page's title (document.title).
void SetPageTitle(const std::string& title);

}  // namespace jolp
