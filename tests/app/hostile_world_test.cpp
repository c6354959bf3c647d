// The real Quarvelin.exe under Wine (headless) in a hostile world: another
// program holding a table, a full disk, a run log emptied, a second copy
// started beside a stopped first one, the job table deleted and replaced.
// Each fault is there while jobs fall due, then it ends: the due jobs run
// within two ticks of its end while the error box is still open, no job runs
// twice (each job has a marker file of its own), and no row is lost (the
// tables read before and after).
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/Table.h"
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
constexpr DWORD kTickMs = 1500;
// Two ticks, and what a loaded machine adds to a tick and to our polling.
constexpr DWORD kTwoTicks = 2 * kTickMs + 3000;

HWND WaitMain(const Program& app) {
    HWND main = app.WaitTop(ids::kMainClass, ids::kMainCaption, kStartWait);
    if (main && !WaitFor([&] { return IsWindowVisible(main) != FALSE; }, kStartWait)) return nullptr;
    return main;
}

// The message boxes of a process that show now.
int BoxesShown(const Program& app) {
    struct Args {
        DWORD pid;
        int count;
    } a{app.pid(), 0};
    EnumWindows(
        [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
            auto* a = reinterpret_cast<Args*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (pid == a->pid && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w)) ++a->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&a));
    return a.count;
}

// What another program (the sqlite3 client, say) does to a table.
class SqlClient {
public:
    explicit SqlClient(const std::string& table) {
        EXPECT_EQ(sqlite3_open(table.c_str(), &db_), SQLITE_OK);
        sqlite3_busy_timeout(db_, 5000);  // the program's own writes are waited out
    }
    ~SqlClient() {
        if (held_) Exec("COMMIT");
        sqlite3_close(db_);
    }
    SqlClient(const SqlClient&) = delete;
    SqlClient& operator=(const SqlClient&) = delete;
    // BEGIN EXCLUSIVE, retried while the program is writing.
    bool Hold() {
        held_ = WaitFor([&] { return Exec("BEGIN EXCLUSIVE"); }, 10000);
        return held_;
    }
    void Release() {
        if (held_) Exec("COMMIT");
        held_ = false;
    }
    bool Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }
    // Every row as text, one line each, in row order; asked again while the
    // program holds the file.
    std::vector<std::string> Rows(const std::string& query) {
        for (int attempt = 0; attempt < 20; ++attempt) {
            int rc = SQLITE_OK;
            std::vector<std::string> rows = TryRows(query, &rc);
            if (rc == SQLITE_DONE) return rows;
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
            Sleep(100);
        }
        ADD_FAILURE() << query << ": " << sqlite3_errmsg(db_);
        return {"(" + query + " failed)"};
    }

private:
    std::vector<std::string> TryRows(const std::string& query, int* rcOut) {
        std::vector<std::string> rows;
        sqlite3_stmt* st = nullptr;
        *rcOut = sqlite3_prepare_v2(db_, query.c_str(), -1, &st, nullptr);
        if (*rcOut != SQLITE_OK) return rows;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const unsigned char* t = sqlite3_column_text(st, i);
                row += (i ? "|" : "") + std::string(t ? reinterpret_cast<const char*>(t) : "");
            }
            rows.push_back(row);
        }
        sqlite3_finalize(st);
        *rcOut = rc;
        return rows;
    }

    sqlite3* db_ = nullptr;
    bool held_ = false;
};

// The rows that must survive: the jobs without their next start, which the
// program moves on; the run log whole.
std::vector<std::string> Jobs(const std::string& table) {
    return SqlClient(table).Rows("SELECT ID, Wochentag, Uhrzeit, Pfad, Paramter, Aktiv FROM timer ORDER BY ID");
}
std::vector<std::string> LogRows(const std::string& table) {
    return SqlClient(table).Rows("SELECT ID, Pfad, Fehler, Zeit FROM log ORDER BY ID");
}

const char kMissing1[] = "C:\\qv-nirgends\\eins.exe";
const char kMissing2[] = "C:\\qv-nirgends\\zwei.exe";

class HostileWorld : public ::testing::Test {
protected:
    ~HostileWorld() override {
        for (const auto& [name, value] : env_)
            SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
    }

    // The program, the marker job, both tables and the settings in dir, the
    // scheduler switched on at start.
    std::string Install(const std::string& dir, const std::string& options = "mail=1") {
        dir_ = dir;
        const std::string exe = dir + "Quarvelin.exe";
        EXPECT_TRUE(CopyFileA(kExe.c_str(), exe.c_str(), FALSE)) << kExe;
        EXPECT_TRUE(CopyFileA(kMarkerJob.c_str(), (dir + "marker_job.exe").c_str(), FALSE));
        EXPECT_TRUE(CreateTimerTable(dir));
        EXPECT_TRUE(CreateLogTable(dir));
        EXPECT_TRUE(WriteWholeFile(dir + "Quarvelin.ini",
                               "[App]\r\naktiviert=1\r\nmailadresse=admin@example.org\r\n" + options + "\r\n"));
        return exe;
    }
    // Failure mails recorded into mail.txt instead of sent.
    void RecordMails() {
        EXPECT_TRUE(CopyFileA(kFakeMapi.c_str(), (dir_ + "MAPI32.dll").c_str(), FALSE)) << kFakeMapi;
        SetEnv("QV_MAPI_CAPTURE", dir_ + "mail.txt");
    }
    int Mails() const {
        const std::string capture = ReadWholeFile(dir_ + "mail.txt");
        int calls = 0;
        for (size_t at = capture.find("call\n"); at != std::string::npos; at = capture.find("call\n", at + 1)) ++calls;
        return calls;
    }
    std::string Timer() const { return dir_ + kTimerTableFile; }
    std::string Log() const { return dir_ + kLogTableFile; }

    // A daily job due secondsFromNow from now: the marker job leaving marker,
    // or a file that does not exist. every: an interval job instead.
    void AddJob(const std::string& pfad, const std::string& marker, int secondsFromNow,
                const std::string& table = {}, TimeOfDay every = {}, bool catchUp = false) {
        engine::Session session("tool");
        engine::Cursor c(session, table.empty() ? Timer() : table);
        c.Open();
        c.Append();
        c.FieldByName("Wochentag").SetAsString("Jeden Tag");
        c.FieldByName("Uhrzeit").SetAsTime(every.ms ? every : MakeTime(3, 0));
        c.FieldByName("Pfad").SetAsString(pfad);
        c.FieldByName("Paramter").SetAsString(marker);
        c.FieldByName("Aktiv").SetAsString("Y");
        c.FieldByName("Intervall").SetAsString(every.ms ? "Y" : "N");
        c.FieldByName("nacholen").SetAsString(catchUp ? "Y" : "N");
        c.FieldByName("WindowState").SetAsString("Standard");
        c.FieldByName("Startzeit").SetAsDateTime(DateTime{SystemClock().Now().ms + secondsFromNow * 1000LL});
        c.Post();
    }
    void AddMarkerJob(const std::string& marker, int secondsFromNow, const std::string& table = {}) {
        AddJob(dir_ + "marker_job.exe", marker, secondsFromNow, table);
    }
    // How often the job with this marker ran.
    int Runs(const std::string& marker) const {
        const std::string text = ReadWholeFile(dir_ + marker);
        int n = 0;
        for (size_t at = text.find("ran"); at != std::string::npos; at = text.find("ran", at + 1)) ++n;
        return n;
    }
    // Milliseconds from now until all markers have run, with box still open
    // all the while; -1 when they did not within kTwoTicks.
    long RunWithin(const std::vector<std::string>& markers, HWND box) const {
        const DWORD start = GetTickCount();
        const bool ran = WaitFor(
            [&] {
                return std::all_of(markers.begin(), markers.end(), [&](const std::string& m) { return Runs(m) > 0; });
            },
            kTwoTicks);
        const long ms = static_cast<long>(GetTickCount() - start);
        EXPECT_TRUE(IsWindow(box) && IsWindowVisible(box)) << "the error box was closed";
        std::printf("  due jobs ran %ld ms after the cause ended, the box still open\n", ms);
        return ran ? ms : -1;
    }
    static void CloseAsUser(const Program& app, HWND main) {
        PostMessageA(main, WM_CLOSE, 0, 0);
        HWND box = app.WaitMessageBox("Wirklich beenden ?", 15000);
        ASSERT_NE(box, nullptr);
        Program::Press(box, IDOK);
        ASSERT_TRUE(app.WaitExit(15000));
    }
    void SetEnv(const std::string& name, const std::string& value) {
        char old[1024] = {};
        GetEnvironmentVariableA(name.c_str(), old, sizeof old);
        env_.emplace_back(name, old);
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }

    ScratchDir scratch;
    std::string dir_;
    std::vector<std::pair<std::string, std::string>> env_;
};

// The job table held by another program (BEGIN EXCLUSIVE, as the sqlite3
// client does) while two jobs fall due: nothing runs, and the hold is named
// once it has lasted; the tick after it ends runs both, once each.
TEST_F(HostileWorld, JobTableHeldByAnotherProgram) {
    const std::string exe = Install(scratch.path());
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    AddMarkerJob("a.txt", 3);
    AddMarkerJob("b.txt", 4);
    const std::vector<std::string> jobs = Jobs(Timer());
    {
        SqlClient client(Timer());
        ASSERT_TRUE(client.Hold());
        HWND box = app.WaitMessageBox("database is locked", 40000);
        ASSERT_NE(box, nullptr) << "no box while the job table was held";
        EXPECT_NE(Program::BoxText(box).find("Timertabelle " + Timer()), std::string::npos) << Program::BoxText(box);
        Sleep(2 * kTickMs);
        EXPECT_EQ(Runs("a.txt") + Runs("b.txt"), 0);
        EXPECT_EQ(BoxesShown(app), 1);  // named once, also after more ticks
        client.Release();
        EXPECT_GE(RunWithin({"a.txt", "b.txt"}, box), 0);
    }
    Sleep(3 * kTickMs);
    EXPECT_EQ(Runs("a.txt"), 1);
    EXPECT_EQ(Runs("b.txt"), 1);
    EXPECT_EQ(BoxesShown(app), 1);
    Program::Press(app.FindMessageBox("database is locked"), IDOK);
    CloseAsUser(app, main);
    EXPECT_EQ(Jobs(Timer()), jobs);
    EXPECT_TRUE(LogRows(Log()).empty());
}

// The run log held by another program while a job fails: the failure is
// mailed and indicated at once, named once the hold has lasted, and in the
// log within two ticks of its end, with the moment it happened.
TEST_F(HostileWorld, RunLogHeldByAnotherProgram) {
    const std::string exe = Install(scratch.path());
    RecordMails();
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    const std::vector<std::string> logBefore = LogRows(Log());
    std::string failedAt;
    {
        SqlClient client(Log());
        ASSERT_TRUE(client.Hold());
        const std::string holdStart = FormatDateTime(SystemClock().Now());
        AddJob(kMissing1, "", 2);
        AddMarkerJob("a.txt", 2);
        ASSERT_TRUE(WaitFor([&] { return Mails() == 1 && Runs("a.txt") == 1; }, 20000));
        EXPECT_TRUE(IsWindowVisible(Program::Child(main, ids::Image1)));
        HWND box = app.WaitMessageBox("database is locked", 40000);
        ASSERT_NE(box, nullptr) << "no box while the run log was held";
        EXPECT_NE(Program::BoxText(box).find("Logtabelle " + Log()), std::string::npos) << Program::BoxText(box);
        const std::string holdEnd = FormatDateTime(SystemClock().Now());
        client.Release();
        const DWORD start = GetTickCount();
        std::vector<std::string> rows;
        EXPECT_TRUE(WaitFor([&] { return (rows = LogRows(Log())).size() == 1; }, kTwoTicks));
        std::printf("  the failure was logged %lu ms after the run log was free, the box still open\n",
                    static_cast<unsigned long>(GetTickCount() - start));
        EXPECT_TRUE(IsWindow(box) && IsWindowVisible(box));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].find(std::string("|") + kMissing1 + "|"), 1u) << rows[0];
        failedAt = rows[0].substr(rows[0].rfind('|') + 1);
        EXPECT_GT(failedAt, holdStart) << "logged with the moment it happened";
        EXPECT_LT(failedAt, holdEnd) << "logged with the moment it happened";
    }
    Sleep(3 * kTickMs);
    EXPECT_EQ(LogRows(Log()).size(), 1u);
    EXPECT_EQ(Runs("a.txt"), 1);
    EXPECT_EQ(Mails(), 1);
    EXPECT_EQ(BoxesShown(app), 1);
    Program::Press(app.FindMessageBox("database is locked"), IDOK);
    CloseAsUser(app, main);
    std::vector<std::string> after = LogRows(Log());
    ASSERT_EQ(after.size(), logBefore.size() + 1);
    EXPECT_TRUE(std::equal(logBefore.begin(), logBefore.end(), after.begin()));
}

// A small file system of the program's own, made full and freed: a mounted
// tmpfs, as root (CI runs as root). Where no mount can be made the test says
// it is skipped (ctest then lists it as not run).
class MountedDir {
public:
    explicit MountedDir(const std::string& windowsDir, long long bytes)
        : unix_(UnixPath(windowsDir)), windows_(windowsDir) {
        CreateDirectoryA(windows_.c_str(), nullptr);
        mounted_ = !unix_.empty() &&
                   RunUnix("mount -t tmpfs -o size=" + std::to_string(bytes) + " qv-full-disk-test " + unix_);
    }
    ~MountedDir() {
        if (mounted_) RunUnix("umount " + unix_ + " || umount -l " + unix_);
    }
    MountedDir(const MountedDir&) = delete;
    MountedDir& operator=(const MountedDir&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& unix() const { return unix_; }
    std::string path() const { return windows_ + "\\"; }

private:
    std::string unix_, windows_;
    bool mounted_ = false;
};

TEST_F(HostileWorld, FullDisk) {
    WIN32_FILE_ATTRIBUTE_DATA exeInfo{};
    ASSERT_TRUE(GetFileAttributesExA(kExe.c_str(), GetFileExInfoStandard, &exeInfo));
    const long long room = static_cast<long long>(exeInfo.nFileSizeLow) + (8LL << 20);
    MountedDir disk(scratch.path() + "disk", room);
    if (!disk.mounted())
        GTEST_SKIP() << "NO FULL-DISK TEST: a tmpfs could not be mounted (needs root and mount rights)";
    const std::string exe = Install(disk.path(), "mail=0");
    RecordMails();
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    AddMarkerJob("a.txt", 3);
    AddJob(kMissing1, "", 3);
    const std::vector<std::string> jobs = Jobs(Timer());
    const std::vector<std::string> logBefore = LogRows(Log());
    ASSERT_TRUE(RunUnix("dd if=/dev/zero of=" + disk.unix() + "/filler bs=65536 2>/dev/null; test -s " +
                        disk.unix() + "/filler"));
    HWND box = app.WaitMessageBox("full", 20000);
    ASSERT_NE(box, nullptr) << "no box while the disk was full";
    EXPECT_NE(Program::BoxText(box).find("Der Datentr\xe4ger ist voll"), std::string::npos) << Program::BoxText(box);
    Sleep(2 * kTickMs);
    EXPECT_EQ(Runs("a.txt"), 0);  // not run: its next start could not be stored
    EXPECT_EQ(Mails(), 0);
    EXPECT_EQ(BoxesShown(app), 1);
    ASSERT_TRUE(RunUnix("rm " + disk.unix() + "/filler"));
    EXPECT_GE(RunWithin({"a.txt"}, box), 0);
    EXPECT_TRUE(WaitFor([&] { return LogRows(Log()).size() == logBefore.size() + 1 && Mails() == 1; }, kTwoTicks));
    Sleep(3 * kTickMs);
    EXPECT_EQ(Runs("a.txt"), 1);
    EXPECT_EQ(Mails(), 1);
    EXPECT_EQ(BoxesShown(app), 1);
    Program::Press(box, IDOK);
    CloseAsUser(app, main);
    EXPECT_EQ(Jobs(Timer()), jobs);
    std::vector<std::string> after = LogRows(Log());
    ASSERT_EQ(after.size(), logBefore.size() + 1);
    EXPECT_TRUE(std::equal(logBefore.begin(), logBefore.end(), after.begin()));
    EXPECT_NE(after.back().find(kMissing1), std::string::npos);
}

// The run log emptied under the running program (": > log.dat"): the next
// failure finds it damaged, it is repaired as at start-up and said once; that
// failure and the next are in the repaired log, mailed and indicated.
TEST_F(HostileWorld, RunLogEmptiedWhileRunning) {
    const std::string exe = Install(scratch.path(), "mail=0");
    RecordMails();
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(RunUnix(": > " + UnixPath(Log())));
    AddJob(kMissing1, "", 1);
    HWND box = app.WaitMessageBox("Logtabelle defekt.", 20000);
    ASSERT_NE(box, nullptr);
    const std::string text = Program::BoxText(box);
    EXPECT_NE(text.find("Logtabelle repariert"), std::string::npos) << text;
    EXPECT_NE(text.find(Log() + ".bak"), std::string::npos) << text;
    AddJob(kMissing2, "", 1);
    EXPECT_TRUE(WaitFor([&] { return LogRows(Log()).size() == 2 && Mails() == 2; }, 10000));
    Sleep(3 * kTickMs);
    EXPECT_TRUE(IsWindow(box));
    EXPECT_EQ(BoxesShown(app), 1);  // one message, not one per failure
    EXPECT_TRUE(IsWindowVisible(Program::Child(main, ids::Image1)));
    Program::Press(box, IDOK);
    CloseAsUser(app, main);
    const std::vector<std::string> rows = LogRows(Log());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[0].find(kMissing1), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find(kMissing2), std::string::npos) << rows[1];
    EXPECT_EQ(ReadWholeFile(Log() + ".bak"), "");
}

// Stops or resumes the copies of Quarvelin.exe that run in dir (as a sleep,
// or a hang, would stop one).
bool Signal(const std::string& dir, const char* signal) {
    const std::string unixDir = UnixPath(dir.substr(0, dir.size() - 1));
    return RunUnix("d=$(readlink -f " + unixDir + "); for p in /proc/[0-9]*; do test x$(readlink $p/cwd 2>/dev/null) = x$d" +
                   " && grep -q Quarvelin $p/cmdline 2>/dev/null && kill -" + signal + " ${p#/proc/}; done; true");
}

// A second copy started in the same folder while the first is stopped: it
// says so in German, runs nothing and ends; the first, running again, runs
// each due job once and shows its window.
TEST_F(HostileWorld, SecondCopyBesideAStoppedFirst) {
    const std::string exe = Install(scratch.path(), "mail=1\r\nminimized=1");
    Program first(exe);
    HWND main = first.WaitTop(ids::kMainClass, ids::kMainCaption, kStartWait);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(main) != FALSE; }, kStartWait));
    AddMarkerJob("a.txt", 4);
    AddMarkerJob("b.txt", 4);
    const std::vector<std::string> jobs = Jobs(Timer());
    ASSERT_TRUE(Signal(scratch.path(), "STOP"));
    struct Resume {
        std::string dir;
        ~Resume() { Signal(dir, "CONT"); }
    } resume{scratch.path()};

    Program second(exe);
    HWND box = second.WaitMessageBox("Quarvelin l\xe4uft in diesem Ordner schon", kStartWait);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(Program::BoxText(box).find(scratch.path()), std::string::npos) << Program::BoxText(box);
    Sleep(4000 + 3 * kTickMs);  // past the jobs' start
    EXPECT_EQ(Runs("a.txt") + Runs("b.txt"), 0);
    EXPECT_EQ(second.FindTop(ids::kMainClass), nullptr);
    Program::Press(box, IDOK);
    EXPECT_TRUE(second.WaitExit(15000));
    EXPECT_FALSE(FileExists(Log() + ".bak"));
    EXPECT_FALSE(FileExists(Timer() + ".bak"));

    ASSERT_TRUE(Signal(scratch.path(), "CONT"));
    EXPECT_TRUE(WaitFor([&] { return Runs("a.txt") && Runs("b.txt"); }, kTwoTicks));
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && !IsIconic(main); }, 10000))
        << "the first copy did not show its window";
    Sleep(3 * kTickMs);
    EXPECT_EQ(Runs("a.txt"), 1);
    EXPECT_EQ(Runs("b.txt"), 1);
    CloseAsUser(first, main);
    EXPECT_EQ(Jobs(Timer()), jobs);
}

// The job table deleted under the running program, then replaced by another
// file: each is said once; no job of the deleted file runs, what it held is
// kept in a backup, and the jobs of the new file run, once, with the box open.
TEST_F(HostileWorld, JobTableDeletedThenReplacedWhileRunning) {
    const std::string exe = Install(scratch.path());
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    AddMarkerJob("alt.txt", 6);
    const std::vector<std::string> oldJobs = Jobs(Timer());

    ASSERT_TRUE(RunUnix("rm " + UnixPath(Timer())));
    HWND box = app.WaitMessageBox("wurde gel\xf6scht", 10000);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(Program::BoxText(box).find(Timer() + ".bak"), std::string::npos) << Program::BoxText(box);
    EXPECT_EQ(Jobs(Timer() + ".bak"), oldJobs);
    Sleep(6000 + 2 * kTickMs);
    EXPECT_EQ(Runs("alt.txt"), 0);  // its file is gone
    EXPECT_EQ(BoxesShown(app), 1);
    Program::Press(box, IDOK);

    const std::string other = scratch.path() + "andere\\";
    CreateDirectoryA(other.c_str(), nullptr);
    ASSERT_TRUE(CreateTimerTable(other));
    AddMarkerJob("neu.txt", 0, other + kTimerTableFile);
    const std::vector<std::string> newJobs = Jobs(other + kTimerTableFile);
    ASSERT_TRUE(RunUnix("mv " + UnixPath(other + kTimerTableFile) + " " + UnixPath(Timer())));
    box = app.WaitMessageBox("ersetzt", 10000);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(Program::BoxText(box).find(Timer() + ".2.bak"), std::string::npos) << Program::BoxText(box);
    EXPECT_GE(RunWithin({"neu.txt"}, box), 0);
    Sleep(3 * kTickMs);
    EXPECT_EQ(Runs("neu.txt"), 1);
    EXPECT_EQ(Runs("alt.txt"), 0);
    EXPECT_EQ(BoxesShown(app), 1);
    Program::Press(box, IDOK);
    CloseAsUser(app, main);
    EXPECT_EQ(Jobs(Timer()), newJobs);
    EXPECT_EQ(Jobs(Timer() + ".bak"), oldJobs);
    EXPECT_TRUE(Jobs(Timer() + ".2.bak").empty());  // the table made anew after the deletion
}

// Whether the shell's notification area holds the icon of tray (asked by a
// change that changes nothing: refused for an icon the shell does not have).
bool IconShown(HWND tray) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = tray;
    nid.uID = 1;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

// With a real notification area (Xvfb with Wine's virtual desktop: the test
// app_tray_with_shell runs this one there): the program minimized into the
// tray, and the shell made anew, which lost every icon and says so with
// "TaskbarCreated": the icon is there again, and a double click on it brings
// the window back.
TEST_F(HostileWorld, TrayIconWithShellComesBackWhenTheShellIsMadeAnew) {
    const std::string exe = Install(scratch.path(), "mail=1\r\nminimized=1");
    Program app(exe);
    HWND main = app.WaitTop(ids::kMainClass, ids::kMainCaption, kStartWait);
    ASSERT_NE(main, nullptr);
    HWND tray = app.WaitTop("QvTrayIconWindow", nullptr, kStartWait);
    ASSERT_NE(tray, nullptr);
    if (!WaitFor([&] { return IconShown(tray); }, 10000)) GTEST_SKIP() << "no notification area";
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }, 10000));  // only the icon is left

    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = tray;
    nid.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &nid));  // as a shell that ended takes it away
    ASSERT_FALSE(IconShown(tray));
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor([&] { return IconShown(tray); }, 10000)) << "the icon did not come back";
    EXPECT_FALSE(IsWindowVisible(main));

    PostMessageA(tray, WM_USER + 100, 1, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && !IsIconic(main); }, 10000));
    CloseAsUser(app, main);
}

// The clock moves under the running program (libfaketime: moved_clock_test.sh
// starts Wine at 02:59:20 summer time on the night the clocks go back, in
// Europe/Berlin, and names the file that moves the clock of every process).
// An interval job keeps its period through the switch and after the clock is
// set back a day; a catch-up job two days behind replays twenty starts, and
// the run log says how many it left out.
TEST_F(HostileWorld, MovedClock) {
    const char* stampFile = std::getenv("QV_FAKETIME_FILE");
    if (!stampFile) GTEST_SKIP() << "runs under moved_clock_test.sh only";
    const std::string stamp = HostPathToWine(stampFile);
    const std::string exe = Install(scratch.path());
    RecordMails();
    AddJob(dir_ + "marker_job.exe", "every20s.txt", 10, {}, MakeTime(0, 0, 20));
    AddJob(dir_ + "marker_job.exe", "behind.txt", -2 * 86400, {}, MakeTime(0, 1), true);
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);

    // 70 s through 03:00 summer time = 02:00 standard time: runs at about
    // 02:59:30 and 02:59:50 summer time, 02:00:10 and 02:00:30 standard time.
    Sleep(70000);
    const int acrossTheSwitch = Runs("every20s.txt");
    std::printf("  every 20 s across the switch: %d runs in 70 s\n", acrossTheSwitch);
    EXPECT_GE(acrossTheSwitch, 3) << "an interval job stopped at the switch";
    const int behind = Runs("behind.txt");
    std::printf("  every minute, two days behind, with catch-up: %d runs\n", behind);
    EXPECT_GE(behind, 20);
    EXPECT_LE(behind, 21);
    const std::vector<std::string> log = LogRows(Log());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(" Starts nicht nachgeholt"), std::string::npos) << log[0];

    // Back a day (24 hours, to summer time again): both go on as before.
    const long long offset = std::atoll(ReadWholeFile(stamp).c_str());
    const long long back = offset - 86400;  // a bare number would be a moment, not an offset
    ASSERT_TRUE(WriteWholeFile(stamp, (back >= 0 ? "+" : "") + std::to_string(back) + "\n"));
    Sleep(30000);
    const int afterSetBack = Runs("every20s.txt") - acrossTheSwitch;
    std::printf("  every 20 s, 30 s after the clock was set back a day: %d runs\n", afterSetBack);
    EXPECT_GE(afterSetBack, 1) << "an interval job stopped when the clock was set back";
    EXPECT_LE(afterSetBack, 2);
    EXPECT_LE(Runs("behind.txt"), behind + 1);  // now on its minutes
    CloseAsUser(app, main);
}

// Moves the clock of every process of the run so that it reads utc now
// (seconds since 1970), through the file moved_clock_test.sh names.
bool MoveClockTo(const std::string& stamp, long long utc) {
    const long long offset = std::atoll(ReadWholeFile(stamp).c_str());
    const long long faked = (SystemClock().Read().utc - DaysFromCivil(1970, 1, 1) * kMsPerDay) / 1000;
    const long long to = utc - (faked - offset);
    return WriteWholeFile(stamp, (to >= 0 ? "+" : "") + std::to_string(to) + "\n");
}

// Spring, 01:59:20 on 28.03.2027 in Europe/Berlin: a catch-up job every 15
// minutes due since 01:45 runs for 01:45 and for 03:00 (02:00 never happens),
// a daily 02:30 once at the jump. Then the clock goes forward 8 days while it
// runs: nothing is replayed for days that did not pass.
TEST_F(HostileWorld, MovedClockSpring) {
    const char* stampFile = std::getenv("QV_FAKETIME_FILE");
    if (!stampFile) GTEST_SKIP() << "runs under moved_clock_test.sh only";
    const std::string stamp = HostPathToWine(stampFile);
    const long long jump = (MakeDateTime(2027, 3, 28, 1, 0).ms - DaysFromCivil(1970, 1, 1) * kMsPerDay) / 1000;
    ASSERT_TRUE(MoveClockTo(stamp, jump - 40));
    const std::string exe = Install(scratch.path());
    RecordMails();
    AddJob(dir_ + "marker_job.exe", "quarter.txt", -14 * 60 - 20, {}, MakeTime(0, 15), true);
    {
        engine::Session session("tool");
        engine::Cursor c(session, Timer());
        c.Open();
        c.Append();
        c.FieldByName("Wochentag").SetAsString("Jeden Tag");
        c.FieldByName("Uhrzeit").SetAsTime(MakeTime(2, 30));
        c.FieldByName("Pfad").SetAsString(dir_ + "marker_job.exe");
        c.FieldByName("Paramter").SetAsString("halfpasttwo.txt");
        c.FieldByName("Aktiv").SetAsString("Y");
        c.FieldByName("Intervall").SetAsString("N");
        c.FieldByName("nacholen").SetAsString("Y");
        c.FieldByName("WindowState").SetAsString("Standard");
        c.FieldByName("Startzeit").SetAsDateTime(MakeDateTime(2027, 3, 28, 2, 30));
        c.Post();
    }
    Program app(exe);
    HWND main = WaitMain(app);
    ASSERT_NE(main, nullptr);
    Sleep(60000);  // through the jump at 02:00 = 03:00
    std::printf("  every 15 min with catch-up across the spring switch: %d runs; daily 02:30: %d\n",
                Runs("quarter.txt"), Runs("halfpasttwo.txt"));
    EXPECT_EQ(Runs("quarter.txt"), 2);
    EXPECT_EQ(Runs("halfpasttwo.txt"), 1);

    ASSERT_TRUE(MoveClockTo(stamp, jump + 60 + 8 * 86400));
    Sleep(20000);
    std::printf("  20 s after the clock went forward 8 days: %d and %d runs\n", Runs("quarter.txt"),
                Runs("halfpasttwo.txt"));
    EXPECT_EQ(Runs("quarter.txt"), 2);
    EXPECT_EQ(Runs("halfpasttwo.txt"), 1);
    EXPECT_TRUE(LogRows(Log()).empty());
    CloseAsUser(app, main);
}

}  // namespace
}  // namespace qv::testing
