// CRenderCache: renders a mix exactly as RenderMix does (same bytes, same clip count) while
// keeping each voice's contribution (RenderKernel.h), so that the next render computes only the
// voices whose sound changed and sums every voice again in the mix's order. A contribution is
// found again by what the voice sounds like (its parameters, bit for bit) on the same time
// line (length, format); voices that left the list let go of theirs. The memory it holds is
// bounded by a budget: a mix whose contributions would not fit renders afresh, keeping none.
// Not thread-aware beyond the worker pool it uses: one render at a time, from one thread.
#pragma once

#include "synth/Render.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

// One voice of a mix as the cache takes it: a muted voice is not heard but keeps its
// contribution while the budget allows.
struct MixVoice {
    RenderVoice voice;
    bool muted = false;
};

// What a render did.
struct MixStats {
    uint64_t values = 0;         // values in the mix
    uint64_t clipped = 0;        // values the clamp took
    uint32_t voicesRendered = 0; // voices computed afresh (the others were summed from the cache)
    bool cached = false;         // false when the mix was rendered afresh, past the budget
    bool cancelled = false;      // the render stopped early; the sound is not the mix
};

class CRenderCache {
public:
    static constexpr size_t kDefaultBudget = size_t(256) << 20;

    explicit CRenderCache(size_t budgetBytes = kDefaultBudget);
    ~CRenderCache();
    CRenderCache(const CRenderCache&) = delete;
    CRenderCache& operator=(const CRenderCache&) = delete;

    // The budget takes effect at the next render.
    void SetBudget(size_t bytes) { m_budget = bytes; }
    size_t GetBudget() const { return m_budget; }
    // Bytes the kept contributions hold now.
    size_t GetBytes() const { return m_bytes; }
    // Lets every contribution go.
    void Clear();

    // The unmuted voices of the list, in order, mixed into sound as RenderMix mixes them; the
    // result and the return value are RenderMix's. When cancel answers true the render stops
    // at the next part, returns false with stats.cancelled set, and keeps only contributions
    // that were finished. The caller's floating-point control is the one the render honours,
    // as RenderMix honours its caller's. progress (when given) is counted as RenderProgress says.
    // master is RenderMix's; the contributions kept do not depend on it.
    bool Render(const MixVoice* voices, uint32_t count, CSound& sound, uint32_t channels, uint32_t rate,
                uint32_t bits, MixStats* stats = nullptr, RenderCancel cancel = RenderCancel(),
                RenderProgress* progress = nullptr, const MixMaster& master = MixMaster());

private:
    struct Entry;
    using Key = std::vector<uint8_t>;
    // Everything a contribution depends on besides the voice.
    struct Timeline {
        uint64_t stepBits = 0;
        uint32_t samples = 0;
        uint32_t bits = 0;
        unsigned control = 0;
        bool operator==(const Timeline& o) const
        {
            return stepBits == o.stepBits && samples == o.samples && bits == o.bits && control == o.control;
        }
    };

    static Key KeyOf(const VoiceParams& params);
    void Recount();

    size_t m_budget;
    size_t m_bytes = 0;
    Timeline m_timeline;
    std::map<Key, std::unique_ptr<Entry>> m_entries;
};
