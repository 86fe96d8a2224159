// Synthetic input through the real SDL queue, read back through the translation: what the
// end-to-end tests will rely on. Needs only SDL's event queue, no display.
#include "platform/Clipboard.h"
#include "platform/Events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

class PlatformEventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override
    {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }

    // Every queued message, flattened to "kind a b c" strings (and "-" for none).
    static std::vector<std::string> Drain()
    {
        std::vector<std::string> out;
        PlatformMessage message;
        while (PlatformPollMessage(nullptr, &message)) {
            if (message.count == 0)
                out.push_back("-");
            for (uint32_t i = 0; i < message.count; ++i) {
                const PlatformEvent& e = message.events[i];
                out.push_back(std::to_string(static_cast<int>(e.kind)) + " " + std::to_string(e.a) + " " +
                              std::to_string(e.b) + " " + std::to_string(e.c));
            }
        }
        return out;
    }
    static std::string Ev(PlatformEventKind kind, int32_t a = 0, int32_t b = 0, int32_t c = 0)
    {
        return std::to_string(static_cast<int>(kind)) + " " + std::to_string(a) + " " + std::to_string(b) +
               " " + std::to_string(c);
    }
};

TEST_F(PlatformEventsTest, KeyReleasesRoundTripThroughEveryNamedVirtualKey)
{
    std::vector<int32_t> codes = {8, 9, 13, 16, 17, 18, 27, 32, 37, 38, 39, 40, 46};
    for (int32_t c = 48; c <= 57; ++c)
        codes.push_back(c);
    for (int32_t c = 65; c <= 90; ++c)
        codes.push_back(c);
    for (int32_t c = 112; c <= 123; ++c)
        codes.push_back(c);
    std::vector<std::string> expected;
    for (int32_t code : codes) {
        ASSERT_TRUE(PlatformPushKey(code, false)) << code;
        expected.push_back(Ev(PlatformEventKind::KeyRelease, code));
    }
    EXPECT_EQ(Drain(), expected);
    EXPECT_FALSE(PlatformPushKey(7, false)); // no key has this code
}

TEST_F(PlatformEventsTest, KeyDownsPressAsKeysAndOnlyTextInputPressesCharacters)
{
    ASSERT_TRUE(PlatformPushKey(65, true)); // its character comes from text input
    ASSERT_TRUE(PlatformPushKey(8, true));
    ASSERT_TRUE(PlatformPushKey(13, true));
    ASSERT_TRUE(PlatformPushKey(40, true));
    ASSERT_TRUE(PlatformPushKey(46, true));
    ASSERT_TRUE(PlatformPushKey(36, true));
    ASSERT_TRUE(PlatformPushKey(33, true));
    ASSERT_TRUE(PlatformPushKey(83, true, true)); // Ctrl+S
    ASSERT_TRUE(PlatformPushKey(17, true, true)); // Ctrl alone
    ASSERT_TRUE(PlatformPushText("%("));          // the characters with the arrows' codes
    const std::string key = " 0 0", character = " 1 0";
    const auto press = [](int32_t code, const std::string& kind) {
        return std::to_string(static_cast<int>(PlatformEventKind::KeyPress)) + " " + std::to_string(code) + kind;
    };
    EXPECT_EQ(Drain(), (std::vector<std::string>{"-", press(8, key), press(13, key), press(40, key),
                                                 press(46, key), press(36, key), press(33, key), press(83, key),
                                                 "-", press(37, character), press(40, character)}));
}

TEST_F(PlatformEventsTest, LongTextIsQueuedInPiecesAndEveryCharacterArrives)
{
    const std::string text = "The quick brown fox jumps over the lazy dog, twice!";
    ASSERT_TRUE(PlatformPushText(text.c_str()));
    std::vector<std::string> expected;
    for (char c : text)
        expected.push_back(Ev(PlatformEventKind::KeyPress, static_cast<unsigned char>(c), 1));
    EXPECT_EQ(Drain(), expected);
}

TEST_F(PlatformEventsTest, TypedTextPressesOneCharacterPerCodePoint)
{
    // é, Ü, €, a musical note; a tab and DEL are controls; a stray byte names nothing.
    ASSERT_TRUE(PlatformPushText("\xC3\xA9\xC3\x9C\t\x7F\xE2\x82\xAC\xFFx\xF0\x9F\x8E\xB5"));
    const auto character = [](int32_t code) { return Ev(PlatformEventKind::KeyPress, code, 1); };
    EXPECT_EQ(Drain(), (std::vector<std::string>{character(0xE9), character(0xDC), character(0x20AC), character('x'),
                                                 character(0x1F3B5)}));
}

TEST_F(PlatformEventsTest, LongTextIsCutBetweenCharactersNeverInsideOne)
{
    std::string text = "a";
    for (int i = 0; i < 20; ++i)
        text += "\xE2\x82\xAC"; // 3 bytes each: 31 bytes would end inside the eleventh
    ASSERT_TRUE(PlatformPushText(text.c_str()));
    std::vector<std::string> expected = {Ev(PlatformEventKind::KeyPress, 'a', 1)};
    for (int i = 0; i < 20; ++i)
        expected.push_back(Ev(PlatformEventKind::KeyPress, 0x20AC, 1));
    EXPECT_EQ(Drain(), expected);
}

TEST_F(PlatformEventsTest, KeyPressesCarryTheModifiersHeld)
{
    ASSERT_TRUE(PlatformPushKey(37, true, false, true)); // Shift+Left
    ASSERT_TRUE(PlatformPushKey(90, true, true, true));  // Ctrl+Shift+Z
    ASSERT_TRUE(PlatformPushKey(36, true));
    std::vector<uint32_t> modifiers;
    PlatformMessage message;
    while (PlatformPollMessage(nullptr, &message))
        for (uint32_t i = 0; i < message.count; ++i)
            modifiers.push_back(message.events[i].modifiers);
    EXPECT_EQ(modifiers, (std::vector<uint32_t>{PlatformModShift, PlatformModShift | PlatformModCtrl, 0u}));
}

TEST_F(PlatformEventsTest, TheClipboardWorksWithoutAWindowSystem)
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        GTEST_SKIP() << "video runs in this process: the desktop's clipboard answers";
    EXPECT_FALSE(PlatformSetClipboardText("Caf\xC3\xA9")); // the program's own clipboard holds it
    EXPECT_EQ(PlatformGetClipboardText(), "Caf\xC3\xA9");
    PlatformSetClipboardText("");
    EXPECT_EQ(PlatformGetClipboardText(), "");
}

TEST_F(PlatformEventsTest, MouseAndWindowRequests)
{
    ASSERT_TRUE(PlatformPushMouseMove(-5, 70000));
    ASSERT_TRUE(PlatformPushMouseButton(2, true, 1));
    ASSERT_TRUE(PlatformPushMouseButton(1, true, 2));
    ASSERT_TRUE(PlatformPushMouseButton(1, false, 2));
    EXPECT_FALSE(PlatformPushMouseButton(3, true));
    ASSERT_TRUE(PlatformPushMouseWheel(3));
    ASSERT_TRUE(PlatformPushWindowClose());
    ASSERT_TRUE(PlatformPushQuit());
    EXPECT_EQ(Drain(), (std::vector<std::string>{
                           Ev(PlatformEventKind::MouseMove, -5, 70000), Ev(PlatformEventKind::MouseButton, 2, 1),
                           Ev(PlatformEventKind::MouseButton, 1, 2), Ev(PlatformEventKind::MouseButton, 1, 0),
                           Ev(PlatformEventKind::MouseWheel, 360), Ev(PlatformEventKind::Close),
                           Ev(PlatformEventKind::Quit)}));
}

// The main loop waits here between passes and then polls: the wait must not take the event.
TEST_F(PlatformEventsTest, WaitingForAnEventEndsWhenOneIsQueuedAndLeavesItThere)
{
    ASSERT_TRUE(PlatformPushMouseMove(3, 4));
    uint32_t start = SDL_GetTicks();
    EXPECT_TRUE(PlatformWaitForEvent(5000));
    EXPECT_LT(SDL_GetTicks() - start, 2500u);
    EXPECT_EQ(Drain(), (std::vector<std::string>{Ev(PlatformEventKind::MouseMove, 3, 4)}));

    // Nothing queued: the whole time passes.
    start = SDL_GetTicks();
    EXPECT_FALSE(PlatformWaitForEvent(40));
    EXPECT_GE(SDL_GetTicks() - start, 39u);
    EXPECT_FALSE(PlatformWaitForEvent(0));

    // An event queued by another thread during the wait ends it.
    std::thread pusher([] {
        SDL_Delay(50);
        PlatformPushMouseMove(5, 6);
    });
    start = SDL_GetTicks();
    EXPECT_TRUE(PlatformWaitForEvent(5000));
    EXPECT_LT(SDL_GetTicks() - start, 2500u);
    pusher.join();
    EXPECT_EQ(Drain(), (std::vector<std::string>{Ev(PlatformEventKind::MouseMove, 5, 6)}));
}

// Two single clicks on neighbouring controls must not make a double click: SDL's own radius
// (32 pixels) spans a whole button or several list rows.
TEST(PlatformInputSettingsTest, VideoStartsWithADoubleClickRadiusOfFourPixels)
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        GTEST_SKIP() << "video already runs in this process";
    SDL_ResetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS);
    const char* why = "";
    if (!PlatformInitVideo(&why))
        GTEST_SKIP() << "no display: " << why;
    const char* hint = SDL_GetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS);
    const std::string radius = hint ? hint : "(unset)";
    // Video stays up until the process ends: quitting it unloads the X libraries, and what
    // they leave behind could no longer be told apart from leaks of our own.
    EXPECT_EQ(radius, "4");
}

TEST(PlatformEventsWithoutQueueTest, NothingIsQueuedOrPolledWhenTheQueueIsDown)
{
    if (SDL_WasInit(SDL_INIT_EVENTS))
        GTEST_SKIP() << "the event queue runs in this process";
    EXPECT_FALSE(PlatformPushMouseMove(1, 1));
    PlatformMessage message;
    EXPECT_FALSE(PlatformPollMessage(nullptr, &message));
    const uint32_t start = SDL_GetTicks();
    EXPECT_FALSE(PlatformWaitForEvent(30)); // a plain sleep, not an immediate return
    EXPECT_GE(SDL_GetTicks() - start, 29u);
}

} // namespace
