// Save Sound in the real program: the export renders off the frame loop behind a progress box
// whose bar rises while it runs, and whose Cancel (Escape) ends it without writing anything.
#include "app/Application.h"
#include "app/ExportLoop.h"

#include "events/Input.h"
#include "gui/ProgressBox.h"
#include "platform/Events.h"
#include "platform/Window.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void IgnoreWarning(const char*, const char*) {}

class Export : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: these tests run under a (virtual) X server";
        PlatformSetWarningHookForTesting(&IgnoreWarning); // the voices past the panels are announced
    }
    void TearDown() override { PlatformSetWarningHookForTesting(nullptr); }
};

// 3,000 ten-second voices take seconds to render on any machine, so the box is seen and
// cancelled long before the render could end.
TEST_F(Export, ALongExportShowsProgressRisingAndCancelLeavesThePreviousFile)
{
    const std::filesystem::path folder = dir.Path() / "work"; // apart from the audio driver's files
    std::filesystem::create_directory(folder);
    const std::string project = (folder / "long.xml").string(), sound = (folder / "long.wav").string();
    std::string text = "<project><name>long</name>";
    for (int i = 0; i < 3000; ++i)
        text += "<oscilloscope amplitude='0.01' frequency='" + std::to_string(100 + i) + "' period='10'/>";
    WriteFileBytes(project, text + "</project>");
    WriteFileBytes(sound, "previous");
    float first = 0.0f, later = 0.0f;
    bool ended = false;
    {
        Application app;
        CFrameScript script(3000);
        CSceneMain& scene = app.GetMainScene();
        scene.SetFileDialogRunner(DialogAnswers({sound}));
        script.After(5, [&] { scene.OpenProjectAsked(project.c_str()); });
        script.After(2, [&] { scene.SaveSound(); }); // the steps after it run on the box's frames
        script.Until(1000, [&] { return GetRunningExport() && (first = GetRunningExport()->GetProgress()) > 0.0f; });
        script.Until(1000, [&] { return GetRunningExport() && (later = GetRunningExport()->GetProgress()) > first; });
        script.After(1, [&] {
            PlatformPushKey(KeyEscape, true);
            PlatformPushKey(KeyEscape, false);
        });
        script.Until(100, [&] { return ended = GetRunningExport() == nullptr; });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_GT(first, 0.0f);
    EXPECT_GT(later, first);
    EXPECT_LT(later, 1.0f);
    EXPECT_TRUE(ended);
    EXPECT_EQ(ReadFileBytes(sound), "previous");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++files;
    EXPECT_EQ(files, 2u) << "no temporary file is left";
}

} // namespace
