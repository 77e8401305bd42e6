#include "runner/png_file.h"

#include "platform/file_write.h"

#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace jolp {
namespace {

// The file being written; the first failed write is kept (by the file)
// and stops the rest.
struct PngSink {
    OutputFile& file;
    bool failed = false;

    void Put(const void* data, size_t size) {
        if (failed || size == 0) return;
        failed = !file.Write(data, size);
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
    for (uint32_t y = 0; y < height && ok && !sink.failed; ++y) {
        const uint8_t* line = rgb + stride * y;
        row[0] = 1;  // Sub
        std::memcpy(&row[1], line, 3);
        for (size_t x = 3; x < stride; ++x) row[1 + x] = static_cast<uint8_t>(line[x] - line[x - 3]);
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        ok = drain(Z_NO_FLUSH) == Z_OK;
    }
    if (ok && !sink.failed) ok = drain(Z_FINISH) == Z_STREAM_END;
    deflateEnd(&z);
    return ok;
}

}  // namespace

bool WritePngFile(const std::string& path, uint32_t width, uint32_t height, const uint8_t* rgb, std::string& error) {
    OutputFile file;
    return WritePngFile(file, path, width, height, rgb, error);
}

bool WritePngFile(OutputFile& file, std::string_view path, uint32_t width, uint32_t height, const uint8_t* rgb,
                  std::string& error) {
    if (width == 0 || height == 0 || width > INT_MAX / 3 || height > INT_MAX) {
        error = std::string(path) + ": cannot be written (a " + std::to_string(width) + " x " +
                std::to_string(height) + " picture)";
        return false;
    }
    if (!file.Open(path, error)) return false;
    PngSink sink{file};
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
    if (!encoded && !sink.failed) {
        // zlib gives up only when it cannot allocate
        file.Abandon();
        error = std::string(path) + ": cannot be written (" + std::strerror(ENOMEM) + ")";
        return false;
    }
    sink.PutChunk("IEND", nullptr, 0);
    return file.Commit(error);
}

}  // namespace jolp
