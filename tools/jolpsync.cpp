// jolpsync - looks into the sync tracks of a data folder (sync/*.track, the
// tracker's player files; framework/sync_tracks.h).
//
//   jolpsync list DATA               the tracks' names, one a line, sorted
//   jolpsync value DATA TRACK ROW... the track's value at each row, one a line
//   jolpsync convert DOC DATA        an editor's document (.rocket) as the
//                                    data folder's track files
//
// Exit status: 0 done, 1 a file could not be read or is malformed (or what it
// prints could not be written to stdout), 2 a bad command line.
#include "framework/data_path.h"
#include "framework/sync_document.h"
#include "framework/sync_tracks.h"
#include "platform/standard_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: jolpsync list DATA\n"
    "       jolpsync value DATA TRACK ROW...\n"
    "       jolpsync convert DOC DATA\n"
    "Looks into the sync tracks of the data folder DATA (its sync/*.track files).\n"
    "\n"
    "Commands:\n"
    "  list DATA        print the name of every track, one a line, sorted\n"
    "  value DATA TRACK ROW...\n"
    "                   print the value of TRACK at each ROW, one a line; rows may\n"
    "                   be fractional (seconds x beats per minute / 60 x rows per\n"
    "                   beat)\n"
    "  convert DOC DATA the sync tracker's editor document DOC (.rocket XML, of\n"
    "                   either editor) as the track files of DATA/sync, made when\n"
    "                   missing; prints each track and the tempo the document\n"
    "                   gives, for the demo's beatsPerMinute and rowsPerBeat\n"
    "  --help           show this text\n"
    "\n"
    "Exit status: 0 done, 1 unreadable or malformed file, 2 bad command line.\n";

int BadCommandLine(const std::string& why) {
    std::fprintf(stderr, "jolpsync: %s\nTry 'jolpsync --help'.\n", why.c_str());
    return 2;
}

int List(const std::string& data) {
    std::error_code ec;
    if (!std::filesystem::is_directory(data, ec)) {
        std::fprintf(stderr, "jolpsync: %s: no such folder\n", data.c_str());
        return 1;
    }
    const std::string folder = jolp::DataPath(data, jolp::kSyncFolder);
    std::vector<std::string> names;
    // A data folder without a sync folder has no tracks.
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const std::string_view prefix = jolp::kSyncFilePrefix, suffix = jolp::kSyncFileSuffix;
        if (file.size() < prefix.size() + suffix.size() || file.compare(0, prefix.size(), prefix) != 0 ||
            file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        std::string name;
        const std::string_view encoded =
            std::string_view(file).substr(prefix.size(), file.size() - prefix.size() - suffix.size());
        if (!jolp::DecodeSyncTrackName(encoded, name)) {
            std::fprintf(stderr, "jolpsync: %s/%s: not a track's file name; skipped\n", folder.c_str(), file.c_str());
            continue;
        }
        names.push_back(name);
    }
    if (ec && ec != std::errc::no_such_file_or_directory) {
        std::fprintf(stderr, "jolpsync: %s: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) std::printf("%s\n", name.c_str());
    return 0;
}

// The shortest text that reads back as the same double.
std::string Number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

int Value(int argc, char** argv) {
    if (argc < 5) return BadCommandLine("value takes DATA, TRACK and at least one ROW");
    std::vector<double> rows;
    for (int i = 4; i < argc; ++i) {
        const std::string_view text = argv[i];
        double row = 0.0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), row);
        if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(row)) {
            return BadCommandLine("'" + std::string(text) + "' is not a row");
        }
        rows.push_back(row);
    }
    const std::string path = jolp::DataPath(argv[2], jolp::SyncTrackFile(argv[3]));
    std::vector<jolp::SyncKey> keys;
    bool missing = false;
    std::string error;
    if (!jolp::ReadSyncTrackFile(path, keys, missing, error)) {
        std::fprintf(stderr, "jolpsync: %s\n", error.c_str());
        return 1;
    }
    for (const double row : rows) std::printf("%s\n", Number(jolp::SyncValue(keys, row)).c_str());
    return 0;
}

int Convert(const std::string& documentPath, const std::string& data) {
    jolp::SyncDocument document;
    std::string error;
    if (!jolp::ReadSyncDocumentFile(documentPath, document, error)) {
        std::fprintf(stderr, "jolpsync: %s\n", error.c_str());
        return 1;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(data, ec)) {
        std::fprintf(stderr, "jolpsync: %s: no such folder\n", data.c_str());
        return 1;
    }
    for (const jolp::SyncDocumentTrack& track : document.tracks) {
        const std::string path = jolp::DataPath(data, jolp::SyncTrackFile(track.name));
        // A '/' in a name is a folder, as the tracker has it.
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        if (!jolp::WriteSyncTrackFile(path, track.keys, error)) {
            std::fprintf(stderr, "jolpsync: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s: %zu keys\n", track.name.c_str(), track.keys.size());
    }
    if (document.beatsPerMinute > 0.0 || document.rowsPerBeat > 0.0) {
        std::printf("tempo: %s beats per minute, %s rows per beat\n",
                    document.beatsPerMinute > 0.0 ? Number(document.beatsPerMinute).c_str() : "?",
                    document.rowsPerBeat > 0.0 ? Number(document.rowsPerBeat).c_str() : "?");
    }
    return 0;
}

int Run(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2) return BadCommandLine("no command given");
    const std::string command = argv[1];
    if (command == "list") {
        if (argc != 3) return BadCommandLine("list takes exactly one DATA folder");
        return List(argv[2]);
    }
    if (command == "value") return Value(argc, argv);
    if (command == "convert") {
        if (argc != 4) return BadCommandLine("convert takes a DOC and a DATA folder");
        return Convert(argv[2], argv[3]);
    }
    return BadCommandLine("unknown command '" + command + "'");
}

}  // namespace

int main(int argc, char** argv) { return jolp::FinishStandardOutput("jolpsync", Run(argc, argv)); }
