// The help binding: routes the program's help requests to the help file.
// Context requests open the file at that context; without a viewer every
// request shows a warning instead. Releasing the binding closes every help
// window of the program.
#pragma once

#include <windows.h>

#include <string>

#include "ui/help/hh_funcs.h"
#include "win/MessageBox.h"

namespace qv::help {

constexpr const char* kNoViewerText = "MS Html Help is not installed on this PC.";
constexpr const char* kNoViewerCaption = "Warnung";

class HelpBinding {
public:
    // viewer must outlive the binding.
    HelpBinding(const HtmlHelpViewer& viewer, std::string helpFile, win::MessageBoxFn messageBox);
    ~HelpBinding();
    HelpBinding(const HelpBinding&) = delete;
    HelpBinding& operator=(const HelpBinding&) = delete;

    // HELP_CONTEXT and HELP_CONTEXTPOPUP open the context, HELP_SETPOPUP_POS
    // is stored, every other command does nothing. Returns true when handled.
    bool HelpCommand(UINT command, DWORD_PTR data);
    // Opens the help file at context.
    void ShowContext(DWORD context);
    // Closes every help window of the program (when the viewer is there).
    void CloseAll();

    const std::string& helpFile() const { return helpFile_; }
    POINT popupPosition() const { return popupPos_; }

    // The help context of control, or of its nearest parent that has one; 0
    // when none has.
    static DWORD ContextOf(HWND control);

private:
    const HtmlHelpViewer& viewer_;
    std::string helpFile_;
    win::MessageBoxFn messageBox_;
    POINT popupPos_{};
};

}  // namespace qv::help
