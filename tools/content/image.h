// image.h - Image, a picture being generated (RGBA floats, row 0 the top),
// and what turns it into the files of the data set: PNG, TGA and JPEG through
// stb_image_write, DDS (2D or cube, optional mip chain, DXT1/DXT5 through
// stb_dxt or A8R8G8B8) through the framework's DDS writer.
//
// Normal maps follow one convention everywhere in the data set: red is the
// tangent (the direction of increasing u), green the binormal (the direction
// of increasing v, that is down the image, since v = 0 is the top row), blue
// the surface normal; each channel stores 0.5 + 0.5 x the component. Height
// maps for parallax surfaces go in the normal map's alpha, 1 the highest.
#pragma once

#include "framework/dds_file.h"
#include "scene/transform_math.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvel::content {

struct Colour {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
};

Colour Mix(const Colour& a, const Colour& b, float t);
Colour Scale(const Colour& c, float k);  // rgb only

class Image {
public:
    Image() = default;
    Image(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Colour& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    const Colour& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    // Wraps x and y around the edges (tileable sampling).
    const Colour& Wrapped(int x, int y) const;

    // Half the size, 2 x 2 box filter (1 x 1 stays).
    Image Reduced() const;

private:
    int width_ = 0, height_ = 0;
    std::vector<Colour> pixels_;
};

// A normal map of a tileable height field (height in the red channel of
// height, 0..1). strength scales the slopes; the height goes to alpha.
Image NormalMapFromHeight(const Image& height, float strength);
// A normal map's mip chain keeps unit normals: renormalises rgb.
void RenormaliseNormals(Image& normals);

// 8-bit channels, rounded and clamped: R, G, B (and A when channels is 4).
std::vector<uint8_t> ToBytes(const Image& image, int channels);

// Encoded files. channels: 3 (RGB) or 4 (RGBA); JPEG is always RGB.
std::vector<uint8_t> EncodePng(const Image& image, int channels);
std::vector<uint8_t> EncodeTga(const Image& image, int channels);
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality);

enum class DdsEncoding { Dxt1, Dxt5, Argb8 };

// A 2D DDS image with a full mip chain (mips) or one level.
jolp::DdsImage MakeDds2D(const Image& image, DdsEncoding encoding, bool mips, bool normalMap = false);
// A cube map from six square faces in the order +X, -X, +Y, -Y, +Z, -Z.
jolp::DdsImage MakeDdsCube(const std::array<Image, 6>& faces, DdsEncoding encoding, bool mips);

// The world direction through texel (x, y) of cube face `face` of edge
// `edge` (Direct3D's face orientation; row 0 the top), normalised.
jolp::Vec3 CubeTexelDirection(int face, int x, int y, int edge);

}  // namespace tarvel::content
