// One emission to 1, 10 and 100 connected slots; per_slot is the time of one slot call.
// Target: under 10 ns per slot call.
#include "events/Signal.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

struct CScroll {
    CSignal<float> onValue;
};

class CReceiver {
public:
    void OnTick() { ++ticks; }
    void OnScroll(float value, CScroll*) { sum += value; }
    int ticks = 0;
    float sum = 0;
    CSlotList slots;
};

void Counters(benchmark::State& state, int64_t slots)
{
    state.counters["per_slot"] = benchmark::Counter(double(state.iterations() * slots),
                                                    benchmark::Counter::kIsRate |
                                                        benchmark::Counter::kInvert);
}

void EmitPlain(benchmark::State& state)
{
    CSignal<> tick;
    std::vector<std::unique_ptr<CReceiver>> receivers;
    for (int64_t i = 0; i < state.range(0); ++i) {
        receivers.push_back(std::make_unique<CReceiver>());
        receivers.back()->slots.Connect(tick, receivers.back().get(), &CReceiver::OnTick);
    }
    for (auto _ : state) {
        tick.Emit();
        benchmark::ClobberMemory();
    }
    Counters(state, state.range(0));
}

void EmitWithBoundValue(benchmark::State& state)
{
    CScroll scroll;
    std::vector<std::unique_ptr<CReceiver>> receivers;
    for (int64_t i = 0; i < state.range(0); ++i) {
        receivers.push_back(std::make_unique<CReceiver>());
        receivers.back()->slots.ConnectUser(scroll.onValue, receivers.back().get(),
                                            &CReceiver::OnScroll, &scroll);
    }
    float value = 0.25f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        scroll.onValue.Emit(value);
        benchmark::ClobberMemory();
    }
    Counters(state, state.range(0));
}

} // namespace

BENCHMARK(EmitPlain)->Arg(1)->Arg(10)->Arg(100);
BENCHMARK(EmitWithBoundValue)->Arg(1)->Arg(10)->Arg(100);
BENCHMARK_MAIN();
