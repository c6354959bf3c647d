#include "engine/Sqlite.h"

#include "engine/Platform.h"

namespace qv::engine::sql {

Db::~Db() { Close(); }

void Db::Open(const std::string& path, bool create, int busyWaitMs) {
    Close();
    platform::PrepareSqlite();
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(platform::SqlitePath(path).c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        Close();
        throw SqlError(rc, "cannot open '" + path + "': " + msg);
    }
    sqlite3_extended_result_codes(db_, 1);
    // Brief write locks of other cursors are waited out, never reported.
    sqlite3_busy_timeout(db_, busyWaitMs);
}

void Db::Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void Db::Exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw SqlError(rc, msg);
    }
}

void Db::Fail(int rc, const std::string& what) const {
    std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    throw SqlError(rc, what.empty() ? msg : what + ": " + msg);
}

Stmt::Stmt(const Db& db, const std::string& sql) : db_(db) {
    int rc = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt_, nullptr);
    if (rc != SQLITE_OK) db.Fail(rc, "");
}

Stmt::~Stmt() { sqlite3_finalize(stmt_); }

Stmt& Stmt::Bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
}

Stmt& Stmt::Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}

Stmt& Stmt::BindNull(int i) {
    sqlite3_bind_null(stmt_, i);
    return *this;
}

bool Stmt::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    db_.Fail(rc, "");
}

void Stmt::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string Stmt::Text(int i) const {
    const unsigned char* p = sqlite3_column_text(stmt_, i);
    if (!p) return {};
    return std::string(reinterpret_cast<const char*>(p),
                       static_cast<size_t>(sqlite3_column_bytes(stmt_, i)));
}

std::string Quote(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

Transaction::Transaction(Db& db) : db_(db) {
    db_.Exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (open_) sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    db_.Exec("COMMIT");
    open_ = false;
}

}  // namespace qv::engine::sql
