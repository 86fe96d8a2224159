// The main scene's file commands and control bar with the shipped description, outside an
// application (its own playback set, SDL's dummy audio driver, which records nothing): what a
// failed save or open tells the user and leaves alone, and what the buttons show whenever
// nothing is left to play.
#include "app/SceneMain.h"
#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/Scroll.h"
#include "gui/Tooltip.h"
#include "platform/Audio.h"
#include "platform/Events.h"
#include "support/GLTestContext.h"
#include "support/TempDir.h"
#include "synth/Project.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> g_warnings;
void RecordWarning(const char* caption, const char* text) { g_warnings.push_back(std::string(caption) + ": " + text); }

class SceneMain : public GLTest {
protected:
    void SetUp() override
    {
        SelectAudio();
        GLTest::SetUp();
        if (IsSkipped())
            return;
        g_warnings.clear();
        PlatformSetWarningHookForTesting(&RecordWarning);
        scene = std::make_unique<CSceneMain>();
        scene->SetFileDialogRunner([this](const FileDialogRequest&, String& path) {
            if (answers.empty())
                return false;
            path = answers.front().c_str();
            answers.erase(answers.begin());
            return true;
        });
        scene->Enter();
        ASSERT_NE(scene->GetProjectNameBox(), nullptr) << "resources/gui_main.xml not found: run from the source folder";
        ASSERT_EQ(scene->GetVoices().size(), 1u);
    }
    void TearDown() override
    {
        scene.reset();
        PlatformSetWarningHookForTesting(nullptr);
        GLTest::TearDown();
    }

    CButton& Button(const char* name)
    {
        CButton* button = scene->GetButton(name);
        if (!button)
            throw std::runtime_error(std::string("the description has no ") + name);
        return *button;
    }
    bool Playing() const { return scene->GetPlayer() && IsPlaying(scene->GetPlayer()->Get(0)); }
    // Play, Stop and Mic up; Add Sound, Play, Stop and Loop usable.
    void ExpectNothingPlaysShown(const char* when)
    {
        EXPECT_FALSE(Button("btnPlay").IsDown()) << when;
        EXPECT_FALSE(Button("btnStop").IsDown()) << when;
        EXPECT_FALSE(Button("btnMic").IsDown()) << when;
        for (const char* name : {"btnAddSound", "btnPlay", "btnStop", "btnLoop"})
            EXPECT_TRUE(Button(name).IsEnabled()) << name << " " << when;
    }

    virtual void SelectAudio() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    // The dialogs answer from answers as before, and each request is kept in requests.
    void RecordRequests(std::vector<FileDialogRequest>& requests)
    {
        scene->SetFileDialogRunner([this, &requests](const FileDialogRequest& request, String& path) {
            requests.push_back(request);
            if (answers.empty())
                return false;
            path = answers.front().c_str();
            answers.erase(answers.begin());
            return true;
        });
    }

    TempDir dir;
    std::vector<std::string> answers;
    std::unique_ptr<CSceneMain> scene;
};

// SDL's disk driver records from a file; without that file there is no microphone.
class SceneMainWithoutMicrophone : public SceneMain {
protected:
    void SelectAudio() override
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", dir.File("out.raw").c_str(), 1);
        setenv("SDL_DISKAUDIOFILEIN", dir.File("no-such-input.raw").c_str(), 1);
    }
};

TEST_F(SceneMain, AFailedSaveShowsTheFileAndTheReason)
{
    std::filesystem::create_directory(dir.File("taken.xml"));
    std::filesystem::create_directory(dir.File("taken.wav"));
    answers = {dir.File("taken"), dir.File("taken.wav"), dir.File("good.xml"), dir.File("good.wav")};
    scene->SaveProject(); // ".xml" is added: the folder taken.xml is in the way
    scene->SaveSound();
    ASSERT_EQ(g_warnings.size(), 2u);
    EXPECT_EQ(g_warnings[0], "Save Project: Could not save \"" + dir.File("taken.xml") + "\": Is a directory");
    EXPECT_EQ(g_warnings[1], "Save Sound: Could not save \"" + dir.File("taken.wav") + "\": Is a directory");
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("taken.xml")));

    scene->SaveProject();
    scene->SaveSound();
    EXPECT_EQ(g_warnings.size(), 2u) << "a save that worked says nothing";
    EXPECT_TRUE(std::filesystem::exists(dir.File("good.xml")));
    EXPECT_EQ(std::filesystem::file_size(dir.File("good.wav")), 44u + 88200u);
}

TEST_F(SceneMain, SaveSoundOffersThreeFormatsAndWritesTheOneTheEndingNames)
{
    std::vector<FileDialogRequest> requests;
    RecordRequests(requests);
    answers = {dir.File("mix.flac"), dir.File("mix.OGG"), dir.File("mix.wav"), dir.File("mix.mp3")};
    for (int i = 0; i < 4; ++i)
        scene->SaveSound();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_STREQ(requests[0].pattern.CStr(), "*.wav;*.flac;*.ogg"); // ".wav" first: the one added
    EXPECT_EQ(ReadFileBytes(dir.File("mix.flac")).substr(0, 4), "fLaC");
    EXPECT_EQ(ReadFileBytes(dir.File("mix.OGG")).substr(0, 4), "OggS");
    EXPECT_EQ(ReadFileBytes(dir.File("mix.wav")).substr(0, 4), "RIFF");
    EXPECT_FALSE(std::filesystem::exists(dir.File("mix.mp3")));
    ASSERT_EQ(g_warnings.size(), 1u);
    EXPECT_EQ(g_warnings[0], "Save Sound: Could not save \"" + dir.File("mix.mp3") +
                                 "\": the name must end with .wav, .flac or .ogg");
}

// The export renders off the scene's thread; its file holds exactly what the renderer makes of
// the voices, a muted one unheard.
TEST_F(SceneMain, SaveSoundWritesTheRenderersBytes)
{
    scene->Generate(SoundCategory::Explosion);
    scene->AddVoice()->SetMute(true);
    answers = {dir.File("mix.wav")};
    scene->SaveSound();
    CSound mix;
    RenderVoices(scene->GetVoices(), mix, kMixChannels, kMixRate, kMixBits, nullptr, scene->GetMaster());
    ASSERT_TRUE(WriteMixWav(dir.File("reference.wav").c_str(), mix));
    EXPECT_EQ(ReadFileBytes(dir.File("mix.wav")), ReadFileBytes(dir.File("reference.wav")));
}

// The project's master settings: a new project's fade, a file's settings on Open, undone with
// it, saved back; the export renders through them at the rate chosen.
TEST_F(SceneMain, MasterSettingsReachUndoTheFileAndTheExportAtItsRate)
{
    EXPECT_TRUE(scene->GetMaster() == NewProjectMaster());
    const MixMaster loud{6.0f, true, 10.0f, true};
    WriteFileBytes(dir.File("loud.xml"), "<project format=\"2\" gain=\"6\" normalize=\"true\" fade=\"10\" mix=\"sum\">"
                                         "<name>L</name><oscilloscope frequency=\"440\" amplitude=\"1\" period=\"0.3\"/>"
                                         "</project>");
    scene->OpenProjectAsked(dir.File("loud.xml").c_str());
    EXPECT_TRUE(scene->GetMaster() == loud);
    EXPECT_FALSE(scene->IsModified());
    scene->Undo();
    EXPECT_TRUE(scene->GetMaster() == NewProjectMaster());
    scene->Redo();
    ASSERT_TRUE(scene->GetMaster() == loud);
    scene->SetExportRate(48000);
    answers = {dir.File("loud.wav"), dir.File("again.xml")};
    scene->SaveSound();
    CSound mix;
    RenderVoices(scene->GetVoices(), mix, kMixChannels, 48000, kMixBits, nullptr, loud);
    ASSERT_TRUE(WriteMixWav(dir.File("reference.wav").c_str(), mix));
    EXPECT_EQ(ReadFileBytes(dir.File("loud.wav")), ReadFileBytes(dir.File("reference.wav")));
    scene->SaveProjectAs();
    EXPECT_NE(ReadFileBytes(dir.File("again.xml")).find("gain=\"6\" normalize=\"true\" fade=\"10\" mix=\"sum\""),
              std::string::npos);
}

// The strip writes the master (clamped) and shows it again whatever set it: a strip that missed
// an undo would show one master while another is heard.
TEST_F(SceneMain, TheProjectStripSetsTheMasterAndFollowsUndo)
{
    auto* gain = dynamic_cast<CScroll*>(scene->GetGUI().FindElement("scrGain"));
    auto* gainBox = dynamic_cast<CEdit*>(scene->GetGUI().FindElement("editGain"));
    auto* fadeBox = dynamic_cast<CEdit*>(scene->GetGUI().FindElement("editFade"));
    ASSERT_TRUE(gain && gainBox && fadeBox);
    EXPECT_STREQ(fadeBox->GetText().CStr(), "2.0");
    gain->SetValue(-65.0f);
    EXPECT_EQ(scene->GetMaster().gain, -6.5f);
    EXPECT_STREQ(gainBox->GetText().CStr(), "-6.5");
    fadeBox->SetText("80");
    fadeBox->onChange.Emit(fadeBox->GetText()); // as typing announces it
    EXPECT_EQ(scene->GetMaster().fade, 50.0f);
    EXPECT_STREQ(fadeBox->GetText().CStr(), "50.0");
    Button("chkSum").onRelease.Emit(); // a click: the box toggles itself, then the scene hears it
    EXPECT_TRUE(scene->GetMaster().sum);
    scene->Undo();
    EXPECT_TRUE(scene->GetMaster() == NewProjectMaster());
    EXPECT_STREQ(gainBox->GetText().CStr(), "0.0");
    EXPECT_STREQ(fadeBox->GetText().CStr(), "2.0");
    EXPECT_EQ(gain->GetValue(), 0.0f);
    EXPECT_FALSE(Button("chkSum").IsDown());
}

TEST_F(SceneMain, AFailedOpenChangesNothing)
{
    scene->AddVoice();
    scene->GetProjectNameBox()->SetText("Mine");
    Button("btnLoop").SetDown(true);
    scene->Play();
    ASSERT_TRUE(Playing());
    std::vector<const CVoiceModel*> voices;
    for (const auto& voice : scene->GetVoices())
        voices.push_back(voice.get());
    const auto current = [this] {
        std::vector<const CVoiceModel*> now;
        for (const auto& voice : scene->GetVoices())
            now.push_back(voice.get());
        return now;
    };

    WriteFileBytes(dir.File("broken.xml"), "<project><oscilloscope></project>");
    std::filesystem::create_directory(dir.File("folder.xml"));
    answers = {dir.File("none.xml"), dir.File("broken.xml"), dir.File("folder.xml")};
    for (int i = 0; i < 3; ++i) {
        scene->LoadProject();
        EXPECT_EQ(current(), voices);
        EXPECT_STREQ(scene->GetProjectNameBox()->GetText().CStr(), "Mine");
        EXPECT_TRUE(Playing());
        EXPECT_TRUE(Button("btnPlay").IsDown());
    }
    ASSERT_EQ(g_warnings.size(), 3u);
    EXPECT_EQ(g_warnings[0], "Open Project: Could not open \"" + dir.File("none.xml") + "\": No such file or directory");
    EXPECT_EQ(g_warnings[1].rfind("Open Project: Could not open \"" + dir.File("broken.xml") +
                                      "\": not a well-formed project file (line 1, ", 0), 0u) << g_warnings[1];
    EXPECT_EQ(g_warnings[2], "Open Project: Could not open \"" + dir.File("folder.xml") + "\": Is a directory");

    // A file that loads replaces the voices, stops the playback and says so on the buttons.
    WriteFileBytes(dir.File("three.xml"), "<project><name>Three</name><oscilloscope/><oscilloscope/>"
                                          "<oscilloscope frequency=\"200\"/></project>");
    answers = {dir.File("three.xml")};
    scene->LoadProject();
    ASSERT_EQ(scene->GetVoices().size(), 3u);
    for (const CVoiceModel* voice : current())
        EXPECT_EQ(std::count(voices.begin(), voices.end(), voice), 0);
    EXPECT_EQ(scene->GetVoices().back()->GetShown(ValueFrequency), 200.0f);
    EXPECT_STREQ(scene->GetProjectNameBox()->GetText().CStr(), "Three");
    EXPECT_FALSE(Playing());
    ExpectNothingPlaysShown("after Open");
    EXPECT_EQ(g_warnings.size(), 3u);
}

TEST_F(SceneMainWithoutMicrophone, MicIsDisabledAndUpWithoutAMicrophone)
{
    ASSERT_FALSE(scene->GetCapture() && static_cast<CSoundCaptureSDL*>(scene->GetCapture())->IsOpen());
    EXPECT_FALSE(Button("btnMic").IsEnabled());
    EXPECT_FALSE(Button("btnMic").IsDown());
    // Even when its handler runs (the check box latched), nothing is left disabled.
    Button("btnMic").SetDown(true);
    scene->ToggleMic();
    EXPECT_FALSE(Button("btnMic").IsDown());
    EXPECT_FALSE(Button("btnMic").IsEnabled());
    for (const char* name : {"btnAddSound", "btnPlay", "btnStop", "btnLoop"})
        EXPECT_TRUE(Button(name).IsEnabled()) << name;
    // Stop and New keep it out of reach.
    scene->Stop();
    EXPECT_FALSE(Button("btnMic").IsEnabled());
    scene->NewProject();
    EXPECT_FALSE(Button("btnMic").IsEnabled());
}

// A microphone unplugged while monitored: monitoring stops with a warning and Mic stays out of
// reach until a capture device appears (the events pass through the real queue and dispatch).
TEST_F(SceneMain, AMicrophoneThatGoesStopsMonitoringAndMicFollowsTheDevices)
{
    auto deliver = [](bool added, uint32_t id) {
        ASSERT_TRUE(PlatformPushAudioDevice(added, true, id));
        PlatformMessage message;
        while (PlatformPollMessage(nullptr, &message))
            CApp::HandleMessage(message);
    };
    Button("btnMic").SetDown(true);
    scene->ToggleMic();
    ASSERT_TRUE(scene->GetPlayer()->Get(0) && scene->GetPlayer()->Get(0)->IsMonitoring());
    const uint32_t id = scene->GetCapture()->GetDevice()->DeviceId();
    deliver(false, id + 1); // another device: still monitoring
    EXPECT_TRUE(scene->GetPlayer()->Get(0)->IsMonitoring());
    deliver(false, id);
    EXPECT_EQ(scene->GetPlayer()->Count(), 0u);
    ExpectNothingPlaysShown("after the microphone went");
    EXPECT_FALSE(Button("btnMic").IsEnabled());
    EXPECT_EQ(g_warnings.size(), 1u);
    deliver(true, 0);
    EXPECT_TRUE(Button("btnMic").IsEnabled());
}

TEST_F(SceneMain, TheGenerateMenuReplacesTheProjectAndShowsTheSeed)
{
    CEdit* seedBox = scene->GetSeedBox();
    ASSERT_NE(seedBox, nullptr);
    CGUI* laser = scene->GetGUI().FindElement("mnuLaser");
    ASSERT_NE(laser, nullptr);
    scene->AddVoice();
    Button("btnLoop").SetDown(true);
    scene->Play();
    ASSERT_TRUE(Playing());

    laser->onRelease.Emit(); // chosen from the menu: a fresh seed, shown in the box
    const std::string seed = seedBox->GetText().CStr();
    ASSERT_FALSE(seed.empty());
    EXPECT_EQ(std::string(scene->GetProjectNameBox()->GetText().CStr()), "Laser " + seed);
    EXPECT_TRUE(Playing()) << "a generated sound plays at once";
    const GeneratedVoices expected = GenerateVoices(SoundCategory::Laser, static_cast<uint32_t>(std::stoul(seed)));
    EXPECT_EQ(scene->GetMaster(), GeneratedMaster(expected)) << "the level the render tool gives it too";
    ASSERT_EQ(scene->GetVoices().size(), expected.size());
    ASSERT_EQ(scene->GetPanels().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(scene->GetVoices()[i]->GetSeed(), expected[i]->GetSeed());
        EXPECT_EQ(&scene->GetPanels()[i]->Model(), scene->GetVoices()[i].get());
    }

    // A typed seed makes that sound again, once; the next choice draws a new seed.
    seedBox->SetText("1234");
    seedBox->onChange.Emit(seedBox->GetText());
    scene->GetGUI().FindElement("mnuExplosion")->onRelease.Emit();
    EXPECT_STREQ(scene->GetProjectNameBox()->GetText().CStr(), "Explosion 1234");
    EXPECT_EQ(scene->GetVoices().front()->GetSeed(), GenerateVoices(SoundCategory::Explosion, 1234)[0]->GetSeed());
    seedBox->SetText("not a seed");
    seedBox->onChange.Emit(seedBox->GetText());
    scene->Generate(SoundCategory::Jump);
    EXPECT_STRNE(seedBox->GetText().CStr(), "not a seed");
    EXPECT_EQ("Jump " + std::string(seedBox->GetText().CStr()), scene->GetProjectNameBox()->GetText().CStr());
}

// Every change is rendered, playing or not, so the indicator always says whether the mix clips.
TEST_F(SceneMain, TheClipIndicatorFollowsEditsWhileNothingPlays)
{
    CGUI* indicator = scene->GetGUI().FindElement("clipIndicator");
    ASSERT_NE(indicator, nullptr);
    for (const auto& [amplitude, clips] : {std::pair{400.0f, true}, {50.0f, false}}) {
        scene->GetVoices()[0]->SetSlider(ValueAmplitude, amplitude); // 4 clips, 0.5 does not
        for (int i = 0; i < 2000 && (scene->IsRenderPending() || i < 2); ++i) { // 10 s at most
            GetFrameTick().Emit();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(indicator->IsVisible(), clips) << amplitude;
    }
}

TEST_F(SceneMain, MutateNudgesTheVoicesInPlace)
{
    scene->GenerateAgain(); // before any Generate: Random
    EXPECT_EQ(std::string(scene->GetProjectNameBox()->GetText().CStr()).rfind("Random ", 0), 0u);
    scene->Generate(SoundCategory::Blip);
    std::vector<const CVoiceModel*> voices;
    std::vector<float> frequencies;
    for (const auto& voice : scene->GetVoices()) {
        voices.push_back(voice.get());
        frequencies.push_back(voice->GetShown(ValueFrequency));
    }
    const std::string name = scene->GetProjectNameBox()->GetText().CStr();
    bool changed = false;
    for (int round = 0; round < 3 && !changed; ++round) {
        scene->GetGUI().FindElement("mnuMutate")->onRelease.Emit();
        for (size_t i = 0; i < voices.size(); ++i)
            changed = changed || scene->GetVoices()[i]->GetShown(ValueFrequency) != frequencies[i];
    }
    EXPECT_TRUE(changed);
    ASSERT_EQ(scene->GetVoices().size(), voices.size());
    for (size_t i = 0; i < voices.size(); ++i)
        EXPECT_EQ(scene->GetVoices()[i].get(), voices[i]) << "the same voices, changed";
    EXPECT_EQ(name, scene->GetProjectNameBox()->GetText().CStr());
    EXPECT_TRUE(Playing()) << "the mutated sound plays at once";
    scene->GenerateAgain(); // Ctrl+G: the last category, a new seed
    EXPECT_EQ(std::string(scene->GetProjectNameBox()->GetText().CStr()).rfind("Blip ", 0), 0u);
}

TEST_F(SceneMain, ButtonsShowNothingPlaysOnceThePlayerIsEmpty)
{
    Button("btnLoop").SetDown(true);
    scene->AddVoice();
    scene->Play();
    ASSERT_TRUE(Playing());
    ASSERT_TRUE(Button("btnPlay").IsDown());
    // Closing the second voice keeps the sound; closing the first discards it.
    scene->RemoveVoice(scene->GetVoices().back().get());
    EXPECT_TRUE(Button("btnPlay").IsDown());
    scene->RemoveVoice(scene->GetVoices().front().get());
    EXPECT_FALSE(Playing());
    ExpectNothingPlaysShown("after closing the first voice");

    // With no voice left, Play plays nothing, not the mix of the voices that are gone.
    ASSERT_TRUE(scene->GetVoices().empty());
    scene->Play();
    EXPECT_EQ(scene->GetPlayer()->Count(), 0u);
    EXPECT_EQ(scene->GetMix().GetDataSize(), 0u);
    ExpectNothingPlaysShown("after Play without voices");

    // New after Stop: the Stop button pops up too.
    scene->AddVoice();
    scene->Play();
    scene->Stop();
    EXPECT_TRUE(Button("btnStop").IsDown());
    scene->NewProject();
    ExpectNothingPlaysShown("after New");
}

// The scene hands the playing position to the panels on its tick, and takes it away on Stop.
TEST_F(SceneMain, PlayheadsShowWhileASoundPlaysAndGoWhenItStops)
{
    const COscilloscope& panel = *scene->GetPanels().front();
    scene->Play();
    ASSERT_TRUE(Playing());
    GetFrameTick().Emit();
    EXPECT_GE(panel.GetPlayhead(), 0.0);
    scene->Stop();
    GetFrameTick().Emit();
    EXPECT_LT(panel.GetPlayhead(), 0.0);
}

// The strip shows a known project's mix: normalised, its greatest column and its peak stand at
// -1 dBFS with nothing marked clipped; pushed 24 dB into the clamp, clipped columns and the
// clip mark show. Its columns span the overview, a pixel each.
TEST_F(SceneMain, TheMixStripShowsTheProjectsLevelAndItsClipping)
{
    const CMixStrip& strip = scene->GetMixStrip();
    struct Row {
        float gain;
        bool normalize;
        double peakDb;
        bool clips;
    } rows[] = {{0.0f, true, -1.0, false}, {24.0f, false, 0.0, true}};
    for (const Row& row : rows) {
        MixMaster master = scene->GetMaster();
        master.gain = row.gain;
        master.normalize = row.normalize;
        scene->SetMaster(master);
        scene->Play();
        scene->Stop();
        GetFrameTick().Emit();
        const std::vector<OverviewColumn>& columns = strip.GetColumns();
        ASSERT_EQ(columns.size(), static_cast<size_t>(strip.GetOverview().GetWidth()));
        float high = 0.0f;
        bool clipped = false;
        for (const OverviewColumn& c : columns) {
            high = std::max({high, c.high, -c.low});
            clipped = clipped || c.clipped;
        }
        EXPECT_NEAR(20.0 * std::log10(high), row.peakDb, 0.05) << row.gain;
        EXPECT_NEAR(strip.GetMeter().GetFigures().peakDb, row.peakDb, 0.05) << row.gain;
        EXPECT_EQ(clipped, row.clips) << row.gain;
        EXPECT_EQ(strip.GetMeter().IsClipLit(), row.clips) << row.gain;
    }
}

// A click in the overview's middle plays from the mix's middle; a drag selects a range, which
// Play then loops on its own.
TEST_F(SceneMain, TheOverviewPlaysFromAClickAndLoopsADraggedRange)
{
    const CGUI& overview = scene->GetMixStrip().GetOverview();
    const CVector at = overview.GetAbsolutePosition();
    auto mouse = [&](int32_t action, float share) {
        CInputMap event;
        event.action = action;
        event.button = action == InputMove ? MouseNoButton : MouseLeft;
        event.position = CVector(at.x + share * overview.GetWidth(), at.y + 20.0f, 0.0f, 0.0f);
        GetMouseSignal().Emit(event);
    };
    scene->Play();
    scene->Stop();
    const uint32_t mixBytes = scene->GetMix().GetDataSize();
    mouse(InputPress, 0.5f);
    mouse(InputRelease, 0.5f);
    ASSERT_TRUE(Playing());
    const CSoundBuffer& buffer = *scene->GetPlayer()->Get(0);
    EXPECT_EQ(buffer.GetSound(), &scene->GetMix());
    EXPECT_NEAR(const_cast<CSoundBuffer&>(buffer).GetPosition(), mixBytes / 2.0, mixBytes * 0.05);

    scene->Stop();
    mouse(InputPress, 0.25f);
    mouse(InputMove, 0.75f);
    mouse(InputRelease, 0.75f);
    double start = 0.0, end = 0.0;
    ASSERT_TRUE(scene->GetMixStrip().GetRange(start, end));
    const double seconds = scene->GetMix().GetDuration() / 1000.0;
    EXPECT_NEAR(start, 0.25 * seconds, 0.01 * seconds);
    EXPECT_NEAR(end, 0.75 * seconds, 0.01 * seconds);
    scene->Play();
    ASSERT_TRUE(Playing());
    const CSoundBuffer& looping = *scene->GetPlayer()->Get(0);
    EXPECT_TRUE(looping.IsLooping());
    EXPECT_NEAR(looping.GetSound()->GetDataSize(), mixBytes / 2.0, mixBytes * 0.02);
    EXPECT_NEAR(looping.GetSound()->GetData() - scene->GetMix().GetData(), mixBytes / 4.0, mixBytes * 0.02)
        << "the range starts a quarter into the mix";

    // The keys go on stretching the dragged range from where the drag began.
    scene->GetFocusRing().Focus(&scene->GetMixStrip().GetOverview());
    EmitKey(KeyPageDown, InputPress, false, ModifierShift);
    ASSERT_TRUE(scene->GetMixStrip().GetRange(start, end));
    EXPECT_NEAR(start, 0.25 * seconds, 0.01 * seconds);
    EXPECT_NEAR(end, 0.85 * seconds, 0.01 * seconds);
}

// The overview from the keyboard alone, row after row on one cursor: Page Down moves it a
// tenth, Shift stretches a range from where it stood, Enter or Space plays the range (looping)
// or from the cursor, Escape drops the range, End and Left reach the last columns.
TEST_F(SceneMain, TheFocusedOverviewPlaysFromACursorOrARangeTheKeysChoose)
{
    CMixStrip& strip = scene->GetMixStrip();
    scene->Play();
    scene->Stop();
    const double seconds = scene->GetMix().GetDuration() / 1000.0;
    const double column = 1.0 / strip.GetOverview().GetWidth(); // of the mix
    const uint32_t mixBytes = scene->GetMix().GetDataSize();
    enum Plays { Nothing, FromCursor, Range };
    const struct {
        const char* what;
        std::vector<int32_t> keys; // negative: with Shift; ' ' the typed space
        double cursor, start, end; // shares of the mix; start == end: no range
        Plays plays;
    } rows[] = {
        {"Page Down twice is two tenths", {KeyPageDown, KeyPageDown}, 0.2, 0, 0, Nothing},
        {"Enter plays from the cursor", {KeyEnter}, 0.2, 0, 0, FromCursor},
        {"Shift stretches a range from it", {-KeyPageDown, -KeyPageDown}, 0.4, 0.2, 0.4, Nothing},
        {"Space plays the range, looping", {' '}, 0.4, 0.2, 0.4, Range},
        {"Shift+Home turns it round where it began", {-KeyHome}, 0.0, 0.0, 0.2, Nothing},
        {"Escape drops the range", {KeyEscape}, 0.0, 0, 0, Nothing},
        {"End and Right stay at the end", {KeyEnd, KeyRight}, 1.0, 0, 0, Nothing},
        {"Left moves one column", {KeyLeft}, 1.0 - column, 0, 0, Nothing},
    };
    scene->GetFocusRing().Focus(&strip.GetOverview());
    for (const auto& row : rows) {
        scene->Stop();
        for (int32_t key : row.keys) {
            if (key == ' ')
                EmitCharacter(' ');
            else
                EmitKey(std::abs(key), InputPress, false, key < 0 ? uint32_t(ModifierShift) : 0u);
        }
        EXPECT_NEAR(strip.GetCursor(), row.cursor * seconds, 1e-9) << row.what;
        double start = 0.0, end = 0.0;
        EXPECT_EQ(strip.GetRange(start, end), row.start < row.end) << row.what;
        if (row.start < row.end) {
            EXPECT_NEAR(start, row.start * seconds, 1e-9) << row.what;
            EXPECT_NEAR(end, row.end * seconds, 1e-9) << row.what;
        }
        EXPECT_EQ(Playing(), row.plays != Nothing) << row.what;
        if (row.plays == Nothing || !Playing())
            continue;
        CSoundBuffer& buffer = *scene->GetPlayer()->Get(0);
        if (row.plays == FromCursor) {
            EXPECT_EQ(buffer.GetSound(), &scene->GetMix()) << row.what;
            EXPECT_NEAR(buffer.GetPosition(), row.cursor * mixBytes, mixBytes * 0.02) << row.what;
        } else {
            EXPECT_TRUE(buffer.IsLooping()) << row.what;
            EXPECT_NEAR(buffer.GetSound()->GetData() - scene->GetMix().GetData(), row.start * mixBytes, 4) << row.what;
            EXPECT_NEAR(buffer.GetSound()->GetDataSize(), (row.end - row.start) * mixBytes, 4) << row.what;
        }
    }
    EXPECT_EQ(scene->GetFocusRing().GetFocus(), &strip.GetOverview()) << "every key stayed with the overview";
}

// Each of the strip's views names itself in the shared tip while the pointer rests on it.
TEST_F(SceneMain, TheMixStripsViewsNameThemselvesInTheTip)
{
    const CMixStrip& strip = scene->GetMixStrip();
    CTooltip* tip = scene->GetGUI().GetTooltip();
    ASSERT_NE(tip, nullptr);
    for (const CGUI* view : {&strip.GetOverview(), &strip.GetMeterScreen(), &strip.GetSpectrumScreen()}) {
        const CVector at = view->GetAbsolutePosition();
        EmitMouseMove(at.x + view->GetWidth() / 2, at.y + view->GetHeight() / 2);
        EXPECT_EQ(tip->GetTarget(), view);
        EXPECT_FALSE(view->GetTooltip().IsEmpty());
        EXPECT_EQ(tip->GetText(), view->GetTooltip());
    }
    EmitMouseMove(5.0f, 590.0f); // below the panel, over nothing
    EXPECT_EQ(tip->GetTarget(), nullptr);
}

} // namespace

// [SECTION] Unsaved work

// A question runner that records each question's text and gives the next answer (Cancel when
// none is left).
struct QuestionAnswers {
    std::vector<int32_t> answers;
    std::vector<std::string> asked;
    QuestionRunner Runner()
    {
        return [this](const QuestionRequest& question) {
            asked.push_back(question.text.CStr());
            const int32_t answer = answers.empty() ? question.cancelButton : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        };
    }
};

TEST_F(SceneMain, ChangesAreShownInTheTitleAndAskedAboutBeforeTheyAreLost)
{
    QuestionAnswers questions;
    scene->SetQuestionRunner(questions.Runner());
    EXPECT_EQ(std::string(scene->GetTitle().CStr()), "New Project \xE2\x80\x94 Quillwave");
    scene->NewProject(); // nothing changed: nothing asked
    EXPECT_TRUE(questions.asked.empty());

    scene->GetVoices()[0]->SetSlider(ValueAmplitude, 250.0f);
    EXPECT_EQ(std::string(scene->GetTitle().CStr()), "*New Project \xE2\x80\x94 Quillwave");
    scene->Undo();
    EXPECT_FALSE(scene->IsModified()) << "undo back to the saved state";
    scene->Redo();
    EXPECT_TRUE(scene->IsModified());

    questions.answers = {2}; // Cancel changes nothing
    scene->NewProject();
    ASSERT_EQ(questions.asked, std::vector<std::string>{"Save changes to New Project?"});
    EXPECT_EQ(scene->GetVoices()[0]->GetShown(ValueAmplitude), 2.5f);

    questions.answers = {0}; // Save, the first time through the dialog; then New goes on
    answers = {dir.File("kept.xml")};
    scene->NewProject();
    EXPECT_TRUE(std::filesystem::exists(dir.File("kept.xml")));
    EXPECT_EQ(scene->GetVoices()[0]->GetShown(ValueAmplitude), 1.0f);
    EXPECT_FALSE(scene->IsModified());

    scene->GetVoices()[0]->SetSlider(ValueAmplitude, 250.0f);
    questions.answers = {0}; // Save, but the dialog is cancelled: the work stays
    answers.clear();
    scene->NewProject();
    EXPECT_EQ(scene->GetVoices()[0]->GetShown(ValueAmplitude), 2.5f);
}

TEST_F(SceneMain, SaveAsksForAFileOnlyTheFirstTimeAndExportStartsBesideIt)
{
    std::vector<FileDialogRequest> requests;
    RecordRequests(requests);
    answers = {dir.File("first"), dir.File("copy.xml"), dir.File("mix.wav")};
    scene->SaveProject();
    scene->GetVoices()[0]->SetSlider(ValueAmplitude, 250.0f);
    scene->SaveProject(); // no dialog: the same file again
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(std::string(requests[0].name.CStr()), "New Project.xml");
    EXPECT_NE(ReadFileBytes(dir.File("first.xml")).find("amplitude=\"2.5"), std::string::npos);
    EXPECT_FALSE(scene->IsModified());

    scene->SaveProjectAs();
    EXPECT_EQ(std::string(scene->GetProjectPath().CStr()), dir.File("copy.xml"));
    scene->SaveSound();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(std::string(requests[2].folder.CStr()), dir.File(""));
    EXPECT_EQ(std::string(requests[2].name.CStr()), "New Project.wav");
}

TEST_F(SceneMain, GenerateAsksOnlyOverTheUsersOwnEditsAndDropsCheckTheFileFirst)
{
    QuestionAnswers questions;
    scene->SetQuestionRunner(questions.Runner());
    scene->Generate(SoundCategory::Laser);
    scene->Generate(SoundCategory::Laser); // over an untouched generated sound: one click
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_TRUE(scene->IsModified()) << "a generated sound is not saved anywhere yet";

    scene->GetVoices()[0]->SetSlider(ValueAmplitude, 10.0f);
    const String name = scene->GetProjectNameBox()->GetText();
    scene->Generate(SoundCategory::Pickup); // Cancel
    EXPECT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(scene->GetProjectNameBox()->GetText(), name);

    WriteFileBytes(dir.File("picture.xml"), "<svg><rect/></svg>");
    ASSERT_EQ(mkfifo(dir.File("pipe.xml").c_str(), 0600), 0); // opening it would wait for a writer
    for (const auto& [file, reason] : {std::pair{"picture.xml", "not a Quillwave project"}, {"pipe.xml", "Not a regular file"}}) {
        g_warnings.clear();
        scene->OpenProjectAsked(String(dir.File(file).c_str()));
        EXPECT_EQ(questions.asked.size(), 1u) << "a file that is no project asks nothing";
        ASSERT_EQ(g_warnings.size(), 1u);
        EXPECT_EQ(g_warnings[0], "Open Project: Could not open \"" + dir.File(file) + "\": " + reason);
    }
}
