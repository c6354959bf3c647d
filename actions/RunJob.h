// Opening a job's file through the Windows shell.
#pragma once

#include <windows.h>

#include <string>

namespace qv::actions {

// Opens pfad with the verb "open", passing paramter as it stands, with the show
// command that windowState names, and returns the result text ("OK" or the
// failure text for the shell's answer). Does not wait for the started program.
std::string RunJobAction(HWND owner, const std::string& pfad, const std::string& paramter,
                         const std::string& windowState);

}  // namespace qv::actions
