// Index: [SECTION] Generate and Mutate  [SECTION] Files  [SECTION] Open Recent
// The main scene's commands on whole projects: Generate and Mutate, New, Open and Open
// Recent, Save, Save As and Save Sound.
#include "app/SceneMain.h"

#include "app/ExportLoop.h"
#include "app/Startup.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/Menu.h"
#include "synth/Project.h"
#include "xml/XMLDocument.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace {

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
    GeneratedVoices voices = GenerateVoices(category, seed);
    const MixMaster master = GeneratedMaster(voices);
    ReplaceProject(std::move(voices), GeneratedName(category, seed), master);
    // A new sound, saved nowhere yet: Save must not put it over the file of the last project.
    m_projectPath.Clear();
    m_forceModified = false;
    m_generatedVoices = m_history.Get().GetMirrorVoices();
    m_generatedName = m_history.Get().GetMirrorName();
    m_generatedMaster = m_history.Get().GetMirrorMaster();
    m_hasGenerated = true;
    m_lastCategory = category;
    PlayResult();
}

void CSceneMain::GenerateAgain()
{
    Generate(m_lastCategory);
}

void CSceneMain::Mutate()
{
    {
        CHistoryPause pause(m_history);
        MutateVoices(m_voices, GetRandom().Next());
    }
    m_history.ProjectReplaced(); // every voice's nudge is one step
    PlayResult();
}

void CSceneMain::PlayResult()
{
    if (!m_btnPlay || m_btnPlay->IsEnabled())
        Play();
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
        TakeMaster(NewProjectMaster());
        if (m_editProjectName)
            m_editProjectName->SetText("New Project");
        ShowNothingPlays();
    }
    m_history.ProjectReplaced(); // undone like any edit: New is never a loss
    m_projectPath.Clear();
    m_hasGenerated = false;
    MarkSaved();
    MixChanged(); // the mix strip shows the new mix before anything plays
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
    TakeMaster(ClampMaster(project.master));
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

