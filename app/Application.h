// Application: the tool itself, the one concrete application. It owns the application's
// resource manager and GUI manager, the camera, the scene manager, the main scene and its
// session (autosave, recovery, settings kept between runs); Run opens the window (800 × 600
// units at the starting zoom, or the size kept from the last run), loads "resources/resources.xml" and
// "resources/gui.xml", and runs the main scene; Draw clears, sets camera and light, and draws
// the GUI and the scene. Quitting asks about unsaved work, except after SIGTERM or SIGHUP,
// which keep it in the autosave. One static object of this class exists; app/main.cpp runs it.
#pragma once

#include "app/AppGL.h"
#include "app/Scene.h"
#include "gui/GUIManager.h"
#include "media/Matrix.h"
#include "media/ResourceManager.h"
#include "app/SceneMain.h"
#include "app/Session.h"

#include <map>
#include <string>

class CInputMap;

class Application : public CAppGL {
public:
    // The window's title until the main scene names its project ("NAME — Quillwave").
    static constexpr const char* kTitle = "Quillwave";

    Application();
    // Deletes its slots, then the members in the reverse order of their making.
    ~Application() override;

    // Both arguments are ignored. Returns 0.
    int Run(int argc, char** argv) override;
    // Clear, camera, light, the application's GUI, then the scene manager's step.
    void Draw() override;
    // Closing the window, Ctrl+Q or a quit request: the main scene asks about unsaved work,
    // and a clean end removes the autosave. After SIGTERM or SIGHUP nothing is asked: the
    // unsaved work goes to the autosave, to be offered at the next start.
    bool CanQuit() override;

    // Viewport, projection and camera for a client area of width × height (0 counts as 1),
    // and a redraw at the next frame the pacing allows.
    void OnResize(int32_t width, int32_t height, CDisplay::SizeType type);
    // The shortcuts, from the keys nothing else used (GetShortcutSignal): Space Play or Stop,
    // Ctrl+Z undo, Ctrl+Shift+Z and Ctrl+Y redo, Ctrl+N New, Ctrl+O Open, Ctrl+S Save,
    // Ctrl+Shift+S Save As, Ctrl+E Export Sound, Ctrl+Shift+A and Insert Add Sound, Ctrl+M
    // Mic, Ctrl+G generate again (the last category, a new seed), Ctrl+R Mutate, Ctrl+Q quit
    // (after the question about unsaved work); Ctrl+plus (the '+' or '=' key, or the keypad's)
    // zooms in, Ctrl+minus zooms out and Ctrl+0 goes back to the desktop's zoom (these three
    // repeat while held).
    // Commands go through their buttons: one that is disabled or missing does nothing.
    void OnKey(CInputMap& event);

    // The interface's zoom steps, in percent.
    static constexpr int32_t kZoomSteps[] = {100, 125, 150, 175, 200, 250, 300};
    // The step after percent in a direction (above it for direction > 0, below it otherwise);
    // the first or last step when there is none that way.
    static int32_t NextZoom(int32_t percent, int32_t direction);
    // The step nearest to a desktop's scale (1 is 100 %; the lower step on a tie); 100 for a
    // scale that is not a number.
    static int32_t DesktopZoom(float scale);
    // Zooms the interface to percent, clamped to the steps' range, and keeps it in the
    // settings: the application's scale becomes percent / 100 (CApp::SetScale), so layouts,
    // drawing, text and the mouse follow at once.
    void SetZoom(int32_t percent);
    // The zoom in percent: 100 until Run sets the starting one (the zoom kept from the last
    // run, else the desktop's).
    int32_t GetZoom() const { return m_zoom; }
    // The desktop's zoom, as Run found it (100 before).
    int32_t GetDesktopZoom() const { return m_desktopZoom; }

    // A project file opened in the main scene, once it has been entered, through its Open
    // command (its file dialog answered with this path instead of being shown); cleared then.
    // One that cannot be read gets Open's warning and leaves the scene's new project as it
    // was. Empty (the default) opens none.
    void SetStartupProject(const String& path) { m_startupProject = path; }
    const String& GetStartupProject() const { return m_startupProject; }
    // The request as the dialog gets it: when it names no folder, the folder of the path the
    // last dialog of the same kind returned, in this run or an earlier one (otherwise the
    // dialog starts in the home folder, never in the working directory, the data folder).
    FileDialogRequest DialogRequest(const FileDialogRequest& request) const;
    // Records the folder of path (absolute; others are ignored) as the last one used for the
    // request's kind. The start-up project counts as a project opened.
    void RememberDialogPath(const FileDialogRequest& request, const String& path);
    // A dialog's kind, from its pattern: "project" for one naming .xml files, "sound" for one
    // naming .wav, .flac or .ogg files (any letter case), else the pattern itself.
    static String DialogKind(const String& pattern);

    CResourceManager& GetResources() { return m_resources; }
    CGUIManager& GetGUI() { return m_gui; }
    CSceneManager& GetScenes() { return m_scenes; }
    CSceneMain& GetMainScene() { return m_main; }
    CSession& GetSession() { return m_session; }
    const CMatrix& GetCamera() const { return m_camera; }

    // The orthographic projection of the GUI for a client area (left 0, right width, bottom
    // height, top 0, near 0, far 1000), which with the camera's inverse maps client pixels
    // (y down) onto the window, larger z nearer.
    static CMatrix Projection(float width, float height);

    // The application GUI's "backdrop" element when clearing the window to its colour shows
    // exactly what drawing it would: visible, untextured, opaque, lit by its emission alone,
    // unrotated and covering the whole client area. Null otherwise, and then it is drawn.
    const CGUI* ClearingBackdrop() const;

private:
    // The main scene's file-dialog runner: the modal dialog over the application's resources.
    bool RunDialog(const FileDialogRequest& request, String& path);
    // A file dropped on the window opens as a project, after the question about unsaved work.
    void OnDropFile(const String& path);
    // On the first tick with the main scene up (never inside a frame's drawing): the start-up
    // project, then the recovery of autosaves that crashed or killed instances left.
    void OnFirstTick();

    String m_startupProject;
    bool m_recoveryOffered = false;
    int32_t m_zoom = 100;
    int32_t m_desktopZoom = 100;
    CResourceManager m_resources;
    CGUIManager m_gui;
    CMatrix m_camera;
    CSceneManager m_scenes;
    CSceneMain m_main;
    CSession m_session{m_main};
    CSlotList m_slots;
};
