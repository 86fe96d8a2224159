// The spectrum through FFTW (sound/Spectrum.h).
#include "sound/Spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

struct CSpectrum::Plan {
    double* input = nullptr;
    fftw_complex* output = nullptr;
    fftw_plan plan = nullptr;

    ~Plan()
    {
        if (plan)
            fftw_destroy_plan(plan);
        fftw_free(input);
        fftw_free(output);
    }
};

CSpectrum::CSpectrum() : m_plan(std::make_unique<Plan>()), m_power(kBins, 0.0), m_window(kSize)
{
    m_plan->input = fftw_alloc_real(kSize);
    m_plan->output = fftw_alloc_complex(kBins);
    if (m_plan->input && m_plan->output)
        m_plan->plan = fftw_plan_dft_r2c_1d(static_cast<int>(kSize), m_plan->input, m_plan->output, FFTW_ESTIMATE);
    const double pi = std::acos(-1.0);
    for (uint32_t i = 0; i < kSize; ++i)
        m_window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * pi * i / kSize));
}

CSpectrum::~CSpectrum() = default;

void CSpectrum::Load(const PcmView& pcm, int64_t first)
{
    const float scale = 1.0f / (32768.0f * static_cast<float>(pcm.channels));
    const int64_t frames = static_cast<int64_t>(pcm.frames);
    for (uint32_t i = 0; i < kSize; ++i) {
        const int64_t frame = first + i;
        float sum = 0.0f;
        if (frame >= 0 && frame < frames) {
            const int16_t* s = pcm.samples + static_cast<size_t>(frame) * pcm.channels;
            for (uint32_t c = 0; c < pcm.channels; ++c)
                sum += s[c];
        }
        m_plan->input[i] = static_cast<double>(sum * scale * m_window[i]);
    }
}

void CSpectrum::AddPower()
{
    fftw_execute(m_plan->plan);
    for (uint32_t k = 0; k < kBins; ++k) {
        const double re = m_plan->output[k][0], im = m_plan->output[k][1];
        m_power[k] += re * re + im * im;
    }
}

void CSpectrum::ToDb(uint32_t windows, std::vector<float>& db) const
{
    // A sine of amplitude 1 on a bin gives |X| = kSize / 4 there under the Hann window.
    const double reference = (kSize / 4.0) * (kSize / 4.0) * windows;
    db.resize(kBins);
    for (uint32_t k = 0; k < kBins; ++k) {
        const double power = m_power[k] / reference;
        db[k] = static_cast<float>(power > 0.0 ? std::max(kSilenceDb, 10.0 * std::log10(power)) : kSilenceDb);
    }
}

bool CSpectrum::AnalyseAt(const PcmView& pcm, size_t centre, std::vector<float>& db)
{
    if (!m_plan->plan || !pcm.samples || pcm.frames == 0)
        return false;
    std::fill(m_power.begin(), m_power.end(), 0.0);
    Load(pcm, static_cast<int64_t>(std::min(centre, pcm.frames)) - kSize / 2);
    AddPower();
    ToDb(1, db);
    return true;
}

bool CSpectrum::AnalyseWhole(const PcmView& pcm, std::vector<float>& db)
{
    if (!m_plan->plan || !pcm.samples || pcm.frames == 0)
        return false;
    std::fill(m_power.begin(), m_power.end(), 0.0);
    // Half-overlapping windows that stay inside the sound (its ends would add their own
    // edges), spread evenly over it; a long one is sampled at kMaxWindows places. A sound
    // shorter than a window gets one, centred.
    const uint64_t room = pcm.frames > kSize ? pcm.frames - kSize : 0;
    const uint32_t windows = static_cast<uint32_t>(std::min<uint64_t>(room / (kSize / 2) + 1, kMaxWindows));
    for (uint32_t w = 0; w < windows; ++w) {
        const int64_t first = pcm.frames >= kSize
                                  ? static_cast<int64_t>(windows > 1 ? room * w / (windows - 1) : room / 2)
                                  : (static_cast<int64_t>(pcm.frames) - kSize) / 2;
        Load(pcm, first);
        AddPower();
    }
    ToDb(windows, db);
    return true;
}
