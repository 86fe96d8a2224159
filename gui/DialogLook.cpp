#include "gui/DialogLook.h"

#include "events/Input.h"

#include "gui/Button.h"
#include "gui/Window.h"
#include "media/Sprite.h"

#include <algorithm>

void PaintDialogElement(CGUI& element, float r, float g, float b, float a)
{
    CMaterial& material = element.material;
    const float emission[4] = {r, g, b, a};
    std::copy(emission, emission + 4, material.emission);
    std::fill(material.ambient, material.ambient + 4, 0.0f);
    std::fill(material.diffuse, material.diffuse + 3, 0.0f);
    material.diffuse[3] = a;
}

void PaintDialogButton(CButton& button, float r, float g, float b)
{
    PaintDialogElement(button, r, g, b);
    button.SetStateColour(CButton::StateHover, std::min(1.0f, r + 0.1f), std::min(1.0f, g + 0.1f),
                          std::min(1.0f, b + 0.11f), 1.0f);
    button.SetStateColour(CButton::StateDown, r * 0.75f, g * 0.75f, b * 0.75f, 1.0f);
    button.SetState(CButton::StateNormal);
}

void SetDialogText(CFont& text, const String& value)
{
    if (text.GetText() != value)
        text.SetPlainText(value);
}

CFont DialogTextLook(const CSprite* font)
{
    CFont look;
    if (font)
        look.SetSprite(*font);
    PaintDialogElement(look, 0.90f, 0.91f, 0.93f);
    look.SetSize(100.0f, kDialogRowHeight);
    look.SetAlign(3);
    return look;
}

CWindow* NewDialogWindow(const CFont& look, const String& title, float width, float height)
{
    auto* window = new CWindow;
    PaintDialogElement(*window, kDialogBody[0], kDialogBody[1], kDialogBody[2]);
    window->SetZ(1.0f);
    CGUI& bar = window->GetTitleBar();
    PaintDialogElement(bar, kDialogAccent[0], kDialogAccent[1], kDialogAccent[2]);
    bar.SetSize(width, kDialogTitleHeight);
    CButton& close = window->GetCloseButton();
    close.SetSize(18.0f, 18.0f);
    PaintDialogButton(close, kDialogAccent[0], kDialogAccent[1], kDialogAccent[2]);
    close.SetStateColour(CButton::StateHover, 0.85f, 0.30f, 0.30f, 1.0f);
    close.SetFont(&look);
    close.GetLabel().SetText("x");
    window->SetFont(&look);
    window->GetTitle().SetPosition(kDialogMargin, 0.0f);
    SetDialogText(window->GetTitle(), title);
    window->SetSize(width, height);
    return window;
}

void PaintDialogDim(CGUI& layer) { PaintDialogElement(layer, 0.0f, 0.0f, 0.0f, 0.45f); }

void CountHeldButtons(const CInputMap& event, int32_t& held)
{
    if (event.action == InputPress || event.action == InputDoubleClick)
        held = std::min(held + 1, 3);
    else if (event.action == InputRelease)
        held = std::max(held - 1, 0);
}
