#include "synth/Render.h"

#include "synth/RenderKernel.h"
#include "synth/VoiceTracks.h"
#include "synth/WorkerPool.h"

#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

// The byte count a render's length gives: channels × rate (integer) times the length (float)
// times the bytes per value (integer), in float arithmetic, truncated. Negative when the
// product is not a size a block can have.
int64_t RenderSize(uint32_t channels, uint32_t rate, float length, uint32_t bytesPerValue)
{
    float size = static_cast<float>(channels * rate) * length * static_cast<float>(bytesPerValue);
    if (!(size >= 0.0f && size < 2147483648.0f))
        return -1;
    return static_cast<int64_t>(size);
}

} // namespace

bool PrepareMix(const RenderVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
                uint32_t rate, uint32_t bits, double& step, bool& rendered)
{
    rendered = false;
    if (bits != 8 && bits != 16)
        return false;
    float length = 0.0f;
    for (uint32_t i = 0; i < count; ++i)
        if (voices[i].length > length)
            length = voices[i].length;
    const uint32_t bytesPerValue = bits / 8;
    const int64_t size = RenderSize(channels, rate, length, bytesPerValue);
    if (size < 0)
        return false;
    // The time step comes from the whole values of that byte count, as it always has; the
    // block keeps only whole frames of them, so a part of a frame at the end (half of a 16-bit
    // value, say) is never made, and the mix, the player and the files hold the same samples.
    const uint32_t values = static_cast<uint32_t>(size) / bytesPerValue;
    const uint32_t frameBytes = channels * bytesPerValue;
    const uint32_t whole = frameBytes ? static_cast<uint32_t>(size) / frameBytes * frameBytes : 0;
    if (!sound.Allocate(whole, channels, rate, bits))
        return false;
    rendered = true;
    if (whole == 0)
        return false;
    step = static_cast<double>(length) / values;
    return true;
}

namespace {

template <int Bits>
uint64_t MixLoop(const RenderVoice* voices, uint32_t count, uint8_t* out, uint32_t size, double step)
{
    double t = 0.0;
    uint32_t index = 0;
    uint64_t clipped = 0;
    bool clip = false;
    for (uint32_t written = 0; written < size; written += Bits / 8) {
        StoreMixValue<Bits>(out, size, index++, MixValueReference<Bits>(voices, count, t, &clip));
        clipped += clip;
        t += step;
    }
    return clipped;
}

// Values per part are a multiple of this, so that only the last part has a scalar tail.
constexpr uint32_t kPartGrain = 64;
static_assert(kPartGrain % kMasterBlock == 0, "parts start on whole blocks");
// Below this many voice evaluations a render is not worth waking the pool for.
constexpr uint64_t kMinParallelWork = 1u << 15;
// Above it a render is cut into parts of about this many (some tens of milliseconds), so
// that progress moves and a cancel is heard while it runs; each part then adds up its start
// time from zero, which stays a small share beside the voices it evaluates.
constexpr uint64_t kWorkPerPart = 1u << 22;
constexpr uint64_t kMaxParts = 512;

} // namespace

namespace {

// The reference's mastered mix: the peak of the levels over every value (when normalising),
// then each value from its level.
template <int Bits>
uint64_t MasteredLoop(const RenderVoice* voices, uint32_t count, CSound& sound, double step, MasterPlan plan)
{
    if (plan.normalize) {
        double t = 0.0, peak = 0.0;
        for (uint32_t index = 0; index < plan.samples; ++index, t += step) {
            const double level = std::fabs(MasterLevel(plan, MixCentredReference<Bits>(voices, count, t, plan.sum), index));
            peak = level > peak ? level : peak;
        }
        plan.scale = MasterScale(plan, peak);
    }
    double t = 0.0;
    uint64_t clipped = 0;
    bool clip = false;
    for (uint32_t index = 0; index < plan.samples; ++index, t += step) {
        StoreMixValue<Bits>(sound.data, sound.dataSize, index, MixValueReference<Bits>(voices, count, t, index, plan, &clip));
        clipped += clip;
    }
    return clipped;
}

uint32_t ValueCount(const CSound& sound, uint32_t bits)
{
    const uint32_t bytesPerValue = bits / 8;
    return sound.dataSize / bytesPerValue + sound.dataSize % bytesPerValue;
}

} // namespace

bool RenderMixReference(const RenderVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
                        uint32_t rate, uint32_t bits, uint64_t* clipped, const MixMaster& master)
{
    if (clipped)
        *clipped = 0;
    double step = 0.0;
    bool rendered = false;
    if (!PrepareMix(voices, count, sound, channels, rate, bits, step, rendered))
        return rendered;
    // Voices with stages run in sample order first, over every value.
    const uint32_t samples = ValueCount(sound, bits);
    CVoiceTracks tracks(voices, count, step, samples, true);
    tracks.Advance(0, samples, _mm_getcsr(), false);
    voices = tracks.Voices();
    if (!IsNeutralMaster(master)) {
        const MasterPlan plan = MakeMasterPlan(master, rate, samples, static_cast<int>(bits));
        const uint64_t n = bits == 8 ? MasteredLoop<8>(voices, count, sound, step, plan)
                                     : MasteredLoop<16>(voices, count, sound, step, plan);
        if (clipped)
            *clipped = n;
        return true;
    }
    const uint64_t n = bits == 8 ? MixLoop<8>(voices, count, sound.data, sound.dataSize, step)
                                 : MixLoop<16>(voices, count, sound.data, sound.dataSize, step);
    if (clipped)
        *clipped = n;
    return true;
}

bool RenderMix(const RenderVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
               uint32_t rate, uint32_t bits, uint64_t* clipped, RenderCancel cancel, RenderProgress* progress,
               const MixMaster& master)
{
    if (clipped)
        *clipped = 0;
    double step = 0.0;
    bool rendered = false;
    if (!PrepareMix(voices, count, sound, channels, rate, bits, step, rendered))
        return rendered;

    std::vector<VoicePlan> plans;
    plans.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        plans.push_back(MakeVoicePlan(voices[i].params));
    MixJob job;
    job.voices = voices;
    job.plans = plans.data();
    job.count = count;
    job.out = sound.data;
    job.size = sound.dataSize;
    job.samples = ValueCount(sound, bits);
    job.step = step;
    job.bits = static_cast<int>(bits);

    // Every part computes under the caller's floating-point control (rounding mode, flushing of
    // subnormals), as the reference would on the calling thread. The vector functions' error
    // bounds hold for the default (round to nearest, no flushing) only; otherwise every value
    // takes the reference formula.
    const unsigned control = _mm_getcsr();
    constexpr unsigned kRoundingAndFlushing = 0x6000 | 0x8000 | 0x0040;
    const MixKernel kernel = (control & kRoundingAndFlushing) == 0 ? CurrentMixKernel() : MixKernel::Scalar;
    const uint64_t work = static_cast<uint64_t>(job.samples) * count;
    uint32_t parts = work < kMinParallelWork ? 1 : RenderThreads();
    if (work / kWorkPerPart > parts)
        parts = static_cast<uint32_t>(std::min<uint64_t>(work / kWorkPerPart, kMaxParts));
    const uint32_t grains = (job.samples + kPartGrain - 1) / kPartGrain;
    if (parts > grains)
        parts = grains;
    const uint32_t grainsPerPart = (grains + parts - 1) / parts;
    const bool mastered = !IsNeutralMaster(master);
    // Voices with stages run in sample order, a window of values at a time (one window, all
    // the values, when there are none); each window's values are then mixed in parts.
    CVoiceTracks tracks(voices, count, step, job.samples);
    job.voices = tracks.Voices();
    const uint32_t window = tracks.Window();
    const uint32_t windows = (job.samples + window - 1) / window;
    uint64_t from = 0, to = job.samples;
    // The mastering pass may ask for a value again after its window has gone: with stages,
    // the combined values are made exact (the reference's, bound 0) while the window is there.
    const MixKernel centredKernel = tracks.Any() ? MixKernel::Scalar : kernel;
    std::vector<uint64_t> partClips(parts, 0);
    std::vector<double> centred, bounds;
    if (mastered) {
        try {
            centred.resize(job.samples);
            bounds.resize((job.samples + kMasterBlock - 1) / kMasterBlock);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    if (progress) {
        progress->done.store(0);
        const uint32_t partValues = grainsPerPart * kPartGrain;
        progress->total.store(parts * windows + (mastered ? (job.samples + partValues - 1) / partValues : 0));
    }
    auto mixPart = [&](uint32_t part) {
        uint64_t first = static_cast<uint64_t>(part) * grainsPerPart * kPartGrain;
        uint64_t end = first + static_cast<uint64_t>(grainsPerPart) * kPartGrain;
        first = first > from ? first : from;
        end = end < to ? end : to;
        if (first < end && !cancel()) {
            const unsigned own = _mm_getcsr();
            _mm_setcsr(control);
            if (mastered)
                MixCentredRange(job, centredKernel, static_cast<uint32_t>(first), static_cast<uint32_t>(end),
                                master.sum, centred.data(), bounds.data());
            else
                partClips[part] += MixRange(job, kernel, static_cast<uint32_t>(first), static_cast<uint32_t>(end));
            _mm_setcsr(own);
        }
        if (progress)
            progress->done.fetch_add(1, std::memory_order_relaxed);
    };
    for (from = 0; from < job.samples && !cancel(); from = to) {
        to = job.samples - from < window ? job.samples : from + window;
        tracks.Advance(static_cast<uint32_t>(from), static_cast<uint32_t>(to), control);
        RunParts(parts, mixPart);
    }
    if (cancel())
        return false;
    if (mastered) {
        CentredMix mix{job.voices, count, centred.data(), bounds.data(), step,
                       MakeMasterPlan(master, rate, job.samples, job.bits), sound.data, sound.dataSize};
        return FinishMasteredMix(mix, grainsPerPart * kPartGrain, control, cancel, progress, clipped);
    }
    if (clipped)
        for (uint64_t n : partClips)
            *clipped += n;
    return true;
}
