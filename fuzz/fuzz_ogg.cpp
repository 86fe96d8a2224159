// Fuzz target: an Ogg Vorbis file read through the decoder, once to its end and once looping
// for a bounded number of bytes, with a seek in between. Reads must stay inside their
// destination and a looping read of a damaged file must end.
#include "sound/OggDecoder.h"

#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    COggDecoder decoder;
    if (!decoder.Open(file))
        return 0;
    std::vector<uint8_t> block(4096);
    for (int i = 0; i < 64 && !decoder.AtEnd(); ++i)
        if (decoder.Read(static_cast<uint32_t>(block.size()), block.data(), false) == 0 && !decoder.AtEnd())
            break;
    decoder.SeekSeconds(0.0);
    for (int i = 0; i < 8; ++i)
        decoder.Read(static_cast<uint32_t>(block.size()), block.data(), true);
    return 0;
}
