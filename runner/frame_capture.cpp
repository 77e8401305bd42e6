#include "runner/frame_capture.h"

#include "platform/file_write.h"
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
    if (!CheckWritableFolder(dir, error)) return nullptr;
    std::unique_ptr<FrameCapture> capture(new FrameCapture());
    capture->dir_ = dir;
    capture->path_.resize(dir.size() + 64);
    capture->failure_.reserve(dir.size() + 256);
    try {
        capture->writer_ = std::thread(&FrameCapture::WriteFrames, capture.get());
    } catch (const std::system_error& e) {
        // No thread to spare (a limit on processes or on memory).
        error = dir + ": cannot start the thread that writes the frames (" + e.code().message() + ")";
        return nullptr;
    }
    return capture;
}

FrameCapture::~FrameCapture() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !hasFrame_; });
        stop_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable()) writer_.join();
}

void FrameCapture::WriteFrames() {
    std::string error;
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return hasFrame_ || stop_; });
        if (!hasFrame_) return;
        const FramePicture frame = pending_;
        lock.unlock();
        const bool ok = WritePngFile(file_, path_.data(), frame.width, frame.height, frame.rgb, error);
        lock.lock();
        if (ok) {
            ++written_;
        } else {
            failed_ = true;
            failure_ = "frame " + std::to_string(frame.index) + ": " + error;
        }
        hasFrame_ = false;
        lock.unlock();
        changed_.notify_all();
    }
}

bool FrameCapture::TakeFrame(const FramePicture& frame, std::string& error) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !hasFrame_; });
    if (failed_) {
        reported_ = true;
        error = failure_;
        return false;
    }
    std::snprintf(path_.data(), path_.size(), "%s/frame_%06llu.png", dir_.c_str(),
                  static_cast<unsigned long long>(frame.index));
    const size_t size = static_cast<size_t>(frame.width) * frame.height * 3;
    if (pixels_.size() != size) pixels_.resize(size);  // the first frame
    if (frame.rgb) std::memcpy(pixels_.data(), frame.rgb, size);
    pending_ = frame;
    pending_.rgb = pixels_.data();
    hasFrame_ = true;
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool FrameCapture::Finish(std::string& error) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !hasFrame_; });
    if (!failed_ || reported_) return true;
    reported_ = true;
    error = failure_;
    return false;
}

uint64_t FrameCapture::Written() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

}  // namespace jolp
