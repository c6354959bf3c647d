// The job grid under Wine over a real job table: rows typed into the grid end
// up in the table file, check boxes and editors write through the cursor's
// field objects, header sorting leaves the table's order alone, and the job
// grid view draws the forced operations red.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/Table.h"
#include "schema/JobSchema.h"
#include "tests/engine/EngineTestSupport.h"
#include "ui/data/CursorGridSource.h"
#include "ui/grid/Grid.h"
#include "ui/jobgrid/JobEditors.h"
#include "ui/jobgrid/JobGridColumns.h"
#include "ui/jobgrid/JobGridView.h"

namespace jf = qv::schema::job;

using namespace qv;
using namespace qv::engine;
using namespace qv::engine::test;

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class GridOnTable : public ::testing::Test {
protected:
    void SetUp() override {
        win::SetErrorSink([this](HWND, const std::string& t) { errors.push_back(t); });
        path = dir.File("Timer.DAT");
        ASSERT_TRUE(CreateTable(path, JobTableDef()));
        cursor.SetPath(path);
        cursor.AfterInsert = [](Cursor& c) {
            c.FieldByName(jf::kAktiv).SetAsString("Y");
            c.FieldByName(jf::kIntervall).SetAsString("N");
            c.FieldByName(jf::kWindowState).SetAsString("Standard");
        };
        cursor.Open();
        source = std::make_unique<ui::CursorGridSource>(cursor);
        host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800, 400, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(host);
        grid.Create(host, 300, 0, 0, 780, 360);
        grid.SetColumns(ui::JobGridColumns());
        grid.SetPreviewField(ui::kJobPreviewField);
        grid.SetDataSource(source.get());
        ShowWindow(host, SW_SHOW);
        SetFocus(grid.hwnd());
        Pump();
    }
    void TearDown() override {
        grid.SetDataSource(nullptr);
        DestroyWindow(host);
        win::SetErrorSink(nullptr);
    }
    int Col(const char* name) { return grid.model().FindColumn(name); }
    // Keys go to the grid's editor or the grid itself, not to whatever has the
    // focus: another test process's window may take the activation meanwhile.
    HWND KeyTarget() { return grid.EditorVisible() ? grid.EditorWindow() : grid.hwnd(); }
    void Key(WPARAM vk) {
        SendMessageA(KeyTarget(), WM_KEYDOWN, vk, 0);
        Pump();
    }
    void Type(const std::string& text) {
        for (char ch : text) SendMessageA(KeyTarget(), WM_CHAR, static_cast<unsigned char>(ch), 0);
        Pump();
    }
    // The table as another session sees it.
    std::vector<std::string> Stored(const char* field) {
        Session other("other", QuickOptions());
        Cursor c(other, path);
        c.Open();
        std::vector<std::string> out;
        for (c.First(); !c.Eof(); c.Next()) out.push_back(c.FieldByName(field).AsString());
        return out;
    }

    ScratchDir dir;
    std::string path;
    Session ses{"ses", QuickOptions()};
    Cursor cursor{ses};
    std::unique_ptr<ui::CursorGridSource> source;
    HWND host = nullptr;
    grid::Grid grid;
    std::vector<std::string> errors;
};

TEST_F(GridOnTable, RowsTypedIntoTheGridArePostedToTheTable) {
    Key(VK_DOWN);  // empty table: a first row
    ASSERT_EQ(cursor.state(), DatasetState::Insert);
    EXPECT_EQ(grid.FocusedColumn(), Col("dxDBGrid1Wochentag"));
    Type("MoMiFr");
    Key(VK_TAB);
    Type("8:00");
    Key(VK_TAB);
    Type("c:\\x.exe");
    Key(VK_DOWN);  // leaving the row posts it and starts the next
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors[0]);
    EXPECT_EQ(Stored("Pfad"), std::vector<std::string>{"c:\\x.exe"});
    EXPECT_EQ(Stored("Uhrzeit"), std::vector<std::string>{"08:00:00.000"});
    EXPECT_EQ(Stored("Aktiv"), std::vector<std::string>{"Y"});
    EXPECT_EQ(cursor.state(), DatasetState::Insert);
    Key(VK_UP);  // the untouched second row goes again
    EXPECT_EQ(cursor.state(), DatasetState::Browse);
    EXPECT_EQ(cursor.RecordCount(), 1);

    // A refused time keeps the editor and the row.
    grid::Rect t = grid.model().CellRect(0, Col("dxDBGrid1Uhrzeit"));
    SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(t.left + 5, t.top + 5));
    SendMessageA(grid.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(t.left + 5, t.top + 5));
    SendMessageA(grid.EditorWindow(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("25:99"));
    Key(VK_TAB);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "'25:99' ist keine g\xfcltige Zeit");
    EXPECT_EQ(grid.FocusedColumn(), Col("dxDBGrid1Uhrzeit"));
    EXPECT_TRUE(grid.EditorVisible());
    EXPECT_EQ(Stored("Uhrzeit"), std::vector<std::string>{"08:00:00.000"});
}

TEST_F(GridOnTable, TypingIntoAnEmptyGridStartsTheFirstRow) {
    Type("Sa");
    EXPECT_EQ(cursor.state(), DatasetState::Insert);
    ASSERT_TRUE(grid.EditorVisible());
    EXPECT_EQ(grid.EditorText(), "Sa");
    Key(VK_TAB);
    EXPECT_EQ(cursor.FieldByName(jf::kWochentag).AsString(), "Sa");
    EXPECT_EQ(cursor.RecordCount(), 1);
}

TEST_F(GridOnTable, CheckBoxesAndTheFileButtonWriteThroughTheFields) {
    AppendJob(cursor, "c:\\a.exe", "Mo");
    AppendJob(cursor, "c:\\b.exe", "Di");
    cursor.First();
    grid.Reload();
    ui::JobEditors::Deps deps;
    FakeClock clock(MakeDateTime(2026, 12, 9, 12, 0));
    deps.clock = &clock;
    deps.nextStart = [](DateTime b) { return b; };
    std::string longPath = "c:\\" + std::string(240, 'd') + "\\lauf.exe";
    deps.openFile = [&](HWND, std::string& p) {
        p = longPath;
        return true;
    };
    ui::JobEditors editors(host, grid, *source, deps);
    editors.Bind();

    grid::Rect box = grid.model().CheckRect(1, Col("dxDBGrid1Aktiv"));
    SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box.left + 4, box.top + 4));
    EXPECT_EQ(cursor.RecNo(), 1);
    EXPECT_EQ(cursor.FieldByName(jf::kAktiv).AsString(), "N");
    grid::Rect b = grid.model().ButtonRect(1, Col("dxDBGrid1Pfad"), 0);
    SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b.left + 4, b.top + 4));
    Pump();
    EXPECT_EQ(cursor.FieldByName(jf::kPfad).AsString(), longPath.substr(0, 200));  // the field's width
    grid.FocusCell(0, Col("dxDBGrid1Pfad"));
    EXPECT_EQ(Stored("Aktiv"), (std::vector<std::string>{"Y", "N"}));
    EXPECT_EQ(Stored("Pfad")[1], longPath.substr(0, 200));
}

TEST_F(GridOnTable, HeaderSortingOrdersTheDisplayNotTheTable) {
    AppendJob(cursor, "c:\\b.exe", "Mo");
    AppendJob(cursor, "c:\\c.exe", "Di");
    AppendJob(cursor, "c:\\a.exe", "Mi");
    grid.Reload();
    grid::Rect h = grid.model().HeaderRect(Col("dxDBGrid1Pfad"));
    SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(h.left + 20, h.top + 5));
    SendMessageA(grid.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(h.left + 20, h.top + 5));
    EXPECT_EQ(source->CellText(grid.model().DataRow(0), "Pfad"), "c:\\a.exe");
    EXPECT_EQ(source->CellText(grid.model().DataRow(2), "Pfad"), "c:\\c.exe");
    EXPECT_EQ(Stored("Pfad"), (std::vector<std::string>{"c:\\b.exe", "c:\\c.exe", "c:\\a.exe"}));
    // Clicking the first shown row makes the table's third row current.
    grid::Rect c = grid.model().CellRect(0, Col("dxDBGrid1Parameter"));
    SendMessageA(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.left + 5, c.top + 5));
    EXPECT_EQ(cursor.RecNo(), 2);

    // A posted change takes its sorted place once the grid gets its turn.
    source->SetValue("Pfad", "c:\\z.exe");
    grid.FocusCell(1, Col("dxDBGrid1Parameter"));
    Pump();
    EXPECT_EQ(Stored("Pfad")[2], "c:\\z.exe");
    EXPECT_EQ(source->CellText(grid.model().DataRow(2), "Pfad"), "c:\\z.exe");
    EXPECT_EQ(source->CellText(grid.model().DataRow(0), "Pfad"), "c:\\b.exe");
    EXPECT_EQ(grid.model().DataRow(grid.FocusedRow()), cursor.RecNo());
}

TEST_F(GridOnTable, JobGridViewServesAsTheWindowsRowView) {
    AppendJob(cursor, "c:\\a.exe", "Mo");
    ui::JobGridView view{win::Dpi()};
    ui::RowView& rows = view;
    HWND h = rows.Create(host, 301, RECT{0, 0, 100, 100});
    ASSERT_TRUE(h);
    rows.Bind(&cursor);
    EXPECT_EQ(view.grid().model().RowCount(), 1);
    EXPECT_EQ(view.source()->CellText(0, "Pfad"), "c:\\a.exe");
    EXPECT_EQ(rows.ColumnWidth("Pfad"), 190);
    EXPECT_EQ(rows.ColumnWidth("Aktiv"), 30);
    EXPECT_EQ(rows.ColumnWidth("nichtda"), -1);
    rows.SetColumnWidth("Aktiv", 10);  // never below 20
    EXPECT_EQ(rows.ColumnWidth("Aktiv"), 20);
    // The forced operations are drawn white on red, in the action column only.
    const int pfad = view.grid().model().FindColumn("dxDBGrid1Pfad");
    const struct {
        int column;
        const char* text;
        bool red;
    } cells[] = {{pfad, "Neustart hart", true},
                 {pfad, "herunterfahren hart", true},
                 {pfad, "neustart hart", false},
                 {pfad, "Neustart", false},
                 {view.grid().model().FindColumn("dxDBGrid1Parameter"), "Neustart hart", false}};
    for (const auto& c : cells) {
        COLORREF bg = RGB(1, 2, 3), fg = RGB(4, 5, 6);
        view.grid().CustomDrawCell(c.column, 0, c.text, bg, fg);
        EXPECT_EQ(bg, c.red ? RGB(255, 51, 51) : RGB(1, 2, 3)) << c.text;
        EXPECT_EQ(fg, c.red ? RGB(255, 255, 255) : RGB(4, 5, 6)) << c.text;
    }
    rows.SetBounds(0, 0, 500, 200);
    RECT rc;
    GetWindowRect(h, &rc);
    EXPECT_EQ(rc.right - rc.left, 500);
    rows.Bind(nullptr);
    EXPECT_EQ(view.source(), nullptr);
    EXPECT_EQ(view.grid().model().RowCount(), 0);
}

}  // namespace
