// CApp: the application frame. It owns the top-level window and the main loop, turns window
// events into its move, resize, focus and message signals and into input events (events/Input.h),
// and runs the loop that draws a frame only when something asked for one (events/FrameTick.h)
// and otherwise waits. One CApp exists at a time (the global application pointer); the program's
// application class derives from CAppGL (app/AppGL.h) and fills in Run and Draw. Main thread.
//
// Units: the window system speaks window pixels; everything above it, the GUI, its layouts and
// the input events, works in units of the application's scale (the zoom): a unit is `scale`
// window pixels. The client size, the tracked size, the resize signal and mouse positions are
// in units; the pixel size and window placement are in pixels.
#pragma once

#include "events/FrameTick.h"
#include "events/Signal.h"
#include "util/String.h"
#include "platform/Window.h"

#include <cstdint>

struct PlatformMessage;

// How a window's size changed, as the resize signal reports it. Only Minimised is treated
// specially: it stops drawing (not ticking) until another size type arrives.
struct CDisplay {
    enum SizeType : int32_t {
        Restored = 0,
        Minimised = 1,
        Maximised = 2,
        OtherRestored = 3,
        OtherMaximised = 4,
    };
};

class CApp {
public:
    enum RunState { Active, Minimised };

    // Becomes the global application object, with the drawing's pixel scale 1; its own resize
    // slot is the resize signal's first receiver.
    CApp();
    CApp(const CApp&) = delete;
    CApp& operator=(const CApp&) = delete;
    // Clears the global pointer (and puts the pixel scale back to 1), then destroys the window
    // (leaving full screen first).
    virtual ~CApp();

    // Starts the window system and opens the window: width × height client pixels, with a
    // title bar when framed, resizable or not, full screen or not. On failure shows the
    // warning box ("Could not register window" or "Could not create window", caption
    // "App Error"), records why (GetFailure) and returns false. A second call replaces the
    // window.
    virtual bool Create(int32_t width, int32_t height, bool framed, bool resizable, bool fullscreen);
    // One frame, whatever was requested: emit the frame tick, Draw, emit onDrawOverlay,
    // present, then sleep what is left of the frame period (measured from after the tick;
    // nothing when the frame took longer). For callers outside the loop (tests, tools).
    virtual void Frame();
    // Draws one frame; empty here.
    virtual void Draw() {}
    // Whether the program may end now that the window was closed or a quit was asked for
    // (Ctrl+Q, a signal); true here. An application with unsaved work asks the user, and may
    // run a modal loop of its own meanwhile.
    virtual bool CanQuit() { return true; }
    // A close or quit request: the loop ends when CanQuit agrees. A request that arrives while
    // CanQuit is still deciding (a second click on the close box) is ignored; when CanQuit
    // declines after a termination signal arrived meanwhile (it cut a question short), it is
    // asked once more and then answers for the signal.
    void RequestQuit();
    // Ends the main loop (and any modal loop in it) after the current pass, asking nothing:
    // the program's own decision, not the user's.
    void EndLoop() { m_running = false; }
    // The program: called by AppMain; returns the process's exit code.
    virtual int Run(int argc, char** argv) = 0;
    // Records why the program cannot go on showing its window (it could not be made, or the
    // display went away) and ends the loop. The first reason is kept.
    void Fail(const String& why);
    // That reason, one line without the program's name; empty while nothing failed.
    const String& GetFailure() const { return m_failure; }

    // Runs passes until the window is closed or the program is asked to quit. The first pass
    // draws (a redraw is requested on entry). The end is tested after the pass: the pass that
    // sees the close still ticks, and draws when the pacing allows.
    void MainLoop();
    // One pass of the loop (the main loop's and the modal file dialog's):
    // 1. drain the queued events (each one requests a redraw);
    // 2. emit the frame tick (always, minimised or not);
    // 3. draw (Draw, onDrawOverlay, Present) when a redraw is requested, the window is not
    //    minimised and a frame period has passed since the tick of the last pass that drew;
    // 4. unless the program is ending, wait (AppWait) for the next event, or until the next
    //    due time (PassWaitTime): the earliest enabled timer, a requested tick, and the paced
    //    time of a redraw still pending (ignored while minimised).
    void Pass();
    // Handles every queued event; true when there was any. A quit request ends the loop.
    bool DrainMessages();

    // Stores the size and applies it: full screen changes the display mode (on failure the
    // box "Could not set to fullscreen mode", caption "Error", and a topmost window of that
    // size); windowed restores the display mode when it was changed.
    void SetSize(int32_t width, int32_t height, bool fullscreen);
    // Centres the window on its screen in the chosen directions, using the tracked size
    // (the client size once the first resize has arrived).
    void CenterWindow(bool horizontal, bool vertical);
    void SetTitle(const char* title);
    // The shortest time between two drawn frames, in milliseconds; 1 at construction.
    void SetFramePeriod(int32_t milliseconds) { m_framePeriod = milliseconds; }
    int32_t GetFramePeriod() const { return m_framePeriod; }

    // The client area's current size in units: its pixel size divided by the scale, rounded up
    // (a layout this size covers every pixel); 0 without a window.
    int32_t GetClientWidth() const;
    int32_t GetClientHeight() const;
    // The client area's current size in window pixels, from the window system; 0 without a
    // window.
    int32_t GetPixelWidth() const;
    int32_t GetPixelHeight() const;

    // Window pixels per unit (1 at construction). A new scale (finite, above 0; others are
    // ignored, and so is the same one again) becomes the drawing's pixel scale
    // (media/DrawState.h), re-applies the minimum client size, and is announced as a resize
    // to the client size in the new units (the current size type), so that layouts follow.
    void SetScale(float scale);
    float GetScale() const { return m_scale; }
    // The smallest client area in units (0 × 0: none): the window's minimum size is this many
    // window pixels times the scale, but never more than the screen the window is on.
    void SetMinimumClientSize(int32_t width, int32_t height);

    // The tracked size in units (as GetClientWidth rounds): as created, then what the last
    // resize reported.
    int32_t GetWidth() const;
    int32_t GetHeight() const;
    int32_t GetX() const { return m_x; }
    int32_t GetY() const { return m_y; }
    bool IsRunning() const { return m_running; }
    bool IsFullscreen() const { return m_fullscreen; }
    bool IsResizable() const { return m_resizable; }
    RunState GetRunState() const { return m_runState; }
    PlatformWindow* GetWindow() const { return m_window; }
    // The application's window; null when there is no application or no window yet.
    static PlatformWindow* GetWindowHandle();

    // The window's event handler: emits what one event stands for (window signals and the
    // end of the loop only while an application exists; input events always), then the
    // message signal. Called for every event but quit requests, which DrainMessages handles.
    static void HandleMessage(const PlatformMessage& message);

    // (SDL event type, two of its fields; see platform/Events.h) of every handled event.
    CSignal<uint32_t, int32_t, int32_t> onMessage;
    // The client area's new position in screen pixels.
    CSignal<int32_t, int32_t> onMove;
    // Client width, client height (in units, as GetClientWidth), how the size changed.
    CSignal<int32_t, int32_t, CDisplay::SizeType> onResize;
    // True when the window gains the keyboard focus, false when it loses it.
    CSignal<bool> onFocus;
    // A file was dropped on the window (its path, as the desktop gave it).
    CSignal<const String&> onDropFile;
    // Emitted after Draw, before the frame is presented: receivers draw what must lie over
    // everything the application draws (the modal file dialogs), in an overlay pass, which
    // starts from a cleared depth buffer (the frame's depth is not kept for them).
    CSignal<> onDrawOverlay;

protected:
    // Called after Draw and onDrawOverlay; CAppGL swaps buffers here.
    virtual void Present() {}
    // The framebuffer the window is made for; CAppGL sets it before calling Create.
    PlatformGLRequest m_glRequest;
    // Draw, onDrawOverlay and Present, taking the redraw request; the pacing counts from
    // tickStart (when the tick before this frame began).
    void DrawFrame(uint32_t tickStart);

private:
    void OnOwnResize(int32_t width, int32_t height, CDisplay::SizeType type);
    void ApplyMinimumSize();
    // Emits the frame tick, after clearing the tick request it answers.
    void Tick();
    // The earliest time the pacing lets the next frame be drawn.
    uint32_t NextDrawTime(uint32_t now) const;

    PlatformWindow* m_window = nullptr;
    bool m_running = false;
    bool m_quitting = false; // CanQuit is deciding
    bool m_fullscreen = false;
    bool m_resizable = false;
    int32_t m_x = 0, m_y = 0;
    int32_t m_width = 0, m_height = 0; // pixels
    int32_t m_framePeriod = 1;
    float m_scale = 1.0f;
    int32_t m_minimumWidth = 0, m_minimumHeight = 0; // units
    bool m_hasDrawn = false;
    uint32_t m_lastDraw = 0; // when the tick of the last pass (or Frame) that drew began
    RunState m_runState = Active;
    String m_failure;
    CSlotList m_slots; // the own resize slot
};

// The application object, or null when there is none.
CApp* GetApp();

// The program's entry: 0 when no application object exists, otherwise its Run (argc, argv);
// when the application recorded a failure (CApp::Fail), that is printed on standard error
// after "quillwave: " and a Run result of 0 becomes 1, so that a program that could not show
// its window never reports success.
int AppMain(int argc, char** argv);
