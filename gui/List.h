// CList: a table of named columns and rows whose cells are elements of their own, made from
// the list's item template (a text element) or any widget put there. It draws the rows that
// fit from its top row down, highlights the hovered and the selected row, scrolls with an
// embedded vertical scroll bar shown only while the rows overflow, and reports hover,
// selection (click) and activation (double click) with row and column. The list owns its
// cells. Needs no OpenGL context except to Render.
#pragma once

#include "gui/Font.h"
#include "gui/Scroll.h"

#include <cstdint>
#include <memory>
#include <vector>

class CList : public CGUI {
public:
    // Enabled, no columns or rows, spacing 0, nothing hovered or selected, the scroll bar
    // hidden, both highlights fully transparent.
    CList();
    CList(const CList& other);

    // The background, the scroll bar (two steps in front), then from the top row down the
    // rows that fit: the selection and hover highlights (one step in front) and the cells
    // (two steps in front), left to right by column.
    void Render() override;
    // The common attributes, then "spacing" (int) and the children in document order:
    // "hover" and "select" (colours: emission r, g, b, a and diffuse alpha a; "a" 1 when
    // absent), and "column" ("name", "w") whose "item" children ("text") fill the column:
    // the first column's items add rows, a later column's item k sets the cell of row k
    // (k counting every child of the column node); items past the last row are dropped.
    void LoadFromNode(CXMLNode& node) override;
    // The list's own test. On the way it records the point and, unless the point is on the
    // scroll bar or the bar's thumb is being dragged, tracks the hovered row (onRowHover for
    // a row whose cell is under the point).
    bool HitTest(int32_t x, int32_t y) override;

    // CopyFrom, then the columns, copies of the rows' cells, the top and selected rows, the
    // other's template (SetFont) and scroll bar (SetScroll).
    void Assign(const CList& other);

    // Appends a column; every existing row gets a hidden placeholder cell for it.
    void AddColumn(const String& name, float width);
    // Appends a row whose first cell is a copy of the template showing text (as wide as the
    // first column at most), the others placeholders. Without columns the row is empty.
    void AddRow(const String& text);
    // Replaces a cell by a copy of the template showing text, enabled, no wider than its
    // column. For a missing row or column only the template's text (and width, when the
    // column exists) changes.
    void SetCell(uint32_t row, uint32_t column, const String& text);
    // Replaces a cell by element (the list takes ownership; null is ignored, and so is a
    // missing cell, whose element is then deleted). Cells may be any widget: the list routes
    // the mouse to them.
    void SetCellElement(uint32_t row, uint32_t column, CGUI* element);
    // The text of a text-element cell; empty for any other cell or a missing one.
    String GetCellText(int32_t row, int32_t column) const;
    // The cell, or null.
    CGUI* GetCell(uint32_t row, uint32_t column) const;
    // Deletes every row; nothing is hovered or selected and the list scrolls back to the top.
    void ClearRows();

    uint32_t GetRowCount() const { return static_cast<uint32_t>(m_rows.size()); }
    uint32_t GetColumnCount() const { return static_cast<uint32_t>(m_columns.size()); }
    const String& GetColumnName(uint32_t column) const;
    float GetColumnWidth(uint32_t column) const;

    // The template takes the font's look (null changes nothing): no parent, enabled,
    // visible, at (0, 0). Rows added later are made from it.
    void SetFont(const CFont* font);
    // The scroll bar takes the other's settings (null changes nothing), stays the list's
    // child, enabled, shown exactly while the rows overflow, and is laid out again.
    void SetScroll(const CScroll* scroll);

    // Pixels between rows.
    void SetSpacing(uint32_t spacing);
    uint32_t GetSpacing() const { return m_spacing; }

    int32_t GetSelected() const { return m_selected; }
    // Selects a row (or none with −1; other values outside the rows select none); emits
    // nothing.
    void SetSelected(int32_t row);
    int32_t GetHovered() const { return m_hovered; }
    int32_t GetTopRow() const { return m_top; }
    // Moves the top row by rows (positive: towards the end), kept between the first row and
    // LastTopRow; the scroll bar follows. Emits nothing.
    void ScrollBy(int32_t rows);
    // Scrolls the least that brings row among the fitting rows; a missing row changes nothing.
    void ShowRow(int32_t row);
    // Whether a wheel turn routed to the list steps its scroll bar (the default). An owner
    // that scrolls the list itself, by where the pointer is, turns it off.
    void SetWheelScrolls(bool scrolls) { m_wheelScrolls = scrolls; }

    // The largest height among the row's cells; 0 for a missing or empty row.
    float RowHeight(uint32_t row) const;
    // How many rows are drawn from the top row: each next row is taken while the rows taken,
    // the spacings after them and its own height stay within the list's height; the first
    // is always taken.
    uint32_t FittingRows() const;
    // Whether all rows from the first do not fit.
    bool Overflows() const;
    // The smallest top row from which every row to the end fits.
    uint32_t LastTopRow() const;

    CFont& GetTemplate() { return m_template; }
    CScroll& GetScroll() { return m_scroll; }
    CGUI& GetHoverHighlight() { return m_hoverHighlight; }
    CGUI& GetSelectHighlight() { return m_selectHighlight; }

    CSignal<int32_t, int32_t> onRowHover;    // (row, column) under the mouse
    CSignal<int32_t, int32_t> onRowSelect;   // (row, column) clicked; the row is now selected
    CSignal<int32_t, int32_t> onRowActivate; // (row, column) double-clicked

private:
    struct Column {
        String name;
        float width;
    };
    using Row = std::vector<std::unique_ptr<CGUI>>;

    // Moves the scroll bar to the right edge at full height, then UpdateScroll.
    void Layout(float width, float height);
    // Shows the scroll bar while the rows overflow and sets its maximum to the last top row
    // (its value 0 while hidden).
    void UpdateScroll();
    void OnScrollValue(float value);
    // Places the highlights and the cells of the fitting rows in window coordinates.
    void PlaceRows();
    // The first fitting row with a cell under the point: true with row and column.
    bool FindCell(int32_t x, int32_t y, int32_t& row, int32_t& column);
    void OnInput(CInputMap& event);
    void OnClick();
    void OnDoubleClick();
    void OnFocus(bool focus);
    // The pointer's hover went elsewhere: no row is under it.
    void OnHoverOut();
    // Sets the highlight over row i's place for drawing.
    void PlaceHighlight(CGUI& highlight, float x, float y, float z, float height);

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    int32_t m_lastX = 0, m_lastY = 0; // the last point tested or routed
    uint32_t m_spacing = 0;
    bool m_scrollDrag = false;        // a press landed on the scroll bar; its drag goes on
    bool m_wheelScrolls = true;
    int32_t m_top = 0;
    int32_t m_hovered = -1;
    int32_t m_selected = -1;
    CGUI* m_focusedCell = nullptr;    // the cell the last press inside the list landed on
    uint64_t m_cellChanges = 0;       // counts replaced cells and cleared rows
    CGUI m_hoverHighlight;
    CGUI m_selectHighlight;
    CFont m_template;
    CScroll m_scroll;
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};

// A new element with the state of element, made by the copying constructor of its class
// (a plain element for kinds without one: frames, windows, menus, control bars).
CGUI* CloneElement(const CGUI& element);
