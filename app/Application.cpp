#include "app/Application.h"

#include "events/Input.h"
#include "platform/Events.h"
#include "app/FileDialogLoop.h"
#include "app/QuestionLoop.h"
#include "app/Startup.h"
#include "app/WindowIcon.h"
#include "platform/DesktopScale.h"
#include "platform/Termination.h"
#include "gui/FileDialog.h"
#include "gui/Button.h"
#include "media/DrawState.h"
#include "media/GL.h"
#include "sound/SoundResources.h"

#include <algorithm>
#include <cmath>
#include <strings.h>

namespace {

// The window's size from the last run, when one was kept, within the screen it opens on (a
// size edited into the settings file by hand, or a zoomed default, never makes a window the
// screen cannot show).
void KeptWindowSize(const Settings& kept, int32_t& width, int32_t& height)
{
    if (kept.windowWidth > 0 && kept.windowHeight > 0) {
        width = kept.windowWidth;
        height = kept.windowHeight;
    }
    int32_t screenWidth = 0, screenHeight = 0;
    if (PlatformInitVideo() && PlatformGetScreenSize(nullptr, &screenWidth, &screenHeight) && screenWidth > 0 &&
        screenHeight > 0) {
        width = std::min(width, screenWidth);
        height = std::min(height, screenHeight);
    }
}

// The session whose unsaved work the loss of the display writes out (the running application's).
CSession* g_displaySession = nullptr;

// Unsaved work goes to the autosave, as a termination signal leaves it, for the next start to
// offer; nothing here touches the window system.
void SaveBeforeDisplayLoss()
{
    if (g_displaySession)
        g_displaySession->WriteAutosave();
}

} // namespace

Application::Application()
{
    RegisterSoundResources();
    m_slots.Connect(onResize, this, &Application::OnResize);
    m_slots.Connect(GetShortcutSignal(), this, &Application::OnKey);
    m_slots.Connect(onDropFile, this, &Application::OnDropFile);
    m_main.SetFileDialogRunner(
        [this](const FileDialogRequest& request, String& path) { return RunDialog(request, path); });
    m_main.SetQuestionRunner([this](const QuestionRequest& request) { return RunQuestion(request, &m_resources); });
    m_slots.Connect(GetFrameTick(), this, &Application::OnFirstTick);
}

bool Application::CanQuit()
{
    if (PlatformTerminationSignal() != 0) {
        m_session.EndBySignal(GetPixelWidth(), GetPixelHeight());
        return true;
    }
    if (m_scenes.GetCurrentScene() == &m_main && !m_main.ConfirmDiscard())
        return false;
    m_session.EndCleanly(GetPixelWidth(), GetPixelHeight());
    return true;
}

void Application::OnFirstTick()
{
    if (m_recoveryOffered || m_scenes.GetCurrentScene() != &m_main || !m_main.GetProjectNameBox())
        return;
    m_recoveryOffered = true;
    if (!m_startupProject.IsEmpty()) {
        // Opened as a dropped file is: checked first, its reason in the program's own box.
        const String path = m_startupProject;
        m_startupProject.Clear();
        m_main.OpenProjectAsked(path);
        FileDialogRequest open;
        open.pattern = "*.xml";
        RememberDialogPath(open, path);
    }
    m_session.OfferRecovery(m_main.GetQuestionRunner());
}

void Application::OnDropFile(const String& path)
{
    if (m_scenes.GetCurrentScene() == &m_main && !path.IsEmpty())
        m_main.OpenProjectAsked(path);
}

bool Application::RunDialog(const FileDialogRequest& request, String& path)
{
    if (!RunFileDialog(DialogRequest(request), &m_resources, path))
        return false;
    RememberDialogPath(request, path);
    return true;
}

String Application::DialogKind(const String& pattern)
{
    bool project = false, sound = false;
    int32_t start = 0;
    while (start <= pattern.Length()) {
        int32_t end = pattern.Find(";", start);
        if (end < 0)
            end = pattern.Length();
        const String one = pattern.Substring(start, end - start);
        auto names = [&one](const char* extension) { return strcasecmp(one.CStr(), extension) == 0; };
        project = project || names("*.xml");
        sound = sound || names("*.wav") || names("*.flac") || names("*.ogg");
        start = end + 1;
    }
    return project ? String("project") : sound ? String("sound") : pattern;
}

FileDialogRequest Application::DialogRequest(const FileDialogRequest& request) const
{
    FileDialogRequest adjusted = request;
    if (adjusted.folder.IsEmpty())
        adjusted.folder = m_session.GetFolder(DialogKind(request.pattern));
    return adjusted;
}

void Application::RememberDialogPath(const FileDialogRequest& request, const String& path)
{
    if (!path.StartsWith("/"))
        return;
    int32_t slash = 0;
    for (int32_t i = 0; i < path.Length(); ++i)
        if (path[i] == '/')
            slash = i;
    m_session.SetFolder(DialogKind(request.pattern), path.Substring(0, slash + 1));
}

Application::~Application()
{
    if (g_displaySession == &m_session)
        g_displaySession = nullptr;
    // Members go in reverse order: the slots, the main scene (which leaves and detaches itself
    // from the scene manager), the scene manager, the camera, the GUI and the resources.
}

int Application::Run(int, char**)
{
    m_session.Load();
    const Settings& kept = m_session.GetSettings();
    m_desktopZoom = DesktopZoom(PlatformDesktopScale());
    const int32_t zoom = kept.zoomPercent > 0 ? kept.zoomPercent : m_desktopZoom;
    int32_t width = 800 * zoom / 100, height = 600 * zoom / 100;
    KeptWindowSize(kept, width, height);
    if (!CreateGL(width, height, true, true, false, 32, 24, 8, 0))
        return 0;
    m_zoom = std::clamp(zoom, kZoomSteps[0], kZoomSteps[std::size(kZoomSteps) - 1]);
    SetScale(static_cast<float>(m_zoom) / 100.0f);
    PlatformCatchTermination(); // after the window system, whose own handlers it extends
    g_displaySession = &m_session;
    PlatformEndOnDisplayLoss(&SaveBeforeDisplayLoss);
    LoadWindowIcon(GetWindow());
    SetTitle(kTitle);
    CenterWindow(true, true);
    SetFramePeriod(40);
    OnResize(GetClientWidth(), GetClientHeight(), CDisplay::Restored);
    m_resources.Load("resources/resources.xml");
    m_gui.LoadDescription("resources/gui.xml", m_resources);
    m_scenes.RegisterResources(&m_resources);
    m_scenes.AddScene(&m_main);
    m_scenes.SelectScene(0u);
    m_session.Attach();
    MainLoop();
    m_session.Detach();
    g_displaySession = nullptr;
    // A loop ended by the program itself (not a quit that was asked about) keeps nothing to
    // recover; a signalled end keeps its autosave.
    if (PlatformTerminationSignal() == 0)
        m_session.DiscardAutosave();
    return 0;
}

const CGUI* Application::ClearingBackdrop() const
{
    const CGUI* backdrop = m_gui.FindElement("backdrop");
    if (!backdrop || !backdrop->IsVisible() || !backdrop->material.textures.empty())
        return nullptr;
    const CMaterial& look = backdrop->material;
    for (int i = 0; i < 3; ++i)
        if (look.ambient[i] != 0.0f || look.diffuse[i] != 0.0f || look.specular[i] != 0.0f ||
            look.emission[i] < 0.0f || look.emission[i] > 1.0f)
            return nullptr;
    if (look.diffuse[3] < 1.0f || backdrop->rotation.x != 0.0f || backdrop->rotation.y != 0.0f ||
        backdrop->rotation.z != 0.0f)
        return nullptr;
    const CVector at = backdrop->GetAbsolutePosition();
    const bool covers = at.x <= 0.0f && at.y <= 0.0f && at.x + backdrop->GetWidth() >= static_cast<float>(GetClientWidth()) &&
                        at.y + backdrop->GetHeight() >= static_cast<float>(GetClientHeight());
    return covers ? backdrop : nullptr;
}

CMatrix Application::Projection(float width, float height)
{
    const float left = 0.0f, right = width, bottom = height, top = 0.0f, nearPlane = 0.0f, farPlane = 1000.0f;
    CMatrix m;
    for (uint32_t i = 0; i < 16; ++i)
        m.SetAt(i, 0.0f);
    m.SetAt(0, 2.0f / (right - left));
    m.SetAt(5, 2.0f / (top - bottom));
    m.SetAt(10, -2.0f / (farPlane - nearPlane));
    m.SetAt(12, (right + left) / (right - left));
    m.SetAt(13, (top + bottom) / (top - bottom));
    m.SetAt(14, (farPlane + nearPlane) / (farPlane - nearPlane));
    m.SetAt(15, 1.0f);
    return m;
}

void Application::OnResize(int32_t width, int32_t height, CDisplay::SizeType)
{
    const int32_t w = width > 0 ? width : 1, h = height > 0 ? height : 1;
    // The view spans the window's pixels; in units it is their count over the scale, which the
    // client size in units (rounded up) may exceed by a fraction.
    float viewWidth = static_cast<float>(w), viewHeight = static_cast<float>(h);
    if (GetWindow()) {
        const float scale = GetScale();
        const int32_t pixelWidth = scale == 1.0f ? w : std::max(GetPixelWidth(), 1);
        const int32_t pixelHeight = scale == 1.0f ? h : std::max(GetPixelHeight(), 1);
        viewWidth = static_cast<float>(pixelWidth) / scale;
        viewHeight = static_cast<float>(pixelHeight) / scale;
        GLViewport(0, 0, pixelWidth, pixelHeight);
        const CMatrix projection = Projection(viewWidth, viewHeight);
        GLLoadProjection(&projection);
        GLLoadModelView(nullptr); // drawing goes on in the model-view mode
    }
    m_camera.SetTranslation(viewWidth, viewHeight, 0.0f);
    m_gui.SetTooltipBounds(static_cast<float>(w), static_cast<float>(h));
    m_main.GetGUI().SetTooltipBounds(static_cast<float>(w), static_cast<float>(h));
    RequestRedraw();
}

void Application::OnKey(CInputMap& event)
{
    if (event.action != InputPress || m_scenes.GetCurrentScene() != &m_main)
        return;
    if (event.character) {
        if (event.value == ' ')
            m_main.PlayOrStop();
        return;
    }
    const int32_t key = event.value;
    if (event.control) {
        if (key == KeyPlus || key == KeyNumpadPlus) {
            SetZoom(NextZoom(m_zoom, 1));
            return;
        }
        if (key == KeyMinus || key == KeyNumpadMinus) {
            SetZoom(NextZoom(m_zoom, -1));
            return;
        }
        if (key == Key0 || key == KeyNumpad0) {
            SetZoom(m_desktopZoom);
            return;
        }
    }
    // Held down, only undo, redo and the zoom repeat: a command runs once per press.
    if (key == KeyInsert && !event.control && !event.repeat) {
        m_main.Press("btnAddSound");
        return;
    }
    if (!event.control)
        return;
    if (key == 'Z' || key == 'Y') {
        if (key == 'Y' || event.shift)
            m_main.Redo();
        else
            m_main.Undo();
        return;
    }
    if (event.repeat)
        return;
    switch (key) {
    case 'N': m_main.Press("btnNew"); break;
    case 'O': m_main.Press("btnOpen"); break;
    case 'S':
        if (!event.shift)
            m_main.Press("btnSave");
        else if (CButton* save = m_main.GetButton("btnSave"); save && save->IsEnabled() && save->IsVisible())
            m_main.SaveProjectAs(); // no button of its own: allowed whenever Save is
        break;
    case 'E': m_main.Press("btnSaveSound"); break;
    case 'A':
        if (event.shift)
            m_main.Press("btnAddSound");
        break;
    case 'M': m_main.Press("btnMic"); break;
    case 'G': m_main.GenerateAgain(); break;
    case 'R': m_main.Mutate(); break;
    case 'Q': PlatformPushQuit(); break;
    default: break;
    }
}

// [SECTION] Zoom

int32_t Application::NextZoom(int32_t percent, int32_t direction)
{
    if (direction > 0) {
        for (int32_t step : kZoomSteps)
            if (step > percent)
                return step;
        return kZoomSteps[std::size(kZoomSteps) - 1];
    }
    for (size_t i = std::size(kZoomSteps); i-- > 0;)
        if (kZoomSteps[i] < percent)
            return kZoomSteps[i];
    return kZoomSteps[0];
}

int32_t Application::DesktopZoom(float scale)
{
    if (!std::isfinite(scale))
        return kZoomSteps[0];
    const float percent = scale * 100.0f;
    int32_t best = kZoomSteps[0];
    for (int32_t step : kZoomSteps)
        if (std::fabs(static_cast<float>(step) - percent) < std::fabs(static_cast<float>(best) - percent))
            best = step;
    return best;
}

void Application::SetZoom(int32_t percent)
{
    m_zoom = std::clamp(percent, kZoomSteps[0], kZoomSteps[std::size(kZoomSteps) - 1]);
    SetScale(static_cast<float>(m_zoom) / 100.0f);
    m_session.SetZoomPercent(m_zoom);
}

// [SECTION] Drawing

void Application::Draw()
{
    if (!GetWindow())
        return; // a size message during window creation: no context yet
    // The backdrop covers every pixel in one flat colour: clearing to it draws the same
    // picture without shading the whole window a second time.
    const CGUI* backdrop = ClearingBackdrop();
    if (backdrop)
        GLClear(backdrop->material.emission[0], backdrop->material.emission[1], backdrop->material.emission[2], 1.0f);
    else
        GLClear(0.5f, 0.5f, 0.5f, 0.0f);
    const CModelViewScope view(m_camera.Inverse());
    GLLightSetup light;
    light.position = CVector(GetClientWidth() / 2.0f, GetClientHeight() / 2.0f, 500.0f);
    light.ambient = CVector(0.2f, 0.2f, 0.2f);
    light.diffuse = CVector(0.8f, 0.8f, 0.8f);
    light.specular = CVector(0.0f, 0.0f, 0.0f);
    GLLight(0, light);
    m_gui.RenderAll(backdrop);
    m_scenes.Step();
}
