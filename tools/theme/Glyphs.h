// Text for the theme generator: glyph outlines read unscaled and unhinted from a font file
// through FreeType and added to a Path, so that the drawn pixels depend only on the font file
// and on the Path filler, never on FreeType's rasterizer or hinting version. Sizes are pixels
// per em; the baseline is at the given y, glyphs rising above it (y down).
#pragma once

#include "tools/theme/Canvas.h"

#include <string>

namespace theme {

class Typeface {
public:
    Typeface() = default;
    ~Typeface();
    Typeface(const Typeface&) = delete;
    Typeface& operator=(const Typeface&) = delete;

    // False when FreeType cannot open the file as a scalable face, or a face is already open.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_face != nullptr; }

    // The advance of text (kerning included), in pixels.
    double Measure(const std::string& text, double size) const;
    // Adds the outlines of text to path, the pen starting at (x, baseline); returns the pen's
    // final x. Characters without a glyph take the face's missing-glyph box.
    double AddText(Path& path, const std::string& text, double x, double baseline, double size) const;
    // The height of a capital H above the baseline, in pixels.
    double CapHeight(double size) const;

private:
    double Kerning(unsigned left, unsigned right) const;

    void* m_library = nullptr; // FT_Library
    void* m_face = nullptr;    // FT_Face
};

} // namespace theme
