// Index: [SECTION] Model: listing and paths  [SECTION] Model: rows, OK and Cancel
// The file dialog's logic: listing a folder, the paths typed and chosen, the rows, OK and
// Cancel. Its widgets, look, input and drawing are in FileDialogView.cpp.
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
