#include "sound/Wav.h"

#include "util/FileWrite.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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

// [SECTION] Reading: a cursor that cannot run past its bytes

class Reader {
public:
    virtual ~Reader() = default;
    // Reads up to count bytes into out; returns how many were read.
    virtual size_t Read(void* out, size_t count) = 0;
    // Skips count bytes forward (never past the end); returns false at the end.
    virtual bool Skip(uint64_t count) = 0;
    // Bytes left, or the most that may be left.
    virtual uint64_t Remaining() = 0;

    bool ReadExactly(void* out, size_t count) { return Read(out, count) == count; }
};

class MemoryReader : public Reader {
public:
    MemoryReader(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}
    size_t Read(void* out, size_t count) override
    {
        size_t n = count < m_size - m_at ? count : m_size - m_at;
        if (n)
            std::memcpy(out, m_bytes + m_at, n);
        m_at += n;
        return n;
    }
    bool Skip(uint64_t count) override
    {
        if (count > m_size - m_at) {
            m_at = m_size;
            return false;
        }
        m_at += static_cast<size_t>(count);
        return true;
    }
    uint64_t Remaining() override { return m_size - m_at; }

private:
    const uint8_t* m_bytes;
    size_t m_size;
    size_t m_at = 0;
};

class FileReader : public Reader {
public:
    explicit FileReader(FILE* file) : m_file(file)
    {
        long here = std::ftell(file);
        if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
            long end = std::ftell(file);
            if (end >= here)
                m_size = static_cast<uint64_t>(end);
            std::fseek(file, here, SEEK_SET);
        }
    }
    size_t Read(void* out, size_t count) override { return std::fread(out, 1, count, m_file); }
    bool Skip(uint64_t count) override
    {
        uint64_t left = Remaining();
        if (count > left) {
            std::fseek(m_file, 0, SEEK_END);
            return false;
        }
        return std::fseek(m_file, static_cast<long>(count), SEEK_CUR) == 0;
    }
    uint64_t Remaining() override
    {
        long here = std::ftell(m_file);
        if (here < 0 || static_cast<uint64_t>(here) > m_size)
            return 0;
        return m_size - static_cast<uint64_t>(here);
    }

private:
    FILE* m_file;
    uint64_t m_size = 0;
};

uint32_t Get16(const uint8_t* at) { return static_cast<uint32_t>(at[0] | (at[1] << 8)); }
uint32_t Get32(const uint8_t* at) { return Get16(at) | (Get16(at + 2) << 16); }

uint8_t* ReadChunks(WavInfo& info, Reader& in)
{
    uint8_t header[12];
    if (!in.ReadExactly(header, 8) || std::memcmp(header, "RIFF", 4) != 0)
        return nullptr;
    if (!in.ReadExactly(header, 4) || std::memcmp(header, "WAVE", 4) != 0)
        return nullptr;

    uint8_t* block = nullptr;
    for (;;) {
        uint8_t chunk[8];
        if (!in.ReadExactly(chunk, 8))
            break;
        const uint32_t declared = Get32(chunk + 4);
        const uint64_t padded = static_cast<uint64_t>(declared) + (declared & 1);

        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t format[16];
            if (declared < 16 || !in.ReadExactly(format, 16))
                break; // a format chunk too short to hold a PCM format
            if (Get16(format) != 1)
                break; // not PCM
            info.channels = static_cast<int32_t>(Get16(format + 2));
            info.sampleRate = static_cast<int32_t>(Get32(format + 4));
            info.bitsPerSample = static_cast<int32_t>(Get16(format + 14));
            if (!in.Skip(padded - 16))
                break;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !block) {
            // Only what the file really holds is allocated and reported.
            uint64_t available = in.Remaining();
            uint64_t wanted = declared < available ? declared : available;
            if (wanted > INT32_MAX)
                wanted = INT32_MAX;
            block = static_cast<uint8_t*>(std::malloc(wanted > 0 ? static_cast<size_t>(wanted) : 1));
            if (!block)
                break;
            size_t got = in.Read(block, static_cast<size_t>(wanted));
            info.dataSize = static_cast<int32_t>(got);
            if (got < declared || !in.Skip(padded - declared))
                break;
        } else {
            if (!in.Skip(padded))
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
    MemoryReader in(bytes, bytes ? size : 0);
    return ReadChunks(info, in);
}

uint8_t* ReadWav(WavInfo& info, const String& path)
{
    FILE* file = std::fopen(path.CStr(), "rb");
    if (!file)
        return nullptr;
    FileReader in(file);
    uint8_t* block = ReadChunks(info, in);
    std::fclose(file);
    return block;
}
