#include "runner/back_buffer_size.h"

#include "platform/letterbox.h"

#include <charconv>
#include <cstdio>

namespace jolp {
namespace {

bool ParseSide(std::string_view text, uint32_t& value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value > 0 && value <= kMaxSizeSide;
}

}  // namespace

bool ParseBackBufferSize(std::string_view text, const uint32_t aspect[2], uint32_t& width, uint32_t& height,
                         std::string& problem) {
    const size_t x = text.find_first_of("xX");
    uint32_t w = 0;
    uint32_t h = 0;
    if (x == std::string_view::npos || !ParseSide(text.substr(0, x), w) || !ParseSide(text.substr(x + 1), h)) {
        problem = "expected WxH, each 1 to " + std::to_string(kMaxSizeSide);
        return false;
    }
    const Rect picture = Letterbox(aspect[0], aspect[1], Rect{0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)});
    if (picture.Width() < static_cast<int32_t>(kMinPictureSide) ||
        picture.Height() < static_cast<int32_t>(kMinPictureSide)) {
        problem = "its " + std::to_string(aspect[0]) + ":" + std::to_string(aspect[1]) + " picture would be " +
                  std::to_string(picture.Width()) + " x " + std::to_string(picture.Height()) +
                  " pixels, and needs at least " + std::to_string(kMinPictureSide) + " on each side";
        return false;
    }
    const uint64_t pixels = uint64_t{w} * h;
    if (pixels > kMaxFramePixels) {
        char line[160];
        std::snprintf(line, sizeof line, "%.1f million pixels, more than the %.1f million (7680x4320) a frame may have",
                      pixels / 1e6, kMaxFramePixels / 1e6);
        problem = line;
        return false;
    }
    width = w;
    height = h;
    return true;
}

}  // namespace jolp
