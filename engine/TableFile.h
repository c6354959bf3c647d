// The on-disk form of a table, shared by the cursor and the table operations.
//
// A table file holds the data table (named after the file's base name in lower
// case) and three tables of metadata:
//   qv_meta(key, value)      format, table, language_id, sort_id, description,
//                            next_autoinc (the next auto-increment number; it
//                            only ever grows, so numbers are never reused)
//   qv_fields(no, name, type, size, required)
//   qv_indexes(no, name, fields, is_primary, is_unique)  fields comma-separated
// Index definitions are also real SQLite indexes named "<table>$<name>". A time
// lookup is two SQLite indexes, "<table>$time:<flag>:<time>" on (flag, time)
// and the partial "<table>$odd:<flag>:<time>" on the same, holding the rows
// whose date-time does not sort by its text; they are not in the metadata.
//
// Lock file "<file>.lck", byte map:
//   byte 0                      open byte: shared by each shared open,
//                               exclusive by an exclusive open (and by
//                               restructure and repair)
//   byte 1 (kTableByte)         exclusive while the table is locked; a new
//                               row is only posted when it is free
//   byte 2 (kCreateByte)        exclusive while a creator writes the table
//   kRowBase + row id           row lock (exclusive), one byte per row
//   [kRowBase, kRowBase+kRowSpan)  table lock: exclusive over every row byte, so
//                               it conflicts with any row lock and vice versa
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Sqlite.h"
#include "engine/Table.h"

namespace qv::engine::detail {

constexpr uint64_t kOpenByte = 0;
constexpr uint64_t kTableByte = 1;
constexpr uint64_t kCreateByte = 2;
constexpr uint64_t kRowBase = 0x10000000;
constexpr uint64_t kRowSpan = 0x40000000;
inline uint64_t RowByte(int64_t rowid) {
    return kRowBase + static_cast<uint64_t>(rowid) % kRowSpan;
}

std::string FileNameOf(const std::string& path);  // last path component, as given
std::string TableNameFor(const std::string& path);
inline std::string LockPathFor(const std::string& path) { return path + ".lck"; }

// One field value. Strings live in s (empty string never: that is NULL),
// every other type in i (milliseconds for times and date-times).
struct Value {
    bool null = true;
    int64_t i = 0;
    std::string s;
    friend bool operator==(const Value& a, const Value& b) {
        return a.null == b.null && (a.null || (a.i == b.i && a.s == b.s));
    }
};
using Row = std::vector<Value>;

const char* TypeName(FieldType type);
void ValidateDef(const TableDef& def);
void ConfigureConnection(sql::Db& db);

struct Meta {
    std::string table;
    TableDef def;
    int64_t nextAutoInc = 1;
};

// A time lookup's SQL. Stored date-times in their full form
// ("YYYY-MM-DD HH:MM:SS.mmm", each part in range) sort by their text; the
// odd rows are the others the lookup must look at apart: a flag that is no
// text, or the flag's value with a date-time that is empty, shorter, of
// another type or out of range (days above the 28th of February included).
std::string OddTimeRows(const TimeLookup& lookup, const TextCodec& codec);
// CREATE INDEX IF NOT EXISTS statements of the lookup.
std::vector<std::string> TimeLookupIndexes(const std::string& table, const TimeLookup& lookup,
                                           const TextCodec& codec);
// A string as an SQL literal.
std::string Literal(const std::string& text);

// Creates data table, indexes and metadata in an empty database.
void WriteSchema(sql::Db& db, const std::string& table, const TableDef& def,
                 int64_t nextAutoInc);
// Reads and checks the metadata against the data table; Damaged when it is not
// one of ours.
Meta ReadMeta(sql::Db& db);
// PRAGMA quick_check; Damaged with SQLite's first complaint.
void QuickCheck(sql::Db& db);

// "rowid", then the quoted field names.
std::string SelectList(const TableDef& def);
// Reads column col as a value of type; codec null keeps strings in storage
// form (UTF-8). Values that do not parse read as NULL.
Value LoadValue(const sql::Stmt& st, int col, FieldType type, const TextCodec* codec);
void BindValue(sql::Stmt& st, int index, const Value& v, FieldType type,
               const TextCodec* codec);
// Cuts UTF-8 text to at most n characters.
std::string CutUtf8(const std::string& s, int n);

}  // namespace qv::engine::detail
