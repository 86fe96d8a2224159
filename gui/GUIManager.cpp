// Index:
//   [SECTION] Element factory
//   [SECTION] Loading descriptions
//   [SECTION] Ownership, lookup and drawing
//   [SECTION] Mouse routing
#include "gui/GUIManager.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Combo.h"
#include "gui/ControlBar.h"
#include "gui/Edit.h"
#include "gui/Font.h"
#include "gui/Frame.h"
#include "gui/GUI.h"
#include "gui/List.h"
#include "gui/Menu.h"
#include "gui/Progress.h"
#include "gui/Scroll.h"
#include "gui/Tooltip.h"
#include "gui/Window.h"
#include "media/ResourceManager.h"
#include "media/Sprite.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

// [SECTION] Element factory

namespace {

template <class T>
CGUI* Make()
{
    return new T;
}

// One row per element class: the description node name that makes it.
const struct {
    const char* node;
    CGUI* (*make)();
} kElementClasses[] = {
    {"gui", &Make<CGUI>},
    {"button", &Make<CButton>},
    {"checkbox", &Make<CCheckBox>},
    {"combo", &Make<CCombo>},
    {"control", &Make<CControlBar>},
    {"edit", &Make<CEdit>},
    {"font", &Make<CFont>},
    {"frame", &Make<CFrame>},
    {"list", &Make<CList>},
    {"menu", &Make<CMenu>},
    {"progress", &Make<CProgress>},
    {"scroll", &Make<CScroll>},
    {"tooltip", &Make<CTooltip>},
    {"window", &Make<CWindow>},
};

// Shows the sprite that node's "sprite" names, from its "frame", when the resources hold a
// sprite of that name. Only sprites can be shown: a name that finds a texture or a sound is
// ignored.
void ShowSprite(CGUI& element, const CXMLNode& node, CResourceManager& resources)
{
    const CXMLAttribute* spriteName = node.FindAttribute("sprite");
    auto* sprite = spriteName ? dynamic_cast<CSprite*>(resources.Find(spriteName->value)) : nullptr;
    if (!sprite)
        return;
    element.SetSprite(*sprite);
    const int32_t frame = node.GetAttributeInt("frame");
    element.SetFrame(frame > 0 ? static_cast<uint32_t>(frame) : 0);
}

// The parts of a composite written as its child nodes take the sprites those nodes name,
// before the composite reads the nodes' other attributes.
void ShowPartSprites(CXMLNode& node, CResourceManager& resources,
                     std::initializer_list<std::pair<const char*, CGUI*>> parts)
{
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        const CXMLNode& child = *node.GetChild(i);
        for (const auto& part : parts)
            if (child.name == part.first)
                ShowSprite(*part.second, child, resources);
    }
}

// The colours of a menu's material, without its textures (which its own sprite drives).
bool SameColours(const CMaterial& a, const CMaterial& b)
{
    return std::equal(a.ambient, a.ambient + 4, b.ambient) && std::equal(a.diffuse, a.diffuse + 4, b.diffuse) &&
           std::equal(a.specular, a.specular + 4, b.specular) && std::equal(a.emission, a.emission + 4, b.emission) &&
           a.shininess == b.shininess && a.additive == b.additive;
}

void CopyColours(const CMaterial& from, CMaterial& to)
{
    std::copy(from.ambient, from.ambient + 4, to.ambient);
    std::copy(from.diffuse, from.diffuse + 4, to.diffuse);
    std::copy(from.specular, from.specular + 4, to.specular);
    std::copy(from.emission, from.emission + 4, to.emission);
    to.shininess = from.shininess;
    to.additive = from.additive;
}

} // namespace

CGUI* CGUIManager::CreateElement(CResourceManager& resources, CXMLNode& node)
{
    CGUI* element = nullptr;
    for (const auto& elementClass : kElementClasses)
        if (node.name == elementClass.node) {
            element = elementClass.make();
            break;
        }
    if (element)
        ShowSprite(*element, node, resources);
    return element;
}

bool CGUIManager::LoadElement(CGUI& element, CXMLNode& node, CResourceManager& resources)
{
    // "font" names an earlier text element whose look the widget's text takes.
    const auto* font = dynamic_cast<const CFont*>(FindReferenced(node, "font", GUIText));
    if (auto* tooltip = dynamic_cast<CTooltip*>(&element)) {
        tooltip->SetFont(font);
        element.LoadFromNode(node);
        tooltip->SetVisible(false); // shown only by resting the pointer
        return false;
    }
    switch (element.GetKind()) {
    case GUIButton:
    case GUICheckBox:
        static_cast<CButton&>(element).SetFont(font);
        element.LoadFromNode(node);
        return false;
    case GUIEdit:
        static_cast<CEdit&>(element).SetFont(font);
        element.LoadFromNode(node);
        return false;
    case GUIWindow: {
        auto& window = static_cast<CWindow&>(element);
        window.SetFont(font);
        ShowPartSprites(node, resources,
                        {{"gui", &window.GetTitleBar()}, {"font", &window.GetTitle()}, {"button", &window.GetCloseButton()}});
        element.LoadFromNode(node);
        return false;
    }
    case GUICombo: {
        auto& combo = static_cast<CCombo&>(element);
        combo.SetFont(font);
        combo.GetList().SetScroll(dynamic_cast<const CScroll*>(FindReferenced(node, "scroll", GUIScroll)));
        ShowPartSprites(node, resources,
                        {{"edit", &combo.GetEdit()}, {"button", &combo.GetButton()}, {"list", &combo.GetList()}});
        element.LoadFromNode(node);
        return false;
    }
    case GUIList: {
        auto& list = static_cast<CList&>(element);
        list.SetFont(font);
        list.SetScroll(dynamic_cast<const CScroll*>(FindReferenced(node, "scroll", GUIScroll)));
        element.LoadFromNode(node);
        return false;
    }
    case GUIFrame:
        LoadFrame(static_cast<CFrame&>(element), node, resources);
        return false;
    case GUIMenu:
        LoadMenu(static_cast<CMenu&>(element), node, resources, font);
        return true;
    default:
        // Plain elements and every kind that reads only its own node.
        element.LoadFromNode(node);
        return false;
    }
}

void CGUIManager::LoadFrame(CFrame& frame, CXMLNode& node, CResourceManager& resources)
{
    frame.LoadFromNode(node);
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        CXMLNode& child = *node.GetChild(i);
        if (child.name != "gui")
            continue;
        // A piece index the frame does not have is ignored.
        const int32_t index = child.GetAttributeInt("border");
        CGUI* piece = index >= 0 ? frame.GetPiece(static_cast<uint32_t>(index)) : nullptr;
        if (!piece)
            continue;
        CGUI* made = CreateElement(resources, child);
        if (!made)
            continue;
        made->LoadFromNode(child);
        piece->CopyFrom(*made);
        piece->SetParent(&frame);
        delete made;
    }
    frame.onMove.Emit(frame.GetX(), frame.GetY());
    frame.onResize.Emit(frame.GetWidth(), frame.GetHeight());
}

void CGUIManager::LoadMenu(CMenu& menu, CXMLNode& node, CResourceManager& resources, const CFont* font)
{
    menu.SetFont(font);
    menu.LoadFromNode(node);
    menu.SetIcon(FindReferenced(node, "icon", -1));
    if (const CXMLAttribute* parentName = node.FindAttribute("parent")) {
        CGUI* parent = FindElement(parentName->value);
        if (parent && menu.SetParent(parent) && parent->GetKind() == GUIMenu) {
            // An item looks like its menu unless it was given colours of its own.
            auto& holder = static_cast<CMenu&>(*parent);
            menu.SetZ(holder.GetZ());
            if (SameColours(menu.material, CGUI().material))
                CopyColours(holder.material, menu.material);
            CopyColours(holder.GetHoverHighlight().material, menu.GetHoverHighlight().material);
            // As wide as its menu unless it says otherwise (a list of file names is wider than
            // the small menu it drops from); as high, since items stand a menu height apart.
            menu.SetSize(node.FindAttribute("w") ? menu.GetWidth() : holder.GetWidth(), holder.GetHeight());
            holder.AttachItem(&menu);
        }
    }
    AddElement(&menu);
    // Element nodes written inside the menu node are elements too (items name their menu in
    // "parent").
    LoadElements(node, resources);
}

// [SECTION] Loading descriptions

CGUIManager::CGUIManager()
{
    m_slots.Connect(GetKeyboardSignal(), this, &CGUIManager::OnKey);
    m_slots.Connect(GetMouseSignal(), this, &CGUIManager::OnMouse);
}

CGUIManager::~CGUIManager() { DeleteAll(); }

void CGUIManager::LoadDescription(const String& path, CResourceManager& resources)
{
    CXMLDocument document;
    document.Load(path); // a damaged file still gives the nodes read before the damage
    LoadElements(document, resources);
}

void CGUIManager::LoadElements(CXMLNode& parentNode, CResourceManager& resources)
{
    const uint32_t count = parentNode.GetChildCount();
    // The element each node made, so that the second pass finds it even when names repeat
    // or earlier nodes made nothing.
    std::vector<CGUI*> made(count, nullptr);
    CLivenessWatch elements(m_elementsAlive);
    for (uint32_t i = 0; i < count; ++i) {
        CXMLNode* node = parentNode.GetChild(i);
        if (!node)
            break;
        loading.Emit(*node, i, count);
        node = parentNode.GetChild(i);
        if (elements.IsGone())
            std::fill(made.begin(), made.end(), nullptr); // a slot deleted the elements
        if (!node)
            break;
        CGUI* element = CreateElement(resources, *node);
        if (!element)
            continue;
        element->SetZ(static_cast<float>(count - i));
        if (!LoadElement(*element, *node, resources))
            AddElement(element);
        made[i] = element;
    }
    if (elements.IsGone())
        return;
    for (uint32_t i = 0; i < count; ++i) {
        const CXMLNode* node = parentNode.GetChild(i);
        CGUI* element = made[i];
        if (!node || !element || element->GetParent())
            continue;
        if (const CXMLAttribute* parent = node->FindAttribute("parent"))
            element->SetParent(FindElement(parent->value));
    }
}

// [SECTION] Ownership, lookup and drawing

CGUI* CGUIManager::FindElement(const String& name) const
{
    for (CGUI* element : m_elements)
        if (element->GetName() == name)
            return element;
    return nullptr;
}

CGUI* CGUIManager::FindReferenced(const CXMLNode& node, const char* attribute, int32_t kind) const
{
    const CXMLAttribute* reference = node.FindAttribute(attribute);
    CGUI* element = reference ? FindElement(reference->value) : nullptr;
    return element && (kind < 0 || element->GetKind() == kind) ? element : nullptr;
}

void CGUIManager::AddElement(CGUI* element)
{
    if (!element)
        return;
    m_elements.push_back(element);
    auto* tooltip = dynamic_cast<CTooltip*>(element);
    if (tooltip && !m_tooltip) {
        m_tooltip = tooltip;
        m_tooltip->SetBounds(m_tooltipBounds[0], m_tooltipBounds[1]);
    }
}

void CGUIManager::RenderAll(const CGUI* except)
{
    for (size_t i = m_elements.size(); i-- > 0;)
        if (i < m_elements.size() && m_elements[i] != m_tooltip && m_elements[i] != except)
            m_elements[i]->Render();
    if (m_tooltip)
        m_tooltip->Render();
}

void CGUIManager::SetTooltipBounds(float width, float height)
{
    m_tooltipBounds[0] = width;
    m_tooltipBounds[1] = height;
    if (m_tooltip)
        m_tooltip->SetBounds(width, height);
}

void CGUIManager::DeleteAll()
{
    m_focus = nullptr;
    m_hover = nullptr;
    m_elementsAlive.End();
    m_tooltip = nullptr;
    std::vector<CGUI*> elements;
    elements.swap(m_elements);
    for (CGUI* element : elements)
        delete element;
}

// [SECTION] Mouse routing

void CGUIManager::OnKey(CInputMap& event)
{
    if (m_tooltip && event.action == InputPress)
        m_tooltip->Dismiss();
}

void CGUIManager::OnMouse(CInputMap& event)
{
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    // A slot may delete every element (DeleteAll) or the manager: nothing is touched after that.
    CLivenessWatch elements(m_elementsAlive);
    auto deleted = [&] { return elements.IsGone(); };

    if (m_tooltip && event.action != InputMove && event.action != InputRelease)
        m_tooltip->Dismiss();
    if (event.action == InputPress || event.action == InputDoubleClick) {
        // A point a router in front claimed is over none of this manager's elements.
        CGUI* hit = event.handled ? nullptr : ElementAt(x, y);
        if (deleted())
            return;
        if (hit) {
            event.handled = true;
            CGUI::SetPointerCapture(hit);
        }
        if (event.action == InputDoubleClick && hit && hit == m_focus) {
            hit->onInput.Emit(event);
            if (!deleted())
                hit->onDoubleClick.Emit();
            return;
        }
        // A double click away from the element that took its first press is a first press
        // where it lands (listeners of the mouse signal after this one keep the original).
        CInputMap converted;
        if (event.action == InputDoubleClick) {
            converted = event;
            converted.action = InputPress;
        }
        CInputMap& press = event.action == InputDoubleClick ? converted : event;
        CGUI* old = m_focus;
        m_focus = hit;
        if (old && old != hit) {
            old->SetFocus(false);
            if (deleted())
                return;
        }
        if (!hit)
            return;
        if (hit != old) {
            hit->SetFocus(true);
            if (deleted())
                return;
        }
        hit->onInput.Emit(press);
        if (!deleted())
            hit->onPress.Emit();
        return;
    }

    if (event.action == InputRelease && m_focus && CGUI::GetPointerCapture() == m_focus)
        CGUI::SetPointerCapture(nullptr);
    if (CGUI* focus = m_focus) {
        focus->onInput.Emit(event);
        if (deleted())
            return;
        if (event.action == InputRelease) {
            if (focus->HitTest(x, y) && !deleted())
                focus->onRelease.Emit();
            return;
        }
    }
    if (event.action != InputMove || CGUI::GetPointerCapture())
        return; // a held button keeps every hover as it is
    CGUI* hit = event.handled ? nullptr : ElementAt(x, y);
    if (deleted())
        return;
    if (m_tooltip) {
        const CGUI* tipped = hit || event.handled ? hit : LabelAt(x, y);
        if (tipped || IsOwnElement(m_tooltip->GetTarget()))
            m_tooltip->Track(tipped, tipped ? tipped->GetTooltip() : String(), x, y);
    }
    if (hit) {
        event.handled = true;
        m_hover = hit;
        CGUI::SetPointerHover(hit);
    } else if (m_hover) {
        if (CGUI::GetPointerHover() == m_hover)
            CGUI::SetPointerHover(nullptr);
        m_hover = nullptr;
    }
}

const CGUI* CGUIManager::LabelAt(int32_t x, int32_t y) const
{
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    for (const CGUI* element : m_elements) {
        if (element->GetKind() != GUIText || element->GetTooltip().IsEmpty() || !element->IsVisible())
            continue;
        const CVector at = element->GetAbsolutePosition();
        if (fx >= at.x && fx < at.x + element->GetWidth() && fy >= at.y && fy < at.y + element->GetHeight())
            return element;
    }
    return nullptr;
}

bool CGUIManager::IsOwnElement(const CGUI* element) const
{
    return element && std::find(m_elements.begin(), m_elements.end(), element) != m_elements.end();
}

CGUI* CGUIManager::ElementAt(int32_t x, int32_t y) const
{
    for (CGUI* element : m_elements)
        if (element->HitTest(x, y))
            return element;
    return nullptr;
}
