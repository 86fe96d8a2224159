// What one voice costs in memory: a bare voice model against a voice panel set up from stock
// templates (the object plus the heap bytes and allocations it takes through operator new).
#include "app/Oscilloscope.h"
#include "synth/VoiceModel.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

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

BENCHMARK_MAIN();
