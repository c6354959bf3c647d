// Platform services of the table engine: byte-range locks on a lock file, the
// few file operations that must be atomic, text in the system's code page, and
// sleeping. The implementation keeps the operating system's headers to itself.
#pragma once

#include <cstdint>
#include <string>

namespace qv::engine::platform {

// Single bytes below kShareableBytes may be locked shared. Each has holder
// bytes of its own, kHolderCount of them from kHolderBase + byte * kHolderCount,
// for systems whose locks are exclusive only (the Windows 95/98 line has
// LockFile alone): there a shared lock is one free holder byte, so a byte
// counts as shared-locked while any of its holder bytes is held. An exclusive
// lock on the byte takes the byte and all its holder bytes, so it conflicts
// with shared holders of either kind; a shared lock elsewhere is a shared lock
// on the byte itself. Both kinds of system can so share a lock file.
constexpr uint64_t kShareableBytes = 8;
constexpr uint64_t kHolderBase = 0x08000000;
constexpr uint64_t kHolderCount = 128;

// Whether lock handles opened from now on take shared locks as the system
// offers them, or the exclusive-only way of the 95/98 line, which tests can
// switch on to run that way on any system.
bool SharedLocksAvailable();
void UseExclusiveOnlyLocks(bool on);

// One open handle on a lock file. Locks taken through one handle conflict with
// locks taken through any other handle, in this process or another, and vanish
// when the handle is closed or its process dies (LockFileEx or LockFile on
// Windows, open-file-description locks elsewhere). A handle holds at most one
// lock on each shareable byte.
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
    // Whether a lock of that kind could be taken now, without keeping it.
    // Only meaningful for ranges this handle does not hold itself.
    bool CouldLock(uint64_t offset, uint64_t length, bool exclusive);

private:
    enum class Held : unsigned char { None, Shared, Exclusive, HolderByte };
    struct Hold {
        Held how = Held::None;
        uint64_t holder = 0;  // the holder byte, for HolderByte
    };

    // The system's own lock calls; exclusive only when exclusiveOnly_.
    bool SystemLock(uint64_t offset, uint64_t length, bool exclusive);
    void SystemUnlock(uint64_t offset, uint64_t length);
    bool LockShareable(uint64_t byte, bool exclusive);
    void CloseSystemHandle();

    bool exclusiveOnly_ = false;
    Hold holds_[kShareableBytes];
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

bool FileExists(const std::string& path);
// The file's identity on its volume (device and file number) as text; empty
// when nothing is there or the system offers none (the 95/98 line).
std::string FileIdentity(const std::string& path);
bool RemoveFile(const std::string& path);   // true when gone afterwards
// Moves from to to, failing when to exists.
bool MoveNoReplace(const std::string& from, const std::string& to);
// Moves from to to, replacing to; durable on return.
bool MoveReplace(const std::string& from, const std::string& to);
void SleepMs(int ms);
// A path in the form the SQLite API expects (UTF-8).
std::string SqlitePath(const std::string& path);
#ifdef _WIN32
// Text in the system's ANSI code page to UTF-8 and back.
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);
#endif
// Readies SQLite for the running system before its first use: on Windows its
// file name conversions use the program's own UTF-8 code (Windows 95 has none).
void PrepareSqlite();

}  // namespace qv::engine::platform
