// Edit to ear: how long after an edit the changed sound leaves the mixer, in the real
// program with the heavy project (16 FM voices of 10 s) looping through SDL's disk driver.
// Each iteration moves one voice's amplitude, as a slider step does, and runs the real main
// loop until the playing buffer has been given the new mix and the mixer has played a
// period of it. Needs a display: run it from the source folder under a virtual X server,
//     xvfb-run -a -s "-screen 0 1280x1024x24" build/bench_edit
// The counters give the median and the 95th percentile in milliseconds.
#include "app/Application.h"
#include "events/FrameTick.h"
#include "platform/Events.h"
#include "sound/SoundBuffer.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// The application with a hook run on every frame tick once the main scene is up: the
// measurement runs as steps of the real main loop, never inside a nested one.
class BenchApp : public Application {
public:
    BenchApp() { m_slots.Connect(GetFrameTick(), this, &BenchApp::OnTick); }
    ~BenchApp() override { m_slots.Clear(); }

    // Called on every tick; returns false when done (the program then quits).
    std::function<bool()> step;

private:
    void OnTick()
    {
        CSceneMain& scene = GetMainScene();
        if (!step || !scene.GetProjectNameBox() || scene.GetPanels().empty())
            return;
        RequestTickWithin(0); // the loop keeps stepping rather than sleeping
        if (!step()) {
            step = nullptr;
            PlatformPushQuit();
        }
    }

    CSlotList m_slots;
};

void HeavyProject(CSceneMain& scene)
{
    while (scene.GetVoices().size() < 16)
        scene.AddVoice();
    for (size_t i = 0; i < scene.GetVoices().size(); ++i) {
        CVoiceModel& voice = *scene.GetVoices()[i];
        voice.SetSlider(ValueFrequency, 110.0f + 37.0f * static_cast<float>(i));
        voice.SetSlider(ValuePeriod, 1000.0f); // 10 s
        voice.SetSlider(ValueAmplitude, 20.0f);
        voice.SetCarrierOn(true);
        voice.SetModulation(FM);
        voice.SetSlider(ValueCarrierFrequency, 3.0f + static_cast<float>(i));
    }
}

void BM_EditToEar(benchmark::State& state)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no display: run under a (virtual) X server");
        return;
    }
    const std::string out = "/tmp/quillwave-bench-edit-" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    std::vector<double> ms;
    const size_t edits = static_cast<size_t>(state.max_iterations);
    {
        using Clock = std::chrono::steady_clock;
        enum class Phase { Start, Rest, Changed, Replaced };
        Phase phase = Phase::Start;
        Clock::time_point since;
        const uint8_t* playing = nullptr;
        CSoundBuffer* buffer = nullptr;
        float amplitude = 20.0f;
        BenchApp app;
        app.step = [&] {
            CSceneMain& scene = app.GetMainScene();
            switch (phase) {
            case Phase::Start:
                // Quitting at the end discards the edits: "Don't Save" (button 1).
                scene.SetQuestionRunner([](const QuestionRequest&) { return 1; });
                HeavyProject(scene);
                scene.Play();
                buffer = scene.GetPlayer() ? scene.GetPlayer()->Get(0) : nullptr;
                if (!buffer)
                    return false;
                since = Clock::now();
                phase = Phase::Rest;
                return true;
            case Phase::Rest: // edits apart, as a user's are; the first after the cache is full
                if (Clock::now() - since < std::chrono::milliseconds(ms.empty() ? 600 : 200))
                    return true;
                if (ms.size() == edits)
                    return false;
                playing = scene.GetMix().GetData();
                amplitude = amplitude == 20.0f ? 21.0f : 20.0f;
                since = Clock::now();
                scene.GetVoices()[3]->SetSlider(ValueAmplitude, amplitude);
                phase = Phase::Changed;
                return true;
            case Phase::Changed: // the new mix replaces the playing one from its start
                if (scene.GetMix().GetData() != playing)
                    phase = Phase::Replaced;
                return true;
            case Phase::Replaced: // once the cursor has moved, the mixer has played a period of it
                if (buffer->GetPosition() == 0)
                    return true;
                ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - since).count());
                since = Clock::now();
                phase = Phase::Rest;
                return true;
            }
            return false;
        };
        app.Run(0, nullptr);
    }
    if (ms.size() < edits) {
        state.SkipWithError("the program ended before every edit was heard");
        return;
    }
    size_t i = 0;
    for (auto _ : state)
        state.SetIterationTime(ms[i++] / 1000.0);
    std::remove(out.c_str());
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["p95_ms"] = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
}
BENCHMARK(BM_EditToEar)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace

BENCHMARK_MAIN();
