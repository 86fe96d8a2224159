// The main loop: which passes draw and how long it waits between them, the minimised state
// and frame pacing, on a clock and sleep the test owns, with events pushed through the real
// event queue (no window needed).
#include "app/App.h"
#include "events/Timer.h"
#include "platform/Events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

uint32_t g_now = 0;
std::vector<std::string>* g_log = nullptr;
// Called by each sleep or wait with the milliseconds asked for; returns how many of them pass
// (an event that arrives during a wait ends it early). Without it, all of them pass.
std::function<uint32_t(uint32_t)> g_onSleep;

uint32_t TestClock() { return g_now; }
void TestSleep(uint32_t milliseconds)
{
    g_log->push_back("sleep " + std::to_string(milliseconds));
    g_now += g_onSleep ? g_onSleep(milliseconds) : milliseconds;
}

bool PushWindowEvent(uint8_t id)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_WINDOWEVENT;
    event.window.event = id;
    return PlatformPushEvent(event);
}

std::string Window(uint8_t id) { return "window " + std::to_string(id); }

// An application whose passes log what they do; a frame takes drawTime milliseconds to draw.
class CLoopApp : public CApp {
public:
    explicit CLoopApp(std::vector<std::string>& log) : log(log)
    {
        slots.Connect(GetFrameTick(), this, &CLoopApp::OnTick);
        slots.Connect(onMessage, this, &CLoopApp::OnMessage);
        SetFramePeriod(40);
    }
    ~CLoopApp() override { slots.Clear(); }

    int Run(int, char**) override
    {
        MainLoop();
        return 7;
    }
    void Draw() override
    {
        ++frames;
        drawTimes.push_back(g_now);
        log.push_back("draw");
        g_now += drawTime;
        if (onDraw)
            onDraw(frames);
    }
    void OnTick()
    {
        ++ticks;
        log.push_back("tick");
        g_now += tickTime;
        if (onTick)
            onTick(ticks);
    }
    void OnMessage(uint32_t type, int32_t p1, int32_t)
    {
        if (type == SDL_WINDOWEVENT)
            log.push_back(Window(static_cast<uint8_t>(p1)));
        else if (type == SDL_MOUSEMOTION)
            log.push_back("motion");
    }

    std::vector<std::string>& log;
    uint32_t drawTime = 10;
    uint32_t tickTime = 0;
    int frames = 0;
    int ticks = 0;
    std::vector<uint32_t> drawTimes;
    std::function<void(int)> onDraw;
    std::function<void(int)> onTick;
    CSlotList slots;
};

// Logs "fire" each time the timer expires.
struct CFireLog {
    CFireLog(CTimer& timer, std::vector<std::string>& log) : log(log)
    {
        slots.Connect(timer.onExpire, this, &CFireLog::OnExpire);
    }
    void OnExpire()
    {
        ++fired;
        log.push_back("fire");
    }
    std::vector<std::string>& log;
    int fired = 0;
    CSlotList slots;
};

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        g_now = 1000;
        g_log = &log;
        g_onSleep = nullptr;
        SetAppClockForTesting(&TestClock);
        SetAppSleepForTesting(&TestSleep);
        TakeRedrawRequest(); // what earlier tests left asked for
        TakeTickRequest();
    }
    void TearDown() override
    {
        SetAppClockForTesting(nullptr);
        SetAppSleepForTesting(nullptr);
        g_onSleep = nullptr;
        g_log = nullptr;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }
    std::vector<std::string> log;
};

// [SECTION] Passes: what draws and how long the loop waits

TEST_F(MainLoopTest, TheFirstPassAndEveryEventDrawAndTheCloseIsTestedAfterThePass)
{
    CLoopApp app(log);
    ASSERT_TRUE(PlatformPushMouseMove(1, 2));
    int sleeps = 0;
    g_onSleep = [&](uint32_t milliseconds) {
        if (++sleeps == 2) {
            PlatformPushWindowClose();
            PlatformPushMouseMove(3, 4);
        }
        return milliseconds;
    };
    EXPECT_EQ(AppMain(0, nullptr), 7);
    // With nothing due, a pass waits as long as it may; the pass that sees the close still
    // draws (the event asks for it) and does not wait.
    EXPECT_EQ(log, (std::vector<std::string>{"motion", "tick", "draw", "sleep 1000", "tick", "sleep 1000",
                                             Window(SDL_WINDOWEVENT_CLOSE), "motion", "tick", "draw"}));
    EXPECT_FALSE(app.IsRunning());
}

TEST_F(MainLoopTest, QuitRequestEndsTheLoopWithoutReachingTheHandlers)
{
    CLoopApp app(log);
    ASSERT_TRUE(PlatformPushQuit());
    ASSERT_TRUE(PlatformPushQuit()); // a second one while ending changes nothing
    ASSERT_TRUE(PlatformPushWindowClose());
    app.MainLoop();
    EXPECT_EQ(log, (std::vector<std::string>{Window(SDL_WINDOWEVENT_CLOSE), "tick", "draw"}));
}

TEST_F(MainLoopTest, WithNothingToDoAPassDrawsNothingAndWaitsUntilTheNextTimerIsDue)
{
    CLoopApp app(log);
    CTimer timer, disabled, gone;
    CFireLog fires(timer, log);
    timer.SetInterval(2500);
    timer.SetEnabled(true);
    disabled.SetInterval(300); // neither a disabled timer nor a destroyed one is waited for
    disabled.SetEnabled(true);
    disabled.SetEnabled(false);
    {
        CTimer destroyed;
        destroyed.SetInterval(200);
        destroyed.SetEnabled(true);
    }
    app.onDraw = [](int frame) {
        if (frame == 2)
            PlatformPushWindowClose();
    };
    app.MainLoop();
    // Due at 3500: waits of at most a second until then; the timer fires on the tick at 3500,
    // and its expiry draws.
    EXPECT_EQ(log, (std::vector<std::string>{"tick", "draw", "sleep 1000", "tick", "sleep 1000", "tick",
                                             "sleep 490", "tick", "fire", "draw", "sleep 1000",
                                             Window(SDL_WINDOWEVENT_CLOSE), "tick", "draw"}));
    EXPECT_EQ(app.drawTimes, (std::vector<uint32_t>{1000, 3500, 4510}));
}

TEST_F(MainLoopTest, RequestedTicksRunPassesWithoutDrawing)
{
    CLoopApp app(log);
    app.onTick = [](int tick) {
        if (tick <= 3)
            RequestTickWithin(15);
    };
    int sleeps = 0;
    g_onSleep = [&](uint32_t milliseconds) {
        if (++sleeps == 5)
            PlatformPushQuit();
        return milliseconds;
    };
    app.MainLoop();
    // Asked for at 1000, 1015 and 1030 (the first frame took 10 ms of the 15); then nothing.
    EXPECT_EQ(log, (std::vector<std::string>{"tick", "draw", "sleep 5", "tick", "sleep 15", "tick", "sleep 15",
                                             "tick", "sleep 1000", "tick", "sleep 1000", "tick", "draw"}));
}

TEST_F(MainLoopTest, RedrawsAskedForSoonerThanAFramePeriodWaitForIt)
{
    CLoopApp app(log);
    // An event ends every wait 10 ms in: each pass asks for a redraw, and only those a frame
    // period apart draw; the others tick and wait for the paced time.
    bool closing = false;
    g_onSleep = [&](uint32_t milliseconds) {
        PlatformPushMouseMove(1, 1);
        if (closing)
            PlatformPushWindowClose();
        return std::min<uint32_t>(milliseconds, 10);
    };
    app.onDraw = [&](int frame) { closing = frame == 4; };
    app.MainLoop();
    // The close arrives at 1140, too soon for a frame: the last pass ends without one.
    EXPECT_EQ(app.drawTimes, (std::vector<uint32_t>{1000, 1040, 1080, 1120}));
    EXPECT_EQ(app.ticks, 11); // 1000, then every 10 ms from 1020 to 1140
    const std::vector<std::string> start(log.begin(), log.begin() + 12);
    EXPECT_EQ(start, (std::vector<std::string>{"tick", "draw", "sleep 1000", "motion", "tick", "sleep 20", "motion",
                                               "tick", "sleep 10", "motion", "tick", "draw"}));
}

// Minimised, nothing is drawn, yet the tick goes on: timers (the sound buffers' refills among
// them) fire on time.
TEST_F(MainLoopTest, MinimisedWindowTicksTimersButDrawsNothingUntilRestored)
{
    CLoopApp app(log);
    CTimer timer;
    CFireLog fires(timer, log);
    timer.SetInterval(50);
    timer.SetEnabled(true);

    ASSERT_TRUE(PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED));
    int sleeps = 0;
    g_onSleep = [&](uint32_t milliseconds) {
        if (++sleeps == 5)
            PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
        return milliseconds;
    };
    app.onDraw = [&](int) {
        EXPECT_EQ(app.GetRunState(), CApp::Active);
        PlatformPushWindowClose();
    };
    app.MainLoop();
    EXPECT_EQ(log, (std::vector<std::string>{Window(SDL_WINDOWEVENT_MINIMIZED), "tick", "sleep 50", "tick",
                                             "fire", "sleep 50", "tick", "fire", "sleep 50", "tick", "fire",
                                             "sleep 50", "tick", "fire", "sleep 50", Window(SDL_WINDOWEVENT_RESTORED),
                                             "tick", "fire", "draw", "sleep 40", Window(SDL_WINDOWEVENT_CLOSE),
                                             "tick", "fire", "draw"}));
    EXPECT_EQ(fires.fired, 6);
    EXPECT_EQ(app.GetRunState(), CApp::Active);
}

// [SECTION] Frame: one frame on demand

TEST_F(MainLoopTest, FramePacingMeasuresFromAfterTheTickAndNeverSleepsAfterALongFrame)
{
    CLoopApp app(log);
    app.tickTime = 25; // outside the measured interval
    app.drawTime = 10;
    app.Frame();
    app.drawTime = 39;
    app.Frame();
    app.drawTime = 40;
    app.Frame();
    app.drawTime = 95;
    app.Frame();
    app.drawTime = 5;
    app.Frame();
    EXPECT_EQ(log, (std::vector<std::string>{"tick", "draw", "sleep 30", "tick", "draw", "sleep 1", "tick",
                                             "draw", "tick", "draw", "tick", "draw", "sleep 35"}));
}

TEST_F(MainLoopTest, FramePacingSurvivesTheClockWrap)
{
    CLoopApp app(log);
    g_now = 0xFFFFFFFFu - 5;
    app.drawTime = 10;
    app.Frame();
    EXPECT_EQ(log, (std::vector<std::string>{"tick", "draw", "sleep 30"}));
}

TEST(AppMainTest, WithoutAnApplicationReturnsZero)
{
    ASSERT_EQ(GetApp(), nullptr);
    EXPECT_EQ(AppMain(0, nullptr), 0);
}

TEST(AppMainTest, PassesTheArgumentsToRunAndReturnsItsResult)
{
    struct CArgsApp : CApp {
        int Run(int argc, char** argv) override { return argc * 10 + (argv[1][0] - '0'); }
    };
    CArgsApp app;
    EXPECT_EQ(GetApp(), &app);
    char program[] = "quillwave", first[] = "4";
    char* argv[] = {program, first, nullptr};
    EXPECT_EQ(AppMain(2, argv), 24);
}

TEST(AppLifetimeTest, DestroyingTheApplicationClearsTheGlobalPointerAndItsSignalsDisconnect)
{
    struct CArgsApp : CApp {
        int Run(int, char**) override { return 0; }
    };
    struct CListener {
        void OnResize(int32_t, int32_t, CDisplay::SizeType) {}
        CSlotList slots;
    } listener;
    {
        CArgsApp app;
        listener.slots.Connect(app.onResize, &listener, &CListener::OnResize);
        EXPECT_EQ(app.onResize.GetPeerCount(), 2u); // its own slot, then the listener's
    }
    EXPECT_EQ(GetApp(), nullptr);
    EXPECT_EQ(CApp::GetWindowHandle(), nullptr);
    EXPECT_EQ(listener.slots.GetCount(), 1u);
    listener.slots.Clear(); // the slot outlived its signal: no peer left to touch
}

} // namespace
