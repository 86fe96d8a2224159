// What the voice panel's controls are called and how its stage rows turn slider positions into
// stage values and back. The panel's fifteen value rows keep the model's own rules
// (CVoiceModel::SetSlider, GetShownText); the stage rows follow the same pattern here: a
// slider position is the value × 100, or the value itself for hertz and for the arpeggio's
// whole semitones, and a box shows the slider's format when that reads back as the value, or
// else the value's shortest exact decimal. No state; any thread.
#pragma once

#include "synth/VoiceModel.h"
#include "util/String.h"

#include <cstdint>

// The three areas of stages a panel opens and closes, in the order they stand below the
// envelope's area.
enum StageGroup : int32_t { GroupPitch = 0, GroupTone, GroupFilter, StageGroupCount };

// The group a stage belongs to (Pitch: end frequency to repeat; Tone: duty and tremolo;
// Filter: the cut-offs and resonance).
StageGroup GroupOfStage(int32_t stage);
// The group's name as its switch shows it: "Pitch", "Tone", "Filter".
const char* GroupName(int32_t group);

// The full name with its unit, as the tooltips show it: "Frequency (Hz)", "Carrier amplitude",
// "Attack (s)", "End frequency (Hz)", "Duty end", ... Empty for an index outside the values.
String ValueName(int32_t value);
String StageName(int32_t stage);
// The short name a stage's row shows beside its box ("End f (Hz)", "Vibrato (st)", ...).
String StageLabel(int32_t stage);

bool IsStageFrequency(int32_t stage);
// The slider's range for a stage, in positions: frequencies 0..2000 Hz for the end frequency
// (the main frequency's own), 0..20000 Hz for the filters; the arpeggio -24..24 whole
// semitones; every other stage its range (CVoiceModel::GetStageRange) × 100.
void StageSliderRange(int32_t stage, float& min, float& max);
// The stage value a slider at position sets: whole hertz, whole semitones, or hundredths.
float StageFromSlider(int32_t stage, float position);
// Where the slider stands for a value (clamped to the slider's range by the slider).
float StageSliderPosition(int32_t stage, float value);
// The box's text for a value; it reads back (ReadShownNumber) as value.
String StageText(int32_t stage, float value);

// Half the rate, in hertz: a tone above it is heard folded back below it.
inline double FoldingFrequency(uint32_t rate) { return 0.5 * static_cast<double>(rate); }
