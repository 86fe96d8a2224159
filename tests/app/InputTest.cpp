// From SDL events to program events: each synthetic SDL event goes through the platform's
// translation and the application's event handler, and the test looks at the CInputMap
// events and window signals that come out.
#include "app/App.h"
#include "events/Input.h"
#include "gui/Edit.h"
#include "platform/Events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Heard {
    char signal; // 'k' keyboard, 'm' mouse
    int32_t value;
    float x, y, z, w;
    int32_t action;
    int32_t button;
    bool character;
};

bool operator==(const Heard& a, const Heard& b)
{
    return a.signal == b.signal && a.value == b.value && a.x == b.x && a.y == b.y && a.z == b.z &&
           a.w == b.w && a.action == b.action && a.button == b.button && a.character == b.character;
}

std::ostream& operator<<(std::ostream& out, const Heard& h)
{
    return out << h.signal << "{value " << h.value << ", (" << h.x << ", " << h.y << ", " << h.z
               << ", " << h.w << "), action " << h.action << ", button " << h.button
               << (h.character ? ", character}" : "}");
}

// A key going down (action 1) or up (action 0), not a character.
Heard Key(int32_t code, int32_t action) { return Heard{'k', code, 0, 0, 0, 0, action, code, false}; }
// A typed character.
Heard Char(int32_t code) { return Heard{'k', code, 0, 0, 0, 0, 1, code, true}; }
Heard Mouse(int32_t value, float x, float y, int32_t action, int32_t button)
{
    return Heard{'m', value, x, y, 0, 0, action, button, false};
}

class CRecorder {
public:
    CRecorder()
    {
        slots.Connect(GetKeyboardSignal(), this, &CRecorder::OnKey);
        slots.Connect(GetMouseSignal(), this, &CRecorder::OnMouse);
    }
    void OnKey(CInputMap& e) { Record('k', e); }
    void OnMouse(CInputMap& e) { Record('m', e); }
    void Record(char signal, const CInputMap& e)
    {
        heard.push_back(Heard{signal, e.value, e.position.x, e.position.y, e.position.z,
                              e.position.w, e.action, e.button, e.character});
        log.push_back(std::string(1, signal));
    }
    std::vector<Heard> heard;
    std::vector<std::string> log;
    CSlotList slots;
};

class CTestApp : public CApp {
public:
    int Run(int, char**) override { return 0; }
};

SDL_Event Blank(uint32_t type)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    return event;
}

SDL_Event KeyEvent(uint32_t type, SDL_Keycode key, uint8_t repeat = 0)
{
    SDL_Event event = Blank(type);
    event.key.keysym.sym = key;
    event.key.repeat = repeat;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    return event;
}

SDL_Event Text(const char* text)
{
    SDL_Event event = Blank(SDL_TEXTINPUT);
    std::strncpy(event.text.text, text, sizeof event.text.text - 1);
    return event;
}

SDL_Event Motion(int32_t x, int32_t y)
{
    SDL_Event event = Blank(SDL_MOUSEMOTION);
    event.motion.x = x;
    event.motion.y = y;
    return event;
}

SDL_Event Button(bool down, uint8_t button, uint8_t clicks, int32_t x, int32_t y)
{
    SDL_Event event = Blank(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
    event.button.button = button;
    event.button.clicks = clicks;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event Wheel(int32_t y, int32_t x = 0, uint32_t direction = SDL_MOUSEWHEEL_NORMAL)
{
    SDL_Event event = Blank(SDL_MOUSEWHEEL);
    event.wheel.y = y;
    event.wheel.x = x;
    event.wheel.direction = direction;
    return event;
}

SDL_Event Window(uint8_t id, int32_t data1 = 0, int32_t data2 = 0)
{
    SDL_Event event = Blank(SDL_WINDOWEVENT);
    event.window.event = id;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}

// What the window's event handler does with one SDL event, the window being 800 × 600.
void Feed(const SDL_Event& event)
{
    PlatformMessage message;
    PlatformTranslateEvent(event, 800, 600, &message);
    CApp::HandleMessage(message);
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { Feed(Motion(0, 0)); recorder.heard.clear(); recorder.log.clear(); }
    CRecorder recorder;
};

TEST_F(InputTest, LetterPressCarriesTheCharacterAndReleaseTheKeyCode)
{
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_a)); // the press comes from text input
    Feed(Text("a"));
    Feed(KeyEvent(SDL_KEYUP, SDLK_a));
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Char(97), Key(65, 0)}));

    recorder.heard.clear();
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_LSHIFT));
    Feed(Text("A"));
    Feed(KeyEvent(SDL_KEYUP, SDLK_a));
    Feed(KeyEvent(SDL_KEYUP, SDLK_LSHIFT));
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Char(65), Key(65, 0), Key(16, 0)}));
}

TEST_F(InputTest, ArrowsCarryTheirKeyCodesBothWaysAsKeysNotCharacters)
{
    const SDL_Keycode arrows[] = {SDLK_LEFT, SDLK_UP, SDLK_RIGHT, SDLK_DOWN};
    for (SDL_Keycode key : arrows) {
        Feed(KeyEvent(SDL_KEYDOWN, key));
        Feed(KeyEvent(SDL_KEYDOWN, key, 1)); // auto-repeat presses again
        Feed(KeyEvent(SDL_KEYUP, key));
    }
    std::vector<Heard> expected;
    for (int32_t code = 37; code <= 40; ++code) {
        expected.push_back(Key(code, 1));
        expected.push_back(Key(code, 1));
        expected.push_back(Key(code, 0));
    }
    EXPECT_EQ(recorder.heard, expected);
}

TEST_F(InputTest, EditingAndNavigationKeysPressFromKeyDownAsKeys)
{
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_BACKSPACE));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_BACKSPACE, 1));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_TAB));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_RETURN));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_KP_ENTER));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_SPACE)); // its press comes from text input
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_F1));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_s));
    // Navigation keys share their codes with ! " # $ - . and must not read as them.
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_PAGEUP));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_PAGEDOWN));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_END));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_HOME));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_INSERT));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_DELETE));
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Key(8, 1), Key(8, 1), Key(9, 1), Key(13, 1),
                                                  Key(13, 1), Key(27, 1), Key(33, 1), Key(34, 1),
                                                  Key(35, 1), Key(36, 1), Key(45, 1), Key(46, 1)}));
}

TEST_F(InputTest, KeysHeldWithControlPressAsShortcutsNotAsText)
{
    SDL_Event s = KeyEvent(SDL_KEYDOWN, SDLK_s);
    s.key.keysym.mod = KMOD_RCTRL;
    Feed(s);
    SDL_Event f5 = KeyEvent(SDL_KEYDOWN, SDLK_F5);
    f5.key.keysym.mod = KMOD_LCTRL | KMOD_LSHIFT;
    Feed(f5);
    SDL_Event control = KeyEvent(SDL_KEYDOWN, SDLK_LCTRL); // the modifier alone is no shortcut
    control.key.keysym.mod = KMOD_LCTRL;
    Feed(control);
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Key(83, 1), Key(116, 1)}));
}

TEST_F(InputTest, TextInputPressesEachPrintableCharacter)
{
    Feed(Text("a1 ~"));
    Feed(Text("\xC3\xA9z\x7F\xE2\x82\xAC")); // é, z, DEL (a control: nothing), €
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Char('a'), Char('1'), Char(' '), Char('~'), Char(0xE9), Char('z'),
                                                  Char(0x20AC)}));
    // The characters that share their codes with the arrows are characters here.
    recorder.heard.clear();
    Feed(Text("%&'("));
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Char(37), Char(38), Char(39), Char(40)}));
}

TEST_F(InputTest, KeyReleasesCarryVirtualKeyCodes)
{
    const struct {
        SDL_Keycode key;
        int32_t code;
    } cases[] = {
        {SDLK_z, 90},        {SDLK_0, 48},       {SDLK_9, 57},      {SDLK_BACKSPACE, 8},
        {SDLK_TAB, 9},       {SDLK_RETURN, 13},  {SDLK_KP_ENTER, 13}, {SDLK_RSHIFT, 16},
        {SDLK_LCTRL, 17},    {SDLK_RCTRL, 17},   {SDLK_LALT, 18},   {SDLK_ESCAPE, 27},
        {SDLK_SPACE, 32},    {SDLK_DELETE, 46},  {SDLK_F1, 112},    {SDLK_F12, 123},
        {SDLK_HOME, 36},     {SDLK_KP_5, 101},   {SDLK_COMMA, 188},
    };
    std::vector<Heard> expected;
    for (const auto& c : cases) {
        Feed(KeyEvent(SDL_KEYUP, c.key));
        expected.push_back(Key(c.code, 0));
    }
    Feed(KeyEvent(SDL_KEYUP, SDLK_VOLUMEUP)); // no equivalent: no event
    EXPECT_EQ(recorder.heard, expected);
}

TEST_F(InputTest, MouseMoveRecordsThePositionFirst)
{
    CVector seen;
    struct CReader {
        explicit CReader(CVector* seen) : seen(seen) {}
        CVector* seen;
        void OnMouse(CInputMap&) { *seen = GetMousePosition(); }
        CSlotList slots;
    } reader(&seen);
    reader.slots.Connect(GetMouseSignal(), &reader, &CReader::OnMouse);
    Feed(Motion(123, 45));
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Mouse(0, 123, 45, 3, 146)}));
    EXPECT_EQ(seen, CVector(123, 45, 0, 0));
    EXPECT_EQ(GetMousePosition(), CVector(123, 45, 0, 0));
}

TEST_F(InputTest, ButtonsCarryTheLastMovePositionNotTheirOwn)
{
    Feed(Motion(10, 20));
    recorder.heard.clear();
    Feed(Button(true, SDL_BUTTON_LEFT, 1, 300, 400));
    Feed(Button(false, SDL_BUTTON_LEFT, 1, 301, 401));
    Feed(Button(true, SDL_BUTTON_RIGHT, 1, 0, 0));
    Feed(Button(false, SDL_BUTTON_RIGHT, 1, 0, 0));
    Feed(Button(true, SDL_BUTTON_MIDDLE, 1, 0, 0));
    Feed(Button(false, SDL_BUTTON_MIDDLE, 1, 0, 0));
    Feed(Button(true, SDL_BUTTON_X1, 1, 0, 0)); // no such button here
    EXPECT_EQ(recorder.heard,
              (std::vector<Heard>{Mouse(0, 10, 20, 1, 0), Mouse(0, 10, 20, 0, 0), Mouse(0, 10, 20, 1, 1),
                                  Mouse(0, 10, 20, 0, 1), Mouse(0, 10, 20, 1, 2), Mouse(0, 10, 20, 0, 2)}));
}

TEST_F(InputTest, SecondPressOfADoubleClickIsActionTwo)
{
    Feed(Motion(5, 6));
    recorder.heard.clear();
    Feed(Button(true, SDL_BUTTON_LEFT, 1, 5, 6));
    Feed(Button(false, SDL_BUTTON_LEFT, 1, 5, 6));
    Feed(Button(true, SDL_BUTTON_LEFT, 2, 5, 6));
    Feed(Button(false, SDL_BUTTON_LEFT, 2, 5, 6));
    Feed(Button(true, SDL_BUTTON_RIGHT, 3, 5, 6));
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Mouse(0, 5, 6, 1, 0), Mouse(0, 5, 6, 0, 0), Mouse(0, 5, 6, 2, 0),
                                                  Mouse(0, 5, 6, 0, 0), Mouse(0, 5, 6, 2, 1)}));
}

TEST_F(InputTest, WheelCarriesItsDeltaInUnitsOf120AndNoPosition)
{
    Feed(Motion(50, 60));
    recorder.heard.clear();
    Feed(Wheel(1));
    Feed(Wheel(-2));
    Feed(Wheel(1, 0, SDL_MOUSEWHEEL_FLIPPED)); // natural scrolling reports the other sign
    Feed(Wheel(0, 3));                         // sideways only: nothing
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Mouse(120, 0, 0, 4, 146), Mouse(-240, 0, 0, 4, 146),
                                                  Mouse(-120, 0, 0, 4, 146)}));
}

TEST_F(InputTest, InputNeedsNoApplicationAndWindowEventsAreIgnoredWithoutOne)
{
    ASSERT_EQ(GetApp(), nullptr);
    Feed(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 10, 10));
    Feed(Window(SDL_WINDOWEVENT_CLOSE));
    Feed(Text("q"));
    EXPECT_EQ(recorder.heard, (std::vector<Heard>{Char('q')}));
}

// Records the application's window signals, interleaved with the input it hears.
class CWindowListener {
public:
    explicit CWindowListener(CApp& app, std::vector<std::string>& log) : log(log)
    {
        slots.Connect(app.onMove, this, &CWindowListener::OnMove);
        slots.Connect(app.onResize, this, &CWindowListener::OnResize);
        slots.Connect(app.onFocus, this, &CWindowListener::OnFocus);
        slots.Connect(app.onMessage, this, &CWindowListener::OnMessage);
        slots.Connect(GetKeyboardSignal(), this, &CWindowListener::OnInput);
        slots.Connect(GetMouseSignal(), this, &CWindowListener::OnInput);
    }
    void OnMove(int32_t x, int32_t y) { log.push_back("move " + std::to_string(x) + " " + std::to_string(y)); }
    void OnResize(int32_t w, int32_t h, CDisplay::SizeType type)
    {
        log.push_back("size " + std::to_string(w) + " " + std::to_string(h) + " " + std::to_string(type));
    }
    void OnFocus(bool gained) { log.push_back(gained ? "focus" : "blur"); }
    void OnMessage(uint32_t type, int32_t p1, int32_t p2)
    {
        log.push_back("message " + std::to_string(type) + " " + std::to_string(p1) + " " + std::to_string(p2));
    }
    void OnInput(CInputMap& e) { log.push_back("input " + std::to_string(e.value)); }
    std::vector<std::string>& log;
    CSlotList slots;
};

TEST_F(InputTest, WindowEventsBecomeTheApplicationsSignals)
{
    CTestApp app;
    std::vector<std::string> log;
    CWindowListener listener(app, log);
    const std::string window = "message " + std::to_string(SDL_WINDOWEVENT) + " ";
    Feed(Window(SDL_WINDOWEVENT_MOVED, 30, 40));
    Feed(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480));
    EXPECT_EQ(app.GetWidth(), 640);
    EXPECT_EQ(app.GetHeight(), 480);
    Feed(Window(SDL_WINDOWEVENT_MINIMIZED));
    EXPECT_EQ(app.GetRunState(), CApp::Minimised);
    Feed(Window(SDL_WINDOWEVENT_RESTORED));
    EXPECT_EQ(app.GetRunState(), CApp::Active);
    Feed(Window(SDL_WINDOWEVENT_MAXIMIZED));
    Feed(Window(SDL_WINDOWEVENT_FOCUS_GAINED));
    Feed(Window(SDL_WINDOWEVENT_FOCUS_LOST));
    Feed(Text("ab"));
    EXPECT_EQ(log, (std::vector<std::string>{
                       "move 30 40",
                       window + std::to_string(SDL_WINDOWEVENT_MOVED) + " 30",
                       "size 640 480 0",
                       window + std::to_string(SDL_WINDOWEVENT_SIZE_CHANGED) + " 640",
                       "size 800 600 1",
                       window + std::to_string(SDL_WINDOWEVENT_MINIMIZED) + " 0",
                       "size 800 600 0",
                       window + std::to_string(SDL_WINDOWEVENT_RESTORED) + " 0",
                       "size 800 600 2",
                       window + std::to_string(SDL_WINDOWEVENT_MAXIMIZED) + " 0",
                       "focus",
                       window + std::to_string(SDL_WINDOWEVENT_FOCUS_GAINED) + " 0",
                       "blur",
                       window + std::to_string(SDL_WINDOWEVENT_FOCUS_LOST) + " 0",
                       "input 97",
                       "input 98",
                       "message " + std::to_string(SDL_TEXTINPUT) + " 97 2",
                   }));
}

TEST_F(InputTest, OwnResizeSlotRunsBeforeOtherReceivers)
{
    CTestApp app;
    struct CLayout {
        explicit CLayout(CApp* app) : app(app) {}
        CApp* app;
        int32_t widthSeen = -1;
        void OnResize(int32_t, int32_t, CDisplay::SizeType) { widthSeen = app->GetWidth(); }
        CSlotList slots;
    } layout(&app);
    layout.slots.Connect(app.onResize, &layout, &CLayout::OnResize);
    Feed(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 321, 123));
    EXPECT_EQ(layout.widthSeen, 321);
}

TEST_F(InputTest, CloseRequestEndsTheLoopOnce)
{
    CTestApp app;
    Feed(Window(SDL_WINDOWEVENT_CLOSE));
    EXPECT_FALSE(app.IsRunning());
    Feed(Window(SDL_WINDOWEVENT_CLOSE)); // a second request changes nothing
    EXPECT_FALSE(app.IsRunning());
}

} // namespace

// The keys a focused edit box uses stay with it; every other press, with the modifiers held,
// reaches the shortcut signal after the keyboard signal.
struct ShortcutLog {
    ShortcutLog() { slots.Connect(GetShortcutSignal(), this, &ShortcutLog::On); }
    void On(CInputMap& e) { heard.push_back(e); }
    std::vector<CInputMap> heard;
    CSlotList slots;
};

TEST_F(InputTest, KeysAFocusedBoxUsesAreNoShortcutsAndModifiersTravelWithTheRest)
{
    ShortcutLog shortcuts;
    CEdit name;
    name.SetFocus(true);
    Feed(Text(" "));
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_BACKSPACE));
    SDL_Event redo = KeyEvent(SDL_KEYDOWN, SDLK_z);
    redo.key.keysym.mod = KMOD_LCTRL | KMOD_RSHIFT;
    Feed(redo);
    Feed(KeyEvent(SDL_KEYDOWN, SDLK_INSERT));
    Feed(KeyEvent(SDL_KEYUP, SDLK_INSERT)); // releases are never shortcuts
    ASSERT_EQ(shortcuts.heard.size(), 2u);
    EXPECT_EQ(shortcuts.heard[0].value, 90);
    EXPECT_TRUE(shortcuts.heard[0].control);
    EXPECT_TRUE(shortcuts.heard[0].shift);
    EXPECT_FALSE(shortcuts.heard[0].character);
    EXPECT_EQ(shortcuts.heard[1].value, KeyInsert);
    EXPECT_FALSE(shortcuts.heard[1].control || shortcuts.heard[1].shift);

    // A number box types no space: Space is the application's; so is any key once the box
    // has lost the focus.
    shortcuts.heard.clear();
    CEdit number;
    number.SetNumber(true);
    name.SetFocus(false);
    number.SetFocus(true);
    Feed(Text("7 "));
    number.SetFocus(false);
    Feed(Text("8"));
    ASSERT_EQ(shortcuts.heard.size(), 2u);
    EXPECT_EQ(shortcuts.heard[0].value, ' ');
    EXPECT_TRUE(shortcuts.heard[0].character);
    EXPECT_EQ(shortcuts.heard[1].value, '8');
    EXPECT_STREQ(number.GetText().CStr(), "7");
}
