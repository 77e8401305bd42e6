// sync_tracks.h - parameter tracks keyed on rows of the music, as the GNU
// Rocket sync tracker edits them, and the player files it saves.
//
// A demo asks for its tracks by name once, at start-up, and keeps the
// handles; each frame it asks for a value at the row of the moment:
//
//   jolp::SyncTracks& sync = program.sync;
//   const jolp::SyncTracks::Handle glow = sync.Track("light:glow");   // start-up
//   ...
//   const float g = static_cast<float>(sync.Value(glow, program.SyncRowNow()));
//
// A name is UTF-8; "group:name" puts the track in a group in the editor.
// The row is seconds x beats per minute / 60 x rows per beat (SyncRow),
// fractional between the rows.
//
// Evaluation is the tracker's: the key at or before the row's whole part
// chooses how the value goes on to the next key (step: stays; linear;
// smooth: t^2 (3 - 2t); ramp: t^2), t being how far the row is from that key
// to the next. Before the first key the value is the first key's, at or
// after the last key the last one's, and a track without keys is 0. The
// arithmetic is in double, on the float values the keys hold. Value is a
// binary search: no allocation, no state.
//
// THE PLAYER FILE, one per track, sync/sync_<encoded name>.track inside the
// data folder (SyncTrackFile), little-endian:
//
//   int32  key count
//   per key, in increasing row order, 9 bytes:
//     int32  row
//     float  value (IEEE 754 single)
//     uint8  interpolation: 0 step, 1 linear, 2 smooth, 3 ramp
//
// and nothing after the last key. The encoded name keeps ASCII letters,
// digits, '.', '_' and '/'; every other byte becomes '-' and its two
// upper-case hex digits ("light:glow" -> "light-3Aglow").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jolp {

enum class SyncInterpolation : uint8_t { Step = 0, Linear = 1, Smooth = 2, Ramp = 3 };

struct SyncKey {
    int32_t row = 0;
    float value = 0.0f;
    SyncInterpolation interpolation = SyncInterpolation::Step;
};

// The row at seconds of the music: seconds x beatsPerMinute / 60 x rowsPerBeat.
inline double SyncRow(double seconds, double beatsPerMinute, double rowsPerBeat) {
    return seconds * beatsPerMinute / 60.0 * rowsPerBeat;
}

// The value of keys (sorted by row, each row once) at row.
double SyncValue(const std::vector<SyncKey>& keys, double row);

// The name as the file name holds it, and back. Decode is false for a text
// no name encodes to (a '-' without two upper-case hex digits after it, a
// byte that would have been escaped).
std::string EncodeSyncTrackName(std::string_view name);
bool DecodeSyncTrackName(std::string_view encoded, std::string& name);
// "sync/sync_<encoded name>.track": the track's file inside the data folder.
std::string SyncTrackFile(std::string_view name);
// The folder inside the data folder that holds the track files, and what
// their names begin and end with.
inline constexpr std::string_view kSyncFolder = "sync";
inline constexpr std::string_view kSyncFilePrefix = "sync_";
inline constexpr std::string_view kSyncFileSuffix = ".track";

// The file's bytes as keys. False with "offset N: problem" in error for a
// truncated file, a negative count, an unknown interpolation, rows out of
// order or bytes after the last key; keys is then empty.
bool ParseSyncTrack(const uint8_t* bytes, size_t size, std::vector<SyncKey>& keys, std::string& error);
std::vector<uint8_t> SerializeSyncTrack(const std::vector<SyncKey>& keys);

// Reads the track file path. Missing is true (and keys empty, the result
// false) when there is no such file. Otherwise false with "PATH: reason" or
// "PATH: offset N: problem" in error.
bool ReadSyncTrackFile(const std::string& path, std::vector<SyncKey>& keys, bool& missing, std::string& error);
// Writes the keys as the file path, whole or not at all.
bool WriteSyncTrackFile(const std::string& path, const std::vector<SyncKey>& keys, std::string& error);

class SyncTracks {
public:
    // Index of a track, in the order they were asked for.
    using Handle = uint32_t;

    // The track called name, made without keys the first time it is asked
    // for. Asking at start-up only: the handle stays valid, the memory of
    // the track list may move.
    Handle Track(std::string_view name);
    // Whether a track called name was asked for; its handle in handle.
    bool Find(std::string_view name, Handle& handle) const;

    size_t Count() const { return tracks_.size(); }
    const std::string& Name(Handle track) const { return tracks_[track].name; }
    const std::vector<SyncKey>& Keys(Handle track) const { return tracks_[track].keys; }

    // The track's value at row (see the top of this file). Allocates nothing.
    double Value(Handle track, double row) const { return SyncValue(tracks_[track].keys, row); }

    // The editor's operations: a key at its row, replacing the one there;
    // the key at row removed (false when there is none); every key at once
    // (sorted by row, each row once).
    void SetKey(Handle track, const SyncKey& key);
    bool DeleteKey(Handle track, int32_t row);
    void SetKeys(Handle track, std::vector<SyncKey> keys);

    // Reads every track asked for from its file in dataFolder (SyncTrackFile).
    // A missing file leaves the track without keys, with a warning naming
    // it; a file that cannot be read or is malformed is an error naming it
    // and its offset, and makes the result false (the other tracks still
    // load).
    bool Load(std::string_view dataFolder);
    // Writes every track as its file in dataFolder, whose sync folder must
    // exist. False with "PATH: reason" in error at the first that failed.
    bool Save(std::string_view dataFolder, std::string& error) const;

private:
    struct Entry {
        std::string name;
        std::vector<SyncKey> keys;
    };
    std::vector<Entry> tracks_;
};

}  // namespace jolp
