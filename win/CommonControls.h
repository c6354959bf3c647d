// The calls into comctl32, bound when first made. Imported, it is loaded before
// WinMain, and under Wine its start (it registers every class it has) took a
// fifth of an empty window's start-up; the first paint needs none of it: hints,
// the date and time editors and the tray's image list all come later.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

namespace qv::win {

// Loads comctl32 and registers the classes (ICC_ flags) before one of them is
// created; false when comctl32, or one of those classes, cannot be had.
bool UseCommonControls(DWORD classes);

// A tooltip window owned by owner, always shown (TTS_ALWAYSTIP, plus extraStyle);
// nullptr when comctl32 cannot be had.
HWND CreateTooltip(HWND owner, DWORD extraStyle = 0);

// As ImageList_Create, ImageList_AddMasked, ImageList_GetIcon and
// ImageList_Destroy; nullptr, -1, nullptr and FALSE when comctl32 cannot be had.
HIMAGELIST CreateImageList(int cx, int cy, UINT flags, int initial, int grow);
int AddMaskedImage(HIMAGELIST list, HBITMAP image, COLORREF mask);
HICON ImageIcon(HIMAGELIST list, int index, UINT flags);
BOOL DestroyImageList(HIMAGELIST list);

}  // namespace qv::win
