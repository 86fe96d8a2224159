#include "sound/OggDecoder.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstring>

struct COggDecoder::State {
    OggVorbis_File file;
};

COggDecoder::COggDecoder() = default;

COggDecoder::~COggDecoder() { Close(); }

void COggDecoder::Close()
{
    if (m_state)
        ov_clear(&m_state->file); // also closes the FILE
    m_state.reset();
    m_channels = m_rate = m_totalBytes = 0;
    m_atEnd = false;
}

bool COggDecoder::Open(const String& path)
{
    Close();
    FILE* file = std::fopen(path.CStr(), "rb");
    return file && Open(file);
}

bool COggDecoder::Open(std::FILE* file)
{
    Close();
    if (!file)
        return false;
    auto state = std::make_unique<State>();
    if (ov_open(file, &state->file, nullptr, 0) != 0) {
        std::fclose(file);
        return false;
    }
    vorbis_info* info = ov_info(&state->file, -1);
    if (!info || info->channels <= 0 || info->rate <= 0) {
        ov_clear(&state->file);
        return false;
    }
    m_channels = static_cast<uint32_t>(info->channels);
    m_rate = static_cast<uint32_t>(info->rate);
    // The exact sample count, not the time total rounded back to samples: the end of a
    // stream is found by comparing decoded bytes with this total.
    ogg_int64_t samples = ov_pcm_total(&state->file, -1);
    double bytes = samples >= 0 ? static_cast<double>(samples) * m_channels * 2
                                : ov_time_total(&state->file, -1) * m_channels * m_rate * 2;
    m_totalBytes = bytes > 4294967295.0 ? 4294967295u : bytes > 0 ? static_cast<uint32_t>(bytes) : 0;
    m_state = std::move(state);
    return true;
}

uint32_t COggDecoder::Read(uint32_t count, uint8_t* destination, bool looping)
{
    if (!m_state)
        return 0;
    uint32_t done = 0;
    bool emptySinceRewind = false;
    while (done < count) {
        int section = 0;
        long got = ov_read(&m_state->file, reinterpret_cast<char*>(destination + done),
                           static_cast<int>(count - done), 0, 2, 1, &section);
        if (got > 0) {
            done += static_cast<uint32_t>(got);
            emptySinceRewind = false;
            continue;
        }
        if (got == OV_HOLE)
            continue; // a gap in the data: what follows still decodes
        if (got == 0 && looping && !emptySinceRewind) {
            // End of file: go on from the start within the same read. A file with no
            // samples at all would loop forever, so a second empty read ends it.
            if (ov_time_seek(&m_state->file, 0.0) != 0)
                break;
            emptySinceRewind = true;
            continue;
        }
        if (got == 0) {
            m_atEnd = true;
            std::memset(destination + done, 0, count - done);
        }
        break; // end of a non-looping read, or a decoding error: the bytes so far
    }
    return done;
}

bool COggDecoder::SeekSeconds(double seconds)
{
    if (!m_state)
        return false;
    m_atEnd = false;
    return ov_time_seek(&m_state->file, seconds) == 0;
}
