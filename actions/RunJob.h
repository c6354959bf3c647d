// Opening a job's file through the Windows shell.
#pragma once

#include <windows.h>

#include <string>

#include "schema/JobSchema.h"

namespace qv::actions {

// Opens the job's Pfad with the verb "open", passing its Paramter as it
// stands, with the show command its WindowState names, and returns the result
// text ("OK" or the failure text for the shell's answer). Does not wait for the
// started program.
std::string RunJobAction(HWND owner, const schema::Job& job);

}  // namespace qv::actions
