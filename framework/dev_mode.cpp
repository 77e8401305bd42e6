#include "framework/dev_mode.h"

#include "framework/demo_program.h"
#include "framework/png_file.h"
#include "platform/counter.h"
#include "platform/interrupt.h"
#include "platform/log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace jolp {
namespace {

// As in headless runs: frame times read half a microsecond late, so that
// truncating to milliseconds lands on the frame's own millisecond.
constexpr int64_t kNsPerMs = 1000000;
constexpr int64_t kBiasNs = 500;
// The music's position moves in steps of the sound buffer and starts late
// after every (re)start: the gap is measured only once it has settled.
constexpr int64_t kMusicSettleNs = 500 * kNsPerMs;

Counter& WallCounter(const RunConfig& config) {
    return config.counter ? *config.counter : PerformanceCounter::Instance();
}

}  // namespace

DevMode::DevMode(DemoProgram& program) : program_(program), wall_(WallCounter(program.Config())) {
    grid_.fpsNum = program.Config().fpsNum;
    grid_.fpsDen = program.Config().fpsDen;
}

DevMode::~DevMode() = default;

std::unique_ptr<DevMode> DevMode::Create(DemoProgram& program) {
    std::unique_ptr<DevMode> mode(new DevMode(program));
    std::string error;
    mode->overlay_ = DevOverlay::Create(program.Device(), error);
    if (!mode->overlay_) Log(LogLevel::Error, "dev: no overlay: %s", error.c_str());
    FileWatcher::Options options;
    options.suffixes = {".fx", ".glsl"};
    mode->watcher_ = FileWatcher::Open(program.DataFile(program.Config().watchFolder), options, error);
    if (!mode->watcher_) Log(LogLevel::Error, "dev: effect files are not reloaded: %s", error.c_str());
    mode->shotPixels_.resize(static_cast<size_t>(program.display.width) * program.display.height * 3);
    mode->shotPath_.reserve(program.Config().shotDir.size() + program.Config().name.size() + 64);
    mode->reloadMessages_.reserve(4096);
    return mode;
}

int64_t DevMode::WallToNs(int64_t ticks) const {
    const int64_t frequency = wall_.Frequency();
    return static_cast<int64_t>(static_cast<long double>(ticks) * 1e9L / static_cast<long double>(frequency));
}

void DevMode::ReplayTo(uint32_t ms) {
    DemoProgram& p = program_;
    GfxDevice& device = p.Device();
    p.Rewind();
    p.renderSystem->Rewind();
    p.RewindDemo();
    p.virtualCounter_->Set(0);
    p.clock.Update();
    p.clock.Restart();
    for (uint64_t n = 0;; ++n) {
        const uint32_t t = grid_.TimeOf(n);
        if (t >= ms) break;
        p.virtualCounter_->Set(static_cast<int64_t>(t) * kNsPerMs + kBiasNs);
        device.BeginScene();
        p.clock.Update();
        p.localTime = static_cast<uint32_t>(p.clock.elapsedMs);
        p.Process(p);
        p.renderSystem->SkipFrame();
        device.EndScene();
    }
}

void DevMode::ProcessFrame(int64_t ns) {
    DemoProgram& p = program_;
    p.virtualCounter_->Set(ns);
    p.clock.Update();
    p.localTime = static_cast<uint32_t>(p.clock.elapsedMs);
    shownMs_ = p.localTime;
    p.Process(p);
    p.renderSystem->RenderFrame();
}

void DevMode::Seek(uint32_t ms, int64_t wallNow) {
    seekPending_ = true;
    seekTarget_ = ms;
    if (!paused_) Resume(wallNow);
}

void DevMode::Resume(int64_t wallNow) {
    paused_ = false;
    baseMs_ = seekPending_ ? seekTarget_ : shownMs_;
    baseWall_ = wallNow;
    musicPlaying_ = program_.music.handle != 0 && StreamPlayFrom(program_.music.handle, baseMs_);
    musicSince_ = wallNow;
}

void DevMode::Pause() {
    paused_ = true;
    if (program_.music.handle != 0) StreamStop(program_.music.handle);
    musicPlaying_ = false;
}

void DevMode::HandleKey(const DevKeyPress& press, int64_t wallNow) {
    const uint32_t now = seekPending_ ? seekTarget_ : shownMs_;
    const DevCommand command = InterpretDevKey(press, now, paused_, lengthMs_, grid_);
    switch (command.kind) {
    case DevCommand::Kind::None: break;
    case DevCommand::Kind::TogglePause:
        if (paused_) {
            Resume(wallNow);
        } else {
            Pause();
        }
        Log(LogLevel::Info, "dev: %s at %.3f s", paused_ ? "paused" : "playing", now / 1000.0);
        break;
    case DevCommand::Kind::Seek:
        Seek(command.targetMs, wallNow);
        Log(LogLevel::Info, "dev: to %.3f s", command.targetMs / 1000.0);
        break;
    case DevCommand::Kind::ToggleLoop: {
        DemoProgram::ShotInfo shot;
        if (loop_) {
            loop_ = false;
            Log(LogLevel::Info, "dev: looping off");
        } else if (program_.DescribeShot(now, shot)) {
            loop_ = true;
            loopStartMs_ = shot.startMs;
            loopEndMs_ = shot.endMs;
            std::snprintf(loopCamera_, sizeof loopCamera_, "%s", shot.camera);
            Log(LogLevel::Info, "dev: looping %s, %.3f to %.3f s", loopCamera_, loopStartMs_ / 1000.0,
                         loopEndMs_ / 1000.0);
        }
        break;
    }
    case DevCommand::Kind::ToggleOverlay: overlayOn_ = !overlayOn_; break;
    case DevCommand::Kind::WriteShot: shotRequested_ = true; break;
    }
}

void DevMode::ReloadEffectsIfChanged() {
    if (!watcher_ || !watcher_->Poll()) return;
    if (program_.renderSystem->ReloadEffects(reloadMessages_)) {
        Log(LogLevel::Info, "dev: effect files reloaded");
    } else {
        Log(LogLevel::Error, "dev: an effect file does not compile; the last good one stays:\n%s",
                     reloadMessages_.c_str());
    }
}

void DevMode::WriteShot() {
    shotRequested_ = false;
    GfxDevice& device = program_.Device();
    if (!device.ReadBackBuffer(shotPixels_.data(), shotPixels_.size())) {
        Log(LogLevel::Error, "dev: the picture could not be read back");
        return;
    }
    char name[32];
    std::snprintf(name, sizeof name, "_shot_%06u.png", shownMs_);
    shotPath_.assign(program_.Config().shotDir);
    shotPath_.append("/");
    shotPath_.append(program_.Config().name);
    shotPath_.append(name);
    const int w = static_cast<int>(program_.display.width);
    const int h = static_cast<int>(program_.display.height);
    std::string error;
    if (WritePngFile(shotPath_, static_cast<uint32_t>(w), static_cast<uint32_t>(h), shotPixels_.data(), error)) {
        Log(LogLevel::Info, "dev: wrote %s", shotPath_.c_str());
    } else {
        Log(LogLevel::Error, "dev: %s", error.c_str());
    }
}

void DevMode::DrawOverlay(double frameMs) {
    if (!overlay_) return;
    overlay_->AddFrameTime(static_cast<float>(frameMs));
    if (!overlayOn_) return;
    DemoProgram& p = program_;
    DemoProgram::ShotInfo shot;
    char shotLine[160] = "no shot";
    if (p.DescribeShot(shownMs_, shot)) {
        std::snprintf(shotLine, sizeof shotLine, "shot %u of %u: %s (%.1f to %.1f s)", shot.index + 1, shot.count,
                      shot.camera, shot.startMs / 1000.0, shot.endMs / 1000.0);
    }
    p.DescribeFrame(demoLine_, sizeof demoLine_);
    char state[64] = "";
    if (paused_ || loop_) {
        std::snprintf(state, sizeof state, "%s%s%s", paused_ ? "paused" : "", paused_ && loop_ ? ", " : "",
                      loop_ ? "looping the shot" : "");
    }
    std::snprintf(text_, sizeof text_,
                  "%8.3f s of %.3f s  %s\n%s\nframe %.1f ms  draw calls %u  lights %u\n%s\n"
                  "Space pause  Left/Right 5 s (Shift 1 s, Ctrl 1 frame)  L loop  Home  O  F12",
                  shownMs_ / 1000.0, lengthMs_ / 1000.0, state, shotLine, frameMs, p.Device().DrawCallCount(),
                  p.renderSystem->LastFrameLights(), demoLine_);
    overlay_->SetText(text_);
    overlay_->Draw(p.display.width, p.display.height);
}

void DevMode::MeasureMusicGap(int64_t wallNow, int64_t playNs) {
    if (paused_ || !musicPlaying_ || WallToNs(wallNow - musicSince_) < kMusicSettleNs) return;
    const uint32_t music = StreamGetTime(program_.music.handle);
    if (music == 0 || music >= lengthMs_) return;
    const double gap = std::fabs(static_cast<double>(playNs) / 1e6 - static_cast<double>(music));
    largestGapMs_ = std::max(largestGapMs_, gap);
    ++gapFrames_;
}

bool DevMode::Run() {
    DemoProgram& p = program_;
    DeviceWindow& deviceWindow = *p.display.deviceWindow;
    GfxDevice& device = *deviceWindow.device;
    lengthMs_ = p.length;
    const uint32_t lastMs = lengthMs_ > 0 ? grid_.TimeOf(grid_.FrameAtOrBefore(lengthMs_ - 1)) : 0;

    const Viewport whole = p.WholeWindow();

    DevKeyPresses keys;
    int64_t wallNow = wall_.Now();
    seekPending_ = true;
    seekTarget_ = std::min(p.Config().startMs, lastMs);
    Resume(wallNow);
    lastFrameWall_ = wallNow;
    bool ok = true;
    while (true) {
        keys.count = 0;
        if (InterruptRequested()) {
            Log(LogLevel::Error, "interrupted");
            ok = false;
            break;
        }
        if (!PumpMessages(deviceWindow, &keys)) break;
        if (DevKeyScript* script = p.Config().devKeys; script && !script->Press(shownMs_, paused_, keys)) {
            device.EndScene();
            break;
        }
        wallNow = wall_.Now();
        for (int i = 0; i < keys.count; ++i) HandleKey(keys.presses[i], wallNow);
        ReloadEffectsIfChanged();

        int64_t playNs = 0;
        bool advance = true;
        if (!seekPending_ && !paused_) {
            playNs = static_cast<int64_t>(baseMs_) * kNsPerMs + WallToNs(wallNow - baseWall_) + kBiasNs;
            const int64_t endNs = static_cast<int64_t>(loop_ ? std::min(loopEndMs_, lengthMs_) : lengthMs_) * kNsPerMs;
            if (playNs >= endNs) {
                if (loop_) {
                    Seek(loopStartMs_, wallNow);
                } else {
                    // Held on the last frame: Home or a seek plays on.
                    seekPending_ = true;
                    seekTarget_ = lastMs;
                    Pause();
                }
            }
        }
        if (seekPending_) {
            ReplayTo(seekTarget_);
            playNs = static_cast<int64_t>(seekTarget_) * kNsPerMs + kBiasNs;
            seekPending_ = false;
        } else if (paused_) {
            advance = false;
        }

        device.SetViewport(whole);
        device.Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
        if (advance) {
            ProcessFrame(playNs);
        } else {
            p.renderSystem->RedrawLastFrame();
        }
        if (shotRequested_) WriteShot();
        const double frameMs = static_cast<double>(WallToNs(wallNow - lastFrameWall_)) / 1e6;
        lastFrameWall_ = wallNow;
        DrawOverlay(frameMs);
        device.EndScene();
        if (device.Present() == PresentResult::DeviceLost) {
            deviceWindow.quitRequested = true;
            ok = false;
        }
        if (advance) MeasureMusicGap(wallNow, playNs);
        ++p.frameCount_;
    }
    if (gapFrames_ > 0) {
        Log(LogLevel::Info, "dev: the frame clock and the music's play position were at most %.1f ms apart "
                     "(%llu frames measured)",
                     largestGapMs_, static_cast<unsigned long long>(gapFrames_));
    } else {
        Log(LogLevel::Info, "dev: the music never played long enough to measure the frame clock against");
    }
    return ok;
}

}  // namespace jolp
