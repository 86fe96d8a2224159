#include "app/Session.h"

#include "app/SceneMain.h"
#include "events/FrameTick.h"
#include "gui/Edit.h"
#include "platform/Paths.h"
#include "synth/Project.h"

#include <chrono>
#include <ctime>

CSession::CSession(CSceneMain& scene)
    : m_scene(scene), m_configFolder(PlatformConfigFolder()), m_stateFolder(PlatformStateFolder()),
      m_autosave(m_stateFolder)
{
    m_autosaveTimer.SetInterval(kAutosaveDelayMs);
    m_autosaveTimer.SetQuiet(true); // writing a file changes nothing on screen
}

void CSession::Load()
{
    if (!m_configFolder.empty())
        m_settings = LoadSettings(m_configFolder);
    if (m_settings.soundRate)
        m_scene.SetExportRate(m_settings.soundRate);
    ShowRecent();
}

void CSession::Attach()
{
    m_slots.Connect(GetFrameTick(), this, &CSession::OnTick);
    m_slots.Connect(m_autosaveTimer.onExpire, this, &CSession::OnAutosaveTimer);
    m_slots.Connect(m_scene.onProjectFile, this, &CSession::OnProjectFile);
    m_slots.Connect(m_scene.onExportRate, this, &CSession::OnExportRate);
    ShowRecent();
}

void CSession::Detach()
{
    m_slots.Clear();
    m_autosaveTimer.SetEnabled(false);
}

// [SECTION] Autosave

void CSession::OnTick()
{
    const uint64_t revision = m_scene.GetHistory().GetRevision();
    if (revision == m_seenRevision)
        return;
    m_seenRevision = revision;
    if (!m_scene.IsModified()) {
        // Back to the saved state (an undo): nothing to recover.
        m_autosaveTimer.SetEnabled(false);
        m_autosave.Remove();
    } else if (!m_autosaveTimer.IsEnabled()) {
        // Not restarted by later changes: a long drag is still saved within the delay.
        m_autosaveTimer.SetEnabled(true);
    }
}

void CSession::OnAutosaveTimer()
{
    m_autosaveTimer.SetEnabled(false);
    WriteAutosave();
}

uint64_t CSession::WriteAutosave()
{
    if (!m_scene.IsModified()) {
        m_autosave.Remove();
        return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    CXMLDocument document;
    const CEdit* nameBox = m_scene.GetProjectNameBox();
    BuildProjectDocument(document, nameBox ? nameBox->GetText() : String(), m_scene.GetVoices(), m_scene.GetMaster());
    int error = 0;
    if (!m_autosave.Write(ProjectDocumentText(document), &error))
        return 0; // the work is still on screen; the next change tries again
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
}

void CSession::EndCleanly(int32_t windowWidth, int32_t windowHeight)
{
    DiscardAutosave();
    m_settings.windowWidth = windowWidth;
    m_settings.windowHeight = windowHeight;
    SaveSettings();
}

void CSession::DiscardAutosave()
{
    m_autosaveTimer.SetEnabled(false);
    m_autosave.Remove();
}

void CSession::EndBySignal(int32_t windowWidth, int32_t windowHeight)
{
    m_autosaveTimer.SetEnabled(false);
    WriteAutosave();
    m_settings.windowWidth = windowWidth;
    m_settings.windowHeight = windowHeight;
    SaveSettings();
}

String CSession::RecoveryText(const std::string& name, int64_t modified)
{
    const std::time_t when = static_cast<std::time_t>(modified);
    std::tm local{};
    char stamp[64] = "";
    if (localtime_r(&when, &local))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d at %H:%M", &local);
    const String project = name.empty() ? String("an untitled project") : String(("\"" + name + "\"").c_str());
    return String::Format("Quillwave did not close properly. Recover the unsaved work on %s, autosaved on %s?",
                          project.CStr(), stamp);
}

void CSession::OfferRecovery(const QuestionRunner& ask)
{
    if (!ask)
        return;
    for (const CAutosave::Orphan& orphan : CAutosave::FindOrphans(m_stateFolder)) {
        QuestionRequest question;
        question.title = "Recover Unsaved Work";
        question.text = RecoveryText(orphan.name, orphan.modified);
        question.buttons = {"Recover", "Discard"};
        question.defaultButton = 0;
        question.cancelButton = 0;
        if (ask(question) != 0) {
            CAutosave::Discard(orphan.path);
            continue;
        }
        if (!m_scene.RecoverProject(String(orphan.path.c_str())))
            return; // it said why; the file stays for another try
        CAutosave::Discard(orphan.path);
        WriteAutosave(); // the recovered work is safe again at once, in this instance's file
        return;
    }
}

// [SECTION] Settings

void CSession::OnProjectFile(const String& path)
{
    // A save leaves nothing to recover; an Open starts unmodified.
    m_autosaveTimer.SetEnabled(false);
    m_autosave.Remove();
    m_seenRevision = UINT64_MAX;
    AddRecentProject(m_settings, path.CStr());
    SaveSettings();
    ShowRecent();
}

String CSession::GetFolder(const String& kind) const
{
    const std::string& folder = kind == "project" ? m_settings.projectFolder
                                : kind == "sound" ? m_settings.soundFolder
                                                  : std::string();
    return String(folder.c_str());
}

void CSession::SetFolder(const String& kind, const String& folder)
{
    std::string* slot = kind == "project" ? &m_settings.projectFolder : kind == "sound" ? &m_settings.soundFolder : nullptr;
    if (!slot || *slot == folder.CStr())
        return;
    *slot = folder.CStr();
    SaveSettings();
}

void CSession::OnExportRate(uint32_t rate)
{
    m_settings.soundRate = rate;
    SaveSettings();
}

void CSession::SetZoomPercent(int32_t percent)
{
    if (percent == m_settings.zoomPercent || percent < Settings::kMinZoomPercent || percent > Settings::kMaxZoomPercent)
        return;
    m_settings.zoomPercent = percent;
    SaveSettings();
}

void CSession::SaveSettings()
{
    if (!m_configFolder.empty())
        ::SaveSettings(m_configFolder, m_settings); // a folder that cannot be written keeps nothing
}

void CSession::ShowRecent()
{
    std::vector<String> paths;
    for (const std::string& path : ExistingRecentProjects(m_settings))
        paths.push_back(String(path.c_str()));
    m_scene.SetRecentProjects(paths);
}
