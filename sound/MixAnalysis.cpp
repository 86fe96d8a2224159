// The mix views' computations (sound/MixAnalysis.h).
#include "sound/MixAnalysis.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFullScale = 32768.0;

double ToDb(double magnitude)
{
    return magnitude > 0.0 ? std::max(kSilenceDb, 20.0 * std::log10(magnitude)) : kSilenceDb;
}

bool AtFullScale(int16_t sample) { return sample == INT16_MAX || sample == INT16_MIN; }

} // namespace

PcmView ViewOf(const CSound& sound)
{
    PcmView pcm;
    const uint32_t channels = sound.GetChannels();
    if (!sound.GetData() || sound.GetBitsPerSample() != 16 || channels == 0 || sound.IsStreamed())
        return pcm;
    pcm.frames = sound.GetDataSize() / (2u * channels);
    if (pcm.frames == 0)
        return pcm;
    pcm.samples = reinterpret_cast<const int16_t*>(sound.GetData());
    pcm.channels = channels;
    pcm.rate = sound.GetSamplesPerSec();
    return pcm;
}

std::vector<OverviewColumn> OverviewColumns(const PcmView& pcm, uint32_t columns)
{
    std::vector<OverviewColumn> result;
    if (!pcm.samples || pcm.frames == 0 || columns == 0)
        return result;
    result.resize(columns);
    for (uint32_t i = 0; i < columns; ++i) {
        const size_t begin = static_cast<size_t>(static_cast<uint64_t>(i) * pcm.frames / columns);
        const size_t next = static_cast<size_t>(static_cast<uint64_t>(i + 1) * pcm.frames / columns);
        const size_t end = std::max(begin + 1, next);
        int16_t low = INT16_MAX, high = INT16_MIN;
        bool clipped = false;
        for (const int16_t* s = pcm.samples + begin * pcm.channels; s < pcm.samples + end * pcm.channels; ++s) {
            low = std::min(low, *s);
            high = std::max(high, *s);
            clipped = clipped || AtFullScale(*s);
        }
        result[i] = OverviewColumn{float(low / kFullScale), float(high / kFullScale), clipped};
    }
    return result;
}

LevelFigures MeasureLevels(const PcmView& pcm, size_t first, size_t count)
{
    LevelFigures figures;
    if (!pcm.samples || first >= pcm.frames)
        return figures;
    count = std::min(count, pcm.frames - first);
    int32_t peak = 0;
    double squares = 0.0;
    for (const int16_t* s = pcm.samples + first * pcm.channels; s < pcm.samples + (first + count) * pcm.channels; ++s) {
        const int32_t v = *s;
        peak = std::max(peak, v < 0 ? -v : v);
        squares += static_cast<double>(v) * v;
        figures.clipped += AtFullScale(*s);
    }
    const double values = static_cast<double>(count) * pcm.channels;
    figures.peakDb = ToDb(peak / kFullScale);
    figures.rmsDb = values > 0.0 ? ToDb(std::sqrt(squares / values) / kFullScale) : kSilenceDb;
    return figures;
}

void CLevelMeter::Feed(const LevelFigures& figures, double elapsed)
{
    elapsed = elapsed > 0.0 ? elapsed : 0.0; // NaN too
    m_figures = figures;
    m_heldFor += elapsed;
    if (figures.peakDb >= m_heldDb) {
        m_heldDb = figures.peakDb;
        m_heldFor = 0.0;
    } else if (m_heldFor > kHoldSeconds) {
        const double falling = std::min(elapsed, m_heldFor - kHoldSeconds);
        m_heldDb = std::max(figures.peakDb, m_heldDb - kFallDbPerSecond * falling);
    }
    m_clipFor = figures.clipped > 0 ? 0.0 : m_clipFor + elapsed;
    m_clipLit = figures.clipped > 0 || (m_clipLit && m_clipFor <= kHoldSeconds);
}

void CLevelMeter::Reset(const LevelFigures& figures)
{
    m_figures = figures;
    m_heldDb = figures.peakDb;
    m_heldFor = 0.0;
    m_clipFor = 0.0;
    m_clipLit = figures.clipped > 0;
}

std::vector<float> LogSpectrumColumns(const std::vector<float>& binDb, uint32_t rate, uint32_t size, uint32_t columns,
                                      double lowHz, double highHz)
{
    std::vector<float> result;
    const size_t bins = binDb.size();
    if (columns == 0 || bins < 2 || size == 0 || rate == 0 || !(lowHz > 0.0) || !(lowHz < highHz) ||
        !std::isfinite(highHz))
        return result;
    result.resize(columns);
    const double binHz = static_cast<double>(rate) / size;
    const double ratio = std::log(highHz / lowHz);
    auto edge = [&](uint32_t i) { return lowHz * std::exp(ratio * i / columns); };
    for (uint32_t i = 0; i < columns; ++i) {
        const double from = edge(i) / binHz, to = edge(i + 1) / binHz; // in bins
        const size_t first = static_cast<size_t>(std::ceil(from));
        const size_t last = std::min(bins - 1, static_cast<size_t>(std::ceil(to)) - 1);
        if (first <= last && static_cast<double>(first) < to) {
            float most = binDb[first];
            for (size_t k = first + 1; k <= last; ++k)
                most = std::max(most, binDb[k]);
            result[i] = most;
            continue;
        }
        // No bin centre inside: between the bins around the column's centre.
        const double centre = std::min(std::sqrt(from * to), static_cast<double>(bins - 1));
        const size_t below = std::min(static_cast<size_t>(centre), bins - 2);
        const double t = centre - static_cast<double>(below);
        result[i] = static_cast<float>(binDb[below] + t * (binDb[below + 1] - binDb[below]));
    }
    return result;
}
