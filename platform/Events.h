// Window-system events, as the program sees them: each SDL event becomes one PlatformMessage
// holding the program events it stands for (window moved or resized, focus, close, key
// presses with keys' codes or typed characters' code points, key releases with Windows
// virtual-key codes, mouse moves, buttons and wheel, audio devices that come and go). The translation is a pure function so that tests can drive it with
// synthetic SDL events; the Push functions put synthetic input into the real queue, for tests
// that drive the whole program. A key press says whether it is a typed character or a key, so
// that the arrows (37 to 40, the codes of % & ' () never type. The main loop sleeps in
// PlatformWaitForEvent until the next event or its next due time. Main thread only.
#pragma once

#include <cstdint>

#include "platform/Window.h"

union SDL_Event;

enum class PlatformEventKind : uint8_t {
    Move,        // a, b: the client area's new position
    Size,        // a, b: client width and height; c: 0 restored, 1 minimised, 2 maximised
    FocusGained,
    FocusLost,
    Close,       // the user asked to close the window
    Quit,        // the program was asked to end (last window closed, SIGINT, SIGTERM)
    KeyPress,    // a: the code; b: 1 for a typed character (text input: a's the character's
                 // Unicode code point, never a control character), 0 for a key: Backspace 8,
                 // Tab 9, Enter 13, Escape 27, Page Up 33, Page Down 34, End 35, Home 36,
                 // the arrows 37 to 40, Insert 45, Delete 46, and any key with a virtual-key
                 // code pressed with Ctrl; c: 1 for the keyboard's auto-repeat of a held key
                 // (never for typed text); modifiers: the PlatformModifier bits held (keys
                 // only; 0 for typed text, which already carries Shift's effect)
    KeyRelease,  // a: virtual-key code (letters as capitals, digits 48-57, F1 = 112 ...)
    MouseMove,   // a, b: position in client pixels, origin top-left
    MouseButton, // a: 0 left, 1 right, 2 middle; b: 0 release, 1 press, 2 double-click
    MouseWheel,  // a: delta, 120 per notch, positive away from the user
    DropFile,    // a file was dropped on the window: its path is PlatformDroppedFile()
    AudioDeviceAdded,   // a: the new device's index in the platform's list; b: 1 capture, 0 output
    AudioDeviceRemoved, // a: the id of the open device that went away; b: 1 capture, 0 output
};

// Modifier keys held during a key press.
enum PlatformModifier : uint32_t {
    PlatformModShift = 1,
    PlatformModCtrl = 2,
    PlatformModAlt = 4,
};

struct PlatformEvent {
    PlatformEventKind kind;
    int32_t a, b, c;
    uint32_t modifiers; // key presses: PlatformModifier bits; 0 otherwise
};

// What one SDL event stands for. type, param1 and param2 identify the raw event for those who
// listen to everything: the SDL event type and two of its fields (window events: the window
// event id and its first datum; keys: keycode and repeat flag; text: the first byte and the
// byte count; motion: x, y; buttons: button number and click count; wheel: y, x; audio
// devices: the device's index or id and 1 for capture; others 0).
struct PlatformMessage {
    static constexpr uint32_t kMaxEvents = 32; // one text event holds at most 31 bytes

    uint32_t type = 0;
    int32_t param1 = 0;
    int32_t param2 = 0;
    uint32_t count = 0;
    PlatformEvent events[kMaxEvents];
};

// Sets the window system's input settings that the translation relies on: a double click only
// within 4 pixels of the first click (SDL's own radius is 32, so two single clicks on
// neighbouring controls would count as one double click). Call before the video subsystem
// starts; PlatformInitVideo does.
void PlatformPrepareInput();

// Translates one event. clientWidth and clientHeight are the window's current client size,
// which the minimise, maximise and restore notifications report.
void PlatformTranslateEvent(const SDL_Event& event, int32_t clientWidth, int32_t clientHeight,
                            PlatformMessage* out);

// Takes the next queued event, translated (window gives the client size; may be null); false
// when the queue is empty or the window system is not running.
bool PlatformPollMessage(PlatformWindow* window, PlatformMessage* out);

// The path of the file of the last DropFile event PlatformPollMessage returned (UTF-8, as the
// desktop gave it); empty before any. Valid until the next such event.
const char* PlatformDroppedFile();

// Waits until an event is queued or milliseconds ms have passed, leaving the event in the
// queue for PlatformPollMessage; true when one is queued. Without the event system running it
// only sleeps, and returns false.
bool PlatformWaitForEvent(uint32_t milliseconds);

// [SECTION] Synthetic input through the real queue. False when the event could not be queued
// (the window system is not running, or the queue is full or filtered).

bool PlatformPushEvent(const SDL_Event& event);
bool PlatformPushMouseMove(int32_t x, int32_t y);
// button: 0 left, 1 right, 2 middle; clicks 2 on the second press of a double click.
bool PlatformPushMouseButton(int32_t button, bool pressed, int32_t clicks = 1);
// notches: positive away from the user.
bool PlatformPushMouseWheel(int32_t notches);
// Typed text in UTF-8, as the keyboard's text input delivers it (at most 31 bytes per event;
// longer text is queued as several events, never splitting a character).
bool PlatformPushText(const char* text);
// A key going down or up, named by its virtual-key code (65 for A, 13 for Enter, 37 for left),
// with Ctrl held when control is true and Shift when shift is.
bool PlatformPushKey(int32_t virtualKey, bool pressed, bool control = false, bool shift = false);
bool PlatformPushWindowClose();
// A file dropped on the window, as the desktop's drag and drop delivers it.
bool PlatformPushDropFile(const char* path);
bool PlatformPushQuit();
// An audio device appearing (id: its index) or going away (id: the open device's id), as the
// platform reports a headset plugged in or out.
bool PlatformPushAudioDevice(bool added, bool capture, uint32_t id);
