// The job table and the run log on disk: their file names and creation. Their
// structure is the schema's (schema/JobSchema.h).
#pragma once

#include <string>

#include "engine/Table.h"
#include "schema/JobSchema.h"

namespace qv {

// File names inside the executable's directory. One spelling for every use,
// so the names also hold on file systems that tell case apart.
constexpr const char* kTimerTableFile = "timer.dat";
constexpr const char* kLogTableFile = "log.dat";

using schema::DueLookup;
using schema::LogTableDef;
using schema::TimerTableDef;

// Create the table in dir (the executable's directory with its trailing
// separator) unless its file exists there; an existing file is neither
// examined nor changed. Return true when they created it.
bool CreateTimerTable(const std::string& dir);
bool CreateLogTable(const std::string& dir);

}  // namespace qv
