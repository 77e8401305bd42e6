#include "framework/demo_program.h"

#include "framework/capture_progress.h"
#include "framework/dev_mode.h"
#include "framework/frame_capture.h"
#include "framework/video_encoder.h"
#include "platform/interrupt.h"
#include "platform/log.h"
#include "platform/message_box.h"

#include <SDL2/SDL_timer.h>

#include <cstdio>
#include <filesystem>
#include <numeric>

namespace jolp {
namespace {

// Headless frames tick a virtual counter in nanoseconds. Frame N reads
// its root time plus half a microsecond, so that truncating to whole
// milliseconds always lands on the frame's own millisecond, whatever the
// rounding of the division.
constexpr int64_t kVirtualFrequency = 1000000000;
constexpr int64_t kVirtualBias = 500;

constexpr uint32_t kNoMusicLength = 0xFFFFFFFFu;
constexpr uint64_t kMusicStartTimeoutMs = 2000;

// First headless frame whose root time is at least ms.
uint64_t FirstFrameAtOrAfter(uint32_t ms, const RunConfig& config) {
    const uint64_t num = static_cast<uint64_t>(ms) * config.fpsNum;
    const uint64_t den = 1000u * static_cast<uint64_t>(config.fpsDen);
    return (num + den - 1) / den;
}

Counter& ChooseCounter(std::unique_ptr<VirtualCounter>& virtualCounter, const RunConfig& config) {
    // The authoring mode keeps its own time and feeds it to the clock.
    if (!config.headless && !config.dev) return config.counter ? *config.counter : PerformanceCounter::Instance();
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
    // The derived demo has released its own objects by now; what was made on
    // the device goes before the device.
    dev_.reset();
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
    renderSystem = std::move(renderSystemWorker->result);
    renderSystemWorker.reset();
    if (!renderSystem) return false;
    QueueWorkers(*workers);
    workers->RunAll();
    return BuildTimeline();
}

void DemoProgram::WaitForMusic() {
    // Time 0 of the demo is the moment the music is heard, not the moment
    // it was asked to play; a device that never starts must not hang us.
    const uint64_t begin = SDL_GetTicks64();
    while (StreamGetTime(music.handle) == 0) {
        if (SDL_GetTicks64() - begin > kMusicStartTimeoutMs) {
            Log(LogLevel::Error, "the music did not start within %llu ms; starting without it",
                         static_cast<unsigned long long>(kMusicStartTimeoutMs));
            return;
        }
    }
}

bool DemoProgram::Run(const std::string& musicPath) { return Prepare(musicPath) && Play(musicPath); }

bool DemoProgram::Play(const std::string& musicPath) {
    length = music.handle != 0 ? StreamGetLengthMs(music.handle) : kNoMusicLength;
    end = start + length;

    if (config_.headless && music.handle == 0 && !config_.hasTo) {
        Log(LogLevel::Error, "%s could not be opened, so the demo has no length: give --to",
                     musicPath.c_str());
        Shutdown();
        return false;
    }
    if (music.handle == 0 && (!config_.headless || config_.videoPath.empty())) {
        Log(LogLevel::Warning, "%s could not be opened; the demo runs silently%s",
                     musicPath.c_str(), config_.headless ? "" : " until Escape is pressed");
    }
    if (!config_.headless && !config_.dev && music.handle != 0) {
        musicChannel = StreamPlay(-1, music.handle);
        if (musicChannel >= 0) {
            WaitForMusic();
        } else {
            Log(LogLevel::Error, "%s cannot be played; running silently", musicPath.c_str());
        }
    }

    // From here on Ctrl+C ends the run between frames, so that the music is
    // stopped and nothing half-written stays behind (interrupt.h).
    InstallInterruptHandler();
    SetInterruptsDeferred(true);
    if (config_.headless && !StartCapture(musicPath)) {
        Shutdown();
        return false;
    }

    if (config_.dev) dev_ = DevMode::Create(*this);

    clock.Update();
    clock.Restart();
    bool ok = dev_ ? dev_->Run() : MainLoop();
    if (progress_) progress_->Finish(SDL_GetTicks64());
    if (ok && video_) {
        std::string error;
        ok = video_->Finish(error);
        if (ok) {
            Log(LogLevel::Info, "wrote %s", config_.videoPath.c_str());
        } else {
            Log(LogLevel::Error, "%s", error.c_str());
        }
    }
    if (video_) video_.reset();  // aborts an unfinished video: its file is removed
    Shutdown();
    SetInterruptsDeferred(false);
    return ok;
}

bool DemoProgram::StartCapture(const std::string& musicPath) {
    if (config_.captureDir.empty() && config_.videoPath.empty()) return true;
    uint32_t to = length;
    if (config_.hasTo && config_.toMs < to) to = config_.toMs;
    const uint64_t first = FirstFrameAtOrAfter(config_.fromMs, config_);
    const uint64_t last = FirstFrameAtOrAfter(to, config_);
    const uint64_t frames = last > first ? last - first : 0;
    std::string error;
    if (!config_.captureDir.empty()) {
        capture_ = FrameCapture::Create(config_.captureDir, display.width, display.height, error);
        if (!capture_) {
            Log(LogLevel::Error, "%s", error.c_str());
            return false;
        }
    }
    if (!config_.videoPath.empty()) {
        VideoSettings settings;
        settings.path = config_.videoPath;
        settings.width = display.width;
        settings.height = display.height;
        settings.fpsNum = config_.fpsNum;
        settings.fpsDen = config_.fpsDen;
        settings.firstFrame = first;
        settings.frameCount = frames;
        settings.crf = config_.videoCrf;
        settings.preset = config_.videoPreset;
        std::error_code ec;
        if (music.handle != 0) {
            settings.musicPath = std::filesystem::absolute(musicPath, ec).string();
        } else {
            Log(LogLevel::Warning, "%s could not be opened; the video has no sound",
                         musicPath.c_str());
        }
        video_ = VideoEncoder::Create(settings, error);
        if (!video_) {
            Log(LogLevel::Error, "%s", error.c_str());
            return false;
        }
    }
    if (frames == 0) {
        Log(LogLevel::Warning, "no frame lies in the span asked for; nothing is captured");
    }
    progress_ = std::make_unique<CaptureProgress>(frames, CaptureProgress::StderrIsTerminal(), SDL_GetTicks64());
    return true;
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

bool DemoProgram::MainLoop() {
    DeviceWindow& deviceWindow = *display.deviceWindow;
    GfxDevice& device = *deviceWindow.device;
    const bool headless = config_.headless;
    uint32_t to = length;
    if (headless && config_.hasTo && config_.toMs < to) to = config_.toMs;

    const Viewport whole = WholeWindow();

    std::string error;
    while (active) {
        bool draw = true;
        if (InterruptRequested()) {
            if (headless) {
                if (progress_) progress_->BreakLine();
                Log(LogLevel::Error, "interrupted; the capture stops here%s",
                             video_ ? " and the unfinished video is removed" : "");
            } else {
                Log(LogLevel::Error, "interrupted");
            }
            return false;
        }
        if (headless) {
            const uint32_t frameTime = HeadlessFrameTimeMs(frameCount_, config_);
            if (frameTime >= to) break;
            virtualCounter_->Set(static_cast<int64_t>(frameTime) * 1000000 + kVirtualBias);
            draw = frameTime >= config_.fromMs;
        }
        if (!PumpMessages(deviceWindow)) break;
        clock.Update();
        localTime = static_cast<uint32_t>(clock.elapsedMs);
        if (draw) {
            device.SetViewport(whole);
            device.Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
        }
        Process(*this);
        if (draw) {
            renderSystem->RenderFrame();
        } else {
            renderSystem->SkipFrame();
        }
        device.EndScene();
        if (draw) {
            if (device.Present() == PresentResult::DeviceLost) deviceWindow.quitRequested = true;
            if (capture_ && !capture_->Write(frameCount_, device, error)) {
                Log(LogLevel::Error, "%s", error.c_str());
                return false;
            }
            if (video_ && !video_->Submit(device, error)) {
                Log(LogLevel::Error, "%s", error.c_str());
                return false;
            }
            if (progress_) progress_->FrameDone(SDL_GetTicks64());
        }
        ++frameCount_;
    }
    return true;
}

void DemoProgram::Shutdown() {
    if (music.handle != 0) StreamStop(music.handle);
    SoundClose();
    SetSoundInitialised(false);
}

}  // namespace jolp
