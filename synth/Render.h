// The mixing renderer: every unmuted voice of a list, averaged (or, through the project's master
// settings, summed, scaled and faded: synth/Master.h) into one block of PCM data. The voices
// are read once, before the sample loop; the loop itself allocates nothing (a mastered mix
// keeps one double per value for its second pass).
#pragma once

#include "sound/Sound.h"
#include "synth/Voice.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

struct VoiceTrack;

// One voice as the sample loop reads it.
struct RenderVoice {
    VoiceParams params;
    float length;
    // Callers leave it null. The renderer attaches to a voice with stages (UsesStages) its
    // values at the render's times, computed in sample order (RenderKernel.h, VoiceTrack).
    const VoiceTrack* track = nullptr;
};

// A voice with stages (VoiceStages.h) has state, so a render runs it in sample order from its
// first value (CVoiceRun) and keeps its values for a window of the render's values: value i
// of the render at values[i - first], for first <= i < end. The mix finds a value by its time,
// which the render forms the same way for every voice (the sum of i steps).
struct VoiceTrack {
    const double* values = nullptr;
    uint32_t first = 0, end = 0;
    double step = 1.0;
    double At(double t) const
    {
        const double i = std::floor(t / step + 0.5) - first; // any rounding mode
        return values[i <= 0.0 ? 0 : (i >= end - first - 1.0 ? end - first - 1 : static_cast<uint32_t>(i))];
    }
};

// A voice's value at time t of the render: its track's when it has one, else SampleVoice.
inline double RenderVoiceValue(const RenderVoice& voice, double t)
{
    return voice.track ? voice.track->At(t) : SampleVoice(voice.params, t);
}

// Asked between parts of a render; true stops it.
struct RenderCancel {
    bool (*cancelled)(const void* context) = nullptr;
    const void* context = nullptr;
    bool operator()() const { return cancelled && cancelled(context); }
};

// How far a render is, for a watcher on another thread: the render sets total (its parts) and
// done to 0 when it starts, and counts done up as parts finish, in
// any order. Neither says anything about the bytes, which are the same with or without it.
struct RenderProgress {
    std::atomic<uint32_t> done{0};
    std::atomic<uint32_t> total{0};
    // done / total in [0, 1]; 0 before a render has started.
    float Fraction() const
    {
        const uint32_t all = total.load(std::memory_order_relaxed);
        const uint32_t finished = done.load(std::memory_order_relaxed);
        return all ? static_cast<float>(finished < all ? finished : all) / static_cast<float>(all) : 0.0f;
    }
};

// A project's master settings (synth/Master.h has their ranges and formulas); the defaults
// are the mix as it always was.
struct MixMaster {
    float gain = 0.0f;      // dB, applied to the combined voices
    bool normalize = false; // the peak after the gain (and fade) scaled to -1 dBFS
    float fade = 0.0f;      // ms of fade-in and fade-out
    bool sum = false;       // voices summed instead of averaged
    bool operator==(const MixMaster& o) const
    {
        return gain == o.gain && normalize == o.normalize && fade == o.fade && sum == o.sum;
    }
    bool operator!=(const MixMaster& o) const { return !(*this == o); }
};

// Mixes voices (all unmuted) into sound: the length is the longest voice, the value at each
// step the average of the voices, clamped to the format's range. The block is the byte count
// channels × rate × length × bytes per value (float arithmetic, truncated) cut down to whole
// frames, so it never ends in part of a sample; value i is taken at i × length / (whole
// values in that byte count), summed step by step. bits is 8 or 16; any other depth leaves
// the sound as it was. A length of less than one frame leaves the sound empty with its format
// cleared. Returns false when nothing was rendered because of the depth or a length that
// cannot be allocated. *clipped (when given) receives how many values the clamp took: the
// average lay outside the format's range (0 when nothing was rendered). When cancel answers
// true the render stops at its next part and returns false, the sound holding part of the mix.
// progress (when given) is counted as RenderProgress says. A master that is not neutral
// (IsNeutralMaster) replaces the average and its clamp by the master stage's formulas
// (synth/Master.h); *clipped then counts the values its final clamp took.
bool RenderMix(const RenderVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
               uint32_t rate, uint32_t bits, uint64_t* clipped = nullptr, RenderCancel cancel = RenderCancel(),
               RenderProgress* progress = nullptr, const MixMaster& master = MixMaster());

// Renders a list of voice pointers (any container of pointers to CVoice or classes derived
// from it). An empty list leaves the sound as it was.
template <typename VoiceList>
void RenderVoices(const VoiceList& voices, CSound& sound, uint32_t channels, uint32_t rate,
                  uint32_t bits, uint64_t* clipped = nullptr, const MixMaster& master = MixMaster())
{
    if (clipped)
        *clipped = 0;
    if (voices.empty())
        return;
    std::vector<RenderVoice> unmuted;
    unmuted.reserve(voices.size());
    for (const auto& voice : voices)
        if (!voice->IsMuted())
            unmuted.push_back(RenderVoice{voice->GetParams(), voice->GetLength()});
    RenderMix(unmuted.data(), static_cast<uint32_t>(unmuted.size()), sound, channels, rate, bits, clipped,
              RenderCancel(), nullptr, master);
}
