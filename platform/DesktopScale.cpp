#include "platform/DesktopScale.h"

#include "platform/Window.h"
#include "util/Number.h"

#include <SDL.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr float kBaseDpi = 96.0f;
constexpr float kLowestDpi = 24.0f, kHighestDpi = 960.0f;

bool Plausible(float dpi) { return dpi >= kLowestDpi && dpi <= kHighestDpi; }

// Xft.dpi from the resources of the display DISPLAY names; 0 without.
float DisplayXftDpi()
{
    if (!std::getenv("DISPLAY"))
        return 0.0f;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0.0f;
    const float dpi = PlatformXftDpi(XResourceManagerString(display));
    XCloseDisplay(display);
    return dpi;
}

} // namespace

float PlatformXftDpi(const char* resources)
{
    if (!resources)
        return 0.0f;
    static const char kName[] = "Xft.dpi:";
    for (const char* line = resources; *line;) {
        while (*line == ' ' || *line == '\t')
            ++line;
        if (std::strncmp(line, kName, sizeof kName - 1) == 0) {
            // Read as the X resources write it whatever the locale: a point before decimals.
            float dpi = 0.0f;
            const char* end = nullptr;
            const char* lineEnd = std::strchr(line, '\n');
            if (!ParseNumber(line + sizeof kName - 1, dpi, &end) || (lineEnd && end > lineEnd))
                return 0.0f; // none, or one on the next line
            while (*end == ' ' || *end == '\t')
                ++end;
            return (*end == '\0' || *end == '\n') && Plausible(dpi) ? dpi : 0.0f;
        }
        const char* next = std::strchr(line, '\n');
        if (!next)
            break;
        line = next + 1;
    }
    return 0.0f;
}

float PlatformDesktopScale()
{
    const float xft = DisplayXftDpi();
    if (xft > 0.0f)
        return xft / kBaseDpi;
    float horizontal = 0.0f;
    if (PlatformInitVideo() && SDL_GetDisplayDPI(0, nullptr, &horizontal, nullptr) == 0 && Plausible(horizontal))
        return horizontal / kBaseDpi;
    return 1.0f;
}
