// sync_track_reader_fuzz.cpp - libFuzzer target for the sync track reader.
//
// Any input must be read or refused without a crash or an out-of-bounds
// read. A refusal must name the offset and leave no keys; keys that are read
// must be in row order, evaluate at every key to that key's value, and write
// back to the same bytes.
#include "framework/sync_tracks.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<jolp::SyncKey> keys;
    std::string error;
    if (!jolp::ParseSyncTrack(data, size, keys, error)) {
        if (error.rfind("offset ", 0) != 0 || !keys.empty()) std::abort();
        return 0;
    }
    for (size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].row <= keys[i - 1].row) std::abort();
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        const jolp::SyncKey& key = keys[i];
        const double at = jolp::SyncValue(keys, key.row);
        // An infinite value on either side of a curve makes it NaN (infinity
        // times 0), as in the tracker; finite keys are met exactly.
        const bool finite = std::isfinite(key.value) && (i + 1 == keys.size() || std::isfinite(keys[i + 1].value));
        if (finite && at != static_cast<double>(key.value)) std::abort();
        (void)jolp::SyncValue(keys, key.row + 0.5);
        (void)jolp::SyncValue(keys, key.row - 0.5);
    }
    if (jolp::SerializeSyncTrack(keys) != std::vector<uint8_t>(data, data + size)) std::abort();
    return 0;
}
