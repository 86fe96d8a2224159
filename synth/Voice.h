// The voice model: oscillator and envelope records, the sample formulas and CVoice, the
// interface through which the renderer reads a voice. Everything here is pure computation on
// 32-bit float parameters, evaluated in double; no state, no device, no allocation. Noise is
// no exception: its values are a hash of a key and a step index, so any time can be evaluated
// alone, in any order, on any thread, with the same result. Times are seconds from the start
// of the voice. The optional stages (VoiceStages) are the one exception: their filters keep
// state, so a voice using any stage is rendered in sample order (VoiceStages.h).
#pragma once

#include <cmath>
#include <cstdint>

enum WaveType : int32_t {
    Sine = 0,
    Triangle = 1,
    Sawtooth = 2,
    Square = 3,
    Noise = 4, // sample and hold: a new uniform value in [-1, 1] at each whole cycle
};

enum ModulationMode : int32_t {
    AM = 0, // the carrier moves the amplitude
    FM = 1, // ... the frequency
    PM = 2, // ... the phase
};

// How far the carrier moves the modulated parameter per unit of its output.
constexpr double ModulationDepth = 100.0;

// One oscillator. Ranges as the panel's sliders set them: amplitude 0..4, offset -1..1,
// frequency 0..2000 Hz (typed values are used as typed), period 0..10 s, phase 0..1 s.
struct Waveform {
    int32_t type = Sine;          // a WaveType; any other value makes the oscillator silent
    float amplitude = 1.0f;       // peak deviation from the offset
    float amplitudeOffset = 0.0f; // constant added to the output
    float frequency = 4.0f;       // Hz
    float period = 1.0f;          // the voice's length in seconds while the envelope is off
    float phase = 0.0f;           // seconds added to the time, not an angle
    uint64_t noiseKey = 0;        // which sequence a Noise oscillator plays (see NoiseKey)
};

// The key of a voice's noise: the voice's seed and which of its two oscillators plays it, so
// that a voice's main oscillator and carrier never play the same sequence.
constexpr uint64_t NoiseKey(uint32_t seed, bool carrier)
{
    return (static_cast<uint64_t>(seed) << 1) | (carrier ? 1u : 0u);
}

// The noise value of step floor(cycles) of the sequence key: uniform in (-1, 1), symmetric
// about 0. A step beyond the 64-bit range takes the nearest end; NaN counts as step 0.
inline double NoiseValue(uint64_t key, double cycles)
{
    int64_t index = 0;
    const double whole = std::floor(cycles);
    if (whole >= 9223372036854775807.0)
        index = INT64_MAX;
    else if (whole < -9223372036854775807.0)
        index = INT64_MIN;
    else if (whole == whole)
        index = static_cast<int64_t>(whole);
    // A SplitMix64 finaliser of the key, then of the key's stream at the step: counter-based,
    // so no state is carried from one sample to the next.
    auto mix = [](uint64_t z) {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    };
    const uint64_t z = mix(mix(key + 0x9E3779B97F4A7C15ull) + static_cast<uint64_t>(index) * 0x9E3779B97F4A7C15ull);
    // The top 52 bits as an odd multiple of 2^-53 around 0: (2k + 1 - 2^52) / 2^52.
    return (static_cast<double>(z >> 12) * 2.0 + 1.0 - 4503599627370496.0) * (1.0 / 4503599627370496.0);
}

// Attack, decay, hold and release are seconds (0..1); sustain is a gain level (0..1).
struct Envelope {
    float attack = 0.0f;
    float decay = 0.5f;
    float sustain = 0.5f;
    float hold = 0.5f;
    float release = 0.1f;
};

enum GlideShape : int32_t {
    GlideExponential = 0, // equal musical steps in equal times
    GlideLinear = 1,      // equal hertz in equal times
};

// The optional stages of the main oscillator (docs/sound.md, "The stages"). Every one is off
// at its default, and a voice with all of them off sounds exactly as before they existed.
// Ranges as CVoiceModel::SetStage clamps them; frequencies in hertz, times in seconds.
struct VoiceStages {
    float frequencyEnd = 0.0f;     // glide target, 0..20000; 0: no glide
    int32_t glide = GlideExponential;
    float vibratoDepth = 0.0f;     // semitones, 0..12
    float vibratoRate = 0.0f;      // 0..50
    float arpeggio = 0.0f;         // semitones, -24..24; 0: no jump
    float arpeggioTime = 0.0f;     // 0..10
    float repeat = 0.0f;           // 0..10; 0: no repeat
    float duty = 0.5f;             // the square's high share, 0.01..0.99
    float dutyEnd = 0.5f;          // ... at the end of the voice's length
    bool bandLimited = false;      // sawtooth, square and triangle without aliasing
    float tremoloDepth = 0.0f;     // 0..1
    float tremoloRate = 0.0f;      // 0..50
    float lowpass = 0.0f;          // cutoff, 0..20000; 0: no low-pass
    float lowpassEnd = 0.0f;       // ... at the end of the length; 0: the same as lowpass
    float resonance = 0.0f;        // 0..1
    float highpass = 0.0f;         // cutoff, 0..20000; 0: no high-pass
    float highpassEnd = 0.0f;      // ... at the end of the length; 0: the same as highpass
    // L, the length the glide and the sweeps span: CVoice::GetLength. The voice model fills
    // it in GetParams; it is not a setting of its own.
    float span = 1.0f;
};

// Everything the formulas read of one voice, as it stands at one moment.
struct VoiceParams {
    Waveform wave;
    Waveform carrier = {Sine, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f};
    Envelope envelope;
    bool envelopeOn = false;
    bool carrierOn = false;
    // The three modulation boxes as checked; the first checked of AM, FM, PM selects the
    // mode, and none checked silences a carrier-modulated voice.
    bool am = false;
    bool fm = true;
    bool pm = false;
    VoiceStages stages;
};

// The oscillator's output at time t.
double SampleWave(const Waveform& wave, double t);
// The envelope's gain at time t; each boundary belongs to the earlier stage. An empty attack
// stage is skipped, so the gain at t = 0 with attack 0 is 1.
double EnvelopeGain(const Envelope& envelope, double t);
// decay + attack + hold + release, summed in that order in 32-bit float arithmetic.
float EnvelopeLength(const Envelope& envelope);
// Whether any of the voice's stages is on (VoiceStages). A voice without stages is a pure
// function of time; one with stages is rendered in sample order (VoiceStages.h).
bool UsesStages(const VoiceParams& voice);
// The voice's output at time t, carrier and envelope applied. For a voice with stages, the
// value before its filters, band-limited for a render of that time step (0: the naive shapes,
// as a trace of the voice on screen draws them).
double SampleVoice(const VoiceParams& voice, double t, double step = 0.0);

// A voice as the renderer sees it. The voice model (CVoiceModel) implements it; the
// renderer reads the parameters once per render through GetParams.
class CVoice {
public:
    virtual ~CVoice() = default;

    virtual bool IsMuted() const = 0;
    // The sound's length in seconds: the envelope's length while it is on, otherwise the
    // period as shown to the user.
    virtual float GetLength() const = 0;
    virtual VoiceParams GetParams() const = 0;

    double SampleVoice(double t) const { return ::SampleVoice(GetParams(), t); }
};
