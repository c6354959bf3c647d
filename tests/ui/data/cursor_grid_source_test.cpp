// The grid's binding to a real table cursor: texts of every row without moving
// the current row, edits through the field objects, dataset rules, refused
// values, and change notifications.
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/Table.h"
#include "schema/JobSchema.h"
#include "tests/engine/EngineTestSupport.h"
#include "ui/data/CursorGridSource.h"

namespace jf = qv::schema::job;

using namespace qv;
using namespace qv::engine;
using namespace qv::engine::test;
using qv::grid::RowState;
using qv::grid::SourceChange;
using qv::ui::CursorGridSource;

namespace {

class CursorSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.File("Timer.DAT");
        ASSERT_TRUE(CreateTable(path, JobTableDef()));
        {
            Cursor fill(ses, path);
            fill.Open();
            AppendJob(fill, "c:\\a.exe", "Mo");
            AppendJob(fill, "Neustart hart", "Di");
            AppendJob(fill, "c:\\b.exe", "Mi");
            fill.First();
            fill.Edit();
            fill.FieldByName(jf::kUhrzeit).SetAsTime(MakeTime(8, 5, 9, 400));
            fill.FieldByName(jf::kStartzeit).SetAsDateTime(MakeDateTime(2030, 1, 2, 8, 5, 9));
            fill.Post();
        }
        cursor.SetPath(path);
        cursor.Open();
    }
    ScratchDir dir;
    std::string path;
    Session ses{"ses", QuickOptions()};
    Cursor cursor{ses};
};

}  // namespace

TEST_F(CursorSourceTest, ShowsEveryRowWithoutMovingTheCursor) {
    int scrolls = 0;
    cursor.BeforeScroll = [&](Cursor&) { ++scrolls; };
    cursor.MoveTo(1);
    scrolls = 0;
    CursorGridSource src(cursor);
    ASSERT_EQ(src.RowCount(), 3);
    EXPECT_EQ(src.CurrentRow(), 1);
    EXPECT_EQ(src.CellText(0, "Pfad"), "c:\\a.exe");
    EXPECT_EQ(src.CellText(2, "Wochentag"), "Mi");
    EXPECT_EQ(src.CellText(0, "Uhrzeit"), "08:05:09");
    EXPECT_EQ(src.CellText(0, "Startzeit"), "02.01.2030 08:05:09");
    EXPECT_EQ(src.CellText(1, "Startzeit"), "");  // empty stays empty, not 1899
    EXPECT_EQ(src.SortKey(0, "Startzeit"), "2030-01-02 08:05:09.000");
    EXPECT_EQ(src.CellText(5, "Pfad"), "");
    EXPECT_EQ(cursor.RecNo(), 1);
    EXPECT_EQ(scrolls, 0);  // reading rows raises no scroll events
    EXPECT_EQ(src.Value("Pfad"), "Neustart hart");
}

TEST_F(CursorSourceTest, EditsGoThroughTheFieldsAndPostOnLeaving) {
    CursorGridSource src(cursor);
    std::vector<SourceChange> seen;
    src.SetListener([&](SourceChange c) { seen.push_back(c); });
    src.MoveTo(2);
    src.SetValue("Uhrzeit", "7:30");
    EXPECT_EQ(src.State(), RowState::Edit);
    EXPECT_TRUE(src.Modified());
    EXPECT_EQ(src.Value("Uhrzeit"), "07:30:00");
    src.SetValue("Startzeit", "03.04.2031 06:07:08");
    EXPECT_EQ(cursor.FieldByName(jf::kStartzeit).AsDateTime(), MakeDateTime(2031, 4, 3, 6, 7, 8));
    EXPECT_EQ(src.CellText(0, "Pfad"), "c:\\a.exe");  // other rows still readable while editing
    src.MoveTo(0);
    EXPECT_EQ(src.State(), RowState::Browse);
    EXPECT_EQ(src.CellText(2, "Uhrzeit"), "07:30:00");
    EXPECT_NE(std::find(seen.begin(), seen.end(), SourceChange::Rows), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), SourceChange::Current), seen.end());

    // Clearing a value empties the field.
    src.SetValue("Startzeit", "");
    EXPECT_TRUE(cursor.FieldByName(jf::kStartzeit).IsNull());
    src.Cancel();
}

TEST_F(CursorSourceTest, RefusedTextsChangeNothing) {
    CursorGridSource src(cursor);
    struct Case {
        const char* field;
        const char* text;
    } cases[] = {{"Uhrzeit", "25:00"}, {"Uhrzeit", "8 Uhr"}, {"Uhrzeit", "8:05x"},
                 {"Startzeit", "31.02.2030 08:00:00"}, {"Startzeit", "morgen"}};
    for (const auto& c : cases) {
        EXPECT_THROW(src.SetValue(c.field, c.text), std::runtime_error) << c.text;
        EXPECT_EQ(src.State(), RowState::Browse) << c.text;
    }
    try {
        src.SetValue("Uhrzeit", "25:00");
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "'25:00' ist keine g\xfcltige Zeit");
    }
}

TEST_F(CursorSourceTest, AnUntouchedNewRowVanishesAndTheTargetRowStaysTheSame) {
    cursor.AfterInsert = [](Cursor& c) { c.FieldByName(jf::kAktiv).SetAsString("Y"); };
    CursorGridSource src(cursor);
    src.MoveTo(0);
    src.Insert();  // before row 0
    EXPECT_EQ(src.RowCount(), 4);
    EXPECT_EQ(src.State(), RowState::Insert);
    EXPECT_EQ(src.CellText(3, "Pfad"), "c:\\b.exe");  // rows behind the new one, shifted
    src.MoveTo(3);  // the last row as the grid shows it now
    EXPECT_EQ(src.RowCount(), 3);
    EXPECT_EQ(src.Value("Pfad"), "c:\\b.exe");

    // A typed new row is posted when left; a post without Pfad is refused.
    src.Append();
    src.SetValue("Wochentag", "Sa");
    src.SetValue("Uhrzeit", "06:00:00");
    try {
        src.MoveTo(0);
        ADD_FAILURE() << "a row without Pfad must be refused";
    } catch (const EngineError& e) {
        EXPECT_EQ(std::string(e.what()), "Feld 'Pfad' mu\xdf einen Wert haben");
    }
    EXPECT_EQ(src.State(), RowState::Insert);
    src.SetValue("Pfad", "c:\\neu.exe");
    src.MoveTo(0);
    ASSERT_EQ(src.RowCount(), 4);
    EXPECT_EQ(src.CellText(3, "Pfad"), "c:\\neu.exe");
    EXPECT_EQ(src.CellText(3, "Wochentag"), "Sa");
}
