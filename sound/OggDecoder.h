// COggDecoder: one Ogg Vorbis file open in vorbisfile, read as 16-bit signed little-endian
// interleaved samples. Internal to the sound classes; vorbisfile stays out of this header.
#pragma once

#include "util/String.h"

#include <cstdint>
#include <cstdio>
#include <memory>

class COggDecoder {
public:
    COggDecoder();
    ~COggDecoder();
    COggDecoder(const COggDecoder&) = delete;
    COggDecoder& operator=(const COggDecoder&) = delete;

    // Closes what was open, then opens file; false when it is missing or not Ogg Vorbis.
    bool Open(const String& file);
    // The same for a file already open for reading, which the decoder takes over (and closes,
    // also on failure).
    bool Open(std::FILE* file);
    void Close();

    // Reads up to count bytes into destination. At the end of the file a looping read
    // starts again from the beginning; a non-looping one fills the rest with zero bytes (not
    // counted) and reports the end through AtEnd. A decoding error ends the read early with
    // the bytes read so far; a hole in the data is skipped.
    uint32_t Read(uint32_t count, uint8_t* destination, bool looping);
    bool SeekSeconds(double seconds);

    uint32_t Channels() const { return m_channels; }
    uint32_t SamplesPerSec() const { return m_rate; }
    uint32_t BitsPerSample() const { return 16; }
    // The whole file's decoded length in bytes (capped at 4 GiB - 1).
    uint32_t TotalBytes() const { return m_totalBytes; }
    bool AtEnd() const { return m_atEnd; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    uint32_t m_channels = 0;
    uint32_t m_rate = 0;
    uint32_t m_totalBytes = 0;
    bool m_atEnd = false;
};
