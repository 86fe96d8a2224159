#include "synth/Voice.h"

#include "synth/VoiceStages.h"

#include <cmath>

namespace {

// These decimal values exactly, not full-precision 2π and π/2: rendered files depend on them.
constexpr double TwoPi = 6.283185308;
constexpr double HalfPi = 1.570796327;

} // namespace

double SampleWave(const Waveform& wave, double t)
{
    double u = t + wave.phase;
    double theta = u * TwoPi;
    switch (wave.type) {
    case Sine:
        return wave.amplitudeOffset + wave.amplitude * std::sin(theta * wave.frequency);
    case Triangle:
        return wave.amplitudeOffset +
               wave.amplitude * std::asin(std::sin(theta * wave.frequency)) / HalfPi;
    case Sawtooth: {
        double v = u * wave.frequency;
        return wave.amplitudeOffset + wave.amplitude * 2.0 * (v - std::floor(v + 0.5));
    }
    case Square:
        return std::sin(theta * wave.frequency) < 0.0
                   ? static_cast<double>(wave.amplitudeOffset) - wave.amplitude
                   : static_cast<double>(wave.amplitudeOffset) + wave.amplitude;
    case Noise:
        return wave.amplitudeOffset + wave.amplitude * NoiseValue(wave.noiseKey, u * wave.frequency);
    default:
        return 0.0;
    }
}

double EnvelopeGain(const Envelope& envelope, double t)
{
    const double a = envelope.attack, d = envelope.decay, s = envelope.sustain;
    const double h = envelope.hold, r = envelope.release;
    if (t <= a)
        return a > 0.0 ? 1.0 - (a - t) / a : 1.0;
    // Each later test is reached only with a positive remainder, so no stage divides by zero.
    double u = t - a;
    if (u <= d)
        return 1.0 - (1.0 - (d - u) / d) * (1.0 - s);
    if (u - d <= h)
        return s;
    double v = u - d - h;
    if (v <= r)
        return (r - v) / r * s;
    return 0.0;
}

float EnvelopeLength(const Envelope& envelope)
{
    float length = envelope.decay + envelope.attack;
    length += envelope.hold;
    length += envelope.release;
    return length;
}

bool UsesStages(const VoiceParams& voice)
{
    const VoiceStages& s = voice.stages;
    return s.frequencyEnd > 0.0f || (s.vibratoDepth > 0.0f && s.vibratoRate > 0.0f) || s.arpeggio != 0.0f ||
           s.repeat > 0.0f || s.duty != 0.5f || s.dutyEnd != 0.5f || s.bandLimited ||
           (s.tremoloDepth > 0.0f && s.tremoloRate > 0.0f) || s.lowpass > 0.0f || s.highpass > 0.0f;
}

double SampleVoice(const VoiceParams& voice, double t, double step)
{
    if (UsesStages(voice))
        return StagedValue(voice, t, step);
    double result;
    if (voice.carrierOn) {
        double c = SampleWave(voice.carrier, t);
        Waveform moved = voice.wave;
        if (voice.am)
            moved.amplitude = static_cast<float>(voice.wave.amplitude + ModulationDepth * c);
        else if (voice.fm)
            moved.frequency = static_cast<float>(voice.wave.frequency + ModulationDepth * c);
        else if (voice.pm)
            moved.phase = static_cast<float>(voice.wave.phase + ModulationDepth * c);
        else
            return 0.0;
        result = SampleWave(moved, t);
    } else {
        result = SampleWave(voice.wave, t);
    }
    if (voice.envelopeOn)
        result *= EnvelopeGain(voice.envelope, t);
    return result;
}
