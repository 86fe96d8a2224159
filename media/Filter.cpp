#include "media/Filter.h"

#include <cmath>
#include <cstdlib>

uint8_t CFilter::FilterAt(const CImage& source, int64_t x, int64_t y, uint32_t channel) const
{
    const uint32_t rows = kernel.Rows(), columns = kernel.Columns();
    const uint32_t bytesPerPixel = source.BytesPerPixel();
    const size_t rowBytes = source.RowBytes();
    const int64_t top = y - static_cast<int64_t>((rows - 1) / 2);
    const int64_t left = x - static_cast<int64_t>((columns - 1) / 2);
    float sum = 0.0f;
    for (uint32_t i = 0; i < rows; ++i) {
        const int64_t sy = top + i;
        if (sy < 0 || sy >= source.height)
            continue;
        const uint8_t* row = source.pixels + static_cast<size_t>(sy) * rowBytes;
        for (uint32_t j = 0; j < columns; ++j) {
            const int64_t sx = left + j;
            if (sx < 0 || sx >= source.width)
                continue;
            sum += kernel.Get(i, j) * row[static_cast<size_t>(sx) * bytesPerPixel + channel];
        }
    }
    if (!(sum > 0.0f))
        return 0;
    if (sum > 255.0f)
        return 255;
    return static_cast<uint8_t>(sum);
}

CImage CFilter::Apply(const CImage& source) const
{
    CImage result;
    const uint32_t bytesPerPixel = source.BytesPerPixel();
    if (!source.pixels || bytesPerPixel == 0 ||
        !result.Allocate(source.bitsPerPixel, source.width, source.height, source.channels))
        return result;
    uint8_t* out = result.pixels;
    for (uint32_t y = 0; y < source.height; ++y)
        for (uint32_t x = 0; x < source.width; ++x)
            for (uint32_t c = 0; c < bytesPerPixel; ++c)
                *out++ = FilterAt(source, x, y, c);
    return result;
}

CFilterBlur::CFilterBlur(float edge, float centre)
{
    kernel.Resize(3, 3);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            float weight = dx == 0 && dy == 0 ? centre : (1.0f - 0.5f * static_cast<float>(std::abs(dx) + std::abs(dy))) * edge;
            kernel.Set(static_cast<uint32_t>(dy + 1), static_cast<uint32_t>(dx + 1), weight);
        }
}

CFilterResize::CFilterResize() { kernel = CFilterBlur().kernel; }

CImage CFilterResize::Resize(const CImage& source, uint32_t newWidth, uint32_t newHeight) const
{
    CImage result;
    const uint32_t bytesPerPixel = source.BytesPerPixel();
    if (!source.pixels || bytesPerPixel == 0 || source.width == 0 || source.height == 0 ||
        !result.Allocate(source.bitsPerPixel, newWidth, newHeight, source.channels) || !result.pixels)
        return result;
    const float sx = static_cast<float>(source.width) / static_cast<float>(newWidth);
    const float sy = static_cast<float>(source.height) / static_cast<float>(newHeight);
    uint8_t* out = result.pixels;
    for (uint32_t y = 0; y < newHeight; ++y) {
        const int64_t fromY = static_cast<int64_t>(static_cast<float>(y) * sy);
        for (uint32_t x = 0; x < newWidth; ++x) {
            const int64_t fromX = static_cast<int64_t>(static_cast<float>(x) * sx);
            for (uint32_t c = 0; c < bytesPerPixel; ++c)
                *out++ = FilterAt(source, fromX, fromY, c);
        }
    }
    return result;
}
