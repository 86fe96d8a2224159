#include "platform/AudioFeed.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void AudioFeed::Push(const uint8_t* bytes, uint32_t frames)
{
    if (capacity == 0)
        return;
    if (frames > largestPush.load(std::memory_order_relaxed))
        largestPush.store(frames, std::memory_order_relaxed);
    const uint64_t end = written.load(std::memory_order_relaxed);
    const uint32_t room = capacity - static_cast<uint32_t>(end - readShared.load(std::memory_order_acquire));
    if (frames > room) {
        dropped.fetch_add(frames - room, std::memory_order_relaxed);
        frames = room;
    }
    const uint32_t tail = static_cast<uint32_t>(end % capacity);
    const uint32_t first = std::min(frames, capacity - tail);
    std::memcpy(ring.data() + static_cast<size_t>(tail) * frameBytes, bytes, static_cast<size_t>(first) * frameBytes);
    std::memcpy(ring.data(), bytes + static_cast<size_t>(first) * frameBytes,
                static_cast<size_t>(frames - first) * frameBytes);
    written.store(end + frames, std::memory_order_release);
}

void AudioFeed::Drop(uint32_t frames)
{
    frames = std::min(frames, Held());
    if (frames == 0)
        return;
    read += frames;
    readShared.store(read, std::memory_order_release);
    dropped.fetch_add(frames, std::memory_order_relaxed);
}

bool AudioFeed::Peek(float* values) const
{
    if (Held() == 0)
        return false;
    const uint8_t* frame = ring.data() + static_cast<size_t>(read % capacity) * frameBytes;
    values[0] = AudioSampleOf(frame, format, 0);
    values[1] = AudioSampleOf(frame, format, 1);
    return true;
}

bool AudioFeed::Pop(float* values)
{
    if (!Peek(values))
        return false;
    ++read;
    readShared.store(read, std::memory_order_release);
    played.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void AudioFeed::Restart()
{
    restart.store(true, std::memory_order_release);
    played = padded = dropped = 0;
    firstDeviceFrame = -1;
}

AudioMonitorStats AudioFeed::Stats() const
{
    AudioMonitorStats stats;
    stats.played = played.load(std::memory_order_relaxed);
    stats.padded = padded.load(std::memory_order_relaxed);
    stats.dropped = dropped.load(std::memory_order_relaxed);
    stats.firstDeviceFrame = firstDeviceFrame.load(std::memory_order_relaxed);
    return stats;
}

void AudioFeed::MixInto(float* mix, uint32_t frames, uint32_t channels, uint32_t rate, float gain,
                        uint64_t deviceFrame)
{
    if (restart.exchange(false, std::memory_order_acquire)) {
        read = written.load(std::memory_order_acquire);
        readShared.store(read, std::memory_order_release);
        filling = true;
        fraction = 0.0;
        windowLow = UINT_MAX;
        windowUsed = 0;
        played = padded = dropped = 0; // what this thread counted before it saw the restart
        firstDeviceFrame = -1;
    }
    const double step = static_cast<double>(format.samplesPerSec) / rate;
    const uint32_t perMs = std::max(format.samplesPerSec / 1000, 1u);
    // What this period consumes, and the margin kept on top of it: one capture period for the
    // way the two periods fall against each other, and 5 ms for the threads' wake-up times.
    const uint32_t need = static_cast<uint32_t>(std::ceil(fraction + frames * step));
    const uint32_t lowMargin = largestPush.load(std::memory_order_relaxed) + 5 * perMs;
    const uint32_t highMargin = lowMargin + 10 * perMs;
    const uint32_t held = Held();
    if (filling) {
        if (held == 0 || held < need + lowMargin) {
            padded.fetch_add(frames, std::memory_order_relaxed);
            return;
        }
        // Start from the low margin: what came in beyond it would only add to the delay.
        Drop(held - need - lowMargin);
        Pop(current);
        filling = false;
        fraction = 0.0;
        windowLow = UINT_MAX;
        windowUsed = 0;
    } else {
        // The lowest level over 100 ms is what the clocks' drift has added to the margin:
        // when it has grown past the high margin, the oldest frames go.
        windowLow = std::min(windowLow, held);
        windowUsed += need;
        if (windowUsed >= 100 * perMs) {
            if (windowLow > need + highMargin)
                Drop(windowLow - need - lowMargin);
            windowLow = UINT_MAX;
            windowUsed = 0;
        }
    }
    const bool stereoSource = format.channels == 2;
    for (uint32_t i = 0; i < frames; ++i) {
        float left = current[0], right = current[1];
        float next[2];
        if (fraction != 0.0 && Peek(next)) { // linear interpolation between recorded frames
            const float f = static_cast<float>(fraction);
            left += (next[0] - left) * f;
            right += (next[1] - right) * f;
        }
        AudioAddFrame(mix + static_cast<size_t>(i) * channels, channels, stereoSource, left, right, gain);
        if (firstDeviceFrame.load(std::memory_order_relaxed) < 0)
            firstDeviceFrame.store(static_cast<int64_t>(deviceFrame + i), std::memory_order_relaxed);
        fraction += step;
        while (fraction >= 1.0) {
            fraction -= 1.0;
            if (!Pop(current)) { // the recording is late: silence until it has caught up
                padded.fetch_add(frames - i - 1, std::memory_order_relaxed);
                filling = true;
                return;
            }
        }
    }
}
