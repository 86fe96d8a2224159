#include "synth/Render.h"

namespace {

// The byte count of a render: channels × rate (integer) times the length (float) times the
// bytes per value (integer), in float arithmetic, truncated. Negative when the product is
// not a size a block can have.
int64_t RenderSize(uint32_t channels, uint32_t rate, float length, uint32_t bytesPerValue)
{
    float size = static_cast<float>(channels * rate) * length * static_cast<float>(bytesPerValue);
    if (!(size >= 0.0f && size < 2147483648.0f))
        return -1;
    return static_cast<int64_t>(size);
}

template <int Bits>
void MixLoop(const RenderVoice* voices, uint32_t count, uint8_t* out, uint32_t size, double step)
{
    const double voiceCount = count;
    double t = 0.0;
    uint32_t written = 0;
    while (written < size) {
        double sum = 0.0;
        for (uint32_t i = 0; i < count; ++i) {
            if constexpr (Bits == 8)
                sum = sum + SampleVoice(voices[i].params, t) * 127 + 127;
            else
                sum = sum + SampleVoice(voices[i].params, t) * 32767;
        }
        sum = sum / voiceCount;
        if constexpr (Bits == 8) {
            sum = sum < 0.0 ? 0.0 : (sum > 255.0 ? 255.0 : sum);
            out[written++] = static_cast<uint8_t>(static_cast<int>(sum));
        } else {
            sum = sum < -32767.0 ? -32767.0 : (sum > 32767.0 ? 32767.0 : sum);
            uint16_t value = static_cast<uint16_t>(static_cast<int16_t>(static_cast<int>(sum)));
            out[written++] = static_cast<uint8_t>(value & 0xFF);
            if (written < size) // a value past the end of the block keeps only its first byte
                out[written++] = static_cast<uint8_t>(value >> 8);
        }
        t += step;
    }
}

} // namespace

bool RenderMix(const RenderVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
               uint32_t rate, uint32_t bits)
{
    if (bits != 8 && bits != 16)
        return false;
    float length = 0.0f;
    for (uint32_t i = 0; i < count; ++i)
        if (voices[i].length > length)
            length = voices[i].length;
    const uint32_t bytesPerValue = bits / 8;
    int64_t size = RenderSize(channels, rate, length, bytesPerValue);
    if (size < 0)
        return false;
    if (!sound.Allocate(static_cast<uint32_t>(size), channels, rate, bits))
        return false;
    if (size == 0)
        return true;

    const uint32_t values = static_cast<uint32_t>(size) / bytesPerValue;
    // With no whole value (a one-byte 16-bit block) only t = 0 is ever sampled.
    const double step = values > 0 ? static_cast<double>(length) / values : 0.0;
    if (bits == 8)
        MixLoop<8>(voices, count, sound.data, static_cast<uint32_t>(size), step);
    else
        MixLoop<16>(voices, count, sound.data, static_cast<uint32_t>(size), step);
    return true;
}
