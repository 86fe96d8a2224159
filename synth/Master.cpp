#include "synth/Master.h"

#include "synth/RenderKernel.h"
#include "synth/WorkerPool.h"

#include <xmmintrin.h>

#include <algorithm>
#include <vector>

namespace {

constexpr double kMinusOneDb = 0.89125093813374553; // 10^(-1/20), to the nearest double
constexpr double kSlack = 0x1p-48;                  // relative slack per rounding, as the kernels allow
constexpr double kFloor = 0x1p-900;                 // absolute slack: covers subnormal results
constexpr double kDoubtful = 0x1p900;               // a bound past this is treated as unknown

float Clamped(float value, float low, float high) { return value == value ? std::clamp(value, low, high) : 0.0f; }

// What value index of the mix can be: [low, high] around the kept value, or unknown.
struct Interval {
    double low, high;
    bool exact, known;
};

Interval Around(const CentredMix& mix, uint32_t index)
{
    const double x = mix.values[index];
    const double bound = mix.bounds[index / kMasterBlock];
    if (!(std::fabs(x) <= 0x1p1000) || !(bound <= kDoubtful))
        return Interval{0.0, 0.0, false, false};
    if (bound == 0.0)
        return Interval{x, x, true, true};
    const double e = bound + std::fabs(x) * kSlack + kFloor;
    return Interval{x - e, x + e, false, true};
}

// The reference's combined value at time t.
double CentredAt(const CentredMix& mix, double t)
{
    return mix.plan.bits == 8 ? MixCentredReference<8>(mix.voices, mix.count, t, mix.plan.sum)
                              : MixCentredReference<16>(mix.voices, mix.count, t, mix.plan.sum);
}

double TimeOf(const CentredMix& mix, uint32_t index)
{
    double t = 0.0;
    for (uint32_t i = 0; i < index; ++i)
        t += mix.step;
    return t;
}

template <int Bits>
uint64_t FinishRange(const CentredMix& mix, uint32_t first, uint32_t end)
{
    uint64_t clipped = 0;
    double t = TimeOf(mix, first);
    for (uint32_t index = first; index < end; ++index, t += mix.step) {
        const Interval x = Around(mix, index);
        bool clip = false;
        int value = 0;
        if (x.exact) {
            value = MasterValue<Bits>(mix.plan, MasterLevel(mix.plan, x.low, index), &clip);
        } else {
            bool clipLow = false, clipHigh = true;
            int low = 0, high = 1;
            if (x.known) {
                // Both ends through the same monotone operations: one answer holds in between.
                low = MasterValue<Bits>(mix.plan, MasterLevel(mix.plan, x.low, index), &clipLow);
                high = MasterValue<Bits>(mix.plan, MasterLevel(mix.plan, x.high, index), &clipHigh);
            }
            if (low == high && clipLow == clipHigh) {
                value = low;
                clip = clipLow;
            } else {
                value = MasterValue<Bits>(mix.plan, MasterLevel(mix.plan, CentredAt(mix, t), index), &clip);
            }
        }
        clipped += clip;
        StoreMixValue<Bits>(mix.out, mix.size, index, value);
    }
    return clipped;
}

} // namespace

MixMaster NewProjectMaster()
{
    MixMaster master;
    master.fade = kNewProjectFade;
    return master;
}

MixMaster ClampMaster(const MixMaster& master)
{
    MixMaster clamped = master;
    clamped.gain = Clamped(master.gain, kMasterGainMin, kMasterGainMax);
    clamped.fade = Clamped(master.fade, 0.0f, kMasterFadeMax);
    return clamped;
}

bool IsNeutralMaster(const MixMaster& master)
{
    return master.gain == 0.0f && !master.normalize && master.fade == 0.0f && !master.sum;
}

MasterPlan MakeMasterPlan(const MixMaster& settings, uint32_t rate, uint32_t samples, int bits)
{
    const MixMaster master = ClampMaster(settings);
    MasterPlan plan;
    plan.gain = std::pow(10.0, static_cast<double>(master.gain) / 20.0);
    plan.fadeValues = static_cast<uint32_t>(std::lround(static_cast<double>(master.fade) * rate / 1000.0));
    plan.samples = samples;
    plan.sum = master.sum;
    plan.normalize = master.normalize;
    plan.bits = bits;
    return plan;
}

double MasterScale(const MasterPlan& plan, double peak)
{
    if (!plan.normalize || !(peak > 0.0) || !(peak <= 1.7976931348623157e308))
        return 1.0;
    return (plan.bits == 8 ? 127.0 : 32767.0) * kMinusOneDb / peak;
}

double MasterPeakFloor(const CentredMix& mix, uint32_t first, uint32_t end)
{
    double floor = 0.0;
    for (uint32_t index = first; index < end; ++index) {
        const Interval x = Around(mix, index);
        if (!x.known)
            continue;
        const double low = MasterLevel(mix.plan, x.low, index), high = MasterLevel(mix.plan, x.high, index);
        const double least = low > 0.0 ? low : (high < 0.0 ? -high : 0.0);
        floor = least > floor ? least : floor;
    }
    return floor;
}

double MasterPeakRange(const CentredMix& mix, uint32_t first, uint32_t end, double floor)
{
    double peak = 0.0;
    double t = TimeOf(mix, first);
    for (uint32_t index = first; index < end; ++index, t += mix.step) {
        const Interval x = Around(mix, index);
        double level = 0.0;
        if (x.exact) {
            level = std::fabs(MasterLevel(mix.plan, x.low, index));
        } else {
            if (x.known) {
                const double low = MasterLevel(mix.plan, x.low, index), high = MasterLevel(mix.plan, x.high, index);
                if (std::max(-low, high) < floor)
                    continue; // cannot be the peak
            }
            level = std::fabs(MasterLevel(mix.plan, CentredAt(mix, t), index));
        }
        peak = level > peak ? level : peak; // a NaN level is never the peak
    }
    return peak;
}

uint64_t MasterFinishRange(const CentredMix& mix, uint32_t first, uint32_t end)
{
    return mix.plan.bits == 8 ? FinishRange<8>(mix, first, end) : FinishRange<16>(mix, first, end);
}

bool FinishMasteredMix(CentredMix& mix, uint32_t partValues, unsigned control, RenderCancel cancel,
                       RenderProgress* progress, uint64_t* clipped)
{
    const uint32_t samples = mix.plan.samples;
    if (samples == 0)
        return !cancel();
    const uint32_t parts = (samples + partValues - 1) / partValues;
    std::vector<double> answers(parts, 0.0);
    std::vector<uint64_t> clips(parts, 0);
    // Each part under the caller's floating-point control; what it does is pass.
    auto run = [&](auto pass) {
        auto part = [&](uint32_t number) {
            const uint32_t first = number * partValues;
            const uint32_t end = samples - first < partValues ? samples : first + partValues;
            if (!cancel()) {
                const unsigned own = _mm_getcsr();
                _mm_setcsr(control);
                pass(number, first, end);
                _mm_setcsr(own);
            }
        };
        RunParts(parts, part);
        return !cancel();
    };
    if (mix.plan.normalize) {
        if (!run([&](uint32_t n, uint32_t first, uint32_t end) { answers[n] = MasterPeakFloor(mix, first, end); }))
            return false;
        const double floor = *std::max_element(answers.begin(), answers.end());
        if (!run([&](uint32_t n, uint32_t first, uint32_t end) { answers[n] = MasterPeakRange(mix, first, end, floor); }))
            return false;
        mix.plan.scale = MasterScale(mix.plan, *std::max_element(answers.begin(), answers.end()));
    }
    const bool done = run([&](uint32_t n, uint32_t first, uint32_t end) {
        clips[n] = MasterFinishRange(mix, first, end);
        if (progress)
            progress->done.fetch_add(1, std::memory_order_relaxed);
    });
    if (!done)
        return false;
    if (clipped)
        for (uint64_t c : clips)
            *clipped += c;
    return true;
}
