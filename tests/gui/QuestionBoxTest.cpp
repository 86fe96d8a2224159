// The question box driven through the input signals, without a window: which button the keys
// and clicks choose, and a text too long for the box kept inside it.
#include "GlyphSprite.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/QuestionBox.h"
#include "gui/Window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

QuestionRequest SaveQuestion(const String& text = "Save changes to Laser 1234?")
{
    QuestionRequest request;
    request.title = "Unsaved changes";
    request.text = text;
    request.buttons = {"Save", "Don't Save", "Cancel"};
    return request;
}

void Press(int32_t key, uint32_t modifiers = 0) { EmitKey(key, InputPress, false, modifiers); }

void ClickCentre(CGUI& element)
{
    const CVector at = element.GetAbsolutePosition();
    EmitMouseMove(static_cast<int32_t>(at.x + element.GetWidth() / 2), static_cast<int32_t>(at.y + element.GetHeight() / 2));
    EmitMouseButton(MouseLeft, InputPress);
    EmitMouseButton(MouseLeft, InputRelease);
}

class QuestionBox : public ::testing::Test {
protected:
    CTexture texture;
    std::unique_ptr<CSprite> glyphs{NewGlyphSprite(&texture)};
};

TEST_F(QuestionBox, KeysChooseTheFocusedDefaultOrCancelButton)
{
    const struct {
        const char* keys;
        std::function<void()> type;
        int32_t choice; // −1: still open
    } rows[] = {
        {"Enter", [] { Press(KeyEnter); }, 0},
        {"Escape", [] { Press(KeyEscape); }, 2},
        {"Tab Space", [] { Press(KeyTab); EmitCharacter(' '); }, 1},
        {"Right Enter", [] { Press(KeyRight); Press(KeyEnter); }, 1},
        {"Shift+Tab wraps", [] { Press(KeyTab, ModifierShift); Press(KeyEnter); }, 2},
        {"Left stops at the end", [] { Press(KeyLeft); Press(KeyEnter); }, 0},
        {"held Enter", [] { EmitKey(KeyEnter, InputPress, true); }, -1},
    };
    for (const auto& row : rows) {
        CQuestionView view(SaveQuestion(), glyphs.get());
        row.type();
        EXPECT_EQ(view.GetChoice(), row.choice) << row.keys;
        const CGUI& ring = view.GetFocusRing();
        const CButton& focused = view.GetButton(view.GetFocus());
        EXPECT_LT(ring.GetX(), focused.GetX()) << row.keys << ": the ring surrounds the focused button";
        EXPECT_GT(ring.GetX() + ring.GetWidth(), focused.GetX() + focused.GetWidth()) << row.keys;
    }
}

TEST_F(QuestionBox, AClickChoosesTheButtonUnderThePointerAndTheCloseButtonCancels)
{
    for (int32_t target = 0; target <= 3; ++target) {
        CQuestionView view(SaveQuestion(), glyphs.get());
        view.Place(640, 480);
        ClickCentre(target < 3 ? static_cast<CGUI&>(view.GetButton(target)) : view.GetWindow().GetCloseButton());
        EXPECT_EQ(view.GetChoice(), target < 3 ? target : 2) << target;
        EXPECT_FALSE(view.IsButtonHeld());
    }
}

TEST_F(QuestionBox, LongTextsWrapAndLongNamesAreShortenedInTheMiddleWithinTheBox)
{
    std::string name = "Start";
    name.append(300, 'x');
    name += "End";
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += "word ";
    for (const std::string& text : {"Save changes to " + name + "?", "Save changes to " + many + name + "?"}) {
        CQuestionView view(SaveQuestion(text.c_str()), glyphs.get());
        CFont& shown = view.GetText();
        const std::string seen = shown.GetText().CStr();
        EXPECT_EQ(seen.rfind("Save changes to ", 0), 0u) << seen;
        EXPECT_NE(seen.find("..."), std::string::npos) << seen;
        EXPECT_EQ(seen.substr(seen.size() - 4), "End?") << seen;
        CTextLayout layout;
        shown.Layout(layout);
        EXPECT_GE(layout.lines, 1u);
        EXPECT_LE(layout.lines, static_cast<uint32_t>(CQuestionView::kMaxLines));
        for (const CGlyphPlacement& glyph : layout.glyphs) {
            ASSERT_LE(glyph.x + glyph.width, shown.GetX() + shown.GetWidth()) << seen;
            ASSERT_LE(glyph.y + layout.lineHeight, shown.GetY() + shown.GetHeight()) << seen;
        }
        EXPECT_LE(shown.GetY() + shown.GetHeight(), view.GetButton(0).GetY());
        EXPECT_LE(shown.GetX() + shown.GetWidth(), CQuestionView::kWidth);
    }
}

} // namespace
