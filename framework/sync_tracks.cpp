// sync_tracks.cpp - evaluation, the track files and their names.
#include "framework/sync_tracks.h"

#include "framework/data_path.h"
#include "platform/file_read.h"
#include "platform/file_write.h"
#include "platform/log.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace jolp {

namespace {

constexpr size_t kCountBytes = 4;
constexpr size_t kKeyBytes = 9;
// Far more keys than a demo's tracks hold; a larger file is refused unread.
constexpr uint64_t kMaxFileBytes = 64ull << 20;

// Index of the last key whose row is at most row; -1 when there is none.
ptrdiff_t FloorKey(const std::vector<SyncKey>& keys, int32_t row) {
    const auto after = std::upper_bound(keys.begin(), keys.end(), row,
                                        [](int32_t r, const SyncKey& key) { return r < key.row; });
    return (after - keys.begin()) - 1;
}

// The whole part of row as the keys' int32 rows; rows past their range are
// clamped (every key lies before or after them anyway).
int32_t WholeRow(double row) {
    const double whole = std::floor(row);
    if (!(whole >= static_cast<double>(std::numeric_limits<int32_t>::min()))) return std::numeric_limits<int32_t>::min();
    if (whole > static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(whole);
}

bool KeptInName(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '/';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void StoreU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

std::string AtOffset(size_t offset, const char* problem) {
    return "offset " + std::to_string(offset) + ": " + problem;
}

}  // namespace

double SyncValue(const std::vector<SyncKey>& keys, double row) {
    if (keys.empty()) return 0.0;
    const ptrdiff_t index = FloorKey(keys, WholeRow(row));
    if (index < 0) return keys.front().value;
    if (index + 1 >= static_cast<ptrdiff_t>(keys.size())) return keys.back().value;

    const SyncKey& from = keys[static_cast<size_t>(index)];
    const SyncKey& to = keys[static_cast<size_t>(index) + 1];
    double t = (row - from.row) / (static_cast<double>(to.row) - from.row);
    switch (from.interpolation) {
    case SyncInterpolation::Step: return from.value;
    case SyncInterpolation::Linear: break;
    case SyncInterpolation::Smooth: t = t * t * (3.0 - 2.0 * t); break;
    case SyncInterpolation::Ramp: t = t * t; break;
    }
    return from.value + (static_cast<double>(to.value) - from.value) * t;
}

std::string EncodeSyncTrackName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(name.size());
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (KeptInName(c)) {
            encoded += ch;
        } else {
            encoded += '-';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        }
    }
    return encoded;
}

bool DecodeSyncTrackName(std::string_view encoded, std::string& name) {
    name.clear();
    for (size_t i = 0; i < encoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(encoded[i]);
        if (KeptInName(c)) {
            name += encoded[i];
            continue;
        }
        if (c != '-' || i + 2 >= encoded.size()) return false;
        const int high = HexDigit(encoded[i + 1]);
        const int low = HexDigit(encoded[i + 2]);
        if (high < 0 || low < 0) return false;
        const auto byte = static_cast<unsigned char>(high << 4 | low);
        if (KeptInName(byte)) return false;
        name += static_cast<char>(byte);
        i += 2;
    }
    return true;
}

std::string SyncTrackFile(std::string_view name) {
    std::string path(kSyncFolder);
    path += '/';
    path += kSyncFilePrefix;
    path += EncodeSyncTrackName(name);
    path += kSyncFileSuffix;
    return path;
}

bool ParseSyncTrack(const uint8_t* bytes, size_t size, std::vector<SyncKey>& keys, std::string& error) {
    keys.clear();
    if (size < kCountBytes) {
        error = AtOffset(0, "truncated: no key count");
        return false;
    }
    const auto count = static_cast<int32_t>(LoadU32(bytes));
    if (count < 0) {
        error = AtOffset(0, "negative key count");
        return false;
    }
    const size_t available = (size - kCountBytes) / kKeyBytes;
    if (static_cast<size_t>(count) > available) {
        error = AtOffset(kCountBytes + available * kKeyBytes, "truncated: the file ends inside its keys");
        return false;
    }
    const size_t end = kCountBytes + static_cast<size_t>(count) * kKeyBytes;
    if (end != size) {
        error = AtOffset(end, "bytes after the last key");
        return false;
    }
    std::vector<SyncKey> read(static_cast<size_t>(count));
    for (size_t i = 0; i < read.size(); ++i) {
        const size_t offset = kCountBytes + i * kKeyBytes;
        const uint8_t* p = bytes + offset;
        SyncKey& key = read[i];
        key.row = static_cast<int32_t>(LoadU32(p));
        const uint32_t bits = LoadU32(p + 4);
        std::memcpy(&key.value, &bits, sizeof key.value);
        if (p[8] > static_cast<uint8_t>(SyncInterpolation::Ramp)) {
            error = AtOffset(offset + 8, "unknown interpolation type");
            return false;
        }
        key.interpolation = static_cast<SyncInterpolation>(p[8]);
        if (i > 0 && key.row <= read[i - 1].row) {
            error = AtOffset(offset, "key rows out of order");
            return false;
        }
    }
    keys = std::move(read);
    return true;
}

std::vector<uint8_t> SerializeSyncTrack(const std::vector<SyncKey>& keys) {
    std::vector<uint8_t> bytes(kCountBytes + keys.size() * kKeyBytes);
    StoreU32(bytes.data(), static_cast<uint32_t>(keys.size()));
    for (size_t i = 0; i < keys.size(); ++i) {
        uint8_t* p = bytes.data() + kCountBytes + i * kKeyBytes;
        uint32_t bits = 0;
        std::memcpy(&bits, &keys[i].value, sizeof bits);
        StoreU32(p, static_cast<uint32_t>(keys[i].row));
        StoreU32(p + 4, bits);
        p[8] = static_cast<uint8_t>(keys[i].interpolation);
    }
    return bytes;
}

bool ReadSyncTrackFile(const std::string& path, std::vector<SyncKey>& keys, bool& missing, std::string& error) {
    keys.clear();
    missing = false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        missing = true;
        error = path + ": no such file";
        return false;
    }
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadRegularFile(path, kMaxFileBytes, bytes, reason)) {
        error = path + ": " + reason;
        return false;
    }
    if (!ParseSyncTrack(bytes.data(), bytes.size(), keys, reason)) {
        error = path + ": " + reason;
        return false;
    }
    return true;
}

bool WriteSyncTrackFile(const std::string& path, const std::vector<SyncKey>& keys, std::string& error) {
    const std::vector<uint8_t> bytes = SerializeSyncTrack(keys);
    return WriteWholeFile(path, bytes.data(), bytes.size(), error);
}

SyncTracks::Handle SyncTracks::Track(std::string_view name) {
    Handle handle = 0;
    if (Find(name, handle)) return handle;
    tracks_.push_back(Entry{std::string(name), {}});
    return static_cast<Handle>(tracks_.size() - 1);
}

bool SyncTracks::Find(std::string_view name, Handle& handle) const {
    for (size_t i = 0; i < tracks_.size(); ++i) {
        if (tracks_[i].name == name) {
            handle = static_cast<Handle>(i);
            return true;
        }
    }
    return false;
}

void SyncTracks::SetKey(Handle track, const SyncKey& key) {
    std::vector<SyncKey>& keys = tracks_[track].keys;
    const auto at = std::lower_bound(keys.begin(), keys.end(), key.row,
                                     [](const SyncKey& k, int32_t row) { return k.row < row; });
    if (at != keys.end() && at->row == key.row) {
        *at = key;
    } else {
        keys.insert(at, key);
    }
}

bool SyncTracks::DeleteKey(Handle track, int32_t row) {
    std::vector<SyncKey>& keys = tracks_[track].keys;
    const auto at = std::lower_bound(keys.begin(), keys.end(), row,
                                     [](const SyncKey& k, int32_t r) { return k.row < r; });
    if (at == keys.end() || at->row != row) return false;
    keys.erase(at);
    return true;
}

void SyncTracks::SetKeys(Handle track, std::vector<SyncKey> keys) { tracks_[track].keys = std::move(keys); }

bool SyncTracks::Load(std::string_view dataFolder) {
    bool ok = true;
    std::string error;
    for (Entry& track : tracks_) {
        const std::string path = DataPath(dataFolder, SyncTrackFile(track.name));
        bool missing = false;
        if (ReadSyncTrackFile(path, track.keys, missing, error)) continue;
        if (missing) {
            Log(LogLevel::Warning, "%s: no such file; the track \"%s\" has no keys", path.c_str(), track.name.c_str());
        } else {
            Log(LogLevel::Error, "%s", error.c_str());
            ok = false;
        }
    }
    return ok;
}

bool SyncTracks::Save(std::string_view dataFolder, std::string& error) const {
    for (const Entry& track : tracks_) {
        if (!WriteSyncTrackFile(DataPath(dataFolder, SyncTrackFile(track.name)), track.keys, error)) return false;
    }
    return true;
}

}  // namespace jolp
