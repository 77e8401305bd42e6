// texture_loader_fuzz.cpp - libFuzzer target for the texture loader: the
// bytes of an image file through Texture2D::LoadFromMemory or
// TextureCube::LoadFromMemory, the code Load runs on a file's contents, into
// the recording device (whose Upload takes only the exact size of a level).
//
// The first byte picks the entry point (even: 2D, odd: cube); the rest is
// the file. The loader tells JPEG, PNG, TGA and DDS apart by content, so
// one target covers every kind. Any input must be loaded or refused with a
// message naming the file, never crash; a refusal must never be the device
// turning down a size or an upload the loader asked for (that would be the
// loader and the device disagreeing about an image), and a texture that is
// loaded must hold every level it claims.
#include "framework/texture.h"
#include "tests/support/recording_device.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

namespace {

using jolp::testing::RecordingCubeTexture;
using jolp::testing::RecordingDevice;
using jolp::testing::RecordingTexture;

const std::string kName = "fuzz.img";

void CheckRefusal(const std::string& error) {
    if (error.rfind(kName + ": ", 0) != 0) std::abort();
    if (error.find("could not be uploaded") != std::string::npos) std::abort();
    if (error.find("the device refused") != std::string::npos) std::abort();
}

bool InRange(uint32_t edge) { return edge >= 1 && edge <= 16384; }

void Check2D(std::span<const uint8_t> file, RecordingDevice& device) {
    std::string error;
    auto texture = jolp::Texture2D::LoadFromMemory(file, kName, device, error);
    if (!texture) {
        CheckRefusal(error);
        return;
    }
    auto* made = dynamic_cast<RecordingTexture*>(texture->Get());
    if (!made || !InRange(made->width) || !InRange(made->height)) std::abort();
    // JPEG, PNG and TGA images bring level 0 and have the rest generated;
    // DDS files bring every level.
    const uint32_t uploaded = made->mipGenerations > 0 ? 1 : made->LevelCount();
    for (uint32_t level = 0; level < uploaded; ++level) {
        const size_t expected = jolp::ImageByteSize(made->format, jolp::MipExtent(made->width, level),
                                                    jolp::MipExtent(made->height, level));
        if (made->levels[level].size() != expected) std::abort();
    }
}

void CheckCube(std::span<const uint8_t> file, RecordingDevice& device) {
    std::string error;
    auto texture = jolp::TextureCube::LoadFromMemory(file, kName, device, error);
    if (!texture) {
        CheckRefusal(error);
        return;
    }
    auto* made = dynamic_cast<RecordingCubeTexture*>(texture->Get());
    if (!made || !InRange(made->edge) || made->levelCount == 0) std::abort();
    for (uint32_t face = 0; face < 6; ++face) {
        for (uint32_t level = 0; level < made->levelCount; ++level) {
            const uint32_t edge = jolp::MipExtent(made->edge, level);
            if (made->images[face * made->levelCount + level].size() != jolp::ImageByteSize(made->format, edge, edge)) {
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> file(data + 1, size - 1);
    RecordingDevice device;
    device.recordParameters = false;
    if (data[0] & 1) {
        CheckCube(file, device);
    } else {
        Check2D(file, device);
    }
    return 0;
}
