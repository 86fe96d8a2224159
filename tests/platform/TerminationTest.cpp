// SIGTERM and SIGHUP reach the main loop as a Quit event, named by PlatformTerminationSignal,
// once the window system runs; needs a display (xvfb-run).
#include "platform/Events.h"
#include "platform/Termination.h"
#include "platform/Window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

// Waits as the main loop does, up to 5 s in all; true once a Quit came.
bool QuitArrives()
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

// With a window SDL waits on the display connection: a signal on another thread must cut it short.
TEST(TerminationTest, HangupOnAnyThreadEndsTheLoopAsTerminateDoesUnlessIgnored)
{
    const char* why = "";
    if (!PlatformInitVideo(&why))
        GTEST_SKIP() << "no display: " << why;
    PlatformWindow* window = PlatformCreateWindow(64, 64, true, false, PlatformGLRequest());
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < 20 && PlatformWaitForEvent(50); ++i) // the window's own first events
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    signal(SIGHUP, SIG_IGN);
    PlatformCatchTermination();
    EXPECT_EQ(signal(SIGHUP, SIG_DFL), SIG_IGN); // as under nohup
    PlatformCatchTermination(); // catches what the first call left, and chains nothing twice
    std::thread sender([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        raise(SIGHUP); // raise signals the calling thread
    });
    EXPECT_TRUE(QuitArrives()); // the one 5 s wait would sleep through it otherwise
    sender.join();
    EXPECT_EQ(PlatformTerminationSignal(), SIGHUP);
    raise(SIGTERM); // SDL's own handling goes on; the first signal stays the one named
    EXPECT_TRUE(QuitArrives());
    EXPECT_EQ(PlatformTerminationSignal(), SIGHUP);
    PlatformResetTerminationForTesting();
    PlatformDestroyWindow(window);
}

// A system warning box runs its own loop: a signal during it ends the process at once while
// no GL context is open (nothing to save), and is left to the main loop's Quit otherwise.
// Each case runs in a fresh process (the display connection cannot be shared with a fork).
void ShowBoxAndSignal(bool context)
{
    const char* why = "";
    if (!PlatformInitVideo(&why))
        _exit(3);
    PlatformWindow* window = PlatformCreateWindow(64, 64, true, false, PlatformGLRequest());
    if (!window || (context && !PlatformCreateGLContext(window)))
        _exit(4);
    PlatformCatchTermination();
    PlatformSetWarningHookForTesting([](const char*, const char*) { raise(SIGTERM); });
    PlatformShowWarning("box", "text");
    _exit(PlatformTerminationSignal() == SIGTERM ? 0 : 5);
}

TEST(TerminationTest, ASignalDuringASystemBoxEndsTheProcessOnlyWhenNothingIsAtStake)
{
    const char* why = "";
    if (!PlatformInitVideo(&why))
        GTEST_SKIP() << "no display: " << why;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ShowBoxAndSignal(false), testing::ExitedWithCode(128 + SIGTERM), "");
    EXPECT_EXIT(ShowBoxAndSignal(true), testing::ExitedWithCode(0), "");
}

} // namespace
