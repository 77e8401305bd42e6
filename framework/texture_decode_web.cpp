#include "framework/texture_decode.h"

#include <emscripten/emscripten.h>

#include <cstdlib>
#include <utility>

namespace jolp::texture_decode {

// JPEG in a browser: the page decodes the data set's images with its own
// decoder as it loads them (emscripten's preload plugins); what it made of
// this file is taken here.
std::unique_ptr<GfxTexture> DecodeJpeg(const std::string& path, std::span<const uint8_t>, GfxDevice& device,
                                       std::string& error) {
    int width = 0;
    int height = 0;
    char* rgba = emscripten_get_preloaded_image_data(path.c_str(), &width, &height);
    if (!rgba) {
        error = path + ": the browser could not decode the JPEG file";
        return nullptr;
    }
    std::unique_ptr<GfxTexture> texture;
    if (!FitsLimits(width, height)) {
        error = TooLarge(path, width, height);
    } else {
        auto* pixels = reinterpret_cast<uint8_t*>(rgba);
        for (size_t i = 0; i < size_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height); ++i) {
            std::swap(pixels[i * 4 + 0], pixels[i * 4 + 2]);
        }
        texture = UploadWithMipChain(path, pixels, static_cast<uint32_t>(width), static_cast<uint32_t>(height), device,
                                     error);
    }
    std::free(rgba);
    return texture;
}

}  // namespace jolp::texture_decode
