#include "platform/Clock.h"

#include <SDL.h>

uint32_t PlatformTicks() { return SDL_GetTicks(); }
