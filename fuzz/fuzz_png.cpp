// Fuzz target: the PNG reader on arbitrary bytes.
#include "FuzzImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckImage(DecodePNG(data, size, kFuzzMaxPixels));
    return 0;
}
