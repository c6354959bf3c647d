// Sessions; opening, navigating and refreshing a cursor, its field lookup and
// observers.
#include <algorithm>

#include "engine/CursorImpl.h"
#include "engine/Text.h"

namespace qv::engine {

using detail::Fail;
using detail::Row;

Session::Session(std::string name, SessionOptions options)
    : name_(std::move(name)), options_(options), codec_(&PlatformCodec()) {}

void Session::Sleep(int ms) const {
    if (sleep_)
        sleep_(ms);
    else
        platform::SleepMs(ms);
}

// --- reading ---------------------------------------------------------------

detail::Row Cursor::Impl::ReadValues(const sql::Stmt& st) const {
    Row row(FieldCount());
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = detail::LoadValue(st, static_cast<int>(i + 1), meta.def.fields[i].type,
                                   &session.codec());
    return row;
}

int64_t Cursor::Impl::DataVersion() {
    sql::Stmt st(db, "PRAGMA data_version");
    return st.Step() ? st.Int(0) : -1;
}

void Cursor::Impl::Load() {
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
    cur = keepIndex;
    if (keep != 0)
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].rowid == keep) cur = static_cast<int>(i);
    ClampCurrent();
}

void Cursor::Impl::ClampCurrent() {
    if (rows.empty()) {
        cur = -1;
        bof = eof = true;
    } else {
        cur = std::min(std::max(cur, 0), static_cast<int>(rows.size()) - 1);
        bof = eof = false;
    }
}

void Cursor::Impl::CloseQuietly() {
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

// --- Cursor ----------------------------------------------------------------

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
bool Cursor::ReadOnly() const { return active() && sqlite3_db_readonly(impl_->db.get(), "main") == 1; }
DatasetState Cursor::state() const { return impl_->state; }

void Cursor::Open() {
    Impl& d = *impl_;
    if (active()) return;
    if (d.path.empty()) Fail(ErrorCode::Generic, "No table name given");
    d.fileName = detail::FileNameOf(d.path);
    if (!platform::FileExists(d.path))
        Fail(ErrorCode::NotFound, "Table '" + d.path + "' does not exist");
    std::string error;
    if (!d.lock.Open(detail::LockPathFor(d.path), &error)) Fail(ErrorCode::LockFile, error);
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

int64_t Cursor::RowId() const {
    const Impl& d = *impl_;
    if (d.cur < 0 || d.cur >= static_cast<int>(d.rows.size())) return 0;
    return d.rows[static_cast<size_t>(d.cur)].rowid;
}

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
    const FieldType type = d.meta.def.fields[static_cast<size_t>(f)].type;
    for (size_t i = 0; i < d.rows.size(); ++i) {
        if (detail::FormatValue(type, d.rows[i].values[static_cast<size_t>(f)]) == value) {
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

}  // namespace qv::engine
