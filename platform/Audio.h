// The sound card, as the sound classes see it: one output device that mixes any number of
// playback buffers in software, and one capture device that records into a ring.
// A playback buffer is a block of PCM bytes in its own format (8-bit unsigned or 16-bit
// signed, mono or stereo, any rate) with a play cursor that advances in real time while it
// plays, once or looping, and a volume in hundredths of a decibel (-10000 to 0).
// A playback buffer can also monitor a capture device: it then plays what the device records,
// about as soon as it is recorded, through a short jitter buffer between the two devices.
// Nothing starts or stops at full scale: a buffer that starts playing rises from silence over
// the ramp (about 5 ms), and one that stops, jumps to another position, is given new bytes or is
// destroyed while it plays fades out over the ramp from where it stood, while what follows
// rises; a step between two output samples is thus at most about full scale / the ramp's
// frames beyond the sounds' own steps.
// Call everything from the main thread. SDL's audio threads run the mixing and capture
// callbacks; the locks that guard their state never leave this layer. The mixing and capture
// threads never wait on anything but SDL's own device lock, which the main thread holds only
// for copies and pointer swaps: nothing is allocated or freed under it, and the monitor's
// recording is handed between the two threads without a lock. A device that goes away
// (a headset unplugged) is named by its DeviceId; an output that went away
// can be replaced by the default output under the same object, its buffers playing on.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct AudioFormat {
    uint32_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t bitsPerSample = 0;

    uint32_t BlockAlign() const { return channels * (bitsPerSample / 8); }
};

class CAudioCapture;
class CAudioDevice;
struct AudioFeed; // the jitter buffer between a capture device and a monitoring buffer
struct AudioReleased; // what a change under a device's lock lets go of, freed after it

// The length of every start, stop and replacement ramp.
constexpr uint32_t kAudioRampMs = 5;

// Fading tails mixed at once; a new one beyond them takes the place of the one nearest its end.
constexpr uint32_t kAudioTails = 16;

// What a playing buffer leaves behind when it stops, jumps or changes: its sound from where it
// stood, fading out. Owned by the device's mixer.
struct AudioTail {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    AudioFormat format;
    double position = 0.0;
    bool looping = false;
    float gain = 1.0f;  // the buffer's volume and ramp when it was left
    uint32_t done = 0;  // frames of the fade played
    bool finished = false;
};

// What a monitoring buffer has done since its last Play.
struct AudioMonitorStats {
    uint64_t played = 0;  // recorded frames that reached the mix
    uint64_t padded = 0;  // device frames of silence while the recording was late
    uint64_t dropped = 0; // recorded frames discarded, oldest first, while it ran ahead
    // The device frame (counted as FramesMixed counts) that carried the first recorded frame;
    // -1 until one has played.
    int64_t firstDeviceFrame = -1;
};

// One playback buffer. Made and destroyed by its CAudioDevice, which must outlive it.
class CAudioBuffer {
public:
    const AudioFormat& Format() const { return m_format; }
    uint32_t Size() const { return static_cast<uint32_t>(m_bytes->size()); }

    // Copies count bytes to offset; false (nothing copied) when the region is not inside the
    // buffer.
    bool Write(uint32_t offset, const void* source, uint32_t count);
    // The play cursor in bytes, a whole number of frames. A one-shot buffer that has played
    // to its end stops there, with the cursor at the end.
    uint32_t GetCurrentPosition() const;
    // Moves the cursor (rounded down to a frame, clamped to the end); while playing, what
    // played fades out and the new position rises.
    void SetCurrentPosition(uint32_t bytes);
    // Plays from the cursor, rising from silence when it was not playing; a one-shot buffer
    // whose cursor stands at its end stops at once.
    void Play(bool looping);
    // Stops, fading out what played; the cursor stays where the fade began.
    void Stop();
    // Takes new bytes in a new format (the rules of CreateBuffer) with the cursor at 0. While
    // playing it goes on playing them, rising, as the old bytes fade out. False, nothing
    // changed, for a format or size the mixer does not take.
    bool Replace(const AudioFormat& format, const void* bytes, uint32_t count);
    bool IsPlaying() const;
    // Hundredths of a decibel, clamped to -10000..0; the gain is 10^(volume / 2000).
    void SetVolume(int32_t volume);

    // Live monitoring. Given an open capture device that records in this buffer's format,
    // the buffer plays what the device records instead of its own bytes, from the next Play
    // on: each Play starts from an empty jitter buffer, plays silence until about
    // (the device's period + the capture's period + 5 ms) is held, then passes the recording
    // through. When the recording comes late the buffer pads with silence and fills up again;
    // when it runs ahead (the two devices' clocks drift) the oldest recorded frames are
    // dropped, so the delay stays within a few periods. The cursor does not move meanwhile.
    // A capture device feeds one buffer at a time, the last one given. Null returns to the
    // bytes. False, nothing changed, for a closed device or another format.
    bool Monitor(CAudioCapture* capture);
    bool IsMonitoring() const;
    AudioMonitorStats MonitorStats() const;

private:
    friend class CAudioDevice;
    CAudioBuffer(CAudioDevice& device, const AudioFormat& format, uint32_t bytes);

    // Called on the audio thread with the lock held: adds this buffer's next frames, converted
    // to the device's channels and rate, into mix.
    void MixInto(float* mix, uint32_t frames, uint32_t channels, uint32_t rate);
    // With the lock held: hands what plays now to the device's fading tails; the blocks of
    // tails that have finished or make way go to released, to be freed after the lock.
    void LeaveTail(AudioReleased& released);

    CAudioDevice& m_device;
    AudioFormat m_format;
    std::shared_ptr<std::vector<uint8_t>> m_bytes; // shared with the tails still fading it
    uint32_t m_rampDone = 0; // frames of the rise played; the ramp's length once risen
    uint32_t m_frames = 0;
    double m_position = 0.0; // frames, fractional while resampling
    bool m_playing = false;
    bool m_looping = false;
    float m_gain = 1.0f;
    std::shared_ptr<AudioFeed> m_feed; // set while monitoring; the capture device holds it too
};

// The output device. A device that could not be opened (no SDL audio, no card) exists
// without a backend: CreateBuffer then returns null and nothing plays.
class CAudioDevice {
public:
    // Opens the default output: 44100 Hz, 16-bit, stereo, or what it grants, mixed in periods
    // of 20 ms.
    CAudioDevice();
    ~CAudioDevice(); // buffers still alive are destroyed
    CAudioDevice(const CAudioDevice&) = delete;
    CAudioDevice& operator=(const CAudioDevice&) = delete;

    bool IsOpen() const { return m_id != 0; }
    // The id the platform's device-removed events name this device by; 0 when not open.
    uint32_t DeviceId() const { return m_id; }
    // Closes this device, if open, and opens the default output in its place with the same
    // request: every buffer keeps its bytes, cursor, volume and playing state, and those that
    // play rise again over the ramp on the new device; fading tails are dropped. Without a
    // default output the device is left closed (IsOpen false; its buffers stay, silent, until
    // destroyed). Never waits on a lock the mixer needs: the old device's thread has ended
    // before anything is touched.
    void Reopen();
    // The format the device mixes to (zero when not open).
    const AudioFormat& DeviceFormat() const { return m_deviceFormat; }

    // A new silent buffer of bytes bytes, or null without a backend, for a format the mixer
    // does not take (8 or 16 bits, 1 or 2 channels, a rate above 0) or for a size that is
    // not a whole number of frames above 0.
    CAudioBuffer* CreateBuffer(const AudioFormat& format, uint32_t bytes);
    void DestroyBuffer(CAudioBuffer* buffer);

    // Frames the mixer has handed to the device since it opened, across Reopen: the output's
    // clock. (Blocks the device plays before its first unpause are silence and not counted.)
    uint64_t FramesMixed() const { return m_framesMixed.load(); }
    // Frames in one period of the device (0 when not open).
    uint32_t PeriodFrames() const { return m_periodFrames; }
    // Frames of a start, stop or replacement ramp (0 when not open).
    uint32_t RampFrames() const { return m_rampFrames; }

private:
    friend class CAudioBuffer;
    static void Callback(void* self, uint8_t* stream, int length);
    // With the audio subsystem started: opens the default output and starts it; false leaves
    // the device closed, its format, periods and ramp zero.
    bool OpenDefault();
    // On the audio thread: adds the fading tails' next frames into mix.
    void MixTails(float* mix, uint32_t frames);

    uint32_t m_id = 0;
    AudioFormat m_deviceFormat;
    uint32_t m_periodFrames = 0;
    uint32_t m_rampFrames = 0;
    std::vector<std::unique_ptr<CAudioBuffer>> m_buffers;
    // Fading out. Slots are filled by the main thread and marked finished by the mixer; the
    // main thread lets go of finished blocks, after the lock.
    std::array<AudioTail, kAudioTails> m_tails;
    std::vector<float> m_mix; // the callback's scratch block, sized when the device opens
    std::atomic<uint64_t> m_framesMixed{0};
    uint64_t m_blockStart = 0; // FramesMixed of the block being mixed (audio thread only)
};

// The capture device: records in its format into a ring of one second and hands out what was
// recorded since the last read; it also feeds the playback buffer that monitors it, if any.
// Without a device, Start and Stop return false and Read 0.
class CAudioCapture {
public:
    // periodFrames: frames the device delivers at a time; 0 takes 10 ms' worth.
    explicit CAudioCapture(const AudioFormat& format, uint32_t periodFrames = 0);
    ~CAudioCapture();
    CAudioCapture(const CAudioCapture&) = delete;
    CAudioCapture& operator=(const CAudioCapture&) = delete;

    bool IsOpen() const { return m_id != 0; }
    // The id the platform's device-removed events name this device by; 0 when not open.
    uint32_t DeviceId() const { return m_id; }
    uint32_t RingSize() const { return static_cast<uint32_t>(m_ring.size()); }
    const AudioFormat& Format() const { return m_format; }
    uint32_t PeriodFrames() const { return m_periodFrames; }
    // Frames recorded since the device opened: the capture's clock.
    uint64_t FramesCaptured() const { return m_framesCaptured.load(); }

    // Empties the ring (both cursors to 0) and the monitoring buffer's jitter buffer, and
    // starts recording.
    bool Start();
    bool Stop();
    // Copies at most maximum of the bytes recorded since the last read (or Start), in order,
    // wrapping at the end of the ring. More than one ring's worth since the last read is
    // counted modulo the ring size: the oldest bytes are lost.
    uint32_t Read(void* destination, uint32_t maximum);

private:
    friend class CAudioBuffer;
    static void Callback(void* self, uint8_t* stream, int length);

    uint32_t m_id = 0;
    AudioFormat m_format;
    uint32_t m_periodFrames = 0;
    std::shared_ptr<AudioFeed> m_feed; // the monitoring buffer's, guarded by this device's lock
    std::atomic<uint64_t> m_framesCaptured{0};
    std::vector<uint8_t> m_ring;
    uint32_t m_writeOffset = 0; // where the callback writes next
    uint32_t m_readOffset = 0;  // up to where Read has handed bytes out
};
