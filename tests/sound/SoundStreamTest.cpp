#include "sound/SoundStream.h"

#include "support/OggWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class Stream : public ::testing::Test {
protected:
    TempDir dir;

    std::string Ogg(int frames, int channels, int rate, const char* name = "tone.ogg")
    {
        std::string path = dir.File(name);
        EXPECT_TRUE(WriteOggVorbis(path, ToneSamples(frames, channels, rate, 440.0), channels, rate));
        return path;
    }

    static std::string Half(const CSoundStream& s, int half)
    {
        return std::string(reinterpret_cast<const char*>(s.data) + half * s.GetHalfSize(), s.GetHalfSize());
    }
};

TEST_F(Stream, RingSizesFollowTheFileFormat)
{
    CSoundStream stream;
    EXPECT_EQ(stream.kind, ResourceStream);
    EXPECT_TRUE(stream.IsStreamed());
    ASSERT_TRUE(stream.OpenStream(Ogg(44100, 2, 44100).c_str(), 500));
    EXPECT_TRUE(stream.HasDecoder());
    EXPECT_EQ(stream.dataSize, 705600u);
    EXPECT_EQ(stream.GetHalfSize(), 352800u);
    EXPECT_EQ(stream.channels, 2u);
    EXPECT_EQ(stream.samplesPerSec, 44100u);
    EXPECT_EQ(stream.bitsPerSample, 16u);
    EXPECT_EQ(stream.GetTotalBytes(), 44100u * 4);
    EXPECT_EQ(stream.GetDuration(), 1000); // the whole stream, not the ring
    EXPECT_EQ(stream.GetLastFilledHalf(), 1);
}

TEST_F(Stream, UnreadableFilesLeaveTheStreamEmpty)
{
    CSoundStream stream;
    WriteFileBytes(dir.File("fake.ogg"), "OggS but not really a vorbis stream");
    for (std::string path : {dir.File("fake.ogg"), dir.File("missing.ogg")}) {
        EXPECT_FALSE(stream.OpenStream(path.c_str(), 500));
        EXPECT_FALSE(stream.HasDecoder());
        EXPECT_EQ(stream.data, nullptr);
        EXPECT_EQ(stream.dataSize, 0u);
        EXPECT_EQ(stream.NextHalf(0, false), -1); // nothing to play
    }
    CSound sound;
    sound.Allocate(10, 1, 8000, 8);
    EXPECT_FALSE(DecodeWhole(dir.File("fake.ogg").c_str(), sound));
    EXPECT_EQ(sound.data, nullptr);
    EXPECT_EQ(sound.dataSize, 0u); // no size without data
}

TEST_F(Stream, HalvesFillInTurnAndTheLastIsPaddedWithSilence)
{
    // 0.3 s of mono sound through a ring of two 100 ms halves (the size counts 16 bits a
    // millisecond of each channel: 25 gives 17640 bytes).
    std::string path = Ogg(13230, 1, 44100);
    CSound whole;
    ASSERT_TRUE(DecodeWhole(path.c_str(), whole));
    ASSERT_EQ(whole.dataSize, 26460u);
    std::string reference(reinterpret_cast<char*>(whole.data), whole.dataSize);

    CSoundStream stream;
    ASSERT_TRUE(stream.OpenStream(path.c_str(), 25)); // ring 17640, halves 8820
    const uint32_t h = stream.GetHalfSize();
    ASSERT_EQ(h, 8820u);
    stream.Seek(0);
    EXPECT_EQ(stream.NextHalf(0, false), 0);  // first call after a seek: the first half
    EXPECT_TRUE(Half(stream, 0) == reference.substr(0, h));
    EXPECT_EQ(stream.NextHalf(0, false), 1);  // the device plays the first half
    EXPECT_TRUE(Half(stream, 1) == reference.substr(h, h));
    EXPECT_EQ(stream.NextHalf(100, false), -1); // still in the first half: nothing stale
    // A device standing exactly at the boundary has nothing stale either, and the stream has
    // not ended: its player must not take -1 for the end and silence a half of sound.
    EXPECT_EQ(stream.NextHalf(h, false), -1);
    EXPECT_FALSE(stream.HasEnded());
    EXPECT_EQ(stream.NextHalf(h + 1, false), 0); // moved into the second half
    EXPECT_TRUE(Half(stream, 0) == reference.substr(2 * h, h));
    EXPECT_EQ(stream.GetDecodedBytes(), 26460u);
    EXPECT_TRUE(stream.HasEnded());
    EXPECT_EQ(stream.NextHalf(0, false), -1); // the end of a non-looping stream

    // A file that ends inside a half leaves zero bytes after its end.
    CSoundStream shortStream;
    ASSERT_TRUE(shortStream.OpenStream(Ogg(3000, 1, 44100, "short.ogg").c_str(), 25));
    shortStream.Seek(0);
    ASSERT_EQ(shortStream.NextHalf(0, false), 0);
    std::string first = Half(shortStream, 0);
    EXPECT_TRUE(first.substr(6000) == std::string(h - 6000, '\0'));
    EXPECT_EQ(shortStream.NextHalf(0, false), -1);
}

TEST_F(Stream, LoopingWrapsToTheStartWithinOneRead)
{
    std::string path = Ogg(6000, 1, 44100); // 12000 bytes, shorter than two halves
    CSound whole;
    ASSERT_TRUE(DecodeWhole(path.c_str(), whole));
    std::string reference(reinterpret_cast<char*>(whole.data), whole.dataSize);

    CSoundStream stream;
    ASSERT_TRUE(stream.OpenStream(path.c_str(), 25));
    const uint32_t h = stream.GetHalfSize();
    stream.Seek(0);
    ASSERT_EQ(stream.NextHalf(0, true), 0);
    ASSERT_EQ(stream.NextHalf(0, true), 1);
    std::string played = Half(stream, 0) + Half(stream, 1);
    std::string expected = reference + reference;
    EXPECT_TRUE(played == expected.substr(0, 2 * h)) << "no silence at the loop point";
    EXPECT_EQ(stream.NextHalf(h + 4, true), 0); // a looping stream never ends
}

TEST_F(Stream, SeekingFillsTheFirstHalfFromThereAtOnce)
{
    std::string path = Ogg(88200, 1, 44100); // two seconds
    CSound whole;
    ASSERT_TRUE(DecodeWhole(path.c_str(), whole));
    std::string reference(reinterpret_cast<char*>(whole.data), whole.dataSize);

    CSoundStream stream;
    ASSERT_TRUE(stream.OpenStream(path.c_str(), 25)); // halves of 100 ms
    const uint32_t h = stream.GetHalfSize();
    stream.Seek(0);
    ASSERT_EQ(stream.NextHalf(0, false), 0);
    ASSERT_EQ(stream.NextHalf(0, false), 1);
    // A seek while the device plays the first half: that half is rewritten at once with the
    // sound from the new position (the ring still holds what played before).
    stream.Seek(1);
    EXPECT_EQ(stream.NextHalf(100, false), 0);
    EXPECT_TRUE(Half(stream, 0) == reference.substr(88200, h));
    EXPECT_EQ(stream.NextHalf(200, false), 1);
    EXPECT_TRUE(Half(stream, 1) == reference.substr(88200 + h, h));
    EXPECT_EQ(stream.NextHalf(300, false), -1);

    // Past the end, a stream played once has nothing left; a loop starts over.
    stream.Seek(5);
    EXPECT_EQ(stream.NextHalf(0, false), -1);
    stream.Seek(5);
    EXPECT_EQ(stream.NextHalf(0, true), 0);
    EXPECT_TRUE(Half(stream, 0) == reference.substr(0, h));
}

TEST_F(Stream, LiveRingsHoldTheirDurationInWholeFrames)
{
    CSoundStream live;
    live.PrepareLiveStream(1, 44100, 8, 250);
    EXPECT_FALSE(live.HasDecoder());
    EXPECT_EQ(live.dataSize, 11024u); // 11025 bytes, less one for two halves of whole frames
    EXPECT_EQ(live.GetHalfSize(), 5512u);
    EXPECT_EQ(live.GetTotalBytes(), 11024u);
    EXPECT_EQ(live.GetDuration(), 249);
    EXPECT_EQ(live.data[0], 0x80); // 8-bit silence until the halves fill

    live.PrepareLiveStream(2, 44100, 16, 250);
    EXPECT_EQ(live.dataSize, 44096u); // 44100 rounded down to 8-byte frame pairs
    EXPECT_EQ(live.GetHalfSize() % 4, 0u);
    EXPECT_EQ(live.data[0], 0);

    // A size whose ring does not fit in 32 bits gives no ring rather than a wrapped one.
    live.PrepareLiveStream(2, 44100, 16, 40000000);
    EXPECT_EQ(live.dataSize, 0u);
    EXPECT_EQ(live.data, nullptr);
}

TEST_F(Stream, LiveHalvesAreNeverTheOneTheDeviceIsPlaying)
{
    CSoundStream live;
    live.PrepareLiveStream(1, 44100, 8, 250);
    const uint32_t h = live.GetHalfSize();
    std::memset(live.data, 7, live.dataSize);
    live.Seek(0);
    EXPECT_EQ(live.NextHalf(0, true), 0);
    EXPECT_EQ(live.NextHalf(10, true), 1);
    EXPECT_EQ(live.NextHalf(h / 2, true), -1) << "the device plays the first half";
    EXPECT_EQ(live.NextHalf(h + 10, true), 0);
    EXPECT_EQ(live.NextHalf(h + h / 2, true), -1) << "the device plays the second half";
    EXPECT_EQ(live.NextHalf(10, true), 1);
    EXPECT_EQ(live.NextHalf(20, false), -1); // not looping: the same rule, never an end
    EXPECT_EQ(live.data[0], 7); // the receiver of the data signal fills the halves
}

} // namespace
