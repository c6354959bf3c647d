#include "app/SingleInstance.h"

#include <cstdio>
#include <vector>

#include "ui/main/VistorelIds.h"
#include "win/LateBound.h"

namespace qv::app {

namespace {

// Windows 2000 and later know session namespaces: "Global\" names the mutex
// for every logged-on user. Older systems have one namespace and no prefix.
bool HasSessionNamespaces() {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
    return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT && vi.dwMajorVersion >= 5;
}

std::string Hex(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%08lx%08lx", static_cast<unsigned long>(v >> 32),
                  static_cast<unsigned long>(v & 0xffffffffu));
    return text;
}

}  // namespace

uint64_t FolderKey(const std::string& dir) {
    // The short form names a folder one way whatever spelling reached it;
    // where the volume has no short names it is the path as given.
    std::string path = dir;
    std::vector<char> shortPath(MAX_PATH * 4);
    const DWORD n = GetShortPathNameA(dir.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (n > 0 && n < shortPath.size()) path.assign(shortPath.data(), n);
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    if (!path.empty()) CharUpperBuffA(&path[0], static_cast<DWORD>(path.size()));
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : path) {
        if (c == '/') c = '\\';
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

SingleInstance::SingleInstance(const std::string& dir)
    : dir_(dir), key_(FolderKey(dir)), showMessage_(RegisterWindowMessageA("Quarvelin.Fenster zeigen")) {
    const std::string name = "Quarvelin." + Hex(key_);
    if (HasSessionNamespaces()) {
        mutex_ = CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str());
        // Another user's copy made it, and this user may not open it: taken.
        if (!mutex_ && GetLastError() == ERROR_ACCESS_DENIED) {
            first_ = false;
            return;
        }
    }
    if (!mutex_) mutex_ = CreateMutexA(nullptr, FALSE, name.c_str());
    first_ = !(mutex_ && GetLastError() == ERROR_ALREADY_EXISTS);
}

SingleInstance::~SingleInstance() {
    if (mutex_) CloseHandle(mutex_);
}

std::string SingleInstance::AlreadyRunningText() const {
    return "Quarvelin l\xe4uft in diesem Ordner schon:\n" + dir_ +
           "\n\nDieses zweite Quarvelin startet nichts und wird beendet, damit kein Job doppelt l\xe4uft. "
           "L\xe4uft das erste unter Ihrem Benutzer, kommt sein Fenster nach vorn.";
}

void SingleInstance::ShowFirst() const {
    // Lets the first copy come to the front (Windows 98 and 2000 on).
    using AllowFn = BOOL(WINAPI*)(DWORD);
    if (auto allow = win::LateBound<AllowFn>("user32.dll", "AllowSetForegroundWindow"))
        allow(static_cast<DWORD>(-1));
    const WPARAM low = static_cast<WPARAM>(key_ & 0xffffffffu);
    const LPARAM high = static_cast<LPARAM>(key_ >> 32);
    for (HWND w = FindWindowExA(nullptr, nullptr, ui::ids::kMainClass, nullptr); w;
         w = FindWindowExA(nullptr, w, ui::ids::kMainClass, nullptr))
        PostMessageA(w, showMessage_, low, high);
}

bool SingleInstance::IsShowRequest(UINT msg, WPARAM wp, LPARAM lp) const {
    return msg == showMessage_ && showMessage_ != 0 &&
           (static_cast<uint64_t>(static_cast<uint32_t>(lp)) << 32 | static_cast<uint32_t>(wp)) == key_;
}

}  // namespace qv::app
