// Creating, restructuring, checking and repairing table files.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "engine/Table.h"
#include "tests/engine/EngineTestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace qv::engine::test {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Runs a query with the plain SQLite API; returns the rows as "a|b|c" strings.
std::vector<std::string> Raw(const std::string& path, const std::string& query) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const unsigned char* t = sqlite3_column_text(st, i);
            row += (i ? "|" : "") + std::string(t ? reinterpret_cast<const char*>(t) : "NULL");
        }
        rows.push_back(row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

class FileTest : public ::testing::Test {
protected:
    ScratchDir dir;
    Session ses{"ses", QuickOptions()};
};

TEST_F(FileTest, CreateWritesAPlainSqliteTableNamedAfterTheFile) {
    const std::string job = dir.File("timer.dat");
    const std::string log = dir.File("log.dat");
    EXPECT_FALSE(TableExists(job));
    ASSERT_TRUE(CreateTable(job, JobTableDef()));
    ASSERT_TRUE(CreateTable(log, LogTableDef()));
    EXPECT_TRUE(TableExists(job));
    EXPECT_EQ(Raw(job, "SELECT group_concat(name || ':' || type, ',') FROM pragma_table_info('timer')"),
              std::vector<std::string>{"Wochentag:TEXT,Uhrzeit:TEXT,Pfad:TEXT,Aktiv:TEXT,Startzeit:TEXT,"
                                       "Intervall:TEXT,WindowState:TEXT,Paramter:TEXT,operation:TEXT,"
                                       "ID:INTEGER,nacholen:TEXT"});
    // No index but the two of the lookup of due jobs.
    EXPECT_EQ(Raw(job, "SELECT group_concat(name, ',') FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"),
              std::vector<std::string>{"timer$time:Aktiv:Startzeit,timer$odd:Aktiv:Startzeit"});
    // The run log's primary index is a real unique index on ID.
    EXPECT_EQ(Raw(log, "SELECT il.\"unique\", ii.name FROM pragma_index_list('log') il, "
                       "pragma_index_info(il.name) ii WHERE il.origin='c'"),
              std::vector<std::string>{"1|ID"});
    // Definitions are read back from the file.
    Cursor c(ses, log);
    c.Open();
    const TableDef& d = c.def();
    ASSERT_EQ(d.fields.size(), 4u);
    EXPECT_EQ(d.fields[1].name, "Pfad");
    EXPECT_EQ(d.fields[1].size, 250);
    EXPECT_TRUE(d.fields[1].required);
    EXPECT_FALSE(d.fields[2].required);
    EXPECT_EQ(d.fields[3].type, FieldType::DateTime);
    ASSERT_EQ(d.indexes.size(), 1u);
    EXPECT_TRUE(d.indexes[0].primary);
    EXPECT_EQ(d.indexes[0].fields, std::vector<std::string>{"ID"});
    EXPECT_EQ(d.languageId, 1031);
    // The unique index is enforced.
    c.Append();
    c.FieldByName("Pfad").SetAsString("a");
    c.Post();
    c.Append();
    c.FieldByName("Pfad").SetAsString("b");
    c.FieldByName("ID").SetAsInteger(1);
    EXPECT_THROW(c.Post(), EngineError);
    EXPECT_EQ(c.state(), DatasetState::Insert);
    c.Cancel();
    // Empty fields are NULL on disk.
    EXPECT_EQ(Raw(log, "SELECT ID, Pfad, Fehler, Zeit FROM log"), std::vector<std::string>{"1|a|NULL|NULL"});
}

TEST_F(FileTest, CreateLeavesAnExistingFileUntouched) {
    const std::string path = dir.File("Timer.DAT");
    const std::vector<std::string> contents = {
        "not a database at all",
        std::string(),
    };
    for (const auto& bytes : contents) {
        WriteBytes(path, bytes);
        EXPECT_FALSE(CreateTable(path, JobTableDef()));
        EXPECT_EQ(ReadBytes(path), bytes);
    }
    // A table of another structure stays as it is.
    fs::remove(path);
    ASSERT_TRUE(CreateTable(path, LogTableDef()));
    const std::string before = ReadBytes(path);
    EXPECT_FALSE(CreateTable(path, JobTableDef()));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_THROW(CreateTable(dir.File("bad.DAT"), TableDef{}), EngineError);  // no fields
    EXPECT_FALSE(TableExists(dir.File("bad.DAT")));
}

// The table appears complete or not at all: what a creator that died left
// behind is no table and goes; while another creator is at it, a second waits
// and then leaves that one's table as it is.
TEST_F(FileTest, CreateMakesTheWholeTableOrNoneAndCreatorsTakeTurns) {
    const std::string path = dir.File("timer.dat");
    WriteBytes(path + ".new", "half a table");
    WriteBytes(path + ".new-journal", "a journal of it");
    ASSERT_TRUE(CreateTable(path, JobTableDef()));
    EXPECT_FALSE(fs::exists(path + ".new"));
    EXPECT_FALSE(fs::exists(path + ".new-journal"));
    Cursor c(ses, path);
    c.Open();
    EXPECT_EQ(c.def().fields.size(), 11u);

    const std::string other = dir.File("other.dat"), made = dir.File("made.dat");
    ASSERT_TRUE(CreateTable(made, LogTableDef()));
    test::LockHolder creator({other, "create", made});
    ASSERT_EQ(creator.firstLine(), "locked");
    EXPECT_FALSE(CreateTable(other, JobTableDef()));
    EXPECT_EQ(ReadBytes(other), ReadBytes(made));
    creator.Release();
}

TEST_F(FileTest, RestructureKeepsTheValuesOfRemainingFields) {
    const std::string path = dir.File("Timer.DAT");
    ASSERT_TRUE(CreateTable(path, JobTableDef()));
    {
        Cursor c(ses, path);
        c.Open();
        for (int i = 1; i <= 5; ++i) {
            c.Append();
            c.FieldByName("Wochentag").SetAsString("MoDiMiDoFr");
            c.FieldByName("Uhrzeit").SetAsTime(MakeTime(i, 0));
            c.FieldByName("Pfad").SetAsString("prog" + std::to_string(i) + ".exe");
            c.FieldByName("Aktiv").SetAsString("Y");
            c.FieldByName("Startzeit").SetAsDateTime(MakeDateTime(2025, 6, i, 8, 0, 0, i));
            c.FieldByName("Paramter").SetAsString("-p" + std::to_string(i));
            c.Post();
        }
        c.First();
        c.Delete();  // ID 1 gone: the counter must still go on from 6
    }
    TableDef def = JobTableDef();
    def.fields.erase(def.fields.begin() + 7);                   // Paramter dropped
    def.fields[0].size = 4;                                      // Wochentag shrinks
    def.fields.push_back({"Neu", FieldType::String, 10, false});  // a new field
    def.description = "restructured";
    RestructureTable(path, def);
    Cursor c(ses, path);
    c.Open();
    EXPECT_EQ(c.FieldCount(), 11);
    EXPECT_EQ(c.FindField("Paramter"), nullptr);
    EXPECT_EQ(c.def().description, "restructured");
    ASSERT_EQ(c.RecordCount(), 4);
    int n = 2;
    for (c.First(); !c.Eof(); c.Next(), ++n) {
        EXPECT_EQ(c.FieldByName("Wochentag").AsString(), "MoDi");
        EXPECT_EQ(c.FieldByName("Uhrzeit").AsTime(), MakeTime(n, 0));
        EXPECT_EQ(c.FieldByName("Pfad").AsString(), "prog" + std::to_string(n) + ".exe");
        EXPECT_EQ(c.FieldByName("Startzeit").AsDateTime(), MakeDateTime(2025, 6, n, 8, 0, 0, n));
        EXPECT_EQ(c.FieldByName("ID").AsInteger(), n);
        EXPECT_TRUE(c.FieldByName("Neu").IsNull());
    }
    EXPECT_EQ(AppendJob(c, "after"), 6);
}

TEST_F(FileTest, CreateThenRestructureAsStartUpDoes) {
    const std::string path = dir.File("log.dat");
    TableDef def = LogTableDef();
    ASSERT_TRUE(CreateTable(path, def));
    def.languageId = 1031;
    def.sortId = 0;
    RestructureTable(path, def);
    Cursor c(ses, path);
    c.SetExclusive(true);
    c.Open();
    EXPECT_EQ(c.RecordCount(), 0);
    EXPECT_EQ(c.def().indexes.size(), 1u);
}

// Turns a good table into a damaged one.
struct Damage {
    const char* what;
    void (*apply)(const std::string& path);
};

void MakeRows(Session& ses, const std::string& path, int n) {
    Cursor c(ses, path);
    c.Open();
    for (int i = 1; i <= n; ++i)
        AppendJob(c, "row " + std::to_string(i) + " " + std::string(150, static_cast<char>('a' + i % 26)));
}

TEST_F(FileTest, OpenRecognisesDamagedFiles) {
    const std::vector<Damage> damages = {
        {"garbage", [](const std::string& p) { WriteBytes(p, std::string(5000, '\x5a')); }},
        {"empty file", [](const std::string& p) { WriteBytes(p, ""); }},
        {"truncated", [](const std::string& p) { fs::resize_file(p, fs::file_size(p) / 2); }},
        {"header smashed",
         [](const std::string& p) {
             std::string b = ReadBytes(p);
             for (size_t i = 0; i < 16; ++i) b[i] = 'x';
             WriteBytes(p, b);
         }},
        {"page smashed",
         [](const std::string& p) {
             std::string b = ReadBytes(p);
             for (size_t i = b.size() / 2; i < b.size() / 2 + 3000; ++i) b[i] = '\x7f';
             WriteBytes(p, b);
         }},
        {"no metadata",
         [](const std::string& p) {
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "DROP TABLE qv_meta", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         }},
        {"no data table",
         [](const std::string& p) {
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "DROP TABLE timer", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         }},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.what);
        const fs::path sub = fs::path(dir.path()) / std::to_string(&damage - &damages[0]);
        fs::create_directories(sub);
        const std::string path = (sub / "Timer.DAT").string();
        ASSERT_TRUE(CreateTable(path, JobTableDef()));
        MakeRows(ses, path, 60);
        damage.apply(path);
        Cursor c(ses, path);
        try {
            c.Open();
            ADD_FAILURE() << "opened a damaged table";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.code(), ErrorCode::Damaged) << e.what();
        }
        EXPECT_FALSE(c.active());
        // Repair makes it usable again and keeps what can be read.
        const int salvaged = RepairTable(path, JobTableDef()).kept;
        c.Open();
        EXPECT_EQ(c.RecordCount(), salvaged);
        EXPECT_EQ(c.FieldCount(), 11);
    }
}

TEST_F(FileTest, RepairSalvagesTheReadableRowsOfATruncatedFile) {
    const std::string path = dir.File("Timer.DAT");
    ASSERT_TRUE(CreateTable(path, JobTableDef()));
    const int total = 300;
    MakeRows(ses, path, total);
    const auto size = fs::file_size(path);
    fs::resize_file(path, size * 6 / 10);
    const int salvaged = RepairTable(path, JobTableDef()).kept;
    EXPECT_GT(salvaged, 0);
    EXPECT_LT(salvaged, total);
    Cursor c(ses, path);
    c.Open();
    EXPECT_EQ(c.RecordCount(), salvaged);
    for (c.First(); !c.Eof(); c.Next()) {
        const int64_t id = c.FieldByName("ID").AsInteger();
        EXPECT_EQ(c.FieldByName("Pfad").AsString(),
                  "row " + std::to_string(id) + " " + std::string(150, static_cast<char>('a' + id % 26)));
        EXPECT_EQ(c.FieldByName("Uhrzeit").AsTime(), MakeTime(8, 0));
    }
    EXPECT_GT(AppendJob(c, "new"), total);  // numbers are not given out twice
}

// One page overwritten anywhere in a 300-row job table: every row that plain
// SQLite can still read by its row id comes through the repair, unchanged, and
// nothing made up from the damaged bytes does.
TEST_F(FileTest, RepairKeepsEveryRowThatCanStillBeReadPastADamagedPage) {
    const std::string original = dir.File("Timer.DAT");
    ASSERT_TRUE(CreateTable(original, JobTableDef()));
    RestructureTable(original, JobTableDef());  // as start-up makes it
    auto pfadOf = [](int64_t id) { return "C:\\Programme\\Werkzeug\\job" + std::to_string(id) + ".exe"; };
    {
        Cursor c(ses, original);
        c.Open();
        for (int i = 1; i <= 300; ++i) {  // as the program posts them
            c.Append();
            c.FieldByName("Wochentag").SetAsString("MoMiFr");
            c.FieldByName("Uhrzeit").SetAsTime(MakeTime(8, 0));
            c.FieldByName("Pfad").SetAsString(pfadOf(i));
            c.FieldByName("Aktiv").SetAsString("Y");
            c.FieldByName("Intervall").SetAsString("N");
            c.FieldByName("WindowState").SetAsString("Standard");
            c.FieldByName("Startzeit").SetAsDateTime(MakeDateTime(2024, 5, 15, 8, 0));
            c.Post();
        }
    }
    const std::string bytes = ReadBytes(original);
    for (size_t at = 4096; at + 400 <= bytes.size(); at += 1024) {
        SCOPED_TRACE("400 bytes overwritten at " + std::to_string(at));
        const fs::path sub = fs::path(dir.path()) / std::to_string(at);
        fs::create_directories(sub);
        const std::string path = (sub / "Timer.DAT").string();
        std::string damaged = bytes;
        std::fill(damaged.begin() + static_cast<std::ptrdiff_t>(at),
                  damaged.begin() + static_cast<std::ptrdiff_t>(at + 400), '\xa5');
        WriteBytes(path, damaged);

        std::set<int64_t> readable;
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        for (int64_t id = 1; id <= 300; ++id) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT Wochentag, Uhrzeit, Pfad, Aktiv, ID FROM timer WHERE rowid=?1",
                                   -1, &st, nullptr) != SQLITE_OK)
                break;
            sqlite3_bind_int64(st, 1, id);
            auto text = [&](int i) {
                const unsigned char* t = sqlite3_column_text(st, i);
                return std::string(t ? reinterpret_cast<const char*>(t) : "");
            };
            if (sqlite3_step(st) == SQLITE_ROW && text(0) == "MoMiFr" && text(1) == "08:00:00.000" &&
                text(2) == pfadOf(id) && text(3) == "Y" && sqlite3_column_int64(st, 4) == id)
                readable.insert(id);
            sqlite3_finalize(st);
        }
        sqlite3_close(db);

        const RepairResult result = RepairTable(path, JobTableDef());
        Cursor c(ses, path);
        c.Open();
        EXPECT_EQ(c.RecordCount(), result.kept);
        std::set<int64_t> kept;
        for (c.First(); !c.Eof(); c.Next()) {
            const int64_t id = c.FieldByName("ID").AsInteger();
            EXPECT_EQ(c.FieldByName("Pfad").AsString(), pfadOf(id));
            EXPECT_EQ(c.FieldByName("Wochentag").AsString(), "MoMiFr");
            kept.insert(id);
        }
        for (int64_t id : readable) EXPECT_TRUE(kept.count(id)) << "row " << id << " was readable";
        EXPECT_LE(result.kept + result.unreadable, 300);
    }
}

// A table that is no job table of ours: its columns are taken by name, in any
// order and case; rows without a value for a required field are left out and
// counted, not turned into jobs that could never run.
TEST_F(FileTest, RepairTakesAnotherStructureByColumnNameWithoutIncompleteRows) {
    const std::string path = dir.File("Timer.DAT");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE timer(pfad TEXT, extra INTEGER, UHRZEIT TEXT, wochentag TEXT, aktiv TEXT);"
                           "INSERT INTO timer VALUES('C:\\a.exe', 1, '08:00:00.000', 'Mo', 'Y');"
                           "INSERT INTO timer VALUES('C:\\b.exe', 2, NULL, 'Di', 'Y');"
                           "INSERT INTO timer VALUES('C:\\c.exe', 3, 'kaputt', 'Mi', 'Y');"
                           "INSERT INTO timer VALUES('C:\\d.exe', 4, '09:30:00.000', '', 'Y');"
                           "INSERT INTO timer VALUES('C:\\e.exe', 5, '10:00:00.000', 'Fr', 'N');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const RepairResult result = RepairTable(path, JobTableDef());
    EXPECT_EQ(result.kept, 2);
    EXPECT_EQ(result.unreadable, 3);
    Cursor c(ses, path);
    c.Open();
    ASSERT_EQ(c.RecordCount(), 2);
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "C:\\a.exe");
    EXPECT_EQ(c.FieldByName("Wochentag").AsString(), "Mo");
    EXPECT_EQ(c.FieldByName("Uhrzeit").AsTime(), MakeTime(8, 0));
    EXPECT_EQ(c.FieldByName("ID").AsInteger(), 1);
    c.Next();
    EXPECT_EQ(c.FieldByName("Pfad").AsString(), "C:\\e.exe");
    EXPECT_EQ(c.FieldByName("Aktiv").AsString(), "N");
    c.Close();

    // Without a column for a required field no row can be taken.
    const std::string other = dir.File("log.DAT");
    ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE log(Fehler TEXT); INSERT INTO log VALUES('x');", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const RepairResult none = RepairTable(other, LogTableDef());
    EXPECT_EQ(none.kept, 0);
    EXPECT_EQ(none.unreadable, 1);
}

TEST_F(FileTest, RepairTurnsGarbageOrNothingIntoAnEmptyTable) {
    const std::string path = dir.File("Timer.DAT");
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919) % 251);
    WriteBytes(path, garbage);
    WriteBytes(path + "-journal", "stale journal");
    EXPECT_EQ(RepairTable(path, JobTableDef()).kept, 0);
    EXPECT_FALSE(fs::exists(path + "-journal"));
    Cursor c(ses, path);
    c.Open();
    EXPECT_EQ(c.RecordCount(), 0);
    EXPECT_EQ(AppendJob(c, "first"), 1);
    c.Close();
    const std::string missing = dir.File("log.DAT");
    EXPECT_EQ(RepairTable(missing, LogTableDef()).kept, 0);
    Cursor l(ses, missing);
    l.Open();
    EXPECT_EQ(l.FieldCount(), 4);
}

TEST_F(FileTest, RepairOfAGoodTableKeepsEveryRow) {
    const std::string path = dir.File("Timer.DAT");
    ASSERT_TRUE(CreateTable(path, JobTableDef()));
    MakeRows(ses, path, 25);
    EXPECT_EQ(RepairTable(path, JobTableDef()).kept, 25);
    Cursor c(ses, path);
    c.Open();
    EXPECT_EQ(c.RecordCount(), 25);
    EXPECT_EQ(AppendJob(c, "next"), 26);
}

TEST_F(FileTest, TablesInADirectoryWithAnUmlautInItsName) {
    // Paths are in the program's code page; the database, its journal and the
    // lock file must all land in the same directory.
    const std::string sub = dir.path() + "/M\xfcller";
#ifdef _WIN32
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
#else
    ASSERT_EQ(mkdir(sub.c_str(), 0777), 0);
#endif
    const std::string path = sub + "/Timer.DAT";
    ASSERT_TRUE(CreateTable(path, JobTableDef()));
    EXPECT_TRUE(TableExists(path));
    {
        Cursor c(ses, path);
        c.Open();
        AppendJob(c, "x");
        c.Edit();
        EXPECT_TRUE(TableExists(path + ".lck"));
        c.Cancel();
    }
    EXPECT_EQ(RepairTable(path, JobTableDef()).kept, 1);
    RestructureTable(path, JobTableDef());
    Cursor c(ses, path);
    c.Open();
    EXPECT_EQ(c.RecordCount(), 1);
}

}  // namespace
}  // namespace qv::engine::test
