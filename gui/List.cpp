// Index:
//   [SECTION] Construction and copying
//   [SECTION] Columns, rows and cells
//   [SECTION] Fitting rows and scrolling
//   [SECTION] Hover, clicks and input routing
//   [SECTION] Drawing and description attributes
#include "gui/List.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Combo.h"
#include "gui/Edit.h"
#include "gui/Progress.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <cmath>

// [SECTION] Construction and copying

namespace {

// A copy of element as a T when it is one (the most derived class the kind allows).
template <class T>
CGUI* CopyAs(const CGUI& element)
{
    auto* typed = dynamic_cast<const T*>(&element);
    return typed ? new T(*typed) : nullptr;
}

} // namespace

CGUI* CloneElement(const CGUI& element)
{
    CGUI* copy = nullptr;
    switch (element.GetKind()) {
    case GUIButton: // a check box copied into a button template keeps its class
        copy = CopyAs<CCheckBox>(element);
        if (!copy)
            copy = CopyAs<CButton>(element);
        break;
    case GUICheckBox:
        copy = CopyAs<CCheckBox>(element);
        break;
    case GUICombo:
        copy = CopyAs<CCombo>(element);
        break;
    case GUIEdit:
        copy = CopyAs<CEdit>(element);
        break;
    case GUIText:
        copy = CopyAs<CFont>(element);
        break;
    case GUIList:
        copy = CopyAs<CList>(element);
        break;
    case GUIProgress:
        copy = CopyAs<CProgress>(element);
        break;
    case GUIScroll:
        copy = CopyAs<CScroll>(element);
        break;
    default:
        break;
    }
    return copy ? copy : new CGUI(element);
}

CList::CList()
{
    m_kind = GUIList;
    m_enabled = true;
    m_hoverHighlight.material.diffuse[3] = 0.0f;
    m_selectHighlight.material.diffuse[3] = 0.0f;
    m_scroll.SetParent(this);
    m_scroll.SetVisible(false);
    m_slots.Connect(onResize, this, &CList::Layout);
    m_slots.Connect(onInput, this, &CList::OnInput);
    m_slots.Connect(onRelease, this, &CList::OnClick);
    m_slots.Connect(onDoubleClick, this, &CList::OnDoubleClick);
    m_slots.Connect(onFocus, this, &CList::OnFocus);
    m_slots.Connect(onMouseOut, this, &CList::OnHoverOut);
    m_slots.Connect(m_scroll.onValue, this, &CList::OnScrollValue);
}

CList::CList(const CList& other) : CList() { Assign(other); }

void CList::Assign(const CList& other)
{
    if (&other == this)
        return;
    CopyFrom(other);
    m_columns = other.m_columns;
    m_focusedCell = nullptr;
    m_rows.clear();
    m_rows.reserve(other.m_rows.size());
    for (const Row& source : other.m_rows) {
        Row& row = m_rows.emplace_back();
        row.reserve(source.size());
        for (const auto& cell : source)
            row.emplace_back(CloneElement(*cell));
    }
    m_spacing = other.m_spacing;
    m_top = other.m_top;
    m_selected = other.m_selected;
    m_hovered = -1;
    m_hoverHighlight.CopyFrom(other.m_hoverHighlight);
    m_selectHighlight.CopyFrom(other.m_selectHighlight);
    SetFont(&other.m_template);
    SetScroll(&other.m_scroll);
}

// [SECTION] Columns, rows and cells

namespace {

CGUI* NewPlaceholder(float width)
{
    auto* cell = new CGUI;
    cell->SetVisible(false);
    cell->SetSize(width, cell->GetHeight());
    return cell;
}

} // namespace

void CList::AddColumn(const String& name, float width)
{
    m_columns.push_back(Column{name, width});
    for (Row& row : m_rows)
        row.emplace_back(NewPlaceholder(width));
}

const String& CList::GetColumnName(uint32_t column) const
{
    static const String kNone;
    return column < m_columns.size() ? m_columns[column].name : kNone;
}

float CList::GetColumnWidth(uint32_t column) const
{
    return column < m_columns.size() ? m_columns[column].width : 0.0f;
}

void CList::AddRow(const String& text)
{
    m_template.SetText(text);
    if (!m_columns.empty())
        m_template.SetSize(m_columns[0].width, m_template.GetHeight());
    Row& row = m_rows.emplace_back();
    row.reserve(m_columns.size());
    for (const Column& column : m_columns)
        row.emplace_back(NewPlaceholder(column.width));
    if (!m_columns.empty())
        SetCell(static_cast<uint32_t>(m_rows.size() - 1), 0, text);
    else
        UpdateScroll();
}

void CList::SetCell(uint32_t row, uint32_t column, const String& text)
{
    m_template.SetText(text);
    if (column < m_columns.size())
        m_template.SetSize(m_columns[column].width, m_template.GetHeight());
    if (row < m_rows.size() && column < m_columns.size())
        SetCellElement(row, column, CloneElement(m_template));
}

void CList::SetCellElement(uint32_t row, uint32_t column, CGUI* element)
{
    if (!element)
        return;
    if (row >= m_rows.size() || column >= m_rows[row].size()) {
        delete element;
        return;
    }
    std::unique_ptr<CGUI>& cell = m_rows[row][column];
    ++m_cellChanges;
    if (m_focusedCell == cell.get())
        m_focusedCell = nullptr;
    cell.reset(element);
    element->SetEnabled(true);
    const float width = column < m_columns.size() ? m_columns[column].width : element->GetWidth();
    if (element->GetWidth() > width)
        element->SetSize(width, element->GetHeight());
    UpdateScroll(); // the row's height may have changed
}

CGUI* CList::GetCell(uint32_t row, uint32_t column) const
{
    if (row >= m_rows.size() || column >= m_rows[row].size())
        return nullptr;
    return m_rows[row][column].get();
}

String CList::GetCellText(int32_t row, int32_t column) const
{
    if (row < 0 || column < 0)
        return String();
    const CGUI* cell = GetCell(static_cast<uint32_t>(row), static_cast<uint32_t>(column));
    if (!cell || cell->GetKind() != GUIText)
        return String();
    const auto* text = dynamic_cast<const CFont*>(cell);
    return text ? text->GetText() : String();
}

void CList::ClearRows()
{
    ++m_cellChanges;
    m_focusedCell = nullptr;
    m_rows.clear();
    m_hovered = -1;
    m_selected = -1;
    m_top = 0;
    UpdateScroll();
}

void CList::SetSelected(int32_t row)
{
    m_selected = row >= 0 && static_cast<uint32_t>(row) < m_rows.size() ? row : -1;
}

void CList::SetFont(const CFont* font)
{
    if (!font)
        return;
    m_template.Assign(*font);
    m_template.SetParent(nullptr);
    m_template.SetEnabled(true);
    m_template.SetVisible(true);
    m_template.SetPosition(0.0f, 0.0f);
}

void CList::SetScroll(const CScroll* scroll)
{
    if (!scroll)
        return;
    m_scroll.Assign(*scroll);
    m_scroll.SetParent(this);
    m_scroll.SetEnabled(true);
    m_scroll.SetVisible(Overflows());
    Layout(GetWidth(), GetHeight());
}

void CList::SetSpacing(uint32_t spacing)
{
    m_spacing = spacing;
    UpdateScroll();
}

// [SECTION] Fitting rows and scrolling

float CList::RowHeight(uint32_t row) const
{
    float height = 0.0f;
    if (row < m_rows.size())
        for (const auto& cell : m_rows[row])
            height = std::max(height, cell->GetHeight());
    return height;
}

uint32_t CList::FittingRows() const
{
    const uint32_t count = static_cast<uint32_t>(m_rows.size());
    if (m_top < 0 || static_cast<uint32_t>(m_top) >= count)
        return 0;
    const float height = GetHeight(), spacing = static_cast<float>(m_spacing);
    float used = 0.0f;
    uint32_t taken = 0;
    for (uint32_t row = static_cast<uint32_t>(m_top); row < count; ++row) {
        const float rowHeight = RowHeight(row);
        if (taken > 0 && used + rowHeight > height)
            break;
        used += rowHeight + spacing;
        ++taken;
    }
    return taken;
}

bool CList::Overflows() const
{
    const float height = GetHeight(), spacing = static_cast<float>(m_spacing);
    float used = 0.0f;
    for (size_t row = 0; row + 1 < m_rows.size(); ++row) {
        used += RowHeight(static_cast<uint32_t>(row)) + spacing;
        if (used + RowHeight(static_cast<uint32_t>(row + 1)) > height)
            return true;
    }
    return false;
}

uint32_t CList::LastTopRow() const
{
    const float height = GetHeight(), spacing = static_cast<float>(m_spacing);
    float used = 0.0f;
    for (size_t row = m_rows.size(); row-- > 1;) {
        used += RowHeight(static_cast<uint32_t>(row)) + spacing;
        if (used + RowHeight(static_cast<uint32_t>(row - 1)) > height)
            return static_cast<uint32_t>(row);
    }
    return 0;
}

void CList::Layout(float width, float height)
{
    m_scroll.SetPosition(width - m_scroll.GetWidth(), 0.0f);
    m_scroll.SetSize(m_scroll.GetWidth(), height);
    UpdateScroll();
    m_top = std::max(0, static_cast<int32_t>(m_scroll.GetValue()));
}

void CList::UpdateScroll()
{
    m_scroll.SetVisible(Overflows());
    if (!m_scroll.IsVisible()) {
        m_scroll.SetValue(0.0f);
        return;
    }
    m_scroll.SetRange(m_scroll.GetMin(), static_cast<float>(LastTopRow()));
    m_scroll.SetValue(static_cast<float>(m_top));
}

void CList::ScrollBy(int32_t rows)
{
    const int64_t top = static_cast<int64_t>(m_top) + rows;
    m_top = static_cast<int32_t>(std::clamp<int64_t>(top, 0, LastTopRow()));
    if (m_scroll.IsVisible())
        m_scroll.SetValue(static_cast<float>(m_top)); // the bar's value is the top row
}

void CList::ShowRow(int32_t row)
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
        return;
    if (row < m_top) {
        ScrollBy(row - m_top);
        return;
    }
    // Down one row at a time, until the row is among those drawn: rows differ in height.
    while (m_top < row && static_cast<uint32_t>(row - m_top) >= FittingRows()) {
        const int32_t top = m_top;
        ScrollBy(1);
        if (m_top == top)
            break;
    }
}

void CList::OnScrollValue(float value)
{
    // Values below the first row (a range from a negative minimum) show the first row.
    m_top = value >= 1.0f && value < 2147483520.0f ? static_cast<int32_t>(value) : 0;
}

// [SECTION] Hover, clicks and input routing

namespace {

// Cells stand in window coordinates; they hear onMove only when their place changes.
void MoveCell(CGUI& cell, float x, float y)
{
    if (cell.GetX() != x || cell.GetY() != y)
        cell.SetPosition(x, y);
}

} // namespace

void CList::PlaceRows()
{
    const CVector origin = GetAbsolutePosition();
    const float spacing = static_cast<float>(m_spacing);
    const uint32_t fitting = FittingRows();
    float offset = 0.0f;
    for (uint32_t i = 0; i < fitting; ++i) {
        const uint32_t row = static_cast<uint32_t>(m_top) + i;
        float x = origin.x;
        const Row& cells = m_rows[row];
        for (size_t column = 0; column < cells.size() && column < m_columns.size(); ++column) {
            MoveCell(*cells[column], x, origin.y + offset);
            x += m_columns[column].width;
        }
        offset += RowHeight(row) + spacing;
    }
}

bool CList::FindCell(int32_t x, int32_t y, int32_t& row, int32_t& column)
{
    PlaceRows();
    const uint32_t fitting = FittingRows();
    for (uint32_t i = 0; i < fitting; ++i) {
        const uint32_t r = static_cast<uint32_t>(m_top) + i;
        const Row& cells = m_rows[r];
        for (size_t c = 0; c < cells.size() && c < m_columns.size(); ++c)
            if (cells[c]->HitTest(x, y)) {
                row = static_cast<int32_t>(r);
                column = static_cast<int32_t>(c);
                return true;
            }
    }
    return false;
}

bool CList::HitTest(int32_t x, int32_t y)
{
    m_lastX = x;
    m_lastY = y;
    if (m_scrollDrag || m_scroll.HitTest(x, y))
        return CGUI::HitTest(x, y);
    m_hovered = -1;
    // A hidden or disabled list has no row under the mouse.
    int32_t row = -1, column = -1;
    if (IsEnabled() && IsVisible() && FindCell(x, y, row, column)) {
        m_hovered = row;
        onRowHover.Emit(row, column);
    }
    return CGUI::HitTest(x, y);
}

void CList::OnHoverOut() { m_hovered = -1; }

void CList::OnClick()
{
    const bool onScroll = m_scroll.HitTest(m_lastX, m_lastY);
    if (onScroll)
        m_scroll.onRelease.Emit(); // the arrows step on their click
    if (m_scrollDrag) {
        m_scrollDrag = false;
        return;
    }
    if (onScroll)
        return;
    // A click beside every row clears the selection.
    m_selected = -1;
    int32_t row = -1, column = -1;
    if (FindCell(m_lastX, m_lastY, row, column)) {
        m_selected = row;
        onRowSelect.Emit(row, column);
    }
}

void CList::OnDoubleClick()
{
    if (m_scrollDrag) {
        m_scrollDrag = false;
        return;
    }
    if (m_scroll.HitTest(m_lastX, m_lastY))
        return;
    int32_t row = -1, column = -1;
    if (FindCell(m_lastX, m_lastY, row, column))
        onRowActivate.Emit(row, column);
}

void CList::OnFocus(bool focus)
{
    if (!focus && m_focusedCell) {
        CGUI* cell = m_focusedCell;
        m_focusedCell = nullptr;
        cell->SetFocus(false);
    }
}

void CList::OnInput(CInputMap& event)
{
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    if (event.action != InputWheel) {
        // A double click comes without a hit test: the event tells where it is.
        m_lastX = x;
        m_lastY = y;
    }
    if (m_scrollDrag && event.action == InputRelease && !CGUI::HitTest(x, y))
        m_scrollDrag = false;
    if (event.action != InputWheel || m_wheelScrolls)
        m_scroll.onInput.Emit(event);
    if (event.action == InputWheel)
        return; // the wheel scrolls; it has no place over a cell
    if (event.action == InputPress && m_scroll.HitTest(x, y))
        m_scrollDrag = true;

    PlaceRows();
    const uint32_t fitting = FittingRows();
    CGUI* pressed = nullptr;
    for (uint32_t i = 0; i < fitting; ++i) {
        const uint32_t row = static_cast<uint32_t>(m_top) + i;
        if (row >= m_rows.size())
            break; // a cell's handler changed the rows
        for (size_t c = 0; c < m_rows[row].size() && c < m_columns.size(); ++c) {
            CGUI* cell = m_rows[row][c].get();
            if (!cell->HitTest(x, y)) {
                if (event.action == InputMove) {
                    const uint64_t cells = m_cellChanges;
                    cell->onMouseOut.Emit();
                    if (cells != m_cellChanges)
                        return;
                }
                continue;
            }
            if (event.action == InputPress && !pressed) {
                // The cell pressed holds the focus inside the list, so that an edit box
                // there takes the keys.
                pressed = cell;
                if (m_focusedCell != cell) {
                    const uint64_t cells = m_cellChanges;
                    if (CGUI* old = m_focusedCell)
                        old->SetFocus(false);
                    m_focusedCell = cell;
                    cell->SetFocus(true);
                    if (cells != m_cellChanges)
                        return;
                }
            }
            // A cell's owner may replace cells or rows from its slots: routing then stops.
            const uint64_t cells = m_cellChanges;
            cell->onInput.Emit(event);
            if (cells != m_cellChanges)
                return;
            if (event.action == InputRelease)
                cell->onRelease.Emit();
            else if (event.action == InputDoubleClick)
                cell->onDoubleClick.Emit();
            else if (event.action == InputMove)
                cell->onMouseOver.Emit();
            if (cells != m_cellChanges)
                return;
        }
    }
    if (event.action == InputPress && !pressed && m_focusedCell) {
        CGUI* old = m_focusedCell;
        m_focusedCell = nullptr;
        old->SetFocus(false);
    }
}

// [SECTION] Drawing and description attributes

void CList::PlaceHighlight(CGUI& highlight, float x, float y, float z, float height)
{
    const float width = GetWidth() - (m_scroll.IsVisible() ? m_scroll.GetWidth() : 0.0f);
    highlight.SetSize(width, height);
    highlight.transform.SetTranslation(x, y, z);
}

void CList::Render()
{
    CGUI::Render();
    if (!IsVisible())
        return;
    const float z = GetZ();
    m_scroll.SetZ(z + 2.0f);
    m_scroll.Render();
    const CVector origin = GetAbsolutePosition();
    const float spacing = static_cast<float>(m_spacing);
    const uint32_t fitting = FittingRows();
    float offset = 0.0f;
    for (uint32_t i = 0; i < fitting; ++i) {
        const uint32_t row = static_cast<uint32_t>(m_top) + i;
        const float height = RowHeight(row);
        if (static_cast<int32_t>(row) == m_selected) {
            PlaceHighlight(m_selectHighlight, origin.x, origin.y + offset, z + 1.0f, height);
            m_selectHighlight.Render();
        }
        if (static_cast<int32_t>(row) == m_hovered) {
            PlaceHighlight(m_hoverHighlight, origin.x, origin.y + offset, z + 1.0f, height);
            m_hoverHighlight.Render();
        }
        float x = origin.x;
        const Row& cells = m_rows[row];
        for (size_t column = 0; column < cells.size() && column < m_columns.size(); ++column) {
            CGUI& cell = *cells[column];
            MoveCell(cell, x, origin.y + offset);
            cell.SetZ(z + 2.0f);
            cell.Render();
            x += m_columns[column].width;
        }
        offset += height + spacing;
    }
}

namespace {

// A highlight's colour: emission (r, g, b, a) and diffuse alpha a; "a" is 1 when absent.
void ReadHighlight(const CXMLNode& node, CGUI& highlight)
{
    float* emission = highlight.material.emission;
    emission[0] = node.GetAttributeFloat("r");
    emission[1] = node.GetAttributeFloat("g");
    emission[2] = node.GetAttributeFloat("b");
    emission[3] = node.FindAttribute("a") ? node.GetAttributeFloat("a") : 1.0f;
    highlight.material.diffuse[3] = emission[3];
}

} // namespace

void CList::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("spacing"))
        SetSpacing(static_cast<uint32_t>(std::max(0, node.GetAttributeInt("spacing"))));
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        const CXMLNode& child = *node.GetChild(i);
        if (child.name == "hover") {
            ReadHighlight(child, m_hoverHighlight);
        } else if (child.name == "select") {
            ReadHighlight(child, m_selectHighlight);
        } else if (child.name == "column") {
            AddColumn(child.GetAttributeString("name"), child.GetAttributeFloat("w"));
            const uint32_t column = static_cast<uint32_t>(m_columns.size() - 1);
            for (uint32_t k = 0; k < child.GetChildCount(); ++k) {
                const CXMLNode& item = *child.GetChild(k);
                if (item.name != "item")
                    continue;
                if (column == 0)
                    AddRow(item.GetAttributeString("text"));
                else
                    SetCell(k, column, item.GetAttributeString("text"));
            }
        }
    }
}
