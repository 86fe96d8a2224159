// Index: [SECTION] Target  [SECTION] Recording  [SECTION] Undo and redo  [SECTION] Budget
#include "synth/History.h"

#include <cstring>
#include <utility>

namespace {

// The one number-valued stage that differs (the glide's shape and the clean shapes alike), as
// VoiceValueCount + its StageValue; -1 otherwise.
int32_t ChangedStage(const VoiceStages& a, const VoiceStages& b)
{
    if (a.glide != b.glide || a.bandLimited != b.bandLimited)
        return -1;
    static constexpr float VoiceStages::*kStages[StageValueCount] = {
        &VoiceStages::frequencyEnd, &VoiceStages::vibratoDepth, &VoiceStages::vibratoRate,
        &VoiceStages::arpeggio,     &VoiceStages::arpeggioTime, &VoiceStages::repeat,
        &VoiceStages::duty,         &VoiceStages::dutyEnd,      &VoiceStages::tremoloDepth,
        &VoiceStages::tremoloRate,  &VoiceStages::lowpass,      &VoiceStages::lowpassEnd,
        &VoiceStages::resonance,    &VoiceStages::highpass,     &VoiceStages::highpassEnd};
    int32_t changed = -1;
    for (int32_t i = 0; i < StageValueCount; ++i) {
        if (std::memcmp(&(a.*kStages[i]), &(b.*kStages[i]), sizeof(float)) == 0)
            continue;
        if (changed >= 0)
            return -1;
        changed = i;
    }
    return changed < 0 ? -1 : VoiceValueCount + changed;
}

// The one value (of the fifteen) or stage (ChangedStage) that differs between the states, when
// nothing else but what follows from it does; -1 otherwise.
int32_t ChangedValue(const VoiceState& a, const VoiceState& b)
{
    const VoiceParams &p = a.params, &q = b.params;
    if (p.wave.type != q.wave.type || p.carrier.type != q.carrier.type || p.envelopeOn != q.envelopeOn ||
        p.carrierOn != q.carrierOn || a.modulation != b.modulation || a.loop != b.loop || a.mute != b.mute)
        return -1;
    VoiceState withStages = a;
    withStages.params.stages = q.stages;
    if (withStages != a) { // the stages differ: one of them alone, or nothing merges
        VoiceState otherStages = b;
        otherStages.params.stages = p.stages;
        return otherStages == a ? ChangedStage(p.stages, q.stages) : -1;
    }
    int32_t changed = -1;
    for (int32_t i = 0; i < VoiceValueCount; ++i) {
        if (std::memcmp(&a.position[i], &b.position[i], sizeof(float)) == 0 &&
            std::memcmp(&a.shown[i], &b.shown[i], sizeof(float)) == 0)
            continue;
        if (changed >= 0)
            return -1;
        changed = i;
    }
    return changed;
}

} // namespace

// [SECTION] Target

void CUndoTarget::ReplaceVoices(const std::vector<VoiceState>& states)
{
    for (size_t n = GetVoiceCount(); n > 0; --n)
        EraseVoice(n - 1);
    for (size_t i = 0; i < states.size(); ++i)
        InsertVoice(i, states[i]);
}

// [SECTION] Recording

CProjectHistory::CProjectHistory(size_t budget) : m_budget(budget) {}

std::vector<VoiceState> CProjectHistory::StatesOf(const CUndoTarget& project)
{
    std::vector<VoiceState> states;
    states.reserve(project.GetVoiceCount());
    for (size_t i = 0; i < project.GetVoiceCount(); ++i)
        states.push_back(project.GetVoice(i).GetState());
    return states;
}

void CProjectHistory::Reset(const CUndoTarget& project)
{
    Forget();
    m_voices = StatesOf(project);
    m_name = project.GetName();
    m_master = project.GetMaster();
}

void CProjectHistory::Forget()
{
    m_steps.clear();
    m_done = 0;
    m_bytes = 0;
}

CProjectHistory::Step* CProjectHistory::OpenLast()
{
    if (m_done == 0 || m_done != m_steps.size() || !m_steps.back().open)
        return nullptr;
    return &m_steps.back();
}

void CProjectHistory::Push(Step&& step)
{
    // Whatever could be redone is gone once the project takes another way.
    while (m_steps.size() > m_done) {
        m_bytes -= Bytes(m_steps.back());
        m_steps.pop_back();
    }
    if (!m_steps.empty())
        m_steps.back().open = false;
    m_bytes += Bytes(step);
    m_steps.push_back(std::move(step));
    ++m_done;
    Trim();
}

void CProjectHistory::RecordVoice(size_t index, const CVoiceModel& voice)
{
    if (m_applying || index >= m_voices.size())
        return;
    const VoiceState after = voice.GetState();
    VoiceState& mirror = m_voices[index];
    if (after == mirror)
        return;
    const int32_t value = ChangedValue(mirror, after);
    Step* last = OpenLast();
    if (last && last->kind == Kind::Voice && last->index == index && value >= 0 && last->value == value) {
        last->after = after;
        mirror = after;
        if (last->after == last->before) { // dragged back to where it started: no step
            m_bytes -= Bytes(*last);
            m_steps.pop_back();
            --m_done;
        }
        return;
    }
    Step step;
    step.kind = Kind::Voice;
    step.index = index;
    step.value = value;
    step.before = mirror;
    step.after = after;
    mirror = after;
    Push(std::move(step));
}

void CProjectHistory::RecordName(const String& name)
{
    if (m_applying || name == m_name)
        return;
    Step* last = OpenLast();
    if (last && last->kind == Kind::Name) {
        m_bytes -= Bytes(*last);
        last->nameAfter = name;
        m_name = name;
        if (last->nameAfter == last->nameBefore) {
            m_steps.pop_back();
            --m_done;
        } else {
            m_bytes += Bytes(*last);
        }
        return;
    }
    Step step;
    step.kind = Kind::Name;
    step.nameBefore = m_name;
    step.nameAfter = name;
    m_name = name;
    Push(std::move(step));
}

void CProjectHistory::RecordMaster(const MixMaster& master)
{
    if (m_applying || master == m_master)
        return;
    // A drag of a master slider or a burst of typing in its box is one step.
    Step* last = OpenLast();
    if (last && last->kind == Kind::Master) {
        last->masterAfter = master;
        m_master = master;
        if (last->masterAfter == last->masterBefore) {
            m_bytes -= Bytes(*last);
            m_steps.pop_back();
            --m_done;
        }
        return;
    }
    Step step;
    step.kind = Kind::Master;
    step.masterBefore = m_master;
    step.masterAfter = master;
    m_master = master;
    Push(std::move(step));
}

void CProjectHistory::RecordInsert(size_t index, const CVoiceModel& voice)
{
    if (m_applying || index > m_voices.size())
        return;
    Step step;
    step.kind = Kind::Insert;
    step.index = index;
    step.after = voice.GetState();
    m_voices.insert(m_voices.begin() + static_cast<std::ptrdiff_t>(index), step.after);
    Push(std::move(step));
}

void CProjectHistory::RecordErase(size_t index)
{
    if (m_applying || index >= m_voices.size())
        return;
    Step step;
    step.kind = Kind::Erase;
    step.index = index;
    step.before = m_voices[index];
    m_voices.erase(m_voices.begin() + static_cast<std::ptrdiff_t>(index));
    Push(std::move(step));
}

void CProjectHistory::RecordReplace(const CUndoTarget& project)
{
    if (m_applying)
        return;
    Step step;
    step.kind = Kind::Replace;
    step.nameBefore = m_name;
    step.nameAfter = project.GetName();
    step.voicesBefore = std::move(m_voices);
    step.voicesAfter = StatesOf(project);
    step.masterBefore = m_master;
    step.masterAfter = project.GetMaster();
    m_voices = step.voicesAfter;
    m_name = step.nameAfter;
    m_master = step.masterAfter;
    Push(std::move(step));
}

void CProjectHistory::EndGesture()
{
    if (!m_steps.empty())
        m_steps.back().open = false;
}

// [SECTION] Undo and redo

bool CProjectHistory::Apply(const Step& step, bool undo, CUndoTarget& project)
{
    const size_t count = project.GetVoiceCount();
    bool fits = count == m_voices.size();
    switch (step.kind) {
    case Kind::Voice: fits = fits && step.index < count; break;
    case Kind::Insert: fits = fits && (undo ? step.index < count : step.index <= count); break;
    case Kind::Erase: fits = fits && (undo ? step.index <= count : step.index < count); break;
    case Kind::Name:
    case Kind::Replace:
    case Kind::Master: break;
    }
    if (!fits) {
        // The project changed without being recorded: no step can be trusted any more.
        Reset(project);
        return false;
    }
    const auto at = m_voices.begin() + static_cast<std::ptrdiff_t>(step.index);
    m_applying = true;
    switch (step.kind) {
    case Kind::Voice: {
        const VoiceState& state = undo ? step.before : step.after;
        m_voices[step.index] = state;
        project.GetVoice(step.index).SetState(state);
        break;
    }
    case Kind::Name:
        m_name = undo ? step.nameBefore : step.nameAfter;
        project.SetName(m_name);
        break;
    case Kind::Insert:
    case Kind::Erase:
        if (undo == (step.kind == Kind::Insert)) {
            m_voices.erase(at);
            project.EraseVoice(step.index);
        } else {
            const VoiceState& state = step.kind == Kind::Insert ? step.after : step.before;
            m_voices.insert(at, state);
            project.InsertVoice(step.index, state);
        }
        break;
    case Kind::Replace:
        m_name = undo ? step.nameBefore : step.nameAfter;
        m_voices = undo ? step.voicesBefore : step.voicesAfter;
        m_master = undo ? step.masterBefore : step.masterAfter;
        project.SetName(m_name);
        project.ReplaceVoices(m_voices);
        project.SetMaster(m_master);
        break;
    case Kind::Master:
        m_master = undo ? step.masterBefore : step.masterAfter;
        project.SetMaster(m_master);
        break;
    }
    m_applying = false;
    return true;
}

bool CProjectHistory::Undo(CUndoTarget& project)
{
    if (m_applying || !CanUndo())
        return false;
    EndGesture();
    if (!Apply(m_steps[m_done - 1], true, project))
        return false;
    --m_done;
    return true;
}

bool CProjectHistory::Redo(CUndoTarget& project)
{
    if (m_applying || !CanRedo())
        return false;
    if (!Apply(m_steps[m_done], false, project))
        return false;
    ++m_done;
    return true;
}

// [SECTION] Budget

size_t CProjectHistory::Bytes(const Step& step)
{
    return sizeof(Step) + static_cast<size_t>(step.nameBefore.Length() + step.nameAfter.Length()) +
           (step.voicesBefore.capacity() + step.voicesAfter.capacity()) * sizeof(VoiceState);
}

void CProjectHistory::SetBudget(size_t bytes)
{
    m_budget = bytes;
    Trim();
}

void CProjectHistory::Trim()
{
    // The newest done step stays whatever it costs: New or Open is never lost.
    while (m_bytes > m_budget && m_done > 1) {
        m_bytes -= Bytes(m_steps.front());
        m_steps.pop_front();
        --m_done;
    }
}
