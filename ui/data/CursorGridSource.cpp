#include "ui/data/CursorGridSource.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "ui/data/DisplayFormat.h"

namespace qv::ui {

namespace {

using engine::DatasetState;
using engine::FieldType;

// "h:mm" or "h:mm:ss", each part in range.
bool ParseClock(const std::string& text, TimeOfDay& out) {
    int h = 0, m = 0, s = 0;
    char tail = 0;
    int n = std::sscanf(text.c_str(), "%d:%d:%d%c", &h, &m, &s, &tail);
    if (n != 2 && n != 3) return false;
    if (n == 2) {
        // "8:05x" reads as two fields too: make sure nothing follows.
        char extra = 0;
        if (std::sscanf(text.c_str(), "%*d:%*d%c", &extra) == 1) return false;
        s = 0;
    }
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return false;
    out = MakeTime(h, m, s);
    return true;
}

// Holds a cursor's scroll events back while the rows are read.
class QuietScroll {
public:
    explicit QuietScroll(engine::Cursor& c)
        : c_(c), before_(std::exchange(c.BeforeScroll, nullptr)), after_(std::exchange(c.AfterScroll, nullptr)) {}
    ~QuietScroll() {
        c_.BeforeScroll = std::move(before_);
        c_.AfterScroll = std::move(after_);
    }
    QuietScroll(const QuietScroll&) = delete;
    QuietScroll& operator=(const QuietScroll&) = delete;

private:
    engine::Cursor& c_;
    engine::DatasetEvent before_, after_;
};

class InCursorCall {
public:
    explicit InCursorCall(bool& flag) : flag_(flag), old_(std::exchange(flag, true)) {}
    ~InCursorCall() { flag_ = old_; }
    InCursorCall(const InCursorCall&) = delete;
    InCursorCall& operator=(const InCursorCall&) = delete;

private:
    bool& flag_;
    bool old_;
};

}  // namespace

CursorGridSource::CursorGridSource(engine::Cursor& cursor) : cursor_(cursor) {
    observer_ = cursor_.AddObserver([this](engine::Cursor&, engine::DataChange c) { OnCursor(c); });
    EnsureCache();
}

CursorGridSource::~CursorGridSource() { cursor_.RemoveObserver(observer_); }

void CursorGridSource::OnCursor(engine::DataChange change) {
    if (reading_) return;
    // Listeners that read rows now get what was read before: the cursor is
    // in the middle of its own call and must not be moved.
    InCursorCall guard(inCursorCall_);
    switch (change) {
        case engine::DataChange::Opened:
        case engine::DataChange::Closed:
        case engine::DataChange::RowsChanged:
            stale_ = true;
            Notify(grid::SourceChange::Rows);
            break;
        case engine::DataChange::Scrolled: Notify(grid::SourceChange::Current); break;
        case engine::DataChange::StateChanged: Notify(grid::SourceChange::State); break;
        case engine::DataChange::FieldChanged: Notify(grid::SourceChange::Values); break;
    }
}

std::string CursorGridSource::SortText(engine::Field& f) {
    if (f.IsNull()) return {};
    switch (f.type()) {
        case FieldType::Time: return FormatTime(f.AsTime());
        case FieldType::DateTime: return FormatDateTime(f.AsDateTime());
        default: return f.AsString();
    }
}

void CursorGridSource::ReadCurrent(CachedRow& row) const {
    int n = cursor_.FieldCount();
    row.display.resize(static_cast<size_t>(n));
    row.sort.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        engine::Field& f = cursor_.FieldByIndex(i);
        row.display[static_cast<size_t>(i)] = FieldDisplayText(f);
        row.sort[static_cast<size_t>(i)] = SortText(f);
    }
}

void CursorGridSource::EnsureCache() const {
    if (!stale_) return;
    if (!cursor_.active()) {
        cache_.clear();
        stale_ = false;
        return;
    }
    int count = cursor_.RecordCount();
    if (cursor_.state() != DatasetState::Browse || inCursorCall_) {
        // Moving now would post or drop the edit, or disturb the cursor in
        // the middle of its own call: keep the rows read so far
        // in step with the count and read them properly once browsing again.
        int cur = std::max(0, cursor_.RecNo());
        while (static_cast<int>(cache_.size()) < count)
            cache_.insert(cache_.begin() + std::min(cur, static_cast<int>(cache_.size())), CachedRow{});
        while (static_cast<int>(cache_.size()) > count) cache_.pop_back();
        return;
    }
    reading_ = true;
    try {
        QuietScroll quiet(cursor_);
        int keep = cursor_.RecNo();
        cache_.assign(static_cast<size_t>(count), CachedRow{});
        for (int i = 0; i < count; ++i) {
            cursor_.MoveTo(i);
            ReadCurrent(cache_[static_cast<size_t>(i)]);
        }
        if (keep >= 0) cursor_.MoveTo(keep);
    } catch (...) {
        reading_ = false;
        throw;
    }
    reading_ = false;
    stale_ = false;
}

int CursorGridSource::FieldIndex(const std::string& field) const { return cursor_.FieldByName(field).index(); }

int CursorGridSource::RowCount() const { return cursor_.active() ? cursor_.RecordCount() : 0; }

int CursorGridSource::CurrentRow() const { return cursor_.active() ? cursor_.RecNo() : -1; }

void CursorGridSource::MoveTo(int row) {
    // An untouched new row vanishes on leaving: the rows behind it move up.
    if (cursor_.state() == DatasetState::Insert && !cursor_.Modified() && row > cursor_.RecNo()) --row;
    cursor_.MoveTo(row);
}

std::string CursorGridSource::CellText(int row, const std::string& field) const {
    if (!cursor_.active() || row < 0 || row >= cursor_.RecordCount()) return {};
    if (row == cursor_.RecNo()) return FieldDisplayText(cursor_.FieldByName(field));
    EnsureCache();
    if (row >= static_cast<int>(cache_.size())) return {};
    const CachedRow& r = cache_[static_cast<size_t>(row)];
    size_t f = static_cast<size_t>(FieldIndex(field));
    return f < r.display.size() ? r.display[f] : std::string();
}

std::string CursorGridSource::SortKey(int row, const std::string& field) const {
    if (!cursor_.active() || row < 0 || row >= cursor_.RecordCount()) return {};
    if (row == cursor_.RecNo()) return SortText(cursor_.FieldByName(field));
    EnsureCache();
    if (row >= static_cast<int>(cache_.size())) return {};
    const CachedRow& r = cache_[static_cast<size_t>(row)];
    size_t f = static_cast<size_t>(FieldIndex(field));
    return f < r.sort.size() ? r.sort[f] : std::string();
}

std::string CursorGridSource::Value(const std::string& field) const {
    if (!cursor_.active() || cursor_.RecNo() < 0) return {};
    return FieldDisplayText(cursor_.FieldByName(field));
}

void CursorGridSource::SetValue(const std::string& field, const std::string& text) {
    engine::Field& f = cursor_.FieldByName(field);
    int fieldIndex = f.index();
    // Check the text before the row goes into editing.
    TimeOfDay time{};
    DateTime moment{};
    switch (f.type()) {
        case FieldType::Time:
            if (!text.empty() && !ParseClock(text, time))
                throw std::runtime_error("'" + text + "' ist keine g\xfcltige Zeit");
            break;
        case FieldType::DateTime:
            if (!text.empty() && !ParseDisplayDateTime(text, moment))
                throw std::runtime_error("'" + text + "' ist kein g\xfcltiges Datum mit Uhrzeit");
            break;
        case FieldType::Integer:
        case FieldType::AutoInc:
            if (!text.empty() && (text.find_first_not_of("0123456789", text[0] == '-' ? 1 : 0) != std::string::npos ||
                                  text == "-" || text.size() > 18))
                throw std::runtime_error("'" + text + "' ist keine g\xfcltige Zahl");
            break;
        case FieldType::String: break;
    }
    if (cursor_.state() == DatasetState::Browse) {
        EnsureCache();  // last chance to read the other rows before editing
        if (cursor_.RecordCount() == 0) cursor_.Append();
        else cursor_.Edit();
    }
    engine::Field& target = cursor_.FieldByIndex(fieldIndex);
    if (text.empty()) {
        target.Clear();
        return;
    }
    switch (target.type()) {
        case FieldType::Time: target.SetAsTime(time); break;
        case FieldType::DateTime: target.SetAsDateTime(moment); break;
        case FieldType::Integer:
        case FieldType::AutoInc: target.SetAsInteger(std::stoll(text)); break;
        case FieldType::String: target.SetAsString(text); break;
    }
}

grid::RowState CursorGridSource::State() const {
    switch (cursor_.state()) {
        case DatasetState::Edit: return grid::RowState::Edit;
        case DatasetState::Insert: return grid::RowState::Insert;
        default: return grid::RowState::Browse;
    }
}

bool CursorGridSource::Modified() const { return cursor_.state() != DatasetState::Browse && cursor_.Modified(); }
void CursorGridSource::Edit() {
    EnsureCache();
    if (cursor_.RecordCount() == 0) cursor_.Append();
    else cursor_.Edit();
}
void CursorGridSource::Post() { cursor_.Post(); }
void CursorGridSource::Cancel() { cursor_.Cancel(); }
void CursorGridSource::Insert() {
    EnsureCache();
    cursor_.Insert();
}
void CursorGridSource::Append() {
    EnsureCache();
    cursor_.Append();
}
void CursorGridSource::Delete() { cursor_.Delete(); }

}  // namespace qv::ui
