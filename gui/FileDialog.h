// The program's own open and save dialogs: a modal window drawn with the toolkit (a title,
// the current folder's subfolders and the files that match the filter pattern, a path edit
// box, OK and Cancel), run in a nested frame loop of the application so that the call returns
// the chosen path or the cancellation. While it runs, the dialog alone receives the mouse and
// the keyboard; Enter is OK and Escape is Cancel; a double click on a folder enters it and on
// a file accepts it. Saving over an existing file asks for confirmation in the same dialog.
#pragma once

#include "util/String.h"

#include <functional>

class CResourceManager;

struct FileDialogRequest {
    bool save = false;         // a save dialog (confirms replacing a file) or an open dialog
    String title;              // the window's title
    String filterDescription;  // shown to the user, e.g. "WAV File (*.wav)"
    String pattern;            // the files listed, e.g. "*.wav"
    String folder;             // where it starts; empty: the working directory
};

// Longest path the dialogs return, in bytes.
constexpr int32_t kFileDialogMaxPath = 1024;

// Runs the dialog; true with path set when the user chose a file, false when cancelled (or
// when there is no application window to run it in). fonts provides the "font" sprite the
// dialog writes with (the application's resources); without one the dialog still works, with
// its texts undrawn.
bool RunFileDialog(const FileDialogRequest& request, CResourceManager* fonts, String& path);

// How the main scene asks for a path; tests and scripted runs replace the real dialog.
using FileDialogRunner = std::function<bool(const FileDialogRequest& request, String& path)>;
