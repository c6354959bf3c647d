#include "engine/Platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#endif

namespace qv::engine::platform {

#ifdef _WIN32

namespace {

std::wstring Widen(const std::string& s, UINT cp) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& w, UINT cp) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset & 0xffffffffu);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ov;
}

}  // namespace

LockHandle::~LockHandle() { Close(); }

bool LockHandle::Open(const std::string& path, std::string* error) {
    Close();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = "cannot open lock file '" + path + "' (error " +
                            std::to_string(GetLastError()) + ")";
        return false;
    }
    handle_ = h;
    return true;
}

void LockHandle::Close() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

bool LockHandle::TryLock(uint64_t offset, uint64_t length, bool exclusive) {
    OVERLAPPED ov = At(offset);
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(static_cast<HANDLE>(handle_), flags, 0,
                      static_cast<DWORD>(length & 0xffffffffu),
                      static_cast<DWORD>(length >> 32), &ov) != 0;
}

void LockHandle::Unlock(uint64_t offset, uint64_t length) {
    OVERLAPPED ov = At(offset);
    UnlockFileEx(static_cast<HANDLE>(handle_), 0, static_cast<DWORD>(length & 0xffffffffu),
                 static_cast<DWORD>(length >> 32), &ov);
}

bool LockHandle::CouldLock(uint64_t offset, uint64_t length, bool exclusive) {
    if (!TryLock(offset, length, exclusive)) return false;
    Unlock(offset, length);
    return true;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) || !FileExists(path);
}

bool MoveNoReplace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool MoveReplace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SleepMs(int ms) { ::Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms)); }

std::string SqlitePath(const std::string& path) { return Narrow(Widen(path, CP_ACP), CP_UTF8); }

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

LockHandle::~LockHandle() { Close(); }

bool LockHandle::Open(const std::string& path, std::string* error) {
    Close();
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error)
            *error = "cannot open lock file '" + path + "' (" + std::strerror(errno) + ")";
        return false;
    }
    fd_ = fd;
    return true;
}

void LockHandle::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool LockHandle::TryLock(uint64_t offset, uint64_t length, bool exclusive) {
    return SetLock(fd_, F_OFD_SETLK, exclusive ? F_WRLCK : F_RDLCK, offset, length);
}

void LockHandle::Unlock(uint64_t offset, uint64_t length) {
    SetLock(fd_, F_OFD_SETLK, F_UNLCK, offset, length);
}

bool LockHandle::CouldLock(uint64_t offset, uint64_t length, bool exclusive) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (fcntl(fd_, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type == F_UNLCK;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

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

#endif

}  // namespace qv::engine::platform
