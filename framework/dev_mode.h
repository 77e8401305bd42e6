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
// The program owns the mode; the mode owns its overlay, its file watcher and
// its buffers, all made in Create: a frame allocates nothing (a reload does).
#pragma once

#include "framework/dev_keys.h"
#include "framework/dev_overlay.h"
#include "framework/file_watcher.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

class Counter;
class DemoProgram;

class DevMode {
public:
    // The overlay, the watcher of shaders/ and the buffers. A part that
    // cannot be made is left out with a warning; the mode still runs.
    static std::unique_ptr<DevMode> Create(DemoProgram& program);
    ~DevMode();

    // Plays from the configured start until Escape or the window closes.
    // False when the device was lost.
    bool Run();

    // Root time of the frame drawn last, and whether the picture is held.
    uint32_t ShownMs() const { return shownMs_; }
    bool Paused() const { return paused_; }
    // The largest gap between the frame clock and the music measured so
    // far, in milliseconds, and over how many frames.
    double LargestMusicGapMs() const { return largestGapMs_; }
    uint64_t MusicGapFrames() const { return gapFrames_; }

private:
    explicit DevMode(DemoProgram& program);

    // Rewinds the timeline and runs every grid frame before ms without
    // drawing; the next frame processed is ms itself.
    void ReplayTo(uint32_t ms);
    // One frame of the timeline at root time ns (nanoseconds), drawn.
    void ProcessFrame(int64_t ns);
    void Seek(uint32_t ms, int64_t wallNow);
    void Resume(int64_t wallNow);
    void Pause();
    void HandleKey(const DevKeyPress& press, int64_t wallNow);
    void ReloadEffectsIfChanged();
    void DrawOverlay(double frameMs);
    void WriteShot();
    void MeasureMusicGap(int64_t wallNow, int64_t playNs);
    int64_t WallToNs(int64_t ticks) const;

    DemoProgram& program_;
    Counter& wall_;
    DevFrameGrid grid_;
    uint32_t lengthMs_ = 0;

    std::unique_ptr<DevOverlay> overlay_;
    std::unique_ptr<FileWatcher> watcher_;
    std::string reloadMessages_;
    std::vector<uint8_t> shotPixels_;
    std::string shotPath_;
    char text_[1024] = {};
    char demoLine_[256] = {};

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
