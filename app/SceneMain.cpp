// Index: [SECTION] Entering and leaving  [SECTION] Voices and layout  [SECTION] Playback
//        [SECTION] Live monitoring  [SECTION] Generate and Mutate  [SECTION] Files
//        [SECTION] Undo, redo and shortcuts
#include "app/SceneMain.h"

#include "app/App.h"
#include "app/ExportLoop.h"
#include "app/MessageLoop.h"
#include "app/Startup.h"
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
constexpr int32_t kMonitorSizeMs = 250;
constexpr uint32_t kRenderPollMs = 5; // how often a render in flight is looked at
constexpr float kLayoutTop = 50.0f;
constexpr float kLayoutGap = 10.0f;

// Exchanges two owned blocks with their formats.
void SwapSounds(CSound& a, CSound& b)
{
    std::swap(a.data, b.data);
    std::swap(a.dataSize, b.dataSize);
    std::swap(a.channels, b.channels);
    std::swap(a.samplesPerSec, b.samplesPerSec);
    std::swap(a.bitsPerSample, b.bitsPerSample);
    std::swap(a.dataNotOwned, b.dataNotOwned);
}

// A project name as a file name: no folder separators.
String FileNameOf(const String& name)
{
    String file = name;
    file.ReplaceAll("/", "-");
    return file;
}

// The index of the last c in text, or -1.
int32_t LastIndexOf(const String& text, char c)
{
    for (int32_t i = text.Length() - 1; i >= 0; --i)
        if (text[i] == c)
            return i;
    return -1;
}

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
}

void CSceneMain::Update()
{
    CSceneGeneric::Update();
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
        m_master = ClampMaster(master);
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
    const float top = m_controlBar ? m_controlBar->GetY() + m_controlBar->GetHeight() : kLayoutTop - kLayoutGap;
    // Without a window nothing limits the panels.
    const float w = width > 0 ? static_cast<float>(width) : CVoiceArea::kUnbounded;
    const float h = height > 0 ? static_cast<float>(height) : CVoiceArea::kUnbounded;
    m_area.SetBounds(std::min(top, kLayoutTop), kLayoutTop, w, h);
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

void CSceneMain::SetMinimumWindowSize()
{
    CApp* app = GetApp();
    if (!app || !app->GetWindow())
        return;
    const float barBottom = m_controlBar ? m_controlBar->GetY() + m_controlBar->GetHeight() : kLayoutTop - kLayoutGap;
    int32_t width = 0, height = 0;
    CVoiceArea::MinimumWindowSize(GetGUI(), m_controlBar, barBottom, kLayoutTop, width, height);
    PlatformSetWindowMinimumSize(app->GetWindow(), width, height);
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
    const float barBottom = m_controlBar ? m_controlBar->GetY() + m_controlBar->GetHeight() : kLayoutTop - kLayoutGap;
    CGUIManager& gui = GetGUI();
    for (uint32_t i = 0; i < gui.GetElementCount(); ++i) {
        CGUI* element = gui.GetElement(i);
        const int32_t kind = element->GetKind();
        const bool control = kind == GUIButton || kind == GUICheckBox || kind == GUIEdit ||
                             (kind == GUIMenu && !static_cast<CMenu*>(element)->IsItem());
        const CVector at = element->GetAbsolutePosition();
        if (control && at.x >= 0.0f && at.y >= 0.0f && at.y < barBottom) // templates lie off-screen
            stops.push_back(element);
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](CGUI* a, CGUI* b) { return a->GetAbsolutePosition().x < b->GetAbsolutePosition().x; });
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
    // The scroll bar and the clipping follow the window at once; the columns at the re-layout.
    if (width > 0 && height > 0)
        SetAreaBounds(width, height);
}

// [SECTION] Playback

bool CSceneMain::IsChecked(const CButton* button) const { return button && button->IsDown(); }

void CSceneMain::SetChecked(CButton* button, bool checked)
{
    if (button)
        button->SetDown(checked);
}

void CSceneMain::SetEnabledIfPresent(CButton* button, bool enabled)
{
    if (button)
        button->SetEnabled(enabled);
}

bool CSceneMain::HasMicrophone() const { return m_capture && m_capture->IsOpen(); }

void CSceneMain::ShowNothingPlays()
{
    // Monitoring ends with its buffer: the microphone is not left recording for nobody.
    if (IsChecked(m_btnMic) && HasMicrophone())
        m_capture->Stop();
    SetChecked(m_btnPlay, false);
    SetChecked(m_btnStop, false);
    SetChecked(m_btnMic, false);
    for (CButton* button : {m_btnAddSound, m_btnPlay, m_btnStop, m_btnLoop})
        SetEnabledIfPresent(button, true);
    SetEnabledIfPresent(m_btnMic, HasMicrophone());
}

std::vector<MixVoice> CSceneMain::MixVoices() const
{
    std::vector<MixVoice> voices;
    voices.reserve(m_voices.size());
    for (const auto& voice : m_voices)
        voices.push_back(MixVoice{RenderVoice{voice->GetParams(), voice->GetLength()}, voice->IsMuted()});
    return voices;
}

void CSceneMain::RenderMix()
{
    m_mixStale = false; // this render has every change so far
    // Without voices the mix is silence, not what the deleted voices made.
    if (m_voices.empty()) {
        m_mix.Release();
        m_mixStats = MixStats();
        m_render.Start({}, kMixChannels, kMixRate, kMixBits, m_master); // supersedes a render in progress
        CSound none;
        m_render.Wait(none, m_mixStats);
        m_mixStats = MixStats();
    } else {
        m_render.Start(MixVoices(), kMixChannels, kMixRate, kMixBits, m_master);
        CSound rendered;
        bool ok = false;
        // A render that fails (no memory for the block) leaves the mix as it was, as RenderMix does.
        if (m_render.Wait(rendered, m_mixStats, &ok) && ok)
            SwapSounds(m_mix, rendered);
    }
    ShowClipping();
}

void CSceneMain::StartRender()
{
    m_render.Start(MixVoices(), kMixChannels, kMixRate, kMixBits, m_master);
    RequestTickWithin(kRenderPollMs); // this tick's OnFrame may have looked already
}

void CSceneMain::OnFrame()
{
    ShowTitle();
    TakeRender();
    // A change is rendered as soon as the render before it is done: edits are heard after
    // the render's own time, and a drag never queues renders behind each other.
    if (m_mixStale && !m_render.IsPending()) {
        m_mixStale = false;
        CSoundBuffer* buffer = m_player ? m_player->Get(0) : nullptr;
        if (IsPlaying(buffer)) // otherwise heard at the next Play
            StartRender();
    }
}

void CSceneMain::TakeRender()
{
    CSound rendered;
    MixStats stats;
    bool ok = false;
    if (!m_render.Poll(rendered, stats, &ok)) {
        if (m_render.IsPending())
            RequestTickWithin(kRenderPollMs); // picked up soon after it ends, not at the next event
        return;
    }
    RequestRedraw(); // the clip indicator follows the new mix
    if (!ok)
        return;
    SwapSounds(m_mix, rendered);
    m_mixStats = stats;
    ShowClipping();
    if (IsChecked(m_btnMic))
        return; // the monitor plays; the mix waits for the next Play
    CSoundBuffer* buffer = m_player ? m_player->Get(0) : nullptr;
    if (!IsPlaying(buffer))
        return; // stopped meanwhile: heard at the next Play
    // The new mix takes the playing one's place from its start, crossfaded by the device.
    if (!m_mix.GetData() || m_mix.GetDataSize() == 0 || !buffer->Replace(&m_mix))
        Play();
}

void CSceneMain::ShowClipping()
{
    if (!m_clipIndicator)
        return;
    const bool clips = m_mixStats.clipped > 0 && m_mixStats.values > 0;
    m_clipIndicator->SetVisible(clips);
    if (clips)
        m_clipIndicator->SetText(String::Format(
            "CLIP %.1f%%", 100.0 * static_cast<double>(m_mixStats.clipped) / static_cast<double>(m_mixStats.values)));
}

void CSceneMain::MixChanged()
{
    m_mixStale = true;
    RequestTickWithin(0); // changes of one pass of the loop are rendered together
}

void CSceneMain::Play()
{
    SetChecked(m_btnPlay, IsChecked(m_btnLoop));
    SetChecked(m_btnStop, false);
    SetEnabledIfPresent(m_btnMic, false);
    RenderMix();
    if (!m_player)
        return;
    m_player->Clear();
    if (!m_mix.GetData() || m_mix.GetDataSize() == 0) {
        ShowNothingPlays(); // nothing to hear: no unmuted voice, or the render failed
        return;
    }
    m_player->Add(&m_mix);
    if (CSoundBuffer* buffer = m_player->Get(0)) {
        buffer->SetLooping(IsChecked(m_btnLoop));
        buffer->Resume();
    }
}

void CSceneMain::Stop()
{
    SetChecked(m_btnStop, IsChecked(m_btnLoop));
    SetChecked(m_btnPlay, false);
    SetEnabledIfPresent(m_btnMic, HasMicrophone());
    if (!m_player)
        return;
    for (uint32_t i = 0; CSoundBuffer* buffer = m_player->Get(i); ++i)
        buffer->Stop();
}

void CSceneMain::LoopToggled()
{
    if (m_player && m_player->Count() > 0 && IsChecked(m_btnPlay))
        Play();
}

void CSceneMain::AddSound()
{
    AddVoice();
    m_history.VoiceAdded(m_voices.size() - 1);
    WarnAboutHiddenVoices();
    if (m_player && IsPlaying(m_player->Get(0)))
        Play();
}

// [SECTION] Live monitoring

void CSceneMain::ToggleMic()
{
    if (!HasMicrophone() || !m_player) {
        // Nothing to monitor: the button stays up and out of reach.
        SetChecked(m_btnMic, false);
        SetEnabledIfPresent(m_btnMic, false);
        for (CButton* button : {m_btnAddSound, m_btnPlay, m_btnStop, m_btnLoop})
            SetEnabledIfPresent(button, true);
        return;
    }
    const bool on = IsChecked(m_btnMic);
    for (CButton* button : {m_btnAddSound, m_btnPlay, m_btnStop, m_btnLoop})
        SetEnabledIfPresent(button, !on);
    if (on) {
        RenderMix();
        m_player->Clear();
        m_player->Add(&m_monitor);
        if (CSoundBuffer* buffer = m_player->Get(0)) {
            buffer->Monitor(m_capture.get()); // false on a silent buffer: nothing to hear
            m_capture->Start();
            buffer->Resume();
        }
    } else {
        m_player->Clear();
        m_capture->Stop();
    }
}

void CSceneMain::OpenMicrophone()
{
    m_capture = std::make_unique<CSoundCaptureSDL>(8, 44100, 1);
    if (m_capture->IsOpen())
        m_monitor.PrepareLiveStream(m_capture->channels, m_capture->samplesPerSec, m_capture->bitsPerSample,
                                    kMonitorSizeMs);
}

void CSceneMain::OnSoundDeviceChanged(bool added, bool capture, uint32_t id)
{
    if (!capture)
        return; // a lost output has already been replaced under the player
    if (added) {
        if (HasMicrophone())
            return;
        OpenMicrophone();
        // Mic stays out of reach while the mix plays, as Play leaves it.
        SetEnabledIfPresent(m_btnMic, HasMicrophone() && !(m_player && IsPlaying(m_player->Get(0))));
        return;
    }
    if (!m_capture || !m_capture->IsDevice(id))
        return;
    const bool monitoring = IsChecked(m_btnMic);
    if (monitoring && m_player)
        m_player->Clear(); // the monitoring buffer lets go of the device before it closes
    m_capture.reset();
    SetEnabledIfPresent(m_btnMic, false);
    if (monitoring) {
        ShowNothingPlays();
        Warn("Microphone disconnected", "The microphone went away, so monitoring has stopped. Mic is available "
                                        "again once a microphone is connected.");
    }
}

// [SECTION] Generate and Mutate

void CSceneMain::OnGenerateChosen(const String& item)
{
    if (item == "mnuMutate") {
        Mutate();
        return;
    }
    // Items are named after the category they make: mnuCoin, mnuLaser, ...
    const char* name = item.CStr();
    SoundCategory category;
    if (name && std::strncmp(name, "mnu", 3) == 0 && item != "mnuGenerate" && ParseCategory(name + 3, category))
        Generate(category);
}

void CSceneMain::Generate(SoundCategory category)
{
    // Over a generated sound nobody touched, the next seed is one click.
    const bool userEdited =
        IsModified() && !(m_hasGenerated && MatchesMirror(m_generatedVoices, m_generatedName, m_generatedMaster));
    if (userEdited && !ConfirmDiscard())
        return;
    uint32_t seed = 0;
    const bool typed = m_seedTyped && m_editSeed && ParseSeed(m_editSeed->GetText(), seed);
    if (!typed)
        seed = GetRandom().RandomRange(1, 9999); // short enough to read, type and say
    m_seedTyped = false;
    if (m_editSeed)
        m_editSeed->SetText(String::Format("%u", seed));
    ReplaceProject(GenerateVoices(category, seed), GeneratedName(category, seed));
    // A new sound, saved nowhere yet: Save must not put it over the file of the last project.
    m_projectPath.Clear();
    m_forceModified = false;
    m_generatedVoices = m_history.Get().GetMirrorVoices();
    m_generatedName = m_history.Get().GetMirrorName();
    m_generatedMaster = m_history.Get().GetMirrorMaster();
    m_hasGenerated = true;
}

void CSceneMain::Mutate()
{
    {
        CHistoryPause pause(m_history);
        MutateVoices(m_voices, GetRandom().Next());
    }
    m_history.ProjectReplaced(); // every voice's nudge is one step
}

// [SECTION] Files

bool CSceneMain::AskPath(bool save, const char* title, const char* description, const char* pattern, String& path,
                         const String& name, const std::vector<String>& options, int32_t* option)
{
    if (!m_dialogs)
        return false;
    FileDialogRequest request;
    request.save = save;
    request.title = title;
    request.filterDescription = description;
    request.pattern = pattern;
    request.name = name;
    if (option) {
        request.options = options;
        request.option = *option;
        request.onOption = [option](int32_t chosen) { *option = chosen; };
    }
    // A project with a file keeps its sounds and copies beside it.
    const int32_t slash = LastIndexOf(m_projectPath, '/');
    if (slash >= 0)
        request.folder = m_projectPath.Substring(0, slash + 1);
    path = String();
    return m_dialogs(request, path) && !path.IsEmpty() && path.Length() <= kFileDialogMaxPath;
}

void CSceneMain::NewProject()
{
    if (!ConfirmDiscard())
        return;
    {
        CHistoryPause pause(m_history);
        if (m_player)
            m_player->Clear();
        ClearVoices();
        AddVoice();
        m_master = NewProjectMaster();
        if (m_editProjectName)
            m_editProjectName->SetText("New Project");
        ShowNothingPlays();
    }
    m_history.ProjectReplaced(); // undone like any edit: New is never a loss
    m_projectPath.Clear();
    m_hasGenerated = false;
    MarkSaved();
}

void CSceneMain::LoadProject()
{
    if (!ConfirmDiscard())
        return;
    String path;
    if (!AskPath(false, "Open Project", "Project Files (*.xml)", "*.xml", path))
        return;
    ProjectContents document;
    if (ReadForOpen(path, document))
        OpenProjectDocument(path, document);
}

void CSceneMain::OpenProjectAsked(const String& path)
{
    // A file that is no project says so before anything is asked.
    ProjectContents document;
    if (ReadForOpen(path, document) && ConfirmDiscard())
        OpenProjectDocument(path, document);
}

bool CSceneMain::ReadForOpen(const String& path, ProjectContents& project)
{
    // Checked before anything opens it: a named pipe dropped on the window, or one on the
    // command line, would hold the window blank until something wrote to it.
    String reason = ProjectFileProblem(path.CStr()).c_str();
    if (reason.IsEmpty() && ReadProjectFile(path, project, reason))
        return true;
    Warn("Open Project", String::Format("Could not open \"%s\": %s", path.CStr(), reason.CStr()));
    return false;
}

bool CSceneMain::RecoverProject(const String& path)
{
    ProjectContents project;
    return ReadForOpen(path, project) && OpenProjectDocument(path, project, true);
}

bool CSceneMain::OpenProjectDocument(const String& path, const ProjectContents& project, bool recovered)
{
    // Everything is built before anything the user has is let go: a file that does not load
    // leaves the voices, the playback and the name as they were.
    CHistoryPause pause(m_history);
    const size_t kept = m_voices.size();
    const bool staleBefore = m_mixStale;
    try {
        for (const VoiceState& state : project.voices)
            AddVoice()->SetState(state); // after the current voices
    } catch (const std::bad_alloc&) {
        while (m_voices.size() > kept)
            RemoveVoice(m_voices.back().get());
        LayoutVoices();
        m_mixStale = staleBefore; // the half-built voices changed nothing
        Warn("Open Project", String::Format("Could not open \"%s\": not enough memory to load it", path.CStr()));
        return false;
    }
    if (m_player)
        m_player->Clear();
    for (size_t n = kept; n > 0 && !m_voices.empty(); --n)
        RemoveVoice(m_voices.front().get());
    LayoutVoices();
    m_area.ScrollTo(0.0f); // an opened project shows from its first voice
    if (m_editProjectName)
        m_editProjectName->SetText(project.name);
    m_master = ClampMaster(project.master);
    ShowNothingPlays();
    m_history.ProjectReplaced();
    m_hasGenerated = false;
    MarkSaved();
    if (recovered) {
        m_projectPath.Clear();
        m_forceModified = true; // until it is saved somewhere
    } else {
        m_projectPath = path;
        onProjectFile.Emit(path);
    }
    WarnAboutHiddenVoices();
    return true;
}

void CSceneMain::SaveProject()
{
    if (m_projectPath.IsEmpty())
        SaveProjectAs();
    else
        WriteProject(m_projectPath);
}

void CSceneMain::SaveProjectAs()
{
    String path;
    if (AskPath(true, "Save Project", "Project File (*.xml)", "*.xml", path, FileNameOf(GetDisplayName()) + ".xml"))
        WriteProject(path);
}

bool CSceneMain::WriteProject(const String& chosen)
{
    const String name = m_editProjectName ? m_editProjectName->GetText() : String();
    const String path = ProjectSavePath(chosen);
    int error = 0;
    if (!SaveProjectFile(path, name, m_voices, m_master, &error)) {
        WarnNotSaved("Save Project", path, error);
        return false;
    }
    m_history.EndGesture(); // a drag that goes on after the save is a change of its own
    m_projectPath = path;
    MarkSaved();
    onProjectFile.Emit(path);
    return true;
}

void CSceneMain::SaveSound()
{
    String path;
    // The ending chooses the format; a name typed without one gets ".wav" from the dialog.
    // The rate is chosen beside it.
    std::vector<String> rates;
    int32_t rate = 0;
    for (uint32_t r : kRenderRates) {
        if (r == m_exportRate)
            rate = static_cast<int32_t>(rates.size());
        rates.push_back(String::Format("%u Hz", r));
    }
    if (!AskPath(true, "Save Sound", "Sound Files (*.wav, *.flac, *.ogg)", "*.wav;*.flac;*.ogg", path,
                 FileNameOf(GetDisplayName()) + m_soundEnding, rates, &rate))
        return;
    SetExportRate(kRenderRates[rate]);
    SoundFileFormat format;
    if (!SoundFileFormatFromPath(path, format)) {
        Warn("Save Sound", String::Format("Could not save \"%s\": the name must end with .wav, .flac or .ogg",
                                          path.CStr()));
        return;
    }
    const int32_t dot = LastIndexOf(path, '.');
    m_soundEnding = path.Substring(dot, path.Length() - dot); // the next export proposes it again
    // Rendered off the frame loop behind a progress box; a cancelled export writes nothing.
    CSound sound;
    MixStats stats;
    const String file = path.Substring(LastIndexOf(path, '/') + 1);
    switch (RunExportRender(MixVoices(), m_master, m_exportRate, sound, stats, "Save Sound", "Rendering " + file,
                            &GetResources())) {
    case ExportRender::Cancelled:
        return;
    case ExportRender::Failed:
        WarnNotSaved("Save Sound", path, ENOMEM);
        return;
    case ExportRender::Rendered:
        break;
    }
    int error = 0;
    if (!WriteMixFile(path, format, sound, &error))
        WarnNotSaved("Save Sound", path, error);
}

// [SECTION] Open Recent

namespace {

constexpr size_t kRecentShown = 10;
constexpr int32_t kRecentFolderBytes = 48; // the longest folder shown whole in a menu item

// "name.xml  (folder)", the folder's start cut away when long, never inside a character.
String RecentItemText(const String& path)
{
    const int32_t slash = LastIndexOf(path, '/');
    String folder = path.Substring(0, slash + 1);
    if (folder.Length() > kRecentFolderBytes) {
        int32_t cut = folder.Length() - kRecentFolderBytes;
        while (cut < folder.Length() && (static_cast<unsigned char>(folder[cut]) & 0xC0) == 0x80)
            ++cut;
        folder = "..." + folder.Substring(cut);
    }
    return path.Substring(slash + 1) + "  (" + folder + ")";
}

} // namespace

void CSceneMain::SetRecentProjects(const std::vector<String>& paths)
{
    m_recent.assign(paths.begin(), paths.begin() + static_cast<std::ptrdiff_t>(std::min(paths.size(), kRecentShown)));
    if (!m_mnuRecent)
        return;
    for (uint32_t i = 0; i < kRecentShown; ++i)
        if (CMenu* item = dynamic_cast<CMenu*>(GetGUI().FindElement(String::Format("mnuRecent%u", i)))) {
            item->SetListed(i < m_recent.size());
            item->SetText(i < m_recent.size() ? RecentItemText(m_recent[i]) : String());
        }
    if (CMenu* none = dynamic_cast<CMenu*>(GetGUI().FindElement("mnuRecentNone")))
        none->SetListed(m_recent.empty());
}

void CSceneMain::OnRecentChosen(const String& item)
{
    const char* name = item.CStr();
    const size_t prefix = std::strlen("mnuRecent");
    if (std::strncmp(name, "mnuRecent", prefix) != 0 || name[prefix] < '0' || name[prefix] > '9' || name[prefix + 1])
        return; // the menu itself, or "None"
    const size_t index = static_cast<size_t>(name[prefix] - '0');
    if (index < m_recent.size())
        OpenProjectAsked(String(m_recent[index])); // a copy: opening changes the list
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
    m_master = clamped;
    m_history.MasterChanged(m_master);
    MixChanged(); // heard like any edit
}

void CSceneMain::SetExportRate(uint32_t rate)
{
    if (!IsRenderRate(rate) || rate == m_exportRate)
        return;
    m_exportRate = rate;
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
