// Image file readers: BMP, TGA, PNG (the program's own decoder over zlib's inflate) and JPEG
// (libjpeg). Each format has a file reader and a from-memory decoder; every result follows
// CImage's conventions (bottom-up rows, RGBA order, no gap bytes). Readers trust nothing in
// the file: every read is bounded by the bytes present, sizes are checked before anything is
// allocated, and a damaged file gives no pixels rather than a crash or a partial picture.
#pragma once

#include "util/String.h"

#include <cstddef>
#include <cstdint>

class CImage;

// What a reader found. width, height and bitsPerPixel are −1 when the file cannot be opened
// or is not of the format at all (bad signature, truncated or impossible header); a file of
// the format in a variant the reader does not decode (a 16-bit PNG, a compressed BMP, a
// picture above the size limit, damaged image data) reports its header's values with no
// pixels. bitsPerPixel is 8 (grey), 16 (grey + alpha), 24 (RGB) or 32 (RGBA) when pixels were
// read, 8 bits per channel, and then channels = bitsPerPixel / 8.
struct ImageFile {
    ImageFile() = default;
    ~ImageFile();
    ImageFile(ImageFile&& other) noexcept;
    ImageFile& operator=(ImageFile&& other) noexcept;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // Hands the block over (malloc'ed; the caller frees it, or gives it to CImage::Adopt).
    uint8_t* ReleasePixels();
    int32_t Channels() const { return bitsPerPixel > 0 ? bitsPerPixel / 8 : 0; }

    uint8_t* pixels = nullptr; // owned by this record until ReleasePixels
    int32_t width = -1;
    int32_t height = -1;
    int32_t bitsPerPixel = -1;
};

// Pictures wider or higher than kImageMaxSide, or of more than maxPixels pixels (a per-call
// limit, so that the fuzz targets can use a smaller one), are refused: no pixels.
constexpr uint32_t kImageMaxSide = 16384;
constexpr uint64_t kImageMaxPixels = static_cast<uint64_t>(kImageMaxSide) * kImageMaxSide;

// Whether a picture of these sides may be decoded under the limits above.
bool ImageSizeAllowed(uint64_t width, uint64_t height, uint64_t maxPixels);

// BMP: uncompressed 8-, 24- and 32-bit files ("BM"), rows padded to 4 bytes, bottom-up or
// top-down (negative height). 8-bit files give the palette indices as grey; 32-bit files keep
// their fourth byte as alpha unless every fourth byte is 0, which means opaque. 32-bit
// BITFIELDS files are read in the plain byte layout only, and are opaque without an alpha mask.
ImageFile DecodeBMP(const uint8_t* data, size_t size, uint64_t maxPixels = kImageMaxPixels);
// TGA: image types 1, 2 and 3 and their run-length forms 9, 10 and 11, at 8, 24 and 32 bits;
// both origins (bottom or top, left or right). Colour-mapped images give indices as grey.
ImageFile DecodeTGA(const uint8_t* data, size_t size, uint64_t maxPixels = kImageMaxPixels);
// PNG: grey at 1, 2, 4 and 8 bits (scaled to 8), grey + alpha, RGB and RGBA at 8 bits, and
// palette images at 1 to 8 bits (expanded to RGB, or RGBA when a tRNS chunk gives alpha);
// interlaced or not. A tRNS colour key makes grey pictures grey + alpha and RGB pictures
// RGBA, with alpha 0 exactly where a pixel equals the key. 16-bit images report bitsPerPixel −1 and give no pixels. The CRCs of the
// chunks read are checked; a bad CRC, missing data or data that does not inflate to the full
// picture gives no pixels.
ImageFile DecodePNG(const uint8_t* data, size_t size, uint64_t maxPixels = kImageMaxPixels);
// JPEG through libjpeg: grey gives 8 bits per pixel, colour 24 (CMYK is converted to RGB).
// A library error, damaged entropy data or missing scans give no pixels; a file that lacks
// only its end marker is still a picture.
ImageFile DecodeJPEG(const uint8_t* data, size_t size, uint64_t maxPixels = kImageMaxPixels);

// The same from a file, read whole (in binary mode) and then decoded.
ImageFile ReadBMP(const String& path);
ImageFile ReadTGA(const String& path);
ImageFile ReadPNG(const String& path);
ImageFile ReadJPEG(const String& path);

// Picks the reader by the path's ending, compared case-sensitively: ".bmp", ".tga", ".png",
// ".jpg" (and ".jpeg"). Any other ending reads nothing (all −1).
ImageFile ReadImageFile(const String& path);

// Gives the reader's result to an image: with pixels, the image takes the block and the
// sizes (channels = bitsPerPixel / 8); without, the image is left empty. Returns whether
// pixels were taken.
bool AdoptImageFile(CImage& image, ImageFile&& file);
