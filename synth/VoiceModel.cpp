#include "synth/VoiceModel.h"

#include "util/Number.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

float ReadShownNumber(const String& text)
{
    const char* s = text.CStr();
    while (*s == ' ' || *s == '\t')
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    // Only digits or a point may start the number: no "inf", "nan" or second sign.
    if (!((*s >= '0' && *s <= '9') || *s == '.'))
        return 0.0f;
    double value = 0.0; // huge reads as infinity, tiny as 0 or a subnormal
    if (!ParseNumber(s, value))
        return 0.0f;
    value = std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
    return static_cast<float>(negative ? -value : value) + 0.0f; // "-0" reads as 0
}

namespace {

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameWave(const Waveform& a, const Waveform& b)
{
    return a.type == b.type && SameBits(a.amplitude, b.amplitude) && SameBits(a.amplitudeOffset, b.amplitudeOffset) &&
           SameBits(a.frequency, b.frequency) && SameBits(a.period, b.period) && SameBits(a.phase, b.phase);
}

// The stage a StageValue names, in stages (const or not); stage is one of them.
template <class Stages>
auto& StageOf(Stages& s, int32_t stage)
{
    decltype(&s.duty) const targets[StageValueCount] = {
        &s.frequencyEnd, &s.vibratoDepth, &s.vibratoRate, &s.arpeggio,  &s.arpeggioTime,
        &s.repeat,       &s.duty,         &s.dutyEnd,     &s.tremoloDepth, &s.tremoloRate,
        &s.lowpass,      &s.lowpassEnd,   &s.resonance,   &s.highpass,  &s.highpassEnd};
    return *targets[stage];
}

bool SameStages(const VoiceStages& a, const VoiceStages& b)
{
    for (int32_t i = 0; i < StageValueCount; ++i)
        if (!SameBits(StageOf(a, i), StageOf(b, i)))
            return false;
    return a.glide == b.glide && a.bandLimited == b.bandLimited;
}

} // namespace

bool operator==(const VoiceState& a, const VoiceState& b)
{
    if (!SameStages(a.params.stages, b.params.stages))
        return false;
    const Envelope &x = a.params.envelope, &y = b.params.envelope;
    if (!SameWave(a.params.wave, b.params.wave) || !SameWave(a.params.carrier, b.params.carrier) ||
        !SameBits(x.attack, y.attack) || !SameBits(x.decay, y.decay) || !SameBits(x.sustain, y.sustain) ||
        !SameBits(x.hold, y.hold) || !SameBits(x.release, y.release))
        return false;
    const VoiceParams &p = a.params, &q = b.params;
    if (p.envelopeOn != q.envelopeOn || p.carrierOn != q.carrierOn || p.am != q.am || p.fm != q.fm || p.pm != q.pm ||
        a.modulation != b.modulation || a.loop != b.loop || a.mute != b.mute || a.seed != b.seed)
        return false;
    for (int32_t i = 0; i < VoiceValueCount; ++i)
        if (!SameBits(a.position[i], b.position[i]) || !SameBits(a.shown[i], b.shown[i]))
            return false;
    return true;
}

namespace {

bool IsValue(int32_t value) { return value >= 0 && value < VoiceValueCount; }

// The text the value box shows for a slider at position.
String SliderText(int32_t value, float position)
{
    return CVoiceModel::IsFrequency(value) ? String::Format("%.0f", static_cast<double>(position))
                                           : String::Format("%.2f", static_cast<double>(position / 100.0f));
}

} // namespace

void CVoiceModel::GetRange(int32_t value, float& min, float& max)
{
    static const float kRanges[5][2] = {{0, 400}, {-100, 100}, {0, 2000}, {0, 1000}, {0, 100}};
    min = max = 0.0f;
    if (!IsValue(value))
        return;
    if (IsEnvelopeValue(value)) {
        max = 100.0f;
        return;
    }
    const int32_t row = value >= ValueCarrierAmplitude ? value - ValueCarrierAmplitude : value;
    min = kRanges[row][0];
    max = kRanges[row][1];
}

CVoiceModel::CVoiceModel()
{
    // Every value through its slider, main oscillator, carrier, then envelope, so that the
    // positions and the numbers shown are exactly those of a dragged slider.
    const VoiceParams defaults;
    const Waveform* waves[2] = {&defaults.wave, &defaults.carrier};
    for (int32_t w = 0; w < 2; ++w) {
        const Waveform& wave = *waves[w];
        const int32_t base = w == 0 ? ValueAmplitude : ValueCarrierAmplitude;
        SetSlider(base + 0, wave.amplitude * 100.0f);
        SetSlider(base + 1, wave.amplitudeOffset * 100.0f);
        SetSlider(base + 2, wave.frequency);
        SetSlider(base + 3, wave.period * 100.0f);
        SetSlider(base + 4, wave.phase * 100.0f);
    }
    const Envelope& e = defaults.envelope;
    const float envelopeValues[5] = {e.attack, e.decay, e.sustain, e.hold, e.release};
    for (int32_t i = 0; i < 5; ++i)
        SetSlider(ValueAttack + i, envelopeValues[i] * 100.0f);
    SetModulation(FM);
    SetSeed(0);
}

// [SECTION] Values

float CVoiceModel::GetLength() const
{
    return IsEnvelopeOn() ? EnvelopeLength(m_params.envelope) : m_shown[ValuePeriod];
}

VoiceParams CVoiceModel::GetParams() const
{
    VoiceParams params = m_params;
    params.stages.span = GetLength();
    return params;
}

float CVoiceModel::GetShown(int32_t value) const { return IsValue(value) ? m_shown[value] : 0.0f; }

float CVoiceModel::GetPosition(int32_t value) const { return IsValue(value) ? m_position[value] : 0.0f; }

String CVoiceModel::GetShownText(int32_t value) const
{
    if (!IsValue(value))
        return String();
    const float shown = m_shown[value];
    String text = SliderText(value, m_position[value]);
    if (ReadShownNumber(text) == shown)
        return text;
    text = String::Format(IsFrequency(value) ? "%.0f" : "%.2f", static_cast<double>(shown));
    for (int precision = 1; ReadShownNumber(text) != shown && precision <= 9; ++precision)
        text = String::Format("%.*g", precision, static_cast<double>(shown));
    return text;
}

namespace {

// The parameter a value sets, in params (const or not); value is one of the fifteen.
template <class Params>
auto& ParameterOf(Params& params, int32_t value)
{
    auto& wave = params.wave;
    auto& carrier = params.carrier;
    auto& envelope = params.envelope;
    decltype(&wave.amplitude) const targets[VoiceValueCount] = {
        &wave.amplitude,    &wave.amplitudeOffset,    &wave.frequency,    &wave.period,    &wave.phase,
        &envelope.attack,   &envelope.decay,          &envelope.sustain,  &envelope.hold,  &envelope.release,
        &carrier.amplitude, &carrier.amplitudeOffset, &carrier.frequency, &carrier.period, &carrier.phase};
    return *targets[value];
}

} // namespace

float CVoiceModel::GetParameter(int32_t value) const { return IsValue(value) ? ParameterOf(m_params, value) : 0.0f; }

void CVoiceModel::Store(int32_t value, float position, float shown, float parameter)
{
    float& stored = ParameterOf(m_params, value);
    if (SameBits(m_position[value], position) && SameBits(m_shown[value], shown) && SameBits(stored, parameter))
        return; // the envelope's refit too depends on nothing else
    m_position[value] = position;
    m_shown[value] = shown;
    stored = parameter;
    const bool envelopeValue = IsEnvelopeValue(value);
    if (envelopeValue && IsEnvelopeOn())
        m_params.wave.period = EnvelopeLength(m_params.envelope);
    Announce(envelopeValue && !IsEnvelopeOn() ? VoiceChange::Shown : VoiceChange::Sound);
}

void CVoiceModel::SetSlider(int32_t value, float position)
{
    if (!IsValue(value))
        return;
    float min, max;
    GetRange(value, min, max);
    if (!(position == position) || position < min)
        position = min;
    else if (position > max)
        position = max;
    position += 0.0f; // a slider at -0 shows and stores 0
    const float shown = ReadShownNumber(SliderText(value, position));
    Store(value, position, shown, IsFrequency(value) ? shown : position / 100.0f);
}

void CVoiceModel::SetTyped(int32_t value, float typed)
{
    if (!IsValue(value))
        return;
    if (!(typed == typed))
        typed = 0.0f;
    typed += 0.0f; // as "-0" reads: 0
    float min, max;
    GetRange(value, min, max);
    if (IsFrequency(value)) {
        Store(value, std::clamp(typed, min, max) + 0.0f, typed, typed);
        return;
    }
    // The limits over 100 are exact (-1, 0, 1, 4, 10), so the typed number itself is compared;
    // and since rounding is monotonic, 100 × typed then lies within the slider's range too.
    if (typed < min / 100.0f || typed > max / 100.0f) {
        SetSlider(value, typed < min / 100.0f ? min : max); // the box shows the limit, not the text
        return;
    }
    Store(value, 100.0f * typed + 0.0f, typed, typed);
}

// [SECTION] Stages

namespace {

bool IsStage(int32_t stage) { return stage >= 0 && stage < StageValueCount; }

} // namespace

void CVoiceModel::GetStageRange(int32_t stage, float& min, float& max)
{
    static const float kRanges[StageValueCount][2] = {
        {0, 20000}, {0, 12}, {0, 50}, {-24, 24}, {0, 10}, {0, 10}, {0.01f, 0.99f}, {0.01f, 0.99f},
        {0, 1},     {0, 50}, {0, 20000}, {0, 20000}, {0, 1}, {0, 20000}, {0, 20000}};
    min = max = 0.0f;
    if (!IsStage(stage))
        return;
    min = kRanges[stage][0];
    max = kRanges[stage][1];
}

float CVoiceModel::GetStageDefault(int32_t stage)
{
    return stage == StageDuty || stage == StageDutyEnd ? 0.5f : 0.0f;
}

float CVoiceModel::GetStage(int32_t stage) const { return IsStage(stage) ? StageOf(m_params.stages, stage) : 0.0f; }

void CVoiceModel::SetStage(int32_t stage, float value)
{
    if (!IsStage(stage))
        return;
    float min, max;
    GetStageRange(stage, min, max);
    value = value == value ? std::clamp(value, min, max) + 0.0f : GetStageDefault(stage);
    float& stored = StageOf(m_params.stages, stage);
    if (stored == value)
        return; // nothing changed: nothing to hear or to undo
    stored = value;
    Announce(VoiceChange::Sound);
}

void CVoiceModel::SetGlide(int32_t shape)
{
    shape = shape == GlideLinear ? GlideLinear : GlideExponential;
    if (m_params.stages.glide == shape)
        return;
    m_params.stages.glide = shape;
    Announce(VoiceChange::Sound);
}

void CVoiceModel::SetBandLimited(bool on)
{
    if (m_params.stages.bandLimited == on)
        return;
    m_params.stages.bandLimited = on;
    Announce(VoiceChange::Sound);
}

// [SECTION] Types, modulation and switches

void CVoiceModel::SetWaveType(int32_t type)
{
    if (type == m_params.wave.type)
        return; // nothing changes: nothing is announced
    m_params.wave.type = type;
    Announce(VoiceChange::Sound);
}

void CVoiceModel::SetSeed(uint32_t seed)
{
    if (seed == m_seed && m_params.wave.noiseKey == NoiseKey(seed, false) &&
        m_params.carrier.noiseKey == NoiseKey(seed, true))
        return; // nothing changes: nothing is announced
    m_seed = seed;
    m_params.wave.noiseKey = NoiseKey(seed, false);
    m_params.carrier.noiseKey = NoiseKey(seed, true);
    Announce(VoiceChange::Sound);
}

void CVoiceModel::SetCarrierType(int32_t type)
{
    if (type == m_params.carrier.type)
        return; // nothing changes: nothing is announced
    m_params.carrier.type = type;
    Announce(VoiceChange::Sound);
}

ModulationMode CVoiceModel::GetModulation() const
{
    return m_modulation == AM || m_modulation == PM ? static_cast<ModulationMode>(m_modulation) : FM;
}

void CVoiceModel::SetModulation(int32_t mode)
{
    if (mode == m_modulation && m_params.am == (mode == AM) && m_params.fm == (mode == FM) &&
        m_params.pm == (mode == PM))
        return; // nothing changes: nothing is announced
    m_modulation = mode;
    m_params.am = mode == AM;
    m_params.fm = mode == FM;
    m_params.pm = mode == PM;
    Announce(VoiceChange::Sound);
}

void CVoiceModel::SetEnvelopeOn(bool on)
{
    if (on == m_params.envelopeOn)
        return; // nothing changes: nothing is announced
    m_params.envelopeOn = on;
    m_params.wave.period = on ? EnvelopeLength(m_params.envelope) : m_shown[ValuePeriod];
    Announce(VoiceChange::Sound);
}

void CVoiceModel::SetCarrierOn(bool on)
{
    if (on == m_params.carrierOn)
        return; // nothing changes: nothing is announced
    m_params.carrierOn = on;
    Announce(VoiceChange::Sound);
}

void CVoiceModel::SetMute(bool on)
{
    if (on == m_mute)
        return; // nothing changes: nothing is announced
    m_mute = on;
    Announce(VoiceChange::Sound);
}

void CVoiceModel::SetLoop(bool on)
{
    if (on == m_loop)
        return; // nothing changes: nothing is announced
    m_loop = on;
    Announce(VoiceChange::Shown);
}

// [SECTION] The whole voice

VoiceState CVoiceModel::GetState() const
{
    VoiceState state;
    state.params = m_params;
    state.modulation = m_modulation;
    state.loop = m_loop;
    state.mute = m_mute;
    state.seed = m_seed;
    std::copy(m_position, m_position + VoiceValueCount, state.position);
    std::copy(m_shown, m_shown + VoiceValueCount, state.shown);
    return state;
}

void CVoiceModel::SetState(const VoiceState& state)
{
    if (state == GetState())
        return;
    m_params = state.params;
    m_modulation = state.modulation;
    m_loop = state.loop;
    m_mute = state.mute;
    m_seed = state.seed;
    std::copy(state.position, state.position + VoiceValueCount, m_position);
    std::copy(state.shown, state.shown + VoiceValueCount, m_shown);
    Announce(VoiceChange::Sound);
}
