// The file dialog's modal loop: runs a CFileDialogView over the application's window, with the
// application's own passes (CApp::Pass), until the user accepts or cancels. Only the dialog hears the
// mouse and the keyboard meanwhile; the other receivers get them back afterwards. Main thread.
#pragma once

#include "gui/FileDialog.h"

class CResourceManager;

// Runs the dialog; true with path set when the user chose a file, false when cancelled (or
// when there is no application window to run it in). fonts provides the "font" sprite the
// dialog writes with (the application's resources); without one the dialog still works, with
// its texts undrawn.
bool RunFileDialog(const FileDialogRequest& request, CResourceManager* fonts, String& path);

// The dialog RunFileDialog is showing, or null when none runs: for scripted runs and tests
// that look at it from the frame tick while it runs.
CFileDialogView* GetRunningFileDialog();

