#include "tests/demo/data_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace jolp::testing {
namespace {

namespace fs = std::filesystem;

bool IsUnder(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (p == path.end() || *p != *f) return false;
    }
    return true;
}

void LinkFolder(const fs::path& from, const fs::path& to, const fs::path& relative,
                const std::vector<fs::path>& leaveOut) {
    std::error_code ec;
    fs::create_directories(to / relative, ec);
    ASSERT_FALSE(ec) << to / relative << ": " << ec.message();
    for (const auto& entry : fs::directory_iterator(from / relative)) {
        const fs::path inner = relative / entry.path().filename();
        if (std::find(leaveOut.begin(), leaveOut.end(), inner) != leaveOut.end()) continue;
        const bool holdsOne = std::any_of(leaveOut.begin(), leaveOut.end(),
                                          [&](const fs::path& out) { return IsUnder(out, inner); });
        if (holdsOne && entry.is_directory()) {
            ASSERT_NO_FATAL_FAILURE(LinkFolder(from, to, inner, leaveOut));
            continue;
        }
        fs::create_symlink(fs::absolute(entry.path()), to / inner, ec);
        ASSERT_FALSE(ec) << to / inner << ": " << ec.message();
    }
}

}  // namespace

void LinkDataFolder(const fs::path& from, const fs::path& to, const std::vector<fs::path>& leaveOut) {
    for (const fs::path& out : leaveOut) ASSERT_TRUE(fs::exists(from / out)) << from / out << " is not in the data";
    LinkFolder(from, to, {}, leaveOut);
}

std::string FrameName(uint64_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(frame));
    return name;
}

}  // namespace jolp::testing
