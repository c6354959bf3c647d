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

bool Cursor::Impl::ReadRow(int64_t rowid, Row& out) {
    bool found = false;
    try {
        readRow->Bind(1, rowid);
        if (readRow->Step()) {
            out = ReadValues(*readRow);
            found = true;
        }
    } catch (...) {
        readRow->Reset();
        throw;
    }
    readRow->Reset();
    return found;
}

detail::Row Cursor::Impl::ReadValues(const sql::Stmt& st, int firstColumn) const {
    Row row(FieldCount());
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = detail::LoadValue(st, static_cast<int>(i) + firstColumn, meta.def.fields[i].type,
                                   &session.codec());
    return row;
}

int64_t Cursor::Impl::DataVersion() {
    if (!readVersion) readVersion = std::make_unique<sql::Stmt>(db, "PRAGMA data_version");
    int64_t v = -1;
    try {
        if (readVersion->Step()) v = readVersion->Int(0);
    } catch (...) {
        readVersion->Reset();
        throw;
    }
    readVersion->Reset();
    return v;
}

void Cursor::Impl::Load() {
    const int64_t keep = CurrentId();
    const int keepIndex = cur;
    dataVersion = DataVersion();
    std::vector<int64_t> fresh;
    fresh.reserve(ids.size());
    {
        sql::Stmt st(db, "SELECT rowid FROM " + sql::Quote(meta.table) + orderBy);
        while (st.Step()) fresh.push_back(st.Int(0));
    }
    ids.swap(fresh);
    cache.clear();
    cur = keepIndex;
    if (keep != 0) {
        const int at = IndexOf(keep);
        if (at >= 0) cur = at;
    }
    ClampCurrent();
}

int Cursor::Impl::IndexOf(int64_t rowid) const {
    if (rowidOrder) {
        // Rows in row id order, but for one inserted since the last reading.
        size_t lo = 0, hi = ids.size();
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (ids[mid] < rowid) lo = mid + 1;
            else hi = mid;
        }
        if (lo < ids.size() && ids[lo] == rowid) return static_cast<int>(lo);
    }
    for (size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == rowid) return static_cast<int>(i);
    return -1;
}

const detail::Row& Cursor::Impl::RowAt(size_t index) const {
    static const Row kNone;
    const int64_t id = ids[index];
    if (id == 0) return Editing() ? buffer : kNone;
    auto it = cache.find(id);
    if (it != cache.end()) return it->second;
    // This row and the ones after it (before it at the end) in one statement.
    std::vector<int64_t> block;
    for (size_t i = index; i < ids.size() && block.size() < kBlockRows; ++i)
        if (ids[i] != 0 && !cache.count(ids[i])) block.push_back(ids[i]);
    for (size_t i = index; i > 0 && block.size() < kBlockRows; --i)
        if (ids[i - 1] != 0 && !cache.count(ids[i - 1])) block.push_back(ids[i - 1]);
    if (cache.size() + block.size() > kCachedRows) cache.clear();
    try {
        for (size_t i = 0; i < kBlockRows; ++i) {
            if (i < block.size())
                readBlock->Bind(static_cast<int>(i + 1), block[i]);
            else
                readBlock->BindNull(static_cast<int>(i + 1));
        }
        while (readBlock->Step()) cache[readBlock->Int(0)] = ReadValues(*readBlock);
    } catch (...) {
        readBlock->Reset();
        throw;
    }
    readBlock->Reset();
    // A row gone since the rows were read shows empty until the next reading.
    for (int64_t b : block) cache.emplace(b, Row(FieldCount()));
    return cache.at(id);
}

void Cursor::Impl::ClampCurrent() {
    if (ids.empty()) {
        cur = -1;
        bof = eof = true;
    } else {
        cur = std::min(std::max(cur, 0), static_cast<int>(ids.size()) - 1);
        bof = eof = false;
    }
}

void Cursor::Impl::CloseQuietly() {
    if (state == DatasetState::Inactive) return;
    buffer.clear();
    ids.clear();
    cache.clear();
    cur = -1;
    bof = eof = true;
    readRow.reset();
    readBlock.reset();
    readVersion.reset();
    prepared.clear();
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

void Cursor::Open() { OpenChecked(true); }

void Cursor::OpenChecked(bool check) {
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
            d.db.Open(d.path, false, d.session.options().busyWaitMs);
            detail::ConfigureConnection(d.db);
            // One read transaction for all that opening reads: one shared
            // lock instead of one per statement, and rows and version agree.
            d.db.Exec("BEGIN");
            if (check) detail::QuickCheck(d.db);
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
        d.rowidOrder = d.orderBy.empty();
        d.orderBy += d.orderBy.empty() ? " ORDER BY rowid" : ", rowid";
        d.readRow = std::make_unique<sql::Stmt>(d.db, d.SelectSql() + " WHERE rowid=?1");
        std::string params;
        for (size_t i = 1; i <= Impl::kBlockRows; ++i) params += (i > 1 ? ", ?" : "?") + std::to_string(i);
        d.readBlock = std::make_unique<sql::Stmt>(d.db, d.SelectSql() + " WHERE rowid IN (" + params + ")");

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
            if (e.code() == ErrorCode::Damaged || e.code() == ErrorCode::Generic)
                Fail(ErrorCode::Damaged, "Table '" + d.fileName + "' is damaged: " + e.what());
            throw;  // held by another program, or a full disk: nothing wrong with the table
        }
        d.db.Exec("COMMIT");
        d.cur = d.ids.empty() ? -1 : 0;
        d.bof = true;
        d.eof = d.ids.empty();
        d.state = DatasetState::Browse;
    } catch (...) {
        d.readRow.reset();
        d.readBlock.reset();
        d.readVersion.reset();
        d.prepared.clear();
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
        d.cur = d.ids.empty() ? -1 : 0;
        d.bof = true;
        d.eof = d.ids.empty();
    });
}

void Cursor::Last() {
    Impl& d = *impl_;
    d.Navigate([&] {
        d.cur = static_cast<int>(d.ids.size()) - 1;
        d.eof = true;
        d.bof = d.ids.empty();
    });
}

void Cursor::Next() {
    Impl& d = *impl_;
    d.Navigate([&] {
        if (d.cur + 1 < static_cast<int>(d.ids.size())) {
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

bool Cursor::Eof() const { return impl_->eof || impl_->ids.empty(); }
bool Cursor::Bof() const { return impl_->bof || impl_->ids.empty(); }
int Cursor::RecordCount() const { return static_cast<int>(impl_->ids.size()); }
int Cursor::RecNo() const { return impl_->ids.empty() ? -1 : impl_->cur; }

int64_t Cursor::RowId() const { return impl_->CurrentId(); }

void Cursor::MoveTo(int index) {
    Impl& d = *impl_;
    d.Navigate([&] {
        if (d.ids.empty()) return;
        d.cur = std::min(std::max(index, 0), static_cast<int>(d.ids.size()) - 1);
        d.bof = d.eof = false;
    });
}

void Cursor::Peek(int index, const std::function<void()>& read) {
    Impl& d = *impl_;
    d.CheckActive();
    if (index < 0 || index >= static_cast<int>(d.ids.size()))
        Fail(ErrorCode::Generic, "Row " + std::to_string(index) + " out of range");
    struct Restore {
        int& peek;
        int old;
        ~Restore() { peek = old; }
    } restore{d.peek, d.peek};
    d.peek = index;
    read();
}

bool Cursor::Locate(const std::string& field, const std::string& value) {
    Impl& d = *impl_;
    d.CheckActive();
    const int f = FieldByName(field).index();
    d.CheckBrowseMode();
    const FieldType type = d.meta.def.fields[static_cast<size_t>(f)].type;
    for (size_t i = 0; i < d.ids.size(); ++i) {
        if (detail::FormatValue(type, d.RowAt(i)[static_cast<size_t>(f)]) == value) {
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

void Cursor::RefreshRow(int64_t rowid) {
    Impl& d = *impl_;
    d.CheckActive();
    d.CheckBrowseMode();
    if (d.IndexOf(rowid) < 0) return;
    Row fresh;
    if (!d.ReadRow(rowid, fresh)) return;  // gone: the next Refresh drops it
    auto it = d.cache.find(rowid);
    if (it != d.cache.end() && it->second == fresh) return;
    d.cache[rowid] = std::move(fresh);
    d.Notify(DataChange::ValuesChanged);
}

bool Cursor::Seek(int64_t rowid) {
    Impl& d = *impl_;
    d.CheckActive();
    d.CheckBrowseMode();
    int at = d.IndexOf(rowid);
    if (at < 0 && d.DataVersion() != d.dataVersion) {
        d.Load();
        d.Notify(DataChange::RowsChanged);
        at = d.IndexOf(rowid);
    }
    if (at < 0) return false;
    if (at != d.cur || d.eof || d.bof)
        d.Navigate([&] {
            d.cur = at;
            d.bof = d.eof = false;
        });
    return true;
}

void Cursor::CopyTo(const std::string& path) {
    Impl& d = *impl_;
    d.CheckActive();
    if (platform::FileExists(path)) Fail(ErrorCode::Generic, "'" + path + "' exists already");
    sql::Db target;
    target.Open(path, true);
    sqlite3_backup* copy = sqlite3_backup_init(target.get(), "main", d.db.get(), "main");
    if (!copy) target.Fail(sqlite3_errcode(target.get()), "cannot copy table '" + d.fileName + "'");
    const int rc = sqlite3_backup_step(copy, -1);
    sqlite3_backup_finish(copy);
    if (rc != SQLITE_DONE) {
        target.Close();
        platform::RemoveFile(path);
        throw sql::SqlError(rc, "cannot copy table '" + d.fileName + "' to '" + path + "': " + sqlite3_errstr(rc));
    }
}

TableStamp Cursor::Stamp() {
    Impl& d = *impl_;
    d.CheckActive();
    return TableStamp{d.DataVersion(), d.ownWrites};
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
