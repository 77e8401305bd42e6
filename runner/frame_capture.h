// frame_capture.h - FrameCapture, the sink that writes each drawn frame as
// DIR/frame_NNNNNN.png (N the frame's index from 0).
//
// The file is encoded and written by a thread of its own while the next
// frame is drawn: TakeFrame copies the pixels and hands them over, after
// waiting for the frame before to be written. A frame that could not be
// written whole (its file removed) is reported by the TakeFrame that
// follows it, or by Finish for the last one, so the run stops with that
// frame's error and writes nothing after it.
//
// The file name's buffer is made at creation, the pixels' on the first
// frame; a steady capture allocates nothing.
#pragma once

#include "framework/frame_sink.h"
#include "platform/file_write.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace jolp {

class FrameCapture final : public FrameSink {
public:
    // Creates dir when missing. Null, with the reason, when it cannot be made
    // or written to.
    static std::unique_ptr<FrameCapture> Create(const std::string& dir, std::string& error);
    // Waits for the frame being written.
    ~FrameCapture() override;

    // Hands the frame's file to the writer. False, with the frame, the file
    // and the system's reason, when the frame before could not be written.
    bool TakeFrame(const FramePicture& frame, std::string& error) override;
    // Waits for the last frame to be written; false, with its error, when
    // it could not be (an error TakeFrame already gave is not given again).
    bool Finish(std::string& error);

    // Frames written whole so far.
    uint64_t Written() const;

    // The file name of frame index ("frame_000042.png").
    static std::string FileName(uint64_t index);

private:
    FrameCapture() = default;
    void WriteFrames();

    std::string dir_;
    std::vector<char> path_;
    std::vector<uint8_t> pixels_;
    OutputFile file_;  // the writer's, reused for every frame
    FramePicture pending_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool hasFrame_ = false;  // pending_ waits for the writer, or is being written
    bool stop_ = false;
    bool failed_ = false;
    bool reported_ = false;
    std::string failure_;
    uint64_t written_ = 0;
    std::thread writer_;
};

}  // namespace jolp
