#include "media/GlyphImage.h"

#include "media/Image.h"
#include "media/ImageReaders.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace {

// A glyph bitmap (or advance, top or left) beyond this many pixels is not a glyph of a
// usable font at the heights allowed: such codes count as failed.
constexpr int32_t kMaxGlyphExtent = 1024;
// The largest glyph picture: a full character set at the largest height takes about a
// quarter of it; only a damaged font could ask for more.
constexpr uint64_t kMaxGlyphPixels = 4096ull * 4096ull;

// One rendered glyph: its metrics in whole pixels and its coverage, rows top first.
struct Glyph {
    uint32_t code = 0;
    int32_t advance = 0;
    int32_t left = 0, top = 0;
    int32_t width = 0, rows = 0;
    std::vector<uint8_t> coverage; // width × rows bytes, 0 to 255
};

// The face, released on every path.
class Face {
public:
    ~Face()
    {
        if (m_face)
            FT_Done_Face(m_face);
        if (m_library)
            FT_Done_FreeType(m_library);
    }
    bool Open(const String& path, int32_t height)
    {
        return FT_Init_FreeType(&m_library) == 0 && FT_New_Face(m_library, path.CStr(), 0, &m_face) == 0 &&
               FT_Set_Pixel_Sizes(m_face, 0, static_cast<FT_UInt>(height)) == 0;
    }
    FT_Face Get() const { return m_face; }

private:
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
};

// Copies a rendered bitmap as 8-bit coverage. Grey bitmaps are copied, one-bit bitmaps
// expanded; other pixel modes (colour, LCD) are refused.
bool CopyCoverage(const FT_Bitmap& bitmap, Glyph& glyph)
{
    const int32_t width = static_cast<int32_t>(bitmap.width), rows = static_cast<int32_t>(bitmap.rows);
    if (width < 0 || rows < 0 || width > kMaxGlyphExtent || rows > kMaxGlyphExtent)
        return false;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
        return false;
    glyph.width = width;
    glyph.rows = rows;
    glyph.coverage.assign(static_cast<size_t>(width) * rows, 0);
    if (width == 0 || rows == 0)
        return true;
    if (!bitmap.buffer)
        return false;
    const int32_t pitch = bitmap.pitch;
    const int32_t rowBytes = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY ? width : (width + 7) / 8;
    if ((pitch < 0 ? -pitch : pitch) < rowBytes)
        return false;
    // With an upward flow (negative pitch) the top row is the last one in memory.
    const uint8_t* row = pitch >= 0 ? bitmap.buffer : bitmap.buffer + static_cast<ptrdiff_t>(rows - 1) * -pitch;
    for (int32_t r = 0; r < rows; ++r, row += pitch) {
        uint8_t* out = &glyph.coverage[static_cast<size_t>(r) * width];
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            // num_grays is 256 for the renderer's output; other scales are stretched to 255.
            const int32_t grays = bitmap.num_grays > 1 ? bitmap.num_grays : 256;
            for (int32_t x = 0; x < width; ++x)
                out[x] = grays == 256 ? row[x] : static_cast<uint8_t>(std::min(255, row[x] * 255 / (grays - 1)));
        } else {
            for (int32_t x = 0; x < width; ++x)
                out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
    }
    return true;
}

bool RenderGlyph(FT_Face face, uint32_t code, Glyph& glyph)
{
    const FT_UInt index = FT_Get_Char_Index(face, code);
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0)
        return false;
    const FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP)
        return false;
    glyph.code = code;
    // 26.6 fixed point, truncated toward zero to whole pixels.
    const FT_Pos advance = slot->advance.x / 64;
    if (advance < 0 || advance > kMaxGlyphExtent || slot->bitmap_left < -kMaxGlyphExtent ||
        slot->bitmap_left > kMaxGlyphExtent || slot->bitmap_top < -kMaxGlyphExtent ||
        slot->bitmap_top > kMaxGlyphExtent)
        return false;
    glyph.advance = static_cast<int32_t>(advance);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    return CopyCoverage(slot->bitmap, glyph);
}

// The replacement glyph of a face without one: a hollow box standing on the baseline, about
// as wide as a digit and as high as a capital.
Glyph BoxGlyph(int32_t height)
{
    Glyph box;
    box.code = kGlyphReplacement;
    box.rows = std::max(3, height * 7 / 10);
    box.width = std::max(3, height / 2);
    box.advance = box.width + 2;
    box.left = 1;
    box.top = box.rows;
    box.coverage.assign(static_cast<size_t>(box.width) * box.rows, 0);
    for (int32_t r = 0; r < box.rows; ++r)
        for (int32_t c = 0; c < box.width; ++c)
            if (r == 0 || r == box.rows - 1 || c == 0 || c == box.width - 1)
                box.coverage[static_cast<size_t>(r) * box.width + c] = 255;
    return box;
}

// Writes a glyph's coverage with its top-left pixel at (x, y), y from the top of the picture:
// white with the coverage as alpha, keeping the stronger alpha where glyphs touch. Pixels
// outside the picture are skipped.
void Blit(CImage& image, const Glyph& glyph, int64_t x, int64_t y)
{
    const int64_t width = image.width, height = image.height;
    for (int32_t r = 0; r < glyph.rows; ++r) {
        const int64_t py = y + r;
        if (py < 0 || py >= height)
            continue;
        // Rows are stored bottom-up.
        uint8_t* row = image.pixels + static_cast<size_t>(height - 1 - py) * image.RowBytes();
        for (int32_t c = 0; c < glyph.width; ++c) {
            const int64_t px = x + c;
            if (px < 0 || px >= width)
                continue;
            const uint8_t alpha = glyph.coverage[static_cast<size_t>(r) * glyph.width + c];
            uint8_t* pixel = row + px * 4;
            pixel[0] = pixel[1] = pixel[2] = 255;
            pixel[3] = std::max(pixel[3], alpha);
        }
    }
}

} // namespace

bool RenderGlyphImage(const String& fontPath, int32_t height, int32_t first, int32_t last, CImage& image,
                      std::vector<GlyphCell>& cells, GlyphImageOptions* options)
{
    image.Release();
    if (height < 1)
        return false;
    height = std::min(height, kMaxGlyphHeight);
    first = std::max(first, 0);
    last = std::min(last, kMaxGlyphCode);

    Face face;
    if (first > last || !face.Open(fontPath, height))
        return false;
    std::vector<Glyph> glyphs;
    for (int32_t code = first; code <= last && static_cast<int32_t>(glyphs.size()) < kMaxGlyphCount; ++code) {
        Glyph glyph;
        if (RenderGlyph(face.Get(), static_cast<uint32_t>(code), glyph))
            glyphs.push_back(std::move(glyph));
    }
    if (glyphs.empty())
        return false;
    if (glyphs.back().code < kGlyphReplacement) {
        Glyph replacement;
        glyphs.push_back(RenderGlyph(face.Get(), kGlyphReplacement, replacement) ? std::move(replacement)
                                                                                 : BoxGlyph(height));
    }

    const bool whole = options && options->wholeGlyphs;
    // The gap around cells: 2 pixels, or with whole glyphs 2 more than any ink reaches past
    // its cell sideways.
    int32_t gap = 2;
    int32_t highestTop = 0;
    if (whole)
        for (const Glyph& glyph : glyphs) {
            gap = std::max({gap, 2 - glyph.left, 2 + glyph.left + glyph.width - glyph.advance});
            highestTop = std::max(highestTop, glyph.top);
        }

    // Measuring: rows of sixteen glyphs, as the cell height and the shared baseline need.
    int64_t pen = gap, widest = 0;
    int32_t counter = 0, measuredRows = 1, cellHeight = height, lowestDescent = 0, widestGlyph = 0;
    for (const Glyph& glyph : glyphs) {
        cellHeight = std::max(cellHeight, glyph.rows);
        lowestDescent = std::min(lowestDescent, glyph.top - glyph.rows);
        widestGlyph = std::max(widestGlyph, glyph.advance);
        if (++counter == 16) {
            widest = std::max(widest, pen);
            pen = glyph.advance + 2 * static_cast<int64_t>(gap);
            counter = 0;
            ++measuredRows;
        } else {
            pen += glyph.advance + gap;
        }
    }
    if (whole)
        cellHeight = std::max(cellHeight, highestTop - lowestDescent);
    // A glyph wider than every measured row still gets a cell of its own inside the picture.
    const int64_t width = std::max<int64_t>(measuredRows > 1 ? widest : pen + gap, widestGlyph + 3 * static_cast<int64_t>(gap));
    const int64_t rowStep = static_cast<int64_t>(cellHeight) + gap;

    // Placement: the cells, wrapping on the picture's width.
    int64_t penX = gap, penY = gap;
    std::vector<GlyphCell> placed;
    placed.reserve(glyphs.size());
    for (const Glyph& glyph : glyphs) {
        if (penX + glyph.advance + gap >= width) {
            penX = gap;
            penY += rowStep;
        }
        GlyphCell cell;
        cell.code = glyph.code;
        cell.x = static_cast<int32_t>(penX);
        cell.y = static_cast<int32_t>(penY);
        cell.w = glyph.advance;
        cell.h = cellHeight;
        placed.push_back(cell);
        penX += glyph.advance + gap;
    }
    // The measured rows, or more when the placement wrapped sooner than the measuring did.
    const int64_t rows = std::max<int64_t>(measuredRows, (penY - gap) / rowStep + 1);
    const int64_t pictureHeight = rows * rowStep;
    if (!ImageSizeAllowed(static_cast<uint64_t>(width), static_cast<uint64_t>(pictureHeight), kMaxGlyphPixels) ||
        !image.Allocate(32, static_cast<uint32_t>(width), static_cast<uint32_t>(pictureHeight), 4) || !image.pixels)
        return false;

    for (size_t i = 0; i < glyphs.size(); ++i) {
        const Glyph& glyph = glyphs[i];
        const GlyphCell& cell = placed[i];
        Blit(image, glyph, static_cast<int64_t>(cell.x) + glyph.left,
             static_cast<int64_t>(cell.y) + cellHeight + lowestDescent - glyph.top);
    }
    cells.insert(cells.end(), placed.begin(), placed.end());
    if (options)
        options->baseline = cellHeight + lowestDescent;
    return true;
}
