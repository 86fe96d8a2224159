// What decides when the main loop runs a pass and when it draws: redraw and tick requests,
// the enabled timers' due times, and the wait, on a clock and sleep the test owns.
#include "events/FrameTick.h"
#include "events/Timer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

uint32_t g_now = 0;
std::vector<uint32_t> g_sleeps;
uint32_t TestClock() { return g_now; }
void TestSleep(uint32_t milliseconds) { g_sleeps.push_back(milliseconds); }

class FrameTickTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 5000;
        g_sleeps.clear();
        SetAppClockForTesting(&TestClock);
        TakeRedrawRequest();
        TakeTickRequest();
    }
    void TearDown() override
    {
        SetAppClockForTesting(nullptr);
        SetAppSleepForTesting(nullptr);
        TakeRedrawRequest();
        TakeTickRequest();
    }
    // The wait with no draw pending.
    static uint32_t Wait() { return PassWaitTime(g_now, false, 0); }
};

TEST_F(FrameTickTest, ARedrawRequestHoldsUntilTaken)
{
    EXPECT_FALSE(IsRedrawRequested());
    EXPECT_FALSE(TakeRedrawRequest());
    RequestRedraw();
    RequestRedraw();
    EXPECT_TRUE(IsRedrawRequested());
    EXPECT_TRUE(TakeRedrawRequest());
    EXPECT_FALSE(IsRedrawRequested());
    EXPECT_FALSE(TakeRedrawRequest());
}

TEST_F(FrameTickTest, WithNothingDueTheWaitIsCapped)
{
    EXPECT_EQ(Wait(), kMaxPassWait);
    EXPECT_EQ(PassWaitTime(g_now, false, g_now + 10), kMaxPassWait); // no draw pending: ignored
}

TEST_F(FrameTickTest, TheWaitEndsAtTheEarliestEnabledTimer)
{
    CTimer a, b;
    auto c = std::make_unique<CTimer>();
    a.SetInterval(300);
    b.SetInterval(100);
    c->SetInterval(200);
    a.SetEnabled(true);
    b.SetEnabled(true);
    c->SetEnabled(true);
    EXPECT_EQ(Wait(), 100u);
    g_now += 30;
    EXPECT_EQ(Wait(), 70u);
    b.SetEnabled(false); // out of the middle of the list
    EXPECT_EQ(Wait(), 170u);
    c.reset(); // destroyed while enabled
    EXPECT_EQ(Wait(), 270u);
    b.SetEnabled(true); // back in, restarted from now
    EXPECT_EQ(Wait(), 100u);
    a.SetEnabled(false);
    b.SetEnabled(false);
    EXPECT_EQ(Wait(), kMaxPassWait);

    CTimer late;
    late.SetInterval(5000); // beyond the cap
    late.SetEnabled(true);
    EXPECT_EQ(Wait(), kMaxPassWait);
    g_now += 6000; // overdue
    EXPECT_EQ(Wait(), 0u);
}

TEST_F(FrameTickTest, ATimerDueAcrossTheClockWrapIsWaitedFor)
{
    g_now = 0xFFFFFFF0u;
    CTimer timer;
    timer.SetInterval(100);
    timer.SetEnabled(true);
    EXPECT_EQ(Wait(), 100u);
}

TEST_F(FrameTickTest, ATickRequestKeepsTheEarliestAndIsUsedUpByTheTick)
{
    RequestTickWithin(50);
    EXPECT_EQ(Wait(), 50u);
    RequestTickWithin(80); // later: changes nothing
    EXPECT_EQ(Wait(), 50u);
    RequestTickWithin(20);
    EXPECT_EQ(Wait(), 20u);
    g_now += 25;
    EXPECT_EQ(Wait(), 0u);
    TakeTickRequest();
    EXPECT_EQ(Wait(), kMaxPassWait);
}

TEST_F(FrameTickTest, APendingDrawIsWaitedForAtItsPacedTime)
{
    EXPECT_EQ(PassWaitTime(g_now, true, g_now + 40), 40u);
    EXPECT_EQ(PassWaitTime(g_now, true, g_now - 5), 0u); // already allowed
    RequestTickWithin(10);
    EXPECT_EQ(PassWaitTime(g_now, true, g_now + 40), 10u); // whichever comes first
}

TEST_F(FrameTickTest, ATimerThatFiresAsksForARedrawUnlessItIsQuiet)
{
    CTimer timer;
    timer.SetInterval(100);
    timer.SetEnabled(true);
    g_now += 50;
    GetFrameTick().Emit();
    EXPECT_FALSE(IsRedrawRequested()); // not due: nothing changed
    g_now += 50;
    GetFrameTick().Emit();
    EXPECT_TRUE(IsRedrawRequested());

    TakeRedrawRequest();
    timer.SetQuiet(true);
    g_now += 100;
    GetFrameTick().Emit();
    EXPECT_FALSE(IsRedrawRequested());
    EXPECT_EQ(timer.GetDueTime(), g_now + 100); // it fired all the same
}

TEST_F(FrameTickTest, TheWaitGoesToTheTestSleepWhenOneIsInstalled)
{
    SetAppSleepForTesting(&TestSleep);
    AppWait(30);
    AppWait(0); // nothing to wait for
    AppSleep(7);
    EXPECT_EQ(g_sleeps, (std::vector<uint32_t>{30, 7}));
}

} // namespace
