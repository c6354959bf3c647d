// Lists every visible dialog window (a message box among them) of the Wine
// session it runs in, with its caption and text; exits 1 when there is one.
// The kill soak uses it to tell a program waiting in a box from one at work.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK Each(HWND w, LPARAM found) {
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    char title[256] = "", text[1024] = "";
    GetWindowTextA(w, title, sizeof title);
    GetDlgItemTextA(w, 0xFFFF, text, sizeof text);  // a message box's text
    std::printf("%s: %s\n", title, text);
    ++*reinterpret_cast<int*>(found);
    return TRUE;
}

}  // namespace

int main() {
    int found = 0;
    EnumWindows(Each, reinterpret_cast<LPARAM>(&found));
    return found ? 1 : 0;
}
