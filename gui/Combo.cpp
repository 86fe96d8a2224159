#include "gui/Combo.h"

#include "events/Input.h"
#include "xml/XMLDocument.h"

CCombo::CCombo()
{
    m_kind = GUICombo;
    SetEnabled(true);
    Connect();
}

CCombo::CCombo(const CCombo& other) : CGUI(other), m_edit(other.m_edit), m_button(other.m_button), m_list(other.m_list)
{
    m_openHeight = other.m_openHeight;
    Connect();
}

void CCombo::Connect()
{
    m_edit.SetParent(this);
    m_button.SetParent(this);
    m_list.SetParent(this);
    m_slots.Connect(onInput, this, &CCombo::OnInput);
    m_slots.Connect(onFocus, this, &CCombo::OnFocus);
    m_slots.Connect(m_button.onRelease, this, &CCombo::OnToggle);
    m_slots.Connect(m_list.onRowSelect, this, &CCombo::OnRowSelect);
    m_slots.Connect(m_list.onVisible, this, &CCombo::OnListVisible);
}

void CCombo::OnInput(CInputMap& event)
{
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    CGUI* parts[3] = {&m_edit, &m_button, &m_list};
    bool hit[3];
    for (int i = 0; i < 3; ++i) {
        hit[i] = parts[i]->HitTest(x, y);
        if (!hit[i] && event.action == InputMove)
            parts[i]->onMouseOut.Emit();
    }
    CGUI* target = nullptr;
    if (hit[2] || event.action == InputWheel)
        target = &m_list;
    else if (hit[1])
        target = &m_button;
    else if (hit[0])
        target = &m_edit;
    if (!HasFocus())
        return;
    // The part that took the press hears its release wherever it lands, so that a drop
    // button pressed and dragged off comes back up.
    if (event.action == InputRelease && m_focusedPart && m_focusedPart != target)
        m_focusedPart->onInput.Emit(event);
    if (!target)
        return;
    // A double click on another part than the one that took the first press is a press.
    CInputMap press;
    CInputMap* routed = &event;
    if (event.action == InputDoubleClick && target != m_focusedPart) {
        press = event;
        press.action = InputPress;
        routed = &press;
    }
    if (routed->action == InputPress && target != m_focusedPart) {
        if (CGUI* old = m_focusedPart)
            old->SetFocus(false);
        m_focusedPart = target;
        target->SetFocus(true);
    }
    target->onInput.Emit(*routed);
    if (routed->action == InputRelease)
        target->onRelease.Emit();
    else if (routed->action == InputDoubleClick)
        target->onDoubleClick.Emit();
    else if (routed->action == InputMove)
        target->onMouseOver.Emit();
}

void CCombo::OnFocus(bool focus)
{
    if (focus)
        return;
    m_list.SetVisible(false);
    if (CGUI* part = m_focusedPart) {
        m_focusedPart = nullptr;
        part->SetFocus(false);
    }
}

void CCombo::OnToggle() { m_list.SetVisible(!m_list.IsVisible()); }

void CCombo::OnListVisible(bool visible)
{
    SetSize(GetWidth(), visible && HasFocus() ? m_openHeight : m_edit.GetHeight());
}

void CCombo::Select(int32_t row, int32_t column)
{
    const String text = m_list.GetCellText(row, column);
    m_edit.SetText(text);
    m_list.SetVisible(false);
    onSelect.Emit(text, row, column);
}

void CCombo::SetFont(const CFont* font)
{
    m_edit.SetFont(font);
    m_button.SetFont(font);
    m_list.SetFont(font);
}

void CCombo::Render()
{
    if (!IsVisible())
        return;
    for (CGUI* part : {static_cast<CGUI*>(&m_edit), static_cast<CGUI*>(&m_button), static_cast<CGUI*>(&m_list)}) {
        part->SetZ(GetZ() + 1.0f);
        part->Render();
    }
}

void CCombo::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    m_openHeight = GetHeight();
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        CXMLNode& child = *node.GetChild(i);
        if (child.name == "edit")
            m_edit.LoadFromNode(child);
        else if (child.name == "button")
            m_button.LoadFromNode(child);
        else if (child.name == "list")
            m_list.LoadFromNode(child);
    }
    const float width = GetWidth(), editHeight = m_edit.GetHeight();
    m_button.SetPosition(width - m_button.GetWidth(), 0.0f);
    m_list.SetPosition(0.0f, editHeight);
    m_list.SetSize(width, m_openHeight - editHeight);
    if (node.FindAttribute("selected")) {
        const int32_t row = node.GetAttributeInt("selected");
        if (row >= 0 && static_cast<uint32_t>(row) < m_list.GetRowCount())
            m_list.SetSelected(row);
        Select(row, 0);
    }
    m_list.SetVisible(false);
}
