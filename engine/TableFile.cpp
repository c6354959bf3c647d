// The on-disk form: names, field definitions, schema, metadata and values.
#include "engine/TableFile.h"

#include <map>

#include "engine/Text.h"

namespace qv::engine::detail {

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

std::string Literal(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

std::string OddTimeRows(const TimeLookup& l, const TextCodec& codec) {
    const std::string f = sql::Quote(l.flag), t = sql::Quote(l.time);
    const std::string year = "substr(" + t + ",1,4)", month = "substr(" + t + ",6,2)",
                      day = "substr(" + t + ",9,2)", hour = "substr(" + t + ",12,2)";
    const std::string sorts =
        "typeof(" + t + ")='text' AND " + t +
        " GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'"
        " AND " + year + "<>'0000' AND " + month + " BETWEEN '01' AND '12' AND " + day + "<>'00' AND " + hour +
        "<='23' AND (" + day + "<='28' OR (" + month + "<>'02' AND " + day + "<='30') OR (" + day + "='31' AND " +
        month + " IN ('01','03','05','07','08','10','12')))";
    return "(typeof(" + f + ") NOT IN ('text','null') OR (" + f + "=" + Literal(codec.ToStorage(l.flagValue)) +
           " AND NOT (" + sorts + ")))";
}

std::vector<std::string> TimeLookupIndexes(const std::string& table, const TimeLookup& l,
                                           const TextCodec& codec) {
    const std::string key = ":" + l.flag + ":" + l.time;
    return {"CREATE INDEX IF NOT EXISTS " + sql::Quote(table + "$time" + key) + " ON " + sql::Quote(table) + "(" +
                sql::Quote(l.flag) + ", " + sql::Quote(l.time) + ")",
            // Covering, so the planner takes it for the odd rows.
            "CREATE INDEX IF NOT EXISTS " + sql::Quote(table + "$odd" + key) + " ON " + sql::Quote(table) + "(" +
                sql::Quote(l.flag) + ", " + sql::Quote(l.time) + ") WHERE " + OddTimeRows(l, codec)};
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
    auto typeOf = [&](const std::string& name) -> const FieldDef* {
        for (const FieldDef& f : def.fields)
            if (SameName(f.name, name)) return &f;
        return nullptr;
    };
    for (const TimeLookup& l : def.lookups) {
        const FieldDef* flag = typeOf(l.flag);
        const FieldDef* time = typeOf(l.time);
        if (!flag || flag->type != FieldType::String || !time || time->type != FieldType::DateTime)
            throw EngineError(ErrorCode::Generic, "A time lookup needs a string field and a date-time field");
    }
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
    // Pages kept per connection, at most 256 KB: the tables are read a block
    // of rows at a time, and three connections must not each hold a table.
    db.Exec("PRAGMA cache_size=-256");
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
    for (const TimeLookup& l : def.lookups)
        for (const std::string& index : TimeLookupIndexes(table, l, Windows1252Codec())) db.Exec(index);
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
        // A file another program holds is not known to be foreign.
        if (e.code() == ErrorCode::Damaged || e.code() == ErrorCode::Busy || e.code() == ErrorCode::Full) throw;
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

}  // namespace qv::engine::detail
