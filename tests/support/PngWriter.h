// A small PNG encoder for tests and benchmarks (header-only, over zlib): writes any colour
// type and bit depth from packed top-down scanlines, with a chosen filter per row (or the
// usual smallest-sum choice), optional Adam7 interlacing for depths of 8 bits and more,
// PLTE and tRNS chunks, and image data split over several IDAT chunks.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace pngwriter {

struct Options {
    uint8_t colourType = 6;          // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    uint8_t depth = 8;               // bits per sample
    bool interlace = false;          // Adam7; only for depth 8 and 16
    int filter = -1;                 // 0..4 for every row, −1: the smallest-sum choice per row
    std::vector<int> rowFilters;     // when not empty: the filter of each row, cycled
    std::vector<uint8_t> palette;    // RGB triples (colour type 3)
    std::vector<uint8_t> alpha;      // tRNS entries (palette alphas)
    size_t idatSize = 0;             // split the image data into chunks of this size (0: one)
    int level = 6;                   // zlib compression level
};

inline uint32_t Channels(uint8_t colourType)
{
    switch (colourType) {
    case 0: case 3: return 1;
    case 4: return 2;
    case 2: return 3;
    default: return 4;
    }
}

inline void PutBE32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

// Appends a chunk with its length and CRC.
inline void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size)
{
    PutBE32(out, static_cast<uint32_t>(size));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size)
        out.insert(out.end(), data, data + size);
    PutBE32(out, static_cast<uint32_t>(crc32(0L, out.data() + start, static_cast<uInt>(size + 4))));
}

inline uint8_t PaethPredict(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Filters one row (prev is the unfiltered row above, or null) with the given type.
inline void FilterRow(int type, const uint8_t* row, const uint8_t* prev, size_t n, size_t bpp, uint8_t* out)
{
    for (size_t i = 0; i < n; ++i) {
        int a = i >= bpp ? row[i - bpp] : 0, b = prev ? prev[i] : 0, c = prev && i >= bpp ? prev[i - bpp] : 0;
        int predicted = type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : type == 4 ? PaethPredict(a, b, c) : 0;
        out[i] = static_cast<uint8_t>(row[i] - predicted);
    }
}

// Appends the filtered rows of one (sub)image of `height` rows of rowBytes each.
inline void FilterImage(const Options& options, const uint8_t* rows, size_t rowBytes, uint32_t height, size_t bpp,
                        std::vector<uint8_t>& out, uint32_t& rowCounter)
{
    std::vector<uint8_t> candidate(rowBytes), best(rowBytes);
    for (uint32_t y = 0; y < height; ++y, ++rowCounter) {
        const uint8_t* row = rows + y * rowBytes;
        const uint8_t* prev = y ? row - rowBytes : nullptr;
        int type = options.filter;
        if (!options.rowFilters.empty())
            type = options.rowFilters[rowCounter % options.rowFilters.size()];
        if (type < 0) {
            uint64_t bestSum = UINT64_MAX;
            for (int t = 0; t < 5; ++t) {
                FilterRow(t, row, prev, rowBytes, bpp, candidate.data());
                uint64_t sum = 0;
                for (uint8_t v : candidate)
                    sum += v < 128 ? v : 256 - v;
                if (sum < bestSum) {
                    bestSum = sum;
                    type = t;
                    best.swap(candidate);
                }
            }
        } else {
            FilterRow(type, row, prev, rowBytes, bpp, best.data());
        }
        out.push_back(static_cast<uint8_t>(type));
        out.insert(out.end(), best.begin(), best.end());
    }
}

// A complete file around already filtered scanlines (each with its filter byte).
inline std::vector<uint8_t> Wrap(const std::vector<uint8_t>& filtered, uint32_t width, uint32_t height,
                                 const Options& options)
{
    uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()), options.level);
    packed.resize(packedSize);

    std::vector<uint8_t> file = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<uint8_t> header;
    PutBE32(header, width);
    PutBE32(header, height);
    header.insert(header.end(), {options.depth, options.colourType, 0, 0, static_cast<uint8_t>(options.interlace ? 1 : 0)});
    PutChunk(file, "IHDR", header.data(), header.size());
    if (!options.palette.empty())
        PutChunk(file, "PLTE", options.palette.data(), options.palette.size());
    if (!options.alpha.empty())
        PutChunk(file, "tRNS", options.alpha.data(), options.alpha.size());
    const size_t step = options.idatSize ? options.idatSize : packed.size();
    for (size_t at = 0; at < packed.size(); at += step)
        PutChunk(file, "IDAT", packed.data() + at, packed.size() - at < step ? packed.size() - at : step);
    PutChunk(file, "IEND", nullptr, 0);
    return file;
}

// rows: height scanlines, top first, each ceil(width × depth × channels / 8) bytes.
inline std::vector<uint8_t> Encode(const uint8_t* rows, uint32_t width, uint32_t height, const Options& options)
{
    const uint32_t channels = Channels(options.colourType);
    const size_t bitsPerPixel = static_cast<size_t>(options.depth) * channels;
    const size_t rowBytes = (width * bitsPerPixel + 7) / 8;
    const size_t bpp = (bitsPerPixel + 7) / 8;
    std::vector<uint8_t> filtered;
    uint32_t rowCounter = 0;
    if (!options.interlace) {
        FilterImage(options, rows, rowBytes, height, bpp, filtered, rowCounter);
    } else {
        static const uint32_t xs[7] = {0, 4, 0, 2, 0, 1, 0}, ys[7] = {0, 0, 4, 0, 2, 0, 1};
        static const uint32_t dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
        for (int p = 0; p < 7; ++p) {
            uint32_t pw = width > xs[p] ? (width - xs[p] + dx[p] - 1) / dx[p] : 0;
            uint32_t ph = height > ys[p] ? (height - ys[p] + dy[p] - 1) / dy[p] : 0;
            if (!pw || !ph)
                continue;
            std::vector<uint8_t> sub(pw * bpp * ph);
            for (uint32_t y = 0; y < ph; ++y)
                for (uint32_t x = 0; x < pw; ++x)
                    std::memcpy(&sub[(y * pw + x) * bpp], rows + (ys[p] + y * dy[p]) * rowBytes + (xs[p] + x * dx[p]) * bpp, bpp);
            FilterImage(options, sub.data(), pw * bpp, ph, bpp, filtered, rowCounter);
        }
    }
    return Wrap(filtered, width, height, options);
}

} // namespace pngwriter
