// The question box's modal loop: runs a CQuestionView over the application's window, with the
// application's own passes (CApp::Pass), until the user chooses a button. Only the box hears
// the mouse, the keyboard and the shortcuts meanwhile; the other receivers get them back
// afterwards. Main thread.
#pragma once

#include "gui/QuestionBox.h"

class CResourceManager;

// Asks the question and returns the index of the button chosen (within the request's buttons,
// or 0 for the "OK" of a request without any). The cancel button's index comes back when the
// question cannot be shown (no application window) or the application stops running while it
// is open (the window was closed). fonts provides the "font" sprite the box writes with (the
// application's resources); without one the box still works, with its texts undrawn.
int32_t RunQuestion(const QuestionRequest& request, CResourceManager* fonts);

// The box RunQuestion is showing (the innermost, when one question opens another), or null:
// for scripted runs and tests that look at it from the frame tick while it runs.
CQuestionView* GetRunningQuestion();
