// Shared by the image reader fuzz targets: a smaller picture limit than the program's (so
// that each input stays quick) and a check that touches every byte a reader hands back,
// so that a block shorter than its reported size shows up under AddressSanitizer.
#pragma once

#include "media/ImageReaders.h"

#include <cstdint>
#include <cstdlib>

constexpr uint64_t kFuzzMaxPixels = 1u << 22;

inline void CheckImage(const ImageFile& image)
{
    if (!image.pixels)
        return;
    const int32_t channels = image.Channels();
    if (image.width <= 0 || image.height <= 0 || channels < 1 || channels > 4 ||
        static_cast<uint64_t>(image.width) * image.height > kFuzzMaxPixels)
        std::abort();
    const size_t bytes = static_cast<size_t>(image.width) * image.height * channels;
    volatile uint8_t sink = 0;
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes; ++i)
        sum = static_cast<uint8_t>(sum + image.pixels[i]);
    sink = sum;
    (void)sink;
}
