#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "jobs/JobData.h"
#include "jobs/Tables.h"
#include "schema/JobSchema.h"
#include "tests/jobs/TempDir.h"

namespace jf = qv::schema::job;
namespace lf = qv::schema::runlog;

namespace qv {
namespace {

using engine::Cursor;
using engine::EngineError;
using engine::ErrorCode;
using testing::TempDir;

DateTime At(const char* text) {
    const std::optional<DateTime> dt = ParseDateTime(text);
    EXPECT_TRUE(dt.has_value()) << text;
    return dt.value_or(DateTime{});
}

// Job data on tables in a fresh directory, with recorded messages and a clock
// set to Wednesday 15 May 2024 10:00.
class JobDataTest : public ::testing::Test {
protected:
    JobDataTest() : clock(At("2024-05-15 10:00")), data(clock, dir.path(), Hooks()) {
        for (engine::Session* s : {&data.ses, &data.Session2, &data.Default}) s->SetSleep([](int) {});
    }

    JobDataHooks Hooks() {
        JobDataHooks h;
        h.showMessage = [this](const std::string& text) { messages.push_back(text); };
        h.hideOperationList = [this] { ++hides; };
        return h;
    }

    void OpenAll() {
        data.CreateMissingTables();
        data.OpenTables();
    }

    // Appends a job through the editor cursor and posts it.
    void PostNewJob(const char* rule, const char* time, const char* pfad = "C:\\job.bat",
                    const char* nacholen = nullptr) {
        data.tblTimer.Append();
        data.tblTimerFields.Wochentag->SetAsString(rule);
        data.tblTimerFields.Uhrzeit->SetAsTime(*ParseTime(time));
        data.tblTimerFields.Pfad->SetAsString(pfad);
        if (nacholen) data.tblTimerFields.nacholen->SetAsString(nacholen);
        data.tblTimer.Post();
    }

    TempDir dir;
    FakeClock clock;
    JobData data;
    std::vector<std::string> messages;
    int hides = 0;
};

TEST_F(JobDataTest, FirstStartCreatesAndOpensBothTablesWithoutMessages) {
    OpenAll();
    EXPECT_TRUE(testing::Exists(dir.path() + "timer.dat"));
    EXPECT_TRUE(testing::Exists(dir.path() + "log.dat"));
    EXPECT_EQ(data.tblTimer.state(), engine::DatasetState::Browse);
    EXPECT_EQ(data.tblTimer2.state(), engine::DatasetState::Browse);
    EXPECT_EQ(data.tblLog.state(), engine::DatasetState::Browse);
    EXPECT_EQ(data.ses.name(), "ses");
    EXPECT_TRUE(data.ses.options().strictChangeDetection);
    EXPECT_EQ(data.Session2.name(), "Session2");
    EXPECT_FALSE(data.Session2.options().strictChangeDetection);
    EXPECT_EQ(data.Default.name(), "Default");
    EXPECT_TRUE(data.tblLog.exclusive());
    EXPECT_FALSE(data.tblTimer.exclusive());
    EXPECT_FALSE(data.tblTimer2.exclusive());
    EXPECT_TRUE(messages.empty());
    ASSERT_NE(data.tblTimer2Fields.nacholen, nullptr);
    ASSERT_NE(data.tblLogFields.Zeit, nullptr);
    EXPECT_EQ(data.tblTimerFields.Startzeit->name(), "Startzeit");
    EXPECT_EQ(data.tblTimer2Fields.Pfad->name(), "Pfad");
    EXPECT_EQ(data.tblLogFields.Fehler->name(), "Fehler");
}

TEST_F(JobDataTest, NewRowGetsDefaultsIdAndFirstStartAfterNow) {
    OpenAll();
    PostNewJob("MoMiFr", "08:00");
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "Y");
    EXPECT_EQ(data.tblTimerFields.Intervall->AsString(), "N");
    EXPECT_EQ(data.tblTimerFields.WindowState->AsString(), "Standard");
    EXPECT_TRUE(data.tblTimerFields.nacholen->IsNull());
    EXPECT_TRUE(data.tblTimerFields.operation->IsNull());
    EXPECT_TRUE(data.tblTimerFields.Paramter->IsNull());
    EXPECT_GT(data.tblTimerFields.ID->AsInteger(), 0);
    // Wednesday 10:00 is past 08:00: Friday 08:00.
    EXPECT_EQ(FormatDateTime(data.tblTimerFields.Startzeit->AsDateTime()), "2024-05-17 08:00:00.000");

    // The scheduler cursor sees the same row after a refresh, read back exactly.
    data.tblTimer2.Refresh();
    data.tblTimer2.First();
    ASSERT_FALSE(data.tblTimer2.Eof());
    EXPECT_EQ(data.tblTimer2Fields.Startzeit->AsDateTime(), At("2024-05-17 08:00"));
    EXPECT_EQ(data.tblTimer2Fields.ID->AsInteger(), data.tblTimerFields.ID->AsInteger());

    const int64_t firstId = data.tblTimerFields.ID->AsInteger();
    PostNewJob("Jeden Tag", "12:00");
    EXPECT_GT(data.tblTimerFields.ID->AsInteger(), firstId);
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-15 12:00"));
}

TEST_F(JobDataTest, RequiredFieldsAreCheckedBeforeThePostHandler) {
    OpenAll();
    const struct {
        const char* missing;
    } cases[] = {{"Wochentag"}, {"Uhrzeit"}, {"Pfad"}, {"Aktiv"}, {"Intervall"}};
    for (const auto& c : cases) {
        data.tblTimer.Append();
        data.tblTimerFields.Wochentag->SetAsString("Intervall");
        data.tblTimerFields.Uhrzeit->SetAsTime(TimeOfDay{0});  // would show the interval message
        data.tblTimerFields.Pfad->SetAsString("x");
        data.tblTimer.FieldByName(c.missing).Clear();
        try {
            data.tblTimer.Post();
            ADD_FAILURE() << "post without " << c.missing << " went through";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.code(), ErrorCode::RequiredMissing);
            EXPECT_EQ(std::string(e.what()), std::string("Feld '") + c.missing + "' mu\xdf einen Wert haben");
        }
        EXPECT_EQ(data.tblTimer.state(), engine::DatasetState::Insert) << c.missing;
        EXPECT_TRUE(messages.empty()) << "post handler ran without " << c.missing;
        data.tblTimer.Cancel();
    }
    EXPECT_EQ(data.tblTimer.RecordCount(), 0);

    // The scheduler cursor does not require the interval flag.
    data.tblTimer2.Append();
    data.tblTimer2Fields.Wochentag->SetAsString("Mo");
    data.tblTimer2Fields.Uhrzeit->SetAsTime(TimeOfDay{0});
    data.tblTimer2Fields.Pfad->SetAsString("x");
    data.tblTimer2Fields.Aktiv->SetAsString("Y");
    EXPECT_NO_THROW(data.tblTimer2.Post());
}

TEST_F(JobDataTest, IntervalRuleWithoutIntervalIsPostedUnchangedWithAMessage) {
    OpenAll();
    PostNewJob("Intervall", "00:00");
    EXPECT_EQ(messages, std::vector<std::string>{"Bitte geben Sie ein Intervall ein"});
    EXPECT_TRUE(data.tblTimerFields.Startzeit->IsNull());
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "Y");
    EXPECT_EQ(data.tblTimer.RecordCount(), 1);

    // An existing row keeps its old start as well.
    data.tblTimer.Edit();
    data.tblTimerFields.Startzeit->SetAsDateTime(At("2024-05-01 08:00"));
    data.tblTimer.Post();
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-01 08:00"));

    // Either half alone is no such case. "Intervall" names no weekday, so
    // that job is switched off, and the user is told after the post.
    PostNewJob("Jeden Tag", "00:00");
    EXPECT_EQ(messages.size(), 2u);
    PostNewJob("Intervall", "00:00:01");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2],
              "Die Tagesregel \"Intervall\" nennt keinen Wochentag. Der Job wurde ausgeschaltet "
              "(Aktiv = N) und wird nicht wieder gestartet, bis Sie die Regel \xe4ndern und ihn wieder "
              "einschalten.");
    EXPECT_EQ(data.tblTimer.state(), engine::DatasetState::Browse);
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "N");
}

TEST_F(JobDataTest, FutureStartIsKeptWhateverTheEditChanges) {
    OpenAll();
    PostNewJob("MoMiFr", "08:00");
    const DateTime first = data.tblTimerFields.Startzeit->AsDateTime();
    clock.Set(At("2024-05-16 09:00"));
    data.tblTimer.Edit();
    data.tblTimerFields.Uhrzeit->SetAsTime(*ParseTime("06:00"));
    data.tblTimerFields.Wochentag->SetAsString("Jeden Tag");
    data.tblTimer.Post();
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), first);

    // Once it has passed, a post computes it again from now.
    clock.Set(At("2024-05-17 08:00:00.001"));
    data.tblTimer.Edit();
    data.tblTimerFields.Paramter->SetAsString("-q");
    data.tblTimer.Post();
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-18 06:00"));

    // A start equal to now has not passed yet.
    clock.Set(At("2024-05-18 06:00"));
    data.tblTimer.Edit();
    data.tblTimerFields.Paramter->SetAsString("-v");
    data.tblTimer.Post();
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-18 06:00"));
}

TEST_F(JobDataTest, CatchUpCountsFromTheStoredStartAndNewCatchUpJobsFromNow) {
    OpenAll();
    // A new catch-up job has no start yet: its first start counts from now,
    // not from the empty date-time.
    PostNewJob("Jeden Tag", "08:00", "C:\\daily.bat", "Y");
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-16 08:00"));
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "Y");

    // Three days later the stored start is the base: the result still lies in
    // the past, one day after the old start.
    clock.Set(At("2024-05-19 10:00"));
    data.tblTimer.Edit();
    data.tblTimerFields.Paramter->SetAsString("-x");
    data.tblTimer.Post();
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-17 08:00"));
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "Y");

    // Without catch-up the same post counts from now.
    data.tblTimer.Edit();
    data.tblTimerFields.nacholen->SetAsString("N");
    data.tblTimer.Post();
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-20 08:00"));
}

TEST_F(JobDataTest, RuleThatCannotMoveOnSwitchesTheJobOff) {
    OpenAll();
    PostNewJob("montag", "08:00");
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), clock.Now());
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "N");

    // Interval mode with a zero interval, catching up from a stored start.
    data.tblTimer.Edit();
    data.tblTimerFields.Wochentag->SetAsString("Jeden Tag");
    data.tblTimerFields.Intervall->SetAsString("Y");
    data.tblTimerFields.Uhrzeit->SetAsTime(TimeOfDay{0});
    data.tblTimerFields.nacholen->SetAsString("Y");
    data.tblTimerFields.Aktiv->SetAsString("Y");
    data.tblTimerFields.Startzeit->SetAsDateTime(At("2024-05-14 07:00"));
    data.tblTimer.Post();
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-14 07:00"));
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "N");

    // A sound interval job that is still catching up stays on.
    data.tblTimer.Edit();
    data.tblTimerFields.Uhrzeit->SetAsTime(*ParseTime("01:00"));
    data.tblTimerFields.Aktiv->SetAsString("Y");
    data.tblTimer.Post();
    EXPECT_EQ(data.tblTimerFields.Startzeit->AsDateTime(), At("2024-05-14 08:00"));
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "Y");
}

TEST_F(JobDataTest, ScrollingHidesTheOperationList) {
    OpenAll();
    PostNewJob("Mo", "08:00");
    PostNewJob("Di", "08:00");
    const int before = hides;
    data.tblTimer.First();
    EXPECT_GT(hides, before);
    const int afterFirst = hides;
    data.tblTimer.Next();
    EXPECT_GT(hides, afterFirst);
}

TEST_F(JobDataTest, RunLogEntriesCutTheTextAndTakeTheClock) {
    OpenAll();
    PostNewJob("Mo", "08:00", "C:\\Programme\\fehlt.exe");
    data.tblTimer2.Refresh();
    data.tblTimer2.First();

    clock.Set(At("2024-05-15 10:00:01.234"));
    data.AppendLogEntry("Kein Speicher oder Resourcen mehr");
    const int64_t firstId = data.tblLogFields.ID->AsInteger();
    EXPECT_EQ(data.tblLogFields.Pfad->AsString(), "C:\\Programme\\fehlt.exe");
    EXPECT_EQ(data.tblLogFields.Fehler->AsString(), "Kein Speicher oder Resourcen m");
    EXPECT_EQ(data.tblLogFields.Zeit->AsDateTime(), At("2024-05-15 10:00:01.234"));

    clock.Advance(5);
    data.AppendLogEntry("Neustart", "abgebrochen");
    EXPECT_GT(data.tblLogFields.ID->AsInteger(), firstId);
    EXPECT_EQ(data.tblLogFields.Pfad->AsString(), "Neustart");
    EXPECT_EQ(data.tblLogFields.Fehler->AsString(), "abgebrochen");
    EXPECT_EQ(data.tblLogFields.Zeit->AsDateTime(), At("2024-05-15 10:00:01.239"));

    data.AppendLogEntry("x", "Cannot find privilege value. [Zugriff verweigert]");
    EXPECT_EQ(data.tblLogFields.Fehler->AsString(), "Cannot find privilege value. [");
    EXPECT_EQ(data.tblLog.RecordCount(), 3);
}

// Opening at start-up: damage, backup, repair, and tables held elsewhere.
class OpenTablesTest : public JobDataTest {};

// An earlier backup is never replaced: the next one gets the next number.
TEST_F(OpenTablesTest, DamagedJobTableIsBackedUpRepairedAndOpened) {
    data.CreateMissingTables();
    const std::string timer = dir.path() + "timer.dat";
    testing::WriteFile(timer, "garbage, no table");
    testing::WriteFile(timer + ".bak", "an older backup");
    data.OpenTables();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Timertabelle defekt. Es wird versucht die Tabelle zu reparieren.");
    const std::string head = "Timertabelle repariert: 0 Datens\xe4tze \xfc" "bernommen, 0 nicht lesbar oder "
                             "unvollst\xe4ndig. Ersetzt wurde " + timer + " (Table 'timer.dat' is damaged: ";
    const std::string tail = "). Die alte Datei liegt als " + timer + ".2.bak vor.";
    EXPECT_EQ(messages[1].rfind(head, 0), 0u) << messages[1];
    EXPECT_EQ(messages[1].substr(messages[1].size() - std::min(messages[1].size(), tail.size())), tail);
    EXPECT_EQ(testing::ReadFile(timer + ".bak"), "an older backup");
    EXPECT_EQ(testing::ReadFile(timer + ".2.bak"), "garbage, no table");
    EXPECT_TRUE(data.tblTimer.active());
    EXPECT_TRUE(data.tblTimer2.active());
    EXPECT_TRUE(data.tblLog.active());
    EXPECT_EQ(data.tblTimer.RecordCount(), 0);
    // The repaired table has the job table's structure again.
    PostNewJob("Mo", "08:00");
    EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), "Y");
}

// A job table of the previous structure (without "nacholen", the field added
// last) is no damage: it opens upgraded, every row kept, with a backup and no
// word; the new field then takes values.
TEST_F(OpenTablesTest, JobTableOfThePreviousStructureIsUpgradedKeepingEveryRow) {
    const std::string timer = dir.path() + "timer.dat";
    engine::TableDef previous = TimerTableDef();
    ASSERT_EQ(previous.fields.back().name, "nacholen");
    previous.fields.pop_back();
    ASSERT_TRUE(engine::CreateTable(timer, previous));
    {
        engine::Session s("old");
        Cursor c(s, timer);
        c.Open();
        for (int i = 1; i <= 3; ++i) {
            c.Append();
            c.FieldByName(jf::kWochentag).SetAsString("MoMiFr");
            c.FieldByName(jf::kUhrzeit).SetAsTime(MakeTime(7 + i, 30));
            c.FieldByName(jf::kPfad).SetAsString("C:\\job" + std::to_string(i) + ".exe");
            c.FieldByName(jf::kAktiv).SetAsString(i == 2 ? "N" : "Y");
            c.FieldByName(jf::kStartzeit).SetAsDateTime(At("2024-05-17 08:30"));
            c.Post();
        }
    }
    const std::string before = testing::ReadFile(timer);
    OpenAll();
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(testing::ReadFile(timer + ".bak"), before);
    ASSERT_TRUE(data.tblTimer.active());
    EXPECT_TRUE(engine::SameStructure(data.tblTimer.def(), TimerTableDef()));
    ASSERT_EQ(data.tblTimer.RecordCount(), 3);
    int i = 1;
    for (data.tblTimer.First(); !data.tblTimer.Eof(); data.tblTimer.Next(), ++i) {
        EXPECT_EQ(data.tblTimerFields.Pfad->AsString(), "C:\\job" + std::to_string(i) + ".exe");
        EXPECT_EQ(data.tblTimerFields.Uhrzeit->AsTime(), MakeTime(7 + i, 30));
        EXPECT_EQ(data.tblTimerFields.Aktiv->AsString(), i == 2 ? "N" : "Y");
        EXPECT_EQ(data.tblTimerFields.ID->AsInteger(), i);
        EXPECT_TRUE(data.tblTimerFields.nacholen->IsNull());
    }
    PostNewJob("Mo", "08:00", "C:\\neu.exe", "Y");
    EXPECT_EQ(data.tblTimerFields.ID->AsInteger(), 4);
    EXPECT_EQ(data.tblTimerFields.nacholen->AsString(), "Y");
    data.tblTimer2.Refresh();
    EXPECT_EQ(data.tblTimer2.RecordCount(), 4);
}

TEST_F(OpenTablesTest, DamagedRunLogIsRepairedEvenWhenTheBackupFails) {
    data.CreateMissingTables();
    const std::string log = dir.path() + "log.dat";
    testing::WriteFile(log, "garbage");
    int copies = 0;
    data.hooks().copyFile = [&](const std::string& from, const std::string& to) {
        ++copies;
        EXPECT_EQ(from, log);
        EXPECT_EQ(to, log + ".bak");
        return false;
    };
    data.OpenTables();
    EXPECT_EQ(copies, 1);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Logtabelle defekt. Es wird versucht die Tabelle zu reparieren.");
    EXPECT_NE(messages[1].find("Die alte Datei konnte nicht gesichert werden."), std::string::npos);
    EXPECT_TRUE(data.tblLog.active());
    data.AppendLogEntry("p", "f");
    EXPECT_EQ(data.tblLog.RecordCount(), 1);
}

TEST_F(OpenTablesTest, RunLogHeldByAnotherCopyIsNotTouched) {
    data.CreateMissingTables();
    const std::string log = dir.path() + "log.dat";
    {
        engine::Session s("Default");
        engine::Cursor c(s, log);
        c.Open();
        c.Append();
        c.FieldByName(lf::kPfad).SetAsString("kept");
        c.Post();
    }
    const std::string before = testing::ReadFile(log);

    // Another copy of the program holds the run log exclusively.
    engine::Session other("Default");
    engine::Cursor held(other, log);
    held.SetExclusive(true);
    held.Open();

    try {
        data.OpenTables();
        ADD_FAILURE() << "opening a held run log succeeded";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.code(), ErrorCode::InUse) << e.what();
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(testing::Exists(log + ".bak"));
    EXPECT_FALSE(data.tblLog.active());
    held.Close();
    EXPECT_EQ(testing::ReadFile(log), before);
    data.tblLog.Open();
    EXPECT_EQ(data.tblLog.RecordCount(), 1);
}

TEST_F(OpenTablesTest, JobTableHeldExclusivelyElsewhereIsNotRepaired) {
    data.CreateMissingTables();
    const std::string timer = dir.path() + "timer.dat";
    engine::Session other("x");
    engine::Cursor held(other, timer);
    held.SetExclusive(true);
    held.Open();
    EXPECT_THROW(data.OpenTables(), EngineError);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(testing::Exists(timer + ".bak"));
    EXPECT_FALSE(data.tblTimer.active());
}

// A job table another program holds at start-up (an open BEGIN EXCLUSIVE) is
// no damage: nothing is repaired or backed up; once it is free, the tick's
// look at the files opens both tables.
TEST_F(OpenTablesTest, JobTableHeldByAnotherProgramAtStartIsOpenedOnceFree) {
    for (engine::Session* s : {&data.ses, &data.Session2, &data.Default}) s->options().busyWaitMs = 1;
    data.CreateMissingTables();
    const std::string timer = dir.path() + "timer.dat";
    const std::string before = testing::ReadFile(timer);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(timer.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    try {
        data.OpenTables();
        ADD_FAILURE() << "a held job table opened";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.code(), ErrorCode::Busy) << e.what();
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(testing::Exists(timer + ".bak"));
    EXPECT_THROW(data.FollowTableFile(JobTable::Timer), EngineError);  // still held
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(testing::ReadFile(timer), before);
    EXPECT_TRUE(data.FollowTableFile(JobTable::Timer).empty());
    EXPECT_TRUE(data.FollowTableFile(JobTable::Log).empty());
    EXPECT_TRUE(data.tblTimer.active());
    EXPECT_TRUE(data.tblTimer2.active());
    EXPECT_TRUE(data.tblLog.active());
    EXPECT_FALSE(testing::Exists(timer + ".bak"));
}

TEST(CopyFileNew, CopiesBytesButNeverOverAFileOrFromAMissingOne) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i * 7);
    testing::WriteFile(dir.path() + "a", bytes);
    EXPECT_TRUE(CopyFileNew(dir.path() + "a", dir.path() + "b"));
    EXPECT_EQ(testing::ReadFile(dir.path() + "b"), bytes);
    testing::WriteFile(dir.path() + "c", "an earlier backup");
    EXPECT_FALSE(CopyFileNew(dir.path() + "a", dir.path() + "c"));
    EXPECT_EQ(testing::ReadFile(dir.path() + "c"), "an earlier backup");
    EXPECT_FALSE(CopyFileNew(dir.path() + "missing", dir.path() + "d"));
    EXPECT_FALSE(testing::Exists(dir.path() + "d"));
}

TEST(FreeBackupPath, FirstTheOldNameThenNumbersThatReplaceNothing) {
    TempDir dir;
    const std::string f = dir.path() + "timer.dat";
    EXPECT_EQ(engine::FreeBackupPath(f), f + ".bak");
    testing::WriteFile(f + ".bak", "1");
    EXPECT_EQ(engine::FreeBackupPath(f), f + ".2.bak");
    testing::WriteFile(f + ".2.bak", "2");
    testing::WriteFile(f + ".4.bak", "4");
    EXPECT_EQ(engine::FreeBackupPath(f), f + ".3.bak");
}

// While running: a table found damaged is repaired as at start-up, with a
// backup beside the earlier ones, and the text says so once; a table that
// is fine is left alone.
TEST_F(OpenTablesTest, RunLogEmptiedWhileRunningIsRepairedAndTakesEntriesAgain) {
    OpenAll();
    data.AppendLogEntry("C:\\a.exe", "Datei nicht gefunden");
    EXPECT_EQ(data.RepairIfDamaged(JobTable::Log, "whatever"), "");
    EXPECT_TRUE(data.tblLog.active());
    EXPECT_EQ(data.tblLog.RecordCount(), 1);

    const std::string log = dir.path() + "log.dat";
    testing::WriteFile(log + ".bak", "from an earlier repair");
    testing::WriteFile(log, "");  // as ": > log.dat" leaves it
    std::string error;
    try {
        data.AppendLogEntry("C:\\b.exe", "Datei nicht gefunden");
    } catch (const EngineError& e) {
        error = e.what();
    }
    ASSERT_NE(error, "") << "an emptied run log took an entry";
    const std::string notice = data.RepairIfDamaged(JobTable::Log, error);
    EXPECT_EQ(notice.rfind("Logtabelle defekt. Logtabelle repariert: 0 Datens\xe4tze", 0), 0u) << notice;
    EXPECT_NE(notice.find("Ersetzt wurde " + log + " (" + error + ")"), std::string::npos) << notice;
    EXPECT_NE(notice.find("Die alte Datei liegt als " + log + ".2.bak vor."), std::string::npos) << notice;
    EXPECT_EQ(testing::ReadFile(log + ".bak"), "from an earlier repair");
    EXPECT_EQ(testing::ReadFile(log + ".2.bak"), "");
    ASSERT_TRUE(data.tblLog.active());
    data.AppendLogEntry("C:\\b.exe", "Datei nicht gefunden");
    EXPECT_EQ(data.tblLog.RecordCount(), 1);
    EXPECT_TRUE(messages.empty());  // said by the caller, after the tick
}

// A job table deleted or replaced by another file while the program runs
// (where the system lets an open file go: not on Windows itself): the cursors
// follow the file now at the path, what the old one held is kept, and the
// text says what happened. Nothing changes while the file stays the same.
TEST_F(OpenTablesTest, JobTableDeletedOrReplacedWhileRunningIsFollowed) {
    OpenAll();
    PostNewJob("Mo", "08:00", "C:\\alt.exe");
    const std::string timer = dir.path() + "timer.dat";
    EXPECT_TRUE(data.FollowTableFile(JobTable::Timer).empty());
    EXPECT_TRUE(data.FollowTableFile(JobTable::Log).empty());

    if (std::remove(timer.c_str()) != 0) GTEST_SKIP() << "the system keeps an open table from being deleted";
    std::vector<std::string> notices = data.FollowTableFile(JobTable::Timer);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "Timertabelle " + timer + " wurde gel\xf6scht, w\xe4hrend Quarvelin lief. Quarvelin hat "
                          "sie neu und leer angelegt; es startet nur noch die Jobs der neuen Tabelle. Was sie bisher "
                          "enthielt, liegt als " + timer + ".bak vor.");
    ASSERT_TRUE(data.tblTimer.active());
    ASSERT_TRUE(data.tblTimer2.active());
    EXPECT_EQ(data.tblTimer.RecordCount(), 0);
    EXPECT_EQ(data.tblTimer2.RecordCount(), 0);
    {
        engine::Session s("check");
        Cursor kept(s, timer + ".bak");
        kept.Open();
        ASSERT_EQ(kept.RecordCount(), 1);
        EXPECT_EQ(kept.FieldByName(jf::kPfad).AsString(), "C:\\alt.exe");
    }

    // Another job table moved over it: its jobs are the ones now.
    const std::string other = dir.path() + "other/";
    std::filesystem::create_directories(other);
    ASSERT_TRUE(CreateTimerTable(other));
    {
        engine::Session s("tool");
        Cursor c(s, other + "timer.dat");
        c.Open();
        c.Append();
        c.FieldByName(jf::kWochentag).SetAsString("Di");
        c.FieldByName(jf::kUhrzeit).SetAsTime(MakeTime(9, 0));
        c.FieldByName(jf::kPfad).SetAsString("C:\\neu.exe");
        c.FieldByName(jf::kAktiv).SetAsString("Y");
        c.Post();
    }
    PostNewJob("Mo", "08:00", "C:\\zwischen.exe");
    ASSERT_EQ(std::rename((other + "timer.dat").c_str(), timer.c_str()), 0);
    notices = data.FollowTableFile(JobTable::Timer);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "Timertabelle " + timer + " wurde durch eine andere Datei ersetzt, w\xe4hrend Quarvelin "
                          "lief. Quarvelin zeigt und startet jetzt die Jobs der neuen Datei. Was sie bisher "
                          "enthielt, liegt als " + timer + ".2.bak vor.");
    data.tblTimer2.First();
    ASSERT_EQ(data.tblTimer2.RecordCount(), 1);
    EXPECT_EQ(data.tblTimer2Fields.Pfad->AsString(), "C:\\neu.exe");
    EXPECT_EQ(data.tblTimer.RecordCount(), 1);
    EXPECT_TRUE(data.FollowTableFile(JobTable::Timer).empty());
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace qv
