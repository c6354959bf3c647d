// Whole scheduler ticks on a real job table with a fake clock, a fake window
// and fake actions.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "engine/DateTime.h"
#include "jobs/JobData.h"
#include "schedule/Scheduler.h"
#include "tests/jobs/TempDir.h"
#include "tests/schedule/SchedulerFakes.h"

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
        data.CreateMissingTables();
        data.OpenTables();
    }

    // Written through a cursor of its own session, so no post rule touches it.
    int64_t Add(const Job& j) {
        engine::Session session("setup");
        Cursor c(session, data.TimerTablePath());
        c.Open();
        c.Append();
        c.FieldByName("Wochentag").SetAsString(j.wochentag);
        c.FieldByName("Uhrzeit").SetAsTime(j.uhrzeit);
        c.FieldByName("Pfad").SetAsString(j.pfad);
        c.FieldByName("Aktiv").SetAsString(j.aktiv);
        c.FieldByName("Intervall").SetAsString("N");
        c.FieldByName("nacholen").SetAsString(j.nacholen);
        if (j.startzeit) c.FieldByName("Startzeit").SetAsDateTime(*j.startzeit);
        c.Post();
        return c.FieldByName("ID").AsInteger();
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
    actions.onRun = [&](Cursor&) {
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
        actions.onRun = [](Cursor& job) {
            return "Fehler bei " + job.FieldByName("Pfad").AsString().substr(3);
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
}

TEST_F(SchedulerTest, SwitchingDuringATickTakesEffectAtItsEnd) {
    Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    // Off while the first job's countdown or mail lets messages through.
    actions.onRun = [&](Cursor&) {
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
    actions.onRun = [&](Cursor&) {
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
    actions.onRun = [](Cursor& job) {
        if (job.FieldByName("Pfad").AsString() == "A") job.Last();
        return std::string("OK");
    };
    Tick();
    EXPECT_EQ(actions.runs, (std::vector<std::string>{"A", "B", "C"}));

    // The same while the mail client of a failure is open.
    actions.runs.clear();
    clock.Advance(24LL * 3600 * 1000);
    actions.onRun = [](Cursor& job) {
        return std::string(job.FieldByName("Pfad").AsString() == "A" ? "Datei nicht gefunden" : "OK");
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
    data.tblTimer.FieldByName("Wochentag").SetAsString("Mo");
    Tick();
    EXPECT_EQ(actions.runs, (std::vector<std::string>{"C:\\first.exe", "C:\\second.exe"}));
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], "Timertabelle " + data.TimerTablePath() +
                                ": Feld 'Uhrzeit' mu\xdf einen Wert haben");
    EXPECT_EQ(ui.timerAtError, (std::vector<bool>{false}));  // no tick while the box is open
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(data.tblTimer2.state(), DatasetState::Browse);
    EXPECT_TRUE(ui.trayIcons.empty());

    data.tblTimer.Cancel();
    Tick();
    EXPECT_EQ(actions.runs.size(), 2u);
    EXPECT_EQ(ui.errors.size(), 1u);
}

TEST_F(SchedulerTest, EditLeftOpenByAFailureIsCancelled) {
    const int64_t id = Add(Job().Start(MakeDateTime(2026, 12, 9, 8, 0)));
    actions.onRun = [](Cursor& job) -> std::string {
        job.Edit();
        job.FieldByName("Pfad").SetAsString("changed");
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

}  // namespace
}  // namespace qv
