// The scroll bar through a GUI manager: the value's place on the track, clamping, an empty
// range, dragging the thumb, the arrows acting on release, the wheel, the exact signals, the
// sprite frames of the parts and copying.
#include "events/Input.h"
#include "gui/GUIManager.h"
#include "gui/Scroll.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Values = std::vector<float>;

struct ScrollLog {
    explicit ScrollLog(CScroll& bar)
    {
        slots.Connect(bar.onValue, this, &ScrollLog::OnValue);
        slots.Connect(bar.onIncrease, this, &ScrollLog::OnIncrease);
        slots.Connect(bar.onDecrease, this, &ScrollLog::OnDecrease);
    }
    void OnValue(float value) { values.push_back(value); }
    void OnIncrease(float) { ++increases; }
    void OnDecrease(float) { ++decreases; }
    Values Take()
    {
        Values taken;
        taken.swap(values);
        return taken;
    }
    Values values;
    int increases = 0;
    int decreases = 0;
    CSlotList slots;
};

// A vertical bar at (100, 50), 16 × 200, with 16 × 16 arrows and thumb from its sprite: the
// thumb's track is 200 − 48 = 152 long, from y 16 to 168 within the bar. Range 0 to 100.
class ScrollBars : public ::testing::Test {
protected:
    void SetUp() override
    {
        sprite.AddFrame("", 0, 0, 16, 200, 0, nullptr);
        for (int i = 0; i < 12; ++i)
            sprite.AddFrame("", 0, 0, 16, 16, 0, nullptr);
        bar = new CScroll;
        bar->SetSprite(sprite);
        bar->SetPosition(100, 50);
        bar->SetSize(16, 200);
        bar->SetRange(0, 100);
        manager.AddElement(bar);
        log = std::make_unique<ScrollLog>(*bar);
    }

    void Send(int32_t action, float x, float y, int32_t wheel = 0)
    {
        CInputMap event;
        event.action = action;
        event.button = action == InputMove || action == InputWheel ? MouseNoButton : MouseLeft;
        event.value = wheel;
        event.position = CVector(x, y, 0.0f, 0.0f);
        manager.OnMouse(event);
    }
    void Click(float x, float y)
    {
        Send(InputPress, x, y);
        Send(InputRelease, x, y);
    }

    CSprite sprite;
    CGUIManager manager;
    CScroll* bar = nullptr;
    std::unique_ptr<ScrollLog> log;
};

TEST_F(ScrollBars, TheValueMapsOntoTheThumbsPlaceOnTheTrack)
{
    CButton& thumb = bar->GetThumb();
    EXPECT_EQ(bar->GetIncreaseButton().GetY(), 184.0f);
    bar->SetValue(50);
    EXPECT_EQ(thumb.GetY(), 92.0f); // 16 + 0.5 × 152
    EXPECT_EQ(thumb.GetX(), 0.0f);
    EXPECT_EQ(log->Take(), (Values{50}));

    bar->SetValue(-5);
    EXPECT_EQ(bar->GetValue(), 0.0f);
    EXPECT_EQ(thumb.GetY(), 16.0f);
    EXPECT_EQ(log->Take(), (Values{0})); // once
    bar->SetValue(1000);
    EXPECT_EQ(thumb.GetY(), 168.0f);
    bar->SetValue(NAN);
    EXPECT_EQ(bar->GetValue(), 0.0f);

    // A new size lays the parts out again; the thumb keeps showing the value.
    bar->SetValue(50);
    bar->SetSize(16, 300);
    EXPECT_EQ(bar->GetIncreaseButton().GetY(), 284.0f);
    EXPECT_EQ(thumb.GetY(), 142.0f); // 16 + 0.5 × 252
    EXPECT_EQ(bar->GetValue(), 50.0f);

    // Horizontal: along x, from the decrease arrow's right edge.
    bar->SetVertical(false);
    bar->SetSize(200, 16);
    bar->SetValue(25);
    EXPECT_EQ(thumb.GetX(), 54.0f); // 16 + 152 × 0.25
    EXPECT_EQ(thumb.GetY(), 0.0f);
    EXPECT_EQ(bar->GetIncreaseButton().GetX(), 184.0f);
}

TEST_F(ScrollBars, AnEmptyRangeKeepsTheMinimumAndTheThumbAtTheStart)
{
    bar->SetRange(5, 5);
    bar->SetValue(7);
    EXPECT_EQ(bar->GetValue(), 5.0f);
    EXPECT_EQ(bar->GetThumb().GetY(), 16.0f);
    Send(InputPress, 108, 70);
    Send(InputMove, 108, 120);
    EXPECT_EQ(bar->GetValue(), 5.0f);
    for (float value : log->Take())
        EXPECT_EQ(value, 5.0f);
}

TEST_F(ScrollBars, DraggingTheThumbClampsItToTheTrackAndReportsEveryMove)
{
    // The thumb covers y 66 to 82 on screen.
    Send(InputPress, 108, 70);
    EXPECT_EQ(bar->GetThumb().GetState(), CButton::StateDown);
    Send(InputMove, 108, 146);
    EXPECT_EQ(bar->GetThumb().GetY(), 92.0f);
    Send(InputMove, 108, 0);
    EXPECT_EQ(bar->GetThumb().GetY(), 16.0f); // not over the decrease arrow
    Send(InputMove, 108, 400);
    EXPECT_EQ(bar->GetThumb().GetY(), 168.0f);
    EXPECT_EQ(bar->GetThumb().GetX(), 0.0f);
    Send(InputMove, 108, 108);
    Send(InputRelease, 108, 108);
    EXPECT_EQ(log->Take(), (Values{50, 0, 100, 25}));
    Send(InputMove, 108, 150);
    EXPECT_TRUE(log->Take().empty());
    EXPECT_EQ(bar->GetValue(), 25.0f);

    // Moving the bar moves its parts with it, and the next drag counts from its first move.
    bar->SetPosition(300, 50);
    Send(InputPress, 308, 110);
    Send(InputMove, 308, 148);
    EXPECT_EQ(log->Take(), (Values{50}));
    Send(InputRelease, 308, 148);
}

TEST_F(ScrollBars, ArrowsStepOnReleaseOverThem)
{
    bar->SetIncrement(10);
    bar->SetValue(50);
    log->Take();
    Click(108, 242); // the increase arrow, at y 234 to 250
    EXPECT_EQ(log->Take(), (Values{60}));
    EXPECT_EQ(log->increases, 1);
    EXPECT_EQ(bar->GetIncreaseButton().GetState(), CButton::StateHover);

    // Pressed on the decrease arrow, released off it: nothing, on the bar or beside it.
    Send(InputPress, 108, 58);
    EXPECT_EQ(bar->GetDecreaseButton().GetState(), CButton::StateDown);
    Send(InputMove, 108, 150);
    Send(InputRelease, 108, 150);
    Send(InputPress, 108, 58);
    Send(InputRelease, 300, 58);
    EXPECT_TRUE(log->Take().empty());
    EXPECT_EQ(log->decreases, 0);
    EXPECT_EQ(bar->GetDecreaseButton().GetState(), CButton::StateNormal);

    Click(108, 58);
    EXPECT_EQ(log->Take(), (Values{50}));
    EXPECT_EQ(log->decreases, 1);

    bar->SetValue(95);
    log->Take();
    Click(108, 242);
    EXPECT_EQ(log->Take(), (Values{100})); // clamped: announced once
}

TEST_F(ScrollBars, EveryPressOfADoubleClickOnAnArrowSteps)
{
    bar->SetIncrement(10);
    bar->SetValue(50);
    log->Take();
    Click(108, 242);
    Send(InputDoubleClick, 108, 242);
    EXPECT_EQ(bar->GetIncreaseButton().GetState(), CButton::StateDown);
    Send(InputRelease, 108, 242);
    EXPECT_EQ(log->increases, 2);
    EXPECT_EQ(bar->GetValue(), 70.0f);

    // The first click on the track beside the arrow, the second on the arrow.
    Click(108, 231);
    Send(InputDoubleClick, 108, 236);
    Send(InputRelease, 108, 236);
    EXPECT_EQ(log->increases, 3);
    EXPECT_EQ(bar->GetValue(), 80.0f);
}

TEST_F(ScrollBars, CompositesRoutingEventsThemselvesGetTheSameArrowsAndDrags)
{
    // RouteInput announces a click before it hands the bar the release.
    auto route = [this](int32_t action, float x, float y) {
        CInputMap event;
        event.action = action;
        event.button = MouseLeft;
        event.position = CVector(x, y, 0.0f, 0.0f);
        bar->RouteInput(event);
    };
    bar->SetValue(50);
    log->Take();
    route(InputPress, 108, 58);
    route(InputMove, 108, 150);
    route(InputRelease, 108, 150);
    EXPECT_TRUE(log->Take().empty());
    route(InputPress, 108, 58);
    route(InputRelease, 108, 58);
    EXPECT_EQ(log->Take(), (Values{49}));

    bar->SetValue(50);
    log->Take();
    route(InputPress, 108, 150); // the thumb, at y 142 to 158
    route(InputMove, 108, 112);
    route(InputRelease, 108, 112);
    EXPECT_EQ(log->Take(), (Values{25}));

    // A double click on the decrease arrow after a click on the track steps, and so does one
    // routed after the composite handed the focus round again (as the synthesizer's panel
    // does before every press).
    bar->SetValue(50);
    log->Take();
    route(InputPress, 108, 100);
    route(InputRelease, 108, 100);
    route(InputDoubleClick, 108, 58);
    route(InputRelease, 108, 58);
    EXPECT_EQ(log->Take(), (Values{49}));
    route(InputPress, 108, 58);
    route(InputRelease, 108, 58);
    bar->SetFocus(false);
    route(InputDoubleClick, 108, 58);
    route(InputRelease, 108, 58);
    EXPECT_EQ(log->Take(), (Values{48, 47}));
}

TEST_F(ScrollBars, TheWheelStepsWhileTheBarHasTheFocus)
{
    Send(InputWheel, 0, 0, -120);
    EXPECT_TRUE(log->Take().empty());
    Send(InputPress, 108, 150); // the track: focus, no part
    Send(InputRelease, 108, 150);
    EXPECT_TRUE(log->Take().empty());
    Send(InputWheel, 0, 0, -120); // towards the user
    EXPECT_EQ(log->Take(), (Values{1}));
    EXPECT_EQ(log->increases, 1);
    Send(InputWheel, 0, 0, 240);
    EXPECT_EQ(log->Take(), (Values{0}));
    EXPECT_EQ(log->decreases, 1);
    EXPECT_EQ(bar->GetThumb().GetY(), 16.0f);
}

TEST_F(ScrollBars, PartsShowTheirFramesFromTheBaseFrameAndSurviveCopying)
{
    CSprite frames;
    frames.AddFrame("", 0, 0, 1, 1, 0, nullptr);      // 0: before the base
    frames.AddFrame("", 0, 0, 200, 12, 0, nullptr);   // 1: the track
    for (int i = 0; i < 4; ++i)
        frames.AddFrame("", 0, 0, 20, 10, 0, nullptr); // 2 to 5: the thumb
    for (int i = 0; i < 8; ++i)
        frames.AddFrame("", 0, 0, 12, 8, 0, nullptr);  // 6 to 13: the arrows
    CScroll source;
    source.SetVertical(false);
    source.SetSprite(frames);
    source.SetFrame(1);
    EXPECT_EQ(source.GetCurrentFrame(), 1u);
    EXPECT_EQ(source.GetThumb().GetCurrentFrame(), 2u);
    EXPECT_EQ(source.GetDecreaseButton().GetCurrentFrame(), 6u);
    EXPECT_EQ(source.GetIncreaseButton().GetCurrentFrame(), 10u);
    EXPECT_EQ(source.GetThumb().GetWidth(), 20.0f);
    EXPECT_EQ(source.GetDecreaseButton().GetHeight(), 8.0f);
    EXPECT_EQ(source.GetHeight(), 10.0f); // a horizontal bar is as thick as its thumb
    source.SetSize(200, 10);
    source.SetRange(-10, 10);
    source.SetIncrement(2);
    source.SetValue(0);
    EXPECT_EQ(source.GetThumb().GetX(), 12.0f + 78.0f); // 12 + 156 × 0.5

    CScroll copy;
    copy.Assign(source);
    EXPECT_FALSE(copy.IsVertical());
    EXPECT_EQ(copy.GetValue(), 0.0f);
    EXPECT_EQ(copy.GetMin(), -10.0f);
    EXPECT_EQ(copy.GetIncrement(), 2.0f);
    EXPECT_EQ(copy.GetThumb().GetParent(), &copy);
    EXPECT_EQ(copy.GetIncreaseButton().GetParent(), &copy);
    EXPECT_TRUE(copy.GetThumb().IsMoveable());
    EXPECT_EQ(copy.GetThumb().GetCurrentFrame(), 2u);
    EXPECT_EQ(copy.GetThumb().GetX(), 90.0f);
    copy.Increase();
    EXPECT_EQ(copy.GetValue(), 2.0f);
    EXPECT_EQ(source.GetValue(), 0.0f);
}

} // namespace
