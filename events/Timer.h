// CTimer: periodic notifications without threads or system timers. An enabled timer listens
// to the frame tick and, on the first tick at or after its due time, emits onExpire; so it
// fires at most once per pass of the main loop. The enabled timers are listed, so that the
// loop can wait until the earliest due time and no longer (NextDue); a timer that fires asks
// for a redraw (what its handlers changed is drawn) unless it is quiet. Times are AppTime() milliseconds. Main
// thread only.
#pragma once

#include "events/Liveness.h"
#include "events/Signal.h"

#include <cstdint>

class CTimer {
public:
    CTimer();
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;
    // A handler may destroy the timer that called it. Leaves the list of enabled timers.
    ~CTimer();

    // True: the period starts now (due = now + interval) and the timer listens to the frame
    // tick (again is harmless). False: it stops listening at once, even from inside onExpire.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_enabled; }

    // Sets the period (milliseconds) and restarts it from now. Does not enable the timer.
    void SetInterval(int32_t milliseconds);
    // A quiet timer's firing asks for no redraw: for handlers that change nothing on screen
    // (a sound buffer's refill), so that a playing sound does not redraw the window.
    void SetQuiet(bool quiet) { m_quiet = quiet; }
    bool IsQuiet() const { return m_quiet; }
    int32_t GetInterval() const { return m_interval; }
    // The AppTime() at or after which the next frame tick fires the timer.
    uint32_t GetDueTime() const { return m_due; }

    // The time from now to the earliest due time of the enabled timers, in milliseconds
    // (negative when one is overdue); false, untilDue unchanged, when none is enabled.
    static bool NextDue(uint32_t now, int32_t& untilDue);

private:
    void OnTick();
    void Link();
    void Unlink();

    bool m_enabled = false;
    bool m_quiet = false;
    int32_t m_interval = 1000;
    uint32_t m_due = 0;
    CTimer* m_previousEnabled = nullptr; // the list of enabled timers: exactly these are in it
    CTimer* m_nextEnabled = nullptr;
    CLiveness m_liveness;       // a handler may destroy the timer
    CSlot<CTimer> m_tick;       // connected to the frame tick while enabled

public:
    // Emitted each time the timer fires. Destroyed before the tick slot.
    CSignal<> onExpire;
};
