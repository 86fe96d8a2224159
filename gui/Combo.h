// CCombo: the combo box: an edit box with a drop button at its right end and a list below
// it. The drop button opens and closes the list; choosing a row puts the row's first-column
// text into the edit box, closes the list and reports the choice on onSelect. The combo box
// is as high as its edit box while closed and as high as described while open, so that the
// open list takes the mouse. Its own quad is never drawn. Main thread only.
#pragma once

#include "gui/Edit.h"
#include "gui/List.h"

#include <cstdint>

class CCombo : public CGUI {
public:
    // Enabled; the three parts children of the combo box.
    CCombo();
    // The other's base state and copies of its parts; open height included.
    CCombo(const CCombo& other);

    // The edit box, the drop button and the list one step in front, when visible.
    void Render() override;
    // The common attributes ("h" is the open height); the children "edit", "button" and
    // "list" (each part's own attributes); the layout: the button at the right end, the list
    // below the edit box filling the open height; "selected" (int): that row is selected and
    // chosen (Select(row, 0)); finally the list is closed.
    void LoadFromNode(CXMLNode& node) override;

    // The text of the list's cell goes into the edit box (without onChange; empty for a cell
    // that holds no text), the list closes, and onSelect(text, row, column) is emitted.
    void Select(int32_t row, int32_t column);
    // The edit box, the drop button and the list take the font's look.
    void SetFont(const CFont* font);
    // Shows or hides the list; the combo box opens only while it holds the focus.
    void SetOpen(bool open) { m_list.SetVisible(open); }
    bool IsOpen() const { return m_list.IsVisible(); }
    float GetOpenHeight() const { return m_openHeight; }

    CEdit& GetEdit() { return m_edit; }
    CButton& GetButton() { return m_button; }
    CList& GetList() { return m_list; }

    CSignal<const String&, int32_t, int32_t> onSelect; // (text, row, column) chosen

private:
    void Connect();
    void OnInput(CInputMap& event);
    void OnFocus(bool focus);
    void OnToggle();
    void OnRowSelect(int32_t row, int32_t column) { Select(row, column); }
    void OnListVisible(bool visible);

    float m_openHeight = 0.0f;
    CEdit m_edit;
    CButton m_button;
    CList m_list;
    CGUI* m_focusedPart = nullptr;
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
