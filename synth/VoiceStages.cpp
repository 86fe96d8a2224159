// Index: [SECTION] Pitch path  [SECTION] Band-limited shapes  [SECTION] The staged value
//        [SECTION] Filters and the run
#include "synth/VoiceStages.h"

#include <cmath>

namespace {

// Voice.cpp's constants: one 2π for every stage, so that a stage set to do nothing changes
// nothing audible.
constexpr double TwoPi = 6.283185308;
constexpr double HalfPi = 1.570796327;
constexpr double Pi = 3.14159265358979323846; // the filters' prewarping only

// How far t has come through the span L, 0 to 1 (at once for an empty span).
double Progress(double t, double span)
{
    if (!(span > 0.0))
        return t > 0.0 ? 1.0 : 0.0;
    const double s = t / span;
    return s < 0.0 ? 0.0 : (s > 1.0 ? 1.0 : s);
}

} // namespace

// [SECTION] Pitch path -------------------------------------------------------------------------

namespace {

using Path = StagePlan::Path;

Path MakePath(const VoiceParams& voice)
{
    const VoiceStages& s = voice.stages;
    Path p;
    p.f0 = voice.wave.frequency;
    p.glide = s.frequencyEnd > 0.0f;
    p.f1 = p.glide ? s.frequencyEnd : p.f0;
    p.span = s.span > 0.0f ? s.span : 0.0;
    p.exponential = p.glide && s.glide != GlideLinear && p.f0 > 0.0 && p.f1 > 0.0;
    p.lambda = p.exponential && p.span > 0.0 ? std::log(p.f1 / p.f0) / p.span : 0.0;
    p.slope = p.span > 0.0 ? (p.f1 - p.f0) / p.span : 0.0;
    const double depth = s.vibratoDepth / 12.0;
    p.beta = (std::exp2(depth) - std::exp2(-depth)) / 2.0;
    p.omega = TwoPi * s.vibratoRate;
    p.vibrato = p.beta > 0.0 && p.omega > 0.0;
    return p;
}

// The pitch at u: the cycles turned since 0 and the frequency. sine and cosine are sin(ωu)
// and cos(ωu) (0 and 1 without vibrato), worked out once for every term that needs them.
struct Pitch {
    double cycles, frequency;
};

// ∫ f over length seconds held at glide frequency g, from where cos(ω × start) is cosStart.
double HeldCycles(const Path& p, double g, double length, double cosStart, double cosine)
{
    double cycles = g * length;
    if (p.vibrato)
        cycles += p.beta * g * (cosStart - cosine) / p.omega;
    return cycles;
}

// ∫ f from 0 to u, 0 ≤ u ≤ span, while the glide moves; g receives the glide's frequency.
double GlideCycles(const Path& p, double u, double sine, double cosine, double& g)
{
    const double w = p.omega;
    if (p.exponential) {
        const double l = p.lambda;
        const double grown = std::expm1(l * u); // e^(λu) - 1
        g = p.f0 * (grown + 1.0);
        double cycles = p.f0 * (l != 0.0 ? grown / l : u);
        if (p.vibrato)
            cycles += p.beta * p.f0 * ((grown + 1.0) * (l * sine - w * cosine) + w) / (l * l + w * w);
        return cycles;
    }
    const double k = p.slope;
    g = p.f0 + k * u;
    double cycles = p.f0 * u + k * u * u / 2.0;
    if (p.vibrato)
        cycles += p.beta * ((p.f0 - (p.f0 + k * u) * cosine) / w + k * sine / (w * w));
    return cycles;
}

Pitch BasePitch(const Path& p, double u)
{
    double sine = 0.0, cosine = 1.0;
    if (p.vibrato)
        ::sincos(p.omega * u, &sine, &cosine);
    double g;
    double cycles;
    if (!p.glide || u <= 0.0) {
        g = p.f0;
        cycles = HeldCycles(p, g, u, 1.0, cosine);
    } else if (u <= p.span) {
        cycles = GlideCycles(p, u, sine, cosine, g);
    } else {
        g = p.f1;
        cycles = p.glideCycles + HeldCycles(p, g, u - p.span, p.cosSpan, cosine);
    }
    return Pitch{cycles, g * (1.0 + p.beta * sine)};
}

} // namespace

StagePlan MakeStagePlan(const VoiceParams& voice)
{
    const VoiceStages& s = voice.stages;
    StagePlan plan;
    Path& p = plan.path;
    p = MakePath(voice);
    p.cosSpan = p.vibrato ? std::cos(p.omega * p.span) : 1.0;
    double g;
    p.glideCycles = 0.0;
    if (p.glide) {
        double sine = 0.0, cosine = 1.0;
        if (p.vibrato)
            ::sincos(p.omega * p.span, &sine, &cosine);
        p.glideCycles = GlideCycles(p, p.span, sine, cosine, g);
    }
    plan.arpeggio = s.arpeggio != 0.0f;
    plan.arpeggioTime = s.arpeggioTime;
    plan.ratio = std::exp2(s.arpeggio / 12.0);
    plan.before = BasePitch(p, plan.arpeggioTime).cycles;
    return plan;
}

namespace {

Pitch PitchAt(const StagePlan& plan, double u)
{
    Pitch pitch = BasePitch(plan.path, u);
    if (plan.arpeggio && u > plan.arpeggioTime) {
        pitch.cycles = plan.before + plan.ratio * (pitch.cycles - plan.before);
        pitch.frequency *= plan.ratio;
    }
    return pitch;
}

} // namespace

double PitchCycles(const VoiceParams& voice, double u) { return PitchAt(MakeStagePlan(voice), u).cycles; }

double PitchFrequency(const VoiceParams& voice, double u) { return PitchAt(MakeStagePlan(voice), u).frequency; }

// [SECTION] Band-limited shapes ----------------------------------------------------------------
//
// A band-limited shape is the naive one filtered by a centred B-spline of order 6 (six
// samples wide): each jump of height h becomes h × I(τ) and each corner of slope change s
// (per sample) becomes s × J(τ), τ being the sample's distance from the jump in samples. Only
// the residuals I(τ) − step(τ) and J(τ) − ramp(τ) are added, within 3 samples of each jump.

namespace {

constexpr double kReach = 3.0; // half the B-spline's width, in samples

double Pow6(double x) { const double x3 = x * x * x; return x3 * x3; }

// I(τ) for τ ≤ 0: the integral of the B-spline up to τ.
double StepRise(double tau)
{
    const double x = tau + kReach;
    if (x <= 0.0)
        return 0.0;
    double sum = Pow6(x);
    if (x > 1.0)
        sum -= 6.0 * Pow6(x - 1.0);
    if (x > 2.0)
        sum += 15.0 * Pow6(x - 2.0);
    return sum / 720.0;
}

// J(τ) for τ ≤ 0: the integral of I up to τ.
double RampRise(double tau)
{
    const double x = tau + kReach;
    if (x <= 0.0)
        return 0.0;
    double sum = Pow6(x) * x;
    if (x > 1.0)
        sum -= 6.0 * Pow6(x - 1.0) * (x - 1.0);
    if (x > 2.0)
        sum += 15.0 * Pow6(x - 2.0) * (x - 2.0);
    return sum / 5040.0;
}

// The residuals of the jumps (or, with ramp, corners) at phase edge of every cycle near
// cycles x, for dt cycles per sample (0 < dt < 0.5). The B-spline is symmetric, so the
// residual after a jump is minus the rise before it, and a corner's is the same on both sides.
double Residuals(double x, double edge, double dt, bool ramp)
{
    const double since = (x - edge) - std::floor(x - edge);
    const double cycle = 1.0 / dt;
    double sum = 0.0;
    for (double tau = since / dt; tau < kReach; tau += cycle)
        sum += ramp ? RampRise(-tau) : -StepRise(-tau);
    for (double tau = since / dt - cycle; tau > -kReach; tau -= cycle)
        sum += ramp ? RampRise(tau) : StepRise(tau);
    return sum;
}

// The main oscillator's shape at x cycles: the amplitude and offset applied, band-limited
// for dt cycles per sample (0: naive).
double Shape(const Waveform& w, double x, double dt, double duty)
{
    const double a = w.amplitude, o = w.amplitudeOffset;
    const bool limited = dt > 0.0 && w.type != Sine && w.type != Noise;
    if (limited && dt >= 0.5) // every harmonic lies above half the rate: only the mean is left
        return w.type == Square ? o + a * (2.0 * duty - 1.0) : o;
    switch (w.type) {
    case Sine:
        return o + a * std::sin(TwoPi * x);
    case Triangle: {
        if (!limited)
            return o + a * std::asin(std::sin(TwoPi * x)) / HalfPi;
        const double p = x - std::floor(x);
        double v = p < 0.25 ? 4.0 * p : (p < 0.75 ? 2.0 - 4.0 * p : 4.0 * p - 4.0);
        v += 8.0 * dt * (Residuals(x, 0.75, dt, true) - Residuals(x, 0.25, dt, true));
        return o + a * v;
    }
    case Sawtooth: {
        double v = 2.0 * (x - std::floor(x + 0.5));
        if (limited)
            v -= 2.0 * Residuals(x, 0.5, dt, false);
        return o + a * v;
    }
    case Square: {
        const double p = x - std::floor(x);
        double v = p < duty ? 1.0 : -1.0;
        if (limited)
            v += 2.0 * (Residuals(x, 0.0, dt, false) - Residuals(x, duty, dt, false));
        return o + a * v;
    }
    case Noise:
        return o + a * NoiseValue(w.noiseKey, x);
    default:
        return 0.0;
    }
}

} // namespace

// [SECTION] The staged value -------------------------------------------------------------------

double StagedValue(const VoiceParams& voice, double t, double step)
{
    return StagedValue(MakeStagePlan(voice), voice, t, step);
}

double StagedValue(const StagePlan& plan, const VoiceParams& voice, double t, double step)
{
    const VoiceStages& s = voice.stages;
    if (s.repeat > 0.0f)
        t = std::fmod(t, static_cast<double>(s.repeat));
    Waveform w = voice.wave;
    double u = t + w.phase;
    double push = 0.0; // FM: hertz added to the frequency, multiplying time as it always has
    if (voice.carrierOn) {
        const double c = SampleWave(voice.carrier, t);
        if (voice.am)
            w.amplitude = static_cast<float>(voice.wave.amplitude + ModulationDepth * c);
        else if (voice.fm)
            push = ModulationDepth * c;
        else if (voice.pm)
            u = t + static_cast<float>(voice.wave.phase + ModulationDepth * c);
        else
            return 0.0;
    }
    const Pitch pitch = PitchAt(plan, u);
    const double cycles = pitch.cycles + push * u;
    const double progress = Progress(t, s.span);
    const double duty = s.duty + (static_cast<double>(s.dutyEnd) - s.duty) * progress;
    const double dt = s.bandLimited && step > 0.0 ? std::fabs(pitch.frequency + push) * step : 0.0;
    double value = Shape(w, cycles, dt, duty);
    if (voice.envelopeOn)
        value *= EnvelopeGain(voice.envelope, t);
    if (s.tremoloDepth > 0.0f)
        value *= 1.0 - s.tremoloDepth * (1.0 - std::cos(TwoPi * s.tremoloRate * t)) / 2.0;
    return value;
}

// [SECTION] Filters and the run ----------------------------------------------------------------

namespace {

constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kFlush = 1e-30; // states below this are zero: no subnormal arithmetic

// The cutoff at progress s of a sweep from a to b (b = 0: no sweep), exponential in hertz.
double Cutoff(float a, float b, double s)
{
    if (b <= 0.0f || b == a)
        return a;
    return a * std::pow(static_cast<double>(b) / a, s);
}

// The cutoff a filter takes for wanted: at most limit (a NaN takes the limit).
double Limited(double wanted, double limit) { return wanted < limit ? wanted : limit; }

} // namespace

void CVoiceRun::Filter::Tune(double f, double step, double damping)
{
    const double g = std::tan(Pi * f * step);
    a1 = 1.0 / (1.0 + g * (g + damping));
    a2 = g * a1;
    a3 = g * a2;
    cutoff = f;
}

inline double CVoiceRun::Filter::Step(double in, double f, double step, double damping, bool high)
{
    if (f != cutoff)
        Tune(f, step, damping);
    const double v3 = in - ic2;
    const double v1 = a1 * ic1 + a2 * v3;
    const double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    // Also takes a NaN state (from an infinite input) back to rest.
    if (!(std::fabs(ic1) >= kFlush) || !(std::fabs(ic1) < 1e300))
        ic1 = 0.0;
    if (!(std::fabs(ic2) >= kFlush) || !(std::fabs(ic2) < 1e300))
        ic2 = 0.0;
    const double out = high ? in - damping * v1 - v2 : v2;
    return std::isfinite(out) ? out : 0.0;
}

CVoiceRun::CVoiceRun(const VoiceParams& voice, double step)
    : m_voice(voice), m_plan(MakeStagePlan(voice)), m_step(step),
      m_lowDamping(kSqrt2 * (1.0 - 0.97 * voice.stages.resonance)), m_limit(0.49 / step)
{
}

void CVoiceRun::Run(double* out, uint32_t n)
{
    const VoiceStages& s = m_voice.stages;
    const bool staged = UsesStages(m_voice);
    for (uint32_t i = 0; i < n; ++i) {
        const double t = m_t;
        m_t += m_step;
        if (!staged) {
            out[i] = SampleVoice(m_voice, t);
            continue;
        }
        double v = StagedValue(m_plan, m_voice, t, m_step);
        if (s.lowpass > 0.0f || s.highpass > 0.0f) {
            if (m_index % kCutoffEvery == 0) {
                const double local = s.repeat > 0.0f ? std::fmod(t, static_cast<double>(s.repeat)) : t;
                const double progress = Progress(local, s.span);
                m_lowCutoff = Limited(Cutoff(s.lowpass, s.lowpassEnd, progress), m_limit);
                m_highCutoff = Limited(Cutoff(s.highpass, s.highpassEnd, progress), m_limit);
            }
            if (s.lowpass > 0.0f)
                v = m_low.Step(v, m_lowCutoff, m_step, m_lowDamping, false);
            if (s.highpass > 0.0f)
                v = m_high.Step(v, m_highCutoff, m_step, kSqrt2, true);
        }
        ++m_index;
        out[i] = v;
    }
}
