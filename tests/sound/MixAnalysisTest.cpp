// What the mix views compute from samples: the overview's columns, the level figures and the
// meter's hold, and the spectrum's peak at a known tone on the logarithmic axis.
#include "sound/MixAnalysis.h"
#include "sound/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

PcmView View(const std::vector<int16_t>& samples, uint32_t channels, uint32_t rate = 44100)
{
    return PcmView{samples.data(), samples.size() / channels, channels, rate};
}

std::vector<int16_t> Sine(double hz, double amplitude, size_t frames, uint32_t rate = 44100)
{
    std::vector<int16_t> s(frames);
    for (size_t i = 0; i < frames; ++i)
        s[i] = static_cast<int16_t>(std::lround(32767.0 * amplitude * std::sin(2.0 * M_PI * hz * i / rate)));
    return s;
}

// Each column holds its own frames' extremes from every channel (no frame lost or shared at
// the column edges), a column with no frame of its own shows the frame where it starts, and
// only a column holding a full-scale sample is marked clipped.
TEST(MixAnalysis, OverviewColumnsHoldTheirFramesExtremesAndClips)
{
    struct Row {
        std::vector<int16_t> samples;
        uint32_t channels, columns;
        std::vector<OverviewColumn> want; // in units of 1/32768
    } rows[] = {
        {{0, 100, -200, 300, 400, -500}, 1, 3, {{0, 100, false}, {-200, 300, false}, {-500, 400, false}}},
        {{0, 100, -200, 300, 400, -500, 7}, 1, 2, {{-200, 100, false}, {-500, 400, false}}},
        {{10, -20, 30, 32767}, 2, 2, {{-20, 10, false}, {30, 32767, true}}},
        {{5, -32768}, 1, 4, {{5, 5, false}, {5, 5, false}, {-32768, -32768, true}, {-32768, -32768, true}}},
    };
    for (const Row& row : rows) {
        const std::vector<OverviewColumn> got = OverviewColumns(View(row.samples, row.channels), row.columns);
        ASSERT_EQ(got.size(), row.want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_FLOAT_EQ(got[i].low, row.want[i].low / 32768.0f) << "column " << i;
            EXPECT_FLOAT_EQ(got[i].high, row.want[i].high / 32768.0f) << "column " << i;
            EXPECT_EQ(got[i].clipped, row.want[i].clipped) << "column " << i;
        }
    }
}

TEST(MixAnalysis, LevelFiguresAreThoseOfTheSamplesInDbfs)
{
    const std::vector<int16_t> sine = Sine(1000.0, 0.5, 44100);
    const std::vector<int16_t> square = {32767, -32768, 32767, -32768, 0, 0};
    struct Row {
        const std::vector<int16_t>* samples;
        size_t first, count;
        double peakDb, rmsDb;
        uint64_t clipped;
    } rows[] = {
        {&sine, 0, 44100, 20.0 * std::log10(0.5), 20.0 * std::log10(0.5 / std::sqrt(2.0)), 0},
        {&square, 0, 4, 0.0, 0.0, 4},
        {&square, 4, 100, kSilenceDb, kSilenceDb, 0},  // silence, cut to the sound
        {&square, 3, 100, 0.0, 20.0 * std::log10(1.0 / std::sqrt(3.0)), 1},
        {&square, 9, 1, kSilenceDb, kSilenceDb, 0},   // past the end
    };
    for (const Row& row : rows) {
        const LevelFigures f = MeasureLevels(View(*row.samples, 1), row.first, row.count);
        EXPECT_NEAR(f.peakDb, row.peakDb, 0.01) << "from " << row.first;
        EXPECT_NEAR(f.rmsDb, row.rmsDb, 0.01) << "from " << row.first;
        EXPECT_EQ(f.clipped, row.clipped) << "from " << row.first;
    }
}

// The held peak stands for the hold time, then falls at its rate down to the current peak;
// the clip mark stays lit for the hold time after the last clipped sample.
TEST(MixAnalysis, TheMeterHoldsItsPeakAndClipMarkThenLetsThemGo)
{
    CLevelMeter meter;
    meter.Feed(LevelFigures{0.0, -3.0, 2}, 0.1);
    const LevelFigures quiet{-40.0, -43.0, 0};
    const double step = 0.1;
    const int steps = static_cast<int>(CLevelMeter::kHoldSeconds / step) - 1; // just within the hold
    for (int i = 1; i <= steps; ++i) {
        meter.Feed(quiet, step);
        EXPECT_DOUBLE_EQ(meter.GetHeldPeakDb(), 0.0) << i;
        EXPECT_TRUE(meter.IsClipLit()) << i;
    }
    meter.Feed(quiet, 0.5);
    EXPECT_FALSE(meter.IsClipLit());
    const double falling = steps * step + 0.5 - CLevelMeter::kHoldSeconds;
    EXPECT_NEAR(meter.GetHeldPeakDb(), -CLevelMeter::kFallDbPerSecond * falling, 1e-6);
    meter.Feed(quiet, 10.0);
    EXPECT_DOUBLE_EQ(meter.GetHeldPeakDb(), -40.0);
    meter.Reset(LevelFigures{-6.0, -9.0, 1});
    EXPECT_DOUBLE_EQ(meter.GetHeldPeakDb(), -6.0);
    EXPECT_TRUE(meter.IsClipLit());
}

// A tone shows at its own frequency on the log axis, at its level, at the playhead and over
// the whole sound; the neighbouring decades lie far below it.
TEST(MixAnalysis, TheSpectrumPeaksAtAKnownTone)
{
    CSpectrum spectrum;
    const uint32_t columns = 240;
    for (double hz : {110.0, 1000.0, 6000.0}) {
        const std::vector<int16_t> tone = Sine(hz, 0.5, 44100);
        std::vector<float> at, whole;
        ASSERT_TRUE(spectrum.AnalyseAt(View(tone, 1), 22050, at));
        ASSERT_TRUE(spectrum.AnalyseWhole(View(tone, 1), whole));
        for (const std::vector<float>* bins : {&at, &whole}) {
            ASSERT_EQ(bins->size(), CSpectrum::kBins);
            const size_t peak = static_cast<size_t>(std::max_element(bins->begin(), bins->end()) - bins->begin());
            EXPECT_NEAR(peak * 44100.0 / CSpectrum::kSize, hz, 44100.0 / CSpectrum::kSize) << hz;
            EXPECT_NEAR((*bins)[peak], 20.0 * std::log10(0.5), 1.5) << hz; // within the window's scalloping
            const std::vector<float> axis = LogSpectrumColumns(*bins, 44100, CSpectrum::kSize, columns, 20.0, 20000.0);
            ASSERT_EQ(axis.size(), columns);
            const size_t top = static_cast<size_t>(std::max_element(axis.begin(), axis.end()) - axis.begin());
            const double from = 20.0 * std::pow(1000.0, double(top) / columns);
            const double to = 20.0 * std::pow(1000.0, double(top + 1) / columns);
            EXPECT_TRUE(hz >= from * 0.97 && hz <= to * 1.03) << hz << " Hz shows in column " << top << " (" << from
                                                              << " to " << to << " Hz)";
            EXPECT_LT(axis[top / 3], axis[top] - 40.0f) << hz;
        }
    }
}

// Input with no samples or no axis gives nothing rather than reading past anything.
TEST(MixAnalysis, EmptyOrMalformedInputGivesNothing)
{
    CSound eightBit;
    ASSERT_TRUE(eightBit.Allocate(100, 1, 44100, 8));
    EXPECT_EQ(ViewOf(eightBit).samples, nullptr);
    CSound odd;
    ASSERT_TRUE(odd.Allocate(3, 2, 44100, 16)); // less than one stereo frame
    EXPECT_EQ(ViewOf(odd).frames, 0u);
    EXPECT_TRUE(OverviewColumns(PcmView{}, 100).empty());
    std::vector<float> db;
    CSpectrum spectrum;
    EXPECT_FALSE(spectrum.AnalyseAt(PcmView{}, 0, db));
    const std::vector<float> bins(CSpectrum::kBins, -10.0f);
    for (double low : {0.0, -5.0, 30000.0, std::nan("")})
        EXPECT_TRUE(LogSpectrumColumns(bins, 44100, CSpectrum::kSize, 100, low, 20000.0).empty()) << low;
    EXPECT_TRUE(LogSpectrumColumns({}, 44100, CSpectrum::kSize, 100, 20.0, 20000.0).empty());
}

} // namespace
