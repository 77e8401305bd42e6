// frame_capture.h - FrameCapture, the sink that writes each drawn frame as
// DIR/frame_NNNNNN.png (N the frame's index from 0).
//
// The file name's buffer is made once, at creation.
#pragma once

#include "framework/frame_sink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

class FrameCapture final : public FrameSink {
public:
    // Creates dir when missing. Null, with the reason, when it cannot be made
    // or written to.
    static std::unique_ptr<FrameCapture> Create(const std::string& dir, std::string& error);

    // Writes the frame's file. False, with the frame, the file and the
    // system's reason, when writing failed; a file that could not be written
    // whole is removed.
    bool TakeFrame(const FramePicture& frame, std::string& error) override;

    uint64_t Written() const { return written_; }

    // The file name of frame index ("frame_000042.png").
    static std::string FileName(uint64_t index);

private:
    FrameCapture() = default;
    std::string dir_;
    uint64_t written_ = 0;
    std::vector<char> path_;
};

}  // namespace jolp
