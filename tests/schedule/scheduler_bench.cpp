// What one scheduler tick costs over job tables of 10, 1,000 and 10,000 jobs,
// beside the least the same work can cost with bare SQLite on a copy of the
// table with an index on (Aktiv, Startzeit):
//   idle      nothing changed, none due   / the indexed query of the due rows
//   changed   another user wrote a row, none due / the same query
//   one due   one job due                 / the query + one durable update
//   all due   every job due               / the query + one durable update per job
// Fake clock, fake actions that succeed. Prints min / median / max in
// milliseconds and the ratio of the medians; asserts nothing, not run by ctest.
//
//   scheduler_bench [max-jobs [runs [all-due-runs]]]
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/DateTime.h"
#include "jobs/JobData.h"
#include "schedule/Scheduler.h"
#include "tests/schedule/SchedulerFakes.h"
#include "tests/engine/BenchTiming.h"

namespace {

namespace fs = std::filesystem;

using qv::bench::Figures;
using qv::bench::Time;

[[noreturn]] void Die(const std::string& what) {
    std::fprintf(stderr, "scheduler_bench: %s\n", what.c_str());
    std::exit(1);
}

// A bare SQLite connection.
class Raw {
public:
    explicit Raw(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Die("cannot open " + path);
        Exec("PRAGMA synchronous=FULL");
        sqlite3_busy_timeout(db_, 10000);
    }
    ~Raw() { sqlite3_close(db_); }
    Raw(const Raw&) = delete;
    Raw& operator=(const Raw&) = delete;
    void Exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) Die(err ? err : sql);
    }
    sqlite3_stmt* Prepare(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) Die(sqlite3_errmsg(db_));
        return st;
    }

private:
    sqlite3* db_ = nullptr;
};

std::string Quoted(qv::DateTime t) { return "'" + qv::FormatDateTime(t) + "'"; }

// jobs daily jobs at 08:00, all active, none due.
void Fill(Raw& db, int jobs, qv::DateTime future) {
    db.Exec("BEGIN");
    sqlite3_stmt* st = db.Prepare(
        "INSERT INTO timer(rowid, Wochentag, Uhrzeit, Pfad, Aktiv, Startzeit, Intervall, WindowState, ID) "
        "VALUES(?1, 'Jeden Tag', '08:00:00.000', ?2, 'Y', " + Quoted(future) + ", 'N', 'Standard', ?1)");
    for (int i = 1; i <= jobs; ++i) {
        const std::string pfad = "C:\\Programme\\job" + std::to_string(i) + ".exe";
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, pfad.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) != SQLITE_DONE) Die("insert");
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    db.Exec("UPDATE qv_meta SET value=" + std::to_string(jobs + 1) + " WHERE key='next_autoinc'");
    db.Exec("COMMIT");
}

// The least a tick can do: find the due rows through the index, in row
// order, and store each one's next start durably.
class Baseline {
public:
    Baseline(const std::string& path, qv::DateTime now, qv::DateTime future) : db_(path), now_(now) {
        db_.Exec("CREATE INDEX IF NOT EXISTS due ON timer(Aktiv, Startzeit)");
        due_ = db_.Prepare("SELECT rowid FROM timer WHERE Aktiv='Y' AND Startzeit < ?1 ORDER BY rowid");
        store_ = db_.Prepare("UPDATE timer SET Startzeit=" + Quoted(future) + " WHERE rowid=?1");
    }
    ~Baseline() {
        sqlite3_finalize(due_);
        sqlite3_finalize(store_);
    }
    Raw& db() { return db_; }
    int Tick() {
        const std::string now = qv::FormatDateTime(now_);
        std::vector<int64_t> rows;
        sqlite3_bind_text(due_, 1, now.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(due_) == SQLITE_ROW) rows.push_back(sqlite3_column_int64(due_, 0));
        sqlite3_reset(due_);
        for (int64_t row : rows) {
            db_.Exec("BEGIN IMMEDIATE");
            sqlite3_bind_int64(store_, 1, row);
            if (sqlite3_step(store_) != SQLITE_DONE) Die("update");
            sqlite3_reset(store_);
            db_.Exec("COMMIT");
        }
        return static_cast<int>(rows.size());
    }

private:
    Raw db_;
    qv::DateTime now_;
    sqlite3_stmt* due_ = nullptr;
    sqlite3_stmt* store_ = nullptr;
};

void Print(int jobs, const char* what, const Figures& tick, const Figures& base) {
    std::printf("%6d  %-8s %10.3f %10.3f %10.3f   %9.3f %9.3f %9.3f  %8.1fx\n", jobs, what, tick.min,
                tick.median, tick.max, base.min, base.median, base.max, tick.median / base.median);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int maxJobs = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    const int allDueRuns = argc > 3 ? std::atoi(argv[3]) : 3;
    const fs::path root = fs::temp_directory_path() / "qv-scheduler-bench";
    const qv::DateTime now = qv::MakeDateTime(2026, 12, 9, 10, 0);
    const qv::DateTime past{now.ms - qv::kMsPerHour};
    const qv::DateTime future = qv::MakeDateTime(2026, 12, 10, 8, 0);  // the next start from now
    std::printf("scheduler_bench (SQLite %s): milliseconds, min / median / max; %d runs, all due %d\n",
                sqlite3_libversion(), runs, allDueRuns);
    std::printf("%6s  %-8s %32s   %29s  %9s\n", "jobs", "case", "tick", "bare SQLite", "ratio");
    double allDue1000 = 0, allDue10000 = 0;
    for (int jobs : {10, 1000, 10000}) {
        if (jobs > maxJobs) break;
        fs::remove_all(root);
        fs::create_directories(root);
        qv::FakeClock clock(now);
        qv::JobData data(clock, root.string() + static_cast<char>(fs::path::preferred_separator));
        data.CreateMissingTables();
        const std::string table = data.TimerTablePath();
        Raw writer(table);  // another user of the table
        Fill(writer, jobs, future);
        const std::string copy = (root / "baseline.dat").string();
        fs::copy_file(table, copy);
        Baseline base(copy, now, future);
        data.OpenTables();
        qv::test::FakeSchedulerUi ui;
        qv::test::FakeSchedulerActions actions;
        qv::Scheduler scheduler(data, clock, actions, ui, "BENCH");
        auto tick = [&](int expected) {
            return [&, expected] {
                actions.runs.clear();
                scheduler.Tick();
                if (static_cast<int>(actions.runs.size()) != expected || !ui.errors.empty())
                    Die(std::to_string(actions.runs.size()) + " runs for " + std::to_string(expected) +
                        " due" + (ui.errors.empty() ? "" : ": " + ui.errors.front()));
            };
        };
        auto baseTick = [&](int expected) {
            return [&, expected] {
                if (base.Tick() != expected) Die("baseline found another count of due rows");
            };
        };
        auto setDue = [&](const std::string& where) {
            return [&, where] {
                writer.Exec("UPDATE timer SET Startzeit=" + Quoted(past) + " WHERE " + where);
                base.db().Exec("UPDATE timer SET Startzeit=" + Quoted(past) + " WHERE " + where);
            };
        };

        tick(0)();  // takes in the filling
        Print(jobs, "idle", Time(runs, tick(0)), Time(runs, baseTick(0)));
        int round = 0;
        const Figures changed = Time(runs, tick(0), [&] {
            writer.Exec("UPDATE timer SET Paramter='" + std::to_string(++round) + "' WHERE rowid=1");
        });
        Print(jobs, "changed", changed, Time(runs, baseTick(0)));
        const std::string middle = "rowid=" + std::to_string(jobs / 2 + 1);
        const Figures one = Time(runs, tick(1), setDue(middle));
        Print(jobs, "one due", one, Time(runs, baseTick(1), setDue(middle)));
        const int all = jobs == 10000 ? std::max(1, allDueRuns / 3) : allDueRuns;
        const Figures every = Time(all, tick(jobs), setDue("1"));
        Print(jobs, "all due", every, Time(all, baseTick(jobs), setDue("1")));
        if (jobs == 1000) allDue1000 = every.median;
        if (jobs == 10000) allDue10000 = every.median;
    }
    if (allDue1000 > 0 && allDue10000 > 0)
        std::printf("all due: 10,000 jobs take %.1fx the time of 1,000\n", allDue10000 / allDue1000);
    fs::remove_all(root);
    return 0;
}
