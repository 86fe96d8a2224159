// The millisecond clock (the replacement for timeGetTime) and the thread sleep (for Sleep):
// unsigned 32-bit milliseconds from an arbitrary start, wrapping after about 49.7 days.
// Compare times by their difference, as unsigned or as int32_t, never by their order.
#pragma once

#include <cstdint>

uint32_t PlatformTicks();
// Suspends the calling thread for at least milliseconds ms; 0 may still yield.
void PlatformSleep(uint32_t milliseconds);
