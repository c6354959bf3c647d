// Shutting down and restarting Windows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace qv::actions {

// The call that really ends the session. The program passes SystemExitWindows;
// tests pass a recorder, since nothing may really shut down there. Returns
// nonzero on success and leaves the error in GetLastError otherwise.
using ExitWindowsFn = std::function<BOOL(UINT flags, DWORD reason)>;
BOOL SystemExitWindows(UINT flags, DWORD reason);

// The system's message for the calling thread's last error code, exactly as
// FormatMessage wrote it (a trailing line break stays); empty when the system
// has none.
std::string LastErrorText();

// Enables the shutdown privilege on the NT family, then asks Windows to shut
// down or restart through exitWindows, also after a privilege failure. Returns
// "OK" or the failure text of the first step that failed; when only the request
// itself is refused, "Cannot shut down Windows. [<system message>]".
std::string ShutdownSystem(bool Reboot, bool Force, bool PowerOff, const ExitWindowsFn& exitWindows);

}  // namespace qv::actions
