#include "events/Timer.h"

#include "events/FrameTick.h"

CTimer::CTimer() : m_tick(this, &CTimer::OnTick) {}

void CTimer::SetEnabled(bool enabled)
{
    m_enabled = enabled;
    if (enabled) {
        m_due = AppTime() + static_cast<uint32_t>(m_interval);
        Connect(GetFrameTick(), m_tick);
    } else {
        DisconnectAll(m_tick);
    }
}

void CTimer::SetInterval(int32_t milliseconds)
{
    m_interval = milliseconds;
    m_due = AppTime() + static_cast<uint32_t>(milliseconds);
}

void CTimer::OnTick()
{
    if (!m_enabled)
        return;
    // By difference, so that a due time past the clock's wrap is still in the future.
    if (static_cast<int32_t>(AppTime() - m_due) < 0)
        return;
    CLivenessWatch watch(m_liveness);
    onExpire.Emit(); // may disable, restart or destroy this timer
    if (watch.IsGone())
        return;
    // Counted from after the handlers: their time delays the next expiry.
    m_due = AppTime() + static_cast<uint32_t>(m_interval);
}
