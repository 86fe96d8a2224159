// CFocusRing: the keyboard focus of a screen of controls, and the ring drawn around the
// focused one. Tab and Shift+Tab move the focus through the stops the owner lists (in reading
// order), wrapping around; the focused stop takes the key presses it uses (CGUI::TakeKey),
// and a focused edit box holds the focus flag, so that it types; a menu the focus leaves
// closes. F10, or Alt pressed and released alone, focuses and opens the menu set with
// SetMenu. Escape that the focused stop does not take gives the focus up, and so does a mouse
// press (the pointer has the controls again: a text box or menu the press missed lets go). Nothing is focused until a key asks. Stops are not owned: an owner that deletes one
// calls Forget first. Main thread only.
#pragma once

#include "gui/GUI.h"

#include <functional>
#include <vector>

class CInputMap;
class CMenu;

class CFocusRing {
public:
    // Fills the list with the stops, in Tab order; only enabled, visible ones are visited.
    using StopList = std::function<void(std::vector<CGUI*>&)>;

    static constexpr float kWidth = 2.0f; // the ring's thickness, outside the control

    CFocusRing();
    CFocusRing(const CFocusRing&) = delete;
    CFocusRing& operator=(const CFocusRing&) = delete;

    void SetStops(StopList stops) { m_stops = std::move(stops); }
    void SetMenu(CMenu* menu) { m_menu = menu; }
    // Listens to the keyboard and mouse signals from now on (connect after every text box, so
    // that the keys a box types stay with it) / no longer, with nothing focused.
    void Attach();
    void Detach();

    // The keyboard focus moves to element (null: none); an edit box gains or loses the focus
    // flag with it, and a menu it leaves closes. Emits onFocus when it changes.
    void Focus(CGUI* element);
    CGUI* GetFocus() const { return m_focus; }
    // The focus goes when it is ancestor or lies inside it.
    void Forget(const CGUI* ancestor);
    // The next (or, with back, the previous) enabled, visible stop after the focus; from the
    // first (last) one when nothing is focused, or after a text box holding the focus flag.
    void Step(bool back);

    // The ring: four bars kWidth wide around the focused stop, in the toolkit's accent colour,
    // in front of every control. Nothing while no stop is focused or it is hidden.
    void Render();

    CSignal<CGUI*> onFocus; // the new focus (null: none), so that an owner can show it

private:
    void OnKey(CInputMap& event);
    void OnMouse(CInputMap& event);
    // A stop that can take the focus now.
    static bool CanFocus(const CGUI* element);

    CGUI* m_focus = nullptr;   // not owned
    CMenu* m_menu = nullptr;   // not owned
    bool m_altAlone = false;   // Alt is down and no other key was pressed since
    StopList m_stops;
    CGUI m_bars[4];
    CSlotList m_slots;
};
