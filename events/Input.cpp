#include "events/Input.h"

#include "platform/Window.h"

namespace {

CInputCapture* s_capture = nullptr; // the innermost open capture
float s_mouseX = 0.0f;
float s_mouseY = 0.0f;

CInputMap Make(int32_t value, const CVector& position, int32_t action, int32_t button)
{
    CInputMap event;
    event.value = value;
    event.position = position;
    event.action = action;
    event.button = button;
    return event;
}

void Emit(CSignal<CInputMap&>& signal, int32_t value, const CVector& position, int32_t action, int32_t button)
{
    CInputMap event = Make(value, position, action, button);
    signal.Emit(event);
}

// The keyboard signal, then the shortcut signal for a press nobody used.
void EmitKeyboard(CInputMap& event)
{
    GetKeyboardSignal().Emit(event);
    if (event.action == InputPress && !event.handled)
        GetShortcutSignal().Emit(event);
}

} // namespace

CInputCapture::CInputCapture() : m_outer(s_capture) { s_capture = this; }

CInputCapture::~CInputCapture() { s_capture = m_outer; }

CSignal<CInputMap&>& GetKeyboardSignal()
{
    // Never destroyed: receivers in static objects may disconnect from it at exit.
    static CSignal<CInputMap&>* signal = new CSignal<CInputMap&>;
    return s_capture ? s_capture->keyboard : *signal;
}

CSignal<CInputMap&>& GetShortcutSignal()
{
    static CSignal<CInputMap&>* signal = new CSignal<CInputMap&>;
    return s_capture ? s_capture->shortcuts : *signal;
}

CSignal<CInputMap&>& GetMouseSignal()
{
    static CSignal<CInputMap&>* signal = new CSignal<CInputMap&>;
    return s_capture ? s_capture->mouse : *signal;
}

CVector GetMousePosition()
{
    return CVector(s_mouseX, s_mouseY, 0.0f, 0.0f);
}

CVector GetCursorScreenPosition()
{
    int32_t x = 0, y = 0;
    PlatformGetGlobalCursor(&x, &y);
    return CVector(static_cast<float>(x), static_cast<float>(y), 0.0f, 0.0f);
}

void EmitKey(int32_t code, InputAction action, bool repeat, uint32_t modifiers)
{
    CInputMap event = Make(code, CVector(0.0f, 0.0f, 0.0f, 0.0f), action, code);
    event.repeat = repeat;
    if (action == InputPress) {
        event.shift = (modifiers & ModifierShift) != 0;
        event.control = (modifiers & ModifierControl) != 0;
    }
    EmitKeyboard(event);
}

void EmitCharacter(int32_t code)
{
    CInputMap event = Make(code, CVector(0.0f, 0.0f, 0.0f, 0.0f), InputPress, code);
    event.character = true;
    EmitKeyboard(event);
}

void EmitMouseMove(float x, float y)
{
    s_mouseX = x;
    s_mouseY = y;
    Emit(GetMouseSignal(), 0, GetMousePosition(), InputMove, MouseNoButton);
}

void EmitMouseButton(int32_t button, InputAction action)
{
    Emit(GetMouseSignal(), 0, GetMousePosition(), action, button);
}

void EmitMouseWheel(int32_t delta)
{
    Emit(GetMouseSignal(), delta, CVector(0.0f, 0.0f, 0.0f, 0.0f), InputWheel, MouseNoButton);
}
