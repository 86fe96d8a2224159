// The one answer to "was this object deleted while I was calling out of it": an object that
// emits and then goes on touching itself holds a CLiveness member; the emitting code keeps a
// CLivenessWatch on its stack across the emission and stops when the watch reports it gone.
// Allocation-free (watches are linked on the stack). Main thread only.
//
//   void CButton::Click() {
//       CLivenessWatch watch(m_liveness);
//       onClick.Emit();        // a receiver may delete this button
//       if (watch.IsGone())
//           return;            // touch nothing
//       Highlight();
//   }
#pragma once

class CLivenessWatch;

// Held by value by the watched object, usually as its first member so that it reports the
// object gone before anything else of it is destroyed. Copies start with no watches.
class CLiveness {
public:
    CLiveness() = default;
    CLiveness(const CLiveness&) {}
    CLiveness& operator=(const CLiveness&) { return *this; }
    ~CLiveness() { End(); }

    // Every watch taken so far reports gone from now on; watches taken later see a live
    // object again. For an owner whose contents (not itself) were replaced, such as a list of
    // elements deleted all at once.
    void End();

private:
    friend class CLivenessWatch;
    CLivenessWatch* m_watches = nullptr; // innermost first
};

// Taken on the stack before calling out; IsGone is true once the watched CLiveness has ended
// or been destroyed. The watch must not outlive the call that took it.
class CLivenessWatch {
public:
    explicit CLivenessWatch(CLiveness& liveness) : m_liveness(&liveness), m_next(liveness.m_watches)
    {
        if (m_next)
            m_next->m_prev = this;
        liveness.m_watches = this;
    }
    CLivenessWatch(const CLivenessWatch&) = delete;
    CLivenessWatch& operator=(const CLivenessWatch&) = delete;
    ~CLivenessWatch();

    bool IsGone() const { return m_liveness == nullptr; }

private:
    friend class CLiveness;
    CLiveness* m_liveness; // null once gone
    CLivenessWatch* m_prev = nullptr;
    CLivenessWatch* m_next;
};

inline void CLiveness::End()
{
    while (CLivenessWatch* watch = m_watches) {
        m_watches = watch->m_next;
        watch->m_liveness = nullptr;
        watch->m_prev = watch->m_next = nullptr;
    }
}

inline CLivenessWatch::~CLivenessWatch()
{
    if (!m_liveness)
        return;
    // Watches usually end innermost first, but any order unlinks correctly.
    if (m_prev)
        m_prev->m_next = m_next;
    else
        m_liveness->m_watches = m_next;
    if (m_next)
        m_next->m_prev = m_prev;
}
