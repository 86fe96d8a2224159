#include "gui/ProgressBox.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/DialogLook.h"
#include "gui/Font.h"
#include "gui/GUIManager.h"
#include "gui/Progress.h"
#include "gui/Window.h"
#include "media/DrawState.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kInset = 16.0f;
constexpr float kBarHeight = 14.0f;

} // namespace

CProgressView::CProgressView(const String& title, const String& text, const CSprite* font)
    : m_dim(std::make_unique<CGUI>())
{
    m_slots.Connect(GetKeyboardSignal(), this, &CProgressView::OnKey);
    m_slots.Connect(GetMouseSignal(), this, &CProgressView::OnMouse);
    m_manager = std::make_unique<CGUIManager>();
    const CFont look = DialogTextLook(font);
    PaintDialogDim(*m_dim);
    const float inner = kWidth - 2 * kInset;
    const float textTop = kDialogTitleHeight + 14.0f;
    const float barTop = textTop + kDialogRowHeight + 8.0f;
    const float buttonTop = barTop + kBarHeight + 16.0f;
    m_window = NewDialogWindow(look, title, kWidth, buttonTop + kDialogButtonHeight + 12.0f);
    m_slots.Connect(m_window->GetCloseButton().onRelease, this, &CProgressView::Cancel);

    m_text = PlaceInDialog(*m_window, new CFont(look), kInset, textTop, inner, kDialogRowHeight, 4.0f);
    SetDialogText(*m_text, Utf8Sanitize(text));
    m_bar = PlaceInDialog(*m_window, new CProgress, kInset, barTop, inner, kBarHeight, 4.0f);
    PaintDialogElement(*m_bar, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
    PaintDialogElement(m_bar->GetFill(), kDialogAccent[0], kDialogAccent[1], kDialogAccent[2]);
    m_bar->SetPercent(0.0f);
    m_cancel = PlaceInDialog(*m_window, new CButton, kWidth - kDialogMargin - kDialogButtonWidth, buttonTop,
                             kDialogButtonWidth, kDialogButtonHeight, 4.0f);
    PaintDialogButton(*m_cancel, kDialogButton[0], kDialogButton[1], kDialogButton[2]);
    m_cancel->SetFont(&look);
    SetDialogText(m_cancel->GetLabel(), "Cancel");
    m_slots.Connect(m_cancel->onRelease, this, &CProgressView::Cancel);

    // The first element is the topmost.
    for (CGUI* element : std::initializer_list<CGUI*>{m_cancel, m_bar, m_text, m_window})
        m_manager->AddElement(element);
    Place(0, 0);
}

// The slots (the last member) go before the manager and its widgets.
CProgressView::~CProgressView() = default;

void CProgressView::Place(int32_t clientWidth, int32_t clientHeight)
{
    const float x = std::floor(std::max(0.0f, (static_cast<float>(clientWidth) - kWidth) / 2));
    const float y = std::floor(std::max(0.0f, (static_cast<float>(clientHeight) - m_window->GetHeight()) / 2));
    m_window->SetPosition(x, y);
    m_dim->SetSize(static_cast<float>(std::max(clientWidth, 0)), static_cast<float>(std::max(clientHeight, 0)));
}

void CProgressView::SetProgress(float share) { m_bar->SetPercent(share * 100.0f); }

float CProgressView::GetProgress() const { return m_bar->GetPercent() * 0.01f; }

void CProgressView::OnKey(CInputMap& event)
{
    if (event.action != InputPress)
        return;
    event.handled = true; // nothing under the box hears keys
    if (event.repeat)
        return;
    if ((event.character && event.value == ' ') ||
        (!event.character && (event.value == KeyEnter || event.value == KeyEscape)))
        Cancel();
}

void CProgressView::OnMouse(CInputMap& event)
{
    CountHeldButtons(event, m_buttonsHeld);
}

void CProgressView::DrawOverlay()
{
    COverlayPass pass;
    m_dim->Render();
    m_manager->RenderAll();
}
