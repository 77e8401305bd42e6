// The whole demo twice in one process, headless on the real OpenGL device
// over the generated content, drawing every frame at a low size and rate,
// with the process's resident memory sampled all along: what one run of
// MyDemo takes it gives back, so a second run reaches no higher peak and
// ends no higher than the first. The first run pays once for what stays
// for the process's life (the EGL display, the driver's libraries and
// compiled code); a leak of anything the demo loads or makes per run, on
// the heap or in the driver, shows as growth in the second.
#include "demo/my_demo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

namespace tarvel {
namespace {

constexpr double kMiB = 1024.0 * 1024.0;

// Resident bytes of this process, from /proc/self/statm; 0 when it cannot
// be read. Reads into a stack buffer so that sampling allocates nothing.
uint64_t ResidentBytes() {
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[128];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return 0;
    text[n] = '\0';
    unsigned long long size = 0, resident = 0;
    if (std::sscanf(text, "%llu %llu", &size, &resident) != 2) return 0;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Samples resident memory every 50 ms on a thread of its own and keeps the
// highest value seen since the last Take.
class PeakSampler {
public:
    PeakSampler() : thread_([this] { Loop(); }) {}
    ~PeakSampler() {
        stop_ = true;
        thread_.join();
    }
    // The peak since the previous call (at least the value now), and
    // starts a new span.
    uint64_t Take() {
        const uint64_t now = ResidentBytes();
        return std::max(peak_.exchange(now), now);
    }

private:
    void Loop() {
        while (!stop_) {
            const uint64_t now = ResidentBytes();
            uint64_t seen = peak_.load();
            while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> peak_{0};
    std::thread thread_;
};

struct Pass {
    uint64_t peak = 0;  // highest resident memory from start to destruction
    uint64_t end = 0;   // resident memory once the demo is destroyed
    uint64_t frames = 0;
};

// One whole run of the demo: 205 s of music at 2 frames a second, every
// frame drawn into a 96 x 54 back buffer and presented, nothing written.
void RunOnce(PeakSampler& sampler, Pass& pass) {
    sampler.Take();
    {
        jolp::RunConfig config;
        config.headless = true;
        config.width = 96;
        config.height = 54;
        config.fpsNum = 2;
        MyDemo demo(config);
        ASSERT_TRUE(demo.Init(kTitle));
        ASSERT_TRUE(demo.Run(kMusicPath));
        pass.frames = demo.FrameCount();
    }
    pass.peak = sampler.Take();
    // What is still held, not what the allocator keeps free for later: the
    // freed blocks of a run stay in the heap, and how many of its pages
    // can go back depends on where the last live ones happen to lie.
    malloc_trim(0);
    pass.end = ResidentBytes();
}

// Two runs of the same demo in one process differ in where the allocator
// puts things and in the moments the sampler happens to catch, so the
// same work measures a little differently: here the peaks of the two runs
// differed by up to 2 MiB either way, and their ends (after trimming) by
// under 0.5 MiB, the second higher by 0.2 to 0.3 MiB. The tolerances are
// three and four times that. A leak of what a run loads is larger: the
// scene file alone is 3.6 MiB, the light cube 2 MiB, the textures of
// media/texs together several times that once decoded with their mips.
constexpr double kPeakToleranceMiB = 6.0;
constexpr double kEndToleranceMiB = 2.0;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

TEST(SoakTest, ASecondWholeRunInTheSameProcessNeedsNoMoreMemoryThanTheFirst) {
    // AddressSanitizer holds freed memory back (its quarantine, a quarter of
    // a gigabyte) and has its own allocator: resident memory says nothing of
    // leaks there. LeakSanitizer checks this test's two runs instead.
    if (kUnderAddressSanitizer) GTEST_SKIP() << "resident memory is not comparable under AddressSanitizer";
    const std::filesystem::path before = std::filesystem::current_path();
    // Every path the demo reads is relative to the data folder.
    std::filesystem::current_path(TARVEL_RUN_DIR);
    // Large blocks (file contents, decoded images) always straight from the
    // system and back to it when freed, rather than from the heap once the
    // allocator has seen a few: otherwise the holes they leave make the
    // second run's peak wander by several MiB.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    PeakSampler sampler;
    const uint64_t start = ResidentBytes();
    ASSERT_GT(start, 0u) << "/proc/self/statm cannot be read";
    Pass first, second;
    ASSERT_NO_FATAL_FAILURE(RunOnce(sampler, first));
    ASSERT_NO_FATAL_FAILURE(RunOnce(sampler, second));
    std::filesystem::current_path(before);

    EXPECT_EQ(first.frames, 410u) << "two frames a second for the music's 205 s";
    EXPECT_EQ(second.frames, first.frames);
    std::printf("resident memory: %.1f MiB at the start; first run peak %.1f, end %.1f; second run peak %.1f, "
                "end %.1f MiB\n",
                start / kMiB, first.peak / kMiB, first.end / kMiB, second.peak / kMiB, second.end / kMiB);
    EXPECT_LE(second.peak / kMiB, first.peak / kMiB + kPeakToleranceMiB) << "the second run reached a higher peak";
    EXPECT_LE(second.end / kMiB, first.end / kMiB + kEndToleranceMiB) << "the second run left more behind";
}

}  // namespace
}  // namespace tarvel
