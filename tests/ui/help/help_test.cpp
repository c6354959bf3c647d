// The help binding under Wine: the viewer lookup, the warning without a viewer, and
// the help context of a control.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/help/hh.h"
#include "ui/help/hh_funcs.h"
#include "win/MessageBox.h"

namespace qv {
namespace {

struct Recorded {
    std::vector<win::MessageBoxRequest> boxes;
    win::MessageBoxFn Fn() {
        return [this](HWND, const win::MessageBoxRequest& r) {
            boxes.push_back(r);
            return IDOK;
        };
    }
};

TEST(HelpBinding, WithoutAViewerEveryContextRequestWarns) {
    const help::HtmlHelpViewer none("CLSID\\{00000000-0000-0000-0000-00000000beef}\\InprocServer32");
    EXPECT_FALSE(none.available());
    Recorded rec;
    help::HelpBinding binding(none, "C:\\Quarvelin.chm", rec.Fn());
    binding.ShowContext(1);
    EXPECT_TRUE(binding.HelpCommand(HELP_CONTEXT, 1001));
    EXPECT_TRUE(binding.HelpCommand(HELP_CONTEXTPOPUP, 1));
    ASSERT_EQ(rec.boxes.size(), 3u);
    for (const auto& b : rec.boxes) {
        EXPECT_EQ(b.text, "MS Html Help is not installed on this PC.");
        EXPECT_EQ(b.caption, "Warnung");
        EXPECT_EQ(b.type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
        EXPECT_EQ(b.type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    }
    // A popup position is only stored; other commands are not handled.
    EXPECT_TRUE(binding.HelpCommand(HELP_SETPOPUP_POS, MAKELONG(40, 50)));
    EXPECT_EQ(binding.popupPosition().x, 40);
    EXPECT_EQ(binding.popupPosition().y, 50);
    EXPECT_FALSE(binding.HelpCommand(HELP_FINDER, 0));
    EXPECT_EQ(rec.boxes.size(), 3u);
}

TEST(HelpBinding, TheRegisteredViewerIsFoundOnce) {
    const help::HtmlHelpViewer viewer;
    // A fresh Wine prefix registers hhctrl.ocx, which carries a version.
    EXPECT_TRUE(viewer.available()) << viewer.file();
    EXPECT_NE(viewer.file().find("hhctrl.ocx"), std::string::npos);
}

TEST(HelpBinding, ContextComesFromTheControlOrItsNearestParent) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    HWND top = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                               nullptr, inst, nullptr);
    HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 50, 50, top, nullptr, inst, nullptr);
    HWND plain = CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 10, 10, panel, nullptr, inst, nullptr);
    HWND own = CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 10, 10, panel, nullptr, inst, nullptr);
    EXPECT_EQ(help::HelpBinding::ContextOf(plain), 0u);
    SetWindowContextHelpId(top, 1);
    SetWindowContextHelpId(own, 1001);
    EXPECT_EQ(help::HelpBinding::ContextOf(plain), 1u);
    EXPECT_EQ(help::HelpBinding::ContextOf(own), 1001u);
    EXPECT_EQ(help::HelpBinding::ContextOf(top), 1u);
    DestroyWindow(top);
}

}  // namespace
}  // namespace qv
