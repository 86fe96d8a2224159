// Buttons and check boxes driven through a GUI manager: the states and their frames and
// colours, the label and the down offset, latching, the check box toggle and its label's hit
// area, copying a template, and the description attributes.
#include "GlyphSprite.h"
#include "SignalLog.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/GUIManager.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using States = std::vector<int>;
using Words = std::vector<std::string>;

// Counts clicks and records every state a button announces.
struct ButtonLog {
    void Watch(CButton& button)
    {
        slots.Connect(button.onState, this, &ButtonLog::OnState);
        slots.Connect(button.onRelease, this, &ButtonLog::OnClick);
    }
    States Take()
    {
        States taken;
        taken.swap(states);
        return taken;
    }
    void OnState(CButton::State state) { states.push_back(state); }
    void OnClick() { ++clicks; }

    States states;
    int clicks = 0;
    CSlotList slots;
};

class Buttons : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 7; ++i)
            frames.AddFrame("", 0, 0, 40 + i, 20, 0, nullptr);
        glyphs.reset(NewGlyphSprite(&texture));
        font.SetSprite(*glyphs);
    }

    template <class T>
    T* Add(float x, float y, float w, float h)
    {
        auto* button = new T;
        button->SetPosition(x, y);
        button->SetSize(w, h);
        manager.AddElement(button);
        log.Watch(*button);
        return button;
    }

    States Send(int32_t action, float x, float y)
    {
        CInputMap event;
        event.action = action;
        event.button = MouseLeft;
        event.position = CVector(x, y, 0.0f, 0.0f);
        manager.OnMouse(event);
        return log.Take();
    }

    // A left click at (x, y): the move there, the press and the release.
    States Click(float x, float y)
    {
        States all = Send(InputMove, x, y);
        for (int32_t action : {InputPress, InputRelease})
            for (int state : Send(action, x, y))
                all.push_back(state);
        return all;
    }

    CSprite frames; // seven frames without texture, 40 to 46 wide
    CTexture texture;
    std::unique_ptr<CSprite> glyphs;
    CFont font;
    CGUIManager manager;
    ButtonLog log;
};

TEST_F(Buttons, StatesFollowTheMouseThroughConsecutiveFrames)
{
    CButton* button = Add<CButton>(10, 10, 40, 20);
    button->SetSprite(frames);
    button->SetFrame(2);
    EXPECT_EQ(Send(InputMove, 20, 15), (States{1}));
    EXPECT_EQ(button->GetSprite().current, 3u);
    EXPECT_EQ(Send(InputMove, 21, 15), (States{})); // hover is a level: no repeats
    EXPECT_EQ(Send(InputMove, 100, 100), (States{0}));
    EXPECT_EQ(button->GetSprite().current, 2u);
    EXPECT_EQ(button->GetCurrentFrame(), 2u); // the base frame stays

    // Pressed, dragged off and released elsewhere: down stays while held, then normal, no click.
    EXPECT_EQ(Send(InputMove, 20, 15), (States{1}));
    EXPECT_EQ(Send(InputPress, 20, 15), (States{2}));
    EXPECT_EQ(button->GetSprite().current, 4u);
    EXPECT_EQ(Send(InputMove, 100, 100), (States{}));
    EXPECT_EQ(Send(InputRelease, 100, 100), (States{0}));
    EXPECT_EQ(log.clicks, 0);

    EXPECT_EQ(Click(20, 15), (States{1, 2, 1}));
    EXPECT_EQ(log.clicks, 1);

    button->SetEnabled(false);
    EXPECT_EQ(log.Take(), (States{3}));
    EXPECT_EQ(button->GetSprite().current, 5u);
    EXPECT_EQ(Click(20, 15), (States{}));
    button->SetEnabled(true);
    EXPECT_EQ(log.Take(), (States{0}));
}

TEST_F(Buttons, StateColoursTintOnlyTheirOwnStates)
{
    CButton button;
    const float own[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    std::copy(own, own + 4, button.material.emission);
    button.material.diffuse[3] = 0.9f;
    button.SetStateColour(CButton::StateHover, 1, 0, 0, 0.5f);
    button.SetStateColour(CButton::StateDown, 0, 1, 0, 0); // alpha 0: no colour

    button.SetState(CButton::StateHover);
    EXPECT_EQ(button.material.emission[0], 1.0f);
    EXPECT_EQ(button.material.emission[1], 0.0f);
    EXPECT_EQ(button.material.diffuse[3], 0.5f);
    button.SetState(CButton::StateDown);
    EXPECT_EQ(button.material.emission[0], 0.1f);
    EXPECT_EQ(button.material.emission[3], 0.4f);
    EXPECT_EQ(button.material.diffuse[3], 0.9f);
    button.SetState(CButton::StateHover);
    button.SetState(CButton::StateNormal);
    EXPECT_EQ(button.material.emission[2], 0.3f);
    EXPECT_EQ(button.material.diffuse[3], 0.9f);
}

TEST_F(Buttons, TheLabelShiftsByTheOffsetWhileDown)
{
    CButton* button = Add<CButton>(10, 10, 40, 20);
    button->SetSprite(frames);
    button->SetFont(&font);
    CXMLDocument document;
    ASSERT_TRUE(document.Parse("<button text='GO' x='10' y='10' w='40' h='20'/>"));
    button->LoadFromNode(document);
    const CFont& label = button->GetLabel();
    EXPECT_STREQ(label.GetText().CStr(), "GO");
    EXPECT_EQ(label.GetParent(), button);
    EXPECT_EQ(label.GetAlign(), 4);
    EXPECT_EQ(label.GetWidth(), 40.0f);
    EXPECT_EQ(label.GetHeight(), 20.0f);

    Send(InputMove, 20, 15);
    Send(InputPress, 20, 15);
    EXPECT_EQ(label.GetX(), 2.0f); // "text" without an offset child shifts by (2, 2)
    EXPECT_EQ(label.GetY(), 2.0f);
    Send(InputRelease, 20, 15);
    EXPECT_EQ(label.GetX(), 0.0f);
    EXPECT_EQ(label.GetY(), 0.0f);

    log.Take();
    button->SetDown(true);
    EXPECT_EQ(log.Take(), (States{2}));
    EXPECT_EQ(label.GetX(), 2.0f);
    EXPECT_EQ(Click(20, 15), (States{})); // latched: the mouse changes nothing
    EXPECT_EQ(log.clicks, 2);
    button->SetDown(false);
    EXPECT_EQ(log.Take(), (States{0}));
    EXPECT_EQ(label.GetX(), 0.0f);

    // An offset child replaces the offset; its w sets the label's width.
    ASSERT_TRUE(document.Parse("<button w='40' h='20'><offset x='3' y='1' w='30'/><hover r='1' a='0.5'/></button>"));
    button->LoadFromNode(document);
    EXPECT_EQ(label.GetWidth(), 30.0f);
    EXPECT_EQ(button->GetStateColour(CButton::StateHover)[3], 0.5f);
    button->SetState(CButton::StateDown);
    EXPECT_EQ(label.GetX(), 3.0f);
    EXPECT_EQ(label.GetY(), 1.0f);
}

TEST_F(Buttons, AButtonWithoutFramesMovesItselfWhileDown)
{
    CButton* button = Add<CButton>(10, 10, 40, 20);
    button->SetOffset(3, 3, 0, 0);
    SignalLog moves;
    moves.Watch(*button);
    Send(InputMove, 20, 15);
    Send(InputPress, 20, 15);
    EXPECT_EQ(button->GetX(), 13.0f);
    Send(InputRelease, 20, 15);
    EXPECT_EQ(button->GetX(), 10.0f);
    EXPECT_EQ(button->GetY(), 10.0f);
    int moved = 0;
    for (const std::string& word : moves.Take())
        moved += word.rfind("move ", 0) == 0;
    EXPECT_EQ(moved, 2);
}

TEST_F(Buttons, CheckBoxesToggleOnClicksOnTheBoxOrItsLabel)
{
    CCheckBox* box = Add<CCheckBox>(10, 10, 12, 12);
    box->SetOffset(0, 0, 0, 80);
    box->SetFont(&font);
    box->GetLabel().SetText("LOOP");
    EXPECT_EQ(box->GetLabel().GetAlign(), 0); // a check box's label is not centred

    EXPECT_EQ(Click(60, 15), (States{1, 2, 1, 2})); // on the label, right of the box
    EXPECT_TRUE(box->IsDown());
    EXPECT_EQ(log.clicks, 1);
    EXPECT_EQ(Click(15, 15), (States{0})); // press and release are ignored while latched
    EXPECT_FALSE(box->IsDown());
    EXPECT_EQ(Send(InputMove, 16, 15), (States{1}));
    EXPECT_EQ(Click(95, 15), (States{0})); // past the label: nothing is hit
    EXPECT_FALSE(box->IsDown());

    // Disabling a checked box shows the disabled state; enabling it shows it down again.
    box->SetDown(true);
    box->SetEnabled(false);
    box->SetEnabled(true);
    EXPECT_EQ(log.Take(), (States{2, 3, 2}));
}

TEST_F(Buttons, AssignTakesTheLookAndKeepsTheLatch)
{
    CButton model;
    model.SetSprite(frames);
    model.SetFrame(1);
    model.SetSize(40, 20);
    model.SetStateColour(CButton::StateHover, 0, 0, 1, 1);
    model.SetOffset(4, 4, 0, 0);
    model.SetFont(&font);
    model.GetLabel().SetText("OK");
    model.SetState(CButton::StateHover); // shows frame 2, which is not its base

    CCheckBox box;
    box.SetDown(true);
    box.Assign(model);
    EXPECT_TRUE(box.IsDown());
    EXPECT_EQ(box.GetCurrentFrame(), 1u);
    EXPECT_EQ(box.GetSprite().current, 3u); // base 1 + down
    EXPECT_EQ(box.GetState(), CButton::StateDown);
    EXPECT_STREQ(box.GetLabel().GetText().CStr(), "OK");
    EXPECT_EQ(box.GetLabel().GetParent(), &box);
    EXPECT_EQ(box.GetLabel().GetX(), 4.0f);
    EXPECT_EQ(box.GetStateColour(CButton::StateHover)[2], 1.0f);
    EXPECT_EQ(box.GetWidth(), 40.0f);
}

TEST_F(Buttons, ADisabledButtonKeepsItsDisabledLookWhenLatchedOrReleased)
{
    CButton* button = Add<CButton>(10, 10, 40, 20);
    button->SetSprite(frames);
    button->SetEnabled(false);
    log.Take();
    button->SetDown(true);
    EXPECT_TRUE(button->IsDown());
    EXPECT_EQ(button->GetState(), CButton::StateDisabled);
    EXPECT_EQ(button->GetSprite().current, 3u);
    button->SetDown(false);
    EXPECT_EQ(log.Take(), (States{3, 3}));
    // The latch shows once the button is enabled again.
    button->SetDown(true);
    button->SetEnabled(true);
    EXPECT_EQ(log.Take(), (States{3, 2}));
    EXPECT_EQ(button->GetSprite().current, 2u);
}

// A panel routes the mouse to its boxes itself (RouteInput), as the synthesizer's panels do
// with their radio boxes: one box checked, another pressed, dragged off and released away.
TEST_F(Buttons, ARoutedBoxPressedAndReleasedElsewhereLooksUncheckedAgain)
{
    CCheckBox sine, square;
    for (CCheckBox* box : {&sine, &square}) {
        box->SetSprite(frames);
        box->SetSize(12, 12);
        log.Watch(*box);
    }
    sine.SetPosition(10, 10);
    square.SetPosition(10, 30);
    sine.SetDown(true);
    log.Take();
    auto route = [](CGUI& box, int32_t action, float x, float y) {
        CInputMap event;
        event.action = action;
        event.button = action == InputMove ? MouseNoButton : MouseLeft;
        event.position = CVector(x, y, 0.0f, 0.0f);
        box.RouteInput(event);
    };
    route(square, InputMove, 15, 35);
    route(square, InputPress, 15, 35);
    EXPECT_EQ(square.GetState(), CButton::StateDown);
    route(square, InputMove, 200, 35);
    route(square, InputRelease, 200, 35);
    EXPECT_FALSE(square.IsDown());
    EXPECT_EQ(square.GetState(), CButton::StateNormal);
    EXPECT_EQ(square.GetSprite().current, 0u);
    EXPECT_TRUE(sine.IsDown());
    EXPECT_EQ(log.clicks, 0);
}

} // namespace
