// make-theme [FOLDER]: draws every image of the program's look into FOLDER (by default
// resources/theme) as PNG files: the control bar, the command buttons, the project name field,
// the slider, the close button and the voice panel's switch boxes, and the program's icon at
// 64 × 64 (icon.png, which the running program gives its window). Each sheet's frame layout is
// the one that resources/resources_main.xml cuts from it: change both together. The output
// depends only on this code and on the DejaVu Sans font files, so the committed images can be
// checked against a fresh run byte for byte.
// make-theme --icons FOLDER: draws the desktop's application icon instead, as
// FOLDER/NxN/apps/quillwave.png at each size of the icon theme (the build does this; the
// icons are installed, not committed).
//
// Index
//   [SECTION] Palette and states
//   [SECTION] Drawing helpers
//   [SECTION] Icons
//   [SECTION] Widgets
//   [SECTION] Sheets (one per file)
//   [SECTION] Application icon
//   [SECTION] Main
#include "tools/theme/Canvas.h"
#include "tools/theme/Glyphs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace theme;

namespace {

// [SECTION] Palette and states

// Buttons and boxes show four states as consecutive frames, in this order.
enum State { kNormal = 0, kHover = 1, kDown = 2, kDisabled = 3 };
constexpr int kStates = 4;

const Colour kAccentTop = Rgb(0x58a4f0);
const Colour kAccentBottom = Rgb(0x2f78c8);
const Colour kAccentEdge = Rgb(0x1f5c9e);

const Colour kInk = Rgb(0xdadade);          // text and icons at rest
const Colour kInkBright = Rgb(0xffffff);    // under the pointer, on the accent
const Colour kInkDisabled = Rgb(0x64646a);

const char* const kRegularFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// The colours of a raised face (command buttons, thumb backgrounds) in one state.
struct FaceLook {
    Colour top, bottom, edge, ink;
    double shift; // content moves down by this while pressed
};

FaceLook ButtonLook(int state)
{
    switch (state) {
    case kHover: return {Rgb(0x4b4b54), Rgb(0x3e3e46), Rgb(0x686872), kInkBright, 0};
    case kDown: return {kAccentTop, kAccentBottom, kAccentEdge, kInkBright, 1};
    case kDisabled: return {Rgb(0x2d2d32), Rgb(0x29292e), Rgb(0x38383e), kInkDisabled, 0};
    default: return {Rgb(0x3e3e45), Rgb(0x33333a), Rgb(0x4d4d56), kInk, 0};
    }
}

// The switch boxes of the voice panel sit recessed in the panel when off.
FaceLook BoxLook(int state)
{
    switch (state) {
    case kHover: return {Rgb(0x3a3a42), Rgb(0x34343b), Rgb(0x6a6a74), kInkBright, 0};
    case kDown: return {kAccentTop, kAccentBottom, kAccentEdge, kInkBright, 0};
    case kDisabled: return {Rgb(0x2e2e33, 0.7f), Rgb(0x2e2e33, 0.7f), Rgb(0x3a3a40, 0.7f), Rgb(0x5a5a60), 0};
    default: return {Rgb(0x232328), Rgb(0x28282d), Rgb(0x18181b), Rgb(0xa8a8b0), 0};
    }
}

// [SECTION] Drawing helpers

// Places icon geometry: icons are drawn in a 14 × 14 box whose top-left corner is (ox, oy).
struct Pen {
    double ox, oy;
    Point operator()(double x, double y) const { return {ox + x, oy + y}; }
};

void FillRoundRect(Canvas& c, double x0, double y0, double x1, double y1, double radius, const Paint& paint)
{
    c.FillSdf(x0 - 1, y0 - 1, x1 + 1, y1 + 1,
              [=](double x, double y) { return SdRoundRect(x, y, x0, y0, x1, y1, radius); }, paint);
}

// A rounded face with a one-pixel edge, filling [x0, x1] × [y0, y1].
void DrawFace(Canvas& c, double x0, double y0, double x1, double y1, double radius, const FaceLook& look)
{
    FillRoundRect(c, x0, y0, x1, y1, radius, Solid(look.edge));
    FillRoundRect(c, x0 + 1, y0 + 1, x1 - 1, y1 - 1, std::max(radius - 1, 0.0),
                  VerticalGradient(y0 + 1, look.top, y1 - 1, look.bottom));
}

void StrokePolyline(Canvas& c, const std::vector<Point>& points, double width, Colour colour)
{
    if (points.empty())
        return;
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (const Point& p : points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    const double reach = width / 2 + 1;
    c.FillSdf(x0 - reach, y0 - reach, x1 + reach, y1 + reach,
              [&points, width](double x, double y) { return DistPolyline(x, y, points) - width / 2; },
              Solid(colour));
}

void FillPolygon(Canvas& c, const std::vector<Point>& points, Colour colour)
{
    Path path;
    path.AddPolygon(points);
    path.Fill(c, Solid(colour));
}

void StrokeRing(Canvas& c, Point centre, double radius, double width, Colour colour)
{
    const double reach = radius + width / 2 + 1;
    c.FillSdf(centre.x - reach, centre.y - reach, centre.x + reach, centre.y + reach,
              [=](double x, double y) {
                  return std::fabs(std::hypot(x - centre.x, y - centre.y) - radius) - width / 2;
              },
              Solid(colour));
}

// Points of the arc around centre from angle a0 to a1 (degrees, 0 to the right, y down).
std::vector<Point> Arc(Point centre, double radius, double a0, double a1)
{
    std::vector<Point> points;
    const int n = std::max(4, static_cast<int>(std::fabs(a1 - a0) / 6));
    for (int i = 0; i <= n; ++i) {
        const double a = (a0 + (a1 - a0) * i / n) * M_PI / 180;
        points.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)});
    }
    return points;
}

struct Fonts {
    Typeface regular, bold;
};

void DrawText(Canvas& c, const Typeface& face, const std::string& text, double x, double baseline, double size,
              Colour colour)
{
    Path path;
    face.AddText(path, text, x, baseline, size);
    path.Fill(c, Solid(colour));
}

// The baseline that centres capitals of the given size vertically in [top, top + height].
double CentredBaseline(const Typeface& face, double top, double height, double size)
{
    return std::round(top + (height + face.CapHeight(size)) / 2);
}

// [SECTION] Icons
// The command buttons' pictures, each in a 14 × 14 box placed by the pen.

constexpr double kStroke = 1.35;

void IconNew(Canvas& c, Pen p, Colour ink)
{
    StrokePolyline(c, {p(3, 1.5), p(8.5, 1.5), p(11.5, 4.5), p(11.5, 12.5), p(3, 12.5), p(3, 1.5)}, kStroke, ink);
    StrokePolyline(c, {p(8.5, 1.5), p(8.5, 4.5), p(11.5, 4.5)}, kStroke, ink);
}

void IconOpen(Canvas& c, Pen p, Colour ink)
{
    StrokePolyline(c, {p(1.5, 12), p(1.5, 2.5), p(5.5, 2.5), p(7, 4), p(11.5, 4), p(11.5, 6)}, kStroke, ink);
    FillPolygon(c, {p(1.5, 12.5), p(4, 6.5), p(13.5, 6.5), p(11, 12.5)}, ink);
}

void IconSave(Canvas& c, Pen p, Colour ink)
{
    StrokePolyline(c, {p(1.5, 1.5), p(10, 1.5), p(12.5, 4), p(12.5, 12.5), p(1.5, 12.5), p(1.5, 1.5)}, kStroke, ink);
    FillPolygon(c, {p(4, 1.5), p(9.5, 1.5), p(9.5, 5), p(4, 5)}, ink);
    StrokePolyline(c, {p(4, 12.5), p(4, 8.5), p(10, 8.5), p(10, 12.5)}, kStroke, ink);
}

void IconSaveSound(Canvas& c, Pen p, Colour ink)
{
    // A waveform going down into a tray: the mix written out.
    std::vector<Point> wave;
    for (int i = 0; i <= 24; ++i) {
        const double t = i / 24.0;
        wave.push_back(p(1.5 + 11 * t, 4 + 2.5 * std::sin(t * 2 * M_PI)));
    }
    StrokePolyline(c, wave, kStroke, ink);
    StrokePolyline(c, {p(7, 5), p(7, 10.5)}, kStroke, ink);
    StrokePolyline(c, {p(4.5, 8), p(7, 10.5), p(9.5, 8)}, kStroke, ink);
    StrokePolyline(c, {p(1.5, 10), p(1.5, 12.5), p(12.5, 12.5), p(12.5, 10)}, kStroke, ink);
}

void IconAddSound(Canvas& c, Pen p, Colour ink)
{
    StrokeRing(c, p(7, 7), 5.5, kStroke, ink);
    StrokePolyline(c, {p(7, 4), p(7, 10)}, kStroke, ink);
    StrokePolyline(c, {p(4, 7), p(10, 7)}, kStroke, ink);
}

void IconPlay(Canvas& c, Pen p, Colour ink)
{
    const std::vector<Point> triangle = {p(4, 2.5), p(12, 7), p(4, 11.5)};
    FillPolygon(c, triangle, ink);
    StrokePolyline(c, {triangle[0], triangle[1], triangle[2], triangle[0]}, 1.0, ink);
}

void IconStop(Canvas& c, Pen p, Colour ink)
{
    const Point a = p(3, 3), b = p(11, 11);
    FillRoundRect(c, a.x, a.y, b.x, b.y, 1.5, Solid(ink));
}

void IconLoop(Canvas& c, Pen p, Colour ink)
{
    StrokePolyline(c, {p(2, 9), p(2, 4.5), p(11, 4.5)}, kStroke, ink);
    StrokePolyline(c, {p(8.5, 2), p(11, 4.5), p(8.5, 7)}, kStroke, ink);
    StrokePolyline(c, {p(12, 5), p(12, 9.5), p(3, 9.5)}, kStroke, ink);
    StrokePolyline(c, {p(5.5, 7), p(3, 9.5), p(5.5, 12)}, kStroke, ink);
}

void IconMic(Canvas& c, Pen p, Colour ink)
{
    const Point a = p(5, 1), b = p(9, 8.5);
    FillRoundRect(c, a.x, a.y, b.x, b.y, 2, Solid(ink));
    StrokePolyline(c, Arc(p(7, 6), 4.5, 0, 180), kStroke, ink);
    StrokePolyline(c, {p(7, 10.5), p(7, 13)}, kStroke, ink);
    StrokePolyline(c, {p(4.5, 13), p(9.5, 13)}, kStroke, ink);
}

// A die showing five: the Generate menu's picture (a sound drawn at random).
void IconGenerate(Canvas& c, Pen p, Colour ink)
{
    StrokePolyline(c, {p(2, 2), p(12, 2), p(12, 12), p(2, 12), p(2, 2)}, kStroke, ink);
    for (const Point centre : {p(4.8, 4.8), p(9.2, 4.8), p(7, 7), p(4.8, 9.2), p(9.2, 9.2)}) {
        const double r = 1.1;
        c.FillSdf(centre.x - r - 1, centre.y - r - 1, centre.x + r + 1, centre.y + r + 1,
                  [=](double x, double y) { return std::hypot(x - centre.x, y - centre.y) - r; }, Solid(ink));
    }
}

// Wave shapes drawn across [x0, x1] around the middle line my with amplitude a.
std::vector<Point> SineWave(double x0, double x1, double my, double a)
{
    std::vector<Point> points;
    for (int i = 0; i <= 32; ++i) {
        const double t = i / 32.0;
        points.push_back({x0 + (x1 - x0) * t, my - a * std::sin(t * 2 * M_PI)});
    }
    return points;
}

// A zigzag of straight strokes meeting in sharp corners at the full height, so that it is
// told from the sine's single round period at a glance.
std::vector<Point> TriangleWave(double x0, double x1, double my, double a)
{
    const double w = x1 - x0, h = a * 1.3;
    return {{x0, my + h}, {x0 + w / 3, my - h}, {x0 + 2 * w / 3, my + h}, {x1, my - h}};
}

std::vector<Point> SawtoothWave(double x0, double x1, double my, double a)
{
    const double half = (x1 - x0) / 2;
    return {{x0, my + a}, {x0 + half, my - a}, {x0 + half, my + a}, {x1, my - a}, {x1, my + a}};
}

std::vector<Point> SquareWave(double x0, double x1, double my, double a)
{
    const double half = (x1 - x0) / 2;
    return {{x0, my + a}, {x0, my - a}, {x0 + half, my - a}, {x0 + half, my + a}, {x1, my + a}, {x1, my - a}};
}

// Noise: a jagged line of held steps, as sample-and-hold noise looks on a screen. The levels
// are fixed so that the picture never changes.
std::vector<Point> NoiseWave(double x0, double x1, double my, double a)
{
    const double levels[] = {0.2, -0.9, 0.7, -0.3, 1.0, -0.6, 0.4, -1.0};
    const int steps = static_cast<int>(sizeof levels / sizeof levels[0]);
    const double w = (x1 - x0) / steps;
    std::vector<Point> points;
    for (int i = 0; i < steps; ++i) {
        points.push_back({x0 + i * w, my - a * levels[i]});
        points.push_back({x0 + (i + 1) * w, my - a * levels[i]});
    }
    return points;
}

// [SECTION] Widgets

// A command button: a raised face with an icon and, when the text is not empty, a name.
using IconFn = void (*)(Canvas&, Pen, Colour);

Canvas CommandButton(int width, int height, int state, IconFn icon, const std::string& text, const Fonts& fonts)
{
    Canvas c(width, height);
    const FaceLook look = ButtonLook(state);
    DrawFace(c, 0, 0, width, height, 5, look);
    if (state != kDown) // a faint light along the top edge of a raised face
        c.FillSdf(3, 1, width - 3, 2, [width](double x, double y) { return SdRoundRect(x, y, 3, 1, width - 3, 2, 0); },
                  Solid(WithAlpha(kInkBright, state == kDisabled ? 0.02f : 0.06f)));
    const double size = 12;
    const double textWidth = text.empty() ? 0 : fonts.regular.Measure(text, size);
    const double gap = text.empty() ? 0 : 6;
    const double content = 14 + gap + textWidth;
    const double left = std::round((width - content) / 2);
    const double top = std::round((height - 14) / 2.0) + look.shift;
    icon(c, {left, top}, look.ink);
    if (!text.empty())
        DrawText(c, fonts.regular, text, left + 14 + gap, CentredBaseline(fonts.regular, 0, height, size) + look.shift,
                 size, look.ink);
    return c;
}

// A switch box of the voice panel with its picture drawn by art in the box's own coordinates.
template <typename Art>
Canvas SwitchBox(int width, int height, int state, Art art)
{
    Canvas c(width, height);
    const FaceLook look = BoxLook(state);
    DrawFace(c, 0, 0, width, height, 3, look);
    art(c, look.ink);
    return c;
}

Canvas WaveBox(int width, int height, int state, std::vector<Point> (*shape)(double, double, double, double))
{
    return SwitchBox(width, height, state, [&](Canvas& c, Colour ink) {
        StrokePolyline(c, shape(3.5, width - 3.5, height / 2.0, 3.5), 1.3, ink);
    });
}

Canvas LabelBox(int width, int height, int state, const std::string& text, const Fonts& fonts)
{
    return SwitchBox(width, height, state, [&](Canvas& c, Colour ink) {
        const double size = 9;
        const double x = std::round((width - fonts.bold.Measure(text, size)) / 2);
        DrawText(c, fonts.bold, text, x, CentredBaseline(fonts.bold, 0, height, size), size, ink);
    });
}

// A small borderless button (the close button, the slider's arrows): nothing behind its
// picture at rest, a dark plate under the pointer, the accent face while pressed. Returns the
// colour for the picture.
Colour SmallButtonBack(Canvas& c, double radius, int state, Colour rest, Colour disabled)
{
    if (state == kHover)
        FillRoundRect(c, 0, 0, c.Width(), c.Height(), radius, Solid(Rgb(0x2a2a30)));
    if (state == kDown)
        DrawFace(c, 0, 0, c.Width(), c.Height(), radius, ButtonLook(kDown));
    return state == kDisabled ? disabled : state == kNormal ? rest : kInkBright;
}

Canvas CloseButton(int size, int state)
{
    Canvas c(size, size);
    const Colour ink = SmallButtonBack(c, 4, state, Rgb(0xc4c4ca), Rgb(0x6a6a70));
    const double m = 4.5;
    StrokePolyline(c, {{m, m}, {size - m, size - m}}, 1.6, ink);
    StrokePolyline(c, {{size - m, m}, {m, size - m}}, 1.6, ink);
    return c;
}

// The slider's parts.
Canvas SliderTrack(int width, int height, int arrow)
{
    Canvas c(width, height);
    const double y0 = height / 2.0 - 2, y1 = height / 2.0 + 2;
    FillRoundRect(c, arrow + 1, y0 - 1, width - arrow - 1, y1 + 1, 3, Solid(Rgb(0x000000, 0.25f)));
    FillRoundRect(c, arrow + 1.5, y0, width - arrow - 1.5, y1, 2, Solid(Rgb(0x18181c)));
    return c;
}

Canvas SliderThumb(int width, int height, int state)
{
    Canvas c(width, height);
    FaceLook look;
    switch (state) {
    case kHover: look = {Rgb(0xf4f4f6), Rgb(0xcfcfd6), Rgb(0x1c1c20), Rgb(0x77777f), 0}; break;
    case kDown: look = {kAccentTop, kAccentBottom, kAccentEdge, Rgb(0xd8e8fa), 0}; break;
    case kDisabled: look = {Rgb(0x5e5e64), Rgb(0x505056), Rgb(0x2a2a2e), Rgb(0x46464c), 0}; break;
    default: look = {Rgb(0xd8d8de), Rgb(0xadadb5), Rgb(0x1c1c20), Rgb(0x6e6e76), 0}; break;
    }
    DrawFace(c, 0.5, 0, width - 0.5, height, 3, look);
    StrokePolyline(c, {{width / 2.0, 3}, {width / 2.0, height - 3.0}}, 1.0, look.ink);
    return c;
}

Canvas SliderArrow(int size, int state, bool right)
{
    Canvas c(size, size);
    const Colour ink = SmallButtonBack(c, 3, state, Rgb(0xb4b4bc), Rgb(0x55555b));
    const double mid = size / 2.0;
    if (right)
        FillPolygon(c, {{mid - 1.5, mid - 3.5}, {mid + 2.5, mid}, {mid - 1.5, mid + 3.5}}, ink);
    else
        FillPolygon(c, {{mid + 1.5, mid - 3.5}, {mid - 2.5, mid}, {mid + 1.5, mid + 3.5}}, ink);
    return c;
}

Canvas NameField(int width, int height)
{
    Canvas c(width, height);
    FillRoundRect(c, 0, 0, width, height, 4, Solid(Rgb(0x4a4a53)));
    FillRoundRect(c, 1, 1, width - 1, height - 1, 3, VerticalGradient(1, Rgb(0x0e0e10), 6, Rgb(0x151518)));
    return c;
}

Canvas ControlBar(int width, int height)
{
    Canvas c(width, height);
    c.FillSdf(0, 0, width, height, [](double, double) { return -1.0; },
              VerticalGradient(0, Rgb(0x313137), height, Rgb(0x242429)));
    c.FillSdf(0, 0, width, 1, [](double, double) { return -1.0; }, Solid(Rgb(0x3d3d44)));
    c.FillSdf(0, height - 1, width, height, [](double, double) { return -1.0; }, Solid(Rgb(0x111113)));
    return c;
}

// [SECTION] Sheets (one per file)
// Every sheet puts the four states of a control side by side in one row; the sizes here are
// the ones resources/resources_main.xml and resources/gui_main.xml give.

struct Command {
    const char* name;
    IconFn icon;
    int width; // 0 for the square icon-only buttons
};

const Command kCommands[] = {
    {"New", IconNew, 66},         {"Open", IconOpen, 70},           {"Save", IconSave, 68},
    {"Save Sound", IconSaveSound, 110}, {"", IconAddSound, 32}, {"", IconPlay, 32},
    {"", IconStop, 32},           {"", IconLoop, 32},               {"", IconMic, 32},
    {"Generate", IconGenerate, 84}, // the Generate menu's face (it uses the first state)
};
constexpr int kCommandHeight = 28;

Canvas CommandsSheet(const Fonts& fonts)
{
    int widest = 0;
    for (const Command& command : kCommands)
        widest = std::max(widest, command.width);
    const int rows = static_cast<int>(sizeof kCommands / sizeof kCommands[0]);
    Canvas sheet(widest * kStates, rows * kCommandHeight);
    for (int row = 0; row < rows; ++row)
        for (int state = 0; state < kStates; ++state)
            sheet.Place(CommandButton(kCommands[row].width, kCommandHeight, state, kCommands[row].icon,
                                      kCommands[row].name, fonts),
                        state * kCommands[row].width, row * kCommandHeight);
    return sheet;
}

constexpr int kBoxHeight = 16, kWaveBoxWidth = 19, kSwitchBoxWidth = 19, kModBoxWidth = 28;
// The named switches added after noise: the panel's three areas of stages, the glide's and
// the clean shapes' switches, and the project strip's two.
struct NamedBox {
    const char* text;
    int width;
};
constexpr NamedBox kNamedBoxes[] = {{"Pitch", 40}, {"Tone", 40}, {"Filter", 40}, {"Linear", 40},
                                    {"Clean", 40}, {"Normalize", 64}, {"Sum", 40}};
constexpr int kNamedBoxRows = static_cast<int>(sizeof kNamedBoxes / sizeof kNamedBoxes[0]);
constexpr int kWidestNamedBox = 64;

Canvas TogglesSheet(const Fonts& fonts)
{
    // Rows: the four classic shapes, four switches, AM, FM, PM, then noise and the named
    // switches (added last, so that the frames before them kept their places).
    Canvas sheet(kWidestNamedBox * kStates, (12 + kNamedBoxRows) * kBoxHeight);
    std::vector<Point> (*const waves[])(double, double, double, double) = {SineWave, TriangleWave, SawtoothWave,
                                                                          SquareWave};
    int row = 0;
    for (auto wave : waves) {
        for (int state = 0; state < kStates; ++state)
            sheet.Place(WaveBox(kWaveBoxWidth, kBoxHeight, state, wave), state * kWaveBoxWidth, row * kBoxHeight);
        ++row;
    }

    // The switch pictures are laid out for a box 19 wide and 16 high: lines on pixel centres.
    const int w = kSwitchBoxWidth, h = kBoxHeight;
    auto loop = [](Canvas& c, Colour ink) {
        StrokePolyline(c, {{3.5, 10}, {3.5, 4.5}, {13.5, 4.5}}, 1.3, ink);
        StrokePolyline(c, {{11.5, 2.5}, {13.5, 4.5}, {11.5, 6.5}}, 1.3, ink);
        StrokePolyline(c, {{15.5, 6}, {15.5, 11.5}, {5.5, 11.5}}, 1.3, ink);
        StrokePolyline(c, {{7.5, 9.5}, {5.5, 11.5}, {7.5, 13.5}}, 1.3, ink);
    };
    auto envelope = [](Canvas& c, Colour ink) {
        StrokePolyline(c, {{3.5, 12.5}, {6.5, 3.5}, {9.5, 8.5}, {12.5, 8.5}, {15.5, 12.5}}, 1.3, ink);
    };
    auto carrier = [](Canvas& c, Colour ink) {
        // A second oscillator: a fast wave above a slow one.
        std::vector<Point> fast, slow;
        for (int i = 0; i <= 48; ++i) {
            const double t = i / 48.0;
            fast.push_back({3.5 + 12 * t, 5 - 1.8 * std::sin(t * 4 * M_PI)});
            slow.push_back({3.5 + 12 * t, 11 - 2 * std::sin(t * 2 * M_PI)});
        }
        StrokePolyline(c, fast, 1.15, ink);
        StrokePolyline(c, slow, 1.15, ink);
    };
    auto mute = [](Canvas& c, Colour ink) {
        FillPolygon(c, {{3, 6}, {5.5, 6}, {9, 3}, {9, 13}, {5.5, 10}, {3, 10}}, ink);
        StrokePolyline(c, {{11.5, 6}, {15.5, 10}}, 1.3, ink);
        StrokePolyline(c, {{15.5, 6}, {11.5, 10}}, 1.3, ink);
    };
    for (int state = 0; state < kStates; ++state) {
        sheet.Place(SwitchBox(w, h, state, loop), state * w, row * h);
        sheet.Place(SwitchBox(w, h, state, envelope), state * w, (row + 1) * h);
        sheet.Place(SwitchBox(w, h, state, carrier), state * w, (row + 2) * h);
        sheet.Place(SwitchBox(w, h, state, mute), state * w, (row + 3) * h);
    }
    row += 4;
    for (const char* name : {"AM", "FM", "PM"}) {
        for (int state = 0; state < kStates; ++state)
            sheet.Place(LabelBox(kModBoxWidth, kBoxHeight, state, name, fonts), state * kModBoxWidth, row * kBoxHeight);
        ++row;
    }
    for (int state = 0; state < kStates; ++state)
        sheet.Place(WaveBox(kWaveBoxWidth, kBoxHeight, state, NoiseWave), state * kWaveBoxWidth, row * kBoxHeight);
    ++row;
    for (const NamedBox& box : kNamedBoxes) {
        for (int state = 0; state < kStates; ++state)
            sheet.Place(LabelBox(box.width, kBoxHeight, state, box.text, fonts), state * box.width, row * kBoxHeight);
        ++row;
    }
    return sheet;
}

// The project name's field (100 × 24) above the generator seed's (40 × 24).
Canvas FieldsSheet()
{
    Canvas sheet(100, 48);
    sheet.Place(NameField(100, 24), 0, 0);
    sheet.Place(NameField(40, 24), 0, 24);
    return sheet;
}

constexpr int kTrackWidth = 148, kSliderHeight = 11, kThumbWidth = 12, kArrowSize = 11;

Canvas SliderSheet()
{
    Canvas sheet(kTrackWidth, 2 * kSliderHeight);
    sheet.Place(SliderTrack(kTrackWidth, kSliderHeight, kArrowSize), 0, 0);
    for (int state = 0; state < kStates; ++state) {
        sheet.Place(SliderThumb(kThumbWidth, kSliderHeight, state), state * kThumbWidth, kSliderHeight);
        sheet.Place(SliderArrow(kArrowSize, state, false), kStates * kThumbWidth + state * kArrowSize, kSliderHeight);
        sheet.Place(SliderArrow(kArrowSize, state, true), kStates * (kThumbWidth + kArrowSize) + state * kArrowSize,
                    kSliderHeight);
    }
    return sheet;
}

constexpr int kCloseSize = 16;

Canvas CloseSheet()
{
    Canvas sheet(kCloseSize * kStates, kCloseSize);
    for (int state = 0; state < kStates; ++state)
        sheet.Place(CloseButton(kCloseSize, state), state * kCloseSize, 0);
    return sheet;
}

// [SECTION] Application icon

// The sizes (in pixels, square) the desktop's icon theme asks for.
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The program's icon at size × size pixels: a dark rounded tile, like the control bar, with one
// period of a sine wave in the accent colour across it, as an oscilloscope shows a voice. The
// drawing is in fractions of the size, with strokes kept at least 1.4 pixels wide so that the
// smallest sizes stay legible; from 48 pixels up a faint zero line runs behind the wave.
Canvas AppIcon(int size)
{
    Canvas c(size, size);
    const double s = size;
    const double m = std::max(0.5, s * 0.055), r = s * 0.2;
    FillRoundRect(c, m, m, s - m, s - m, r, Solid(kAccentEdge));
    const double edge = std::max(1.0, s / 64);
    FillRoundRect(c, m + edge, m + edge, s - m - edge, s - m - edge, std::max(r - edge, 0.0),
                  VerticalGradient(m, Rgb(0x3e3e45), s - m, Rgb(0x1c1c20)));
    const double x0 = s * 0.2, x1 = s * 0.8, mid = s * 0.5, amplitude = s * 0.22;
    if (size >= 48)
        StrokePolyline(c, {{x0, mid}, {x1, mid}}, std::max(1.0, s / 96), Rgb(0x58a4f0, 0.35f));
    std::vector<Point> wave;
    for (int i = 0; i <= 64; ++i) {
        const double t = i / 64.0;
        wave.push_back({x0 + (x1 - x0) * t, mid - amplitude * std::sin(t * 2 * M_PI)});
    }
    StrokePolyline(c, wave, std::max(1.4, s * 0.075), Rgb(0x58a4f0));
    return c;
}

int DrawIcons(const std::filesystem::path& folder)
{
    for (int size : kIconSizes) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path apps = folder / name / "apps";
        std::error_code error;
        std::filesystem::create_directories(apps, error);
        const std::string path = (apps / "quillwave.png").string();
        if (!WritePng(path, AppIcon(size))) {
            std::fprintf(stderr, "make-theme: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

// [SECTION] Main

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--icons")
        return DrawIcons(argv[2]);
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: make-theme [FOLDER]\n       make-theme --icons FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argc == 2 ? argv[1] : "resources/theme";
    Fonts fonts;
    if (!fonts.regular.Open(kRegularFont) || !fonts.bold.Open(kBoldFont)) {
        std::fprintf(stderr, "make-theme: cannot open %s or %s\n", kRegularFont, kBoldFont);
        return 1;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);

    const struct {
        const char* file;
        Canvas canvas;
    } sheets[] = {
        {"controlbar.png", ControlBar(64, 40)},
        {"commands.png", CommandsSheet(fonts)},
        {"field.png", FieldsSheet()},
        {"slider.png", SliderSheet()},
        {"close.png", CloseSheet()},
        {"toggles.png", TogglesSheet(fonts)},
        {"icon.png", AppIcon(64)},
    };
    for (const auto& sheet : sheets) {
        const std::string path = (folder / sheet.file).string();
        if (!WritePng(path, sheet.canvas)) {
            std::fprintf(stderr, "make-theme: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
