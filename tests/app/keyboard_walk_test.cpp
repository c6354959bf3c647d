// The whole program by the keyboard alone, as a user without a mouse has it:
// the real Quarvelin.exe under Wine with a notification area (Xvfb and
// Wine's virtual desktop, tests/app/keyboard_walk_test.sh), keys sent through
// the system's keyboard input. It makes a job of each kind (a program chosen
// in the file dialog, an interval job, a forced restart set in both popups
// and the operation list), posts them, starts two, looks at the run log and
// empties it, switches the scheduler on and off, goes into the tray and back
// and closes the program. Nothing here moves or clicks the mouse.
#include <windows.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/Table.h"
#include "jobs/Tables.h"
#include "tests/app/ProcessDriver.h"
#include "tests/win/Keyboard.h"
#include "ui/main/VistorelIds.h"

namespace qv::testing {
namespace {

namespace ids = ui::ids;

const std::string kExe = HostPathToWine(QV_QUARVELIN_EXE);
const std::string kMarkerJob = HostPathToWine(QV_MARKER_JOB_EXE);
constexpr const char kMissing[] = "C:\\qv-nirgends\\fehlt.exe";

class KeyboardWalk : public ::testing::Test {
protected:
    // A key, then time for the program to handle it.
    void Keys(std::initializer_list<WORD> chord) {
        Chord(chord);
        Settle();
    }
    void Type(const std::string& text) {
        TypeText(text);
        Settle();
    }
    void Settle() {
        Sleep(120);
        if (app) WaitForInputIdle(process, 3000);
        Sleep(30);
    }
    // The window that has the program's keyboard focus, and the active one.
    GUITHREADINFO Gui() const {
        GUITHREADINFO gi{};
        gi.cbSize = sizeof gi;
        GetGUIThreadInfo(thread, &gi);
        return gi;
    }
    HWND Focus() const { return Gui().hwndFocus; }
    std::string FocusClass() const {
        char cls[64] = {};
        GetClassNameA(Focus(), cls, sizeof cls);
        return cls;
    }
    // A shown dialog of the program that is no message box: the file dialog.
    HWND FileDialog() const {
        struct Args {
            DWORD pid;
            HWND found;
        } a{app->pid(), nullptr};
        EnumWindows(
            [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
                auto* a = reinterpret_cast<Args*>(lp);
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                char cls[64] = {};
                GetClassNameA(w, cls, sizeof cls);
                if (pid != a->pid || lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
                if (!FindWindowExA(w, nullptr, "ComboBoxEx32", nullptr) && !GetDlgItem(w, 0x480) &&
                    !GetDlgItem(w, 0x47c))
                    return TRUE;
                a->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&a));
        return a.found;
    }
    // One value read straight from a table file (the program keeps no lock
    // on it between its writes).
    std::string Sql(const std::string& file, const std::string& query) const {
        sqlite3* db = nullptr;
        std::string result = "(none)";
        if (sqlite3_open_v2((dir.path() + file).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
                result = sqlite3_column_text(st, 0) ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "";
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return result;
    }
    std::string Job(const std::string& pfad, const char* field) const {
        return Sql(kTimerTableFile, std::string("select ") + field + " from timer where Pfad='" + pfad + "'");
    }

    ScratchDir dir;
    std::unique_ptr<Program> app;
    HANDLE process = nullptr;
    DWORD thread = 0;
};

TEST_F(KeyboardWalk, EverythingByTheKeyboardAlone) {
    ASSERT_TRUE(FindWindowA("Shell_TrayWnd", nullptr)) << "no notification area: run keyboard_walk_test.sh";
    const std::string exe = dir.path() + "Quarvelin.exe";
    ASSERT_TRUE(CopyFileA(kExe.c_str(), exe.c_str(), FALSE));
    const std::string marker = dir.path() + "marker_job.exe";
    ASSERT_TRUE(CopyFileA(kMarkerJob.c_str(), marker.c_str(), FALSE));
    app = std::make_unique<Program>(exe);
    ASSERT_TRUE(app->started());
    HWND main = app->WaitTop(ids::kMainClass, ids::kMainCaption, 30000);
    ASSERT_TRUE(main);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }, 30000));
    process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, app->pid());
    thread = GetWindowThreadProcessId(main, nullptr);
    // Where a user's keys go from now on: the program's window.
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitFor([&] { return Gui().hwndActive == main; }, 10000));
    Sleep(500);  // what the first paint does not need is made a moment after it
    HWND grid = Program::Child(main, ids::kGrid);
    ASSERT_TRUE(WaitFor([&] { return Focus() == grid; }, 5000)) << FocusClass();

    // A program job, its file chosen in the file dialog: MoMiFr at 08:00.
    Keys({VK_DOWN});  // the empty table's first row
    Type("MoMiFr");
    Keys({VK_TAB});
    Type("8:00");
    Keys({VK_TAB});
    Keys({VK_CONTROL, VK_RETURN});  // the action column's file button
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = FileDialog()) != nullptr; }, 15000));
    Sleep(500);
    Type(marker);
    Keys({VK_RETURN});
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 10000));
    Settle();
    Keys({VK_TAB});
    Type("ran.txt");
    Keys({VK_CONTROL, VK_TAB});  // out of the grid onto the navigator
    EXPECT_EQ(Focus(), Program::Child(main, ids::kNavigator));
    for (int i = 0; i < 7; ++i) Keys({VK_RIGHT});  // to its post button
    Keys({VK_SPACE});
    EXPECT_EQ(Job(marker, "Paramter"), "ran.txt");
    EXPECT_EQ(Job(marker, "Wochentag"), "MoMiFr");

    // An interval job every ten seconds, for a program that is gone.
    Keys({VK_SHIFT, VK_TAB});
    EXPECT_EQ(Focus(), grid);
    Keys({VK_DOWN});  // past the last row: a new one
    Keys({VK_HOME});
    Type("Jeden Tag");
    Keys({VK_TAB});
    Type("00:00:10");
    Keys({VK_TAB});
    Type(kMissing);
    Keys({VK_TAB});
    Keys({VK_TAB});  // Intervall
    Keys({VK_SPACE});
    Keys({VK_CONTROL, VK_TAB});
    Keys({VK_SPACE});  // the post button still has the navigator's focus
    EXPECT_EQ(Job(kMissing, "Intervall"), "Y");
    EXPECT_EQ(Job(kMissing, "Uhrzeit"), "00:00:10.000");

    // A forced restart on Saturdays at 23:00, switched off, a month ahead:
    // the day in its popup, the operation in its list, the start in its popup.
    Keys({VK_SHIFT, VK_TAB});
    Keys({VK_DOWN});
    Keys({VK_HOME});
    Keys({VK_MENU, VK_DOWN});
    for (int i = 0; i < 5; ++i) Keys({VK_DOWN});  // Samstag
    Keys({VK_SPACE});
    Keys({VK_RETURN});
    Keys({VK_TAB});
    Type("23:00");
    Keys({VK_TAB});
    Keys({VK_MENU, VK_DOWN});
    for (int i = 0; i < 4; ++i) Keys({VK_DOWN});  // "Neustart hart"
    Keys({VK_RETURN});
    for (int i = 0; i < 4; ++i) Keys({VK_TAB});  // on to Aktiv
    Keys({VK_SPACE});
    Keys({VK_TAB});  // Startzeit
    Keys({VK_F4});
    Keys({VK_NEXT});  // a month later
    Keys({VK_RETURN});
    Keys({VK_CONTROL, VK_TAB});
    Keys({VK_SPACE});
    EXPECT_EQ(Job("Neustart hart", "Wochentag"), "Sa");
    EXPECT_EQ(Job("Neustart hart", "Uhrzeit"), "23:00:00.000");
    EXPECT_EQ(Job("Neustart hart", "Aktiv"), "N");
    EXPECT_EQ(Sql(kTimerTableFile, "select count(*) from timer"), "3");
    const std::string start = Job("Neustart hart", "Startzeit");
    EXPECT_GT(start, Sql(kTimerTableFile, "select strftime('%Y-%m-%d', 'now', 'localtime', '+27 days')")) << start;

    // "&Starten" on the program job and on the one whose program is gone.
    Keys({VK_SHIFT, VK_TAB});
    Keys({VK_CONTROL, VK_HOME});
    Keys({VK_MENU, 'S'});
    EXPECT_TRUE(WaitFor([&] { return FileExists(dir.path() + "ran.txt"); }, 15000));
    // The started program took the foreground; the user comes back to the
    // window as Alt+Tab would bring it, and its keys go where they were.
    Sleep(1000);
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitFor([&] { return Gui().hwndActive == main; }, 5000));
    Settle();
    EXPECT_EQ(Focus(), Program::Child(main, ids::btnStarten)) << FocusClass();
    Keys({VK_SHIFT, VK_TAB});  // from the button back over the navigator
    Keys({VK_SHIFT, VK_TAB});
    EXPECT_EQ(Focus(), grid);
    Keys({VK_DOWN});
    Keys({VK_MENU, 'S'});
    HWND box = app->WaitMessageBox("", 15000);
    ASSERT_TRUE(box);
    Keys({VK_RETURN});
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, 5000));

    // The scheduler on by its letter: the interval job falls due and its
    // failure goes to the run log; then off again.
    HWND aktiv = Program::Child(main, ids::btnAktiv);
    EXPECT_EQ(Program::Text(aktiv), "In&aktiv");
    Keys({VK_MENU, 'A'});
    EXPECT_EQ(Program::Text(aktiv), "&Aktiv");
    EXPECT_TRUE(WaitFor([&] { return Sql(kLogTableFile, "select Pfad from log") == kMissing; }, 30000));
    Keys({VK_MENU, 'A'});
    EXPECT_EQ(Program::Text(aktiv), "In&aktiv");

    // The run log: its viewer, Tab on to "Alle löschen", which asks first.
    Keys({VK_MENU, 'L'});
    HWND viewer = app->WaitTop("TfrmLog", "LogDB", 10000);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(WaitFor([&] { return Gui().hwndActive == viewer; }, 5000));
    Keys({VK_TAB});
    Keys({VK_TAB});
    EXPECT_EQ(Focus(), Program::Child(viewer, 102));  // "Alle löschen"
    Keys({VK_SPACE});
    box = app->WaitMessageBox("Wirklich alle", 10000);
    ASSERT_TRUE(box);
    Keys({VK_RETURN});  // Yes
    EXPECT_TRUE(WaitFor([&] { return Sql(kLogTableFile, "select count(*) from log") == "0"; }, 5000));
    Keys({VK_MENU, VK_F4});  // closes (hides) the viewer
    ASSERT_TRUE(WaitFor([&] { return Gui().hwndActive == main; }, 5000));

    // Into the tray by the window menu's "Minimieren", and back by the tray
    // icon's menu. The notification area reports a keyboard choice of the
    // icon (Enter on it) to a program of this kind as the right button's
    // release, which is sent here in its place.
    Keys({VK_MENU, VK_SPACE});
    Keys({'N'});
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }, 5000));
    HWND icon = FindWindowA("QvTrayIconWindow", nullptr);
    PostMessageA(icon, WM_USER + 100, 1, WM_RBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return (Gui().flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) != 0; }, 5000))
        << std::hex << Gui().flags;
    Keys({VK_DOWN});  // "Beenden"
    Keys({VK_DOWN});  // "Wiederherstellen"
    Keys({VK_RETURN});
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && Gui().hwndActive == main; }, 5000));
    // The keys reach a control at once.
    EXPECT_TRUE(WaitFor([&] { return Focus() && IsChild(main, Focus()); }, 3000)) << FocusClass();

    // Closing asks; Enter is OK.
    Keys({VK_MENU, VK_F4});
    box = app->WaitMessageBox("Wirklich beenden ?", 10000);
    ASSERT_TRUE(box);
    Keys({VK_RETURN});
    EXPECT_TRUE(app->WaitExit(15000));
    EXPECT_EQ(Sql(kTimerTableFile, "select count(*) from timer"), "3");
    EXPECT_EQ(Sql(kLogTableFile, "select count(*) from log"), "0");
    if (process) CloseHandle(process);
}

}  // namespace
}  // namespace qv::testing
