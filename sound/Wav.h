// WAV files: the PCM RIFF/WAVE writer used by Save Sound and the reader behind ".wav" sound
// resources. Both work on plain files in binary mode. The reader trusts no size in the file:
// it never reads or allocates past what the file holds.
#pragma once

#include "util/String.h"

#include <cstddef>
#include <cstdint>

struct WavInfo {
    int32_t channels = 0;
    int32_t sampleRate = 0;
    int32_t bitsPerSample = 0;
    int32_t dataSize = 0; // bytes
};

constexpr size_t kWavHeaderSize = 44;

// The header WriteWav writes before a block of dataSize bytes.
void MakeWavHeader(uint8_t header[kWavHeaderSize], uint32_t channels, uint32_t sampleRate, uint32_t bitsPerSample,
                   uint32_t dataSize);

// Writes the 44-byte header (RIFF, WAVE, a 16-byte "fmt " chunk, "data") and the block of
// dataSize bytes (data may be null only when dataSize is 0). Channels and bits are stored as
// 16-bit values. The file is replaced in one step (util/FileWrite.h): on failure nothing is
// written and an existing file keeps its old contents. Returns false when the file could not
// be written in full, with *error (when given) set to the errno value that says why.
bool WriteWav(const String& path, uint32_t channels, uint32_t sampleRate, uint32_t bitsPerSample,
              uint32_t dataSize, const void* data, int* error = nullptr);

// Reads the first data chunk of a PCM WAV file into a new block (malloc'ed; the caller owns
// it and frees it with free()), or returns null. info is filled as far as the file was read;
// dataSize is the number of bytes actually read. Chunks may come in any order; a format tag
// other than 1 ends reading; chunks of other kinds, and the pad byte after an odd-sized chunk,
// are skipped.
// A file larger than a RIFF file can be (4 GiB and 8 bytes) is not read.
uint8_t* ReadWav(WavInfo& info, const String& path);

// The same, from bytes in memory (the file reader's core, also used by the fuzz target).
uint8_t* ReadWavFromMemory(WavInfo& info, const uint8_t* bytes, size_t size);
