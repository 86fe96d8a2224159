// The program's own open and save dialogs: a modal window drawn with the toolkit (a title,
// the current folder's subfolders and the files that match the filter pattern, a path edit
// box, a toggle for hidden files, OK and Cancel), run in a nested frame loop of the
// application so that the call returns the chosen path or the cancellation. While it runs,
// the dialog alone receives the mouse and the keyboard; Enter is OK and Escape is Cancel; a
// double click on a folder enters it and on a file accepts it; the list is driven by the
// keyboard and the wheel as well (see CFileDialogView). Saving over an existing file asks for
// confirmation in the same dialog.
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
    // Where it starts; when empty or unreadable, the home folder ($HOME), else "/". Never the
    // working directory, which is the program's data folder while it runs.
    String folder;
    // A save dialog's proposed file name, in the path box at the start; empty for none.
    String name;
    // A choice offered beside the filter line (a sound's rate beside its format): the
    // options' labels, the one chosen at the start, and what hears the chosen one when the
    // dialog is accepted (never when it is cancelled). No options: nothing is shown.
    std::vector<String> options;
    int32_t option = 0;
    std::function<void(int32_t option)> onOption;
};

// Longest path the dialogs return, in bytes.
constexpr int32_t kFileDialogMaxPath = 1024;

// How the main scene asks for a path; tests and scripted runs replace the real dialog.
using FileDialogRunner = std::function<bool(const FileDialogRequest& request, String& path)>;

// The dialog's model, without widgets: the folder shown and its entries, the selected row, the
// path text, type-ahead, the OK logic with its confirmation, and the outcome. Paths are
// absolute; folders end with "/". Reads the file system only (listing and testing paths),
// never writes to it.
//
// The path text is what the user typed (a name or path, relative to the folder shown unless
// absolute or "~/"), or the name of the file row selected last. Entering a folder empties it,
// except that a save dialog keeps a typed plain name while the user moves between folders by
// rows, so that the name goes where the user ends up. Typing clears the selection.
class CFileDialog {
public:
    // At most this many entries are listed (the first in order); longer folders say so in
    // the message line, and any file can still be named by typing its path.
    static constexpr uint32_t kMaxEntries = 2000;
    // Type-ahead letters that follow each other within this many milliseconds make one prefix.
    static constexpr uint32_t kTypeAheadPause = 1000;

    struct Entry {
        String name;         // the name in the folder; ".." for the folder above
        bool folder = false;
    };

    // Starts over: the request's folder (or $HOME, or "/") is listed; the path text is
    // empty, nothing is selected or chosen, hidden entries are not shown, not done.
    void Open(const FileDialogRequest& request);

    const FileDialogRequest& GetRequest() const { return m_request; }
    // The folder listed: absolute, lexically normal, ending with "/".
    const String& GetFolder() const { return m_folder; }
    // "..", then the subfolders, then the files matching the pattern, each group sorted by
    // name (case-insensitively, then byte-wise); names starting with "." (hidden entries) are
    // left out unless they are shown.
    const std::vector<Entry>& GetEntries() const { return m_entries; }
    // Shows or hides the hidden entries: the folder is listed again, the selection cleared,
    // the path text kept.
    void SetShowHidden(bool show);
    bool GetShowHidden() const { return m_showHidden; }
    // An entry as the list shows it: folders with a trailing "/"; empty for a missing row.
    String GetRowText(int32_t row) const;
    // Counts the listings made; a view rebuilds its rows when it moves.
    uint32_t GetListingSerial() const { return m_listingSerial; }

    // Selects a row (−1 or a missing row: none). A file's row puts its name into the path
    // text; a folder's row empties a path text that came from a file's row and keeps a typed
    // one. The message is cleared.
    void SelectRow(int32_t row);
    // The selected row, or −1.
    int32_t GetSelected() const { return m_selected; }
    // A folder's row (".." included) enters it; a file's row accepts the file.
    void ActivateRow(int32_t row);
    // Enters the folder above (a row move, as ".." is) and selects the folder it came from;
    // false at the top or when the folder above cannot be listed.
    bool GoUp();
    // Type-ahead: character (a typed character's code) joins the prefix when it comes within
    // kTypeAheadPause ms of the previous one (now is a millisecond clock), or starts a new
    // one. The prefix selects, as SelectRow does, the first row from the selected one whose
    // name starts with it (ignoring letter case), wrapping round; a one-letter prefix, or
    // the same letter typed again, starts after the selected row, so that repeating a
    // letter steps through the names starting with it. Returns the selected row; −1 and no
    // change when no name matches.
    int32_t TypeAhead(int32_t character, uint32_t now);
    // The text typed in the path box: absolute, "~/" from the home folder, or relative to
    // the folder shown. A change clears the message and the selection.
    void SetPathText(const String& text);
    const String& GetPathText() const { return m_pathText; }
    // OK: with a folder's row selected, enters that folder (as ActivateRow). Otherwise, on
    // the path text: an empty text does nothing; a path naming a folder enters it; otherwise an open
    // dialog accepts a regular file it may read ("File not found" when there is none) and a
    // save dialog a path, with the default extension added, in a folder it may write in,
    // asking first when the file exists (a second OK with the same path replaces it). A path
    // the system refuses gets its reason in the message (strerror's text, such as
    // "Permission denied"). Paths longer than kFileDialogMaxPath are refused.
    void Accept();
    // Ends the dialog without a path, unless it has ended already.
    void Cancel();
    // The request's option chosen now (its start value, kept within the options); Next moves
    // to the following one, round to the first.
    int32_t GetOption() const { return m_option; }
    void NextOption();
    // Replaces the permission test Accept uses (access(2) by default): check(path, mode) with
    // mode R_OK or W_OK | X_OK, false with errno set when refused. Folders end with "/".
    using AccessCheck = std::function<bool(const String& path, int mode)>;
    void SetAccessCheck(AccessCheck check);
    // Enters folder (absolute or relative to the folder shown) and empties the path text:
    // true when it could be listed; otherwise the message says so and the listing stays.
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
    // Lists folder (absolute, normal, ending with "/"), clearing the selection and the
    // type-ahead prefix; false when it cannot be read.
    bool List(const String& folder);
    // Enters a folder by a row (or GoUp): the path text survives only as a save dialog's
    // typed plain name.
    bool EnterByRow(const String& folder);
    // The first row from `from` on (wrapping round) whose name starts with prefix, ignoring
    // letter case; −1 when none does.
    int32_t FindPrefix(const String& prefix, int32_t from) const;
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
    bool m_pathFromRow = false; // the path text is the name a file's row put there
    int32_t m_selected = -1;
    bool m_showHidden = false;
    String m_typed;             // the type-ahead prefix
    uint32_t m_typedAt = 0;     // when its last letter came
    String m_message;
    String m_confirmed;  // the existing file the last OK asked about replacing
    AccessCheck m_access;
    String m_result;
    int32_t m_option = 0;
    bool m_done = false;
    bool m_accepted = false;
};

// The dialog on screen: a window of the toolkit's widgets driven by a CFileDialog. It owns a
// GUI manager of its own, which listens to the input signals like every manager, so the
// caller opens an input capture (CInputCapture) before making it (RunFileDialog does). Geometry is in
// client pixels; Render needs the OpenGL context.
//
// The keyboard belongs either to the path field (at the start, and after a click on it) or
// to the list (after a click on it; an outline shows it); Tab hands it over. Whichever has
// it, Enter is OK, Escape is Cancel (neither answers the keyboard's auto-repeat), Ctrl+H
// toggles hidden files, and Up, Down, Page Up and Page Down move the list's selection (the
// path field has one line, so they have no use there). The path field takes the typed
// characters, Left, Right, Home, End and Backspace; a fresh Backspace press on an empty field
// goes to the folder above. The list takes Home and End (first and last row), typed
// characters as type-ahead ('/' and '~' start a path: they hand the keyboard to the path
// field, which types them), and Backspace (the folder above). The wheel scrolls the list
// whenever the pointer is over it, kWheelRows rows a notch.
class CFileDialogView {
public:
    static constexpr float kWidth = 480.0f;
    static constexpr float kHeight = 340.0f;
    static constexpr int32_t kWheelRows = 3;

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
    // The hidden-files toggle (down: shown) and its label, which toggles it too.
    CButton& GetHiddenToggle() { return *m_hidden; }
    CFont& GetHiddenLabel() { return *m_hiddenLabel; }
    // Whether the list has the keyboard (otherwise the path field has).
    bool ListHasKeys() const { return m_listKeys; }
    // The message line's text element.
    CFont& GetMessageText() { return *m_message; }
    // The button that shows the request's option and steps to the next on a click; null when
    // the request offers none.
    CButton* GetOptionButton() { return m_optionButton; }

private:
    void OnKey(CInputMap& event);
    void OnMouse(CInputMap& event);
    void OnEditChange(const String& text);
    void OnEditFocus(bool focus);
    void OnRowSelect(int32_t row, int32_t column);
    void OnRowActivate(int32_t row, int32_t column);
    void OnListPress();
    void OnListFocus(bool focus);
    void OnListRelease();
    void OnEditPress();
    void OnHiddenClick();
    void OnHiddenLabelClick();
    void OnOptionClick();
    void OnOk();
    void OnCancel();
    // Keeps the end of the path field's text in view.
    void ScrollPath();
    // Hands the keyboard to the list (true) or the path field.
    void GiveKeysToList(bool toList);
    // A navigation key's move of the selection; false for other keys.
    bool MoveSelection(int32_t key);
    // Selects a row from the keyboard, keeps it in view and shows the result.
    void SelectFromKeys(int32_t row);
    // The wheel over the list: delta in 120ths of a notch, positive away from the user.
    void OnWheel(int32_t delta);
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
    CButton* m_hidden = nullptr;           // a check box
    CButton* m_optionButton = nullptr;     // the request's option, when it has any
    CFont* m_hiddenLabel = nullptr;
    CGUI* m_listOutline = nullptr;         // shown while the list has the keyboard
    CFont* m_folderLine = nullptr;
    CFont* m_filterLine = nullptr;
    CFont* m_message = nullptr;
    uint32_t m_listedSerial = 0;
    bool m_skipSelect = false; // the release after a double click selects nothing
    bool m_listKeys = false;
    int32_t m_wheelRest = 0;   // wheel delta short of a notch
    int32_t m_buttonsHeld = 0;
    CSlotList m_slots;
};
