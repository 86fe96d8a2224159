// SIGTERM and SIGHUP reach the main loop as a Quit event, named by PlatformTerminationSignal,
// once the window system runs; needs a display (xvfb-run).
#include "platform/Events.h"
#include "platform/Termination.h"
#include "platform/Window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

class TerminationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* why = "";
        if (!PlatformInitVideo(&why))
            GTEST_SKIP() << "no display: " << why;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override { PlatformResetTerminationForTesting(); }

    // Waits as the main loop does, up to 5 s in all; true once a Quit came.
    static bool QuitArrives()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            PlatformWaitForEvent(5000);
            PlatformMessage message;
            while (PlatformPollMessage(nullptr, &message))
                for (uint32_t i = 0; i < message.count; ++i)
                    if (message.events[i].kind == PlatformEventKind::Quit)
                        return true;
        }
        return false;
    }
};

TEST_F(TerminationTest, HangupEndsTheLoopAsTerminateDoesAndIsNamed)
{
    PlatformCatchTermination();
    PlatformCatchTermination(); // idempotent: no handler chains to itself
    raise(SIGHUP);
    EXPECT_TRUE(QuitArrives());
    EXPECT_EQ(PlatformTerminationSignal(), SIGHUP);
    raise(SIGTERM); // the first signal stays the one named, and SDL's handling still works
    EXPECT_TRUE(QuitArrives());
    EXPECT_EQ(PlatformTerminationSignal(), SIGHUP);
}

TEST_F(TerminationTest, SignalOnAnotherThreadWakesTheMainThreadsWait)
{
    PlatformWindow* window = PlatformCreateWindow(64, 64, true, false, PlatformGLRequest());
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < 20 && PlatformWaitForEvent(50);) // the window's own first events
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    PlatformCatchTermination();
    std::thread sender([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        raise(SIGTERM); // raise signals the calling thread
    });
    EXPECT_TRUE(QuitArrives()); // the one 5 s wait would sleep through it otherwise
    sender.join();
    EXPECT_EQ(PlatformTerminationSignal(), SIGTERM);
    PlatformDestroyWindow(window);
}

TEST_F(TerminationTest, IgnoredHangupStaysIgnored)
{
    struct sigaction ignore = {}, previous, now;
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &ignore, &previous);
    PlatformCatchTermination();
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN); // as under nohup
    sigaction(SIGHUP, &previous, nullptr);
}

} // namespace
