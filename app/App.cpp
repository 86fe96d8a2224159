#include "app/App.h"

#include "media/DrawBatch.h"
#include "media/DrawState.h"

#include "events/Input.h"
#include "platform/Events.h"
#include "platform/Termination.h"
#include "sound/SoundBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

CApp* s_app = nullptr;

// Units covering `pixels` window pixels at a scale: rounded up, so that a layout of that many
// units reaches the last pixel (the small allowance absorbs the division's rounding).
int32_t UnitsOf(int32_t pixels, float scale)
{
    return scale == 1.0f ? pixels : static_cast<int32_t>(std::ceil(static_cast<float>(pixels) / scale - 1e-3f));
}

} // namespace

CApp* GetApp() { return s_app; }

int AppMain(int argc, char** argv)
{
    CApp* app = GetApp();
    if (!app)
        return 0;
    const int status = app->Run(argc, argv);
    // Run may have destroyed the application; only a live one has a failure to tell.
    app = GetApp();
    if (!app || app->GetFailure().IsEmpty())
        return status;
    std::fprintf(stderr, "quillwave: %s\n", app->GetFailure().CStr());
    std::fflush(stderr);
    return status != 0 ? status : 1;
}

// [SECTION] Life cycle

CApp::CApp()
{
    m_slots.Connect(onResize, this, &CApp::OnOwnResize);
    s_app = this;
    SetPixelScale(m_scale); // the drawing's scale is the application's, whatever one before had
}

CApp::~CApp()
{
    if (s_app == this) {
        s_app = nullptr;
        SetPixelScale(1.0f);
    }
    if (m_window) {
        if (m_fullscreen)
            PlatformSetFullscreen(m_window, false);
        PlatformDestroyWindow(m_window);
        m_window = nullptr;
    }
    // The signals are destroyed after this body (overlay, focus, resize, move, message), each
    // disconnecting from its peers.
}

bool CApp::Create(int32_t width, int32_t height, bool framed, bool resizable, bool fullscreen)
{
    m_resizable = resizable;
    const char* why = nullptr;
    if (!PlatformInitVideo(&why)) {
        Fail(String("cannot start the window system: ") + (why ? why : "no reason given"));
        PlatformShowWarning("App Error", "Could not register window");
        return false;
    }
    if (m_window) { // a second Create replaces the window
        if (m_fullscreen)
            PlatformSetFullscreen(m_window, false);
        m_fullscreen = false;
        PlatformDestroyWindow(m_window);
        m_window = nullptr;
    }
    m_window = PlatformCreateWindow(width, height, framed, resizable, m_glRequest, &why);
    if (!m_window) {
        Fail(String("cannot create the window: ") + (why ? why : "no reason given"));
        PlatformShowWarning("App Error", "Could not create window");
        return false;
    }
    SetSize(width, height, fullscreen);
    return true;
}

void CApp::Fail(const String& why)
{
    if (m_failure.IsEmpty())
        m_failure = why.IsEmpty() ? String("the window could not be shown") : why;
    m_running = false;
}

// [SECTION] Window placement

void CApp::SetSize(int32_t width, int32_t height, bool fullscreen)
{
    m_width = width;
    m_height = height;
    if (fullscreen) {
        PlatformSetWindowTopmost(m_window, true);
        PlatformSetWindowSize(m_window, width, height);
        if (!m_fullscreen) {
            if (PlatformSetFullscreen(m_window, true))
                m_fullscreen = true;
            else
                PlatformShowWarning("Error", "Could not set to fullscreen mode");
        }
    } else {
        if (m_fullscreen) {
            PlatformSetFullscreen(m_window, false);
            m_fullscreen = false;
        }
        PlatformSetWindowTopmost(m_window, false);
        PlatformSetWindowSize(m_window, width, height);
    }
}

void CApp::CenterWindow(bool horizontal, bool vertical)
{
    int32_t screenWidth = 0, screenHeight = 0;
    PlatformGetScreenSize(m_window, &screenWidth, &screenHeight);
    if (horizontal)
        m_x = screenWidth / 2 - m_width / 2;
    if (vertical)
        m_y = screenHeight / 2 - m_height / 2;
    PlatformSetWindowPosition(m_window, m_x, m_y);
}

void CApp::SetTitle(const char* title) { PlatformSetWindowTitle(m_window, title); }

int32_t CApp::GetPixelWidth() const
{
    int32_t width = 0;
    PlatformGetClientSize(m_window, &width, nullptr);
    return width;
}

int32_t CApp::GetPixelHeight() const
{
    int32_t height = 0;
    PlatformGetClientSize(m_window, nullptr, &height);
    return height;
}

int32_t CApp::GetWidth() const { return UnitsOf(m_width, m_scale); }

int32_t CApp::GetHeight() const { return UnitsOf(m_height, m_scale); }

int32_t CApp::GetClientWidth() const { return UnitsOf(GetPixelWidth(), m_scale); }

int32_t CApp::GetClientHeight() const { return UnitsOf(GetPixelHeight(), m_scale); }

// [SECTION] Scale

void CApp::SetScale(float scale)
{
    if (!std::isfinite(scale) || scale <= 0.0f || scale == m_scale)
        return;
    m_scale = scale;
    SetPixelScale(scale);
    ApplyMinimumSize();
    RequestRedraw();
    const CDisplay::SizeType type = m_runState == Minimised ? CDisplay::Minimised : CDisplay::Restored;
    onResize.Emit(GetClientWidth(), GetClientHeight(), type);
}

void CApp::SetMinimumClientSize(int32_t width, int32_t height)
{
    m_minimumWidth = std::max(width, 0);
    m_minimumHeight = std::max(height, 0);
    ApplyMinimumSize();
}

void CApp::ApplyMinimumSize()
{
    if (!m_window)
        return;
    int32_t width = static_cast<int32_t>(std::ceil(static_cast<float>(m_minimumWidth) * m_scale));
    int32_t height = static_cast<int32_t>(std::ceil(static_cast<float>(m_minimumHeight) * m_scale));
    int32_t screenWidth = 0, screenHeight = 0;
    if (PlatformGetScreenSize(m_window, &screenWidth, &screenHeight) && screenWidth > 0 && screenHeight > 0) {
        width = std::min(width, screenWidth);
        height = std::min(height, screenHeight);
    }
    int32_t clientWidth = 0, clientHeight = 0;
    PlatformGetClientSize(m_window, &clientWidth, &clientHeight);
    PlatformSetWindowMinimumSize(m_window, width, height);
    // A window that grows to its new minimum (a zoom in) grows right and down: it is moved
    // back onto the screen rather than left hanging past its edge.
    if (width > clientWidth || height > clientHeight)
        PlatformKeepWindowOnScreen(m_window, std::max(width, clientWidth), std::max(height, clientHeight));
}

PlatformWindow* CApp::GetWindowHandle() { return s_app ? s_app->m_window : nullptr; }

void CApp::OnOwnResize(int32_t, int32_t, CDisplay::SizeType type)
{
    // The tracked size is in pixels: HandleMessage keeps it before the signal goes out.
    m_runState = type == CDisplay::Minimised ? Minimised : Active;
}

// [SECTION] Main loop

void CApp::Tick()
{
    TakeTickRequest();
    GetFrameTick().Emit();
}

void CApp::DrawFrame(uint32_t tickStart)
{
    TakeRedrawRequest(); // what is asked for while drawing is drawn in the next frame
    m_hasDrawn = true;
    m_lastDraw = tickStart;
    {
        // Shapes are filed and drawn together, before the buffers swap.
        CBatchScope batch;
        Draw();
        FlushBatch(true); // what draws on top finds the frame drawn, and starts its own depth
        onDrawOverlay.Emit();
    }
    Present();
}

uint32_t CApp::NextDrawTime(uint32_t now) const
{
    if (!m_hasDrawn || m_framePeriod <= 0)
        return now;
    return m_lastDraw + static_cast<uint32_t>(m_framePeriod);
}

void CApp::Frame()
{
    const uint32_t tickStart = AppTime();
    Tick();
    const uint32_t start = AppTime();
    DrawFrame(tickStart);
    int32_t remaining = static_cast<int32_t>(start + static_cast<uint32_t>(m_framePeriod) - AppTime());
    if (remaining > 0)
        AppSleep(static_cast<uint32_t>(remaining));
}

bool CApp::DrainMessages()
{
    bool any = false;
    PlatformMessage message;
    while (PlatformPollMessage(m_window, &message)) {
        any = true;
        // Before the handler, which may run a loop of its own (the modal file dialog).
        RequestRedraw();
        if (message.count == 1 && message.events[0].kind == PlatformEventKind::Quit)
            RequestQuit();
        else
            HandleMessage(message);
    }
    return any;
}

void CApp::Pass()
{
    DrainMessages();
    const uint32_t tickStart = AppTime();
    Tick();
    const bool visible = m_runState != Minimised;
    if (visible && IsRedrawRequested() && static_cast<int32_t>(tickStart - NextDrawTime(tickStart)) >= 0)
        DrawFrame(tickStart);
    if (!m_running)
        return;
    const uint32_t now = AppTime();
    AppWait(PassWaitTime(now, visible && IsRedrawRequested(), NextDrawTime(now)));
}

void CApp::RequestQuit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    bool quit = CanQuit();
    // A signal that came while CanQuit asked its question ended the question (as Cancel) and
    // took the Quit event with it: ask again, now that the answer is the signal's.
    if (!quit && PlatformTerminationSignal() != 0)
        quit = CanQuit();
    m_quitting = false;
    if (quit)
        m_running = false;
}

void CApp::MainLoop()
{
    m_running = true;
    RequestRedraw(); // the window's first picture
    do {
        Pass();
    } while (m_running);
}

// [SECTION] Event handling

void CApp::HandleMessage(const PlatformMessage& message)
{
    for (uint32_t i = 0; i < message.count; ++i) {
        const PlatformEvent& event = message.events[i];
        CApp* app = s_app; // a receiver may end the application
        switch (event.kind) {
        case PlatformEventKind::Move:
            if (app)
                app->onMove.Emit(event.a, event.b);
            break;
        case PlatformEventKind::Size:
            if (app) {
                app->m_width = event.a;
                app->m_height = event.b;
                app->onResize.Emit(UnitsOf(event.a, app->m_scale), UnitsOf(event.b, app->m_scale),
                                   static_cast<CDisplay::SizeType>(event.c));
            }
            break;
        case PlatformEventKind::FocusGained:
        case PlatformEventKind::FocusLost:
            if (app)
                app->onFocus.Emit(event.kind == PlatformEventKind::FocusGained);
            break;
        case PlatformEventKind::Close:
        case PlatformEventKind::Quit:
            if (app)
                app->RequestQuit();
            break;
        case PlatformEventKind::DropFile:
            if (app)
                app->onDropFile.Emit(String(PlatformDroppedFile()));
            break;
        case PlatformEventKind::KeyPress:
            if (event.b)
                EmitCharacter(event.a);
            else
                EmitKey(event.a, InputPress, event.c != 0,
                        ((event.modifiers & PlatformModShift) ? ModifierShift : 0u) |
                            ((event.modifiers & PlatformModCtrl) ? ModifierControl : 0u));
            break;
        case PlatformEventKind::KeyRelease:
            EmitKey(event.a, InputRelease);
            break;
        case PlatformEventKind::MouseMove: {
            const float scale = app ? app->m_scale : 1.0f;
            EmitMouseMove(static_cast<float>(event.a) / scale, static_cast<float>(event.b) / scale);
            break;
        }
        case PlatformEventKind::MouseButton:
            EmitMouseButton(event.a, static_cast<InputAction>(event.b));
            break;
        case PlatformEventKind::MouseWheel:
            EmitMouseWheel(event.a);
            break;
        case PlatformEventKind::AudioDeviceAdded:
        case PlatformEventKind::AudioDeviceRemoved:
            SoundDeviceEvent(event.kind == PlatformEventKind::AudioDeviceAdded, event.b != 0,
                             static_cast<uint32_t>(event.a));
            break;
        }
    }
    if (CApp* app = s_app)
        app->onMessage.Emit(message.type, message.param1, message.param2);
}
