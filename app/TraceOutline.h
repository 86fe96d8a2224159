// Waveform outlines for the voice panel's screens, as audio editors draw them: time is cut
// into pixel columns, and each column gets the least and the greatest value the signal takes
// over its span of time, so that a fast wave shows as a filled band and a slow one as its
// curve. Values come from the model's own formulas (synth/Voice.h). The cost is bounded per
// column: a fixed number of samples, plus closed forms where sampling could miss an extreme
// (the oscillator's peaks and jumps, the envelope's corners, a column spanning whole periods).
// Noise is outlined from the steps it holds. A voice with stages is outlined from its own run
// (CVoiceRun, filters included) at about kOutlineRunRate values a second. Pure computation;
// any thread.
#pragma once

#include "synth/Voice.h"

#include <cstdint>
#include <vector>

struct OutlineColumn {
    double low;
    double high;
};

// Evenly spaced samples per column (plus its end) where no closed form applies.
constexpr uint32_t kOutlineSamplesPerColumn = 16;
// The rate, in values per second, at which a staged voice is run for its outline (at least
// kOutlineSamplesPerColumn values a column, at most 1024, and no more than kOutlineRunValues
// in all unless the columns' least needs more): its cost is bounded per outline.
constexpr double kOutlineRunRate = 22050.0;
constexpr double kOutlineRunValues = 65536.0;

// The columns that cover 0 .. length seconds at columnsPerSecond, the last one possibly
// partial, at most maxColumns; 0 for a length that is not positive (or not a number).
uint32_t OutlineColumnCount(double length, double columnsPerSecond, uint32_t maxColumns);

// Column i spans [i / columnsPerSecond, min((i + 1) / columnsPerSecond, length)].
// The voice's output (SampleVoice: carrier and envelope applied; with stages, the run).
std::vector<OutlineColumn> OutlineVoice(const VoiceParams& voice, double length, double columnsPerSecond,
                                        uint32_t maxColumns);
// The bare oscillator (SampleWave).
std::vector<OutlineColumn> OutlineWave(const Waveform& wave, double length, double columnsPerSecond,
                                       uint32_t maxColumns);
// The envelope's gain (EnvelopeGain); exact, as the gain is straight between its corners.
std::vector<OutlineColumn> OutlineEnvelope(const Envelope& envelope, double length, double columnsPerSecond,
                                           uint32_t maxColumns);

// The greatest magnitude the columns reach (0 for none; NaN and infinities are taken as 0),
// the scale at which a screen of ±1 shows them whole.
double OutlinePeak(const std::vector<OutlineColumn>& columns);
