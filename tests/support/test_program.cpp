#include "tests/support/test_program.h"

namespace jolp::testing {
namespace {
RecordingDevice* g_lastDevice = nullptr;
}

RecordingDevice* LastRecordingDevice() { return g_lastDevice; }

Display RecordingDisplay(const DisplaySettings& settings) {
    Display display = NullDisplay(settings);
    g_lastDevice = static_cast<RecordingDevice*>(display.deviceWindow->device.get());
    return display;
}

std::unique_ptr<RenderSystemBase> LoggingRenderSystemFactory(GfxDevice& device, const Rect&, const Rect&) {
    return std::make_unique<LoggingRenderSystem>(dynamic_cast<RecordingDevice*>(&device));
}

std::unique_ptr<RenderSystemBase> NullRenderSystemFactory(GfxDevice&, const Rect&, const Rect&) { return nullptr; }

}  // namespace jolp::testing
