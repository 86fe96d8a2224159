// CEdit: the text entry field. It shows its UTF-8 text through an embedded text element and
// edits it from the keyboard signal while it holds the focus and is enabled and visible: a
// caret (a byte position on a character boundary) placed by a click and moved by the keys,
// a selection made with Shift, by dragging or by a double click (a word), Backspace and
// Delete, Ctrl+A, and Ctrl+C / X / V with the system clipboard. Typed text replaces the
// selection; Escape gives up the focus. onChange carries the whole text after every change.
// The field takes only the key presses it uses and marks them handled (CInputMap::handled);
// every other key (Ctrl+S, Tab, the function keys ...) passes on untouched. A single-line
// field never wraps: its text scrolls sideways to keep the caret in view. Main thread only.
#pragma once

#include "events/Timer.h"
#include "gui/Font.h"

#include <cstdint>
#include <limits>

class CEdit : public CGUI {
public:
    static constexpr uint32_t kUnlimited = std::numeric_limits<uint32_t>::max();
    static constexpr int32_t kBlinkPeriod = 300; // milliseconds between caret toggles
    // A caret left alone this long (ms since it was last shown) stops blinking, lit, so that
    // an idle window has nothing to redraw.
    static constexpr int32_t kBlinkTimeout = 10000;

    // Enabled, inactive, single-line text mode, unlimited, no border; listens to the
    // keyboard signal and to its own mouse input.
    CEdit();
    CEdit(const CEdit& other);

    // The field's quad, then (while active) the selection, the text one step in front, and
    // the caret while it shows.
    void Render() override;
    // The common attributes, then "text", "borderSize" (float; the text box is laid out
    // again), "multiline", "password" (the text is drawn masked), "number" (bools) and
    // "limit" (int; any negative value is unlimited).
    void LoadFromNode(CXMLNode& node) override;

    // CopyFrom, then the text element, multiline, number, caret flag, limit and border. The
    // copy is inactive, with its caret at the end of the text.
    void Assign(const CEdit& other);

    // Replaces the text (with the text element's backslash-n rule); emits nothing. A new
    // text puts the caret at its end and drops the selection; the same text keeps both.
    void SetText(const String& text);
    const String& GetText() const { return m_text.GetText(); }

    // The text element takes the font's look (null changes nothing) and is laid out in the
    // field again; the text is cleared, and a password field stays masked.
    void SetFont(const CFont* font);
    CFont& GetTextElement() { return m_text; }
    const CFont& GetTextElement() const { return m_text; }

    // Number mode accepts digits, one point and a leading minus only, wherever they go: no
    // second point, a minus only at the start, nothing before a leading minus.
    void SetNumber(bool number) { m_number = number; }
    bool GetNumber() const { return m_number; }
    // The longest text accepted by typing and pasting, in characters (code points).
    void SetLimit(uint32_t limit) { m_limit = limit; }
    uint32_t GetLimit() const { return m_limit; }
    // Enter adds a line break, and the text wraps in the field.
    void SetMultiline(bool multiline);
    bool GetMultiline() const { return m_multiline; }
    // Draws the text as asterisks; the text itself stays readable, but is never copied.
    void SetPassword(bool password) { m_text.SetMask(password); }
    // Inset of the text from the field's left and top edges, in pixels.
    void SetBorder(float border);
    float GetBorder() const { return m_border; }

    // Typing goes here (the field has the focus).
    bool IsActive() const { return m_active; }
    // The caret blinks: on when the field becomes active and after every key it takes, then
    // toggled every kBlinkPeriod ms by the frame tick, until kBlinkTimeout has passed; then
    // it stays on until the next key or focus.
    bool IsCaretOn() const { return m_caretOn; }

    // The caret and the selection, as byte positions of the text, on character boundaries
    // (positions a changed text left outside or inside a character are moved to its end or
    // start). The selection runs from the anchor to the caret; it is empty when they meet.
    int32_t GetCaret() const;
    // The selection's start and end, start <= end.
    void GetSelection(int32_t& start, int32_t& end) const;
    // Selects from anchor to caret (the caret is where typing goes).
    void Select(int32_t anchor, int32_t caret);
    void SelectAll();

    // Where the caret is drawn while it shows, one line high, in pixels from the field's
    // top-left corner. False when the field is inactive, the caret is off, there are no
    // glyphs, or the caret lies in text cut below the field.
    bool GetCaretRect(float& x, float& y, float& width, float& height) const;
    // The byte position a click at window pixel (x, y) puts the caret at.
    int32_t IndexAtPoint(float x, float y) const;

    CSignal<const String&> onChange; // after every change the user made, with the whole text

private:
    void LayoutText(float width, float height);
    void OnFocus(bool focus);
    void OnKey(CInputMap& event);
    void OnMouse(CInputMap& event);
    void OnBlink();
    // Turns the caret on and starts its period again.
    void ShowCaret();
    // The caret moves to position; with extend the anchor stays (the selection grows or
    // shrinks), without it the selection is dropped.
    void MoveCaret(int32_t position, bool extend);
    // Whether the key is one the field acts on, and acts.
    bool TakeKey(int32_t key, bool shift, bool control);
    // Puts text in place of the selection, keeping of it what the mode and the limit allow
    // (paste: line breaks become spaces in a single-line field). False when nothing changed.
    bool Insert(const String& text, bool paste);
    // Removes the selection, or else the character before (backward) or after the caret.
    bool Erase(bool backward);
    // Whether number mode takes code point c at byte position at of text.
    static bool NumberTakes(const String& text, int32_t at, uint32_t c);
    void CopySelection();
    // Shows the caret and emits onChange with a copy of the text (slots may replace it).
    void Changed();
    // Lays the text out again (wrapping, the sideways scroll that keeps the caret in view)
    // into m_layout.
    void Refresh() const;
    // Clamps a byte position to the text and to a character's start.
    int32_t Valid(int32_t position) const;
    // A text changed behind the field's back (through its text element) puts the caret at
    // its end, as SetText does.
    void Track() const;
    // The field changed its text itself: the caret already stands where it belongs.
    void Seen() const { m_seen = GetText(); }
    // The start and end of the word (or run of spaces, or single other character) at
    // position.
    void WordAt(int32_t position, int32_t& start, int32_t& end) const;

    mutable CFont m_text; // Refresh lays it out (wrap and scroll) before it is read
    bool m_active = false;
    bool m_multiline = false;
    bool m_number = false;
    bool m_caretOn = false;
    bool m_dragging = false;   // the left button went down in the field and is still down
    uint32_t m_limit = kUnlimited;
    float m_border = 0.0f;
    mutable int32_t m_caret = 0;
    mutable int32_t m_anchor = 0;
    mutable String m_seen;      // the text the caret and the anchor belong to
    mutable float m_scroll = 0.0f; // pixels the single line is moved left
    CTimer m_blink;
    int32_t m_blinkedFor = 0;   // ms the caret has blinked since it was last shown
    CQuad m_caretQuad;          // drawn in the text's colours, without texture
    CQuad m_selectionQuad;      // the text's colours, faint
    mutable CTextLayout m_layout; // the last Refresh
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
