// A warning in the real program, with no test hook: the program's own box over the window,
// within the window however long its path and reason, and Copy puts the whole text on the
// clipboard while the box stays until OK.
#include "app/Application.h"
#include "app/MessageLoop.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Font.h"
#include "gui/QuestionBox.h"
#include "gui/Window.h"
#include "platform/Clipboard.h"
#include "platform/Events.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class WarningBox : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: these tests run under a (virtual) X server";
    }
};

TEST_F(WarningBox, ALongWarningFitsTheWindowAndCopiesWhole)
{
    std::string path = "/home/someone";
    for (int i = 0; i < 12; ++i)
        path += "/a-folder-with-a-rather-long-name-" + std::to_string(i);
    const std::string text = "Could not open \"" + path + "/project.xml\": not well-formed (invalid token) at line 1";
    bool returned = false, withinWindow = false, shortened = false, stayedAfterCopy = false;
    {
        Application app;
        CFrameScript script;
        auto box = [] { return GetRunningWarning(); };
        script.After(5, [&] {
            ShowWarning("Open Project", text.c_str(), &app.GetResources());
            returned = true;
        });
        script.Until(100, [&] { return box() != nullptr; });
        script.After(2, [&] {
            const CWindow& window = box()->GetWindow();
            const CVector at = window.GetAbsolutePosition();
            withinWindow = at.x >= 0 && at.y >= 0 && at.x + window.GetWidth() <= app.GetClientWidth() &&
                           at.y + window.GetHeight() <= app.GetClientHeight();
            const std::string shown = box()->GetText().GetText().CStr();
            shortened = shown != text && shown.find("project.xml") != std::string::npos;
            PlatformSetClipboardText("");
            const CButton& copy = box()->GetButton(0);
            const CVector p = copy.GetAbsolutePosition();
            Click(p.x + copy.GetWidth() / 2, p.y + copy.GetHeight() / 2);
        });
        script.Until(100, [&] { return PlatformGetClipboardText() == text; });
        script.After(2, [&] {
            stayedAfterCopy = box() != nullptr && !box()->IsDone();
            PlatformPushKey(KeyEnter, true);
            PlatformPushKey(KeyEnter, false);
        });
        script.Until(100, [&] { return returned; });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_TRUE(withinWindow);
    EXPECT_TRUE(shortened);
    EXPECT_TRUE(stayedAfterCopy);
    EXPECT_TRUE(returned);
    EXPECT_EQ(GetRunningWarning(), nullptr);
}

} // namespace
