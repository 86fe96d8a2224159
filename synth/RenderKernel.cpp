// Index: [SECTION] Settings  [SECTION] Instruction sets  [SECTION] Dispatch  [SECTION] Contributions
//
// Floating-point contraction (a * b + c fused into one rounding) is off for this whole file:
// the kernels must round every product and sum exactly as the reference does, and the AVX-512
// code would otherwise be fused by the compiler.
#pragma GCC optimize("fp-contract=off")
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#endif

#include "synth/RenderKernel.h"

#include "synth/VoiceStages.h"

#include <immintrin.h>
#include <sleef.h>

#include <atomic>
#include <cmath>

static_assert(SLEEF_VERSION_MAJOR > 3 || (SLEEF_VERSION_MAJOR == 3 && SLEEF_VERSION_MINOR >= 5),
              "the kernels use SLEEF 3.5's x86 entry points");

// Each kernel's functions are compiled for its instruction set whatever the build's own
// target: GCC through its target pragma, clang (the fuzzing build) through an attribute
// applied to every function of the region.
#define KERNEL_PRAGMA(x) _Pragma(#x)
#if defined(__clang__)
#define KERNEL_DECLARED_FOR(isa) __attribute__((target(isa)))
#define KERNEL_TARGET_BEGIN(isa) KERNEL_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define KERNEL_TARGET_END() KERNEL_PRAGMA(clang attribute pop)
#else
#define KERNEL_DECLARED_FOR(isa)
#define KERNEL_TARGET_BEGIN(isa) KERNEL_PRAGMA(GCC push_options) KERNEL_PRAGMA(GCC target(isa))
#define KERNEL_TARGET_END() KERNEL_PRAGMA(GCC pop_options)
#endif

// sleef.h declares its AVX and AVX-512 entry points only when the whole file is compiled for
// those instruction sets; these kernels enable them per function, so they declare the four
// they call (the signatures of SLEEF 3.5). The kernels use the 3.5-ULP functions: with libm's
// own error they stay far inside the 16 ULPs the bounds allow (kRel), and they take about
// half the time of the 1-ULP ones; their argument range (±1e14) holds kArgLimit with room.
extern "C" {
KERNEL_DECLARED_FOR("avx2") __m256d Sleef_sind4_u35avx2(__m256d);
KERNEL_DECLARED_FOR("avx2") __m256d Sleef_asind4_u35avx2(__m256d);
KERNEL_DECLARED_FOR("avx512f") __m512d Sleef_sind8_u35avx512f(__m512d);
KERNEL_DECLARED_FOR("avx512f") __m512d Sleef_asind8_u35avx512f(__m512d);
}

// [SECTION] Settings ---------------------------------------------------------------------------

namespace {

std::atomic<int> g_kernelCap{static_cast<int>(MixKernel::Avx512)};
std::atomic<double> g_errorScale{1.0};
std::atomic<uint64_t> g_fallbackLanes{0};
std::atomic<uint64_t> g_fallbackValues{0};

constexpr double kSlack = 0x1p-48;    // relative slack per rounding, as the kernels allow
constexpr double kFloor = 0x1p-900;   // absolute slack: covers subnormal results
constexpr double kDoubtful = 0x1p900; // a bound past this is treated as unknown
// Above any sine the vector functions return: they are within a few ulps of a true sine.
constexpr double kSineMax = 1.0 + 0x1p-40;

// The kernels' Round and Scale for one number, magnitude at least the rounded result's. Both
// grow with every operand, as does each rounding of their own sums and products, so a bound
// formed from larger operands is never the smaller.
double RoundBound(double lin, double magnitude)
{
    return lin > 0.0 ? lin + (magnitude + lin) * kSlack + kFloor : 0.0;
}
double ScaleBound(double factor, double e)
{
    return e > 0.0 && factor != 0.0 ? std::fabs(factor) * e + kFloor : 0.0;
}

// The kernels' bound on offset + amplitude × sin(x) with the sine at its largest, and the
// largest magnitude of that value; false when a parameter is not finite (the bound is then
// formed per sample).
bool SineBound(double amplitude, double offset, double sineRel, double& bound, double& magnitude)
{
    if (!std::isfinite(amplitude) || !std::isfinite(offset))
        return false;
    const double product = std::fabs(amplitude) * kSineMax;
    magnitude = std::fabs(offset) + product;
    bound = RoundBound(RoundBound(ScaleBound(amplitude, kSineMax * sineRel + kFloor), product), magnitude);
    return true;
}

} // namespace

MixKernel BestMixKernel()
{
    static const MixKernel best = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f"))
            return MixKernel::Avx512;
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
            return MixKernel::Avx2;
        if (__builtin_cpu_supports("sse4.1"))
            return MixKernel::Sse41;
        return MixKernel::Scalar;
    }();
    return best;
}

void SetMixKernel(MixKernel kernel)
{
    g_kernelCap.store(static_cast<int>(kernel));
}

MixKernel CurrentMixKernel()
{
    const int cap = g_kernelCap.load();
    const int best = static_cast<int>(BestMixKernel());
    return static_cast<MixKernel>(cap < best ? cap : best);
}

void SetMixErrorScale(double scale)
{
    g_errorScale.store(scale >= 1.0 ? scale : 1.0);
}

VoicePlan MakeVoicePlan(const VoiceParams& params)
{
    auto widen = [](const Waveform& w) {
        return OscPlan{w.type, w.amplitude, w.amplitudeOffset, w.frequency, w.phase, w.noiseKey};
    };
    VoicePlan plan;
    if (!params.carrierOn)
        plan.mode = VoicePlan::Plain;
    else if (params.am)
        plan.mode = VoicePlan::AM;
    else if (params.fm)
        plan.mode = VoicePlan::FM;
    else if (params.pm)
        plan.mode = VoicePlan::PM;
    else
        plan.mode = VoicePlan::Silent;
    plan.wave = widen(params.wave);
    plan.carrier = widen(params.carrier);
    plan.envelopeOn = params.envelopeOn;
    plan.attack = params.envelope.attack;
    plan.decay = params.envelope.decay;
    plan.sustain = params.envelope.sustain;
    plan.hold = params.envelope.hold;
    plan.release = params.envelope.release;

    const double sineRel = kSlack * g_errorScale.load();
    double magnitude = 0.0;
    plan.waveBound = -1.0;
    if (plan.wave.type == Sine && plan.mode != VoicePlan::AM)
        SineBound(plan.wave.amplitude, plan.wave.offset, sineRel, plan.waveBound, magnitude);
    plan.parameterBound = -1.0;
    double carrierBound = 0.0, carrierMagnitude = 0.0;
    if (plan.mode != VoicePlan::Plain && plan.mode != VoicePlan::Silent && plan.carrier.type == Sine &&
        SineBound(plan.carrier.amplitude, plan.carrier.offset, sineRel, carrierBound, carrierMagnitude)) {
        // The parameter is base + carrier × 100, as the kernels form it.
        const double base = plan.mode == VoicePlan::AM   ? plan.wave.amplitude
                            : plan.mode == VoicePlan::FM ? plan.wave.frequency
                                                         : plan.wave.phase;
        const double pushed = carrierMagnitude * 100.0;
        if (std::isfinite(base))
            plan.parameterBound = RoundBound(RoundBound(ScaleBound(100.0, carrierBound), pushed),
                                             std::fabs(base) + pushed);
    }
    // Without an envelope or a moved amplitude, the voice is its main oscillator: exact unless
    // a sine or a triangle, within amplitude × (1, 2 for a sawtooth) of its offset.
    plan.voiceBound = -1.0;
    plan.voiceMagnitude = 0.0;
    const OscPlan& w = plan.wave;
    if (plan.mode == VoicePlan::Silent) {
        plan.voiceBound = 0.0;
    } else if (!plan.envelopeOn && plan.mode != VoicePlan::AM && std::isfinite(w.amplitude) &&
               std::isfinite(w.offset) && w.type != Triangle) {
        const double peak = w.type == Sawtooth ? 2.0 : (w.type == Square || w.type == Noise ? 1.0 : 0.0);
        plan.voiceBound = w.type == Sine ? plan.waveBound : 0.0;
        plan.voiceMagnitude = w.type == Sine ? magnitude : std::fabs(w.offset) + std::fabs(w.amplitude) * peak;
        if (!(plan.voiceBound <= kDoubtful))
            plan.voiceBound = -1.0;
    }
    plan.sinePair = (plan.mode == VoicePlan::FM || plan.mode == VoicePlan::PM) && !plan.envelopeOn &&
                    plan.carrier.type == Sine && plan.wave.type == Sine && plan.parameterBound >= 0.0 &&
                    plan.waveBound >= 0.0;
    return plan;
}

// [SECTION] Instruction sets -------------------------------------------------------------------

KERNEL_TARGET_BEGIN("sse4.1")
namespace sse41 {
constexpr int W = 2;
typedef double VD __attribute__((vector_size(16)));
typedef long long VM __attribute__((vector_size(16)));
inline VD Splat(double x) { return (VD)_mm_set1_pd(x); }
inline VD Sin(VD x) { return (VD)Sleef_sind2_u35sse4((__m128d)x); }
inline VD Asin(VD x) { return (VD)Sleef_asind2_u35sse4((__m128d)x); }
inline VD Floor(VD x) { return (VD)_mm_floor_pd((__m128d)x); }
inline VD Trunc(VD x) { return (VD)_mm_round_pd((__m128d)x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
inline VD Sqrt(VD x) { return (VD)_mm_sqrt_pd((__m128d)x); }
inline VD ThroughFloat(VD x) { return (VD)_mm_cvtps_pd(_mm_cvtpd_ps((__m128d)x)); }
inline unsigned AnyLane(VM m) { return static_cast<unsigned>(_mm_movemask_pd((__m128d)m)); }
inline void StoreInts(VD x, int* out)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_cvttpd_epi32((__m128d)x));
}
#include "synth/RenderKernelSimd.inl"
} // namespace sse41
KERNEL_TARGET_END()

KERNEL_TARGET_BEGIN("avx2")
namespace avx2 {
constexpr int W = 4;
typedef double VD __attribute__((vector_size(32)));
typedef long long VM __attribute__((vector_size(32)));
inline VD Splat(double x) { return (VD)_mm256_set1_pd(x); }
inline VD Sin(VD x) { return (VD)Sleef_sind4_u35avx2((__m256d)x); }
inline VD Asin(VD x) { return (VD)Sleef_asind4_u35avx2((__m256d)x); }
inline VD Floor(VD x) { return (VD)_mm256_floor_pd((__m256d)x); }
inline VD Trunc(VD x) { return (VD)_mm256_round_pd((__m256d)x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
inline VD Sqrt(VD x) { return (VD)_mm256_sqrt_pd((__m256d)x); }
inline VD ThroughFloat(VD x) { return (VD)_mm256_cvtps_pd(_mm256_cvtpd_ps((__m256d)x)); }
inline unsigned AnyLane(VM m) { return static_cast<unsigned>(_mm256_movemask_pd((__m256d)m)); }
inline void StoreInts(VD x, int* out)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_cvttpd_epi32((__m256d)x));
}
#include "synth/RenderKernelSimd.inl"
} // namespace avx2
KERNEL_TARGET_END()

KERNEL_TARGET_BEGIN("avx512f")
namespace avx512 {
constexpr int W = 8;
typedef double VD __attribute__((vector_size(64)));
typedef long long VM __attribute__((vector_size(64)));
inline VD Splat(double x) { return (VD)_mm512_set1_pd(x); }
inline VD Sin(VD x) { return (VD)Sleef_sind8_u35avx512f((__m512d)x); }
inline VD Asin(VD x) { return (VD)Sleef_asind8_u35avx512f((__m512d)x); }
// The masked forms with an explicit source: the plain ones start from an undefined register,
// which GCC 12 reports as maybe uninitialised.
constexpr __mmask8 kAll = 0xFF;
inline VD Floor(VD x)
{
    return (VD)_mm512_mask_roundscale_pd((__m512d)x, kAll, (__m512d)x, _MM_FROUND_TO_NEG_INF);
}
inline VD Trunc(VD x)
{
    return (VD)_mm512_mask_roundscale_pd((__m512d)x, kAll, (__m512d)x, _MM_FROUND_TO_ZERO);
}
inline VD Sqrt(VD x) { return (VD)_mm512_mask_sqrt_pd((__m512d)x, kAll, (__m512d)x); }
inline VD ThroughFloat(VD x)
{
    const __m256 narrow = _mm512_mask_cvtpd_ps(_mm256_setzero_ps(), kAll, (__m512d)x);
    return (VD)_mm512_mask_cvtps_pd((__m512d)x, kAll, narrow);
}
inline unsigned AnyLane(VM m) { return _mm512_test_epi64_mask((__m512i)m, (__m512i)m); }
inline void StoreInts(VD x, int* out)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                        _mm512_mask_cvttpd_epi32(_mm256_setzero_si256(), kAll, (__m512d)x));
}
#include "synth/RenderKernelSimd.inl"
} // namespace avx512
KERNEL_TARGET_END()

static_assert(avx2::kRel == kSlack && avx2::kTiny == kFloor && avx2::kHuge == kDoubtful,
              "the fixed bounds of a plan are formed with the kernels' own slack");

// [SECTION] Dispatch ---------------------------------------------------------------------------

namespace {

// The time of value first: first steps added one at a time from 0, as the reference loop
// forms it.
double StartTime(double step, uint32_t first)
{
    double t = 0.0;
    for (uint32_t i = 0; i < first; ++i)
        t += step;
    return t;
}

MixKernel Capped(MixKernel kernel)
{
    const MixKernel best = BestMixKernel();
    return static_cast<int>(kernel) > static_cast<int>(best) ? best : kernel;
}

// The bound SumLanes forms on every lane of a job whose voices all have fixed bounds, from
// their largest magnitudes; -1 when a voice's bound varies or a voice runs stages (its values
// are not bounded by its plan).
double FixedSumBound(const MixJob& job)
{
    const bool eight = job.bits == 8;
    const double scale = eight ? 127.0 : 32767.0;
    double bound = 0.0, magnitude = 0.0;
    for (uint32_t k = 0; k < job.count; ++k) {
        const VoicePlan& plan = job.plans[k];
        if (job.voices[k].track || !(plan.voiceBound >= 0.0))
            return -1.0;
        const double scaled = plan.voiceMagnitude * scale;
        magnitude = magnitude + scaled;
        bound = RoundBound(bound + RoundBound(ScaleBound(scale, plan.voiceBound), scaled), magnitude);
        if (eight) {
            magnitude = magnitude + 127.0;
            bound = RoundBound(bound, magnitude);
        }
    }
    return bound;
}

void AddFallbacks(const MixFallbacks& fallbacks)
{
    if (fallbacks.voiceLanes > 0)
        g_fallbackLanes.fetch_add(fallbacks.voiceLanes, std::memory_order_relaxed);
    if (fallbacks.values > 0)
        g_fallbackValues.fetch_add(fallbacks.values, std::memory_order_relaxed);
}

} // namespace

MixFallbacks MixFallbackCounts()
{
    return MixFallbacks{g_fallbackLanes.load(), g_fallbackValues.load()};
}

void MixKernelFunctions(MixKernel kernel, const double* x, double* sines, double* arcsines, uint32_t n)
{
    const MixKernel best = BestMixKernel();
    switch (static_cast<int>(kernel) > static_cast<int>(best) ? best : kernel) {
    case MixKernel::Avx512:
        return avx512::Functions(x, sines, arcsines, n);
    case MixKernel::Avx2:
        return avx2::Functions(x, sines, arcsines, n);
    case MixKernel::Sse41:
        return sse41::Functions(x, sines, arcsines, n);
    case MixKernel::Scalar:
        break;
    }
    for (uint32_t i = 0; i < n; ++i) {
        sines[i] = std::sin(x[i]);
        arcsines[i] = std::asin(sines[i]);
    }
}

void MixKernelVoice(MixKernel kernel, const VoicePlan& plan, const double* times, uint32_t n,
                    double* values, double* bounds, bool* fallback)
{
    const double sineRel = 0x1p-48 * g_errorScale.load();
    const MixKernel best = BestMixKernel();
    switch (static_cast<int>(kernel) > static_cast<int>(best) ? best : kernel) {
    case MixKernel::Avx512:
        return avx512::VoiceValues(plan, times, n, sineRel, values, bounds, fallback);
    case MixKernel::Avx2:
        return avx2::VoiceValues(plan, times, n, sineRel, values, bounds, fallback);
    case MixKernel::Sse41:
        return sse41::VoiceValues(plan, times, n, sineRel, values, bounds, fallback);
    case MixKernel::Scalar:
        break;
    }
    for (uint32_t i = 0; i < n; ++i) {
        values[i] = 0.0;
        bounds[i] = 0.0;
        fallback[i] = true;
    }
}

uint64_t MixRange(const MixJob& job, MixKernel kernel, uint32_t first, uint32_t end)
{
    double t = StartTime(job.step, first);
    const double sineRel = 0x1p-48 * g_errorScale.load();
    kernel = Capped(kernel);
    MixFallbacks fallbacks{0, 0};
    uint64_t clipped = 0;
    const double fixed = kernel == MixKernel::Scalar ? -1.0 : FixedSumBound(job);
    switch (kernel) {
    case MixKernel::Avx512:
        clipped = avx512::MixLanes(job, first, end, t, sineRel, fixed, fallbacks);
        break;
    case MixKernel::Avx2:
        clipped = avx2::MixLanes(job, first, end, t, sineRel, fixed, fallbacks);
        break;
    case MixKernel::Sse41:
        clipped = sse41::MixLanes(job, first, end, t, sineRel, fixed, fallbacks);
        break;
    case MixKernel::Scalar: {
        bool clip = false;
        for (uint32_t index = first; index < end; ++index) {
            if (job.bits == 8)
                StoreMixValue<8>(job.out, job.size, index, MixValueReference<8>(job.voices, job.count, t, &clip));
            else
                StoreMixValue<16>(job.out, job.size, index, MixValueReference<16>(job.voices, job.count, t, &clip));
            clipped += clip;
            t += job.step;
        }
        return clipped;
    }
    }
    AddFallbacks(fallbacks);
    return clipped;
}

void MixCentredRange(const MixJob& job, MixKernel kernel, uint32_t first, uint32_t end, bool sum, double* values,
                     double* bounds)
{
    double t = StartTime(job.step, first);
    const double sineRel = 0x1p-48 * g_errorScale.load();
    kernel = Capped(kernel);
    MixFallbacks fallbacks{0, 0};
    switch (kernel) {
    case MixKernel::Avx512:
        avx512::CentredLanes(job, first, end, t, sineRel, sum, values, bounds, fallbacks);
        break;
    case MixKernel::Avx2:
        avx2::CentredLanes(job, first, end, t, sineRel, sum, values, bounds, fallbacks);
        break;
    case MixKernel::Sse41:
        sse41::CentredLanes(job, first, end, t, sineRel, sum, values, bounds, fallbacks);
        break;
    case MixKernel::Scalar:
        for (uint32_t index = first; index < end; ++index) {
            if (index % kMasterBlock == 0)
                bounds[index / kMasterBlock] = 0.0;
            values[index] = job.bits == 8 ? MixCentredReference<8>(job.voices, job.count, t, sum)
                                          : MixCentredReference<16>(job.voices, job.count, t, sum);
            t += job.step;
        }
        return;
    }
    AddFallbacks(fallbacks);
}

// [SECTION] Contributions ----------------------------------------------------------------------

namespace {

// A voice with stages, through the reference in sample order from value 0.
void ContributionRun(const VoiceParams& params, double scale, double step, uint32_t first, uint32_t end,
                     const Contribution& out)
{
    CVoiceRun run(params, step);
    double values[kContributionBlock];
    for (uint32_t start = 0; start < end; start += kContributionBlock) {
        const uint32_t n = end - start < kContributionBlock ? end - start : kContributionBlock;
        run.Run(values, n);
        if (start < first)
            continue;
        const uint32_t block = start / kContributionBlock;
        out.bounds[block] = out.peaks[block] = 0.0;
        for (uint32_t i = 0; i < n; ++i) {
            const double scaled = values[i] * scale;
            out.values[start + i] = scaled;
            if (out.track)
                out.track[start + i] = values[i];
            if (!(std::fabs(scaled) <= out.peaks[block]))
                out.peaks[block] = std::fabs(scaled);
        }
    }
}

} // namespace

void ContributionRange(const RenderVoice& voice, const VoicePlan& plan, double scale, double step,
                       MixKernel kernel, uint32_t first, uint32_t end, const Contribution& out)
{
    double t = StartTime(step, first);
    const double sineRel = 0x1p-48 * g_errorScale.load();
    kernel = Capped(kernel);
    MixFallbacks fallbacks{0, 0};
    if (UsesStages(voice.params)) {
        ContributionRun(voice.params, scale, step, first, end, out);
        return;
    }
    switch (kernel) {
    case MixKernel::Avx512:
        avx512::ContributionLanes(voice, plan, scale, step, first, end, t, sineRel, out, fallbacks);
        break;
    case MixKernel::Avx2:
        avx2::ContributionLanes(voice, plan, scale, step, first, end, t, sineRel, out, fallbacks);
        break;
    case MixKernel::Sse41:
        sse41::ContributionLanes(voice, plan, scale, step, first, end, t, sineRel, out, fallbacks);
        break;
    case MixKernel::Scalar:
        for (uint32_t index = first; index < end; ++index) {
            const uint32_t block = index / kContributionBlock;
            if (index % kContributionBlock == 0)
                out.bounds[block] = out.peaks[block] = 0.0;
            const double scaled = SampleVoice(voice.params, t) * scale;
            out.values[index] = scaled;
            if (!(std::fabs(scaled) <= out.peaks[block]))
                out.peaks[block] = std::fabs(scaled);
            t += step;
        }
        return;
    }
    AddFallbacks(fallbacks);
}

namespace {

// How far the mean formed from the kept contributions of one block can be from the
// reference's mean, before the division's own rounding: 0 when every contribution of the block
// is exact. Both sums take the same roundings in the same order on operands at most the
// contributions' bounds apart, and each rounding adds at most |partial sum| × 2^-53 on each
// side; no partial sum exceeds the peaks plus the bounds (plus 127 a voice at 8 bits).
double BlockSumBound(const ContributionMix& mix, uint32_t block)
{
    double bound = 0.0, peak = 0.0;
    for (uint32_t k = 0; k < mix.count; ++k) {
        bound += mix.contributions[k].bounds[block];
        peak += mix.contributions[k].peaks[block];
    }
    if (bound == 0.0)
        return 0.0;
    if (mix.bits == 8)
        peak += 127.0 * mix.count;
    const double roundings = mix.bits == 8 ? 2.0 * mix.count : mix.count;
    return (bound + roundings * ((peak + bound) * kSlack + kFloor)) * (1.0 + kSlack);
}

template <int Bits>
uint64_t MixContributionRange(const ContributionMix& mix, uint32_t first, uint32_t end)
{
    constexpr double low = Bits == 8 ? 0.0 : -32767.0;
    constexpr double high = Bits == 8 ? 255.0 : 32767.0;
    const double voiceCount = static_cast<double>(mix.count);
    uint64_t clipped = 0;
    double t = 0.0; // the time of the value at hand, formed as the reference forms it
    for (uint32_t i = 0; i < first; ++i)
        t += mix.step;
    double sums[kContributionBlock];
    for (uint32_t start = first; start < end; start += kContributionBlock) {
        const uint32_t n = end - start < kContributionBlock ? end - start : kContributionBlock;
        // Voice by voice over the block: each value still takes its voices in the mix's order.
        for (uint32_t i = 0; i < n; ++i)
            sums[i] = 0.0;
        for (uint32_t k = 0; k < mix.count; ++k) {
            const double* values = mix.contributions[k].values + start;
            for (uint32_t i = 0; i < n; ++i) {
                if constexpr (Bits == 8)
                    sums[i] = sums[i] + values[i] + 127.0;
                else
                    sums[i] = sums[i] + values[i];
            }
        }
        const double sumBound = BlockSumBound(mix, start / kContributionBlock);
        for (uint32_t i = 0; i < n; ++i) {
            const double mean = sums[i] / voiceCount;
            bool clip = mean < low || mean > high;
            int value = static_cast<int>(mean < low ? low : (mean > high ? high : mean));
            if (sumBound > 0.0 || !(std::fabs(mean) <= 0x1p1000)) {
                const double e = sumBound / voiceCount * (1.0 + kSlack) + std::fabs(mean) * kSlack + kFloor;
                const double below = mean - e, above = mean + e;
                const double lo = below < low ? low : (below > high ? high : below);
                const double hi = above < low ? low : (above > high ? high : above);
                const bool unsure = !(std::fabs(mean) <= 0x1p1000) || !(e <= kDoubtful) ||
                                    std::trunc(lo) != std::trunc(hi) || (below < low) != (above < low) ||
                                    (below > high) != (above > high);
                if (unsure) {
                    value = MixValueReference<Bits>(mix.voices, mix.count, t, &clip);
                    g_fallbackValues.fetch_add(1, std::memory_order_relaxed);
                }
            }
            clipped += clip;
            StoreMixValue<Bits>(mix.out, mix.size, start + i, value);
            t += mix.step;
        }
    }
    return clipped;
}

} // namespace

uint64_t MixContributions(const ContributionMix& mix, uint32_t first, uint32_t end)
{
    return mix.bits == 8 ? MixContributionRange<8>(mix, first, end) : MixContributionRange<16>(mix, first, end);
}

void CentredContributions(const ContributionMix& mix, bool sum, uint32_t first, uint32_t end, double* values,
                          double* bounds)
{
    const double voiceCount = static_cast<double>(mix.count);
    const double silence = mix.bits == 8 ? (sum ? 127.0 * mix.count : 127.0) : 0.0;
    for (uint32_t start = first; start < end; start += kContributionBlock) {
        const uint32_t n = end - start < kContributionBlock ? end - start : kContributionBlock;
        double* x = values + start;
        // Voice by voice over the block: each value still takes its voices in the mix's order.
        for (uint32_t i = 0; i < n; ++i)
            x[i] = 0.0;
        for (uint32_t k = 0; k < mix.count; ++k) {
            const double* contribution = mix.contributions[k].values + start;
            for (uint32_t i = 0; i < n; ++i)
                x[i] = mix.bits == 8 ? x[i] + contribution[i] + 127.0 : x[i] + contribution[i];
        }
        double peak = 0.0;
        for (uint32_t i = 0; i < n; ++i) {
            if (!sum)
                x[i] = x[i] / voiceCount;
            if (mix.bits == 8)
                x[i] = x[i] - silence;
            peak = std::fabs(x[i]) > peak ? std::fabs(x[i]) : peak;
        }
        // The sum's bound, carried through the division and the subtraction, each rounding
        // adding its share.
        double bound = BlockSumBound(mix, start / kContributionBlock);
        if (bound > 0.0) {
            if (!sum)
                bound = bound / voiceCount * (1.0 + kSlack) + peak * kSlack + kFloor;
            if (mix.bits == 8)
                bound = bound * (1.0 + kSlack) + (peak + bound) * kSlack + kFloor;
        }
        bounds[start / kContributionBlock] = bound;
    }
}
