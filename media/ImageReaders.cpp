// The BMP and TGA readers, the file front end shared by all four formats, and the hand-over
// to CImage. PNG and JPEG live in PngReader.cpp and JpegReader.cpp.
//
// Index:
//   [SECTION] ImageFile and shared helpers
//   [SECTION] BMP
//   [SECTION] TGA
//   [SECTION] Files
#include "media/ImageReaders.h"

#include "media/Image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

// [SECTION] ImageFile and shared helpers

ImageFile::~ImageFile() { std::free(pixels); }

ImageFile::ImageFile(ImageFile&& other) noexcept
    : pixels(std::exchange(other.pixels, nullptr)), width(other.width), height(other.height),
      bitsPerPixel(other.bitsPerPixel)
{
}

ImageFile& ImageFile::operator=(ImageFile&& other) noexcept
{
    if (this != &other) {
        std::free(pixels);
        pixels = std::exchange(other.pixels, nullptr);
        width = other.width;
        height = other.height;
        bitsPerPixel = other.bitsPerPixel;
    }
    return *this;
}

uint8_t* ImageFile::ReleasePixels() { return std::exchange(pixels, nullptr); }

bool ImageSizeAllowed(uint64_t width, uint64_t height, uint64_t maxPixels)
{
    return width > 0 && height > 0 && width <= kImageMaxSide && height <= kImageMaxSide &&
           width * height <= maxPixels;
}

namespace {

uint32_t Get16(const uint8_t* at) { return at[0] | (at[1] << 8); }

uint32_t Get32(const uint8_t* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

// Swaps blue and red in place (BGR(A) file order to RGB(A)).
void SwapRedBlue(uint8_t* pixels, size_t count, uint32_t bytesPerPixel)
{
    for (size_t i = 0; i < count; ++i, pixels += bytesPerPixel)
        std::swap(pixels[0], pixels[2]);
}

// 32-bit BMP and TGA files often leave the fourth byte 0 to mean "no alpha"; a picture whose
// alpha is 0 everywhere would be invisible, so it is taken as opaque instead.
void OpaqueWhenAlphaUnused(uint8_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (pixels[i * 4 + 3] != 0)
            return;
    for (size_t i = 0; i < count; ++i)
        pixels[i * 4 + 3] = 255;
}

// Turns BMP and TGA pixel order (blue, green, red, alpha) into the images' and hands the
// block to the result.
void FinishBgr(ImageFile& result, uint8_t* pixels, size_t count, uint32_t bits)
{
    if (bits >= 24)
        SwapRedBlue(pixels, count, bits / 8);
    if (bits == 32)
        OpaqueWhenAlphaUnused(pixels, count);
    result.pixels = pixels;
}

} // namespace

// [SECTION] BMP

ImageFile DecodeBMP(const uint8_t* data, size_t size, uint64_t maxPixels)
{
    ImageFile result;
    if (!data || size < 18 || data[0] != 'B' || data[1] != 'M')
        return result;
    uint32_t pixelOffset = Get32(data + 10);
    uint32_t infoSize = Get32(data + 14);
    int64_t width, height;
    uint32_t bits, compression = 0;
    if (infoSize == 12 && size >= 26) { // the old core header: 16-bit sides, no compression
        width = static_cast<int16_t>(Get16(data + 18));
        height = static_cast<int16_t>(Get16(data + 20));
        bits = Get16(data + 24);
    } else if (infoSize >= 40 && size >= 54) {
        width = static_cast<int32_t>(Get32(data + 18));
        height = static_cast<int32_t>(Get32(data + 22));
        bits = Get16(data + 28);
        compression = Get32(data + 30);
    } else {
        return result;
    }
    bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || height > INT32_MAX)
        return result;
    result.width = static_cast<int32_t>(width);
    result.height = static_cast<int32_t>(height);
    result.bitsPerPixel = static_cast<int32_t>(bits);

    // Uncompressed files only; 32-bit files may also name their channels with bit masks,
    // which are read when they are the plain byte layout (blue, green, red, alpha).
    bool plain = compression == 0;
    if (compression == 3 && bits == 32 && infoSize >= 40 && size >= 66)
        plain = Get32(data + 54) == 0x00FF0000u && Get32(data + 58) == 0x0000FF00u &&
                Get32(data + 62) == 0x000000FFu;
    if (!plain || (bits != 8 && bits != 24 && bits != 32))
        return result;
    if (!ImageSizeAllowed(static_cast<uint64_t>(width), static_cast<uint64_t>(height), maxPixels))
        return result;

    const uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    const uint32_t bytesPerPixel = bits / 8;
    const uint64_t rowBytes = w * bytesPerPixel;
    const uint64_t stride = (w * bits + 31) / 32 * 4;
    // The last row may lack its fill bytes.
    if (pixelOffset > size || (h - 1) * stride + rowBytes > size - pixelOffset)
        return result;
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(rowBytes * h)));
    if (!pixels)
        return result;
    for (uint64_t row = 0; row < h; ++row) {
        uint64_t fileRow = topDown ? h - 1 - row : row;
        std::memcpy(pixels + row * rowBytes, data + pixelOffset + fileRow * stride, static_cast<size_t>(rowBytes));
    }
    FinishBgr(result, pixels, static_cast<size_t>(w * h), bits);
    return result;
}

// [SECTION] TGA

namespace {

// Decodes the run-length packets of types 9, 10 and 11 into count pixels; false when the
// data ends before the picture is complete.
bool DecodeTgaRuns(const uint8_t* in, size_t available, uint8_t* out, size_t count,
                   uint32_t bytesPerPixel)
{
    size_t at = 0, done = 0;
    while (done < count) {
        if (at >= available)
            return false;
        uint8_t packet = in[at++];
        size_t run = (packet & 0x7F) + 1u;
        if (run > count - done)
            run = count - done; // a packet may not spill past the picture
        if (packet & 0x80) {
            if (available - at < bytesPerPixel)
                return false;
            for (size_t i = 0; i < run; ++i)
                std::memcpy(out + (done + i) * bytesPerPixel, in + at, bytesPerPixel);
            at += bytesPerPixel;
        } else {
            size_t bytes = run * bytesPerPixel;
            if (available - at < bytes)
                return false;
            std::memcpy(out + done * bytesPerPixel, in + at, bytes);
            at += bytes;
        }
        done += run;
    }
    return true;
}

// Turns rows stored from the top, or pixels stored from the right, into the bottom-up,
// left-to-right order of images.
void OrientTga(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bytesPerPixel, bool fromTop,
               bool fromRight)
{
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
    if (fromTop) {
        std::vector<uint8_t> swap(rowBytes);
        for (uint32_t row = 0; row < height / 2; ++row) {
            uint8_t* a = pixels + row * rowBytes;
            uint8_t* b = pixels + (height - 1 - row) * rowBytes;
            std::memcpy(swap.data(), a, rowBytes);
            std::memcpy(a, b, rowBytes);
            std::memcpy(b, swap.data(), rowBytes);
        }
    }
    if (fromRight) {
        for (uint32_t row = 0; row < height; ++row) {
            uint8_t* line = pixels + row * rowBytes;
            for (uint32_t x = 0; x < width / 2; ++x)
                for (uint32_t c = 0; c < bytesPerPixel; ++c)
                    std::swap(line[x * bytesPerPixel + c], line[(width - 1 - x) * bytesPerPixel + c]);
        }
    }
}

} // namespace

ImageFile DecodeTGA(const uint8_t* data, size_t size, uint64_t maxPixels)
{
    ImageFile result;
    if (!data || size < 18)
        return result;
    const uint32_t idLength = data[0], mapType = data[1], imageType = data[2];
    const uint32_t mapLength = Get16(data + 5), mapEntryBits = data[7];
    const uint32_t width = Get16(data + 12), height = Get16(data + 14);
    const uint32_t bits = data[16], descriptor = data[17];
    // TGA has no signature: a header that no TGA writer produces is not taken as one.
    if (mapType > 1 || width == 0 || height == 0)
        return result;
    result.width = static_cast<int32_t>(width);
    result.height = static_cast<int32_t>(height);
    result.bitsPerPixel = static_cast<int32_t>(bits);

    const uint32_t baseType = imageType & ~8u;
    if ((baseType != 1 && baseType != 2 && baseType != 3) || (bits != 8 && bits != 24 && bits != 32))
        return result;
    if (!ImageSizeAllowed(width, height, maxPixels))
        return result;
    uint64_t skip = 18ull + idLength;
    if (mapType != 0)
        skip += static_cast<uint64_t>(mapLength) * ((mapEntryBits + 7) / 8);
    if (skip > size)
        return result;
    const uint8_t* in = data + skip;
    const size_t available = size - static_cast<size_t>(skip);
    const uint32_t bytesPerPixel = bits / 8;
    const size_t count = static_cast<size_t>(width) * height;
    const bool runLength = (imageType & 8) != 0;
    // A run packet gives at most 128 pixels, so a short file cannot claim a large picture.
    if (runLength ? count > static_cast<uint64_t>(available) * 128 : count * bytesPerPixel > available)
        return result;

    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(count * bytesPerPixel));
    if (!pixels)
        return result;
    if (runLength) {
        if (!DecodeTgaRuns(in, available, pixels, count, bytesPerPixel)) {
            std::free(pixels);
            return result;
        }
    } else {
        std::memcpy(pixels, in, count * bytesPerPixel);
    }
    OrientTga(pixels, width, height, bytesPerPixel, (descriptor & 0x20) != 0, (descriptor & 0x10) != 0);
    FinishBgr(result, pixels, count, bits);
    return result;
}

// [SECTION] Files

namespace {

// Files larger than this are not read at all: no picture within the size limits needs more.
constexpr long kMaxFileBytes = 1l << 30;

bool ReadWholeFile(const String& path, std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.CStr(), "rb");
    if (!file)
        return false;
    bool ok = false;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long size = std::ftell(file);
        if (size >= 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0) {
            bytes.resize(static_cast<size_t>(size));
            ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
        }
    }
    std::fclose(file);
    return ok;
}

ImageFile ReadWith(ImageFile (*decode)(const uint8_t*, size_t, uint64_t), const String& path)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes))
        return ImageFile();
    return decode(bytes.data(), bytes.size(), kImageMaxPixels);
}

} // namespace

ImageFile ReadBMP(const String& path) { return ReadWith(DecodeBMP, path); }
ImageFile ReadTGA(const String& path) { return ReadWith(DecodeTGA, path); }
ImageFile ReadPNG(const String& path) { return ReadWith(DecodePNG, path); }
ImageFile ReadJPEG(const String& path) { return ReadWith(DecodeJPEG, path); }

ImageFile ReadImageFile(const String& path)
{
    if (path.EndsWith(".bmp"))
        return ReadBMP(path);
    if (path.EndsWith(".tga"))
        return ReadTGA(path);
    if (path.EndsWith(".png"))
        return ReadPNG(path);
    if (path.EndsWith(".jpg") || path.EndsWith(".jpeg"))
        return ReadJPEG(path);
    return ImageFile();
}

bool AdoptImageFile(CImage& image, ImageFile&& file)
{
    if (!file.pixels) {
        image.Release();
        return false;
    }
    const int32_t channels = file.Channels();
    image.Adopt(file.ReleasePixels(), static_cast<uint32_t>(file.width), static_cast<uint32_t>(file.height),
                static_cast<uint32_t>(channels), static_cast<uint32_t>(file.bitsPerPixel));
    return true;
}
