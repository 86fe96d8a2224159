// Unsaved work as a user meets it in the real Application: the question on quitting, a file
// dropped on the window, and the autosave that a SIGTERM leaves and the next start recovers.
// Questions are answered by a runner that records them; settings and autosaves go to the test
// run's own folders (tests/support/TestMain.cpp).
#include "app/Application.h"

#include "app/QuestionLoop.h"
#include "gui/Menu.h"
#include "platform/Events.h"
#include "platform/Paths.h"
#include "platform/Termination.h"
#include "support/DiskAudio.h"
#include "support/FrameScript.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

namespace {

class UnsavedWork : public DiskAudioTest {
protected:
    void SetUp() override
    {
        DiskAudioTest::SetUp();
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display: these tests run under a (virtual) X server";
    }
    void TearDown() override { PlatformResetTerminationForTesting(); }

    // Answers each question with the next of answers (the cancel button when none is left).
    QuestionRunner Answer(std::vector<int32_t> answers)
    {
        return [this, answers](const QuestionRequest& question) mutable {
            asked.push_back(question.text.CStr());
            const int32_t answer = answers.empty() ? question.cancelButton : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        };
    }
    std::vector<std::string> asked;
};

TEST_F(UnsavedWork, ClosingAsksAndCancelKeepsTheProgramRunning)
{
    std::string titleEdited;
    bool ranAfterCancel = false;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        scene.SetQuestionRunner(Answer({2, 1})); // Cancel, then Don't Save
        script.After(5, [&] {
            scene.GetVoices()[0]->SetSlider(ValueAmplitude, 300.0f);
            PlatformPushWindowClose();
        });
        script.After(3, [&] {
            ranAfterCancel = true;
            titleEdited = scene.GetTitle().CStr();
            PlatformPushWindowClose();
        });
        script.After(200, [] { ADD_FAILURE() << "Don't Save did not end the program"; });
        app.Run(0, nullptr);
    }
    EXPECT_TRUE(ranAfterCancel);
    EXPECT_EQ(titleEdited, "*New Project \xE2\x80\x94 Quillwave");
    EXPECT_EQ(asked, (std::vector<std::string>{"Save changes to New Project?", "Save changes to New Project?"}));
}

TEST_F(UnsavedWork, ADroppedProjectOpensAndBecomesRecent)
{
    const std::string project = dir.File("dropped.xml");
    WriteFileBytes(project, "<project><name>Dropped</name><oscilloscope/><oscilloscope/></project>");
    size_t voices = 0, reopened = 0;
    std::vector<String> recent;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        script.After(5, [&] { PlatformPushDropFile(project.c_str()); });
        script.After(3, [&] {
            voices = scene.GetVoices().size();
            recent = scene.GetRecentProjects();
            scene.NewProject();
            if (auto* menu = dynamic_cast<CMenu*>(scene.GetGUI().FindElement("mnuRecent")))
                menu->onChoose.Emit(String("mnuRecent0")); // Open Recent's first item
        });
        script.After(3, [&] { reopened = scene.GetVoices().size(); });
        app.Run(0, nullptr);
    }
    EXPECT_EQ(voices, 2u);
    EXPECT_EQ(reopened, 2u) << "Open Recent did not open the project";
    ASSERT_FALSE(recent.empty());
    EXPECT_EQ(std::string(recent[0].CStr()), project);
    EXPECT_EQ(LoadSettings(PlatformConfigFolder()).recentProjects.front(), project) << "kept for the next run";
}

TEST_F(UnsavedWork, SigtermKeepsTheWorkAndTheNextStartRecoversIt)
{
    bool autosavedByTimer = false;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        app.GetSession().SetAutosaveDelay(50);
        script.After(5, [&] { scene.GetVoices()[0]->SetSlider(ValueFrequency, 1234.0f); });
        script.After(5, [&] {
            autosavedByTimer = app.GetSession().GetAutosave().HasFile();
            scene.GetVoices()[0]->SetSlider(ValueFrequency, 1500.0f); // after the autosave: the signal writes it
            std::raise(SIGTERM);
        });
        script.After(200, [] { ADD_FAILURE() << "SIGTERM did not end the program"; });
        app.Run(0, nullptr);
    }
    EXPECT_TRUE(autosavedByTimer);
    PlatformResetTerminationForTesting();
    ASSERT_EQ(CAutosave::FindOrphans(PlatformStateFolder()).size(), 1u);

    float recovered = 0;
    std::string title;
    bool autosavedAgain = false, savedRemovesIt = false;
    {
        Application app;
        CFrameScript script;
        CSceneMain& scene = app.GetMainScene();
        scene.SetQuestionRunner(Answer({0})); // Recover
        script.After(5, [&] {
            recovered = scene.GetVoices()[0]->GetShown(ValueFrequency);
            title = scene.GetTitle().CStr();
            autosavedAgain = app.GetSession().GetAutosave().HasFile();
            scene.SetFileDialogRunner(DialogAnswers({dir.File("recovered.xml")}));
            scene.SaveProject();
            savedRemovesIt = !app.GetSession().GetAutosave().HasFile();
        });
        app.Run(0, nullptr);
    }
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("\"New Project\""), std::string::npos) << asked[0];
    EXPECT_EQ(recovered, 1500.0f);
    EXPECT_EQ(title, "*New Project \xE2\x80\x94 Quillwave") << "recovered work is not saved anywhere";
    EXPECT_TRUE(CAutosave::FindOrphans(PlatformStateFolder()).empty()) << "recovered once, offered no more";
    EXPECT_TRUE(autosavedAgain) << "the recovered work was not safe again at once";
    EXPECT_TRUE(savedRemovesIt);
}

TEST_F(UnsavedWork, SigtermEndsTheProgramWhileItsQuitQuestionIsOpen)
{
    bool questionOpen = false;
    {
        Application app; // with its own question box and modal loop
        CFrameScript script;
        script.After(5, [&] {
            app.GetMainScene().GetVoices()[0]->SetSlider(ValueFrequency, 1234.0f);
            PlatformPushQuit(); // Ctrl+Q: "Save changes to New Project?"
        });
        script.After(5, [&] {
            questionOpen = GetRunningQuestion() != nullptr;
            std::raise(SIGTERM);
        });
        script.After(200, [] { ADD_FAILURE() << "SIGTERM did not end the program"; });
        app.Run(0, nullptr);
    }
    EXPECT_TRUE(questionOpen);
    const auto orphans = CAutosave::FindOrphans(PlatformStateFolder());
    ASSERT_EQ(orphans.size(), 1u) << "the work was not kept on the way out";
    CAutosave::Discard(orphans[0].path);
}

} // namespace
