// Where the mouse goes when several routers listen (a GUI manager in front of a voice panel):
// the pressed control holds the pointer, hover is the one topmost element; and how many
// signals one step of each kind of control makes, layer by layer.
#include "app/Oscilloscope.h"
#include "events/Input.h"
#include "gui/GUIManager.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

struct Counts {
    int values = 0, model = 0, panel = 0;
    void Value(float) { ++values; }
    void Model(VoiceChange) { ++model; }
    void Panel() { ++panel; }
};

CVector Centre(CGUI& element)
{
    const CVector at = element.GetAbsolutePosition();
    return CVector(at.x + element.GetWidth() / 2, at.y + element.GetHeight() / 2, 0, 0);
}

class Routing : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The manager listens first: its element lies in front of the panel's sawtooth box.
        panel.Setup(templates.Get());
        cover->SetEnabled(true);
        const CVector covered = panel.WaveBox(2).GetAbsolutePosition();
        cover->SetPosition(covered.x, covered.y);
        cover->SetSize(8, 8);
        manager.AddElement(cover);
    }
    CGUIManager manager;
    CGUI* cover = new CGUI; // the manager's
    CStockTemplates templates;
    COscilloscope panel;
};

TEST_F(Routing, ThePressedControlHoldsThePointerAndHoverIsTheTopmostElement)
{
    CScroll& slider = panel.Slider(ValueAmplitude);
    CCheckBox& triangle = panel.WaveBox(1);
    const CVector thumb = Centre(slider.GetThumb()), box = Centre(triangle), over = Centre(*cover);
    enum Op { Move, Press, Release }; // each at a point, the pointer moved there first
    const struct {
        const char* what;
        std::vector<std::pair<Op, CVector>> steps;
        CGUI* capture;
        CGUI* hover;
        bool triangleDown;
    } rows[] = {
        {"hover reaches only the topmost element", {{Move, over}}, nullptr, cover, false},
        {"hover follows the pointer", {{Move, box}}, nullptr, &triangle, false},
        {"a drag off the control keeps it and no hover changes", {{Press, thumb}, {Move, box}}, &slider, &slider, false},
        {"the release elsewhere ends it and clicks nothing", {{Press, thumb}, {Release, box}}, nullptr, &slider, false},
        {"then hover follows again", {{Press, thumb}, {Release, box}, {Move, box}}, nullptr, &triangle, false},
        {"a press the element in front took is no press below it", {{Press, over}, {Release, over}}, nullptr, cover, false},
        {"a click on a control of the panel reaches it", {{Press, box}, {Release, box}}, nullptr, &triangle, true},
    };
    for (const auto& row : rows) {
        panel.SetWaveType(0);
        EmitMouseMove(1000, 1000);
        for (const auto& [op, at] : row.steps) {
            EmitMouseMove(static_cast<int32_t>(at.x), static_cast<int32_t>(at.y));
            if (op != Move)
                EmitMouseButton(MouseLeft, op == Press ? InputPress : InputRelease);
        }
        EXPECT_EQ(CGUI::GetPointerCapture(), row.capture) << row.what;
        EXPECT_EQ(CGUI::GetPointerHover(), row.hover) << row.what;
        EXPECT_EQ(triangle.IsDown(), row.triangleDown) << row.what;
        EXPECT_FALSE(panel.WaveBox(2).IsDown() || panel.WaveBox(2).GetState() == CButton::StateHover) << row.what;
        if (CGUI::GetPointerCapture())
            EmitMouseButton(MouseLeft, InputRelease);
    }
}

// One step is one value signal, one model change and one panel change; a step that changes
// nothing announces nothing.
TEST(Emissions, OneStepOfEachControlKindIsAnnouncedOncePerLayer)
{
    CStockTemplates templates;
    COscilloscope panel;
    panel.Setup(templates.Get());
    CScroll bar; // a scroll bar outside any panel
    bar.SetRange(0, 100);
    CInputMap right, space;
    right.action = space.action = InputPress;
    right.value = KeyRight;
    space.value = ' ';
    space.character = true;
    CScroll& slider = panel.Slider(ValueAmplitude);
    enum Step { ArrowButton, ArrowKey, SpaceOnMute, SpaceOnCheckedShape };
    const struct {
        const char* what;
        CScroll* scroll; // whose values are counted
        float start;     // its value before the step
        Step step;
        std::vector<int> expected; // values, model changes, panel changes
    } rows[] = {
        {"slider arrow button", &slider, 150, ArrowButton, {1, 1, 1}},
        {"slider arrow key", &slider, 150, ArrowKey, {1, 1, 1}},
        {"slider at its end", &slider, 400, ArrowKey, {0, 0, 0}},
        {"scroll bar arrow key", &bar, 50, ArrowKey, {1, 0, 0}},
        {"switch by Space", &slider, 150, SpaceOnMute, {0, 1, 1}},
        {"the checked shape box", &slider, 150, SpaceOnCheckedShape, {0, 0, 0}},
    };
    for (const auto& row : rows) {
        Counts counts;
        CSlotList slots;
        slots.Connect(row.scroll->onValue, &counts, &Counts::Value);
        slots.Connect(panel.Model().changed, &counts, &Counts::Model);
        slots.Connect(panel.changed, &counts, &Counts::Panel);
        row.scroll->SetValue(row.start);
        counts = Counts();
        switch (row.step) {
        case ArrowButton: row.scroll->GetIncreaseButton().onRelease.Emit(); break;
        case ArrowKey: row.scroll->TakeKey(right); break;
        case SpaceOnMute: panel.MuteBox().TakeKey(space); break;
        case SpaceOnCheckedShape: panel.WaveBox(panel.GetWaveType()).TakeKey(space); break;
        }
        EXPECT_EQ((std::vector<int>{counts.values, counts.model, counts.panel}), row.expected) << row.what;
    }
}

} // namespace
