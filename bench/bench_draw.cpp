// What drawing the real main scene costs: the CPU time of one drawn and presented frame with
// 8 and 32 voices whose carrier and envelope areas are open (and with 8 at 200 %, and with 8
// with the mix strip hidden, so that the strip's own share is the difference; the mix strip
// showing the whole mix), of one with 8 such voices while the mix plays a selected range (the
// frame's tick, which moves the playheads and measures the meter and the spectrum, included), and the share of a core the
// program takes at rest with 8 such voices (its real main loop, left alone for a second per
// iteration), counted over the whole process (the software renderer's threads included). Needs a display: run it under a virtual X
// server from the source folder (the program reads resources/ from there), e.g.
//     xvfb-run -a -s "-screen 0 1280x1024x24" build/bench_draw
// With the default Mesa driver on such a server the renderer is llvmpipe, on the CPU.
#include "app/Application.h"
#include "events/FrameTick.h"
#include "events/Input.h"
#include "media/DrawBatch.h"
#include "platform/Clock.h"
#include "platform/Events.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdlib>
#include <functional>
#include <utility>

namespace {

// The application, with one drawn frame on demand and a hook on the frame tick that runs
// once the main scene is up.
class BenchApp : public Application {
public:
    BenchApp() { m_slots.Connect(GetFrameTick(), this, &BenchApp::OnTick); }
    ~BenchApp() override { m_slots.Clear(); }

    // A whole frame, as the main loop draws it.
    void DrawOneFrame() { DrawFrame(AppTime()); }

    std::function<void()> whenReady;
    uint64_t presented = 0;

protected:
    void Present() override
    {
        ++presented;
        Application::Present();
    }

private:
    void OnTick()
    {
        CSceneMain& scene = GetMainScene();
        if (!whenReady || !scene.GetProjectNameBox() || scene.GetPanels().empty())
            return;
        auto run = std::move(whenReady);
        whenReady = nullptr;
        run();
        PlatformPushQuit();
    }

    CSlotList m_slots;
};

// Every voice with a different shape and modulator shape, its carrier and envelope on, so
// each panel shows all three traces.
void MakeVoices(CSceneMain& scene, size_t count)
{
    while (scene.GetVoices().size() < count)
        scene.AddVoice();
    for (size_t i = 0; i < scene.GetVoices().size(); ++i) {
        CVoiceModel& voice = *scene.GetVoices()[i];
        voice.SetWaveType(static_cast<int32_t>(i % 5));
        voice.SetCarrierType(static_cast<int32_t>((i + 2) % 5));
        voice.SetCarrierOn(true);
        voice.SetEnvelopeOn(true);
    }
}

// Runs the application with the benchmark's voice count (its argument) and, once the main
// scene is up with those voices, measure(app); skips without a display.
void WithVoices(benchmark::State& state, const std::function<void(BenchApp&)>& measure)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no display: run under a (virtual) X server");
        return;
    }
    BenchApp app;
    app.whenReady = [&] {
        // The voices made here are unsaved work: the quit that ends the run lets them go
        // without asking, as no one is there to answer.
        app.GetMainScene().SetQuestionRunner([](const QuestionRequest&) { return 1; }); // Don't Save
        MakeVoices(app.GetMainScene(), static_cast<size_t>(state.range(0)));
        measure(app);
    };
    app.Run(0, nullptr);
}

// Arguments: the voices, the zoom in percent (glyphs rasterised for it, sprites sampled
// inset; the window's pixels then show fewer units), and whether the mix strip is shown (0:
// hidden, its place left empty, so that the difference is what the strip's views cost).
void BM_DrawnFrame(benchmark::State& state)
{
    WithVoices(state, [&](BenchApp& app) {
        app.SetScale(static_cast<float>(state.range(1)) / 100.0f); // not kept in the settings
        app.GetMainScene().GetMixStrip().SetVisible(state.range(2) != 0);
        app.GetMainScene().LayoutVoices();
        for (int i = 0; i < 5; ++i) // layout settles, textures and glyphs are made
            app.DrawOneFrame();
        for (auto _ : state)
            app.DrawOneFrame();
        const BatchStats stats = GetBatchStats();
        state.counters["shapes"] = stats.shapes;
        state.counters["draws"] = stats.draws;
        state.counters["immediate"] = stats.immediate;
        state.counters["culled"] = stats.culled;
        state.counters["magnified"] = stats.magnified;
        state.counters["depth_free"] = stats.depthFree;
        state.counters["opaque"] = stats.opaque;
    });
}
BENCHMARK(BM_DrawnFrame)
    ->Args({8, 100, 1})
    ->Args({8, 100, 0})
    ->Args({32, 100, 1})
    ->Args({8, 200, 1})
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DrawnFramePlaying(benchmark::State& state)
{
    WithVoices(state, [&](BenchApp& app) {
        CSceneMain& scene = app.GetMainScene();
        const CGUI& overview = scene.GetMixStrip().GetOverview();
        const float x = overview.GetAbsolutePosition().x, y = overview.GetAbsolutePosition().y + 10.0f;
        for (const auto& [action, at] : {std::pair{InputPress, 0.2f}, {InputMove, 0.8f}, {InputRelease, 0.8f}}) {
            CInputMap event;
            event.action = action;
            event.button = action == InputMove ? MouseNoButton : MouseLeft;
            event.position = CVector(x + at * overview.GetWidth(), y, 0.0f, 0.0f);
            GetMouseSignal().Emit(event);
        }
        scene.Play();
        for (int i = 0; i < 5; ++i)
            app.DrawOneFrame();
        for (auto _ : state) {
            GetFrameTick().Emit();
            app.DrawOneFrame();
        }
        state.counters["shapes"] = GetBatchStats().shapes;
        state.counters["draws"] = GetBatchStats().draws;
        state.counters["depth_free"] = GetBatchStats().depthFree;
    });
}
BENCHMARK(BM_DrawnFramePlaying)->Arg(8)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

double ProcessSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// One iteration is a second of the real main loop with nobody touching the program; the CPU
// column is then the milliseconds of CPU that second took. Arguments: the voices, and whether
// the mix plays (looping) meanwhile, its playheads and meter moving.
void BM_AtRest(benchmark::State& state)
{
    WithVoices(state, [&](BenchApp& app) {
        CSceneMain& scene = app.GetMainScene();
        // Until the mix is made and the program has settled.
        const uint32_t start = PlatformTicks();
        while ((scene.IsRenderPending() || PlatformTicks() - start < 1500) && app.IsRunning())
            app.Pass();
        if (state.range(1) != 0)
            scene.Play();
        double cpu = 0, wall = 0;
        uint64_t frames = 0;
        for (auto _ : state) {
            const uint64_t presented = app.presented;
            const double cpuStart = ProcessSeconds();
            const uint32_t from = PlatformTicks();
            while (PlatformTicks() - from < 1000 && app.IsRunning())
                app.Pass();
            cpu += ProcessSeconds() - cpuStart;
            wall += static_cast<double>(PlatformTicks() - from) / 1000.0;
            frames += app.presented - presented;
        }
        state.counters["core_percent"] = wall > 0 ? 100.0 * cpu / wall : 0.0;
        state.counters["frames_per_s"] = wall > 0 ? static_cast<double>(frames) / wall : 0.0;
    });
}
BENCHMARK(BM_AtRest)->Args({8, 0})->Args({8, 1})->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
