// The mixing kernels behind RenderMix. The reference is the plain loop over samples and
// voices with libm's sine: it defines the output. The vectorised kernels evaluate several
// consecutive samples of one voice at once with SLEEF and must reproduce the reference byte
// for byte: every value derived from a vectorised sine carries a bound on how far it can be
// from the reference's value, and a lane whose bound could change a rounding to float, a
// square's sign or the final truncation is evaluated again with libm. Noise involves no
// approximation: its step index comes from the same double operations as the reference and
// its value from the same hash, one lane at a time. A voice with stages is run by the
// reference in sample order before the mix (VoiceTrack); every kernel reads its values. Not
// thread-aware: the caller splits the samples (see WorkerPool.h).
#pragma once

#include "synth/Master.h"
#include "synth/Render.h"

#include <cmath>
#include <cstdint>

// RenderMix computed by the plain scalar loop; same contract, same bytes. A master that is not
// neutral takes two loops: the peak (when normalising), then the values.
bool RenderMixReference(const RenderVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
                        uint32_t rate, uint32_t bits, uint64_t* clipped = nullptr,
                        const MixMaster& master = MixMaster());

// Checks the depth, finds the length of the longest voice, allocates the sound's block and
// works out the time step: what every way of rendering shares. Returns false when nothing is
// to be rendered; rendered tells whether the call succeeded (an empty render succeeds).
bool PrepareMix(const RenderVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
                uint32_t rate, uint32_t bits, double& step, bool& rendered);

// The reference's value at time t, before it is cut to bytes: the average of the voices'
// scaled outputs, clamped, truncated toward zero. bits is 8 or 16. *clipped (when given) tells
// whether the clamp took the value: the average lay outside the format's range.
template <int Bits>
inline int MixValueReference(const RenderVoice* voices, uint32_t count, double t, bool* clipped = nullptr)
{
    double sum = MixVoiceSum<Bits>(voices, count, t) / static_cast<double>(count);
    if (clipped)
        *clipped = Bits == 8 ? (sum < 0.0 || sum > 255.0) : (sum < -32767.0 || sum > 32767.0);
    if constexpr (Bits == 8)
        sum = sum < 0.0 ? 0.0 : (sum > 255.0 ? 255.0 : sum);
    else
        sum = sum < -32767.0 ? -32767.0 : (sum > 32767.0 ? 32767.0 : sum);
    return static_cast<int>(sum);
}

// Stores value number index of a block of size bytes; a 16-bit value past the end keeps only
// its first byte.
template <int Bits>
inline void StoreMixValue(uint8_t* out, uint32_t size, uint32_t index, int value)
{
    if constexpr (Bits == 8) {
        out[index] = static_cast<uint8_t>(value);
    } else {
        const uint16_t bits = static_cast<uint16_t>(static_cast<int16_t>(value));
        const uint32_t at = 2 * index;
        out[at] = static_cast<uint8_t>(bits & 0xFF);
        if (at + 1 < size)
            out[at + 1] = static_cast<uint8_t>(bits >> 8);
    }
}

// The instruction sets a kernel can use, narrowest first.
enum class MixKernel : int {
    Scalar = 0, // the reference formula per sample
    Sse41 = 1,  // two samples at a time
    Avx2 = 2,   // four (AVX2 with FMA)
    Avx512 = 3, // eight (AVX-512F)
};

// The widest kernel this processor runs.
MixKernel BestMixKernel();
// Caps the kernel RenderMix uses, process-wide (for tests and benchmarks); the default is
// the best. A kernel the processor lacks is never used.
void SetMixKernel(MixKernel kernel);
MixKernel CurrentMixKernel();

// Multiplies the error bound assumed for the vectorised sine and arcsine (default 1). Only
// tests change it: a huge factor sends most lanes to the libm fallback, which must still
// give the reference's bytes. A plan (MakeVoicePlan) keeps the scale in force when it was
// made for its fixed bounds; any scale (never below 1) gives bounds that hold.
void SetMixErrorScale(double scale);

// The per-voice constants the vectorised kernels read: the voice's parameters widened to
// double once, which formula applies, and the bounds that hold for every sample of the voice.
struct OscPlan {
    int32_t type;
    double amplitude, offset, frequency, phase;
    uint64_t noiseKey;
};
struct VoicePlan {
    enum Mode : int32_t { Plain, AM, FM, PM, Silent };
    Mode mode;
    OscPlan wave, carrier;
    bool envelopeOn;
    double attack, decay, sustain, hold, release;
    // Bounds never smaller than the ones the kernels would form sample by sample (|sin| is at
    // most 1), or -1 where they must be formed per sample: waveBound for the main oscillator's
    // value (a sine whose amplitude no carrier moves), parameterBound for the parameter a sine
    // carrier moves, before its rounding to float. voiceBound bounds the voice's value the same
    // way (-1 when it varies from sample to sample), and voiceMagnitude its largest magnitude,
    // libm's value included.
    double waveBound, parameterBound, voiceBound, voiceMagnitude;
    // FM or PM of a sine by a sine, no envelope, both bounds fixed.
    bool sinePair;
};
VoicePlan MakeVoicePlan(const VoiceParams& params);

// How often the vectorised kernels fell back to libm since the process started: voice lanes
// evaluated again, and whole values computed again by the reference formula.
struct MixFallbacks {
    uint64_t voiceLanes;
    uint64_t values;
};
MixFallbacks MixFallbackCounts();

// The kernel's own sine of each x and arcsine of that sine, n values (for tests of the error
// bound the kernels assume). The scalar kernel uses libm.
void MixKernelFunctions(MixKernel kernel, const double* x, double* sines, double* arcsines, uint32_t n);

// One voice through the kernel at n times, as a render evaluates it before any fallback: the
// value, its error bound (0 when it is the reference's value) and whether the kernel would
// have sent the lane to libm (tests check the bound against SampleVoice).
void MixKernelVoice(MixKernel kernel, const VoicePlan& plan, const double* times, uint32_t n,
                    double* values, double* bounds, bool* fallback);

// One render as the kernels see it.
struct MixJob {
    const RenderVoice* voices;
    const VoicePlan* plans; // one per voice
    uint32_t count;         // voices, at least 1
    uint8_t* out;
    uint32_t size;    // bytes
    uint32_t samples; // values to compute: size / bytes per value, rounded up
    double step;      // seconds between values
    int bits;         // 8 or 16
};

// Computes values [first, end) of the job with kernel (capped at BestMixKernel()). The time of
// value i is the sum of i steps added one at a time from 0, as the reference loop forms it, so
// any split of the values gives the same bytes. Returns how many of them the clamp took (the
// reference's count, whatever the kernel).
uint64_t MixRange(const MixJob& job, MixKernel kernel, uint32_t first, uint32_t end);
// The job's combined values [first, end) (first a multiple of kMasterBlock) as
// MixCentredReference forms them, summed or averaged, to within each block's bound
// (CentredMix), for a master that is not neutral.
void MixCentredRange(const MixJob& job, MixKernel kernel, uint32_t first, uint32_t end, bool sum, double* values,
                     double* bounds);

// --- One voice's share of a mix, kept apart so that a mix can be summed again without it.
// A voice's contribution to value i is SampleVoice(params, t_i) × scale, scale being 32767 for
// 16 bits and 127 for 8 bits (the 8-bit mix adds 127 after each voice's product, so the
// products are what is kept). The kernels compute it to within a bound; per block of
// kContributionBlock values the contribution keeps the largest bound and the largest
// magnitude, and a sum of contributions whose bound could change a value is formed again by
// the reference (MixContributions).
constexpr uint32_t kContributionBlock = 64;

// Where the contribution of one voice lives: values[i] for the value i of the mix,
// bounds[b] and peaks[b] for block b (values b × kContributionBlock onwards).
struct Contribution {
    double* values;
    double* bounds;
    double* peaks;
    double* track = nullptr; // a voice with stages: its own values, for a VoiceTrack
};

// Computes values [first, end) of the voice's contribution, first a multiple of
// kContributionBlock, step the mix's time step. Blocks are filled whole except the last. A
// voice with stages is run by the reference in sample order from value 0 (so give it one
// range from 0), its values also kept in out.track; its bounds are 0.
void ContributionRange(const RenderVoice& voice, const VoicePlan& plan, double scale, double step,
                       MixKernel kernel, uint32_t first, uint32_t end, const Contribution& out);

// The contributions of a mix, in the mix's voice order.
struct ContributionMix {
    const RenderVoice* voices; // for the reference, where a bound leaves a value in doubt
    const Contribution* contributions;
    uint32_t count; // at least 1
    uint8_t* out;
    uint32_t size;
    double step;
    int bits;
};

// Values [first, end) of the mix (first a multiple of kContributionBlock): the bytes and the
// clip count RenderMix gives for the same voices. Returns the clip count of the range.
uint64_t MixContributions(const ContributionMix& mix, uint32_t first, uint32_t end);
// The same values as MixCentredRange, from the contributions.
void CentredContributions(const ContributionMix& mix, bool sum, uint32_t first, uint32_t end, double* values,
                          double* bounds);
static_assert(kMasterBlock == kContributionBlock, "a block's bound covers the same values either way");
