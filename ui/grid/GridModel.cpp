#include "ui/grid/GridModel.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <numeric>

namespace qv::grid {

void GridModel::SetColumns(std::vector<Column> columns) {
    columns_ = std::move(columns);
    for (auto& c : columns_) c.width = std::max(c.width, c.minWidth);
    if (focusColumn_ < 0 || focusColumn_ >= ColumnCount() || !columns_[focusColumn_].visible)
        focusColumn_ = FirstVisible();
    Clamp();
}

int GridModel::FindColumn(const std::string& name) const {
    for (int i = 0; i < ColumnCount(); ++i)
        if (columns_[i].name == name) return i;
    return -1;
}

int GridModel::FindColumnById(int id) const {
    for (int i = 0; i < ColumnCount(); ++i)
        if (columns_[i].id == id) return i;
    return -1;
}

std::vector<int> GridModel::VisibleColumns() const {
    std::vector<int> v;
    for (int i = 0; i < ColumnCount(); ++i)
        if (columns_[i].visible) v.push_back(i);
    return v;
}

int GridModel::SetColumnWidth(int column, int width) {
    Column& c = this->column(column);
    c.width = std::max(width, c.minWidth);
    Clamp();
    return c.width;
}

int GridModel::BandWidth() const {
    long long sum = 0;  // never wraps, whatever widths the columns were given
    for (const auto& c : columns_)
        if (c.visible) sum += c.width;
    return static_cast<int>(std::min<long long>(sum, std::numeric_limits<int>::max()));
}

void GridModel::SetBandWidth(int width) {
    std::vector<int> vis = VisibleColumns();
    int total = BandWidth();
    if (vis.empty() || total <= 0 || width == total) return;
    int assigned = 0;
    for (size_t i = 0; i < vis.size(); ++i) {
        Column& c = columns_[vis[i]];
        if (i + 1 < vis.size()) {
            c.width = std::max(c.minWidth, static_cast<int>(static_cast<long long>(c.width) * width / total));
            assigned += c.width;
        } else {
            c.width = std::max(c.minWidth, width - assigned);
        }
    }
    Clamp();
}

void GridModel::SetClientSize(int width, int height) {
    clientWidth_ = std::max(0, width);
    clientHeight_ = std::max(0, height);
    Clamp();
}

void GridModel::SetRowCount(int rows) {
    rows = std::max(0, rows);
    if (rows != RowCount() || SortColumn() < 0) {
        order_.resize(static_cast<size_t>(rows));
        std::iota(order_.begin(), order_.end(), 0);
    }
    Clamp();
}

int GridModel::DataRow(int displayRow) const {
    if (displayRow < 0 || displayRow >= RowCount()) return -1;
    return order_[static_cast<size_t>(displayRow)];
}

int GridModel::DisplayRow(int dataRow) const {
    for (int i = 0; i < RowCount(); ++i)
        if (order_[static_cast<size_t>(i)] == dataRow) return i;
    return -1;
}

void GridModel::ToggleSort(int column) {
    Column& target = this->column(column);
    SortMark next = target.sort == SortMark::Up ? SortMark::Down : SortMark::Up;
    for (auto& c : columns_) {
        c.sort = SortMark::None;
        c.sortOrder = -1;
    }
    target.sort = next;
    target.sortOrder = 0;
}

void GridModel::ClearSort() {
    for (auto& c : columns_) {
        c.sort = SortMark::None;
        c.sortOrder = -1;
    }
}

int GridModel::SortColumn() const {
    int best = -1;
    for (int i = 0; i < ColumnCount(); ++i) {
        const Column& c = columns_[i];
        if (c.sort == SortMark::None) continue;
        if (best < 0 || (c.sortOrder >= 0 && c.sortOrder < columns_[best].sortOrder)) best = i;
    }
    return best;
}

namespace {

// Case-insensitive comparison in the 8-bit code page, digits runs compared by
// value so that "9" sorts before "10".
int CompareKeys(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0) return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        int la = std::tolower(ca), lb = std::tolower(cb);
        if (la != lb) return la < lb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

void GridModel::Resort(const std::function<std::string(int, int)>& key, int pinnedDataRow) {
    int rows = RowCount();
    order_.resize(static_cast<size_t>(rows));
    std::iota(order_.begin(), order_.end(), 0);
    int col = SortColumn();
    if (col >= 0) {
        bool descending = columns_[col].sort == SortMark::Down;
        std::vector<std::string> keys(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) keys[static_cast<size_t>(r)] = key(r, col);
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            if (a == pinnedDataRow || b == pinnedDataRow) return b == pinnedDataRow && a != b;
            int c = CompareKeys(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
            return descending ? c > 0 : c < 0;
        });
    }
    Clamp();
}

void GridModel::SetFocus(int row, int column) {
    focusRow_ = row;
    if (column >= 0 && column < ColumnCount() && columns_[column].visible) focusColumn_ = column;
    Clamp();
}

void GridModel::SetTopRow(int row) {
    topRow_ = row;
    Clamp();
}

void GridModel::SetScrollX(int x) {
    scrollX_ = x;
    Clamp();
}

int GridModel::VisibleRowCount() const {
    int pitch = RowPitch();
    if (pitch <= 0) return 0;
    return std::max(0, (clientHeight_ - metrics_.headerHeight) / pitch);
}

int GridModel::MaxTopRow() const { return std::max(0, RowCount() - std::max(1, VisibleRowCount())); }

int GridModel::MaxScrollX() const {
    return std::max(0, metrics_.indicatorWidth + BandWidth() - clientWidth_);
}

void GridModel::ScrollIntoView(int row, int column) {
    if (row >= 0 && row < RowCount()) {
        int vis = std::max(1, VisibleRowCount());
        if (row < topRow_) topRow_ = row;
        else if (row >= topRow_ + vis) topRow_ = row - vis + 1;
    }
    if (column >= 0 && column < ColumnCount() && columns_[column].visible) {
        int left = 0;
        for (int i = 0; i < column; ++i)
            if (columns_[i].visible) left += columns_[i].width;
        int right = left + columns_[column].width;
        int view = clientWidth_ - metrics_.indicatorWidth;
        if (right - scrollX_ > view) scrollX_ = right - view;
        if (left < scrollX_) scrollX_ = left;
    }
    Clamp();
}

void GridModel::Clamp() {
    if (focusRow_ >= RowCount()) focusRow_ = RowCount() - 1;
    if (focusRow_ < 0) focusRow_ = 0;
    if (focusColumn_ >= ColumnCount() || (focusColumn_ >= 0 && !columns_[focusColumn_].visible))
        focusColumn_ = FirstVisible();
    topRow_ = std::clamp(topRow_, 0, MaxTopRow());
    scrollX_ = std::clamp(scrollX_, 0, MaxScrollX());
}

int GridModel::FirstVisible() const { return NextVisible(-1, 1); }
int GridModel::LastVisible() const { return NextVisible(ColumnCount(), -1); }

int GridModel::NextVisible(int column, int step) const {
    for (int i = column + step; i >= 0 && i < ColumnCount(); i += step)
        if (columns_[i].visible) return i;
    return -1;
}

GridModel::Target GridModel::Navigate(Move move) const {
    int row = focusRow_, col = focusColumn_;
    int last = std::max(0, RowCount() - 1);
    int page = std::max(1, VisibleRowCount());
    switch (move) {
        case Move::None:
            break;
        case Move::Right:
        case Move::Tab: {
            int next = NextVisible(col, 1);
            if (next >= 0) col = next;
            else if (row < last) {
                ++row;
                col = FirstVisible();
            }
            break;
        }
        case Move::Left:
        case Move::BackTab: {
            int prev = NextVisible(col, -1);
            if (prev >= 0) col = prev;
            else if (row > 0) {
                --row;
                col = LastVisible();
            }
            break;
        }
        case Move::Up: row = std::max(0, row - 1); break;
        case Move::Down: row = std::min(last, row + 1); break;
        case Move::PageUp: row = std::max(0, row - page); break;
        case Move::PageDown: row = std::min(last, row + page); break;
        case Move::Home: col = FirstVisible(); break;
        case Move::End: col = LastVisible(); break;
        case Move::First: row = 0; break;
        case Move::Last: row = last; break;
    }
    return {row, col};
}

int GridModel::ColumnLeft(int column) const {
    if (column < 0 || column >= ColumnCount() || !columns_[column].visible) return -1;
    int x = metrics_.indicatorWidth - scrollX_;
    for (int i = 0; i < column; ++i)
        if (columns_[i].visible) x += columns_[i].width;
    return x;
}

Rect GridModel::HeaderRect(int column) const {
    if (column < 0 || column >= ColumnCount() || !columns_[column].visible) return {};
    int left = ColumnLeft(column);
    return {left, 0, left + columns_[column].width, metrics_.headerHeight};
}

Rect GridModel::CellRect(int row, int column) const {
    if (column < 0 || column >= ColumnCount() || !columns_[column].visible) return {};
    int left = ColumnLeft(column);
    int top = metrics_.headerHeight + (row - topRow_) * RowPitch();
    return {left, top, left + columns_[column].width, top + metrics_.rowHeight};
}

Rect GridModel::PreviewRect(int row) const {
    int top = metrics_.headerHeight + (row - topRow_) * RowPitch() + metrics_.rowHeight;
    return {metrics_.indicatorWidth - scrollX_, top, metrics_.indicatorWidth - scrollX_ + BandWidth(),
            top + metrics_.previewHeight};
}

Rect GridModel::IndicatorRect(int row) const {
    int top = metrics_.headerHeight + (row - topRow_) * RowPitch();
    return {0, top, metrics_.indicatorWidth, top + RowPitch()};
}

int GridModel::ButtonCount(int column) const {
    const Column& c = this->column(column);
    switch (c.kind) {
        case ColumnKind::Popup: return 1;
        case ColumnKind::Button: return static_cast<int>(c.buttons.size());
        default: return 0;
    }
}

Rect GridModel::ButtonRect(int row, int column, int button) const {
    int n = ButtonCount(column);
    if (button < 0 || button >= n) return {};
    Rect cell = CellRect(row, column);
    int w = std::min(metrics_.buttonWidth, std::max(0, cell.Width() / n));
    int left = cell.right - (n - button) * w;
    return {left, cell.top, left + w, cell.bottom};
}

Rect GridModel::CheckRect(int row, int column) const {
    Rect cell = CellRect(row, column);
    int s = std::min({metrics_.checkSize, cell.Width(), cell.Height()});
    int left = cell.left + (cell.Width() - s) / 2;
    int top = cell.top + (cell.Height() - s) / 2;
    return {left, top, left + s, top + s};
}

Hit GridModel::HitTest(int x, int y) const {
    Hit hit;
    if (x < 0 || y < 0 || x >= clientWidth_ || y >= clientHeight_) return hit;
    if (y < metrics_.headerHeight) {
        if (x < metrics_.indicatorWidth) return hit;
        // A divider wins over the header it borders.
        for (int c : VisibleColumns()) {
            Rect r = HeaderRect(c);
            if (x >= r.right - metrics_.dividerSlop && x <= r.right + metrics_.dividerSlop) {
                hit.area = HitArea::HeaderDivider;
                hit.column = c;
            }
        }
        if (hit.area == HitArea::HeaderDivider) return hit;
        for (int c : VisibleColumns()) {
            if (HeaderRect(c).Contains(x, y)) {
                hit.area = HitArea::Header;
                hit.column = c;
                return hit;
            }
        }
        return hit;
    }
    int pitch = RowPitch();
    int row = topRow_ + (y - metrics_.headerHeight) / pitch;
    if (row >= RowCount()) return hit;
    hit.row = row;
    if (x < metrics_.indicatorWidth) {
        hit.area = HitArea::Indicator;
        return hit;
    }
    int within = (y - metrics_.headerHeight) % pitch;
    if (within >= metrics_.rowHeight) {
        hit.area = PreviewRect(row).Contains(x, y) ? HitArea::Preview : HitArea::Nothing;
        if (hit.area == HitArea::Nothing) hit.row = -1;
        return hit;
    }
    for (int c : VisibleColumns()) {
        if (!CellRect(row, c).Contains(x, y)) continue;
        hit.column = c;
        hit.area = HitArea::Cell;
        for (int b = 0; b < ButtonCount(c); ++b) {
            if (ButtonRect(row, c, b).Contains(x, y)) {
                hit.area = HitArea::CellButton;
                hit.button = b;
            }
        }
        if (columns_[c].kind == ColumnKind::Check && CheckRect(row, c).Contains(x, y))
            hit.area = HitArea::CheckBox;
        return hit;
    }
    hit.row = -1;
    return hit;
}

GridLayoutDesc GridModel::SaveLayout() const {
    GridLayoutDesc d;
    d.options = options_;
    d.bands.push_back({bandId_, bandVisible_, 0, BandWidth()});
    int shown = 0;
    for (int i = 0; i < ColumnCount(); ++i) {
        const Column& c = columns_[i];
        LayoutColumn lc;
        lc.name = c.name;
        lc.visible = c.visible;
        lc.colIndex = c.visible ? shown++ : -1;
        lc.index = i;
        lc.width = c.width;
        lc.sorted = static_cast<int>(c.sort);
        lc.sortedOrder = c.sort == SortMark::None ? -1 : c.sortOrder;
        d.columns.push_back(lc);
    }
    return d;
}

void GridModel::ApplyLayout(const GridLayoutDesc& layout) {
    int headerRows = options_.headerPanelRowCount;
    options_ = layout.options;
    if (layout.options.headerPanelRowCount == -1) options_.headerPanelRowCount = headerRows;
    for (const auto& b : layout.bands) {
        if (b.id != bandId_) continue;
        bandVisible_ = b.visible;
        if (b.width > 0) SetBandWidth(b.width);
    }
    std::vector<int> stored(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) stored[i] = static_cast<int>(i);
    for (const auto& lc : layout.columns) {
        int i = FindColumn(lc.name);
        if (i < 0) continue;
        Column& c = columns_[static_cast<size_t>(i)];
        c.visible = lc.visible;
        if (lc.width > 0) c.width = std::max(lc.width, c.minWidth);
        c.sort = lc.sorted == 1 ? SortMark::Down : lc.sorted == 2 ? SortMark::Up : SortMark::None;
        c.sortOrder = c.sort == SortMark::None ? -1 : lc.sortedOrder;
        if (c.sort != SortMark::None && c.sortOrder < 0) c.sortOrder = 0;
        stored[static_cast<size_t>(i)] = lc.index;
    }
    std::vector<size_t> perm(columns_.size());
    std::iota(perm.begin(), perm.end(), size_t{0});
    std::stable_sort(perm.begin(), perm.end(), [&](size_t a, size_t b) { return stored[a] < stored[b]; });
    std::string focusName = focusColumn_ >= 0 ? columns_[static_cast<size_t>(focusColumn_)].name : std::string();
    std::vector<Column> reordered;
    for (size_t p : perm) reordered.push_back(std::move(columns_[p]));
    columns_ = std::move(reordered);
    focusColumn_ = FindColumn(focusName);
    Clamp();
}

}  // namespace qv::grid
