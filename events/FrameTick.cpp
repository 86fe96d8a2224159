#include "events/FrameTick.h"

#include "events/Timer.h"
#include "platform/Clock.h"
#include "platform/Events.h"

#include <algorithm>

namespace {

uint32_t (*s_clock)() = nullptr;
void (*s_sleep)(uint32_t) = nullptr;

bool s_redraw = false;
bool s_tickRequested = false;
uint32_t s_tickDue = 0;

// Milliseconds from now to due, 0 when it has come.
uint32_t Until(uint32_t due, uint32_t now)
{
    const int32_t until = static_cast<int32_t>(due - now);
    return until > 0 ? static_cast<uint32_t>(until) : 0u;
}

} // namespace

CSignal<>& GetFrameTick()
{
    static CSignal<> tick;
    return tick;
}

// [SECTION] Asking for passes and pictures

void RequestRedraw() { s_redraw = true; }

void RequestTickWithin(uint32_t milliseconds)
{
    const uint32_t now = AppTime();
    const uint32_t due = now + milliseconds;
    if (!s_tickRequested || Until(due, now) < Until(s_tickDue, now))
        s_tickDue = due;
    s_tickRequested = true;
}

bool IsRedrawRequested() { return s_redraw; }

bool TakeRedrawRequest()
{
    const bool wanted = s_redraw;
    s_redraw = false;
    return wanted;
}

void TakeTickRequest() { s_tickRequested = false; }

uint32_t PassWaitTime(uint32_t now, bool drawPending, uint32_t drawDue)
{
    uint32_t wait = kMaxPassWait;
    int32_t untilTimer = 0;
    if (CTimer::NextDue(now, untilTimer))
        wait = untilTimer > 0 ? std::min(wait, static_cast<uint32_t>(untilTimer)) : 0u;
    if (s_tickRequested)
        wait = std::min(wait, Until(s_tickDue, now));
    if (drawPending)
        wait = std::min(wait, Until(drawDue, now));
    return wait;
}

// [SECTION] Clock, sleep and wait

uint32_t AppTime() { return s_clock ? s_clock() : PlatformTicks(); }

void AppSleep(uint32_t milliseconds)
{
    if (s_sleep)
        s_sleep(milliseconds);
    else
        PlatformSleep(milliseconds);
}

void AppWait(uint32_t milliseconds)
{
    if (milliseconds == 0)
        return;
    if (s_sleep)
        s_sleep(milliseconds);
    else
        PlatformWaitForEvent(milliseconds);
}

void SetAppClockForTesting(uint32_t (*clock)()) { s_clock = clock; }

void SetAppSleepForTesting(void (*sleep)(uint32_t milliseconds)) { s_sleep = sleep; }
