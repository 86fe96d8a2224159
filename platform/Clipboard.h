// The system clipboard's text, in UTF-8. While the window system runs, the text goes to and
// comes from the desktop's clipboard; without it (tools, tests with no display) the process
// keeps a clipboard of its own, so that copy and paste still work inside the program.
// Main thread only.
#pragma once

#include <string>

// Puts text on the clipboard; false when the window system refused it (the process's own
// clipboard holds it then).
bool PlatformSetClipboardText(const std::string& text);
// The clipboard's text; empty when it holds none (or only something other than text).
std::string PlatformGetClipboardText();
