// recording_device.h - RecordingDevice, the GfxDevice twin for tests: it
// draws nothing and records every call, in order, as a short line of text
// ("Clear 1 ff000000", "Present"), so tests can check call order and
// arguments without a GPU.
#pragma once

#include "platform/gfx_device.h"

#include <string>
#include <vector>

namespace jolp::testing {

class RecordingDevice final : public GfxDevice {
public:
    RecordingDevice(uint32_t width = 640, uint32_t height = 480, uint32_t pixelShaderVersion = 0xFFFF0300u)
        : width_(width), height_(height), pixelShaderVersion_(pixelShaderVersion) {}

    DeviceCaps GetDeviceCaps() const override { return DeviceCaps{pixelShaderVersion_}; }
    void BeginScene() override;
    void EndScene() override;
    PresentResult Present() override;
    void SetViewport(const Viewport& viewport) override;
    void Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) override;
    uint32_t BackBufferWidth() const override { return width_; }
    uint32_t BackBufferHeight() const override { return height_; }
    bool ReadBackBuffer(uint8_t* out, size_t size) override;

    // Present returns DeviceLost from the n-th call on (1-based); 0: never.
    void LoseDeviceAtPresent(int n) { loseAt_ = n; }

    std::vector<std::string> calls;
    int presents = 0;

private:
    uint32_t width_;
    uint32_t height_;
    uint32_t pixelShaderVersion_;
    int loseAt_ = 0;
};

}  // namespace jolp::testing
