// Index:
//   [SECTION] Fitting texts
//   [SECTION] Building the box
//   [SECTION] Input and drawing
#include "gui/QuestionBox.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/DialogLook.h"
#include "gui/GUIManager.h"
#include "gui/Window.h"
#include "media/DrawState.h"

#include <algorithm>
#include <cmath>

// [SECTION] Fitting texts

namespace {

constexpr uint32_t kEllipsisCode = 0x2026;

// "…" when look has its own glyph for it (not the replacement glyph), else three periods.
String Ellipsis(const CFont& look)
{
    const int32_t frame = look.GlyphFrame(kEllipsisCode);
    if (frame >= 0 && frame != look.GlyphFrame(kReplacementCharacter)) {
        String ellipsis;
        Utf8Append(ellipsis, kEllipsisCode);
        return ellipsis;
    }
    return "...";
}

// The advance of the character at byte position at; its byte count in *size.
float AdvanceAt(const CFont& look, const String& text, int32_t at, int32_t* size)
{
    uint32_t code = 0;
    *size = Utf8Decode(text.CStr(), text.Length(), at, &code);
    return look.Advance(code);
}

// text as it is when it fits width in look's glyphs; otherwise whole characters from its start
// and its end, taken in turn while they fit, around the ellipsis.
String ShortenMiddle(const CFont& look, const String& text, float width, const String& ellipsis)
{
    if (look.TextWidth(text) <= width)
        return text;
    const float room = width - look.TextWidth(ellipsis);
    int32_t head = 0, tail = text.Length();
    float used = 0.0f;
    bool headFull = false, tailFull = false, front = true;
    while (head < tail && !(headFull && tailFull)) {
        int32_t size = 0;
        if (front && !headFull) {
            const float advance = AdvanceAt(look, text, head, &size);
            if (used + advance <= room && head + size <= tail)
                used += advance, head += size;
            else
                headFull = true;
        } else if (!front && !tailFull) {
            const int32_t start = Utf8Previous(text, tail);
            const float advance = AdvanceAt(look, text, start, &size);
            if (used + advance <= room && start >= head)
                used += advance, tail = start;
            else
                tailFull = true;
        }
        front = !front;
    }
    return text.Substring(0, head) + ellipsis + text.Substring(tail);
}

// text with every word (a run between spaces and line breaks) wider than width shortened in
// its middle.
String ShortenWords(const CFont& look, const String& text, float width, const String& ellipsis)
{
    String fitted;
    int32_t start = 0;
    for (int32_t i = 0; i <= text.Length(); ++i) {
        if (i < text.Length() && text[i] != ' ' && text[i] != '\n')
            continue;
        fitted += ShortenMiddle(look, text.Substring(start, i - start), width, ellipsis);
        if (i < text.Length())
            fitted += text[i];
        start = i + 1;
    }
    return fitted;
}

// The lines text takes in the element (sized to the width wanted and higher than any text).
uint32_t LinesOf(CFont& element, const String& text, CTextLayout& layout)
{
    element.SetPlainText(text);
    element.Layout(layout);
    return layout.lines;
}

// The question's text as the box shows it within maxLines lines of the element's width (see
// CQuestionView). Leaves the element holding it.
String FitQuestion(CFont& element, const String& text, uint32_t maxLines)
{
    const String ellipsis = Ellipsis(element);
    // Layout wraps after the glyph that reaches the width: a word one pixel narrower stays whole.
    const String words = ShortenWords(element, text, element.GetWidth() - 1.0f, ellipsis);
    CTextLayout layout;
    if (LinesOf(element, words, layout) <= maxLines)
        return words;
    std::vector<int32_t> starts; // each character's byte position, then the end
    for (int32_t at = 0; at < words.Length(); at = Utf8Next(words, at))
        starts.push_back(at);
    starts.push_back(words.Length());
    const int32_t count = static_cast<int32_t>(starts.size()) - 1;
    auto cut = [&](int32_t removed) {
        const int32_t head = (count - removed) / 2;
        return words.Substring(0, starts[static_cast<size_t>(head)]) + ellipsis +
               words.Substring(starts[static_cast<size_t>(head + removed)]);
    };
    // The fewest characters removed from the middle that make the text fit; removing all of
    // them leaves the ellipsis alone, which fits.
    int32_t low = 1, high = count;
    while (low < high) {
        const int32_t middle = low + (high - low) / 2;
        if (LinesOf(element, cut(middle), layout) <= maxLines)
            high = middle;
        else
            low = middle + 1;
    }
    const String fitted = cut(low);
    element.SetPlainText(fitted);
    return fitted;
}

} // namespace

// [SECTION] Building the box

namespace {

constexpr float kTextInset = 16.0f;  // from the box's sides to the text
constexpr float kButtonGap = 8.0f;
constexpr float kLabelPadding = 12.0f; // on each side of a label
constexpr float kRingWidth = 2.0f;

} // namespace

QuestionRequest NormaliseQuestion(const QuestionRequest& request)
{
    QuestionRequest normal;
    normal.title = Utf8Sanitize(request.title);
    normal.text = Utf8Sanitize(request.text);
    for (const String& label : request.buttons)
        normal.buttons.push_back(Utf8Sanitize(label));
    if (normal.buttons.empty())
        normal.buttons.push_back("OK");
    const int32_t count = static_cast<int32_t>(normal.buttons.size());
    normal.defaultButton = request.defaultButton >= 0 && request.defaultButton < count ? request.defaultButton : 0;
    normal.cancelButton = request.cancelButton >= 0 && request.cancelButton < count ? request.cancelButton : count - 1;
    return normal;
}

CQuestionView::CQuestionView(const QuestionRequest& request, const CSprite* font)
    : m_request(NormaliseQuestion(request)), m_dim(std::make_unique<CGUI>())
{
    m_slots.Connect(GetKeyboardSignal(), this, &CQuestionView::OnKey);
    m_slots.Connect(GetMouseSignal(), this, &CQuestionView::OnMouse);
    m_manager = std::make_unique<CGUIManager>();
    const CFont look = DialogTextLook(font);
    PaintDialogDim(*m_dim);
    m_window = NewDialogWindow(look, m_request.title, kWidth, kDialogTitleHeight);
    m_window->SetSize(kWidth, Build(look));
    m_slots.ConnectUser(m_window->GetCloseButton().onRelease, this, &CQuestionView::Choose, m_request.cancelButton);

    // The first element is the topmost: the parts before the window behind them.
    for (CButton* button : m_buttons)
        m_manager->AddElement(button);
    for (CGUI* element : std::initializer_list<CGUI*>{m_text, m_ring, m_window})
        m_manager->AddElement(element);
    SetFocus(m_request.defaultButton);
    Place(0, 0);
}

// The slots (the last member) go before the manager and its widgets.
CQuestionView::~CQuestionView() = default;

float CQuestionView::Build(const CFont& look)
{
    const float top = kDialogTitleHeight + 14.0f;
    m_text = PlaceInDialog(*m_window, new CFont(look), kTextInset, top, kWidth - 2 * kTextInset, 1.0e6f, 4.0f);
    m_text->SetAlign(0);
    m_text->SetLead(3); // wrapped lines read more easily a little apart
    FitQuestion(*m_text, m_request.text, kMaxLines);
    CTextLayout layout;
    m_text->Layout(layout);
    const float step = layout.lineStep > 0.0f ? layout.lineStep : kDialogRowHeight;
    const float lines = static_cast<float>(std::clamp<uint32_t>(layout.lines, 1, kMaxLines));
    m_text->SetSize(m_text->GetWidth(), std::ceil(step * lines));

    // Buttons as wide as their labels need (at least the dialogs' button width), in a row at
    // the right; a row wider than the box shares its width equally.
    const float inner = kWidth - 2 * kDialogMargin;
    const float count = static_cast<float>(m_request.buttons.size());
    std::vector<float> widths;
    float total = kButtonGap * (count - 1);
    for (const String& label : m_request.buttons) {
        widths.push_back(std::max(kDialogButtonWidth, std::ceil(look.TextWidth(label)) + 2 * kLabelPadding));
        total += widths.back();
    }
    if (total > inner) {
        std::fill(widths.begin(), widths.end(), std::max(1.0f, std::floor((inner - kButtonGap * (count - 1)) / count)));
        total = inner;
    }
    const String ellipsis = Ellipsis(look);
    const float y = top + m_text->GetHeight() + 18.0f;
    float x = kWidth - kDialogMargin - total;
    for (size_t i = 0; i < widths.size(); ++i) {
        auto* button = PlaceInDialog(*m_window, new CButton, x, y, widths[i], kDialogButtonHeight, 4.0f);
        PaintDialogButton(*button, kDialogButton[0], kDialogButton[1], kDialogButton[2]);
        button->SetFont(&look);
        SetDialogText(button->GetLabel(),
                      ShortenMiddle(look, m_request.buttons[i], widths[i] - kLabelPadding, ellipsis));
        const int32_t index = static_cast<int32_t>(i);
        m_slots.ConnectUser(button->onPress, this, &CQuestionView::SetFocus, index);
        m_slots.ConnectUser(button->onRelease, this, &CQuestionView::Choose, index);
        m_buttons.push_back(button);
        x += widths[i] + kButtonGap;
    }
    m_ring = PlaceInDialog(*m_window, new CGUI, 0.0f, y - kRingWidth, 1.0f, kDialogButtonHeight + 2 * kRingWidth, 3.0f);
    PaintDialogElement(*m_ring, kDialogAccent[0], kDialogAccent[1], kDialogAccent[2]);
    return y + kDialogButtonHeight + 12.0f;
}

void CQuestionView::Place(int32_t clientWidth, int32_t clientHeight)
{
    const float x = std::floor(std::max(0.0f, (static_cast<float>(clientWidth) - kWidth) / 2));
    const float y = std::floor(std::max(0.0f, (static_cast<float>(clientHeight) - GetHeight()) / 2));
    m_window->SetPosition(x, y);
    m_dim->SetSize(static_cast<float>(std::max(clientWidth, 0)), static_cast<float>(std::max(clientHeight, 0)));
}

float CQuestionView::GetHeight() const { return m_window->GetHeight(); }

// [SECTION] Input and drawing

void CQuestionView::SetFocus(int32_t button)
{
    m_focus = std::clamp(button, 0, GetButtonCount() - 1);
    const CButton& focused = *m_buttons[static_cast<size_t>(m_focus)];
    m_ring->SetPosition(focused.GetX() - kRingWidth, focused.GetY() - kRingWidth);
    m_ring->SetSize(focused.GetWidth() + 2 * kRingWidth, focused.GetHeight() + 2 * kRingWidth);
}

void CQuestionView::Choose(int32_t button)
{
    if (!IsDone() && button >= 0 && button < GetButtonCount())
        m_choice = button;
}

void CQuestionView::OnKey(CInputMap& event)
{
    if (event.action != InputPress || IsDone())
        return;
    event.handled = true; // nothing under the box hears keys
    if (event.character) {
        if (event.value == ' ')
            Choose(m_focus);
        return;
    }
    if (event.repeat)
        return;
    const int32_t last = GetButtonCount() - 1;
    switch (event.value) {
    case KeyEnter:
        Choose(m_focus);
        break;
    case KeyEscape:
        Choose(m_request.cancelButton);
        break;
    case KeyTab:
        SetFocus(event.shift ? (m_focus == 0 ? last : m_focus - 1) : (m_focus == last ? 0 : m_focus + 1));
        break;
    case KeyLeft:
        SetFocus(m_focus - 1);
        break;
    case KeyRight:
        SetFocus(m_focus + 1);
        break;
    default:
        break;
    }
}

void CQuestionView::OnMouse(CInputMap& event)
{
    CountHeldButtons(event, m_buttonsHeld);
}

void CQuestionView::Render()
{
    m_dim->Render();
    m_manager->RenderAll();
}

void CQuestionView::DrawOverlay()
{
    COverlayPass pass;
    Render();
}
