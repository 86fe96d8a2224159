#include "util/FileRead.h"

#include <cstdio>

bool ReadWholeFile(const String& path, std::vector<char>& bytes, size_t maxBytes)
{
    bytes.clear();
    FILE* file = std::fopen(path.CStr(), "rb");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && static_cast<unsigned long>(size) <= maxBytes && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    if (!ok)
        bytes.clear();
    return ok;
}
