#include "framework/frame_capture.h"

#include <stb/stb_image_write.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace jolp {

std::string FrameCapture::FileName(uint64_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(index));
    return name;
}

std::unique_ptr<FrameCapture> FrameCapture::Create(const std::string& dir, uint32_t width, uint32_t height,
                                                   std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) {
        error = dir + ": cannot create the capture folder" + (ec ? " (" + ec.message() + ")" : std::string());
        return nullptr;
    }
    const fs::path probe = fs::path(dir) / ".tarvel-write-test";
    if (FILE* f = std::fopen(probe.c_str(), "wb")) {
        std::fclose(f);
        fs::remove(probe, ec);
    } else {
        error = dir + ": the capture folder is not writable";
        return nullptr;
    }
    std::unique_ptr<FrameCapture> capture(new FrameCapture());
    capture->dir_ = dir;
    capture->width_ = width;
    capture->height_ = height;
    capture->pixels_.resize(static_cast<size_t>(width) * height * 3);
    capture->path_.resize(dir.size() + 64);
    return capture;
}

bool FrameCapture::Write(uint64_t index, GfxDevice& device, std::string& error) {
    if (!device.ReadBackBuffer(pixels_.data(), pixels_.size())) {
        error = "frame " + std::to_string(index) + ": the back buffer could not be read";
        return false;
    }
    std::snprintf(path_.data(), path_.size(), "%s/frame_%06llu.png", dir_.c_str(),
                  static_cast<unsigned long long>(index));
    if (!stbi_write_png(path_.data(), static_cast<int>(width_), static_cast<int>(height_), 3, pixels_.data(),
                        static_cast<int>(width_ * 3))) {
        error = std::string(path_.data()) + ": cannot be written";
        return false;
    }
    ++written_;
    return true;
}

}  // namespace jolp
