// The job grid's layout through the layout sections of the settings file:
// widths, sort marks and visibility come back, and a stored width opens the
// grid with that width.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/settings/GridLayout.h"
#include "ui/jobgrid/JobGridColumns.h"
#include "ui/grid/GridModel.h"

using namespace qv;
using namespace qv::grid;

namespace {

class LayoutFile : public ::testing::Test {
protected:
    void SetUp() override {
        path = (std::filesystem::temp_directory_path() /
                ("qv_grid_layout_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".ini"))
                   .string();
        std::remove(path.c_str());
    }
    void TearDown() override { std::remove(path.c_str()); }
    static GridModel JobGrid() {
        GridModel m;
        m.SetColumns(ui::JobGridColumns());
        m.SetClientSize(700, 300);
        return m;
    }
    std::string path;
};

}  // namespace

TEST_F(LayoutFile, WidthsSortMarksAndVisibilityComeBack) {
    GridModel before = JobGrid();
    int pfad = before.FindColumn("dxDBGrid1Pfad");
    int aktiv = before.FindColumn("dxDBGrid1Aktiv");
    before.SetColumnWidth(pfad, 260);
    before.SetColumnWidth(aktiv, 5);  // held at its minimum of 20
    before.ToggleSort(before.FindColumn("dxDBGrid1Startzeit"));
    std::string error;
    ASSERT_TRUE(SaveGridLayout(path, "Gitter", before.SaveLayout(), &error)) << error;

    GridModel after = JobGrid();
    after.ApplyLayout(LoadGridLayout(path, "Gitter", after.SaveLayout()));
    ASSERT_EQ(after.ColumnCount(), before.ColumnCount());
    for (int i = 0; i < after.ColumnCount(); ++i) {
        EXPECT_EQ(after.column(i).name, before.column(i).name);
        EXPECT_EQ(after.column(i).width, before.column(i).width) << after.column(i).name;
        EXPECT_EQ(after.column(i).visible, before.column(i).visible) << after.column(i).name;
        EXPECT_EQ(after.column(i).sort, before.column(i).sort) << after.column(i).name;
    }
    EXPECT_EQ(after.column(aktiv).width, 20);
    EXPECT_FALSE(after.column(after.FindColumn("dxDBGrid1ID")).visible);
    EXPECT_EQ(after.SortColumn(), after.FindColumn("dxDBGrid1Startzeit"));
    EXPECT_EQ(after.BandWidth(), before.BandWidth());
}

TEST_F(LayoutFile, AStoredWidthOpensTheColumnWithIt) {
    {
        std::ofstream f(path, std::ios::binary);
        f << "[App]\r\nmail=1\r\n\r\n[\\Gitter\\Columns\\dxDBGrid1Pfad]\r\nWidth=300\r\n";
    }
    GridModel m = JobGrid();
    m.ApplyLayout(LoadGridLayout(path, "Gitter", m.SaveLayout()));
    EXPECT_EQ(m.column(m.FindColumn("dxDBGrid1Pfad")).width, 300);
    EXPECT_EQ(m.column(m.FindColumn("dxDBGrid1Wochentag")).width, 94);  // design width kept
    EXPECT_EQ(m.SortColumn(), -1);
}
