#include <gtest/gtest.h>

#include "jobs/Tables.h"
#include "tests/jobs/TempDir.h"

namespace qv {
namespace {

using engine::FieldType;
using testing::TempDir;

struct Expected {
    const char* name;
    FieldType type;
    int size;
    bool required;
};

void ExpectFields(const engine::TableDef& def, const std::vector<Expected>& want) {
    ASSERT_EQ(def.fields.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(def.fields[i].name, want[i].name) << "field " << i + 1;
        EXPECT_EQ(def.fields[i].type, want[i].type) << want[i].name;
        if (want[i].type == FieldType::String) {
            EXPECT_EQ(def.fields[i].size, want[i].size) << want[i].name;
        }
        EXPECT_EQ(def.fields[i].required, want[i].required) << want[i].name;
    }
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
    ExpectFields(def, {
                          {"Wochentag", FieldType::String, 15, true},
                          {"Uhrzeit", FieldType::Time, 0, true},
                          {"Pfad", FieldType::String, 200, true},
                          {"Aktiv", FieldType::String, 1, true},
                          {"Startzeit", FieldType::DateTime, 0, false},
                          {"Intervall", FieldType::String, 1, false},
                          {"WindowState", FieldType::String, 30, false},
                          {"Paramter", FieldType::String, 50, false},
                          {"operation", FieldType::String, 15, false},
                          {"ID", FieldType::AutoInc, 0, false},
                          {"nacholen", FieldType::String, 1, false},
                      });
    EXPECT_TRUE(def.indexes.empty());
    EXPECT_EQ(def.languageId, 1031);
    EXPECT_EQ(def.sortId, 0);
    EXPECT_EQ(def.description, "timer");
}

TEST(Tables, RunLogIsCreatedWithFourFieldsAndAUniquePrimaryIndexOnId) {
    TempDir dir;
    ASSERT_TRUE(CreateLogTable(dir.path()));
    const engine::TableDef def = StoredDef(dir.path() + "log.dat");
    ExpectFields(def, {
                          {"ID", FieldType::AutoInc, 0, true},
                          {"Pfad", FieldType::String, 250, true},
                          {"Fehler", FieldType::String, 30, false},
                          {"Zeit", FieldType::DateTime, 0, false},
                      });
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
