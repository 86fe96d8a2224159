// The PNG decoder: chunk walk, inflate of the image data (zlib, one call over the whole
// stream), the per-row filters, Adam7 interlacing and the expansion of low bit depths,
// palettes and colour keys to 8-bit channels. Rows are written bottom-up as they are unfiltered.
//
// Index:
//   [SECTION] Chunks and header
//   [SECTION] Row filters
//   [SECTION] Expansion to output pixels
//   [SECTION] DecodePNG
#include "media/ImageReaders.h"

#include "util/ByteReader.h"

#include <zlib.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// [SECTION] Chunks and header

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// Deflate never expands data by more than this factor (a run of length 258 per 2 bits, with
// block overhead); image data that would need more than this cannot be in the file.
constexpr uint64_t kMaxInflateRatio = 1032;

bool TypeIs(const uint8_t* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

// Letter by letter without regard to case.
bool TypeIsAnyCase(const uint8_t* type, const char* name)
{
    for (int i = 0; i < 4; ++i)
        if ((type[i] | 0x20) != (static_cast<uint8_t>(name[i]) | 0x20))
            return false;
    return true;
}

struct Chunk {
    const uint8_t* type; // 4 bytes, followed by the data
    const uint8_t* data;
    uint32_t length;
    uint32_t crc;        // as stored after the data
};

// Walks the chunks of a file after its signature; every chunk handed out lies wholly inside
// the bytes, CRC included. A chunk that does not fit ends the walk, like the end of the file.
class ChunkWalker {
public:
    ChunkWalker(const uint8_t* data, size_t size) : m_in(data, size) { m_in.Skip(8); }

    bool Next(Chunk& chunk)
    {
        const uint32_t length = m_in.U32BE();
        const uint8_t* type = m_in.Take(4);
        const uint8_t* data = m_in.Take(length);
        const uint32_t crc = m_in.U32BE();
        if (m_in.Failed())
            return false;
        chunk = Chunk{type, data, length, crc};
        return true;
    }

private:
    CByteReader m_in;
};

bool CrcMatches(const Chunk& chunk)
{
    uLong crc = crc32(0L, chunk.type, chunk.length + 4u);
    return static_cast<uint32_t>(crc) == chunk.crc;
}

struct Header {
    uint32_t width, height;
    uint32_t depth, colourType, compression, filter, interlace;
    uint32_t fileChannels;   // samples per pixel in the file
    uint32_t outChannels;    // channels of the decoded picture (set after tRNS)
};

// Channels in the file for a valid colour type / depth pair, or 0. 16-bit pairs are valid
// files but are not decoded; *sixteen tells them apart.
uint32_t FileChannels(uint32_t colourType, uint32_t depth, bool* sixteen)
{
    *sixteen = false;
    switch (colourType) {
    case 0:
        if (depth == 16)
            *sixteen = true;
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16 ? 1 : 0;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 ? 1 : 0;
    case 2:
    case 4:
    case 6:
        if (depth == 16)
            *sixteen = true;
        if (depth != 8 && depth != 16)
            return 0;
        return colourType == 2 ? 3 : colourType == 4 ? 2 : 4;
    default:
        return 0;
    }
}

// [SECTION] Row filters

// The standard predictor: of left (a), up (b) and upper left (c), the one closest to
// a + b − c, ties in that order.
inline uint8_t Paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc)
        return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

#ifdef __SSE2__
// Average and Paeth with a row above, for 3- and 4-byte pixels: one pixel per step in 16-bit
// lanes instead of one byte, which shortens the chain through the left neighbour fourfold.
template <unsigned BPP>
__m128i LoadPixel(const uint8_t* at)
{
    uint32_t bytes = 0;
    std::memcpy(&bytes, at, BPP);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(bytes)), _mm_setzero_si128());
}

template <unsigned BPP>
void StorePixel(uint8_t* at, __m128i pixel)
{
    uint32_t bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(pixel, pixel)));
    std::memcpy(at, &bytes, BPP);
}

inline __m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

inline __m128i Select(__m128i mask, __m128i yes, __m128i no)
{
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

template <unsigned BPP>
void AverageRow(uint8_t* dst, const uint8_t* src, const uint8_t* prev, size_t n)
{
    const __m128i low = _mm_set1_epi16(0xFF);
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i + BPP <= n; i += BPP) {
        const __m128i b = LoadPixel<BPP>(prev + i);
        const __m128i average = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
        a = _mm_and_si128(_mm_add_epi16(LoadPixel<BPP>(src + i), average), low);
        StorePixel<BPP>(dst + i, a);
    }
}

template <unsigned BPP>
void PaethRow(uint8_t* dst, const uint8_t* src, const uint8_t* prev, size_t n)
{
    const __m128i low = _mm_set1_epi16(0xFF);
    __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
    for (size_t i = 0; i + BPP <= n; i += BPP) {
        const __m128i b = LoadPixel<BPP>(prev + i);
        const __m128i towardB = _mm_sub_epi16(b, c), towardA = _mm_sub_epi16(a, c);
        const __m128i pa = Abs16(towardB), pb = Abs16(towardA), pc = Abs16(_mm_add_epi16(towardA, towardB));
        const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
        const __m128i nearest =
            Select(_mm_cmpeq_epi16(smallest, pa), a, Select(_mm_cmpeq_epi16(smallest, pb), b, c));
        a = _mm_and_si128(_mm_add_epi16(LoadPixel<BPP>(src + i), nearest), low);
        StorePixel<BPP>(dst + i, a);
        c = b;
    }
}
#endif

// Undoes one row's filter: src holds the filtered bytes, prev the previous unfiltered row
// (null for the first row of an image or pass, where the row above counts as zeros).
// BPP is the filter's byte distance: bytes per complete pixel, at least 1.
template <unsigned BPP>
bool UnfilterRow(uint8_t type, uint8_t* dst, const uint8_t* src, const uint8_t* prev, size_t n)
{
    const size_t lead = n < BPP ? n : BPP;
    switch (type) {
    case 0:
        std::memcpy(dst, src, n);
        return true;
    case 1:
        std::memcpy(dst, src, lead);
        for (size_t i = BPP; i < n; ++i)
            dst[i] = static_cast<uint8_t>(src[i] + dst[i - BPP]);
        return true;
    case 2:
        if (!prev) {
            std::memcpy(dst, src, n);
            return true;
        }
        for (size_t i = 0; i < n; ++i)
            dst[i] = static_cast<uint8_t>(src[i] + prev[i]);
        return true;
    case 3:
        if (!prev) {
            std::memcpy(dst, src, lead);
            for (size_t i = BPP; i < n; ++i)
                dst[i] = static_cast<uint8_t>(src[i] + (dst[i - BPP] >> 1));
            return true;
        }
#ifdef __SSE2__
        if constexpr (BPP >= 3) {
            AverageRow<BPP>(dst, src, prev, n);
            return true;
        }
#endif
        for (size_t i = 0; i < lead; ++i)
            dst[i] = static_cast<uint8_t>(src[i] + (prev[i] >> 1));
        for (size_t i = BPP; i < n; ++i)
            dst[i] = static_cast<uint8_t>(src[i] + ((dst[i - BPP] + prev[i]) >> 1));
        return true;
    case 4:
        if (!prev) { // with the row above all zero, Paeth picks the left neighbour
            std::memcpy(dst, src, lead);
            for (size_t i = BPP; i < n; ++i)
                dst[i] = static_cast<uint8_t>(src[i] + dst[i - BPP]);
            return true;
        }
#ifdef __SSE2__
        if constexpr (BPP >= 3) {
            PaethRow<BPP>(dst, src, prev, n);
            return true;
        }
#endif
        for (size_t i = 0; i < lead; ++i)
            dst[i] = static_cast<uint8_t>(src[i] + prev[i]);
        for (size_t i = BPP; i < n; ++i)
            dst[i] = static_cast<uint8_t>(src[i] + Paeth(dst[i - BPP], prev[i], prev[i - BPP]));
        return true;
    default:
        return false;
    }
}

using UnfilterFn = bool (*)(uint8_t, uint8_t*, const uint8_t*, const uint8_t*, size_t);

UnfilterFn UnfilterFor(uint32_t bytesPerPixel)
{
    switch (bytesPerPixel) {
    case 1: return UnfilterRow<1>;
    case 2: return UnfilterRow<2>;
    case 3: return UnfilterRow<3>;
    default: return UnfilterRow<4>;
    }
}

// [SECTION] Expansion to output pixels

// The colour information besides the samples: a palette (PLTE, with alphas from tRNS) or,
// for grey and RGB pictures, the tRNS colour key. Pixels equal to the key, compared at the
// file's sample depth, are transparent and all others opaque.
struct Colours {
    uint8_t rgba[256][4];
    uint32_t count = 0;
    bool hasAlpha = false;
    bool hasKey = false;
    uint32_t key[3] = {0, 0, 0}; // grey, or red, green and blue
};

// Writes one unfiltered file row of `count` pixels into an output row, pixel i going to
// column xStart + i × xStep. Samples below 8 bits are scaled to 0..255 (grey) or looked up
// (palette; indices past the palette give opaque black); a colour key adds an alpha channel.
void ExpandRow(const Header& header, const Colours& colours, const uint8_t* line, uint32_t count,
               uint8_t* outRow, uint32_t xStart, uint32_t xStep)
{
    const uint32_t outBytes = header.outChannels;
    uint8_t* out = outRow + static_cast<size_t>(xStart) * outBytes;
    const size_t outStep = static_cast<size_t>(xStep) * outBytes;
    if (header.depth == 8 && header.colourType != 3) {
        const uint32_t samples = header.fileChannels;
        for (uint32_t i = 0; i < count; ++i, out += outStep, line += samples) {
            std::memcpy(out, line, samples);
            if (colours.hasKey) {
                const bool keyed = line[0] == colours.key[0] &&
                                   (samples == 1 || (line[1] == colours.key[1] && line[2] == colours.key[2]));
                out[samples] = keyed ? 0 : 255;
            }
        }
        return;
    }
    const uint32_t depth = header.depth;
    const uint32_t mask = (1u << depth) - 1;
    const uint32_t greyScale = depth == 8 ? 1 : 255 / mask;
    for (uint32_t i = 0; i < count; ++i, out += outStep) {
        size_t bit = static_cast<size_t>(i) * depth;
        uint32_t sample = (line[bit >> 3] >> (8 - depth - (bit & 7))) & mask;
        if (header.colourType == 0) {
            out[0] = static_cast<uint8_t>(sample * greyScale);
            if (colours.hasKey)
                out[1] = sample == colours.key[0] ? 0 : 255;
        } else {
            static constexpr uint8_t kBlack[4] = {0, 0, 0, 255};
            const uint8_t* entry = sample < colours.count ? colours.rgba[sample] : kBlack;
            std::memcpy(out, entry, outBytes);
        }
    }
}

struct Pass {
    uint32_t xStart, yStart, xStep, yStep;
};
constexpr Pass kSinglePass[1] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

uint32_t PassSide(uint32_t side, uint32_t start, uint32_t step)
{
    return side > start ? (side - start + step - 1) / step : 0;
}

uint64_t RowBytesOf(const Header& header, uint32_t pixels)
{
    return (static_cast<uint64_t>(pixels) * header.depth * header.fileChannels + 7) / 8;
}

// Unfilters the inflated data pass by pass into the bottom-up picture.
bool Unfilter(const Header& header, const Colours& colours, const uint8_t* raw, uint8_t* pixels)
{
    const Pass* passes = header.interlace ? kAdam7 : kSinglePass;
    const int passCount = header.interlace ? 7 : 1;
    const uint32_t filterBpp = (header.depth * header.fileChannels + 7) / 8;
    const UnfilterFn unfilter = UnfilterFor(filterBpp);
    const size_t outRowBytes = static_cast<size_t>(header.width) * header.outChannels;
    // Plain 8-bit rows of a non-interlaced picture are unfiltered straight into place: the
    // row above in the picture is the row after in memory.
    const bool direct = !header.interlace && header.depth == 8 && header.colourType != 3 && !colours.hasKey;
    std::vector<uint8_t> lines;
    for (int p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        const uint32_t pw = PassSide(header.width, pass.xStart, pass.xStep);
        const uint32_t ph = PassSide(header.height, pass.yStart, pass.yStep);
        if (pw == 0 || ph == 0)
            continue;
        const size_t rowBytes = static_cast<size_t>(RowBytesOf(header, pw));
        if (!direct)
            lines.assign(rowBytes * 2, 0);
        for (uint32_t r = 0; r < ph; ++r, raw += rowBytes + 1) {
            const uint32_t y = pass.yStart + r * pass.yStep;
            uint8_t* outRow = pixels + (header.height - 1 - y) * outRowBytes;
            if (direct) {
                const uint8_t* prev = r ? outRow + outRowBytes : nullptr;
                if (!unfilter(raw[0], outRow, raw + 1, prev, rowBytes))
                    return false;
                continue;
            }
            uint8_t* cur = lines.data() + (r & 1) * rowBytes;
            const uint8_t* prev = r ? lines.data() + ((r + 1) & 1) * rowBytes : nullptr;
            if (!unfilter(raw[0], cur, raw + 1, prev, rowBytes))
                return false;
            ExpandRow(header, colours, cur, pw, outRow, pass.xStart, pass.xStep);
        }
    }
    return true;
}

uint64_t InflatedSize(const Header& header)
{
    const Pass* passes = header.interlace ? kAdam7 : kSinglePass;
    const int passCount = header.interlace ? 7 : 1;
    uint64_t total = 0;
    for (int p = 0; p < passCount; ++p) {
        uint32_t pw = PassSide(header.width, passes[p].xStart, passes[p].xStep);
        uint32_t ph = PassSide(header.height, passes[p].yStart, passes[p].yStep);
        if (pw && ph)
            total += ph * (RowBytesOf(header, pw) + 1);
    }
    return total;
}

// Inflates the whole stream into exactly `size` bytes with one call; true only when all of
// them came out. Data left after the picture (or a missing checksum after it) is ignored.
bool InflateAll(const uint8_t* in, size_t inSize, uint8_t* out, size_t size)
{
    if (inSize > UINT32_MAX || size > UINT32_MAX)
        return false;
    z_stream stream;
    std::memset(&stream, 0, sizeof(stream));
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(inSize);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(size);
    int status = inflate(&stream, Z_FINISH);
    bool complete = stream.avail_out == 0 && (status == Z_STREAM_END || status == Z_BUF_ERROR || status == Z_OK);
    inflateEnd(&stream);
    return complete;
}

} // namespace

// [SECTION] DecodePNG

ImageFile DecodePNG(const uint8_t* data, size_t size, uint64_t maxPixels)
{
    ImageFile result;
    if (!data || size < 8 || std::memcmp(data, kSignature, 8) != 0)
        return result;
    ChunkWalker walker(data, size);
    Chunk chunk;
    if (!walker.Next(chunk) || !TypeIsAnyCase(chunk.type, "IHDR") || chunk.length != 13 || !CrcMatches(chunk))
        return result;
    Header header;
    CByteReader fields(chunk.data, chunk.length);
    header.width = fields.U32BE();
    header.height = fields.U32BE();
    header.depth = fields.U8();
    header.colourType = fields.U8();
    header.compression = fields.U8();
    header.filter = fields.U8();
    header.interlace = fields.U8();
    if (header.width == 0 || header.height == 0 || header.width > INT32_MAX || header.height > INT32_MAX)
        return result;
    result.width = static_cast<int32_t>(header.width);
    result.height = static_cast<int32_t>(header.height);
    bool sixteen = false;
    header.fileChannels = FileChannels(header.colourType, header.depth, &sixteen);
    if (header.fileChannels == 0 || sixteen)
        return result; // bitsPerPixel stays −1: a depth this reader does not decode
    header.outChannels = header.colourType == 3 ? 3 : header.fileChannels;

    Colours colours;
    bool hasPalette = false;
    std::vector<Chunk> imageData;
    uint64_t imageBytes = 0;
    bool damaged = false;
    while (walker.Next(chunk)) {
        if (TypeIs(chunk.type, "IEND"))
            break;
        if (TypeIsAnyCase(chunk.type, "IDAT")) {
            damaged |= !CrcMatches(chunk);
            imageData.push_back(chunk);
            imageBytes += chunk.length;
        } else if (header.colourType == 3 && TypeIs(chunk.type, "PLTE") && !hasPalette) {
            if (!CrcMatches(chunk) || chunk.length == 0 || chunk.length % 3 != 0 || chunk.length > 768) {
                damaged = true;
                continue;
            }
            hasPalette = true;
            colours.count = chunk.length / 3;
            CByteReader entries(chunk.data, chunk.length);
            for (uint32_t i = 0; i < 256; ++i) { // entries past the palette read as 0
                colours.rgba[i][0] = entries.U8();
                colours.rgba[i][1] = entries.U8();
                colours.rgba[i][2] = entries.U8();
                colours.rgba[i][3] = 255;
            }
        } else if (header.colourType == 3 && TypeIs(chunk.type, "tRNS") && hasPalette && !colours.hasAlpha) {
            if (!CrcMatches(chunk))
                continue; // an ancillary chunk: dropped, the picture stays opaque
            colours.hasAlpha = true;
            CByteReader alphas(chunk.data, chunk.length);
            for (uint32_t i = 0; i < 256 && !alphas.AtEnd(); ++i) // entries past it stay opaque
                colours.rgba[i][3] = alphas.U8();
        } else if ((header.colourType == 0 || header.colourType == 2) && TypeIs(chunk.type, "tRNS") &&
                   !colours.hasKey) {
            // One 16-bit sample per channel; a chunk of another length is ignored.
            if (!CrcMatches(chunk) || chunk.length != header.fileChannels * 2)
                continue;
            colours.hasKey = true;
            CByteReader samples(chunk.data, chunk.length);
            for (uint32_t c = 0; c < header.fileChannels; ++c)
                colours.key[c] = samples.U16BE();
        }
    }
    if (header.colourType == 3 && colours.hasAlpha)
        header.outChannels = 4;
    if (colours.hasKey)
        header.outChannels = header.fileChannels + 1;
    result.bitsPerPixel = static_cast<int32_t>(header.outChannels * 8);

    if (header.compression != 0 || header.filter != 0 || header.interlace > 1)
        return result;
    if (damaged || imageData.empty() || (header.colourType == 3 && !hasPalette))
        return result;
    if (!ImageSizeAllowed(header.width, header.height, maxPixels))
        return result;
    const uint64_t inflatedSize = InflatedSize(header);
    if (inflatedSize > (imageBytes + 1) * kMaxInflateRatio)
        return result;

    // The image data is one zlib stream split over the IDAT chunks.
    std::vector<uint8_t> joined;
    const uint8_t* stream = imageData[0].data;
    if (imageData.size() > 1) {
        joined.reserve(static_cast<size_t>(imageBytes));
        for (const Chunk& part : imageData)
            joined.insert(joined.end(), part.data, part.data + part.length);
        stream = joined.data();
    }
    uint8_t* raw = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(inflatedSize)));
    if (!raw)
        return result;
    uint8_t* pixels = nullptr;
    if (InflateAll(stream, static_cast<size_t>(imageBytes), raw, static_cast<size_t>(inflatedSize))) {
        joined = std::vector<uint8_t>();
        // Interlaced pictures leave no pixel unwritten, but a zeroed block keeps any
        // mistake in the pass geometry from exposing old memory.
        const size_t pixelBytes = static_cast<size_t>(header.width) * header.height * header.outChannels;
        pixels = static_cast<uint8_t*>(header.interlace ? std::calloc(pixelBytes, 1) : std::malloc(pixelBytes));
        if (pixels && !Unfilter(header, colours, raw, pixels)) {
            std::free(pixels);
            pixels = nullptr;
        }
    }
    std::free(raw);
    result.pixels = pixels;
    return result;
}
