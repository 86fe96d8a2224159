#include "gui/Window.h"

#include "events/Input.h"
#include "xml/XMLDocument.h"

CWindow::CWindow()
{
    m_kind = GUIWindow;
    m_enabled = true;
    // The drag handler runs before the part routing, which then allows the drag only on
    // the title bar.
    SetMoveable(true);
    m_titleBar.SetParent(this);
    m_titleBar.SetEnabled(true);
    m_title.SetParent(this);
    m_close.SetParent(this);
    m_slots.Connect(onInput, this, &CWindow::OnInput);
    m_slots.Connect(onRelease, this, &CWindow::OnClick);
    m_slots.Connect(onResize, this, &CWindow::Layout);
}

void CWindow::OnInput(CInputMap& event)
{
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    switch (event.action) {
    case InputMove:
        if (m_close.HitTest(x, y))
            m_close.onMouseOver.Emit();
        else
            m_close.onMouseOut.Emit();
        break;
    case InputPress:
        m_closeCaptured = m_close.HitTest(x, y);
        if (m_closeCaptured)
            m_close.onInput.Emit(event);
        // Only the left button drags: the others record no anchor to drag from.
        m_dragging = event.button == MouseLeft && !m_closeCaptured && m_titleBar.HitTest(x, y);
        break;
    case InputRelease:
        if (m_closeCaptured) {
            m_close.onInput.Emit(event);
            if (!m_close.HitTest(x, y))
                m_closeCaptured = false;
        }
        break;
    default:
        break;
    }
}

void CWindow::OnClick()
{
    if (m_closeCaptured)
        m_close.onRelease.Emit();
}

void CWindow::Layout(float width, float)
{
    const float barHeight = m_titleBar.GetHeight();
    m_titleBar.SetSize(width, barHeight);
    m_title.SetSize(width, barHeight);
    m_close.SetPosition(width - m_close.GetWidth() - 2.0f, barHeight / 2 - m_close.GetHeight() / 2);
}

void CWindow::SetFont(const CFont* font)
{
    if (!font)
        return;
    m_title.Assign(*font);
    m_title.SetParent(this);
    m_title.SetText(String());
    m_title.SetPosition(0.0f, 0.0f);
    Layout(GetWidth(), GetHeight());
}

void CWindow::Render()
{
    CGUI::Render();
    if (!IsVisible())
        return;
    m_titleBar.SetZ(GetZ() + 1.0f);
    m_title.SetZ(GetZ() + 2.0f);
    m_close.SetZ(GetZ() + 2.0f);
    m_titleBar.Render();
    m_title.Render();
    m_close.Render();
}

void CWindow::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("text"))
        m_title.SetText(node.GetAttributeString("text"));
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        CXMLNode& child = *node.GetChild(i);
        if (child.name == "gui")
            m_titleBar.LoadFromNode(child);
        else if (child.name == "font")
            m_title.LoadFromNode(child);
        else if (child.name == "button")
            m_close.LoadFromNode(child);
    }
    Layout(GetWidth(), GetHeight());
}
