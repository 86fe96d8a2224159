// The edit box fed from the keyboard signal: only the focused box edits, number mode, the
// limit, Backspace and Enter, password masking, the blinking caret at the end of the text,
// and the description attributes.
#include "GlyphSprite.h"

#include "app/App.h"
#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Edit.h"
#include "platform/Events.h"
#include "xml/XMLDocument.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

uint32_t g_now = 0;
uint32_t TestClock() { return g_now; }

// Records the texts an edit box reports.
struct ChangeLog {
    explicit ChangeLog(CEdit& edit) { slots.Connect(edit.onChange, this, &ChangeLog::OnChange); }
    void OnChange(const String& text) { texts.push_back(text.CStr()); }
    Texts Take()
    {
        Texts taken;
        taken.swap(texts);
        return taken;
    }
    Texts texts;
    CSlotList slots;
};

class EditBoxes : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 1000;
        SetAppClockForTesting(&TestClock);
        glyphs.reset(NewGlyphSprite(&texture));
        font.SetSprite(*glyphs);
    }
    void TearDown() override { SetAppClockForTesting(nullptr); }

    // Each character, as typing sends it.
    static void Type(const std::string& keys)
    {
        for (char key : keys)
            EmitCharacter(static_cast<unsigned char>(key));
    }

    static void Frame(uint32_t milliseconds)
    {
        g_now += milliseconds;
        GetFrameTick().Emit();
    }

    CTexture texture;
    std::unique_ptr<CSprite> glyphs;
    CFont font;
};

TEST_F(EditBoxes, OnlyTheFocusedBoxTakesKeyPresses)
{
    CEdit a, b;
    ChangeLog changes(a);
    Type("ab");
    EXPECT_TRUE(a.GetText().IsEmpty());

    a.SetFocus(true);
    EXPECT_TRUE(a.IsActive());
    Type("ab");
    EmitKey('c', InputRelease); // releases carry key codes and are not typing
    EXPECT_STREQ(a.GetText().CStr(), "ab");
    EXPECT_TRUE(b.GetText().IsEmpty());
    EXPECT_EQ(changes.Take(), (Texts{"a", "ab"}));

    a.SetFocus(false);
    b.SetFocus(true);
    Type("x");
    EXPECT_STREQ(a.GetText().CStr(), "ab");
    EXPECT_STREQ(b.GetText().CStr(), "x");

    // SetText replaces the text silently.
    a.SetText("1\\n2");
    EXPECT_STREQ(a.GetText().CStr(), "1\n2");
    EXPECT_TRUE(changes.Take().empty());
}

// Keys pressed on the keyboard go through the platform's queue and the application's event
// handling, as in the running program.
TEST_F(EditBoxes, NavigationKeysNeverTypeAndCharactersComeFromTextInput)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    auto deliver = [] {
        PlatformMessage message;
        while (PlatformPollMessage(nullptr, &message))
            CApp::HandleMessage(message);
    };
    CEdit text, number;
    number.SetNumber(true);
    ChangeLog changes(text);
    text.SetFocus(true);
    // The arrows are % & ' (, Home $, End #, Page Up !, Page Down ", Insert - and Delete .
    for (int32_t key : {KeyLeft, KeyUp, KeyRight, KeyDown, KeyHome, KeyEnd, KeyPageUp, KeyPageDown, KeyInsert,
                        KeyDelete}) {
        EXPECT_TRUE(PlatformPushKey(key, true));
        EXPECT_TRUE(PlatformPushKey(key, false));
    }
    EXPECT_TRUE(PlatformPushKey(KeyA, true, true)); // Ctrl+A
    EXPECT_TRUE(PlatformPushText("a%("));
    EXPECT_TRUE(PlatformPushKey(KeyBackspace, true));
    deliver();
    EXPECT_STREQ(text.GetText().CStr(), "a%");
    EXPECT_EQ(changes.Take(), (Texts{"a", "a%", "a%(", "a%"}));

    text.SetFocus(false);
    number.SetFocus(true);
    EXPECT_TRUE(PlatformPushKey(KeyDelete, true)); // 46 is the point's code
    EXPECT_TRUE(PlatformPushKey(KeyInsert, true)); // 45 is the minus's
    EXPECT_TRUE(PlatformPushText("-1.5"));
    deliver();
    EXPECT_STREQ(number.GetText().CStr(), "-1.5");
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST_F(EditBoxes, ADisabledOrHiddenBoxTakesNoKeys)
{
    CGUI panel; // a parent that can hide the box
    panel.SetEnabled(true);
    CEdit edit;
    edit.SetParent(&panel);
    edit.SetFocus(true);
    ChangeLog changes(edit);
    Type("ab");
    edit.SetEnabled(false);
    Type("c");
    EmitKey(KeyBackspace, InputPress);
    edit.SetEnabled(true);
    edit.SetVisible(false);
    Type("d");
    edit.SetVisible(true);
    panel.SetVisible(false);
    EmitKey(KeyBackspace, InputPress);
    panel.SetVisible(true);
    Type("e");
    EXPECT_STREQ(edit.GetText().CStr(), "abe");
    EXPECT_EQ(changes.Take(), (Texts{"a", "ab", "abe"}));
}

TEST_F(EditBoxes, NumberModeTakesDigitsOnePointAndALeadingMinus)
{
    CEdit edit;
    edit.SetNumber(true);
    edit.SetFocus(true);
    ChangeLog changes(edit);
    Type("-1.5.x -2");
    EXPECT_STREQ(edit.GetText().CStr(), "-1.52");
    EXPECT_EQ(changes.Take(), (Texts{"-", "-1", "-1.", "-1.5", "-1.52"}));
    // Arrow keys arrive as key presses with their codes, which are no digits.
    EmitKey(KeyLeft, InputPress);
    EXPECT_STREQ(edit.GetText().CStr(), "-1.52");
}

TEST_F(EditBoxes, TheLimitBackspaceAndEnter)
{
    CEdit edit;
    edit.SetLimit(3);
    edit.SetFocus(true);
    ChangeLog changes(edit);
    Type("abcd");
    EXPECT_STREQ(edit.GetText().CStr(), "abc");
    EmitKey(KeyBackspace, InputPress);
    EXPECT_STREQ(edit.GetText().CStr(), "ab");
    EmitKey(KeyEnter, InputPress); // single line: nothing
    for (int i = 0; i < 3; ++i)
        EmitKey(KeyBackspace, InputPress); // the third finds the box empty
    EXPECT_EQ(changes.Take(), (Texts{"a", "ab", "abc", "ab", "a", ""}));

    edit.SetMultiline(true);
    edit.SetFont(&font);
    edit.SetSize(100, 100);
    Type("ab");
    EmitKey(KeyEnter, InputPress);
    EmitKey(KeyEnter, InputPress); // at the limit
    EXPECT_EQ(changes.Take(), (Texts{"a", "ab", "ab\n"}));
    edit.SetLimit(4);
    Type("c");
    EXPECT_STREQ(edit.GetText().CStr(), "ab\nc");
    CTextLayout layout;
    edit.GetTextElement().Layout(layout);
    ASSERT_EQ(layout.glyphs.size(), 3u);
    EXPECT_EQ(layout.glyphs[2].y, layout.glyphs[0].y + kGlyphHeight); // one line lower
    EXPECT_EQ(layout.glyphs[2].x, layout.glyphs[0].x);
}

TEST_F(EditBoxes, PasswordBoxesDrawAsterisksButReportTheText)
{
    CEdit edit;
    edit.SetPassword(true);
    edit.SetFont(&font); // the look changes, the mask stays
    edit.SetSize(100, 20);
    edit.SetFocus(true);
    ChangeLog changes(edit);
    Type("aB1");
    EXPECT_EQ(changes.Take(), (Texts{"a", "aB", "aB1"}));
    CTextLayout layout;
    edit.GetTextElement().Layout(layout);
    ASSERT_EQ(layout.glyphs.size(), 3u);
    for (const CGlyphPlacement& glyph : layout.glyphs)
        EXPECT_EQ(glyph.frame, '*');
}

TEST_F(EditBoxes, TheCaretBlinksAtTheEndOfTheTextWhileActive)
{
    CEdit edit;
    edit.SetFont(&font);
    edit.SetBorder(2);
    edit.SetSize(100, 20);
    float x = 0, y = 0, w = 0, h = 0;
    EXPECT_FALSE(edit.GetCaretRect(x, y, w, h));

    edit.SetFocus(true);
    ASSERT_TRUE(edit.GetCaretRect(x, y, w, h));
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(w, 1.0f);
    EXPECT_EQ(h, 10.0f);
    Frame(300);
    EXPECT_FALSE(edit.IsCaretOn());
    Frame(300);
    EXPECT_TRUE(edit.IsCaretOn());

    Frame(200);
    Type("AB"); // typing shows the caret and starts its period again
    ASSERT_TRUE(edit.GetCaretRect(x, y, w, h));
    EXPECT_EQ(x, 14.0f);
    Frame(299);
    EXPECT_TRUE(edit.IsCaretOn());
    Frame(1);
    EXPECT_FALSE(edit.IsCaretOn());

    edit.SetFocus(true);
    edit.SetFocus(false);
    EXPECT_FALSE(edit.IsCaretOn());
    Frame(300);
    Frame(300);
    EXPECT_FALSE(edit.IsCaretOn());
    EXPECT_FALSE(edit.GetCaretRect(x, y, w, h));
}

TEST_F(EditBoxes, DescriptionAttributesAndAssign)
{
    CEdit edit;
    edit.SetFont(&font);
    CXMLDocument document;
    ASSERT_TRUE(document.Parse("<edit w='50' h='14' borderSize='2' multiline='1' password='true' number='TRUE' "
                               "limit='-1' text='12'/>"));
    edit.LoadFromNode(document);
    const CFont& text = edit.GetTextElement();
    EXPECT_EQ(text.GetX(), 2.0f);
    EXPECT_EQ(text.GetY(), 2.0f);
    EXPECT_EQ(text.GetWidth(), 48.0f); // the border is taken once
    EXPECT_EQ(text.GetHeight(), 12.0f);
    EXPECT_EQ(text.GetParent(), &edit);
    EXPECT_TRUE(text.GetMask());
    EXPECT_TRUE(edit.GetMultiline());
    EXPECT_TRUE(edit.GetNumber());
    EXPECT_EQ(edit.GetLimit(), CEdit::kUnlimited);
    EXPECT_STREQ(edit.GetText().CStr(), "12");

    edit.SetFocus(true);
    CEdit copy;
    copy.Assign(edit);
    EXPECT_FALSE(copy.IsActive());
    EXPECT_EQ(copy.GetTextElement().GetParent(), &copy);
    EXPECT_STREQ(copy.GetText().CStr(), "12");
    EXPECT_EQ(copy.GetBorder(), 2.0f);
    EXPECT_TRUE(copy.GetNumber());
    EXPECT_TRUE(copy.GetTextElement().GetMask());
    Type("3");
    EXPECT_STREQ(edit.GetText().CStr(), "123");
    EXPECT_STREQ(copy.GetText().CStr(), "12");
}

} // namespace
