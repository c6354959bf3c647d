#include "ui/settings/SettingsWin32.h"

#include <windows.h>

#include <vector>

namespace qv {

std::string Win32Profile::Read(const std::string& section, const std::string& key,
                               const std::string& def) const {
    // Room for kSettingsTextMax characters and the terminating zero.
    std::vector<char> buf(kSettingsTextMax + 1);
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf.data(),
                                             static_cast<DWORD>(buf.size()), path().c_str());
    return std::string(buf.data(), n);
}

bool Win32Profile::Write(const std::string& section, const std::string& key,
                         const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path().c_str()) != FALSE;
}

void Win32Profile::Flush() const {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path().c_str());
}

}  // namespace qv
