// The mixing renderer on a heavy mix (16 FM voices, 10 s, mono 16-bit 44.1 kHz) against the
// bare cost of the libm calls its formulas need for the same samples. Reports nanoseconds per
// voice and sample for both, and the heap allocations one render makes (operator new and
// malloc), which must not grow with the length. Also what one voice costs in memory: a bare
// voice model against a voice panel set up from stock templates (object plus heap bytes and
// allocations through operator new).
#include "synth/Oscilloscope.h"
#include "synth/Render.h"
#include "synth/VoiceModel.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <list>
#include <memory>
#include <new>
#include <vector>

static std::atomic<long> g_news{0};
static std::atomic<long> g_newBytes{0};

// Counting replacements of the global allocation functions (malloc-backed on both sides).
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size)
{
    ++g_news;
    g_newBytes += static_cast<long>(size);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

constexpr int Voices = 16;
constexpr float Seconds = 10.0f;
constexpr uint32_t Rate = 44100;

class BenchVoice : public CVoice {
public:
    explicit BenchVoice(const VoiceParams& p) : m_params(p) {}
    bool IsMuted() const override { return false; }
    float GetLength() const override { return m_params.wave.period; }
    VoiceParams GetParams() const override { return m_params; }

private:
    VoiceParams m_params;
};

std::vector<VoiceParams> HeavyMix()
{
    std::vector<VoiceParams> mix;
    for (int i = 0; i < Voices; ++i) {
        VoiceParams p;
        p.wave.frequency = 110.0f + 55.0f * i;
        p.wave.period = Seconds;
        p.wave.amplitude = 0.8f;
        p.carrierOn = true;
        p.fm = true;
        p.carrier.frequency = 1.0f + 0.5f * i;
        p.carrier.amplitude = 0.3f;
        mix.push_back(p);
    }
    return mix;
}

// Seconds per voice and sample (shown with an SI prefix: "3.1n" is 3.1 ns).
void SetCounters(benchmark::State& state, double voiceSamples)
{
    state.counters["per_voice_sample"] = benchmark::Counter(
        voiceSamples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RenderVoices(benchmark::State& state)
{
    std::vector<std::unique_ptr<BenchVoice>> owned;
    std::list<BenchVoice*> voices;
    for (const VoiceParams& p : HeavyMix()) {
        owned.push_back(std::make_unique<BenchVoice>(p));
        voices.push_back(owned.back().get());
    }
    CSound sound;
    long news = 0;
    for (auto _ : state) {
        long before = g_news.load();
        RenderVoices(voices, sound, 1, Rate, 16);
        news = g_news.load() - before;
        benchmark::DoNotOptimize(sound.data);
    }
    double values = sound.dataSize / 2.0;
    SetCounters(state, values * Voices);
    state.counters["operator_new_per_render"] = static_cast<double>(news);
}

// The floor: per voice and sample, the two sine evaluations FM needs (carrier, then the main
// oscillator at the moved frequency), with the arguments formed as cheaply as possible.
void BM_LibmFloor(benchmark::State& state)
{
    std::vector<VoiceParams> mix = HeavyMix();
    const uint32_t values = static_cast<uint32_t>(Rate * Seconds);
    const double step = static_cast<double>(Seconds) / values;
    for (auto _ : state) {
        double acc = 0.0;
        double t = 0.0;
        for (uint32_t i = 0; i < values; ++i) {
            const double theta = t * 6.283185308;
            for (const VoiceParams& p : mix) {
                double c = p.carrier.amplitude * std::sin(theta * p.carrier.frequency);
                acc += std::sin(theta * (p.wave.frequency + 100.0 * c));
            }
            t += step;
        }
        benchmark::DoNotOptimize(acc);
    }
    SetCounters(state, static_cast<double>(values) * Voices);
}

// Constructs one T (and runs setUp on it) per iteration, reporting the heap bytes and
// allocations that took, plus the object itself.
template <class T, class SetUp>
void MeasureVoiceCost(benchmark::State& state, SetUp setUp)
{
    long bytes = 0, news = 0;
    for (auto _ : state) {
        const long bytesBefore = g_newBytes.load(), newsBefore = g_news.load();
        auto voice = std::make_unique<T>();
        setUp(*voice);
        bytes = g_newBytes.load() - bytesBefore;
        news = g_news.load() - newsBefore;
        benchmark::DoNotOptimize(voice.get());
    }
    state.counters["bytes_per_voice"] = static_cast<double>(bytes);
    state.counters["allocations_per_voice"] = static_cast<double>(news);
}

void BM_VoiceModelCost(benchmark::State& state)
{
    MeasureVoiceCost<CVoiceModel>(state, [](CVoiceModel&) {});
}

void BM_VoicePanelCost(benchmark::State& state)
{
    CStockTemplates templates;
    MeasureVoiceCost<COscilloscope>(state, [&templates](COscilloscope& panel) { panel.Setup(templates.Get()); });
}

} // namespace

BENCHMARK(BM_VoiceModelCost);
BENCHMARK(BM_VoicePanelCost);
BENCHMARK(BM_RenderVoices)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LibmFloor)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
