#include "framework/frame_capture.h"

#include <SDL2/SDL_timer.h>
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
                                                   uint64_t totalFrames, std::string& error) {
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
    capture->total_ = totalFrames;
    capture->pixels_.resize(static_cast<size_t>(width) * height * 3);
    capture->path_.resize(dir.size() + 64);
    capture->startTicks_ = SDL_GetTicks64();
    capture->lastReportTicks_ = capture->startTicks_;
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
    ReportProgress(written_ == total_);
    return true;
}

void FrameCapture::ReportProgress(bool last) {
    const uint64_t now = SDL_GetTicks64();
    if (!last && now - lastReportTicks_ < 2000) return;
    lastReportTicks_ = now;
    const double seconds = static_cast<double>(now - startTicks_) / 1000.0;
    const double fps = seconds > 0.0 ? static_cast<double>(written_) / seconds : 0.0;
    std::fprintf(stderr, "tarvel: captured %llu of %llu frames (%.1f frames/s)\n",
                 static_cast<unsigned long long>(written_), static_cast<unsigned long long>(total_), fps);
}

}  // namespace jolp
