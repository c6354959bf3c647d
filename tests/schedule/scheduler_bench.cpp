// What one scheduler tick costs over job tables of 10, 1,000 and 10,000 jobs
// of which none, one or all are due (fake actions that succeed), beside a bare
// refresh and scan of the same table. Prints the figures; not run by ctest.
//
//   scheduler_bench [max-jobs]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/DateTime.h"
#include "jobs/JobData.h"
#include "schedule/Scheduler.h"
#include "tests/schedule/SchedulerFakes.h"

namespace {

using Clock = std::chrono::steady_clock;
using qv::DateTime;
using qv::engine::Cursor;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Sets every job's start: the first `due` jobs in the past, the rest in the future.
void SetStarts(Cursor& c, int due, DateTime now) {
    c.Refresh();
    int i = 0;
    for (c.First(); !c.Eof(); c.Next(), ++i) {
        c.Edit();
        c.FieldByName("Startzeit").SetAsDateTime(i < due ? DateTime{now.ms - qv::kMsPerHour}
                                                         : DateTime{now.ms + qv::kMsPerDay});
        c.FieldByName("Aktiv").SetAsString("Y");
        c.Post();
    }
}

// Refresh and walk the scheduler cursor reading what the due test reads.
double BareScan(qv::JobData& data, const qv::Clock& clock) {
    Cursor& t2 = data.tblTimer2;
    const auto t0 = Clock::now();
    t2.Refresh();
    int seen = 0;
    for (t2.First(); !t2.Eof(); t2.Next()) {
        if (clock.Now() > data.tblTimer2Fields.Startzeit->AsDateTime() && data.tblTimer2Fields.Aktiv->AsString() == "Y")
            ++seen;
    }
    const double ms = Ms(Clock::now() - t0);
    if (seen < 0) std::printf("never\n");  // keeps the loop from being dropped
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int maxJobs = argc > 1 ? std::atoi(argv[1]) : 10000;
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "qv-scheduler-bench";
    std::printf("Milliseconds; the tick and the first scan follow a change by another user.\n");
    std::printf("%8s %8s %14s %18s %18s\n", "jobs", "due", "tick", "refresh+scan", "unchanged scan");
    for (int jobs : {10, 1000, 10000}) {
        if (jobs > maxJobs) break;
        fs::remove_all(root);
        fs::create_directories(root);
        const DateTime now = qv::MakeDateTime(2026, 12, 9, 10, 0);
        qv::FakeClock clock(now);
        qv::JobData data(clock, root.string() + static_cast<char>(fs::path::preferred_separator));
        data.CreateMissingTables();
        data.OpenTables();
        {
            qv::engine::Session setup("setup");
            Cursor c(setup, data.TimerTablePath());
            c.Open();
            for (int i = 0; i < jobs; ++i) {
                c.Append();
                c.FieldByName("Wochentag").SetAsString("Jeden Tag");
                c.FieldByName("Uhrzeit").SetAsTime(qv::MakeTime(8, 0));
                c.FieldByName("Pfad").SetAsString("C:\\Programme\\job" + std::to_string(i) + ".exe");
                c.FieldByName("Aktiv").SetAsString("Y");
                c.FieldByName("Intervall").SetAsString("N");
                c.Post();
            }
        }
        data.tblTimer.Refresh();
        qv::test::FakeSchedulerUi ui;
        qv::test::FakeSchedulerActions actions;
        qv::Scheduler scheduler(data, clock, actions, ui, "BENCH");

        for (int due : {0, 1, jobs}) {
            qv::engine::Session setup("setup");
            Cursor c(setup, data.TimerTablePath());
            c.Open();
            SetStarts(c, due, now);
            actions.runs.clear();

            auto t0 = Clock::now();
            scheduler.Tick();
            const double tick = Ms(Clock::now() - t0);
            if (static_cast<int>(actions.runs.size()) != due || !ui.errors.empty()) {
                std::fprintf(stderr, "unexpected: %zu runs for %d due, %zu errors\n", actions.runs.size(),
                             due, ui.errors.size());
                return 1;
            }

            // The bare scan, once after another user changed a row (the table
            // is read again, as the tick above had to) and once unchanged.
            c.First();
            c.Edit();
            c.FieldByName("Paramter").SetAsString(std::to_string(due));
            c.Post();
            const double changed = BareScan(data, clock);
            const double unchanged = BareScan(data, clock);
            std::printf("%8d %8d %14.2f %18.2f %18.2f\n", jobs, due, tick, changed, unchanged);
            std::fflush(stdout);
        }
    }
    fs::remove_all(root);
    return 0;
}
