// CRenderJob: mixes rendered off the owner's thread. Start hands over a copy of the voices and
// returns at once; the render runs on a thread of the job's own and on the worker pool,
// through a render cache (RenderCache.h) that the job owns, so a render after an edit computes
// only the voices that changed. A newer Start supersedes the render in progress: it stops at
// its next part and its result is never handed out. The owner takes results by polling (once
// a frame, say) or by waiting. Results are the bytes and clip count RenderMix gives for the
// same voices, whatever the number of threads. Call everything from the owner's thread; the
// threads and locks stay inside.
#pragma once

#include "synth/RenderCache.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CRenderJob {
public:
    explicit CRenderJob(size_t cacheBudget = CRenderCache::kDefaultBudget);
    // Cancels a render in progress and waits for its thread to leave.
    ~CRenderJob();
    CRenderJob(const CRenderJob&) = delete;
    CRenderJob& operator=(const CRenderJob&) = delete;

    // Starts mixing voices (a muted voice is not heard) as RenderMix does; any earlier render
    // not yet taken is superseded. The owner's floating-point control applies. master is
    // RenderMix's.
    void Start(std::vector<MixVoice> voices, uint32_t channels, uint32_t rate, uint32_t bits,
               const MixMaster& master = MixMaster());
    // A started render whose result has not been taken.
    bool IsPending() const;
    // When the last started render has finished: its sound replaces sound's block and format
    // (an empty sound when it rendered nothing, or when it failed), stats describes it, and
    // the result counts as taken; true. False, nothing changed, while it runs or when none
    // is pending. rendered (when given) receives what RenderMix would have returned.
    bool Poll(CSound& sound, MixStats& stats, bool* rendered = nullptr);
    // Waits for the last started render and takes it as Poll does; false when none is pending.
    bool Wait(CSound& sound, MixStats& stats, bool* rendered = nullptr);
    // Drops the last started render and any result not taken: a render in progress stops at
    // its next part (within some tens of milliseconds), and nothing is pending. Returns at once.
    void Cancel();
    // The share of the last started render done, in [0, 1]: 0 before it starts, 1 once it has
    // finished; it only rises while that render runs. Any thread may ask.
    float GetProgress() const;

    // The cache's budget (applies from the next render) and what it holds after the last
    // render that finished or stopped.
    void SetCacheBudget(size_t bytes);
    size_t GetCacheBudget() const;
    size_t GetCacheBytes() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
