// Reading a whole file into memory, bounded: the readers of file formats take their bytes
// from here and parse them from memory. No state; any thread.
#pragma once

#include "util/String.h"

#include <cstddef>
#include <vector>

// Reads a whole file of at most maxBytes bytes; false (and bytes empty) when it cannot be
// read or is larger.
bool ReadWholeFile(const String& path, std::vector<char>& bytes, size_t maxBytes);
