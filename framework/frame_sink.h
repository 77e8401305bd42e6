// frame_sink.h - FrameSink: where a drawn frame goes besides the screen.
//
// A run may write its frames as PNG files, encode them as a video, count
// them on a progress line, or keep one picture on request. Each of those is
// a sink the program is given (DemoProgram::AddFrameSink). After each drawn
// frame the program asks every sink whether it wants the frame; when any of
// them wants the pixels it reads the back buffer once, into a buffer made
// when the sink was added, and hands the same picture to each.
#pragma once

#include <cstdint>
#include <string>

namespace jolp {

// A drawn frame: its index among the frames the loop ran (drawn or not,
// from 0), its root time, and its picture, width x height pixels of 3 bytes
// (R, G, B), rows top to bottom; rgb is null for a sink that asked for no
// pixels while no other sink did.
struct FramePicture {
    uint64_t index = 0;
    uint32_t ms = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    const uint8_t* rgb = nullptr;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Whether the frame just drawn is wanted at all, and with its pixels.
    virtual bool WantsFrame() const { return true; }
    virtual bool WantsPixels() const { return true; }
    // Takes the frame; nothing may be allocated here in a steady run.
    // False, with why in error, ends the run (the program logs it).
    virtual bool TakeFrame(const FramePicture& frame, std::string& error) = 0;
};

}  // namespace jolp
