// The data grid's state without any window: columns and their widths, the
// display order of the rows (header sorting), the focused cell, scrolling, the
// geometry of every cell and hit-testing. The window class (Grid) draws what
// this says and feeds it mouse and keyboard input, so every rule here can be
// tested without a window system.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qv::grid {

enum class ColumnKind {
    Text,      // in-place edit field
    Time,      // in-place edit field holding a time of day
    Check,     // check box; ticked writes the column's checkedValue, cleared its uncheckedValue
    PickList,  // drop-down list of fixed items
    Popup,     // drop-down button that opens the host's popup control
    Button,    // text plus buttons drawn in every row
};

enum class ButtonGlyph { Ellipsis, DownArrow };

// Sort marks as the layout stores them: 0 none, 1 down (descending), 2 up (ascending).
enum class SortMark { None = 0, Down = 1, Up = 2 };

struct Column {
    int id = -1;          // the host's name for the column's role
    std::string name;     // component name, the key of the stored layout
    std::string field;    // field of the data source
    std::string caption;  // header text; empty shows the field name
    ColumnKind kind = ColumnKind::Text;
    int width = 64;
    int minWidth = 12;
    bool visible = true;
    std::vector<ButtonGlyph> buttons;    // Button columns, left to right
    std::vector<std::string> pickItems;  // PickList columns
    bool noTextCursor = false;           // Popup columns: a click opens the popup
    // Check columns: the values of a ticked and a cleared box. A box shows
    // ticked for checkedValue only.
    std::string checkedValue, uncheckedValue;
    // The widest text the column shows (a date and time): the grid keeps the
    // column wide enough for it in its font, at any resolution.
    std::string widestText;
    SortMark sort = SortMark::None;
    int sortOrder = -1;

    const std::string& HeaderText() const { return caption.empty() ? field : caption; }
};

// The plain layout description that is stored and loaded.
struct LayoutOptions {
    bool showGrid = true;
    bool showPreviewGrid = true;
    int bandRowCount = 1;
    int defaultRowHeight = 17;
    int headerPanelRowCount = 1;
    bool showGroupPanel = false;
    bool showNewItemRow = false;
    bool showRowFooter = false;
    bool showSummaryFooter = false;
};

struct LayoutBand {
    int id = 0;
    bool visible = true;
    int index = 0;
    int width = 0;
};

struct LayoutColumn {
    std::string name;
    int bandIndex = 0;
    int rowIndex = 0;
    int colIndex = 0;  // position among the shown columns; -1 when hidden
    bool visible = true;
    int index = 0;     // position in the list of columns
    int width = 0;
    int sorted = 0;    // SortMark as a number
    int sortedOrder = -1;
    int storedRowIndex = 0;
    int groupIndex = -1;
};

struct GridLayoutDesc {
    LayoutOptions options;
    std::vector<LayoutBand> bands;
    std::vector<LayoutColumn> columns;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

enum class HitArea {
    Nothing,
    Header,         // column header: a click sorts
    HeaderDivider,  // right edge of a header: a drag sets the width
    Indicator,      // row indicator at the left: a drag moves the row
    Cell,
    CellButton,     // one of the buttons drawn in a cell
    CheckBox,       // the box of a check cell
    Preview,        // the preview line under a row
};

struct Hit {
    HitArea area = HitArea::Nothing;
    int row = -1;     // display row
    int column = -1;  // index into the column list
    int button = -1;  // CellButton: the button's index
};

struct Metrics {
    int headerHeight = 19;
    int rowHeight = 17;      // the line of cells
    int previewHeight = 15;  // the preview line under it (0: none)
    int indicatorWidth = 12;
    int buttonWidth = 16;    // a cell button, also the drop-down button
    int checkSize = 13;
    int dividerSlop = 3;     // pixels either side of a header edge that grab it
};

// Where a key press asks the focus to go.
enum class Move { None, Left, Right, Up, Down, PageUp, PageDown, Home, End, First, Last, Tab, BackTab };

class GridModel {
public:
    // Columns and geometry.
    void SetColumns(std::vector<Column> columns);
    const std::vector<Column>& columns() const { return columns_; }
    Column& column(int index) { return columns_.at(static_cast<size_t>(index)); }
    const Column& column(int index) const { return columns_.at(static_cast<size_t>(index)); }
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    int FindColumn(const std::string& name) const;  // by layout key
    int FindColumnById(int id) const;
    // Indexes of the shown columns, left to right.
    std::vector<int> VisibleColumns() const;
    // Sets a width, never below the column's minimum; returns the width set.
    int SetColumnWidth(int column, int width);
    // The band spans the shown columns: its width is the sum of theirs.
    int BandWidth() const;
    // Spreads a new band width over the shown columns in proportion to their
    // widths, each keeping its minimum.
    void SetBandWidth(int width);

    void SetMetrics(const Metrics& m) { metrics_ = m; }
    const Metrics& metrics() const { return metrics_; }
    int RowPitch() const { return metrics_.rowHeight + metrics_.previewHeight; }
    void SetClientSize(int width, int height);
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }

    // Rows in display order. Without sorting, display row i is data row i.
    void SetRowCount(int rows);
    int RowCount() const { return static_cast<int>(order_.size()); }
    int DataRow(int displayRow) const;
    int DisplayRow(int dataRow) const;

    // Header sorting: a click on a column's header sorts by it ascending, a
    // second click descending; other columns lose their marks. Sorting orders
    // the display only; the data rows stay as they are.
    void ToggleSort(int column);
    void ClearSort();
    int SortColumn() const;  // -1 when not sorted
    // Orders the rows by the sort column with key(dataRow, column); equal keys
    // keep data order. pinnedDataRow (a row being inserted) goes last.
    void Resort(const std::function<std::string(int dataRow, int column)>& key, int pinnedDataRow = -1);

    // Focus and scrolling (display rows).
    int focusRow() const { return focusRow_; }
    int focusColumn() const { return focusColumn_; }
    void SetFocus(int row, int column);
    int topRow() const { return topRow_; }
    int scrollX() const { return scrollX_; }
    void SetTopRow(int row);
    void SetScrollX(int x);
    int VisibleRowCount() const;  // fully visible rows
    int MaxTopRow() const;
    int MaxScrollX() const;
    void ScrollIntoView(int row, int column);

    // Where a key asks the focus to go, from the focused cell: {row, column}.
    // Tab and the arrows go on into the neighbouring row at a row's ends.
    struct Target {
        int row;
        int column;
    };
    Target Navigate(Move move) const;

    // Geometry in client coordinates (after scrolling).
    int ColumnLeft(int column) const;  // -1 for a hidden column
    Rect HeaderRect(int column) const;
    Rect CellRect(int row, int column) const;
    Rect PreviewRect(int row) const;
    Rect IndicatorRect(int row) const;
    Rect ButtonRect(int row, int column, int button) const;
    Rect CheckRect(int row, int column) const;
    // Buttons drawn in a cell of this column.
    int ButtonCount(int column) const;
    Hit HitTest(int x, int y) const;

    // Layout description: the current state, and applying a stored one (the
    // stored column order by "Index", widths, visibility, sort marks).
    GridLayoutDesc SaveLayout() const;
    void ApplyLayout(const GridLayoutDesc& layout);
    LayoutOptions& options() { return options_; }
    const LayoutOptions& options() const { return options_; }

private:
    int FirstVisible() const;
    int LastVisible() const;
    int NextVisible(int column, int step) const;  // -1 past the end
    void Clamp();

    std::vector<Column> columns_;
    std::vector<int> order_;  // display row -> data row
    Metrics metrics_;
    LayoutOptions options_;
    int bandId_ = 0;
    bool bandVisible_ = true;
    int clientWidth_ = 0, clientHeight_ = 0;
    int focusRow_ = 0, focusColumn_ = -1;
    int topRow_ = 0, scrollX_ = 0;
};

}  // namespace qv::grid
