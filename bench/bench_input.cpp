// The cost of one mouse move through the process-wide mouse signal with 1, 32 and 256 voice
// panels laid out by a voice area (the main scene's set-up without a window), the pointer
// going back and forth between two controls of the first panel. Budget: 50 µs per move at
// 256 panels. Needs no display.
#include "app/Oscilloscope.h"
#include "app/VoiceArea.h"
#include "events/Input.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void MouseMove(benchmark::State& state)
{
    CStockTemplates templates;
    CVoiceArea::PanelList panels;
    std::vector<std::unique_ptr<CVoiceModel>> models;
    CVoiceArea area(panels);
    for (int64_t i = 0; i < state.range(0); ++i) {
        models.push_back(std::make_unique<CVoiceModel>());
        panels.push_back(std::make_unique<COscilloscope>(*models.back()));
        panels.back()->Setup(templates.Get());
    }
    area.SetBounds(40.0f, 50.0f, 1280.0f, 1024.0f);
    area.Layout();
    // Over the first panel's amplitude slider, then over its sine box.
    const CVector a = panels.front()->Slider(ValueAmplitude).GetAbsolutePosition();
    const CVector b = panels.front()->WaveBox(0).GetAbsolutePosition();
    bool flip = false;
    for (auto _ : state) {
        const CVector& at = flip ? a : b;
        EmitMouseMove(static_cast<int32_t>(at.x) + 3, static_cast<int32_t>(at.y) + 3);
        flip = !flip;
    }
    state.counters["panels"] = static_cast<double>(state.range(0));
}

} // namespace

BENCHMARK(MouseMove)->Arg(1)->Arg(32)->Arg(256)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
