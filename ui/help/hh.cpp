#include "ui/help/hh.h"

namespace qv::help {

HelpBinding::HelpBinding(const HtmlHelpViewer& viewer, std::string helpFile,
                         win::MessageBoxFn messageBox)
    : viewer_(viewer), helpFile_(std::move(helpFile)), messageBox_(std::move(messageBox)) {}

HelpBinding::~HelpBinding() { CloseAll(); }

bool HelpBinding::HelpCommand(UINT command, DWORD_PTR data) {
    switch (command) {
        case HELP_CONTEXT:
        case HELP_CONTEXTPOPUP:
            ShowContext(static_cast<DWORD>(data));
            return true;
        case HELP_SETPOPUP_POS:
            popupPos_ = POINT{static_cast<LONG>(static_cast<short>(LOWORD(data))),
                              static_cast<LONG>(static_cast<short>(HIWORD(data)))};
            return true;
        default:
            return false;
    }
}

void HelpBinding::ShowContext(DWORD context) {
    HWND w = viewer_.available() ? viewer_.Call(GetDesktopWindow(), helpFile_.c_str(), kHhHelpContext, context)
                                 : nullptr;
    if (!viewer_.loaded()) {
        win::MessageBoxRequest r;
        r.text = kNoViewerText;
        r.caption = kNoViewerCaption;
        r.type = MB_OK | MB_ICONWARNING;
        if (messageBox_) messageBox_(nullptr, r);
        return;
    }
    if (w) SetForegroundWindow(w);
}

void HelpBinding::CloseAll() {
    // A viewer never loaded has no window to close.
    if (viewer_.loaded()) viewer_.Call(nullptr, nullptr, kHhCloseAll, 0);
}

DWORD HelpBinding::ContextOf(HWND control) {
    for (HWND w = control; w; w = GetParent(w)) {
        if (DWORD id = GetWindowContextHelpId(w)) return id;
        if (!(GetWindowLongA(w, GWL_STYLE) & WS_CHILD)) break;
    }
    return 0;
}

}  // namespace qv::help
