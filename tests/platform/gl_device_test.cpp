// Real OpenGL through the headless EGL context (Mesa's software rasterizer
// where there is no GPU).
#include "tests/support/headless_gl.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace jolp {
namespace {

class GlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_.ok()) << gl_.error;
        device_ = gl_.device.get();
    }

    std::array<uint8_t, 3> Pixel(const std::vector<uint8_t>& image, uint32_t x, uint32_t y) const {
        const size_t i = (static_cast<size_t>(y) * kWidth + x) * 3;
        return {image[i], image[i + 1], image[i + 2]};
    }

    std::vector<uint8_t> Read() {
        std::vector<uint8_t> image(static_cast<size_t>(kWidth) * kHeight * 3);
        EXPECT_TRUE(device_->ReadBackBuffer(image.data(), image.size()));
        return image;
    }

    static constexpr uint32_t kWidth = 64;
    static constexpr uint32_t kHeight = 32;
    testing::HeadlessGl gl_{kWidth, kHeight};
    GlDevice* device_ = nullptr;
};

TEST_F(GlDeviceTest, OffersEverythingTheRendererNeeds) {
    EXPECT_EQ(device_->GetDeviceCaps().pixelShaderVersion, 0xFFFF0300u);
    EXPECT_GE(device_->Version().major * 10 + device_->Version().minor, 33);
    EXPECT_TRUE(device_->Version().core);
    EXPECT_EQ(device_->BackBufferWidth(), kWidth);
    EXPECT_EQ(device_->BackBufferHeight(), kHeight);
}

TEST_F(GlDeviceTest, ClearCoversTheViewportOnlyCountedFromTheTopLeft) {
    Viewport whole;
    whole.width = kWidth;
    whole.height = kHeight;
    device_->SetViewport(whole);
    device_->Clear(kClearTarget | kClearZBuffer | kClearStencil, 0xFFFF0000u, 1.0f, 0);

    Viewport box;
    box.x = 8;
    box.y = 4;
    box.width = 16;
    box.height = 8;
    device_->SetViewport(box);
    device_->Clear(kClearTarget, 0xFF00FF00u, 1.0f, 0);
    device_->EndScene();
    EXPECT_EQ(device_->Present(), PresentResult::Ok);

    const std::vector<uint8_t> image = Read();
    using Rgb = std::array<uint8_t, 3>;
    const Rgb red{255, 0, 0};
    const Rgb green{0, 255, 0};
    EXPECT_EQ(Pixel(image, 0, 0), red);
    EXPECT_EQ(Pixel(image, 8, 4), green);     // the box's top-left pixel
    EXPECT_EQ(Pixel(image, 23, 11), green);   // its bottom-right pixel
    EXPECT_EQ(Pixel(image, 8, 3), red);       // the row above it
    EXPECT_EQ(Pixel(image, 7, 4), red);       // the column left of it
    EXPECT_EQ(Pixel(image, 24, 11), red);
    EXPECT_EQ(Pixel(image, 8, 12), red);
    EXPECT_EQ(Pixel(image, 63, 31), red);
}

TEST_F(GlDeviceTest, ClearColourIsArgb) {
    Viewport whole;
    whole.width = kWidth;
    whole.height = kHeight;
    device_->SetViewport(whole);
    device_->Clear(kClearTarget, 0x80123456u, 1.0f, 0);
    const std::vector<uint8_t> image = Read();
    EXPECT_EQ(Pixel(image, 5, 5), (std::array<uint8_t, 3>{0x12, 0x34, 0x56}));
}

TEST_F(GlDeviceTest, ReadBackRefusesASmallBuffer) {
    std::vector<uint8_t> small(16);
    EXPECT_FALSE(device_->ReadBackBuffer(small.data(), small.size()));
}

TEST(GlDeviceSizeTest, AnOddSizedBackBufferReadsBackWhole) {
    testing::HeadlessGl gl(33, 7);
    ASSERT_TRUE(gl.ok()) << gl.error;
    GlDevice* device = gl.device.get();
    Viewport whole;
    whole.width = 33;
    whole.height = 7;
    device->SetViewport(whole);
    device->Clear(kClearTarget, 0xFF0000FFu, 1.0f, 0);
    std::vector<uint8_t> image(33 * 7 * 3 + 1, 0xAA);
    ASSERT_TRUE(device->ReadBackBuffer(image.data(), image.size() - 1));
    EXPECT_EQ(image[(6 * 33 + 32) * 3 + 2], 255);  // last pixel, blue
    EXPECT_EQ(image.back(), 0xAA);                  // nothing written past the end
}

}  // namespace
}  // namespace jolp
