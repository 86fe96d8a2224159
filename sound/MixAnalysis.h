// What the mix views show, computed from 16-bit PCM without any drawing: the overview's pixel
// columns (least and greatest value, clipped samples), level figures (peak and RMS in dBFS)
// and a level meter that holds its peak and clip mark for a while, and the spectrum's
// columns on a logarithmic frequency axis. Samples are interleaved signed 16-bit values, full
// scale 32768; every channel counts. Pure computation; any thread.
#pragma once

#include "sound/Sound.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The level reported for silence, and the floor of every figure (below 16 bits' range).
constexpr double kSilenceDb = -120.0;

// The samples of a sound the views read: its 16-bit block as frames of channels. Null with
// no frames for any other format, an empty sound, or a block too small for one frame.
struct PcmView {
    const int16_t* samples = nullptr;
    size_t frames = 0;
    uint32_t channels = 0;
    uint32_t rate = 0;
};
PcmView ViewOf(const CSound& sound);

// One pixel column of the overview: the least and greatest value (−1 .. 1) over its frames,
// and whether one of them is at full scale (a clipped sample).
struct OverviewColumn {
    float low = 0.0f;
    float high = 0.0f;
    bool clipped = false;
};

// columns columns across the whole view: column i covers frames [i·frames/columns,
// (i+1)·frames/columns), and at least the frame where it starts when there are more columns
// than frames. Empty for no frames or no columns.
std::vector<OverviewColumn> OverviewColumns(const PcmView& pcm, uint32_t columns);

struct LevelFigures {
    double peakDb = kSilenceDb; // the greatest magnitude, dB relative to full scale
    double rmsDb = kSilenceDb;  // the root mean square of every sample, the same reference
    uint64_t clipped = 0;       // samples at full scale
};

// The figures of frames [first, first + count) (cut to the sound).
LevelFigures MeasureLevels(const PcmView& pcm, size_t first, size_t count);

// The figures a meter shows: what it was fed last, the peak held for kHoldSeconds and then
// falling at kFallDbPerSecond (never below the current peak), and the clip mark, lit for
// kHoldSeconds after a clipped sample.
class CLevelMeter {
public:
    static constexpr double kHoldSeconds = 1.5;
    static constexpr double kFallDbPerSecond = 20.0;

    // Figures of what played over the last elapsed seconds (negative is taken as 0).
    void Feed(const LevelFigures& figures, double elapsed);
    // Shows figures as they are, the hold at their peak and the clip mark lit when they
    // clipped, with nothing held from before (the whole mix, while nothing plays).
    void Reset(const LevelFigures& figures);

    const LevelFigures& GetFigures() const { return m_figures; }
    double GetHeldPeakDb() const { return m_heldDb; }
    bool IsClipLit() const { return m_clipLit; }

private:
    LevelFigures m_figures;
    double m_heldDb = kSilenceDb;
    double m_heldFor = 0.0; // seconds the held peak has stood
    double m_clipFor = 0.0; // seconds since the last clipped sample
    bool m_clipLit = false;
};

// The spectrum's columns on a logarithmic axis from lowHz to highHz: column i covers
// lowHz·(highHz/lowHz)^(i/columns) to the next edge; its value is the greatest level of the
// bins whose centres fall inside (bin k at k·rate/size Hz), or, for a column narrower than a
// bin, the level interpolated between the two bins around its centre. binDb holds size/2 + 1
// bins. Empty when the arguments describe no axis (no columns, no bins, lowHz not below
// highHz, lowHz not positive).
std::vector<float> LogSpectrumColumns(const std::vector<float>& binDb, uint32_t rate, uint32_t size, uint32_t columns,
                                      double lowHz, double highHz);
