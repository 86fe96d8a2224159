// Test helper: decodes a sound file of any format libsndfile reads (WAV, FLAC, Ogg Vorbis) to
// 16-bit samples, independently of the program's own writers, so that tests can compare what
// a file holds with what was rendered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedSound {
    int format = 0; // libsndfile's major format (SF_FORMAT_WAV, SF_FORMAT_FLAC, SF_FORMAT_OGG)
    int subtype = 0; // its encoding (SF_FORMAT_PCM_16, SF_FORMAT_VORBIS, ...)
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples; // interleaved
};

// False, with why set to libsndfile's reason, when the file cannot be opened or read in full.
bool DecodeSound(const std::string& path, DecodedSound& sound, std::string* why = nullptr);
// The samples of a 16-bit PCM WAV file's data chunk as they lie in the bytes after the 44-byte
// header our writer puts first (empty when the bytes are shorter).
std::vector<int16_t> WavSamples(const std::string& bytes);
