// The HTML Help viewer: found once through the registration of the HTML Help
// control, loaded when help is first asked for (it brings the OLE libraries
// with it), its entry HtmlHelpA taken.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <string>

#include "win/Handles.h"

namespace qv::help {

constexpr UINT kHhHelpContext = 0x000F;
constexpr UINT kHhCloseAll = 0x0012;

// HKEY_CLASSES_ROOT key whose default value names the control's file.
constexpr const char* kHtmlHelpClsidKey =
    "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";

class HtmlHelpViewer {
public:
    // Looks the viewer up under HKEY_CLASSES_ROOT\clsidKey. The viewer is
    // available when the file named there exists and reports a file version.
    explicit HtmlHelpViewer(const std::string& clsidKey = kHtmlHelpClsidKey);
    HtmlHelpViewer(const HtmlHelpViewer&) = delete;
    HtmlHelpViewer& operator=(const HtmlHelpViewer&) = delete;

    bool available() const { return available_; }
    // Whether a call has loaded it.
    bool loaded() const { return fn_ != nullptr; }
    const std::string& file() const { return file_; }
    // HtmlHelpA, loading the control first; nullptr when it cannot be loaded.
    HWND Call(HWND caller, const char* helpFile, UINT command, DWORD_PTR data) const;

private:
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    std::string file_;
    bool available_ = false;
    mutable win::Library library_;
    mutable HtmlHelpFn fn_ = nullptr;
};

// The default value of HKEY_CLASSES_ROOT\key, empty when missing.
std::string ReadClassesRootDefault(const std::string& key);

}  // namespace qv::help
