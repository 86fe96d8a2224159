#include "gui/Progress.h"

#include "media/Sprite.h"
#include "xml/XMLDocument.h"

CProgress::CProgress()
{
    m_kind = GUIProgress;
    m_enabled = true;
    m_fill.SetParent(this);
    m_slots.Connect(onResize, this, &CProgress::OnResize);
}

CProgress::CProgress(const CProgress& other) : CProgress() { Assign(other); }

void CProgress::Assign(const CProgress& other)
{
    if (&other == this)
        return;
    CopyFrom(other);
    m_percent = other.m_percent;
    m_fill.CopyFrom(other.m_fill);
    m_value = other.m_value;
    m_min = other.m_min;
    m_max = other.m_max;
    m_fill.SetParent(this);
    ScaleFillTexture();
}

void CProgress::ScaleFillTexture()
{
    const uint32_t frame = m_fill.GetCurrentFrame();
    const CSprite& sprite = m_fill.GetSprite();
    if (frame < sprite.FrameCount() && sprite.frames[frame].texture)
        m_fill.material.textureMatrix.SetAt(0, m_percent * sprite.frames[frame].sw * 0.01f);
}

void CProgress::SetPercent(float percent)
{
    if (!(percent >= 0.0f))
        percent = 0.0f;
    else if (percent > 100.0f)
        percent = 100.0f;
    m_percent = percent;
    m_fill.scale.x = percent * 0.01f * GetWidth();
    ScaleFillTexture();
    onProgress.Emit(m_percent);
}

void CProgress::SetValue(uint32_t value)
{
    const uint32_t min = static_cast<uint32_t>(m_min), max = static_cast<uint32_t>(m_max);
    if (value < min)
        value = min;
    if (value > max)
        value = max;
    m_value = value;
    if (m_max == m_min)
        return;
    const uint32_t span = max - min;
    SetPercent(static_cast<float>(static_cast<double>(value) / static_cast<double>(span) * 100.0));
}

void CProgress::SetRange(int32_t min, int32_t max)
{
    m_min = min;
    m_max = max;
    SetValue(m_value);
}

void CProgress::OnResize(float width, float height) { m_fill.SetSize(m_percent * 0.01f * width, height); }

void CProgress::SetSprite(const CSprite& sprite)
{
    CGUI::SetSprite(sprite);
    m_fill.SetSprite(sprite);
    SetFrame(0);
}

void CProgress::SetFrame(uint32_t index)
{
    SelectFrame(index, false);
    if (index < UINT32_MAX)
        m_fill.SetFrame(index + 1);
    ScaleFillTexture(); // showing a frame resets the texture's scale
}

void CProgress::Render()
{
    CGUI::Render();
    m_fill.SetZ(GetZ() + 1.0f);
    m_fill.Render();
}

void CProgress::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("min")) {
        m_min = node.GetAttributeInt("min");
        SetValue(m_value);
    }
    if (node.FindAttribute("max")) {
        m_max = node.GetAttributeInt("max");
        SetValue(m_value);
    }
    m_fill.SetRotation(rotation.x, rotation.y, rotation.z);
}
