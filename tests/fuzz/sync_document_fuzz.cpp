// sync_document_fuzz.cpp - libFuzzer target for the editor document reader.
//
// Any text must be read or refused without a crash or an out-of-bounds
// read. A refusal must name the line and leave no tracks; tracks that are
// read must have their keys in increasing row order with known
// interpolations, and be named apart.
#include "framework/sync_document.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    jolp::SyncDocument document;
    std::string error;
    if (!jolp::ParseSyncDocument(text, document, error)) {
        if (error.rfind("line ", 0) != 0 || !document.tracks.empty()) std::abort();
        return 0;
    }
    std::set<std::string> names;
    for (const jolp::SyncDocumentTrack& track : document.tracks) {
        if (!names.insert(track.name).second) std::abort();
        for (size_t i = 0; i < track.keys.size(); ++i) {
            if (track.keys[i].interpolation > jolp::SyncInterpolation::Ramp) std::abort();
            if (i > 0 && track.keys[i].row <= track.keys[i - 1].row) std::abort();
        }
    }
    return 0;
}
