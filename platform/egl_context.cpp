#include "platform/egl_context.h"

#include <epoxy/egl.h>

#include <cstring>

namespace jolp {
namespace {

EGLDisplay g_display = EGL_NO_DISPLAY;

bool HasClientExtension(const char* name) {
    // Querying EGL_NO_DISPLAY is the one EGL call that is safe before a
    // display exists; it lists the client extensions.
    const char* all = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!all) return false;
    const size_t length = std::strlen(name);
    for (const char* p = all; (p = std::strstr(p, name)) != nullptr; p += length) {
        if ((p == all || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
    }
    return false;
}

EGLDisplay TryDisplay(EGLenum platform, void* native) {
    // Only the EXT entry point: the EGL 1.5 core one must not be touched
    // before a display exists.
    EGLDisplay display = eglGetPlatformDisplayEXT(platform, native, nullptr);
    if (display == EGL_NO_DISPLAY) return EGL_NO_DISPLAY;
    EGLint major = 0;
    EGLint minor = 0;
    if (!eglInitialize(display, &major, &minor)) return EGL_NO_DISPLAY;
    return display;
}

EGLDisplay OpenDevicePlatform() {
    if (!HasClientExtension("EGL_EXT_device_enumeration")) return EGL_NO_DISPLAY;
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!eglQueryDevicesEXT(16, devices, &count)) return EGL_NO_DISPLAY;
    for (EGLint i = 0; i < count; ++i) {
        EGLDisplay display = TryDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i]);
        if (display != EGL_NO_DISPLAY) return display;
    }
    return EGL_NO_DISPLAY;
}

}  // namespace

bool InitHeadlessLibrary(std::string& error) {
    if (g_display != EGL_NO_DISPLAY) return true;
    if (!HasClientExtension("EGL_EXT_platform_base")) {
        error = "EGL: the driver has no platform displays (EGL_EXT_platform_base)";
        return false;
    }
    if (HasClientExtension("EGL_MESA_platform_surfaceless")) {
        g_display = TryDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY);
    }
    if (g_display == EGL_NO_DISPLAY && HasClientExtension("EGL_EXT_platform_device")) {
        g_display = OpenDevicePlatform();
    }
    if (g_display == EGL_NO_DISPLAY) {
        error = "EGL: no surfaceless or device display could be opened";
        return false;
    }
    return true;
}

std::unique_ptr<EglHeadlessContext> EglHeadlessContext::Create(std::string& error) {
    if (!InitHeadlessLibrary(error)) return nullptr;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL: the driver has no desktop OpenGL";
        return nullptr;
    }
    const EGLint core33[] = {EGL_CONTEXT_MAJOR_VERSION,
                             3,
                             EGL_CONTEXT_MINOR_VERSION,
                             3,
                             EGL_CONTEXT_OPENGL_PROFILE_MASK,
                             EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                             EGL_NONE};
    const EGLint any[] = {EGL_NONE};
    // Without a surface there is no config to match; EGL_KHR_no_config_context
    // is what every surfaceless driver offers.
    EGLContext context = eglCreateContext(g_display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, core33);
    if (context == EGL_NO_CONTEXT) context = eglCreateContext(g_display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, any);
    if (context == EGL_NO_CONTEXT) {
        error = "EGL: no OpenGL context could be created";
        return nullptr;
    }
    if (!eglMakeCurrent(g_display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        eglDestroyContext(g_display, context);
        error = "EGL: the context cannot be made current without a surface";
        return nullptr;
    }
    std::unique_ptr<EglHeadlessContext> result(new EglHeadlessContext());
    result->context_ = context;
    return result;
}

EglHeadlessContext::~EglHeadlessContext() {
    if (context_) {
        eglMakeCurrent(g_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(g_display, static_cast<EGLContext>(context_));
    }
}

}  // namespace jolp
