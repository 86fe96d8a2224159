// The voice model: oscillator and envelope records, the sample formulas and CVoice, the
// interface through which the renderer reads a voice. Everything here is pure computation on
// 32-bit float parameters, evaluated in double; no state, no device, no allocation.
// Times are seconds from the start of the voice.
#pragma once

#include <cstdint>

enum WaveType : int32_t {
    Sine = 0,
    Triangle = 1,
    Sawtooth = 2,
    Square = 3,
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
};

// Attack, decay, hold and release are seconds (0..1); sustain is a gain level (0..1).
struct Envelope {
    float attack = 0.0f;
    float decay = 0.5f;
    float sustain = 0.5f;
    float hold = 0.5f;
    float release = 0.1f;
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
};

// The oscillator's output at time t.
double SampleWave(const Waveform& wave, double t);
// The envelope's gain at time t; each boundary belongs to the earlier stage. An empty attack
// stage is skipped, so the gain at t = 0 with attack 0 is 1.
double EnvelopeGain(const Envelope& envelope, double t);
// decay + attack + hold + release, summed in that order in 32-bit float arithmetic.
float EnvelopeLength(const Envelope& envelope);
// The voice's output at time t, carrier and envelope applied.
double SampleVoice(const VoiceParams& voice, double t);

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
