// The next start as the scheduler stores it: read from and written to a row of
// the job table through the scheduler cursor.
#include <gtest/gtest.h>

#include "jobs/JobData.h"
#include "rules/NextStart.h"
#include "tests/jobs/TempDir.h"

namespace qv {
namespace {

DateTime At(const char* text) {
    const std::optional<DateTime> dt = ParseDateTime(text);
    EXPECT_TRUE(dt.has_value()) << text;
    return dt.value_or(DateTime{});
}

struct Job {
    const char* rule;
    const char* time;
    const char* intervall;  // nullptr: empty
    const char* nacholen;   // nullptr: empty
    const char* startzeit;  // nullptr: empty
};

class SchedulerCursorTest : public ::testing::Test {
protected:
    SchedulerCursorTest() : clock(At("2024-05-15 10:00")), data(clock, dir.path()) {
        data.CreateMissingTables();
        data.OpenTables();
    }

    // Writes a row straight through the scheduler cursor (no post handler).
    void AddJob(const Job& job) {
        Cursor().Append();
        data.tblTimer2Fields.Wochentag->SetAsString(job.rule);
        data.tblTimer2Fields.Uhrzeit->SetAsTime(*ParseTime(job.time));
        data.tblTimer2Fields.Pfad->SetAsString("C:\\job.bat");
        data.tblTimer2Fields.Aktiv->SetAsString("Y");
        if (job.intervall) data.tblTimer2Fields.Intervall->SetAsString(job.intervall);
        if (job.nacholen) data.tblTimer2Fields.nacholen->SetAsString(job.nacholen);
        if (job.startzeit) data.tblTimer2Fields.Startzeit->SetAsDateTime(At(job.startzeit));
        Cursor().Post();
    }

    // One scheduler pass over the single job: when it is due, reschedule it
    // the way the tick does and count a run. Returns whether it ran.
    bool Tick() {
        Cursor().First();
        const DateTime now = clock.Now();
        if (!(now > data.tblTimer2Fields.Startzeit->AsDateTime()) || !IsYes(data.tblTimer2Fields.Aktiv->AsString()))
            return false;
        Cursor().Edit();
        RescheduleJob(Cursor(), ReadingAt(now));
        Cursor().Post();
        return true;
    }

    int RunsInTicks(int ticks) {
        int runs = 0;
        for (int i = 0; i < ticks; ++i) {
            if (Tick()) ++runs;
            clock.Advance(1500);
        }
        return runs;
    }

    engine::Cursor& Cursor() { return data.tblTimer2; }

    testing::TempDir dir;
    FakeClock clock;
    JobData data;
};

TEST_F(SchedulerCursorTest, ReadsRuleTimeAndModeByFieldName) {
    const struct {
        Job job;
        const char* base;
        const char* expected;
    } cases[] = {
        {{"MoMiFr", "10:00", nullptr, nullptr, nullptr}, "2024-05-15 10:00", "2024-05-17 10:00"},
        {{"MoMiFr", "10:00", "N", nullptr, nullptr}, "2024-05-15 10:00", "2024-05-17 10:00"},
        {{"Jeden Tag", "01:30", "Y", nullptr, nullptr}, "2024-05-15 10:00", "2024-05-15 11:30"},
        {{"Jeden Tag", "01:30", "y", nullptr, nullptr}, "2024-05-15 10:00", "2024-05-16 01:30"},
        {{"Monatlich", "08:00", "Y", nullptr, nullptr}, "2024-01-31 15:00", "2024-02-29 08:00"},
    };
    for (const auto& c : cases) {
        AddJob(c.job);
        Cursor().Last();
        EXPECT_EQ(FormatDateTime(CalcNextStart(Cursor(), At(c.base))), FormatDateTime(At(c.expected)))
            << c.job.rule << " Intervall " << (c.job.intervall ? c.job.intervall : "(empty)");
    }
}

TEST_F(SchedulerCursorTest, CatchUpJobMissedOnThreeDaysRunsFourTimesThenWaits) {
    AddJob({"Jeden Tag", "08:00", nullptr, "Y", "2024-05-12 08:00"});
    EXPECT_EQ(RunsInTicks(10), 4);
    EXPECT_EQ(data.tblTimer2Fields.Startzeit->AsDateTime(), At("2024-05-16 08:00"));
    EXPECT_EQ(data.tblTimer2Fields.Aktiv->AsString(), "Y");
}

TEST_F(SchedulerCursorTest, MissedJobWithoutCatchUpRunsOnceFromNow) {
    AddJob({"Jeden Tag", "08:00", nullptr, nullptr, "2024-05-12 08:00"});
    EXPECT_EQ(RunsInTicks(10), 1);
    EXPECT_EQ(data.tblTimer2Fields.Startzeit->AsDateTime(), At("2024-05-16 08:00"));
}

TEST_F(SchedulerCursorTest, CatchUpJobWithoutStoredStartCountsFromNow) {
    AddJob({"Jeden Tag", "08:00", nullptr, "Y", nullptr});
    EXPECT_EQ(RunsInTicks(10), 1);
    EXPECT_EQ(data.tblTimer2Fields.Startzeit->AsDateTime(), At("2024-05-16 08:00"));
}

TEST_F(SchedulerCursorTest, JobsThatCannotMoveOnRunOnceAndAreSwitchedOff) {
    const Job broken[] = {
        {"montag", "08:00", nullptr, nullptr, nullptr},
        {"Intervall", "08:00", "N", "Y", "2024-05-14 08:00"},
        {"Jeden Tag", "00:00", "Y", nullptr, "2024-05-15 09:00"},
        {"Jeden Tag", "00:00", "Y", "Y", "2024-05-15 09:00"},
        {"Intervall", "00:00", nullptr, nullptr, nullptr},
    };
    for (const Job& job : broken) {
        Cursor().First();
        while (!Cursor().Eof()) Cursor().Delete();
        AddJob(job);
        EXPECT_EQ(RunsInTicks(20), 1) << job.rule << " " << job.time;
        EXPECT_EQ(data.tblTimer2Fields.Aktiv->AsString(), "N") << job.rule;
    }
}

TEST_F(SchedulerCursorTest, StoreNextStartGuardsOnlyWhenNothingMovesForward) {
    AddJob({"Jeden Tag", "00:00", "Y", nullptr, nullptr});
    Cursor().Edit();
    // Base in the future and equal to the result: stored, job stays on.
    EXPECT_FALSE(StoreNextStart(Cursor(), At("2024-05-20 10:00"), clock.Read()));
    EXPECT_EQ(data.tblTimer2Fields.Startzeit->AsDateTime(), At("2024-05-20 10:00"));
    EXPECT_EQ(data.tblTimer2Fields.Aktiv->AsString(), "Y");
    // Equal to base at or before now: switched off.
    EXPECT_TRUE(StoreNextStart(Cursor(), clock.Now(), clock.Read()));
    EXPECT_EQ(data.tblTimer2Fields.Aktiv->AsString(), "N");
    Cursor().Cancel();

    // Moving forward but still in the past (catching up): stored, job stays on.
    Cursor().Edit();
    data.tblTimer2Fields.Uhrzeit->SetAsTime(*ParseTime("01:00"));
    EXPECT_FALSE(StoreNextStart(Cursor(), At("2024-05-01 10:00"), clock.Read()));
    EXPECT_EQ(data.tblTimer2Fields.Startzeit->AsDateTime(), At("2024-05-01 11:00"));
    EXPECT_EQ(data.tblTimer2Fields.Aktiv->AsString(), "Y");
    Cursor().Post();
}

}  // namespace
}  // namespace qv
