// The state behind a cursor, shared by the files that implement it: opening
// and navigation (Cursor.cpp), editing and posting (CursorEdit.cpp), locks
// (CursorLock.cpp) and field objects (Field.cpp).
#pragma once

#include <map>
#include <memory>
#include <string>
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
    struct Rec {
        int64_t rowid = 0;  // 0: a new row not yet posted
        detail::Row values;
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
        auto copy = observers;
        for (auto& o : copy)
            if (o.second) o.second(self, change);
    }
    void Raise(const DatasetEvent& event) {
        if (event) event(self);
    }

    // --- reading (Cursor.cpp) ------------------------------------------
    std::string SelectSql() const {
        return "SELECT " + detail::SelectList(meta.def) + " FROM " + sql::Quote(meta.table);
    }
    detail::Row ReadValues(const sql::Stmt& st) const;
    int64_t DataVersion();
    // Reads every row again; the current row stays where it still exists, or
    // at the same position (clamped) when it is gone.
    void Load();
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

    // --- field values (Field.cpp) --------------------------------------
    const detail::Value& Current(size_t i) const {
        static const detail::Value kNull;
        if (Editing()) return buffer[i];
        if (cur >= 0 && cur < static_cast<int>(rows.size())) return rows[static_cast<size_t>(cur)].values[i];
        return kNull;
    }
    void Assign(size_t i, const detail::Value& v) {
        if (!Editing()) detail::Fail(ErrorCode::WrongState, "Dataset not in edit or insert mode");
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
