// The GUI manager: mouse routing (focus, clicks, hover, dragging) and loading descriptions
// (z order, sizes, attributes, colours, parents, the factory).
#include "SignalLog.h"

#include "events/Input.h"
#include "gui/GUI.h"
#include "gui/GUIManager.h"
#include "media/ResourceManager.h"
#include "media/Sprite.h"
#include "sound/Sound.h"
#include "support/TempDir.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

// [SECTION] Routing

class Routing : public ::testing::Test {
protected:
    // An enabled element at (x, y), w × h, added to the manager and watched as prefix.
    CGUI* Add(const std::string& prefix, float x, float y, float w = 20, float h = 20)
    {
        auto* element = new CGUI;
        element->SetName(prefix.c_str());
        element->SetEnabled(true);
        element->SetPosition(x, y);
        element->SetSize(w, h);
        manager.AddElement(element);
        log.Watch(*element, prefix);
        return element;
    }

    Words Send(int32_t action, float x, float y, int32_t button = MouseLeft)
    {
        CInputMap event;
        event.action = action;
        event.button = button;
        event.position = CVector(x, y, 0.0f, 0.0f);
        manager.OnMouse(event);
        return log.Take();
    }

    CGUIManager manager;
    SignalLog log;
};

TEST_F(Routing, PressWithAnyButtonMovesTheFocusAndReleaseOverItClicks)
{
    CGUI* a = Add("a", 10, 10);
    CGUI* b = Add("b", 50, 10);
    EXPECT_EQ(Send(InputPress, 15, 15, MouseRight), (Words{"afocus+", "ainput1", "apress"}));
    EXPECT_EQ(manager.GetFocus(), a);
    EXPECT_EQ(Send(InputRelease, 15, 15, MouseRight), (Words{"ainput0", "arelease"}));
    EXPECT_EQ(Send(InputPress, 55, 15, MouseMiddle), (Words{"afocus-", "bfocus+", "binput1", "bpress"}));
    EXPECT_EQ(Send(InputPress, 56, 16), (Words{"binput1", "bpress"})); // no second focus gain
    EXPECT_EQ(Send(InputDoubleClick, 57, 17), (Words{"binput2", "bdouble"}));
    EXPECT_EQ(Send(InputWheel, 0, 0, MouseNoButton), (Words{"binput4"}));
    EXPECT_EQ(Send(InputPress, 300, 300), (Words{"bfocus-"}));
    EXPECT_EQ(manager.GetFocus(), nullptr);
    EXPECT_FALSE(b->HasFocus());
    EXPECT_EQ(Send(InputRelease, 55, 15), Words{});
}

// Two quick clicks on neighbouring elements are no double click on the second: it is pressed.
TEST_F(Routing, ADoubleClickAwayFromTheFocusIsAPressWhereItLands)
{
    CGUI* a = Add("a", 10, 10);
    Add("b", 31, 10);
    Send(InputPress, 29, 15);
    EXPECT_EQ(Send(InputRelease, 29, 15), (Words{"ainput0", "arelease"}));
    EXPECT_EQ(Send(InputDoubleClick, 32, 15), (Words{"afocus-", "bfocus+", "binput1", "bpress"}));
    EXPECT_EQ(Send(InputRelease, 32, 15), (Words{"binput0", "brelease"}));
    EXPECT_EQ(Send(InputDoubleClick, 33, 15), (Words{"binput2", "bdouble"}));
    Send(InputRelease, 33, 15);
    // On nothing it drops the focus like a press; with no focus it is the element's press.
    EXPECT_EQ(Send(InputDoubleClick, 300, 300), (Words{"bfocus-"}));
    EXPECT_EQ(manager.GetFocus(), nullptr);
    EXPECT_EQ(Send(InputDoubleClick, 12, 12, MouseRight), (Words{"afocus+", "ainput1", "apress"}));
    EXPECT_EQ(manager.GetFocus(), a);

    // Listeners after the manager still hear the double click as it came.
    int32_t heard = -1;
    struct Listener {
        int32_t* heard;
        void OnMouse(CInputMap& e) { *heard = e.action; }
    } listener{&heard};
    CSlotList slots;
    slots.Connect(GetMouseSignal(), &listener, &Listener::OnMouse);
    EmitMouseMove(32, 15);
    log.Take();
    EmitMouseButton(MouseLeft, InputDoubleClick);
    EXPECT_EQ(log.Take(), (Words{"afocus-", "bfocus+", "binput1", "bpress"}));
    EXPECT_EQ(heard, InputDoubleClick);
}

TEST_F(Routing, ReleaseOutsideTheFocusedElementIsNoClick)
{
    CGUI* a = Add("a", 10, 10);
    Send(InputPress, 15, 15);
    EXPECT_EQ(Send(InputMove, 100, 100), (Words{"ainput3"})); // a holds the pointer
    EXPECT_EQ(Send(InputRelease, 100, 100), (Words{"ainput0"}));
    EXPECT_EQ(manager.GetFocus(), a);
    EXPECT_TRUE(a->HasFocus());
}

TEST_F(Routing, HoverGoesToTheOneTopmostEnabledVisibleElementUnderThePointer)
{
    Add("a", 10, 10);
    Add("b", 15, 15); // overlaps a, later in the list: below it
    auto* plain = new CGUI; // never enabled: no hover, no focus
    plain->SetSize(100, 100);
    manager.AddElement(plain);
    log.Watch(*plain, "p");
    CGUI* hidden = Add("h", 0, 0, 100, 100);
    hidden->SetParent(plain);
    plain->SetEnabled(true);
    plain->SetVisible(false);
    log.Take();
    EXPECT_EQ(Send(InputMove, 20, 20), (Words{"aover"}));
    EXPECT_EQ(Send(InputMove, 21, 20), (Words{"aover"}));
    EXPECT_EQ(Send(InputMove, 33, 33), (Words{"aout", "bover"}));
    EXPECT_EQ(Send(InputMove, 90, 90), (Words{"bout"}));
    EXPECT_EQ(Send(InputPress, 90, 90), Words{});
    EXPECT_EQ(manager.GetFocus(), nullptr);
}

TEST_F(Routing, TheMouseSignalReachesEveryManager)
{
    Add("a", 10, 10);
    EmitMouseMove(12, 12);
    EmitMouseButton(MouseLeft, InputPress);
    EXPECT_EQ(log.Take(), (Words{"aover", "afocus+", "ainput1", "apress"}));
}

TEST_F(Routing, DraggingMovesOnEveryMoveAndReportsTheEndOnce)
{
    CGUI* a = Add("a", 10, 10);
    a->SetMoveable(true);
    Send(InputPress, 15, 15, MouseRight); // only the left button drags
    EXPECT_EQ(Send(InputMove, 40, 40), (Words{"ainput3"}));
    Send(InputRelease, 40, 40, MouseRight);
    EXPECT_EQ(a->GetX(), 10.0f);

    EXPECT_EQ(Send(InputPress, 15, 15), (Words{"ainput1", "apress"}));
    EXPECT_TRUE(a->IsDragging());
    EXPECT_EQ(Send(InputMove, 30, 40), (Words{"ainput3", "amove 25 35"}));
    EXPECT_EQ(Send(InputMove, 35, 45), (Words{"ainput3", "amove 30 40"}));
    EXPECT_TRUE(a->IsMoving());
    EXPECT_EQ(Send(InputRelease, 35, 45), (Words{"ainput0", "amoved 30 40", "arelease"}));
    EXPECT_FALSE(a->IsDragging());
    EXPECT_FALSE(a->IsMoving());
    EXPECT_EQ(Send(InputMove, 36, 45), (Words{"ainput3", "aover"}));
}

TEST_F(Routing, ASlotThatDeletesEveryElementEndsTheRouting)
{
    CGUI* a = Add("a", 10, 10);
    Add("b", 10, 10);
    struct Deleter {
        void Delete() { manager->DeleteAll(); }
        CGUIManager* manager;
    } deleter{&manager};
    CSlotList slots;
    slots.Connect(a->onPress, &deleter, &Deleter::Delete);
    Send(InputPress, 15, 15);
    EXPECT_EQ(manager.GetElementCount(), 0u);
    EXPECT_EQ(manager.GetFocus(), nullptr);

    CGUI* c = Add("c", 10, 10);
    slots.Connect(c->onMouseOver, &deleter, &Deleter::Delete);
    Add("d", 10, 10);
    Send(InputMove, 15, 15);
    EXPECT_EQ(manager.GetElementCount(), 0u);
}

TEST(RoutingLifetime, ASlotThatDeletesTheManagerEndsTheRouting)
{
    auto* manager = new CGUIManager;
    auto* a = new CGUI;
    a->SetEnabled(true);
    a->SetSize(20, 20);
    manager->AddElement(a);
    struct Deleter {
        void OnFocus(bool) { delete manager; }
        CGUIManager* manager;
    } deleter{manager};
    CSlotList slots;
    slots.Connect(a->onFocus, &deleter, &Deleter::OnFocus);
    CInputMap press;
    press.action = InputPress;
    press.button = MouseLeft;
    press.position = CVector(5, 5, 0, 0);
    manager->OnMouse(press); // the focus change deletes the manager: nothing is touched after
    EXPECT_EQ(slots.GetCount(), 1u);
}

// [SECTION] Descriptions

class Description : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* icon = new CSprite;
        icon->name = "icon";
        icon->AddFrame("", 0, 0, 24, 12, 0, nullptr);
        icon->AddFrame("", 0, 0, 8, 4, 0, nullptr);
        resources.Add(icon);
        auto* sound = new CSound;
        sound->name = "beep";
        resources.Add(sound);
    }

    void Load(const std::string& text)
    {
        CXMLDocument document;
        ASSERT_TRUE(document.Parse(text.c_str())) << text;
        manager.LoadElements(document, resources);
    }

    CGUI* Find(const char* name) { return manager.FindElement(name); }

    CResourceManager resources;
    CGUIManager manager;
};

TEST_F(Description, EarlierNodesLieInFrontAndSizesComeFromFrames)
{
    Load("<gui><gui name='a'/><gui name='b' sprite='icon'/><gui name='c' sprite='icon' frame='1' z='9'/>"
         "<gui name='d' sprite='beep' w='5'/><gui name='e' sprite='nothing' frame='1'/></gui>");
    ASSERT_EQ(manager.GetElementCount(), 5u);
    EXPECT_EQ(Find("a")->GetZ(), 5.0f);
    EXPECT_EQ(Find("b")->GetZ(), 4.0f);
    EXPECT_EQ(Find("c")->GetZ(), 9.0f);
    EXPECT_EQ(Find("e")->GetZ(), 1.0f);
    EXPECT_EQ(Find("a")->GetWidth(), 1.0f);
    EXPECT_EQ(Find("b")->GetWidth(), 24.0f);
    EXPECT_EQ(Find("b")->GetHeight(), 12.0f);
    EXPECT_EQ(Find("c")->GetWidth(), 8.0f);
    EXPECT_EQ(Find("c")->GetCurrentFrame(), 1u);
    // A sound is no sprite, and a missing name shows nothing.
    EXPECT_EQ(Find("d")->GetSprite().FrameCount(), 0u);
    EXPECT_TRUE(Find("d")->material.textures.empty());
    EXPECT_EQ(Find("d")->GetWidth(), 5.0f);
    EXPECT_EQ(Find("d")->GetHeight(), 1.0f);
    EXPECT_EQ(Find("e")->GetCurrentFrame(), 0u);
}

TEST_F(Description, CommonAttributes)
{
    Load("<gui><gui name='x' x='12.5' y='-3' w='40' h='30' align='4' visible='false' moveable='1'/></gui>");
    CGUI* x = Find("x");
    EXPECT_EQ(x->GetX(), 12.5f);
    EXPECT_EQ(x->GetY(), -3.0f);
    EXPECT_EQ(x->GetWidth(), 40.0f);
    EXPECT_EQ(x->GetAlign(), 4);
    EXPECT_FALSE(x->IsVisible());
    EXPECT_TRUE(x->IsMoveable());
    EXPECT_FALSE(x->IsEnabled()); // plain elements stay disabled unless told
}

TEST_F(Description, BooleansInEverySpelling)
{
    const char* yes[] = {"true", "TRUE", "tRuE", "1", "7", " 2"};
    const char* no[] = {"yes", "0", "", "false", "-3", "on"};
    std::string text = "<gui>";
    for (const char* value : yes)
        text += std::string("<gui name='yes' enabled='") + value + "'/>";
    for (const char* value : no)
        text += std::string("<gui name='no' enabled='") + value + "'/>";
    Load(text + "</gui>");
    ASSERT_EQ(manager.GetElementCount(), 12u);
    for (uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(manager.GetElement(i)->IsEnabled(), i < 6) << i;
}

TEST_F(Description, ColoursAlphaBlendGradientAndRotation)
{
    Load("<gui><gui name='x'><ambient r='0.5'/><diffuse r='1' g='0.5' b='0.25' a='0.5'/><specular a='0'/>"
         "<shininess/><alpha value='0.25'/><blend value='TRUE'/><rotate z='30'/>"
         "<gradient><p1 r='0.5'/><p3 g='2' b='-1' a='0.2'/></gradient><unknown r='1'/></gui>"
         "<gui name='y'><emission r='0.1'/><shininess value='5'/></gui></gui>");
    CGUI* x = Find("x");
    const float ambient[4] = {0.5f, 0, 0, 1}; // a missing alpha is 1
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(x->material.ambient[i], ambient[i]) << i;
    EXPECT_EQ(x->material.diffuse[1], 0.5f);
    EXPECT_EQ(x->material.diffuse[3], 0.25f); // "alpha" came later
    EXPECT_EQ(x->material.specular[3], 0.0f);
    EXPECT_EQ(x->material.shininess, 1.0f);
    EXPECT_TRUE(x->material.additive);
    EXPECT_EQ(x->rotation.z, 30.0f);
    EXPECT_TRUE(x->hasColours);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(x->material.emission[i], 0.0f);
    const uint8_t expected[4][4] = {{127, 255, 255, 255}, {255, 255, 255, 255}, {255, 255, 0, 51}, {255, 255, 255, 255}};
    for (uint32_t v = 0; v < 4; ++v)
        for (uint32_t c = 0; c < 4; ++c)
            EXPECT_EQ(x->VertexColour(v)[c], expected[v][c]) << v << "," << c;
    CGUI* y = Find("y");
    EXPECT_FALSE(y->hasColours);
    EXPECT_FLOAT_EQ(y->material.emission[0], 0.1f);
    EXPECT_EQ(y->material.emission[3], 1.0f);
    EXPECT_EQ(y->material.shininess, 5.0f);
}

TEST_F(Description, UnknownNodesMakeNothingButAreAnnounced)
{
    std::vector<unsigned> announced;
    struct Counter {
        void OnLoading(CXMLNode&, unsigned index, unsigned count) { seen->push_back(index * 10 + count); }
        std::vector<unsigned>* seen;
    } counter{&announced};
    CSlotList slots;
    slots.Connect(manager.loading, &counter, &Counter::OnLoading);
    Load("<gui><Button name='b'/><widget/><gui name='g' parent='b'/></gui>");
    EXPECT_EQ(announced, (std::vector<unsigned>{3, 13, 23}));
    ASSERT_EQ(manager.GetElementCount(), 1u);
    EXPECT_EQ(Find("g")->GetZ(), 1.0f);
    EXPECT_EQ(Find("g")->GetParent(), nullptr);
    EXPECT_EQ(Find("b"), nullptr);
}

TEST_F(Description, ParentsResolveInTheSecondPassWithoutCycles)
{
    Load("<gui><widget/><gui name='child' parent='later'/><gui name='later'/>"
         "<gui name='twin'/><gui name='twin' parent='later'/><gui parent='later'/>"
         "<gui name='p' parent='q'/><gui name='q' parent='p'/><gui name='self' parent='self'/></gui>");
    ASSERT_EQ(manager.GetElementCount(), 8u);
    CGUI* later = Find("later");
    EXPECT_EQ(Find("child")->GetParent(), later);
    // The node's own element takes the parent, even when its name is not the first of its kind
    // or it has none.
    EXPECT_EQ(manager.GetElement(2)->GetParent(), nullptr);
    EXPECT_EQ(manager.GetElement(3)->GetParent(), later);
    EXPECT_EQ(manager.GetElement(4)->GetParent(), later);
    EXPECT_EQ(Find("p")->GetParent(), Find("q"));
    EXPECT_EQ(Find("q")->GetParent(), nullptr);
    EXPECT_EQ(Find("self")->GetParent(), nullptr);
}

TEST_F(Description, ReferencesFindOnlyEarlierElementsOfTheirKind)
{
    struct Text : CGUI {
        Text() { m_kind = GUIText; }
    };
    CXMLDocument node;
    ASSERT_TRUE(node.Parse("<button font='label' icon='label'/>"));
    EXPECT_EQ(manager.FindReferenced(node, "font", GUIText), nullptr); // not loaded yet
    auto* text = new Text;
    text->SetName("label");
    manager.AddElement(text);
    EXPECT_EQ(manager.FindReferenced(node, "font", GUIText), text);
    EXPECT_EQ(manager.FindReferenced(node, "font", GUIButton), nullptr);
    EXPECT_EQ(manager.FindReferenced(node, "icon", -1), text);
    EXPECT_EQ(manager.FindReferenced(node, "scroll", -1), nullptr);
}

TEST_F(Description, FilesLoadAndDeleteAllEmptiesTheManager)
{
    TempDir dir;
    WriteFileBytes(dir.File("gui.xml"), "<?xml version=\"1.0\"?>\n<gui>\n\t<gui name=\"a\" />\n\t<gui name=\"a\" x=\"3\" />\n</gui>\n");
    manager.LoadDescription(dir.File("missing.xml").c_str(), resources);
    EXPECT_EQ(manager.GetElementCount(), 0u);
    manager.LoadDescription(dir.File("gui.xml").c_str(), resources);
    ASSERT_EQ(manager.GetElementCount(), 2u);
    EXPECT_EQ(Find("a"), manager.GetElement(0)); // duplicates: the first
    manager.DeleteAll();
    EXPECT_EQ(manager.GetElementCount(), 0u);
    EXPECT_EQ(Find("a"), nullptr);
}

} // namespace
