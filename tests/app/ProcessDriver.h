// Drives a copy of Quarvelin.exe from a test: starts it in a folder, finds its
// windows and message boxes, presses their buttons. Every wait is bounded.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv::testing {

class WineVersionForProgram;

// The Windows that Wine shows every program a Program starts in this run
// ("win95", "win98", "winme", "nt40", "win2k", "winxp": QV_WINDOWS, which the
// build sets per run); empty for Wine's default.
std::string WindowsUnderTest();
// Whether that is one of the 95/98 line (95, 98, ME).
bool WindowsLine9x();

// A Linux path given at build time as the Windows path Wine maps it to.
std::string HostPathToWine(const std::string& hostPath);

// A new empty folder under the temporary directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }  // with trailing backslash

private:
    std::string path_;
};

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

// Makes a file refuse every change (Linux "chattr +i" under Wine, which binds
// even root) or takes that back; false when that failed.
bool SetImmutable(const std::string& path, bool on);

// The Linux path Wine gives a Windows path; empty when there is none.
std::string UnixPath(const std::string& windowsPath);
// Runs a command of the Linux shell beside Wine (no double quotes in it) and
// waits until it has ended, at most timeoutMs; true when it ended with status 0.
bool RunUnix(const std::string& command, DWORD timeoutMs = 30000);

std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& data);
bool FileExists(const std::string& path);

class Program {
public:
    // Starts exe (which must lie in its own folder) with the show command.
    explicit Program(const std::string& exe, WORD showCommand = SW_SHOWNORMAL);
    ~Program();  // ends a process still running
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return pi_.hProcess != nullptr; }
    DWORD pid() const { return pi_.dwProcessId; }
    bool Running() const;
    bool WaitExit(DWORD timeoutMs) const;
    DWORD StartMs() const { return startTick_; }

    // A top-level window of the process by class (and caption, when given).
    HWND FindTop(const char* className, const char* caption = nullptr) const;
    HWND WaitTop(const char* className, const char* caption, DWORD timeoutMs) const;
    // A message box of the process whose text contains part, once it is
    // shown and its text no longer changes.
    HWND WaitMessageBox(const std::string& part, DWORD timeoutMs) const;
    // Any message box of the process, shown or not; nullptr when none.
    HWND FindMessageBox(const std::string& part = {}) const;
    static std::string BoxText(HWND box);
    static std::string Text(HWND w);
    // A descendant with the control id.
    static HWND Child(HWND parent, int id);
    // Presses the button with id in a message box.
    static void Press(HWND box, int id);

private:
    std::unique_ptr<WineVersionForProgram> version_;
    PROCESS_INFORMATION pi_{};
    DWORD startTick_ = 0;
};

}  // namespace qv::testing
