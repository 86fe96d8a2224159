// Image filters: CFilter convolves the bytes of an image with a float kernel; CFilterBlur
// fills the kernel with the 3 × 3 blur; CFilterResize resamples with that blur. Results are
// new images owned by the caller; the source is never changed. Every byte of a pixel is
// filtered as an 8-bit channel value.
#pragma once

#include "media/Image.h"
#include "media/Matrix.h"

class CFilter {
public:
    CFilter() : kernel(1, 1) {}
    virtual ~CFilter() = default;

    // An image of the same size, channels and depth: each byte of pixel (x, y) becomes the
    // sum of kernel(i, j) × source(x − (columns − 1) / 2 + j, y − (rows − 1) / 2 + i) over the
    // kernel, skipping neighbours outside the image (no renormalisation), then clamped to
    // 0..255 and truncated toward zero. x runs along a row, y over the rows as stored.
    // A source without pixels gives an empty image.
    virtual CImage Apply(const CImage& source) const;

    // One filtered byte: the kernel centred on (x, y), byte `channel` of each pixel. Shared
    // with resizing, which samples the source at scaled positions.
    uint8_t FilterAt(const CImage& source, int64_t x, int64_t y, uint32_t channel) const;

    CMatrix kernel; // rows × columns weights, row by row; 1 × 1 identity by default
};

class CFilterBlur : public CFilter {
public:
    // A 3 × 3 kernel: centre `centre`, other cells (1 − 0.5 × (|dx| + |dy|)) × edge, so with
    // the defaults 0.5 in the centre, 0.125 beside it and 0 in the corners.
    explicit CFilterBlur(float edge = 0.25f, float centre = 0.5f);
};

class CFilterResize : public CFilter {
public:
    CFilterResize(); // the blur kernel of CFilterBlur's defaults

    // A newWidth × newHeight image of the source's channels and depth: target pixel (x, y)
    // is the kernel applied at source position (x × source width / newWidth, y × source
    // height / newHeight), truncated toward zero. An empty source or size gives an empty
    // image.
    CImage Resize(const CImage& source, uint32_t newWidth, uint32_t newHeight) const;
};
