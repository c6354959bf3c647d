#include "jobs/JobData.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "jobs/Tables.h"
#include "schedule/NextStart.h"

namespace qv {

using engine::Cursor;
using engine::DataChange;
using engine::ErrorCode;

namespace {

engine::SessionOptions SessionFor(bool strictChangeDetection) {
    engine::SessionOptions o;
    o.lockRetryCount = 15;
    o.lockWaitMs = 100;
    o.strictChangeDetection = strictChangeDetection;
    return o;
}

// Another user holds the table or a lock on it: nothing is wrong with the file.
bool HeldByAnother(ErrorCode code) {
    return code == ErrorCode::InUse || code == ErrorCode::RowLocked ||
           code == ErrorCode::TableLocked;
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

bool CopyFileReplacing(const std::string& from, const std::string& to) {
    File in(std::fopen(from.c_str(), "rb"));
    if (!in) return false;
    std::vector<char> data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in.get())) > 0) data.insert(data.end(), buf, buf + n);
    if (std::ferror(in.get())) return false;
    std::FILE* raw = std::fopen(to.c_str(), "wb");
    if (!raw) return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), raw) == data.size();
    return std::fclose(raw) == 0 && written;
}

JobData::JobData(const Clock& clock, std::string exeDir, JobDataHooks hooks)
    : ses("ses", SessionFor(true)),
      Session2("Session2", SessionFor(false)),
      Default("Default", SessionFor(false)),
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

// What the user is told after a repair: how much of the table came through.
std::string RepairReport(const std::string& table, const engine::RepairResult& r,
                         const std::string& backup, bool backedUp) {
    std::string text = table + " repariert: " + std::to_string(r.kept) + " Datens\xe4tze \xfc" "bernommen, " +
                       std::to_string(r.unreadable) + " nicht lesbar oder unvollst\xe4ndig.";
    if (backedUp) return text + " Die alte Datei liegt als " + backup + " vor.";
    return text + " Die alte Datei konnte nicht gesichert werden.";
}

}  // namespace

void JobData::OpenOrRepair(Cursor& cursor, const engine::TableDef& def, const std::string& table,
                           const char* message) {
    try {
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
    } catch (const std::exception&) {
        // Any other failure counts as damage.
    }
    ShowMessage(message);
    const std::string path = cursor.path();
    const auto copy = hooks_.copyFile ? hooks_.copyFile : CopyFileReplacing;
    const bool backedUp = copy(path, path + ".bak");  // a failed backup does not stop the repair
    cursor.Close();
    const engine::RepairResult result = engine::RepairTable(path, def);
    cursor.Open();
    ShowMessage(RepairReport(table, result, path + ".bak", backedUp));
}

void JobData::OpenTables() {
    tblLog.SetPath(LogTablePath());
    tblTimer.SetPath(TimerTablePath());
    OpenOrRepair(tblTimer, TimerTableDef(), "Timertabelle",
                 "Timertabelle defekt. Es wird versucht die Tabelle zu reparieren.");
    KeepDueLookup();
    tblTimer2.SetPath(TimerTablePath());
    tblTimer2.OpenChecked(false);  // the editor cursor has just checked the file
    OpenOrRepair(tblLog, LogTableDef(), "Logtabelle",
                 "Logtabelle defekt. Es wird versucht die Tabelle zu reparieren.");
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

// A job table written before the tick looked its due jobs up gets the lookup
// once; one of another structure stays as it is, as does one that cannot be
// written. The tick finds the same rows without it, only slower.
void JobData::KeepDueLookup() {
    if (tblTimer.ReadOnly()) return;
    const engine::TableDef want = TimerTableDef();
    const engine::TableDef& have = tblTimer.def();
    if (have.fields.size() != want.fields.size()) return;
    for (size_t i = 0; i < want.fields.size(); ++i) {
        const engine::FieldDef &h = have.fields[i], &w = want.fields[i];
        if (h.name != w.name || h.type != w.type || h.size != w.size || h.required != w.required) return;
    }
    try {
        tblTimer.AddTimeLookup(DueLookup());
    } catch (const engine::EngineError&) {
        // Busy or refused: the next start tries again.
    }
}

void JobData::AppendLogEntry(const std::string& pfad, const std::string& result) {
    tblLog.Append();
    try {
        tblLogFields.Pfad->SetAsString(pfad);
        tblLogFields.Fehler->SetAsString(result);
        tblLogFields.Zeit->SetAsDateTime(clock_.Now());
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
    dataset.FieldByName("Aktiv").SetAsString("Y");
    dataset.FieldByName("Intervall").SetAsString("N");
    dataset.FieldByName("WindowState").SetAsString("Standard");
}

void JobData::tblTimerBeforePost(Cursor& dataset) {
    pendingNotice_.clear();
    if (dataset.FieldByName("Wochentag").AsString() == "Intervall" &&
        dataset.FieldByName("Uhrzeit").AsTime() == TimeOfDay{0}) {
        ShowMessage("Bitte geben Sie ein Intervall ein");
        return;
    }
    const DateTime now = clock_.Now();
    if (now > dataset.FieldByName("Startzeit").AsDateTime() && RescheduleJob(dataset, now))
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
