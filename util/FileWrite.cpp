#include "util/FileWrite.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <vector>

#include <fcntl.h>
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

// A name nobody else is likely to pick at the same moment.
std::string Suffix()
{
    static std::atomic<uint32_t> counter{0};
    uint64_t mix = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    mix ^= static_cast<uint64_t>(getpid()) << 32;
    mix ^= static_cast<uint64_t>(counter.fetch_add(1)) * 0x9E3779B97F4A7C15ull;
    mix ^= mix >> 29;
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(mix ^ (mix >> 32)));
    return text;
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

    const std::string stem = FolderOf(m_target) + "/." + NameOf(m_target).substr(0, kNameKept) + ".";
    for (int attempt = 0; attempt < kNameTries && m_fd < 0; ++attempt) {
        std::string candidate = stem + Suffix() + ".tmp";
        // 0666 lets the umask (and a default ACL) decide, as for any new file.
        m_fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            m_temporary = std::move(candidate);
        else if (errno != EEXIST)
            return Fail(errno);
    }
    if (m_fd < 0)
        return Fail(EEXIST);

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
