// The process-wide frame tick, the requests that decide when the main loop runs and draws, and
// the application's clock. The loop emits the frame tick once per pass, whether that pass draws
// or not (also while the window is minimised); timers and playback buffers run on it. A pass
// draws only when something asked for a picture (RequestRedraw); between passes the loop
// waits for the next event, the next enabled timer's due time or a requested tick. AppTime is
// the millisecond clock everything above the platform reads; tests may replace it, and the
// loop's sleep and wait, so that timing does not depend on the machine. Main thread only. No
// SDL and no OpenGL behind this header.
#pragma once

#include "events/Signal.h"

#include <cstdint>

// The frame tick: a static object, made on first use and destroyed at exit.
CSignal<>& GetFrameTick();

// [SECTION] Asking for passes and pictures

// Something visible changed: the next pass that may draw (the window not minimised, a frame
// period after the last drawn frame) draws. A request made while a frame is being drawn asks
// for the next frame.
void RequestRedraw();
// The loop must run a pass (emit the frame tick) again within milliseconds ms, for polling and
// animation. A request is used up by the next tick: whoever needs ticks asks again on each.
// Several requests keep the earliest.
void RequestTickWithin(uint32_t milliseconds);

// For the loop. Whether a redraw is wanted, and taking it (true when one was wanted; the
// request is cleared just before the frame is drawn).
bool IsRedrawRequested();
bool TakeRedrawRequest();
// Clears the tick request; the loop calls it just before it emits the tick.
void TakeTickRequest();

// The longest the loop may wait from now before its next pass, in milliseconds, at most
// kMaxPassWait: until the earliest due time of the enabled timers, the requested tick and,
// when drawPending, drawDue (the earliest time the frame pacing allows the pending draw); 0
// when one of them has come.
constexpr uint32_t kMaxPassWait = 1000;
uint32_t PassWaitTime(uint32_t now, bool drawPending, uint32_t drawDue);

// [SECTION] Clock, sleep and wait

// Unsigned milliseconds from an arbitrary start, wrapping like the platform clock; compare by
// difference (int32_t(a - b)), never by order.
uint32_t AppTime();
// Suspends the program for milliseconds ms.
void AppSleep(uint32_t milliseconds);
// Waits until a window-system event is queued (leaving it there) or milliseconds ms have
// passed, whichever comes first: the loop's wait between passes. Nothing for 0. With a test
// sleep installed, that sleep is called for the whole time instead.
void AppWait(uint32_t milliseconds);

// Replace the clock or the sleep with the test's own; nullptr restores the platform's.
void SetAppClockForTesting(uint32_t (*clock)());
void SetAppSleepForTesting(void (*sleep)(uint32_t milliseconds));
