// Binds the data grid to a table cursor: the grid's rows are the cursor's
// rows, its current row is the cursor's, and edits go through the cursor's
// field objects and dataset rules. Values show in their display form
// (DisplayFormat) and read back from it.
//
// Other rows' texts are read through Cursor::Peek when the grid first asks
// for them (the rows it shows) and kept until the rows or values change; sort
// keys are read when the grid sorts, and not kept.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/Table.h"
#include "ui/grid/GridDataSource.h"

namespace qv::ui {

class CursorGridSource : public grid::GridDataSource {
public:
    explicit CursorGridSource(engine::Cursor& cursor);
    ~CursorGridSource() override;
    CursorGridSource(const CursorGridSource&) = delete;
    CursorGridSource& operator=(const CursorGridSource&) = delete;

    int RowCount() const override;
    int CurrentRow() const override;
    // The engine's row number; a new row has a name of its own, which stays
    // with it once it is posted.
    long long CurrentRowKey() const override;
    bool IsCurrentRow(long long key) const override;
    void MoveTo(int row) override;
    std::string CellText(int row, const std::string& field) const override;
    std::string SortKey(int row, const std::string& field) const override;
    std::string Value(const std::string& field) const override;
    void SetValue(const std::string& field, const std::string& text) override;
    grid::RowState State() const override;
    bool Modified() const override;
    void Edit() override;
    void Post() override;
    void Cancel() override;
    void Insert() override;
    void Append() override;
    void Delete() override;

    // Sort text of a field's value: the storage form, which sorts by time.
    static std::string SortText(engine::Field& field);

private:
    void OnCursor(engine::DataChange change);
    void FollowNewRow();
    // The display texts of a row other than the current one.
    const std::vector<std::string>& RowTexts(int row) const;
    int FieldIndex(const std::string& field) const;

    engine::Cursor& cursor_;
    int observer_ = -1;
    // A new row is named by a negative number until it is posted; the last
    // one posted keeps answering to it.
    long long newRowKey_ = 0;
    long long newRowsStarted_ = 0;
    int rowsWhileInserting_ = 0;
    engine::DatasetState lastState_ = engine::DatasetState::Inactive;
    long long postedNewRowKey_ = 0;
    int64_t postedNewRowId_ = 0;
    mutable std::unordered_map<int, std::vector<std::string>> texts_;  // by row
};

}  // namespace qv::ui
