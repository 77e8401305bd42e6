// Present's composite under a real X display (run through xvfb-run): the
// back buffer reaches the window upright, scaled to fill it with its aspect
// kept.
#include "platform/gl_device.h"
#include "platform/sdl_window.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace jolp {
namespace {

// A window of the given size with a 64 x 32 back buffer: the top half
// cleared red, the bottom half blue.
class WindowPresentTest : public ::testing::Test {
protected:
    void Open(uint32_t width, uint32_t height) {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the ctest entry runs it under xvfb-run)";
        std::string error;
        ASSERT_TRUE(InitVideoLibrary(error)) << error;
        WindowRequest request;
        request.title = "Tarvel present test";
        request.width = width;
        request.height = height;
        request.fullscreen = false;
        window_ = SdlGlWindow::Create(request, error);
        ASSERT_NE(window_, nullptr) << error;
        device_ = GlDevice::Create(*window_, 64, 32, error);
        ASSERT_NE(device_, nullptr) << error;
        Viewport v;
        v.width = 64;
        v.height = 32;
        device_->SetViewport(v);
        device_->Clear(kClearTarget, 0xFF0000FFu, 1.0f, 0);
        v.height = 16;
        device_->SetViewport(v);
        device_->Clear(kClearTarget, 0xFFFF0000u, 1.0f, 0);
        device_->CompositeToWindow();
        uint32_t w = 0;
        uint32_t h = 0;
        window_->DrawableSize(w, h);
        ASSERT_EQ(w, width);
        ASSERT_EQ(h, height);
        pixels_.resize(static_cast<size_t>(w) * h * 4);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels_.data());
        width_ = w;
        height_ = h;
    }

    // 'R', 'B', 'K' (black) or '?' for the window pixel at x, counted from
    // the top; GL counts window rows from the bottom.
    char At(uint32_t x, uint32_t rowFromTop) const {
        const size_t i = (static_cast<size_t>(height_ - 1 - rowFromTop) * width_ + x) * 4;
        const uint8_t r = pixels_[i], g = pixels_[i + 1], b = pixels_[i + 2];
        if (r == 255 && g == 0 && b == 0) return 'R';
        if (r == 0 && g == 0 && b == 255) return 'B';
        if (r == 0 && g == 0 && b == 0) return 'K';
        return '?';
    }

    std::unique_ptr<SdlGlWindow> window_;
    std::unique_ptr<GlDevice> device_;
    std::vector<uint8_t> pixels_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
};

TEST_F(WindowPresentTest, TheTopOfTheBackBufferIsTheTopOfTheWindow) {
    Open(200, 100);  // the same aspect: filled exactly
    if (IsSkipped() || HasFatalFailure()) return;
    EXPECT_EQ(At(100, 10), 'R');
    EXPECT_EQ(At(2, 2), 'R');
    EXPECT_EQ(At(100, 90), 'B');
    EXPECT_EQ(At(197, 97), 'B');
    EXPECT_EQ(device_->Present(), PresentResult::Ok);
}

TEST_F(WindowPresentTest, AWindowOfAnotherAspectGetsBars) {
    Open(100, 100);  // 2:1 into a square: rows 25 to 74 show the picture
    if (IsSkipped() || HasFatalFailure()) return;
    EXPECT_EQ(At(50, 5), 'K');
    EXPECT_EQ(At(50, 24), 'K');
    EXPECT_EQ(At(50, 26), 'R');
    EXPECT_EQ(At(50, 73), 'B');
    EXPECT_EQ(At(50, 76), 'K');
    EXPECT_EQ(At(50, 95), 'K');
}

}  // namespace
}  // namespace jolp
