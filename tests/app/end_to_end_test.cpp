// The real Quarvelin.exe in an empty folder under Wine (headless), driven from
// outside through its windows like a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/Table.h"
#include "jobs/Tables.h"
#include "tests/app/ProcessDriver.h"
#include "ui/main/VistorelIds.h"

namespace qv::testing {
namespace {

namespace ids = ui::ids;

const std::string kExe = HostPathToWine(QV_QUARVELIN_EXE);
const std::string kMarkerJob = HostPathToWine(QV_MARKER_JOB_EXE);
constexpr DWORD kStartWait = 30000;

// The main window once start-up is over (it is shown after FormCreate).
HWND WaitMain(const Program& app) {
    HWND main = app.WaitTop(ids::kMainClass, ids::kMainCaption, kStartWait);
    if (main && !WaitFor([&] { return IsWindowVisible(main) != FALSE; }, kStartWait)) return nullptr;
    return main;
}

class EndToEnd : public ::testing::Test {
protected:
    std::string Install() {
        const std::string exe = dir.path() + "Quarvelin.exe";
        EXPECT_TRUE(CopyFileA(kExe.c_str(), exe.c_str(), FALSE)) << kExe;
        return exe;
    }
    static bool IsSqlite(const std::string& path) {
        return ReadWholeFile(path).compare(0, 16, std::string("SQLite format 3\0", 16)) == 0;
    }
    ScratchDir dir;
};

void AddJob(engine::Cursor& c, const std::string& pfad, const std::string& paramter) {
    c.Append();
    c.FieldByName("Wochentag").SetAsString("Jeden Tag");
    c.FieldByName("Uhrzeit").SetAsTime(MakeTime(8, 0));
    c.FieldByName("Pfad").SetAsString(pfad);
    c.FieldByName("Paramter").SetAsString(paramter);
    c.FieldByName("Aktiv").SetAsString("Y");
    c.FieldByName("Intervall").SetAsString("N");
    c.FieldByName("WindowState").SetAsString("Standard");
    c.FieldByName("Startzeit").SetAsDateTime(MakeDateTime(2000, 1, 1, 8, 0));
    c.Post();
}

TEST_F(EndToEnd, FirstStartRunsADueJobAndAsksBeforeClosing) {
    const std::string exe = Install();
    ASSERT_TRUE(CopyFileA(kMarkerJob.c_str(), (dir.path() + "marker_job.exe").c_str(), FALSE));
    Program app(exe);
    ASSERT_TRUE(app.started());
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);

    // Both tables made and opened; the settings file holds only [App] mail=1.
    EXPECT_TRUE(IsSqlite(dir.path() + "Timer.DAT"));
    EXPECT_TRUE(IsSqlite(dir.path() + "Log.DAT"));
    EXPECT_EQ(ReadWholeFile(dir.path() + "Quarvelin.ini"), "[App]\r\nmail=1\r\n");
    HWND aktiv = Program::Child(main, ids::btnAktiv);
    ASSERT_NE(aktiv, nullptr);
    EXPECT_EQ(Program::Text(aktiv), "In&aktiv");
    EXPECT_EQ(SendMessageA(Program::Child(main, ids::chkAutostart), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // Two due jobs written by another user of the table: one leaves a marker,
    // one names no file.
    {
        engine::Session session("test");
        engine::Cursor timer(session, dir.path() + kTimerTableFile);
        timer.Open();
        AddJob(timer, dir.path() + "marker_job.exe", "ran.txt");
        AddJob(timer, "C:\\qv-nirgends\\fehlt.exe", "");
        timer.Close();
    }
    // Nothing runs while the scheduler is off.
    Sleep(2000);
    EXPECT_FALSE(FileExists(dir.path() + "ran.txt"));

    SendMessageA(aktiv, BM_CLICK, 0, 0);
    EXPECT_EQ(Program::Text(aktiv), "&Aktiv");
    EXPECT_TRUE(WaitFor([&] { return FileExists(dir.path() + "ran.txt"); }, 20000));
    EXPECT_EQ(ReadWholeFile(dir.path() + "ran.txt"), "ran");

    // Closing asks; Cancel keeps the program, OK ends it.
    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND box = app.WaitMessageBox("Wirklich beenden ?", 10000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Program::Text(box), "Beenden");
    EXPECT_NE(Program::BoxText(box).find("Wenn Sie beenden werden keine Programme mehr gestartet."),
              std::string::npos);
    Program::Press(box, IDCANCEL);
    EXPECT_FALSE(app.WaitExit(1500));
    EXPECT_TRUE(IsWindow(main));
    PostMessageA(main, WM_CLOSE, 0, 0);
    box = app.WaitMessageBox("Wirklich beenden ?", 10000);
    ASSERT_NE(box, nullptr);
    Program::Press(box, IDOK);
    ASSERT_TRUE(app.WaitExit(15000));

    // The failing job left its run log entry.
    engine::Session session("test");
    engine::Cursor log(session, dir.path() + kLogTableFile);
    log.Open();
    ASSERT_GE(log.RecordCount(), 1);
    bool found = false;
    for (log.First(); !log.Eof(); log.Next()) {
        if (log.FieldByName("Pfad").AsString() == "C:\\qv-nirgends\\fehlt.exe") {
            found = true;
            EXPECT_FALSE(log.FieldByName("Fehler").AsString().empty());
            EXPECT_NE(log.FieldByName("Fehler").AsString(), "OK");
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(EndToEnd, DamagedJobTableIsBackedUpRepairedAndSessionEndNeedsNoQuestion) {
    const std::string exe = Install();
    const std::string garbage = "Dies ist keine Tabelle.";
    ASSERT_TRUE(WriteWholeFile(dir.path() + "timer.dat", garbage));
    Program app(exe);
    ASSERT_TRUE(app.started());
    HWND box = app.WaitMessageBox("Timertabelle defekt.", kStartWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Program::BoxText(box), "Timertabelle defekt. Es wird versucht die Tabelle zu reparieren.");
    EXPECT_EQ(Program::Text(box), "Quarvelin");
    Program::Press(box, IDOK);

    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(ReadWholeFile(dir.path() + "Timer.DAT.bak") == garbage);
    EXPECT_TRUE(IsSqlite(dir.path() + "Timer.DAT"));
    EXPECT_EQ(Program::Text(Program::Child(main, ids::btnAktiv)), "In&aktiv");

    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                    SMTO_ABORTIFHUNG, 10000, &answer));
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    EXPECT_EQ(app.WaitMessageBox("Wirklich beenden ?", 500), nullptr);
    SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                        &answer);
    EXPECT_TRUE(app.WaitExit(15000));
}

// The show command the process was started with counts. Without a
// notification area (as here) a minimized start stays on the taskbar.
TEST_F(EndToEnd, StartShowCommandIsHonoured) {
    const std::string exe = Install();
    {
        Program app(exe, SW_SHOWMAXIMIZED);
        HWND main = WaitMain(app);
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(IsZoomed(main));
    }
    {
        Program app(exe, SW_SHOWMINNOACTIVE);
        HWND main = app.WaitTop(ids::kMainClass, ids::kMainCaption, kStartWait);
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(WaitFor([&] { return IsIconic(main) != FALSE; }, 10000));
        // Restoring from the taskbar shows it normal.
        SendMessageA(main, WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && !IsIconic(main); }, 10000));
    }
}

// A second copy finds the run log held by the first: that is no damage. It
// reports the engine's error, makes no backup, repairs nothing and ends.
TEST_F(EndToEnd, SecondCopyReportsTheHeldRunLogAndEnds) {
    const std::string exe = Install();
    Program first(exe);
    ASSERT_NE(WaitMain(first), nullptr);
    const std::string logBefore = ReadWholeFile(dir.path() + "Log.DAT");

    Program second(exe);
    ASSERT_TRUE(second.started());
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (box = second.FindTop("#32770", "Quarvelin")) != nullptr; }, kStartWait));
    EXPECT_EQ(Program::BoxText(box).find("defekt"), std::string::npos) << Program::BoxText(box);
    Program::Press(box, IDOK);
    EXPECT_TRUE(second.WaitExit(15000));
    EXPECT_FALSE(FileExists(dir.path() + "log.DAT.bak"));
    EXPECT_TRUE(ReadWholeFile(dir.path() + "Log.DAT") == logBefore);
    EXPECT_EQ(second.FindTop(ids::kMainClass), nullptr);
    EXPECT_TRUE(first.Running());
}

}  // namespace
}  // namespace qv::testing
