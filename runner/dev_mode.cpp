#include "runner/dev_mode.h"

#include "framework/demo_program.h"
#include "platform/counter.h"
#include "platform/log.h"
#include "runner/png_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace jolp {
namespace {

// The music's position moves in steps of the sound buffer and starts late
// after every (re)start: the gap is measured only once it has settled.
constexpr int64_t kMusicSettleNs = 500 * kNsPerMs;

Counter& WallCounter(const RunConfig& config) {
    return config.counter ? *config.counter : PerformanceCounter::Instance();
}

}  // namespace

DevMode::DevMode(DevSettings settings) : settings_(std::move(settings)) {}

DevMode::~DevMode() = default;

bool DevMode::Start(DemoProgram& program) {
    program_ = &program;
    wall_ = &WallCounter(program.Config());
    grid_ = program.Config().Grid();
    std::string error;
    overlay_ = DevOverlay::Create(program.Device(), error);
    if (!overlay_) Log(LogLevel::Error, "dev: no overlay: %s", error.c_str());
    FileWatcher::Options options;
    options.suffixes = {".fx", ".glsl"};
    watcher_ = FileWatcher::Open(program.DataFile(settings_.watchFolder), options, error);
    if (!watcher_) Log(LogLevel::Error, "dev: effect files are not reloaded: %s", error.c_str());
    shotPath_.reserve(settings_.shotDir.size() + program.Config().name.size() + 64);
    reloadMessages_.reserve(4096);
    program.AddFrameSink(&shotSink_);
    return true;
}

int64_t DevMode::WallToNs(int64_t ticks) const {
    const int64_t frequency = wall_->Frequency();
    return static_cast<int64_t>(static_cast<long double>(ticks) * 1e9L / static_cast<long double>(frequency));
}

void DevMode::ReplayTo(uint32_t ms) {
    DemoProgram& p = *program_;
    GfxDevice& device = p.Device();
    p.RewindTimeline();
    for (uint64_t n = 0;; ++n) {
        const uint32_t t = grid_.TimeOf(n);
        if (t >= ms) break;
        p.SetFrameTimeNs(FrameTimeNs(t));
        device.BeginScene();
        p.StepFrame(false);
        device.EndScene();
    }
}

void DevMode::ProcessFrame(int64_t ns) {
    DemoProgram& p = *program_;
    p.SetFrameTimeNs(ns);
    p.StepFrame(true);
    shownMs_ = p.localTime;
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
    musicPlaying_ = program_->music.handle != 0 && StreamPlayFrom(program_->music.handle, baseMs_);
    musicSince_ = wallNow;
}

void DevMode::Pause() {
    paused_ = true;
    if (program_->music.handle != 0) StreamStop(program_->music.handle);
    musicPlaying_ = false;
}

void DevMode::HandleKey(const KeyPress& press, int64_t wallNow) {
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
        DemoProgram::PartInfo part;
        if (loop_) {
            loop_ = false;
            Log(LogLevel::Info, "dev: looping off");
        } else if (program_->DescribePart(now, part)) {
            loop_ = true;
            loopStartMs_ = part.startMs;
            loopEndMs_ = part.endMs;
            std::snprintf(loopCamera_, sizeof loopCamera_, "%s", part.name);
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
    if (program_->renderSystem->ReloadEffects(reloadMessages_)) {
        Log(LogLevel::Info, "dev: effect files reloaded");
    } else {
        Log(LogLevel::Error, "dev: an effect file does not compile; the last good one stays:\n%s",
                     reloadMessages_.c_str());
    }
}

bool DevMode::ShotSink::TakeFrame(const FramePicture& frame, std::string&) {
    DevMode& m = mode_;
    m.shotRequested_ = false;
    char name[32];
    std::snprintf(name, sizeof name, "_shot_%06u.png", m.shownMs_);
    m.shotPath_.assign(m.settings_.shotDir);
    m.shotPath_.append("/");
    m.shotPath_.append(m.program_->Config().name);
    m.shotPath_.append(name);
    // A picture that cannot be written is said, and the session goes on.
    std::string error;
    if (WritePngFile(m.shotPath_, frame.width, frame.height, frame.rgb, error)) {
        Log(LogLevel::Info, "dev: wrote %s", m.shotPath_.c_str());
    } else {
        Log(LogLevel::Error, "dev: %s", error.c_str());
    }
    return true;
}

void DevMode::DrawOverlay(double frameMs) {
    if (!overlay_) return;
    overlay_->AddFrameTime(static_cast<float>(frameMs));
    DemoProgram& p = *program_;
    // The passes are timed while the overlay shows them.
    if (p.renderSystem && timingPasses_ != overlayOn_) {
        p.renderSystem->TimePasses(overlayOn_);
        timingPasses_ = overlayOn_;
    }
    if (!overlayOn_) return;
    passLines_[0] = '\0';
    if (p.renderSystem) p.renderSystem->DescribePassTimes(passLines_, sizeof passLines_);
    DemoProgram::PartInfo part;
    char shotLine[160] = "";
    if (p.DescribePart(shownMs_, part)) {
        std::snprintf(shotLine, sizeof shotLine, "%s %u of %u: %s (%.1f to %.1f s)", part.kind, part.index + 1,
                      part.count, part.name, part.startMs / 1000.0, part.endMs / 1000.0);
    }
    p.DescribeFrame(demoLine_, sizeof demoLine_);
    char state[64] = "";
    if (paused_ || loop_) {
        std::snprintf(state, sizeof state, "%s%s%s", paused_ ? "paused" : "", paused_ && loop_ ? ", " : "",
                      loop_ ? "looping" : "");
    }
    std::snprintf(text_, sizeof text_,
                  "%8.3f s of %.3f s  %s\n%s\nframe %.1f ms  draw calls %u  %s\n%s%s"
                  "Space pause  Left/Right 5 s (Shift 1 s, Ctrl 1 frame)  L loop  Home  O  F12",
                  shownMs_ / 1000.0, lengthMs_ / 1000.0, state, shotLine, frameMs, p.Device().DrawCallCount(),
                  demoLine_, passLines_, passLines_[0] ? "\n" : "");
    overlay_->SetText(text_);
    overlay_->Draw(p.display.width, p.display.height);
}

void DevMode::MeasureMusicGap(int64_t wallNow, int64_t playNs) {
    if (paused_ || !musicPlaying_ || WallToNs(wallNow - musicSince_) < kMusicSettleNs) return;
    const uint32_t music = StreamGetTime(program_->music.handle);
    if (music == 0 || music >= lengthMs_) return;
    const double gap = std::fabs(static_cast<double>(playNs) / 1e6 - static_cast<double>(music));
    largestGapMs_ = std::max(largestGapMs_, gap);
    ++gapFrames_;
}

bool DevMode::Play(DemoProgram& program) {
    DemoProgram& p = program;
    DeviceWindow& deviceWindow = *p.display.deviceWindow;
    GfxDevice& device = *deviceWindow.device;
    lengthMs_ = p.length;
    const uint32_t lastMs = lengthMs_ > 0 ? grid_.TimeOf(grid_.LastFrameAtOrBefore(lengthMs_ - 1)) : 0;

    const Viewport whole = p.WholeWindow();

    KeyPresses keys;
    int64_t wallNow = wall_->Now();
    seekPending_ = true;
    seekTarget_ = std::min(settings_.startMs, lastMs);
    Resume(wallNow);
    lastFrameWall_ = wallNow;
    bool ok = true;
    while (true) {
        // Keys held over from the last frame come first.
        keys = carried_;
        carried_.count = 0;
        if (p.Config().stopRequested && p.Config().stopRequested()) {
            Log(LogLevel::Error, "interrupted");
            ok = false;
            break;
        }
        if (!PumpMessages(deviceWindow, &keys)) break;
        if (DevKeyScript* script = settings_.keys; script && !script->Press(shownMs_, paused_, keys)) {
            device.EndScene();
            break;
        }
        wallNow = wall_->Now();
        for (int i = 0; i < keys.count; ++i) {
            HandleKey(keys.presses[i], wallNow);
            // F12 takes the picture the keys before it made: the keys after
            // it wait for the next frame.
            if (shotRequested_) {
                for (int k = i + 1; k < keys.count; ++k) carried_.presses[carried_.count++] = keys.presses[k];
                break;
            }
        }
        ReloadEffectsIfChanged();

        int64_t playNs = 0;
        bool advance = true;
        if (!seekPending_ && !paused_) {
            playNs = FrameTimeNs(baseMs_) + WallToNs(wallNow - baseWall_);
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
            playNs = FrameTimeNs(seekTarget_);
            seekPending_ = false;
        } else if (paused_) {
            advance = false;
        }

        if (advance) {
            ProcessFrame(playNs);
        } else {
            device.SetViewport(whole);
            device.Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
            p.renderSystem->RedrawLastFrame();
        }
        // F12's picture, without the overlay.
        if (shotRequested_) p.HandFrameToSinks();
        const double frameMs = static_cast<double>(WallToNs(wallNow - lastFrameWall_)) / 1e6;
        lastFrameWall_ = wallNow;
        DrawOverlay(frameMs);
        if (!p.EndFrame(true)) ok = false;
        if (advance) MeasureMusicGap(wallNow, playNs);
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
