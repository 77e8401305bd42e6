#include "runner/png_file.h"

#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace jolp {
namespace {

// The file being written; the first failed write is kept and stops the rest.
struct PngSink {
    std::FILE* file = nullptr;
    int error = 0;  // errno of the first failed write, 0 while all went well

    void Put(const void* data, size_t size) {
        if (error != 0 || size == 0) return;
        errno = 0;
        if (std::fwrite(data, 1, size, file) != size) error = errno != 0 ? errno : EIO;
    }
    void PutChunk(const char (&type)[5], const uint8_t* data, uint32_t size) {
        const uint8_t head[8] = {static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                                 static_cast<uint8_t>(size >> 8),  static_cast<uint8_t>(size),
                                 static_cast<uint8_t>(type[0]),    static_cast<uint8_t>(type[1]),
                                 static_cast<uint8_t>(type[2]),    static_cast<uint8_t>(type[3])};
        uLong crc = crc32(0L, head + 4, 4);
        if (size) crc = crc32(crc, data, size);
        const uint8_t tail[4] = {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16),
                                 static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
        Put(head, sizeof head);
        Put(data, size);
        Put(tail, sizeof tail);
    }
};

void PutBigEndian(uint8_t* out, uint32_t v) {
    out[0] = static_cast<uint8_t>(v >> 24);
    out[1] = static_cast<uint8_t>(v >> 16);
    out[2] = static_cast<uint8_t>(v >> 8);
    out[3] = static_cast<uint8_t>(v);
}

// Deflates the rows, each behind PNG's "Sub" filter (every byte less the
// one a pixel to its left), into IDAT chunks. zlib's fastest level: a
// frame of --capture is encoded in about a quarter of the time the best
// level takes, and the files stay within a few percent of its size.
bool WriteImageData(PngSink& sink, uint32_t width, uint32_t height, const uint8_t* rgb) {
    z_stream z{};
    if (deflateInit(&z, 1) != Z_OK) return false;
    const size_t stride = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> row(stride + 1);
    uint8_t out[1 << 16];
    auto drain = [&](int flush) {
        int status = Z_OK;
        do {
            z.next_out = out;
            z.avail_out = sizeof out;
            status = deflate(&z, flush);
            const auto produced = static_cast<uint32_t>(sizeof out - z.avail_out);
            if (produced) sink.PutChunk("IDAT", out, produced);
        } while (z.avail_out == 0 && status == Z_OK);
        return status;
    };
    bool ok = true;
    for (uint32_t y = 0; y < height && ok && sink.error == 0; ++y) {
        const uint8_t* line = rgb + stride * y;
        row[0] = 1;  // Sub
        std::memcpy(&row[1], line, 3);
        for (size_t x = 3; x < stride; ++x) row[1 + x] = static_cast<uint8_t>(line[x] - line[x - 3]);
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        ok = drain(Z_NO_FLUSH) == Z_OK;
    }
    if (ok && sink.error == 0) ok = drain(Z_FINISH) == Z_STREAM_END;
    deflateEnd(&z);
    return ok;
}

}  // namespace

bool WritePngFile(const std::string& path, uint32_t width, uint32_t height, const uint8_t* rgb, std::string& error) {
    if (width == 0 || height == 0 || width > INT_MAX / 3 || height > INT_MAX) {
        error = path + ": cannot be written (a " + std::to_string(width) + " x " + std::to_string(height) +
                " picture)";
        return false;
    }
    PngSink sink;
    sink.file = std::fopen(path.c_str(), "wb");
    if (!sink.file) {
        error = path + ": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    static constexpr uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    sink.Put(kSignature, sizeof kSignature);
    uint8_t header[13] = {};
    PutBigEndian(header, width);
    PutBigEndian(header + 4, height);
    header[8] = 8;  // bits a channel
    header[9] = 2;  // RGB; compression, filter method and interlace 0
    sink.PutChunk("IHDR", header, sizeof header);
    bool encoded = false;
    try {
        encoded = WriteImageData(sink, width, height, rgb);
    } catch (const std::bad_alloc&) {
    }
    if (!encoded && sink.error == 0) sink.error = ENOMEM;  // zlib gives up only when it cannot allocate
    sink.PutChunk("IEND", nullptr, 0);
    errno = 0;
    if (sink.error == 0 && std::fflush(sink.file) != 0) sink.error = errno != 0 ? errno : EIO;
    errno = 0;
    if (std::fclose(sink.file) != 0 && sink.error == 0) sink.error = errno != 0 ? errno : EIO;
    if (sink.error != 0) {
        error = path + ": cannot be written (" + std::strerror(sink.error) + ")";
        std::remove(path.c_str());
        return false;
    }
    return true;
}

}  // namespace jolp
