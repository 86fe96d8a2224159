// CSceneHistory: the main scene's undo and redo. It records the scene's project (its voices in
// list order and the name in the name box) into a CProjectHistory and applies undo and redo
// back to the scene's voices and panels. It hears every voice model's change itself; the scene
// tells it about its commands (Add Sound, close, New, Open) and the name box's edits. A
// gesture (and so a step that merges a drag or a burst of typing) ends at every mouse press,
// release and wheel turn, at every key press that no text box typed (the repeats of a held
// key merge, as a drag does), and at every command. Main thread only; owned by the scene.
#pragma once

#include "synth/History.h"

#include <memory>
#include <unordered_map>

class CInputMap;
class CSceneMain;

class CSceneHistory : public CUndoTarget {
public:
    explicit CSceneHistory(CSceneMain& scene);
    ~CSceneHistory() override;
    CSceneHistory(const CSceneHistory&) = delete;
    CSceneHistory& operator=(const CSceneHistory&) = delete;

    // Listens to the mouse and the keyboard for gesture ends (call before any panel and the
    // focus ring exist, so that a press ends the previous gesture before they act on it) /
    // stops listening and forgets the voices and every step.
    void Attach();
    void Detach();
    // Forgets every step: the project as the scene now holds it is where undo stops.
    void Reset();

    // --- what the scene tells
    // A voice model joined the scene / is leaving it: its changes are recorded meanwhile.
    void Watch(CVoiceModel& voice);
    void Unwatch(const CVoiceModel& voice);
    // Add Sound put a voice at index; a close took the voice at index away.
    void VoiceAdded(size_t index);
    void VoiceRemoved(size_t index);
    // New or an Open that loaded replaced the project.
    void ProjectReplaced();
    // The name box's text changed by typing.
    void NameEdited(const String& name);
    // The scene's master settings changed.
    void MasterChanged(const MixMaster& master);
    // While paused (nested), voice changes are not recorded: the scene is building voices.
    void Pause() { ++m_paused; }
    void Resume() { --m_paused; }
    void EndGesture() { m_history.EndGesture(); }

    bool Undo();
    bool Redo();
    // Counts every change the history heard or made (records, undo, redo, reset), so that a
    // watcher can tell cheaply whether the project may have changed since it last looked.
    uint64_t GetRevision() const { return m_revision; }
    CProjectHistory& Get() { return m_history; }
    const CProjectHistory& Get() const { return m_history; }

    // --- CUndoTarget, on the scene's voices and name box
    size_t GetVoiceCount() const override;
    const CVoiceModel& GetVoice(size_t index) const override;
    CVoiceModel& GetVoice(size_t index) override;
    void InsertVoice(size_t index, const VoiceState& state) override;
    void EraseVoice(size_t index) override;
    String GetName() const override;
    void SetName(const String& name) override;
    void ReplaceVoices(const std::vector<VoiceState>& states) override;
    MixMaster GetMaster() const override;
    void SetMaster(const MixMaster& master) override;

private:
    using VoiceSlot = CSlotUser2<CSceneHistory, VoiceChange, const CVoiceModel*>;

    void OnVoiceChanged(VoiceChange change, const CVoiceModel* voice);
    void OnMouse(CInputMap& event);
    void OnKey(CInputMap& event);
    // The voice's index in the scene's list, or the list's size.
    size_t IndexOf(const CVoiceModel* voice) const;

    CSceneMain& m_scene;
    CProjectHistory m_history;
    int32_t m_paused = 0;
    uint64_t m_revision = 0;
    std::unordered_map<const CVoiceModel*, std::unique_ptr<VoiceSlot>> m_watched;
    CSlotList m_slots;
};

// Voice changes go unrecorded while one exists (the scene building voices for New or Open).
class CHistoryPause {
public:
    explicit CHistoryPause(CSceneHistory& history) : m_history(history) { m_history.Pause(); }
    ~CHistoryPause() { m_history.Resume(); }
    CHistoryPause(const CHistoryPause&) = delete;
    CHistoryPause& operator=(const CHistoryPause&) = delete;

private:
    CSceneHistory& m_history;
};
