#include "tests/support/test_program.h"

namespace jolp::testing {
namespace {
RecordingDevice* g_lastDevice = nullptr;
}

RecordingDevice* LastRecordingDevice() { return g_lastDevice; }

Display RecordingDisplay(const DisplaySettings& settings) {
    auto* window = new DeviceWindow();
    auto device = std::make_unique<RecordingDevice>(settings.width, settings.height);
    g_lastDevice = device.get();
    window->device = std::move(device);
    Display display;
    display.ok = true;
    display.width = settings.width;
    display.height = settings.height;
    display.fullscreen = settings.fullscreen;
    display.title = settings.title;
    display.headless = settings.headless;
    display.deviceWindow = window;
    return display;
}

std::unique_ptr<RenderSystemBase> LoggingRenderSystemFactory(GfxDevice& device, const Rect&, const Rect&) {
    return std::make_unique<LoggingRenderSystem>(dynamic_cast<RecordingDevice*>(&device));
}

std::unique_ptr<RenderSystemBase> NullRenderSystemFactory(GfxDevice&, const Rect&, const Rect&) { return nullptr; }

}  // namespace jolp::testing
