// Whole scheduler ticks on a real job table with a fake clock, a fake window
// and fake actions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/DateTime.h"
#include "jobs/JobData.h"
#include "rules/NextStart.h"
#include "schedule/Scheduler.h"
#include "tests/engine/Zones.h"
#include "schema/JobSchema.h"
#include "tests/jobs/TempDir.h"
#include "tests/schedule/SchedulerFakes.h"

namespace jf = qv::schema::job;

namespace qv {
namespace {

using engine::Cursor;
using engine::DatasetState;

struct Job {
    std::string pfad = "C:\\Programme\\job.exe";
    std::string wochentag = "Jeden Tag";
    TimeOfDay uhrzeit = MakeTime(8, 0);
    std::optional<DateTime> startzeit;
    std::string aktiv = "Y";
    std::string nacholen;
    std::string intervall = "N";

    Job& Every(TimeOfDay v) {
        uhrzeit = v;
        intervall = "Y";
        return *this;
    }
    Job& At(TimeOfDay v) { uhrzeit = v; return *this; }
    Job& Pfad(std::string v) { pfad = std::move(v); return *this; }
    Job& Wochentag(std::string v) { wochentag = std::move(v); return *this; }
    Job& Start(DateTime v) { startzeit = v; return *this; }
    Job& Aktiv(std::string v) { aktiv = std::move(v); return *this; }
    Job& Nacholen(std::string v) { nacholen = std::move(v); return *this; }
};

engine::SessionOptions QuickOptions() {
    engine::SessionOptions o;
    o.lockRetryCount = 0;
    o.lockWaitMs = 1;
    return o;
}

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A table another program holds fails at once, not after half a second.
        for (engine::Session* s : {&data.ses, &data.Session2, &data.Default}) s->options().busyWaitMs = 1;
        data.CreateMissingTables();
        data.OpenTables();
    }

    // Written through a cursor of its own session, so no post rule touches it.
    int64_t Add(const Job& j) {
        engine::Session session("setup");
        Cursor c(session, data.TimerTablePath());
        c.Open();
        c.Append();
        c.FieldByName(jf::kWochentag).SetAsString(j.wochentag);
        c.FieldByName(jf::kUhrzeit).SetAsTime(j.uhrzeit);
        c.FieldByName(jf::kPfad).SetAsString(j.pfad);
        c.FieldByName(jf::kAktiv).SetAsString(j.aktiv);
        c.FieldByName(jf::kIntervall).SetAsString(j.intervall);
        c.FieldByName(jf::kNacholen).SetAsString(j.nacholen);
        if (j.startzeit) c.FieldByName(jf::kStartzeit).SetAsDateTime(*j.startzeit);
        c.Post();
        return c.FieldByName(jf::kID).AsInteger();
    }

    std::string Value(int64_t id, const char* field) {
        engine::Session session("check");
        Cursor c(session, data.TimerTablePath());
        c.Open();
        EXPECT_TRUE(c.Locate("ID", std::to_string(id)));
        return c.FieldByName(field).AsString();
    }
    DateTime Start(int64_t id) { return *ParseDateTime(Value(id, "Startzeit")); }

    int LogRows() {
        data.tblLog.Refresh();
        return data.tblLog.RecordCount();
    }

    // One tick, then the clock moves on by the timer's interval.
    void Tick() {
        scheduler.Tick();
        clock.Advance(1500);
    }

    const DateTime now0 = MakeDateTime(2026, 12, 9, 10, 0);  // a Wednesday
    testing::TempDir dir;
    FakeClock clock{now0};
    JobData data{clock, dir.path()};
    test::FakeSchedulerUi ui;
    test::FakeSchedulerActions actions;
    Scheduler scheduler{data, clock, actions, ui, "BUERO-PC"};
};

TEST_F(SchedulerTest, StartTimeMustHavePassedStrictly) {
    const int64_t id = Add(Job().Start(now0));
    scheduler.Tick();
    EXPECT_TRUE(actions.runs.empty());
    EXPECT_EQ(Start(id), now0);
    clock.Advance(1);
    scheduler.Tick();
    EXPECT_EQ(actions.runs.size(), 1u);
    EXPECT_EQ(Start(id), MakeDateTime(2026, 12, 10, 8, 0));
}

TEST_F(SchedulerTest, RowEditedInTheGridIsSkippedUntilTheEditEnds) {
    const DateTime past = MakeDateTime(2026, 12, 9, 8, 0);
    const int64_t id = Add(Job().Start(past));
    data.tblTimer.Refresh();
    ASSERT_TRUE(data.tblTimer.Locate("ID", std::to_string(id)));
    data.tblTimer.Edit();
    Tick();
    Tick();
    EXPECT_TRUE(actions.runs.empty());
    EXPECT_TRUE(ui.errors.empty());  // skipped, not failed on the lock
    EXPECT_EQ(Start(id), past);
    data.tblTimer.Cancel();
    Tick();
    EXPECT_EQ(actions.runs.size(), 1u);
    EXPECT_EQ(Start(id), MakeDateTime(2026, 12, 10, 8, 0));
}

TEST_F(SchedulerTest, InactiveJobIsNeverRunAndKeepsItsStart) {
    const DateTime longAgo = MakeDateTime(2025, 1, 1, 8, 0);
    const int64_t n = Add(Job().Start(longAgo).Aktiv("N"));
    const int64_t y = Add(Job().Start(longAgo).Aktiv("y"));
    for (int i = 0; i < 3; ++i) Tick();
    EXPECT_TRUE(actions.runs.empty());
    EXPECT_EQ(Start(n), longAgo);
    EXPECT_EQ(Start(y), longAgo);
}

TEST_F(SchedulerTest, CatchUpRunsOncePerMissedStartThenWaits) {
    const int64_t id = Add(Job().Start(MakeDateTime(2026, 12, 6, 8, 0)).Nacholen("Y"));
    const DateTime expected[] = {MakeDateTime(2026, 12, 7, 8, 0), MakeDateTime(2026, 12, 8, 8, 0),
                                 MakeDateTime(2026, 12, 9, 8, 0), MakeDateTime(2026, 12, 10, 8, 0)};
    for (size_t i = 0; i < 4; ++i) {
        Tick();
        EXPECT_EQ(actions.runs.size(), i + 1);
        EXPECT_EQ(Start(id), expected[i]) << FormatDateTime(Start(id));
    }
    for (int i = 0; i < 3; ++i) Tick();
    EXPECT_EQ(actions.runs.size(), 4u);
}

TEST_F(SchedulerTest, WithoutCatchUpAMissedJobRunsOnce) {
    const int64_t id = Add(Job().Start(MakeDateTime(2026, 12, 6, 8, 0)));
    for (int i = 0; i < 4; ++i) Tick();
    EXPECT_EQ(actions.runs.size(), 1u);
    EXPECT_EQ(Start(id), MakeDateTime(2026, 12, 10, 8, 0));
}

TEST_F(SchedulerTest, JobWhoseStartCannotMoveRunsOnceAndIsSwitchedOff) {
    const int64_t id = Add(Job().Wochentag("Nie").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    for (int i = 0; i < 3; ++i) Tick();
    EXPECT_EQ(actions.runs.size(), 1u);
    EXPECT_EQ(Value(id, "Aktiv"), "N");
}

TEST_F(SchedulerTest, StartIsStoredBeforeTheActionRunsWithTheTimerOff) {
    const int64_t id = Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    std::string seen;
    bool timerDuringAction = true;
    actions.onRun = [&](const schema::Job&) {
        seen = Value(id, "Startzeit");
        timerDuringAction = ui.timer;
        return std::string("OK");
    };
    Tick();
    EXPECT_EQ(seen, FormatDateTime(MakeDateTime(2026, 12, 10, 8, 0)));
    EXPECT_FALSE(timerDuringAction);
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(LogRows(), 0);
    EXPECT_FALSE(ui.indicator);
}

TEST_F(SchedulerTest, FailuresAreLoggedMailedByTheRuleAndIndicated) {
    struct Case {
        std::string address;
        bool firstErrorOnly;
        size_t mails;
    };
    const Case cases[] = {{"admin@example.org", true, 1}, {"admin@example.org", false, 2}, {"", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address + (c.firstErrorOnly ? " first only" : " every"));
        data.tblLog.EmptyTable();
        ui = test::FakeSchedulerUi{};
        ui.address = c.address;
        ui.firstErrorOnly = c.firstErrorOnly;
        actions = test::FakeSchedulerActions{};
        actions.onRun = [](const schema::Job& job) {
            return "Fehler bei " + job.pfad.substr(3);
        };
        Add(Job().Pfad("C:\\a.exe").Start(MakeDateTime(2026, 12, 9, 8, 0)));
        Add(Job().Pfad("C:\\b.exe").Start(MakeDateTime(2026, 12, 9, 9, 0)));
        Tick();
        ASSERT_EQ(actions.runs.size(), 2u);
        ASSERT_EQ(LogRows(), 2);
        data.tblLog.First();
        const int64_t firstId = data.tblLogFields.ID->AsInteger();
        EXPECT_EQ(data.tblLogFields.Pfad->AsString(), "C:\\a.exe");
        EXPECT_EQ(data.tblLogFields.Fehler->AsString(), "Fehler bei a.exe");
        EXPECT_EQ(data.tblLogFields.Zeit->AsDateTime(), DateTime{clock.Now().ms - 1500});
        data.tblLog.Next();
        EXPECT_GT(data.tblLogFields.ID->AsInteger(), firstId);
        EXPECT_EQ(data.tblLogFields.Pfad->AsString(), "C:\\b.exe");
        EXPECT_EQ(actions.mails.size(), c.mails);
        if (!actions.mails.empty()) {
            const std::array<std::string, 8> first = {
                "Fehler in Quarvelin",
                "Computer : BUERO-PC\n\rFehlerpfad : C:\\a.exe\n\rFehlermeldung : Fehler bei a.exe",
                "BUERO-PC", "BUERO-PC", c.address, c.address, "", ""};
            EXPECT_EQ(actions.mails[0], first);
        }
        EXPECT_TRUE(ui.indicator);
        EXPECT_EQ(ui.pictureShown, 2);
        // One notice for the tick, naming the first failure and how many.
        ASSERT_EQ(ui.notices.size(), 1u);
        EXPECT_EQ(FailureNoticeText(ui.notices[0]), "2 Fehler, der erste:\nC:\\a.exe\nFehler bei a.exe");
        // Next round: these jobs are done for today.
        data.tblTimer2.Refresh();
        while (data.tblTimer2.RecordCount() > 0) {
            data.tblTimer2.First();
            data.tblTimer2.Delete();
        }
    }
}

TEST_F(SchedulerTest, ShutdownOperationsGoThroughTheCountdown) {
    const int64_t cancelled = Add(Job().Pfad("Neustart").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    actions.countdownRunsOut = false;
    Tick();
    EXPECT_EQ(actions.countdowns, 1);
    EXPECT_TRUE(actions.shutdowns.empty());
    EXPECT_TRUE(actions.runs.empty());
    ASSERT_EQ(LogRows(), 1);
    data.tblLog.First();
    EXPECT_EQ(data.tblLogFields.Pfad->AsString(), "Neustart");
    EXPECT_EQ(data.tblLogFields.Fehler->AsString(), "abgebrochen");
    EXPECT_EQ(actions.mails.size(), 1u);
    EXPECT_TRUE(ui.indicator);
    EXPECT_EQ(Start(cancelled), MakeDateTime(2026, 12, 10, 8, 0));

    Add(Job().Pfad("Neustart hart").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    Add(Job().Pfad("herunterfahren").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    actions.countdownRunsOut = true;
    Tick();
    ASSERT_EQ(actions.shutdowns.size(), 2u);
    EXPECT_TRUE(actions.shutdowns[0].Reboot && actions.shutdowns[0].Force);
    EXPECT_FALSE(actions.shutdowns[0].PowerOff);
    EXPECT_FALSE(actions.shutdowns[1].Reboot || actions.shutdowns[1].Force);
    EXPECT_TRUE(actions.shutdowns[1].PowerOff);
    EXPECT_EQ(LogRows(), 1);  // both reported OK
}

TEST_F(SchedulerTest, ButtonAndTrayBlinkEveryTick) {
    for (int i = 0; i < 4; ++i) Tick();
    EXPECT_EQ(ui.trayIcons, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_FALSE(ui.flat);
    EXPECT_EQ(ui.timerCalls, (std::vector<bool>{false, true, false, true, false, true, false, true}));

    ui.trayIcons.clear();
    ui.indicator = true;
    for (int i = 0; i < 4; ++i) Tick();
    EXPECT_EQ(ui.trayIcons, (std::vector<int>{2, 0, 2, 0}));
}

TEST_F(SchedulerTest, TickEndsAtOnceWhileTheSchedulerCursorIsNotBrowsing) {
    Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    data.tblTimer2.Close();
    Tick();
    EXPECT_TRUE(actions.runs.empty());
    EXPECT_TRUE(ui.trayIcons.empty());
    EXPECT_TRUE(ui.timer);
}

TEST_F(SchedulerTest, SwitchingOffAndOn) {
    ui.flat = true;
    scheduler.Toggle();
    EXPECT_EQ(ui.caption, "In&aktiv");
    EXPECT_FALSE(ui.timer);
    EXPECT_FALSE(ui.flat);
    EXPECT_FALSE(ui.down);
    EXPECT_EQ(ui.trayIcons, (std::vector<int>{0}));
    EXPECT_FALSE(scheduler.IsOn());

    scheduler.Toggle();
    EXPECT_EQ(ui.caption, "&Aktiv");
    EXPECT_TRUE(ui.timer);
    EXPECT_TRUE(ui.down);
    EXPECT_TRUE(scheduler.IsOn());

    // A tick that comes while it is off (a message, not the timer) runs nothing.
    Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    scheduler.Toggle();
    Tick();
    EXPECT_TRUE(actions.runs.empty());
    EXPECT_FALSE(ui.timer);
}

// The runs of each Pfad while the clock goes on to utcTo, tick by tick.
std::map<std::string, int> RunsPerPfad(FakeClock& clock, Scheduler& scheduler,
                                       const test::FakeSchedulerActions& actions, int64_t utcTo) {
    while (clock.Read().utc < utcTo) {
        scheduler.Tick();
        clock.Advance(1500);
    }
    std::map<std::string, int> runs;
    for (const std::string& p : actions.runs) ++runs[p];
    return runs;
}

TEST_F(SchedulerTest, AutumnIntervalsKeepTheirLengthAndAFixedTimeRunsOnce) {
    clock.SetZone(test::Berlin());
    // Autumn: 02:58 CEST, eight minutes through 03:00 CEST = 02:00 CET.
    clock.SetUtc(MakeDateTime(2026, 10, 25, 0, 58).ms);
    Add(Job().Pfad("minute").Every(MakeTime(0, 1)).Start(MakeDateTime(2026, 10, 25, 2, 58, 30)));
    Add(Job().Pfad("catchup").Every(MakeTime(0, 1)).Nacholen("Y").Start(MakeDateTime(2026, 10, 25, 2, 58, 30)));
    Add(Job().Pfad("daily").At(MakeTime(2, 30)).Start(MakeDateTime(2026, 10, 25, 2, 30)).Nacholen("Y"));
    std::map<std::string, int> runs = RunsPerPfad(clock, scheduler, actions, MakeDateTime(2026, 10, 25, 1, 6).ms);
    EXPECT_EQ(runs["minute"], 8);  // 02:58:30 CEST .. 02:05:30 CET, no hour's gap
    EXPECT_EQ(runs["catchup"], 8);
    EXPECT_EQ(runs["daily"], 1);  // its 02:30 CEST had passed; not again at 02:30 CET
    actions.runs.clear();
    runs = RunsPerPfad(clock, scheduler, actions, MakeDateTime(2026, 10, 25, 1, 40).ms);
    EXPECT_EQ(runs["daily"], 0);
}

TEST_F(SchedulerTest, SpringIntervalsSkipNoStartsOfTheMissingHourAndAFixedTimeRunsAtTheJump) {
    // 01:44 CET through the jump at 02:00 CET to 03:20 CEST.
    clock.SetZone(test::Berlin());
    clock.SetUtc(MakeDateTime(2027, 3, 28, 0, 44).ms);
    Add(Job().Pfad("quarter").Every(MakeTime(0, 15)).Nacholen("Y").Start(MakeDateTime(2027, 3, 28, 1, 45)));
    const int64_t halfPastTwo = Add(Job().Pfad("half past two").At(MakeTime(2, 30)).Start(MakeDateTime(2027, 3, 28, 2, 30)));
    std::map<std::string, int> runs = RunsPerPfad(clock, scheduler, actions, MakeDateTime(2027, 3, 28, 1, 20).ms);
    EXPECT_EQ(runs["quarter"], 3);  // 01:45 CET, 03:00 and 03:15 CEST: none for the hour that is not
    EXPECT_EQ(runs["half past two"], 1);  // at the jump
    EXPECT_EQ(Start(halfPastTwo), MakeDateTime(2027, 3, 29, 2, 30));
}

TEST_F(SchedulerTest, AClockSetWhileRunningMovesEveryActiveStartByAsMuch) {
    const int64_t minute = Add(Job().Every(MakeTime(0, 1)).Start(MakeDateTime(2026, 12, 9, 10, 10)));
    const int64_t daily = Add(Job().Start(MakeDateTime(2026, 12, 10, 8, 0)));
    const int64_t off = Add(Job().Start(MakeDateTime(2026, 12, 10, 8, 0)).Aktiv("N"));
    Tick();
    // Back a day: the first tick that sees it waits, the second takes it.
    clock.SetWall(MakeDateTime(2026, 12, 8, 10, 0, 1, 500));
    Tick();
    EXPECT_EQ(Start(minute), MakeDateTime(2026, 12, 9, 10, 10));
    Tick();
    EXPECT_EQ(Start(minute), MakeDateTime(2026, 12, 8, 10, 10));  // still ten minutes ahead
    EXPECT_EQ(Start(daily), MakeDateTime(2026, 12, 9, 8, 0));     // the next 08:00, no day skipped
    EXPECT_EQ(Start(off), MakeDateTime(2026, 12, 10, 8, 0));
    // Forward eight days, as Windows says (WM_TIMECHANGE): taken at once,
    // and nothing runs for the days that did not pass.
    clock.SetWall(MakeDateTime(2026, 12, 16, 10, 0, 4, 500));
    scheduler.ClockSet();
    EXPECT_EQ(Start(minute), MakeDateTime(2026, 12, 16, 10, 10));
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_TRUE(actions.runs.empty());
    EXPECT_EQ(Start(daily), MakeDateTime(2026, 12, 17, 8, 0));
}

TEST_F(SchedulerTest, SleepIsTimeThatPassedAndIsCaughtUp) {
    Add(Job().Start(MakeDateTime(2026, 12, 10, 8, 0)).Nacholen("Y"));
    Tick();
    // The count stands still across sleep (the 95/98 line): the wall clock
    // alone moves on three days.
    scheduler.Suspending();
    clock.SetWall(MakeDateTime(2026, 12, 12, 10, 0));
    for (int i = 0; i < 6; ++i) Tick();
    EXPECT_EQ(actions.runs.size(), 3u);  // the 10th, 11th and 12th
    scheduler.Resumed();
    Tick();
    EXPECT_EQ(actions.runs.size(), 3u);
}

TEST_F(SchedulerTest, CatchUpReplaysTheLastTwentyMissedStartsAndLogsTheRest) {
    // Every minute, three days behind: 4320 missed starts.
    const int64_t id = Add(Job().Pfad("flood").Every(MakeTime(0, 1)).Nacholen("Y").Start(
        DateTime{now0.ms - 3 * kMsPerDay + 30 * kMsPerSecond}));
    for (int i = 0; i < 40; ++i) Tick();
    EXPECT_GE(actions.runs.size(), 20u);
    EXPECT_LE(actions.runs.size(), 21u);  // and the start that passed meanwhile
    EXPECT_GT(Start(id), clock.Now());
    ASSERT_EQ(LogRows(), 1);
    data.tblLog.First();
    EXPECT_EQ(data.tblLog.FieldByName("Fehler").AsString(), "4300 Starts nicht nachgeholt");
    EXPECT_EQ(data.tblLog.FieldByName("Pfad").AsString(), "flood");
}

TEST_F(SchedulerTest, SwitchingDuringATickTakesEffectAtItsEnd) {
    Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    // Off while the first job's countdown or mail lets messages through.
    actions.onRun = [&](const schema::Job&) {
        if (actions.runs.size() == 1) scheduler.Toggle();
        return std::string("OK");
    };
    Tick();
    EXPECT_EQ(actions.runs.size(), 2u);  // the scan finishes
    EXPECT_FALSE(ui.timer);              // but the timer stays off
    EXPECT_EQ(ui.trayIcons, (std::vector<int>{0}));
    EXPECT_FALSE(ui.flat);

    // Off and on again inside a tick: no timer until the tick ends.
    scheduler.Toggle();
    Add(Job().Start(DateTime{clock.Now().ms - 1}));
    bool timerInside = true;
    actions.onRun = [&](const schema::Job&) {
        scheduler.Toggle();
        scheduler.Toggle();
        timerInside = ui.timer;
        return std::string("OK");
    };
    Tick();
    EXPECT_FALSE(timerInside);
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(ui.caption, "&Aktiv");
}

TEST_F(SchedulerTest, ScanGoesOnAfterTheRunningJobWhenTheCursorWasMovedMeanwhile) {
    Add(Job().Pfad("A").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    Add(Job().Pfad("B").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    Add(Job().Pfad("C").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    // "&Starten" during the countdown walks the scheduler cursor elsewhere.
    actions.onRun = [this](const schema::Job& job) {
        if (job.pfad == "A") data.tblTimer2.Last();
        return std::string("OK");
    };
    Tick();
    EXPECT_EQ(actions.runs, (std::vector<std::string>{"A", "B", "C"}));

    // The same while the mail client of a failure is open.
    actions.runs.clear();
    clock.Advance(24LL * 3600 * 1000);
    actions.onRun = [](const schema::Job& job) {
        return std::string(job.pfad == "A" ? "Datei nicht gefunden" : "OK");
    };
    actions.onMail = [this] { data.tblTimer2.Last(); };
    Tick();
    EXPECT_EQ(actions.runs, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(actions.mails.size(), 1u);
}

TEST_F(SchedulerTest, ErrorInATickIsShownNamingItsTableAndTheJobsStillRun) {
    Add(Job().Pfad("C:\\first.exe").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    Add(Job().Pfad("C:\\second.exe").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    // An incomplete new row in the grid: the refresh of the editor cursor
    // tries to post it and fails. The jobs, already rescheduled, still run.
    data.tblTimer.Append();
    data.tblTimer.FieldByName(jf::kWochentag).SetAsString("Mo");
    Tick();
    EXPECT_EQ(actions.runs, (std::vector<std::string>{"C:\\first.exe", "C:\\second.exe"}));
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], "Timertabelle " + data.TimerTablePath() +
                                ": Feld 'Uhrzeit' mu\xdf einen Wert haben");
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(data.tblTimer2.state(), DatasetState::Browse);
    EXPECT_EQ(ui.trayIcons.size(), 1u);  // the scan went through: it blinks

    data.tblTimer.Cancel();
    Tick();
    EXPECT_EQ(actions.runs.size(), 2u);
    EXPECT_EQ(ui.errors.size(), 1u);
}

TEST_F(SchedulerTest, EditLeftOpenByAFailureIsCancelled) {
    const int64_t id = Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    actions.onRun = [this](const schema::Job&) -> std::string {
        data.tblTimer2.Edit();
        data.tblTimer2.FieldByName(jf::kPfad).SetAsString("changed");
        throw std::runtime_error("kaputt");
    };
    Tick();
    EXPECT_EQ(ui.errors, (std::vector<std::string>{"kaputt"}));
    EXPECT_EQ(data.tblTimer2.state(), DatasetState::Browse);
    EXPECT_EQ(Value(id, "Pfad"), "C:\\Programme\\job.exe");
    EXPECT_TRUE(ui.timer);

    actions.onRun = nullptr;
    Add(Job().Start(MakeDateTime(2026, 12, 9, 9, 0)));
    Tick();  // not stuck at the browse-state check
    EXPECT_EQ(actions.runs.size(), 2u);
}

// Another program (the sqlite3 client, say) holding a table: an exclusive
// transaction on it, ended when this goes.
class HeldBy {
public:
    explicit HeldBy(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~HeldBy() { Release(); }
    void Release() {
        if (!db_) return;
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
};

// A held job table: every tick tries again, with the timer on again after
// it, and runs nothing it could not reschedule; only a hold that lasts is
// named, once; the tick after it ends runs the job, once.
TEST_F(SchedulerTest, JobTableHeldByAnotherProgramIsTriedAtEveryTickAndNamedOnceWhenItLasts) {
    Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    HeldBy other(data.TimerTablePath());
    for (int i = 1; i < Scheduler::kBusyTicksBeforeBox; ++i) Tick();
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_TRUE(actions.runs.empty());
    EXPECT_TRUE(ui.timer);
    for (int i = 0; i < 3; ++i) Tick();
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], "Timertabelle " + data.TimerTablePath() + ": database is locked. Ein anderes Programm "
                            "h\xe4lt die Tabelle; f\xe4llige Jobs starten, sobald sie wieder frei ist.");
    EXPECT_TRUE(actions.runs.empty());
    EXPECT_TRUE(ui.timer);
    other.Release();
    Tick();
    Tick();
    EXPECT_EQ(actions.runs.size(), 1u);
    EXPECT_EQ(ui.errors.size(), 1u);
}

// Failures the run log cannot take while another program holds it: each is
// mailed and indicated at once, kept, and logged in order with the moment it
// happened once the log is free again; none twice.
TEST_F(SchedulerTest, FailuresTheRunLogCannotTakeAreLoggedLaterWithTheirMoment) {
    actions.onRun = [](const schema::Job&) { return std::string("Datei nicht gefunden"); };
    ui.firstErrorOnly = false;
    Add(Job().Pfad("C:\\a.exe").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    const DateTime failedAt = clock.Now();
    {
        HeldBy other(data.LogTablePath());
        Tick();
        EXPECT_EQ(actions.runs.size(), 1u);
        EXPECT_EQ(actions.mails.size(), 1u);
        EXPECT_TRUE(ui.indicator);
        Add(Job().Pfad("C:\\b.exe").Start(clock.Now()));
        for (int i = 0; i < Scheduler::kBusyTicksBeforeBox + 1; ++i) Tick();
        EXPECT_EQ(actions.runs.size(), 2u);
        EXPECT_EQ(actions.mails.size(), 2u);
        ASSERT_EQ(ui.errors.size(), 1u);
        EXPECT_EQ(ui.errors[0], "Logtabelle " + data.LogTablePath() + ": database is locked. Ein anderes Programm "
                                "h\xe4lt die Tabelle; die Fehler werden eingetragen, sobald sie wieder frei ist.");
    }
    Tick();
    ASSERT_EQ(LogRows(), 2);
    data.tblLog.First();
    EXPECT_EQ(data.tblLogFields.Pfad->AsString(), "C:\\a.exe");
    EXPECT_EQ(data.tblLogFields.Zeit->AsDateTime(), failedAt);
    data.tblLog.Next();
    EXPECT_EQ(data.tblLogFields.Pfad->AsString(), "C:\\b.exe");
    Tick();
    EXPECT_EQ(LogRows(), 2);
    EXPECT_EQ(ui.errors.size(), 1u);
}

// A run log emptied under the program (": > log.dat"): the failure that
// meets it is still mailed and indicated, the log is repaired as at start-up
// and said so once, and the failure is in the repaired log; no error box.
TEST_F(SchedulerTest, RunLogEmptiedWhileRunningIsRepairedAndTakesTheFailure) {
    actions.onRun = [](const schema::Job&) { return std::string("Datei nicht gefunden"); };
    Add(Job().Pfad("C:\\a.exe").Start(MakeDateTime(2026, 12, 9, 8, 0)));
    testing::WriteFile(data.LogTablePath(), "");
    Tick();
    Tick();
    EXPECT_EQ(actions.runs.size(), 1u);
    EXPECT_EQ(actions.mails.size(), 1u);
    EXPECT_TRUE(ui.indicator);
    EXPECT_TRUE(ui.errors.empty()) << ui.errors.front();
    ASSERT_EQ(ui.plainNotices.size(), 1u);
    EXPECT_EQ(ui.plainNotices[0].rfind("Logtabelle defekt. Logtabelle repariert: 0 Datens\xe4tze", 0), 0u)
        << ui.plainNotices[0];
    ASSERT_EQ(LogRows(), 1);
    data.tblLog.First();
    EXPECT_EQ(data.tblLogFields.Pfad->AsString(), "C:\\a.exe");
}

// The job table deleted under the program, where the system allows that:
// the next tick runs nothing from the old file and says so once.
TEST_F(SchedulerTest, JobTableDeletedWhileRunningRunsNothingFromTheOldFile) {
    Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    if (std::remove(data.TimerTablePath().c_str()) != 0)
        GTEST_SKIP() << "the system keeps an open table from being deleted";
    Tick();
    Tick();
    EXPECT_TRUE(actions.runs.empty());
    ASSERT_EQ(ui.plainNotices.size(), 1u);
    EXPECT_NE(ui.plainNotices[0].find("wurde gel\xf6scht"), std::string::npos) << ui.plainNotices[0];
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_EQ(data.tblTimer2.RecordCount(), 0);
}

TEST_F(SchedulerTest, RecalculateCountsFromNowEvenWithCatchUp) {
    const int64_t past = Add(Job().Start(MakeDateTime(2026, 12, 6, 8, 0)).Nacholen("Y"));
    const int64_t future = Add(Job().Start(MakeDateTime(2026, 12, 20, 8, 0)));
    data.tblTimer.Refresh();
    for (int64_t id : {past, future}) {
        ASSERT_TRUE(data.tblTimer.Locate("ID", std::to_string(id)));
        const int before = ui.processCalls;
        scheduler.RecalculateCurrentStart();
        EXPECT_EQ(ui.processCalls, before + 1);  // waits once even when free
        EXPECT_EQ(Start(id), MakeDateTime(2026, 12, 10, 8, 0));
    }
    EXPECT_EQ(ui.pausedMs, 20);
    EXPECT_EQ(data.tblTimer.state(), DatasetState::Browse);
    // The table lock is released again.
    engine::Session other("other", QuickOptions());
    Cursor c(other, data.TimerTablePath());
    c.Open();
    EXPECT_NO_THROW(c.LockTable());
}

TEST_F(SchedulerTest, RecalculateWaitsWhileAnotherUserEditsTheRow) {
    const int64_t id = Add(Job().Start(MakeDateTime(2026, 12, 20, 8, 0)));
    engine::Session other("other");
    Cursor c(other, data.TimerTablePath());
    c.Open();
    ASSERT_TRUE(c.Locate("ID", std::to_string(id)));
    c.Edit();
    ui.onProcess = [&] {
        if (ui.processCalls == 3) c.Cancel();
    };
    data.tblTimer.Refresh();
    ASSERT_TRUE(data.tblTimer.Locate("ID", std::to_string(id)));
    scheduler.RecalculateCurrentStart();
    EXPECT_EQ(ui.processCalls, 3);
    EXPECT_EQ(Start(id), MakeDateTime(2026, 12, 10, 8, 0));
}

TEST_F(SchedulerTest, RecalculateOnAnEmptyTableDoesNothing) {
    data.tblTimer.Refresh();
    EXPECT_NO_THROW(scheduler.RecalculateCurrentStart());
    EXPECT_EQ(data.tblTimer.state(), DatasetState::Browse);
    data.tblTimer.Refresh();
    EXPECT_EQ(data.tblTimer.RecordCount(), 0);
    EXPECT_EQ(ui.processCalls, 0);
}

// The tick as a walk over the whole table, every row from the first to the
// last, kept here as the yardstick of the tick that reads only what can be
// due: the rows it runs, in their order.
std::vector<std::string> FullScanTick(JobData& d, const Clock& clock, const std::function<void()>& action) {
    std::vector<std::string> ran;
    Cursor& t2 = d.tblTimer2;
    t2.Refresh();
    for (t2.First(); !t2.Eof(); t2.Next()) {
        const DateTime now = clock.Now();
        auto due = [&] {
            return now > t2.FieldByName(jf::kStartzeit).AsDateTime() && t2.FieldByName(jf::kAktiv).AsString() == "Y";
        };
        if (!due() || t2.RowLocked()) continue;
        t2.Edit();
        if (!due()) {
            t2.Cancel();
            continue;
        }
        RescheduleJob(t2, ReadingAt(now));
        t2.Post();
        d.tblTimer.Refresh();
        ran.push_back(t2.FieldByName(jf::kPfad).AsString());
        action();
    }
    return ran;
}

// Two copies of one job table, changed alike by other users, the clock and an
// editor's lock, tick after tick, with actions that take minutes: the
// scheduler runs on one, the full walk on the other. Same rows run, in the
// same order, at the same ticks, and the tables stay alike, byte for byte.
TEST(SchedulerScanTest, RunsWhatAWalkOverEveryRowRuns) {
    testing::TempDir dirA, dirB;
    FakeClock clock{MakeDateTime(2026, 12, 9, 10, 0)};
    JobData a{clock, dirA.path()}, b{clock, dirB.path()};
    test::FakeSchedulerUi ui;
    test::FakeSchedulerActions actions;
    Scheduler scheduler{a, clock, actions, ui, "BUERO-PC"};
    // A job's action holds the tick for a while: later rows see a later clock.
    auto slowAction = [&] { clock.Advance(7 * kMsPerMinute); };
    actions.onRun = [&](const schema::Job&) {
        slowAction();
        return std::string("OK");
    };
    struct Raw {
        sqlite3* db = nullptr;
        ~Raw() { sqlite3_close(db); }
    } rawA, rawB;
    for (JobData* d : {&a, &b}) {
        d->CreateMissingTables();
        d->OpenTables();
    }
    ASSERT_EQ(sqlite3_open(a.TimerTablePath().c_str(), &rawA.db), SQLITE_OK);
    ASSERT_EQ(sqlite3_open(b.TimerTablePath().c_str(), &rawB.db), SQLITE_OK);
    // Another program writes both tables alike.
    auto sql = [&](const std::string& text) {
        for (sqlite3* db : {rawA.db, rawB.db}) ASSERT_EQ(sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << text;
    };
    auto table = [](sqlite3* db) {
        std::string all;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT rowid, quote(Startzeit), quote(Aktiv), * FROM timer ORDER BY rowid", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const unsigned char* t = sqlite3_column_text(st, i);
                all += (t ? reinterpret_cast<const char*>(t) : "NULL") + std::string("|");
            }
        sqlite3_finalize(st);
        return all;
    };
    // Starts around the clock, and ones that read as 0: empty, no date-time,
    // short, out of range, not text.
    auto start = [&](uint32_t r) -> std::string {
        const DateTime now = clock.Now();
        switch (r % 9) {
            case 0: return "NULL";
            case 1: return "'kaputt'";
            case 2: return "'2026-02-30 08:00:00.000'";
            case 3: return "X'323032362D31322D30392030383A30303A30302E303030'";
            case 4: return "'" + FormatDateTime(now).substr(0, 16) + "'";
            case 5: return "'" + FormatDateTime(now) + "'";
            default: return "'" + FormatDateTime(DateTime{now.ms + (static_cast<int64_t>(r % 97) - 48) * kMsPerHour}) + "'";
        }
    };
    const char* const rules[] = {"'Jeden Tag'", "'MoMiFr'", "'Monatlich'", "'SaSo'"};
    const char* const aktiv[] = {"'Y'", "'Y'", "'Y'", "'N'", "'y'", "NULL", "X'59'"};
    uint32_t seed = 12345;
    auto random = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8); };
    for (int i = 1; i <= 40; ++i)
        sql("INSERT INTO timer(rowid, Wochentag, Uhrzeit, Pfad, Aktiv, Startzeit, Intervall, nacholen, ID) VALUES(" +
            std::to_string(i) + ", " + rules[random() % 4] + ", '08:00:00.000', 'job" + std::to_string(i) + "', " +
            aktiv[random() % 7] + ", " + start(random()) + ", 'N', " + (random() % 3 ? "NULL" : "'Y'") + ", " +
            std::to_string(i) + ")");
    int rows = 40, ran = 0, locked = 0;
    for (int step = 0; step < 300; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const uint32_t what = random() % 12, r = random();
        const std::string row = std::to_string(1 + r % rows);
        if (what < 3) {
            clock.Advance(r % 4 ? static_cast<int64_t>(r % 43200) * kMsPerSecond : 1);
        } else if (what == 3) {
            clock.Advance(-static_cast<int64_t>(1 + r % 48) * kMsPerHour);  // set back
        } else if (what == 4) {
            sql("UPDATE timer SET Startzeit=" + start(random()) + " WHERE rowid=" + row);
        } else if (what == 5) {
            sql("UPDATE timer SET Aktiv=" + std::string(aktiv[random() % 7]) + " WHERE rowid=" + row);
        } else if (what == 6) {
            ++rows;
            sql("INSERT INTO timer(rowid, Wochentag, Uhrzeit, Pfad, Aktiv, Startzeit, Intervall, ID) VALUES(" +
                std::to_string(rows) + ", 'Jeden Tag', '09:30:00.000', 'job" + std::to_string(rows) + "', 'Y', " +
                start(random()) + ", 'N', " + std::to_string(rows) + ")");
        } else if (what == 7) {
            sql("DELETE FROM timer WHERE rowid=" + row);
        } else if (what == 8 || what == 9) {
            // The user switches a job on (or edits it) in the grid; the post
            // gives a passed start a new one.
            for (JobData* d : {&a, &b}) {
                d->tblTimer.Refresh();
                if (!d->tblTimer.Locate("ID", row)) continue;
                d->tblTimer.Edit();
                d->tblTimer.FieldByName(jf::kAktiv).SetAsString(what == 8 ? "Y" : "N");
                d->tblTimer.Post();
            }
        } else if (what == 10) {
            // The user starts editing a row in the grid and holds it.
            for (JobData* d : {&a, &b}) {
                d->tblTimer.Refresh();
                if (d->tblTimer.Locate("ID", row)) d->tblTimer.Edit();
            }
            locked += a.tblTimer.state() == DatasetState::Edit;
        } else {
            for (JobData* d : {&a, &b}) d->tblTimer.Cancel();
        }
        actions.runs.clear();
        const DateTime before = clock.Now();
        scheduler.Tick();
        const DateTime after = clock.Now();
        clock.Set(before);
        const std::vector<std::string> expected = FullScanTick(b, clock, slowAction);
        ASSERT_EQ(clock.Now(), after);
        ASSERT_EQ(actions.runs, expected);
        ASSERT_TRUE(ui.errors.empty()) << ui.errors.front();
        ASSERT_EQ(table(rawA.db), table(rawB.db));
        ran += static_cast<int>(expected.size());
    }
    // The walk had work to compare: jobs ran, and rows were held by an edit.
    EXPECT_GT(ran, 50);
    EXPECT_GT(locked, 5);
}

ClockReading Reading(int64_t utc, uint32_t ticks) {
    ClockReading r;
    r.utc = utc;
    r.local = DateTime{utc};
    r.ticks = ticks;
    return r;
}

TEST(ClockWatchTest, ChangesAreConfirmedDriftAndSleepAreNot) {
    ClockWatch w;
    EXPECT_EQ(w.Observe(Reading(1000000, 0)), 0);
    EXPECT_EQ(w.Observe(Reading(1001500 + 9000, 1500)), 0);  // 9 s: drift, forgotten
    EXPECT_EQ(w.Observe(Reading(1003000 + 9000 + 3600000, 3000)), 0);  // an hour on: first seen
    EXPECT_TRUE(w.Unsettled());
    EXPECT_EQ(w.Observe(Reading(1004500 + 9000 + 3600000, 4500)), 3600000);
    EXPECT_FALSE(w.Unsettled());
    EXPECT_EQ(w.Observe(Reading(1006000 + 9000 - 86400000, 6000), true), -86400000 - 3600000);
    // Sleep: whatever the count did meanwhile, no change.
    w.Suspending();
    EXPECT_EQ(w.Observe(Reading(9000000000, 7500)), 0);
    EXPECT_EQ(w.Observe(Reading(9000001500, 9000)), 0);
    EXPECT_FALSE(w.Unsettled());
    // The count wrapped past 49.7 days: a new start.
    EXPECT_EQ(w.Observe(Reading(9000003000, 9000 - 100)), 0);
}

}  // namespace
}  // namespace qv
