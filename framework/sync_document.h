// sync_document.h - the sync tracker's editor documents (".rocket" XML), read
// into tracks, so that an author's document can become the player files.
//
// Two forms are read. The Qt editor's:
//
//   <sync rows="10000"><tracks>
//     <track name="camera:distance"><key row="0" value="2.5" interpolation="1"/>...</track>
//   </tracks><bookmarks>...</bookmarks></sync>
//
// and the other editor's, which adds the tempo and muted tracks:
//
//   <?xml version="1.0"?><rootElement>...
//     <tracks rows="10000" rowsPerBeat="8" beatsPerMin="125" ...>
//       <track name="glow" folded="0" muteKeyCount="2" muteValue="0.5" color="...">
//         <key row="0" value="1" interpolation="0"/>...
//
// A muted track plays as its mute value alone (one step key at row 0), as
// the editor has the demo play it; the keys it keeps aside are not played.
// Everything else in a document (bookmarks, groups, colours) is ignored.
#pragma once

#include "framework/sync_tracks.h"

#include <string>
#include <string_view>
#include <vector>

namespace jolp {

struct SyncDocumentTrack {
    std::string name;
    std::vector<SyncKey> keys;  // sorted by row, each row once
};

struct SyncDocument {
    std::vector<SyncDocumentTrack> tracks;  // in the document's order
    // The tempo the document gives (the other editor's form); 0 when none.
    double beatsPerMinute = 0.0;
    double rowsPerBeat = 0.0;
};

// The document text as tracks. False with "line N: problem" in error for
// text that is no well-formed XML of these elements, a key without a row, a
// value or an interpolation, one whose numbers do not read or whose
// interpolation is unknown, or two keys of a track on one row.
bool ParseSyncDocument(std::string_view text, SyncDocument& document, std::string& error);
// Reads the document file path; errors are "PATH: reason" or "PATH: line N:
// problem".
bool ReadSyncDocumentFile(const std::string& path, SyncDocument& document, std::string& error);

}  // namespace jolp
