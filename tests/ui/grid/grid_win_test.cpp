// The grid control under Wine, driven through its window messages over an
// in-memory data source: editing and saving rows, check boxes, pick lists,
// keyboard movement, header sorting, width dragging, popups, custom drawing,
// row dragging, scrolling and the layout description.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/grid/Grid.h"
#include "ui/grid/MemoryGridSource.h"

using namespace qv::grid;

namespace {

enum Col { kId, kDay, kTime, kAction, kActive, kStart, kState };

std::vector<Column> TestColumns() {
    std::vector<Column> c(7);
    c[kId] = {};
    c[kId].name = "colId";
    c[kId].field = "ID";
    c[kId].visible = false;
    c[kDay].name = "colDay";
    c[kDay].field = "Day";
    c[kDay].kind = ColumnKind::Popup;
    c[kDay].width = 94;
    c[kTime].name = "colTime";
    c[kTime].field = "Time";
    c[kTime].kind = ColumnKind::Time;
    c[kTime].width = 68;
    c[kAction].name = "colAction";
    c[kAction].field = "Action";
    c[kAction].kind = ColumnKind::Button;
    c[kAction].buttons = {ButtonGlyph::Ellipsis, ButtonGlyph::DownArrow};
    c[kAction].width = 190;
    c[kActive].name = "colActive";
    c[kActive].field = "Active";
    c[kActive].kind = ColumnKind::Check;
    c[kActive].checkedValue = "ja";  // the column's own values, not the job table's
    c[kActive].uncheckedValue = "nein";
    c[kActive].width = 30;
    c[kStart].name = "colStart";
    c[kStart].field = "Start";
    c[kStart].kind = ColumnKind::Popup;
    c[kStart].noTextCursor = true;
    c[kStart].width = 119;
    c[kState].name = "colState";
    c[kState].field = "State";
    c[kState].kind = ColumnKind::PickList;
    c[kState].pickItems = {"Standard", "maximiert", "minimiert", "versteckt"};
    c[kState].width = 85;
    return c;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

class GridWin : public ::testing::Test {
protected:
    void SetUp() override {
        qv::win::SetErrorSink([this](HWND, const std::string& text) { errors.push_back(text); });
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QvGridTestHost";
        RegisterClassA(&wc);
        host = CreateWindowExA(0, "QvGridTestHost", "host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 760,
                               420, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(host);
        other = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 380, 100, 20, host, nullptr,
                                wc.hInstance, nullptr);
        source = std::make_unique<MemoryGridSource>(
            std::vector<std::string>{"ID", "Day", "Time", "Action", "Active", "Start", "State"});
        source->SetDefault("Active", "ja");
        source->SetDefault("State", "Standard");
        source->SetRequired("Day");
        source->SetRequired("Action");
        source->AddRow({"1", "Mo", "08:00:00", "b.exe", "ja", "01.01.2030 08:00:00", "Standard"});
        source->AddRow({"2", "Di", "09:00:00", "Neustart hart", "nein", "02.01.2030 09:00:00", "minimiert"});
        source->AddRow({"3", "Mi", "10:00:00", "a.exe", "ja", "03.01.2030 10:00:00", "Standard"});
        grid.Create(host, 100, 0, 0, 740, 370);
        grid.SetColumns(TestColumns());
        grid.SetPreviewField("Action");
        grid.SetDataSource(source.get());
        ShowWindow(host, SW_SHOW);
        SetFocus(grid.hwnd());
        Pump();
    }
    void TearDown() override {
        DestroyWindow(host);
        qv::win::SetErrorSink(nullptr);
    }

    POINT Center(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    void Click(int x, int y) {
        SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
        SendMessageA(grid.hwnd(), WM_LBUTTONUP, 0, Point(x, y));
        Pump();
    }
    void ClickCell(int row, int col) {
        POINT p = Center(grid.CellRect(row, col));
        Click(p.x - 10, p.y);  // left of any cell buttons
    }
    void Key(WPARAM vk, HWND to = nullptr) {
        SendMessageA(to ? to : GetFocus(), WM_KEYDOWN, vk, 0);
        Pump();
    }
    void Type(const std::string& text) {
        for (char ch : text) SendMessageA(GetFocus(), WM_CHAR, static_cast<unsigned char>(ch), 0);
        Pump();
    }
    std::string Shown(int displayRow, const std::string& field) {
        return source->CellText(grid.model().DataRow(displayRow), field);
    }

    HWND host = nullptr;
    HWND other = nullptr;
    std::unique_ptr<MemoryGridSource> source;
    Grid grid;
    std::vector<std::string> errors;
};

TEST_F(GridWin, TypingIntoANewRowAndMovingAwayPostsIt) {
    ClickCell(2, kDay);
    Key(VK_ESCAPE);  // close the editor: keys now go to the grid
    ASSERT_EQ(GetFocus(), grid.hwnd());
    Key(VK_DOWN);  // past the last row: a new row
    ASSERT_EQ(source->RowCount(), 4);
    EXPECT_EQ(source->State(), RowState::Insert);
    EXPECT_EQ(grid.FocusedRow(), 3);
    EXPECT_EQ(grid.FocusedColumn(), kDay);
    Key(VK_DOWN);  // an untouched new row is not followed by another
    EXPECT_EQ(source->RowCount(), 4);

    Type("Fr");  // typing starts the editor with what was typed
    ASSERT_TRUE(grid.EditorVisible());
    EXPECT_EQ(grid.EditorText(), "Fr");
    Key(VK_TAB);  // into the time column, editor kept open
    EXPECT_EQ(grid.FocusedColumn(), kTime);
    EXPECT_EQ(source->Value("Day"), "Fr");
    EXPECT_TRUE(grid.EditorVisible());
    Key(VK_TAB);
    Type("c.exe");
    EXPECT_EQ(source->postCount(), 0);
    Key(VK_UP);
    EXPECT_EQ(source->postCount(), 1);
    EXPECT_EQ(source->State(), RowState::Browse);
    EXPECT_EQ(source->Stored(3, "Day"), "Fr");
    EXPECT_EQ(source->Stored(3, "Action"), "c.exe");
    EXPECT_EQ(source->Stored(3, "Active"), "ja");
    EXPECT_EQ(grid.FocusedRow(), 2);
    EXPECT_TRUE(errors.empty());
}

TEST_F(GridWin, RefusedPostShowsTheErrorAndKeepsTheRow) {
    ClickCell(2, kDay);
    Key(VK_ESCAPE);
    Key(VK_DOWN);
    Type("Sa");
    Key(VK_UP);  // Action missing
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Feld 'Action' mu\xdf einen Wert haben");
    EXPECT_EQ(source->State(), RowState::Insert);
    EXPECT_EQ(grid.FocusedRow(), 3);
    EXPECT_EQ(source->Value("Day"), "Sa");
    Key(VK_ESCAPE, grid.hwnd());  // drops the new row
    EXPECT_EQ(source->RowCount(), 3);
}

TEST_F(GridWin, EscapeCancelsTheCellEditAndFocusLossKeepsTheText) {
    ClickCell(0, kTime);
    ASSERT_TRUE(grid.EditorVisible());
    SendMessageA(grid.EditorWindow(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("07:30"));
    Key(VK_ESCAPE);
    EXPECT_FALSE(grid.EditorVisible());
    EXPECT_EQ(source->Value("Time"), "08:00:00");
    EXPECT_EQ(source->State(), RowState::Browse);

    ClickCell(0, kTime);
    SendMessageA(grid.EditorWindow(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("07:30:00"));
    SetFocus(other);  // another control takes the focus
    Pump();
    EXPECT_EQ(source->State(), RowState::Edit);
    EXPECT_EQ(source->Value("Time"), "07:30:00");
    EXPECT_EQ(source->postCount(), 0);
}

TEST_F(GridWin, CheckBoxCellsWriteTheirColumnsValues) {
    POINT p = Center(grid.CellRect(1, kActive));
    Click(p.x, p.y);
    EXPECT_EQ(grid.FocusedRow(), 1);
    EXPECT_EQ(source->Value("Active"), "ja");
    Click(p.x, p.y);
    EXPECT_EQ(source->Value("Active"), "nein");
    Key(VK_SPACE, grid.hwnd());
    EXPECT_EQ(source->Value("Active"), "ja");
    EXPECT_EQ(source->State(), RowState::Edit);
    Key(VK_RETURN, grid.hwnd());  // Enter opens a cell's editor: a box has none to open
    EXPECT_EQ(source->Value("Active"), "ja");
    // A click beside the box only focuses.
    RECT r = grid.CellRect(0, kActive);
    Click(r.left + 1, (r.top + r.bottom) / 2);
    EXPECT_EQ(source->Stored(1, "Active"), "ja");
    EXPECT_EQ(source->Value("Active"), "ja");
    EXPECT_EQ(source->State(), RowState::Browse);
}

TEST_F(GridWin, PickListChoosesAFixedItem) {
    ClickCell(0, kState);
    HWND combo = grid.EditorWindow();
    ASSERT_TRUE(combo);
    char cls[32] = {};
    GetClassNameA(combo, cls, sizeof cls);
    EXPECT_STREQ(cls, "ComboBox");
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);  // "Standard"
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    SendMessageA(combo, CB_SETCURSEL, 3, 0);
    SendMessageA(grid.hwnd(), WM_COMMAND, MAKEWPARAM(2, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    Key(VK_DOWN, combo);  // the list is closed: Down moves to the next row
    EXPECT_EQ(source->Stored(0, "State"), "versteckt");
    EXPECT_EQ(grid.FocusedRow(), 1);
}

TEST_F(GridWin, TabAndArrowsCrossTheRowEnds) {
    ClickCell(0, kState);
    Key(VK_TAB);
    EXPECT_EQ(grid.FocusedRow(), 1);
    EXPECT_EQ(grid.FocusedColumn(), kDay);
    EXPECT_EQ(source->CurrentRow(), 1);
    // Left at the start of the text goes back into the previous row's last cell.
    HWND ed = grid.EditorWindow();
    ASSERT_TRUE(ed);
    SendMessageA(ed, EM_SETSEL, 0, 0);
    Key(VK_LEFT, ed);
    EXPECT_EQ(grid.FocusedRow(), 0);
    EXPECT_EQ(grid.FocusedColumn(), kState);
    // Within the text Left only moves the caret.
    ClickCell(1, kTime);
    ed = grid.EditorWindow();
    SendMessageA(ed, EM_SETSEL, 3, 3);
    Key(VK_LEFT, ed);
    EXPECT_EQ(grid.FocusedColumn(), kTime);
    Key(VK_ESCAPE);
    Key(VK_END, grid.hwnd());
    EXPECT_EQ(grid.FocusedColumn(), kState);
    Key(VK_HOME, grid.hwnd());
    EXPECT_EQ(grid.FocusedColumn(), kDay);
}

TEST_F(GridWin, HeaderClickSortsTheDisplay) {
    Rect hr = grid.model().HeaderRect(kAction);
    Click((hr.left + hr.right) / 2, (hr.top + hr.bottom) / 2);
    EXPECT_EQ(grid.model().column(kAction).sort, SortMark::Up);
    EXPECT_EQ(Shown(0, "Action"), "a.exe");
    EXPECT_EQ(Shown(1, "Action"), "b.exe");
    EXPECT_EQ(Shown(2, "Action"), "Neustart hart");
    Click((hr.left + hr.right) / 2, (hr.top + hr.bottom) / 2);
    EXPECT_EQ(grid.model().column(kAction).sort, SortMark::Down);
    EXPECT_EQ(Shown(0, "Action"), "Neustart hart");
    // The data rows stay where they are; the focus follows the current row.
    EXPECT_EQ(source->Stored(0, "Action"), "b.exe");
    EXPECT_EQ(grid.FocusedRow(), grid.model().DisplayRow(source->CurrentRow()));
}

TEST_F(GridWin, DraggingAHeaderEdgeSetsTheWidthAndTheLayoutKeepsIt) {
    Rect hr = grid.model().HeaderRect(kTime);
    int y = (hr.top + hr.bottom) / 2;
    SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, Point(hr.right, y));
    SendMessageA(grid.hwnd(), WM_MOUSEMOVE, MK_LBUTTON, Point(hr.right + 40, y));
    SendMessageA(grid.hwnd(), WM_LBUTTONUP, 0, Point(hr.right + 40, y));
    EXPECT_EQ(grid.model().column(kTime).width, 108);
    EXPECT_EQ(grid.model().column(kTime).sort, SortMark::None);  // an edge drag is no sort click

    GridLayoutDesc saved = grid.SaveLayout();
    Grid second;
    second.Create(host, 101, 0, 0, 300, 200);
    second.SetColumns(TestColumns());
    EXPECT_EQ(second.model().column(kTime).width, 68);
    second.ApplyLayout(saved);
    EXPECT_EQ(second.model().column(kTime).width, 108);
    EXPECT_EQ(second.model().BandWidth(), grid.model().BandWidth());
}

TEST_F(GridWin, PopupOpensBelowTheCellAndItsCloseUpDecides) {
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", WS_CHILD, 0, 0, 120, 140, host, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    grid.SetPopupControl(kDay, list);
    int inits = 0, closes = 0;
    std::string seenText;
    bool seenAccept = true;
    std::string answer = "Jeden Tag";
    bool acceptIt = true;
    grid.InitPopup = [&](int col) {
        EXPECT_EQ(col, kDay);
        ++inits;
    };
    grid.CloseUp = [&](int col, std::string& text, bool& accept) {
        EXPECT_EQ(col, kDay);
        ++closes;
        seenText = text;
        seenAccept = accept;
        text = answer;
        accept = acceptIt;
    };
    Rect b = grid.model().ButtonRect(1, kDay, 0);
    Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(GetParent(list), grid.PopupWindow());
    EXPECT_TRUE(IsWindowVisible(grid.PopupWindow()));
    RECT pr, cell = grid.CellRect(1, kDay);
    GetWindowRect(grid.PopupWindow(), &pr);
    MapWindowPoints(grid.hwnd(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    EXPECT_EQ(pr.top, cell.bottom);
    EXPECT_EQ(pr.left, cell.left);

    // The close button: accept arrives false, the text is the cell's.
    SendMessageA(grid.PopupWindow(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(grid.PopupOpen());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(seenAccept);
    EXPECT_EQ(seenText, "Di");
    EXPECT_EQ(source->Value("Day"), "Jeden Tag");
    EXPECT_EQ(source->State(), RowState::Edit);
    EXPECT_EQ(GetParent(list), host);
    EXPECT_FALSE(IsWindowVisible(list));

    // Not accepted: the cell keeps its value.
    acceptIt = false;
    answer = "Monatlich";
    Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    SendMessageA(list, WM_KEYDOWN, VK_RETURN, 0);  // Enter in the control closes too
    Pump();
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(seenText, "Jeden Tag");
    EXPECT_EQ(source->Value("Day"), "Jeden Tag");

    // Escape cancels: the close handler is not asked, the cell stays.
    acceptIt = true;
    Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    SendMessageA(list, WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_FALSE(grid.PopupOpen());
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(source->Value("Day"), "Jeden Tag");

    // Another window becoming active (a click outside) closes it.
    acceptIt = true;
    Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    SetActiveWindow(host);
    Pump();
    EXPECT_FALSE(grid.PopupOpen());
    EXPECT_EQ(closes, 3);
    EXPECT_EQ(source->Value("Day"), "Monatlich");
}

TEST_F(GridWin, PopupGoesAboveTheCellWhenTheScreenHasNoRoomBelow) {
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 120, 200, host, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    grid.SetPopupControl(kDay, list);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoA(MonitorFromWindow(host, MONITOR_DEFAULTTOPRIMARY), &mi);
    // The host's last rows end a little above the bottom of the work area.
    RECT cell = grid.CellRect(2, kDay);
    MapWindowPoints(grid.hwnd(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    RECT hr;
    GetWindowRect(host, &hr);
    SetWindowPos(host, nullptr, hr.left, hr.top + (mi.rcWork.bottom - 40 - cell.bottom), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    Rect b = grid.model().ButtonRect(2, kDay, 0);
    Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    RECT pr;
    GetWindowRect(grid.PopupWindow(), &pr);
    cell = grid.CellRect(2, kDay);
    MapWindowPoints(grid.hwnd(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    EXPECT_EQ(pr.bottom, cell.top);
    EXPECT_GT(pr.bottom - pr.top, 200);
    grid.ClosePopup();
}

TEST_F(GridWin, ColumnWithoutTextCursorOpensItsPopupOnAClick) {
    HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 180, 200, host, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    grid.SetPopupControl(kStart, panel);
    int inits = 0;
    grid.InitPopup = [&](int) { ++inits; };
    ClickCell(2, kStart);
    EXPECT_TRUE(grid.PopupOpen());
    EXPECT_FALSE(grid.EditorVisible());
    EXPECT_EQ(inits, 1);
    grid.ClosePopup();
    EXPECT_FALSE(grid.PopupOpen());
    EXPECT_EQ(source->State(), RowState::Browse);  // no handler: nothing accepted
}

TEST_F(GridWin, ButtonColumnReportsWhichButton) {
    std::vector<std::pair<int, int>> clicks;
    grid.ButtonClick = [&](int col, int button) { clicks.emplace_back(col, button); };
    for (int b = 0; b < 2; ++b) {
        Rect r = grid.model().ButtonRect(2, kAction, b);
        Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0], std::make_pair(static_cast<int>(kAction), 0));
    EXPECT_EQ(clicks[1], std::make_pair(static_cast<int>(kAction), 1));
    EXPECT_EQ(source->CurrentRow(), 2);
    EXPECT_FALSE(grid.EditorVisible());  // a button click opens no editor
}

TEST_F(GridWin, CustomDrawnCellsShowTheirColours) {
    int changedColumn = -1;
    grid.ChangeColumn = [&](int col) { changedColumn = col; };
    ClickCell(0, kTime);
    EXPECT_EQ(changedColumn, kTime);
    grid.CustomDrawCell = [](int col, int, const std::string& text, COLORREF& bg, COLORREF& fg) {
        if (col == kAction && text == "Neustart hart") {
            bg = RGB(255, 51, 51);
            fg = RGB(255, 255, 255);
        }
    };
    RECT rc;
    GetClientRect(grid.hwnd(), &rc);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = rc.right;
    bi.bmiHeader.biHeight = -rc.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(bmp);
    HGDIOBJ old = SelectObject(mem, bmp);
    SendMessageA(grid.hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    RECT red = grid.CellRect(1, kAction), plain = grid.CellRect(2, kAction);
    COLORREF inRed = GetPixel(mem, red.right - 40, red.top + 2);
    COLORREF inPlain = GetPixel(mem, plain.right - 40, plain.top + 2);
    // The text of the red cell is drawn in white somewhere.
    bool white = false;
    for (int x = red.left + 2; x < red.left + 60 && !white; ++x)
        for (int y = red.top + 2; y < red.bottom - 2; ++y)
            if (GetPixel(mem, x, y) == RGB(255, 255, 255)) white = true;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    EXPECT_EQ(inRed, RGB(255, 51, 51));
    EXPECT_NE(inPlain, RGB(255, 51, 51));
    EXPECT_TRUE(white);
}

TEST_F(GridWin, RowDragPostsThePendingEditFirstAndReportsItsSource) {
    std::vector<std::string> types;
    std::vector<HWND> targets;
    grid.DragOver = [&](HWND target, const std::string& type, POINT, bool& accept) {
        types.push_back(type);
        targets.push_back(target);
        accept = true;
    };
    ClickCell(1, kTime);
    SendMessageA(grid.EditorWindow(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("11:11:1"));
    SendMessageA(grid.EditorWindow(), EM_SETSEL, 7, 7);
    SendMessageA(grid.EditorWindow(), WM_CHAR, '1', 0);
    RECT ind{0, grid.CellRect(1, kDay).top, 10, grid.CellRect(1, kDay).bottom};
    POINT p = Center(ind);
    SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, Point(p.x, p.y));
    EXPECT_EQ(source->postCount(), 0);
    SendMessageA(grid.hwnd(), WM_MOUSEMOVE, MK_LBUTTON, Point(p.x + 30, p.y + 30));
    EXPECT_EQ(source->postCount(), 1);
    EXPECT_EQ(source->Stored(1, "Time"), "11:11:11");
    SendMessageA(grid.hwnd(), WM_LBUTTONUP, 0, Point(p.x + 30, p.y + 30));
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types[0], Grid::kTypeName);
}

TEST_F(GridWin, ManyRowsScrollTheFocusIntoView) {
    for (int i = 0; i < 60; ++i)
        source->AddRow({std::to_string(10 + i), "Mo", "08:00:00", "x" + std::to_string(i) + ".exe", "ja", "", "Standard"});
    ClickCell(0, kDay);
    Key(VK_ESCAPE);
    SendMessageA(grid.hwnd(), WM_KEYDOWN, VK_NEXT, 0);
    SendMessageA(grid.hwnd(), WM_KEYDOWN, VK_NEXT, 0);
    int row = grid.FocusedRow();
    EXPECT_GT(row, 10);
    EXPECT_GE(row, grid.model().topRow());
    EXPECT_LT(row, grid.model().topRow() + grid.model().VisibleRowCount());
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS | SIF_RANGE;
    GetScrollInfo(grid.hwnd(), SB_VERT, &si);
    EXPECT_EQ(si.nPos, grid.model().topRow());
    EXPECT_EQ(si.nMax, 62);
}

// A scroll bar shows only while rows or columns do not fit; the scroll bars
// and the wheel move the view, by rows down and by pixels across, within its
// bounds; an open editor moves with its cell.
TEST_F(GridWin, ScrollBarsAndWheelMoveTheViewAndTheEditorWithIt) {
    auto bars = [&] {
        const LONG_PTR style = GetWindowLongPtrA(grid.hwnd(), GWL_STYLE);
        return std::make_pair((style & WS_VSCROLL) != 0, (style & WS_HSCROLL) != 0);
    };
    EXPECT_EQ(bars(), std::make_pair(false, false)) << "three rows and every column fit";
    for (int i = 0; i < 60; ++i)
        source->AddRow({std::to_string(10 + i), "Mo", "08:00:00", "x.exe", "ja", "", "Standard"});
    EXPECT_EQ(bars(), std::make_pair(true, false));
    MoveWindow(grid.hwnd(), 0, 0, 300, 370, TRUE);  // narrower than the columns
    EXPECT_EQ(bars(), std::make_pair(true, true));
    ClickCell(0, kTime);
    ASSERT_TRUE(grid.EditorVisible());
    auto editorAt = [&] {
        RECT r;
        GetWindowRect(grid.EditorWindow(), &r);
        MapWindowPoints(nullptr, grid.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return POINT{r.left, r.top};
    };
    auto scroll = [&](UINT msg, int request) {
        SendMessageA(grid.hwnd(), msg, MAKEWPARAM(request, 0), 0);
        return msg == WM_VSCROLL ? grid.model().topRow() : grid.model().scrollX();
    };
    const GridModel& m = grid.model();
    const int page = m.VisibleRowCount();
    ASSERT_GT(m.MaxTopRow(), 2 * page);
    EXPECT_EQ(scroll(WM_VSCROLL, SB_LINEDOWN), 1);
    EXPECT_EQ(scroll(WM_VSCROLL, SB_PAGEDOWN), 1 + page);
    EXPECT_LT(editorAt().y, 0);  // its row is out of view
    EXPECT_EQ(scroll(WM_VSCROLL, SB_BOTTOM), m.MaxTopRow());
    EXPECT_EQ(scroll(WM_VSCROLL, SB_PAGEDOWN), m.MaxTopRow());
    EXPECT_EQ(scroll(WM_VSCROLL, SB_TOP), 0);
    EXPECT_EQ(scroll(WM_VSCROLL, SB_LINEUP), 0);
    EXPECT_EQ(editorAt().y, grid.CellRect(0, kTime).top + 2);
    SendMessageA(grid.hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(m.topRow(), 3);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    GetScrollInfo(grid.hwnd(), SB_VERT, &si);
    EXPECT_EQ(si.nPos, 3);
    SendMessageA(grid.hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);

    ASSERT_GT(m.MaxScrollX(), 16);
    EXPECT_EQ(scroll(WM_HSCROLL, SB_LINERIGHT), 16);
    EXPECT_EQ(editorAt().x, grid.CellRect(0, kTime).left + 2);
    EXPECT_EQ(scroll(WM_HSCROLL, SB_PAGERIGHT), std::min(16 + m.clientWidth(), m.MaxScrollX()));
    EXPECT_EQ(scroll(WM_HSCROLL, SB_RIGHT), m.MaxScrollX());
    EXPECT_EQ(scroll(WM_HSCROLL, SB_LEFT), 0);
    EXPECT_EQ(scroll(WM_HSCROLL, SB_LINELEFT), 0);
    GetScrollInfo(grid.hwnd(), SB_HORZ, &si);
    EXPECT_EQ(si.nPos, 0);
}

}  // namespace
