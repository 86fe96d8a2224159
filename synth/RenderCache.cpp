#include "synth/RenderCache.h"

#include "synth/Master.h"
#include "synth/RenderKernel.h"
#include "synth/VoiceStages.h"
#include "synth/WorkerPool.h"

#include <xmmintrin.h>

#include <cstring>
#include <new>
#include <set>

namespace {

// Values per part of a render: a multiple of the contribution block, small enough that a
// cancelled render stops within a fraction of a millisecond, large enough that waking the
// pool is cheap beside it.
constexpr uint32_t kPartValues = 16384;
static_assert(kPartValues % kContributionBlock == 0, "parts start on whole blocks");

constexpr unsigned kRoundingAndFlushing = 0x6000 | 0x8000 | 0x0040;

template <typename T>
void Append(std::vector<uint8_t>& key, const T& value)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
    key.insert(key.end(), bytes, bytes + sizeof(T));
}

void AppendWave(std::vector<uint8_t>& key, const Waveform& w)
{
    Append(key, w.type);
    Append(key, w.amplitude);
    Append(key, w.amplitudeOffset);
    Append(key, w.frequency);
    Append(key, w.period);
    Append(key, w.phase);
}

} // namespace

struct CRenderCache::Entry {
    std::vector<double> values, bounds, peaks;
    std::vector<double> track; // a voice with stages: its values unscaled, for the mix's reference
    VoiceTrack view;
    bool complete = false;
    size_t Bytes() const { return (values.size() + bounds.size() + peaks.size() + track.size()) * sizeof(double); }
    Contribution View() { return Contribution{values.data(), bounds.data(), peaks.data(), track.data()}; }
};

CRenderCache::CRenderCache(size_t budgetBytes) : m_budget(budgetBytes) {}

CRenderCache::~CRenderCache() = default;

void CRenderCache::Clear()
{
    m_entries.clear();
    m_bytes = 0;
}

// Every field the formulas read, bit for bit (so that -0 and 0, or two NaNs, never pass for
// one another), without the padding between them.
CRenderCache::Key CRenderCache::KeyOf(const VoiceParams& p)
{
    Key key;
    key.reserve(80);
    AppendWave(key, p.wave);
    AppendWave(key, p.carrier);
    Append(key, p.envelope.attack);
    Append(key, p.envelope.decay);
    Append(key, p.envelope.sustain);
    Append(key, p.envelope.hold);
    Append(key, p.envelope.release);
    for (bool flag : {p.envelopeOn, p.carrierOn, p.am, p.fm, p.pm})
        key.push_back(flag ? 1 : 0);
    if (UsesStages(p)) {
        const VoiceStages& s = p.stages;
        for (float value : {s.frequencyEnd, s.vibratoDepth, s.vibratoRate, s.arpeggio, s.arpeggioTime, s.repeat,
                            s.duty, s.dutyEnd, s.tremoloDepth, s.tremoloRate, s.lowpass, s.lowpassEnd, s.resonance,
                            s.highpass, s.highpassEnd, s.span})
            Append(key, value);
        Append(key, s.glide);
        key.push_back(s.bandLimited ? 1 : 0);
    }
    return key;
}

void CRenderCache::Recount()
{
    m_bytes = 0;
    for (const auto& [key, entry] : m_entries)
        m_bytes += entry->Bytes();
}

bool CRenderCache::Render(const MixVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
                          uint32_t rate, uint32_t bits, MixStats* statsOut, RenderCancel cancel,
                          RenderProgress* progress, const MixMaster& master)
{
    MixStats stats;
    struct Report {
        MixStats& stats;
        MixStats* out;
        ~Report()
        {
            if (out)
                *out = stats;
        }
    } report{stats, statsOut};

    std::vector<RenderVoice> heard;
    std::vector<Key> keys;
    heard.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        if (!voices[i].muted)
            heard.push_back(voices[i].voice);
    const uint32_t n = static_cast<uint32_t>(heard.size());

    double step = 0.0;
    bool rendered = false;
    if (!PrepareMix(heard.data(), n, sound, channels, rate, bits, step, rendered))
        return rendered;
    const uint32_t bytesPerValue = bits / 8;
    const uint32_t samples = sound.dataSize / bytesPerValue + sound.dataSize % bytesPerValue;
    stats.values = samples;
    const uint32_t blocks = (samples + kContributionBlock - 1) / kContributionBlock;
    const size_t perVoice = (static_cast<size_t>(samples) + 2 * static_cast<size_t>(blocks)) * sizeof(double);

    const unsigned control = _mm_getcsr();
    Timeline timeline;
    std::memcpy(&timeline.stepBits, &step, sizeof(step));
    timeline.samples = samples;
    timeline.bits = bits;
    timeline.control = control;
    if (!(timeline == m_timeline)) {
        Clear();
        m_timeline = timeline;
    }

    // Which entries the list needs; the others go. Heard voices come first in the budget.
    std::set<Key> needed, kept;
    size_t neededBytes = 0; // a voice with stages also keeps its unscaled values
    for (uint32_t i = 0; i < count; ++i) {
        Key key = KeyOf(voices[i].voice.params);
        if (!voices[i].muted && needed.insert(key).second)
            neededBytes += perVoice + (UsesStages(voices[i].voice.params) ? samples * sizeof(double) : 0);
        kept.insert(std::move(key));
    }
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        const bool usable = it->second->complete && kept.count(it->first);
        it = usable ? std::next(it) : m_entries.erase(it);
    }
    if (neededBytes > m_budget) {
        // Past the budget: the plain renderer, keeping nothing.
        Clear();
        stats.voicesRendered = n;
        const bool ok = RenderMix(heard.data(), n, sound, channels, rate, bits, &stats.clipped, cancel, progress, master);
        stats.cancelled = cancel();
        return ok && !stats.cancelled;
    }
    stats.cached = true;
    // Muted voices' contributions stay only while everything fits.
    Recount();
    for (auto it = m_entries.begin(); it != m_entries.end() && m_bytes + neededBytes > m_budget;) {
        if (needed.count(it->first)) {
            ++it;
            continue;
        }
        m_bytes -= it->second->Bytes();
        it = m_entries.erase(it);
    }

    // The contributions to compute.
    struct Work {
        Entry* entry;
        const RenderVoice* voice;
        VoicePlan plan;
    };
    std::vector<Work> work;
    std::vector<Contribution> order(n);
    try {
        uint32_t h = 0;
        for (uint32_t i = 0; i < count; ++i) {
            if (voices[i].muted)
                continue;
            Key key = KeyOf(voices[i].voice.params);
            auto found = m_entries.find(key);
            if (found == m_entries.end()) {
                auto entry = std::make_unique<Entry>();
                entry->values.resize(samples);
                entry->bounds.resize(blocks);
                entry->peaks.resize(blocks);
                if (UsesStages(heard[h].params)) {
                    entry->track.resize(samples);
                    entry->view = VoiceTrack{entry->track.data(), 0, samples, step};
                }
                work.push_back(Work{entry.get(), &heard[h], MakeVoicePlan(heard[h].params)});
                found = m_entries.emplace(std::move(key), std::move(entry)).first;
            }
            order[h++] = found->second->View();
        }
    } catch (const std::bad_alloc&) {
        Clear();
        stats.cached = false;
        stats.voicesRendered = n;
        const bool ok = RenderMix(heard.data(), n, sound, channels, rate, bits, &stats.clipped, cancel, progress, master);
        stats.cancelled = cancel();
        return ok && !stats.cancelled;
    }
    Recount();
    stats.voicesRendered = static_cast<uint32_t>(work.size());
    // The mix's reference finds the values of voices with stages in their contributions.
    for (uint32_t h = 0; h < n; ++h)
        if (UsesStages(heard[h].params))
            heard[h].track = &m_entries.find(KeyOf(heard[h].params))->second->view;

    const MixKernel kernel = (control & kRoundingAndFlushing) == 0 ? CurrentMixKernel() : MixKernel::Scalar;
    const double scale = bits == 8 ? 127.0 : 32767.0;
    const uint32_t partsPerVoice = (samples + kPartValues - 1) / kPartValues;
    // A part is kPartValues values of a voice, or the whole of a voice with stages, which runs
    // in sample order.
    struct Part {
        uint32_t work, first, end;
    };
    std::vector<Part> parts;
    for (uint32_t k = 0; k < work.size(); ++k) {
        if (UsesStages(work[k].voice->params)) {
            parts.push_back(Part{k, 0, samples});
            continue;
        }
        for (uint32_t first = 0; first < samples; first += kPartValues)
            parts.push_back(Part{k, first, samples - first < kPartValues ? samples : first + kPartValues});
    }
    const uint32_t contributionParts = static_cast<uint32_t>(parts.size());
    const bool mastered = !IsNeutralMaster(master);
    std::vector<double> centred, centredBounds;
    try {
        if (mastered) {
            centred.resize(samples);
            centredBounds.resize(blocks);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (progress) {
        progress->done.store(0);
        progress->total.store(contributionParts + (mastered ? 2 : 1) * partsPerVoice);
    }
    struct Count {
        RenderProgress* progress;
        ~Count()
        {
            if (progress)
                progress->done.fetch_add(1, std::memory_order_relaxed);
        }
    };
    auto contributionPart = [&](uint32_t part) {
        const Count count{progress};
        if (cancel())
            return;
        const Work& w = work[parts[part].work];
        const unsigned own = _mm_getcsr();
        _mm_setcsr(control);
        ContributionRange(*w.voice, w.plan, scale, step, kernel, parts[part].first, parts[part].end, w.entry->View());
        _mm_setcsr(own);
    };
    RunParts(contributionParts, contributionPart);
    if (cancel()) {
        // A part may have been skipped: none of this render's contributions can be trusted.
        for (auto it = m_entries.begin(); it != m_entries.end();)
            it = it->second->complete ? std::next(it) : m_entries.erase(it);
        Recount();
        stats.cancelled = true;
        return false;
    }
    for (const Work& w : work)
        w.entry->complete = true;

    ContributionMix mix;
    mix.voices = heard.data();
    mix.contributions = order.data();
    mix.count = n;
    mix.out = sound.data;
    mix.size = sound.dataSize;
    mix.step = step;
    mix.bits = static_cast<int>(bits);
    std::vector<uint64_t> clips(partsPerVoice, 0);
    auto mixPart = [&](uint32_t part) {
        const Count count{progress};
        if (cancel())
            return;
        const uint32_t first = part * kPartValues;
        const uint32_t end = samples - first < kPartValues ? samples : first + kPartValues;
        const unsigned own = _mm_getcsr();
        _mm_setcsr(control);
        if (mastered)
            CentredContributions(mix, master.sum, first, end, centred.data(), centredBounds.data());
        else
            clips[part] = MixContributions(mix, first, end);
        _mm_setcsr(own);
    };
    RunParts(partsPerVoice, mixPart);
    if (mastered && !cancel()) {
        CentredMix mastering{heard.data(), n, centred.data(), centredBounds.data(), step,
                             MakeMasterPlan(master, rate, samples, static_cast<int>(bits)), sound.data, sound.dataSize};
        FinishMasteredMix(mastering, kPartValues, control, cancel, progress, &stats.clipped);
    }
    if (cancel()) {
        stats.cancelled = true;
        return false;
    }
    for (uint64_t c : clips)
        stats.clipped += c;
    return true;
}
