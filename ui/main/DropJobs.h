// Files dropped onto the job grid become new jobs: one inactive row per
// existing file, "Jeden Tag" at 00:00, added to the editor cursor in the
// order given. Folders and paths that name no file are skipped.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/Table.h"

namespace qv::ui {

constexpr int kDroppedPathMax = 200;

// True when path names an existing file (not a folder).
using IsFileFn = std::function<bool(const std::string& path)>;

// Appends and posts one row per file. An engine error ends the drop there
// (rows already posted stay) and propagates. Returns the rows added.
int AddDroppedFileJobs(engine::Cursor& tblTimer, const std::vector<std::string>& paths,
                       const IsFileFn& isFile);

}  // namespace qv::ui
