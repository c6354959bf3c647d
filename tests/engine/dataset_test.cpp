// Dataset behaviour of a cursor: states, navigation, posting, events, fields.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <map>

#include "engine/Table.h"
#include "tests/engine/EngineTestSupport.h"

namespace qv::engine::test {
namespace {

class DatasetTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.File("Timer.DAT");
        ASSERT_TRUE(CreateTable(path, JobTableDef()));
    }
    // Appends n jobs named job1..jobn.
    void Fill(Cursor& c, int n) {
        for (int i = 1; i <= n; ++i) AppendJob(c, "job" + std::to_string(i));
    }
    std::vector<std::string> Paths(Cursor& c) {
        std::vector<std::string> out;
        for (c.First(); !c.Eof(); c.Next()) out.push_back(c.FieldByName("Pfad").AsString());
        return out;
    }

    ScratchDir dir;
    std::string path;
    Session ses{"ses", QuickOptions()};
    Session ses2{"Session2", QuickOptions()};
};

TEST_F(DatasetTest, OpensEmptyTableWithFieldsInOrder) {
    Cursor c(ses, path);
    EXPECT_EQ(c.state(), DatasetState::Inactive);
    c.Open();
    EXPECT_EQ(c.state(), DatasetState::Browse);
    EXPECT_EQ(c.RecordCount(), 0);
    EXPECT_TRUE(c.Eof());
    EXPECT_TRUE(c.Bof());
    EXPECT_EQ(c.RecNo(), -1);
    const TableDef def = JobTableDef();
    ASSERT_EQ(c.FieldCount(), 11);
    for (int i = 0; i < 11; ++i) {
        Field& f = c.FieldByIndex(i);
        EXPECT_EQ(f.name(), def.fields[static_cast<size_t>(i)].name);
        EXPECT_EQ(f.type(), def.fields[static_cast<size_t>(i)].type);
        EXPECT_EQ(f.size(), def.fields[static_cast<size_t>(i)].size);
        EXPECT_EQ(f.required(), def.fields[static_cast<size_t>(i)].required);
        EXPECT_EQ(f.index(), i);
        EXPECT_TRUE(f.IsNull());
    }
    EXPECT_EQ(&c.FieldByName("pfad"), &c.FieldByIndex(2));  // names are not case-sensitive
    EXPECT_EQ(c.FindField("Nope"), nullptr);
    try {
        c.FieldByName("Nope");
        FAIL() << "unknown field accepted";
    } catch (const EngineError& e) {
        EXPECT_EQ(std::string(e.what()), "Field 'Nope' not found");
    }
    EXPECT_EQ(c.def().languageId, 1031);
    EXPECT_EQ(c.def().description, "timer");
}

TEST_F(DatasetTest, AutoIncrementNumbersAtFirstPostAndNeverReuses) {
    Cursor c(ses, path);
    c.Open();
    c.Append();
    EXPECT_TRUE(c.FieldByName("ID").IsNull());  // not before the post
    c.FieldByName("Wochentag").SetAsString("Jeden Tag");
    c.FieldByName("Uhrzeit").SetAsTime(MakeTime(9, 30));
    c.FieldByName("Pfad").SetAsString("a.exe");
    c.FieldByName("Aktiv").SetAsString("Y");
    c.Post();
    EXPECT_EQ(c.FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(AppendJob(c, "b"), 2);
    EXPECT_EQ(AppendJob(c, "c"), 3);
    c.Last();
    c.Delete();
    c.Last();
    c.Delete();
    EXPECT_EQ(AppendJob(c, "d"), 4);
    // An edit keeps the number.
    c.First();
    c.Edit();
    c.FieldByName("Pfad").SetAsString("a2.exe");
    c.Post();
    EXPECT_EQ(c.FieldByName("ID").AsInteger(), 1);
    // Another session continues the same counter, also after emptying.
    Cursor other(ses2, path);
    other.Open();
    EXPECT_EQ(AppendJob(other, "e"), 5);
    other.EmptyTable();
    EXPECT_EQ(other.RecordCount(), 0);
    EXPECT_EQ(AppendJob(other, "f"), 6);
    EXPECT_EQ(AppendJob(c, "g"), 7);
}

struct RequiredCase {
    std::vector<std::string> leaveEmpty;
    std::string expectedField;  // the first missing one in field order
};

TEST_F(DatasetTest, RequiredFieldsCheckedInFieldOrderBeforeBeforePost) {
    const std::vector<RequiredCase> cases = {
        {{"Pfad"}, "Pfad"},
        {{"Aktiv", "Wochentag"}, "Wochentag"},
        {{"Uhrzeit", "Pfad"}, "Uhrzeit"},
        {{"Intervall"}, "Intervall"},  // required by this cursor only
        {{"Aktiv", "Intervall"}, "Aktiv"},
    };
    Cursor c(ses, path);
    c.Open();
    c.FieldByName("Intervall").SetRequired(true);
    int beforePost = 0;
    c.BeforePost = [&](Cursor&) { ++beforePost; };
    for (const auto& tc : cases) {
        c.Append();
        c.FieldByName("Wochentag").SetAsString("Mo");
        c.FieldByName("Uhrzeit").SetAsTime(MakeTime(7, 0));
        c.FieldByName("Pfad").SetAsString("x");
        c.FieldByName("Aktiv").SetAsString("Y");
        c.FieldByName("Intervall").SetAsString("N");
        for (const auto& f : tc.leaveEmpty) {
            if (c.FieldByName(f).type() == FieldType::String)
                c.FieldByName(f).SetAsString("");  // an empty text counts as missing
            else
                c.FieldByName(f).Clear();
        }
        try {
            c.Post();
            ADD_FAILURE() << "posted without " << tc.expectedField;
        } catch (const EngineError& e) {
            EXPECT_EQ(e.code(), ErrorCode::RequiredMissing);
            EXPECT_EQ(std::string(e.what()), "Feld '" + tc.expectedField + "' mu\xdf einen Wert haben");
        }
        EXPECT_EQ(c.state(), DatasetState::Insert);
        c.Cancel();
    }
    EXPECT_EQ(beforePost, 0);
    EXPECT_EQ(c.RecordCount(), 0);
    // Another cursor keeps the table's own flags: Intervall may stay empty there.
    Cursor scheduler(ses2, path);
    scheduler.Open();
    EXPECT_FALSE(scheduler.FieldByName("Intervall").required());
    AppendJob(scheduler, "ok");
    EXPECT_EQ(scheduler.RecordCount(), 1);
}

TEST_F(DatasetTest, StringsAreCutToFieldSizeOnAssignment) {
    Cursor c(ses, path);
    c.Open();
    c.Append();
    c.FieldByName("Wochentag").SetAsString("MoDiMiDoFrSaSoXYZ");  // 17 characters, field holds 15
    EXPECT_EQ(c.FieldByName("Wochentag").AsString(), "MoDiMiDoFrSaSoX");
    c.FieldByName("Aktiv").SetAsString("Yes");
    EXPECT_EQ(c.FieldByName("Aktiv").AsString(), "Y");
    c.FieldByName("Uhrzeit").SetAsString("08:15");
    c.FieldByName("Pfad").SetAsString(std::string(250, 'p'));
    c.Post();
    Cursor again(ses2, path);
    again.Open();
    EXPECT_EQ(again.FieldByName("Wochentag").AsString(), "MoDiMiDoFrSaSoX");
    EXPECT_EQ(again.FieldByName("Pfad").AsString(), std::string(200, 'p'));
    EXPECT_EQ(again.FieldByName("Uhrzeit").AsTime(), MakeTime(8, 15));
}

TEST_F(DatasetTest, EventsRunInDatasetOrder) {
    Cursor c(ses, path);
    c.Open();
    std::vector<std::string> log;
    c.AfterInsert = [&](Cursor& cur) {
        log.push_back("AfterInsert");
        cur.FieldByName("Aktiv").SetAsString("Y");
    };
    c.BeforePost = [&](Cursor&) { log.push_back("BeforePost"); };
    c.AfterPost = [&](Cursor&) { log.push_back("AfterPost"); };
    c.BeforeScroll = [&](Cursor&) { log.push_back("BeforeScroll"); };
    c.AfterScroll = [&](Cursor&) { log.push_back("AfterScroll"); };
    c.Append();
    c.FieldByName("Wochentag").SetAsString("Mo");
    c.FieldByName("Uhrzeit").SetAsTime(MakeTime(1, 0));
    c.FieldByName("Pfad").SetAsString("p");
    c.Post();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeScroll", "AfterInsert", "AfterScroll", "BeforePost", "AfterPost"}));
    log.clear();
    c.Edit();
    c.FieldByName("Pfad").SetAsString("q");
    c.First();  // leaving the row posts the change first
    EXPECT_EQ(log, (std::vector<std::string>{"BeforePost", "AfterPost", "BeforeScroll", "AfterScroll"}));
}

TEST_F(DatasetTest, LeavingARowPostsAChangedEditAndDropsAnUnchangedOne) {
    Cursor c(ses, path);
    c.Open();
    Fill(c, 2);
    c.AfterInsert = [](Cursor& cur) {
        cur.FieldByName("Aktiv").SetAsString("Y");
        cur.FieldByName("Intervall").SetAsString("N");
    };
    // An insert with only the defaults of AfterInsert is no change: dropped.
    c.Append();
    EXPECT_FALSE(c.Modified());
    c.First();
    EXPECT_EQ(c.state(), DatasetState::Browse);
    EXPECT_EQ(c.RecordCount(), 2);
    // A changed insert is posted by navigation, with the defaults.
    c.Append();
    c.FieldByName("Wochentag").SetAsString("Sa");
    c.FieldByName("Uhrzeit").SetAsTime(MakeTime(6, 0));
    c.FieldByName("Pfad").SetAsString("new");
    EXPECT_TRUE(c.Modified());
    c.Prior();
    EXPECT_EQ(c.state(), DatasetState::Browse);
    EXPECT_EQ(c.RecordCount(), 3);
    // A changed edit is posted by Refresh too.
    c.First();
    c.Edit();
    c.FieldByName("Pfad").SetAsString("changed");
    c.Refresh();
    EXPECT_EQ(c.state(), DatasetState::Browse);
    Cursor other(ses2, path);
    other.Open();
    EXPECT_EQ(Paths(other), (std::vector<std::string>{"changed", "job2", "new"}));
    other.Last();
    EXPECT_EQ(other.FieldByName("Intervall").AsString(), "N");
    // An unchanged edit writes nothing and releases the row.
    c.First();
    c.Edit();
    c.Next();
    EXPECT_EQ(c.state(), DatasetState::Browse);
    other.First();
    EXPECT_FALSE(other.RowLocked());
}

TEST_F(DatasetTest, NavigationVisitsEveryRowOnceAndClamps) {
    Cursor c(ses, path);
    c.Open();
    Fill(c, 4);
    EXPECT_EQ(Paths(c), (std::vector<std::string>{"job1", "job2", "job3", "job4"}));
    c.First();
    EXPECT_TRUE(c.Bof());
    EXPECT_FALSE(c.Eof());
    EXPECT_EQ(c.RecNo(), 0);
    c.Prior();
    EXPECT_TRUE(c.Bof());
    EXPECT_EQ(c.RecNo(), 0);
    c.Last();
    EXPECT_TRUE(c.Eof());
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "job4");
    c.Prior();
    EXPECT_FALSE(c.Eof());
    EXPECT_EQ(c.RecNo(), 2);
    c.MoveTo(99);
    EXPECT_EQ(c.RecNo(), 3);
    c.MoveTo(-5);
    EXPECT_EQ(c.RecNo(), 0);
    EXPECT_TRUE(c.Locate("Pfad", "job3"));
    EXPECT_EQ(c.RecNo(), 2);
    EXPECT_TRUE(c.Locate("ID", "2"));
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "job2");
    EXPECT_TRUE(c.Locate("Uhrzeit", "08:00:00.000"));
    EXPECT_EQ(c.RecNo(), 0);
    c.MoveTo(3);
    EXPECT_FALSE(c.Locate("Pfad", "missing"));
    EXPECT_EQ(c.RecNo(), 3);
}

TEST_F(DatasetTest, InsertGoesBeforeTheCurrentRowAndCancelRestores) {
    Cursor c(ses, path);
    c.Open();
    Fill(c, 3);
    c.MoveTo(1);
    c.Insert();
    EXPECT_EQ(c.RecNo(), 1);
    EXPECT_EQ(c.RecordCount(), 4);
    c.Cancel();
    EXPECT_EQ(c.RecordCount(), 3);
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "job2");
    c.Insert();
    c.FieldByName("Wochentag").SetAsString("So");
    c.FieldByName("Uhrzeit").SetAsTime(MakeTime(3, 0));
    c.FieldByName("Pfad").SetAsString("between");
    c.FieldByName("Aktiv").SetAsString("N");
    c.Post();
    EXPECT_EQ(Paths(c), (std::vector<std::string>{"job1", "between", "job2", "job3"}));
    c.MoveTo(2);
    c.Edit();
    c.FieldByName("Pfad").SetAsString("oops");
    c.Cancel();
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "job2");
    EXPECT_EQ(c.state(), DatasetState::Browse);
    // Fields cannot be written while browsing.
    EXPECT_THROW(c.FieldByName("Pfad").SetAsString("x"), EngineError);
}

TEST_F(DatasetTest, DeleteRemovesTheCurrentRowAndStaysInPlace) {
    Cursor c(ses, path);
    c.Open();
    Fill(c, 3);
    c.MoveTo(1);
    c.Delete();
    EXPECT_EQ(c.RecordCount(), 2);
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "job3");
    c.Delete();
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "job1");
    c.Delete();
    EXPECT_EQ(c.RecordCount(), 0);
    EXPECT_TRUE(c.Eof());
    EXPECT_THROW(c.Delete(), EngineError);
    Cursor other(ses2, path);
    other.Open();
    EXPECT_EQ(other.RecordCount(), 0);
}

TEST_F(DatasetTest, RefreshSeesOtherSessionsAndKeepsTheCurrentRow) {
    Cursor a(ses, path), b(ses2, path);
    a.Open();
    Fill(a, 4);
    b.Open();
    a.MoveTo(2);  // job3
    int rowsChanged = 0;
    a.AddObserver([&](Cursor&, DataChange ch) { rowsChanged += ch == DataChange::RowsChanged; });
    a.Refresh();
    EXPECT_EQ(rowsChanged, 0);  // nothing changed: nothing reloaded
    b.First();
    b.Delete();  // job1
    AppendJob(b, "job5");
    b.Locate("Pfad", "job3");
    b.Edit();
    b.FieldByName("Paramter").SetAsString("-x");
    b.Post();
    EXPECT_EQ(a.RecordCount(), 4);  // not yet seen
    a.Refresh();
    EXPECT_EQ(rowsChanged, 1);
    EXPECT_EQ(a.RecordCount(), 4);
    EXPECT_EQ(a.FieldByName("Pfad").AsString(), "job3");
    EXPECT_EQ(a.FieldByName("Paramter").AsString(), "-x");
    EXPECT_EQ(a.RecNo(), 1);
    // The current row deleted elsewhere: the cursor stays at the same place.
    b.Locate("Pfad", "job3");
    b.Delete();
    a.Refresh();
    EXPECT_EQ(a.RecNo(), 1);
    EXPECT_EQ(a.FieldByName("Pfad").AsString(), "job4");
    a.Last();
    b.Last();
    b.Delete();
    a.Refresh();
    EXPECT_EQ(a.RecNo(), 1);
    EXPECT_EQ(a.FieldByName("Pfad").AsString(), "job4");
}

// More rows than a cursor keeps values of: walking, peeking, seeking and
// reading one row again give each row's own values, before and after other
// users' changes.
TEST_F(DatasetTest, ALargeTableReadsEveryRowRightWherePartsOfItAreKept) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw,
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
                           "INSERT INTO timer(Wochentag, Uhrzeit, Pfad, Aktiv, Paramter, ID) "
                           "SELECT 'Mo', '08:00:00.000', 'job' || i, 'Y', 'p' || i, i FROM n",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    Cursor a(ses, path), b(ses2, path);
    a.Open();
    b.Open();
    int i = 0;
    for (a.First(); !a.Eof(); a.Next())
        ASSERT_EQ(a.FieldByName("Pfad").AsString(), "job" + std::to_string(++i));
    EXPECT_EQ(i, 1500);
    // Another row's values while the current one is being edited.
    a.MoveTo(2);
    a.Edit();
    a.FieldByName("Paramter").SetAsString("mine");
    std::string peeked;
    a.Peek(1399, [&] {
        peeked = a.FieldByName("Pfad").AsString() + " " + a.FieldByName("Paramter").AsString();
        EXPECT_THROW(a.FieldByName("Paramter").SetAsString("x"), EngineError);
    });
    EXPECT_EQ(peeked, "job1400 p1400");
    EXPECT_EQ(a.FieldByName("Paramter").AsString(), "mine");
    a.Post();

    ASSERT_TRUE(b.Locate("Pfad", "job5"));
    const int64_t five = b.RowId();
    b.Edit();
    b.FieldByName("Paramter").SetAsString("changed");
    b.Post();
    ASSERT_TRUE(b.Locate("Pfad", "job10"));
    b.Delete();
    int valuesChanged = 0;
    const int observer = a.AddObserver([&](Cursor&, DataChange ch) { valuesChanged += ch == DataChange::ValuesChanged; });
    a.RefreshRow(five);
    EXPECT_EQ(valuesChanged, 1);
    a.RemoveObserver(observer);
    ASSERT_TRUE(a.Seek(five));
    EXPECT_EQ(a.RecNo(), 4);
    EXPECT_EQ(a.FieldByName("Paramter").AsString(), "changed");
    EXPECT_EQ(a.RecordCount(), 1500);  // the rows as last read
    a.Refresh();
    EXPECT_EQ(a.RecordCount(), 1499);
    ASSERT_TRUE(a.Locate("Pfad", "job1200"));
    const int64_t far = a.RowId();
    a.First();
    ASSERT_TRUE(a.Seek(far));
    EXPECT_EQ(a.RecNo(), 1198);
    EXPECT_EQ(a.FieldByName("Paramter").AsString(), "p1200");
    EXPECT_FALSE(a.Seek(99999));
    EXPECT_EQ(a.RecNo(), 1198);
}

TEST_F(DatasetTest, EditStartsFromTheRowOnDisk) {
    Cursor a(ses, path), b(ses2, path);
    a.Open();
    Fill(a, 2);
    b.Open();
    b.First();
    b.Edit();
    b.FieldByName("Pfad").SetAsString("from b");
    b.Post();
    a.First();
    EXPECT_EQ(a.FieldByName("Pfad").AsString(), "job1");  // stale until it edits
    a.Edit();
    EXPECT_EQ(a.FieldByName("Pfad").AsString(), "from b");
    a.FieldByName("Aktiv").SetAsString("N");
    a.Post();
    b.Refresh();
    b.First();
    EXPECT_EQ(b.FieldByName("Pfad").AsString(), "from b");
    EXPECT_EQ(b.FieldByName("Aktiv").AsString(), "N");
}

TEST_F(DatasetTest, EditOfARowDeletedElsewhereFails) {
    for (bool strict : {true, false}) {
        SCOPED_TRACE(strict);
        ScratchDir d2;
        const std::string p = d2.File("Timer.DAT");
        ASSERT_TRUE(CreateTable(p, JobTableDef()));
        SessionOptions o = QuickOptions();
        o.strictChangeDetection = strict;
        Session s("ses", o);
        Cursor a(s, p), b(ses2, p);
        a.Open();
        Fill(a, 2);
        b.Open();
        b.First();
        b.Delete();
        a.First();
        try {
            a.Edit();
            ADD_FAILURE() << "edited a deleted row";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.code(), ErrorCode::RowDeleted);
        }
        EXPECT_EQ(a.state(), DatasetState::Browse);
        EXPECT_EQ(a.RecordCount(), 1);
        EXPECT_EQ(a.FieldByName("Pfad").AsString(), "job2");
    }
}

TEST_F(DatasetTest, FieldConversionsAreCheckedAndClear) {
    Cursor c(ses, path);
    c.Open();
    c.Append();
    Field& t = c.FieldByName("Uhrzeit");
    Field& dt = c.FieldByName("Startzeit");
    Field& id = c.FieldByName("ID");
    for (const char* bad : {"25:00", "8 Uhr", "12:60:00"}) {
        try {
            t.SetAsString(bad);
            ADD_FAILURE() << bad;
        } catch (const EngineError& e) {
            EXPECT_EQ(e.code(), ErrorCode::Conversion);
            EXPECT_NE(std::string(e.what()).find("Uhrzeit"), std::string::npos);
        }
    }
    EXPECT_THROW(dt.SetAsString("2024-02-30 10:00"), EngineError);
    EXPECT_THROW(id.SetAsString("12a"), EngineError);
    EXPECT_THROW(t.SetAsInteger(5), EngineError);
    t.SetAsString("23:59:59.999");
    EXPECT_EQ(t.AsTime(), MakeTime(23, 59, 59, 999));
    EXPECT_EQ(t.AsString(), "23:59:59.999");
    dt.SetAsDateTime(MakeDateTime(2025, 1, 2, 3, 4, 5, 6));
    EXPECT_EQ(dt.AsString(), "2025-01-02 03:04:05.006");
    EXPECT_EQ(dt.AsTime(), MakeTime(3, 4, 5, 6));
    dt.Clear();
    EXPECT_TRUE(dt.IsNull());
    EXPECT_EQ(dt.AsDateTime(), DateTime{});  // empty reads as 0
    c.FieldByName("Pfad").SetAsInteger(42);
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "42");
    EXPECT_EQ(c.FieldByName("Pfad").AsInteger(), 42);
    c.Cancel();
}

TEST_F(DatasetTest, ObserversHearWhatChanged) {
    Cursor c(ses, path);
    std::map<DataChange, int> seen;
    int id = c.AddObserver([&](Cursor&, DataChange ch) { ++seen[ch]; });
    c.Open();
    EXPECT_EQ(seen[DataChange::Opened], 1);
    AppendJob(c, "a");
    EXPECT_GE(seen[DataChange::StateChanged], 2);  // to insert and back
    EXPECT_GE(seen[DataChange::FieldChanged], 4);
    c.First();
    EXPECT_EQ(seen[DataChange::Scrolled], 1);
    c.RemoveObserver(id);
    c.Next();
    c.Close();
    EXPECT_EQ(seen[DataChange::Scrolled], 1);
    EXPECT_EQ(seen[DataChange::Closed], 0);
}

TEST_F(DatasetTest, DateTimesAndTimesRoundTripExactly) {
    const std::vector<DateTime> dates = {
        DateTime{0},
        MakeDateTime(2024, 2, 29, 23, 59, 59, 999),
        MakeDateTime(1999, 12, 31, 0, 0, 0, 1),
        MakeDateTime(9999, 12, 31, 23, 59, 59, 999),
        MakeDateTime(2026, 3, 29, 2, 30, 0, 500),
    };
    const std::vector<TimeOfDay> times = {MakeTime(0, 0), MakeTime(23, 59, 59, 999), MakeTime(12, 0, 0, 1)};
    Cursor c(ses, path);
    c.Open();
    for (size_t i = 0; i < dates.size(); ++i) {
        c.Append();
        c.FieldByName("Wochentag").SetAsString("Mo");
        c.FieldByName("Uhrzeit").SetAsTime(times[i % times.size()]);
        c.FieldByName("Pfad").SetAsString("p" + std::to_string(i));
        c.FieldByName("Aktiv").SetAsString("Y");
        c.FieldByName("Startzeit").SetAsDateTime(dates[i]);
        c.Post();
    }
    Cursor r(ses2, path);
    r.Open();
    size_t i = 0;
    for (r.First(); !r.Eof(); r.Next(), ++i) {
        EXPECT_EQ(r.FieldByName("Startzeit").AsDateTime().ms, dates[i].ms);
        EXPECT_EQ(r.FieldByName("Uhrzeit").AsTime().ms, times[i % times.size()].ms);
    }
    EXPECT_EQ(i, dates.size());
}

std::string RawText(const std::string& path, const std::string& query) {
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

TEST_F(DatasetTest, TextIsUtf8OnDiskAndCodePageInMemory) {
    struct Case {
        const TextCodec* codec;
        std::string memory, disk;
    };
    const std::vector<Case> cases = {
        {&Windows1252Codec(), "Gr\xfc\xdf" "e \xc4\xd6\xdc\xe4\xf6\xfc \x80 \x93x\x94",
         "Gr\xc3\xbc\xc3\x9f" "e \xc3\x84\xc3\x96\xc3\x9c\xc3\xa4\xc3\xb6\xc3\xbc \xe2\x82\xac \xe2\x80\x9cx\xe2\x80\x9d"},
        // The platform's code page: the umlauts mean the same in every western one.
        {&PlatformCodec(), "M\xfcller \xdf", "M\xc3\xbcller \xc3\x9f"},
    };
    for (const auto& tc : cases) {
        ses.SetCodec(tc.codec);
        Cursor c(ses, path);
        c.Open();
        c.EmptyTable();
        AppendJob(c, tc.memory);
        EXPECT_EQ(RawText(path, "SELECT Pfad FROM timer"), tc.disk);
        Cursor again(ses, path);
        again.Open();
        EXPECT_EQ(again.FieldByName("Pfad").AsString(), tc.memory);
    }
    // All 256 byte values survive the Windows-1252 round trip.
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Windows1252Codec().FromStorage(Windows1252Codec().ToStorage(all)), all);
}

TEST_F(DatasetTest, OperationsNeedAnOpenCursor) {
    Cursor c(ses, path);
    EXPECT_THROW(c.First(), EngineError);
    EXPECT_THROW(c.Append(), EngineError);
    EXPECT_THROW(c.Refresh(), EngineError);
    EXPECT_FALSE(c.RowLocked());
    Cursor missing(ses, dir.File("nothere.DAT"));
    try {
        missing.Open();
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.code(), ErrorCode::NotFound);
    }
    c.Open();
    EXPECT_THROW(c.SetPath(dir.File("x.DAT")), EngineError);
    c.Close();
    c.Close();
    EXPECT_EQ(c.state(), DatasetState::Inactive);
}

}  // namespace
}  // namespace qv::engine::test
