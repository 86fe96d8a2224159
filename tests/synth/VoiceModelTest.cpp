// The voice model without any widget: the defaults of a new voice, the slider and typing
// rules (clamping, two decimals, whole hertz, typed frequencies), the period kept in step
// with the envelope, the change signal and what it says, and mixing models directly.
#include "synth/Render.h"
#include "synth/VoiceModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ChangeLog {
    explicit ChangeLog(CVoiceModel& model) { slots.Connect(model.changed, this, &ChangeLog::Record); }
    void Record(VoiceChange change) { changes.push_back(change); }
    std::vector<VoiceChange> changes;
    CSlotList slots;
};

std::string Text(const CVoiceModel& model, int32_t value) { return model.GetShownText(value).CStr(); }

TEST(VoiceModel, NewVoiceHasTheDefaultsOfAFreshPanel)
{
    const CVoiceModel v;
    EXPECT_EQ(v.GetWaveType(), Sine);
    EXPECT_EQ(v.GetCarrierType(), Sine);
    EXPECT_EQ(v.GetWave().amplitude, 1.0f);
    EXPECT_EQ(v.GetWave().frequency, 4.0f);
    EXPECT_EQ(v.GetWave().period, 1.0f);
    EXPECT_EQ(v.GetCarrier().frequency, 1.0f);
    EXPECT_EQ(v.GetEnvelope().release, 0.1f);
    EXPECT_EQ(v.GetEnvelope().decay, 0.5f);
    EXPECT_TRUE(v.IsLoopOn());
    EXPECT_FALSE(v.IsEnvelopeOn() || v.IsCarrierOn() || v.IsMuted());
    EXPECT_EQ(v.GetModulation(), FM);
    EXPECT_EQ(v.GetLength(), 1.0f);
    const char* texts[VoiceValueCount] = {"1.00", "0.00", "4",    "1.00", "0.00", "0.00", "0.50", "0.50",
                                          "0.50", "0.10", "1.00", "0.00", "1",    "1.00", "0.00"};
    const float positions[VoiceValueCount] = {100, 0, 4, 100, 0, 0, 50, 50, 50, 10, 100, 0, 1, 100, 0};
    for (int32_t i = 0; i < VoiceValueCount; ++i) {
        EXPECT_EQ(Text(v, i), texts[i]) << i;
        EXPECT_EQ(v.GetPosition(i), positions[i]) << i;
    }
    const VoiceParams p = v.GetParams();
    EXPECT_TRUE(p.fm && !p.am && !p.pm);
}

TEST(VoiceModel, SliderClampsAndShowsTwoDecimalsOrWholeHertz)
{
    CVoiceModel v;
    v.SetSlider(ValueAmplitude, 137.0f);
    EXPECT_EQ(v.GetWave().amplitude, 1.37f);
    EXPECT_EQ(v.GetShown(ValueAmplitude), 1.37f);

    // The parameter keeps the slider's precision; the box (and the file) its two decimals.
    v.SetSlider(ValueAmplitude, 12.6f);
    EXPECT_EQ(v.GetWave().amplitude, 12.6f / 100.0f);
    EXPECT_EQ(v.GetShown(ValueAmplitude), 0.13f);
    EXPECT_EQ(Text(v, ValueAmplitude), "0.13");

    v.SetSlider(ValueAmplitude, 900.0f);
    EXPECT_EQ(v.GetPosition(ValueAmplitude), 400.0f);
    EXPECT_EQ(v.GetWave().amplitude, 4.0f);
    v.SetSlider(ValueCarrierOffset, -500.0f);
    EXPECT_EQ(v.GetCarrier().amplitudeOffset, -1.0f);
    v.SetSlider(ValuePhase, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(v.GetWave().phase, 0.0f);

    // Frequencies take the whole hertz the box shows.
    v.SetSlider(ValueFrequency, 440.4f);
    EXPECT_EQ(v.GetWave().frequency, 440.0f);
    EXPECT_EQ(v.GetPosition(ValueFrequency), 440.4f);
    v.SetSlider(ValueCarrierFrequency, 5000.0f);
    EXPECT_EQ(v.GetCarrier().frequency, 2000.0f);

    // A position just below zero shows as "-0.00", which reads as 0.
    v.SetSlider(ValueOffset, -0.001f);
    EXPECT_EQ(Text(v, ValueOffset), "-0.00");
    EXPECT_EQ(v.GetShown(ValueOffset), 0.0f);

    // Indices outside the fifteen are ignored.
    v.SetSlider(VoiceValueCount, 5.0f);
    v.SetTyped(-1, 5.0f);
    EXPECT_EQ(v.GetShown(VoiceValueCount), 0.0f);
    EXPECT_EQ(Text(v, -1), "");
}

TEST(VoiceModel, TypedValuesStandUnlessOutOfRangeAndFrequenciesAsTyped)
{
    CVoiceModel v;
    v.SetTyped(ValueAmplitude, 7.0f);
    EXPECT_EQ(v.GetPosition(ValueAmplitude), 400.0f);
    EXPECT_EQ(v.GetShown(ValueAmplitude), 4.0f);
    EXPECT_EQ(Text(v, ValueAmplitude), "4.00");

    v.SetTyped(ValueAmplitude, 0.5f);
    EXPECT_EQ(v.GetPosition(ValueAmplitude), 50.0f);
    EXPECT_EQ(v.GetWave().amplitude, 0.5f);

    v.SetTyped(ValueAmplitude, 0.126f);
    EXPECT_EQ(v.GetShown(ValueAmplitude), 0.126f); // saved as 0.13 by the file's format
    EXPECT_EQ(v.GetWave().amplitude, 100.0f * 0.126f / 100.0f);
    EXPECT_EQ(Text(v, ValueAmplitude), "0.126");

    v.SetTyped(ValueFrequency, 3000.0f);
    EXPECT_EQ(v.GetPosition(ValueFrequency), 2000.0f);
    EXPECT_EQ(v.GetWave().frequency, 3000.0f);
    EXPECT_EQ(Text(v, ValueFrequency), "3000");
    v.SetTyped(ValueCarrierFrequency, 440.6f);
    EXPECT_EQ(v.GetCarrier().frequency, 440.6f);
    EXPECT_EQ(Text(v, ValueCarrierFrequency), "440.6");
    v.SetTyped(ValueCarrierFrequency, -3.0f);
    EXPECT_EQ(v.GetCarrier().frequency, -3.0f);
    EXPECT_EQ(v.GetPosition(ValueCarrierFrequency), 0.0f);

    v.SetTyped(ValuePhase, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(v.GetShown(ValuePhase), 0.0f);
    v.SetTyped(ValueOffset, -0.0f);
    EXPECT_FALSE(std::signbit(v.GetShown(ValueOffset)));

    // Whatever was typed, the shown text reads back as the shown number.
    for (float typed : {0.001f, 1.5f, 3.999f, 0.07f, 9.99f, 1e-7f})
        for (int32_t value : {ValueAmplitude, ValuePeriod, ValueFrequency}) {
            v.SetTyped(value, typed);
            EXPECT_EQ(ReadShownNumber(v.GetShownText(value)), v.GetShown(value)) << value << " " << typed;
        }
}

TEST(VoiceModel, PeriodFollowsTheEnvelopeAndReturnsToItsShownValue)
{
    CVoiceModel v;
    v.SetSlider(ValuePeriod, 12.6f); // period 0.126, shown 0.13
    v.SetEnvelopeOn(true);
    EXPECT_EQ(v.GetWave().period, 1.1f);
    EXPECT_EQ(v.GetLength(), 1.1f);
    v.SetSlider(ValueHold, 100.0f);
    EXPECT_EQ(v.GetWave().period, EnvelopeLength(v.GetEnvelope()));
    v.SetEnvelopeOn(false);
    EXPECT_EQ(v.GetWave().period, 0.13f);
    EXPECT_EQ(v.GetLength(), 0.13f);
    // While the envelope is off its values leave the period alone.
    v.SetSlider(ValueRelease, 100.0f);
    EXPECT_EQ(v.GetWave().period, 0.13f);
}

TEST(VoiceModel, EveryChangeIsAnnouncedOnceAndSaysWhetherItIsHeard)
{
    CVoiceModel v;
    ChangeLog log(v);
    v.SetSlider(ValueDecay, 30.0f);  // envelope off: not heard
    v.SetLoop(false);                // never heard
    v.SetSlider(ValueAmplitude, 10.0f);
    v.SetTyped(ValueFrequency, 12.0f);
    v.SetWaveType(Square);
    v.SetCarrierType(7);
    v.SetModulation(AM);
    v.SetCarrierOn(true);
    v.SetMute(true);
    v.SetEnvelopeOn(true);
    v.SetTyped(ValueDecay, 0.2f); // envelope on: heard
    const std::vector<VoiceChange> expected = {VoiceChange::Shown, VoiceChange::Shown, VoiceChange::Sound,
                                               VoiceChange::Sound, VoiceChange::Sound, VoiceChange::Sound,
                                               VoiceChange::Sound, VoiceChange::Sound, VoiceChange::Sound,
                                               VoiceChange::Sound, VoiceChange::Sound};
    EXPECT_EQ(log.changes, expected);
}

TEST(VoiceModel, ModulationOutsideTheThreeIsReportedAsFmAndSilencesTheCarrier)
{
    CVoiceModel v;
    v.SetCarrierOn(true);
    v.SetModulation(PM);
    EXPECT_EQ(v.GetModulation(), PM);
    EXPECT_NE(v.SampleVoice(0.1), 0.0);
    v.SetModulation(9);
    EXPECT_EQ(v.GetModulation(), FM);
    EXPECT_EQ(v.GetModulationChoice(), 9);
    const VoiceParams p = v.GetParams();
    EXPECT_FALSE(p.am || p.fm || p.pm);
    EXPECT_EQ(v.SampleVoice(0.1), 0.0);
}

TEST(VoiceModel, IsSmallAndMixesDirectly)
{
    EXPECT_LE(sizeof(CVoiceModel), 400u); // 320 before the stages (72 bytes)
    std::vector<std::unique_ptr<CVoiceModel>> voices;
    for (int i = 0; i < 2; ++i) {
        voices.push_back(std::make_unique<CVoiceModel>());
        voices.back()->SetSlider(ValueAmplitude, 0.0f);
        voices.back()->SetSlider(ValueOffset, i == 0 ? 100.0f : 0.0f);
    }
    voices[1]->SetSlider(ValuePeriod, 200.0f);
    CSound sound;
    RenderVoices(voices, sound, 1, 44100, 16);
    ASSERT_EQ(sound.dataSize, 176400u); // the longer voice, 2 s
    EXPECT_EQ(static_cast<int16_t>(sound.data[0] | sound.data[1] << 8), 16383);
    voices[0]->SetMute(true);
    RenderVoices(voices, sound, 1, 44100, 16);
    EXPECT_EQ(static_cast<int16_t>(sound.data[0] | sound.data[1] << 8), 0);
}

} // namespace
