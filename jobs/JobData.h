// The job data the main window owns: the two cursors on the job table, the
// run log cursor, their sessions, field objects and events, and the opening of
// the tables at start-up.
#pragma once

#include <functional>
#include <string>

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
    // Copies a file, replacing the target; returns false on failure. Used for
    // the backup before a repair; a portable copy when not given.
    std::function<bool(const std::string& from, const std::string& to)> copyFile;
};

// Copies from to to (binary), replacing to. False when from cannot be read or
// to cannot be written completely.
bool CopyFileReplacing(const std::string& from, const std::string& to);

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
    // the editor cursor or the run log cannot open is taken as damaged: the
    // user is told, the file is copied to "<file>.bak" (a failed copy is
    // ignored), repaired and opened again, and the user is told how many rows
    // came through. A table another user holds (in use, locked) is not
    // damaged: that error propagates untouched, as does any error of the
    // repair, the second opening or tblTimer2; a lock file that cannot be
    // opened propagates as an error naming it, the table untouched. A table
    // that opens but cannot be written is reported once.
    void OpenTables();

    // Appends a run log entry for a failed run and posts it: Pfad as given,
    // Fehler the result text (cut to the field's size), Zeit from the clock.
    void AppendLogEntry(const std::string& pfad, const std::string& result);
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

private:
    void OpenOrRepair(engine::Cursor& cursor, const engine::TableDef& def, const std::string& table,
                      const char* message);
    void ShowMessage(const std::string& text);
    void KeepDueLookup();

    const Clock& clock_;
    std::string exeDir_;
    JobDataHooks hooks_;
    std::string pendingNotice_;  // from tblTimerBeforePost for tblTimerAfterPost
    int observerIds_[3] = {-1, -1, -1};
};

}  // namespace qv
