// The look the program's own dialogs share (the file dialog and the question box): the dark
// theme's colours and metrics, untextured paints lit by their emission alone, the light text
// look, and the dialog window with its title bar and close button. These only build and
// paint widgets; the dialog that calls them owns what they return. No OpenGL context needed.
#pragma once

#include "util/String.h"

#include <cstdint>

class CButton;
class CInputMap;
class CFont;
class CGUI;
class CSprite;
class CWindow;

// Follows how many mouse buttons are down from a dialog's mouse events (at most three), so
// that the click which closed a dialog can be let go of before anything below hears it.
void CountHeldButtons(const CInputMap& event, int32_t& held);

// Metrics in client pixels.
constexpr float kDialogMargin = 10.0f;
constexpr float kDialogTitleHeight = 26.0f;
constexpr float kDialogRowHeight = 18.0f;
constexpr float kDialogButtonWidth = 80.0f;
constexpr float kDialogButtonHeight = 26.0f;

// Colours of the dark theme (red, green, blue).
constexpr float kDialogBody[3] = {0.16f, 0.16f, 0.18f};
constexpr float kDialogAccent[3] = {0.24f, 0.56f, 0.88f};
constexpr float kDialogWell[3] = {0.10f, 0.10f, 0.11f};
constexpr float kDialogButton[3] = {0.30f, 0.30f, 0.33f};

// An untextured look lit by its emission alone: (r, g, b) at opacity a.
void PaintDialogElement(CGUI& element, float r, float g, float b, float a = 1.0f);
// A push button painted (r, g, b), lighter under the pointer and darker while down, shown in
// its normal state.
void PaintDialogButton(CButton& button, float r, float g, float b);
// Sets a text element's text byte for byte: no backslash-n conversion, so that paths and
// names are shown as they are.
void SetDialogText(CFont& text, const String& value);
// The texts' look: light glyphs of font (null: none, the texts stay undrawn), left-aligned,
// one row high, centred in it.
CFont DialogTextLook(const CSprite* font);
// A new dialog window of width × height in the body colour, at depth 1, with the accent title
// bar, the title (written with look) and a close button marked "x" that turns red under the
// pointer. The caller owns it and listens to its close button.
CWindow* NewDialogWindow(const CFont& look, const String& title, float width, float height);
// The dimming layer laid over the application while a dialog runs; the caller sizes it.
void PaintDialogDim(CGUI& layer);

// element becomes a child of parent at (x, y) with the size and depth given.
template <class T>
T* PlaceInDialog(CGUI& parent, T* element, float x, float y, float width, float height, float z)
{
    element->SetParent(&parent);
    element->SetSize(width, height);
    element->SetPosition(x, y);
    element->SetZ(z);
    return element;
}
