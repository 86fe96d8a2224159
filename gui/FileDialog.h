// The program's own open and save dialogs: a modal window drawn with the toolkit (a title,
// the current folder's subfolders and the files that match the filter pattern, a path edit
// box, OK and Cancel), run in a nested frame loop of the application so that the call returns
// the chosen path or the cancellation. While it runs, the dialog alone receives the mouse and
// the keyboard; Enter is OK and Escape is Cancel; a double click on a folder enters it and on
// a file accepts it. Saving over an existing file asks for confirmation in the same dialog.
#pragma once

#include "events/Signal.h"
#include "util/String.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CButton;
class CEdit;
class CFont;
class CGUI;
class CGUIManager;
class CInputMap;
class CList;
class CResourceManager;
class CSprite;
class CWindow;

struct FileDialogRequest {
    bool save = false;         // a save dialog (confirms replacing a file) or an open dialog
    String title;              // the window's title
    String filterDescription;  // shown to the user, e.g. "WAV File (*.wav)"
    // The files listed, e.g. "*.wav", or several separated by ';'. A save dialog whose
    // pattern is one "*.ext" with a plain ext adds ".ext" to a typed name that does not
    // already end with it (in any letter case); one whose pattern is several such, as
    // "*.wav;*.flac;*.ogg" (a choice of formats), adds the first ".ext" to a name with no
    // extension at all and keeps any other as typed. Either happens before the dialog looks
    // for a file to replace.
    String pattern;
    String folder;             // where it starts; empty: the working directory
};

// Longest path the dialogs return, in bytes.
constexpr int32_t kFileDialogMaxPath = 1024;

// How the main scene asks for a path; tests and scripted runs replace the real dialog.
using FileDialogRunner = std::function<bool(const FileDialogRequest& request, String& path)>;

// The dialog's model, without widgets: the folder shown and its entries, the path text, the
// OK logic with its confirmation, and the outcome. Paths are absolute; folders end with "/".
// Reads the file system only (listing and testing paths), never writes to it.
class CFileDialog {
public:
    // At most this many entries are listed (the first in order); longer folders say so in
    // the message line, and any file can still be named by typing its path.
    static constexpr uint32_t kMaxEntries = 2000;

    struct Entry {
        String name;         // the name in the folder; ".." for the folder above
        bool folder = false;
    };

    // Starts over: the request's folder (or the working directory when it is empty or
    // cannot be listed) is listed and becomes the path text; nothing chosen, not done.
    void Open(const FileDialogRequest& request);

    const FileDialogRequest& GetRequest() const { return m_request; }
    // The folder listed: absolute, lexically normal, ending with "/".
    const String& GetFolder() const { return m_folder; }
    // "..", then the subfolders, then the files matching the pattern, each group sorted by
    // name (case-insensitively, then byte-wise); names starting with "." are left out.
    const std::vector<Entry>& GetEntries() const { return m_entries; }
    // An entry as the list shows it: folders with a trailing "/"; empty for a missing row.
    String GetRowText(int32_t row) const;
    // Counts the listings made; a view rebuilds its rows when it moves.
    uint32_t GetListingSerial() const { return m_listingSerial; }

    // A file's row puts its full path into the path text; other rows change nothing.
    void SelectRow(int32_t row);
    // A folder's row (".." included) enters it; a file's row accepts the file.
    void ActivateRow(int32_t row);
    // The text typed in the path box: absolute, "~/" from the home folder, or relative to
    // the folder shown. A change clears the message.
    void SetPathText(const String& text);
    const String& GetPathText() const { return m_pathText; }
    // OK: an empty text does nothing; a path naming a folder enters it; otherwise an open
    // dialog accepts a regular file it may read ("File not found" when there is none) and a
    // save dialog a path, with the default extension added, in a folder it may write in,
    // asking first when the file exists (a second OK with the same path replaces it). A path
    // the system refuses gets its reason in the message (strerror's text, such as
    // "Permission denied"). Paths longer than kFileDialogMaxPath are refused.
    void Accept();
    // Ends the dialog without a path, unless it has ended already.
    void Cancel();
    // Replaces the permission test Accept uses (access(2) by default): check(path, mode) with
    // mode R_OK or W_OK | X_OK, false with errno set when refused. Folders end with "/".
    using AccessCheck = std::function<bool(const String& path, int mode)>;
    void SetAccessCheck(AccessCheck check);
    // Enters folder (absolute or relative to the folder shown): true when it could be
    // listed; otherwise the message says so and the listing stays.
    bool EnterFolder(const String& folder);

    // What the dialog tells the user (an empty string when nothing).
    const String& GetMessage() const { return m_message; }
    bool IsDone() const { return m_done; }
    bool IsAccepted() const { return m_accepted; }
    // The chosen path; empty unless accepted.
    const String& GetResult() const { return m_result; }

    // text made absolute and lexically normal against the folder shown ("~" and "~/" from
    // $HOME); a trailing "/" is kept.
    String Resolve(const String& text) const;

private:
    // Lists folder (absolute, normal, ending with "/"); false when it cannot be read.
    bool List(const String& folder);
    // Accept's last steps for a path that does not name a folder.
    void AcceptOpen(const String& path);
    void AcceptSave(const String& path);
    // check's verdict on path; false with the reason in the message when refused (notFound
    // stands for a missing path).
    bool Allowed(const String& path, int mode, const char* notFound);
    void Finish(const String& path);

    FileDialogRequest m_request;
    String m_folder;
    std::vector<Entry> m_entries;
    uint32_t m_listingSerial = 0;
    String m_pathText;
    String m_message;
    String m_confirmed;  // the existing file the last OK asked about replacing
    AccessCheck m_access;
    String m_result;
    bool m_done = false;
    bool m_accepted = false;
};

// The dialog on screen: a window of the toolkit's widgets driven by a CFileDialog. It owns a
// GUI manager of its own, which listens to the input signals like every manager, so the
// caller parks the other receivers while it exists (RunFileDialog does). Geometry is in
// client pixels; Render needs the OpenGL context.
class CFileDialogView {
public:
    static constexpr float kWidth = 480.0f;
    static constexpr float kHeight = 340.0f;

    // Builds the widgets for the request and opens the model; font is the glyph sprite the
    // texts are written with (null: no texts drawn). The sprite must outlive the view.
    CFileDialogView(const FileDialogRequest& request, const CSprite* font);
    ~CFileDialogView();
    CFileDialogView(const CFileDialogView&) = delete;
    CFileDialogView& operator=(const CFileDialogView&) = delete;

    // Centres the window in a client area of that size; the dimming layer covers it.
    void Place(int32_t clientWidth, int32_t clientHeight);
    // Draws the dimming layer and the window with the current GL state and projection.
    void Render();
    // Render over whatever is drawn already: a projection of the viewport's pixels (y down),
    // a fresh depth buffer and lighting for the emission colours, all restored afterwards.
    void DrawOverlay();

    CFileDialog& GetModel() { return m_model; }
    bool IsDone() const { return m_model.IsDone(); }
    // A mouse button went down while the view listened and has not come up yet.
    bool IsButtonHeld() const { return m_buttonsHeld > 0; }
    CWindow& GetWindow() { return *m_window; }
    CList& GetList() { return *m_list; }
    CEdit& GetEdit() { return *m_edit; }
    CButton& GetOkButton() { return *m_ok; }
    CButton& GetCancelButton() { return *m_cancel; }
    // The message line's text element.
    CFont& GetMessageText() { return *m_message; }

private:
    void OnKey(CInputMap& event);
    void OnMouse(CInputMap& event);
    void OnEditChange(const String& text);
    void OnEditFocus(bool focus);
    void OnRowSelect(int32_t row, int32_t column);
    void OnRowActivate(int32_t row, int32_t column);
    void OnListPress();
    void OnOk();
    void OnCancel();
    // Keeps the end of the path field's text in view.
    void ScrollPath();
    // Brings the widgets in line with the model: rows, path text, folder and message lines.
    void Sync();

    CFileDialog m_model;
    std::unique_ptr<CGUIManager> m_manager; // owns the widgets below
    std::unique_ptr<CGUI> m_dim;            // the layer over the application, outside the manager
    CWindow* m_window = nullptr;
    CGUI* m_listBack = nullptr;
    CList* m_list = nullptr;
    CEdit* m_edit = nullptr;               // the path field (a scrolling kind of edit box)
    CGUI* m_editBack = nullptr;
    CButton* m_ok = nullptr;
    CButton* m_cancel = nullptr;
    CFont* m_folderLine = nullptr;
    CFont* m_filterLine = nullptr;
    CFont* m_message = nullptr;
    uint32_t m_listedSerial = 0;
    bool m_skipSelect = false; // the release after a double click selects nothing
    int32_t m_buttonsHeld = 0;
    CSlotList m_slots;
};
