#include "synth/Voice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>

namespace {

Waveform Wave(int32_t type, float amplitude, float offset, float frequency, float phase = 0.0f)
{
    Waveform w;
    w.type = type;
    w.amplitude = amplitude;
    w.amplitudeOffset = offset;
    w.frequency = frequency;
    w.phase = phase;
    return w;
}

// A carrier whose output is the constant c.
Waveform Constant(float c) { return Wave(Sine, 0.0f, c, 1.0f); }

TEST(SampleWave, SineAtQuarterPoints)
{
    Waveform sine = Wave(Sine, 1, 0, 1);
    EXPECT_EQ(SampleWave(sine, 0.0), 0.0);
    EXPECT_NEAR(SampleWave(sine, 0.25), 1.0, 1e-9);
    EXPECT_NEAR(SampleWave(sine, 0.5), 0.0, 1e-8);
    EXPECT_NEAR(SampleWave(sine, 0.75), -1.0, 1e-9);
    // Amplitude and offset scale and shift; the phase is a time offset in seconds.
    EXPECT_NEAR(SampleWave(Wave(Sine, 2, 0.5f, 1), 0.25), 2.5, 1e-9);
    EXPECT_NEAR(SampleWave(Wave(Sine, 1, 0, 1, 0.25f), 0.0), 1.0, 1e-9);
    EXPECT_NEAR(SampleWave(Wave(Sine, 1, 0, 2, 0.25f), 0.0), 0.0, 1e-8);
}

TEST(SampleWave, UsesTheTruncatedTwoPiConstant)
{
    // sin(6.283185308 × 1000) differs from sin(2π × 1000) ≈ 0 by about 4e-7: a full-precision
    // constant would give a visibly different value far from zero.
    double expected = std::sin(6.283185308 * 1000.0);
    EXPECT_DOUBLE_EQ(SampleWave(Wave(Sine, 1, 0, 1), 1000.0), expected);
    EXPECT_GT(std::fabs(expected), 1e-7);
}

TEST(SampleWave, TriangleRisesAndFallsLinearly)
{
    Waveform triangle = Wave(Triangle, 1, 0, 1);
    EXPECT_NEAR(SampleWave(triangle, 0.0), 0.0, 1e-12);
    EXPECT_NEAR(SampleWave(triangle, 0.125), 0.5, 1e-8);
    EXPECT_NEAR(SampleWave(triangle, 0.25), 1.0, 1e-4); // asin near 1 amplifies rounding
    EXPECT_NEAR(SampleWave(triangle, 0.375), 0.5, 1e-8);
    EXPECT_NEAR(SampleWave(triangle, 0.625), -0.5, 1e-8);
}

TEST(SampleWave, SawtoothJumpsAtHalfCycles)
{
    Waveform saw = Wave(Sawtooth, 1, 0, 1);
    EXPECT_EQ(SampleWave(saw, 0.0), 0.0);
    EXPECT_EQ(SampleWave(saw, 0.5), -1.0);
    EXPECT_NEAR(SampleWave(saw, 0.4999999), 1.0, 1e-6);
    EXPECT_NEAR(SampleWave(saw, 0.25), 0.5, 1e-12);
    EXPECT_NEAR(SampleWave(Wave(Sawtooth, 1, 0, 2), 0.125), 0.5, 1e-12);
}

TEST(SampleWave, SquareTakesZeroAsPositive)
{
    Waveform square = Wave(Square, 0.5f, 0.25f, 1);
    EXPECT_EQ(SampleWave(square, 0.0), 0.75);
    EXPECT_EQ(SampleWave(square, 0.25), 0.75);
    EXPECT_EQ(SampleWave(square, 0.75), -0.25);
}

TEST(SampleWave, UnknownTypesAreSilent)
{
    EXPECT_EQ(SampleWave(Wave(5, 1, 1, 1), 0.3), 0.0); // 4 is noise
    EXPECT_EQ(SampleWave(Wave(-1, 1, 1, 1), 0.3), 0.0);
}

TEST(Envelope, StagesAndBoundaries)
{
    Envelope e{0.1f, 0.2f, 0.5f, 0.3f, 0.4f};
    const double eps = 1e-6; // the stage times are 32-bit floats
    EXPECT_NEAR(EnvelopeGain(e, 0.0), 0.0, eps);
    EXPECT_NEAR(EnvelopeGain(e, 0.05), 0.5, eps);
    EXPECT_NEAR(EnvelopeGain(e, 0.1), 1.0, eps);
    EXPECT_NEAR(EnvelopeGain(e, 0.2), 0.75, eps);
    EXPECT_NEAR(EnvelopeGain(e, 0.3), 0.5, eps);
    EXPECT_NEAR(EnvelopeGain(e, 0.45), 0.5, eps);
    EXPECT_NEAR(EnvelopeGain(e, 0.6), 0.5, eps);
    EXPECT_NEAR(EnvelopeGain(e, 0.8), 0.25, eps);
    EXPECT_NEAR(EnvelopeGain(e, 1.0), 0.0, eps);
    EXPECT_EQ(EnvelopeGain(e, 1.01), 0.0);
    EXPECT_EQ(EnvelopeGain(e, 50.0), 0.0);
    // Exactly at the end of the attack the attack formula still applies: gain 1.
    EXPECT_EQ(EnvelopeGain(e, static_cast<double>(e.attack)), 1.0);
    EXPECT_NEAR(EnvelopeLength(e), 1.0f, 1e-6f);
}

TEST(Envelope, EmptyStagesNeverDivideByZero)
{
    Envelope defaults; // attack 0: the first sample of every enveloped voice
    EXPECT_EQ(EnvelopeGain(defaults, 0.0), 1.0);
    EXPECT_NEAR(EnvelopeGain(defaults, 0.25), 0.75, 1e-7);

    Envelope allZero{0, 0, 0.7f, 0, 0};
    for (double t : {0.0, 1e-9, 0.5})
        EXPECT_TRUE(std::isfinite(EnvelopeGain(allZero, t))) << t;
    EXPECT_EQ(EnvelopeGain(allZero, 0.0), 1.0);
    EXPECT_EQ(EnvelopeGain(allZero, 0.1), 0.0);
    EXPECT_EQ(EnvelopeLength(allZero), 0.0f);
}

TEST(Envelope, LengthIsAFloatSum)
{
    Envelope e{0.01f, 0.02f, 1.0f, 0.03f, 0.04f};
    float expected = 0.02f + 0.01f;
    expected += 0.03f;
    expected += 0.04f;
    EXPECT_EQ(EnvelopeLength(e), expected);
    EXPECT_EQ(EnvelopeLength(Envelope{}), 1.1f);
}

TEST(SampleVoice, CarrierModulatesTheSelectedParameter)
{
    VoiceParams v;
    v.wave = Wave(Sine, 1, 0, 4);
    v.carrier = Constant(0.01f);
    v.carrierOn = true;

    // FM: frequency 4 + 100 × 0.01 = 5 Hz.
    v.am = false, v.fm = true, v.pm = false;
    for (double t : {0.01, 0.1, 0.37})
        EXPECT_NEAR(SampleVoice(v, t), SampleWave(Wave(Sine, 1, 0, 5), t), 1e-6) << t;

    // AM: amplitude 1 + 1 = 2.
    v.am = true;
    EXPECT_NEAR(SampleVoice(v, 0.05), 2 * SampleWave(v.wave, 0.05), 1e-6);

    // PM: phase 0 + 1 s, which for a whole-hertz sine is a full number of cycles.
    v.am = false, v.fm = false, v.pm = true;
    EXPECT_NEAR(SampleVoice(v, 0.05), SampleWave(v.wave, 0.05), 1e-6);
    // A quarter second of phase turns a 1 Hz sine into a cosine.
    v.carrier = Constant(0.0025f);
    v.wave.frequency = 1;
    EXPECT_NEAR(SampleVoice(v, 0.0), 1.0, 1e-6);

    // AM wins over FM and FM over PM when several boxes are checked.
    v.carrier = Constant(0.01f);
    v.wave.frequency = 4;
    v.am = v.fm = v.pm = true;
    EXPECT_NEAR(SampleVoice(v, 0.05), 2 * SampleWave(v.wave, 0.05), 1e-6);

    // No box checked: the voice is silent.
    v.am = v.fm = v.pm = false;
    EXPECT_EQ(SampleVoice(v, 0.05), 0.0);
}

TEST(SampleVoice, ModulatedParameterIsRoundedToFloat)
{
    VoiceParams v;
    v.wave = Wave(Sine, 1, 0, 440);
    v.carrier = Wave(Sine, 0.3f, 0, 3);
    v.carrierOn = true;
    const double t = 0.123;
    double c = SampleWave(v.carrier, t);
    Waveform moved = v.wave;
    moved.frequency = static_cast<float>(440.0 + 100.0 * c);
    EXPECT_EQ(SampleVoice(v, t), SampleWave(moved, t));
    // The stored parameter is unchanged.
    EXPECT_EQ(v.wave.frequency, 440.0f);
}

TEST(SampleVoice, EnvelopeScalesTheOffsetToo)
{
    VoiceParams v;
    v.wave = Wave(Sine, 0, 1, 1); // constant 1
    v.envelopeOn = true;
    v.envelope = Envelope{0.1f, 0.2f, 0.5f, 0.3f, 0.4f};
    EXPECT_NEAR(SampleVoice(v, 0.05), 0.5, 1e-6);
    EXPECT_EQ(SampleVoice(v, 2.0), 0.0);
    v.envelopeOn = false;
    EXPECT_EQ(SampleVoice(v, 2.0), 1.0);
}

} // namespace

namespace {

Waveform NoiseWave(float amplitude, float offset, float frequency, uint64_t key, float phase = 0.0f)
{
    Waveform w = Wave(Noise, amplitude, offset, frequency, phase);
    w.noiseKey = key;
    return w;
}

TEST(Noise, HoldsEachStepAndIsUniformOverMinusOneToOne)
{
    const Waveform noise = NoiseWave(1, 0, 10, 5);
    EXPECT_EQ(SampleWave(noise, 0.0), SampleWave(noise, 0.0999));
    EXPECT_NE(SampleWave(noise, 0.0999), SampleWave(noise, 0.1));
    double sum = 0, squares = 0, low = 1, high = -1;
    const int steps = 20000;
    for (int i = 0; i < steps; ++i) {
        const double v = SampleWave(noise, (i + 0.5) / 10.0);
        sum += v;
        squares += v * v;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_GT(low, -1.0);
    EXPECT_LT(high, 1.0);
    EXPECT_LT(low, -0.999);
    EXPECT_GT(high, 0.999);
    EXPECT_NEAR(sum / steps, 0.0, 0.02);
    EXPECT_NEAR(squares / steps, 1.0 / 3.0, 0.02); // the variance of a uniform [-1, 1]
    // Offset and amplitude scale it as any shape; the phase moves the steps in time.
    const Waveform scaled = NoiseWave(0.5f, 0.25f, 10, 5);
    EXPECT_DOUBLE_EQ(SampleWave(scaled, 0.33), 0.25 + 0.5 * SampleWave(noise, 0.33));
    EXPECT_EQ(SampleWave(NoiseWave(1, 0, 10, 5, 0.25f), 0.0), SampleWave(noise, 0.25));
}

TEST(Noise, TheFrequencySetsHowOftenItChanges)
{
    auto crossings = [](float frequency) {
        const Waveform noise = NoiseWave(1, 0, frequency, 9);
        int count = 0;
        double last = SampleWave(noise, 0.0);
        for (int i = 1; i < 44100; ++i) {
            const double v = SampleWave(noise, i / 44100.0);
            count += (v < 0) != (last < 0);
            last = v;
        }
        return count;
    };
    const int rumble = crossings(50), hiss = crossings(2000);
    EXPECT_NEAR(rumble, 25, 12); // a new value per step: half of them change sign
    EXPECT_NEAR(hiss, 1000, 100);
    EXPECT_EQ(crossings(0), 0) << "at 0 Hz it holds one value";
}

TEST(Noise, TheKeyChoosesTheSequenceAndNothingElseDoes)
{
    const Waveform a = NoiseWave(1, 0, 100, NoiseKey(7, false));
    const Waveform b = NoiseWave(1, 0, 100, NoiseKey(7, true));
    const Waveform c = NoiseWave(1, 0, 100, NoiseKey(8, false));
    int sameAB = 0, sameAC = 0;
    for (int i = 0; i < 1000; ++i) {
        const double t = (i + 0.5) / 100.0;
        sameAB += SampleWave(a, t) == SampleWave(b, t);
        sameAC += SampleWave(a, t) == SampleWave(c, t);
        EXPECT_EQ(SampleWave(a, t), SampleWave(NoiseWave(1, 0, 100, NoiseKey(7, false)), t));
    }
    EXPECT_EQ(sameAB, 0) << "a voice's carrier does not echo its main oscillator";
    EXPECT_EQ(sameAC, 0);
    // Order of evaluation does not matter: step 500 is the same value read first or last.
    EXPECT_EQ(NoiseValue(3, 500.2), NoiseValue(3, 500.9));
}

TEST(Noise, EveryStepIndexGivesAValueInRange)
{
    for (double cycles : {-1e300, -9.3e18, -0.5, 0.0, 9.3e18, 1e300, double(INFINITY), -double(INFINITY), double(NAN)}) {
        const double v = NoiseValue(11, cycles);
        EXPECT_TRUE(v > -1.0 && v < 1.0) << cycles;
    }
    EXPECT_EQ(NoiseValue(11, double(NAN)), NoiseValue(11, 0.0));
    EXPECT_EQ(SampleWave(Wave(5, 1, 0.5f, 10), 0.3), 0.0) << "shapes past noise stay silent";
}

} // namespace
