// Index: [SECTION] Set-up and placing  [SECTION] The mix and the playhead  [SECTION] Shapes
//        [SECTION] Mouse  [SECTION] Drawing
// The mix strip (app/MixStrip.h): three views drawn from flat-coloured quads and line lists,
// made again only when what they show changes.
#include "app/MixStrip.h"

#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Tooltip.h"
#include "media/DrawState.h"
#include "media/GL.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cmath>

namespace {

// A colour that shows whatever the light: all emission, no reflection; alpha from diffuse.
void SetFlat(CShape& shape, float r, float g, float b, float a = 1.0f)
{
    const float emission[4] = {r, g, b, 0.0f};
    const float none[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const float diffuse[4] = {0.0f, 0.0f, 0.0f, a};
    std::copy(emission, emission + 4, shape.material.emission);
    std::copy(none, none + 4, shape.material.ambient);
    std::copy(diffuse, diffuse + 4, shape.material.diffuse);
}

// One-pixel lines, four values each (x0, y0, x1, y1, window pixels): vertical ones (x0 = x1,
// a pixel centre) from y0 to y1, horizontal ones (y0 = y1, a pixel centre) from x0 to x1. Each
// is filled as a pixel-wide quad: the software renderer fills quads far faster than it
// rasterises lines.
void SetLines(CShape& shape, const std::vector<float>& segments, float z)
{
    const uint32_t lines = static_cast<uint32_t>(segments.size() / 4);
    if (shape.VertexCount() != 4 * lines)
        shape.SetVertexCount(4 * lines);
    for (uint32_t i = 0; i < lines; ++i) {
        const float* s = &segments[4 * i];
        const bool vertical = s[0] == s[2];
        const float left = vertical ? s[0] - 0.5f : s[0], right = vertical ? s[0] + 0.5f : s[2];
        const float top = vertical ? s[1] : s[1] - 0.5f, bottom = vertical ? s[3] : s[1] + 0.5f;
        const float corners[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
        for (uint32_t c = 0; c < 4; ++c) {
            float* p = &shape.positions[3 * (4 * i + c)];
            p[0] = corners[c][0];
            p[1] = corners[c][1];
            p[2] = 0.0f;
        }
    }
    shape.SetPosition(0.0f, 0.0f, z);
}

// A level as a share of a scale from floorDb to 0 dB.
float ShareOf(double db, double floorDb)
{
    return static_cast<float>(std::clamp((db - floorDb) / -floorDb, 0.0, 1.0));
}

// One decimal; a level that rounds to 0 shows no sign.
String DbText(double db)
{
    if (db <= kSilenceDb)
        return String("--");
    return String::Format("%.1f", db > -0.05 ? 0.0 : db);
}

constexpr float kInset = 6.0f;      // the meter's and the spectrum's margins inside their screens
constexpr float kClipMarkWidth = 12.0f;
constexpr double kAxisHz[3] = {100.0, 1000.0, 10000.0};
const char* const kAxisText[3] = {"100", "1k", "10k"};

} // namespace

// [SECTION] Set-up and placing

CMixStrip::CMixStrip()
{
    SetSize(800.0f, kHeight);
    SetZ(10.0f);
    SetFlat(*this, 0.10f, 0.10f, 0.11f);
    for (CGUI* screen : {static_cast<CGUI*>(&m_overview), &m_meterScreen, &m_spectrumScreen})
        SetFlat(*screen, 0.0f, 0.0f, 0.0f);
    SetFlat(m_selection, 0.25f, 0.45f, 0.85f, 0.4f);
    SetFlat(m_waveLines, 0.75f, 0.78f, 0.80f);
    SetFlat(m_clipLines, 1.0f, 0.25f, 0.2f); // the warning colour, as the clip indicator's
    SetFlat(m_spectrumLines, 0.35f, 0.70f, 0.90f);
    SetFlat(m_grid, 0.22f, 0.22f, 0.24f);
    SetFlat(m_meterHold, 0.95f, 0.95f, 0.95f);
    SetFlat(m_peakBar, 0.30f, 0.80f, 0.35f);
    SetFlat(m_rmsBar, 0.20f, 0.55f, 0.25f);
    SetFlat(m_playheadLine, 1.0f, 0.55f, 0.0f); // orange, as the panels' playheads
    for (CShape* lines : {&m_waveLines, &m_clipLines, &m_spectrumLines, &m_grid, &m_meterHold})
        lines->mode = GL_QUADS;
    m_playheadLine.SetPoint(1, 0.0f, 1.0f);
    m_overview.SetTooltip("The whole mix: click to play from there, drag to select a range that Play loops");
    m_meterScreen.SetTooltip("Level of what plays, peak and RMS in dBFS; the mark turns red when it clips");
    m_spectrumScreen.SetTooltip("Spectrum of what plays (of the whole mix while stopped), 20 Hz to 20 kHz");
    SetFlat(m_cursorLine, 0.35f, 0.65f, 1.0f); // the focus ring's blue
    m_cursorLine.SetPoint(1, 0.0f, 1.0f);
    m_slots.Connect(GetMouseSignal(), this, &CMixStrip::OnMouse);
    Place(0.0f, 0.0f, 800.0f);
}

void CMixStrip::Setup(const CFont* text)
{
    m_hasLabels = text != nullptr;
    if (!text)
        return;
    for (CFont* label : {&m_meterLabel, &m_axisLabels[0], &m_axisLabels[1], &m_axisLabels[2]}) {
        label->CopyFrom(*text);
        label->SetVisible(true);
        label->SetAlign(3); // left, middle
        label->SetWrap(false);
        SetFlat(*label, 0.80f, 0.80f, 0.82f);
    }
    for (int i = 0; i < 3; ++i) {
        m_axisLabels[i].SetText(kAxisText[i]);
        SetFlat(m_axisLabels[i], 0.45f, 0.45f, 0.48f);
    }
    Place(GetX(), GetY(), GetWidth());
}

void CMixStrip::Place(float x, float y, float width)
{
    const float least = kMeterWidth + kLeastSpectrumWidth + 2.0f * kGap + 16.0f;
    width = std::max(width, least);
    const bool resized = width != GetWidth() || m_columns.empty();
    SetPosition(x, y);
    SetSize(width, kHeight);
    const float z = GetZ();
    // The overview and the spectrum share what the meter leaves, the overview taking all the
    // spectrum does not need at its widest.
    const float shared = width - kMeterWidth - 2.0f * kGap;
    const float spectrumWidth = std::clamp(std::floor(shared / 2.0f), kLeastSpectrumWidth, kSpectrumWidth);
    const float overviewWidth = std::floor(shared - spectrumWidth);
    m_overview.SetPosition(x, y);
    m_overview.SetSize(overviewWidth, kHeight);
    m_meterScreen.SetPosition(x + overviewWidth + kGap, y);
    m_meterScreen.SetSize(kMeterWidth, kHeight);
    m_spectrumScreen.SetPosition(x + width - spectrumWidth, y);
    m_spectrumScreen.SetSize(spectrumWidth, kHeight);
    for (CGUI* screen : {static_cast<CGUI*>(&m_overview), &m_meterScreen, &m_spectrumScreen})
        screen->SetZ(z + 1.0f);
    m_selection.SetZ(z + 2.0f);
    for (CGUI* bar : {&m_peakBar, &m_rmsBar, &m_clipMark})
        bar->SetZ(z + 2.0f);
    const CVector meter = m_meterScreen.GetAbsolutePosition();
    m_clipMark.SetPosition(meter.x + kMeterWidth - kInset - kClipMarkWidth, meter.y + kInset);
    m_clipMark.SetSize(kClipMarkWidth, 26.0f);
    m_meterLabel.SetPosition(meter.x + kInset, meter.y + 38.0f);
    m_meterLabel.SetSize(kMeterWidth - 2.0f * kInset, 20.0f);
    m_meterLabel.SetZ(z + 3.0f);
    m_stale = m_stale || resized;
    if (m_stale)
        Refresh();
    MakeSpectrumShape(); // the grid and the axis labels follow the place
    ShowMeterLabels();
}

// [SECTION] The mix and the playhead

void CMixStrip::SetMix(const CSound& mix)
{
    m_pcm = ViewOf(mix);
    m_whole = MeasureLevels(m_pcm, 0, m_pcm.frames);
    if (!m_spectrum.AnalyseWhole(m_pcm, m_wholeBins))
        m_wholeBins.clear();
    double start = 0.0, end = 0.0;
    if (GetRange(start, end) && end > MixSeconds())
        ClearRange();
    m_cursor = std::min(m_cursor, MixSeconds());
    m_stale = true;
    Refresh();
}

bool CMixStrip::ShowPlayhead(double seconds)
{
    const bool playing = seconds >= 0.0 && m_pcm.samples && m_pcm.rate > 0;
    if (!playing) {
        if (m_playhead < 0.0)
            return false;
        m_playhead = -1.0;
        Refresh(); // the whole mix's figures and spectrum again
        return true;
    }
    const uint32_t now = PlatformTicks();
    const double elapsed = m_playhead < 0.0 ? 0.0 : static_cast<double>(now - m_lastTicks) / 1000.0;
    m_lastTicks = now;
    // What is on screen before: the playhead's column, the meter's bars, hold, mark and
    // label, the spectrum's lines.
    auto bars = [this] {
        const float hold = m_meterHold.VertexCount() ? m_meterHold.positions[0] : 0.0f;
        return std::vector<float>{m_peakBar.GetWidth(), m_rmsBar.GetWidth(), hold, float(m_meter.IsClipLit())};
    };
    const float oldX = m_playhead < 0.0 ? -1.0f : std::floor(XOf(m_playhead));
    const String oldLabel = m_meterLabel.GetText();
    const std::vector<float> oldBars = bars();
    const std::vector<float> oldSpectrum = m_spectrumLines.positions;

    m_playhead = seconds;
    const size_t frame = static_cast<size_t>(std::min(seconds * m_pcm.rate, static_cast<double>(m_pcm.frames)));
    const size_t first = frame > kMeterFrames ? frame - kMeterFrames : 0;
    m_meter.Feed(MeasureLevels(m_pcm, first, frame - first), elapsed);
    if (m_spectrum.AnalyseAt(m_pcm, frame, m_bins))
        MakeSpectrumShape();
    ShowMeterLabels();
    return std::floor(XOf(m_playhead)) != oldX || m_meterLabel.GetText() != oldLabel || bars() != oldBars ||
           oldSpectrum != m_spectrumLines.positions;
}

bool CMixStrip::GetRange(double& start, double& end) const
{
    if (!(m_rangeStart < m_rangeEnd))
        return false;
    start = m_rangeStart;
    end = m_rangeEnd;
    return true;
}

void CMixStrip::ClearRange()
{
    m_rangeStart = m_rangeEnd = 0.0;
    m_anchor = -1.0;
}

double CMixStrip::MixSeconds() const
{
    return m_pcm.rate > 0 ? static_cast<double>(m_pcm.frames) / m_pcm.rate : 0.0;
}

double CMixStrip::SecondsAt(float x) const
{
    const float width = m_overview.GetWidth();
    if (!(width > 0.0f))
        return 0.0;
    const double share = std::clamp((x - m_overview.GetAbsolutePosition().x) / width, 0.0f, 1.0f);
    return share * MixSeconds();
}

float CMixStrip::XOf(double seconds) const
{
    const double length = MixSeconds();
    const double share = length > 0.0 ? std::clamp(seconds / length, 0.0, 1.0) : 0.0;
    return m_overview.GetAbsolutePosition().x + static_cast<float>(share * m_overview.GetWidth());
}

void CMixStrip::Refresh()
{
    m_stale = false;
    m_columns = OverviewColumns(m_pcm, static_cast<uint32_t>(std::max(0.0f, m_overview.GetWidth())));
    MakeOverviewShapes();
    if (m_playhead < 0.0) {
        m_meter.Reset(m_whole);
        m_bins = m_wholeBins;
    }
    MakeSpectrumShape();
    ShowMeterLabels();
}

// [SECTION] Shapes

void CMixStrip::MakeOverviewShapes()
{
    const CVector at = m_overview.GetAbsolutePosition();
    const float half = 0.5f * (kHeight - 2.0f), middle = at.y + 0.5f * kHeight;
    std::vector<float> plain, clipped;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const OverviewColumn& c = m_columns[i];
        const float x = at.x + static_cast<float>(i) + 0.5f;
        const float top = std::floor(middle - c.high * half), bottom = std::floor(middle - c.low * half) + 1.0f;
        std::vector<float>& into = c.clipped ? clipped : plain;
        into.insert(into.end(), {x, top, x, bottom});
    }
    SetLines(m_waveLines, plain, GetZ() + 3.0f);
    SetLines(m_clipLines, clipped, GetZ() + 3.0f);
}

void CMixStrip::MakeSpectrumShape()
{
    const CVector at = m_spectrumScreen.GetAbsolutePosition();
    const float left = at.x + kInset, width = m_spectrumScreen.GetWidth() - 2.0f * kInset;
    const float bottom = at.y + kHeight - kInset, height = kHeight - 2.0f * kInset;
    const double high = m_pcm.rate > 0 ? std::min(kHighHz, 0.5 * m_pcm.rate) : kHighHz;
    m_spectrumColumns =
        LogSpectrumColumns(m_bins, m_pcm.rate, CSpectrum::kSize, static_cast<uint32_t>(width), kLowHz, high);
    std::vector<float> lines;
    for (size_t i = 0; i < m_spectrumColumns.size(); ++i) {
        const float h = std::round(ShareOf(m_spectrumColumns[i], kSpectrumFloorDb) * height);
        const float x = left + static_cast<float>(i) + 0.5f;
        if (h >= 1.0f)
            lines.insert(lines.end(), {x, bottom - h, x, bottom});
    }
    SetLines(m_spectrumLines, lines, GetZ() + 3.0f);

    // The grid: the spectrum's decades and the overview's zero line.
    std::vector<float> grid;
    for (int i = 0; i < 3; ++i) {
        const double share = std::log(kAxisHz[i] / kLowHz) / std::log(high / kLowHz);
        const float x = std::floor(left + static_cast<float>(width * share)) + 0.5f;
        grid.insert(grid.end(), {x, at.y + kInset, x, bottom});
        m_axisLabels[i].SetPosition(x + 3.0f, bottom - 12.0f);
        m_axisLabels[i].SetSize(30.0f, 12.0f);
        m_axisLabels[i].SetZ(GetZ() + 4.0f);
    }
    const CVector o = m_overview.GetAbsolutePosition();
    const float y = std::floor(o.y + 0.5f * kHeight) + 0.5f;
    grid.insert(grid.end(), {o.x, y, o.x + m_overview.GetWidth(), y});
    SetLines(m_grid, grid, GetZ() + 2.0f);
}

void CMixStrip::ShowMeterLabels()
{
    const LevelFigures& f = m_meter.GetFigures();
    const CVector at = m_meterScreen.GetAbsolutePosition();
    const float left = at.x + kInset, width = kMeterWidth - 3.0f * kInset - kClipMarkWidth;
    const float peak = std::round(ShareOf(f.peakDb, kMeterFloorDb) * width);
    const float rms = std::round(ShareOf(f.rmsDb, kMeterFloorDb) * width);
    m_peakBar.SetPosition(left, at.y + kInset);
    m_peakBar.SetSize(peak, 11.0f);
    m_rmsBar.SetPosition(left, at.y + kInset + 15.0f);
    m_rmsBar.SetSize(rms, 11.0f);
    const float held = std::round(ShareOf(m_meter.GetHeldPeakDb(), kMeterFloorDb) * width);
    const float hold = left + std::min(width - 1.0f, held) + 0.5f;
    SetLines(m_meterHold, {hold, at.y + kInset - 2.0f, hold, at.y + kInset + 28.0f}, GetZ() + 3.0f);
    if (m_meter.IsClipLit())
        SetFlat(m_clipMark, 1.0f, 0.25f, 0.2f);
    else
        SetFlat(m_clipMark, 0.22f, 0.08f, 0.07f);
    m_meterLabel.SetText("Pk " + DbText(f.peakDb) + "  RMS " + DbText(f.rmsDb) + " dBFS");
}

// [SECTION] Mouse

bool CMixStrip::InOverview(int32_t x, int32_t y) const
{
    const CVector at = m_overview.GetAbsolutePosition();
    return x >= at.x && y >= at.y && x < at.x + m_overview.GetWidth() && y < at.y + m_overview.GetHeight();
}

void CMixStrip::OnMouse(CInputMap& event)
{
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    if (event.action == InputMove && m_tipBox && !m_pressed && !GetPointerCapture()) {
        const CGUI* tipped = nullptr;
        for (const CGUI* view : std::initializer_list<const CGUI*>{&m_overview, &m_meterScreen, &m_spectrumScreen}) {
            const CVector at = view->GetAbsolutePosition();
            if (!event.handled && IsVisible() && x >= at.x && x < at.x + view->GetWidth() && y >= at.y &&
                y < at.y + view->GetHeight())
                tipped = view;
        }
        const CGUI* target = m_tipBox->GetTarget();
        if (tipped || target == &m_overview || target == &m_meterScreen || target == &m_spectrumScreen)
            m_tipBox->Track(tipped, tipped ? tipped->GetTooltip() : String(), x, y);
    }
    if (event.action == InputPress || event.action == InputDoubleClick) {
        if (event.handled || event.button != MouseLeft || !IsVisible() || !m_pcm.samples || !InOverview(x, y))
            return;
        event.handled = true;
        CGUI::SetPointerCapture(this);
        m_pressed = true;
        m_dragged = false;
        m_pressX = x;
        return;
    }
    if (!m_pressed)
        return;
    if (event.action == InputMove) {
        if (std::abs(x - m_pressX) <= kDragSlop && !m_dragged)
            return;
        m_dragged = true;
        const double a = SecondsAt(static_cast<float>(m_pressX)), b = SecondsAt(static_cast<float>(x));
        m_rangeStart = std::min(a, b);
        m_rangeEnd = std::max(a, b);
        m_anchor = a; // Shift and the keys go on stretching the range from the press
        m_cursor = b;
        RequestRedraw();
    } else if (event.action == InputRelease && event.button == MouseLeft) {
        m_pressed = false;
        if (CGUI::GetPointerCapture() == this)
            CGUI::SetPointerCapture(nullptr);
        RequestRedraw();
        double start = 0.0, end = 0.0;
        if (m_dragged && GetRange(start, end)) {
            onRange.Emit(start, end);
            return;
        }
        ClearRange();
        m_cursor = SecondsAt(static_cast<float>(m_pressX)); // the keys go on from the click
        m_cursorShown = false;
        onSeek.Emit(m_cursor);
    }
}

bool CMixStrip::TakeOverviewKey(const CInputMap& event)
{
    if (event.action != InputPress || event.control || !m_pcm.samples || !IsVisible())
        return false;
    const double length = MixSeconds();
    const bool play = (event.character && event.value == ' ') || (!event.character && event.value == KeyEnter);
    if (play) {
        if (event.repeat)
            return true;
        if (m_rangeStart < m_rangeEnd)
            onPlayRange.Emit();
        else
            onSeek.Emit(m_cursor);
        return true;
    }
    if (event.character)
        return false;
    if (event.value == KeyEscape) {
        if (!(m_rangeStart < m_rangeEnd))
            return false;
        ClearRange();
        RequestRedraw();
        return true;
    }
    const double column = length / std::max(1.0f, m_overview.GetWidth());
    double to = m_cursor;
    switch (event.value) {
    case KeyLeft: to -= column; break;
    case KeyRight: to += column; break;
    case KeyPageUp: to -= length / 10.0; break;
    case KeyPageDown: to += length / 10.0; break;
    case KeyHome: to = 0.0; break;
    case KeyEnd: to = length; break;
    default: return false;
    }
    to = std::clamp(to, 0.0, length);
    if (event.shift) {
        if (m_anchor < 0.0)
            m_anchor = m_cursor;
        m_rangeStart = std::min(m_anchor, to);
        m_rangeEnd = std::max(m_anchor, to);
    } else {
        ClearRange();
    }
    m_cursor = to;
    m_cursorShown = true;
    RequestRedraw();
    double start = 0.0, end = 0.0;
    if (event.shift && GetRange(start, end))
        onRange.Emit(start, end); // heard at once while the mix sounds, as a drag is
    return true;
}

// [SECTION] Drawing

void CMixStrip::Render()
{
    if (!IsVisible())
        return;
    CGUI::Render();
    for (CGUI* screen : {static_cast<CGUI*>(&m_overview), &m_meterScreen, &m_spectrumScreen})
        screen->Render();
    m_grid.Draw();
    double start = 0.0, end = 0.0;
    if (GetRange(start, end)) {
        const float from = std::floor(XOf(start)), to = std::max(from + 1.0f, std::floor(XOf(end)));
        m_selection.SetPosition(from, m_overview.GetAbsolutePosition().y);
        m_selection.SetSize(to - from, kHeight);
        m_selection.Render();
    }
    if (m_waveLines.VertexCount())
        m_waveLines.Draw();
    if (m_clipLines.VertexCount())
        m_clipLines.Draw();
    if (m_cursorShown) {
        const CVector at = m_overview.GetAbsolutePosition();
        m_cursorLine.SetScale(1.0f, kHeight, 1.0f);
        m_cursorLine.SetPosition(std::min(std::floor(XOf(m_cursor)), at.x + m_overview.GetWidth() - 1.0f) + 0.5f, at.y,
                                 GetZ() + 4.0f);
        m_cursorLine.Draw();
    }
    if (m_playhead >= 0.0) {
        const CVector at = m_overview.GetAbsolutePosition();
        m_playheadLine.SetScale(1.0f, kHeight, 1.0f);
        m_playheadLine.SetPosition(std::floor(XOf(m_playhead)) + 0.5f, at.y, GetZ() + 4.0f);
        m_playheadLine.Draw();
    }
    for (CGUI* bar : {&m_peakBar, &m_rmsBar})
        if (bar->GetWidth() >= 1.0f)
            bar->Render();
    m_clipMark.Render();
    m_meterHold.Draw();
    if (m_spectrumLines.VertexCount())
        m_spectrumLines.Draw();
    if (m_hasLabels) {
        m_meterLabel.Render();
        for (CFont& label : m_axisLabels)
            label.Render();
    }
}
