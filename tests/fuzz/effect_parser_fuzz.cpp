// effect_parser_fuzz.cpp - libFuzzer target for the effect file parser and
// the compiler-log rewriter.
//
// The input is an effect file, "fx/e.fx". A line "=== NAME" in it ends the
// file so far and starts another one, "fx/NAME", that the effect can
// include; so a plain effect text is a valid input. Files are served from
// memory.
//
// Any input must be parsed or refused without a crash, a hang or unbounded
// memory. A refusal is one line. A parse that succeeds gives identifiers for
// names, unique pass names, and code whose #line directives all name a file
// of the result. The rewriter takes the input as a log without failing.
#include "framework/effect_source.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace {

std::map<std::string, std::string> SplitFiles(std::string_view input) {
    std::map<std::string, std::string> files;
    std::string* current = &files["fx/e.fx"];
    size_t pos = 0;
    while (pos < input.size()) {
        size_t end = input.find('\n', pos);
        end = end == std::string_view::npos ? input.size() : end + 1;
        const std::string_view line = input.substr(pos, end - pos);
        if (line.substr(0, 4) == "=== ") {
            std::string_view name = line.substr(4);
            while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.remove_suffix(1);
            current = &files["fx/" + std::string(name)];
        } else {
            current->append(line);
        }
        pos = end;
    }
    return files;
}

bool IsIdentifier(const std::string& s) {
    if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
    for (const char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

// Every "#line N S" of code has S < fileCount.
bool LineDirectivesNameKnownFiles(const std::string& code, size_t fileCount) {
    size_t pos = 0;
    while ((pos = code.find("#line ", pos)) != std::string::npos) {
        if (pos > 0 && code[pos - 1] != '\n') {
            ++pos;
            continue;
        }
        const size_t end = code.find('\n', pos);
        if (end == std::string::npos) return false;
        const std::string_view directive(code.data() + pos, end - pos);
        const size_t space = directive.rfind(' ');
        const unsigned long source = std::strtoul(std::string(directive.substr(space + 1)).c_str(), nullptr, 10);
        if (source >= fileCount) return false;
        pos = end;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::map<std::string, std::string> files = SplitFiles(input);
    const jolp::EffectFileReader read = [&files](const std::string& path, std::string& text, std::string& error) {
        const auto it = files.find(path);
        if (it == files.end()) {
            error = "No such file or directory";
            return false;
        }
        text = it->second;
        return true;
    };

    jolp::EffectSource fx;
    std::string error;
    if (!jolp::ParseEffect("fx/e.fx", read, fx, error)) {
        if (error.empty() || error.find('\n') != std::string::npos) std::abort();
        if (!fx.path.empty() || !fx.passes.empty()) std::abort();  // untouched on failure
    } else {
        if (fx.path != "fx/e.fx" || fx.files.empty() || fx.files[0] != fx.path) std::abort();
        if (!IsIdentifier(fx.technique)) std::abort();
        std::set<std::string> names;
        for (const jolp::EffectPassSource& pass : fx.passes) {
            if (!IsIdentifier(pass.name) || !names.insert(pass.name).second || pass.line <= 0) std::abort();
            if (!pass.vertexCode.starts_with("#line ") || !pass.fragmentCode.starts_with("#line ")) std::abort();
            if (!LineDirectivesNameKnownFiles(pass.vertexCode, fx.files.size())) std::abort();
            if (!LineDirectivesNameKnownFiles(pass.fragmentCode, fx.files.size())) std::abort();
        }
        for (const jolp::EffectSamplerSource& sampler : fx.samplers)
            if (!IsIdentifier(sampler.name)) std::abort();
    }

    const std::vector<std::string> logFiles = fx.files.empty() ? std::vector<std::string>{"fx/e.fx"} : fx.files;
    const std::string rewritten = jolp::RewriteCompilerLog(std::string(input), logFiles);
    (void)rewritten;
    return 0;
}
