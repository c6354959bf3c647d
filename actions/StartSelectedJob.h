// The logic behind the main window's "&Starten" button, free of any window:
// find the job selected in the grid among the rows of the scheduler cursor and
// start exactly that one.
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
    std::function<std::int64_t()> currentId; // ID of the current row
};

// The operations of a table cursor with Refresh, First, Next, Eof and
// FieldByName("ID").AsInteger() (the table engine's Cursor). The cursor must
// outlive the returned object.
template <typename CursorT>
SchedulerCursorOps CursorOps(CursorT& c) {
    SchedulerCursorOps ops;
    ops.refresh = [&c] { c.Refresh(); };
    ops.first = [&c] { c.First(); };
    ops.next = [&c] { c.Next(); };
    ops.eof = [&c] { return c.Eof(); };
    ops.currentId = [&c] { return static_cast<std::int64_t>(c.FieldByName("ID").AsInteger()); };
    return ops;
}

// Refreshes the scheduler cursor, walks it from the first row to the row whose
// ID is selectedId and calls runCurrent (RunJobAction on that row). Returns its
// result text, or nothing when no row carries the ID (a row not posted yet):
// then no job is started, in particular not the last row's.
std::optional<std::string> StartSelectedJob(std::int64_t selectedId, const SchedulerCursorOps& cursor,
                                            const std::function<std::string()>& runCurrent);

}  // namespace qv::actions
