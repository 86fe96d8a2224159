// Index: [SECTION] Locking  [SECTION] Playback buffers
//        [SECTION] Output device  [SECTION] Capture device
#include "platform/Audio.h"
#include "platform/AudioFeed.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
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

// What a change under a device's lock lets go of. Declared before the lock in a scope, it is
// destroyed after the lock is given back: the mixer never waits while the heap frees.
struct AudioReleased {
    using Block = std::shared_ptr<const std::vector<uint8_t>>;
    std::array<Block, kAudioTails + 2> blocks; // no allocation under the lock
    std::shared_ptr<AudioFeed> feed;
    uint32_t count = 0;

    void Keep(Block block)
    {
        if (block && count < blocks.size())
            blocks[count++] = std::move(block);
    }
};

// [SECTION] Playback buffers

namespace {

// Adds the frames of a block of bytes from position on, converted to the device's channels and
// rate, into mix, frame i with the factor level(i) (a negative factor ends the call). Returns
// false when a one-shot block has played to its end (position then stands at the end).
template <typename Level>
bool MixBytes(const std::vector<uint8_t>& bytes, const AudioFormat& format, double& position, bool looping,
              float* mix, uint32_t frames, uint32_t channels, uint32_t rate, Level level)
{
    const uint32_t align = format.BlockAlign();
    const uint32_t total = align ? static_cast<uint32_t>(bytes.size() / align) : 0;
    if (total == 0)
        return false;
    if (position >= total) { // played from the end: a one-shot has nothing left
        if (!looping)
            return false;
        position = 0.0;
    }
    const double step = static_cast<double>(format.samplesPerSec) / rate;
    const bool stereoSource = format.channels == 2;
    auto sample = [&](uint32_t frame, uint32_t channel) {
        return AudioSampleOf(&bytes[static_cast<size_t>(frame) * align], format, channel);
    };
    for (uint32_t i = 0; i < frames; ++i) {
        const float gain = level(i);
        if (gain < 0.0f)
            return true;
        const uint32_t frame = static_cast<uint32_t>(position);
        const float fraction = static_cast<float>(position - frame);
        uint32_t next = frame + 1;
        if (next >= total)
            next = looping ? 0 : frame;
        // Linear interpolation; exact source samples when the rates match.
        auto at = [&](uint32_t channel) {
            float a = sample(frame, channel);
            return fraction == 0.0f ? a : a + (sample(next, channel) - a) * fraction;
        };
        AudioAddFrame(mix + static_cast<size_t>(i) * channels, channels, stereoSource, at(0), at(1), gain);
        position += step;
        if (position >= total) {
            if (!looping) {
                position = total;
                return false;
            }
            position = std::fmod(position, static_cast<double>(total));
        }
    }
    return true;
}

bool Playable(const AudioFormat& format, uint32_t bytes)
{
    return (format.bitsPerSample == 8 || format.bitsPerSample == 16) && (format.channels == 1 || format.channels == 2) &&
           format.samplesPerSec > 0 && bytes > 0 && bytes % format.BlockAlign() == 0;
}

} // namespace

CAudioBuffer::CAudioBuffer(CAudioDevice& device, const AudioFormat& format, uint32_t bytes)
    : m_device(device), m_format(format),
      m_bytes(std::make_shared<std::vector<uint8_t>>(bytes, format.bitsPerSample == 8 ? 0x80 : 0)),
      m_frames(bytes / format.BlockAlign())
{
}

bool CAudioBuffer::Write(uint32_t offset, const void* source, uint32_t count)
{
    if (offset > m_bytes->size() || count > m_bytes->size() - offset || (count > 0 && !source))
        return false;
    Lock lock(m_device.m_id);
    if (count > 0)
        std::memcpy(m_bytes->data() + offset, source, count);
    return true;
}

uint32_t CAudioBuffer::GetCurrentPosition() const
{
    Lock lock(m_device.m_id);
    return static_cast<uint32_t>(m_position) * m_format.BlockAlign();
}

void CAudioBuffer::LeaveTail(AudioReleased& released)
{
    auto& tails = m_device.m_tails;
    for (AudioTail& tail : tails)
        if (tail.finished)
            released.Keep(std::move(tail.bytes)); // bytes is null from here on: the slot is free
    if (!m_playing || m_feed || m_frames == 0 || m_device.m_rampFrames == 0)
        return;
    AudioTail* slot = &tails[0];
    for (AudioTail& tail : tails) {
        if (!tail.bytes) {
            slot = &tail;
            break;
        }
        if (tail.done > slot->done)
            slot = &tail; // the quietest of the fading
    }
    released.Keep(std::move(slot->bytes));
    AudioTail tail;
    tail.bytes = m_bytes;
    tail.format = m_format;
    tail.position = m_position;
    tail.looping = m_looping;
    const uint32_t ramp = m_device.m_rampFrames;
    tail.gain = m_gain * (m_rampDone < ramp ? static_cast<float>(m_rampDone) / ramp : 1.0f);
    *slot = std::move(tail);
}

void CAudioBuffer::SetCurrentPosition(uint32_t bytes)
{
    AudioReleased released;
    Lock lock(m_device.m_id);
    const double position = std::min(bytes / m_format.BlockAlign(), m_frames);
    if (m_playing && position != m_position) {
        LeaveTail(released);
        m_rampDone = 0;
    }
    m_position = position;
}

void CAudioBuffer::Play(bool looping)
{
    Lock lock(m_device.m_id);
    m_looping = looping;
    if (!m_playing)
        m_rampDone = 0;
    m_playing = true;
    if (m_feed) // what was recorded before this is stale
        m_feed->Restart();
}

void CAudioBuffer::Stop()
{
    AudioReleased released;
    Lock lock(m_device.m_id);
    LeaveTail(released);
    m_playing = false;
}

bool CAudioBuffer::Replace(const AudioFormat& format, const void* bytes, uint32_t count)
{
    if (!Playable(format, count) || !bytes)
        return false;
    // Made before the lock: the mixer is not kept waiting for the copy.
    auto block = std::make_shared<std::vector<uint8_t>>(static_cast<const uint8_t*>(bytes),
                                                        static_cast<const uint8_t*>(bytes) + count);
    AudioReleased released;
    Lock lock(m_device.m_id);
    LeaveTail(released);
    released.Keep(std::move(m_bytes));
    m_bytes = std::move(block);
    m_format = format;
    m_frames = count / format.BlockAlign();
    m_position = 0.0;
    m_rampDone = 0;
    return true;
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

bool CAudioBuffer::Monitor(CAudioCapture* capture)
{
    std::shared_ptr<AudioFeed> feed;
    if (capture) {
        const AudioFormat& recorded = capture->Format();
        if (!capture->IsOpen() || recorded.channels != m_format.channels ||
            recorded.samplesPerSec != m_format.samplesPerSec ||
            recorded.bitsPerSample != m_format.bitsPerSample)
            return false;
        feed = std::make_shared<AudioFeed>(recorded);
        AudioReleased released;
        Lock lock(capture->m_id);
        released.feed = std::move(capture->m_feed);
        capture->m_feed = feed;
    }
    // The old feed, if any, goes with the last of its holders (its capture device may keep
    // pushing into it, to no one, until it feeds another buffer).
    AudioReleased released;
    Lock lock(m_device.m_id);
    released.feed = std::move(m_feed);
    m_feed = std::move(feed);
    return true;
}

bool CAudioBuffer::IsMonitoring() const
{
    Lock lock(m_device.m_id);
    return m_feed != nullptr;
}

AudioMonitorStats CAudioBuffer::MonitorStats() const
{
    Lock lock(m_device.m_id);
    return m_feed ? m_feed->Stats() : AudioMonitorStats();
}

void CAudioBuffer::MixInto(float* mix, uint32_t frames, uint32_t channels, uint32_t rate)
{
    if (!m_playing)
        return;
    if (m_feed) {
        m_feed->MixInto(mix, frames, channels, rate, m_gain, m_device.m_blockStart);
        return;
    }
    const uint32_t ramp = m_device.m_rampFrames;
    const float gain = m_gain;
    uint32_t& done = m_rampDone;
    auto rise = [&](uint32_t) {
        if (done >= ramp)
            return gain;
        ++done;
        return gain * static_cast<float>(done) / static_cast<float>(ramp);
    };
    if (!MixBytes(*m_bytes, m_format, m_position, m_looping, mix, frames, channels, rate, rise))
        m_playing = false;
}

// [SECTION] Output device

CAudioDevice::CAudioDevice()
{
    if (OpenAudioSubsystem() && !OpenDefault())
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool CAudioDevice::OpenDefault()
{
    m_deviceFormat = AudioFormat();
    m_periodFrames = m_rampFrames = 0;
    SDL_AudioSpec want{}, have{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 882; // 20 ms: a whole number of milliseconds keeps test drivers' clocks true
    want.callback = &CAudioDevice::Callback;
    want.userdata = this;
    m_id = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                               SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (m_id == 0)
        return false;
    m_deviceFormat.channels = have.channels;
    m_deviceFormat.samplesPerSec = static_cast<uint32_t>(have.freq);
    m_deviceFormat.bitsPerSample = 16;
    m_periodFrames = have.samples;
    m_rampFrames = std::max<uint32_t>(static_cast<uint32_t>(have.freq) * kAudioRampMs / 1000, 1);
    m_mix.resize(static_cast<size_t>(have.samples) * have.channels);
    SDL_PauseAudioDevice(m_id, 0);
    return true;
}

void CAudioDevice::Reopen()
{
    if (m_id) {
        SDL_CloseAudioDevice(m_id); // waits for the callback: from here on no lock is needed
        m_id = 0;
    } else if (!OpenAudioSubsystem()) {
        return;
    }
    m_tails.fill(AudioTail()); // the old device's thread has ended: nothing mixes them
    for (auto& buffer : m_buffers)
        buffer->m_rampDone = 0; // no step where the new device takes over
    if (!OpenDefault())
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
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
    if (!Playable(format, bytes))
        return nullptr;
    std::unique_ptr<CAudioBuffer> buffer(new CAudioBuffer(*this, format, bytes));
    CAudioBuffer* raw = buffer.get();
    // The list grows into room made before the lock; the old room is freed after it.
    std::vector<std::unique_ptr<CAudioBuffer>> list;
    list.reserve(m_buffers.size() + 1);
    Lock lock(m_id);
    for (auto& kept : m_buffers)
        list.push_back(std::move(kept));
    list.push_back(std::move(buffer));
    m_buffers.swap(list);
    return raw;
}

void CAudioDevice::DestroyBuffer(CAudioBuffer* buffer)
{
    std::unique_ptr<CAudioBuffer> doomed;
    AudioReleased released;
    {
        Lock lock(m_id);
        auto it = std::find_if(m_buffers.begin(), m_buffers.end(),
                               [buffer](const auto& b) { return b.get() == buffer; });
        if (it == m_buffers.end())
            return;
        doomed = std::move(*it);
        doomed->LeaveTail(released); // a buffer that goes while it plays fades out
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
        device->m_blockStart = device->m_framesMixed.load();
        float* mix = device->m_mix.data();
        std::fill(mix, mix + static_cast<size_t>(frames) * channels, 0.0f);
        for (auto& buffer : device->m_buffers)
            buffer->MixInto(mix, frames, channels, rate);
        device->MixTails(mix, frames);
        for (size_t i = 0; i < static_cast<size_t>(frames) * channels; ++i)
            out[i] = static_cast<int16_t>(std::lrint(std::clamp(mix[i], -32768.0f, 32767.0f)));
        out += static_cast<size_t>(frames) * channels;
        framesLeft -= frames;
        device->m_framesMixed += frames;
    }
}

void CAudioDevice::MixTails(float* mix, uint32_t frames)
{
    const uint32_t ramp = m_rampFrames;
    for (AudioTail& tail : m_tails) {
        if (tail.finished || !tail.bytes)
            continue;
        auto fall = [&](uint32_t) {
            if (tail.done >= ramp)
                return -1.0f;
            ++tail.done;
            return tail.gain * static_cast<float>(ramp - tail.done) / static_cast<float>(ramp);
        };
        if (!MixBytes(*tail.bytes, tail.format, tail.position, tail.looping, mix, frames, m_deviceFormat.channels,
                      m_deviceFormat.samplesPerSec, fall) ||
            tail.done >= ramp)
            tail.finished = true;
    }
}

// [SECTION] Capture device

CAudioCapture::CAudioCapture(const AudioFormat& format, uint32_t periodFrames) : m_format(format)
{
    if (format.BlockAlign() == 0 || format.samplesPerSec == 0 || format.channels > 255 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16))
        return;
    if (periodFrames == 0)
        periodFrames = format.samplesPerSec / 100;
    if (!OpenAudioSubsystem())
        return;
    SDL_AudioSpec want{}, have{};
    want.freq = static_cast<int>(format.samplesPerSec);
    want.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<uint8_t>(format.channels);
    want.samples = static_cast<uint16_t>(std::clamp<uint32_t>(periodFrames, 1, 0xFFFF));
    want.callback = &CAudioCapture::Callback;
    want.userdata = this;
    // No changes allowed: SDL converts whatever the card records into the capture format.
    m_id = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
    if (m_id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    m_periodFrames = have.samples;
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
        if (m_feed)
            m_feed->Restart();
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
    const uint32_t frames = static_cast<uint32_t>(length) / capture->m_format.BlockAlign();
    capture->m_framesCaptured += frames;
    if (capture->m_feed && capture->m_feed.use_count() > 1) // a buffer still monitors
        capture->m_feed->Push(stream, frames);
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
