// The job table file as anything may have left it (every byte may change):
// start-up opens it or repairs it, every row reads, the scheduler ticks over
// it, and afterwards both tables open again without another repair. Input:
// the bytes of timer.dat; the run log beside it is a fresh valid one.
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "jobs/JobData.h"
#include "jobs/Tables.h"
#include "rules/NextStart.h"
#include "schedule/Scheduler.h"
#include "tests/schedule/SchedulerFakes.h"
#include "ui/data/DisplayFormat.h"

using namespace qv;

namespace {

void ReadEveryRow(engine::Cursor& c, DateTime now) {
    for (c.First(); !c.Eof(); c.Next()) {
        for (int i = 0; i < c.FieldCount(); ++i) ui::FieldDisplayText(c.FieldByIndex(i));
        CalcNextStart(c, NextStartBase(c, ReadingAt(now)));
    }
}

// Opens without complaint: nothing left for the next start to repair.
void CheckOpens(const std::string& path) {
    engine::Session session("check");
    engine::Cursor c(session, path);
    try {
        c.Open();
    } catch (const std::exception& e) {
        fuzz::Check(false, "table needs another repair", e.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir dir("table");
    static const std::string logBytes = [] {
        CreateLogTable(dir.path());
        return fuzz::ReadBytes(dir.path() + kLogTableFile);
    }();
    dir.Clear();
    const std::string timer = dir.path() + kTimerTableFile;
    fuzz::WriteBytes(timer, data, size);
    fuzz::WriteBytes(dir.path() + kLogTableFile, logBytes.data(), logBytes.size());

    FakeClock clock(MakeDateTime(2026, 3, 2, 12, 0));
    std::vector<std::string> messages;
    {
        JobDataHooks hooks;
        hooks.showMessage = [&](const std::string& text) { messages.push_back(text); };
        JobData jobs(clock, dir.path(), hooks);
        try {
            jobs.OpenTables();
        } catch (const std::exception& e) {
            fuzz::Check(false, "start-up failed", e.what());
        }
        if (!messages.empty())
            fuzz::Check(fuzz::ReadBytes(timer + ".bak") == std::string(reinterpret_cast<const char*>(data), size),
                        "the damaged table was not kept as it was");
        ReadEveryRow(jobs.tblTimer, clock.Now());

        test::FakeSchedulerUi ui;
        test::FakeSchedulerActions actions;
        actions.onRun = [](const schema::Job&) { return std::string("Datei nicht gefunden"); };
        Scheduler scheduler(jobs, clock, actions, ui, "PC");
        scheduler.Tick();
        clock.Advance(kMsPerDay);
        scheduler.Tick();
        ReadEveryRow(jobs.tblTimer, clock.Now());
    }
    CheckOpens(timer);
    CheckOpens(dir.path() + kLogTableFile);
    return 0;
}
