// Row and table locks of a cursor, on the bytes of the table's lock file.
#include "engine/CursorImpl.h"

namespace qv::engine {

using detail::Fail;

void Cursor::Impl::AcquireRowLock(int64_t rowid) {
    if (tableLocked) return;  // the table lock covers every row
    if (rowLockHeld && lockedRow == rowid) return;
    ReleaseRowLock();
    const uint64_t at = detail::RowByte(rowid);
    if (!Retry([&] { return lock.TryLock(at, 1, true); }))
        Fail(ErrorCode::RowLocked,
             "Record in table '" + fileName + "' is in use by another user");
    rowLockHeld = true;
    lockedRow = rowid;
}

void Cursor::Impl::ReleaseRowLock() {
    if (rowLockHeld) lock.Unlock(detail::RowByte(lockedRow), 1);
    rowLockHeld = false;
    lockedRow = 0;
}

void Cursor::LockTable() {
    Impl& d = *impl_;
    d.CheckActive();
    if (d.tableLocked) return;
    // The table lock covers the row bytes, so a row lock of our own is given
    // up for it and taken back if the table cannot be had.
    const int64_t ownRow = d.rowLockHeld ? d.lockedRow : 0;
    d.ReleaseRowLock();
    auto attempt = [&] {
        if (!d.lock.TryLock(detail::kRowBase, detail::kRowSpan, true)) return false;
        if (d.lock.TryLock(detail::kTableByte, 1, true)) return true;
        d.lock.Unlock(detail::kRowBase, detail::kRowSpan);
        return false;
    };
    if (!d.Retry(attempt)) {
        if (ownRow != 0 && d.lock.TryLock(detail::RowByte(ownRow), 1, true)) {
            d.rowLockHeld = true;
            d.lockedRow = ownRow;
        }
        Fail(ErrorCode::TableLocked,
             "The table '" + d.fileName + "' is already locked by another user");
    }
    d.tableLocked = true;
}

void Cursor::UnlockTable() {
    Impl& d = *impl_;
    if (!d.tableLocked) return;
    d.lock.Unlock(detail::kTableByte, 1);
    d.lock.Unlock(detail::kRowBase, detail::kRowSpan);
    d.tableLocked = false;
    if (d.state == DatasetState::Edit) {
        const int64_t rowid = d.CurrentId();
        if (rowid != 0 && d.lock.TryLock(detail::RowByte(rowid), 1, true)) {
            d.rowLockHeld = true;
            d.lockedRow = rowid;
        }
    }
}

bool Cursor::RowLocked() {
    Impl& d = *impl_;
    if (!active()) return false;
    if (d.tableLocked) return true;
    const int64_t rowid = d.CurrentId();
    if (rowid == 0) return false;  // none, or not yet posted
    if (d.rowLockHeld && d.lockedRow == rowid) return true;
    return !d.lock.CouldLock(detail::RowByte(rowid), 1, true);
}

}  // namespace qv::engine
