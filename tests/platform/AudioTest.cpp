// The software mixer and capture ring, checked end to end through SDL's disk audio driver:
// what the buffers play is read back from the file the driver writes, and capture reads a
// file the test writes. Live monitoring is traced the same way, from the recording to the
// output, with the capture's clock running fast, slow and at its own pace.
#include "platform/Audio.h"

#include "support/DiskAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Frames of the rise at a start at 44100 Hz.
constexpr size_t kRamp = 44100 * kAudioRampMs / 1000;

class DiskAudio : public DiskAudioTest {
protected:
    static void WaitWhilePlaying(CAudioBuffer* buffer)
    {
        for (int i = 0; i < 300 && buffer->IsPlaying(); ++i)
            std::this_thread::sleep_for(10ms);
    }
};

std::vector<uint8_t> Mono16(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> bytes;
    for (int16_t s : samples) {
        bytes.push_back(static_cast<uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
    return bytes;
}

std::vector<int16_t> Ramp(size_t count)
{
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<int16_t>(1000 + (i * 37) % 20000);
    return samples;
}

TEST_F(DiskAudio, PlaysExactlyTheSamplesOnBothChannels)
{
    std::vector<int16_t> samples = Ramp(4410);
    {
        CAudioDevice device;
        ASSERT_TRUE(device.IsOpen());
        ASSERT_EQ(device.DeviceFormat().samplesPerSec, 44100u);
        ASSERT_EQ(device.DeviceFormat().channels, 2u);
        CAudioBuffer* buffer = device.CreateBuffer({1, 44100, 16}, 8820);
        ASSERT_NE(buffer, nullptr);
        std::vector<uint8_t> bytes = Mono16(samples);
        ASSERT_TRUE(buffer->Write(0, bytes.data(), 8820));
        buffer->Play(false);
        WaitWhilePlaying(buffer);
        EXPECT_FALSE(buffer->IsPlaying());
        EXPECT_EQ(buffer->GetCurrentPosition(), 8820u); // a one-shot stops at its end
    }
    std::vector<int16_t> out = Output();
    // Past the rise at the start, the samples themselves.
    size_t start = 2 * StartAfterRamp(Left(), samples, kRamp);
    ASSERT_LE(start + 2 * samples.size(), out.size());
    for (size_t i = kRamp; i < samples.size(); ++i) {
        ASSERT_EQ(out[start + 2 * i], samples[i]) << i;
        ASSERT_EQ(out[start + 2 * i + 1], samples[i]) << i;
    }
    for (size_t i = start + 2 * samples.size(); i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << "silence after a one-shot buffer";
}

TEST_F(DiskAudio, ConvertsEightBitsAndScalesByVolume)
{
    {
        CAudioDevice device;
        CAudioBuffer* loud = device.CreateBuffer({2, 44100, 8}, 2000);
        CAudioBuffer* quiet = device.CreateBuffer({1, 44100, 16}, 2000);
        ASSERT_TRUE(loud && quiet);
        std::vector<uint8_t> eight(2000);
        for (size_t i = 0; i < eight.size(); i += 2) {
            eight[i] = 0xFF; // left +127 × 256
            eight[i + 1] = 0x00; // right -128 × 256
        }
        loud->Write(0, eight.data(), 2000);
        loud->SetVolume(500); // above 0: full volume
        loud->Play(false);
        WaitWhilePlaying(loud);
        std::vector<uint8_t> sixteen = Mono16(std::vector<int16_t>(1000, 20000));
        quiet->Write(0, sixteen.data(), 2000);
        quiet->SetVolume(-600); // gain 10^-0.3
        quiet->Play(false);
        WaitWhilePlaying(quiet);
    }
    std::vector<int16_t> out = Output();
    size_t start = FirstNonZero(out);
    ASSERT_LT(start + 2000, out.size());
    EXPECT_EQ(out[start + 2 * kRamp], 32512);
    EXPECT_EQ(out[start + 2 * kRamp + 1], -32768);
    // The quiet buffer starts after the loud one's 1000 frames.
    size_t second = start + 2000 + FirstNonZero(std::vector<int16_t>(out.begin() + start + 2000, out.end()));
    ASSERT_LT(second, out.size());
    ASSERT_LT(second + 2 * kRamp, out.size());
    EXPECT_NEAR(out[second + 2 * kRamp], 20000 * std::pow(10.0, -0.3), 1.0);
}

TEST_F(DiskAudio, LoopingRepeatsWithoutAGap)
{
    std::vector<int16_t> samples = Ramp(882);
    {
        CAudioDevice device;
        CAudioBuffer* buffer = device.CreateBuffer({1, 44100, 16}, 1764);
        ASSERT_NE(buffer, nullptr);
        std::vector<uint8_t> bytes = Mono16(samples);
        buffer->Write(0, bytes.data(), 1764);
        buffer->Play(true);
        std::this_thread::sleep_for(250ms);
        EXPECT_TRUE(buffer->IsPlaying());
        buffer->Stop();
        uint32_t stoppedAt = buffer->GetCurrentPosition();
        std::this_thread::sleep_for(60ms);
        EXPECT_EQ(buffer->GetCurrentPosition(), stoppedAt); // a stopped buffer stays put
    }
    std::vector<int16_t> out = Output();
    size_t start = 2 * StartAfterRamp(Left(), samples, kRamp);
    ASSERT_LT(start, out.size());
    size_t frames = (out.size() - start) / 2;
    ASSERT_GT(frames, 3 * samples.size());
    for (size_t i = kRamp; i < 3 * samples.size(); ++i)
        ASSERT_EQ(out[start + 2 * i], samples[i % samples.size()]) << i;
}

TEST_F(DiskAudio, ResamplesSlowerRatesByInterpolation)
{
    {
        CAudioDevice device;
        CAudioBuffer* buffer = device.CreateBuffer({1, 22050, 16}, 400);
        ASSERT_NE(buffer, nullptr);
        std::vector<int16_t> samples(200);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(1000 + 100 * i);
        std::vector<uint8_t> bytes = Mono16(samples);
        buffer->Write(0, bytes.data(), 400);
        buffer->Play(false);
        WaitWhilePlaying(buffer);
    }
    std::vector<int16_t> out = Output();
    size_t start = FirstNonZero(out);
    ASSERT_LT(start + 800, out.size());
    // Past the rise: source sample 110 at output frame 220, then halfway values between.
    EXPECT_EQ(out[start + 2 * 220], 12000);
    EXPECT_EQ(out[start + 2 * 221], 12050); // halfway between 12000 and 12100
    EXPECT_EQ(out[start + 2 * 222], 12100);
    EXPECT_EQ(out[start + 2 * 398], 20900);
}

TEST_F(DiskAudio, RejectsWhatItCannotMix)
{
    CAudioDevice device;
    EXPECT_EQ(device.CreateBuffer({1, 44100, 24}, 300), nullptr);
    EXPECT_EQ(device.CreateBuffer({3, 44100, 16}, 600), nullptr);
    EXPECT_EQ(device.CreateBuffer({1, 0, 16}, 100), nullptr);
    EXPECT_EQ(device.CreateBuffer({1, 44100, 16}, 0), nullptr);
    EXPECT_EQ(device.CreateBuffer({2, 44100, 16}, 6), nullptr); // not whole frames
    CAudioBuffer* buffer = device.CreateBuffer({1, 44100, 16}, 8);
    ASSERT_NE(buffer, nullptr);
    uint8_t bytes[8] = {};
    EXPECT_FALSE(buffer->Write(4, bytes, 8));
    EXPECT_FALSE(buffer->Write(9, bytes, 0));
    EXPECT_TRUE(buffer->Write(4, bytes, 4));
    buffer->SetCurrentPosition(100);
    EXPECT_EQ(buffer->GetCurrentPosition(), 8u);
    buffer->SetCurrentPosition(3);
    EXPECT_EQ(buffer->GetCurrentPosition(), 2u);
    device.DestroyBuffer(buffer);
    device.DestroyBuffer(buffer); // a second time is ignored
}

TEST(NoAudio, DevicesExistWithoutABackend)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    CAudioDevice device;
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.CreateBuffer({1, 44100, 16}, 100), nullptr);
    CAudioCapture capture({1, 44100, 8});
    EXPECT_FALSE(capture.IsOpen());
    EXPECT_FALSE(capture.Start());
    EXPECT_FALSE(capture.Stop());
    uint8_t byte;
    EXPECT_EQ(capture.Read(&byte, 1), 0u);
}

TEST_F(DiskAudio, CaptureHandsOutRecordedBytesInOrderAcrossTheRingEnd)
{
    std::string recorded(80000, '\0');
    for (size_t i = 0; i < recorded.size(); ++i)
        recorded[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    WriteFileBytes(input, recorded);

    CAudioCapture capture({1, 44100, 8});
    ASSERT_TRUE(capture.IsOpen());
    EXPECT_EQ(capture.RingSize(), 44100u);
    ASSERT_TRUE(capture.Start());
    std::string got;
    std::vector<uint8_t> block(50000);
    // A small maximum leaves the rest for the next call.
    std::this_thread::sleep_for(100ms);
    uint32_t n = capture.Read(block.data(), 10);
    EXPECT_EQ(n, 10u);
    got.append(reinterpret_cast<char*>(block.data()), n);
    // Read in pieces until past the end of the one-second ring.
    for (int i = 0; i < 60 && got.size() < 60000; ++i) {
        std::this_thread::sleep_for(50ms);
        n = capture.Read(block.data(), static_cast<uint32_t>(block.size()));
        got.append(reinterpret_cast<char*>(block.data()), n);
    }
    capture.Stop();
    ASSERT_GE(got.size(), 60000u);
    EXPECT_TRUE(got == recorded.substr(0, got.size())) << "bytes out of order";

    // Start empties the ring: what is read next is new recording, not what was left.
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(capture.Start());
    EXPECT_LT(capture.Read(block.data(), static_cast<uint32_t>(block.size())), 10000u);
}

// [SECTION] Live monitoring

// What one run of live monitoring through the disk driver measured.
struct MonitorRun {
    MonitorTrace trace;
    AudioMonitorStats stats;
    double drift = 0.0; // the capture's clock against the output's, -1 to 1
    double meanLatencyMs = 0.0;
    double minLatencyMs = 0.0;
    double maxLatencyMs = 0.0;
    size_t span = 0; // output frames from the first monitored one to the last
};

class Monitoring : public DiskAudioTest {
protected:
    static constexpr AudioFormat kMicrophone{1, 44100, 8};

    // Monitors a traceable recording for length, both devices at their own periods.
    MonitorRun Run(std::chrono::milliseconds length)
    {
        using Clock = std::chrono::steady_clock;
        const size_t seconds = static_cast<size_t>(length.count() / 1000 + 2);
        const std::string recording = TraceableRecording(seconds * kMicrophone.samplesPerSec);
        WriteFileBytes(input, recording);
        MonitorRun run;
        FrameClock played, heard;
        uint32_t outputPeriod = 0, capturePeriod = 0;
        int64_t firstDeviceFrame = -1;
        {
            CAudioDevice device;
            CAudioCapture capture(kMicrophone);
            CAudioBuffer* buffer = device.CreateBuffer(kMicrophone, 882);
            if (!buffer || !capture.IsOpen() || !buffer->Monitor(&capture)) {
                ADD_FAILURE() << "no monitoring through the disk driver";
                return run;
            }
            outputPeriod = device.PeriodFrames();
            capturePeriod = capture.PeriodFrames();
            capture.Start();
            buffer->Play(true);
            const auto start = Clock::now();
            for (auto now = start; now - start < length; now = Clock::now()) {
                const double t = std::chrono::duration<double>(now - start).count();
                played.Sample(t, device.FramesMixed());
                heard.Sample(t, capture.FramesCaptured());
                if (firstDeviceFrame < 0)
                    firstDeviceFrame = buffer->MonitorStats().firstDeviceFrame;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            run.stats = buffer->MonitorStats();
            capture.Stop();
        }
        run.trace = TraceMonitor(Left(), recording);
        if (run.trace.frames.empty() || !played.Fit() || !heard.Fit()) {
            ADD_FAILURE() << "nothing recorded was played";
            return run;
        }
        run.drift = heard.Rate() / played.Rate() - 1.0;
        run.span = run.trace.frames.back().first - run.trace.frames.front().first + 1;

        // The driver may write silent periods before the device first runs the mixer: the
        // first monitored frame puts the output file and the mixer's count in step.
        const int64_t offset = static_cast<int64_t>(run.trace.frames.front().first) - firstDeviceFrame;
        EXPECT_TRUE(offset >= 0 && offset % outputPeriod == 0 && offset <= 4 * int64_t(outputPeriod))
            << offset;
        // A frame plays from the moment the mixer hands its period over; a recorded frame
        // was heard during the period that delivered it.
        double sum = 0.0;
        run.minLatencyMs = 1e9;
        for (auto [out, recorded] : run.trace.frames) {
            const double playedAt = played.TimeOf(double(out) - double(offset) + outputPeriod / 2.0);
            const double heardAt = heard.TimeOf(double(recorded) - capturePeriod / 2.0);
            const double ms = (playedAt - heardAt) * 1000.0;
            sum += ms;
            run.minLatencyMs = std::min(run.minLatencyMs, ms);
            run.maxLatencyMs = std::max(run.maxLatencyMs, ms);
        }
        run.meanLatencyMs = sum / run.trace.frames.size();
        std::printf("[monitor] capture clock %+.2f %%: latency mean %.1f ms, min %.1f, max %.1f; "
                    "recording skipped %.2f %%, output silent %.2f %% in %zu gaps; "
                    "dropped %llu, padded %llu frames\n",
                    run.drift * 100.0, run.meanLatencyMs, run.minLatencyMs, run.maxLatencyMs,
                    100.0 * run.trace.skipped / run.span, 100.0 * run.trace.silent / run.span,
                    run.trace.gaps, static_cast<unsigned long long>(run.stats.dropped),
                    static_cast<unsigned long long>(run.stats.padded));
        return run;
    }

    // What monitoring owes whatever the clocks do: every played frame was recorded, in
    // order, none twice, none later than 100 ms, and little of the recording or the output
    // time is lost.
    static void ExpectPassedThrough(const MonitorRun& run, std::chrono::milliseconds length)
    {
        EXPECT_EQ(run.trace.untraced, 0u) << "output that was never recorded";
        EXPECT_EQ(run.trace.outOfOrder, 0u) << "recording played out of order or twice";
        EXPECT_GT(run.span, static_cast<size_t>(length.count()) * 44100 / 1000 * 8 / 10);
        EXPECT_LT(run.maxLatencyMs, 100.0);
        EXPECT_GT(run.minLatencyMs, 0.0);
        EXPECT_LT(run.trace.skipped, run.span / 20) << "recording lost";
        EXPECT_LT(run.trace.silent, run.span / 20) << "silence in the monitored output";
    }
};

// The jitter buffer's answers to drift, late recording and a pause are tested on a simulated
// clock (AudioFeedTest.cpp); these runs check the same path through the real (disk) drivers.
TEST_F(Monitoring, RealDriversPassTheMicrophoneThroughAtTheirOwnPeriods)
{
    const auto length = std::chrono::milliseconds(3000);
    MonitorRun run = Run(length);
    ExpectPassedThrough(run, length);
}

TEST_F(Monitoring, OnlyAnOpenDeviceRecordingTheBuffersFormatIsMonitored)
{
    CAudioDevice device;
    CAudioBuffer* buffer = device.CreateBuffer({1, 44100, 8}, 100);
    ASSERT_NE(buffer, nullptr);
    CAudioCapture stereo({2, 44100, 8});
    CAudioCapture fast({1, 48000, 8});
    ASSERT_TRUE(stereo.IsOpen() && fast.IsOpen());
    CAudioCapture closed({1, 44100, 24});
    EXPECT_FALSE(buffer->Monitor(&stereo));
    EXPECT_FALSE(buffer->Monitor(&fast));
    EXPECT_FALSE(buffer->Monitor(&closed));
    EXPECT_FALSE(buffer->IsMonitoring());
    CAudioCapture microphone({1, 44100, 8});
    EXPECT_TRUE(buffer->Monitor(&microphone));
    EXPECT_TRUE(buffer->IsMonitoring());
    EXPECT_TRUE(buffer->Monitor(nullptr));
    EXPECT_FALSE(buffer->IsMonitoring());
    EXPECT_EQ(buffer->MonitorStats().firstDeviceFrame, -1);
}

} // namespace

// [SECTION] Ramps

namespace {

// The largest step between consecutive left-channel output samples.
int LargestStep(const std::vector<int16_t>& left)
{
    int largest = 0;
    for (size_t i = 1; i < left.size(); ++i)
        largest = std::max(largest, std::abs(left[i] - left[i - 1]));
    return largest;
}

} // namespace

TEST_F(DiskAudio, StartsStopsAndReplacementsRampInsteadOfJumping)
{
    // Constant sounds at nearly full scale, of opposite signs: without ramps every start, stop
    // and replacement would step by 30000 or 60000 at once.
    const std::vector<uint8_t> high = Mono16(std::vector<int16_t>(44100, 30000));
    const std::vector<uint8_t> low = Mono16(std::vector<int16_t>(44100, -30000));
    uint32_t ramp = 0;
    bool replacedWhileStopped = false;
    {
        CAudioDevice device;
        ramp = device.RampFrames();
        CAudioBuffer* buffer = device.CreateBuffer({1, 44100, 16}, static_cast<uint32_t>(high.size()));
        ASSERT_NE(buffer, nullptr);
        buffer->Write(0, high.data(), static_cast<uint32_t>(high.size()));
        buffer->Play(true);
        std::this_thread::sleep_for(80ms);
        ASSERT_TRUE(buffer->Replace({1, 44100, 16}, low.data(), static_cast<uint32_t>(low.size())));
        EXPECT_TRUE(buffer->IsPlaying());
        std::this_thread::sleep_for(80ms);
        buffer->SetCurrentPosition(2000); // a jump while playing
        std::this_thread::sleep_for(80ms);
        buffer->Stop();
        EXPECT_FALSE(buffer->IsPlaying());
        std::this_thread::sleep_for(80ms);
        replacedWhileStopped = buffer->Replace({1, 44100, 16}, high.data(), static_cast<uint32_t>(high.size()));
        EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
        buffer->Play(true);
        std::this_thread::sleep_for(80ms);
        device.DestroyBuffer(buffer); // gone while playing: fades out too
        std::this_thread::sleep_for(80ms);
        EXPECT_FALSE(device.CreateBuffer({1, 44100, 16}, 3) != nullptr) << "a partial frame";
    }
    EXPECT_TRUE(replacedWhileStopped);
    ASSERT_GE(ramp, 200u); // about 5 ms
    ASSERT_LE(ramp, 240u);
    const std::vector<int16_t> left = Left();
    // Every sound reached full level, and the output went back to silence at the end.
    EXPECT_NE(std::find(left.begin(), left.end(), 30000), left.end());
    EXPECT_NE(std::find(left.begin(), left.end(), -30000), left.end());
    EXPECT_EQ(left.back(), 0);
    // A crossfade between +30000 and -30000 moves by 60000 over the ramp.
    EXPECT_LE(LargestStep(left), 60000 / static_cast<int>(ramp) + 2);
}

TEST_F(DiskAudio, ReplaceRejectsWhatItCannotMixAndKeepsPlaying)
{
    CAudioDevice device;
    CAudioBuffer* buffer = device.CreateBuffer({1, 44100, 16}, 8820);
    ASSERT_NE(buffer, nullptr);
    const std::vector<uint8_t> bytes(8820, 1);
    buffer->Play(true);
    EXPECT_FALSE(buffer->Replace({1, 44100, 16}, bytes.data(), 8819)) << "not whole frames";
    EXPECT_FALSE(buffer->Replace({3, 44100, 16}, bytes.data(), 8820)) << "three channels";
    EXPECT_FALSE(buffer->Replace({1, 44100, 16}, nullptr, 8820));
    EXPECT_TRUE(buffer->IsPlaying());
    EXPECT_EQ(buffer->Size(), 8820u);
    EXPECT_TRUE(buffer->Replace({2, 22050, 8}, bytes.data(), 4000));
    EXPECT_EQ(buffer->Size(), 4000u);
    EXPECT_EQ(buffer->Format().channels, 2u);
}
