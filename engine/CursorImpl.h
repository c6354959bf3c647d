// The state behind a cursor, shared by the files that implement it: opening
// and navigation (Cursor.cpp), editing and posting (CursorEdit.cpp), locks
// (CursorLock.cpp) and field objects (Field.cpp).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/Platform.h"
#include "engine/Table.h"
#include "engine/TableFile.h"

namespace qv::engine {

namespace detail {

[[noreturn]] inline void Fail(ErrorCode code, const std::string& message) {
    throw EngineError(code, message);
}

// A value as text, the way AsString shows it: NULL as "".
std::string FormatValue(FieldType type, const Value& v);

}  // namespace detail

struct Cursor::Impl {
    static constexpr size_t kBlockRows = 32;    // rows read by one statement
    static constexpr size_t kCachedRows = 512;  // rows whose values are kept
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
    bool rowidOrder = true;  // rows in row id order (no primary index)
    std::unique_ptr<sql::Stmt> readRow;
    std::unique_ptr<sql::Stmt> readBlock;
    std::unique_ptr<sql::Stmt> readVersion;
    int64_t dataVersion = -1;
    uint64_t ownWrites = 0;  // commits through this cursor
    std::map<std::string, std::unique_ptr<sql::Stmt>> prepared;  // lookups, by their SQL

    std::vector<std::unique_ptr<Field>> fields;
    std::vector<bool> required;
    std::map<std::string, bool> requiredOverride;  // by lower-case field name

    // The rows as last read: their row ids in row order (0 for a row being
    // inserted). Values are read a block at a time when first looked at and
    // kept, as last read, until the rows are read again; only a bounded
    // number of rows is kept, so one large table is not held twice.
    std::vector<int64_t> ids;
    mutable std::unordered_map<int64_t, detail::Row> cache;
    int cur = -1;
    int peek = -1;  // the row field objects read instead of cur (Peek)
    bool bof = true, eof = true;

    detail::Row buffer;        // the row being edited or inserted
    std::vector<bool> dirty;   // fields assigned since Edit
    bool modified = false;
    int savedCur = -1;         // where an insert started

    bool rowLockHeld = false;  // an exclusive lock on lockedRow's byte
    int64_t lockedRow = 0;
    bool tableLocked = false;

    std::map<int, DataObserver> observers;
    int nextObserverId = 1;

    // --- state and events ----------------------------------------------
    void CheckActive() const {
        if (state == DatasetState::Inactive)
            detail::Fail(ErrorCode::WrongState, "Cannot perform this operation on a closed dataset");
    }
    bool Editing() const { return state == DatasetState::Edit || state == DatasetState::Insert; }
    size_t FieldCount() const { return meta.def.fields.size(); }

    void Notify(DataChange change) {
        if (observers.empty()) return;
        // An observer may remove itself or another while it is told.
        int keys[8];
        std::vector<int> more;
        size_t n = 0;
        for (const auto& o : observers) {
            if (n < 8) keys[n] = o.first;
            else more.push_back(o.first);
            ++n;
        }
        for (size_t i = 0; i < n; ++i) {
            auto it = observers.find(i < 8 ? keys[i] : more[i - 8]);
            if (it == observers.end() || !it->second) continue;
            DataObserver call = it->second;
            call(self, change);
        }
    }
    void Raise(const DatasetEvent& event) {
        if (event) event(self);
    }

    // --- reading (Cursor.cpp) ------------------------------------------
    std::string SelectSql() const {
        return "SELECT " + detail::SelectList(meta.def) + " FROM " + sql::Quote(meta.table);
    }
    detail::Row ReadValues(const sql::Stmt& st, int firstColumn = 1) const;
    int64_t DataVersion();
    // Reads the rows again; the current row stays where it still exists, or
    // at the same position (clamped) when it is gone.
    void Load();
    bool HasRow() const { return cur >= 0 && cur < static_cast<int>(ids.size()); }
    int64_t CurrentId() const { return HasRow() ? ids[static_cast<size_t>(cur)] : 0; }
    // Reads the row with this id from the file into out; false when it is gone.
    bool ReadRow(int64_t rowid, detail::Row& out);
    // The values of the row at index, reading its block when not kept.
    const detail::Row& RowAt(size_t index) const;
    // Where the row with this id stands among the rows as last read; -1 when not.
    int IndexOf(int64_t rowid) const;
    // Puts the current row back in range after rows went away.
    void ClampCurrent();
    void CloseQuietly();

    // Leaves the current row for move, with the scroll events around it.
    template <typename F>
    void Navigate(F move) {
        CheckActive();
        CheckBrowseMode();
        Raise(self.BeforeScroll);
        move();
        Notify(DataChange::Scrolled);
        Raise(self.AfterScroll);
    }

    // A statement kept for the cursor's life (reset before it is handed out).
    sql::Stmt& Prepared(const std::string& sqlText) {
        auto& st = prepared[sqlText];
        if (!st) st = std::make_unique<sql::Stmt>(db, sqlText);
        st->Reset();
        return *st;
    }

    // --- field values (Field.cpp) --------------------------------------
    const detail::Value& Current(size_t i) const {
        static const detail::Value kNull;
        if (peek >= 0 && peek != cur) return RowAt(static_cast<size_t>(peek))[i];
        if (Editing()) return buffer[i];
        if (HasRow()) return RowAt(static_cast<size_t>(cur))[i];
        return kNull;
    }
    void Assign(size_t i, const detail::Value& v) {
        if (!Editing() || peek >= 0) detail::Fail(ErrorCode::WrongState, "Dataset not in edit or insert mode");
        buffer[i] = v;
        dirty[i] = true;
        modified = true;
        Notify(DataChange::FieldChanged);
    }

    // --- editing (CursorEdit.cpp) --------------------------------------
    // Leaving a row: a changed edit is posted, an unchanged one dropped.
    void CheckBrowseMode();
    void BeginInsert(bool append);
    void CheckRequired() const;
    [[noreturn]] void WriteFailed(const sql::SqlError& e);
    void WriteInsert();
    void WriteUpdate();
    void EndEdit();

    // --- locks (CursorLock.cpp) ----------------------------------------
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
    void AcquireRowLock(int64_t rowid);
    void ReleaseRowLock();
};

}  // namespace qv::engine
