// The tooltip under the GUI manager's mouse routing, on a test clock: the delay, what makes it
// go and what keeps it away, its size and place, and a description that declares it.
#include "GlyphSprite.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/GUIManager.h"
#include "gui/Tooltip.h"
#include "media/ResourceManager.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

uint32_t g_now = 0;
uint32_t TestClock() { return g_now; }

class Tooltips : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 1000;
        SetAppClockForTesting(&TestClock);
        glyphs.reset(NewGlyphSprite(&texture));
        font.SetSprite(*glyphs);
        tip = new CTooltip;
        tip->SetFont(&font);
        manager.AddElement(tip);
        save = AddButton(100, 0, "Save (Ctrl+S)");
        plain = AddButton(200, 0, "");
    }
    void TearDown() override { SetAppClockForTesting(nullptr); }

    CButton* AddButton(float x, float y, const char* tooltip)
    {
        auto* button = new CButton;
        button->SetPosition(x, y);
        button->SetSize(60, 30);
        button->SetTooltip(tooltip);
        manager.AddElement(button);
        return button;
    }
    void Mouse(int32_t action, float x, float y)
    {
        CInputMap event;
        event.action = action;
        event.button = action == InputMove ? MouseNoButton : MouseLeft;
        event.position = CVector(x, y, 0.0f, 0.0f);
        manager.OnMouse(event);
    }
    static void Wait(uint32_t milliseconds)
    {
        g_now += milliseconds;
        GetFrameTick().Emit();
    }

    CTexture texture;
    std::unique_ptr<CSprite> glyphs;
    CFont font;
    CGUIManager manager;
    CTooltip* tip = nullptr;
    CButton* save = nullptr;
    CButton* plain = nullptr;
};

TEST_F(Tooltips, ShowsAfterTheDelayBelowThePointerSizedToItsText)
{
    Mouse(InputMove, 110, 10);
    Wait(CTooltip::kDelay - 1);
    EXPECT_FALSE(tip->IsShowing());
    Mouse(InputMove, 112, 12); // moving on the same button does not start again
    Wait(1);
    ASSERT_TRUE(tip->IsShowing());
    EXPECT_STREQ(tip->GetText().CStr(), "Save (Ctrl+S)");
    EXPECT_EQ(tip->GetX(), 112.0f); // where the pointer came to rest
    EXPECT_EQ(tip->GetY(), 12.0f + CTooltip::kPointerGap);
    // "Save (Ctrl+S)": glyphs only for letters and the space: S a v e _ C t r l S = 6+4+4+4+4+6+4+4+4+6.
    EXPECT_EQ(tip->GetWidth(), 46.0f + 1.0f + 2 * CTooltip::kPadding);
    EXPECT_EQ(tip->GetHeight(), kGlyphHeight + 2 * CTooltip::kPadding);
    EXPECT_FALSE(tip->HitTest(115, 35)); // never takes the mouse
    EXPECT_EQ(manager.GetFocus(), nullptr);
}

TEST_F(Tooltips, GoesWhenThePointerMovesOffAndStartsAgainOnAnotherButton)
{
    Mouse(InputMove, 110, 10);
    Wait(CTooltip::kDelay);
    ASSERT_TRUE(tip->IsShowing());
    Mouse(InputMove, 500, 500);
    EXPECT_FALSE(tip->IsShowing());
    Wait(CTooltip::kDelay);
    EXPECT_FALSE(tip->IsShowing());
    Mouse(InputMove, 210, 10); // a button without a tip
    Wait(CTooltip::kDelay);
    EXPECT_FALSE(tip->IsShowing());
    Mouse(InputMove, 110, 10);
    Wait(CTooltip::kDelay / 2);
    Mouse(InputMove, 500, 500); // left before the delay
    Mouse(InputMove, 110, 10);
    Wait(CTooltip::kDelay / 2);
    EXPECT_FALSE(tip->IsShowing()) << "the delay starts again on every arrival";
    Wait(CTooltip::kDelay / 2);
    EXPECT_TRUE(tip->IsShowing());
}

TEST_F(Tooltips, APressOrAKeyTakesItAwayUntilThePointerLeaves)
{
    Mouse(InputMove, 110, 10);
    Wait(CTooltip::kDelay);
    Mouse(InputPress, 110, 10);
    EXPECT_FALSE(tip->IsShowing());
    Mouse(InputRelease, 110, 10);
    Mouse(InputMove, 111, 10);
    Wait(CTooltip::kDelay * 2);
    EXPECT_FALSE(tip->IsShowing());
    Mouse(InputMove, 500, 500);
    Mouse(InputMove, 110, 10);
    Wait(CTooltip::kDelay);
    ASSERT_TRUE(tip->IsShowing());
    EmitKey(KeyControl, InputPress); // the manager hears the keyboard
    EXPECT_FALSE(tip->IsShowing());
    Mouse(InputPress, 110, 10); // a press before the delay: it never shows
    Mouse(InputMove, 500, 500);
    Mouse(InputMove, 110, 10);
    Mouse(InputWheel, 0, 0);
    Wait(CTooltip::kDelay);
    EXPECT_FALSE(tip->IsShowing());
}

TEST_F(Tooltips, StaysInsideTheWindow)
{
    manager.SetTooltipBounds(150, 40);
    Mouse(InputMove, 140, 25);
    Wait(CTooltip::kDelay);
    ASSERT_TRUE(tip->IsShowing());
    EXPECT_EQ(tip->GetX() + tip->GetWidth(), 150.0f);
    EXPECT_EQ(tip->GetY() + tip->GetHeight(), 25.0f - 2.0f); // above the pointer
}

TEST(TooltipDescription, TheFirstTooltipElementServesTheButtonsTips)
{
    TempDir dir;
    const std::string path = dir.File("gui.xml");
    WriteFileBytes(path, "<gui><font name='f' /><tooltip name='tip' font='f' />"
                         "<button name='b' tooltip='New (Ctrl+N)' x='0' y='0' w='20' h='20' /></gui>");
    CResourceManager resources;
    CGUIManager manager;
    manager.LoadDescription(path.c_str(), resources);
    ASSERT_NE(manager.GetTooltip(), nullptr);
    EXPECT_EQ(manager.GetTooltip(), manager.FindElement("tip"));
    EXPECT_FALSE(manager.GetTooltip()->IsShowing());
    const auto* button = dynamic_cast<CButton*>(manager.FindElement("b"));
    ASSERT_NE(button, nullptr);
    EXPECT_STREQ(button->GetTooltip().CStr(), "New (Ctrl+N)");
    manager.DeleteAll();
    EXPECT_EQ(manager.GetTooltip(), nullptr);
}

} // namespace
