// back_buffer_size.h - the one rule for a back-buffer size the user asks
// for (--size WxH natively and in the previewer, &size=WxH in a page).
//
// WxH are whole numbers of 1 to kMaxSizeSide each ('x' or 'X' between),
// refused when the picture letterboxed into it at the demo's aspect would
// be under kMinPictureSide pixels on a side, or when the back buffer has
// more than kMaxFramePixels pixels: the back buffer, its depth, the 16-bit
// float picture target with its depth and, when capturing, the read-back
// copies cost about 27 bytes a pixel (900 MB at the limit) on top of the
// 170 MB the demo needs at 640 x 480. The device's largest render target is
// asked once there is a device (display.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace jolp {

// The aspect of a demo's picture unless it gives its own (DemoInfo).
inline constexpr uint32_t kPictureAspect[2] = {16, 9};
inline constexpr uint32_t kMaxSizeSide = 16384;
inline constexpr uint32_t kMinPictureSide = 16;
inline constexpr uint64_t kMaxFramePixels = uint64_t{7680} * 4320;

// The size in text for a picture of aspect[0]:aspect[1]. False, with what is
// wrong with it in problem (the words after "bad value 'WxH' for --size: "),
// when it cannot be used; width and height are then unchanged.
bool ParseBackBufferSize(std::string_view text, const uint32_t aspect[2], uint32_t& width, uint32_t& height,
                         std::string& problem);

}  // namespace jolp
