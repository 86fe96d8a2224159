// Glyph images: renders a range of a font's characters with FreeType into one RGBA picture
// (white, with the glyph coverage as alpha) and reports the cell of each glyph, for the font
// entries of resources files (media/ResourceManager.h). FreeType stays inside this unit.
// Needs no OpenGL context; the caller uploads the picture.
#pragma once

#include "util/String.h"

#include <cstdint>
#include <vector>

class CImage;

// One rendered glyph: its character code and its cell in the picture, in pixels with y
// counted from the top. Cells share one height; the width is the glyph's advance.
struct GlyphCell {
    uint32_t code = 0;
    int32_t x = 0, y = 0;
    int32_t w = 0, h = 0;
};

// Pixel heights above this are rendered at this height: it keeps the picture of a full
// 8-bit character set within a few megabytes.
constexpr int32_t kMaxGlyphHeight = 128;
// Characters are named by one byte in font sprites, so only codes 0 to 255 are rendered.
constexpr int32_t kMaxGlyphCode = 255;

// Renders the codes first to last (both included, clamped to 0..kMaxGlyphCode) at a pixel
// height of `height` (clamped to kMaxGlyphHeight) into image, which is allocated as 32-bit
// RGBA, and appends one cell per glyph in increasing code order. Codes that FreeType cannot
// load and render are left out.
//
// Layout: glyphs are measured in rows of sixteen with 2 pixels around each; the cell height
// is the larger of `height` and the tallest bitmap, and all glyphs share the baseline that
// the lowest descent sets. They are then placed left to right from (2, 2), moving to the next
// row when a glyph would not end 2 pixels before the right edge. The picture is as wide as
// the widest measured row and as high as the rows the placement needs, so that every cell
// lies inside it; bitmap pixels reaching beyond the picture (accents above the cell, for
// instance) are clipped.
//
// False, with the image released and no cells appended, when height is below 1, the face
// cannot be opened, no code renders, or the picture would hold more than 4096 × 4096 pixels
// (which only a damaged font asks for).
bool RenderGlyphImage(const String& fontPath, int32_t height, int32_t first, int32_t last, CImage& image,
                      std::vector<GlyphCell>& cells);
