// A FileWatcher polled every frame over a folder where nothing changes
// allocates nothing.
#include "runner/file_watcher.h"

#include "tests/support/allocation_counter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace jolp {
namespace {

TEST(FileWatcherAllocations, PollingAQuietFolderAllocatesNothing) {
    testing::TempDir dir;
    std::ofstream(dir / "a.fx") << "text";
    std::string error;
    auto watcher = FileWatcher::Open(dir.Path().string(), FileWatcher::Options{{".fx"}, std::chrono::milliseconds(0)},
                                     error);
    ASSERT_NE(watcher, nullptr) << error;
    // After a change has been reported too: its storage is kept.
    std::ofstream(dir / "a.fx") << "edited";
    bool reported = false;
    for (int i = 0; i < 500 && !reported; ++i) {
        reported = watcher->Poll();
        if (!reported) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(reported);

    const uint64_t before = testing::OwnAllocationCount();
    bool any = false;
    for (int i = 0; i < 1000; ++i) any = watcher->Poll() || any;
    const uint64_t after = testing::OwnAllocationCount();
    EXPECT_FALSE(any);
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace jolp
