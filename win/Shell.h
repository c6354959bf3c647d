// The calls into shell32 and comdlg32, bound when first made: those DLLs (and
// what they load, the print stack among it) stay out of the program's start
// until a tray icon, a drop, a program start or a file dialog needs them.
#pragma once

#include <windows.h>
// after windows.h
#include <commdlg.h>
#include <shellapi.h>

namespace qv::win {

// As Shell_NotifyIconA; FALSE when shell32 cannot be had.
BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data);
// As DragAcceptFiles, DragQueryFileA and DragFinish.
void AcceptDroppedFiles(HWND window, BOOL accept);
UINT DroppedFile(HDROP drop, UINT index, char* buffer, UINT size);
void FinishDrop(HDROP drop);
// As ShellExecuteA; SE_ERR_OOM when shell32 cannot be had.
HINSTANCE OpenWithShell(HWND owner, const char* verb, const char* file, const char* params,
                        const char* dir, int show);
// As GetOpenFileNameA; FALSE when comdlg32 cannot be had.
BOOL OpenFileDialog(OPENFILENAMEA* ofn);

}  // namespace qv::win
