#include "sound/Wav.h"

#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

namespace {

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using Block = std::unique_ptr<uint8_t, FreeDeleter>;

std::string U16(uint32_t v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string Chunk(const std::string& tag, const std::string& body) { return tag + U32(body.size()) + body; }
std::string Format(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, const std::string& extra = "")
{
    return Chunk("fmt ", U16(tag) + U16(channels) + U32(rate) + U32(rate * channels * bits / 8) +
                             U16(channels * bits / 8) + U16(bits) + extra);
}
std::string Riff(const std::string& chunks) { return "RIFF" + U32(4 + chunks.size()) + "WAVE" + chunks; }

uint32_t Read32(const std::string& s, size_t at)
{
    return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8 | uint8_t(s[at + 2]) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}
uint32_t Read16(const std::string& s, size_t at) { return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8; }

class Wav : public ::testing::Test {
protected:
    TempDir dir;
    WavInfo info;

    Block ReadBytes(const std::string& bytes)
    {
        std::string path = dir.File("in.wav");
        WriteFileBytes(path, bytes);
        return Block(ReadWav(info, path.c_str()));
    }
};

TEST_F(Wav, HeaderOfAMono16BitSecond)
{
    std::string samples(88200, '\x5a');
    std::string path = dir.File("out.wav");
    ASSERT_TRUE(WriteWav(path.c_str(), 1, 44100, 16, 88200, samples.data()));
    std::string file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 88244u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(Read32(file, 4), 88236u);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Read32(file, 16), 16u);
    EXPECT_EQ(Read16(file, 20), 1u);
    EXPECT_EQ(Read16(file, 22), 1u);
    EXPECT_EQ(Read32(file, 24), 44100u);
    EXPECT_EQ(Read32(file, 28), 88200u);
    EXPECT_EQ(Read16(file, 32), 2u);
    EXPECT_EQ(Read16(file, 34), 16u);
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(Read32(file, 40), 88200u);
    EXPECT_EQ(file.substr(44), samples);
}

TEST_F(Wav, EightBitHeaderAndOddDataWithoutPad)
{
    std::string path = dir.File("out.wav");
    ASSERT_TRUE(WriteWav(path.c_str(), 1, 22050, 8, 3, "abc"));
    std::string file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 47u);
    EXPECT_EQ(Read32(file, 28), 22050u);
    EXPECT_EQ(Read16(file, 32), 1u);
    // Stereo 16-bit: four bytes a frame.
    ASSERT_TRUE(WriteWav(path.c_str(), 2, 48000, 16, 0, nullptr));
    file = ReadFileBytes(path);
    EXPECT_EQ(file.size(), 44u);
    EXPECT_EQ(Read32(file, 28), 192000u);
    EXPECT_EQ(Read16(file, 32), 4u);
}

TEST_F(Wav, UnopenablePathWritesNothingAndSaysWhy)
{
    std::string path = dir.File("missing-folder/out.wav");
    int error = 0;
    EXPECT_FALSE(WriteWav(path.c_str(), 1, 44100, 16, 1, "x", &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::create_directory(dir.File("folder.wav"));
    EXPECT_FALSE(WriteWav(dir.File("folder.wav").c_str(), 1, 44100, 16, 1, "x", &error));
    EXPECT_EQ(error, EISDIR);
}

TEST_F(Wav, AWriteThatCannotFinishLeavesThePreviousFileWhole)
{
    // A second of sound saved before, then a longer one that a file-size limit cuts short: the
    // old file stays as it was instead of a header that promises samples that never came.
    std::string path = dir.File("mix.wav");
    std::string first(88200, '\x11'), second(441000, '\x22');
    ASSERT_TRUE(WriteWav(path.c_str(), 1, 44100, 16, first.size(), first.data()));
    const std::string before = ReadFileBytes(path);
    const int status = RunWithFileSizeLimit(200000, [&] {
        int error = 0;
        const bool ok = WriteWav(path.c_str(), 1, 44100, 16, second.size(), second.data(), &error);
        return ok ? 1 : error == EFBIG ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: reported success, 2: another reason than EFBIG";
    EXPECT_TRUE(ReadFileBytes(path) == before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1)
        << "the temporary file was left behind";
}

TEST_F(Wav, RoundTripKeepsFormatAndBytes)
{
    std::string samples;
    for (int i = 0; i < 1001; ++i)
        samples += char(i * 7);
    std::string path = dir.File("round.wav");
    ASSERT_TRUE(WriteWav(path.c_str(), 2, 8000, 8, samples.size(), samples.data()));
    Block block(ReadWav(info, path.c_str()));
    ASSERT_TRUE(block);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, 8000);
    EXPECT_EQ(info.bitsPerSample, 8);
    ASSERT_EQ(info.dataSize, 1001);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), 1001), samples);
}

TEST_F(Wav, ChunksInAnyOrderWithOthersBetween)
{
    const std::string data = "\x01\x02\x03\x04";
    // A LIST chunk between format and data; an odd-sized one is followed by its pad byte.
    for (const std::string& list : {Chunk("LIST", "INFOabcd"), Chunk("LIST", "odd") + std::string(1, '\0')}) {
        info = WavInfo();
        Block block = ReadBytes(Riff(Format(1, 1, 44100, 16) + list + Chunk("data", data)));
        ASSERT_TRUE(block);
        EXPECT_EQ(info.dataSize, 4);
        EXPECT_EQ(info.channels, 1);
    }
    // Data before format, and a trailing chunk after the data.
    info = WavInfo();
    Block block = ReadBytes(Riff(Chunk("data", data) + Format(1, 2, 11025, 8) + Chunk("LIST", "x") + "\0"));
    ASSERT_TRUE(block);
    EXPECT_EQ(info.sampleRate, 11025);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), 4), data);
}

TEST_F(Wav, ExtendedFormatChunkIsSkippedByItsSize)
{
    // The common 18-byte form with its extension size, then an odd data chunk and a trailer.
    Block block = ReadBytes(Riff(Format(1, 1, 44100, 16, U16(0)) + Chunk("data", "xyz") + "\0" +
                                 Chunk("LIST", "INFO")));
    ASSERT_TRUE(block);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.dataSize, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), 3), "xyz");
}

TEST_F(Wav, OnlyTheFirstDataChunkIsUsed)
{
    Block block = ReadBytes(Riff(Format(1, 1, 8000, 8) + Chunk("data", "ab") + Chunk("data", "cdef")));
    ASSERT_TRUE(block);
    EXPECT_EQ(info.dataSize, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), 2), "ab");
}

TEST_F(Wav, ForeignFilesGiveNull)
{
    EXPECT_FALSE(ReadBytes("RIFX" + U32(4) + "WAVE" + Format(1, 1, 8000, 8) + Chunk("data", "ab")));
    EXPECT_FALSE(ReadBytes("RIFF" + U32(4) + "AVI " + Format(1, 1, 8000, 8) + Chunk("data", "ab")));
    EXPECT_FALSE(ReadBytes(""));
    EXPECT_FALSE(ReadBytes("RIF"));
    EXPECT_FALSE(ReadWav(info, dir.File("nowhere.wav").c_str()));
    EXPECT_EQ(info.channels, 0);
    EXPECT_EQ(info.dataSize, 0);
}

TEST_F(Wav, NonPcmFormatsEndReading)
{
    // Floating point (3) and extensible (0xFFFE) formats before the data: no data.
    EXPECT_FALSE(ReadBytes(Riff(Format(3, 1, 44100, 32) + Chunk("data", "abcd"))));
    EXPECT_FALSE(ReadBytes(Riff(Format(0xFFFE, 1, 44100, 16, U16(22) + std::string(22, '\0')) +
                                Chunk("data", "abcd"))));
    // After the data, the block already read is returned.
    info = WavInfo();
    Block block = ReadBytes(Riff(Chunk("data", "abcd") + Format(3, 1, 44100, 32)));
    ASSERT_TRUE(block);
    EXPECT_EQ(info.dataSize, 4);
    EXPECT_EQ(info.channels, 0);
    // No data chunk at all: null, with the format filled.
    info = WavInfo();
    EXPECT_FALSE(ReadBytes(Riff(Format(1, 2, 22050, 16))));
    EXPECT_EQ(info.sampleRate, 22050);
}

TEST_F(Wav, DeclaredSizesBeyondTheFileAreNotTrusted)
{
    // A data chunk that claims 4 GiB but holds 6 bytes: only those are allocated and reported.
    std::string body = "123456";
    Block block = ReadBytes(Riff(Format(1, 1, 8000, 8) + "data" + U32(0xFFFFFFFF) + body));
    ASSERT_TRUE(block);
    EXPECT_EQ(info.dataSize, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), 6), body);

    // A chunk whose size runs past the end, a format chunk cut short, a header cut short.
    info = WavInfo();
    EXPECT_FALSE(ReadBytes(Riff(Chunk("LIST", "ab").substr(0, 4) + U32(0x7FFFFFFF) + "ab")));
    EXPECT_FALSE(ReadBytes(Riff("fmt " + U32(16) + "\x01\x00\x01")));
    EXPECT_FALSE(ReadBytes(Riff(Format(1, 1, 8000, 8) + "da")));
    EXPECT_FALSE(ReadBytes(Riff("fmt " + U32(8) + std::string(8, '\x01') + Chunk("data", "ab"))));
}

TEST(WavMemory, MatchesTheFileReader)
{
    std::string file = Riff(Format(1, 1, 44100, 16) + Chunk("data", "abcd"));
    WavInfo info;
    Block block(ReadWavFromMemory(info, reinterpret_cast<const uint8_t*>(file.data()), file.size()));
    ASSERT_TRUE(block);
    EXPECT_EQ(info.dataSize, 4);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_FALSE(ReadWavFromMemory(info, nullptr, 10));
}

} // namespace
