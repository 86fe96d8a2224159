// CSession: what outlives one run of the program for the main scene: the autosave of unsaved
// work (written within kAutosaveDelayMs of a change, on a termination signal, removed by a
// save, an undo back to the saved state and a clean quit; offered for recovery at the next
// start after a crash or a kill), and the settings (recent projects, the file dialogs' last
// folders by kind, the window's size, Save Sound's rate, the zoom) in the configuration folder. Files go to
// PlatformStateFolder() and PlatformConfigFolder(); a folder that cannot be written only
// costs what it would keep. Main thread; owned by the application, after the scene it serves.
#pragma once

#include "app/Autosave.h"
#include "app/Settings.h"
#include "events/Signal.h"
#include "events/Timer.h"
#include "gui/QuestionBox.h"
#include "util/String.h"

#include <cstdint>
#include <string>

class CSceneMain;

class CSession {
public:
    static constexpr int32_t kAutosaveDelayMs = 10000; // from the first unsaved change

    explicit CSession(CSceneMain& scene);
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // Reads the settings (and gives the scene its recent projects).
    void Load();
    const Settings& GetSettings() const { return m_settings; }

    // Starts following the scene's changes (each frame tick) and its opened and saved files.
    void Attach();
    void Detach();

    // The last folder used for a kind of file ("project" or "sound"); empty when none.
    String GetFolder(const String& kind) const;
    // Remembers folder (absolute, with a trailing "/") for a kind and keeps it in the settings.
    void SetFolder(const String& kind, const String& folder);

    // Keeps the interface's zoom (percent; one the settings cannot keep is not written).
    void SetZoomPercent(int32_t percent);

    // Writes the scene's project to the autosave file now when it has unsaved changes, and
    // removes the file when it has none. Returns the time it took in microseconds (0 when
    // nothing was written).
    uint64_t WriteAutosave();
    // A clean end: the autosave goes, the window's size is kept.
    void EndCleanly(int32_t windowWidth, int32_t windowHeight);
    // The autosave goes (the program ended its loop itself); nothing else is kept.
    void DiscardAutosave();
    // The end of a signalled run: the work stays in the autosave, the window's size is kept.
    void EndBySignal(int32_t windowWidth, int32_t windowHeight);

    // Asks, newest first, about each autosave left by an instance that is gone: Recover opens
    // it in the scene as unsaved work (and stops asking); Discard deletes it. Escape recovers:
    // nothing is ever lost by a key pressed in haste.
    void OfferRecovery(const QuestionRunner& ask);
    // The text the recovery question shows for an autosave of that name and time.
    static String RecoveryText(const std::string& name, int64_t modified);

    const CAutosave& GetAutosave() const { return m_autosave; }
    // The delay from the first unsaved change to the autosave (kAutosaveDelayMs; tests wait less).
    void SetAutosaveDelay(int32_t milliseconds) { m_autosaveTimer.SetInterval(milliseconds); }

private:
    void OnTick();
    void OnAutosaveTimer();
    void OnProjectFile(const String& path);
    void OnExportRate(uint32_t rate);
    void SaveSettings();
    void ShowRecent();

    CSceneMain& m_scene;
    Settings m_settings;
    std::string m_configFolder;
    std::string m_stateFolder; // before the autosave, which is made from it
    CAutosave m_autosave;
    CTimer m_autosaveTimer;
    uint64_t m_seenRevision = UINT64_MAX; // the scene history's revision last looked at
    bool m_seenModified = false;
    CSlotList m_slots; // last: goes before what it calls into
};
