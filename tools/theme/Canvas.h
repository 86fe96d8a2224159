// Drawing for the theme generator: an RGBA canvas of premultiplied floats, anti-aliased shapes
// from signed distances, outline paths filled with the non-zero rule at exact horizontal
// coverage, and PNG encoding. Coordinates are pixels, origin at the top-left corner, y down;
// pixel (x, y) covers [x, x + 1) × [y, y + 1). Everything is deterministic: the same calls give
// the same bytes on every run. Nothing here knows what a button or a slider looks like.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace theme {

// A straight (not premultiplied) colour, each component 0 to 1.
struct Colour {
    float r = 0, g = 0, b = 0, a = 0;
};

// 0xRRGGBB with the given alpha.
Colour Rgb(uint32_t hex, float alpha = 1.0f);
// a + (b − a) × t, component by component.
Colour Mix(Colour a, Colour b, float t);
Colour WithAlpha(Colour c, float alpha);

struct Point {
    double x = 0, y = 0;
};

// The colour a shape takes at a pixel centre.
using Paint = std::function<Colour(double x, double y)>;
Paint Solid(Colour c);
// top at y0 and above, bottom at y1 and below, linear in between.
Paint VerticalGradient(double y0, Colour top, double y1, Colour bottom);

// Signed distances in pixels: negative inside, positive outside.
using Distance = std::function<double(double x, double y)>;
// The box [x0, x1] × [y0, y1] with corners rounded by radius.
double SdRoundRect(double x, double y, double x0, double y0, double x1, double y1, double radius);
// Distance to the segment a-b (never negative).
double DistSegment(double x, double y, Point a, Point b);
// Distance to an open polyline (never negative).
double DistPolyline(double x, double y, const std::vector<Point>& points);

class Canvas {
public:
    Canvas(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // Composites c over pixel (x, y) with the given coverage; outside the canvas, nothing.
    void Blend(int x, int y, Colour c, double coverage);
    // Fills where sdf < 0, with coverage clamp(0.5 − sdf, 0, 1) taken at each pixel centre,
    // over the pixels that meet [x0, x1) × [y0, y1) (clipped to the canvas).
    void FillSdf(double x0, double y0, double x1, double y1, const Distance& sdf, const Paint& paint);
    // Replaces the pixels at (x, y) onwards with part's.
    void Place(const Canvas& part, int x, int y);
    // Straight RGBA bytes, rows top first; a pixel with no alpha is transparent black.
    std::vector<uint8_t> Rgba8() const;
    // Premultiplied value of channel c (0 r, 1 g, 2 b, 3 a) at (x, y).
    float At(int x, int y, int c) const { return m_pixels[(static_cast<size_t>(y) * m_width + x) * 4 + c]; }

private:
    int m_width;
    int m_height;
    std::vector<float> m_pixels; // premultiplied r, g, b, a per pixel
};

// Closed outlines made of line segments (curves are flattened as they are added). Filling
// uses the non-zero winding rule, so contours of the same orientation unite and a contour of
// the opposite orientation inside another cuts a hole, as in font outlines.
class Path {
public:
    void MoveTo(Point p);
    void LineTo(Point p);
    void QuadTo(Point control, Point end);
    void CubicTo(Point control1, Point control2, Point end);
    // Closes the current contour back to its first point.
    void Close();
    // A closed polygon as one contour, turned counter-clockwise (as seen with y down: the
    // positive orientation), so that such polygons always unite.
    void AddPolygon(std::vector<Point> points);

    bool Empty() const { return m_edges.empty() && m_open.size() < 2; }
    // Fills the inside with exact horizontal coverage and 16 sub-scanlines per pixel row.
    void Fill(Canvas& canvas, const Paint& paint) const;

private:
    struct Edge {
        Point a, b;
    };
    void Flush();
    std::vector<Edge> m_edges;
    std::vector<Point> m_open; // the contour being built
};

// A PNG file (colour type 6, 8 bits, no interlacing) of the canvas, compressed at zlib level 9
// with the smallest-sum filter choice per row.
std::vector<uint8_t> EncodePng(const Canvas& canvas);
// Writes EncodePng's bytes; false when the file cannot be written completely.
bool WritePng(const std::string& path, const Canvas& canvas);

} // namespace theme
