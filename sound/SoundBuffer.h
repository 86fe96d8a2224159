// Sound output: the process-wide sound device (CSoundProvider), playback buffers that play
// one sound each (CSoundBuffer) and the sets that own them (CSoundBufferSet).
// A buffer plays a whole CSound, or a CSoundStream through its two-half ring, refilled every
// 100 ms, or monitors a capture device: then what the microphone records reaches the output
// within a few tens of milliseconds, without any refill or wait on the main thread.
// Timing comes from frame-tick timers, never from the device: the stopped signal
// arrives on the first tick at or after the sound's end, the refills on the first tick at
// or after each 100 ms (the main loop ticks when a timer is due, minimised or not). Buffers
// do not own their sounds; sets own their buffers and keep the device alive. Main thread only.
#pragma once

#include "events/Timer.h"
#include "events/Signal.h"
#include "util/Vector.h"
#include "sound/Sound.h"

#include <cstdint>
#include <memory>
#include <vector>

class CAudioBuffer;
class CAudioDevice;
class CSoundCapture;

// The PCM format of the primary (device) buffer as the program asks for it.
struct SoundFormat {
    uint32_t formatTag = 1;
    uint32_t channels = 2;
    uint32_t samplesPerSec = 44100;
    uint32_t bitsPerSample = 8;
};

// The sound device. The listener settings are stored; nothing plays in 3D.
class CSoundProvider {
public:
    virtual ~CSoundProvider() = default;

    virtual void SetDopplerFactor(float factor) { dopplerFactor = factor; }
    virtual void SetRolloffFactor(float factor) { rolloffFactor = factor; }
    virtual void SetListenerPosition(const CVector& position) { listenerPosition = position; }
    // The front vector; the top vector is (0, 1, 0).
    virtual void SetListenerOrientation(const CVector& front) { listenerOrientation = front; }
    virtual void SetListenerVelocity(const CVector& velocity) { listenerVelocity = velocity; }

    bool enabled3D = false;
    SoundFormat primaryFormat;
    float dopplerFactor = 1.0f;
    float rolloffFactor = 1.0f;
    CVector listenerPosition{0, 0, 0, 0};
    CVector listenerOrientation{0, 0, 0, 0};
    CVector listenerVelocity{0, 0, 0, 0};
};

// The device on the platform's audio output. When no output can be opened the object still
// exists without a backend: buffers made on it are silent.
class CSoundProviderSDL : public CSoundProvider {
public:
    CSoundProviderSDL();
    ~CSoundProviderSDL() override;

    bool IsOpen() const;
    CAudioDevice* GetDevice() const { return m_device.get(); }

private:
    std::unique_ptr<CAudioDevice> m_device;
};

// One playback buffer. The base keeps the state and the timers; the implementation also
// drives the device.
class CSoundBuffer {
public:
    explicit CSoundBuffer(CSound* sound);
    virtual ~CSoundBuffer() = default;
    CSoundBuffer(const CSoundBuffer&) = delete;
    CSoundBuffer& operator=(const CSoundBuffer&) = delete;

    // Starts from position: bytes into a whole sound, seconds into a stream.
    virtual void Play(int32_t position);
    // Continues a stopped sound from where it stopped; a stream is not moved.
    virtual void Resume();
    virtual void Stop();
    // The device's play cursor in bytes (the stored start position in the base).
    virtual int32_t GetPosition();
    virtual void SetLooping(bool loop) { looping = loop; }
    virtual void SetPosition(int32_t bytes) { position = bytes; }
    // Hundredths of a decibel; the device takes it clamped to -10000..0.
    virtual void SetVolume(int32_t hundredthsDb) { volume = hundredthsDb; }
    virtual void SetMinDistance(float distance) { minDistance = distance; }
    virtual void SetMaxDistance(float distance) { maxDistance = distance; }
    virtual void Set3DPosition(const CVector& p) { position3D = p; }
    virtual void SetVelocity(const CVector& v) { velocity = v; }
    virtual void SetConeOrientation(const CVector& v) { coneOrientation = v; }
    virtual void SetConeAngles(const CVector& insideOutside) { coneAngles = insideOutside; }
    virtual void SetConeOutsideVolume(int32_t v) { coneOutsideVolume = v; }
    // Writes the next half of a stream to the device (see CSoundBufferSDL).
    virtual void Refill() {}
    // Live monitoring: from the next Play or Resume on, plays what capture records in place
    // of the sound's data, a few tens of milliseconds after it is recorded: late recording is
    // padded with silence, recording that runs ahead loses its oldest part. The refill and
    // duration timers stay off and the data signal silent meanwhile. The capture must record
    // in the sound's format (a live stream prepared with its format does). Null returns to
    // the sound's data. False, nothing changed, when the device side cannot monitor it (the
    // base has no device side).
    virtual bool Monitor(CSoundCapture* capture);
    bool IsMonitoring() const { return monitoring; }
    // Plays replacement (a whole sound, not a stream) in place of the current sound, from its
    // start, with the same looping: while playing, the old sound fades out as the new one rises
    // (no step at full scale) and the duration timer starts again as Play(0) starts it; while
    // stopped, the next Play or Resume plays it. The buffer then refers to replacement (not
    // owned). False, nothing changed, for a stream, a monitoring buffer, or a format or size
    // the device side cannot play.
    virtual bool Replace(CSound* replacement);

    CSound* GetSound() const { return sound; }
    bool IsPlaying() const { return playing; }
    bool IsLooping() const { return looping; }
    int32_t GetVolume() const { return volume; }

    CSound* sound; // not owned
    bool playing = false;
    bool looping = false;
    int32_t position = 0;
    int32_t volume = 0;
    float minDistance = 1.0f;
    float maxDistance = 1.0f;
    CVector position3D{0, 0, 0, 0};
    CVector velocity{0, 0, 0, 0};
    CVector coneOrientation{0, 0, 0, 0};
    CVector coneAngles{0, 0, 0, 0};
    int32_t coneOutsideVolume = 0;

    CTimer durationTimer; // interval: the sound's duration in ms
    CTimer refillTimer;   // interval: 100 ms

    // Emitted when a non-looping playback has run for the sound's duration.
    CSignal<> onStopped;
    // Emitted for each half of a stream just before it is written to the device, with that
    // half of the stream's data and its length; a receiver may overwrite the bytes.
    CSignal<char*, unsigned int> onData;

protected:
    // Starts the timers for a playback from position (bytes, or seconds for a stream).
    void StartTimers(int32_t startBytes);

    bool monitoring = false; // set by the implementation when its device side monitors

private:
    void OnDurationExpired();
    void OnRefillDue();

    CSlotList m_slots;
};

// A playback buffer on the platform's audio output.
class CSoundBufferSDL : public CSoundBuffer {
public:
    explicit CSoundBufferSDL(CSound* sound);
    ~CSoundBufferSDL() override;

    void Play(int32_t position) override;
    void Resume() override;
    void Stop() override;
    int32_t GetPosition() override;
    void SetPosition(int32_t bytes) override;
    void SetVolume(int32_t hundredthsDb) override;
    void Refill() override;
    bool Monitor(CSoundCapture* capture) override;
    bool Replace(CSound* replacement) override;

    // Whether the device side exists (false on a silent buffer).
    bool HasDeviceBuffer() const { return m_buffer != nullptr; }

private:
    friend int32_t CreateBuffer(CSoundProviderSDL& device, CSoundBufferSDL& buffer);
    // Writes count bytes of the sound's data at offset to the device buffer.
    bool Write(uint32_t offset, uint32_t count);
    void Silence(int32_t half);

    CSoundProviderSDL* m_provider = nullptr; // not owned
    CAudioBuffer* m_buffer = nullptr;        // made and destroyed through the device
};

// Makes buffer's device side for its sound and writes the sound's data into it:
// 0 on success, -1 when the device has no backend, 1 when the device cannot make a buffer
// of that format or size, 3 when the data cannot be written.
int32_t CreateBuffer(CSoundProviderSDL& device, CSoundBufferSDL& buffer);

// The process-wide device: null until EnsureDevice makes it; deleted when the last buffer
// set is destroyed.
CSoundProvider* GetSoundDevice();
void EnsureDevice();

// Audio devices that come and go, as the main loop hears of them from the platform: added, a
// device appeared (id: its index in the platform's list); otherwise the open device with id
// went away (a headset unplugged). A lost output that is the process-wide device's is first
// replaced by the default output, every buffer playing on where it stood (an output that
// appears while the device has none is opened: buffers made from then on play); then
// SoundDeviceChanged emits (added, capture, id) for whoever holds a capture device.
void SoundDeviceEvent(bool added, bool capture, uint32_t id);
CSignal<bool, bool, uint32_t>& SoundDeviceChanged();

// Owns the playback buffers of one scene and counts as a user of the device.
class CSoundBufferSet {
public:
    CSoundBufferSet();
    ~CSoundBufferSet();
    CSoundBufferSet(const CSoundBufferSet&) = delete;
    CSoundBufferSet& operator=(const CSoundBufferSet&) = delete;

    // Makes a buffer for sound on the device and appends it, also when the device could not
    // make its side (that buffer is silent). Nothing without a device.
    void Add(CSound* sound);
    // Deletes the buffer at index; out of range is ignored.
    void Remove(uint32_t index);
    CSoundBuffer* Get(uint32_t index) const;
    uint32_t Count() const { return static_cast<uint32_t>(m_buffers.size()); }
    // Deletes every buffer; the linked sets stay.
    void Clear();

    // Other sets this one refers to (not owned), such as the shared sets of a scene manager.
    void Link(CSoundBufferSet* other) { m_linked.push_back(other); }
    const std::vector<CSoundBufferSet*>& GetLinked() const { return m_linked; }

    // How many sets exist (the device's users).
    static uint32_t GetUserCount();

private:
    std::vector<std::unique_ptr<CSoundBuffer>> m_buffers;
    std::vector<CSoundBufferSet*> m_linked;
};

inline bool IsPlaying(const CSoundBuffer* buffer) { return buffer && buffer->playing; }
