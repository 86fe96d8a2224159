#include "sound/SoundStream.h"

#include "sound/OggDecoder.h"

#include <cstdlib>
#include <cstring>

namespace {

// product / divisor in 64-bit arithmetic; 0 when the result does not fit a 32-bit size.
uint32_t RingBytes(uint64_t product, uint64_t divisor)
{
    uint64_t bytes = product / divisor;
    return bytes > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(bytes);
}

} // namespace

CSoundStream::CSoundStream()
{
    kind = ResourceStream;
    streamed = true;
}

CSoundStream::~CSoundStream() = default;

int32_t CSoundStream::GetDuration() const { return DurationOf(m_totalBytes); }

bool CSoundStream::OpenStream(const String& path, uint32_t size)
{
    if (!m_decoder)
        m_decoder = std::make_unique<COggDecoder>();
    if (!m_decoder->Open(path)) {
        m_decoder.reset();
        Allocate(0, 0, 0, 0);
        m_halfSize = m_totalBytes = m_decodedBytes = 0;
        return false;
    }
    const uint32_t channelCount = m_decoder->Channels(), rate = m_decoder->SamplesPerSec();
    const uint64_t product = static_cast<uint64_t>(rate) * channelCount * size * 16;
    const uint32_t ring = RingBytes(product, 1000);
    m_halfSize = RingBytes(product, 2000);
    m_totalBytes = m_decoder->TotalBytes();
    m_decodedBytes = 0;
    m_ended = false;
    if (!Allocate(ring, channelCount, rate, 16))
        m_halfSize = 0;
    else if (data)
        std::memset(data, 0, dataSize); // the device gets the whole ring before the halves fill
    m_lastFilledHalf = 1;
    m_filled = false;
    return true;
}

void CSoundStream::PrepareLiveStream(uint32_t channelCount, uint32_t rate, uint32_t bits,
                                     uint32_t size)
{
    const uint64_t frameBytes = static_cast<uint64_t>(channelCount) * (bits / 8);
    uint32_t ring = RingBytes(frameBytes * rate * size, 1000);
    if (frameBytes > 0)
        ring -= static_cast<uint32_t>(ring % (2 * frameBytes)); // two halves of whole frames
    Allocate(ring, channelCount, rate, bits);
    if (data)
        std::memset(data, bits == 8 ? 0x80 : 0, dataSize); // silence until the halves fill
    m_totalBytes = dataSize;
    m_halfSize = dataSize / 2;
    m_decodedBytes = 0;
    m_lastFilledHalf = 1;
    m_filled = false;
}

void CSoundStream::Seek(double seconds)
{
    m_lastFilledHalf = 1;
    m_filled = false;
    double bytes = (bitsPerSample / 8) * static_cast<double>(samplesPerSec) * channels * seconds;
    m_decodedBytes = bytes > 0 ? (bytes < 4294967295.0 ? static_cast<uint32_t>(bytes) : 0xFFFFFFFFu) : 0;
    m_ended = false;
    if (m_decoder && !m_decoder->SeekSeconds(seconds > 0 ? seconds : 0)) {
        // Past the end: nothing is left to play once, and a loop starts over.
        m_decoder->SeekSeconds(0);
        m_ended = true;
    }
}

void CSoundStream::ReadHalf(int32_t half, bool looping)
{
    if (!m_decoder || !data || m_halfSize == 0)
        return;
    uint32_t read = m_decoder->Read(m_halfSize, data + static_cast<size_t>(half) * m_halfSize, looping);
    m_decodedBytes += read;
    if (m_decoder->AtEnd() && !looping)
        m_ended = true;
}

int32_t CSoundStream::NextHalf(uint32_t cursor, bool looping)
{
    const uint32_t h = m_halfSize;
    if (!looping && HasEnded())
        return -1;
    if (m_lastFilledHalf == 0 && cursor <= h) {
        ReadHalf(1, looping);
        m_lastFilledHalf = 1;
        return 1;
    }
    // Right after a seek the first half is due whatever the cursor says: the ring still holds
    // what played before.
    if (m_filled && (m_lastFilledHalf == 0 || cursor <= h))
        return -1;
    ReadHalf(0, looping);
    m_lastFilledHalf = 0;
    m_filled = true;
    return 0;
}

bool DecodeWhole(const String& path, CSound& sound)
{
    sound.Allocate(0, 0, 0, 0);
    COggDecoder decoder;
    if (!decoder.Open(path) || decoder.TotalBytes() == 0)
        return false;
    const uint32_t total = decoder.TotalBytes();
    if (!sound.Allocate(total, decoder.Channels(), decoder.SamplesPerSec(), 16))
        return false;
    uint32_t read = decoder.Read(total, sound.data, false);
    if (read == 0) {
        sound.Allocate(0, 0, 0, 0);
        return false;
    }
    sound.dataSize = read; // a damaged file may decode short: report what was decoded
    return true;
}
