// The fast renderer against the reference loop: a corpus of random mixes must give the same
// bytes through every kernel this processor has and for any thread count, also when the libm
// fallbacks are forced on most lanes; and the vectorised sine and arcsine must stay within the
// error bound the kernels' proof assumes.
#include "synth/RenderKernel.h"
#include "synth/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <xmmintrin.h>

namespace {

struct Mix {
    std::vector<RenderVoice> voices; // unmuted, as RenderVoices passes them
    uint32_t channels;
    uint32_t rate;
    uint32_t bits;
    MixMaster master{}; // neutral in half the corpus
};

// Restores the process-wide settings a test changes.
struct SettingsGuard {
    ~SettingsGuard()
    {
        SetMixKernel(MixKernel::Avx512);
        SetMixErrorScale(1.0);
        SetRenderThreads(0);
    }
};

class CorpusMaker {
public:
    explicit CorpusMaker(uint32_t seed, bool staged = false) : m_random(seed), m_staged(staged) {}

    Mix Make(bool longOne)
    {
        Mix mix;
        mix.channels = Pick({1u, 1u, 2u});
        mix.bits = Pick({8u, 16u});
        mix.rate = longOne ? 44100u : Pick({44100u, 22050u, 8000u, 11025u, 1000u, 7u});
        // Seconds of sound: a few long renders, most short enough for the reference loop.
        const float seconds = longOne ? Uniform(0.5f, 1.5f) : Uniform(0.0005f, 0.3f) * 8000.0f / Rate(mix);
        const int voiceCount = longOne ? 4 + Int(4) : 1 + Int(Int(8) == 0 ? 16 : 6);
        for (int i = 0; i < voiceCount; ++i) {
            VoiceParams p = Voice(seconds);
            const bool muted = Int(6) == 0;
            const float length = p.envelopeOn ? EnvelopeLength(p.envelope) : p.wave.period;
            p.stages.span = length;
            if (!muted)
                mix.voices.push_back(RenderVoice{p, length});
        }
        if (Int(2) == 0)
            mix.master = MixMaster{Pick({0.0f, 6.0f, -48.0f, 24.0f, Uniform(-48.0f, 24.0f)}), Int(2) == 0,
                                   Pick({0.0f, 2.0f, 50.0f, Uniform(0.0f, 50.0f)}), Int(2) == 0};
        return mix;
    }

private:
    float Rate(const Mix& mix) { return static_cast<float>(mix.rate < 1000 ? 1000 : mix.rate); }
    int Int(int n) { return static_cast<int>(m_random() % static_cast<uint32_t>(n)); }
    float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(m_random); }
    template <typename T>
    T Pick(std::initializer_list<T> options)
    {
        return options.begin()[Int(static_cast<int>(options.size()))];
    }
    // A slider value: usually inside [lo, hi], sometimes at an end, sometimes past it, and
    // sometimes rounded to two decimals as a project file stores it.
    float Slider(float lo, float hi)
    {
        switch (Int(10)) {
        case 0:
            return lo;
        case 1:
            return hi;
        case 2:
            return hi + Uniform(0.0f, hi - lo + 1.0f);
        case 3:
            return lo - Uniform(0.0f, hi - lo + 1.0f);
        case 4:
            return std::round(Uniform(lo, hi) * 100.0f) / 100.0f;
        default:
            return Uniform(lo, hi);
        }
    }
    int32_t Type() { return Pick<int32_t>({Sine, Triangle, Sawtooth, Square, Noise, Sine, Triangle, Square, Noise, 5, -1}); }

    Waveform Oscillator(float seconds)
    {
        Waveform w;
        w.type = Type();
        w.amplitude = Slider(0.0f, 4.0f);
        w.amplitudeOffset = Slider(-1.0f, 1.0f);
        w.frequency = Int(8) == 0 ? Pick({0.0f, 1.0f, 0.5f, 12345.0f, 99999.5f}) : Slider(0.0f, 2000.0f);
        w.period = seconds * Uniform(0.3f, 1.0f);
        w.phase = Slider(0.0f, 1.0f);
        w.noiseKey = (static_cast<uint64_t>(m_random()) << 32) | m_random();
        return w;
    }

    VoiceParams Voice(float seconds)
    {
        VoiceParams p;
        p.wave = Oscillator(seconds);
        p.carrier = Oscillator(seconds);
        if (Int(2) == 0) // carriers slow enough to sweep, as users set them
            p.carrier.amplitude = Uniform(0.0f, 0.5f);
        p.carrierOn = Int(3) != 0;
        p.am = Int(3) == 0;
        p.fm = Int(2) == 0;
        p.pm = Int(3) == 0;
        p.envelopeOn = Int(3) == 0;
        float* stages[] = {&p.envelope.attack, &p.envelope.decay, &p.envelope.hold, &p.envelope.release};
        for (float* stage : stages)
            *stage = Int(4) == 0 ? 0.0f : Slider(0.0f, 1.0f) * seconds / 2.0f;
        p.envelope.sustain = Slider(0.0f, 1.0f);
        if (m_staged && Int(4) != 0)
            Stages(p.stages, seconds);
        return p;
    }

    // Some stages on, each value anywhere in its range (or a bit past the filters' rate).
    void Stages(VoiceStages& s, float seconds)
    {
        auto maybe = [&](float& v, float lo, float hi) { v = Int(3) == 0 ? Uniform(lo, hi) : v; };
        maybe(s.frequencyEnd, 0.0f, 4000.0f);
        s.glide = Int(2);
        maybe(s.vibratoDepth, 0.0f, 12.0f);
        s.vibratoRate = Uniform(0.0f, 50.0f);
        maybe(s.arpeggio, -24.0f, 24.0f);
        s.arpeggioTime = Uniform(0.0f, seconds);
        maybe(s.repeat, 0.0f, seconds);
        maybe(s.duty, 0.01f, 0.99f);
        maybe(s.dutyEnd, 0.01f, 0.99f);
        s.bandLimited = Int(2) == 0;
        maybe(s.tremoloDepth, 0.0f, 1.0f);
        s.tremoloRate = Uniform(0.0f, 50.0f);
        maybe(s.lowpass, 0.0f, 20000.0f);
        maybe(s.lowpassEnd, 0.0f, 20000.0f);
        s.resonance = Uniform(0.0f, 1.0f);
        maybe(s.highpass, 0.0f, 20000.0f);
        maybe(s.highpassEnd, 0.0f, 20000.0f);
    }

    std::mt19937 m_random;
    bool m_staged;
};

std::string Describe(const Mix& mix, size_t index)
{
    return "mix " + std::to_string(index) + ": " + std::to_string(mix.voices.size()) + " voices, " +
           std::to_string(mix.channels) + " ch, " + std::to_string(mix.rate) + " Hz, " +
           std::to_string(mix.bits) + " bits, " + (mix.master == MixMaster() ? "neutral" : "mastered");
}

// Renders through both paths; returns the first differing byte's index, or -1.
long FirstDifference(const Mix& mix, uint32_t* bytes = nullptr)
{
    CSound fast, reference;
    uint64_t fastClips = 0, referenceClips = 0;
    const bool a = RenderMix(mix.voices.data(), static_cast<uint32_t>(mix.voices.size()), fast,
                             mix.channels, mix.rate, mix.bits, &fastClips, RenderCancel(), nullptr, mix.master);
    const bool b = RenderMixReference(mix.voices.data(), static_cast<uint32_t>(mix.voices.size()),
                                      reference, mix.channels, mix.rate, mix.bits, &referenceClips, mix.master);
    if (bytes)
        *bytes = reference.dataSize;
    if (a != b || fast.dataSize != reference.dataSize || fastClips != referenceClips)
        return 0;
    for (uint32_t i = 0; i < reference.dataSize; ++i)
        if (fast.data[i] != reference.data[i])
            return i;
    return -1;
}

std::vector<Mix> Corpus(uint32_t seed, int count, int longOnes, bool staged = false)
{
    CorpusMaker maker(seed, staged);
    std::vector<Mix> corpus;
    for (int i = 0; i < count; ++i)
        corpus.push_back(maker.Make(i < longOnes));
    return corpus;
}

std::vector<MixKernel> KernelsHere()
{
    std::vector<MixKernel> kernels;
    for (int k = 0; k <= static_cast<int>(BestMixKernel()); ++k)
        kernels.push_back(static_cast<MixKernel>(k));
    return kernels;
}

TEST(RenderKernel, RandomMixesMatchTheReferenceByteForByteOnEveryKernel)
{
    SettingsGuard guard;
    uint32_t oddSizes = 0, total = 0;
    for (bool staged : {false, true})
    for (MixKernel kernel : KernelsHere()) {
        const std::vector<Mix> corpus = staged ? Corpus(31337, 80, 3, true) : Corpus(20240611, 240, 4);
        SetMixKernel(kernel);
        for (size_t i = 0; i < corpus.size(); ++i) {
            uint32_t bytes = 0;
            ASSERT_EQ(FirstDifference(corpus[i], &bytes), -1)
                << Describe(corpus[i], i) << ", kernel " << static_cast<int>(kernel);
            oddSizes += bytes % 2;
            total += bytes;
        }
    }
    EXPECT_GT(oddSizes, 0u);
    EXPECT_GT(total, 0u);
}

TEST(RenderKernel, ForcedFallbacksStillGiveTheReferenceBytes)
{
    SettingsGuard guard;
    // A bound 2^40 times too wide pushes most modulated parameters, squares and final values
    // into the libm fallbacks: their results must slot in exactly.
    SetMixErrorScale(0x1p40);
    const std::vector<Mix> corpus = Corpus(777, 60, 1);
    const MixFallbacks before = MixFallbackCounts();
    for (MixKernel kernel : KernelsHere()) {
        if (kernel == MixKernel::Scalar)
            continue;
        SetMixKernel(kernel);
        for (size_t i = 0; i < corpus.size(); ++i)
            ASSERT_EQ(FirstDifference(corpus[i]), -1) << Describe(corpus[i], i) << ", kernel " << static_cast<int>(kernel);
    }
    const MixFallbacks after = MixFallbackCounts();
    if (BestMixKernel() != MixKernel::Scalar) {
        EXPECT_GT(after.voiceLanes - before.voiceLanes, 1000u);
        EXPECT_GT(after.values - before.values, 1000u);
    }
}

TEST(RenderKernel, OutputDoesNotDependOnTheThreadCount)
{
    SettingsGuard guard;
    CorpusMaker maker(99), staged(98, true);
    std::vector<Mix> corpus;
    for (int i = 0; i < 6; ++i)
        corpus.push_back((i < 4 ? maker : staged).Make(true));
    for (const Mix& mix : corpus) {
        CSound reference;
        RenderMixReference(mix.voices.data(), static_cast<uint32_t>(mix.voices.size()), reference,
                           mix.channels, mix.rate, mix.bits, nullptr, mix.master);
        for (uint32_t threads : {1u, 2u, 3u, 8u}) {
            SetRenderThreads(threads);
            EXPECT_EQ(RenderThreads(), threads);
            CSound fast;
            ASSERT_TRUE(RenderMix(mix.voices.data(), static_cast<uint32_t>(mix.voices.size()), fast,
                                  mix.channels, mix.rate, mix.bits, nullptr, RenderCancel(), nullptr, mix.master));
            ASSERT_EQ(fast.dataSize, reference.dataSize);
            EXPECT_EQ(std::memcmp(fast.data, reference.data, reference.dataSize), 0) << threads << " threads";
        }
    }
}

// A mix past a few parts' work per thread is cut finer (for progress and cancel): still the
// reference's bytes, every part counted, and a cancel heard before the end.
TEST(RenderKernel, AMixCutIntoManyPartsIsExactCountedAndCancellable)
{
    SettingsGuard guard;
    std::vector<RenderVoice> voices;
    for (int i = 0; i < 300; ++i) { // 300 × 44,100 values: three parts and more
        VoiceParams p;
        p.wave.frequency = 110.0f + 7.0f * static_cast<float>(i);
        p.wave.period = 1.0f;
        voices.push_back(RenderVoice{p, 1.0f});
    }
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) // voices with stages, past the values kept at once: tracks run in windows
            for (RenderVoice& v : voices)
                v.params.stages.lowpass = 3000.0f;
        CSound reference;
        RenderMixReference(voices.data(), 300, reference, 1, 44100, 16);
        for (uint32_t threads : {1u, 2u}) {
            SetRenderThreads(threads);
            CSound fast;
            RenderProgress progress;
            ASSERT_TRUE(RenderMix(voices.data(), 300, fast, 1, 44100, 16, nullptr, RenderCancel(), &progress));
            ASSERT_EQ(fast.dataSize, reference.dataSize);
            EXPECT_EQ(std::memcmp(fast.data, reference.data, reference.dataSize), 0) << threads << " threads";
            EXPECT_GE(progress.total.load(), 3u);
            EXPECT_EQ(progress.done.load(), progress.total.load());
        }
    }
    std::atomic<int> asked{0};
    const RenderCancel second{[](const void* n) { return static_cast<std::atomic<int>*>(const_cast<void*>(n))->fetch_add(1) > 0; },
                              &asked};
    CSound cancelled;
    EXPECT_FALSE(RenderMix(voices.data(), 300, cancelled, 1, 44100, 16, nullptr, second));
}

// Worker threads start with their own floating-point control; a caller that rounds upward or
// flushes subnormals to zero must still get what the reference gives it on its own thread. An
// FM voice shows the rounding mode: its moved frequency is rounded to float under it.
TEST(RenderKernel, WorkersComputeUnderTheCallersRoundingMode)
{
    SettingsGuard guard;
    SetRenderThreads(3);
    VoiceParams fm;
    fm.wave = {Sine, 0.8f, 0.0f, 440.0f, 1.0f, 0.0f};
    fm.carrier = {Sine, 0.3f, 0.0f, 3.0f, 1.0f, 0.0f};
    fm.carrierOn = true;
    std::vector<Mix> mixes = {{{RenderVoice{fm, 1.0f}}, 1, 44100, 16}};
    CorpusMaker maker(31);
    for (int i = 0; i < 3; ++i)
        mixes.push_back(maker.Make(true));
    const unsigned saved = _mm_getcsr();
    for (unsigned control : {saved | 0x4000u /* round up */, saved | 0x8040u /* flush to zero */}) {
        for (size_t i = 0; i < mixes.size(); ++i) {
            _mm_setcsr(control);
            const long difference = FirstDifference(mixes[i]);
            _mm_setcsr(saved);
            EXPECT_EQ(difference, -1) << Describe(mixes[i], i) << ", control " << std::hex << control;
        }
    }
}

// The invariant the byte-for-byte proof rests on, checked lane by lane where a wrong operation
// order would show even when it changes no byte: a lane the kernel keeps either has bound 0
// and then equals SampleVoice exactly, or lies within its bound of SampleVoice. A plan's fixed
// bound and magnitude, which the mix's fixed bound is formed from, cover every lane and libm's
// value (a magnitude too small only ever shows in a bound, never in a byte).
TEST(RenderKernel, EveryKeptLaneIsExactOrWithinItsBound)
{
    CorpusMaker maker(4242);
    std::vector<double> times;
    double t = 0.0;
    for (int i = 0; i < 512; ++i) {
        times.push_back(t);
        t += 1.0 / 4410.0; // sums of a step, as a render forms its times
    }
    std::vector<double> values(times.size()), bounds(times.size());
    std::unique_ptr<bool[]> fallback(new bool[times.size()]);
    uint64_t exactLanes = 0, boundedLanes = 0, keptModulated = 0, fixedLanes = 0;
    for (int v = 0; v < 400; ++v) {
        const Mix mix = maker.Make(false);
        for (const RenderVoice& voice : mix.voices) {
            const VoicePlan plan = MakeVoicePlan(voice.params);
            for (MixKernel kernel : KernelsHere()) {
                if (kernel == MixKernel::Scalar)
                    continue;
                MixKernelVoice(kernel, plan, times.data(), static_cast<uint32_t>(times.size()),
                               values.data(), bounds.data(), fallback.get());
                for (size_t i = 0; i < times.size(); ++i) {
                    const double reference = SampleVoice(voice.params, times[i]);
                    if (plan.voiceBound >= 0.0 && !UsesStages(voice.params)) {
                        ++fixedLanes;
                        if (!(std::fabs(reference) <= plan.voiceMagnitude) ||
                            !(fallback[i] || (bounds[i] <= plan.voiceBound &&
                                              std::fabs(values[i]) <= plan.voiceMagnitude)))
                            FAIL() << "voice " << v << " type " << voice.params.wave.type << " mode " << plan.mode
                                   << " at t = " << times[i] << ": " << values[i] << ", bound " << bounds[i]
                                   << " outside the plan's " << plan.voiceMagnitude << ", " << plan.voiceBound;
                    }
                    if (fallback[i])
                        continue;
                    if (bounds[i] == 0.0) {
                        ++exactLanes;
                        if (!(values[i] == reference || (std::isnan(values[i]) && std::isnan(reference))))
                            FAIL() << "voice " << v << " type " << voice.params.wave.type << " mode " << plan.mode
                                   << " at t = " << times[i] << ": " << values[i] << " != " << reference;
                    } else {
                        ++boundedLanes;
                        keptModulated += plan.mode == VoicePlan::AM || plan.mode == VoicePlan::FM ||
                                         plan.mode == VoicePlan::PM;
                        if (!(std::fabs(values[i] - reference) <= bounds[i]))
                            FAIL() << "voice " << v << " at t = " << times[i] << ": " << values[i] << " vs "
                                   << reference << ", bound " << bounds[i];
                    }
                }
            }
        }
    }
    EXPECT_GT(exactLanes, 10000u);
    EXPECT_GT(boundedLanes, 10000u);
    EXPECT_GT(keptModulated, 1000u);
    EXPECT_GT(fixedLanes, 10000u);
}

// A modulated parameter whose rounding to float depends on the last bit of the carrier's sine:
// found by searching a render's times for one where the kernel's sine and libm's differ and
// choosing the FM base frequency so that the two sums round to different floats. The kernel
// must send exactly such lanes to libm, and the render must still match.
TEST(RenderKernel, AParameterRoundingOnTheSinesLastBitFallsBackToLibm)
{
    SettingsGuard guard;
    for (MixKernel kernel : KernelsHere()) {
        if (kernel == MixKernel::Scalar)
            continue;
        std::vector<double> times;
        double t = 0.0;
        for (int i = 0; i < 40000; ++i) {
            times.push_back(t);
            t += 1.0 / 44100.0;
        }
        std::vector<double> x(times.size()), sines(times.size()), arcsines(times.size());
        for (size_t i = 0; i < times.size(); ++i)
            x[i] = (times[i] + 0.0) * 6.283185308 * 1.0;
        MixKernelFunctions(kernel, x.data(), sines.data(), arcsines.data(), static_cast<uint32_t>(x.size()));
        long found = -1;
        float base = 0.0f;
        for (size_t i = 0; i < times.size() && found < 0; ++i) {
            const double reference = std::sin(x[i]);
            if (sines[i] == reference)
                continue;
            base = static_cast<float>(-(reference * 100.0));
            if (static_cast<float>(base + sines[i] * 100.0) != static_cast<float>(base + reference * 100.0))
                found = static_cast<long>(i);
        }
        ASSERT_GE(found, 0) << "no time found where the rounding depends on the sine's last bit";

        VoiceParams p;
        p.carrierOn = true;
        p.fm = true;
        p.carrier = {Sine, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f};
        p.wave = {Sine, 4.0f, 0.0f, base, 1.0f, 0.0f};
        const uint32_t n = static_cast<uint32_t>(found) + 1;
        std::vector<double> values(n), bounds(n);
        std::unique_ptr<bool[]> fallback(new bool[n]);
        MixKernelVoice(kernel, MakeVoicePlan(p), times.data(), n, values.data(), bounds.data(), fallback.get());
        EXPECT_TRUE(fallback[found]) << "kernel " << static_cast<int>(kernel) << " kept the lane at t = " << times[found];

        SetMixKernel(kernel);
        Mix mix{{RenderVoice{p, static_cast<float>(times[found] + 0.001)}}, 1, 44100, 16};
        EXPECT_EQ(FirstDifference(mix), -1);
    }
}

// Times exactly on the envelope's stage boundaries (each belongs to the earlier stage) and one
// step to either side, with empty stages among them: the vectorised gain must choose the same
// stage and give the same number as EnvelopeGain. The oscillator is a constant, so every lane
// is exact.
TEST(RenderKernel, EnvelopeStageBoundariesMatchTheReference)
{
    for (MixKernel kernel : KernelsHere()) {
        if (kernel == MixKernel::Scalar)
            continue;
        // A tiny sustain makes the decay's formula and the hold level differ at their boundary.
        for (int shape = 0; shape < 32; ++shape) {
            VoiceParams p;
            p.wave = {Sine, 0.0f, 1.0f, 3.0f, 1.0f, 0.0f};
            p.envelopeOn = true;
            p.envelope = {shape & 1 ? 0.25f : 0.0f, shape & 2 ? 0.125f : 0.0f, shape & 16 ? 1e-12f : 0.3f,
                          shape & 4 ? 0.5f : 0.0f, shape & 8 ? 0.25f : 0.0f};
            const double a = p.envelope.attack, d = p.envelope.decay, h = p.envelope.hold,
                         r = p.envelope.release;
            std::vector<double> times = {0.0};
            for (double edge : {a, a + d, a + d + h, a + d + h + r}) {
                times.push_back(edge);
                times.push_back(std::nextafter(edge, 0.0));
                times.push_back(std::nextafter(edge, 2.0));
            }
            const uint32_t n = static_cast<uint32_t>(times.size());
            std::vector<double> values(n), bounds(n);
            std::unique_ptr<bool[]> fallback(new bool[n]);
            MixKernelVoice(kernel, MakeVoicePlan(p), times.data(), n, values.data(), bounds.data(), fallback.get());
            for (uint32_t i = 0; i < n; ++i) {
                const double reference = SampleVoice(p, times[i]);
                EXPECT_FALSE(fallback[i]);
                EXPECT_EQ(bounds[i], 0.0);
                EXPECT_TRUE(values[i] == reference) << "envelope " << shape << " at t = " << times[i] << ": "
                                                    << values[i] << " != " << reference;
            }
        }
    }
}

// Edge shapes a random corpus rarely hits: a square whose sine is exactly 0 at t = 0, values
// landing exactly on the clamp limits and on integers, NaN and infinite parameters, a
// one-byte 16-bit block and zero-length envelope stages at every boundary.
TEST(RenderKernel, EdgeValuesMatchTheReference)
{
    SettingsGuard guard;
    auto voice = [](int32_t type, float amplitude, float offset, float frequency) {
        VoiceParams p;
        p.wave = {type, amplitude, offset, frequency, 0.05f, 0.0f};
        return RenderVoice{p, 0.05f};
    };
    std::vector<Mix> mixes;
    mixes.push_back({{voice(Square, 1.0f, 0.0f, 100.0f)}, 1, 44100, 16});
    mixes.push_back({{voice(Sine, 0.0f, 1.0f, 1.0f), voice(Sine, 0.0f, 0.0f, 1.0f)}, 1, 44100, 8});
    mixes.push_back({{voice(Sine, 0.0f, 2.0f, 1.0f)}, 1, 44100, 16});
    mixes.push_back({{voice(Sine, 0.0f, -2.0f, 1.0f)}, 1, 44100, 8});
    mixes.push_back({{voice(Sine, 1.0f, 0.0f, 0.0f)}, 1, 44100, 8});
    mixes.push_back({{voice(Sine, NAN, 0.0f, 10.0f), voice(Sine, 1.0f, 0.0f, 10.0f)}, 1, 8000, 16});
    mixes.push_back({{voice(Triangle, INFINITY, 0.0f, 10.0f)}, 1, 8000, 8});
    mixes.push_back({{voice(Sine, 1.0f, 0.0f, INFINITY), voice(Square, 1.0f, 0.0f, 3e38f)}, 1, 8000, 16});
    mixes.push_back({{voice(Sawtooth, 1.0f, 0.0f, NAN), voice(Sawtooth, 1.0f, 0.0f, 1e30f)}, 1, 8000, 16});
    Mix am{{voice(Sine, 1.0f, 0.0f, 440.0f)}, 1, 44100, 16};
    am.voices[0].params.carrierOn = true;
    am.voices[0].params.am = true;
    am.voices[0].params.carrier = {Triangle, 3e36f, 0.0f, 3.0f, 1.0f, 0.0f}; // the amplitude overflows float
    mixes.push_back(am);
    // Noise steps at huge, negative and non-finite indices, and a noise carrier driving FM.
    mixes.push_back({{voice(Noise, 1.0f, 0.0f, 3e38f), voice(Noise, 1.0f, 0.0f, INFINITY), voice(Noise, 1.0f, 0.0f, -1e20f)},
                     1, 8000, 16});
    mixes.push_back({{voice(Noise, 0.5f, -0.5f, NAN), voice(Noise, 4.0f, 0.0f, 2000.0f)}, 1, 44100, 16});
    Mix noisyFm{{voice(Sine, 1.0f, 0.0f, 440.0f)}, 1, 44100, 16};
    noisyFm.voices[0].params.carrierOn = true;
    noisyFm.voices[0].params.carrier = {Noise, 2.0f, -1.0f, 300.0f, 1.0f, 0.5f, 77};
    mixes.push_back(noisyFm);
    Mix oneByte{{voice(Sine, 1.0f, 0.5f, 1.0f)}, 1, 1, 16};
    oneByte.voices[0].length = 0.5f;
    mixes.push_back(oneByte);
    Mix stages{{voice(Sine, 1.0f, 0.3f, 50.0f)}, 1, 1000, 16};
    stages.voices[0].params.envelopeOn = true;
    stages.voices[0].params.envelope = {0.0f, 0.0f, 0.5f, 0.01f, 0.0f};
    stages.voices[0].length = 0.05f;
    mixes.push_back(stages);
    for (MixKernel kernel : KernelsHere()) {
        SetMixKernel(kernel);
        for (size_t i = 0; i < mixes.size(); ++i)
            EXPECT_EQ(FirstDifference(mixes[i]), -1) << "mix " << i << ", kernel " << static_cast<int>(kernel);
    }
}

// The premise of the exactness proof: the kernel's sine and libm's differ by far less than the
// bound the kernels assume (16 ulps of the result), over the arguments a render produces and
// near the zeros of the sine, where the result is smallest.
TEST(RenderKernel, VectorSineAndArcsineStayWithinTheAssumedBound)
{
    std::mt19937_64 random(5);
    std::vector<double> x;
    for (int i = 0; i < 200000; ++i)
        x.push_back(std::uniform_real_distribution<double>(-0x1p20, 0x1p20)(random));
    for (int k = 1; k < 2000; ++k) {
        const double zero = k * 3.141592653589793;
        x.push_back(zero);
        x.push_back(std::nextafter(zero, 0.0));
        x.push_back(zero / 2);
    }
    x.push_back(0.0);
    x.push_back(1e-300);
    std::vector<double> sines(x.size()), arcsines(x.size());
    for (MixKernel kernel : KernelsHere()) {
        MixKernelFunctions(kernel, x.data(), sines.data(), arcsines.data(), static_cast<uint32_t>(x.size()));
        double worstSine = 0.0, worstArcsine = 0.0;
        for (size_t i = 0; i < x.size(); ++i) {
            const double s = std::sin(x[i]);
            const double a = std::asin(sines[i]);
            worstSine = std::max(worstSine, std::fabs(sines[i] - s) / (std::fabs(s) * 0x1p-52 + 0x1p-1074));
            worstArcsine = std::max(worstArcsine, std::fabs(arcsines[i] - a) / (std::fabs(a) * 0x1p-52 + 0x1p-1074));
        }
        // In units of 2^-52 of the result: the kernels' bound is 16.
        EXPECT_LE(worstSine, 4.0) << "kernel " << static_cast<int>(kernel);
        EXPECT_LE(worstArcsine, 4.0) << "kernel " << static_cast<int>(kernel);
    }
}

} // namespace
