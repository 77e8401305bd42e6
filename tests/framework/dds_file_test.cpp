#include "framework/dds_file.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace jolp {
namespace {

using Bytes = std::vector<uint8_t>;

// Every format the files carry.
const Format kAllFormats[] = {
    Format::A8R8G8B8, Format::X8R8G8B8, Format::A8B8G8R8, Format::X8B8G8R8, Format::R8G8B8, Format::L8,
    Format::A8L8,     Format::DXT1,     Format::DXT3,     Format::DXT5,     Format::R16F,   Format::G16R16F,
    Format::A16B16G16R16F, Format::R32F, Format::G32R32F, Format::A32B32G32R32F,
};

// An image whose every byte depends on its position and the seed.
DdsImage MakeImage(Format format, uint32_t width, uint32_t height, uint32_t levels, bool cube, uint32_t seed = 1) {
    DdsImage image;
    image.format = format;
    image.width = width;
    image.height = height;
    image.levels = levels;
    image.cube = cube;
    size_t size = 0;
    for (uint32_t face = 0; face < image.FaceCount(); ++face)
        for (uint32_t level = 0; level < levels; ++level)
            size += ImageByteSize(format, MipExtent(width, level), MipExtent(height, level));
    image.data.resize(size);
    uint32_t state = seed * 2654435761u + 12345u;
    for (uint8_t& byte : image.data) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return image;
}

uint32_t Get32(const Bytes& bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

void Set32(Bytes& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

// A header built field by field from the file format's description, without
// the writer, for files other programs would write.
struct HandHeader {
    uint32_t flags = 0x1007;  // caps, height, width, pixel format
    uint32_t width = 4, height = 4, depth = 0, mipCount = 0;
    uint32_t pixelFlags = 0x4, fourCC = 0, bits = 0, masks[4] = {};
    uint32_t caps = 0x1000, caps2 = 0;
    bool extended = false;
    uint32_t dxgi = 0, dimension = 3, misc = 0, arraySize = 1;

    Bytes Make(size_t dataBytes, uint8_t fill = 0xab) const {
        Bytes out(extended ? 148 : 128, 0);
        std::memcpy(out.data(), "DDS ", 4);
        Set32(out, 4, 124);
        Set32(out, 8, flags);
        Set32(out, 12, height);
        Set32(out, 16, width);
        Set32(out, 24, depth);
        Set32(out, 28, mipCount);
        Set32(out, 76, 32);
        Set32(out, 80, pixelFlags);
        Set32(out, 84, extended ? MakeFourCC('D', 'X', '1', '0') : fourCC);
        Set32(out, 88, bits);
        for (int i = 0; i < 4; ++i) Set32(out, 92 + 4 * i, masks[i]);
        Set32(out, 108, caps);
        Set32(out, 112, caps2);
        if (extended) {
            Set32(out, 128, dxgi);
            Set32(out, 132, dimension);
            Set32(out, 136, misc);
            Set32(out, 140, arraySize);
        }
        out.resize(out.size() + dataBytes, fill);
        return out;
    }
};

bool Read(const Bytes& bytes, DdsImage& image, std::string& error) { return ReadDds(bytes, "t.dds", image, error); }

// ---------------------------------------------------------------------------
// Round trips: write, read back the same image, write the same bytes again.

class DdsRoundTrip : public ::testing::TestWithParam<Format> {
protected:
    void ExpectRoundTrip(const DdsImage& image) {
        const Bytes bytes = WriteDds(image);
        ASSERT_FALSE(bytes.empty());
        DdsImage back;
        std::string error;
        ASSERT_TRUE(Read(bytes, back, error)) << error;
        EXPECT_EQ(back, image);
        EXPECT_EQ(WriteDds(back), bytes);
    }
};

TEST_P(DdsRoundTrip, NonSquareWithFullMipChain) {
    // 13 x 6: odd extents, not multiples of 4 for the block formats, and
    // levels down to 1 x 1 (13x6, 6x3, 3x1, 1x1).
    ExpectRoundTrip(MakeImage(GetParam(), 13, 6, 4, false));
}

TEST_P(DdsRoundTrip, SingleLevel) { ExpectRoundTrip(MakeImage(GetParam(), 7, 20, 1, false)); }

TEST_P(DdsRoundTrip, CubeWithMips) { ExpectRoundTrip(MakeImage(GetParam(), 8, 8, 3, true)); }

INSTANTIATE_TEST_SUITE_P(AllFormats, DdsRoundTrip, ::testing::ValuesIn(kAllFormats),
                         [](const ::testing::TestParamInfo<Format>& info) { return FormatName(info.param); });

TEST(DdsRoundTripFile, WrittenFileReadsBackAndNoPartFileRemains) {
    testing::TempDir dir;
    const DdsImage image = MakeImage(Format::DXT5, 16, 16, 5, true);
    const std::string path = dir / "sky.dds";
    std::string error;
    // Written twice: the second replaces the first.
    ASSERT_TRUE(WriteDdsFile(path, MakeImage(Format::L8, 2, 2, 1, false), error)) << error;
    ASSERT_TRUE(WriteDdsFile(path, image, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    DdsImage back;
    ASSERT_TRUE(ReadDdsFile(path, back, error)) << error;
    EXPECT_EQ(back, image);
}

// ---------------------------------------------------------------------------
// Layout of the data: level sizes, offsets, faces.

TEST(DdsLayout, BlockFormatsRoundPartialBlocksUp) {
    const DdsImage dxt1 = MakeImage(Format::DXT1, 5, 3, 3, false);  // 5x3, 2x1, 1x1
    EXPECT_EQ(dxt1.LevelSize(0), 2u * 1 * 8);
    EXPECT_EQ(dxt1.LevelSize(1), 8u);
    EXPECT_EQ(dxt1.LevelSize(2), 8u);
    EXPECT_EQ(dxt1.data.size(), 32u);
    EXPECT_EQ(dxt1.LevelOffset(0, 2), 24u);

    // A file from elsewhere with exactly these bytes reads.
    HandHeader header;
    header.width = 5;
    header.height = 3;
    header.flags |= 0x20000;
    header.mipCount = 3;
    header.fourCC = MakeFourCC('D', 'X', 'T', '5');
    DdsImage image;
    std::string error;
    ASSERT_TRUE(Read(header.Make(2 * 16 + 16 + 16), image, error)) << error;
    EXPECT_EQ(image.format, Format::DXT5);
    EXPECT_EQ(image.levels, 3u);
    EXPECT_EQ(image.data.size(), 64u);
}

TEST(DdsLayout, CubeFacesComeInFileOrder) {
    // A cube written by hand: every byte of face f is f + 1. Face order in the
    // file is +X, -X, +Y, -Y, +Z, -Z, each face with all its levels.
    HandHeader header;
    header.width = header.height = 4;
    header.flags |= 0x20000;
    header.mipCount = 3;  // 4x4, 2x2, 1x1
    header.pixelFlags = 0x41;
    header.bits = 32;
    header.masks[0] = 0xff0000;
    header.masks[1] = 0xff00;
    header.masks[2] = 0xff;
    header.masks[3] = 0xff000000;
    header.caps2 = 0x200 | 0xfc00;
    const size_t faceBytes = (16 + 4 + 1) * 4;
    Bytes file = header.Make(0);
    for (uint8_t face = 0; face < 6; ++face) file.insert(file.end(), faceBytes, static_cast<uint8_t>(face + 1));

    DdsImage image;
    std::string error;
    ASSERT_TRUE(Read(file, image, error)) << error;
    ASSERT_TRUE(image.cube);
    ASSERT_EQ(image.FaceCount(), 6u);
    ASSERT_EQ(image.data.size(), 6 * faceBytes);
    for (uint32_t face = 0; face < 6; ++face) {
        for (uint32_t level = 0; level < 3; ++level) {
            const size_t at = image.LevelOffset(face, level);
            const size_t size = image.LevelSize(level);
            EXPECT_EQ(at, face * faceBytes + (level == 0 ? 0 : level == 1 ? 64 : 80));
            for (size_t i = 0; i < size; ++i)
                ASSERT_EQ(image.data[at + i], face + 1) << "face " << face << " level " << level << " byte " << i;
        }
    }
    // Written back, the faces stay in the same place.
    const Bytes written = WriteDds(image);
    ASSERT_EQ(written.size(), file.size());
    EXPECT_TRUE(std::equal(written.begin() + 128, written.end(), file.begin() + 128));
}

TEST(DdsLayout, WrittenHeaderCarriesTheFieldsOtherReadersLookAt) {
    // Our reader ignores pitch, linear size and caps; other programs do not.
    const Bytes plain = WriteDds(MakeImage(Format::A8R8G8B8, 10, 3, 1, false));
    EXPECT_EQ(Get32(plain, 8), 0x1u | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
    EXPECT_EQ(Get32(plain, 20), 40u);                             // row pitch
    EXPECT_EQ(Get32(plain, 108), 0x1000u);                        // texture
    const Bytes cube = WriteDds(MakeImage(Format::DXT1, 8, 8, 4, true));
    EXPECT_EQ(Get32(cube, 8), 0x1u | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000);  // + mip count, linear size
    EXPECT_EQ(Get32(cube, 20), 4u * 8);                                       // top level: four blocks
    EXPECT_EQ(Get32(cube, 108), 0x1000u | 0x8 | 0x400000);                    // texture, complex, mipmap
    EXPECT_EQ(Get32(cube, 112), 0x200u | 0xfc00);                             // cube map, all six faces
}

// ---------------------------------------------------------------------------
// Header forms other writers use.

TEST(DdsHeaderForms, ExtendedHeaderFormatsReadAsTheirTwins) {
    const struct {
        uint32_t dxgi;
        Format format;
    } cases[] = {
        {2, Format::A32B32G32R32F}, {10, Format::A16B16G16R16F}, {16, Format::G32R32F}, {28, Format::A8B8G8R8},
        {29, Format::A8B8G8R8},     {34, Format::G16R16F},       {41, Format::R32F},    {54, Format::R16F},
        {71, Format::DXT1},         {72, Format::DXT1},          {74, Format::DXT3},    {75, Format::DXT3},
        {77, Format::DXT5},         {78, Format::DXT5},          {87, Format::A8R8G8B8}, {88, Format::X8R8G8B8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("DXGI format " + std::to_string(c.dxgi));
        HandHeader header;
        header.extended = true;
        header.dxgi = c.dxgi;
        header.width = 6;
        header.height = 5;
        DdsImage image;
        std::string error;
        ASSERT_TRUE(Read(header.Make(ImageByteSize(c.format, 6, 5)), image, error)) << error;
        EXPECT_EQ(image.format, c.format);
        EXPECT_FALSE(image.cube);
        // Written back in the legacy form, it reads as the same image.
        DdsImage again;
        ASSERT_TRUE(Read(WriteDds(image), again, error)) << error;
        EXPECT_EQ(again, image);
    }
}

TEST(DdsHeaderForms, ExtendedHeaderCubeFlag) {
    HandHeader header;
    header.extended = true;
    header.dxgi = 10;
    header.misc = 0x4;
    header.width = header.height = 2;
    DdsImage image;
    std::string error;
    ASSERT_TRUE(Read(header.Make(6 * 2 * 2 * 8), image, error)) << error;
    EXPECT_TRUE(image.cube);
    EXPECT_EQ(image.data.size(), 6u * 32);
}

TEST(DdsHeaderForms, MipCountZeroOrWithoutItsFlagMeansOneLevel) {
    HandHeader header;
    header.fourCC = MakeFourCC('D', 'X', 'T', '1');
    header.width = header.height = 8;
    DdsImage image;
    std::string error;

    header.flags |= 0x20000;
    header.mipCount = 0;
    ASSERT_TRUE(Read(header.Make(32), image, error)) << error;
    EXPECT_EQ(image.levels, 1u);

    header.flags &= ~0x20000u;
    header.mipCount = 4;  // ignored: the flag is absent
    ASSERT_TRUE(Read(header.Make(32 + 8 + 8 + 8), image, error)) << error;
    EXPECT_EQ(image.levels, 1u);
    EXPECT_EQ(image.data.size(), 32u);  // the bytes after level 0 are trailing bytes
}

TEST(DdsHeaderForms, MaskFormatsFromOtherWriters) {
    DdsImage image;
    std::string error;
    HandHeader header;
    header.width = header.height = 2;
    header.pixelFlags = 0x40;  // RGB, no alpha flag: the alpha mask is not looked at
    header.bits = 32;
    header.masks[0] = 0xff;
    header.masks[1] = 0xff00;
    header.masks[2] = 0xff0000;
    header.masks[3] = 0xff000000;
    ASSERT_TRUE(Read(header.Make(16), image, error)) << error;
    EXPECT_EQ(image.format, Format::X8B8G8R8);

    header.pixelFlags = 0x20000;  // luminance with its mask copied to G and B
    header.bits = 8;
    header.masks[1] = header.masks[2] = 0xff;
    header.masks[3] = 0;
    ASSERT_TRUE(Read(header.Make(4), image, error)) << error;
    EXPECT_EQ(image.format, Format::L8);

    header.pixelFlags = 0x20001;
    header.bits = 16;
    header.masks[3] = 0xff00;
    ASSERT_TRUE(Read(header.Make(8), image, error)) << error;
    EXPECT_EQ(image.format, Format::A8L8);
}

// ---------------------------------------------------------------------------
// Damaged files: refused with the offset, never read past the end.

struct Damage {
    const char* what;
    void (*apply)(Bytes&);
    const char* message;  // the whole message after "t.dds: "
};

TEST(DdsDamage, DamagedHeadersAreRefusedNamingTheOffset) {
    // A valid 8 x 8 A8R8G8B8 file with 2 levels, 320 bytes of data.
    const Bytes good = WriteDds(MakeImage(Format::A8R8G8B8, 8, 8, 2, false));
    const Damage damages[] = {
        {"bad magic", [](Bytes& b) { b[3] = 'X'; }, "offset 0: not a DDS file (no \"DDS \" magic)"},
        {"header size", [](Bytes& b) { Set32(b, 4, 100); }, "offset 4: header size 100, expected 124"},
        {"pixel format size", [](Bytes& b) { Set32(b, 76, 24); }, "offset 76: pixel format size 24, expected 32"},
        {"width 0", [](Bytes& b) { Set32(b, 16, 0); }, "offset 16: width 0 outside 1..16384"},
        {"huge height", [](Bytes& b) { Set32(b, 12, 16385); }, "offset 12: height 16385 outside 1..16384"},
        {"huge width", [](Bytes& b) { Set32(b, 16, 0xffffffff); }, "offset 16: width 4294967295 outside 1..16384"},
        {"too many mips", [](Bytes& b) { Set32(b, 28, 5); },
         "offset 28: 5 mip levels, more than the 4 of a full chain for 8 x 8"},
        {"unknown fourCC",
         [](Bytes& b) {
             Set32(b, 80, 0x4);
             Set32(b, 84, MakeFourCC('A', 'T', 'I', '2'));
         },
         "offset 84: unsupported pixel format (fourCC 'ATI2')"},
        {"numeric fourCC",
         [](Bytes& b) {
             Set32(b, 80, 0x4);
             Set32(b, 84, 36);
         },
         "offset 84: unsupported pixel format (fourCC 36)"},
        {"masks that match nothing",
         [](Bytes& b) {
             Set32(b, 88, 16);
             Set32(b, 92, 0xf800);
             Set32(b, 96, 0x7e0);
             Set32(b, 100, 0x1f);
             Set32(b, 80, 0x40);
         },
         "offset 88: unsupported pixel format (RGB, 16 bits, masks R 0xf800 G 0x7e0 B 0x1f A 0x0)"},
        {"swapped masks", [](Bytes& b) { Set32(b, 96, 0xff); Set32(b, 100, 0xff00); },
         "offset 88: unsupported pixel format (RGB, 32 bits, masks R 0xff0000 G 0xff B 0xff00 A 0xff000000)"},
        {"no kind of pixel format", [](Bytes& b) { Set32(b, 80, 0x2); },
         "offset 80: unsupported pixel format (flags 0x2)"},
        {"partial cube", [](Bytes& b) { Set32(b, 112, 0x200 | 0x400 | 0x800 | 0x1000 | 0x8000); },
         "offset 112: partial cube map (faces -Y +Z missing)"},
        {"volume", [](Bytes& b) { Set32(b, 112, 0x200000); }, "offset 112: volume textures are not supported"},
        {"depth", [](Bytes& b) { Set32(b, 8, Get32(b, 8) | 0x800000); Set32(b, 24, 4); },
         "offset 24: volume textures are not supported (depth 4)"},
        {"cube of non-square faces", [](Bytes& b) { Set32(b, 112, 0xfe00); Set32(b, 12, 4); },
         "offset 12: cube map faces are not square (8 x 4)"},
        {"cube missing its last face's data", [](Bytes& b) { Set32(b, 112, 0xfe00); },
         "offset 448: image data truncated (1920 bytes needed from offset 128, 320 present)"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        Bytes bytes = good;
        damage.apply(bytes);
        DdsImage image;
        std::string error;
        EXPECT_FALSE(Read(bytes, image, error));
        EXPECT_EQ(error, std::string("t.dds: ") + damage.message);
    }
}

TEST(DdsDamage, DamagedExtendedHeadersAreRefused) {
    HandHeader base;
    base.extended = true;
    base.dxgi = 28;
    const struct {
        const char* what;
        void (*apply)(HandHeader&);
        const char* message;
    } damages[] = {
        {"unknown DXGI format", [](HandHeader& h) { h.dxgi = 98; },
         "offset 128: unsupported pixel format (DXGI format 98)"},
        {"volume", [](HandHeader& h) { h.dimension = 4; }, "offset 132: volume textures are not supported"},
        {"1D", [](HandHeader& h) { h.dimension = 2; }, "offset 132: 1D textures are not supported"},
        {"odd dimension", [](HandHeader& h) { h.dimension = 9; }, "offset 132: unknown resource dimension 9"},
        {"array", [](HandHeader& h) { h.arraySize = 3; }, "offset 140: texture arrays are not supported (array size 3)"},
        {"cube array", [](HandHeader& h) { h.misc = 4; h.arraySize = 2; },
         "offset 140: texture arrays are not supported (array size 2)"},
        {"empty array", [](HandHeader& h) { h.arraySize = 0; }, "offset 140: array size 0"},
        {"cube without all faces' data", [](HandHeader& h) { h.misc = 4; },
         "offset 212: image data truncated (384 bytes needed from offset 148, 64 present)"},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.what);
        HandHeader header = base;
        damage.apply(header);
        DdsImage image;
        std::string error;
        EXPECT_FALSE(Read(header.Make(64), image, error));
        EXPECT_EQ(error, std::string("t.dds: ") + damage.message);
    }
    // The extended header itself cut short.
    Bytes cut = base.Make(0);
    cut.resize(140);
    DdsImage image;
    std::string error;
    EXPECT_FALSE(Read(cut, image, error));
    EXPECT_EQ(error, "t.dds: offset 140: file ends inside the extended header (148 bytes needed)");
}

TEST(DdsDamage, EveryTruncationIsRefusedAtTheOffsetWhereTheFileEnds) {
    // Read from a copy of exactly the truncated length, so that a read past
    // the end is a read outside the allocation (caught under the sanitizers).
    const Bytes whole = WriteDds(MakeImage(Format::DXT3, 8, 8, 4, true));
    for (size_t length = 0; length < whole.size(); ++length) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        DdsImage image;
        std::string error;
        ASSERT_FALSE(Read(cut, image, error)) << "length " << length;
        const std::string offset = length < 4 ? "offset 0:" : "offset " + std::to_string(length) + ":";
        ASSERT_NE(error.find(offset), std::string::npos) << error;
    }
}

TEST(DdsDamage, HugeImageClaimedByATinyFileIsRefusedBeforeAllocating) {
    // 16384 x 16384 x 16 bytes, six faces, fifteen levels: about 34 GB claimed.
    HandHeader header;
    header.width = header.height = 16384;
    header.flags |= 0x20000;
    header.mipCount = 15;
    header.fourCC = 116;
    header.caps2 = 0xfe00;
    DdsImage image;
    std::string error;
    EXPECT_FALSE(Read(header.Make(1000), image, error));
    EXPECT_NE(error.find("offset 1128: image data truncated (34359738336 bytes needed"), std::string::npos) << error;
}

TEST(DdsDamage, RefusedReadLeavesTheImageAsItWas) {
    DdsImage image = MakeImage(Format::L8, 3, 3, 1, false);
    const DdsImage before = image;
    Bytes bytes = WriteDds(MakeImage(Format::A8L8, 4, 4, 1, false));
    bytes.pop_back();
    std::string error;
    EXPECT_FALSE(Read(bytes, image, error));
    EXPECT_EQ(image, before);
}

TEST(DdsDamage, TrailingBytesAreIgnored) {
    const DdsImage image = MakeImage(Format::R32F, 3, 2, 2, false);
    Bytes bytes = WriteDds(image);
    bytes.insert(bytes.end(), 100, 0xee);
    DdsImage back;
    std::string error;
    ASSERT_TRUE(Read(bytes, back, error)) << error;
    EXPECT_EQ(back, image);
}

// ---------------------------------------------------------------------------
// Files and what the writer refuses.

TEST(DdsFiles, FileErrorsNameThePathAndTheReason) {
    testing::TempDir dir;
    DdsImage image;
    std::string error;
    const std::string missing = dir / "missing.dds";
    EXPECT_FALSE(ReadDdsFile(missing, image, error));
    EXPECT_EQ(error, missing + ": cannot read (No such file or directory)");

    EXPECT_FALSE(ReadDdsFile(dir.Path().string(), image, error));
    EXPECT_EQ(error, dir.Path().string() + ": cannot read (not a regular file (a directory))");

    // Neither a device that never ends nor a FIFO without a writer is read:
    // refused at once, before a byte.
    EXPECT_FALSE(ReadDdsFile("/dev/zero", image, error));
    EXPECT_EQ(error, "/dev/zero: cannot read (not a regular file (a character device))");
    const std::string fifo = dir / "pipe.dds";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadDdsFile(fifo, image, error));
    EXPECT_EQ(error, fifo + ": cannot read (not a regular file (a FIFO))");

    const std::string nowhere = dir / "no/such/folder/x.dds";
    EXPECT_FALSE(WriteDdsFile(nowhere, MakeImage(Format::L8, 1, 1, 1, false), error));
    EXPECT_EQ(error, nowhere + ": cannot be written (No such file or directory)");

    // Messages about the content carry the path as the name.
    const std::string text = dir / "notes.dds";
    std::ofstream(text) << "not an image";
    EXPECT_FALSE(ReadDdsFile(text, image, error));
    EXPECT_EQ(error, text + ": offset 0: not a DDS file (no \"DDS \" magic)");
}

TEST(DdsFiles, MessageNamesTheFileTheOffsetAndTheFourCC) {
    HandHeader header;
    header.fourCC = MakeFourCC('A', 'T', 'I', '2');
    DdsImage image;
    std::string error;
    EXPECT_FALSE(ReadDds(header.Make(16), "media/cubes/sky.dds", image, error));
    EXPECT_EQ(error, "media/cubes/sky.dds: offset 84: unsupported pixel format (fourCC 'ATI2')");
}

TEST(DdsFiles, WriterRefusesImagesNoReaderWouldTakeBack) {
    testing::TempDir dir;
    const struct {
        const char* what;
        DdsImage image;
        const char* problem;
    } cases[] = {
        {"depth format", MakeImage(Format::D24S8, 2, 2, 1, false),
         "format D24S8 (75) cannot be stored in a DDS file"},
        {"no format", DdsImage{}, "format unknown (0) cannot be stored in a DDS file"},
        {"zero width", MakeImage(Format::L8, 0, 2, 1, false), "width 0 outside 1..16384"},
        {"too wide", MakeImage(Format::L8, 16385, 1, 1, false), "width 16385 outside 1..16384"},
        {"non-square cube", MakeImage(Format::L8, 4, 2, 1, true), "cube map faces are not square (4 x 2)"},
        {"no levels", MakeImage(Format::L8, 4, 4, 0, false), "0 mip levels"},
        {"too many levels", MakeImage(Format::L8, 4, 4, 4, false),
         "4 mip levels, more than the 3 of a full chain for 4 x 4"},
        {"short data", [] { DdsImage i = MakeImage(Format::DXT1, 4, 4, 1, false); i.data.pop_back(); return i; }(),
         "data is 7 bytes, the image needs 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(WriteDds(c.image).empty());
        std::string problem, error;
        EXPECT_FALSE(CheckDdsImage(c.image, problem));
        EXPECT_EQ(problem, c.problem);
        const std::string path = dir / "refused.dds";
        EXPECT_FALSE(WriteDdsFile(path, c.image, error));
        EXPECT_EQ(error, path + ": " + c.problem);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

}  // namespace
}  // namespace jolp
