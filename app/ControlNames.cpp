#include "app/ControlNames.h"

#include <cmath>

StageGroup GroupOfStage(int32_t stage)
{
    if (stage >= StageLowpass)
        return GroupFilter;
    if (stage >= StageDuty)
        return GroupTone;
    return GroupPitch;
}

const char* GroupName(int32_t group)
{
    static const char* const kNames[StageGroupCount] = {"Pitch", "Tone", "Filter"};
    return group >= 0 && group < StageGroupCount ? kNames[group] : "";
}

String ValueName(int32_t value)
{
    static const char* const kNames[VoiceValueCount] = {
        "Amplitude",         "Amplitude offset",         "Frequency (Hz)",         "Period (s)",
        "Phase",             "Attack (s)",               "Decay (s)",              "Sustain level",
        "Hold (s)",          "Release (s)",              "Carrier amplitude",      "Carrier amplitude offset",
        "Carrier frequency (Hz)", "Carrier period (s)", "Carrier phase"};
    return value >= 0 && value < VoiceValueCount ? String(kNames[value]) : String();
}

String StageName(int32_t stage)
{
    static const char* const kNames[StageValueCount] = {
        "End frequency (Hz): the pitch slides to it over the voice's length (0: no slide)",
        "Vibrato depth (semitones either way)",
        "Vibrato rate (Hz)",
        "Arpeggio (semitones): the pitch jumps by it at the arpeggio time",
        "Arpeggio time (s)",
        "Repeat (s): the voice starts over this often (0: once)",
        "Duty: the square's high share",
        "Duty end: the duty reached at the voice's end",
        "Tremolo depth: how far the level dips (0 to 1)",
        "Tremolo rate (Hz)",
        "Low-pass cut-off (Hz, 0: off)",
        "Low-pass end (Hz): the cut-off reached at the voice's end",
        "Resonance (0 to 1)",
        "High-pass cut-off (Hz, 0: off)",
        "High-pass end (Hz): the cut-off reached at the voice's end"};
    return stage >= 0 && stage < StageValueCount ? String(kNames[stage]) : String();
}

String StageLabel(int32_t stage)
{
    static const char* const kLabels[StageValueCount] = {
        "End frequency", "Vibrato depth", "Vibrato rate", "Arpeggio", "Arpeggio time",
        "Repeat",        "Duty",          "Duty end",     "Tremolo depth", "Tremolo rate",
        "Low-pass",      "Low-pass end",  "Resonance",    "High-pass",     "High-pass end"};
    return stage >= 0 && stage < StageValueCount ? String(kLabels[stage]) : String();
}

bool IsStageFrequency(int32_t stage)
{
    return stage == StageFrequencyEnd || stage == StageLowpass || stage == StageLowpassEnd ||
           stage == StageHighpass || stage == StageHighpassEnd;
}

namespace {

// Slider positions a stage value's unit takes: 1 for hertz and whole semitones, else 100.
float PositionsPerUnit(int32_t stage) { return IsStageFrequency(stage) || stage == StageArpeggio ? 1.0f : 100.0f; }

} // namespace

void StageSliderRange(int32_t stage, float& min, float& max)
{
    CVoiceModel::GetStageRange(stage, min, max);
    if (stage == StageFrequencyEnd) {
        float ignored;
        CVoiceModel::GetRange(ValueFrequency, ignored, max);
    }
    min *= PositionsPerUnit(stage);
    max *= PositionsPerUnit(stage);
}

float StageFromSlider(int32_t stage, float position)
{
    if (!(position == position))
        position = 0.0f;
    const float units = PositionsPerUnit(stage);
    return static_cast<float>(std::nearbyint(position)) / units;
}

float StageSliderPosition(int32_t stage, float value) { return value * PositionsPerUnit(stage); }

String StageText(int32_t stage, float value)
{
    const bool whole = PositionsPerUnit(stage) == 1.0f;
    String text = String::Format(whole ? "%.0f" : "%.2f", static_cast<double>(value));
    for (int precision = 1; ReadShownNumber(text) != value && precision <= 9; ++precision)
        text = String::Format("%.*g", precision, static_cast<double>(value));
    return text;
}
