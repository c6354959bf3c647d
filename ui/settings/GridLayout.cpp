#include "ui/settings/GridLayout.h"

#include <algorithm>
#include <exception>
#include <numeric>
#include <vector>

#include "engine/Text.h"
#include "ui/settings/IniFile.h"

namespace qv {

namespace {

// Whole numbers and booleans of the layout; a missing key, or a value that is
// no number, leaves *out alone.
bool ReadInt(const IniFile& file, const std::string& section, const std::string& key, int* out) {
    std::string text;
    long long v = 0;
    if (!file.Value(section, key, &text) || !ParseProfileInt(text, &v)) return false;
    *out = static_cast<int>(v);
    return true;
}
bool ReadWidth(const IniFile& file, const std::string& section, int maxWidth, int* out) {
    int v = 0;
    if (!ReadInt(file, section, "Width", &v) || v < 0 || v > maxWidth) return false;
    *out = v;
    return true;
}
bool ReadBool(const IniFile& file, const std::string& section, const std::string& key, bool* out) {
    int v = 0;
    if (!ReadInt(file, section, key, &v)) return false;
    *out = v != 0;
    return true;
}

// Sections written in the order of their first write; a second write to a
// section appends to it.
class SectionWriter {
public:
    explicit SectionWriter(std::vector<IniSection>& out) : out_(out) {}
    void Put(const std::string& section, const std::string& key, const std::string& value) {
        IniSection* s = nullptr;
        for (auto& existing : out_)
            if (existing.name == section) s = &existing;
        if (!s) {
            out_.push_back(IniSection{section, {}});
            s = &out_.back();
        }
        s->lines.push_back(key + "=" + value);
    }
    void Put(const std::string& section, const std::string& key, int value) {
        Put(section, key, std::to_string(value));
    }
    void Put(const std::string& section, const std::string& key, bool value) {
        Put(section, key, std::string(value ? "1" : "0"));
    }

private:
    std::vector<IniSection>& out_;
};

std::string GridSection(const std::string& gridName) { return "\\" + gridName; }
std::string BandSection(const std::string& gridName, size_t position) {
    return GridSection(gridName) + "\\Band\\Band" + std::to_string(position);
}
std::string ColumnSection(const std::string& gridName, const std::string& column) {
    return GridSection(gridName) + "\\Columns\\" + column;
}

}  // namespace

bool SaveGridLayout(const std::string& path, const std::string& gridName,
                    const grid::GridLayoutDesc& layout, std::string* error) noexcept {
    try {
        IniFile file;
        // A missing file is created; one that is there but cannot be read is
        // left alone, since writing the layout alone would lose the options.
        if (!file.Load(path) && IniFile::Unreadable(path)) {
            if (error) *error = IniReadRefusedText(path);
            return false;
        }
        std::vector<IniSection> sections = file.Sections();
        const std::string prefix = GridSection(gridName);
        // Section names match without regard to case, here as when reading:
        // a "[\gitter]" left behind would otherwise be read before the new one.
        sections.erase(std::remove_if(sections.begin(), sections.end(),
                                      [&](const IniSection& s) {
                                          return SameName(s.name.substr(0, prefix.size()), prefix);
                                      }),
                       sections.end());

        std::vector<IniSection> added;
        SectionWriter w(added);
        const auto& o = layout.options;
        w.Put(prefix, "ShowGrid", o.showGrid);
        w.Put(prefix, "ShowPreviewGrid", o.showPreviewGrid);
        w.Put(prefix, "BandRowCount", o.bandRowCount);
        w.Put(prefix, "DefaultRowHeight", o.defaultRowHeight);
        w.Put(prefix, "HeaderPanelRowCount", o.headerPanelRowCount);
        for (size_t i = 0; i < layout.bands.size(); ++i) {
            const auto& b = layout.bands[i];
            const std::string s = BandSection(gridName, i);
            w.Put(s, "ID", b.id);
            w.Put(s, "Visible", b.visible);
            w.Put(s, "Index", b.index);
            w.Put(s, "Width", b.width);
        }
        w.Put(prefix, "ShowGroupPanel", o.showGroupPanel);
        w.Put(prefix, "ShowNewItemRow", o.showNewItemRow);
        w.Put(prefix, "ShowRowFooter", o.showRowFooter);
        w.Put(prefix, "ShowSummaryFooter", o.showSummaryFooter);
        for (const auto& c : layout.columns) {
            const std::string s = ColumnSection(gridName, c.name);
            w.Put(s, "BandIndex", c.bandIndex);
            w.Put(s, "RowIndex", c.rowIndex);
            w.Put(s, "ColIndex", c.colIndex);
            w.Put(s, "Visible", c.visible);
            w.Put(s, "Index", c.index);
            w.Put(s, "Width", c.width);
            w.Put(s, "Sorted", c.sorted);
            w.Put(s, "SortedOrder", c.sortedOrder);
            w.Put(s, "StoredRowIndex", c.storedRowIndex);
            w.Put(s, "GroupIndex", c.groupIndex);
        }
        sections.insert(sections.end(), added.begin(), added.end());

        if (!IniFile::FromSections(sections).Save(path)) {
            if (error) *error = IniWriteRefusedText(path);
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return false;
    } catch (...) {
        if (error) *error = "unknown error";
        return false;
    }
}

grid::GridLayoutDesc LoadGridLayout(const std::string& path, const std::string& gridName,
                                    const grid::GridLayoutDesc& current, int maxWidth) {
    IniFile file;
    file.Load(path);
    grid::GridLayoutDesc result = current;
    const std::string g = GridSection(gridName);

    auto& o = result.options;
    ReadBool(file, g, "ShowGrid", &o.showGrid);
    ReadBool(file, g, "ShowPreviewGrid", &o.showPreviewGrid);
    ReadInt(file, g, "BandRowCount", &o.bandRowCount);
    ReadInt(file, g, "DefaultRowHeight", &o.defaultRowHeight);
    int headerRows = 0;
    if (ReadInt(file, g, "HeaderPanelRowCount", &headerRows) && headerRows != -1)
        o.headerPanelRowCount = headerRows;
    ReadBool(file, g, "ShowGroupPanel", &o.showGroupPanel);
    ReadBool(file, g, "ShowNewItemRow", &o.showNewItemRow);
    ReadBool(file, g, "ShowRowFooter", &o.showRowFooter);
    ReadBool(file, g, "ShowSummaryFooter", &o.showSummaryFooter);

    // Bands: each band position's section names a band by its ID.
    std::vector<grid::LayoutBand> found, rest;
    std::vector<int> foundIndex;
    std::vector<bool> taken(current.bands.size(), false);
    for (size_t pos = 0; pos < current.bands.size(); ++pos) {
        const std::string s = BandSection(gridName, pos);
        int id = -1;
        if (!ReadInt(file, s, "ID", &id)) continue;
        for (size_t b = 0; b < current.bands.size(); ++b) {
            if (taken[b] || current.bands[b].id != id) continue;
            taken[b] = true;
            grid::LayoutBand band = current.bands[b];
            ReadBool(file, s, "Visible", &band.visible);
            ReadWidth(file, s, maxWidth, &band.width);
            int index = band.index;
            ReadInt(file, s, "Index", &index);
            found.push_back(band);
            foundIndex.push_back(index);
            break;
        }
    }
    std::vector<size_t> order(found.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return foundIndex[a] < foundIndex[b]; });
    result.bands.clear();
    for (size_t i : order) result.bands.push_back(found[i]);
    for (size_t b = 0; b < current.bands.size(); ++b)
        if (!taken[b]) result.bands.push_back(current.bands[b]);
    for (size_t i = 0; i < result.bands.size(); ++i) result.bands[i].index = static_cast<int>(i);

    // Columns: properties first, then the order, then band and row.
    std::vector<grid::LayoutColumn> cols = current.columns;
    std::vector<int> storedIndex(cols.size());
    for (size_t i = 0; i < cols.size(); ++i) {
        auto& c = cols[i];
        const std::string s = ColumnSection(gridName, c.name);
        ReadInt(file, s, "GroupIndex", &c.groupIndex);
        ReadBool(file, s, "Visible", &c.visible);
        ReadWidth(file, s, maxWidth, &c.width);
        ReadInt(file, s, "Sorted", &c.sorted);
        if (!ReadInt(file, s, "SortedOrder", &c.sortedOrder)) c.sortedOrder = -1;
        storedIndex[i] = c.index;
        ReadInt(file, s, "Index", &storedIndex[i]);
    }
    std::vector<size_t> colOrder(cols.size());
    std::iota(colOrder.begin(), colOrder.end(), size_t{0});
    std::stable_sort(colOrder.begin(), colOrder.end(),
                     [&](size_t a, size_t b) { return storedIndex[a] < storedIndex[b]; });
    result.columns.clear();
    for (size_t i : colOrder) result.columns.push_back(cols[i]);
    for (size_t i = 0; i < result.columns.size(); ++i) {
        auto& c = result.columns[i];
        c.index = static_cast<int>(i);
        const std::string s = ColumnSection(gridName, c.name);
        ReadInt(file, s, "BandIndex", &c.bandIndex);
        ReadInt(file, s, "RowIndex", &c.rowIndex);
        ReadInt(file, s, "StoredRowIndex", &c.storedRowIndex);
    }
    return result;
}

}  // namespace qv
