#include "ui/main/Images.h"

#include "win/CommonControls.h"

namespace qv::ui {

namespace {

void DrawSymbol(HDC dc, int x, int y) {
    // Clock face.
    win::Brush face(CreateSolidBrush(RGB(255, 255, 240)));
    win::Pen rim(CreatePen(PS_SOLID, 2, RGB(0, 64, 160)));
    {
        win::SelectGuard b(dc, face.get());
        win::SelectGuard p(dc, rim.get());
        Ellipse(dc, x + 3, y + 3, x + 27, y + 27);
    }
    // Hour marks and hands.
    win::Pen mark(CreatePen(PS_SOLID, 1, RGB(0, 64, 160)));
    win::Pen hand(CreatePen(PS_SOLID, 2, RGB(0, 0, 0)));
    {
        win::SelectGuard p(dc, mark.get());
        const POINT marks[4][2] = {{{15, 5}, {15, 8}}, {{25, 15}, {22, 15}},
                                   {{15, 25}, {15, 22}}, {{5, 15}, {8, 15}}};
        for (const auto& m : marks) {
            MoveToEx(dc, x + m[0].x, y + m[0].y, nullptr);
            LineTo(dc, x + m[1].x, y + m[1].y);
        }
    }
    {
        win::SelectGuard p(dc, hand.get());
        MoveToEx(dc, x + 15, y + 15, nullptr);
        LineTo(dc, x + 15, y + 8);
        MoveToEx(dc, x + 15, y + 15, nullptr);
        LineTo(dc, x + 20, y + 18);
    }
    // Start arrow in the lower right corner.
    win::Brush green(CreateSolidBrush(RGB(0, 150, 40)));
    win::Pen greenEdge(CreatePen(PS_SOLID, 1, RGB(0, 90, 20)));
    win::SelectGuard b(dc, green.get());
    win::SelectGuard p(dc, greenEdge.get());
    const POINT arrow[3] = {{x + 20, y + 19}, {x + 20, y + 30}, {x + 30, y + 24}};
    Polygon(dc, arrow, 3);
}

void DrawFrame(HDC dc, int x, int y) {
    win::Brush red(CreateSolidBrush(RGB(220, 0, 0)));
    RECT r{x, y, x + kImageSize, y + kImageSize};
    FrameRect(dc, &r, red.get());
}

void DrawCross(HDC dc, int x, int y) {
    win::Pen red(CreatePen(PS_SOLID, 5, RGB(220, 0, 0)));
    win::SelectGuard p(dc, red.get());
    MoveToEx(dc, x + 5, y + 5, nullptr);
    LineTo(dc, x + 27, y + 27);
    MoveToEx(dc, x + 27, y + 5, nullptr);
    LineTo(dc, x + 5, y + 27);
}

}  // namespace

void DrawProgramImage(HDC dc, int index, int x, int y) {
    switch (index) {
        case kImageSymbol:
            DrawSymbol(dc, x, y);
            break;
        case kImageSymbolFramed:
            DrawSymbol(dc, x, y);
            DrawFrame(dc, x, y);
            break;
        case kImageError:
            DrawCross(dc, x, y);
            break;
        default:
            break;
    }
}

HIMAGELIST CreateProgramImageList() {
    win::ImageList list(win::CreateImageList(kImageSize, kImageSize, ILC_COLOR24 | ILC_MASK, kImageCount, 0));
    if (!list) return nullptr;
    const COLORREF key = RGB(255, 0, 255);
    win::WindowDC screen(nullptr);
    for (int i = 0; i < kImageCount; ++i) {
        win::Bitmap bmp(CreateCompatibleBitmap(screen.get(), kImageSize, kImageSize));
        {
            // The bitmap must be out of the DC again before the list copies it.
            win::MemoryDC mem(screen.get(), bmp.get());
            if (!mem) return nullptr;
            win::Brush keyBrush(CreateSolidBrush(key));
            RECT all{0, 0, kImageSize, kImageSize};
            FillRect(mem.get(), &all, keyBrush.get());
            DrawProgramImage(mem.get(), i, 0, 0);
        }
        win::AddMaskedImage(list.get(), bmp.get(), key);
    }
    return list.release();
}

}  // namespace qv::ui
