// Makes Wine report another Windows version ("win95", "win98", "nt40",
// "win2k", ...) to one program, by its file name, while the object exists.
// Wine reads it when the program starts.
#pragma once

#include <windows.h>

#include <string>

namespace qv::testing {

class WineVersionForProgram {
public:
    WineVersionForProgram(const std::string& exeName, const std::string& version)
        : key_("Software\\Wine\\AppDefaults\\" + exeName) {
        HKEY k;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                           static_cast<DWORD>(version.size() + 1));
            RegCloseKey(k);
        }
    }
    ~WineVersionForProgram() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }
    WineVersionForProgram(const WineVersionForProgram&) = delete;
    WineVersionForProgram& operator=(const WineVersionForProgram&) = delete;

private:
    std::string key_;
};

}  // namespace qv::testing
