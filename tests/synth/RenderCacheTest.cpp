// The render cache and the asynchronous render job against the plain renderer: after random
// sequences of edits, additions, removals and mutes, a mix summed from kept contributions has
// RenderMix's bytes and clip count, on every kernel, at 8 and 16 bits, with the libm fallbacks
// forced; only changed voices are computed again; the budget bounds what is kept; a cancelled
// or superseded render never hands out a wrong mix.
#include "synth/RenderCache.h"
#include "synth/RenderJob.h"
#include "synth/RenderKernel.h"
#include "synth/WorkerPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <chrono>
#include <vector>

namespace {

struct SettingsGuard {
    ~SettingsGuard()
    {
        SetMixKernel(MixKernel::Avx512);
        SetMixErrorScale(1.0);
        SetRenderThreads(0);
    }
};

float Length(const VoiceParams& p) { return p.envelopeOn ? EnvelopeLength(p.envelope) : p.wave.period; }

MixVoice Make(const VoiceParams& p, bool muted = false) { return MixVoice{RenderVoice{p, Length(p)}, muted}; }

// Random voices and edits as a user makes them: loud enough, often, to clip.
class Editor {
public:
    explicit Editor(uint32_t seed, float seconds) : m_random(seed), m_seconds(seconds) {}

    int Int(int n) { return static_cast<int>(m_random() % static_cast<uint32_t>(n)); }
    float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(m_random); }

    VoiceParams Voice()
    {
        VoiceParams p;
        p.wave.type = Int(5);
        p.wave.amplitude = Uniform(0.0f, 3.0f);
        p.wave.amplitudeOffset = Uniform(-1.0f, 1.0f);
        p.wave.frequency = Uniform(0.0f, 2000.0f);
        p.wave.period = m_seconds * (Int(2) ? 1.0f : Uniform(0.3f, 1.0f));
        p.wave.phase = Uniform(0.0f, 1.0f);
        p.carrier.type = Int(4);
        p.carrier.amplitude = Uniform(0.0f, 0.5f);
        p.carrier.frequency = Uniform(0.0f, 20.0f);
        p.carrierOn = Int(2) == 0;
        p.am = Int(3) == 0;
        p.fm = Int(2) == 0;
        p.pm = Int(3) == 0;
        p.envelopeOn = Int(5) == 0;
        p.envelope.attack = Uniform(0.0f, m_seconds / 4);
        p.envelope.decay = Uniform(0.0f, m_seconds / 4);
        p.envelope.hold = Uniform(0.0f, m_seconds / 4);
        p.envelope.release = Uniform(0.0f, m_seconds / 4);
        if (Int(3) == 0) { // some stages: they run in sample order, one part per voice
            p.stages.frequencyEnd = Uniform(0.0f, 2000.0f);
            p.stages.vibratoDepth = Uniform(0.0f, 2.0f);
            p.stages.vibratoRate = Uniform(0.0f, 20.0f);
            p.stages.bandLimited = Int(2) == 0;
            p.stages.lowpass = Int(2) ? Uniform(0.0f, 20000.0f) : 0.0f;
            p.stages.resonance = Uniform(0.0f, 1.0f);
            p.stages.span = Length(p);
        }
        return p;
    }

    // Changes one thing of the list; returns how many voices' sound changed.
    void Step(std::vector<MixVoice>& voices)
    {
        const int what = voices.empty() ? 1 : Int(10);
        if (what == 1 || voices.size() < 2) {
            voices.insert(voices.begin() + Int(static_cast<int>(voices.size()) + 1), Make(Voice()));
        } else if (what == 2) {
            voices.erase(voices.begin() + Int(static_cast<int>(voices.size())));
        } else if (what == 3) {
            MixVoice& v = voices[static_cast<size_t>(Int(static_cast<int>(voices.size())))];
            v.muted = !v.muted;
        } else {
            MixVoice& v = voices[static_cast<size_t>(Int(static_cast<int>(voices.size())))];
            VoiceParams& p = v.voice.params;
            switch (Int(5)) {
            case 4: p.stages.tremoloDepth = Int(2) ? Uniform(0.0f, 1.0f) : 0.0f; p.stages.tremoloRate = 7.0f; break;
            case 0: p.wave.amplitude = Uniform(0.0f, 3.0f); break;
            case 1: p.wave.frequency = Uniform(0.0f, 2000.0f); break;
            case 2: p.carrier.frequency = Uniform(0.0f, 20.0f); break;
            default: p.wave.type = Int(4); break;
            }
            v.voice.length = p.stages.span = Length(p);
        }
    }

private:
    std::mt19937 m_random;
    float m_seconds;
};

std::vector<RenderVoice> Heard(const std::vector<MixVoice>& voices)
{
    std::vector<RenderVoice> heard;
    for (const MixVoice& v : voices)
        if (!v.muted)
            heard.push_back(v.voice);
    return heard;
}

// The cache's result against RenderMix's: bytes, return value and clip count.
void ExpectSameAsRenderMix(CRenderCache& cache, const std::vector<MixVoice>& voices, uint32_t bits,
                           const std::string& where, MixStats* statsOut = nullptr,
                           const MixMaster& master = MixMaster())
{
    const std::vector<RenderVoice> heard = Heard(voices);
    CSound full, cached;
    uint64_t clipped = 0;
    const bool a = RenderMix(heard.data(), static_cast<uint32_t>(heard.size()), full, 1, 44100, bits, &clipped,
                             RenderCancel(), nullptr, master);
    MixStats stats;
    const bool b = cache.Render(voices.data(), static_cast<uint32_t>(voices.size()), cached, 1, 44100, bits, &stats,
                                RenderCancel(), nullptr, master);
    ASSERT_EQ(a, b) << where;
    ASSERT_EQ(full.dataSize, cached.dataSize) << where;
    ASSERT_TRUE(full.dataSize == 0 || std::memcmp(full.data, cached.data, full.dataSize) == 0) << where;
    ASSERT_EQ(stats.clipped, clipped) << where;
    if (statsOut)
        *statsOut = stats;
}

TEST(RenderCache, RandomEditSequencesGiveTheFullRendersBytesAndClipCount)
{
    SettingsGuard guard;
    uint64_t clippedSeen = 0;
    for (uint32_t bits : {16u, 8u}) {
        for (uint32_t seed : {1u, 2u, 3u}) {
            Editor editor(seed * 7 + bits, 0.05f);
            std::vector<MixVoice> voices;
            for (int i = 0; i < 4; ++i)
                voices.push_back(Make(editor.Voice()));
            CRenderCache cache;
            for (int step = 0; step < 40; ++step) {
                MixStats stats;
                // Every other step through a master stage: the kept contributions serve both.
                const MixMaster master = step % 2 ? MixMaster{editor.Uniform(-12.0f, 12.0f), editor.Int(2) == 0,
                                                              editor.Uniform(0.0f, 20.0f), editor.Int(2) == 0}
                                                  : MixMaster();
                ExpectSameAsRenderMix(cache, voices, bits,
                                      "bits " + std::to_string(bits) + " seed " + std::to_string(seed) + " step " +
                                          std::to_string(step),
                                      &stats, master);
                clippedSeen += stats.clipped;
                editor.Step(voices);
            }
        }
    }
    EXPECT_GT(clippedSeen, 0u) << "the corpus never clips: the clip counts were not tested";
}

TEST(RenderCache, EveryKernelAndForcedFallbacksGiveTheSameBytes)
{
    SettingsGuard guard;
    for (double scale : {1.0, 0x1p40}) {
        SetMixErrorScale(scale);
        for (int k = 0; k <= static_cast<int>(BestMixKernel()); ++k) {
            SetMixKernel(static_cast<MixKernel>(k));
            Editor editor(99 + static_cast<uint32_t>(k), 0.03f);
            std::vector<MixVoice> voices;
            for (int i = 0; i < 5; ++i)
                voices.push_back(Make(editor.Voice()));
            CRenderCache cache;
            for (int step = 0; step < 8; ++step) {
                for (uint32_t bits : {16u, 8u})
                    ExpectSameAsRenderMix(cache, voices, bits,
                                          "kernel " + std::to_string(k) + " scale " + std::to_string(scale), nullptr,
                                          MixMaster{3.0f, step % 2 == 0, 5.0f, step % 3 == 0});
                editor.Step(voices);
            }
        }
    }
}

TEST(RenderCache, OnlyTheChangedVoiceIsRenderedAgainAndMutesRenderNothing)
{
    Editor editor(5, 0.1f);
    std::vector<MixVoice> voices;
    for (int i = 0; i < 6; ++i) {
        VoiceParams p = editor.Voice();
        p.envelopeOn = false;
        p.wave.period = 0.1f; // one length: an edit does not move the time line
        voices.push_back(Make(p));
    }
    CRenderCache cache;
    MixStats stats;
    ExpectSameAsRenderMix(cache, voices, 16, "first", &stats);
    EXPECT_EQ(stats.voicesRendered, 6u);
    voices[3].voice.params.wave.frequency += 1.0f;
    ExpectSameAsRenderMix(cache, voices, 16, "edit", &stats);
    EXPECT_EQ(stats.voicesRendered, 1u);
    voices[1].muted = true;
    ExpectSameAsRenderMix(cache, voices, 16, "mute", &stats);
    EXPECT_EQ(stats.voicesRendered, 0u);
    voices[1].muted = false;
    ExpectSameAsRenderMix(cache, voices, 16, "unmute", &stats);
    EXPECT_EQ(stats.voicesRendered, 0u);
    voices.erase(voices.begin());
    ExpectSameAsRenderMix(cache, voices, 16, "removal", &stats);
    EXPECT_EQ(stats.voicesRendered, 0u);
    // A longer voice moves every voice's times: everything again.
    voices[0].voice.params.wave.period = 0.2f;
    voices[0].voice.length = 0.2f;
    ExpectSameAsRenderMix(cache, voices, 16, "longer", &stats);
    EXPECT_EQ(stats.voicesRendered, 5u);
}

TEST(RenderCache, TheBudgetBoundsTheMemoryAndAMixPastItIsStillExact)
{
    Editor editor(11, 0.1f);
    std::vector<MixVoice> voices;
    for (int i = 0; i < 4; ++i) {
        VoiceParams p = editor.Voice();
        p.envelopeOn = false;
        p.wave.period = 0.1f;
        voices.push_back(Make(p));
    }
    const size_t perVoice = (4410 + 2 * ((4410 + 63) / 64)) * sizeof(double);
    CRenderCache cache(4 * perVoice);
    MixStats stats;
    ExpectSameAsRenderMix(cache, voices, 16, "fits", &stats);
    EXPECT_TRUE(stats.cached);
    EXPECT_EQ(cache.GetBytes(), 4 * perVoice);
    voices.push_back(Make(voices[0].voice.params)); // the same sound twice is kept once
    ExpectSameAsRenderMix(cache, voices, 16, "twice", &stats);
    EXPECT_EQ(cache.GetBytes(), 4 * perVoice);
    voices.back().voice.params.wave.amplitude += 0.5f;
    ExpectSameAsRenderMix(cache, voices, 16, "past the budget", &stats);
    EXPECT_FALSE(stats.cached);
    EXPECT_EQ(cache.GetBytes(), 0u);
    voices.back().muted = true; // back within: the muted one is not kept
    ExpectSameAsRenderMix(cache, voices, 16, "within again", &stats);
    EXPECT_TRUE(stats.cached);
    EXPECT_LE(cache.GetBytes(), cache.GetBudget());
}

TEST(RenderCache, ACancelledRenderKeepsNothingHalfDoneAndTheNextIsExact)
{
    Editor editor(21, 0.5f);
    std::vector<MixVoice> voices;
    for (int i = 0; i < 3; ++i)
        voices.push_back(Make(editor.Voice()));
    CRenderCache cache;
    int asked = 0;
    RenderCancel cancel{[](const void* c) { return ++*static_cast<int*>(const_cast<void*>(c)) > 2; }, &asked};
    CSound sound;
    MixStats stats;
    EXPECT_FALSE(cache.Render(voices.data(), 3, sound, 1, 44100, 16, &stats, cancel));
    EXPECT_TRUE(stats.cancelled);
    ExpectSameAsRenderMix(cache, voices, 16, "after the cancel");
}

TEST(RenderCache, ClipCountsOfBothPathsAndTheReferenceAgree)
{
    // Two constant voices at 0.75 and 1.0 with a third at 1.0: an average of 0.9166, no clip;
    // amplitude 3 sines clip wherever |3 sin| > 1.
    VoiceParams loud;
    loud.wave.amplitude = 3.0f;
    loud.wave.frequency = 50.0f;
    loud.wave.period = 0.2f;
    std::vector<RenderVoice> voices{RenderVoice{loud, 0.2f}};
    for (uint32_t bits : {8u, 16u}) {
        CSound a, b;
        uint64_t fast = 0, reference = 0;
        ASSERT_TRUE(RenderMix(voices.data(), 1, a, 1, 44100, bits, &fast));
        ASSERT_TRUE(RenderMixReference(voices.data(), 1, b, 1, 44100, bits, &reference));
        EXPECT_EQ(fast, reference);
        // |sin| > 1/3 for all but 2·asin(1/3)/π ≈ 21.6 % of the time.
        const double share = static_cast<double>(fast) / 8820.0;
        EXPECT_NEAR(share, 0.784, 0.01) << bits;
    }
    VoiceParams quiet = loud;
    quiet.wave.amplitude = 0.5f;
    CSound c;
    uint64_t none = 7;
    RenderMix(std::vector<RenderVoice>{RenderVoice{quiet, 0.2f}}.data(), 1, c, 1, 44100, 16, &none);
    EXPECT_EQ(none, 0u);
}

// [SECTION] The asynchronous job

std::vector<MixVoice> HeavyVoices(int count, float seconds)
{
    std::vector<MixVoice> voices;
    for (int i = 0; i < count; ++i) {
        VoiceParams p;
        p.wave.frequency = 110.0f + 55.0f * i;
        p.wave.period = seconds;
        p.carrierOn = true;
        p.carrier.frequency = 1.0f + 0.5f * i;
        p.carrier.amplitude = 0.3f;
        voices.push_back(Make(p));
    }
    return voices;
}

TEST(RenderJob, ANewerStartSupersedesAndOnlyTheNewestMixIsHandedOut)
{
    CRenderJob job;
    std::vector<MixVoice> voices = HeavyVoices(6, 1.0f);
    CSound sound;
    MixStats stats;
    EXPECT_FALSE(job.Poll(sound, stats));
    EXPECT_FALSE(job.Wait(sound, stats)) << "nothing was started";
    job.Start(voices, 1, 44100, 16);
    voices[2].voice.params.wave.amplitude = 0.25f;
    job.Start(voices, 1, 44100, 16);
    EXPECT_TRUE(job.IsPending());
    ASSERT_TRUE(job.Wait(sound, stats));
    EXPECT_FALSE(job.IsPending());
    EXPECT_FALSE(job.Poll(sound, stats)) << "a result is handed out once";
    const std::vector<RenderVoice> heard = Heard(voices);
    CSound full;
    RenderMix(heard.data(), 6, full, 1, 44100, 16);
    ASSERT_EQ(sound.dataSize, full.dataSize);
    EXPECT_EQ(std::memcmp(sound.data, full.data, full.dataSize), 0);
    EXPECT_GT(job.GetCacheBytes(), 0u);
}

TEST(RenderJob, PollingSeesTheResultWithoutBlockingAndThreadsDoNotChangeIt)
{
    SettingsGuard guard;
    std::vector<std::vector<uint8_t>> results;
    for (uint32_t threads : {1u, 2u, 5u}) {
        SetRenderThreads(threads);
        CRenderJob job;
        job.Start(HeavyVoices(4, 0.5f), 1, 44100, 16);
        CSound sound;
        MixStats stats;
        // A frame loop's view: poll, do something else, poll again (for at most 20 s).
        for (int frame = 0; frame < 20000 && !job.Poll(sound, stats); ++frame)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_NE(sound.data, nullptr);
        results.emplace_back(sound.data, sound.data + sound.dataSize);
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

TEST(RenderJob, AllMutedRendersAnEmptySoundAndDestructionMidRenderIsClean)
{
    {
        CRenderJob job;
        std::vector<MixVoice> voices = HeavyVoices(2, 0.1f);
        voices[0].muted = voices[1].muted = true;
        job.Start(voices, 1, 44100, 16);
        CSound sound;
        MixStats stats;
        bool rendered = false;
        ASSERT_TRUE(job.Wait(sound, stats, &rendered));
        EXPECT_TRUE(rendered);
        EXPECT_EQ(sound.dataSize, 0u);
    }
    CRenderJob job;
    job.Start(HeavyVoices(16, 10.0f), 1, 44100, 16); // destroyed long before it could finish
}

} // namespace
