// CMixStrip: the strip under the control bar that shows the whole mix at once: its overview
// (the least and greatest value of each pixel column, clipped samples in the warning colour,
// the selected range and, while playing, the playhead), a level meter (peak and RMS in dBFS,
// the held peak and the clip mark) and the spectrum on a logarithmic frequency axis. While the
// mix plays the meter and the spectrum show what plays at the playhead; while it does not,
// the whole mix. The figures come from sound/MixAnalysis.h and sound/Spectrum.h.
// A click in the overview asks to play from that point (onSeek); a drag selects a range
// (onRange). The strip reads the mix it was last given (SetMix), which the owner keeps alive
// until the next SetMix. It listens to the mouse signal itself, after the GUI manager made
// before it: a press a menu took is not the strip's. Needs no OpenGL context except to Render;
// main thread only (the spectrum's plan).
#pragma once

#include "app/Oscilloscope.h"
#include "gui/Font.h"
#include "gui/GUI.h"
#include "sound/MixAnalysis.h"
#include "sound/Spectrum.h"

#include <cstdint>
#include <vector>

class CInputMap;
class CTooltip;

class CMixStrip : public CGUI {
public:
    static constexpr float kHeight = 64.0f;
    static constexpr float kMeterWidth = 170.0f;
    static constexpr float kSpectrumWidth = 260.0f;     // its widest; in a narrow window it
    static constexpr float kLeastSpectrumWidth = 160.0f; // gives way, down to this, so that the
                                                         // overview is never the narrower
    static constexpr float kGap = 6.0f; // between the three views
    // The meter's and the spectrum's scales: kFloorDb at the left or bottom, 0 dBFS at the
    // other end.
    static constexpr double kMeterFloorDb = -60.0;
    static constexpr double kSpectrumFloorDb = -90.0;
    static constexpr double kLowHz = 20.0;
    static constexpr double kHighHz = 20000.0; // or half the mix's rate, when lower
    // The frames before the playhead the meter measures (about a frame of the display).
    static constexpr uint32_t kMeterFrames = 2048;
    // A press and release this close (pixels) is a click, not a drag.
    static constexpr int32_t kDragSlop = 3;

    CMixStrip();
    CMixStrip(const CMixStrip&) = delete;
    CMixStrip& operator=(const CMixStrip&) = delete;

    // The labels' look (a copy of text, drawn light); null leaves the strip without labels.
    void Setup(const CFont* text);
    // Places the strip at (x, y) across width (at least a few pixels of overview remain).
    void Place(float x, float y, float width);
    // The tip the views name themselves in when the pointer rests on them (shared with the
    // other routers; not owned; null: none).
    void SetTipBox(CTooltip* tip) { m_tipBox = tip; }

    // A new mix (its format may be anything; only 16-bit PCM shows): the overview, the whole
    // mix's figures and spectrum are made again. A selection that still lies within the mix
    // stays.
    void SetMix(const CSound& mix);
    // What plays: seconds into the mix (negative: nothing plays). The playhead, the meter and
    // the spectrum follow. True when something shown changed (the caller then redraws).
    bool ShowPlayhead(double seconds);

    // The selected range in seconds into the mix; false when there is none.
    bool GetRange(double& start, double& end) const;
    void ClearRange();

    // What the views show, for the tests: the overview's columns (one per pixel of its
    // screen), the meter, and the spectrum's columns (dB, one per pixel).
    const std::vector<OverviewColumn>& GetColumns() const { return m_columns; }
    const CLevelMeter& GetMeter() const { return m_meter; }
    const std::vector<float>& GetSpectrumColumns() const { return m_spectrumColumns; }
    // The views' screens (window pixels through GetAbsolutePosition and the size). The
    // overview is a keyboard stop (see TakeOverviewKey).
    const CGUI& GetOverview() const { return m_overview; }
    CGUI& GetOverview() { return m_overview; }
    const CGUI& GetMeterScreen() const { return m_meterScreen; }
    const CGUI& GetSpectrumScreen() const { return m_spectrumScreen; }
    // The overview's seconds at window x (clamped to the mix), and the reverse.
    double SecondsAt(float x) const;
    float XOf(double seconds) const;

    void Render() override;

    // The keys of the focused overview. A cursor (drawn once a key has moved it) marks where
    // play starts: Left and Right move it a column, Page Up and Page Down a tenth of the mix,
    // Home and End to an end; with Shift they stretch a range from where the cursor stood
    // (or a dragged range from where the drag began).
    // Enter or Space plays the range, else from the cursor; Escape drops the range. False
    // for every other key, and while there is no mix.
    bool TakeOverviewKey(const CInputMap& event);
    // Where the cursor stands (seconds into the mix).
    double GetCursor() const { return m_cursor; }

    CSignal<double> onSeek;          // a click in the overview: play from these seconds
    CSignal<double, double> onRange; // a drag: the range selected (start < end), in seconds
    CSignal<> onPlayRange;           // Enter or Space with a range: play it

private:
    double MixSeconds() const;
    // Columns, figures and spectrum for the current width and mix (the whole mix's while
    // nothing plays).
    void Refresh();
    void MakeOverviewShapes();
    void MakeSpectrumShape();
    void ShowMeterLabels();
    bool InOverview(int32_t x, int32_t y) const;
    void OnMouse(CInputMap& event);

    PcmView m_pcm;
    CSpectrum m_spectrum;
    CLevelMeter m_meter;
    LevelFigures m_whole;
    std::vector<float> m_bins;      // the spectrum shown: at the playhead or m_wholeBins
    std::vector<float> m_wholeBins; // the whole mix's, made once per mix
    std::vector<OverviewColumn> m_columns;
    std::vector<float> m_spectrumColumns;
    bool m_stale = true;          // the columns need making for the mix or the width
    double m_playhead = -1.0;
    uint32_t m_lastTicks = 0;     // when the meter was last fed (platform ticks, ms)
    double m_rangeStart = 0.0, m_rangeEnd = 0.0; // no range while equal
    bool m_pressed = false;       // the left button went down in the overview
    int32_t m_pressX = 0;
    bool m_dragged = false;
    bool m_hasLabels = false;
    CTooltip* m_tipBox = nullptr;

    // The overview's screen, which hands the keys it gets as a keyboard stop to the strip.
    class OverviewScreen : public CGUI {
    public:
        explicit OverviewScreen(CMixStrip& strip) : m_strip(strip) { SetEnabled(true); }
        bool TakeKey(const CInputMap& event) override { return m_strip.TakeOverviewKey(event); }

    private:
        CMixStrip& m_strip;
    };

    double m_cursor = 0.0;        // seconds; where keyboard play starts
    bool m_cursorShown = false;   // a key has moved it since the last click
    double m_anchor = -1.0;       // the fixed end of the range the keys stretch (negative: none)

    OverviewScreen m_overview{*this};
    CGUI m_meterScreen, m_spectrumScreen;
    CGUI m_selection;
    CGUI m_peakBar, m_rmsBar, m_clipMark;
    CShape m_waveLines, m_clipLines, m_spectrumLines, m_grid, m_meterHold;
    CTrace m_playheadLine{2};
    CTrace m_cursorLine{2};
    CFont m_meterLabel;
    CFont m_axisLabels[3];
    CSlotList m_slots;
};
