// Replacing a file's contents all at once: the bytes go to a temporary file beside the target,
// which is flushed to the disk and then renamed over the target. Until that rename the target
// is untouched; after any failure it is byte-identical to what it was and the temporary file
// is gone. A symbolic link as target keeps being a link: the file it points to is replaced.
// Failures carry the errno value that says why (for strerror). POSIX only; not thread-safe
// for one object, independent objects may be used from different threads. The temporary
// file's name carries the writer's process id and the file is locked while it is written, so
// that each replacement first removes the temporary files that dead writers left in the same
// folder (killed mid-save) and never touches a live writer's.
#pragma once

#include <cstddef>
#include <string>

class CAtomicFile {
public:
    CAtomicFile() = default;
    // Discards the temporary file unless Commit succeeded.
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Starts a replacement of path. The target may be missing (it is then created with the
    // permission bits 0666 less the umask) or a regular file (its permission bits, and where
    // the system allows its owner and group, carry over). A folder fails with EISDIR. A
    // target that exists but is neither (a device, a pipe) cannot be replaced: it is written
    // in place, so /dev/stdout works. False on failure, with GetError() set.
    bool Open(const char* path);
    // Appends size bytes. False once anything failed (also an earlier step).
    bool Write(const void* data, size_t size);
    // Flushes the bytes to the disk and puts them in place of the target. False, with the
    // target unchanged and the temporary file removed, when any step up to the rename failed.
    bool Commit();
    // Drops what was written; the target stays as it was.
    void Discard();

    // The errno value of the first failure; 0 while nothing failed.
    int GetError() const { return m_error; }
    // The file that is (or would be) replaced: the target with its symbolic links resolved.
    const std::string& GetTarget() const { return m_target; }

private:
    bool Fail(int error);

    int m_fd = -1;
    int m_error = 0;
    bool m_inPlace = false;  // writing straight into a device or pipe
    std::string m_target;    // the resolved target
    std::string m_temporary; // beside m_target; empty when there is none
};

// Replaces path's contents with size bytes in one step, as CAtomicFile does. True on success;
// otherwise false with *error (when given) set to the errno value that says why.
bool WriteFileAtomically(const char* path, const void* data, size_t size, int* error = nullptr);
