// Lookups straight in a cursor's table: rows by a flag and a date-time, the
// earliest date-time, the last row number; and keeping such a lookup.
#include <algorithm>

#include "engine/CursorImpl.h"
#include "engine/Text.h"

namespace qv::engine {

using detail::Fail;
using detail::Value;

namespace {

// The lookup with the table's own spelling of its field names.
TimeLookup Resolve(Cursor& c, const TimeLookup& l) {
    Field* flag = c.FindField(l.flag);
    Field* time = c.FindField(l.time);
    if (!flag || flag->type() != FieldType::String || !time || time->type() != FieldType::DateTime)
        Fail(ErrorCode::Generic, "A time lookup needs a string field and a date-time field");
    return TimeLookup{flag->name(), l.flagValue, time->name()};
}

// A row's flag and date-time as the field objects read them.
bool FlagHolds(const sql::Stmt& st, int col, const TimeLookup& l, const TextCodec& codec) {
    const Value v = detail::LoadValue(st, col, FieldType::String, &codec);
    return (v.null ? std::string() : v.s) == l.flagValue;
}

DateTime TimeOf(const sql::Stmt& st, int col, const TextCodec& codec) {
    const Value v = detail::LoadValue(st, col, FieldType::DateTime, &codec);
    return DateTime{v.null ? 0 : v.i};
}

// Steps st through f(st), resetting it also when f throws.
template <typename F>
void EachRow(sql::Stmt& st, F&& f) {
    try {
        while (st.Step()) f(st);
    } catch (...) {
        st.Reset();
        throw;
    }
    st.Reset();
}

}  // namespace

std::vector<TimedRow> Cursor::FindTimedRows(const TimeLookup& lookup, std::optional<DateTime> from,
                                            DateTime before, int64_t afterRow, int64_t upToRow) {
    Impl& d = *impl_;
    d.CheckActive();
    const TimeLookup l = Resolve(*this, lookup);
    const TextCodec& codec = d.session.codec();
    const std::string f = sql::Quote(l.flag), t = sql::Quote(l.time);
    const std::string select = "SELECT rowid, " + f + ", " + t + " FROM " + sql::Quote(d.meta.table) + " WHERE ";
    // "+rowid": the row numbers narrow the result, never choose the way to it.
    const std::string rows = " AND +rowid > ?3 AND +rowid <= ?4";
    // Dates in their full form sort by their text, so the index on (flag,
    // time) finds them; the odd ones come through their own index, and the
    // exact test below decides for both.
    // Sorted here: an ORDER BY would make the planner walk the table in row
    // order instead of the small index of odd rows.
    sql::Stmt& st = d.Prepared(select + f + "=" + detail::Literal(codec.ToStorage(l.flagValue)) + " AND " + t +
                               ">=?1 AND " + t + "<?2" + rows + " UNION ALL " + select +
                               detail::OddTimeRows(l, codec) + rows);
    st.Bind(1, from ? FormatDateTime(*from) : std::string())
        .Bind(2, FormatDateTime(before))
        .Bind(3, afterRow)
        .Bind(4, upToRow);
    std::vector<TimedRow> found;
    EachRow(st, [&](const sql::Stmt& r) {
        if (!FlagHolds(r, 1, l, codec)) return;
        const DateTime when = TimeOf(r, 2, codec);
        if ((from && when < *from) || !(when < before)) return;
        found.push_back(TimedRow{r.Int(0), when});
    });
    // A row can come through both ways.
    std::sort(found.begin(), found.end(), [](const TimedRow& a, const TimedRow& b) { return a.rowid < b.rowid; });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const TimedRow& a, const TimedRow& b) { return a.rowid == b.rowid; }),
                found.end());
    return found;
}

std::optional<DateTime> Cursor::EarliestTime(const TimeLookup& lookup) {
    Impl& d = *impl_;
    d.CheckActive();
    const TimeLookup l = Resolve(*this, lookup);
    const TextCodec& codec = d.session.codec();
    const std::string f = sql::Quote(l.flag), t = sql::Quote(l.time), table = sql::Quote(d.meta.table);
    std::optional<DateTime> earliest;
    auto take = [&](DateTime when) {
        if (!earliest || when < *earliest) earliest = when;
    };
    // The smallest text is the earliest of the dates that sort by their text;
    // one that cannot be read counts as 0, which is earlier still.
    sql::Stmt& least = d.Prepared("SELECT min(" + t + ") FROM " + table + " WHERE " + f + "=" +
                                  detail::Literal(codec.ToStorage(l.flagValue)));
    EachRow(least, [&](const sql::Stmt& r) {
        if (r.Type(0) != SQLITE_NULL) take(TimeOf(r, 0, codec));
    });
    sql::Stmt& odd = d.Prepared("SELECT " + f + ", " + t + " FROM " + table + " WHERE " + detail::OddTimeRows(l, codec));
    EachRow(odd, [&](const sql::Stmt& r) {
        if (FlagHolds(r, 0, l, codec)) take(TimeOf(r, 1, codec));
    });
    return earliest;
}

int64_t Cursor::LastRowId() {
    Impl& d = *impl_;
    d.CheckActive();
    int64_t last = 0;
    EachRow(d.Prepared("SELECT max(rowid) FROM " + sql::Quote(d.meta.table)),
            [&](const sql::Stmt& r) { last = r.Int(0); });
    return last;
}

void Cursor::AddTimeLookup(const TimeLookup& lookup) {
    Impl& d = *impl_;
    d.CheckActive();
    const TimeLookup l = Resolve(*this, lookup);
    for (const std::string& index : detail::TimeLookupIndexes(d.meta.table, l, Windows1252Codec()))
        d.db.Exec(index);
}

}  // namespace qv::engine
