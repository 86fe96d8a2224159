#include "sound/SoundCapture.h"

#include "platform/Audio.h"

CSoundCaptureSDL::CSoundCaptureSDL(uint32_t bits, uint32_t rate, uint32_t channelCount)
{
    channels = channelCount;
    samplesPerSec = rate;
    bitsPerSample = bits;
    m_capture = std::make_unique<CAudioCapture>(AudioFormat{channelCount, rate, bits});
}

CSoundCaptureSDL::~CSoundCaptureSDL()
{
    if (m_capture)
        m_capture->Stop();
}

bool CSoundCaptureSDL::IsOpen() const { return m_capture && m_capture->IsOpen(); }

bool CSoundCaptureSDL::IsDevice(uint32_t id) const { return IsOpen() && m_capture->DeviceId() == id; }

bool CSoundCaptureSDL::Start() { return IsOpen() && m_capture->Start(); }

bool CSoundCaptureSDL::Stop() { return IsOpen() && m_capture->Stop(); }

uint32_t CSoundCaptureSDL::Read(void* destination, uint32_t maximum)
{
    return IsOpen() ? m_capture->Read(destination, maximum) : 0;
}

CAudioCapture* CSoundCaptureSDL::GetDevice() const { return IsOpen() ? m_capture.get() : nullptr; }
