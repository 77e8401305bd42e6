#include "runner/png_file.h"

#include <stb/stb_image_write.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace jolp {
namespace {

struct PngSink {
    std::FILE* file = nullptr;
    int error = 0;  // errno of the first failed write, 0 while all went well
};

extern "C" void WritePngBytes(void* context, void* data, int size) {
    auto* sink = static_cast<PngSink*>(context);
    if (sink->error != 0 || size <= 0) return;
    errno = 0;
    if (std::fwrite(data, 1, static_cast<size_t>(size), sink->file) != static_cast<size_t>(size)) {
        sink->error = errno != 0 ? errno : EIO;
    }
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
    const int w = static_cast<int>(width);
    const int encoded = stbi_write_png_to_func(&WritePngBytes, &sink, w, static_cast<int>(height), 3, rgb, w * 3);
    if (encoded == 0 && sink.error == 0) sink.error = ENOMEM;  // stb gives up only when it cannot allocate
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
