// The developer overlay's frame allocates nothing: on the real headless
// OpenGL device, new text is formatted and set, a frame time added and the
// overlay drawn, frame after frame, while our own operator new calls are
// counted (the graphics driver's are left out).
#include "runner/dev_overlay.h"

#include "tests/support/allocation_counter.h"
#include "tests/support/headless_gl.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace jolp {
namespace {

TEST(DevOverlayAllocations, SetTextAddFrameTimeAndDrawAllocateNothing) {
    testing::HeadlessGl gl(320, 240);
    ASSERT_TRUE(gl.ok()) << gl.error;
    std::string error;
    std::unique_ptr<DevOverlay> overlay = DevOverlay::Create(*gl.device, error);
    ASSERT_NE(overlay, nullptr) << error;
    char text[256];
    auto frame = [&](int n) {
        std::snprintf(text, sizeof text, "frame %d\nt = %.2f s\nshot %d of 12", n, n / 60.0, n % 12);
        overlay->SetText(text);
        overlay->AddFrameTime(static_cast<float>(10 + n % 30));
        gl.device->BeginScene();
        gl.device->Clear(kClearTarget | kClearZBuffer, 0xFF303030u, 1.0f, 0);
        overlay->Draw(320, 240);
        gl.device->EndScene();
        gl.device->Present();
    };
    for (int n = 0; n < 5; ++n) frame(n);  // the driver warms up
    // The counter sees our allocations at all.
    const uint64_t probe = testing::OwnAllocationCount();
    int* volatile kept = new int(7);  // volatile: the pair may not be elided
    delete kept;
    ASSERT_EQ(testing::OwnAllocationCount(), probe + 1);

    const uint64_t before = testing::OwnAllocationCount();
    for (int n = 5; n < 305; ++n) frame(n);
    EXPECT_EQ(testing::OwnAllocationCount() - before, 0u);
}

}  // namespace
}  // namespace jolp
