// The job row editors under Wine on the job grid over in-memory rows: the
// day-rule popup, the start-time popup with its refusal of past moments, the
// next starts both list and the Startzeit hint shows (the same as the nextstart
// tool prints), the action column's file button and operation list, the red
// forced cells, and the editors' sizes at a higher resolution.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ui/jobgrid/JobEditors.h"
#include "ui/jobgrid/JobGridColumns.h"
#include "ui/grid/Grid.h"
#include "ui/grid/MemoryGridSource.h"
#include "tests/win/WaitDialog.h"

using namespace qv;
using namespace qv::ui;
using qv::grid::MemoryGridSource;
using qv::grid::RowState;

namespace {

JobEditors* g_editors = nullptr;

LRESULT CALLBACK HostProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && g_editors && g_editors->HandleCommand(wp, lp)) return 0;
    return DefWindowProcA(h, msg, wp, lp);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string Text(HWND w) {
    char buf[1024] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// What a program prints on its standard output.
std::string Output(const std::string& commandLine) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &sa, 0)) return "";
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = write;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine, out;
    if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        CloseHandle(write);
        write = nullptr;
        char buf[512];
        DWORD n = 0;
        while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    if (write) CloseHandle(write);
    CloseHandle(read);
    return out;
}

class JobEditorsWin : public ::testing::Test {
protected:
    void SetUp() override {
        win::SetErrorSink([this](HWND, const std::string& t) { errors.push_back(t); });
        WNDCLASSA wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QvEditorsTestHost";
        RegisterClassA(&wc);
        host = CreateWindowExA(0, wc.lpszClassName, "host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800,
                               450, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(host);
        source = std::make_unique<MemoryGridSource>(std::vector<std::string>{
            "Wochentag", "Uhrzeit", "Pfad", "Aktiv", "Startzeit", "Intervall", "WindowState", "Paramter",
            "operation", "ID", "nacholen"});
        Row("MoMiFr", "c:\\a.exe", "");
        Row("Monatlich", "Neustart hart", "01.01.2030 08:00:00");
        Row("Jeden Tag", "c:\\b.exe", "10.12.2026 08:00:00");
        Row("Sa", "neustart hart", "");
        grid.Create(host, 300, 0, 0, 780, 400);
        grid.SetColumns(JobGridColumns());
        grid.SetPreviewField(kJobPreviewField);
        grid.SetDataSource(source.get());
        JobEditors::Deps deps;
        deps.clock = &clock;
        deps.nextStart = [this](DateTime base) {
            nextStartBase = base;
            return MakeDateTime(2026, 12, 10, 6, 0, 0, 300);
        };
        deps.showMessage = [this](HWND, const std::string& t) { messages.push_back(t); };
        deps.openFile = [this](HWND, std::string& path) {
            ++dialogs;
            if (fileChoice.empty()) return false;
            path = fileChoice;
            return true;
        };
        editors = std::make_unique<JobEditors>(host, grid, *source, deps);
        editors->Bind();
        g_editors = editors.get();
        ShowWindow(host, SW_SHOW);
        SetFocus(grid.hwnd());
        Pump();
    }
    void TearDown() override {
        g_editors = nullptr;
        editors.reset();
        DestroyWindow(host);
        win::SetErrorSink(nullptr);
    }
    void Row(const char* day, const char* path, const char* start) {
        source->AddRow({day, "08:00:00", path, "Y", start, "N", "Standard", "", "", "", ""});
    }
    int Col(const char* name) { return grid.model().FindColumn(name); }
    void ClickAt(HWND w, int x, int y) {
        SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        Pump();
    }
    void ClickButton(int row, const char* column, int button) {
        qv::grid::Rect r = grid.model().ButtonRect(row, Col(column), button);
        ClickAt(grid.hwnd(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void ClickItem(int item) {
        RECT r = editors->chkWochentag().ItemRect(item);
        ClickAt(editors->chkWochentag().hwnd(), r.left + 40, (r.top + r.bottom) / 2);
    }
    std::string Ticked() {
        std::string s;
        for (int i = 0; i < kDayItemCount; ++i) s += editors->chkWochentag().Checked(i) ? '1' : '0';
        return s;
    }
    void CloseWithButton() {
        SendMessageA(grid.PopupWindow(), WM_CLOSE, 0, 0);
        Pump();
    }

    HWND host = nullptr;
    FakeClock clock{MakeDateTime(2026, 12, 9, 13, 14, 15, 250)};
    std::unique_ptr<MemoryGridSource> source;
    qv::grid::Grid grid;
    std::unique_ptr<JobEditors> editors;
    std::vector<std::string> errors, messages;
    DateTime nextStartBase{};
    std::string fileChoice;
    int dialogs = 0;
};

TEST_F(JobEditorsWin, DayRulePopupOpensFromTheRuleTogglesAndClosesIntoTheCell) {
    ClickButton(0, "dxDBGrid1Wochentag", 0);
    ASSERT_TRUE(grid.PopupOpen());
    EXPECT_EQ(Ticked(), "101010000");  // Montag, Mittwoch, Freitag
    ClickItem(7);                      // "Jeden Tag"
    EXPECT_EQ(Ticked(), "000000010");
    ClickItem(7);  // clicking the ticked "Jeden Tag" leaves it ticked
    EXPECT_EQ(Ticked(), "000000010");
    CloseWithButton();
    EXPECT_FALSE(grid.PopupOpen());
    EXPECT_EQ(source->Value("Wochentag"), "Jeden Tag");
    EXPECT_EQ(source->State(), RowState::Edit);

    // "Monatlich" opens alone; Dienstag clears it.
    ClickButton(1, "dxDBGrid1Wochentag", 0);  // moving on posts row 0
    EXPECT_EQ(source->Stored(0, "Wochentag"), "Jeden Tag");
    ASSERT_TRUE(grid.PopupOpen());
    EXPECT_EQ(Ticked(), "000000001");
    ClickItem(1);
    EXPECT_EQ(Ticked(), "010000000");
    SendMessageA(editors->chkWochentag().hwnd(), WM_KEYDOWN, VK_RETURN, 0);  // Enter takes the choice
    Pump();
    EXPECT_EQ(source->Value("Wochentag"), "Di");

    // A fresh opening shows the new row's rule only.
    ClickButton(3, "dxDBGrid1Wochentag", 0);
    EXPECT_EQ(Ticked(), "000001000");
    // Clearing the only weekday gives the empty rule.
    ClickItem(5);
    CloseWithButton();
    EXPECT_EQ(source->Value("Wochentag"), "");
}

TEST_F(JobEditorsWin, UnchangedDayRuleIsRewrittenInThePopupsForm) {
    source->AddRow({"Mo-Fr", "08:00:00", "x.exe", "Y", "", "N", "Standard", "", "", "", ""});
    ClickButton(4, "dxDBGrid1Wochentag", 0);
    EXPECT_EQ(Ticked(), "100010000");
    CloseWithButton();
    EXPECT_EQ(source->Value("Wochentag"), "MoFr");
}

TEST_F(JobEditorsWin, StartPopupRefusesAPastMomentAndTakesTheNextStart) {
    qv::grid::Rect cell = grid.model().CellRect(0, Col("dxDBGrid1Startzeit"));
    ClickAt(grid.hwnd(), (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());  // a click opens it: no text cursor
    EXPECT_EQ(GetParent(editors->pnlZeit()), grid.PopupWindow());
    // Empty start: today and now.
    EXPECT_EQ(editors->PopupMoment().ms / kMsPerSecond, MakeDateTime(2026, 12, 9, 13, 14, 15).ms / kMsPerSecond);
    CloseWithButton();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Termin darf nicht in der Vergangenheit liegen\n\r"
              "Aktuelle Uhzeit: 09.12.2026 13:14:15\n\r"
              "Eingestellte Startzeit: 09.12.2026 13:14:15");
    EXPECT_EQ(nextStartBase, clock.Now());
    EXPECT_EQ(source->Value("Startzeit"), "10.12.2026 06:00:00");
}

TEST_F(JobEditorsWin, StartPopupTakesAFutureMomentToWholeSeconds) {
    qv::grid::Rect cell = grid.model().CellRect(1, Col("dxDBGrid1Startzeit"));
    ClickAt(grid.hwnd(), (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    EXPECT_EQ(editors->PopupMoment(), MakeDateTime(2030, 1, 1, 8, 0, 0));
    editors->SetPopupMoment(MakeDateTime(2026, 12, 10), MakeTime(8, 0, 0));
    CloseWithButton();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(source->Value("Startzeit"), "10.12.2026 08:00:00");
}

// The time field's own check, with the real error box: the popup stays open
// under the box, the focus comes back to the field, and the date the user
// chose is kept for correcting; no second message follows.
TEST_F(JobEditorsWin, TimeFieldRefusesAPastMomentAndKeepsThePopupOpen) {
    win::SetErrorSink(nullptr);
    qv::grid::Rect cell = grid.model().CellRect(1, Col("dxDBGrid1Startzeit"));
    ClickAt(grid.hwnd(), (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    editors->SetPopupMoment(MakeDateTime(2026, 12, 9), MakeTime(13, 0, 0));

    struct Seen {
        std::string text;
        bool popupShown = false;
    } seen;
    const DWORD thread = GetCurrentThreadId();
    HWND popup = grid.PopupWindow();
    std::thread answer([&] {
        HWND box = qv::testing::WaitDialogOfThread(thread, IDOK, 5000);
        if (!box) return;
        char text[256] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        seen.text = text;
        seen.popupShown = IsWindowVisible(popup) != FALSE;
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageA(editors->edZeit(), WM_KEYDOWN, VK_RETURN, 0);
    answer.join();
    Pump();

    EXPECT_EQ(seen.text, "Termin darf nicht in der Vergangenheit liegen.");
    EXPECT_TRUE(seen.popupShown);
    EXPECT_TRUE(grid.PopupOpen());
    EXPECT_EQ(GetFocus(), editors->edZeit());
    EXPECT_EQ(editors->PopupMoment(), MakeDateTime(2026, 12, 9, 13, 0, 0));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(source->Value("Startzeit"), "01.01.2030 08:00:00");
    editors->SetPopupMoment(MakeDateTime(2026, 12, 10), MakeTime(9, 0, 0));  // corrected
    CloseWithButton();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(source->Value("Startzeit"), "10.12.2026 09:00:00");
}

TEST_F(JobEditorsWin, DayRulePopupListsTheNextStartsOfWhatItShows) {
    ClickButton(0, "dxDBGrid1Wochentag", 0);  // "MoMiFr" 08:00, now Wed 09.12.2026 13:14
    ASSERT_TRUE(grid.PopupOpen());
    EXPECT_EQ(Text(editors->dayRuleStarts()),
              "N\xe4" "chste Starts:\r\nFr 11.12.2026 08:00\r\nMo 14.12.2026 08:00\r\nMi 16.12.2026 08:00\r\n"
              "Fr 18.12.2026 08:00\r\nMo 21.12.2026 08:00");
    ClickItem(0);
    ClickItem(2);
    ClickItem(4);  // nothing ticked
    EXPECT_EQ(Text(editors->dayRuleStarts()), "N\xe4" "chste Starts:\r\nkein sp\xe4terer Start (kein Wochentag)");
    ClickItem(8);
    const std::vector<std::string> monthly = Lines(Text(editors->dayRuleStarts()));
    ASSERT_EQ(monthly.size(), 6u);
    EXPECT_EQ(monthly[1], "Sa 09.01.2027 08:00");
    EXPECT_EQ(monthly[5], "So 09.05.2027 08:00");
    CloseWithButton();
    EXPECT_EQ(source->Value("Wochentag"), "Monatlich");
}

// The start-time popup lists the chosen moment and the starts after it; a
// moment in the past gives the starts from now, as its closing will.
TEST_F(JobEditorsWin, StartTimePopupListsFromTheChosenMoment) {
    qv::grid::Rect cell = grid.model().CellRect(2, Col("dxDBGrid1Startzeit"));  // "Jeden Tag" 08:00
    ClickAt(grid.hwnd(), (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    std::vector<std::string> lines = Lines(Text(editors->startTimeStarts()));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "Do 10.12.2026 08:00");
    EXPECT_EQ(lines[2], "Fr 11.12.2026 08:00");
    // The user picks the hours in the time field and moves them on by one.
    RECT field;
    GetClientRect(editors->edZeit(), &field);
    ClickAt(editors->edZeit(), 6, field.bottom / 2);
    SendMessageA(editors->edZeit(), WM_KEYDOWN, VK_UP, 0);
    Pump();
    EXPECT_EQ(editors->PopupMoment(), MakeDateTime(2026, 12, 10, 9, 0));
    lines = Lines(Text(editors->startTimeStarts()));
    EXPECT_EQ(lines[1], "Do 10.12.2026 09:00");
    EXPECT_EQ(lines[2], "Fr 11.12.2026 08:00");
    editors->SetPopupMoment(MakeDateTime(2026, 12, 1), MakeTime(9, 0, 0));
    lines = Lines(Text(editors->startTimeStarts()));
    EXPECT_EQ(lines[1], "Do 10.12.2026 08:00");
    CloseWithButton();
}

// A rule's time with seconds is listed with them, in both popups and the
// Startzeit hint alike; a chosen moment with seconds too.
TEST_F(JobEditorsWin, StartsAreListedWithTheirSecondsWhenTheyHaveAny) {
    source->AddRow({"Jeden Tag", "09:07:34", "x.exe", "Y", "", "N", "Standard", "", "", "", ""});
    ClickButton(4, "dxDBGrid1Wochentag", 0);
    ASSERT_TRUE(grid.PopupOpen());
    std::vector<std::string> lines = Lines(Text(editors->dayRuleStarts()));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "Do 10.12.2026 09:07:34");
    EXPECT_EQ(lines[5], "Mo 14.12.2026 09:07:34");
    CloseWithButton();
    qv::grid::Rect cell = grid.model().CellRect(4, Col("dxDBGrid1Startzeit"));
    ClickAt(grid.hwnd(), (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    ASSERT_TRUE(grid.PopupOpen());
    lines = Lines(Text(editors->startTimeStarts()));
    EXPECT_EQ(lines.at(1), "Do 10.12.2026 09:07:34");
    editors->SetPopupMoment(MakeDateTime(2026, 12, 10), MakeTime(8, 0, 0));
    lines = Lines(Text(editors->startTimeStarts()));  // the chosen 08:00:00, then 09:07:34 each day
    EXPECT_EQ(lines.at(1), "Do 10.12.2026 08:00:00");
    EXPECT_EQ(lines.at(2), "Do 10.12.2026 09:07:34");
    CloseWithButton();
}

// Resting the mouse on a Startzeit cell shows that row's next starts.
TEST_F(JobEditorsWin, StartzeitHintListsTheRowsNextStarts) {
    auto hover = [&](int row, const char* column) {
        qv::grid::Rect c = grid.model().CellRect(row, Col(column));
        SendMessageA(grid.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM((c.left + c.right) / 2, (c.top + c.bottom) / 2));
        HWND hint = grid.HintWindow();
        if (!hint) return std::string("(no hint window)");
        // The wide form: the narrow one gives at most 80 characters back.
        wchar_t text[1024] = {};
        TTTOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V1_SIZE;
        ti.hwnd = grid.hwnd();
        ti.uId = 1;
        SendMessageW(hint, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti));
        if (IsRectEmpty(&ti.rect)) return std::string();  // no tool where the mouse is
        ti.lpszText = text;
        SendMessageW(hint, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&ti));
        char narrow[1024] = {};
        WideCharToMultiByte(1252, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
        return std::string(narrow);
    };
    hover(0, "dxDBGrid1Pfad");
    EXPECT_EQ(grid.HintWindow(), nullptr);  // made at the first hint
    // Empty Startzeit: from now, as the popup would list it.
    EXPECT_EQ(Lines(hover(0, "dxDBGrid1Startzeit")).at(1), "Fr 11.12.2026 08:00");
    const std::vector<std::string> lines = Lines(hover(2, "dxDBGrid1Startzeit"));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "N\xe4" "chste Starts:");
    EXPECT_EQ(lines[1], "Do 10.12.2026 08:00");
    EXPECT_EQ(lines[5], "Mo 14.12.2026 08:00");
    EXPECT_EQ(hover(2, "dxDBGrid1Pfad"), "");
}

// The editors list the starts the nextstart tool prints for the same rules
// and bases; a rule without a later start says so where the tool prints BASE.
TEST_F(JobEditorsWin, NextStartsAgreeWithTheNextstartTool) {
    const char* tool = std::getenv("QV_NEXTSTART");
    ASSERT_NE(tool, nullptr) << "QV_NEXTSTART names the nextstart tool";
    std::string toolPath = tool;
    if (!toolPath.empty() && toolPath[0] == '/') {  // a Unix path: the same file through drive Z:
        for (char& c : toolPath)
            if (c == '/') c = '\\';
        toolPath = "Z:" + toolPath;
    }
    struct Case {
        const char* rule;
        const char* time;
        bool interval;
        const char* base;
    } cases[] = {{"MoMiFr", "10:00:00", false, "2024-05-15 10:00"},
                 {"SaSo", "09:30:00", false, "2024-05-15 10:00"},
                 {"MoDiMiDoFr", "01:00:00", true, "2024-05-17 23:30"},
                 {"Jeden Tag", "00:15:00", true, "2024-05-15 23:50"},
                 {"Monatlich", "08:00:00", false, "2024-01-31 15:00"},
                 {"Sa", "00:00:00", true, "2024-05-15 10:00"},
                 {"MoMiFr", "09:07:34", false, "2024-05-15 10:00"},
                 {"Jeden Tag", "00:00:45", true, "2024-05-15 23:58"},
                 {"", "08:00:00", false, "2024-05-15 10:00"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + " " + c.time + " from " + c.base);
        source->AddRow({c.rule, c.time, "x.exe", "Y", "", c.interval ? "Y" : "N", "Standard", "", "", "", ""});
        clock.Set(*ParseDateTime(c.base));
        ClickButton(source->RowCount() - 1, "dxDBGrid1Wochentag", 0);
        ASSERT_TRUE(grid.PopupOpen());
        const std::vector<std::string> listed = Lines(Text(editors->dayRuleStarts()));
        CloseWithButton();
        const std::vector<std::string> printed =
            Lines(Output("\"" + toolPath + "\" \"" + c.rule + "\" " + c.time + (c.interval ? " interval" : " fixed") +
                         " \"" + c.base + "\" 5"));
        ASSERT_EQ(printed.size(), 5u);
        // Seconds shown when a start has any.
        bool seconds = false;
        for (const std::string& p : printed) seconds |= ParseDateTime(p)->ms / kMsPerSecond % 60 != 0;
        size_t i = 1;
        for (; i < listed.size() && listed[i].rfind("kein", 0) != 0 && listed[i].rfind("danach", 0) != 0; ++i)
            EXPECT_EQ(listed[i], FormatListedStart(*ParseDateTime(printed[i - 1]), seconds)) << i;
        if (i < listed.size()) {  // the words: the tool's next start does not move on
            const DateTime from = i == 1 ? *ParseDateTime(c.base) : *ParseDateTime(printed[i - 2]);
            EXPECT_EQ(*ParseDateTime(printed[i - 1]), from);
        } else {
            EXPECT_EQ(i, 6u);
        }
    }
}

TEST_F(JobEditorsWin, OperationListOpensUnderTheCellAndWritesTheChoice) {
    int pfad = Col("dxDBGrid1Pfad");
    ClickButton(2, "dxDBGrid1Pfad", 1);
    HWND list = editors->ListBox();
    ASSERT_TRUE(IsWindowVisible(list));
    RECT lr, cell = grid.CellRect(2, pfad);
    GetWindowRect(list, &lr);
    MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&lr), 2);
    MapWindowPoints(grid.hwnd(), host, reinterpret_cast<POINT*>(&cell), 2);
    EXPECT_EQ(lr.top, cell.bottom);
    EXPECT_EQ(lr.left, cell.left);
    EXPECT_EQ(lr.right - lr.left, cell.right - cell.left);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 4);

    ClickButton(2, "dxDBGrid1Pfad", 1);  // a second press hides it, nothing changes
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(source->State(), RowState::Browse);

    ClickButton(2, "dxDBGrid1Pfad", 1);
    SendMessageA(list, LB_SETCURSEL, 3, 0);
    SendMessageA(host, WM_COMMAND, MAKEWPARAM(0x4302, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Pump();
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(source->Value("Pfad"), "Neustart hart");
    EXPECT_EQ(source->Value("operation"), "");
    EXPECT_EQ(source->State(), RowState::Edit);

    // A change of the focused column hides it too.
    ClickButton(2, "dxDBGrid1Pfad", 1);
    ASSERT_TRUE(IsWindowVisible(list));
    qv::grid::Rect t = grid.model().CellRect(2, Col("dxDBGrid1Uhrzeit"));
    ClickAt(grid.hwnd(), t.left + 5, (t.top + t.bottom) / 2);
    EXPECT_FALSE(IsWindowVisible(list));
}

TEST_F(JobEditorsWin, FileButtonPutsTheChosenPathIntoPfad) {
    ClickButton(0, "dxDBGrid1Pfad", 0);  // cancelled: editing, nothing changed
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(source->State(), RowState::Edit);
    EXPECT_EQ(source->Value("Pfad"), "c:\\a.exe");
    fileChoice = "c:\\Programme\\Werkzeug\\lauf.cmd";
    ClickButton(0, "dxDBGrid1Pfad", 0);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(source->Value("Pfad"), fileChoice);
    EXPECT_FALSE(grid.EditorVisible());
}

// Built beside a grid for 120 dpi, the editors are a quarter larger than at
// 96 dpi and show the program's font for that resolution.
TEST(JobEditorsDpi, EditorsScaleWithTheGridsResolution) {
    struct Sizes {
        int dayListWidth, dayItemHeight, timeFieldWidth, timeFieldHeight;
        LONG fontHeight;
    };
    auto build = [](int dpi) {
        HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800, 450,
                                    nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        MemoryGridSource source({"Wochentag", "Uhrzeit", "Pfad", "Aktiv", "Startzeit", "Intervall", "WindowState",
                                 "Paramter", "operation", "ID", "nacholen"});
        FakeClock clock{MakeDateTime(2026, 12, 9, 13, 14, 15)};
        qv::grid::Grid grid{win::Dpi(dpi)};
        grid.Create(host, 300, 0, 0, 780, 400);
        grid.SetColumns(JobGridColumns());
        JobEditors::Deps deps;
        deps.clock = &clock;
        Sizes sizes{};
        {
            JobEditors editors(host, grid, source, deps);
            RECT r;
            GetWindowRect(editors.chkWochentag().hwnd(), &r);
            sizes.dayListWidth = r.right - r.left;
            sizes.dayItemHeight = editors.chkWochentag().ItemHeight();
            GetWindowRect(editors.edZeit(), &r);
            sizes.timeFieldWidth = r.right - r.left;
            sizes.timeFieldHeight = r.bottom - r.top;
            LOGFONTA lf{};
            auto font = reinterpret_cast<HFONT>(SendMessageA(editors.ListBox(), WM_GETFONT, 0, 0));
            GetObjectA(font, sizeof lf, &lf);
            sizes.fontHeight = lf.lfHeight;
        }
        DestroyWindow(host);
        return sizes;
    };
    const Sizes at96 = build(96), at120 = build(120);
    // The day list is as wide as its popup, which also holds the lines of starts.
    EXPECT_GT(at120.dayListWidth, at96.dayListWidth);
    EXPECT_GE(at120.dayListWidth, 150);  // 120 at 96 dpi
    EXPECT_EQ(at120.timeFieldWidth, at96.timeFieldWidth * 5 / 4);
    EXPECT_GT(at120.timeFieldHeight, at96.timeFieldHeight);
    EXPECT_GT(at120.dayItemHeight, at96.dayItemHeight);
    EXPECT_EQ(at96.fontHeight, -11);  // 8 points
    EXPECT_EQ(at120.fontHeight, -13);
}

// At 96 and at 120 dpi each popup holds its controls and its whole list of
// starts, the longest words included, without cutting any of it.
TEST(JobEditorsDpi, StartListsFitTheirPopupsAt96And120Dpi) {
    // Fully inside the popup's client area, and the text fits the label.
    auto fits = [](HWND popup, HWND part) {
        RECT client, r;
        GetClientRect(popup, &client);
        GetWindowRect(part, &r);
        MapWindowPoints(nullptr, popup, reinterpret_cast<POINT*>(&r), 2);
        RECT inside;
        IntersectRect(&inside, &client, &r);
        return EqualRect(&inside, &r) != FALSE;
    };
    auto textFits = [](HWND label) {
        const std::string text = Text(label);
        RECT rc;
        GetClientRect(label, &rc);
        HDC dc = GetDC(label);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
        RECT need{0, 0, rc.right, 0};
        DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
        return !text.empty() && need.bottom <= rc.bottom && need.right <= rc.right;
    };
    for (int dpi : {96, 120}) {
        SCOPED_TRACE(dpi);
        HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800, 450,
                                    nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        MemoryGridSource source({"Wochentag", "Uhrzeit", "Pfad", "Aktiv", "Startzeit", "Intervall", "WindowState",
                                 "Paramter", "operation", "ID", "nacholen"});
        source.AddRow({"MoMiFr", "08:00:00", "x.exe", "Y", "", "N", "Standard", "", "", "", ""});
        source.AddRow({"Sa", "00:00:00", "x.exe", "Y", "", "Y", "Standard", "", "", "", ""});
        FakeClock clock{MakeDateTime(2026, 12, 9, 13, 14, 15)};
        qv::grid::Grid grid{win::Dpi(dpi)};
        grid.Create(host, 300, 0, 0, 780, 400);
        grid.SetColumns(JobGridColumns());
        grid.SetDataSource(&source);
        JobEditors::Deps deps;
        deps.clock = &clock;
        deps.showMessage = [](HWND, const std::string&) {};
        JobEditors editors(host, grid, source, deps);
        editors.Bind();
        ShowWindow(host, SW_SHOW);
        for (int row : {0, 1}) {  // five starts; one start and the words after it
            ASSERT_TRUE(grid.FocusCell(row, grid.model().FindColumn("dxDBGrid1Wochentag")));
            grid.OpenPopup();
            ASSERT_TRUE(grid.PopupOpen());
            EXPECT_TRUE(fits(grid.PopupWindow(), editors.chkWochentag().hwnd()));
            EXPECT_TRUE(fits(grid.PopupWindow(), editors.dayRuleStarts()));
            EXPECT_TRUE(textFits(editors.dayRuleStarts())) << Text(editors.dayRuleStarts());
            RECT list, starts;
            GetWindowRect(editors.chkWochentag().hwnd(), &list);
            GetWindowRect(editors.dayRuleStarts(), &starts);
            EXPECT_LE(list.bottom, starts.top);
            grid.ClosePopup();

            ASSERT_TRUE(grid.FocusCell(row, grid.model().FindColumn("dxDBGrid1Startzeit")));
            grid.OpenPopup();
            ASSERT_TRUE(grid.PopupOpen());
            for (HWND part : {editors.Calendar(), editors.edZeit(), editors.startTimeStarts()})
                EXPECT_TRUE(fits(grid.PopupWindow(), part));
            EXPECT_TRUE(textFits(editors.startTimeStarts())) << Text(editors.startTimeStarts());
            grid.ClosePopup();
        }
        DestroyWindow(host);
    }
}

}  // namespace
