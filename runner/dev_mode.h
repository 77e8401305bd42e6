// dev_mode.h - DevMode, the authoring mode of a demo program (--dev): the
// main loop that lets the person writing the demo pause, seek, step, loop a
// shot, reload the effect files while it plays and read the timing overlay.
//
// Time: the picture is drawn at a root time the mode keeps itself, from the
// machine's counter while playing, held while paused. The program's clock is
// fed that time through its virtual counter, so the tracks see the same
// clock as in any run. A seek (and --start) plays the timeline again from 0
// without drawing, on the frame grid of a capture (--fps), so the picture
// after a seek is the picture a capture writes at that time; the music is
// restarted at the same place.
//
// The keys are those of dev_keys.h. At the end of a run the largest gap seen
// between the frame clock and the music's play position is printed.
//
// The mode is the program's play driver (RunConfig::driver, with a stepped
// clock); it owns its overlay, its file watcher and its buffers, all made in
// Start: a frame allocates nothing (a reload does). F12's picture is taken
// through the program's frame sinks, before the overlay is drawn.
#pragma once

#include "framework/frame_sink.h"
#include "framework/play_driver.h"
#include "runner/dev_keys.h"
#include "runner/dev_overlay.h"
#include "runner/file_watcher.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

class Counter;
class DemoProgram;

struct DevSettings {
    // Root time the mode starts at (--start).
    uint32_t startMs = 0;
    // Where F12 writes NAME_shot_MS.png, NAME the demo's name.
    std::string shotDir = ".";
    // The folder of the data folder whose effect files are watched.
    std::string watchFolder = "shaders";
    // Keys besides the window's; null: none. Tests script a session with
    // it, and may run it headless.
    DevKeyScript* keys = nullptr;
};

class DevMode final : public PlayDriver {
public:
    explicit DevMode(DevSettings settings);
    ~DevMode() override;

    // The mode starts and stops the music with the picture.
    bool OwnsMusic() const override { return true; }
    // The overlay, the watcher and the buffers. A part that cannot be made
    // is left out with a warning; the mode still runs.
    bool Start(DemoProgram& program) override;
    // Plays from the configured start until Escape or the window closes.
    // False when the device was lost or the play was interrupted.
    bool Play(DemoProgram& program) override;

    // Root time of the frame drawn last, and whether the picture is held.
    uint32_t ShownMs() const { return shownMs_; }
    bool Paused() const { return paused_; }
    // The largest gap between the frame clock and the music measured so
    // far, in milliseconds, and over how many frames.
    double LargestMusicGapMs() const { return largestGapMs_; }
    uint64_t MusicGapFrames() const { return gapFrames_; }

private:
    // F12's picture: wanted only in the frame it was asked for.
    class ShotSink final : public FrameSink {
    public:
        explicit ShotSink(DevMode& mode) : mode_(mode) {}
        bool WantsFrame() const override { return mode_.shotRequested_; }
        bool TakeFrame(const FramePicture& frame, std::string& error) override;

    private:
        DevMode& mode_;
    };

    // Rewinds the timeline and runs every grid frame before ms without
    // drawing; the next frame processed is ms itself.
    void ReplayTo(uint32_t ms);
    // One frame of the timeline at root time ns (nanoseconds), drawn.
    void ProcessFrame(int64_t ns);
    void Seek(uint32_t ms, int64_t wallNow);
    void Resume(int64_t wallNow);
    void Pause();
    void HandleKey(const KeyPress& press, int64_t wallNow);
    void ReloadEffectsIfChanged();
    void DrawOverlay(double frameMs);
    void MeasureMusicGap(int64_t wallNow, int64_t playNs);
    int64_t WallToNs(int64_t ticks) const;

    DevSettings settings_;
    DemoProgram* program_ = nullptr;
    Counter* wall_ = nullptr;
    ShotSink shotSink_{*this};
    FrameGrid grid_;
    uint32_t lengthMs_ = 0;

    std::unique_ptr<DevOverlay> overlay_;
    std::unique_ptr<FileWatcher> watcher_;
    std::string reloadMessages_;
    std::string shotPath_;
    KeyPresses carried_;  // keys that came after an F12 in the same frame
    char text_[2048] = {};
    char demoLine_[256] = {};
    char passLines_[1024] = {};  // the render system's pass times
    bool timingPasses_ = false;

    bool paused_ = false;
    bool overlayOn_ = true;
    bool shotRequested_ = false;
    bool seekPending_ = false;
    uint32_t seekTarget_ = 0;
    bool loop_ = false;
    uint32_t loopStartMs_ = 0;
    uint32_t loopEndMs_ = 0;
    char loopCamera_[64] = {};

    uint32_t shownMs_ = 0;
    // Playing: root time baseMs_ at wall reading baseWall_.
    uint32_t baseMs_ = 0;
    int64_t baseWall_ = 0;
    int64_t lastFrameWall_ = 0;
    int64_t musicSince_ = 0;  // wall reading the music last (re)started at
    bool musicPlaying_ = false;

    double largestGapMs_ = 0.0;
    uint64_t gapFrames_ = 0;
};

}  // namespace jolp
