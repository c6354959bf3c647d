#include <gtest/gtest.h>

#include "jobs/Tables.h"
#include "tests/jobs/TempDir.h"

namespace qv {
namespace {

using engine::FieldType;
using testing::TempDir;

// The fields as "name type[size][*]" (size for strings, * when required),
// comma-separated: the on-disk structure that files of earlier versions share.
std::string Fields(const engine::TableDef& def) {
    const char* const types[] = {"String", "Time", "DateTime", "Integer", "AutoInc"};
    std::string out;
    for (const engine::FieldDef& f : def.fields) {
        out += (out.empty() ? "" : ", ") + f.name + " " + types[static_cast<int>(f.type)];
        if (f.type == FieldType::String) out += std::to_string(f.size);
        if (f.required) out += "*";
    }
    return out;
}

// The structure as the file holds it, read back through a cursor.
engine::TableDef StoredDef(const std::string& path) {
    engine::Session session("probe");
    engine::Cursor cursor(session, path);
    cursor.Open();
    return cursor.def();
}

TEST(Tables, JobTableIsCreatedWithItsElevenFieldsAndNoIndex) {
    TempDir dir;
    ASSERT_TRUE(CreateTimerTable(dir.path()));
    ASSERT_TRUE(testing::Exists(dir.path() + "timer.dat"));
    const engine::TableDef def = StoredDef(dir.path() + "timer.dat");
    EXPECT_EQ(Fields(def), "Wochentag String15*, Uhrzeit Time*, Pfad String200*, Aktiv String1*, Startzeit DateTime, "
                           "Intervall String1, WindowState String30, Paramter String50, operation String15, "
                           "ID AutoInc, nacholen String1");
    EXPECT_TRUE(def.indexes.empty());
    EXPECT_EQ(def.languageId, 1031);
    EXPECT_EQ(def.sortId, 0);
    EXPECT_EQ(def.description, "timer");
}

TEST(Tables, RunLogIsCreatedWithFourFieldsAndAUniquePrimaryIndexOnId) {
    TempDir dir;
    ASSERT_TRUE(CreateLogTable(dir.path()));
    const engine::TableDef def = StoredDef(dir.path() + "log.dat");
    EXPECT_EQ(Fields(def), "ID AutoInc*, Pfad String250*, Fehler String30, Zeit DateTime");
    ASSERT_EQ(def.indexes.size(), 1u);
    EXPECT_EQ(def.indexes[0].name, "");
    EXPECT_EQ(def.indexes[0].fields, std::vector<std::string>{"ID"});
    EXPECT_TRUE(def.indexes[0].primary);
    EXPECT_TRUE(def.indexes[0].unique);
    EXPECT_EQ(def.languageId, 1031);
    EXPECT_EQ(def.sortId, 0);
}

TEST(Tables, ExistingFilesAreLeftExactlyAsTheyAre) {
    TempDir dir;
    // Something of another structure (here: not a table at all).
    testing::WriteFile(dir.path() + "timer.dat", "not a job table");
    testing::WriteFile(dir.path() + "log.dat", "not a run log");
    EXPECT_FALSE(CreateTimerTable(dir.path()));
    EXPECT_FALSE(CreateLogTable(dir.path()));
    EXPECT_EQ(testing::ReadFile(dir.path() + "timer.dat"), "not a job table");
    EXPECT_EQ(testing::ReadFile(dir.path() + "log.dat"), "not a run log");

    // A real table with rows survives a second create untouched.
    TempDir dir2;
    ASSERT_TRUE(CreateLogTable(dir2.path()));
    {
        engine::Session session("s");
        engine::Cursor log(session, dir2.path() + "log.dat");
        log.Open();
        log.Append();
        log.FieldByName("Pfad").SetAsString("C:\\x.exe");
        log.Post();
    }
    const std::string before = testing::ReadFile(dir2.path() + "log.dat");
    EXPECT_FALSE(CreateLogTable(dir2.path()));
    EXPECT_EQ(testing::ReadFile(dir2.path() + "log.dat"), before);
}

}  // namespace
}  // namespace qv
