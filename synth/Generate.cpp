// Index: [SECTION] Names and random numbers  [SECTION] Setting a voice  [SECTION] Categories
//        [SECTION] Mutate
//
// How the pitch sweeps work. With frequency modulation the voice evaluates its main
// oscillator with the frequency f(t) = f0 + 100·c(t) in sin(2π·(t + phase)·f(t)), so the pitch
// heard is the rate of (t + phase)·f(t): f(t) + (t + phase)·f'(t). A sawtooth carrier of
// amplitude A and frequency fc rises linearly (f' = 200·A·fc) through one ramp of 1 / fc
// seconds; started near the bottom of a ramp (s0 = -0.96) with the main phase at 0, the heard
// pitch is P(t) = f0 + 100·(O + A·s0) + 400·A·fc·t, a straight line that rises at 400·A·fc Hz
// per second. A positive start rises (a jump). A negative start is heard as its size, which
// then falls toward 0 (a laser): P0 = -100·(O + A·s0), at most 100 + 96·A Hz with f0 = 0 and
// O = -1. A square carrier instead holds f(t) at f0 + 100·(O ± A), two notes (a coin).
#include "synth/Generate.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

// [SECTION] Names and random numbers

namespace {

struct CategoryWords {
    SoundCategory category;
    const char* name;     // shown
    const char* aliases[2];
};

const CategoryWords kCategories[kSoundCategoryCount] = {
    {SoundCategory::Pickup, "Coin", {"pickup", nullptr}},
    {SoundCategory::Laser, "Laser", {"shoot", nullptr}},
    {SoundCategory::Explosion, "Explosion", {nullptr, nullptr}},
    {SoundCategory::PowerUp, "Power-up", {"powerup", nullptr}},
    {SoundCategory::Hit, "Hit", {"hurt", nullptr}},
    {SoundCategory::Jump, "Jump", {nullptr, nullptr}},
    {SoundCategory::Blip, "Blip", {"select", nullptr}},
    {SoundCategory::Random, "Random", {nullptr, nullptr}},
};

bool SameWord(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

} // namespace

const char* CategoryName(SoundCategory category)
{
    const int32_t index = static_cast<int32_t>(category);
    return index >= 0 && index < kSoundCategoryCount ? kCategories[index].name : "";
}

bool ParseCategory(const char* word, SoundCategory& category)
{
    if (!word)
        return false;
    for (const CategoryWords& entry : kCategories) {
        bool match = SameWord(word, entry.name);
        for (const char* alias : entry.aliases)
            match = match || (alias && SameWord(word, alias));
        if (match) {
            category = entry.category;
            return true;
        }
    }
    return false;
}

String GeneratedName(SoundCategory category, uint32_t seed)
{
    return String::Format("%s %u", CategoryName(category), seed);
}

uint64_t CSynthRandom::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double CSynthRandom::Uniform(double lo, double hi)
{
    const double unit = static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
    return lo + (hi - lo) * unit;
}

uint32_t CSynthRandom::Below(uint32_t n)
{
    return n == 0 ? 0 : static_cast<uint32_t>((Next() >> 32) % n);
}

// [SECTION] Setting a voice

namespace {

// A value as a whole slider position: hundredths, or hertz for a frequency.
float Hundredths(double value) { return static_cast<float>(std::lround(value * 100.0)); }
float Hertz(double value) { return static_cast<float>(std::lround(value)); }
// A value as the slider will hold it.
double Quantised(double value) { return std::lround(value * 100.0) / 100.0; }

struct Oscillator {
    int32_t type = Sine;
    double amplitude = 1.0, offset = 0.0, frequency = 0.0, phase = 0.0;
};

struct Stages {
    double attack = 0.0, decay = 0.0, sustain = 1.0, hold = 0.0, release = 0.0;
};

void SetOscillator(CVoiceModel& voice, bool carrier, const Oscillator& o, double period)
{
    const int32_t base = carrier ? ValueCarrierAmplitude : ValueAmplitude;
    if (carrier)
        voice.SetCarrierType(o.type);
    else
        voice.SetWaveType(o.type);
    voice.SetSlider(base + 0, Hundredths(o.amplitude));
    voice.SetSlider(base + 1, Hundredths(o.offset));
    voice.SetSlider(base + 2, Hertz(o.frequency));
    voice.SetSlider(base + 3, Hundredths(period));
    voice.SetSlider(base + 4, Hundredths(o.phase));
}

// A voice of the oscillator, enveloped; with a carrier when mode is AM, FM or PM.
std::unique_ptr<CVoiceModel> MakeVoice(CSynthRandom& random, const Oscillator& main, const Stages& e,
                                       const Oscillator* carrier = nullptr, int32_t mode = FM)
{
    auto voice = std::make_unique<CVoiceModel>();
    voice->SetSeed(random.Next32());
    const double stages[5] = {e.attack, e.decay, e.sustain, e.hold, e.release};
    double length = 0.0;
    for (int32_t i = 0; i < 5; ++i) {
        voice->SetSlider(ValueAttack + i, Hundredths(stages[i]));
        if (i != 2)
            length += Quantised(stages[i]);
    }
    SetOscillator(*voice, false, main, length);
    if (carrier) {
        SetOscillator(*voice, true, *carrier, length);
        voice->SetModulation(mode);
        voice->SetCarrierOn(true);
    }
    voice->SetEnvelopeOn(true);
    return voice;
}

// A percussive envelope of about length seconds: no attack, a short fall to the sustain level,
// a hold, then the release takes the rest (at least 0.02 s).
Stages Percussive(CSynthRandom& r, double length, double holdShare)
{
    Stages e;
    e.decay = Quantised(r.Uniform(0.01, 0.05));
    e.sustain = r.Uniform(0.5, 0.85);
    e.hold = Quantised(length * holdShare);
    e.release = std::max(0.02, Quantised(length - e.decay - e.hold));
    return e;
}

// The sawtooth carrier that sweeps a main oscillator as described at the top: one ramp,
// started at s0 = -0.96 (phase 0.52 s at 1 Hz).
constexpr double kRampStart = -0.96;

Oscillator SweepCarrier(double amplitude, double offset)
{
    Oscillator c;
    c.type = Sawtooth;
    c.amplitude = Quantised(amplitude);
    c.offset = Quantised(offset);
    c.frequency = 1.0;
    c.phase = 0.52;
    return c;
}

// [SECTION] Categories

// A short bright tone that steps up a musical interval: a square carrier holds the first,
// lower note for first seconds and the second for the rest of the sound.
void Pickup(CSynthRandom& r, GeneratedVoices& voices)
{
    const double ratios[4] = {1.25, 4.0 / 3.0, 1.5, 2.0};
    const double low = r.Uniform(600.0, 1100.0);
    const double step = std::min(800.0, low * (ratios[r.Below(4)] - 1.0));
    Oscillator carrier;
    carrier.type = Square;
    carrier.amplitude = Quantised(step / 200.0);
    carrier.frequency = 1.0;
    const double first = Quantised(r.Uniform(0.04, 0.09));
    carrier.phase = 1.0 - first;
    Oscillator main;
    main.type = r.Chance(0.75) ? Square : Sine;
    main.amplitude = r.Uniform(0.5, 0.8);
    main.frequency = low + 100.0 * carrier.amplitude;
    Stages e;
    e.decay = Quantised(r.Uniform(0.01, 0.04));
    e.sustain = r.Uniform(0.55, 0.85);
    e.hold = std::max(0.0, Quantised(first + r.Uniform(0.02, 0.1) - e.decay));
    e.release = r.Uniform(0.08, 0.3);
    voices.push_back(MakeVoice(r, main, e, &carrier));
}

// A falling buzz: a sawtooth carrier sweeps the main oscillator's pitch down from a few
// hundred hertz; the second voice, when there is one, plays the same sweep in another shape.
void Laser(CSynthRandom& r, GeneratedVoices& voices)
{
    const double a = Quantised(r.Uniform(2.5, 4.0));
    const double o = Quantised(r.Uniform(-1.0, -0.6));
    const double start = -100.0 * (o + a * kRampStart); // Hz, heard at t = 0
    const double fall = 400.0 * a;                        // Hz per second
    const double length = std::clamp(r.Uniform(0.5, 0.9) * 0.8 * start / fall, 0.1, 0.35);
    const Oscillator carrier = SweepCarrier(a, o);
    const Stages e = Percussive(r, length, r.Uniform(0.2, 0.5));
    const int32_t shapes[2] = {Sawtooth, Square};
    const uint32_t first = r.Below(2);
    const uint32_t count = r.Chance(0.5) ? 2 : 1;
    for (uint32_t i = 0; i < count; ++i) {
        Oscillator main;
        main.type = shapes[(first + i) % 2];
        main.amplitude = r.Uniform(0.5, 0.85);
        main.frequency = 0.0;
        voices.push_back(MakeVoice(r, main, e, &carrier));
    }
}

// A carrier for phase modulation that turns held noise into hiss: its swing moves the noise's
// step index by dozens of steps per sample, so nearly every sample is a new value.
Oscillator Scatter(CSynthRandom& r)
{
    Oscillator c;
    c.type = Sine;
    c.amplitude = Quantised(r.Uniform(0.01, 0.03));
    c.frequency = Hertz(r.Uniform(300.0, 1200.0));
    return c;
}

// Decaying noise: a short blast of hiss over a longer rumble held at 80 to 300 Hz; sometimes a
// crackle between them, made uneven by a slow carrier.
void Explosion(CSynthRandom& r, GeneratedVoices& voices)
{
    Oscillator blast;
    blast.type = Noise;
    blast.amplitude = r.Uniform(0.8, 1.0);
    blast.frequency = r.Uniform(1200.0, 2000.0);
    Stages e;
    e.attack = Quantised(r.Uniform(0.0, 0.02));
    e.decay = Quantised(r.Uniform(0.05, 0.15));
    e.sustain = r.Uniform(0.3, 0.5);
    e.hold = Quantised(r.Uniform(0.05, 0.15));
    e.release = Quantised(r.Uniform(0.3, 0.6));
    const Oscillator scatter = Scatter(r);
    voices.push_back(MakeVoice(r, blast, e, &scatter, PM));

    Oscillator rumble;
    rumble.type = Noise;
    rumble.amplitude = r.Uniform(0.4, 0.7);
    rumble.frequency = r.Uniform(80.0, 300.0);
    Stages longer;
    longer.attack = e.attack;
    longer.decay = Quantised(r.Uniform(0.1, 0.3));
    longer.sustain = r.Uniform(0.4, 0.7);
    longer.hold = Quantised(r.Uniform(0.1, 0.3));
    longer.release = Quantised(r.Uniform(0.4, 0.9));
    voices.push_back(MakeVoice(r, rumble, longer));

    if (r.Chance(0.4)) {
        Oscillator crackle = blast;
        crackle.frequency = r.Uniform(500.0, 1200.0);
        Oscillator slow;
        slow.type = Sine;
        slow.amplitude = Quantised(r.Uniform(0.5, 2.0));
        slow.frequency = Hertz(r.Uniform(2.0, 8.0));
        Stages middle = longer;
        middle.release = Quantised(r.Uniform(0.2, 0.5));
        voices.push_back(MakeVoice(r, crackle, middle, &slow));
    }
}

// A rising arpeggio-sweep: a fast sawtooth carrier restarts the rise several times, each ramp
// starting higher than the one before (the pitch grows with t·f'); sometimes doubled by a
// slightly detuned sine.
void PowerUp(CSynthRandom& r, GeneratedVoices& voices)
{
    const double length = r.Uniform(0.3, 0.8);
    const double fc = Hertz(r.Uniform(4.0, 10.0));
    const double a = Quantised(std::min(r.Uniform(0.4, 1.2), 1500.0 / (400.0 * fc * length)));
    Oscillator carrier;
    carrier.type = Sawtooth;
    carrier.amplitude = std::max(0.01, a);
    carrier.frequency = fc;
    Oscillator main;
    main.type = r.Chance(0.6) ? Square : Triangle;
    main.amplitude = r.Uniform(0.5, 0.8);
    main.frequency = r.Uniform(250.0, 700.0);
    const Stages e = Percussive(r, length, r.Uniform(0.4, 0.7));
    voices.push_back(MakeVoice(r, main, e, &carrier));
    if (r.Chance(0.5)) {
        Oscillator doubled = main;
        doubled.type = Sine;
        doubled.frequency += r.Uniform(2.0, 6.0);
        voices.push_back(MakeVoice(r, doubled, e, &carrier));
    }
}

// A short burst of hiss over a quick falling buzz.
void Hit(CSynthRandom& r, GeneratedVoices& voices)
{
    const double length = r.Uniform(0.08, 0.22);
    Oscillator hiss;
    hiss.type = Noise;
    hiss.amplitude = r.Uniform(0.6, 0.9);
    hiss.frequency = r.Uniform(1000.0, 2000.0);
    const Oscillator scatter = Scatter(r);
    voices.push_back(MakeVoice(r, hiss, Percussive(r, length, r.Uniform(0.1, 0.3)), &scatter, PM));

    Oscillator buzz;
    buzz.type = r.Chance(0.5) ? Square : Sawtooth;
    buzz.amplitude = r.Uniform(0.5, 0.8);
    const Oscillator carrier = SweepCarrier(r.Uniform(2.5, 4.0), r.Uniform(-1.0, -0.7));
    voices.push_back(MakeVoice(r, buzz, Percussive(r, length, r.Uniform(0.2, 0.4)), &carrier));
}

// A rising sweep from a low note: a slow sawtooth carrier lifts the pitch by 40 % or more.
void Jump(CSynthRandom& r, GeneratedVoices& voices)
{
    const double start = r.Uniform(140.0, 350.0);
    const double length = r.Uniform(0.18, 0.4);
    const double a = Quantised(std::clamp(std::max(r.Uniform(0.6, 2.0), 0.5 * start / (400.0 * length)), 0.01, 4.0));
    const Oscillator carrier = SweepCarrier(a, 0.0);
    Oscillator main;
    main.type = r.Chance(0.7) ? Square : Triangle;
    main.amplitude = r.Uniform(0.5, 0.8);
    main.frequency = start - 100.0 * a * kRampStart;
    voices.push_back(MakeVoice(r, main, Percussive(r, length, r.Uniform(0.3, 0.6)), &carrier));
}

// A very short tone, sometimes stepping up half way through.
void Blip(CSynthRandom& r, GeneratedVoices& voices)
{
    Oscillator main;
    main.type = r.Chance(0.7) ? Square : Sine;
    main.amplitude = r.Uniform(0.5, 0.8);
    main.frequency = r.Uniform(300.0, 1400.0);
    Stages e;
    e.decay = Quantised(r.Uniform(0.01, 0.03));
    e.sustain = r.Uniform(0.5, 0.9);
    e.hold = Quantised(r.Uniform(0.02, 0.06));
    e.release = Quantised(r.Uniform(0.02, 0.05));
    if (r.Chance(0.35)) {
        Oscillator carrier;
        carrier.type = Square;
        carrier.amplitude = Quantised(std::min(4.0, main.frequency * 0.25 / 200.0));
        carrier.frequency = 1.0;
        carrier.phase = 1.0 - Quantised(e.decay + e.hold / 2.0);
        main.frequency += 100.0 * carrier.amplitude;
        voices.push_back(MakeVoice(r, main, e, &carrier));
    } else {
        voices.push_back(MakeVoice(r, main, e));
    }
}

// Anything the voice can do, within bounds that keep it audible and unclipped: every shape,
// any modulation (AM only as a ring modulator, whose gain stays within 1).
void RandomSound(CSynthRandom& r, GeneratedVoices& voices)
{
    const uint32_t count = 1 + r.Below(3);
    for (uint32_t i = 0; i < count; ++i) {
        Oscillator main;
        main.type = static_cast<int32_t>(r.Below(5));
        main.amplitude = r.Uniform(0.3, 1.0);
        main.frequency = std::exp(r.Uniform(std::log(60.0), std::log(1500.0)));
        Stages e;
        e.attack = Quantised(r.Uniform(0.0, 0.1));
        e.decay = Quantised(r.Uniform(0.02, 0.3));
        e.sustain = r.Uniform(0.3, 0.9);
        e.hold = Quantised(r.Uniform(0.0, 0.4));
        e.release = Quantised(r.Uniform(0.03, 0.6));
        if (!r.Chance(0.5)) {
            voices.push_back(MakeVoice(r, main, e));
            continue;
        }
        Oscillator carrier;
        carrier.type = static_cast<int32_t>(r.Below(5));
        carrier.frequency = Hertz(r.Uniform(1.0, 30.0));
        carrier.phase = Quantised(r.Uniform(0.0, 1.0));
        const double pick = r.Uniform(0.0, 1.0);
        int32_t mode = FM;
        if (pick < 0.6) {
            carrier.amplitude = Quantised(r.Uniform(0.01, 2.0));
            carrier.offset = Quantised(r.Uniform(-0.5, 0.5));
        } else if (pick < 0.85) {
            mode = PM;
            carrier.amplitude = 0.01;
        } else {
            mode = AM; // the gain is 100 × the carrier: ±1
            main.amplitude = 0.0;
            carrier.amplitude = 0.01;
        }
        voices.push_back(MakeVoice(r, main, e, &carrier, mode));
    }
}

} // namespace

GeneratedVoices GenerateVoices(SoundCategory category, uint32_t seed)
{
    // The category is mixed into the generator's seed: Laser 7 and Jump 7 are unrelated.
    CSynthRandom random((static_cast<uint64_t>(static_cast<uint32_t>(category)) << 32) | seed);
    GeneratedVoices voices;
    switch (category) {
    case SoundCategory::Pickup: Pickup(random, voices); break;
    case SoundCategory::Laser: Laser(random, voices); break;
    case SoundCategory::Explosion: Explosion(random, voices); break;
    case SoundCategory::PowerUp: PowerUp(random, voices); break;
    case SoundCategory::Hit: Hit(random, voices); break;
    case SoundCategory::Jump: Jump(random, voices); break;
    case SoundCategory::Blip: Blip(random, voices); break;
    case SoundCategory::Random: RandomSound(random, voices); break;
    }
    return voices;
}

// [SECTION] Mutate

void MutateVoice(CVoiceModel& voice, CSynthRandom& random)
{
    for (int32_t value = 0; value < VoiceValueCount; ++value) {
        float min, max;
        CVoiceModel::GetRange(value, min, max);
        const float position = voice.GetPosition(value);
        const bool relative = CVoiceModel::IsFrequency(value) || value == ValuePeriod || value == ValueCarrierPeriod;
        const double reach = relative ? std::max(1.0, 0.06 * std::fabs(position)) : 0.04 * (max - min);
        const double moved = std::round(position + random.Uniform(-reach, reach));
        voice.SetSlider(value, static_cast<float>(std::clamp(moved, static_cast<double>(min), static_cast<double>(max))));
    }
}
