// Fuzz target: the OBJ reader. The input is an OBJ text, optionally followed by a NUL byte
// and the text of the material library that any "mtllib" line gets.
#include "media/Model.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    const char* nul = static_cast<const char*>(std::memchr(text, 0, size));
    const size_t objSize = nul ? static_cast<size_t>(nul - text) : size;
    MaterialLibraryReader library = [&](const String&, std::vector<char>& out) {
        if (!nul)
            return false;
        out.assign(nul + 1, text + size);
        return true;
    };
    CModel model;
    ReadObjFromMemory(model, text, objSize, library);
    return 0;
}
