// effect_source.h - reading our effect files (.fx) into plain data: the
// technique's name, its passes with their assembled GLSL and render states,
// and the sampler settings. The format is described for effect writers in
// shaders/README.md.
//
// This is text work only: nothing here touches a device. The effect runtime
// compiles the assembled code and applies the states; RewriteCompilerLog
// turns the compiler's messages back into FILE:LINE of the effect's files.
//
// Ownership: EffectSource is a plain value owning all of its strings. Files
// are read through an EffectFileReader the caller provides (DiskEffectFileReader
// for the real files, an in-memory one for tests); the parser keeps nothing
// after it returns. Errors never throw: they come back as "FILE:LINE: message".
#pragma once

#include "platform/gfx_device.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jolp {

struct EffectStateSetting {
    RenderState state;
    uint32_t value;  // the D3D value: 1/0 for the bools, Blend, Cull, Compare
};

struct EffectPassSource {
    std::string name;
    int line = 0;  // line of its @pass directive
    // Assembled GLSL without #version: each chunk behind a "#line N S"
    // directive, S indexing EffectSource::files and N = S * 100000 + the
    // line in that file (compilers that drop S still name the file).
    std::string vertexCode, fragmentCode;
    std::vector<EffectStateSetting> states;  // in file order
};

struct EffectSamplerSource {
    std::string name;
    SamplerState state;
};

struct EffectSource {
    std::string path;  // the file as given
    std::string technique;
    std::vector<EffectPassSource> passes;      // in file order
    std::vector<EffectSamplerSource> samplers;  // in file order
    // files[i]: the file whose lines carry source-string number i in #line
    // directives; files[0] == path.
    std::vector<std::string> files;
};

// Reads a file's whole text; false when it cannot (error: the reason, e.g.
// "No such file or directory").
using EffectFileReader = std::function<bool(const std::string& path, std::string& text, std::string& error)>;

// Reads from disk through ReadRegularFile (platform/file_read.h): refuses
// anything that is not a regular file (a FIFO is refused without waiting for
// a writer) and files over kMaxEffectFileBytes (by their size, before
// reading them).
EffectFileReader DiskEffectFileReader();

// An effect file and each file it includes may hold at most this many
// bytes, and a line of any of them at most kMaxEffectLineBytes ('\n' and
// a '\r' before it not counted). GLSL compilers recurse over the nesting
// of an expression: one expression of about 180 KB on one line took Mesa's
// compiler 19,400 frames deep and out of its stack. Real effect code stays
// far below both.
inline constexpr size_t kMaxEffectFileBytes = 1u << 20;
inline constexpr size_t kMaxEffectLineBytes = 16u << 10;

// Includes nest at most this deep (the effect file itself is depth 0).
inline constexpr int kMaxIncludeDepth = 16;

// Parses path and the files it includes. On success fills out and returns
// true. On failure returns false, leaves out untouched and sets error to
// "FILE:LINE: message" (or "FILE: message" when no line applies, e.g.
// "shaders/x.fx: cannot open (No such file or directory)"). Bounded on any
// input: include cycles, depth and expansion size are all refused, and so
// are files and lines over the limits above and files holding a NUL byte.
//
// Includes stay in the effect's folder (the folder of path) and the
// folders under it: an absolute @include path, one whose ".." leaves the
// folder, and one that is a link (or lies behind one) to a file outside it
// are refused. The folder itself may be reached through a link.
bool ParseEffect(const std::string& path, const EffectFileReader& read, EffectSource& out, std::string& error);

// Rewrites a GLSL compiler/linker log so each message names FILE:LINE instead
// of "S:L(C)" (Mesa: "0:12(5): error: ..."), "S(L) :" (NVIDIA:
// "0(12) : error C1008: ...") or "ERROR: S:L:" (glslang-style drivers), with
// FILE = files[S]. Lines it does not recognise, or whose S is not an index of
// files, pass through unchanged.
std::string RewriteCompilerLog(const std::string& log, const std::vector<std::string>& files);

}  // namespace jolp
