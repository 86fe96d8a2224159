// OpenGL entry points by name, from the platform's GL loader (the replacement for
// wglGetProcAddress). Needs a current OpenGL context. The result may be non-null even for
// functions the driver lacks (GLX hands out stubs), so callers also check the extension.
#pragma once

// The function's address, or null when the platform knows no such name.
void* PlatformGetProcAddress(const char* name);
