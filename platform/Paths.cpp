#include "platform/Paths.h"

#include <SDL.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string PlatformExecutableFolder()
{
    // SDL_GetBasePath needs no SDL_Init; on Linux it resolves /proc/self/exe and answers with
    // a trailing slash.
    char* base = SDL_GetBasePath();
    if (!base)
        return std::string();
    std::string folder(base);
    SDL_free(base);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// [SECTION] XDG folders

namespace {

// The XDG rules ignore a relative value: it is treated as unset.
bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

std::string UnderBase(std::string base, const char* rest)
{
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + rest;
}

std::string XdgFolder(const char* variable, const char* homeRelative)
{
    const char* value = std::getenv(variable);
    if (IsAbsolute(value))
        return UnderBase(value, "/quillwave");
    const char* home = std::getenv("HOME");
    if (IsAbsolute(home))
        return UnderBase(home, homeRelative);
    return std::string();
}

bool IsFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string PlatformStateFolder() { return XdgFolder("XDG_STATE_HOME", "/.local/state/quillwave"); }

std::string PlatformConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config/quillwave"); }

bool PlatformMakeFolders(const std::string& folder, int* error)
{
    auto fail = [error](int code) {
        if (error)
            *error = code;
        return false;
    };
    if (folder.empty())
        return fail(ENOENT);
    // Each prefix that ends before a slash, then the whole path; mkdir's EEXIST is checked
    // only at the end, so that a folder made by someone else in between is fine.
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string prefix = folder.substr(0, end);
        if (prefix.back() != '/' && mkdir(prefix.c_str(), 0700) != 0) {
            const int code = errno;
            if (code != EEXIST && !IsFolder(prefix))
                return fail(code);
        }
        if (end == std::string::npos)
            break;
    }
    struct stat info;
    if (stat(folder.c_str(), &info) != 0)
        return fail(errno);
    if (!S_ISDIR(info.st_mode))
        return fail(ENOTDIR);
    return true;
}

// [SECTION] Reading a file's start

bool PlatformReadFileStart(const std::string& path, size_t maxBytes, bool followLink, std::string* bytes,
                           PlatformFileStatus* status)
{
    bytes->clear();
    // O_NONBLOCK: opening a pipe for reading would otherwise wait for a writer.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    const int fd = open(path.c_str(), flags);
    if (fd < 0)
        return false;
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        // A file that grew since fstat is read only up to its size then.
        const size_t want = static_cast<uint64_t>(info.st_size) < maxBytes ? static_cast<size_t>(info.st_size) : maxBytes;
        bytes->resize(want);
        size_t got = 0;
        while (ok && got < want) {
            const ssize_t n = read(fd, &(*bytes)[got], want - got);
            if (n > 0)
                got += static_cast<size_t>(n);
            else if (n == 0)
                break; // the file shrank since fstat
            else if (errno != EINTR)
                ok = false;
        }
        bytes->resize(ok ? got : 0);
        if (ok && status) {
            status->size = info.st_size;
            status->modified = info.st_mtim.tv_sec;
        }
    }
    close(fd);
    return ok;
}
