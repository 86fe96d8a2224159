// CWindow: a panel (the window's own quad is its body) with a title bar, a title text and a
// close button. It is dragged by its title bar only; a click on the close button is heard on
// the button's onRelease, which owners connect to (the window does not hide itself). The
// parts are children of the window. Main thread only.
#pragma once

#include "gui/Button.h"

#include <cstdint>

class CWindow : public CGUI {
public:
    // Enabled and moveable; the title bar enabled, the title empty.
    CWindow();

    // The body, then the title bar one step in front, the title and the close button two.
    void Render() override;
    // The common attributes; "text" (the title's text); the children "gui" (the title bar),
    // "font" (the title) and "button" (the close button); then the layout for the window's
    // size.
    void LoadFromNode(CXMLNode& node) override;

    // The title takes the font's look (null changes nothing), with no text, at the window's
    // top-left corner; the window is laid out again.
    void SetFont(const CFont* font);
    CFont& GetTitle() { return m_title; }
    CGUI& GetTitleBar() { return m_titleBar; }
    CButton& GetCloseButton() { return m_close; }

private:
    void OnInput(CInputMap& event);
    void OnClick();
    // The title bar as wide as the window, the title over it, the close button at its right
    // end, centred in its height.
    void Layout(float width, float height);

    CGUI m_titleBar;
    CFont m_title;
    CButton m_close;
    bool m_closeCaptured = false; // a press landed on the close button
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
