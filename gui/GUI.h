// CGUI: the element every control is made of: a quad (media/Draw.h) with a name, a parent,
// enabled / visible / focus / hover state, a sprite frame, an anchor, dragging, and the
// signals that tell owners about clicks, focus, movement and size. The tree exists only through
// parent pointers (not owned, never cyclic). Widgets derive from CGUI, override its virtual
// operations; each widget class connects its slots through a slot list of its own, declared as
// its last member, so that no slot outlives the members it calls into. Main thread only.
#pragma once

#include "events/Signal.h"
#include "media/Draw.h"
#include "media/Sprite.h"
#include "util/Vector.h"
#include "util/String.h"

#include <algorithm>
#include <cstdint>

class CInputMap;
class CXMLNode;

// Which class an element is, as the description loader and the widgets test it.
enum GUIKind : int32_t {
    GUIPlain = 0,
    GUIButton = 1,
    GUICheckBox = 2,
    GUICombo = 3,
    GUIControlBar = 4,
    GUIEdit = 5,
    GUIText = 6,
    GUIFrame = 7,
    GUIList = 8,
    GUIMenu = 9,
    GUIProgress = 10,
    GUIScroll = 11,
    GUIWindow = 14,
};

// A mouse coordinate in whole pixels: truncated toward zero, clamped to the int32 range.
inline int32_t PixelOf(float coordinate)
{
    if (!(coordinate == coordinate))
        return 0;
    return static_cast<int32_t>(std::clamp(coordinate, -2147483520.0f, 2147483520.0f));
}

class CGUI : public CQuad {
public:
    // An empty plain element: no name, no parent, no frames, anchor 0, at (0, 0, 0), size
    // 1 × 1 × 1, emission (1, 1, 1, 0) so that it shows its texture and colours at full
    // brightness under the scene's lighting, visible, disabled, not moveable.
    CGUI();
    // A new element with the other's state (CopyFrom): its own signals, slots and focus.
    CGUI(const CGUI& other);
    CGUI& operator=(const CGUI&) = delete;
    // An element that holds the pointer or the hover lets go of it.
    ~CGUI() override;

    // --- the pointer, shared by every router (the GUI manager, the composites that route
    // to their own parts, the voice area)

    // The element a mouse button went down on, which holds the pointer until the button goes
    // up: the moves and the release are its alone, and no element's hover changes meanwhile.
    // Null while no button is down on an element. The router that delivered the press sets
    // it, and clears it at the release before delivering that.
    static CGUI* GetPointerCapture();
    static void SetPointerCapture(CGUI* element);
    // The one element under the pointer, as the router that found it says: element hears
    // onMouseOver (at every move it is there), and the element hovered before hears
    // onMouseOut once when it is another. Null: the pointer is over no element.
    static CGUI* GetPointerHover();
    static void SetPointerHover(CGUI* element);

    // --- the keyboard

    // A key press for the element holding the keyboard focus (a Tab stop, gui/FocusRing.h);
    // true when the element used it. Nothing here; sliders, buttons and menus take theirs.
    virtual bool TakeKey(const CInputMap& event);

    // --- virtual operations

    // Draws the element. With a parent it is drawn at its absolute position (its own z) when
    // IsVisible; without one where it stands when visible. Enabled does not matter.
    virtual void Render();
    // Takes the other's quad, name, tooltip, material, transform, moveable, enabled, visible, anchor,
    // sprite and current frame, parent, size and kind. Signals, slots, focus, hover and drag
    // state stay this element's own.
    virtual void CopyFrom(const CGUI& other);
    // Reads the common attributes and child elements of a description node, in this order:
    // "name"; "tooltip"; "x" and "y" (SetPosition); "z"; "w" and "h" (SetSize; each defaults to the
    // current frame's size, or 1 without frames); "align"; "enabled", "visible" and
    // "moveable" (when present); then the children "rotate", "ambient", "diffuse",
    // "emission", "specular", "shininess", "alpha", "blend" and "gradient" in document order.
    virtual void LoadFromNode(CXMLNode& node);
    // Whether the point (x, y) in window pixels lies on the element, inclusive of its edges,
    // in its own rotated frame. False unless IsEnabled and IsVisible.
    virtual bool HitTest(int32_t x, int32_t y);
    // HitTest at the last recorded mouse position.
    virtual bool IsMouseOver();
    // Shows a copy of sprite's frames on this element, from frame 0; the current frame
    // becomes 0. The sprite's textures must outlive the element.
    virtual void SetSprite(const CSprite& sprite);
    // The current frame becomes index and the sprite shows it; an index past the last frame
    // leaves the sprite (and the size) as they were. With resize, a valid frame also sets
    // the element's size to the frame's (onResize).
    virtual void SelectFrame(uint32_t index, bool resize);
    // SelectFrame(index, false).
    virtual void SetFrame(uint32_t index);

    // --- state

    void SetName(const String& newName) { m_name = newName; }
    const String& GetName() const { return m_name; }
    // The tip shown while the pointer rests on the element (gui/Tooltip.h): what it is, with
    // its unit or shortcut; empty: none.
    void SetTooltip(const String& text) { m_tooltip = text; }
    const String& GetTooltip() const { return m_tooltip; }

    // Writes x and y (z kept) and emits onMove(x, y).
    void SetPosition(float x, float y);
    // Writes z only; no signal.
    void SetZ(float z);
    float GetX() const { return transform.At(12); }
    float GetY() const { return transform.At(13); }
    float GetZ() const { return transform.At(14); }
    // Own position plus the parent's absolute position, component by component: (x, y, z).
    CVector GetAbsolutePosition() const;

    // Sets width and height (pixels) and emits onResize(width, height).
    void SetSize(float width, float height);
    float GetWidth() const { return scale.x; }
    float GetHeight() const { return scale.y; }
    float GetDepth() const { return scale.z; }

    // The anchor 0 to 8: where the position lies on the quad, 0 top-left, 4 centre,
    // 8 bottom-right (rows of three). Other values are taken as 0. Text elements keep their
    // quad and align their text instead.
    void SetAlign(int32_t anchor);
    int32_t GetAlign() const { return m_align; }

    // Each stores the flag and emits its signal, also when the value does not change.
    void SetEnabled(bool enabled);
    void SetVisible(bool visible);
    void SetFocus(bool focus);
    // Own flag and, with a parent, the parent's IsEnabled / IsVisible.
    bool IsEnabled() const;
    bool IsVisible() const;
    bool GetEnabledFlag() const { return m_enabled; }
    bool GetVisibleFlag() const { return m_visible; }
    bool HasFocus() const { return m_focus; }

    // Per-vertex colours on or off (the quad's colour array).
    void SetGradient(bool on) { hasColours = on; }

    // Connects the move slot to onInput (dragging with the left button) or disconnects it.
    void SetMoveable(bool moveable);
    bool IsMoveable() const { return m_moveable; }
    bool IsDragging() const { return m_dragging; }
    bool IsMoving() const { return m_moving; }

    // The parent, whose absolute position this element's position is relative to. A parent
    // that is this element or one of its descendants is refused (false, nothing changes).
    bool SetParent(CGUI* parent);
    CGUI* GetParent() const { return m_parent; }

    int32_t GetKind() const { return m_kind; }
    uint32_t GetCurrentFrame() const { return m_currentFrame; }
    CSprite& GetSprite() { return m_sprite; }
    const CSprite& GetSprite() const { return m_sprite; }

    // --- routing inside composites

    // Routes a mouse event to an element held by a composite (which receives the mouse
    // signal itself): hover is edge-triggered here (onMouseOver once on entering, onMouseOut
    // once on leaving); a press on the element takes the focus and emits onPress, a press
    // elsewhere drops it; a release over the focused element is the click (onRelease). The
    // focused element then gets onInput, which also drives dragging; a release away from it
    // (and not hovering it) is delivered before the focus goes. A double click is one only on
    // the focused element; elsewhere it is routed as a press (action 1).
    void RouteInput(CInputMap& event);

    // --- signals
    CSignal<CInputMap&> onInput;      // a mouse event while the element holds the focus
    CSignal<> onMouseOver;            // the mouse moved over it (at every move it is the hover)
    CSignal<> onMouseOut;             // the hover went from it to another element or to none
    CSignal<bool> onFocus;            // focus gained (true) or lost (false)
    CSignal<bool> onEnable;           // SetEnabled
    CSignal<bool> onVisible;          // SetVisible
    CSignal<float, float> onMove;     // the position was set: x, y
    CSignal<float, float> onMoved;    // a drag ended: the final x, y
    CSignal<float, float> onResize;   // the size was set: width, height
    CSignal<> onPress;                // a button went down over it (it has the focus)
    CSignal<> onRelease;              // a button went up over it while focused: the click
    CSignal<> onDoubleClick;          // a double click while focused

protected:
    // The drag handler, connected to onInput while the element is moveable.
    void OnDrag(CInputMap& event);

    String m_name;
    String m_tooltip;
    bool m_moving = false;      // a drag has moved the element and not yet ended
    bool m_moveable = false;
    bool m_enabled = false;     // widgets that take input set it in their constructors
    bool m_visible = true;
    bool m_focus = false;
    bool m_mouseOver = false;   // hover as RouteInput tracks it
    bool m_dragging = false;    // the left button went down on it and is still down
    uint32_t m_currentFrame = 0; // the base frame chosen with SelectFrame
    int32_t m_kind = GUIPlain;
    CSprite m_sprite;           // drives this element's material
    CGUI* m_parent = nullptr;   // not owned
    int32_t m_align = 0;
    CVector m_dragAnchor = CVector(0, 0, 0, 0); // mouse position minus position at the press
    CSlot<CGUI, CInputMap&> m_moveSlot;
};
