// CTimer: periodic notifications without threads or system timers. An enabled timer listens
// to the frame tick and, on the first tick at or after its due time, emits onExpire; so it
// fires at most once per frame, and its resolution is the frame period. Times are AppTime()
// milliseconds. Main thread only.
#pragma once

#include "events/Liveness.h"
#include "events/Signal.h"

#include <cstdint>

class CTimer {
public:
    CTimer();
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;
    // A handler may destroy the timer that called it.
    ~CTimer() = default;

    // True: the period starts now (due = now + interval) and the timer listens to the frame
    // tick (again is harmless). False: it stops listening at once, even from inside onExpire.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_enabled; }

    // Sets the period (milliseconds) and restarts it from now. Does not enable the timer.
    void SetInterval(int32_t milliseconds);
    int32_t GetInterval() const { return m_interval; }
    // The AppTime() at or after which the next frame tick fires the timer.
    uint32_t GetDueTime() const { return m_due; }

private:
    void OnTick();

    bool m_enabled = false;
    int32_t m_interval = 1000;
    uint32_t m_due = 0;
    CLiveness m_liveness;       // a handler may destroy the timer
    CSlot<CTimer> m_tick;       // connected to the frame tick while enabled

public:
    // Emitted each time the timer fires. Destroyed before the tick slot.
    CSignal<> onExpire;
};
