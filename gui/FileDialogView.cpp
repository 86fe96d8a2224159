// Index: [SECTION] View: widgets and look  [SECTION] View: input and drawing
// The file dialog's widgets: building them in the dialogs' look, laying them out, their input
// and their drawing. The logic they show is in FileDialog.cpp.
#include "gui/FileDialog.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/DialogLook.h"
#include "gui/Edit.h"
#include "gui/GUIManager.h"
#include "gui/List.h"
#include "gui/Window.h"
#include "media/DrawState.h"
#include "media/ResourceManager.h"
#include "media/Sprite.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// [SECTION] View: widgets and look

namespace {

// text, or "..." and its end when it is wider than width in look's glyphs.
String FitTail(const CFont& look, const String& text, float width)
{
    float total = 0.0f;
    for (int32_t i = 0; i < text.Length(); ++i)
        total += look.Advance(static_cast<uint8_t>(text[i]));
    if (total <= width)
        return text;
    float used = 3.0f * look.Advance('.');
    int32_t start = text.Length();
    while (start > 0 && used + look.Advance(static_cast<uint8_t>(text[start - 1])) <= width)
        used += look.Advance(static_cast<uint8_t>(text[--start]));
    return "..." + text.Substring(start);
}

// The glyph tables hold printable ASCII only, so the ellipsis is three periods.
constexpr const char* kEllipsis = "...";

float TextWidth(const CFont& look, const String& text, int32_t from = 0, int32_t to = -1)
{
    if (to < 0)
        to = text.Length();
    float width = 0.0f;
    for (int32_t i = from; i < to; ++i)
        width += look.Advance(static_cast<uint8_t>(text[i]));
    return width;
}

// A row's text that fits width: as it is, or its start, the ellipsis and its end, which is
// the extension (".wav") when the name has one no wider than half the row, and the "/" of a
// folder. The start is never cut inside a UTF-8 sequence.
String FitName(const CFont& look, const String& text, float width)
{
    if (TextWidth(look, text) <= width)
        return text;
    int32_t tail = text.Length();
    const bool folder = text.EndsWith("/");
    if (folder) {
        --tail;
    } else {
        int32_t dot = -1;
        for (int32_t i = text.Length() - 1; i > 0 && dot < 0; --i)
            if (text[i] == '.')
                dot = i;
        if (dot > 0 && TextWidth(look, text, dot) <= width / 2)
            tail = dot;
    }
    const String end = text.Substring(tail);
    const float room = width - TextWidth(look, kEllipsis) - TextWidth(look, end);
    int32_t head = 0;
    float used = 0.0f;
    while (head < tail && used + look.Advance(static_cast<uint8_t>(text[head])) <= room)
        used += look.Advance(static_cast<uint8_t>(text[head++]));
    while (head > 0 && head < tail && (static_cast<uint8_t>(text[head]) & 0xC0) == 0x80)
        --head; // back to the start of the character cut
    return text.Substring(0, head) + kEllipsis + end;
}

constexpr float kScrollWidth = 10.0f;

// The path field: one line that scrolls left so that its end (where typing goes) stays in
// view, drawn clipped inside its border. Its background is a separate element, which the
// clipping would cut.
class CPathEdit : public CEdit {
public:
    void ScrollToEnd()
    {
        CFont& text = GetTextElement();
        const String& value = text.GetText();
        float width = 0.0f;
        for (int32_t i = 0; i < value.Length(); ++i)
            width += text.Advance(static_cast<uint8_t>(value[i]));
        const float border = GetBorder();
        const float room = GetWidth() - 2.0f * border - 2.0f; // the caret fits after the end
        // Wider than the text: the line never wraps.
        text.SetSize(std::max(width, room) + 64.0f, GetHeight() - border);
        text.SetPosition(border - std::max(0.0f, width - room), border);
    }

    void Render() override
    {
        const CVector at = GetAbsolutePosition();
        // Clipped inside the border, where the text starts when it is not scrolled.
        const float inset = std::max(0.0f, GetBorder() - 1.0f);
        CClipScope clip(at.x + inset, at.y, std::max(0.0f, GetWidth() - 2.0f * inset), GetHeight());
        CEdit::Render();
    }
};

} // namespace

CFileDialogView::CFileDialogView(const FileDialogRequest& request, const CSprite* font)
    : m_dim(std::make_unique<CGUI>())
{
    // The dialog hears a key before the path field does, so that it knows the field as it
    // was before the key (a Backspace on an empty field goes up) and can hand the keyboard
    // over before the field acts.
    m_slots.Connect(GetKeyboardSignal(), this, &CFileDialogView::OnKey);
    m_manager = std::make_unique<CGUIManager>();
    m_model.Open(request);

    const CFont look = DialogTextLook(font);
    PaintDialogDim(*m_dim);
    m_window = NewDialogWindow(look, !request.title.IsEmpty() ? request.title : String(request.save ? "Save" : "Open"),
                               kWidth, kHeight);
    CWindow* window = m_window;

    const float inner = kWidth - 2 * kDialogMargin;
    constexpr float kHiddenWidth = 110.0f;
    m_folderLine = PlaceInDialog(*window, new CFont(look), kDialogMargin, 32.0f, inner - kHiddenWidth - kDialogMargin, kDialogRowHeight, 4.0f);
    PaintDialogElement(*m_folderLine, 0.62f, 0.64f, 0.68f);
    auto* hidden = new CCheckBox;
    m_hidden = PlaceInDialog(*window, hidden, kWidth - kDialogMargin - kHiddenWidth, 35.0f, 12.0f, 12.0f, 4.0f);
    PaintDialogButton(*m_hidden, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
    m_hidden->SetStateColour(CButton::StateHover, 0.22f, 0.22f, 0.25f, 1.0f);
    m_hidden->SetStateColour(CButton::StateDown, kDialogAccent[0], kDialogAccent[1], kDialogAccent[2], 1.0f);
    m_hiddenLabel = PlaceInDialog(*window, new CFont(look), kWidth - kDialogMargin - kHiddenWidth + 18.0f, 32.0f,
                            kHiddenWidth - 18.0f, kDialogRowHeight, 4.0f);
    m_hiddenLabel->SetEnabled(true); // a click on the words toggles too
    SetDialogText(*m_hiddenLabel, "Hidden files");

    m_listOutline = PlaceInDialog(*window, new CGUI, kDialogMargin - 1.0f, 53.0f, inner + 2.0f, 182.0f, 3.0f);
    PaintDialogElement(*m_listOutline, kDialogAccent[0], kDialogAccent[1], kDialogAccent[2], 0.8f);
    m_listOutline->SetEnabled(false);
    m_listOutline->SetVisible(false);
    m_listBack = PlaceInDialog(*window, new CGUI, kDialogMargin, 54.0f, inner, 180.0f, 4.0f);
    PaintDialogElement(*m_listBack, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
    m_list = PlaceInDialog(*window, new CList, kDialogMargin + 4.0f, 58.0f, inner - 8.0f, 172.0f, 5.0f);
    PaintDialogElement(*m_list, 0.0f, 0.0f, 0.0f, 0.0f);
    PaintDialogElement(m_list->GetHoverHighlight(), 1.0f, 1.0f, 1.0f, 0.06f);
    PaintDialogElement(m_list->GetSelectHighlight(), kDialogAccent[0], kDialogAccent[1], kDialogAccent[2], 0.5f);
    m_list->SetFont(&look);
    m_list->AddColumn("name", inner - 8.0f - kScrollWidth - 2.0f);
    CScroll scroll;
    PaintDialogElement(scroll, 0.14f, 0.14f, 0.16f);
    scroll.GetThumb().SetSize(kScrollWidth, 28.0f);
    PaintDialogButton(scroll.GetThumb(), 0.36f, 0.36f, 0.40f);
    scroll.GetDecreaseButton().SetSize(kScrollWidth, kScrollWidth);
    PaintDialogButton(scroll.GetDecreaseButton(), 0.26f, 0.26f, 0.29f);
    scroll.GetIncreaseButton().SetSize(kScrollWidth, kScrollWidth);
    PaintDialogButton(scroll.GetIncreaseButton(), 0.26f, 0.26f, 0.29f);
    scroll.SetSize(kScrollWidth, 172.0f);
    m_list->SetScroll(&scroll);
    m_list->SetWheelScrolls(false); // the dialog scrolls it, by where the pointer is

    m_editBack = PlaceInDialog(*window, new CGUI, kDialogMargin, 242.0f, inner, 24.0f, 4.0f);
    PaintDialogElement(*m_editBack, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
    m_edit = PlaceInDialog(*window, new CPathEdit, kDialogMargin, 242.0f, inner, 24.0f, 5.0f);
    PaintDialogElement(*m_edit, 0.0f, 0.0f, 0.0f, 0.0f);
    m_edit->SetFont(&look);
    m_edit->GetTextElement().SetAlign(0);
    m_edit->SetBorder(5.0f);
    m_edit->SetLimit(static_cast<uint32_t>(kFileDialogMaxPath));

    m_message = PlaceInDialog(*window, new CFont(look), kDialogMargin, 270.0f, inner, kDialogRowHeight, 4.0f);
    PaintDialogElement(*m_message, 0.98f, 0.76f, 0.36f);
    const float buttonsY = kHeight - kDialogMargin - kDialogButtonHeight;
    // The request's option, as a button left of OK that steps through the options.
    const float optionWidth = request.options.empty() ? 0.0f : kDialogButtonWidth + kDialogMargin;
    if (!request.options.empty()) {
        m_optionButton = PlaceInDialog(*window, new CButton, kWidth - 3 * (kDialogButtonWidth + kDialogMargin), buttonsY,
                                       kDialogButtonWidth, kDialogButtonHeight, 4.0f);
        PaintDialogButton(*m_optionButton, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
        m_optionButton->SetFont(&look);
    }
    m_filterLine = PlaceInDialog(*window, new CFont(look), kDialogMargin, buttonsY,
                                 inner - 2 * (kDialogButtonWidth + kDialogMargin) - optionWidth, kDialogButtonHeight, 4.0f);
    PaintDialogElement(*m_filterLine, 0.62f, 0.64f, 0.68f);
    SetDialogText(*m_filterLine, request.filterDescription);

    m_ok = PlaceInDialog(*window, new CButton, kWidth - 2 * (kDialogButtonWidth + kDialogMargin), buttonsY, kDialogButtonWidth,
                   kDialogButtonHeight, 4.0f);
    m_cancel = PlaceInDialog(*window, new CButton, kWidth - kDialogButtonWidth - kDialogMargin, buttonsY, kDialogButtonWidth,
                       kDialogButtonHeight, 4.0f);
    for (CButton* button : {m_ok, m_cancel}) {
        PaintDialogButton(*button, kDialogButton[0], kDialogButton[1], kDialogButton[2]);
        button->SetFont(&look);
    }
    m_ok->GetLabel().SetText("OK");
    m_cancel->GetLabel().SetText("Cancel");

    // The first element is the topmost: the parts before the window behind them.
    if (m_optionButton)
        m_manager->AddElement(m_optionButton);
    for (CGUI* element : std::initializer_list<CGUI*>{m_ok, m_cancel, m_hidden, m_hiddenLabel, m_edit, m_list,
                                                      m_message, m_filterLine, m_folderLine, m_listBack,
                                                      m_listOutline, m_editBack, m_window})
        m_manager->AddElement(element);

    m_slots.Connect(GetMouseSignal(), this, &CFileDialogView::OnMouse);
    m_slots.Connect(m_edit->onChange, this, &CFileDialogView::OnEditChange);
    m_slots.Connect(m_edit->onFocus, this, &CFileDialogView::OnEditFocus);
    m_slots.Connect(m_edit->onPress, this, &CFileDialogView::OnEditPress);
    m_slots.Connect(m_list->onRowSelect, this, &CFileDialogView::OnRowSelect);
    m_slots.Connect(m_list->onRowActivate, this, &CFileDialogView::OnRowActivate);
    m_slots.Connect(m_list->onPress, this, &CFileDialogView::OnListPress);
    m_slots.Connect(m_list->onFocus, this, &CFileDialogView::OnListFocus);
    m_slots.Connect(m_list->onRelease, this, &CFileDialogView::OnListRelease);
    m_slots.Connect(m_hidden->onRelease, this, &CFileDialogView::OnHiddenClick);
    m_slots.Connect(m_hiddenLabel->onRelease, this, &CFileDialogView::OnHiddenLabelClick);
    m_slots.Connect(m_ok->onRelease, this, &CFileDialogView::OnOk);
    if (m_optionButton)
        m_slots.Connect(m_optionButton->onRelease, this, &CFileDialogView::OnOptionClick);
    m_slots.Connect(m_cancel->onRelease, this, &CFileDialogView::OnCancel);
    m_slots.Connect(m_window->GetCloseButton().onRelease, this, &CFileDialogView::OnCancel);

    Place(0, 0);
    Sync();
    m_edit->SetFocus(true);
}

// The slots (the last member) go before the manager and its widgets.
CFileDialogView::~CFileDialogView() = default;

void CFileDialogView::Place(int32_t clientWidth, int32_t clientHeight)
{
    const float x = std::floor(std::max(0.0f, (static_cast<float>(clientWidth) - kWidth) / 2));
    const float y = std::floor(std::max(0.0f, (static_cast<float>(clientHeight) - kHeight) / 2));
    m_window->SetPosition(x, y);
    m_dim->SetSize(static_cast<float>(std::max(clientWidth, 0)), static_cast<float>(std::max(clientHeight, 0)));
}

void CFileDialogView::Sync()
{
    if (m_listedSerial != m_model.GetListingSerial()) {
        m_listedSerial = m_model.GetListingSerial();
        m_list->ClearRows();
        const int32_t count = static_cast<int32_t>(m_model.GetEntries().size());
        const float width = m_list->GetColumnWidth(0);
        for (int32_t row = 0; row < count; ++row)
            m_list->AddRow(FitName(m_list->GetTemplate(), m_model.GetRowText(row), width));
        SetDialogText(*m_folderLine, FitTail(*m_folderLine, m_model.GetFolder(), m_folderLine->GetWidth()));
    }
    m_list->SetSelected(m_model.GetSelected());
    m_hidden->SetDown(m_model.GetShowHidden());
    if (m_optionButton)
        m_optionButton->GetLabel().SetText(m_model.GetRequest().options[static_cast<size_t>(m_model.GetOption())]);
    SetDialogText(m_edit->GetTextElement(), m_model.GetPathText());
    ScrollPath();
    SetDialogText(*m_message, FitTail(*m_message, m_model.GetMessage(), m_message->GetWidth()));
}

// [SECTION] View: input and drawing

void CFileDialogView::OnKey(CInputMap& event)
{
    if (event.action != InputPress || m_model.IsDone())
        return;
    const int32_t key = event.value;
    if (event.character) {
        if (!m_listKeys)
            return; // the path field types it
        if (key == '/' || key == '~') {
            GiveKeysToList(false); // the field, active now, hears this character next
            return;
        }
        if (m_model.TypeAhead(key, AppTime()) >= 0) {
            m_list->ShowRow(m_model.GetSelected());
            Sync();
        }
        return;
    }
    // Holding a key may step through the list; it must not answer: holding Enter past the
    // replace question would replace, and holding Backspace to clear the field would climb.
    if (MoveSelection(key) || event.repeat)
        return;
    switch (key) {
    case KeyEnter:
        OnOk();
        break;
    case KeyEscape:
        OnCancel();
        break;
    case KeyTab:
        GiveKeysToList(!m_listKeys);
        break;
    case KeyBackspace:
        if (m_listKeys || m_edit->GetText().IsEmpty()) {
            if (m_model.GoUp())
                m_list->ShowRow(m_model.GetSelected());
            Sync();
        }
        break;
    case KeyA + 7: // Ctrl+H (a letter arrives as a key only with Ctrl)
        m_model.SetShowHidden(!m_model.GetShowHidden());
        Sync();
        break;
    default:
        break;
    }
}

bool CFileDialogView::MoveSelection(int32_t key)
{
    const int32_t count = static_cast<int32_t>(m_model.GetEntries().size());
    const int32_t selected = m_model.GetSelected();
    const int32_t page = std::max<int32_t>(1, static_cast<int32_t>(m_list->FittingRows()) - 1);
    int32_t row = 0;
    switch (key) {
    case KeyUp:
        row = selected < 0 ? count - 1 : selected - 1;
        break;
    case KeyDown:
        row = selected + 1;
        break;
    case KeyPageUp:
        row = selected < 0 ? 0 : selected - page;
        break;
    case KeyPageDown:
        row = selected < 0 ? page : selected + page;
        break;
    case KeyHome:
    case KeyEnd:
        if (!m_listKeys)
            return false; // the path field's caret keys
        row = key == KeyHome ? 0 : count - 1;
        break;
    default:
        return false;
    }
    if (count > 0)
        SelectFromKeys(std::clamp(row, 0, count - 1));
    return true;
}

void CFileDialogView::SelectFromKeys(int32_t row)
{
    m_model.SelectRow(row);
    m_list->ShowRow(row);
    Sync();
}

void CFileDialogView::GiveKeysToList(bool toList)
{
    m_listKeys = toList;
    m_listOutline->SetVisible(toList);
    if (toList && m_edit->IsActive())
        m_edit->SetFocus(false);
    else if (!toList && !m_edit->IsActive())
        m_edit->SetFocus(true);
}

namespace {

bool Inside(const CGUI& element, float x, float y)
{
    const CVector at = element.GetAbsolutePosition();
    return x >= at.x && y >= at.y && x < at.x + element.GetWidth() && y < at.y + element.GetHeight();
}

} // namespace

void CFileDialogView::OnMouse(CInputMap& event)
{
    CountHeldButtons(event, m_buttonsHeld);
    if (event.action == InputWheel)
        OnWheel(event.value);
}

void CFileDialogView::OnWheel(int32_t delta)
{
    const CVector pointer = GetMousePosition();
    if (m_model.IsDone() || !Inside(*m_listBack, pointer.x, pointer.y)) {
        m_wheelRest = 0;
        return;
    }
    constexpr int32_t kNotch = 120;
    // Away from the user (a positive delta) shows the rows above.
    const int64_t total = static_cast<int64_t>(m_wheelRest) - delta;
    const int64_t notches = total / kNotch;
    m_wheelRest = static_cast<int32_t>(total - notches * kNotch);
    if (notches == 0)
        return;
    m_list->ScrollBy(static_cast<int32_t>(std::clamp<int64_t>(notches * kWheelRows, -INT32_MAX, INT32_MAX)));
    // The rows moved under the pointer: the hover follows them.
    m_list->HitTest(PixelOf(pointer.x), PixelOf(pointer.y));
}

void CFileDialogView::ScrollPath() { static_cast<CPathEdit*>(m_edit)->ScrollToEnd(); }

void CFileDialogView::OnEditChange(const String& text)
{
    m_model.SetPathText(text);
    m_list->SetSelected(m_model.GetSelected());
    ScrollPath();
    SetDialogText(*m_message, FitTail(*m_message, m_model.GetMessage(), m_message->GetWidth()));
}

void CFileDialogView::OnEditFocus(bool focus)
{
    if (focus) {
        m_listKeys = false;
        m_listOutline->SetVisible(false);
        return;
    }
    // Typing stays with the path field, whichever widget the mouse used last, until the
    // list takes the keyboard.
    if (!m_listKeys && m_manager->GetFocus() != m_list)
        m_edit->SetFocus(true);
}

void CFileDialogView::OnEditPress() { GiveKeysToList(false); }

void CFileDialogView::OnListFocus(bool focus)
{
    if (focus)
        GiveKeysToList(true);
}

void CFileDialogView::OnListPress()
{
    m_skipSelect = false;
    GiveKeysToList(true);
}

void CFileDialogView::OnListRelease()
{
    // A click beside the rows clears the list's selection without a signal.
    if (!m_skipSelect && m_list->GetSelected() < 0 && m_model.GetSelected() >= 0) {
        m_model.SelectRow(-1);
        Sync();
    }
}

void CFileDialogView::OnRowSelect(int32_t row, int32_t)
{
    if (m_skipSelect) {
        m_list->SetSelected(m_model.GetSelected());
        return;
    }
    m_model.SelectRow(row);
    Sync();
}

void CFileDialogView::OnRowActivate(int32_t row, int32_t)
{
    m_skipSelect = true;
    m_model.ActivateRow(row);
    Sync();
}

void CFileDialogView::OnHiddenClick()
{
    // The check box has latched already; the model follows it.
    m_model.SetShowHidden(m_hidden->IsDown());
    Sync();
}

void CFileDialogView::OnHiddenLabelClick()
{
    m_model.SetShowHidden(!m_model.GetShowHidden());
    Sync();
}

void CFileDialogView::OnOptionClick()
{
    m_model.NextOption();
    Sync();
}

void CFileDialogView::OnOk()
{
    m_model.Accept();
    Sync();
}

void CFileDialogView::OnCancel() { m_model.Cancel(); }

void CFileDialogView::Render()
{
    m_dim->Render();
    m_manager->RenderAll();
}

void CFileDialogView::DrawOverlay()
{
    COverlayPass pass;
    Render();
}
