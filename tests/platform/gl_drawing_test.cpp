// The OpenGL device against Direct3D's rules, on real GL through the
// headless context: render targets in their formats, depth, blending,
// scissor, culling, the picture's orientation, buffers, and cube faces.
#include "tests/support/headless_gl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace jolp {
namespace {

float HalfToFloat(uint16_t h) {
    const uint32_t sign = (h >> 15) & 1;
    const uint32_t exponent = (h >> 10) & 0x1F;
    const uint32_t mantissa = h & 0x3FF;
    float value;
    if (exponent == 0) {
        value = std::ldexp(static_cast<float>(mantissa), -24);
    } else if (exponent == 31) {
        value = mantissa ? NAN : INFINITY;
    } else {
        value = std::ldexp(static_cast<float>(mantissa | 0x400), static_cast<int>(exponent) - 25);
    }
    return sign ? -value : value;
}

struct Vertex {
    float x, y, z;
};

struct ColouredVertex {
    float x, y, z;
    uint32_t argb;
};

// Passes positions through; the fragment writes `colour`.
constexpr const char* kFlatVertex = R"(
in vec3 inPosition;
void main() { gl_Position = vec4(inPosition, 1.0); }
)";
constexpr const char* kFlatFragment = R"(
uniform vec4 colour;
out vec4 outColor;
void main() { outColor = colour; }
)";

class GlDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_.ok()) << gl_.error;
        device_ = gl_.device.get();
        flat_ = Program(kFlatVertex, kFlatFragment);
        ASSERT_NE(flat_, nullptr);
        const VertexElement position[] = {{0, 0, DeclType::Float3, DeclUsage::Position, 0}};
        positions_ = device_->CreateVertexDeclaration(position);
        ASSERT_NE(positions_, nullptr);
    }

    std::unique_ptr<ShaderProgram> Program(const char* vertex, const char* fragment) {
        std::string log;
        auto program = device_->CreateProgram(vertex, fragment, log);
        EXPECT_NE(program, nullptr) << log;
        return program;
    }

    int32_t Location(const ShaderProgram& program, const char* name) {
        for (const UniformInfo& u : program.Uniforms()) {
            if (u.name == name) return u.location;
        }
        return -1;
    }

    template <typename T>
    std::unique_ptr<VertexBuffer> Buffer(const std::vector<T>& vertices, uint32_t usage = kUsageWriteOnly) {
        const auto length = static_cast<uint32_t>(vertices.size() * sizeof(T));
        auto buffer = device_->CreateVertexBuffer(length, usage);
        EXPECT_NE(buffer, nullptr);
        void* memory = buffer->Lock(0, 0, 0);
        EXPECT_NE(memory, nullptr);
        std::memcpy(memory, vertices.data(), length);
        buffer->Unlock();
        return buffer;
    }

    // Draws triangles with the flat program in one colour.
    void DrawFlat(const std::vector<Vertex>& triangles, float r, float g, float b, float a = 1.0f) {
        auto buffer = Buffer(triangles);
        device_->SetProgram(flat_.get());
        const float colour[] = {r, g, b, a};
        device_->SetUniform(Location(*flat_, "colour"), UniformType::Vec4, colour);
        device_->SetVertexDeclaration(positions_.get());
        device_->SetStreamSource(0, buffer.get(), 0, sizeof(Vertex));
        device_->DrawPrimitive(PrimitiveType::TriangleList, 0, static_cast<uint32_t>(triangles.size() / 3));
    }

    static std::vector<Vertex> Quad(float z = 0.5f, float x0 = -1, float y0 = -1, float x1 = 1, float y1 = 1) {
        // Clockwise on screen (y up in clip space), like Direct3D's fronts.
        return {{x0, y1, z}, {x1, y1, z}, {x0, y0, z}, {x0, y0, z}, {x1, y1, z}, {x1, y0, z}};
    }

    std::vector<uint8_t> ReadBack() {
        std::vector<uint8_t> image(static_cast<size_t>(kWidth) * kHeight * 3);
        EXPECT_TRUE(device_->ReadBackBuffer(image.data(), image.size()));
        return image;
    }

    static uint8_t Red(const std::vector<uint8_t>& rgb, uint32_t x, uint32_t y) {
        return rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
    }
    static uint8_t Green(const std::vector<uint8_t>& rgb, uint32_t x, uint32_t y) {
        return rgb[(static_cast<size_t>(y) * kWidth + x) * 3 + 1];
    }

    static constexpr uint32_t kWidth = 32;
    static constexpr uint32_t kHeight = 16;
    testing::HeadlessGl gl_{kWidth, kHeight};
    GlDevice* device_ = nullptr;
    std::unique_ptr<ShaderProgram> flat_;
    std::unique_ptr<VertexDeclaration> positions_;
};

TEST_F(GlDrawingTest, DepthComesFromClipControlUnlessSwitchedOff) {
    const char* off = std::getenv("JOLP_GL_NO_CLIP_CONTROL");
    const bool switchedOff = off && *off && std::string(off) != "0";
    if (switchedOff) {
        EXPECT_FALSE(device_->HasClipControl());
    }
    if (!switchedOff && device_->Version().major * 10 + device_->Version().minor >= 45) {
        EXPECT_TRUE(device_->HasClipControl());
    }
}

TEST_F(GlDrawingTest, SoftwareRasterizersFilterTrilinearlyUnlessAsked) {
    EXPECT_TRUE(IsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(IsSoftwareRenderer("softpipe"));
    EXPECT_FALSE(IsSoftwareRenderer("NVIDIA H100 PCIe/PCIe/SSE2"));
    const char* asked = std::getenv("JOLP_GL_ANISOTROPY");
    if (asked && *asked) return;
    if (IsSoftwareRenderer(device_->Renderer())) {
        EXPECT_EQ(device_->MaxAnisotropy(), 1.0f);
    } else {
        EXPECT_GE(device_->MaxAnisotropy(), 1.0f);
        EXPECT_LE(device_->MaxAnisotropy(), 8.0f);
    }
}

TEST_F(GlDrawingTest, FloatTargetsKeepWhatIsWrittenExactly) {
    auto half = device_->CreateTexture(8, 4, 1, kUsageRenderTarget, Format::A16B16G16R16F);
    auto single = device_->CreateTexture(8, 4, 1, kUsageRenderTarget, Format::R32F);
    ASSERT_NE(half, nullptr);
    ASSERT_NE(single, nullptr);
    device_->SetRenderState(RenderState::ZEnable, 0);

    device_->SetRenderTarget(0, half->GetSurfaceLevel(0));
    device_->Clear(kClearTarget, 0, 1.0f, 0);
    DrawFlat(Quad(), 0.25f, 1.5f, -2.0f, 1000.0f);
    std::vector<uint16_t> halves(8 * 4 * 4);
    ASSERT_TRUE(device_->ReadSurface(half->GetSurfaceLevel(0), halves.data(), halves.size() * 2));
    for (size_t i = 0; i < halves.size(); i += 4) {
        ASSERT_EQ(HalfToFloat(halves[i]), 0.25f);
        ASSERT_EQ(HalfToFloat(halves[i + 1]), 1.5f);
        ASSERT_EQ(HalfToFloat(halves[i + 2]), -2.0f);
        ASSERT_EQ(HalfToFloat(halves[i + 3]), 1000.0f);
    }

    device_->SetRenderTarget(0, single->GetSurfaceLevel(0));
    DrawFlat(Quad(), 3.14159274f, 0, 0);
    std::vector<float> singles(8 * 4);
    ASSERT_TRUE(device_->ReadSurface(single->GetSurfaceLevel(0), singles.data(), singles.size() * 4));
    for (float value : singles) ASSERT_EQ(value, 3.14159274f);

    // A white clear of a float target is exactly 1.0 in every channel.
    device_->SetRenderTarget(0, half->GetSurfaceLevel(0));
    device_->Clear(kClearTarget, 0xFFFFFFFFu, 1.0f, 0);
    ASSERT_TRUE(device_->ReadSurface(half->GetSurfaceLevel(0), halves.data(), halves.size() * 2));
    for (uint16_t h : halves) ASSERT_EQ(HalfToFloat(h), 1.0f);
}

TEST_F(GlDrawingTest, SettingATargetResetsViewportAndScissorToTheWholeTarget) {
    auto target = device_->CreateTexture(8, 4, 1, kUsageRenderTarget, Format::A8R8G8B8);
    ASSERT_NE(target, nullptr);
    device_->SetViewport(Viewport{1, 1, 2, 2, 0.0f, 1.0f});
    device_->SetRenderTarget(0, target->GetSurfaceLevel(0));
    device_->Clear(kClearTarget, 0xFF102030u, 1.0f, 0);
    std::vector<uint8_t> bgra(8 * 4 * 4);
    ASSERT_TRUE(device_->ReadSurface(target->GetSurfaceLevel(0), bgra.data(), bgra.size()));
    for (size_t i = 0; i < bgra.size(); i += 4) {
        ASSERT_EQ(bgra[i], 0x30);  // blue first: A8R8G8B8 is B, G, R, A in memory
        ASSERT_EQ(bgra[i + 1], 0x20);
        ASSERT_EQ(bgra[i + 2], 0x10);
        ASSERT_EQ(bgra[i + 3], 0xFF);
    }
}

TEST_F(GlDrawingTest, DepthSurfaceTestsAndWritesDepthInZeroToOne) {
    auto depth = device_->CreateDepthStencilSurface(kWidth, kHeight, Format::D24X8);
    ASSERT_NE(depth, nullptr);
    device_->SetDepthStencilSurface(depth.get());
    device_->Clear(kClearTarget | kClearZBuffer, 0xFF000000u, 1.0f, 0);
    // Near red first, then a far green quad behind it on the left half and
    // in front of it on the right half (z = 0 is the near plane and still
    // drawn; z above 1 is clipped).
    DrawFlat(Quad(0.5f), 1, 0, 0);
    DrawFlat(Quad(0.7f, -1, -1, 0, 1), 0, 1, 0);
    DrawFlat(Quad(0.0f, 0, -1, 1, 1), 0, 1, 0);
    DrawFlat(Quad(1.2f), 0, 0, 1);
    auto image = ReadBack();
    EXPECT_EQ(Red(image, 4, 8), 255);
    EXPECT_EQ(Green(image, 4, 8), 0);
    EXPECT_EQ(Green(image, 28, 8), 255);
    EXPECT_EQ(image[(8 * kWidth + 28) * 3 + 2], 0);  // the clipped blue quad is nowhere

    // Without the depth test, the last draw wins everywhere.
    device_->SetRenderState(RenderState::ZEnable, 0);
    DrawFlat(Quad(0.9f), 0, 0, 1);
    image = ReadBack();
    EXPECT_EQ(image[(8 * kWidth + 4) * 3 + 2], 255);

    // A depth surface smaller than the target is not used.
    auto small = device_->CreateDepthStencilSurface(4, 4, Format::D24S8);
    ASSERT_NE(small, nullptr);
    device_->SetRenderState(RenderState::ZEnable, 1);
    device_->SetDepthStencilSurface(small.get());
    device_->Clear(kClearZBuffer, 0, 0.0f, 0);  // would hide everything if it applied
    DrawFlat(Quad(0.5f), 1, 1, 0);
    image = ReadBack();
    EXPECT_EQ(Red(image, 30, 14), 255);
    EXPECT_EQ(Green(image, 30, 14), 255);
}

TEST_F(GlDrawingTest, OneOneBlendingAdds) {
    auto target = device_->CreateTexture(4, 4, 1, kUsageRenderTarget, Format::A16B16G16R16F);
    ASSERT_NE(target, nullptr);
    device_->SetRenderTarget(0, target->GetSurfaceLevel(0));
    device_->SetRenderState(RenderState::ZEnable, 0);
    device_->Clear(kClearTarget, 0, 1.0f, 0);
    DrawFlat(Quad(), 0.25f, 0.5f, 2.0f, 1.0f);
    device_->SetRenderState(RenderState::AlphaBlendEnable, 1);
    device_->SetRenderState(RenderState::SrcBlend, kBlendOne);
    device_->SetRenderState(RenderState::DestBlend, kBlendOne);
    DrawFlat(Quad(), 0.5f, 0.5f, 3.0f, 0.0f);
    std::vector<uint16_t> halves(4 * 4 * 4);
    ASSERT_TRUE(device_->ReadSurface(target->GetSurfaceLevel(0), halves.data(), halves.size() * 2));
    EXPECT_EQ(HalfToFloat(halves[0]), 0.75f);
    EXPECT_EQ(HalfToFloat(halves[1]), 1.0f);
    EXPECT_EQ(HalfToFloat(halves[2]), 5.0f);  // float targets do not saturate
    EXPECT_EQ(HalfToFloat(halves[3]), 1.0f);
    EXPECT_EQ(device_->GetRenderState(RenderState::DestBlend), kBlendOne);
}

TEST_F(GlDrawingTest, ScissorLimitsDrawsAndClearsOnlyWhileEnabled) {
    device_->SetRenderState(RenderState::ZEnable, 0);
    device_->Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
    device_->SetScissorRect(ScissorRect{4, 2, 12, 6});
    DrawFlat(Quad(), 1, 0, 0);  // scissor test off: the rectangle does nothing
    auto image = ReadBack();
    EXPECT_EQ(Red(image, 0, 0), 255);

    device_->Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
    device_->SetRenderState(RenderState::ScissorTestEnable, 1);
    DrawFlat(Quad(), 0, 1, 0);
    device_->Clear(kClearTarget, 0xFFFF0000u, 1.0f, 0);  // clears only the rectangle too
    image = ReadBack();
    EXPECT_EQ(Red(image, 4, 2), 255);    // inside, top-left corner counted from the top
    EXPECT_EQ(Red(image, 11, 5), 255);
    EXPECT_EQ(Red(image, 12, 5), 0);     // right edge exclusive
    EXPECT_EQ(Red(image, 4, 6), 0);      // bottom edge exclusive
    EXPECT_EQ(Green(image, 3, 2), 0);
}

TEST_F(GlDrawingTest, CullModesFollowTheWindingOnScreen) {
    device_->SetRenderState(RenderState::ZEnable, 0);
    // Left half: clockwise on screen. Right half: counter-clockwise.
    const std::vector<Vertex> clockwise = {{-1, 1, 0.5f}, {0, 1, 0.5f}, {-1, -1, 0.5f},
                                           {-1, -1, 0.5f}, {0, 1, 0.5f}, {0, -1, 0.5f}};
    const std::vector<Vertex> counter = {{0, 1, 0.5f}, {0, -1, 0.5f}, {1, 1, 0.5f},
                                         {1, 1, 0.5f}, {0, -1, 0.5f}, {1, -1, 0.5f}};
    struct Case {
        uint32_t cull;
        bool clockwiseShown;
        bool counterShown;
    } cases[] = {{kCullCCW, true, false}, {kCullCW, false, true}, {kCullNone, true, true}};
    for (const Case& c : cases) {
        device_->Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
        device_->SetRenderState(RenderState::CullMode, c.cull);
        DrawFlat(clockwise, 1, 0, 0);
        DrawFlat(counter, 1, 0, 0);
        const auto image = ReadBack();
        EXPECT_EQ(Red(image, 8, 8) == 255, c.clockwiseShown) << "cull mode " << c.cull;
        EXPECT_EQ(Red(image, 24, 8) == 255, c.counterShown) << "cull mode " << c.cull;
    }
}

TEST_F(GlDrawingTest, TopOfClipSpaceAndTextureRowZeroAreTheTopOfThePicture) {
    device_->SetRenderState(RenderState::ZEnable, 0);
    device_->Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
    DrawFlat(Quad(0.5f, -1, 0, 1, 1), 1, 0, 0);  // clip-space y > 0
    auto image = ReadBack();
    EXPECT_EQ(Red(image, 5, 0), 255);
    EXPECT_EQ(Red(image, 5, kHeight - 1), 0);

    // A 1 x 2 texture: row 0 red, row 1 green, drawn over the whole picture
    // with v = 0 at the top.
    auto texture = device_->CreateTexture(1, 2, 1, 0, Format::A8R8G8B8);
    ASSERT_NE(texture, nullptr);
    const uint8_t pixels[] = {0, 0, 255, 255, 0, 255, 0, 255};
    ASSERT_TRUE(texture->Upload(0, pixels, sizeof pixels));
    auto program = Program(R"(
in vec3 inPosition;
out vec2 uv;
void main() { gl_Position = vec4(inPosition, 1.0); uv = vec2(inPosition.x * 0.5 + 0.5, 0.5 - inPosition.y * 0.5); }
)",
                           R"(
uniform sampler2D image;
in vec2 uv;
out vec4 outColor;
void main() { outColor = texture(image, uv); }
)");
    ASSERT_NE(program, nullptr);
    auto quad = Buffer(Quad());
    device_->SetProgram(program.get());
    device_->SetUniformInt(Location(*program, "image"), 0);
    device_->SetTexture(0, texture.get(), SamplerState{TextureFilter::Point, MipFilter::None, TextureAddress::Clamp});
    device_->SetVertexDeclaration(positions_.get());
    device_->SetStreamSource(0, quad.get(), 0, sizeof(Vertex));
    device_->DrawPrimitive(PrimitiveType::TriangleList, 0, 2);
    image = ReadBack();
    EXPECT_EQ(Red(image, 5, 1), 255);
    EXPECT_EQ(Green(image, 5, 1), 0);
    EXPECT_EQ(Green(image, 5, kHeight - 2), 255);
}

TEST_F(GlDrawingTest, IndexedDrawsColoursAndDiscardLocks) {
    device_->SetRenderState(RenderState::ZEnable, 0);
    device_->Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
    // D3DCOLOR vertices (bytes B, G, R, A) drawn as a strip through 16-bit
    // indices, the vertex buffer dynamic and refilled with discard.
    auto program = Program(R"(
in vec3 inPosition;
in vec4 inColor;
out vec4 colour;
void main() { gl_Position = vec4(inPosition, 1.0); colour = inColor; }
)",
                           R"(
in vec4 colour;
out vec4 outColor;
void main() { outColor = colour; }
)");
    ASSERT_NE(program, nullptr);
    const VertexElement elements[] = {{0, 0, DeclType::Float3, DeclUsage::Position, 0},
                                      {0, 12, DeclType::D3DColor, DeclUsage::Color, 0}};
    auto declaration = device_->CreateVertexDeclaration(elements);
    auto vertices = device_->CreateVertexBuffer(4 * sizeof(ColouredVertex), kUsageDynamic | kUsageWriteOnly);
    auto indices = device_->CreateIndexBuffer(4 * 2, kUsageWriteOnly, Format::Index16);
    ASSERT_TRUE(declaration && vertices && indices);
    for (uint32_t argb : {0xFF0000FFu, 0xFFFF8000u}) {
        auto* v = static_cast<ColouredVertex*>(vertices->Lock(0, 0, kLockDiscard));
        ASSERT_NE(v, nullptr);
        v[0] = {-1, 1, 0.5f, argb};
        v[1] = {1, 1, 0.5f, argb};
        v[2] = {-1, -1, 0.5f, argb};
        v[3] = {1, -1, 0.5f, argb};
        EXPECT_EQ(vertices->Lock(0, 0, 0), nullptr);  // already locked
        vertices->Unlock();
    }
    auto* i = static_cast<uint16_t*>(indices->Lock(0, 0, 0));
    ASSERT_NE(i, nullptr);
    i[0] = 0, i[1] = 1, i[2] = 2, i[3] = 3;
    indices->Unlock();
    device_->SetProgram(program.get());
    device_->SetVertexDeclaration(declaration.get());
    device_->SetStreamSource(0, vertices.get(), 0, sizeof(ColouredVertex));
    device_->SetIndices(indices.get());
    device_->SetRenderState(RenderState::CullMode, kCullNone);
    device_->DrawIndexedPrimitive(PrimitiveType::TriangleStrip, 0, 0, 4, 0, 2);
    auto image = ReadBack();
    EXPECT_EQ(Red(image, 16, 8), 255);
    EXPECT_EQ(Green(image, 16, 8), 128);
    EXPECT_EQ(image[(8 * kWidth + 16) * 3 + 2], 0);

    // Draws that would read past the end of a buffer are refused.
    device_->Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
    device_->DrawIndexedPrimitive(PrimitiveType::TriangleStrip, 0, 0, 4, 1, 2);
    device_->DrawPrimitive(PrimitiveType::TriangleList, 0, 2);
    image = ReadBack();
    EXPECT_EQ(Red(image, 16, 8), 0);
}

TEST_F(GlDrawingTest, ProgramsReportTheirUniformsAndTheirErrors) {
    auto program = Program(kFlatVertex, kFlatFragment);
    ASSERT_NE(program, nullptr);
    ASSERT_EQ(program->Uniforms().size(), 1u);
    EXPECT_EQ(program->Uniforms()[0].name, "colour");
    EXPECT_EQ(program->Uniforms()[0].type, UniformType::Vec4);

    std::string log;
    EXPECT_EQ(device_->CreateProgram("#line 7 0\nvoid main() { gl_Position = vec4(nothing); }\n", kFlatFragment, log),
              nullptr);
    EXPECT_NE(log.find("7"), std::string::npos) << log;
    EXPECT_NE(log.find("nothing"), std::string::npos) << log;
}

TEST_F(GlDrawingTest, FormatsTheDeviceCannotRenderToAreRefused) {
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, kUsageRenderTarget, Format::DXT1), nullptr);
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, kUsageRenderTarget, Format::L8), nullptr);
    EXPECT_EQ(device_->CreateTexture(0, 4, 1, 0, Format::A8R8G8B8), nullptr);
    EXPECT_EQ(device_->CreateTexture(1u << 20, 4, 1, 0, Format::A8R8G8B8), nullptr);
    EXPECT_EQ(device_->CreateDepthStencilSurface(4, 4, Format::A8R8G8B8), nullptr);
    EXPECT_EQ(device_->CreateIndexBuffer(16, 0, Format::A8R8G8B8), nullptr);
    auto full = device_->CreateTexture(16, 4, 0, 0, Format::DXT5);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->LevelCount(), 5u);
    // Compressed levels take whole 4x4 blocks, down to 1 x 1.
    std::vector<uint8_t> blocks(16);
    EXPECT_TRUE(full->Upload(4, blocks.data(), blocks.size()));
    EXPECT_FALSE(full->Upload(4, blocks.data(), 8));
}

}  // namespace
}  // namespace jolp

namespace jolp {
namespace {

// The renderer's shadow-cube face matrices for a light at the origin:
// R(f) x P, where P is the square right-handed projection with
// k = -1.0002 (near 1, far about 5000).
void FaceMatrix(int face, float out[16]) {
    static const float kRotations[6][9] = {
        {0, 0, 1, 0, -1, 0, 1, 0, 0},  {0, 0, -1, 0, -1, 0, -1, 0, 0}, {-1, 0, 0, 0, 0, 1, 0, 1, 0},
        {-1, 0, 0, 0, 0, -1, 0, -1, 0}, {-1, 0, 0, 0, -1, 0, 0, 0, 1},  {1, 0, 0, 0, -1, 0, 0, 0, -1},
    };
    uint32_t bits = 0xBF80068Eu;
    float k;
    std::memcpy(&k, &bits, 4);
    const float p[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, k, -1, 0, 0, k, 0};
    float r[16] = {};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) r[row * 4 + col] = kRotations[face][row * 3 + col];
    }
    r[15] = 1;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            float sum = 0;
            for (int i = 0; i < 4; ++i) sum += r[row * 4 + i] * p[i * 4 + col];
            out[row * 4 + col] = sum;
        }
    }
}

// Direction i of n spread evenly over the sphere.
void SphereDirection(int i, int n, float d[3]) {
    const float z = 1.0f - (2.0f * static_cast<float>(i) + 1.0f) / static_cast<float>(n);
    const float r = std::sqrt(1.0f - z * z);
    const float phi = static_cast<float>(i) * 2.39996323f;
    d[0] = r * std::cos(phi);
    d[1] = r * std::sin(phi);
    d[2] = z;
}

TEST_F(GlDrawingTest, CubeFacesRenderedWithTheFaceMatricesAreFoundByDirection) {
    // A box around the light writes its world position into a float cube,
    // face by face. Sampling the cube along a direction from a point towards
    // the light must find that point: the position read back lies opposite
    // the sampling direction.
    constexpr uint32_t kEdge = 64;
    auto cube = device_->CreateCubeTexture(kEdge, 1, kUsageRenderTarget, Format::A32B32G32R32F);
    auto depth = device_->CreateDepthStencilSurface(kEdge, kEdge, Format::D24X8);
    ASSERT_TRUE(cube && depth);
    auto writer = Program(R"(
uniform mat4 matWorldToCubeFace;
in vec3 inPosition;
out vec3 world;
void main() { gl_Position = vec4(inPosition, 1.0) * matWorldToCubeFace; world = inPosition; }
)",
                          R"(
in vec3 world;
out vec4 outColor;
void main() { outColor = vec4(world, 1.0); }
)");
    ASSERT_NE(writer, nullptr);
    // The inside of a box from -10 to 10 (a long one, so faces differ).
    std::vector<Vertex> box;
    const float e[3] = {10, 14, 8};
    for (int axis = 0; axis < 3; ++axis) {
        for (float side : {-1.0f, 1.0f}) {
            const int u = (axis + 1) % 3;
            const int v = (axis + 2) % 3;
            auto corner = [&](float a, float b) {
                float p[3];
                p[axis] = side * e[axis];
                p[u] = a * e[u];
                p[v] = b * e[v];
                return Vertex{p[0], p[1], p[2]};
            };
            box.insert(box.end(), {corner(-1, -1), corner(1, -1), corner(1, 1), corner(-1, -1), corner(1, 1),
                                   corner(-1, 1)});
        }
    }
    auto boxBuffer = Buffer(box);
    device_->SetDepthStencilSurface(depth.get());
    device_->SetRenderState(RenderState::CullMode, kCullNone);
    for (uint32_t face = 0; face < 6; ++face) {
        device_->SetRenderTarget(0, cube->GetCubeMapSurface(face, 0));
        device_->Clear(kClearTarget | kClearZBuffer, 0, 1.0f, 0);
        float m[16];
        FaceMatrix(static_cast<int>(face), m);
        device_->SetProgram(writer.get());
        device_->SetUniform(Location(*writer, "matWorldToCubeFace"), UniformType::Mat4, m);
        device_->SetVertexDeclaration(positions_.get());
        device_->SetStreamSource(0, boxBuffer.get(), 0, sizeof(Vertex));
        device_->DrawPrimitive(PrimitiveType::TriangleList, 0, static_cast<uint32_t>(box.size() / 3));
    }

    constexpr int kSamples = 256;
    auto samples = device_->CreateTexture(kSamples, 1, 1, kUsageRenderTarget, Format::A32B32G32R32F);
    ASSERT_NE(samples, nullptr);
    auto reader = Program(kFlatVertex, R"(
uniform samplerCube cube;
uniform float count;
out vec4 outColor;
void main() {
    float i = floor(gl_FragCoord.x);
    float z = 1.0 - (2.0 * i + 1.0) / count;
    float r = sqrt(1.0 - z * z);
    float phi = i * 2.39996323;
    outColor = texture(cube, vec3(r * cos(phi), r * sin(phi), z));
}
)");
    ASSERT_NE(reader, nullptr);
    auto quad = Buffer(Quad());
    device_->SetRenderTarget(0, samples->GetSurfaceLevel(0));
    device_->SetDepthStencilSurface(nullptr);
    device_->SetProgram(reader.get());
    device_->SetTexture(0, cube.get(), SamplerState{TextureFilter::Point, MipFilter::None, TextureAddress::Clamp});
    device_->SetUniformInt(Location(*reader, "cube"), 0);
    const float count = kSamples;
    device_->SetUniform(Location(*reader, "count"), UniformType::Float, &count);
    device_->SetVertexDeclaration(positions_.get());
    device_->SetStreamSource(0, quad.get(), 0, sizeof(Vertex));
    device_->DrawPrimitive(PrimitiveType::TriangleList, 0, 2);
    std::vector<float> found(kSamples * 4);
    ASSERT_TRUE(device_->ReadSurface(samples->GetSurfaceLevel(0), found.data(), found.size() * 4));
    for (int i = 0; i < kSamples; ++i) {
        float d[3];
        SphereDirection(i, kSamples, d);
        const float* p = &found[static_cast<size_t>(i) * 4];
        const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        ASSERT_GT(length, 1.0f) << "direction " << i << " found nothing";
        const float cosine = -(p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / length;
        ASSERT_GT(cosine, 0.995f) << "direction " << i << " (" << d[0] << ", " << d[1] << ", " << d[2]
                                  << ") found the point (" << p[0] << ", " << p[1] << ", " << p[2] << ")";
    }
}

}  // namespace
}  // namespace jolp
