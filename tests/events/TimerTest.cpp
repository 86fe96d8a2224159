#include "events/FrameTick.h"
#include "events/Timer.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

uint32_t g_now = 0;
uint32_t TestClock() { return g_now; }

// Runs the timers on a clock the test moves by hand; each Frame advances it and ticks.
class TimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 5000;
        SetAppClockForTesting(&TestClock);
    }
    void TearDown() override { SetAppClockForTesting(nullptr); }

    static void Frame(uint32_t milliseconds)
    {
        g_now += milliseconds;
        GetFrameTick().Emit();
    }
};

// Counts expiries and records when they happened; an optional action runs inside the handler.
class CCounter {
public:
    explicit CCounter(CTimer& timer) { slots.Connect(timer.onExpire, this, &CCounter::OnExpire); }
    void OnExpire()
    {
        times.push_back(g_now);
        if (action)
            action();
    }
    std::vector<uint32_t> times;
    std::function<void()> action;
    CSlotList slots;
};

TEST_F(TimerTest, StartsDisabledWithOneSecondInterval)
{
    CTimer timer;
    EXPECT_FALSE(timer.IsEnabled());
    EXPECT_EQ(timer.GetInterval(), 1000);
    EXPECT_EQ(timer.GetDueTime(), 0u);
    CCounter counter(timer);
    Frame(5000);
    EXPECT_TRUE(counter.times.empty());
}

TEST_F(TimerTest, OneMillisecondTimerFiresOncePerFrame)
{
    CTimer timer;
    CCounter counter(timer);
    timer.SetInterval(1);
    timer.SetEnabled(true);
    for (int i = 0; i < 5; ++i)
        Frame(40);
    EXPECT_EQ(counter.times.size(), 5u);
}

TEST_F(TimerTest, IntervalCountsInWholeFramesFromAfterTheHandlers)
{
    CTimer timer;
    CCounter counter(timer);
    timer.SetInterval(100);
    timer.SetEnabled(true);
    EXPECT_EQ(timer.GetDueTime(), 5100u);
    for (int i = 0; i < 9; ++i)
        Frame(40);
    // Due at 100 → fires at the tick of 120; due at 220 → 240; due at 340 → 360.
    EXPECT_EQ(counter.times, (std::vector<uint32_t>{5120, 5240, 5360}));

    // Time spent by the handlers delays the next due time.
    counter.action = [] { g_now += 30; };
    Frame(40); // 400: not due before 460
    Frame(40); // 440
    Frame(40); // 480: fires, the handler leaves the clock at 510
    EXPECT_EQ(timer.GetDueTime(), 5610u);
}

TEST_F(TimerTest, SeveralMissedIntervalsFireOnce)
{
    CTimer timer;
    CCounter counter(timer);
    timer.SetInterval(10);
    timer.SetEnabled(true);
    Frame(1000);
    EXPECT_EQ(counter.times.size(), 1u);
    EXPECT_EQ(timer.GetDueTime(), 6010u);
}

TEST_F(TimerTest, SetIntervalRestartsThePeriodWithoutEnabling)
{
    CTimer timer;
    CCounter counter(timer);
    timer.SetInterval(100);
    EXPECT_FALSE(timer.IsEnabled());
    timer.SetEnabled(true);
    Frame(80);
    timer.SetInterval(100); // restart at 80: due at 180
    Frame(40);
    Frame(40);
    EXPECT_TRUE(counter.times.empty());
    Frame(40);
    EXPECT_EQ(counter.times, (std::vector<uint32_t>{5200}));
}

TEST_F(TimerTest, EnablingAgainRestartsAndDoesNotDoubleFire)
{
    CTimer timer;
    CCounter counter(timer);
    timer.SetInterval(1);
    timer.SetEnabled(true);
    timer.SetEnabled(true);
    EXPECT_EQ(GetFrameTick().GetPeerCount(), 1u);
    Frame(40);
    EXPECT_EQ(counter.times.size(), 1u);
}

TEST_F(TimerTest, DisablingInsideTheHandlerStopsAtOnceAndStillSetsTheDueTime)
{
    CTimer timer;
    CCounter counter(timer);
    counter.action = [&timer] { timer.SetEnabled(false); };
    timer.SetInterval(50);
    timer.SetEnabled(true);
    Frame(60);
    EXPECT_FALSE(timer.IsEnabled());
    EXPECT_EQ(timer.GetDueTime(), 5110u);
    EXPECT_EQ(GetFrameTick().GetPeerCount(), 0u);
    Frame(60);
    Frame(60);
    EXPECT_EQ(counter.times.size(), 1u);
}

// Disabling disconnects at once, so a timer disabled by an earlier receiver of the same tick
// is not called by that tick even though it was connected when the tick began.
TEST_F(TimerTest, TimerDisabledEarlierInTheSameTickDoesNotFire)
{
    CTimer first, second;
    CCounter firstCounter(first), secondCounter(second);
    firstCounter.action = [&second] { second.SetEnabled(false); };
    first.SetInterval(1);
    second.SetInterval(1);
    first.SetEnabled(true);
    second.SetEnabled(true);
    Frame(40);
    EXPECT_EQ(firstCounter.times.size(), 1u);
    EXPECT_TRUE(secondCounter.times.empty());
    Frame(40);
    EXPECT_TRUE(secondCounter.times.empty());
}

TEST_F(TimerTest, DueTimePastTheClockWrapIsStillInTheFuture)
{
    g_now = 0xFFFFFFF0u;
    CTimer timer;
    CCounter counter(timer);
    timer.SetInterval(100);
    timer.SetEnabled(true);
    EXPECT_EQ(timer.GetDueTime(), 84u);
    Frame(40);
    Frame(40);
    EXPECT_TRUE(counter.times.empty());
    Frame(40);
    EXPECT_EQ(counter.times, (std::vector<uint32_t>{104}));
}

TEST_F(TimerTest, HandlerMayDestroyItsTimer)
{
    auto* timer = new CTimer;
    CCounter counter(*timer);
    CTimer survivor;
    CCounter survivorCounter(survivor);
    counter.action = [&timer] {
        delete timer;
        timer = nullptr;
    };
    timer->SetInterval(1);
    survivor.SetInterval(1);
    timer->SetEnabled(true);
    survivor.SetEnabled(true);
    Frame(40);
    EXPECT_EQ(timer, nullptr);
    EXPECT_EQ(counter.times.size(), 1u);
    EXPECT_EQ(survivorCounter.times.size(), 1u); // the tick goes on with the next receiver
    EXPECT_EQ(GetFrameTick().GetPeerCount(), 1u);
}

TEST_F(TimerTest, DestroyingAnEnabledTimerLeavesTheTick)
{
    {
        CTimer timer;
        timer.SetEnabled(true);
        EXPECT_EQ(GetFrameTick().GetPeerCount(), 1u);
    }
    EXPECT_EQ(GetFrameTick().GetPeerCount(), 0u);
    Frame(40);
}

} // namespace
