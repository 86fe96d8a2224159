// The mixing renderer: every unmuted voice of a list, averaged into one block of PCM data.
// The voices are read once, before the sample loop; the loop itself allocates nothing.
#pragma once

#include "sound/Sound.h"
#include "synth/Voice.h"

#include <atomic>
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
// progress (when given) is counted as RenderProgress says.
bool RenderMix(const RenderVoice* voices, uint32_t count, CSound& sound, uint32_t channels,
               uint32_t rate, uint32_t bits, uint64_t* clipped = nullptr, RenderCancel cancel = RenderCancel(),
               RenderProgress* progress = nullptr);

// Renders a list of voice pointers (any container of pointers to CVoice or classes derived
// from it). An empty list leaves the sound as it was.
template <typename VoiceList>
void RenderVoices(const VoiceList& voices, CSound& sound, uint32_t channels, uint32_t rate,
                  uint32_t bits, uint64_t* clipped = nullptr)
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
    RenderMix(unmuted.data(), static_cast<uint32_t>(unmuted.size()), sound, channels, rate, bits, clipped);
}
