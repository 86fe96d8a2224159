// The jitter buffer of live monitoring, apart from any device so that its behaviour can be
// driven on a simulated clock: a capture thread pushes what it records, an output thread
// mixes it about as soon as it came, a little late rather than ever in pieces.
#pragma once

#include "platform/Audio.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <vector>

// One sample of the frame at bytes as a 16-bit value; a channel past the source's last is read
// from its last (mono feeds every output channel).
inline float AudioSampleOf(const uint8_t* bytes, const AudioFormat& format, uint32_t channel)
{
    if (channel >= format.channels)
        channel = format.channels - 1;
    if (format.bitsPerSample == 8)
        return static_cast<float>((static_cast<int>(bytes[channel]) - 128) * 256);
    const uint8_t* at = bytes + static_cast<size_t>(channel) * 2;
    return static_cast<float>(static_cast<int16_t>(at[0] | (at[1] << 8)));
}

// Adds one source frame (left, right; the same value twice for mono) to an output frame.
inline void AudioAddFrame(float* out, uint32_t channels, bool stereoSource, float left, float right, float gain)
{
    if (channels == 1) {
        out[0] += (stereoSource ? 0.5f * (left + right) : left) * gain;
    } else {
        out[0] += left * gain; // channels past the first two stay silent
        out[1] += right * gain;
    }
}

// The jitter buffer between a capture device, whose audio thread pushes what it records, and
// the playback buffer that monitors it, whose output thread mixes it. Neither thread ever
// waits for the other: the ring is single-producer, single-consumer, handed over through two
// frame counters. The capture side only ever advances written, the mixing side only read; the
// main thread asks for a restart through a flag the mixing side honours. Sizes are in frames
// of the capture's format.
struct AudioFeed {
    explicit AudioFeed(const AudioFormat& recorded)
        : format(recorded), frameBytes(recorded.BlockAlign()), capacity(recorded.samplesPerSec / 2),
          ring(static_cast<size_t>(capacity) * frameBytes)
    {
    }

    // --- The capture thread
    // Appends frames; what does not fit in the capacity (half a second) is dropped, newest
    // first: the oldest belong to the mixing side.
    void Push(const uint8_t* bytes, uint32_t frames);

    // --- The mixing thread
    // Frames held now.
    uint32_t Held() const { return static_cast<uint32_t>(written.load(std::memory_order_acquire) - read); }
    void Drop(uint32_t frames);
    // Takes the oldest frame as one value per channel (two, the same for mono); false when empty.
    bool Pop(float* values);
    bool Peek(float* values) const;
    // Adds the next frames, converted to the device's channels and rate, into mix.
    void MixInto(float* mix, uint32_t frames, uint32_t channels, uint32_t rate, float gain,
                 uint64_t deviceFrame);

    // --- Any thread
    // Empties the buffer (at the mixing side's next turn) and zeroes the statistics; the next
    // mix starts by filling it up again.
    void Restart();
    AudioMonitorStats Stats() const;

    const AudioFormat format;
    const uint32_t frameBytes;
    const uint32_t capacity;
    std::vector<uint8_t> ring;
    std::atomic<uint64_t> written{0};      // frames ever pushed (the capture side's)
    uint64_t read = 0;                     // frames ever taken or dropped (the mixing side's)
    std::atomic<uint64_t> readShared{0};   // read, as the capture side sees it
    std::atomic<uint32_t> largestPush{0};  // the capture's period, as seen from here
    std::atomic<bool> restart{false};

    // The mixing side.
    bool filling = true;        // silence until enough is held
    float current[2] = {0, 0};  // the frame being played
    double fraction = 0.0;      // between current and the next frame, when resampling
    uint32_t windowLow = UINT_MAX; // the lowest level seen at a period's start in this window
    uint32_t windowUsed = 0;    // frames consumed in this window

    // Statistics since the last restart, each counted by one side and read by any.
    std::atomic<uint64_t> played{0}, padded{0}, dropped{0};
    std::atomic<int64_t> firstDeviceFrame{-1};
};
