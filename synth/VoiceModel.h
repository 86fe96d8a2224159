// CVoiceModel: one voice of a project as data with the rules of its editor. It owns the
// parameters the renderer reads, the four switches, the modulation choice, and for each of the
// fifteen slider-driven values its slider position and the number its value box shows, and
// the main oscillator's stages (clamped to their ranges; no panel shows them yet). Every
// setter applies the panel's rules (clamping to the slider's range; a slider shows two decimals
// or whole hertz, a typed number is used exactly as typed) and then emits changed. No widget, window, device or GL: the render tool and the project reader use it
// alone, and a panel (COscilloscope) only shows and edits it. Main thread only.
#pragma once

#include "events/Signal.h"
#include "synth/Voice.h"
#include "util/String.h"

#include <cstdint>

// The fifteen slider-driven values of a voice, in the order of the panel's value box and
// slider pairs.
enum VoiceValue : int32_t {
    ValueAmplitude = 0,
    ValueOffset,
    ValueFrequency,
    ValuePeriod,
    ValuePhase,
    ValueAttack,
    ValueDecay,
    ValueSustain,
    ValueHold,
    ValueRelease,
    ValueCarrierAmplitude,
    ValueCarrierOffset,
    ValueCarrierFrequency,
    ValueCarrierPeriod,
    ValueCarrierPhase,
    VoiceValueCount,
};

// The number-valued stages of the main oscillator (VoiceStages), in the project file's order.
enum StageValue : int32_t {
    StageFrequencyEnd = 0,
    StageVibratoDepth,
    StageVibratoRate,
    StageArpeggio,
    StageArpeggioTime,
    StageRepeat,
    StageDuty,
    StageDutyEnd,
    StageTremoloDepth,
    StageTremoloRate,
    StageLowpass,
    StageLowpassEnd,
    StageResonance,
    StageHighpass,
    StageHighpassEnd,
    StageValueCount,
};

// What a change reached, as carried by CVoiceModel::changed.
enum class VoiceChange : int32_t {
    Sound, // anything the renderer reads: a listener playing the mix renders again
    Shown, // only what is shown and saved: an envelope value while the envelope is off, loop
};

// A decimal number as a value box shows it: optional blanks and sign, digits with one point,
// an optional exponent; reading stops at the first other character; 0 when nothing reads.
// Never NaN or infinite (huge values saturate at the float range).
float ReadShownNumber(const String& text);

// Everything a voice model holds, as a plain value: what the undo history keeps of a voice
// (about 270 bytes). Two voices in equal states are saved as the same bytes and sound the same.
struct VoiceState {
    VoiceParams params;  // am/fm/pm follow modulation
    int32_t modulation = FM;
    bool loop = true;
    bool mute = false;
    uint32_t seed = 0; // the noise's seed
    float position[VoiceValueCount] = {};
    float shown[VoiceValueCount] = {};
};
// Field by field, floats bit for bit.
bool operator==(const VoiceState& a, const VoiceState& b);
inline bool operator!=(const VoiceState& a, const VoiceState& b) { return !(a == b); }

class CVoiceModel : public CVoice {
public:
    // The slider range of a value, in slider positions (the value × 100, frequencies in
    // hertz): amplitudes 0..400, offsets -100..100, frequencies 0..2000, periods 0..1000,
    // phases and envelope values 0..100. An index outside the fifteen gives 0..0.
    static void GetRange(int32_t value, float& min, float& max);
    static bool IsFrequency(int32_t value) { return value == ValueFrequency || value == ValueCarrierFrequency; }
    static bool IsEnvelopeValue(int32_t value) { return value >= ValueAttack && value <= ValueRelease; }

    // A new voice: main sine at 4 Hz, carrier sine at 1 Hz, both amplitude 1 and period 1,
    // envelope 0 / 0.5 / 0.5 / 0.5 / 0.1, loop on, envelope, carrier and mute off, FM.
    CVoiceModel();
    CVoiceModel(const CVoiceModel&) = delete;
    CVoiceModel& operator=(const CVoiceModel&) = delete;

    // --- CVoice
    bool IsMuted() const override { return m_mute; }
    // The envelope's length while it is on, otherwise the period as shown.
    float GetLength() const override;
    VoiceParams GetParams() const override;

    // --- the fifteen values (an index outside them reads 0 and sets nothing)
    // The number the value box shows (what is saved, and the period that fixes the length).
    float GetShown(int32_t value) const;
    // The parameter the value sets, as GetParams holds it. The sound depends on every one but
    // the two periods, which no formula reads: the length is GetLength.
    float GetParameter(int32_t value) const;
    // The slider's position (clamped to the range).
    float GetPosition(int32_t value) const;
    // Text that reads back as GetShown: the slider's own format ("%.2f" of the position / 100,
    // "%.0f" of a frequency's position) when it does, else the shown number in that format,
    // else its shortest exact decimal.
    String GetShownText(int32_t value) const;
    // As a drag of the slider to position: clamped to the range (NaN gives the minimum); the
    // box shows the slider's format and the parameter takes position / 100, or for a frequency
    // the number shown (whole hertz). An envelope value refits the period while the envelope
    // is on; while it is off the change is only Shown.
    void SetSlider(int32_t value, float position);
    // As typing a number into the value box (NaN reads as 0): the parameter becomes exactly
    // typed and the box shows it. A frequency is used as typed whatever its size, with the
    // slider stopped at its range's end. Any other value within the range / 100 moves the
    // slider to typed × 100; outside it, the value is clamped: the slider takes the limit and
    // the box its format, as SetSlider(limit) would. The exact project reader (Project.h)
    // sets every value this way.
    void SetTyped(int32_t value, float typed);

    // --- the stages (VoiceStages; all off for a new voice). An index outside StageValue reads
    // 0 and sets nothing.
    // The range a stage is clamped to: frequencies 0..20000 Hz, vibrato depth 0..12 and
    // arpeggio -24..24 semitones, rates 0..50 Hz, times 0..10 s, duties 0.01..0.99, depths and
    // resonance 0..1.
    static void GetStageRange(int32_t stage, float& min, float& max);
    // The value a stage has while off (duty 0.5, every other 0).
    static float GetStageDefault(int32_t stage);
    float GetStage(int32_t stage) const;
    // Clamped to the range; NaN sets the stage's default.
    void SetStage(int32_t stage, float value);
    // GlideExponential or GlideLinear; any other shape is exponential.
    int32_t GetGlide() const { return m_params.stages.glide; }
    void SetGlide(int32_t shape);
    bool IsBandLimited() const { return m_params.stages.bandLimited; }
    void SetBandLimited(bool on);
    const VoiceStages& GetStages() const { return m_params.stages; }

    // --- types, modulation and switches
    int32_t GetWaveType() const { return m_params.wave.type; }
    int32_t GetCarrierType() const { return m_params.carrier.type; }
    // Any number is stored; outside 0..4 the oscillator is silent and no shape is checked.
    void SetWaveType(int32_t type);
    void SetCarrierType(int32_t type);
    // AM, FM or PM as chosen; FM too when none is (a setting outside 0..2).
    ModulationMode GetModulation() const;
    // The choice as set: 0 AM, 1 FM, 2 PM, anything else none (a modulated voice is silent).
    int32_t GetModulationChoice() const { return m_modulation; }
    void SetModulation(int32_t mode);
    bool IsEnvelopeOn() const { return m_params.envelopeOn; }
    bool IsCarrierOn() const { return m_params.carrierOn; }
    bool IsLoopOn() const { return m_loop; }
    // Switching the envelope on sets the period to the envelope's length; off, back to the
    // period as shown.
    void SetEnvelopeOn(bool on);
    void SetCarrierOn(bool on);
    void SetMute(bool on);
    // Stored and saved only; it takes no part in the sound.
    void SetLoop(bool on);

    // The seed of the voice's noise (0 for a new voice): both oscillators play sequences of
    // it when their shape is Noise. Saved with the voice.
    uint32_t GetSeed() const { return m_seed; }
    void SetSeed(uint32_t seed);

    const Waveform& GetWave() const { return m_params.wave; }
    const Waveform& GetCarrier() const { return m_params.carrier; }
    const Envelope& GetEnvelope() const { return m_params.envelope; }

    // --- the whole voice at once
    VoiceState GetState() const;
    // Takes every field as it is, applying no rule (a state comes from GetState of some
    // voice), then emits changed once (Sound) when the voice was in another state.
    void SetState(const VoiceState& state);

    // After every setter that changed the voice (once); a setter that changes nothing
    // announces nothing. With what the change reached.
    CSignal<VoiceChange> changed;

private:
    // Sets a value's slider position, shown number and parameter (refitting the period for an
    // envelope value) and announces the change; nothing when all three are as they were.
    void Store(int32_t value, float position, float shown, float parameter);
    void Announce(VoiceChange change) { changed.Emit(change); }

    VoiceParams m_params;        // am/fm/pm follow m_modulation
    int32_t m_modulation = FM;
    uint32_t m_seed = 0;
    bool m_loop = true;
    bool m_mute = false;
    float m_position[VoiceValueCount] = {};
    float m_shown[VoiceValueCount] = {};
};
