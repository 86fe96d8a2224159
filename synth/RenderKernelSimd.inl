// The body of one vectorised mixing kernel, included once per instruction set by
// RenderKernel.cpp inside a namespace that defines W (lanes), the vector types VD (double) and
// VM (64-bit lane masks) and these helpers: Splat, Sin, Asin, Floor, Trunc, Sqrt,
// ThroughFloat (rounds each lane to float and back), AnyLane (bit l set when lane l of a mask
// is set) and StoreInts (truncates to int32).
//
// How exactness is kept. Every lane carries, next to its value v, a bound e on |v - r| where
// r is the value the reference computes for the same voice and time. e = 0 means the lane
// went through the same IEEE operations on the same operands as the reference, so it is the
// same number. A sine or arcsine from SLEEF and one from libm are each within 1 ulp of the
// true value; the bound assumes 16 ulps between them. Each later operation grows the bound by
// its operands' bounds times the operation's slope, plus the rounding of both results
// (Round). Wherever a discrete choice follows (a square's sign, the rounding of a modulated
// parameter to float, the final clamp and truncation), the choice is taken from the vector
// only if it is the same across the whole bound; otherwise the lane is evaluated again with
// libm, which gives the reference's value exactly. A bound that depends on the sample only
// through a sine's magnitude is taken from the voice's plan instead, formed once with the sine
// at its largest (and a mix's bound likewise, when every voice's is fixed): never smaller, it
// can only send more lanes to libm.

// Everything below is inlined into the block loop: vectors then stay in registers.
#define QW_KERNEL_INLINE inline __attribute__((always_inline))

constexpr double kTwoPi = 6.283185308; // the voice formulas' constants, as Voice.cpp has them
constexpr double kHalfPi = 1.570796327;
constexpr double kInvHalfPiUp = 0.6367; // above 1 / kHalfPi
constexpr double kRel = 0x1p-48;        // relative slack per rounding: 16 ulps
constexpr double kTiny = 0x1p-900;      // absolute slack: covers subnormal results
constexpr double kArgLimit = 0x1p40;    // sine arguments beyond this go to libm
constexpr double kHuge = 0x1p900;       // a bound past this is treated as unknown

QW_KERNEL_INLINE VD Zero() { return Splat(0.0); }

QW_KERNEL_INLINE VD Abs(VD x) { return (VD)((VM)x & 0x7fffffffffffffffLL); }

QW_KERNEL_INLINE VD Max(VD a, VD b) { return a > b ? a : b; }
QW_KERNEL_INLINE VD Min(VD a, VD b) { return a < b ? a : b; }

// The bound on a rounded result whose exact values (fast and reference) are at most lin
// apart; zero stays zero.
QW_KERNEL_INLINE VD Round(VD lin, VD z)
{
    return lin > 0.0 ? lin + (Abs(z) + lin) * kRel + kTiny : Zero();
}

// The bound on factor × x given the bound e of x, for a factor known exactly; it never
// underflows to zero while e is not zero and the factor is not.
QW_KERNEL_INLINE VD Scale(VD factor, VD e)
{
    return ((e > 0.0) & (factor != 0.0)) ? Abs(factor) * e + kTiny : Zero();
}

// The bound between SLEEF's and libm's sine of the same argument.
QW_KERNEL_INLINE VD SineBound(VD s, double relative) { return Abs(s) * relative + kTiny; }

// How far apart asin can be at two points at most e apart, one of them s. The slope bound
// 1 / sqrt(1 - q²) holds while q = |s| + e stays clear of 1; the square-root bound holds
// everywhere (asin moves by at most 1.6·√e over any interval of length e ≤ 1, and by π at
// most).
QW_KERNEL_INLINE VD AsinSpread(VD s, VD e)
{
    const VD q = Abs(s) + e;
    const VD r = (1.0 - q) * (1.0 + q);
    const VD root = Min(Sqrt(e) * 1.6001, Splat(3.1416));
    const VD clear = r > 0x1p-20 ? r : Splat(1.0);
    const VD slope = e / Sqrt(clear) * 1.0001;
    return r > 0x1p-20 ? Min(slope, root) : root;
}

// One oscillator at times t, with any of its parameters given per lane. Lanes whose value the
// vector cannot vouch for are added to bad. A sine takes fixed (when not negative) as its
// bound on every lane instead of forming one per lane.
QW_KERNEL_INLINE void Oscillator(int32_t type, uint64_t noiseKey, VD amplitude, VD offset, VD frequency, VD phase,
                                 VD t, double sineRel, double fixed, VD& v, VD& e, VM& bad)
{
    const VD u = t + phase;
    const VD theta = u * kTwoPi;
    switch (type) {
    case Sine: {
        const VD x = theta * frequency;
        bad |= ~(Abs(x) <= kArgLimit);
        const VD s = Sin(x);
        const VD p = amplitude * s;
        v = offset + p;
        if (fixed >= 0.0)
            e = Splat(fixed);
        else
            e = Round(Round(Scale(amplitude, SineBound(s, sineRel)), p), v);
        return;
    }
    case Triangle: {
        const VD x = theta * frequency;
        bad |= ~(Abs(x) <= kArgLimit);
        const VD s = Sin(x);
        const VD a = Asin(s);
        const VD ea = AsinSpread(s, SineBound(s, sineRel)) + SineBound(a, sineRel);
        const VD p = amplitude * a;
        const VD q = p / kHalfPi;
        v = offset + q;
        e = Round(Round(Scale(Splat(kInvHalfPiUp), Round(Scale(amplitude, ea), p)), q), v);
        return;
    }
    case Sawtooth: {
        const VD cycles = u * frequency;
        v = offset + (amplitude * 2.0) * (cycles - Floor(cycles + 0.5));
        e = Zero();
        return;
    }
    case Square: {
        const VD x = theta * frequency;
        bad |= ~(Abs(x) <= kArgLimit);
        const VD s = Sin(x);
        bad |= ~(Abs(s) > SineBound(s, sineRel));
        v = s < 0.0 ? offset - amplitude : offset + amplitude;
        e = Zero();
        return;
    }
    case Noise: {
        // The step index is the reference's (same operands, same roundings); the hash has no
        // vector form worth its cost, so each lane calls the reference's own function.
        const VD cycles = u * frequency;
        VD n;
        for (int l = 0; l < W; ++l)
            n[l] = NoiseValue(noiseKey, cycles[l]);
        v = offset + amplitude * n;
        e = Zero();
        return;
    }
    default:
        v = Zero();
        e = Zero();
        return;
    }
}

QW_KERNEL_INLINE void Oscillator(const OscPlan& o, VD t, double sineRel, double fixed, VD& v, VD& e, VM& bad)
{
    Oscillator(o.type, o.noiseKey, Splat(o.amplitude), Splat(o.offset), Splat(o.frequency), Splat(o.phase), t,
               sineRel, fixed, v, e, bad);
}

// The envelope's gain: the same operations as EnvelopeGain, every stage computed and the
// stage chosen per lane by the same comparisons, so the gain is exact.
QW_KERNEL_INLINE VD Gain(const VoicePlan& p, VD t)
{
    const double a = p.attack, d = p.decay, s = p.sustain, h = p.hold, r = p.release;
    const VD attack = a > 0.0 ? 1.0 - (a - t) / a : Splat(1.0);
    const VD u = t - a;
    const VD decay = 1.0 - (1.0 - (d - u) / d) * (1.0 - s);
    const VD w = u - d;
    const VD v = w - h;
    const VD release = (r - v) / r * s;
    VD g = v <= r ? release : Zero();
    g = w <= h ? Splat(s) : g;
    g = u <= d ? decay : g;
    return t <= a ? attack : g;
}

// A carrier-modulated voice at times t, before its envelope: mode, carrierType and waveType
// are the plan's, given apart so that a caller passing constants has them folded away; pair
// tells that the plan is a sine pair (both bounds fixed).
QW_KERNEL_INLINE void ModulatedLanes(const VoicePlan& p, VoicePlan::Mode mode, int32_t carrierType,
                                     int32_t waveType, bool pair, VD t, double sineRel, VD& v, VD& e, VM& bad)
{
    // With the parameter's bound fixed, the carrier's own is not looked at.
    const bool fixed = pair || p.parameterBound >= 0.0;
    const OscPlan& k = p.carrier;
    VD c, ec;
    Oscillator(carrierType, k.noiseKey, Splat(k.amplitude), Splat(k.offset), Splat(k.frequency), Splat(k.phase), t,
               sineRel, fixed ? 0.0 : -1.0, c, ec, bad);
    const double base = mode == VoicePlan::AM   ? p.wave.amplitude
                        : mode == VoicePlan::FM ? p.wave.frequency
                                                : p.wave.phase;
    const VD pushed = c * 100.0;
    const VD y = base + pushed;
    VD ey;
    if (fixed)
        ey = Splat(p.parameterBound);
    else
        ey = Round(Round(Scale(Splat(100.0), ec), pushed), y);
    const VD moved = ThroughFloat(y);
    // The parameter is exact when every value within the bound rounds to the same float.
    bad |= (ey > 0.0) & (ThroughFloat(y - ey) != ThroughFloat(y + ey));
    const OscPlan& w = p.wave;
    const VD amplitude = mode == VoicePlan::AM ? moved : Splat(w.amplitude);
    const VD frequency = mode == VoicePlan::FM ? moved : Splat(w.frequency);
    const VD phase = mode == VoicePlan::PM ? moved : Splat(w.phase);
    Oscillator(waveType, w.noiseKey, amplitude, Splat(w.offset), frequency, phase, t, sineRel,
               pair ? 0.0 : p.waveBound, v, e, bad);
    if (pair)
        e = Splat(p.waveBound);
}

// One voice at times t: SampleVoice's formula.
QW_KERNEL_INLINE void VoiceLanes(const VoicePlan& p, VD t, double sineRel, VD& v, VD& e, VM& bad)
{
    if (p.sinePair) { // the most common voice, its choices made once
        if (p.mode == VoicePlan::FM)
            ModulatedLanes(p, VoicePlan::FM, Sine, Sine, true, t, sineRel, v, e, bad);
        else
            ModulatedLanes(p, VoicePlan::PM, Sine, Sine, true, t, sineRel, v, e, bad);
        return;
    }
    if (p.mode == VoicePlan::Silent) {
        v = Zero();
        e = Zero();
        return;
    }
    if (p.mode == VoicePlan::Plain)
        Oscillator(p.wave, t, sineRel, p.waveBound, v, e, bad);
    else
        ModulatedLanes(p, p.mode, p.carrier.type, p.wave.type, false, t, sineRel, v, e, bad);
    if (p.envelopeOn) {
        const VD g = Gain(p, t);
        const VD gained = v * g;
        e = Round(Scale(g, e), gained);
        v = gained;
    }
}

// The voices of the job at times, added in list order as the reference adds them (the 8-bit
// silence level after each voice): sum, with bound its distance from the reference's. With
// Fixed, fixed is the bound on every lane (FixedSumBound) and none is formed.
template <bool Fixed>
QW_KERNEL_INLINE void SumLanes(const MixJob& job, VD times, double sineRel, double fixed, MixFallbacks& fallbacks,
                               VD& sum, VD& bound)
{
    const bool eight = job.bits == 8;
    const double scale = eight ? 127.0 : 32767.0;
    sum = Zero();
    bound = Zero();
    for (uint32_t k = 0; k < job.count; ++k) {
        VD v, e;
        VM bad = (VM)Zero();
        if (const VoiceTrack* track = job.voices[k].track) { // the reference's own values
            for (int l = 0; l < W; ++l)
                v[l] = track->At(times[l]);
            e = Zero();
        } else {
            VoiceLanes(job.plans[k], times, sineRel, v, e, bad);
        }
        if (!Fixed)
            bad |= ~(e <= kHuge);
        if (unsigned lanes = AnyLane(bad)) {
            for (int l = 0; l < W; ++l) {
                if (lanes & (1u << l)) {
                    ++fallbacks.voiceLanes;
                    v[l] = RenderVoiceValue(job.voices[k], times[l]);
                    e[l] = 0.0;
                }
            }
        }
        const VD scaled = v * scale;
        sum = sum + scaled;
        if (!Fixed)
            bound = Round(bound + Round(Scale(Splat(scale), e), scaled), sum);
        if (eight) {
            sum = sum + 127.0;
            if (!Fixed)
                bound = Round(bound, sum);
        }
    }
    if (Fixed)
        bound = Splat(fixed);
}

// Values [first, end) of the job; t is the time of value first. Returns the clip count.
inline uint64_t MixLanes(const MixJob& job, uint32_t first, uint32_t end, double t, double sineRel, double fixed,
                         MixFallbacks& fallbacks)
{
    uint64_t clipped = 0;
    bool clip = false;
    const bool eight = job.bits == 8;
    const double voiceCount = job.count;
    const double low = eight ? 0.0 : -32767.0;
    const double high = eight ? 255.0 : 32767.0;
    uint32_t index = first;
    for (; end - index >= static_cast<uint32_t>(W); index += W) {
        VD times;
        for (int l = 0; l < W; ++l) {
            times[l] = t;
            t += job.step;
        }
        VD sum, bound;
        if (fixed >= 0.0)
            SumLanes<true>(job, times, sineRel, fixed, fallbacks, sum, bound);
        else
            SumLanes<false>(job, times, sineRel, fixed, fallbacks, sum, bound);
        const VD mean = sum / voiceCount;
        const VD eMean = Round(bound > 0.0 ? bound / voiceCount + kTiny : Zero(), mean);
        const VD clamped = mean < low ? Splat(low) : (mean > high ? Splat(high) : mean);
        const VD below = mean - eMean, above = mean + eMean;
        const VD lo = below < low ? Splat(low) : (below > high ? Splat(high) : below);
        const VD hi = above < low ? Splat(low) : (above > high ? Splat(high) : above);
        VM unsure = ~(Abs(mean) <= 0x1p1000) | ~(eMean <= kHuge);
        unsure |= (eMean > 0.0) & (Trunc(lo) != Trunc(hi));
        // Whether the clamp takes the value must be as sure as the value itself.
        unsure |= (below < low) != (above < low);
        unsure |= (below > high) != (above > high);
        const unsigned outside = AnyLane((mean < low) | (mean > high));
        int values[W];
        StoreInts(clamped, values);
        const unsigned redo = AnyLane(unsure);
        for (int l = 0; l < W; ++l) {
            int value = values[l];
            if (redo & (1u << l)) {
                ++fallbacks.values;
                value = eight ? MixValueReference<8>(job.voices, job.count, times[l], &clip)
                              : MixValueReference<16>(job.voices, job.count, times[l], &clip);
                clipped += clip;
            } else {
                clipped += (outside >> l) & 1u;
            }
            if (eight)
                StoreMixValue<8>(job.out, job.size, index + l, value);
            else
                StoreMixValue<16>(job.out, job.size, index + l, value);
        }
    }
    for (; index < end; ++index) {
        if (eight)
            StoreMixValue<8>(job.out, job.size, index, MixValueReference<8>(job.voices, job.count, t, &clip));
        else
            StoreMixValue<16>(job.out, job.size, index, MixValueReference<16>(job.voices, job.count, t, &clip));
        clipped += clip;
        t += job.step;
    }
    return clipped;
}

// Values [first, end) of the job as MixCentredReference forms them (first a multiple of
// kMasterBlock), with each block's bound; t is the time of value first.
inline void CentredLanes(const MixJob& job, uint32_t first, uint32_t end, double t, double sineRel, bool sumVoices,
                         double* values, double* bounds, MixFallbacks& fallbacks)
{
    const bool eight = job.bits == 8;
    const double voiceCount = job.count;
    const double silence = eight ? (sumVoices ? 127.0 * job.count : 127.0) : 0.0;
    for (uint32_t index = first; index < end; index += W) {
        double& blockBound = bounds[index / kMasterBlock];
        if (index % kMasterBlock == 0)
            blockBound = 0.0;
        if (end - index < static_cast<uint32_t>(W)) { // the tail, exactly
            for (; index < end; ++index) {
                values[index] = eight ? MixCentredReference<8>(job.voices, job.count, t, sumVoices)
                                      : MixCentredReference<16>(job.voices, job.count, t, sumVoices);
                t += job.step;
            }
            return;
        }
        VD times;
        for (int l = 0; l < W; ++l) {
            times[l] = t;
            t += job.step;
        }
        VD x, e;
        SumLanes<false>(job, times, sineRel, -1.0, fallbacks, x, e);
        if (!sumVoices) {
            x = x / voiceCount;
            e = Round(e > 0.0 ? e / voiceCount + kTiny : Zero(), x);
        }
        if (eight) {
            x = x - silence;
            e = Round(e, x);
        }
        for (int l = 0; l < W; ++l) {
            values[index + l] = x[l];
            if (!(e[l] <= blockBound))
                blockBound = e[l]; // a NaN stays: the block is unknown
        }
    }
}

// Values [first, end) of one voice's contribution (first a multiple of kContributionBlock); t
// is the time of value first.
inline void ContributionLanes(const RenderVoice& voice, const VoicePlan& plan, double scale, double step,
                              uint32_t first, uint32_t end, double t, double sineRel,
                              const Contribution& out, MixFallbacks& fallbacks)
{
    uint32_t index = first;
    for (; index < end; index += W) {
        if (index % kContributionBlock == 0) {
            out.bounds[index / kContributionBlock] = 0.0;
            out.peaks[index / kContributionBlock] = 0.0;
        }
        double& blockBound = out.bounds[index / kContributionBlock];
        double& blockPeak = out.peaks[index / kContributionBlock];
        if (end - index < static_cast<uint32_t>(W)) { // the tail, exactly
            for (; index < end; ++index) {
                const double scaled = SampleVoice(voice.params, t) * scale;
                out.values[index] = scaled;
                blockPeak = std::fabs(scaled) > blockPeak ? std::fabs(scaled) : blockPeak;
                t += step;
            }
            return;
        }
        VD times;
        for (int l = 0; l < W; ++l) {
            times[l] = t;
            t += step;
        }
        VD v, e;
        VM bad = (VM)Zero();
        VoiceLanes(plan, times, sineRel, v, e, bad);
        bad |= ~(e <= kHuge);
        if (unsigned lanes = AnyLane(bad)) {
            for (int l = 0; l < W; ++l) {
                if (lanes & (1u << l)) {
                    ++fallbacks.voiceLanes;
                    v[l] = SampleVoice(voice.params, times[l]);
                    e[l] = 0.0;
                }
            }
        }
        const VD scaled = v * scale;
        const VD es = Round(Scale(Splat(scale), e), scaled);
        const VD magnitude = Abs(scaled);
        for (int l = 0; l < W; ++l) {
            out.values[index + l] = scaled[l];
            // A NaN magnitude or bound makes the block's own NaN, which no comparison passes.
            if (!(magnitude[l] <= blockPeak))
                blockPeak = magnitude[l];
            if (!(es[l] <= blockBound))
                blockBound = es[l];
        }
    }
}

inline void Functions(const double* x, double* sines, double* arcsines, uint32_t n)
{
    for (uint32_t i = 0; i < n; i += W) {
        VD lanes = Zero();
        for (int l = 0; l < W && i + l < n; ++l)
            lanes[l] = x[i + l];
        const VD s = Sin(lanes);
        const VD a = Asin(s);
        for (int l = 0; l < W && i + l < n; ++l) {
            sines[i + l] = s[l];
            arcsines[i + l] = a[l];
        }
    }
}

inline void VoiceValues(const VoicePlan& plan, const double* times, uint32_t n, double sineRel,
                        double* values, double* bounds, bool* fallback)
{
    for (uint32_t i = 0; i < n; i += W) {
        VD t = Zero();
        for (int l = 0; l < W && i + l < n; ++l)
            t[l] = times[i + l];
        VD v, e;
        VM bad = (VM)Zero();
        VoiceLanes(plan, t, sineRel, v, e, bad);
        bad |= ~(e <= kHuge);
        for (int l = 0; l < W && i + l < n; ++l) {
            values[i + l] = v[l];
            bounds[i + l] = e[l];
            fallback[i + l] = bad[l] != 0;
        }
    }
}

#undef QW_KERNEL_INLINE
