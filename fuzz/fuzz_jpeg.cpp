// Fuzz target: the JPEG reader on arbitrary bytes.
#include "FuzzImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckImage(DecodeJPEG(data, size, kFuzzMaxPixels));
    return 0;
}
