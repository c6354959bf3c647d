// Small RAII wrappers over the SQLite C API for the table engine's own use.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "engine/Table.h"

namespace qv::engine::sql {

// Raised for SQLite failures; carries the primary result code.
class SqlError : public EngineError {
public:
    SqlError(int rc, const std::string& message) : EngineError(CodeOf(rc), message), rc_(rc) {}
    int rc() const { return rc_; }
    static bool IsDamage(int rc) {
        rc &= 0xff;
        return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
    }
    static ErrorCode CodeOf(int rc) {
        if (IsDamage(rc)) return ErrorCode::Damaged;
        switch (rc & 0xff) {
            case SQLITE_BUSY:
            case SQLITE_LOCKED: return ErrorCode::Busy;
            case SQLITE_FULL: return ErrorCode::Full;
            default: return ErrorCode::Generic;
        }
    }

private:
    int rc_;
};

class Db {
public:
    Db() = default;
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    // Opens an existing file (create=false) or makes a new one. Another
    // program's lock on the file is waited out for up to busyWaitMs.
    void Open(const std::string& path, bool create, int busyWaitMs = 10000);
    void Close();
    sqlite3* get() const { return db_; }
    void Exec(const std::string& sql);
    int64_t LastRowId() const { return sqlite3_last_insert_rowid(db_); }
    [[noreturn]] void Fail(int rc, const std::string& what) const;

private:
    sqlite3* db_ = nullptr;
};

class Stmt {
public:
    Stmt(const Db& db, const std::string& sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    Stmt& Bind(int i, int64_t v);
    Stmt& Bind(int i, const std::string& v);
    Stmt& BindNull(int i);
    // True while a row is available.
    bool Step();
    void Run() { Step(); Reset(); }
    void Reset();

    int Type(int i) const { return sqlite3_column_type(stmt_, i); }
    int64_t Int(int i) const { return sqlite3_column_int64(stmt_, i); }
    std::string Text(int i) const;

private:
    const Db& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Double-quoted SQL identifier.
std::string Quote(const std::string& name);

// A write transaction (BEGIN IMMEDIATE) rolled back unless committed.
class Transaction {
public:
    explicit Transaction(Db& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Db& db_;
    bool open_ = true;
};

}  // namespace qv::engine::sql
