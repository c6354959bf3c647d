#include "win/Dpi.h"

#include "win/Handles.h"

namespace qv::win {

Dpi Dpi::OfScreen() {
    WindowDC dc(nullptr);
    return Dpi(dc.get() ? GetDeviceCaps(dc.get(), LOGPIXELSY) : kDesign);
}

HFONT Dpi::CreateUiFont(int points, const char* face, bool bold) const {
    return CreateFontA(FontHeight(points), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

}  // namespace qv::win
