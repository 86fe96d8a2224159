// Index: [SECTION] Device  [SECTION] Playback buffer state and timers
//        [SECTION] Playback on the platform's output  [SECTION] Buffer sets
#include "sound/SoundBuffer.h"

#include "platform/Audio.h"
#include "sound/SoundCapture.h"
#include "sound/SoundStream.h"

#include <algorithm>
#include <cstring>

namespace {

CSoundProviderSDL* g_device = nullptr;
uint32_t g_deviceUsers = 0;

constexpr int32_t RefillPeriodMs = 100;

CSoundStream* AsStream(CSound* sound)
{
    return sound && sound->IsStreamed() ? static_cast<CSoundStream*>(sound) : nullptr;
}

} // namespace

// [SECTION] Device

CSoundProviderSDL::CSoundProviderSDL() : m_device(std::make_unique<CAudioDevice>()) {}

CSoundProviderSDL::~CSoundProviderSDL() = default;

bool CSoundProviderSDL::IsOpen() const { return m_device && m_device->IsOpen(); }

CSoundProvider* GetSoundDevice() { return g_device; }

void EnsureDevice()
{
    if (!g_device)
        g_device = new CSoundProviderSDL();
}

void SoundDeviceEvent(bool added, bool capture, uint32_t id)
{
    CAudioDevice* output = g_device ? g_device->GetDevice() : nullptr;
    // A lost output is replaced; an output that appears while none is open is taken.
    if (!capture && output && (added ? !output->IsOpen() : output->IsOpen() && output->DeviceId() == id))
        output->Reopen();
    SoundDeviceChanged().Emit(added, capture, id);
}

CSignal<bool, bool, uint32_t>& SoundDeviceChanged()
{
    static CSignal<bool, bool, uint32_t> changed;
    return changed;
}

// [SECTION] Playback buffer state and timers

CSoundBuffer::CSoundBuffer(CSound* played) : sound(played)
{
    durationTimer.SetInterval(sound ? sound->GetDuration() : 0);
    refillTimer.SetInterval(RefillPeriodMs);
    refillTimer.SetQuiet(true); // refilling shows nothing
    m_slots.Connect(durationTimer.onExpire, this, &CSoundBuffer::OnDurationExpired);
    m_slots.Connect(refillTimer.onExpire, this, &CSoundBuffer::OnRefillDue);
}


void CSoundBuffer::StartTimers(int32_t start)
{
    if (looping || monitoring) { // a live recording has no end
        durationTimer.SetEnabled(false);
        return;
    }
    // The stopped signal comes when what is left from the start has played.
    int32_t remaining = 0;
    if (CSoundStream* stream = AsStream(sound))
        remaining = stream->GetDuration() - std::min(start, INT32_MAX / 1000) * 1000;
    else if (sound)
        remaining = sound->DurationOf(start > 0 ? sound->dataSize - std::min<uint32_t>(start, sound->dataSize)
                                                : sound->dataSize);
    durationTimer.SetInterval(std::max(remaining, 0));
    durationTimer.SetEnabled(true);
}

void CSoundBuffer::Play(int32_t start)
{
    position = start;
    playing = true;
    CSoundStream* stream = monitoring ? nullptr : AsStream(sound);
    if (stream) {
        stream->Seek(start > 0 ? start : 0);
        Refill();
        refillTimer.SetEnabled(true);
    }
    StartTimers(start);
}

void CSoundBuffer::Resume()
{
    CSoundStream* stream = AsStream(sound);
    if (!stream) {
        Play(0);
        return;
    }
    // The stream goes on from where its ring stands: no seek.
    position = 0;
    playing = true;
    if (!monitoring) {
        Refill();
        refillTimer.SetEnabled(true);
    }
    StartTimers(0);
}

void CSoundBuffer::Stop()
{
    playing = false;
    durationTimer.SetEnabled(false);
    refillTimer.SetEnabled(false);
}

int32_t CSoundBuffer::GetPosition() { return position; }

bool CSoundBuffer::Monitor(CSoundCapture*) { return false; }

bool CSoundBuffer::Replace(CSound* replacement)
{
    if (!replacement || replacement->IsStreamed() || AsStream(sound) || monitoring)
        return false;
    sound = replacement;
    durationTimer.SetInterval(sound->GetDuration());
    if (playing)
        CSoundBuffer::Play(0);
    else
        position = 0;
    return true;
}

void CSoundBuffer::OnDurationExpired()
{
    durationTimer.SetEnabled(false);
    onStopped.Emit(); // may delete this buffer: nothing follows
}

void CSoundBuffer::OnRefillDue() { Refill(); }

// [SECTION] Playback on the platform's output

CSoundBufferSDL::CSoundBufferSDL(CSound* played) : CSoundBuffer(played) {}

CSoundBufferSDL::~CSoundBufferSDL()
{
    if (m_buffer && m_provider && m_provider->GetDevice()) {
        m_buffer->Stop();
        m_provider->GetDevice()->DestroyBuffer(m_buffer);
    }
}

int32_t CreateBuffer(CSoundProviderSDL& provider, CSoundBufferSDL& buffer)
{
    CAudioDevice* device = provider.GetDevice();
    if (!device || !device->IsOpen())
        return -1;
    buffer.m_provider = &provider;
    CSound* sound = buffer.sound;
    if (!sound || !sound->data)
        return 1;
    AudioFormat format{sound->channels, sound->samplesPerSec, sound->bitsPerSample};
    const uint32_t align = format.BlockAlign();
    // A trailing partial frame cannot be played; the rest can.
    const uint32_t bytes = align ? sound->dataSize - sound->dataSize % align : 0;
    buffer.m_buffer = device->CreateBuffer(format, bytes);
    if (!buffer.m_buffer)
        return 1;
    return buffer.Write(0, bytes) ? 0 : 3;
}

bool CSoundBufferSDL::Write(uint32_t offset, uint32_t count)
{
    if (!m_buffer || !sound || !sound->data || offset > sound->dataSize ||
        count > sound->dataSize - offset)
        return false;
    return m_buffer->Write(offset, sound->data + offset, count);
}

void CSoundBufferSDL::Play(int32_t start)
{
    CSoundBuffer::Play(start);
    if (!m_buffer)
        return;
    const bool streamed = AsStream(sound) != nullptr;
    // A stream's ring starts again at its first half, whatever time it was moved to.
    m_buffer->SetCurrentPosition(streamed || start < 0 ? 0 : static_cast<uint32_t>(start));
    m_buffer->Play(looping || streamed);
}

void CSoundBufferSDL::Resume()
{
    if (AsStream(sound)) {
        CSoundBuffer::Resume();
        if (m_buffer)
            m_buffer->Play(true);
        return;
    }
    Play(m_buffer ? static_cast<int32_t>(m_buffer->GetCurrentPosition()) : 0);
}

void CSoundBufferSDL::Stop()
{
    CSoundBuffer::Stop();
    if (m_buffer)
        m_buffer->Stop();
}

int32_t CSoundBufferSDL::GetPosition()
{
    return m_buffer ? static_cast<int32_t>(m_buffer->GetCurrentPosition()) : 0;
}

void CSoundBufferSDL::SetPosition(int32_t bytes)
{
    CSoundBuffer::SetPosition(bytes);
    if (m_buffer)
        m_buffer->SetCurrentPosition(bytes > 0 ? static_cast<uint32_t>(bytes) : 0);
}

void CSoundBufferSDL::SetVolume(int32_t hundredthsDb)
{
    CSoundBuffer::SetVolume(hundredthsDb);
    if (m_buffer)
        m_buffer->SetVolume(std::clamp(hundredthsDb, -10000, 0));
}

bool CSoundBufferSDL::Monitor(CSoundCapture* capture)
{
    CAudioCapture* device = capture ? capture->GetDevice() : nullptr;
    if (!m_buffer || (capture && !device) || !m_buffer->Monitor(device))
        return false;
    monitoring = device != nullptr;
    if (monitoring) {
        refillTimer.SetEnabled(false);
        durationTimer.SetEnabled(false);
    }
    return true;
}

bool CSoundBufferSDL::Replace(CSound* replacement)
{
    if (!replacement || replacement->IsStreamed() || AsStream(sound) || monitoring)
        return false;
    if (m_buffer) {
        AudioFormat format{replacement->channels, replacement->samplesPerSec, replacement->bitsPerSample};
        const uint32_t align = format.BlockAlign();
        // A trailing partial frame cannot be played; the rest can.
        const uint32_t bytes = align ? replacement->dataSize - replacement->dataSize % align : 0;
        if (!replacement->data || !m_buffer->Replace(format, replacement->data, bytes))
            return false;
    }
    return CSoundBuffer::Replace(replacement);
}

void CSoundBufferSDL::Silence(int32_t half)
{
    CSoundStream* stream = AsStream(sound);
    const uint32_t h = stream->GetHalfSize();
    uint8_t* bytes = stream->data + static_cast<size_t>(half) * h;
    std::memset(bytes, stream->bitsPerSample == 8 ? 0x80 : 0, h); // 8-bit silence is 128
    onData.Emit(reinterpret_cast<char*>(bytes), h);
    Write(static_cast<uint32_t>(half) * h, h);
}

void CSoundBufferSDL::Refill()
{
    CSoundStream* stream = AsStream(sound);
    if (!stream || monitoring)
        return;
    const uint32_t h = stream->GetHalfSize();
    const uint32_t cursor = static_cast<uint32_t>(GetPosition());
    const int32_t half = stream->NextHalf(cursor, looping);
    if (stream->data && half >= 0) {
        onData.Emit(reinterpret_cast<char*>(stream->data + static_cast<size_t>(half) * h), h);
        Write(static_cast<uint32_t>(half) * h, h);
        return;
    }
    // -1 also answers a device that stands exactly at a half's boundary, with sound still to
    // come: only the end of the stream is followed by silence.
    if (looping || half != -1 || !stream->data || !stream->HasEnded())
        return;
    // The stream has ended: silence the half after the last sound while that sound plays,
    // and stop once the device has moved on into the silence.
    if (stream->GetLastFilledHalf() == 0) {
        if (!playing && cursor >= h) {
            stream->Seek(0);
            Stop();
        } else if (cursor < h) {
            playing = false;
            Silence(1);
        }
    } else {
        if (!playing && cursor < h) {
            stream->Seek(0);
            Stop();
        } else if (cursor >= h) {
            playing = false;
            Silence(0);
        }
    }
}

// [SECTION] Buffer sets

CSoundBufferSet::CSoundBufferSet() { ++g_deviceUsers; }

CSoundBufferSet::~CSoundBufferSet()
{
    Clear();
    if (--g_deviceUsers == 0) {
        delete g_device;
        g_device = nullptr;
    }
}

uint32_t CSoundBufferSet::GetUserCount() { return g_deviceUsers; }

void CSoundBufferSet::Add(CSound* sound)
{
    if (!g_device)
        return;
    auto buffer = std::make_unique<CSoundBufferSDL>(sound);
    CreateBuffer(*g_device, *buffer); // a failed buffer is kept, silent
    m_buffers.push_back(std::move(buffer));
}

void CSoundBufferSet::Remove(uint32_t index)
{
    if (index < m_buffers.size())
        m_buffers.erase(m_buffers.begin() + index);
}

CSoundBuffer* CSoundBufferSet::Get(uint32_t index) const
{
    return index < m_buffers.size() ? m_buffers[index].get() : nullptr;
}

void CSoundBufferSet::Clear() { m_buffers.clear(); }
