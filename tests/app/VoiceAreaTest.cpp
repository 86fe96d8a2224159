// The scrolling voice area: columns only as far as the width allows, the rest making the
// columns taller and the area scroll; the wheel; a panel brought into view; the window's
// minimum size. First on panels without a window, then in the real program driven through
// the platform's event queue: the wheel, the bar's thumb and track, a new voice in view,
// and a click on the control bar that a scrolled panel lies under.
#include "app/Application.h"
#include "app/VoiceArea.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/GUIManager.h"
#include "platform/Events.h"
#include "platform/Window.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

void PressAt(int32_t x, int32_t y)
{
    EmitMouseMove(x, y);
    EmitMouseButton(MouseLeft, InputPress);
    EmitMouseButton(MouseLeft, InputRelease);
}

class Area : public ::testing::Test {
protected:
    void Add(size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            panels.push_back(std::make_unique<COscilloscope>());
            panels.back()->Setup(templates.Get());
        }
    }
    // The default window: 800 × 600, the control bar 40 high, the first row at 50.
    void Frame(float width = 800.0f, float height = 600.0f)
    {
        area.SetBounds(40.0f, 50.0f, width, height);
        area.Layout();
    }
    CVector At(size_t i) const { return CVector(panels[i]->GetX(), panels[i]->GetY()); }

    CStockTemplates templates;
    CVoiceArea::PanelList panels;
    CVoiceArea area{panels};
};

TEST_F(Area, ColumnsStopAtTheWindowsWidthAndWhatIsLeftScrolls)
{
    Add(12);
    Frame();
    // Two columns would cut the second one off at 800: one column, scrolled through.
    EXPECT_EQ(area.GetColumnCount(), 1u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(At(i).x, 10.0f) << i;
        EXPECT_EQ(At(i).y, 50.0f + 118.0f * i) << i; // 108 high, 10 apart
    }
    EXPECT_EQ(area.GetMaxScroll(), 50.0f + 12 * 118.0f - 600.0f); // the last one's bottom, 10 to spare
    CScroll& bar = area.GetBar();
    EXPECT_TRUE(bar.IsVisible());
    EXPECT_EQ(bar.GetX(), 800.0f - CVoiceArea::kBarWidth);
    EXPECT_EQ(bar.GetY(), 40.0f);
    EXPECT_EQ(bar.CGUI::GetHeight(), 560.0f);
    EXPECT_EQ(bar.GetMax(), area.GetMaxScroll());

    // Wide enough for three: columns break at the window's bottom as before, nothing scrolls;
    // the three share the width left of the bar, each panel 408 wide.
    Frame(1280.0f);
    EXPECT_EQ(area.GetColumnCount(), 3u);
    EXPECT_EQ(At(3), CVector(10.0f, 404.0f));
    EXPECT_EQ(At(4), CVector(428.0f, 50.0f));
    EXPECT_EQ(At(11), CVector(846.0f, 404.0f));
    EXPECT_EQ(area.GetMaxScroll(), 0.0f);
    EXPECT_FALSE(bar.IsVisible());

    // Twenty do not fit three columns of four: the columns grow to seven, six in the last.
    Add(8);
    Frame(1280.0f);
    EXPECT_EQ(area.GetColumnCount(), 3u);
    EXPECT_EQ(At(6), CVector(10.0f, 758.0f));
    EXPECT_EQ(At(7), CVector(428.0f, 50.0f));
    EXPECT_EQ(At(14), CVector(846.0f, 50.0f));
    EXPECT_EQ(At(19), CVector(846.0f, 640.0f));
    EXPECT_EQ(area.GetMaxScroll(), 276.0f);
    for (const auto& panel : panels)
        EXPECT_LE(panel->GetX() + panel->GetWidth(), 1280.0f - CVoiceArea::kBarWidth);
}

TEST_F(Area, PanelsOfEveryHeightKeepTheirOrderWithoutOverlapping)
{
    Add(9);
    for (size_t i = 0; i < panels.size(); ++i) {
        panels[i]->SetCarrierOn(i % 2 == 0);
        panels[i]->SetEnvelopeOn(i % 3 == 0);
    }
    Frame(1000.0f, 500.0f); // two columns
    EXPECT_EQ(area.GetColumnCount(), 2u);
    for (size_t i = 1; i < panels.size(); ++i) {
        const CVector previous = At(i - 1), here = At(i);
        if (here.x == previous.x)
            EXPECT_EQ(here.y, previous.y + panels[i - 1]->GetHeight() + 10.0f) << i;
        else
            EXPECT_TRUE(here.x > previous.x && here.y == 50.0f) << i; // down one column, then the next
    }
    // Scrolled to the end, the lowest panel ends 10 above the window's bottom.
    area.ScrollTo(1e9f);
    float lowest = 0.0f;
    for (const auto& panel : panels)
        lowest = std::max(lowest, panel->GetY() + panel->GetHeight());
    EXPECT_EQ(lowest, 490.0f);
}

TEST_F(Area, ScrollingIsClampedAndANewPanelCanBeBroughtIntoView)
{
    Add(12);
    Frame();
    area.ScrollTo(100.4f);
    EXPECT_EQ(area.GetScroll(), 100.0f); // whole pixels
    EXPECT_EQ(At(3).y, 304.0f);
    EXPECT_EQ(area.GetBar().GetValue(), 100.0f);
    area.ScrollTo(-5.0f);
    EXPECT_EQ(area.GetScroll(), 0.0f);
    area.ScrollTo(std::nanf(""));
    EXPECT_EQ(area.GetScroll(), 0.0f);
    area.ScrollTo(1e30f);
    EXPECT_EQ(area.GetScroll(), 866.0f);

    area.ShowPanel(2); // above: its top goes where the first row stands
    EXPECT_EQ(At(2).y, 50.0f);
    area.ShowPanel(7); // below: its bottom 10 above the window's
    EXPECT_EQ(At(7).y + COscilloscope::kPanelHeight, 590.0f);
    area.ShowPanel(99);

    // A window shorter than a panel: its top wins.
    Frame(800.0f, 120.0f);
    area.ShowPanel(4);
    EXPECT_EQ(At(4).y, 50.0f);
    // Fewer panels: the scroll comes back within the range.
    panels.resize(2);
    Frame();
    EXPECT_EQ(area.GetScroll(), 0.0f);
    EXPECT_EQ(At(0).y, 50.0f);
}

TEST_F(Area, TheWheelScrollsOverTheAreaUnlessAFocusedSliderTakesIt)
{
    Add(12);
    Frame();
    EmitMouseMove(300, 300);
    EmitMouseWheel(-240); // two notches towards the user
    EXPECT_EQ(area.GetScroll(), 0.0f); // applied once every listener has seen it
    area.ApplyWheel();
    EXPECT_EQ(area.GetScroll(), 2.0f * CVoiceArea::kWheelStep);
    EmitMouseWheel(120);
    area.ApplyWheel();
    EXPECT_EQ(area.GetScroll(), CVoiceArea::kWheelStep);

    EmitMouseMove(300, 20); // over the control bar
    EmitMouseWheel(-120);
    area.ApplyWheel();
    EXPECT_EQ(area.GetScroll(), CVoiceArea::kWheelStep);

    // A press on a slider's track focuses it: under the pointer the wheel is the slider's.
    area.ScrollTo(0.0f);
    CScroll& slider = panels[1]->Slider(ValueAmplitude);
    const int32_t x = static_cast<int32_t>(slider.GetAbsolutePosition().x + slider.CGUI::GetWidth()) - 3;
    const int32_t y = static_cast<int32_t>(slider.GetAbsolutePosition().y) + 5;
    PressAt(x, y);
    EmitMouseWheel(-120);
    area.ApplyWheel();
    EXPECT_EQ(area.GetScroll(), 0.0f);
    EXPECT_EQ(panels[1]->GetWave().amplitude, 1.01f);
}

TEST(AreaMinimum, TheWindowKeepsRoomForEveryCommandOfTheBarAndOnePanel)
{
    CGUIManager gui;
    auto add = [&](float x, float y, float w, bool visible = true) {
        CGUI* element = new CButton;
        element->SetPosition(x, y);
        element->SetSize(w, 28.0f);
        element->SetVisible(visible);
        gui.AddElement(element);
        return element;
    };
    CGUI* bar = add(0.0f, 0.0f, 2000.0f); // the bar itself stretches with the window
    add(754.0f, 6.0f, 32.0f);
    add(-1000.0f, -1000.0f, 3000.0f);    // a template off-screen
    add(900.0f, 6.0f, 32.0f, false);     // hidden
    add(950.0f, 300.0f, 32.0f);          // below the bar
    int32_t width = 0, height = 0;
    CVoiceArea::MinimumWindowSize(gui, bar, 40.0f, 50.0f, width, height);
    EXPECT_EQ(width, 796);
    EXPECT_EQ(height, 168);
}

// [SECTION] The real program

class ScrollingProgram : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: the program runs under a (virtual) X server";
    }
};

TEST_F(ScrollingProgram, WheelBarAndClippingThroughTheEventQueue)
{
    Application app;
    CFrameScript script;
    CSceneMain& scene = app.GetMainScene();
    CVoiceArea& area = scene.GetVoiceArea();
    int32_t clientHeight = 0;
    float maxScroll = 0.0f;
    script.After(5, [&] {
        int32_t w = 0, h = 0;
        PlatformGetWindowMinimumSize(app.GetWindow(), &w, &h);
        EXPECT_EQ(w, 810); // the seed box's right edge, 10 to spare
        EXPECT_EQ(h, 262); // the first row below the mix strip (144), one panel (108), 10 to spare
        const CButton* add = scene.GetButton("btnAddSound");
        ASSERT_NE(add, nullptr);
        for (int i = 0; i < 11; ++i)
            Click(add->GetX() + 10, add->GetY() + 10);
    });
    script.After(3, [&] {
        ASSERT_EQ(scene.GetPanels().size(), 12u);
        clientHeight = app.GetClientHeight();
        const int32_t clientWidth = app.GetClientWidth();
        maxScroll = area.GetMaxScroll();
        EXPECT_GT(maxScroll, 0.0f);
        // One column: nothing cut off at the right; the newest voice scrolled into view.
        for (const auto& panel : scene.GetPanels())
            EXPECT_LE(panel->GetX() + panel->GetWidth(), clientWidth - CVoiceArea::kBarWidth);
        const COscilloscope& last = *scene.GetPanels().back();
        EXPECT_GE(last.GetY(), 40.0f);
        EXPECT_LE(last.GetY() + last.GetHeight(), clientHeight);
        EXPECT_EQ(area.GetScroll(), maxScroll);
        EXPECT_TRUE(area.GetBar().IsVisible());
        EXPECT_EQ(area.GetBar().GetX(), clientWidth - CVoiceArea::kBarWidth);
        // Two notches away from the user, over the voices' screens.
        PlatformPushMouseMove(100, 300);
        PlatformPushMouseWheel(2);
    });
    script.After(2, [&] {
        EXPECT_EQ(area.GetScroll(), maxScroll - 2.0f * CVoiceArea::kWheelStep);
        PlatformPushMouseWheel(50); // far past the top
    });
    script.After(2, [&] {
        EXPECT_EQ(area.GetScroll(), 0.0f);
        EXPECT_EQ(scene.GetPanels().front()->GetY(), 144.0f);
        // Drag the thumb 40 pixels down.
        CButton& thumb = area.GetBar().GetThumb();
        const CVector at = thumb.GetAbsolutePosition();
        const float thumbGrab = at.y + 10.0f;
        PlatformPushMouseMove(static_cast<int32_t>(at.x) + 7, static_cast<int32_t>(thumbGrab));
        PlatformPushMouseButton(0, true);
        PlatformPushMouseMove(static_cast<int32_t>(at.x) + 7, static_cast<int32_t>(thumbGrab) + 40);
        PlatformPushMouseButton(0, false);
    });
    float dragged = 0.0f;
    script.After(2, [&] {
        const float track = area.GetBar().CGUI::GetHeight() - area.GetBar().GetThumb().CGUI::GetHeight();
        dragged = area.GetScroll();
        EXPECT_NEAR(dragged, 40.0f * maxScroll / track, 1.0f);
        // A click on the track below the thumb pages down by the area (below the mix strip,
        // from 124) less 10.
        Click(area.GetBar().GetX() + 7, static_cast<float>(clientHeight - 5));
    });
    script.After(2, [&] {
        EXPECT_EQ(area.GetScroll(), std::min(maxScroll, dragged + static_cast<float>(clientHeight) - 144.0f));
        // The second voice's close button under the bar, below Save Sound's button but on the
        // bar: a click there closes nothing.
        area.ScrollTo(235.0f);
        const COscilloscope& second = *scene.GetPanels()[1];
        ASSERT_EQ(second.GetY(), 27.0f);
        Click(second.GetX() + second.GetWidth() - 10.0f, 37.0f);
    });
    script.After(3, [&] {
        EXPECT_EQ(scene.GetVoices().size(), 12u);
        // The same button in sight closes its voice.
        area.ScrollTo(0.0f);
        const COscilloscope& second = *scene.GetPanels()[1];
        Click(second.GetX() + second.GetWidth() - 10.0f, second.GetY() + 10.0f);
    });
    script.After(3, [&] {
        EXPECT_EQ(scene.GetVoices().size(), 11u);
        // The window cannot be made smaller than its minimum.
        PlatformSetWindowSize(app.GetWindow(), 300, 100);
    });
    script.After(3, [&] {
        EXPECT_GE(app.GetClientWidth(), 796);
        EXPECT_GE(app.GetClientHeight(), 262);
    });
    app.Run(0, nullptr);
    EXPECT_TRUE(script.Finished());
}

} // namespace
