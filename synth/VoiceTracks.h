// CVoiceTracks: the values of a render's voices with stages (VoiceStages.h), which keep state
// and so are run in sample order, each from its first value. A render asks for its values a
// window at a time, in order; the voices of a window run concurrently on the worker pool, one
// voice per part. The memory held is a window of values per voice with stages, whatever the
// render's length. The owner renders from one thread; the list it hands out lives as long as
// the tracks.
#pragma once

#include "synth/Render.h"
#include "synth/RenderKernel.h"
#include "synth/VoiceStages.h"

#include <cstdint>
#include <vector>

class CVoiceTracks {
public:
    // For a render of count voices whose samples values lie step seconds apart. whole: one
    // window of every value (the reference's way); otherwise windows of a bounded size.
    CVoiceTracks(const RenderVoice* voices, uint32_t count, double step, uint32_t samples, bool whole = false);

    bool Any() const { return !m_runs.empty(); }
    // The values one window covers: every value when no voice has stages.
    uint32_t Window() const { return m_window; }
    // The list with each staged voice's track attached; the caller's list when none has stages.
    const RenderVoice* Voices() const { return m_runs.empty() ? m_voices : m_attached.data(); }
    // Runs every voice with stages through values [first, end): the window after the last one
    // (the first starting at 0), end - first at most Window(). Each voice computes under the
    // floating-point control given (MXCSR), as the render's values do.
    void Advance(uint32_t first, uint32_t end, unsigned control, bool parallel = true);

private:
    struct Track {
        CVoiceRun run;
        VoiceTrack view;
        std::vector<double> values;
    };

    const RenderVoice* m_voices;
    uint32_t m_window;
    std::vector<Track> m_runs;
    std::vector<RenderVoice> m_attached;
};
