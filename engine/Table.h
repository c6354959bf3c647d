// The table engine: a thin layer over SQLite that gives the program's tables
// sessions, cursors with browse/edit/insert states, field objects, row and table
// locks that hold between sessions and processes, creation, restructuring and
// repair.
//
// Each table is one SQLite database file holding one SQLite table named after the
// file's base name in lower case ("timer" in Timer.DAT, "log" in Log.DAT), whose
// columns are the fields in field order. Date-times are stored as text
// "YYYY-MM-DD HH:MM:SS.mmm", times of day as "HH:MM:SS.mmm", strings as text
// (UTF-8 on disk, the program's 8-bit code page in memory), auto-increment and
// integers as INTEGER; an empty field is NULL. The field definitions, language
// and sort identifiers and the description are kept in the file as well.
//
// Locks are byte-range locks on a lock file beside the table ("<file>.lck"),
// one lock handle per cursor, so two cursors exclude each other exactly like two
// processes, and a dead process leaves no lock behind.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/DateTime.h"

namespace qv::engine {

enum class FieldType { String, Time, DateTime, Integer, AutoInc };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;  // characters, for String
    bool required = false;
};

struct IndexDef {
    std::string name;  // may be empty
    std::vector<std::string> fields;
    bool primary = false;
    bool unique = false;
};

// Rows found by a flag field holding one value and a date-time field's order
// (Cursor::FindTimedRows). Kept as lookups in the table file beside the data,
// not as index definitions: they change neither the structure nor the order
// of the rows, and a table without them answers the same, only slower.
struct TimeLookup {
    std::string flag;       // a string field
    std::string flagValue;  // the value it must hold exactly
    std::string time;       // a date-time field
};

struct TableDef {
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes;
    int languageId = 0;
    int sortId = 0;
    std::string description;
    std::vector<TimeLookup> lookups;
};

enum class ErrorCode {
    Generic,
    NotFound,        // table file missing
    Damaged,         // not a database, or not one of ours, or fails its check
    InUse,           // exclusive/shared open conflict
    RowLocked,       // "Record in table '%s' is in use by another user"
    TableLocked,     // "The table '%s' is already locked by another user"
    RequiredMissing, // "Feld '%s' muß einen Wert haben"
    WrongState,      // an operation that the dataset state does not allow
    RowDeleted,      // the row was deleted by another user
    Conversion,      // a field value that is not of the field's type
    LockFile,        // the table's lock file cannot be opened (another user's, no rights)
    Busy,            // another program holds the file's own locks longer than the session waits
    Full,            // the disk (or the file system's quota) is full
};

class EngineError : public std::runtime_error {
public:
    EngineError(ErrorCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    ErrorCode code() const { return code_; }

private:
    ErrorCode code_;
};

// Converts between the program's 8-bit strings and the UTF-8 stored on disk.
class TextCodec {
public:
    virtual ~TextCodec() = default;
    virtual std::string ToStorage(const std::string& text) const = 0;
    virtual std::string FromStorage(const std::string& stored) const = 0;
};
// Windows: the system's ANSI code page; elsewhere: Windows-1252.
const TextCodec& PlatformCodec();
// Windows-1252 on every platform (all 256 bytes survive a round trip).
const TextCodec& Windows1252Codec();

// Sleeps between lock retries; replaceable so tests need not wait.
using SleepFn = std::function<void(int ms)>;

struct SessionOptions {
    int lockRetryCount = 15;
    int lockWaitMs = 100;
    bool strictChangeDetection = false;
    // How long a cursor waits for a file another program has locked (a write
    // in progress, an open transaction) before it fails with Busy. Taken when
    // the cursor opens.
    int busyWaitMs = 10000;
};

// A named user of tables. Each session's cursors lock against every other
// session's, in this process or another.
class Session {
public:
    explicit Session(std::string name, SessionOptions options = {});
    const std::string& name() const { return name_; }
    const SessionOptions& options() const { return options_; }
    SessionOptions& options() { return options_; }
    void SetSleep(SleepFn sleep) { sleep_ = std::move(sleep); }
    void Sleep(int ms) const;
    void SetCodec(const TextCodec* codec) { codec_ = codec; }
    const TextCodec& codec() const { return *codec_; }

private:
    std::string name_;
    SessionOptions options_;
    SleepFn sleep_;
    const TextCodec* codec_;
};

// Table-level operations (no cursor needed).
bool TableExists(const std::string& path);
// The lock file that goes with the table at path.
std::string LockFileOf(const std::string& path);
// Creates the table unless a file exists at path; an existing file is never
// examined or changed. Returns true when it created the file. The file appears
// complete or not at all: it is written under another name in one transaction
// and renamed, while other creators of the same table wait.
bool CreateTable(const std::string& path, const TableDef& def);
// Rebuilds the table with def, keeping the values of fields whose names remain.
void RestructureTable(const std::string& path, const TableDef& def);
// The structure the file at path holds, read without a lock and without the
// page check of VerifyTable; throws as VerifyTable does.
TableDef StoredTableDef(const std::string& path);
// Whether a table of structure a is one of structure b: the same fields in the
// same order (name, type, size of a string, required) and the same indexes.
// Language, description and time lookups do not count.
bool SameStructure(const TableDef& a, const TableDef& b);
struct RepairResult {
    int kept = 0;        // rows taken into the repaired table
    int unreadable = 0;  // rows that could not be read, or would break a required field
};
// Repairs a table that cannot be opened: salvages every row that can still be
// read, past damaged pages, into a fresh file of def's structure; columns are
// matched by name, so a table of another structure gives what it has. Rows
// without a value for a required field stay behind (in the damaged file's
// backup). A file that is no database at all becomes an empty table. No cursor
// may have it open.
RepairResult RepairTable(const std::string& path, const TableDef& def);
// Looks at the table at path afresh, beside any cursor open on it: throws
// Damaged when it is no longer a whole table of this program (emptied,
// overwritten, a page broken), NotFound when the file is gone, Busy when
// another program holds it; returns when it is fine.
void VerifyTable(const std::string& path);
// Which file path names now: the same text as long as the same file is there,
// another one after it was replaced, even by a file of the same name. Empty
// when nothing is there or the system tells files apart by name only (the
// 95/98 line, which also never lets an open file be deleted or replaced).
std::string FileIdentity(const std::string& path);
// Where the next backup copy of path goes, never over an earlier one: the
// first is "<path>.bak", later ones "<path>.2.bak", "<path>.3.bak" and so on.
// Empty when every number up to a limit is taken.
std::string FreeBackupPath(const std::string& path);

enum class DatasetState { Inactive, Browse, Edit, Insert };

class Cursor;

// A field object: the current row's value of one field, as the cursor's
// current buffer holds it. Valid while its cursor lives.
class Field {
public:
    const std::string& name() const;
    FieldType type() const;
    int size() const;
    int index() const;  // 0-based field number
    bool required() const;  // the cursor's required flag (table flag by default)
    void SetRequired(bool required);

    bool IsNull() const;
    void Clear();
    // Strings are cut silently to the field's size on assignment; an empty
    // string is stored as NULL.
    std::string AsString() const;  // NULL reads as ""; other types formatted
    void SetAsString(const std::string& value);
    DateTime AsDateTime() const;  // NULL reads as 0
    void SetAsDateTime(DateTime value);
    TimeOfDay AsTime() const;  // NULL reads as 00:00
    void SetAsTime(TimeOfDay value);
    int64_t AsInteger() const;  // NULL reads as 0
    void SetAsInteger(int64_t value);

private:
    friend class Cursor;
    Field(Cursor* cursor, int index) : cursor_(cursor), index_(index) {}
    Cursor* cursor_;
    int index_;
};

using DatasetEvent = std::function<void(Cursor&)>;

// What a data-aware control is told after the cursor changed. ValuesChanged:
// values of rows were read again, the rows and their order stay.
enum class DataChange { Opened, Closed, Scrolled, StateChanged, FieldChanged, RowsChanged, ValuesChanged };

// Changes whenever the table has been written, through the cursor or by
// anyone else (Cursor::Stamp).
struct TableStamp {
    int64_t dataVersion = -1;
    uint64_t ownWrites = 0;
    friend bool operator==(const TableStamp& a, const TableStamp& b) {
        return a.dataVersion == b.dataVersion && a.ownWrites == b.ownWrites;
    }
    friend bool operator!=(const TableStamp& a, const TableStamp& b) { return !(a == b); }
};

// A row found by Cursor::FindTimedRows: its engine row number and date-time.
struct TimedRow {
    int64_t rowid = 0;
    DateTime time;
};
using DataObserver = std::function<void(Cursor&, DataChange)>;

// A cursor on one table in one session, with dataset behaviour:
//   Browse -> Edit (Edit) / Insert (Append, Insert) -> Post or Cancel -> Browse.
// Moving to another row while editing posts a changed row and drops an
// unchanged one. Post checks the required fields in field order (before the
// BeforePost event) and numbers an auto-increment field at the first post.
class Cursor {
public:
    Cursor(Session& session, std::string path = {});
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    void SetPath(const std::string& path);
    const std::string& path() const;
    Session& session() const;
    void SetExclusive(bool exclusive);
    bool exclusive() const;

    // Open fails with InUse when the table is held exclusively by anyone else
    // (or, for an exclusive open, when anyone else has it open), with NotFound
    // or Damaged when it cannot be read, with LockFile when its lock file
    // cannot be opened.
    void Open();
    // Open without the damage check (it reads the whole file): for a second
    // cursor on a table another one has just opened with it.
    void OpenChecked(bool check);
    void Close();
    bool active() const;
    // Open, but the file may only be read (write-protected, no rights): every
    // post will fail.
    bool ReadOnly() const;
    DatasetState state() const;

    // Navigation over the rows as last read (Open/Refresh/own posts). A row's
    // values are those read when it was first looked at after that.
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;  // past the last row (or table empty)
    bool Bof() const;
    int RecordCount() const;
    int RecNo() const;  // 0-based index of the current row, -1 when none
    // The engine's own number of the current row, the same in every cursor on
    // the table and unique whatever the fields hold; 0 for none or a new row.
    int64_t RowId() const;
    void MoveTo(int index);
    // Calls read with the field objects giving the values of the row at
    // index (as RecNo counts) instead of the current row's: for controls that
    // show many rows. Nothing moves, no edit ends, no event is raised, and no
    // field can be set meanwhile.
    void Peek(int index, const std::function<void()>& read);
    // Moves to the first row whose field equals value (compared as text);
    // returns false and stays put when there is none.
    bool Locate(const std::string& field, const std::string& value);

    // Reads the table again; the current row stays where it still exists.
    // A changed edit is posted first, an unchanged one cancelled.
    void Refresh();
    // Reads the row with this engine row number again when the rows as last
    // read hold it (ValuesChanged when it changed); the other rows stay as
    // they are. A changed edit is posted first, an unchanged one cancelled.
    void RefreshRow(int64_t rowid);
    // Makes the row with this engine row number current, reading the table
    // again when the rows as last read do not hold it; false, staying put,
    // when the table does not hold it either.
    bool Seek(int64_t rowid);
    TableStamp Stamp();

    // Lookups straight in the table as it is now, whatever the cursor last
    // read. A date-time that is empty or cannot be read counts as 0, as
    // AsDateTime gives it. Faster where the table keeps the lookup.
    // The rows whose lookup.flag holds lookup.flagValue exactly and whose
    // lookup.time lies in [from, before) (from empty: any), among those with
    // engine row numbers in (afterRow, upToRow], in row number order.
    std::vector<TimedRow> FindTimedRows(const TimeLookup& lookup, std::optional<DateTime> from, DateTime before,
                                        int64_t afterRow, int64_t upToRow);
    // The earliest lookup.time of those rows (any row number); none when no
    // row's flag holds the value.
    std::optional<DateTime> EarliestTime(const TimeLookup& lookup);
    // The largest engine row number in the table; 0 when it is empty.
    int64_t LastRowId();
    // Keeps the lookup in the table file from now on (a no-op when it is
    // there already); the table must be writable.
    void AddTimeLookup(const TimeLookup& lookup);
    // Writes the table as this cursor has it open into a new file at path
    // (which must not exist): also a table whose file was deleted or replaced
    // since, as long as the system keeps the open file.
    void CopyTo(const std::string& path);

    void Edit();    // takes the row lock (retrying), re-reads the row
    void Append();  // new empty row at the end
    void Insert();  // new empty row before the current one
    void Post();
    void Cancel();
    void Delete();      // the current row, under its row lock
    void EmptyTable();  // every row
    bool Modified() const;

    // Whole-table lock for this cursor (retries, then TableLocked).
    void LockTable();
    void UnlockTable();
    // Answered at once: this cursor holds the table lock or the current row's
    // lock, or anyone else holds the current row's lock (or the table lock).
    bool RowLocked();

    int FieldCount() const;
    Field& FieldByIndex(int index);
    Field& FieldByName(const std::string& name);  // Generic error when unknown
    Field* FindField(const std::string& name);
    const TableDef& def() const;

    // Events, in the order the dataset raises them.
    DatasetEvent AfterInsert;  // after Append/Insert set up the new row
    DatasetEvent BeforePost;   // after the required check, before writing
    DatasetEvent AfterPost;
    DatasetEvent BeforeScroll; // before moving to another row
    DatasetEvent AfterScroll;

    // Data-aware controls register here; the id removes the observer again.
    int AddObserver(DataObserver observer);
    void RemoveObserver(int id);

private:
    friend class Field;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qv::engine
