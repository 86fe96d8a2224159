// Index: [SECTION] Recording  [SECTION] The scene as an undo target
#include "app/SceneHistory.h"

#include "app/SceneMain.h"
#include "events/Input.h"
#include "gui/Edit.h"

// [SECTION] Recording

CSceneHistory::CSceneHistory(CSceneMain& scene) : m_scene(scene) {}

CSceneHistory::~CSceneHistory()
{
    m_slots.Clear();
    m_watched.clear();
}

void CSceneHistory::Attach()
{
    m_slots.Connect(GetMouseSignal(), this, &CSceneHistory::OnMouse);
    m_slots.Connect(GetKeyboardSignal(), this, &CSceneHistory::OnKey);
}

void CSceneHistory::Detach()
{
    m_slots.Clear();
    m_watched.clear();
    m_history = CProjectHistory(m_history.GetBudget());
}

void CSceneHistory::Reset()
{
    m_history.Reset(*this);
    ++m_revision;
}

void CSceneHistory::Watch(CVoiceModel& voice)
{
    auto slot = std::make_unique<VoiceSlot>(this, &CSceneHistory::OnVoiceChanged, &voice);
    Connect(voice.changed, *slot);
    m_watched[&voice] = std::move(slot);
}

void CSceneHistory::Unwatch(const CVoiceModel& voice) { m_watched.erase(&voice); }

size_t CSceneHistory::IndexOf(const CVoiceModel* voice) const
{
    const auto& voices = m_scene.GetVoices();
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].get() == voice)
            return i;
    return voices.size();
}

void CSceneHistory::OnVoiceChanged(VoiceChange, const CVoiceModel* voice)
{
    if (m_paused > 0 || m_history.IsApplying())
        return;
    const size_t index = IndexOf(voice);
    if (index < GetVoiceCount())
        m_history.RecordVoice(index, *voice);
    ++m_revision;
}

void CSceneHistory::OnMouse(CInputMap& event)
{
    if (event.action != InputMove)
        EndGesture();
}

void CSceneHistory::OnKey(CInputMap& event)
{
    // A key a text box typed is part of its burst of typing; a held key's repeats merge.
    const bool key = !event.character || event.value == ' ';
    if (event.action == InputPress && key && !event.repeat && !event.handled)
        EndGesture();
}

void CSceneHistory::VoiceAdded(size_t index)
{
    EndGesture();
    if (index < GetVoiceCount())
        m_history.RecordInsert(index, GetVoice(index));
    EndGesture();
    ++m_revision;
}

void CSceneHistory::VoiceRemoved(size_t index)
{
    EndGesture();
    m_history.RecordErase(index);
    ++m_revision;
}

void CSceneHistory::ProjectReplaced()
{
    EndGesture();
    m_history.RecordReplace(*this);
    ++m_revision;
}

void CSceneHistory::NameEdited(const String& name)
{
    m_history.RecordName(name);
    ++m_revision;
}

void CSceneHistory::MasterChanged(const MixMaster& master)
{
    m_history.RecordMaster(master);
    ++m_revision;
}

bool CSceneHistory::Undo()
{
    ++m_revision;
    return m_history.Undo(*this);
}

bool CSceneHistory::Redo()
{
    ++m_revision;
    return m_history.Redo(*this);
}

// [SECTION] The scene as an undo target

size_t CSceneHistory::GetVoiceCount() const { return m_scene.GetVoices().size(); }

const CVoiceModel& CSceneHistory::GetVoice(size_t index) const { return *m_scene.GetVoices()[index]; }

CVoiceModel& CSceneHistory::GetVoice(size_t index) { return *m_scene.GetVoices()[index]; }

void CSceneHistory::InsertVoice(size_t index, const VoiceState& state)
{
    m_scene.InsertVoice(index)->SetState(state);
}

void CSceneHistory::EraseVoice(size_t index)
{
    m_scene.RemoveVoice(m_scene.GetVoices()[index].get());
    m_scene.LayoutVoices();
}

String CSceneHistory::GetName() const
{
    const CEdit* box = m_scene.GetProjectNameBox();
    return box ? box->GetText() : String();
}

void CSceneHistory::SetName(const String& name)
{
    if (CEdit* box = m_scene.GetProjectNameBox())
        box->SetText(name);
}

void CSceneHistory::ReplaceVoices(const std::vector<VoiceState>& states)
{
    // As Open replaces a project: playback stops, the old voices go at once.
    if (m_scene.m_player)
        m_scene.m_player->Clear();
    m_scene.ClearVoices();
    for (const VoiceState& state : states) {
        m_scene.m_voices.push_back(std::make_unique<CVoiceModel>());
        CVoiceModel& voice = *m_scene.m_voices.back();
        voice.SetState(state);
        Watch(voice);
        if (m_scene.m_panels.size() < CSceneMain::kMaxVoicePanels)
            m_scene.AddPanel(voice);
    }
    m_scene.LayoutVoices();
    m_scene.ShowNothingPlays();
}

MixMaster CSceneHistory::GetMaster() const { return m_scene.GetMaster(); }

void CSceneHistory::SetMaster(const MixMaster& master) { m_scene.TakeMaster(master); }
