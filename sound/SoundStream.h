// CSoundStream: a sound played through a ring of two halves that is refilled while it plays,
// either from an Ogg Vorbis file (decoded with vorbisfile, 16-bit little-endian samples) or,
// for a live stream, by whoever fills each half before it is written to the device.
// Also DecodeWhole, which decodes a whole Ogg Vorbis file into a CSound.
// The stream owns its decoder; data and dataSize describe the ring.
#pragma once

#include "sound/Sound.h"

#include <cstdint>
#include <memory>

class COggDecoder;

class CSoundStream : public CSound {
public:
    CSoundStream();
    ~CSoundStream() override;

    // Milliseconds of the whole stream (total bytes in place of the ring's size).
    int32_t GetDuration() const override;

    // Opens an Ogg Vorbis file with a ring of sizeMs × 16 bits per millisecond of each
    // channel at the file's rate (ring = rate × channels × size × 16 / 1000 bytes, each half
    // a half of that). On failure the stream has no decoder and no data. Returns success.
    bool OpenStream(const String& file, uint32_t size);
    // A stream without decoder, for live sound: a playback buffer either monitors a capture
    // device with it, or writes halves that the data signal's receiver fills. The ring holds
    // size milliseconds: channels × rate × bits / 8 × size / 1000 bytes, rounded down to an
    // even number of frames so that each half holds whole frames; no ring when that does
    // not fit in 32 bits.
    void PrepareLiveStream(uint32_t channels, uint32_t samplesPerSec, uint32_t bitsPerSample,
                           uint32_t size);
    // Moves the stream to seconds from its start; the next NextHalf fills the first half with
    // the sound from there. Past the end of the file, a non-looping stream has ended and a
    // looping one starts again from the beginning.
    void Seek(double seconds);
    // The refill rule: given the device's play cursor in the ring (bytes), decodes the next
    // piece into the half that is free and returns its index (0 or 1), or returns -1 when
    // no half is to be written (the half being played is the only stale one, or a
    // non-looping stream has ended). A live stream decodes nothing but follows the same rule:
    // the half it names is the one the receiver is to fill.
    int32_t NextHalf(uint32_t cursor, bool looping);

    bool HasDecoder() const { return m_decoder != nullptr; }
    // True once a non-looping read has decoded the whole file: NextHalf's -1 then means the
    // end, not only that the half being played is the stale one.
    bool HasEnded() const { return m_decodedBytes == m_totalBytes || m_ended; }
    uint32_t GetHalfSize() const { return m_halfSize; }
    int32_t GetLastFilledHalf() const { return m_lastFilledHalf; }
    uint32_t GetDecodedBytes() const { return m_decodedBytes; }
    uint32_t GetTotalBytes() const { return m_totalBytes; }

private:
    // Decodes up to h bytes into the given half.
    void ReadHalf(int32_t half, bool looping);

    std::unique_ptr<COggDecoder> m_decoder;
    uint32_t m_halfSize = 0;
    int32_t m_lastFilledHalf = 1;
    uint32_t m_decodedBytes = 0;
    uint32_t m_totalBytes = 0;
    bool m_ended = false;  // the decoder reached the end of a non-looping read
    bool m_filled = false; // a half has been filled since the last seek
};

// Decodes a whole Ogg Vorbis file into sound (16 bits, the file's channels and rate).
// On failure the sound is left empty: no size without data.
bool DecodeWhole(const String& file, CSound& sound);
