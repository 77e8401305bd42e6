#include "platform/web_canvas.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstring>

namespace jolp {
namespace {

constexpr const char* kCanvas = "#canvas";

bool g_quit = false;
bool g_gesture = false;
bool g_listening = false;

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* event, void*) {
    g_gesture = true;
    if (std::strcmp(event->key, "Escape") == 0) {
        g_quit = true;
        return EM_TRUE;
    }
    return EM_FALSE;  // the page's own keys (F for full screen) see it too
}

EM_BOOL OnPointer(int, const EmscriptenMouseEvent*, void*) {
    g_gesture = true;
    return EM_FALSE;
}

EM_BOOL OnTouch(int, const EmscriptenTouchEvent*, void*) {
    g_gesture = true;
    return EM_FALSE;
}

void Listen() {
    if (g_listening) return;
    g_listening = true;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKeyDown);
    emscripten_set_mousedown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnPointer);
    emscripten_set_touchend_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnTouch);
}

// The page (web_page.html) keeps the first failure it was told of on show;
// its status line and title change only while there is none.
EM_JS(void, jolp_page_status, (const char* text), { jolpStatus(UTF8ToString(text)); });

EM_JS(void, jolp_page_failed, (const char* text), { jolpFailed(UTF8ToString(text)); });

EM_JS(void, jolp_page_title, (const char* text), {
    if (jolpFailure === null) document.title = UTF8ToString(text);
});

}  // namespace

std::unique_ptr<WebCanvas> WebCanvas::Create(uint32_t width, uint32_t height, std::string& error) {
    Listen();
    emscripten_set_canvas_element_size(kCanvas, static_cast<int>(width), static_cast<int>(height));
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.premultipliedAlpha = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_FALSE;
    attributes.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // The float targets (EXT_color_buffer_float) and the rest are asked for
    // as they are used.
    attributes.enableExtensionsByDefault = EM_TRUE;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(kCanvas, &attributes);
    if (context <= 0) {
        error = "this browser gives no WebGL 2 context (WebGL 2 is off, or the graphics driver is refused)";
        return nullptr;
    }
    if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        emscripten_webgl_destroy_context(context);
        error = "the WebGL 2 context cannot be made current";
        return nullptr;
    }
    emscripten_webgl_enable_extension(context, "EXT_color_buffer_float");
    emscripten_webgl_enable_extension(context, "OES_texture_float_linear");
    std::unique_ptr<WebCanvas> canvas(new WebCanvas());
    canvas->context_ = static_cast<intptr_t>(context);
    return canvas;
}

WebCanvas::~WebCanvas() {
    if (context_ > 0) emscripten_webgl_destroy_context(static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(context_));
}

void WebCanvas::DrawableSize(uint32_t& width, uint32_t& height) const {
    int w = 0;
    int h = 0;
    emscripten_get_canvas_element_size(kCanvas, &w, &h);
    width = static_cast<uint32_t>(w > 0 ? w : 0);
    height = static_cast<uint32_t>(h > 0 ? h : 0);
}

bool TakeCanvasQuit() {
    const bool quit = g_quit;
    g_quit = false;
    return quit;
}

bool CanvasGestureSeen() { return g_gesture; }

void ShowPageStatus(const std::string& text) { jolp_page_status(text.c_str()); }

void ShowPageError(const std::string& text) { jolp_page_failed(text.c_str()); }

void SetPageTitle(const std::string& title) { jolp_page_title(title.c_str()); }

}  // namespace jolp
