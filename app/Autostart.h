// The autostart entry: a string value under the machine-wide Run key that
// names the executable. A value that is present and not empty means the
// program starts with Windows.
#pragma once

#include <windows.h>

#include <string>

namespace qv::app {

constexpr const char* kAutostartValueName = "QuarVelin";

struct AutostartLocation {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
};

// Reads the value with read access only, without creating the key; a key that
// cannot be opened and a missing value read as empty. A value that is not a
// string fails with "Ungültiger Datentyp für '<name>'".
std::string ReadAutostartEntry(const std::string& valueName,
                               const AutostartLocation& where = {});

// Writes the executable path (write) or deletes the value (a missing value is
// no error); creates the key when missing. False when the system refuses the
// change (a key that cannot be opened for writing, a value it may not delete);
// a value that cannot be set fails with "Konnte Daten für '<name>' nicht setzen".
bool SetAutostartEntry(const std::string& exePath, const std::string& valueName, bool write,
                       const AutostartLocation& where = {});

}  // namespace qv::app
