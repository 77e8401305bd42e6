// dds_reader_fuzz.cpp - libFuzzer target for the DDS reader.
//
// Any input must be read or refused without a crash or an out-of-bounds
// read. A refusal must name the offset; an image that is read must be one the
// writer takes, and writing it then reading that again must give the same
// image and the same bytes.
#include "framework/dds_file.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    jolp::DdsImage image;
    std::string error;
    if (!jolp::ReadDds(bytes, "fuzz.dds", image, error)) {
        if (error.rfind("fuzz.dds: offset ", 0) != 0) std::abort();
        return 0;
    }
    std::string problem;
    if (!jolp::CheckDdsImage(image, problem)) std::abort();
    const std::vector<uint8_t> written = jolp::WriteDds(image);
    jolp::DdsImage again;
    if (!jolp::ReadDds(written, "written.dds", again, error)) std::abort();
    if (!(again == image)) std::abort();
    if (jolp::WriteDds(again) != written) std::abort();
    return 0;
}
