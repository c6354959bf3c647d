// The grid layout in the settings file: what a save keeps, drops and writes,
// the load with its defaults and reordering, and the round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/ui/settings/SettingsTestSupport.h"
#include "ui/settings/GridLayout.h"
#include "ui/settings/IniFile.h"
#include "ui/settings/Settings.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace qv {
namespace {

using grid::GridLayoutDesc;
using grid::LayoutColumn;
using test::ReadBytes;
using test::SettingsDir;
using test::WriteBytes;

const char* const kColumns[] = {"dxDBGrid1ID",        "dxDBGrid1Wochentag", "dxDBGrid1Uhrzeit",
                                "dxDBGrid1Pfad",      "dxDBGrid1Parameter", "dxDBGrid1Intervall",
                                "dxDBGrid1Nachholen", "dxDBGrid1Aktiv",     "dxDBGrid1Startzeit",
                                "dxDBGrid1WindowState"};

// The job grid as designed: one band, ten columns, the ID column hidden.
GridLayoutDesc DesignLayout() {
    GridLayoutDesc d;
    d.bands.push_back({0, true, 0, 600});
    int shown = 0;
    for (int i = 0; i < 10; ++i) {
        LayoutColumn c;
        c.name = kColumns[i];
        c.visible = i != 0;
        c.colIndex = c.visible ? shown++ : -1;
        c.index = i;
        c.width = 60 + i;
        d.columns.push_back(c);
    }
    return d;
}

std::vector<std::string> SectionNames(const std::string& path) {
    std::vector<std::string> names;
    IniFile file;
    file.Load(path);
    for (const auto& s : file.Sections()) names.push_back(s.name);
    return names;
}

const LayoutColumn& Column(const GridLayoutDesc& d, const std::string& name) {
    for (const auto& c : d.columns)
        if (c.name == name) return c;
    throw std::runtime_error("no column " + name);
}

TEST(GridLayoutStorage, SaveKeepsOtherSectionsAndDropsCommentsAndStrayLines) {
    SettingsDir dir;
    const std::string path = SettingsFilePath(dir.dir());
    WriteBytes(path,
               "stray line\r\n; comment\r\n[App]\r\nmail=1\r\n; inside\r\n\r\nmailadresse=a@b\r\n"
               "[\\Gitter]\r\nShowGrid=0\r\n[\\Gitter\\Columns\\Gone]\r\nWidth=5\r\n"
               "[\\gitter]\r\nother=1\r\n");
    ASSERT_TRUE(SaveGridLayout(path, "Gitter", DesignLayout()));

    const std::string bytes = ReadBytes(path);
    // "[\gitter]" is the grid's too, whatever its case: it would be read first.
    EXPECT_EQ(bytes.rfind("[App]\r\nmail=1\r\nmailadresse=a@b\r\n\r\n"
                          "[\\Gitter]\r\nShowGrid=1\r\nShowPreviewGrid=1\r\nBandRowCount=1\r\n"
                          "DefaultRowHeight=17\r\nHeaderPanelRowCount=1\r\nShowGroupPanel=0\r\n"
                          "ShowNewItemRow=0\r\nShowRowFooter=0\r\nShowSummaryFooter=0\r\n\r\n"
                          "[\\Gitter\\Band\\Band0]\r\nID=0\r\nVisible=1\r\nIndex=0\r\nWidth=600\r\n\r\n"
                          "[\\Gitter\\Columns\\dxDBGrid1ID]\r\nBandIndex=0\r\nRowIndex=0\r\nColIndex=-1\r\n"
                          "Visible=0\r\nIndex=0\r\nWidth=60\r\nSorted=0\r\nSortedOrder=-1\r\n"
                          "StoredRowIndex=0\r\nGroupIndex=-1\r\n\r\n",
                          0),
              0u)
        << bytes;
    EXPECT_EQ(bytes.find("comment"), std::string::npos);
    EXPECT_EQ(bytes.find("stray"), std::string::npos);
    EXPECT_EQ(bytes.find("Gone"), std::string::npos);
    EXPECT_EQ(bytes.find("other=1"), std::string::npos);

    std::vector<std::string> expected = {"App", "\\Gitter", "\\Gitter\\Band\\Band0"};
    for (const char* c : kColumns) expected.push_back(std::string("\\Gitter\\Columns\\") + c);
    EXPECT_EQ(SectionNames(path), expected);
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "\r\n\r\n");

    // The settings still read, and a change written between two saves survives.
    IniFileProfile ini(path);
    Settings settings(ini);
    EXPECT_EQ(test::ShownAtStart(settings).mailadresse, "a@b");
    settings.chkMailClick(false);
    ASSERT_TRUE(SaveGridLayout(path, "Gitter", DesignLayout()));
    EXPECT_FALSE(test::ShownAtStart(settings).mail);
    EXPECT_EQ(SectionNames(path), expected);
}

TEST(GridLayoutStorage, RoundTripRestoresWidthsOrderVisibilityAndSorting) {
    SettingsDir dir;
    const std::string path = SettingsFilePath(dir.dir());
    GridLayoutDesc saved = DesignLayout();
    saved.options.showGrid = false;
    saved.options.defaultRowHeight = 21;
    saved.options.showGroupPanel = true;
    saved.bands[0].width = 777;
    // The user moved Startzeit to the front, hid Parameter and sorted by Pfad.
    std::vector<LayoutColumn> cols = saved.columns;
    std::rotate(cols.begin(), cols.begin() + 8, cols.begin() + 9);
    for (size_t i = 0; i < cols.size(); ++i) cols[i].index = static_cast<int>(i);
    for (auto& c : cols) {
        c.width += 100;
        if (c.name == "dxDBGrid1Parameter") c.visible = false;
        if (c.name == "dxDBGrid1Pfad") {
            c.sorted = 2;
            c.sortedOrder = 0;
        }
        if (c.name == "dxDBGrid1Aktiv") c.storedRowIndex = 1;
    }
    saved.columns = cols;
    ASSERT_TRUE(SaveGridLayout(path, "Gitter", saved));

    const GridLayoutDesc loaded = LoadGridLayout(path, "Gitter", DesignLayout());
    EXPECT_FALSE(loaded.options.showGrid);
    EXPECT_EQ(loaded.options.defaultRowHeight, 21);
    EXPECT_TRUE(loaded.options.showGroupPanel);
    ASSERT_EQ(loaded.bands.size(), 1u);
    EXPECT_EQ(loaded.bands[0].width, 777);
    ASSERT_EQ(loaded.columns.size(), saved.columns.size());
    for (size_t i = 0; i < saved.columns.size(); ++i) {
        const auto& s = saved.columns[i];
        const auto& l = loaded.columns[i];
        EXPECT_EQ(l.name, s.name) << i;
        EXPECT_EQ(l.index, static_cast<int>(i));
        EXPECT_EQ(l.width, s.width) << s.name;
        EXPECT_EQ(l.visible, s.visible) << s.name;
        EXPECT_EQ(l.sorted, s.sorted) << s.name;
        EXPECT_EQ(l.sortedOrder, s.sortedOrder) << s.name;
        EXPECT_EQ(l.storedRowIndex, s.storedRowIndex) << s.name;
        EXPECT_EQ(l.groupIndex, s.groupIndex) << s.name;
    }
}

TEST(GridLayoutStorage, StoredPfadWidthIsLoaded) {
    SettingsDir dir;
    const std::string path = SettingsFilePath(dir.dir());
    WriteBytes(path, "[App]\r\nmail=1\r\n[\\Gitter\\Columns\\dxDBGrid1Pfad]\r\nWidth=300\r\n");
    const GridLayoutDesc design = DesignLayout();
    const GridLayoutDesc loaded = LoadGridLayout(path, "Gitter", design);
    EXPECT_EQ(Column(loaded, "dxDBGrid1Pfad").width, 300);
    for (size_t i = 0; i < design.columns.size(); ++i) {
        EXPECT_EQ(loaded.columns[i].name, design.columns[i].name);  // order kept
        if (design.columns[i].name != "dxDBGrid1Pfad") {
            EXPECT_EQ(loaded.columns[i].width, design.columns[i].width);
        }
    }
}

TEST(GridLayoutStorage, LoadDefaultsAndReordering) {
    SettingsDir dir;
    const std::string path = SettingsFilePath(dir.dir());
    GridLayoutDesc design = DesignLayout();
    design.options.headerPanelRowCount = 2;
    design.bands.push_back({5, true, 1, 100});
    for (auto& c : design.columns) c.sortedOrder = 3;  // a design value the load overrides
    WriteBytes(path,
               "[\\Gitter]\r\nHeaderPanelRowCount=-1\r\nBandRowCount=x\r\nShowRowFooter=1\r\n"
               // Band position 0 has no ID and is skipped; position 1 names band 0.
               "[\\Gitter\\Band\\Band0]\r\nWidth=1\r\n"
               "[\\Gitter\\Band\\Band1]\r\nID=0\r\nVisible=0\r\nIndex=4\r\nWidth=333\r\n"
               // Two columns ask for the first place: their design order breaks the tie.
               "[\\Gitter\\Columns\\dxDBGrid1Aktiv]\r\nIndex=-1\r\n"
               "[\\Gitter\\Columns\\dxDBGrid1Uhrzeit]\r\nIndex=-1\r\nSortedOrder=2\r\nSorted=1\r\n"
               "[\\Gitter\\Columns\\dxDBGrid1ID]\r\nIndex=20\r\nVisible=1\r\nBandIndex=1\r\nRowIndex=2\r\n");
    const GridLayoutDesc loaded = LoadGridLayout(path, "Gitter", design);
    EXPECT_EQ(loaded.options.headerPanelRowCount, 2);  // -1 is not applied
    EXPECT_EQ(loaded.options.bandRowCount, 1);         // no number: left alone
    EXPECT_TRUE(loaded.options.showRowFooter);

    ASSERT_EQ(loaded.bands.size(), 2u);
    EXPECT_EQ(loaded.bands[0].id, 0);
    EXPECT_FALSE(loaded.bands[0].visible);
    EXPECT_EQ(loaded.bands[0].width, 333);
    EXPECT_EQ(loaded.bands[1].id, 5);  // not found: unchanged, after the found ones
    EXPECT_EQ(loaded.bands[1].width, 100);

    std::vector<std::string> order;
    for (const auto& c : loaded.columns) order.push_back(c.name);
    EXPECT_EQ(order, (std::vector<std::string>{"dxDBGrid1Uhrzeit", "dxDBGrid1Aktiv", "dxDBGrid1Wochentag",
                                               "dxDBGrid1Pfad", "dxDBGrid1Parameter", "dxDBGrid1Intervall",
                                               "dxDBGrid1Nachholen", "dxDBGrid1Startzeit",
                                               "dxDBGrid1WindowState", "dxDBGrid1ID"}));
    for (size_t i = 0; i < loaded.columns.size(); ++i) EXPECT_EQ(loaded.columns[i].index, static_cast<int>(i));
    EXPECT_EQ(Column(loaded, "dxDBGrid1Uhrzeit").sortedOrder, 2);
    EXPECT_EQ(Column(loaded, "dxDBGrid1Uhrzeit").sorted, 1);
    EXPECT_EQ(Column(loaded, "dxDBGrid1Aktiv").sortedOrder, -1);  // missing: -1, not the design value
    EXPECT_EQ(Column(loaded, "dxDBGrid1Pfad").sortedOrder, -1);
    EXPECT_TRUE(Column(loaded, "dxDBGrid1ID").visible);
    EXPECT_EQ(Column(loaded, "dxDBGrid1ID").bandIndex, 1);
    EXPECT_EQ(Column(loaded, "dxDBGrid1ID").rowIndex, 2);
}

TEST(GridLayoutStorage, MissingFileLoadsTheDesignAndUnwritableFileFailsQuietly) {
    SettingsDir dir;
    const GridLayoutDesc design = DesignLayout();
    const GridLayoutDesc loaded = LoadGridLayout(dir.File("none.ini"), "Gitter", design);
    ASSERT_EQ(loaded.columns.size(), design.columns.size());
    for (size_t i = 0; i < design.columns.size(); ++i) {
        EXPECT_EQ(loaded.columns[i].name, design.columns[i].name);
        EXPECT_EQ(loaded.columns[i].width, design.columns[i].width);
    }
    // A path below a plain file can never be written, also not by root.
    WriteBytes(dir.File("plain"), "x");
    std::string error;
    EXPECT_FALSE(SaveGridLayout(dir.File("plain") + "/Quarvelin.ini", "Gitter", design, &error));
    EXPECT_NE(error.find("kann nicht geschrieben werden"), std::string::npos) << error;
}

#ifndef _WIN32
// The layout save at program end must never cost the options: a write that
// fails half-way (here: the file size limit) leaves the old file whole, and a
// file that is there but cannot be read (here: a link to a folder) is not
// replaced by the layout alone.
TEST(GridLayoutStorage, AFailedSaveLeavesTheFileAsItWas) {
    SettingsDir dir;
    const std::string path = SettingsFilePath(dir.dir());
    const std::string options = "[App]\r\nmail=1\r\nmailadresse=a@b.de\r\n";
    WriteBytes(path, options);
    {
        struct rlimit before {};
        getrlimit(RLIMIT_FSIZE, &before);
        void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = before;
        small.rlim_cur = 300;  // the layout needs more than that
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved = SaveGridLayout(path, "Gitter", DesignLayout());
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(saved);
    }
    EXPECT_EQ(ReadBytes(path), options);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    const std::string link = dir.File("link.ini");
    std::filesystem::create_directory(dir.File("folder"));
    std::filesystem::create_directory_symlink(dir.File("folder"), link);
    std::string error;
    EXPECT_FALSE(SaveGridLayout(link, "Gitter", DesignLayout(), &error));
    EXPECT_NE(error.find("kann nicht gelesen werden"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
}
#endif

}  // namespace
}  // namespace qv
