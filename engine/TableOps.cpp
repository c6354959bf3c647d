// Table-level operations: creation, restructuring and repair of a table file.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

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
        if (!lock_.Open(LockPathFor(path), &error)) throw EngineError(ErrorCode::Generic, error);
        if (!lock_.TryLock(kOpenByte, 1, true))
            throw EngineError(ErrorCode::InUse,
                              "Table '" + FileNameOf(path) + "' is in use by another user");
    }

private:
    platform::LockHandle lock_;
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

// A salvaged row is kept only when it could have been posted: its required
// fields are filled and no text holds a NUL (the remains of a torn page).
bool Plausible(const Row& row, const TableDef& def, const std::vector<int>& columnOf) {
    for (size_t i = 0; i < def.fields.size(); ++i) {
        const FieldDef& f = def.fields[i];
        if (f.required && f.type != FieldType::AutoInc && columnOf[i] >= 0 && row[i].null) return false;
        if (f.type == FieldType::String && row[i].s.find('\0') != std::string::npos) return false;
    }
    return true;
}

// A copy of the damaged file without a torn last page, which would read as
// half rows.
bool CopyWholePages(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 100 && bytes.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0) {
        size_t pageSize = (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
        if (pageSize == 1) pageSize = 65536;
        if (pageSize >= 512 && (pageSize & (pageSize - 1)) == 0) bytes.resize(bytes.size() / pageSize * pageSize);
    }
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Reads whatever rows of a damaged file can still be read.
void Salvage(const std::string& damaged, const TableDef& def, const std::string& table,
             std::vector<std::pair<int64_t, Row>>& rows, int64_t& nextAutoInc) {
    if (!platform::FileExists(damaged)) return;
    const std::string path = damaged + ".salvage";
    struct Remove {
        std::string p;
        ~Remove() {
            platform::RemoveFile(p);
            platform::RemoveFile(p + "-journal");
        }
    } removeCopy{path};
    platform::RemoveFile(path + "-journal");
    if (!CopyWholePages(damaged, path)) return;
    // A hot journal of the damaged file belongs to the copy now.
    if (platform::FileExists(damaged + "-journal")) {
        std::ifstream in(damaged + "-journal", std::ios::binary);
        std::ofstream out(path + "-journal", std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
    }
    sql::Db db;
    std::string source;
    std::vector<int> columnOf(def.fields.size(), -1);
    std::string select;
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
        if (source.empty()) return;
        try {
            sql::Stmt st(db, "SELECT value FROM qv_meta WHERE key='next_autoinc'");
            if (st.Step()) nextAutoInc = std::max<int64_t>(nextAutoInc, st.Int(0));
        } catch (const EngineError&) {
        }
        std::vector<std::string> columns;
        {
            sql::Stmt st(db, "PRAGMA table_info(" + sql::Quote(source) + ")");
            while (st.Step()) columns.push_back(st.Text(1));
        }
        select = "SELECT rowid";
        int next = 1;
        for (size_t i = 0; i < def.fields.size(); ++i)
            for (const auto& c : columns)
                if (columnOf[i] < 0 && SameName(c, def.fields[i].name)) {
                    select += ", " + sql::Quote(c);
                    columnOf[i] = next++;
                }
        select += " FROM " + sql::Quote(source) + " WHERE rowid > ?1 ORDER BY rowid";
    } catch (const EngineError&) {
        return;  // nothing readable: the table starts empty
    }

    int64_t last = 0;
    for (int attempts = 0; attempts < 10000; ++attempts) {
        try {
            sql::Stmt st(db, select);
            st.Bind(1, last);
            while (st.Step()) {
                int64_t rowid = st.Int(0);
                Row row = ConvertRow(st, def, columnOf);
                if (Plausible(row, def, columnOf)) rows.emplace_back(rowid, std::move(row));
                last = rowid;
            }
            return;
        } catch (const EngineError&) {
        }
        // The row after `last` cannot be read: find the next row id that can
        // be reached, and skip that row; where the tree itself is broken, jump
        // ahead in growing steps.
        int64_t jump = 1;
        for (;;) {
            try {
                sql::Stmt probe(db, "SELECT rowid FROM " + sql::Quote(source) +
                                        " WHERE rowid >= ?1 ORDER BY rowid LIMIT 1");
                probe.Bind(1, last + jump);
                if (!probe.Step()) return;
                last = probe.Int(0);
                break;
            } catch (const EngineError&) {
                if (jump > (INT64_MAX >> 2) - last) return;
                jump *= 2;
            }
        }
    }
}

}  // namespace

}  // namespace detail

bool TableExists(const std::string& path) { return platform::FileExists(path); }

bool CreateTable(const std::string& path, const TableDef& def) {
    if (platform::FileExists(path)) return false;
    detail::ValidateDef(def);
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

int RepairTable(const std::string& path, const TableDef& def) {
    detail::ValidateDef(def);
    detail::ExclusiveUse use(path);
    const std::string table = detail::TableNameFor(path);
    std::vector<std::pair<int64_t, Row>> rows;
    int64_t next = 1;
    detail::Salvage(path, def, table, rows, next);
    next = detail::NumberRows(def, rows, next);

    const std::string tmp = path + ".repair";
    platform::RemoveFile(tmp);
    platform::RemoveFile(tmp + "-journal");
    int count = 0;
    {
        sql::Db db;
        db.Open(tmp, true);
        detail::ConfigureConnection(db);
        sql::Transaction t(db);
        detail::WriteSchema(db, table, def, next);
        count = detail::InsertRows(db, table, def, rows, true);
        t.Commit();
    }
    // A journal left by the damaged file must not be played into the new one.
    platform::RemoveFile(path + "-journal");
    if (!platform::MoveReplace(tmp, path))
        throw EngineError(ErrorCode::Generic, "Cannot replace table '" + detail::FileNameOf(path) +
                                                  "' by its repaired copy");
    return count;
}

}  // namespace qv::engine
