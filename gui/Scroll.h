// CScroll: the scroll bar and slider. The element itself is the track; it holds a thumb and
// a decrease and an increase button, and maps the thumb's place on the track linearly onto a
// float value between min and max. The value changes by dragging the thumb, by clicking the
// arrows (on release), by the wheel while the bar has the focus, by the keys while it holds
// the keyboard focus (TakeKey), and by SetValue. Every change is announced once on onValue;
// what changes nothing announces nothing. Needs no OpenGL context except to Render.
#pragma once

#include "gui/Button.h"

class CScroll : public CGUI {
public:
    // Enabled, vertical, range 0 to 0, value 0, increment 1, the thumb moveable.
    CScroll();
    CScroll(const CScroll& other);

    // The track, then the thumb, the decrease and the increase button one step in front.
    void Render() override;
    // The common attributes, then "vertical" (bool; laid out again), "min" and "max" (floats;
    // the value is clamped again) and "increment" (float).
    void LoadFromNode(CXMLNode& node) override;
    // The bar and its three parts take the sprite; then SetFrame(0).
    void SetSprite(const CSprite& sprite) override;
    // Base frame b: the track shows b, the thumb b + 1 to b + 4, the decrease button b + 5
    // to b + 8 and the increase button b + 9 to b + 12. Parts whose frame exists take its
    // size, and the bar's thickness becomes the thumb frame's.
    void SetFrame(uint32_t index) override;

    // CopyFrom, then orientation, value, range and increment, and each part from the other's.
    void Assign(const CScroll& other);

    // Clamps v into [min, max] (NaN gives min), places the thumb for it and emits onValue
    // when the value differs from the one before.
    // With max equal to min the value is min and the thumb stays at the start of the track.
    void SetValue(float value);
    float GetValue() const { return m_value; }
    // Stores the range, then SetValue(value) to clamp and place the thumb.
    void SetRange(float min, float max);
    float GetMin() const { return m_min; }
    float GetMax() const { return m_max; }
    void SetIncrement(float increment) { m_increment = increment; }
    float GetIncrement() const { return m_increment; }
    // SetValue(value ± increment), then onIncrease or onDecrease: a step emits onValue and
    // its direction's signal once each, and nothing at the end of the range.
    void Increase();
    void Decrease();

    // The thumb moves along y when vertical, along x otherwise; the parts are laid out again.
    void SetVertical(bool vertical);
    bool IsVertical() const { return m_vertical; }

    CButton& GetThumb() { return m_thumb; }
    CButton& GetDecreaseButton() { return m_decrease; }
    CButton& GetIncreaseButton() { return m_increase; }

    // Arrows step by the increment, Page Up / Page Down by a tenth of the range (at least
    // the increment), Home and End go to min and max. A horizontal slider increases with
    // Right, Up and Page Up; a vertical bar with Down, Right and Page Down (its thumb goes
    // down). True when the key is one of those, whether or not the value moved.
    bool TakeKey(const CInputMap& event) override;

    CSignal<float> onIncrease; // after an increase step that moved the value, with the value
    CSignal<float> onDecrease; // after a decrease step that moved the value, with the value
    CSignal<float> onValue;    // after every change of the value, with the value

private:
    // Places the arrows at the ends and the thumb where the value puts it.
    void Layout(float width, float height);
    // Moves the thumb to the value's place without changing the value.
    void PlaceThumb();
    // The thumb's track length: the bar's length less the thumb and both arrows.
    float TrackLength() const;
    void OnThumbMoved(float x, float y);
    void OnInput(CInputMap& event);
    void OnClick();
    // While the bar is the hover, each enabled, visible part hears onMouseOver or onMouseOut
    // for the pointer, which drives its hover state; when the hover leaves, all hear out.
    void OnHover();
    void OnHoverOut();
    // The parts' parents, the thumb's dragging.
    void AdoptParts();

    bool m_skip = false;        // the next thumb movement is the program's: keep the value
    bool m_vertical = true;
    float m_value = 0.0f;
    float m_min = 0.0f;
    float m_max = 0.0f;
    float m_increment = 1.0f;
    CButton* m_captured = nullptr; // the part that took the last press
    int32_t m_pointerX = 0;        // the last mouse position the bar was given
    int32_t m_pointerY = 0;
    CButton m_thumb;
    CButton m_decrease;
    CButton m_increase;
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
