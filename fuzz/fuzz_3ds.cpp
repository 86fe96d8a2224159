// Fuzz target: the 3DS reader over arbitrary bytes.
#include "media/Model.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CModel model;
    Read3dsFromMemory(model, data, size);
    return 0;
}
