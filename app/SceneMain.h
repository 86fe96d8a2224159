// CSceneMain, the tool's only scene: the voices (CVoiceModel) with one panel (COscilloscope)
// each for the first kMaxVoicePanels of them, laid out in columns in a scrolling area; the rendered mix and its
// playback, the microphone's live monitoring, and the commands of the control bar (New, Open,
// Save, Save Sound, Add Sound, Loop, Play, Stop, Mic, and the Generate menu with its seed box
// and Mutate). Saving and rendering take every voice,
// shown or not; a voice left without a panel is announced with a warning. The scene owns
// voices and panels and deletes closed ones at the next frame, after the close button's
// signal has returned. File paths come from a file-dialog runner and questions from a
// question runner that the application sets (tests replace both). The scene knows the
// project's file and whether it has unsaved changes (compared with the state last opened,
// saved or made new, so an undo back to it is unmodified), and asks before letting them go.
// Save Sound writes WAV, FLAC or Ogg Vorbis by the chosen name's ending.
// A save that fails (an unknown ending included) and an Open that does not load say so in a
// warning box (app/MessageLoop.h), naming the file and the reason; a failed Open changes nothing.
// Main thread only.
#pragma once

#include "app/App.h"
#include "app/Scene.h"
#include "events/Timer.h"
#include "gui/FileDialog.h"
#include "gui/FocusRing.h"
#include "gui/QuestionBox.h"
#include "sound/Sound.h"
#include "sound/SoundCapture.h"
#include "sound/SoundStream.h"
#include "synth/Generate.h"
#include "synth/Project.h"
#include "synth/RenderJob.h"
#include "app/Oscilloscope.h"
#include "app/VoiceArea.h"
#include "app/MixStrip.h"
#include "app/SceneHistory.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

class CButton;
class CEdit;
class CScroll;
class CMenu;
class CFont;
struct ProjectContents;

class CSceneMain : public CSceneGeneric {
public:
    CSceneMain();
    ~CSceneMain() override;

    void Enter() override;
    void Leave() override;
    // The GUI, then every voice panel in list order.
    void Update() override;

    // --- commands (connected to the control bar's buttons). Whenever one of them leaves the
    // player empty (New, an Open that loaded, Play with nothing to hear) Play, Stop and Mic
    // are up and Add Sound, Play, Stop and Loop enabled; Mic is enabled only while a capture
    // device is open (one that goes away ends monitoring; one that appears brings Mic back).
    // New, Open and Generate first ask about unsaved changes (ConfirmDiscard); Cancel there
    // changes nothing.
    void NewProject();
    void LoadProject();
    // Save writes the project to its file (GetProjectPath) without a dialog once it has one;
    // the first time, and for Save As always, it asks for the file. A saved project is no
    // longer modified, and has that file from then on.
    void SaveProject();
    void SaveProjectAs();
    // Exports the mix as WAV, FLAC or Ogg Vorbis (the Save Sound button); the dialog starts
    // in the project's folder with the project's name. The render runs off the main thread
    // behind a progress box (RunExportRender); Cancel there writes nothing, and the previous
    // file stays as it was. The playing mix is not touched.
    void SaveSound();
    void AddSound();
    void LoopToggled();
    // Plays the mix, or loops the range selected in the mix strip when there is one.
    void Play();
    // Play from seconds into the mix, with no range (a click in the overview); nothing while
    // Play is disabled.
    void PlayFrom(double seconds);
    void Stop();
    void ToggleMic();
    // Replaces the project with the category's sound (GenerateVoices) for the seed typed into
    // the seed box since the last generation, or else a fresh seed, which the box then shows;
    // the project is named after both ("Laser 1234"). It asks about unsaved changes only when
    // the user edited the project since it was opened, saved, made new or generated: trying
    // seed after seed stays one click each. The project's master is the sound's
    // (GeneratedMaster: its level and the 2 ms fade), and the sound plays at once (PlayResult).
    void Generate(SoundCategory category);
    // Ctrl+G: Generate again in the last category generated (Random before any).
    void GenerateAgain();
    // Nudges every value of every voice a little (MutateVoices, a fresh seed each time), then
    // plays the result (PlayResult).
    void Mutate();
    // Generate's and Mutate's Play: skipped while Play is disabled (the microphone is
    // monitored), so the sound is there to hear once monitoring ends.
    void PlayResult();
    // Undo and redo of the last change to the project (values, switches, the name, Add
    // Sound, close, New, Open); the sound is rendered again as after any edit.
    void Undo();
    void Redo();
    // Space: Stop while a sound is heard, otherwise Play, each as a click on its button
    // (nothing when the button is missing or disabled).
    void PlayOrStop();
    // A sound of the player is being heard: a looping one, or one still within its length.
    bool IsSounding() const;
    // As a click on the named control-bar button; false when it is missing, disabled or
    // hidden (so a shortcut does only what the button would).
    bool Press(const char* name);

    // --- voices
    // The most panels the scene keeps (about 0.4 MB each); later voices are heard and saved
    // but not shown. Far more than fit on a screen.
    static constexpr uint32_t kMaxVoicePanels = 256;
    using VoiceList = std::vector<std::unique_ptr<CVoiceModel>>;
    using PanelList = std::vector<std::unique_ptr<COscilloscope>>;

    // A new voice in its default state at the end of the list and, while there is room, its
    // panel (set up from the description's templates and connected; without the slider and
    // text templates it stays as made), then the layout.
    CVoiceModel* AddVoice();
    // The same at index (past the end: at the end); a voice that moves out of the panels'
    // reach loses its panel.
    CVoiceModel* InsertVoice(size_t index);
    // Takes the voice out of the list (with its panel and its playback buffer, when it has
    // them) and deletes it at the next frame. The first voice without a panel gets one. When
    // that empties the player, the buttons show that nothing plays.
    void RemoveVoice(const CVoiceModel* voice);
    // Stacks the panels in columns from (10, 134), below the mix strip, 10 pixels apart, a
    // new column when the next panel would pass the window's bottom, as many columns as fit
    // the window's width; what does not fit makes the columns taller and the voice area
    // scrolls (CVoiceArea). The mix strip follows the window's width.
    void LayoutVoices();
    // The whole project at once: stops playback, lets go of every voice, takes these voices
    // (with panels while there is room), the name and the master settings (a new project's by
    // default), and shows that nothing plays.
    void ReplaceProject(VoiceList voices, const String& name, const MixMaster& master = NewProjectMaster());
    // The area below the control bar that places, scrolls and clips the panels.
    CVoiceArea& GetVoiceArea() { return m_area; }
    // The strip between the control bar and the voice area that shows the whole mix.
    CMixStrip& GetMixStrip() { return m_strip; }
    // Every voice, in screen and file order.
    const VoiceList& GetVoices() const { return m_voices; }
    // The project's master settings: kept, saved, autosaved, undone and heard with the voices.
    // A change (clamped, ClampMaster) is one undo step and is heard as an edit is.
    const MixMaster& GetMaster() const { return m_master; }
    void SetMaster(const MixMaster& master);
    // The rate Save Sound renders at (one of kRenderRates; 44100 at first). The Save Sound
    // dialog offers the choice; onExportRate tells the session, which keeps it between runs.
    uint32_t GetExportRate() const { return m_exportRate; }
    // The rate whose half the panels mark frequencies above: the lower of playback's and the
    // export's, so that a tone that folds back in what is heard or in what is saved shows it.
    uint32_t FoldingRate() const { return std::min<uint32_t>(kMixRate, m_exportRate); }
    void SetExportRate(uint32_t rate);
    CSignal<uint32_t> onExportRate;
    // Panel i shows voice i.
    const PanelList& GetPanels() const { return m_panels; }

    void SetFileDialogRunner(FileDialogRunner runner) { m_dialogs = std::move(runner); }
    // How the scene asks a question (Save, Don't Save, Cancel); without one it never asks and
    // goes on as if told Don't Save.
    void SetQuestionRunner(QuestionRunner runner) { m_questions = std::move(runner); }
    const QuestionRunner& GetQuestionRunner() const { return m_questions; }

    // --- the project's file and its unsaved changes
    // The file the project was opened from or last saved to; empty for a new, generated or
    // recovered one.
    const String& GetProjectPath() const { return m_projectPath; }
    // The project's name as the name box holds it, or "Untitled" when that is empty.
    String GetDisplayName() const;
    // The project differs from what was last opened, saved or made new; undoing back to that
    // state makes it unmodified again.
    bool IsModified() const;
    // The window's title: "NAME — Quillwave", with a leading "*" while modified.
    String GetTitle() const;
    // When modified: asks "Save changes to NAME?" (Save, Don't Save, Cancel). True when the
    // project may be let go: unmodified, saved (Save, then the save succeeded), or Don't Save.
    bool ConfirmDiscard();
    // Opens a project file without a dialog, asking about unsaved changes first (a file
    // dropped on the window, a recent project). A file that is not a project says why.
    void OpenProjectAsked(const String& path);
    // The Open Recent menu's list, newest first (at most ten are shown).
    void SetRecentProjects(const std::vector<String>& paths);
    const std::vector<String>& GetRecentProjects() const { return m_recent; }
    // Opens an autosave as recovered work: saved nowhere (Save asks for a file), modified,
    // and not a recent project. False, with a warning, when it does not load.
    bool RecoverProject(const String& path);
    // Emitted after a project was opened or saved, with its absolute file path (the recent
    // projects follow it).
    CSignal<const String&> onProjectFile;
    const CSound& GetMix() const { return m_mix; }
    // What the last render of the mix counted (values, clipped values); the control bar's
    // clip indicator shows the share while it is above 0.
    const MixStats& GetMixStats() const { return m_mixStats; }
    // A re-render after an edit that has not yet replaced the playing mix.
    bool IsRenderPending() const { return m_render.IsPending(); }
    // Bytes the renderer's cache of voice contributions holds.
    size_t GetRenderCacheBytes() const { return m_render.GetCacheBytes(); }
    CSoundBufferSet* GetPlayer() const { return m_player; }
    CSoundCapture* GetCapture() const { return m_capture.get(); }
    // The control bar's elements (null when the description lacks them).
    CButton* GetButton(const char* name) const;
    CEdit* GetProjectNameBox() const { return m_editProjectName; }
    CEdit* GetSeedBox() const { return m_editSeed; }
    CSceneHistory& GetHistory() { return m_history; }
    // The keyboard focus: Tab walks the control bar left to right, then the project strip, then each shown voice's
    // panel in voice order (GetTabStops); F10 or Alt opens the Generate menu. A focused panel
    // control is scrolled into view.
    CFocusRing& GetFocusRing() { return m_focusRing; }

private:
    friend class CSceneHistory;

    void ConnectCommand(CButton* button, void (CSceneMain::*command)());
    void ClearVoices();
    // Panel for voice at index at (at the end by default).
    void AddPanel(CVoiceModel& voice, size_t at = SIZE_MAX);
    void OnNameEdited(const String& name);
    void DisconnectPanel(COscilloscope& panel);
    void WarnAboutHiddenVoices();
    void OnGenerateChosen(const String& item);
    void OnRecentChosen(const String& item);
    void OnSeedTyped(const String& text) { m_seedTyped = !text.IsEmpty(); }
    void OnVoiceChanged(COscilloscope* voice);
    void OnVoiceClosed(COscilloscope* voice);
    void OnVoiceSelected(COscilloscope* voice);
    void OnVoiceResized();
    // The ring's stops: the control bar's buttons, switches, text boxes and menus by their
    // place, then every panel's.
    void ListTabStops(std::vector<CGUI*>& stops);
    void OnKeyboardFocus(CGUI* element);
    // The index of the panel that holds element; SIZE_MAX for an element outside the panels.
    size_t PanelOf(const CGUI* element) const;
    void OnDeletionTimer();
    void OnResize(int32_t width, int32_t height, CDisplay::SizeType type);
    // The voice area's bounds from the window's client size and the control bar.
    void SetAreaBounds(int32_t width, int32_t height);
    // The window may not shrink below the control bar's commands and one row of panels.
    void SetMinimumWindowSize();
    // The mix no longer matches the voices: it is rendered again on the next tick that finds
    // no render in flight, while something plays.
    void MixChanged();
    // Puts a finished render in the mix's place (and the playing buffer's).
    void TakeRender();
    // Renders the voices into the mix, waiting for it; without voices the mix is empty.
    void RenderMix();
    // The voices as the renderer takes them.
    std::vector<MixVoice> MixVoices() const;
    // Starts rendering the voices in the background; OnFrame takes the result.
    void StartRender();
    // Each tick: a finished background render becomes the mix, replaces the playing one and
    // is drawn (the clip indicator); while one runs, the loop is asked to tick again soon.
    void OnFrame();
    void ShowClipping();
    // --- the project strip (app/SceneMaster.cpp)
    void ConnectProjectStrip();
    // m_master becomes master (already clamped) and the strip shows it; force rewrites its
    // boxes even where they already read as the values (ShowMaster).
    void TakeMaster(const MixMaster& master, bool force = true);
    void ShowMaster(bool force = false);
    // A master slider moved / a master box was typed into: field (gain or fade) takes it.
    void SlideMaster(float MixMaster::*field, float position, CEdit* box);
    void TypeMaster(float MixMaster::*field, const String& text);
    void OnGainSlider(float position);
    void OnFadeSlider(float position);
    void OnGainTyped(const String& text);
    void OnFadeTyped(const String& text);
    void OnMasterSwitch();
    // The bottom of the control bar and, below it, the project strip (40 without a bar); the
    // mix strip stands 6 below it, and the first row of panels 10 below the mix strip.
    float BarsBottom() const;
    float FirstRow() const;
    // The panels' playheads at the playing mix's position (hidden while nothing plays or the
    // microphone is monitored); a redraw when one moved and, while playing, a tick a frame
    // period on to look again.
    void ShowPlayheads();
    // The strip's range selected: Play loops it (at once, when something plays).
    void OnRangeSelected(double start, double end);
    // m_rangeSound over the strip's range of the mix; false when there is no range.
    bool MakeRangeSound();
    bool HasMicrophone() const;
    // Opens the default capture device in the monitor's format and prepares the monitor for it.
    void OpenMicrophone();
    // Devices that come and go: a lost microphone ends monitoring with a warning and takes Mic
    // out of reach; a capture device that appears while there is none is opened, and Mic is
    // enabled unless the mix plays.
    void OnSoundDeviceChanged(bool added, bool capture, uint32_t id);
    // After the player has been emptied: Play, Stop and Mic up, Add Sound, Play, Stop and
    // Loop enabled, Mic enabled only with a microphone (whose recording stops).
    void ShowNothingPlays();
    // The warning in the program's own box over the window, with Copy (ShowWarning); before
    // the window exists the platform's box. Also written to standard error.
    void Warn(const char* caption, const String& text);
    // "Could not save "path": reason", the reason being the system's text for error.
    void WarnNotSaved(const char* caption, const String& path, int error);
    bool IsChecked(const CButton* button) const;
    void SetChecked(CButton* button, bool checked);
    void SetEnabledIfPresent(CButton* button, bool enabled);
    // options and option (when given): a choice the dialog offers, which it sets when accepted.
    bool AskPath(bool save, const char* title, const char* description, const char* pattern, String& path,
                 const String& name = String(), const std::vector<String>& options = {}, int32_t* option = nullptr);
    // Reads a project file for Open; false, with a warning that says why, when it does not.
    bool ReadForOpen(const String& path, ProjectContents& project);
    // Replaces the project with the contents read from path (no question); false, with a
    // warning, when it does not fit in memory.
    bool OpenProjectDocument(const String& path, const ProjectContents& project, bool recovered = false);
    // Writes the project to path (ProjectSavePath applied); false, with a warning, on failure.
    bool WriteProject(const String& chosen);
    // The project as the history last recorded it is now the unmodified state / the state a
    // generation made.
    void MarkSaved();
    // The project equals the history's state that was recorded as saved / generated.
    bool MatchesMirror(const std::vector<VoiceState>& voices, const String& name, const MixMaster& master) const;
    // An undo or redo brought back another whole project: it has no file of its own.
    void LeaveProjectFile();
    // Keeps the application window's title in step with the project.
    void ShowTitle();

    bool m_mixStale = false;
    CTimer m_layoutTimer;
    CTimer m_deletionTimer;
    // Panels are declared after the voices they show, so that they die first.
    VoiceList m_voices;            // in screen and file order
    PanelList m_panels;            // m_panels[i] shows m_voices[i]
    VoiceList m_pendingVoices;     // removed, deleted by the deletion timer
    PanelList m_pendingPanels;     // likewise, before their voices
    CVoiceArea m_area{m_panels};   // reads m_panels; destroyed before it

    CGUI* m_controlBar = nullptr;
    CButton* m_btnNew = nullptr;
    CButton* m_btnOpen = nullptr;
    CButton* m_btnSave = nullptr;
    CButton* m_btnSaveSound = nullptr;
    CButton* m_btnAddSound = nullptr;
    CButton* m_btnLoop = nullptr;
    CButton* m_btnPlay = nullptr;
    CButton* m_btnStop = nullptr;
    CButton* m_btnMic = nullptr;
    CEdit* m_editProjectName = nullptr;
    CMenu* m_mnuGenerate = nullptr;
    CMenu* m_mnuRecent = nullptr;
    std::vector<String> m_recent;
    CEdit* m_editSeed = nullptr;
    bool m_seedTyped = false; // the seed box holds a seed the user typed, not yet used
    CFont* m_clipIndicator = nullptr;
    // The project strip (null when the description lacks it): the master stage's controls.
    CGUI* m_projectStrip = nullptr;
    CScroll* m_scrGain = nullptr;
    CScroll* m_scrFade = nullptr;
    CEdit* m_editGain = nullptr;
    CEdit* m_editFade = nullptr;
    CButton* m_chkNormalize = nullptr;
    CButton* m_chkSum = nullptr;
    bool m_showingMaster = false; // the strip is being set from m_master: not an edit

    CSound m_mix;
    CSound m_rangeSound; // the selected range of m_mix (not owned); what Play loops while there is one
    uint32_t m_rangeFirst = 0; // the range's first frame
    MixStats m_mixStats;
    CRenderJob m_render; // the mix's renders, off the frame loop
    CSoundStream m_monitor;
    CSoundBufferSet* m_player = nullptr; // the scene manager's first shared set; not owned
    std::unique_ptr<CSoundCaptureSDL> m_capture;
    FileDialogRunner m_dialogs;
    QuestionRunner m_questions;
    String m_projectPath;
    // The unmodified project (as last opened, saved or made new) and the last generated one.
    std::vector<VoiceState> m_savedVoices;
    String m_savedName;
    MixMaster m_savedMaster;
    std::vector<VoiceState> m_generatedVoices;
    String m_generatedName;
    MixMaster m_generatedMaster;
    MixMaster m_master = NewProjectMaster();
    uint32_t m_exportRate = kMixRate;
    bool m_hasGenerated = false;
    SoundCategory m_lastCategory = SoundCategory::Random; // what Ctrl+G generates
    bool m_forceModified = false; // recovered work counts as modified until saved
    mutable uint64_t m_modifiedRevision = UINT64_MAX; // the history revision m_modified is for
    mutable bool m_modified = false;
    String m_shownTitle;
    String m_soundEnding = ".wav"; // of the last export, proposed again
    CFocusRing m_focusRing;
    CMixStrip m_strip; // after the GUI manager, which routes the mouse first
    // The last members, so that they go before anything they call into.
    CSlotList m_slots;
    CSlotList m_voiceSlots; // per-voice connections, apart from the scene's own slots
    CSceneHistory m_history{*this};
};
