// The undo history on voice models alone: exact restoration (saved bytes and whole voice
// states) after random edit, undo and redo sequences; what makes one step (drags, typing
// bursts, switches); the byte budget; and a project that no longer matches the history.
// The test project records voice changes from the models' own signal, as the main scene does,
// so the changes that undo itself makes come back to the history as they do in the program.
#include "synth/History.h"
#include "synth/Project.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

class CModelProject : public CUndoTarget {
public:
    explicit CModelProject(CProjectHistory& history) : m_history(history)
    {
        Add();
        m_history.Reset(*this);
    }

    size_t GetVoiceCount() const override { return voices.size(); }
    const CVoiceModel& GetVoice(size_t index) const override { return *voices[index]; }
    CVoiceModel& GetVoice(size_t index) override { return *voices[index]; }
    void InsertVoice(size_t index, const VoiceState& state) override
    {
        auto voice = std::make_unique<CVoiceModel>();
        voice->SetState(state);
        Watch(*voice);
        voices.insert(voices.begin() + static_cast<std::ptrdiff_t>(index), std::move(voice));
    }
    void EraseVoice(size_t index) override { voices.erase(voices.begin() + static_cast<std::ptrdiff_t>(index)); }
    String GetName() const override { return name; }
    void SetName(const String& text) override { name = text; }
    MixMaster GetMaster() const override { return master; }
    void SetMaster(const MixMaster& settings) override { master = settings; }

    // --- the user's commands, recorded as the scene records them
    CVoiceModel& Add()
    {
        voices.push_back(std::make_unique<CVoiceModel>());
        Watch(*voices.back());
        m_history.RecordInsert(voices.size() - 1, *voices.back());
        return *voices.back();
    }
    void Close(size_t index)
    {
        EraseVoice(index);
        m_history.RecordErase(index);
    }
    void Rename(const String& text)
    {
        name = text;
        m_history.RecordName(name);
    }
    void New(size_t count)
    {
        voices.clear();
        for (size_t i = 0; i < count; ++i) {
            voices.push_back(std::make_unique<CVoiceModel>());
            Watch(*voices.back());
        }
        name = "New Project";
        master = NewProjectMaster();
        m_history.RecordReplace(*this);
    }

    std::string Saved() const
    {
        CXMLDocument doc;
        BuildProjectDocument(doc, name, voices);
        return ProjectDocumentText(doc);
    }
    std::vector<VoiceState> States() const
    {
        std::vector<VoiceState> states;
        for (const auto& voice : voices)
            states.push_back(voice->GetState());
        return states;
    }

    std::vector<std::unique_ptr<CVoiceModel>> voices;
    String name = "New Project";
    MixMaster master;

private:
    void Watch(CVoiceModel& voice) { m_slots.ConnectUser(voice.changed, this, &CModelProject::OnChanged, &voice); }
    void OnChanged(VoiceChange, CVoiceModel* voice)
    {
        for (size_t i = 0; i < voices.size(); ++i)
            if (voices[i].get() == voice)
                m_history.RecordVoice(i, *voice);
    }

    CProjectHistory& m_history;
    CSlotList m_slots;
};

// [SECTION] Exact restoration

struct Snapshot {
    std::string saved;
    std::vector<VoiceState> states;
};

// One random edit of the kind the user makes.
void RandomEdit(CModelProject& project, CProjectHistory& history, std::mt19937& random)
{
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    if (project.voices.empty() || pick(12) == 0) {
        project.Add();
        return;
    }
    CVoiceModel& voice = *project.voices[static_cast<size_t>(pick(static_cast<int>(project.voices.size())))];
    const int32_t value = pick(VoiceValueCount);
    switch (pick(15)) {
    case 13: voice.SetStage(pick(StageValueCount), static_cast<float>(pick(4000)) / 100.0f); break;
    case 0:
    case 1:
    case 2: voice.SetSlider(value, static_cast<float>(pick(2400) - 200)); break;
    case 3:
    case 4: voice.SetTyped(value, static_cast<float>(pick(100000)) / 997.0f - 20.0f); break;
    case 5: voice.SetWaveType(pick(4)); break;
    case 6: voice.SetCarrierType(pick(4)); break;
    case 7: voice.SetModulation(pick(3)); break;
    case 8: voice.SetEnvelopeOn(!voice.IsEnvelopeOn()); break;
    case 9: voice.SetCarrierOn(!voice.IsCarrierOn()); break;
    case 10: voice.SetMute(!voice.IsMuted()); break;
    case 11: voice.SetLoop(!voice.IsLoopOn()); break;
    case 12:
        if (pick(4) == 0)
            project.New(static_cast<size_t>(1 + pick(3)));
        else
            project.Close(static_cast<size_t>(pick(static_cast<int>(project.voices.size()))));
        break;
    default: {
        String name = project.name;
        if (pick(3) == 0 && !name.IsEmpty())
            name.Erase(name.Length() - 1, 1);
        else
            name += static_cast<char>('a' + pick(26));
        project.Rename(name);
        break;
    }
    }
    if (pick(3) == 0)
        history.EndGesture();
}

TEST(History, UndoAndRedoRestoreExactlyWhatWasSavedAfterRandomEdits)
{
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 random(seed);
        CProjectHistory history(SIZE_MAX);
        CModelProject project(history);
        // snapshots[d]: the project when d steps are done.
        std::vector<Snapshot> snapshots{{project.Saved(), project.States()}};
        for (int op = 0; op < 1500; ++op) {
            const unsigned what = random() % 10;
            if (what < 2 && history.CanUndo()) {
                ASSERT_TRUE(history.Undo(project));
            } else if (what < 3 && history.CanRedo()) {
                ASSERT_TRUE(history.Redo(project));
            } else {
                RandomEdit(project, history, random);
                if (history.GetRedoCount() == 0) {
                    snapshots.resize(history.GetUndoCount() + 1);
                    snapshots.back() = {project.Saved(), project.States()};
                    continue;
                }
                // Steps left to redo: the edit changed nothing, and is checked as such below.
            }
            const Snapshot& expected = snapshots[history.GetUndoCount()];
            ASSERT_EQ(project.Saved(), expected.saved) << "seed " << seed << ", operation " << op;
            ASSERT_TRUE(project.States() == expected.states) << "seed " << seed << ", operation " << op;
            ASSERT_TRUE(history.GetMirrorVoices() == expected.states);
        }
        // All the way back, then all the way forward.
        while (history.CanUndo())
            ASSERT_TRUE(history.Undo(project));
        EXPECT_EQ(project.Saved(), snapshots.front().saved) << "seed " << seed;
        while (history.CanRedo())
            ASSERT_TRUE(history.Redo(project));
        EXPECT_EQ(project.Saved(), snapshots[history.GetUndoCount()].saved) << "seed " << seed;
    }
}

TEST(History, VoiceStateRoundTripsEveryFieldAndAnnouncesOnce)
{
    CVoiceModel a, b;
    a.SetTyped(ValueFrequency, 2500.5f); // typed past the slider: slider and box disagree
    a.SetSlider(ValueDecay, 37);
    a.SetEnvelopeOn(true);
    a.SetCarrierType(Square);
    a.SetModulation(7);
    a.SetLoop(false);
    int changes = 0;
    CSlotList slots;
    struct Counter {
        int* count;
        void On(VoiceChange) { ++*count; }
    } counter{&changes};
    slots.Connect(b.changed, &counter, &Counter::On);
    b.SetState(a.GetState());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(b.GetState() == a.GetState());
    EXPECT_EQ(b.GetPosition(ValueFrequency), 2000.0f);
    EXPECT_EQ(b.GetShown(ValueFrequency), 2500.5f);
    EXPECT_EQ(b.GetModulationChoice(), 7);
    b.SetSlider(ValuePhase, 1);
    EXPECT_FALSE(b.GetState() == a.GetState());
}

// [SECTION] What makes one step

TEST(History, ADragOrATypingBurstOnOneValueIsOneStep)
{
    CProjectHistory history;
    CModelProject project(history);
    CVoiceModel& voice = *project.voices[0];
    for (float p = 100; p <= 300; p += 10)
        voice.SetSlider(ValueAmplitude, p); // one drag
    history.EndGesture();                   // mouse release
    voice.SetTyped(ValueFrequency, 4);
    voice.SetTyped(ValueFrequency, 44);
    voice.SetTyped(ValueFrequency, 440); // typing "440"
    voice.SetTyped(ValuePhase, 0.5f);    // another box: another step
    EXPECT_EQ(history.GetUndoCount(), 3u);
    history.EndGesture();
    for (float hz = 100; hz <= 900; hz += 100)
        voice.SetStage(StageLowpass, hz); // a stage's drag
    voice.SetStage(StageResonance, 0.5f); // another stage: another step
    history.EndGesture();
    for (float db = -1; db >= -6; --db)
        history.RecordMaster(MixMaster{db, false, 0.0f, false}); // a master slider's drag
    EXPECT_EQ(history.GetUndoCount(), 6u);
    ASSERT_TRUE(history.Undo(project));
    EXPECT_TRUE(project.master == MixMaster());
    ASSERT_TRUE(history.Undo(project));
    ASSERT_TRUE(history.Undo(project));
    EXPECT_EQ(voice.GetStage(StageLowpass), 0.0f);
    ASSERT_TRUE(history.Undo(project));
    EXPECT_EQ(voice.GetShown(ValueFrequency), 440.0f);
    EXPECT_EQ(voice.GetShown(ValuePhase), 0.0f);
    ASSERT_TRUE(history.Undo(project));
    EXPECT_EQ(voice.GetShown(ValueFrequency), 4.0f);
    EXPECT_EQ(voice.GetShown(ValueAmplitude), 3.0f);
    ASSERT_TRUE(history.Undo(project));
    EXPECT_EQ(voice.GetShown(ValueAmplitude), 1.0f);
    EXPECT_FALSE(history.CanUndo());
}

TEST(History, SwitchesOtherVoicesAndEndedGesturesNeverMerge)
{
    CProjectHistory history;
    CModelProject project(history);
    project.Add();
    history.EndGesture();
    CVoiceModel& first = *project.voices[0];
    CVoiceModel& second = *project.voices[1];
    first.SetMute(true);
    first.SetMute(false); // two clicks, two steps, though they cancel out
    first.SetSlider(ValueOffset, 10);
    second.SetSlider(ValueOffset, 10); // same value, other voice
    second.SetSlider(ValueOffset, 20);
    history.EndGesture();
    second.SetSlider(ValueOffset, 30); // a second drag
    EXPECT_EQ(history.GetUndoCount(), 1u + 2u + 1u + 1u + 1u);
    first.SetWaveType(Sine); // already a sine: nothing to undo
    EXPECT_EQ(history.GetUndoCount(), 6u);
}

TEST(History, ADragBackToItsStartLeavesNoStepAndKeepsNothingToRedo)
{
    CProjectHistory history;
    CModelProject project(history);
    CVoiceModel& voice = *project.voices[0];
    voice.SetMute(true);
    ASSERT_TRUE(history.Undo(project));
    ASSERT_TRUE(history.CanRedo());
    voice.SetSlider(ValuePeriod, 50);
    voice.SetSlider(ValuePeriod, 100);
    EXPECT_EQ(history.GetUndoCount(), 0u);
    EXPECT_FALSE(history.CanRedo()); // the drag was a change of way, even though it came back
}

TEST(History, NameTypingMergesAndCommandsUndoWhole)
{
    CProjectHistory history;
    CModelProject project(history);
    project.Rename("New Project!");
    project.Rename("New Project!!");
    history.EndGesture();
    project.voices[0]->SetSlider(ValueFrequency, 220);
    history.EndGesture();
    const MixMaster loud{6.0f, true, 0.0f, true};
    project.master = loud;
    history.RecordMaster(loud);
    project.New(1);
    EXPECT_EQ(history.GetUndoCount(), 4u);
    ASSERT_TRUE(history.Undo(project)); // New is no loss, its master settings included
    EXPECT_STREQ(project.name.CStr(), "New Project!!");
    EXPECT_EQ(project.voices[0]->GetShown(ValueFrequency), 220.0f);
    EXPECT_TRUE(project.master == loud);
    ASSERT_TRUE(history.Undo(project));
    EXPECT_TRUE(project.master == MixMaster());
    ASSERT_TRUE(history.Undo(project));
    ASSERT_TRUE(history.Undo(project));
    EXPECT_STREQ(project.name.CStr(), "New Project");
    ASSERT_TRUE(history.Redo(project));
    EXPECT_STREQ(project.name.CStr(), "New Project!!");
}

TEST(History, ClosedVoiceComesBackInItsPlace)
{
    CProjectHistory history;
    CModelProject project(history);
    project.Add().SetSlider(ValueFrequency, 2);
    project.Add().SetSlider(ValueFrequency, 3);
    history.EndGesture();
    project.Close(1);
    ASSERT_EQ(project.voices.size(), 2u);
    ASSERT_TRUE(history.Undo(project));
    ASSERT_EQ(project.voices.size(), 3u);
    EXPECT_EQ(project.voices[1]->GetShown(ValueFrequency), 2.0f);
    EXPECT_EQ(project.voices[2]->GetShown(ValueFrequency), 3.0f);
    // The restored voice is a new model: its edits are recorded under its index.
    project.voices[1]->SetSlider(ValueFrequency, 9);
    ASSERT_TRUE(history.Undo(project));
    EXPECT_EQ(project.voices[1]->GetShown(ValueFrequency), 2.0f);
}

// [SECTION] Budget

TEST(History, AVoiceStepCostsTheSameInAnyProjectSize)
{
    CProjectHistory small, large;
    CModelProject one(small), many(large);
    for (int i = 0; i < 2000; ++i)
        many.Add();
    large.Reset(many);
    one.voices[0]->SetSlider(ValueAmplitude, 50);
    many.voices[1234]->SetSlider(ValueAmplitude, 50);
    EXPECT_EQ(small.GetMemoryUse(), large.GetMemoryUse());
    EXPECT_LT(small.GetMemoryUse(), 1024u);
}

TEST(History, ThousandsOfStepsFitTheDefaultBudget)
{
    CProjectHistory history;
    CModelProject project(history);
    for (int i = 0; i < 5000; ++i) {
        project.voices[0]->SetSlider(ValueAmplitude, static_cast<float>(i % 400 + 1));
        history.EndGesture();
    }
    EXPECT_GE(history.GetUndoCount(), 5000u);
    EXPECT_LE(history.GetMemoryUse(), history.GetBudget());
}

TEST(History, PastTheBudgetTheOldestStepsGoAndTheNewestStillUndo)
{
    CProjectHistory history(64 * 1024);
    CModelProject project(history);
    CVoiceModel& voice = *project.voices[0];
    for (int i = 1; i <= 3000; ++i) {
        voice.SetSlider(ValuePeriod, static_cast<float>(i % 1000));
        history.EndGesture();
    }
    EXPECT_LE(history.GetMemoryUse(), history.GetBudget());
    EXPECT_GT(history.GetUndoCount(), 50u);
    EXPECT_LT(history.GetUndoCount(), 3000u);
    for (int i = 3000; history.CanUndo(); --i) {
        ASSERT_EQ(voice.GetPosition(ValuePeriod), static_cast<float>(i % 1000));
        ASSERT_TRUE(history.Undo(project));
    }
}

TEST(History, NewOfAProjectLargerThanTheBudgetCanStillBeUndone)
{
    CProjectHistory history(4096);
    CModelProject project(history);
    for (int i = 0; i < 100; ++i)
        project.Add();
    project.New(1);
    EXPECT_GT(history.GetMemoryUse(), history.GetBudget());
    EXPECT_EQ(history.GetUndoCount(), 1u); // everything older made room
    ASSERT_TRUE(history.Undo(project));
    EXPECT_EQ(project.voices.size(), 101u);
    project.voices[0]->SetMute(true); // recording again trims the Open step away
    EXPECT_LE(history.GetMemoryUse(), history.GetBudget());
}

// [SECTION] A project that no longer matches

TEST(History, AProjectChangedBehindItsBackMakesUndoForgetNotCrash)
{
    CProjectHistory history;
    CModelProject project(history);
    project.Add();
    project.Add();
    project.voices.pop_back(); // removed without being recorded
    project.voices.pop_back();
    EXPECT_FALSE(history.Undo(project));
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.GetMirrorVoices().size(), 1u);
    project.voices[0]->SetMute(true); // recording works again from the project as it is
    ASSERT_TRUE(history.Undo(project));
    EXPECT_FALSE(project.voices[0]->IsMuted());
}

} // namespace
