// The window's icon from the data folder: a picture file read with media/'s readers and handed
// to the window system. The program's icon is kWindowIconPath, which make-theme draws (64 × 64)
// with the rest of the look. Main thread, after the window exists.
#pragma once

#include "platform/Window.h"
#include "util/String.h"

// Relative to the data folder, which is the working directory while the program runs.
constexpr const char* kWindowIconPath = "resources/theme/icon.png";

// Reads path (PNG, BMP, TGA or JPEG, grey or colour, with or without alpha) and makes it the
// window's icon. False, with the window's icon unchanged, without a window, when the file
// cannot be read as a picture, when a side exceeds kPlatformMaxIconSide, or when the window
// system refuses it.
bool LoadWindowIcon(PlatformWindow* window, const String& path = kWindowIconPath);
