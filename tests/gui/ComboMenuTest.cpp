// Combo boxes and menus through a manager: the combo box opening and closing with its list,
// choosing a row, the "selected" attribute; a menu tree's placement, hover and clicks.
#include "WidgetKit.h"

#include "gui/Combo.h"
#include "gui/Menu.h"

#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

struct Chosen {
    void Select(const String& text, int32_t row, int32_t column)
    {
        events.push_back(std::string(text.CStr() ? text.CStr() : "") + " " + std::to_string(row) + " " +
                         std::to_string(column));
    }
    void Choose(const String& name, CMenu* by) { events.push_back(std::string(by->GetName().CStr()) + ":" + name.CStr()); }
    Events Take()
    {
        Events taken;
        taken.swap(events);
        return taken;
    }
    Events events;
    CSlotList slots;
};

class Composites : public ::testing::Test, public WidgetKit {};

// The combo box at (10, 10), 100 wide and 120 high when open; its edit box 20 high, its drop
// button 20 × 20 at its right end; the list's rows 20 high from y 30 on screen.
constexpr const char* kCombo =
    "<gui><font name='look' sprite='glyphs' h='20'/>"
    "<combo name='cmbWave' font='look' x='10' y='10' w='100' h='120' selected='1'>"
    "<edit w='80' h='20'/><button w='20' h='20'/>"
    "<list><column w='80'><item text='Sine'/><item text='Square'/><item text='Saw'/></column></list>"
    "</combo><gui name='elsewhere' x='200' y='10' w='20' h='20' enabled='true'/></gui>";

TEST_F(Composites, AComboBoxOpensChoosesAndCloses)
{
    ASSERT_TRUE(Load(kCombo));
    auto* combo = Find<CCombo>("cmbWave");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetHeight(), 20.0f);
    EXPECT_STREQ(combo->GetEdit().GetText().CStr(), "Square");
    EXPECT_EQ(combo->GetList().GetSelected(), 1);
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(combo->GetButton().GetX(), 80.0f);
    Chosen owner;
    owner.slots.Connect(combo->onSelect, &owner, &Chosen::Select);

    Click(100, 20); // the drop button
    EXPECT_TRUE(combo->IsOpen());
    EXPECT_EQ(combo->GetHeight(), 120.0f);
    EXPECT_EQ(combo->GetList().GetAbsolutePosition().y, 30.0f);
    EXPECT_EQ(combo->GetList().GetHeight(), 100.0f);

    Click(30, 75); // row 2
    EXPECT_EQ(owner.Take(), (Events{"Saw 2 0"}));
    EXPECT_STREQ(combo->GetEdit().GetText().CStr(), "Saw");
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(combo->GetHeight(), 20.0f);

    // Closed, the list's place belongs to what lies below; open, a click elsewhere closes it.
    Click(30, 75);
    EXPECT_EQ(manager.GetFocus(), nullptr);
    Click(100, 20);
    EXPECT_TRUE(combo->IsOpen());
    Click(210, 20);
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(combo->GetHeight(), 20.0f);

    // The edit box inside the focused combo box takes typing once clicked.
    Click(30, 20);
    EXPECT_TRUE(combo->GetEdit().IsActive());
    EXPECT_EQ(owner.Take(), Events{});
}

TEST_F(Composites, TheDropButtonComesBackUpWhenReleasedAwayFromIt)
{
    ASSERT_TRUE(Load(kCombo));
    auto* combo = Find<CCombo>("cmbWave");
    ASSERT_NE(combo, nullptr);
    CButton& drop = combo->GetButton();
    Press(100, 20);
    EXPECT_EQ(drop.GetState(), CButton::StateDown);
    Release(300, 300); // off the combo box
    EXPECT_EQ(drop.GetState(), CButton::StateNormal);
    EXPECT_FALSE(combo->IsOpen());
    Press(100, 20);
    Release(30, 20); // over the edit box
    EXPECT_EQ(drop.GetState(), CButton::StateNormal);
    EXPECT_FALSE(combo->IsOpen());

    // A double click whose first click was on the edit box presses the drop button.
    Click(87, 20);
    EXPECT_TRUE(combo->GetEdit().IsActive());
    Move(91, 20);
    EmitMouseButton(MouseLeft, InputDoubleClick);
    EXPECT_EQ(drop.GetState(), CButton::StateDown);
    EXPECT_FALSE(combo->GetEdit().IsActive());
    EmitMouseButton(MouseLeft, InputRelease);
    EXPECT_TRUE(combo->IsOpen());
}

TEST(ComboBox, TheSelectedRowIsChosenOnceWhileLoading)
{
    CXMLDocument document;
    ASSERT_TRUE(document.Parse("<combo w='50' h='60' selected='2'><edit h='10'/>"
                               "<list><column w='40'><item text='a'/><item text='b'/><item text='c'/></column></list>"
                               "</combo>"));
    CCombo combo;
    Chosen owner;
    owner.slots.Connect(combo.onSelect, &owner, &Chosen::Select);
    combo.LoadFromNode(document);
    EXPECT_EQ(owner.Take(), (Events{"c 2 0"}));
    EXPECT_EQ(combo.GetHeight(), 10.0f);
    EXPECT_EQ(combo.GetOpenHeight(), 60.0f);

    CCombo copy(combo);
    EXPECT_STREQ(copy.GetEdit().GetText().CStr(), "c");
    EXPECT_EQ(copy.GetList().GetParent(), &copy);
    EXPECT_EQ(copy.GetList().GetRowCount(), 3u);
}

// A "File" menu 60 × 20 at (10, 10) with three items below it; "Recent" has two items of its
// own, shown to its right.
constexpr const char* kMenu =
    "<gui><font name='look' sprite='glyphs'/>"
    "<menu name='mnuFile' font='look' text='File' x='10' y='10' w='60' h='20'><hover r='1' a='0.5'/>"
    "<menu name='mnuOpen' parent='mnuFile' text='Open'/>"
    "<menu name='mnuSave' parent='mnuFile' text='Save'/>"
    "<menu name='mnuRecent' parent='mnuFile' text='Recent'>"
    "<menu name='mnuRecent1' parent='mnuRecent' text='One'/><menu name='mnuRecent2' parent='mnuRecent' text='Two'/>"
    "</menu></menu></gui>";

TEST_F(Composites, AMenuTreeOpensBelowAndToTheRightAndClosesOnAChoice)
{
    ASSERT_TRUE(Load(kMenu));
    ASSERT_EQ(manager.GetElementCount(), 7u);
    auto* file = Find<CMenu>("mnuFile");
    auto* recent = Find<CMenu>("mnuRecent");
    auto* one = Find<CMenu>("mnuRecent1");
    ASSERT_TRUE(file && recent && one);
    ASSERT_EQ(file->GetItemCount(), 3u);
    EXPECT_EQ(recent->GetItemCount(), 2u);
    EXPECT_EQ(recent->GetHeight(), 20.0f); // items take their menu's size and hover colour
    EXPECT_EQ(one->GetHoverHighlight().material.emission[0], 1.0f);
    EXPECT_STREQ(recent->GetLabel().GetText().CStr(), "Recent");
    EXPECT_FALSE(recent->GetVisibleFlag());
    Chosen owner;
    for (const char* name : {"mnuFile", "mnuRecent"}) {
        auto* menu = Find<CMenu>(name);
        owner.slots.ConnectUser(menu->onChoose, &owner, &Chosen::Choose, menu);
    }

    Click(20, 20);
    EXPECT_EQ(owner.Take(), (Events{"mnuFile:mnuFile"}));
    EXPECT_TRUE(file->IsOpen());
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(file->GetItem(i)->IsVisible());
        EXPECT_EQ(file->GetItem(i)->GetX(), 0.0f);
        EXPECT_EQ(file->GetItem(i)->GetY(), 20.0f * static_cast<float>(i + 1));
    }

    // Hovering "Recent" (y 70 to 90) shows its items to its right; they stay while the
    // pointer moves onto them, and go when it leaves both.
    Move(30, 80);
    EXPECT_TRUE(one->IsVisible());
    EXPECT_EQ(one->GetAbsolutePosition().x, 70.0f);
    EXPECT_EQ(one->GetAbsolutePosition().y, 70.0f);
    Move(80, 95); // over "Two"
    EXPECT_TRUE(one->IsVisible());
    Move(300, 300);
    EXPECT_FALSE(one->IsVisible());
    EXPECT_TRUE(file->IsOpen());

    Move(30, 80);
    Click(80, 75); // "One"
    EXPECT_EQ(owner.Take(), (Events{"mnuRecent:mnuRecent1"}));
    EXPECT_FALSE(file->IsOpen());
    EXPECT_FALSE(recent->IsVisible());
    EXPECT_FALSE(one->IsVisible());

    // A second click on an open menu closes it, reporting it again; so does a click elsewhere.
    Click(20, 20);
    Click(20, 20);
    EXPECT_EQ(owner.Take(), (Events{"mnuFile:mnuFile", "mnuFile:mnuFile"}));
    EXPECT_FALSE(recent->IsVisible());
    Click(20, 20);
    Click(300, 300);
    EXPECT_FALSE(file->IsOpen());
    EXPECT_FALSE(recent->IsVisible());
}

} // namespace
