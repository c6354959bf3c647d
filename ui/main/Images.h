// The program's pictures, drawn in code: 0 the program's symbol (a clock with
// a start arrow), 1 the same symbol in a thin red frame, 2 a red diagonal
// cross. 32 x 32 pixels; the tray, the window icon and the error indicator
// use them.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include "win/Handles.h"

namespace qv::ui {

constexpr int kImageSize = 32;
constexpr int kImageSymbol = 0;
constexpr int kImageSymbolFramed = 1;
constexpr int kImageError = 2;
constexpr int kImageCount = 3;

// Draws image index at x, y on dc; the background shows through.
void DrawProgramImage(HDC dc, int index, int x, int y);

// The three images as an image list (masked).
HIMAGELIST CreateProgramImageList();

}  // namespace qv::ui
