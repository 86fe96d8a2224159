// Index:
//   [SECTION] Construction, copying and text
//   [SECTION] Glyph table and metrics
//   [SECTION] Layout
//   [SECTION] Drawing and description attributes
#include "gui/Font.h"

#include "media/Sprite.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <cmath>
#include <string>

// [SECTION] Construction, copying and text

CFont::CFont() { m_kind = GUIText; }

CFont::CFont(const CFont& other) : CFont() { Assign(other); }

void CFont::Assign(const CFont& other)
{
    if (&other == this)
        return;
    CopyFrom(other);
    SetAlign(other.m_align);
    m_kern = other.m_kern;
    m_lead = other.m_lead;
    m_mask = other.m_mask;
    m_maskCharacter = other.m_maskCharacter;
    m_scaleX = other.m_scaleX;
    m_scaleY = other.m_scaleY;
    m_text = other.m_text;
}

void CFont::SetText(const String& text)
{
    const char* bytes = text.CStr();
    const int32_t length = text.Length();
    if (text.Find("\\") < 0) {
        m_text = text;
        return;
    }
    std::string converted;
    converted.reserve(static_cast<size_t>(length));
    for (int32_t i = 0; i < length;) {
        if (bytes[i] == '\\' && i + 2 < length && bytes[i + 1] == '\\' && bytes[i + 2] == 'n') {
            converted += "\\n";
            i += 3;
        } else if (bytes[i] == '\\' && i + 1 < length && bytes[i + 1] == 'n') {
            converted += '\n';
            i += 2;
        } else {
            converted += bytes[i++];
        }
    }
    m_text = String(converted.data(), static_cast<int32_t>(converted.size()));
}

void CFont::SetScale(float scaleX, float scaleY)
{
    m_scaleX = scaleX;
    m_scaleY = scaleY;
}

// [SECTION] Glyph table and metrics

void CFont::SetSprite(const CSprite& sprite)
{
    if (sprite.frames.empty())
        return;
    if (sprite.FrameCount() >= 256) {
        CGUI::SetSprite(sprite);
        return;
    }
    // The first frame named by each one-byte string.
    int32_t named[256];
    std::fill(named, named + 256, -1);
    for (uint32_t i = 0; i < sprite.FrameCount(); ++i) {
        const String& name = sprite.frames[i].name;
        if (name.Length() == 1 && named[static_cast<uint8_t>(name[0])] < 0)
            named[static_cast<uint8_t>(name[0])] = static_cast<int32_t>(i);
    }
    CSprite table;
    table.frames.reserve(256);
    CSpriteFrame blank;
    blank.w = sprite.frames[0].w;
    blank.h = sprite.frames[0].h;
    for (int32_t code = 0; code < 256; ++code)
        table.frames.push_back(named[code] >= 0 ? sprite.frames[static_cast<size_t>(named[code])] : blank);
    CGUI::SetSprite(table);
}

float CFont::GlyphWidth(uint8_t character) const
{
    if (character >= m_sprite.frames.size() || !m_sprite.frames[character].texture)
        return 0.0f;
    return m_scaleX * static_cast<float>(m_sprite.frames[character].w);
}

float CFont::Advance(uint8_t character) const
{
    if (character >= m_sprite.frames.size() || !m_sprite.frames[character].texture)
        return 0.0f;
    return GlyphWidth(character) + static_cast<float>(m_kern);
}

float CFont::LineHeight() const
{
    return m_sprite.frames.empty() ? 0.0f : m_scaleY * static_cast<float>(m_sprite.frames[0].h);
}

// [SECTION] Layout

uint8_t CFont::Shown(int32_t index) const
{
    return m_mask ? m_maskCharacter : static_cast<uint8_t>(m_text.CStr()[index]);
}

float CFont::WordAdvance(int32_t from) const
{
    const char* text = m_text.CStr();
    float width = 0.0f;
    for (int32_t i = from; i < m_text.Length() && text[i] != ' ' && text[i] != '\n'; ++i)
        width += Advance(static_cast<uint8_t>(text[i]));
    return width;
}

CFont::LineSpan CFont::MeasureLine(int32_t start, bool wrap, float width) const
{
    const char* text = m_text.CStr();
    const int32_t length = m_text.Length();
    // After a wrap, one space is dropped: it would otherwise indent the next line.
    auto afterWrap = [&](int32_t next) { return !m_mask && next < length && text[next] == ' ' ? next + 1 : next; };
    float used = 0.0f;
    bool started = false; // a glyph is on the line
    for (int32_t i = start; i < length; ++i) {
        const uint8_t c = Shown(i);
        if (!m_mask && c == '\n')
            return {i, i + 1, used, true};
        // A space ends the line when the word after it would not fit; at the start of a line
        // breaking would not help the word, which then breaks between letters.
        if (!m_mask && c == ' ' && wrap && started && (i + 1 >= length || text[i + 1] != '\n') &&
            used + Advance(c) + WordAdvance(i + 1) >= width)
            return {i, afterWrap(i + 1), used, true};
        if (c >= m_sprite.frames.size() || !m_sprite.frames[c].texture)
            continue; // no glyph: left out, and it takes no room
        used += Advance(c);
        started = true;
        if (wrap && used >= width)
            return {i + 1, afterWrap(i + 1), used, true};
    }
    return {length, length, used, false};
}

float CFont::AlignX(float lineWidth, bool wrap) const
{
    const float x0 = GetX(), width = GetWidth();
    float x = x0;
    if (wrap && width > lineWidth) {
        if (m_align % 3 == 1)
            x = x0 + (width - lineWidth) / 2.0f;
        else if (m_align % 3 == 2)
            x = x0 + (width - lineWidth) - 1.0f;
    }
    return std::trunc(x);
}

void CFont::Layout(CTextLayout& layout) const
{
    layout.glyphs.clear();
    layout.lineHeight = LineHeight();
    layout.lines = 0;
    layout.penX = std::trunc(GetX());
    layout.penY = std::trunc(GetY());
    layout.penInside = true;
    if (m_sprite.frames.empty())
        return;

    const float y0 = GetY(), width = GetWidth(), height = GetHeight();
    const bool wrap = width > static_cast<float>(m_sprite.frames[0].w);
    const bool cut = height > static_cast<float>(m_sprite.frames[0].h);
    const float lineHeight = layout.lineHeight;
    const float step = lineHeight + static_cast<float>(m_lead);

    uint32_t lines = 1;
    for (int32_t start = 0;;) {
        const LineSpan span = MeasureLine(start, wrap, width);
        if (!span.broke)
            break;
        ++lines;
        start = span.next;
    }
    layout.lines = lines;

    float y = y0;
    if (cut) {
        const float block = lineHeight + static_cast<float>(lines - 1) * step;
        if (m_align / 3 == 1)
            y = y0 + height / 2.0f - block / 2.0f;
        else if (m_align / 3 == 2)
            y = y0 + height - block;
    }
    y = std::trunc(y);

    for (int32_t start = 0;;) {
        const LineSpan span = MeasureLine(start, wrap, width);
        float x = AlignX(span.width, wrap);
        for (int32_t i = start; i < span.end; ++i) {
            const uint8_t c = Shown(i);
            if (c >= m_sprite.frames.size() || !m_sprite.frames[c].texture)
                continue;
            CGlyphPlacement glyph;
            glyph.index = i;
            glyph.frame = c;
            glyph.x = x;
            glyph.y = y;
            glyph.width = GlyphWidth(c);
            layout.glyphs.push_back(glyph);
            x += Advance(c);
        }
        if (!span.broke) {
            layout.penX = x;
            layout.penY = y;
            return;
        }
        // A line that ends inside the box keeps its last glyph even when the next line does
        // not fit: the cut falls between lines, never inside one.
        y += step;
        if (cut && y + lineHeight > y0 + height) {
            layout.penX = AlignX(0.0f, wrap);
            layout.penY = y;
            layout.penInside = false;
            return;
        }
        start = span.next;
    }
}

// [SECTION] Drawing and description attributes

void CFont::Render()
{
    if (m_text.IsEmpty() || m_sprite.frames.empty() || !IsVisible())
        return;
    Layout(m_drawn);
    const float x = GetX(), y = GetY(), z = GetZ();
    const float width = scale.x, height = scale.y;
    scale.y = m_drawn.lineHeight;
    for (const CGlyphPlacement& glyph : m_drawn.glyphs) {
        m_sprite.ShowFrame(glyph.frame);
        scale.x = glyph.width;
        transform.SetTranslation(glyph.x, glyph.y, z);
        CGUI::Render();
    }
    scale.x = width;
    scale.y = height;
    transform.SetTranslation(x, y, z);
}

void CFont::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("kern"))
        m_kern = node.GetAttributeInt("kern");
    if (node.FindAttribute("lead"))
        m_lead = node.GetAttributeInt("lead");
    if (node.FindAttribute("text"))
        SetText(node.GetAttributeString("text"));
    m_scaleX = node.FindAttribute("scaleX") ? node.GetAttributeFloat("scaleX") : 1.0f;
    m_scaleY = node.FindAttribute("scaleY") ? node.GetAttributeFloat("scaleY") : 1.0f;
}
