// Not a test by itself: tests/help/help_file_test.sh runs it under Wine with
// the viewer's trace on. Opens the help file at a context through the
// program's help binding, as F1 does, says whether a viewer window opened, and
// whether releasing the binding closed it again.
//   help_probe FILE.chm CONTEXT
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "ui/help/hh.h"
#include "ui/help/hh_funcs.h"

namespace {

// The window class of the HTML Help viewer.
bool ViewerOpen() { return FindWindowA("HH Parent", nullptr) != nullptr; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const qv::help::HtmlHelpViewer viewer;
    if (!viewer.available()) {
        std::puts("no viewer");
        return 3;
    }
    int warnings = 0;
    {
        qv::help::HelpBinding binding(viewer, argv[1], [&](HWND, const qv::win::MessageBoxRequest&) {
            ++warnings;
            return IDOK;
        });
        binding.HelpCommand(HELP_CONTEXT, std::strtoul(argv[2], nullptr, 10));
        std::printf("window %s\n", ViewerOpen() ? "open" : "none");
    }
    std::printf("after release %s\n", ViewerOpen() ? "open" : "none");
    return warnings ? 1 : 0;
}
