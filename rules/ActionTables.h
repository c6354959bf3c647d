// The rules of the actions that need no window system: window-state names to
// show commands, shell answers and Simple MAPI codes to result texts, the four
// shutdown operations and their ExitWindowsEx flags, and the failure mail.
//
// Result texts are the program's own 8-bit (Windows-1252) strings; exactly "OK"
// means success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::actions {

inline constexpr char kOK[] = "OK";
// Result text of a shutdown or restart whose countdown the user cancelled.
inline constexpr char kCancelled[] = "abgebrochen";
inline constexpr char kErrorMailSubject[] = "Fehler in Quarvelin";

inline bool IsOK(const std::string& result) { return result == kOK; }

// Show command for ShellExecute from a job's WindowState name (exact match,
// anything unknown, the empty name included, gives SW_SHOWDEFAULT = 10).
int ShowCommandForWindowState(const std::string& windowState);

// Result text for the value ShellExecute returned, read as a signed 32-bit
// integer. A value from 0 to 32 that has no text of its own is a failure named
// by its number; the shell's success values (above 32) give "OK".
std::string ShellResultText(std::int32_t value);

// The longest path, and parameter text, handed to the shell: MAX_PATH - 1.
inline constexpr std::size_t kMaxShellText = 259;
// The failure text for a job whose path or parameters the shell cannot take
// (longer than kMaxShellText; the shell may crash on them); empty when both fit.
std::string RefusedShellInput(const std::string& pfad, const std::string& paramter);

// ExitWindowsEx flag bits.
inline constexpr unsigned kEwxShutdown = 1;
inline constexpr unsigned kEwxReboot = 2;
inline constexpr unsigned kEwxForce = 4;
inline constexpr unsigned kEwxPowerOff = 8;

struct ShutdownArgs {
    bool Reboot = false;
    bool Force = false;
    bool PowerOff = false;
};

// The arguments for one of the four operation names a job can hold instead of
// a file (schema::kOperations);
// nothing for any other text (the comparison is exact and case-sensitive).
std::optional<ShutdownArgs> ShutdownOperation(const std::string& pfad);

// ExitWindowsEx flags: Force adds EWX_FORCE, Reboot EWX_REBOOT or else
// EWX_SHUTDOWN, PowerOff adds EWX_POWEROFF unless rebooting.
unsigned ShutdownFlags(bool Reboot, bool Force, bool PowerOff);

// Result text for a MAPISendMail return code; the empty text for codes that
// have no text of their own.
std::string MapiResultText(unsigned long code);

// One failure mail as handed to Simple MAPI: one recipient, one attachment
// entry (both texts empty when nothing is attached).
struct FailureMail {
    std::string Subject;
    std::string Body;
    std::string SenderName;
    std::string SenderAddress;
    std::string RecipientName;
    std::string RecipientAddress;
    std::string AttachmentPath;
    std::string AttachmentName;
};

// The failure mail's text: three lines joined by LF followed by CR, nothing
// after the last line. The result text goes in whole.
std::string ErrorMailBody(const std::string& computerName, const std::string& pfad,
                          const std::string& resultText);

// The sending rule after a failed run: nothing without an address; with
// first-error-only set, nothing while the error indicator is already lit.
bool ShouldSendErrorMail(const std::string& mailAddress, bool firstErrorOnly,
                         bool errorIndicatorLit);

}  // namespace qv::actions
