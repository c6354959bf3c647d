#include "engine/TableFile.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <map>

#include "engine/Platform.h"
#include "engine/Text.h"

namespace qv::engine {

using detail::Meta;
using detail::Row;
using detail::Value;

namespace detail {

namespace {

bool TypeFromName(const std::string& name, FieldType* type) {
    static const FieldType all[] = {FieldType::String, FieldType::Time, FieldType::DateTime,
                                    FieldType::Integer, FieldType::AutoInc};
    for (FieldType t : all)
        if (name == TypeName(t)) {
            *type = t;
            return true;
        }
    return false;
}

const char* SqlType(FieldType type) {
    return type == FieldType::Integer || type == FieldType::AutoInc ? "INTEGER" : "TEXT";
}

std::string JoinFields(const std::vector<std::string>& fields) {
    std::string out;
    for (const auto& f : fields) out += (out.empty() ? "" : ",") + f;
    return out;
}

std::vector<std::string> SplitFields(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= s.size()) {
        size_t comma = s.find(',', start);
        if (comma == std::string::npos) comma = s.size();
        if (comma > start) out.push_back(s.substr(start, comma - start));
        start = comma + 1;
    }
    return out;
}

std::string IndexSqlName(const std::string& table, const IndexDef& index, size_t no) {
    std::string name = !index.name.empty() ? index.name
                       : index.primary     ? std::string("primary")
                                           : "idx" + std::to_string(no + 1);
    return table + "$" + name;
}

[[noreturn]] void NotOurs(const std::string& why) {
    throw EngineError(ErrorCode::Damaged, why);
}

}  // namespace

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TableNameFor(const std::string& path) {
    std::string file = FileNameOf(path);
    size_t dot = file.find_last_of('.');
    if (dot != std::string::npos && dot > 0) file.resize(dot);
    return Lower(file);
}

const char* TypeName(FieldType type) {
    switch (type) {
        case FieldType::String: return "String";
        case FieldType::Time: return "Time";
        case FieldType::DateTime: return "DateTime";
        case FieldType::Integer: return "Integer";
        case FieldType::AutoInc: return "AutoInc";
    }
    return "?";
}

void ValidateDef(const TableDef& def) {
    if (def.fields.empty()) throw EngineError(ErrorCode::Generic, "A table needs at least one field");
    int autoIncs = 0;
    for (size_t i = 0; i < def.fields.size(); ++i) {
        const FieldDef& f = def.fields[i];
        if (f.name.empty()) throw EngineError(ErrorCode::Generic, "Field " + std::to_string(i + 1) + " has no name");
        if (f.name.find(',') != std::string::npos)
            throw EngineError(ErrorCode::Generic, "Invalid field name '" + f.name + "'");
        for (size_t j = 0; j < i; ++j)
            if (SameName(def.fields[j].name, f.name))
                throw EngineError(ErrorCode::Generic, "Duplicate field name '" + f.name + "'");
        if (f.type == FieldType::String && f.size <= 0)
            throw EngineError(ErrorCode::Generic, "Field '" + f.name + "' needs a size");
        if (f.type == FieldType::AutoInc) ++autoIncs;
    }
    if (autoIncs > 1) throw EngineError(ErrorCode::Generic, "A table may have one auto-increment field only");
    for (const IndexDef& index : def.indexes) {
        if (index.fields.empty()) throw EngineError(ErrorCode::Generic, "An index needs at least one field");
        for (const std::string& name : index.fields) {
            bool found = false;
            for (const FieldDef& f : def.fields) found = found || f.name == name;
            if (!found) throw EngineError(ErrorCode::Generic, "Index field '" + name + "' is not a field of the table");
        }
    }
}

void ConfigureConnection(sql::Db& db) {
    // A post that has returned survives a crash, with the rollback journal.
    db.Exec("PRAGMA synchronous=FULL");
    db.Exec("PRAGMA cell_size_check=ON");
}

void WriteSchema(sql::Db& db, const std::string& table, const TableDef& def,
                 int64_t nextAutoInc) {
    db.Exec("CREATE TABLE qv_meta(key TEXT PRIMARY KEY, value)");
    db.Exec("CREATE TABLE qv_fields(no INTEGER PRIMARY KEY, name TEXT NOT NULL, "
            "type TEXT NOT NULL, size INTEGER NOT NULL, required INTEGER NOT NULL)");
    db.Exec("CREATE TABLE qv_indexes(no INTEGER PRIMARY KEY, name TEXT NOT NULL, "
            "fields TEXT NOT NULL, is_primary INTEGER NOT NULL, is_unique INTEGER NOT NULL)");
    std::string create = "CREATE TABLE " + sql::Quote(table) + "(";
    for (size_t i = 0; i < def.fields.size(); ++i)
        create += (i ? ", " : "") + sql::Quote(def.fields[i].name) + " " + SqlType(def.fields[i].type);
    db.Exec(create + ")");
    for (size_t i = 0; i < def.indexes.size(); ++i) {
        const IndexDef& index = def.indexes[i];
        std::string cols;
        for (const auto& f : index.fields) cols += (cols.empty() ? "" : ", ") + sql::Quote(f);
        db.Exec(std::string("CREATE ") + (index.unique || index.primary ? "UNIQUE " : "") +
                "INDEX " + sql::Quote(IndexSqlName(table, index, i)) + " ON " +
                sql::Quote(table) + "(" + cols + ")");
    }
    sql::Stmt meta(db, "INSERT INTO qv_meta(key, value) VALUES(?1, ?2)");
    meta.Bind(1, std::string("format")).Bind(2, std::string("1")).Run();
    meta.Bind(1, std::string("table")).Bind(2, table).Run();
    meta.Bind(1, std::string("language_id")).Bind(2, static_cast<int64_t>(def.languageId)).Run();
    meta.Bind(1, std::string("sort_id")).Bind(2, static_cast<int64_t>(def.sortId)).Run();
    meta.Bind(1, std::string("description")).Bind(2, def.description).Run();
    meta.Bind(1, std::string("next_autoinc")).Bind(2, nextAutoInc).Run();
    sql::Stmt field(db, "INSERT INTO qv_fields(no, name, type, size, required) VALUES(?1,?2,?3,?4,?5)");
    for (size_t i = 0; i < def.fields.size(); ++i) {
        const FieldDef& f = def.fields[i];
        field.Bind(1, static_cast<int64_t>(i + 1))
            .Bind(2, f.name)
            .Bind(3, std::string(TypeName(f.type)))
            .Bind(4, static_cast<int64_t>(f.type == FieldType::String ? f.size : 0))
            .Bind(5, static_cast<int64_t>(f.required ? 1 : 0))
            .Run();
    }
    sql::Stmt idx(db, "INSERT INTO qv_indexes(no, name, fields, is_primary, is_unique) VALUES(?1,?2,?3,?4,?5)");
    for (size_t i = 0; i < def.indexes.size(); ++i) {
        const IndexDef& index = def.indexes[i];
        idx.Bind(1, static_cast<int64_t>(i + 1))
            .Bind(2, index.name)
            .Bind(3, JoinFields(index.fields))
            .Bind(4, static_cast<int64_t>(index.primary ? 1 : 0))
            .Bind(5, static_cast<int64_t>(index.unique ? 1 : 0))
            .Run();
    }
}

Meta ReadMeta(sql::Db& db) {
    Meta meta;
    try {
        std::map<std::string, std::string> kv;
        sql::Stmt st(db, "SELECT key, value FROM qv_meta");
        while (st.Step()) kv[st.Text(0)] = st.Text(1);
        if (kv["format"] != "1") NotOurs("unknown format '" + kv["format"] + "'");
        meta.table = kv["table"];
        if (meta.table.empty()) NotOurs("no table name in the metadata");
        int64_t n = 0;
        meta.def.languageId = ParseInt(kv["language_id"], &n) ? static_cast<int>(n) : 0;
        meta.def.sortId = ParseInt(kv["sort_id"], &n) ? static_cast<int>(n) : 0;
        meta.def.description = kv["description"];
        if (!ParseInt(kv["next_autoinc"], &meta.nextAutoInc)) NotOurs("no auto-increment counter");

        sql::Stmt fields(db, "SELECT name, type, size, required FROM qv_fields ORDER BY no");
        while (fields.Step()) {
            FieldDef f;
            f.name = fields.Text(0);
            if (!TypeFromName(fields.Text(1), &f.type))
                NotOurs("field '" + f.name + "' has unknown type '" + fields.Text(1) + "'");
            f.size = static_cast<int>(fields.Int(2));
            f.required = fields.Int(3) != 0;
            meta.def.fields.push_back(f);
        }
        sql::Stmt indexes(db, "SELECT name, fields, is_primary, is_unique FROM qv_indexes ORDER BY no");
        while (indexes.Step()) {
            IndexDef index;
            index.name = indexes.Text(0);
            index.fields = SplitFields(indexes.Text(1));
            index.primary = indexes.Int(2) != 0;
            index.unique = indexes.Int(3) != 0;
            meta.def.indexes.push_back(index);
        }
        sql::Stmt cols(db, "PRAGMA table_info(" + sql::Quote(meta.table) + ")");
        size_t i = 0;
        while (cols.Step()) {
            if (i >= meta.def.fields.size() || cols.Text(1) != meta.def.fields[i].name)
                NotOurs("the columns of table '" + meta.table + "' do not match its field definitions");
            ++i;
        }
        if (i != meta.def.fields.size())
            NotOurs(i == 0 ? "table '" + meta.table + "' is missing"
                           : "the columns of table '" + meta.table + "' do not match its field definitions");
        ValidateDef(meta.def);
    } catch (const EngineError& e) {
        if (e.code() == ErrorCode::Damaged) throw;
        NotOurs(std::string("not a table of this program (") + e.what() + ")");
    }
    return meta;
}

void QuickCheck(sql::Db& db) {
    sql::Stmt st(db, "PRAGMA quick_check(1)");
    std::string result = st.Step() ? st.Text(0) : std::string("no result");
    if (result != "ok") NotOurs(result);
}

std::string SelectList(const TableDef& def) {
    std::string out = "rowid";
    for (const FieldDef& f : def.fields) out += ", " + sql::Quote(f.name);
    return out;
}

std::string CutUtf8(const std::string& s, int n) {
    if (n <= 0) return {};
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == static_cast<size_t>(n)) return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

Value LoadValue(const sql::Stmt& st, int col, FieldType type, const TextCodec* codec) {
    Value v;
    const int t = st.Type(col);
    if (t == SQLITE_NULL) return v;
    switch (type) {
        case FieldType::String: {
            std::string text = st.Text(col);
            if (codec) text = codec->FromStorage(text);
            if (!text.empty()) {
                v.null = false;
                v.s = std::move(text);
            }
            break;
        }
        case FieldType::Time:
            if (auto parsed = ParseTime(st.Text(col))) {
                v.null = false;
                v.i = parsed->ms;
            }
            break;
        case FieldType::DateTime:
            if (auto parsed = ParseDateTime(st.Text(col))) {
                v.null = false;
                v.i = parsed->ms;
            }
            break;
        case FieldType::Integer:
        case FieldType::AutoInc:
            if (t == SQLITE_INTEGER) {
                v.null = false;
                v.i = st.Int(col);
            } else if (ParseInt(st.Text(col), &v.i)) {
                v.null = false;
            }
            break;
    }
    return v;
}

void BindValue(sql::Stmt& st, int index, const Value& v, FieldType type,
               const TextCodec* codec) {
    if (v.null) {
        st.BindNull(index);
        return;
    }
    switch (type) {
        case FieldType::String: st.Bind(index, codec ? codec->ToStorage(v.s) : v.s); break;
        case FieldType::Time: st.Bind(index, FormatTime(TimeOfDay{static_cast<int32_t>(v.i)})); break;
        case FieldType::DateTime: st.Bind(index, FormatDateTime(DateTime{v.i})); break;
        case FieldType::Integer:
        case FieldType::AutoInc: st.Bind(index, v.i); break;
    }
}

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
