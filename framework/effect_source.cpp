// effect_source.cpp - the effect file parser, the disk reader and the
// compiler-log rewriter. See effect_source.h and shaders/README.md.
#include "framework/effect_source.h"

#include "platform/file_read.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <span>
#include <string_view>
#include <system_error>
#include <utility>

namespace jolp {

namespace {

// One parse's code sections together, includes expanded, may not grow past
// this; nor may all passes' assembled code together. Both stop an include
// fan-out (a file including another many times, each doing the same) from
// eating memory long before any depth or cycle rule applies.
constexpr size_t kMaxExpandedBytes = 16u << 20;
constexpr size_t kMaxAssembledBytes = 64u << 20;

// ---- small text helpers -------------------------------------------------

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view StripComment(std::string_view s) {
    const size_t at = s.find("//");
    return at == std::string_view::npos ? s : s.substr(0, at);
}

bool IsBlankOrComment(std::string_view line) { return Trim(StripComment(line)).empty(); }

bool IsIdentifier(std::string_view s) {
    if (s.empty()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

// s in double quotes, fit for a one-line message: control and non-ASCII
// bytes escaped, long text cut short.
std::string Quote(std::string_view s) {
    constexpr size_t kMaxShown = 60;
    std::string out = "\"";
    for (size_t i = 0; i < s.size() && i < kMaxShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (s.size() > kMaxShown) out += "...";
    out += '"';
    return out;
}

// Walks a text line by line; a final line without '\n' counts, a '\r'
// before the '\n' is dropped.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = end + 1;
        ++number_;
        return true;
    }
    int Number() const { return number_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int number_ = 0;
};

// The preprocessor directive a code line holds ("version" for
// "#  version 330"), or "" when it holds none.
std::string_view PreprocessorWord(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '#') return {};
    line = Trim(line.substr(1));
    size_t end = 0;
    while (end < line.size() && !IsSpace(line[end])) ++end;
    return line.substr(0, end);
}

// Line numbers carry their file too: line N of file S is numbered
// S * kLinesPerFile + N. Some compilers (Mesa's among them) report most
// messages with source string 0 whatever #line said, so the file must be
// recoverable from the line number alone.
constexpr int kLinesPerFile = 100000;
constexpr int kMaxFiles = 20000;  // keeps every number within an int

const char* const kTooManyLines = "more than 99998 lines (longer files are not supported)";

bool TooManyLines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n') >= kLinesPerFile - 2;
}

// "1048577 bytes (at most 1048576 bytes, 1 MiB, an effect file)"
std::string OverLimit(size_t bytes, size_t limit, const char* limitName, const char* what) {
    return std::to_string(bytes) + " bytes (at most " + std::to_string(limit) + " bytes, " + limitName + ", " + what +
           ")";
}

std::string FileTooLarge(size_t bytes) { return OverLimit(bytes, kMaxEffectFileBytes, "1 MiB", "an effect file"); }

// Whether path lies strictly inside folder, both lexically normal; an
// empty folder is the working directory.
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    auto part = path.begin();
    for (const std::filesystem::path& step : folder) {
        if (part == path.end() || *part != step) return false;
        ++part;
    }
    return part != path.end() && *part != "..";
}

std::string LineDirective(int line, int file) {
    return "#line " + std::to_string(file * kLinesPerFile + line) + " " + std::to_string(file) + "\n";
}

// ---- the vocabulary of Key = Value sections -----------------------------

struct NamedValue {
    std::string_view name;
    uint32_t value;
};

constexpr NamedValue kBoolValues[] = {{"true", 1}, {"false", 0}};
constexpr NamedValue kBlendValues[] = {
    {"Zero", kBlendZero},           {"One", kBlendOne},
    {"SrcColor", kBlendSrcColor},   {"InvSrcColor", kBlendInvSrcColor},
    {"SrcAlpha", kBlendSrcAlpha},   {"InvSrcAlpha", kBlendInvSrcAlpha},
    {"DestAlpha", kBlendDestAlpha}, {"InvDestAlpha", kBlendInvDestAlpha},
    {"DestColor", kBlendDestColor}, {"InvDestColor", kBlendInvDestColor},
};
constexpr NamedValue kCullValues[] = {{"None", kCullNone}, {"CW", kCullCW}, {"CCW", kCullCCW}};
constexpr NamedValue kCompareValues[] = {
    {"Never", kCmpNever},     {"Less", kCmpLess},         {"Equal", kCmpEqual},
    {"LessEqual", kCmpLessEqual}, {"Greater", kCmpGreater}, {"NotEqual", kCmpNotEqual},
    {"GreaterEqual", kCmpGreaterEqual}, {"Always", kCmpAlways},
};

struct StateKey {
    std::string_view name;
    RenderState state;
    std::span<const NamedValue> values;
};

constexpr StateKey kStateKeys[] = {
    {"ZEnable", RenderState::ZEnable, kBoolValues},
    {"ZWriteEnable", RenderState::ZWriteEnable, kBoolValues},
    {"AlphaBlendEnable", RenderState::AlphaBlendEnable, kBoolValues},
    {"ScissorTestEnable", RenderState::ScissorTestEnable, kBoolValues},
    {"SrcBlend", RenderState::SrcBlend, kBlendValues},
    {"DestBlend", RenderState::DestBlend, kBlendValues},
    {"CullMode", RenderState::CullMode, kCullValues},
    {"ZFunc", RenderState::ZFunc, kCompareValues},
};

constexpr NamedValue kFilterValues[] = {{"Point", static_cast<uint32_t>(TextureFilter::Point)},
                                        {"Linear", static_cast<uint32_t>(TextureFilter::Linear)},
                                        {"Anisotropic", static_cast<uint32_t>(TextureFilter::Anisotropic)}};
constexpr NamedValue kMipFilterValues[] = {{"None", static_cast<uint32_t>(MipFilter::None)},
                                           {"Point", static_cast<uint32_t>(MipFilter::Point)},
                                           {"Linear", static_cast<uint32_t>(MipFilter::Linear)}};
constexpr NamedValue kAddressValues[] = {{"Wrap", static_cast<uint32_t>(TextureAddress::Wrap)},
                                         {"Clamp", static_cast<uint32_t>(TextureAddress::Clamp)},
                                         {"Mirror", static_cast<uint32_t>(TextureAddress::Mirror)}};

// "None, CW or CCW"
std::string ListOf(std::span<const NamedValue> values) {
    std::string out;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += i + 1 == values.size() ? " or " : ", ";
        out += values[i].name;
    }
    return out;
}

const NamedValue* FindValue(std::span<const NamedValue> values, std::string_view name) {
    for (const NamedValue& v : values)
        if (v.name == name) return &v;
    return nullptr;
}

// ---- the parser ---------------------------------------------------------

enum class Section { None, Technique, Common, Vertex, Fragment, Sampler, Pass };

struct StageDraft {
    int line = 0;
    std::string code;  // its own chunk, behind its #line
};

struct PassDraft {
    EffectPassSource pass;
    std::string vertex, fragment;
    int vertexLine = 0, fragmentLine = 0;
    std::map<std::string, int, std::less<>> keyLines;  // key -> line where set
};

struct SamplerDraft {
    EffectSamplerSource sampler;
    std::map<std::string, int, std::less<>> keyLines;
};

class Parser {
public:
    Parser(const EffectFileReader& read, std::string& error) : read_(read), error_(error) {}

    bool Run(const std::string& path, EffectSource& out);

private:
    bool Fail(const std::string& file, int line, const std::string& message) {
        error_ = line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
        return false;
    }

    bool Directive(std::string_view text, int line);
    bool NameArgument(std::string_view directive, std::string_view rest, int line, std::string& name);
    bool KeyValue(std::string_view text, int line);
    bool PassSetting(PassDraft& draft, std::string_view key, std::string_view value, int line);
    bool SamplerSetting(SamplerDraft& draft, std::string_view key, std::string_view value, int line);
    bool CodeLine(const std::string& file, int fileIndex, std::string_view text, int line,
                  std::vector<std::string>& chain);
    bool Include(const std::string& file, int fileIndex, std::string_view rest, int line,
                 std::vector<std::string>& chain);
    bool Append(const std::string& file, int line, std::string_view text);
    bool Finish(EffectSource& out);
    // Refuses a file read whole that is too long, has a line too long or
    // holds a NUL byte.
    bool CheckSize(const std::string& file, const std::string& text);
    // Refuses an include (key: its lexically normal path) that leaves the
    // effect's folder, by its path or through a link.
    bool CheckInFolder(const std::string& file, int line, std::string_view named, const std::string& key);

    const EffectFileReader& read_;
    std::string& error_;

    std::string path_;
    std::filesystem::path folder_;      // of path_, lexically normal; empty for the working directory
    std::filesystem::path realFolder_;  // the same resolved, found when first needed
    std::vector<std::string> files_;
    std::map<std::string, int, std::less<>> fileIndex_;  // normalised path -> files_ index
    std::map<std::string, std::string, std::less<>> texts_;  // normalised path -> text, read once
    std::map<std::string, std::string, std::less<>> resolved_;  // includer, NUL, included name -> normalised path
    size_t expandedBytes_ = 0;

    Section section_ = Section::None;
    std::string* chunk_ = nullptr;  // the code section being filled
    std::string technique_;
    int techniqueLine_ = 0;
    std::vector<std::string> commons_;
    std::map<std::string, StageDraft, std::less<>> vertices_, fragments_;
    std::vector<PassDraft> passes_;
    std::map<std::string, int, std::less<>> passLines_;
    std::vector<SamplerDraft> samplers_;
    std::map<std::string, int, std::less<>> samplerLines_;
};

std::string Normalise(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().generic_string();
}

bool Parser::Run(const std::string& path, EffectSource& out) {
    path_ = path;
    std::string text, reason;
    if (path.find('\0') != std::string::npos) return Fail(path, 0, "cannot open (bad file name)");
    if (!read_(path, text, reason)) return Fail(path, 0, "cannot open (" + reason + ")");
    if (!CheckSize(path, text)) return false;

    files_.push_back(path);
    const std::string key = Normalise(path);
    folder_ = std::filesystem::path(key).parent_path();
    if (folder_ == ".") folder_.clear();
    fileIndex_[key] = 0;

    std::vector<std::string> chain{key};
    LineCursor lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const int number = lines.Number();
        if (!line.empty() && line.front() == '@') {
            if (line.substr(0, 8) == "@include" && (line.size() == 8 || IsSpace(line[8]) || line[8] == '"')) {
                if (!chunk_)
                    return Fail(path, number, "@include outside a code section (@common, @vertex or @fragment)");
                if (!Include(path, 0, line.substr(8), number, chain)) return false;
                continue;
            }
            if (!Directive(line, number)) return false;
            continue;
        }
        switch (section_) {
            case Section::None:
                if (!IsBlankOrComment(line))
                    return Fail(path, number,
                                "text before the first directive (only blank lines and // comments may come first)");
                break;
            case Section::Technique:
                if (!IsBlankOrComment(line))
                    return Fail(path, number, "text after @technique (only blank lines and // comments belong there)");
                break;
            case Section::Common:
            case Section::Vertex:
            case Section::Fragment:
                if (!CodeLine(path, 0, line, number, chain)) return false;
                break;
            case Section::Sampler:
            case Section::Pass:
                if (!KeyValue(line, number)) return false;
                break;
        }
    }
    return Finish(out);
}

bool Parser::CheckSize(const std::string& file, const std::string& text) {
    if (text.size() > kMaxEffectFileBytes) return Fail(file, 0, FileTooLarge(text.size()));
    if (TooManyLines(text)) return Fail(file, 0, kTooManyLines);
    // The compiler takes the code as a C string and would stop at it,
    // reporting whatever that cut leaves (a stage without main, an end of
    // file where it does not belong).
    if (const size_t nul = text.find('\0'); nul != std::string::npos) {
        const auto line = static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n'));
        const size_t lineStart = text.rfind('\n', nul);
        const size_t column = lineStart == std::string::npos ? nul + 1 : nul - lineStart;
        return Fail(file, line + 1, "a NUL byte at column " + std::to_string(column) + " (effect files are text)");
    }
    LineCursor lines(text);
    std::string_view line;
    while (lines.Next(line))
        if (line.size() > kMaxEffectLineBytes)
            return Fail(file, lines.Number(), "line of " + OverLimit(line.size(), kMaxEffectLineBytes, "16 KiB", "a line"));
    return true;
}

bool Parser::CheckInFolder(const std::string& file, int line, std::string_view named, const std::string& key) {
    const std::string folder = folder_.empty() ? "." : folder_.generic_string();
    const std::string refused = "@include " + Quote(named) + " leaves the effect's folder " + folder;
    if (std::filesystem::path(std::string(named)).has_root_path())
        return Fail(file, line, refused + " (absolute paths are not allowed)");
    if (!IsInside(key, folder_)) return Fail(file, line, refused);
    // Links are followed as the reader will follow them. Where the file or
    // the folder cannot be resolved the reader reports why.
    std::error_code error;
    if (realFolder_.empty()) realFolder_ = std::filesystem::weakly_canonical(folder, error);
    if (error || realFolder_.empty()) {
        realFolder_.clear();
        return true;
    }
    const std::filesystem::path real = std::filesystem::weakly_canonical(key, error);
    // "." and "lib/.." name the folder itself, which is no link: the reader
    // says what it is.
    if (!error && !IsInside(real, realFolder_) && real != realFolder_)
        return Fail(file, line, refused + " (it is a link to " + real.generic_string() + ")");
    return true;
}

bool Parser::NameArgument(std::string_view directive, std::string_view rest, int line, std::string& name) {
    rest = Trim(StripComment(rest));
    if (rest.empty()) return Fail(path_, line, std::string(directive) + " needs a name");
    if (!IsIdentifier(rest))
        return Fail(path_, line,
                    "bad name " + Quote(rest) + " after " + std::string(directive) +
                        " (letters, digits and _, not starting with a digit)");
    name = rest;
    return true;
}

bool Parser::Directive(std::string_view text, int line) {
    size_t end = 0;
    while (end < text.size() && !IsSpace(text[end]) && text[end] != '/') ++end;
    const std::string_view word = text.substr(0, end);
    const std::string_view rest = text.substr(end);
    chunk_ = nullptr;

    if (word == "@technique") {
        if (techniqueLine_ > 0)
            return Fail(path_, line,
                        "second @technique (one per file, the first is at line " + std::to_string(techniqueLine_) + ")");
        if (!NameArgument(word, rest, line, technique_)) return false;
        techniqueLine_ = line;
        section_ = Section::Technique;
        return true;
    }
    if (word == "@common") {
        if (!Trim(StripComment(rest)).empty()) return Fail(path_, line, "@common takes no name");
        commons_.push_back(LineDirective(line + 1, 0));
        chunk_ = &commons_.back();
        section_ = Section::Common;
        return true;
    }
    if (word == "@vertex" || word == "@fragment") {
        const bool vertex = word == "@vertex";
        std::string name;
        if (!NameArgument(word, rest, line, name)) return false;
        auto& stages = vertex ? vertices_ : fragments_;
        const auto [it, added] = stages.try_emplace(name);
        if (!added)
            return Fail(path_, line,
                        "duplicate " + std::string(word) + " " + Quote(name) + " (first at line " +
                            std::to_string(it->second.line) + ")");
        it->second.line = line;
        it->second.code = LineDirective(line + 1, 0);
        chunk_ = &it->second.code;
        section_ = vertex ? Section::Vertex : Section::Fragment;
        return true;
    }
    if (word == "@sampler") {
        std::string name;
        if (!NameArgument(word, rest, line, name)) return false;
        const auto [it, added] = samplerLines_.try_emplace(name, line);
        if (!added)
            return Fail(path_, line,
                        "duplicate @sampler " + Quote(name) + " (first at line " + std::to_string(it->second) + ")");
        samplers_.emplace_back().sampler.name = name;
        section_ = Section::Sampler;
        return true;
    }
    if (word == "@pass") {
        std::string name;
        if (!NameArgument(word, rest, line, name)) return false;
        if (techniqueLine_ == 0) return Fail(path_, line, "@pass " + Quote(name) + " before @technique");
        const auto [it, added] = passLines_.try_emplace(name, line);
        if (!added)
            return Fail(path_, line,
                        "duplicate @pass " + Quote(name) + " (first at line " + std::to_string(it->second) + ")");
        PassDraft& draft = passes_.emplace_back();
        draft.pass.name = name;
        draft.pass.line = line;
        section_ = Section::Pass;
        return true;
    }
    if (word.empty() || word == "@")
        return Fail(path_, line, "'@' in column 0 starts a directive, but no directive name follows");
    return Fail(path_, line,
                "unknown directive " + Quote(word) +
                    " (@technique, @common, @vertex, @fragment, @include, @sampler or @pass)");
}

bool Parser::KeyValue(std::string_view text, int line) {
    text = Trim(StripComment(text));
    if (text.empty()) return true;
    const size_t eq = text.find('=');
    const std::string_view key = eq == std::string_view::npos ? text : Trim(text.substr(0, eq));
    const std::string_view value = eq == std::string_view::npos ? std::string_view() : Trim(text.substr(eq + 1));
    if (eq == std::string_view::npos || key.empty() || value.empty())
        return Fail(path_, line, "expected Key = Value, found " + Quote(text));
    if (section_ == Section::Pass) return PassSetting(passes_.back(), key, value, line);
    return SamplerSetting(samplers_.back(), key, value, line);
}

bool Parser::PassSetting(PassDraft& draft, std::string_view key, std::string_view value, int line) {
    const StateKey* state = nullptr;
    for (const StateKey& k : kStateKeys)
        if (k.name == key) state = &k;
    const bool stageKey = key == "Vertex" || key == "Fragment";
    if (!state && !stageKey) return Fail(path_, line, "unknown render state " + Quote(key));

    const auto [it, added] = draft.keyLines.try_emplace(std::string(key), line);
    if (!added)
        return Fail(path_, line,
                    std::string(key) + " set twice in pass " + Quote(draft.pass.name) + " (first at line " +
                        std::to_string(it->second) + ")");

    if (stageKey) {
        if (!IsIdentifier(value)) return Fail(path_, line, "bad stage name " + Quote(value) + " for " + std::string(key));
        if (key == "Vertex") {
            draft.vertex = value;
            draft.vertexLine = line;
        } else {
            draft.fragment = value;
            draft.fragmentLine = line;
        }
        return true;
    }
    const NamedValue* v = FindValue(state->values, value);
    if (!v)
        return Fail(path_, line,
                    "bad value " + Quote(value) + " for " + std::string(key) + " (expected " + ListOf(state->values) +
                        ")");
    draft.pass.states.push_back({state->state, v->value});
    return true;
}

bool Parser::SamplerSetting(SamplerDraft& draft, std::string_view key, std::string_view value, int line) {
    std::span<const NamedValue> values;
    if (key == "Filter")
        values = kFilterValues;
    else if (key == "MipFilter")
        values = kMipFilterValues;
    else if (key == "Address")
        values = kAddressValues;
    else
        return Fail(path_, line, "unknown sampler setting " + Quote(key) + " (Filter, MipFilter or Address)");

    const auto [it, added] = draft.keyLines.try_emplace(std::string(key), line);
    if (!added)
        return Fail(path_, line,
                    std::string(key) + " set twice in sampler " + Quote(draft.sampler.name) + " (first at line " +
                        std::to_string(it->second) + ")");
    const NamedValue* v = FindValue(values, value);
    if (!v)
        return Fail(path_, line,
                    "bad value " + Quote(value) + " for " + std::string(key) + " (expected " + ListOf(values) + ")");
    SamplerState& s = draft.sampler.state;
    if (key == "Filter")
        s.filter = static_cast<TextureFilter>(v->value);
    else if (key == "MipFilter")
        s.mipFilter = static_cast<MipFilter>(v->value);
    else
        s.address = static_cast<TextureAddress>(v->value);
    return true;
}

bool Parser::Append(const std::string& file, int line, std::string_view text) {
    expandedBytes_ += text.size();
    if (expandedBytes_ > kMaxExpandedBytes)
        return Fail(file, line, "code grows past " + std::to_string(kMaxExpandedBytes >> 20) + " MiB (too many includes?)");
    chunk_->append(text);
    return true;
}

bool Parser::CodeLine(const std::string& file, int fileIndex, std::string_view text, int line,
                      std::vector<std::string>& chain) {
    if (!text.empty() && text.front() == '@') {
        if (text.substr(0, 8) == "@include" && (text.size() == 8 || IsSpace(text[8]) || text[8] == '"'))
            return Include(file, fileIndex, text.substr(8), line, chain);
        return Fail(file, line, "an included file holds plain GLSL and @include lines only, not " + Quote(text));
    }
    const std::string_view directive = PreprocessorWord(text);
    if (directive == "version") return Fail(file, line, "no #version line here: the device adds it");
    if (directive == "line") return Fail(file, line, "no #line here: lines are numbered from the files themselves");
    if (!Append(file, line, text)) return false;
    return Append(file, line, "\n");
}

bool Parser::Include(const std::string& file, int fileIndex, std::string_view rest, int line,
                     std::vector<std::string>& chain) {
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '"') return Fail(file, line, "expected @include \"path\"");
    const size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) return Fail(file, line, "@include path has no closing quote");
    const std::string_view named = rest.substr(1, close - 1);
    if (!IsBlankOrComment(rest.substr(close + 1)))
        return Fail(file, line, "unexpected text after @include \"path\": " + Quote(rest.substr(close + 1)));
    if (named.empty()) return Fail(file, line, "empty @include path");
    for (const char c : named)
        if (static_cast<unsigned char>(c) < 0x20) return Fail(file, line, "bad @include path " + Quote(named));

    std::string resolveKey = file;
    resolveKey += '\0';
    resolveKey += named;
    auto resolved = resolved_.find(resolveKey);
    if (resolved == resolved_.end()) {
        const std::filesystem::path full = std::filesystem::path(file).parent_path() / std::string(named);
        std::string normal = full.lexically_normal().generic_string();
        if (!CheckInFolder(file, line, named, normal)) return false;
        resolved = resolved_.emplace(std::move(resolveKey), std::move(normal)).first;
    }
    const std::string& key = resolved->second;

    for (size_t i = 0; i < chain.size(); ++i) {
        if (chain[i] != key) continue;
        std::string cycle;
        for (size_t j = i; j < chain.size(); ++j) cycle += chain[j] + " -> ";
        return Fail(file, line, "include cycle: " + cycle + key);
    }
    if (static_cast<int>(chain.size()) > kMaxIncludeDepth)
        return Fail(file, line,
                    "includes nested deeper than " + std::to_string(kMaxIncludeDepth) + " (" + chain.front() +
                        " -> ... -> " + key + ")");

    auto textIt = texts_.find(key);
    if (textIt == texts_.end()) {
        std::string text, reason;
        if (!read_(key, text, reason))
            return Fail(file, line, "cannot open include " + Quote(named) + " (" + key + ": " + reason + ")");
        if (!CheckSize(key, text)) return false;
        textIt = texts_.emplace(key, std::move(text)).first;
    }
    if (files_.size() >= static_cast<size_t>(kMaxFiles) && fileIndex_.find(key) == fileIndex_.end())
        return Fail(file, line, "more than " + std::to_string(kMaxFiles) + " files included");
    auto [indexIt, added] = fileIndex_.try_emplace(key, static_cast<int>(files_.size()));
    if (added) files_.push_back(key);
    const int index = indexIt->second;
    // files_ and texts_ keep the same text alive while it is being walked:
    // map nodes never move.
    const std::string& included = textIt->second;

    if (!Append(file, line, LineDirective(1, index))) return false;
    chain.push_back(key);
    LineCursor lines(included);
    std::string_view text;
    while (lines.Next(text))
        if (!CodeLine(key, index, text, lines.Number(), chain)) return false;
    chain.pop_back();
    return Append(file, line, LineDirective(line + 1, fileIndex));
}

bool Parser::Finish(EffectSource& out) {
    if (techniqueLine_ == 0) return Fail(path_, 0, "no @technique");

    std::string common;
    for (const std::string& chunk : commons_) common += chunk;

    size_t total = 0;
    for (PassDraft& draft : passes_) {
        const std::string& name = draft.pass.name;
        if (draft.vertexLine == 0) return Fail(path_, draft.pass.line, "pass " + Quote(name) + " has no Vertex = NAME");
        if (draft.fragmentLine == 0)
            return Fail(path_, draft.pass.line, "pass " + Quote(name) + " has no Fragment = NAME");
        const auto vertex = vertices_.find(draft.vertex);
        if (vertex == vertices_.end())
            return Fail(path_, draft.vertexLine, "pass " + Quote(name) + ": no @vertex " + Quote(draft.vertex) + " in this file");
        const auto fragment = fragments_.find(draft.fragment);
        if (fragment == fragments_.end())
            return Fail(path_, draft.fragmentLine,
                        "pass " + Quote(name) + ": no @fragment " + Quote(draft.fragment) + " in this file");
        total += 2 * common.size() + vertex->second.code.size() + fragment->second.code.size();
        if (total > kMaxAssembledBytes)
            return Fail(path_, draft.pass.line,
                        "the passes' code grows past " + std::to_string(kMaxAssembledBytes >> 20) + " MiB");
    }

    EffectSource result;
    result.path = path_;
    result.technique = technique_;
    result.files = files_;
    result.passes.reserve(passes_.size());
    for (PassDraft& draft : passes_) {
        EffectPassSource& pass = result.passes.emplace_back(std::move(draft.pass));
        pass.vertexCode = common + vertices_.find(draft.vertex)->second.code;
        pass.fragmentCode = common + fragments_.find(draft.fragment)->second.code;
    }
    result.samplers.reserve(samplers_.size());
    for (SamplerDraft& draft : samplers_) result.samplers.push_back(std::move(draft.sampler));
    out = std::move(result);
    return true;
}

// ---- compiler logs ------------------------------------------------------

// Reads a decimal number of at most 9 digits at s[pos]; advances pos.
bool ReadNumber(std::string_view s, size_t& pos, int& value) {
    const size_t start = pos;
    value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 9) value = value * 10 + (s[pos++] - '0');
    return pos > start && (pos >= s.size() || s[pos] < '0' || s[pos] > '9');
}

// The line with its leading "S:L(C):", "S(L) :" or "ERROR: S:L:" location
// rewritten as "FILE:L:", or false when it has none of these shapes.
bool RewriteLine(std::string_view line, const std::vector<std::string>& files, std::string& out) {
    std::string_view prefix;
    for (const std::string_view severity : {"ERROR: ", "WARNING: "})
        if (line.substr(0, severity.size()) == severity) prefix = severity;

    size_t pos = prefix.size();
    int source = 0, number = 0, column = 0;
    if (!ReadNumber(line, pos, source) || pos >= line.size()) return false;
    if (line[pos] == ':') {
        ++pos;
        if (!ReadNumber(line, pos, number)) return false;
        if (prefix.empty()) {
            // Mesa: "0:12(5): ..."
            if (line.substr(pos, 1) != "(") return false;
            ++pos;
            if (!ReadNumber(line, pos, column) || line.substr(pos, 2) != "):") return false;
            pos += 2;
        } else {
            // "ERROR: 0:12: ..."
            if (line.substr(pos, 1) != ":") return false;
            ++pos;
        }
    } else if (line[pos] == '(' && prefix.empty()) {
        // NVIDIA: "0(12) : ..."
        ++pos;
        if (!ReadNumber(line, pos, number) || line.substr(pos, 3) != ") :") return false;
        pos += 3;
    } else {
        return false;
    }
    if (number >= kLinesPerFile) {
        source = number / kLinesPerFile;
        number %= kLinesPerFile;
    }
    if (source < 0 || static_cast<size_t>(source) >= files.size()) return false;
    out.append(prefix);
    out += files[static_cast<size_t>(source)] + ":" + std::to_string(number) + ":";
    out.append(line.substr(pos));
    return true;
}

}  // namespace

EffectFileReader DiskEffectFileReader() {
    return [](const std::string& path, std::string& text, std::string& error) {
        if (path.find('\0') != std::string::npos) {
            error = "bad file name";
            return false;
        }
        // Through the one reader of data files: a FIFO or a device in place
        // of an effect file is refused at once instead of blocking start-up
        // or the authoring mode's reload.
        std::vector<uint8_t> bytes;
        std::string reason;
        if (!ReadRegularFile(path, kMaxEffectFileBytes, bytes, reason)) {
            // Its sizes are rounded ("1 MiB"); an effect file's limit is
            // told to the byte.
            std::error_code code;
            const uint64_t size = std::filesystem::is_regular_file(path, code) ? std::filesystem::file_size(path, code) : 0;
            error = !code && size > kMaxEffectFileBytes ? FileTooLarge(static_cast<size_t>(size)) : reason;
            return false;
        }
        text.assign(bytes.begin(), bytes.end());
        return true;
    };
}

bool ParseEffect(const std::string& path, const EffectFileReader& read, EffectSource& out, std::string& error) {
    Parser parser(read, error);
    return parser.Run(path, out);
}

std::string RewriteCompilerLog(const std::string& log, const std::vector<std::string>& files) {
    std::string out;
    out.reserve(log.size());
    size_t pos = 0;
    while (pos < log.size()) {
        size_t end = log.find('\n', pos);
        const bool newline = end != std::string::npos;
        if (!newline) end = log.size();
        const std::string_view line(log.data() + pos, end - pos);
        if (!RewriteLine(line, files, out)) out.append(line);
        if (newline) out += '\n';
        pos = end + 1;
    }
    return out;
}

}  // namespace jolp
