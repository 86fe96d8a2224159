#include "util/FileWrite.h"

#include <atomic>
#include <cerrno>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Symbolic links followed at most, as the kernel does before it says ELOOP.
constexpr int kMaxLinks = 40;
// Name characters of the target kept in the temporary file's name, so that a long name
// still leaves room for the suffix within the system's name limit.
constexpr size_t kNameKept = 64;
constexpr int kNameTries = 100;

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The contents of the symbolic link at path; false with errno set.
bool ReadLink(const std::string& path, std::string& target)
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Follows path while it names a symbolic link (also a dangling one): 0, or the errno value.
int ResolveLinks(std::string& path)
{
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            return errno == ENOENT ? 0 : errno; // a new file, or a folder that is missing
        if (!S_ISLNK(st.st_mode))
            return 0;
        std::string link;
        if (!ReadLink(path, link))
            return errno;
        if (link.empty())
            return ENOENT;
        path = link[0] == '/' ? link : FolderOf(path) + "/" + link;
    }
    return ELOOP;
}

// A temporary file is named ".NAME.~PID.XXXXXXXX.tmp": NAME is at most kNameKept characters
// of the target's name, PID the writer's process id in decimal, XXXXXXXX eight hex digits
// that tell one writer's files apart. While its writer lives the file is held under an
// exclusive flock, taken right after it is created.
constexpr char kPidMark[] = ".~";
constexpr char kTemporaryEnd[] = ".tmp";
constexpr size_t kHexDigits = 8;

// Eight hex digits nobody else is likely to pick at the same moment.
std::string Suffix()
{
    static std::atomic<uint32_t> counter{0};
    uint64_t mix = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    mix ^= static_cast<uint64_t>(counter.fetch_add(1)) * 0x9E3779B97F4A7C15ull;
    mix ^= mix >> 29;
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(mix ^ (mix >> 32)));
    return text;
}

// The writer's process id in a temporary file's name; 0 when the name is not one of ours.
pid_t WriterOf(const char* name)
{
    const std::string text = name;
    const size_t endSize = sizeof kTemporaryEnd - 1;
    if (text.size() < 2 || text[0] != '.' || text.size() < endSize ||
        text.compare(text.size() - endSize, endSize, kTemporaryEnd) != 0)
        return 0;
    const std::string stem = text.substr(0, text.size() - endSize); // ".NAME.~PID.XXXXXXXX"
    if (stem.size() < kHexDigits + 1 || stem[stem.size() - kHexDigits - 1] != '.')
        return 0;
    for (size_t i = stem.size() - kHexDigits; i < stem.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(stem[i])))
            return 0;
    const std::string head = stem.substr(0, stem.size() - kHexDigits - 1); // ".NAME.~PID"
    const size_t mark = head.rfind(kPidMark);
    if (mark == std::string::npos || mark == 0 || mark + 2 >= head.size() || head.size() - mark > 2 + 10)
        return 0;
    long long pid = 0;
    for (size_t i = mark + 2; i < head.size(); ++i) {
        if (head[i] < '0' || head[i] > '9')
            return 0;
        pid = pid * 10 + (head[i] - '0');
    }
    return pid > 0 && pid <= INT32_MAX ? static_cast<pid_t>(pid) : 0;
}

// Removes the temporary files in folder that a writer left when it died before finishing: a
// file is a leftover only when its name says it is ours, it is a regular file of this user,
// no process has the id its name gives, and nobody holds its lock. The id alone could be
// reused, or belong to another machine's or container's process; the lock alone could be
// free for the moment between a live writer creating the file and locking it. Best effort.
void RemoveLeftovers(const std::string& folder)
{
    DIR* listing = opendir(folder.c_str());
    if (!listing)
        return;
    const int at = dirfd(listing);
    while (const struct dirent* entry = readdir(listing)) {
        const pid_t writer = WriterOf(entry->d_name);
        if (writer == 0 || writer == getpid() || kill(writer, 0) == 0 || errno != ESRCH)
            continue;
        const int fd = openat(at, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlinkat(at, entry->d_name, 0);
        close(fd);
    }
    closedir(listing);
}

// Gives the replacement the old file's owner and group. Only a privileged process may give a
// file away; for any other the replacement stays the writer's, as every file it creates is,
// and that is no reason to fail the save.
void KeepOwner(int fd, const struct stat& old)
{
    if (fchown(fd, old.st_uid, old.st_gid) != 0)
        return;
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, at, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) { // no progress and no reason: treat as a full disk
            errno = ENOSPC;
            return false;
        }
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

CAtomicFile::~CAtomicFile() { Discard(); }

bool CAtomicFile::Fail(int error)
{
    if (m_error == 0)
        m_error = error ? error : EIO;
    Discard();
    return false;
}

void CAtomicFile::Discard()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        unlink(m_temporary.c_str());
    m_temporary.clear();
}

bool CAtomicFile::Open(const char* path)
{
    Discard();
    m_error = 0;
    m_inPlace = false;
    m_target = path ? path : "";
    if (m_target.empty())
        return Fail(ENOENT);

    struct stat st;
    if (stat(m_target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Fail(EISDIR);
        if (!S_ISREG(st.st_mode)) {
            // A device or a pipe has no contents to replace; it takes the bytes as they come.
            m_inPlace = true;
            m_fd = open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            return m_fd >= 0 || Fail(errno);
        }
    } else if (errno != ENOENT) {
        return Fail(errno);
    }

    if (int error = ResolveLinks(m_target))
        return Fail(error);
    struct stat existing;
    const bool exists = lstat(m_target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // A file the user may not write stays protected, as writing into it directly would be.
    if (exists && access(m_target.c_str(), W_OK) != 0)
        return Fail(errno);

    const std::string folder = FolderOf(m_target);
    RemoveLeftovers(folder);
    const std::string stem = folder + "/." + NameOf(m_target).substr(0, kNameKept) + kPidMark +
                             std::to_string(getpid()) + ".";
    for (int attempt = 0; attempt < kNameTries && m_fd < 0; ++attempt) {
        std::string candidate = stem + Suffix() + kTemporaryEnd;
        // 0666 lets the umask (and a default ACL) decide, as for any new file.
        m_fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            m_temporary = std::move(candidate);
        else if (errno != EEXIST)
            return Fail(errno);
    }
    if (m_fd < 0)
        return Fail(EEXIST);
    // Held until the descriptor closes (or the process ends): it tells a later writer's
    // RemoveLeftovers that this file is in use. A folder whose file system has no locks
    // still gets the save; only the id in the name protects the file then.
    while (flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EINTR) {
    }

    if (exists) {
        if (fchmod(m_fd, existing.st_mode & 07777) != 0)
            return Fail(errno);
        if (existing.st_uid != geteuid() || existing.st_gid != getegid())
            KeepOwner(m_fd, existing);
    }
    return true;
}

bool CAtomicFile::Write(const void* data, size_t size)
{
    if (m_fd < 0)
        return Fail(m_error ? m_error : EBADF);
    if (size == 0)
        return true;
    if (!data)
        return Fail(EINVAL);
    return WriteAll(m_fd, data, size) || Fail(errno);
}

bool CAtomicFile::Commit()
{
    if (m_fd < 0)
        return Fail(m_error ? m_error : EBADF);
    if (m_inPlace) {
        const int result = close(m_fd);
        m_fd = -1;
        return result == 0 || Fail(errno);
    }
    if (fsync(m_fd) != 0)
        return Fail(errno);
    const int closed = close(m_fd);
    m_fd = -1;
    if (closed != 0)
        return Fail(errno);
    if (rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return Fail(errno);
    m_temporary.clear();
    // The new contents are in place; making the rename itself durable is best effort (some
    // file systems cannot sync a folder), and a failure here must not report a lost file.
    const int folder = open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

bool WriteFileAtomically(const char* path, const void* data, size_t size, int* error)
{
    CAtomicFile file;
    const bool ok = file.Open(path) && file.Write(data, size) && file.Commit();
    if (error)
        *error = ok ? 0 : file.GetError();
    return ok;
}
