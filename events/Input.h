// Keyboard and mouse input: the CInputMap event record, the process-wide input signals that
// carry it, the input captures of modal dialogs, and the last mouse position. The window's
// event handling emits the events (CApp); anything may listen, on the main thread. The
// signals are made on first use and never destroyed, so listeners may outlive the
// application object.
#pragma once

#include "events/Signal.h"
#include "util/Vector.h"

#include <cstdint>

// What an input event did.
enum InputAction : int32_t {
    InputRelease = 0,
    InputPress = 1,
    InputDoubleClick = 2, // the second press of a double click, in place of a press
    InputMove = 3,
    InputWheel = 4,
};

// Mouse buttons, and the button value of moves and wheel turns.
enum MouseButton : int32_t {
    MouseLeft = 0,
    MouseRight = 1,
    MouseMiddle = 2,
    MouseNoButton = 146,
};

// Key codes (Windows virtual-key numbering). A key press is either a typed character, carrying
// the character's Unicode code point (32 and up, never a control character: 'a' is 97, 'é'
// is 233, and Shift matters), or a key: Backspace, Tab, Enter, Escape, the arrows and the
// other navigation keys, or a key pressed with Ctrl, carrying the key's code (letters as
// capitals: Ctrl+A is KeyA). The two ranges overlap (KeyLeft is '%'): CInputMap::character
// tells them apart. Key releases carry the key's code (the A key is KeyA = 65 with or
// without Shift).
enum KeyCode : int32_t {
    KeyBackspace = 8,
    KeyTab = 9,
    KeyEnter = 13,
    KeyShift = 16,
    KeyControl = 17,
    KeyAlt = 18,
    KeyEscape = 27,
    KeySpace = 32,
    KeyPageUp = 33,
    KeyPageDown = 34,
    KeyEnd = 35,
    KeyHome = 36,
    KeyLeft = 37,
    KeyUp = 38,
    KeyRight = 39,
    KeyDown = 40,
    KeyInsert = 45,
    KeyDelete = 46,
    Key0 = 48, // to Key0 + 9
    KeyA = 65, // to KeyA + 25
    KeyNumpad0 = 96,
    KeyNumpadPlus = 107,
    KeyNumpadMinus = 109,
    KeyF1 = 112, // to KeyF1 + 11
    KeyF10 = 121,
    KeyPlus = 187,  // the key of '+' (the '=' key of US layouts)
    KeyMinus = 189, // the key of '-'
};

// Modifier keys held during a key press, as bits.
enum InputModifier : uint32_t {
    ModifierShift = 1,
    ModifierControl = 2,
};

// One input event.
class CInputMap {
public:
    // Keyboard: the key code. Wheel: the delta, 120 per notch, positive away from the user.
    // Other mouse events: 0.
    int32_t value = 0;
    // Mouse buttons and moves: (x, y, 0, 0) in the GUI's units (client pixels divided by the
    // application's scale, so fractions under a zoom), origin top-left, y down.
    // Keyboard and wheel: (0, 0, 0, 0).
    CVector position = CVector(0.0f, 0.0f, 0.0f, 0.0f);
    int32_t action = InputRelease; // an InputAction
    // Mouse: a MouseButton (MouseNoButton for moves and the wheel). Keyboard: the key code.
    int32_t button = 0;
    // Key presses: made by the keyboard's auto-repeat while the key is held. Presses of
    // typed characters never carry it.
    bool repeat = false;
    // Key presses: true when value is a typed character, false when it is a key (an arrow
    // is never text). Always false for key releases and mouse events.
    bool character = false;
    // Key presses that are keys: Shift / Ctrl was held. False for typed characters (whose
    // value already shows Shift) and every other event.
    bool shift = false;
    bool control = false;
    // Key presses: set by the listener of the keyboard signal that used the key (a focused
    // edit box typed it), so that listeners after it leave the event alone; a handled press
    // does not reach the shortcut signal. Mouse moves and presses: set by the router that
    // found one of its elements under the pointer (the topmost, as routers listen in front
    // to back order), so that routers after it take the point as covered: no hover there,
    // and a press there is a press elsewhere. Emitters start it false.
    bool handled = false;
};

// The input signals. Listeners may change the event they are given; later listeners see the
// change (a listener that uses an event marks it handled). While an input capture is open
// (CInputCapture), each returns the innermost capture's own signal, and the events are
// emitted there only.
CSignal<CInputMap&>& GetKeyboardSignal();
CSignal<CInputMap&>& GetMouseSignal();
// Key presses (characters and keys) that no keyboard listener marked handled, emitted right
// after the keyboard signal: the application's shortcuts, which thus come after whatever
// holds the keyboard, whenever either was connected.
CSignal<CInputMap&>& GetShortcutSignal();

// A modal layer of input (a dialog's loop): from its construction to its destruction every
// input event goes to the receivers that connected to the input signals meanwhile (the
// dialog), and none reaches those connected before, which hear input again once it ends.
// Nothing is moved or disconnected. Captures nest; each ends before the one opened before
// it (they live on the stack).
class CInputCapture {
public:
    CInputCapture();
    ~CInputCapture();
    CInputCapture(const CInputCapture&) = delete;
    CInputCapture& operator=(const CInputCapture&) = delete;

    CSignal<CInputMap&> mouse, keyboard, shortcuts;

private:
    CInputCapture* m_outer;
};

// The position of the last mouse move, in the GUI's units: (x, y, 0, 0); (0, 0, 0, 0) before
// the first move.
CVector GetMousePosition();
// The cursor's position in screen pixels, wherever it is: (x, y, 0, 0).
CVector GetCursorScreenPosition();

// Build an event and emit it on its signal. The window's event handling calls these; tests
// and tools may too.
// A key going down (InputPress) or up (InputRelease), not a character; repeat marks the
// keyboard's auto-repeat of a held key; modifiers (InputModifier bits) those held with a press.
void EmitKey(int32_t code, InputAction action, bool repeat = false, uint32_t modifiers = 0);
// A typed character: a press with the character's code point, marked as a character.
void EmitCharacter(int32_t code);
// Records (x, y), in the GUI's units, as the last mouse position, then emits the move.
void EmitMouseMove(float x, float y);
// Emits a press, release or double-click at the last mouse position.
void EmitMouseButton(int32_t button, InputAction action);
void EmitMouseWheel(int32_t delta);
