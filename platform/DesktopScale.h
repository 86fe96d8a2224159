// The scale the desktop asks interfaces to be drawn at, for the program's starting zoom: the
// Xft.dpi of the X resources (what desktops set for their scaling), else the display's DPI as
// SDL reports it; 96 DPI is a scale of 1. Reading it opens its own short X connection, so
// nothing here needs a window. Main thread.
#pragma once

// The DPI that an X resources text (the RESOURCE_MANAGER property's form: "name:\tvalue" lines)
// gives Xft.dpi; 0 when it names none, or a value that is not a number from 24 to 960.
float PlatformXftDpi(const char* resources);

// Xft.dpi / 96 from the display's X resources when set; else the first display's horizontal
// DPI / 96 as SDL reports it, when that lies from 24 to 960 (starting the window system,
// PlatformInitVideo); else 1.
float PlatformDesktopScale();
