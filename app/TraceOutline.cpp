#include "app/TraceOutline.h"

#include "synth/VoiceStages.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The values seen so far; empty until the first number (NaN is never taken).
struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();

    void Add(double value)
    {
        low = std::min(low, value);
        high = std::max(high, value);
    }
    void Add(const Range& other)
    {
        if (!other.Empty()) {
            Add(other.low);
            Add(other.high);
        }
    }
    bool Empty() const { return !(low <= high); }
};

// Every product of a value of a with a value of b lies between the corner products.
Range Product(const Range& a, const Range& b)
{
    Range r;
    if (a.Empty() || b.Empty())
        return r;
    for (double x : {a.low, a.high})
        for (double y : {b.low, b.high})
            r.Add(x * y);
    return r;
}

bool IsShape(int32_t type) { return type >= Sine && type <= Square; }

// What the oscillator spans over a whole period, or noise over many steps: offset ∓ amplitude
// (a silent type: 0).
Range FullSwing(const Waveform& wave)
{
    Range r;
    if (!IsShape(wave.type) && wave.type != Noise) {
        r.Add(0.0);
        return r;
    }
    const double offset = wave.amplitudeOffset, amplitude = std::fabs(static_cast<double>(wave.amplitude));
    r.Add(offset - amplitude);
    r.Add(offset + amplitude);
    return r;
}

// Whether the oscillator runs through at least one whole period between t0 and t1.
bool SpansPeriod(const Waveform& wave, double t0, double t1)
{
    return std::fabs(static_cast<double>(wave.frequency)) * (t1 - t0) >= 1.0;
}

// The envelope's corners: the ends of attack, decay, hold and release.
void EnvelopeCorners(const Envelope& e, double corners[4])
{
    corners[0] = e.attack;
    corners[1] = corners[0] + e.decay;
    corners[2] = corners[1] + e.hold;
    corners[3] = corners[2] + e.release;
}

// Calls visit(t) for the times strictly inside (t0, t1) where a value can jump or turn that
// samples could step over: the envelope's corners, each from both sides (a stage of length 0
// is a jump).
template <class Visit>
void VisitEnvelopeCorners(const Envelope& e, double t0, double t1, Visit&& visit)
{
    double corners[4];
    EnvelopeCorners(e, corners);
    for (double c : corners)
        if (c > t0 && c < t1) {
            visit(c);
            visit(std::min(std::nextafter(c, t1), t1));
        }
}

// The same for a bare oscillator over a span shorter than its period: its peaks (sine,
// triangle) and its jumps, each from both sides (sawtooth, square). At most a few times.
template <class Visit>
void VisitWaveCorners(const Waveform& wave, double t0, double t1, Visit&& visit)
{
    const double f = wave.frequency;
    if (!IsShape(wave.type) || !(std::fabs(f) > 0.0) || !std::isfinite(f))
        return;
    // Position in cycles; the formulas turn at these fractions of a cycle.
    const double a = f * (t0 + wave.phase), b = f * (t1 + wave.phase);
    const double lo = std::min(a, b), hi = std::max(a, b);
    if (!(hi - lo < 2.0))
        return; // only called for spans under a period
    static const double kPeaks[2] = {0.25, 0.75}, kSawJump[1] = {0.5}, kSquareJumps[2] = {0.0, 0.5};
    const double* marks = kPeaks;
    int32_t count = 2;
    bool jumps = false;
    if (wave.type == Sawtooth) {
        marks = kSawJump;
        count = 1;
        jumps = true;
    } else if (wave.type == Square) {
        marks = kSquareJumps;
        jumps = true;
    }
    const double nudge = (t1 - t0) * 1e-9;
    for (int32_t m = 0; m < count; ++m)
        for (double k = std::ceil(lo - marks[m]); k + marks[m] <= hi; ++k) {
            const double t = (k + marks[m]) / f - wave.phase;
            if (jumps) {
                visit(std::clamp(t - nudge, t0, t1));
                visit(std::clamp(t + nudge, t0, t1));
            } else {
                visit(std::clamp(t, t0, t1));
            }
        }
}

// Noise steps a column looks up one by one; a column passing more takes the full swing, which
// so many uniform values all but reach.
constexpr double kNoiseStepsPerColumn = 64.0;

// The unit noise values (NoiseValue) of every step from floor(c0) to floor(c1), either order.
Range NoiseSteps(uint64_t key, double c0, double c1)
{
    Range r;
    const double first = std::floor(std::min(c0, c1)), last = std::floor(std::max(c0, c1));
    if (!(last - first <= kNoiseStepsPerColumn)) {
        r.Add(-1.0);
        r.Add(1.0);
        return r;
    }
    for (double k = first; k <= last; ++k)
        r.Add(NoiseValue(key, k));
    return r;
}

// offset + amplitude × the unit noise of the steps passed from cycles c0 to c1.
Range NoiseSwing(const Waveform& wave, const Range& amplitude, double c0, double c1)
{
    Range r = Product(NoiseSteps(wave.noiseKey, c0, c1), amplitude);
    r.low += wave.amplitudeOffset;
    r.high += wave.amplitudeOffset;
    return r;
}

// A noise oscillator's values over [t0, t1], as SampleWave steps it.
Range NoiseRange(const Waveform& wave, double t0, double t1)
{
    Range amplitude;
    amplitude.Add(wave.amplitude);
    return NoiseSwing(wave, amplitude, (t0 + wave.phase) * wave.frequency, (t1 + wave.phase) * wave.frequency);
}

template <class Sample>
void AddSamples(Range& r, double t0, double t1, Sample&& sample)
{
    for (uint32_t j = 0; j <= kOutlineSamplesPerColumn; ++j)
        r.Add(sample(t0 + (t1 - t0) * j / kOutlineSamplesPerColumn));
}

Range EnvelopeRange(const Envelope& e, double t0, double t1)
{
    Range r;
    r.Add(EnvelopeGain(e, t0));
    r.Add(EnvelopeGain(e, t1));
    VisitEnvelopeCorners(e, t0, t1, [&](double t) { r.Add(EnvelopeGain(e, t)); });
    return r;
}

Range WaveRange(const Waveform& wave, double t0, double t1)
{
    if (wave.type == Noise)
        return NoiseRange(wave, t0, t1);
    if (!IsShape(wave.type) || SpansPeriod(wave, t0, t1))
        return FullSwing(wave);
    Range r;
    auto sample = [&](double t) { return SampleWave(wave, t); };
    AddSamples(r, t0, t1, sample);
    VisitWaveCorners(wave, t0, t1, [&](double t) { r.Add(sample(t)); });
    return r;
}

Range GainRange(const VoiceParams& voice, double t0, double t1)
{
    if (voice.envelopeOn)
        return EnvelopeRange(voice.envelope, t0, t1);
    Range one;
    one.Add(1.0);
    return one;
}

// Where the modulated oscillator stands, in cycles, at t (as SampleVoice moves it).
double ModulatedCycles(const VoiceParams& voice, double t)
{
    const double c = SampleWave(voice.carrier, t);
    if (voice.fm)
        return static_cast<float>(voice.wave.frequency + ModulationDepth * c) * (t + voice.wave.phase);
    return static_cast<double>(voice.wave.frequency) *
           (t + static_cast<float>(voice.wave.phase + ModulationDepth * c));
}

// The values a carrier-modulated noise voice passes that samples miss: AM scales the steps the
// oscillator turns through at its own rate; FM and PM under a continuous carrier pass every
// step between the least and the greatest place sampled.
void AddModulatedNoise(const VoiceParams& voice, double t0, double t1, Range& r)
{
    const Waveform& wave = voice.wave;
    if (voice.am) {
        const Range c = WaveRange(voice.carrier, t0, t1);
        if (c.Empty())
            return;
        Range amplitude;
        amplitude.Add(wave.amplitude + ModulationDepth * c.low);
        amplitude.Add(wave.amplitude + ModulationDepth * c.high);
        r.Add(Product(NoiseSwing(wave, amplitude, (t0 + wave.phase) * wave.frequency,
                                 (t1 + wave.phase) * wave.frequency),
                      GainRange(voice, t0, t1)));
        return;
    }
    if (!(voice.fm || voice.pm) || (voice.carrier.type != Sine && voice.carrier.type != Triangle))
        return;
    Range cycles;
    AddSamples(cycles, t0, t1, [&](double t) { return ModulatedCycles(voice, t); });
    if (cycles.Empty())
        return;
    Range amplitude;
    amplitude.Add(wave.amplitude);
    r.Add(Product(NoiseSwing(wave, amplitude, cycles.low, cycles.high), GainRange(voice, t0, t1)));
}

// Extremes of a carrier-modulated voice that samples miss when the oscillator runs through
// whole periods between them.
void AddModulatedSwings(const VoiceParams& voice, double t0, double t1, Range& r)
{
    if (voice.wave.type == Noise) {
        AddModulatedNoise(voice, t0, t1, r);
        return;
    }
    if (!IsShape(voice.wave.type))
        return;
    if (voice.am) {
        // The oscillator turns at its own rate; the carrier moves its amplitude.
        if (!SpansPeriod(voice.wave, t0, t1))
            return;
        const Range c = WaveRange(voice.carrier, t0, t1);
        if (c.Empty())
            return;
        const double depth = std::max(std::fabs(voice.wave.amplitude + ModulationDepth * c.low),
                                      std::fabs(voice.wave.amplitude + ModulationDepth * c.high));
        Range swing;
        swing.Add(voice.wave.amplitudeOffset - depth);
        swing.Add(voice.wave.amplitudeOffset + depth);
        r.Add(Product(swing, GainRange(voice, t0, t1)));
        return;
    }
    // FM and PM move where the oscillator stands. A continuous carrier moves it continuously,
    // so it passes every place between the least and the greatest it was sampled at: when
    // they are a whole cycle apart, every value of a period was passed in the column.
    if (!(voice.fm || voice.pm) || (voice.carrier.type != Sine && voice.carrier.type != Triangle))
        return;
    Range cycles;
    AddSamples(cycles, t0, t1, [&](double t) { return ModulatedCycles(voice, t); });
    if (!cycles.Empty() && cycles.high - cycles.low >= 1.0)
        r.Add(Product(FullSwing(voice.wave), GainRange(voice, t0, t1)));
}

Range VoiceRange(const VoiceParams& voice, double t0, double t1)
{
    if (!voice.carrierOn && voice.wave.type == Noise)
        return Product(NoiseRange(voice.wave, t0, t1), GainRange(voice, t0, t1));
    if (!voice.carrierOn && SpansPeriod(voice.wave, t0, t1))
        return Product(FullSwing(voice.wave), GainRange(voice, t0, t1));
    Range r;
    auto sample = [&](double t) { return SampleVoice(voice, t); };
    auto add = [&](double t) { r.Add(sample(t)); };
    AddSamples(r, t0, t1, sample);
    if (voice.envelopeOn)
        VisitEnvelopeCorners(voice.envelope, t0, t1, add);
    if (voice.carrierOn)
        AddModulatedSwings(voice, t0, t1, r);
    else
        VisitWaveCorners(voice.wave, t0, t1, add);
    return r;
}

template <class RangeOf>
std::vector<OutlineColumn> Outline(double length, double columnsPerSecond, uint32_t maxColumns, RangeOf&& rangeOf)
{
    std::vector<OutlineColumn> columns(OutlineColumnCount(length, columnsPerSecond, maxColumns));
    for (size_t i = 0; i < columns.size(); ++i) {
        const double t0 = i / columnsPerSecond;
        const double t1 = std::max(t0, std::min((i + 1) / columnsPerSecond, length));
        Range r = rangeOf(t0, t1);
        if (r.Empty())
            r.Add(0.0);
        columns[i] = {r.low, r.high};
    }
    return columns;
}

// A staged voice as CVoiceRun plays it, filters included, at valuesPerColumn values per column
// from t = 0: each column takes the values from its start to its end, both included.
std::vector<OutlineColumn> RunOutline(const VoiceParams& voice, double length, double columnsPerSecond,
                                      uint32_t maxColumns)
{
    std::vector<OutlineColumn> columns(OutlineColumnCount(length, columnsPerSecond, maxColumns));
    if (columns.empty())
        return columns;
    const double most = std::max(double{kOutlineSamplesPerColumn}, std::floor(kOutlineRunValues / columns.size()));
    const uint32_t perColumn = static_cast<uint32_t>(
        std::clamp(std::ceil(kOutlineRunRate / columnsPerSecond), double{kOutlineSamplesPerColumn}, std::min(most, 1024.0)));
    const double step = 1.0 / (columnsPerSecond * perColumn);
    const double end = std::min(length, columns.size() / columnsPerSecond);
    CVoiceRun run(voice, step);
    std::vector<Range> ranges(columns.size());
    double block[256];
    uint64_t index = 0;
    for (bool done = false; !done;) {
        run.Run(block, 256);
        for (double value : block) {
            const double t = index * step;
            const size_t column = std::min<size_t>(index / perColumn, columns.size() - 1);
            ranges[column].Add(value);
            // A value on a column's start is also its left neighbour's end.
            if (column > 0 && index % perColumn == 0)
                ranges[column - 1].Add(value);
            ++index;
            if (t >= end) {
                done = true;
                break;
            }
        }
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (ranges[i].Empty())
            ranges[i].Add(0.0);
        columns[i] = {ranges[i].low, ranges[i].high};
    }
    return columns;
}

} // namespace

uint32_t OutlineColumnCount(double length, double columnsPerSecond, uint32_t maxColumns)
{
    if (!(length > 0.0) || !(columnsPerSecond > 0.0))
        return 0;
    const double columns = std::ceil(length * columnsPerSecond);
    return columns >= maxColumns ? maxColumns : static_cast<uint32_t>(columns);
}

std::vector<OutlineColumn> OutlineVoice(const VoiceParams& voice, double length, double columnsPerSecond,
                                        uint32_t maxColumns)
{
    if (UsesStages(voice))
        return RunOutline(voice, length, columnsPerSecond, maxColumns);
    return Outline(length, columnsPerSecond, maxColumns,
                   [&](double t0, double t1) { return VoiceRange(voice, t0, t1); });
}

std::vector<OutlineColumn> OutlineWave(const Waveform& wave, double length, double columnsPerSecond,
                                       uint32_t maxColumns)
{
    return Outline(length, columnsPerSecond, maxColumns,
                   [&](double t0, double t1) { return WaveRange(wave, t0, t1); });
}

std::vector<OutlineColumn> OutlineEnvelope(const Envelope& envelope, double length, double columnsPerSecond,
                                           uint32_t maxColumns)
{
    return Outline(length, columnsPerSecond, maxColumns,
                   [&](double t0, double t1) { return EnvelopeRange(envelope, t0, t1); });
}

double OutlinePeak(const std::vector<OutlineColumn>& columns)
{
    double peak = 0.0;
    for (const OutlineColumn& c : columns)
        peak = std::max({peak, std::fabs(c.low), std::fabs(c.high)});
    return std::isfinite(peak) ? peak : 0.0;
}
