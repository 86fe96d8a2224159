// Glyph images: renders a range of a font's characters (Unicode code points) with FreeType
// into one RGBA picture (white, with the glyph coverage as alpha) and reports the cell of each
// glyph, for the font entries of resources files (media/ResourceManager.h). A replacement
// glyph always comes along, for the characters the font cannot draw. FreeType stays inside
// this unit. Needs no OpenGL context; the caller uploads the picture.
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

// Pixel heights above this are rendered at this height: it keeps the picture of a few
// hundred characters within a few megabytes.
constexpr int32_t kMaxGlyphHeight = 128;
// The highest code rendered (the Basic Multilingual Plane), and the most glyphs one picture
// takes from a range (the first ones in code order): a wide range of a large face would
// otherwise take seconds and a huge picture.
constexpr int32_t kMaxGlyphCode = 0xFFFF;
constexpr int32_t kMaxGlyphCount = 2048;
// The code of the replacement glyph.
constexpr uint32_t kGlyphReplacement = 0xFFFD;

// Renders the codes first to last (both included, clamped to 0..kMaxGlyphCode) at a pixel
// height of `height` (clamped to kMaxGlyphHeight) into image, which is allocated as 32-bit
// RGBA, and appends one cell per glyph in increasing code order. Codes the face has no glyph
// for (which would all draw its "missing" shape) and codes FreeType cannot render are left
// out. The replacement glyph U+FFFD comes last when the range does not hold it: the face's
// own, or a hollow box when the face has none.
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
// cannot be opened, the range is empty (first > last after clamping), no code of the range
// renders, or the picture would hold more than 4096 × 4096 pixels (which only a damaged font
// asks for).
//
// With options, `wholeGlyphs` makes cells tall enough for every glyph's ink (from the highest
// bitmap top to the lowest descent, and at least `height`) and the gaps around them wider than
// any glyph's ink reaches past its advance, so that no glyph shows in another's cell; and the
// baseline's row in a cell is reported. Without options (or with wholeGlyphs off) the layout
// is the one above.
struct GlyphImageOptions {
    bool wholeGlyphs = false;
    int32_t baseline = 0; // out: rows from a cell's top to the shared baseline
};
bool RenderGlyphImage(const String& fontPath, int32_t height, int32_t first, int32_t last, CImage& image,
                      std::vector<GlyphCell>& cells, GlyphImageOptions* options = nullptr);
