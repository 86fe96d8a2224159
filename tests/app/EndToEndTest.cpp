// The program as a user meets it: the real Application, started with the shipped resources,
// driven by input events pushed through the platform's event queue, and heard through SDL's
// disk audio driver. A script runs on the frame tick, one step at a time, and ends the run.
#include "app/Application.h"
#include "app/FileDialogLoop.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "platform/Audio.h"
#include "platform/Events.h"
#include "platform/Window.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"
#include "support/ScopedHome.h"
#include "synth/Project.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

// The centre of an element in client pixels.
void ClickElement(const CGUI* element)
{
    ASSERT_NE(element, nullptr);
    CVector p = element->GetAbsolutePosition();
    Click(p.x + element->GetWidth() / 2, p.y + element->GetHeight() / 2);
}

std::vector<int16_t> Samples(const CSound& sound)
{
    std::vector<int16_t> v(sound.dataSize / 2);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<int16_t>(sound.data[2 * i] | sound.data[2 * i + 1] << 8);
    return v;
}

// Where needle starts in haystack at or after from, or npos.
size_t Find(const std::vector<int16_t>& haystack, const std::vector<int16_t>& needle, size_t from = 0)
{
    if (needle.empty() || haystack.size() < needle.size())
        return std::string::npos;
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i)
        if (std::equal(needle.begin(), needle.end(), haystack.begin() + i))
            return i;
    return std::string::npos;
}

class EndToEnd : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: the end-to-end tests run under a (virtual) X server";
    }

};

TEST_F(EndToEnd, StartsWithOneVoiceAndPlaysItsMix)
{
    std::vector<int16_t> mix;
    bool stopButtonDown = false, playButtonDown = true;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.After(5, [&] {
            ASSERT_EQ(scene.GetVoices().size(), 1u);
            ASSERT_NE(scene.GetProjectNameBox(), nullptr);
            EXPECT_STREQ(scene.GetProjectNameBox()->GetText().CStr(), "New Project");
            EXPECT_TRUE(scene.GetButton("btnLoop")->IsDown());
            ClickElement(scene.GetButton("btnPlay"));
        });
        script.After(2, [&] {
            EXPECT_TRUE(scene.GetButton("btnPlay")->IsDown()); // a looping sound keeps it down
            EXPECT_FALSE(scene.GetButton("btnMic")->IsEnabled());
            mix = Samples(scene.GetMix());
        });
        script.After(30, [&] { ClickElement(scene.GetButton("btnStop")); });
        script.After(2, [&] {
            stopButtonDown = scene.GetButton("btnStop")->IsDown();
            playButtonDown = scene.GetButton("btnPlay")->IsDown();
        });
        EXPECT_EQ(app.Run(0, nullptr), 0);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_TRUE(stopButtonDown); // Stop takes the loop button's state
    EXPECT_FALSE(playButtonDown);
    ASSERT_EQ(mix.size(), 44100u); // one second of the default voice
    std::vector<int16_t> left = Left();
    // The first playing rises over the mixer's ramp; from there on it is the mix itself.
    const size_t ramp = 44100 * kAudioRampMs / 1000;
    size_t start = Find(left, std::vector<int16_t>(mix.begin() + ramp, mix.begin() + ramp + 2000));
    ASSERT_NE(start, std::string::npos) << "the mix never reached the output";
    ASSERT_GE(start, ramp);
    start -= ramp;
    size_t played = std::min(left.size() - start, mix.size());
    for (size_t i = ramp; i < played; ++i)
        ASSERT_EQ(left[start + i], mix[i]) << i;
}

TEST_F(EndToEnd, SliderDragWhilePlayingIsHeardAgain)
{
    std::vector<int16_t> before, after;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.After(5, [&] { ClickElement(scene.GetButton("btnPlay")); });
        script.After(5, [&] {
            before = Samples(scene.GetMix());
            COscilloscope* voice = scene.GetPanels().front().get();
            CButton& thumb = voice->Slider(ValueAmplitude).GetThumb();
            CVector p = thumb.GetAbsolutePosition();
            const float x = p.x + thumb.GetWidth() / 2, y = p.y + thumb.GetHeight() / 2;
            PlatformPushMouseMove(static_cast<int32_t>(x), static_cast<int32_t>(y));
            PlatformPushMouseButton(0, true);
            PlatformPushMouseMove(static_cast<int32_t>(x + 40), static_cast<int32_t>(y));
            PlatformPushMouseButton(0, false);
        });
        // The render, and the next device period.
        script.After(8, [&] {
            after = Samples(scene.GetMix());
            EXPECT_GT(scene.GetVoices().front()->GetShown(ValueAmplitude), 1.0f);
        });
        script.After(15, [&] { ClickElement(scene.GetButton("btnStop")); });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    ASSERT_FALSE(before.empty());
    ASSERT_FALSE(after.empty());
    ASSERT_NE(before, after);
    std::vector<int16_t> left = Left();
    // Each rises over the mixer's ramp when it starts (past a new project's 2 ms fade-in too);
    // from there on it is the mix itself.
    const size_t ramp = 44100 * kAudioRampMs / 1000;
    size_t first = Find(left, std::vector<int16_t>(before.begin() + ramp, before.begin() + ramp + 2000));
    ASSERT_NE(first, std::string::npos);
    size_t second = Find(left, std::vector<int16_t>(after.begin() + ramp, after.begin() + ramp + 2000), first);
    ASSERT_NE(second, std::string::npos) << "the changed sound was never heard";
}

TEST_F(EndToEnd, VoicesAreAddedAndClosed)
{
    size_t afterAdd = 0, afterClose = 0;
    bool micDisablesCommands = false;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.After(5, [&] { ClickElement(scene.GetButton("btnAddSound")); });
        script.After(2, [&] {
            afterAdd = scene.GetVoices().size();
            ClickElement(&scene.GetPanels().back()->CloseButton());
        });
        script.After(3, [&] { afterClose = scene.GetVoices().size(); });
        script.After(1, [&] { ClickElement(scene.GetButton("btnMic")); });
        script.After(2, [&] {
            micDisablesCommands = scene.GetButton("btnMic")->IsDown() && !scene.GetButton("btnPlay")->IsEnabled() &&
                                  !scene.GetButton("btnAddSound")->IsEnabled() &&
                                  !scene.GetButton("btnStop")->IsEnabled() && !scene.GetButton("btnLoop")->IsEnabled();
            ClickElement(scene.GetButton("btnMic"));
        });
        script.After(2, [&] { EXPECT_TRUE(scene.GetButton("btnPlay")->IsEnabled()); });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_EQ(afterAdd, 2u);
    EXPECT_EQ(afterClose, 1u);
    EXPECT_TRUE(micDisablesCommands);
}

TEST_F(EndToEnd, SaveThenOpenRestoresTheProjectAndSaveSoundMatchesTheRenderer)
{
    const std::string first = dir.File("first.xml"), second = dir.File("second.xml"), wav = dir.File("mix.wav");
    size_t voicesBeforeOpen = 0, voicesAfterOpen = 0;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        scene.SetFileDialogRunner(DialogAnswers({first, first, second, wav}));
        scene.SetQuestionRunner([](const QuestionRequest&) { return 1; }); // Open after Add Sound: Don't Save
        script.After(5, [&] {
            COscilloscope* voice = scene.GetPanels().front().get();
            voice->SetSlider(ValueFrequency, 220);
            voice->SetCarrierOn(true);
            scene.GetProjectNameBox()->SetText("Rock & Roll");
            ClickElement(scene.GetButton("btnSave"));
        });
        script.After(2, [&] { ClickElement(scene.GetButton("btnAddSound")); });
        script.After(2, [&] {
            voicesBeforeOpen = scene.GetVoices().size();
            ClickElement(scene.GetButton("btnOpen"));
        });
        script.After(2, [&] {
            voicesAfterOpen = scene.GetVoices().size();
            scene.SaveProjectAs(); // the opened project has a file: Save alone would not ask
        });
        script.After(2, [&] { ClickElement(scene.GetButton("btnSaveSound")); });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_EQ(voicesBeforeOpen, 2u);
    EXPECT_EQ(voicesAfterOpen, 1u);
    const std::string saved = ReadFileBytes(first);
    EXPECT_NE(saved.find("<name>Rock &#38; Roll</name>"), std::string::npos);
    EXPECT_NE(saved.find("frequency=\"220\""), std::string::npos);
    EXPECT_EQ(ReadFileBytes(second), saved);

    const std::string rendered = dir.File("rendered.wav");
    const std::string command = std::string(QW_BUILD_DIR) + "/quillwave-render '" + first + "' '" + rendered + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string sound = ReadFileBytes(wav);
    EXPECT_GT(sound.size(), 44u);
    EXPECT_TRUE(sound == ReadFileBytes(rendered)) << "Save Sound and the renderer disagree";
}

std::vector<std::string> g_warnings;
void RecordWarning(const char*, const char* text) { g_warnings.push_back(text); }

TEST_F(EndToEnd, VoicesBeyondThePanelsAreKeptSavedAndSaidSo)
{
    const std::string project = dir.File("many.xml"), saved = dir.File("saved.xml");
    std::string text = "<project><name>many</name>";
    for (int i = 0; i < 300; ++i)
        text += "<oscilloscope amplitude='1' frequency='" + std::to_string(i + 1) + "' period='0.1'/>";
    WriteFileBytes(project, text + "</project>");
    g_warnings.clear();
    PlatformSetWarningHookForTesting(&RecordWarning);
    size_t voicesAfterOpen = 0, panelsAfterOpen = 0, voicesAfterClose = 0, panelsAfterClose = 0;
    bool panelsShowTheirVoices = true;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        scene.SetFileDialogRunner(DialogAnswers({project, saved}));
        auto checkPairs = [&] {
            for (size_t i = 0; i < scene.GetPanels().size(); ++i)
                panelsShowTheirVoices &= &scene.GetPanels()[i]->Model() == scene.GetVoices()[i].get();
        };
        script.After(5, [&] { ClickElement(scene.GetButton("btnOpen")); });
        script.After(2, [&] {
            voicesAfterOpen = scene.GetVoices().size();
            panelsAfterOpen = scene.GetPanels().size();
            checkPairs();
            ClickElement(&scene.GetPanels().front()->CloseButton());
        });
        script.After(3, [&] {
            voicesAfterClose = scene.GetVoices().size();
            panelsAfterClose = scene.GetPanels().size();
            checkPairs();
            EXPECT_EQ(scene.GetPanels().back()->GetWave().frequency, 257.0f); // a voice that had no panel
            scene.SaveProjectAs();
        });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    PlatformSetWarningHookForTesting(nullptr);
    EXPECT_EQ(voicesAfterOpen, 300u);
    EXPECT_EQ(panelsAfterOpen, CSceneMain::kMaxVoicePanels);
    EXPECT_EQ(voicesAfterClose, 299u);
    EXPECT_EQ(panelsAfterClose, CSceneMain::kMaxVoicePanels);
    EXPECT_TRUE(panelsShowTheirVoices);
    ASSERT_EQ(g_warnings.size(), 1u);
    EXPECT_NE(g_warnings[0].find("300 voices"), std::string::npos) << g_warnings[0];
    const std::string file = ReadFileBytes(saved);
    size_t elements = 0;
    for (size_t at = file.find("<oscilloscope"); at != std::string::npos; at = file.find("<oscilloscope", at + 1))
        ++elements;
    EXPECT_EQ(elements, 299u);
    EXPECT_NE(file.find("frequency=\"300\""), std::string::npos);
    EXPECT_EQ(file.find("frequency=\"1\""), std::string::npos); // the closed voice
}

TEST_F(EndToEnd, MicrophoneIsPassedThroughToTheOutput)
{
    std::string recorded(44100 * 4, '\0');
    for (size_t i = 0; i < recorded.size(); ++i)
        recorded[i] = static_cast<char>(64 + (i * 7) % 128);
    WriteFileBytes(input, recorded);
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.After(5, [&] { ClickElement(scene.GetButton("btnMic")); });
        script.After(40, [&] { ClickElement(scene.GetButton("btnMic")); });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    // The captured bytes, 8-bit unsigned, reach the output as 16-bit values on both channels.
    std::vector<int16_t> expected;
    for (size_t i = 1000; i < 3000; ++i)
        expected.push_back(static_cast<int16_t>((static_cast<uint8_t>(recorded[i]) - 128) * 256));
    EXPECT_NE(Find(Left(), expected), std::string::npos) << "the microphone was not heard";
}

TEST_F(EndToEnd, FileDialogsStartAtHomeThenBesideTheProjectOrWhereTheirKindWasLastUsed)
{
    namespace fs = std::filesystem;
    const std::string home = dir.File("home"), projects = dir.File("projects");
    fs::create_directory(home);
    fs::create_directory(projects);
    ASSERT_NE(fs::current_path().string(), home);
    WriteFileBytes(projects + "/far.xml", "<?xml version=\"1.0\"?>\n\n<project>\n\t<name>Far</name>\n"
                                          "\t<oscilloscope type=\"1\" amplitude=\"0.50\" frequency=\"220\" "
                                          "period=\"0.20\" />\n</project>");
    ScopedHome scopedHome(home);
    std::vector<std::string> starts;
    std::string name;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        auto startedIn = [&] {
            CFileDialogView* view = GetRunningFileDialog();
            starts.push_back(view ? view->GetModel().GetFolder().CStr() : "no dialog");
        };
        auto answer = [](const std::string& text) {
            PlatformPushText(text.c_str());
            PlatformPushKey(KeyEnter, true);
            PlatformPushKey(KeyEnter, false);
        };
        script.After(5, [&] { ClickElement(scene.GetButton("btnOpen")); });
        script.After(3, [&] {
            startedIn();
            answer(projects + "/far.xml");
        });
        script.After(3, [&] {
            name = scene.GetProjectNameBox()->GetText().CStr();
            ClickElement(scene.GetButton("btnSaveSound"));
        });
        script.After(3, [&] {
            startedIn(); // beside the project, under its name
            answer("");
        });
        script.After(3, [&] { ClickElement(scene.GetButton("btnNew")); }); // no file: the kinds' folders
        script.After(3, [&] { ClickElement(scene.GetButton("btnSave")); });
        script.After(3, [&] {
            startedIn();
            PlatformPushKey(KeyEscape, true);
        });
        script.After(3, [&] { ClickElement(scene.GetButton("btnSaveSound")); });
        script.After(3, [&] {
            startedIn();
            PlatformPushKey(KeyEscape, true);
        });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_EQ(name, "Far");
    EXPECT_EQ(starts, (std::vector<std::string>{home + "/", projects + "/", projects + "/", projects + "/"}));
    EXPECT_TRUE(fs::is_regular_file(projects + "/Far.wav"));
}

} // namespace
