#include "app/Autostart.h"

#include <commctrl.h>

#include <stdexcept>
#include <vector>

#include "win/Handles.h"

namespace qv::app {

std::string ReadAutostartEntry(const std::string& valueName, const AutostartLocation& where) {
    HKEY raw = nullptr;
    // Read access only: a user who may not change the entry still sees it.
    if (RegOpenKeyExA(where.root, where.key.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
        return {};
    win::RegKey key(raw);
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw std::runtime_error("Ung\xfcltiger Datentyp f\xfcr '" + valueName + "'");
    std::vector<char> buf(size + 1, '\0');
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS)
        return {};
    return std::string(buf.data());
}

bool SetAutostartEntry(const std::string& exePath, const std::string& valueName, bool write,
                       const AutostartLocation& where) {
    HKEY raw = nullptr;
    if (RegCreateKeyExA(where.root, where.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS)
        return false;
    win::RegKey key(raw);
    if (write) {
        if (RegSetValueExA(key.get(), valueName.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(exePath.c_str()),
                           static_cast<DWORD>(exePath.size() + 1)) != ERROR_SUCCESS)
            throw std::runtime_error("Konnte Daten f\xfcr '" + valueName + "' nicht setzen");
        return true;
    }
    const LONG deleted = RegDeleteValueA(key.get(), valueName.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

}  // namespace qv::app
