// The software mixer and capture ring, checked end to end through SDL's disk audio driver:
// what the buffers play is read back from the file the driver writes, and capture reads a
// file the test writes.
#include "platform/Audio.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class DiskAudio : public ::testing::Test {
protected:
    TempDir dir;
    std::string output = dir.File("out.raw");
    std::string input = dir.File("in.raw");

    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);
        WriteFileBytes(input, "");
    }

    // The device's output as stereo 16-bit frames, read after the device is closed.
    std::vector<int16_t> Output()
    {
        std::string bytes = ReadFileBytes(output);
        std::vector<int16_t> values(bytes.size() / 2);
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<int16_t>(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
        return values;
    }

    static size_t FirstNonZero(const std::vector<int16_t>& v)
    {
        for (size_t i = 0; i < v.size(); ++i)
            if (v[i] != 0)
                return i;
        return v.size();
    }

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
    size_t start = FirstNonZero(out);
    ASSERT_LE(start + 2 * samples.size(), out.size());
    for (size_t i = 0; i < samples.size(); ++i) {
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
    EXPECT_EQ(out[start], 32512);
    EXPECT_EQ(out[start + 1], -32768);
    // The quiet buffer starts after the loud one's 1000 frames.
    size_t second = start + 2000 + FirstNonZero(std::vector<int16_t>(out.begin() + start + 2000, out.end()));
    ASSERT_LT(second, out.size());
    EXPECT_NEAR(out[second], 20000 * std::pow(10.0, -0.3), 1.0);
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
    size_t start = FirstNonZero(out);
    size_t frames = (out.size() - start) / 2;
    ASSERT_GT(frames, 3 * samples.size());
    for (size_t i = 0; i < 3 * samples.size(); ++i)
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
    EXPECT_EQ(out[start], 1000);
    EXPECT_EQ(out[start + 2], 1050); // halfway between 1000 and 1100
    EXPECT_EQ(out[start + 4], 1100);
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

} // namespace
