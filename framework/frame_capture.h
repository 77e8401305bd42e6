// frame_capture.h - FrameCapture, the writer of headless frames: each drawn
// frame is read back from the device and written as DIR/frame_NNNNNN.png
// (N the frame's index from 0).
//
// The pixel buffer is allocated once, at creation.
#pragma once

#include "platform/gfx_device.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jolp {

class FrameCapture {
public:
    // Creates dir when missing. Null, with the reason, when it cannot be made
    // or written to.
    static std::unique_ptr<FrameCapture> Create(const std::string& dir, uint32_t width, uint32_t height,
                                                std::string& error);

    // Reads the back buffer and writes frame index's file. False, with the
    // frame, the file and the system's reason, when reading or writing
    // failed; a file that could not be written whole is removed.
    bool Write(uint64_t index, GfxDevice& device, std::string& error);

    uint64_t Written() const { return written_; }

    // The file name of frame index ("frame_000042.png").
    static std::string FileName(uint64_t index);

private:
    FrameCapture() = default;
    std::string dir_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint64_t written_ = 0;
    std::vector<uint8_t> pixels_;
    std::vector<char> path_;
};

}  // namespace jolp
