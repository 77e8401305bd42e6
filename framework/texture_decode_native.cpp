#include "framework/texture_decode.h"

#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace jolp::texture_decode {
namespace {

// JPEG through libjpeg. Its errors leave through error_exit, which must not
// return: ours longjmps back to the setjmp of the Jpeg* step that called
// into the library. Those steps are plain C, with no object whose
// destructor a longjmp would skip, and keep what outlives them in the
// JpegDecoder they are handed.

// A progressive file keeps every coefficient of the image while it decodes:
// 384 MiB for the largest image we take in full-resolution colour. More
// than this (more components, say) is refused rather than allocated.
constexpr long kMaxJpegMemory = 512L << 20;
// Every scan of a progressive file passes over the whole image; a few
// hundred bytes could otherwise hold thousands of scans of a large image.
// Encoders write about ten.
constexpr int kMaxJpegScans = 100;

struct JpegDecoder {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    // Why the last step failed: libjpeg's message and code, or ours.
    char message[JMSG_LENGTH_MAX];
    int code;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
    auto* decoder = static_cast<JpegDecoder*>(info->client_data);
    decoder->code = info->err->msg_code;
    info->err->format_message(info, decoder->message);
    std::longjmp(decoder->jump, 1);
}

// Warnings (a file cut short, corrupt entropy-coded data) are counted, not
// printed: what decodes is shown, as for a file cut short anywhere else.
void JpegEmitMessage(j_common_ptr info, int level) {
    if (level < 0) ++info->err->num_warnings;
}

void JpegOutputMessage(j_common_ptr) {}

void JpegProgress(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number <= kMaxJpegScans) return;
    auto* decoder = static_cast<JpegDecoder*>(info->client_data);
    decoder->code = -1;
    std::snprintf(decoder->message, sizeof decoder->message, "more than %d scans", kMaxJpegScans);
    std::longjmp(decoder->jump, 1);
}

// Sets up decoder to read size bytes at data, and reads the header.
bool JpegReadHeader(JpegDecoder& decoder, const uint8_t* data, size_t size) {
    decoder.info.err = jpeg_std_error(&decoder.errors);
    decoder.errors.error_exit = JpegErrorExit;
    decoder.errors.emit_message = JpegEmitMessage;
    decoder.errors.output_message = JpegOutputMessage;
    decoder.info.client_data = &decoder;
    if (setjmp(decoder.jump)) return false;
    // This clears everything but err and client_data.
    jpeg_create_decompress(&decoder.info);
    decoder.info.mem->max_memory_to_use = kMaxJpegMemory;
    decoder.progress.progress_monitor = JpegProgress;
    decoder.info.progress = &decoder.progress;
    jpeg_mem_src(&decoder.info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&decoder.info, TRUE);
    return true;
}

bool IsCmyk(const JpegDecoder& decoder) {
    return decoder.info.jpeg_color_space == JCS_CMYK || decoder.info.jpeg_color_space == JCS_YCCK;
}

// Decodes into bgra (width x height x 4 bytes). row, width x 4 bytes, holds
// a CMYK row on its way to bgra.
bool JpegDecode(JpegDecoder& decoder, uint8_t* bgra, uint8_t* row) {
    if (setjmp(decoder.jump)) return false;
    const bool cmyk = IsCmyk(decoder);
    decoder.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&decoder.info);
    const size_t width = decoder.info.output_width;
    while (decoder.info.output_scanline < decoder.info.output_height) {
        uint8_t* out = bgra + size_t{decoder.info.output_scanline} * width * 4;
        JSAMPROW rows[1] = {cmyk ? row : out};
        if (jpeg_read_scanlines(&decoder.info, rows, 1) != 1) break;
        if (!cmyk) continue;
        // Files with CMYK (or YCCK) components store the inks inverted, as
        // Adobe's applications write them: 255 is no ink.
        for (size_t x = 0; x < width; ++x) {
            const unsigned k = row[x * 4 + 3];
            out[x * 4 + 0] = static_cast<uint8_t>((row[x * 4 + 2] * k + 127) / 255);
            out[x * 4 + 1] = static_cast<uint8_t>((row[x * 4 + 1] * k + 127) / 255);
            out[x * 4 + 2] = static_cast<uint8_t>((row[x * 4 + 0] * k + 127) / 255);
            out[x * 4 + 3] = 255;
        }
    }
    jpeg_finish_decompress(&decoder.info);
    return true;
}

}  // namespace

std::unique_ptr<GfxTexture> DecodeJpeg(const std::string& path, std::span<const uint8_t> bytes, GfxDevice& device,
                                       std::string& error) {
    // Zeroed, so that destroying it is safe however far creating it got.
    JpegDecoder decoder{};
    struct Destroy {
        JpegDecoder& decoder;
        ~Destroy() { jpeg_destroy_decompress(&decoder.info); }
    } destroy{decoder};
    const auto refuse = [&](int64_t width, int64_t height) {
        if (decoder.code == JERR_EMPTY_IMAGE && (decoder.info.image_width == 0 || decoder.info.image_height == 0)) {
            // libjpeg has read the frame header's size when it says so.
            error = NoPixels(path, "JPEG", decoder.info.image_width, decoder.info.image_height);
        } else if (decoder.code == JERR_OUT_OF_MEMORY) {
            error = OutOfMemory(path, width, height);
        } else if (decoder.code == JERR_NO_BACKING_STORE) {
            error = path + ": a " + Size(width, height) + " JPEG that needs more than " +
                    std::to_string(kMaxJpegMemory >> 20) + " MiB to decode";
        } else {
            error = path + ": cannot decode the JPEG file (" + decoder.message + ")";
        }
        return nullptr;
    };
    if (!JpegReadHeader(decoder, bytes.data(), bytes.size())) return refuse(0, 0);
    const int64_t width = decoder.info.image_width;
    const int64_t height = decoder.info.image_height;
    if (!FitsLimits(width, height)) {
        error = TooLarge(path, width, height);
        return nullptr;
    }
    std::vector<uint8_t> bgra;
    std::vector<uint8_t> row;
    try {
        bgra.resize(static_cast<size_t>(width * height * 4));
        if (IsCmyk(decoder)) row.resize(static_cast<size_t>(width * 4));
    } catch (const std::bad_alloc&) {
        error = OutOfMemory(path, width, height);
        return nullptr;
    }
    if (!JpegDecode(decoder, bgra.data(), row.data())) return refuse(width, height);
    return UploadWithMipChain(path, bgra.data(), static_cast<uint32_t>(width), static_cast<uint32_t>(height), device,
                              error);
}

}  // namespace jolp::texture_decode
