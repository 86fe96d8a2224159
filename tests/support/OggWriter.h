// Writes test Ogg Vorbis files with libvorbisenc, so that no binary fixture is needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes interleaved 16-bit samples (frames × channels values) at the given rate; returns
// false when encoding fails.
bool WriteOggVorbis(const std::string& path, const std::vector<int16_t>& samples,
                    int channels, int rate);

// A tone of frames frames: a sine of the given frequency at half scale on every channel.
std::vector<int16_t> ToneSamples(int frames, int channels, int rate, double frequency);
