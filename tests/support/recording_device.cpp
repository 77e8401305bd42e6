#include "tests/support/recording_device.h"

#include <cstdio>
#include <cstring>

namespace jolp::testing {

void RecordingDevice::BeginScene() { calls.emplace_back("BeginScene"); }
void RecordingDevice::EndScene() { calls.emplace_back("EndScene"); }

PresentResult RecordingDevice::Present() {
    calls.emplace_back("Present");
    ++presents;
    return loseAt_ > 0 && presents >= loseAt_ ? PresentResult::DeviceLost : PresentResult::Ok;
}

void RecordingDevice::SetViewport(const Viewport& v) {
    char line[96];
    std::snprintf(line, sizeof line, "SetViewport %u %u %u %u %g %g", v.x, v.y, v.width, v.height, v.minZ, v.maxZ);
    calls.emplace_back(line);
}

void RecordingDevice::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) {
    char line[64];
    std::snprintf(line, sizeof line, "Clear %u %08x %g %u", flags, argb, z, stencil);
    calls.emplace_back(line);
}

bool RecordingDevice::ReadBackBuffer(uint8_t* out, size_t size) {
    calls.emplace_back("ReadBackBuffer");
    if (size < static_cast<size_t>(width_) * height_ * 3) return false;
    std::memset(out, 0, size);
    return true;
}

}  // namespace jolp::testing
