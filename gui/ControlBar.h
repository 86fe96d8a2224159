// CControlBar: a bar with three buttons at its right end (a borderless window's title bar:
// minimise, a look toggle, close). A left drag on the bar outside its buttons is reported
// once per drawn frame on onDrag as the cursor's movement in screen pixels, since the window
// moves under the mouse. A click on the second button switches it between two looks and
// turns the first button and the dragging off and on again. Owners hear the buttons'
// onRelease. Main thread only.
#pragma once

#include "gui/Button.h"
#include "util/Vector.h"

#include <cstdint>

class CControlBar : public CGUI {
public:
    // Enabled, drag enabled, the buttons children of the bar.
    CControlBar();

    // The bar, the buttons one step in front, then ReportDrag.
    void Render() override;
    // The three buttons, then the bar, take the sprite.
    void SetSprite(const CSprite& sprite) override;
    // Base frame b: the bar shows b (keeping its size), the first button b + 1 to b + 4, the
    // second b + 9 to b + 12 (its first look; b + 5 to b + 8 is the other) and the third
    // b + 13 to b + 16; the buttons take their frames' sizes and are laid out again.
    void SetFrame(uint32_t index) override;

    // While a drag of the bar is under way: onDrag with the cursor's movement since the last
    // report (or since the press). Render calls it once per frame.
    void ReportDrag();

    CButton& GetFirstButton() { return m_buttons[0]; }
    CButton& GetSecondButton() { return m_buttons[1]; }
    CButton& GetThirdButton() { return m_buttons[2]; }
    // False after an odd number of clicks on the second button.
    bool IsDragEnabled() const { return m_dragEnabled; }

    CSignal<int32_t, int32_t> onDrag; // the cursor's movement in screen pixels: x, y

protected:
    // The cursor's position in screen pixels (the platform's global cursor).
    virtual CVector CursorScreenPosition() const;

private:
    // While the bar is the hover, each enabled, visible button hears onMouseOver or
    // onMouseOut for the pointer; when the hover leaves, all hear out.
    void OnHover();
    void OnHoverOut();
    void OnInput(CInputMap& event);
    void OnClick();
    void OnToggle();
    void Layout(float width, float height);

    bool m_dragEnabled = true;
    uint32_t m_base = 0;               // the base frame of the last SetFrame
    CButton m_buttons[3];
    CButton* m_captured = nullptr;     // the button that took the last press
    CVector m_anchor = CVector(0, 0, 0, 0); // the cursor's screen position at the last report
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
