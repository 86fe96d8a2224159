// Where the running program lives on disk, for finding the data installed beside it (the
// replacement for GetModuleFileName). Nothing here looks for or reads any data itself.
#pragma once

#include <string>

// The folder holding the running executable, absolute, without a trailing slash (the root
// folder is "/"); empty when the system cannot say (no /proc, a deleted executable).
std::string PlatformExecutableFolder();
