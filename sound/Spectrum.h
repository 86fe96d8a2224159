// CSpectrum: the level spectrum of 16-bit PCM through FFTW's real-to-complex transform (double
// precision) of kSize frames, channels averaged, under a Hann window. The plan is made once,
// in the constructor, and reused; FFTW's planner is not thread-safe, so make and destroy
// spectra on the main thread only. The analyses may run on any one thread at a time per object.
#pragma once

#include "sound/MixAnalysis.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CSpectrum {
public:
    static constexpr uint32_t kSize = 4096;
    static constexpr uint32_t kBins = kSize / 2 + 1;
    // The most windows AnalyseWhole averages, spread evenly over a long sound.
    static constexpr uint32_t kMaxWindows = 64;

    CSpectrum();
    ~CSpectrum();
    CSpectrum(const CSpectrum&) = delete;
    CSpectrum& operator=(const CSpectrum&) = delete;

    // kBins levels in dB relative to a full-scale sine (a sine of amplitude 1 at a bin's
    // frequency reads 0 dB there), at least kSilenceDb: of the kSize frames centred on frame
    // centre (silence outside the sound). False, db untouched, without the plan or samples.
    bool AnalyseAt(const PcmView& pcm, size_t centre, std::vector<float>& db);
    // The same for the power averaged over windows across the whole sound (half-overlapping,
    // at most kMaxWindows of them).
    bool AnalyseWhole(const PcmView& pcm, std::vector<float>& db);

private:
    // Windows the kSize frames from first (which may start before the sound) into the input.
    void Load(const PcmView& pcm, int64_t first);
    // Transforms the input and adds each bin's power to m_power.
    void AddPower();
    void ToDb(uint32_t windows, std::vector<float>& db) const;

    struct Plan;
    std::unique_ptr<Plan> m_plan;
    std::vector<double> m_power;
    std::vector<float> m_window;
};
