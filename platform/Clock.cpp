#include "platform/Clock.h"

#include <SDL.h>

uint32_t PlatformTicks() { return SDL_GetTicks(); }

void PlatformSleep(uint32_t milliseconds) { SDL_Delay(milliseconds); }
