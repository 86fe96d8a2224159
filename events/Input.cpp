#include "events/Input.h"

#include "platform/Window.h"

namespace {

int32_t s_mouseX = 0;
int32_t s_mouseY = 0;

void Emit(CSignal<CInputMap&>& signal, int32_t value, const CVector& position, int32_t action,
          int32_t button, bool repeat = false, bool character = false, uint32_t modifiers = 0)
{
    CInputMap event;
    event.value = value;
    event.position = position;
    event.action = action;
    event.button = button;
    event.repeat = repeat;
    event.character = character;
    event.shift = (modifiers & ModifierShift) != 0;
    event.control = (modifiers & ModifierControl) != 0;
    signal.Emit(event);
}

} // namespace

CSignal<CInputMap&>& GetKeyboardSignal()
{
    // Never destroyed: receivers in static objects may disconnect from it at exit.
    static CSignal<CInputMap&>* signal = new CSignal<CInputMap&>;
    return *signal;
}

CSignal<CInputMap&>& GetMouseSignal()
{
    static CSignal<CInputMap&>* signal = new CSignal<CInputMap&>;
    return *signal;
}

CVector GetMousePosition()
{
    return CVector(static_cast<float>(s_mouseX), static_cast<float>(s_mouseY), 0.0f, 0.0f);
}

CVector GetCursorScreenPosition()
{
    int32_t x = 0, y = 0;
    PlatformGetGlobalCursor(&x, &y);
    return CVector(static_cast<float>(x), static_cast<float>(y), 0.0f, 0.0f);
}

void EmitKey(int32_t code, InputAction action, bool repeat, uint32_t modifiers)
{
    // Modifiers belong to presses only.
    Emit(GetKeyboardSignal(), code, CVector(0.0f, 0.0f, 0.0f, 0.0f), action, code, repeat, false,
         action == InputPress ? modifiers : 0u);
}

void EmitCharacter(int32_t code)
{
    Emit(GetKeyboardSignal(), code, CVector(0.0f, 0.0f, 0.0f, 0.0f), InputPress, code, false, true);
}

void EmitMouseMove(int32_t x, int32_t y)
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
