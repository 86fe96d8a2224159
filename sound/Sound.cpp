#include "sound/Sound.h"

#include <cstdlib>

CSound::~CSound()
{
    if (!dataNotOwned)
        std::free(data);
}

int32_t CSound::GetDuration() const { return DurationOf(dataSize); }

int32_t CSound::DurationOf(uint32_t bytes) const
{
    float divisor = static_cast<float>(samplesPerSec) * static_cast<float>(channels) *
                    static_cast<float>(bitsPerSample) / 8.0f;
    if (divisor == 0.0f)
        return 0;
    return static_cast<int32_t>(static_cast<float>(bytes) / divisor * 1000.0f);
}

void CSound::Release()
{
    if (!dataNotOwned)
        std::free(data);
    data = nullptr;
    channels = samplesPerSec = bitsPerSample = dataSize = 0;
    dataNotOwned = false;
}

bool CSound::Allocate(uint32_t size, uint32_t channelCount, uint32_t rate, uint32_t bits)
{
    if (!dataNotOwned && data)
        Release();
    else if (dataNotOwned) {
        // A borrowed block stays with its owner; the sound just lets go of it.
        data = nullptr;
        channels = samplesPerSec = bitsPerSample = dataSize = 0;
        dataNotOwned = false;
    }
    if (size == 0)
        return true;
    uint8_t* block = static_cast<uint8_t*>(std::malloc(size));
    if (!block)
        return false;
    Adopt(block, size, channelCount, rate, bits);
    return true;
}

void CSound::Adopt(uint8_t* block, uint32_t size, uint32_t channelCount, uint32_t rate,
                   uint32_t bits)
{
    Release();
    data = block;
    dataSize = size;
    channels = channelCount;
    samplesPerSec = rate;
    bitsPerSample = bits;
}
