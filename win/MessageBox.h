// Message boxes through one replaceable function, so a test can answer them.
// The default shows a real MessageBoxA; button texts the system box does not
// offer ("Abbrechen" on an OK/Cancel box) are put in while the box opens.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace qv::win {

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    UINT type = MB_OK;
    std::string okText;      // empty: the system's own text
    std::string cancelText;  // empty: the system's own text
};

// Returns the id of the chosen button (IDOK, IDCANCEL, IDYES, ...).
using MessageBoxFn = std::function<int(HWND owner, const MessageBoxRequest& request)>;

int SystemMessageBox(HWND owner, const MessageBoxRequest& request);

}  // namespace qv::win
