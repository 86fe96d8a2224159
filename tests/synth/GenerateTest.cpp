// Generated sounds judged by ear, in numbers: a laser falls and a jump rises (zero-crossing
// rates), an explosion is broad-band and dies away (spectral flatness, level), every category
// at several seeds is audible, unclipped and of a sensible length; generation is a function of
// category and seed alone; Mutate stays near the sound and inside the rules.
#include "synth/Generate.h"
#include "synth/Project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <numeric>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<double> Listen(const CSound& mix)
{
    std::vector<double> samples;
    for (uint32_t i = 0; i + 1 < mix.GetDataSize(); i += 2) {
        const int16_t v = static_cast<int16_t>(mix.GetData()[i] | (mix.GetData()[i + 1] << 8));
        samples.push_back(v / 32767.0);
    }
    return samples;
}

// The mix as Save Sound writes it without a master, as values in [-1, 1].
std::vector<double> Listen(const GeneratedVoices& voices)
{
    CSound mix;
    RenderVoices(voices, mix, kMixChannels, kMixRate, kMixBits);
    return Listen(mix);
}

std::vector<double> Quarter(const std::vector<double>& x, int q)
{
    const size_t n = x.size() / 4;
    return std::vector<double>(x.begin() + static_cast<std::ptrdiff_t>(q * n),
                               x.begin() + static_cast<std::ptrdiff_t>((q + 1) * n));
}

// Sign changes per second, zeros skipped (they are the quiet tail, not crossings).
double CrossingRate(const std::vector<double>& x)
{
    int last = 0;
    size_t crossings = 0;
    for (double v : x) {
        const int sign = v > 0 ? 1 : (v < 0 ? -1 : 0);
        if (sign != 0) {
            crossings += last != 0 && sign != last;
            last = sign;
        }
    }
    return x.empty() ? 0.0 : crossings * static_cast<double>(kMixRate) / x.size();
}

double Level(const std::vector<double>& x)
{
    double sum = 0.0;
    for (double v : x)
        sum += v * v;
    return x.empty() ? 0.0 : std::sqrt(sum / x.size());
}

void Fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2.0 * M_PI / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1.0;
            for (size_t k = 0; k < len / 2; ++k, wk *= w) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// How broad the spectrum is: the share of the frequency bins (up to half the sample rate)
// that holds 90 % of the energy of x, from the power of its Hann-windowed 2048-sample frames
// summed. A tone and its few strong harmonics take a few bins; noise takes many.
double Breadth(const std::vector<double>& x)
{
    const size_t n = 2048;
    std::vector<double> power(n / 2, 0.0);
    for (size_t start = 0; start + n <= x.size(); start += n / 2) {
        std::vector<std::complex<double>> frame(n);
        for (size_t i = 0; i < n; ++i)
            frame[i] = x[start + i] * (0.5 - 0.5 * std::cos(2.0 * M_PI * i / n));
        Fft(frame);
        for (size_t k = 0; k < n / 2; ++k)
            power[k] += std::norm(frame[k]);
    }
    double total = 0.0;
    for (double p : power)
        total += p;
    std::sort(power.begin(), power.end(), std::greater<double>());
    size_t bins = 0;
    for (double held = 0.0; held < 0.9 * total && bins < power.size(); ++bins)
        held += power[bins];
    return static_cast<double>(bins) / (n / 2);
}

constexpr uint32_t kSeeds[] = {1, 2, 3, 42, 1234, 65535, 99999, 4294967295u};

// The mix with its generated master, as the program plays it.
std::vector<double> Heard(const GeneratedVoices& voices)
{
    CSound mix;
    RenderVoices(voices, mix, kMixChannels, kMixRate, kMixBits, nullptr, GeneratedMaster(voices));
    return Listen(mix);
}

// Pitch at t seconds: the median rate between successive upward zero crossings (interpolated)
// whose midpoints lie within 5 ms of t; 0 when none do.
double PitchAt(const std::vector<double>& x, double t)
{
    std::vector<double> rates;
    double last = -1.0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (!(x[i - 1] < 0.0 && x[i] >= 0.0))
            continue;
        const double at = (static_cast<double>(i) - 1.0 + x[i - 1] / (x[i - 1] - x[i])) / kMixRate;
        if (last >= 0.0 && std::fabs((at + last) / 2.0 - t) <= 0.005)
            rates.push_back(1.0 / (at - last));
        last = at;
    }
    std::sort(rates.begin(), rates.end());
    return rates.empty() ? 0.0 : rates[rates.size() / 2];
}

// The share of a 1024-value window's energy (from first) at 3, 4.5 and 6 kHz (Hann, DFT bins).
double HighShare(const std::vector<double>& x, size_t first)
{
    double high = 0.0, all = 0.0;
    for (double hz : {3000.0, 4500.0, 6000.0}) {
        std::complex<double> bin = 0.0;
        for (size_t i = 0; i < 1024 && first + i < x.size(); ++i)
            bin += x[first + i] * (0.5 - 0.5 * std::cos(2.0 * M_PI * i / 1024)) * std::polar(1.0, -2.0 * M_PI * hz * i / kMixRate);
        high += std::norm(bin);
    }
    for (size_t i = 0; i < 1024 && first + i < x.size(); ++i)
        all += x[first + i] * x[first + i];
    return all > 0.0 ? high / all : 0.0;
}

TEST(Generate, ALaserFallsAndAJumpRises)
{
    for (uint32_t seed : kSeeds) {
        const std::vector<double> laser = Listen(GenerateVoices(SoundCategory::Laser, seed));
        EXPECT_LT(CrossingRate(Quarter(laser, 3)), 0.8 * CrossingRate(Quarter(laser, 0))) << "laser " << seed;
        const std::vector<double> jump = Listen(GenerateVoices(SoundCategory::Jump, seed));
        EXPECT_GT(CrossingRate(Quarter(jump, 3)), 1.2 * CrossingRate(Quarter(jump, 0))) << "jump " << seed;
        const std::vector<double> coin = Listen(GenerateVoices(SoundCategory::Pickup, seed));
        EXPECT_GT(CrossingRate(Quarter(coin, 3)), 1.1 * CrossingRate(Quarter(coin, 0))) << "coin " << seed;
    }
}

// Each category measured as heard, over eight seeds: its pitch path, its colour, its length,
// and a level within 3 dB of kGeneratedLevel that starts and ends at silence.
TEST(Generate, EachCategorySoundsLikeItsName)
{
    using Check = std::function<void(const GeneratedVoices&, const std::vector<double>&, double)>;
    const auto rise = [](const std::vector<double>& x, double end) { return PitchAt(x, end - 0.03) / PitchAt(x, 0.015); };
    const std::pair<SoundCategory, Check> rows[] = {
        {SoundCategory::Laser, [](const GeneratedVoices&, const std::vector<double>& x, double end) {
             const double start = PitchAt(x, 0.004);
             double lowest = start;
             for (double t = 0.01; t < std::min(0.4, end - 0.01); t += 0.005)
                 lowest = PitchAt(x, t) > 0.0 ? std::min(lowest, PitchAt(x, t)) : lowest;
             EXPECT_TRUE(start >= 600.0 && start <= 2700.0) << start; // 700-2500 Hz, a few ms on
             EXPECT_LE(lowest, start / 4.0) << "two octaves down";
         }},
        {SoundCategory::Pickup, [&](const GeneratedVoices&, const std::vector<double>& x, double end) {
             const double low = PitchAt(x, 0.015), high = PitchAt(x, end - 0.03), middle = std::sqrt(low * high);
             EXPECT_GT(high / low, 1.2);
             std::vector<double> steps; // times the pitch crosses between the two notes
             for (double t = 0.015; t < end - 0.03; t += 0.002)
                 if ((PitchAt(x, t) < middle) != (PitchAt(x, t + 0.002) < middle))
                     steps.push_back(t);
             ASSERT_EQ(steps.size(), 1u) << "one step up";
             double around = 0.0, after = 0.0, elsewhere = 0.0; // the steepest change near the step, in the note after
             for (size_t i = 1; i < x.size(); ++i) {
                 const double at = static_cast<double>(i) / kMixRate - steps[0];
                 double& into = std::fabs(at) < 0.004 ? around : (at > 0.004 && at < 0.03 ? after : elsewhere);
                 into = std::max(into, std::fabs(x[i] - x[i - 1]));
             }
             EXPECT_LE(around, 1.2 * after) << "no click";
         }},
        {SoundCategory::PowerUp, [&](const GeneratedVoices&, const std::vector<double>& x, double end) {
             EXPECT_GT(rise(x, end), 1.5);
             std::vector<double> t, p; // the pitch in semitones; the vibrato is what a line leaves
             for (double at = 0.015; at < end - 0.03; at += 0.005)
                 if (PitchAt(x, at) > 0.0) {
                     t.push_back(at);
                     p.push_back(12.0 * std::log2(PitchAt(x, at)));
                 }
             const double n = t.size(), mt = std::accumulate(t.begin(), t.end(), 0.0) / n, mp = std::accumulate(p.begin(), p.end(), 0.0) / n;
             double stt = 0.0, stp = 0.0, residual = 0.0;
             for (size_t i = 0; i < t.size(); ++i) {
                 stt += (t[i] - mt) * (t[i] - mt);
                 stp += (t[i] - mt) * (p[i] - mp);
             }
             for (size_t i = 0; i < t.size(); ++i)
                 residual += std::pow(p[i] - mp - stp / stt * (t[i] - mt), 2.0) / n;
             EXPECT_GT(std::sqrt(residual), 0.2) << "vibrato";
         }},
        {SoundCategory::Jump, [&](const GeneratedVoices&, const std::vector<double>& x, double end) {
             EXPECT_GT(rise(x, end), 1.4);
             EXPECT_GT(PitchAt(x, end / 2.0), PitchAt(x, 0.015));
         }},
        {SoundCategory::Explosion, [](const GeneratedVoices&, const std::vector<double>& x, double) {
             EXPECT_GT(Breadth(std::vector<double>(x.begin(), x.begin() + std::min<size_t>(x.size(), 4096))), 0.2) << "noise";
             EXPECT_LT(HighShare(x, x.size() * 3 / 4), 0.25 * HighShare(x, 1024)) << "the low-pass closes";
         }},
        {SoundCategory::Hit, [](const GeneratedVoices& voices, const std::vector<double>&, double end) {
             EXPECT_LT(end, 0.3);
             ASSERT_EQ(voices.size(), 2u);
             EXPECT_EQ(voices[0]->GetWaveType(), Noise);
             EXPECT_LE(voices[0]->GetLength(), voices[1]->GetLength()) << "short noise";
             CSound alone;
             RenderVoices(std::vector<const CVoice*>{voices[1].get()}, alone, kMixChannels, kMixRate, kMixBits);
             const std::vector<double> tone = Listen(alone);
             EXPECT_LT(PitchAt(tone, end - 0.03), 0.7 * PitchAt(tone, 0.015)) << "over a falling tone";
         }},
        {SoundCategory::Blip, [](const GeneratedVoices&, const std::vector<double>&, double end) { EXPECT_LT(end, 0.15); }},
        {SoundCategory::Random, [](const GeneratedVoices&, const std::vector<double>&, double) {}},
    };
    for (const auto& [category, check] : rows) {
        for (uint32_t seed = 1; seed <= 8; ++seed) {
            SCOPED_TRACE(GeneratedName(category, seed).CStr());
            const GeneratedVoices voices = GenerateVoices(category, seed);
            const std::vector<double> x = Heard(voices);
            ASSERT_FALSE(x.empty());
            const double rms = 10.0 * std::log10(std::inner_product(x.begin(), x.end(), x.begin(), 0.0) / x.size());
            EXPECT_NEAR(rms, kGeneratedLevel, 3.0);
            EXPECT_EQ(x.front(), 0.0);
            EXPECT_EQ(x.back(), 0.0);
            check(voices, x, static_cast<double>(x.size()) / kMixRate);
        }
    }
}

TEST(Generate, AnExplosionIsBroadAndDecays)
{
    for (uint32_t seed : kSeeds) {
        const std::vector<double> boom = Listen(GenerateVoices(SoundCategory::Explosion, seed));
        const std::vector<double> blip = Listen(GenerateVoices(SoundCategory::Jump, seed));
        EXPECT_GT(Breadth(Quarter(boom, 0)), 0.2) << "broad as it starts; its low-pass then closes, seed " << seed;
        EXPECT_LT(Breadth(blip), 0.1) << "a tone is not broad: the measure tells them apart, seed " << seed;
        EXPECT_LT(Level(Quarter(boom, 3)), 0.5 * Level(Quarter(boom, 0))) << seed;
    }
}

TEST(Generate, EverySoundIsAudibleUnclippedAndOfASensibleLength)
{
    for (int32_t c = 0; c < kSoundCategoryCount; ++c) {
        for (uint32_t seed : kSeeds) {
            const auto category = static_cast<SoundCategory>(c);
            SCOPED_TRACE(GeneratedName(category, seed).CStr());
            const GeneratedVoices voices = GenerateVoices(category, seed);
            ASSERT_GE(voices.size(), 1u);
            ASSERT_LE(voices.size(), 3u);
            const std::vector<double> x = Heard(voices); // the master sets the level
            const double seconds = static_cast<double>(x.size()) / kMixRate;
            EXPECT_GE(seconds, 0.05);
            EXPECT_LE(seconds, 2.0);
            EXPECT_GT(Level(x), 0.03) << "audible";
            const auto clipped = std::count_if(x.begin(), x.end(), [](double v) { return std::fabs(v) >= 1.0; });
            EXPECT_LE(static_cast<double>(clipped), 0.01 * x.size());
        }
    }
}

TEST(Generate, TheSameSeedGivesTheSameSoundAndOthersDiffer)
{
    for (int32_t c = 0; c < kSoundCategoryCount; ++c) {
        const auto category = static_cast<SoundCategory>(c);
        const std::vector<double> a = Listen(GenerateVoices(category, 7));
        EXPECT_EQ(a, Listen(GenerateVoices(category, 7))) << CategoryName(category);
        EXPECT_NE(a, Listen(GenerateVoices(category, 8))) << CategoryName(category);
    }
    // Categories do not share their draws: the same seed gives unrelated voices.
    EXPECT_NE(GenerateVoices(SoundCategory::Laser, 7)[0]->GetSeed(), GenerateVoices(SoundCategory::Hit, 7)[0]->GetSeed());
}

TEST(Generate, NamesAndCategoryWords)
{
    EXPECT_STREQ(GeneratedName(SoundCategory::Laser, 1234).CStr(), "Laser 1234");
    EXPECT_STREQ(GeneratedName(SoundCategory::PowerUp, 4294967295u).CStr(), "Power-up 4294967295");
    SoundCategory category = SoundCategory::Random;
    const std::pair<const char*, SoundCategory> words[] = {
        {"coin", SoundCategory::Pickup},     {"PICKUP", SoundCategory::Pickup},    {"shoot", SoundCategory::Laser},
        {"Explosion", SoundCategory::Explosion}, {"powerup", SoundCategory::PowerUp}, {"power-up", SoundCategory::PowerUp},
        {"hurt", SoundCategory::Hit},        {"jump", SoundCategory::Jump},        {"select", SoundCategory::Blip},
        {"random", SoundCategory::Random}};
    for (const auto& [word, expected] : words) {
        ASSERT_TRUE(ParseCategory(word, category)) << word;
        EXPECT_EQ(category, expected) << word;
    }
    for (const char* bad : {"", "las", "laserx", "power up"})
        EXPECT_FALSE(ParseCategory(bad, category)) << bad;
    EXPECT_FALSE(ParseCategory(nullptr, category));
    EXPECT_STREQ(CategoryName(static_cast<SoundCategory>(99)), "");
}

TEST(Generate, ValuesSitOnWholeSliderPositionsSoASavedProjectSoundsTheSame)
{
    for (int32_t c = 0; c < kSoundCategoryCount; ++c) {
        const auto category = static_cast<SoundCategory>(c);
        const GeneratedVoices voices = GenerateVoices(category, 31337);
        CXMLDocument doc;
        BuildProjectDocument(doc, GeneratedName(category, 31337), voices);
        GeneratedVoices loaded;
        ApplyProjectDocument(doc, [&] {
            loaded.push_back(std::make_unique<CVoiceModel>());
            return loaded.back().get();
        });
        EXPECT_EQ(Listen(voices), Listen(loaded)) << CategoryName(category);
    }
}

TEST(Mutate, NudgesEveryVoiceALittleWithinTheRules)
{
    GeneratedVoices voices = GenerateVoices(SoundCategory::Explosion, 5);
    std::vector<std::vector<float>> before;
    for (const auto& voice : voices) {
        before.emplace_back();
        for (int32_t v = 0; v < VoiceValueCount; ++v)
            before.back().push_back(voice->GetPosition(v));
    }
    const std::vector<double> original = Listen(voices);
    MutateVoices(voices, 1);
    int moved = 0;
    for (size_t i = 0; i < voices.size(); ++i) {
        EXPECT_EQ(voices[i]->GetWaveType(), Noise);
        EXPECT_TRUE(voices[i]->IsEnvelopeOn());
        for (int32_t v = 0; v < VoiceValueCount; ++v) {
            float min, max;
            CVoiceModel::GetRange(v, min, max);
            const float now = voices[i]->GetPosition(v), was = before[i][v];
            EXPECT_GE(now, min);
            EXPECT_LE(now, max);
            EXPECT_EQ(now, std::round(now)) << "whole slider positions";
            const float reach = CVoiceModel::IsFrequency(v) || v == ValuePeriod || v == ValueCarrierPeriod
                                    ? std::max(1.0f, 0.06f * std::fabs(was)) + 0.5f
                                    : 0.04f * (max - min) + 0.5f;
            EXPECT_LE(std::fabs(now - was), reach) << "value " << v;
            moved += now != was;
        }
    }
    EXPECT_GT(moved, 7 * static_cast<int>(voices.size())) << "most values move";
    const std::vector<double> mutated = Listen(voices);
    EXPECT_NE(mutated, original);
    // Near, not elsewhere: the length and the level stay close.
    EXPECT_NEAR(static_cast<double>(mutated.size()), static_cast<double>(original.size()), 0.25 * original.size());
    EXPECT_NEAR(Level(mutated), Level(original), 0.3 * Level(original));

    // Repeated mutation from one seed is repeatable.
    GeneratedVoices a = GenerateVoices(SoundCategory::Laser, 9), b = GenerateVoices(SoundCategory::Laser, 9);
    for (uint32_t round = 0; round < 5; ++round) {
        MutateVoices(a, round);
        MutateVoices(b, round);
    }
    EXPECT_EQ(Listen(a), Listen(b));
}

} // namespace
