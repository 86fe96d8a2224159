// The file dialogs: the model's listing, navigation and OK rules on real temporary folders;
// the widget dialog driven through the input signals; and the modal run inside a real
// application window, fed through the window system's event queue.
#include "GlyphSprite.h"

#include "app/AppGL.h"
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "app/FileDialogLoop.h"
#include "gui/FileDialog.h"
#include "gui/List.h"
#include "gui/Window.h"
#include "platform/Events.h"
#include "support/GLTestContext.h"
#include "support/TempDir.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

TEST(FileDialogModel, ListsUpFoldersThenMatchingFilesEachSortedAndHidesDotEntries)
{
    DialogFolder folder;
    CFileDialog dialog;
    dialog.Open(folder.Request(false));
    EXPECT_STREQ(dialog.GetFolder().CStr(), folder.Folder().c_str());
    EXPECT_STREQ(dialog.GetPathText().CStr(), folder.Folder().c_str());
    EXPECT_EQ(Rows(dialog), (std::vector<std::string>{"..", "Beta/", "sub/", "A.WAV", "b.wav"}));
    EXPECT_FALSE(dialog.IsDone());

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
    EXPECT_STREQ(dialog.GetPathText().CStr(), (folder.Folder() + "b.wav").c_str());
    dialog.SelectRow(2); // a folder's row leaves the path alone
    EXPECT_STREQ(dialog.GetPathText().CStr(), (folder.Folder() + "b.wav").c_str());

    dialog.ActivateRow(2);
    EXPECT_STREQ(dialog.GetFolder().CStr(), (folder.Folder() + "sub/").c_str());
    EXPECT_STREQ(dialog.GetPathText().CStr(), (folder.Folder() + "sub/").c_str());
    EXPECT_EQ(Rows(dialog), (std::vector<std::string>{"..", "inner.wav"}));
    dialog.ActivateRow(0);
    EXPECT_STREQ(dialog.GetFolder().CStr(), folder.Folder().c_str());
    dialog.ActivateRow(99);
    EXPECT_FALSE(dialog.IsDone());

    dialog.ActivateRow(3);
    EXPECT_TRUE(dialog.IsDone());
    EXPECT_TRUE(dialog.IsAccepted());
    EXPECT_STREQ(dialog.GetResult().CStr(), (folder.Folder() + "A.WAV").c_str());
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

TEST(FileDialogModel, MissingStartFolderFallsBackToTheWorkingDirectory)
{
    DialogFolder folder;
    FileDialogRequest request = folder.Request(false);
    request.folder = (folder.Folder() + "no/such/place").c_str();
    CFileDialog dialog;
    dialog.Open(request);
    EXPECT_STREQ(dialog.GetFolder().CStr(), (fs::current_path().lexically_normal().string() + "/").c_str());
    EXPECT_FALSE(dialog.EnterFolder(String(folder.Folder().c_str()) + "b.wav"));
    EXPECT_FALSE(dialog.GetMessage().IsEmpty());
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
    EXPECT_STREQ(view.GetEdit().GetText().CStr(), (folder.Folder() + "song.wav").c_str());
    EmitKey(KeyEnter, InputPress);
    ASSERT_TRUE(view.IsDone());
    EXPECT_STREQ(view.GetModel().GetResult().CStr(), (folder.Folder() + "song.wav").c_str());
}

TEST_F(FileDialogView, ClicksSelectAndEnterAndTheMessageLineSpeaks)
{
    CFileDialogView view(folder.Request(false), glyphs.get());
    view.Place(640, 480);
    int32_t x = 0, y = 0;
    Centre(view.GetEdit(), x, y);
    Click(x, y);
    RowPoint(view, 4, x, y);
    Click(x, y); // the list takes the mouse focus from the path field ...
    EXPECT_STREQ(view.GetEdit().GetText().CStr(), (folder.Folder() + "b.wav").c_str());
    EXPECT_TRUE(view.GetEdit().IsActive()); // ... but typing still goes to the path

    RowPoint(view, 2, x, y);
    DoubleClick(x, y); // "sub/": entered; the release after it selects nothing new
    EXPECT_STREQ(view.GetEdit().GetText().CStr(), (folder.Folder() + "sub/").c_str());
    ASSERT_EQ(view.GetList().GetRowCount(), 2u);
    EXPECT_STREQ(view.GetList().GetCellText(1, 0).CStr(), "inner.wav");

    Type("x");
    int32_t okX = 0, okY = 0;
    Centre(view.GetOkButton(), okX, okY);
    Click(okX, okY);
    EXPECT_FALSE(view.IsDone());
    EXPECT_STREQ(view.GetMessageText().GetText().CStr(), "File not found");
    Type("y"); // typing answers the message
    EXPECT_TRUE(view.GetMessageText().GetText().IsEmpty());

    RowPoint(view, 1, x, y);
    DoubleClick(x, y);
    ASSERT_TRUE(view.IsDone());
    EXPECT_STREQ(view.GetModel().GetResult().CStr(), (folder.Folder() + "sub/inner.wav").c_str());
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
        queue();
        chosen = RunFileDialog(request, nullptr, path);
        eventsDuringDialog = outerEvents;
        outerEvents = 0;
        EmitKey('a', InputPress); // the parked receivers are back
        PlatformPushQuit();
    }
    void OnOuterInput(CInputMap&) { ++outerEvents; }

    FileDialogRequest request;
    std::function<void()> queue;
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

// A key-down of Enter as the window system sends it while the key is held.
void PushRepeatedEnter()
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.repeat = 1;
    event.key.keysym.sym = SDLK_RETURN;
    event.key.keysym.scancode = SDL_SCANCODE_RETURN;
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
            PushRepeatedEnter();
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

} // namespace
