// timeline.h - the edit of Tarvel: the twenty camera shots on the root's
// clock and the spans in which the particle effects live. BuildTimeline
// makes its tracks from these tables; tests read them too.
#pragma once

#include <array>
#include <cstdint>

namespace tarvel {

struct Shot {
    const char* camera;  // the scene camera the shot looks through
    uint32_t startMs;    // root time of its first frame
    uint32_t endMs;      // root time of the next shot's first frame
};

// Each shot ends where the next begins; from the last end on no shot runs.
inline constexpr std::array<Shot, 20> kShots = {{
    {"Camera01", 0, 5000},
    {"Camera02", 5000, 10000},
    {"Camera03", 10000, 13600},
    {"Camera04", 13600, 22300},
    {"Camera05", 22300, 31200},
    {"Camera06", 31200, 40100},
    {"Camera07", 40100, 51200},
    {"Camera08", 51200, 66000},
    {"Camera09", 66000, 95400},
    {"Camera10", 95400, 104400},
    {"Camera11", 104400, 112700},
    {"Camera12", 112700, 130100},
    {"Camera13", 130100, 133800},
    {"Camera14", 133800, 139400},
    {"Camera15", 139400, 145000},
    {"Camera16", 145000, 149300},
    {"Camera17", 149300, 155000},
    {"Camera18", 155000, 158600},
    {"Camera19", 158600, 175600},
    {"Camera20", 175600, 204400},
}};

// Every shot fades in from black and out to black over this many seconds.
inline constexpr float kShotFadeSeconds = 0.75f;
// The camera's clipping planes in every shot.
inline constexpr float kCameraNear = 1.0f;
inline constexpr float kCameraFar = 5000.0f;

// The four coloured swarms follow Dummy01 to Dummy04 from 85 to 120 s.
inline constexpr uint32_t kSwarmStartMs = 85000;
inline constexpr uint32_t kSwarmEndMs = 120000;
// The wind and the fire follow wind_dummy and fire_dummy from 145 to 176.2 s.
inline constexpr uint32_t kWindFireStartMs = 145000;
inline constexpr uint32_t kWindFireEndMs = 176200;

// The emitter tracks under the swarm controller run on its clock from 0 and
// are ended by it.
inline constexpr uint32_t kSwarmEmitterEndMs = 120000;

}  // namespace tarvel
