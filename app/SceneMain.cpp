// Index: [SECTION] Entering and leaving  [SECTION] Voices and layout  [SECTION] Unsaved changes
//        [SECTION] Undo, redo and shortcuts
// The main scene's frame: entering and leaving, the voices and their panels, the title and
// the question about unsaved work, undo and the shortcuts. Its playback lives in
// ScenePlayback.cpp, live monitoring in SceneMonitor.cpp and the project commands in
// SceneCommands.cpp.
#include "app/SceneMain.h"

#include "app/App.h"
#include "app/MessageLoop.h"
#include "events/FrameTick.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/Menu.h"
#include "gui/Font.h"
#include "media/DrawState.h"
#include "platform/Window.h"
#include "synth/Project.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace {

constexpr int32_t kLayoutDelayMs = 500;
constexpr float kLayoutGap = 10.0f;
constexpr float kBarHeight = 40.0f; // the control bar's, where a description has none
constexpr float kStripGap = 6.0f;   // between the project strip and the mix strip

} // namespace

// [SECTION] Entering and leaving

CSceneMain::CSceneMain() : CSceneGeneric("Main", "resources/resources_main.xml", "resources/gui_main.xml") {}

CSceneMain::~CSceneMain()
{
    // The player outlives the scene: let go of the buffers that play the scene's own sounds.
    if (m_player)
        m_player->Clear();
    if (m_capture)
        m_capture->Stop();
    Leave();
    // The members then delete panels before the voices they show.
}

CButton* CSceneMain::GetButton(const char* name) const
{
    return dynamic_cast<CButton*>(const_cast<CSceneMain*>(this)->GetGUI().FindElement(name));
}

void CSceneMain::ConnectCommand(CButton* button, void (CSceneMain::*command)())
{
    if (button)
        m_slots.Connect(button->onRelease, this, command);
}

void CSceneMain::Enter()
{
    CSceneGeneric::Enter();

    m_controlBar = GetGUI().FindElement("controlBar");
    m_btnNew = GetButton("btnNew");
    m_btnOpen = GetButton("btnOpen");
    m_btnSave = GetButton("btnSave");
    m_btnSaveSound = GetButton("btnSaveSound");
    m_btnAddSound = GetButton("btnAddSound");
    m_btnLoop = GetButton("btnLoop");
    m_btnPlay = GetButton("btnPlay");
    m_btnStop = GetButton("btnStop");
    m_btnMic = GetButton("btnMic");
    m_editProjectName = dynamic_cast<CEdit*>(GetGUI().FindElement("editProjectName"));
    m_history.Attach(); // before the panels: a press ends a gesture before they act on it
    if (m_editProjectName)
        m_slots.Connect(m_editProjectName->onChange, this, &CSceneMain::OnNameEdited);
    m_mnuGenerate = dynamic_cast<CMenu*>(GetGUI().FindElement("mnuGenerate"));
    m_editSeed = dynamic_cast<CEdit*>(GetGUI().FindElement("editSeed"));
    if (m_mnuGenerate)
        m_slots.Connect(m_mnuGenerate->onChoose, this, &CSceneMain::OnGenerateChosen);
    if (m_editSeed)
        m_slots.Connect(m_editSeed->onChange, this, &CSceneMain::OnSeedTyped);
    m_mnuRecent = dynamic_cast<CMenu*>(GetGUI().FindElement("mnuRecent"));
    if (m_mnuRecent)
        m_slots.Connect(m_mnuRecent->onChoose, this, &CSceneMain::OnRecentChosen);
    SetRecentProjects(std::vector<String>(m_recent));
    m_clipIndicator = dynamic_cast<CFont*>(GetGUI().FindElement("clipIndicator"));
    ConnectProjectStrip();
    m_strip.Setup(dynamic_cast<CFont*>(GetGUI().FindElement("scrollFont")));
    m_strip.SetTipBox(GetGUI().GetTooltip());
    m_slots.Connect(m_strip.onSeek, this, &CSceneMain::PlayFrom);
    m_slots.Connect(m_strip.onRange, this, &CSceneMain::OnRangeSelected);
    m_slots.Connect(m_strip.onPlayRange, this, &CSceneMain::Play);

    ConnectCommand(m_btnNew, &CSceneMain::NewProject);
    ConnectCommand(m_btnOpen, &CSceneMain::LoadProject);
    ConnectCommand(m_btnSave, &CSceneMain::SaveProject);
    ConnectCommand(m_btnSaveSound, &CSceneMain::SaveSound);
    ConnectCommand(m_btnAddSound, &CSceneMain::AddSound);
    SetChecked(m_btnLoop, true);
    ConnectCommand(m_btnLoop, &CSceneMain::LoopToggled);
    ConnectCommand(m_btnPlay, &CSceneMain::Play);
    ConnectCommand(m_btnStop, &CSceneMain::Stop);
    ConnectCommand(m_btnMic, &CSceneMain::ToggleMic);

    // The first shared set (the application's), or the scene's own outside a manager.
    m_player = GetManager() && GetManager()->GetSharedSet(0) ? GetManager()->GetSharedSet(0) : &GetBuffers();

    if (!m_capture)
        OpenMicrophone();
    m_slots.Connect(SoundDeviceChanged(), this, &CSceneMain::OnSoundDeviceChanged);

    m_layoutTimer.SetInterval(kLayoutDelayMs);
    m_deletionTimer.SetInterval(1);
    m_slots.Connect(m_layoutTimer.onExpire, this, &CSceneMain::LayoutVoices);
    m_slots.Connect(m_deletionTimer.onExpire, this, &CSceneMain::OnDeletionTimer);
    m_slots.Connect(GetFrameTick(), this, &CSceneMain::OnFrame);

    if (CApp* app = GetApp()) {
        m_slots.Connect(app->onResize, this, &CSceneMain::OnResize);
        if (m_controlBar)
            m_controlBar->SetSize(static_cast<float>(app->GetWidth()), m_controlBar->GetHeight());
        if (m_projectStrip)
            m_projectStrip->SetSize(static_cast<float>(app->GetWidth()), m_projectStrip->GetHeight());
    }
    SetMinimumWindowSize();
    NewProject();
    m_history.Reset(); // the first project is where undo stops
    MarkSaved();

    // After every text box and the history: the keys a box types stay with it, and a key
    // ends the gesture before it changes a value.
    m_focusRing.SetStops([this](std::vector<CGUI*>& stops) { ListTabStops(stops); });
    m_focusRing.SetMenu(m_mnuGenerate);
    m_focusRing.Attach();
    m_slots.Connect(m_focusRing.onFocus, this, &CSceneMain::OnKeyboardFocus);
}

void CSceneMain::Leave()
{
    // A left scene lives on and must hear nothing until it is entered again.
    m_history.Detach();
    m_focusRing.Detach();
    m_slots.Clear();
    m_voiceSlots.Clear();
    m_mixStale = false;
    m_layoutTimer.SetEnabled(false);
    CSceneGeneric::Leave();
    m_controlBar = nullptr;
    m_btnNew = m_btnOpen = m_btnSave = m_btnSaveSound = m_btnAddSound = nullptr;
    m_btnLoop = m_btnPlay = m_btnStop = m_btnMic = nullptr;
    m_editProjectName = nullptr;
    m_mnuGenerate = nullptr;
    m_mnuRecent = nullptr;
    m_editSeed = nullptr;
    m_clipIndicator = nullptr;
    m_projectStrip = nullptr;
    m_scrGain = m_scrFade = nullptr;
    m_editGain = m_editFade = nullptr;
    m_chkNormalize = m_chkSum = nullptr;
}

void CSceneMain::Update()
{
    CSceneGeneric::Update();
    m_strip.Render();
    m_area.Render();
    // A panel's control shows its ring where the panel shows: never over the control bar.
    if (PanelOf(m_focusRing.GetFocus()) < m_panels.size()) {
        float clip[4];
        m_area.GetPanelClip(clip);
        const CClipScope scope(clip[0], clip[1], clip[2], clip[3]);
        m_focusRing.Render();
    } else {
        m_focusRing.Render();
    }
}

// [SECTION] Voices and layout

CVoiceModel* CSceneMain::AddVoice()
{
    m_voices.push_back(std::make_unique<CVoiceModel>());
    CVoiceModel* voice = m_voices.back().get();
    m_history.Watch(*voice);
    if (m_panels.size() < kMaxVoicePanels) {
        AddPanel(*voice);
        LayoutVoices();
        m_area.ShowPanel(m_panels.size() - 1);
    }
    return voice;
}

CVoiceModel* CSceneMain::InsertVoice(size_t index)
{
    index = std::min(index, m_voices.size());
    CVoiceModel* voice =
        m_voices.insert(m_voices.begin() + static_cast<std::ptrdiff_t>(index), std::make_unique<CVoiceModel>())->get();
    m_history.Watch(*voice);
    if (index <= m_panels.size() && index < kMaxVoicePanels) {
        AddPanel(*voice, index);
        if (m_panels.size() > kMaxVoicePanels) { // the last shown voice moved out of reach
            DisconnectPanel(*m_panels.back());
            m_pendingPanels.push_back(std::move(m_panels.back()));
            m_panels.pop_back();
            m_deletionTimer.SetEnabled(true);
        }
        LayoutVoices();
    }
    return voice;
}

void CSceneMain::AddPanel(CVoiceModel& voice, size_t at)
{
    auto panel = std::make_unique<COscilloscope>(voice);
    PanelTemplates templates;
    if (FindPanelTemplates(GetGUI(), templates)) {
        COscilloscope* p = panel.get();
        p->Setup(templates);
        p->SetTipBox(GetGUI().GetTooltip());
        p->SetSampleRate(FoldingRate());
        m_voiceSlots.ConnectUser(p->changed, this, &CSceneMain::OnVoiceChanged, p);
        m_voiceSlots.ConnectUser(p->closed, this, &CSceneMain::OnVoiceClosed, p);
        m_voiceSlots.ConnectUser(p->selected, this, &CSceneMain::OnVoiceSelected, p);
        m_voiceSlots.Connect(p->resized, this, &CSceneMain::OnVoiceResized);
    }
    m_panels.insert(m_panels.begin() + static_cast<std::ptrdiff_t>(std::min(at, m_panels.size())), std::move(panel));
}

void CSceneMain::DisconnectPanel(COscilloscope& panel)
{
    for (CEventBase* signal : {static_cast<CEventBase*>(&panel.changed), static_cast<CEventBase*>(&panel.closed),
                               static_cast<CEventBase*>(&panel.selected), static_cast<CEventBase*>(&panel.resized)})
        m_voiceSlots.Disconnect(*signal);
    panel.SetVisible(false); // out of reach of the mouse until it is deleted
    m_focusRing.Forget(&panel);
}

void CSceneMain::RemoveVoice(const CVoiceModel* voice)
{
    auto it = std::find_if(m_voices.begin(), m_voices.end(), [voice](const auto& v) { return v.get() == voice; });
    if (it == m_voices.end())
        return;
    const size_t index = static_cast<size_t>(it - m_voices.begin());
    m_history.Unwatch(**it);
    if (index < m_panels.size()) {
        DisconnectPanel(*m_panels[index]);
        m_pendingPanels.push_back(std::move(m_panels[index]));
        m_panels.erase(m_panels.begin() + static_cast<std::ptrdiff_t>(index));
    }
    if (m_player && m_player->Get(static_cast<uint32_t>(index))) {
        m_player->Remove(static_cast<uint32_t>(index)); // closing the first voice discards the playing buffer
        if (m_player->Count() == 0)
            ShowNothingPlays();
    }
    m_pendingVoices.push_back(std::move(*it));
    m_voices.erase(it);
    m_deletionTimer.SetEnabled(true);
    // The first voice without a panel takes the place that came free.
    if (m_panels.size() < m_voices.size() && m_panels.size() < kMaxVoicePanels) {
        AddPanel(*m_voices[m_panels.size()]);
        LayoutVoices();
    }
}

void CSceneMain::ClearVoices()
{
    // As many removals of the first voice as there are voices, done at once.
    for (size_t n = m_voices.size(); n > 0 && m_player && m_player->Get(0); --n)
        m_player->Remove(0);
    for (auto& panel : m_panels) {
        DisconnectPanel(*panel);
        m_pendingPanels.push_back(std::move(panel));
    }
    for (auto& voice : m_voices) {
        m_history.Unwatch(*voice);
        m_pendingVoices.push_back(std::move(voice));
    }
    m_panels.clear();
    m_voices.clear();
    m_deletionTimer.SetEnabled(true);
}

void CSceneMain::ReplaceProject(VoiceList voices, const String& name, const MixMaster& master)
{
    {
        CHistoryPause pause(m_history);
        TakeMaster(ClampMaster(master));
        if (m_player)
            m_player->Clear();
        ClearVoices();
        for (auto& voice : voices) {
            if (!voice)
                continue;
            m_voices.push_back(std::move(voice));
            m_history.Watch(*m_voices.back());
            if (m_panels.size() < kMaxVoicePanels)
                AddPanel(*m_voices.back());
        }
        LayoutVoices();
        m_area.ScrollTo(0.0f);
        if (m_editProjectName)
            m_editProjectName->SetText(name);
        ShowNothingPlays();
    }
    m_history.ProjectReplaced(); // one step, undone like New and Open
    MixChanged(); // the mix strip shows the new project's mix before anything plays
    WarnAboutHiddenVoices();
}

void CSceneMain::WarnAboutHiddenVoices()
{
    if (m_voices.size() <= m_panels.size())
        return;
    const String text = String::Format(
        "This project has %zu voices; only the first %zu are shown. The others are still played and saved.",
        m_voices.size(), m_panels.size());
    Warn("Voices not shown", text);
}

void CSceneMain::SetAreaBounds(int32_t width, int32_t height)
{
    const float top = BarsBottom();
    // Without a window nothing limits the panels.
    const float w = width > 0 ? static_cast<float>(width) : CVoiceArea::kUnbounded;
    const float h = height > 0 ? static_cast<float>(height) : CVoiceArea::kUnbounded;
    const float stripTop = top + kStripGap;
    m_strip.Place(CVoiceArea::kLeft, stripTop, (width > 0 ? w : 800.0f) - CVoiceArea::kLeft - CVoiceArea::kBarWidth);
    m_area.SetBounds(stripTop + CMixStrip::kHeight, FirstRow(), w, h);
}

void CSceneMain::LayoutVoices()
{
    m_layoutTimer.SetEnabled(false);
    const CApp* app = GetApp();
    if (app && app->GetWindow())
        SetAreaBounds(app->GetClientWidth(), app->GetClientHeight());
    else
        SetAreaBounds(0, 0);
    m_area.Layout();
}

float CSceneMain::BarsBottom() const
{
    if (!m_controlBar)
        return kBarHeight;
    const float bar = m_controlBar->GetY() + m_controlBar->GetHeight();
    return m_projectStrip ? std::max(bar, m_projectStrip->GetY() + m_projectStrip->GetHeight()) : bar;
}

float CSceneMain::FirstRow() const { return BarsBottom() + kStripGap + CMixStrip::kHeight + kLayoutGap; }

void CSceneMain::SetMinimumWindowSize()
{
    CApp* app = GetApp();
    if (!app || !app->GetWindow())
        return;
    const float barBottom = BarsBottom();
    int32_t width = 0, height = 0;
    CVoiceArea::MinimumWindowSize(GetGUI(), m_controlBar, barBottom, FirstRow(), width, height);
    app->SetMinimumClientSize(width, height); // in units: the window's minimum follows the zoom
}

void CSceneMain::OnVoiceChanged(COscilloscope*) { MixChanged(); }

void CSceneMain::OnVoiceClosed(COscilloscope* panel)
{
    const CVoiceModel* voice = &panel->Model();
    const size_t index = static_cast<size_t>(
        std::find_if(m_voices.begin(), m_voices.end(), [voice](const auto& v) { return v.get() == voice; }) -
        m_voices.begin());
    RemoveVoice(voice);
    m_history.VoiceRemoved(index);
    LayoutVoices();
    MixChanged();
}

void CSceneMain::OnVoiceSelected(COscilloscope* panel)
{
    for (const auto& other : m_panels)
        if (other.get() != panel)
            other->DropFocus();
}

void CSceneMain::OnVoiceResized() { LayoutVoices(); }

void CSceneMain::ListTabStops(std::vector<CGUI*>& stops)
{
    const float barBottom = BarsBottom();
    CGUIManager& gui = GetGUI();
    for (uint32_t i = 0; i < gui.GetElementCount(); ++i) {
        CGUI* element = gui.GetElement(i);
        const int32_t kind = element->GetKind();
        const bool control = kind == GUIButton || kind == GUICheckBox || kind == GUIEdit || kind == GUIScroll ||
                             (kind == GUIMenu && !static_cast<CMenu*>(element)->IsItem());
        const CVector at = element->GetAbsolutePosition();
        if (control && at.x >= 0.0f && at.y >= 0.0f && at.y < barBottom) // templates lie off-screen
            stops.push_back(element);
    }
    // The bar, then the project strip below it, each from left to right.
    const float stripTop = m_projectStrip ? m_projectStrip->GetY() : barBottom;
    std::stable_sort(stops.begin(), stops.end(), [stripTop](CGUI* a, CGUI* b) {
        const CVector pa = a->GetAbsolutePosition(), pb = b->GetAbsolutePosition();
        const bool stripA = pa.y >= stripTop, stripB = pb.y >= stripTop;
        return stripA != stripB ? stripB : pa.x < pb.x;
    });
    stops.push_back(&m_strip.GetOverview()); // below the project strip, above the voices
    for (const auto& panel : m_panels)
        panel->GetTabStops(stops);
}

size_t CSceneMain::PanelOf(const CGUI* element) const
{
    const CGUI* top = element;
    while (top && top->GetParent())
        top = top->GetParent();
    for (size_t i = 0; top && i < m_panels.size(); ++i)
        if (m_panels[i].get() == top)
            return i;
    return SIZE_MAX;
}

void CSceneMain::OnKeyboardFocus(CGUI* element)
{
    m_area.ShowPanel(PanelOf(element)); // nothing for a control outside the panels
    RequestRedraw();
}

void CSceneMain::OnDeletionTimer()
{
    PanelList panels;
    VoiceList voices;
    panels.swap(m_pendingPanels);
    voices.swap(m_pendingVoices);
    panels.clear(); // before the voices they show
    voices.clear();
    m_deletionTimer.SetEnabled(false);
}

void CSceneMain::OnResize(int32_t width, int32_t height, CDisplay::SizeType)
{
    if (!m_voices.empty())
        m_layoutTimer.SetEnabled(true); // again moves the due time: one re-layout after the last resize
    if (m_controlBar)
        m_controlBar->SetSize(static_cast<float>(width), m_controlBar->GetHeight());
    if (m_projectStrip)
        m_projectStrip->SetSize(static_cast<float>(width), m_projectStrip->GetHeight());
    // The scroll bar and the clipping follow the window at once; the columns at the re-layout.
    if (width > 0 && height > 0)
        SetAreaBounds(width, height);
}

// [SECTION] Unsaved changes

String CSceneMain::GetDisplayName() const
{
    const String name = m_editProjectName ? m_editProjectName->GetText() : String();
    return name.IsEmpty() ? String("Untitled") : name;
}

bool CSceneMain::MatchesMirror(const std::vector<VoiceState>& voices, const String& name,
                               const MixMaster& master) const
{
    const CProjectHistory& history = const_cast<CSceneMain*>(this)->m_history.Get();
    return history.GetMirrorName() == name && history.GetMirrorMaster() == master &&
           history.GetMirrorVoices() == voices;
}

bool CSceneMain::IsModified() const
{
    if (m_forceModified)
        return true;
    const uint64_t revision = const_cast<CSceneMain*>(this)->m_history.GetRevision();
    if (revision != m_modifiedRevision) {
        m_modified = !MatchesMirror(m_savedVoices, m_savedName, m_savedMaster);
        m_modifiedRevision = revision;
    }
    return m_modified;
}

void CSceneMain::MarkSaved()
{
    m_savedVoices = m_history.Get().GetMirrorVoices();
    m_savedName = m_history.Get().GetMirrorName();
    m_savedMaster = m_history.Get().GetMirrorMaster();
    m_forceModified = false;
    m_modifiedRevision = UINT64_MAX;
}

String CSceneMain::GetTitle() const
{
    return String(IsModified() ? "*" : "") + GetDisplayName() + " \xE2\x80\x94 Quillwave";
}

void CSceneMain::ShowTitle()
{
    CApp* app = GetApp();
    if (!app || !app->GetWindow())
        return;
    const String title = GetTitle();
    if (title == m_shownTitle)
        return;
    m_shownTitle = title;
    app->SetTitle(title.CStr());
}

bool CSceneMain::ConfirmDiscard()
{
    if (!IsModified() || !m_questions)
        return true;
    m_history.EndGesture();
    QuestionRequest question;
    question.title = "Unsaved Changes";
    question.text = "Save changes to " + GetDisplayName() + "?";
    question.buttons = {"Save", "Don't Save", "Cancel"};
    question.defaultButton = 0;
    question.cancelButton = 2;
    switch (m_questions(question)) {
    case 0:
        SaveProject();
        return !IsModified(); // a cancelled or failed save keeps the work
    case 1:
        return true;
    default:
        return false;
    }
}

void CSceneMain::Warn(const char* caption, const String& text) { ShowWarning(caption, text, &GetResources()); }

void CSceneMain::WarnNotSaved(const char* caption, const String& path, int error)
{
    Warn(caption, String::Format("Could not save \"%s\": %s", path.CStr(), std::strerror(error ? error : EIO)));
}

// [SECTION] Undo, redo and shortcuts

void CSceneMain::OnNameEdited(const String& name) { m_history.NameEdited(name); }

void CSceneMain::SetMaster(const MixMaster& master)
{
    const MixMaster clamped = ClampMaster(master);
    if (clamped == m_master)
        return;
    TakeMaster(clamped, false); // from the strip too: what is being typed stands
    m_history.MasterChanged(m_master);
    MixChanged(); // heard like any edit
}

void CSceneMain::SetExportRate(uint32_t rate)
{
    if (!IsRenderRate(rate) || rate == m_exportRate)
        return;
    m_exportRate = rate;
    for (const auto& panel : m_panels)
        panel->SetSampleRate(FoldingRate());
    onExportRate.Emit(rate);
}

void CSceneMain::Undo()
{
    const bool replaces = m_history.Get().UndoReplacesProject();
    if (!m_history.Undo())
        return;
    if (replaces)
        LeaveProjectFile();
    MixChanged(); // heard again like any edit
}

void CSceneMain::Redo()
{
    const bool replaces = m_history.Get().RedoReplacesProject();
    if (!m_history.Redo())
        return;
    if (replaces)
        LeaveProjectFile();
    MixChanged();
}

void CSceneMain::LeaveProjectFile()
{
    // The project that came back is not the file's: Save asks where, instead of writing it
    // over the file that was opened or saved last.
    m_projectPath.Clear();
    m_hasGenerated = false;
}

bool CSceneMain::IsSounding() const
{
    const CSoundBuffer* buffer = m_player ? m_player->Get(0) : nullptr;
    // A non-looping buffer still says it plays after its end; its duration timer does not.
    return IsPlaying(buffer) && !buffer->IsMonitoring() && (buffer->IsLooping() || buffer->durationTimer.IsEnabled());
}

void CSceneMain::PlayOrStop() { Press(IsSounding() ? "btnStop" : "btnPlay"); }

bool CSceneMain::Press(const char* name)
{
    CButton* button = GetButton(name);
    if (!button || !button->IsEnabled() || !button->IsVisible())
        return false;
    m_history.EndGesture();
    button->onRelease.Emit(); // a check box toggles itself first, as under the mouse
    return true;
}
