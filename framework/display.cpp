#include "framework/display.h"

#include "framework/display_platform.h"
#include "platform/gl_device.h"
#include "platform/log.h"
#include "platform/message_box.h"

#include <algorithm>

namespace jolp {
namespace {

// Opens the window (or headless context) and the device on it. On failure
// the record has no device, quitRequested is set and error says why.
void CreateWindowAndDevice(const DisplaySettings& settings, DeviceWindow& record, std::string& error) {
    record.quitRequested = false;
    record.device.reset();
    record.window = OpenDrawingSurface(settings, error);
    if (record.window) record.device = GlDevice::Create(*record.window, settings.width, settings.height, error);
    if (!record.device) record.quitRequested = true;
}

}  // namespace

int ShaderLevelFromVersion(uint32_t pixelShaderVersion) {
    const uint32_t major = (pixelShaderVersion >> 8) & 0xFF;
    const uint32_t minor = pixelShaderVersion & 0xFF;
    switch (major) {
    case 1:
        return minor >= 5 ? 8 : static_cast<int>(minor);
    case 2:
        return minor >= 3 ? 8 : 5 + static_cast<int>(minor);
    case 3:
        return 8;
    default:
        return 0;
    }
}

const char* ShaderLevelName(int level) {
    static const char* const kNames[] = {"SM 1.0", "SM 1.1", "SM 1.2", "SM 1.3", "SM 1.4",
                                         "SM 2.0", "SM 2.a", "SM 2.b", "SM 3.0"};
    return level >= 0 && level <= 8 ? kNames[level] : "unknown";
}

std::string ShaderModelRefusalText() {
    return std::string("Shader model no supported.\nDemo requires al least ") + ShaderLevelName(kRequiredShaderLevel) +
           " to run.";
}

Display CreateDisplay(const DisplaySettings& settings) {
    const bool allowWindow = !settings.headless;
    std::string error;
    if (!LoadGraphicsLibraries(settings, error)) {
        ShowErrorMessage(kGraphicsInitFailedText, error, allowWindow);
        return Display{};
    }
    auto record = std::make_unique<DeviceWindow>();
    CreateWindowAndDevice(settings, *record, error);
    if (!record->device) {
        // No device at all: the shader level cannot even be asked. Say so the
        // same way as missing libraries; the main loop never runs.
        record.reset();
        ShowErrorMessage(kGraphicsInitFailedText, error, allowWindow);
        return Display{};
    }
    const uint32_t largest = record->device->GetDeviceCaps().maxTargetSize;
    if (largest != 0 && std::max(settings.width, settings.height) > largest) {
        record.reset();
        Log(LogLevel::Error, "bad value '%ux%u' for --size: this device draws at most %u x %u pixels",
                     settings.width, settings.height, largest, largest);
        Display refused;
        refused.sizeRefused = true;
        return refused;
    }
    const uint32_t version = record->device->GetDeviceCaps().pixelShaderVersion;
    if (ShaderLevelFromVersion(version) < kRequiredShaderLevel) {
        std::string detail = RequiredGraphicsText();
        if (auto* gl = dynamic_cast<GlDevice*>(record->device.get())) {
            const GlVersion v = gl->Version();
            detail += "; the driver gives OpenGL " + std::to_string(v.major) + "." + std::to_string(v.minor) +
                      (v.core ? " core" : "") + " (" + gl->Renderer() + ")";
        }
        record.reset();  // device first, then the window
        ShowErrorMessage(ShaderModelRefusalText(), detail, allowWindow);
        return Display{};
    }
    Display display;
    display.ok = true;
    display.width = settings.width;
    display.height = settings.height;
    display.refreshRate = settings.refreshRate;
    display.fullscreen = settings.fullscreen;
    display.title = settings.title;
    display.headless = settings.headless;
    display.deviceWindow = record.release();
    return display;
}

bool PumpMessages(DeviceWindow& deviceWindow, KeyPresses* keys) {
    if (deviceWindow.quitRequested) return false;
    if (ReadWindowEvents(deviceWindow, keys)) deviceWindow.quitRequested = true;
    deviceWindow.device->BeginScene();
    return !deviceWindow.quitRequested;
}

}  // namespace jolp
