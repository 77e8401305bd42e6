#include "runner/frame_capture.h"

#include "runner/png_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace jolp {

std::string FrameCapture::FileName(uint64_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(index));
    return name;
}

std::unique_ptr<FrameCapture> FrameCapture::Create(const std::string& dir, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code made;
    fs::create_directories(dir, made);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        // The reason creating it failed, not that of the look that followed.
        error = dir + ": cannot create the capture folder (" + (made ? made : ec).message() + ")";
        return nullptr;
    }
    const fs::path probe = fs::path(dir) / ".frame-write-test";
    if (FILE* f = std::fopen(probe.c_str(), "wb")) {
        std::fclose(f);
        fs::remove(probe, ec);
    } else {
        error = dir + ": the capture folder is not writable (" + std::strerror(errno) + ")";
        return nullptr;
    }
    std::unique_ptr<FrameCapture> capture(new FrameCapture());
    capture->dir_ = dir;
    capture->path_.resize(dir.size() + 64);
    return capture;
}

bool FrameCapture::TakeFrame(const FramePicture& frame, std::string& error) {
    std::snprintf(path_.data(), path_.size(), "%s/frame_%06llu.png", dir_.c_str(),
                  static_cast<unsigned long long>(frame.index));
    if (!WritePngFile(path_.data(), frame.width, frame.height, frame.rgb, error)) {
        error = "frame " + std::to_string(frame.index) + ": " + error;
        return false;
    }
    ++written_;
    return true;
}

}  // namespace jolp
