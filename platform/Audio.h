// The sound card, as the sound classes see it: one output device that mixes any number of
// playback buffers in software, and one capture device that records into a ring.
// A playback buffer is a block of PCM bytes in its own format (8-bit unsigned or 16-bit
// signed, mono or stereo, any rate) with a play cursor that advances in real time while it
// plays, once or looping, and a volume in hundredths of a decibel (-10000 to 0).
// Call everything from the main thread. SDL's audio thread runs the mixing and capture
// callbacks; the lock that guards their state never leaves this layer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct AudioFormat {
    uint32_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t bitsPerSample = 0;

    uint32_t BlockAlign() const { return channels * (bitsPerSample / 8); }
};

class CAudioDevice;

// One playback buffer. Made and destroyed by its CAudioDevice, which must outlive it.
class CAudioBuffer {
public:
    const AudioFormat& Format() const { return m_format; }
    uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }

    // Copies count bytes to offset; false (nothing copied) when the region is not inside the
    // buffer.
    bool Write(uint32_t offset, const void* source, uint32_t count);
    // The play cursor in bytes, a whole number of frames. A one-shot buffer that has played
    // to its end stops there, with the cursor at the end.
    uint32_t GetCurrentPosition() const;
    // Moves the cursor (rounded down to a frame, clamped to the end).
    void SetCurrentPosition(uint32_t bytes);
    void Play(bool looping);
    void Stop();
    bool IsPlaying() const;
    // Hundredths of a decibel, clamped to -10000..0; the gain is 10^(volume / 2000).
    void SetVolume(int32_t volume);

private:
    friend class CAudioDevice;
    CAudioBuffer(CAudioDevice& device, const AudioFormat& format, uint32_t bytes);

    // Called on the audio thread with the lock held: adds this buffer's next frames, converted
    // to the device's channels and rate, into mix.
    void MixInto(float* mix, uint32_t frames, uint32_t channels, uint32_t rate);
    float SampleAt(uint32_t frame, uint32_t channel) const;

    CAudioDevice& m_device;
    AudioFormat m_format;
    std::vector<uint8_t> m_bytes;
    uint32_t m_frames = 0;
    double m_position = 0.0; // frames, fractional while resampling
    bool m_playing = false;
    bool m_looping = false;
    float m_gain = 1.0f;
};

// The output device. A device that could not be opened (no SDL audio, no card) exists
// without a backend: CreateBuffer then returns null and nothing plays.
class CAudioDevice {
public:
    CAudioDevice();  // opens the default output: 44100 Hz, 16-bit, stereo, or what it grants
    ~CAudioDevice(); // buffers still alive are destroyed
    CAudioDevice(const CAudioDevice&) = delete;
    CAudioDevice& operator=(const CAudioDevice&) = delete;

    bool IsOpen() const { return m_id != 0; }
    // The format the device mixes to (zero when not open).
    const AudioFormat& DeviceFormat() const { return m_deviceFormat; }

    // A new silent buffer of bytes bytes, or null without a backend, for a format the mixer
    // does not take (8 or 16 bits, 1 or 2 channels, a rate above 0) or for a size that is
    // not a whole number of frames above 0.
    CAudioBuffer* CreateBuffer(const AudioFormat& format, uint32_t bytes);
    void DestroyBuffer(CAudioBuffer* buffer);

private:
    friend class CAudioBuffer;
    static void Callback(void* self, uint8_t* stream, int length);

    uint32_t m_id = 0;
    AudioFormat m_deviceFormat;
    std::vector<std::unique_ptr<CAudioBuffer>> m_buffers;
    std::vector<float> m_mix; // the callback's scratch block, sized when the device opens
};

// The capture device: records in its format into a ring of one second and hands out what was
// recorded since the last read. Without a device, Start and Stop return false and Read 0.
class CAudioCapture {
public:
    explicit CAudioCapture(const AudioFormat& format);
    ~CAudioCapture();
    CAudioCapture(const CAudioCapture&) = delete;
    CAudioCapture& operator=(const CAudioCapture&) = delete;

    bool IsOpen() const { return m_id != 0; }
    uint32_t RingSize() const { return static_cast<uint32_t>(m_ring.size()); }

    // Empties the ring (both cursors to 0) and starts recording.
    bool Start();
    bool Stop();
    // Copies at most maximum of the bytes recorded since the last read (or Start), in order,
    // wrapping at the end of the ring. More than one ring's worth since the last read is
    // counted modulo the ring size: the oldest bytes are lost.
    uint32_t Read(void* destination, uint32_t maximum);

private:
    static void Callback(void* self, uint8_t* stream, int length);

    uint32_t m_id = 0;
    std::vector<uint8_t> m_ring;
    uint32_t m_writeOffset = 0; // where the callback writes next
    uint32_t m_readOffset = 0;  // up to where Read has handed bytes out
};
