#include "gui/FocusRing.h"

#include "events/Input.h"
#include "gui/DialogLook.h"
#include "gui/Menu.h"

#include <algorithm>

namespace {

constexpr float kRingDepth = 890.0f; // in front of every control, behind the tooltip

} // namespace

CFocusRing::CFocusRing()
{
    for (CGUI& bar : m_bars)
        PaintDialogElement(bar, kDialogAccent[0], kDialogAccent[1], kDialogAccent[2]);
}

void CFocusRing::Attach()
{
    m_slots.Connect(GetKeyboardSignal(), this, &CFocusRing::OnKey);
    m_slots.Connect(GetMouseSignal(), this, &CFocusRing::OnMouse);
}

void CFocusRing::Detach()
{
    m_slots.Clear();
    m_focus = nullptr;
    m_altAlone = false;
}

bool CFocusRing::CanFocus(const CGUI* element) { return element && element->IsEnabled() && element->IsVisible(); }

void CFocusRing::Focus(CGUI* element)
{
    if (element == m_focus)
        return;
    CGUI* old = m_focus;
    m_focus = element;
    if (old && old->GetKind() == GUIEdit && old->HasFocus())
        old->SetFocus(false); // it stops typing
    else if (old && old->GetKind() == GUIMenu)
        old->SetFocus(false); // it closes (CMenu::OnFocus)
    if (element && element->GetKind() == GUIEdit && !element->HasFocus())
        element->SetFocus(true);
    onFocus.Emit(element);
}

void CFocusRing::Forget(const CGUI* ancestor)
{
    for (const CGUI* element = m_focus; element; element = element->GetParent())
        if (element == ancestor) {
            m_focus = nullptr;
            return;
        }
}

void CFocusRing::Step(bool back)
{
    std::vector<CGUI*> stops;
    if (m_stops)
        m_stops(stops);
    stops.erase(std::remove_if(stops.begin(), stops.end(), [](const CGUI* s) { return !CanFocus(s); }), stops.end());
    if (stops.empty()) {
        Focus(nullptr);
        return;
    }
    CGUI* from = m_focus;
    if (!from) // a text box the mouse gave the focus to is where Tab goes on from
        for (CGUI* stop : stops)
            if (stop->GetKind() == GUIEdit && stop->HasFocus())
                from = stop;
    const auto at = std::find(stops.begin(), stops.end(), from);
    const size_t count = stops.size();
    size_t next = 0;
    if (at == stops.end())
        next = back ? count - 1 : 0;
    else
        next = (static_cast<size_t>(at - stops.begin()) + (back ? count - 1 : 1)) % count;
    if (!m_focus && from && from != stops[next])
        from->SetFocus(false);
    Focus(stops[next]);
}

void CFocusRing::OnKey(CInputMap& event)
{
    if (event.action == InputRelease) {
        if (event.value == KeyAlt && m_altAlone && m_menu && CanFocus(m_menu)) {
            Focus(m_menu);
            m_menu->TakeKey(event); // opens it
        }
        m_altAlone = false;
        return;
    }
    if (event.handled || event.action != InputPress)
        return;
    m_altAlone = !event.character && event.value == KeyAlt && !event.repeat;
    if (!event.character && event.value == KeyAlt)
        return; // the menu opens at the release
    if (event.character || event.control) {
        // Space presses a focused button; every other character and Ctrl key is not the ring's.
        if (m_focus && event.character && CanFocus(m_focus) && m_focus->TakeKey(event))
            event.handled = true;
        return;
    }
    switch (event.value) {
    case KeyTab:
        Step(event.shift);
        event.handled = true;
        return;
    case KeyF10:
        if (m_menu && CanFocus(m_menu)) {
            Focus(m_menu);
            m_menu->TakeKey(event);
            event.handled = true;
        }
        return;
    default:
        break;
    }
    if (!m_focus || !CanFocus(m_focus))
        return;
    if (m_focus->TakeKey(event)) {
        event.handled = true;
    } else if (event.value == KeyEscape) {
        Focus(nullptr);
        event.handled = true;
    }
}

void CFocusRing::OnMouse(CInputMap& event)
{
    if (!m_focus || (event.action != InputPress && event.action != InputDoubleClick))
        return;
    CGUI* old = m_focus;
    m_focus = nullptr;
    // What the press hit keeps what the mouse gave it; a text box it missed stops typing, and
    // a menu it missed closes (unless the press is on its items).
    const int32_t kind = old->GetKind();
    if ((kind == GUIEdit || kind == GUIMenu) && !old->HitTest(PixelOf(event.position.x), PixelOf(event.position.y)))
        old->SetFocus(false);
    onFocus.Emit(nullptr);
}

void CFocusRing::Render()
{
    if (!CanFocus(m_focus))
        return;
    const CVector at = m_focus->GetAbsolutePosition();
    // The element's quad, wherever its anchor puts it.
    const CVector a = m_focus->VertexPosition(0), c = m_focus->VertexPosition(2);
    const float w = m_focus->GetWidth(), h = m_focus->GetHeight();
    const float left = at.x + std::min(a.x, c.x) * w - kWidth, top = at.y + std::min(a.y, c.y) * h - kWidth;
    const float width = w + 2 * kWidth, height = h + 2 * kWidth;
    const float rects[4][4] = {{left, top, width, kWidth},
                               {left, top + height - kWidth, width, kWidth},
                               {left, top, kWidth, height},
                               {left + width - kWidth, top, kWidth, height}};
    for (uint32_t i = 0; i < 4; ++i) {
        m_bars[i].SetPosition(rects[i][0], rects[i][1]);
        m_bars[i].SetSize(rects[i][2], rects[i][3]);
        m_bars[i].SetZ(kRingDepth);
        m_bars[i].Render();
    }
}
