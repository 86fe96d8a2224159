// CProjectHistory: the undo and redo history of a project (its name, its voices and its
// master settings). The owner
// makes a change to the project first and records it afterwards; the history keeps a mirror of
// the project as last recorded, so each step holds what changed and nothing more: a voice edit
// keeps that voice's state before and after (never the whole project), Add Sound and close keep
// the voice added or removed, New and Open keep both whole projects. Steps are dropped oldest
// first when they pass a byte budget (the newest step always stays). Undo and redo act on the
// project through CUndoTarget, so the same history serves the main scene and headless tests.
// Main thread only.
#pragma once

#include "synth/Render.h"
#include "synth/VoiceModel.h"
#include "util/String.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// The project as undo sees it: an ordered list of voice models and a name. Voices are named by
// their index in the list; the history keeps indices consistent by undoing in order.
class CUndoTarget {
public:
    virtual ~CUndoTarget() = default;

    virtual size_t GetVoiceCount() const = 0;
    // index < GetVoiceCount().
    virtual const CVoiceModel& GetVoice(size_t index) const = 0;
    virtual CVoiceModel& GetVoice(size_t index) = 0;
    // A new voice at index (0 to GetVoiceCount()) in exactly that state.
    virtual void InsertVoice(size_t index, const VoiceState& state) = 0;
    // index < GetVoiceCount().
    virtual void EraseVoice(size_t index) = 0;
    virtual String GetName() const = 0;
    virtual void SetName(const String& name) = 0;
    // Every voice replaced by voices in these states, in order. By default: erase each voice
    // from the last, then insert the new ones; a target with a cheaper way overrides it.
    virtual void ReplaceVoices(const std::vector<VoiceState>& states);
    // The project's master settings; a target without any keeps the defaults.
    virtual MixMaster GetMaster() const { return MixMaster(); }
    virtual void SetMaster(const MixMaster&) {}
};

class CProjectHistory {
public:
    // 8 MiB: about 20,000 voice edits.
    static constexpr size_t kDefaultBudget = size_t(8) << 20;

    explicit CProjectHistory(size_t budget = kDefaultBudget);

    // Forgets every step and takes the project as it now stands as the mirror.
    void Reset(const CUndoTarget& project);

    // --- recording, after the change has been made. A change equal to the mirror records
    // nothing. A voice or name change merges into the last step while that step is open (no
    // EndGesture since) and changed the same thing: the same value (one of the fifteen) or
    // number-valued stage of the same voice, the name, or the master settings. Switches,
    // shapes and modes never merge. Recording drops every
    // step that could be redone. Ignored while the history is undoing or redoing (the target's
    // own change notifications come back here), and for an index the mirror does not have.
    void RecordVoice(size_t index, const CVoiceModel& voice);
    void RecordName(const String& name);
    // The master settings changed.
    void RecordMaster(const MixMaster& master);
    // A voice was inserted at index (Add Sound appends).
    void RecordInsert(size_t index, const CVoiceModel& voice);
    // The voice at index was removed.
    void RecordErase(size_t index);
    // The whole project was replaced (New, Open), master settings included.
    void RecordReplace(const CUndoTarget& project);
    // The gesture is over (mouse release, the focus moved, a command): the last step takes
    // no more changes.
    void EndGesture();

    // Undo and redo apply one step to project, which must stand as the history's mirror
    // (GetMirror...); false, changing nothing, when there is no step. A project that no longer
    // matches (a voice the step names is missing) makes the history forget its steps, and
    // false is returned.
    bool Undo(CUndoTarget& project);
    bool Redo(CUndoTarget& project);
    // The step Undo / Redo would apply replaces the whole project (New, Open, Generate).
    bool UndoReplacesProject() const { return m_done > 0 && m_steps[m_done - 1].kind == Kind::Replace; }
    bool RedoReplacesProject() const { return m_done < m_steps.size() && m_steps[m_done].kind == Kind::Replace; }
    bool CanUndo() const { return m_done > 0; }
    bool CanRedo() const { return m_done < m_steps.size(); }
    size_t GetUndoCount() const { return m_done; }
    size_t GetRedoCount() const { return m_steps.size() - m_done; }
    // True while Undo or Redo is changing the target.
    bool IsApplying() const { return m_applying; }

    // Bytes held by the steps (the mirror, the project's own size, is not counted).
    size_t GetMemoryUse() const { return m_bytes; }
    size_t GetBudget() const { return m_budget; }
    void SetBudget(size_t bytes);

    // The project as last recorded.
    const std::vector<VoiceState>& GetMirrorVoices() const { return m_voices; }
    const String& GetMirrorName() const { return m_name; }
    const MixMaster& GetMirrorMaster() const { return m_master; }

private:
    enum class Kind : uint8_t { Voice, Name, Insert, Erase, Replace, Master };
    struct Step {
        Kind kind = Kind::Voice;
        bool open = true;   // may still take merged changes
        int32_t value = -1; // Voice: the one value changed, -1 when more or a switch changed
        size_t index = 0;   // Voice, Insert, Erase
        VoiceState before;  // Voice, Erase
        VoiceState after;   // Voice, Insert
        String nameBefore, nameAfter;                    // Name, Replace
        std::vector<VoiceState> voicesBefore, voicesAfter; // Replace
        MixMaster masterBefore, masterAfter;               // Replace, Master
    };

    static size_t Bytes(const Step& step);
    static std::vector<VoiceState> StatesOf(const CUndoTarget& project);
    void Push(Step&& step);
    void Trim();
    void Forget();
    Step* OpenLast();
    // Applies the step's before (undo) or after (redo) side to project and the mirror.
    bool Apply(const Step& step, bool undo, CUndoTarget& project);

    std::deque<Step> m_steps; // oldest first; the first m_done are done, the rest redoable
    size_t m_done = 0;
    size_t m_bytes = 0;
    size_t m_budget;
    bool m_applying = false;
    std::vector<VoiceState> m_voices; // the mirror
    String m_name;
    MixMaster m_master;
};
