// Editing a cursor's rows: edit, insert, post, cancel and delete.
#include <algorithm>

#include "engine/CursorImpl.h"

namespace qv::engine {

using detail::Fail;
using detail::Row;
using detail::Value;

void Cursor::Impl::CheckBrowseMode() {
    if (!Editing()) return;
    if (modified)
        self.Post();
    else
        self.Cancel();
}

void Cursor::Impl::BeginInsert(bool append) {
    CheckActive();
    CheckBrowseMode();
    Raise(self.BeforeScroll);
    savedCur = cur;
    const int pos = append || cur < 0 ? static_cast<int>(ids.size()) : cur;
    ids.insert(ids.begin() + pos, 0);
    cur = pos;
    bof = eof = false;
    buffer.assign(FieldCount(), Value{});
    dirty.assign(FieldCount(), false);
    state = DatasetState::Insert;
    Notify(DataChange::StateChanged);
    Notify(DataChange::RowsChanged);
    Raise(self.AfterInsert);
    modified = false;  // the defaults set after insert are no change of the user's
    Raise(self.AfterScroll);
}

void Cursor::Impl::CheckRequired() const {
    for (size_t i = 0; i < FieldCount(); ++i) {
        if (meta.def.fields[i].type == FieldType::AutoInc) continue;  // numbered at the post
        if (required[i] && buffer[i].null)
            Fail(ErrorCode::RequiredMissing,
                 "Feld '" + meta.def.fields[i].name + "' mu\xdf einen Wert haben");
    }
}

void Cursor::Impl::WriteFailed(const sql::SqlError& e) {
    if ((e.rc() & 0xff) == SQLITE_CONSTRAINT)
        Fail(ErrorCode::Generic, "Key violation in table '" + fileName + "'");
    throw;
}

void Cursor::Impl::WriteInsert() {
    Row values = buffer;
    int64_t rowid = 0;
    try {
        sql::Transaction t(db);
        for (size_t i = 0; i < FieldCount(); ++i) {
            if (meta.def.fields[i].type != FieldType::AutoInc) continue;
            int64_t next = 1;
            {
                sql::Stmt st(db, "SELECT value FROM qv_meta WHERE key='next_autoinc'");
                if (st.Step()) next = st.Int(0);
            }
            if (values[i].null) {
                values[i].null = false;
                values[i].i = next;
            }
            sql::Stmt up(db, "UPDATE qv_meta SET value=?1 WHERE key='next_autoinc'");
            up.Bind(1, std::max(next, values[i].i + 1)).Run();
        }
        std::string cols, params;
        for (size_t i = 0; i < FieldCount(); ++i) {
            cols += (i ? ", " : "") + sql::Quote(meta.def.fields[i].name);
            params += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        sql::Stmt st(db, "INSERT INTO " + sql::Quote(meta.table) + "(" + cols + ") VALUES(" + params + ")");
        for (size_t i = 0; i < FieldCount(); ++i)
            detail::BindValue(st, static_cast<int>(i + 1), values[i], meta.def.fields[i].type,
                              &session.codec());
        st.Run();
        rowid = db.LastRowId();
        t.Commit();
    } catch (const sql::SqlError& e) {
        WriteFailed(e);
    }
    ++ownWrites;
    buffer = values;
    ids[static_cast<size_t>(cur)] = rowid;
    if (cache.size() >= kCachedRows) cache.clear();
    cache[rowid] = values;
}

void Cursor::Impl::WriteUpdate() {
    const int64_t rowid = ids[static_cast<size_t>(cur)];
    std::string sets;
    for (size_t i = 0; i < FieldCount(); ++i)
        if (dirty[i]) sets += (sets.empty() ? "" : ", ") + sql::Quote(meta.def.fields[i].name) + "=?" + std::to_string(i + 1);
    if (!sets.empty()) {
        try {
            sql::Transaction t(db);
            const int rowParam = static_cast<int>(FieldCount() + 1);
            sql::Stmt st(db, "UPDATE " + sql::Quote(meta.table) + " SET " + sets +
                                 " WHERE rowid=?" + std::to_string(rowParam));
            for (size_t i = 0; i < FieldCount(); ++i)
                if (dirty[i])
                    detail::BindValue(st, static_cast<int>(i + 1), buffer[i], meta.def.fields[i].type,
                                      &session.codec());
            st.Bind(rowParam, rowid);
            st.Run();
            if (sqlite3_changes(db.get()) != 1)
                Fail(ErrorCode::RowDeleted, "Record has been deleted by another user");
            t.Commit();
        } catch (const sql::SqlError& e) {
            WriteFailed(e);
        }
        ++ownWrites;
    }
    if (cache.size() >= kCachedRows) cache.clear();
    cache[rowid] = buffer;
}

void Cursor::Impl::EndEdit() {
    if (!tableLocked) ReleaseRowLock();
    dirty.assign(FieldCount(), false);
    modified = false;
    state = DatasetState::Browse;
}

void Cursor::Edit() {
    Impl& d = *impl_;
    d.CheckActive();
    if (d.Editing()) return;
    if (d.ids.empty()) {
        Insert();
        return;
    }
    const int64_t rowid = d.CurrentId();
    d.AcquireRowLock(rowid);
    // Re-read under the lock, so the edit starts from what is on disk now.
    Row fresh;
    bool found = false;
    try {
        found = d.ReadRow(rowid, fresh);
    } catch (...) {
        d.ReleaseRowLock();
        throw;
    }
    if (!found) {
        d.ReleaseRowLock();
        d.ids.erase(d.ids.begin() + d.cur);
        d.cache.erase(rowid);
        d.ClampCurrent();
        d.Notify(DataChange::RowsChanged);
        Fail(ErrorCode::RowDeleted, "Record has been deleted by another user");
    }
    auto kept = d.cache.find(rowid);
    const bool changed = kept != d.cache.end() && !(fresh == kept->second);
    if (kept == d.cache.end() && d.cache.size() >= Impl::kCachedRows) d.cache.clear();
    d.cache[rowid] = fresh;
    d.buffer = fresh;
    d.dirty.assign(d.FieldCount(), false);
    d.modified = false;
    d.state = DatasetState::Edit;
    if (changed) d.Notify(DataChange::RowsChanged);
    d.Notify(DataChange::StateChanged);
}

void Cursor::Append() { impl_->BeginInsert(true); }
void Cursor::Insert() { impl_->BeginInsert(false); }

void Cursor::Post() {
    Impl& d = *impl_;
    d.CheckActive();
    if (!d.Editing()) return;
    d.CheckRequired();
    d.Raise(BeforePost);
    if (d.state == DatasetState::Insert) {
        // Nobody adds rows to a table that another user has locked.
        if (!d.tableLocked &&
            !d.Retry([&] { return d.lock.CouldLock(detail::kTableByte, 1, false); }))
            Fail(ErrorCode::TableLocked,
                 "The table '" + d.fileName + "' is already locked by another user");
        d.WriteInsert();
    }
    else
        d.WriteUpdate();
    d.EndEdit();
    d.Notify(DataChange::StateChanged);
    d.Notify(DataChange::RowsChanged);
    d.Raise(AfterPost);
}

void Cursor::Cancel() {
    Impl& d = *impl_;
    if (!d.Editing()) return;
    if (d.state == DatasetState::Insert) {
        d.ids.erase(d.ids.begin() + d.cur);
        d.cur = d.savedCur;
        d.ClampCurrent();
    }
    d.EndEdit();
    d.Notify(DataChange::StateChanged);
    d.Notify(DataChange::RowsChanged);
}

void Cursor::Delete() {
    Impl& d = *impl_;
    d.CheckActive();
    if (d.state == DatasetState::Insert) {
        Cancel();
        return;
    }
    if (d.ids.empty()) Fail(ErrorCode::WrongState, "Cannot perform this operation on an empty dataset");
    const int64_t rowid = d.CurrentId();
    d.AcquireRowLock(rowid);
    d.Raise(BeforeScroll);
    try {
        sql::Stmt st(d.db, "DELETE FROM " + sql::Quote(d.meta.table) + " WHERE rowid=?1");
        st.Bind(1, rowid).Run();
    } catch (...) {
        if (d.state != DatasetState::Edit) d.ReleaseRowLock();
        throw;
    }
    ++d.ownWrites;
    d.EndEdit();
    d.ReleaseRowLock();
    d.ids.erase(d.ids.begin() + d.cur);
    d.cache.erase(rowid);
    d.ClampCurrent();
    d.Notify(DataChange::StateChanged);
    d.Notify(DataChange::RowsChanged);
    d.Raise(AfterScroll);
}

void Cursor::EmptyTable() {
    Impl& d = *impl_;
    d.CheckActive();
    d.CheckBrowseMode();
    const bool hadLock = d.tableLocked;
    LockTable();
    try {
        d.db.Exec("DELETE FROM " + sql::Quote(d.meta.table));
    } catch (...) {
        if (!hadLock) UnlockTable();
        throw;
    }
    if (!hadLock) UnlockTable();
    ++d.ownWrites;
    d.ids.clear();
    d.cache.clear();
    d.ClampCurrent();
    d.Notify(DataChange::RowsChanged);
}

bool Cursor::Modified() const { return impl_->modified; }

}  // namespace qv::engine
