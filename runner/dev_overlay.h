// dev_overlay.h - DevOverlay, the authoring overlay a demo shows when run
// for development: a few lines of text in the baked bitmap font
// (overlay_font.h) on a translucent dark panel in the top-left corner of the
// picture, with a bar graph of the last frame times below the text.
//
// It knows nothing of the demo: the caller hands it the text and one frame
// time per frame, and calls Draw once the frame has been composited onto the
// back buffer, between BeginScene and EndScene.
//
// Ownership: the caller owns the overlay; the overlay owns its atlas
// texture, vertex buffer, vertex declaration and program, all made on the
// device given to Create, which must outlive it. Everything is allocated in
// Create; SetText, AddFrameTime and Draw allocate nothing.
//
// Draw changes, and puts back as they were, the render states ZEnable,
// ZWriteEnable, AlphaBlendEnable, SrcBlend, DestBlend, CullMode and
// ScissorTestEnable (the scissor rectangle is not touched). It leaves the
// viewport covering the whole back buffer, and texture unit 0, the program,
// the vertex declaration and stream 0 unbound.
//
// Layout, in back-buffer pixels: the panel's top-left corner is at (kMargin,
// kMargin); inside it, kPadding pixels from its edges, come the text lines
// (OverlayFont().lineHeight apart; 15 px with the default font) and then,
// kGap below them when there is text, the graph: kGraphSamples bars one
// pixel wide and up to kGraphHeight pixels tall for 0..kGraphFullScaleMs,
// with lines at 16.7 ms and 33.3 ms. For N lines the panel is
// 2 * kPadding + max(widest line, kGraphSamples) wide (8 px a character with
// the default font) and 2 * kPadding + N * lineHeight + (N > 0 ? kGap : 0) +
// kGraphHeight tall: 60 + 15 N pixels. PanelRect and GraphRect give them.
#pragma once

#include "platform/gfx_device.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace jolp {

class DevOverlay {
public:
    static constexpr size_t kMaxChars = 4096;     // text kept; longer text is cut
    static constexpr size_t kGraphSamples = 240;  // frame times shown, newest on the right
    static constexpr int32_t kMargin = 4;         // panel from the picture's top-left corner
    static constexpr int32_t kPadding = 4;        // text and graph from the panel's edges
    static constexpr int32_t kGap = 4;            // between the text and the graph
    static constexpr int32_t kGraphHeight = 48;
    static constexpr float kGraphFullScaleMs = 50.0f;  // a bar this long or longer fills the height

    // Null with the reason in error when a resource cannot be made.
    static std::unique_ptr<DevOverlay> Create(GfxDevice& device, std::string& error);
    ~DevOverlay();
    DevOverlay(const DevOverlay&) = delete;
    DevOverlay& operator=(const DevOverlay&) = delete;

    // Replaces the text: ASCII, '\n' between lines. Characters past
    // kMaxChars are dropped; other non-printable characters show as '?'.
    void SetText(std::string_view text);
    std::string_view Text() const { return std::string_view(text_, length_); }

    // Appends one frame's time; the oldest of kGraphSamples is dropped.
    void AddFrameTime(float milliseconds);

    // Draws the panel, text and graph onto the current render target,
    // whose size is given (the back buffer's).
    void Draw(uint32_t backBufferWidth, uint32_t backBufferHeight);

    // Where the panel and the graph area within it are for the current
    // text, in pixels from the top-left corner (right and bottom exclusive).
    ScissorRect PanelRect() const;
    ScissorRect GraphRect() const;
    // The pen's start for the first line: left edge and baseline.
    int32_t TextLeft() const { return kMargin + kPadding; }
    int32_t FirstBaseline() const;

private:
    struct Vertex;
    DevOverlay(GfxDevice& device);
    Vertex* AddQuad(Vertex* out, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t argb, float u0,
                    float v0, float u1, float v1);
    Vertex* AddSolid(Vertex* out, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t argb);

    GfxDevice& device_;
    std::unique_ptr<GfxTexture> atlas_;
    std::unique_ptr<VertexBuffer> vertices_;
    std::unique_ptr<VertexDeclaration> declaration_;
    std::unique_ptr<ShaderProgram> program_;
    int32_t screenLocation_ = -1;
    int32_t atlasLocation_ = -1;

    char text_[kMaxChars] = {};
    size_t length_ = 0;
    int32_t lines_ = 0;         // lines of text; 0 for none
    int32_t widestLine_ = 0;    // pixels

    float samples_[kGraphSamples] = {};
    size_t nextSample_ = 0;
    size_t sampleCount_ = 0;
};

}  // namespace jolp
