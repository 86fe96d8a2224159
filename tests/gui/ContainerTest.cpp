// Windows, frames, control bars and progress bars: dragging by the title bar only and the
// close button's capture, the frame's pieces around its body, the control bar's drag
// reports and look toggle, and the progress bar's percent and fill.
#include "SignalLog.h"
#include "WidgetKit.h"

#include "gui/ControlBar.h"
#include "gui/Frame.h"
#include "gui/Progress.h"
#include "gui/Window.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using Words = std::vector<std::string>;

struct Counter {
    void Count() { ++count; }
    void Drag(int32_t x, int32_t y) { drags.emplace_back(x, y); }
    void Progress(float percent) { percents.push_back(percent); }
    int count = 0;
    std::vector<std::pair<int32_t, int32_t>> drags;
    std::vector<float> percents;
    CSlotList slots;
};

class Containers : public ::testing::Test, public WidgetKit {};

TEST_F(Containers, AWindowMovesOnlyByItsTitleBarAndClosesOnAFullClick)
{
    // Title bar 20 high; the close button 16 × 16 at (200 − 16 − 2, 10 − 8) in the window.
    ASSERT_TRUE(Load("<gui><window name='win' x='50' y='50' w='200' h='100' text='Files'>"
                     "<gui h='20'/><button w='16' h='16'/></window></gui>"));
    auto* window = Find<CWindow>("win");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->GetTitleBar().GetWidth(), 200.0f);
    EXPECT_EQ(window->GetCloseButton().GetX(), 182.0f);
    EXPECT_EQ(window->GetCloseButton().GetY(), 2.0f);
    EXPECT_STREQ(window->GetTitle().GetText().CStr(), "Files");
    SignalLog log;
    log.Watch(*window);
    Counter closes;
    closes.slots.Connect(window->GetCloseButton().onRelease, &closes, &Counter::Count);

    Press(100, 120); // the body
    Move(110, 130);
    Release(110, 130);
    EXPECT_EQ(window->GetX(), 50.0f);
    EXPECT_EQ(window->GetY(), 50.0f);

    Press(100, 60); // the title bar
    log.Take();
    Move(110, 70);
    Move(120, 75);
    // The held button keeps the hover as it was: a drag hears only its moves.
    EXPECT_EQ(log.Take(), (Words{"move 60 60", "input3", "move 70 65", "input3"}));
    Release(120, 75);
    EXPECT_EQ(window->GetX(), 70.0f);
    EXPECT_EQ(window->GetY(), 65.0f);

    // The close button now spans (252, 67) to (268, 83) on screen.
    Click(260, 75);
    EXPECT_EQ(closes.count, 1);
    EXPECT_EQ(window->GetX(), 70.0f); // a press on the close button does not drag
    Press(260, 75);
    Release(150, 75); // slid off onto the title bar
    EXPECT_EQ(closes.count, 1);
}

TEST_F(Containers, AFramesPiecesFollowItsBody)
{
    std::string text = "<gui><frame name='box' x='20' y='30' w='100' h='60' borderX='4' borderY='4'>";
    for (int piece = 0; piece < 8; ++piece)
        text += "<gui border='" + std::to_string(piece) + "' w='16' h='16'/>";
    text += "<gui border='8' w='99' h='99'/><gui border='-1' w='99' h='99'/></frame></gui>";
    ASSERT_TRUE(Load(text.c_str()));
    auto* frame = Find<CFrame>("box");
    ASSERT_NE(frame, nullptr);
    auto at = [&](uint32_t i) {
        CGUI& piece = *frame->GetPiece(i);
        return std::vector<float>{piece.GetX(), piece.GetY(), piece.GetWidth(), piece.GetHeight()};
    };
    EXPECT_EQ(at(CFrame::TopLeft), (std::vector<float>{-10, -10, 16, 16}));
    EXPECT_EQ(at(CFrame::Top), (std::vector<float>{6, -10, 88, 16}));
    EXPECT_EQ(at(CFrame::TopRight), (std::vector<float>{93.5f, -10, 16, 16}));
    EXPECT_EQ(at(CFrame::Left), (std::vector<float>{-10, 6, 16, 48}));
    EXPECT_EQ(at(CFrame::Right), (std::vector<float>{93.5f, 6, 16, 48}));
    EXPECT_EQ(at(CFrame::BottomLeft), (std::vector<float>{-10, 53.5f, 16, 16}));
    EXPECT_EQ(at(CFrame::Bottom), (std::vector<float>{6, 53.5f, 88, 16}));
    EXPECT_EQ(at(CFrame::BottomRight), (std::vector<float>{93.5f, 53.5f, 16, 16}));
    EXPECT_EQ(frame->GetPiece(0)->GetParent(), frame);
    EXPECT_EQ(frame->GetPiece(8), nullptr);
    EXPECT_FALSE(frame->HitTest(50, 50)); // decoration: never takes the mouse

    frame->SetSize(120, 80);
    EXPECT_EQ(at(CFrame::Bottom), (std::vector<float>{6, 73.5f, 108, 16}));
    EXPECT_EQ(at(CFrame::Right), (std::vector<float>{113.5f, 6, 16, 68}));
    frame->SetPosition(0, 0);
    EXPECT_EQ(frame->GetPiece(0)->GetAbsolutePosition().x, -10.0f);
}

// A control bar whose cursor the test moves.
class TestBar : public CControlBar {
public:
    CVector cursor = CVector(500, 400, 0, 0);

protected:
    CVector CursorScreenPosition() const override { return cursor; }
};

TEST_F(Containers, AControlBarReportsItsDragPerFrameAndTogglesItsLook)
{
    CSprite* sprite = new CSprite;
    sprite->name = "controls";
    sprite->AddFrame("", 0, 0, 300, 20, 0, nullptr);
    for (int i = 0; i < 16; ++i)
        sprite->AddFrame("", 0, 0, 16, 16, 0, nullptr);
    resources.Add(sprite);
    auto* bar = new TestBar;
    bar->SetSprite(*sprite);
    bar->SetFrame(0);
    bar->SetSize(300, 20);
    manager.AddElement(bar);
    // Right-aligned from the third button: 282, 266, 250; centred at y 2.
    EXPECT_EQ(bar->GetThirdButton().GetX(), 282.0f);
    EXPECT_EQ(bar->GetFirstButton().GetX(), 250.0f);
    EXPECT_EQ(bar->GetSecondButton().GetY(), 2.0f);
    Counter owner;
    owner.slots.Connect(bar->onDrag, &owner, &Counter::Drag);
    owner.slots.Connect(bar->GetThirdButton().onRelease, &owner, &Counter::Count);

    Press(100, 10);
    bar->cursor = CVector(505, 400, 0, 0);
    bar->ReportDrag();
    bar->cursor = CVector(503, 410, 0, 0);
    bar->ReportDrag();
    Release(100, 10);
    bar->ReportDrag();
    EXPECT_EQ(owner.drags, (std::vector<std::pair<int32_t, int32_t>>{{5, 0}, {-2, 10}}));

    Click(290, 10); // the third button
    EXPECT_EQ(owner.count, 1);
    bar->ReportDrag();
    EXPECT_EQ(owner.drags.size(), 2u);

    Click(274, 10); // the second button: the other look, no first button, no dragging
    EXPECT_FALSE(bar->IsDragEnabled());
    EXPECT_FALSE(bar->GetFirstButton().GetEnabledFlag());
    EXPECT_EQ(bar->GetSecondButton().GetCurrentFrame(), 5u);
    Press(100, 10);
    bar->cursor = CVector(600, 400, 0, 0);
    bar->ReportDrag();
    Release(100, 10);
    EXPECT_EQ(owner.drags.size(), 2u);
    Click(274, 10);
    EXPECT_TRUE(bar->IsDragEnabled());
    EXPECT_TRUE(bar->GetFirstButton().GetEnabledFlag());
    EXPECT_EQ(bar->GetSecondButton().GetCurrentFrame(), 9u);
}

TEST_F(Containers, ProgressIsValueOverTheRangesWidthClampedToAHundred)
{
    CSprite sprite;
    sprite.AddFrame("", 0, 0, 200, 10, 0, nullptr);
    sprite.AddFrame("", 0, 0, 200, 10, 0, nullptr);
    CTexture texture;
    sprite.frames[1].texture = &texture;
    sprite.frames[1].sw = 0.5f;
    CProgress bar;
    bar.SetSprite(sprite);
    bar.SetSize(200, 10);
    Counter owner;
    owner.slots.Connect(bar.onProgress, &owner, &Counter::Progress);

    bar.SetRange(0, 200);
    bar.SetValue(50);
    EXPECT_EQ(bar.GetPercent(), 25.0f);
    EXPECT_EQ(bar.GetFill().GetWidth(), 50.0f);
    EXPECT_EQ(bar.GetFill().GetHeight(), 10.0f);
    EXPECT_FLOAT_EQ(bar.GetFill().material.textureMatrix.At(0), 0.125f); // a quarter of the image
    bar.SetValue(500);
    EXPECT_EQ(bar.GetValue(), 200u);
    EXPECT_EQ(bar.GetPercent(), 100.0f);

    // The minimum is not subtracted: 150 over a range 100 wide is 150 percent, shown as 100.
    bar.SetRange(100, 200);
    bar.SetValue(150);
    EXPECT_EQ(bar.GetPercent(), 100.0f);
    bar.SetValue(20);
    EXPECT_EQ(bar.GetValue(), 100u);
    EXPECT_EQ(owner.percents, (std::vector<float>{0, 25, 100, 100, 100, 100}));

    bar.SetSize(100, 8);
    EXPECT_EQ(bar.GetFill().GetWidth(), 100.0f);
    bar.SetPercent(-5);
    EXPECT_EQ(bar.GetFill().GetWidth(), 0.0f);
    bar.SetRange(7, 7); // an empty range leaves the percent alone
    EXPECT_EQ(bar.GetValue(), 7u);
    EXPECT_EQ(bar.GetPercent(), 0.0f);
}

} // namespace
