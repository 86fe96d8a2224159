// The master stage: what happens to the voices' combined value before it becomes a byte (the
// project's gain, normalisation and fade, and whether voices are summed or averaged). The
// settings (MixMaster) belong to a project; a neutral master is today's mix, byte for byte,
// through the renderer's original formula. Any other master goes through the formulas here,
// which define the output for every way of rendering (RenderMix, the cache, the reference):
// the fast paths form the combined value to within a bound and call these functions on the
// interval, falling back to the scalar reference where the bound leaves the byte in doubt.
// Not thread-aware; the renderers split the values.
#pragma once

#include "synth/Render.h"

#include <cmath>
#include <cstdint>

// The ranges of the settings; a value outside is clamped (ClampMaster).
constexpr float kMasterGainMin = -48.0f; // dB
constexpr float kMasterGainMax = 24.0f;
constexpr float kMasterFadeMax = 50.0f; // ms
// The fade a new project (New, the first project, a generated sound) starts with.
constexpr float kNewProjectFade = 2.0f;

// The settings as a new project has them (fade 2 ms, nothing else).
MixMaster NewProjectMaster();
// The settings with gain and fade clamped into their ranges; a NaN takes the default (0).
MixMaster ClampMaster(const MixMaster& master);
// True when the master leaves the mix as it always was: 0 dB, no normalisation, no fade,
// averaged. Such a mix is rendered by the original formula (MixValueReference).
bool IsNeutralMaster(const MixMaster& master);

// The constants one mix's master stage reads.
struct MasterPlan {
    double gain = 1.0;  // linear: 10^(dB / 20)
    double scale = 1.0; // the normalisation factor once the peak is known; 1 without
    uint32_t fadeValues = 0; // F: values in each ramp
    uint32_t samples = 0;    // n: values in the mix
    bool sum = false;
    bool normalize = false;
    int bits = 16;
};
// rate in values per second; samples is the mix's value count.
MasterPlan MakeMasterPlan(const MixMaster& master, uint32_t rate, uint32_t samples, int bits);

// The voices' scaled outputs at time t added in list order from 0: each output × 32767, or
// at 8 bits × 127 and then + 127 (the silence level), one voice after another. Every way of
// mixing starts from this sum.
template <int Bits>
inline double MixVoiceSum(const RenderVoice* voices, uint32_t count, double t)
{
    double acc = 0.0;
    for (uint32_t i = 0; i < count; ++i) {
        if constexpr (Bits == 8)
            acc = acc + RenderVoiceValue(voices[i], t) * 127 + 127;
        else
            acc = acc + RenderVoiceValue(voices[i], t) * 32767;
    }
    return acc;
}

// The combined value of the voices at time t around silence: acc = MixVoiceSum, then
// acc / count when averaged or acc when summed; at 8 bits the silence level is taken off
// (127 averaged, 127 × count summed).
template <int Bits>
inline double MixCentredReference(const RenderVoice* voices, uint32_t count, double t, bool sum)
{
    const double acc = MixVoiceSum<Bits>(voices, count, t);
    double x = sum ? acc : acc / static_cast<double>(count);
    if constexpr (Bits == 8)
        x = x - (sum ? 127.0 * count : 127.0);
    return x;
}

// The level of value index before normalisation: x × gain, then × the fade's gain
// min(index, n − 1 − index) / F where that is below 1. Non-decreasing in x.
inline double MasterLevel(const MasterPlan& plan, double x, uint32_t index)
{
    double level = x * plan.gain;
    const uint32_t back = plan.samples - 1 - index;
    const uint32_t edge = index < back ? index : back;
    if (edge < plan.fadeValues)
        level = level * (static_cast<double>(edge) / static_cast<double>(plan.fadeValues));
    return level;
}

// The stored value for a level: level × scale, plus 127 at 8 bits, clamped to the format's
// range and truncated toward zero. *clipped (when given) tells whether the clamp took it.
// Non-decreasing in level.
template <int Bits>
inline int MasterValue(const MasterPlan& plan, double level, bool* clipped = nullptr)
{
    double y = level * plan.scale;
    if constexpr (Bits == 8)
        y = y + 127.0;
    constexpr double low = Bits == 8 ? 0.0 : -32767.0;
    constexpr double high = Bits == 8 ? 255.0 : 32767.0;
    if (clipped)
        *clipped = y < low || y > high;
    return static_cast<int>(y < low ? low : (y > high ? high : y));
}

// The normalisation factor for the largest |level| of a mix: the target (−1 dBFS of 32767,
// or of 127 at 8 bits) over peak; 1 when normalisation is off or peak is 0 or not finite.
double MasterScale(const MasterPlan& plan, double peak);

// The reference's value of a mastered mix (plan.scale already set): MixValueReference's
// counterpart for a master that is not neutral.
template <int Bits>
inline int MixValueReference(const RenderVoice* voices, uint32_t count, double t, uint32_t index,
                             const MasterPlan& plan, bool* clipped = nullptr)
{
    return MasterValue<Bits>(plan, MasterLevel(plan, MixCentredReference<Bits>(voices, count, t, plan.sum), index),
                             clipped);
}

// --- A mix whose combined values are known to within a bound: the fast paths' common end.
// values[i] is the combined value i as MixCentredReference forms it, to within bounds[b] for
// block b (values b × kMasterBlock onwards): 0 when every value of the block is exact, NaN or
// a huge number when unknown.
constexpr uint32_t kMasterBlock = 64;
struct CentredMix {
    const RenderVoice* voices; // the reference, where a bound leaves a value in doubt
    uint32_t count;            // at least 1
    const double* values;
    const double* bounds;
    double step;
    MasterPlan plan;
    uint8_t* out;
    uint32_t size;
};

// Normalisation's first look at values [first, end): a number no larger than the largest
// |level| among them.
double MasterPeakFloor(const CentredMix& mix, uint32_t first, uint32_t end);
// The largest |level| among values [first, end) that could reach floor, each exactly as the
// reference forms it (0 when none can). The mix's peak is the largest answer over all parts.
double MasterPeakRange(const CentredMix& mix, uint32_t first, uint32_t end, double floor);
// Stores values [first, end) (first a multiple of kMasterBlock) with mix.plan's scale; returns
// how many the clamp took. The bytes are the reference's.
uint64_t MasterFinishRange(const CentredMix& mix, uint32_t first, uint32_t end);

// The whole end of a mastered mix, on the worker pool in parts of partValues values (a
// multiple of kMasterBlock) under the floating-point control given: the peak when
// normalising (setting mix.plan.scale), then the bytes. progress, when given, counts one
// done per finishing part. False when cancel answered true; *clipped receives the clip count.
bool FinishMasteredMix(CentredMix& mix, uint32_t partValues, unsigned control, RenderCancel cancel,
                       RenderProgress* progress, uint64_t* clipped);
