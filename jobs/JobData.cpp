#include "jobs/JobData.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "engine/Platform.h"
#include "jobs/Tables.h"
#include "rules/NextStart.h"

namespace qv {

using engine::Cursor;
using engine::DataChange;
using engine::ErrorCode;

namespace {

engine::SessionOptions SessionFor(bool strictChangeDetection, int busyWaitMs) {
    engine::SessionOptions o;
    o.lockRetryCount = 15;
    o.lockWaitMs = 100;
    o.strictChangeDetection = strictChangeDetection;
    o.busyWaitMs = busyWaitMs;
    return o;
}

// Another user or program holds the table or a lock on it, or the disk is
// full: nothing is wrong with the file.
bool HeldByAnother(ErrorCode code) {
    return code == ErrorCode::InUse || code == ErrorCode::RowLocked || code == ErrorCode::TableLocked ||
           code == ErrorCode::Busy || code == ErrorCode::Full;
}

// An observer that calls bind whenever the cursor opens or closes.
engine::DataObserver OnOpenOrClose(std::function<void(Cursor&)> bind) {
    return [bind = std::move(bind)](Cursor& c, DataChange change) {
        if (change == DataChange::Opened || change == DataChange::Closed) bind(c);
    };
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool CopyFileNew(const std::string& from, const std::string& to) {
    if (engine::TableExists(to)) return false;
    File in(std::fopen(from.c_str(), "rb"));
    if (!in) return false;
    std::vector<char> data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in.get())) > 0) data.insert(data.end(), buf, buf + n);
    if (std::ferror(in.get())) return false;
    std::FILE* raw = std::fopen(to.c_str(), "wb");
    if (!raw) return false;
    const bool written = data.empty() || std::fwrite(data.data(), 1, data.size(), raw) == data.size();
    if (std::fclose(raw) == 0 && written) return true;
    engine::platform::RemoveFile(to);  // half a copy is no backup
    return false;
}

JobData::JobData(const Clock& clock, std::string exeDir, JobDataHooks hooks)
    : ses("ses", SessionFor(true, 10000)),
      Session2("Session2", SessionFor(false, kTickBusyWaitMs)),
      Default("Default", SessionFor(false, kTickBusyWaitMs)),
      tblTimer(ses),
      tblTimer2(Session2),
      tblLog(Default),
      clock_(clock),
      exeDir_(std::move(exeDir)),
      hooks_(std::move(hooks)) {
    tblLog.SetExclusive(true);
    tblTimer.AfterInsert = [this](Cursor& c) { tblTimerAfterInsert(c); };
    tblTimer.BeforePost = [this](Cursor& c) { tblTimerBeforePost(c); };
    tblTimer.AfterPost = [this](Cursor& c) { tblTimerAfterPost(c); };
    tblTimer.BeforeScroll = [this](Cursor& c) { tblTimerBeforeScroll(c); };
    observerIds_[0] = tblTimer.AddObserver(OnOpenOrClose([this](Cursor& c) {
        tblTimerFields.Bind(c);
        // The editor also wants the interval flag; the table requires only
        // Wochentag, Uhrzeit, Pfad and Aktiv.
        if (c.active()) tblTimerFields.Intervall->SetRequired(true);
    }));
    observerIds_[1] = tblTimer2.AddObserver(OnOpenOrClose([this](Cursor& c) { tblTimer2Fields.Bind(c); }));
    observerIds_[2] = tblLog.AddObserver(OnOpenOrClose([this](Cursor& c) { tblLogFields.Bind(c); }));
}

JobData::~JobData() {
    Cursor* cursors[] = {&tblTimer, &tblTimer2, &tblLog};
    for (int i = 0; i < 3; ++i) cursors[i]->RemoveObserver(observerIds_[i]);
}

std::string JobData::TimerTablePath() const { return exeDir_ + kTimerTableFile; }
std::string JobData::LogTablePath() const { return exeDir_ + kLogTableFile; }

void JobData::ShowMessage(const std::string& text) {
    if (hooks_.showMessage) hooks_.showMessage(text);
}

void JobData::CreateMissingTables() {
    if (!engine::TableExists(TimerTablePath())) CreateTimerTable(exeDir_);
    if (!engine::TableExists(LogTablePath())) CreateLogTable(exeDir_);
}

namespace {

// What the user is told after a repair: how much of the table came through,
// which file now holds the repaired table and where the old one is.
std::string RepairReport(const std::string& table, const std::string& path, const std::string& reason,
                         const engine::RepairResult& r, const std::string& backup, bool backedUp) {
    std::string text = table + " repariert: " + std::to_string(r.kept) + " Datens\xe4tze \xfc" "bernommen, " +
                       std::to_string(r.unreadable) + " nicht lesbar oder unvollst\xe4ndig. Ersetzt wurde " + path +
                       " (" + reason + ").";
    if (backedUp) return text + " Die alte Datei liegt als " + backup + " vor.";
    return text + " Die alte Datei konnte nicht gesichert werden.";
}

}  // namespace

std::string JobData::PathOf(JobTable table) const {
    return table == JobTable::Timer ? TimerTablePath() : LogTablePath();
}

bool JobData::BackUp(const std::string& path, std::string& backup) {
    const auto copy = hooks_.copyFile ? hooks_.copyFile : CopyFileNew;
    backup = engine::FreeBackupPath(path);
    return !backup.empty() && copy(path, backup);
}

std::string JobData::Repair(const std::string& path, const engine::TableDef& def, const std::string& table,
                            const std::string& reason) {
    std::string backup;
    // A failed backup does not stop the repair.
    const bool backedUp = BackUp(path, backup);
    const engine::RepairResult result = engine::RepairTable(path, def);
    return RepairReport(table, path, reason, result, backup, backedUp);
}

void JobData::Upgrade(const std::string& path, const engine::TableDef& def) {
    try {
        if (engine::SameStructure(engine::StoredTableDef(path), def)) return;
    } catch (const engine::EngineError&) {
        return;  // damaged, held or gone: opening the cursor tells which
    }
    std::string backup;
    BackUp(path, backup);  // as before a repair; a failed copy does not stop it
    engine::RestructureTable(path, def);
}

void JobData::OpenOrRepair(Cursor& cursor, const engine::TableDef& def, const std::string& table,
                           const char* message) {
    std::string reason;
    try {
        Upgrade(cursor.path(), def);
        cursor.Open();
        return;
    } catch (const engine::EngineError& e) {
        if (HeldByAnother(e.code())) throw;
        // Nothing is known about the table itself: it is left alone.
        if (e.code() == ErrorCode::LockFile)
            throw engine::EngineError(
                ErrorCode::LockFile,
                "Die Sperrdatei " + engine::LockFileOf(cursor.path()) +
                    " kann nicht ge\xf6" "ffnet werden; vielleicht geh\xf6rt sie einem anderen Benutzer. "
                    "Die " + table + " " + cursor.path() + " wird nicht ge\xf6" "ffnet und bleibt unver\xe4ndert.");
        reason = e.what();
    } catch (const std::exception& e) {
        // Any other failure counts as damage.
        reason = e.what();
    }
    ShowMessage(message);
    cursor.Close();
    const std::string report = Repair(cursor.path(), def, table, reason);
    cursor.Open();
    ShowMessage(report);
}

void JobData::OpenTables() {
    tblLog.SetPath(LogTablePath());
    tblTimer.SetPath(TimerTablePath());
    try {
        OpenOrRepair(tblTimer, TimerTableDef(), "Timertabelle",
                     "Timertabelle defekt. Es wird versucht die Tabelle zu reparieren.");
        KeepDueLookup();
        tblTimer2.SetPath(TimerTablePath());
        tblTimer2.OpenChecked(false);  // the editor cursor has just checked the file
        opened_[0] = Opened{engine::FileIdentity(TimerTablePath()), true, false};
        OpenOrRepair(tblLog, LogTableDef(), "Logtabelle",
                     "Logtabelle defekt. Es wird versucht die Tabelle zu reparieren.");
        opened_[1] = Opened{engine::FileIdentity(LogTablePath()), true, false};
    } catch (const engine::EngineError& e) {
        // Held by another program for longer than start-up waits: the ticks
        // open what is not open yet once it is free (FollowTableFile).
        if (e.code() == ErrorCode::Busy)
            for (Opened& o : opened_)
                if (!o.wanted) o = Opened{std::string(), true, true};
        throw;
    }
    // Said once here; the tick then leaves what it cannot write alone.
    if (tblTimer.ReadOnly())
        ShowMessage("In die Timertabelle " + TimerTablePath() +
                    " kann nicht geschrieben werden (schreibgesch\xfctzt oder ohne Schreibrecht). "
                    "Die Jobs werden angezeigt, aber weder ge\xe4ndert noch gestartet.");
    if (tblLog.ReadOnly())
        ShowMessage("In die Logtabelle " + LogTablePath() +
                    " kann nicht geschrieben werden (schreibgesch\xfctzt oder ohne Schreibrecht). "
                    "Fehler werden angezeigt und gemailt, aber nicht ins Log geschrieben.");
}

// --- While running -----------------------------------------------------------------

void JobData::CloseTable(JobTable table) {
    opened_[table == JobTable::Timer ? 0 : 1].reopen = true;
    if (table == JobTable::Timer) {
        // An edit in the grid belongs to the file that is gone: it is dropped.
        tblTimer.Close();
        tblTimer2.Close();
    } else {
        tblLog.Close();
    }
}

void JobData::OpenWhileRunning(JobTable table, std::vector<std::string>& notices, bool repair) {
    const bool timer = table == JobTable::Timer;
    const std::string path = PathOf(table);
    Cursor& first = timer ? tblTimer : tblLog;
    first.SetPath(path);
    try {
        Upgrade(path, timer ? TimerTableDef() : LogTableDef());
        first.Open();
    } catch (const engine::EngineError& e) {
        if (!repair || HeldByAnother(e.code()) || e.code() == ErrorCode::LockFile) throw;
        first.Close();
        const std::string label = timer ? "Timertabelle" : "Logtabelle";
        notices.push_back(label + " defekt. " +
                          Repair(path, timer ? TimerTableDef() : LogTableDef(), label, e.what()));
        first.Open();
    }
    opened_[timer ? 0 : 1].identity = engine::FileIdentity(path);
    if (timer) {
        KeepDueLookup();
        tblTimer2.SetPath(path);
        tblTimer2.OpenChecked(false);
    }
    opened_[timer ? 0 : 1].reopen = false;
}

std::vector<std::string> JobData::FollowTableFile(JobTable table) {
    std::vector<std::string> notices;
    const bool timer = table == JobTable::Timer;
    Opened& opened = opened_[timer ? 0 : 1];
    if (!opened.wanted) return notices;
    const std::string path = PathOf(table);
    const std::string label = timer ? "Timertabelle " : "Logtabelle ";
    Cursor& open = timer ? tblTimer2 : tblLog;
    const bool there = engine::TableExists(path);
    if (opened.reopen) {
        // Closed here, and opening it again failed: tried again.
        CloseTable(table);
        if (!there) timer ? CreateTimerTable(exeDir_) : CreateLogTable(exeDir_);
        OpenWhileRunning(table, notices, false);
        return notices;
    }
    if (!open.active()) return notices;
    const std::string now = there ? engine::FileIdentity(path) : std::string();
    if (there && (opened.identity.empty() || now.empty() || now == opened.identity)) return notices;

    // The cursors still hold the old file: what it held is kept.
    const std::string backup = engine::FreeBackupPath(path);
    bool saved = false;
    if (!backup.empty()) {
        try {
            open.CopyTo(backup);
            saved = true;
        } catch (const std::exception&) {
            // Said below.
        }
    }
    CloseTable(table);
    const std::string kept = saved ? " Was sie bisher enthielt, liegt als " + backup + " vor."
                                   : " Was sie bisher enthielt, konnte nicht gesichert werden.";
    std::string text;
    if (!there) {
        timer ? CreateTimerTable(exeDir_) : CreateLogTable(exeDir_);
        text = label + path + " wurde gel\xf6scht, w\xe4hrend Quarvelin lief. Quarvelin hat sie neu und leer angelegt" +
               std::string(timer ? "; es startet nur noch die Jobs der neuen Tabelle." : ".") + kept;
    } else {
        text = label + path + " wurde durch eine andere Datei ersetzt, w\xe4hrend Quarvelin lief. Quarvelin " +
               std::string(timer ? "zeigt und startet jetzt die Jobs der neuen Datei." : "schreibt jetzt in die neue Datei.") +
               kept;
    }
    notices.push_back(text);
    OpenWhileRunning(table, notices);
    return notices;
}

std::string JobData::RepairIfDamaged(JobTable table, const std::string& error) {
    const std::string path = PathOf(table);
    try {
        engine::VerifyTable(path);
        return {};
    } catch (const engine::EngineError& e) {
        if (e.code() != ErrorCode::Damaged) return {};  // held, or gone: not damage
    }
    const bool timer = table == JobTable::Timer;
    CloseTable(table);
    const std::string label = timer ? "Timertabelle" : "Logtabelle";
    const std::string report = Repair(path, timer ? TimerTableDef() : LogTableDef(), label, error);
    std::vector<std::string> more;
    OpenWhileRunning(table, more, false);
    return label + " defekt. " + report;
}

// A job table written before the tick looked its due jobs up gets the lookup
// once; one of another structure (it could not be upgraded) stays as it is, as
// does one that cannot be written. The tick finds the same rows without it,
// only slower.
void JobData::KeepDueLookup() {
    if (tblTimer.ReadOnly() || !engine::SameStructure(tblTimer.def(), TimerTableDef())) return;
    try {
        tblTimer.AddTimeLookup(DueLookup());
    } catch (const engine::EngineError&) {
        // Busy or refused: the next start tries again.
    }
}

void JobData::AppendLogEntry(const std::string& pfad, const std::string& result) {
    AppendLogEntry(pfad, result, clock_.Now());
}

void JobData::AppendLogEntry(const std::string& pfad, const std::string& result, DateTime when) {
    tblLog.Append();
    try {
        tblLogFields.Pfad->SetAsString(pfad);
        tblLogFields.Fehler->SetAsString(result);
        tblLogFields.Zeit->SetAsDateTime(when);
        tblLog.Post();
    } catch (...) {
        if (tblLog.state() == engine::DatasetState::Insert) tblLog.Cancel();
        throw;
    }
}

void JobData::AppendLogEntry(const std::string& result) {
    AppendLogEntry(tblTimer2Fields.Pfad->AsString(), result);
}

void JobData::tblTimerAfterInsert(Cursor& dataset) {
    for (const schema::FieldValue& v : schema::kNewJobValues) dataset.FieldByName(v.field).SetAsString(v.value);
}

void JobData::tblTimerBeforePost(Cursor& dataset) {
    pendingNotice_.clear();
    if (dataset.FieldByName(schema::job::kWochentag).AsString() == "Intervall" &&
        dataset.FieldByName(schema::job::kUhrzeit).AsTime() == TimeOfDay{0}) {
        ShowMessage("Bitte geben Sie ein Intervall ein");
        return;
    }
    const ClockReading now = clock_.Read();
    if (HasPassed(now, dataset.FieldByName(schema::job::kStartzeit).AsDateTime()) && RescheduleJob(dataset, now))
        pendingNotice_ = StuckRuleNotice(dataset);
}

// Told once the row is written: a box inside the post would let a tick post
// the same row again.
void JobData::tblTimerAfterPost(Cursor&) {
    if (pendingNotice_.empty()) return;
    std::string text;
    text.swap(pendingNotice_);
    ShowMessage(text);
}

void JobData::tblTimerBeforeScroll(Cursor&) {
    if (hooks_.hideOperationList) hooks_.hideOperationList();
}

}  // namespace qv
