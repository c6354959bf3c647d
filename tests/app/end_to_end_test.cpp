// The real Quarvelin.exe in an empty folder under Wine (headless), driven from
// outside through its windows like a user would: this build's own, and in the
// release's test build the release under 32-bit Wine, as each Windows it is for.
#include <windows.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "actions/Countdown.h"
#include "engine/Platform.h"
#include "engine/Table.h"
#include "engine/TableFile.h"
#include "jobs/Tables.h"
#include "tests/app/ProcessDriver.h"
#include "ui/main/VistorelIds.h"

namespace qv::testing {
namespace {

namespace ids = ui::ids;

const std::string kExe = HostPathToWine(QV_QUARVELIN_EXE);
const std::string kMarkerJob = HostPathToWine(QV_MARKER_JOB_EXE);
const std::string kFakeMapi = HostPathToWine(QV_FAKE_MAPI_DLL);
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
    // The program with its tables, a marker job beside it and the settings given.
    std::string InstallWithTables(const std::string& ini) {
        const std::string exe = Install();
        EXPECT_TRUE(CopyFileA(kMarkerJob.c_str(), (dir.path() + "marker_job.exe").c_str(), FALSE));
        CreateTimerTable(dir.path());
        CreateLogTable(dir.path());
        EXPECT_TRUE(WriteWholeFile(dir.path() + "Quarvelin.ini", ini));
        return exe;
    }
    std::string Marker() const { return dir.path() + "marker_job.exe"; }
    bool Ran(const char* marker) const { return FileExists(dir.path() + marker); }
    HWND Item(HWND main, int id) const { return Program::Child(main, id); }
    static bool IsSqlite(const std::string& path) {
        return ReadWholeFile(path).compare(0, 16, std::string("SQLite format 3\0", 16)) == 0;
    }
    // Asks before closing; OK ends the program.
    static bool CloseWithOk(const Program& app, HWND main);
    ScratchDir dir;
};

// A daily job at 08:00, due since start unless given a later one; its ID.
int64_t AddJob(engine::Cursor& c, const std::string& pfad, const std::string& paramter,
               DateTime start = MakeDateTime(2000, 1, 1, 8, 0), const std::string& nacholen = "") {
    c.Append();
    c.FieldByName("Wochentag").SetAsString("Jeden Tag");
    c.FieldByName("Uhrzeit").SetAsTime(MakeTime(8, 0));
    c.FieldByName("Pfad").SetAsString(pfad);
    c.FieldByName("Paramter").SetAsString(paramter);
    c.FieldByName("Aktiv").SetAsString("Y");
    c.FieldByName("Intervall").SetAsString("N");
    c.FieldByName("WindowState").SetAsString("Standard");
    c.FieldByName("Startzeit").SetAsDateTime(start);
    c.FieldByName("nacholen").SetAsString(nacholen);
    c.Post();
    return c.FieldByName("ID").AsInteger();
}

// What another tool (the sqlite3 client) would put into a table.
void Sql(const std::string& table, const std::string& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(table.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// Run log rows as "Pfad|Fehler", read once the program has ended.
std::vector<std::string> LogRows(const std::string& dir) {
    std::vector<std::string> rows;
    engine::Session session("check");
    engine::Cursor log(session, dir + kLogTableFile);
    log.Open();
    for (log.First(); !log.Eof(); log.Next())
        rows.push_back(log.FieldByName("Pfad").AsString() + "|" + log.FieldByName("Fehler").AsString());
    return rows;
}

std::string JobField(const std::string& dir, int64_t id, const char* field) {
    engine::Session session("check");
    engine::Cursor timer(session, dir + kTimerTableFile);
    timer.Open();
    for (timer.First(); !timer.Eof(); timer.Next())
        if (timer.FieldByName("ID").AsInteger() == id) return timer.FieldByName(field).AsString();
    return "(no such job)";
}

// Closes the program the way a user does, answering its question with OK.
void CloseAsUser(const Program& app, HWND main) {
    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND box = app.WaitMessageBox("Wirklich beenden ?", 10000);
    ASSERT_NE(box, nullptr);
    Program::Press(box, IDOK);
    ASSERT_TRUE(app.WaitExit(15000));
}

// A handle on a file that lets others read it, and with share 0 not even that:
// for the program the file is write-protected, or cannot be opened at all.
struct FileHold {
    FileHold(const std::string& path, DWORD share)
        : h(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_ALWAYS, 0, nullptr)) {}
    ~FileHold() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;
    HANDLE h;
};

// Environment variables for the program started next, put back afterwards.
struct Env {
    std::vector<std::pair<std::string, std::string>> saved;
    void Set(const std::string& name, const std::string& value) {
        char old[1024] = {};
        GetEnvironmentVariableA(name.c_str(), old, sizeof old);
        saved.emplace_back(name, old);
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
    ~Env() {
        for (auto& [name, value] : saved)
            SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
};

// The fake mail library beside the program, recording into mail.txt (the
// test runs with Wine told to load such a library instead of its own).
void UseFakeMail(const std::string& dir, Env& env) {
    EXPECT_TRUE(CopyFileA(kFakeMapi.c_str(), (dir + "MAPI32.dll").c_str(), FALSE)) << kFakeMapi;
    env.Set("QV_MAPI_CAPTURE", dir + "mail.txt");
}

int MailsSent(const std::string& dir) {
    const std::string capture = ReadWholeFile(dir + "mail.txt");
    int calls = 0;
    for (size_t at = capture.find("call\n"); at != std::string::npos; at = capture.find("call\n", at + 1))
        ++calls;
    return calls;
}

const char kMissingFile[] = "C:\\qv-nirgends\\fehlt.exe";

bool EndToEnd::CloseWithOk(const Program& app, HWND main) {
    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND box = app.WaitMessageBox("Wirklich beenden ?", 10000);
    if (!box) return false;
    Program::Press(box, IDOK);
    return app.WaitExit(15000);
}

// The locks of a table's lock file that show it open: a shared lock on the
// open byte on the NT family, one of the byte's holder bytes on the 95/98
// line, which has exclusive locks only.
bool OpenByteLocked(const std::string& table) {
    HANDLE h = CreateFileA(engine::detail::LockPathFor(table).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const DWORD holders = static_cast<DWORD>(engine::platform::kHolderBase +
                                             engine::detail::kOpenByte * engine::platform::kHolderCount);
    const bool byteFree = LockFile(h, engine::detail::kOpenByte, 0, 1, 0) != 0;
    const bool holdersFree = LockFile(h, holders, 0, engine::platform::kHolderCount, 0) != 0;
    CloseHandle(h);  // gives up the locks with the handle
    return !byteFree || !holdersFree;
}

// Whether nobody holds the open byte itself: so on the 95/98 line while the
// program has the table open, not so on the NT family.
bool OpenByteFree(const std::string& table) {
    HANDLE h = CreateFileA(engine::detail::LockPathFor(table).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool free = LockFile(h, engine::detail::kOpenByte, 0, 1, 0) != 0;
    CloseHandle(h);
    return free;
}

// The tests that the build runs once more as each Windows the program is for
// (Wine reports it to the program: WindowsUnderTest).
class AsEachWindows : public EndToEnd {};

// First start in an empty folder, the settings written back and read again,
// then a due job, a failing one, a job that catches up on two missed days and
// a shutdown whose countdown the user cancels, all logged as they should be.
TEST_F(AsEachWindows, FirstStartThenDueAndCatchUpJobsAndACancelledCountdown) {
    const std::string exe = Install();
    ASSERT_TRUE(CopyFileA(kMarkerJob.c_str(), Marker().c_str(), FALSE));
    const std::string ini = dir.path() + "Quarvelin.ini";
    {
        Program app(exe);
        ASSERT_TRUE(app.started());
        HWND main = WaitMain(app);
        ASSERT_NE(main, nullptr);
        // Both tables made and opened, the settings file holds only [App] mail=1.
        EXPECT_TRUE(IsSqlite(dir.path() + "Timer.DAT"));
        EXPECT_TRUE(IsSqlite(dir.path() + "Log.DAT"));
        EXPECT_EQ(ReadWholeFile(ini), "[App]\r\nmail=1\r\n");
        EXPECT_EQ(Program::Text(Item(main, ids::btnAktiv)), "In&aktiv");
        EXPECT_EQ(SendMessageA(Item(main, ids::chkAutostart), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        // The locks of the system's line.
        EXPECT_TRUE(OpenByteLocked(dir.path() + kTimerTableFile));
        EXPECT_EQ(OpenByteFree(dir.path() + kTimerTableFile), WindowsLine9x());

        SendMessageA(Item(main, ids::chkAktiviert), BM_CLICK, 0, 0);
        EXPECT_NE(ReadWholeFile(ini).find("aktiviert=1\r\n"), std::string::npos) << ReadWholeFile(ini);

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
        ASSERT_TRUE(CloseWithOk(app, main));
    }

    // A daily job two days and an hour behind that catches up: it runs for
    // each missed start, then waits for tomorrow.
    const DateTime now = SystemClock().Now();
    const DateTime missed{now.ms - (2 * 24 + 1) * 3600 * 1000LL};
    const std::string catchUp = "C:\\qv-nirgends\\nachholen.exe";
    int64_t catchUpId = 0;
    {
        engine::Session session("tool");
        engine::Cursor timer(session, dir.path() + kTimerTableFile);
        timer.Open();
        AddJob(timer, Marker(), "ran.txt");
        AddJob(timer, kMissingFile, "");
        catchUpId = AddJob(timer, catchUp, "", missed, "Y");
        timer.Locate("ID", std::to_string(catchUpId));
        timer.Edit();
        timer.FieldByName("Uhrzeit").SetAsTime(TimePart(missed));
        timer.Post();
        AddJob(timer, "herunterfahren", "");
    }
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(Program::Text(Item(main, ids::btnAktiv)), "&Aktiv");  // as written back
    EXPECT_TRUE(WaitFor([&] { return Ran("ran.txt"); }, 20000));
    EXPECT_EQ(ReadWholeFile(dir.path() + "ran.txt"), "ran");
    HWND countdown = app.WaitTop("#32770", "Countdown herunterfahren", 20000);
    ASSERT_NE(countdown, nullptr);
    Program::Press(countdown, actions::TfrmCountdown::kButton1Id);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(countdown); }, 5000));
    const std::string tomorrow = FormatDateTime(AddDays(missed, 3));
    EXPECT_TRUE(WaitFor([&] { return JobField(dir.path(), catchUpId, "Startzeit") == tomorrow; }, 20000))
        << JobField(dir.path(), catchUpId, "Startzeit") << " instead of " << tomorrow;
    Sleep(2000);  // another tick: it does not run again
    CloseAsUser(app, main);

    std::vector<std::string> rows = LogRows(dir.path());
    std::sort(rows.begin(), rows.end());
    ASSERT_EQ(rows.size(), 5u) << ::testing::PrintToString(rows);
    EXPECT_EQ(rows[0].substr(0, rows[0].find('|')), kMissingFile);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(rows[i].substr(0, rows[i].find('|')), catchUp) << rows[i];
    EXPECT_EQ(rows[4], "herunterfahren|abgebrochen");
}

// Another reader of the job table, such as the sqlite3 client, in the middle of
// a read: on the NT family the program reads beside it (shared locks); the
// 95/98 line has exclusive locks only, so there the program's read waits until
// the other one ends.
TEST_F(AsEachWindows, ReaderOfTheJobTableHoldsUpTheStartOnlyOnThe9xLine) {
    const std::string exe = InstallWithTables("[App]\r\nmail=1\r\n");
    const std::string timer = dir.path() + kTimerTableFile;
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(timer.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    struct Closer {
        sqlite3* db;
        ~Closer() { sqlite3_close(db); }
    } closer{reader};
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM timer;", nullptr, nullptr, nullptr), SQLITE_OK);

    Program app(exe);
    ASSERT_TRUE(app.started());
    if (!WindowsLine9x()) {
        HWND main = WaitMain(app);
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(app.FindMessageBox(), nullptr) << Program::BoxText(app.FindMessageBox());
        EXPECT_EQ(sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        CloseAsUser(app, main);
        return;
    }
    // The program has the table open and is reading it, but shows nothing yet.
    ASSERT_TRUE(WaitFor([&] { return OpenByteLocked(timer); }, kStartWait));
    Sleep(2000);
    HWND early = app.FindTop(ids::kMainClass, ids::kMainCaption);
    EXPECT_FALSE(early && IsWindowVisible(early));
    EXPECT_EQ(sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(app.FindMessageBox(), nullptr) << Program::BoxText(app.FindMessageBox());
    CloseAsUser(app, main);
}

// A settings file that refuses every write: the refusal is shown once, the
// options read still count, and the scheduler runs the due job.
TEST_F(EndToEnd, UnwritableSettingsAreReportedOnceAndTheSchedulerStillRuns) {
    const std::string exe = Install();
    ASSERT_TRUE(CopyFileA(kMarkerJob.c_str(), (dir.path() + "marker_job.exe").c_str(), FALSE));
    ASSERT_TRUE(CreateTimerTable(dir.path()));
    {
        engine::Session session("test");
        engine::Cursor timer(session, dir.path() + kTimerTableFile);
        timer.Open();
        AddJob(timer, dir.path() + "marker_job.exe", "ran.txt");
    }
    const std::string ini = dir.path() + "Quarvelin.ini";
    const std::string options = "[App]\r\naktiviert=1\r\nmailadresse=a@b.de\r\n";
    ASSERT_TRUE(WriteWholeFile(ini, options));
    ASSERT_TRUE(SetImmutable(ini, true));
    struct Writable {
        std::string path;
        ~Writable() { SetImmutable(path, false); }
    } writable{ini};

    Program app(exe);
    HWND box = app.WaitMessageBox("kann nicht geschrieben werden", kStartWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Program::BoxText(box), "nach " + ini + " kann nicht geschrieben werden.");
    Program::Press(box, IDOK);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(Program::Text(Program::Child(main, ids::btnAktiv)), "&Aktiv");
    EXPECT_TRUE(WaitFor([&] { return FileExists(dir.path() + "ran.txt"); }, 20000));
    EXPECT_EQ(app.FindMessageBox(), nullptr);  // the other refused write-backs say nothing

    EXPECT_TRUE(CloseWithOk(app, main));  // the layout cannot be saved either: no word
    EXPECT_EQ(ReadWholeFile(ini), options);
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
    // Then what the repair kept: nothing of a file that was no table.
    box = app.WaitMessageBox("Timertabelle repariert: 0 Datens\xe4tze \xfc" "bernommen, 0 nicht lesbar", kStartWait);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(Program::BoxText(box).find("timer.dat.bak"), std::string::npos) << Program::BoxText(box);
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

// Rows put in by another tool, each wrong in its own way, before a good job:
// each bad row fails alone and once, the scheduler goes on to the good job, and
// no error box stops it.
TEST_F(EndToEnd, BadRowsFailAloneOnceAndTheSchedulerGoesOn) {
    const std::string exe = InstallWithTables("[App]\r\nmail=1\r\naktiviert=1\r\n");
    const std::string timer = dir.path() + kTimerTableFile;
    const std::string longPath = "C:\\" + std::string(1000, 'a') + ".exe";
    int64_t noDay = 0, badTime = 0, never = 0, good = 0;
    {
        engine::Session session("tool");
        engine::Cursor c(session, timer);
        c.Open();
        AddJob(c, "C:\\lang.exe", "");
        noDay = AddJob(c, "C:\\ohne-tag.exe", "");
        badTime = AddJob(c, "C:\\ohne-zeit.exe", "");
        never = AddJob(c, Marker(), "stuck.txt");
        good = AddJob(c, Marker(), "ran.txt");
    }
    Sql(timer, "UPDATE timer SET Pfad='" + longPath + "' WHERE Pfad='C:\\lang.exe';" +
                   "UPDATE timer SET Wochentag=NULL WHERE ID=" + std::to_string(noDay) + ";" +
                   "UPDATE timer SET Uhrzeit='kaputt' WHERE ID=" + std::to_string(badTime) + ";" +
                   "UPDATE timer SET Wochentag='Nie' WHERE ID=" + std::to_string(never) + ";");

    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Ran("ran.txt") && Ran("stuck.txt"); }, 20000));
    Sleep(4000);  // more ticks: nothing fails a second time
    EXPECT_TRUE(app.Running());
    HWND box = app.FindTop("#32770");
    EXPECT_EQ(box, nullptr) << Program::BoxText(box);
    EXPECT_TRUE(IsWindowVisible(Item(main, ids::Image1)));
    CloseAsUser(app, main);

    EXPECT_EQ(LogRows(dir.path()),
              (std::vector<std::string>{longPath.substr(0, 250) + "|Pfad \xfc" "ber 259 Zeichen",
                                        "C:\\ohne-tag.exe|Wochentag fehlt: ausgeschaltet",
                                        "C:\\ohne-zeit.exe|Uhrzeit fehlt: ausgeschaltet",
                                        Marker() + "|kein Wochentag: ausgeschaltet"}));
    for (int64_t id : {noDay, badTime, never}) EXPECT_EQ(JobField(dir.path(), id, "Aktiv"), "N") << id;
    EXPECT_EQ(JobField(dir.path(), noDay, "Wochentag"), "");  // left as it was
    EXPECT_EQ(JobField(dir.path(), good, "Aktiv"), "Y");
}

// A failure's mail client lets messages through while the tick waits in it.
// The user starts the selected job, switches a later job off and the
// scheduler too: the later job does not run, and the tick goes on from the
// failed job's row, so that catching-up job does not run again in this tick.
TEST_F(EndToEnd, WhileTheMailClientHoldsTheTickTheUserIsHeard) {
    const std::string exe =
        InstallWithTables("[App]\r\nmail=0\r\nmailadresse=admin@example.org\r\naktiviert=1\r\n");
    Env env;
    UseFakeMail(dir.path(), env);
    env.Set("QV_MAPI_HOLD", dir.path() + "go.txt");
    const std::string timer = dir.path() + kTimerTableFile;
    const DateTime threeDaysAgo{SystemClock().Now().ms - 3LL * 24 * 3600 * 1000};
    int64_t later = 0;
    {
        engine::Session session("tool");
        engine::Cursor c(session, timer);
        c.Open();
        AddJob(c, Marker(), "sel.txt", MakeDateTime(2099, 1, 1, 8, 0));  // selected in the grid
        AddJob(c, "C:\\qv-nirgends\\fehlt.exe", "", threeDaysAgo, "Y");
        later = AddJob(c, Marker(), "b.txt");
    }
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return MailsSent(dir.path()) == 1; }, 20000));

    SendMessageA(Item(main, ids::btnStarten), BM_CLICK, 0, 0);
    {
        engine::Session grid("grid");
        engine::Cursor c(grid, timer);
        c.Open();
        ASSERT_TRUE(c.Locate("ID", std::to_string(later)));
        c.Edit();
        c.FieldByName("Aktiv").SetAsString("N");
        c.Post();
    }
    SendMessageA(Item(main, ids::btnAktiv), BM_CLICK, 0, 0);
    ASSERT_TRUE(WriteWholeFile(dir.path() + "go.txt", "go"));

    EXPECT_TRUE(WaitFor([&] { return Ran("sel.txt"); }, 10000));
    Sleep(3000);
    EXPECT_FALSE(Ran("b.txt"));
    EXPECT_EQ(MailsSent(dir.path()), 1);
    CloseAsUser(app, main);
    EXPECT_EQ(LogRows(dir.path()).size(), 1u);
}

// Tables the program may not write: each is named once at start-up. A failure
// that cannot be logged still lights the indicator and is mailed; jobs that
// cannot be rescheduled are shown but not run, without an error box per tick.
TEST_F(EndToEnd, WriteProtectedTablesAreNamedOnceAndFailuresStillShow) {
    const std::string exe =
        InstallWithTables("[App]\r\nmail=0\r\nmailadresse=admin@example.org\r\naktiviert=1\r\n");
    Env env;
    UseFakeMail(dir.path(), env);
    const std::string timer = dir.path() + kTimerTableFile;
    const std::string log = dir.path() + kLogTableFile;
    {
        engine::Session session("tool");
        engine::Cursor c(session, timer);
        c.Open();
        AddJob(c, Marker(), "sel.txt", MakeDateTime(2099, 1, 1, 8, 0));  // selected in the grid
        AddJob(c, "C:\\qv-nirgends\\fehlt.exe", "");
    }
    {
        FileHold readOnly(log, FILE_SHARE_READ);
        Program app(exe);
        HWND box = app.WaitMessageBox("In die Logtabelle", kStartWait);
        ASSERT_NE(box, nullptr);
        EXPECT_NE(Program::BoxText(box).find(log), std::string::npos) << Program::BoxText(box);
        Program::Press(box, IDOK);
        HWND main = WaitMain(app);
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(Item(main, ids::Image1)) && MailsSent(dir.path()) == 1; },
                            20000));
        Sleep(2000);
        box = app.FindTop("#32770");
        EXPECT_EQ(box, nullptr) << Program::BoxText(box);
        CloseAsUser(app, main);
    }
    EXPECT_TRUE(LogRows(dir.path()).empty());

    {
        engine::Session session("tool");
        engine::Cursor c(session, timer);
        c.Open();
        AddJob(c, Marker(), "due.txt");
    }
    {
        FileHold readOnly(timer, FILE_SHARE_READ);
        Program app(exe);
        HWND box = app.WaitMessageBox("In die Timertabelle", kStartWait);
        ASSERT_NE(box, nullptr);
        EXPECT_NE(Program::BoxText(box).find(timer), std::string::npos) << Program::BoxText(box);
        Program::Press(box, IDOK);
        HWND main = WaitMain(app);
        ASSERT_NE(main, nullptr);
        // The jobs are there: "&Starten" starts the one selected in the grid.
        SendMessageA(Item(main, ids::btnStarten), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return Ran("sel.txt"); }, 10000));
        Sleep(4000);
        EXPECT_FALSE(Ran("due.txt"));
        box = app.FindTop("#32770");
        EXPECT_EQ(box, nullptr) << Program::BoxText(box);
        CloseAsUser(app, main);
    }
}

// A lock file the program cannot open (another user's in a shared folder) is
// named; the table is neither backed up nor repaired.
TEST_F(EndToEnd, LockFileThatCannotBeOpenedIsNamedAndTheTableLeftAlone) {
    const std::string exe = InstallWithTables("[App]\r\nmail=1\r\n");
    const std::string timer = dir.path() + kTimerTableFile;
    const std::string before = ReadWholeFile(timer);
    FileHold lock(timer + ".lck", 0);
    Program app(exe);
    HWND box = app.WaitMessageBox("Sperrdatei", kStartWait);
    ASSERT_NE(box, nullptr);
    const std::string text = Program::BoxText(box);
    EXPECT_NE(text.find("timer.dat.lck"), std::string::npos) << text;
    EXPECT_EQ(text.find("defekt"), std::string::npos) << text;
    Program::Press(box, IDOK);
    ASSERT_NE(WaitMain(app), nullptr);
    EXPECT_FALSE(FileExists(timer + ".bak"));
    EXPECT_TRUE(ReadWholeFile(timer) == before);
}

// "&Starten" starts the row selected in the grid, also where IDs repeat or
// are no numbers.
TEST_F(EndToEnd, StartenStartsTheSelectedRowWhateverItsId) {
    const std::string exe = InstallWithTables("[App]\r\nmail=1\r\n");
    const std::string timer = dir.path() + kTimerTableFile;
    {
        engine::Session session("tool");
        engine::Cursor c(session, timer);
        c.Open();
        for (const char* marker : {"a.txt", "b.txt", "c.txt", "d.txt"})
            AddJob(c, Marker(), marker, MakeDateTime(2099, 1, 1, 8, 0));
    }
    Sql(timer, "UPDATE timer SET ID=7 WHERE Paramter IN ('a.txt', 'b.txt');"
               "UPDATE timer SET ID='x' WHERE Paramter='c.txt';"
               "UPDATE timer SET ID='y' WHERE Paramter='d.txt';");
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    HWND grid = Item(main, ids::kGrid);
    HWND starten = Item(main, ids::btnStarten);
    SendMessageA(grid, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(starten, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return Ran("b.txt"); }, 10000));
    SendMessageA(grid, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(grid, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(starten, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return Ran("d.txt"); }, 10000));
    Sleep(1000);
    EXPECT_FALSE(Ran("a.txt"));
    EXPECT_FALSE(Ran("c.txt"));
}

}  // namespace
}  // namespace qv::testing
