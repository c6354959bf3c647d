#include "win/Dialog.h"

#include "win/Window.h"

namespace qv::win {

std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle) {
    // The header, then empty menu, class and title entries.
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dt->style = style;
    dt->dwExtendedStyle = exStyle;
    dt->cdit = 0;
    return t;
}

INT_PTR Dialog::RunModal(const std::vector<WORD>& dialogTemplate, HWND owner) {
    ended_ = false;
    const INT_PTR result = DialogBoxIndirectParamA(
        GetModuleHandleA(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
        owner, &Dialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
    return result;
}

void Dialog::End(INT_PTR result) {
    if (ended_ || !hwnd_) return;
    ended_ = true;
    EndDialog(hwnd_, result);
}

bool Dialog::OnCommand(int id, int, HWND) {
    if (id != IDCANCEL) return false;
    OnCancel();
    return true;
}

INT_PTR Dialog::OnMessage(UINT, WPARAM, LPARAM) { return FALSE; }

INT_PTR Dialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            return OnInit() ? TRUE : FALSE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)) ? TRUE : FALSE;
        case WM_CLOSE:
            OnCancel();
            return TRUE;
        default:
            return OnMessage(msg, wp, lp);
    }
}

INT_PTR CALLBACK Dialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lp);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, lp);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    const bool ok = Guarded(hwnd, [&] { result = self->Dispatch(msg, wp, lp); });
    // A dialog that failed to build must not stay on screen.
    if (!ok && msg == WM_INITDIALOG) self->End(IDCANCEL);
    return result;
}

}  // namespace qv::win
