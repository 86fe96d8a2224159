// The mixing renderer. The heavy mix (16 FM voices, 10 s, mono 16-bit 44.1 kHz) through the
// reference loop and through the fast path on 1 and 2 threads; the cost per voice and sample
// of both paths for 1, 16 and 256 voices; and the bare cost of the libm calls the heavy mix
// needs, as a floor for the reference. Counters: per_voice_sample (seconds, shown with an SI
// prefix: "3.1n" is 3.1 ns) and the heap allocations one render makes (operator new and
// malloc-backed), which must not grow with the length.
// Live editing: the heavy project with one voice changed, through the render cache (the new
// mix's latency, and the cache's memory as a counter), and a frame loop of 8 ms frames that
// polls a render job while the whole heavy project renders in the background (frames per
// second and the longest frame).
// Stages: the heavy mix with every stage on every voice, and what the filters add per value.
#include "synth/Render.h"
#include "synth/RenderCache.h"
#include "synth/RenderJob.h"
#include "synth/RenderKernel.h"
#include "synth/VoiceStages.h"
#include "synth/WorkerPool.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

static std::atomic<long> g_news{0};

// Counting replacements of the global allocation functions (malloc-backed on both sides).
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size)
{
    ++g_news;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

constexpr uint32_t Rate = 44100;

// Voice i of a mix of FM voices: a sine carried by a slow sine, as a user sets one up.
RenderVoice FmVoice(int i, float seconds)
{
    VoiceParams p;
    p.wave.frequency = 110.0f + 55.0f * (i % 32);
    p.wave.period = seconds;
    p.wave.amplitude = 0.8f;
    p.carrierOn = true;
    p.fm = true;
    p.carrier.frequency = 1.0f + 0.5f * (i % 32);
    p.carrier.amplitude = 0.3f;
    return RenderVoice{p, seconds};
}

std::vector<RenderVoice> FmMix(int voices, float seconds)
{
    std::vector<RenderVoice> mix;
    for (int i = 0; i < voices; ++i)
        mix.push_back(FmVoice(i, seconds));
    return mix;
}

void SetCounters(benchmark::State& state, double voiceSamples)
{
    state.counters["per_voice_sample"] = benchmark::Counter(
        voiceSamples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Renders mix through one path, with threads threads for the fast path.
void Render(benchmark::State& state, const std::vector<RenderVoice>& mix, bool reference, uint32_t threads)
{
    SetRenderThreads(threads);
    CSound sound;
    long news = 0;
    const uint32_t count = static_cast<uint32_t>(mix.size());
    for (auto _ : state) {
        const long before = g_news.load();
        if (reference)
            RenderMixReference(mix.data(), count, sound, 1, Rate, 16);
        else
            RenderMix(mix.data(), count, sound, 1, Rate, 16);
        news = g_news.load() - before;
        benchmark::DoNotOptimize(sound.data);
    }
    SetRenderThreads(0);
    SetCounters(state, sound.dataSize / 2.0 * count);
    state.counters["operator_new_per_render"] = static_cast<double>(news);
}

// The heavy project: argument 0 is the reference, otherwise the fast path's thread count.
void BM_HeavyMix(benchmark::State& state)
{
    const std::vector<RenderVoice> mix = FmMix(16, 10.0f);
    const int threads = static_cast<int>(state.range(0));
    state.SetLabel(threads == 0 ? "reference" : "fast");
    Render(state, mix, threads == 0, threads == 0 ? 1u : static_cast<uint32_t>(threads));
}

// One second of n FM voices; range(1) 0 is the reference, 1 the fast path on one thread.
void BM_PerVoice(benchmark::State& state)
{
    const std::vector<RenderVoice> mix = FmMix(static_cast<int>(state.range(0)), 1.0f);
    const bool reference = state.range(1) == 0;
    state.SetLabel(reference ? "reference" : "fast, 1 thread");
    Render(state, mix, reference, 1);
}

// The floor under the reference: per voice and sample, the two sine evaluations FM needs
// (carrier, then the main oscillator at the moved frequency), formed as cheaply as possible.
void BM_LibmFloor(benchmark::State& state)
{
    const std::vector<RenderVoice> mix = FmMix(16, 10.0f);
    const uint32_t values = static_cast<uint32_t>(Rate * 10.0f);
    const double step = 10.0 / values;
    for (auto _ : state) {
        double acc = 0.0;
        double t = 0.0;
        for (uint32_t i = 0; i < values; ++i) {
            const double theta = t * 6.283185308;
            for (const RenderVoice& v : mix) {
                double c = v.params.carrier.amplitude * std::sin(theta * v.params.carrier.frequency);
                acc += std::sin(theta * (v.params.wave.frequency + 100.0 * c));
            }
            t += step;
        }
        benchmark::DoNotOptimize(acc);
    }
    SetCounters(state, static_cast<double>(values) * mix.size());
}

// Every stage on voice i of the heavy mix: a glide, vibrato, an arpeggio, repeat, a swept duty
// (the voice is a square), band-limiting, tremolo and both filters swept.
void AllStages(RenderVoice& v, int i)
{
    VoiceStages& s = v.params.stages;
    v.params.wave.type = Square;
    s.frequencyEnd = v.params.wave.frequency * 1.5f;
    s.vibratoDepth = 0.5f;
    s.vibratoRate = 5.0f;
    s.arpeggio = 7.0f;
    s.arpeggioTime = 0.3f;
    s.repeat = 2.0f;
    s.duty = 0.3f;
    s.dutyEnd = 0.6f;
    s.bandLimited = true;
    s.tremoloDepth = 0.3f;
    s.tremoloRate = 3.0f;
    s.lowpass = 500.0f + 100.0f * static_cast<float>(i);
    s.lowpassEnd = 8000.0f;
    s.resonance = 0.5f;
    s.highpass = 40.0f;
    s.highpassEnd = 200.0f;
    s.span = v.length;
}

// The heavy project with every stage on every voice (argument: threads), against BM_HeavyMix.
void BM_HeavyMixAllStages(benchmark::State& state)
{
    std::vector<RenderVoice> mix = FmMix(16, 10.0f);
    for (int i = 0; i < 16; ++i)
        AllStages(mix[static_cast<size_t>(i)], i);
    Render(state, mix, false, static_cast<uint32_t>(state.range(0)));
}

// One voice run in sample order (CVoiceRun) for 10 s: argument 0 a sine with a stage that
// changes nothing of it (duty), 1 with a low-pass added, 2 swept and resonant, 3 both filters
// swept. The differences from 0 are what the filters cost per value.
void BM_VoiceRunFilters(benchmark::State& state)
{
    VoiceParams p = FmVoice(3, 10.0f).params;
    p.carrierOn = false;
    p.stages.span = 10.0f;
    p.stages.duty = 0.3f;
    const int64_t filters = state.range(0);
    if (filters >= 1)
        p.stages.lowpass = 1000.0f;
    if (filters >= 2) {
        p.stages.lowpassEnd = 8000.0f;
        p.stages.resonance = 0.7f;
    }
    if (filters >= 3) {
        p.stages.highpass = 50.0f;
        p.stages.highpassEnd = 500.0f;
    }
    std::vector<double> values(Rate * 10);
    for (auto _ : state) {
        CVoiceRun run(p, 1.0 / Rate);
        run.Run(values.data(), static_cast<uint32_t>(values.size()));
        benchmark::DoNotOptimize(values.data());
    }
    SetCounters(state, static_cast<double>(values.size()));
}

std::vector<MixVoice> HeavyProject()
{
    std::vector<MixVoice> voices;
    for (const RenderVoice& v : FmMix(16, 10.0f))
        voices.push_back(MixVoice{v, false});
    return voices;
}

// One voice of the heavy project changed (its amplitude moved, as a slider drag does), then
// the mix: what a re-render after an edit costs.
void BM_HeavyOneVoiceChanged(benchmark::State& state)
{
    std::vector<MixVoice> voices = HeavyProject();
    CRenderCache cache;
    CSound sound;
    MixStats stats;
    cache.Render(voices.data(), 16, sound, 1, Rate, 16, &stats);
    int edit = 0;
    for (auto _ : state) {
        voices[7].voice.params.wave.amplitude = 0.5f + 0.001f * static_cast<float>(++edit % 300);
        cache.Render(voices.data(), 16, sound, 1, Rate, 16, &stats);
        benchmark::DoNotOptimize(sound.data);
    }
    state.counters["voices_rendered"] = stats.voicesRendered;
    state.counters["cache_MB"] = static_cast<double>(cache.GetBytes()) / (1 << 20);
}

// A frame loop (8 ms of work a frame, then a poll) while the job renders the whole heavy
// project from nothing in the background.
void BM_FramesDuringHeavyRender(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    double frames = 0, seconds = 0, longest = 0;
    for (auto _ : state) {
        CRenderJob job;
        job.Start(HeavyProject(), 1, Rate, 16);
        CSound sound;
        MixStats stats;
        const auto start = Clock::now();
        auto last = start;
        for (bool done = false; !done;) {
            const auto frameEnd = Clock::now() + std::chrono::milliseconds(8);
            while (Clock::now() < frameEnd) {
            }
            done = job.Poll(sound, stats);
            const auto now = Clock::now();
            longest = std::max(longest, std::chrono::duration<double>(now - last).count());
            last = now;
            ++frames;
        }
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["frames_per_second"] = frames / seconds;
    state.counters["longest_frame_ms"] = longest * 1000.0;
}

} // namespace

BENCHMARK(BM_HeavyOneVoiceChanged)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_FramesDuringHeavyRender)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_HeavyMix)->ArgName("threads")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PerVoice)
    ->ArgNames({"voices", "fast"})
    ->ArgsProduct({{1, 16, 256}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->UseRealTime();
BENCHMARK(BM_HeavyMixAllStages)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime();
BENCHMARK(BM_VoiceRunFilters)->ArgName("filters")->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_LibmFloor)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
