#include "gui/ControlBar.h"

#include "events/Input.h"

CControlBar::CControlBar()
{
    m_kind = GUIControlBar;
    m_enabled = true;
    for (CButton& button : m_buttons)
        button.SetParent(this);
    m_slots.Connect(onInput, this, &CControlBar::OnInput);
    m_slots.Connect(onRelease, this, &CControlBar::OnClick);
    m_slots.Connect(onResize, this, &CControlBar::Layout);
    m_slots.Connect(m_buttons[1].onRelease, this, &CControlBar::OnToggle);
    m_slots.Connect(onMouseOver, this, &CControlBar::OnHover);
    m_slots.Connect(onMouseOut, this, &CControlBar::OnHoverOut);
}

CVector CControlBar::CursorScreenPosition() const { return GetCursorScreenPosition(); }

void CControlBar::OnInput(CInputMap& event)
{
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    if (event.action == InputPress) {
        m_captured = nullptr;
        for (CButton& button : m_buttons)
            if (button.HitTest(x, y)) {
                m_captured = &button;
                button.onInput.Emit(event);
                break;
            }
    } else if (event.action == InputRelease) {
        if (CButton* button = m_captured) {
            button->onInput.Emit(event);
            if (!button->HitTest(x, y))
                m_captured = nullptr;
        }
    }
    if (m_moveable || m_captured || !m_dragEnabled || event.button != MouseLeft)
        return;
    if (event.action == InputPress) {
        m_dragging = true;
        m_anchor = CursorScreenPosition();
    } else if (event.action == InputRelease) {
        m_dragging = false;
    }
}

void CControlBar::ReportDrag()
{
    if (!m_dragging || m_moveable || m_captured)
        return;
    const CVector cursor = CursorScreenPosition();
    const int32_t dx = PixelOf(cursor.x - m_anchor.x), dy = PixelOf(cursor.y - m_anchor.y);
    m_anchor = cursor;
    onDrag.Emit(dx, dy);
}

void CControlBar::OnClick()
{
    if (CButton* button = m_captured)
        button->onRelease.Emit();
}

void CControlBar::OnToggle()
{
    const uint64_t look = static_cast<uint64_t>(m_base) + (m_dragEnabled ? 5 : 9);
    m_dragEnabled = !m_dragEnabled;
    m_buttons[0].SetEnabled(m_dragEnabled);
    if (look <= UINT32_MAX)
        m_buttons[1].SelectFrame(static_cast<uint32_t>(look), false);
}

void CControlBar::Layout(float width, float height)
{
    float x = width - 2.0f;
    for (int i = 2; i >= 0; --i) {
        CButton& button = m_buttons[i];
        x -= button.GetWidth();
        button.transform.SetTranslation(x, height / 2 - button.GetHeight() / 2, 0.0f);
    }
}

void CControlBar::OnHover()
{
    const CVector mouse = GetMousePosition();
    const int32_t x = PixelOf(mouse.x), y = PixelOf(mouse.y);
    for (CButton& button : m_buttons) {
        if (!button.IsEnabled() || !button.IsVisible())
            continue;
        if (button.HitTest(x, y))
            button.onMouseOver.Emit();
        else
            button.onMouseOut.Emit();
    }
}

void CControlBar::OnHoverOut()
{
    for (CButton& button : m_buttons)
        button.onMouseOut.Emit();
}

void CControlBar::SetSprite(const CSprite& sprite)
{
    for (CButton& button : m_buttons)
        button.SetSprite(sprite);
    CGUI::SetSprite(sprite);
}

void CControlBar::SetFrame(uint32_t index)
{
    m_base = index;
    if (index <= UINT32_MAX - 16) {
        m_buttons[0].SelectFrame(index + 1, true);
        m_buttons[1].SelectFrame(index + (m_dragEnabled ? 9 : 5), true);
        m_buttons[2].SelectFrame(index + 13, true);
    }
    SelectFrame(index, false);
    Layout(GetWidth(), GetHeight());
}

void CControlBar::Render()
{
    CGUI::Render();
    if (IsVisible())
        for (CButton& button : m_buttons) {
            button.SetZ(GetZ() + 1.0f);
            button.Render();
        }
    ReportDrag();
}
