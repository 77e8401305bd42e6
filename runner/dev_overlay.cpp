#include "runner/dev_overlay.h"

#include "runner/overlay_font.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace jolp {

// Position in back-buffer pixels, atlas coordinates (u < 0: a solid quad,
// no texture), colour.
struct DevOverlay::Vertex {
    float x, y;
    float u, v;
    uint32_t argb;
};

namespace {

// The panel, the text and up to every graph bar, plus the reference lines.
constexpr size_t kMaxQuads = DevOverlay::kMaxChars + DevOverlay::kGraphSamples + 4;
constexpr uint32_t kVerticesPerQuad = 6;

constexpr uint32_t kPanelColour = 0xB0000000u;
constexpr uint32_t kTextColour = 0xFFE8E8E8u;
constexpr uint32_t kLineColour = 0x80FFFFFFu;
constexpr uint32_t kFastBar = 0xFF40C040u;   // within 16.7 ms
constexpr uint32_t kSlowBar = 0xFFE0C040u;   // within 33.3 ms
constexpr uint32_t kLateBar = 0xFFE04040u;   // longer
constexpr float kFrameMs60 = 1000.0f / 60.0f;
constexpr float kFrameMs30 = 1000.0f / 30.0f;

// Positions in pixels to Direct3D clip space: screen holds 2 / width and
// 2 / height; +y is the top of the picture.
constexpr const char* kVertexCode = R"(
uniform vec4 screen;
in vec2 inPosition;
in vec2 inTexCoord;
in vec4 inColor;
out vec2 vUV;
out vec4 vColour;
void main() {
    gl_Position = vec4(inPosition.x * screen.x - 1.0, 1.0 - inPosition.y * screen.y, 0.0, 1.0);
    vUV = inTexCoord;
    vColour = inColor;
}
)";

constexpr const char* kFragmentCode = R"(
uniform sampler2D atlas;
in vec2 vUV;
in vec4 vColour;
out vec4 outColor;
void main() {
    float coverage = vUV.x < 0.0 ? 1.0 : texture(atlas, vUV).r;
    outColor = vec4(vColour.rgb, vColour.a * coverage);
}
)";

int32_t Advance(const BakedGlyph& glyph) { return static_cast<int32_t>(std::lround(glyph.xadvance)); }

// The bar's height in pixels for a frame time.
int32_t BarHeight(float ms) {
    if (!(ms > 0.0f)) return 0;  // also NaN
    const float clamped = std::min(ms, DevOverlay::kGraphFullScaleMs);
    return static_cast<int32_t>(std::lround(clamped / DevOverlay::kGraphFullScaleMs * DevOverlay::kGraphHeight));
}

}  // namespace

DevOverlay::DevOverlay(GfxDevice& device) : device_(device) {}

DevOverlay::~DevOverlay() = default;

std::unique_ptr<DevOverlay> DevOverlay::Create(GfxDevice& device, std::string& error) {
    const BakedFont& font = OverlayFont();
    std::unique_ptr<DevOverlay> overlay(new DevOverlay(device));

    overlay->atlas_ = device.CreateTexture(font.atlasWidth, font.atlasHeight, 1, 0, Format::L8);
    if (!overlay->atlas_ ||
        !overlay->atlas_->Upload(0, font.atlas, ImageByteSize(Format::L8, font.atlasWidth, font.atlasHeight))) {
        error = "dev overlay: cannot make the " + std::to_string(font.atlasWidth) + " x " +
                std::to_string(font.atlasHeight) + " L8 font atlas texture";
        return nullptr;
    }

    const uint32_t length = static_cast<uint32_t>(kMaxQuads * kVerticesPerQuad * sizeof(Vertex));
    overlay->vertices_ = device.CreateVertexBuffer(length, kUsageDynamic | kUsageWriteOnly);
    if (!overlay->vertices_) {
        error = "dev overlay: cannot make its " + std::to_string(length) + "-byte dynamic vertex buffer";
        return nullptr;
    }

    const VertexElement elements[] = {
        {0, offsetof(Vertex, x), DeclType::Float2, DeclUsage::Position, 0},
        {0, offsetof(Vertex, u), DeclType::Float2, DeclUsage::TexCoord, 0},
        {0, offsetof(Vertex, argb), DeclType::D3DColor, DeclUsage::Color, 0},
    };
    overlay->declaration_ = device.CreateVertexDeclaration(elements);
    if (!overlay->declaration_) {
        error = "dev overlay: cannot make its vertex declaration";
        return nullptr;
    }

    std::string log;
    overlay->program_ = device.CreateProgram(kVertexCode, kFragmentCode, log);
    if (!overlay->program_) {
        error = "dev overlay: its text program does not build: " + log;
        return nullptr;
    }
    for (const UniformInfo& u : overlay->program_->Uniforms()) {
        if (u.name == "screen") overlay->screenLocation_ = u.location;
        if (u.name == "atlas") overlay->atlasLocation_ = u.location;
    }
    if (overlay->screenLocation_ < 0 || overlay->atlasLocation_ < 0) {
        error = "dev overlay: its text program lacks the uniforms screen and atlas";
        return nullptr;
    }
    return overlay;
}

void DevOverlay::SetText(std::string_view text) {
    const BakedFont& font = OverlayFont();
    length_ = std::min(text.size(), kMaxChars);
    lines_ = length_ > 0 ? 1 : 0;
    widestLine_ = 0;
    int32_t line = 0;
    for (size_t i = 0; i < length_; ++i) {
        char c = text[i];
        if (c == '\n') {
            text_[i] = c;
            ++lines_;
            line = 0;
            continue;
        }
        if (!BakedFont::Printable(c)) c = '?';
        text_[i] = c;
        line += Advance(font.Glyph(c));
        widestLine_ = std::max(widestLine_, line);
    }
}

void DevOverlay::AddFrameTime(float milliseconds) {
    samples_[nextSample_] = milliseconds;
    nextSample_ = (nextSample_ + 1) % kGraphSamples;
    sampleCount_ = std::min(sampleCount_ + 1, kGraphSamples);
}

int32_t DevOverlay::FirstBaseline() const {
    return kMargin + kPadding + static_cast<int32_t>(OverlayFont().ascent);
}

ScissorRect DevOverlay::GraphRect() const {
    const int32_t textHeight = lines_ * static_cast<int32_t>(OverlayFont().lineHeight);
    const int32_t top = kMargin + kPadding + textHeight + (lines_ > 0 ? kGap : 0);
    return ScissorRect{TextLeft(), top, TextLeft() + static_cast<int32_t>(kGraphSamples), top + kGraphHeight};
}

ScissorRect DevOverlay::PanelRect() const {
    const ScissorRect graph = GraphRect();
    const int32_t content = std::max(widestLine_, static_cast<int32_t>(kGraphSamples));
    return ScissorRect{kMargin, kMargin, TextLeft() + content + kPadding, graph.bottom + kPadding};
}

DevOverlay::Vertex* DevOverlay::AddQuad(Vertex* out, int32_t left, int32_t top, int32_t right, int32_t bottom,
                                        uint32_t argb, float u0, float v0, float u1, float v1) {
    const float l = static_cast<float>(left);
    const float t = static_cast<float>(top);
    const float r = static_cast<float>(right);
    const float b = static_cast<float>(bottom);
    // Two triangles, clockwise on screen (culling is off anyway).
    out[0] = Vertex{l, t, u0, v0, argb};
    out[1] = Vertex{r, t, u1, v0, argb};
    out[2] = Vertex{l, b, u0, v1, argb};
    out[3] = Vertex{r, t, u1, v0, argb};
    out[4] = Vertex{r, b, u1, v1, argb};
    out[5] = Vertex{l, b, u0, v1, argb};
    return out + kVerticesPerQuad;
}

DevOverlay::Vertex* DevOverlay::AddSolid(Vertex* out, int32_t left, int32_t top, int32_t right, int32_t bottom,
                                         uint32_t argb) {
    return AddQuad(out, left, top, right, bottom, argb, -1.0f, -1.0f, -1.0f, -1.0f);
}

void DevOverlay::Draw(uint32_t backBufferWidth, uint32_t backBufferHeight) {
    if (backBufferWidth == 0 || backBufferHeight == 0) return;
    auto* const first = static_cast<Vertex*>(vertices_->Lock(0, 0, kLockDiscard));
    if (!first) return;
    const BakedFont& font = OverlayFont();
    const float invWidth = 1.0f / static_cast<float>(font.atlasWidth);
    const float invHeight = 1.0f / static_cast<float>(font.atlasHeight);

    Vertex* v = first;
    const ScissorRect panel = PanelRect();
    v = AddSolid(v, panel.left, panel.top, panel.right, panel.bottom, kPanelColour);

    int32_t penX = TextLeft();
    int32_t baseline = FirstBaseline();
    for (size_t i = 0; i < length_; ++i) {
        const char c = text_[i];
        if (c == '\n') {
            penX = TextLeft();
            baseline += static_cast<int32_t>(font.lineHeight);
            continue;
        }
        const BakedGlyph& g = font.Glyph(c);
        if (g.x1 > g.x0 && g.y1 > g.y0) {
            const int32_t left = penX + static_cast<int32_t>(std::lround(g.xoff));
            const int32_t top = baseline + static_cast<int32_t>(std::lround(g.yoff));
            v = AddQuad(v, left, top, left + (g.x1 - g.x0), top + (g.y1 - g.y0), kTextColour, g.x0 * invWidth,
                        g.y0 * invHeight, g.x1 * invWidth, g.y1 * invHeight);
        }
        penX += Advance(g);
    }

    // Oldest sample on the left, the newest against the right edge.
    const ScissorRect graph = GraphRect();
    const size_t oldest = (nextSample_ + kGraphSamples - sampleCount_) % kGraphSamples;
    for (size_t i = 0; i < sampleCount_; ++i) {
        const float ms = samples_[(oldest + i) % kGraphSamples];
        const int32_t height = BarHeight(ms);
        if (height == 0) continue;
        const int32_t x = graph.right - static_cast<int32_t>(sampleCount_ - i);
        const uint32_t colour = ms <= kFrameMs60 ? kFastBar : ms <= kFrameMs30 ? kSlowBar : kLateBar;
        v = AddSolid(v, x, graph.bottom - height, x + 1, graph.bottom, colour);
    }
    for (const float ms : {kFrameMs60, kFrameMs30}) {
        const int32_t y = graph.bottom - BarHeight(ms) - 1;
        v = AddSolid(v, graph.left, y, graph.right, y + 1, kLineColour);
    }
    vertices_->Unlock();
    const auto vertexCount = static_cast<uint32_t>(v - first);

    static constexpr RenderState kStates[] = {
        RenderState::ZEnable,  RenderState::ZWriteEnable, RenderState::AlphaBlendEnable, RenderState::SrcBlend,
        RenderState::DestBlend, RenderState::CullMode,    RenderState::ScissorTestEnable,
    };
    uint32_t saved[std::size(kStates)];
    for (size_t i = 0; i < std::size(kStates); ++i) saved[i] = device_.GetRenderState(kStates[i]);
    device_.SetRenderState(RenderState::ZEnable, 0);
    device_.SetRenderState(RenderState::ZWriteEnable, 0);
    device_.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device_.SetRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
    device_.SetRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
    device_.SetRenderState(RenderState::CullMode, kCullNone);
    device_.SetRenderState(RenderState::ScissorTestEnable, 0);
    device_.SetViewport(Viewport{0, 0, backBufferWidth, backBufferHeight, 0.0f, 1.0f});

    device_.SetProgram(program_.get());
    const float screen[4] = {2.0f / static_cast<float>(backBufferWidth), 2.0f / static_cast<float>(backBufferHeight),
                             0.0f, 0.0f};
    device_.SetUniform(screenLocation_, UniformType::Vec4, screen);
    device_.SetUniformInt(atlasLocation_, 0);
    device_.SetTexture(0, atlas_.get(), SamplerState{TextureFilter::Point, MipFilter::None, TextureAddress::Clamp});
    device_.SetVertexDeclaration(declaration_.get());
    device_.SetStreamSource(0, vertices_.get(), 0, sizeof(Vertex));
    device_.DrawPrimitive(PrimitiveType::TriangleList, 0, vertexCount / 3);

    device_.SetStreamSource(0, nullptr, 0, 0);
    device_.SetVertexDeclaration(nullptr);
    device_.SetTexture(0, nullptr, SamplerState{});
    device_.SetProgram(nullptr);
    for (size_t i = 0; i < std::size(kStates); ++i) device_.SetRenderState(kStates[i], saved[i]);
}

}  // namespace jolp
