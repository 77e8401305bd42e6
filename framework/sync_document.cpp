// sync_document.cpp - a small XML reader, enough for the editors' documents:
// elements and their attributes, the five named entities and character
// references; declarations, comments, CDATA and text are passed over.
#include "framework/sync_document.h"

#include "platform/file_read.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <unordered_set>
#include <utility>

namespace jolp {

namespace {

// Far larger than an editor's document of a whole demo.
constexpr uint64_t kMaxDocumentBytes = 64ull << 20;

struct Attribute {
    std::string name;
    std::string value;
};

struct Tag {
    std::string name;
    std::vector<Attribute> attributes;
    bool closing = false;      // </name>
    bool selfClosing = false;  // <name/>
    size_t at = 0;             // offset of its '<'

    const std::string* Find(std::string_view attribute) const {
        for (const Attribute& a : attributes)
            if (a.name == attribute) return &a.value;
        return nullptr;
    }
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsNameChar(char c) {
    return !IsSpace(c) && c != '<' && c != '>' && c != '/' && c != '=' && c != '"' && c != '\'' && c != '&' &&
           c != '?' && c != '!';
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    // The next tag; false at the end (done) or on an error (error set).
    bool Next(Tag& tag, bool& done) {
        done = false;
        for (;;) {
            const size_t open = text_.find('<', pos_);
            if (open == std::string_view::npos) {
                done = true;
                return false;
            }
            pos_ = open;
            if (Skip("<?", "?>") || Skip("<!--", "-->") || Skip("<![CDATA[", "]]>")) {
                if (!error_.empty()) return false;
                continue;
            }
            if (text_.substr(pos_, 2) == "<!") {
                const size_t end = text_.find_first_of("[>", pos_);
                if (end == std::string_view::npos || text_[end] == '[') return Fail(pos_, "unsupported declaration");
                pos_ = end + 1;
                continue;
            }
            return ReadTag(tag);
        }
    }

    bool Fail(size_t at, const std::string& problem) {
        const size_t line = 1 + static_cast<size_t>(std::count(text_.begin(), text_.begin() + std::min(at, text_.size()), '\n'));
        error_ = "line " + std::to_string(line) + ": " + problem;
        return false;
    }
    const std::string& Error() const { return error_; }

private:
    // Passes over a construct from begin to end when one starts here.
    bool Skip(std::string_view begin, std::string_view end) {
        if (text_.substr(pos_, begin.size()) != begin) return false;
        const size_t close = text_.find(end, pos_ + begin.size());
        if (close == std::string_view::npos) {
            Fail(pos_, "unterminated " + std::string(begin));
            return true;
        }
        pos_ = close + end.size();
        return true;
    }

    bool ReadName(std::string& name) {
        const size_t start = pos_;
        while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
        name.assign(text_.substr(start, pos_ - start));
        return !name.empty();
    }

    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    }

    bool Decode(std::string_view raw, size_t at, std::string& out) {
        out.clear();
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '<') return Fail(at, "'<' in an attribute value");
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const size_t semi = raw.find(';', i);
            if (semi == std::string_view::npos) return Fail(at, "unterminated entity");
            const std::string_view entity = raw.substr(i + 1, semi - i - 1);
            if (entity == "amp") out += '&';
            else if (entity == "lt") out += '<';
            else if (entity == "gt") out += '>';
            else if (entity == "quot") out += '"';
            else if (entity == "apos") out += '\'';
            else if (entity.size() > 1 && entity[0] == '#') {
                const bool hex = entity[1] == 'x';
                const std::string_view digits = entity.substr(hex ? 2 : 1);
                uint32_t code = 0;
                const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
                if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || code == 0 ||
                    code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
                    return Fail(at, "bad character reference &" + std::string(entity) + ";");
                }
                AppendUtf8(out, code);
            } else {
                return Fail(at, "unknown entity &" + std::string(entity) + ";");
            }
            i = semi;
        }
        return true;
    }

    bool ReadTag(Tag& tag) {
        tag = Tag{};
        tag.at = pos_;
        ++pos_;  // '<'
        if (pos_ < text_.size() && text_[pos_] == '/') {
            tag.closing = true;
            ++pos_;
        }
        if (!ReadName(tag.name)) return Fail(tag.at, "a tag without a name");
        for (;;) {
            SkipSpace();
            if (pos_ >= text_.size()) return Fail(tag.at, "unterminated tag <" + tag.name + ">");
            const char c = text_[pos_];
            if (c == '>') {
                ++pos_;
                return true;
            }
            if (c == '/' && !tag.closing && pos_ + 1 < text_.size() && text_[pos_ + 1] == '>') {
                tag.selfClosing = true;
                pos_ += 2;
                return true;
            }
            if (tag.closing) return Fail(tag.at, "attributes in a closing tag </" + tag.name + ">");
            Attribute attribute;
            if (!ReadName(attribute.name)) return Fail(pos_, "bad attribute in <" + tag.name + ">");
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '=') return Fail(pos_, "attribute " + attribute.name + " without a value");
            ++pos_;
            SkipSpace();
            if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
                return Fail(pos_, "attribute " + attribute.name + " without quotes");
            }
            const char quote = text_[pos_];
            const size_t close = text_.find(quote, pos_ + 1);
            if (close == std::string_view::npos) return Fail(pos_, "unterminated attribute " + attribute.name);
            if (!Decode(text_.substr(pos_ + 1, close - pos_ - 1), pos_, attribute.value)) return false;
            pos_ = close + 1;
            if (tag.Find(attribute.name)) return Fail(tag.at, "attribute " + attribute.name + " given twice");
            tag.attributes.push_back(std::move(attribute));
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::string error_;
};

template <class T>
bool ReadNumber(const std::string& text, T& value) {
    if constexpr (std::is_floating_point_v<T>) {
        // strtod in the C locale the program keeps: the browser build's C++
        // library has no from_chars for floating point. A number that does
        // not fit, or is none (inf, nan), is refused.
        if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
        char* end = nullptr;
        const double read = std::strtod(text.c_str(), &end);
        if (end != text.c_str() + text.size() || !std::isfinite(read)) return false;
        if (std::fabs(read) > static_cast<double>(std::numeric_limits<T>::max())) return false;
        value = static_cast<T>(read);
        return true;
    } else {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        return !text.empty() && ec == std::errc() && end == text.data() + text.size();
    }
}

// Whole, trimmed: the editors write numbers without spaces, people may not.
std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

bool ParseSyncDocument(std::string_view text, SyncDocument& document, std::string& error) {
    document = SyncDocument{};
    Reader reader(text);
    std::vector<std::string> open;  // the elements around the reading point
    std::unordered_set<std::string> names;
    bool rootSeen = false;
    SyncDocumentTrack* track = nullptr;
    bool muted = false;
    Tag tag;
    bool done = false;
    auto fail = [&](size_t at, const std::string& problem) {
        reader.Fail(at, problem);
        error = reader.Error();
        document = SyncDocument{};
        return false;
    };
    while (reader.Next(tag, done)) {
        if (tag.closing) {
            if (open.empty() || open.back() != tag.name) return fail(tag.at, "</" + tag.name + "> closes nothing open");
            if (tag.name == "track" && track) {
                std::sort(track->keys.begin(), track->keys.end(),
                          [](const SyncKey& a, const SyncKey& b) { return a.row < b.row; });
                for (size_t i = 1; i < track->keys.size(); ++i) {
                    if (track->keys[i].row == track->keys[i - 1].row) {
                        return fail(tag.at, "track \"" + track->name + "\" has two keys on row " +
                                                std::to_string(track->keys[i].row));
                    }
                }
                track = nullptr;
            }
            open.pop_back();
            continue;
        }
        if (open.empty()) {
            if (rootSeen) return fail(tag.at, "a second root element <" + tag.name + ">");
            rootSeen = true;
        }
        const std::string parent = open.empty() ? std::string() : open.back();
        if (tag.name == "tracks") {
            double bpm = 0.0, rpb = 0.0;
            const std::string* beats = tag.Find("beatsPerMin");
            const std::string* rows = tag.Find("rowsPerBeat");
            if (!rows) rows = tag.Find("highlightRowStep");
            if (beats && (!ReadNumber(Trimmed(*beats), bpm) || !(bpm > 0.0))) return fail(tag.at, "bad beatsPerMin");
            if (rows && (!ReadNumber(Trimmed(*rows), rpb) || !(rpb > 0.0))) return fail(tag.at, "bad rowsPerBeat");
            if (beats) document.beatsPerMinute = bpm;
            if (rows) document.rowsPerBeat = rpb;
        } else if (tag.name == "track" && parent == "tracks") {
            const std::string* name = tag.Find("name");
            if (!name) return fail(tag.at, "a track without a name");
            if (!names.insert(*name).second) return fail(tag.at, "track \"" + *name + "\" appears twice");
            document.tracks.push_back(SyncDocumentTrack{*name, {}});
            track = &document.tracks.back();
            int32_t muteKeys = 0;
            const std::string* count = tag.Find("muteKeyCount");
            if (count && !ReadNumber(Trimmed(*count), muteKeys)) return fail(tag.at, "bad muteKeyCount");
            muted = muteKeys > 0;
            if (muted) {
                double value = 0.0;
                const std::string* mute = tag.Find("muteValue");
                if (mute && !ReadNumber(Trimmed(*mute), value)) return fail(tag.at, "bad muteValue");
                track->keys.push_back(SyncKey{0, static_cast<float>(value), SyncInterpolation::Step});
            }
            if (tag.selfClosing) track = nullptr;
        } else if (tag.name == "key" && parent == "track" && track) {
            const std::string* row = tag.Find("row");
            const std::string* value = tag.Find("value");
            const std::string* type = tag.Find("interpolation");
            if (!row || !value || !type) return fail(tag.at, "a key needs row, value and interpolation");
            SyncKey key;
            double v = 0.0;
            int interpolation = -1;
            if (!ReadNumber(Trimmed(*row), key.row)) return fail(tag.at, "bad key row \"" + *row + "\"");
            if (!ReadNumber(Trimmed(*value), v)) return fail(tag.at, "bad key value \"" + *value + "\"");
            if (!ReadNumber(Trimmed(*type), interpolation) || interpolation < 0 ||
                interpolation > static_cast<int>(SyncInterpolation::Ramp)) {
                return fail(tag.at, "unknown interpolation \"" + *type + "\"");
            }
            key.value = static_cast<float>(v);
            key.interpolation = static_cast<SyncInterpolation>(interpolation);
            if (!muted) track->keys.push_back(key);
        }
        if (!tag.selfClosing) open.push_back(tag.name);
    }
    if (!done) {
        error = reader.Error();
        document = SyncDocument{};
        return false;
    }
    if (!rootSeen) return fail(text.size(), "no root element");
    if (!open.empty()) return fail(text.size(), "<" + open.back() + "> is not closed");
    return true;
}

bool ReadSyncDocumentFile(const std::string& path, SyncDocument& document, std::string& error) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadRegularFile(path, kMaxDocumentBytes, bytes, reason)) {
        error = path + ": " + reason;
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!ParseSyncDocument(text, document, reason)) {
        error = path + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace jolp
