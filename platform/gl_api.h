// gl_api.h - the OpenGL entry points the device is written against, for
// both of its targets: desktop OpenGL 3.3 core through libepoxy, and WebGL 2
// (OpenGL ES 3.0) in a browser through emscripten.
//
// Most of the device's calls exist on both. Where they differ the device
// branches on kGlWeb (a constant: both branches compile on both targets),
// calls what is named differently through the wrappers below, and keeps
// the few desktop-only functions (clip control, timestamps, base vertex)
// inside #ifndef __EMSCRIPTEN__:
//   GlVersionNumber()        10 x major + minor of the context
//   GlHasExtension(name)     whether the context offers an extension
//   GlDepthRange, GlClearDepth, GlDrawNoColour   names that differ
#pragma once

#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#include <GLES2/gl2ext.h>

#include <cstring>
#else
#include <epoxy/gl.h>
#endif

namespace jolp {

#ifdef __EMSCRIPTEN__
inline constexpr bool kGlWeb = true;

// What WebGL 2 lacks; the device never hands these to it (see kGlWeb).
#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif
#ifndef GL_BGR
#define GL_BGR 0x80E0
#endif
#ifndef GL_TEXTURE_SWIZZLE_RGBA
#define GL_TEXTURE_SWIZZLE_RGBA 0x8E46
#endif
#ifndef GL_TIMESTAMP
#define GL_TIMESTAMP 0x8E28
#endif
#ifndef GL_TEXTURE_CUBE_MAP_SEAMLESS
#define GL_TEXTURE_CUBE_MAP_SEAMLESS 0x884F
#endif

inline int GlVersionNumber() { return 30; }
inline bool GlHasExtension(const char* name) {
    // WebGL names its extensions without the GL_ prefix; emscripten reports
    // them with it.
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!all) return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(all, name); at; at = std::strstr(at + 1, name)) {
        const bool starts = at == all || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}
inline void GlDepthRange(float nearZ, float farZ) { glDepthRangef(nearZ, farZ); }
inline void GlClearDepth(float z) { glClearDepthf(z); }
inline void GlDrawNoColour() {
    const GLenum none = GL_NONE;
    glDrawBuffers(1, &none);
}
#else
inline constexpr bool kGlWeb = false;

inline int GlVersionNumber() { return epoxy_gl_version(); }
inline bool GlHasExtension(const char* name) { return epoxy_has_gl_extension(name); }
inline void GlDepthRange(float nearZ, float farZ) { glDepthRange(nearZ, farZ); }
inline void GlClearDepth(float z) { glClearDepth(z); }
inline void GlDrawNoColour() { glDrawBuffer(GL_NONE); }
#endif

}  // namespace jolp
