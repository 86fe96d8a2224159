// Sound generators and Mutate. A generator turns a category and a seed into one to three
// voices whose values are drawn from ranges that make the category's character (a coin's
// rising two-note chirp, a laser's falling buzz, an explosion's decaying noise); the same
// category and seed always give the same voices, on any machine. Mutate nudges every value of
// a voice a little, through the voice's own setters, so the editor's rules (ranges, rounding)
// hold. Pure model code: no widget, no device; the scene and the render tool both use it.
// Random numbers come from CSynthRandom, a small counter-based generator owned by the caller,
// never from process-wide state.
#pragma once

#include "synth/Render.h"
#include "synth/VoiceModel.h"
#include "util/String.h"

#include <cstdint>
#include <memory>
#include <vector>

enum class SoundCategory : int32_t {
    Pickup = 0, // pickup, coin
    Laser,      // laser, shoot
    Explosion,
    PowerUp,
    Hit,        // hit, hurt
    Jump,
    Blip,       // blip, select
    Random,
    Synth,      // a held note through an opening filter
    Tone,       // a plain note
    Click,      // a tick of high-passed noise
};
constexpr int32_t kSoundCategoryCount = 11;

// The category's name as the menu and the project name show it ("Coin", "Laser", "Power-up").
const char* CategoryName(SoundCategory category);
// The category a word names: each shown name and the aliases pickup, coin, shoot, powerup,
// power-up, hurt, select, in any letter case. False (category unchanged) for anything else.
bool ParseCategory(const char* word, SoundCategory& category);
// "Laser 1234": the project name of a generated sound.
String GeneratedName(SoundCategory category, uint32_t seed);

// SplitMix64: tiny, fast, and the same sequence everywhere for a seed.
class CSynthRandom {
public:
    explicit CSynthRandom(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    uint32_t Next32() { return static_cast<uint32_t>(Next() >> 32); }
    // Uniform in [lo, hi).
    double Uniform(double lo, double hi);
    // Uniform in 0 .. n - 1 (0 when n is 0).
    uint32_t Below(uint32_t n);
    bool Chance(double probability) { return Uniform(0.0, 1.0) < probability; }

private:
    uint64_t m_state;
};

using GeneratedVoices = std::vector<std::unique_ptr<CVoiceModel>>;

// One to three voices of the category, all enveloped, none muted, each with a seed of its own.
// Every value sits at a whole slider position (a frequency above the slider's range is a
// whole number typed) and every stage at whole hertz or hundredths, so a saved project loads
// back to the same sound. The sound lasts between 0.05 and 2 s; its level is the master's
// business (GeneratedMaster).
GeneratedVoices GenerateVoices(SoundCategory category, uint32_t seed);

// The level a generated sound is mixed at: its RMS in dBFS (the whole sound, fades included),
// unless its peak would then pass kGeneratedPeak dBFS, which caps it.
constexpr double kGeneratedLevel = -18.0;
constexpr double kGeneratedPeak = -1.0;

// The master a generated sound's project gets: the new project's 2 ms fade, the voices
// averaged, no normalisation (it would undo the gain), and the gain, in whole hundredths of a
// decibel rounded down, that puts the mix rendered at kMixRate at kGeneratedLevel (or its peak
// at kGeneratedPeak, whichever is quieter). Renders the voices once; a silent mix keeps 0 dB.
MixMaster GeneratedMaster(const GeneratedVoices& voices);

// Nudges each of the voice's fifteen values by a random amount: a frequency or a period by up
// to 6 % of itself (at least one step), any other value by up to 4 % of its slider's range,
// always to a whole slider position inside the range; a frequency typed above the range is
// nudged as typed, by up to 6 %. Each stage in use (away from its default) but the arpeggio's
// interval moves by up to 6 % of itself, to whole hertz or hundredths, never to 0 (off) nor
// out of its range. Types, switches, stages that are off and the seed stay.
void MutateVoice(CVoiceModel& voice, CSynthRandom& random);

// Every voice of a list (any container of pointers to CVoiceModel), one generator for all.
template <class VoiceList>
void MutateVoices(const VoiceList& voices, uint32_t seed)
{
    CSynthRandom random(seed);
    for (const auto& voice : voices)
        MutateVoice(*voice, random);
}
