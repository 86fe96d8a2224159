#include "sound/Wav.h"

#include "util/FileRead.h"
#include "util/ByteReader.h"
#include "util/FileWrite.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// [SECTION] Writing

void Put16(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value)
{
    Put16(at, value);
    Put16(at + 2, value >> 16);
}

// [SECTION] Reading, through a reader that cannot run past the file's bytes

// The most a RIFF file can describe: a 32-bit size after the 8-byte chunk header.
constexpr uint64_t kMaxWavFileBytes = (uint64_t(1) << 32) + 8;

// Passes over count bytes; false when fewer remain.
bool Skip(CByteReader& in, uint64_t count)
{
    return count <= in.Remaining() && in.Skip(static_cast<size_t>(count));
}

uint8_t* ReadChunks(WavInfo& info, CByteReader& in)
{
    const uint8_t* riff = in.Take(8);
    if (!riff || std::memcmp(riff, "RIFF", 4) != 0)
        return nullptr;
    const uint8_t* wave = in.Take(4);
    if (!wave || std::memcmp(wave, "WAVE", 4) != 0)
        return nullptr;

    uint8_t* block = nullptr;
    for (;;) {
        const uint8_t* id = in.Take(4);
        const uint32_t declared = in.U32LE();
        if (in.Failed())
            break;
        const uint64_t padded = static_cast<uint64_t>(declared) + (declared & 1);

        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (declared < 16 || in.Remaining() < 16)
                break; // a format chunk too short to hold a PCM format
            if (in.U16LE() != 1)
                break; // not PCM
            info.channels = static_cast<int32_t>(in.U16LE());
            info.sampleRate = static_cast<int32_t>(in.U32LE());
            in.Skip(6); // byte rate and block align follow from the others
            info.bitsPerSample = static_cast<int32_t>(in.U16LE());
            if (!Skip(in, padded - 16))
                break;
        } else if (std::memcmp(id, "data", 4) == 0 && !block) {
            // Only what the file really holds is allocated and reported.
            uint64_t wanted = declared < in.Remaining() ? declared : in.Remaining();
            if (wanted > INT32_MAX)
                wanted = INT32_MAX;
            block = static_cast<uint8_t*>(std::malloc(wanted > 0 ? static_cast<size_t>(wanted) : 1));
            if (!block)
                break;
            in.Copy(block, static_cast<size_t>(wanted));
            info.dataSize = static_cast<int32_t>(wanted);
            if (wanted < declared || !Skip(in, padded - declared))
                break;
        } else {
            if (!Skip(in, padded))
                break;
        }
    }
    return block;
}

} // namespace

void MakeWavHeader(uint8_t header[kWavHeaderSize], uint32_t channels, uint32_t sampleRate, uint32_t bitsPerSample,
                   uint32_t dataSize)
{
    const uint32_t blockAlign = channels * (bitsPerSample / 8);
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, 36 + dataSize);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    Put32(header + 16, 16);
    Put16(header + 20, 1);
    Put16(header + 22, channels);
    Put32(header + 24, sampleRate);
    Put32(header + 28, sampleRate * blockAlign);
    Put16(header + 32, blockAlign);
    Put16(header + 34, bitsPerSample);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, dataSize);
}

bool WriteWav(const String& path, uint32_t channels, uint32_t sampleRate, uint32_t bitsPerSample,
              uint32_t dataSize, const void* data, int* error)
{
    uint8_t header[kWavHeaderSize];
    MakeWavHeader(header, channels, sampleRate, bitsPerSample, dataSize);
    // The header and the block reach the disk together or not at all: a file whose header
    // promises more samples than follow is never left behind.
    CAtomicFile file;
    const bool ok = file.Open(path.CStr()) && file.Write(header, sizeof header) &&
                    file.Write(data, dataSize) && file.Commit();
    if (error)
        *error = ok ? 0 : file.GetError();
    return ok;
}

uint8_t* ReadWavFromMemory(WavInfo& info, const uint8_t* bytes, size_t size)
{
    CByteReader in(bytes, size);
    return ReadChunks(info, in);
}

uint8_t* ReadWav(WavInfo& info, const String& path)
{
    std::vector<char> bytes;
    if (!ReadWholeFile(path, bytes, static_cast<size_t>(std::min<uint64_t>(kMaxWavFileBytes, SIZE_MAX))))
        return nullptr;
    return ReadWavFromMemory(info, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
