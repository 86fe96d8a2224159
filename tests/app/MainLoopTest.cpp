// The main loop's order, the minimised state and frame pacing, on a clock and sleep the test
// owns, with events pushed through the real event queue (no window needed).
#include "app/App.h"
#include "events/Timer.h"
#include "platform/Events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

uint32_t g_now = 0;
std::vector<std::string>* g_log = nullptr;
std::function<void(uint32_t)> g_onSleep;

uint32_t TestClock() { return g_now; }
void TestSleep(uint32_t milliseconds)
{
    g_log->push_back("sleep " + std::to_string(milliseconds));
    g_now += milliseconds;
    if (g_onSleep)
        g_onSleep(milliseconds);
}

bool PushWindowEvent(uint8_t id)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_WINDOWEVENT;
    event.window.event = id;
    return PlatformPushEvent(event);
}

// An application whose frames log what they do and take drawTime milliseconds to draw.
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
        log.push_back("draw");
        g_now += drawTime;
        if (onDraw)
            onDraw(frames);
    }
    void OnTick()
    {
        log.push_back("tick");
        g_now += tickTime;
    }
    void OnMessage(uint32_t type, int32_t p1, int32_t)
    {
        if (type == SDL_WINDOWEVENT)
            log.push_back("window " + std::to_string(p1));
        else if (type == SDL_MOUSEMOTION)
            log.push_back("motion");
    }

    std::vector<std::string>& log;
    uint32_t drawTime = 10;
    uint32_t tickTime = 0;
    int frames = 0;
    std::function<void(int)> onDraw;
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

TEST_F(MainLoopTest, EachPassDrainsEventsThenDrawsAndTheCloseIsTestedAfterTheFrame)
{
    CLoopApp app(log);
    ASSERT_TRUE(PlatformPushMouseMove(1, 2));
    app.onDraw = [](int frame) {
        if (frame == 2) {
            PlatformPushWindowClose();
            PlatformPushMouseMove(3, 4);
        }
    };
    EXPECT_EQ(AppMain(0, nullptr), 7);
    const std::string close = "window " + std::to_string(SDL_WINDOWEVENT_CLOSE);
    EXPECT_EQ(log, (std::vector<std::string>{"motion", "tick", "draw", "sleep 30", "tick", "draw",
                                             "sleep 30", close, "motion", "tick", "draw", "sleep 30"}));
    EXPECT_FALSE(app.IsRunning());
}

TEST_F(MainLoopTest, QuitRequestEndsTheLoopWithoutReachingTheHandlers)
{
    CLoopApp app(log);
    ASSERT_TRUE(PlatformPushQuit());
    ASSERT_TRUE(PlatformPushQuit()); // a second one while ending changes nothing
    ASSERT_TRUE(PlatformPushWindowClose());
    app.MainLoop();
    const std::string close = "window " + std::to_string(SDL_WINDOWEVENT_CLOSE);
    EXPECT_EQ(log, (std::vector<std::string>{close, "tick", "draw", "sleep 30"}));
}

TEST_F(MainLoopTest, MinimisedWindowSleepsOneFramePeriodPerPassAndTicksNoTimer)
{
    CLoopApp app(log);
    CTimer timer;
    struct CCount {
        int fired = 0;
        void OnExpire() { ++fired; }
        CSlotList slots;
    } count;
    count.slots.Connect(timer.onExpire, &count, &CCount::OnExpire);
    timer.SetInterval(50);
    timer.SetEnabled(true);

    ASSERT_TRUE(PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED));
    int sleeps = 0;
    g_onSleep = [&](uint32_t) {
        if (++sleeps == 5)
            PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    };
    app.onDraw = [&](int) {
        EXPECT_EQ(count.fired, 1); // overdue by far, yet fired once, on the first tick
        PlatformPushWindowClose();
    };
    app.MainLoop();
    const std::string minimised = "window " + std::to_string(SDL_WINDOWEVENT_MINIMIZED);
    const std::string restored = "window " + std::to_string(SDL_WINDOWEVENT_RESTORED);
    const std::string close = "window " + std::to_string(SDL_WINDOWEVENT_CLOSE);
    EXPECT_EQ(log, (std::vector<std::string>{minimised, "sleep 40", "sleep 40", "sleep 40", "sleep 40",
                                             "sleep 40", restored, "tick", "draw", "sleep 30", close,
                                             "tick", "draw", "sleep 30"}));
    EXPECT_EQ(app.GetRunState(), CApp::Active);
}

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
