// Fuzz target: the TGA reader on arbitrary bytes.
#include "FuzzImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckImage(DecodeTGA(data, size, kFuzzMaxPixels));
    return 0;
}
