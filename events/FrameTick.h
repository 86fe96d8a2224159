// The process-wide frame tick and the application's clock. The frame tick is emitted once at
// the start of every drawn frame (never while the window is minimised); timers and playback
// buffers run on it. AppTime is the millisecond clock everything above the platform reads;
// tests may replace it, and the frame loop's sleep, so that timing does not depend on the
// machine. Main thread only. No SDL and no OpenGL behind this header.
#pragma once

#include "events/Signal.h"

#include <cstdint>

// The frame tick: a static object, made on first use and destroyed at exit.
CSignal<>& GetFrameTick();

// Unsigned milliseconds from an arbitrary start, wrapping like the platform clock; compare by
// difference (int32_t(a - b)), never by order.
uint32_t AppTime();
// Suspends the program for milliseconds ms (the frame loop's wait).
void AppSleep(uint32_t milliseconds);

// Replace the clock or the sleep with the test's own; nullptr restores the platform's.
void SetAppClockForTesting(uint32_t (*clock)());
void SetAppSleepForTesting(void (*sleep)(uint32_t milliseconds));
