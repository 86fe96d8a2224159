// Start-up: the command line's meaning, the order in which data folders are tried and what
// counts as one, the message of a start without data, and the start-up project opened in
// the main scene through its Open command, with Open's warning when it cannot be read.
#include "app/Application.h"
#include "events/FrameTick.h"
#include "app/Startup.h"
#include "gui/Edit.h"
#include "platform/Events.h"
#include "platform/Window.h"
#include "support/DiskAudio.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

StartupCommand Parse(std::vector<const char*> args, const std::string& working = "/home/user")
{
    args.insert(args.begin(), "quillwave");
    return ParseStartupCommand(static_cast<int>(args.size()), args.data(), working);
}

// --- command line

TEST(StartupCommandLine, NoArgumentsRunsWithoutAProject)
{
    const StartupCommand command = Parse({});
    EXPECT_EQ(command.action, StartupCommand::Run);
    EXPECT_TRUE(command.project.empty());
}

TEST(StartupCommandLine, HelpAndVersionWinOverWhatFollowsThem)
{
    EXPECT_EQ(Parse({"--help"}).action, StartupCommand::Help);
    EXPECT_EQ(Parse({"-h", "--no-such-option"}).action, StartupCommand::Help);
    EXPECT_EQ(Parse({"--version", "a.xml", "b.xml"}).action, StartupCommand::Version);
    EXPECT_EQ(Parse({"bell.xml", "--version"}).action, StartupCommand::Version);
    // After "--" they are file names.
    EXPECT_EQ(Parse({"--", "--help"}).action, StartupCommand::Run);
    EXPECT_EQ(Parse({"--", "--help"}).project, "/home/user/--help");
}

TEST(StartupCommandLine, ProjectPathIsMadeAbsoluteFromTheStartFolder)
{
    EXPECT_EQ(Parse({"bell.xml"}).project, "/home/user/bell.xml");
    EXPECT_EQ(Parse({"sounds/../bell.xml"}).project, "/home/user/bell.xml");
    EXPECT_EQ(Parse({"/data/bell.xml"}).project, "/data/bell.xml");
    EXPECT_EQ(Parse({"-"}).project, "/home/user/-") << "a lone dash is a file name";
}

TEST(StartupCommandLine, BadArgumentsFailWithAReason)
{
    const StartupCommand unknown = Parse({"--fullscreen"});
    EXPECT_EQ(unknown.action, StartupCommand::Fail);
    EXPECT_EQ(unknown.error, "unknown option --fullscreen");
    const StartupCommand two = Parse({"a.xml", "b.xml"});
    EXPECT_EQ(two.action, StartupCommand::Fail);
    EXPECT_NE(two.error.find("b.xml"), std::string::npos);
    EXPECT_EQ(Parse({""}).action, StartupCommand::Fail);
    EXPECT_EQ(Parse({"-x"}).action, StartupCommand::Fail);
}

TEST(StartupCommandLine, NullArgumentsAreSafe)
{
    const char* args[] = {"quillwave", nullptr};
    EXPECT_EQ(ParseStartupCommand(2, args, "/").action, StartupCommand::Fail);
    EXPECT_EQ(ParseStartupCommand(3, nullptr, "/").action, StartupCommand::Run);
}

TEST(StartupCommandLine, UsageNamesEveryOption)
{
    const std::string usage = StartupUsage();
    EXPECT_EQ(usage.rfind("usage: quillwave", 0), 0u);
    for (const char* option : {"--help", "--version", "PROJECT.xml", "Exit status"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

// --- data folder

TEST(StartupDataFolder, InstalledLayoutComesFirstAndTheSourceTreeIsSkippedWhenInstalled)
{
    const std::vector<std::string> candidates =
        DataFolderCandidates({"/opt/qw/bin", "/home/user", "/src/quillwave", "/src/quillwave/build"});
    const std::vector<std::string> expected = {"/opt/qw/share/quillwave", "/home/user", "/opt/qw/bin", "/opt/qw"};
    EXPECT_EQ(candidates, expected);
}

TEST(StartupDataFolder, SourceTreeIsTriedOnlyFromInsideTheBuildTree)
{
    const std::vector<std::string> fromBuild = DataFolderCandidates({"/tmp/qb", "/", "/src/qw", "/tmp/qb/"});
    ASSERT_FALSE(fromBuild.empty());
    EXPECT_EQ(fromBuild.back(), "/src/qw");
    const std::vector<std::string> fromSub = DataFolderCandidates({"/tmp/qb/sub", "", "/src/qw", "/tmp/qb"});
    EXPECT_EQ(fromSub.back(), "/src/qw");
    // A sibling whose name merely starts like the build folder is not inside it.
    const std::vector<std::string> sibling = DataFolderCandidates({"/tmp/qb-copy", "", "/src/qw", "/tmp/qb"});
    for (const std::string& c : sibling)
        EXPECT_NE(c, "/src/qw");
}

TEST(StartupDataFolder, CandidatesAreNormalAbsoluteAndUnique)
{
    const std::vector<std::string> candidates = DataFolderCandidates({"/usr/bin/", "/usr/bin", "", ""});
    const std::vector<std::string> expected = {"/usr/share/quillwave", "/usr/bin", "/usr"};
    EXPECT_EQ(candidates, expected);
    EXPECT_TRUE(DataFolderCandidates({"", "relative/folder", "", ""}).empty());
    EXPECT_TRUE(DataFolderCandidates({}).empty());
}

void Touch(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    WriteFileBytes(file.string(), "<resources />");
}

TEST(StartupDataFolder, FirstFolderWithEveryDescriptionFileWins)
{
    TempDir dir;
    const fs::path partial = dir.Path() / "partial", complete = dir.Path() / "complete", later = dir.Path() / "later";
    Touch(partial / "resources/gui.xml");
    Touch(partial / "resources/resources.xml");
    for (const fs::path& folder : {complete, later})
        for (const char* file : {"resources.xml", "gui.xml", "resources_main.xml", "gui_main.xml"})
            Touch(folder / "resources" / file);
    fs::create_directories(dir.Path() / "folder-named-like-a-file/resources/gui_main.xml");

    EXPECT_FALSE(IsDataFolder(partial.string()));
    EXPECT_TRUE(IsDataFolder(complete.string()));
    EXPECT_FALSE(IsDataFolder(""));
    EXPECT_EQ(FindDataFolder({(dir.Path() / "none").string(), partial.string(), complete.string(), later.string()}),
              complete.string());
    EXPECT_EQ(FindDataFolder({partial.string(), (dir.Path() / "folder-named-like-a-file").string()}), "");
    EXPECT_EQ(FindDataFolder({}), "");
}

TEST(StartupDataFolder, MissingDataMessageListsEveryPlaceLookedAt)
{
    const std::string message = MissingDataMessage({"/opt/qw/share/quillwave", "/home/user"});
    EXPECT_NE(message.find("resources/gui.xml"), std::string::npos);
    EXPECT_NE(message.find("\n  /opt/qw/share/quillwave\n  /home/user"), std::string::npos) << message;
    EXPECT_NE(MissingDataMessage({}).find("nowhere"), std::string::npos);
}

// --- file dialogs

TEST(StartupDialogFolder, DialogsStartInTheFolderLastUsedForTheirKindOfFile)
{
    Application app;
    FileDialogRequest openProject, saveProject, saveSound, openSound;
    openProject.pattern = saveProject.pattern = "*.xml";
    saveProject.save = saveSound.save = true;
    saveSound.pattern = "*.wav";
    openSound.pattern = "*.WAV;*.flac;*.ogg";
    EXPECT_TRUE(app.DialogRequest(openProject).folder.IsEmpty()) << "nothing used yet: the home folder";

    app.RememberDialogPath(openProject, "/home/user/projects/song.xml");
    EXPECT_STREQ(app.DialogRequest(saveProject).folder.CStr(), "/home/user/projects/");
    EXPECT_TRUE(app.DialogRequest(saveSound).folder.IsEmpty()) << "sounds are a kind of their own";
    app.RememberDialogPath(saveSound, "/data/mixes/take.wav");
    EXPECT_STREQ(app.DialogRequest(openSound).folder.CStr(), "/data/mixes/");
    EXPECT_STREQ(app.DialogRequest(openProject).folder.CStr(), "/home/user/projects/");

    app.RememberDialogPath(openProject, "relative.xml"); // no folder to go back to
    EXPECT_STREQ(app.DialogRequest(openProject).folder.CStr(), "/home/user/projects/");
    FileDialogRequest named = openProject;
    named.folder = "/tmp";
    EXPECT_STREQ(app.DialogRequest(named).folder.CStr(), "/tmp");
    EXPECT_STREQ(Application::DialogKind("*.txt").CStr(), "*.txt");
}

// --- start-up project

// Runs a function on every frame tick while it exists.
class OnEveryFrame {
public:
    explicit OnEveryFrame(std::function<void()> step) : m_step(std::move(step))
    {
        m_slots.Connect(GetFrameTick(), this, &OnEveryFrame::Tick);
    }

private:
    void Tick() { m_step(); }
    std::function<void()> m_step;
    CSlotList m_slots;
};

class StartupProject : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: the application's window needs a (virtual) X server";
    }
};

const char kTwoVoices[] =
    "<?xml version=\"1.0\"?>\n\n<project>\n\t<name>Two Voices</name>\n"
    "\t<oscilloscope type=\"1\" amplitude=\"0.50\" frequency=\"220\" period=\"0.20\" loop=\"true\" />\n"
    "\t<oscilloscope type=\"3\" amplitude=\"0.25\" frequency=\"440\" period=\"0.30\" mute=\"true\" />\n"
    "</project>";

TEST_F(StartupProject, IsOpenedInTheMainSceneOnceItHasBeenEntered)
{
    const std::string project = dir.File("two.xml");
    WriteFileBytes(project, kTwoVoices);
    size_t voices = 0;
    std::string name;
    bool pathCleared = false;
    {
        Application app;
        app.SetStartupProject(project.c_str());
        int frames = 0;
        OnEveryFrame check([&] {
            if (++frames == 5) {
                CSceneMain& scene = app.GetMainScene();
                voices = scene.GetVoices().size();
                if (scene.GetProjectNameBox())
                    name = scene.GetProjectNameBox()->GetText().CStr();
                pathCleared = app.GetStartupProject().IsEmpty();
                PlatformPushQuit();
            }
        });
        EXPECT_EQ(app.Run(0, nullptr), 0);
    }
    EXPECT_EQ(voices, 2u);
    EXPECT_EQ(name, "Two Voices");
    EXPECT_TRUE(pathCleared) << "a later Open must show the dialog again";
}

std::vector<std::string> g_warnings;
void RecordWarning(const char* caption, const char* text) { g_warnings.push_back(std::string(caption) + ": " + text); }

TEST_F(StartupProject, OneThatCannotBeReadGetsOpensWarningAndTheNewProjectStays)
{
    WriteFileBytes(dir.File("broken.xml"), "<project><oscilloscope></project>");
    fs::create_directory(dir.File("folder.xml"));
    ASSERT_EQ(mkfifo(dir.File("pipe.xml").c_str(), 0600), 0); // nothing ever writes to it
    // Each project with the start of the reason Open gives for it.
    const std::pair<std::string, std::string> projects[] = {
        {dir.File("missing.xml"), "No such file or directory"},
        {dir.File("broken.xml"), "not a well-formed project file"},
        {dir.File("folder.xml"), "Is a directory"},
        {dir.File("pipe.xml"), "Not a regular file"},
    };
    for (const auto& [project, reason] : projects) {
        g_warnings.clear();
        PlatformSetWarningHookForTesting(&RecordWarning);
        size_t voices = 0;
        std::string name;
        {
            Application app;
            app.SetStartupProject(project.c_str());
            int frames = 0;
            OnEveryFrame check([&] {
                if (++frames == 5) {
                    CSceneMain& scene = app.GetMainScene();
                    voices = scene.GetVoices().size();
                    if (scene.GetProjectNameBox())
                        name = scene.GetProjectNameBox()->GetText().CStr();
                    PlatformPushQuit();
                }
            });
            EXPECT_EQ(app.Run(0, nullptr), 0);
        }
        PlatformSetWarningHookForTesting(nullptr);
        EXPECT_EQ(voices, 1u) << project;
        EXPECT_EQ(name, "New Project") << project;
        ASSERT_EQ(g_warnings.size(), 1u) << project;
        const std::string want = "Open Project: Could not open \"" + project + "\": " + reason;
        EXPECT_EQ(g_warnings[0].substr(0, want.size()), want);
    }
}

TEST_F(StartupProject, WithoutOneTheSceneStartsWithANewProject)
{
    size_t voices = 0;
    {
        Application app;
        int frames = 0;
        OnEveryFrame check([&] {
            if (++frames == 5) {
                voices = app.GetMainScene().GetVoices().size();
                PlatformPushQuit();
            }
        });
        EXPECT_EQ(app.Run(0, nullptr), 0);
    }
    EXPECT_EQ(voices, 1u);
}

} // namespace
