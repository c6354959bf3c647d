// The job data the main window owns: the two cursors on the job table, the
// run log cursor, their sessions, field objects and events, and the opening of
// the tables at start-up.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/DateTime.h"
#include "engine/Table.h"
#include "jobs/JobFields.h"

namespace qv {

struct JobDataHooks {
    // A plain message box with one OK button; returns when it was closed.
    // Every notice of the job data goes through it.
    std::function<void(const std::string& text)> showMessage;
    // Hides the operation list of the action column (before the editor
    // cursor moves to another row).
    std::function<void()> hideOperationList;
    // Copies a file to a new one; returns false on failure, also when the
    // target exists. Used for the backup before a repair; a portable copy
    // when not given.
    std::function<bool(const std::string& from, const std::string& to)> copyFile;
};

// Copies from to the new file to (binary). False when to exists already, from
// cannot be read or to cannot be written completely.
bool CopyFileNew(const std::string& from, const std::string& to);

// The two tables of the job data.
enum class JobTable { Timer, Log };

class JobData {
public:
    // exeDir: the executable's directory with its trailing separator.
    JobData(const Clock& clock, std::string exeDir, JobDataHooks hooks = {});
    ~JobData();
    JobData(const JobData&) = delete;
    JobData& operator=(const JobData&) = delete;

    JobDataHooks& hooks() { return hooks_; }
    std::string TimerTablePath() const;
    std::string LogTablePath() const;

    // Start-up: create the job table and the run log where their files are
    // missing.
    void CreateMissingTables();

    // Start-up: open tblTimer, tblTimer2 and tblLog in this order. A table
    // of an older structure is first upgraded: backed up as below and
    // restructured, keeping every row, with no message. A table
    // the editor cursor or the run log cannot open is taken as damaged: the
    // user is told, the file is copied to a backup that never replaces an
    // earlier one ("<file>.bak", then "<file>.2.bak", ...; a failed copy is
    // ignored), repaired and opened again, and the user is told how many rows
    // came through, which file was replaced and where the old one is. A table
    // another user or program holds (in use, locked, busy) is not damaged:
    // that error propagates untouched, as does any error of the repair, the
    // second opening or tblTimer2; a lock file that cannot be opened
    // propagates as an error naming it, the table untouched. A table that
    // opens but cannot be written is reported once. A table another program
    // holds longer than the session waits is opened by FollowTableFile once
    // it is free.
    void OpenTables();

    // While running, before the tick reads the table: whether its file is
    // still the one that was opened. A table whose file was deleted or
    // replaced meanwhile is written, as it was open, into a backup copy; a
    // deleted one is made anew, empty; then its cursors open what is there
    // now (repaired when damaged), and the texts returned for the user say
    // what happened. A table that could not be opened again this way is
    // tried again at the next call (opened as it is: a damaged file is not
    // repaired a second time). Errors of creating or opening propagate.
    std::vector<std::string> FollowTableFile(JobTable table);
    // After an error of a table while running: when a fresh look finds the
    // file damaged, it is handled as at start-up (backup, repair, opened
    // again) and the returned text says so, naming error, the repair's
    // result and the backup. Empty when the table is not damaged (the error
    // had another cause). Errors of the repair and the reopening propagate.
    std::string RepairIfDamaged(JobTable table, const std::string& error);

    // Appends a run log entry for a failed run and posts it: Pfad as given,
    // Fehler the result text (cut to the field's size), Zeit from the clock
    // or as given (the moment of a failure logged later).
    void AppendLogEntry(const std::string& pfad, const std::string& result);
    void AppendLogEntry(const std::string& pfad, const std::string& result, DateTime when);
    // The same for the scheduler cursor's current job.
    void AppendLogEntry(const std::string& result);

    // Events of the editor cursor (wired in the constructor).
    void tblTimerAfterInsert(engine::Cursor& dataset);
    // A post that switches the job off because its rule cannot move its start
    // on tells the user after the post (tblTimerAfterPost).
    void tblTimerBeforePost(engine::Cursor& dataset);
    void tblTimerAfterPost(engine::Cursor& dataset);
    void tblTimerBeforeScroll(engine::Cursor& dataset);

    engine::Session ses;       // editor session, strict change detection
    engine::Session Session2;  // scheduler session
    engine::Session Default;   // run log session

    engine::Cursor tblTimer;   // editor cursor
    engine::Cursor tblTimer2;  // scheduler cursor
    engine::Cursor tblLog;     // run log, exclusive

    // Field objects, bound while their cursor is open (null otherwise).
    JobFields tblTimerFields;
    JobFields tblTimer2Fields;
    LogFields tblLogFields;

    // The scheduler's and the run log's sessions wait this long for a file
    // another program holds: the tick runs on the window's thread, and what
    // it could not do now it does at the next tick.
    static constexpr int kTickBusyWaitMs = 500;

private:
    void OpenOrRepair(engine::Cursor& cursor, const engine::TableDef& def, const std::string& table,
                      const char* message);
    // Copies the file to the next free backup name (backup); false when
    // that failed.
    bool BackUp(const std::string& path, std::string& backup);
    // A table of another structure than def (written by an earlier version,
    // a field short) is backed up and restructured to def with every row,
    // without a word; a damaged one is left to the repair.
    void Upgrade(const std::string& path, const engine::TableDef& def);
    // Backs the file up, repairs it and returns the report.
    std::string Repair(const std::string& path, const engine::TableDef& def, const std::string& table,
                       const std::string& reason);
    // Opens the table's cursors while running, repairing a damaged file;
    // the repair's report goes to notices.
    void OpenWhileRunning(JobTable table, std::vector<std::string>& notices, bool repair = true);
    void CloseTable(JobTable table);
    std::string PathOf(JobTable table) const;
    void ShowMessage(const std::string& text);
    void KeepDueLookup();

    const Clock& clock_;
    std::string exeDir_;
    JobDataHooks hooks_;
    std::string pendingNotice_;  // from tblTimerBeforePost for tblTimerAfterPost
    int observerIds_[3] = {-1, -1, -1};
    // Each table's file as its cursors opened it, whether it is watched (its
    // cursors opened at start-up), and whether following it closed the
    // cursors and could not open them again yet.
    struct Opened {
        std::string identity;
        bool wanted = false;
        bool reopen = false;
    };
    Opened opened_[2];
};

}  // namespace qv
