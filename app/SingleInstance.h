// One running copy per folder. A copy takes a named mutex for the folder of
// its executable, the same name for every spelling of that folder (letter
// case, short names); a second copy started there finds it taken, tells the
// user, asks the first copy to show its window and ends before it opens a
// table or starts its timer, so no job runs twice.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace qv::app {

// The folder's key: the same for "C:\Quarvelin\" and "c:\QUARVE~1".
uint64_t FolderKey(const std::string& dir);

class SingleInstance {
public:
    // dir: the executable's directory.
    explicit SingleInstance(const std::string& dir);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another copy runs from this folder, also another user's on
    // the same computer (Windows 2000 and later name it for all sessions).
    bool first() const { return first_; }
    // What the second copy says before it ends.
    std::string AlreadyRunningText() const;
    // Asks the copy that runs from this folder to show its main window. Posted:
    // a copy that does not answer (hanging, stopped) holds up nothing.
    void ShowFirst() const;
    // Whether a message reaching a main window is that request for this folder.
    bool IsShowRequest(UINT msg, WPARAM wp, LPARAM lp) const;

private:
    std::string dir_;
    uint64_t key_ = 0;
    UINT showMessage_ = 0;
    HANDLE mutex_ = nullptr;
    bool first_ = true;
};

}  // namespace qv::app
