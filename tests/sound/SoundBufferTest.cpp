// Playback buffers and sets on the platform's audio: timing through frame ticks on a test
// clock (dummy driver), and what reaches the output through SDL's disk driver.
#include "sound/SoundBuffer.h"

#include "events/FrameTick.h"
#include "platform/Audio.h"
#include "sound/SoundCapture.h"
#include "sound/SoundStream.h"
#include "support/OggWriter.h"
#include "support/DiskAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Frames of the rise at a start at 44100 Hz.
constexpr size_t kRamp = 44100 * kAudioRampMs / 1000;

uint32_t g_now = 1000;
uint32_t TestClock() { return g_now; }

// Counts the emissions of a buffer's signals.
struct Listener {
    int stopped = 0;
    std::vector<unsigned> dataLengths;
    std::vector<char*> dataBlocks;
    void OnStopped() { ++stopped; }
    void OnData(char* block, unsigned length)
    {
        dataBlocks.push_back(block);
        dataLengths.push_back(length);
    }
    CSlotList slots;
};

void FillMono16(CSound& sound, uint32_t frames)
{
    ASSERT_TRUE(sound.Allocate(frames * 2, 1, 44100, 16));
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t v = static_cast<int16_t>(1000 + (i * 13) % 15000);
        sound.data[2 * i] = static_cast<uint8_t>(v & 0xFF);
        sound.data[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
}

class FakeClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        g_now = 1000;
        SetAppClockForTesting(&TestClock);
    }
    void TearDown() override { SetAppClockForTesting(nullptr); }

    // Advances the clock by frames of 40 ms, emitting the frame tick at each.
    static void Frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            g_now += 40;
            GetFrameTick().Emit();
        }
    }
};

TEST_F(FakeClock, StoppedArrivesOnceAfterTheDuration)
{
    CSound sound;
    FillMono16(sound, 4410); // 100 ms
    CSoundBufferSet set;
    EnsureDevice();
    set.Add(&sound);
    ASSERT_EQ(set.Count(), 1u);
    CSoundBuffer* buffer = set.Get(0);
    Listener listener;
    listener.slots.Connect(buffer->onStopped, &listener, &Listener::OnStopped);

    buffer->Play(0);
    EXPECT_TRUE(IsPlaying(buffer));
    Frames(2); // 80 ms
    EXPECT_EQ(listener.stopped, 0);
    Frames(1); // 120 ms: the first tick at or after 100 ms
    EXPECT_EQ(listener.stopped, 1);
    Frames(10);
    EXPECT_EQ(listener.stopped, 1);
    EXPECT_TRUE(buffer->playing); // the flag is the owner's business

    // A looping sound never reports its end.
    buffer->SetLooping(true);
    buffer->Play(0);
    Frames(20);
    EXPECT_EQ(listener.stopped, 1);
    buffer->Stop();
    EXPECT_FALSE(IsPlaying(buffer));
}

TEST_F(FakeClock, SilentBuffersStillReportTheirEnd)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    CSound sound;
    FillMono16(sound, 4410);
    CSoundBufferSet set;
    EnsureDevice();
    ASSERT_NE(GetSoundDevice(), nullptr);
    set.Add(&sound);
    ASSERT_EQ(set.Count(), 1u);
    auto* buffer = static_cast<CSoundBufferSDL*>(set.Get(0));
    EXPECT_FALSE(buffer->HasDeviceBuffer());
    EXPECT_EQ(CreateBuffer(*static_cast<CSoundProviderSDL*>(GetSoundDevice()), *buffer), -1);
    Listener listener;
    listener.slots.Connect(buffer->onStopped, &listener, &Listener::OnStopped);
    buffer->Play(0);
    EXPECT_EQ(buffer->GetPosition(), 0);
    Frames(3);
    EXPECT_EQ(listener.stopped, 1);

    // An unsupported format on a working device is silent too.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST_F(FakeClock, VolumeIsStoredUnclamped)
{
    CSound sound;
    FillMono16(sound, 100);
    CSoundBufferSet set;
    EnsureDevice();
    set.Add(&sound);
    CSoundBuffer* buffer = set.Get(0);
    buffer->SetVolume(-20000);
    EXPECT_EQ(buffer->GetVolume(), -20000);
    buffer->SetVolume(500);
    EXPECT_EQ(buffer->GetVolume(), 500);
}

TEST_F(FakeClock, TheLastSetReleasesTheDevice)
{
    {
        CSoundBufferSet first;
        EnsureDevice();
        CSoundProvider* device = GetSoundDevice();
        ASSERT_NE(device, nullptr);
        {
            CSoundBufferSet second;
            EXPECT_EQ(CSoundBufferSet::GetUserCount(), 2u);
        }
        EXPECT_EQ(GetSoundDevice(), device);
    }
    EXPECT_EQ(GetSoundDevice(), nullptr);
    EXPECT_EQ(CSoundBufferSet::GetUserCount(), 0u);
    CSoundBufferSet again;
    EnsureDevice();
    EXPECT_NE(GetSoundDevice(), nullptr);

    // Sets hold their buffers by index; removing out of range is ignored.
    CSound a, b;
    FillMono16(a, 10);
    FillMono16(b, 20);
    again.Add(&a);
    again.Add(&b);
    again.Remove(5);
    EXPECT_EQ(again.Count(), 2u);
    again.Remove(0);
    ASSERT_EQ(again.Count(), 1u);
    EXPECT_EQ(again.Get(0)->GetSound(), &b);
    EXPECT_EQ(again.Get(1), nullptr);
    again.Clear();
    EXPECT_EQ(again.Count(), 0u);
}

TEST_F(FakeClock, MonitoringNeedsADeviceOnBothSides)
{
    CSoundStream live;
    live.PrepareLiveStream(1, 44100, 8, 250);
    CSoundCapture none; // no platform device behind it
    {
        CSoundBufferSet set;
        EnsureDevice();
        set.Add(&live);
        CSoundBuffer* buffer = set.Get(0);
        ASSERT_NE(buffer, nullptr);
        EXPECT_FALSE(buffer->Monitor(&none));
        EXPECT_FALSE(buffer->IsMonitoring());
        EXPECT_TRUE(buffer->Monitor(nullptr)); // back to its own data, which it had
    }
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    CSoundBufferSet set;
    EnsureDevice();
    set.Add(&live);
    CSoundCaptureSDL capture(8, 44100, 1);
    EXPECT_FALSE(set.Get(0)->Monitor(&capture)); // a silent buffer cannot
    EXPECT_EQ(capture.GetDevice(), nullptr);
}

TEST(SoundDeviceless, NoDeviceMeansNoBuffers)
{
    CSoundBufferSet set; // EnsureDevice not called
    CSound sound;
    FillMono16(sound, 10);
    set.Add(&sound);
    EXPECT_EQ(set.Count(), 0u);
}

// [SECTION] What reaches the output

class DiskOutput : public DiskAudioTest {
protected:
    // Emits frame ticks on the real clock every 10 ms for the given time, or until done().
    template <class Done>
    static void Run(std::chrono::milliseconds limit, Done done)
    {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end && !done()) {
            GetFrameTick().Emit();
            std::this_thread::sleep_for(10ms);
        }
    }

    static CAudioDevice& Device() { return *static_cast<CSoundProviderSDL*>(GetSoundDevice())->GetDevice(); }
    // Emits frame ticks until the output has mixed frames more (at most 5 s): how long a
    // stretch lasts in the output, whatever else the machine is doing.
    static void RunForDeviceFrames(uint64_t frames)
    {
        const uint64_t until = Device().FramesMixed() + frames;
        Run(5s, [&] { return Device().FramesMixed() >= until; });
    }

    static std::vector<int16_t> Samples(const CSound& sound)
    {
        std::vector<int16_t> v(sound.dataSize / 2);
        std::memcpy(v.data(), sound.data, v.size() * 2);
        return v;
    }
};

TEST_F(DiskOutput, PlaysTheSoundsSamplesThenSilence)
{
    CSound sound;
    FillMono16(sound, 2205);
    {
        CSoundBufferSet set;
        EnsureDevice();
        set.Add(&sound);
        CSoundBuffer* buffer = set.Get(0);
        Listener listener;
        listener.slots.Connect(buffer->onStopped, &listener, &Listener::OnStopped);
        buffer->Play(0);
        Run(2s, [&] { return listener.stopped > 0; });
        EXPECT_EQ(listener.stopped, 1);
        RunForDeviceFrames(2646); // 60 ms
    }
    std::vector<int16_t> left = Left();
    std::vector<int16_t> expected = Samples(sound);
    size_t start = StartAfterRamp(left, expected, kRamp); // the start rises over the ramp
    ASSERT_LE(start + expected.size(), left.size());
    EXPECT_TRUE(std::equal(expected.begin() + kRamp, expected.end(), left.begin() + start + kRamp));
    EXPECT_EQ(FirstNonZero(left, start + expected.size()), left.size());
}

TEST_F(DiskOutput, ResumeContinuesWhereTheDeviceStopped)
{
    CSound sound;
    FillMono16(sound, 44100); // one second
    size_t stoppedAtFrame = 0;
    {
        CSoundBufferSet set;
        EnsureDevice();
        set.Add(&sound);
        CSoundBuffer* buffer = set.Get(0);
        buffer->Play(0);
        Run(5s, [&] { return buffer->GetPosition() >= 2 * 6615; }); // 150 ms
        buffer->Stop();
        int32_t stoppedAt = buffer->GetPosition();
        EXPECT_GT(stoppedAt, 0);
        stoppedAtFrame = static_cast<size_t>(stoppedAt) / 2;
        RunForDeviceFrames(4410); // a stretch of silence in the output
        EXPECT_EQ(buffer->GetPosition(), stoppedAt);
        buffer->Resume();
        Run(5s, [&] { return buffer->GetPosition() >= stoppedAt + 2 * 4410; });
        EXPECT_GT(buffer->GetPosition(), stoppedAt);
        buffer->Stop();
    }
    std::vector<int16_t> left = Left();
    std::vector<int16_t> expected = Samples(sound);
    size_t start = FirstNonZero(left);
    size_t gap = start;
    while (gap < left.size() && left[gap] != 0)
        ++gap;
    ASSERT_GT(gap - start, kRamp);
    // The second stretch continues the sound exactly where the first one was stopped (its
    // fade-out played on past that point; the resumed sound rises again over the ramp).
    ASSERT_LT(stoppedAtFrame, expected.size());
    std::vector<int16_t> rest;
    for (size_t i = stoppedAtFrame; i < expected.size(); ++i)
        rest.push_back(expected[i]);
    size_t resumed = StartAfterRamp(left, rest, kRamp, gap);
    ASSERT_LT(resumed + kRamp + 100, left.size());
    for (size_t i = kRamp; i < kRamp + 100; ++i)
        ASSERT_EQ(left[resumed + i], rest[i]) << i;
}

TEST_F(DiskOutput, StreamRefillsHalvesThenSilenceThenStops)
{
    std::string path = dir.File("tone.ogg");
    ASSERT_TRUE(WriteOggVorbis(path, ToneSamples(22050, 1, 44100, 330.0), 1, 44100));
    CSound whole;
    ASSERT_TRUE(DecodeWhole(path.c_str(), whole));
    CSoundStream stream;
    // 200 ms halves (well above the 100 ms refill period) for 500 ms of sound.
    ASSERT_TRUE(stream.OpenStream(path.c_str(), 50));
    const uint32_t h = stream.GetHalfSize();
    Listener listener;
    {
        CSoundBufferSet set;
        EnsureDevice();
        set.Add(&stream);
        CSoundBuffer* buffer = set.Get(0);
        listener.slots.Connect(buffer->onData, &listener, &Listener::OnData);
        buffer->Play(0);
        ASSERT_EQ(listener.dataBlocks.size(), 1u); // the first half at once
        EXPECT_EQ(listener.dataBlocks[0], reinterpret_cast<char*>(stream.data));
        Run(3s, [&] { return !buffer->refillTimer.IsEnabled(); });
        EXPECT_FALSE(buffer->refillTimer.IsEnabled()) << "the stream never stopped";
        EXPECT_FALSE(IsPlaying(buffer));
        listener.slots.Clear();
    }
    // Halves alternate: 0, 1, 0 (the last sound); then the half after it is silenced, again
    // at each refill until the device has moved into it.
    char* first = reinterpret_cast<char*>(stream.data);
    ASSERT_GE(listener.dataBlocks.size(), 4u);
    for (size_t i = 0; i < listener.dataBlocks.size(); ++i) {
        EXPECT_EQ(listener.dataLengths[i], h);
        EXPECT_EQ(listener.dataBlocks[i], i < 3 ? first + (i % 2) * h : first + h) << i;
    }
    EXPECT_TRUE(std::string(first + h, h) == std::string(h, '\0'));
    // The device played the decoded sound without a gap, followed by silence.
    std::vector<int16_t> left = Left();
    std::vector<int16_t> expected = Samples(whole);
    size_t start = StartAfterRamp(left, expected, kRamp); // the start rises over the ramp
    ASSERT_LE(start + expected.size(), left.size());
    for (size_t i = kRamp; i < expected.size(); ++i)
        ASSERT_EQ(left[start + i], expected[i]) << i;
}

TEST_F(DiskOutput, PlayFromAPositionStartsAtOnceWithThatPositionsSound)
{
    std::string path = dir.File("tone.ogg");
    // 330.5 Hz: at one second the tone is half a cycle on from its start.
    ASSERT_TRUE(WriteOggVorbis(path, ToneSamples(88200, 1, 44100, 330.5), 1, 44100));
    CSound whole;
    ASSERT_TRUE(DecodeWhole(path.c_str(), whole));
    std::vector<int16_t> expected = Samples(whole);
    ASSERT_GT(expected.size(), 44100u);
    expected.erase(expected.begin(), expected.begin() + 44100);
    CSoundStream stream;
    ASSERT_TRUE(stream.OpenStream(path.c_str(), 50)); // halves of 200 ms
    uint64_t playedAt = 0;
    uint32_t period = 0;
    {
        CSoundBufferSet set;
        EnsureDevice();
        set.Add(&stream);
        CSoundBuffer* buffer = set.Get(0);
        CAudioDevice* device = static_cast<CSoundProviderSDL*>(GetSoundDevice())->GetDevice();
        period = device->PeriodFrames();
        Run(100ms, [] { return false; });
        playedAt = device->FramesMixed();
        buffer->Play(1); // seconds into a stream
        Run(600ms, [] { return false; });
        buffer->Stop();
    }
    std::vector<int16_t> left = Left();
    const size_t lead = FirstNonZero(expected);
    const size_t start = StartAfterRamp(left, expected, kRamp); // the start rises over the ramp
    ASSERT_LE(start + 17640, left.size());
    // The output file may open with up to two silent periods the mixer does not count.
    EXPECT_LT(start, playedAt + 2 * period + 4410) << "a ring of silence came first";
    for (size_t i = kRamp; i < 17640; ++i)
        ASSERT_EQ(left[start + i], expected[i]) << i;
    EXPECT_NE(expected[lead + 10], Samples(whole)[lead + 10]); // not the start's sound
}

TEST_F(DiskOutput, MonitoringPlaysTheMicrophoneWithoutHoldingUpTheFrameLoop)
{
    const std::string recording = TraceableRecording(3 * 44100);
    WriteFileBytes(input, recording);
    CSoundCaptureSDL capture(8, 44100, 1);
    ASSERT_TRUE(capture.IsOpen());
    CSoundStream live;
    live.PrepareLiveStream(capture.channels, capture.samplesPerSec, capture.bitsPerSample, 250);
    Listener listener;
    {
        CSoundBufferSet set;
        EnsureDevice();
        set.Add(&live);
        CSoundBuffer* buffer = set.Get(0);
        listener.slots.Connect(buffer->onData, &listener, &Listener::OnData);
        listener.slots.Connect(buffer->onStopped, &listener, &Listener::OnStopped);
        ASSERT_TRUE(buffer->Monitor(&capture));
        EXPECT_TRUE(buffer->IsMonitoring());
        ASSERT_TRUE(capture.Start());
        buffer->Resume();
        // The frame loop never touches the recording while monitoring: no refill, no data.
        RunForDeviceFrames(66150); // 1.5 s
        EXPECT_TRUE(IsPlaying(buffer));
        EXPECT_FALSE(buffer->refillTimer.IsEnabled());
        buffer->Stop();
        capture.Stop();
        EXPECT_TRUE(buffer->Monitor(nullptr));
        EXPECT_FALSE(buffer->IsMonitoring());
        listener.slots.Clear();
    }
    EXPECT_TRUE(listener.dataBlocks.empty()) << "nothing is refilled while monitoring";
    EXPECT_EQ(listener.stopped, 0) << "a live recording has no end";
    MonitorTrace trace = TraceMonitor(Left(), recording);
    EXPECT_EQ(trace.untraced, 0u);
    EXPECT_EQ(trace.outOfOrder, 0u);
    EXPECT_GT(trace.frames.size(), 44100u) << "a second of the 1.5 s was monitored";
}

TEST_F(DiskOutput, CaptureReadsTheRecording)
{
    std::string recorded(20000, '\0');
    for (size_t i = 0; i < recorded.size(); ++i)
        recorded[i] = static_cast<char>(i % 251);
    WriteFileBytes(input, recorded);
    CSoundCaptureSDL capture(8, 44100, 1);
    ASSERT_TRUE(capture.IsOpen());
    EXPECT_EQ(capture.channels, 1u);
    EXPECT_EQ(capture.bitsPerSample, 8u);
    ASSERT_TRUE(capture.Start());
    std::string got;
    char block[4096];
    for (int i = 0; i < 100 && got.size() < 10000; ++i) {
        std::this_thread::sleep_for(10ms);
        got.append(block, capture.Read(block, sizeof block));
    }
    EXPECT_TRUE(capture.Stop());
    ASSERT_GE(got.size(), 10000u);
    EXPECT_TRUE(got == recorded.substr(0, got.size()));

    CSoundCapture none;
    EXPECT_FALSE(none.Start());
    EXPECT_EQ(none.Read(block, 10), 0u);
}

// A headset unplugged: the sound layer replaces the lost output by the default one, and the
// looping sound plays on into the new device (the disk driver's file named at reopening).
TEST_F(DiskOutput, AnOutputThatGoesAwayIsReplacedByTheDefaultAndPlaysOn)
{
    CSound sound;
    FillMono16(sound, 882);
    {
        CSoundBufferSet set;
        EnsureDevice();
        set.Add(&sound);
        set.Get(0)->SetLooping(true);
        set.Get(0)->Play(0);
        RunForDeviceFrames(4410);
        output = dir.File("moved.raw");
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        SoundDeviceEvent(false, false, Device().DeviceId());
        RunForDeviceFrames(6615); // on the new device, which counts on
    }
    EXPECT_NE(StartAfterRamp(Left(), Samples(sound), kRamp), std::string::npos);
}

} // namespace
