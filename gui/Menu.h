// CMenu: a menu entry with a label, an optional icon and a hover highlight. A top-level menu
// opens and closes the column of its item menus below it on each click; an item with items
// of its own shows them to its right while the pointer is over it; a click on an item closes
// the whole tree and its parent menu reports the item's name on onChoose. Items are elements
// of the GUI manager (not owned by their menu) whose parent is the menu. Main thread only.
#pragma once

#include "gui/Font.h"

#include <cstdint>
#include <vector>

class CMenu : public CGUI {
public:
    // Enabled, closed, no items, spacing 0, the hover highlight fully transparent.
    CMenu();
    // Detaches from the menu this one is an item of, and from its own items.
    ~CMenu() override;

    // The background; when visible the icon (when wider than a pixel) one step in front, the
    // hover highlight two steps while hot, the label three; then the items while open, or
    // while this item is hot.
    void Render() override;
    // The common attributes, then "text", "spacing" (int) and the child "hover" (the hover
    // highlight's colour: emission r, g, b, a and diffuse alpha a; "a" 1 when absent).
    void LoadFromNode(CXMLNode& node) override;

    void SetText(const String& text) { m_label.SetText(text); }
    const String& GetText() const { return m_label.GetText(); }
    // The label's left inset (room for the icon); the label is placed and sized again.
    void SetSpacing(uint32_t spacing);
    uint32_t GetSpacing() const { return m_spacing; }
    // The label takes the font's look (null changes nothing): left-aligned and vertically
    // centred, a child of the menu, enabled, visible, at (spacing, 0).
    void SetFont(const CFont* font);
    // The icon takes the element's state (null changes nothing): a child of the menu,
    // disabled, visible.
    void SetIcon(const CGUI* icon);

    // Makes item one of this menu's items: hidden until shown, and its click reported on
    // this menu's onChoose. The item's parent should be this menu. Refuses null, this menu,
    // an item already attached and a menu that holds this one (no loops).
    void AttachItem(CMenu* item);
    // Shows the items one menu height apart, below a top-level menu or to the right of an
    // item; hiding also cools the items and hides their items.
    void ShowItems(bool show);
    // Whether the last mouse position is over an item, or over the shown items of an item
    // (false while this menu is hidden).
    bool IsOverItems();
    // An item is a menu whose parent is a menu.
    bool IsItem() const { return m_parent && m_parent->GetKind() == GUIMenu; }

    // An item that is not listed is left out of its menu's column (a list that the program
    // fills, such as recent files); listed by default.
    void SetListed(bool listed) { m_listed = listed; }
    bool IsListed() const { return m_listed; }

    bool IsOpen() const { return m_open; }
    bool IsHot() const { return m_hot; }
    uint32_t GetItemCount() const { return static_cast<uint32_t>(m_items.size()); }
    CMenu* GetItem(uint32_t index) const { return index < m_items.size() ? m_items[index] : nullptr; }
    CFont& GetLabel() { return m_label; }
    CGUI& GetHoverHighlight() { return m_hover; }
    CGUI& GetIcon() { return m_icon; }

    // A top-level menu's keys: F10, Alt, Enter, Space or Down open it with its first listed
    // item hot; while open, Down and Up move the hot item (wrapping), Enter or Space choose
    // it as its click does, and Escape closes the menu. True for the keys it used.
    bool TakeKey(const CInputMap& event) override;

    CSignal<const String&> onChoose; // a top-level menu's own name on its click, or an item's

private:
    void OnFocus(bool focus);
    void OnResize(float width, float height);
    void OnClick();
    void OnHoverIn();
    void OnHoverOut();
    void OnItemChosen(CMenu* item);
    // The listed item that is hot, or -1; MakeHot(i) cools the others.
    int32_t HotItem() const;
    void MakeHot(int32_t index);

    std::vector<CMenu*> m_items;   // not owned
    CMenu* m_holder = nullptr;     // the menu this one is an item of
    CFont m_label;
    CGUI m_hover;
    CGUI m_icon;
    bool m_open = false;
    bool m_hot = false;
    bool m_listed = true;
    uint32_t m_spacing = 0;
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
