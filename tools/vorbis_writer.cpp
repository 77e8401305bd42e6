#include "tools/vorbis_writer.h"

#include "platform/file_write.h"

#include <vorbis/vorbisenc.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace jolp::tools {
namespace {

bool WritePage(OutputFile& out, const ogg_page& page) {
    return out.Write(page.header, static_cast<size_t>(page.header_len)) &&
           out.Write(page.body, static_cast<size_t>(page.body_len));
}

}  // namespace

bool WriteOggVorbis(const std::string& path, const float* samples, size_t frames, const VorbisSettings& settings,
                    std::string& error) {
    OutputFile out;
    if (!out.Open(path, error)) return false;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, settings.channels, settings.sampleRate, settings.quality) != 0) {
        vorbis_info_clear(&info);
        error = path + ": the encoder refuses " + std::to_string(settings.channels) + " channels at " +
                std::to_string(settings.sampleRate) + " Hz";
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, settings.serial);

    bool ok = true;
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ok && ogg_stream_flush(&stream, &page) != 0) ok = WritePage(out, page);

    const size_t chunk = 4096;
    size_t done = 0;
    bool finished = false;
    while (ok && !finished) {
        const size_t n = frames - done < chunk ? frames - done : chunk;
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i) {
                for (int c = 0; c < settings.channels; ++c) {
                    buffer[c][i] = samples[(done + i) * static_cast<size_t>(settings.channels) + static_cast<size_t>(c)];
                }
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            done += n;
        }
        while (ok && vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (ok && vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ok && ogg_stream_pageout(&stream, &page) != 0) {
                    ok = WritePage(out, page);
                    if (ogg_page_eos(&page)) finished = true;
                }
            }
        }
        if (n == 0) finished = true;
    }
    while (ok && ogg_stream_flush(&stream, &page) != 0) ok = WritePage(out, page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    // The first failed write is the reason Commit gives; the file is not
    // left behind cut off.
    return out.Commit(error);
}

}  // namespace jolp::tools
