// Index:
//   [SECTION] Model: listing and paths
//   [SECTION] Model: rows, OK and Cancel
//   [SECTION] View: widgets and look
//   [SECTION] View: input and drawing
//   [SECTION] The modal loop
#include "gui/FileDialog.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/DialogLook.h"
#include "gui/Edit.h"
#include "gui/GUIManager.h"
#include "gui/List.h"
#include "gui/Window.h"
#include "media/DrawState.h"
#include "media/ResourceManager.h"
#include "media/Sprite.h"

#include <fnmatch.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

// [SECTION] Model: listing and paths

namespace {

std::string ToStd(const String& text) { return std::string(text.CStr(), static_cast<size_t>(text.Length())); }

String FromStd(const std::string& text)
{
    return String(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)));
}

// Whether name matches one of the ';'-separated patterns (all names for an empty pattern).
bool Matches(const std::string& patterns, const std::string& name)
{
    if (patterns.empty())
        return true;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos)
            end = patterns.size();
        const std::string one = patterns.substr(start, end - start);
        if (!one.empty() && fnmatch(one.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

bool NameBefore(const std::string& a, const std::string& b)
{
    const int folded = strcasecmp(a.c_str(), b.c_str());
    return folded != 0 ? folded < 0 : a < b;
}

String WithSlash(String folder)
{
    if (!folder.EndsWith("/"))
        folder += '/';
    return folder;
}

// The last component of a path without a trailing slash.
String BaseName(const String& path)
{
    int32_t slash = -1;
    for (int32_t i = 0; i < path.Length(); ++i)
        if (path[i] == '/')
            slash = i;
    return path.Substring(slash + 1);
}

// The extension a save dialog adds: ".ext" for a pattern that is exactly "*.ext" with a
// plain ext; empty for any other pattern.
String DefaultExtension(const String& pattern)
{
    if (pattern.Length() < 3 || pattern[0] != '*' || pattern[1] != '.')
        return String();
    for (int32_t i = 2; i < pattern.Length(); ++i)
        if (std::strchr("*?[]\\;/", pattern[i]))
            return String();
    return pattern.Substring(1);
}

// path with extension added unless its name already ends with it, in any letter case.
String WithExtension(const String& path, const String& extension)
{
    const int32_t n = path.Length(), k = extension.Length();
    if (k == 0 || (n >= k && strncasecmp(path.CStr() + (n - k), extension.CStr(), static_cast<size_t>(k)) == 0))
        return path;
    return path + extension;
}

// The path a save dialog settles on for a typed path. Several plain "*.ext" patterns (a
// choice of formats, "*.wav;*.flac;*.ogg") add the first one's extension to a name with no
// extension at all (no "." after its first character) and keep any other name as typed, for
// the caller to judge; any other pattern adds its DefaultExtension as WithExtension does.
String SavePath(const String& path, const String& pattern)
{
    if (pattern.Find(";") < 0)
        return WithExtension(path, DefaultExtension(pattern));
    String first;
    for (int32_t start = 0; start <= pattern.Length();) {
        int32_t end = start;
        while (end < pattern.Length() && pattern[end] != ';')
            ++end;
        const String extension = DefaultExtension(pattern.Substring(start, end - start));
        if (extension.IsEmpty())
            return path;
        if (first.IsEmpty())
            first = extension;
        start = end + 1;
    }
    const String name = BaseName(path);
    for (int32_t i = 1; i < name.Length(); ++i)
        if (name[i] == '.')
            return path;
    return path + first;
}

} // namespace

String CFileDialog::Resolve(const String& text) const
{
    std::string path = ToStd(text);
    if (path == "~" || path.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        if (home && *home)
            path = std::string(home) + "/" + path.substr(std::min<size_t>(2, path.size()));
    }
    if (path.empty() || path[0] != '/')
        path = ToStd(m_folder) + path;
    const bool folder = path.back() == '/';
    std::string normal = fs::path(path).lexically_normal().string();
    if (normal.empty())
        normal = "/";
    if (folder && normal.back() != '/')
        normal += '/';
    return FromStd(normal);
}

bool CFileDialog::List(const String& folder)
{
    std::error_code error;
    fs::directory_iterator it(fs::path(ToStd(folder)), error);
    if (error)
        return false;
    std::vector<std::string> folders, files;
    const std::string patterns = ToStd(m_request.pattern);
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        const std::string name = it->path().filename().string();
        if (name.empty() || (name[0] == '.' && !m_showHidden))
            continue;
        std::error_code statusError;
        const fs::file_status status = it->status(statusError); // follows links
        if (statusError || !fs::exists(status))
            continue;
        if (fs::is_directory(status))
            folders.push_back(name);
        else if (Matches(patterns, name))
            files.push_back(name);
    }
    std::sort(folders.begin(), folders.end(), NameBefore);
    std::sort(files.begin(), files.end(), NameBefore);

    m_folder = folder;
    m_entries.clear();
    m_entries.push_back(Entry{"..", true});
    const size_t total = 1 + folders.size() + files.size();
    for (const std::string& name : folders)
        if (m_entries.size() < kMaxEntries)
            m_entries.push_back(Entry{FromStd(name), true});
    for (const std::string& name : files)
        if (m_entries.size() < kMaxEntries)
            m_entries.push_back(Entry{FromStd(name), false});
    m_message = total > kMaxEntries ? String::Format("Showing the first %u of %zu entries", kMaxEntries, total)
                                    : String();
    m_confirmed.Clear();
    m_selected = -1;
    m_typed.Clear();
    ++m_listingSerial;
    return true;
}

bool CFileDialog::EnterFolder(const String& folder)
{
    const String path = WithSlash(Resolve(folder));
    if (!List(path)) {
        m_message = "Cannot open the folder " + BaseName(path.Substring(0, path.Length() - 1));
        return false;
    }
    m_pathText.Clear();
    m_pathFromRow = false;
    return true;
}

bool CFileDialog::EnterByRow(const String& folder)
{
    const String kept = m_pathText;
    const bool keep = m_request.save && !m_pathFromRow && kept.Find("/") < 0 && kept != "~" && kept != "." &&
                      kept != "..";
    if (!EnterFolder(folder))
        return false;
    if (keep)
        m_pathText = kept;
    return true;
}

bool CFileDialog::GoUp()
{
    if (m_done || m_folder == "/")
        return false;
    const String left = BaseName(m_folder.Substring(0, m_folder.Length() - 1));
    if (!EnterByRow(m_folder + "../"))
        return false;
    for (size_t row = 0; row < m_entries.size(); ++row)
        if (m_entries[row].folder && m_entries[row].name == left) {
            m_selected = static_cast<int32_t>(row);
            break;
        }
    return true;
}

void CFileDialog::SetShowHidden(bool show)
{
    if (show == m_showHidden)
        return;
    m_showHidden = show;
    if (!List(m_folder)) // gone meanwhile: the listing stays as it was
        m_message = "Cannot open the folder " + BaseName(m_folder.Substring(0, m_folder.Length() - 1));
}

void CFileDialog::Open(const FileDialogRequest& request)
{
    m_request = request;
    const int32_t options = static_cast<int32_t>(request.options.size());
    m_option = request.option >= 0 && request.option < options ? request.option : 0;
    m_done = false;
    m_accepted = false;
    m_result.Clear();
    m_confirmed.Clear();
    m_message.Clear();
    m_pathText.Clear();
    m_pathFromRow = false;
    m_showHidden = false;
    const char* home = std::getenv("HOME");
    const String homeFolder = home && home[0] == '/' ? WithSlash(Resolve(home)) : String("/");
    m_folder = homeFolder; // what relative start folders are taken from
    if (!((!request.folder.IsEmpty() && List(WithSlash(Resolve(request.folder)))) || List(homeFolder) || List("/"))) {
        // Nothing readable at all: the folder above is the only way on.
        m_folder = homeFolder;
        m_entries.assign(1, Entry{"..", true});
        m_selected = -1;
        m_typed.Clear();
        ++m_listingSerial;
    }
    // A proposed name is a name in the folder shown, never a path of its own.
    if (request.save && request.name.Find("/") < 0)
        m_pathText = request.name;
}

// [SECTION] Model: rows, OK and Cancel

void CFileDialog::SetAccessCheck(AccessCheck check) { m_access = std::move(check); }

String CFileDialog::GetRowText(int32_t row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_entries.size())
        return String();
    const Entry& entry = m_entries[static_cast<size_t>(row)];
    return entry.folder && entry.name != ".." ? entry.name + "/" : entry.name;
}

void CFileDialog::SetPathText(const String& text)
{
    if (text == m_pathText)
        return;
    m_pathText = text;
    m_pathFromRow = false;
    m_selected = -1;
    m_message.Clear();
}

void CFileDialog::SelectRow(int32_t row)
{
    if (m_done)
        return;
    if (row < 0 || static_cast<size_t>(row) >= m_entries.size())
        row = -1;
    m_selected = row;
    m_message.Clear();
    if (row < 0)
        return;
    const Entry& entry = m_entries[static_cast<size_t>(row)];
    if (entry.folder) {
        if (m_pathFromRow)
            m_pathText.Clear();
        m_pathFromRow = false;
        return;
    }
    m_pathText = entry.name;
    m_pathFromRow = true;
}

void CFileDialog::ActivateRow(int32_t row)
{
    if (m_done || row < 0 || static_cast<size_t>(row) >= m_entries.size())
        return;
    const Entry entry = m_entries[static_cast<size_t>(row)]; // the listing may change below
    if (entry.folder) {
        EnterByRow(m_folder + entry.name + "/");
        return;
    }
    m_selected = row;
    m_pathText = entry.name;
    m_pathFromRow = true;
    Accept();
}

namespace {

// Whether name starts with prefix, ignoring the case of ASCII letters.
bool StartsWithFolded(const String& name, const String& prefix)
{
    return name.Length() >= prefix.Length() &&
           strncasecmp(name.CStr(), prefix.CStr(), static_cast<size_t>(prefix.Length())) == 0;
}

} // namespace

int32_t CFileDialog::FindPrefix(const String& prefix, int32_t from) const
{
    const int32_t count = static_cast<int32_t>(m_entries.size());
    if (count == 0 || prefix.IsEmpty())
        return -1;
    from = ((from % count) + count) % count;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t row = (from + i) % count;
        if (StartsWithFolded(m_entries[static_cast<size_t>(row)].name, prefix))
            return row;
    }
    return -1;
}

int32_t CFileDialog::TypeAhead(int32_t character, uint32_t now)
{
    if (m_done || character <= 0 || character > 255)
        return -1;
    if (m_typed.IsEmpty() || now - m_typedAt > kTypeAheadPause)
        m_typed.Clear();
    m_typed += static_cast<char>(character);
    m_typedAt = now;
    // One letter, or one letter repeated, steps through the names starting with it.
    bool repeated = true;
    for (int32_t i = 1; i < m_typed.Length() && repeated; ++i)
        repeated = std::tolower(static_cast<unsigned char>(m_typed[i])) ==
                   std::tolower(static_cast<unsigned char>(m_typed[0]));
    int32_t row = -1;
    if (!repeated)
        row = FindPrefix(m_typed, std::max(m_selected, 0));
    else
        row = FindPrefix(m_typed.Substring(0, 1), m_selected + 1);
    if (row >= 0)
        SelectRow(row);
    return row;
}

void CFileDialog::Accept()
{
    if (m_done)
        return;
    if (m_selected >= 0 && static_cast<size_t>(m_selected) < m_entries.size() &&
        m_entries[static_cast<size_t>(m_selected)].folder) {
        ActivateRow(m_selected);
        return;
    }
    if (m_pathText.IsEmpty())
        return;
    if (std::memchr(m_pathText.CStr(), 0, static_cast<size_t>(m_pathText.Length()))) {
        m_message = "Invalid file name";
        return;
    }
    const String path = Resolve(m_pathText);
    const bool namesFolder = path.EndsWith("/");
    const String bare = namesFolder && path.Length() > 1 ? path.Substring(0, path.Length() - 1) : path;
    std::error_code error;
    if (fs::is_directory(fs::status(fs::path(ToStd(bare)), error))) {
        EnterFolder(path);
        return;
    }
    if (namesFolder) {
        m_message = "Folder not found";
        return;
    }
    // The extension comes first, so that what is checked and confirmed is the file written.
    const String chosen = m_request.save ? SavePath(path, m_request.pattern) : path;
    if (chosen.Length() > kFileDialogMaxPath) {
        m_message = String::Format("The path is longer than %d characters", kFileDialogMaxPath);
        return;
    }
    if (m_request.save)
        AcceptSave(chosen);
    else
        AcceptOpen(chosen);
}

bool CFileDialog::Allowed(const String& path, int mode, const char* notFound)
{
    errno = 0;
    if (m_access ? m_access(path, mode) : access(path.CStr(), mode) == 0)
        return true;
    const int reason = errno; // before anything else can change it
    m_message = reason == ENOENT ? String(notFound) : String(std::strerror(reason != 0 ? reason : EACCES));
    return false;
}

void CFileDialog::AcceptOpen(const String& path)
{
    if (!Allowed(path, R_OK, "File not found"))
        return;
    // Reading a pipe or a device could wait forever or never end.
    std::error_code error;
    if (!fs::is_regular_file(fs::status(fs::path(ToStd(path)), error))) {
        m_message = "Not a regular file";
        return;
    }
    Finish(path);
}

void CFileDialog::AcceptSave(const String& path)
{
    const String name = BaseName(path);
    if (!Allowed(path.Substring(0, path.Length() - name.Length()), W_OK | X_OK, "Folder not found"))
        return;
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(ToStd(path)), error);
    if (!error && fs::exists(status)) {
        if (fs::is_directory(status)) { // only when the extension made the name of a folder
            m_message = std::strerror(EISDIR);
            return;
        }
        if (!fs::is_regular_file(status)) {
            m_message = "Not a regular file";
            return;
        }
        if (!Allowed(path, W_OK, "File not found"))
            return;
        if (m_confirmed != path) {
            m_confirmed = path;
            m_message = "Replace " + name + "? Press OK again to replace it.";
            return;
        }
    }
    Finish(path);
}

void CFileDialog::Finish(const String& path)
{
    m_result = path;
    m_accepted = true;
    m_done = true;
    m_message.Clear();
    if (!m_request.options.empty() && m_request.onOption)
        m_request.onOption(m_option);
}

void CFileDialog::NextOption()
{
    const int32_t options = static_cast<int32_t>(m_request.options.size());
    m_option = options > 0 ? (m_option + 1) % options : 0;
}

void CFileDialog::Cancel()
{
    if (m_done)
        return;
    m_result.Clear();
    m_accepted = false;
    m_done = true;
}

// [SECTION] View: widgets and look

namespace {

// text, or "..." and its end when it is wider than width in look's glyphs.
String FitTail(const CFont& look, const String& text, float width)
{
    float total = 0.0f;
    for (int32_t i = 0; i < text.Length(); ++i)
        total += look.Advance(static_cast<uint8_t>(text[i]));
    if (total <= width)
        return text;
    float used = 3.0f * look.Advance('.');
    int32_t start = text.Length();
    while (start > 0 && used + look.Advance(static_cast<uint8_t>(text[start - 1])) <= width)
        used += look.Advance(static_cast<uint8_t>(text[--start]));
    return "..." + text.Substring(start);
}

// The glyph tables hold printable ASCII only, so the ellipsis is three periods.
constexpr const char* kEllipsis = "...";

float TextWidth(const CFont& look, const String& text, int32_t from = 0, int32_t to = -1)
{
    if (to < 0)
        to = text.Length();
    float width = 0.0f;
    for (int32_t i = from; i < to; ++i)
        width += look.Advance(static_cast<uint8_t>(text[i]));
    return width;
}

// A row's text that fits width: as it is, or its start, the ellipsis and its end, which is
// the extension (".wav") when the name has one no wider than half the row, and the "/" of a
// folder. The start is never cut inside a UTF-8 sequence.
String FitName(const CFont& look, const String& text, float width)
{
    if (TextWidth(look, text) <= width)
        return text;
    int32_t tail = text.Length();
    const bool folder = text.EndsWith("/");
    if (folder) {
        --tail;
    } else {
        int32_t dot = -1;
        for (int32_t i = text.Length() - 1; i > 0 && dot < 0; --i)
            if (text[i] == '.')
                dot = i;
        if (dot > 0 && TextWidth(look, text, dot) <= width / 2)
            tail = dot;
    }
    const String end = text.Substring(tail);
    const float room = width - TextWidth(look, kEllipsis) - TextWidth(look, end);
    int32_t head = 0;
    float used = 0.0f;
    while (head < tail && used + look.Advance(static_cast<uint8_t>(text[head])) <= room)
        used += look.Advance(static_cast<uint8_t>(text[head++]));
    while (head > 0 && head < tail && (static_cast<uint8_t>(text[head]) & 0xC0) == 0x80)
        --head; // back to the start of the character cut
    return text.Substring(0, head) + kEllipsis + end;
}

constexpr float kScrollWidth = 10.0f;

// The path field: one line that scrolls left so that its end (where typing goes) stays in
// view, drawn clipped inside its border. Its background is a separate element, which the
// clipping would cut.
class CPathEdit : public CEdit {
public:
    void ScrollToEnd()
    {
        CFont& text = GetTextElement();
        const String& value = text.GetText();
        float width = 0.0f;
        for (int32_t i = 0; i < value.Length(); ++i)
            width += text.Advance(static_cast<uint8_t>(value[i]));
        const float border = GetBorder();
        const float room = GetWidth() - 2.0f * border - 2.0f; // the caret fits after the end
        // Wider than the text: the line never wraps.
        text.SetSize(std::max(width, room) + 64.0f, GetHeight() - border);
        text.SetPosition(border - std::max(0.0f, width - room), border);
    }

    void Render() override
    {
        const CVector at = GetAbsolutePosition();
        // Clipped inside the border, where the text starts when it is not scrolled.
        const float inset = std::max(0.0f, GetBorder() - 1.0f);
        CClipScope clip(at.x + inset, at.y, std::max(0.0f, GetWidth() - 2.0f * inset), GetHeight());
        CEdit::Render();
    }
};

} // namespace

CFileDialogView::CFileDialogView(const FileDialogRequest& request, const CSprite* font)
    : m_dim(std::make_unique<CGUI>())
{
    // The dialog hears a key before the path field does, so that it knows the field as it
    // was before the key (a Backspace on an empty field goes up) and can hand the keyboard
    // over before the field acts.
    m_slots.Connect(GetKeyboardSignal(), this, &CFileDialogView::OnKey);
    m_manager = std::make_unique<CGUIManager>();
    m_model.Open(request);

    const CFont look = DialogTextLook(font);
    PaintDialogDim(*m_dim);
    m_window = NewDialogWindow(look, !request.title.IsEmpty() ? request.title : String(request.save ? "Save" : "Open"),
                               kWidth, kHeight);
    CWindow* window = m_window;

    const float inner = kWidth - 2 * kDialogMargin;
    constexpr float kHiddenWidth = 110.0f;
    m_folderLine = PlaceInDialog(*window, new CFont(look), kDialogMargin, 32.0f, inner - kHiddenWidth - kDialogMargin, kDialogRowHeight, 4.0f);
    PaintDialogElement(*m_folderLine, 0.62f, 0.64f, 0.68f);
    auto* hidden = new CCheckBox;
    m_hidden = PlaceInDialog(*window, hidden, kWidth - kDialogMargin - kHiddenWidth, 35.0f, 12.0f, 12.0f, 4.0f);
    PaintDialogButton(*m_hidden, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
    m_hidden->SetStateColour(CButton::StateHover, 0.22f, 0.22f, 0.25f, 1.0f);
    m_hidden->SetStateColour(CButton::StateDown, kDialogAccent[0], kDialogAccent[1], kDialogAccent[2], 1.0f);
    m_hiddenLabel = PlaceInDialog(*window, new CFont(look), kWidth - kDialogMargin - kHiddenWidth + 18.0f, 32.0f,
                            kHiddenWidth - 18.0f, kDialogRowHeight, 4.0f);
    m_hiddenLabel->SetEnabled(true); // a click on the words toggles too
    SetDialogText(*m_hiddenLabel, "Hidden files");

    m_listOutline = PlaceInDialog(*window, new CGUI, kDialogMargin - 1.0f, 53.0f, inner + 2.0f, 182.0f, 3.0f);
    PaintDialogElement(*m_listOutline, kDialogAccent[0], kDialogAccent[1], kDialogAccent[2], 0.8f);
    m_listOutline->SetEnabled(false);
    m_listOutline->SetVisible(false);
    m_listBack = PlaceInDialog(*window, new CGUI, kDialogMargin, 54.0f, inner, 180.0f, 4.0f);
    PaintDialogElement(*m_listBack, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
    m_list = PlaceInDialog(*window, new CList, kDialogMargin + 4.0f, 58.0f, inner - 8.0f, 172.0f, 5.0f);
    PaintDialogElement(*m_list, 0.0f, 0.0f, 0.0f, 0.0f);
    PaintDialogElement(m_list->GetHoverHighlight(), 1.0f, 1.0f, 1.0f, 0.06f);
    PaintDialogElement(m_list->GetSelectHighlight(), kDialogAccent[0], kDialogAccent[1], kDialogAccent[2], 0.5f);
    m_list->SetFont(&look);
    m_list->AddColumn("name", inner - 8.0f - kScrollWidth - 2.0f);
    CScroll scroll;
    PaintDialogElement(scroll, 0.14f, 0.14f, 0.16f);
    scroll.GetThumb().SetSize(kScrollWidth, 28.0f);
    PaintDialogButton(scroll.GetThumb(), 0.36f, 0.36f, 0.40f);
    scroll.GetDecreaseButton().SetSize(kScrollWidth, kScrollWidth);
    PaintDialogButton(scroll.GetDecreaseButton(), 0.26f, 0.26f, 0.29f);
    scroll.GetIncreaseButton().SetSize(kScrollWidth, kScrollWidth);
    PaintDialogButton(scroll.GetIncreaseButton(), 0.26f, 0.26f, 0.29f);
    scroll.SetSize(kScrollWidth, 172.0f);
    m_list->SetScroll(&scroll);
    m_list->SetWheelScrolls(false); // the dialog scrolls it, by where the pointer is

    m_editBack = PlaceInDialog(*window, new CGUI, kDialogMargin, 242.0f, inner, 24.0f, 4.0f);
    PaintDialogElement(*m_editBack, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
    m_edit = PlaceInDialog(*window, new CPathEdit, kDialogMargin, 242.0f, inner, 24.0f, 5.0f);
    PaintDialogElement(*m_edit, 0.0f, 0.0f, 0.0f, 0.0f);
    m_edit->SetFont(&look);
    m_edit->GetTextElement().SetAlign(0);
    m_edit->SetBorder(5.0f);
    m_edit->SetLimit(static_cast<uint32_t>(kFileDialogMaxPath));

    m_message = PlaceInDialog(*window, new CFont(look), kDialogMargin, 270.0f, inner, kDialogRowHeight, 4.0f);
    PaintDialogElement(*m_message, 0.98f, 0.76f, 0.36f);
    const float buttonsY = kHeight - kDialogMargin - kDialogButtonHeight;
    // The request's option, as a button left of OK that steps through the options.
    const float optionWidth = request.options.empty() ? 0.0f : kDialogButtonWidth + kDialogMargin;
    if (!request.options.empty()) {
        m_optionButton = PlaceInDialog(*window, new CButton, kWidth - 3 * (kDialogButtonWidth + kDialogMargin), buttonsY,
                                       kDialogButtonWidth, kDialogButtonHeight, 4.0f);
        PaintDialogButton(*m_optionButton, kDialogWell[0], kDialogWell[1], kDialogWell[2]);
        m_optionButton->SetFont(&look);
    }
    m_filterLine = PlaceInDialog(*window, new CFont(look), kDialogMargin, buttonsY,
                                 inner - 2 * (kDialogButtonWidth + kDialogMargin) - optionWidth, kDialogButtonHeight, 4.0f);
    PaintDialogElement(*m_filterLine, 0.62f, 0.64f, 0.68f);
    SetDialogText(*m_filterLine, request.filterDescription);

    m_ok = PlaceInDialog(*window, new CButton, kWidth - 2 * (kDialogButtonWidth + kDialogMargin), buttonsY, kDialogButtonWidth,
                   kDialogButtonHeight, 4.0f);
    m_cancel = PlaceInDialog(*window, new CButton, kWidth - kDialogButtonWidth - kDialogMargin, buttonsY, kDialogButtonWidth,
                       kDialogButtonHeight, 4.0f);
    for (CButton* button : {m_ok, m_cancel}) {
        PaintDialogButton(*button, kDialogButton[0], kDialogButton[1], kDialogButton[2]);
        button->SetFont(&look);
    }
    m_ok->GetLabel().SetText("OK");
    m_cancel->GetLabel().SetText("Cancel");

    // The first element is the topmost: the parts before the window behind them.
    if (m_optionButton)
        m_manager->AddElement(m_optionButton);
    for (CGUI* element : std::initializer_list<CGUI*>{m_ok, m_cancel, m_hidden, m_hiddenLabel, m_edit, m_list,
                                                      m_message, m_filterLine, m_folderLine, m_listBack,
                                                      m_listOutline, m_editBack, m_window})
        m_manager->AddElement(element);

    m_slots.Connect(GetMouseSignal(), this, &CFileDialogView::OnMouse);
    m_slots.Connect(m_edit->onChange, this, &CFileDialogView::OnEditChange);
    m_slots.Connect(m_edit->onFocus, this, &CFileDialogView::OnEditFocus);
    m_slots.Connect(m_edit->onPress, this, &CFileDialogView::OnEditPress);
    m_slots.Connect(m_list->onRowSelect, this, &CFileDialogView::OnRowSelect);
    m_slots.Connect(m_list->onRowActivate, this, &CFileDialogView::OnRowActivate);
    m_slots.Connect(m_list->onPress, this, &CFileDialogView::OnListPress);
    m_slots.Connect(m_list->onFocus, this, &CFileDialogView::OnListFocus);
    m_slots.Connect(m_list->onRelease, this, &CFileDialogView::OnListRelease);
    m_slots.Connect(m_hidden->onRelease, this, &CFileDialogView::OnHiddenClick);
    m_slots.Connect(m_hiddenLabel->onRelease, this, &CFileDialogView::OnHiddenLabelClick);
    m_slots.Connect(m_ok->onRelease, this, &CFileDialogView::OnOk);
    if (m_optionButton)
        m_slots.Connect(m_optionButton->onRelease, this, &CFileDialogView::OnOptionClick);
    m_slots.Connect(m_cancel->onRelease, this, &CFileDialogView::OnCancel);
    m_slots.Connect(m_window->GetCloseButton().onRelease, this, &CFileDialogView::OnCancel);

    Place(0, 0);
    Sync();
    m_edit->SetFocus(true);
}

// The slots (the last member) go before the manager and its widgets.
CFileDialogView::~CFileDialogView() = default;

void CFileDialogView::Place(int32_t clientWidth, int32_t clientHeight)
{
    const float x = std::floor(std::max(0.0f, (static_cast<float>(clientWidth) - kWidth) / 2));
    const float y = std::floor(std::max(0.0f, (static_cast<float>(clientHeight) - kHeight) / 2));
    m_window->SetPosition(x, y);
    m_dim->SetSize(static_cast<float>(std::max(clientWidth, 0)), static_cast<float>(std::max(clientHeight, 0)));
}

void CFileDialogView::Sync()
{
    if (m_listedSerial != m_model.GetListingSerial()) {
        m_listedSerial = m_model.GetListingSerial();
        m_list->ClearRows();
        const int32_t count = static_cast<int32_t>(m_model.GetEntries().size());
        const float width = m_list->GetColumnWidth(0);
        for (int32_t row = 0; row < count; ++row)
            m_list->AddRow(FitName(m_list->GetTemplate(), m_model.GetRowText(row), width));
        SetDialogText(*m_folderLine, FitTail(*m_folderLine, m_model.GetFolder(), m_folderLine->GetWidth()));
    }
    m_list->SetSelected(m_model.GetSelected());
    m_hidden->SetDown(m_model.GetShowHidden());
    if (m_optionButton)
        m_optionButton->GetLabel().SetText(m_model.GetRequest().options[static_cast<size_t>(m_model.GetOption())]);
    SetDialogText(m_edit->GetTextElement(), m_model.GetPathText());
    ScrollPath();
    SetDialogText(*m_message, FitTail(*m_message, m_model.GetMessage(), m_message->GetWidth()));
}

// [SECTION] View: input and drawing

void CFileDialogView::OnKey(CInputMap& event)
{
    if (event.action != InputPress || m_model.IsDone())
        return;
    const int32_t key = event.value;
    if (event.character) {
        if (!m_listKeys)
            return; // the path field types it
        if (key == '/' || key == '~') {
            GiveKeysToList(false); // the field, active now, hears this character next
            return;
        }
        if (m_model.TypeAhead(key, AppTime()) >= 0) {
            m_list->ShowRow(m_model.GetSelected());
            Sync();
        }
        return;
    }
    // Holding a key may step through the list; it must not answer: holding Enter past the
    // replace question would replace, and holding Backspace to clear the field would climb.
    if (MoveSelection(key) || event.repeat)
        return;
    switch (key) {
    case KeyEnter:
        OnOk();
        break;
    case KeyEscape:
        OnCancel();
        break;
    case KeyTab:
        GiveKeysToList(!m_listKeys);
        break;
    case KeyBackspace:
        if (m_listKeys || m_edit->GetText().IsEmpty()) {
            if (m_model.GoUp())
                m_list->ShowRow(m_model.GetSelected());
            Sync();
        }
        break;
    case KeyA + 7: // Ctrl+H (a letter arrives as a key only with Ctrl)
        m_model.SetShowHidden(!m_model.GetShowHidden());
        Sync();
        break;
    default:
        break;
    }
}

bool CFileDialogView::MoveSelection(int32_t key)
{
    const int32_t count = static_cast<int32_t>(m_model.GetEntries().size());
    const int32_t selected = m_model.GetSelected();
    const int32_t page = std::max<int32_t>(1, static_cast<int32_t>(m_list->FittingRows()) - 1);
    int32_t row = 0;
    switch (key) {
    case KeyUp:
        row = selected < 0 ? count - 1 : selected - 1;
        break;
    case KeyDown:
        row = selected + 1;
        break;
    case KeyPageUp:
        row = selected < 0 ? 0 : selected - page;
        break;
    case KeyPageDown:
        row = selected < 0 ? page : selected + page;
        break;
    case KeyHome:
    case KeyEnd:
        if (!m_listKeys)
            return false; // the path field's caret keys
        row = key == KeyHome ? 0 : count - 1;
        break;
    default:
        return false;
    }
    if (count > 0)
        SelectFromKeys(std::clamp(row, 0, count - 1));
    return true;
}

void CFileDialogView::SelectFromKeys(int32_t row)
{
    m_model.SelectRow(row);
    m_list->ShowRow(row);
    Sync();
}

void CFileDialogView::GiveKeysToList(bool toList)
{
    m_listKeys = toList;
    m_listOutline->SetVisible(toList);
    if (toList && m_edit->IsActive())
        m_edit->SetFocus(false);
    else if (!toList && !m_edit->IsActive())
        m_edit->SetFocus(true);
}

namespace {

bool Inside(const CGUI& element, float x, float y)
{
    const CVector at = element.GetAbsolutePosition();
    return x >= at.x && y >= at.y && x < at.x + element.GetWidth() && y < at.y + element.GetHeight();
}

} // namespace

void CFileDialogView::OnMouse(CInputMap& event)
{
    CountHeldButtons(event, m_buttonsHeld);
    if (event.action == InputWheel)
        OnWheel(event.value);
}

void CFileDialogView::OnWheel(int32_t delta)
{
    const CVector pointer = GetMousePosition();
    if (m_model.IsDone() || !Inside(*m_listBack, pointer.x, pointer.y)) {
        m_wheelRest = 0;
        return;
    }
    constexpr int32_t kNotch = 120;
    // Away from the user (a positive delta) shows the rows above.
    const int64_t total = static_cast<int64_t>(m_wheelRest) - delta;
    const int64_t notches = total / kNotch;
    m_wheelRest = static_cast<int32_t>(total - notches * kNotch);
    if (notches == 0)
        return;
    m_list->ScrollBy(static_cast<int32_t>(std::clamp<int64_t>(notches * kWheelRows, -INT32_MAX, INT32_MAX)));
    // The rows moved under the pointer: the hover follows them.
    m_list->HitTest(PixelOf(pointer.x), PixelOf(pointer.y));
}

void CFileDialogView::ScrollPath() { static_cast<CPathEdit*>(m_edit)->ScrollToEnd(); }

void CFileDialogView::OnEditChange(const String& text)
{
    m_model.SetPathText(text);
    m_list->SetSelected(m_model.GetSelected());
    ScrollPath();
    SetDialogText(*m_message, FitTail(*m_message, m_model.GetMessage(), m_message->GetWidth()));
}

void CFileDialogView::OnEditFocus(bool focus)
{
    if (focus) {
        m_listKeys = false;
        m_listOutline->SetVisible(false);
        return;
    }
    // Typing stays with the path field, whichever widget the mouse used last, until the
    // list takes the keyboard.
    if (!m_listKeys && m_manager->GetFocus() != m_list)
        m_edit->SetFocus(true);
}

void CFileDialogView::OnEditPress() { GiveKeysToList(false); }

void CFileDialogView::OnListFocus(bool focus)
{
    if (focus)
        GiveKeysToList(true);
}

void CFileDialogView::OnListPress()
{
    m_skipSelect = false;
    GiveKeysToList(true);
}

void CFileDialogView::OnListRelease()
{
    // A click beside the rows clears the list's selection without a signal.
    if (!m_skipSelect && m_list->GetSelected() < 0 && m_model.GetSelected() >= 0) {
        m_model.SelectRow(-1);
        Sync();
    }
}

void CFileDialogView::OnRowSelect(int32_t row, int32_t)
{
    if (m_skipSelect) {
        m_list->SetSelected(m_model.GetSelected());
        return;
    }
    m_model.SelectRow(row);
    Sync();
}

void CFileDialogView::OnRowActivate(int32_t row, int32_t)
{
    m_skipSelect = true;
    m_model.ActivateRow(row);
    Sync();
}

void CFileDialogView::OnHiddenClick()
{
    // The check box has latched already; the model follows it.
    m_model.SetShowHidden(m_hidden->IsDown());
    Sync();
}

void CFileDialogView::OnHiddenLabelClick()
{
    m_model.SetShowHidden(!m_model.GetShowHidden());
    Sync();
}

void CFileDialogView::OnOptionClick()
{
    m_model.NextOption();
    Sync();
}

void CFileDialogView::OnOk()
{
    m_model.Accept();
    Sync();
}

void CFileDialogView::OnCancel() { m_model.Cancel(); }

void CFileDialogView::Render()
{
    m_dim->Render();
    m_manager->RenderAll();
}

void CFileDialogView::DrawOverlay()
{
    COverlayPass pass;
    Render();
}
