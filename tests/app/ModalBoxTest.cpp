// The program's own boxes over the real window: Save Sound's progress box, whose bar rises
// while the export renders and whose Cancel (Escape) ends it without writing anything; and a
// warning (no test hook), kept within the window however long, whose Copy puts the whole text
// on the clipboard while the box stays until OK.
#include "app/Application.h"
#include "app/ExportLoop.h"
#include "app/MessageLoop.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Font.h"
#include "gui/ProgressBox.h"
#include "gui/QuestionBox.h"
#include "gui/Window.h"
#include "platform/Clipboard.h"
#include "platform/Window.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class ModalBox : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: these tests run under a (virtual) X server";
    }
    void PushKey(int32_t key)
    {
        PlatformPushKey(key, true);
        PlatformPushKey(key, false);
    }
};

// 3,000 ten-second voices take seconds to render on any machine: the box is seen and
// cancelled long before the render could end.
TEST_F(ModalBox, ALongExportShowsProgressRisingAndCancelLeavesThePreviousFile)
{
    const std::filesystem::path folder = dir.Path() / "work"; // apart from the audio driver's files
    std::filesystem::create_directory(folder);
    const std::string project = (folder / "long.xml").string(), sound = (folder / "long.wav").string();
    std::string text = "<project><name>long</name>";
    for (int i = 0; i < 3000; ++i)
        text += "<oscilloscope amplitude='0.01' frequency='" + std::to_string(100 + i) + "' period='10'/>";
    WriteFileBytes(project, text + "</project>");
    WriteFileBytes(sound, "previous");
    PlatformSetWarningHookForTesting([](const char*, const char*) {}); // the voices past the panels
    float first = 0.0f, later = 0.0f;
    {
        Application app;
        CFrameScript script(3000);
        CSceneMain& scene = app.GetMainScene();
        scene.SetFileDialogRunner(DialogAnswers({sound}));
        auto progress = [&](float& into) { return GetRunningExport() && (into = GetRunningExport()->GetProgress()) > 0; };
        script.After(5, [&] { scene.OpenProjectAsked(project.c_str()); });
        script.After(2, [&] { scene.SaveSound(); }); // the steps after it run on the box's frames
        script.Until(1000, [&] { return progress(first); });
        script.Until(1000, [&] { return progress(later) && later > first; });
        script.After(1, [&] { PushKey(KeyEscape); });
        script.Until(100, [&] { return GetRunningExport() == nullptr; });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    PlatformSetWarningHookForTesting(nullptr);
    EXPECT_GT(later, first);
    EXPECT_LT(later, 1.0f);
    EXPECT_EQ(ReadFileBytes(sound), "previous");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2) << "no temporary file is left";
}

TEST_F(ModalBox, ALongWarningFitsTheWindowAndCopiesWhole)
{
    std::string path = "/home/someone";
    for (int i = 0; i < 12; ++i)
        path += "/a-folder-with-a-rather-long-name-" + std::to_string(i);
    const std::string text = "Could not open \"" + path + "/project.xml\": not well-formed (invalid token) at line 1";
    bool returned = false, withinWindow = false, shortened = false, stayedAfterCopy = false;
    {
        Application app;
        CFrameScript script;
        script.After(5, [&] {
            ShowWarning("Open Project", text.c_str(), &app.GetResources());
            returned = true;
        });
        script.Until(100, [&] { return GetRunningWarning() != nullptr; });
        script.After(2, [&] {
            const CWindow& window = GetRunningWarning()->GetWindow();
            const CVector at = window.GetAbsolutePosition();
            withinWindow = at.x >= 0 && at.y >= 0 && at.x + window.GetWidth() <= app.GetClientWidth() &&
                           at.y + window.GetHeight() <= app.GetClientHeight();
            const std::string shown = GetRunningWarning()->GetText().GetText().CStr();
            shortened = shown != text && shown.find("project.xml") != std::string::npos;
            PlatformSetClipboardText("");
            const CButton& copy = GetRunningWarning()->GetButton(0);
            Click(copy.GetAbsolutePosition().x + copy.GetWidth() / 2, copy.GetAbsolutePosition().y + copy.GetHeight() / 2);
        });
        script.Until(100, [&] { return PlatformGetClipboardText() == text; });
        script.After(2, [&] {
            stayedAfterCopy = GetRunningWarning() && !GetRunningWarning()->IsDone();
            PushKey(KeyEnter);
        });
        script.Until(100, [&] { return returned; });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_TRUE(withinWindow);
    EXPECT_TRUE(shortened);
    EXPECT_TRUE(stayedAfterCopy);
    EXPECT_EQ(GetRunningWarning(), nullptr);
}

} // namespace
