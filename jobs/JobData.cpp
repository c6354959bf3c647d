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

void JobData::OpenOrRepair(Cursor& cursor, const engine::TableDef& def, const char* message) {
    try {
        cursor.Open();
        return;
    } catch (const engine::EngineError& e) {
        if (HeldByAnother(e.code())) throw;
    } catch (const std::exception&) {
        // Any other failure counts as damage.
    }
    ShowMessage(message);
    const std::string path = cursor.path();
    const auto copy = hooks_.copyFile ? hooks_.copyFile : CopyFileReplacing;
    copy(path, path + ".bak");  // a failed backup does not stop the repair
    cursor.Close();
    engine::RepairTable(path, def);
    cursor.Open();
}

void JobData::OpenTables() {
    tblLog.SetPath(LogTablePath());
    tblTimer.SetPath(TimerTablePath());
    OpenOrRepair(tblTimer, TimerTableDef(),
                 "Timertabelle defekt. Es wird versucht die Tabelle zu reparieren.");
    tblTimer2.SetPath(TimerTablePath());
    tblTimer2.Open();
    OpenOrRepair(tblLog, LogTableDef(),
                 "Logtabelle defekt. Es wird versucht die Tabelle zu reparieren.");
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
    if (dataset.FieldByName("Wochentag").AsString() == "Intervall" &&
        dataset.FieldByName("Uhrzeit").AsTime() == TimeOfDay{0}) {
        ShowMessage("Bitte geben Sie ein Intervall ein");
        return;
    }
    const DateTime now = clock_.Now();
    if (now > dataset.FieldByName("Startzeit").AsDateTime()) RescheduleJob(dataset, now);
}

void JobData::tblTimerBeforeScroll(Cursor&) {
    if (hooks_.hideOperationList) hooks_.hideOperationList();
}

}  // namespace qv
