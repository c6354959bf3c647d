// The screen resolution windows are laid out for. Sizes are designed at 96 dpi
// and scaled to the one value the program reads at start, which every window
// and control is handed, so the grid, its editors and the dialogs agree.
#pragma once

#include <windows.h>

namespace qv::win {

class Dpi {
public:
    static constexpr int kDesign = 96;

    constexpr Dpi() = default;
    constexpr explicit Dpi(int value) : value_(value > 0 ? value : kDesign) {}
    // The logical resolution of the screen (96 on a standard screen).
    static Dpi OfScreen();

    constexpr int value() const { return value_; }
    // Pixels at 96 dpi to pixels at this resolution, and back.
    int Scale(int px96) const { return MulDiv(px96, value_, kDesign); }
    int Unscale(int px) const { return MulDiv(px, kDesign, value_); }
    // LOGFONT height of a point size (negative: the character height).
    int FontHeight(int points) const { return -MulDiv(points, value_, 72); }
    // The font of the program's windows: "MS Sans Serif" at the point size
    // (Wine and newer Windows substitute a look-alike). The caller owns it.
    HFONT CreateUiFont(int points = 8, const char* face = "MS Sans Serif", bool bold = false) const;

private:
    int value_ = kDesign;
};

// The same for callers that keep the resolution as a number.
inline int Scale(int px96, int dpi) { return MulDiv(px96, dpi, Dpi::kDesign); }
inline int ScreenDpi() { return Dpi::OfScreen().value(); }
inline HFONT CreateUiFont(int dpi, int points = 8, const char* face = "MS Sans Serif", bool bold = false) {
    return Dpi(dpi).CreateUiFont(points, face, bold);
}

}  // namespace qv::win
