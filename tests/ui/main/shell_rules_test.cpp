#include <gtest/gtest.h>

#include <set>

#include "jobs/JobData.h"
#include "schema/JobSchema.h"
#include "tests/jobs/TempDir.h"
#include "ui/main/ColumnWidths.h"
#include "ui/main/DropJobs.h"

namespace jf = qv::schema::job;

namespace qv::ui {
namespace {

// The design widths of the five scaled job columns, and what the screen shows.
TEST(ColumnWidths, DesignWidthsScaleByTruncation) {
    struct Case {
        int dpi;
        int design;
        int screen;
    } cases[] = {{96, 30, 30},  {120, 30, 37}, {120, 43, 53}, {120, 68, 85},
                 {120, 190, 237}, {120, 56, 70}, {144, 30, 45}, {72, 30, 22}};
    for (const auto& c : cases)
        EXPECT_EQ(ColumnWidthForScreen(c.design, c.dpi), c.screen) << c.design << " @ " << c.dpi;
}

// A restart at the same resolution restores the widths the last run showed:
// what the program loaded is stored back unchanged, and a width the user
// dragged settles after one round and never grows again.
TEST(ColumnWidths, RestartsAtTheSameResolutionDoNotGrowWidths) {
    for (int dpi : {72, 96, 120, 144, 192}) {
        for (int stored = 1; stored <= 2000; ++stored) {
            const int shown = ColumnWidthForScreen(stored, dpi);
            const int restored = ColumnWidthForScreen(ColumnWidthForStorage(shown, dpi), dpi);
            ASSERT_EQ(restored, shown) << "stored " << stored << " @ " << dpi;
        }
        for (int dragged = 1; dragged <= 2000; ++dragged) {
            const int first = ColumnWidthForScreen(ColumnWidthForStorage(dragged, dpi), dpi);
            ASSERT_GE(first, dragged) << dragged << " @ " << dpi;
            ASSERT_LE(first, dragged + 1) << dragged << " @ " << dpi;
            int shown = first;
            for (int run = 0; run < 5; ++run)
                shown = ColumnWidthForScreen(ColumnWidthForStorage(shown, dpi), dpi);
            ASSERT_EQ(shown, first) << dragged << " @ " << dpi;
        }
    }
}

TEST(ColumnWidths, At96DpiStorageIsIdentity) {
    for (int w : {1, 30, 190, 5000}) EXPECT_EQ(ColumnWidthForStorage(w, 96), w);
}

class DropJobsTest : public ::testing::Test {
protected:
    DropJobsTest() : clock(*ParseDateTime("2024-05-15 10:00")), data(clock, dir.path()) {
        for (engine::Session* s : {&data.ses, &data.Session2, &data.Default})
            s->SetSleep([](int) {});
        data.CreateMissingTables();
        data.OpenTables();
    }

    // Only these paths count as existing files.
    IsFileFn FilesAre(std::set<std::string> files) {
        return [files](const std::string& p) { return files.count(p) > 0; };
    }

    std::string Field(int row, const char* name) {
        data.tblTimer.MoveTo(row);
        return data.tblTimer.FieldByName(name).AsString();
    }

    testing::TempDir dir;
    FakeClock clock;
    JobData data;
};

TEST_F(DropJobsTest, EachFileBecomesAnInactiveDailyJobInTheOrderGiven) {
    const std::vector<std::string> paths = {"C:\\a.bat", "C:\\Programme\\lang\\b.exe", "C:\\c.txt"};
    EXPECT_EQ(AddDroppedFileJobs(data.tblTimer, paths, FilesAre({paths.begin(), paths.end()})), 3);
    ASSERT_EQ(data.tblTimer.RecordCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Field(i, "Pfad"), paths[i]);
        EXPECT_EQ(Field(i, "Wochentag"), "Jeden Tag");
        EXPECT_EQ(data.tblTimer.FieldByName(jf::kUhrzeit).AsTime().ms, 0);
        EXPECT_EQ(Field(i, "Aktiv"), "N");
        EXPECT_EQ(Field(i, "Intervall"), "N");
        EXPECT_EQ(Field(i, "WindowState"), "Standard");
        EXPECT_EQ(Field(i, "Paramter"), "");
        // The post moved the start from 1899 to the next midnight.
        EXPECT_EQ(data.tblTimer.FieldByName(jf::kStartzeit).AsDateTime(),
                  *ParseDateTime("2024-05-16 00:00"));
    }
    // The last one added is the current row.
    data.tblTimer.Last();
    EXPECT_EQ(data.tblTimer.FieldByName(jf::kPfad).AsString(), "C:\\c.txt");
}

TEST_F(DropJobsTest, FoldersAndMissingPathsAreSkipped) {
    EXPECT_EQ(AddDroppedFileJobs(data.tblTimer, {"C:\\Ordner", "C:\\file.exe", "C:\\gone.exe"},
                                 FilesAre({"C:\\file.exe"})),
              1);
    ASSERT_EQ(data.tblTimer.RecordCount(), 1);
    EXPECT_EQ(Field(0, "Pfad"), "C:\\file.exe");
    EXPECT_EQ(AddDroppedFileJobs(data.tblTimer, {"C:\\Ordner"}, FilesAre({})), 0);
    EXPECT_EQ(data.tblTimer.RecordCount(), 1);
}

TEST_F(DropJobsTest, LongPathsAreCutTo200Characters) {
    const std::string longPath = "C:\\" + std::string(250, 'x') + ".exe";
    AddDroppedFileJobs(data.tblTimer, {longPath}, FilesAre({longPath}));
    EXPECT_EQ(Field(0, "Pfad"), longPath.substr(0, 200));
}

TEST_F(DropJobsTest, APendingEditIsSavedBeforeTheDroppedRows) {
    AddDroppedFileJobs(data.tblTimer, {"C:\\a.bat"}, FilesAre({"C:\\a.bat"}));
    data.tblTimer.Edit();
    data.tblTimer.FieldByName(jf::kParamter).SetAsString("-x");
    AddDroppedFileJobs(data.tblTimer, {"C:\\b.bat"}, FilesAre({"C:\\b.bat"}));
    data.tblTimer.Refresh();
    EXPECT_EQ(data.tblTimer.RecordCount(), 2);
    EXPECT_EQ(Field(0, "Paramter"), "-x");
}

}  // namespace
}  // namespace qv::ui
