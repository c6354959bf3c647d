// The grid's window-free rules: navigation, geometry and hit-testing, widths,
// header sorting, layout descriptions, and the dataset rules of the in-memory
// source.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ui/grid/GridModel.h"
#include "ui/grid/MemoryGridSource.h"

using namespace qv::grid;

namespace {

// Hidden first column, like the job grid's ID column.
std::vector<Column> JobLikeColumns() {
    std::vector<Column> cols;
    Column id;
    id.name = "colID";
    id.field = "ID";
    id.width = 58;
    id.visible = false;
    cols.push_back(id);
    Column day;
    day.name = "colDay";
    day.field = "Day";
    day.caption = "Day rule";
    day.kind = ColumnKind::Popup;
    day.width = 94;
    cols.push_back(day);
    Column action;
    action.name = "colAction";
    action.field = "Action";
    action.kind = ColumnKind::Button;
    action.buttons = {ButtonGlyph::Ellipsis, ButtonGlyph::DownArrow};
    action.width = 190;
    cols.push_back(action);
    Column active;
    active.name = "colActive";
    active.field = "Active";
    active.kind = ColumnKind::Check;
    active.width = 30;
    active.minWidth = 20;
    cols.push_back(active);
    return cols;
}

GridModel MakeModel(int rows, int width = 400, int height = 200) {
    GridModel m;
    Metrics mt;
    mt.headerHeight = 20;
    mt.rowHeight = 18;
    mt.previewHeight = 14;
    mt.indicatorWidth = 12;
    mt.buttonWidth = 16;
    m.SetMetrics(mt);
    m.SetColumns(JobLikeColumns());
    m.SetClientSize(width, height);
    m.SetRowCount(rows);
    return m;
}

}  // namespace

TEST(GridModelNavigation, TabAndArrowsWrapIntoNeighbouringRowsSkippingHiddenColumns) {
    GridModel m = MakeModel(3);
    struct Case {
        int row, col;
        Move move;
        int wantRow, wantCol;
    } cases[] = {
        {0, 1, Move::Tab, 0, 2},
        {0, 3, Move::Tab, 1, 1},       // row end: first shown column of the next row (not the hidden 0)
        {1, 1, Move::BackTab, 0, 3},   // row start: last column of the previous row
        {0, 3, Move::Right, 1, 1},
        {1, 1, Move::Left, 0, 3},
        {2, 3, Move::Tab, 2, 3},       // last cell of the last row stays
        {0, 1, Move::Left, 0, 1},      // first cell stays
        {1, 2, Move::Up, 0, 2},
        {0, 2, Move::Up, 0, 2},
        {1, 2, Move::Down, 2, 2},
        {2, 2, Move::Down, 2, 2},
        {1, 2, Move::Home, 1, 1},
        {1, 1, Move::End, 1, 3},
        {1, 2, Move::First, 0, 2},
        {0, 2, Move::Last, 2, 2},
    };
    for (const auto& c : cases) {
        m.SetFocus(c.row, c.col);
        GridModel::Target t = m.Navigate(c.move);
        EXPECT_EQ(t.row, c.wantRow) << "from " << c.row << "," << c.col << " move " << static_cast<int>(c.move);
        EXPECT_EQ(t.column, c.wantCol) << "from " << c.row << "," << c.col << " move " << static_cast<int>(c.move);
    }
}

TEST(GridModelNavigation, PagesByTheFullyVisibleRows) {
    // (200 - 20) / 32 = 5 rows fit.
    GridModel m = MakeModel(20);
    EXPECT_EQ(m.VisibleRowCount(), 5);
    m.SetFocus(2, 1);
    EXPECT_EQ(m.Navigate(Move::PageDown).row, 7);
    EXPECT_EQ(m.Navigate(Move::PageUp).row, 0);
    m.SetFocus(18, 1);
    EXPECT_EQ(m.Navigate(Move::PageDown).row, 19);
}

TEST(GridModelNavigation, HiddenFocusColumnFallsBackToFirstShown) {
    GridModel m = MakeModel(2);
    m.SetFocus(0, 0);  // hidden: refused
    EXPECT_EQ(m.focusColumn(), 1);
}

TEST(GridModelGeometry, CellsButtonsAndHitTesting) {
    GridModel m = MakeModel(4);
    // Hidden ID takes no room: the day column starts after the indicator.
    Rect day = m.CellRect(0, 1);
    EXPECT_EQ(day.left, 12);
    EXPECT_EQ(day.right, 12 + 94);
    EXPECT_EQ(day.top, 20);
    EXPECT_EQ(day.bottom, 38);
    Rect action1 = m.CellRect(1, 2);
    EXPECT_EQ(action1.left, 106);
    EXPECT_EQ(action1.top, 20 + 32);
    EXPECT_EQ(m.CellRect(0, 0).Width(), 0);

    // Buttons at the right end, index 0 left of index 1.
    Rect b0 = m.ButtonRect(1, 2, 0), b1 = m.ButtonRect(1, 2, 1);
    EXPECT_EQ(b1.right, action1.right);
    EXPECT_EQ(b0.right, b1.left);
    EXPECT_EQ(b0.Width(), 16);

    struct Case {
        int x, y;
        HitArea area;
        int row, col, button;
    } cases[] = {
        {50, 5, HitArea::Header, -1, 1, -1},
        {106, 5, HitArea::HeaderDivider, -1, 1, -1},   // edge between day and action
        {104, 5, HitArea::HeaderDivider, -1, 1, -1},
        {5, 5, HitArea::Nothing, -1, -1, -1},          // corner above the indicator
        {5, 25, HitArea::Indicator, 0, -1, -1},
        {50, 25, HitArea::Cell, 0, 1, -1},
        {105, 25, HitArea::CellButton, 0, 1, 0},        // the day column's drop-down button
        {150, 60, HitArea::Cell, 1, 2, -1},
        {b0.left + 2, 60, HitArea::CellButton, 1, 2, 0},
        {b1.left + 2, 60, HitArea::CellButton, 1, 2, 1},
        {150, 20 + 18 + 3, HitArea::Preview, 0, -1, -1},
        {296 + 15, 25, HitArea::CheckBox, 0, 3, -1},   // centre of the check cell
        {296 + 2, 25, HitArea::Cell, 0, 3, -1},        // beside the box
        {360, 25, HitArea::Nothing, -1, -1, -1},       // right of the last column
        {50, 20 + 4 * 32 + 5, HitArea::Nothing, -1, -1, -1},  // below the last row
    };
    for (const auto& c : cases) {
        Hit h = m.HitTest(c.x, c.y);
        EXPECT_EQ(h.area, c.area) << c.x << "," << c.y;
        EXPECT_EQ(h.row, c.row) << c.x << "," << c.y;
        EXPECT_EQ(h.column, c.col) << c.x << "," << c.y;
        EXPECT_EQ(h.button, c.button) << c.x << "," << c.y;
    }
}

TEST(GridModelGeometry, ScrollingMovesCellsAndKeepsTheFocusInView) {
    GridModel m = MakeModel(20, 200, 200);  // 5 rows, 188 px for 314 px of columns
    m.ScrollIntoView(12, 3);
    EXPECT_EQ(m.topRow(), 8);  // row 12 is the last of five shown rows
    Rect active = m.CellRect(12, 3);
    EXPECT_EQ(active.right, 200);
    EXPECT_EQ(active.top, 20 + 4 * 32);
    m.ScrollIntoView(3, 1);
    EXPECT_EQ(m.topRow(), 3);
    EXPECT_EQ(m.CellRect(3, 1).left, 12);
    // Scroll positions stay within their ranges.
    m.SetTopRow(100);
    EXPECT_EQ(m.topRow(), 15);
    m.SetScrollX(-5);
    EXPECT_EQ(m.scrollX(), 0);
    m.SetScrollX(1000);
    EXPECT_EQ(m.scrollX(), 12 + 314 - 200);
}

TEST(GridModelWidths, MinimumWidthAndBandWidth) {
    GridModel m = MakeModel(1);
    EXPECT_EQ(m.BandWidth(), 94 + 190 + 30);  // hidden column not counted
    EXPECT_EQ(m.SetColumnWidth(3, 5), 20);    // never below its minimum
    EXPECT_EQ(m.SetColumnWidth(1, 120), 120);
    EXPECT_EQ(m.BandWidth(), 120 + 190 + 20);

    m.SetBandWidth(660);  // doubled
    EXPECT_EQ(m.BandWidth(), 660);
    EXPECT_EQ(m.column(1).width, 240);
    EXPECT_EQ(m.column(2).width, 380);
    m.SetBandWidth(40);  // too narrow: every column keeps its minimum
    EXPECT_GE(m.column(1).width, m.column(1).minWidth);
    EXPECT_GE(m.column(3).width, 20);
}

TEST(GridModelSorting, HeaderClicksToggleAndOrderTheDisplayOnly) {
    GridModel m = MakeModel(5);
    std::vector<std::string> keys = {"b", "10", "A", "9", "a"};
    auto key = [&](int row, int) { return keys[static_cast<size_t>(row)]; };
    m.ToggleSort(1);
    EXPECT_EQ(m.column(1).sort, SortMark::Up);
    EXPECT_EQ(m.SortColumn(), 1);
    m.Resort(key);
    // Numbers by value, letters without case; equal keys keep data order.
    std::vector<int> want = {3, 1, 2, 4, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(m.DataRow(i), want[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(m.DisplayRow(0), 4);

    m.ToggleSort(1);
    EXPECT_EQ(m.column(1).sort, SortMark::Down);
    m.Resort(key);
    EXPECT_EQ(m.DataRow(0), 0);
    EXPECT_EQ(m.DataRow(4), 3);

    // Another header takes the mark over.
    m.ToggleSort(2);
    EXPECT_EQ(m.column(1).sort, SortMark::None);
    EXPECT_EQ(m.column(2).sort, SortMark::Up);

    // A row being inserted stays last, whatever its key.
    m.ToggleSort(1);
    m.Resort(key, 2);
    EXPECT_EQ(m.DataRow(4), 2);
    EXPECT_EQ(m.DataRow(0), 3);
}

TEST(GridModelLayout, SaveAndApplyRoundTrip) {
    GridModel m = MakeModel(1);
    m.SetColumnWidth(2, 300);
    m.ToggleSort(2);
    m.ToggleSort(2);
    GridLayoutDesc saved = m.SaveLayout();
    ASSERT_EQ(saved.columns.size(), 4u);
    EXPECT_EQ(saved.columns[0].colIndex, -1);  // hidden
    EXPECT_FALSE(saved.columns[0].visible);
    EXPECT_EQ(saved.columns[1].colIndex, 0);
    EXPECT_EQ(saved.columns[2].colIndex, 1);
    EXPECT_EQ(saved.columns[2].width, 300);
    EXPECT_EQ(saved.columns[2].sorted, 1);  // down
    EXPECT_EQ(saved.columns[2].sortedOrder, 0);
    EXPECT_EQ(saved.columns[1].sortedOrder, -1);
    ASSERT_EQ(saved.bands.size(), 1u);
    EXPECT_EQ(saved.bands[0].width, 94 + 300 + 30);

    GridModel fresh = MakeModel(1);
    fresh.ApplyLayout(saved);
    EXPECT_EQ(fresh.column(2).width, 300);
    EXPECT_EQ(fresh.column(2).sort, SortMark::Down);
    EXPECT_EQ(fresh.column(1).width, 94);
    EXPECT_FALSE(fresh.column(0).visible);
    GridLayoutDesc again = fresh.SaveLayout();
    for (size_t i = 0; i < again.columns.size(); ++i) {
        EXPECT_EQ(again.columns[i].name, saved.columns[i].name);
        EXPECT_EQ(again.columns[i].width, saved.columns[i].width);
        EXPECT_EQ(again.columns[i].sorted, saved.columns[i].sorted);
    }
}

TEST(GridModelLayout, StoredIndexReordersAndUnknownNamesAreIgnored) {
    GridModel m = MakeModel(1);
    GridLayoutDesc d = m.SaveLayout();
    d.columns[1].index = 3;  // day rule last
    d.columns[3].index = 1;
    d.columns[3].width = 2;  // below the minimum of 20
    LayoutColumn ghost;
    ghost.name = "colGone";
    ghost.width = 500;
    d.columns.push_back(ghost);
    d.options.headerPanelRowCount = -1;  // "work it out": not applied
    d.options.showGrid = false;
    m.ApplyLayout(d);
    EXPECT_EQ(m.column(1).name, "colActive");
    EXPECT_EQ(m.column(3).name, "colDay");
    EXPECT_EQ(m.column(1).width, 20);
    EXPECT_EQ(m.ColumnCount(), 4);
    EXPECT_EQ(m.options().headerPanelRowCount, 1);
    EXPECT_FALSE(m.options().showGrid);
}

// ------------------------------------------------------------ memory source

namespace {

MemoryGridSource ThreeRows() {
    MemoryGridSource s({"Day", "Action", "Active"});
    s.SetDefault("Active", "Y");
    s.SetRequired("Action");
    s.AddRow({"Mo", "a.exe", "Y"});
    s.AddRow({"Di", "b.exe", "N"});
    s.AddRow({"Mi", "c.exe", "Y"});
    return s;
}

}  // namespace

TEST(MemoryGridSource, MovingAwayPostsAChangedRowAndDropsAnUnchangedOne) {
    MemoryGridSource s = ThreeRows();
    s.MoveTo(1);
    s.SetValue("Day", "Fr");
    EXPECT_EQ(s.State(), RowState::Edit);
    EXPECT_EQ(s.CellText(1, "Day"), "Fr");
    EXPECT_EQ(s.Stored(1, "Day"), "Di");  // not yet posted
    s.MoveTo(2);
    EXPECT_EQ(s.Stored(1, "Day"), "Fr");
    EXPECT_EQ(s.postCount(), 1);

    s.Edit();
    s.MoveTo(0);
    EXPECT_EQ(s.postCount(), 1);
    EXPECT_EQ(s.State(), RowState::Browse);
}

TEST(MemoryGridSource, NewRowsGetDefaultsAndVanishWhenLeftUntouched) {
    MemoryGridSource s = ThreeRows();
    s.MoveTo(1);
    s.Insert();
    EXPECT_EQ(s.RowCount(), 4);
    EXPECT_EQ(s.CurrentRow(), 1);
    EXPECT_EQ(s.Value("Active"), "Y");
    s.MoveTo(3);  // the untouched row goes; the target moves up with the rows behind it
    EXPECT_EQ(s.RowCount(), 3);
    EXPECT_EQ(s.CurrentRow(), 2);
    EXPECT_EQ(s.Value("Day"), "Mi");

    s.Append();
    s.SetValue("Day", "Sa");
    s.SetValue("Action", "d.exe");
    s.MoveTo(0);
    ASSERT_EQ(s.RowCount(), 4);
    EXPECT_EQ(s.Stored(3, "Day"), "Sa");
    EXPECT_EQ(s.Stored(3, "Active"), "Y");
}

TEST(MemoryGridSource, RefusedPostKeepsTheRowInEditing) {
    MemoryGridSource s = ThreeRows();
    s.Append();
    s.SetValue("Day", "So");
    try {
        s.MoveTo(0);
        FAIL() << "post without Action must be refused";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Feld 'Action' mu\xdf einen Wert haben");
    }
    EXPECT_EQ(s.State(), RowState::Insert);
    EXPECT_EQ(s.CurrentRow(), 3);
    EXPECT_EQ(s.Value("Day"), "So");
    s.Cancel();
    EXPECT_EQ(s.RowCount(), 3);
    EXPECT_EQ(s.CurrentRow(), 2);
}

TEST(MemoryGridSource, ValidatorRefusesWithoutChangingAnything) {
    MemoryGridSource s = ThreeRows();
    s.SetValidator([](const std::string& field, const std::string& text) {
        if (field == "Day" && text.size() > 2) throw std::runtime_error("zu lang");
    });
    EXPECT_THROW(s.SetValue("Day", "Montag"), std::runtime_error);
    EXPECT_EQ(s.State(), RowState::Browse);
    EXPECT_EQ(s.Value("Day"), "Mo");
    int changes = 0;
    s.SetListener([&](SourceChange) { ++changes; });
    s.Delete();
    EXPECT_EQ(s.RowCount(), 2);
    EXPECT_EQ(s.Value("Day"), "Di");
    EXPECT_GT(changes, 0);
}
