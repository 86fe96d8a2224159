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

// The mix as Save Sound writes it, through master, as values in [-1, 1].
template <class VoiceList>
std::vector<double> Listen(const VoiceList& voices, const MixMaster& master = MixMaster())
{
    CSound mix;
    RenderVoices(voices, mix, kMixChannels, kMixRate, kMixBits, nullptr, master);
    std::vector<double> samples;
    for (uint32_t i = 0; i + 1 < mix.GetDataSize(); i += 2) {
        const int16_t v = static_cast<int16_t>(mix.GetData()[i] | (mix.GetData()[i + 1] << 8));
        samples.push_back(v / 32767.0);
    }
    return samples;
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

// Pitch at t seconds: the median rate between successive upward zero crossings (interpolated)
// whose midpoints lie within 5 ms of t; 0 when none do.
double PitchAt(const std::vector<double>& x, double t)
{
    const auto cross = [&](size_t i) { return (static_cast<double>(i) - 1.0 + x[i - 1] / (x[i - 1] - x[i])) / kMixRate; };
    std::vector<double> rates;
    for (size_t i = 1, last = 0; i < x.size(); ++i)
        if (x[i - 1] < 0.0 && x[i] >= 0.0) {
            if (last && std::fabs((cross(i) + cross(last)) / 2.0 - t) <= 0.005)
                rates.push_back(1.0 / (cross(i) - cross(last)));
            last = i;
        }
    std::sort(rates.begin(), rates.end());
    return rates.empty() ? 0.0 : rates[rates.size() / 2];
}

// The largest change from one value to the next between from and to seconds.
double Steepest(const std::vector<double>& x, double from, double to)
{
    double steepest = 0.0;
    for (size_t i = std::max<size_t>(1, from * kMixRate); i < x.size() && i < to * kMixRate; ++i)
        steepest = std::max(steepest, std::fabs(x[i] - x[i - 1]));
    return steepest;
}

// How bright values [from, to) are: the energy of their changes over their energy, which
// weighs each frequency by 4 sin²(π f / rate): it grows as energy moves up the spectrum.
double Brightness(const std::vector<double>& x, size_t from, size_t to)
{
    double change = 0.0, all = 1e-30;
    for (size_t i = std::max<size_t>(from, 1); i < to; ++i)
        change += std::pow(x[i] - x[i - 1], 2.0), all += x[i] * x[i];
    return change / all;
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

// Each category as heard, over eight seeds: its pitch path, colour and length, and a level
// within 3 dB of kGeneratedLevel that starts and ends at silence.
TEST(Generate, EachCategorySoundsLikeItsName)
{
    using Sound = const std::vector<double>&;
    const std::pair<SoundCategory, std::function<void(const GeneratedVoices&, Sound, double)>> rows[] = {
        {SoundCategory::Laser, [](const GeneratedVoices&, Sound x, double end) {
             double start = PitchAt(x, 0.004), lowest = start; // 700-2500 Hz a few ms on
             for (double t = 0.01; t < std::min(0.4, end - 0.01); t += 0.005)
                 lowest = PitchAt(x, t) > 0.0 ? std::min(lowest, PitchAt(x, t)) : lowest;
             EXPECT_TRUE(start >= 600.0 && start <= 2700.0 && lowest <= start / 4.0) << start << " to " << lowest;
         }},
        {SoundCategory::Pickup, [](const GeneratedVoices&, Sound x, double end) {
             const double low = PitchAt(x, 0.015), high = PitchAt(x, end - 0.03), middle = std::sqrt(low * high);
             std::vector<double> steps; // where the pitch passes from one note to the other
             for (double t = 0.015; t < end - 0.03; t += 0.002)
                 if ((PitchAt(x, t) < middle) != (PitchAt(x, t + 0.002) < middle))
                     steps.push_back(t);
             ASSERT_TRUE(high > 1.2 * low && steps.size() == 1u) << low << " to " << high << " in " << steps.size();
             EXPECT_LE(Steepest(x, steps[0] - 0.004, steps[0] + 0.004), 1.2 * Steepest(x, steps[0] + 0.004, steps[0] + 0.03)) << "click";
         }},
        {SoundCategory::PowerUp, [](const GeneratedVoices&, Sound x, double end) {
             double bend = 0.0; // the vibrato: how far the pitch (in semitones) leaves a straight line
             for (double t = 0.035; t < end - 0.05; t += 0.02)
                 bend += std::fabs(12.0 * std::log2(PitchAt(x, t - 0.02) * PitchAt(x, t + 0.02) / std::pow(PitchAt(x, t), 2.0)));
             EXPECT_GT(PitchAt(x, end - 0.03), 1.5 * PitchAt(x, 0.015));
             EXPECT_GT(bend * 0.02 / (end - 0.085), 0.1);
         }},
        {SoundCategory::Jump, [](const GeneratedVoices&, Sound x, double end) {
             EXPECT_GT(PitchAt(x, end - 0.03), 1.4 * PitchAt(x, 0.015));
         }},
        {SoundCategory::Explosion, [](const GeneratedVoices&, Sound x, double) { // noise: AnExplosionIsBroadAndDecays
             EXPECT_LT(Brightness(x, x.size() * 3 / 4, x.size()), 0.25 * Brightness(x, 0, 2048)) << "the low-pass closes";
         }},
        {SoundCategory::Hit, [](const GeneratedVoices& voices, Sound, double end) {
             ASSERT_EQ(voices.size(), 2u);
             EXPECT_TRUE(end < 0.3 && voices[0]->GetWaveType() == Noise && voices[0]->GetLength() <= voices[1]->GetLength());
             const std::vector<double> tone = Listen(std::vector<const CVoice*>{voices[1].get()});
             EXPECT_LT(PitchAt(tone, end - 0.03), 0.7 * PitchAt(tone, 0.015)) << "a falling tone";
         }},
        {SoundCategory::Blip, [](const GeneratedVoices&, Sound, double end) { EXPECT_LT(end, 0.15); }},
        {SoundCategory::Random, [](const GeneratedVoices&, Sound, double) {}},
        {SoundCategory::Synth, [](const GeneratedVoices&, Sound x, double) {
             EXPECT_GT(Brightness(x, x.size() / 2, x.size() * 3 / 4), Brightness(x, 0, x.size() / 5)) << "the filter opens";
         }},
        {SoundCategory::Tone, [](const GeneratedVoices&, Sound x, double end) { EXPECT_NEAR(PitchAt(x, end / 2.0), PitchAt(x, 0.05), 1.0); }},
        {SoundCategory::Click, [](const GeneratedVoices&, Sound, double end) { EXPECT_LT(end, 0.08); }},
    };
    for (const auto& [category, check] : rows) {
        for (uint32_t seed = 1; seed <= 8; ++seed) {
            SCOPED_TRACE(GeneratedName(category, seed).CStr());
            const GeneratedVoices voices = GenerateVoices(category, seed);
            const std::vector<double> x = Listen(voices, GeneratedMaster(voices));
            ASSERT_FALSE(x.empty());
            EXPECT_NEAR(10.0 * std::log10(std::inner_product(x.begin(), x.end(), x.begin(), 0.0) / x.size()), kGeneratedLevel, 3.0);
            EXPECT_TRUE(x.front() == 0.0 && x.back() == 0.0) << "faded";
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
            const std::vector<double> x = Listen(voices, GeneratedMaster(voices)); // its level is the master's
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
        {"random", SoundCategory::Random},   {"SYNTH", SoundCategory::Synth},      {"tone", SoundCategory::Tone},      {"Click", SoundCategory::Click}};
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

    // A laser's stages in use move a little and stay on; those off stay off.
    GeneratedVoices laser = GenerateVoices(SoundCategory::Laser, 3);
    const VoiceStages stages = laser[0]->GetStages();
    ASSERT_GT(stages.frequencyEnd, 0.0f);
    MutateVoices(laser, 2);
    const VoiceStages nudged = laser[0]->GetStages();
    EXPECT_NE(nudged.frequencyEnd, stages.frequencyEnd);
    EXPECT_NEAR(nudged.frequencyEnd, stages.frequencyEnd, 0.06 * stages.frequencyEnd + 0.5);
    EXPECT_EQ(nudged.highpass == 0.0f, stages.highpass == 0.0f);
    EXPECT_EQ(nudged.arpeggio, stages.arpeggio);

    // Repeated mutation from one seed is repeatable.
    GeneratedVoices a = GenerateVoices(SoundCategory::Laser, 9), b = GenerateVoices(SoundCategory::Laser, 9);
    for (uint32_t round = 0; round < 5; ++round) {
        MutateVoices(a, round);
        MutateVoices(b, round);
    }
    EXPECT_EQ(Listen(a), Listen(b));
}

} // namespace
