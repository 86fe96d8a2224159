// Index: [SECTION] Locking  [SECTION] Playback buffers  [SECTION] Output device
//        [SECTION] Capture device
#include "platform/Audio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// [SECTION] Locking

namespace {

// Holds SDL's lock of one audio device for a scope; a device id of 0 locks nothing.
struct Lock {
    explicit Lock(uint32_t id) : m_id(id)
    {
        if (m_id)
            SDL_LockAudioDevice(m_id);
    }
    ~Lock()
    {
        if (m_id)
            SDL_UnlockAudioDevice(m_id);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    uint32_t m_id;
};

bool OpenAudioSubsystem()
{
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

} // namespace

// [SECTION] Playback buffers

CAudioBuffer::CAudioBuffer(CAudioDevice& device, const AudioFormat& format, uint32_t bytes)
    : m_device(device), m_format(format), m_bytes(bytes, format.bitsPerSample == 8 ? 0x80 : 0),
      m_frames(bytes / format.BlockAlign())
{
}

bool CAudioBuffer::Write(uint32_t offset, const void* source, uint32_t count)
{
    if (offset > m_bytes.size() || count > m_bytes.size() - offset || (count > 0 && !source))
        return false;
    Lock lock(m_device.m_id);
    if (count > 0)
        std::memcpy(m_bytes.data() + offset, source, count);
    return true;
}

uint32_t CAudioBuffer::GetCurrentPosition() const
{
    Lock lock(m_device.m_id);
    return static_cast<uint32_t>(m_position) * m_format.BlockAlign();
}

void CAudioBuffer::SetCurrentPosition(uint32_t bytes)
{
    Lock lock(m_device.m_id);
    m_position = std::min(bytes / m_format.BlockAlign(), m_frames);
}

void CAudioBuffer::Play(bool looping)
{
    Lock lock(m_device.m_id);
    m_looping = looping;
    if (m_position >= m_frames && !looping)
        m_position = 0.0; // a finished one-shot starts again
    m_playing = true;
}

void CAudioBuffer::Stop()
{
    Lock lock(m_device.m_id);
    m_playing = false;
}

bool CAudioBuffer::IsPlaying() const
{
    Lock lock(m_device.m_id);
    return m_playing;
}

void CAudioBuffer::SetVolume(int32_t volume)
{
    volume = std::clamp(volume, -10000, 0);
    float gain = volume == 0 ? 1.0f : static_cast<float>(std::pow(10.0, volume / 2000.0));
    Lock lock(m_device.m_id);
    m_gain = gain;
}

float CAudioBuffer::SampleAt(uint32_t frame, uint32_t channel) const
{
    const uint32_t sourceChannels = m_format.channels;
    if (channel >= sourceChannels)
        channel = sourceChannels - 1; // mono feeds every output channel
    if (m_format.bitsPerSample == 8) {
        uint8_t value = m_bytes[static_cast<size_t>(frame) * sourceChannels + channel];
        return static_cast<float>((static_cast<int>(value) - 128) * 256);
    }
    const uint8_t* at = &m_bytes[(static_cast<size_t>(frame) * sourceChannels + channel) * 2];
    return static_cast<float>(static_cast<int16_t>(at[0] | (at[1] << 8)));
}

void CAudioBuffer::MixInto(float* mix, uint32_t frames, uint32_t channels, uint32_t rate)
{
    if (!m_playing || m_frames == 0)
        return;
    const double step = static_cast<double>(m_format.samplesPerSec) / rate;
    const bool stereoSource = m_format.channels == 2;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t frame = static_cast<uint32_t>(m_position);
        const float fraction = static_cast<float>(m_position - frame);
        uint32_t next = frame + 1;
        if (next >= m_frames)
            next = m_looping ? 0 : frame;
        // Linear interpolation; exact source samples when the rates match.
        auto at = [&](uint32_t channel) {
            float a = SampleAt(frame, channel);
            return fraction == 0.0f ? a : a + (SampleAt(next, channel) - a) * fraction;
        };
        float* out = mix + static_cast<size_t>(i) * channels;
        if (channels == 1) {
            out[0] += (stereoSource ? 0.5f * (at(0) + at(1)) : at(0)) * m_gain;
        } else {
            out[0] += at(0) * m_gain; // channels past the first two stay silent
            out[1] += at(1) * m_gain;
        }
        m_position += step;
        if (m_position >= m_frames) {
            if (m_looping) {
                m_position = std::fmod(m_position, static_cast<double>(m_frames));
            } else {
                m_position = m_frames;
                m_playing = false;
                return;
            }
        }
    }
}

// [SECTION] Output device

CAudioDevice::CAudioDevice()
{
    if (!OpenAudioSubsystem())
        return;
    SDL_AudioSpec want{}, have{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &CAudioDevice::Callback;
    want.userdata = this;
    m_id = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                               SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (m_id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    m_deviceFormat.channels = have.channels;
    m_deviceFormat.samplesPerSec = static_cast<uint32_t>(have.freq);
    m_deviceFormat.bitsPerSample = 16;
    m_mix.resize(static_cast<size_t>(have.samples) * have.channels);
    SDL_PauseAudioDevice(m_id, 0);
}

CAudioDevice::~CAudioDevice()
{
    if (m_id) {
        SDL_CloseAudioDevice(m_id); // waits for the callback to finish
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    m_buffers.clear();
}

CAudioBuffer* CAudioDevice::CreateBuffer(const AudioFormat& format, uint32_t bytes)
{
    if (!IsOpen())
        return nullptr;
    if ((format.bitsPerSample != 8 && format.bitsPerSample != 16) ||
        (format.channels != 1 && format.channels != 2) || format.samplesPerSec == 0)
        return nullptr;
    if (bytes == 0 || bytes % format.BlockAlign() != 0)
        return nullptr;
    std::unique_ptr<CAudioBuffer> buffer(new CAudioBuffer(*this, format, bytes));
    CAudioBuffer* raw = buffer.get();
    Lock lock(m_id);
    m_buffers.push_back(std::move(buffer));
    return raw;
}

void CAudioDevice::DestroyBuffer(CAudioBuffer* buffer)
{
    std::unique_ptr<CAudioBuffer> doomed;
    {
        Lock lock(m_id);
        auto it = std::find_if(m_buffers.begin(), m_buffers.end(),
                               [buffer](const auto& b) { return b.get() == buffer; });
        if (it == m_buffers.end())
            return;
        doomed = std::move(*it);
        m_buffers.erase(it);
    }
}

void CAudioDevice::Callback(void* self, uint8_t* stream, int length)
{
    auto* device = static_cast<CAudioDevice*>(self);
    const uint32_t channels = device->m_deviceFormat.channels;
    const uint32_t rate = device->m_deviceFormat.samplesPerSec;
    int16_t* out = reinterpret_cast<int16_t*>(stream);
    uint32_t framesLeft = static_cast<uint32_t>(length) / (2 * channels);
    const uint32_t blockFrames = static_cast<uint32_t>(device->m_mix.size() / channels);
    while (framesLeft > 0) {
        const uint32_t frames = std::min(framesLeft, blockFrames);
        float* mix = device->m_mix.data();
        std::fill(mix, mix + static_cast<size_t>(frames) * channels, 0.0f);
        for (auto& buffer : device->m_buffers)
            buffer->MixInto(mix, frames, channels, rate);
        for (size_t i = 0; i < static_cast<size_t>(frames) * channels; ++i)
            out[i] = static_cast<int16_t>(std::lrint(std::clamp(mix[i], -32768.0f, 32767.0f)));
        out += static_cast<size_t>(frames) * channels;
        framesLeft -= frames;
    }
}

// [SECTION] Capture device

CAudioCapture::CAudioCapture(const AudioFormat& format)
{
    if (format.BlockAlign() == 0 || format.samplesPerSec == 0 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16))
        return;
    if (!OpenAudioSubsystem())
        return;
    SDL_AudioSpec want{}, have{};
    want.freq = static_cast<int>(format.samplesPerSec);
    want.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<uint8_t>(format.channels);
    want.samples = 512;
    want.callback = &CAudioCapture::Callback;
    want.userdata = this;
    // No changes allowed: SDL converts whatever the card records into the capture format.
    m_id = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
    if (m_id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    m_ring.assign(static_cast<size_t>(format.BlockAlign()) * format.samplesPerSec,
                  format.bitsPerSample == 8 ? 0x80 : 0);
}

CAudioCapture::~CAudioCapture()
{
    if (m_id) {
        SDL_CloseAudioDevice(m_id);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool CAudioCapture::Start()
{
    if (!m_id)
        return false;
    {
        Lock lock(m_id);
        m_readOffset = m_writeOffset = 0;
    }
    SDL_PauseAudioDevice(m_id, 0);
    return true;
}

bool CAudioCapture::Stop()
{
    if (!m_id)
        return false;
    SDL_PauseAudioDevice(m_id, 1);
    return true;
}

uint32_t CAudioCapture::Read(void* destination, uint32_t maximum)
{
    if (!m_id || !destination)
        return 0;
    Lock lock(m_id);
    const uint32_t size = RingSize();
    uint32_t available = (m_writeOffset + size - m_readOffset) % size;
    uint32_t count = std::min(maximum, available);
    uint8_t* out = static_cast<uint8_t*>(destination);
    uint32_t first = std::min(count, size - m_readOffset);
    std::memcpy(out, m_ring.data() + m_readOffset, first);
    std::memcpy(out + first, m_ring.data(), count - first);
    m_readOffset = (m_readOffset + count) % size;
    return count;
}

void CAudioCapture::Callback(void* self, uint8_t* stream, int length)
{
    auto* capture = static_cast<CAudioCapture*>(self);
    const uint32_t size = capture->RingSize();
    uint32_t left = static_cast<uint32_t>(length);
    while (left > 0) {
        uint32_t piece = std::min(left, size - capture->m_writeOffset);
        std::memcpy(capture->m_ring.data() + capture->m_writeOffset, stream, piece);
        stream += piece;
        left -= piece;
        capture->m_writeOffset = (capture->m_writeOffset + piece) % size;
    }
}
