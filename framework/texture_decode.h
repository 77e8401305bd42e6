// texture_decode.h - what the texture loaders (texture.h) share with the
// JPEG decoder of the platform the build is for: texture_decode_native.cpp
// (libjpeg) or texture_decode_web.cpp (the browser's own decoder), one of
// which framework/CMakeLists.txt compiles.
#pragma once

#include "platform/gfx_device.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace jolp::texture_decode {

// Whether a width x height image is one we take: at most 16384 on a side
// and 64 million pixels (256 MiB decoded).
bool FitsLimits(int64_t width, int64_t height);

// "W x H", and the refusals that name the file.
std::string Size(int64_t width, int64_t height);
std::string TooLarge(const std::string& path, int64_t width, int64_t height);
std::string NoPixels(const std::string& path, const char* kind, int64_t width, int64_t height);
std::string OutOfMemory(const std::string& path, int64_t width, int64_t height);

// A decoded image, B, G, R, A in memory (the A8R8G8B8 layout), top row
// first, into a texture whose other levels the device generates.
std::unique_ptr<GfxTexture> UploadWithMipChain(const std::string& path, const uint8_t* bgra, uint32_t width,
                                               uint32_t height, GfxDevice& device, std::string& error);

// The JPEG file path, whose bytes are bytes (from its start-of-image
// marker on), as a texture; null with why.
std::unique_ptr<GfxTexture> DecodeJpeg(const std::string& path, std::span<const uint8_t> bytes, GfxDevice& device,
                                       std::string& error);

}  // namespace jolp::texture_decode
