#include "platform/Paths.h"

#include <SDL.h>

std::string PlatformExecutableFolder()
{
    // SDL_GetBasePath needs no SDL_Init; on Linux it resolves /proc/self/exe and answers with
    // a trailing slash.
    char* base = SDL_GetBasePath();
    if (!base)
        return std::string();
    std::string folder(base);
    SDL_free(base);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}
