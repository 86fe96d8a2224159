#include "app/Autosave.h"

#include "platform/Paths.h"
#include "util/FileWrite.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kPrefix[] = "autosave-";
const char kFileSuffix[] = ".xml";
const char kLockSuffix[] = ".lock";

bool EndsWith(const std::string& s, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// "autosave-<digits>-<digits>.xml": the only names this module writes, so temporary files of
// an unfinished write and anything else in the folder are never taken for autosaves.
bool IsAutosaveName(const std::string& name)
{
    const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kFileSuffix - 1;
    if (name.size() <= prefix + suffix || name.compare(0, prefix, kPrefix) != 0 || !EndsWith(name, kFileSuffix))
        return false;
    const std::string middle = name.substr(prefix, name.size() - prefix - suffix);
    const size_t dash = middle.find('-');
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 10 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return dash != std::string::npos && digits(middle.substr(0, dash)) && digits(middle.substr(dash + 1));
}

std::string LockPathOf(const std::string& path)
{
    return path.substr(0, path.size() - (sizeof kFileSuffix - 1)) + kLockSuffix;
}

bool Exists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

enum class Owner { Gone, Running };

// Gone when the lock file is missing or its lock can be taken; then, with hold, *fd keeps the
// open file and its lock. Running also when the lock file cannot be looked at: a file that
// may be a running instance's is left alone.
Owner LockOwner(const std::string& lockPath, bool hold, int* fd)
{
    *fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (*fd < 0)
        return errno == ENOENT ? Owner::Gone : Owner::Running;
    struct stat info;
    const bool gone = fstat(*fd, &info) == 0 && S_ISREG(info.st_mode) && flock(*fd, LOCK_EX | LOCK_NB) == 0;
    if (!gone || !hold) {
        close(*fd);
        *fd = -1;
    }
    return gone ? Owner::Gone : Owner::Running;
}

// The text of the root's first <name> child when the bytes start a project document.
std::string ProjectName(const std::string& start)
{
    CXMLDocument doc;
    doc.BeginParse();
    doc.ParseMore(start.data(), start.size()); // a cut document keeps what was read
    const CXMLNode* name = doc.name == "project" ? doc.FindChild("name") : nullptr;
    return name ? std::string(name->text.CStr(), static_cast<size_t>(name->text.Length())) : std::string();
}

std::atomic<uint32_t> g_nextNumber{0};

} // namespace

CAutosave::CAutosave(std::string folder) : m_folder(std::move(folder)) {}

CAutosave::~CAutosave()
{
    if (m_lockFd < 0)
        return;
    if (!m_hasFile)
        unlink(m_lockPath.c_str()); // still locked: no claimer can take the name meanwhile
    close(m_lockFd);
}

bool CAutosave::Claim(int* error)
{
    if (m_lockFd >= 0)
        return true;
    int failure = 0;
    if (!PlatformMakeFolders(m_folder, &failure)) {
        if (error)
            *error = failure;
        return false;
    }
    // A few names, each tried once: one may be an earlier process's leftover, or odd.
    failure = EEXIST;
    const std::string stem = m_folder + "/" + kPrefix + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string base = stem + std::to_string(g_nextNumber++);
        const std::string path = base + kFileSuffix, lockPath = base + kLockSuffix;
        if (Exists(path))
            continue;
        const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
        if (fd < 0) {
            failure = errno;
            continue;
        }
        // The lock must be on the file that has the name now: a Discard may have removed
        // the lock file between open and flock.
        struct stat opened, named;
        const bool ok = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                        stat(lockPath.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
                        named.st_ino == opened.st_ino && !Exists(path);
        if (!ok) {
            failure = EEXIST;
            close(fd);
            continue;
        }
        m_lockFd = fd;
        m_path = path;
        m_lockPath = lockPath;
        return true;
    }
    if (error)
        *error = failure;
    return false;
}

bool CAutosave::Write(const std::string& bytes, int* error)
{
    if (!Claim(error))
        return false;
    if (!WriteFileAtomically(m_path.c_str(), bytes.data(), bytes.size(), error))
        return false;
    m_hasFile = true;
    return true;
}

void CAutosave::Remove()
{
    if (!m_path.empty())
        unlink(m_path.c_str());
    m_hasFile = false;
}

std::vector<CAutosave::Orphan> CAutosave::FindOrphans(const std::string& folder)
{
    std::vector<Orphan> orphans;
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (!dir)
        return orphans;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsAutosaveName(name))
            continue;
        Orphan orphan;
        orphan.path = folder + "/" + name;
        int fd;
        if (LockOwner(LockPathOf(orphan.path), false, &fd) != Owner::Gone)
            continue;
        std::string start;
        PlatformFileStatus status;
        if (!PlatformReadFileStart(orphan.path, kNameReadBytes, false, &start, &status) ||
            status.size > kMaxFileBytes)
            continue;
        orphan.modified = status.modified;
        orphan.name = ProjectName(start);
        orphans.push_back(std::move(orphan));
    }
    closedir(dir);
    std::sort(orphans.begin(), orphans.end(), [](const Orphan& a, const Orphan& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.path < b.path;
    });
    return orphans;
}

void CAutosave::Discard(const std::string& path)
{
    // Only a name this module writes: a slip of the caller never removes a project file.
    if (!IsAutosaveName(path.substr(path.rfind('/') + 1)))
        return;
    const std::string lockPath = LockPathOf(path);
    int fd;
    if (LockOwner(lockPath, true, &fd) != Owner::Gone)
        return;
    unlink(path.c_str());
    if (fd >= 0) {
        unlink(lockPath.c_str()); // while locked, so that no claimer holds this one meanwhile
        close(fd);
    }
}
