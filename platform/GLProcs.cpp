#include "platform/GLProcs.h"

#include <SDL.h>

void* PlatformGetProcAddress(const char* name)
{
    if (!name || !*name)
        return nullptr;
    return SDL_GL_GetProcAddress(name);
}
