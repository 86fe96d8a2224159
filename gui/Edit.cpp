// Index:
//   [SECTION] Construction and copying
//   [SECTION] Caret and selection
//   [SECTION] Editing
//   [SECTION] Focus, keys, mouse and caret
//   [SECTION] Layout and drawing
//   [SECTION] Description attributes
#include "gui/Edit.h"

#include "events/Input.h"
#include "platform/Clipboard.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <cmath>
#include <string>

// [SECTION] Construction and copying

CEdit::CEdit()
{
    m_kind = GUIEdit;
    m_enabled = true;
    m_text.SetParent(this);
    m_text.SetWrap(false);
    m_blink.SetInterval(kBlinkPeriod);
    m_slots.Connect(onResize, this, &CEdit::LayoutText);
    m_slots.Connect(onFocus, this, &CEdit::OnFocus);
    m_slots.Connect(onInput, this, &CEdit::OnMouse);
    m_slots.Connect(GetKeyboardSignal(), this, &CEdit::OnKey);
    m_slots.Connect(m_blink.onExpire, this, &CEdit::OnBlink);
}

CEdit::CEdit(const CEdit& other) : CEdit() { Assign(other); }

void CEdit::Assign(const CEdit& other)
{
    if (&other == this)
        return;
    CopyFrom(other);
    m_text.Assign(other.m_text);
    m_text.SetParent(this);
    m_multiline = other.m_multiline;
    m_number = other.m_number;
    m_caretOn = other.m_caretOn;
    m_limit = other.m_limit;
    m_border = other.m_border;
    m_active = false;
    m_dragging = false;
    m_blink.SetEnabled(false);
    m_caret = m_anchor = GetText().Length();
    m_scroll = 0.0f;
    m_text.SetWrap(m_multiline);
    Seen();
}

void CEdit::SetText(const String& text)
{
    const String before = GetText();
    m_text.SetText(text);
    if (GetText() != before)
        m_caret = m_anchor = GetText().Length();
    Seen();
}

void CEdit::SetFont(const CFont* font)
{
    if (!font)
        return;
    // Masking is the field's behaviour (a password), not part of a font's look.
    const bool mask = m_text.GetMask();
    const uint32_t maskCharacter = m_text.GetMaskCharacter();
    m_text.Assign(*font);
    m_text.SetMask(mask);
    m_text.SetMaskCharacter(maskCharacter);
    m_text.SetParent(this);
    m_text.SetText(String());
    m_text.SetPosition(0.0f, 0.0f);
    m_text.SetWrap(m_multiline);
    m_caret = m_anchor = 0;
    m_scroll = 0.0f;
    Seen();
    LayoutText(GetWidth(), GetHeight());
}

void CEdit::SetMultiline(bool multiline)
{
    m_multiline = multiline;
    m_text.SetWrap(multiline);
}

void CEdit::SetBorder(float border)
{
    m_border = border;
    LayoutText(GetWidth(), GetHeight());
}

void CEdit::LayoutText(float width, float height)
{
    // The inset is taken once: the text box reaches the field's right and bottom edges.
    m_text.SetSize(width - m_border, height - m_border);
    m_text.SetPosition(m_border, m_border);
}

// [SECTION] Caret and selection

int32_t CEdit::Valid(int32_t position) const
{
    const String& text = GetText();
    position = std::clamp(position, 0, text.Length());
    // A position inside a character moves to its start.
    return position < text.Length() ? Utf8Previous(text, Utf8Next(text, position)) : position;
}

void CEdit::Track() const
{
    if (GetText() == m_seen)
        return;
    m_caret = m_anchor = GetText().Length();
    Seen();
}

int32_t CEdit::GetCaret() const
{
    Track();
    return Valid(m_caret);
}

void CEdit::GetSelection(int32_t& start, int32_t& end) const
{
    Track();
    const int32_t caret = Valid(m_caret), anchor = Valid(m_anchor);
    start = std::min(caret, anchor);
    end = std::max(caret, anchor);
}

void CEdit::Select(int32_t anchor, int32_t caret)
{
    Track();
    m_anchor = Valid(anchor);
    m_caret = Valid(caret);
}

void CEdit::SelectAll() { Select(0, GetText().Length()); }

void CEdit::MoveCaret(int32_t position, bool extend)
{
    Track();
    if (!extend)
        m_anchor = Valid(m_caret); // the anchor must stand on a boundary of the same text
    m_caret = Valid(position);
    if (!extend)
        m_anchor = m_caret;
    ShowCaret();
}

namespace {

// The letter keys the field uses with Ctrl (letters arrive as key presses only with Ctrl).
constexpr int32_t KeySelectAll = KeyA + ('A' - 'A');
constexpr int32_t KeyCopy = KeyA + ('C' - 'A');
constexpr int32_t KeyCut = KeyA + ('X' - 'A');
constexpr int32_t KeyPaste = KeyA + ('V' - 'A');

// Letters and digits of any script (every character past ASCII counts as one) and '_'.
bool IsWordCharacter(uint32_t c)
{
    return c >= 128 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// 0 for spaces, 1 for word characters, 2 for anything else (each such character stands alone).
int32_t ClassOf(uint32_t c) { return c == ' ' || c == '\t' ? 0 : IsWordCharacter(c) ? 1 : 2; }

uint32_t CodeAt(const String& text, int32_t at)
{
    uint32_t code = 0;
    Utf8Decode(text.CStr(), text.Length(), at, &code);
    return code;
}

} // namespace

void CEdit::WordAt(int32_t position, int32_t& start, int32_t& end) const
{
    const String& text = GetText();
    start = end = Valid(position);
    if (text.IsEmpty())
        return;
    if (start == text.Length())
        start = Utf8Previous(text, start); // past the end: the last character's word
    const uint32_t here = CodeAt(text, start);
    if (here == '\n') {
        end = start; // a line break selects nothing
        return;
    }
    const int32_t kind = ClassOf(here);
    end = Utf8Next(text, start);
    if (kind == 2)
        return;
    while (start > 0) {
        const int32_t before = Utf8Previous(text, start);
        if (ClassOf(CodeAt(text, before)) != kind || CodeAt(text, before) == '\n')
            break;
        start = before;
    }
    while (end < text.Length() && ClassOf(CodeAt(text, end)) == kind && CodeAt(text, end) != '\n')
        end = Utf8Next(text, end);
}

// [SECTION] Editing

bool CEdit::NumberTakes(const String& text, int32_t at, uint32_t c)
{
    // Nothing goes before a leading minus.
    if (at == 0 && text.StartsWith("-"))
        return false;
    if (c >= '0' && c <= '9')
        return true;
    if (c == '.')
        return text.Find(".") < 0;
    return c == '-' && at == 0;
}

bool CEdit::Insert(const String& piece, bool paste)
{
    int32_t start = 0, end = 0;
    GetSelection(start, end);
    String text = GetText();
    text.Erase(start, end - start);
    int32_t count = Utf8Count(text);
    int32_t at = start;
    String kept;
    const int32_t length = piece.Length();
    for (int32_t i = 0; i < length;) {
        uint32_t c = 0;
        const int32_t size = Utf8Decode(piece.CStr(), length, i, &c);
        i += size;
        if (c == '\r') {
            if (i < length && piece[i] == '\n')
                continue; // a Windows line end is one break
            c = '\n';
        }
        if (paste && c == '\t')
            c = ' ';
        if (paste && c == '\n' && !m_multiline)
            c = ' ';
        if ((c < 32 && c != '\n') || (c == '\n' && !m_multiline) || (c >= 127 && c <= 159))
            continue;
        if (static_cast<uint32_t>(count) >= m_limit)
            break;
        if (m_number && !NumberTakes(text, at, c))
            continue;
        String character;
        Utf8Append(character, c);
        text.Insert(at, character);
        kept += character;
        at += character.Length();
        ++count;
    }
    if (kept.IsEmpty())
        return false; // a refused key (or an empty paste) leaves the selection alone
    m_text.SetPlainText(text);
    m_caret = m_anchor = at;
    Seen();
    Changed();
    return true;
}

bool CEdit::Erase(bool backward)
{
    int32_t start = 0, end = 0;
    GetSelection(start, end);
    const String& current = GetText();
    if (start == end) {
        if (backward)
            start = Utf8Previous(current, start);
        else
            end = Utf8Next(current, end);
    }
    if (start == end)
        return false;
    String text = current;
    text.Erase(start, end - start);
    m_text.SetPlainText(text);
    m_caret = m_anchor = start;
    Seen();
    Changed();
    return true;
}

void CEdit::CopySelection()
{
    int32_t start = 0, end = 0;
    GetSelection(start, end);
    // A password is never handed to other programs.
    if (start == end || m_text.GetMask())
        return;
    const String selected = GetText().Substring(start, end - start);
    PlatformSetClipboardText(std::string(selected.CStr(), static_cast<size_t>(selected.Length())));
}

void CEdit::Changed()
{
    ShowCaret();
    const String text = GetText();
    onChange.Emit(text);
}

// [SECTION] Focus, keys, mouse and caret

void CEdit::OnFocus(bool focus)
{
    m_active = focus;
    m_dragging = false;
    if (focus) {
        ShowCaret();
    } else {
        m_blink.SetEnabled(false);
        m_caretOn = false;
    }
}

void CEdit::ShowCaret()
{
    m_caretOn = true;
    m_blinkedFor = 0;
    m_blink.SetEnabled(true);
}

void CEdit::OnBlink()
{
    m_caretOn = !m_caretOn;
    m_blinkedFor += kBlinkPeriod;
    if (m_caretOn && m_blinkedFor >= kBlinkTimeout)
        m_blink.SetEnabled(false);
}

bool CEdit::TakeKey(int32_t key, bool shift, bool control)
{
    const String& text = GetText();
    int32_t start = 0, end = 0;
    GetSelection(start, end);
    const int32_t caret = GetCaret();
    // The start and end of the caret's line.
    const auto lineStart = [&] {
        int32_t at = caret;
        while (at > 0 && text[at - 1] != '\n')
            --at;
        return at;
    };
    const auto lineEnd = [&] {
        int32_t at = caret;
        while (at < text.Length() && text[at] != '\n')
            ++at;
        return at;
    };
    switch (key) {
    case KeyLeft:
        if (start != end && !shift)
            MoveCaret(start, false);
        else if (control) {
            int32_t word = Utf8Previous(text, caret);
            while (word > 0 && ClassOf(CodeAt(text, word)) == 0)
                word = Utf8Previous(text, word);
            int32_t wordStart = 0, wordEnd = 0;
            WordAt(word, wordStart, wordEnd);
            MoveCaret(wordStart, shift);
        } else {
            MoveCaret(Utf8Previous(text, caret), shift);
        }
        return true;
    case KeyRight:
        if (start != end && !shift)
            MoveCaret(end, false);
        else if (control) {
            int32_t word = caret;
            while (word < text.Length() && ClassOf(CodeAt(text, word)) == 0)
                word = Utf8Next(text, word);
            int32_t wordStart = 0, wordEnd = 0;
            WordAt(word, wordStart, wordEnd);
            MoveCaret(std::max(wordEnd, Utf8Next(text, caret)), shift);
        } else {
            MoveCaret(Utf8Next(text, caret), shift);
        }
        return true;
    case KeyHome:
        MoveCaret(control ? 0 : lineStart(), shift);
        return true;
    case KeyEnd:
        MoveCaret(control ? text.Length() : lineEnd(), shift);
        return true;
    case KeyBackspace:
    case KeyDelete:
        Erase(key == KeyBackspace);
        ShowCaret();
        return true;
    case KeyEnter:
        if (!m_multiline)
            return false; // a single-line field leaves Enter to its owner
        Insert("\n", false);
        return true;
    case KeyEscape: {
        SetFocus(false);
        // An owner that keeps the field focused takes the focus back at once: then Escape
        // is still its owner's to use.
        return !m_active;
    }
    case KeySelectAll:
    case KeyCopy:
    case KeyCut:
    case KeyPaste:
        // Ctrl with the letter alone: Ctrl+Shift+A and its kind are the application's.
        if (!control || shift)
            return false;
        break;
    default:
        break;
    }
    switch (key) {
    case KeySelectAll:
        SelectAll();
        ShowCaret();
        return true;
    case KeyCopy:
        CopySelection();
        return true;
    case KeyCut:
        if (!m_text.GetMask()) {
            CopySelection();
            if (start != end)
                Erase(true);
        }
        return true;
    case KeyPaste: {
        const std::string clip = PlatformGetClipboardText();
        Insert(Utf8Sanitize(String(clip.data(), static_cast<int32_t>(std::min<size_t>(clip.size(), INT32_MAX)))),
               true);
        return true;
    }
    default:
        return false;
    }
}

void CEdit::OnKey(CInputMap& event)
{
    // A disabled or hidden field keeps its text even while it holds the focus.
    if (event.handled || event.action != InputPress || !m_active || !IsEnabled() || !IsVisible())
        return;
    Track();
    if (event.character) {
        // The characters of the field's kind belong to it, taken or refused (the name box
        // types a space; a digit past a number box's limit is no shortcut). A number box
        // leaves the others, Space among them, to the application.
        const int32_t c = event.value;
        if (m_number && !((c >= '0' && c <= '9') || c == '.' || c == '-'))
            return;
        event.handled = true;
        String character;
        Utf8Append(character, static_cast<uint32_t>(event.value));
        if (!Insert(character, false))
            ShowCaret();
        return;
    }
    // Letters arrive as key presses only while Ctrl is held.
    if (TakeKey(event.value, event.shift, event.control))
        event.handled = true;
}

void CEdit::OnMouse(CInputMap& event)
{
    if (!IsEnabled() || !IsVisible())
        return;
    switch (event.action) {
    case InputPress:
        if (event.button != MouseLeft)
            return;
        // After Escape the field may still be its manager's focus: a click takes it back.
        if (!m_active)
            SetFocus(true);
        MoveCaret(IndexAtPoint(event.position.x, event.position.y), false);
        m_dragging = true;
        break;
    case InputDoubleClick: {
        if (event.button != MouseLeft)
            return;
        int32_t start = 0, end = 0;
        WordAt(IndexAtPoint(event.position.x, event.position.y), start, end);
        Select(start, end);
        ShowCaret();
        m_dragging = false;
        break;
    }
    case InputMove:
        if (m_dragging)
            MoveCaret(IndexAtPoint(event.position.x, event.position.y), true);
        break;
    case InputRelease:
        if (event.button == MouseLeft)
            m_dragging = false;
        break;
    default:
        break;
    }
}

bool CEdit::GetCaretRect(float& x, float& y, float& width, float& height) const
{
    if (!m_active || !m_caretOn)
        return false;
    Refresh();
    if (!(m_layout.lineHeight > 0.0f) || !m_layout.CaretAt(GetCaret(), x, y))
        return false;
    height = m_layout.lineHeight;
    width = std::max(1.0f, std::trunc(height / 8.0f));
    return true;
}

int32_t CEdit::IndexAtPoint(float x, float y) const
{
    Refresh();
    const CVector origin = GetAbsolutePosition();
    return Valid(m_layout.IndexAt(x - origin.x, y - origin.y));
}

// [SECTION] Layout and drawing

void CEdit::Refresh() const
{
    Track();
    m_text.SetWrap(m_multiline);
    m_text.SetScrollX(0.0f);
    m_text.Layout(m_layout);
    if (m_multiline) {
        m_scroll = 0.0f;
        return;
    }
    // The single line moves left just enough to show the caret (and its width) inside the
    // box, and no further than the end of the text needs.
    float caretX = 0.0f, caretY = 0.0f;
    if (!m_layout.CaretAt(GetCaret(), caretX, caretY)) {
        m_scroll = 0.0f;
        return;
    }
    const float left = std::trunc(m_text.GetX());
    const float caretWidth = std::max(1.0f, std::trunc(m_layout.lineHeight / 8.0f));
    const float right = m_text.GetX() + m_text.GetWidth() - caretWidth;
    float textEnd = left;
    for (const CCaretStop& stop : m_layout.stops)
        textEnd = std::max(textEnd, stop.x);
    float scroll = m_scroll;
    if (caretX - scroll > right)
        scroll = caretX - right;
    if (caretX - scroll < left)
        scroll = caretX - left;
    scroll = std::clamp(scroll, 0.0f, std::max(0.0f, textEnd - right));
    m_scroll = std::trunc(scroll);
    if (m_scroll != 0.0f) {
        m_text.SetScrollX(m_scroll);
        m_text.Layout(m_layout);
    }
}

namespace {

// Gives a plain quad the text's look at the given opacity. The opacity goes into the vertex
// colours too, which stand for the diffuse colour when drawing tracks them and are the colour
// itself when lighting is off.
void CopyLook(const CMaterial& look, CQuad& quad, float alpha)
{
    CMaterial& to = quad.material;
    std::copy(look.ambient, look.ambient + 4, to.ambient);
    std::copy(look.diffuse, look.diffuse + 4, to.diffuse);
    std::copy(look.emission, look.emission + 4, to.emission);
    std::copy(look.specular, look.specular + 4, to.specular);
    to.shininess = look.shininess;
    to.additive = look.additive;
    to.diffuse[3] *= alpha;
    if (alpha >= 1.0f)
        return;
    const auto byte = [](float value) { return static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); };
    quad.hasColours = true;
    for (uint32_t vertex = 0; vertex < 4; ++vertex)
        quad.SetVertexColour(vertex, byte(to.diffuse[0]), byte(to.diffuse[1]), byte(to.diffuse[2]), byte(to.diffuse[3]));
}

} // namespace

void CEdit::Render()
{
    CGUI::Render();
    if (!IsVisible())
        return;
    Refresh();
    const CVector origin = GetAbsolutePosition();
    const float z = GetZ() + 1.0f;
    int32_t start = 0, end = 0;
    GetSelection(start, end);
    if (m_active && start != end && m_layout.lineHeight > 0.0f) {
        // One band per line, from the first stop in the selection to the last; a scrolled
        // line's band stays inside the box.
        CopyLook(m_text.material, m_selectionQuad, 0.35f);
        const float left = std::trunc(m_text.GetX()), right = m_text.GetX() + m_text.GetWidth();
        const std::vector<CCaretStop>& stops = m_layout.stops;
        for (size_t i = 0; i < stops.size();) {
            size_t line = i;
            float from = 0.0f, to = 0.0f;
            bool any = false;
            for (; line < stops.size() && stops[line].y == stops[i].y; ++line) {
                if (stops[line].index < start || stops[line].index > end)
                    continue;
                from = any ? std::min(from, stops[line].x) : stops[line].x;
                to = any ? std::max(to, stops[line].x) : stops[line].x;
                any = true;
            }
            from = std::max(from, left);
            to = std::min(to, right);
            if (any && to > from) {
                m_selectionQuad.transform.SetTranslation(origin.x + from, origin.y + stops[i].y, z);
                m_selectionQuad.scale = CVector(to - from, m_layout.lineHeight, 1.0f);
                m_selectionQuad.Draw();
            }
            i = line;
        }
    }
    m_text.SetZ(z);
    m_text.Render();
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
    if (!GetCaretRect(x, y, width, height))
        return;
    // The caret takes the text's colours, as a plain quad.
    CopyLook(m_text.material, m_caretQuad, 1.0f);
    m_caretQuad.transform.SetTranslation(origin.x + x, origin.y + y, z);
    m_caretQuad.scale = CVector(width, height, 1.0f);
    m_caretQuad.Draw();
}

// [SECTION] Description attributes

void CEdit::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("text"))
        SetText(node.GetAttributeString("text"));
    if (node.FindAttribute("borderSize"))
        SetBorder(node.GetAttributeFloat("borderSize"));
    if (node.FindAttribute("multiline"))
        SetMultiline(node.GetAttributeBool("multiline"));
    if (node.FindAttribute("password"))
        m_text.SetMask(node.GetAttributeBool("password"));
    if (node.FindAttribute("number"))
        m_number = node.GetAttributeBool("number");
    if (node.FindAttribute("limit")) {
        const int32_t limit = node.GetAttributeInt("limit");
        m_limit = limit < 0 ? kUnlimited : static_cast<uint32_t>(limit);
    }
}
