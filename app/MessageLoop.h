// Warnings in the program's own look: while the application's window is open a warning is the
// question box (gui/QuestionBox.h) with "Copy" and "OK", run modally over the window; its text
// wraps within the box, a path or word too wide for a line is shortened in its middle, and Copy
// puts the whole text, unshortened, on the clipboard and leaves the box open. Standard error
// gets every warning. Before the window exists (or after it is gone), and while a test hook is
// set (PlatformSetWarningHookForTesting), the platform's warning takes over. Main thread.
#pragma once

#include "util/String.h"

class CQuestionView;
class CResourceManager;

// Shows the warning and returns when it is dismissed (OK, Enter, Escape, the close button, or
// the application's end). fonts provides the "font" sprite the box writes with (null: the
// texts stay undrawn).
void ShowWarning(const char* caption, const String& text, CResourceManager* fonts);

// The box ShowWarning is showing, or null: for scripted runs and tests that look at it from
// the frame tick while it runs.
CQuestionView* GetRunningWarning();
