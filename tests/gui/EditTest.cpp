// The edit box fed from the keyboard signal and its mouse input: only the focused box edits,
// number mode, the limit, Backspace and Enter, password masking, the blinking caret, the caret
// and selection keys, clicks, drags and double clicks, the clipboard, UTF-8 text, which keys
// the box takes, sideways scrolling, and the description attributes.
#include "GlyphSprite.h"

#include "app/App.h"
#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Edit.h"
#include "gui/GUIManager.h"
#include "platform/Clipboard.h"
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

    // Left alone, it settles lit after the blink timeout, and the next key wakes it again.
    for (int32_t t = 300; t < CEdit::kBlinkTimeout + 2 * CEdit::kBlinkPeriod; t += 300)
        Frame(300);
    EXPECT_TRUE(edit.IsCaretOn());
    Frame(300);
    Frame(300);
    EXPECT_TRUE(edit.IsCaretOn());
    Type("C");
    Frame(300);
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

// Keys and text go through the platform's queue and the application's event handling.
class TypedEditBoxes : public EditBoxes {
protected:
    void SetUp() override
    {
        EditBoxes::SetUp();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // Listens to the keyboard after every box made so far.
    void Listen() { slots.Connect(GetKeyboardSignal(), this, &TypedEditBoxes::AfterTheBoxes); }
    void TearDown() override
    {
        slots.Clear();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
        EditBoxes::TearDown();
    }
    static void Deliver()
    {
        PlatformMessage message;
        while (PlatformPollMessage(nullptr, &message))
            CApp::HandleMessage(message);
    }
    static void Text(const char* text)
    {
        ASSERT_TRUE(PlatformPushText(text));
        Deliver();
    }
    // A key pressed and released, with Ctrl and Shift as asked.
    static void Press(int32_t key, bool control = false, bool shift = false)
    {
        ASSERT_TRUE(PlatformPushKey(key, true, control, shift));
        ASSERT_TRUE(PlatformPushKey(key, false, control, shift));
        Deliver();
    }
    // What a listener connected after every box heard: "k65" for a key press that passed
    // untouched, "h65" for one a box marked handled, "c32" / "C32" for characters.
    void AfterTheBoxes(CInputMap& event)
    {
        if (event.action != InputPress)
            return;
        heard.push_back(std::string(event.character ? (event.handled ? "C" : "c") : (event.handled ? "h" : "k")) +
                        std::to_string(event.value));
    }
    std::string Selected(const CEdit& edit) const
    {
        int32_t start = 0, end = 0;
        edit.GetSelection(start, end);
        return edit.GetText().Substring(start, end - start).CStr();
    }

    std::vector<std::string> heard;
    CSlotList slots;
};

TEST_F(TypedEditBoxes, AccentedTextIsTypedKeptAndCountedByCharacter)
{
    CEdit edit;
    edit.SetLimit(8);
    edit.SetFocus(true);
    ChangeLog changes(edit);
    Text("Caf\xC3\xA9 \xC3\x9Cn\xC3\xAF!"); // "Café Ünï!": the ninth character is refused
    EXPECT_STREQ(edit.GetText().CStr(), "Caf\xC3\xA9 \xC3\x9Cn\xC3\xAF");
    EXPECT_EQ(changes.Take().size(), 8u);
    // Backspace and the arrows step over whole characters.
    Press(KeyBackspace);
    Press(KeyLeft);
    Press(KeyLeft);
    Text("\xE2\x82\xAC"); // €
    EXPECT_STREQ(edit.GetText().CStr(), "Caf\xC3\xA9 \xE2\x82\xAC\xC3\x9Cn");
    EXPECT_EQ(edit.GetCaret(), 9);
}

TEST_F(TypedEditBoxes, TheCaretMovesAndEditsWhereItStands)
{
    CEdit edit;
    edit.SetFocus(true);
    ChangeLog changes(edit);
    Text("helo");
    Press(KeyLeft);
    Text("l");
    EXPECT_STREQ(edit.GetText().CStr(), "hello");
    Press(KeyHome);
    Press(KeyDelete);
    Text("H");
    Press(KeyEnd);
    Press(KeyBackspace);
    Text("O");
    EXPECT_STREQ(edit.GetText().CStr(), "HellO");
    Press(KeyHome);
    Press(KeyBackspace); // nothing before the caret: no change
    Press(KeyEnd);
    Press(KeyDelete);    // nothing after it
    Press(KeyRight);
    EXPECT_EQ(edit.GetCaret(), 5);
    EXPECT_EQ(changes.Take(), (Texts{"h", "he", "hel", "helo", "hello", "ello", "Hello", "Hell", "HellO"}));
}

TEST_F(TypedEditBoxes, ShiftSelectsAndTypingReplacesTheSelection)
{
    CEdit edit;
    edit.SetFocus(true);
    Text("one two three");
    Press(KeyLeft, false, true);
    Press(KeyLeft, false, true);
    EXPECT_EQ(Selected(edit), "ee");
    Press(KeyHome, false, true);
    EXPECT_EQ(Selected(edit), "one two three");
    Press(KeyRight, false, true); // the caret was at the start: the selection shrinks
    EXPECT_EQ(Selected(edit), "ne two three");
    Press(KeyLeft); // a plain arrow drops the selection at its start
    EXPECT_EQ(edit.GetCaret(), 1);
    Press(KeyEnd, false, true);
    Text("X");
    EXPECT_STREQ(edit.GetText().CStr(), "oX");
    Press(KeyHome);
    Press(KeyRight, false, true);
    Press(KeyBackspace); // Backspace and Delete remove the selection
    EXPECT_STREQ(edit.GetText().CStr(), "X");
    Press(KeyA, true);
    Press(KeyDelete);
    EXPECT_TRUE(edit.GetText().IsEmpty());
}

TEST_F(TypedEditBoxes, NumberRulesHoldWhereverTheCaretIs)
{
    CEdit edit;
    edit.SetNumber(true);
    edit.SetLimit(5);
    edit.SetText("2.44");
    edit.SetFocus(true);
    Press(KeyA, true);
    Text("0.5");
    EXPECT_STREQ(edit.GetText().CStr(), "0.5"); // the point replaced the selection's
    Press(KeyHome);
    Text("-");
    Text("."); // a second point, anywhere
    EXPECT_STREQ(edit.GetText().CStr(), "-0.5");
    Press(KeyHome);
    Text("7-"); // nothing before a leading minus
    Press(KeyEnd);
    Text("-");  // a minus only at the start
    Text("25"); // the limit: five characters
    EXPECT_STREQ(edit.GetText().CStr(), "-0.52");
    // Selecting the point lets a point in again; a paste keeps what the rules allow.
    Press(KeyHome);
    Press(KeyRight);
    Press(KeyRight);
    Press(KeyRight, false, true);
    Press(KeyRight, false, true);
    PlatformSetClipboardText("x.9");
    Press(KeyA + ('V' - 'A'), true);
    EXPECT_STREQ(edit.GetText().CStr(), "-0.92");
}

TEST_F(TypedEditBoxes, CopyCutAndPasteGoThroughTheClipboard)
{
    CEdit edit, other;
    edit.SetFocus(true);
    Text("Caf\xC3\xA9 au lait");
    Press(KeyHome);
    for (int i = 0; i < 4; ++i)
        Press(KeyRight, false, true);
    Press(KeyA + ('C' - 'A'), true);
    EXPECT_EQ(PlatformGetClipboardText(), "Caf\xC3\xA9");
    Press(KeyEnd);
    Press(KeyLeft, true, true); // Ctrl+Shift+Left: the word before the caret
    Press(KeyA + ('X' - 'A'), true);
    EXPECT_EQ(PlatformGetClipboardText(), "lait");
    EXPECT_STREQ(edit.GetText().CStr(), "Caf\xC3\xA9 au ");

    edit.SetFocus(false);
    other.SetFocus(true);
    PlatformSetClipboardText("two\r\nlines\tand \x01 a bad byte \xFF");
    Press(KeyA + ('V' - 'A'), true);
    // A single line: breaks and tabs become spaces, controls go, a bad byte is U+FFFD.
    EXPECT_STREQ(other.GetText().CStr(), "two lines and  a bad byte \xEF\xBF\xBD");

    // A password is never copied.
    other.SetPassword(true);
    PlatformSetClipboardText("kept");
    Press(KeyA, true);
    Press(KeyA + ('C' - 'A'), true);
    Press(KeyA + ('X' - 'A'), true);
    EXPECT_EQ(PlatformGetClipboardText(), "kept");
    EXPECT_FALSE(other.GetText().IsEmpty());
}

TEST_F(TypedEditBoxes, TheBoxTakesOnlyTheKeysItUses)
{
    CEdit edit;
    Listen();
    edit.SetFocus(true);
    Text("a ");
    Press(KeyLeft);
    Press(KeyA, true);
    Press(KeyA + ('S' - 'A'), true); // Ctrl+S, Ctrl+Z and Ctrl+N are the application's
    Press(KeyA + ('Z' - 'A'), true);
    Press(KeyA + ('N' - 'A'), true);
    Press(KeyEnter);  // a single-line box leaves Enter to its owner
    Press(KeyTab);
    Press(KeyUp);
    EXPECT_EQ(heard,
              (std::vector<std::string>{"C97", "C32", "h37", "h65", "k83", "k90", "k78", "k13", "k9", "k38"}));
    // Escape drops the focus (and is taken); then nothing is the box's.
    heard.clear();
    Press(KeyEscape);
    EXPECT_FALSE(edit.IsActive());
    EXPECT_FALSE(edit.HasFocus());
    Text(" ");
    Press(KeyLeft);
    EXPECT_EQ(heard, (std::vector<std::string>{"h27", "c32", "k37"}));
    EXPECT_STREQ(edit.GetText().CStr(), "a ");

    // An owner that keeps the box focused gets Escape untouched.
    struct Keeper {
        CEdit* edit;
        void OnFocus(bool focus)
        {
            if (!focus)
                edit->SetFocus(true);
        }
        CSlotList slots;
    } keeper{&edit, {}};
    keeper.slots.Connect(edit.onFocus, &keeper, &Keeper::OnFocus);
    edit.SetFocus(true);
    heard.clear();
    Press(KeyEscape);
    EXPECT_TRUE(edit.IsActive());
    EXPECT_EQ(heard, (std::vector<std::string>{"k27"}));
}

TEST_F(TypedEditBoxes, ClicksPlaceTheCaretDragsAndDoubleClicksSelect)
{
    CGUIManager manager;
    auto* edit = new CEdit;
    edit->SetFont(&font);
    edit->SetPosition(10, 20);
    edit->SetSize(200, 20);
    edit->SetBorder(2);
    manager.AddElement(edit);
    edit->SetText("Ab cd Ef"); // glyphs from x 12: A 6, b 4, space 4, c 4, d 4, space 4, E 6, f 4
    auto click = [](int32_t x, int32_t clicks = 1) {
        ASSERT_TRUE(PlatformPushMouseMove(x, 25));
        ASSERT_TRUE(PlatformPushMouseButton(0, true, clicks));
        ASSERT_TRUE(PlatformPushMouseButton(0, false, clicks));
        Deliver();
    };
    click(17); // nearer the boundary at 18 than 12
    EXPECT_TRUE(edit->IsActive());
    EXPECT_EQ(edit->GetCaret(), 1);
    click(500); // outside: the box loses the focus
    EXPECT_FALSE(edit->IsActive());
    click(31);
    EXPECT_EQ(edit->GetCaret(), 4); // c runs from 26 to 30, d from 30 to 34
    click(31, 2);
    EXPECT_EQ(Selected(*edit), "cd");
    // A drag from inside "Ab" to past the end.
    ASSERT_TRUE(PlatformPushMouseMove(12, 25));
    ASSERT_TRUE(PlatformPushMouseButton(0, true));
    ASSERT_TRUE(PlatformPushMouseMove(300, 26));
    ASSERT_TRUE(PlatformPushMouseButton(0, false));
    ASSERT_TRUE(PlatformPushMouseMove(100, 26)); // after the release: no change
    Deliver();
    EXPECT_EQ(Selected(*edit), "Ab cd Ef");
    // After Escape, a click on the box gives it the keyboard back.
    Press(KeyEscape);
    EXPECT_FALSE(edit->IsActive());
    click(12);
    EXPECT_TRUE(edit->IsActive());
    Text("x");
    EXPECT_STREQ(edit->GetText().CStr(), "xAb cd Ef");
}

TEST_F(TypedEditBoxes, ALongLineScrollsToKeepTheCaretInView)
{
    CEdit edit;
    edit.SetFont(&font);
    edit.SetSize(42, 14);
    edit.SetBorder(2); // the text box runs from x 2 to 42
    edit.SetFocus(true);
    Text("ABCDEFGHIJ"); // 60 pixels
    float x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(edit.GetCaretRect(x, y, w, h));
    EXPECT_GE(x, 2.0f);
    EXPECT_LE(x + w, 42.0f);
    EXPECT_EQ(edit.GetTextElement().GetScrollX(), 60.0f + 2.0f - 41.0f);
    Press(KeyHome);
    ASSERT_TRUE(edit.GetCaretRect(x, y, w, h));
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(edit.GetTextElement().GetScrollX(), 0.0f);
    EXPECT_EQ(y, 2.0f); // one line: nothing wrapped
    CTextLayout layout;
    edit.GetTextElement().Layout(layout);
    EXPECT_EQ(layout.lines, 1u);
}

} // namespace
