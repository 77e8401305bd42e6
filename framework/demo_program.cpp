#include "framework/demo_program.h"

#include "platform/counter.h"
#include "platform/log.h"
#include "platform/message_box.h"

#include <cstdio>
#include <filesystem>
#include <numeric>

namespace jolp {
namespace {

// Headless frames tick a virtual counter in nanoseconds (frame_grid.h).
constexpr int64_t kVirtualFrequency = 1000000000;

constexpr uint32_t kNoMusicLength = 0xFFFFFFFFu;
constexpr uint64_t kMusicStartTimeoutMs = 2000;

Counter& ChooseCounter(std::unique_ptr<VirtualCounter>& virtualCounter, const RunConfig& config) {
    // Headless runs and drivers that keep their own time feed the clock.
    if (!config.headless && !config.steppedClock) {
        return config.counter ? *config.counter : PerformanceCounter::Instance();
    }
    virtualCounter = std::make_unique<VirtualCounter>(kVirtualFrequency, 0);
    return *virtualCounter;
}

}  // namespace

DemoProgram::DemoProgram(RenderSystemFactory renderSystemFactory, const RunConfig& config)
    : DemoTrack(0, 0),
      clock(ChooseCounter(virtualCounter_, config)),
      workers(std::make_unique<WorkerQueue>(resources)),
      config_(config),
      renderSystemFactory_(renderSystemFactory) {}

DemoProgram::~DemoProgram() {
    // The derived demo has released its own objects by now; the tracks the
    // program keeps go next, then what was made on the device, before the
    // device.
    ReleaseKeptChildren();
    renderSystem.reset();
    renderSystemWorker.reset();
    ReleaseDisplay();
    workers.reset();
    if (music.handle != 0) StreamClose(music.handle);
    music.handle = 0;
}

void DemoProgram::ReleaseDisplay() {
    delete display.deviceWindow;  // device first, then the window
    display.deviceWindow = nullptr;
}

int32_t DemoProgram::WorkerRenderSystem::Step(ResourceRegistry&, WorkerQueue&) {
    result = factory_(*display_->deviceWindow->device, windowRect_, viewportRect_);
    if (result) result->dataFolder = dataFolder_;
    // An effect that does not compile or a target the device cannot make
    // ends start-up: the program has nothing it could draw with.
    if (result && (!result->LoadEffects() || !result->CreateTargets())) {
        ShowErrorMessage(kRendererInitFailedText, result->StartupError(), !display_->headless);
        result.reset();
    }
    return 100;
}

bool DemoProgram::Init(const std::string& title) {
    DisplaySettings settings;
    settings.width = config_.width;
    settings.height = config_.height;
    settings.fullscreen = config_.fullscreen && !config_.headless;
    settings.headless = config_.headless;
    settings.title = title;
    display = config_.createDisplay(settings);
    if (!display.ok) return false;

    // The demo's aspect (16:9 unless it chose another), in lowest terms.
    const uint32_t width = config_.aspect[0] != 0 ? config_.aspect[0] : 16;
    const uint32_t height = config_.aspect[1] != 0 ? config_.aspect[1] : 9;
    const uint32_t divisor = std::gcd(width, height);
    aspect[0] = width / divisor;
    aspect[1] = height / divisor;
    windowRect = Rect{0, 0, static_cast<int32_t>(display.width), static_cast<int32_t>(display.height)};
    viewportRect = Letterbox(aspect[0], aspect[1], windowRect);

    // Headless runs have no sound device: the music is only measured.
    if (!config_.headless && !SoundInitialised()) {
        if (SoundInit(44100, 32, 0)) SetSoundInitialised(true);
    }

    renderSystemWorker =
        std::make_unique<WorkerRenderSystem>(renderSystemFactory_, &display, windowRect, viewportRect,
                                             config_.dataFolder);
    workers->Append(renderSystemWorker.get());
    return true;
}

bool DemoProgram::Prepare(const std::string& musicPath) {
    if (!renderSystemWorker) return false;
    workers->RunAll();
    music.handle = StreamOpen(musicPath);
    resources.AddIfAbsent("music", &music);
    // Known before the timeline is built, which may read it (or, without
    // music, give the demo a length of its own).
    length = music.handle != 0 ? StreamGetLengthMs(music.handle) : kNoMusicLength;
    end = start + length;
    renderSystem = std::move(renderSystemWorker->result);
    renderSystemWorker.reset();
    if (!renderSystem) return false;
    QueueWorkers(*workers);
    workers->RunAll();
    if (!sync.Load(config_.dataFolder)) return false;
    return BuildTimeline();
}

void DemoProgram::WaitForMusic() {
    const uint64_t begin = MonotonicMs();
    while (!MusicStartSettled(begin)) {
    }
}

bool DemoProgram::MusicStartSettled(uint64_t askedMs) const {
    // Time 0 of the demo is the moment the music is heard, not the moment
    // it was asked to play; a device that never starts must not hang us.
    if (MusicHeard()) return true;
    if (MonotonicMs() - askedMs <= kMusicStartTimeoutMs) return false;
    Log(LogLevel::Error, "the music did not start within %llu ms; starting without it",
        static_cast<unsigned long long>(kMusicStartTimeoutMs));
    return true;
}

bool DemoProgram::Run(const std::string& musicPath) { return Prepare(musicPath) && Play(musicPath); }

bool DemoProgram::Play(const std::string& musicPath) {
    if (!StartPlay(musicPath)) return false;
    if (musicChannel >= 0) WaitForMusic();
    RestartClock();
    PlayDriver* driver = config_.driver;
    const bool ok = driver ? driver->Play(*this) : PlayFrames();
    return FinishPlay(ok);
}

bool DemoProgram::StartPlay(const std::string& musicPath) {
    musicPath_ = musicPath;
    interrupted_ = false;
    musicChannel = -1;

    if (config_.headless && length == kNoMusicLength && !config_.hasTo) {
        Log(LogLevel::Error, "%s could not be opened, so the demo has no length: give --to", musicPath.c_str());
        Shutdown();
        return false;
    }
    if (music.handle == 0 && length != kNoMusicLength) {
        Log(LogLevel::Info, "%s could not be opened; the demo runs silently for its own %.1f s", musicPath.c_str(),
            length / 1000.0);
    } else if (music.handle == 0) {
        Log(LogLevel::Warning, "%s could not be opened; the demo runs silently%s", musicPath.c_str(),
            config_.headless ? "" : " until Escape is pressed");
    }
    PlayDriver* driver = config_.driver;
    if (!config_.headless && !(driver && driver->OwnsMusic()) && music.handle != 0) {
        musicChannel = StreamPlay(-1, music.handle);
        if (musicChannel < 0) Log(LogLevel::Error, "%s cannot be played; running silently", musicPath.c_str());
    }
    if (driver && !driver->Start(*this)) {
        Shutdown();
        return false;
    }
    return true;
}

bool DemoProgram::MusicHeard() const { return musicChannel < 0 || StreamGetTime(music.handle) != 0; }

void DemoProgram::RestartClock() {
    clock.Update();
    clock.Restart();
}

bool DemoProgram::FinishPlay(bool ok) {
    if (PlayDriver* driver = config_.driver) ok = driver->Finish(*this, ok);
    Shutdown();
    return ok;
}

Viewport DemoProgram::WholeWindow() const {
    Viewport whole;
    whole.x = static_cast<uint32_t>(windowRect.left);
    whole.y = static_cast<uint32_t>(windowRect.top);
    whole.width = static_cast<uint32_t>(windowRect.right - windowRect.left);
    whole.height = static_cast<uint32_t>(windowRect.bottom - windowRect.top);
    whole.minZ = 0.0f;
    whole.maxZ = 1.0f;
    return whole;
}

void DemoProgram::AddFrameSink(FrameSink* sink) {
    sinks_.push_back(sink);
    if (sink->WantsPixels()) pixels_.resize(static_cast<size_t>(display.width) * display.height * 3);
}

void DemoProgram::SetFrameTimeNs(int64_t ns) {
    if (virtualCounter_) virtualCounter_->Set(ns);
}

void DemoProgram::RewindTimeline() {
    Rewind();
    renderSystem->Rewind();
    RewindDemo();
    SetFrameTimeNs(0);
    clock.Update();
    clock.Restart();
}

void DemoProgram::StepFrame(bool draw) {
    GfxDevice& device = Device();
    clock.Update();
    localTime = static_cast<uint32_t>(clock.elapsedMs);
    if (draw) {
        device.SetViewport(WholeWindow());
        device.Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
    }
    Process(*this);
    if (draw) {
        renderSystem->RenderFrame();
    } else {
        renderSystem->SkipFrame();
    }
}

bool DemoProgram::HandFrameToSinks() {
    bool wanted = false;
    bool pixels = false;
    for (const FrameSink* sink : sinks_) {
        if (!sink->WantsFrame()) continue;
        wanted = true;
        pixels = pixels || sink->WantsPixels();
    }
    if (!wanted) return true;
    FramePicture frame;
    frame.index = frameCount_;
    frame.ms = localTime;
    frame.width = display.width;
    frame.height = display.height;
    if (pixels) {
        if (!Device().ReadBackBuffer(pixels_.data(), pixels_.size())) {
            Log(LogLevel::Error, "frame %llu: the back buffer could not be read",
                static_cast<unsigned long long>(frameCount_));
            return false;
        }
        frame.rgb = pixels_.data();
    }
    for (FrameSink* sink : sinks_) {
        if (!sink->WantsFrame()) continue;
        if (!sink->TakeFrame(frame, sinkError_)) {
            Log(LogLevel::Error, "%s", sinkError_.c_str());
            return false;
        }
    }
    return true;
}

bool DemoProgram::EndFrame(bool drawn) {
    DeviceWindow& deviceWindow = *display.deviceWindow;
    GfxDevice& device = *deviceWindow.device;
    device.EndScene();
    bool ok = true;
    if (drawn) {
        if (device.Present() == PresentResult::DeviceLost) deviceWindow.quitRequested = true;
        ok = HandFrameToSinks();
    }
    ++frameCount_;
    return ok;
}

bool DemoProgram::PlayFrames() {
    DeviceWindow& deviceWindow = *display.deviceWindow;
    const bool headless = config_.headless;
    uint32_t to = length;
    if (headless && config_.hasTo && config_.toMs < to) to = config_.toMs;

    while (active) {
        bool draw = true;
        if (config_.stopRequested && config_.stopRequested()) {
            interrupted_ = true;
            return false;
        }
        if (headless) {
            const uint32_t frameTime = config_.Grid().TimeOf(frameCount_);
            if (frameTime >= to) break;
            SetFrameTimeNs(FrameTimeNs(frameTime));
            draw = frameTime >= config_.fromMs;
        }
        if (!PumpMessages(deviceWindow)) break;
        StepFrame(draw);
        if (!EndFrame(draw)) return false;
    }
    return true;
}

void DemoProgram::Shutdown() {
    if (music.handle != 0) StreamStop(music.handle);
    SoundClose();
    SetSoundInitialised(false);
}

}  // namespace jolp
