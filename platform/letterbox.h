// letterbox.h - rectangles in pixels and the letterbox rule that fits a
// picture of a given aspect into one: the largest rectangle of that aspect,
// centred, bars above and below or left and right.
#pragma once

#include <cstdint>

namespace jolp {

// left, top, right, bottom; right and bottom exclusive.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// All arithmetic is unsigned 32-bit with truncating division, so odd sizes
// round the same way everywhere: for 16:9 into 640 x 480 the result is
// (0, 60, 640, 420).
inline Rect Letterbox(uint32_t aspectWidth, uint32_t aspectHeight, const Rect& r) {
    const uint32_t W = static_cast<uint32_t>(r.right) - static_cast<uint32_t>(r.left);
    const uint32_t H = static_cast<uint32_t>(r.bottom) - static_cast<uint32_t>(r.top);
    uint32_t h = aspectHeight * W / aspectWidth;
    uint32_t w = W;
    if (h > H) {
        w = aspectWidth * H / aspectHeight;
        h = H;
    }
    const uint32_t L = static_cast<uint32_t>(r.left);
    const uint32_t T = static_cast<uint32_t>(r.top);
    return Rect{static_cast<int32_t>(L + W / 2 - w / 2), static_cast<int32_t>(T + H / 2 - h / 2),
                static_cast<int32_t>(L + W / 2 + w / 2), static_cast<int32_t>(T + H / 2 + h / 2)};
}

}  // namespace jolp
