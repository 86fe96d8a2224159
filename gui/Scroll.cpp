// Index:
//   [SECTION] Construction and copying
//   [SECTION] Value and layout
//   [SECTION] Input: parts, dragging, arrows and wheel
//   [SECTION] Sprite frames, drawing and description attributes
#include "gui/Scroll.h"

#include "events/Input.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <cstdint>

// [SECTION] Construction and copying

CScroll::CScroll()
{
    m_kind = GUIScroll;
    m_enabled = true;
    AdoptParts();
    // The parts stand relative to the bar, so moving the bar moves no part and says nothing
    // about the value: the bar's own onMove needs no handler here.
    m_slots.Connect(onResize, this, &CScroll::Layout);
    m_slots.Connect(onInput, this, &CScroll::OnInput);
    m_slots.Connect(onRelease, this, &CScroll::OnClick);
    m_slots.Connect(m_thumb.onMove, this, &CScroll::OnThumbMoved);
    m_slots.Connect(m_decrease.onRelease, this, &CScroll::Decrease);
    m_slots.Connect(m_increase.onRelease, this, &CScroll::Increase);
    m_slots.Connect(onMouseOver, this, &CScroll::OnHover);
    m_slots.Connect(onMouseOut, this, &CScroll::OnHoverOut);
}

CScroll::CScroll(const CScroll& other) : CScroll() { Assign(other); }

void CScroll::AdoptParts()
{
    m_thumb.SetParent(this);
    m_decrease.SetParent(this);
    m_increase.SetParent(this);
    m_thumb.SetMoveable(true);
}

void CScroll::Assign(const CScroll& other)
{
    if (&other == this)
        return;
    // First, because taking the other's sprite and frame lays the parts out.
    m_vertical = other.m_vertical;
    m_value = other.m_value;
    m_min = other.m_min;
    m_max = other.m_max;
    m_increment = other.m_increment;
    CopyFrom(other);
    m_thumb.Assign(other.m_thumb);
    m_decrease.Assign(other.m_decrease);
    m_increase.Assign(other.m_increase);
    AdoptParts();
    m_captured = nullptr;
    m_skip = false;
}

// [SECTION] Value and layout

void CScroll::SetValue(float value)
{
    if (!(value == value))
        value = m_min;
    if (value < m_min)
        value = m_min;
    else if (value > m_max)
        value = m_max;
    const bool changed = value != m_value;
    m_value = value;
    PlaceThumb();
    if (changed)
        onValue.Emit(m_value);
}

void CScroll::SetRange(float min, float max)
{
    m_min = min;
    m_max = max;
    SetValue(m_value);
}

void CScroll::Increase()
{
    const float before = m_value;
    SetValue(m_value + m_increment);
    if (m_value != before)
        onIncrease.Emit(m_value);
}

void CScroll::Decrease()
{
    const float before = m_value;
    SetValue(m_value - m_increment);
    if (m_value != before)
        onDecrease.Emit(m_value);
}

bool CScroll::TakeKey(const CInputMap& event)
{
    if (event.action != InputPress || event.character || event.control)
        return false;
    const float page = std::max(m_increment, (m_max - m_min) / 10.0f);
    float step = 0.0f;
    switch (event.value) {
    case KeyLeft: step = -m_increment; break;
    case KeyRight: step = m_increment; break;
    case KeyUp: step = m_vertical ? -m_increment : m_increment; break;
    case KeyDown: step = m_vertical ? m_increment : -m_increment; break;
    case KeyPageUp: step = m_vertical ? -page : page; break;
    case KeyPageDown: step = m_vertical ? page : -page; break;
    case KeyHome: SetValue(m_min); return true;
    case KeyEnd: SetValue(m_max); return true;
    default: return false;
    }
    const float before = m_value;
    SetValue(m_value + step);
    if (m_value > before)
        onIncrease.Emit(m_value);
    else if (m_value < before)
        onDecrease.Emit(m_value);
    return true;
}

void CScroll::SetVertical(bool vertical)
{
    m_vertical = vertical;
    Layout(GetWidth(), GetHeight());
}

float CScroll::TrackLength() const
{
    if (m_vertical)
        return GetHeight() - (m_thumb.GetHeight() + m_decrease.GetHeight() + m_increase.GetHeight());
    return GetWidth() - (m_thumb.GetWidth() + m_decrease.GetWidth() + m_increase.GetWidth());
}

void CScroll::PlaceThumb()
{
    const float range = m_max - m_min;
    float fraction = range != 0.0f ? (m_value - m_min) / range : 0.0f;
    if (!(fraction == fraction))
        fraction = 0.0f;
    const float track = TrackLength();
    m_skip = true;
    if (m_vertical)
        m_thumb.SetPosition(0.0f, m_decrease.GetHeight() + fraction * track);
    else
        m_thumb.SetPosition(m_decrease.GetWidth() + track * fraction, 0.0f);
    m_skip = false; // consumed by the thumb's onMove
}

void CScroll::Layout(float width, float height)
{
    m_decrease.SetPosition(0.0f, 0.0f);
    if (m_vertical)
        m_increase.SetPosition(0.0f, height - m_increase.GetHeight());
    else
        m_increase.SetPosition(width - m_increase.GetWidth(), 0.0f);
    // The thumb keeps showing the value (at the start of the track for the minimum).
    PlaceThumb();
}

void CScroll::OnThumbMoved(float x, float y)
{
    if (m_skip) {
        m_skip = false;
        return;
    }
    const float track = TrackLength();
    const float range = m_max - m_min;
    float offset = 0.0f; // the thumb's distance from the start of the track
    if (m_vertical) {
        const float low = m_decrease.GetHeight();
        const float high = GetHeight() - m_thumb.GetHeight() - m_increase.GetHeight();
        if (!(y >= low))
            y = low;
        else if (y > high)
            y = high;
        x = 0.0f;
        offset = y - m_decrease.GetHeight();
    } else {
        const float low = m_decrease.GetX() + m_decrease.GetWidth();
        const float high = GetWidth() - m_thumb.GetWidth() - m_increase.GetWidth();
        if (!(x >= low))
            x = low;
        else if (x > high)
            x = high;
        y = 0.0f;
        offset = x - m_decrease.GetWidth();
    }
    float value = track > 0.0f ? m_min + offset / track * range : m_min;
    if (value > m_max)
        value = m_max;
    if (!(value >= m_min))
        value = m_min;
    const bool changed = value != m_value;
    m_value = value;
    m_thumb.transform.SetTranslation(x, y, m_thumb.GetZ());
    if (changed)
        onValue.Emit(m_value);
}

// [SECTION] Input: parts, dragging, arrows and wheel

void CScroll::OnInput(CInputMap& event)
{
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    if (event.action != InputWheel) {
        m_pointerX = x;
        m_pointerY = y;
    }
    switch (event.action) {
    case InputPress:
    case InputDoubleClick: {
        // The second press of a double click is a press for the parts: an arrow clicked
        // twice quickly steps twice.
        CInputMap press = event;
        press.action = InputPress;
        m_captured = nullptr;
        for (CButton* part : {&m_thumb, &m_decrease, &m_increase})
            if (part->HitTest(x, y)) {
                // The press starts the thumb's drag (it is moveable) or holds an arrow down.
                m_captured = part;
                part->onInput.Emit(press);
                break;
            }
        break;
    }
    case InputWheel:
        // Towards the user (a negative delta) increases.
        if (event.value < 0)
            Increase();
        else
            Decrease();
        break;
    case InputRelease:
        if (CButton* part = m_captured) {
            part->onInput.Emit(event);
            if (!part->HitTest(x, y))
                m_captured = nullptr;
        }
        break;
    default:
        if (m_captured == &m_thumb)
            m_thumb.onInput.Emit(event);
        break;
    }
}

void CScroll::OnClick()
{
    // An arrow acts when the release is over it (and over the bar): its onRelease steps.
    // Composites that route by RouteInput announce the click before the release's onInput,
    // so the part is tested here too, where the pointer was last seen.
    if (m_captured && m_captured->HitTest(m_pointerX, m_pointerY))
        m_captured->onRelease.Emit();
}

void CScroll::OnHover()
{
    const CVector mouse = GetMousePosition();
    const int32_t x = PixelOf(mouse.x), y = PixelOf(mouse.y);
    for (CButton* part : {&m_thumb, &m_decrease, &m_increase}) {
        if (!part->IsEnabled() || !part->IsVisible())
            continue;
        if (part->HitTest(x, y))
            part->onMouseOver.Emit();
        else
            part->onMouseOut.Emit();
    }
}

void CScroll::OnHoverOut()
{
    for (CButton* part : {&m_thumb, &m_decrease, &m_increase})
        part->onMouseOut.Emit();
}

// [SECTION] Sprite frames, drawing and description attributes

void CScroll::SetSprite(const CSprite& sprite)
{
    CGUI::SetSprite(sprite);
    m_thumb.SetSprite(sprite);
    m_decrease.SetSprite(sprite);
    m_increase.SetSprite(sprite);
    SetFrame(0);
}

void CScroll::SetFrame(uint32_t index)
{
    SelectFrame(index, false);
    const uint64_t base = index;
    struct {
        CButton* part;
        uint64_t frame;
    } const parts[3] = {{&m_thumb, base + 1}, {&m_decrease, base + 5}, {&m_increase, base + 9}};
    for (const auto& entry : parts) {
        if (entry.frame > UINT32_MAX)
            continue;
        entry.part->SetFrame(static_cast<uint32_t>(entry.frame));
        if (entry.frame >= entry.part->GetSprite().FrameCount())
            continue; // past the frames: the part keeps its look and size
        const CSpriteFrame& frame = entry.part->GetSprite().frames[entry.frame];
        entry.part->SetSize(static_cast<float>(frame.w), static_cast<float>(frame.h));
        if (entry.part == &m_thumb) {
            if (m_vertical)
                scale.x = static_cast<float>(frame.w);
            else
                scale.y = static_cast<float>(frame.h);
        }
    }
    // New part sizes move the arrows and the thumb's track.
    Layout(GetWidth(), GetHeight());
}

void CScroll::Render()
{
    CGUI::Render();
    if (!IsVisible())
        return;
    for (CButton* part : {&m_thumb, &m_decrease, &m_increase}) {
        part->SetZ(GetZ() + 1.0f);
        part->Render();
    }
}

void CScroll::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("vertical"))
        SetVertical(node.GetAttributeBool("vertical"));
    if (node.FindAttribute("min")) {
        m_min = node.GetAttributeFloat("min");
        SetValue(m_value);
    }
    if (node.FindAttribute("max")) {
        m_max = node.GetAttributeFloat("max");
        SetValue(m_value);
    }
    if (node.FindAttribute("increment"))
        m_increment = node.GetAttributeFloat("increment");
}
