#include "gui/Tooltip.h"

#include <algorithm>

namespace {

void SetColour(float target[4], float r, float g, float b, float a)
{
    target[0] = r;
    target[1] = g;
    target[2] = b;
    target[3] = a;
}

} // namespace

CTooltip::CTooltip()
{
    // An untextured box lit only by its emission, like the window's backdrop but lighter, so
    // that it stands out from the backdrop and the panels and carries light text.
    SetColour(material.emission, kBoxColour[0], kBoxColour[1], kBoxColour[2], 0.0f);
    SetColour(material.ambient, 0.0f, 0.0f, 0.0f, 0.0f);
    SetColour(material.diffuse, 0.0f, 0.0f, 0.0f, 1.0f);
    m_label.SetParent(this);
    SetVisible(false);
    m_delay.SetInterval(kDelay);
    m_slots.Connect(m_delay.onExpire, this, &CTooltip::OnDelay);
}

void CTooltip::SetFont(const CFont* font)
{
    if (!font)
        return;
    const String text = m_label.GetText();
    m_label.Assign(*font);
    m_label.SetParent(this);
    m_label.SetAlign(0);
    m_label.SetVisible(true);
    m_label.SetText(text);
}

void CTooltip::SetBounds(float width, float height)
{
    m_boundsWidth = std::max(width, 0.0f);
    m_boundsHeight = std::max(height, 0.0f);
}

void CTooltip::Hide()
{
    m_showing = false;
    SetVisible(false);
}

void CTooltip::Track(const CGUI* element, const String& text, int32_t x, int32_t y)
{
    if (element == m_target && text == m_label.GetText()) {
        if (!m_showing) { // it shows where the pointer comes to rest
            m_x = x;
            m_y = y;
        }
        return;
    }
    Hide();
    m_delay.SetEnabled(false);
    m_target = element;
    m_dismissed = false;
    m_label.SetText(text);
    m_x = x;
    m_y = y;
    if (element && !text.IsEmpty())
        m_delay.SetEnabled(true);
}

void CTooltip::Dismiss()
{
    Hide();
    m_delay.SetEnabled(false);
    m_dismissed = true;
}

void CTooltip::OnDelay()
{
    m_delay.SetEnabled(false);
    if (m_dismissed || !m_target || m_label.GetText().IsEmpty())
        return;
    const String& text = m_label.GetText();
    float width = 0.0f;
    for (int32_t i = 0; i < text.Length(); ++i)
        width += m_label.Advance(static_cast<uint8_t>(text[i]));
    const float lineHeight = m_label.LineHeight();
    // One pixel to spare, so that the last glyph never wraps.
    m_label.SetSize(width + 1.0f, lineHeight);
    m_label.SetPosition(kPadding, kPadding);
    const float boxWidth = width + 1.0f + 2.0f * kPadding, boxHeight = lineHeight + 2.0f * kPadding;
    SetSize(boxWidth, boxHeight);
    float x = static_cast<float>(m_x), y = static_cast<float>(m_y) + kPointerGap;
    if (m_boundsWidth > 0.0f && x + boxWidth > m_boundsWidth)
        x = std::max(0.0f, m_boundsWidth - boxWidth);
    if (m_boundsHeight > 0.0f && y + boxHeight > m_boundsHeight)
        y = std::max(0.0f, static_cast<float>(m_y) - boxHeight - 2.0f); // above the pointer
    SetPosition(x, y);
    m_showing = true;
    SetVisible(true);
}

void CTooltip::Render()
{
    if (!m_showing)
        return;
    SetZ(kDepth);
    CGUI::Render();
    m_label.SetZ(kDepth + 1.0f);
    m_label.Render();
}
