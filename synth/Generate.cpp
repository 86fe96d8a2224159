// Index: [SECTION] Names and random numbers  [SECTION] Setting a voice  [SECTION] Categories
//        [SECTION] The level  [SECTION] Mutate
//
// The categories are built on the main oscillator's stages (VoiceStages.h): a glide makes a
// laser fall and a jump or a power-up rise, an arpeggio steps a coin up without a click, a
// vibrato wobbles a power-up, a closing low-pass darkens an explosion's noise. The pitch
// sweeps are integrated in closed form, so they never jump or drift; the square, sawtooth and
// triangle are band-limited, so a high laser does not alias. Noise meant as hiss is a Noise
// oscillator typed above the slider's range (a new value at nearly every sample).
#include "synth/Generate.h"

#include "synth/Master.h"
#include "synth/Project.h"

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
    {SoundCategory::Synth, "Synth", {nullptr, nullptr}},
    {SoundCategory::Tone, "Tone", {nullptr, nullptr}},
    {SoundCategory::Click, "Click", {nullptr, nullptr}},
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
    // Above the slider's range only a typed number holds a frequency (hiss, a high laser).
    float low, high;
    CVoiceModel::GetRange(base + 2, low, high);
    if (Hertz(o.frequency) > high)
        voice.SetTyped(base + 2, Hertz(o.frequency));
    else
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

// A stage as a saved project holds it tidily: frequencies in whole hertz, the rest in
// hundredths.
void SetStage(CVoiceModel& voice, int32_t stage, double value)
{
    const bool hertz = stage == StageFrequencyEnd || stage == StageLowpass || stage == StageLowpassEnd ||
                       stage == StageHighpass || stage == StageHighpassEnd;
    voice.SetStage(stage, hertz ? Hertz(value) : static_cast<float>(Quantised(value)));
}

// A frequency drawn evenly in musical steps between lo and hi hertz.
double Pitch(CSynthRandom& r, double lo, double hi) { return std::exp(r.Uniform(std::log(lo), std::log(hi))); }

// A band-limited voice of the shape: a square holds duty (until a caller sets a DutyEnd).
std::unique_ptr<CVoiceModel> ToneVoice(CSynthRandom& r, int32_t shape, double frequency, const Stages& e,
                                       double duty = 0.5)
{
    Oscillator main;
    main.type = shape;
    main.amplitude = r.Uniform(0.5, 0.8);
    main.frequency = frequency;
    auto voice = MakeVoice(r, main, e);
    voice->SetBandLimited(true);
    if (shape == Square) {
        SetStage(*voice, StageDuty, duty);
        SetStage(*voice, StageDutyEnd, duty);
    }
    return voice;
}

// Hiss: a Noise oscillator far above the slider's range, so that the held values change at
// nearly every sample and the low-pass alone shapes the colour.
std::unique_ptr<CVoiceModel> HissVoice(CSynthRandom& r, const Stages& e, double amplitude)
{
    Oscillator main;
    main.type = Noise;
    main.amplitude = amplitude;
    main.frequency = Hertz(r.Uniform(30000.0, 44000.0));
    return MakeVoice(r, main, e);
}

// A tone's envelope: no attack, a fall to a sustain level of 0.6 to 0.9, held, released;
// each time drawn from its [lo, hi) pair in that order. (One draw per statement: the order in
// which a call's arguments are evaluated is the compiler's, and the sound must not be.)
Stages Shaped(CSynthRandom& r, const double (&decay)[2], const double (&hold)[2], const double (&release)[2])
{
    Stages e;
    e.decay = Quantised(r.Uniform(decay[0], decay[1]));
    e.sustain = r.Uniform(0.6, 0.9);
    e.hold = Quantised(r.Uniform(hold[0], hold[1]));
    e.release = Quantised(r.Uniform(release[0], release[1]));
    return e;
}

// [SECTION] Categories

// A bright tone that steps up a musical interval once (an arpeggio at 0.05 to 0.1 s): the
// phase carries on through the step, so there is no click.
void Pickup(CSynthRandom& r, GeneratedVoices& voices)
{
    const double intervals[4] = {4.0, 5.0, 7.0, 12.0};
    const double low = Pitch(r, 600.0, 1200.0);
    const double interval = intervals[r.Below(4)];
    const double step = Quantised(r.Uniform(0.05, 0.1));
    Stages e = Shaped(r, {0.01, 0.03}, {0.03, 0.1}, {0.1, 0.3});
    e.hold = std::max(0.0, Quantised(e.hold + step - e.decay)); // the step falls inside the hold
    const int32_t shape = r.Chance(0.7) ? Square : Sine;
    const double duty = r.Chance(0.5) ? 0.5 : 0.25;
    auto voice = ToneVoice(r, shape, low, e, duty);
    SetStage(*voice, StageArpeggio, interval);
    SetStage(*voice, StageArpeggioTime, step);
    voices.push_back(std::move(voice));
}

// A falling buzz: from 700 to 2500 Hz down 2.5 to 3.5 octaves over its 0.15 to 0.38 s, a
// square's duty narrowing as it goes.
void Laser(CSynthRandom& r, GeneratedVoices& voices)
{
    const double start = Pitch(r, 700.0, 2500.0);
    const double octaves = r.Uniform(2.5, 3.5);
    const Stages e = Shaped(r, {0.02, 0.05}, {0.05, 0.15}, {0.08, 0.18});
    const bool square = r.Chance(0.5);
    auto voice = ToneVoice(r, square ? Square : Sawtooth, start, e);
    SetStage(*voice, StageFrequencyEnd, start / std::exp2(octaves));
    if (square)
        SetStage(*voice, StageDutyEnd, r.Uniform(0.1, 0.3));
    voices.push_back(std::move(voice));
}

// Noise whose low-pass closes from 8-14 kHz down to 150-400 Hz, sometimes crackling (a
// tremolo), over a deep rumble half the time.
void Explosion(CSynthRandom& r, GeneratedVoices& voices)
{
    Stages e;
    e.attack = Quantised(r.Uniform(0.0, 0.02));
    e.decay = Quantised(r.Uniform(0.1, 0.3));
    e.sustain = r.Uniform(0.5, 0.7);
    e.hold = Quantised(r.Uniform(0.2, 0.5));
    e.release = Quantised(r.Uniform(0.2, 0.5));
    auto blast = HissVoice(r, e, r.Uniform(0.8, 1.0));
    SetStage(*blast, StageLowpass, r.Uniform(8000.0, 14000.0));
    SetStage(*blast, StageLowpassEnd, r.Uniform(150.0, 400.0));
    SetStage(*blast, StageResonance, r.Uniform(0.0, 0.2));
    if (r.Chance(0.4)) {
        SetStage(*blast, StageTremoloDepth, r.Uniform(0.2, 0.5));
        SetStage(*blast, StageTremoloRate, r.Uniform(8.0, 25.0));
    }
    voices.push_back(std::move(blast));
    if (r.Chance(0.5)) {
        Oscillator rumble;
        rumble.type = Noise;
        rumble.amplitude = r.Uniform(0.3, 0.6);
        rumble.frequency = r.Uniform(150.0, 500.0);
        Stages longer = e;
        longer.hold = Quantised(e.hold + r.Uniform(0.0, 0.2));
        auto voice = MakeVoice(r, rumble, longer);
        SetStage(*voice, StageLowpass, r.Uniform(300.0, 600.0));
        voices.push_back(std::move(voice));
    }
}

// A rise of one to two octaves over 0.3 to 0.9 s with a vibrato of 0.5 to 1.5 semitones.
void PowerUp(CSynthRandom& r, GeneratedVoices& voices)
{
    const double start = Pitch(r, 200.0, 500.0);
    const Stages e = Shaped(r, {0.02, 0.06}, {0.2, 0.5}, {0.1, 0.3});
    const bool square = r.Chance(0.6);
    auto voice = ToneVoice(r, square ? Square : Triangle, start, e);
    SetStage(*voice, StageFrequencyEnd, start * std::exp2(r.Uniform(1.0, 2.0)));
    SetStage(*voice, StageVibratoDepth, r.Uniform(0.5, 1.5));
    SetStage(*voice, StageVibratoRate, r.Uniform(6.0, 14.0));
    if (square)
        SetStage(*voice, StageDutyEnd, r.Uniform(0.2, 0.5));
    voices.push_back(std::move(voice));
}

// A short burst of hiss, darkening, over a buzz that falls one to two octaves.
void Hit(CSynthRandom& r, GeneratedVoices& voices)
{
    const Stages burst = Shaped(r, {0.01, 0.02}, {0.0, 0.02}, {0.03, 0.06});
    auto hiss = HissVoice(r, burst, 0.8);
    SetStage(*hiss, StageLowpass, r.Uniform(4000.0, 9000.0));
    SetStage(*hiss, StageLowpassEnd, r.Uniform(500.0, 1500.0));
    voices.push_back(std::move(hiss));
    const double start = Pitch(r, 300.0, 900.0);
    const Stages e = Shaped(r, {0.02, 0.02}, {0.05, 0.1}, {0.06, 0.12});
    const int32_t shape = r.Chance(0.5) ? Square : Sawtooth;
    auto buzz = ToneVoice(r, shape, start, e);
    SetStage(*buzz, StageFrequencyEnd, start / std::exp2(r.Uniform(1.0, 2.0)));
    voices.push_back(std::move(buzz));
}

// A slide up from a low note by 1.6 to 2.6 times, in equal hertz or equal steps.
void Jump(CSynthRandom& r, GeneratedVoices& voices)
{
    const double start = Pitch(r, 150.0, 400.0);
    const Stages e = Shaped(r, {0.02, 0.05}, {0.08, 0.2}, {0.08, 0.18});
    const bool square = r.Chance(0.7);
    const double duty = r.Uniform(0.25, 0.5);
    auto voice = ToneVoice(r, square ? Square : Triangle, start, e, duty);
    SetStage(*voice, StageFrequencyEnd, start * r.Uniform(1.6, 2.6));
    voice->SetGlide(r.Chance(0.5) ? GlideLinear : GlideExponential);
    voices.push_back(std::move(voice));
}

// A tone of at most 0.12 s, sometimes an octave up half way through, sometimes thinned by a
// high-pass.
void Blip(CSynthRandom& r, GeneratedVoices& voices)
{
    const int32_t shapes[3] = {Square, Sine, Triangle};
    const double frequency = Pitch(r, 400.0, 1500.0);
    const Stages e = Shaped(r, {0.01, 0.02}, {0.02, 0.05}, {0.02, 0.05});
    const int32_t shape = shapes[r.Below(3)];
    const double duty = r.Chance(0.5) ? 0.5 : 0.25;
    auto voice = ToneVoice(r, shape, frequency, e, duty);
    if (r.Chance(0.3)) {
        SetStage(*voice, StageArpeggio, 12.0);
        SetStage(*voice, StageArpeggioTime, (e.decay + e.hold) / 2.0);
    }
    if (r.Chance(0.3))
        SetStage(*voice, StageHighpass, frequency / 2.0);
    voices.push_back(std::move(voice));
}

// A note of the tempered scale from A2 (110 Hz) up to octaves above it.
double Note(CSynthRandom& r, uint32_t octaves) { return 110.0 * std::exp2(r.Below(12 * octaves) / 12.0); }

// A held note, sawtooth or square, through a resonant low-pass that opens as it sounds, with
// a slow, slight vibrato; half the time doubled a few cents sharp.
void Synth(CSynthRandom& r, GeneratedVoices& voices)
{
    const double note = Note(r, 3);
    Stages e = Shaped(r, {0.05, 0.2}, {0.2, 0.6}, {0.2, 0.5});
    e.attack = Quantised(r.Uniform(0.01, 0.1));
    const int32_t shape = r.Chance(0.6) ? Sawtooth : Square;
    const double open[2] = {r.Uniform(400.0, 1200.0), r.Uniform(2500.0, 6000.0)};
    const double resonance = r.Uniform(0.3, 0.7), depth = r.Uniform(0.1, 0.3);
    const uint32_t count = r.Chance(0.5) ? 2 : 1;
    for (uint32_t i = 0; i < count; ++i) {
        auto voice = ToneVoice(r, shape, note * (i == 0 ? 1.0 : 1.004), e);
        SetStage(*voice, StageLowpass, open[0]);
        SetStage(*voice, StageLowpassEnd, open[1]);
        SetStage(*voice, StageResonance, resonance);
        SetStage(*voice, StageVibratoDepth, depth);
        SetStage(*voice, StageVibratoRate, 5.0);
        voices.push_back(std::move(voice));
    }
}

// A plain sine or triangle note of 0.3 to 1.3 s with soft edges.
void Tone(CSynthRandom& r, GeneratedVoices& voices)
{
    const double note = Note(r, 3) * 2.0; // 220 to 1661 Hz
    Stages e = Shaped(r, {0.05, 0.1}, {0.2, 0.8}, {0.05, 0.3});
    e.attack = Quantised(r.Uniform(0.01, 0.05));
    const int32_t shape = r.Chance(0.7) ? Sine : Triangle;
    voices.push_back(ToneVoice(r, shape, note, e));
}

// A tick of 0.055 to 0.075 s: hiss through a high-pass at 1.5 to 5 kHz, cut short.
void Click(CSynthRandom& r, GeneratedVoices& voices)
{
    Stages e = Shaped(r, {0.01, 0.01}, {0.01, 0.02}, {0.035, 0.045});
    e.sustain = 0.3;
    auto voice = HissVoice(r, e, 1.0);
    SetStage(*voice, StageHighpass, r.Uniform(1500.0, 5000.0));
    voices.push_back(std::move(voice));
}

// Each of the stages, on by chance, within bounds that keep the voice audible and tame
// (resonance at most 0.5).
void RandomStages(CSynthRandom& r, CVoiceModel& voice, double frequency, double length)
{
    if (r.Chance(0.3)) {
        SetStage(voice, StageFrequencyEnd, frequency * std::exp2(r.Uniform(-3.0, 2.0)));
        voice.SetGlide(static_cast<int32_t>(r.Below(2)));
    }
    if (r.Chance(0.25)) {
        SetStage(voice, StageVibratoDepth, r.Uniform(0.2, 2.0));
        SetStage(voice, StageVibratoRate, r.Uniform(3.0, 12.0));
    }
    if (r.Chance(0.25)) {
        SetStage(voice, StageArpeggio, static_cast<double>(r.Below(24)) - 12.0);
        SetStage(voice, StageArpeggioTime, length * r.Uniform(0.1, 0.6));
    }
    if (r.Chance(0.15))
        SetStage(voice, StageRepeat, std::max(0.05, length * r.Uniform(0.2, 0.5)));
    if (r.Chance(0.5)) {
        SetStage(voice, StageDuty, r.Uniform(0.1, 0.9));
        SetStage(voice, StageDutyEnd, r.Uniform(0.1, 0.9));
    }
    voice.SetBandLimited(r.Chance(0.6));
    if (r.Chance(0.2)) {
        SetStage(voice, StageTremoloDepth, r.Uniform(0.2, 0.8));
        SetStage(voice, StageTremoloRate, r.Uniform(2.0, 20.0));
    }
    if (r.Chance(0.3)) {
        SetStage(voice, StageLowpass, r.Uniform(500.0, 8000.0));
        SetStage(voice, StageLowpassEnd, r.Uniform(200.0, 8000.0));
        SetStage(voice, StageResonance, r.Uniform(0.0, 0.5));
    }
    if (r.Chance(0.15)) {
        SetStage(voice, StageHighpass, r.Uniform(50.0, 400.0));
        SetStage(voice, StageHighpassEnd, r.Uniform(50.0, 1000.0));
    }
}

// Anything the voice can do, within bounds that keep it audible: every shape, any stage, any
// modulation (AM only as a ring modulator, whose gain stays within 1).
void RandomSound(CSynthRandom& r, GeneratedVoices& voices)
{
    const uint32_t count = 1 + r.Below(3);
    for (uint32_t i = 0; i < count; ++i) {
        Oscillator main;
        main.type = static_cast<int32_t>(r.Below(5));
        main.amplitude = r.Uniform(0.3, 1.0);
        main.frequency = Pitch(r, 60.0, 1500.0);
        Stages e;
        e.attack = Quantised(r.Uniform(0.0, 0.1));
        e.decay = Quantised(r.Uniform(0.02, 0.3));
        e.sustain = r.Uniform(0.3, 0.9);
        e.hold = Quantised(r.Uniform(0.0, 0.4));
        e.release = Quantised(r.Uniform(0.03, 0.6));
        const double length = e.attack + e.decay + e.hold + e.release;
        if (!r.Chance(0.3)) {
            voices.push_back(MakeVoice(r, main, e));
            RandomStages(r, *voices.back(), main.frequency, length);
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
    case SoundCategory::Synth: Synth(random, voices); break;
    case SoundCategory::Tone: Tone(random, voices); break;
    case SoundCategory::Click: Click(random, voices); break;
    }
    return voices;
}

// [SECTION] The level

MixMaster GeneratedMaster(const GeneratedVoices& voices)
{
    MixMaster master = NewProjectMaster();
    CSound mix;
    RenderVoices(voices, mix, kMixChannels, kMixRate, kMixBits, nullptr, master);
    const uint32_t count = mix.GetDataSize() / 2;
    double sum = 0.0, peak = 0.0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* bytes = mix.GetData() + 2 * i;
        const double v = static_cast<int16_t>(bytes[0] | (bytes[1] << 8)) / 32767.0;
        sum += v * v;
        peak = std::max(peak, std::fabs(v));
    }
    if (count == 0 || sum <= 0.0)
        return master;
    const double rms = 10.0 * std::log10(sum / count);
    const double ceiling = kGeneratedPeak - 20.0 * std::log10(peak);
    const double gain = std::min(kGeneratedLevel - rms, ceiling);
    // Hundredths of a decibel, rounded down so that the peak stays under its ceiling.
    master.gain = static_cast<float>(std::floor(gain * 100.0) / 100.0);
    return ClampMaster(master);
}

// [SECTION] Mutate

void MutateVoice(CVoiceModel& voice, CSynthRandom& random)
{
    for (int32_t value = 0; value < VoiceValueCount; ++value) {
        float min, max;
        CVoiceModel::GetRange(value, min, max);
        const float position = voice.GetPosition(value);
        // A frequency typed above the slider's range (hiss) is nudged as typed: the slider
        // would pull it back into the range.
        const double shown = voice.GetShown(value);
        if (CVoiceModel::IsFrequency(value) && shown > max) {
            voice.SetTyped(value, static_cast<float>(std::round(shown * (1.0 + random.Uniform(-0.06, 0.06)))));
            continue;
        }
        const bool relative = CVoiceModel::IsFrequency(value) || value == ValuePeriod || value == ValueCarrierPeriod;
        const double reach = relative ? std::max(1.0, 0.06 * std::fabs(position)) : 0.04 * (max - min);
        const double moved = std::round(position + random.Uniform(-reach, reach));
        voice.SetSlider(value, static_cast<float>(std::clamp(moved, static_cast<double>(min), static_cast<double>(max))));
    }
    // The stages in use move with the sound; one that is off stays off, and an arpeggio keeps
    // its interval (the jump is a musical choice, its time is not).
    for (int32_t stage = 0; stage < StageValueCount; ++stage) {
        const double now = voice.GetStage(stage);
        if (stage == StageArpeggio || now == CVoiceModel::GetStageDefault(stage))
            continue;
        const bool hertz = stage == StageFrequencyEnd || stage == StageLowpass || stage == StageLowpassEnd ||
                           stage == StageHighpass || stage == StageHighpassEnd;
        const double step = hertz ? 1.0 : 0.01;
        const double reach = std::max(step, 0.06 * std::fabs(now));
        double moved = now + random.Uniform(-reach, reach);
        moved = hertz ? std::round(moved) : Quantised(moved);
        if (moved <= 0.0) // nudged, not switched off
            moved = step;
        voice.SetStage(stage, static_cast<float>(moved));
    }
}
