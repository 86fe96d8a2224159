// CSound: a block of raw PCM bytes with its format (channels, rate, bits per sample).
// Samples are interleaved by channel; 8-bit samples are unsigned, 16-bit ones signed
// little-endian. The sound frees its block unless dataNotOwned is set, in which case whoever
// set it keeps the block alive and frees it.
#pragma once

#include "media/Resource.h"

#include <cstdint>

class CSound : public CResource {
public:
    CSound() { kind = ResourceSound; }
    ~CSound() override;
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;

    // Milliseconds: size / (rate × channels × bits / 8) × 1000, the divisor in single
    // precision, truncated toward zero; 0 when the divisor is 0.
    virtual int32_t GetDuration() const;
    // The duration of bytes bytes in this sound's format, by the same rule.
    int32_t DurationOf(uint32_t bytes) const;

    // Frees an owned block and clears the format; then, when size > 0, allocates size bytes
    // (not cleared) and stores the format. Returns false when the block cannot be had, which
    // leaves the sound empty.
    bool Allocate(uint32_t size, uint32_t channels, uint32_t samplesPerSec, uint32_t bitsPerSample);

    // Takes over a malloc'ed block (the WAV reader's, for instance); the sound then owns it.
    void Adopt(uint8_t* block, uint32_t size, uint32_t channels, uint32_t samplesPerSec,
               uint32_t bitsPerSample);
    // Frees an owned block and clears the data pointer, format and size.
    void Release();

    uint8_t* GetData() const { return data; }
    uint32_t GetChannels() const { return channels; }
    uint32_t GetSamplesPerSec() const { return samplesPerSec; }
    uint32_t GetBitsPerSample() const { return bitsPerSample; }
    uint32_t GetDataSize() const { return dataSize; }
    bool IsStreamed() const { return streamed; }

    bool dataNotOwned = false;
    uint8_t* data = nullptr;
    uint32_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t bitsPerSample = 0;
    uint32_t dataSize = 0;
    bool streamed = false;
};
