// CGUIManager: owns the elements of GUI descriptions, builds them through its element
// factory, finds them by name, draws them, and routes the mouse signal to them: focus and the
// pointer (CGUI::SetPointerCapture) on a press, the click on a release, the hover of the one
// element under the pointer on a move. Elements are kept in
// description order, and the first in the list is the topmost: it is drawn last and wins the
// mouse. The first "tooltip" element of the descriptions shows the tip of the element (or label)
// the pointer rests on, in front of everything. Resources named by a description must outlive the
// elements. Main thread only.
#pragma once

#include "events/Liveness.h"
#include "events/Signal.h"
#include "util/String.h"

#include <cstdint>
#include <vector>

class CFont;
class CFrame;
class CGUI;
class CInputMap;
class CMenu;
class CResourceManager;
class CTooltip;
class CXMLNode;

class CGUIManager {
public:
    // Connects to the keyboard and mouse signals (events/Input.h).
    CGUIManager();
    // Disconnects, then DeleteAll.
    ~CGUIManager();
    CGUIManager(const CGUIManager&) = delete;
    CGUIManager& operator=(const CGUIManager&) = delete;

    // Reads a description file and loads the children of its root (LoadElements). A missing
    // or malformed file loads what the tree holds, possibly nothing.
    void LoadDescription(const String& path, CResourceManager& resources);
    // Builds one element per child of parentNode, in two passes. First, for child i of c:
    // `loading` (child, i, c); the factory makes the element (nodes it does not know are
    // skipped); its z becomes c − i, so that earlier nodes lie in front; it reads its
    // attributes; it joins the list. Second, each element made without a parent takes the
    // element its "parent" attribute names, so that a parent may come later in the file.
    // A parent that would make a cycle is refused. A menu whose "parent" names a menu becomes
    // its item at once, and element nodes written inside a menu node are loaded after it.
    void LoadElements(CXMLNode& parentNode, CResourceManager& resources);
    // The factory: a new element of the class the node's name selects (exact, case-sensitive
    // names), showing the sprite that "sprite" names from its "frame" (0 when absent) when
    // resources hold a sprite of that name. Null for names it does not know. Reads no other
    // attribute; the caller owns the result.
    CGUI* CreateElement(CResourceManager& resources, CXMLNode& node);

    // The first element whose name equals name exactly; null when none does.
    CGUI* FindElement(const String& name) const;
    // The element that node's attribute names, when one exists and its kind is `kind` (any
    // kind when kind < 0); null otherwise. Widgets use it for "font", "scroll" and "icon",
    // which must name an element loaded before them.
    CGUI* FindReferenced(const CXMLNode& node, const char* attribute, int32_t kind) const;
    // Appends an element; the manager owns it from now on (null is ignored).
    void AddElement(CGUI* element);
    // Renders every element but `except` (when given), the last first, then the tooltip.
    void RenderAll(const CGUI* except = nullptr);
    // Drops the focus and deletes every element. Routing under way stops.
    void DeleteAll();
    uint32_t GetElementCount() const { return static_cast<uint32_t>(m_elements.size()); }
    // Null past the end.
    CGUI* GetElement(uint32_t index) const { return index < m_elements.size() ? m_elements[index] : nullptr; }
    // The element holding the mouse focus, or null.
    CGUI* GetFocus() const { return m_focus; }
    // The tooltip element (the first one added or described), or null.
    CTooltip* GetTooltip() const { return m_tooltip; }
    // The window's client size, which the tooltip stays inside (kept for one loaded later).
    void SetTooltipBounds(float width, float height);

    // Mouse routing, connected to the mouse signal. A press (any button) moves the focus to
    // the first element hit (or to none), which takes the pointer, and the new focus emits
    // onInput and onPress; a double click on the focused element emits onInput and
    // onDoubleClick there, and one that lands anywhere else is routed as a press (action 1);
    // a release or wheel turn goes to the focused element as onInput, followed by onRelease
    // when a release is still over it (the release ends its hold on the pointer first); a
    // move goes to the focused element as onInput and, unless an element holds the pointer,
    // makes the first enabled, visible element hit the hover (CGUI::SetPointerHover), or
    // takes the hover from this manager's element when none is hit. Elements a router in
    // front claimed (CInputMap::handled) are never hit; a hit claims the event. The tooltip
    // follows the hover of every move (a button's tip) and goes at every press, double
    // click and wheel turn.
    void OnMouse(CInputMap& event);
    // Connected to the keyboard signal; keys reach only the widgets that listen themselves.
    // A key press takes the tooltip away.
    void OnKey(CInputMap& event);

    // Emitted for every element node before it is made: (node, its index, the number of
    // sibling nodes). Slots may read the node; they must not remove nodes.
    CSignal<CXMLNode&, unsigned int, unsigned int> loading;

private:
    // Reads a new element's attributes as its kind requires; true when that already put the
    // element into the list.
    bool LoadElement(CGUI& element, CXMLNode& node, CResourceManager& resources);
    // The frame's attributes, then its border pieces from its "gui" children; the pieces
    // are laid out at the end.
    void LoadFrame(CFrame& frame, CXMLNode& node, CResourceManager& resources);
    // The menu's label look, attributes, icon and parent (becoming an item of a parent menu,
    // with that menu's depth, colours and size); then the menu joins the list and the
    // element nodes inside its node are loaded.
    void LoadMenu(CMenu& menu, CXMLNode& node, CResourceManager& resources, const CFont* font);
    // The first element hit at (x, y), the topmost; null when none is.
    CGUI* ElementAt(int32_t x, int32_t y) const;
    // A shown text element with a tip whose box holds (x, y): labels take no presses, but
    // they name what stands beside them.
    const CGUI* LabelAt(int32_t x, int32_t y) const;
    // Whether element is one of this manager's (compared only; null is none).
    bool IsOwnElement(const CGUI* element) const;

    std::vector<CGUI*> m_elements; // owned, in description order
    CGUI* m_focus = nullptr;
    CGUI* m_hover = nullptr; // the element this manager last made the hover
    // Ends at every DeleteAll and with the manager: work under way stops when it does.
    CLiveness m_elementsAlive;
    CTooltip* m_tooltip = nullptr; // one of m_elements
    float m_tooltipBounds[2] = {0.0f, 0.0f};
    CSlotList m_slots;
};
