// cut_table.h - the demo's edit as its author wrote it down, for the tests:
// kept apart from demo/timeline.h so that a slip in either shows.
#pragma once

#include <cstdint>

namespace tarvel::testing {

struct Cut {
    const char* camera;
    uint32_t start, end;  // root milliseconds
};
inline constexpr Cut kCutTable[] = {
    {"Camera01", 0, 5000},           {"Camera02", 5000, 10000},       {"Camera03", 10000, 13600},
    {"Camera04", 13600, 22300},      {"Camera05", 22300, 31200},      {"Camera06", 31200, 40100},
    {"Camera07", 40100, 51200},      {"Camera08", 51200, 66000},      {"Camera09", 66000, 95400},
    {"Camera10", 95400, 104400},     {"Camera11", 104400, 112700},    {"Camera12", 112700, 130100},
    {"Camera13", 130100, 133800},    {"Camera14", 133800, 139400},    {"Camera15", 139400, 145000},
    {"Camera16", 145000, 149300},    {"Camera17", 149300, 155000},    {"Camera18", 155000, 158600},
    {"Camera19", 158600, 175600},    {"Camera20", 175600, 204400},
};

}  // namespace tarvel::testing
