// Lists: rows from a description, the rows that fit, overflow and the scroll bar, hover,
// selection and activation by the mouse through a manager, the wheel, and cells that are
// working widgets.
#include "WidgetKit.h"

#include "gui/Button.h"
#include "gui/List.h"

#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

struct RowLog {
    explicit RowLog(CList& list)
    {
        slots.ConnectUser(list.onRowSelect, this, &RowLog::Row, "select");
        slots.ConnectUser(list.onRowActivate, this, &RowLog::Row, "activate");
    }
    void Row(int32_t row, int32_t column, const char* what)
    {
        events.push_back(std::string(what) + " " + std::to_string(row) + " " + std::to_string(column));
    }
    Events Take()
    {
        Events taken;
        taken.swap(events);
        return taken;
    }
    Events events;
    CSlotList slots;
};

// A list at (0, 0), 100 × 100, rows 20 high with spacing 2: four rows fit (the fifth would
// end at 88 + 20 = 108). Column "name" is 60 wide, "size" 24, and the scroll bar 16.
class Lists : public ::testing::Test, public WidgetKit {
protected:
    void LoadList(int rows)
    {
        std::string text = "<gui><font name='look' sprite='glyphs' h='20'/><scroll name='bar' sprite='bar' visible='false'/>"
                           "<list name='files' font='look' scroll='bar' w='100' h='100' spacing='2'>"
                           "<column name='name' w='60'>";
        for (int i = 0; i < rows; ++i)
            text += "<item text='r" + std::to_string(i) + "'/>";
        text += "</column><column name='size' w='24'><item text='1'/><gap/><item text='3'/></column></list></gui>";
        ASSERT_TRUE(Load(text.c_str()));
        list = Find<CList>("files");
        ASSERT_NE(list, nullptr);
        log = std::make_unique<RowLog>(*list);
    }

    CList* list = nullptr;
    std::unique_ptr<RowLog> log;
};

TEST_F(Lists, RowsFitFromTheTopAndTheScrollBarShowsOnlyOnOverflow)
{
    LoadList(4);
    ASSERT_EQ(list->GetRowCount(), 4u);
    EXPECT_STREQ(list->GetCellText(2, 0).CStr(), "r2");
    // A later column's items fill rows by their place among the column's children.
    EXPECT_STREQ(list->GetCellText(0, 1).CStr(), "1");
    EXPECT_STREQ(list->GetCellText(1, 1).CStr(), "");
    EXPECT_STREQ(list->GetCellText(2, 1).CStr(), "3");
    EXPECT_EQ(list->GetCell(0, 0)->GetWidth(), 60.0f);
    EXPECT_EQ(list->FittingRows(), 4u);
    EXPECT_FALSE(list->GetScroll().GetVisibleFlag());
    EXPECT_EQ(list->GetScroll().GetValue(), 0.0f);
    EXPECT_EQ(list->GetHoverHighlight().material.diffuse[3], 0.0f);
    EXPECT_EQ(list->GetSelectHighlight().material.diffuse[3], 0.0f);

    list->AddRow("r4");
    EXPECT_EQ(list->FittingRows(), 4u);
    EXPECT_TRUE(list->GetScroll().IsVisible());
    EXPECT_EQ(list->GetScroll().GetMax(), 1.0f);
    EXPECT_EQ(list->GetScroll().GetX(), 84.0f);
    EXPECT_EQ(list->GetScroll().GetHeight(), 100.0f);
    list->AddRow("r5");
    EXPECT_EQ(list->LastTopRow(), 2u);
    EXPECT_EQ(list->GetScroll().GetMax(), 2.0f);

    // A list emptied for a new folder starts again at the top, without a selection.
    list->SetSelected(3);
    list->GetScroll().SetValue(2);
    EXPECT_EQ(list->GetTopRow(), 2);
    list->ClearRows();
    EXPECT_EQ(list->GetRowCount(), 0u);
    EXPECT_EQ(list->GetSelected(), -1);
    EXPECT_EQ(list->GetTopRow(), 0);
    EXPECT_FALSE(list->GetScroll().GetVisibleFlag());
}

TEST_F(Lists, ClicksSelectDoubleClicksActivateAndTheWheelScrolls)
{
    LoadList(6);
    Move(70, 49); // row 2 spans y 44 to 64, column 1 x 60 to 84
    EXPECT_EQ(list->GetHovered(), 2);
    Click(70, 49);
    EXPECT_EQ(log->Take(), (Events{"select 2 1"}));
    EXPECT_EQ(list->GetSelected(), 2);

    EmitMouseButton(MouseLeft, InputDoubleClick);
    EXPECT_EQ(log->Take(), (Events{"activate 2 1"}));
    EXPECT_EQ(list->GetSelected(), 2);

    // Below the fourth row (which ends at 86) no row is hit: the selection is cleared.
    Click(10, 95);
    EXPECT_EQ(log->Take(), Events{});
    EXPECT_EQ(list->GetSelected(), -1);

    // A press on the thumb (at y 16 to 32 on the bar) and a release over a row select nothing.
    Press(90, 20);
    Release(10, 5);
    EXPECT_EQ(log->Take(), Events{});
    EXPECT_EQ(list->GetScroll().GetValue(), 0.0f);

    // The wheel towards the user scrolls one row: the top row is now row 1.
    EmitMouseWheel(-120);
    EXPECT_EQ(list->GetTopRow(), 1);
    Click(10, 5);
    EXPECT_EQ(log->Take(), (Events{"select 1 0"}));
    // The increase arrow (at y 84 on the bar) scrolls on its click, and selects nothing.
    Click(90, 90);
    EXPECT_EQ(list->GetTopRow(), 2);
    EXPECT_EQ(log->Take(), Events{});
    EXPECT_EQ(list->GetSelected(), 1);
}

TEST_F(Lists, CellsCanBeWorkingWidgetsAndListsCopyWhole)
{
    LoadList(2);
    auto* box = new CCheckBox;
    box->SetSize(20, 20);
    list->SetCellElement(1, 1, box);
    Click(65, 27);
    EXPECT_TRUE(box->IsDown());
    EXPECT_EQ(log->Take(), (Events{"select 1 1"}));
    Click(65, 27);
    EXPECT_FALSE(box->IsDown());

    // A cell whose click empties the list (a folder entry opening its folder).
    struct Opener {
        void Open(CInputMap&) { list->ClearRows(); }
        CList* list;
        CSlotList slots;
    } opener{list, {}};
    opener.slots.Connect(box->onInput, &opener, &Opener::Open);
    CList copy(*list);
    ASSERT_EQ(copy.GetRowCount(), 2u);
    EXPECT_STREQ(copy.GetCellText(1, 0).CStr(), "r1");
    EXPECT_EQ(copy.GetCell(1, 1)->GetKind(), GUICheckBox);
    EXPECT_NE(copy.GetCell(1, 1), list->GetCell(1, 1));
    EXPECT_EQ(copy.GetSelected(), 1);
    EXPECT_EQ(copy.GetScroll().GetParent(), &copy);

    Click(65, 27);
    EXPECT_EQ(list->GetRowCount(), 0u);
}

} // namespace
