// Sound capture: the microphone recorded into a ring of one second and handed out on
// request (pulled, never pushed), or played as it is recorded by a playback buffer that
// monitors it (CSoundBuffer::Monitor). Without a capture device the object still exists: Start
// and Stop return false and Read returns 0.
#pragma once

#include <cstdint>
#include <memory>

class CAudioCapture;

class CSoundCapture {
public:
    virtual ~CSoundCapture() = default;

    virtual bool Start() { return false; }
    virtual bool Stop() { return false; }
    // Copies at most maximum of the bytes recorded since the last read into destination.
    virtual uint32_t Read(void* destination, uint32_t maximum)
    {
        (void)destination;
        (void)maximum;
        return 0;
    }
    // The platform's device, for a playback buffer to monitor; null without one.
    virtual CAudioCapture* GetDevice() const { return nullptr; }

    uint32_t channels = 1;
    uint32_t samplesPerSec = 44100;
    uint32_t bitsPerSample = 8;
};

// Capture from the platform's default recording device.
class CSoundCaptureSDL : public CSoundCapture {
public:
    CSoundCaptureSDL(uint32_t bitsPerSample, uint32_t samplesPerSec, uint32_t channels);
    ~CSoundCaptureSDL() override;

    bool IsOpen() const;
    // Whether id (as the platform's device-removed events give it) names this open device.
    bool IsDevice(uint32_t id) const;
    // Forgets anything not yet read, then records.
    bool Start() override;
    bool Stop() override;
    uint32_t Read(void* destination, uint32_t maximum) override;
    CAudioCapture* GetDevice() const override;

private:
    std::unique_ptr<CAudioCapture> m_capture;
};
