// The real Application at rest: once the main scene is up and nothing asks for frames, the
// program presents no frame and hardly runs a pass; a timer, a mouse move and a key each make
// it draw again. Runs under the (virtual) X server with the shipped resources.
//
// Other tests may share the display: their windows come and go over this one, which then
// gets window messages (exposed, focus) and must draw. Such frames and passes are the
// program doing its job; only those that no window message prompted count as drawn at rest.
#include "app/Application.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "events/Timer.h"
#include "platform/Events.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// The application, noting the frames it presents with no window message since the one before.
class CPresentLog : public Application {
public:
    CPresentLog() { m_slots.Connect(onMessage, this, &CPresentLog::OnMessage); }

    std::vector<uint32_t> unprompted; // AppTime() of each such frame
    std::string messages;             // "type/first field@time" of every message, for failures
    std::function<void()> onPresent;

protected:
    void Present() override
    {
        if (!m_prompted)
            unprompted.push_back(AppTime());
        m_prompted = false;
        Application::Present();
        if (onPresent)
            onPresent();
    }

private:
    void OnMessage(uint32_t type, int32_t param1, int32_t)
    {
        m_prompted = true;
        messages += " " + std::to_string(type) + "/" + std::to_string(param1) + "@" + std::to_string(AppTime());
    }

    bool m_prompted = true;
    CSlotList m_slots;
};

// Notes the ticks that no window message prompted, and counts the mouse and key events heard.
struct CHeard {
    explicit CHeard(CApp& app)
    {
        slots.Connect(app.onMessage, this, &CHeard::OnMessage);
        slots.Connect(GetFrameTick(), this, &CHeard::OnTick);
        slots.Connect(GetMouseSignal(), this, &CHeard::OnMouse);
        slots.Connect(GetKeyboardSignal(), this, &CHeard::OnKey);
    }
    void OnMessage(uint32_t, int32_t, int32_t) { prompted = true; }
    void OnTick()
    {
        if (!prompted)
            unpromptedTicks.push_back(AppTime());
        prompted = false;
    }
    void OnMouse(CInputMap&) { ++mouse; }
    void OnKey(CInputMap&) { ++keys; }
    std::vector<uint32_t> unpromptedTicks;
    bool prompted = true;
    int mouse = 0;
    int keys = 0;
    CSlotList slots;
};

size_t CountAfter(const std::vector<uint32_t>& times, uint32_t from)
{
    return static_cast<size_t>(
        std::count_if(times.begin(), times.end(), [from](uint32_t t) { return static_cast<int32_t>(t - from) > 0; }));
}

class Rest : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: this test runs under a (virtual) X server";
    }
};

// How long the program is left alone: the first part lets what the start-up began settle (the
// last scripted frame, a re-layout after the window's resize); the rest is watched.
constexpr uint32_t kSettleMs = 500;
constexpr uint32_t kWatchedMs = 1000;

TEST_F(Rest, AtRestNoFrameIsPresentedUntilATimerAMoveOrAKeyAsksForOne)
{
    CPresentLog app;
    CHeard heard(app);
    CFrameScript script;
    CSceneMain& scene = app.GetMainScene();
    CTimer probe, watchdog;
    CSlotList slots;
    uint32_t restStart = 0;
    script.Until(300, [&] {
        return scene.GetProjectNameBox() && scene.GetPanels().size() == 1 && !scene.IsRenderPending();
    });
    script.After(1, [&] {
        // The real pointer goes off the window, and the program's pointer where nothing reacts
        // to it (no hover, no tooltip).
        SDL_WarpMouseGlobal(0, 0);
        PlatformPushMouseMove(4, app.GetClientHeight() - 4);
    });
    script.After(15, [&] {
        restStart = AppTime();
        probe.SetInterval(static_cast<int32_t>(kSettleMs + kWatchedMs));
        probe.SetEnabled(true);
        watchdog.SetInterval(10000);
        watchdog.SetEnabled(true);
    });
    script.RestWhenDone();

    // At the probe: what happened while the program was watched; then, one after the other,
    // the probe's own frame, a mouse move and a key, each of which must bring a frame (without
    // one the program rests until the watchdog ends it).
    enum Phase { Resting, TimerFrame, MoveFrame, KeyFrame, Done } phase = Resting;
    size_t watchedPresents = 99, watchedTicks = 99;
    int movesBefore = 0, keysBefore = 0;
    bool timedOut = false;
    struct CSlots {
        std::function<void()> probe, watchdog;
        void OnProbe() { probe(); }
        void OnWatchdog() { watchdog(); }
    } handlers;
    handlers.probe = [&] {
        probe.SetEnabled(false);
        const uint32_t watchStart = restStart + kSettleMs;
        watchedPresents = CountAfter(app.unprompted, watchStart);
        watchedTicks = CountAfter(heard.unpromptedTicks, watchStart);
        phase = TimerFrame;
    };
    handlers.watchdog = [&] {
        timedOut = true;
        PlatformPushQuit();
    };
    slots.Connect(probe.onExpire, &handlers, &CSlots::OnProbe);
    slots.Connect(watchdog.onExpire, &handlers, &CSlots::OnWatchdog);
    app.onPresent = [&] {
        switch (phase) {
        case TimerFrame:
            movesBefore = heard.mouse;
            PlatformPushMouseMove(6, app.GetClientHeight() - 6);
            phase = MoveFrame;
            break;
        case MoveFrame:
            if (heard.mouse == movesBefore)
                break; // a frame for something else (another window on the display)
            keysBefore = heard.keys;
            PlatformPushKey(KeyA + 1, false); // a key release, which nothing acts on
            phase = KeyFrame;
            break;
        case KeyFrame:
            if (heard.keys == keysBefore)
                break;
            PlatformPushQuit();
            phase = Done;
            break;
        default:
            break;
        }
    };

    app.Run(0, nullptr);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(script.IsResting());
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(phase, Done);
    EXPECT_EQ(watchedPresents, 0u) << "frames presented while nothing changed; resting from " << restStart
                                   << ", messages (type/field@time):" << app.messages;
    // The loop still runs a pass now and then (its wait is capped), but nothing like the 25
    // a second of a loop that draws every frame.
    EXPECT_LE(watchedTicks, 5u);
}

} // namespace
