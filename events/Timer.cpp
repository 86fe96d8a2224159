#include "events/Timer.h"

#include "events/FrameTick.h"

namespace {

CTimer* s_firstEnabled = nullptr;

} // namespace

CTimer::CTimer() : m_tick(this, &CTimer::OnTick) {}

CTimer::~CTimer()
{
    if (m_enabled)
        Unlink();
}

void CTimer::Link()
{
    m_previousEnabled = nullptr;
    m_nextEnabled = s_firstEnabled;
    if (s_firstEnabled)
        s_firstEnabled->m_previousEnabled = this;
    s_firstEnabled = this;
}

void CTimer::Unlink()
{
    if (m_previousEnabled)
        m_previousEnabled->m_nextEnabled = m_nextEnabled;
    else
        s_firstEnabled = m_nextEnabled;
    if (m_nextEnabled)
        m_nextEnabled->m_previousEnabled = m_previousEnabled;
    m_previousEnabled = m_nextEnabled = nullptr;
}

void CTimer::SetEnabled(bool enabled)
{
    if (enabled && !m_enabled)
        Link();
    else if (!enabled && m_enabled)
        Unlink();
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

bool CTimer::NextDue(uint32_t now, int32_t& untilDue)
{
    if (!s_firstEnabled)
        return false;
    int32_t earliest = static_cast<int32_t>(s_firstEnabled->m_due - now);
    for (const CTimer* timer = s_firstEnabled->m_nextEnabled; timer; timer = timer->m_nextEnabled) {
        const int32_t until = static_cast<int32_t>(timer->m_due - now);
        if (until < earliest)
            earliest = until;
    }
    untilDue = earliest;
    return true;
}

void CTimer::OnTick()
{
    if (!m_enabled)
        return;
    // By difference, so that a due time past the clock's wrap is still in the future.
    if (static_cast<int32_t>(AppTime() - m_due) < 0)
        return;
    if (!m_quiet)
        RequestRedraw();
    CLivenessWatch watch(m_liveness);
    onExpire.Emit(); // may disable, restart or destroy this timer
    if (watch.IsGone())
        return;
    // Counted from after the handlers: their time delays the next expiry.
    m_due = AppTime() + static_cast<uint32_t>(m_interval);
}
