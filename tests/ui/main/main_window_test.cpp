#include <fstream>
#include <iterator>
// The main window in-process under Wine (headless): start-up, closing, the
// error indicator, the log viewer, dropped files, help contexts, scaling.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "actions/Countdown.h"
#include "app/Autostart.h"
#include "jobs/Tables.h"
#include "schema/JobSchema.h"
#include "tests/jobs/TempDir.h"
#include "tests/win/Keyboard.h"
#include "tests/win/NavigatorClick.h"
#include "tests/win/WaitDialog.h"
#include "ui/main/FrmVistorel.h"
#include "ui/main/VistorelIds.h"
#include "win/Desktop.h"
#include "win/Subclass.h"

namespace jf = qv::schema::job;
namespace lf = qv::schema::runlog;

namespace qv::ui {
namespace {

HWND Descendant(HWND parent, int id) {
    struct Args {
        int id;
        HWND found;
    } a{id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
            auto* a = reinterpret_cast<Args*>(lp);
            if (GetDlgCtrlID(w) != a->id) return TRUE;
            a->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&a));
    return a.found;
}

std::string Text(HWND w) {
    char buf[256] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

// Lets the window's messages (and its timer) run for ms milliseconds.
void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

// Answers the real message boxes of this process with OK from a second
// thread, as a user would, and keeps their texts.
class BoxPresser {
public:
    BoxPresser() : thread_([this] { Run(); }) {}
    ~BoxPresser() {
        stop_ = true;
        thread_.join();
    }
    std::vector<std::string> texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    void Run() {
        while (!stop_) {
            HWND box = nullptr;
            EnumWindows(
                [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
                    DWORD pid = 0;
                    GetWindowThreadProcessId(w, &pid);
                    char cls[32] = {};
                    GetClassNameA(w, cls, sizeof cls);
                    if (pid != GetCurrentProcessId() || lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(w))
                        return TRUE;
                    *reinterpret_cast<HWND*>(lp) = w;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&box));
            if (box) {
                std::string text;
                for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                    char cls[32] = {};
                    GetClassNameA(c, cls, sizeof cls);
                    if (lstrcmpiA(cls, "Static") == 0) text += Text(c);
                }
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    texts_.push_back(text);
                }
                PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(10);
            }
            Sleep(20);
        }
    }
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : clock(*ParseDateTime("2024-05-15 10:00")) {}

    TfrmVistorel& Build(int dpi = 96, std::string autostart = {}, bool realBoxes = false) {
        autostartValue = std::move(autostart);
        VistorelEnv env;
        env.exeDir = dir.path();
        env.exePath = dir.path() + "Quarvelin.exe";
        env.clock = &clock;
        env.dpi = dpi;
        env.messageBox = [this](HWND, const win::MessageBoxRequest& r) {
            boxes.push_back(r);
            timerAtBox.push_back(window && window->timerEnabled());
            int answer = answers.empty() ? IDOK : answers.front();
            if (!answers.empty()) answers.pop_front();
            return answer;
        };
        env.readAutostart = [this] { return autostartValue; };
        env.writeAutostart = [this](const std::string& path, bool write) {
            autostartWrites.push_back((write ? "write " : "delete ") + path);
            return true;
        };
        if (registry) {  // the real entry, at a place of the test's own
            env.readAutostart = [this] { return app::ReadAutostartEntry(app::kAutostartValueName, *registry); };
            env.writeAutostart = [this](const std::string& path, bool write) {
                return app::SetAutostartEntry(path, app::kAutostartValueName, write, *registry);
            };
        }
        env.exitWindows = [](UINT, DWORD) -> BOOL { return FALSE; };
        env.trayShell = trayShell;
        win::SetErrorSink([this](HWND, const std::string& text) { errors.push_back(text); });
        if (realBoxes) {  // what the user sees, for a BoxPresser to answer
            env.messageBox = win::SystemMessageBox;
            win::SetErrorSink(nullptr);
        }
        // An earlier test's window ended the message loop: not this one's.
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        window = std::make_unique<TfrmVistorel>(std::move(env));
        return *window;
    }
    ~MainWindowTest() override {
        window.reset();
        win::SetErrorSink(nullptr);
    }
    HWND Item(int id) { return Descendant(window->hwnd(), id); }
    // A daily 08:00 job for a file of the test's folder, due since start, put
    // in through a session of another tool.
    void AddDueJob(const std::string& file, const std::string& nacholen = "",
                   const std::string& start = "2024-05-15 09:00") {
        engine::Session other("tool");
        engine::Cursor c(other, dir.path() + "timer.dat");
        c.Open();
        c.Append();
        c.FieldByName(jf::kWochentag).SetAsString("Jeden Tag");
        c.FieldByName(jf::kUhrzeit).SetAsTime(MakeTime(8, 0));
        c.FieldByName(jf::kPfad).SetAsString(dir.path() + file);
        c.FieldByName(jf::kAktiv).SetAsString("Y");
        c.FieldByName(jf::kNacholen).SetAsString(nacholen);
        c.FieldByName(jf::kWindowState).SetAsString("Standard");
        c.FieldByName(jf::kIntervall).SetAsString("N");
        c.FieldByName(jf::kStartzeit).SetAsDateTime(*ParseDateTime(start));
        c.Post();
    }
    bool Checked(int id) { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // The window shown and in the foreground, as after a start, with the
    // keyboard on the grid.
    void ShowInFront() {
        window->ShowAtStart(SW_SHOWNORMAL);
        SetForegroundWindow(window->hwnd());
        SetFocus(window->grid().hwnd());
        Loop(300);
    }
    // The program's message loop: keyboard navigation first.
    void Loop(DWORD ms) {
        qv::testing::RunLoop(ms, [this](MSG* m) { return window && window->PreTranslate(m); });
    }
    void Keys(std::initializer_list<WORD> chord, DWORD ms = 150) {
        qv::testing::Chord(chord);
        Loop(ms);
    }
    void Type(const std::string& text) {
        qv::testing::TypeText(text);
        Loop(150);
    }
    grid::Grid& JobGrid() { return dynamic_cast<JobGridView&>(window->grid()).grid(); }
    // The keyboard to a column of the grid's focused row, by Tab and Shift+Tab.
    void KeyTo(const char* column) {
        grid::Grid& g = JobGrid();
        const int target = g.model().FindColumn(column);
        for (int i = 0; i < 12 && g.FocusedColumn() != target; ++i) {
            if (g.FocusedColumn() < target)
                Keys({VK_TAB});
            else
                Keys({VK_SHIFT, VK_TAB});
        }
    }
    // A field of the stored job whose Pfad ends with pfad, as another session reads it.
    std::string Stored(const std::string& pfad, const char* field) {
        engine::Session other("check");
        engine::Cursor c(other, dir.path() + "timer.dat");
        c.Open();
        for (c.First(); !c.Eof(); c.Next()) {
            const std::string p = c.FieldByName(jf::kPfad).AsString();
            if (p.size() >= pfad.size() && p.compare(p.size() - pfad.size(), pfad.size(), pfad) == 0) {
                engine::Field& f = c.FieldByName(field);
                return f.type() == engine::FieldType::DateTime ? FormatDateTime(f.AsDateTime())
                       : f.type() == engine::FieldType::Time   ? FormatTime(f.AsTime()).substr(0, 8)
                                                               : f.AsString();
            }
        }
        return "(no such job)";
    }
    // What a control shows on the screen, pixel by pixel.
    static std::vector<COLORREF> Pixels(HWND control) {
        RECT rc{};
        GetClientRect(control, &rc);
        std::vector<COLORREF> px;
        HDC dc = GetDC(control);
        for (int y = 0; y < rc.bottom; ++y)
            for (int x = 0; x < rc.right; ++x) px.push_back(GetPixel(dc, x, y));
        ReleaseDC(control, dc);
        return px;
    }
    // The current row's value as its cell shows it.
    std::string Cell(const char* field) {
        return dynamic_cast<JobGridView&>(window->grid()).source()->Value(field);
    }
    // The first descendant of parent of the window class.
    static HWND OfClass(HWND parent, const char* cls) {
        struct Args {
            const char* cls;
            HWND found;
        } a{cls, nullptr};
        EnumChildWindows(
            parent,
            [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
                auto* a = reinterpret_cast<Args*>(lp);
                char name[64] = {};
                GetClassNameA(w, name, sizeof name);
                if (lstrcmpiA(name, a->cls) != 0) return TRUE;
                a->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&a));
        return a.found;
    }
    // Clicks a day in a month calendar, found by the calendar's hit test.
    static bool ClickDay(HWND calendar, int year, int month, int day) {
        RECT rc{};
        GetClientRect(calendar, &rc);
        for (int y = 0; y < rc.bottom; y += 2)
            for (int x = 0; x < rc.right; x += 2) {
                MCHITTESTINFO hit{};
                hit.cbSize = MCHITTESTINFO_V1_SIZE;
                hit.pt = {x, y};
                SendMessageA(calendar, MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
                if (hit.uHit != MCHT_CALENDARDATE || hit.st.wYear != year || hit.st.wMonth != month ||
                    hit.st.wDay != day)
                    continue;
                SendMessageA(calendar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x + 2, y + 2));
                SendMessageA(calendar, WM_LBUTTONUP, 0, MAKELPARAM(x + 2, y + 2));
                return true;
            }
        return false;
    }

    qv::testing::TempDir dir;
    FakeClock clock;
    std::string autostartValue;
    std::vector<std::string> autostartWrites;
    std::vector<win::MessageBoxRequest> boxes;
    std::vector<bool> timerAtBox;  // whether a tick could come while each box was open
    std::deque<int> answers;
    std::vector<std::string> errors;
    const app::AutostartLocation* registry = nullptr;
    win::TrayShell trayShell;  // the system's when left empty
    std::unique_ptr<TfrmVistorel> window;
};

TEST_F(MainWindowTest, FirstStartCreatesTablesAndShowsTheSchedulerOff) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(qv::testing::Exists(dir.path() + "timer.dat"));
    EXPECT_TRUE(qv::testing::Exists(dir.path() + "log.dat"));
    EXPECT_TRUE(w.data().tblTimer.active());
    EXPECT_TRUE(w.data().tblTimer2.active());
    EXPECT_TRUE(w.data().tblLog.active());
    EXPECT_EQ(qv::testing::ReadFile(dir.path() + "Quarvelin.ini"), "[App]\r\nmail=1\r\n");
    EXPECT_EQ(Text(Item(ids::btnAktiv)), "In&aktiv");
    EXPECT_FALSE(w.aktivDown());
    EXPECT_FALSE(w.aktivFlat());
    EXPECT_FALSE(w.timerEnabled());
    EXPECT_EQ(w.Tray().iconIndex(), 0);
    EXPECT_FALSE(Checked(ids::chkAutostart));
    EXPECT_TRUE(Checked(ids::chkMail));
    EXPECT_TRUE(autostartWrites.empty());
    EXPECT_EQ(Text(w.hwnd()), "Quarvelin 1.03");
    // Switching on shows "&Aktiv", down, and runs the timer.
    SendMessageA(Item(ids::btnAktiv), BM_CLICK, 0, 0);
    EXPECT_EQ(Text(Item(ids::btnAktiv)), "&Aktiv");
    EXPECT_TRUE(w.aktivDown());
    EXPECT_TRUE(w.timerEnabled());
    // Each tick blinks the button and the tray icon; the caption, the same
    // at every tick, is not sent again.
    int captionsSent = 0;
    win::Subclass watch;
    watch.Install(Item(ids::btnAktiv), [&](HWND h, UINT m, WPARAM wp, LPARAM lp) {
        captionsSent += m == WM_SETTEXT;
        return watch.CallOriginal(h, m, wp, lp);
    });
    w.TimerTimer();
    EXPECT_TRUE(w.aktivFlat());
    EXPECT_EQ(w.Tray().iconIndex(), 1);
    w.TimerTimer();
    EXPECT_FALSE(w.aktivFlat());
    EXPECT_EQ(w.Tray().iconIndex(), 0);
    EXPECT_EQ(captionsSent, 0);
    EXPECT_EQ(Text(Item(ids::btnAktiv)), "&Aktiv");
}

TEST_F(MainWindowTest, AnExistingAutostartEntryIsRewrittenWithTheCurrentPath) {
    TfrmVistorel& w = Build(96, "C:\\alt\\Quarvelin.exe");
    w.FormCreate();
    EXPECT_TRUE(Checked(ids::chkAutostart));
    ASSERT_EQ(autostartWrites.size(), 1u);
    EXPECT_EQ(autostartWrites[0], "write " + dir.path() + "Quarvelin.exe");
    // Clearing the box deletes the entry.
    SendMessageA(Item(ids::chkAutostart), BM_CLICK, 0, 0);
    ASSERT_EQ(autostartWrites.size(), 2u);
    EXPECT_EQ(autostartWrites[1].rfind("delete ", 0), 0u);
}

// A user who may read the Run key but not write it (no administrator): the
// box shows the entry as it is, and a click that cannot change it says so and
// shows the real state again.
TEST_F(MainWindowTest, AutostartTheUserMayNotChangeSaysSoAndShowsTheRealState) {
    const app::AutostartLocation where{HKEY_CURRENT_USER, "Software\\QvMainWindowTest\\Run"};
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(where.root, where.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const std::string exe = dir.path() + "Quarvelin.exe";
    RegSetValueExA(key, app::kAutostartValueName, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(exe.c_str()), static_cast<DWORD>(exe.size() + 1));
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1,
                                                                     &readOnly, nullptr));
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    LocalFree(readOnly);
    RegCloseKey(key);
    struct Cleanup {
        ~Cleanup() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QvMainWindowTest"); }
    } cleanup;

    registry = &where;
    Build().FormCreate();
    EXPECT_TRUE(Checked(ids::chkAutostart));
    EXPECT_TRUE(boxes.empty());  // the entry names this program: nothing to write

    SendMessageA(Item(ids::chkAutostart), BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("Autostart kann nicht ge\xe4ndert werden", 0), 0u) << boxes[0].text;
    EXPECT_TRUE(Checked(ids::chkAutostart));
    EXPECT_EQ(app::ReadAutostartEntry(app::kAutostartValueName, where), exe);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, SettingsFromTheFileDecideMinimizedAndScheduler) {
    qv::testing::WriteFile(dir.path() + "Quarvelin.ini",
                           "[App]\r\nminimized=1\r\naktiviert=1\r\nmail=0\r\nmailadresse=a@b.de\r\n");
    TfrmVistorel& w = Build();
    w.FormCreate();
    EXPECT_TRUE(Checked(ids::chkminimized));
    EXPECT_TRUE(Checked(ids::chkAktiviert));
    EXPECT_FALSE(Checked(ids::chkMail));
    EXPECT_EQ(Text(Item(ids::edMail)), "a@b.de");
    EXPECT_EQ(Text(Item(ids::btnAktiv)), "&Aktiv");
    EXPECT_TRUE(w.timerEnabled());
    // Minimized start: the window stays hidden or minimized, never shown normal.
    w.ShowAtStart(SW_SHOWNORMAL);
    EXPECT_TRUE(!IsWindowVisible(w.hwnd()) || IsIconic(w.hwnd()));
    // A restore shows it normal.
    w.Wiederherstellen1Click();
    EXPECT_TRUE(IsWindowVisible(w.hwnd()));
    EXPECT_FALSE(IsIconic(w.hwnd()));
    // Editing the address writes it at once.
    SetWindowTextA(Item(ids::edMail), "neu@b.de");
    EXPECT_NE(qv::testing::ReadFile(dir.path() + "Quarvelin.ini").find("mailadresse=neu@b.de"),
              std::string::npos);
}

TEST_F(MainWindowTest, ClosingAsksUnlessTheSessionEnds) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    answers = {IDCANCEL};
    SendMessageA(w.hwnd(), WM_CLOSE, 0, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Wirklich beenden ?\n\rWenn Sie beenden werden keine Programme mehr gestartet.");
    EXPECT_EQ(boxes[0].caption, "Beenden");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_TRUE(IsWindow(w.hwnd()));

    EXPECT_EQ(SendMessageA(w.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(w.endSession());
    // After a cancelled session end a close asks nothing either.
    SendMessageA(w.hwnd(), WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(IsWindow(w.hwnd()));
    SendMessageA(w.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(w.hwnd(), nullptr);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, ErrorIndicatorLightsAndClearsOnClick) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    HWND image = Item(ids::Image1);
    EXPECT_FALSE(w.errorIndicator());
    w.LightErrorIndicator();
    EXPECT_TRUE(w.errorIndicator());
    EXPECT_TRUE(GetWindowLongA(image, GWL_STYLE) & WS_VISIBLE);
    SendMessageA(Item(ids::kPanel1), WM_COMMAND, MAKEWPARAM(ids::Image1, STN_CLICKED),
                 reinterpret_cast<LPARAM>(image));
    EXPECT_FALSE(w.errorIndicator());
    EXPECT_FALSE(GetWindowLongA(image, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(MainWindowTest, LogViewerIsCreatedOnceSortsDeletesAfterAskingAndEmptiesOnlyOnYes) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    w.data().AppendLogEntry("C:\\a.exe", "Datei nicht gefunden");
    w.data().AppendLogEntry("C:\\b.exe", "abgebrochen");
    w.data().AppendLogEntry("C:\\c.exe", "abgebrochen");
    SendMessageA(Item(ids::Button2), BM_CLICK, 0, 0);
    TfrmLog* log = w.frmLog();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(Text(log->hwnd()), "LogDB");
    EXPECT_TRUE(IsWindowVisible(log->hwnd()));
    grid::Grid& g = log->grid();
    g.Reload();
    ASSERT_EQ(g.model().RowCount(), 3);
    EXPECT_FALSE(g.model().column(0).visible);  // ID
    EXPECT_EQ(log->source().CellText(0, "Pfad"), "C:\\a.exe");
    EXPECT_EQ(log->source().CellText(1, "Fehler"), "abgebrochen");
    EXPECT_EQ(log->source().CellText(0, "Zeit"), "15.05.2024 10:00:00");  // the grid's date form
    EXPECT_GT(g.model().metrics().previewHeight, 0);  // the Pfad line under each row

    // A click on a header sorts by it, a second click the other way round.
    const int pfad = g.model().FindColumn("frmLogPfad");
    auto clickHeader = [&] {
        const grid::Rect h = g.model().HeaderRect(pfad);
        const LPARAM at = MAKELPARAM((h.left + h.right) / 2, (h.top + h.bottom) / 2);
        SendMessageA(g.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(g.hwnd(), WM_LBUTTONUP, 0, at);
    };
    clickHeader();
    EXPECT_EQ(g.model().column(pfad).sort, grid::SortMark::Up);
    EXPECT_EQ(g.model().DataRow(0), 0);
    clickHeader();
    EXPECT_EQ(g.model().column(pfad).sort, grid::SortMark::Down);
    EXPECT_EQ(g.model().DataRow(0), 2);

    // Nothing can be typed or added; Delete asks the navigator's question.
    ASSERT_TRUE(g.FocusCell(0, pfad));  // c.exe, first when sorted down
    SendMessageA(g.hwnd(), WM_CHAR, 'x', 0);
    SendMessageA(g.hwnd(), WM_KEYDOWN, VK_INSERT, 0);
    EXPECT_FALSE(g.EditorVisible());
    EXPECT_EQ(w.data().tblLog.RecordCount(), 3);
    SendMessageA(g.hwnd(), WM_KEYDOWN, VK_DELETE, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Datensatz l\xf6schen?");
    EXPECT_EQ(w.data().tblLog.RecordCount(), 2);
    w.data().tblLog.Last();
    EXPECT_EQ(w.data().tblLog.FieldByName(lf::kPfad).AsString(), "C:\\b.exe");  // c.exe went

    // Closing hides; the next click shows the same window.
    SendMessageA(log->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(log->hwnd()));
    SendMessageA(Item(ids::Button2), BM_CLICK, 0, 0);
    EXPECT_EQ(w.frmLog(), log);
    EXPECT_TRUE(IsWindowVisible(log->hwnd()));

    // Its navigator deletes one entry after the same question.
    HWND nav = GetDlgItem(log->hwnd(), TfrmLog::kNavigatorId);
    qv::testing::ClickNavigatorButton(nav, 4, 6);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Datensatz l\xf6schen?");
    EXPECT_EQ(w.data().tblLog.RecordCount(), 1);

    boxes.clear();
    answers = {IDNO};
    SendMessageA(GetDlgItem(log->hwnd(), TfrmLog::kButton1Id), BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Wirklich alle Eint\xe4ge l\xf6schen?");
    EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(w.data().tblLog.RecordCount(), 1);
    answers = {IDYES};
    SendMessageA(GetDlgItem(log->hwnd(), TfrmLog::kButton1Id), BM_CLICK, 0, 0);
    EXPECT_EQ(w.data().tblLog.RecordCount(), 0);
    // The viewer's timer refreshes the list from the cursor.
    log->Timer1Timer();
    g.Reload();
    EXPECT_EQ(g.model().RowCount(), 0);
}

// The countdown before a restart keeps every window of the program disabled,
// the log viewer too, and gives them back when it ends.
TEST_F(MainWindowTest, CountdownDisablesEveryWindowOfTheProgram) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    SendMessageA(Item(ids::Button2), BM_CLICK, 0, 0);
    HWND log = w.frmLog()->hwnd();
    {
        engine::Session session("test");
        engine::Cursor timer(session, dir.path() + kTimerTableFile);
        timer.Open();
        timer.Append();
        timer.FieldByName(jf::kWochentag).SetAsString("Jeden Tag");
        timer.FieldByName(jf::kUhrzeit).SetAsTime(MakeTime(9, 0));
        timer.FieldByName(jf::kPfad).SetAsString("Neustart");
        timer.FieldByName(jf::kAktiv).SetAsString("Y");
        timer.FieldByName(jf::kIntervall).SetAsString("N");
        timer.FieldByName(jf::kWindowState).SetAsString("Standard");
        timer.FieldByName(jf::kStartzeit).SetAsDateTime(*ParseDateTime("2024-05-15 09:00"));
        timer.Post();
    }
    SendMessageA(Item(ids::btnAktiv), BM_CLICK, 0, 0);

    struct Seen {
        bool shown = false, mainEnabled = true, logEnabled = true;
    } seen;
    const DWORD thread = GetCurrentThreadId();
    std::thread cancel([&] {
        HWND dialog = qv::testing::WaitDialogOfThread(thread, actions::TfrmCountdown::kButton1Id, 10000);
        if (!dialog) return;
        seen = {true, IsWindowEnabled(w.hwnd()) != FALSE, IsWindowEnabled(log) != FALSE};
        PostMessageA(GetDlgItem(dialog, actions::TfrmCountdown::kButton1Id), BM_CLICK, 0, 0);
    });
    w.TimerTimer();
    cancel.join();
    EXPECT_TRUE(seen.shown);
    EXPECT_FALSE(seen.mainEnabled);
    EXPECT_FALSE(seen.logEnabled);
    EXPECT_TRUE(IsWindowEnabled(w.hwnd()));
    EXPECT_TRUE(IsWindowEnabled(log));
    engine::Cursor& runLog = w.data().tblLog;
    runLog.Refresh();
    runLog.First();
    ASSERT_EQ(runLog.RecordCount(), 1);
    EXPECT_EQ(runLog.FieldByName("Fehler").AsString(), "abgebrochen");
}

// A drop handle as the shell builds it: DROPFILES followed by the paths.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const auto& p : paths) size += p.size() + 1;
    HGLOBAL mem = GlobalAlloc(GHND, size);
    auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = FALSE;
    char* out = reinterpret_cast<char*>(df) + sizeof(DROPFILES);
    for (const auto& p : paths) {
        memcpy(out, p.c_str(), p.size() + 1);
        out += p.size() + 1;
    }
    GlobalUnlock(mem);
    return static_cast<HDROP>(mem);
}

TEST_F(MainWindowTest, DroppedFilesOnTheGridBecomeInactiveDailyJobs) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    const std::string a = dir.path() + "eins.bat", b = dir.path() + "zwei.exe";
    qv::testing::WriteFile(a, "x");
    qv::testing::WriteFile(b, "x");
    CreateDirectoryA((dir.path() + "Ordner").c_str(), nullptr);
    SendMessageA(w.grid().hwnd(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({a, dir.path() + "Ordner", b})), 0);
    engine::Cursor& t = w.data().tblTimer;
    ASSERT_EQ(t.RecordCount(), 2);
    t.First();
    EXPECT_EQ(t.FieldByName(jf::kPfad).AsString(), a);
    EXPECT_EQ(t.FieldByName(jf::kAktiv).AsString(), "N");
    EXPECT_EQ(t.FieldByName(jf::kWochentag).AsString(), "Jeden Tag");
    t.Next();
    EXPECT_EQ(t.FieldByName(jf::kPfad).AsString(), b);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, NavigatorDeleteAsksFirst) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    const std::string a = dir.path() + "eins.bat";
    qv::testing::WriteFile(a, "x");
    SendMessageA(w.grid().hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({a})), 0);
    HWND nav = Item(ids::kNavigator);
    answers = {IDCANCEL};
    qv::testing::ClickNavigatorButton(nav, 5, 10);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Datensatz l\xf6schen?");
    EXPECT_EQ(boxes[0].caption, "Best\xe4tigung");
    EXPECT_EQ(boxes[0].cancelText, "Abbrechen");
    EXPECT_EQ(w.data().tblTimer.RecordCount(), 1);
    answers = {IDOK};
    qv::testing::ClickNavigatorButton(nav, 5, 10);
    EXPECT_EQ(w.data().tblTimer.RecordCount(), 0);
}

TEST_F(MainWindowTest, MinimizingSavesAChangedRowButNotANewOne) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    const std::string a = dir.path() + "eins.bat";
    qv::testing::WriteFile(a, "x");
    SendMessageA(w.grid().hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({a})), 0);
    engine::Cursor& t = w.data().tblTimer;
    t.Edit();
    t.FieldByName(jf::kParamter).SetAsString("-neu");
    SendMessageA(w.hwnd(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(t.state(), engine::DatasetState::Browse);
    t.Refresh();
    EXPECT_EQ(t.FieldByName(jf::kParamter).AsString(), "-neu");

    t.Append();
    t.FieldByName(jf::kPfad).SetAsString("C:\\neu.exe");
    SendMessageA(w.hwnd(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(t.state(), engine::DatasetState::Insert);
    t.Cancel();
    EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(MainWindowTest, HelpContextsAndMissingViewer) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    EXPECT_EQ(help::HelpBinding::ContextOf(Item(ids::chkAktiviert)), 1001u);
    EXPECT_EQ(help::HelpBinding::ContextOf(Item(ids::btnStarten)), 1u);
    EXPECT_EQ(help::HelpBinding::ContextOf(w.grid().hwnd()), 1u);
    SendMessageA(Item(ids::btnHelp), BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "MS Html Help is not installed on this PC.");
    EXPECT_EQ(boxes[0].caption, "Warnung");
}

TEST_F(MainWindowTest, StartUpScalesWindowAndFiveColumnsToTheScreen) {
    TfrmVistorel& w = Build(120);
    w.FormCreate();
    RECT r{};
    GetWindowRect(w.hwnd(), &r);
    EXPECT_EQ(r.right - r.left, 913);
    EXPECT_EQ(r.bottom - r.top, 598);
    EXPECT_EQ(w.grid().ColumnWidth("Aktiv"), 37);
    EXPECT_EQ(w.grid().ColumnWidth("Intervall"), 53);
    EXPECT_EQ(w.grid().ColumnWidth("Uhrzeit"), 85);
    EXPECT_EQ(w.grid().ColumnWidth("Pfad"), 237);
    EXPECT_EQ(w.grid().ColumnWidth("Paramter"), 70);
    EXPECT_EQ(w.grid().ColumnWidth("Wochentag"), 94);
}

// Every caption of the bottom panel is whole at the font Wine draws it with:
// the text fits its control beside the check box's square or inside the
// button's edges, Label1 is as wide as its text, and no two controls overlap.
TEST_F(MainWindowTest, PanelCaptionsFitTheirControlsAt96And120Dpi) {
    const int panelIds[] = {ids::btnStarten, ids::Button1,  ids::Button2, ids::chkminimized,
                            ids::chkAktiviert, ids::chkAutostart, ids::edMail, ids::chkMail,
                            ids::btnHelp, ids::Label1, ids::Image1, ids::btnAktiv};
    for (int dpi : {96, 120}) {
        window.reset();
        TfrmVistorel& w = Build(dpi);
        w.FormCreate();
        RECT panel{};
        HWND panelWindow = GetParent(Item(ids::btnStarten));
        GetClientRect(panelWindow, &panel);
        std::vector<RECT> placed;
        for (int id : panelIds) {
            HWND c = Item(id);
            RECT r{};
            GetWindowRect(c, &r);
            MapWindowPoints(nullptr, panelWindow, reinterpret_cast<POINT*>(&r), 2);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= panel.right && r.bottom <= panel.bottom)
                << "control " << id << " outside the panel at " << dpi << " dpi";
            // The design stacks the three check boxes with one shared pixel row.
            RECT inner = r;
            InflateRect(&inner, 0, -1);
            for (const RECT& o : placed) {
                RECT both{};
                EXPECT_FALSE(IntersectRect(&both, &inner, &o))
                    << "control " << id << " overlaps " << o.left << "," << o.top << " at " << dpi;
            }
            placed.push_back(inner);
            const std::string caption = Text(c);
            if (caption.empty() || id == ids::edMail) continue;

            HDC dc = GetDC(c);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)));
            char face[LF_FACESIZE] = {};
            GetTextFaceA(dc, sizeof face, face);
            RECT text{};
            DrawTextA(dc, caption.c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE);
            SelectObject(dc, old);
            ReleaseDC(c, dc);
            EXPECT_STREQ(face, "MS Sans Serif") << "the prefix lacks Wine's MS Sans Serif";

            const LONG style = GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK;
            int needed = text.right;
            if (id == ids::Label1)
                EXPECT_EQ(r.right - r.left, text.right) << "Label1 takes its text's width";
            else if (style == BS_AUTOCHECKBOX)
                needed += MulDiv(13 + 3, dpi, 96);  // the square and the gap after it
            else
                needed += MulDiv(4, dpi, 96);  // the button's edges
            EXPECT_GE(r.right - r.left, needed) << '"' << caption << "\" cut at " << dpi << " dpi";
        }
    }
}

TEST_F(MainWindowTest, LayoutWidthsSurviveRestartsWithoutGrowing) {
    for (int run = 0; run < 3; ++run) {
        TfrmVistorel& w = Build(120);
        w.FormCreate();
        EXPECT_EQ(w.grid().ColumnWidth("Aktiv"), 37) << run;
        EXPECT_EQ(w.grid().ColumnWidth("Wochentag"), 94) << run;
        if (run == 0) {
            EXPECT_EQ(w.grid().ColumnWidth("Pfad"), 237);
            w.grid().SetColumnWidth("Pfad", 300);  // as if dragged by the user
        } else {
            EXPECT_EQ(w.grid().ColumnWidth("Pfad"), 300) << run;
        }
        DestroyWindow(w.hwnd());  // the program's own end: layout saved
        window.reset();
    }
    // The settings file keeps the 96-dpi width, beside the options.
    std::ifstream in(dir.path() + "Quarvelin.ini", std::ios::binary);
    const std::string ini((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(ini.find("[App]"), std::string::npos);
    const size_t pfad = ini.find("[\\Gitter\\Columns\\dxDBGrid1Pfad]");
    ASSERT_NE(pfad, std::string::npos) << ini;
    EXPECT_NE(ini.find("Width=240", pfad), std::string::npos) << ini;
}

// Widths that make no sense (a damaged or hand-edited file) are ignored and
// nothing sums past the integer range; a start that never reached the scaling
// saves the widths as they were, so they do not shrink from start to start.
TEST_F(MainWindowTest, AbsurdStoredWidthsAreIgnoredAndUnscaledWidthsAreSavedUnchanged) {
    const std::string ini = dir.path() + "Quarvelin.ini";
    int startzeitBeyondDesign = 0;
    qv::testing::WriteFile(ini,
                           "[\\Gitter\\Band\\Band0]\r\nID=0\r\nWidth=2147483647\r\n"
                           "[\\Gitter\\Columns\\dxDBGrid1Pfad]\r\nWidth=999999999\r\n"
                           "[\\Gitter\\Columns\\dxDBGrid1Aktiv]\r\nWidth=2147483647\r\n"
                           "[\\Gitter\\Columns\\dxDBGrid1Parameter]\r\nWidth=80\r\n");
    {
        TfrmVistorel& w = Build();
        w.FormCreate();
        EXPECT_EQ(w.grid().ColumnWidth("Pfad"), 190);
        EXPECT_EQ(w.grid().ColumnWidth("Aktiv"), 30);
        EXPECT_EQ(w.grid().ColumnWidth("Paramter"), 80);
        // Startzeit at its design width, or wider where its dates need it.
        startzeitBeyondDesign = w.grid().ColumnWidth("Startzeit") - 119;
        EXPECT_GE(startzeitBeyondDesign, 0);
        DestroyWindow(w.hwnd());
        window.reset();
    }
    auto band = [&] {
        const std::string text = qv::testing::ReadFile(ini);
        const size_t at = text.find("Width=", text.find("[\\Gitter\\Band\\Band0]"));
        return text.substr(at, text.find('\r', at) - at);
    };
    // The design widths of the shown columns, Parameter at 80.
    EXPECT_EQ(band(), "Width=" + std::to_string(750 + startzeitBeyondDesign));

    // At 120 dpi, start-up never scaling (it ended before): 80 stays 80.
    Build(120);
    DestroyWindow(window->hwnd());
    window.reset();
    const std::string text = qv::testing::ReadFile(ini);
    EXPECT_NE(text.find("Width=80", text.find("dxDBGrid1Parameter]")), std::string::npos) << text;
}

TEST_F(MainWindowTest, ARowTypedIntoTheGridIsPostedWithItsNextStart) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    SetFocus(w.grid().hwnd());
    grid::Grid& g = dynamic_cast<JobGridView&>(w.grid()).grid();
    auto target = [&g] { return g.EditorVisible() ? g.EditorWindow() : g.hwnd(); };
    auto key = [&](WPARAM vk) { SendMessageA(target(), WM_KEYDOWN, vk, 0); };
    auto type = [&](const std::string& text) {
        for (char ch : text) SendMessageA(target(), WM_CHAR, static_cast<unsigned char>(ch), 0);
    };
    key(VK_DOWN);  // empty table: a first row
    type("MoMiFr");
    key(VK_TAB);
    type("8:00");
    key(VK_TAB);
    type("c:\\x.exe");
    // The navigator's post: the bar takes the focus, the editor hands its text over.
    qv::testing::ClickNavigatorButton(Item(ids::kNavigator), 7, 10);
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors[0]);
    engine::Cursor& t = w.data().tblTimer;
    t.Refresh();
    t.First();
    ASSERT_FALSE(t.Eof());
    EXPECT_EQ(t.FieldByName(jf::kPfad).AsString(), "c:\\x.exe");
    // Posted on Wednesday 15.05.2024 10:00: the next Monday, Wednesday or Friday 08:00.
    EXPECT_EQ(FormatDateTime(t.FieldByName(jf::kStartzeit).AsDateTime()), "2024-05-17 08:00:00.000");
    EXPECT_EQ(t.FieldByName(jf::kIntervall).AsString(), "N");
    EXPECT_EQ(t.FieldByName(jf::kWindowState).AsString(), "Standard");
}

TEST_F(MainWindowTest, DamagedJobTableIsReportedBackedUpAndRepaired) {
    qv::testing::WriteFile(dir.path() + "timer.dat", "kaputt");
    TfrmVistorel& w = Build();
    w.FormCreate();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text.rfind("Timertabelle repariert: 0 Datens\xe4tze", 0), 0u) << boxes[1].text;
    EXPECT_EQ(boxes[0].text, "Timertabelle defekt. Es wird versucht die Tabelle zu reparieren.");
    EXPECT_EQ(boxes[0].caption, "Quarvelin");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(qv::testing::ReadFile(dir.path() + "timer.dat.bak"), "kaputt");
    EXPECT_TRUE(w.data().tblTimer.active());
    EXPECT_TRUE(errors.empty());
}

// With the scheduler on at start, no tick comes before the tables are open:
// not while the repair's boxes wait for the user.
TEST_F(MainWindowTest, NoTickBeforeStartUpHasOpenedTheTables) {
    qv::testing::WriteFile(dir.path() + "Quarvelin.ini", "[App]\r\nmail=1\r\naktiviert=1\r\n");
    qv::testing::WriteFile(dir.path() + "timer.dat", "kaputt");
    TfrmVistorel& w = Build();
    EXPECT_FALSE(w.timerEnabled());
    w.FormCreate();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(timerAtBox, (std::vector<bool>{false, false}));
    EXPECT_TRUE(w.timerEnabled());
    EXPECT_EQ(Text(Item(ids::btnAktiv)), "&Aktiv");
}

// The tick meets the same error at every tick (a row left incomplete in the
// grid while a job catching up is due each time): the user sees it once, in
// words that name the table, until a tick goes through.
TEST_F(MainWindowTest, TheSameTickErrorIsShownOnceUntilATickGoesThrough) {
    qv::testing::WriteFile(dir.path() + "Quarvelin.ini", "[App]\r\nmail=1\r\naktiviert=1\r\n");
    TfrmVistorel& w = Build(96, {}, true);
    w.FormCreate();
    AddDueJob("fehlt.exe", "Y", "2024-04-15 08:00");
    engine::Cursor& t = w.data().tblTimer;
    t.Append();
    t.FieldByName(jf::kWochentag).SetAsString("Mo");
    BoxPresser presser;
    Pump(5000);  // three ticks
    std::vector<std::string> texts = presser.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Timertabelle " + dir.path() + "timer.dat: Feld 'Uhrzeit' mu\xdf einen Wert haben.");

    t.Cancel();
    Pump(2000);
    t.Append();
    t.FieldByName(jf::kWochentag).SetAsString("Mo");
    Pump(2500);
    EXPECT_EQ(presser.texts().size(), 2u);
    t.Cancel();
}

// A row posted from the grid with a rule that names no weekday is switched
// off, and a real message box says so after the post.
TEST_F(MainWindowTest, PostingARuleThatNamesNoWeekdaySaysSoInARealBox) {
    TfrmVistorel& w = Build(96, {}, true);
    w.FormCreate();
    BoxPresser presser;
    SetFocus(w.grid().hwnd());
    grid::Grid& g = dynamic_cast<JobGridView&>(w.grid()).grid();
    auto target = [&g] { return g.EditorVisible() ? g.EditorWindow() : g.hwnd(); };
    auto key = [&](WPARAM vk) { SendMessageA(target(), WM_KEYDOWN, vk, 0); };
    auto type = [&](const std::string& text) {
        for (char ch : text) SendMessageA(target(), WM_CHAR, static_cast<unsigned char>(ch), 0);
    };
    key(VK_DOWN);
    type("montag");
    key(VK_TAB);
    type("8:00");
    key(VK_TAB);
    type("c:\\x.exe");
    key(VK_DOWN);  // leaving the row posts it
    Pump(200);
    const std::vector<std::string> texts = presser.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("Die Tagesregel \"montag\" nennt keinen Wochentag. Der Job wurde ausgeschaltet", 0),
              0u)
        << texts[0];
    engine::Cursor& t = w.data().tblTimer;
    t.Refresh();
    t.First();
    EXPECT_EQ(t.FieldByName(jf::kAktiv).AsString(), "N");
}

// The failures of a tick ask the tray icon for one balloon: the first job's
// Pfad and failure text as the run log holds them, and how many there were.
// Clicking it brings back the window with the run log; "fehlerhinweis=0", put
// in by hand, switches balloons off, and the program writes no such key.
TEST_F(MainWindowTest, FailuresOfATickShowOneBalloonWhoseClickOpensTheRunLog) {
    struct Balloon {
        DWORD size;
        std::string title, text;
    };
    std::vector<Balloon> balloons;
    trayShell = {[&](DWORD, NOTIFYICONDATAA* d) {
                     if (d->uFlags & NIF_INFO) balloons.push_back({d->cbSize, d->szInfoTitle, d->szInfo});
                     return TRUE;
                 },
                 [] { return true; }};
    qv::testing::WriteFile(dir.path() + "Quarvelin.ini", "[App]\r\nmail=1\r\naktiviert=1\r\n");
    TfrmVistorel& w = Build();
    w.FormCreate();
    AddDueJob("fehlt-a.exe");
    AddDueJob("fehlt-b.exe");
    w.TimerTimer();
    w.TimerTimer();  // nothing due: no balloon
    ASSERT_EQ(balloons.size(), 1u);
    engine::Cursor& log = w.data().tblLog;
    log.Refresh();
    ASSERT_EQ(log.RecordCount(), 2);
    log.First();
    EXPECT_EQ(balloons[0].title, "Quarvelin");
    EXPECT_EQ(balloons[0].text, "2 Fehler, der erste:\n" + log.FieldByName(lf::kPfad).AsString() + "\n" +
                                    log.FieldByName("Fehler").AsString());
    EXPECT_EQ(log.FieldByName(lf::kPfad).AsString(), dir.path() + "fehlt-a.exe");
    EXPECT_EQ(balloons[0].size, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
    EXPECT_EQ(qv::testing::ReadFile(dir.path() + "Quarvelin.ini"), "[App]\r\nmail=1\r\naktiviert=1\r\n");

    ShowWindow(w.hwnd(), SW_HIDE);  // as when minimized into the tray
    SendMessageA(w.Tray().hwnd(), win::TrayIcon::kCallbackMessage, 1, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(IsWindowVisible(w.hwnd()));
    ASSERT_NE(w.frmLog(), nullptr);
    EXPECT_TRUE(IsWindowVisible(w.frmLog()->hwnd()));

    qv::testing::WriteFile(dir.path() + "Quarvelin.ini", "[App]\r\nmail=1\r\naktiviert=1\r\nfehlerhinweis=0\r\n");
    AddDueJob("fehlt-c.exe");
    w.TimerTimer();
    log.Refresh();
    EXPECT_EQ(log.RecordCount(), 3);
    EXPECT_EQ(balloons.size(), 1u);
}

// --- The keyboard, the focus and the look, tried as a user would ------------
// Keys go in through SendInput and the window's own message loop (Loop), as
// they come from a keyboard.

// The start-time popup is open on a new row while a tick runs a due job
// elsewhere, posting the new row and rereading the grid, which moves the row
// to its place in row order: the day the user chose still goes into the
// cell when the popup closes, and from there into the table.
TEST_F(MainWindowTest, AChoiceInTheStartTimePopupSurvivesATick) {
    qv::testing::WriteFile(dir.path() + "Quarvelin.ini", "[App]\r\nmail=1\r\naktiviert=1\r\n");
    TfrmVistorel& w = Build();
    w.FormCreate();
    AddDueJob("fehlt.exe", "", "2024-05-15 10:00:30");  // due once the clock moves on
    w.data().tblTimer.Refresh();
    ShowInFront();
    grid::Grid& g = JobGrid();
    Keys({VK_INSERT});  // a new row before the due job's, where the navigator's "+" puts it
    Type("MoMiFr");
    Keys({VK_TAB});
    Type("8:00");
    Keys({VK_TAB});
    Type("c:\\x.exe");
    KeyTo("dxDBGrid1Startzeit");
    Keys({VK_F4});
    ASSERT_TRUE(g.PopupOpen());
    ASSERT_TRUE(ClickDay(OfClass(g.PopupWindow(), MONTHCAL_CLASSA), 2024, 5, 20));
    clock.Advance(60 * 1000);
    Loop(2500);  // a tick: the due job runs, the new row is posted and moves
    engine::Cursor& log = w.data().tblLog;
    log.Refresh();
    EXPECT_EQ(log.RecordCount(), 1);
    Keys({VK_RETURN});
    EXPECT_FALSE(g.PopupOpen());
    EXPECT_EQ(Cell("Pfad"), "c:\\x.exe");
    EXPECT_EQ(Cell("Startzeit"), "20.05.2024 10:00:00");
    qv::testing::ClickNavigatorButton(Item(ids::kNavigator), 7, 10);  // post
    EXPECT_TRUE(errors.empty()) << errors[0];
    EXPECT_EQ(Stored("c:\\x.exe", "Startzeit"), "2024-05-20 10:00:00.000");
}

// A new row put in among many: while its Parameter is being typed a tick
// posts the row and rereads the grid, which moves the row to the end. The
// text typed stays in the editor, the row stays selected and in view, and
// the navigator's post stores it.
TEST_F(MainWindowTest, ARowJustInsertedStaysSelectedAndInViewAndKeepsWhatIsTypedWhenATickComes) {
    qv::testing::WriteFile(dir.path() + "Quarvelin.ini", "[App]\r\nmail=1\r\naktiviert=1\r\n");
    TfrmVistorel& w = Build();
    w.FormCreate();
    for (int i = 0; i < 40; ++i) AddDueJob("job" + std::to_string(i) + ".exe", "", "2024-05-16 09:00");
    AddDueJob("fehlt.exe", "", "2024-05-15 10:00:30");
    w.data().tblTimer.Refresh();
    ShowInFront();
    grid::Grid& g = JobGrid();
    Keys({VK_DOWN});
    Keys({VK_DOWN});
    Keys({VK_INSERT});
    Type("Jeden Tag");
    Keys({VK_TAB});
    Type("8:00");
    Keys({VK_TAB});
    Type("c:\\neu.exe");
    Keys({VK_TAB});
    Type("/still");
    ASSERT_EQ(g.FocusedRow(), 2);
    clock.Advance(60 * 1000);
    Loop(2500);
    EXPECT_EQ(w.data().tblTimer.state(), engine::DatasetState::Browse);  // the tick posted it
    EXPECT_EQ(Cell("Pfad"), "c:\\neu.exe");
    EXPECT_EQ(g.FocusedRow(), 41);
    EXPECT_GE(g.FocusedRow(), g.model().topRow());
    EXPECT_LT(g.FocusedRow(), g.model().topRow() + g.model().VisibleRowCount());
    ASSERT_TRUE(g.EditorVisible());
    EXPECT_EQ(Text(g.EditorWindow()), "/still");
    qv::testing::ClickNavigatorButton(Item(ids::kNavigator), 7, 10);
    EXPECT_EQ(Stored("c:\\neu.exe", "Paramter"), "/still");
}

// A click into a time cell selects its text, so typing replaces it; Ctrl+A
// selects all in the editor. A time the row refuses is said the moment the
// navigator's post is pressed, and nothing is saved; a good one is saved.
TEST_F(MainWindowTest, ATimeTypedIntoAClickedCellReplacesItAndTheNavigatorsPostSaysWhatIsWrong) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    AddDueJob("a.exe", "", "2024-05-16 08:00");  // Uhrzeit 08:00:00
    w.data().tblTimer.Refresh();
    ShowInFront();
    grid::Grid& g = JobGrid();
    const grid::Rect cell = g.model().CellRect(0, g.model().FindColumn("dxDBGrid1Uhrzeit"));
    const LPARAM middle = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    SendMessageA(g.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, middle);
    SendMessageA(g.hwnd(), WM_LBUTTONUP, 0, middle);
    Loop(100);
    ASSERT_TRUE(g.EditorVisible());
    Type("13:00");
    EXPECT_EQ(Text(g.EditorWindow()), "13:00");
    Keys({VK_CONTROL, 'A'});
    Type("12:00:13:00:0000");
    qv::testing::ClickNavigatorButton(Item(ids::kNavigator), 7, 10);
    Loop(100);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "'12:00:13:00:0000' ist keine g\xfcltige Zeit");
    EXPECT_EQ(Stored("a.exe", "Uhrzeit"), "08:00:00");
    EXPECT_EQ(GetFocus(), g.EditorWindow());  // back in the editor to correct it
    Keys({VK_CONTROL, 'A'});
    Type("14:30");
    qv::testing::ClickNavigatorButton(Item(ids::kNavigator), 7, 10);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(Stored("a.exe", "Uhrzeit"), "14:30:00");
}

// Alt+Down opens each popup and drop-down of the grid, and the keys work in
// it at once: the day-rule popup (Wine would otherwise open the popup's
// window menu when Alt is let go), the start-time popup, the WindowState list
// and the operation list of the action column; F4 does the same.
TEST_F(MainWindowTest, AltDownAndF4OpenEveryDropDownOfTheGridWithTheKeyboardWorkingInIt) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    AddDueJob("a.exe", "", "2024-05-16 08:00");  // "Jeden Tag"
    w.data().tblTimer.Refresh();
    ShowInFront();
    grid::Grid& g = JobGrid();

    KeyTo("dxDBGrid1Wochentag");
    // Alt let go before the arrow: under Wine the release alone would open
    // the popup's window menu, which would then take every key.
    qv::testing::KeyEvents({{VK_MENU, true}, {VK_DOWN, true}, {VK_MENU, false}, {VK_DOWN, false}});
    Loop(150);
    ASSERT_TRUE(g.PopupOpen());
    Keys({VK_DOWN});   // from Montag to Dienstag
    Keys({VK_SPACE});  // ticked: "Jeden Tag" goes
    Keys({VK_RETURN});
    EXPECT_FALSE(g.PopupOpen());
    EXPECT_EQ(Cell("Wochentag"), "Di");

    KeyTo("dxDBGrid1Startzeit");
    qv::testing::KeyEvents({{VK_MENU, true}, {VK_DOWN, true}, {VK_MENU, false}, {VK_DOWN, false}});
    Loop(150);
    ASSERT_TRUE(g.PopupOpen());
    Keys({VK_RIGHT});  // the calendar: a day later
    Keys({VK_RETURN});
    EXPECT_FALSE(g.PopupOpen());
    EXPECT_EQ(Cell("Startzeit"), "17.05.2024 08:00:00");

    KeyTo("dxDBGrid1WindowState");
    Keys({VK_MENU, VK_DOWN});
    Keys({VK_DOWN});  // "maximiert"
    Keys({VK_RETURN});
    Keys({VK_RETURN});
    EXPECT_EQ(Cell("WindowState"), "maximiert");

    KeyTo("dxDBGrid1Pfad");
    Keys({VK_F4});
    ASSERT_TRUE(IsWindowVisible(OfClass(w.hwnd(), "ListBox")));
    Keys({VK_DOWN});
    Keys({VK_DOWN});  // the arrows choose nothing yet
    EXPECT_EQ(Cell("Pfad"), dir.path() + "a.exe");
    Keys({VK_RETURN});
    EXPECT_EQ(Cell("Pfad"), "herunterfahren hart");
    EXPECT_FALSE(IsWindowVisible(OfClass(w.hwnd(), "ListBox")));
    EXPECT_EQ(GetFocus(), g.hwnd());
    Keys({VK_MENU, VK_DOWN});
    ASSERT_TRUE(IsWindowVisible(OfClass(w.hwnd(), "ListBox")));
    Keys({VK_ESCAPE});
    EXPECT_FALSE(IsWindowVisible(OfClass(w.hwnd(), "ListBox")));
    EXPECT_EQ(Cell("Pfad"), "herunterfahren hart");

    KeyTo("dxDBGrid1Wochentag");
    Keys({VK_F4});
    ASSERT_TRUE(g.PopupOpen());
    Keys({VK_ESCAPE});  // one Escape closes it
    EXPECT_FALSE(g.PopupOpen());
    EXPECT_TRUE(errors.empty()) << errors[0];
}

// The start-time popup by the keyboard alone: Tab goes between the calendar
// and the time field, the arrows move the calendar's day, Escape cancels and
// Enter takes the choice from either control; the day-rule popup likewise.
TEST_F(MainWindowTest, BothPopupsGoByTheKeyboardEscapeCancelsEnterTakes) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    AddDueJob("a.exe", "", "2024-05-16 08:00");
    w.data().tblTimer.Refresh();
    ShowInFront();
    grid::Grid& g = JobGrid();
    KeyTo("dxDBGrid1Startzeit");
    Keys({VK_F4});
    ASSERT_TRUE(g.PopupOpen());
    HWND calendar = OfClass(g.PopupWindow(), MONTHCAL_CLASSA);
    HWND timeField = OfClass(g.PopupWindow(), DATETIMEPICK_CLASSA);
    EXPECT_EQ(GetFocus(), calendar);
    Keys({VK_TAB});
    EXPECT_EQ(GetFocus(), timeField);
    Keys({VK_SHIFT, VK_TAB});
    EXPECT_EQ(GetFocus(), calendar);
    Keys({VK_DOWN});  // a week later
    Keys({VK_ESCAPE});
    EXPECT_FALSE(g.PopupOpen());
    EXPECT_EQ(Cell("Startzeit"), "16.05.2024 08:00:00");  // cancelled: as it was
    EXPECT_EQ(w.data().tblTimer.state(), engine::DatasetState::Browse);

    Keys({VK_F4});
    ASSERT_TRUE(g.PopupOpen());
    Keys({VK_NEXT});  // a month later
    Keys({VK_TAB});
    Keys({VK_UP});  // the hours of the time field, one on
    Keys({VK_ESCAPE});
    EXPECT_EQ(Cell("Startzeit"), "16.05.2024 08:00:00");

    Keys({VK_F4});
    Keys({VK_NEXT});
    Keys({VK_TAB});
    Keys({VK_UP});
    Keys({VK_RETURN});  // from the time field
    EXPECT_FALSE(g.PopupOpen());
    EXPECT_EQ(Cell("Startzeit"), "16.06.2024 09:00:00");

    KeyTo("dxDBGrid1Wochentag");
    Keys({VK_F4});
    Keys({VK_SPACE});  // Montag beside "Jeden Tag": "Jeden Tag" goes
    Keys({VK_ESCAPE});
    EXPECT_EQ(Cell("Wochentag"), "Jeden Tag");
    Keys({VK_F4});
    Keys({VK_SPACE});
    Keys({VK_RETURN});
    EXPECT_EQ(Cell("Wochentag"), "Mo");
    EXPECT_TRUE(errors.empty()) << errors[0];
    EXPECT_TRUE(boxes.empty());
}

// Tab leaves the job grid at its last cell and Shift+Tab at its first,
// Ctrl+Tab at once; the navigator is a tab stop whose buttons the arrows
// choose and the space bar presses; in the log viewer Tab goes on from the
// grid to the navigator and "Alle löschen".
TEST_F(MainWindowTest, TabLeavesTheGridsAndTheNavigatorsAndButtonsGoByTheKeyboard) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    AddDueJob("a.exe", "", "2024-05-16 08:00");
    AddDueJob("b.exe", "", "2024-05-16 08:00");
    w.data().tblTimer.Refresh();
    w.data().AppendLogEntry("C:\\a.exe", "Datei nicht gefunden");
    ShowInFront();
    grid::Grid& g = JobGrid();
    HWND nav = Item(ids::kNavigator);
    Keys({VK_CONTROL, VK_END});
    Keys({VK_END});
    Keys({VK_TAB});
    EXPECT_EQ(GetFocus(), nav);
    Keys({VK_SHIFT, VK_TAB});
    EXPECT_EQ(GetFocus(), g.hwnd());
    Keys({VK_CONTROL, VK_HOME});
    Keys({VK_HOME});
    Keys({VK_SHIFT, VK_TAB});  // before the grid: the window's last tab stop
    EXPECT_EQ(GetFocus(), Item(ids::btnHelp));
    Keys({VK_TAB});
    EXPECT_EQ(GetFocus(), g.hwnd());
    Keys({VK_RIGHT});
    Keys({VK_CONTROL, VK_TAB});
    EXPECT_EQ(GetFocus(), nav);

    // The navigator: Right four times is "+", Right four more "Bearbeiten abbrechen".
    for (int i = 0; i < 4; ++i) Keys({VK_RIGHT});
    Keys({VK_SPACE});
    EXPECT_EQ(w.data().tblTimer.state(), engine::DatasetState::Insert);
    for (int i = 0; i < 4; ++i) Keys({VK_RIGHT});
    Keys({VK_RETURN});
    EXPECT_EQ(w.data().tblTimer.state(), engine::DatasetState::Browse);

    // The log viewer: from its grid on to "Alle löschen", which asks first.
    Keys({VK_MENU, 'L'});
    ASSERT_NE(w.frmLog(), nullptr);
    HWND logWindow = w.frmLog()->hwnd();
    EXPECT_EQ(GetForegroundWindow(), logWindow);
    EXPECT_EQ(GetFocus(), w.frmLog()->grid().hwnd());
    Keys({VK_TAB});
    EXPECT_EQ(GetFocus(), GetDlgItem(logWindow, TfrmLog::kNavigatorId));
    Keys({VK_TAB});
    EXPECT_EQ(GetFocus(), GetDlgItem(logWindow, TfrmLog::kButton1Id));
    answers = {IDYES};
    Keys({VK_SPACE});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Wirklich alle Eint\xe4ge l\xf6schen?");
    EXPECT_EQ(w.data().tblLog.RecordCount(), 0);
}

// After the window comes back from the tray (or from being minimized) the
// control that had the focus has it again and takes the keys at once; after a
// minimized start the grid does.
TEST_F(MainWindowTest, TheFocusComesBackWhenTheWindowIsRestored) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    ShowInFront();
    HWND mail = Item(ids::chkMail);
    SetFocus(mail);
    Loop(50);
    ASSERT_TRUE(Checked(ids::chkMail));
    SendMessageA(w.hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);  // as the minimize button does
    Loop(200);
    SendMessageA(w.hwnd(), WM_COMMAND, ids::Wiederherstellen1, 0);  // the tray menu's "Wiederherstellen"
    Loop(200);
    EXPECT_EQ(GetFocus(), mail);
    Keys({VK_SPACE});
    EXPECT_FALSE(Checked(ids::chkMail));
    window.reset();

    qv::testing::WriteFile(dir.path() + "Quarvelin.ini", "[App]\r\nminimized=1\r\nmail=1\r\n");
    TfrmVistorel& again = Build();
    again.FormCreate();
    again.ShowAtStart(SW_SHOWNORMAL);
    Loop(200);
    SendMessageA(again.hwnd(), WM_COMMAND, ids::Wiederherstellen1, 0);
    Loop(200);
    EXPECT_EQ(GetFocus(), again.grid().hwnd());
    Keys({VK_DOWN});  // an empty table: a first row
    EXPECT_EQ(again.data().tblTimer.state(), engine::DatasetState::Insert);
}

// The keyboard's place shows: a control reached by its letter draws its
// focus rectangle at once (not only after a Tab), the navigator frames the
// button the keys are on, and the cell of an open editor is framed in the
// highlight colour, also when its text shows no selection.
TEST_F(MainWindowTest, TheFocusIsAlwaysVisible) {
    TfrmVistorel& w = Build();
    w.FormCreate();
    AddDueJob("a.exe", "", "2024-05-16 08:00");
    w.data().tblTimer.Refresh();
    ShowInFront();
    // "&minimiert starten" by its letter twice: ticked and cleared again, it
    // now differs from how it looked before by its focus rectangle only.
    HWND box = Item(ids::chkminimized);
    const std::vector<COLORREF> before = Pixels(box);
    Keys({VK_MENU, 'M'});
    Keys({VK_MENU, 'M'});
    EXPECT_EQ(GetFocus(), box);
    EXPECT_FALSE(Checked(ids::chkminimized));
    EXPECT_NE(Pixels(box), before);

    // The navigator reached by Tab from the grid's last cell frames a button.
    grid::Grid& g = JobGrid();
    SetFocus(g.hwnd());
    HWND nav = Item(ids::kNavigator);
    const std::vector<COLORREF> bar = Pixels(nav);
    Keys({VK_CONTROL, VK_END});
    Keys({VK_END});
    Keys({VK_TAB});
    EXPECT_EQ(GetFocus(), nav);
    EXPECT_NE(Pixels(nav), bar);

    SetFocus(g.hwnd());
    KeyTo("dxDBGrid1Uhrzeit");
    Keys({VK_F2});
    Keys({VK_END});  // the caret at the end: no selection shows
    ASSERT_TRUE(g.EditorVisible());
    const grid::Rect cell = g.model().CellRect(g.FocusedRow(), g.FocusedColumn());
    RECT rc{};
    GetClientRect(g.hwnd(), &rc);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(dc, bmp);
    g.PaintTo(dc);
    const COLORREF frame = GetPixel(dc, cell.left, (cell.top + cell.bottom) / 2);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(frame, GetSysColor(COLOR_HIGHLIGHT));
}

// A forced operation is red on the window's very first paint, before
// anything else is made.
TEST_F(MainWindowTest, ForcedOperationsAreRedOnTheFirstPaint) {
    TfrmVistorel& first = Build();
    first.FormCreate();
    AddDueJob("a.exe", "", "2024-05-16 08:00");
    {
        engine::Session other("tool");
        engine::Cursor c(other, dir.path() + "timer.dat");
        c.Open();
        c.First();
        c.Edit();
        c.FieldByName(jf::kPfad).SetAsString("Neustart hart");
        c.Post();
    }
    window.reset();
    TfrmVistorel& w = Build();
    w.FormCreate();
    w.ShowAtStart(SW_SHOWNORMAL);  // shows and paints; the rest comes a moment later
    grid::Grid& g = JobGrid();
    const grid::Rect cell = g.model().CellRect(0, g.model().FindColumn("dxDBGrid1Pfad"));
    HDC dc = GetDC(g.hwnd());
    const COLORREF shown = GetPixel(dc, cell.left + 2, cell.top + 2);
    ReleaseDC(g.hwnd(), dc);
    EXPECT_EQ(shown, RGB(255, 51, 51));
}

// At the screen's resolution (96, and 120 where the test runs in a prefix of
// that resolution): the window and the log viewer open inside the work area,
// and the columns of dates and times hold the texts they show.
TEST_F(MainWindowTest, AtTheScreensResolutionWindowsFitTheWorkAreaAndNoColumnCutsADate) {
    const int dpi = win::ScreenDpi();
    if (const char* expected = std::getenv("QV_EXPECT_DPI")) {
        ASSERT_EQ(dpi, std::atoi(expected));
    }
    TfrmVistorel& w = Build(dpi);
    w.FormCreate();
    AddDueJob("a.exe", "", "2024-12-28 20:58:58");
    w.data().tblTimer.Refresh();
    w.data().AppendLogEntry("C:\\a.exe", "Datei nicht gefunden");
    ShowInFront();
    auto inside = [](HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        const RECT work = win::WorkAreaNear(r);
        return r.left >= work.left && r.top >= work.top && r.right <= work.right && r.bottom <= work.bottom;
    };
    EXPECT_TRUE(inside(w.hwnd())) << dpi << " dpi";
    Keys({VK_MENU, 'L'});
    ASSERT_NE(w.frmLog(), nullptr);
    EXPECT_TRUE(inside(w.frmLog()->hwnd())) << dpi << " dpi";

    // A column holds its text: the text, its margins and the cell's buttons.
    auto holds = [](grid::Grid& gr, const char* column, const std::string& text) {
        const int c = gr.model().FindColumn(column);
        HDC dc = GetDC(gr.hwnd());
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(gr.hwnd(), WM_GETFONT, 0, 0)));
        RECT need{};
        DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(gr.hwnd(), dc);
        const int buttons = gr.model().ButtonCount(c) * gr.model().metrics().buttonWidth;
        return gr.model().column(c).width >= need.right + 5 + buttons;
    };
    grid::Grid& g = JobGrid();
    EXPECT_TRUE(holds(g, "dxDBGrid1Startzeit", "28.12.2024 20:58:58")) << dpi << " dpi";
    EXPECT_TRUE(holds(g, "dxDBGrid1Uhrzeit", "20:58:58")) << dpi << " dpi";
    EXPECT_TRUE(holds(w.frmLog()->grid(), "frmLogZeit", w.frmLog()->source().CellText(0, "Zeit"))) << dpi;
    // The popups open inside the work area too.
    SetForegroundWindow(w.hwnd());
    Loop(100);
    SetFocus(g.hwnd());
    KeyTo("dxDBGrid1Startzeit");
    Keys({VK_F4});
    ASSERT_TRUE(g.PopupOpen());
    EXPECT_TRUE(inside(g.PopupWindow())) << dpi << " dpi";
    Keys({VK_ESCAPE});
}
}  // namespace
}  // namespace qv::ui
