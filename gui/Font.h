// CFont: the text element. It holds a UTF-8 string and draws it glyph by glyph with its own
// quad. Its sprite is a glyph table: frame n is the glyph of code point n for n below 256,
// and the glyphs of higher code points follow. A character the font has no glyph for is drawn
// as the font's replacement glyph (U+FFFD) when it has one, else left out. Text wraps at
// spaces (and inside words longer than a line) within the element's box unless wrapping is
// off, is cut below it, and is aligned in it by the anchor. Layout needs no OpenGL context;
// only Render draws. A text element is created disabled: it never takes the mouse unless a
// widget enables it.
#pragma once

#include "gui/GUI.h"

#include <cstdint>
#include <vector>

// One glyph placed by CFont::Layout: the byte position of its character in the text, the
// code point drawn (the character's, or the mask character's) and its glyph frame, and the
// quad's top-left corner and width in the coordinates of the element's own position
// (relative to its parent when it has one). Every glyph quad is the layout's lineHeight high.
struct CGlyphPlacement {
    int32_t index = 0;
    uint32_t code = 0;
    uint32_t frame = 0;
    float x = 0.0f, y = 0.0f;
    float width = 0.0f;
};

// A place a caret can stand: before the character at byte position index (or at the end of
// the text), at (x, y), the top of its line, in the glyphs' coordinates.
struct CCaretStop {
    int32_t index = 0;
    float x = 0.0f, y = 0.0f;
};

// Where the glyphs of a text go, and where the pen ends.
struct CTextLayout {
    std::vector<CGlyphPlacement> glyphs;
    // One stop per character boundary of the laid-out lines, in text order (so by index,
    // which may repeat where a line wraps between letters: the end of one line and the start
    // of the next). Lines cut below the box have none.
    std::vector<CCaretStop> stops;
    float lineHeight = 0.0f;
    float lineStep = 0.0f;       // from one line's top to the next: lineHeight + lead
    uint32_t lines = 0;          // lines of the whole text, counted before the vertical cut
    float penX = 0.0f;           // where the next character would start: after the last glyph,
    float penY = 0.0f;           // or at the start of the line a final break opened
    bool penInside = true;       // false when the pen's line lies below the box (the text was cut)

    // The stop of a caret before byte position index: the last stop at or before it (the
    // start of the next line where a line wraps there). False when the layout has no stop
    // at or before index, or the index lies past the last stop (in text that was cut).
    bool CaretAt(int32_t index, float& x, float& y) const;
    // The byte position whose stop lies nearest to (x, y): on the line that holds y (the
    // first or last line when y lies above or below them all), the stop nearest to x, the
    // earlier on a tie. 0 without stops.
    int32_t IndexAt(float x, float y) const;
};

class CFont : public CGUI {
public:
    CFont();
    CFont(const CFont& other);

    // Draws the text as Layout places it. Nothing without glyphs or text. Under a pixel scale
    // other than 1 (media/DrawState.h), glyphs from a font entry's picture are drawn from one
    // rendered at the scaled height (media/GlyphTexture.h), each at its own pixel size and
    // from a whole window pixel, so the text is as sharp as at 1; the layout is the same.
    void Render() override;
    // The common attributes, then "kern" and "lead" (ints), "text" (through SetText), and
    // "scaleX" and "scaleY" (floats, each 1 when absent).
    void LoadFromNode(CXMLNode& node) override;
    // A sprite without frames changes nothing. One with 256 frames or more none of which is
    // named is taken as the glyph table itself (frame n is code n). Otherwise the table is
    // built by name: a frame named by the UTF-8 form of one code point is that character's
    // glyph (a one-byte name is the character of that byte's value, 0 to 255, so that older
    // Latin-1 names keep working; the first frame of a name wins). Frame n < 256 of the table
    // is a copy of code n's glyph, or a blank frame (no texture, the size of the sprite's
    // frame 0) when there is none; the glyphs of higher code points follow in code order.
    void SetSprite(const CSprite& sprite) override;

    // CopyFrom, then the anchor, kern, lead, mask, mask character, scale and text.
    void Assign(const CFont& other);

    // Stores the text with every backslash-n pair turned into a line break; a backslash
    // before such a pair is dropped and the pair kept as written ("\\n" gives "\n" as two
    // characters). Scanned left to right, resuming after each replacement.
    void SetText(const String& text);
    const String& GetText() const { return m_text; }
    // Editing without the backslash-n conversion: a byte appended (paths are shown byte for
    // byte), and the whole text replaced as it is (the edit box edits its text this way).
    void AppendCharacter(char character) { m_text += character; }
    void SetPlainText(const String& text) { m_text = text; }

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
    // mask character (a code point), on one line that wraps only where it meets the box's
    // edge.
    void SetMask(bool mask) { m_mask = mask; }
    bool GetMask() const { return m_mask; }
    void SetMaskCharacter(uint32_t character) { m_maskCharacter = character; }
    uint32_t GetMaskCharacter() const { return m_maskCharacter; }
    // On by default. Off, lines end only at line breaks, however wide the box, and Render
    // draws only the glyphs wholly inside the box's width (when the box is wider than
    // frame 0; Layout still places them all).
    void SetWrap(bool wrap) { m_wrap = wrap; }
    bool GetWrap() const { return m_wrap; }
    // Pixels the text is drawn to the left of where the layout puts it (0 by default), for
    // a field whose line is wider than its box.
    void SetScrollX(float scroll) { m_scrollX = scroll; }
    float GetScrollX() const { return m_scrollX; }

    // The glyph frame a code point is drawn with: its own glyph, else the replacement glyph
    // for characters that are not control characters (below 32, 127 to 159); -1 when there
    // is neither (the character is left out and takes no room). A glyph is a frame with a
    // texture.
    int32_t GlyphFrame(uint32_t codePoint) const;
    // Glyph metrics in pixels: the drawn width of a character (scaleX × its glyph frame's
    // width; 0 without one), its advance (width + kern; 0 without a glyph frame) and the line
    // height (scaleY × the height of frame 0; 0 without frames).
    float GlyphWidth(uint32_t codePoint) const;
    float Advance(uint32_t codePoint) const;
    float LineHeight() const;
    // The sum of the advances of a UTF-8 text's characters, on one line.
    float TextWidth(const String& text) const;

    // Lays the text out in the element's box (position and size), as Render draws it:
    //  - Wrapping is on when it is not switched off and the box is wider than frame 0
    //    (unscaled). A line then ends at a
    //    space (not its first character) when the space and the word after it would reach
    //    the box's width, or after the glyph whose advance reaches it (that glyph stays on
    //    the line); one space after a wrap is dropped. Line breaks always end a line.
    //  - Each line starts at the anchor's horizontal alignment: left; centred when the box is
    //    wider than the line; or right, one pixel in from the edge. In a box no wider than
    //    frame 0 every line starts at the left. The horizontal scroll then moves every glyph
    //    and stop to the left.
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
    // The code point at byte position index and its byte count (the mask character in its
    // stead, with the mask on).
    uint32_t Shown(int32_t index, int32_t* size) const;
    float WordAdvance(int32_t from) const;
    LineSpan MeasureLine(int32_t start, bool wrap, float width) const;
    float AlignX(float lineWidth, bool aligned) const;
    // Records the code points of the table's frames from 256 on, from their names.
    void IndexWideGlyphs();
    // The code point glyph table frame `frame` stands for; false when the table does not say.
    bool FrameCode(uint32_t frame, uint32_t& code) const;

    String m_text;
    int32_t m_kern = 0;
    int32_t m_lead = 0;
    float m_scaleX = 1.0f;
    float m_scaleY = 1.0f;
    bool m_mask = false;
    bool m_wrap = true;
    float m_scrollX = 0.0f;
    uint32_t m_maskCharacter = '*';
    std::vector<uint32_t> m_wideCodes; // code point of table frame 256 + i, ascending
    CTextLayout m_drawn; // Render's layout, kept to reuse its storage
};
