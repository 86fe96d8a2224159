// Index:
//   [SECTION] Construction, copying and text
//   [SECTION] Glyph table and metrics
//   [SECTION] Layout
//   [SECTION] Drawing and description attributes
#include "gui/Font.h"

#include "media/DrawState.h"
#include "media/GlyphTexture.h"
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
    m_wrap = other.m_wrap;
    m_scrollX = other.m_scrollX;
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

namespace {

constexpr uint32_t kTableSize = 256; // frames indexed by code point directly

// The code point a frame's name stands for, or false when the name is not one character.
bool NameCode(const String& name, uint32_t& code)
{
    if (name.Length() == 1) {
        code = static_cast<uint8_t>(name[0]);
        return true;
    }
    const int32_t size = Utf8Decode(name.CStr(), name.Length(), 0, &code);
    return size > 1 && size == name.Length();
}

bool IsControl(uint32_t code) { return code < 32 || (code >= 127 && code <= 159); }

} // namespace

void CFont::SetSprite(const CSprite& sprite)
{
    if (sprite.frames.empty())
        return;
    const bool named = std::any_of(sprite.frames.begin(), sprite.frames.end(),
                                   [](const CSpriteFrame& frame) { return !frame.name.IsEmpty(); });
    if (sprite.FrameCount() >= kTableSize && !named) {
        CGUI::SetSprite(sprite);
        m_wideCodes.clear();
        return;
    }
    // The first frame of each character, by code point.
    std::vector<std::pair<uint32_t, uint32_t>> glyphs; // (code, frame), in frame order
    for (uint32_t i = 0; i < sprite.FrameCount(); ++i) {
        uint32_t code = 0;
        if (NameCode(sprite.frames[i].name, code))
            glyphs.emplace_back(code, i);
    }
    std::stable_sort(glyphs.begin(), glyphs.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    glyphs.erase(std::unique(glyphs.begin(), glyphs.end(),
                             [](const auto& a, const auto& b) { return a.first == b.first; }),
                 glyphs.end());

    CSprite table;
    table.frames.reserve(kTableSize + glyphs.size());
    CSpriteFrame blank;
    blank.w = sprite.frames[0].w;
    blank.h = sprite.frames[0].h;
    table.frames.assign(kTableSize, blank);
    for (const auto& [code, frame] : glyphs) {
        if (code < kTableSize)
            table.frames[code] = sprite.frames[frame];
        else
            table.frames.push_back(sprite.frames[frame]);
    }
    CGUI::SetSprite(table);
    IndexWideGlyphs();
}

void CFont::IndexWideGlyphs()
{
    m_wideCodes.clear();
    for (size_t i = kTableSize; i < m_sprite.frames.size(); ++i) {
        uint32_t code = 0;
        // Every frame past the first 256 came named from SetSprite.
        m_wideCodes.push_back(NameCode(m_sprite.frames[i].name, code) ? code : 0);
    }
}

int32_t CFont::GlyphFrame(uint32_t codePoint) const
{
    const auto glyph = [this](uint32_t code) -> int32_t {
        size_t frame = code;
        if (code >= kTableSize) {
            const auto found = std::lower_bound(m_wideCodes.begin(), m_wideCodes.end(), code);
            if (found == m_wideCodes.end() || *found != code)
                return -1;
            frame = kTableSize + static_cast<size_t>(found - m_wideCodes.begin());
        }
        return frame < m_sprite.frames.size() && m_sprite.frames[frame].texture ? static_cast<int32_t>(frame) : -1;
    };
    const int32_t own = glyph(codePoint);
    if (own >= 0 || IsControl(codePoint))
        return own;
    return glyph(kReplacementCharacter);
}

float CFont::GlyphWidth(uint32_t codePoint) const
{
    const int32_t frame = GlyphFrame(codePoint);
    return frame < 0 ? 0.0f : m_scaleX * static_cast<float>(m_sprite.frames[static_cast<size_t>(frame)].w);
}

float CFont::Advance(uint32_t codePoint) const
{
    return GlyphFrame(codePoint) < 0 ? 0.0f : GlyphWidth(codePoint) + static_cast<float>(m_kern);
}

float CFont::LineHeight() const
{
    return m_sprite.frames.empty() ? 0.0f : m_scaleY * static_cast<float>(m_sprite.frames[0].h);
}

float CFont::TextWidth(const String& text) const
{
    float width = 0.0f;
    for (int32_t at = 0; at < text.Length();) {
        uint32_t code = 0;
        at += Utf8Decode(text.CStr(), text.Length(), at, &code);
        width += Advance(code);
    }
    return width;
}

// [SECTION] Layout

uint32_t CFont::Shown(int32_t index, int32_t* size) const
{
    uint32_t code = 0;
    *size = Utf8Decode(m_text.CStr(), m_text.Length(), index, &code);
    return m_mask ? m_maskCharacter : code;
}

float CFont::WordAdvance(int32_t from) const
{
    float width = 0.0f;
    for (int32_t i = from, size = 0; i < m_text.Length(); i += size) {
        const uint32_t c = Shown(i, &size);
        if (c == ' ' || c == '\n')
            break;
        width += Advance(c);
    }
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
    for (int32_t i = start, size = 0; i < length; i += size) {
        const uint32_t c = Shown(i, &size);
        if (!m_mask && c == '\n')
            return {i, i + 1, used, true};
        // A space ends the line when the word after it would not fit; at the start of a line
        // breaking would not help the word, which then breaks between letters.
        if (!m_mask && c == ' ' && wrap && started && (i + 1 >= length || text[i + 1] != '\n') &&
            used + Advance(c) + WordAdvance(i + 1) >= width)
            return {i, afterWrap(i + 1), used, true};
        if (GlyphFrame(c) < 0)
            continue; // no glyph: left out, and it takes no room
        used += Advance(c);
        started = true;
        if (wrap && used >= width)
            return {i + size, afterWrap(i + size), used, true};
    }
    return {length, length, used, false};
}

float CFont::AlignX(float lineWidth, bool aligned) const
{
    const float x0 = GetX(), width = GetWidth();
    float x = x0;
    if (aligned && width > lineWidth) {
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
    layout.stops.clear();
    layout.lineHeight = LineHeight();
    layout.lineStep = layout.lineHeight + static_cast<float>(m_lead);
    layout.lines = 0;
    layout.penX = std::trunc(GetX());
    layout.penY = std::trunc(GetY());
    layout.penInside = true;
    if (m_sprite.frames.empty())
        return;

    const float y0 = GetY(), width = GetWidth(), height = GetHeight();
    const bool wide = width > static_cast<float>(m_sprite.frames[0].w);
    const bool wrap = wide && m_wrap;
    const bool cut = height > static_cast<float>(m_sprite.frames[0].h);
    const float lineHeight = layout.lineHeight;
    const float step = layout.lineStep;
    const float scroll = std::trunc(m_scrollX);

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
        float x = AlignX(span.width, wide) - scroll;
        for (int32_t i = start, size = 0; i < span.end; i += size) {
            const uint32_t c = Shown(i, &size);
            layout.stops.push_back({i, x, y});
            const int32_t frame = GlyphFrame(c);
            if (frame < 0)
                continue;
            CGlyphPlacement glyph;
            glyph.index = i;
            glyph.code = c;
            glyph.frame = static_cast<uint32_t>(frame);
            glyph.x = x;
            glyph.y = y;
            glyph.width = GlyphWidth(c);
            layout.glyphs.push_back(glyph);
            x += Advance(c);
        }
        layout.stops.push_back({span.end, x, y});
        if (!span.broke) {
            layout.penX = x;
            layout.penY = y;
            return;
        }
        // A line that ends inside the box keeps its last glyph even when the next line does
        // not fit: the cut falls between lines, never inside one.
        y += step;
        if (cut && y + lineHeight > y0 + height) {
            layout.penX = AlignX(0.0f, wide) - scroll;
            layout.penY = y;
            layout.penInside = false;
            return;
        }
        start = span.next;
    }
}

bool CTextLayout::CaretAt(int32_t index, float& x, float& y) const
{
    // The last stop at or before index.
    const auto after = std::upper_bound(stops.begin(), stops.end(), index,
                                        [](int32_t i, const CCaretStop& stop) { return i < stop.index; });
    if (after == stops.begin())
        return false;
    const CCaretStop& stop = *(after - 1);
    if (after == stops.end() && stop.index < index)
        return false; // past the text that was laid out
    x = stop.x;
    y = stop.y;
    return true;
}

int32_t CTextLayout::IndexAt(float x, float y) const
{
    if (stops.empty())
        return 0;
    // The line: the last one whose top lies at or above y (the first when y is above all).
    float lineY = stops.front().y;
    for (const CCaretStop& stop : stops)
        if (stop.y <= y)
            lineY = stop.y;
    int32_t best = -1;
    float bestDistance = 0.0f;
    for (const CCaretStop& stop : stops) {
        if (stop.y != lineY)
            continue;
        const float distance = std::fabs(stop.x - x);
        if (best < 0 || distance < bestDistance) {
            best = stop.index;
            bestDistance = distance;
        }
    }
    return best < 0 ? 0 : best;
}

// [SECTION] Drawing and description attributes

void CFont::Render()
{
    if (m_text.IsEmpty() || m_sprite.frames.empty() || !IsVisible())
        return;
    Layout(m_drawn);
    const float x = GetX(), y = GetY(), z = GetZ();
    const float width = scale.x, height = scale.y;
    // An unwrapped line shows only the glyphs that lie wholly inside the box.
    const bool clip = !m_wrap && width > static_cast<float>(m_sprite.frames[0].w);
    const float left = std::trunc(x), right = x + width;
    const float pixels = GetPixelScale();
    // Glyphs of their natural size (font scale 1) are rasterised again for another pixel scale.
    const bool scaled = pixels != 1.0f && m_scaleX == 1.0f && m_scaleY == 1.0f;
    const CVector origin = m_parent ? m_parent->GetAbsolutePosition() : CVector(0.0f, 0.0f, 0.0f);
    CTexture* lastTexture = nullptr;
    CGlyphTexture* glyphs = nullptr; // lastTexture's glyph picture, when it is one
    scale.y = m_drawn.lineHeight;
    for (const CGlyphPlacement& glyph : m_drawn.glyphs) {
        if (clip && (glyph.x < left || glyph.x + glyph.width > right))
            continue;
        const CSpriteFrame& own = m_sprite.frames[glyph.frame];
        if (own.texture != lastTexture) {
            lastTexture = own.texture;
            glyphs = dynamic_cast<CGlyphTexture*>(own.texture);
        }
        uint32_t code = 0;
        int32_t baseline = 0;
        const CSpriteFrame* fine = scaled && glyphs && FrameCode(glyph.frame, code)
                                       ? glyphs->ScaledGlyph(code, pixels, &baseline)
                                       : nullptr;
        if (fine) {
            // Rasterised for the pixel scale: drawn at its own pixel size from a whole window
            // pixel, so that each texel covers one pixel, on the baseline the layout gives.
            m_sprite.Show(*fine, true);
            scale.x = static_cast<float>(fine->w) / pixels;
            scale.y = static_cast<float>(fine->h) / pixels;
            const float pixelX = std::round((origin.x + glyph.x) * pixels);
            const float pixelY = std::round((origin.y + glyph.y + static_cast<float>(glyphs->baseline)) * pixels) -
                                 static_cast<float>(baseline);
            transform.SetTranslation(pixelX / pixels - origin.x, pixelY / pixels - origin.y, z);
        } else {
            m_sprite.ShowFrame(glyph.frame);
            scale.x = glyph.width;
            scale.y = m_drawn.lineHeight;
            transform.SetTranslation(glyph.x, glyph.y, z);
        }
        CGUI::Render();
    }
    scale.x = width;
    scale.y = height;
    transform.SetTranslation(x, y, z);
}

bool CFont::FrameCode(uint32_t frame, uint32_t& code) const
{
    if (frame < kTableSize) {
        code = frame;
        return true;
    }
    if (frame - kTableSize >= m_wideCodes.size())
        return false;
    code = m_wideCodes[frame - kTableSize];
    return true;
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
