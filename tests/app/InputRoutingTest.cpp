// Where the mouse goes when several routers listen (a GUI manager in front of a voice panel):
// the pressed control holds the pointer, hover is the one topmost element; and how many
// signals one step of each kind of control makes, layer by layer.
#include "app/Oscilloscope.h"
#include "events/Input.h"
#include "gui/GUIManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Counts {
    int values = 0, model = 0, panel = 0;
    void Value(float) { ++values; }
    void Model(VoiceChange) { ++model; }
    void Panel() { ++panel; }
    bool operator==(const Counts& o) const { return values == o.values && model == o.model && panel == o.panel; }
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
        // The manager listens first: its element lies in front of the panel's sine box.
        cover = new CGUI;
        cover->SetEnabled(true);
        const CVector sine = panel.WaveBox(0).GetAbsolutePosition();
        cover->SetPosition(sine.x, sine.y);
        cover->SetSize(8, 8);
        manager.AddElement(cover);
        panel.Setup(templates.Get());
        panel.SetPosition(0, 0);
    }
    CGUIManager manager;
    CGUI* cover = nullptr;
    CStockTemplates templates;
    COscilloscope panel;
};

TEST_F(Routing, ThePressedControlHoldsThePointerAndHoverIsTheTopmostElement)
{
    CScroll& slider = panel.Slider(ValueAmplitude);
    CCheckBox& triangle = panel.WaveBox(1);
    const CVector thumb = Centre(slider.GetThumb()), box = Centre(triangle);
    enum Op { Move, Press, Release };
    struct Step {
        Op op;
        CVector at;
    };
    const struct {
        const char* what;
        std::vector<Step> steps;
        CGUI* capture;
        CGUI* hover;
        bool triangleDown;
    } rows[] = {
        {"hover reaches only the topmost element", {{Move, Centre(*cover)}}, nullptr, cover, false},
        {"hover follows the pointer", {{Move, box}}, nullptr, &triangle, false},
        {"a drag off the control keeps it and no hover changes",
         {{Move, thumb}, {Press, thumb}, {Move, box}}, &slider, &slider, false},
        {"the release elsewhere ends it and clicks nothing",
         {{Move, thumb}, {Press, thumb}, {Move, box}, {Release, box}}, nullptr, &slider, false},
        {"after the release hover follows again",
         {{Move, thumb}, {Press, thumb}, {Move, box}, {Release, box}, {Move, box}}, nullptr, &triangle, false},
        {"a press the element in front took is no press for the panel",
         {{Move, Centre(*cover)}, {Press, Centre(*cover)}, {Release, Centre(*cover)}}, nullptr, cover, false},
        {"a click on a control of the panel reaches it", {{Move, box}, {Press, box}, {Release, box}}, nullptr,
         &triangle, true},
    };
    for (const auto& row : rows) {
        panel.SetWaveType(0);
        EmitMouseMove(1000, 1000);
        for (const Step& step : row.steps) {
            EmitMouseMove(static_cast<int32_t>(step.at.x), static_cast<int32_t>(step.at.y));
            if (step.op != Move)
                EmitMouseButton(MouseLeft, step.op == Press ? InputPress : InputRelease);
        }
        EXPECT_EQ(CGUI::GetPointerCapture(), row.capture) << row.what;
        EXPECT_EQ(CGUI::GetPointerHover(), row.hover) << row.what;
        EXPECT_EQ(triangle.IsDown(), row.triangleDown) << row.what;
        EXPECT_FALSE(panel.WaveBox(0).GetState() == CButton::StateHover) << row.what;
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
    const struct {
        const char* what;
        CScroll* scroll; // whose values are counted
        float start;     // its value before the step
        void (*step)(COscilloscope&, CScroll&, const CInputMap&, const CInputMap&);
        Counts expected;
    } rows[] = {
        {"slider arrow button", &slider, 150, [](COscilloscope&, CScroll& s, const CInputMap&, const CInputMap&) {
             s.GetIncreaseButton().onRelease.Emit(); }, {1, 1, 1}},
        {"slider arrow key", &slider, 150, [](COscilloscope&, CScroll& s, const CInputMap& r, const CInputMap&) {
             s.TakeKey(r); }, {1, 1, 1}},
        {"slider at its end", &slider, 400, [](COscilloscope&, CScroll& s, const CInputMap& r, const CInputMap&) {
             s.TakeKey(r); }, {0, 0, 0}},
        {"scroll bar arrow key", &bar, 50, [](COscilloscope&, CScroll& s, const CInputMap& r, const CInputMap&) {
             s.TakeKey(r); }, {1, 0, 0}},
        {"switch by Space", &slider, 150, [](COscilloscope& p, CScroll&, const CInputMap&, const CInputMap& sp) {
             p.MuteBox().TakeKey(sp); }, {0, 1, 1}},
        {"the checked shape box", &slider, 150, [](COscilloscope& p, CScroll&, const CInputMap&, const CInputMap& sp) {
             p.WaveBox(p.GetWaveType()).TakeKey(sp); }, {0, 0, 0}},
    };
    for (const auto& row : rows) {
        Counts counts;
        CSlotList slots;
        slots.Connect(row.scroll->onValue, &counts, &Counts::Value);
        slots.Connect(panel.Model().changed, &counts, &Counts::Model);
        slots.Connect(panel.changed, &counts, &Counts::Panel);
        row.scroll->SetValue(row.start);
        counts = Counts();
        row.step(panel, *row.scroll, right, space);
        EXPECT_TRUE(counts == row.expected)
            << row.what << ": " << counts.values << " values, " << counts.model << " model, " << counts.panel << " panel";
    }
}

} // namespace
