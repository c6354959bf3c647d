#include "actions/Shutdown.h"

#include "rules/ActionTables.h"
#include <commctrl.h>  // Handles.h needs HIMAGELIST

#include "win/Handles.h"

namespace qv::actions {

namespace {

bool IsNtFamily() {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The NT family's security calls, looked up when needed: the 95/98 line
// neither has nor needs them, and must not find them among the imports.
template <typename Fn>
Fn SecurityCall(const char* name) {
    static const HMODULE advapi = LoadLibraryA("advapi32.dll");
    return advapi ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(advapi, name))) : nullptr;
}

// Enables SeShutdownPrivilege for this process; returns "OK" or a failure text.
std::string EnableShutdownPrivilege() {
    const auto openProcessToken = SecurityCall<decltype(&OpenProcessToken)>("OpenProcessToken");
    const auto lookupPrivilegeValue = SecurityCall<decltype(&LookupPrivilegeValueA)>("LookupPrivilegeValueA");
    const auto adjustTokenPrivileges = SecurityCall<decltype(&AdjustTokenPrivileges)>("AdjustTokenPrivileges");
    HANDLE raw = nullptr;
    if (!openProcessToken) SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    if (!openProcessToken || !openProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
        return "Cannot open process token. [" + LastErrorText() + "]";
    win::KernelHandle token(raw);
    TOKEN_PRIVILEGES tp{};
    if (!lookupPrivilegeValue) SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    if (!lookupPrivilegeValue || !lookupPrivilegeValue(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid))
        return "Cannot find privilege value. [" + LastErrorText() + "]";
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!adjustTokenPrivileges) return "Error adjusting process privileges.";
    SetLastError(0);  // a stale code must not read as a failure
    adjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr);
    // Also set when the call succeeds without the privilege being held
    // (ERROR_NOT_ALL_ASSIGNED).
    if (GetLastError() != 0) return "Error adjusting process privileges.";
    return kOK;
}

}  // namespace

BOOL SystemExitWindows(UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); }

std::string LastErrorText() {
    const DWORD code = GetLastError();
    char buf[512] = {};
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buf, sizeof(buf), nullptr))
        return std::string();
    return buf;
}

std::string ShutdownSystem(bool Reboot, bool Force, bool PowerOff, const ExitWindowsFn& exitWindows) {
    std::string result = kOK;
    const UINT flags = ShutdownFlags(Reboot, Force, PowerOff);
    if (IsNtFamily()) result = EnableShutdownPrivilege();
    // Asked in every case: a privilege failure does not mean the request fails.
    if (!exitWindows(flags, 0) && IsOK(result))
        result = "Cannot shut down Windows. [" + LastErrorText() + "]";
    return result;
}

}  // namespace qv::actions
