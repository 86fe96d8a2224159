// CTooltip: the small box that names the control under a resting pointer. Whoever routes the
// mouse (the GUI manager) reports every pointer move with the element under it and that
// element's tip text; when the pointer has stayed on one element with a tip for kDelay ms
// (timed by the frame tick), the box appears just below and right of the pointer, kept inside
// the window, in front of everything. It goes when the pointer moves to another element or
// off, and on Dismiss (a press, a key), after which it stays away until the pointer has left
// that element. It never takes the mouse. Main thread only.
#pragma once

#include "events/Timer.h"
#include "gui/Font.h"

#include <cstdint>

class CTooltip : public CGUI {
public:
    static constexpr int32_t kDelay = 600;    // ms of rest before the tip shows
    static constexpr float kPadding = 4.0f;   // pixels between the box's edge and its text
    static constexpr float kDepth = 900.0f;   // in front of every element and panel
    static constexpr float kPointerGap = 18.0f; // below the pointer, clear of its arrow
    static constexpr float kBoxColour[3] = {0.30f, 0.31f, 0.35f}; // as drawn: emission only

    // Hidden; a dark box with light text; the window's size, for placing the box, unknown
    // (no limit) until SetBounds.
    CTooltip();

    // The text look (a text element of a description); null changes nothing.
    void SetFont(const CFont* font);
    // The area the box must stay inside, in client pixels from (0, 0).
    void SetBounds(float width, float height);

    // The pointer is at (x, y) over element (null: over nothing), whose tip is text. Several
    // routers share one tip: each reports the elements it routes to, and reports nothing (null)
    // only while the tip's element is one of its own (GetTarget), so that the router that
    // hears the move first does not take away the tip of another's element.
    void Track(const CGUI* element, const String& text, int32_t x, int32_t y);
    // The element last tracked (compare it only: it may be gone).
    const CGUI* GetTarget() const { return m_target; }
    // Hides the box until the pointer moves to another element.
    void Dismiss();

    bool IsShowing() const { return m_showing; }
    // The text shown (or about to be shown).
    const String& GetText() const { return m_label.GetText(); }
    const CFont& GetLabel() const { return m_label; }

    bool HitTest(int32_t, int32_t) override { return false; }
    // The box, then its text, while showing; at kDepth whatever its z.
    void Render() override;

private:
    void OnDelay();
    void Hide();

    CFont m_label;
    CTimer m_delay;
    const CGUI* m_target = nullptr; // compared, never dereferenced: it may be gone
    bool m_showing = false;
    bool m_dismissed = false;
    int32_t m_x = 0, m_y = 0;
    float m_boundsWidth = 0.0f, m_boundsHeight = 0.0f; // 0: no limit
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
