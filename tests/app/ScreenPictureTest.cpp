// Reference pictures of the real Application's window: the main scene with one voice, with
// eight voices whose carrier and envelope areas are open, with the mix strip showing clipping
// and a selected range, with a voice's three areas of stages open, and with the Open file
// dialog over it, empty and with a name longer than its path field, and with the question box
// over it; and at 200 %, one voice, the file dialog with the long name and the question box.
// Each picture is read back from the 810 × 600 window (1280 × 960 at 200 %) at the end of a
// frame and compared with a PNG under tests/app/pictures/:
// it passes when at least 99.5 % of the pixels differ by at most 8 in every channel (the
// software renderer is deterministic; the margin absorbs a driver's rounding, not a changed
// drawing). A failing run writes what it saw next to the build (QW_BUILD_DIR/pictures/
// NAME.png) so that the two can be looked at side by side.
//
// To write the references instead of comparing (after a deliberate change to the looks):
//     export QW_UPDATE_PICTURES=1 SDL_AUDIODRIVER=dummy
//     xvfb-run -a -s "-screen 0 1280x1024x24" build/test_app --gtest_filter='ScreenPictures.*'
// from the source folder (the same virtual display the tests use), then look at them.
//
// Nothing animated is in a picture: the pointer is parked where no element reacts to it, a
// frame is only kept while no tooltip shows and no caret is lit, and the mix has been made.
#include "app/Application.h"
#include "app/FileDialogLoop.h"
#include "app/QuestionLoop.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/Tooltip.h"
#include "media/ImageReaders.h"
#include "platform/Events.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"
#include "support/PngWriter.h"
#include "support/ScopedHome.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <functional>
#include <string>
#include <vector>

namespace {

// The window as the application opens it: 800 × 600 asked for, widened to the main scene's
// minimum width. A frame of any other size is never kept.
constexpr int kWidth = 810, kHeight = 600;
// At 200 %: a window as large as the virtual screen allows, 640 × 480 units.
constexpr int kZoomedWidth = 1280, kZoomedHeight = 960;

// The application, keeping the first frame that ends while wanted() holds, as RGB rows from
// the top.
class PictureApp : public Application {
public:
    std::function<bool()> wanted;
    std::vector<uint8_t> rgb;
    int width = kWidth, height = kHeight; // window pixels

protected:
    void Present() override
    {
        // The window reaches its size a frame or two before everything has followed the
        // resize (the bar's stretch, the backdrop): keep a frame only once the size has held
        // for several frames.
        const bool sized = GetPixelWidth() == width && GetPixelHeight() == height;
        m_sizedFrames = sized ? m_sizedFrames + 1 : 0;
        if (rgb.empty() && wanted && wanted() && m_sizedFrames > 5) {
            std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 3);
            glReadBuffer(GL_BACK);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
            const size_t row = static_cast<size_t>(width) * 3;
            rgb.resize(bottomUp.size());
            for (int y = 0; y < height; ++y)
                std::copy_n(&bottomUp[(height - 1 - y) * row], row, &rgb[y * row]);
        }
        Application::Present();
    }

private:
    int m_sizedFrames = 0;
};

// A window point where nothing reacts to the pointer: the bottom-left corner of the voice
// area, below the panels, and outside the file dialog.
void ParkPointer(const PictureApp& app) { PlatformPushMouseMove(4, app.height - 4); }

// Steps to 200 % in a window of kZoomedWidth × kZoomedHeight pixels (the zoom is not kept),
// with the voices laid out at once for the new size, which the scene would wait for.
void ZoomTo200(CFrameScript& script, PictureApp& app)
{
    script.After(1, [&app] {
        app.width = kZoomedWidth;
        app.height = kZoomedHeight;
        app.SetScale(2.0f);
        app.SetSize(app.width, app.height, false);
    });
    script.Until(50, [&app] { return app.GetPixelWidth() == app.width && app.GetPixelHeight() == app.height; });
    script.After(1, [&app] { app.GetMainScene().LayoutVoices(); });
}

bool NoCaretLit(CSceneMain& scene)
{
    for (CEdit* box : {scene.GetProjectNameBox(), scene.GetSeedBox()})
        if (box && box->IsCaretOn() && box->IsActive())
            return false;
    const CEdit* focused = dynamic_cast<const CEdit*>(scene.GetGUI().GetFocus());
    return !(focused && focused->IsActive() && focused->IsCaretOn());
}

bool Still(Application& app)
{
    CSceneMain& scene = app.GetMainScene();
    for (CTooltip* tip : {scene.GetGUI().GetTooltip(), app.GetGUI().GetTooltip()})
        if (tip && tip->IsShowing())
            return false;
    return !scene.IsRenderPending() && NoCaretLit(scene);
}

// The folder the Open dialog starts in: a fixed path (it shows in the dialog) with fixed
// contents, made again as needed.
const char* kDialogHome = "/tmp/quillwave-picture-home";

void MakeDialogHome()
{
    namespace fs = std::filesystem;
    fs::create_directories(std::string(kDialogHome) + "/loops");
    fs::create_directories(std::string(kDialogHome) + "/projects");
    for (const char* name : {"bell.xml", "drone.xml", "kick.xml"}) {
        std::ofstream file(std::string(kDialogHome) + "/" + name, std::ios::binary | std::ios::trunc);
        file << "<?xml version=\"1.0\"?>\n<project>\n\t<name>Picture</name>\n</project>\n";
    }
}

class ScreenPictures : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: these tests run under a (virtual) X server";
    }

    // Compares the picture with tests/app/pictures/name.png, or writes it there when
    // QW_UPDATE_PICTURES is set to anything but 0.
    static void Check(const std::vector<uint8_t>& rgb, const std::string& name, int kWidth = ::kWidth,
                      int kHeight = ::kHeight)
    {
        ASSERT_EQ(rgb.size(), static_cast<size_t>(kWidth) * kHeight * 3) << "no frame was kept";
        const std::string reference = "tests/app/pictures/" + name + ".png";
        const char* update = std::getenv("QW_UPDATE_PICTURES");
        if (update && std::string(update) != "0") {
            Write(rgb, reference, kWidth, kHeight);
            std::cout << "wrote " << reference << "\n";
            return;
        }
        ImageFile expected = ReadPNG(reference.c_str());
        const bool readable = expected.pixels && expected.width == kWidth && expected.height == kHeight &&
                              expected.Channels() >= 3;
        size_t differing = 0;
        int worst = 0;
        if (readable) {
            // The reader gives bottom-up rows.
            const size_t channels = static_cast<size_t>(expected.Channels());
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    const size_t from = (kHeight - 1 - y) * static_cast<size_t>(kWidth) + x;
                    const uint8_t* want = expected.pixels + from * channels;
                    const uint8_t* got = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
                    int most = 0;
                    for (int c = 0; c < 3; ++c)
                        most = std::max(most, std::abs(int(want[c]) - int(got[c])));
                    worst = std::max(worst, most);
                    differing += most > 8;
                }
        }
        const size_t allowed = static_cast<size_t>(kWidth) * kHeight / 200; // 0.5 %
        if (!readable || differing > allowed) {
            namespace fs = std::filesystem;
            fs::create_directories(std::string(QW_BUILD_DIR) + "/pictures");
            const std::string seen = std::string(QW_BUILD_DIR) + "/pictures/" + name + ".png";
            Write(rgb, seen, kWidth, kHeight);
            ADD_FAILURE() << (readable ? std::to_string(differing) + " pixels differ by more than 8 (at most " +
                                             std::to_string(allowed) + " may; the largest difference is " +
                                             std::to_string(worst) + ")"
                                       : reference + " cannot be read as a picture of the window size")
                          << "; what was drawn is in " << seen;
        }
    }

    static void Write(const std::vector<uint8_t>& rgb, const std::string& path, int kWidth, int kHeight)
    {
        pngwriter::Options options;
        options.colourType = 2;
        options.level = 9;
        const std::vector<uint8_t> png = pngwriter::Encode(rgb.data(), kWidth, kHeight, options);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        ASSERT_TRUE(file.good()) << "cannot write " << path;
    }
};

// At 100 % and at 200 %, where the text is rasterised at its zoomed size.
TEST_F(ScreenPictures, OneVoiceLooksAsRecorded)
{
    for (const bool zoomed : {false, true}) {
        PictureApp app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.Until(300, [&] { return scene.GetProjectNameBox() && scene.GetPanels().size() == 1; });
        if (zoomed)
            ZoomTo200(script, app);
        script.After(1, [&] { ParkPointer(app); });
        script.After(3, [&] { app.wanted = [&] { return Still(app); }; });
        script.Until(300, [&] { return !app.rgb.empty(); }); // the mix may take a while on a busy machine
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
        Check(app.rgb, zoomed ? "one-voice-200" : "one-voice", app.width, app.height);
    }
}

TEST_F(ScreenPictures, EightVoicesWithCarrierAndEnvelopeOpenLookAsRecorded)
{
    PictureApp app;
    CFrameScript script;
    CSceneMain& scene = app.GetMainScene();
    script.Until(300, [&] { return scene.GetProjectNameBox() && scene.GetPanels().size() == 1; });
    script.After(1, [&] {
        while (scene.GetVoices().size() < 8)
            scene.AddVoice();
        for (size_t i = 0; i < scene.GetVoices().size(); ++i) {
            CVoiceModel& voice = *scene.GetVoices()[i];
            voice.SetWaveType(static_cast<int32_t>(i % 5));
            voice.SetCarrierType(static_cast<int32_t>((i + 2) % 5));
            voice.SetCarrierOn(true);
            voice.SetEnvelopeOn(true);
        }
        ParkPointer(app);
    });
    script.After(3, [&] { app.wanted = [&] { return Still(app); }; });
    script.Until(300, [&] { return !app.rgb.empty(); }); // the mix may take a while on a busy machine
    app.Run(0, nullptr);
    EXPECT_TRUE(script.Finished());
    Check(app.rgb, "eight-voices-open");
}

// One voice with its three areas of stages open (each opened by using one of its stages) and a
// frequency past half the rate (its box amber).
TEST_F(ScreenPictures, StageAreasLookAsRecorded)
{
    PictureApp app;
    CFrameScript script;
    CSceneMain& scene = app.GetMainScene();
    script.Until(300, [&] { return scene.GetProjectNameBox() && scene.GetPanels().size() == 1; });
    script.After(1, [&] {
        CVoiceModel& voice = *scene.GetVoices()[0];
        voice.SetTyped(ValueFrequency, 30000.0f);
        voice.SetStage(StageFrequencyEnd, 880.0f);
        voice.SetStage(StageVibratoDepth, 0.5f);
        voice.SetStage(StageDuty, 0.25f);
        voice.SetBandLimited(true);
        voice.SetStage(StageLowpass, 3000.0f);
        voice.SetStage(StageResonance, 0.4f);
        ParkPointer(app);
    });
    script.After(3, [&] { app.wanted = [&] { return Still(app); }; });
    script.Until(300, [&] { return !app.rgb.empty(); });
    app.Run(0, nullptr);
    EXPECT_TRUE(script.Finished());
    Check(app.rgb, "stage-areas");
}

// The mix strip over a mix pushed into the clamp (clipped columns, the clip mark lit) with a
// range dragged across its overview through the window system's events.
TEST_F(ScreenPictures, TheMixStripWithClippingAndARangeLooksAsRecorded)
{
    PictureApp app;
    CFrameScript script;
    CSceneMain& scene = app.GetMainScene();
    const CGUI& overview = scene.GetMixStrip().GetOverview();
    auto pointAt = [&](float share) {
        const CVector at = overview.GetAbsolutePosition();
        PlatformPushMouseMove(static_cast<int32_t>(at.x + share * overview.GetWidth()), static_cast<int32_t>(at.y + 30));
    };
    script.Until(300, [&] { return scene.GetProjectNameBox() && scene.GetPanels().size() == 1; });
    script.After(1, [&] {
        scene.AddVoice()->SetWaveType(2);
        MixMaster master = scene.GetMaster();
        master.gain = 9.0f;
        scene.SetMaster(master);
    });
    script.Until(300, [&] { return !scene.IsRenderPending() && !scene.GetMixStrip().GetColumns().empty(); });
    script.After(1, [&] { pointAt(0.3f); });
    script.After(1, [&] { PlatformPushMouseButton(0, true); });
    script.After(1, [&] { pointAt(0.6f); });
    script.After(1, [&] { PlatformPushMouseButton(0, false); });
    script.After(1, [&] { ParkPointer(app); });
    script.After(3, [&] { app.wanted = [&] { return Still(app); }; });
    script.Until(300, [&] { return !app.rgb.empty(); });
    app.Run(0, nullptr);
    EXPECT_TRUE(script.Finished());
    double start = 0.0, end = 0.0;
    EXPECT_TRUE(scene.GetMixStrip().GetRange(start, end));
    Check(app.rgb, "mix-strip");
}

// Opens the Open dialog (starting in the fixed home folder) by a click on Open, at 200 % when
// zoomed, types text into its path field when there is any, and keeps a still frame of it.
std::vector<uint8_t> DialogPicture(const char* typed, bool zoomed = false)
{
    MakeDialogHome();
    ScopedHome home(kDialogHome);
    PictureApp app;
    CFrameScript script;
    CSceneMain& scene = app.GetMainScene();
    script.Until(300, [&] { return scene.GetProjectNameBox() && scene.GetPanels().size() == 1; });
    if (zoomed)
        ZoomTo200(script, app);
    script.After(1, [&] {
        const CButton& open = *scene.GetButton("btnOpen");
        const CVector p = open.GetAbsolutePosition();
        const float scale = app.GetScale(); // the click lands in window pixels
        PlatformPushMouseMove(static_cast<int32_t>((p.x + open.GetWidth() / 2) * scale),
                              static_cast<int32_t>((p.y + open.GetHeight() / 2) * scale));
        PlatformPushMouseButton(0, true);
        PlatformPushMouseButton(0, false);
    });
    script.Until(50, [&] { return GetRunningFileDialog() != nullptr; });
    script.After(1, [&] {
        ParkPointer(app);
        if (*typed)
            PlatformPushText(typed);
    });
    script.After(3, [&] {
        app.wanted = [&] {
            CFileDialogView* dialog = GetRunningFileDialog();
            return dialog && !dialog->IsButtonHeld() && !dialog->GetEdit().IsCaretOn() && Still(app);
        };
    });
    script.Until(300, [&] { return !app.rgb.empty(); }); // the mix may take a while on a busy machine
    script.After(1, [&] { PlatformPushKey(KeyEscape, true); });
    script.Until(50, [&] { return GetRunningFileDialog() == nullptr; });
    app.Run(0, nullptr);
    EXPECT_TRUE(script.Finished());
    return app.rgb;
}

TEST_F(ScreenPictures, OpenFileDialogLooksAsRecorded)
{
    Check(DialogPicture(""), "file-dialog");
}

// The path field scrolls a name longer than itself and clips it inside its border, also at
// 200 %, where the clip is scaled with everything else.
TEST_F(ScreenPictures, ALongNameInTheFileDialogIsClippedToItsField)
{
    const char* name = "a-name-much-longer-than-the-path-field-of-the-open-dialog-can-show-at-once.xml";
    Check(DialogPicture(name), "file-dialog-long-name");
    Check(DialogPicture(name, true), "file-dialog-long-name-200", kZoomedWidth, kZoomedHeight);
}

// The box runs inside a script step, so the steps after it run on the frames of its own loop.
// Its keys come through the window system's queue; the scene under it must hear none of them
// (Insert would add a voice).
TEST_F(ScreenPictures, TheQuestionBoxLooksAsRecordedAndKeepsTheKeysFromTheScene)
{
    for (const bool zoomed : {false, true}) {
        PictureApp app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        int32_t choice = -2;
        script.Until(300, [&] { return scene.GetProjectNameBox() && scene.GetPanels().size() == 1; });
        if (zoomed)
            ZoomTo200(script, app);
        script.After(1, [&] { ParkPointer(app); });
        script.After(1, [&] {
            QuestionRequest request;
            request.title = "Unsaved changes";
            request.text = "Save changes to Laser 1234?";
            request.buttons = {"Save", "Don't Save", "Cancel"};
            choice = RunQuestion(request, &app.GetResources());
        });
        script.After(3, [&] { app.wanted = [&] { return GetRunningQuestion() && Still(app); }; });
        script.Until(300, [&] { return !app.rgb.empty(); });
        script.After(1, [&] {
            for (int32_t key : {int32_t(KeyInsert), int32_t(KeyTab), int32_t(KeyEnter)}) {
                PlatformPushKey(key, true);
                PlatformPushKey(key, false);
            }
        });
        script.Until(50, [&] { return GetRunningQuestion() == nullptr; });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
        EXPECT_EQ(choice, 1);
        EXPECT_EQ(scene.GetVoices().size(), 1u);
        Check(app.rgb, zoomed ? "question-box-200" : "question-box", app.width, app.height);
    }
}

} // namespace
