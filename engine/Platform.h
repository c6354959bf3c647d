// Platform services of the table engine: byte-range locks on a lock file, the
// few file operations that must be atomic, and sleeping. The implementation
// keeps the operating system's headers to itself.
#pragma once

#include <cstdint>
#include <string>

namespace qv::engine::platform {

// One open handle on a lock file. Locks taken through one handle conflict with
// locks taken through any other handle, in this process or another, and vanish
// when the handle is closed or its process dies (LockFileEx on Windows,
// open-file-description locks elsewhere).
class LockHandle {
public:
    LockHandle() = default;
    ~LockHandle();
    LockHandle(const LockHandle&) = delete;
    LockHandle& operator=(const LockHandle&) = delete;

    // Opens (creating it if needed) the lock file; false with a reason on failure.
    bool Open(const std::string& path, std::string* error);
    void Close();

    // Non-blocking; true when taken.
    bool TryLock(uint64_t offset, uint64_t length, bool exclusive);
    void Unlock(uint64_t offset, uint64_t length);
    // Whether a lock of that kind could be taken now, without taking it.
    // Only meaningful for ranges this handle does not hold itself.
    bool CouldLock(uint64_t offset, uint64_t length, bool exclusive);

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);   // true when gone afterwards
// Moves from to to, failing when to exists.
bool MoveNoReplace(const std::string& from, const std::string& to);
// Moves from to to, replacing to; durable on return.
bool MoveReplace(const std::string& from, const std::string& to);
void SleepMs(int ms);
// A path in the form the SQLite API expects (UTF-8).
std::string SqlitePath(const std::string& path);

}  // namespace qv::engine::platform
