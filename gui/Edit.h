// CEdit: the text entry field. It shows its text through an embedded text element and edits
// it from the keyboard signal while it holds the mouse focus and is enabled and visible: typed
// characters go to the end, the Backspace key removes the last one, and onChange carries the
// whole text after every accepted key. Key presses that are not characters (the arrows and
// other navigation keys) never type. While active, a caret blinks at the end of the text.
// The keys an active field uses (its kind of characters, Backspace, Enter when multiline)
// are marked handled in the event, so that they are no application shortcut; every other key
// is left to the application. Main thread only.
#pragma once

#include "events/Timer.h"
#include "gui/Font.h"

#include <cstdint>
#include <limits>

class CEdit : public CGUI {
public:
    static constexpr uint32_t kUnlimited = std::numeric_limits<uint32_t>::max();
    static constexpr int32_t kBlinkPeriod = 300; // milliseconds between caret toggles

    // Enabled, inactive, single-line text mode, unlimited, no border; listens to the
    // keyboard signal.
    CEdit();
    CEdit(const CEdit& other);
    ~CEdit() override;

    // The field's quad, then the text one step in front, then the caret while it shows.
    void Render() override;
    // The common attributes, then "text", "borderSize" (float; the text box is laid out
    // again), "multiline", "password" (the text is drawn masked), "number" (bools) and
    // "limit" (int; any negative value is unlimited).
    void LoadFromNode(CXMLNode& node) override;

    // CopyFrom, then the text element, multiline, number, caret flag, limit and border. The
    // copy is inactive.
    void Assign(const CEdit& other);

    // Replaces the text (with the text element's backslash-n rule); emits nothing.
    void SetText(const String& text) { m_text.SetText(text); }
    const String& GetText() const { return m_text.GetText(); }

    // The text element takes the font's look (null changes nothing) and is laid out in the
    // field again; the text is cleared, and a password field stays masked.
    void SetFont(const CFont* font);
    CFont& GetTextElement() { return m_text; }
    const CFont& GetTextElement() const { return m_text; }

    // Number mode accepts digits, one point and a leading minus only.
    void SetNumber(bool number) { m_number = number; }
    bool GetNumber() const { return m_number; }
    // The longest text accepted by typing, in characters.
    void SetLimit(uint32_t limit) { m_limit = limit; }
    uint32_t GetLimit() const { return m_limit; }
    // Enter adds a line break.
    void SetMultiline(bool multiline) { m_multiline = multiline; }
    bool GetMultiline() const { return m_multiline; }
    // Draws the text as asterisks; the text itself stays readable.
    void SetPassword(bool password) { m_text.SetMask(password); }
    // Inset of the text from the field's left and top edges, in pixels.
    void SetBorder(float border);
    float GetBorder() const { return m_border; }

    // Typing goes here (the field has the focus).
    bool IsActive() const { return m_active; }
    // The caret blinks: on when the field becomes active and after every accepted key, then
    // toggled every kBlinkPeriod ms by the frame tick.
    bool IsCaretOn() const { return m_caret; }
    // Where the caret is drawn while it shows: at the end of the text, one line high, in
    // pixels from the field's top-left corner. False when the field is inactive, the caret is
    // off, there are no glyphs, or the end of the text lies below the field.
    bool GetCaretRect(float& x, float& y, float& width, float& height) const;

    CSignal<const String&> onChange; // after every accepted key, with the whole text

private:
    void LayoutText(float width, float height);
    void OnFocus(bool focus);
    void OnKey(CInputMap& event);
    void OnBlink();
    // Turns the caret on and starts its period again.
    void ShowCaret();
    // Whether key (a character code) is of the kind the field types (digits, point and minus
    // in number mode), whatever the current text.
    bool Types(int32_t key) const;
    // Whether typing key (a character code) onto the current text is allowed.
    bool Accepts(int32_t key) const;
    // Shows the caret and emits onChange with a copy of the text (slots may replace it).
    void Changed();

    CFont m_text;
    bool m_active = false;
    bool m_multiline = false;
    bool m_number = false;
    bool m_caret = false;
    uint32_t m_limit = kUnlimited;
    float m_border = 0.0f;
    CTimer m_blink;
    CQuad m_caretQuad;          // drawn in the text's colours, without texture
    mutable CTextLayout m_caretLayout; // reused by GetCaretRect
};
