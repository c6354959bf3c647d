#include "tests/app/ProcessDriver.h"

#include <atomic>
#include <fstream>
#include <iterator>

#include "tests/WineVersion.h"

namespace qv::testing {

std::string WindowsUnderTest() {
    char version[32] = {};
    const DWORD n = GetEnvironmentVariableA("QV_WINDOWS", version, sizeof version);
    return n > 0 && n < sizeof version ? version : "";
}

bool WindowsLine9x() {
    const std::string v = WindowsUnderTest();
    return v == "win95" || v == "win98" || v == "winme";
}

std::string HostPathToWine(const std::string& hostPath) {
    std::string p = "Z:" + hostPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

namespace {
void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(dir + name + "\\");
            else
                DeleteFileA((dir + name).c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}
}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    path_ = std::string(tmp) + "qv-app-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount()) + "-" + std::to_string(counter++) + "\\";
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

bool SetImmutable(const std::string& path, bool on) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return false;
    std::wstring wide(path.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    char* unixPath = toUnix(wide.c_str());
    if (!unixPath) return false;
    std::string cmd = std::string("/usr/bin/chattr ") + (on ? "+i" : "-i") + " \"" + unixPath + "\"";
    HeapFree(GetProcessHeap(), 0, unixPath);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    // Wine gives no handle of a Linux process to wait on: wait for the effect.
    return WaitFor(
        [&] {
            HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
            return (h == INVALID_HANDLE_VALUE) == on;
        },
        10000);
}

std::string UnixPath(const std::string& windowsPath) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    std::wstring wide(windowsPath.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    char* unixPath = toUnix(wide.c_str());
    if (!unixPath) return {};
    std::string path = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return path;
}

bool RunUnix(const std::string& command, DWORD timeoutMs) {
    static std::atomic<int> counter{0};
    // Wine gives no handle of a Linux process to wait on: it leaves its status in a file.
    const std::string status = "/tmp/qv-unix-" + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(GetTickCount()) + "-" + std::to_string(counter++);
    std::string cmd = "/bin/sh -c \"( " + command + " ); echo $? > " + status + ".tmp; mv " + status + ".tmp " +
                      status + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    const std::string file = HostPathToWine(status);
    if (!WaitFor([&] { return FileExists(file); }, timeoutMs)) return false;
    const std::string rc = ReadWholeFile(file);
    DeleteFileA(file.c_str());
    return rc.rfind("0", 0) == 0 && (rc.size() == 1 || rc[1] == '\n');
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Program::Program(const std::string& exe, WORD showCommand) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showCommand;
    const std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
    const std::string windows = WindowsUnderTest();
    if (!windows.empty())
        version_ = std::make_unique<WineVersionForProgram>(exe.substr(exe.find_last_of('\\') + 1), windows);
    std::string cmd = "\"" + exe + "\"";
    startTick_ = GetTickCount();
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                        &si, &pi_))
        pi_ = {};
}

Program::~Program() {
    if (!pi_.hProcess) return;
    if (Running()) {
        TerminateProcess(pi_.hProcess, 9);
        WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
}

bool Program::Running() const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitExit(DWORD timeoutMs) const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

namespace {
struct FindArgs {
    DWORD pid;
    const char* cls;
    const char* caption;
    HWND found;
};
BOOL CALLBACK FindTopProc(HWND w, LPARAM lp) {
    auto* a = reinterpret_cast<FindArgs*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != a->pid) return TRUE;
    char cls[128] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpiA(cls, a->cls) != 0) return TRUE;
    if (a->caption) {
        char text[256] = {};
        GetWindowTextA(w, text, sizeof text);
        if (lstrcmpA(text, a->caption) != 0) return TRUE;
    }
    a->found = w;
    return FALSE;
}
}  // namespace

HWND Program::FindTop(const char* className, const char* caption) const {
    FindArgs a{pi_.dwProcessId, className, caption, nullptr};
    EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&a));
    return a.found;
}

HWND Program::WaitTop(const char* className, const char* caption, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTop(className, caption)) != nullptr; }, timeoutMs);
    return found;
}

std::string Program::Text(HWND w) {
    char text[1024] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

std::string Program::BoxText(HWND box) {
    std::string all;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[64] = {};
        GetClassNameA(c, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0) all += Text(c);
    }
    return all;
}

HWND Program::FindMessageBox(const std::string& part) const {
    struct Args {
        DWORD pid;
        const std::string* part;
        HWND found;
    } a{pi_.dwProcessId, &part, nullptr};
    EnumWindows(
        [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
            auto* a = reinterpret_cast<Args*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (pid == a->pid && lstrcmpA(cls, "#32770") == 0 &&
                BoxText(w).find(*a->part) != std::string::npos) {
                a->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&a));
    return a.found;
}

HWND Program::WaitMessageBox(const std::string& part, DWORD timeoutMs) const {
    // The box exists before the system has filled in and shown it: it counts
    // once it is visible and its text reads the same twice in a row.
    HWND seen = nullptr;
    std::string seenText;
    const bool complete = WaitFor(
        [&] {
            HWND box = FindMessageBox(part);
            const std::string text = box ? BoxText(box) : std::string();
            const bool settled = box && box == seen && text == seenText && IsWindowVisible(box);
            seen = box;
            seenText = text;
            return settled;
        },
        timeoutMs);
    return complete ? seen : nullptr;
}

HWND Program::Child(HWND parent, int id) {
    struct Args {
        int id;
        HWND found;
    } a{id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
            auto* a = reinterpret_cast<Args*>(lp);
            if (GetDlgCtrlID(w) == a->id) {
                a->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&a));
    return a.found;
}

void Program::Press(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (button)
        PostMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

}  // namespace qv::testing
