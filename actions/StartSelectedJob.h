// The logic behind the main window's "&Starten" button, free of any window:
// find the job selected in the grid among the rows of the scheduler cursor and
// start exactly that one. Rows are told apart by the table engine's own row
// number, which both cursors share: the ID field need not be unique, nor a
// number, in a table other tools have written to.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv::actions {

// What the button needs of the scheduler cursor (tblTimer2).
struct SchedulerCursorOps {
    std::function<void()> refresh;           // see rows posted through the editor cursor
    std::function<void()> first;
    std::function<void()> next;
    std::function<bool()> eof;               // past the last row
    std::function<std::int64_t()> currentRow; // the engine's number of the current row
};

// The operations of a table cursor with Refresh, First, Next, Eof and RowId
// (the table engine's Cursor). The cursor must outlive the returned object.
template <typename CursorT>
SchedulerCursorOps CursorOps(CursorT& c) {
    SchedulerCursorOps ops;
    ops.refresh = [&c] { c.Refresh(); };
    ops.first = [&c] { c.First(); };
    ops.next = [&c] { c.Next(); };
    ops.eof = [&c] { return c.Eof(); };
    ops.currentRow = [&c] { return static_cast<std::int64_t>(c.RowId()); };
    return ops;
}

// Refreshes the scheduler cursor, walks it from the first row to the row
// selectedRow (the editor cursor's current row) and calls runCurrent
// (RunJobAction on that row). Returns its result text, or nothing when there
// is no such row (one not posted yet): then no job is started, in particular
// not the last row's.
std::optional<std::string> StartSelectedJob(std::int64_t selectedRow, const SchedulerCursorOps& cursor,
                                            const std::function<std::string()>& runCurrent);

}  // namespace qv::actions
