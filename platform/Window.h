// The top-level window and its OpenGL context, on SDL2 (the replacement for Win32 windows and
// WGL), plus the screen, the global cursor and warning message boxes. One window per process
// is what the program uses, though nothing here forbids more. Main thread only. The window
// handle is opaque above this layer; it is never freed behind the caller's back.
#pragma once

#include <cstdint>

struct SDL_Window;
using PlatformWindow = SDL_Window;
using PlatformGLContext = void*;

// The window class the desktop matches windows with (X11's WM_CLASS, Wayland's app id); the
// desktop entry's StartupWMClass names it.
constexpr const char* kPlatformWindowClass = "quillwave";

// Starts the window system, once per process: it then runs until the process ends, with the
// screen saver kept off, and its windows carry kPlatformWindowClass unless the environment
// names another class (SDL_VIDEO_X11_WMCLASS, SDL_VIDEO_WAYLAND_WMCLASS). (Stopping it would unload the OpenGL driver while the driver's own
// allocations are live; windows come and go while it runs.) True when it is running; false,
// with the reason in *why when given (valid until the next call), when there is no display
// to talk to; a window system that would show nothing (SDL's offscreen and dummy drivers)
// counts as none unless SDL_VIDEODRIVER names it.
bool PlatformInitVideo(const char** why = nullptr);

// The framebuffer a window's OpenGL context draws into. Colour bits 32 is 8 bits each of red,
// green, blue and alpha; 24 is 8 each without alpha; 16 is 5-6-5. Samples 0: no multisampling.
struct PlatformGLRequest {
    int32_t colourBits = 32;
    int32_t depthBits = 24;
    int32_t stencilBits = 8;
    int32_t samples = 0;
};

// A visible window with a client area of width × height pixels, ready for an OpenGL context
// of the requested format (a compatibility context: the drawing is fixed-function OpenGL
// 1.x). A multisampled format that the display cannot give falls back to one without
// samples. Null, with the reason in *why when given, when no window can be made.
PlatformWindow* PlatformCreateWindow(int32_t width, int32_t height, bool framed, bool resizable,
                                     const PlatformGLRequest& format, const char** why = nullptr);
void PlatformDestroyWindow(PlatformWindow* window);

// Creates the window's context and makes it current; null, with the reason in *why when
// given, when that fails.
PlatformGLContext PlatformCreateGLContext(PlatformWindow* window, const char** why = nullptr);
void PlatformDeleteGLContext(PlatformGLContext context);
void PlatformSwapBuffers(PlatformWindow* window);

void PlatformSetWindowTitle(PlatformWindow* window, const char* title);
// Gives the window an icon of width × height pixels, 8-bit RGBA, rows from the top with no gap
// bytes (copied; the caller keeps rgba). The window system scales it where it shows it. False
// without a window or pixels, for a side outside 1 to kPlatformMaxIconSide, or when the window
// system refuses it.
constexpr int32_t kPlatformMaxIconSide = 1024;
bool PlatformSetWindowIcon(PlatformWindow* window, const uint8_t* rgba, int32_t width, int32_t height);
// Places the client area's top-left corner at (x, y) in screen pixels.
void PlatformSetWindowPosition(PlatformWindow* window, int32_t x, int32_t y);
void PlatformSetWindowSize(PlatformWindow* window, int32_t width, int32_t height);
// Moves the window, were its client area width × height pixels, so that it lies on the usable
// part of the screen it is on: its right and bottom edges inside, then its top-left corner,
// which wins when the window is larger than the screen. True when it moved.
bool PlatformKeepWindowOnScreen(PlatformWindow* window, int32_t width, int32_t height);
// The smallest client area the user may size the window to (each side at least 1); a
// window smaller than that grows to it.
void PlatformSetWindowMinimumSize(PlatformWindow* window, int32_t width, int32_t height);
// 0 × 0 without a window.
void PlatformGetWindowMinimumSize(PlatformWindow* window, int32_t* width, int32_t* height);
// Keeps the window above the others (or not).
void PlatformSetWindowTopmost(PlatformWindow* window, bool topmost);
// Full screen changes the display mode to the window's size; false when it cannot.
bool PlatformSetFullscreen(PlatformWindow* window, bool fullscreen);
// The client area's size in pixels; 0 × 0 without a window.
void PlatformGetClientSize(PlatformWindow* window, int32_t* width, int32_t* height);

// The size of the screen the window is on (the first screen without a window); false when
// the window system is not running.
bool PlatformGetScreenSize(PlatformWindow* window, int32_t* width, int32_t* height);
// The cursor's position in screen pixels, wherever it is.
void PlatformGetGlobalCursor(int32_t* x, int32_t* y);

// A system-modal warning box with one OK button, and the same text on standard error so that
// a run without a display still says why it ended. Returns when the user has closed it.
void PlatformShowWarning(const char* caption, const char* text);
// Tests replace the box (standard error is still written); nullptr restores it.
void PlatformSetWarningHookForTesting(void (*hook)(const char* caption, const char* text));
// A test hook is set: the program's own warning box yields to PlatformShowWarning then.
bool PlatformHasWarningHookForTesting();
