// The zoom as a user meets it: the real Application driven through the platform's event
// queue. The zoom keys step the scale within 100 % to 300 %, layouts and the mouse follow it,
// and the zoom is kept for the next start.
#include "app/Application.h"

#include "app/Settings.h"
#include "events/Input.h"
#include "platform/Events.h"
#include "platform/Paths.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Zoom : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: these tests run under a (virtual) X server";
        // A config folder of this test's own: the zoom it keeps must not reach other tests.
        const char* config = std::getenv("XDG_CONFIG_HOME");
        m_config = config ? config : "";
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    }
    void TearDown() override
    {
        if (!m_config.empty())
            setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
    }

private:
    std::string m_config;
};

TEST_F(Zoom, TheKeysStepTheScaleWithinBoundsAndAClickLandsOnTheZoomedButton)
{
    std::vector<int32_t> seen;
    int32_t barWidth = 0, clientWidth = 0, pixelWidth = 0;
    size_t voices = 0;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.Until(300, [&] { return scene.GetProjectNameBox() && scene.GetPanels().size() == 1; });
        // Ctrl+minus at the bottom, Ctrl+plus (both keys) up past the top, Ctrl+0 back.
        for (int32_t key : {KeyMinus, KeyPlus, KeyNumpadPlus, KeyPlus, KeyPlus, KeyPlus, KeyPlus, KeyPlus, Key0,
                            KeyNumpadPlus, KeyNumpadMinus}) {
            script.After(1, [key] {
                for (bool down : {true, false})
                    PlatformPushKey(key, down, true);
            });
            script.After(2, [&] { seen.push_back(static_cast<int32_t>(app.GetScale() * 100.0f + 0.5f)); });
        }
        script.After(1, [&] { app.SetZoom(200); });
        script.After(3, [&] {
            const CGUI& add = *scene.GetButton("btnAddSound");
            const CVector at = add.GetAbsolutePosition();
            PlatformPushMouseMove(static_cast<int32_t>((at.x + add.GetWidth() / 2) * 2),
                                  static_cast<int32_t>((at.y + add.GetHeight() / 2) * 2));
            PlatformPushMouseButton(0, true);
            PlatformPushMouseButton(0, false);
        });
        script.Until(50, [&] { return scene.GetVoices().size() == 2; });
        script.After(1, [&] {
            voices = scene.GetVoices().size();
            barWidth = static_cast<int32_t>(scene.GetGUI().FindElement("controlBar")->GetWidth());
            clientWidth = app.GetClientWidth();
            pixelWidth = app.GetPixelWidth();
        });
        app.Run(0, nullptr);
        EXPECT_TRUE(script.Finished());
        EXPECT_EQ(app.GetDesktopZoom(), 100) << "the virtual display has 96 DPI and no Xft.dpi";
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{100, 125, 150, 175, 200, 250, 300, 300, 100, 125, 100}));
    EXPECT_EQ(voices, 2u) << "the click at Add Sound's zoomed place added no voice";
    EXPECT_EQ(clientWidth, (pixelWidth + 1) / 2);
    EXPECT_EQ(barWidth, clientWidth) << "the control bar spans the window in units";
    EXPECT_EQ(LoadSettings(PlatformConfigFolder()).zoomPercent, 200);

    // The next start has the zoom that was kept.
    Application again;
    CFrameScript script;
    float scale = 0.0f;
    script.Until(300, [&] { return again.GetMainScene().GetProjectNameBox() != nullptr; });
    script.After(1, [&] { scale = again.GetScale(); });
    again.Run(0, nullptr);
    EXPECT_EQ(scale, 2.0f);
}

// A zoom in grows the window to its new minimum, right and down: a window near the screen's
// far corner is moved back so that the whole of it, or its top-left part, is on the screen.
TEST_F(Zoom, AWindowThatGrowsByZoomingStaysOnTheScreen)
{
    Application app;
    CFrameScript script;
    int32_t screenWidth = 0, screenHeight = 0, x = 0, y = 0, width = 0, height = 0;
    script.Until(300, [&] { return app.GetMainScene().GetProjectNameBox() != nullptr; });
    script.After(1, [&] {
        ASSERT_TRUE(PlatformGetScreenSize(app.GetWindow(), &screenWidth, &screenHeight));
        PlatformSetWindowPosition(app.GetWindow(), screenWidth - 300, screenHeight - 250);
    });
    script.After(5, [&] { app.SetZoom(300); });
    script.Until(100, [&] {
        PlatformGetClientSize(app.GetWindow(), &width, &height);
        return width > 300;
    });
    script.After(5, [&] { SDL_GetWindowPosition(app.GetWindow(), &x, &y); });
    app.Run(0, nullptr);
    ASSERT_TRUE(script.Finished());
    EXPECT_GE(x, 0);
    EXPECT_GE(y, 0);
    EXPECT_LE(x + width, screenWidth) << "the grown window hangs past the screen's right edge";
    EXPECT_LE(y + height, screenHeight) << "the grown window hangs past the screen's bottom edge";
}

} // namespace
