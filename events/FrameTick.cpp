#include "events/FrameTick.h"

#include "platform/Clock.h"

namespace {

uint32_t (*s_clock)() = nullptr;
void (*s_sleep)(uint32_t) = nullptr;

} // namespace

CSignal<>& GetFrameTick()
{
    static CSignal<> tick;
    return tick;
}

uint32_t AppTime() { return s_clock ? s_clock() : PlatformTicks(); }

void AppSleep(uint32_t milliseconds)
{
    if (s_sleep)
        s_sleep(milliseconds);
    else
        PlatformSleep(milliseconds);
}

void SetAppClockForTesting(uint32_t (*clock)()) { s_clock = clock; }

void SetAppSleepForTesting(void (*sleep)(uint32_t milliseconds)) { s_sleep = sleep; }
