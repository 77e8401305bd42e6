#include "framework/effect_source.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace jolp {
namespace {

using Files = std::map<std::string, std::string>;

EffectFileReader MemoryReader(const Files& files) {
    return [&files](const std::string& path, std::string& text, std::string& error) {
        const auto it = files.find(path);
        if (it == files.end()) {
            error = "No such file or directory";
            return false;
        }
        text = it->second;
        return true;
    };
}

// Parses "fx/e.fx" out of files, expecting success.
EffectSource Parse(const Files& files) {
    EffectSource out;
    std::string error;
    EXPECT_TRUE(ParseEffect("fx/e.fx", MemoryReader(files), out, error)) << error;
    return out;
}

// Parses "fx/e.fx" out of files, expecting failure; returns the message.
std::string ParseError(const Files& files) {
    EffectSource out;
    out.technique = "untouched";
    std::string error;
    EXPECT_FALSE(ParseEffect("fx/e.fx", MemoryReader(files), out, error));
    EXPECT_EQ(out.technique, "untouched") << "a failed parse leaves its output alone";
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    return error;
}

// A technique with one vertex and one fragment stage: lines 1 to 5.
const std::string kStages = "@technique t\n@vertex v\nvoid main() {}\n@fragment f\nvoid main() {}\n";
// kStages with pass "p" using them: lines 1 to 8.
const std::string kOnePass = kStages + "@pass p\nVertex = v\nFragment = f\n";

TEST(EffectSource, CompleteEffectParsesToTheExactStructure) {
    const Files files = {
        {"fx/e.fx",
         "// Lit surfaces.\n"                                        // 1
         "@technique lit\n"                                          // 2
         "\n"                                                        // 3
         "@common\n"                                                 // 4
         "uniform mat4 matWorldToView;\n"                            // 5
         "@include \"lib/light.glsl\"\n"                             // 6
         "uniform vec4 lightColor;\n"                                // 7
         "@sampler diffuseMap\n"                                     // 8
         "Filter = Point   // crisp\n"                               // 9
         "  Address = Clamp\n"                                       // 10
         "@vertex litVS\n"                                           // 11
         "in vec3 inPosition;\n"                                     // 12
         "void main() { gl_Position = vec4(inPosition, 1.0) * matWorldToView; }\n"  // 13
         "@fragment litFS\n"                                         // 14
         "out vec4 outColor;\n"                                      // 15
         "void main() { outColor = lightColor * lightFalloff(); }\n" // 16
         "@fragment blackFS\n"                                       // 17
         "void main() {}\n"                                          // 18
         "@pass ambient\n"                                           // 19
         "Vertex = litVS\n"                                          // 20
         "Fragment = blackFS\n"                                      // 21
         "@pass diffuse\n"                                           // 22
         "Vertex=litVS\n"                                            // 23
         "Fragment = litFS\n"                                        // 24
         "\n"                                                        // 25
         "// additive\n"                                             // 26
         "AlphaBlendEnable = true\n"                                 // 27
         "SrcBlend = One\n"                                          // 28
         "DestBlend = InvSrcAlpha\n"                                 // 29
         "ZWriteEnable = false\n"                                    // 30
         "CullMode = None\n"                                         // 31
         "ZFunc = GreaterEqual\n"                                    // 32
         "ZEnable = true\n"                                          // 33
         "ScissorTestEnable = false\n"                               // 34
         "@sampler envMap\n"                                         // 35
         "@common\n"                                                 // 36
         "uniform float lightRadius;"},                              // 37, no final newline
        {"fx/lib/light.glsl", "uniform vec4 lightPosition;\nfloat lightFalloff() { return 1.0; }\n"},
    };
    const EffectSource fx = Parse(files);
    EXPECT_EQ(fx.path, "fx/e.fx");
    EXPECT_EQ(fx.technique, "lit");
    EXPECT_EQ(fx.files, (std::vector<std::string>{"fx/e.fx", "fx/lib/light.glsl"}));

    const std::string common =
        "#line 5 0\n"
        "uniform mat4 matWorldToView;\n"
        "#line 100001 1\n"
        "uniform vec4 lightPosition;\n"
        "float lightFalloff() { return 1.0; }\n"
        "#line 7 0\n"
        "uniform vec4 lightColor;\n"
        "#line 37 0\n"
        "uniform float lightRadius;\n";
    const std::string vertex =
        common + "#line 12 0\nin vec3 inPosition;\nvoid main() { gl_Position = vec4(inPosition, 1.0) * matWorldToView; }\n";
    ASSERT_EQ(fx.passes.size(), 2u);
    EXPECT_EQ(fx.passes[0].name, "ambient");
    EXPECT_EQ(fx.passes[0].line, 19);
    EXPECT_EQ(fx.passes[0].vertexCode, vertex);
    EXPECT_EQ(fx.passes[0].fragmentCode, common + "#line 18 0\nvoid main() {}\n");
    EXPECT_TRUE(fx.passes[0].states.empty());

    EXPECT_EQ(fx.passes[1].name, "diffuse");
    EXPECT_EQ(fx.passes[1].line, 22);
    EXPECT_EQ(fx.passes[1].vertexCode, vertex);
    EXPECT_EQ(fx.passes[1].fragmentCode,
              common + "#line 15 0\nout vec4 outColor;\nvoid main() { outColor = lightColor * lightFalloff(); }\n");
    const std::vector<std::pair<RenderState, uint32_t>> expected = {
        {RenderState::AlphaBlendEnable, 1u}, {RenderState::SrcBlend, kBlendOne},
        {RenderState::DestBlend, kBlendInvSrcAlpha}, {RenderState::ZWriteEnable, 0u},
        {RenderState::CullMode, kCullNone},  {RenderState::ZFunc, kCmpGreaterEqual},
        {RenderState::ZEnable, 1u},          {RenderState::ScissorTestEnable, 0u},
    };
    ASSERT_EQ(fx.passes[1].states.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(fx.passes[1].states[i].state, expected[i].first) << i;
        EXPECT_EQ(fx.passes[1].states[i].value, expected[i].second) << i;
    }

    ASSERT_EQ(fx.samplers.size(), 2u);
    EXPECT_EQ(fx.samplers[0].name, "diffuseMap");
    EXPECT_EQ(fx.samplers[0].state, (SamplerState{TextureFilter::Point, MipFilter::Linear, TextureAddress::Clamp}));
    EXPECT_EQ(fx.samplers[1].name, "envMap");
    EXPECT_EQ(fx.samplers[1].state, SamplerState{});
}

TEST(EffectSource, PassesKeepFileOrderAndExactCaseNames) {
    std::string text = kStages;
    for (const char* name : {"water", "Ambient", "ambient", "additive"})
        text += std::string("@pass ") + name + "\nVertex = v\nFragment = f\n";
    const EffectSource fx = Parse({{"fx/e.fx", text}});
    std::vector<std::string> names;
    for (const EffectPassSource& pass : fx.passes) names.push_back(pass.name);
    EXPECT_EQ(names, (std::vector<std::string>{"water", "Ambient", "ambient", "additive"}));
}

TEST(EffectSource, WindowsLineEndingsReadLikeUnixOnes) {
    std::string text = kOnePass + "CullMode = CW\n";
    std::string crlf;
    for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const EffectSource fx = Parse({{"fx/e.fx", crlf}});
    ASSERT_EQ(fx.passes.size(), 1u);
    EXPECT_EQ(fx.passes[0].vertexCode, "#line 3 0\nvoid main() {}\n");
    ASSERT_EQ(fx.passes[0].states.size(), 1u);
    EXPECT_EQ(fx.passes[0].states[0].value, kCullCW);
}

TEST(EffectSource, IncludesResolveFromTheIncluderAndShareOneNumberPerFile) {
    const Files files = {
        {"fx/e.fx", "@technique t\n@common\n@include \"lib/a.glsl\"\n@include \"shared.glsl\"\n"
                    "@vertex v\n@include \"lib/a.glsl\"\nvoid main() {}\n"
                    "@fragment f\nvoid main() {}\n@pass p\nVertex = v\nFragment = f\n"},
        {"fx/lib/a.glsl", "// a\n@include \"../shared.glsl\"\nfloat a;\n"},
        {"fx/shared.glsl", "float s;\n"},
    };
    const EffectSource fx = Parse(files);
    EXPECT_EQ(fx.files, (std::vector<std::string>{"fx/e.fx", "fx/lib/a.glsl", "fx/shared.glsl"}));
    const std::string a = "#line 100001 1\n// a\n#line 200001 2\nfloat s;\n#line 100003 1\nfloat a;\n";
    ASSERT_EQ(fx.passes.size(), 1u);
    EXPECT_EQ(fx.passes[0].vertexCode, "#line 3 0\n" + a + "#line 4 0\n#line 200001 2\nfloat s;\n#line 5 0\n" +
                                           "#line 6 0\n" + a + "#line 7 0\nvoid main() {}\n");
}

struct ErrorCase {
    const char* what;
    Files files;
    std::string expected;  // the whole message, or its start when it ends in "..."
};

TEST(EffectSource, ErrorsNameTheFileAndLine) {
    const std::vector<ErrorCase> cases = {
        {"missing effect file", {}, "fx/e.fx: cannot open (No such file or directory)"},
        {"unknown directive", {{"fx/e.fx", kOnePass + "@vertx w\n"}}, "fx/e.fx:9: unknown directive \"@vertx\" ..."},
        {"unknown render state", {{"fx/e.fx", kOnePass + "ZEnabel = true\n"}},
         "fx/e.fx:9: unknown render state \"ZEnabel\""},
        {"keys are case-sensitive", {{"fx/e.fx", kOnePass + "zenable = true\n"}},
         "fx/e.fx:9: unknown render state \"zenable\""},
        {"bad value", {{"fx/e.fx", kOnePass + "CullMode = ccw\n"}},
         "fx/e.fx:9: bad value \"ccw\" for CullMode (expected None, CW or CCW)"},
        {"bad bool", {{"fx/e.fx", kOnePass + "ZEnable = 1\n"}},
         "fx/e.fx:9: bad value \"1\" for ZEnable (expected true or false)"},
        {"not Key = Value", {{"fx/e.fx", kOnePass + "CullMode None\n"}},
         "fx/e.fx:9: expected Key = Value, found \"CullMode None\""},
        {"state set twice", {{"fx/e.fx", kOnePass + "CullMode = CW\n// again\nCullMode = CCW\n"}},
         "fx/e.fx:11: CullMode set twice in pass \"p\" (first at line 9)"},
        {"missing Vertex", {{"fx/e.fx", kStages + "@pass p\nFragment = f\n"}}, "fx/e.fx:6: pass \"p\" has no Vertex = NAME"},
        {"missing Fragment", {{"fx/e.fx", kStages + "@pass p\nVertex = v\n"}},
         "fx/e.fx:6: pass \"p\" has no Fragment = NAME"},
        {"Vertex names a fragment stage", {{"fx/e.fx", kStages + "@pass p\nFragment = f\nVertex = f\n"}},
         "fx/e.fx:8: pass \"p\": no @vertex \"f\" in this file"},
        {"unknown Fragment stage", {{"fx/e.fx", kStages + "@pass p\nVertex = v\nFragment = F\n"}},
         "fx/e.fx:8: pass \"p\": no @fragment \"F\" in this file"},
        {"duplicate pass", {{"fx/e.fx", kOnePass + "@pass q\nVertex = v\nFragment = f\n@pass p\n"}},
         "fx/e.fx:12: duplicate @pass \"p\" (first at line 6)"},
        {"duplicate stage", {{"fx/e.fx", kStages + "@vertex v\n"}}, "fx/e.fx:6: duplicate @vertex \"v\" (first at line 2)"},
        {"pass before technique", {{"fx/e.fx", "@vertex v\nvoid main() {}\n@pass p\n@technique t\n"}},
         "fx/e.fx:3: @pass \"p\" before @technique"},
        {"missing technique", {{"fx/e.fx", "@vertex v\nvoid main() {}\n"}}, "fx/e.fx: no @technique"},
        {"second technique", {{"fx/e.fx", kOnePass + "@technique u\n"}},
         "fx/e.fx:9: second @technique (one per file, the first is at line 1)"},
        {"bad name", {{"fx/e.fx", "@technique 2d\n"}}, "fx/e.fx:1: bad name \"2d\" after @technique ..."},
        {"code before any directive", {{"fx/e.fx", "// fine\n\nuniform float x;\n" + kOnePass}},
         "fx/e.fx:3: text before the first directive ..."},
        {"code after technique", {{"fx/e.fx", "@technique t\nfloat x;\n"}}, "fx/e.fx:2: text after @technique ..."},
        {"#version in a stage", {{"fx/e.fx", "@technique t\n@vertex v\n#  version 330\n"}},
         "fx/e.fx:3: no #version line here: the device adds it"},
        {"#line in an included file",
         {{"fx/e.fx", "@technique t\n@common\n@include \"a.glsl\"\n"}, {"fx/a.glsl", "float a;\n#line 1 0\n"}},
         "fx/a.glsl:2: no #line here: lines are numbered from the files themselves"},
        {"sampler setting", {{"fx/e.fx", kOnePass + "@sampler s\nfilter = Point\n"}},
         "fx/e.fx:10: unknown sampler setting \"filter\" (Filter, MipFilter or Address)"},
        {"sampler value", {{"fx/e.fx", kOnePass + "@sampler s\nAddress = Border\n"}},
         "fx/e.fx:10: bad value \"Border\" for Address (expected Wrap, Clamp or Mirror)"},
        {"include missing", {{"fx/e.fx", "@technique t\n@common\n@include \"nope.glsl\"\n"}},
         "fx/e.fx:3: cannot open include \"nope.glsl\" (fx/nope.glsl: No such file or directory)"},
        {"include outside code", {{"fx/e.fx", kOnePass + "@include \"a.glsl\"\n"}},
         "fx/e.fx:9: @include outside a code section ..."},
        {"include without quotes", {{"fx/e.fx", "@technique t\n@common\n@include a.glsl\n"}},
         "fx/e.fx:3: expected @include \"path\""},
        {"directive inside an included file",
         {{"fx/e.fx", "@technique t\n@common\n@include \"a.glsl\"\n"}, {"fx/a.glsl", "float a;\n@vertex v\n"}},
         "fx/a.glsl:2: an included file holds plain GLSL and @include lines only, not \"@vertex v\""},
        {"include cycle",
         {{"fx/e.fx", "@technique t\n@common\n@include \"a.glsl\"\n"},
          {"fx/a.glsl", "float a;\n@include \"b.glsl\"\n"},
          {"fx/b.glsl", "@include \"./a.glsl\"\n"}},
         "fx/b.glsl:1: include cycle: fx/a.glsl -> fx/b.glsl -> fx/a.glsl"},
        {"effect includes itself", {{"fx/e.fx", "@technique t\n@fragment f\n@include \"../fx/e.fx\"\n"}},
         "fx/e.fx:3: include cycle: fx/e.fx -> fx/e.fx"},
        {"include leaving the folder", {{"fx/e.fx", "@technique t\n@common\n@include \"../x.glsl\"\n"}, {"x.glsl", ""}},
         "fx/e.fx:3: @include \"../x.glsl\" leaves the effect's folder fx"},
        {"include leaving it from a subfolder",
         {{"fx/e.fx", "@technique t\n@common\n@include \"lib/a.glsl\"\n"},
          {"fx/lib/a.glsl", "float a;\n@include \"../../x.glsl\"\n"},
          {"x.glsl", ""}},
         "fx/lib/a.glsl:2: @include \"../../x.glsl\" leaves the effect's folder fx"},
        {"absolute include", {{"fx/e.fx", "@technique t\n@common\n@include \"/etc/passwd\"\n"}},
         "fx/e.fx:3: @include \"/etc/passwd\" leaves the effect's folder fx (absolute paths are not allowed)"},
        {"line too long", {{"fx/e.fx", kOnePass + "// " + std::string(kMaxEffectLineBytes - 2, 'x') + "\n"}},
         "fx/e.fx:9: line of 16385 bytes (at most 16384 bytes, 16 KiB, a line)"},
        {"included line too long",
         {{"fx/e.fx", "@technique t\n@common\n@include \"a.glsl\"\n"},
          {"fx/a.glsl", "float a;\n\n" + std::string(kMaxEffectLineBytes + 1, 'x')}},
         "fx/a.glsl:3: line of 16385 bytes (at most 16384 bytes, 16 KiB, a line)"},
        // The compiler would stop at the NUL and complain of what is cut off.
        {"NUL byte", {{"fx/e.fx", kOnePass + std::string("float a;\0\n", 10)}},
         "fx/e.fx:9: a NUL byte at column 9 (effect files are text)"},
        {"NUL byte in an included file",
         {{"fx/e.fx", "@technique t\n@common\n@include \"a.glsl\"\n"}, {"fx/a.glsl", std::string("\0float a;\n", 10)}},
         "fx/a.glsl:1: a NUL byte at column 1 (effect files are text)"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string error = ParseError(c.files);
        const std::string& want = c.expected;
        if (want.size() > 3 && want.ends_with("...")) {
            EXPECT_TRUE(error.starts_with(want.substr(0, want.size() - 3))) << error;
        } else {
            EXPECT_EQ(error, want);
        }
    }
}

// e.fx includes d1.glsl, d1 includes d2, ... down to d<depth>.
Files IncludeChain(int depth) {
    Files files = {{"fx/e.fx", "@technique t\n@common\n@include \"d1.glsl\"\n"}};
    for (int i = 1; i < depth; ++i)
        files["fx/d" + std::to_string(i) + ".glsl"] = "@include \"d" + std::to_string(i + 1) + ".glsl\"\n";
    files["fx/d" + std::to_string(depth) + ".glsl"] = "float deepest;\n";
    return files;
}

TEST(EffectSource, IncludesNestSixteenDeepAndNoDeeper) {
    const EffectSource fx = Parse(IncludeChain(kMaxIncludeDepth));
    EXPECT_EQ(fx.files.size(), static_cast<size_t>(kMaxIncludeDepth) + 1);
    EXPECT_EQ(ParseError(IncludeChain(kMaxIncludeDepth + 1)),
              "fx/d16.glsl:1: includes nested deeper than 16 (fx/e.fx -> ... -> fx/d17.glsl)");
}

TEST(EffectSource, LinesOfUpTo16KiBAreRead) {
    // The same lengths refused one byte longer in ErrorsNameTheFileAndLine,
    // with Windows line endings, whose '\r' does not count.
    const std::string longest(kMaxEffectLineBytes, 'x');
    const EffectSource fx = Parse({{"fx/e.fx", "@technique t\n//" + longest.substr(2) + "\r\n@common\n@include \"a.glsl\"\n"},
                                   {"fx/a.glsl", "float a;\r\n" + longest}});
    EXPECT_EQ(fx.files.size(), 2u);
}

TEST(EffectSource, IncludeFanOutIsRefusedInsteadOfExhaustingMemory) {
    // Each level includes the next 64 times: 64^4 copies of the last line.
    Files files = {{"fx/e.fx", "@technique t\n@common\n@include \"l0.glsl\"\n"}};
    for (int level = 0; level < 4; ++level) {
        std::string text;
        for (int i = 0; i < 64; ++i) text += "@include \"l" + std::to_string(level + 1) + ".glsl\"\n";
        files["fx/l" + std::to_string(level) + ".glsl"] = text;
    }
    files["fx/l4.glsl"] = std::string(100, 'x') + "\n";
    const std::string error = ParseError(files);
    EXPECT_NE(error.find("code grows past 16 MiB"), std::string::npos) << error;
    EXPECT_TRUE(error.starts_with("fx/l")) << error;
}

// Where a GLSL 330 compiler puts the first line holding token, as "S:N":
// "#line N S" numbers the line after it N, in source string S.
std::string CompilerLocation(const std::string& code, const std::string& token) {
    std::istringstream in(code);
    std::string line;
    int source = 0, number = 1;
    while (std::getline(in, line)) {
        if (line.starts_with("#line ")) {
            std::istringstream(line.substr(6)) >> number >> source;
            continue;
        }
        if (line.find(token) != std::string::npos) return std::to_string(source) + ":" + std::to_string(number);
        ++number;
    }
    return "not found";
}

TEST(EffectSource, CompilerMessagesLandOnTheLineThatHoldsTheCode) {
    const Files files = {
        {"fx/e.fx", "@technique t\n@common\nfloat c;\n@include \"lib/light.glsl\"\nfloat afterInclude;\n"
                    "@vertex v\nvoid main() { vertexBody; }\n@fragment f\nvoid main() {}\n"
                    "@pass p\nVertex = v\nFragment = f\n"},
        {"fx/lib/light.glsl", "// light\n\nfloat inLight;\n"},
    };
    const EffectSource fx = Parse(files);
    ASSERT_EQ(fx.passes.size(), 1u);
    const std::string& code = fx.passes[0].vertexCode;
    const auto mesa = [&](const std::string& token) {
        return RewriteCompilerLog(CompilerLocation(code, token) + "(3): error: here", fx.files);
    };
    EXPECT_EQ(mesa("inLight"), "fx/lib/light.glsl:3: error: here");
    EXPECT_EQ(mesa("afterInclude"), "fx/e.fx:5: error: here");
    EXPECT_EQ(mesa("vertexBody"), "fx/e.fx:7: error: here");
}

TEST(EffectSource, CompilerLogsOfMesaNvidiaAndGlslangNameFileAndLine) {
    const std::vector<std::string> files = {"fx/e.fx", "fx/lib.glsl"};
    EXPECT_EQ(RewriteCompilerLog("0:12(5): error: `x' undeclared\n1:3(10): warning: unused\n", files),
              "fx/e.fx:12: error: `x' undeclared\nfx/lib.glsl:3: warning: unused\n");
    // Mesa numbers most messages in source string 0: the file comes from the
    // line number.
    EXPECT_EQ(RewriteCompilerLog("0:100003(18): error: `y' undeclared\n", files), "fx/lib.glsl:3: error: `y' undeclared\n");
    EXPECT_EQ(RewriteCompilerLog("1(100004) : warning C7050: y\n", files), "fx/lib.glsl:4: warning C7050: y\n");
    EXPECT_EQ(RewriteCompilerLog("0:900001(1): error: z\n", files), "0:900001(1): error: z\n");  // no such file
    EXPECT_EQ(RewriteCompilerLog("0(12) : error C1008: undefined variable \"x\"\n1(4) : warning C7050: y", files),
              "fx/e.fx:12: error C1008: undefined variable \"x\"\nfx/lib.glsl:4: warning C7050: y");
    EXPECT_EQ(RewriteCompilerLog("ERROR: 1:4: 'x' : undeclared identifier\n", files),
              "ERROR: fx/lib.glsl:4: 'x' : undeclared identifier\n");
    // Everything else passes through as it is.
    for (const std::string log : {"error: linking failed: main() missing\n", "Vertex info\n-----------\n",
                                  "2:1(1): error: source 2 is not ours", "0:12: no column", "0(12): no space",
                                  "12345678901:1(1): error: huge", "", "\n\n"})
        EXPECT_EQ(RewriteCompilerLog(log, files), log);
}

TEST(EffectSource, DiskReaderReadsFilesAndExplainsRefusals) {
    testing::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "fx" / "lib");
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    };
    write("fx/e.fx", kStages + "@common\n@include \"lib/x.glsl\"\n");
    write("fx/lib/x.glsl", "float x;\n");

    const EffectFileReader read = DiskEffectFileReader();
    EffectSource fx;
    std::string error;
    ASSERT_TRUE(ParseEffect(dir / "fx/e.fx", read, fx, error)) << error;
    EXPECT_EQ(fx.files.size(), 2u);
    EXPECT_TRUE(fx.files[1].ends_with("fx/lib/x.glsl")) << fx.files[1];

    EXPECT_FALSE(ParseEffect(dir / "fx/none.fx", read, fx, error));
    EXPECT_EQ(error, (dir / "fx/none.fx") + ": cannot open (No such file or directory)");

    std::string text;
    EXPECT_FALSE(read(dir / "fx", text, error));
    EXPECT_EQ(error, "not a regular file (a directory)");

    // A FIFO, as the effect or as an include, is refused without waiting
    // for a writer (should it wait, the writer comes and the test fails
    // rather than hangs).
    ASSERT_EQ(mkfifo((dir / "fx/pipe.fx").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "fx/lib/pipe.glsl").c_str(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 50 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (const char* name : {"fx/pipe.fx", "fx/lib/pipe.glsl"}) {
            const int fd = open((dir / name).c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) close(fd);
        }
    });
    EXPECT_FALSE(ParseEffect(dir / "fx/pipe.fx", read, fx, error));
    EXPECT_EQ(error, (dir / "fx/pipe.fx") + ": cannot open (not a regular file (a FIFO))");
    write("fx/e.fx", kStages + "@common\n@include \"lib/pipe.glsl\"\n");
    EXPECT_FALSE(ParseEffect(dir / "fx/e.fx", read, fx, error));
    EXPECT_TRUE(error.ends_with("/fx/lib/pipe.glsl: not a regular file (a FIFO))")) << error;
    done = true;
    writer.join();

    // 1 MiB and no more, in lines short enough to be read.
    std::string limit;
    while (limit.size() < kMaxEffectFileBytes) limit += std::string(99, '/') + "\n";
    limit.resize(kMaxEffectFileBytes);
    write("fx/limit.fx", kStages + limit.substr(kStages.size()));
    ASSERT_TRUE(read(dir / "fx/limit.fx", text, error)) << error;
    EXPECT_EQ(text.size(), kMaxEffectFileBytes);
    EXPECT_TRUE(ParseEffect(dir / "fx/limit.fx", read, fx, error)) << error;
    write("fx/huge.fx", kStages + limit.substr(kStages.size()) + "\n");
    EXPECT_FALSE(read(dir / "fx/huge.fx", text, error));
    EXPECT_EQ(error, "1048577 bytes (at most 1048576 bytes, 1 MiB, an effect file)");
    EXPECT_FALSE(ParseEffect(dir / "fx/huge.fx", read, fx, error));
    EXPECT_EQ(error, (dir / "fx/huge.fx") + ": cannot open (1048577 bytes (at most 1048576 bytes, 1 MiB, an effect file))");
}

TEST(EffectSource, IncludesOnDiskStayInTheEffectsFolder) {
    testing::TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.Path() / "fx" / "lib");
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    };
    const auto parse = [&](const std::string& path, const std::string& include, std::string& error) {
        write("fx/e.fx", kStages + "@common\n@include \"" + include + "\"\n");
        EffectSource fx;
        return ParseEffect(path, DiskEffectFileReader(), fx, error);
    };
    write("fx/lib/x.glsl", "float x;\n");
    write("outside.glsl", "float outside;\n");
    fs::create_symlink(dir.Path() / "outside.glsl", dir.Path() / "fx" / "out.glsl");
    fs::create_symlink("../../outside.glsl", dir.Path() / "fx" / "lib" / "up.glsl");
    fs::create_symlink(dir.Path() / "fx" / "lib" / "x.glsl", dir.Path() / "fx" / "alias.glsl");
    // The folder reached through a link of its own, as a data folder that
    // links to the shipped shaders is.
    fs::create_symlink(dir.Path() / "fx", dir.Path() / "linked");

    std::string error;
    EXPECT_TRUE(parse(dir / "fx/e.fx", "lib/x.glsl", error)) << error;
    EXPECT_TRUE(parse(dir / "fx/e.fx", "alias.glsl", error)) << error;
    EXPECT_TRUE(parse(dir / "linked/e.fx", "lib/x.glsl", error)) << error;
    EXPECT_TRUE(parse(dir / "linked/e.fx", "lib/../alias.glsl", error)) << error;

    EXPECT_FALSE(parse(dir / "fx/e.fx", "out.glsl", error));
    EXPECT_EQ(error, (dir / "fx/e.fx:7: @include \"out.glsl\" leaves the effect's folder ") + (dir / "fx") +
                         " (it is a link to " + fs::canonical(dir.Path() / "outside.glsl").string() + ")");
    EXPECT_FALSE(parse(dir / "linked/e.fx", "lib/up.glsl", error));
    EXPECT_TRUE(error.starts_with(dir / "linked/e.fx:7: @include \"lib/up.glsl\" leaves the effect's folder")) << error;
    EXPECT_FALSE(parse(dir / "fx/e.fx", "../outside.glsl", error));
    EXPECT_EQ(error, (dir / "fx/e.fx:7: @include \"../outside.glsl\" leaves the effect's folder ") + (dir / "fx"));
    EXPECT_FALSE(parse(dir / "fx/e.fx", dir / "fx/lib/x.glsl", error));
    EXPECT_TRUE(error.ends_with("(absolute paths are not allowed)")) << error;
    // The folder itself is no link and no file.
    for (const char* folder : {".", "lib/.."}) {
        EXPECT_FALSE(parse(dir / "fx/e.fx", folder, error));
        EXPECT_TRUE(error.ends_with(": not a regular file (a directory))")) << error;
    }
}

}  // namespace
}  // namespace jolp

namespace jolp {
namespace {

TEST(EffectSource, FilesTooLongToNumberAreRefused) {
    std::string lines;
    for (int i = 0; i < 100000; ++i) lines += "//\n";
    const std::string error = ParseError({{"fx/e.fx", "@technique t\n@common\n@include \"big.glsl\"\n"}, {"fx/big.glsl", lines}});
    EXPECT_EQ(error, "fx/big.glsl: more than 99998 lines (longer files are not supported)");
}

}  // namespace
}  // namespace jolp
