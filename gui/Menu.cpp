#include "gui/Menu.h"

#include "events/Input.h"
#include "xml/XMLDocument.h"

#include <algorithm>

CMenu::CMenu()
{
    m_kind = GUIMenu;
    m_enabled = true;
    m_label.SetParent(this);
    m_hover.SetParent(this);
    m_hover.material.diffuse[3] = 0.0f;
    m_icon.SetParent(this);
    m_slots.Connect(onFocus, this, &CMenu::OnFocus);
    m_slots.Connect(onResize, this, &CMenu::OnResize);
    m_slots.Connect(onRelease, this, &CMenu::OnClick);
    m_slots.Connect(onMouseOver, this, &CMenu::OnHoverIn);
    m_slots.Connect(onMouseOut, this, &CMenu::OnHoverOut);
}

CMenu::~CMenu()
{
    // Menus die in any order: neither side may keep a pointer to the one going.
    for (CMenu* item : m_items) {
        item->m_holder = nullptr;
        if (item->m_parent == this)
            item->m_parent = nullptr;
    }
    if (CMenu* holder = m_holder) {
        auto& items = holder->m_items;
        items.erase(std::remove(items.begin(), items.end(), this), items.end());
    }
}

void CMenu::SetSpacing(uint32_t spacing)
{
    m_spacing = spacing;
    m_label.SetPosition(static_cast<float>(spacing), 0.0f);
    m_label.SetSize(GetWidth() - static_cast<float>(spacing), GetHeight());
}

void CMenu::SetFont(const CFont* font)
{
    if (!font)
        return;
    m_label.Assign(*font);
    m_label.SetAlign(3);
    m_label.SetParent(this);
    m_label.SetEnabled(true);
    m_label.SetVisible(true);
    m_label.SetPosition(static_cast<float>(m_spacing), 0.0f);
    m_label.SetSize(GetWidth() - static_cast<float>(m_spacing), GetHeight());
}

void CMenu::SetIcon(const CGUI* icon)
{
    if (!icon)
        return;
    m_icon.CopyFrom(*icon);
    m_icon.SetParent(this);
    m_icon.SetEnabled(false);
    m_icon.SetVisible(true);
}

void CMenu::AttachItem(CMenu* item)
{
    if (!item || item == this || item->m_holder)
        return;
    for (const CMenu* menu = this; menu; menu = menu->m_holder)
        if (menu == item)
            return;
    item->SetVisible(false);
    item->m_holder = this;
    m_items.push_back(item);
    m_slots.ConnectUser(item->onRelease, this, &CMenu::OnItemChosen, item);
}

void CMenu::ShowItems(bool show)
{
    const float step = GetHeight();
    float x = 0.0f, y = step;
    if (IsItem()) {
        x = GetWidth();
        y = 0.0f;
    }
    for (CMenu* item : m_items) {
        item->SetVisible(show && item->m_listed);
        if (show && item->m_listed) {
            item->SetPosition(x, y);
            y += step;
        } else {
            item->m_hot = false;
            item->ShowItems(false);
        }
    }
}

bool CMenu::IsOverItems()
{
    if (!m_visible)
        return false;
    const CVector mouse = GetMousePosition();
    const int32_t x = PixelOf(mouse.x), y = PixelOf(mouse.y);
    for (CMenu* item : m_items) {
        if (item->HitTest(x, y))
            return true;
        if (!item->m_items.empty() && item->IsVisible() && item->IsOverItems())
            return true;
    }
    return false;
}

void CMenu::OnResize(float width, float height)
{
    m_hover.SetSize(width, height);
    m_label.SetSize(width - static_cast<float>(m_spacing), height);
}

void CMenu::OnClick()
{
    if (!IsItem()) {
        m_open = !m_open;
        ShowItems(m_open);
        const String name = m_name;
        onChoose.Emit(name);
        return;
    }
    m_hot = false;
    CMenu* top = this;
    while (top->m_parent && top->m_parent->GetKind() == GUIMenu) {
        auto* parent = dynamic_cast<CMenu*>(top->m_parent);
        if (!parent)
            break;
        top = parent;
    }
    top->ShowItems(false);
    top->m_open = top->m_hot = top->IsMouseOver();
    // The parent menu reports the choice through the slot AttachItem connected.
}

void CMenu::OnItemChosen(CMenu* item)
{
    const String name = item->GetName();
    onChoose.Emit(name);
}

void CMenu::OnHoverIn()
{
    m_hot = true;
    if (IsItem())
        ShowItems(true);
}

void CMenu::OnHoverOut()
{
    if (m_open || IsOverItems())
        return;
    m_hot = false;
    if (IsItem())
        ShowItems(false);
    // The item this one belongs to heard no out while the pointer went over its items: it
    // does now, unless the pointer is back on it.
    if (m_holder && m_holder->IsItem() && m_holder->m_hot && !m_holder->IsMouseOver())
        m_holder->OnHoverOut();
}

void CMenu::OnFocus(bool focus)
{
    if (focus || IsItem() || IsOverItems())
        return;
    m_open = m_hot = false;
    ShowItems(false);
}

int32_t CMenu::HotItem() const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->m_hot && m_items[i]->m_listed)
            return static_cast<int32_t>(i);
    return -1;
}

void CMenu::MakeHot(int32_t index)
{
    for (size_t i = 0; i < m_items.size(); ++i)
        m_items[i]->m_hot = static_cast<int32_t>(i) == index;
}

bool CMenu::TakeKey(const CInputMap& event)
{
    if (IsItem() || m_items.empty())
        return false;
    const int32_t key = event.character ? (event.value == ' ' ? KeyEnter : 0) : event.value;
    if (event.control || key == 0)
        return false;
    const int32_t count = static_cast<int32_t>(m_items.size());
    // The next listed item from `from` in the direction step (wrapping), or -1.
    auto listed = [&](int32_t from, int32_t step) {
        for (int32_t n = 1; n <= count; ++n) {
            const int32_t i = ((from + step * n) % count + count) % count;
            if (m_items[static_cast<size_t>(i)]->m_listed)
                return i;
        }
        return -1;
    };
    if (!m_open) {
        if (key != KeyF10 && key != KeyAlt && key != KeyEnter && key != KeyDown)
            return false;
        m_open = true;
        ShowItems(true);
        MakeHot(listed(-1, 1));
        return true;
    }
    switch (key) {
    case KeyDown:
    case KeyUp: {
        const int32_t hot = HotItem();
        MakeHot(listed(hot < 0 ? (key == KeyDown ? -1 : 0) : hot, key == KeyDown ? 1 : -1));
        return true;
    }
    case KeyEnter: {
        const int32_t hot = HotItem();
        if (hot >= 0)
            m_items[static_cast<size_t>(hot)]->onRelease.Emit(); // closes the tree, reports the choice
        return true;
    }
    case KeyEscape:
    case KeyF10:
    case KeyAlt:
        m_open = m_hot = false;
        ShowItems(false);
        return true;
    default:
        return false;
    }
}

void CMenu::Render()
{
    CGUI::Render();
    if (!IsVisible())
        return;
    const float z = GetZ();
    if (m_icon.GetWidth() > 1.0f) {
        m_icon.SetZ(z + 1.0f);
        m_icon.Render();
    }
    if (m_hot) {
        m_hover.SetZ(z + 2.0f);
        m_hover.Render();
    }
    m_label.SetZ(z + 3.0f);
    m_label.Render();
    if (m_open || (m_hot && IsItem()))
        for (CMenu* item : m_items)
            item->Render();
}

void CMenu::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("text"))
        SetText(node.GetAttributeString("text"));
    if (node.FindAttribute("spacing"))
        SetSpacing(static_cast<uint32_t>(std::max(0, node.GetAttributeInt("spacing"))));
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        const CXMLNode& child = *node.GetChild(i);
        if (child.name != "hover")
            continue;
        float* emission = m_hover.material.emission;
        emission[0] = child.GetAttributeFloat("r");
        emission[1] = child.GetAttributeFloat("g");
        emission[2] = child.GetAttributeFloat("b");
        emission[3] = child.FindAttribute("a") ? child.GetAttributeFloat("a") : 1.0f;
        m_hover.material.diffuse[3] = emission[3];
    }
}
