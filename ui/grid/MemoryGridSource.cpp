#include "ui/grid/MemoryGridSource.h"

#include <algorithm>
#include <stdexcept>

namespace qv::grid {

MemoryGridSource::MemoryGridSource(std::vector<std::string> fields)
    : fields_(std::move(fields)), defaults_(fields_.size()), required_(fields_.size(), false) {}

int MemoryGridSource::FieldIndex(const std::string& field) const {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i] == field) return static_cast<int>(i);
    throw std::runtime_error("Feld '" + field + "' nicht gefunden");
}

void MemoryGridSource::SetDefault(const std::string& field, const std::string& value) {
    defaults_[static_cast<size_t>(FieldIndex(field))] = value;
}

void MemoryGridSource::SetRequired(const std::string& field) {
    required_[static_cast<size_t>(FieldIndex(field))] = true;
}

void MemoryGridSource::AddRow(std::vector<std::string> values) {
    values.resize(fields_.size());
    rows_.push_back(std::move(values));
    if (current_ < 0) current_ = 0;
    Notify(SourceChange::Rows);
}

std::string MemoryGridSource::Stored(int row, const std::string& field) const {
    return rows_.at(static_cast<size_t>(row)).at(static_cast<size_t>(FieldIndex(field)));
}

int MemoryGridSource::CheckBrowse(int* droppedRow) {
    *droppedRow = -1;
    if (state_ == RowState::Browse) return 0;
    if (modified_) {
        Post();
        return 0;
    }
    bool wasInsert = state_ == RowState::Insert;
    int at = current_;
    Cancel();
    if (wasInsert) {
        *droppedRow = at;
        return -1;
    }
    return 0;
}

void MemoryGridSource::MoveTo(int row) {
    if (row == current_ && state_ == RowState::Browse) return;
    int dropped = -1;
    int shift = CheckBrowse(&dropped);
    if (dropped >= 0 && row > dropped) row += shift;
    if (rows_.empty()) {
        current_ = -1;
    } else {
        current_ = std::clamp(row, 0, RowCount() - 1);
    }
    Notify(SourceChange::Current);
}

std::string MemoryGridSource::CellText(int row, const std::string& field) const {
    size_t f = static_cast<size_t>(FieldIndex(field));
    if (row == current_ && state_ != RowState::Browse) return buffer_[f];
    if (row < 0 || row >= RowCount()) return {};
    return rows_[static_cast<size_t>(row)][f];
}

std::string MemoryGridSource::Value(const std::string& field) const {
    if (current_ < 0) return {};
    return CellText(current_, field);
}

void MemoryGridSource::SetValue(const std::string& field, const std::string& text) {
    size_t f = static_cast<size_t>(FieldIndex(field));
    if (validator_) validator_(field, text);
    if (state_ == RowState::Browse) Edit();
    buffer_[f] = text;
    modified_ = true;
    Notify(SourceChange::Values);
}

void MemoryGridSource::Edit() {
    if (state_ != RowState::Browse) return;
    if (rows_.empty()) {
        Append();
        return;
    }
    buffer_ = rows_[static_cast<size_t>(current_)];
    state_ = RowState::Edit;
    modified_ = false;
    Notify(SourceChange::State);
}

void MemoryGridSource::Post() {
    if (state_ == RowState::Browse) return;
    for (size_t f = 0; f < fields_.size(); ++f)
        if (required_[f] && buffer_[f].empty())
            throw std::runtime_error("Feld '" + fields_[f] + "' mu\xdf einen Wert haben");
    rows_[static_cast<size_t>(current_)] = buffer_;
    state_ = RowState::Browse;
    modified_ = false;
    ++posts_;
    Notify(SourceChange::Rows);
}

void MemoryGridSource::Cancel() {
    if (state_ == RowState::Browse) return;
    if (state_ == RowState::Insert) {
        rows_.erase(rows_.begin() + current_);
        if (current_ >= RowCount()) current_ = RowCount() - 1;
    }
    state_ = RowState::Browse;
    modified_ = false;
    Notify(SourceChange::Rows);
}

void MemoryGridSource::NewRow(int at) {
    int dropped = -1;
    int shift = CheckBrowse(&dropped);
    if (dropped >= 0 && at > dropped) at += shift;
    at = std::clamp(at, 0, RowCount());
    rows_.insert(rows_.begin() + at, defaults_);
    buffer_ = defaults_;
    current_ = at;
    state_ = RowState::Insert;
    modified_ = false;
    Notify(SourceChange::Rows);
}

void MemoryGridSource::Insert() { NewRow(current_ < 0 ? 0 : current_); }

void MemoryGridSource::Append() { NewRow(RowCount()); }

void MemoryGridSource::Delete() {
    if (state_ == RowState::Insert) {
        Cancel();
        return;
    }
    if (current_ < 0) return;
    state_ = RowState::Browse;
    modified_ = false;
    rows_.erase(rows_.begin() + current_);
    if (current_ >= RowCount()) current_ = RowCount() - 1;
    Notify(SourceChange::Rows);
}

}  // namespace qv::grid
