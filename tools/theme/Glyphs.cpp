#include "tools/theme/Glyphs.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

namespace theme {

namespace {

FT_Face Face(void* face) { return static_cast<FT_Face>(face); }

// Carries the placement of one glyph through FreeType's outline walk.
struct Walk {
    Path* path;
    double x, baseline, scale;
    Point At(const FT_Vector* v) const { return {x + v->x * scale, baseline - v->y * scale}; }
};

int MoveTo(const FT_Vector* to, void* user)
{
    Walk* walk = static_cast<Walk*>(user);
    walk->path->MoveTo(walk->At(to));
    return 0;
}

int LineTo(const FT_Vector* to, void* user)
{
    Walk* walk = static_cast<Walk*>(user);
    walk->path->LineTo(walk->At(to));
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    Walk* walk = static_cast<Walk*>(user);
    walk->path->QuadTo(walk->At(control), walk->At(to));
    return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
{
    Walk* walk = static_cast<Walk*>(user);
    walk->path->CubicTo(walk->At(control1), walk->At(control2), walk->At(to));
    return 0;
}

} // namespace

Typeface::~Typeface()
{
    if (m_face)
        FT_Done_Face(Face(m_face));
    if (m_library)
        FT_Done_FreeType(static_cast<FT_Library>(m_library));
}

bool Typeface::Open(const std::string& path)
{
    if (m_face)
        return false;
    if (!m_library) {
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library))
            return false;
        m_library = library;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(static_cast<FT_Library>(m_library), path.c_str(), 0, &face))
        return false;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return false;
    }
    m_face = face;
    return true;
}

double Typeface::Kerning(unsigned left, unsigned right) const
{
    FT_Face face = Face(m_face);
    FT_Vector delta{0, 0};
    if (!FT_HAS_KERNING(face) || FT_Get_Kerning(face, left, right, FT_KERNING_UNSCALED, &delta))
        return 0;
    return static_cast<double>(delta.x);
}

double Typeface::Measure(const std::string& text, double size) const
{
    Path discarded;
    return AddText(discarded, text, 0, 0, size);
}

double Typeface::AddText(Path& path, const std::string& text, double x, double baseline, double size) const
{
    if (!m_face)
        return x;
    FT_Face face = Face(m_face);
    const double scale = size / face->units_per_EM;
    FT_Outline_Funcs funcs{};
    funcs.move_to = MoveTo;
    funcs.line_to = LineTo;
    funcs.conic_to = ConicTo;
    funcs.cubic_to = CubicTo;
    double units = 0;
    unsigned previous = 0;
    for (unsigned char c : text) {
        const unsigned index = FT_Get_Char_Index(face, c);
        if (previous)
            units += Kerning(previous, index);
        previous = index;
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
            continue;
        if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            Walk walk{&path, x + units * scale, baseline, scale};
            FT_Outline_Decompose(&face->glyph->outline, &funcs, &walk);
            path.Close();
        }
        units += static_cast<double>(face->glyph->advance.x);
    }
    return x + units * scale;
}

double Typeface::CapHeight(double size) const
{
    if (!m_face)
        return 0;
    FT_Face face = Face(m_face);
    if (FT_Load_Char(face, 'H', FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
        return 0;
    FT_BBox box;
    FT_Outline_Get_CBox(&face->glyph->outline, &box);
    return box.yMax * size / face->units_per_EM;
}

} // namespace theme
