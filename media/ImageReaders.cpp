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
#include "util/ByteReader.h"

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
    CByteReader in(data, size);
    if (in.U8() != 'B' || in.U8() != 'M')
        return result;
    in.Skip(8); // file size and two reserved words
    const uint32_t pixelOffset = in.U32LE();
    const uint32_t infoSize = in.U32LE();
    int64_t width, height;
    uint32_t bits, compression = 0;
    if (infoSize == 12) { // the old core header: 16-bit sides, no compression
        width = in.S16LE();
        height = in.S16LE();
        in.Skip(2); // planes
        bits = in.U16LE();
    } else if (infoSize >= 40) {
        width = in.S32LE();
        height = in.S32LE();
        in.Skip(2);
        bits = in.U16LE();
        compression = in.U32LE();
        in.Skip(20); // the rest of the 40-byte header
    } else {
        return result;
    }
    if (in.Failed())
        return result;
    bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || height > INT32_MAX)
        return result;
    result.width = static_cast<int32_t>(width);
    result.height = static_cast<int32_t>(height);
    result.bitsPerPixel = static_cast<int32_t>(bits);

    // Uncompressed files only; 32-bit files may also name their channels with bit masks,
    // which are read when they are the plain byte layout (blue, green, red, alpha). Without
    // an alpha mask (the 40-byte header has none) the fourth byte is padding: opaque.
    bool plain = compression == 0;
    bool opaque = false;
    if (compression == 3 && bits == 32) {
        const uint32_t red = in.U32LE(), green = in.U32LE(), blue = in.U32LE();
        const uint32_t alpha = infoSize >= 56 ? in.U32LE() : 0;
        plain = !in.Failed() && red == 0x00FF0000u && green == 0x0000FF00u && blue == 0x000000FFu &&
                (alpha == 0 || alpha == 0xFF000000u);
        opaque = alpha == 0;
    }
    if (!plain || (bits != 8 && bits != 24 && bits != 32))
        return result;
    if (!ImageSizeAllowed(static_cast<uint64_t>(width), static_cast<uint64_t>(height), maxPixels))
        return result;

    const uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    const uint32_t bytesPerPixel = bits / 8;
    const uint64_t rowBytes = w * bytesPerPixel;
    const uint64_t stride = (w * bits + 31) / 32 * 4;
    // The last row may lack its fill bytes.
    CByteReader rows = in.Slice(pixelOffset, static_cast<size_t>((h - 1) * stride + rowBytes));
    if (rows.Failed())
        return result;
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(rowBytes * h)));
    if (!pixels)
        return result;
    for (uint64_t row = 0; row < h; ++row) {
        rows.Seek(static_cast<size_t>((topDown ? h - 1 - row : row) * stride));
        rows.Copy(pixels + row * rowBytes, static_cast<size_t>(rowBytes));
    }
    if (opaque)
        for (size_t i = 0; i < static_cast<size_t>(w * h); ++i)
            pixels[i * 4 + 3] = 255;
    FinishBgr(result, pixels, static_cast<size_t>(w * h), bits);
    return result;
}

// [SECTION] TGA

namespace {

// Decodes the run-length packets of types 9, 10 and 11 into count pixels; false when the
// data ends before the picture is complete.
bool DecodeTgaRuns(CByteReader& in, uint8_t* out, size_t count, uint32_t bytesPerPixel)
{
    size_t done = 0;
    while (done < count) {
        const uint8_t packet = in.U8();
        if (in.Failed())
            return false;
        size_t run = (packet & 0x7F) + 1u;
        if (run > count - done)
            run = count - done; // a packet may not spill past the picture
        if (packet & 0x80) {
            const uint8_t* pixel = in.Take(bytesPerPixel);
            if (!pixel)
                return false;
            for (size_t i = 0; i < run; ++i)
                std::memcpy(out + (done + i) * bytesPerPixel, pixel, bytesPerPixel);
        } else if (!in.Copy(out + done * bytesPerPixel, run * bytesPerPixel)) {
            return false;
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
    CByteReader in(data, size);
    const uint32_t idLength = in.U8(), mapType = in.U8(), imageType = in.U8();
    in.Skip(2); // first colour-map entry
    const uint32_t mapLength = in.U16LE(), mapEntryBits = in.U8();
    in.Skip(4); // origin
    const uint32_t width = in.U16LE(), height = in.U16LE();
    const uint32_t bits = in.U8(), descriptor = in.U8();
    // TGA has no signature: a header that no TGA writer produces is not taken as one.
    if (in.Failed() || mapType > 1 || width == 0 || height == 0)
        return result;
    result.width = static_cast<int32_t>(width);
    result.height = static_cast<int32_t>(height);
    result.bitsPerPixel = static_cast<int32_t>(bits);

    const uint32_t baseType = imageType & ~8u;
    if ((baseType != 1 && baseType != 2 && baseType != 3) || (bits != 8 && bits != 24 && bits != 32))
        return result;
    if (!ImageSizeAllowed(width, height, maxPixels))
        return result;
    in.Skip(idLength);
    if (mapType != 0)
        in.Skip(static_cast<size_t>(mapLength) * ((mapEntryBits + 7) / 8));
    if (in.Failed())
        return result;
    const uint32_t bytesPerPixel = bits / 8;
    const size_t count = static_cast<size_t>(width) * height;
    const bool runLength = (imageType & 8) != 0;
    // A run packet gives at most 128 pixels, so a short file cannot claim a large picture.
    const uint64_t available = in.Remaining();
    if (runLength ? count > available * 128 : count * bytesPerPixel > available)
        return result;

    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(count * bytesPerPixel));
    if (!pixels)
        return result;
    if (runLength ? !DecodeTgaRuns(in, pixels, count, bytesPerPixel) : !in.Copy(pixels, count * bytesPerPixel)) {
        std::free(pixels);
        return result;
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
