#include "synth/VoiceTracks.h"

#include "synth/WorkerPool.h"

#include <xmmintrin.h>

namespace {

// Values kept at a time over all voices with stages (8 bytes each): 64 MB.
constexpr uint64_t kWindowValues = uint64_t(1) << 23;
// A window is never cut finer than this many values per voice: past 32768 voices with
// stages the memory grows with the voices (2 KB each), as their plans' does.
constexpr uint32_t kMinWindow = 256;

} // namespace

CVoiceTracks::CVoiceTracks(const RenderVoice* voices, uint32_t count, double step, uint32_t samples, bool whole)
    : m_voices(voices), m_window(samples)
{
    uint32_t staged = 0;
    for (uint32_t i = 0; i < count; ++i)
        staged += voices[i].track == nullptr && UsesStages(voices[i].params);
    if (staged == 0)
        return;
    if (!whole && uint64_t(samples) * staged > kWindowValues) {
        const uint64_t share = kWindowValues / staged;
        m_window = static_cast<uint32_t>(share < kMinWindow ? kMinWindow
                                                            : share / kContributionBlock * kContributionBlock);
    }
    m_runs.reserve(staged);
    m_attached.assign(voices, voices + count);
    for (uint32_t i = 0; i < count; ++i) {
        if (voices[i].track || !UsesStages(voices[i].params))
            continue;
        m_runs.push_back(Track{CVoiceRun(voices[i].params, step), VoiceTrack(), std::vector<double>(m_window)});
        m_runs.back().view.step = step;
    }
    // Attached once the tracks no longer move.
    uint32_t k = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (!voices[i].track && UsesStages(voices[i].params))
            m_attached[i].track = &m_runs[k++].view;
}

void CVoiceTracks::Advance(uint32_t first, uint32_t end, unsigned control, bool parallel)
{
    auto part = [&](uint32_t k) {
        Track& track = m_runs[k];
        const unsigned own = _mm_getcsr();
        _mm_setcsr(control);
        track.run.Run(track.values.data(), end - first);
        _mm_setcsr(own);
        track.view.values = track.values.data();
        track.view.first = first;
        track.view.end = end;
    };
    if (parallel) {
        RunParts(static_cast<uint32_t>(m_runs.size()), part);
    } else {
        for (uint32_t k = 0; k < m_runs.size(); ++k)
            part(k);
    }
}
