// Table-level operations: creation, restructuring and repair of a table file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "engine/Platform.h"
#include "engine/TableFile.h"
#include "engine/Text.h"

namespace qv::engine {

using detail::Meta;
using detail::Row;
using detail::Value;

namespace detail {

namespace {

// Holds the open byte exclusively: nobody else has the table open.
class ExclusiveUse {
public:
    explicit ExclusiveUse(const std::string& path) {
        std::string error;
        if (!lock_.Open(LockPathFor(path), &error)) throw EngineError(ErrorCode::LockFile, error);
        if (!lock_.TryLock(kOpenByte, 1, true))
            throw EngineError(ErrorCode::InUse,
                              "Table '" + FileNameOf(path) + "' is in use by another user");
    }

private:
    platform::LockHandle lock_;
};

// Creators of one table take turns: the first writes it, the others wait and
// then find it there.
class CreateTurn {
public:
    explicit CreateTurn(const std::string& path) {
        std::string error;
        if (!lock_.Open(LockPathFor(path), &error)) throw EngineError(ErrorCode::LockFile, error);
        for (int i = 0; !lock_.TryLock(kCreateByte, 1, true); ++i) {
            if (i == 200)
                throw EngineError(ErrorCode::InUse, "Table '" + FileNameOf(path) + "' is being created by another user");
            platform::SleepMs(50);
        }
    }

private:
    platform::LockHandle lock_;  // closing it ends the turn
};

int AutoIncField(const TableDef& def) {
    for (size_t i = 0; i < def.fields.size(); ++i)
        if (def.fields[i].type == FieldType::AutoInc) return static_cast<int>(i);
    return -1;
}

// Numbers rows without an auto-increment value and returns the next number.
int64_t NumberRows(const TableDef& def, std::vector<std::pair<int64_t, Row>>& rows,
                   int64_t next) {
    int ai = AutoIncField(def);
    if (ai < 0) return next;
    for (auto& r : rows)
        if (!r.second[static_cast<size_t>(ai)].null) next = std::max(next, r.second[static_cast<size_t>(ai)].i + 1);
    for (auto& r : rows) {
        Value& v = r.second[static_cast<size_t>(ai)];
        if (v.null) {
            v.null = false;
            v.i = next++;
        }
    }
    return next;
}

// Inserts rows (keeping their row ids); returns how many went in. With
// skipConflicts, a row that breaks a unique index is left out.
int InsertRows(sql::Db& db, const std::string& table, const TableDef& def,
               const std::vector<std::pair<int64_t, Row>>& rows, bool skipConflicts) {
    std::string sqlText = "INSERT INTO " + sql::Quote(table) + "(rowid";
    std::string params = "?1";
    for (size_t i = 0; i < def.fields.size(); ++i) {
        sqlText += ", " + sql::Quote(def.fields[i].name);
        params += ", ?" + std::to_string(i + 2);
    }
    sql::Stmt st(db, sqlText + ") VALUES(" + params + ")");
    int count = 0;
    for (const auto& r : rows) {
        st.Bind(1, r.first);
        for (size_t i = 0; i < def.fields.size(); ++i)
            BindValue(st, static_cast<int>(i + 2), r.second[i], def.fields[i].type, nullptr);
        try {
            st.Run();
            ++count;
        } catch (const sql::SqlError& e) {
            st.Reset();
            if (!skipConflicts || (e.rc() & 0xff) != SQLITE_CONSTRAINT) throw;
        }
    }
    return count;
}

Row ConvertRow(const sql::Stmt& st, const TableDef& def, const std::vector<int>& columnOf) {
    Row row(def.fields.size());
    for (size_t i = 0; i < def.fields.size(); ++i) {
        if (columnOf[i] < 0) continue;
        row[i] = LoadValue(st, columnOf[i], def.fields[i].type, nullptr);
        if (def.fields[i].type == FieldType::String && !row[i].null) {
            row[i].s = CutUtf8(row[i].s, def.fields[i].size);
            row[i].null = row[i].s.empty();
        }
    }
    return row;
}

// Whole UTF-8 sequences only, as the engine writes text.
bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        const size_t extra = b < 0x80                ? 0
                             : b >= 0xC2 && b < 0xE0 ? 1
                             : b >= 0xE0 && b < 0xF0 ? 2
                             : b >= 0xF0 && b < 0xF5 ? 3
                                                     : 4;  // no lead byte
        if (extra == 4 || s.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

// A salvaged row is kept only when it could have been posted: every required
// field has a value (also when the damaged table has no such column at all),
// and nothing shows the marks of a torn or overwritten page: a NUL or broken
// UTF-8 in a text, an auto-increment number the engine never gives.
bool Plausible(const Row& row, const TableDef& def) {
    for (size_t i = 0; i < def.fields.size(); ++i) {
        const FieldDef& f = def.fields[i];
        const Value& v = row[i];
        if (f.required && f.type != FieldType::AutoInc && v.null) return false;
        if (f.type == FieldType::String && (v.s.find('\0') != std::string::npos || !IsUtf8(v.s)))
            return false;
        if (f.type == FieldType::AutoInc && !v.null && v.i <= 0) return false;
    }
    return true;
}

// Plain C files: the C++ file streams would bring C runtime calls that older
// Windows lacks.
using File = std::unique_ptr<FILE, int (*)(FILE*)>;

bool ReadAll(const std::string& path, std::string& bytes) {
    File f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) bytes.append(buf, n);
    return !std::ferror(f.get());
}

bool WriteAll(const std::string& path, const std::string& bytes) {
    File f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return false;
    return std::fclose(f.release()) == 0;
}

// A copy of the damaged file without a torn last page, which would read as
// half rows.
bool CopyWholePages(const std::string& from, const std::string& to) {
    std::string bytes;
    if (!ReadAll(from, bytes)) return false;
    if (bytes.size() >= 100 && bytes.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0) {
        size_t pageSize = (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
        if (pageSize == 1) pageSize = 65536;
        if (pageSize >= 512 && (pageSize & (pageSize - 1)) == 0) bytes.resize(bytes.size() / pageSize * pageSize);
    }
    return WriteAll(to, bytes);
}

// Reads the rows of one table of a damaged file. A scan in row id order gets
// everything up to the first damaged page and jumps past it; a damaged page
// high in the tree can make it skip far, or end early without a word. So every
// row id up to the largest one known is then also looked up on its own: a
// lookup reaches its row wherever the path to it is whole.
class RowReader {
public:
    RowReader(sql::Db& db, const std::string& columns, const TableDef& def,
              const std::vector<int>& columnOf)
        : db_(db), columns_(columns), def_(def), columnOf_(columnOf) {}

    // knownLast: the largest row id the table's own records name (0: none).
    void Read(int64_t knownLast) {
        Scan();
        int64_t last = std::max<int64_t>(knownLast, 0);
        for (const auto& r : found_)
            if (r.first <= kMaxLookups) last = std::max(last, r.first);
        LookUp(std::min(last, kMaxLookups));
    }
    // The rows read, in row id order.
    const std::map<int64_t, Row>& rows() const { return found_; }
    // Rows lost: ids whose lookup met damage, and rows without a required value.
    int unreadable() const { return unreadable_; }

private:
    // Row ids looked up one by one at most; ids above come from the scan only.
    static constexpr int64_t kMaxLookups = 1 << 20;

    void Take(int64_t rowid, const sql::Stmt& st) {
        if (found_.count(rowid) || rejected_.count(rowid)) return;
        Row row = ConvertRow(st, def_, columnOf_);
        if (Plausible(row, def_)) {
            found_.emplace(rowid, std::move(row));
        } else {
            rejected_.insert(rowid);
            ++unreadable_;
        }
    }

    void Scan() {
        int64_t from = INT64_MIN;
        for (int resumes = 0; resumes < 10000; ++resumes) {
            try {
                sql::Stmt st(db_, "SELECT " + columns_ + " WHERE rowid >= ?1 ORDER BY rowid");
                st.Bind(1, from);
                while (st.Step()) {
                    const int64_t rowid = st.Int(0);
                    if (rowid < from) continue;  // out of order: a key the damage bent
                    Take(rowid, st);
                    if (rowid == INT64_MAX) return;
                    from = rowid + 1;
                }
                return;
            } catch (const EngineError&) {
            }
            // Jump past the damage in growing steps to the next row that can
            // be reached; the lookups find what the jump passed over.
            for (int64_t jump = 1;; jump *= 2) {
                if (jump > INT64_MAX / 4 || from > INT64_MAX - jump) return;
                try {
                    sql::Stmt probe(db_, "SELECT rowid" + columns_.substr(columns_.find(" FROM ")) +
                                             " WHERE rowid >= ?1 ORDER BY rowid LIMIT 1");
                    probe.Bind(1, from + jump);
                    if (!probe.Step()) return;
                    from = probe.Int(0);
                    break;
                } catch (const EngineError&) {
                }
            }
        }
    }

    void LookUp(int64_t last) {
        sql::Stmt st(db_, "SELECT " + columns_ + " WHERE rowid = ?1");
        for (int64_t id = 1; id <= last; ++id) {
            if (found_.count(id) || rejected_.count(id)) continue;
            st.Bind(1, id);
            try {
                if (st.Step()) Take(id, st);
                st.Reset();
            } catch (const EngineError&) {
                st.Reset();
                ++unreadable_;
            }
        }
    }

    sql::Db& db_;
    const std::string columns_;  // "rowid, <fields> FROM <table>"
    const TableDef& def_;
    const std::vector<int>& columnOf_;
    std::map<int64_t, Row> found_;
    std::set<int64_t> rejected_;
    int unreadable_ = 0;
};

// Runs a query for one number; false when the damage stops it. value stays
// empty for a NULL answer (min and max of an empty table).
bool QueryInt(sql::Db& db, const std::string& query, std::optional<int64_t>& value) {
    try {
        sql::Stmt st(db, query);
        if (st.Step() && st.Type(0) == SQLITE_INTEGER) value = st.Int(0);
        return true;
    } catch (const EngineError&) {
        return false;
    }
}

// Reads whatever rows of a damaged file can still be read. Returns how many
// rows could not be read or would break a required field.
int Salvage(const std::string& damaged, const TableDef& def, const std::string& table,
            std::vector<std::pair<int64_t, Row>>& rows, int64_t& nextAutoInc) {
    if (!platform::FileExists(damaged)) return 0;
    const std::string path = damaged + ".salvage";
    struct Remove {
        std::string p;
        ~Remove() {
            platform::RemoveFile(p);
            platform::RemoveFile(p + "-journal");
        }
    } removeCopy{path};
    platform::RemoveFile(path + "-journal");
    if (!CopyWholePages(damaged, path)) return 0;
    // A hot journal of the damaged file belongs to the copy now.
    std::string journal;
    if (platform::FileExists(damaged + "-journal") && ReadAll(damaged + "-journal", journal))
        WriteAll(path + "-journal", journal);
    sql::Db db;
    std::string source;
    std::vector<int> columnOf(def.fields.size(), -1);
    std::string select;  // "rowid, <columns> FROM <table>"
    try {
        db.Open(path, false);
        db.Exec("PRAGMA cell_size_check=ON");
        // Lets a file shorter than its header says still be read up to its end.
        db.Exec("PRAGMA writable_schema=ON");
        std::vector<std::string> tables;
        {
            sql::Stmt st(db, "SELECT name FROM sqlite_master WHERE type='table'");
            while (st.Step()) tables.push_back(st.Text(0));
        }
        for (const auto& t : tables)
            if (SameName(t, table)) source = t;
        for (const auto& t : tables)
            if (source.empty() && t.rfind("qv_", 0) != 0 && t.rfind("sqlite_", 0) != 0) source = t;
        if (source.empty()) return 0;
        std::optional<int64_t> stored;
        if (QueryInt(db, "SELECT value FROM qv_meta WHERE key='next_autoinc'", stored) && stored)
            nextAutoInc = std::max(nextAutoInc, *stored);
        std::vector<std::string> columns;
        {
            sql::Stmt st(db, "PRAGMA table_info(" + sql::Quote(source) + ")");
            while (st.Step()) columns.push_back(st.Text(1));
        }
        select = "rowid";
        int next = 1;
        for (size_t i = 0; i < def.fields.size(); ++i)
            for (const auto& c : columns)
                if (columnOf[i] < 0 && SameName(c, def.fields[i].name)) {
                    select += ", " + sql::Quote(c);
                    columnOf[i] = next++;
                }
        select += " FROM " + sql::Quote(source);
    } catch (const EngineError&) {
        return 0;  // nothing readable: the table starts empty
    }

    RowReader reader(db, select, def, columnOf);
    try {
        reader.Read(nextAutoInc - 1);
    } catch (const EngineError&) {
        // A schema too damaged to compile the lookup (an orphan index, say):
        // what the scan read is all there is.
    }
    for (const auto& r : reader.rows()) rows.emplace_back(r.first, r.second);
    return reader.unreadable();
}

}  // namespace

}  // namespace detail

bool TableExists(const std::string& path) { return platform::FileExists(path); }

namespace {

// A fresh look at the file beside any cursor: its metadata, after the page
// check when check is set.
Meta LookAt(const std::string& path, bool check) {
    if (!platform::FileExists(path))
        throw EngineError(ErrorCode::NotFound, "Table '" + path + "' does not exist");
    sql::Db db;
    try {
        db.Open(path, false, 500);
        db.Exec("BEGIN");
        if (check) detail::QuickCheck(db);
        Meta meta = detail::ReadMeta(db);
        db.Exec("COMMIT");
        return meta;
    } catch (const EngineError& e) {
        if (e.code() == ErrorCode::Damaged || e.code() == ErrorCode::Generic)
            throw EngineError(ErrorCode::Damaged,
                              "Table '" + detail::FileNameOf(path) + "' is damaged: " + e.what());
        throw;
    }
}

}  // namespace

void VerifyTable(const std::string& path) { LookAt(path, true); }

TableDef StoredTableDef(const std::string& path) { return LookAt(path, false).def; }

std::string FileIdentity(const std::string& path) { return platform::FileIdentity(path); }

bool SameStructure(const TableDef& a, const TableDef& b) {
    if (a.fields.size() != b.fields.size() || a.indexes.size() != b.indexes.size()) return false;
    for (size_t i = 0; i < a.fields.size(); ++i) {
        const FieldDef &x = a.fields[i], &y = b.fields[i];
        if (x.name != y.name || x.type != y.type || x.required != y.required ||
            (x.type == FieldType::String && x.size != y.size))
            return false;
    }
    for (size_t i = 0; i < a.indexes.size(); ++i) {
        const IndexDef &x = a.indexes[i], &y = b.indexes[i];
        if (x.name != y.name || x.fields != y.fields || x.primary != y.primary || x.unique != y.unique)
            return false;
    }
    return true;
}

std::string FreeBackupPath(const std::string& path) {
    if (!platform::FileExists(path + ".bak")) return path + ".bak";
    for (int n = 2; n <= 9999; ++n) {
        const std::string candidate = path + "." + std::to_string(n) + ".bak";
        if (!platform::FileExists(candidate)) return candidate;
    }
    return {};
}

std::string LockFileOf(const std::string& path) { return detail::LockPathFor(path); }

bool CreateTable(const std::string& path, const TableDef& def) {
    if (platform::FileExists(path)) return false;
    detail::ValidateDef(def);
    detail::CreateTurn turn(path);
    if (platform::FileExists(path)) return false;  // another creator was first
    // Written under another name and renamed when complete: a creator that
    // dies on the way leaves no table behind, only this file, which the
    // next creator replaces.
    const std::string tmp = path + ".new";
    platform::RemoveFile(tmp);
    platform::RemoveFile(tmp + "-journal");
    try {
        sql::Db db;
        db.Open(tmp, true);
        detail::ConfigureConnection(db);
        sql::Transaction t(db);
        detail::WriteSchema(db, detail::TableNameFor(path), def, 1);
        t.Commit();
    } catch (const EngineError& e) {
        platform::RemoveFile(tmp);
        throw EngineError(ErrorCode::Generic,
                          "Cannot create table '" + detail::FileNameOf(path) + "': " + e.what());
    }
    if (!platform::MoveNoReplace(tmp, path)) {
        platform::RemoveFile(tmp);
        if (platform::FileExists(path)) return false;  // somebody else was quicker
        throw EngineError(ErrorCode::Generic, "Cannot create table '" + detail::FileNameOf(path) + "'");
    }
    return true;
}

void RestructureTable(const std::string& path, const TableDef& def) {
    detail::ValidateDef(def);
    detail::ExclusiveUse use(path);
    if (!platform::FileExists(path))
        throw EngineError(ErrorCode::NotFound, "Table '" + detail::FileNameOf(path) + "' does not exist");
    sql::Db db;
    db.Open(path, false);
    detail::ConfigureConnection(db);
    sql::Transaction t(db);
    Meta old = detail::ReadMeta(db);

    std::vector<int> columnOf(def.fields.size(), -1);
    for (size_t i = 0; i < def.fields.size(); ++i)
        for (size_t j = 0; j < old.def.fields.size(); ++j)
            if (SameName(old.def.fields[j].name, def.fields[i].name))
                columnOf[i] = static_cast<int>(j + 1);
    std::vector<std::pair<int64_t, Row>> rows;
    {
        sql::Stmt st(db, "SELECT " + detail::SelectList(old.def) + " FROM " +
                             sql::Quote(old.table) + " ORDER BY rowid");
        while (st.Step()) rows.emplace_back(st.Int(0), detail::ConvertRow(st, def, columnOf));
    }
    int64_t next = detail::NumberRows(def, rows, old.nextAutoInc);
    for (const char* t2 : {"qv_meta", "qv_fields", "qv_indexes"})
        db.Exec(std::string("DROP TABLE ") + t2);
    db.Exec("DROP TABLE " + sql::Quote(old.table));
    detail::WriteSchema(db, old.table, def, next);
    detail::InsertRows(db, old.table, def, rows, false);
    t.Commit();
}

RepairResult RepairTable(const std::string& path, const TableDef& def) {
    detail::ValidateDef(def);
    detail::ExclusiveUse use(path);
    const std::string table = detail::TableNameFor(path);
    std::vector<std::pair<int64_t, Row>> rows;
    int64_t next = 1;
    RepairResult result;
    result.unreadable = detail::Salvage(path, def, table, rows, next);
    next = detail::NumberRows(def, rows, next);

    const std::string tmp = path + ".repair";
    platform::RemoveFile(tmp);
    platform::RemoveFile(tmp + "-journal");
    {
        sql::Db db;
        db.Open(tmp, true);
        detail::ConfigureConnection(db);
        sql::Transaction t(db);
        detail::WriteSchema(db, table, def, next);
        result.kept = detail::InsertRows(db, table, def, rows, true);
        t.Commit();
    }
    // A row left out for breaking a unique index is a row not kept either.
    result.unreadable += static_cast<int>(rows.size()) - result.kept;
    // A journal left by the damaged file must not be played into the new one.
    platform::RemoveFile(path + "-journal");
    if (!platform::MoveReplace(tmp, path))
        throw EngineError(ErrorCode::Generic, "Cannot replace table '" + detail::FileNameOf(path) +
                                                  "' by its repaired copy");
    return result;
}

}  // namespace qv::engine
