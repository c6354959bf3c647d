#include "ui/settings/GridLayout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <memory>
#include <numeric>

#include "ui/settings/Settings.h"

namespace qv {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// The sections of the layout file, and the keys of one of them.
class LayoutFile {
public:
    explicit LayoutFile(std::vector<LayoutSection> sections) : sections_(std::move(sections)) {}

    const LayoutSection* Find(const std::string& name) const {
        for (const auto& s : sections_)
            if (SameName(s.name, name)) return &s;
        return nullptr;
    }
    // The value of key in section name; false when either is missing.
    bool Value(const std::string& section, const std::string& key, std::string* value) const {
        const LayoutSection* s = Find(section);
        if (!s) return false;
        for (const auto& line : s->lines) {
            const size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            if (SameName(Trim(line.substr(0, eq)), key)) {
                *value = Trim(line.substr(eq + 1));
                return true;
            }
        }
        return false;
    }
    // Whole numbers and booleans; a value that is no number counts as missing.
    bool Int(const std::string& section, const std::string& key, int* out) const {
        std::string text;
        long long v = 0;
        if (!Value(section, key, &text) || !ParseProfileInt(text, &v)) return false;
        *out = static_cast<int>(v);
        return true;
    }
    bool Bool(const std::string& section, const std::string& key, bool* out) const {
        int v = 0;
        if (!Int(section, key, &v)) return false;
        *out = v != 0;
        return true;
    }

private:
    std::vector<LayoutSection> sections_;
};

// Sections written in the order of their first write; a second write to a
// section appends to it.
class SectionWriter {
public:
    explicit SectionWriter(std::vector<LayoutSection>& out) : out_(out) {}
    void Put(const std::string& section, const std::string& key, const std::string& value) {
        LayoutSection* s = nullptr;
        for (auto& existing : out_)
            if (existing.name == section) s = &existing;
        if (!s) {
            out_.push_back(LayoutSection{section, {}});
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
    std::vector<LayoutSection>& out_;
};

std::string GridSection(const std::string& gridName) { return "\\" + gridName; }
std::string BandSection(const std::string& gridName, size_t position) {
    return GridSection(gridName) + "\\Band\\Band" + std::to_string(position);
}
std::string ColumnSection(const std::string& gridName, const std::string& column) {
    return GridSection(gridName) + "\\Columns\\" + column;
}

}  // namespace

std::vector<LayoutSection> ReadLayoutSections(const std::string& path) {
    std::vector<LayoutSection> sections;
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return sections;
    std::string data;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) data.append(buf, n);
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        if (nl == std::string::npos) nl = data.size();
        std::string line = data.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string t = Trim(line);
        if (t.empty() || t[0] == ';') continue;
        if (t.front() == '[' && t.back() == ']') {
            sections.push_back(LayoutSection{t.substr(1, t.size() - 2), {}});
        } else if (!sections.empty()) {
            sections.back().lines.push_back(line);
        }
    }
    return sections;
}

bool SaveGridLayout(const std::string& path, const std::string& gridName,
                    const grid::GridLayoutDesc& layout, std::string* error) noexcept {
    try {
        std::vector<LayoutSection> sections = ReadLayoutSections(path);
        const std::string prefix = GridSection(gridName);
        sections.erase(std::remove_if(sections.begin(), sections.end(),
                                      [&](const LayoutSection& s) {
                                          return s.name.compare(0, prefix.size(), prefix) == 0;
                                      }),
                       sections.end());

        std::vector<LayoutSection> added;
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

        std::string out;
        for (const auto& s : sections) {
            out += "[" + s.name + "]\r\n";
            for (const auto& line : s.lines) out += line + "\r\n";
            out += "\r\n";
        }
        std::FILE* raw = std::fopen(path.c_str(), "wb");
        if (!raw) {
            if (error) *error = "nach " + path + " kann nicht geschrieben werden";
            return false;
        }
        const bool written = std::fwrite(out.data(), 1, out.size(), raw) == out.size();
        if (std::fclose(raw) != 0 || !written) {
            if (error) *error = "nach " + path + " kann nicht geschrieben werden";
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
                                    const grid::GridLayoutDesc& current) {
    const LayoutFile file(ReadLayoutSections(path));
    grid::GridLayoutDesc result = current;
    const std::string g = GridSection(gridName);

    auto& o = result.options;
    file.Bool(g, "ShowGrid", &o.showGrid);
    file.Bool(g, "ShowPreviewGrid", &o.showPreviewGrid);
    file.Int(g, "BandRowCount", &o.bandRowCount);
    file.Int(g, "DefaultRowHeight", &o.defaultRowHeight);
    int headerRows = 0;
    if (file.Int(g, "HeaderPanelRowCount", &headerRows) && headerRows != -1)
        o.headerPanelRowCount = headerRows;
    file.Bool(g, "ShowGroupPanel", &o.showGroupPanel);
    file.Bool(g, "ShowNewItemRow", &o.showNewItemRow);
    file.Bool(g, "ShowRowFooter", &o.showRowFooter);
    file.Bool(g, "ShowSummaryFooter", &o.showSummaryFooter);

    // Bands: each band position's section names a band by its ID.
    std::vector<grid::LayoutBand> found, rest;
    std::vector<int> foundIndex;
    std::vector<bool> taken(current.bands.size(), false);
    for (size_t pos = 0; pos < current.bands.size(); ++pos) {
        const std::string s = BandSection(gridName, pos);
        int id = -1;
        if (!file.Int(s, "ID", &id)) continue;
        for (size_t b = 0; b < current.bands.size(); ++b) {
            if (taken[b] || current.bands[b].id != id) continue;
            taken[b] = true;
            grid::LayoutBand band = current.bands[b];
            file.Bool(s, "Visible", &band.visible);
            file.Int(s, "Width", &band.width);
            int index = band.index;
            file.Int(s, "Index", &index);
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
        file.Int(s, "GroupIndex", &c.groupIndex);
        file.Bool(s, "Visible", &c.visible);
        file.Int(s, "Width", &c.width);
        file.Int(s, "Sorted", &c.sorted);
        if (!file.Int(s, "SortedOrder", &c.sortedOrder)) c.sortedOrder = -1;
        storedIndex[i] = c.index;
        file.Int(s, "Index", &storedIndex[i]);
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
        file.Int(s, "BandIndex", &c.bandIndex);
        file.Int(s, "RowIndex", &c.rowIndex);
        file.Int(s, "StoredRowIndex", &c.storedRowIndex);
    }
    return result;
}

}  // namespace qv
