#include "ui/main/ColumnWidths.h"

#include <cstdint>

namespace qv::ui {

int ColumnWidthForScreen(int stored96, int dpi) {
    return static_cast<int>(static_cast<int64_t>(stored96) * dpi / 96);
}

int ColumnWidthForStorage(int screenWidth, int dpi) {
    if (dpi <= 0) return screenWidth;
    const int64_t num = static_cast<int64_t>(screenWidth) * 96;
    int64_t w = num / dpi;
    if (w * dpi < num) ++w;  // ceiling for positive widths
    return static_cast<int>(w);
}

}  // namespace qv::ui
