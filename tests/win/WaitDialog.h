// For a test thread that answers a modal box or dialog of another thread of
// the same process (the one that waits in its modal loop).
#pragma once

#include <windows.h>

namespace qv::testing {

// The shown dialog (a message box, the countdown) of thread that has a child
// with childId, waited for up to timeoutMs; nullptr when none came. Nothing
// here sends a message to that thread, which may be waiting for this one.
inline HWND WaitDialogOfThread(DWORD thread, int childId, DWORD timeoutMs) {
    struct Args {
        int childId;
        HWND found;
    } a{childId, nullptr};
    for (DWORD waited = 0; !a.found && waited <= timeoutMs; waited += 25) {
        EnumThreadWindows(
            thread,
            [](HWND w, LPARAM lp) __attribute__((stdcall)) -> BOOL {
                auto* a = reinterpret_cast<Args*>(lp);
                char cls[16] = {};
                GetClassNameA(w, cls, sizeof cls);
                if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(w) || !GetDlgItem(w, a->childId))
                    return TRUE;
                a->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&a));
        if (!a.found) Sleep(25);
    }
    return a.found;
}

}  // namespace qv::testing
