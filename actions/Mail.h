// The failure mail through Simple MAPI.
#pragma once

#include <windows.h>
#include <mapi.h>

#include <string>

#include <commctrl.h>  // Handles.h needs HIMAGELIST

#include "rules/ActionTables.h"
#include "win/Handles.h"

namespace qv::actions {

// The binding to Simple MAPI: decides on the first send whether it is
// installed (and keeps that answer, also a negative one, for the rest of the
// run), loads "MAPI32.DLL" then, looks up MAPISendMail until it is found and
// releases the library when destroyed. The program owns one for its run.
class SimpleMapi {
public:
    SimpleMapi() = default;
    SimpleMapi(const SimpleMapi&) = delete;
    SimpleMapi& operator=(const SimpleMapi&) = delete;

    // MAPISendMail without logon and without dialogs; MAPI_USER_ABORT (1) when
    // there is no entry point to call.
    ULONG SendMail(HWND parent, MapiMessage& message);

    // Whether Simple MAPI is installed, for a Windows version major.minor:
    // above 3.51 HKLM "SOFTWARE\Microsoft\Windows Messaging Subsystem" value
    // "MAPI" must read exactly "1"; older versions ask the [Mail] MAPI entry of
    // the Windows profile.
    static bool IsInstalled(DWORD major, DWORD minor);

    bool Loaded() const { return static_cast<bool>(library_); }

private:
    void Decide();

    bool decided_ = false;
    win::Library library_;
    LPMAPISENDMAIL send_ = nullptr;
};

// Sends the mail to its one primary recipient with its one attachment entry,
// all texts as given (empty texts as empty strings), and returns the result
// text for Simple MAPI's code. parent is the window Simple MAPI may show things
// over.
std::string SendErrorMail(SimpleMapi& mapi, HWND parent, const FailureMail& mail);

}  // namespace qv::actions
