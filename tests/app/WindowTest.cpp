// The real window and OpenGL context under a (virtual) display. Skips when no display can be
// opened. The window system stays up between tests; each test makes and destroys its own
// application, as a program run does.
#include "app/AppGL.h"
#include "app/WindowIcon.h"
#include "events/Input.h"
#include "media/GL.h"
#include "platform/Events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_warnings;
void RecordWarning(const char* caption, const char* text)
{
    g_warnings.push_back(std::string(caption) + ": " + text);
}

class CWindowApp : public CAppGL {
public:
    int Run(int, char**) override { return 0; }
    void Draw() override
    {
        GLViewport(0, 0, GetClientWidth(), GetClientHeight());
        GLClear(0.5f, 0.5f, 0.5f, 0.0f);
    }
    // Reads the drawn frame before it is shown.
    void Present() override
    {
        glReadBuffer(GL_BACK);
        glReadPixels(GetClientWidth() / 2, GetClientHeight() / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
        CAppGL::Present();
    }
    bool Open(bool framed = true, bool resizable = false, int32_t samples = 0)
    {
        return CreateGL(800, 600, framed, resizable, false, 32, 24, 8, samples);
    }
    uint8_t centre[4] = {0, 0, 0, 0};
};

// Drains events (on the real clock) until done() holds or half a second passes.
template <class Done>
bool PumpUntil(CApp& app, Done done)
{
    for (int i = 0; i < 50; ++i) {
        app.DrainMessages();
        if (done())
            return true;
        SDL_Delay(10);
    }
    return false;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_warnings.clear();
        PlatformSetWarningHookForTesting(&RecordWarning);
        const char* why = "";
        if (!PlatformInitVideo(&why))
            GTEST_SKIP() << "no display: " << why;
    }
    void TearDown() override { PlatformSetWarningHookForTesting(nullptr); }
};

TEST_F(WindowTest, CreateGLOpensTheWindowWithTheRequestedFramebuffer)
{
    for (int run = 0; run < 2; ++run) { // a second application after the first works as well
        CWindowApp app;
        ASSERT_TRUE(app.Open()) << (g_warnings.empty() ? "" : g_warnings[0]);
        EXPECT_TRUE(g_warnings.empty());
        ASSERT_TRUE(app.HasContext());
        EXPECT_EQ(CApp::GetWindowHandle(), app.GetWindow());
        EXPECT_EQ(app.GetClientWidth(), 800);
        EXPECT_EQ(app.GetClientHeight(), 600);
        EXPECT_EQ(app.GetWidth(), 800);
        EXPECT_EQ(app.GetHeight(), 600);
        Uint32 flags = SDL_GetWindowFlags(app.GetWindow());
        EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
        EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
        EXPECT_FALSE(flags & SDL_WINDOW_BORDERLESS);

        GLint red = 0, alpha = 0, depth = 0, stencil = 0;
        glGetIntegerv(GL_RED_BITS, &red);
        glGetIntegerv(GL_ALPHA_BITS, &alpha);
        glGetIntegerv(GL_DEPTH_BITS, &depth);
        glGetIntegerv(GL_STENCIL_BITS, &stencil);
        EXPECT_EQ(red, 8);
        EXPECT_EQ(alpha, 8);
        EXPECT_GE(depth, 24);
        EXPECT_GE(stencil, 8);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)); // the start-up state is set

        app.SetTitle("Quillwave test");
        EXPECT_STREQ(SDL_GetWindowTitle(app.GetWindow()), "Quillwave test");
    }
}

TEST_F(WindowTest, FrameDrawsTheGreyAndPresentsIt)
{
    CWindowApp app;
    ASSERT_TRUE(app.Open());
    app.SetFramePeriod(1);
    app.Frame();
    EXPECT_NEAR(app.centre[0], 128, 1);
    EXPECT_NEAR(app.centre[1], 128, 1);
    EXPECT_NEAR(app.centre[2], 128, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(WindowTest, FramelessResizableWindowAndMultisampleRequest)
{
    CWindowApp app;
    // Multisampling falls back to a plain format when the display has none.
    ASSERT_TRUE(app.Open(false, true, 4));
    EXPECT_TRUE(app.HasContext());
    Uint32 flags = SDL_GetWindowFlags(app.GetWindow());
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(flags & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(app.IsResizable());
}

TEST_F(WindowTest, CenterWindowUsesTheScreenAndTheTrackedSize)
{
    CWindowApp app;
    ASSERT_TRUE(app.Open());
    SDL_Rect screen;
    ASSERT_EQ(SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(app.GetWindow()), &screen), 0);
    app.CenterWindow(true, true);
    EXPECT_EQ(app.GetX(), screen.w / 2 - 400);
    EXPECT_EQ(app.GetY(), screen.h / 2 - 300);
    int x = 0, y = 0;
    ASSERT_TRUE(PumpUntil(app, [&] {
        SDL_GetWindowPosition(app.GetWindow(), &x, &y);
        return x == app.GetX() && y == app.GetY();
    })) << x << ", " << y;

    app.SetSize(301, 201, false); // odd sizes: the halvings truncate
    app.CenterWindow(false, true);
    EXPECT_EQ(app.GetX(), screen.w / 2 - 400);
    EXPECT_EQ(app.GetY(), screen.h / 2 - 100);
}

TEST_F(WindowTest, ResizeArrivesAsAnEventAndIsTracked)
{
    CWindowApp app;
    ASSERT_TRUE(app.Open(true, true));
    struct CSizes {
        std::vector<std::pair<int32_t, int32_t>> seen;
        void OnResize(int32_t w, int32_t h, CDisplay::SizeType) { seen.emplace_back(w, h); }
        CSlotList slots;
    } sizes;
    sizes.slots.Connect(app.onResize, &sizes, &CSizes::OnResize);
    app.SetSize(640, 400, false);
    EXPECT_TRUE(PumpUntil(app, [&] { return !sizes.seen.empty() && sizes.seen.back() == std::make_pair(640, 400); }));
    EXPECT_EQ(app.GetClientWidth(), 640);
    EXPECT_EQ(app.GetWidth(), 640);
    EXPECT_EQ(app.GetHeight(), 400);
    app.Frame();
    EXPECT_NEAR(app.centre[0], 128, 1);
}

TEST_F(WindowTest, SyntheticInputGoesThroughTheRealQueue)
{
    CWindowApp app;
    ASSERT_TRUE(app.Open());
    struct CInput {
        std::vector<std::pair<int32_t, int32_t>> keys;   // value, action
        std::vector<std::pair<int32_t, int32_t>> mouse;  // value or x, action
        void OnKey(CInputMap& e) { keys.emplace_back(e.value, e.action); }
        void OnMouse(CInputMap& e) { mouse.emplace_back(e.action == InputWheel ? e.value : int32_t(e.position.x), e.action); }
        CSlotList slots;
    } input;
    input.slots.Connect(GetKeyboardSignal(), &input, &CInput::OnKey);
    input.slots.Connect(GetMouseSignal(), &input, &CInput::OnMouse);
    // Keep the real cursor out of the window, so that only the synthetic input arrives.
    SDL_WarpMouseGlobal(0, 0);
    app.SetSize(800, 600, false);
    SDL_SetWindowPosition(app.GetWindow(), 100, 100);
    PumpUntil(app, [] { return false; });
    input.keys.clear();
    input.mouse.clear();
    ASSERT_TRUE(PlatformPushMouseMove(77, 33));
    ASSERT_TRUE(PlatformPushMouseButton(0, true));
    ASSERT_TRUE(PlatformPushMouseButton(0, false));
    ASSERT_TRUE(PlatformPushMouseWheel(-1));
    ASSERT_TRUE(PlatformPushKey(KeyA, true));
    ASSERT_TRUE(PlatformPushText("ok"));
    ASSERT_TRUE(PlatformPushKey(KeyA, false));
    ASSERT_TRUE(PlatformPushKey(KeyEnter, true));
    ASSERT_TRUE(PlatformPushWindowClose());
    app.DrainMessages();
    EXPECT_EQ(input.mouse, (std::vector<std::pair<int32_t, int32_t>>{{77, 3}, {77, 1}, {77, 0}, {-120, 4}}));
    EXPECT_EQ(input.keys, (std::vector<std::pair<int32_t, int32_t>>{{'o', 1}, {'k', 1}, {KeyA, 0}, {KeyEnter, 1}}));
    EXPECT_FALSE(app.IsRunning());
}

TEST_F(WindowTest, CursorScreenPositionFollowsTheSystemCursor)
{
    CWindowApp app;
    ASSERT_TRUE(app.Open());
    if (SDL_WarpMouseGlobal(123, 234) != 0)
        GTEST_SKIP() << "cannot move the cursor: " << SDL_GetError();
    app.DrainMessages();
    EXPECT_EQ(GetCursorScreenPosition(), CVector(123, 234, 0, 0));
}

TEST_F(WindowTest, FullscreenEitherTakesEffectOrSaysWhyAndStaysWindowed)
{
    CWindowApp app;
    ASSERT_TRUE(app.Open());
    app.SetSize(800, 600, true);
    if (app.IsFullscreen()) {
        EXPECT_TRUE(g_warnings.empty());
    } else {
        EXPECT_EQ(g_warnings, (std::vector<std::string>{"Error: Could not set to fullscreen mode"}));
    }
    app.SetSize(800, 600, false);
    EXPECT_FALSE(app.IsFullscreen());
}

TEST_F(WindowTest, WindowThatCannotBeMadeIsReportedAndCreateFails)
{
    CWindowApp app;
    // No display offers a 64-bit depth buffer.
    EXPECT_FALSE(app.CreateGL(800, 600, true, false, false, 32, 64, 8, 0));
    EXPECT_EQ(g_warnings, (std::vector<std::string>{"App Error: Could not create window"}));
    EXPECT_FALSE(app.HasContext());
    EXPECT_EQ(app.GetWindow(), nullptr);
}

// Run from the source folder, as the program runs from its data folder.
TEST_F(WindowTest, TheShippedIconLoadsOntoTheWindowAndOtherFilesAreRefused)
{
    CWindowApp app;
    ASSERT_TRUE(app.Open());
    EXPECT_TRUE(LoadWindowIcon(app.GetWindow()));
    EXPECT_FALSE(LoadWindowIcon(app.GetWindow(), "resources/gui.xml"));
    EXPECT_FALSE(LoadWindowIcon(app.GetWindow(), "resources/theme/missing.png"));
    EXPECT_FALSE(LoadWindowIcon(nullptr));
}

TEST(WindowSystemTest, NoWindowSystemIsReportedAndCreateFails)
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        GTEST_SKIP() << "the window system already runs in this process";
    g_warnings.clear();
    PlatformSetWarningHookForTesting(&RecordWarning);
    const char* old = std::getenv("SDL_VIDEODRIVER");
    std::string saved = old ? old : "";
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    {
        CWindowApp app;
        EXPECT_FALSE(app.Open());
        EXPECT_EQ(app.GetWindow(), nullptr);
    }
    if (old)
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_VIDEODRIVER");
    PlatformSetWarningHookForTesting(nullptr);
    EXPECT_EQ(g_warnings, (std::vector<std::string>{"App Error: Could not register window"}));
}

// Without a display SDL falls back to a driver that shows nothing: the start fails instead.
TEST(WindowSystemTest, NoDisplayEndsTheProgramWithItsReasonAndStatusOne)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) || std::getenv("SDL_VIDEODRIVER") || std::getenv("WAYLAND_DISPLAY"))
        GTEST_SKIP() << "the window system already runs, or the environment chooses it";
    struct CStartApp : CWindowApp {
        int Run(int, char**) override { return Open() ? 5 : 0; } // 0 after a failed start, as Application
    } app;
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", ":4711", 1); // no server there
    EXPECT_EQ(AppMain(0, nullptr), 1); // the warning box cannot show either
    display.empty() ? unsetenv("DISPLAY") : setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(std::string(app.GetFailure().CStr()).rfind("cannot start the window system: no display", 0), 0u);
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_VIDEO)) << "a window system that shows nothing was kept";
}

} // namespace
