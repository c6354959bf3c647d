#include "engine/Platform.h"

#ifdef _WIN32
#include <sqlite3.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "engine/Utf8.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#endif

namespace qv::engine::platform {

namespace {

bool forcedExclusiveOnly = false;

uint64_t HolderBytesOf(uint64_t byte) { return kHolderBase + byte * kHolderCount; }
bool IsShareable(uint64_t offset, uint64_t length) { return length == 1 && offset < kShareableBytes; }

}  // namespace

void UseExclusiveOnlyLocks(bool on) { forcedExclusiveOnly = on; }

LockHandle::~LockHandle() { Close(); }

bool LockHandle::TryLock(uint64_t offset, uint64_t length, bool exclusive) {
    if (IsShareable(offset, length)) return LockShareable(offset, exclusive);
    return SystemLock(offset, length, exclusive);
}

bool LockHandle::LockShareable(uint64_t byte, bool exclusive) {
    Hold& hold = holds_[byte];
    if (hold.how != Held::None) return false;
    const uint64_t holders = HolderBytesOf(byte);
    if (exclusive) {
        if (!SystemLock(byte, 1, true)) return false;
        if (!SystemLock(holders, kHolderCount, true)) {
            SystemUnlock(byte, 1);
            return false;
        }
        hold.how = Held::Exclusive;
        return true;
    }
    if (!exclusiveOnly_) {
        if (!SystemLock(byte, 1, false)) return false;
        hold.how = Held::Shared;
        return true;
    }
    // The first holder byte nobody holds; none is free while an exclusive
    // lock covers them all.
    for (uint64_t b = holders; b < holders + kHolderCount; ++b) {
        if (SystemLock(b, 1, true)) {
            hold.how = Held::HolderByte;
            hold.holder = b;
            return true;
        }
    }
    return false;
}

void LockHandle::Unlock(uint64_t offset, uint64_t length) {
    if (!IsShareable(offset, length)) {
        SystemUnlock(offset, length);
        return;
    }
    Hold& hold = holds_[offset];
    switch (hold.how) {
        case Held::Exclusive:
            SystemUnlock(HolderBytesOf(offset), kHolderCount);
            SystemUnlock(offset, 1);
            break;
        case Held::Shared:
            SystemUnlock(offset, 1);
            break;
        case Held::HolderByte:
            SystemUnlock(hold.holder, 1);
            break;
        case Held::None:
            break;
    }
    hold = Hold{};
}

bool LockHandle::CouldLock(uint64_t offset, uint64_t length, bool exclusive) {
    if (!TryLock(offset, length, exclusive)) return false;
    Unlock(offset, length);
    return true;
}

void LockHandle::Close() {
    CloseSystemHandle();
    for (Hold& hold : holds_) hold = Hold{};
}

#ifdef _WIN32

namespace {

// The 95/98 line (platform 1) lacks shared locks, replacing moves and
// FILE_SHARE_DELETE.
bool NtFamily() {
    static const bool nt = [] {
        OSVERSIONINFOA vi{};
        vi.dwOSVersionInfoSize = sizeof vi;
        return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }();
    return nt;
}

DWORD Low(uint64_t v) { return static_cast<DWORD>(v & 0xffffffffu); }
DWORD High(uint64_t v) { return static_cast<DWORD>(v >> 32); }

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED ov{};
    ov.Offset = Low(offset);
    ov.OffsetHigh = High(offset);
    return ov;
}

// Copies a conversion's result the way the Windows conversion calls do: the
// length needed when cap is 0, otherwise the length written or 0 if it does
// not fit.
template <typename From, typename To>
int CopyOut(const From& text, To* out, int cap) {
    const int n = static_cast<int>(text.size());
    if (cap == 0) return n;
    if (cap < n) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(text.begin(), text.end(), out);
    return n;
}

// SQLite converts file names and system messages between UTF-8 and the code
// page through these two calls; UTF-8 is converted here instead. A length of
// -1 means zero-terminated, the zero counted.
int WINAPI SqliteToWide(UINT cp, DWORD flags, LPCSTR s, int n, LPWSTR out, int cap) noexcept {
    if (cp != CP_UTF8) return MultiByteToWideChar(cp, flags, s, n, out, cap);
    try {
        const size_t len = n < 0 ? std::strlen(s) + 1 : static_cast<size_t>(n);
        return CopyOut(Utf8ToUtf16(std::string(s, len)), out, cap);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

int WINAPI SqliteFromWide(UINT cp, DWORD flags, LPCWSTR s, int n, LPSTR out, int cap, LPCSTR fallback,
                          LPBOOL usedFallback) noexcept {
    if (cp != CP_UTF8) return WideCharToMultiByte(cp, flags, s, n, out, cap, fallback, usedFallback);
    try {
        const size_t len = n < 0 ? std::wcslen(s) + 1 : static_cast<size_t>(n);
        return CopyOut(Utf16ToUtf8(std::u16string(s, s + len)), out, cap);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

}  // namespace

bool SharedLocksAvailable() { return !forcedExclusiveOnly && NtFamily(); }

bool LockHandle::Open(const std::string& path, std::string* error) {
    Close();
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (NtFamily() ? FILE_SHARE_DELETE : 0);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = "cannot open lock file '" + path + "' (error " +
                            std::to_string(GetLastError()) + ")";
        return false;
    }
    handle_ = h;
    exclusiveOnly_ = !SharedLocksAvailable();
    return true;
}

void LockHandle::CloseSystemHandle() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

bool LockHandle::SystemLock(uint64_t offset, uint64_t length, bool exclusive) {
    HANDLE h = static_cast<HANDLE>(handle_);
    if (exclusiveOnly_) return LockFile(h, Low(offset), High(offset), Low(length), High(length)) != 0;
    OVERLAPPED ov = At(offset);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(h, flags, 0, Low(length), High(length), &ov) != 0;
}

void LockHandle::SystemUnlock(uint64_t offset, uint64_t length) {
    HANDLE h = static_cast<HANDLE>(handle_);
    if (exclusiveOnly_) {
        UnlockFile(h, Low(offset), High(offset), Low(length), High(length));
        return;
    }
    OVERLAPPED ov = At(offset);
    UnlockFileEx(h, 0, Low(length), High(length), &ov);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) || !FileExists(path);
}

// Asked without any access to the file's data, so a file held open by
// others can be asked too. FAT numbers a file by its directory entry, NTFS
// and Wine (the inode) by the file itself; on either a replaced file reads as
// another as long as the old one is still open.
std::string FileIdentity(const std::string& path) {
    if (!NtFamily()) return {};
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!known) return {};
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
           std::to_string(info.nFileIndexLow);
}

// MoveFile refuses an existing target as well; the 95/98 line has no MoveFileEx.
bool MoveNoReplace(const std::string& from, const std::string& to) {
    if (!NtFamily()) return MoveFileA(from.c_str(), to.c_str()) != 0;
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

// The 95/98 line cannot replace in one step: the old file goes first.
bool MoveReplace(const std::string& from, const std::string& to) {
    if (!NtFamily()) return RemoveFile(to) && MoveFileA(from.c_str(), to.c_str()) != 0;
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SleepMs(int ms) { ::Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms)); }

std::string AnsiToUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (n <= 0) return text;
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, &w[0], n);
    return Utf16ToUtf8(std::u16string(w.begin(), w.end()));
}

std::string Utf8ToAnsi(const std::string& text) {
    const std::u16string u = Utf8ToUtf16(text);
    if (u.empty()) return {};
    const std::wstring w(u.begin(), u.end());
    const int size = static_cast<int>(w.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return text;
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), size, &out[0], n, nullptr, nullptr);
    return out;
}

std::string SqlitePath(const std::string& path) { return AnsiToUtf8(path); }

void PrepareSqlite() {
    static bool done = false;
    if (done) return;
    done = true;
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall) return;
    vfs->xSetSystemCall(vfs, "MultiByteToWideChar", reinterpret_cast<sqlite3_syscall_ptr>(&SqliteToWide));
    vfs->xSetSystemCall(vfs, "WideCharToMultiByte", reinterpret_cast<sqlite3_syscall_ptr>(&SqliteFromWide));
}

#else

namespace {

bool SetLock(int fd, int cmd, short type, uint64_t offset, uint64_t length) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    for (;;) {
        if (fcntl(fd, cmd, &fl) == 0) return true;
        if (errno != EINTR) return false;
    }
}

void SyncDirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

bool SharedLocksAvailable() { return !forcedExclusiveOnly; }

bool LockHandle::Open(const std::string& path, std::string* error) {
    Close();
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error)
            *error = "cannot open lock file '" + path + "' (" + std::strerror(errno) + ")";
        return false;
    }
    fd_ = fd;
    exclusiveOnly_ = !SharedLocksAvailable();
    return true;
}

void LockHandle::CloseSystemHandle() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool LockHandle::SystemLock(uint64_t offset, uint64_t length, bool exclusive) {
    const bool write = exclusive || exclusiveOnly_;
    return SetLock(fd_, F_OFD_SETLK, write ? F_WRLCK : F_RDLCK, offset, length);
}

void LockHandle::SystemUnlock(uint64_t offset, uint64_t length) {
    SetLock(fd_, F_OFD_SETLK, F_UNLCK, offset, length);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

std::string FileIdentity(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return {};
    return std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
           std::to_string(static_cast<unsigned long long>(st.st_ino));
}

bool MoveNoReplace(const std::string& from, const std::string& to) {
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    SyncDirectoryOf(to);
    return true;
}

bool MoveReplace(const std::string& from, const std::string& to) {
    if (rename(from.c_str(), to.c_str()) != 0) return false;
    SyncDirectoryOf(to);
    return true;
}

void SleepMs(int ms) {
    if (ms <= 0) return;
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

std::string SqlitePath(const std::string& path) { return path; }

void PrepareSqlite() {}

#endif

}  // namespace qv::engine::platform
