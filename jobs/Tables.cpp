#include "jobs/Tables.h"

namespace qv {

// Fields, index, locale and description in one transaction: the table is
// there complete or not at all.
bool CreateTimerTable(const std::string& dir) { return engine::CreateTable(dir + kTimerTableFile, TimerTableDef()); }

bool CreateLogTable(const std::string& dir) { return engine::CreateTable(dir + kLogTableFile, LogTableDef()); }

}  // namespace qv
