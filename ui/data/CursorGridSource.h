// Binds the data grid to a table cursor: the grid's rows are the cursor's
// rows, its current row is the cursor's, and edits go through the cursor's
// field objects and dataset rules. Values show in their display form
// (DisplayFormat) and read back from it.
//
// The cursor gives values of its current row only, so the other rows' texts
// are read by walking the cursor once after its rows changed (only while it is
// browsing, with its scroll events held back) and kept until the next change.
#pragma once

#include <string>
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
    struct CachedRow {
        std::vector<std::string> display, sort;
    };
    void OnCursor(engine::DataChange change);
    void EnsureCache() const;
    void ReadCurrent(CachedRow& row) const;
    int FieldIndex(const std::string& field) const;

    engine::Cursor& cursor_;
    int observer_ = -1;
    mutable std::vector<CachedRow> cache_;
    mutable bool stale_ = true;
    mutable bool reading_ = false;
    bool inCursorCall_ = false;
};

}  // namespace qv::ui
