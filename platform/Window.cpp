#include "platform/Window.h"

#include "platform/Events.h"
#include "platform/Termination.h"

#include <SDL.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>
#include <cstdlib>
#include <string>

namespace {

void (*s_warningHook)(const char*, const char*) = nullptr;
// GL contexts open: without one nothing can have been drawn, so nothing edited.
int s_contexts = 0;

void SetGLAttributes(const PlatformGLRequest& format, bool multisample)
{
    int red = 8, green = 8, blue = 8, alpha = 0;
    if (format.colourBits >= 32) {
        alpha = 8;
    } else if (format.colourBits == 16) {
        red = 5, green = 6, blue = 5;
    } else if (format.colourBits == 15) {
        red = green = blue = 5;
    } else if (format.colourBits > 0 && format.colourBits < 24) {
        red = green = blue = format.colourBits / 3;
    }
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthBits > 0 ? format.depthBits : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencilBits > 0 ? format.stencilBits : 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, multisample ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, multisample ? format.samples : 0);
}

} // namespace

namespace {

// The window system takes titles as UTF-8 and converts them by the character type of the C
// locale: under the "C" locale of a bare session a title with a character outside ASCII (the
// project's name, the dash of "NAME — Quillwave") is refused and the old one stays. Only the
// character type changes (numbers are read and written without the locale).
void UseUtf8Characters()
{
    const char* current = std::setlocale(LC_CTYPE, "");
    if (!current || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

} // namespace

bool PlatformInitVideo(const char** why)
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    PlatformPrepareInput();
    // SDL 2 reads the class from the environment when its video starts (a hint is not
    // consulted); an existing value is the user's choice and stays.
    setenv("SDL_VIDEO_X11_WMCLASS", kPlatformWindowClass, 0);
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", kPlatformWindowClass, 0);
    UseUtf8Characters();
    // When no display can be reached SDL falls back, unasked, to a driver that shows nothing
    // (its offscreen driver, which renders with the software GL). The program then ran on
    // unseen, and since that driver cannot wait for events, SDL's wait woke every
    // millisecond. A driver that shows nothing is used only when SDL_VIDEODRIVER names it.
    // A display that is named but refuses the connection for a moment (an X server busy
    // taking down the clients of a program just killed) is tried again for about a second.
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    auto showsNothing = [asked](const char* driver) {
        return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
               !(asked && std::strstr(asked, driver));
    };
    const bool displayNamed = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    const char* driver = nullptr;
    for (int attempt = 0;; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            if (why)
                *why = SDL_GetError();
            return false;
        }
        driver = SDL_GetCurrentVideoDriver();
        if (!showsNothing(driver) || !displayNamed || attempt == 10)
            break;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_Delay(100);
    }
    if (showsNothing(driver)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        static std::string reason;
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        reason = "no display to open a window on (DISPLAY=";
        reason += display ? display : "(unset)";
        reason += ", WAYLAND_DISPLAY=";
        reason += wayland ? wayland : "(unset)";
        reason += ")";
        if (why)
            *why = reason.c_str();
        return false;
    }
    SDL_DisableScreenSaver();
    // Held for the process's life, so that destroying the last window does not unload the
    // OpenGL driver (whose allocations would then be reported as leaks of an unknown module).
    SDL_GL_LoadLibrary(nullptr);
    return true;
}

PlatformWindow* PlatformCreateWindow(int32_t width, int32_t height, bool framed, bool resizable,
                                     const PlatformGLRequest& format, const char** why)
{
    Uint32 flags = SDL_WINDOW_OPENGL;
    if (resizable)
        flags |= SDL_WINDOW_RESIZABLE;
    if (!framed)
        flags |= SDL_WINDOW_BORDERLESS;
    // SDL refuses sizes below 1; the size is set again right after creation anyway.
    int w = width > 0 ? width : 1, h = height > 0 ? height : 1;
    bool multisample = format.samples > 0;
    SetGLAttributes(format, multisample);
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, flags);
    if (!window && multisample) {
        SetGLAttributes(format, false);
        window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, flags);
    }
    if (!window) {
        if (why)
            *why = SDL_GetError();
        return nullptr;
    }
    SDL_StartTextInput();
    return window;
}

void PlatformDestroyWindow(PlatformWindow* window)
{
    if (window)
        SDL_DestroyWindow(window);
}

PlatformGLContext PlatformCreateGLContext(PlatformWindow* window, const char** why)
{
    if (!window) {
        if (why)
            *why = "no window";
        return nullptr;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context) {
        SDL_GL_MakeCurrent(window, context);
        ++s_contexts;
    }
    else if (why)
        *why = SDL_GetError();
    return context;
}

void PlatformDeleteGLContext(PlatformGLContext context)
{
    if (context) {
        SDL_GL_DeleteContext(context);
        --s_contexts;
    }
}

void PlatformSwapBuffers(PlatformWindow* window)
{
    if (window)
        SDL_GL_SwapWindow(window);
}

void PlatformSetWindowTitle(PlatformWindow* window, const char* title)
{
    if (window)
        SDL_SetWindowTitle(window, title ? title : "");
}

bool PlatformSetWindowIcon(PlatformWindow* window, const uint8_t* rgba, int32_t width, int32_t height)
{
    if (!window || !rgba || width < 1 || height < 1 || width > kPlatformMaxIconSide || height > kPlatformMaxIconSide)
        return false;
    // The surface only borrows the pixels, and SDL copies them for the window system.
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(rgba), width, height, 32, width * 4,
                                                           SDL_PIXELFORMAT_RGBA32);
    if (!icon)
        return false;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
    return true;
}

void PlatformSetWindowPosition(PlatformWindow* window, int32_t x, int32_t y)
{
    if (window)
        SDL_SetWindowPosition(window, x, y);
}

bool PlatformKeepWindowOnScreen(PlatformWindow* window, int32_t width, int32_t height)
{
    if (!window)
        return false;
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_Rect area{0, 0, 0, 0};
    if (display < 0 || (SDL_GetDisplayUsableBounds(display, &area) != 0 && SDL_GetDisplayBounds(display, &area) != 0) ||
        area.w <= 0 || area.h <= 0)
        return false;
    int top = 0, left = 0, bottom = 0, right = 0; // the frame's, where a window manager draws one
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0)
        top = left = bottom = right = 0;
    int x = 0, y = 0;
    SDL_GetWindowPosition(window, &x, &y);
    // The far edges first, so that a window larger than the screen shows its top-left corner.
    const int64_t farX = static_cast<int64_t>(area.x) + area.w - right - std::max(width, 0);
    const int64_t farY = static_cast<int64_t>(area.y) + area.h - bottom - std::max(height, 0);
    int64_t toX = std::min<int64_t>(x, farX), toY = std::min<int64_t>(y, farY);
    toX = std::max<int64_t>(toX, static_cast<int64_t>(area.x) + left);
    toY = std::max<int64_t>(toY, static_cast<int64_t>(area.y) + top);
    if (toX == x && toY == y)
        return false;
    SDL_SetWindowPosition(window, static_cast<int>(toX), static_cast<int>(toY));
    return true;
}

void PlatformSetWindowSize(PlatformWindow* window, int32_t width, int32_t height)
{
    if (window)
        SDL_SetWindowSize(window, width > 0 ? width : 1, height > 0 ? height : 1);
}

void PlatformSetWindowMinimumSize(PlatformWindow* window, int32_t width, int32_t height)
{
    if (window)
        SDL_SetWindowMinimumSize(window, width > 0 ? width : 1, height > 0 ? height : 1);
}

void PlatformGetWindowMinimumSize(PlatformWindow* window, int32_t* width, int32_t* height)
{
    int w = 0, h = 0;
    if (window)
        SDL_GetWindowMinimumSize(window, &w, &h);
    if (width)
        *width = w;
    if (height)
        *height = h;
}

void PlatformSetWindowTopmost(PlatformWindow* window, bool topmost)
{
    if (window)
        SDL_SetWindowAlwaysOnTop(window, topmost ? SDL_TRUE : SDL_FALSE);
}

bool PlatformSetFullscreen(PlatformWindow* window, bool fullscreen)
{
    if (!window)
        return false;
    return SDL_SetWindowFullscreen(window, fullscreen ? SDL_WINDOW_FULLSCREEN : 0) == 0;
}

void PlatformGetClientSize(PlatformWindow* window, int32_t* width, int32_t* height)
{
    int w = 0, h = 0;
    if (window)
        SDL_GetWindowSize(window, &w, &h);
    if (width)
        *width = w;
    if (height)
        *height = h;
}

bool PlatformGetScreenSize(PlatformWindow* window, int32_t* width, int32_t* height)
{
    int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
    SDL_Rect bounds{0, 0, 0, 0};
    if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) {
        if (width)
            *width = 0;
        if (height)
            *height = 0;
        return false;
    }
    if (width)
        *width = bounds.w;
    if (height)
        *height = bounds.h;
    return true;
}

void PlatformGetGlobalCursor(int32_t* x, int32_t* y)
{
    int cx = 0, cy = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_GetGlobalMouseState(&cx, &cy);
    if (x)
        *x = cx;
    if (y)
        *y = cy;
}

void PlatformShowWarning(const char* caption, const char* text)
{
    caption = caption ? caption : "";
    text = text ? text : "";
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    // The system box runs a loop of its own, which never lets ours see a termination signal's
    // Quit: with no GL context open there is no work to save, so such a signal ends the
    // process at once rather than leaving it waiting for a click nobody may give.
    const bool nothingAtStake = s_contexts == 0;
    if (nothingAtStake)
        PlatformTerminationEndsAtOnce(true);
    if (s_warningHook)
        s_warningHook(caption, text);
    else
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr);
    if (nothingAtStake)
        PlatformTerminationEndsAtOnce(false);
}

void PlatformSetWarningHookForTesting(void (*hook)(const char* caption, const char* text))
{
    s_warningHook = hook;
}

bool PlatformHasWarningHookForTesting() { return s_warningHook != nullptr; }
