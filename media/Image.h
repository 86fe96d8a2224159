// CImage: a picture in memory. Rows are stored bottom-up (the first row in memory is the
// bottom of the picture), channels in the order red, green, blue, alpha, rows packed with no
// gap bytes. A channel is 1 byte (0-255), 2 bytes (unsigned 16-bit) or 4 bytes (float 0-1).
// The pixel block is malloc'ed and freed by the image unless `external` says that someone
// else owns it. The file readers that fill images live in media/ImageReaders.h.
#pragma once

#include "media/Resource.h"

#include <cstddef>
#include <cstdint>

class CImage : public CResource {
public:
    CImage() { kind = ResourceImage; }
    ~CImage() override;

    // Copies name and file. An external source is shared (this image becomes external over
    // the same block); otherwise the pixels are duplicated.
    CImage(const CImage& other);
    CImage& operator=(const CImage& other);
    // Moves take the block (and its ownership) and leave the source empty.
    CImage(CImage&& other) noexcept;
    CImage& operator=(CImage&& other) noexcept;

    // Drops the old block (freeing it unless external), then allocates width × height pixels
    // of bitsPerPixel bits, all zero, and owns them. A size of zero, a depth that is not a
    // whole number of bytes or a block above kMaxBytes leaves the image empty and returns
    // false (true for a zero size, which simply holds no pixels).
    bool Allocate(uint32_t bitsPerPixel, uint32_t width, uint32_t height, uint32_t channels);

    // Takes a malloc'ed block of width × height × bitsPerPixel / 8 bytes; the image owns it
    // from now on. The old block is dropped as in Allocate.
    void Adopt(uint8_t* block, uint32_t width, uint32_t height, uint32_t channels,
               uint32_t bitsPerPixel);
    // Drops the block (freeing it unless external) and clears every size field.
    void Release();

    // Converts to 1 (grey), 2 (grey + alpha), 3 (RGB) or 4 (RGBA) channels at the same
    // channel size. Grey from colour is the mean of red, green and blue (integer mean for
    // integer channels); an added alpha is the channel's maximum (255, 65535 or 1.0); grey
    // to colour copies the grey into red, green and blue. The new block is owned; the image
    // stops being external. Other targets, or an image without pixels, change nothing.
    void ConvertChannels(uint32_t targetChannels);

    // Converts every value to the channel size that gives targetBitsPerPixel at the current
    // channel count (1, 2 or 4 bytes per channel): 8 to 16 bits v × 65535 / 255, 8 bits to
    // float v / 255, 16 to 8 bits v × 255 / 65535, 16 bits to float v / 65535, float to 8 or
    // 16 bits v × 255 or v × 65535 (clamped to the range, truncated toward zero). A target
    // that is no such size changes nothing.
    void ConvertDepth(uint32_t targetBitsPerPixel);

    // Copies a width × height region of source into the top-left corner of this image
    // (top-left as seen, since rows are bottom-up): source row r from the bottom, for r below
    // min(height, source height), goes to row (this height − height + r); each row copies
    // min(this row, source row, width pixels) bytes. The source is first converted to this
    // image's channels and depth. Only when this image has pixels and the source has the
    // same bits per pixel; rows that would fall outside this image are skipped.
    void Paste(const CImage& source, uint32_t width, uint32_t height);

    // width / height; 0 when height is 0.
    float AspectRatio() const;

    uint32_t BytesPerPixel() const { return bitsPerPixel / 8; }
    // Bytes per channel value (1, 2 or 4 for a well-formed image); 0 without channels.
    uint32_t BytesPerChannel() const { return channels ? bitsPerPixel / 8 / channels : 0; }
    size_t RowBytes() const { return static_cast<size_t>(width) * BytesPerPixel(); }
    size_t SizeBytes() const { return RowBytes() * height; }

    // The largest block an image may hold: 16384 × 16384 pixels of 4 bytes.
    static constexpr uint64_t kMaxBytes = 16384ull * 16384ull * 4ull;

    bool external = false;       // the block belongs to someone else; never freed here
    uint8_t* pixels = nullptr;   // width × height × bitsPerPixel / 8 bytes, or null
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;       // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
    uint32_t bitsPerPixel = 0;   // channels × 8 × bytes per channel

private:
    void CopyPixelsFrom(const CImage& other);
};
