// CButton, the push button, and CCheckBox, the button that latches down on a click. A button
// shows one of four states (normal, hover, down, disabled) through four consecutive sprite
// frames from its base frame and optional state colours, and holds a text label that shifts
// by the offset while it is down. Owners hear clicks on onRelease and state changes on
// onState. Buttons are also the parts of composite widgets (scroll bars, combo boxes).
#pragma once

#include "gui/Font.h"

#include <cstdint>

class CButton : public CGUI {
public:
    enum State : int32_t {
        StateNormal = 0,
        StateHover = 1,
        StateDown = 2,
        StateDisabled = 3,
    };

    // Enabled, in the normal state, with an empty label.
    CButton();
    CButton(const CButton& other);

    // The button, then its label (one step in front) when the label has text.
    void Render() override;
    // The common attributes; "text" sets the label's text and makes the offset (2, 2);
    // "tooltip" the tip; the children "offset" ("x", "y", "z", "w") and the state colours "enable", "hover", "down"
    // and "disable" ("r", "g", "b", "a", each 0 when absent); then the state is shown again.
    void LoadFromNode(CXMLNode& node) override;
    // Shows sprite and the current state's frame from base frame 0.
    void SetSprite(const CSprite& sprite) override;
    // index becomes the base frame; the sprite shows the current state's frame from it.
    void SelectFrame(uint32_t index, bool resize) override;

    // CopyFrom (keeping the other's base frame), then the offset, the label's look (as
    // SetFont with the other's label) and text, and the state colours; the button keeps its
    // own latch and shows its own state again.
    void Assign(const CButton& other);

    // Shows state s: frame (base + s), state colour s when its alpha is above 0 (emission
    // and diffuse alpha; a state without a colour shows the button's own colours), and the
    // down offset while s is down: the label moves by it, or the button itself when it has
    // no sprite frames. Emits onState(s).
    void SetState(State state);
    State GetState() const { return m_state; }
    // Latches the button down (state down) or releases it (state normal); a disabled button
    // keeps showing the disabled state, and shows the latch once enabled again. While
    // latched, hover and mouse input leave the state alone.
    void SetDown(bool down);
    bool IsDown() const { return m_down; }

    // The label takes the font's look (null changes nothing): it becomes a child of the
    // button at (0, 0), enabled, with no text, centred in a push button's box and top-left
    // in a check box's, as wide as the offset's w (or the button) and as high as the button.
    void SetFont(const CFont* font);
    // The label; its SetText sets the button's text.
    CFont& GetLabel() { return m_label; }
    const CFont& GetLabel() const { return m_label; }
    // The tip (CGUI::SetTooltip) comes from the description's "tooltip" attribute: the
    // command's name and shortcut.

    // The down offset: x and y move the label (or the button) while down; w, when not 0, is
    // the label's width; z is kept but unused.
    void SetOffset(float x, float y, float z, float w);
    const float* GetOffset() const { return m_offset; }
    // The colour (r, g, b, a) shown in a state; alpha 0 (the default) means none.
    void SetStateColour(State state, float r, float g, float b, float a);
    const float* GetStateColour(State state) const { return m_stateColours[state & 3]; }

    // Space or Enter presses the button as a click does: onRelease (a check box toggles
    // first). True for those keys.
    bool TakeKey(const CInputMap& event) override;

    CSignal<State> onState; // every SetState, with the new state

protected:
    void OnInput(CInputMap& event);
    void OnHoverIn();
    void OnHoverOut();
    void OnEnable(bool enabled);
    void OnResize(float width, float height);
    // The label's size for a button of this size.
    void SizeLabel(float width, float height);
    // The state the flags call for while no pointer acts on the button: disabled, else down
    // when latched, else normal.
    State RestingState() const;
    // Puts the button's own colours back when a state colour is shown.
    void RemoveTint();
    // Shows frame (base + state) when the sprite has it.
    void ShowStateFrame();

    bool m_down = false;
    State m_state = StateNormal;
    bool m_offsetApplied = false;
    bool m_offsetMovedSelf = false; // the applied offset moved the button, not the label
    float m_appliedOffset[2] = {0.0f, 0.0f};
    CFont m_label;
    float m_offset[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // x, y, z, w
    float m_stateColours[4][4] = {};
    bool m_tinted = false;          // a state colour is on the material
    float m_ownColour[5] = {};      // emission r, g, b, a and diffuse alpha under the tint

private:
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};

class CCheckBox : public CButton {
public:
    // A button that toggles its latch on every click: down when checked.
    CCheckBox();
    CCheckBox(const CCheckBox& other);

    // The box or its label: a click on the text beside the box counts.
    bool HitTest(int32_t x, int32_t y) override;

    using CButton::Assign;
    void Assign(const CCheckBox& other) { CButton::Assign(other); }

private:
    void OnToggle();

    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
