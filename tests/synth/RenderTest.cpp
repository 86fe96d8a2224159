#include "synth/Render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <list>
#include <memory>
#include <vector>

namespace {

// A voice with fixed parameters, standing in for the panel.
class TestVoice : public CVoice {
public:
    explicit TestVoice(const VoiceParams& p, bool muted = false) : params(p), muted(muted) {}
    bool IsMuted() const override { return muted; }
    float GetLength() const override
    {
        return params.envelopeOn ? EnvelopeLength(params.envelope) : params.wave.period;
    }
    VoiceParams GetParams() const override { return params; }

    VoiceParams params;
    bool muted;
};

VoiceParams Constant(float value, float period = 1.0f)
{
    VoiceParams p;
    p.wave.amplitude = 0.0f;
    p.wave.amplitudeOffset = value;
    p.wave.period = period;
    return p;
}

int16_t Value16(const CSound& s, uint32_t index)
{
    return static_cast<int16_t>(s.data[2 * index] | (s.data[2 * index + 1] << 8));
}

class Render : public ::testing::Test {
protected:
    std::vector<std::unique_ptr<TestVoice>> owned;
    std::list<TestVoice*> voices;
    CSound sound;

    TestVoice& Add(const VoiceParams& p, bool muted = false)
    {
        owned.push_back(std::make_unique<TestVoice>(p, muted));
        voices.push_back(owned.back().get());
        return *owned.back();
    }
    void Mono16() { RenderVoices(voices, sound, 1, 44100, 16); }
};

TEST_F(Render, MixIsTheAverageOfUnmutedVoicesTruncated)
{
    Add(Constant(1.0f));
    Add(Constant(0.0f));
    Add(Constant(-1.0f), true); // muted voices take no part in the average
    Mono16();
    ASSERT_EQ(sound.dataSize, 88200u);
    EXPECT_EQ(sound.channels, 1u);
    EXPECT_EQ(sound.samplesPerSec, 44100u);
    EXPECT_EQ(sound.bitsPerSample, 16u);
    for (uint32_t i : {0u, 1u, 22050u, 44099u})
        EXPECT_EQ(Value16(sound, i), 16383) << i;

    RenderVoices(voices, sound, 1, 44100, 8); // (254 + 127) / 2
    ASSERT_EQ(sound.dataSize, 44100u);
    EXPECT_EQ(sound.data[0], 190);
    EXPECT_EQ(sound.data[44099], 190);
}

TEST_F(Render, ValuesAreClampedNeverWrapped)
{
    TestVoice& loud = Add(Constant(2.0f));
    Mono16();
    EXPECT_EQ(Value16(sound, 0), 32767);
    RenderVoices(voices, sound, 1, 44100, 8);
    EXPECT_EQ(sound.data[0], 255);

    loud.params = Constant(-2.0f);
    Mono16();
    EXPECT_EQ(Value16(sound, 0), -32767); // -32768 is never produced
    RenderVoices(voices, sound, 1, 44100, 8);
    EXPECT_EQ(sound.data[0], 0);

    loud.params = Constant(0.0f);
    RenderVoices(voices, sound, 1, 44100, 8);
    EXPECT_EQ(sound.data[0], 127);
}

TEST_F(Render, LengthIsTheLongestUnmutedVoice)
{
    VoiceParams shortSine;
    shortSine.wave.frequency = 1.0f;
    shortSine.wave.period = 1.0f;
    Add(shortSine);
    Add(Constant(0.0f, 2.0f));
    Add(Constant(0.0f, 5.0f), true); // a muted voice does not lengthen the render
    Mono16();
    ASSERT_EQ(sound.dataSize, 176400u);
    // The shorter voice keeps sounding after its own period: at t = 1.25 the 1 Hz sine is at
    // its peak, halved by the average with the silent voice.
    EXPECT_NEAR(Value16(sound, 55125), 16383, 2);
}

TEST_F(Render, EnvelopeFixesTheLength)
{
    VoiceParams p = Constant(1.0f, 9.0f);
    p.envelopeOn = true;
    p.envelope = Envelope{0.1f, 0.2f, 0.5f, 0.3f, 0.4f};
    Add(p);
    Mono16();
    uint32_t expected = static_cast<uint32_t>(44100.0f * EnvelopeLength(p.envelope) * 2.0f);
    EXPECT_EQ(sound.dataSize, expected);
    EXPECT_EQ(Value16(sound, 0), 0);                     // the attack starts at 0
    EXPECT_NEAR(Value16(sound, 13230), 16383, 40);       // t ≈ 0.3: the sustain level
}

TEST_F(Render, OddSizesCutTheLastValue)
{
    VoiceParams saw;
    saw.wave.type = Sawtooth;
    saw.wave.amplitude = 0.5f;
    saw.wave.frequency = 1.0f;
    saw.wave.period = 0.625f;
    Add(saw);
    // 4 Hz × 0.625 s × 2 bytes = 5 bytes: two whole values, at t = 0 and 0.3125 (the step
    // is the length over the two), and no half of a third.
    sound.Allocate(3, 1, 1, 8); // previous contents are replaced
    RenderVoices(voices, sound, 1, 4, 16);
    ASSERT_EQ(sound.dataSize, 4u);
    EXPECT_EQ(Value16(sound, 0), 0);
    EXPECT_EQ(Value16(sound, 1), 10239);              // 0.3125 × 32767, truncated
}

TEST_F(Render, SilentMixesAndRejectedDepths)
{
    // An empty voice list leaves the sound as it was.
    ASSERT_TRUE(sound.Allocate(10, 2, 8000, 8));
    uint8_t* before = sound.data;
    Mono16();
    EXPECT_EQ(sound.data, before);
    EXPECT_EQ(sound.dataSize, 10u);

    // So does a depth other than 8 and 16 bits.
    Add(Constant(0.5f));
    RenderVoices(voices, sound, 1, 44100, 24);
    RenderVoices(voices, sound, 1, 44100, 0);
    EXPECT_EQ(sound.data, before);

    // All voices muted: the block is freed and the format cleared.
    owned.back()->muted = true;
    Mono16();
    EXPECT_EQ(sound.data, nullptr);
    EXPECT_EQ(sound.dataSize, 0u);
    EXPECT_EQ(sound.channels, 0u);
    EXPECT_EQ(sound.samplesPerSec, 0u);
    EXPECT_EQ(sound.bitsPerSample, 0u);
}

TEST_F(Render, TimeStepsSpanTheLengthOverTheValues)
{
    VoiceParams saw;
    saw.wave.type = Sawtooth;
    saw.wave.amplitude = 0.5f;
    saw.wave.frequency = 0.25f; // a slow ramp: the value tells the time
    saw.wave.period = 1.0f;
    Add(saw);
    RenderVoices(voices, sound, 1, 10, 8);
    ASSERT_EQ(sound.dataSize, 10u);
    for (uint32_t i = 0; i < 10; ++i) {
        double t = i * 0.1;
        int expected = static_cast<int>((0.5 * 2 * (t * 0.25 - std::floor(t * 0.25 + 0.5))) * 127 + 127);
        EXPECT_NEAR(sound.data[i], expected, 1) << i;
    }
}

} // namespace

// The master stage row by row: each setting's effect on values a user can predict from
// docs/sound.md. An index below 0 counts from the end.
TEST_F(Render, TheMasterStageShapesTheWholeMix)
{
    VoiceParams sine;
    sine.wave.amplitude = 0.3f;
    sine.wave.frequency = 5.0f;
    sine.wave.period = 1.0f;
    struct Row {
        const char* what;
        std::vector<VoiceParams> voices;
        MixMaster master;
        uint32_t rate, bits, values;
        std::vector<std::pair<int64_t, int>> at; // value index, expected value
        int peak;                                // largest |value|, or -1
        uint64_t clipped;
    };
    const Row rows[] = {
        {"absent: today's average, no fade", {Constant(0.5f), Constant(0.25f)}, {}, 44100, 16, 44100,
         {{0, 12287}, {-1, 12287}}, -1, 0},
        {"gain -6 dB scales the average", {Constant(0.5f)}, {-6.0f, false, 0.0f, false}, 44100, 16, 44100,
         {{0, 8211}}, -1, 0},
        {"sum adds the voices", {Constant(0.5f), Constant(0.25f)}, {0.0f, false, 0.0f, true}, 44100, 16, 44100,
         {{7, 24575}}, -1, 0},
        {"a sum past full scale clips, counted", {Constant(0.75f), Constant(0.75f)}, {0.0f, false, 0.0f, true}, 44100,
         16, 44100, {{7, 32767}}, -1, 44100},
        {"normalize: the peak at -1 dBFS", {sine}, {-30.0f, true, 0.0f, false}, 44100, 16, 44100, {}, 29203, 0},
        {"normalize at 8 bits", {Constant(0.1f)}, {0.0f, true, 0.0f, false}, 44100, 8, 44100, {{0, 240}}, -1, 0},
        {"fade: from 0, full after 10 ms, back to 0", {Constant(0.5f)}, {0.0f, false, 10.0f, false}, 44100, 16,
         44100, {{0, 0}, {220, 8173}, {441, 16383}, {-221, 8173}, {-1, 0}}, -1, 0},
        {"shorter than two fades: the ramps meet", {Constant(0.5f, 0.01f)}, {0.0f, false, 50.0f, false}, 44100, 16,
         441, {{0, 0}, {220, 1634}, {-1, 0}}, -1, 0},
        {"22050 Hz: length x rate values", {Constant(0.5f)}, {}, 22050, 16, 22050, {{-1, 16383}}, -1, 0},
        {"48000 Hz with a fade", {Constant(0.5f)}, {0.0f, false, 2.0f, false}, 48000, 16, 48000, {{96, 16383}}, -1,
         0},
    };
    for (const Row& row : rows) {
        owned.clear();
        voices.clear();
        for (const VoiceParams& p : row.voices)
            Add(p);
        uint64_t clipped = 0;
        RenderVoices(voices, sound, 1, row.rate, row.bits, &clipped, row.master);
        const uint32_t values = sound.dataSize / (row.bits / 8);
        ASSERT_EQ(values, row.values) << row.what;
        EXPECT_EQ(sound.samplesPerSec, row.rate) << row.what;
        EXPECT_EQ(clipped, row.clipped) << row.what;
        auto value = [&](uint32_t i) { return row.bits == 8 ? int(sound.data[i]) : int(Value16(sound, i)); };
        for (const auto& [index, expected] : row.at)
            EXPECT_EQ(value(static_cast<uint32_t>(index < 0 ? values + index : index)), expected)
                << row.what << ", value " << index;
        int peak = 0;
        for (uint32_t i = 0; i < values; ++i)
            peak = std::max(peak, std::abs(value(i)));
        EXPECT_TRUE(row.peak < 0 || peak == row.peak) << row.what << ": peak " << peak;
    }
}
