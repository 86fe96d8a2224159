#include "platform/Clipboard.h"

#include <SDL.h>

namespace {

// The clipboard used while there is no window system, and after it refused a text.
std::string& OwnClipboard()
{
    static std::string* text = new std::string; // never destroyed: usable during exit
    return *text;
}

bool s_refused = false; // the window system refused the last text set

} // namespace

bool PlatformSetClipboardText(const std::string& text)
{
    OwnClipboard() = text;
    // SDL's clipboard belongs to the video subsystem; the text stops at an embedded zero.
    s_refused = !(SDL_WasInit(SDL_INIT_VIDEO) && SDL_SetClipboardText(text.c_str()) == 0);
    return !s_refused;
}

std::string PlatformGetClipboardText()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO) || s_refused)
        return OwnClipboard();
    char* text = SDL_GetClipboardText(); // "" when the clipboard holds no text
    std::string copy(text ? text : "");
    SDL_free(text);
    return copy;
}
