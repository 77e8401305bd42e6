#include "tools/content/image.h"

#include <stb/stb_dxt.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>

namespace tarvel::content {
namespace {

uint8_t ToByte(float v) {
    const float c = std::clamp(v, 0.0f, 1.0f);
    return static_cast<uint8_t>(std::lround(c * 255.0f));
}

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// One level in the DDS memory layout of the encoding.
void EncodeLevel(const Image& image, DdsEncoding encoding, std::vector<uint8_t>& out) {
    const int w = image.Width(), h = image.Height();
    if (encoding == DdsEncoding::Argb8) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const Colour& c = image.At(x, y);
                out.insert(out.end(), {ToByte(c.b), ToByte(c.g), ToByte(c.r), ToByte(c.a)});
            }
        }
        return;
    }
    const bool alpha = encoding == DdsEncoding::Dxt5;
    for (int by = 0; by < (h + 3) / 4; ++by) {
        for (int bx = 0; bx < (w + 3) / 4; ++bx) {
            uint8_t block[64];
            for (int j = 0; j < 4; ++j) {
                for (int i = 0; i < 4; ++i) {
                    // Levels smaller than a block repeat their edge texels.
                    const Colour& c = image.At(std::min(bx * 4 + i, w - 1), std::min(by * 4 + j, h - 1));
                    uint8_t* p = block + (j * 4 + i) * 4;
                    p[0] = ToByte(c.r);
                    p[1] = ToByte(c.g);
                    p[2] = ToByte(c.b);
                    p[3] = ToByte(c.a);
                }
            }
            uint8_t packed[16];
            stb_compress_dxt_block(packed, block, alpha ? 1 : 0, STB_DXT_HIGHQUAL);
            out.insert(out.end(), packed, packed + (alpha ? 16 : 8));
        }
    }
}

jolp::Format FormatOf(DdsEncoding encoding) {
    switch (encoding) {
        case DdsEncoding::Dxt1: return jolp::Format::DXT1;
        case DdsEncoding::Dxt5: return jolp::Format::DXT5;
        case DdsEncoding::Argb8: break;
    }
    return jolp::Format::A8R8G8B8;
}

void AppendChain(Image level, DdsEncoding encoding, uint32_t levels, bool normalMap, std::vector<uint8_t>& out) {
    for (uint32_t l = 0; l < levels; ++l) {
        if (l > 0) {
            level = level.Reduced();
            if (normalMap) RenormaliseNormals(level);
        }
        EncodeLevel(level, encoding, out);
    }
}

}  // namespace

Colour Mix(const Colour& a, const Colour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour Scale(const Colour& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

Image::Image(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * static_cast<size_t>(height)) {}

const Colour& Image::Wrapped(int x, int y) const {
    x %= width_;
    y %= height_;
    if (x < 0) x += width_;
    if (y < 0) y += height_;
    return At(x, y);
}

Image Image::Reduced() const {
    const int w = std::max(1, width_ / 2), h = std::max(1, height_ / 2);
    Image out(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int x0 = std::min(2 * x, width_ - 1), x1 = std::min(2 * x + 1, width_ - 1);
            const int y0 = std::min(2 * y, height_ - 1), y1 = std::min(2 * y + 1, height_ - 1);
            const Colour &a = At(x0, y0), &b = At(x1, y0), &c = At(x0, y1), &d = At(x1, y1);
            out.At(x, y) = {(a.r + b.r + c.r + d.r) * 0.25f, (a.g + b.g + c.g + d.g) * 0.25f,
                            (a.b + b.b + c.b + d.b) * 0.25f, (a.a + b.a + c.a + d.a) * 0.25f};
        }
    }
    return out;
}

Image NormalMapFromHeight(const Image& height, float strength) {
    const int w = height.Width(), h = height.Height();
    Image out(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Slopes along u (x) and v (y, down the image), in height units
            // per texel, scaled by strength.
            const float du = (height.Wrapped(x + 1, y).r - height.Wrapped(x - 1, y).r) * 0.5f * strength;
            const float dv = (height.Wrapped(x, y + 1).r - height.Wrapped(x, y - 1).r) * 0.5f * strength;
            // The surface (u, v, h(u, v)) has the normal (-dh/du, -dh/dv, 1).
            const float nx = -du, ny = -dv, nz = 1.0f;
            const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            out.At(x, y) = {0.5f + 0.5f * nx / len, 0.5f + 0.5f * ny / len, 0.5f + 0.5f * nz / len,
                            height.At(x, y).r};
        }
    }
    return out;
}

void RenormaliseNormals(Image& normals) {
    for (int y = 0; y < normals.Height(); ++y) {
        for (int x = 0; x < normals.Width(); ++x) {
            Colour& c = normals.At(x, y);
            const float nx = c.r * 2 - 1, ny = c.g * 2 - 1, nz = c.b * 2 - 1;
            const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (len < 1e-6f) continue;
            c.r = 0.5f + 0.5f * nx / len;
            c.g = 0.5f + 0.5f * ny / len;
            c.b = 0.5f + 0.5f * nz / len;
        }
    }
}

std::vector<uint8_t> ToBytes(const Image& image, int channels) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(image.Width()) * image.Height() * channels);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const Colour& c = image.At(x, y);
            out.push_back(ToByte(c.r));
            out.push_back(ToByte(c.g));
            out.push_back(ToByte(c.b));
            if (channels == 4) out.push_back(ToByte(c.a));
        }
    }
    return out;
}

std::vector<uint8_t> EncodePng(const Image& image, int channels) {
    const std::vector<uint8_t> pixels = ToBytes(image, channels);
    std::vector<uint8_t> out;
    stbi_write_png_to_func(AppendBytes, &out, image.Width(), image.Height(), channels, pixels.data(),
                           image.Width() * channels);
    return out;
}

std::vector<uint8_t> EncodeTga(const Image& image, int channels) {
    const std::vector<uint8_t> pixels = ToBytes(image, channels);
    std::vector<uint8_t> out;
    stbi_write_tga_to_func(AppendBytes, &out, image.Width(), image.Height(), channels, pixels.data());
    return out;
}

std::vector<uint8_t> EncodeJpeg(const Image& image, int quality) {
    const std::vector<uint8_t> pixels = ToBytes(image, 3);
    std::vector<uint8_t> out;
    stbi_write_jpg_to_func(AppendBytes, &out, image.Width(), image.Height(), 3, pixels.data(), quality);
    return out;
}

jolp::DdsImage MakeDds2D(const Image& image, DdsEncoding encoding, bool mips, bool normalMap) {
    jolp::DdsImage dds;
    dds.format = FormatOf(encoding);
    dds.width = static_cast<uint32_t>(image.Width());
    dds.height = static_cast<uint32_t>(image.Height());
    dds.levels = mips ? jolp::FullMipCount(dds.width, dds.height) : 1;
    AppendChain(image, encoding, dds.levels, normalMap, dds.data);
    return dds;
}

jolp::DdsImage MakeDdsCube(const std::array<Image, 6>& faces, DdsEncoding encoding, bool mips) {
    jolp::DdsImage dds;
    dds.format = FormatOf(encoding);
    dds.width = dds.height = static_cast<uint32_t>(faces[0].Width());
    dds.cube = true;
    dds.levels = mips ? jolp::FullMipCount(dds.width, dds.height) : 1;
    for (const Image& face : faces) AppendChain(face, encoding, dds.levels, false, dds.data);
    return dds;
}

jolp::Vec3 CubeTexelDirection(int face, int x, int y, int edge) {
    const float s = 2.0f * (static_cast<float>(x) + 0.5f) / static_cast<float>(edge) - 1.0f;
    const float t = 2.0f * (static_cast<float>(y) + 0.5f) / static_cast<float>(edge) - 1.0f;
    jolp::Vec3 d;
    switch (face) {
        case 0: d = {1.0f, -t, -s}; break;
        case 1: d = {-1.0f, -t, s}; break;
        case 2: d = {s, 1.0f, t}; break;
        case 3: d = {s, -1.0f, -t}; break;
        case 4: d = {s, -t, 1.0f}; break;
        default: d = {-s, -t, -1.0f}; break;
    }
    const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return {d.x / len, d.y / len, d.z / len};
}

}  // namespace tarvel::content
