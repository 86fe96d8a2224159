// Autosave files: each running instance writes its project to a file of its own in one folder
// (normally PlatformStateFolder()), and a later start finds the files whose instance is gone.
// A file "autosave-<pid>-<n>.xml" belongs to whoever holds a lock (flock) on the open file
// "autosave-<pid>-<n>.lock" beside it, kept for the instance's life: the kernel lets go of it
// when the process ends in any way, so a lock that can be taken means a dead owner (a PID alone
// proves nothing, PIDs are reused). When to write is the caller's decision; nothing here
// shows anything. Main thread; FindOrphans and Discard also from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CAutosave {
public:
    static constexpr int64_t kMaxFileBytes = int64_t(64) << 20; // larger files are not offered
    static constexpr size_t kNameReadBytes = size_t(64) << 10;  // where an orphan's name is looked for

    // Touches nothing on disk.
    explicit CAutosave(std::string folder);
    // Lets go of the claim. Leaves the autosave file (a crash leaves it too); the lock file
    // goes with it only when there is no autosave file to guard (HasFile() false).
    ~CAutosave();
    CAutosave(const CAutosave&) = delete;
    CAutosave& operator=(const CAutosave&) = delete;

    // Claims a file name of this instance's own in the folder (created as needed, 0700): takes
    // the lock of a name whose autosave does not exist yet (one left by an earlier process
    // with the same PID is never reused). True at once when already claimed. False, with
    // *error set to the errno value, when no name could be claimed.
    bool Claim(int* error = nullptr);
    // Replaces the claimed file's contents with bytes in one step (util/FileWrite.h), claiming
    // first when needed. False, with *error set to the errno value, when that failed: the file
    // is then as it was.
    bool Write(const std::string& bytes, int* error = nullptr);
    // Removes the file (a clean quit, a save); the claim stays, and a later Write writes it anew.
    void Remove();
    // A write happened and was not removed since.
    bool HasFile() const { return m_hasFile; }
    // The claimed autosave file; empty until a claim.
    const std::string& GetPath() const { return m_path; }

    struct Orphan {
        std::string path;
        int64_t modified = 0; // seconds since the epoch
        std::string name;     // the project's <name>, as stored; empty when not found in the
                              // first kNameReadBytes bytes
    };
    // Autosaves in folder whose owner no longer runs (its lock can be taken, or its lock file
    // is gone), newest first (then by path). Files of running instances, this one included,
    // are never listed; neither is one whose lock cannot be looked at, one that is not a
    // regular file (a symbolic link is not), nor one larger than kMaxFileBytes. Changes nothing.
    static std::vector<Orphan> FindOrphans(const std::string& folder);
    // Removes an orphan and its lock file (Discard, or after a recovered project was loaded).
    // Removes nothing while the file's owner still runs, nor a file whose name is not an
    // autosave's.
    static void Discard(const std::string& path);

private:
    std::string m_folder;
    std::string m_path;     // .xml; empty until claimed
    std::string m_lockPath; // .lock
    int m_lockFd = -1;      // holds the lock while claimed
    bool m_hasFile = false;
};
