// CFont: the text element. It holds a string and draws it glyph by glyph with its own quad,
// its sprite being a glyph table in which frame n is the glyph of character n. Text wraps at
// spaces (and inside words longer than a line) within the element's box, is cut below it,
// and is aligned in it by the anchor. Layout needs no OpenGL context; only Render draws.
// A text element is created disabled: it never takes the mouse unless a widget enables it.
#pragma once

#include "gui/GUI.h"

#include <cstdint>
#include <vector>

// One glyph placed by CFont::Layout: the index of its character in the text, the glyph frame
// drawn (the character, or the mask character), and the quad's top-left corner and width in
// the coordinates of the element's own position (relative to its parent when it has one).
// Every glyph quad is the layout's lineHeight high.
struct CGlyphPlacement {
    int32_t index = 0;
    uint8_t frame = 0;
    float x = 0.0f, y = 0.0f;
    float width = 0.0f;
};

// Where the glyphs of a text go, and where the pen ends.
struct CTextLayout {
    std::vector<CGlyphPlacement> glyphs;
    float lineHeight = 0.0f;
    uint32_t lines = 0;          // lines of the whole text, counted before the vertical cut
    float penX = 0.0f;           // where the next character would start: after the last glyph,
    float penY = 0.0f;           // or at the start of the line a final break opened
    bool penInside = true;       // false when the pen's line lies below the box (the text was cut)
};

class CFont : public CGUI {
public:
    CFont();
    CFont(const CFont& other);

    // Draws the text as Layout places it. Nothing without glyphs or text.
    void Render() override;
    // The common attributes, then "kern" and "lead" (ints), "text" (through SetText), and
    // "scaleX" and "scaleY" (floats, each 1 when absent).
    void LoadFromNode(CXMLNode& node) override;
    // A sprite without frames changes nothing. One with 256 frames or more is taken as the
    // glyph table itself. Otherwise the table is built by name: frame n is a copy of the
    // sprite's frame named by the one-byte string n, or a blank frame (no texture, the size
    // of the sprite's frame 0) when there is none.
    void SetSprite(const CSprite& sprite) override;

    // CopyFrom, then the anchor, kern, lead, mask, mask character, scale and text.
    void Assign(const CFont& other);

    // Stores the text with every backslash-n pair turned into a line break; a backslash
    // before such a pair is dropped and the pair kept as written ("\\n" gives "\n" as two
    // characters). Scanned left to right, resuming after each replacement.
    void SetText(const String& text);
    const String& GetText() const { return m_text; }
    // Editing without the backslash-n conversion (the edit box types into its text).
    void AppendCharacter(char character) { m_text += character; }
    void RemoveLastCharacter() { m_text.Erase(m_text.Length() - 1, 1); }

    // Extra pixels after every glyph (not scaled) and between lines.
    void SetKern(int32_t kern) { m_kern = kern; }
    int32_t GetKern() const { return m_kern; }
    void SetLead(int32_t lead) { m_lead = lead; }
    int32_t GetLead() const { return m_lead; }
    // Glyph width and height factors.
    void SetScale(float scaleX, float scaleY);
    float GetScaleX() const { return m_scaleX; }
    float GetScaleY() const { return m_scaleY; }
    // With the mask on, every character (line breaks and spaces included) is drawn as the
    // mask character, on one line that wraps only where it meets the box's edge.
    void SetMask(bool mask) { m_mask = mask; }
    bool GetMask() const { return m_mask; }
    void SetMaskCharacter(char character) { m_maskCharacter = static_cast<uint8_t>(character); }
    char GetMaskCharacter() const { return static_cast<char>(m_maskCharacter); }

    // Glyph metrics in pixels: the drawn width of a character (scaleX × its frame's width;
    // 0 when it has no glyph, that is no frame or a frame without texture, since such
    // characters are left out), its advance (width + kern; 0 without a glyph) and the line
    // height (scaleY × the height of frame 0; 0 without frames).
    float GlyphWidth(uint8_t character) const;
    float Advance(uint8_t character) const;
    float LineHeight() const;

    // Lays the text out in the element's box (position and size), as Render draws it:
    //  - Wrapping is on when the box is wider than frame 0 (unscaled). A line then ends at a
    //    space (not its first character) when the space and the word after it would reach
    //    the box's width, or after the glyph whose advance reaches it (that glyph stays on
    //    the line); one space after a wrap is dropped. Line breaks always end a line.
    //  - Each line starts at the anchor's horizontal alignment: left; centred when the box is
    //    wider than the line; or right, one pixel in from the edge. Without wrapping every
    //    line starts at the left.
    //  - When the box is higher than frame 0 (unscaled), the block of lines (lineHeight + lead
    //    apart) is aligned vertically by the anchor, and lines after the first that would
    //    reach below the box are cut. Otherwise nothing is cut.
    //  - Alignment offsets are truncated to whole pixels.
    // The layout's vectors are reused: laying out into the same object allocates only when
    // the text outgrows it.
    void Layout(CTextLayout& layout) const;

private:
    // One line of text as the measure scan finds it.
    struct LineSpan {
        int32_t end;    // one past the last character drawn on the line
        int32_t next;   // where the next line starts
        float width;    // sum of the advances on the line
        bool broke;     // the line ended at a break (so another line follows)
    };
    uint8_t Shown(int32_t index) const;
    float WordAdvance(int32_t from) const;
    LineSpan MeasureLine(int32_t start, bool wrap, float width) const;
    float AlignX(float lineWidth, bool wrap) const;

    String m_text;
    int32_t m_kern = 0;
    int32_t m_lead = 0;
    float m_scaleX = 1.0f;
    float m_scaleY = 1.0f;
    bool m_mask = false;
    uint8_t m_maskCharacter = '*';
    CTextLayout m_drawn; // Render's layout, kept to reuse its storage
};
