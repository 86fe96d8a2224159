#include "tools/theme/Canvas.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace theme {

// [SECTION] Colours and paints

Colour Rgb(uint32_t hex, float alpha)
{
    return {((hex >> 16) & 255) / 255.0f, ((hex >> 8) & 255) / 255.0f, (hex & 255) / 255.0f, alpha};
}

Colour Mix(Colour a, Colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour WithAlpha(Colour c, float alpha)
{
    c.a = alpha;
    return c;
}

Paint Solid(Colour c)
{
    return [c](double, double) { return c; };
}

Paint VerticalGradient(double y0, Colour top, double y1, Colour bottom)
{
    return [=](double, double y) {
        double t = y1 > y0 ? (y - y0) / (y1 - y0) : 0.0;
        return Mix(top, bottom, static_cast<float>(std::clamp(t, 0.0, 1.0)));
    };
}

// [SECTION] Distances

double SdRoundRect(double x, double y, double x0, double y0, double x1, double y1, double radius)
{
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    const double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

double DistSegment(double x, double y, Point a, Point b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(x - (a.x + dx * t), y - (a.y + dy * t));
}

double DistPolyline(double x, double y, const std::vector<Point>& points)
{
    if (points.empty())
        return 1e9;
    double best = std::hypot(x - points[0].x, y - points[0].y);
    for (size_t i = 1; i < points.size(); ++i)
        best = std::min(best, DistSegment(x, y, points[i - 1], points[i]));
    return best;
}

// [SECTION] Canvas

Canvas::Canvas(int width, int height)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(static_cast<size_t>(m_width) * m_height * 4, 0.0f)
{
}

void Canvas::Blend(int x, int y, Colour c, double coverage)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || coverage <= 0)
        return;
    const float alpha = c.a * static_cast<float>(std::min(coverage, 1.0));
    float* p = &m_pixels[(static_cast<size_t>(y) * m_width + x) * 4];
    const float keep = 1.0f - alpha;
    p[0] = c.r * alpha + p[0] * keep;
    p[1] = c.g * alpha + p[1] * keep;
    p[2] = c.b * alpha + p[2] * keep;
    p[3] = alpha + p[3] * keep;
}

void Canvas::FillSdf(double x0, double y0, double x1, double y1, const Distance& sdf, const Paint& paint)
{
    const int left = std::max(0, static_cast<int>(std::floor(x0)));
    const int top = std::max(0, static_cast<int>(std::floor(y0)));
    const int right = std::min(m_width, static_cast<int>(std::ceil(x1)));
    const int bottom = std::min(m_height, static_cast<int>(std::ceil(y1)));
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const double coverage = std::clamp(0.5 - sdf(cx, cy), 0.0, 1.0);
            if (coverage > 0)
                Blend(x, y, paint(cx, cy), coverage);
        }
}

void Canvas::Place(const Canvas& part, int x, int y)
{
    for (int row = 0; row < part.m_height; ++row)
        for (int column = 0; column < part.m_width; ++column) {
            const int tx = x + column, ty = y + row;
            if (tx < 0 || ty < 0 || tx >= m_width || ty >= m_height)
                continue;
            for (int c = 0; c < 4; ++c)
                m_pixels[(static_cast<size_t>(ty) * m_width + tx) * 4 + c] = part.At(column, row, c);
        }
}

std::vector<uint8_t> Canvas::Rgba8() const
{
    std::vector<uint8_t> out(static_cast<size_t>(m_width) * m_height * 4, 0);
    auto byte = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    for (size_t i = 0; i < out.size(); i += 4) {
        const float alpha = m_pixels[i + 3];
        const uint8_t a = byte(alpha);
        if (a == 0)
            continue;
        for (int c = 0; c < 3; ++c)
            out[i + c] = byte(m_pixels[i + c] / alpha);
        out[i + 3] = a;
    }
    return out;
}

// [SECTION] Paths

void Path::Flush()
{
    if (m_open.size() >= 2) {
        for (size_t i = 1; i < m_open.size(); ++i)
            m_edges.push_back({m_open[i - 1], m_open[i]});
        m_edges.push_back({m_open.back(), m_open.front()});
    }
    m_open.clear();
}

void Path::MoveTo(Point p)
{
    Flush();
    m_open.push_back(p);
}

void Path::LineTo(Point p)
{
    m_open.push_back(p);
}

// Curves are cut into pieces about a quarter of a pixel long (by the control polygon, which
// is never shorter than the curve), at least 2 and at most 64.
static int CurvePieces(double polygonLength)
{
    return std::clamp(static_cast<int>(std::ceil(polygonLength * 4)), 2, 64);
}

void Path::QuadTo(Point control, Point end)
{
    if (m_open.empty())
        m_open.push_back(control);
    const Point start = m_open.back();
    const int n = CurvePieces(std::hypot(control.x - start.x, control.y - start.y) +
                              std::hypot(end.x - control.x, end.y - control.y));
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1 - t;
        m_open.push_back({u * u * start.x + 2 * u * t * control.x + t * t * end.x,
                          u * u * start.y + 2 * u * t * control.y + t * t * end.y});
    }
}

void Path::CubicTo(Point control1, Point control2, Point end)
{
    if (m_open.empty())
        m_open.push_back(control1);
    const Point start = m_open.back();
    const int n = CurvePieces(std::hypot(control1.x - start.x, control1.y - start.y) +
                              std::hypot(control2.x - control1.x, control2.y - control1.y) +
                              std::hypot(end.x - control2.x, end.y - control2.y));
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        m_open.push_back({a * start.x + b * control1.x + c * control2.x + d * end.x,
                          a * start.y + b * control1.y + c * control2.y + d * end.y});
    }
}

void Path::Close()
{
    Flush();
}

void Path::AddPolygon(std::vector<Point> points)
{
    if (points.size() < 3)
        return;
    double area = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % points.size()];
        area += a.x * b.y - b.x * a.y;
    }
    if (area < 0)
        std::reverse(points.begin(), points.end());
    Flush();
    m_open = std::move(points);
    Flush();
}

void Path::Fill(Canvas& canvas, const Paint& paint) const
{
    std::vector<Edge> edges = m_edges;
    if (m_open.size() >= 2) {
        for (size_t i = 1; i < m_open.size(); ++i)
            edges.push_back({m_open[i - 1], m_open[i]});
        edges.push_back({m_open.back(), m_open.front()});
    }
    if (edges.empty())
        return;
    double minX = edges[0].a.x, maxX = minX, minY = edges[0].a.y, maxY = minY;
    for (const Edge& e : edges)
        for (const Point& p : {e.a, e.b}) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    const int left = std::max(0, static_cast<int>(std::floor(minX)));
    const int right = std::min(canvas.Width(), static_cast<int>(std::ceil(maxX)));
    const int top = std::max(0, static_cast<int>(std::floor(minY)));
    const int bottom = std::min(canvas.Height(), static_cast<int>(std::ceil(maxY)));
    if (left >= right || top >= bottom)
        return;

    constexpr int kSubRows = 16;
    std::vector<double> coverage(static_cast<size_t>(right - left));
    struct Crossing {
        double x;
        int direction;
    };
    std::vector<Crossing> crossings;
    for (int y = top; y < bottom; ++y) {
        std::fill(coverage.begin(), coverage.end(), 0.0);
        for (int sub = 0; sub < kSubRows; ++sub) {
            const double sy = y + (sub + 0.5) / kSubRows;
            crossings.clear();
            for (const Edge& e : edges) {
                if (e.a.y == e.b.y)
                    continue;
                const bool down = e.b.y > e.a.y;
                const double y0 = down ? e.a.y : e.b.y, y1 = down ? e.b.y : e.a.y;
                if (sy < y0 || sy >= y1)
                    continue;
                const double x = e.a.x + (sy - e.a.y) * (e.b.x - e.a.x) / (e.b.y - e.a.y);
                crossings.push_back({x, down ? 1 : -1});
            }
            std::sort(crossings.begin(), crossings.end(),
                      [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
            int winding = 0;
            for (size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].direction;
                if (winding == 0)
                    continue;
                const double xa = std::max(crossings[i].x, static_cast<double>(left));
                const double xb = std::min(crossings[i + 1].x, static_cast<double>(right));
                for (int px = static_cast<int>(std::floor(xa)); px < xb; ++px) {
                    const double overlap = std::min(xb, px + 1.0) - std::max(xa, static_cast<double>(px));
                    if (overlap > 0)
                        coverage[px - left] += overlap / kSubRows;
                }
            }
        }
        for (int x = left; x < right; ++x)
            if (coverage[x - left] > 0)
                canvas.Blend(x, y, paint(x + 0.5, y + 0.5), std::min(coverage[x - left], 1.0));
    }
}

// [SECTION] PNG

static void PutBE32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

static void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBE32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBE32(out, static_cast<uint32_t>(crc32(0L, out.data() + start, static_cast<uInt>(data.size() + 4))));
}

static uint8_t Paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

std::vector<uint8_t> EncodePng(const Canvas& canvas)
{
    const uint32_t width = static_cast<uint32_t>(canvas.Width()), height = static_cast<uint32_t>(canvas.Height());
    const std::vector<uint8_t> rgba = canvas.Rgba8();
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> filtered, candidate(rowBytes), best(rowBytes);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = rgba.data() + y * rowBytes;
        const uint8_t* above = y ? row - rowBytes : nullptr;
        uint64_t bestSum = UINT64_MAX;
        int bestType = 0;
        for (int type = 0; type < 5; ++type) {
            uint64_t sum = 0;
            for (size_t i = 0; i < rowBytes; ++i) {
                const int a = i >= 4 ? row[i - 4] : 0, b = above ? above[i] : 0, c = above && i >= 4 ? above[i - 4] : 0;
                const int predicted = type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : type == 4 ? Paeth(a, b, c) : 0;
                candidate[i] = static_cast<uint8_t>(row[i] - predicted);
                sum += candidate[i] < 128 ? candidate[i] : 256 - candidate[i];
            }
            if (sum < bestSum) {
                bestSum = sum;
                bestType = type;
                best.swap(candidate);
            }
        }
        filtered.push_back(static_cast<uint8_t>(bestType));
        filtered.insert(filtered.end(), best.begin(), best.end());
    }

    uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()), 9) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<uint8_t> file = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<uint8_t> header;
    PutBE32(header, width);
    PutBE32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", {});
    return file;
}

bool WritePng(const std::string& path, const Canvas& canvas)
{
    const std::vector<uint8_t> bytes = EncodePng(canvas);
    if (bytes.empty())
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace theme
