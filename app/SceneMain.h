// CSceneMain, the tool's only scene: the voices (CVoiceModel) with one panel (COscilloscope)
// each for the first kMaxVoicePanels of them, laid out in columns; the rendered mix and its
// playback, the microphone's live monitoring, and the commands of the control bar (New, Open,
// Save, Save Sound, Add Sound, Loop, Play, Stop, Mic). Saving and rendering take every voice,
// shown or not; a voice left without a panel is announced with a warning. The scene owns
// voices and panels and deletes closed ones at the next frame, after the close button's
// signal has returned. File paths come from a file-dialog runner that the application sets
// (tests replace it). A save that fails and an Open that does not load say so in the
// platform's warning box, naming the file and the reason; a failed Open changes nothing.
// Main thread only.
#pragma once

#include "app/App.h"
#include "app/Scene.h"
#include "events/Timer.h"
#include "gui/FileDialog.h"
#include "sound/Sound.h"
#include "sound/SoundCapture.h"
#include "sound/SoundStream.h"
#include "app/Oscilloscope.h"
#include "app/SceneHistory.h"

#include <cstdint>
#include <memory>
#include <vector>

class CButton;
class CEdit;

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
    // are up and Add Sound, Play, Stop and Loop enabled; Mic is enabled only when a capture
    // device opened.
    void NewProject();
    void LoadProject();
    void SaveProject();
    void SaveSound();
    void AddSound();
    void LoopToggled();
    void Play();
    void Stop();
    void ToggleMic();
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
    // Stacks the panels in columns from (10, 50), 10 pixels apart, a new column when the next
    // panel would pass the window's bottom.
    void LayoutVoices();
    // Every voice, in screen and file order.
    const VoiceList& GetVoices() const { return m_voices; }
    // Panel i shows voice i.
    const PanelList& GetPanels() const { return m_panels; }

    void SetFileDialogRunner(FileDialogRunner runner) { m_dialogs = std::move(runner); }
    const CSound& GetMix() const { return m_mix; }
    CSoundBufferSet* GetPlayer() const { return m_player; }
    CSoundCapture* GetCapture() const { return m_capture.get(); }
    // The control bar's elements (null when the description lacks them).
    CButton* GetButton(const char* name) const;
    CEdit* GetProjectNameBox() const { return m_editProjectName; }
    CSceneHistory& GetHistory() { return m_history; }

private:
    friend class CSceneHistory;

    void ConnectCommand(CButton* button, void (CSceneMain::*command)());
    void ClearVoices();
    // Panel for voice at index at (at the end by default).
    void AddPanel(CVoiceModel& voice, size_t at = SIZE_MAX);
    void OnNameEdited(const String& name);
    void DisconnectPanel(COscilloscope& panel);
    void WarnAboutHiddenVoices();
    void OnVoiceChanged(COscilloscope* voice);
    void OnVoiceClosed(COscilloscope* voice);
    void OnVoiceSelected(COscilloscope* voice);
    void OnVoiceResized();
    void OnChangeTimer();
    void OnDeletionTimer();
    void OnResize(int32_t width, int32_t height, CDisplay::SizeType type);
    void StartChangeTimer();
    // Renders the voices into the mix; without voices the mix is empty.
    void RenderMix();
    bool HasMicrophone() const;
    // After the player has been emptied: Play, Stop and Mic up, Add Sound, Play, Stop and
    // Loop enabled, Mic enabled only with a microphone (whose recording stops).
    void ShowNothingPlays();
    // The platform's warning box (also written to standard error).
    void Warn(const char* caption, const String& text);
    // "Could not save "path": reason", the reason being the system's text for error.
    void WarnNotSaved(const char* caption, const String& path, int error);
    bool IsChecked(const CButton* button) const;
    void SetChecked(CButton* button, bool checked);
    void SetEnabledIfPresent(CButton* button, bool enabled);
    bool AskPath(bool save, const char* title, const char* description, const char* pattern, String& path);

    CTimer m_changeTimer;
    CTimer m_layoutTimer;
    CTimer m_deletionTimer;
    // Panels are declared after the voices they show, so that they die first.
    VoiceList m_voices;            // in screen and file order
    PanelList m_panels;            // m_panels[i] shows m_voices[i]
    VoiceList m_pendingVoices;     // removed, deleted by the deletion timer
    PanelList m_pendingPanels;     // likewise, before their voices

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

    CSound m_mix;
    CSoundStream m_monitor;
    CSoundBufferSet* m_player = nullptr; // the scene manager's first shared set; not owned
    std::unique_ptr<CSoundCaptureSDL> m_capture;
    FileDialogRunner m_dialogs;
    CSlotList m_voiceSlots; // per-voice connections, apart from the scene's own slots
    CSceneHistory m_history{*this};
};
