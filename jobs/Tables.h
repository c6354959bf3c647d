// The job table and the run log: their structure, creation and file names.
#pragma once

#include <string>

#include "engine/Table.h"

namespace qv {

// File names inside the executable's directory. One spelling for every use,
// so the names also hold on file systems that tell case apart.
constexpr const char* kTimerTableFile = "timer.dat";
constexpr const char* kLogTableFile = "log.dat";

constexpr int kTableLanguageId = 1031;  // German
constexpr int kTableSortId = 0;

// The job table: eleven fields, no index, German locale, description "timer",
// and the lookup of active jobs by their next start.
engine::TableDef TimerTableDef();
// Active jobs ("Aktiv" exactly "Y") by "Startzeit".
engine::TimeLookup DueLookup();
// The run log: four fields, a unique primary index on ID, German locale.
engine::TableDef LogTableDef();

// Create the table in dir (the executable's directory with its trailing
// separator) unless its file exists there; an existing file is neither
// examined nor changed. Return true when they created it.
bool CreateTimerTable(const std::string& dir);
bool CreateLogTable(const std::string& dir);

}  // namespace qv
