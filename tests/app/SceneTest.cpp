#include "app/Scene.h"

#include "gui/GUI.h"
#include "support/GLTestContext.h"
#include "support/TempDir.h"
#include "sound/Wav.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A scene that records what happens to it.
class RecordingScene : public CSceneGeneric {
public:
    using CSceneGeneric::CSceneGeneric;
    void Enter() override
    {
        log.push_back("enter " + std::string(GetName().CStr()));
        CSceneGeneric::Enter();
    }
    void Leave() override
    {
        log.push_back("leave " + std::string(GetName().CStr()));
        CSceneGeneric::Leave();
    }
    void Update() override
    {
        log.push_back("update " + std::string(GetName().CStr()));
        CSceneGeneric::Update();
    }
    std::vector<std::string> log;
};

struct ChangeLog {
    std::vector<std::string> names;
    void OnChanged(const String& name) { names.push_back(name.CStr()); }
    CSlotList slots;
};

class Scenes : public GLTest {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        GLTest::SetUp();
    }
    TempDir dir;
};

TEST_F(Scenes, SwitchesHappenAtTheNextStepAndTheLastSelectionWins)
{
    RecordingScene a("A", "", ""), b("B", "", "");
    CSceneManager manager;
    ChangeLog changes;
    changes.slots.Connect(manager.sceneChanged, &changes, &ChangeLog::OnChanged);
    manager.AddScene(&a);
    manager.AddScene(&b);
    EXPECT_EQ(a.GetManager(), &manager);

    manager.SelectScene(5u);            // out of range: nothing
    manager.SelectScene(String("C"));   // unknown: nothing
    manager.Step();
    EXPECT_EQ(manager.GetCurrentScene(), nullptr);

    manager.SelectScene(1u);
    manager.SelectScene(String("A")); // the last selection of the frame wins
    EXPECT_EQ(manager.GetCurrentScene(), nullptr);
    manager.Step();
    EXPECT_EQ(manager.GetCurrentScene(), &a);
    EXPECT_EQ(a.log, (std::vector<std::string>{"enter A", "update A"}));
    EXPECT_TRUE(b.log.empty());

    // The current scene selected again is left and entered again.
    manager.SelectScene(0u);
    manager.Step();
    EXPECT_EQ(a.log, (std::vector<std::string>{"enter A", "update A", "leave A", "enter A", "update A"}));
    EXPECT_EQ(changes.names, (std::vector<std::string>{"A", "A"}));

    // A switch asked for from inside Update takes effect one frame later.
    a.SetPendingScene("B");
    manager.Step();
    EXPECT_EQ(manager.GetCurrentScene(), &a);
    manager.Step();
    EXPECT_EQ(manager.GetCurrentScene(), &b);
    EXPECT_EQ(a.log.back(), "leave A");
    EXPECT_EQ(changes.names.back(), "B");
}

TEST_F(Scenes, EnterLoadsOnceAndLeaveEmpties)
{
    // A sound for the shared resources, and a scene with a texture-free GUI.
    std::string samples(882, '\x10');
    std::string wav = dir.File("click.wav");
    ASSERT_TRUE(WriteWav(wav.c_str(), 1, 44100, 16, 882, samples.data()));
    std::string shared = dir.File("shared.xml");
    WriteFileBytes(shared, "<resources><sound name=\"click\" file=\"" + wav + "\" /></resources>");
    std::string own = dir.File("own.xml");
    WriteFileBytes(own, "<resources><sound name=\"beep\" file=\"" + wav + "\" /></resources>");
    std::string gui = dir.File("gui.xml");
    WriteFileBytes(gui, "<gui><gui name=\"panel\" x=\"1\" y=\"2\" w=\"3\" h=\"4\" /></gui>");

    CResourceManager appResources;
    appResources.Load(shared.c_str());
    ASSERT_EQ(appResources.GetCount(), 1u);
    CSceneManager manager;
    manager.RegisterResources(&appResources);
    ASSERT_EQ(manager.GetSharedSetCount(), 1u);
    EXPECT_EQ(manager.GetSharedSet(0)->Count(), 1u); // the shared sound got a buffer
    EXPECT_EQ(manager.GetSharedSet(1), nullptr);

    RecordingScene scene("Main", own.c_str(), gui.c_str());
    int entered = 0;
    struct Counter {
        int* count;
        void On() { ++*count; }
        CSlotList slots;
    } counter{&entered, {}};
    counter.slots.Connect(scene.entered, &counter, &Counter::On);
    manager.AddScene(&scene);
    manager.SelectScene(0u);
    manager.Step();
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(scene.GetResources().GetCount(), 1u);
    EXPECT_EQ(scene.GetResources().GetLinkCount(), 1u);
    EXPECT_NE(scene.GetResources().Find("click"), nullptr); // found through the shared manager
    EXPECT_NE(scene.GetGUI().FindElement("panel"), nullptr);
    EXPECT_EQ(scene.GetBuffers().Count(), 1u);
    EXPECT_EQ(scene.GetBuffers().GetLinked().size(), 1u);

    scene.Leave();
    EXPECT_EQ(scene.GetResources().GetCount(), 0u);
    EXPECT_EQ(scene.GetGUI().GetElementCount(), 0u);
    EXPECT_EQ(scene.GetBuffers().Count(), 0u);
    scene.Enter(); // everything comes back
    EXPECT_EQ(scene.GetResources().GetCount(), 1u);
    EXPECT_NE(scene.GetGUI().FindElement("panel"), nullptr);
    EXPECT_EQ(entered, 2);

    // Without file names a scene enters empty and still says so.
    RecordingScene bare("Bare", "", "");
    bare.Enter();
    EXPECT_EQ(bare.GetResources().GetCount(), 0u);
    EXPECT_EQ(bare.GetGUI().GetElementCount(), 0u);
}

TEST(SceneSeed, ComesFromTheDateAndTime)
{
    uint32_t first = CSceneGeneric::DateTimeSeed();
    uint32_t second = CSceneGeneric::DateTimeSeed();
    EXPECT_LE(second - first, 1u);
    // Seconds since 1970 with 365-day years: in 2026 that is past 1.7e9 (as a 32-bit value).
    EXPECT_GT(first, 1700000000u);
}

} // namespace

namespace {

TEST(SceneLifetime, EitherTheSceneOrTheManagerMayGoFirst)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    {
        CSceneManager manager;
        {
            RecordingScene scene("Gone", "", "");
            manager.AddScene(&scene);
            manager.SelectScene(0u);
            manager.Step();
            EXPECT_EQ(manager.GetCurrentScene(), &scene);
        }
        EXPECT_EQ(manager.GetCurrentScene(), nullptr); // forgotten, not left after death
        EXPECT_EQ(manager.GetSceneCount(), 0u);
        manager.Step();
    }
    RecordingScene survivor("Survivor", "", "");
    {
        CSceneManager manager;
        manager.AddScene(&survivor);
        manager.SelectScene(0u);
        manager.Step();
    }
    EXPECT_EQ(survivor.GetManager(), nullptr);
    EXPECT_EQ(survivor.log.back(), "leave Survivor");
}

} // namespace
