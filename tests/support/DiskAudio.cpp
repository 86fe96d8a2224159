#include "support/DiskAudio.h"

#include <cstdlib>

void DiskAudioTest::SetUp()
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);
    WriteFileBytes(input, "");
}

std::vector<int16_t> DiskAudioTest::Output() const
{
    std::string bytes = ReadFileBytes(output);
    std::vector<int16_t> values(bytes.size() / 2);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int16_t>(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
    return values;
}

std::vector<int16_t> DiskAudioTest::Left() const
{
    std::vector<int16_t> all = Output(), left;
    for (size_t i = 0; i + 1 < all.size(); i += 2)
        left.push_back(all[i]);
    return left;
}

size_t DiskAudioTest::FirstNonZero(const std::vector<int16_t>& v, size_t from)
{
    while (from < v.size() && v[from] == 0)
        ++from;
    return from;
}
