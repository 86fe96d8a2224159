#include "platform/Events.h"

#include "util/String.h"

#include <SDL.h>

#include <cstring>
#include <string>

// [SECTION] Key codes

namespace {

struct KeyName {
    SDL_Keycode key;
    int32_t virtualKey;
};

// Keys whose Windows virtual-key code does not follow from a range rule below.
const KeyName kVirtualKeys[] = {
    {SDLK_BACKSPACE, 8},  {SDLK_TAB, 9},       {SDLK_RETURN, 13},    {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},    {SDLK_RSHIFT, 16},   {SDLK_LCTRL, 17},     {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},      {SDLK_RALT, 18},     {SDLK_PAUSE, 19},     {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},    {SDLK_SPACE, 32},    {SDLK_PAGEUP, 33},    {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},       {SDLK_HOME, 36},     {SDLK_LEFT, 37},      {SDLK_UP, 38},
    {SDLK_RIGHT, 39},     {SDLK_DOWN, 40},     {SDLK_PRINTSCREEN, 44}, {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},    {SDLK_LGUI, 91},     {SDLK_RGUI, 92},      {SDLK_APPLICATION, 93},
    {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107}, {SDLK_KP_MINUS, 109}, {SDLK_KP_PERIOD, 110},
    {SDLK_KP_DIVIDE, 111}, {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145},
    {SDLK_SEMICOLON, 186}, {SDLK_EQUALS, 187}, {SDLK_PLUS, 187},     {SDLK_COMMA, 188},    {SDLK_MINUS, 189},
    {SDLK_PERIOD, 190},   {SDLK_SLASH, 191},   {SDLK_BACKQUOTE, 192}, {SDLK_LEFTBRACKET, 219},
    {SDLK_BACKSLASH, 220}, {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};

// The Windows virtual-key code of a key, or 0 for a key that has none.
int32_t VirtualKeyOf(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 112 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24)
        return 124 + (key - SDLK_F13);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return 97 + (key - SDLK_KP_1);
    if (key == SDLK_KP_0)
        return 96;
    for (const KeyName& name : kVirtualKeys)
        if (name.key == key)
            return name.virtualKey;
    return 0;
}

// The key for a virtual-key code (the first table entry wins: the left Shift, Return...).
SDL_Keycode KeyOfVirtualKey(int32_t virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return SDLK_a + (virtualKey - 'A');
    if (virtualKey >= '0' && virtualKey <= '9')
        return SDLK_0 + (virtualKey - '0');
    if (virtualKey >= 112 && virtualKey <= 123)
        return SDLK_F1 + (virtualKey - 112);
    if (virtualKey >= 124 && virtualKey <= 135)
        return SDLK_F13 + (virtualKey - 124);
    if (virtualKey == 96)
        return SDLK_KP_0;
    if (virtualKey >= 97 && virtualKey <= 105)
        return SDLK_KP_1 + (virtualKey - 97);
    for (const KeyName& name : kVirtualKeys)
        if (name.virtualKey == virtualKey)
            return name.key;
    return SDLK_UNKNOWN;
}

// The press a key-down gives, marked as a key: the keys whose characters text input does not
// deliver, the arrows and the navigation keys, F10 and Alt (the menu keys), and any key with
// a virtual-key code while Ctrl is held (Ctrl+S is a shortcut, not typing). 0 for every other key: its presses come from
// text input.
int32_t KeyPressOf(const SDL_Keysym& keysym)
{
    switch (keysym.sym) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 13;
    case SDLK_ESCAPE: return 27;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_F10: return 121; // opens the menu, as Alt pressed and released alone does
    case SDLK_LALT:
    case SDLK_RALT: return (keysym.mod & KMOD_CTRL) ? 0 : 18;
    default: break;
    }
    if (!(keysym.mod & KMOD_CTRL))
        return 0;
    const int32_t code = VirtualKeyOf(keysym.sym);
    switch (code) {
    case 16: case 17: case 18: // Shift, Ctrl and Alt themselves
    case 20: case 91: case 92: case 93: case 144: case 145: // locks and system keys
        return 0;
    default:
        return code;
    }
}

void Add(PlatformMessage* out, PlatformEventKind kind, int32_t a = 0, int32_t b = 0, int32_t c = 0,
         uint32_t modifiers = 0)
{
    if (out->count < PlatformMessage::kMaxEvents)
        out->events[out->count++] = PlatformEvent{kind, a, b, c, modifiers};
}

uint32_t ModifiersOf(uint16_t mod)
{
    return ((mod & KMOD_SHIFT) ? PlatformModShift : 0u) | ((mod & KMOD_CTRL) ? PlatformModCtrl : 0u) |
           ((mod & KMOD_ALT) ? PlatformModAlt : 0u);
}

// Whether a code point is a control character (C0, DEL or C1), which text input never types.
bool IsControl(uint32_t codePoint) { return codePoint < 32 || (codePoint >= 0x7F && codePoint <= 0x9F); }

} // namespace

static std::string g_droppedFile; // the path of the last dropped file handed out

// [SECTION] Translation

void PlatformPrepareInput()
{
    SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, "4");
    // Closing the window is a request the program may decline (unsaved work): it must not
    // also queue a quit that nobody asked for.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

void PlatformTranslateEvent(const SDL_Event& event, int32_t clientWidth, int32_t clientHeight,
                            PlatformMessage* out)
{
    out->type = event.type;
    out->param1 = out->param2 = 0;
    out->count = 0;
    switch (event.type) {
    case SDL_QUIT:
        Add(out, PlatformEventKind::Quit);
        break;

    case SDL_DROPFILE:
        Add(out, PlatformEventKind::DropFile);
        break;

    case SDL_AUDIODEVICEADDED:
    case SDL_AUDIODEVICEREMOVED:
        out->param1 = static_cast<int32_t>(event.adevice.which);
        out->param2 = event.adevice.iscapture ? 1 : 0;
        Add(out, event.type == SDL_AUDIODEVICEADDED ? PlatformEventKind::AudioDeviceAdded
                                                    : PlatformEventKind::AudioDeviceRemoved,
            out->param1, out->param2);
        break;

    case SDL_WINDOWEVENT:
        out->param1 = event.window.event;
        out->param2 = event.window.data1;
        switch (event.window.event) {
        case SDL_WINDOWEVENT_MOVED:
            Add(out, PlatformEventKind::Move, event.window.data1, event.window.data2);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            Add(out, PlatformEventKind::Size, event.window.data1, event.window.data2, 0);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            Add(out, PlatformEventKind::Size, clientWidth, clientHeight, 0);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            Add(out, PlatformEventKind::Size, clientWidth, clientHeight, 1);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            Add(out, PlatformEventKind::Size, clientWidth, clientHeight, 2);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            Add(out, PlatformEventKind::FocusGained);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            Add(out, PlatformEventKind::FocusLost);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            Add(out, PlatformEventKind::Close);
            break;
        default:
            break;
        }
        break;

    case SDL_KEYDOWN:
        out->param1 = event.key.keysym.sym;
        out->param2 = event.key.repeat;
        if (int32_t code = KeyPressOf(event.key.keysym))
            Add(out, PlatformEventKind::KeyPress, code, 0, event.key.repeat != 0 ? 1 : 0,
                ModifiersOf(event.key.keysym.mod));
        break;

    case SDL_KEYUP:
        out->param1 = event.key.keysym.sym;
        out->param2 = event.key.repeat;
        if (int32_t code = VirtualKeyOf(event.key.keysym.sym))
            Add(out, PlatformEventKind::KeyRelease, code);
        break;

    case SDL_TEXTINPUT: {
        const char* text = event.text.text;
        const int32_t length = static_cast<int32_t>(strnlen(text, sizeof(event.text.text)));
        out->param1 = static_cast<unsigned char>(text[0]);
        out->param2 = length;
        // One press per character; malformed bytes name no character and type nothing.
        for (int32_t at = 0; at < length;) {
            uint32_t codePoint = 0;
            const int32_t size = Utf8Decode(text, length, at, &codePoint);
            const bool malformed = codePoint == kReplacementCharacter && size == 1;
            if (!malformed && !IsControl(codePoint))
                Add(out, PlatformEventKind::KeyPress, static_cast<int32_t>(codePoint), 1);
            at += size;
        }
        break;
    }

    case SDL_MOUSEMOTION:
        out->param1 = event.motion.x;
        out->param2 = event.motion.y;
        Add(out, PlatformEventKind::MouseMove, event.motion.x, event.motion.y);
        break;

    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        out->param1 = event.button.button;
        out->param2 = event.button.clicks;
        int32_t button = event.button.button == SDL_BUTTON_LEFT     ? 0
                         : event.button.button == SDL_BUTTON_RIGHT  ? 1
                         : event.button.button == SDL_BUTTON_MIDDLE ? 2
                                                                    : -1;
        if (button < 0)
            break;
        int32_t action = event.type == SDL_MOUSEBUTTONUP ? 0 : event.button.clicks >= 2 ? 2 : 1;
        Add(out, PlatformEventKind::MouseButton, button, action);
        break;
    }

    case SDL_MOUSEWHEEL: {
        int32_t notches = event.wheel.y;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            notches = -notches;
        out->param1 = event.wheel.y;
        out->param2 = event.wheel.x;
        if (notches != 0)
            Add(out, PlatformEventKind::MouseWheel, notches * 120);
        break;
    }

    default:
        break;
    }
}

bool PlatformPollMessage(PlatformWindow* window, PlatformMessage* out)
{
    if (!SDL_WasInit(SDL_INIT_EVENTS))
        return false;
    SDL_Event event;
    if (!SDL_PollEvent(&event))
        return false;
    int32_t width = 0, height = 0;
    PlatformGetClientSize(window, &width, &height);
    PlatformTranslateEvent(event, width, height, out);
    if (event.type == SDL_DROPFILE || event.type == SDL_DROPTEXT) {
        // The event owns its text; keep the path for the program and free it here.
        if (event.type == SDL_DROPFILE)
            g_droppedFile = event.drop.file ? event.drop.file : "";
        SDL_free(event.drop.file);
    }
    return true;
}

const char* PlatformDroppedFile() { return g_droppedFile.c_str(); }

bool PlatformWaitForEvent(uint32_t milliseconds)
{
    if (!SDL_WasInit(SDL_INIT_EVENTS)) {
        SDL_Delay(milliseconds);
        return false;
    }
    // Without an event to fill, SDL only looks: the event stays queued.
    const int timeout = milliseconds > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(milliseconds);
    return SDL_WaitEventTimeout(nullptr, timeout) == 1;
}

// [SECTION] Synthetic input

namespace {

// The window synthetic input is addressed to: the one with the keyboard focus, else the one
// under the mouse, else none.
Uint32 TargetWindowID()
{
    SDL_Window* window = SDL_GetKeyboardFocus();
    if (!window)
        window = SDL_GetMouseFocus();
    return window ? SDL_GetWindowID(window) : 0;
}

bool Push(SDL_Event& event)
{
    event.common.timestamp = SDL_GetTicks();
    return PlatformPushEvent(event);
}

bool PushWindowEvent(Uint8 id)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = TargetWindowID();
    event.window.event = id;
    return Push(event);
}

} // namespace

bool PlatformPushEvent(const SDL_Event& event)
{
    if (!SDL_WasInit(SDL_INIT_EVENTS))
        return false;
    SDL_Event copy = event;
    return SDL_PushEvent(&copy) == 1;
}

bool PlatformPushMouseMove(int32_t x, int32_t y)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = TargetWindowID();
    event.motion.x = x;
    event.motion.y = y;
    return Push(event);
}

bool PlatformPushMouseButton(int32_t button, bool pressed, int32_t clicks)
{
    static const Uint8 kButtons[3] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
    if (button < 0 || button > 2)
        return false;
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = pressed ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = TargetWindowID();
    event.button.button = kButtons[button];
    event.button.state = pressed ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = static_cast<Uint8>(clicks < 1 ? 1 : clicks > 255 ? 255 : clicks);
    return Push(event);
}

bool PlatformPushMouseWheel(int32_t notches)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = TargetWindowID();
    event.wheel.y = notches;
    event.wheel.preciseY = static_cast<float>(notches);
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return Push(event);
}

bool PlatformPushText(const char* text)
{
    if (!text)
        return false;
    const size_t bytes = std::strlen(text);
    const int32_t length = bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes);
    constexpr int32_t kChunk = sizeof(SDL_TextInputEvent::text) - 1;
    for (int32_t start = 0; start < length;) {
        // Whole characters only: a chunk ends before a sequence that would not fit.
        int32_t count = 0;
        while (start + count < length) {
            const int32_t size = Utf8Decode(text, length, start + count, nullptr);
            if (count + size > kChunk)
                break;
            count += size;
        }
        SDL_Event event;
        std::memset(&event, 0, sizeof event);
        event.type = SDL_TEXTINPUT;
        event.text.windowID = TargetWindowID();
        std::memcpy(event.text.text, text + start, static_cast<size_t>(count));
        if (!Push(event))
            return false;
        start += count;
    }
    return true;
}

bool PlatformPushKey(int32_t virtualKey, bool pressed, bool control, bool shift)
{
    SDL_Keycode key = KeyOfVirtualKey(virtualKey);
    if (key == SDLK_UNKNOWN)
        return false;
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = pressed ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = TargetWindowID();
    event.key.state = pressed ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    event.key.keysym.mod = static_cast<Uint16>((control ? KMOD_LCTRL : KMOD_NONE) | (shift ? KMOD_LSHIFT : KMOD_NONE));
    return Push(event);
}

bool PlatformPushWindowClose() { return PushWindowEvent(SDL_WINDOWEVENT_CLOSE); }

bool PlatformPushDropFile(const char* path)
{
    if (!SDL_WasInit(SDL_INIT_EVENTS) || !path)
        return false;
    SDL_Event event{};
    event.type = SDL_DROPFILE;
    event.drop.file = SDL_strdup(path); // freed by whoever takes the event, as SDL's own
    event.drop.windowID = 0;
    if (!event.drop.file)
        return false;
    if (SDL_PushEvent(&event) == 1)
        return true;
    SDL_free(event.drop.file);
    return false;
}

bool PlatformPushQuit()
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_QUIT;
    return Push(event);
}

bool PlatformPushAudioDevice(bool added, bool capture, uint32_t id)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = added ? SDL_AUDIODEVICEADDED : SDL_AUDIODEVICEREMOVED;
    event.adevice.which = id;
    event.adevice.iscapture = capture ? 1 : 0;
    return Push(event);
}
