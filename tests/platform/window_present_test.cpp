// Present's composite under a real X display (run through xvfb-run): the back buffer
// reaches the window upright, scaled to fill it with its aspect kept.
#include "platform/gl_device.h"
#include "platform/sdl_window.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

namespace jolp {
namespace {

TEST(WindowPresentTest, TheTopOfTheBackBufferIsTheTopOfTheWindow) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the ctest entry runs it under xvfb-run)";
    std::string error;
    ASSERT_TRUE(InitVideoLibrary(error)) << error;
    WindowRequest request;
    request.title = "Tarvel present test";
    request.width = 200;
    request.height = 100;
    request.fullscreen = false;
    auto window = SdlGlWindow::Create(request, error);
    ASSERT_NE(window, nullptr) << error;
    // A back buffer half as tall as wide, in a 200 x 100 window: it fills
    // the window exactly. Its top half is red, its bottom half blue.
    auto device = GlDevice::Create(*window, 64, 32, error);
    ASSERT_NE(device, nullptr) << error;
    Viewport v;
    v.width = 64;
    v.height = 32;
    device->SetViewport(v);
    device->Clear(kClearTarget, 0xFF0000FFu, 1.0f, 0);
    v.height = 16;
    device->SetViewport(v);
    device->Clear(kClearTarget, 0xFFFF0000u, 1.0f, 0);
    device->CompositeToWindow();

    uint32_t w = 0;
    uint32_t h = 0;
    window->DrawableSize(w, h);
    ASSERT_EQ(w, 200u);
    ASSERT_EQ(h, 100u);
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // GL counts window rows from the bottom.
    auto at = [&](uint32_t x, uint32_t rowFromTop) {
        const size_t i = (static_cast<size_t>(h - 1 - rowFromTop) * w + x) * 4;
        return std::array<uint8_t, 3>{pixels[i], pixels[i + 1], pixels[i + 2]};
    };
    EXPECT_EQ(at(100, 10), (std::array<uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(at(100, 90), (std::array<uint8_t, 3>{0, 0, 255}));
    EXPECT_EQ(at(2, 2), (std::array<uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(at(197, 97), (std::array<uint8_t, 3>{0, 0, 255}));
    EXPECT_EQ(device->Present(), PresentResult::Ok);
}

TEST(WindowPresentTest, AWindowOfAnotherAspectGetsBars) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the ctest entry runs it under xvfb-run)";
    std::string error;
    ASSERT_TRUE(InitVideoLibrary(error)) << error;
    WindowRequest request;
    request.title = "Tarvel present test";
    request.width = 100;
    request.height = 100;
    request.fullscreen = false;
    auto window = SdlGlWindow::Create(request, error);
    ASSERT_NE(window, nullptr) << error;
    auto device = GlDevice::Create(*window, 64, 32, error);
    ASSERT_NE(device, nullptr) << error;
    Viewport v;
    v.width = 64;
    v.height = 32;
    device->SetViewport(v);
    device->Clear(kClearTarget, 0xFFFFFFFFu, 1.0f, 0);
    device->CompositeToWindow();
    std::vector<uint8_t> pixels(100 * 100 * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 100, 100, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // 2:1 into 100 x 100: rows 25 to 74 show the picture, the rest is black.
    auto red = [&](uint32_t rowFromTop) { return pixels[(static_cast<size_t>(99 - rowFromTop) * 100 + 50) * 4]; };
    EXPECT_EQ(red(5), 0);
    EXPECT_EQ(red(24), 0);
    EXPECT_EQ(red(26), 255);
    EXPECT_EQ(red(73), 255);
    EXPECT_EQ(red(76), 0);
    EXPECT_EQ(red(95), 0);
}

}  // namespace
}  // namespace jolp
