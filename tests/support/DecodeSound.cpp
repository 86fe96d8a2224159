#include "support/DecodeSound.h"

#include <sndfile.h>

bool DecodeSound(const std::string& path, DecodedSound& sound, std::string* why)
{
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        if (why)
            *why = sf_strerror(nullptr);
        return false;
    }
    sound.format = info.format & SF_FORMAT_TYPEMASK;
    sound.subtype = info.format & SF_FORMAT_SUBMASK;
    sound.channels = info.channels;
    sound.rate = info.samplerate;
    // A stream may not say how long it is (an empty FLAC file counts as one of unknown length):
    // read blocks until the end.
    sound.samples.clear();
    std::vector<int16_t> block(4096 * static_cast<size_t>(info.channels > 0 ? info.channels : 1));
    sf_count_t read = 0, total = 0;
    while ((read = sf_readf_short(file, block.data(), 4096)) > 0) {
        sound.samples.insert(sound.samples.end(), block.begin(), block.begin() + read * info.channels);
        total += read;
    }
    const bool whole = sf_error(file) == SF_ERR_NO_ERROR && (total == info.frames || info.frames == SF_COUNT_MAX);
    if (why && !whole)
        *why = sf_strerror(file);
    sf_close(file);
    return whole;
}

std::vector<int16_t> WavSamples(const std::string& bytes)
{
    std::vector<int16_t> samples;
    for (size_t at = 44; at + 1 < bytes.size(); at += 2)
        samples.push_back(static_cast<int16_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8));
    return samples;
}
