// Sound files by format: the ending that chooses the format, WAV files byte for byte as our
// own writer makes them, FLAC files that decode (through libsndfile's reader) to exactly the
// samples written, Ogg Vorbis files close to them, the same bytes on every encoding, and a
// failed write that leaves the previous file whole.
#include "sound/SoundFile.h"
#include "sound/Wav.h"

#include "support/DecodeSound.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// A second of mono sound that uses the whole 16-bit range: a loud tone, both extremes, and
// pseudo-random noise (which no lossless coder can shrink much).
std::vector<int16_t> TestSamples(size_t count = 44100)
{
    std::vector<int16_t> samples(count);
    uint32_t noise = 12345;
    for (size_t i = 0; i < count; ++i) {
        noise = noise * 1664525u + 1013904223u;
        if (i < count / 2)
            samples[i] = static_cast<int16_t>(std::lround(30000.0 * std::sin(i * 0.0627)));
        else
            samples[i] = static_cast<int16_t>(noise >> 16);
    }
    samples[10] = INT16_MIN;
    samples[11] = INT16_MAX;
    return samples;
}

class SoundFile : public ::testing::Test {
protected:
    TempDir dir;
};

TEST(SoundFileFormat, TheEndingChoosesAndANameWithoutOneIsWav)
{
    const struct {
        const char* path;
        bool known;
        SoundFileFormat format;
    } cases[] = {
        {"mix.wav", true, SoundFileFormat::Wav},       {"/a/b/MIX.WAV", true, SoundFileFormat::Wav},
        {"mix.flac", true, SoundFileFormat::Flac},     {"mix.Flac", true, SoundFileFormat::Flac},
        {"mix.ogg", true, SoundFileFormat::Ogg},       {"x.wav.ogg", true, SoundFileFormat::Ogg},
        {"mix", true, SoundFileFormat::Wav},           {"/dev/stdout", true, SoundFileFormat::Wav},
        {"v1.2/mix", true, SoundFileFormat::Wav},      {".ogg", true, SoundFileFormat::Wav},
        {"mix.mp3", false, SoundFileFormat::Wav},      {"mix.ogg.bak", false, SoundFileFormat::Wav},
        {"mix.", false, SoundFileFormat::Wav},         {"mix.oga", false, SoundFileFormat::Wav},
    };
    for (const auto& c : cases) {
        SoundFileFormat format = SoundFileFormat::Flac == c.format ? SoundFileFormat::Ogg : SoundFileFormat::Flac;
        const SoundFileFormat before = format;
        EXPECT_EQ(SoundFileFormatFromPath(c.path, format), c.known) << c.path;
        EXPECT_EQ(format, c.known ? c.format : before) << c.path << ": an unknown ending changes nothing";
    }
    SoundFileFormat format;
    EXPECT_TRUE(SoundFileFormatFromName("flac", format));
    EXPECT_EQ(format, SoundFileFormat::Flac);
    for (const char* bad : {"FLAC", "mp3", "", ".ogg"})
        EXPECT_FALSE(SoundFileFormatFromName(bad, format)) << bad;
    EXPECT_FALSE(SoundFileFormatFromName(nullptr, format));
    EXPECT_STREQ(SoundFileExtension(SoundFileFormat::Ogg), ".ogg");
}

TEST_F(SoundFile, WavIsByteForByteWhatTheWavWriterWrites)
{
    const std::vector<int16_t> samples = TestSamples();
    const std::string ours = dir.File("ours.wav"), reference = dir.File("reference.wav");
    ASSERT_TRUE(WriteSoundFile(ours.c_str(), SoundFileFormat::Wav, 1, 44100, samples.data(), samples.size()));
    ASSERT_TRUE(WriteWav(reference.c_str(), 1, 44100, 16, samples.size() * 2, samples.data()));
    const std::string bytes = ReadFileBytes(ours);
    EXPECT_TRUE(bytes == ReadFileBytes(reference));
    std::string encoded;
    ASSERT_TRUE(EncodeSoundFile(SoundFileFormat::Wav, 1, 44100, samples.data(), samples.size(), encoded));
    EXPECT_TRUE(encoded == bytes) << "the bytes for standard output are the file's";
}

TEST_F(SoundFile, FlacDecodesToExactlyTheSamplesWritten)
{
    for (uint32_t channels : {1u, 2u}) {
        const std::vector<int16_t> samples = TestSamples(44100 * channels);
        const std::string path = dir.File("mix.flac");
        int error = -1;
        ASSERT_TRUE(WriteSoundFile(path.c_str(), SoundFileFormat::Flac, channels, 44100, samples.data(),
                                   samples.size() / channels, &error));
        EXPECT_EQ(error, 0);
        DecodedSound sound;
        std::string why;
        ASSERT_TRUE(DecodeSound(path, sound, &why)) << why;
        EXPECT_EQ(sound.format, SF_FORMAT_FLAC);
        EXPECT_EQ(sound.subtype, SF_FORMAT_PCM_16);
        EXPECT_EQ(sound.channels, static_cast<int>(channels));
        EXPECT_EQ(sound.rate, 44100);
        EXPECT_TRUE(sound.samples == samples) << channels << " channel(s)";
        EXPECT_LT(std::filesystem::file_size(path), 44 + samples.size() * 2) << "FLAC should compress the tone";
    }
}

TEST_F(SoundFile, OggVorbisKeepsTheLengthAndStaysCloseToATone)
{
    std::vector<int16_t> tone(44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(std::lround(16000.0 * std::sin(i * 2 * M_PI * 440.0 / 44100.0)));
    const std::string path = dir.File("mix.ogg");
    ASSERT_TRUE(WriteSoundFile(path.c_str(), SoundFileFormat::Ogg, 1, 44100, tone.data(), tone.size()));
    DecodedSound sound;
    std::string why;
    ASSERT_TRUE(DecodeSound(path, sound, &why)) << why; // every page's checksum held
    EXPECT_EQ(sound.format, SF_FORMAT_OGG);
    EXPECT_EQ(sound.subtype, SF_FORMAT_VORBIS);
    EXPECT_EQ(sound.channels, 1);
    EXPECT_EQ(sound.rate, 44100);
    ASSERT_EQ(sound.samples.size(), tone.size());
    double error = 0, signal = 0;
    for (size_t i = 0; i < tone.size(); ++i) {
        error += std::pow(double(sound.samples[i]) - tone[i], 2);
        signal += std::pow(double(tone[i]), 2);
    }
    EXPECT_GT(10 * std::log10(signal / error), 30.0) << "signal-to-noise ratio in dB";
    // Quality 0.6 spends about 110 kbit/s on it: far below the WAV's 705.6, far above the
    // lowest settings' 60.
    const auto size = std::filesystem::file_size(path);
    EXPECT_GT(size, 5000u);
    EXPECT_LT(size, 30000u);
}

TEST_F(SoundFile, EveryEncodingOfTheSameSamplesGivesTheSameBytes)
{
    const std::vector<int16_t> samples = TestSamples();
    for (SoundFileFormat format : {SoundFileFormat::Flac, SoundFileFormat::Ogg}) {
        std::string first, again;
        ASSERT_TRUE(EncodeSoundFile(format, 1, 44100, samples.data(), samples.size(), first));
        ASSERT_TRUE(EncodeSoundFile(format, 1, 44100, samples.data(), samples.size(), again));
        EXPECT_TRUE(first == again) << SoundFileExtension(format);
        // Four threads at once, as the render tool's batches encode.
        std::vector<std::string> results(4);
        std::vector<std::thread> threads;
        for (std::string& result : results)
            threads.emplace_back([&] { EncodeSoundFile(format, 1, 44100, samples.data(), samples.size(), result); });
        for (std::thread& thread : threads)
            thread.join();
        for (const std::string& result : results)
            EXPECT_TRUE(result == first) << SoundFileExtension(format) << " on another thread";
        const std::string path = dir.File(std::string("mix") + SoundFileExtension(format));
        ASSERT_TRUE(WriteSoundFile(path.c_str(), format, 1, 44100, samples.data(), samples.size()));
        EXPECT_TRUE(ReadFileBytes(path) == first) << "the file holds the encoded bytes";
    }
}

TEST_F(SoundFile, NoSamplesGiveAValidEmptyFileInEveryFormat)
{
    for (SoundFileFormat format : {SoundFileFormat::Wav, SoundFileFormat::Flac, SoundFileFormat::Ogg}) {
        const std::string path = dir.File(std::string("silence") + SoundFileExtension(format));
        ASSERT_TRUE(WriteSoundFile(path.c_str(), format, 1, 44100, nullptr, 0)) << path;
        DecodedSound sound;
        std::string why;
        ASSERT_TRUE(DecodeSound(path, sound, &why)) << path << ": " << why;
        EXPECT_EQ(sound.channels, 1) << path;
        EXPECT_TRUE(sound.samples.empty()) << path;
    }
}

TEST_F(SoundFile, AFailedWriteSaysWhyAndKeepsThePreviousFile)
{
    const std::vector<int16_t> samples = TestSamples();
    const std::string path = dir.File("mix.flac");
    ASSERT_TRUE(WriteSoundFile(path.c_str(), SoundFileFormat::Flac, 1, 44100, samples.data(), 4410));
    const std::string before = ReadFileBytes(path);
    // The whole second is far larger than the limit; the tenth written above fits.
    const int status = RunWithFileSizeLimit(before.size() + 4096, [&] {
        int error = 0;
        const bool ok = WriteSoundFile(path.c_str(), SoundFileFormat::Flac, 1, 44100, samples.data(),
                                       samples.size(), &error);
        return ok ? 1 : error == EFBIG ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: written past the limit, 2: another reason than EFBIG";
    EXPECT_TRUE(ReadFileBytes(path) == before) << "the previous file was damaged";

    std::filesystem::create_directory(dir.File("folder.ogg"));
    int error = 0;
    EXPECT_FALSE(WriteSoundFile(dir.File("folder.ogg").c_str(), SoundFileFormat::Ogg, 1, 44100, samples.data(),
                                samples.size(), &error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_FALSE(WriteSoundFile(dir.File("none/mix.wav").c_str(), SoundFileFormat::Wav, 1, 44100, samples.data(),
                                samples.size(), &error));
    EXPECT_EQ(error, ENOENT);
}

TEST_F(SoundFile, ALayoutTheFormatCannotHoldIsRefused)
{
    const std::vector<int16_t> samples = TestSamples(100);
    std::string bytes = "old";
    int error = 0;
    EXPECT_FALSE(EncodeSoundFile(SoundFileFormat::Flac, 0, 44100, samples.data(), 50, bytes, &error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(EncodeSoundFile(SoundFileFormat::Ogg, 1, 44100, nullptr, 50, bytes, &error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_FALSE(EncodeSoundFile(SoundFileFormat::Flac, 1, 0, samples.data(), 50, bytes, &error));
    EXPECT_EQ(error, EINVAL);
    // FLAC holds at most 8 channels.
    EXPECT_FALSE(EncodeSoundFile(SoundFileFormat::Flac, 10, 44100, samples.data(), 10, bytes, &error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_FALSE(WriteSoundFile(dir.File("x.wav").c_str(), SoundFileFormat::Wav, 0, 44100, samples.data(), 50, &error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
}

} // namespace
