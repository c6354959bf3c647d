#include "ui/settings/SettingsWin32.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace qv {

// The system says a value was cut only by filling the buffer to its last
// character but the terminating zero: read again with twice the room, until
// the value fits. 32 KB at most: beyond it Wine's reading returns garbage,
// and an edit field of the 95/98 line holds no more.
std::string Win32Profile::Read(const std::string& section, const std::string& key,
                               const std::string& def) const {
    constexpr DWORD kLimit = 32u << 10;
    std::vector<char> buf(2048);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buf.size());
        const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf.data(), size,
                                                 path().c_str());
        if (n + 1 < size || size >= kLimit) return std::string(buf.data(), std::min(n, size - 1));
        buf.assign(static_cast<size_t>(size) * 2, '\0');
    }
}

bool Win32Profile::Write(const std::string& section, const std::string& key,
                         const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path().c_str()) != FALSE;
}

void Win32Profile::Flush() const {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path().c_str());
}

}  // namespace qv
