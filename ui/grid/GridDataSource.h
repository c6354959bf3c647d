// What the data grid needs of its data: rows with text cells addressed by field
// name, one current row that can be edited, and dataset rules for saving.
// Implementations bind a table cursor (CursorGridSource) or hold rows in memory
// (MemoryGridSource). No window system here.
#pragma once

#include <functional>
#include <string>

namespace qv::grid {

enum class RowState { Browse, Edit, Insert };

enum class SourceChange {
    Current,  // another row became current
    State,    // browse/edit/insert changed
    Values,   // values of rows changed (repaint)
    Rows,     // rows were added, removed or reread (count and order may differ)
};

class GridDataSource {
public:
    virtual ~GridDataSource() = default;

    virtual int RowCount() const = 0;    // includes a row being inserted
    virtual int CurrentRow() const = 0;  // -1 when there are no rows
    // Names the current row for as long as it exists, wherever rereading puts
    // it; IsCurrentRow tells whether a name taken earlier names the current
    // row now. A source that never reorders its rows may name them by place.
    virtual long long CurrentRowKey() const { return CurrentRow(); }
    virtual bool IsCurrentRow(long long key) const { return key == CurrentRowKey(); }
    // Makes row current. Leaving an edited row posts it when it was changed
    // and drops the edit when not (a new row that was never changed vanishes).
    virtual void MoveTo(int row) = 0;

    // The display text of any row's field, and the key header sorting uses.
    virtual std::string CellText(int row, const std::string& field) const = 0;
    virtual std::string SortKey(int row, const std::string& field) const { return CellText(row, field); }

    // The current row's value in its editable form, and a new value for it
    // (puts the row into editing). Throws with a readable message when the
    // text is no valid value for the field; nothing changes then.
    virtual std::string Value(const std::string& field) const = 0;
    virtual void SetValue(const std::string& field, const std::string& text) = 0;

    virtual RowState State() const = 0;
    virtual bool Modified() const = 0;
    virtual void Edit() = 0;
    virtual void Post() = 0;
    virtual void Cancel() = 0;
    virtual void Insert() = 0;  // a new row before the current one
    virtual void Append() = 0;  // a new row at the end
    virtual void Delete() = 0;

    // The grid listens here; one listener at a time.
    void SetListener(std::function<void(SourceChange)> listener) { listener_ = std::move(listener); }

protected:
    void Notify(SourceChange change) const {
        if (listener_) listener_(change);
    }

private:
    std::function<void(SourceChange)> listener_;
};

}  // namespace qv::grid
