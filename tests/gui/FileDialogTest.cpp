// The file dialogs: the model's listing, navigation, type-ahead and OK rules on real temporary
// folders; the widget dialog driven through the input signals; and the modal run inside a real
// application window, fed through the window system's event queue (keys, typed text, clicks
// and the wheel, as the user makes them).
#include "GlyphSprite.h"

#include "app/AppGL.h"
#include "events/FrameTick.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "app/FileDialogLoop.h"
#include "gui/FileDialog.h"
#include "gui/List.h"
#include "gui/Window.h"
#include "platform/Events.h"
#include "support/GLTestContext.h"
#include "support/ScopedHome.h"
#include "support/TempDir.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A folder holding: the folders "sub" (with "inner.wav"), "Beta" and ".git"; the files
// "b.wav", "A.WAV", "notes.txt" and ".secret.wav".
class DialogFolder {
public:
    DialogFolder()
    {
        fs::create_directory(dir.Path() / "sub");
        fs::create_directory(dir.Path() / "Beta");
        fs::create_directory(dir.Path() / ".git");
        for (const char* name : {"b.wav", "A.WAV", "notes.txt", ".secret.wav", "sub/inner.wav"})
            WriteFileBytes(dir.File(name), "x");
    }
    // The folder's path with a trailing slash, as the dialog shows folders.
    std::string Folder() const { return dir.Path().string() + "/"; }
    FileDialogRequest Request(bool save) const
    {
        FileDialogRequest request;
        request.save = save;
        request.title = save ? "Save Sound" : "Open Sound";
        request.filterDescription = "WAV File (*.wav)";
        request.pattern = "*.wav";
        request.folder = dir.Path().string().c_str();
        return request;
    }
    TempDir dir;
};

std::vector<std::string> Rows(const CFileDialog& dialog)
{
    std::vector<std::string> rows;
    for (size_t i = 0; i < dialog.GetEntries().size(); ++i)
        rows.push_back(dialog.GetRowText(static_cast<int32_t>(i)).CStr());
    return rows;
}

// [SECTION] The model

TEST(FileDialogModel, ListsUpFoldersThenMatchingFilesEachSortedAndHidesDotEntriesUntilAsked)
{
    DialogFolder folder;
    CFileDialog dialog;
    dialog.Open(folder.Request(false));
    EXPECT_STREQ(dialog.GetFolder().CStr(), folder.Folder().c_str());
    EXPECT_TRUE(dialog.GetPathText().IsEmpty()); // the folder line shows where it is
    EXPECT_EQ(Rows(dialog), (std::vector<std::string>{"..", "Beta/", "sub/", "A.WAV", "b.wav"}));
    EXPECT_FALSE(dialog.IsDone());

    dialog.SetPathText("take");
    dialog.SetShowHidden(true);
    EXPECT_EQ(Rows(dialog), (std::vector<std::string>{"..", ".git/", "Beta/", "sub/", ".secret.wav", "A.WAV", "b.wav"}));
    EXPECT_STREQ(dialog.GetPathText().CStr(), "take");
    dialog.Open(folder.Request(false)); // every dialog starts with them hidden
    EXPECT_FALSE(dialog.GetShowHidden());
    EXPECT_EQ(Rows(dialog).size(), 5u);

    FileDialogRequest all = folder.Request(false);
    all.pattern = "*.txt;*.WAV"; // several patterns
    dialog.Open(all);
    EXPECT_EQ(Rows(dialog), (std::vector<std::string>{"..", "Beta/", "sub/", "A.WAV", "b.wav", "notes.txt"}));
}

TEST(FileDialogModel, RowsSelectFilesEnterFoldersAndAcceptOnActivation)
{
    DialogFolder folder;
    CFileDialog dialog;
    dialog.Open(folder.Request(false));
    dialog.SelectRow(4);
    EXPECT_STREQ(dialog.GetPathText().CStr(), "b.wav");
    dialog.SelectRow(2); // a folder's row takes away the name the file's row put there
    EXPECT_EQ(dialog.GetSelected(), 2);
    EXPECT_TRUE(dialog.GetPathText().IsEmpty());

    dialog.Accept(); // OK on a selected folder enters it
    EXPECT_STREQ(dialog.GetFolder().CStr(), (folder.Folder() + "sub/").c_str());
    EXPECT_EQ(Rows(dialog), (std::vector<std::string>{"..", "inner.wav"}));
    EXPECT_EQ(dialog.GetSelected(), -1);
    EXPECT_TRUE(dialog.GoUp());
    EXPECT_STREQ(dialog.GetFolder().CStr(), folder.Folder().c_str());
    EXPECT_EQ(dialog.GetSelected(), 2) << "the folder it came from";
    dialog.ActivateRow(2);
    dialog.ActivateRow(0);
    EXPECT_STREQ(dialog.GetFolder().CStr(), folder.Folder().c_str());
    dialog.ActivateRow(99);
    EXPECT_FALSE(dialog.IsDone());

    dialog.ActivateRow(3);
    EXPECT_TRUE(dialog.IsDone());
    EXPECT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "A.WAV").c_str());
}

TEST(FileDialogModel, ASaveDialogKeepsATypedNameWhileTheUserMovesBetweenFolders)
{
    DialogFolder folder;
    CFileDialog dialog;
    dialog.Open(folder.Request(true));
    dialog.SetPathText("mix");
    dialog.ActivateRow(2);
    EXPECT_STREQ(dialog.GetPathText().CStr(), "mix");
    dialog.GoUp();
    dialog.SelectRow(1); // a folder's row keeps a typed name ...
    EXPECT_STREQ(dialog.GetPathText().CStr(), "mix");
    dialog.Accept(); // ... and OK enters the folder, taking the name along
    EXPECT_STREQ(dialog.GetFolder().CStr(), (folder.Folder() + "Beta/").c_str());
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "Beta/mix.wav").c_str());

    // A typed path to a folder is used up by entering it; an open dialog keeps no name.
    dialog.Open(folder.Request(true));
    dialog.SetPathText("sub");
    dialog.Accept();
    EXPECT_TRUE(dialog.GetPathText().IsEmpty());
    dialog.Open(folder.Request(false));
    dialog.SetPathText("b");
    dialog.ActivateRow(2);
    EXPECT_TRUE(dialog.GetPathText().IsEmpty());
}

TEST(FileDialogModel, TypeAheadJumpsToTheNextNameStartingWithTheLettersTyped)
{
    DialogFolder folder; // "..", "Beta/", "sub/", "A.WAV", "b.wav"
    CFileDialog dialog;
    dialog.Open(folder.Request(false));
    const uint32_t pause = CFileDialog::kTypeAheadPause;
    EXPECT_EQ(dialog.TypeAhead('b', 0), 1);
    EXPECT_EQ(dialog.TypeAhead('.', 100), 4) << "\"b.\" accumulates; a fresh '.' would be \"..\"";
    EXPECT_STREQ(dialog.GetPathText().CStr(), "b.wav");
    EXPECT_EQ(dialog.TypeAhead('x', 200), -1);
    EXPECT_EQ(dialog.GetSelected(), 4) << "no match moves nothing";
    const uint32_t later = 200 + pause + 1; // after a pause the letters start over
    EXPECT_EQ(dialog.TypeAhead('b', later), 1) << "from the row after the selected one, round to the first";
    EXPECT_EQ(dialog.TypeAhead('b', later + 100), 4) << "the same letter again: the next name";
    EXPECT_EQ(dialog.TypeAhead('B', later + 200), 1);
    EXPECT_EQ(dialog.TypeAhead('a', later + 200 + pause + 1), 3) << "letter case does not matter";
    EXPECT_STREQ(dialog.GetPathText().CStr(), "A.WAV");
    EXPECT_EQ(dialog.TypeAhead('s', 5 * pause), 2);
    EXPECT_EQ(dialog.TypeAhead('u', 5 * pause + 10), 2) << "a longer prefix stays on a row that matches it";

    dialog.SetPathText("typed"); // typing in the path field clears the selection
    EXPECT_EQ(dialog.GetSelected(), -1);
    EXPECT_EQ(dialog.TypeAhead('s', 7 * pause), 2);
    dialog.ActivateRow(2); // a new listing starts the letters over
    EXPECT_EQ(dialog.TypeAhead('.', 7 * pause + 10), 0);
}

TEST(FileDialogModel, OpenAcceptsOnlyExistingFilesAndTypedFoldersAreEntered)
{
    DialogFolder folder;
    CFileDialog dialog;
    dialog.Open(folder.Request(false));
    dialog.SetPathText("");
    dialog.Accept(); // nothing to do
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_TRUE(dialog.GetMessage().IsEmpty());

    dialog.SetPathText("missing.wav");
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), "File not found");
    dialog.SetPathText("nowhere/");
    dialog.Accept();
    EXPECT_STREQ(dialog.GetMessage().CStr(), "Folder not found");

    dialog.SetPathText("sub/../sub"); // relative to the folder shown, a folder: entered
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetFolder().CStr(), (folder.Folder() + "sub/").c_str());
    EXPECT_TRUE(dialog.GetMessage().IsEmpty());

    dialog.SetPathText("../b.wav");
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "b.wav").c_str());
}

TEST(FileDialogModel, SaveAsksBeforeReplacingAndNeedsAnExistingFolder)
{
    DialogFolder folder;
    CFileDialog dialog;
    dialog.Open(folder.Request(true));
    dialog.SetPathText("b.wav");
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), "Replace b.wav? Press OK again to replace it.");
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "b.wav").c_str());

    dialog.Open(folder.Request(true));
    dialog.SetPathText("b.wav");
    dialog.Accept();
    dialog.SetPathText("A.WAV"); // another existing file asks again
    dialog.Accept();
    EXPECT_STREQ(dialog.GetMessage().CStr(), "Replace A.WAV? Press OK again to replace it.");
    EXPECT_FALSE(dialog.IsDone());

    dialog.SetPathText("gone/new.wav");
    dialog.Accept();
    EXPECT_STREQ(dialog.GetMessage().CStr(), "Folder not found");
    dialog.SetPathText(String(folder.Folder().c_str()) + "new.wav");
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "new.wav").c_str());
}

TEST(FileDialogModel, SaveAddsThePatternsExtensionBeforeAskingToReplace)
{
    DialogFolder folder;
    WriteFileBytes(folder.dir.File("song.xml"), "<project/>");
    FileDialogRequest project = folder.Request(true);
    project.pattern = "*.xml";
    CFileDialog dialog;
    dialog.Open(project);
    dialog.SetPathText("song"); // song.xml exists: the dialog asks about that file
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), "Replace song.xml? Press OK again to replace it.");
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "song.xml").c_str());

    dialog.Open(project);
    dialog.SetPathText("Song.XML"); // already has it, in any letter case: kept as typed
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "Song.XML").c_str());

    dialog.Open(folder.Request(true)); // the sound dialog: a new name gets ".wav"
    dialog.SetPathText("take");
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "take.wav").c_str());

    // A pattern with wildcards, in its extension or among several, adds nothing; neither
    // does an open dialog.
    for (const char* pattern : {"*.wav;*", "*.wa?", "*"}) {
        FileDialogRequest request = folder.Request(true);
        request.pattern = pattern;
        dialog.Open(request);
        dialog.SetPathText("plain");
        dialog.Accept();
        ASSERT_TRUE(dialog.IsAccepted()) << pattern;
        EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "plain").c_str()) << pattern;
    }
    WriteFileBytes(folder.dir.File("plain"), "x");
    dialog.Open(folder.Request(false));
    dialog.SetPathText("plain");
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "plain").c_str());
}

TEST(FileDialogModel, SaveWithAChoiceOfFormatsAddsTheFirstOnlyToANameWithoutExtension)
{
    DialogFolder folder;
    WriteFileBytes(folder.dir.File("take.wav"), "RIFF");
    FileDialogRequest sound = folder.Request(true);
    sound.pattern = "*.wav;*.flac;*.ogg";
    CFileDialog dialog;
    dialog.Open(sound);
    dialog.SetPathText("take"); // take.wav exists: the dialog asks about that file
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), "Replace take.wav? Press OK again to replace it.");
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "take.wav").c_str());

    // Any extension is kept as typed, a known one or not (the caller judges it); a dot in a
    // folder's name or at the start of the file's is no extension.
    fs::create_directory(folder.dir.Path() / "v1.2");
    const std::pair<const char*, const char*> cases[] = {
        {"take.FLAC", "take.FLAC"}, {"take.ogg", "take.ogg"}, {"take.mp3", "take.mp3"},
        {"v1.2/take", "v1.2/take.wav"}, {".hidden", ".hidden.wav"},
    };
    for (const auto& [typed, saved] : cases) {
        dialog.Open(sound);
        dialog.SetPathText(typed);
        dialog.Accept();
        ASSERT_TRUE(dialog.IsAccepted()) << typed;
        EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + saved).c_str()) << typed;
    }
}

// The request's choice (Save Sound's rate): stepped round, told only when the dialog accepts.
TEST(FileDialogModel, AChoiceStepsRoundAndIsToldOnlyOnAccept)
{
    DialogFolder folder;
    for (const bool accept : {true, false}) {
        FileDialogRequest request = folder.Request(true);
        request.options = {"22050 Hz", "44100 Hz", "48000 Hz"};
        request.option = 2;
        int32_t told = -1;
        request.onOption = [&](int32_t option) { told = option; };
        CFileDialog dialog;
        dialog.Open(request);
        dialog.NextOption();
        dialog.NextOption();
        EXPECT_EQ(dialog.GetOption(), 1); // 2, then round to 0, then 1
        dialog.SetPathText("new.wav");
        accept ? dialog.Accept() : dialog.Cancel();
        EXPECT_EQ(told, accept ? 1 : -1);
    }
}

TEST(FileDialogModel, SavingOntoAFolderOrASpecialFileIsRefused)
{
    DialogFolder folder;
    fs::create_directory(folder.dir.Path() / "mix.wav");
    CFileDialog dialog;
    dialog.Open(folder.Request(true));
    dialog.SetPathText("mix"); // mix.wav is a folder
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), std::strerror(EISDIR));

    // Opening or replacing a pipe would wait for a writer forever.
    ASSERT_EQ(mkfifo(folder.dir.File("pipe.wav").c_str(), 0600), 0);
    for (bool save : {false, true}) {
        dialog.Open(folder.Request(save));
        dialog.SetPathText("pipe.wav");
        dialog.Accept();
        dialog.Accept();
        EXPECT_FALSE(dialog.IsDone()) << save;
        EXPECT_STREQ(dialog.GetMessage().CStr(), "Not a regular file") << save;
    }
}

TEST(FileDialogModel, OpenAndSaveGiveTheSystemsReasonWhenAPathCannotBeUsed)
{
    DialogFolder folder;
    CFileDialog dialog;
    // A name under a regular file fails for every user, root included.
    dialog.Open(folder.Request(false));
    dialog.SetPathText("b.wav/x.wav");
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), std::strerror(ENOTDIR));
    dialog.Open(folder.Request(true));
    dialog.SetPathText("b.wav/x.wav");
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), std::strerror(ENOTDIR));

    // What the access check says goes to the message line, with its errno.
    auto denyFolder = [&](const String& path, int mode) {
        if (mode == (W_OK | X_OK) && std::string(path.CStr()) == folder.Folder() + "sub/") {
            errno = EACCES;
            return false;
        }
        if (std::string(path.CStr()) == folder.Folder() + "A.WAV") {
            errno = EROFS;
            return false;
        }
        return true;
    };
    dialog.Open(folder.Request(true));
    dialog.SetAccessCheck(denyFolder);
    dialog.SetPathText("sub/new");
    dialog.Accept(); // a folder it cannot write in
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), std::strerror(EACCES));
    dialog.SetPathText("A.WAV"); // an existing file it cannot replace: refused before asking
    dialog.Accept();
    EXPECT_STREQ(dialog.GetMessage().CStr(), std::strerror(EROFS));
    dialog.SetPathText("new");
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "new.wav").c_str());

    dialog.Open(folder.Request(false));
    dialog.SetAccessCheck([&](const String& path, int mode) {
        if (mode == R_OK && std::string(path.CStr()) == folder.Folder() + "b.wav") {
            errno = EACCES;
            return false;
        }
        return true;
    });
    dialog.SetPathText("b.wav"); // a file it cannot read
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_STREQ(dialog.GetMessage().CStr(), std::strerror(EACCES));
}

TEST(FileDialogModel, OverlongPathsAreRefusedAndCancelGivesNoPath)
{
    DialogFolder folder;
    CFileDialog dialog;
    dialog.Open(folder.Request(true));
    const std::string name(kFileDialogMaxPath, 'n');
    dialog.SetPathText(name.c_str());
    dialog.Accept();
    EXPECT_FALSE(dialog.IsDone());
    EXPECT_NE(std::string(dialog.GetMessage().CStr()).find("longer than 1024"), std::string::npos);

    // Exactly the limit is fine (the name carries the extension, so nothing is added).
    const std::string fits =
        folder.Folder() + std::string(kFileDialogMaxPath - folder.Folder().size() - 4, 'f') + ".wav";
    dialog.SetPathText(fits.c_str());
    dialog.Accept();
    ASSERT_TRUE(dialog.IsAccepted());
    EXPECT_EQ(dialog.GetResult().Length(), kFileDialogMaxPath);
    dialog.Cancel(); // an Escape queued behind the accepting Enter changes nothing
    EXPECT_TRUE(dialog.IsAccepted());
    EXPECT_EQ(dialog.GetResult().Length(), kFileDialogMaxPath);

    dialog.Open(folder.Request(false));
    dialog.Cancel();
    EXPECT_TRUE(dialog.IsDone());
    EXPECT_FALSE(dialog.IsAccepted());
    EXPECT_TRUE(dialog.GetResult().IsEmpty());
}

TEST(FileDialogModel, WithoutAUsableStartFolderTheDialogStartsAtHomeNeverTheWorkingDirectory)
{
    DialogFolder folder;
    ScopedHome home(folder.dir.File("sub").c_str());
    FileDialogRequest request = folder.Request(false);
    CFileDialog dialog;
    for (const char* start : {"", "no/such/place", "/no/such/place", "b.wav"}) {
        request.folder = start[0] == '/' || !start[0] ? String(start) : String((folder.Folder() + start).c_str());
        dialog.Open(request);
        EXPECT_STREQ(dialog.GetFolder().CStr(), (folder.Folder() + "sub/").c_str()) << start;
    }
    request.folder = "~/../Beta"; // "~" is the home folder too
    dialog.Open(request);
    EXPECT_STREQ(dialog.GetFolder().CStr(), (folder.Folder() + "Beta/").c_str());

    ScopedHome noHome(nullptr);
    request.folder.Clear();
    dialog.Open(request);
    EXPECT_STREQ(dialog.GetFolder().CStr(), "/");
    EXPECT_FALSE(dialog.EnterFolder(String(folder.Folder().c_str()) + "b.wav"));
    EXPECT_FALSE(dialog.GetMessage().IsEmpty());
    EXPECT_FALSE(dialog.GoUp()) << "nothing above the top";
}

// [SECTION] The widget dialog

class FileDialogView : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped())
            return;
        glyphs.reset(NewGlyphSprite(&texture));
    }

    static void Type(const std::string& keys)
    {
        for (char key : keys)
            EmitCharacter(static_cast<unsigned char>(key));
    }
    static void Click(int32_t x, int32_t y)
    {
        EmitMouseMove(x, y);
        EmitMouseButton(MouseLeft, InputPress);
        EmitMouseButton(MouseLeft, InputRelease);
    }
    static void DoubleClick(int32_t x, int32_t y)
    {
        Click(x, y);
        EmitMouseButton(MouseLeft, InputDoubleClick);
        EmitMouseButton(MouseLeft, InputRelease);
    }
    // The middle of a list row on screen.
    static void RowPoint(CFileDialogView& view, int32_t row, int32_t& x, int32_t& y)
    {
        const CVector at = view.GetList().GetAbsolutePosition();
        x = static_cast<int32_t>(at.x) + 20;
        y = static_cast<int32_t>(at.y + view.GetList().RowHeight(0) * (static_cast<float>(row) + 0.5f));
    }
    static void Centre(CGUI& element, int32_t& x, int32_t& y)
    {
        const CVector at = element.GetAbsolutePosition();
        x = static_cast<int32_t>(at.x + element.GetWidth() / 2);
        y = static_cast<int32_t>(at.y + element.GetHeight() / 2);
    }

    CTexture texture;
    std::unique_ptr<CSprite> glyphs;
    DialogFolder folder;
};

TEST_F(FileDialogView, TypingANameAndPressingEnterReturnsThePath)
{
    CFileDialogView view(folder.Request(true), glyphs.get());
    view.Place(640, 480);
    EXPECT_TRUE(view.GetEdit().IsActive());
    EXPECT_EQ(view.GetList().GetRowCount(), 5u);
    Type("song.wav");
    EXPECT_STREQ(view.GetEdit().GetText().CStr(), "song.wav");
    EmitKey(KeyEnter, InputPress);
    ASSERT_TRUE(view.IsDone());
    EXPECT_STREQ(view.GetModel().GetResult().CStr(), (folder.Folder() + "song.wav").c_str());
}

TEST_F(FileDialogView, ClicksSelectEnterAndHandTheKeyboardOverAndTheMessageLineSpeaks)
{
    CFileDialogView view(folder.Request(false), glyphs.get());
    view.Place(640, 480);
    int32_t x = 0, y = 0, editX = 0, editY = 0;
    Centre(view.GetEdit(), editX, editY);
    Click(editX, editY);
    EXPECT_FALSE(view.ListHasKeys());
    RowPoint(view, 4, x, y);
    Click(x, y); // the list takes the keyboard from the path field
    EXPECT_STREQ(view.GetEdit().GetText().CStr(), "b.wav");
    EXPECT_TRUE(view.ListHasKeys());
    EXPECT_FALSE(view.GetEdit().IsActive());
    Type("s"); // type-ahead, not the path
    EXPECT_EQ(view.GetList().GetSelected(), 2);
    EXPECT_TRUE(view.GetEdit().GetText().IsEmpty());
    EmitKey(KeyTab, InputPress);
    EXPECT_TRUE(view.GetEdit().IsActive());
    EmitKey(KeyTab, InputPress);
    EXPECT_FALSE(view.GetEdit().IsActive());

    RowPoint(view, 2, x, y);
    DoubleClick(x, y); // "sub/": entered; the release after it selects nothing new
    EXPECT_TRUE(view.GetEdit().GetText().IsEmpty());
    ASSERT_EQ(view.GetList().GetRowCount(), 2u);
    EXPECT_STREQ(view.GetList().GetCellText(1, 0).CStr(), "inner.wav");
    EXPECT_EQ(view.GetList().GetSelected(), -1);

    Click(editX, editY);
    Type("x");
    int32_t okX = 0, okY = 0;
    Centre(view.GetOkButton(), okX, okY);
    Click(okX, okY);
    EXPECT_FALSE(view.IsDone());
    EXPECT_STREQ(view.GetMessageText().GetText().CStr(), "File not found");
    EXPECT_TRUE(view.GetEdit().IsActive()) << "a button click leaves the keyboard where it was";
    Type("y"); // typing answers the message
    EXPECT_TRUE(view.GetMessageText().GetText().IsEmpty());

    RowPoint(view, 1, x, y);
    DoubleClick(x, y);
    ASSERT_TRUE(view.IsDone());
    EXPECT_STREQ(view.GetModel().GetResult().CStr(), (folder.Folder() + "sub/inner.wav").c_str());
}

TEST_F(FileDialogView, KeysMoveTheSelectionAndKeepItInView)
{
    for (int i = 0; i < 40; ++i)
        WriteFileBytes(folder.dir.File("take" + std::to_string(100 + i) + ".wav"), "x");
    CFileDialogView view(folder.Request(false), glyphs.get());
    CList& list = view.GetList();
    const int32_t fitting = static_cast<int32_t>(list.FittingRows()), last = 44; // "..", 2 folders, 42 files
    ASSERT_GT(fitting, 3);
    auto inView = [&] {
        return list.GetSelected() >= list.GetTopRow() && list.GetSelected() < list.GetTopRow() + fitting;
    };
    EmitKey(KeyDown, InputPress); // from the path field too: nothing selected yet, the first row
    EXPECT_EQ(list.GetSelected(), 0);
    EmitKey(KeyPageDown, InputPress);
    EXPECT_EQ(list.GetSelected(), fitting - 1);
    EmitKey(KeyPageDown, InputPress, true); // held: it goes on
    EXPECT_EQ(list.GetSelected(), 2 * (fitting - 1));
    EXPECT_TRUE(inView());
    EmitKey(KeyPageUp, InputPress);
    EXPECT_EQ(list.GetSelected(), fitting - 1);
    EmitKey(KeyEnd, InputPress); // the path field's key while it has the keyboard
    EXPECT_EQ(list.GetSelected(), fitting - 1);
    EmitKey(KeyTab, InputPress);
    EmitKey(KeyEnd, InputPress);
    EXPECT_EQ(list.GetSelected(), last);
    EXPECT_EQ(list.GetTopRow(), static_cast<int32_t>(list.LastTopRow()));
    EXPECT_STREQ(view.GetEdit().GetText().CStr(), "take139.wav");
    EmitKey(KeyDown, InputPress); // stops at the ends
    EXPECT_EQ(list.GetSelected(), last);
    EmitKey(KeyHome, InputPress);
    EXPECT_EQ(list.GetSelected(), 0);
    EXPECT_EQ(list.GetTopRow(), 0);
    EmitKey(KeyUp, InputPress);
    EXPECT_EQ(list.GetSelected(), 0);
}

TEST_F(FileDialogView, TheWheelScrollsTheListUnderThePointerThreeRowsANotch)
{
    for (int i = 0; i < 40; ++i)
        WriteFileBytes(folder.dir.File("take" + std::to_string(100 + i) + ".wav"), "x");
    CFileDialogView view(folder.Request(false), glyphs.get());
    view.Place(640, 480);
    CList& list = view.GetList();
    int32_t x = 0, y = 0;
    RowPoint(view, 1, x, y);
    EmitMouseMove(x, y); // no click
    EmitMouseWheel(-120);
    EXPECT_EQ(list.GetTopRow(), CFileDialogView::kWheelRows);
    EXPECT_EQ(list.GetHovered(), CFileDialogView::kWheelRows + 1) << "the hover follows the rows";
    EmitMouseWheel(240);
    EXPECT_EQ(list.GetTopRow(), 0);
    Click(x, y); // the list has the mouse focus now, and still scrolls once per notch
    EmitMouseWheel(-120);
    EXPECT_EQ(list.GetTopRow(), CFileDialogView::kWheelRows);
    int32_t okX = 0, okY = 0;
    Centre(view.GetOkButton(), okX, okY);
    EmitMouseMove(okX, okY);
    EmitMouseWheel(-120); // not over the list
    EXPECT_EQ(list.GetTopRow(), CFileDialogView::kWheelRows);
}

TEST_F(FileDialogView, LongNamesEndInAnEllipsisThatKeepsTheExtension)
{
    const std::string name = std::string(120, 'n') + ".wav", folderName = std::string(120, 'f');
    const std::string oddExtension = "x." + std::string(120, 'e') + ".wav.e" + std::string(80, 'e');
    WriteFileBytes(folder.dir.File(name), "x");
    fs::create_directory(folder.dir.Path() / folderName);
    FileDialogRequest request = folder.Request(false);
    request.pattern.Clear();
    WriteFileBytes(folder.dir.File(oddExtension), "x");
    CFileDialogView view(request, glyphs.get());
    CList& list = view.GetList();
    const float width = list.GetColumnWidth(0); // 4 pixels a small letter, 2 a period
    auto rowOf = [&](const std::string& wanted) {
        for (int32_t row = 0; row < static_cast<int32_t>(view.GetModel().GetEntries().size()); ++row)
            if (view.GetModel().GetEntries()[row].name == wanted.c_str())
                return row;
        return -1;
    };
    const int32_t fileRow = rowOf(name);
    ASSERT_GE(fileRow, 0);
    const int32_t room = static_cast<int32_t>(width - 6 - 14) / 4; // less the ellipsis and ".wav"
    EXPECT_EQ(std::string(list.GetCellText(fileRow, 0).CStr()), std::string(room, 'n') + "....wav");
    EXPECT_EQ(std::string(list.GetCellText(rowOf(folderName), 0).CStr()),
              std::string(static_cast<size_t>(width - 6) / 4, 'f') + ".../");
    const std::string odd = list.GetCellText(rowOf(oddExtension), 0).CStr();
    EXPECT_EQ(odd.substr(odd.size() - 3), "...") << "an extension wider than half the row is not kept";
    EXPECT_EQ(odd.rfind("x.eee", 0), 0u);

    view.GetModel().ActivateRow(fileRow); // the whole name is chosen
    EXPECT_STREQ(view.GetModel().GetResult().CStr(), (folder.Folder() + name).c_str());
}

TEST_F(FileDialogView, TheToggleAndCtrlHShowHiddenFiles)
{
    CFileDialogView view(folder.Request(false), glyphs.get());
    view.Place(640, 480);
    EXPECT_FALSE(view.GetHiddenToggle().IsDown());
    EXPECT_EQ(view.GetList().GetRowCount(), 5u);
    int32_t x = 0, y = 0;
    Centre(view.GetHiddenToggle(), x, y);
    Click(x, y);
    EXPECT_TRUE(view.GetModel().GetShowHidden());
    EXPECT_EQ(view.GetList().GetRowCount(), 7u);
    Centre(view.GetHiddenLabel(), x, y);
    Click(x, y); // its words toggle it too
    EXPECT_FALSE(view.GetHiddenToggle().IsDown());
    EXPECT_EQ(view.GetList().GetRowCount(), 5u);
    EmitKey(KeyA + 7, InputPress); // Ctrl+H
    EXPECT_TRUE(view.GetHiddenToggle().IsDown());
    EXPECT_EQ(view.GetList().GetRowCount(), 7u);
    Type("h"); // the letter itself types
    EXPECT_STREQ(view.GetEdit().GetText().CStr(), "h");
    EXPECT_TRUE(view.GetModel().GetShowHidden());
}

TEST_F(FileDialogView, HeldEnterDoesNotAnswerTheReplacePrompt)
{
    CFileDialogView view(folder.Request(true), glyphs.get());
    Type("b");
    EmitKey(KeyEnter, InputPress);
    EXPECT_STREQ(view.GetMessageText().GetText().CStr(), "Replace b.wav? Press OK again to replace it.");
    for (int i = 0; i < 5; ++i)
        EmitKey(KeyEnter, InputPress, true); // the keyboard's auto-repeat
    EXPECT_FALSE(view.IsDone());
    EmitKey(KeyEscape, InputPress, true);
    EXPECT_FALSE(view.IsDone());
    EmitKey(KeyEnter, InputRelease);
    EmitKey(KeyEnter, InputPress); // a fresh press answers
    ASSERT_TRUE(view.IsDone());
    EXPECT_STREQ(view.GetModel().GetResult().CStr(), (folder.Folder() + "b.wav").c_str());
}

TEST_F(FileDialogView, LongPathsScrollSoThatTheirEndStaysInView)
{
    CFileDialogView view(folder.Request(true), glyphs.get());
    CFont& text = view.GetEdit().GetTextElement();
    const float start = text.GetX();
    Type("a");
    EXPECT_EQ(text.GetX(), start); // short: not scrolled
    Type(std::string(200, 'a'));  // 4 pixels each: far wider than the field
    CTextLayout layout;
    text.Layout(layout);
    EXPECT_EQ(layout.lines, 1u);
    EXPECT_LT(text.GetX(), 0.0f);
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
    ASSERT_TRUE(view.GetEdit().GetCaretRect(x, y, width, height));
    EXPECT_LE(x + width, view.GetEdit().GetWidth());
    EXPECT_GT(x, view.GetEdit().GetWidth() - 20.0f);
}

TEST_F(FileDialogView, EscapeCancelAndTheCloseButtonCancel)
{
    {
        CFileDialogView view(folder.Request(false), glyphs.get());
        EmitKey(KeyEscape, InputPress);
        EXPECT_TRUE(view.IsDone());
        EXPECT_FALSE(view.GetModel().IsAccepted());
    }
    for (int which = 0; which < 2; ++which) {
        CFileDialogView view(folder.Request(false), glyphs.get());
        view.Place(640, 480);
        int32_t x = 0, y = 0;
        Centre(which == 0 ? view.GetCancelButton() : view.GetWindow().GetCloseButton(), x, y);
        Click(x, y);
        EXPECT_TRUE(view.IsDone()) << which;
        EXPECT_FALSE(view.GetModel().IsAccepted()) << which;
    }
}

TEST_F(FileDialogView, DrawsTheTitleBarAndBodyOverWhatLiesBelow)
{
    CFileDialogView view(folder.Request(false), glyphs.get());
    view.Place(GLTestContext::kSide, GLTestContext::kSide); // the window's corner at (0, 0)
    view.DrawOverlay();
    uint8_t bar[4], body[4];
    GLTestContext::Pixel(4, GLTestContext::kSide - 1 - 4, bar);
    GLTestContext::Pixel(4, GLTestContext::kSide - 1 - 40, body);
    EXPECT_NEAR(bar[0], 61, 2);
    EXPECT_NEAR(bar[1], 143, 2);
    EXPECT_NEAR(bar[2], 224, 2);
    EXPECT_NEAR(body[0], 41, 2);
    EXPECT_NEAR(body[1], 41, 2);
    EXPECT_NEAR(body[2], 46, 2);
}

// [SECTION] The modal run in an application window

// An application whose first frame runs a dialog, with the events queued for it beforehand.
class CDialogApp : public CAppGL {
public:
    int Run(int, char**) override
    {
        if (!CreateGL(400, 300, true, false, false, 32, 24, 8, 0))
            return 1;
        MainLoop();
        return 0;
    }
    void Draw() override
    {
        ++frames;
        if (frames > 400) // a dialog that never ends fails the test instead of hanging it
            PlatformPushWindowClose();
        if (started)
            return;
        started = true;
        slots.Connect(GetKeyboardSignal(), this, &CDialogApp::OnOuterInput);
        slots.Connect(GetMouseSignal(), this, &CDialogApp::OnOuterInput);
        slots.Connect(GetFrameTick(), this, &CDialogApp::OnTick);
        if (queue)
            queue();
        chosen = RunFileDialog(request, nullptr, path);
        eventsDuringDialog = outerEvents;
        outerEvents = 0;
        EmitKey('a', InputPress); // the parked receivers are back
        PlatformPushQuit();
    }
    void OnOuterInput(CInputMap&) { ++outerEvents; }
    // One step a frame while the dialog runs: the events a step queues have been handled
    // when the next one looks. The test asks for every frame, so that a dialog that never
    // ends reaches the frame limit.
    void OnTick()
    {
        RequestTickWithin(1);
        RequestRedraw();
        if (CFileDialogView* view = GetRunningFileDialog())
            if (step < steps.size())
                steps[step++](*view);
    }

    FileDialogRequest request;
    std::function<void()> queue;
    std::vector<std::function<void(CFileDialogView&)>> steps;
    size_t step = 0;
    bool started = false;
    bool chosen = false;
    String path = "untouched";
    int frames = 0;
    int outerEvents = 0;
    int eventsDuringDialog = -1;
    CSlotList slots;
};

class FileDialogRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* why = "";
        if (!PlatformInitVideo(&why))
            GTEST_SKIP() << "no display: " << why;
        // A run that ended by closing its window leaves the quit it asks for afterwards.
        PlatformMessage stale;
        while (PlatformPollMessage(nullptr, &stale)) {
        }
    }
};

TEST_F(FileDialogRun, ReturnsTheTypedPathAndHandsTheInputBack)
{
    DialogFolder folder;
    CDialogApp app;
    app.request = folder.Request(true);
    app.queue = [] {
        PlatformPushText("take.wav");
        PlatformPushKey(KeyEnter, true);
        PlatformPushKey(KeyEnter, false);
    };
    EXPECT_EQ(AppMain(0, nullptr), 0);
    EXPECT_TRUE(app.chosen);
    EXPECT_STREQ(app.path.CStr(), (folder.Folder() + "take.wav").c_str());
    EXPECT_EQ(app.eventsDuringDialog, 0);
    EXPECT_EQ(app.outerEvents, 1);
    EXPECT_LT(app.frames, 400);
}

// A key-down as the window system sends it while the key is held.
void PushRepeatedKey(SDL_Keycode key)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.repeat = 1;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    PlatformPushEvent(event);
}

TEST_F(FileDialogRun, HoldingEnterOnTheReplacePromptDoesNotReplace)
{
    DialogFolder folder;
    CDialogApp app;
    app.request = folder.Request(true);
    app.queue = [] {
        PlatformPushText("b.wav"); // exists: the first Enter asks
        PlatformPushKey(KeyEnter, true);
        for (int i = 0; i < 4; ++i)
            PushRepeatedKey(SDLK_RETURN);
        PlatformPushKey(KeyEnter, false);
        PlatformPushWindowClose(); // still asking: closing cancels
    };
    EXPECT_EQ(AppMain(0, nullptr), 0);
    EXPECT_FALSE(app.chosen);
    EXPECT_STREQ(app.path.CStr(), "untouched");
    EXPECT_LT(app.frames, 400);
}

TEST_F(FileDialogRun, ClosingTheWindowCancelsTheDialogAndEndsTheProgram)
{
    DialogFolder folder;
    {
        CDialogApp app;
        app.request = folder.Request(false);
        app.queue = [] {
            PlatformPushText("b.wav");
            PlatformPushWindowClose();
        };
        EXPECT_EQ(AppMain(0, nullptr), 0);
        EXPECT_FALSE(app.chosen);
        EXPECT_STREQ(app.path.CStr(), "untouched");
        EXPECT_FALSE(app.IsRunning());
    }
    FileDialogRequest request;
    String path;
    EXPECT_FALSE(RunFileDialog(request, nullptr, path)); // no application
}

// Presses and releases a key, as a tap on the keyboard does.
void Tap(int32_t key, bool control = false)
{
    PlatformPushKey(key, true, control);
    PlatformPushKey(key, false, control);
}

void PushClick(CGUI& element)
{
    const CVector at = element.GetAbsolutePosition();
    PlatformPushMouseMove(static_cast<int32_t>(at.x + element.GetWidth() / 2),
                          static_cast<int32_t>(at.y + element.GetHeight() / 2));
    PlatformPushMouseButton(0, true);
    PlatformPushMouseButton(0, false);
}

TEST_F(FileDialogRun, ArrowsAndEnterWalkIntoAFolderAndAcceptAFile)
{
    DialogFolder folder; // "..", "Beta/", "sub/", "A.WAV", "b.wav"; sub holds "inner.wav"
    CDialogApp app;
    app.request = folder.Request(false);
    app.queue = [] {
        for (int i = 0; i < 3; ++i)
            Tap(KeyDown); // from the path field: "..", "Beta/", "sub/"
        Tap(KeyEnter);    // OK on a selected folder enters it
        Tap(KeyDown);
        Tap(KeyDown);
        Tap(KeyEnter);
    };
    EXPECT_EQ(AppMain(0, nullptr), 0);
    EXPECT_TRUE(app.chosen);
    EXPECT_STREQ(app.path.CStr(), (folder.Folder() + "sub/inner.wav").c_str());

    CDialogApp list;
    list.request = folder.Request(false);
    list.queue = [] {
        Tap(KeyTab); // the list takes the keyboard
        Tap(KeyEnd);
        Tap(KeyUp);
        Tap(KeyEnter);
    };
    EXPECT_EQ(AppMain(0, nullptr), 0);
    EXPECT_STREQ(list.path.CStr(), (folder.Folder() + "A.WAV").c_str());
}

TEST_F(FileDialogRun, TypedLettersJumpInTheListAndGoToThePathFieldWhenItHasTheKeys)
{
    DialogFolder folder;
    CDialogApp app;
    app.request = folder.Request(false);
    std::string pathAfterTyping;
    int32_t selectedAfterTyping = -2;
    app.steps = {
        [](CFileDialogView&) { PlatformPushText("su"); },
        [&](CFileDialogView& view) {
            pathAfterTyping = view.GetEdit().GetText().CStr();
            PushClick(view.GetList()); // the middle row: the list has the keyboard now
            Tap(KeyHome);
            PlatformPushText("b.");
        },
        [&](CFileDialogView& view) {
            selectedAfterTyping = view.GetList().GetSelected();
            Tap(KeyEnter);
        },
    };
    EXPECT_EQ(AppMain(0, nullptr), 0);
    EXPECT_EQ(pathAfterTyping, "su");
    EXPECT_EQ(selectedAfterTyping, 4) << "\"b.\": b.wav, past Beta";
    EXPECT_STREQ(app.path.CStr(), (folder.Folder() + "b.wav").c_str());
}

TEST_F(FileDialogRun, BackspaceInAnEmptyPathFieldGoesToTheFolderAbove)
{
    DialogFolder folder;
    CDialogApp app;
    app.request = folder.Request(false);
    app.request.folder = folder.dir.File("sub").c_str();
    std::vector<std::string> folders;
    auto record = [&](CFileDialogView& view) { folders.push_back(view.GetModel().GetFolder().CStr()); };
    app.steps = {
        [&](CFileDialogView& view) {
            record(view);
            PlatformPushText("x");
            Tap(KeyBackspace); // takes the "x" away: still in sub
        },
        [&](CFileDialogView& view) {
            record(view);
            PushRepeatedKey(SDLK_BACKSPACE); // the keyboard's auto-repeat does not climb
        },
        [&](CFileDialogView& view) {
            record(view);
            Tap(KeyBackspace);
        },
        [&](CFileDialogView& view) {
            record(view);
            EXPECT_EQ(view.GetList().GetSelected(), 2) << "the folder it came from";
            Tap(KeyEnter); // and back into it
        },
        [&](CFileDialogView& view) {
            record(view);
            Tap(KeyEscape);
        },
    };
    EXPECT_EQ(AppMain(0, nullptr), 0);
    EXPECT_FALSE(app.chosen);
    const std::string sub = folder.Folder() + "sub/";
    EXPECT_EQ(folders, (std::vector<std::string>{sub, sub, sub, folder.Folder(), sub}));
}

TEST_F(FileDialogRun, TheWheelScrollsTheListUnderThePointerWithoutAClick)
{
    DialogFolder folder;
    for (int i = 0; i < 30; ++i)
        WriteFileBytes(folder.dir.File("take" + std::to_string(100 + i) + ".wav"), "x");
    CDialogApp app;
    app.request = folder.Request(false);
    std::vector<int32_t> tops;
    app.steps = {
        [](CFileDialogView& view) {
            const CVector at = view.GetList().GetAbsolutePosition();
            PlatformPushMouseMove(static_cast<int32_t>(at.x) + 30, static_cast<int32_t>(at.y) + 30);
            PlatformPushMouseWheel(-1);
        },
        [&](CFileDialogView& view) {
            tops.push_back(view.GetList().GetTopRow());
            PlatformPushMouseWheel(-2);
        },
        [&](CFileDialogView& view) {
            tops.push_back(view.GetList().GetTopRow());
            const CVector at = view.GetOkButton().GetAbsolutePosition();
            PlatformPushMouseMove(static_cast<int32_t>(at.x) + 5, static_cast<int32_t>(at.y) + 5);
            PlatformPushMouseWheel(1); // not over the list: nothing moves
        },
        [&](CFileDialogView& view) {
            tops.push_back(view.GetList().GetTopRow());
            Tap(KeyEscape);
        },
    };
    EXPECT_EQ(AppMain(0, nullptr), 0);
    EXPECT_EQ(tops, (std::vector<int32_t>{3, 9, 9}));
}

TEST_F(FileDialogRun, CtrlHAndTheToggleShowAndHideHiddenFiles)
{
    DialogFolder folder;
    CDialogApp app;
    app.request = folder.Request(false);
    std::vector<uint32_t> rows;
    app.steps = {
        [&](CFileDialogView& view) {
            rows.push_back(view.GetList().GetRowCount());
            Tap(KeyA + 7, true);
        },
        [&](CFileDialogView& view) {
            rows.push_back(view.GetList().GetRowCount());
            PushClick(view.GetHiddenToggle());
        },
        [&](CFileDialogView& view) {
            rows.push_back(view.GetList().GetRowCount());
            PlatformPushText(".s"); // hidden again: the path field has it
            Tap(KeyEnter);
        },
    };
    EXPECT_EQ(AppMain(0, nullptr), 0);
    EXPECT_EQ(rows, (std::vector<uint32_t>{5, 7, 5}));
    EXPECT_FALSE(app.chosen) << "\".s\" names no file";
}

} // namespace
