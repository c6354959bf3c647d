// Sessions, cursors and field objects.
#include <algorithm>
#include <map>

#include "engine/Platform.h"
#include "engine/Table.h"
#include "engine/TableFile.h"
#include "engine/Text.h"

namespace qv::engine {

using detail::Row;
using detail::Value;

Session::Session(std::string name, SessionOptions options)
    : name_(std::move(name)), options_(options), codec_(&PlatformCodec()) {}

void Session::Sleep(int ms) const {
    if (sleep_)
        sleep_(ms);
    else
        platform::SleepMs(ms);
}

namespace {

[[noreturn]] void Fail(ErrorCode code, const std::string& message) {
    throw EngineError(code, message);
}

}  // namespace

struct Cursor::Impl {
    struct Rec {
        int64_t rowid = 0;  // 0: a new row not yet posted
        Row values;
    };

    Impl(Cursor& c, Session& s, std::string p) : self(c), session(s), path(std::move(p)) {}

    Cursor& self;
    Session& session;
    std::string path;
    bool exclusive = false;
    DatasetState state = DatasetState::Inactive;

    platform::LockHandle lock;
    sql::Db db;
    detail::Meta meta;
    std::string fileName;
    std::string orderBy;
    std::unique_ptr<sql::Stmt> readRow;
    int64_t dataVersion = -1;

    std::vector<std::unique_ptr<Field>> fields;
    std::vector<bool> required;
    std::map<std::string, bool> requiredOverride;  // by lower-case field name

    std::vector<Rec> rows;
    int cur = -1;
    bool bof = true, eof = true;

    Row buffer;                // the row being edited or inserted
    std::vector<bool> dirty;   // fields assigned since Edit
    bool modified = false;
    int savedCur = -1;         // where an insert started

    bool rowLockHeld = false;  // an exclusive lock on lockedRow's byte
    int64_t lockedRow = 0;
    bool tableLocked = false;

    std::map<int, DataObserver> observers;
    int nextObserverId = 1;

    // --- helpers -------------------------------------------------------
    void CheckActive() const {
        if (state == DatasetState::Inactive)
            Fail(ErrorCode::WrongState, "Cannot perform this operation on a closed dataset");
    }
    bool Editing() const { return state == DatasetState::Edit || state == DatasetState::Insert; }
    size_t FieldCount() const { return meta.def.fields.size(); }

    void Notify(DataChange change) {
        if (observers.empty()) return;
        auto copy = observers;
        for (auto& o : copy)
            if (o.second) o.second(self, change);
    }
    void Raise(const DatasetEvent& event) {
        if (event) event(self);
    }

    // Tries once, then retries with the session's count and wait.
    template <typename F>
    bool Retry(F attempt) {
        if (attempt()) return true;
        const SessionOptions& o = session.options();
        for (int i = 0; i < o.lockRetryCount; ++i) {
            session.Sleep(o.lockWaitMs);
            if (attempt()) return true;
        }
        return false;
    }

    void AcquireRowLock(int64_t rowid) {
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
    void ReleaseRowLock() {
        if (rowLockHeld) lock.Unlock(detail::RowByte(lockedRow), 1);
        rowLockHeld = false;
        lockedRow = 0;
    }

    const Value& Current(size_t i) const {
        static const Value kNull;
        if (Editing()) return buffer[i];
        if (cur >= 0 && cur < static_cast<int>(rows.size())) return rows[static_cast<size_t>(cur)].values[i];
        return kNull;
    }

    Value& Assignable(size_t i) {
        if (!Editing()) Fail(ErrorCode::WrongState, "Dataset not in edit or insert mode");
        return buffer[i];
    }
    void Assigned(size_t i) {
        dirty[i] = true;
        modified = true;
        Notify(DataChange::FieldChanged);
    }

    std::string SelectSql() const {
        return "SELECT " + detail::SelectList(meta.def) + " FROM " + sql::Quote(meta.table);
    }

    Row ReadValues(const sql::Stmt& st) const {
        Row row(FieldCount());
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = detail::LoadValue(st, static_cast<int>(i + 1), meta.def.fields[i].type,
                                       &session.codec());
        return row;
    }

    int64_t DataVersion() {
        sql::Stmt st(db, "PRAGMA data_version");
        return st.Step() ? st.Int(0) : -1;
    }

    // Reads every row again; the current row stays where it still exists, or
    // at the same position (clamped) when it is gone.
    void Load() {
        int64_t keep = cur >= 0 && cur < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(cur)].rowid : 0;
        int keepIndex = cur;
        dataVersion = DataVersion();
        std::vector<Rec> fresh;
        fresh.reserve(rows.size());
        {
            sql::Stmt st(db, SelectSql() + orderBy);
            while (st.Step()) fresh.push_back(Rec{st.Int(0), ReadValues(st)});
        }
        rows.swap(fresh);
        cur = -1;
        if (keep != 0)
            for (size_t i = 0; i < rows.size(); ++i)
                if (rows[i].rowid == keep) cur = static_cast<int>(i);
        if (cur < 0 && !rows.empty())
            cur = std::min(std::max(keepIndex, 0), static_cast<int>(rows.size()) - 1);
        if (rows.empty()) {
            cur = -1;
            bof = eof = true;
        } else {
            bof = eof = false;
        }
    }

    void ClampAfterRemoval() {
        if (rows.empty()) {
            cur = -1;
            bof = eof = true;
        } else {
            cur = std::min(std::max(cur, 0), static_cast<int>(rows.size()) - 1);
            bof = eof = false;
        }
    }

    void CheckRequired() const {
        for (size_t i = 0; i < FieldCount(); ++i) {
            if (meta.def.fields[i].type == FieldType::AutoInc) continue;  // numbered at the post
            if (required[i] && buffer[i].null)
                Fail(ErrorCode::RequiredMissing,
                     "Feld '" + meta.def.fields[i].name + "' mu\xdf einen Wert haben");
        }
    }

    [[noreturn]] void WriteFailed(const sql::SqlError& e) {
        if ((e.rc() & 0xff) == SQLITE_CONSTRAINT)
            Fail(ErrorCode::Generic, "Key violation in table '" + fileName + "'");
        throw;
    }

    void WriteInsert() {
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
        buffer = values;
        rows[static_cast<size_t>(cur)] = Rec{rowid, values};
    }

    void WriteUpdate() {
        Rec& rec = rows[static_cast<size_t>(cur)];
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
                st.Bind(rowParam, rec.rowid);
                st.Run();
                if (sqlite3_changes(db.get()) != 1)
                    Fail(ErrorCode::RowDeleted, "Record has been deleted by another user");
                t.Commit();
            } catch (const sql::SqlError& e) {
                WriteFailed(e);
            }
        }
        rec.values = buffer;
    }

    void EndEdit() {
        if (!tableLocked) ReleaseRowLock();
        dirty.assign(FieldCount(), false);
        modified = false;
        state = DatasetState::Browse;
    }

    void CancelPending(bool notify) {
        if (state == DatasetState::Insert) {
            rows.erase(rows.begin() + cur);
            cur = savedCur;
            ClampAfterRemoval();
        }
        EndEdit();
        if (notify) {
            Notify(DataChange::StateChanged);
            Notify(DataChange::RowsChanged);
        }
    }

    // Leaving a row: a changed edit is posted, an unchanged one dropped.
    void CheckBrowseMode() {
        if (!Editing()) return;
        if (modified)
            self.Post();
        else
            self.Cancel();
    }

    template <typename F>
    void Navigate(F move) {
        CheckActive();
        CheckBrowseMode();
        Raise(self.BeforeScroll);
        move();
        Notify(DataChange::Scrolled);
        Raise(self.AfterScroll);
    }

    void BeginInsert(bool append) {
        Impl& d = *this;
        Cursor& c = self;
        d.CheckActive();
        d.CheckBrowseMode();
        d.Raise(c.BeforeScroll);
        d.savedCur = d.cur;
        const int pos = append || d.cur < 0 ? static_cast<int>(d.rows.size()) : d.cur;
        d.rows.insert(d.rows.begin() + pos, Rec{0, Row(d.FieldCount())});
        d.cur = pos;
        d.bof = d.eof = false;
        d.buffer.assign(d.FieldCount(), Value{});
        d.dirty.assign(d.FieldCount(), false);
        d.state = DatasetState::Insert;
        d.Notify(DataChange::StateChanged);
        d.Notify(DataChange::RowsChanged);
        d.Raise(c.AfterInsert);
        d.modified = false;  // the defaults set after insert are no change of the user's
        d.Raise(c.AfterScroll);
    }

    void CloseQuietly() {
        if (state == DatasetState::Inactive) return;
        buffer.clear();
        rows.clear();
        cur = -1;
        bof = eof = true;
        readRow.reset();
        db.Close();
        lock.Close();  // drops every lock this cursor held
        rowLockHeld = tableLocked = false;
        lockedRow = 0;
        modified = false;
        state = DatasetState::Inactive;
    }
};

// --- Cursor ------------------------------------------------------------------

Cursor::Cursor(Session& session, std::string path)
    : impl_(std::make_unique<Impl>(*this, session, std::move(path))) {}

Cursor::~Cursor() {
    try {
        impl_->observers.clear();
        impl_->CloseQuietly();
    } catch (...) {
    }
}

void Cursor::SetPath(const std::string& path) {
    if (active()) Fail(ErrorCode::WrongState, "Cannot change the table of an open cursor");
    impl_->path = path;
}
const std::string& Cursor::path() const { return impl_->path; }
Session& Cursor::session() const { return impl_->session; }
void Cursor::SetExclusive(bool exclusive) {
    if (active()) Fail(ErrorCode::WrongState, "Cannot change the mode of an open cursor");
    impl_->exclusive = exclusive;
}
bool Cursor::exclusive() const { return impl_->exclusive; }
bool Cursor::active() const { return impl_->state != DatasetState::Inactive; }
DatasetState Cursor::state() const { return impl_->state; }

void Cursor::Open() {
    Impl& d = *impl_;
    if (active()) return;
    if (d.path.empty()) Fail(ErrorCode::Generic, "No table name given");
    d.fileName = detail::FileNameOf(d.path);
    if (!platform::FileExists(d.path))
        Fail(ErrorCode::NotFound, "Table '" + d.path + "' does not exist");
    std::string error;
    if (!d.lock.Open(detail::LockPathFor(d.path), &error)) Fail(ErrorCode::Generic, error);
    try {
        if (!d.lock.TryLock(detail::kOpenByte, 1, d.exclusive))
            Fail(ErrorCode::InUse, d.exclusive
                                       ? "Table '" + d.fileName + "' is in use by another user"
                                       : "Table '" + d.fileName + "' is opened exclusively by another user");
        try {
            d.db.Open(d.path, false);
            detail::ConfigureConnection(d.db);
            detail::QuickCheck(d.db);
            d.meta = detail::ReadMeta(d.db);
        } catch (const EngineError& e) {
            if (e.code() == ErrorCode::Damaged || e.code() == ErrorCode::Generic)
                Fail(ErrorCode::Damaged, "Table '" + d.fileName + "' is damaged: " + e.what());
            throw;
        }
        d.orderBy.clear();
        for (const IndexDef& index : d.meta.def.indexes)
            if (index.primary) {
                for (const auto& f : index.fields)
                    d.orderBy += (d.orderBy.empty() ? " ORDER BY " : ", ") + sql::Quote(f);
            }
        d.orderBy += d.orderBy.empty() ? " ORDER BY rowid" : ", rowid";
        d.readRow = std::make_unique<sql::Stmt>(d.db, d.SelectSql() + " WHERE rowid=?1");

        // Field objects are only ever added, so references handed out stay
        // valid for the cursor's life, whatever is opened later.
        const size_t n = d.FieldCount();
        while (d.fields.size() < n)
            d.fields.push_back(std::unique_ptr<Field>(new Field(this, static_cast<int>(d.fields.size()))));
        d.required.assign(n, false);
        for (size_t i = 0; i < n; ++i) {
            auto o = d.requiredOverride.find(Lower(d.meta.def.fields[i].name));
            d.required[i] = o != d.requiredOverride.end() ? o->second : d.meta.def.fields[i].required;
        }
        d.dirty.assign(n, false);
        d.cur = -1;
        try {
            d.Load();
        } catch (const EngineError& e) {
            Fail(ErrorCode::Damaged, "Table '" + d.fileName + "' is damaged: " + e.what());
        }
        d.cur = d.rows.empty() ? -1 : 0;
        d.bof = true;
        d.eof = d.rows.empty();
        d.state = DatasetState::Browse;
    } catch (...) {
        d.readRow.reset();
        d.db.Close();
        d.lock.Close();
        throw;
    }
    d.Notify(DataChange::Opened);
}

void Cursor::Close() {
    if (!active()) return;
    impl_->CloseQuietly();
    impl_->Notify(DataChange::Closed);
}

void Cursor::First() {
    Impl& d = *impl_;
    d.Navigate([&] {
        d.cur = d.rows.empty() ? -1 : 0;
        d.bof = true;
        d.eof = d.rows.empty();
    });
}

void Cursor::Last() {
    Impl& d = *impl_;
    d.Navigate([&] {
        d.cur = static_cast<int>(d.rows.size()) - 1;
        d.eof = true;
        d.bof = d.rows.empty();
    });
}

void Cursor::Next() {
    Impl& d = *impl_;
    d.Navigate([&] {
        if (d.cur + 1 < static_cast<int>(d.rows.size())) {
            ++d.cur;
            d.bof = false;
            d.eof = false;
        } else {
            d.eof = true;
        }
    });
}

void Cursor::Prior() {
    Impl& d = *impl_;
    d.Navigate([&] {
        if (d.cur > 0) {
            --d.cur;
            d.bof = false;
            d.eof = false;
        } else {
            d.bof = true;
        }
    });
}

bool Cursor::Eof() const { return impl_->eof || impl_->rows.empty(); }
bool Cursor::Bof() const { return impl_->bof || impl_->rows.empty(); }
int Cursor::RecordCount() const { return static_cast<int>(impl_->rows.size()); }
int Cursor::RecNo() const { return impl_->rows.empty() ? -1 : impl_->cur; }

void Cursor::MoveTo(int index) {
    Impl& d = *impl_;
    d.Navigate([&] {
        if (d.rows.empty()) return;
        d.cur = std::min(std::max(index, 0), static_cast<int>(d.rows.size()) - 1);
        d.bof = d.eof = false;
    });
}

bool Cursor::Locate(const std::string& field, const std::string& value) {
    Impl& d = *impl_;
    d.CheckActive();
    const int f = FieldByName(field).index();
    d.CheckBrowseMode();
    for (size_t i = 0; i < d.rows.size(); ++i) {
        const Value& v = d.rows[i].values[static_cast<size_t>(f)];
        std::string text;
        if (!v.null) {
            switch (d.meta.def.fields[static_cast<size_t>(f)].type) {
                case FieldType::String: text = v.s; break;
                case FieldType::Time: text = FormatTime(TimeOfDay{static_cast<int32_t>(v.i)}); break;
                case FieldType::DateTime: text = FormatDateTime(DateTime{v.i}); break;
                default: text = std::to_string(v.i); break;
            }
        }
        if (text == value) {
            d.Navigate([&] {
                d.cur = static_cast<int>(i);
                d.bof = d.eof = false;
            });
            return true;
        }
    }
    return false;
}

void Cursor::Refresh() {
    Impl& d = *impl_;
    d.CheckActive();
    d.CheckBrowseMode();
    if (d.DataVersion() == d.dataVersion) return;  // nobody else has written
    d.Load();
    d.Notify(DataChange::RowsChanged);
}

void Cursor::Edit() {
    Impl& d = *impl_;
    d.CheckActive();
    if (d.Editing()) return;
    if (d.rows.empty()) {
        Insert();
        return;
    }
    const int64_t rowid = d.rows[static_cast<size_t>(d.cur)].rowid;
    d.AcquireRowLock(rowid);
    // Re-read under the lock, so the edit starts from what is on disk now.
    Row fresh;
    bool found = false;
    try {
        d.readRow->Bind(1, rowid);
        if (d.readRow->Step()) {
            fresh = d.ReadValues(*d.readRow);
            found = true;
        }
        d.readRow->Reset();
    } catch (...) {
        d.readRow->Reset();
        d.ReleaseRowLock();
        throw;
    }
    if (!found) {
        d.ReleaseRowLock();
        d.rows.erase(d.rows.begin() + d.cur);
        d.ClampAfterRemoval();
        d.Notify(DataChange::RowsChanged);
        Fail(ErrorCode::RowDeleted, "Record has been deleted by another user");
    }
    bool changed = !(fresh == d.rows[static_cast<size_t>(d.cur)].values);
    d.rows[static_cast<size_t>(d.cur)].values = fresh;
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
    d.CancelPending(true);
}

void Cursor::Delete() {
    Impl& d = *impl_;
    d.CheckActive();
    if (d.state == DatasetState::Insert) {
        Cancel();
        return;
    }
    if (d.rows.empty()) Fail(ErrorCode::WrongState, "Cannot perform this operation on an empty dataset");
    const int64_t rowid = d.rows[static_cast<size_t>(d.cur)].rowid;
    d.AcquireRowLock(rowid);
    d.Raise(BeforeScroll);
    try {
        sql::Stmt st(d.db, "DELETE FROM " + sql::Quote(d.meta.table) + " WHERE rowid=?1");
        st.Bind(1, rowid).Run();
    } catch (...) {
        if (d.state != DatasetState::Edit) d.ReleaseRowLock();
        throw;
    }
    d.EndEdit();
    d.ReleaseRowLock();
    d.rows.erase(d.rows.begin() + d.cur);
    d.ClampAfterRemoval();
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
    d.rows.clear();
    d.ClampAfterRemoval();
    d.Notify(DataChange::RowsChanged);
}

bool Cursor::Modified() const { return impl_->modified; }

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
        const int64_t rowid = d.rows[static_cast<size_t>(d.cur)].rowid;
        if (d.lock.TryLock(detail::RowByte(rowid), 1, true)) {
            d.rowLockHeld = true;
            d.lockedRow = rowid;
        }
    }
}

bool Cursor::RowLocked() {
    Impl& d = *impl_;
    if (!active()) return false;
    if (d.tableLocked) return true;
    if (d.cur < 0 || d.cur >= static_cast<int>(d.rows.size())) return false;
    const int64_t rowid = d.rows[static_cast<size_t>(d.cur)].rowid;
    if (rowid == 0) return false;  // not yet posted
    if (d.rowLockHeld && d.lockedRow == rowid) return true;
    return !d.lock.CouldLock(detail::RowByte(rowid), 1, true);
}

int Cursor::FieldCount() const { return static_cast<int>(std::min(impl_->fields.size(), impl_->FieldCount())); }

Field& Cursor::FieldByIndex(int index) {
    if (index < 0 || index >= FieldCount())
        Fail(ErrorCode::Generic, "Field index " + std::to_string(index) + " out of range");
    return *impl_->fields[static_cast<size_t>(index)];
}

Field* Cursor::FindField(const std::string& name) {
    for (size_t i = 0; i < static_cast<size_t>(FieldCount()); ++i)
        if (SameName(impl_->meta.def.fields[i].name, name)) return impl_->fields[i].get();
    return nullptr;
}

Field& Cursor::FieldByName(const std::string& name) {
    Field* f = FindField(name);
    if (!f) Fail(ErrorCode::Generic, "Field '" + name + "' not found");
    return *f;
}

const TableDef& Cursor::def() const { return impl_->meta.def; }

int Cursor::AddObserver(DataObserver observer) {
    const int id = impl_->nextObserverId++;
    impl_->observers[id] = std::move(observer);
    return id;
}

void Cursor::RemoveObserver(int id) { impl_->observers.erase(id); }

// --- Field -------------------------------------------------------------------

namespace {

std::string Format(FieldType type, const Value& v) {
    if (v.null) return {};
    switch (type) {
        case FieldType::String: return v.s;
        case FieldType::Time: return FormatTime(TimeOfDay{static_cast<int32_t>(v.i)});
        case FieldType::DateTime: return FormatDateTime(DateTime{v.i});
        case FieldType::Integer:
        case FieldType::AutoInc: return std::to_string(v.i);
    }
    return {};
}

[[noreturn]] void NotConvertible(const std::string& what, const std::string& field) {
    Fail(ErrorCode::Conversion, what + " for field '" + field + "'");
}

}  // namespace

const std::string& Field::name() const { return cursor_->impl_->meta.def.fields[static_cast<size_t>(index_)].name; }
FieldType Field::type() const { return cursor_->impl_->meta.def.fields[static_cast<size_t>(index_)].type; }
int Field::size() const { return cursor_->impl_->meta.def.fields[static_cast<size_t>(index_)].size; }
int Field::index() const { return index_; }
bool Field::required() const { return cursor_->impl_->required[static_cast<size_t>(index_)]; }

void Field::SetRequired(bool required) {
    cursor_->impl_->required[static_cast<size_t>(index_)] = required;
    cursor_->impl_->requiredOverride[Lower(name())] = required;
}

bool Field::IsNull() const { return cursor_->impl_->Current(static_cast<size_t>(index_)).null; }

void Field::Clear() {
    auto& d = *cursor_->impl_;
    d.Assignable(static_cast<size_t>(index_)) = Value{};
    d.Assigned(static_cast<size_t>(index_));
}

std::string Field::AsString() const {
    return Format(type(), cursor_->impl_->Current(static_cast<size_t>(index_)));
}

void Field::SetAsString(const std::string& value) {
    auto& d = *cursor_->impl_;
    const size_t i = static_cast<size_t>(index_);
    Value v;
    if (!value.empty()) {
        switch (type()) {
            case FieldType::String:
                v.s = value.substr(0, static_cast<size_t>(std::max(size(), 0)));
                v.null = v.s.empty();
                break;
            case FieldType::Time: {
                auto t = ParseTime(value);
                if (!t) NotConvertible("'" + value + "' is not a valid time", name());
                v.null = false;
                v.i = t->ms;
                break;
            }
            case FieldType::DateTime: {
                auto t = ParseDateTime(value);
                if (!t) NotConvertible("'" + value + "' is not a valid date and time", name());
                v.null = false;
                v.i = t->ms;
                break;
            }
            case FieldType::Integer:
            case FieldType::AutoInc:
                if (!ParseInt(value, &v.i)) NotConvertible("'" + value + "' is not a valid integer value", name());
                v.null = false;
                break;
        }
    }
    d.Assignable(i) = v;
    d.Assigned(i);
}

DateTime Field::AsDateTime() const {
    const Value& v = cursor_->impl_->Current(static_cast<size_t>(index_));
    if (v.null) return DateTime{};
    switch (type()) {
        case FieldType::Time:
        case FieldType::DateTime: return DateTime{v.i};
        case FieldType::String:
            if (auto t = ParseDateTime(v.s)) return *t;
            NotConvertible("'" + v.s + "' is not a valid date and time", name());
        default: NotConvertible("Integer value is no date and time", name());
    }
}

void Field::SetAsDateTime(DateTime value) {
    switch (type()) {
        case FieldType::DateTime: {
            auto& d = *cursor_->impl_;
            Value& v = d.Assignable(static_cast<size_t>(index_));
            v = Value{};
            v.null = false;
            v.i = value.ms;
            d.Assigned(static_cast<size_t>(index_));
            return;
        }
        case FieldType::Time: SetAsTime(TimePart(value)); return;
        case FieldType::String: SetAsString(FormatDateTime(value)); return;
        default: NotConvertible("A date and time cannot be stored as an integer", name());
    }
}

TimeOfDay Field::AsTime() const {
    const Value& v = cursor_->impl_->Current(static_cast<size_t>(index_));
    if (v.null) return TimeOfDay{};
    switch (type()) {
        case FieldType::Time: return TimeOfDay{static_cast<int32_t>(v.i)};
        case FieldType::DateTime: return TimePart(DateTime{v.i});
        case FieldType::String:
            if (auto t = ParseTime(v.s)) return *t;
            NotConvertible("'" + v.s + "' is not a valid time", name());
        default: NotConvertible("Integer value is no time", name());
    }
}

void Field::SetAsTime(TimeOfDay value) {
    switch (type()) {
        case FieldType::Time:
        case FieldType::DateTime: {
            if (type() == FieldType::Time && (value.ms < 0 || value.ms >= kMsPerDay))
                NotConvertible("Time out of range", name());
            auto& d = *cursor_->impl_;
            Value& v = d.Assignable(static_cast<size_t>(index_));
            v = Value{};
            v.null = false;
            v.i = value.ms;
            d.Assigned(static_cast<size_t>(index_));
            return;
        }
        case FieldType::String: SetAsString(FormatTime(value)); return;
        default: NotConvertible("A time cannot be stored as an integer", name());
    }
}

int64_t Field::AsInteger() const {
    const Value& v = cursor_->impl_->Current(static_cast<size_t>(index_));
    if (v.null) return 0;
    switch (type()) {
        case FieldType::Integer:
        case FieldType::AutoInc: return v.i;
        case FieldType::String: {
            int64_t n = 0;
            if (ParseInt(v.s, &n)) return n;
            NotConvertible("'" + v.s + "' is not a valid integer value", name());
        }
        default: NotConvertible("A time is no integer value", name());
    }
}

void Field::SetAsInteger(int64_t value) {
    switch (type()) {
        case FieldType::Integer:
        case FieldType::AutoInc: {
            auto& d = *cursor_->impl_;
            Value& v = d.Assignable(static_cast<size_t>(index_));
            v = Value{};
            v.null = false;
            v.i = value;
            d.Assigned(static_cast<size_t>(index_));
            return;
        }
        case FieldType::String: SetAsString(std::to_string(value)); return;
        default: NotConvertible("An integer value cannot be stored as a time", name());
    }
}

}  // namespace qv::engine
