// Waveform outlines against the model's formulas sampled densely: every column holds what the
// signal does over its span (a fast voice fills a band shaped by its envelope, a slow one
// follows its curve), for every shape, with the envelope's corners, under modulation, and for
// lengths and frequencies no one would type.
#include "app/TraceOutline.h"
#include "synth/VoiceStages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double kColumns = 180.0; // per second, as the voice screen shows them

struct Bounds {
    double low, high;
};

// The column's range sampled at kDense points, far finer than any shape here turns.
constexpr int kDense = 1500;

template <class Sample>
Bounds Dense(double t0, double t1, Sample&& sample)
{
    Bounds b{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (int j = 0; j <= kDense; ++j) {
        const double v = sample(t0 + (t1 - t0) * j / kDense);
        b.low = std::min(b.low, v);
        b.high = std::max(b.high, v);
    }
    return b;
}

// Each column holds the dense range (to a millionth: a jump is taken a hair from its edge)
// and reaches no further than tolerance beyond it.
template <class Sample>
void ExpectMatchesDense(const std::vector<OutlineColumn>& columns, double length, double tolerance, Sample&& sample,
                        const char* what)
{
    for (size_t i = 0; i < columns.size(); ++i) {
        const double t0 = i / kColumns, t1 = std::min((i + 1) / kColumns, length);
        const Bounds dense = Dense(t0, t1, sample);
        ASSERT_LE(columns[i].low, dense.low + 1e-6) << what << ", column " << i;
        ASSERT_GE(columns[i].high, dense.high - 1e-6) << what << ", column " << i;
        ASSERT_GE(columns[i].low, dense.low - tolerance) << what << ", column " << i;
        ASSERT_LE(columns[i].high, dense.high + tolerance) << what << ", column " << i;
    }
}

VoiceParams Voice(int32_t type, float frequency, float amplitude = 1.0f)
{
    VoiceParams v;
    v.wave.type = type;
    v.wave.frequency = frequency;
    v.wave.amplitude = amplitude;
    return v;
}

TEST(TraceOutline, A440HzVoiceFillsABandShapedByItsEnvelope)
{
    VoiceParams v = Voice(Sine, 440.0f, 0.8f);
    // The band's edges are the amplitude times the gain over each column.
    v.envelopeOn = true;
    v.envelope = {0.2f, 0.1f, 0.5f, 0.3f, 0.2f};
    v.wave.period = EnvelopeLength(v.envelope);
    const double length = v.wave.period; // 0.8 s, summed in floats
    const std::vector<OutlineColumn> columns = OutlineVoice(v, length, kColumns, 180);
    ASSERT_EQ(columns.size(), 145u);
    for (size_t i = 0; i < columns.size(); ++i) {
        const double t0 = i / kColumns, t1 = std::min((i + 1) / kColumns, length);
        const double gain = std::max(EnvelopeGain(v.envelope, t0), EnvelopeGain(v.envelope, t1));
        EXPECT_NEAR(columns[i].high, 0.8 * gain, 0.8 * 0.02) << i;
        EXPECT_NEAR(columns[i].low, -0.8 * gain, 0.8 * 0.02) << i;
    }
    ExpectMatchesDense(columns, length, 0.02, [&](double t) { return SampleVoice(v, t); }, "440 Hz in its envelope");
}

TEST(TraceOutline, A4HzVoiceFollowsItsCurve)
{
    const VoiceParams v = Voice(Sine, 4.0f);
    const std::vector<OutlineColumn> columns = OutlineVoice(v, 1.0, kColumns, 180);
    ASSERT_EQ(columns.size(), 180u);
    ExpectMatchesDense(columns, 1.0, 1e-6, [&](double t) { return SampleVoice(v, t); }, "4 Hz");
    for (const OutlineColumn& c : columns)
        EXPECT_LT(c.high - c.low, 0.15); // a line, not a band
}

TEST(TraceOutline, EveryShapeAtEveryPaceHoldsItsExactRange)
{
    // Peaks and jumps fall between samples at these rates; the closed forms catch them.
    for (int32_t type : {Sine, Triangle, Sawtooth, Square})
        for (float frequency : {1.0f, 4.0f, 37.0f, 179.0f, 300.0f, 1000.0f, 2000.0f}) {
            VoiceParams v = Voice(type, frequency, 1.5f);
            v.wave.amplitudeOffset = -0.25f;
            v.wave.phase = 0.13f;
            const auto columns = OutlineVoice(v, 1.0, kColumns, 180);
            const std::string what = "type " + std::to_string(type) + " at " + std::to_string(frequency) + " Hz";
            // The dense reference itself falls short of a steep ramp's ends by its step.
            const double tolerance = 1e-3 + 4.0 * 1.5 * frequency / (kColumns * kDense);
            ExpectMatchesDense(columns, 1.0, tolerance, [&](double t) { return SampleVoice(v, t); }, what.c_str());
            const auto bare = OutlineWave(v.wave, 1.0, kColumns, 180);
            ExpectMatchesDense(bare, 1.0, tolerance, [&](double t) { return SampleWave(v.wave, t); }, what.c_str());
        }
}

TEST(TraceOutline, EnvelopeOutlineIsExactAcrossItsCornersAndJumps)
{
    // Decay 0 jumps from 1 to the sustain level right after the attack.
    for (Envelope e : {Envelope{0.0f, 0.5f, 0.5f, 0.5f, 0.1f}, Envelope{0.3f, 0.0f, 0.4f, 0.0f, 0.01f},
                       Envelope{0.0f, 0.0f, 0.7f, 0.0f, 0.0f}}) {
        const double length = EnvelopeLength(e);
        const auto columns = OutlineEnvelope(e, length, kColumns, 1000);
        EXPECT_EQ(columns.size(), OutlineColumnCount(length, kColumns, 1000));
        ExpectMatchesDense(columns, length, 1e-6, [&](double t) { return EnvelopeGain(e, t); }, "envelope");
    }
}

TEST(TraceOutline, ModulatedVoicesStayWithinTheirSwingAndFillItWhenFast)
{
    VoiceParams v = Voice(Sine, 4.0f);
    v.carrierOn = true;
    v.carrier.frequency = 1.0f;
    for (int mode = 0; mode < 3; ++mode) {
        v.am = mode == 0;
        v.fm = mode == 1;
        v.pm = mode == 2;
        const auto columns = OutlineVoice(v, 1.0, kColumns, 180);
        // Sampling may miss a little of a turn, never invent one.
        const double swing = mode == 0 ? 1.0 + ModulationDepth : 1.0;
        for (size_t i = 0; i < columns.size(); ++i) {
            const Bounds dense = Dense(i / kColumns, (i + 1) / kColumns, [&](double t) { return SampleVoice(v, t); });
            ASSERT_LE(columns[i].low, dense.low + 0.05) << "mode " << mode << ", column " << i;
            ASSERT_GE(columns[i].high, dense.high - 0.05) << "mode " << mode << ", column " << i;
            ASSERT_GE(columns[i].low, -swing - 1e-6) << "mode " << mode << ", column " << i;
            ASSERT_LE(columns[i].high, swing + 1e-6) << "mode " << mode << ", column " << i;
        }
    }
    // FM at depth 100 sweeps many cycles a column in the middle of the second: a full band.
    v.am = v.pm = false;
    v.fm = true;
    const auto fm = OutlineVoice(v, 1.0, kColumns, 180);
    EXPECT_NEAR(fm[90].low, -1.0, 1e-3);
    EXPECT_NEAR(fm[90].high, 1.0, 1e-3);
    // No mode box checked: a modulated voice is silent, and so is its outline.
    v.fm = false;
    for (const OutlineColumn& c : OutlineVoice(v, 1.0, kColumns, 180))
        ASSERT_TRUE(c.low == 0.0 && c.high == 0.0);
}

TEST(TraceOutline, ColumnsCoverTheLengthAndStopAtTheScreen)
{
    EXPECT_EQ(OutlineColumnCount(0.501, kColumns, 180), 91u); // a partial last column
    EXPECT_EQ(OutlineColumnCount(10.0, kColumns, 180), 180u);
    EXPECT_EQ(OutlineColumnCount(0.0001, kColumns, 180), 1u);
    EXPECT_EQ(OutlineColumnCount(0.0, kColumns, 180), 0u);
    EXPECT_EQ(OutlineColumnCount(-1.0, kColumns, 180), 0u);
    EXPECT_EQ(OutlineColumnCount(std::nan(""), kColumns, 180), 0u);
    EXPECT_EQ(OutlineColumnCount(std::numeric_limits<double>::infinity(), kColumns, 180), 180u);
    // A partial column ends at the length: a ramp's last column stops where it does.
    VoiceParams v = Voice(Sawtooth, 0.5f);
    const auto columns = OutlineVoice(v, 0.501, kColumns, 180);
    ASSERT_EQ(columns.size(), 91u);
    EXPECT_NEAR(columns.back().high, SampleVoice(v, 0.501), 1e-9);
}

TEST(TraceOutline, OutlandishParametersGiveFiniteOutlinesQuickly)
{
    const auto start = std::chrono::steady_clock::now();
    for (float frequency : {FLT_MAX, -FLT_MAX, -440.0f, 0.0f, 1e-30f, FLT_MIN})
        for (int32_t type : {int32_t(Sine), int32_t(Triangle), int32_t(Sawtooth), int32_t(Square), 9, -1}) {
            VoiceParams v = Voice(type, frequency, 4.0f);
            v.wave.phase = 1.0f;
            v.envelopeOn = true;
            for (const auto& columns : {OutlineVoice(v, 1.0, kColumns, 180), OutlineWave(v.wave, 1e30, kColumns, 180)}) {
                EXPECT_LE(columns.size(), 180u);
                for (const OutlineColumn& c : columns) {
                    ASSERT_TRUE(std::isfinite(c.low) && std::isfinite(c.high)) << frequency << " " << type;
                    ASSERT_LE(c.low, c.high);
                    ASSERT_LE(std::fabs(c.high), 4.0 + 1e-6);
                }
            }
        }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0); // a few thousand evaluations per outline
}

} // namespace

// Noise, alone or scattered by a phase carrier as the explosion's hiss is, holds the steps it
// passes at any rate: never the flat line of a silent oscillator.
TEST(TraceOutline, NoiseHoldsTheStepsItPassesAtAnyFrequency)
{
    const struct {
        float frequency;
        bool scattered;
        double tolerance;
    } rows[] = {{50.0f, false, 1e-9}, {208.0f, false, 1e-9}, {2000.0f, false, 1e-9}, {1500.0f, true, 0.02}};
    for (const auto& row : rows) {
        VoiceParams v = Voice(Noise, row.frequency, 0.6f);
        v.wave.noiseKey = NoiseKey(7, false);
        v.carrierOn = row.scattered;
        v.carrier = {Sine, 0.02f, 0.0f, 600.0f, 1.0f, 0.0f};
        v.fm = false;
        v.pm = true;
        const std::string what = "noise at " + std::to_string(row.frequency);
        ExpectMatchesDense(OutlineVoice(v, 0.3, kColumns, 180), 0.3, row.tolerance,
                           [&](double t) { return SampleVoice(v, t); }, what.c_str());
    }
}

// A staged voice is outlined from its run: a glide from a curve to a band, and a low-pass that
// takes a fast square down to a thin band (what SampleVoice, before the filter, would not).
TEST(TraceOutline, StagedVoicesAreOutlinedFromWhatTheyPlay)
{
    VoiceParams glide = Voice(Sine, 2.0f);
    glide.stages.frequencyEnd = 200.0f;
    const std::vector<OutlineColumn> glided = OutlineVoice(glide, 1.0, kColumns, 180);
    for (size_t i = 0; i < glided.size(); ++i) {
        const Bounds dense = Dense(i / kColumns, (i + 1) / kColumns, [&](double t) { return StagedValue(glide, t, 0.0); });
        ASSERT_NEAR(glided[i].low, dense.low, 0.01) << i;
        ASSERT_NEAR(glided[i].high, dense.high, 0.01) << i;
    }
    VoiceParams filtered = Voice(Square, 1500.0f);
    filtered.stages.lowpass = 200.0f;
    const std::vector<OutlineColumn> columns = OutlineVoice(filtered, 1.0, kColumns, 180);
    for (size_t i = 18; i < columns.size(); ++i)
        ASSERT_LT(columns[i].high - columns[i].low, 0.3) << i;
}
