// Texture resources from real files written by our own writers (PNG and TGA
// through stb_image_write, JPEG through libjpeg's compressor, DDS through
// ours), loaded into the recording device (to see what reaches the device)
// and into real GL.
#include "framework/dds_file.h"
#include "framework/texture.h"
#include "tests/support/headless_gl.h"
#include "tests/support/recording_device.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <stb/stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>

#include <jpeglib.h>
#include <sys/resource.h>
#include <unistd.h>

namespace jolp {
namespace {

using testing::RecordingCubeTexture;
using testing::RecordingDevice;
using testing::RecordingTexture;
using testing::TempDir;

// 2 x 2, top row red then green, bottom row blue then half-transparent white.
const uint8_t kRgba[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};

void WritePng(const std::string& path) { ASSERT_TRUE(stbi_write_png(path.c_str(), 2, 2, 4, kRgba, 8)); }

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// An stb_image_write callback appending to the std::vector<uint8_t> given
// as its context.
void AppendTo(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(context);
    bytes->insert(bytes->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

DdsImage Image(Format format, uint32_t edge, uint32_t levels, bool cube) {
    DdsImage image;
    image.format = format;
    image.width = image.height = edge;
    image.levels = levels;
    image.cube = cube;
    size_t size = 0;
    for (uint32_t face = 0; face < (cube ? 6u : 1u); ++face) {
        for (uint32_t level = 0; level < levels; ++level) size += ImageByteSize(format, MipExtent(edge, level), MipExtent(edge, level));
    }
    image.data.resize(size);
    for (size_t i = 0; i < size; ++i) image.data[i] = static_cast<uint8_t>(i * 7 + 3);
    return image;
}

void WriteDds(const std::string& path, const DdsImage& image) {
    std::string error;
    ASSERT_TRUE(WriteDdsFile(path, image, error)) << error;
}

TEST(TextureTest, ImagesReachTheDeviceAsA8R8G8B8TopRowFirstWithAFullMipChain) {
    TempDir dir;
    WritePng(dir / "a.png");
    ASSERT_TRUE(stbi_write_tga((dir / "a.tga").c_str(), 2, 2, 4, kRgba));
    RecordingDevice device;
    for (const char* name : {"a.png", "a.tga"}) {
        std::string error;
        auto texture = Texture2D::Load(dir / name, device, error);
        ASSERT_NE(texture, nullptr) << error;
        auto* made = dynamic_cast<RecordingTexture*>(texture->Get());
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->format, Format::A8R8G8B8);
        EXPECT_EQ(made->LevelCount(), 2u);
        EXPECT_EQ(made->mipGenerations, 1);
        const std::vector<uint8_t> bgra = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 128};
        EXPECT_EQ(made->levels[0], bgra) << name;
    }
}

TEST(TextureTest, DdsLevelsAndFacesAreUploadedAsTheFileHoldsThem) {
    TempDir dir;
    const DdsImage flat = Image(Format::DXT5, 8, 4, false);
    const DdsImage cube = Image(Format::A16B16G16R16F, 4, 3, true);
    WriteDds(dir / "flat.dds", flat);
    WriteDds(dir / "cube.dds", cube);
    RecordingDevice device;

    auto texture = Texture2D::Load(dir / "flat.dds", device);
    ASSERT_NE(texture, nullptr);
    auto* made = dynamic_cast<RecordingTexture*>(texture->Get());
    ASSERT_EQ(made->LevelCount(), 4u);
    EXPECT_EQ(made->mipGenerations, 0);
    for (uint32_t level = 0; level < 4; ++level) {
        const uint8_t* start = flat.data.data() + flat.LevelOffset(0, level);
        EXPECT_EQ(made->levels[level], std::vector<uint8_t>(start, start + flat.LevelSize(level)));
    }

    auto cubeTexture = TextureCube::Load(dir / "cube.dds", device);
    ASSERT_NE(cubeTexture, nullptr);
    auto* madeCube = dynamic_cast<RecordingCubeTexture*>(cubeTexture->Get());
    ASSERT_EQ(madeCube->LevelCount(), 3u);
    for (uint32_t face = 0; face < 6; ++face) {
        for (uint32_t level = 0; level < 3; ++level) {
            const uint8_t* start = cube.data.data() + cube.LevelOffset(face, level);
            EXPECT_EQ(madeCube->images[face * 3 + level], std::vector<uint8_t>(start, start + cube.LevelSize(level)));
        }
    }
}

TEST(TextureTest, TheKindMustMatchAndFailuresSayWhy) {
    TempDir dir;
    WritePng(dir / "a.png");
    WriteDds(dir / "cube.dds", Image(Format::A8R8G8B8, 4, 1, true));
    WriteDds(dir / "flat.dds", Image(Format::A8R8G8B8, 4, 1, false));
    WriteText(dir / "notes.txt", "not an image");
    std::vector<uint8_t> broken = WriteDds(Image(Format::DXT1, 8, 1, false));
    broken.resize(broken.size() - 1);
    std::ofstream(dir / "broken.dds", std::ios::binary).write(reinterpret_cast<const char*>(broken.data()),
                                                             static_cast<std::streamsize>(broken.size()));
    RecordingDevice device;
    struct Case {
        const char* file;
        bool cube;
        const char* message;
    } cases[] = {
        {"cube.dds", false, "a cube map, not a 2D texture"},
        {"flat.dds", true, "a 2D texture, not a cube map"},
        {"a.png", true, "not a DDS cube map"},
        {"notes.txt", false, "not an image"},
        {"broken.dds", false, "offset"},
        {"missing.png", false, "cannot read (No such file or directory)"},
        // Refused before a byte is read: no blocking, no reading without end.
        {"pipe.png", false, "cannot read (not a regular file (a FIFO))"},
        {"zero.png", false, "cannot read (not a regular file (a character device))"},
        {"zero.dds", true, "cannot read (not a regular file (a character device))"},
    };
    ASSERT_EQ(::mkfifo((dir / "pipe.png").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.png");
    std::filesystem::create_symlink("/dev/zero", dir / "zero.dds");
    for (const Case& c : cases) {
        std::string error;
        const bool loaded = c.cube ? TextureCube::Load(dir / c.file, device, error) != nullptr
                                   : Texture2D::Load(dir / c.file, device, error) != nullptr;
        EXPECT_FALSE(loaded) << c.file;
        EXPECT_NE(error.find(dir / c.file), std::string::npos) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    device.refuse.insert("CreateTexture");
    std::string error;
    EXPECT_EQ(Texture2D::Load(dir / "a.png", device, error), nullptr);
    EXPECT_NE(error.find("the device refused a 2 x 2 A8R8G8B8 texture"), std::string::npos) << error;
}

// stb_image reads more kinds than PNG and TGA; the others are refused.
TEST(TextureTest, OtherImageKindsAreRefused) {
    TempDir dir;
    ASSERT_TRUE(stbi_write_bmp((dir / "a.bmp").c_str(), 2, 2, 4, kRgba));
    RecordingDevice device;
    std::string error;
    EXPECT_EQ(Texture2D::Load(dir / "a.bmp", device, error), nullptr);
    EXPECT_NE(error.find(dir / "a.bmp"), std::string::npos) << error;
    EXPECT_NE(error.find("a BMP image"), std::string::npos) << error;
}

// A JPEG file from libjpeg's own compressor, at quality 100 with every
// component at full resolution: pixels holds 1 (JCS_GRAYSCALE), 3 (JCS_RGB)
// or 4 (JCS_CMYK) bytes a pixel. Without progressive it is a baseline file
// with the standard Huffman tables; a script, when given, lists its scans.
std::vector<uint8_t> Jpeg(int width, int height, J_COLOR_SPACE space, const std::vector<uint8_t>& pixels,
                          bool progressive = false, const std::vector<jpeg_scan_info>& script = {}) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    for (int c = 0; c < info.num_components; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    if (progressive) jpeg_simple_progression(&info);
    if (!script.empty()) {
        info.scan_info = script.data();
        info.num_scans = static_cast<int>(script.size());
    }
    jpeg_start_compress(&info, TRUE);
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(info.input_components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + info.next_scanline * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

// 16 x 16: the top eight rows one colour, the bottom eight another (whole
// 8 x 8 blocks, so that quality 100 keeps them within a step or two).
std::vector<uint8_t> Halves(std::vector<uint8_t> top, const std::vector<uint8_t>& bottom) {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 256; ++i) pixels.insert(pixels.end(), (i < 128 ? top : bottom).begin(), (i < 128 ? top : bottom).end());
    return pixels;
}

// Where the first marker segment of this kind begins (at its 0xFF), walking
// the segments from the start-of-image marker to the first scan.
size_t Segment(const std::vector<uint8_t>& jpeg, uint8_t marker) {
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != marker) {
        if (jpeg[at + 1] == 0xDA) return jpeg.size();
        at += 2 + (size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    }
    return at + 4 <= jpeg.size() ? at : jpeg.size();
}

TEST(TextureTest, JpegsOfEveryColourModelReachTheDeviceAsA8R8G8B8TopRowFirst) {
    const std::vector<uint8_t> rgb = Halves({255, 0, 0}, {0, 0, 255});
    const std::vector<uint8_t> rgbBgra = Halves({0, 0, 255, 255}, {255, 0, 0, 255});
    const std::vector<uint8_t> grey = Halves({255}, {40});
    const std::vector<uint8_t> greyBgra = Halves({255, 255, 255, 255}, {40, 40, 40, 255});
    // Inks stored inverted (255: none): full cyan under full key is red.
    const std::vector<uint8_t> cmyk = Halves({255, 0, 0, 255}, {0, 0, 255, 128});
    const std::vector<uint8_t> cmykBgra = Halves({0, 0, 255, 255}, {128, 0, 0, 255});
    std::vector<uint8_t> filled = {0xFF, 0xFF};
    const std::vector<uint8_t> plain = Jpeg(16, 16, JCS_RGB, rgb);
    filled.insert(filled.end(), plain.begin(), plain.end());
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        const std::vector<uint8_t>& bgra;
    } cases[] = {
        {"rgb.jpg", plain, rgbBgra},
        {"progressive.jpg", Jpeg(16, 16, JCS_RGB, rgb, true), rgbBgra},
        {"grey.jpg", Jpeg(16, 16, JCS_GRAYSCALE, grey), greyBgra},
        {"grey_progressive.jpg", Jpeg(16, 16, JCS_GRAYSCALE, grey, true), greyBgra},
        {"cmyk.jpg", Jpeg(16, 16, JCS_CMYK, cmyk), cmykBgra},
        // Fill bytes before the start-of-image marker.
        {"filled.jpg", filled, rgbBgra},
    };
    RecordingDevice device;
    for (const Case& c : cases) {
        std::string error;
        auto texture = Texture2D::LoadFromMemory(c.file, c.name, device, error);
        ASSERT_NE(texture, nullptr) << error;
        auto* made = dynamic_cast<RecordingTexture*>(texture->Get());
        EXPECT_EQ(made->format, Format::A8R8G8B8);
        EXPECT_EQ(made->LevelCount(), 5u);
        EXPECT_EQ(made->mipGenerations, 1);
        ASSERT_EQ(made->levels[0].size(), c.bgra.size()) << c.name;
        for (size_t i = 0; i < c.bgra.size(); ++i) {
            ASSERT_NEAR(made->levels[0][i], c.bgra[i], 3) << c.name << " byte " << i;
        }
    }
}

// Damaged JPEG files: errors refuse the file with libjpeg's reason; a file
// cut short in its image data shows what decodes, quietly.
TEST(TextureTest, DamagedJpegsAreRefusedWithTheReasonOrShowWhatDecodes) {
    const std::vector<uint8_t> grey = Jpeg(16, 16, JCS_GRAYSCALE, Halves({255}, {40}));
    const size_t sos = Segment(grey, 0xDA);
    const size_t dht = Segment(grey, 0xC4);
    ASSERT_LT(sos + 7, grey.size());
    ASSERT_LT(dht + 21, grey.size());
    // The scan takes its tables from slot 2, which no DHT segment fills.
    std::vector<uint8_t> undefined = grey;
    undefined[sos + 6] = 0x22;
    // 2 x 255 codes of 15 and 16 bits in a table that holds 256.
    std::vector<uint8_t> overfull = grey;
    overfull[dht + 5 + 14] = overfull[dht + 5 + 15] = 255;
    // A Motion-JPEG frame leaves out the standard tables it codes with.
    std::vector<uint8_t> noTables = grey;
    for (size_t at; (at = Segment(noTables, 0xC4)) < noTables.size();) {
        noTables.erase(noTables.begin() + static_cast<ptrdiff_t>(at),
                       noTables.begin() + static_cast<ptrdiff_t>(at + 2 + (noTables[at + 2] << 8 | noTables[at + 3])));
    }
    // A valid progressive file of 127 scans: every AC coefficient on its
    // own, then refined.
    std::vector<jpeg_scan_info> script = {{1, {0}, 0, 0, 0, 0}};
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 1; k < 64; ++k) script.push_back({1, {0}, k, k, pass, 1 - pass});
    }
    const std::vector<uint8_t> manyScans = Jpeg(16, 16, JCS_GRAYSCALE, Halves({255}, {40}), false, script);
    const std::vector<uint8_t> cutInData(grey.begin(), grey.begin() + static_cast<ptrdiff_t>(sos + 14));
    const std::vector<uint8_t> cutInHeader(grey.begin(), grey.begin() + 30);

    RecordingDevice device;
    std::string error;
    ::testing::internal::CaptureStderr();
    EXPECT_NE(Texture2D::LoadFromMemory(noTables, "mjpeg.jpg", device, error), nullptr) << error;
    EXPECT_NE(Texture2D::LoadFromMemory(cutInData, "cut.jpg", device, error), nullptr) << error;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    for (const auto& [name, file, reason] :
         {std::tuple<std::string, std::vector<uint8_t>, std::string>{"undefined.jpg", undefined,
                                                                      "Huffman table 0x02 was not defined"},
          {"overfull.jpg", overfull, "Bogus Huffman table definition"},
          {"header.jpg", cutInHeader, "JPEG datastream contains no image"},
          {"scans.jpg", manyScans, "more than 100 scans"}}) {
        EXPECT_EQ(Texture2D::LoadFromMemory(file, name, device, error), nullptr) << name;
        EXPECT_EQ(error, name + ": cannot decode the JPEG file (" + reason + ")");
    }
}

// Running out of memory is said as such, not taken for a broken file. A
// child process caps its address space a little above what it holds, then
// loads a 4096 x 4096 image whose decoded pixels (64 MiB) do not fit: a
// JPEG (our buffer fails), a progressive JPEG with room for our buffer but
// not for libjpeg's coefficients, and a PNG (stb_image fails).
TEST(TextureDeathTest, RunningOutOfMemoryIsReportedAsSuch) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer's allocator aborts rather than fail an allocation";
#endif
    const std::vector<uint8_t> grey(size_t{4096} * 4096, 90);
    const std::vector<uint8_t> baseline = Jpeg(4096, 4096, JCS_GRAYSCALE, grey);
    const std::vector<uint8_t> progressive = Jpeg(4096, 4096, JCS_GRAYSCALE, grey, true);
    std::vector<uint8_t> png;
    ASSERT_TRUE(stbi_write_png_to_func(AppendTo, &png, 4096, 4096, 1, grey.data(), 4096));
    const auto loadWithin = [](const std::vector<uint8_t>& file, rlim_t headroom) {
        long pages = 0;  // the address space, in pages
        FILE* statm = std::fopen("/proc/self/statm", "r");
        if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(2);
        std::fclose(statm);
        const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + headroom;
        const rlimit limit{cap, cap};
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
        RecordingDevice device;
        std::string error;
        const bool loaded = Texture2D::LoadFromMemory(file, "big", device, error) != nullptr;
        std::fprintf(stderr, "%s\n", error.c_str());
        std::_Exit(loaded ? 1 : 0);
    };
    const char* said = "big: out of memory decoding a 4096 x 4096 image";
    EXPECT_EXIT(loadWithin(baseline, 32 << 20), ::testing::ExitedWithCode(0), said);
    EXPECT_EXIT(loadWithin(progressive, 80 << 20), ::testing::ExitedWithCode(0), said);
    EXPECT_EXIT(loadWithin(png, 32 << 20), ::testing::ExitedWithCode(0), said);
}

TEST(TextureTest, DirectoriesRegisterEveryFileOnceAndSkipFolders) {
    TempDir dir;
    WritePng(dir / "image.png");
    WriteText(dir / "readme.txt", "hello");
    std::filesystem::create_directory(dir.Path() / "sub");
    WritePng(dir / "sub/inner.png");
    WriteDds(dir / "sky.dds", Image(Format::X8R8G8B8, 4, 1, true));
    RecordingDevice device;
    ResourceRegistry registry;

    ::testing::internal::CaptureStderr();
    LoadTextureDirectory(registry, device, dir.Path().string());
    const std::string said = ::testing::internal::GetCapturedStderr();
    // Each file that is not a texture of the kind is named once, with why.
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    EXPECT_NE(said.find("readme.txt: not an image"), std::string::npos) << said;
    EXPECT_NE(said.find("sky.dds: "), std::string::npos) << said;
    EXPECT_EQ(said.find("image.png"), std::string::npos) << said;
    EXPECT_EQ(registry.Size(), 3u);
    EXPECT_NE(registry.FindAs<Texture2D>("image.png"), nullptr);
    ASSERT_NE(registry.Find("readme.txt"), nullptr);
    EXPECT_EQ(registry.Find("readme.txt")->second, nullptr);
    ASSERT_NE(registry.Find("sky.dds"), nullptr);
    EXPECT_EQ(registry.Find("sky.dds")->second, nullptr);  // a cube map is no 2D texture
    EXPECT_EQ(registry.Find("sub"), nullptr);
    EXPECT_EQ(registry.Find("inner.png"), nullptr);

    // Again: nothing new, nothing replaced, nothing loaded.
    Resource* first = registry.Find("image.png")->second;
    const size_t calls = device.calls.size();
    LoadTextureDirectory(registry, device, dir.Path().string());
    EXPECT_EQ(registry.Size(), 3u);
    EXPECT_EQ(registry.Find("image.png")->second, first);
    EXPECT_EQ(device.calls.size(), calls);

    // The cube loader keeps the earlier null for sky.dds: the first wins.
    ResourceRegistry cubes;
    LoadCubeTextureDirectory(cubes, device, dir.Path().string());
    EXPECT_NE(cubes.FindAs<TextureCube>("sky.dds"), nullptr);
    EXPECT_EQ(cubes.Find("image.png")->second, nullptr);
}

TEST(TextureTest, AMissingDirectoryRegistersNothingAndSaysSoOnce) {
    RecordingDevice device;
    ResourceRegistry registry;
    ::testing::internal::CaptureStderr();
    LoadTextureDirectory(registry, device, "no/such/texs");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(registry.Size(), 0u);
    EXPECT_NE(said.find("no/such/texs"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST(TextureTest, RealDeviceTakesEveryKindOfFile) {
    testing::HeadlessGl gl(16, 16);
    ASSERT_TRUE(gl.ok()) << gl.error;
    auto& device = gl.device;
    std::string error;
    TempDir dir;
    WritePng(dir / "a.png");
    WriteDds(dir / "dxt1.dds", Image(Format::DXT1, 16, 5, false));
    WriteDds(dir / "float.dds", Image(Format::R32F, 8, 1, false));
    WriteDds(dir / "lum.dds", Image(Format::L8, 8, 4, false));
    WriteDds(dir / "cube.dds", Image(Format::DXT5, 8, 4, true));
    for (const char* name : {"a.png", "dxt1.dds", "float.dds", "lum.dds"}) {
        EXPECT_NE(Texture2D::Load(dir / name, *device, error), nullptr) << error;
    }
    auto cube = TextureCube::Load(dir / "cube.dds", *device, error);
    ASSERT_NE(cube, nullptr) << error;
    EXPECT_EQ(cube->Get()->LevelCount(), 4u);
    // A texture outliving its device releases nothing and does not crash.
    device.reset();
    cube.reset();
}

}  // namespace
}  // namespace jolp

namespace jolp {
namespace {

TEST(TextureTest, AHeaderClaimingAHugeImageIsRefusedBeforeDecoding) {
    // An 18-byte TGA header, 24 bits a pixel, and no pixels at all.
    const auto header = [](uint16_t width, uint16_t height) {
        std::vector<uint8_t> tga(18, 0);
        tga[2] = 2;  // uncompressed true colour
        tga[12] = static_cast<uint8_t>(width & 0xFF);
        tga[13] = static_cast<uint8_t>(width >> 8);
        tga[14] = static_cast<uint8_t>(height & 0xFF);
        tga[15] = static_cast<uint8_t>(height >> 8);
        tga[16] = 24;
        return tga;
    };
    testing::RecordingDevice device;
    for (const auto& [w, h] : {std::pair<uint16_t, uint16_t>{16384, 8192}, {9000, 9000}, {20000, 4}}) {
        std::string error;
        const std::vector<uint8_t> tga = header(w, h);
        EXPECT_EQ(Texture2D::LoadFromMemory(tga, "huge.tga", device, error), nullptr) << w << " x " << h;
        EXPECT_NE(error.find("huge.tga: " + std::to_string(w) + " x " + std::to_string(h) + " is too large"),
                  std::string::npos)
            << error;
    }
    // A JPEG frame header claiming 9000 x 9000 (0x2328) over 16 x 16 pixels.
    std::vector<uint8_t> jpeg = Jpeg(16, 16, JCS_GRAYSCALE, Halves({1}, {2}));
    const size_t sof = Segment(jpeg, 0xC0);
    ASSERT_LT(sof + 9, jpeg.size());
    jpeg[sof + 5] = jpeg[sof + 7] = 0x23;
    jpeg[sof + 6] = jpeg[sof + 8] = 0x28;
    std::string error;
    EXPECT_EQ(Texture2D::LoadFromMemory(jpeg, "huge.jpg", device, error), nullptr);
    EXPECT_EQ(error, "huge.jpg: 9000 x 9000 is too large an image");
    // Within the limit the size passes, and the missing pixels are found.
    EXPECT_EQ(Texture2D::LoadFromMemory(header(4096, 2048), "short.tga", device, error), nullptr);
    EXPECT_NE(error.find("short.tga: a truncated TGA file (18 bytes, where a 4096 x 2048 image needs at least"),
              std::string::npos)
        << error;

    // Sizes stb_image will not take at all: its reason would be "unknown
    // image type", the true one is the size in the header.
    std::vector<uint8_t> png;
    stbi_write_png_to_func(AppendTo, &png, 2, 2, 4, kRgba, 8);
    const auto pngOf = [&png](uint32_t width, uint32_t height) {
        std::vector<uint8_t> out = png;
        for (int i = 0; i < 4; ++i) {
            out[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
            out[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
        }
        return out;
    };
    EXPECT_EQ(Texture2D::LoadFromMemory(pngOf(100000, 100000), "huge.png", device, error), nullptr);
    EXPECT_EQ(error, "huge.png: 100000 x 100000 is too large an image");
    EXPECT_EQ(Texture2D::LoadFromMemory(pngOf(0, 0), "empty.png", device, error), nullptr);
    EXPECT_EQ(error, "empty.png: the PNG header gives a size of 0 x 0, an image without pixels");
    EXPECT_EQ(Texture2D::LoadFromMemory(header(0, 4), "empty.tga", device, error), nullptr);
    EXPECT_EQ(error, "empty.tga: the TGA header gives a size of 0 x 4, an image without pixels");
    jpeg[sof + 5] = jpeg[sof + 6] = 0;
    jpeg[sof + 7] = 0;
    jpeg[sof + 8] = 16;
    EXPECT_EQ(Texture2D::LoadFromMemory(jpeg, "empty.jpg", device, error), nullptr);
    EXPECT_EQ(error, "empty.jpg: the JPEG header gives a size of 16 x 0, an image without pixels");
}

// A PNG whose image data chunk claims more bytes than the file holds is
// refused before the decoder grows a buffer to the claimed size.
TEST(TextureTest, APngChunkRunningPastTheEndIsRefused) {
    std::vector<uint8_t> png;
    stbi_write_png_to_func(AppendTo, &png, 4, 4, 4, std::vector<uint8_t>(64, 0x40).data(), 16);
    testing::RecordingDevice device;
    std::string error;
    ASSERT_NE(Texture2D::LoadFromMemory(png, "a.png", device, error), nullptr) << error;
    size_t idat = 8;
    while (idat + 8 <= png.size() && std::memcmp(png.data() + idat + 4, "IDAT", 4) != 0) {
        idat += 12 + (size_t{png[idat]} << 24 | size_t{png[idat + 1]} << 16 | size_t{png[idat + 2]} << 8 | png[idat + 3]);
    }
    ASSERT_LT(idat + 8, png.size());
    png[idat] = 0x3F;  // about a gigabyte
    EXPECT_EQ(Texture2D::LoadFromMemory(png, "big.png", device, error), nullptr);
    EXPECT_NE(error.find("big.png: a truncated PNG file (the IDAT chunk at byte " + std::to_string(idat)),
              std::string::npos)
        << error;
}

// A TGA file cut short is refused; the whole file, and one with a footer
// after its pixels, load. Both kinds our writer makes (run-length encoded
// and not) and a colour-mapped one are cut.
TEST(TextureTest, ATruncatedTgaIsRefusedAndAWholeOneLoads) {
    const auto tga = [](bool rle) {
        std::vector<uint8_t> out;
        stbi_write_tga_with_rle = rle ? 1 : 0;
        stbi_write_tga_to_func(AppendTo, &out, 64, 32, 4, std::vector<uint8_t>(64 * 32 * 4, 0x80).data());
        stbi_write_tga_with_rle = 1;
        return out;
    };
    // 2 x 2, 8-bit indices into a 4-entry 24-bit palette.
    std::vector<uint8_t> mapped = {0, 1, 1, 0, 0, 4, 0, 24, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0};
    for (int i = 0; i < 12; ++i) mapped.push_back(static_cast<uint8_t>(i * 20));
    mapped.insert(mapped.end(), {0, 1, 2, 3});

    testing::RecordingDevice device;
    for (const auto& [name, whole] : {std::pair<std::string, std::vector<uint8_t>>{"raw.tga", tga(false)},
                                      {"rle.tga", tga(true)},
                                      {"mapped.tga", mapped}}) {
        std::string error;
        EXPECT_NE(Texture2D::LoadFromMemory(whole, name, device, error), nullptr) << name << ": " << error;
        std::vector<uint8_t> footer = whole;
        footer.insert(footer.end(), 26, 0);
        EXPECT_NE(Texture2D::LoadFromMemory(footer, name, device, error), nullptr) << name << ": " << error;
        const std::vector<uint8_t> cut(whole.begin(), whole.end() - (name == "rle.tga" ? whole.size() - 30 : 1));
        EXPECT_EQ(Texture2D::LoadFromMemory(cut, name, device, error), nullptr) << name;
        EXPECT_NE(error.find(name + ": a truncated TGA file"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace jolp
