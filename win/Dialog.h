// Base class for modal dialogs: one dialog, one object. The static dialog
// procedure stores `this` at WM_INITDIALOG and turns the messages into virtual
// methods; the dialog ends with End(result), which is what RunModal returns.
//
// No exception leaves the dialog procedure: it is shown in the general error
// box, and a dialog whose OnInit failed ends at once with IDCANCEL instead of
// staying on screen half built.
#pragma once

#include <windows.h>

#include <vector>

namespace qv::win {

// An in-memory dialog template without controls: the dialog places its own
// controls in OnInit. Handed to Dialog::RunModal.
std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle);

class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // The dialog's window while it shows, nullptr otherwise.
    HWND hwnd() const { return hwnd_; }

protected:
    // Shows the dialog and returns the result given to End; -1 when the dialog
    // could not be created.
    INT_PTR RunModal(const std::vector<WORD>& dialogTemplate, HWND owner);
    // Ends the dialog with result; later calls change nothing.
    void End(INT_PTR result);
    bool Ended() const { return ended_; }

    // WM_INITDIALOG. True lets the system focus the first control; return false
    // after setting the focus yourself.
    virtual bool OnInit() { return true; }
    // WM_COMMAND; true when handled. An unhandled IDCANCEL (Escape) cancels.
    // IDOK is left to dialogs that have an OK button.
    virtual bool OnCommand(int id, int code, HWND control);
    // Escape and the title bar's close box: ends the dialog with IDCANCEL.
    virtual void OnCancel() { End(IDCANCEL); }
    // Any other message: the dialog procedure's answer, FALSE when unhandled.
    virtual INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);

    HWND hwnd_ = nullptr;
    bool ended_ = false;
};

}  // namespace qv::win
