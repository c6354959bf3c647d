#include "ui/data/CursorGridSource.h"

#include <cstdio>
#include <stdexcept>

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

}  // namespace

CursorGridSource::CursorGridSource(engine::Cursor& cursor) : cursor_(cursor) {
    observer_ = cursor_.AddObserver([this](engine::Cursor&, engine::DataChange c) { OnCursor(c); });
}

CursorGridSource::~CursorGridSource() { cursor_.RemoveObserver(observer_); }

void CursorGridSource::OnCursor(engine::DataChange change) {
    switch (change) {
        case engine::DataChange::Opened:
        case engine::DataChange::Closed:
        case engine::DataChange::RowsChanged:
            texts_.clear();
            Notify(grid::SourceChange::Rows);
            break;
        case engine::DataChange::ValuesChanged:
            texts_.clear();
            Notify(grid::SourceChange::Values);
            break;
        case engine::DataChange::Scrolled: Notify(grid::SourceChange::Current); break;
        case engine::DataChange::StateChanged:
            FollowNewRow();
            Notify(grid::SourceChange::State);
            break;
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

const std::vector<std::string>& CursorGridSource::RowTexts(int row) const {
    auto it = texts_.find(row);
    if (it != texts_.end()) return it->second;
    // Enough for the rows a window shows; a grid that scrolls far reads again.
    if (texts_.size() >= 512) texts_.clear();
    std::vector<std::string> texts(static_cast<size_t>(cursor_.FieldCount()));
    cursor_.Peek(row, [&] {
        for (size_t i = 0; i < texts.size(); ++i) texts[i] = FieldDisplayText(cursor_.FieldByIndex(static_cast<int>(i)));
    });
    return texts_.emplace(row, std::move(texts)).first->second;
}

int CursorGridSource::FieldIndex(const std::string& field) const { return cursor_.FieldByName(field).index(); }

// A new row leaves the insert state by its post, which keeps it where it
// was and gives it its row number, or by a cancel, which removes it.
void CursorGridSource::FollowNewRow() {
    const DatasetState now = cursor_.state();
    if (now == DatasetState::Insert && lastState_ != DatasetState::Insert) {
        newRowKey_ = -(++newRowsStarted_);
        rowsWhileInserting_ = cursor_.RecordCount();
    } else if (lastState_ == DatasetState::Insert && now == DatasetState::Browse &&
               cursor_.RecordCount() == rowsWhileInserting_ && cursor_.RowId() != 0) {
        postedNewRowKey_ = newRowKey_;
        postedNewRowId_ = cursor_.RowId();
    }
    lastState_ = now;
}

long long CursorGridSource::CurrentRowKey() const {
    if (!cursor_.active() || cursor_.RecNo() < 0) return 0;
    if (cursor_.state() == DatasetState::Insert) return newRowKey_;
    return cursor_.RowId();
}

bool CursorGridSource::IsCurrentRow(long long key) const {
    const long long now = CurrentRowKey();
    return key == now || (key != 0 && key == postedNewRowKey_ && now == postedNewRowId_);
}

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
    const std::vector<std::string>& texts = RowTexts(row);
    const size_t f = static_cast<size_t>(FieldIndex(field));
    return f < texts.size() ? texts[f] : std::string();
}

std::string CursorGridSource::SortKey(int row, const std::string& field) const {
    if (!cursor_.active() || row < 0 || row >= cursor_.RecordCount()) return {};
    std::string key;
    cursor_.Peek(row, [&] { key = SortText(cursor_.FieldByName(field)); });
    return key;
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
    if (cursor_.RecordCount() == 0) cursor_.Append();
    else cursor_.Edit();
}
void CursorGridSource::Post() { cursor_.Post(); }
void CursorGridSource::Cancel() { cursor_.Cancel(); }
void CursorGridSource::Insert() { cursor_.Insert(); }
void CursorGridSource::Append() { cursor_.Append(); }
void CursorGridSource::Delete() { cursor_.Delete(); }

}  // namespace qv::ui
