// Where the program's files live on disk: the folder of the running executable (for the data
// installed beside it), and the per-user folders of the XDG base directory rules (state such
// as autosaves, configuration such as settings). The folder queries only compute paths; only
// PlatformMakeFolders creates anything, and only PlatformReadFileStart reads a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The folder holding the running executable, absolute, without a trailing slash (the root
// folder is "/"); empty when the system cannot say (no /proc, a deleted executable).
std::string PlatformExecutableFolder();

// "$XDG_STATE_HOME/quillwave", or "$HOME/.local/state/quillwave" when XDG_STATE_HOME is unset,
// empty or not absolute; empty when HOME is not absolute either. No trailing slash. Does not
// create the folder. Reads the environment: main thread, not while another thread sets it.
std::string PlatformStateFolder();
// The same with XDG_CONFIG_HOME and "$HOME/.config/quillwave".
std::string PlatformConfigFolder();

// Creates folder and any missing parents, each with the permission bits 0700 (less the umask).
// True when folder is a folder afterwards, whoever made it; otherwise false with *error (when
// given) set to the errno value that says why (ENOTDIR when something else has its name).
bool PlatformMakeFolders(const std::string& folder, int* error = nullptr);

// What PlatformReadFileStart learned of a file.
struct PlatformFileStatus {
    int64_t size = 0;     // bytes
    int64_t modified = 0; // last modification, seconds since the epoch
};

// Reads the first bytes of path, at most maxBytes, into *bytes (which it replaces). Only a
// regular file is read: a folder, pipe, socket or device fails at once rather than blocking,
// and with followLink false so does a symbolic link. *status (when given) describes the
// opened file itself, so that size, time and bytes always belong together. False, with
// *bytes empty, when the file cannot be opened or read or is not a regular file.
bool PlatformReadFileStart(const std::string& path, size_t maxBytes, bool followLink, std::string* bytes,
                           PlatformFileStatus* status = nullptr);
