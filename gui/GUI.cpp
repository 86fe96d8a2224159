// Index:
//   [SECTION] Construction and copying
//   [SECTION] Geometry and state
//   [SECTION] Sprite frames
//   [SECTION] Hit testing and drawing
//   [SECTION] Input: dragging and routing inside composites
//   [SECTION] Description attributes
#include "gui/GUI.h"

#include "events/Input.h"
#include "media/Matrix.h"
#include "xml/XMLDocument.h"

#include <algorithm>

// [SECTION] Construction and copying

CGUI::CGUI() : m_moveSlot(this, &CGUI::OnDrag)
{
    const float emission[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    std::copy(emission, emission + 4, material.emission);
}

CGUI::CGUI(const CGUI& other) : CQuad(), m_moveSlot(this, &CGUI::OnDrag) { CGUI::CopyFrom(other); }

namespace {

CGUI* s_pointerCapture = nullptr;
CGUI* s_pointerHover = nullptr;

} // namespace

CGUI::~CGUI()
{
    if (s_pointerCapture == this)
        s_pointerCapture = nullptr;
    if (s_pointerHover == this)
        s_pointerHover = nullptr;
}

CGUI* CGUI::GetPointerCapture() { return s_pointerCapture; }

void CGUI::SetPointerCapture(CGUI* element) { s_pointerCapture = element; }

CGUI* CGUI::GetPointerHover() { return s_pointerHover; }

void CGUI::SetPointerHover(CGUI* element)
{
    CGUI* old = s_pointerHover;
    s_pointerHover = element;
    if (old && old != element)
        old->onMouseOut.Emit(); // may delete elements: the new hover is looked at again
    if (element && s_pointerHover == element)
        element->onMouseOver.Emit();
}

bool CGUI::TakeKey(const CInputMap&) { return false; }

void CGUI::CopyFrom(const CGUI& other)
{
    if (&other == this)
        return;
    CShape::operator=(other); // vertices, material, transform, rotation and size
    m_name = other.m_name;
    m_tooltip = other.m_tooltip;
    SetMoveable(other.m_moveable);
    m_enabled = other.m_enabled;
    m_visible = other.m_visible;
    SetAlign(other.m_align);
    SetSprite(other.m_sprite);
    SetFrame(other.m_sprite.current);
    SetParent(other.m_parent);
    m_kind = other.m_kind;
}

// [SECTION] Geometry and state

void CGUI::SetPosition(float x, float y)
{
    transform.SetTranslation(x, y, GetZ());
    onMove.Emit(x, y);
}

void CGUI::SetZ(float z) { transform.SetTranslation(GetX(), GetY(), z); }

CVector CGUI::GetAbsolutePosition() const
{
    CVector position(0.0f, 0.0f, 0.0f);
    for (const CGUI* element = this; element; element = element->m_parent) {
        position.x += element->GetX();
        position.y += element->GetY();
        position.z += element->GetZ();
    }
    return position;
}

void CGUI::SetSize(float width, float height)
{
    scale.x = width;
    scale.y = height;
    onResize.Emit(width, height);
}

void CGUI::SetAlign(int32_t anchor)
{
    if (anchor < 0 || anchor > 8)
        anchor = 0;
    m_align = anchor;
    if (m_kind == GUIText)
        return;
    const float h = -0.5f * static_cast<float>(anchor % 3);
    const float v = -0.5f * static_cast<float>(anchor / 3);
    const float corners[4][2] = {{h, v}, {h + 1, v}, {h + 1, v + 1}, {h, v + 1}};
    for (uint32_t i = 0; i < 4; ++i)
        VertexPosition(i).Set(corners[i][0], corners[i][1], 0.0f);
}

void CGUI::SetEnabled(bool enabled)
{
    m_enabled = enabled;
    onEnable.Emit(enabled);
}

void CGUI::SetVisible(bool visible)
{
    m_visible = visible;
    onVisible.Emit(visible);
}

void CGUI::SetFocus(bool focus)
{
    m_focus = focus;
    onFocus.Emit(focus);
}

bool CGUI::IsEnabled() const
{
    for (const CGUI* element = this; element; element = element->m_parent)
        if (!element->m_enabled)
            return false;
    return true;
}

bool CGUI::IsVisible() const
{
    for (const CGUI* element = this; element; element = element->m_parent)
        if (!element->m_visible)
            return false;
    return true;
}

void CGUI::SetMoveable(bool moveable)
{
    m_moveable = moveable;
    if (moveable)
        Connect(onInput, m_moveSlot); // false, changing nothing, when already connected
    else
        Disconnect(onInput, m_moveSlot);
}

bool CGUI::SetParent(CGUI* parent)
{
    for (const CGUI* ancestor = parent; ancestor; ancestor = ancestor->m_parent)
        if (ancestor == this)
            return false;
    m_parent = parent;
    return true;
}

// [SECTION] Sprite frames

void CGUI::SetSprite(const CSprite& sprite)
{
    if (material.textures.empty())
        InsertTextureSlot();
    m_currentFrame = 0;
    m_sprite = sprite;
    m_sprite.target = &material;
    m_sprite.ShowFrame(0);
}

void CGUI::SelectFrame(uint32_t index, bool resize)
{
    m_currentFrame = index;
    m_sprite.ShowFrame(index);
    if (resize && index < m_sprite.FrameCount())
        SetSize(static_cast<float>(m_sprite.frames[index].w), static_cast<float>(m_sprite.frames[index].h));
}

void CGUI::SetFrame(uint32_t index) { SelectFrame(index, false); }

// [SECTION] Hit testing and drawing

bool CGUI::HitTest(int32_t x, int32_t y)
{
    if (!IsEnabled() || !IsVisible())
        return false;
    const CVector a = VertexPosition(0), b = VertexPosition(2);
    const float ax = a.x * scale.x, ay = a.y * scale.y;
    const float bx = b.x * scale.x, by = b.y * scale.y;
    const CVector origin = GetAbsolutePosition();
    CVector point(static_cast<float>(x) - origin.x, static_cast<float>(y) - origin.y, 0.0f);
    if (rotation.x != 0.0f || rotation.y != 0.0f || rotation.z != 0.0f) {
        CMatrix undo;
        undo.SetRotation(-rotation.x, -rotation.y, -rotation.z);
        point = undo.Transform(point);
    }
    return point.x >= std::min(ax, bx) && point.x <= std::max(ax, bx) && point.y >= std::min(ay, by) &&
           point.y <= std::max(ay, by);
}

bool CGUI::IsMouseOver()
{
    const CVector mouse = GetMousePosition();
    return HitTest(PixelOf(mouse.x), PixelOf(mouse.y));
}

void CGUI::Render()
{
    if (!m_parent) {
        if (m_visible)
            Draw();
        return;
    }
    if (!IsVisible())
        return;
    const CVector own(GetX(), GetY(), GetZ());
    const CVector absolute = GetAbsolutePosition();
    transform.SetTranslation(absolute.x, absolute.y, own.z);
    Draw();
    transform.SetTranslation(own.x, own.y, own.z);
}

// [SECTION] Input: dragging and routing inside composites

void CGUI::OnDrag(CInputMap& event)
{
    if (!m_moveable || !IsEnabled() || !IsVisible())
        return;
    if (event.action == InputPress && event.button == MouseLeft) {
        m_dragging = true;
        m_dragAnchor = CVector(event.position.x - GetX(), event.position.y - GetY(), 0.0f, 0.0f);
    } else if (event.action == InputRelease && event.button == MouseLeft) {
        m_dragging = false;
    }
    if (event.action == InputMove && m_dragging) {
        m_moving = true;
        SetPosition(event.position.x - m_dragAnchor.x, event.position.y - m_dragAnchor.y);
    } else if (m_moving) {
        // The first event after the moves (normally the release) ends the drag.
        m_moving = false;
        onMoved.Emit(GetX(), GetY());
    }
}

void CGUI::RouteInput(CInputMap& event)
{
    if (!IsEnabled() || !IsVisible())
        return;
    const bool hit = HitTest(PixelOf(event.position.x), PixelOf(event.position.y));
    // A double click belongs to the element that took its first press; anywhere else it is
    // the first press there (or elsewhere).
    CInputMap press;
    CInputMap* routed = &event;
    if (event.action == InputDoubleClick && !(hit && m_focus)) {
        press = event;
        press.action = InputPress;
        routed = &press;
    }
    bool dropFocus = false;
    if (hit) {
        switch (routed->action) {
        case InputRelease:
            if (m_focus)
                onRelease.Emit();
            break;
        case InputPress:
            if (!m_focus)
                SetFocus(true);
            onPress.Emit();
            break;
        case InputDoubleClick:
            onDoubleClick.Emit();
            break;
        case InputMove:
            if (!m_mouseOver) {
                m_mouseOver = true;
                onMouseOver.Emit();
            }
            break;
        default:
            break;
        }
    } else {
        switch (routed->action) {
        case InputRelease:
            // The release still reaches the element that took the press, so that a pressed
            // look or a drag ends, and only then the focus goes.
            dropFocus = m_focus && !m_mouseOver;
            break;
        case InputPress:
            if (m_focus)
                SetFocus(false);
            break;
        case InputMove:
            if (m_mouseOver) {
                m_mouseOver = false;
                onMouseOut.Emit();
            }
            break;
        default:
            break;
        }
    }
    // Dragging a moveable element is the move slot's work, which listens to onInput.
    if (m_focus)
        onInput.Emit(*routed);
    if (dropFocus && m_focus)
        SetFocus(false);
}

// [SECTION] Description attributes

namespace {

// A colour child: "r", "g", "b" (0 when absent) and "a" (1 when absent).
void ReadColour(const CXMLNode& node, float colour[4])
{
    colour[0] = node.GetAttributeFloat("r");
    colour[1] = node.GetAttributeFloat("g");
    colour[2] = node.GetAttributeFloat("b");
    colour[3] = node.FindAttribute("a") ? node.GetAttributeFloat("a") : 1.0f;
}

float FloatOr(const CXMLNode& node, const char* attribute, float fallback)
{
    return node.FindAttribute(attribute) ? node.GetAttributeFloat(attribute) : fallback;
}

// A colour component from 0 to 1 as a byte, truncated; values outside are clamped.
uint8_t ColourByte(float value)
{
    return static_cast<uint8_t>(std::clamp(value * 255.0f, 0.0f, 255.0f));
}

} // namespace

void CGUI::LoadFromNode(CXMLNode& node)
{
    SetName(node.GetAttributeString("name"));
    if (node.FindAttribute("tooltip"))
        SetTooltip(node.GetAttributeString("tooltip"));
    SetPosition(node.GetAttributeFloat("x"), node.GetAttributeFloat("y"));
    if (node.FindAttribute("z"))
        SetZ(node.GetAttributeFloat("z"));
    float frameWidth = 1.0f, frameHeight = 1.0f;
    if (m_currentFrame < m_sprite.FrameCount()) {
        frameWidth = static_cast<float>(m_sprite.frames[m_currentFrame].w);
        frameHeight = static_cast<float>(m_sprite.frames[m_currentFrame].h);
    }
    SetSize(FloatOr(node, "w", frameWidth), FloatOr(node, "h", frameHeight));
    SetAlign(node.GetAttributeInt("align"));
    if (node.FindAttribute("enabled"))
        SetEnabled(node.GetAttributeBool("enabled"));
    if (node.FindAttribute("visible"))
        SetVisible(node.GetAttributeBool("visible"));
    if (node.FindAttribute("moveable"))
        SetMoveable(node.GetAttributeBool("moveable"));

    static const char* const kCorners[4] = {"p1", "p2", "p3", "p4"};
    static const char* const kComponents[4] = {"r", "g", "b", "a"};
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        const CXMLNode& child = *node.GetChild(i);
        const String& name = child.name;
        if (name == "rotate") {
            SetRotation(child.GetAttributeFloat("x"), child.GetAttributeFloat("y"), child.GetAttributeFloat("z"));
        } else if (name == "ambient") {
            ReadColour(child, material.ambient);
        } else if (name == "diffuse") {
            ReadColour(child, material.diffuse);
        } else if (name == "emission") {
            ReadColour(child, material.emission);
        } else if (name == "specular") {
            ReadColour(child, material.specular);
        } else if (name == "shininess") {
            material.shininess = FloatOr(child, "value", 1.0f);
        } else if (name == "alpha") {
            material.diffuse[3] = FloatOr(child, "value", 1.0f);
        } else if (name == "blend") {
            material.additive = child.GetAttributeBool("value");
        } else if (name == "gradient") {
            // Vertex colours replace the element's white glow, or they would be washed out.
            SetGradient(true);
            std::fill(material.emission, material.emission + 4, 0.0f);
            for (uint32_t p = 0; p < child.GetChildCount(); ++p) {
                const CXMLNode& corner = *child.GetChild(p);
                for (uint32_t vertex = 0; vertex < 4; ++vertex) {
                    uint8_t* colour = corner.name == kCorners[vertex] ? VertexColour(vertex) : nullptr;
                    if (!colour)
                        continue;
                    for (uint32_t c = 0; c < 4; ++c)
                        if (corner.FindAttribute(kComponents[c]))
                            colour[c] = ColourByte(corner.GetAttributeFloat(kComponents[c]));
                }
            }
        }
    }
}
