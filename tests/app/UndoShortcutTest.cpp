// Undo, redo, the keyboard shortcuts and the tooltips as a user meets them: the real
// Application with the shipped resources, driven by mouse, key and text events pushed through
// the platform's event queue, one scripted step per few frames. Saves go through Ctrl+S with a
// file-dialog runner that answers with the test's paths, so "undo restores exactly" is checked
// on the saved bytes.
#include "app/Application.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/GUIManager.h"
#include "gui/Tooltip.h"
#include "platform/Events.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

void ClickElement(const CGUI& element)
{
    const CVector p = element.GetAbsolutePosition();
    Click(p.x + element.GetWidth() / 2, p.y + element.GetHeight() / 2);
}

// A key pressed and released with Ctrl (and Shift) held.
void Shortcut(int32_t key, bool shift = false)
{
    PlatformPushKey(key, true, true, shift);
    PlatformPushKey(key, false, true, shift);
}

// Drags the first voice's amplitude thumb right by dx pixels.
void DragAmplitude(CSceneMain& scene, int32_t dx)
{
    CButton& thumb = scene.GetPanels().front()->Slider(ValueAmplitude).GetThumb();
    const CVector p = thumb.GetAbsolutePosition();
    const int32_t x = static_cast<int32_t>(p.x + thumb.GetWidth() / 2), y = static_cast<int32_t>(p.y + thumb.GetHeight() / 2);
    PlatformPushMouseMove(x, y);
    PlatformPushMouseButton(0, true);
    for (int32_t step = 1; step <= 4; ++step)
        PlatformPushMouseMove(x + dx * step / 4, y);
    PlatformPushMouseButton(0, false);
}

std::vector<int16_t> Samples(const CSound& sound)
{
    std::vector<int16_t> v(sound.dataSize / 2);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<int16_t>(sound.data[2 * i] | sound.data[2 * i + 1] << 8);
    return v;
}

class UndoAndShortcuts : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: these tests run under a (virtual) X server";
    }

};

// [SECTION] Undo and redo

TEST_F(UndoAndShortcuts, DragUndoneAndRedoneSavesTheSameBytesAndIsHeardAgain)
{
    std::vector<std::string> saves;
    for (int i = 0; i < 6; ++i)
        saves.push_back(dir.File("save" + std::to_string(i) + ".xml"));
    std::vector<int16_t> original, dragged, undone;
    float draggedAmplitude = 0, undoneAmplitude = 0, redoneAmplitude = 0, yRedoneAmplitude = 0;
    bool playedBySpace = false;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.Until(300, [&] { return scene.GetProjectNameBox() && !scene.GetPanels().empty(); }); // the scene is up
        scene.SetFileDialogRunner(DialogAnswers(saves));
        script.After(5, [&] {
            Shortcut('S');
            PlatformPushText(" "); // Space plays, the loop being on
        });
        script.After(3, [&] {
            playedBySpace = scene.IsSounding() && scene.GetButton("btnPlay")->IsDown();
            original = Samples(scene.GetMix());
            DragAmplitude(scene, 40);
        });
        script.After(8, [&] { // 150 ms of change timer at 40 ms frames, and the render
            draggedAmplitude = scene.GetVoices()[0]->GetShown(ValueAmplitude);
            dragged = Samples(scene.GetMix());
            Shortcut('S', true); // Save As: each save a file of its own
            Shortcut('Z');
            Shortcut('S', true); // Save As: each save a file of its own
        });
        script.After(8, [&] {
            undoneAmplitude = scene.GetVoices()[0]->GetShown(ValueAmplitude);
            undone = Samples(scene.GetMix());
            Shortcut('Z', true);
            Shortcut('S', true); // Save As: each save a file of its own
        });
        script.After(2, [&] {
            redoneAmplitude = scene.GetVoices()[0]->GetShown(ValueAmplitude);
            Shortcut('Z');
            Shortcut('Y');
            Shortcut('S', true); // Save As: each save a file of its own
        });
        script.After(2, [&] {
            yRedoneAmplitude = scene.GetVoices()[0]->GetShown(ValueAmplitude);
            PlatformPushText(" "); // Space stops what plays
        });
        script.After(2, [&] {
            EXPECT_FALSE(scene.IsSounding());
            EXPECT_TRUE(scene.GetButton("btnStop")->IsDown());
        });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_TRUE(playedBySpace);
    EXPECT_GT(draggedAmplitude, 1.0f);
    EXPECT_EQ(undoneAmplitude, 1.0f);
    EXPECT_EQ(redoneAmplitude, draggedAmplitude);
    EXPECT_EQ(yRedoneAmplitude, draggedAmplitude);
    ASSERT_FALSE(original.empty());
    EXPECT_NE(dragged, original);
    EXPECT_EQ(undone, original) << "the undone sound was not rendered again";
    const std::string before = ReadFileBytes(saves[0]), after = ReadFileBytes(saves[1]);
    ASSERT_FALSE(before.empty());
    EXPECT_NE(after, before);
    EXPECT_EQ(ReadFileBytes(saves[2]), before) << "undo did not restore the saved bytes";
    EXPECT_EQ(ReadFileBytes(saves[3]), after) << "redo did not restore the saved bytes";
    EXPECT_EQ(ReadFileBytes(saves[4]), after);
}

TEST_F(UndoAndShortcuts, TypingIsOneStepAndEndsAtAnotherBox)
{
    float typed = 0, afterFirstUndo = 0, afterSecondUndo = 0, phaseAfterFirstUndo = -1;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.Until(300, [&] { return scene.GetProjectNameBox() && !scene.GetPanels().empty(); }); // the scene is up
        script.After(5, [&] {
            COscilloscope& panel = *scene.GetPanels().front();
            ClickElement(panel.ValueBox(ValueFrequency));
            PlatformPushKey(KeyEnd, true); // the click put the caret where it landed
            PlatformPushKey(KeyBackspace, true);
            PlatformPushText("44");
            PlatformPushText("0");
        });
        script.After(2, [&] {
            typed = scene.GetVoices()[0]->GetShown(ValueFrequency);
            COscilloscope& panel = *scene.GetPanels().front();
            ClickElement(panel.ValueBox(ValuePhase));
            PlatformPushKey(KeyEnd, true); // the click put the caret where it landed
            PlatformPushKey(KeyBackspace, true);
            PlatformPushKey(KeyBackspace, true);
            PlatformPushKey(KeyBackspace, true);
            PlatformPushKey(KeyBackspace, true);
            PlatformPushText(".5");
        });
        script.After(2, [&] {
            Shortcut('Z'); // the focused box does not take Ctrl+Z
        });
        script.After(2, [&] {
            afterFirstUndo = scene.GetVoices()[0]->GetShown(ValueFrequency);
            phaseAfterFirstUndo = scene.GetVoices()[0]->GetShown(ValuePhase);
            Shortcut('Z');
        });
        script.After(2, [&] { afterSecondUndo = scene.GetVoices()[0]->GetShown(ValueFrequency); });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_EQ(typed, 440.0f);
    EXPECT_EQ(phaseAfterFirstUndo, 0.0f);
    EXPECT_EQ(afterFirstUndo, 440.0f);
    EXPECT_EQ(afterSecondUndo, 4.0f); // the whole burst "440" at once, with its Backspace
}

TEST_F(UndoAndShortcuts, TheNameBoxTypesSpaceWhileCtrlShortcutsStillWork)
{
    std::string typed, undone;
    size_t voicesAdded = 0;
    bool playedWhileTyping = true;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.Until(300, [&] { return scene.GetProjectNameBox() && !scene.GetPanels().empty(); }); // the scene is up
        script.After(5, [&] {
            ClickElement(*scene.GetProjectNameBox());
            PlatformPushKey(KeyEnd, true); // the click put the caret where it landed
            for (int i = 0; i < 7; ++i)
                PlatformPushKey(KeyBackspace, true);
            PlatformPushText(" Song"); // "New " is left
        });
        script.After(3, [&] {
            typed = scene.GetProjectNameBox()->GetText().CStr();
            playedWhileTyping = scene.IsSounding();
            Shortcut('A', true); // Add Sound with the box still holding the keyboard
            PlatformPushKey(KeyInsert, true);
            PlatformPushKey(KeyInsert, false);
        });
        script.After(2, [&] {
            voicesAdded = scene.GetVoices().size();
            Shortcut('Z');
            Shortcut('Z');
            Shortcut('Z');
        });
        script.After(2, [&] {
            undone = scene.GetProjectNameBox()->GetText().CStr();
            EXPECT_EQ(scene.GetVoices().size(), 1u);
        });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_EQ(typed, "New  Song");
    EXPECT_FALSE(playedWhileTyping);
    EXPECT_EQ(voicesAdded, 3u);
    EXPECT_EQ(undone, "New Project");
}

TEST_F(UndoAndShortcuts, CloseNewAndOpenAreNoLoss)
{
    const std::string project = dir.File("three.xml"), before = dir.File("before.xml"), restored = dir.File("back.xml");
    WriteFileBytes(project, "<project><name>three</name><oscilloscope frequency='1'/><oscilloscope frequency='2'/>"
                            "<oscilloscope frequency='3'/></project>");
    size_t afterClose = 0, afterUndoClose = 0, afterNew = 0, afterOpen = 0, afterUndoOpen = 0;
    float restoredFrequency = 0;
    bool panelsShowTheirVoices = true;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.Until(300, [&] { return scene.GetProjectNameBox() && !scene.GetPanels().empty(); }); // the scene is up
        scene.SetFileDialogRunner(DialogAnswers({before, project, restored}));
        scene.SetQuestionRunner([](const QuestionRequest&) { return 1; }); // Open over the undone New: Don't Save
        auto checkPairs = [&] {
            panelsShowTheirVoices &= scene.GetPanels().size() == scene.GetVoices().size();
            for (size_t i = 0; i < scene.GetPanels().size(); ++i)
                panelsShowTheirVoices &= &scene.GetPanels()[i]->Model() == scene.GetVoices()[i].get();
        };
        script.After(5, [&] {
            scene.GetVoices()[0]->SetSlider(ValueFrequency, 7);
            PlatformPushKey(KeyInsert, true); // a second voice
            PlatformPushKey(KeyInsert, false);
        });
        script.After(2, [&] {
            scene.GetVoices()[1]->SetSlider(ValueFrequency, 9);
            Shortcut('S');
            ClickElement(scene.GetPanels()[0]->CloseButton());
        });
        script.After(3, [&] {
            afterClose = scene.GetVoices().size();
            Shortcut('Z');
        });
        script.After(2, [&] {
            afterUndoClose = scene.GetVoices().size();
            restoredFrequency = scene.GetVoices()[0]->GetShown(ValueFrequency);
            checkPairs();
            Shortcut('N');
        });
        script.After(2, [&] {
            afterNew = scene.GetVoices().size();
            Shortcut('Z'); // New undone
            Shortcut('O');
        });
        script.After(2, [&] {
            afterOpen = scene.GetVoices().size();
            checkPairs();
            Shortcut('Z'); // Open undone
        });
        script.After(2, [&] {
            afterUndoOpen = scene.GetVoices().size();
            checkPairs();
            Shortcut('S');
        });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_EQ(afterClose, 1u);
    EXPECT_EQ(afterUndoClose, 2u);
    EXPECT_EQ(restoredFrequency, 7.0f);
    EXPECT_EQ(afterNew, 1u);
    EXPECT_EQ(afterOpen, 3u);
    EXPECT_EQ(afterUndoOpen, 2u);
    EXPECT_TRUE(panelsShowTheirVoices);
    const std::string saved = ReadFileBytes(before);
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(ReadFileBytes(restored), saved);
}

TEST_F(UndoAndShortcuts, NoShortcutRunsUnderTheFileDialog)
{
    bool dialogOpen = false;
    float frequencyAfter = 0;
    size_t voicesAfter = 0;
    {
        Application app; // the program's own modal file dialog
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.Until(300, [&] { return scene.GetProjectNameBox() && !scene.GetPanels().empty(); }); // the scene is up
        script.After(5, [&] {
            scene.GetVoices()[0]->SetSlider(ValueFrequency, 7);
            Shortcut('O');
        });
        script.After(5, [&] { // the script goes on inside the dialog's loop
            dialogOpen = true;
            Shortcut('N');
            Shortcut('A', true);
            Shortcut('O');
            PlatformPushKey(KeyEscape, true);
            PlatformPushKey(KeyEscape, false);
        });
        script.After(5, [&] {
            frequencyAfter = scene.GetVoices()[0]->GetShown(ValueFrequency);
            voicesAfter = scene.GetVoices().size();
        });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_TRUE(dialogOpen);
    EXPECT_EQ(frequencyAfter, 7.0f) << "New ran under the dialog";
    EXPECT_EQ(voicesAfter, 1u) << "Add Sound ran under the dialog";
}

// [SECTION] Tooltips

// Reads one pixel of the finished frame (client pixels, y down) when asked, after everything
// has been drawn and before the frame is shown.
struct PixelProbe {
    bool wanted = false;
    int32_t x = 0, y = 0;
    uint8_t rgb[3] = {0, 0, 0};
    void OnOverlay()
    {
        if (!wanted)
            return;
        wanted = false;
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, viewport[3] - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    }
};

TEST_F(UndoAndShortcuts, RestingOnAButtonShowsItsNameAndShortcutUntilThePointerMovesOrPresses)
{
    bool shownEarly = true, shown = false, goneAfterMove = false, goneAfterPress = false, backAfterPress = false;
    std::string text;
    float tipX = 0, tipY = 0, pointerX = 0, pointerY = 0;
    PixelProbe probe;
    {
        Application app;
        CFrameScript script;
        CSlotList slots;
        slots.Connect(app.onDrawOverlay, &probe, &PixelProbe::OnOverlay);
        CSceneMain& scene = app.GetMainScene();
        script.Until(300, [&] { return scene.GetProjectNameBox() && !scene.GetPanels().empty(); }); // the scene is up
        CTooltip* tip = nullptr;
        uint32_t arrived = 0;
        script.After(5, [&] {
            tip = scene.GetGUI().GetTooltip();
            ASSERT_NE(tip, nullptr);
            const CButton& save = *scene.GetButton("btnSave");
            const CVector p = save.GetAbsolutePosition();
            pointerX = p.x + 10;
            pointerY = p.y + 10;
            PlatformPushMouseMove(static_cast<int32_t>(pointerX), static_cast<int32_t>(pointerY));
            arrived = AppTime(); // the move is handled at the next frame, a little later
        });
        script.After(5, [&] { // about 200 ms; a slow machine may take longer
            shownEarly = AppTime() - arrived < static_cast<uint32_t>(CTooltip::kDelay) && tip->IsShowing();
        });
        // Another window on the same display may move the real pointer now and then: the
        // pointer is put back on the button until the tip shows (about 600 ms).
        script.Until(250, [&] { // a slow (sanitized) build may take many frames
            PlatformPushMouseMove(static_cast<int32_t>(pointerX), static_cast<int32_t>(pointerY));
            return tip->IsShowing();
        });
        script.After(1, [&] {
            shown = tip->IsShowing();
            text = tip->GetText().CStr();
            tipX = tip->GetX();
            tipY = tip->GetY();
            // A corner inside the box's padding, where no glyph is drawn.
            probe.x = static_cast<int32_t>(tipX + 2);
            probe.y = static_cast<int32_t>(tipY + 2);
            probe.wanted = true;
        });
        script.After(1, [&] {
            PlatformPushMouseMove(400, 400); // off the bar
        });
        script.After(2, [&] {
            goneAfterMove = !tip->IsShowing();
            ClickElement(*scene.GetButton("btnLoop")); // rests, then is pressed
        });
        script.After(20, [&] { goneAfterPress = !tip->IsShowing(); });
        script.Until(250, [&] {
            PlatformPushMouseMove(static_cast<int32_t>(pointerX), static_cast<int32_t>(pointerY));
            return backAfterPress = tip->IsShowing();
        });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_FALSE(shownEarly);
    EXPECT_TRUE(shown);
    EXPECT_EQ(text, "Save (Ctrl+S), Save As (Ctrl+Shift+S)");
    EXPECT_NEAR(tipX, pointerX, 1.0f);
    EXPECT_GT(tipY, pointerY);
    EXPECT_LT(tipY, pointerY + 40);
    for (int c = 0; c < 3; ++c) // drawn, and in front of what lies there
        EXPECT_NEAR(probe.rgb[c], CTooltip::kBoxColour[c] * 255.0f, 3.0f) << "channel " << c;
    EXPECT_TRUE(goneAfterMove);
    EXPECT_TRUE(goneAfterPress);
    EXPECT_TRUE(backAfterPress); // another button later shows its own tip again
}

} // namespace
