// The keyboard alone on the main scene with the shipped description: Tab's order over the
// control bar and a panel, and the keys a focused slider, button, switch and menu take.
#include "app/SceneMain.h"
#include "events/Input.h"
#include "gui/Menu.h"
#include "support/GLTestContext.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

class KeyboardFocus : public GLTest {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        GLTest::SetUp();
        if (IsSkipped())
            return;
        scene = std::make_unique<CSceneMain>();
        scene->Enter();
        ASSERT_NE(scene->GetProjectNameBox(), nullptr) << "resources/gui_main.xml not found: run from the source folder";
    }
    void TearDown() override
    {
        scene.reset();
        GLTest::TearDown();
    }
    static void Key(int32_t key, bool shift = false) { EmitKey(key, InputPress, false, shift ? uint32_t(ModifierShift) : 0u); }
    static void Click(const CVector& at)
    {
        EmitMouseMove(static_cast<int32_t>(at.x) + 5, static_cast<int32_t>(at.y) + 5);
        EmitMouseButton(MouseLeft, InputPress);
        EmitMouseButton(MouseLeft, InputRelease);
    }
    std::string FocusName()
    {
        CGUI* focus = scene->GetFocusRing().GetFocus();
        return focus ? focus->GetName().CStr() : "(none)";
    }
    std::unique_ptr<CSceneMain> scene;
};

TEST_F(KeyboardFocus, TabWalksTheControlBarLeftToRightThenTheStripThenThePanelRowByRow)
{
    COscilloscope& panel = *scene->GetPanels().front();
    EXPECT_EQ(scene->GetFocusRing().GetFocus(), nullptr); // nothing at start: the pictures stay
    std::vector<std::string> bar;
    for (int i = 0; i < 20 && FocusName() != "editSeed"; ++i) {
        Key(KeyTab);
        bar.push_back(FocusName());
    }
    std::vector<std::string> expected = {"editProjectName", "btnNew", "btnOpen", "mnuRecent", "btnSave",
                                         "btnSaveSound", "btnAddSound", "btnPlay", "btnStop", "btnLoop",
                                         "btnMic", "mnuGenerate", "editSeed"};
    if (!scene->GetButton("btnMic")->IsEnabled()) // only with a microphone
        expected.erase(expected.begin() + 10);
    EXPECT_EQ(bar, expected);
    EXPECT_FALSE(scene->GetProjectNameBox()->IsActive()); // Tab took the focus flag with it
    std::vector<std::string> strip;
    for (int i = 0; i < 6; ++i) {
        Key(KeyTab);
        strip.push_back(FocusName());
    }
    EXPECT_EQ(strip, (std::vector<std::string>{"scrGain", "editGain", "chkNormalize", "scrFade", "editFade", "chkSum"}));
    Key(KeyTab);
    EXPECT_EQ(scene->GetFocusRing().GetFocus(), &scene->GetMixStrip().GetOverview()) << "the mix's overview";
    CGUI* const panelOrder[] = {&panel.WaveBox(0), &panel.WaveBox(1), &panel.WaveBox(2), &panel.WaveBox(3),
                                &panel.WaveBox(4), &panel.LoopBox(), &panel.CarrierBox(), &panel.EnvelopeBox(),
                                &panel.MuteBox(), &panel.CloseButton(), &panel.ValueBox(ValueAmplitude),
                                &panel.Slider(ValueAmplitude), &panel.ValueBox(ValueOffset)};
    for (CGUI* expected : panelOrder) {
        Key(KeyTab);
        EXPECT_EQ(scene->GetFocusRing().GetFocus(), expected);
    }
    Key(KeyTab, true);
    EXPECT_EQ(scene->GetFocusRing().GetFocus(), &panel.Slider(ValueAmplitude));
    Key(KeyEscape);
    Key(KeyTab, true); // back from nothing: the last panel's last control, its Filter switch
    EXPECT_EQ(scene->GetFocusRing().GetFocus(), &panel.StageAreaBox(GroupFilter));

    // A click on the box the ring gave the keyboard keeps it typing; one elsewhere closes the
    // menu F10 opened.
    CEdit& name = *scene->GetProjectNameBox();
    scene->GetFocusRing().Focus(&name);
    Click(name.GetAbsolutePosition());
    EXPECT_TRUE(name.IsActive());
    Key(KeyF10);
    Click(CVector(300, 900, 0, 0));
    EXPECT_FALSE(dynamic_cast<CMenu*>(scene->GetGUI().FindElement("mnuGenerate"))->IsOpen());
}

TEST_F(KeyboardFocus, AFocusedSliderButtonSwitchAndMenuTakeTheirKeys)
{
    COscilloscope& panel = *scene->GetPanels().front();
    CVoiceModel& voice = panel.Model();
    CMenu& generate = *dynamic_cast<CMenu*>(scene->GetGUI().FindElement("mnuGenerate"));
    const struct {
        const char* what;
        CGUI* focus;
        std::vector<int32_t> keys; // ' ' is the typed space, a negative key that key's release
        float amplitude;           // the slider's position afterwards
        bool muted, menuOpen;
        size_t voices;
    } rows[] = {
        {"Right steps the slider", &panel.Slider(ValueAmplitude), {KeyRight, KeyRight}, 102, false, false, 1},
        {"Left steps it back", &panel.Slider(ValueAmplitude), {KeyLeft}, 99, false, false, 1},
        {"Page Up is a tenth of the range", &panel.Slider(ValueAmplitude), {KeyPageUp}, 140, false, false, 1},
        {"End and Home are its ends", &panel.Slider(ValueAmplitude), {KeyEnd}, 400, false, false, 1},
        {"", &panel.Slider(ValueAmplitude), {KeyHome}, 0, false, false, 1},
        {"Space presses a switch", &panel.MuteBox(), {' '}, 100, true, false, 1},
        {"Enter presses a button", scene->GetButton("btnAddSound"), {KeyEnter}, 100, false, false, 2},
        {"F10 opens the menu, Escape closes it", nullptr, {KeyF10}, 100, false, true, 1},
        {"", nullptr, {KeyF10, KeyEscape}, 100, false, false, 1},
        {"Alt pressed and released alone opens it", &generate, {KeyAlt, -KeyAlt}, 100, false, true, 1},
        {"", &generate, {KeyEscape}, 100, false, false, 1},
        {"Down and Enter choose an item", nullptr, {KeyF10, KeyDown, KeyEnter}, -1, false, false, 0},
    };
    for (const auto& row : rows) {
        voice.SetSlider(ValueAmplitude, 100);
        voice.SetMute(false);
        scene->GetFocusRing().Focus(row.focus);
        for (int32_t key : row.keys) {
            if (key == ' ')
                EmitCharacter(' ');
            else if (key < 0)
                EmitKey(-key, InputRelease);
            else
                Key(key);
        }
        if (row.amplitude >= 0) {
            EXPECT_EQ(voice.GetPosition(ValueAmplitude), row.amplitude) << row.what;
            EXPECT_EQ(voice.IsMuted(), row.muted) << row.what;
            EXPECT_EQ(scene->GetVoices().size(), row.voices) << row.what;
            EXPECT_FALSE(scene->IsSounding()) << row.what; // Space on a switch plays nothing
        } else {
            EXPECT_EQ(scene->GetDisplayName().Find("Laser"), 0) << row.what; // the second item
            EXPECT_TRUE(scene->IsSounding()) << "a generated sound plays at once";
        }
        EXPECT_EQ(generate.IsOpen(), row.menuOpen) << row.what;
        if (row.voices == 2)
            scene->RemoveVoice(scene->GetVoices().back().get());
    }
}

} // namespace
