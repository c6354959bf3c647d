#include "actions/StartSelectedJob.h"

namespace qv::actions {

std::optional<std::string> StartSelectedJob(std::int64_t selectedRow, const SchedulerCursorOps& cursor,
                                            const std::function<std::string()>& runCurrent) {
    // The scheduler cursor is refreshed only by the tick; without a refresh it
    // may not know a row the grid has just posted, or hold an old Pfad.
    if (selectedRow == 0) return std::nullopt;  // a new row, not yet posted
    cursor.refresh();
    for (cursor.first(); !cursor.eof(); cursor.next()) {
        if (cursor.currentRow() == selectedRow) return runCurrent();
    }
    return std::nullopt;
}

}  // namespace qv::actions
