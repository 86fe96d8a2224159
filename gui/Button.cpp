// Index:
//   [SECTION] Construction and copying
//   [SECTION] States
//   [SECTION] Input handlers
//   [SECTION] Label, drawing and description attributes
//   [SECTION] Check box
#include "gui/Button.h"

#include "events/Input.h"
#include "xml/XMLDocument.h"

#include <algorithm>

// [SECTION] Construction and copying

CButton::CButton()
{
    m_kind = GUIButton;
    m_enabled = true;
    m_label.SetParent(this);
    m_slots.Connect(onInput, this, &CButton::OnInput);
    m_slots.Connect(m_label.onInput, this, &CButton::OnInput);
    m_slots.Connect(onMouseOver, this, &CButton::OnHoverIn);
    m_slots.Connect(m_label.onMouseOver, this, &CButton::OnHoverIn);
    m_slots.Connect(onMouseOut, this, &CButton::OnHoverOut);
    m_slots.Connect(m_label.onMouseOut, this, &CButton::OnHoverOut);
    m_slots.Connect(onEnable, this, &CButton::OnEnable);
    m_slots.Connect(onResize, this, &CButton::OnResize);
    SetState(StateNormal);
}

CButton::CButton(const CButton& other) : CButton() { Assign(other); }

void CButton::Assign(const CButton& other)
{
    if (&other == this)
        return;
    CopyFrom(other);
    // CopyFrom takes the frame the other shows, which is its base plus its state.
    SelectFrame(other.m_currentFrame, false);
    if (other.m_offsetApplied && other.m_offsetMovedSelf)
        transform.SetTranslation(GetX() - other.m_appliedOffset[0], GetY() - other.m_appliedOffset[1], GetZ());
    m_offsetApplied = false;
    std::copy(other.m_offset, other.m_offset + 4, m_offset);
    SetFont(&other.m_label);
    m_label.SetText(other.m_label.GetText());
    std::copy(&other.m_stateColours[0][0], &other.m_stateColours[0][0] + 16, &m_stateColours[0][0]);
    // The material came from the other button, with its tint and the colours under it.
    m_tinted = other.m_tinted;
    std::copy(other.m_ownColour, other.m_ownColour + 5, m_ownColour);
    State state = m_state;
    if (!m_enabled)
        state = StateDisabled;
    else if (m_down)
        state = StateDown;
    else if (state == StateDisabled)
        state = StateNormal;
    SetState(state);
}

// [SECTION] States

void CButton::ShowStateFrame()
{
    const uint64_t frame = static_cast<uint64_t>(m_currentFrame) + static_cast<uint64_t>(m_state);
    if (frame < m_sprite.FrameCount())
        m_sprite.ShowFrame(static_cast<uint32_t>(frame));
}

void CButton::RemoveTint()
{
    if (!m_tinted)
        return;
    std::copy(m_ownColour, m_ownColour + 4, material.emission);
    material.diffuse[3] = m_ownColour[4];
    m_tinted = false;
}

void CButton::SetState(State state)
{
    if (state < StateNormal || state > StateDisabled)
        state = StateNormal;
    m_state = state;
    ShowStateFrame();

    const float* colour = m_stateColours[state];
    if (colour[3] > 0.0f) {
        if (!m_tinted) {
            std::copy(material.emission, material.emission + 4, m_ownColour);
            m_ownColour[4] = material.diffuse[3];
            m_tinted = true;
        }
        std::copy(colour, colour + 4, material.emission);
        material.diffuse[3] = colour[3];
    } else {
        // A state without a colour shows the button as it was described, not the colour of
        // the state before it.
        RemoveTint();
    }

    if (state == StateDown && !m_offsetApplied) {
        m_offsetApplied = true;
        m_offsetMovedSelf = m_sprite.frames.empty();
        m_appliedOffset[0] = m_offset[0];
        m_appliedOffset[1] = m_offset[1];
        if (!m_offsetMovedSelf)
            m_label.SetPosition(m_appliedOffset[0], m_appliedOffset[1]);
        else if (m_appliedOffset[0] != 0.0f || m_appliedOffset[1] != 0.0f)
            SetPosition(GetX() + m_appliedOffset[0], GetY() + m_appliedOffset[1]);
    } else if (state != StateDown && m_offsetApplied) {
        m_offsetApplied = false;
        if (!m_offsetMovedSelf)
            m_label.SetPosition(0.0f, 0.0f);
        else if (m_appliedOffset[0] != 0.0f || m_appliedOffset[1] != 0.0f)
            SetPosition(GetX() - m_appliedOffset[0], GetY() - m_appliedOffset[1]);
    }
    onState.Emit(state);
}

CButton::State CButton::RestingState() const
{
    if (!m_enabled)
        return StateDisabled;
    return m_down ? StateDown : StateNormal;
}

void CButton::SetDown(bool down)
{
    m_down = down;
    SetState(RestingState());
}

void CButton::SetSprite(const CSprite& sprite)
{
    CGUI::SetSprite(sprite);
    ShowStateFrame();
}

void CButton::SelectFrame(uint32_t index, bool resize)
{
    CGUI::SelectFrame(index, resize);
    ShowStateFrame();
}

void CButton::SetStateColour(State state, float r, float g, float b, float a)
{
    float* colour = m_stateColours[state & 3];
    colour[0] = r;
    colour[1] = g;
    colour[2] = b;
    colour[3] = a;
}

// [SECTION] Input handlers

void CButton::OnInput(CInputMap& event)
{
    if (!m_enabled || m_down)
        return;
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    if (event.action == InputRelease)
        SetState(HitTest(x, y) ? StateHover : StateNormal);
    else if (event.action == InputPress && HitTest(x, y))
        SetState(StateDown);
}

bool CButton::TakeKey(const CInputMap& event)
{
    const bool space = event.character && event.value == ' ';
    const bool enter = !event.character && !event.control && event.value == KeyEnter;
    if (event.action != InputPress || !(space || enter) || event.repeat)
        return false;
    onRelease.Emit(); // may delete the button: nothing follows
    return true;
}

// Hover arrives on every mouse move: only a real change is shown and announced.
void CButton::OnHoverIn()
{
    if (m_enabled && !m_down && m_state != StateDown && m_state != StateHover)
        SetState(StateHover);
}

void CButton::OnHoverOut()
{
    if (m_enabled && !m_down && m_state != StateDown && m_state != StateNormal)
        SetState(StateNormal);
}

void CButton::OnEnable(bool enabled)
{
    if (!enabled)
        SetState(StateDisabled);
    else
        SetState(m_down ? StateDown : StateNormal);
}

void CButton::OnResize(float width, float height) { SizeLabel(width, height); }

// [SECTION] Label, drawing and description attributes

void CButton::SizeLabel(float width, float height)
{
    m_label.SetSize(m_offset[3] != 0.0f ? m_offset[3] : width, height);
}

void CButton::SetOffset(float x, float y, float z, float w)
{
    m_offset[0] = x;
    m_offset[1] = y;
    m_offset[2] = z;
    m_offset[3] = w;
    SizeLabel(GetWidth(), GetHeight());
}

void CButton::SetFont(const CFont* font)
{
    if (!font)
        return;
    m_label.Assign(*font);
    m_label.SetParent(this);
    m_label.SetEnabled(true);
    m_label.SetText(String());
    if (m_offsetApplied && !m_offsetMovedSelf)
        m_label.SetPosition(m_appliedOffset[0], m_appliedOffset[1]);
    else
        m_label.SetPosition(0.0f, 0.0f);
    if (m_kind == GUIButton)
        m_label.SetAlign(4);
    SizeLabel(GetWidth(), GetHeight());
}

void CButton::Render()
{
    CGUI::Render();
    if (IsVisible() && !m_label.GetText().IsEmpty()) {
        m_label.SetZ(GetZ() + 1.0f);
        m_label.Render();
    }
}

void CButton::LoadFromNode(CXMLNode& node)
{
    // The description's colours are the button's own, not a state's.
    const bool tinted = m_tinted;
    RemoveTint();
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("text")) {
        m_label.SetText(node.GetAttributeString("text"));
        m_offset[0] = 2.0f;
        m_offset[1] = 2.0f;
    }
    static const char* const kStates[4] = {"enable", "hover", "down", "disable"};
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        const CXMLNode& child = *node.GetChild(i);
        if (child.name == "offset") {
            SetOffset(child.GetAttributeFloat("x"), child.GetAttributeFloat("y"), child.GetAttributeFloat("z"),
                      child.GetAttributeFloat("w"));
            continue;
        }
        for (int32_t state = 0; state < 4; ++state)
            if (child.name == kStates[state])
                SetStateColour(static_cast<State>(state), child.GetAttributeFloat("r"), child.GetAttributeFloat("g"),
                               child.GetAttributeFloat("b"), child.GetAttributeFloat("a"));
    }
    if (node.GetChildCount() > 0 || tinted)
        SetState(m_state);
}

// [SECTION] Check box

CCheckBox::CCheckBox()
{
    m_kind = GUICheckBox;
    m_slots.Connect(onRelease, this, &CCheckBox::OnToggle);
}

CCheckBox::CCheckBox(const CCheckBox& other) : CCheckBox() { Assign(other); }

bool CCheckBox::HitTest(int32_t x, int32_t y) { return CGUI::HitTest(x, y) || m_label.HitTest(x, y); }

void CCheckBox::OnToggle()
{
    m_down = !m_down;
    SetState(RestingState());
}
