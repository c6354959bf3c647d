#include "win/MessageBox.h"

namespace qv::win {

namespace {

// The box being opened on this thread; read by the CBT hook.
thread_local const MessageBoxRequest* tPending = nullptr;
thread_local HHOOK tHook = nullptr;

LRESULT CALLBACK RenameButtonsHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE && tPending) {
        HWND box = reinterpret_cast<HWND>(wp);
        if (!tPending->okText.empty()) SetDlgItemTextA(box, IDOK, tPending->okText.c_str());
        if (!tPending->cancelText.empty())
            SetDlgItemTextA(box, IDCANCEL, tPending->cancelText.c_str());
        tPending = nullptr;
    }
    return CallNextHookEx(tHook, code, wp, lp);
}

}  // namespace

int SystemMessageBox(HWND owner, const MessageBoxRequest& request) {
    const bool rename = !request.okText.empty() || !request.cancelText.empty();
    if (rename) {
        tPending = &request;
        tHook = SetWindowsHookExA(WH_CBT, RenameButtonsHook, nullptr, GetCurrentThreadId());
    }
    int result = MessageBoxA(owner, request.text.c_str(), request.caption.c_str(), request.type);
    if (rename) {
        if (tHook) UnhookWindowsHookEx(tHook);
        tHook = nullptr;
        tPending = nullptr;
    }
    return result;
}

}  // namespace qv::win
