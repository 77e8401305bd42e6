// gfx_device.h - the one narrow graphics interface everything above the
// platform layer draws through.
//
// Callers speak Direct3D 9's vocabulary (viewports with a top-left origin and
// a depth range, ARGB clear colours, begin/end scene, present with a
// device-lost result) and get Direct3D's results; GlDevice implements it over
// OpenGL 3.3 core, tests use a recording twin.
//
// Conventions every implementation honours:
//  - Picture row 0 is the top. Rectangles (viewport, scissor) are given in
//    pixels from the top-left corner of the current target.
//  - The back buffer is an off-screen X8R8G8B8 image of the requested size
//    with a D24S8 depth surface; Present shows it (scaled, aspect kept) where
//    there is a window, and ReadBackBuffer returns its pixels top row first.
//
// Ownership: the device is owned by the DeviceWindow that created it (see
// framework/display.h); it never owns its caller's objects.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jolp {

// Clear flags, as D3DCLEAR_*.
enum ClearFlags : uint32_t {
    kClearTarget = 0x1,
    kClearZBuffer = 0x2,
    kClearStencil = 0x4,
};

struct Viewport {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    float minZ = 0.0f;
    float maxZ = 1.0f;
};

// Present's outcome; DeviceLost carries Direct3D's code so callers may log it.
enum class PresentResult : uint32_t {
    Ok = 0,
    DeviceLost = 0x88760868u,
};

struct DeviceCaps {
    // Pixel shader version in Direct3D's layout: major in bits 8-15, minor in
    // bits 0-7, the upper 16 bits 0xFFFF.
    uint32_t pixelShaderVersion = 0;
};

class GfxDevice {
public:
    virtual ~GfxDevice() = default;

    virtual DeviceCaps GetDeviceCaps() const = 0;

    virtual void BeginScene() = 0;
    virtual void EndScene() = 0;
    virtual PresentResult Present() = 0;

    virtual void SetViewport(const Viewport& viewport) = 0;
    // Clears the current viewport rectangle of the current target, whatever
    // the write masks are. colour is 0xAARRGGBB.
    virtual void Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) = 0;

    virtual uint32_t BackBufferWidth() const = 0;
    virtual uint32_t BackBufferHeight() const = 0;
    // Copies the back buffer as 8-bit RGB, top row first, into out, which
    // holds BackBufferWidth() * BackBufferHeight() * 3 bytes. False when the
    // pixels could not be read.
    virtual bool ReadBackBuffer(uint8_t* out, size_t size) = 0;
};

}  // namespace jolp
