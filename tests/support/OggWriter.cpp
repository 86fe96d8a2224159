#include "support/OggWriter.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

bool WritePages(ogg_stream_state& stream, FILE* out, bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (std::fwrite(page.header, 1, page.header_len, out) != static_cast<size_t>(page.header_len) ||
            std::fwrite(page.body, 1, page.body_len, out) != static_cast<size_t>(page.body_len))
            return false;
    }
    return true;
}

} // namespace

std::vector<int16_t> ToneSamples(int frames, int channels, int rate, double frequency)
{
    std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[static_cast<size_t>(i) * channels + c] =
                static_cast<int16_t>(16000 * std::sin(2 * M_PI * frequency * i / rate));
    return samples;
}

bool WriteOggVorbis(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    vorbis_info info;
    vorbis_info_init(&info);
    bool ok = vorbis_encode_init_vbr(&info, channels, rate, 0.4f) == 0;
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    if (ok) {
        vorbis_analysis_init(&dsp, &info);
        vorbis_block_init(&dsp, &block);
        ogg_stream_init(&stream, 12345);
        ogg_packet header, commentHeader, codeHeader;
        vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
        ogg_stream_packetin(&stream, &header);
        ogg_stream_packetin(&stream, &commentHeader);
        ogg_stream_packetin(&stream, &codeHeader);
        ok = WritePages(stream, out, true);

        const size_t frames = samples.size() / channels;
        size_t done = 0;
        for (;;) {
            const size_t chunk = std::min<size_t>(1024, frames - done);
            if (chunk > 0) {
                float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
                for (size_t i = 0; i < chunk; ++i)
                    for (int c = 0; c < channels; ++c)
                        buffer[c][i] = samples[(done + i) * channels + c] / 32768.0f;
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(chunk)); // 0 marks the end
            done += chunk;
            while (vorbis_analysis_blockout(&dsp, &block) == 1) {
                vorbis_analysis(&block, nullptr);
                vorbis_bitrate_addblock(&block);
                ogg_packet packet;
                while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                    ogg_stream_packetin(&stream, &packet);
                    ok = WritePages(stream, out, false) && ok;
                }
            }
            if (chunk == 0)
                break;
        }
        ok = WritePages(stream, out, true) && ok;
        ogg_stream_clear(&stream);
        vorbis_block_clear(&block);
        vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(out) == 0 && ok;
}
